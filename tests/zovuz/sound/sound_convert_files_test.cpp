// The converters on committed files made by other encoders (tests/data/sound, see its
// make_fixtures.sh): WAVE layouts, Ogg Vorbis with loop tags and chained links, Ogg Opus.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "tests/zovuz/sound/sound_test_support.h"
#include "zovuz/core/zovuz_core.h"

namespace {

std::vector<int> Samples16(const Bytes &B, int Channels, int Channel)
{
    std::vector<int> out;
    for (size_t i = (size_t)Channel * 2; i + 1 < B.size(); i += (size_t)Channels * 2) {
        out.push_back((int16_t)(B[i] | B[i + 1] << 8));
    }
    return out;
}

int Peak(const std::vector<int> &S, size_t From, size_t To)
{
    int peak = 0;
    for (size_t i = From; i < To && i < S.size(); i++) peak = std::max(peak, abs(S[i]));
    return peak;
}

using Decoded = DecodedSound;

// One converter over a fixture, read whole.
Decoded DecodeFixture(const char *Name, int SkipMask = 0, int Width = 2, int Decoder = 0)
{
    Bytes file = ReadSoundFixture(Name);
    EXPECT_FALSE(file.empty()) << Name;
    return DecodeSound(file, SkipMask, false, Width, Decoder);
}

// The three WAVE layouts of one tone agree once each is on the 16-bit scale.
TEST(SoundConvertFiles, WaveLayoutsOfOneTone)
{
    Decoded pcm8 = DecodeFixture("pcm8_mono.wav");
    Decoded pcm16 = DecodeFixture("pcm16_stereo.wav");
    Decoded flt = DecodeFixture("float32_mono.wav");
    ASSERT_EQ(0, pcm8.Setup);
    ASSERT_EQ(0, pcm16.Setup);
    ASSERT_EQ(0, flt.Setup);
    EXPECT_EQ(8, pcm8.Format.wBitsPerSample);
    EXPECT_EQ(16, pcm16.Format.wBitsPerSample);
    EXPECT_EQ(16, flt.Format.wBitsPerSample);
    EXPECT_EQ(1, flt.Format.wFormatTag);
    EXPECT_EQ(800, pcm8.DestSize);
    EXPECT_EQ(3200, pcm16.DestSize);
    EXPECT_EQ(1600, flt.DestSize);
    ASSERT_EQ(800u, pcm8.Data.size());
    ASSERT_EQ(3200u, pcm16.Data.size());
    ASSERT_EQ(1600u, flt.Data.size());

    std::vector<int> left = Samples16(pcm16.Data, 2, 0), right = Samples16(pcm16.Data, 2, 1);
    std::vector<int> fromFloat = Samples16(flt.Data, 1, 0);
    EXPECT_GT(Peak(fromFloat, 0, 800), 16000);
    for (int i = 0; i < 800; i++) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(left[i], fromFloat[i], 2);
        EXPECT_EQ(left[i], right[i]);
        EXPECT_NEAR((pcm8.Data[i] - 128) * 256, fromFloat[i], 256);
    }
}

TEST(SoundConvertFiles, VorbisLoopTags)
{
    struct Case {
        const char *File;
        int64_t Frames;
        int Start, End;
    };
    const Case cases[] = {
        {"vorbis_loop_both.ogg", 140000, 44100, 132300},
        {"vorbis_loop_start.ogg", 8000, 1000, 8000},
        {"vorbis_loop_length.ogg", 8000, 0, 5000},
        {"vorbis_loop_tags_repeated.ogg", 8000, 300, 2300},
        {"vorbis_chained.ogg", 14000, -1, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.File);
        MemConverter mc(ReadSoundFixture(c.File));
        ASSERT_EQ(0, mc.Setup());
        EXPECT_EQ(SOUND_CONV_METHOD_OGG_VORBIS, mc.Conv.Method);
        EXPECT_EQ(c.Frames * 2, SoundConvert_GetDestSize(&mc.Conv));
        int start = 7, end = 7;
        EXPECT_EQ(c.Start < 0 ? -1 : 0, SoundConvert_GetLoopInfo(&mc.Conv, &start, &end));
        EXPECT_EQ(c.Start, start);
        EXPECT_EQ(c.End, end);
    }
}

// Width 1 gives unsigned 8-bit samples, the 16-bit ones' upper bytes moved by 128; both
// Vorbis open paths decode alike.
TEST(SoundConvertFiles, VorbisSampleWidthsAndOpenPaths)
{
    Decoded wide = DecodeFixture("vorbis_loop_length.ogg", 0, 2, 0);
    Decoded narrow = DecodeFixture("vorbis_loop_length.ogg", 0, 1, 0);
    Decoded testOpen = DecodeFixture("vorbis_loop_length.ogg", 0, 2, 1);
    ASSERT_EQ(0, narrow.Setup);
    EXPECT_EQ(8, narrow.Format.wBitsPerSample);
    EXPECT_EQ(1, narrow.Format.nBlockAlign);
    EXPECT_EQ(44100u, narrow.Format.nAvgBytesPerSec);
    EXPECT_EQ(8000, narrow.DestSize);
    ASSERT_EQ(8000u, narrow.Data.size());
    std::vector<int> w = Samples16(wide.Data, 1, 0);
    ASSERT_EQ(8000u, w.size());
    EXPECT_GT(Peak(w, 0, w.size()), 8000);
    for (size_t i = 0; i < w.size(); i++) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(w[i] / 256.0 + 128, narrow.Data[i], 1.0);
    }
    EXPECT_EQ(wide.Data, testOpen.Data);
}

// Every link of a chained file is decoded from the first on; a link in another format ends
// the sound where it begins.
TEST(SoundConvertFiles, VorbisChainedLinks)
{
    Decoded same = DecodeFixture("vorbis_chained.ogg");
    ASSERT_EQ(0, same.Setup);
    ASSERT_EQ(28000u, same.Data.size());
    std::vector<int> s = Samples16(same.Data, 1, 0);
    EXPECT_GT(Peak(s, 100, 7900), 5000);   // the tone link first
    EXPECT_LT(Peak(s, 8100, 14000), 200);  // then the silent one

    Decoded mixed = DecodeFixture("vorbis_chained_mixed.ogg");
    ASSERT_EQ(0, mixed.Setup);
    EXPECT_EQ(1, mixed.Format.nChannels);
    EXPECT_EQ(16000, mixed.DestSize);
    EXPECT_EQ(16000u, mixed.Data.size());
}

// A seek lands on the frame asked for (or the end): what follows equals the same stretch of a
// whole decode.
TEST(SoundConvertFiles, VorbisSeekIsExact)
{
    Decoded whole = DecodeFixture("vorbis_loop_start.ogg");
    MemConverter mc(ReadSoundFixture("vorbis_loop_start.ogg"));
    ASSERT_EQ(0, mc.Setup());
    for (int frame : {4000, 9000, 123, 7999, 0}) {
        SCOPED_TRACE(frame);
        ASSERT_EQ(0, SoundConvert_SetPosition(&mc.Conv, frame));
        Bytes got(200);
        int want = std::max(0, std::min(200, (8000 - frame) * 2));
        ASSERT_EQ(want, RunSoundConvert(&mc.Conv, got.data(), 200));
        if (want > 0) {
            EXPECT_EQ(0, memcmp(got.data(), &whole.Data[frame * 2], want));
        }
        if (frame == 7999) {
            // Once the end is met the decoder is not asked again until a seek.
            int reads = mc.StreamReads;
            EXPECT_EQ(0, RunSoundConvert(&mc.Conv, got.data(), 200));
            EXPECT_EQ(reads, mc.StreamReads);
        }
    }
}

TEST(SoundConvertFiles, OpusStereo)
{
    MemConverter mc(ReadSoundFixture("opus_stereo_48000.opus"));
    ASSERT_EQ(0, mc.Setup());
    EXPECT_EQ(SOUND_CONV_METHOD_OGG_OPUS, mc.Conv.Method);
    const SoundWaveFormat want = {1, 2, 48000, 192000, 4, 16, 0};
    SoundWaveFormat f = mc.Format();
    EXPECT_EQ(0, memcmp(&want, &f, sizeof f));
    EXPECT_EQ(192000, SoundConvert_GetDestSize(&mc.Conv));
    int start = 7, end = 7;
    EXPECT_EQ(-1, SoundConvert_GetLoopInfo(&mc.Conv, &start, &end));
    EXPECT_EQ(-1, start);
    EXPECT_EQ(-1, end);

    Bytes all = mc.ReadRest(5000);
    ASSERT_EQ(192000u, all.size());
    EXPECT_GT(Peak(Samples16(all, 2, 0), 0, 48000), 5000);

    // Back to the middle: the rest is half the sound.
    ASSERT_EQ(0, SoundConvert_SetPosition(&mc.Conv, 24000));
    EXPECT_EQ(96000u, mc.ReadRest(5000).size());
}

// Each format can be left out; a file then falls to the next format, which refuses it.
TEST(SoundConvertFiles, RecognitionOrderAndSkipMask)
{
    struct Case {
        const char *File;
        int Method;
        int OwnBit;
    };
    const Case cases[] = {
        {"pcm16_stereo.wav", SOUND_CONV_METHOD_WAVE, SOUND_CONV_SKIP_WAVE},
        {"vorbis_loop_start.ogg", SOUND_CONV_METHOD_OGG_VORBIS, SOUND_CONV_SKIP_OGG_VORBIS},
        {"opus_stereo_48000.opus", SOUND_CONV_METHOD_OGG_OPUS, SOUND_CONV_SKIP_OGG_OPUS},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.File);
        Decoded all = DecodeFixture(c.File, 0x7F & ~c.OwnBit);
        EXPECT_EQ(0, all.Setup);
        EXPECT_EQ(c.Method, all.Method);
        EXPECT_EQ(-1, DecodeFixture(c.File, c.OwnBit).Setup);
    }
}

// Whole conversion through the framework, from any position, and no block left behind by any
// format. After a seek back to the start the Opus decoder's first few milliseconds may round
// differently from a fresh decode.
TEST(SoundConvertFiles, ReadAllAndRelease)
{
    struct Case {
        const char *File;
        int Tolerance;
    };
    const Case cases[] = {{"pcm8_mono.wav", 0}, {"float32_mono.wav", 0}, {"vorbis_loop_both.ogg", 0},
                          {"vorbis_chained_mixed.ogg", 0}, {"opus_stereo_48000.opus", 16}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.File);
        Decoded streamed = DecodeFixture(c.File);
        int before = GetAllocNum();
        {
            MemConverter mc(ReadSoundFixture(c.File));
            ASSERT_EQ(0, mc.Setup());
            Bytes skip(100);
            RunSoundConvert(&mc.Conv, skip.data(), 100);
            SoundWaveFormat f;
            void *block = nullptr;
            int size = 0;
            ASSERT_EQ(0, SoundConvert_ReadAll(&mc.Conv, &f, &block, &size));
            EXPECT_EQ(0, memcmp(&f, &streamed.Format, sizeof f));
            ASSERT_EQ(streamed.DestSize, size);
            ASSERT_EQ(streamed.Data.size(), (size_t)size);
            const uint8_t *p = (const uint8_t *)block;
            int worst = 0;
            if (f.wBitsPerSample == 8) {
                for (int i = 0; i < size; i++) worst = std::max(worst, abs(p[i] - streamed.Data[i]));
            } else {
                std::vector<int> a = Samples16(Bytes(p, p + size), 1, 0), b = Samples16(streamed.Data, 1, 0);
                for (size_t i = 0; i < a.size(); i++) worst = std::max(worst, abs(a[i] - b[i]));
            }
            EXPECT_LE(worst, c.Tolerance);
            DXFREE(block);
        }
        EXPECT_EQ(before, GetAllocNum());
    }
}

}  // namespace
