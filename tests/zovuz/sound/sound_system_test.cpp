// The sound system's start and end on the real device: what every call does before the start,
// the handle types and tone buffers it makes, a refused second start, a device that does not
// start, the end releasing every handle; the load parameters; the tone buffers' refill and
// timed steps on a scripted device; the Music type's callbacks.
#include "sound_device_support.h"

#include "zovuz/core/system_info_internal.h"
#include "zovuz/sound/soft_sound_internal.h"
#include "zovuz/sound/sound_platform_internal.h"
#include "zovuz/sound/sound_system_internal.h"
#include "zovuz/sound/sound_thread_internal.h"
#include "zovuz/sound/windows/dsound_device_win.h"
#include "zovuz/sound/zovuz_sound.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

namespace {

bool AllCallsRefused()
{
    int results[] = {
        MakeSoftSoundPlayer2Ch16Bit44100Hz(),
        MakeSoftSoundHandle(0, 2, 16, 44100, 10, 0, -1, 0),
        LoadSoftSound("x.wav"),
        AddOneDataSoftSoundPlayer(0x10000000, 1, 1),
        StartSoftSoundPlayer(0x10000000),
        StopSoftSoundPlayer(0x10000000),
        PauseAllSoftSoundPlayers(1),
        PauseAllSoundHandles(1),
        ProcessStreamSounds(),
        ProcessSoftSoundPlayers(),
        ProcessPlayedSoundList(),
        ProcessDeleteOnPlayEndSounds(),
        ProcessMusicHandles(),
        TerminateSoundSystem(),
    };
    for (int result : results)
        if (result != -1)
            return false;
    return true;
}

TEST(SoundSystem, StartMakesTheTypesAndTonesAndEndReleasesEverything)
{
    InitializeCom();
    EXPECT_TRUE(AllCallsRefused());
    int allocations = GetAllocNum();

    SetSoundThreadCreateFailForTest(1);
    ASSERT_EQ(0, InitializeSoundSystem());
    SetSoundThreadCreateFailForTest(0);
    EXPECT_EQ(44100u, SoundSystem.OutputSampleRate);
    struct Type {
        int Number, MaxNum;
        const wchar_t *Name;
    } types[] = {{3, 32768, L"Sound"}, {4, 8192, L"SoftSound"}, {5, 256, L"Music"}};
    for (const Type &t : types)
    {
        EXPECT_EQ(1, GetHandleManage(t.Number)->InitializeFlag) << t.Number;
        EXPECT_EQ(t.MaxNum, GetHandleManage(t.Number)->MaxNum) << t.Number;
        EXPECT_EQ(std::wstring(t.Name), GetHandleManage(t.Number)->Name) << t.Number;
    }
    for (const SoundToneData &tone : SoundSystem.Tone)
    {
        EXPECT_EQ(1, tone.Buffer.Valid);
        EXPECT_EQ(22050u, tone.Buffer.SampleNum);
        EXPECT_EQ(1, tone.Buffer.Format.nChannels);
        EXPECT_EQ(16, tone.Buffer.Format.wBitsPerSample);
        EXPECT_EQ(-1, tone.Buffer.Frequency);
    }
    for (int (*step)(void) : {ProcessStreamSounds, ProcessSoftSoundPlayers, ProcessPlayedSoundList,
                              ProcessDeleteOnPlayEndSounds, ProcessMusicHandles})
        EXPECT_EQ(0, step());
    EXPECT_EQ(0, PauseAllSoundHandles(1));
    EXPECT_EQ(0, PauseAllSoundHandles(0));
    EXPECT_EQ(0, StopCurrentMusic());

    // A second start changes nothing.
    void *device = GetDirectSoundDevice();
    EXPECT_EQ(-1, InitializeSoundSystem());
    EXPECT_EQ(device, static_cast<void *>(GetDirectSoundDevice()));

    // Handles of every kind go with the end.
    int data = MakeSoftSoundHandle(0, 2, 16, 44100, 1000, 0, -1, 0);
    int player = MakeSoftSoundPlayer2Ch16Bit44100Hz();
    ASSERT_EQ(0, AddOneDataSoftSoundPlayer(player, 1, 1));
    int music = AddHandle(DX_HANDLETYPE_MUSIC, 0, -1);
    ASSERT_GE(data, 0);
    ASSERT_GE(music, 0);
    EXPECT_EQ(255, reinterpret_cast<MusicHandleData *>(HandleCheck(music))->Volume);

    EXPECT_EQ(0, TerminateSoundSystem());
    for (const Type &t : types)
        EXPECT_EQ(0, GetHandleManage(t.Number)->InitializeFlag) << t.Number;
    EXPECT_EQ(0, SoundPlatform_IsInitialized());
    EXPECT_EQ(0, SoundSystem.Tone[0].Buffer.Valid);
    EXPECT_EQ(nullptr, SoundService.ProcessSoftSoundPlayers);
    EXPECT_EQ(allocations, GetAllocNum());
    EXPECT_TRUE(AllCallsRefused());
}

TEST(SoundSystem, ADeviceThatDoesNotStartLeavesNothingForTheNextStart)
{
    InitializeCom();
    ASSERT_EQ(0, InitializeSoundPlatform());  // the device is taken: the system's start fails
    EXPECT_EQ(-1, InitializeSoundSystem());
    EXPECT_EQ(0, SoundSystem.InitializeFlag);
    EXPECT_EQ(0, GetHandleManage(DX_HANDLETYPE_SOFTSOUND)->InitializeFlag);
    EXPECT_EQ(0, SoundSystem.LocksMade);
    TerminateSoundPlatform();

    SoundSystemSession session;
    EXPECT_EQ(0, session.StartResult);
    EXPECT_GE(MakeSoftSoundPlayer2Ch16Bit44100Hz(), 0);
}

TEST(SoundSystem, LoadParametersFollowTheSettings)
{
    SoundSystemSession session;
    ASSERT_EQ(0, session.StartResult);
    LoadSoundParam param;
    memset(&param, 0xCC, sizeof(param));
    InitLoadSoundParam(&param);
    EXPECT_EQ(0, param.KeepFlag);
    EXPECT_EQ(0, param.CreateType);
    EXPECT_EQ(1.0f, param.PitchRate);
    EXPECT_EQ(1.0f, param.TimeStretchRate);
    EXPECT_EQ(0, param.LoopStartSample);
    EXPECT_EQ(0, param.ConvertSkipMask);
    EXPECT_EQ(2, param.ConvertOggVorbisBitDepth);
    EXPECT_EQ(0, param.ConvertOggVorbisDecoder);

    // A memory sound with a loop in either unit becomes a stream sound of the image.
    struct Case {
        int CreateType, StartMs, EndMs, StartSample, EndSample, Expected;
    } cases[] = {
        {0, 0, 1000, 0, 0, 2},
        {0, 0, 0, 10, 500, 2},
        {0, 5, 5, 7, 7, 0},
        {1, 0, 1000, 0, 0, 1},
    };
    for (const Case &c : cases)
    {
        LoadSoundParam &settings = SoundSystem.CreateSoundParam;
        settings.CreateType = c.CreateType;
        settings.LoopStartMilliSec = c.StartMs;
        settings.LoopEndMilliSec = c.EndMs;
        settings.LoopStartSample = c.StartSample;
        settings.LoopEndSample = c.EndSample;
        InitLoadSoundParam(&param);
        EXPECT_EQ(c.Expected, param.CreateType) << c.StartMs << " " << c.EndMs << " " << c.StartSample;
    }
}

TEST(SoundSystem, StopCurrentMusicDeletesItAndMusicDataIsFreed)
{
    SoundSystemSession session;
    ASSERT_EQ(0, session.StartResult);
    int allocations = GetAllocNum();
    int music = AddHandle(DX_HANDLETYPE_MUSIC, 0, -1);
    MusicHandleData *record = reinterpret_cast<MusicHandleData *>(HandleCheck(music));
    record->MidiData = DXALLOC(100);
    record->MidiDataSize = 100;
    record->PlayFlag = 1;
    SoundSystem.CurrentMusicHandle = music;

    EXPECT_EQ(0, StopCurrentMusic());
    EXPECT_EQ(nullptr, HandleCheck(music));
    EXPECT_EQ(0, SoundSystem.CurrentMusicHandle);
    EXPECT_EQ(allocations, GetAllocNum());
    EXPECT_EQ(0, StopCurrentMusic());
}

TEST(SoundTones, ABufferThatCannotBeMadeOrIsMadeAlreadyFailsTheirStart)
{
    ScriptedSoundDevice device;
    LogReader log;
    ASSERT_EQ(0, InitializeSoundTones());
    EXPECT_EQ(3, device.LiveBuffers);
    EXPECT_EQ(44100u, ScriptedSoundDevice::Of(&SoundSystem.Tone[2].Buffer)->Data.size());
    EXPECT_EQ(-1, InitializeSoundTones());  // already made
    EXPECT_EQ(0, TerminateSoundTones());
    EXPECT_EQ(0, device.LiveBuffers);

    device.FailInitialize = true;
    EXPECT_EQ(-1, InitializeSoundTones());
    EXPECT_EQ(0, device.LiveBuffers);
    EXPECT_TRUE(log.HasInOrder({L"BEEP音用のサウンドバッファの作成に失敗しました\n",
                                L"BEEP音用のサウンドバッファの作成に失敗しました\n"}))
        << log.Appended();
    TerminateSoundTones();
}

class SoundToneTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SoundWaveFormat format = Pcm16Format(1, 44100);
        ASSERT_EQ(0, SoundBuffer_Initialize(&tone_.Buffer, 44100, &format, nullptr, 0));
        tone_.Wave = static_cast<int16_t *>(DXALLOC(100 * sizeof(int16_t)));
        tone_.WaveLength = 100;
        for (int i = 0; i < 100; i++)
            tone_.Wave[i] = int16_t(i + 1);
    }
    void TearDown() override
    {
        SoundBuffer_Terminate(&tone_.Buffer);
        DXFREE(tone_.Wave);
    }
    int16_t Sample(int Frame)
    {
        int16_t value;
        memcpy(&value, &ScriptedSoundDevice::Of(&tone_.Buffer)->Data[Frame * 2], 2);
        return value;
    }

    ScriptedSoundDevice device_;
    SoundToneData tone_ = {};
};

TEST_F(SoundToneTest, APlayingToneIsRefilledAQuarterAtATimeFromItsWaveTable)
{
    ScriptedDeviceBuffer &device = *ScriptedSoundDevice::Of(&tone_.Buffer);
    tone_.WriteFrame = 5000;
    EXPECT_EQ(0, ProcessSoundTone(&tone_, 0));
    EXPECT_EQ(0, Sample(5000));  // not playing: nothing written
    ASSERT_EQ(0, SoundBuffer_Play(&tone_.Buffer, 1));

    struct Step {
        int Cursor, WriteFrame, NextWriteFrame;
    } steps[] = {
        {0, 5000, 10512},       // 5000 frames ahead: due
        {4999, 10512, 10512},   // 5513 ahead: not due
        {5000, 10512, 16024},   // 5512 ahead: due
        {16000, 20000, 3462},   // across the end of the buffer
        {3462, 3462, 3462},     // the cursor at the write position: a whole buffer ahead
    };
    for (const Step &s : steps)
    {
        device.PlayCursor = uint32_t(s.Cursor) * 2;
        tone_.WriteFrame = s.WriteFrame;
        EXPECT_EQ(0, ProcessSoundTone(&tone_, 0));
        EXPECT_EQ(s.NextWriteFrame, tone_.WriteFrame) << s.Cursor;
    }
    // The table loops: frames 5000.. hold 1..100, 1..; the wrap continues where it stopped.
    EXPECT_EQ(1, Sample(5000));
    EXPECT_EQ(100, Sample(5099));
    EXPECT_EQ(1, Sample(5100));
    int index = (2 * 5512) % 100;
    EXPECT_EQ(index + 1, Sample(20000));
    EXPECT_EQ((index + 2050) % 100 + 1, Sample(0));
    EXPECT_EQ(0, device.OpenLocks);
}

TEST_F(SoundToneTest, VolumeReturnsAndTheToneStops16MillisecondsLater)
{
    ScriptedDeviceBuffer &device = *ScriptedSoundDevice::Of(&tone_.Buffer);
    ASSERT_EQ(0, SoundBuffer_Play(&tone_.Buffer, 1));
    tone_.WriteFrame = 0;  // the cursor at 0: nothing is due
    SoundBuffer_SetVolume(&tone_.Buffer, 0, -3000);
    tone_.VolumeRestoreFlag = 1;
    tone_.VolumeRestoreTime = 1000;
    tone_.StopFlag = 1;
    tone_.StopTime = 1005;

    ProcessSoundTone(&tone_, 1015);
    EXPECT_EQ(-3000, tone_.Buffer.Volume[0]);
    ProcessSoundTone(&tone_, 1016);
    EXPECT_EQ(0, tone_.Buffer.Volume[0]);
    EXPECT_EQ(0, tone_.VolumeRestoreFlag);
    EXPECT_TRUE(device.Playing);
    ProcessSoundTone(&tone_, 1021);
    EXPECT_FALSE(device.Playing);
    EXPECT_EQ(0, tone_.StopFlag);

    // A clock that went back counts as time passed.
    ASSERT_EQ(0, SoundBuffer_Play(&tone_.Buffer, 1));
    tone_.StopFlag = 1;
    tone_.StopTime = 5000;
    ProcessSoundTone(&tone_, 10);
    EXPECT_FALSE(device.Playing);
}

}  // namespace
