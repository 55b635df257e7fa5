#include "app/shell/tracks/piano_roll_geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <unordered_map>

namespace {

constexpr int32_t kNoFloor = 128, kNoCeiling = 0;
constexpr int32_t kLeastRange = 12;
constexpr int32_t kRowMargin = 3;

bool IsPitched(uint32_t type) { return type == kEvNoteOn || type == kEvPortamentoStart || type == kEvPortamentoEnd; }

// Min and max of the negated samples of a column's frames.
PeakRange NegatedRange(int32_t first, int32_t last, FrameReader read, void* context, bool right) {
  PeakRange r{std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min()};
  for (int32_t f = first; f <= last; ++f) {
    int32_t left = 0, rightSample = 0;
    read(context, f, &left, &rightSample);
    const int32_t v = -(right ? rightSample : left);
    r.min = std::min(r.min, v);
    r.max = std::max(r.max, v);
  }
  return r;
}

}  // namespace

PeakRange GetWaveMinMax(int32_t column, const int16_t* samples, int32_t count) {
  if (!samples || count <= 0) return PeakRange{0, 0};
  if (column < 1) return PeakRange{samples[0], samples[0]};
  PeakRange r{std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min()};
  const int64_t first = static_cast<int64_t>(column - 1) * kPeakColumnFrames;
  for (int64_t i = first; i < first + kPeakColumnFrames; ++i) {
    const int64_t at = static_cast<int64_t>(static_cast<double>(i) / kBankStretch);
    if (at >= count) break;
    r.min = std::min<int32_t>(r.min, samples[at]);
    r.max = std::max<int32_t>(r.max, samples[at]);
  }
  return r.min > r.max ? PeakRange{0, 0} : r;
}

PeakLookup GetPeakMinMax(int32_t column, const int32_t* minTable, const int32_t* maxTable, int32_t entries,
                         int32_t step, int32_t scale) {
  PeakLookup l{0, 0, 0, 0};
  if (!minTable || !maxTable || entries <= 0) return l;
  if (column < 1) {
    l.min = minTable[0];
    l.max = maxTable[0];
  } else {
    const int64_t first = static_cast<int64_t>(column - 1) * std::max(step, 1);
    const int64_t end = std::min<int64_t>(first + std::max(step, 1), entries);
    if (first >= end) return l;
    l.min = std::numeric_limits<int32_t>::max();
    l.max = std::numeric_limits<int32_t>::min();
    for (int64_t e = first; e < end; ++e) {
      l.min = std::min(l.min, minTable[e]);
      l.max = std::max(l.max, maxTable[e]);
    }
  }
  const int32_t divisor = scale > 0 ? scale : 1;
  l.scaledMin = l.min / divisor;
  l.scaledMax = l.max / divisor;
  return l;
}

int32_t* NewPeakTable(int32_t columns) {
  if (columns < 0 || columns >= std::numeric_limits<int32_t>::max() / 4) return nullptr;
  return new (std::nothrow) int32_t[static_cast<size_t>(columns) + 1]();
}

void FillListPeaks(const PeakTables& t, int32_t columns, FrameReader read, void* context) {
  if (!read || columns < 0) return;
  for (int32_t c = 0; c <= columns; ++c) {
    const int32_t first = c < 1 ? 0 : (c - 1) * kPeakColumnFrames;
    const int32_t last = c < 1 ? 0 : c * kPeakColumnFrames - 1;
    if (t.maxLeft && t.minLeft) {
      const PeakRange r = NegatedRange(first, last, read, context, false);
      t.maxLeft[c] = r.max;
      t.minLeft[c] = r.min;
    }
    if (t.maxRight && t.minRight) {
      const PeakRange r = NegatedRange(first, last, read, context, true);
      t.maxRight[c] = r.max;
      t.minRight[c] = r.min;
    }
  }
}

void FillBankPeaks(int32_t* maxTable, int32_t* minTable, int32_t columns, const int16_t* samples, int32_t count) {
  if (!maxTable || !minTable) return;
  for (int32_t c = 0; c <= columns; ++c) {
    const PeakRange r = GetWaveMinMax(c, samples, count);
    maxTable[c] = r.max;
    minTable[c] = r.min;
  }
}

TrackNotes SummariseTrack(const SongEvent* events) {
  TrackNotes n{0, kNoCeiling, kNoFloor};
  while (n.count < kEventsPerTrack && events[n.count].type != kEvEnd) ++n.count;
  for (int32_t i = 0; i < n.count; ++i) {
    if (!IsPitched(events[i].type)) continue;
    n.highest = std::max(n.highest, events[i].value);
    n.lowest = std::min(n.lowest, events[i].value);
  }
  return n;
}

void FindNoteEnds(const SongEvent* events, int32_t count, int32_t* ends) {
  if (count <= 0) return;
  const int32_t last = count < kEventsPerTrack ? count : count - 1;
  // Walking back, the nearest later event of each kind.
  int32_t nextGlideEnd = last, nextNoteEdge = last;
  std::unordered_map<int32_t, int32_t> nextNoteOff;
  for (int32_t i = count - 1; i >= 0; --i) {
    const SongEvent& e = events[i];
    ends[i] = i;
    if (e.type == kEvPortamentoStart) ends[i] = nextGlideEnd;
    if (e.type == kEvNoteOn && e.articulate == 1) {
      const auto off = nextNoteOff.find(e.value);
      ends[i] = off == nextNoteOff.end() ? last : off->second;
    }
    if (e.type == kEvNoteOn && e.articulate != 1) ends[i] = nextNoteEdge;
    if (e.type == kEvPortamentoEnd) nextGlideEnd = i;
    if (e.type == kEvNoteOff) nextNoteOff[e.value] = i;
    if (e.type == kEvNoteOn || e.type == kEvPortamentoStart) nextNoteEdge = i;
  }
}

int32_t RollItemEnd(const int32_t* ends, int32_t i, int32_t count) {
  const int32_t lastIndex = count < kEventsPerTrack ? count : count - 1;
  return std::clamp(ends[i], i, lastIndex);
}

void BuildRollIndex(const SongEvent* events, int32_t count, const int32_t* ends, RollIndex& index) {
  index.items.clear();
  index.reachedBy.clear();
  uint32_t reached = 0;
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t type = events[i].type;
    if (type != kEvPortamentoStart && type != kEvNoteOn) continue;
    const int32_t end = RollItemEnd(ends, i, count);
    index.items.push_back(i);
    reached = std::max({reached, events[i].tick, events[end].tick});
    index.reachedBy.push_back(reached);
    if (type == kEvPortamentoStart) i = std::max(i, end);
  }
  index.startFrom.assign(index.items.size(), 0);
  uint32_t start = std::numeric_limits<uint32_t>::max();
  for (size_t k = index.items.size(); k-- > 0;) {
    start = std::min(start, events[index.items[k]].tick);
    index.startFrom[k] = start;
  }
}

RollSpan FindRollSpan(const RollIndex& index, int64_t first, int64_t last) {
  const auto reached = std::lower_bound(index.reachedBy.begin(), index.reachedBy.end(), first,
                                        [](uint32_t tick, int64_t bound) { return tick < bound; });
  const int32_t begin = static_cast<int32_t>(reached - index.reachedBy.begin());
  const auto after = std::upper_bound(index.startFrom.begin() + begin, index.startFrom.end(), last,
                                      [](int64_t bound, uint32_t tick) { return bound < tick; });
  return RollSpan{begin, static_cast<int32_t>(after - index.startFrom.begin())};
}

double NoteScale(int32_t highest, int32_t lowest) {
  const int64_t range = static_cast<int64_t>(highest) - lowest + 1;
  return range >= kLeastRange ? 1.0 / static_cast<double>(range) : 1.0 / kLeastRange;
}

int32_t NoteHeight(int32_t value, int32_t lowest, double scale, int32_t rowHeight) {
  return static_cast<int32_t>(
      std::floor(static_cast<double>(static_cast<int64_t>(value) - lowest) * scale * (rowHeight - kRowMargin)));
}

int32_t PageStart(int32_t p, int32_t page) {
  if (page <= 0) return 0;
  const int32_t pages = p >= 0 ? p / page : -((-(p + 1)) / page) - 1;
  return page * pages;
}

bool ClipLineToSpan(int32_t& x0, int32_t& y0, int32_t& x1, int32_t& y1, int32_t left, int32_t right) {
  const auto inside = [&](int32_t x) { return x > left && x < right; };
  if (!inside(x0) && !inside(x1)) return false;
  const auto yAt = [&](int32_t x) {
    if (x1 == x0) return y0;
    return static_cast<int32_t>(y0 + static_cast<int64_t>(y1 - y0) * (x - x0) / (x1 - x0));
  };
  if (x0 < left) {
    y0 = yAt(left);
    x0 = left;
  }
  if (x1 > right) {
    y1 = yAt(right);
    x1 = right;
  }
  return true;
}
