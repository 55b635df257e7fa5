// Repeat expansion: passes, exits on the last pass, nesting, and the bounds of a track.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/engine/mml/mml_compile.h"
#include "tests/app/engine/mml_test_support.h"

namespace {

using V = std::vector<MmlEv>;
using Notes = std::vector<std::pair<uint32_t, int>>;  // (tick, key) of each note-on

Notes NoteOns(int track) {
  Notes out;
  for (const MmlEv &e : MmlTrackEventsOfType(track, {kEvNoteOn})) out.push_back({e.tick, e.value});
  return out;
}

const int C = 48, D = 50, E = 52, F = 53;

TEST(MmlRepeat, PassesOfTheBody) {
  struct Case {
    const char *text;
    Notes notes;
  } cases[] = {
      {"|:3 c d :| e", {{0, C}, {48, D}, {96, C}, {144, D}, {192, C}, {240, D}, {288, E}}},
      // The exit stops the last pass; what follows starts at 2 x 96 + 48.
      {"|:3 c | d :| e", {{0, C}, {48, D}, {96, C}, {144, D}, {192, C}, {240, E}}},
      // An exit at the body's start: two whole passes, then on at T0 + 2L.
      {"c |:3 | d e :| f", {{0, C}, {48, D}, {96, E}, {144, D}, {192, E}, {240, F}}},
      // Nested: 2 inside 3 gives six copies.
      {"|:3 |:2 c :| :| d", {{0, C}, {48, C}, {96, C}, {144, C}, {192, C}, {240, C}, {288, D}}},
      // One after the other, left to right.
      {"|: c :| |:3 d :|", {{0, C}, {48, C}, {96, D}, {144, D}, {192, D}}},
      // No count or 0 gives 2; 1 is raised to 2; a fourth digit is left over.
      {"|: c :|", {{0, C}, {48, C}}},
      {"|:0 c :|", {{0, C}, {48, C}}},
      {"|:1 c :|", {{0, C}, {48, C}}},
      // An empty body disappears and the rest keeps its time.
      {"c |:5 :| d", {{0, C}, {48, D}}},
      {"c |: :| |: :| d", {{0, C}, {48, D}}},
      // No repeats: unchanged.
      {"c d e", {{0, C}, {48, D}, {96, E}}},
  };
  for (const Case &c : cases) {
    CompileMmlText(c.text);
    EXPECT_EQ(NoteOns(0), c.notes) << c.text;
    EXPECT_TRUE(MmlTrackEventsOfType(0, {kEvRepeatStart, kEvRepeatEnd, kEvRepeatExit}).empty())
        << c.text;
  }
}

TEST(MmlRepeat, EventsKeepTheirOrderAndNoteOffsMoveWithTheirNotes) {
  CompileMmlText("v5 |:2 c8 | r8 :| q4 d");
  EXPECT_EQ(MmlTrackEvents(0), (V{{kEvVolumeStep, 0, 5},
                                  {kEvNoteOn, 0, C},
                                  {kEvNoteOff, 24, C},
                                  {kEvNop, 24, 0},  // the exit inside the first pass
                                  {kEvRest, 24, 0},
                                  {kEvNoteOff, 48, 0},
                                  {kEvNoteOn, 48, C},
                                  {kEvNoteOff, 72, C},
                                  {kEvNoteOn, 72, D},
                                  {kEvNoteOff, 96, D}}));
}

TEST(MmlRepeat, UnmatchedMarkersRepeatNothing) {
  for (const char *text : {"c :| d", "c |:3 d", "c | d", ":| |: c | d"}) {
    CompileMmlText(text);
    V on = MmlTrackEventsOfType(0, {kEvNoteOn});
    EXPECT_EQ(on.size(), 2u) << text;
    EXPECT_TRUE(MmlTrackEventsOfType(0, {kEvRepeatStart, kEvRepeatEnd, kEvRepeatExit}).empty())
        << text;
  }
  // An end whose start is gone still leaves the earlier repeat alone.
  CompileMmlText("|: c :| :| d");
  EXPECT_EQ(NoteOns(0), (Notes{{0, C}, {48, C}, {96, D}}));
}

TEST(MmlRepeat, EachTrackIsExpandedOnItsOwn) {
  CompileMmlText("|:2 c :| (t2) d |:3 e :| (t16) o4 |:2 f :|");
  EXPECT_EQ(NoteOns(0), (Notes{{0, C}, {48, C}}));
  EXPECT_EQ(NoteOns(1), (Notes{{0, D}, {48, E}, {96, E}, {144, E}}));
  EXPECT_EQ(NoteOns(15), (Notes{{0, F}, {48, F}}));
}

TEST(MmlRepeat, LoopPointTickIsTheFirstLoopPointAfterExpansion) {
  CompileMmlText("|:3 c :| [d] d [l] (t2) |:2 c [d] :| [l] (t3) c");
  EXPECT_EQ(g_songs[0].tracks[0].loopPointTick, 144);
  EXPECT_EQ(g_songs[0].tracks[1].loopPointTick, 48);
  EXPECT_EQ(MmlTrackEventsOfType(1, {kEvLoopPoint}).size(), 2u);
  EXPECT_EQ(g_songs[0].tracks[2].loopPointTick, 0);
}

TEST(MmlRepeat, PassesThatDoNotFitEndTheTrackBeforeTheRepeat) {
  // 999 passes of 8 notes: 15,984 events, more than a track holds.
  CompileMmlText("c d |:999 cdefgab<c> :| e (t2) |:999 c :|");
  EXPECT_EQ(NoteOns(0), (Notes{{0, C}, {48, D}}));
  EXPECT_EQ(MmlTrackEvents(0).size(), 4u);
  EXPECT_EQ(NoteOns(1).size(), 999u);  // 1,998 events fit

  // Nesting multiplies: 999 x 999 passes would not fit either, nor leave a half-written track.
  CompileMmlText("c |:999 |:999 d :| :|");
  EXPECT_EQ(NoteOns(0), (Notes{{0, C}}));
  EXPECT_EQ(g_songs[0].events[0][2].type, kEvEnd);
}

TEST(MmlRepeat, PassesThatRunPastTheTickLimitEndTheTrackBeforeTheRepeat) {
  // A very long default length: 999 passes of a rest would end far beyond the tick limit.
  CompileMmlText("l^^l^^l^^l^^l^^l^^l^^l^^l^^l^^l^^ c |:999 r :| d");
  EXPECT_EQ(MmlTrackEvents(0).size(), 2u);
}

TEST(MmlRepeat, ExpansionOfRecordsWrittenDirectly) {
  // Records the compiler would not write itself: a count out of range and an end that stands
  // before its start in time. The expansion stays within 2-999 passes and never goes back.
  CompileMmlText("");
  SongEvent *ev = g_songs[0].events[0];
  ev[0] = SongEvent{kEvRepeatStart, 100, 0, 5000, 1};
  ev[1] = SongEvent{kEvNoteOn, 100, 0, C, 1};
  ev[2] = SongEvent{kEvNoteOff, 148, 0, C, 1};
  ev[3] = SongEvent{kEvRepeatEnd, 50, 0, -3, 1};
  ev[4] = SongEvent{kEvNoteOn, 50, 0, D, 1};
  ExpandMmlRepeats();
  V all = MmlTrackEvents(0);
  ASSERT_EQ(all.size(), 999u * 2 + 1);
  for (const MmlEv &e : all) EXPECT_GE(e.tick, 100u);
  EXPECT_EQ(all.back(), (MmlEv{kEvNoteOn, 100, D}));
}

}  // namespace
