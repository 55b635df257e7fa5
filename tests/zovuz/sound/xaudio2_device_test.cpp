// The sound device on XAudio2 under the test harness's sound server: the start and its log,
// falling back to DirectSound, the reverb presets, and buffers as source voices fed from their
// wave blocks: real-time play, a buffer that ends by itself, the stereo shadow of a mono
// buffer, volumes and pan as channel gains, duplicates, and a 3D buffer's reverb and post-stop
// timer.
//
// TARVEX_XAUDIO2_EXPECT says which start the program should see: "2.8" (the default), "2.7"
// (XAudio2_8.dll kept from loading) or "none" (no XAudio2 at all: DirectSound).
#include "sound_device_support.h"

#include "zovuz/core/system_info_internal.h"
#include "zovuz/sound/sound_platform_internal.h"
#include "zovuz/sound/sound_reverb_internal.h"
#include "zovuz/sound/sound_voice_internal.h"
#include "zovuz/sound/windows/dsound_device_win.h"
#include "zovuz/sound/windows/sound_device_win.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <xaudio2.h>

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>

namespace {

std::string Expected()
{
    const char *text = getenv("TARVEX_XAUDIO2_EXPECT");
    return text != nullptr && *text != '\0' ? text : "2.8";
}

IXAudio2SourceVoice *VoiceOf(SOUNDBUFFER &Buffer)
{
    return static_cast<IXAudio2SourceVoice *>(Buffer.DeviceBuffer);
}

IXAudio2SubmixVoice *EffectOf(SOUNDBUFFER &Buffer)
{
    return static_cast<IXAudio2SubmixVoice *>(Buffer.EffectVoice);
}

bool EffectEnabled(SOUNDBUFFER &Buffer)
{
    BOOL enabled = FALSE;
    EffectOf(Buffer)->GetEffectState(0, &enabled);
    return enabled != FALSE;
}

TEST(XAudio2Device, StartLogsTheVersionKeepsThePresetsAndEndReleasesEverything)
{
    InitializeCom();
    LogReader log;
    ASSERT_EQ(0, SoundPlatform_SetXAudio2Flag(1));
    ASSERT_EQ(0, InitializeSoundPlatform());
    EXPECT_EQ(1, SoundPlatform_IsInitialized());
    EXPECT_EQ(-1, SoundPlatform_SetXAudio2Flag(0)) << "a set-up value, fixed while the device runs";
    std::string expected = Expected();
    SoundReverbParam preset;
    memset(&preset, 0xEE, sizeof(preset));
    SoundReverbParam converted;
    SoundReverb_ConvertI3DL2ToNative(&SoundReverbI3DL2Presets[29], &converted);

    if (expected == "none")
    {
        EXPECT_TRUE(log.HasInOrder({L"XAudio2 の初期化を行います\n", L"XAudio2インターフェースの取得に失敗しました\n",
                                    L"DirectSound の初期化を行います\n"}))
            << log.Appended();
        EXPECT_EQ(0, SoundPlatform_GetXAudio2Flag());
        EXPECT_NE(nullptr, GetDirectSoundDevice());
        EXPECT_EQ(-1, GetReverbPresetParam(&preset, 0));
    }
    else
    {
        std::vector<std::wstring> lines =
            expected == "2.8" ? std::vector<std::wstring>{L"XAudio2 の初期化を行います\n",
                                                          L"\tXAudio2_8.dll を使用します\n",
                                                          L"\tXAudio2 インターフェースの取得と初期化を行います....  成功 Ver2.8\n"}
                              : std::vector<std::wstring>{L"XAudio2 の初期化を行います\n",
                                                          L"\tXAudio2 インターフェースの取得を行います....  成功 Ver2.7\n",
                                                          L"\t引き続きインターフェースの初期化処理...  成功\n",
                                                          L"\tX3DAudio.DLL の読み込み中... 成功\n",
                                                          L"\t\tDevice Name : ",
                                                          L"\t\tチャンネル数:2",
                                                          L"\t\tサンプリングレート:"};
        EXPECT_TRUE(log.HasInOrder(lines)) << log.Appended();
        EXPECT_EQ(std::wstring::npos, log.Appended().find(L"DirectSound")) << log.Appended();
        EXPECT_EQ(1, SoundPlatform_GetXAudio2Flag());
        EXPECT_EQ(nullptr, GetDirectSoundDevice());

        // The running version's layout: 2.7's record stops before the late-field flag.
        ASSERT_EQ(0, GetReverbPresetParam(&preset, 29));
        size_t size = expected == "2.8" ? 56 : 52;
        EXPECT_EQ(0, memcmp(&preset, &converted, size));
        EXPECT_EQ(size == 56 ? 0 : int32_t(0xEEEEEEEE), preset.DisableLateField);
        EXPECT_EQ(0, GetReverbPresetParam(nullptr, 0));
        EXPECT_EQ(-1, GetReverbPresetParam(&preset, 30));
        EXPECT_EQ(-1, GetReverbPresetParam(&preset, -1));
    }
    EXPECT_EQ(-1, InitializeSoundPlatform());

    EXPECT_EQ(0, TerminateSoundPlatform());
    EXPECT_EQ(0, SoundPlatform_IsInitialized());
    EXPECT_EQ(nullptr, SoundPlatform_GetBufferFunctions());
    EXPECT_EQ(-1, GetReverbPresetParam(&preset, 0));
    SoundPlatform_SetXAudio2Flag(0);
}

class XAudio2BufferTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { InitializeCom(); }
    void SetUp() override
    {
        if (Expected() == "none")
            GTEST_SKIP() << "no XAudio2 here";
        ASSERT_EQ(0, SoundPlatform_SetXAudio2Flag(1));
        ASSERT_EQ(0, InitializeSoundPlatform());
        ASSERT_EQ(1, SoundPlatform_GetXAudio2Flag());
        format_ = Pcm16Format(2, 44100);
    }
    void TearDown() override
    {
        SoundBuffer_Terminate(&copy_);
        SoundBuffer_Terminate(&buffer_);
        TerminateSoundPlatform();
        SoundPlatform_SetXAudio2Flag(0);
    }

    SoundWaveFormat format_;
    SOUNDBUFFER buffer_ = {};
    SOUNDBUFFER copy_ = {};
};

TEST_F(XAudio2BufferTest, OneSecondBufferIsCutFromItsWaveBlockAndPlayedInRealTime)
{
    ASSERT_EQ(0, SoundBuffer_Initialize(&buffer_, 176400, &format_, nullptr, 0));
    ASSERT_NE(nullptr, buffer_.Wave);
    EXPECT_EQ(2, buffer_.VoiceChannels);
    void *p1 = nullptr, *p2 = nullptr;
    uint32_t s1 = 0, s2 = 0;
    ASSERT_EQ(0, SoundBuffer_Lock(&buffer_, 176000, 1000, &p1, &s1, &p2, &s2));
    EXPECT_EQ(static_cast<char *>(buffer_.Wave->Data) + 176000, p1);
    EXPECT_EQ(400u, s1);
    EXPECT_EQ(buffer_.Wave->Data, p2);
    EXPECT_EQ(600u, s2);
    EXPECT_TRUE(AllZero(buffer_.Wave->Data, 176400)) << "a new buffer holds silence";
    ASSERT_EQ(0, SoundBuffer_Unlock(&buffer_, p1, s1, p2, s2));

    EXPECT_EQ(0, SoundBuffer_GetStatus(&buffer_));
    ASSERT_EQ(0, SoundBuffer_Play(&buffer_, 1));
    EXPECT_EQ(1, SoundBuffer_GetStatus(&buffer_));
    EXPECT_NEAR(1.0, PlayedPerElapsed(buffer_, 0.5), RealTimeTolerance) << "the own play position follows the voice";
    EXPECT_EQ(0, SoundBuffer_Stop(&buffer_, 0));
    EXPECT_EQ(0, SoundBuffer_GetStatus(&buffer_));
    EXPECT_EQ(0, SoundBuffer_SetCurrentPosition(&buffer_, 4000));
    if (Expected() == "2.8")  // 2.7's GetState takes no flags
    {
        // The engine drops them on its own thread, within a few passes (seconds when a busy
        // machine starves it).
        XAUDIO2_VOICE_STATE state = {};
        for (int i = 0; i < 500; i++, Sleep(10))
        {
            VoiceOf(buffer_)->GetState(&state, 0);
            if (state.BuffersQueued == 0)
                break;
        }
        EXPECT_EQ(0u, state.BuffersQueued) << "what was handed over before the move is dropped";
    }
    uint32_t play = 0, write = 0;
    EXPECT_EQ(0, SoundBuffer_GetCurrentPosition(&buffer_, &play, &write));
    EXPECT_EQ(4000u, play);
    EXPECT_EQ(4000u, write);
    EXPECT_EQ(1000u, buffer_.SubmitPos);

    uint32_t frequency = 0;
    EXPECT_EQ(0, SoundBuffer_SetFrequency(&buffer_, 22050));
    EXPECT_EQ(0, SoundBuffer_GetFrequency(&buffer_, &frequency));
    EXPECT_EQ(22050u, frequency);
    float ratio = 0.0f;
    VoiceOf(buffer_)->GetFrequencyRatio(&ratio);
    EXPECT_FLOAT_EQ(0.5f, ratio);
    EXPECT_EQ(0, SoundBuffer_SetFrequency(&buffer_, 0));
    EXPECT_EQ(0, SoundBuffer_GetFrequency(&buffer_, &frequency));
    EXPECT_EQ(44100u, frequency);
    VoiceOf(buffer_)->GetFrequencyRatio(&ratio);
    EXPECT_FLOAT_EQ(1.0f, ratio);
}

TEST_F(XAudio2BufferTest, ABufferThatDoesNotLoopStopsAtTheEndOfItsData)
{
    ASSERT_EQ(0, SoundBuffer_Initialize(&buffer_, 4410 * 4, &format_, nullptr, 0));
    ASSERT_EQ(0, SoundBuffer_Play(&buffer_, 0));
    for (int i = 0; i < 100 && SoundBuffer_GetStatus(&buffer_) == 1; i++)
        Sleep(20);
    EXPECT_EQ(0, SoundBuffer_GetStatus(&buffer_));
    EXPECT_EQ(4410u, buffer_.SubmitPos);

    // 8-bit silence is the middle value, in the data and in a mono buffer's shadow.
    SoundWaveFormat eight = Pcm16Format(1, 8000);
    eight.wBitsPerSample = 8;
    eight.nBlockAlign = 1;
    eight.nAvgBytesPerSec = 8000;
    ASSERT_EQ(0, SoundBuffer_Initialize(&copy_, 100, &eight, nullptr, 0));
    const uint8_t *data = static_cast<const uint8_t *>(copy_.Wave->Data);
    const uint8_t *shadow = static_cast<const uint8_t *>(copy_.Wave->DoubleData);
    EXPECT_EQ(100, std::count(data, data + 100, 0x80));
    EXPECT_EQ(200, std::count(shadow, shadow + 200, 0x80));
}

TEST_F(XAudio2BufferTest, MonoPlaysAsStereoFromItsShadowWithGainsFromVolumeAndPan)
{
    SoundWaveFormat mono = Pcm16Format(1, 44100);
    ASSERT_EQ(0, SoundBuffer_Initialize(&buffer_, 8820, &mono, nullptr, 0));
    EXPECT_EQ(2, buffer_.VoiceChannels);
    ASSERT_NE(nullptr, buffer_.Wave->DoubleData);

    void *p1 = nullptr, *p2 = nullptr;
    uint32_t s1 = 0, s2 = 0;
    ASSERT_EQ(0, SoundBuffer_Lock(&buffer_, 8816, 8, &p1, &s1, &p2, &s2));
    const int16_t written[4] = {1000, -2000, 3000, -4000};
    memcpy(p1, written, s1);
    memcpy(p2, written + s1 / 2, s2);
    ASSERT_EQ(0, SoundBuffer_Unlock(&buffer_, p1, s1, p2, s2));
    const int16_t *shadow = static_cast<const int16_t *>(buffer_.Wave->DoubleData);
    EXPECT_EQ(1000, shadow[8816]);
    EXPECT_EQ(1000, shadow[8817]);
    EXPECT_EQ(-2000, shadow[8818]);
    EXPECT_EQ(-2000, shadow[8819]);
    EXPECT_EQ(3000, shadow[0]);
    EXPECT_EQ(-4000, shadow[3]);

    const struct { int Volume, Pan; float Left, Right; } cases[] = {
        {0, 0, 1.0f, 1.0f},
        {-2000, 0, 0.1f, 0.1f},
        {-2000, -2000, 0.1f, 0.01f},
        {0, 4000, 0.01f, 1.0f},
    };
    for (const auto &c : cases)
    {
        SoundBuffer_SetVolumeAll(&buffer_, c.Volume);
        SoundBuffer_SetPan(&buffer_, c.Pan);
        float gains[2] = {};
        VoiceOf(buffer_)->GetChannelVolumes(2, gains);
        EXPECT_NEAR(c.Left, gains[0], 1e-5) << c.Volume << " / " << c.Pan;
        EXPECT_NEAR(c.Right, gains[1], 1e-5) << c.Volume << " / " << c.Pan;
    }

    // A duplicate shares the data and takes the volumes, pan and frequency.
    SoundBuffer_SetFrequency(&buffer_, 33075);
    ASSERT_EQ(0, SoundBuffer_Duplicate(&copy_, &buffer_, 0));
    EXPECT_EQ(buffer_.Wave, copy_.Wave);
    EXPECT_EQ(2, buffer_.Wave->RefCount);
    float gains[2] = {}, ratio = 0.0f;
    VoiceOf(copy_)->GetChannelVolumes(2, gains);
    EXPECT_NEAR(0.01f, gains[0], 1e-5);
    VoiceOf(copy_)->GetFrequencyRatio(&ratio);
    EXPECT_FLOAT_EQ(0.75f, ratio);
}

TEST_F(XAudio2BufferTest, A3DBufferRingsOutItsReverbFor3000MillisecondsAfterItsStop)
{
    ASSERT_EQ(0, SoundBuffer_Initialize(&buffer_, 176400, &format_, nullptr, 1));
    ASSERT_NE(nullptr, EffectOf(buffer_));
    SoundReverbParam first = {};
    ASSERT_EQ(0, GetReverbPresetParam(&first, 0));
    EXPECT_EQ(0, memcmp(&first, &buffer_.ReverbParam, SOUND_REVERB_PARAM_SIZE_XAUDIO27));
    EXPECT_FALSE(EffectEnabled(buffer_));
    EXPECT_EQ(-1, SoundBuffer_Platform_ProcessPostStop(&buffer_)) << "never played";

    ASSERT_EQ(0, SoundBuffer_Play(&buffer_, 1));
    EXPECT_TRUE(EffectEnabled(buffer_));
    EXPECT_EQ(1, buffer_.PostStopState);
    // A place set while playing is applied at once: the side it is on is the louder one.
    auto *master = static_cast<IXAudio2Voice *>(XAudio2_MasteringVoice());
    for (float x : {3.0f, -3.0f})
    {
        EXPECT_EQ(0, SoundBuffer_Set3DPosition(&buffer_, x, 0.0f, 1.0f));
        EXPECT_EQ(0, buffer_.Changed3D);
        float levels[4] = {};  // source channel + 2 x output channel
        VoiceOf(buffer_)->GetOutputMatrix(master, 2, 2, levels);
        float left = levels[0] + levels[1], right = levels[2] + levels[3];
        EXPECT_GT(x > 0 ? right : left, 2.0f * (x > 0 ? left : right)) << x << ": " << left << " " << right;
    }
    EXPECT_EQ(0, SoundBuffer_Platform_ProcessPostStop(&buffer_));
    EXPECT_EQ(1, buffer_.PostStopState) << "still playing";

    ASSERT_EQ(0, SoundBuffer_Stop(&buffer_, 0));
    EXPECT_TRUE(EffectEnabled(buffer_)) << "the reverb rings on";
    EXPECT_EQ(0, SoundBuffer_Platform_ProcessPostStop(&buffer_));
    EXPECT_EQ(2, buffer_.PostStopState);
    EXPECT_EQ(0, SoundBuffer_Platform_ProcessPostStop(&buffer_));
    EXPECT_EQ(2, buffer_.PostStopState);
    buffer_.StopTime = (buffer_.StopTime - SOUND_POST_STOP_MILLISECONDS) & 0x7FFFFFFF;
    EXPECT_EQ(-1, SoundBuffer_Platform_ProcessPostStop(&buffer_));
    EXPECT_EQ(0, buffer_.PostStopState);
    EXPECT_FALSE(EffectEnabled(buffer_));

    // A stop with the effect-off flag switches the reverb off at once.
    ASSERT_EQ(0, SoundBuffer_Play(&buffer_, 1));
    ASSERT_EQ(0, SoundBuffer_Stop(&buffer_, 1));
    EXPECT_FALSE(EffectEnabled(buffer_));
}

}  // namespace
