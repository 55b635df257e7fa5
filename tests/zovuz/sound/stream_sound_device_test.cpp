// Sound handles on the real device, stream sounds refilled by the sound thread: a looped stream
// still plays after twice its length, one that does not loop stops by itself back at position
// 0, a fourth source is refused, and a memory sound ends by itself (play type 0 waits for it).
// A numbered signal with a loop point plays for TARVEX_TONE_SECONDS (1 s) while
// stream_recording.sh records the sink and checks that no frame is lost or repeated, above all
// where the sound jumps back.
#include "sound_device_support.h"
#include "sound_test_support.h"

#include "zovuz/sound/sound_handle_internal.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

// The recorded signal: a 1001 Hz tone and a ramp of 3675 frames, which together number the
// frames modulo 44100. The loop of 1 s from about 0.5 s spans that once, so the jump continues
// the signal; a jump back to the start instead shows as frames missing. Its points lie halfway
// between two of the 220.5-frame steps in which Wine's mixer takes the stream from its start,
// where the sound server's own silences begin.
constexpr int RampPeriod = 3675, ToneHz = 1001;
constexpr int LoopStart = 22160, LoopEnd = 66260;

int StreamFromImage(const Bytes &Image, int LoopStartSample = 0, int LoopEndSample = 0)
{
    LoadSoundParam param;
    InitLoadSoundParam(&param);
    param.CreateType = STREAM_SOURCE_KIND_FILE_IMAGE;
    param.LoopStartSample = LoopStartSample;
    param.LoopEndSample = LoopEndSample;
    return LoadSoundMemFromMemImage(&param, 1, -1, Image.data(), int(Image.size()), 1, -1, 0, 0);
}

Bytes Silence(int Frames)
{
    return PcmWaveImage(2, 16, 44100, Frames, [](int, int) { return 0; });
}

TEST(StreamSoundDevice, ALoopedStreamGoesOnAndAnotherStopsAtItsEnd)
{
    SoundSystemSession session(true);
    ASSERT_EQ(0, session.StartResult);
    ASSERT_EQ(1, SoundThreadExists());
    int looped = StreamFromImage(Silence(22050));  // 0.5 s
    int once = StreamFromImage(Silence(13230));    // 0.3 s
    ASSERT_GE(looped, 0);
    ASSERT_GE(once, 0);

    DWORD start = GetTickCount();
    ASSERT_EQ(0, PlaySoundHandle(looped, DX_PLAYTYPE_LOOP, 1));
    ASSERT_EQ(0, PlaySoundHandle(once, DX_PLAYTYPE_BACK, 1));
    while (CheckSoundPlaying(once) == 1 && GetTickCount() - start < 5000) Sleep(10);
    EXPECT_EQ(0, CheckSoundPlaying(once));
    EXPECT_GE(GetTickCount() - start, 250u);
    EXPECT_EQ(0, GetSoundCurrentPosition(once));

    Sleep(1100 - (GetTickCount() - start) % 1100);
    EXPECT_EQ(1, CheckSoundPlaying(looped));
    int position = GetSoundCurrentPosition(looped);
    EXPECT_GE(position, 0);
    EXPECT_LT(position, 22050 * 4);
    EXPECT_EQ(0, StopSoundHandle(looped));

    LoadSoundParam param;
    InitLoadSoundParam(&param);
    Bytes more = Silence(100);
    for (int source = 2; source <= 3; source++)
        EXPECT_EQ(0, AddStreamSoundMemImage(&param, more.data(), int(more.size()), 0, once, 2, -1, 0)) << source;
    LogReader log;
    EXPECT_EQ(-1, AddStreamSoundMemImage(&param, more.data(), int(more.size()), 0, once, 2, -1, 0));
    EXPECT_TRUE(log.HasInOrder({L"ストリーム風サウンドの制御データ領域がいっぱいです\n"})) << log.Appended();
}

// A memory sound of 0.1 s: played in the background it plays, then it has ended; played with
// play type 0 the call returns once it has ended.
TEST(StreamSoundDevice, AMemorySoundEndsByItselfAndPlayTypeZeroWaitsForTheEnd)
{
    SoundSystemSession session(true);
    ASSERT_EQ(0, session.StartResult);
    LoadSoundParam param;
    InitLoadSoundParam(&param);
    Bytes image = Silence(4410);
    int handle = LoadSoundMemFromMemImage(&param, 1, -1, image.data(), int(image.size()), 3, -1, 0, 0);
    ASSERT_GE(handle, 0);
    ASSERT_EQ(SOUND_TYPE_MEMORY, reinterpret_cast<SoundHandleData *>(HandleCheck(handle))->Type);
    ASSERT_EQ(0, PlaySoundHandle(handle, DX_PLAYTYPE_BACK, 1));
    EXPECT_EQ(1, CheckSoundPlaying(handle));
    // Its end comes with the sound server's clock, which a busy machine starves now and then.
    DWORD played = GetTickCount();
    while (CheckSoundPlaying(handle) == 1 && GetTickCount() - played < 5000) Sleep(10);
    EXPECT_EQ(0, CheckSoundPlaying(handle));

    DWORD start = GetTickCount();
    ASSERT_EQ(0, PlaySoundHandle(handle, DX_PLAYTYPE_NORMAL, 1));
    EXPECT_GE(GetTickCount() - start, 80u);
    EXPECT_EQ(0, CheckSoundPlaying(handle));
}

TEST(StreamSoundDevice, ALoopPointPlaysOnWithoutAGap)
{
    SoundSystemSession session(true);
    ASSERT_EQ(0, session.StartResult);
    Bytes signal = PcmWaveImage(2, 16, 44100, LoopEnd + 22050, [](int Frame, int Channel) {
        return NumberedSignalSample(Frame, Channel, RampPeriod, ToneHz);
    });
    int handle = StreamFromImage(signal, LoopStart, LoopEnd);
    ASSERT_GE(handle, 0);
    ASSERT_EQ(0, PlaySoundHandle(handle, DX_PLAYTYPE_BACK, 1));
    Sleep(DWORD(TestPlaySeconds() * 1000.0));
    EXPECT_EQ(1, CheckSoundPlaying(handle));
    int position = GetSoundCurrentPosition(handle) / 4;
    EXPECT_LT(position, LoopEnd);
    if (TestPlaySeconds() > double(LoopEnd) / 44100.0 + 0.2) {
        EXPECT_GE(position, LoopStart);
    }
    EXPECT_EQ(0, StopSoundHandle(handle));
}

}  // namespace
