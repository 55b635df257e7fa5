// Sound handles on a scripted device: memory sounds played in turn on their buffers, their
// length, volume, pan and frequency, the rule that makes a sound a stream sound, the change of a
// memory sound into a stream sound under the same handle, the 3D side (listener defaults, the
// played list, next-play values), the pause of every handle, asynchronous loads and deletion.
#include "sound_handle_support.h"
#include "tests/support/test_files.h"

#include "zovuz/core/handle/async_load_internal.h"
#include "zovuz/sound/sound_3d_internal.h"

#include <windows.h>

#include <string>

namespace {

Bytes Tone16(int Frames, uint32_t Rate = 44100, uint16_t Channels = 2)
{
    return PcmWaveImage(Channels, 16, Rate, Frames, [](int Frame, int Channel) { return Frame * 3 + Channel; });
}

using SoundHandles = SoundHandleTest;

TEST_F(SoundHandles, MemorySoundPlaysItsBuffersInTurn)
{
    int allocations = GetAllocNum();
    int handle = LoadSoundImage(Tone16(44100), 0, 3);
    ASSERT_GE(handle, 0);
    EXPECT_EQ(SOUND_TYPE_MEMORY, Record(handle).Type);
    EXPECT_EQ(3, Record(handle).BufferNum);
    EXPECT_EQ(3, device_->LiveBuffers);
    EXPECT_EQ(44100, GetSoundTotalSample(handle, 0));
    EXPECT_EQ(1000, GetSoundTotalTime(handle));
    EXPECT_EQ(0, CheckSoundPlaying(handle));

    const int expected[] = {1, 2, 0};
    for (int buffer : expected) {
        ASSERT_EQ(0, PlaySoundHandle(handle, DX_PLAYTYPE_BACK, 1));
        EXPECT_EQ(buffer, Record(handle).BufferPlayIndex);
        EXPECT_TRUE(Device(handle, buffer).Playing);
    }
    EXPECT_EQ(1, CheckSoundPlaying(handle));
    // The fourth play falls on buffer 1, still playing, and plays nothing; the fifth, on buffer
    // 2, starts it again from the top.
    Device(handle, 1).PlayCursor = 1234;
    Device(handle, 2).PlayCursor = 1234;
    EXPECT_EQ(0, PlaySoundHandle(handle, DX_PLAYTYPE_BACK, 0));
    EXPECT_EQ(1234u, Device(handle, 1).PlayCursor);
    EXPECT_EQ(0, PlaySoundHandle(handle, DX_PLAYTYPE_LOOP, 1));
    EXPECT_EQ(0u, Device(handle, 2).PlayCursor);
    EXPECT_EQ(1, Device(handle, 2).LoopFlag);

    for (int i = 0; i < 3; i++) Device(handle, i).Playing = false;  // played to their ends
    EXPECT_EQ(0, CheckSoundPlaying(handle));

    EXPECT_EQ(0, SubHandle(handle));
    EXPECT_EQ(0, device_->LiveBuffers);
    EXPECT_EQ(allocations, GetAllocNum());
    EXPECT_EQ(-1, PlaySoundHandle(handle, DX_PLAYTYPE_BACK, 1));
}

TEST_F(SoundHandles, VolumePanAndFrequencyReachEveryBuffer)
{
    int handle = LoadSoundImage(Tone16(100), 0, 2);
    ASSERT_GE(handle, 0);
    struct
    {
        int Set, Volume, Linear;
    } volumes[] = {{10000, 0, 256}, {5000, -5000, 25}, {-1, -10000, 2}};
    for (const auto &v : volumes) {
        ASSERT_EQ(0, SetSoundVolume(v.Set, handle));
        EXPECT_EQ(v.Volume, Record(handle).Volume[7]) << v.Set;
        EXPECT_EQ(v.Linear, Record(handle).LinearVolume[0]) << v.Set;
        EXPECT_EQ(v.Volume, Record(handle).Buffer[1].Volume[3]) << v.Set;
        EXPECT_EQ(v.Volume + 10000, GetSoundVolume(2, handle)) << v.Set;
    }
    EXPECT_EQ(-1, GetSoundVolume(8, handle));

    EXPECT_EQ(0, SetSoundPan(-20000, handle));
    EXPECT_EQ(-10000, GetSoundPan(handle));
    EXPECT_EQ(-10000, Record(handle).Buffer[1].Pan);

    EXPECT_EQ(0, SetSoundFrequency(22050, handle));
    EXPECT_EQ(22050, GetSoundFrequency(handle));
    EXPECT_EQ(22050u, Device(handle, 1).Frequency);
    EXPECT_EQ(0, SetSoundFrequency(-1, handle));
    EXPECT_EQ(0, Record(handle).Frequency);
    EXPECT_EQ(44100, GetSoundFrequency(handle));
    EXPECT_EQ(-1, SetSoundFrequency(-2, handle));
}

// A sound that lasts more than 180 s, or has a loop of its own or beside it, streams; the rest
// are memory sounds. Files are written in the test's folder.
TEST_F(SoundHandles, LongOrLoopingSoundsBecomeStreamSounds)
{
    auto silence8 = [](int, int) { return 0x80; };
    struct Case
    {
        const wchar_t *Name;
        Bytes Image;
        std::string LoopFile;  // written beside it as "<name>_loop.txt" when not empty
        int Type, LoopStart, LoopEnd;
    } cases[] = {
        {L"s179.wav", PcmWaveImage(1, 8, 8000, 179 * 8000, silence8), "", SOUND_TYPE_MEMORY, 0, 0},
        {L"s181.wav", PcmWaveImage(1, 8, 8000, 181 * 8000, silence8), "", SOUND_TYPE_STREAM, 0, -1},
        {L"smpl.wav", Bytes(), "", SOUND_TYPE_STREAM, 100, 200},
        {L"a.b.wav", Tone16(1000, 44100, 1), "LOOPSTART=300\r\nLOOPLENGTH=400\r\n", SOUND_TYPE_STREAM, 300, 700},
    };
    cases[2].Image =
        PcmWaveImage(1, 16, 44100, 1000, [](int, int) { return 0; }, {{"smpl", SampleLoopBody(1, 100, 199)}});
    LoadSoundParam param;
    InitLoadSoundParam(&param);
    for (const Case &c : cases) {
        ASSERT_TRUE(WriteFileBytes(c.Name, c.Image));
        std::wstring base(c.Name);
        if (!c.LoopFile.empty()) {
            ASSERT_TRUE(WriteFileBytes(base.substr(0, base.rfind(L'.')) + L"_loop.txt", c.LoopFile));
        }
        int handle = LoadSoundMemFromFile(&param, c.Name, 1, -1, 0, 0);
        ASSERT_GE(handle, 0) << c.Name;
        EXPECT_EQ(c.Type, Record(handle).Type) << c.Name;
        const StreamSoundSource &source = Record(handle).Stream.Source[0];
        if (c.Type == SOUND_TYPE_STREAM) {
            EXPECT_EQ(c.LoopStart, source.LoopStartSample) << c.Name;
            EXPECT_EQ(c.LoopEnd, source.LoopEndSample) << c.Name;
            EXPECT_EQ(c.LoopEnd >= 0 ? STREAM_REPEAT_LOOP_POINT : 0, source.RepeatCount) << c.Name;
        }
        SubHandle(handle);
    }
}

TEST_F(SoundHandles, ALoopPointMakesAMemorySoundAStreamUnderTheSameHandle)
{
    int handle = LoadSoundImage(Tone16(4410), 0, 2);
    ASSERT_GE(handle, 0);
    SetSoundVolume(5000, handle);
    SetSoundPan(300, handle);
    SetSoundFrequency(30000, handle);
    EXPECT_EQ(-1, SetSoundLoopSamples(200, 100, handle, 0));
    EXPECT_EQ(-1, SetSoundLoopStartSample(4410, handle, 0));  // beyond the sound
    EXPECT_EQ(SOUND_TYPE_MEMORY, Record(handle).Type);

    ASSERT_EQ(0, SetSoundLoopSamples(100, 200, handle, 0));
    SoundHandleData &sound = Record(handle);
    EXPECT_EQ(SOUND_TYPE_STREAM, sound.Type);
    EXPECT_EQ(4410, GetSoundTotalSample(handle, 0));
    EXPECT_EQ(-5000, sound.Volume[0]);
    EXPECT_EQ(300, GetSoundPan(handle));
    EXPECT_EQ(30000, sound.Frequency);
    EXPECT_EQ(100, sound.Stream.Source[0].LoopStartSample);
    EXPECT_EQ(200, sound.Stream.Source[0].LoopEndSample);
    EXPECT_EQ(1, device_->LiveBuffers);
    EXPECT_EQ(0, ConvertSoundMemToStream(handle));  // already a stream
    // An end at the sound's very end is taken.
    EXPECT_EQ(0, SetSoundLoopEndSample(4410, handle, 0));
    EXPECT_EQ(4410, Record(handle).Stream.Source[0].LoopEndSample);
}

TEST_F(SoundHandles, ThreeDSoundsUseNextPlayValuesOnceAndGoOnThePlayedList)
{
    const auto &listener = Sound3DListener;
    EXPECT_EQ(1.0f, listener.Front[2]);
    EXPECT_FLOAT_EQ(2.6179941f, listener.Cone.InnerAngle);
    EXPECT_FLOAT_EQ(5.7595868f, listener.Cone.OuterAngle);
    EXPECT_EQ(0.75f, listener.Cone.OuterVolume);
    EXPECT_EQ(0.25f, listener.Cone.OuterLowPass);

    int handle = LoadSoundImage(Tone16(100), 0, 1, 1);
    ASSERT_GE(handle, 0);
    SoundHandleData &sound = Record(handle);
    EXPECT_EQ(&sound.List3D, SoundSystem.Sound3DListFirst.Next);
    EXPECT_EQ(14.0f, sound.Buffer[0].DistanceScale3D);

    sound.NextPlay.Pan = {1, 2500};
    sound.NextPlay.Position3D.Flag = 1;
    sound.NextPlay.Position3D.Value[0] = 5.0f;
    ASSERT_EQ(0, PlaySoundHandle(handle, DX_PLAYTYPE_BACK, 1));
    EXPECT_EQ(2500, sound.Buffer[0].Pan);
    EXPECT_EQ(5.0f, sound.Buffer[0].Position3D[0]);
    EXPECT_EQ(1, sound.OnPlayedList);
    EXPECT_EQ(&sound.PlayedList, SoundSystem.PlayedListFirst.Next);
    ASSERT_EQ(0, PlaySoundHandle(handle, DX_PLAYTYPE_BACK, 1));
    EXPECT_EQ(0, sound.Buffer[0].Pan);
    EXPECT_EQ(0.0f, sound.Buffer[0].Position3D[0]);

    // The scripted device has no post-stop work: the next pass takes the sound off the list.
    EXPECT_EQ(0, ProcessPlayedSoundList());
    EXPECT_EQ(0, sound.OnPlayedList);
    EXPECT_EQ(&SoundSystem.PlayedListLast, SoundSystem.PlayedListFirst.Next);
    ASSERT_EQ(0, PlaySoundHandle(handle, DX_PLAYTYPE_BACK, 1));
    SubHandle(handle);
    EXPECT_EQ(&SoundSystem.Sound3DListLast, SoundSystem.Sound3DListFirst.Next);
    EXPECT_EQ(&SoundSystem.PlayedListLast, SoundSystem.PlayedListFirst.Next);
}

TEST_F(SoundHandles, PauseAllStopsPlayingBuffersAndResumesThem)
{
    int playing = LoadSoundImage(Tone16(100), 0, 2);
    int idle = LoadSoundImage(Tone16(100));
    ASSERT_EQ(0, PlaySoundHandle(playing, DX_PLAYTYPE_LOOP, 1));
    ASSERT_EQ(0, PauseAllSoundHandles(1));
    EXPECT_FALSE(Device(playing, 1).Playing);
    EXPECT_EQ(1, CheckSoundPlaying(playing));
    EXPECT_EQ(0, CheckSoundPlaying(idle));
    ASSERT_EQ(0, PauseAllSoundHandles(0));
    EXPECT_TRUE(Device(playing, 1).Playing);
    EXPECT_EQ(1, Device(playing, 1).LoopFlag);
    EXPECT_FALSE(Device(idle).Playing);

    // A sound stopped while paused stays stopped when the window comes back.
    ASSERT_EQ(0, PauseAllSoundHandles(1));
    ASSERT_EQ(0, StopSoundHandle(playing));
    ASSERT_EQ(0, PauseAllSoundHandles(0));
    EXPECT_FALSE(Device(playing, 1).Playing);
}

TEST_F(SoundHandles, AsynchronousLoadsFinishOnTheLoaderThreads)
{
    ASSERT_EQ(0, InitializeASyncLoad(GetCurrentThreadId()));
    ASSERT_EQ(0, StartASyncLoadThreads(2));
    ASSERT_TRUE(WriteFileBytes(L"async.wav", Tone16(22050)));
    LoadSoundParam param;
    InitLoadSoundParam(&param);
    Bytes image = Tone16(441);
    int fromFile = LoadSoundMemFromFile(&param, L"async.wav", 3, -1, 1, 0);
    int fromImage = LoadSoundMemFromMemImage(&param, 1, -1, image.data(), int(image.size()), 2, -1, 1, 0);
    int missing = LoadSoundMemFromFile(&param, L"async_missing.wav", 1, -1, 1, 0);
    ASSERT_GE(fromFile, 0);
    ASSERT_GE(fromImage, 0);
    ASSERT_GE(missing, 0);  // known to fail only once its job has run

    EXPECT_EQ(0, WaitHandleASyncLoad(fromFile));
    EXPECT_EQ(500, GetSoundTotalTime(fromFile));
    EXPECT_EQ(3, Record(fromFile).BufferNum);  // every argument reaches the job
    EXPECT_EQ(0, WaitHandleASyncLoad(fromImage));
    EXPECT_EQ(441, GetSoundTotalSample(fromImage, 0));
    EXPECT_EQ(2, Record(fromImage).BufferNum);
    EXPECT_TRUE(WaitUntilHandleIsGone(missing));
    StopASyncLoadThreads();
    TerminateASyncLoad();
}

}  // namespace
