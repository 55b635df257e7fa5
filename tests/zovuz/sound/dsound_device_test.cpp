// The sound device on DirectSound under the test harness's sound server: the device start and
// end, a one-second buffer made, locked across its wrap, filled and played in real time, the
// volume, pan and frequency reaching the device buffer, and a 1 kHz tone for the recording test.
#include "sound_device_support.h"

#include "zovuz/core/system_info_internal.h"
#include "zovuz/sound/sound_platform_internal.h"
#include "zovuz/sound/windows/dsound_device_win.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <mmreg.h>
#include <dsound.h>

#include <math.h>
#include <string.h>

namespace {

constexpr uint32_t OneSecondStereo = 176400;

void StartCom()
{
    InitializeCom();
}

IDirectSoundBuffer *DeviceOf(SOUNDBUFFER &Buffer)
{
    return static_cast<IDirectSoundBuffer *>(Buffer.DeviceBuffer);
}

TEST(DirectSoundDevice, StartLogsTheDeviceRefusesASecondStartAndEndReleasesEverything)
{
    StartCom();
    LogReader log;
    ASSERT_EQ(0, InitializeSoundPlatform());
    EXPECT_EQ(1, SoundPlatform_IsInitialized());
    EXPECT_TRUE(log.HasInOrder({
        L"DirectSound の初期化を行います\n",
        L"DirectSound インターフェースの取得を行います....  成功\n",
        L"引き続きインターフェースの初期化処理...  成功\n",
        L"\tDirectSound デバイスを列挙します\n",
        L"\t\tModule Name : ",
        L"   Description : ",
        L"最大サンプリングレート:",
        L"KHz 最小サンプリングレート:",
        L"KB 空きサウンドメモリ領域:",
        L"KB \n",
        L"\t利用可能サンプリング精度\n",
        L"\t  Primary    16bit = OK  8bit = ",
        L"  Secondary  16bit = ",
        L"\t利用可能チャンネル\n",
        L"\t  Primary    MONO = ",
        L"   STEREO = OK ",
        L"  Secondary  MONO = ",
    })) << log.Appended();

    IDirectSound *device = GetDirectSoundDevice();
    ASSERT_NE(nullptr, device);
    size_t logged = log.Appended().size();
    EXPECT_EQ(-1, InitializeSoundPlatform());
    EXPECT_EQ(device, GetDirectSoundDevice());
    EXPECT_EQ(logged, log.Appended().size());

    // Only the test's own reference is left once the device has ended.
    device->AddRef();
    EXPECT_EQ(0, TerminateSoundPlatform());
    EXPECT_EQ(0, SoundPlatform_IsInitialized());
    EXPECT_EQ(nullptr, SoundPlatform_GetBufferFunctions());
    EXPECT_EQ(0u, device->Release());
    EXPECT_TRUE(log.HasInOrder({L"DirectSound の終了処理は正常に終了しました\n"}));
}

class DirectSoundBufferTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { StartCom(); }
    void SetUp() override
    {
        ASSERT_EQ(0, InitializeSoundPlatform());
        format_ = Pcm16Format(2, 44100);
        ASSERT_EQ(0, SoundBuffer_Initialize(&buffer_, OneSecondStereo, &format_, nullptr, 0));
    }
    void TearDown() override
    {
        SoundBuffer_Terminate(&copy_);
        SoundBuffer_Terminate(&buffer_);
        TerminateSoundPlatform();
    }

    SoundWaveFormat format_;
    SOUNDBUFFER buffer_ = {};
    SOUNDBUFFER copy_ = {};
};

TEST_F(DirectSoundBufferTest, OneSecondBufferIsLockedAcrossItsWrapFilledAndPlayedInRealTime)
{
    DSBCAPS caps = {};
    caps.dwSize = sizeof(caps);
    ASSERT_EQ(DS_OK, DeviceOf(buffer_)->GetCaps(&caps));
    EXPECT_EQ(0x180E2u, caps.dwFlags & ~(DSBCAPS_LOCSOFTWARE | DSBCAPS_LOCHARDWARE));
    EXPECT_EQ(OneSecondStereo, caps.dwBufferBytes);

    void *p1 = nullptr, *p2 = nullptr;
    uint32_t s1 = 0, s2 = 0;
    ASSERT_EQ(0, SoundBuffer_Lock(&buffer_, 0, OneSecondStereo, &p1, &s1, &p2, &s2));
    EXPECT_EQ(OneSecondStereo, s1);
    EXPECT_EQ(0u, s2);
    EXPECT_TRUE(AllZero(p1, s1)) << "a new buffer holds silence";
    void *start = p1;
    ASSERT_EQ(0, SoundBuffer_Unlock(&buffer_, p1, s1, p2, s2));

    ASSERT_EQ(0, SoundBuffer_Lock(&buffer_, OneSecondStereo - 400, 1000, &p1, &s1, &p2, &s2));
    EXPECT_EQ(static_cast<char *>(start) + OneSecondStereo - 400, p1);
    EXPECT_EQ(400u, s1);
    EXPECT_EQ(start, p2);
    EXPECT_EQ(600u, s2);
    WriteSine(p1, s1, 44000, 440.0, 0.25);
    WriteSine(p2, s2, 0, 440.0, 0.25);
    ASSERT_EQ(0, SoundBuffer_Unlock(&buffer_, p1, s1, p2, s2));

    EXPECT_EQ(0, SoundBuffer_GetStatus(&buffer_));
    ASSERT_EQ(0, SoundBuffer_Play(&buffer_, 1));
    EXPECT_EQ(1, SoundBuffer_GetStatus(&buffer_));
    EXPECT_NEAR(1.0, PlayedPerElapsed(buffer_, 0.5), RealTimeTolerance) << "the play cursor runs at the sound's own speed";
    EXPECT_EQ(0, SoundBuffer_Stop(&buffer_, 0));
    EXPECT_EQ(0, SoundBuffer_GetStatus(&buffer_));
    EXPECT_EQ(0, SoundBuffer_SetCurrentPosition(&buffer_, 4000));
    uint32_t play = 0;
    EXPECT_EQ(0, SoundBuffer_GetCurrentPosition(&buffer_, &play, nullptr));
    EXPECT_EQ(4000u, play);
}

TEST_F(DirectSoundBufferTest, VolumePanAndFrequencyReachTheDeviceBuffer)
{
    const struct { int Volume, Pan, DeviceVolume, DevicePan; } cases[] = {
        {-10000, 0, -10000, 0},
        {-12000, -4000, -10000, 0},
        {0, -5000, 0, -5000},
        {700, 0, 0, 0},
        {-2000, 2500, -2000, 2500},
    };
    for (const auto &c : cases)
    {
        SoundBuffer_SetVolumeAll(&buffer_, c.Volume);
        SoundBuffer_SetPan(&buffer_, c.Pan);
        LONG volume = 1, pan = 1;
        DeviceOf(buffer_)->GetVolume(&volume);
        DeviceOf(buffer_)->GetPan(&pan);
        EXPECT_EQ(c.DeviceVolume, volume) << c.Volume << " / " << c.Pan;
        EXPECT_EQ(c.DevicePan, pan) << c.Volume << " / " << c.Pan;
    }

    uint32_t frequency = 0;
    EXPECT_EQ(0, SoundBuffer_SetFrequency(&buffer_, 22050));
    EXPECT_EQ(0, SoundBuffer_GetFrequency(&buffer_, &frequency));
    EXPECT_EQ(22050u, frequency);
    EXPECT_EQ(0, SoundBuffer_SetFrequency(&buffer_, 0));
    EXPECT_EQ(0, SoundBuffer_GetFrequency(&buffer_, &frequency));
    EXPECT_EQ(44100u, frequency);
}

TEST_F(DirectSoundBufferTest, DuplicateIsANewSilentBufferOfTheSameSizeAndFormat)
{
    void *p1 = nullptr, *p2 = nullptr;
    uint32_t s1 = 0, s2 = 0;
    ASSERT_EQ(0, SoundBuffer_Lock(&buffer_, 0, OneSecondStereo, &p1, &s1, &p2, &s2));
    memset(p1, 0x33, s1);
    SoundBuffer_Unlock(&buffer_, p1, s1, p2, s2);

    ASSERT_EQ(0, SoundBuffer_Duplicate(&copy_, &buffer_, 0));
    EXPECT_NE(buffer_.DeviceBuffer, copy_.DeviceBuffer);
    DSBCAPS caps = {};
    caps.dwSize = sizeof(caps);
    DeviceOf(copy_)->GetCaps(&caps);
    EXPECT_EQ(OneSecondStereo, caps.dwBufferBytes);
    WAVEFORMATEX format = {};
    DeviceOf(copy_)->GetFormat(&format, sizeof(format), nullptr);
    EXPECT_EQ(2, format.nChannels);
    EXPECT_EQ(44100u, format.nSamplesPerSec);
    ASSERT_EQ(0, SoundBuffer_Lock(&copy_, 0, OneSecondStereo, &p1, &s1, &p2, &s2));
    EXPECT_TRUE(AllZero(p1, s1));
    SoundBuffer_Unlock(&copy_, p1, s1, p2, s2);
}

TEST_F(DirectSoundBufferTest, APlaying3DBufferToTheListenersRightIsHeardOnTheRight)
{
    ASSERT_EQ(0, SoundBuffer_Initialize(&copy_, OneSecondStereo, &format_, nullptr, 1));
    ASSERT_EQ(0, SoundBuffer_Play(&copy_, 1));
    // Half way to the audible radius, straight to the side: 0.5 of the side's cone volume, with
    // the left at a fifth of that.
    ASSERT_EQ(0, SoundBuffer_Set3DPosition(&copy_, 7.0f, 0.0f, 0.0f));
    EXPECT_EQ(0, copy_.Changed3D);
    LONG volume = 1, pan = 0;
    DeviceOf(copy_)->GetVolume(&volume);
    DeviceOf(copy_)->GetPan(&pan);
    double factor = 0.5 * (1.0 - 0.25 / 6.0);
    EXPECT_NEAR(2000.0 * log10(factor), volume, 2.0);
    EXPECT_NEAR(-2000.0 * log10(0.2), pan, 3.0);
    SoundBuffer_Stop(&copy_, 0);
}

// A one-second loop of a 1 kHz sine at half of full scale on both channels, played for 1.5 s.
// The recording test (tone_recording.sh) runs this case while it records the sound server.
TEST_F(DirectSoundBufferTest, PlaysAOneKilohertzTone)
{
    void *p1 = nullptr, *p2 = nullptr;
    uint32_t s1 = 0, s2 = 0;
    ASSERT_EQ(0, SoundBuffer_Lock(&buffer_, 0, OneSecondStereo, &p1, &s1, &p2, &s2));
    WriteSine(p1, s1, 0, 1000.0, 0.5);
    ASSERT_EQ(0, SoundBuffer_Unlock(&buffer_, p1, s1, p2, s2));
    ASSERT_EQ(0, SoundBuffer_Play(&buffer_, 1));
    EXPECT_NEAR(1.0, PlayedPerElapsed(buffer_, 1.5), RealTimeTolerance);
    EXPECT_EQ(1, SoundBuffer_GetStatus(&buffer_));
    SoundBuffer_Stop(&buffer_, 0);
}

}  // namespace
