// The MDX track list's command text: every opcode row as the list writes it out, the parameter
// bytes each command claims and the running volume it carries; tracks cut short placed against a
// no-access page; and a seeded mutation loop over random tracks walked as the list walks them.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "app/shell/tracks/mdx_command_text.h"

namespace {

struct Row {
  std::vector<uint8_t> bytes;
  int32_t track;
  MdxCommandState before;  // volume mode, volume (the count starts at 0)
  const char* text;
  int32_t count;
  int32_t modeAfter, volumeAfter;  // -1: as before
};

constexpr MdxCommandState kDirect{0, 100, 0}, kSteps{1, 15, 0}, kSilentDirect{0, 0, 0};

std::string Format(const std::vector<uint8_t>& bytes, int32_t track, MdxCommandState& state) {
  char text[kMdxCommandTextSize];
  FormatMdxCommand(bytes.data(), static_cast<int32_t>(bytes.size()), 0, track, state, text);
  return text;
}

TEST(MdxCommandText, EveryOpcodeReadsAsTheListWritesItOut) {
  const Row rows[] = {
      {{0x00}, 0, kDirect, "r1", 0, -1, -1},
      {{0x7F}, 9, kDirect, "r128", 0, -1, -1},
      {{0x80, 47}, 0, kDirect, "o0d+,48", 1, -1, -1},
      {{0x80, 47}, 8, kDirect, "0,48", 1, -1, -1},
      {{0x81, 47}, 8, kDirect, "1,48", 1, -1, -1},
      {{0xDF, 0}, 7, kDirect, "o8d,1", 1, -1, -1},
      {{0x8D, 255}, 15, kDirect, "d,256", 1, -1, -1},
      {{0xE0}, 0, kDirect, "none", 0, -1, -1},
      {{0xE6}, 0, kDirect, "none", 0, -1, -1},
      {{0xE7, 1, 5}, 0, kDirect, "FO5", 2, -1, -1},
      {{0xE8}, 8, kDirect, "PCM8", 0, -1, -1},
      {{0xE9, 7}, 0, kDirect, "LFOdly7", 1, -1, -1},
      {{0xEA, 0x80}, 0, kDirect, "MHOF", 1, -1, -1},
      {{0xEA, 0x81}, 0, kDirect, "MHON", 1, -1, -1},
      {{0xEA, 0xC6, 10, 0x85, 0xFE, 0xF7}, 0, kDirect, "MH:SY:3\nWF:2\nLFRQ:10\nP/A:5,-2\nP/A:-1,3", 5, -1, -1},
      {{0xEB, 0x80}, 0, kDirect, "MAOF", 1, -1, -1},
      {{0xEB, 0x81}, 0, kDirect, "MAON", 1, -1, -1},
      {{0xEB, 2, 0xFF, 0xFE, 0xFE, 0xFF}, 0, kDirect, "aL2,-2,-1", 5, -1, -1},  // -257 / 256 is -1
      {{0xEC, 0x80}, 0, kDirect, "MPOF", 1, -1, -1},
      {{0xEC, 0x81}, 0, kDirect, "MPON", 1, -1, -1},
      {{0xEC, 0, 0x01, 0x00, 0x02, 0x00}, 0, kDirect, "pL0,256,2", 5, -1, -1},
      {{0xED, 0}, 0, kDirect, "noise off", 1, -1, -1},
      {{0xED, 0x93}, 0, kDirect, "noisef3", 1, -1, -1},
      {{0xEE}, 0, kDirect, "syncw", 0, -1, -1},
      {{0xEF, 5}, 0, kDirect, "sync5", 1, -1, -1},
      {{0xF0, 3}, 0, kDirect, "kodly3", 1, -1, -1},
      {{0xF1, 0}, 0, kDirect, "end", 1, -1, -1},
      {{0xF1, 0xFF, 0xF0}, 0, kDirect, "loop-16", 2, -1, -1},
      {{0xF2, 0xFE, 0xFF}, 0, kDirect, "port-1", 2, -1, -1},
      {{0xF2, 0xFF, 0x80}, 0, kDirect, "port0", 2, -1, -1},
      {{0xF3, 0xFF, 0xFF}, 0, kDirect, "@k-1", 2, -1, -1},
      {{0xF4, 0, 10}, 0, kDirect, "|10", 2, -1, -1},
      {{0xF5, 0xFF, 0xF6}, 0, kDirect, ":|-10", 2, -1, -1},
      {{0xF6, 4, 0}, 0, kDirect, "|:4", 2, -1, -1},
      {{0xF7}, 0, kDirect, "&", 0, -1, -1},
      {{0xF8, 8}, 0, kDirect, "q8", 1, -1, -1},
      {{0xF8, 9}, 0, kDirect, "@q246", 1, -1, -1},
      {{0xF9}, 0, kDirect, "~@v101", 0, 0, 101},
      {{0xF9}, 0, kSteps, "~v15", 0, 1, 15},  // at the top of the v scale
      {{0xFA}, 0, kSteps, "_v14", 0, 1, 14},
      {{0xFA}, 0, kSilentDirect, "_@v0", 0, 0, 0},
      {{0xFB, 15}, 0, kDirect, "v15", 1, 1, 15},
      {{0xFB, 16}, 0, kSteps, "@v239", 1, 0, 16},
      {{0xFB, 0x80}, 0, kSteps, "@v127", 1, 0, 0x80},
      {{0xFC, 3}, 0, kDirect, "p3", 1, -1, -1},
      {{0xFD, 10}, 0, kDirect, "@10", 1, -1, -1},
      {{0xFE, 1, 2}, 0, kDirect, "OPM", 2, -1, -1},
      {{0xFF, 200}, 0, kDirect, "t87", 1, -1, -1},
      {{0xFF, 0}, 0, kDirect, "t19", 1, -1, -1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << std::hex << int{row.bytes[0]} << std::dec << " on track " << row.track);
    MdxCommandState state = row.before;
    state.paramBytes = 0;
    EXPECT_EQ(row.text, Format(row.bytes, row.track, state));
    EXPECT_EQ(row.count, state.paramBytes);
    EXPECT_EQ(row.modeAfter < 0 ? row.before.volumeMode : row.modeAfter, state.volumeMode);
    EXPECT_EQ(row.volumeAfter < 0 ? row.before.volume : row.volumeAfter, state.volume);
  }
}

// A track of `size` bytes whose last byte is the last one before a no-access page.
class FencedTrack {
 public:
  explicit FencedTrack(size_t size) : size_(size) {
    base_ = static_cast<uint8_t*>(VirtualAlloc(nullptr, 2 * kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    if (base_ && VirtualProtect(base_ + kPage, kPage, PAGE_NOACCESS, &old)) data = base_ + kPage - size;
  }
  ~FencedTrack() { VirtualFree(base_, 0, MEM_RELEASE); }
  uint8_t* data = nullptr;

 private:
  static constexpr size_t kPage = 4096;
  size_t size_;
  uint8_t* base_ = nullptr;
};

TEST(MdxCommandText, BytesPastAShortTrackReadAsZeroAndAreNeverTouched) {
  for (size_t size = 1; size <= 5; ++size) {
    FencedTrack track(size);
    ASSERT_NE(nullptr, track.data);
    for (int first = 0; first < 256; ++first) {
      std::memset(track.data, 0xFF, size);
      track.data[0] = static_cast<uint8_t>(first);
      MdxCommandState state{0, 0, 0};
      char text[kMdxCommandTextSize];
      FormatMdxCommand(track.data, static_cast<int32_t>(size), 0, first & 15, state, text);
      ASSERT_LT(std::strlen(text), sizeof text);
    }
  }
  // What the missing parameters read as.
  const std::pair<std::vector<uint8_t>, const char*> cut[] = {
      {{0xF1}, "end"}, {{0xFB}, "v0"}, {{0xEB, 3, 0xFF}, "aL3,-256,0"}, {{0xFF}, "t19"}};
  for (const auto& [bytes, text] : cut) {
    FencedTrack track(bytes.size());
    std::memcpy(track.data, bytes.data(), bytes.size());
    MdxCommandState state{0, 0, 0};
    char out[kMdxCommandTextSize];
    FormatMdxCommand(track.data, static_cast<int32_t>(bytes.size()), 0, 0, state, out);
    EXPECT_STREQ(text, out);
  }
}

TEST(MdxCommandText, RandomTracksWalkedAsTheListWalksThemKeepTheStateInRange) {
  std::mt19937 random(58);
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> track(random() % 48);
    for (uint8_t& b : track) b = static_cast<uint8_t>(random() % 3 == 0 ? 0xE0 + random() % 32 : random());
    MdxCommandState state{static_cast<int32_t>(random() % 2), static_cast<int32_t>(random() % 256), 0};
    const int32_t number = static_cast<int32_t>(random() % 16);
    for (int32_t i = 0; i < static_cast<int32_t>(track.size()); ++i) {
      if (state.paramBytes > 0) {
        --state.paramBytes;
        continue;
      }
      char text[kMdxCommandTextSize];
      FormatMdxCommand(track.data(), static_cast<int32_t>(track.size()), i, number, state, text);
      ASSERT_GT(std::strlen(text), 0u) << round;
      ASSERT_GE(state.paramBytes, 0);
      ASSERT_LE(state.paramBytes, 5);
      ASSERT_TRUE(state.volumeMode == 0 || state.volumeMode == 1);
      ASSERT_GE(state.volume, 0);
      ASSERT_LE(state.volume, 255);
    }
  }
}

}  // namespace
