#include "app/engine/mml/sample_load.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "app/engine/mdx/adpcm.h"
#include "app/engine/mdx/mdx_song.h"
#include "app/engine/mml/mml_compile.h"
#include "app/engine/sequencer/song_engine.h"
#include "tools/song_writer/mdx_builder.h"
#include "zovuz/core/system_info_internal.h"
#include "zovuz/sound/zovuz_sound.h"

namespace {

typedef std::vector<uint8_t> Bytes;

// --- a "zpd" bank builder ------------------------------------------------------------------

struct ZpdRecord {
  uint16_t key;
  Bytes data;
  int64_t offset = -1;  // the data-offset field as written; -1: where the data really lies
  int64_t size = -1;    // the data-size field; -1: the data's size
};

void PutBe(Bytes& out, size_t at, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * (bytes - 1 - i)));
}

// Header, records, the 0xFFFF end (unless `end` is false), then every record's data in order.
Bytes BuildZpd(const std::vector<ZpdRecord>& records, bool end = true) {
  Bytes out(8 + 10 * records.size() + (end ? 2 : 0), 0);
  out[0] = 0x10;
  if (end) PutBe(out, out.size() - 2, 0xFFFF, 2);
  for (size_t i = 0; i < records.size(); ++i) {
    const ZpdRecord& r = records[i];
    const size_t at = 8 + 10 * i;
    const size_t dataAt = out.size();
    out.insert(out.end(), r.data.begin(), r.data.end());
    PutBe(out, at, r.key, 2);
    PutBe(out, at + 2, r.offset >= 0 ? uint64_t(r.offset) : dataAt - (at + 6), 4);
    PutBe(out, at + 6, r.size >= 0 ? uint64_t(r.size) : r.data.size(), 4);
  }
  return out;
}

Bytes Pattern(size_t n, uint8_t seed) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 37);
  return b;
}

std::vector<int16_t> Decoded(const Bytes& data) {
  AdpcmDecoder d;
  d.bitWidth = kAdpcmPredictorBits;
  d.Init();
  std::vector<int16_t> out(data.size() * 2);
  d.Decode(data.data(), static_cast<uint32_t>(out.size()), out.data());
  return out;
}

void LoadBankBytes(const Bytes& b) {
  MemoryReadStream s(b.data(), b.size());
  LoadSampleBankFrom(s);
}

void LoadListText(const std::string& text, const char* folder = "") {
  MemoryReadStream s(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  LoadSampleListFrom(s, "", folder);
}

std::vector<int32_t> BankLengths() {
  const SongEngine& song = g_songs[0];
  std::vector<int32_t> out;
  for (int i = 0; i <= song.bankLastIndex; ++i) out.push_back(song.bankLengths[i]);
  return out;
}

// --- WAVE files and the sound loader the list is given --------------------------------------

Bytes WaveBytes(int channels, int frames) {
  Bytes b(44 + size_t(channels) * frames * 2, 0);
  std::memcpy(&b[0], "RIFF", 4);
  std::memcpy(&b[8], "WAVEfmt ", 8);
  auto le = [&](size_t at, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  le(4, uint32_t(b.size() - 8), 4);
  le(16, 16, 4);
  le(20, 1, 2);
  le(22, channels, 2);
  le(24, 44100, 4);
  le(28, 44100 * channels * 2, 4);
  le(32, channels * 2, 2);
  le(34, 16, 2);
  std::memcpy(&b[36], "data", 4);
  le(40, uint32_t(channels * frames * 2), 4);
  return b;
}

// Stands in for the library's SoftSound loader: reads the length and channels of the WAVE
// files these tests write, and numbers the handles it gives out.
struct FakeSounds {
  std::vector<std::string> asked;   // every path the loaders asked for
  std::vector<std::string> loaded;  // the paths that loaded, in load order
  std::vector<int32_t> released;
  int32_t next = 100;
} g_fake;

int32_t FakeLoad(const char* path, int32_t* frames, int32_t* channels) {
  g_fake.asked.push_back(path);
  FILE* f = std::fopen(path, "rb");
  if (!f) return -1;
  uint8_t h[44] = {};
  size_t got = std::fread(h, 1, sizeof h, f);
  std::fclose(f);
  if (got < 44 || std::memcmp(h, "RIFF", 4) != 0) return -1;
  *channels = h[22];
  *frames = int32_t((h[40] | h[41] << 8 | h[42] << 16 | h[43] << 24) / (2 * h[22]));
  g_fake.loaded.push_back(path);
  return g_fake.next++;
}

void FakeRelease(int32_t handle) { g_fake.released.push_back(handle); }

std::string CurrentFolder() {
  char buffer[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, buffer);
  return std::string(buffer) + "\\";
}

class SampleLoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static const SampleSoundOps ops = {FakeLoad, FakeRelease};
    SetSampleSoundOps(&ops);
    ReleaseSongSamples();
    g_fake = FakeSounds{};
  }
  void TearDown() override {
    ReleaseSongSamples();
    SetSampleSoundOps(nullptr);
  }
  SongEngine& song = g_songs[0];
};

// --- banks ----------------------------------------------------------------------------------

TEST_F(SampleLoadTest, BankRecordsLoadWithTheirKeysLengthsAndDecodedData) {
  std::vector<ZpdRecord> records = {{60, Pattern(1000, 1)}, {62, Pattern(3, 9)}, {0x1234, Pattern(17, 200)}};
  song.voices[9].active = 1;
  LoadBankBytes(BuildZpd(records));

  EXPECT_EQ(song.sampleMode, 1);
  EXPECT_EQ(song.bankLastIndex, 2);
  EXPECT_EQ(BankLengths(), (std::vector<int32_t>{2000, 6, 34}));  // two samples a byte
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(song.bankKeys[i], records[i].key);
    std::vector<int16_t> expected = Decoded(records[i].data);
    ASSERT_NE(song.bankSamples[i], nullptr);
    EXPECT_EQ(std::vector<int16_t>(song.bankSamples[i], song.bankSamples[i] + expected.size()), expected) << i;
  }
  EXPECT_EQ(song.bankSamples[3], nullptr);
  EXPECT_EQ(song.voices[9].active, 0);  // a voice may not outlive the samples it plays

  // A bank that replaces it keeps nothing of it.
  LoadBankBytes(BuildZpd({{48, Pattern(4, 3)}}));
  EXPECT_EQ(song.bankLastIndex, 0);
  EXPECT_EQ(BankLengths(), (std::vector<int32_t>{8}));
  EXPECT_EQ(song.bankSamples[1], nullptr);
}

TEST_F(SampleLoadTest, HostileBanksAreCutOrRefusedWithoutACrash) {
  std::vector<ZpdRecord> many;
  for (int i = 0; i < 200; ++i) many.push_back({uint16_t(i), Pattern(2, uint8_t(i))});
  Bytes truncated = BuildZpd({{1, Pattern(4, 1)}, {2, Pattern(4, 2)}}, false);
  truncated.resize(8 + 10 + 5);  // ends inside the second record
  Bytes endOnly = {0x10};

  struct Case {
    const char* name;
    Bytes file;
    std::vector<int32_t> lengths;  // of indexes 0..last
  } cases[] = {
      {"size beyond the file is cut", BuildZpd({{1, Pattern(10, 1), -1, 5000}}), {20}},
      {"size whose double overflows", BuildZpd({{1, Pattern(10, 1), -1, 0xFFFFFFFF}}), {20}},
      {"offset beyond the file", BuildZpd({{1, Pattern(10, 1), 0x7FFFFFF0}, {2, Pattern(3, 1)}}), {0, 6}},
      {"200 records, 96 read", BuildZpd(many), std::vector<int32_t>(96, 4)},
      {"ends inside a record: the records before it stay", truncated, {0}},
      {"first key ends the records", BuildZpd({{0xFFFF, Pattern(4, 1)}}), {}},
      {"no room for a header", endOnly, {}},
  };
  for (const Case& c : cases) {
    song.sampleMode = 0;
    LoadBankBytes(c.file);
    EXPECT_EQ(song.sampleMode, 1) << c.name;
    EXPECT_EQ(BankLengths(), c.lengths) << c.name;
    for (int i = 0; i < kSampleBankSize; ++i) {
      ASSERT_EQ(song.bankSamples[i] != nullptr, i <= song.bankLastIndex && song.bankLengths[i] > 0) << c.name;
    }
  }
}

// --- lists ----------------------------------------------------------------------------------

TEST_F(SampleLoadTest, ListEntriesTakeTheirKeysAndSoundsFromTheSongsFolder) {
  CreateDirectoryA("kit", nullptr);
  ASSERT_TRUE(WriteTestFile("kit\\bd.wav", WaveBytes(1, 1000)));
  ASSERT_TRUE(WriteTestFile("kit\\sn.wav", WaveBytes(2, 250)));
  const std::string folder = CurrentFolder() + "kit\\";
  song.voices[0].active = 1;
  LoadListText("Zheader!!4 c bd.wav\r\n4 b+ sn.wav\r\n\r\n  4   c-\tbd.wav\r\n3 g none.wav\r\n3 A sn.wav\r\n",
               folder.c_str());

  struct Entry {
    int key, handle, frames, channels;
  };
  const std::vector<Entry> expected = {
      {48, 100, 1000, 1}, {60, 101, 250, 2}, {47, 102, 1000, 1}, {43, -1, -1, 0}, {45, 103, 250, 2}};
  ASSERT_EQ(song.listCount, int(expected.size()));
  EXPECT_EQ(song.sampleMode, 0);
  for (size_t i = 0; i < expected.size(); ++i) {
    const SongSampleListEntry& e = song.sampleList[i];
    EXPECT_EQ(e.key, expected[i].key) << i;
    EXPECT_EQ(e.handle, expected[i].handle) << i;
    EXPECT_EQ(e.frames, expected[i].frames) << i;
    EXPECT_EQ(e.channels, expected[i].channels) << i;
  }
  EXPECT_EQ(g_fake.loaded[0], folder + "bd.wav");
  EXPECT_EQ(song.voices[0].active, 0);

  // The next list releases the sounds of this one.
  LoadListText("Z        4 d bd.wav", folder.c_str());
  EXPECT_EQ(song.listCount, 1);
  EXPECT_EQ(song.sampleList[0].key, 50);
  EXPECT_EQ(g_fake.released, (std::vector<int32_t>{100, 101, 102, 103}));
}

TEST_F(SampleLoadTest, ListSoundFilesLoadAsTheLibrarysSoftSoundData) {
  InitializeCom();
  ASSERT_EQ(0, InitializeSoundSystem());
  SetSampleSoundOps(nullptr);
  CreateDirectoryA("kit", nullptr);
  ASSERT_TRUE(WriteTestFile("kit\\bd.wav", WaveBytes(1, 1000)));
  ASSERT_TRUE(WriteTestFile("kit\\sn.wav", WaveBytes(2, 250)));
  const std::string folder = CurrentFolder() + "kit\\";
  LoadListText("Z        4 c bd.wav 4 d sn.wav 4 e none.wav", folder.c_str());

  ASSERT_EQ(song.listCount, 3);
  const SongSampleListEntry* e = song.sampleList;
  ASSERT_GE(e[0].handle, 0);
  ASSERT_GE(e[1].handle, 0);
  EXPECT_EQ(e[0].frames, 1000);
  EXPECT_EQ(e[0].channels, 1);
  EXPECT_EQ(e[1].frames, 250);
  EXPECT_EQ(e[1].channels, 2);
  EXPECT_EQ(GetSoftSoundSampleNum(e[1].handle), 250);
  EXPECT_EQ(e[2].handle, -1);

  // The next list deletes the sounds of this one.
  const int first = e[0].handle;
  LoadListText("Z        4 c sn.wav", folder.c_str());
  EXPECT_EQ(GetSoftSoundSampleNum(first), -1);
  EXPECT_EQ(GetSoftSoundSampleNum(song.sampleList[0].handle), 250);
  ReleaseSongSamples();
  EXPECT_EQ(TerminateSoundSystem(), 0);
}

TEST_F(SampleLoadTest, HostileListsAreCutWithoutACrash) {
  ASSERT_TRUE(WriteTestFile("a.wav", WaveBytes(1, 10)));
  std::string many = "Z12345678";
  for (int i = 0; i < 200; ++i) many += "4 c a.wav\n";
  struct Case {
    const char* name;
    std::string text;
    std::vector<int> keys;     // of the entries read
    std::vector<int> handles;  // -1: the entry has no sound
  } cases[] = {
      {"200 entries, 99 read", many, std::vector<int>(99, 48), {}},
      {"long note name cut to its first letters",
       "Z12345678"
       "4 d-" +
           std::string(40, 'x') + " a.wav 5 c a.wav",
       {49, 60},
       {100, 101}},
      {"long file name: no sound, the next line still read",
       "Z12345678"
       "4 c " +
           std::string(300, 'f') + ".wav\n4 d a.wav",
       {48, 50},
       {-1, 100}},
      {"words that are no number stop the list",
       "Z12345678"
       "4 c a.wav\nx c a.wav\n4 d a.wav",
       {48},
       {100}},
      {"letters without a key are skipped",
       "Z12345678"
       "4 h a.wav 4 e a.wav",
       {52},
       {100}},
      {"keys outside 16 bits are skipped",
       "Z12345678"
       "-1 c a.wav 99999999999 c a.wav 0 c- a.wav 5462 e a.wav 1 c a.wav",
       {12},
       {100}},
      {"a file name missing at the end",
       "Z12345678"
       "4 c",
       {48},
       {-1}},
      {"a header alone", "Z", {}, {}},
  };
  for (const Case& c : cases) {
    g_fake.next = 100;
    LoadListText(c.text);
    std::vector<int> keys, handles;
    for (int i = 0; i < song.listCount; ++i) {
      keys.push_back(song.sampleList[i].key);
      handles.push_back(song.sampleList[i].handle);
    }
    EXPECT_EQ(keys, c.keys) << c.name;
    for (const std::string& path : g_fake.asked) EXPECT_NE(path[0], 'f') << c.name;  // no name cut short
    if (!c.handles.empty() || c.keys.empty()) {
      EXPECT_EQ(handles, c.handles) << c.name;
    }
  }
}

TEST_F(SampleLoadTest, TheFirstByteDecidesWhichLoaderTakesTheFile) {
  const std::string folder = CurrentFolder();
  ASSERT_TRUE(WriteTestFile("bank.zpd", BuildZpd({{60, Pattern(5, 1)}})));
  ASSERT_TRUE(WriteTestFile("list.txt", Bytes{'Z', 0, 0, 0, 0, 0, 0, 0, 0, '4', ' ', 'c', ' ', 'x'}));

  LoadSampleList("bank.zpd", "", folder.c_str());
  EXPECT_EQ(song.bankLastIndex, -1);
  LoadSampleBank("bank.zpd", "", folder.c_str());
  EXPECT_EQ(song.sampleMode, 1);
  EXPECT_EQ(song.bankLastIndex, 0);

  // Offered to the wrong loader, or missing: the song keeps what it had.
  LoadSampleBank("list.txt", "", folder.c_str());
  LoadSampleList("missing.txt", "", folder.c_str());
  LoadSampleBank("missing.zpd", "", folder.c_str());
  EXPECT_EQ(song.sampleMode, 1);
  EXPECT_EQ(song.bankLastIndex, 0);
  EXPECT_NE(song.bankSamples[0], nullptr);

  LoadSampleList("list.txt", "", folder.c_str());
  EXPECT_EQ(song.sampleMode, 0);
  EXPECT_EQ(song.listCount, 1);
}

TEST_F(SampleLoadTest, CompileLoadsTheFileItsSongNamesAndDropsThePreviousSamples) {
  CreateDirectoryA("song", nullptr);
  ASSERT_TRUE(WriteTestFile("song\\drums.wav", WaveBytes(1, 300)));
  ASSERT_TRUE(WriteTestFile("song\\kit.lst", Bytes{'Z', 0,   0,   0,   0,   0,   0,   0,   0,   '3', ' ',
                                                   'e', ' ', 'd', 'r', 'u', 'm', 's', '.', 'w', 'a', 'v'}));
  ASSERT_TRUE(WriteTestFile("song\\kit.zpd", BuildZpd({{72, Pattern(8, 1)}})));
  const std::string songPath = CurrentFolder() + "song\\a.zms";
  const std::string list = ".a=kit.lst\r\nc";
  const std::string bank = ".a=kit.zpd\r\nc";

  CompileMmlFromMemory(list.data(), list.size(), songPath.c_str());
  ASSERT_EQ(song.listCount, 1);
  EXPECT_EQ(song.sampleList[0].key, 40);
  EXPECT_EQ(song.sampleList[0].frames, 300);

  CompileMmlFromMemory(bank.data(), bank.size(), songPath.c_str());
  EXPECT_EQ(g_fake.released, (std::vector<int32_t>{100}));
  EXPECT_EQ(song.listCount, 0);
  EXPECT_EQ(song.sampleMode, 1);
  EXPECT_EQ(song.bankKeys[0], 72);
  EXPECT_EQ(song.bankLengths[0], 16);

  CompileMmlFromMemory("c", 1, songPath.c_str());
  EXPECT_EQ(song.sampleMode, 0);
  EXPECT_EQ(song.bankLastIndex, -1);
  EXPECT_EQ(song.bankSamples[0], nullptr);
}

// Mutated banks and lists: whatever the bytes, the tables stay within their sizes and every
// sample length matches what the file could hold.
TEST_F(SampleLoadTest, MutatedFilesStayInsideTheTables) {
  ASSERT_TRUE(WriteTestFile("a.wav", WaveBytes(1, 10)));
  std::mt19937 rng(22);
  const Bytes bank = BuildZpd({{60, Pattern(40, 1)}, {61, Pattern(7, 2)}, {62, Pattern(90, 3)}});
  std::string list = "Z12345678";
  for (int i = 0; i < 12; ++i) list += std::to_string(i % 9) + " c+ a.wav\r\n";
  for (int round = 0; round < 1500; ++round) {
    Bytes b = bank;
    std::string t = list;
    for (int m = rng() % 6; m >= 0; --m) {
      b[rng() % b.size()] = static_cast<uint8_t>(rng());
      t[rng() % t.size()] = static_cast<char>(rng() % 4 ? rng() % 96 + 32 : rng());
    }
    b[0] = 0x10;
    b.resize(1 + rng() % b.size());
    LoadBankBytes(b);
    ASSERT_LE(song.bankLastIndex, kSampleBankSize - 1);
    for (int i = 0; i <= song.bankLastIndex; ++i) {
      ASSERT_LE(uint64_t(song.bankLengths[i]), 2 * uint64_t(b.size())) << round;
      ASSERT_EQ(song.bankSamples[i] != nullptr, song.bankLengths[i] > 0) << round;
    }
    t[0] = 'Z';
    LoadListText(t);
    ASSERT_GE(song.listCount, 0);
    ASSERT_LE(song.listCount, kSampleListSize);
  }
}

}  // namespace
