// The piano roll's arithmetic: peak columns of list and bank samples, the strips' lookups, the
// note ends found once per compile (against a forward search from every note), the notes a view
// finds by search (against the walk over every event), the note range and the page of the view.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "app/shell/tracks/piano_roll_geometry.h"

namespace {

// A list sample in memory: frame i's left and right samples.
struct FakeSample {
  std::vector<int32_t> left, right;
  static void Read(void* context, int32_t frame, int32_t* l, int32_t* r) {
    const auto* s = static_cast<const FakeSample*>(context);
    *l = s->left.at(frame);
    *r = s->right.empty() ? 0 : s->right.at(frame);
  }
};

struct Tables {
  explicit Tables(int32_t columns, bool stereo)
      : maxLeft(NewPeakTable(columns)),
        minLeft(NewPeakTable(columns)),
        maxRight(stereo ? NewPeakTable(columns) : nullptr),
        minRight(stereo ? NewPeakTable(columns) : nullptr) {}
  std::unique_ptr<int32_t[]> maxLeft, minLeft, maxRight, minRight;
  PeakTables View() const { return PeakTables{maxLeft.get(), minLeft.get(), maxRight.get(), minRight.get()}; }
};

TEST(PeakTables, ListSamplesGiveNegatedColumnsOf208Frames) {
  for (bool stereo : {false, true}) {
    SCOPED_TRACE(stereo ? "stereo" : "mono");
    FakeSample s;
    const int32_t frames = 2 * kPeakColumnFrames + 100;  // two whole columns and a remainder
    for (int32_t i = 0; i < frames; ++i) {
      s.left.push_back(i == 0 ? 500 : (i % 50) - 20);
      if (stereo) s.right.push_back(i == 300 ? -7000 : 3);
    }
    s.left[207] = 900;  // the last frame of column 1
    s.left[208] = -800;  // the first of column 2
    const int32_t columns = frames / kPeakColumnFrames;
    ASSERT_EQ(2, columns);
    Tables t(columns, stereo);
    FillListPeaks(t.View(), columns, FakeSample::Read, &s);
    EXPECT_EQ(-500, t.maxLeft[0]);  // column 0 is frame 0 alone
    EXPECT_EQ(-500, t.minLeft[0]);
    EXPECT_EQ(-900, t.minLeft[1]);
    EXPECT_EQ(20, t.maxLeft[1]);
    EXPECT_EQ(800, t.maxLeft[2]);
    if (stereo) {
      EXPECT_EQ(-3, t.maxRight[0]);
      EXPECT_EQ(7000, t.maxRight[2]);
      EXPECT_EQ(-3, t.minRight[2]);
    }
  }
}

TEST(PeakTables, BankSamplesStretchTo44100HzColumns) {
  // Sample k holds k: column c spans frames (c - 1) x 208 ... c x 208 - 1, read at frame / 2.8269.
  std::vector<int16_t> samples(1000);
  for (size_t k = 0; k < samples.size(); ++k) samples[k] = static_cast<int16_t>(k);
  const int32_t count = static_cast<int32_t>(samples.size()), columns = count / kPeakColumnFrames;
  const struct {
    int32_t column, min, max;
  } rows[] = {{0, 0, 0}, {1, 0, 73}, {2, 73, 146}, {4, 220, 293}};
  for (const auto& row : rows) {
    const PeakRange r = GetWaveMinMax(row.column, samples.data(), count);
    EXPECT_EQ(row.min, r.min) << row.column;
    EXPECT_EQ(row.max, r.max) << row.column;
  }
  Tables t(columns, false);
  FillBankPeaks(t.maxLeft.get(), t.minLeft.get(), columns, samples.data(), count);
  EXPECT_EQ(293, t.maxLeft[columns]);
  // A record shorter than one column still has its column 0; no sample past the end is read.
  const int16_t one[1] = {-5};
  EXPECT_EQ(-5, GetWaveMinMax(0, one, 1).max);
  EXPECT_EQ(0, GetWaveMinMax(3, one, 1).min);
  EXPECT_EQ(0, GetWaveMinMax(0, nullptr, 0).max);
}

TEST(PeakTables, StripLookupsSpanTheStepAndANullTableIsTheCentreLine) {
  const int32_t mins[] = {-10, -40, -20, -90, -5, -60};
  const int32_t maxs[] = {10, 30, 80, 20, 70, 15};
  const struct {
    int32_t column, step, scale, min, max, scaledMin, scaledMax;
  } rows[] = {
      {0, 2, 10, -10, 10, -1, 1},    // column 0 is entry 0 alone
      {1, 2, 10, -40, 30, -4, 3},    // entries 0-1
      {2, 2, 10, -90, 80, -9, 8},    // entries 2-3
      {2, 3, 7, -90, 70, -12, 10},   // entries 3-5
      {3, 2, 0, -60, 70, -60, 70},   // entries 4-5; no scale divides by 1
      {9, 2, 10, 0, 0, 0, 0},        // past the entries
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "column " << row.column << " step " << row.step);
    const PeakLookup l = GetPeakMinMax(row.column, mins, maxs, 6, row.step, row.scale);
    EXPECT_EQ(row.min, l.min);
    EXPECT_EQ(row.max, l.max);
    EXPECT_EQ(row.scaledMin, l.scaledMin);
    EXPECT_EQ(row.scaledMax, l.scaledMax);
  }
  for (int32_t c : {0, 1, 5}) {
    const PeakLookup l = GetPeakMinMax(c, nullptr, nullptr, 6, 1, 1);
    EXPECT_EQ(0, l.min | l.max | l.scaledMin | l.scaledMax);
  }
}

// The ends as the roll once searched for them, from every note forward.
int32_t SearchedEnd(const std::vector<SongEvent>& e, int32_t i, int32_t count) {
  const int32_t last = count < kEventsPerTrack ? count : count - 1;
  for (int32_t j = i + 1; j < count; ++j) {
    if (e[i].type == kEvPortamentoStart && e[j].type == kEvPortamentoEnd) return j;
    if (e[i].type == kEvNoteOn && e[i].articulate == 1 && e[j].type == kEvNoteOff && e[j].value == e[i].value)
      return j;
    if (e[i].type == kEvNoteOn && e[i].articulate != 1 &&
        (e[j].type == kEvNoteOn || e[j].type == kEvPortamentoStart))
      return j;
  }
  return e[i].type == kEvNoteOn || e[i].type == kEvPortamentoStart ? last : i;
}

TEST(NoteEnds, FoundOnceTheyMatchAForwardSearchFromEveryNote) {
  std::mt19937 random(1208);
  const uint32_t types[] = {kEvNoteOn, kEvNoteOff, kEvPortamentoStart, kEvPortamentoEnd, kEvRest, kEvVolume};
  for (int round = 0; round < 200; ++round) {
    const int32_t count = round == 0 ? kEventsPerTrack : static_cast<int32_t>(random() % 300);
    std::vector<SongEvent> events(kEventsPerTrack, SongEvent{kEvEnd, 0, 0, 0, 0});
    for (int32_t i = 0; i < count; ++i) {
      events[i] = SongEvent{types[random() % 6], static_cast<uint32_t>(i * 12), 0,
                            static_cast<int32_t>(40 + random() % 6), static_cast<uint8_t>(random() % 2)};
    }
    const TrackNotes notes = SummariseTrack(events.data());
    ASSERT_EQ(count, notes.count);
    std::vector<int32_t> ends(kEventsPerTrack, -1);
    FindNoteEnds(events.data(), count, ends.data());
    for (int32_t i = 0; i < count; ++i) ASSERT_EQ(SearchedEnd(events, i, count), ends[i]) << round << " @" << i;
  }
}

// A track of `count` random notes, glides and other events whose ticks mostly rise (a tenth of them
// step back, as a repeat written with its own ticks would), and its note ends.
struct RandomTrack {
  std::vector<SongEvent> events = std::vector<SongEvent>(kEventsPerTrack, SongEvent{kEvEnd, 0, 0, 0, 0});
  std::vector<int32_t> ends = std::vector<int32_t>(kEventsPerTrack, 0);
  int32_t count;
  RandomTrack(std::mt19937& random, int32_t count) : count(count) {
    const uint32_t types[] = {kEvNoteOn, kEvNoteOff, kEvPortamentoStart, kEvPortamentoEnd, kEvRest, kEvVolume};
    uint32_t tick = 0;
    for (int32_t i = 0; i < count; ++i) {
      tick = random() % 10 == 0 ? tick - std::min<uint32_t>(tick, random() % 200) : tick + random() % 48;
      events[i] = SongEvent{types[random() % 6], tick, 0, static_cast<int32_t>(40 + random() % 6),
                            static_cast<uint8_t>(random() % 2)};
    }
    FindNoteEnds(events.data(), count, ends.data());
  }
};

TEST(RollIndex, AViewFindsTheNotesTheWalkOverEveryEventWouldShow) {
  std::mt19937 random(85);
  for (int round = 0; round < 300; ++round) {
    RandomTrack t(random, round == 0 ? kEventsPerTrack : static_cast<int32_t>(random() % 400));
    RollIndex index;
    BuildRollIndex(t.events.data(), t.count, t.ends.data(), index);
    // The walk the roll made over every event of the track, keeping what a view shows: notes and
    // glides that start by its last tick and reach its first.
    const int64_t first = random() % 6000, last = first + random() % 3000;
    std::vector<int32_t> walked, found;
    for (int32_t i = 0; i < t.count; ++i) {
      const SongEvent& e = t.events[i];
      if (e.type != kEvPortamentoStart && e.type != kEvNoteOn) continue;
      const int32_t j = RollItemEnd(t.ends.data(), i, t.count);
      if (e.tick <= last && std::max(e.tick, t.events[j].tick) >= first) walked.push_back(i);
      if (e.type == kEvPortamentoStart) i = std::max(i, j);
    }
    const RollSpan span = FindRollSpan(index, first, last);
    ASSERT_LE(span.begin, span.end);
    for (int32_t k = span.begin; k < span.end; ++k) {
      const int32_t i = index.items[k];
      const int32_t j = RollItemEnd(t.ends.data(), i, t.count);
      if (t.events[i].tick <= last && std::max(t.events[i].tick, t.events[j].tick) >= first) found.push_back(i);
    }
    ASSERT_EQ(walked, found) << "round " << round << ", ticks " << first << " to " << last;
  }
}

TEST(RollIndex, AViewOfALongRisingTrackLooksAtItsOwnNotesOnly) {
  std::vector<SongEvent> events(kEventsPerTrack, SongEvent{kEvEnd, 0, 0, 0, 0});
  for (int32_t i = 0; i + 1 < kEventsPerTrack; i += 2) {
    events[i] = SongEvent{kEvNoteOn, static_cast<uint32_t>(i * 24), 0, 60, 1};
    events[i + 1] = SongEvent{kEvNoteOff, static_cast<uint32_t>(i * 24 + 12), 0, 60, 1};
  }
  std::vector<int32_t> ends(kEventsPerTrack);
  FindNoteEnds(events.data(), kEventsPerTrack, ends.data());
  RollIndex index;
  BuildRollIndex(events.data(), kEventsPerTrack, ends.data(), index);
  // Notes every 48 ticks: a view of 4,800 ticks shows about a hundred of the 5,000.
  const RollSpan span = FindRollSpan(index, 120000, 124800);
  EXPECT_LE(span.end - span.begin, 102);
  EXPECT_GE(span.end - span.begin, 100);
}

TEST(NoteEnds, RangeScaleAndPage) {
  std::vector<SongEvent> events(kEventsPerTrack, SongEvent{kEvEnd, 0, 0, 0, 0});
  EXPECT_EQ(0, SummariseTrack(events.data()).highest);
  EXPECT_EQ(128, SummariseTrack(events.data()).lowest);
  events[0] = SongEvent{kEvNoteOn, 0, 0, 60, 1};
  events[1] = SongEvent{kEvPortamentoEnd, 0, 0, 72, 1};
  events[2] = SongEvent{kEvTempo, 0, 0, 200, 1};  // not a pitch
  const TrackNotes n = SummariseTrack(events.data());
  EXPECT_EQ(72, n.highest);
  EXPECT_EQ(60, n.lowest);
  // A range under 12 values is drawn as 12; the highest note stays below the row's top.
  EXPECT_DOUBLE_EQ(NoteScale(64, 60), NoteScale(71, 60));
  EXPECT_DOUBLE_EQ(1.0 / 13, NoteScale(72, 60));
  EXPECT_EQ(6, NoteHeight(62, 60, NoteScale(64, 60), 39));
  EXPECT_EQ(33, NoteHeight(72, 60, NoteScale(72, 60), 39));
  for (const auto& [p, start] : std::vector<std::pair<int32_t, int32_t>>{{0, 0}, {499, 0}, {500, 500}, {-1, -500}})
    EXPECT_EQ(start, PageStart(p, 500)) << p;
}

TEST(NoteEnds, LinesAreDrawnOnlyWithAnEndInsideAndClippedToTheArea) {
  const struct {
    int32_t x0, y0, x1, y1;
    bool drawn;
    int32_t cx0, cy0, cx1, cy1;
  } rows[] = {
      {50, 5, 80, 5, true, 50, 5, 80, 5},
      {90, 0, 140, 50, true, 90, 0, 100, 10},  // past the right edge
      {-20, 0, 20, 40, true, 0, 20, 20, 40},   // from left of the area
      {-20, 5, 140, 5, false, 0, 0, 0, 0},     // across the whole area
      {0, 5, 100, 5, false, 0, 0, 0, 0},       // ends on the edges are not inside
  };
  for (const auto& row : rows) {
    int32_t x0 = row.x0, y0 = row.y0, x1 = row.x1, y1 = row.y1;
    ASSERT_EQ(row.drawn, ClipLineToSpan(x0, y0, x1, y1, 0, 100)) << row.x0 << "," << row.x1;
    if (row.drawn) {
      EXPECT_EQ((std::vector<int32_t>{row.cx0, row.cy0, row.cx1, row.cy1}), (std::vector<int32_t>{x0, y0, x1, y1}));
    }
  }
}

}  // namespace
