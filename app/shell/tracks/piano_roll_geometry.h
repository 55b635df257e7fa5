// The piano roll's arithmetic: the waveform peaks of the sample tracks, the note range and ends of
// each track, the page of the view and the clipping of its lines. Portable, so it is tested and
// fuzzed on its own; piano_roll.cpp draws with it.
#pragma once

#include <cstdint>
#include <vector>

#include "app/engine/sequencer/song_engine.h"

constexpr int32_t kPeakColumnFrames = 208;  // frames at 44,100 Hz one peak column stands for
// Bank samples are 15,600 Hz while the columns count 44,100 Hz frames.
constexpr double kBankStretch = 2.826923076923077;

struct PeakRange {
  int32_t min, max;
};

// Column `column` of a bank sample of `count` samples: column 0 is sample 0, column c >= 1 spans
// the frames (c - 1) x 208 to c x 208 - 1 stretched onto the samples. Samples outside the record
// are not read.
PeakRange GetWaveMinMax(int32_t column, const int16_t* samples, int32_t count);

// A pixel column of a strip: `step` table entries per column (entry 0 alone for column 0), and
// the same values divided by the scale. A null table, or entries past `entries`, give 0.
struct PeakLookup {
  int32_t min, max;              // as the tables hold them
  int32_t scaledMin, scaledMax;  // divided by the scale, truncating
};
PeakLookup GetPeakMinMax(int32_t column, const int32_t* minTable, const int32_t* maxTable, int32_t entries,
                         int32_t step, int32_t scale);

// A zero-filled table of `columns` + 1 entries, or null when it cannot be had.
int32_t* NewPeakTable(int32_t columns);

// Fills the tables of a list sample of `frames` frames (columns = frames / 208): column 0 the
// negated frame 0, column c >= 1 the negated min and max of its 208 frames. `read` gives frame i's
// left and right samples; the right tables may be null (mono). Tables that are null stay so.
struct PeakTables {
  int32_t* maxLeft;
  int32_t* minLeft;
  int32_t* maxRight;
  int32_t* minRight;
};
using FrameReader = void (*)(void* context, int32_t frame, int32_t* left, int32_t* right);
void FillListPeaks(const PeakTables& tables, int32_t columns, FrameReader read, void* context);
// The same for a bank sample: columns 0 to `columns` from GetWaveMinMax.
void FillBankPeaks(int32_t* maxTable, int32_t* minTable, int32_t columns, const int16_t* samples, int32_t count);

// What the roll needs of a track, found once per compile: its events up to the end event (at
// most kEventsPerTrack), the highest and lowest value of its notes and glides (0 and 128 when it
// has none), and for each event the index of the event that ends its line.
struct TrackNotes {
  int32_t count;
  int32_t highest, lowest;
};
TrackNotes SummariseTrack(const SongEvent* events);
// For each of the `count` events: a glide start ends at the next glide end, an articulated note
// at the next note-off of its value, a tied note at the next note, glide start or end event; the
// end event (or the last event when the track has none) when there is no such event. Other events
// get their own index. Linear in the count.
void FindNoteEnds(const SongEvent* events, int32_t count, int32_t* ends);

// The notes and glides of a track in the order the roll's walk over its events draws them (a
// glide's line runs to its end event and passes over the events between), found once per compile
// with two running bounds, so that a view finds the ones it may show by binary search: the latest
// tick reached by any item up to each one, and the earliest tick at which any item from each one
// on starts.
struct RollIndex {
  std::vector<int32_t> items;       // the event index of each note or glide start
  std::vector<uint32_t> reachedBy;  // max over items 0..k of their start and end ticks
  std::vector<uint32_t> startFrom;  // min over items k.. of their start ticks
};
void BuildRollIndex(const SongEvent* events, int32_t count, const int32_t* ends, RollIndex& index);
// The event that ends the line of the note or glide at event `i` of a track of `count` events.
int32_t RollItemEnd(const int32_t* ends, int32_t i, int32_t count);
// The items [begin, end) that may show in the ticks first ... last; the others start after last,
// or they and every item before them end before first.
struct RollSpan {
  int32_t begin, end;
};
RollSpan FindRollSpan(const RollIndex& index, int64_t first, int64_t last);

// The notes' vertical scale: one row's height over the track's range, at least 12 values.
double NoteScale(int32_t highest, int32_t lowest);
// Pixels of value v above the row's base line.
int32_t NoteHeight(int32_t value, int32_t lowest, double scale, int32_t rowHeight);

// The first pixel of the page that holds pixel position p, with pages of `page` pixels.
int32_t PageStart(int32_t p, int32_t page);

// A line from (x0, y0) to (x1, y1), x0 <= x1, is drawn only when one of its ends lies strictly
// between left and right, and then clipped to left ... right. False when it is not drawn.
bool ClipLineToSpan(int32_t& x0, int32_t& y0, int32_t& x1, int32_t& y1, int32_t left, int32_t right);
