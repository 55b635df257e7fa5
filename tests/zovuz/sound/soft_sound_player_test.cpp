// The SoftSound player on a scripted device whose play cursor the test sets: buffer and lead
// sizes, clamped frames, the refill's window, amounts, silence and wrap, start, stop, pause and
// the pass over every player.
#include "sound_device_support.h"

#include "zovuz/sound/soft_sound_internal.h"
#include "zovuz/sound/zovuz_sound.h"

#include <gtest/gtest.h>

#include <string.h>

#include <vector>

namespace {

constexpr uint32_t Size = 176400;  // one second of 2-channel 16-bit sound at 44100 Hz
constexpr uint32_t Lead = 8268;    // 12/256 s of it, whole frames
constexpr uint32_t Ahead = 17640;  // 0.1 s: what the refill keeps written ahead

class SoftSoundPlayerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(0, session_.StartResult);
        device_ = new ScriptedSoundDevice;
    }
    void TearDown() override
    {
        DeleteAllSoftSoundHandles();
        delete device_;
    }

    // A stereo 16-bit 44100 Hz player whose device bytes all read 0xAA until written.
    int MakePlayer()
    {
        int handle = MakeSoftSoundPlayer2Ch16Bit44100Hz();
        if (handle >= 0)
            Device(handle).Data.assign(Device(handle).Data.size(), 0xAA);
        return handle;
    }
    static SoftSoundHandleData &Record(int Handle)
    {
        return *reinterpret_cast<SoftSoundHandleData *>(HandleCheck(Handle));
    }
    static ScriptedDeviceBuffer &Device(int Handle)
    {
        return *ScriptedSoundDevice::Of(&Record(Handle).Player.Buffer);
    }
    static std::vector<int16_t> Queued(int Handle)
    {
        RingBuffer &queue = Record(Handle).Player.Queue;
        std::vector<int16_t> samples(queue.DataLength / 2);
        RingBufferDataGet(&queue, samples.data(), queue.DataLength, 1);
        return samples;
    }
    static int16_t DeviceSample(int Handle, uint32_t ByteOffset)
    {
        int16_t value;
        memcpy(&value, &Device(Handle).Data[ByteOffset], 2);
        return value;
    }
    // The refill run with the cursor put at Play (nothing heard on the way) and the device's
    // write cursor at DeviceWrite (by default at the play cursor): the write offset afterwards.
    static uint32_t RefillAt(int Handle, uint32_t Play, uint32_t DeviceWrite = UINT32_MAX)
    {
        Device(Handle).PlayCursor = Play;
        Device(Handle).WriteCursor = DeviceWrite == UINT32_MAX ? Play : DeviceWrite;
        Record(Handle).Player.HeardTo = Play;
        EXPECT_EQ(0, UpdateSoftSoundPlayer(&Record(Handle)));
        return Record(Handle).Player.WriteOffset;
    }
    static void Push(int Handle, int Frames, int First = 1)
    {
        for (int i = 0; i < Frames; i++)
            ASSERT_EQ(0, AddOneDataSoftSoundPlayer(Handle, First + i, -(First + i)));
    }

    SoundSystemSession session_;
    ScriptedSoundDevice *device_ = nullptr;
};

TEST_F(SoftSoundPlayerTest, DeviceBufferIsOneSecondAndTheLeadTwelve256thsInWholeFrames)
{
    struct Case {
        int Channels, Bits, Rate;
        uint32_t Bytes, Lead;
    } cases[] = {
        {2, 16, 44100, 176400, 8268},
        {1, 8, 22050, 22050, 1033},
        {1, 16, 11025, 22050, 1034},  // 1033.5 rounded down, then up to a whole frame
    };
    for (const Case &c : cases)
    {
        int handle = MakeSoftSoundHandle(1, c.Channels, c.Bits, c.Rate, 0, 0, -1, 0);
        ASSERT_GE(handle, 0) << c.Rate;
        EXPECT_EQ(c.Bytes, Record(handle).Player.BufferBytes) << c.Rate;
        EXPECT_EQ(c.Bytes, Device(handle).Data.size()) << c.Rate;
        EXPECT_EQ(c.Lead, Record(handle).Player.LeadBytes) << c.Rate;
        EXPECT_EQ(0u, Record(handle).Player.WriteOffset);
        EXPECT_FALSE(Device(handle).Playing);
    }
}

TEST_F(SoftSoundPlayerTest, FramesAreClampedToTheSampleWidth)
{
    struct Case {
        int Channels, Bits, Left, Right;
        std::vector<uint8_t> Queued;
    } cases[] = {
        {2, 16, 40000, -40000, {0xFF, 0x7F, 0x00, 0x80}},
        {2, 16, -2, 3, {0xFE, 0xFF, 0x03, 0x00}},
        {2, 8, 300, -5, {255, 0}},
        {1, 16, 1000, 5000, {0xE8, 0x03}},  // a mono player takes the left value only
        {1, 8, 100, 200, {100}},
    };
    for (const Case &c : cases)
    {
        int handle = MakeSoftSoundHandle(1, c.Channels, c.Bits, 44100, 0, 0, -1, 0);
        ASSERT_GE(handle, 0);
        ASSERT_EQ(0, AddOneDataSoftSoundPlayer(handle, c.Left, c.Right));
        RingBuffer &queue = Record(handle).Player.Queue;
        std::vector<uint8_t> bytes(queue.DataLength);
        RingBufferDataGet(&queue, bytes.data(), queue.DataLength, 1);
        EXPECT_EQ(c.Queued, bytes) << c.Channels << " x " << c.Bits << " bits, " << c.Left;
        EXPECT_EQ(1, Record(handle).Player.QueuedFrames);
    }

    // Formats the producer path cannot build take no frames; data is no player.
    int floatPlayer = MakeSoftSoundHandle(1, 2, 32, 44100, 0, 1, -1, 0);
    int quad = MakeSoftSoundHandle(1, 4, 16, 44100, 0, 0, -1, 0);
    int data = MakeSoftSoundHandle(0, 2, 16, 44100, 10, 0, -1, 0);
    ASSERT_GE(floatPlayer, 0);
    ASSERT_GE(quad, 0);
    EXPECT_EQ(-1, AddOneDataSoftSoundPlayer(floatPlayer, 1, 1));
    EXPECT_EQ(-1, AddOneDataSoftSoundPlayer(quad, 1, 1));
    EXPECT_EQ(-1, AddOneDataSoftSoundPlayer(data, 1, 1));
    EXPECT_EQ(-1, AddOneDataSoftSoundPlayer(-1, 1, 1));
    EXPECT_EQ(0, Record(floatPlayer).Player.QueuedFrames);
}

TEST_F(SoftSoundPlayerTest, StartWithAnEmptyQueueWritesTwoLeadsOfSilenceAndLoops)
{
    int handle = MakePlayer();
    ASSERT_GE(handle, 0);
    ASSERT_EQ(0, StartSoftSoundPlayer(handle));
    EXPECT_TRUE(Device(handle).Playing);
    EXPECT_EQ(1, Device(handle).LoopFlag);
    EXPECT_EQ(2 * Lead, Record(handle).Player.WriteOffset);
    std::vector<uint8_t> &data = Device(handle).Data;
    EXPECT_EQ(std::vector<uint8_t>(2 * Lead, 0), std::vector<uint8_t>(data.begin(), data.begin() + 2 * Lead));
    EXPECT_EQ(0xAA, data[2 * Lead]);
    EXPECT_EQ(0, Device(handle).OpenLocks);

    // Started twice is still one start.
    EXPECT_EQ(0, StartSoftSoundPlayer(handle));
    EXPECT_EQ(2 * Lead, Record(handle).Player.WriteOffset);
}

// Each pass tops the written stretch up to 0.1 s ahead of the cursor, two leads at most; it writes
// silence only when the queue is empty and a lead or less is left; a cursor that has passed the
// write offset (a late pass) moves it to the device's write cursor, or to the play cursor when
// the device gives none near it.
TEST_F(SoftSoundPlayerTest, RefillTopsUpToTheStretchAheadAndGoesOnFromTheWriteCursorWhenLate)
{
    struct Case {
        const char *Name;
        uint32_t Write, Play, Committed;  // Committed: from the play cursor to the write cursor
        int Queued;
        uint32_t Start, End;  // where the pass wrote: Start == End when it wrote nothing
        bool Silence;
    } cases[] = {
        {"on time", 20000, 10000, 1764, 5000, 20000, 27640, false},
        {"the stretch is full", 20000, 2360, 1764, 5000, 20000, 20000, false},
        {"two leads at most", 20000, 19996, 0, 5000, 20000, 20000 + 2 * Lead, false},
        {"only what is queued", 20000, 19000, 0, 100, 20000, 20400, false},
        {"no silence while more than a lead is left", 20000, 10000, 1764, 0, 20000, 20000, false},
        {"silence with a lead left", 20000, 11732, 1764, 0, 20000, 20000 + Ahead - Lead, true},
        {"across the end", 176000, 170000, 1764, 5000, 176000, 11240, false},
        {"late: from the write cursor", 20000, 30000, 2000, 5000, 32000, 47640, false},
        {"late by one frame", 20000, 20004, 1764, 5000, 21768, 37644, false},
        {"behind the write cursor", 20000, 19000, 2000, 5000, 21000, 36640, false},
        {"late, no write cursor near", 20000, 100000, 76400, 5000, 100000, 100000 + 2 * Lead, false},
    };
    for (const Case &c : cases)
    {
        int handle = MakePlayer();
        Record(handle).Player.PlayingFlag = 1;
        Record(handle).Player.WriteOffset = c.Write;
        Push(handle, c.Queued, 7);
        EXPECT_EQ(c.End, RefillAt(handle, c.Play, (c.Play + c.Committed) % Size)) << c.Name;
        if (c.Start == c.End)
            continue;
        EXPECT_EQ(c.Silence ? 0 : 7, DeviceSample(handle, c.Start)) << c.Name;
        EXPECT_EQ(0xAA, Device(handle).Data[(c.Start + Size - 1) % Size]) << c.Name;
        EXPECT_EQ(0xAA, Device(handle).Data[c.End]) << c.Name;
    }

    // A player that does not play is never refilled.
    int handle = MakePlayer();
    Record(handle).Player.WriteOffset = 16536;
    EXPECT_EQ(16536u, RefillAt(handle, 16536));
}

// The device as a listener hears it: the cursor moves 10 ms a step, the producer pushes a
// frame-counter ramp, and the refill runs each step except while it is held back. Whatever the
// delay, the listener hears every frame once, in order, with one gap of at most the delay; never
// the sound of a second before.
TEST_F(SoftSoundPlayerTest, ALateRefillLeavesAShortGapAndReplaysNothing)
{
    for (int heldSteps : {0, 10, 30})
    {
        SCOPED_TRACE(heldSteps);
        int handle = MakePlayer();
        ASSERT_EQ(0, StartSoftSoundPlayer(handle));
        int pushed = 0;
        std::vector<int> heard;  // counter values, -1 for a silent frame
        uint32_t play = 0;
        for (int step = 0; step < 300; step++)
        {
            // Held back by the player lock, the producer waits as well.
            bool held = step >= 150 && step < 150 + heldSteps;
            for (int i = 0; i < 441 && !held; i++, pushed++)
                ASSERT_EQ(0, AddOneDataSoftSoundPlayer(handle, pushed % 30000 + 1, pushed / 30000 + 1));
            for (int i = 0; i < 441; i++, play = (play + 4) % Size)
            {
                int16_t frame[2];
                memcpy(frame, &Device(handle).Data[play], 4);
                heard.push_back(frame[0] == 0 ? -1 : (frame[1] - 1) * 30000 + frame[0] - 1);
            }
            Device(handle).PlayCursor = play;
            Device(handle).WriteCursor = (play + 1764) % Size;
            if (!held) {
                ASSERT_EQ(0, UpdateSoftSoundPlayer(&Record(handle)));
            }
        }
        int next = 0, gaps = 0, longest = 0, run = 0;
        for (int value : heard)
        {
            if (value < 0)
            {
                if (next > 0)
                    run++;
                continue;
            }
            ASSERT_EQ(next, value) << "after " << next << " frames";
            if (run > 0)
                gaps++;
            longest = run > longest ? run : longest;
            run = 0;
            next++;
        }
        EXPECT_GT(next, 100000);
        EXPECT_EQ(heldSteps > 2 ? 1 : 0, gaps);
        EXPECT_LE(longest, heldSteps * 441);
        DeleteSoftSoundPlayer(handle);
    }
}

// A cursor seen behind where it was (a device that rewound) has heard nothing new: what is
// written ahead of it stays.
TEST_F(SoftSoundPlayerTest, ACursorSeenBehindItsLastPlaceSilencesNothingWrittenAhead)
{
    int handle = MakePlayer();
    Record(handle).Player.PlayingFlag = 1;
    Record(handle).Player.WriteOffset = 20000;
    Record(handle).Player.HeardTo = 15000;
    Device(handle).PlayCursor = 10000;
    EXPECT_EQ(0, UpdateSoftSoundPlayer(&Record(handle)));
    EXPECT_EQ(0xAA, Device(handle).Data[10000]);
    EXPECT_EQ(0xAA, Device(handle).Data[19999]);
    EXPECT_EQ(0, Device(handle).Data[20000]);
    EXPECT_EQ(0, Device(handle).Data[9999]);
}

// Left undrained for 10 s (a paused device, a stalled refill), the queue keeps only its newest
// few hundred milliseconds, counts what it dropped and logs the first drop once; the refill then goes on from the
// oldest frame kept, so the sound is current again within that.
TEST_F(SoftSoundPlayerTest, AnUndrainedQueueKeepsOnlyItsNewestFrames)
{
    const int total = 10 * 44100;
    LogReader log;
    int handle = MakePlayer();
    ASSERT_EQ(0, StartSoftSoundPlayer(handle));
    const int bound = Record(handle).Player.QueueLimitFrames;
    EXPECT_GE(bound, 44100 / 5);  // a few hundred milliseconds
    EXPECT_LE(bound, 44100 / 2);
    for (int i = 0; i < total; i++)
        ASSERT_EQ(0, AddOneDataSoftSoundPlayer(handle, i % 30000, i / 30000));
    EXPECT_EQ(bound, Record(handle).Player.QueuedFrames);
    EXPECT_EQ(total - bound, Record(handle).Player.DroppedFrames);
    std::wstring message = L"ソフトサウンドプレイヤーのキューが一杯になったため古いデータを破棄しました\n";
    EXPECT_TRUE(log.HasInOrder({message})) << log.Appended();
    EXPECT_FALSE(log.HasInOrder({message, message}));

    uint32_t at = Record(handle).Player.WriteOffset;
    RefillAt(handle, at);
    EXPECT_EQ((total - bound) % 30000, DeviceSample(handle, at));
    EXPECT_EQ((total - bound) / 30000, DeviceSample(handle, at + 2));
}

TEST_F(SoftSoundPlayerTest, RegionAcrossTheEndIsSplitAndTheWriteOffsetWraps)
{
    int handle = MakePlayer();
    Record(handle).Player.PlayingFlag = 1;
    Record(handle).Player.WriteOffset = 176000;
    Push(handle, 200);
    EXPECT_EQ(400u, RefillAt(handle, 176000 - Lead));
    EXPECT_EQ(1, DeviceSample(handle, 176000));
    EXPECT_EQ(100, DeviceSample(handle, 176396));
    EXPECT_EQ(101, DeviceSample(handle, 0));
    EXPECT_EQ(-200, DeviceSample(handle, 398));
    EXPECT_EQ(0xAA, Device(handle).Data[400]);
    EXPECT_EQ(0, Device(handle).OpenLocks);

    // A region that ends with the buffer wraps the write offset to 0.
    Push(handle, 100);
    Record(handle).Player.WriteOffset = 176000;
    EXPECT_EQ(0u, RefillAt(handle, 176000));

    // Silence across the end as well.
    Record(handle).Player.WriteOffset = 170000;
    EXPECT_EQ(170000 + 2 * Lead - Size, RefillAt(handle, 170000));
    EXPECT_EQ(0, DeviceSample(handle, 176398));
    EXPECT_EQ(0, DeviceSample(handle, 400));
}

TEST_F(SoftSoundPlayerTest, EightBitSilenceIsTheMiddleOfTheRange)
{
    int handle = MakeSoftSoundHandle(1, 1, 8, 22050, 0, 0, -1, 0);
    ASSERT_EQ(0, StartSoftSoundPlayer(handle));
    EXPECT_EQ(2066u, Record(handle).Player.WriteOffset);
    EXPECT_EQ(0x80, Device(handle).Data[0]);
    EXPECT_EQ(0x80, Device(handle).Data[2065]);
}

TEST_F(SoftSoundPlayerTest, LockFailureWritesNothing)
{
    int handle = MakePlayer();
    Record(handle).Player.PlayingFlag = 1;
    Push(handle, 10);
    device_->FailDeviceCalls = true;
    Device(handle).PlayCursor = 0;
    EXPECT_EQ(-1, UpdateSoftSoundPlayer(&Record(handle)));
    EXPECT_EQ(0u, Record(handle).Player.WriteOffset);
    EXPECT_EQ(10, Record(handle).Player.QueuedFrames);
}

TEST_F(SoftSoundPlayerTest, StopAndStartKeepTheQueueAndTheWriteOffset)
{
    int handle = MakePlayer();
    ASSERT_EQ(0, StartSoftSoundPlayer(handle));
    ASSERT_EQ(0, StopSoftSoundPlayer(handle));
    EXPECT_FALSE(Device(handle).Playing);
    EXPECT_EQ(0, Record(handle).Player.PlayingFlag);
    EXPECT_EQ(0, StopSoftSoundPlayer(handle));  // already stopped

    // Stopped, it still queues, and nothing is refilled.
    Push(handle, 50);
    EXPECT_EQ(0, ProcessSoftSoundPlayers());
    EXPECT_EQ(50, Record(handle).Player.QueuedFrames);

    // The cursor stayed where the device stopped; the start continues at the kept offset.
    Device(handle).PlayCursor = 2 * Lead;
    ASSERT_EQ(0, StartSoftSoundPlayer(handle));
    EXPECT_EQ(2 * Lead + 200, Record(handle).Player.WriteOffset);
    EXPECT_EQ(1, DeviceSample(handle, 2 * Lead));
    EXPECT_EQ(0, Record(handle).Player.QueuedFrames);
}

TEST_F(SoftSoundPlayerTest, AStartTheDeviceRefusesLeavesThePlayerStoppedForTheNextStart)
{
    int handle = MakePlayer();
    device_->FailDeviceCalls = true;
    EXPECT_EQ(-1, StartSoftSoundPlayer(handle));
    EXPECT_EQ(0, Record(handle).Player.PlayingFlag);
    EXPECT_FALSE(Device(handle).Playing);

    device_->FailDeviceCalls = false;
    EXPECT_EQ(0, StartSoftSoundPlayer(handle));
    EXPECT_TRUE(Device(handle).Playing);
}

TEST_F(SoftSoundPlayerTest, OnePassRefillsEveryPlayingPlayer)
{
    int playing[2] = {MakePlayer(), MakePlayer()};
    int stopped = MakePlayer();
    for (int handle : playing)
        ASSERT_EQ(0, StartSoftSoundPlayer(handle));
    for (int handle : {playing[0], playing[1], stopped})
    {
        Push(handle, 10);
        Record(handle).Player.WriteOffset = 2 * Lead;
        Device(handle).PlayCursor = 2 * Lead;
    }
    EXPECT_EQ(0, ProcessSoftSoundPlayers());
    for (int handle : playing)
        EXPECT_EQ(2 * Lead + 40, Record(handle).Player.WriteOffset);
    EXPECT_EQ(2 * Lead, Record(stopped).Player.WriteOffset);
    EXPECT_EQ(10, Record(stopped).Player.QueuedFrames);

    // A deleted player leaves the pass.
    ASSERT_EQ(0, DeleteSoftSoundPlayer(playing[0]));
    EXPECT_EQ(nullptr, HandleCheck(playing[0]));
    Push(playing[1], 10);
    Device(playing[1]).PlayCursor = 2 * Lead + 40;
    EXPECT_EQ(0, ProcessSoftSoundPlayers());
    EXPECT_EQ(2 * Lead + 80, Record(playing[1]).Player.WriteOffset);
}

TEST_F(SoftSoundPlayerTest, PauseAllStopsPlayingBuffersAndResumeRestartsOnlyThose)
{
    int playing = MakePlayer();
    int stopped = MakePlayer();
    ASSERT_EQ(0, StartSoftSoundPlayer(playing));

    ASSERT_EQ(0, PauseAllSoftSoundPlayers(1));
    EXPECT_FALSE(Device(playing).Playing);
    EXPECT_EQ(1, Record(playing).Player.PausedFlag);
    EXPECT_EQ(1, Record(playing).Player.WasPlayingFlag);
    EXPECT_EQ(1, Record(playing).Player.PlayingFlag);  // still a playing player
    EXPECT_EQ(1, Record(stopped).Player.PausedFlag);
    EXPECT_EQ(0, Record(stopped).Player.WasPlayingFlag);

    // A second pause keeps what the first one saw.
    ASSERT_EQ(0, PauseAllSoftSoundPlayers(1));
    EXPECT_EQ(1, Record(playing).Player.WasPlayingFlag);

    Device(playing).LoopFlag = 0;
    ASSERT_EQ(0, PauseAllSoftSoundPlayers(0));
    EXPECT_TRUE(Device(playing).Playing);
    EXPECT_EQ(1, Device(playing).LoopFlag);
    EXPECT_EQ(0, Record(playing).Player.PausedFlag);
    EXPECT_FALSE(Device(stopped).Playing);
    EXPECT_EQ(0, Record(stopped).Player.PausedFlag);

    // A status the device cannot give leaves the player unpaused.
    device_->FailDeviceCalls = true;
    ASSERT_EQ(0, PauseAllSoftSoundPlayers(1));
    EXPECT_EQ(0, Record(playing).Player.PausedFlag);
}

TEST_F(SoftSoundPlayerTest, DeletionsRefuseTheOtherKind)
{
    int player = MakePlayer();
    int data = MakeSoftSoundHandle(0, 2, 16, 44100, 100, 0, -1, 0);
    ASSERT_GE(data, 0);
    EXPECT_EQ(-1, DeleteSoftSound(player));
    EXPECT_EQ(-1, DeleteSoftSoundPlayer(data));
    EXPECT_NE(nullptr, HandleCheck(player));
    EXPECT_NE(nullptr, HandleCheck(data));
    EXPECT_EQ(-1, GetSoftSoundSampleNum(player));
    EXPECT_EQ(-1, StartSoftSoundPlayer(data));
    EXPECT_EQ(-1, StopSoftSoundPlayer(data));

    EXPECT_EQ(1, device_->LiveBuffers);
    EXPECT_EQ(0, DeleteSoftSoundPlayer(player));
    EXPECT_EQ(0, device_->LiveBuffers);
    EXPECT_EQ(0, DeleteSoftSound(data));
    EXPECT_EQ(nullptr, HandleCheck(data));
    EXPECT_EQ(-1, DeleteSoftSound(data));
}

TEST_F(SoftSoundPlayerTest, APlayerWhoseDeviceBufferFailsIsNotMade)
{
    device_->FailInitialize = true;
    LogReader log;
    EXPECT_EQ(-1, MakeSoftSoundPlayer2Ch16Bit44100Hz());
    EXPECT_EQ(0, GetHandleManage(DX_HANDLETYPE_SOFTSOUND)->Num);
    EXPECT_TRUE(log.HasInOrder({L"ソフトサウンドプレイヤー用サウンドバッファの作成に失敗しました\n"})) << log.Appended();
}

}  // namespace
