// The conversion framework and the WAVE reader, on crafted in-memory images.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmreg.h>

#include <math.h>
#include <stddef.h>
#include <string.h>

#include <random>

#include "tests/zovuz/sound/sound_test_support.h"
#include "zovuz/core/zovuz_core.h"
#include "zovuz/sound/zovuz_sound.h"

// The portable format record must be the system's WAVEFORMATEX, byte for byte.
static_assert(sizeof(SoundWaveFormat) == sizeof(WAVEFORMATEX), "format size");
static_assert(offsetof(SoundWaveFormat, nSamplesPerSec) == offsetof(WAVEFORMATEX, nSamplesPerSec), "rate");
static_assert(offsetof(SoundWaveFormat, nBlockAlign) == offsetof(WAVEFORMATEX, nBlockAlign), "align");
static_assert(offsetof(SoundWaveFormat, cbSize) == offsetof(WAVEFORMATEX, cbSize), "extra size");

namespace {

Bytes Ramp(size_t Count)
{
    Bytes out(Count);
    for (size_t i = 0; i < Count; i++) out[i] = (uint8_t)(i * 7 + 3);
    return out;
}

Bytes Floats(const std::vector<float> &Values)
{
    Bytes out(Values.size() * 4);
    memcpy(out.data(), Values.data(), out.size());
    return out;
}

std::vector<int16_t> AsPcm16(const Bytes &B)
{
    std::vector<int16_t> out(B.size() / 2);
    memcpy(out.data(), B.data(), out.size() * 2);
    return out;
}

Bytes Pcm16StereoWave(size_t Frames, std::vector<RiffChunk> Before = {}, std::vector<RiffChunk> After = {})
{
    std::vector<RiffChunk> chunks = Before;
    chunks.push_back({"fmt ", PlainFormatBody(1, 2, 8000, 16)});
    chunks.push_back({"data", Ramp(Frames * 4)});
    chunks.insert(chunks.end(), After.begin(), After.end());
    return BuildRiffWave(chunks);
}

TEST(SoundConvertSystem, StartsAndEndsOnce)
{
    EXPECT_EQ(-1, TerminateSoundConvert());
    EXPECT_EQ(0, InitializeSoundConvert());
    EXPECT_EQ(-1, InitializeSoundConvert());
    EXPECT_EQ(0, TerminateSoundConvert());
    EXPECT_EQ(-1, TerminateSoundConvert());
}

TEST(SoundConvert, UninitialisedConverterRefusesEveryCall)
{
    SoundConvertState conv = {};
    char buf[16];
    int start = 5, end = 5;
    EXPECT_EQ(-1, RunSoundConvert(&conv, buf, sizeof buf));
    EXPECT_EQ(-1, SoundConvert_SetPosition(&conv, 10));
    EXPECT_EQ(-1, SoundConvert_GetLoopInfo(&conv, &start, &end));
    EXPECT_EQ(-1, start);
    EXPECT_EQ(-1, end);
    EXPECT_EQ(-1, SoundConvert_Release(&conv));

    MemConverter mc(Pcm16StereoWave(10));
    ASSERT_EQ(0, mc.Setup());
    EXPECT_EQ(0, SoundConvert_Release(&mc.Conv));
    EXPECT_EQ(-1, SoundConvert_Release(&mc.Conv));
}

// Which "fmt " chunks the reader takes, and the output format it makes of them.
TEST(SoundConvertWave, FormatChunks)
{
    struct Case {
        const char *Name;
        Bytes Fmt;
        bool Taken;
        SoundWaveFormat Out;  // when taken
    };
    const Case cases[] = {
        {"16-bit stereo", PlainFormatBody(1, 2, 8000, 16), true, {1, 2, 8000, 32000, 4, 16, 0}},
        {"16-byte chunk takes its bits from the alignment", FormatBody(1, 2, 8000, 32000, 4, 0), true,
         {1, 2, 8000, 32000, 4, 16, 0}},
        {"24-bit mono passes as it is", PlainFormatBody(1, 1, 8000, 24), true, {1, 1, 8000, 24000, 3, 24, 0}},
        {"float becomes 16-bit", PlainFormatBody(3, 2, 8000, 32), true, {1, 2, 8000, 32000, 4, 16, 0}},
        {"18-byte PCM chunk with extra bytes counted", FormatBody(1, 1, 8000, 8000, 1, 8, 18), true,
         {1, 1, 8000, 8000, 1, 8, 0}},
        {"chunk under 16 bytes", FormatBody(1, 2, 8000, 32000, 4, 16, 14), false, {}},
        {"no channels", FormatBody(1, 0, 8000, 32000, 4, 16), false, {}},
        {"no block alignment", FormatBody(1, 2, 8000, 32000, 0, 16), false, {}},
        {"no bytes per second", FormatBody(1, 2, 8000, 0, 4, 16), false, {}},
        {"no rate", FormatBody(1, 2, 0, 32000, 4, 16), false, {}},
        {"block too small for its samples", FormatBody(1, 2, 8000, 16000, 2, 16, 18), false, {}},
        {"18-byte chunk with 0 bits", FormatBody(1, 2, 8000, 32000, 4, 0, 18), false, {}},
        {"8-bit float", FormatBody(3, 1, 8000, 8000, 1, 8, 18), false, {}},
        {"64-bit float", FormatBody(3, 1, 8000, 64000, 8, 64, 18), false, {}},
        {"float block narrower than its channels", FormatBody(3, 2, 8000, 32000, 4, 32, 18), false, {}},
        {"ADPCM goes to the platform's decoders", FormatBody(2, 1, 8000, 4096, 256, 4, 18), false, {}},
        {"extensible goes to the platform's decoders", FormatBody(0xFFFE, 2, 8000, 32000, 4, 16, 18), false, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        MemConverter mc(BuildRiffWave({{"fmt ", c.Fmt}, {"data", Ramp(64)}}));
        ASSERT_EQ(c.Taken ? 0 : -1, mc.Setup());
        if (!c.Taken) continue;
        SoundWaveFormat f = mc.Format();
        EXPECT_EQ(0, memcmp(&f, &c.Out, sizeof f))
            << f.wFormatTag << " " << f.nChannels << " " << f.nSamplesPerSec << " " << f.nAvgBytesPerSec << " "
            << f.nBlockAlign << " " << f.wBitsPerSample << " " << f.cbSize;
    }
}

// How the chunk scan walks a file, hostile sizes included. Each image is read through a
// stream that knows its size and through one that does not.
TEST(SoundConvertWave, ChunkLayouts)
{
    const Bytes fmt = PlainFormatBody(1, 2, 8000, 16);
    const Bytes data = Ramp(40);
    Bytes trailing = Pcm16StereoWave(10);
    trailing.insert(trailing.end(), {'s', 'm', 'p'});
    Bytes noWave = Pcm16StereoWave(10);
    memcpy(&noWave[8], "AVI ", 4);
    struct Case {
        const char *Name;
        Bytes Image;
        int DataBytes;  // -1: refused
    };
    const Case cases[] = {
        {"odd chunk before fmt skips its pad byte", BuildRiffWave({{"LIST", Bytes(3, 'x')}, {"fmt ", fmt}, {"data", data}}), 40},
        {"chunks between fmt and data", BuildRiffWave({{"fmt ", fmt}, {"fact", Bytes(4, 1)}, {"data", data}}), 40},
        {"data before fmt", BuildRiffWave({{"data", data}, {"fmt ", fmt}}), -1},
        {"no data", BuildRiffWave({{"fmt ", fmt}}), -1},
        {"no fmt", BuildRiffWave({{"data", data}}), -1},
        {"not RIFF", Bytes(40, 'R'), -1},
        {"not WAVE", noWave, -1},
        {"size 0xFFFFFFFF before fmt", BuildRiffWave({{"junk", Bytes(8), 0xFFFFFFFF}, {"fmt ", fmt}, {"data", data}}), -1},
        {"size 2^31 before fmt", BuildRiffWave({{"junk", Bytes(8), 0x80000000}, {"fmt ", fmt}, {"data", data}}), -1},
        {"size 0xFFFFFFFE before data", BuildRiffWave({{"fmt ", fmt}, {"junk", Bytes(8), 0xFFFFFFFE}, {"data", data}}), -1},
        {"a partial header at the end", trailing, 40},
        {"data runs past the end", BuildRiffWave({{"fmt ", fmt}, {"data", data, 0x7FFFFFF0}}), 40},
        {"data size 0xFFFFFFFF", BuildRiffWave({{"fmt ", fmt}, {"data", data, 0xFFFFFFFF}}), 40},
        {"split frame at the end of the data", BuildRiffWave({{"fmt ", fmt}, {"data", Ramp(42)}}), 40},
    };
    for (const Case &c : cases) {
        for (bool sizeless : {false, true}) {
            SCOPED_TRACE(std::string(c.Name) + (sizeless ? ", sizeless stream" : ""));
            MemConverter mc(c.Image, sizeless);
            mc.ReadLimit = 1000;
            ASSERT_EQ(c.DataBytes < 0 ? -1 : 0, mc.Setup(~SOUND_CONV_SKIP_WAVE));
            EXPECT_LT(mc.StreamReads, 100);
            if (c.DataBytes < 0) continue;
            // A stream that cannot tell its size promises the stated size; what it delivers
            // is still only what exists.
            if (!sizeless) {
                EXPECT_EQ(c.DataBytes, SoundConvert_GetDestSize(&mc.Conv));
            }
            Bytes got = mc.ReadRest(16);
            EXPECT_EQ(Bytes(data.begin(), data.begin() + c.DataBytes), got);
            EXPECT_EQ(1, mc.Conv.EndFlag);
        }
    }
}

// The whole conversion hands out only bytes the file holds.
TEST(SoundConvertWave, ReadAllOfTruncatedData)
{
    const Bytes data = Ramp(400);
    for (bool sizeless : {false, true}) {
        SCOPED_TRACE(sizeless ? "sizeless stream" : "stream with a size");
        Bytes image = BuildRiffWave({{"fmt ", PlainFormatBody(1, 2, 8000, 16)}, {"data", data, 4000}});
        MemConverter mc(image, sizeless);
        ASSERT_EQ(0, mc.Setup());
        // A stream without a size promises the stated size; only what was read is reported.
        SoundWaveFormat f;
        void *block = nullptr;
        int size = 0;
        ASSERT_EQ(0, SoundConvert_ReadAll(&mc.Conv, &f, &block, &size));
        ASSERT_EQ(400, size);
        EXPECT_EQ(0, memcmp(block, data.data(), 400));
        DXFREE(block);
    }
}

TEST(SoundConvertWave, SampleLoops)
{
    const int frames = 1000;
    struct Case {
        const char *Name;
        bool BeforeFmt;
        Bytes Smpl;
        int Start, End;
    };
    const Case cases[] = {
        {"after the data, end made exclusive", false, SampleLoopBody(1, 100, 199), 100, 200},
        {"before fmt, found by the second scan", true, SampleLoopBody(1, 10, 500), 10, 501},
        {"59 bytes hold no loop", false, SampleLoopBody(1, 100, 199, 59), -1, -1},
        {"a loop count of 0 holds no loop", false, SampleLoopBody(0, 100, 199), -1, -1},
        {"end beyond the data is cut to it", false, SampleLoopBody(1, 100, 5000), 100, frames},
        {"start beyond the data", false, SampleLoopBody(2, 1500, 1600), -1, -1},
        {"end before start", false, SampleLoopBody(1, 300, 100), -1, -1},
        {"start 0xFFFFFFFF", false, SampleLoopBody(1, 0xFFFFFFFF, 100), -1, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<RiffChunk> smpl = {{"smpl", c.Smpl}};
        Bytes image = c.BeforeFmt ? Pcm16StereoWave(frames, smpl) : Pcm16StereoWave(frames, {}, smpl);
        MemConverter mc(image);
        ASSERT_EQ(0, mc.Setup());
        int start = 7, end = 7;
        EXPECT_EQ(c.Start < 0 ? -1 : 0, SoundConvert_GetLoopInfo(&mc.Conv, &start, &end));
        EXPECT_EQ(c.Start, start);
        EXPECT_EQ(c.End, end);
    }
}

TEST(SoundConvertWave, FloatSamplesBecomeSigned16Bit)
{
    const float nan = nanf("");
    const std::vector<float> in = {1.0f, -1.0f, 0.99999f, 0.5f, -0.5f, 0.0f, 2.0f, -3.0f, 1e-6f, -1e-6f, nan, -INFINITY};
    const std::vector<int16_t> want = {32767, -32768, 32767, 16384, -16384, 0, 32767, -32768, 0, 0, 0, -32768};
    MemConverter mc(BuildRiffWave({{"fmt ", PlainFormatBody(3, 2, 8000, 32)}, {"data", Floats(in)}}));
    ASSERT_EQ(0, mc.Setup());
    EXPECT_EQ((int64_t)want.size() * 2, SoundConvert_GetDestSize(&mc.Conv));
    EXPECT_EQ(want, AsPcm16(mc.ReadRest(6)));
}

// The sample rule one value at a time: the reference for the converter's four-wide steps.
int16_t ReferenceFloatToPcm16(float Sample)
{
    float v = Sample * 32768.0f;
    if (v >= 32767.0f) return 32767;
    if (v > -32768.0f) return (int16_t)v;
    if (v <= -32768.0f) return -32768;
    return 0;
}

// Random bit patterns (every kind of not-a-number, infinities, subnormals) and values at the
// edges of the range and of each truncation step, in frames of 1 to 5 channels and blocks that
// end anywhere in a four-sample step: each sample as the one-at-a-time rule gives it.
TEST(SoundConvertWave, FloatBlocksMatchTheSampleRuleOnRandomInput)
{
    std::mt19937 random(74);
    const float edges[] = {1.0f, -1.0f, 0.99997f, 0.999969f, -0.99997f, 32767.0f / 32768, -32767.5f / 32768,
                           1e-38f, -0.0f, 3.0517578e-05f, -3.0517578e-05f, 4.5e-05f, INFINITY, -INFINITY};
    for (uint16_t channels = 1; channels <= 5; channels++) {
        SCOPED_TRACE(channels);
        const uint32_t frames = 3001 + random() % 17;
        std::vector<float> in(frames * channels);
        for (float &v : in) {
            uint32_t bits = random();
            switch (random() % 3) {
                case 0: memcpy(&v, &bits, 4); break;
                case 1: v = edges[random() % (sizeof edges / sizeof *edges)]; break;
                default: v = ((int32_t)bits % 70000) / 32768.0f; break;
            }
        }
        std::vector<int16_t> want;
        for (float v : in) want.push_back(ReferenceFloatToPcm16(v));
        const uint16_t align = channels * 4;
        Bytes fmt = FormatBody(3, channels, 1000, 1000u * align + 4, align, 32, 18);
        const Bytes image = BuildRiffWave({{"fmt ", fmt}, {"data", Floats(in)}});
        MemConverter mc(image);
        ASSERT_EQ(0, mc.Setup());
        EXPECT_EQ(want, AsPcm16(mc.ReadRest(999)));

        // A plain memory stream is converted where it stands, without the copy.
        MemStream *stream = CreateMemStream(image.data(), (uint32_t)image.size());
        SoundConvertState conv;
        ASSERT_EQ(0, SetupSoundConvert(&conv, GetMemStreamFunctionTable(), stream, 0, 2, 0));
        Bytes out(want.size() * 2 + 8);
        EXPECT_EQ((int)want.size() * 2, RunSoundConvert(&conv, out.data(), (int)out.size()));
        out.resize(want.size() * 2);
        EXPECT_EQ(want, AsPcm16(out));
        SoundConvert_Release(&conv);
        MemStreamClose(stream);
    }
}

// Blocks hold whole frames even when the bytes per second are not a multiple of the frame,
// and frames wider than their samples skip their padding.
TEST(SoundConvertWave, FloatBlocksStayOnFrames)
{
    const int frames = 2500;
    for (uint16_t align : {8, 12}) {
        SCOPED_TRACE(align);
        Bytes data(frames * align, 0xEE);
        std::vector<int16_t> want;
        for (int i = 0; i < frames; i++) {
            float l = (i % 200) / 256.0f, r = -(i % 100) / 256.0f;
            memcpy(&data[i * align], &l, 4);
            memcpy(&data[i * align + 4], &r, 4);
            want.push_back((int16_t)(l * 32768));
            want.push_back((int16_t)(r * 32768));
        }
        Bytes fmt = FormatBody(3, 2, 1000, 1000 * align + 4, align, 32, 18);
        MemConverter mc(BuildRiffWave({{"fmt ", fmt}, {"data", data}}));
        ASSERT_EQ(0, mc.Setup());
        EXPECT_EQ(frames * 4, SoundConvert_GetDestSize(&mc.Conv));
        EXPECT_EQ(want, AsPcm16(mc.ReadRest(777)));
    }
}

TEST(SoundConvertWave, SeekAndEnd)
{
    const Bytes data = Ramp(1000 * 4);
    MemConverter mc(BuildRiffWave({{"fmt ", PlainFormatBody(1, 2, 8000, 16)}, {"data", data}}));
    ASSERT_EQ(0, mc.Setup());
    uint8_t buf[8];

    // Asking for where the converter already is (within 16 bytes) moves nothing.
    ASSERT_EQ(8, RunSoundConvert(&mc.Conv, buf, 8));
    int reads = mc.StreamReads;
    EXPECT_EQ(0, SoundConvert_SetPosition(&mc.Conv, 2));
    EXPECT_EQ(0, SoundConvert_SetPosition(&mc.Conv, 5));
    EXPECT_EQ(reads, mc.StreamReads);
    ASSERT_EQ(8, RunSoundConvert(&mc.Conv, buf, 8));
    EXPECT_EQ(0, memcmp(buf, &data[8], 8));

    // A real move lands on the frame asked for.
    EXPECT_EQ(0, SoundConvert_SetPosition(&mc.Conv, 700));
    ASSERT_EQ(8, RunSoundConvert(&mc.Conv, buf, 8));
    EXPECT_EQ(0, memcmp(buf, &data[2800], 8));

    // Past the end: nothing comes, the end flag rises and stays until the next seek.
    EXPECT_EQ(0, SoundConvert_SetPosition(&mc.Conv, 5000));
    EXPECT_EQ(0, RunSoundConvert(&mc.Conv, buf, 8));
    EXPECT_EQ(1, mc.Conv.EndFlag);
    reads = mc.StreamReads;
    EXPECT_EQ(0, RunSoundConvert(&mc.Conv, buf, 8));
    EXPECT_EQ(reads, mc.StreamReads);
    EXPECT_EQ(0, SoundConvert_SetPosition(&mc.Conv, 990));
    EXPECT_EQ(0, mc.Conv.EndFlag);
    EXPECT_EQ(8, RunSoundConvert(&mc.Conv, buf, 8));
    EXPECT_EQ(0, memcmp(buf, &data[3960], 8));
}

TEST(SoundConvert, SkipMaskLeavesFormatsOut)
{
    const Bytes image = Pcm16StereoWave(10);
    MemConverter skipped(image);
    EXPECT_EQ(-1, skipped.Setup(SOUND_CONV_SKIP_WAVE));
    MemConverter others(image);
    EXPECT_EQ(0, others.Setup(0x7F & ~SOUND_CONV_SKIP_WAVE));
    EXPECT_EQ(SOUND_CONV_METHOD_WAVE, others.Conv.Method);
}

// Set-up, delivery and release give back every block, whether a format took the stream or not.
TEST(SoundConvert, ReleaseReturnsEveryBlock)
{
    const Bytes images[] = {
        Pcm16StereoWave(3000, {}, {{"smpl", SampleLoopBody(1, 1, 2)}}),
        BuildRiffWave({{"fmt ", PlainFormatBody(3, 1, 8000, 32)}, {"data", Bytes(4000)}}),
        BuildRiffWave({{"fmt ", FormatBody(3, 1, 8000, 8000, 1, 8, 18)}, {"data", Bytes(4000)}}),
        Bytes(100, 0),
    };
    for (const Bytes &image : images) {
        int before = GetAllocNum();
        {
            MemConverter mc(image);
            if (mc.Setup() == 0) {
                mc.ReadRest(333);
                void *block = nullptr;
                SoundWaveFormat f;
                int size;
                if (SoundConvert_ReadAll(&mc.Conv, &f, &block, &size) == 0) DXFREE(block);
            }
        }
        EXPECT_EQ(before, GetAllocNum());
    }
}

}  // namespace
