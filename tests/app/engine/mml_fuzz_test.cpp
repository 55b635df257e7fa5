// Hostile song texts: mutations of the fixture songs and random MML-like text must compile
// without a crash or hang, and always leave song 0 in a shape the sequencer can play.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <random>
#include <string>
#include <vector>

#include "app/engine/mml/mml_compile.h"
#include "tests/app/engine/mml_song_check.h"
#include "tests/app/engine/mml_test_support.h"

namespace {

// Pieces a user writes, so mutations reach deep into every command.
const char *const kTokens[] = {
    "c", "d4.", "e*30", "f^8^16", "g+", "a-", "b#", "r", "r2", "'", "&", "{", "}", "}4", "o",
    "o9", "<", ">", "l", "l8", "l^^", "l.", "v", "v16", "~", "_3", "k-2", "k+", "t", "t+300",
    "t-99", "p", "p2", "q", "q4", "s1,2", "z", "z1,2,,3", "|:", "|:999", "|", ":|", ":", "[d]",
    "[l]", "[x", "/ c\r\n", "@", "@v", "@m9", "@h1,2", "@s3", "@e", "@e40", "@k-9", "@p+",
    "@p-3", "@p", "@q", "@q200", "@t", "@t256", "@t999", "@l", "@l0", "@r", "@f", "(t", "(t2)",
    "(t17)", "(t0)", "(@", "(@70,", "(v", "(v3\r\n", "(x", "(x40,", "(:", "(c4,d)", "(c,o9e)",
    "(a0", "(c,x)", ")", "]", ",", "-", ".a=", ".a=x.zpd\r\n", ".c", ".ct", ".s ", ".s 1,2",
    ".o r", ".O", ".x", "\r\n", "\r", "\n", " ", "0", "1234", "999", "\xFF", "\x83\x5C", "*",
    "^", ".", "#", "+",
};
const int kTokenCount = sizeof kTokens / sizeof kTokens[0];

const char *const kSnippets[] = {
    "t150 o4 l8 cdef g4 r4 'ceg'4 & 'ce'4 {ccc}4 c4.. (c8,>e) & d",
    "|:3 c | d :| |:2 |:2 e :| :| [d] f [l]",
    "(t9) .a=kit.zpd\r\n o2 c c c (t16) z1,2,3 c c z c",
    "(@1,31,4,2,4,11,26,1,1,6,0,0,31,0,0,4,0,47,1,8,0,2,0,31,31,8,4,0,41,1,1,7,0,0,20,31,3,6,0,0,"
    "1,2,0,0,0,2,7,15) @1 c",
    "(x3,1,2,3,4,5,6,7,8,9,10,11,12,13) @e3 @t200 t+10 @q3 c @p-2 @p+ k-3 c",
};

std::vector<std::string> Seeds() {
  std::vector<std::string> seeds;
  for (const char *name : {"title_solo.zms", "tones.zms", "melody.zms"}) {
    std::string text = ReadMmlFixture(name);
    EXPECT_FALSE(text.empty()) << name;
    seeds.push_back(text);
  }
  for (const char *s : kSnippets) seeds.push_back(s);
  return seeds;
}

::testing::AssertionResult SongIsPlayable() {
  const std::string problem = MmlSongProblem();
  if (problem.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << problem;
}

std::string Hex(const std::string &s) {
  std::string out;
  char buf[4];
  for (unsigned char c : s.substr(0, 200)) {
    snprintf(buf, sizeof buf, "%02X ", c);
    out += buf;
  }
  return out;
}

std::string Mutate(std::mt19937 &rng, const std::vector<std::string> &seeds) {
  auto pick = [&](size_t n) { return n ? static_cast<size_t>(rng() % n) : 0; };
  std::string text = seeds[pick(seeds.size())];
  int edits = 1 + static_cast<int>(rng() % 8);
  for (int e = 0; e < edits; ++e) {
    switch (rng() % 6) {
      case 0:  // overwrite a byte with anything
        if (!text.empty()) text[pick(text.size())] = static_cast<char>(rng());
        break;
      case 1:  // insert a token
        text.insert(pick(text.size() + 1), kTokens[pick(kTokenCount)]);
        break;
      case 2: {  // delete a range
        size_t at = pick(text.size() + 1);
        text.erase(at, pick(16) + 1);
        break;
      }
      case 3: {  // splice in part of another seed
        const std::string &other = seeds[pick(seeds.size())];
        size_t from = pick(other.size());
        text.insert(pick(text.size() + 1), other.substr(from, pick(64) + 1));
        break;
      }
      case 4:  // cut the end off
        text.resize(pick(text.size() + 1));
        break;
      default: {  // repeat a range, to grow long tracks
        if (text.empty()) break;
        size_t from = pick(text.size());
        std::string piece = text.substr(from, pick(32) + 1);
        for (int k = static_cast<int>(rng() % 20); k > 0 && text.size() < 4096; --k) {
          text.insert(from, piece);
        }
        break;
      }
    }
  }
  return text;
}

TEST(MmlFuzz, MutatedFixturesCompileToPlayableSongs) {
  std::vector<std::string> seeds = Seeds();
  std::mt19937 rng(20261207);
  // Each case picks its seed and its one to eight edits at random: 10000 cases give every seed
  // and every kind of edit well over a thousand times.
  for (int i = 0; i < 10000; ++i) {
    std::string text = Mutate(rng, seeds);
    CompileMmlText(text);
    ASSERT_TRUE(SongIsPlayable()) << "case " << i << ": " << Hex(text);
  }
}

TEST(MmlFuzz, RandomTextCompilesToPlayableSongs) {
  std::mt19937 rng(7);
  for (int i = 0; i < 5000; ++i) {
    std::string text;
    size_t length = rng() % 400;
    bool tokens = (i & 1) != 0;
    while (text.size() < length) {
      if (tokens) {
        text += kTokens[rng() % kTokenCount];
      } else {
        text += static_cast<char>(rng() % 3 ? 32 + rng() % 95 : rng() % 256);
      }
    }
    CompileMmlText(text);
    ASSERT_TRUE(SongIsPlayable()) << "case " << i << ": " << Hex(text);
  }
}

TEST(MmlFuzz, PathologicalTextsStayBounded) {
  const std::string cases[] = {
      std::string(100000, '{'),
      std::string(100000, '{') + "}4",
      std::string(9999, 'v') + std::string(100000, '&'),
      std::string(100000, '('),
      std::string(50000, '\'') + "c",
      "|:999 " + std::string(20000, '&') + "c :|",
      [] {
        std::string s;
        for (int i = 0; i < 3000; ++i) s += "|: c :|";
        return s;
      }(),
      [] {
        std::string s;
        for (int i = 0; i < 40; ++i) s += "|:999 ";
        s += "c";
        for (int i = 0; i < 40; ++i) s += ":|";
        return s;
      }(),
      [] {
        std::string s;
        for (int i = 0; i < 20000; ++i) s += "'cdefgab<c>'";
        return s;
      }(),
  };
  for (const std::string &text : cases) {
    CompileMmlText(text);
    ASSERT_TRUE(SongIsPlayable()) << Hex(text);
  }
}

}  // namespace
