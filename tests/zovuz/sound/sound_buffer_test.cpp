// The sound buffer layer over the scripted device: life and sharing of buffers, the state the
// owners read back, the answers worked out where the device keeps no state, the 3D setters, the
// wave block and the DirectSound volume and pan law.
#include "sound_device_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <string.h>

namespace {

constexpr uint32_t OneSecondStereo = 176400;

class SoundBufferTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        memset(&buffer_, 0, sizeof(buffer_));
        memset(&copy_, 0, sizeof(copy_));
        format_ = Pcm16Format(2, 44100);
    }
    void TearDown() override
    {
        SoundBuffer_Terminate(&copy_);
        SoundBuffer_Terminate(&buffer_);
        EXPECT_EQ(0, device_.LiveBuffers);
    }

    ScriptedSoundDevice device_;
    SoundWaveFormat format_;
    SOUNDBUFFER buffer_;
    SOUNDBUFFER copy_;
};

TEST_F(SoundBufferTest, NewBufferHasNeutralStateAndASecondInitializeChangesNothing)
{
    ASSERT_EQ(0, SoundBuffer_Initialize(&buffer_, OneSecondStereo + 3, &format_, nullptr, 0));
    EXPECT_EQ(1, buffer_.Valid);
    EXPECT_EQ(44100u, buffer_.SampleNum);  // whole frames only
    EXPECT_EQ(-1, buffer_.Frequency);
    EXPECT_EQ(0, buffer_.Pan);
    for (int volume : buffer_.Volume)
        EXPECT_EQ(0, volume);
    EXPECT_EQ(1, device_.LiveBuffers);

    SoundWaveFormat mono = Pcm16Format(1, 22050);
    EXPECT_EQ(-1, SoundBuffer_Initialize(&buffer_, 100, &mono, nullptr, 0));
    EXPECT_EQ(1, device_.LiveBuffers);
    EXPECT_EQ(2, buffer_.Format.nChannels);
}

TEST_F(SoundBufferTest, BadArgumentsAndDeviceFailureLeaveNoBuffer)
{
    SoundWaveFormat noFrames = format_;
    noFrames.nBlockAlign = 0;
    SOUNDBUFFER neverMade = {};
    EXPECT_EQ(-1, SoundBuffer_Initialize(&buffer_, 400, nullptr, nullptr, 0));
    EXPECT_EQ(-1, SoundBuffer_Initialize(&buffer_, 400, &noFrames, nullptr, 0));
    EXPECT_EQ(-1, SoundBuffer_Duplicate(&buffer_, &neverMade, 0));
    EXPECT_EQ(-1, SoundBuffer_Duplicate(&buffer_, nullptr, 0));

    // A failing device releases the wave data the new buffer would have shared.
    ASSERT_EQ(0, SoundBuffer_Initialize(&buffer_, 400, &format_, nullptr, 0));
    buffer_.Wave = AllocSoundBufferWaveBlock(400, 0);
    device_.FailInitialize = true;
    EXPECT_EQ(-1, SoundBuffer_Duplicate(&copy_, &buffer_, 0));
    EXPECT_EQ(0, copy_.Valid);
    EXPECT_EQ(nullptr, copy_.Wave);
    EXPECT_EQ(1, buffer_.Wave->RefCount);
    EXPECT_EQ(1, device_.LiveBuffers);
}

TEST_F(SoundBufferTest, DuplicateTakesTheSourceStateAndSharesItsWaveData)
{
    ASSERT_EQ(0, SoundBuffer_Initialize(&buffer_, 4000, &format_, nullptr, 1));
    buffer_.Wave = AllocSoundBufferWaveBlock(4000, 0);
    SoundBufferWaveBlock *wave = buffer_.Wave;
    SoundBuffer_SetPan(&buffer_, -1234);
    SoundBuffer_SetVolume(&buffer_, 3, -500);
    SoundBuffer_SetFrequency(&buffer_, 22050);
    SoundBuffer_Set3DPosition(&buffer_, 1.0f, 2.0f, 3.0f);

    ASSERT_EQ(0, SoundBuffer_Duplicate(&copy_, &buffer_, 1));
    EXPECT_EQ(-1234, copy_.Pan);
    EXPECT_EQ(-500, copy_.Volume[3]);
    EXPECT_EQ(22050, copy_.Frequency);
    EXPECT_EQ(1000u, copy_.SampleNum);
    EXPECT_EQ(0, memcmp(&format_, &copy_.Format, sizeof(format_)));
    EXPECT_EQ(2.0f, copy_.Position3D[1]);
    EXPECT_EQ(2.0f, copy_.Emitter.Position[1]);
    EXPECT_EQ(4000u, ScriptedSoundDevice::Of(&copy_)->Data.size());
    EXPECT_EQ(wave, copy_.Wave);
    EXPECT_EQ(2, wave->RefCount);

    EXPECT_EQ(0, SoundBuffer_Terminate(&buffer_));
    EXPECT_EQ(1, wave->RefCount);
    EXPECT_EQ(0, SoundBuffer_Terminate(&copy_));
    EXPECT_EQ(0, device_.LiveBuffers);
}

TEST_F(SoundBufferTest, EveryOperationRefusesABufferThatIsNotMade)
{
    ASSERT_EQ(0, SoundBuffer_Initialize(&buffer_, 400, &format_, nullptr, 0));
    ASSERT_EQ(0, SoundBuffer_Terminate(&buffer_));
    SOUNDBUFFER *b = &buffer_;
    int value = 0;
    uint32_t u1 = 0, u2 = 0;
    void *p1 = nullptr, *p2 = nullptr;
    const std::vector<std::pair<const char *, std::function<int()>>> calls = {
        {"Terminate", [&] { return SoundBuffer_Terminate(b); }},
        {"Play", [&] { return SoundBuffer_Play(b, 1); }},
        {"Stop", [&] { return SoundBuffer_Stop(b, 0); }},
        {"GetStatus", [&] { return SoundBuffer_GetStatus(b); }},
        {"GetCurrentPosition", [&] { return SoundBuffer_GetCurrentPosition(b, &u1, &u2); }},
        {"SetCurrentPosition", [&] { return SoundBuffer_SetCurrentPosition(b, 0); }},
        {"GetFrequency", [&] { return SoundBuffer_GetFrequency(b, &u1); }},
        {"SetFrequency", [&] { return SoundBuffer_SetFrequency(b, 100); }},
        {"GetPan", [&] { return SoundBuffer_GetPan(b, &value); }},
        {"SetPan", [&] { return SoundBuffer_SetPan(b, 0); }},
        {"GetVolume", [&] { return SoundBuffer_GetVolume(b, 0, &value); }},
        {"SetVolume", [&] { return SoundBuffer_SetVolume(b, 0, 0); }},
        {"SetVolumeAll", [&] { return SoundBuffer_SetVolumeAll(b, 0); }},
        {"Lock", [&] { return SoundBuffer_Lock(b, 0, 4, &p1, &u1, &p2, &u2); }},
        {"Unlock", [&] { return SoundBuffer_Unlock(b, p1, 0, p2, 0); }},
        {"Set3DPosition (not 3D)", [&] { return SoundBuffer_Set3DPosition(b, 1, 1, 1); }},
        {"Set3DVelocity (not 3D)", [&] { return SoundBuffer_Set3DVelocity(b, 1, 1, 1); }},
        {"Set3DDistanceScale (not 3D)", [&] { return SoundBuffer_Set3DDistanceScale(b, 1); }},
    };
    for (const auto &call : calls)
        EXPECT_EQ(-1, call.second()) << call.first;
}

TEST_F(SoundBufferTest, PanVolumeAndFrequencyAreKeptAndApplied)
{
    ASSERT_EQ(0, SoundBuffer_Initialize(&buffer_, 400, &format_, nullptr, 0));
    ScriptedDeviceBuffer *device = ScriptedSoundDevice::Of(&buffer_);
    int value = 0;

    const struct { int Given, Kept; } pans[] = {{-20000, -10000}, {20000, 10000}, {-3, -3}};
    for (const auto &pan : pans)
    {
        EXPECT_EQ(0, SoundBuffer_SetPan(&buffer_, pan.Given));
        EXPECT_EQ(0, SoundBuffer_GetPan(&buffer_, &value));
        EXPECT_EQ(pan.Kept, value) << pan.Given;
    }
    EXPECT_EQ(3, device->VolumeRefreshes);

    EXPECT_EQ(0, SoundBuffer_SetVolume(&buffer_, 7, 500));  // kept as given; the device clamps
    EXPECT_EQ(0, SoundBuffer_GetVolume(&buffer_, 7, &value));
    EXPECT_EQ(500, value);
    EXPECT_EQ(-1, SoundBuffer_SetVolume(&buffer_, 8, 0));
    EXPECT_EQ(-1, SoundBuffer_GetVolume(&buffer_, 8, &value));
    EXPECT_EQ(-1, SoundBuffer_GetVolume(&buffer_, -1, &value));
    EXPECT_EQ(0, SoundBuffer_SetVolumeAll(&buffer_, -700));
    for (int channel : buffer_.Volume)
        EXPECT_EQ(-700, channel);
    EXPECT_EQ(5, device->VolumeRefreshes);

    uint32_t frequency = 0;
    EXPECT_EQ(0, SoundBuffer_SetFrequency(&buffer_, 11025));
    EXPECT_EQ(11025, buffer_.Frequency);
    EXPECT_EQ(0, SoundBuffer_GetFrequency(&buffer_, &frequency));
    EXPECT_EQ(11025u, frequency);
    EXPECT_EQ(0, SoundBuffer_SetFrequency(&buffer_, 0));
    EXPECT_EQ(-1, buffer_.Frequency);
    EXPECT_EQ(0u, device->Frequency);
    EXPECT_EQ(0, SoundBuffer_GetFrequency(&buffer_, &frequency));
    EXPECT_EQ(44100u, frequency);

    device_.FailDeviceCalls = true;
    EXPECT_EQ(-1, SoundBuffer_GetFrequency(&buffer_, &frequency));
    EXPECT_EQ(-1, SoundBuffer_GetStatus(&buffer_));
    EXPECT_EQ(-1, SoundBuffer_Play(&buffer_, 0));
}

TEST_F(SoundBufferTest, PlayKeepsTheLoopFlagAndLockPassesTheDeviceRegions)
{
    ASSERT_EQ(0, SoundBuffer_Initialize(&buffer_, 400, &format_, nullptr, 0));
    ScriptedDeviceBuffer *device = ScriptedSoundDevice::Of(&buffer_);
    EXPECT_EQ(0, SoundBuffer_Play(&buffer_, 1));
    EXPECT_EQ(1, buffer_.Loop);
    EXPECT_EQ(1, device->LoopFlag);
    EXPECT_EQ(1, SoundBuffer_GetStatus(&buffer_));
    EXPECT_EQ(0, SoundBuffer_Stop(&buffer_, 0));
    EXPECT_EQ(0, SoundBuffer_GetStatus(&buffer_));

    device->PlayCursor = 96;
    device->WriteCursor = 128;
    uint32_t play = 0, write = 0;
    EXPECT_EQ(0, SoundBuffer_GetCurrentPosition(&buffer_, &play, nullptr));
    EXPECT_EQ(0, SoundBuffer_GetCurrentPosition(&buffer_, nullptr, &write));
    EXPECT_EQ(96u, play);
    EXPECT_EQ(128u, write);

    void *p1 = nullptr, *p2 = nullptr;
    uint32_t s1 = 0, s2 = 0;
    ASSERT_EQ(0, SoundBuffer_Lock(&buffer_, 360, 100, &p1, &s1, &p2, &s2));
    EXPECT_EQ(device->Data.data() + 360, p1);
    EXPECT_EQ(40u, s1);
    EXPECT_EQ(device->Data.data(), p2);
    EXPECT_EQ(60u, s2);
    EXPECT_EQ(0, SoundBuffer_Unlock(&buffer_, p1, s1, p2, s2));
    EXPECT_EQ(0, device->OpenLocks);
    EXPECT_EQ(-1, SoundBuffer_Lock(&buffer_, 400, 4, &p1, &s1, &p2, &s2));
}

// Where the device keeps no state of its own, positions, frequency and the locked regions come
// from the buffer's own play position, frequency and wave block.
TEST_F(SoundBufferTest, OwnStateAnswersComeFromTheBuffer)
{
    device_.AnswerOwnState = true;
    ASSERT_EQ(0, SoundBuffer_Initialize(&buffer_, 400, &format_, nullptr, 0));  // 100 frames
    buffer_.Wave = AllocSoundBufferWaveBlock(400, 0);
    char *data = static_cast<char *>(buffer_.Wave->Data);

    buffer_.PlayPos = 25;
    uint32_t play = 0, write = 0, frequency = 0;
    EXPECT_EQ(0, SoundBuffer_GetCurrentPosition(&buffer_, &play, &write));
    EXPECT_EQ(100u, play);
    EXPECT_EQ(100u, write);
    EXPECT_EQ(0, SoundBuffer_GetFrequency(&buffer_, &frequency));
    EXPECT_EQ(44100u, frequency);
    SoundBuffer_SetFrequency(&buffer_, 8000);
    EXPECT_EQ(0, SoundBuffer_GetFrequency(&buffer_, &frequency));
    EXPECT_EQ(8000u, frequency);

    const struct {
        uint32_t Offset, Bytes;
        int Result;
        uint32_t First, Size1, Size2;  // first part's byte offset in the block
    } locks[] = {
        {0, 400, 0, 0, 400, 0},     // the whole buffer
        {40, 43, 0, 40, 40, 0},     // whole frames only
        {360, 100, 0, 360, 40, 60}, // wraps to the start
        {396, 4, 0, 396, 4, 0},     // ends exactly at the end
        {400, 4, -1, 0, 0, 0},      // starts outside
        {0, 404, -1, 0, 0, 0},      // longer than the buffer
    };
    for (const auto &lock : locks)
    {
        void *p1 = nullptr, *p2 = nullptr;
        uint32_t s1 = 0, s2 = 0;
        ASSERT_EQ(lock.Result, SoundBuffer_Lock(&buffer_, lock.Offset, lock.Bytes, &p1, &s1, &p2, &s2))
            << lock.Offset << "+" << lock.Bytes;
        if (lock.Result != 0)
            continue;
        EXPECT_EQ(data + lock.First, p1) << lock.Offset << "+" << lock.Bytes;
        EXPECT_EQ(lock.Size1, s1) << lock.Offset << "+" << lock.Bytes;
        EXPECT_EQ(lock.Size2, s2) << lock.Offset << "+" << lock.Bytes;
        EXPECT_EQ(lock.Size2 != 0 ? data : nullptr, p2) << lock.Offset << "+" << lock.Bytes;
    }
}

TEST_F(SoundBufferTest, ThreeDValuesChangeOnlyBeyondTheToleranceAndApplyWhilePlaying)
{
    ASSERT_EQ(0, SoundBuffer_Initialize(&buffer_, 400, &format_, nullptr, 1));
    ScriptedDeviceBuffer *device = ScriptedSoundDevice::Of(&buffer_);
    EXPECT_EQ(14.0f, buffer_.DistanceScale3D);
    EXPECT_EQ(1.0f, buffer_.Front3D[2]);
    EXPECT_EQ(1.0f, buffer_.Up3D[1]);

    EXPECT_EQ(0, SoundBuffer_Set3DPosition(&buffer_, 0.0009f, -0.0009f, 0.0f));
    EXPECT_EQ(0.0f, buffer_.Position3D[0]);
    EXPECT_EQ(0, buffer_.Changed3D);

    // Not playing: kept and handed on, applied at the next play.
    EXPECT_EQ(0, SoundBuffer_Set3DVelocity(&buffer_, 0.0f, 0.0f, 0.002f));
    EXPECT_EQ(0.002f, buffer_.Velocity3D[2]);
    EXPECT_EQ(0.002f, buffer_.Emitter.Velocity[2]);
    EXPECT_EQ(1, buffer_.Changed3D);
    EXPECT_EQ(0, device->Refreshes3D);

    // Playing: applied at once; the flag clears only when that works.
    SoundBuffer_Play(&buffer_, 0);
    device_.Refresh3DResult = -1;
    EXPECT_EQ(0, SoundBuffer_Set3DDistanceScale(&buffer_, 20.0f));
    EXPECT_EQ(20.0f, buffer_.Emitter.DistanceScaler);
    EXPECT_EQ(1, device->Refreshes3D);
    EXPECT_EQ(1, buffer_.Changed3D);
    device_.Refresh3DResult = 0;
    EXPECT_EQ(0, SoundBuffer_Set3DPosition(&buffer_, 5.0f, 0.0f, 0.0f));
    EXPECT_EQ(2, device->Refreshes3D);
    EXPECT_EQ(0, buffer_.Changed3D);
}

TEST(SoundBufferWaveBlock, AreasAreAlignedInsideOneAllocationAndCounted)
{
    for (int doubleArea = 0; doubleArea <= 1; doubleArea++)
    {
        for (uint32_t bytes : {1u, 100u, 4097u})
        {
            SoundBufferWaveBlock *block = AllocSoundBufferWaveBlock(bytes, doubleArea);
            ASSERT_NE(nullptr, block);
            uintptr_t start = reinterpret_cast<uintptr_t>(block);
            uintptr_t end = start + (doubleArea ? 3 * bytes + 64 : bytes + 32);
            uintptr_t first = reinterpret_cast<uintptr_t>(block->Data);
            EXPECT_EQ(0u, first % 16);
            EXPECT_GE(first, start + sizeof(SoundBufferWaveBlock));
            EXPECT_LE(first + bytes, end);
            EXPECT_EQ(bytes, block->Bytes);
            EXPECT_EQ(1, block->RefCount);
            if (doubleArea)
            {
                uintptr_t second = reinterpret_cast<uintptr_t>(block->DoubleData);
                EXPECT_EQ(0u, second % 16);
                EXPECT_GE(second, first + bytes);
                EXPECT_LE(second + 2 * bytes, end);
                memset(block->DoubleData, 0x5A, 2 * bytes);  // faults or trips the heap check if outside
            }
            else
            {
                EXPECT_EQ(nullptr, block->DoubleData);
            }
            memset(block->Data, 0x5A, bytes);
            AddRefSoundBufferWaveBlock(block);
            ReleaseSoundBufferWaveBlock(block);
            EXPECT_EQ(1, block->RefCount);
            ReleaseSoundBufferWaveBlock(block);
        }
    }
    EXPECT_EQ(nullptr, AllocSoundBufferWaveBlock(0x60000000u, 1));  // 3 x size does not fit in 32 bits
}

// One DirectSound volume and pan for the buffer's volumes and pan, in DirectSound's units.
TEST(DirectSoundVolumePan, FoldsVolumesAndPanIntoOneVolumeAndPan)
{
    const struct {
        int Channels, Is3D, Volume0, Volume1, Pan;
        float Factor3D, Pan3D;
        int Volume, ResultPan;
    } cases[] = {
        {2, 0, -10000, 0, 0, 1, 0, -10000, 0},
        {2, 0, -20000, 0, 3000, 1, 0, -10000, 0},  // silent whatever the pan
        {2, 0, 0, 0, -5000, 1, 0, 0, -5000},
        {2, 0, 0, 0, 5000, 1, 0, 0, 5000},
        {1, 0, 500, 0, 0, 1, 0, 0, 0},            // louder than full is full
        {2, 0, -2000, 0, 2500, 1, 0, -2000, 2500},
        {2, 0, -3333, 0, -1, 1, 0, -3333, -2},     // sides truncate toward zero
        {2, 0, -1000, -9000, 0, 1, 0, -1000, 0},   // only the first channel counts
        {4, 0, 300, 0, -7000, 1, 0, 0, -7000},     // many channels: volume clamped, pan as it is
        {6, 0, -12000, 0, 100, 1, 0, -10000, 100},
        {1, 1, 0, 0, 0, 0.5f, 0, -602, 0},
        {1, 1, 0, 0, 0, 0.0f, 0, -10000, 0},
        {2, 1, 0, -602, 0, 1, 0, 0, -602},          // each side its own channel
        {2, 1, 0, 0, 0, 1, -0.5f, 0, 602},          // the 3D pan lowers the left side
        {2, 1, 0, 0, 1000, 1, 0, 0, 1000},          // the buffer pan lowers the other side
    };
    for (const auto &c : cases)
    {
        SOUNDBUFFER buffer = {};
        buffer.Format = Pcm16Format(c.Channels, 44100);
        buffer.Is3D = c.Is3D;
        buffer.Volume[0] = c.Volume0;
        buffer.Volume[1] = c.Volume1;
        buffer.Pan = c.Pan;
        buffer.Volume3DFactor = c.Factor3D;
        buffer.Pan3D = c.Pan3D;
        int volume = 1, pan = 1;
        SoundBuffer_DirectSoundVolumePan(&buffer, &volume, &pan);
        EXPECT_EQ(c.Volume, volume) << c.Channels << " ch, 3D " << c.Is3D << ", " << c.Volume0 << " / " << c.Pan;
        EXPECT_EQ(c.ResultPan, pan) << c.Channels << " ch, 3D " << c.Is3D << ", " << c.Volume0 << " / " << c.Pan;
    }
}

}  // namespace
