// The ACM method through the system's audio compression manager: compressed WAVE fixtures
// and MP3 files (tests/data/sound, made by make_fixtures.sh), the MPEG frame parser and scan
// on crafted images, the recogniser's chunk handling, seeking with the look-ahead stream.
#include <gtest/gtest.h>

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <random>

#include "tests/zovuz/sound/sound_test_support.h"
#include "zovuz/core/zovuz_core.h"
#include "zovuz/sound/zovuz_sound.h"

namespace {

// Every test here needs the system's ACM.
class AcmEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_EQ(0, InitializeSoundConvert()); }
    void TearDown() override { EXPECT_EQ(0, TerminateSoundConvert()); }
};
const auto *g_Environment = ::testing::AddGlobalTestEnvironment(new AcmEnvironment);

constexpr int kSkipPlain = SOUND_CONV_SKIP_WAVE | SOUND_CONV_SKIP_OGG_VORBIS | SOUND_CONV_SKIP_OGG_OPUS;

// Level and pitch of the first channel of 16-bit PCM, measured between two fractions of it.
struct Tone {
    int Peak = 0;
    double Hz = 0;
};

Tone MeasureTone(const Bytes &Pcm, const SoundWaveFormat &F, double From = 0.2, double To = 0.8)
{
    Tone t;
    const size_t frames = Pcm.size() / F.nBlockAlign;
    const size_t first = (size_t)(frames * From), last = (size_t)(frames * To);
    int crossings = 0, previous = 0;
    for (size_t i = first; i < last; i++) {
        const uint8_t *p = &Pcm[i * F.nBlockAlign];
        int s = (int16_t)(p[0] | p[1] << 8);
        t.Peak = std::max(t.Peak, abs(s));
        if (i > first && (previous < 0) != (s < 0)) crossings++;
        previous = s;
    }
    if (last > first) t.Hz = crossings / 2.0 * F.nSamplesPerSec / (double)(last - first);
    return t;
}

// A RIFF WAVE file taken apart into its chunks, to be put together in another order.
std::vector<RiffChunk> ChunksOf(const Bytes &File)
{
    std::vector<RiffChunk> out;
    for (size_t at = 12; at + 8 <= File.size();) {
        uint32_t size = ReadLe32(&File[at + 4]);
        size_t end = std::min(File.size(), at + 8 + (size_t)size);
        out.push_back({std::string(File.begin() + at, File.begin() + at + 4), Bytes(File.begin() + at + 8, File.begin() + end)});
        at += 8 + (size_t)size + (size & 1);
    }
    return out;
}

RiffChunk &ChunkNamed(std::vector<RiffChunk> &Chunks, const char *Id)
{
    for (RiffChunk &c : Chunks) {
        if (c.Id == Id) return c;
    }
    ADD_FAILURE() << "no chunk " << Id;
    return Chunks.front();
}

// Each codec of the fixtures decodes to the size ACM states for its data, with the tone at
// half scale.
TEST(AcmWave, CodecsDecodeTheTone)
{
    struct Case {
        const char *File;
        int Channels;
        int64_t Frames;
    };
    // IMA ADPCM and MS ADPCM fill their last block; GSM blocks hold 320 frames.
    const Case cases[] = {
        {"acm_ima_adpcm_stereo.wav", 2, 32 * 505},
        {"acm_ms_adpcm_mono.wav", 1, 8000},
        {"acm_gsm_mono.wav", 1, 50 * 320},
        {"acm_alaw_mono.wav", 1, 4000},
        {"acm_mulaw_mono.wav", 1, 4000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.File);
        DecodedSound d = DecodeSound(ReadSoundFixture(c.File));
        ASSERT_EQ(0, d.Setup);
        EXPECT_EQ(SOUND_CONV_METHOD_ACM, d.Method);
        EXPECT_EQ(1, d.Format.wFormatTag);
        EXPECT_EQ(c.Channels, d.Format.nChannels);
        EXPECT_EQ(8000u, d.Format.nSamplesPerSec);
        EXPECT_EQ(16, d.Format.wBitsPerSample);
        EXPECT_EQ(c.Frames * d.Format.nBlockAlign, d.DestSize);
        EXPECT_EQ((size_t)d.DestSize, d.Data.size());
        Tone t = MeasureTone(d.Data, d.Format);
        EXPECT_NEAR(1000, t.Hz, 20);
        EXPECT_NEAR(16384, t.Peak, 2500);
    }
}

// MP3: the total is the frames' samples, the delivery ends there, the tone is in the middle.
TEST(AcmMp3, FilesDecodeTheTone)
{
    struct Case {
        const char *File;
        int Channels;
        uint32_t Rate;
        int SamplesPerFrame;
        double Seconds;
    };
    const Case cases[] = {
        {"mp3_cbr_44100_stereo.mp3", 2, 44100, 1152, 0.5},
        {"mp3_mpeg2_22050_mono.mp3", 1, 22050, 576, 4.0},
        {"mp3_id3_tags.mp3", 2, 44100, 1152, 0.5},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.File);
        Bytes file = ReadSoundFixture(c.File);
        DecodedSound d = DecodeSound(file);
        ASSERT_EQ(0, d.Setup);
        EXPECT_EQ(SOUND_CONV_METHOD_ACM, d.Method);
        EXPECT_EQ(c.Channels, d.Format.nChannels);
        EXPECT_EQ(c.Rate, d.Format.nSamplesPerSec);
        int64_t frames = d.DestSize / d.Format.nBlockAlign;
        EXPECT_EQ(0, frames % c.SamplesPerFrame);
        // The encoder adds a frame of its own and its delay to the sound's length.
        EXPECT_GE(frames, c.Seconds * c.Rate);
        EXPECT_LE(frames, c.Seconds * c.Rate + 3 * c.SamplesPerFrame);
        EXPECT_EQ((size_t)d.DestSize, d.Data.size());
        Tone t = MeasureTone(d.Data, d.Format, 0.3, 0.7);
        EXPECT_NEAR(1000, t.Hz, 20);
        EXPECT_NEAR(16384, t.Peak, 2500);

        MemConverter mc(file);
        ASSERT_EQ(0, mc.Setup());
        int start, end;
        EXPECT_EQ(-1, SoundConvert_GetLoopInfo(&mc.Conv, &start, &end));
    }
}

// The frame-header parser on the standard's tables.
TEST(AcmMp3, FrameHeaders)
{
    struct Case {
        uint8_t H[4];
        int Result;
        int BitRate, Rate, Channels, Length, Samples;
    };
    const Case cases[] = {
        {{0xFF, 0xF3, 0xE0, 0x00}, 0, 160, 22050, 2, 522, 576},   // MPEG-2 III, index 14
        {{0xFF, 0xF3, 0xD0, 0x00}, 0, 144, 22050, 2, 470, 576},   // MPEG-2 III, index 13
        {{0xFF, 0xFB, 0x90, 0xC0}, 0, 128, 44100, 1, 417, 1152},  // MPEG-1 III mono, no padding
        {{0xFF, 0xFB, 0x92, 0x40}, 0, 128, 44100, 2, 418, 1152},  // padded
        {{0xFF, 0xFD, 0x94, 0x00}, 0, 160, 48000, 2, 480, 1152},  // MPEG-1 II
        {{0xFF, 0xFF, 0x90, 0x00}, 0, 288, 44100, 2, 312, 384},   // MPEG-1 I: (12000*288/44100)*4
        {{0xFF, 0xF5, 0x18, 0x00}, 0, 8, 16000, 2, 72, 1152},     // MPEG-2 II
        {{0xFF, 0xFB, 0x00, 0x00}, 0, 0, 44100, 2, 4, 1152},      // free format: only the header
        {{0xFF, 0xF9, 0x90, 0x00}, -1, 0, 0, 0, 0, 0},            // reserved layer
        {{0xFF, 0xFB, 0xF0, 0x00}, -1, 0, 0, 0, 0, 0},            // bit-rate index 15
        {{0xFF, 0xFB, 0x9C, 0x00}, -1, 0, 0, 0, 0, 0},            // sample-rate index 3
        {{0xFF, 0xEB, 0x90, 0x00}, -2, 0, 0, 0, 0, 0},            // MPEG 2.5 sync is not ours
        {{0xFE, 0xFB, 0x90, 0x00}, -2, 0, 0, 0, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << (int)c.H[1] << " " << (int)c.H[2] << " " << (int)c.H[3]);
        SoundMp3FrameInfo f;
        ASSERT_EQ(c.Result, SoundConvert_AnalyseMP3FrameHeader(c.H, &f));
        if (c.Result != 0) continue;
        EXPECT_EQ(c.BitRate, f.BitRate);
        EXPECT_EQ(c.Rate, f.SampleRate);
        EXPECT_EQ(c.Channels, f.Channels);
        EXPECT_EQ(c.Length, f.FrameLength);
        EXPECT_EQ(c.Samples, f.SamplesPerFrame);
    }
}

// MPEG-1 Layer III frames of 417 bytes, mono 128 kbit/s 44100 Hz, silent.
Bytes Frames(int Count)
{
    Bytes out;
    for (int i = 0; i < Count; i++) {
        Bytes frame(417, 0);
        frame[0] = 0xFF, frame[1] = 0xFB, frame[2] = 0x90, frame[3] = 0xC0;
        out.insert(out.end(), frame.begin(), frame.end());
    }
    return out;
}

Bytes Id3v2(int Version, int Flags, uint32_t Size)
{
    Bytes out = {'I', 'D', '3', (uint8_t)Version, 0, (uint8_t)Flags, (uint8_t)(Size >> 21 & 0x7F),
                 (uint8_t)(Size >> 14 & 0x7F), (uint8_t)(Size >> 7 & 0x7F), (uint8_t)(Size & 0x7F)};
    out.resize(10 + Size + (Version == 4 && (Flags & 0x10) ? 10 : 0), 0);
    return out;
}

Bytes Head(const Bytes &B, size_t Count) { return Bytes(B.begin(), B.begin() + Count); }

Bytes Cat(std::initializer_list<Bytes> Parts)
{
    Bytes out;
    for (const Bytes &p : Parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Where the scan finds the audio: tags, truncation, the end of a stream that cannot tell its
// size, and what stops it.
TEST(AcmMp3, ScanFindsTheFrames)
{
    Bytes v1(128, 0);
    v1[0] = 'T', v1[1] = 'A', v1[2] = 'G';
    Bytes garbage(50, 0x11);
    Bytes badSync = {0xFF, 0xF9, 0x90, 0x00};
    Bytes freeFormat = {0xFF, 0xFB, 0x00, 0x00};
    struct Case {
        const char *Name;
        Bytes Image;
        bool Sizeless;
        int Result;
        int64_t First, DataEnd, Samples;
    };
    const Case cases[] = {
        {"plain frames", Frames(3), false, 0, 0, 1251, 3 * 1152},
        {"ID3v2.4 with footer", Cat({Id3v2(4, 0x10, 300), Frames(2)}), false, 0, 320, 320 + 834, 2 * 1152},
        {"ID3v2.3 has no footer", Cat({Id3v2(3, 0x10, 300), Frames(2)}), false, 0, 310, 310 + 834, 2 * 1152},
        {"garbage before the first frame", Cat({garbage, Frames(2)}), false, 0, 50, 884, 2 * 1152},
        {"ID3v1 trimmed", Cat({Frames(2), v1}), false, 0, 0, 834, 2 * 1152},
        {"ID3v1 after junk", Cat({Frames(2), garbage, v1}), false, 0, 0, 884, 2 * 1152},
        {"last frame cut short", Head(Frames(3), 1151), false, 0, 0, 1151, 3 * 1152},
        {"a 100-byte file", Head(Frames(1), 100), false, 0, 0, 100, 1152},
        {"sizeless: to the stream's end", Cat({Frames(2), garbage}), true, 0, 0, 884, 2 * 1152},
        {"sizeless, cut inside a frame", Head(Frames(3), 1151), true, 0, 0, 1151, 3 * 1152},
        {"an invalid header after a frame", Cat({Frames(1), badSync, Frames(1)}), false, -1, 0, 0, 0},
        {"no frame at all", garbage, false, -1, 0, 0, 0},
        {"free format first", Cat({freeFormat, Frames(1)}), false, 0, 0, 421, 2 * 1152},
        {"tag beyond the file", Cat({Head(Id3v2(3, 0, 5000), 10), Frames(2)}), false, -1, 0, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        MemConverter mc(c.Image, c.Sizeless);
        // A set-up that skips every format leaves the converter on the stream, all the scan needs.
        mc.Setup(0x7F);
        SoundMp3Layout layout;
        ASSERT_EQ(c.Result, SoundConvert_ScanMP3(&mc.Conv, &layout));
        if (c.Result != 0) continue;
        EXPECT_EQ(c.First, layout.FirstFrame);
        EXPECT_EQ(c.DataEnd, layout.DataEnd);
        EXPECT_EQ(c.Samples, layout.TotalSamples);
    }
    // A first frame that states no bit rate gives ACM no bytes per second: refused.
    EXPECT_EQ(-1, DecodeSound(Cat({freeFormat, Frames(4)})).Setup);
    EXPECT_EQ(0, DecodeSound(Cat({Frames(4), freeFormat, Frames(4)})).Setup);
}

// The recogniser finds "fmt " wherever it stands and skips chunks with their pad byte; it
// refuses counts a codec would divide by or read past.
TEST(AcmWave, ChunkLayoutsAndHeaders)
{
    const Bytes file = ReadSoundFixture("acm_ima_adpcm_stereo.wav");
    const DecodedSound reference = DecodeSound(file);
    ASSERT_EQ(0, reference.Setup);
    const std::vector<RiffChunk> chunks = ChunksOf(file);

    auto with = [&](std::vector<RiffChunk> Before, void (*Change)(std::vector<RiffChunk> &)) {
        std::vector<RiffChunk> c = Before;
        c.insert(c.end(), chunks.begin(), chunks.end());
        if (Change != nullptr) Change(c);
        return BuildRiffWave(c);
    };
    struct Case {
        const char *Name;
        Bytes Image;
        bool Taken;
    };
    std::vector<Case> cases = {
        {"odd-sized bext first", with({{"bext", Bytes(7, 'b')}}, nullptr), true},
        {"LIST and bext first", with({{"LIST", Bytes(4, 'l')}, {"bext", Bytes(9, 'b')}}, nullptr), true},
        {"data size past the end", with({}, [](std::vector<RiffChunk> &C) {
             for (RiffChunk &c : C) if (c.Id == "data") c.StatedSize = 0xFFFFFFFF;
         }), true},
        {"extra size beyond the chunk", with({}, [](std::vector<RiffChunk> &C) {
             ChunkNamed(C, "fmt ").Body[16] = 0xFF;
             ChunkNamed(C, "fmt ").Body[17] = 0x7F;
         }), true},
        {"no channels", with({}, [](std::vector<RiffChunk> &C) { ChunkNamed(C, "fmt ").Body[2] = 0; }), false},
        {"no rate", with({}, [](std::vector<RiffChunk> &C) { memset(&ChunkNamed(C, "fmt ").Body[4], 0, 4); }), false},
        {"no bytes per second", with({}, [](std::vector<RiffChunk> &C) { memset(&ChunkNamed(C, "fmt ").Body[8], 0, 4); }), false},
        {"no block alignment", with({}, [](std::vector<RiffChunk> &C) { memset(&ChunkNamed(C, "fmt ").Body[12], 0, 2); }), false},
        {"short fmt", with({}, [](std::vector<RiffChunk> &C) { ChunkNamed(C, "fmt ").Body.resize(14); }), false},
        {"fmt after data", with({}, [](std::vector<RiffChunk> &C) { std::swap(C[0], C[2]); }), false},
        {"fmt size wraps", with({}, [](std::vector<RiffChunk> &C) { ChunkNamed(C, "fmt ").StatedSize = 0xFFFFFFFF; }), false},
        {"no data", BuildRiffWave({chunks[0]}), false},
        // The codec would decode this many samples from each 512-byte block.
        {"samples per block beyond the block", with({}, [](std::vector<RiffChunk> &C) {
             ChunkNamed(C, "fmt ").Body[18] = 0x7D;
             ChunkNamed(C, "fmt ").Body[19] = 0x5E;
         }), false},
        {"no extra bytes", with({}, [](std::vector<RiffChunk> &C) { ChunkNamed(C, "fmt ").Body.resize(18); }), false},
    };
    ASSERT_EQ("fmt ", chunks[0].Id);
    ASSERT_EQ("data", chunks[2].Id);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        DecodedSound d = DecodeSound(c.Image);
        ASSERT_EQ(c.Taken ? 0 : -1, d.Setup);
        if (!c.Taken) continue;
        EXPECT_EQ(reference.Data, d.Data);
    }
}

// Microsoft ADPCM: the coefficient table must lie within the extra bytes, the samples per
// block must fit the block.
TEST(AcmWave, MsAdpcmFields)
{
    const Bytes file = ReadSoundFixture("acm_ms_adpcm_mono.wav");
    const DecodedSound reference = DecodeSound(file);
    ASSERT_EQ(0, reference.Setup);
    struct Case {
        const char *Name;
        size_t At;
        uint8_t Value;
        int Setup;
    };
    const Case cases[] = {
        {"as written", 0, 0x02, 0},  // the tag, unchanged
        {"more coefficients than bytes", 20, 8, -1},
        {"samples per block beyond the block", 19, 0x10, -1},
        {"no coefficients", 20, 0, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<RiffChunk> chunks = ChunksOf(file);
        ChunkNamed(chunks, "fmt ").Body[c.At] = c.Value;
        DecodedSound d = DecodeSound(BuildRiffWave(chunks));
        ASSERT_EQ(c.Setup, d.Setup);
        if (c.Setup == 0) {
            EXPECT_EQ(reference.Data, d.Data);
        }
    }
}

// The PCM target the codec suggests is used only when it describes plain 8- or 16-bit PCM:
// nothing is opened on any other.
namespace fake {
SoundWaveFormat g_Suggested;
int g_Opens;
int g_SourceExtra;
int Suggest(const void *Src, SoundWaveFormat *Dest)
{
    g_SourceExtra = ((const SoundWaveFormat *)Src)->cbSize;
    *Dest = g_Suggested;
    return 0;
}
int MaxFormatSize(void) { return 50; }
void *Open(const void *, const SoundWaveFormat *)
{
    g_Opens++;
    return nullptr;
}
void Close(void *) {}
int Convert(void *, const void *, uint32_t, void *, uint32_t, uint32_t *, uint32_t *) { return -1; }
int64_t Size(void *, uint32_t) { return -1; }
const SoundAcmApi kApi = {Suggest, MaxFormatSize, Open, Close, Convert, Size};
}  // namespace fake

TEST(AcmWave, RefusesUnusableTargets)
{
    const SoundWaveFormat cases[] = {
        {1, 1, 8000, 0, 2, 16, 0},           // no bytes per second
        {1, 0, 8000, 0, 0, 16, 0},           // no channels
        {1, 1, 0, 0, 2, 16, 0},              // no rate
        {1, 2, 8000, 16000, 2, 16, 0},       // block too small for its samples
        {1, 1, 8000, 24000, 3, 24, 0},       // not 8 or 16 bits
        {2, 1, 8000, 16000, 2, 16, 0},       // not PCM
        {1, 2, 0x80000000, 0, 4, 16, 0},     // bytes per second beyond 32 bits
    };
    const Bytes file = ReadSoundFixture("acm_alaw_mono.wav");
    const SoundAcmApi *real = SoundConvert_GetACM();
    SoundConvert_SetACM(&fake::kApi);
    for (const SoundWaveFormat &f : cases) {
        fake::g_Suggested = f;
        fake::g_Opens = 0;
        EXPECT_EQ(-1, DecodeSound(file).Setup);
        EXPECT_EQ(0, fake::g_Opens) << f.nChannels << " " << f.nSamplesPerSec << " " << f.nAvgBytesPerSec;
    }
    fake::g_Suggested = {1, 1, 8000, 16000, 2, 16, 0};
    fake::g_Opens = 0;
    EXPECT_EQ(-1, DecodeSound(file).Setup);
    EXPECT_GT(fake::g_Opens, 0);

    // A codec copies the extra bytes the format states: never more than the chunk holds.
    std::vector<RiffChunk> chunks = ChunksOf(file);
    ChunkNamed(chunks, "fmt ").Body[16] = 0xFF;
    DecodeSound(BuildRiffWave(chunks));
    EXPECT_EQ(0, fake::g_SourceExtra);
    SoundConvert_SetACM(real);
}

// A PCM source may reach ACM when the WAVE reader is skipped. With no bytes per second the
// system's PCM converter would end the process: the recogniser refuses it first.
TEST(AcmWave, PcmThroughAcm)
{
    Bytes ramp(4000);
    for (size_t i = 0; i < ramp.size(); i++) ramp[i] = (uint8_t)(i * 7);
    const Bytes plain = BuildRiffWave({{"fmt ", PlainFormatBody(1, 2, 8000, 16)}, {"data", ramp}});
    DecodedSound d = DecodeSound(plain, SOUND_CONV_SKIP_WAVE);
    ASSERT_EQ(0, d.Setup);
    EXPECT_EQ(SOUND_CONV_METHOD_ACM, d.Method);
    EXPECT_EQ(ramp, d.Data);

    const Bytes noRate = BuildRiffWave({{"fmt ", FormatBody(1, 2, 8000, 0, 4, 16)}, {"data", ramp}});
    EXPECT_EQ(-1, DecodeSound(noRate, SOUND_CONV_SKIP_WAVE).Setup);
    const Bytes noRateExtra = BuildRiffWave({{"fmt ", FormatBody(1, 1, 8000, 0, 2, 16, 18)}, {"data", ramp}});
    EXPECT_EQ(-1, DecodeSound(noRateExtra, SOUND_CONV_SKIP_WAVE).Setup);
}

// Files ACM has no converter for are refused cleanly, whatever formats are tried.
TEST(AcmWave, FormatsWithoutACodec)
{
    Bytes extensibleFloat = FormatBody(0xFFFE, 2, 8000, 64000, 8, 32, 40);
    extensibleFloat[16] = 22;                       // extra bytes
    extensibleFloat[18] = 32;                       // valid bits
    extensibleFloat[24] = 3;                        // sub-format: IEEE float
    const Bytes images[] = {
        ReadSoundFixture("extensible_pcm24_mono.wav"),
        BuildRiffWave({{"fmt ", extensibleFloat}, {"data", Bytes(800, 0)}}),
        BuildRiffWave({{"fmt ", FormatBody(0x1234, 1, 8000, 1000, 4, 4, 18)}, {"data", Bytes(800, 0)}}),
    };
    for (const Bytes &image : images) {
        for (int mask : {0, SOUND_CONV_SKIP_WAVE}) {
            int before = GetAllocNum();
            EXPECT_EQ(-1, DecodeSound(image, mask).Setup);
            EXPECT_EQ(before, GetAllocNum());
        }
    }
}

// Seeks: forward within the buffer and beyond it, back before the look-ahead (decoded again
// from the start) and back to the look-ahead's reach (the look-ahead stream takes over, in
// the state a decode from the start would have).
TEST(AcmSeek, DeliversTheRightBytes)
{
    struct Case {
        const char *File;
        int64_t LoopStart;  // the pre-decode position, in frames
    };
    const Case cases[] = {{"acm_ima_adpcm_stereo.wav", 12000}, {"mp3_mpeg2_22050_mono.mp3", 74892}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.File);
        const Bytes file = ReadSoundFixture(c.File);
        const DecodedSound whole = DecodeSound(file);
        ASSERT_EQ(0, whole.Setup);
        const int align = whole.Format.nBlockAlign;
        auto expectAt = [&](MemConverter &Mc, int64_t Frame) {
            Bytes got(1000);
            ASSERT_EQ(1000, RunSoundConvert(&Mc.Conv, got.data(), 1000)) << Frame;
            EXPECT_TRUE(std::equal(got.begin(), got.end(), whole.Data.begin() + Frame * align)) << Frame;
        };

        MemConverter mc(file);
        ASSERT_EQ(0, mc.Setup());
        ASSERT_EQ(0, SoundConvert_SetPreDecodePosition(&mc.Conv, c.LoopStart));
        for (int64_t frame : {(int64_t)100, (int64_t)150, (int64_t)9000, (int64_t)3}) {
            ASSERT_EQ(0, SoundConvert_SetPosition(&mc.Conv, frame));
            expectAt(mc, frame);
        }
        // Play on to the end: the look-ahead gets within an output buffer of the loop start
        // meanwhile, and never past it.
        Bytes piece(1000);
        while (RunSoundConvert(&mc.Conv, piece.data(), 1000) > 0) {
            ASSERT_LE(mc.Conv.Acm.LookAheadPosition, c.LoopStart * align);
        }
        EXPECT_GE(mc.Conv.Acm.LookAheadPosition, c.LoopStart * align - (int64_t)mc.Conv.DestBufferSize);
        void *lookAhead = mc.Conv.Acm.LookAheadStream;
        ASSERT_EQ(0, SoundConvert_SetPosition(&mc.Conv, c.LoopStart));
        EXPECT_EQ(lookAhead, mc.Conv.Acm.Stream);
        expectAt(mc, c.LoopStart);

        // Past the end: nothing more comes, and a seek back brings the sound again.
        ASSERT_EQ(0, SoundConvert_SetPosition(&mc.Conv, 1000000));
        Bytes buf(100);
        EXPECT_EQ(0, RunSoundConvert(&mc.Conv, buf.data(), 100));
        ASSERT_EQ(0, SoundConvert_SetPosition(&mc.Conv, 40));
        expectAt(mc, 40);
    }
}

// Whole conversion matches the streamed one; every block comes back on release; without
// ACM (or with its bits in the mask) neither recogniser takes a file.
TEST(AcmWave, ReadAllReleaseAndSkipping)
{
    for (const char *name : {"acm_gsm_mono.wav", "mp3_mpeg2_22050_mono.mp3"}) {
        SCOPED_TRACE(name);
        const Bytes file = ReadSoundFixture(name);
        const DecodedSound streamed = DecodeSound(file);
        ASSERT_EQ(0, streamed.Setup);
        int before = GetAllocNum();
        {
            MemConverter mc(file);
            ASSERT_EQ(0, mc.Setup());
            Bytes skip(500);
            RunSoundConvert(&mc.Conv, skip.data(), 500);
            SoundWaveFormat f;
            void *block = nullptr;
            int size = 0;
            ASSERT_EQ(0, SoundConvert_ReadAll(&mc.Conv, &f, &block, &size));
            ASSERT_EQ(streamed.Data.size(), (size_t)size);
            EXPECT_EQ(0, memcmp(block, streamed.Data.data(), size));
            DXFREE(block);
        }
        EXPECT_EQ(before, GetAllocNum());
        EXPECT_EQ(-1, DecodeSound(file, SOUND_CONV_SKIP_ACM_WAVE | SOUND_CONV_SKIP_ACM_MP3).Setup);
        EXPECT_EQ(0, DecodeSound(file, kSkipPlain).Setup);
        EXPECT_EQ(0, DecodeSound(file, 0, true).Setup);
    }
    EXPECT_EQ(-1, DecodeSound(ReadSoundFixture("acm_gsm_mono.wav"), SOUND_CONV_SKIP_ACM_WAVE).Setup);
    EXPECT_EQ(-1, DecodeSound(ReadSoundFixture("mp3_cbr_44100_stereo.mp3"), SOUND_CONV_SKIP_ACM_MP3).Setup);

    ASSERT_EQ(0, TerminateSoundConvert());
    EXPECT_EQ(nullptr, SoundConvert_GetACM());
    EXPECT_EQ(-1, DecodeSound(ReadSoundFixture("acm_gsm_mono.wav")).Setup);
    EXPECT_EQ(-1, DecodeSound(ReadSoundFixture("mp3_cbr_44100_stereo.mp3")).Setup);
    ASSERT_EQ(0, InitializeSoundConvert());
}

// The system's ACM behind counters of the suggestions asked for and the streams opened.
namespace counted {
const SoundAcmApi *g_Real;
int g_Suggests, g_Opens;
int Suggest(const void *Src, SoundWaveFormat *Dest)
{
    g_Suggests++;
    return g_Real->FormatSuggest(Src, Dest);
}
int MaxFormatSize(void) { return g_Real->MaxFormatSize(); }
void *Open(const void *Src, const SoundWaveFormat *Dest)
{
    g_Opens++;
    return g_Real->StreamOpen(Src, Dest);
}
void Close(void *Stream) { g_Real->StreamClose(Stream); }
int Convert(void *Stream, const void *Src, uint32_t SrcBytes, void *Dest, uint32_t DestBytes, uint32_t *Used,
            uint32_t *Made)
{
    return g_Real->StreamConvert(Stream, Src, SrcBytes, Dest, DestBytes, Used, Made);
}
int64_t Size(void *Stream, uint32_t SrcBytes) { return g_Real->StreamSize(Stream, SrcBytes); }
const SoundAcmApi kApi = {Suggest, MaxFormatSize, Open, Close, Convert, Size};
}  // namespace counted

// Random IMA ADPCM (every nibble decodes; the block headers hold valid step indices) through
// the converter, as ACM called directly gives it in pieces of 2048 bytes: once plainly, once
// with a loop start that the look-ahead stream decodes towards and a jump back to it. The
// codecs are asked for a format's target once, and the look-ahead stream is opened only when
// a loop start asks for it.
TEST(AcmWave, RandomImaMatchesDirectDecoding)
{
    const uint16_t align = 512, perBlock = (align - 8) * 8 / (4 * 2) + 1;
    Bytes fmt = FormatBody(0x11, 2, 8000, 8000u * align / perBlock, align, 4, 20);
    fmt[16] = 2;  // extra bytes: the samples per block
    fmt[18] = (uint8_t)perBlock;
    fmt[19] = (uint8_t)(perBlock >> 8);
    std::mt19937 random(74);
    Bytes data(align * 301);
    for (size_t i = 0; i < data.size(); i++) {
        const size_t at = i % align;
        data[i] = (uint8_t)(at < 8 && at % 4 == 2 ? random() % 89 : at < 8 && at % 4 == 3 ? 0 : random());
    }
    const Bytes image = BuildRiffWave({{"fmt ", fmt}, {"data", data}});

    counted::g_Real = SoundConvert_GetACM();
    SoundConvert_SetACM(&counted::kApi);
    counted::g_Suggests = counted::g_Opens = 0;
    MemConverter plain(image);
    ASSERT_EQ(0, plain.Setup());
    EXPECT_EQ(1, counted::g_Suggests);
    EXPECT_EQ(1, counted::g_Opens);
    const Bytes delivered = plain.ReadRest(4096);

    const SoundConvertAcm &a = plain.Conv.Acm;
    void *direct = counted::g_Real->StreamOpen(a.SrcFormat, &plain.Conv.OutFormat);
    ASSERT_NE(nullptr, direct);
    Bytes want, piece(plain.Conv.DestBufferSize);
    for (uint32_t at = 0, used = 1, made = 0; at < data.size() && used > 0; at += used) {
        const uint32_t n = std::min<uint32_t>(2048, (uint32_t)data.size() - at);
        ASSERT_EQ(0, counted::g_Real->StreamConvert(direct, &data[at], n, piece.data(), (uint32_t)piece.size(), &used,
                                                    &made));
        want.insert(want.end(), piece.begin(), piece.begin() + made);
    }
    counted::g_Real->StreamClose(direct);
    ASSERT_EQ(want.size(), delivered.size());
    EXPECT_TRUE(want == delivered);
    // Back with no look-ahead stream: decoded again from the start.
    ASSERT_EQ(0, SoundConvert_SetPosition(&plain.Conv, 1000));
    const Bytes back = plain.ReadRest(4096);
    EXPECT_EQ(want.size() - 4000, back.size());
    EXPECT_TRUE(std::equal(back.begin(), back.end(), want.begin() + 4000));

    counted::g_Suggests = counted::g_Opens = 0;
    MemConverter looped(image);
    ASSERT_EQ(0, looped.Setup());
    EXPECT_EQ(0, counted::g_Suggests);
    const int64_t loopStart = 100000;
    ASSERT_EQ(0, SoundConvert_SetPreDecodePosition(&looped.Conv, loopStart));
    EXPECT_TRUE(looped.ReadRest(4096) == want);
    EXPECT_EQ(2, counted::g_Opens);
    ASSERT_EQ(0, SoundConvert_SetPosition(&looped.Conv, loopStart));
    const Bytes again = looped.ReadRest(4096);
    EXPECT_TRUE(std::equal(again.begin(), again.end(), want.begin() + loopStart * 4));
    EXPECT_EQ(want.size() - loopStart * 4, again.size());
    SoundConvert_SetACM(counted::g_Real);
}

}  // namespace
