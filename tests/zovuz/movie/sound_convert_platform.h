// What the tests of the platform's sound conversions (DirectShow MP3, Media Foundation) share:
// their files, the skip masks that leave only one platform method, and the comparison of a
// decoded MP3 with lame's own decoding of it.
#pragma once

#include <objbase.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_files.h"
#include "tests/support/test_paths.h"
#include "tests/zovuz/sound/sound_test_support.h"
#include "zovuz/sound/sound_convert_internal.h"
#include "zovuz/sound/zovuz_sound.h"

// Every method before the platform's is skipped; each mask then skips the other platform method.
constexpr int kPlatformOnly = SOUND_CONV_SKIP_WAVE | SOUND_CONV_SKIP_OGG_VORBIS | SOUND_CONV_SKIP_OGG_OPUS |
                              SOUND_CONV_SKIP_ACM_WAVE | SOUND_CONV_SKIP_ACM_MP3;
constexpr int kToDShow = kPlatformOnly | SOUND_CONV_SKIP_MF;
constexpr int kToMF = kPlatformOnly | SOUND_CONV_SKIP_DSHOW_MP3;

// Files the platform cannot decode (tests/data/hostile/mp3_platform/make_files.sh).
constexpr const char *kHostileMp3[] = {"truncated.mp3", "garbage.mp3", "empty.mp3"};

inline Bytes ReadPlatformFile(const std::string &Path)
{
    const std::string bytes = ReadFileBytes(Path);
    return Bytes(bytes.begin(), bytes.end());
}
// A file of tests/data/sound_platform/make_fixtures.sh.
inline Bytes Fixture(const char *Name) { return ReadPlatformFile(TestBuildDir() + "/testdata/sound_platform/" + Name); }
inline Bytes HostileMp3(const char *Name) { return ReadPlatformFile(TestDataDir() + "/hostile/mp3_platform/" + Name); }

// Conversion started for each test with only these platform methods in their slots, COM on the
// thread.
template <const SoundConvertPlatformMethod *DShowMp3, const SoundConvertPlatformMethod *MediaFoundation>
class PlatformConvertTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        ASSERT_EQ(0, InitializeSoundConvert());
        SoundConvert_SetPlatformMethods(DShowMp3, MediaFoundation);
    }
    void TearDown() override
    {
        SoundConvert_SetPlatformMethods(nullptr, nullptr);
        TerminateSoundConvert();
        CoUninitialize();
    }
};

// The PCM of a WAVE file as the library's own WAVE reader delivers it.
inline Bytes WaveReaderPcm(const Bytes &File)
{
    MemConverter c(File);
    EXPECT_EQ(0, c.Setup());
    EXPECT_EQ(SOUND_CONV_METHOD_WAVE, c.Conv.Method);
    return c.ReadRest(65536);
}

// Sign changes of the first channel of 16-bit PCM.
inline int ZeroCrossings(const Bytes &Pcm, int BlockAlign)
{
    int count = 0, previous = 0;
    for (size_t i = 0; i + 2 <= Pcm.size(); i += BlockAlign) {
        int s = (int16_t)(Pcm[i] | Pcm[i + 1] << 8);
        if (i > 0 && (previous < 0) != (s < 0)) count++;
        previous = s;
    }
    return count;
}

// The decoded tone_440_stereo.mp3 against lame's decoding of it: the same length within a frame,
// and the same tone (its zero crossings within a frame's worth).
inline void ExpectLikeLame(const Bytes &Pcm)
{
    const Bytes lamePcm = WaveReaderPcm(Fixture("tone_440_stereo.wav"));
    EXPECT_NEAR((double)lamePcm.size() / 4, (double)Pcm.size() / 4, 1152);
    EXPECT_NEAR(ZeroCrossings(lamePcm, 4), ZeroCrossings(Pcm, 4), 1152 * 2 * 440 / 44100 + 2);
}
