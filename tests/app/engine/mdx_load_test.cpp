#include "app/engine/mdx/mdx_player.h"

#include <gtest/gtest.h>

#include <direct.h>

#include <cstdio>
#include <cstring>
#include <atomic>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/engine/mdx/adpcm.h"
#include "app/engine/plugin/plugin_slot.h"
#include "tools/song_writer/mdx_builder.h"

namespace {

class MdxLoad : public ::testing::Test {
 protected:
  void SetUp() override { FreeMdxBuffers(); }
  void TearDown() override { FreeMdxBuffers(); }

  void LoadBytes(const std::vector<uint8_t>& mdx, const std::vector<uint8_t>* pdx = nullptr) {
    song.LoadFromMemory(mdx.data(), mdx.size(), pdx ? pdx->data() : nullptr, pdx ? pdx->size() : 0);
  }

  MdxSong song;
};

std::vector<uint8_t> Bytes(std::initializer_list<int> list) {
  std::vector<uint8_t> out;
  for (int b : list) out.push_back(static_cast<uint8_t>(b));
  return out;
}

// Decodes and stretches ADPCM bytes as the bank loader is expected to: with
// the chip's 12-bit predictor (noise samples run into its edge).
std::vector<int16_t> ExpectedSample(const std::vector<uint8_t>& adpcm) {
  AdpcmDecoder d;
  d.bitWidth = 12;
  d.Init();
  uint32_t codes = static_cast<uint32_t>(adpcm.size() * 2);
  std::vector<int16_t> decoded(codes);
  d.Decode(adpcm.data(), codes, decoded.data());
  std::vector<int16_t> out(AdpcmStretchedLength(codes));
  AdpcmStretch(decoded.data(), codes, out.data());
  return out;
}

std::vector<uint8_t> Noise(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> out(n);
  for (auto& b : out) b = static_cast<uint8_t>(rng());
  return out;
}

TEST_F(MdxLoad, TitleStopsAtTheFirstLineEndAfterText) {
  struct Case {
    std::string raw;
    std::string title;
  } cases[] = {
      {"Song\r\n\x1A", "Song"},
      {"\r\rAB\r\n\x1A", "\r\rAB"},  // leading carriage returns stay
      {"AB\x1A", "AB\x1A"},          // no line end: the 0x1A stays
      {"\x1A", "\x1A"},
      {"A\r\r\n\x1A", "A"},
      {std::string(255, 'x') + "\x1A", std::string(255, 'x')},  // no room for the 0x1A
  };
  for (const Case& c : cases) {
    MdxBuilder b;
    b.title = c.raw;
    b.rawTitle = true;
    b.tracks = {Bytes({0x80, 0x10, 0xF1, 0x00})};
    std::strcpy(song.title, "old");
    LoadBytes(b.Build());
    EXPECT_EQ(std::string(song.title), c.title);
    EXPECT_EQ(song.dataStart, static_cast<int64_t>(b.DataStart()));
    EXPECT_EQ(g_mdx.state.trackCount, 1);
  }
}

TEST_F(MdxLoad, TitleWithoutEndByteKeepsTheOldTitle) {
  // 256 bytes without 0x1A: the title stays, reading goes on after them.
  MdxBuilder b;
  b.title = std::string(256, 'y');
  b.rawTitle = true;
  b.tracks = {Bytes({1, 2, 3, 4})};
  std::strcpy(song.title, "old");
  LoadBytes(b.Build());
  EXPECT_STREQ(song.title, "old");
  EXPECT_EQ(song.dataStart, static_cast<int64_t>(b.DataStart()));
  EXPECT_EQ(g_mdx.state.trackLength[0], 4);

  // The file ends before any 0x1A: nothing but the size is taken.
  std::vector<uint8_t> text(40, 'z');
  LoadBytes(text);
  EXPECT_STREQ(song.title, "old");
  EXPECT_EQ(song.fileSize, 40);
  EXPECT_EQ(g_mdx.state.trackCount, 0);
}

TEST_F(MdxLoad, TrackCountComesFromTheFirstOffset) {
  MdxBuilder b;
  for (int t = 0; t < 9; ++t) b.tracks.push_back(Bytes({t, 0xF1, 0x00, 0x7F}));
  std::vector<uint8_t> mdx = b.Build();
  size_t data = b.DataStart();
  EXPECT_EQ(mdx[data + 2], 0x00);
  EXPECT_EQ(mdx[data + 3], 0x14);
  LoadBytes(mdx);
  EXPECT_EQ(g_mdx.state.trackCount, 9);
  for (int t = 0; t < 9; ++t) {
    EXPECT_EQ(g_mdx.state.trackLength[t], 4);
    ASSERT_NE(g_mdx.trackData[t], nullptr);
    EXPECT_EQ(g_mdx.trackData[t][0], t);
    EXPECT_EQ(g_mdx.trackData[t][4], 0);  // the byte after the data
  }
  for (int t = 9; t < 16; ++t) EXPECT_EQ(g_mdx.state.trackLength[t], 0);

  // More offsets than tables: capped at 16 tracks.
  MdxBuilder many;
  for (int t = 0; t < 20; ++t) many.tracks.push_back(Bytes({t, 1, 2, 3}));
  LoadBytes(many.Build());
  EXPECT_EQ(g_mdx.state.trackCount, 16);
  EXPECT_EQ(g_mdx.trackData[15][0], 15);
  EXPECT_EQ(g_mdx.state.trackLength[15], 5 * 4);  // the last track reaches the tone data
}

TEST_F(MdxLoad, TrackLengthsAreTakenIn16Bits) {
  MdxBuilder b;
  b.tracks = {Bytes({0xAA, 0xBB, 0xCC}), {}, Bytes({1, 2}), Bytes({5, 6, 7, 8})};
  std::vector<uint8_t> mdx = b.Build();
  size_t data = b.DataStart();
  LoadBytes(mdx);
  EXPECT_EQ(g_mdx.state.trackCount, 4);
  EXPECT_EQ(g_mdx.state.trackLength[0], 3);
  EXPECT_EQ(g_mdx.state.trackLength[1], 0);  // same offset as the next
  EXPECT_EQ(g_mdx.state.trackLength[2], 2);  // too short to play
  EXPECT_EQ(g_mdx.trackData[1], nullptr);
  EXPECT_EQ(g_mdx.trackData[2], nullptr);

  // Track 3's successor (the tone offset) lies before it: the length wraps
  // to nearly 65536, and the bytes beyond the file read as 0.
  uint16_t track3 = static_cast<uint16_t>((mdx[data + 8] << 8) | mdx[data + 9]);
  ASSERT_EQ(track3, 15);
  mdx[data] = 0x00;
  mdx[data + 1] = static_cast<uint8_t>(track3 - 5);
  LoadBytes(mdx);
  EXPECT_EQ(g_mdx.state.trackLength[3], 65536 - 5);
  ASSERT_NE(g_mdx.trackData[3], nullptr);
  EXPECT_EQ(g_mdx.trackData[3][0], 5);
  EXPECT_EQ(g_mdx.trackData[3][3], 8);
  for (int i = 4; i <= 65536 - 5; ++i) ASSERT_EQ(g_mdx.trackData[3][i], 0) << i;
}

TEST_F(MdxLoad, OffsetBytesMissingAtTheEndReadAsZero) {
  MdxBuilder b;
  b.tracks = {Bytes({1, 2, 3, 4}), Bytes({5, 6, 7, 8})};
  const std::vector<uint8_t> full = b.Build();
  const size_t data = b.DataStart();
  ASSERT_EQ(full[data + 3], 6);  // the first track right after three offsets

  // Cut inside the first track offset: its missing low byte is 0, so no track is read.
  std::vector<uint8_t> mdx(full.begin(), full.begin() + data + 3);
  LoadBytes(mdx);
  EXPECT_EQ(song.trackOffsets[0], 0);
  EXPECT_EQ(g_mdx.state.trackCount, 0);

  // Cut inside the second: it reads as 0, and the first track's length wraps in 16 bits.
  mdx.assign(full.begin(), full.begin() + data + 5);
  LoadBytes(mdx);
  EXPECT_EQ(song.trackOffsets[0], 6);
  EXPECT_EQ(song.trackOffsets[1], 0);
  EXPECT_EQ(g_mdx.state.trackCount, 2);
  EXPECT_EQ(g_mdx.state.trackLength[0], 65536 - 6);
  for (int t = 2; t < kMdxTrackCount; ++t) EXPECT_EQ(song.trackOffsets[t], 0) << t;
}

TEST_F(MdxLoad, ShortTracksKeepTheirOldBuffer) {
  MdxBuilder b;
  b.tracks = {Bytes({9, 9, 9, 9})};
  LoadBytes(b.Build());
  uint8_t* first = g_mdx.trackData[0];
  ASSERT_NE(first, nullptr);
  b.tracks = {Bytes({1, 2})};
  LoadBytes(b.Build());
  EXPECT_EQ(g_mdx.trackData[0], first);
  EXPECT_EQ(g_mdx.state.trackLength[0], 2);
}

TEST_F(MdxLoad, EveryToneFieldComesFromItsBitField) {
  MdxToneFields t;
  t.number = 0x42;
  t.connection = 5;
  t.feedback = 6;
  t.slotMask = 0x0F;
  for (int k = 0; k < 4; ++k) {
    MdxOperatorFields& o = t.op[k];
    o.ar = static_cast<uint8_t>(31 - k);
    o.d1r = static_cast<uint8_t>(20 + k);
    o.d2r = static_cast<uint8_t>(10 + k);
    o.rr = static_cast<uint8_t>(15 - k);
    o.d1l = static_cast<uint8_t>(k + 1);
    o.tl = static_cast<int8_t>(k == 3 ? -1 : 100 + k);  // the TL byte is read signed
    o.ks = static_cast<uint8_t>(k);
    o.mul = static_cast<uint8_t>(12 + k);
    o.dt1 = static_cast<uint8_t>(7 - k);
    o.dt2 = static_cast<uint8_t>(3 - k);
    o.ame = 1;
  }
  MdxBuilder b;
  b.tracks = {Bytes({0, 0, 0})};
  b.tones = {PackMdxTone(t), PackMdxTone(MdxToneFields{})};
  g_mdx.tones[0].params[5] = 99;  // channel values 3-10 are not the loader's
  g_mdx.tones[0].used = 1;
  LoadBytes(b.Build());

  const FmTone& tone = g_mdx.tones[0];
  EXPECT_EQ(tone.used, 1);
  EXPECT_EQ(tone.number, 0x42);
  EXPECT_EQ(tone.params[0], 5);
  EXPECT_EQ(tone.params[1], 6);
  EXPECT_EQ(tone.params[2], 0x0F);
  EXPECT_EQ(tone.params[5], 99);
  for (int k = 0; k < 4; ++k) {
    const MdxOperatorFields& o = t.op[k];
    const int32_t* p = &tone.params[11 * (k + 1)];
    std::vector<int32_t> got(p, p + 11);
    std::vector<int32_t> want = {o.ar, o.d1r, o.d2r, o.rr, o.d1l, o.tl, o.ks, o.mul, o.dt1, o.dt2, 0};
    EXPECT_EQ(got, want) << "operator " << k + 1;
  }
  EXPECT_EQ(g_mdx.tones[1].used, 1);
  EXPECT_EQ(g_mdx.tones[2].used, 0);
  EXPECT_EQ(FindFreeFmTone(), 2);
}

TEST_F(MdxLoad, OperatorBytesAreInSlotOrder) {
  std::array<uint8_t, 27> rec{};
  rec[3] = 0x11;
  rec[4] = 0x22;
  rec[5] = 0x33;
  rec[6] = 0x44;
  MdxBuilder b;
  b.tracks = {Bytes({0, 0, 0})};
  b.tones = {rec};
  LoadBytes(b.Build());
  const int kMul[4] = {1, 3, 2, 4};
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(g_mdx.tones[0].params[11 * (k + 1) + 7], kMul[k]) << "MUL of operator " << k + 1;
    EXPECT_EQ(g_mdx.tones[0].params[11 * (k + 1) + 8], kMul[k]) << "DT1 of operator " << k + 1;
  }
}

TEST_F(MdxLoad, AtMost64WholeTonesAreRead) {
  MdxBuilder b;
  b.tracks = {Bytes({0, 0, 0})};
  for (int i = 0; i < 70; ++i) {
    MdxToneFields t;
    t.number = static_cast<uint8_t>(i);
    b.tones.push_back(PackMdxTone(t));
  }
  LoadBytes(b.Build());
  EXPECT_EQ(FindFreeFmTone(), -1);
  EXPECT_EQ(g_mdx.tones[63].number, 63);

  // A record cut short by the end of the file is not taken.
  b.tones.resize(3);
  std::vector<uint8_t> mdx = b.Build();
  mdx.resize(mdx.size() - 5);
  LoadBytes(mdx);
  EXPECT_EQ(FindFreeFmTone(), 2);
}

TEST_F(MdxLoad, BankOfSeveralSamplesIsDecodedAndStretched) {
  std::vector<uint8_t> s0 = Noise(1000, 1), s5 = Noise(37, 2), s95 = Noise(1, 3);
  std::vector<uint8_t> pdx = BuildPdx({{0, s0}, {5, s5}, {95, s95}});
  MdxBuilder b;
  b.bankName = "bank";
  b.tracks = {Bytes({0, 0, 0})};

  // A sample of an earlier bank that this one does not provide is emptied.
  std::vector<uint8_t> old = BuildPdx({{1, Noise(10, 4)}});
  LoadBytes(b.Build(), &old);
  EXPECT_GT(g_mdx.sampleLengths[1], 0);

  LoadBytes(b.Build(), &pdx);
  EXPECT_STREQ(song.bankPath, "bank.pdx");
  EXPECT_EQ(g_mdx.sampleLengths[0], 5653);
  EXPECT_EQ(g_mdx.sampleLengths[5], static_cast<int32_t>(AdpcmStretchedLength(74)));
  EXPECT_EQ(g_mdx.sampleLengths[95], 5);
  EXPECT_EQ(g_mdx.sampleLengths[1], 0);
  EXPECT_EQ(g_mdx.samples[1], nullptr);
  struct Check {
    int index;
    const std::vector<uint8_t>* data;
  } checks[] = {{0, &s0}, {5, &s5}, {95, &s95}};
  for (const Check& c : checks) {
    std::vector<int16_t> want = ExpectedSample(*c.data);
    std::vector<int16_t> got(g_mdx.samples[c.index], g_mdx.samples[c.index] + g_mdx.sampleLengths[c.index]);
    EXPECT_EQ(got, want) << "sample " << c.index;
  }

  // No bank file: the samples stay as they were.
  LoadBytes(b.Build(), nullptr);
  EXPECT_EQ(g_mdx.sampleLengths[0], 5653);
}

TEST_F(MdxLoad, BankEntriesAreBoundedByTheFile) {
  std::vector<uint8_t> pdx = BuildPdx({{0, Noise(100, 5)}, {1, Noise(100, 6)}});
  SetPdxEntry(pdx, 1, 768 + 100, 0xFFFFFFF0u);                // runs far past the end: cut at it
  SetPdxEntry(pdx, 2, 0xFFFFFF00u, 16);                       // starts beyond the end: refused
  SetPdxEntry(pdx, 3, 768, 0x80000000u);                      // doubling overflows 32 bits
  SetPdxEntry(pdx, 4, static_cast<uint32_t>(pdx.size()), 4);  // starts at the end
  MdxBuilder b;
  b.bankName = "A:\\SONGS\\bank.pdx";
  b.tracks = {Bytes({0, 0, 0})};
  LoadBytes(b.Build(), &pdx);
  EXPECT_EQ(g_mdx.sampleLengths[0], static_cast<int32_t>(AdpcmStretchedLength(200)));
  EXPECT_EQ(g_mdx.sampleLengths[1], static_cast<int32_t>(AdpcmStretchedLength(200)));
  EXPECT_EQ(g_mdx.sampleLengths[2], 0);
  EXPECT_EQ(g_mdx.sampleLengths[3], static_cast<int32_t>(AdpcmStretchedLength(400)));
  EXPECT_EQ(g_mdx.sampleLengths[4], 0);

  // A bank shorter than its header: the missing entries are empty.
  std::vector<uint8_t> tiny(20, 0);
  LoadBytes(b.Build(), &tiny);
  for (int i = 0; i < kMdxSampleCount; ++i) ASSERT_EQ(g_mdx.sampleLengths[i], 0);
}

TEST_F(MdxLoad, BankNameGivesTheFileNamePart) {
  struct Case {
    std::string name;
    std::string path;
  } cases[] = {
      {"bank", "bank.pdx"},
      {"A:\\MUSIC\\Drums.PDX", "Drums.pdx"},
      {"dir/sub/kit.x", "kit.pdx"},
      {"\x83\x5C\x83\x93", "\x83\x5C\x83\x93.pdx"},  // Shift JIS: 0x5C is a second byte here
      {"", "keep"},                                  // empty: no bank, path kept
      {"a\\", "keep"},
      {std::string(32, 'n'), "keep"},             // name part too long for the splitter
      {"n." + std::string(7, 'e'), "keep"},       // extension too long
      {std::string(63, 'd') + "\\bank", "keep"},  // directory (with its separator) too long
      {std::string(62, 'd') + "\\bank", "bank.pdx"},
  };
  std::vector<uint8_t> pdx = BuildPdx({{0, Noise(8, 7)}});
  for (const Case& c : cases) {
    MdxBuilder b;
    b.bankName = c.name;
    b.tracks = {Bytes({0, 0, 0})};
    std::strcpy(song.bankPath, "keep");
    FreeMdxBuffers();
    LoadBytes(b.Build(), &pdx);
    EXPECT_EQ(std::string(song.bankPath), c.path) << c.name;
    EXPECT_EQ(g_mdx.sampleLengths[0] > 0, c.path != "keep") << c.name;
  }
}

TEST_F(MdxLoad, LoadsSongAndBankFromFiles) {
  MdxBuilder b;
  b.title = "File song";
  b.bankName = "filebank";
  b.tracks = {Bytes({0x80, 0x30, 0xF1, 0x00}), Bytes({0x90, 0x20, 0x00})};
  std::vector<uint8_t> mdx = b.Build();
  ASSERT_TRUE(WriteTestFile("file_song.mdx", mdx));
  ASSERT_TRUE(WriteTestFile("filebank.pdx", BuildPdx({{7, Noise(500, 8)}, {8, Noise(3, 9)}})));
  ASSERT_TRUE(song.Load("file_song.mdx"));
  EXPECT_STREQ(song.title, "File song\x1A");
  EXPECT_EQ(song.fileSize, static_cast<int32_t>(mdx.size()));
  EXPECT_EQ(song.endPosition, static_cast<int64_t>(mdx.size()));
  EXPECT_EQ(g_mdx.state.trackCount, 2);
  EXPECT_EQ(g_mdx.sampleLengths[7], static_cast<int32_t>(AdpcmStretchedLength(1000)));
  EXPECT_EQ(g_mdx.sampleLengths[8], static_cast<int32_t>(AdpcmStretchedLength(6)));

  // A missing file changes nothing; a missing bank leaves the samples.
  EXPECT_FALSE(song.Load("no_such_song.mdx"));
  EXPECT_FALSE(song.Load(nullptr));
  EXPECT_STREQ(song.title, "File song\x1A");
  b.bankName = "missing";
  ASSERT_TRUE(WriteTestFile("file_song.mdx", b.Build()));
  ASSERT_TRUE(song.Load("file_song.mdx"));
  EXPECT_STREQ(song.bankPath, "missing.pdx");
  EXPECT_GT(g_mdx.sampleLengths[7], 0);
}

// The bank a song names is the one beside the song, whatever the current directory holds (a song
// opened by its full path from another folder keeps its own samples); only without one there the
// current directory's serves. The bank beside the song has its sample at entry 3, the current
// directory's at entry 4.
TEST_F(MdxLoad, BankBesideTheSongComesBeforeTheCurrentDirectory) {
  _mkdir("song_folder");
  MdxBuilder b;
  b.bankName = "placed";
  b.tracks = {Bytes({0x80, 0x30, 0xF1, 0x00})};
  ASSERT_TRUE(WriteTestFile("song_folder\\placed.mdx", b.Build()));
  const std::vector<uint8_t> beside = BuildPdx({{3, Noise(40, 31)}}), current = BuildPdx({{4, Noise(40, 32)}});
  const struct {
    bool besideSong, inCurrent;
    int entry;  // the entry loaded; -1: none
  } cases[] = {{true, false, 3}, {true, true, 3}, {false, true, 4}, {false, false, -1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "beside " << c.besideSong << ", current " << c.inCurrent);
    std::remove("song_folder\\placed.pdx");
    std::remove("placed.pdx");
    ASSERT_TRUE(!c.besideSong || WriteTestFile("song_folder\\placed.pdx", beside));
    ASSERT_TRUE(!c.inCurrent || WriteTestFile("placed.pdx", current));
    FreeMdxBuffers();
    ASSERT_TRUE(song.Load("song_folder\\placed.mdx"));
    EXPECT_EQ(g_mdx.sampleLengths[3] > 0, c.entry == 3);
    EXPECT_EQ(g_mdx.sampleLengths[4] > 0, c.entry == 4);
  }
  std::remove("song_folder\\placed.pdx");
  std::remove("song_folder\\placed.mdx");
  std::remove("placed.pdx");
  _rmdir("song_folder");
}

// A reload while the player's timer runs: the tick holds the engine lock, and
// no track or sample may change under it; the reading, parsing and decoding
// are done meanwhile, and only the swap waits for the tick.
TEST_F(MdxLoad, ReloadPreparesDuringTheRenderTickAndSwapsAfterIt) {
  MdxBuilder b;
  b.bankName = "bank";
  b.tracks = {Bytes({1, 2, 3, 4})};
  std::vector<uint8_t> pdx = BuildPdx({{0, Noise(10, 21)}});
  LoadBytes(b.Build(), &pdx);
  uint8_t* oldTrack = g_mdx.trackData[0];
  int16_t* oldSample = g_mdx.samples[0];
  ASSERT_NE(oldTrack, nullptr);
  ASSERT_NE(oldSample, nullptr);

  b.tracks = {Bytes({5, 6, 7, 8, 9})};
  const std::vector<uint8_t> next = b.Build();
  const std::vector<uint8_t> nextBank = BuildPdx({{0, Noise(20, 22)}});
  std::atomic<bool> done{false};
  {
    EngineLock tick = LockEngine();
    std::thread loader([&] {
      LoadBytes(next, &nextBank);
      done = true;
    });
    // The second offset is read from the new track's first bytes, after the
    // bank is decoded: once it shows, the load has done all but the swap.
    bool prepared = false;
    for (int wait = 0; wait < 10000 && !prepared && !done; ++wait) {
      prepared = *static_cast<volatile uint16_t*>(&song.trackOffsets[1]) == 0x0506;
      if (!prepared) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(prepared);
    EXPECT_FALSE(done);
    EXPECT_EQ(g_mdx.trackData[0], oldTrack);
    EXPECT_EQ(g_mdx.state.trackLength[0], 4);
    EXPECT_EQ(g_mdx.samples[0], oldSample);
    EXPECT_EQ(g_mdx.sampleLengths[0], static_cast<int32_t>(AdpcmStretchedLength(20)));
    tick.unlock();
    loader.join();
  }
  EXPECT_TRUE(done);
  EXPECT_EQ(g_mdx.state.trackLength[0], 5);
  EXPECT_EQ(g_mdx.trackData[0][4], 9);
  EXPECT_EQ(g_mdx.sampleLengths[0], static_cast<int32_t>(AdpcmStretchedLength(40)));
}

// Corrupted songs and banks must load as far as they are sound or be
// refused: never crash, never leave a playable track without its bytes.
TEST_F(MdxLoad, CorruptedSongsAndBanksNeverBreakTheLoader) {
  MdxBuilder b;
  b.title = "Mutant\r\n";
  b.bankName = "mut";
  for (int t = 0; t < 10; ++t) b.tracks.push_back(Noise(20 + t * 7, 100 + t));
  for (int i = 0; i < 5; ++i) b.tones.push_back(PackMdxTone(MdxToneFields{}));
  const std::vector<uint8_t> mdx = b.Build();
  const std::vector<uint8_t> pdx = BuildPdx({{0, Noise(300, 10)}, {3, Noise(50, 11)}, {40, Noise(9, 12)}});
  const size_t data = b.DataStart();

  std::mt19937 rng(20261207);
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> m = mdx, p = pdx;
    switch (rng() % 8) {
      case 0:
        m.resize(rng() % m.size());
        break;  // truncated song
      case 1:
        p.resize(rng() % p.size());
        break;  // truncated bank
      case 2:   // no 0x1A
        for (auto& c : m)
          if (c == 0x1A) c = 'x';
        break;
      case 3:  // huge or wild offsets
        for (int k = 0; k < 4; ++k) m[data + rng() % 34] = static_cast<uint8_t>(rng());
        break;
      case 4:  // more than 16 tracks
        m[data + 2] = static_cast<uint8_t>(rng());
        m[data + 3] = static_cast<uint8_t>(rng());
        break;
      case 5:  // huge bank entries
        for (int k = 0; k < 3; ++k) {
          SetPdxEntry(p, static_cast<int>(rng() % 96), static_cast<uint32_t>(rng() % (p.size() + 64)),
                      (rng() & 1) ? 0xFFFFFFFFu - (rng() & 0xFF) : static_cast<uint32_t>(rng() % 2000));
        }
        break;
      case 6:  // random bytes anywhere
        for (int k = 0; k < 8; ++k) m[rng() % m.size()] = static_cast<uint8_t>(rng());
        for (int k = 0; k < 8; ++k) p[rng() % p.size()] = static_cast<uint8_t>(rng());
        break;
      default:  // no bank-name end
        for (size_t i = data - 1; i < m.size(); ++i)
          if (m[i] == 0) m[i] = 'q';
        break;
    }
    // Exact-size copies, so a read past the end leaves the blocks.
    std::vector<uint8_t> mc(m), pc(p);
    song.LoadFromMemory(mc.empty() ? nullptr : mc.data(), mc.size(), pc.empty() ? nullptr : pc.data(), pc.size());
    ASSERT_GE(g_mdx.state.trackCount, 0);
    ASSERT_LE(g_mdx.state.trackCount, 16);
    for (int t = 0; t < g_mdx.state.trackCount; ++t) {
      if (g_mdx.state.trackLength[t] > 2) {
        ASSERT_NE(g_mdx.trackData[t], nullptr) << "round " << round;
        ASSERT_EQ(g_mdx.trackData[t][g_mdx.state.trackLength[t]], 0) << "round " << round;
      }
    }
    for (int i = 0; i < kMdxSampleCount; ++i) {
      ASSERT_GE(g_mdx.sampleLengths[i], 0);
      ASSERT_TRUE(g_mdx.sampleLengths[i] == 0 || g_mdx.samples[i] != nullptr);
      // A bank entry may hold at most the bytes of the file.
      ASSERT_LE(g_mdx.sampleLengths[i],
                static_cast<int32_t>(AdpcmStretchedLength(static_cast<uint32_t>(2 * p.size()))));
    }
    ASSERT_LT(std::strlen(song.title), static_cast<size_t>(kSongTitleSize));
    ASSERT_LT(std::strlen(song.bankPath), static_cast<size_t>(kSongTitleSize));
  }
}

}  // namespace
