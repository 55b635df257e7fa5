// Repeat expansion: every "|: ... :|" of a compiled track is written out once per pass, so the
// sequencer plays each track straight through. Also sets each track's loop point tick.
#include "app/engine/mml/mml_compile_internal.h"

#include <algorithm>
#include <vector>

namespace {

constexpr SongEvent kClearedEvent = {kEvEnd, 0, 0, 0, 1};

// Scratch lists of one track's expansion; they live only during ExpandMmlRepeats.
struct RepeatScratch {
  std::vector<SongEvent> in;        // the track as the compiler wrote it
  std::vector<long long> laterMax;  // laterMax[k]: the latest tick among in[k..]
  std::vector<SongEvent> body;      // the events between a repeat start and its end
  std::vector<SongEvent> out;       // the track as it will stand
  std::vector<int> starts;          // indexes in `out` of the repeat starts not yet closed
};

int TrackLength(const SongEvent* events) {
  int n = 0;
  while (n < kEventsPerTrack && events[n].type != kEvEnd) ++n;
  return n;
}

uint32_t ClampTick(long long tick) { return static_cast<uint32_t>(std::max(0LL, tick)); }

// Writes the passes of the repeat whose start stands at out[s], closed by an end at tick
// `endTick`, over the start. Returns the tick the rest of the track follows at, or -1 when the
// passes do not fit: more events than the track holds once the `remaining` events after the end
// follow them, or a time past kMmlMaxTick (`tailSpan`: the rest's latest tick after its first).
long long WritePasses(RepeatScratch& sc, int s, long long endTick, int remaining, long long tailSpan) {
  const long long t0 = sc.out[s].tick;
  // The end never stands before its start in time; were it to (a chord's note-offs can come out
  // of order), the passes would fold back onto each other.
  const long long passLength = std::max(0LL, endTick - t0);
  const int passes = std::clamp(static_cast<int>(sc.out[s].value), 2, 999);
  const size_t room = static_cast<size_t>(std::max(0, kMmlMaxTrackEvents - remaining));

  sc.body.assign(sc.out.begin() + s + 1, sc.out.end());
  sc.out.resize(s);
  const long long bodyFirst = sc.body.empty() ? 0 : sc.body.front().tick;
  for (int p = 0; p < passes; ++p) {
    for (const SongEvent& e : sc.body) {
      if (e.type == kEvRepeatExit && p == passes - 1) {
        // The last pass stops at the exit; the rest follows from there.
        long long next = t0 + (passes - 1) * passLength + (e.tick - bodyFirst);
        return next + tailSpan > kMmlMaxTick ? -1 : next;
      }
      if (sc.out.size() >= room) return -1;
      long long tick = static_cast<long long>(e.tick) - bodyFirst + t0 + p * passLength;
      if (tick > kMmlMaxTick) return -1;
      SongEvent copy = e;
      if (copy.type == kEvRepeatExit) copy.type = kEvNop;  // an exit inside an earlier pass
      copy.tick = ClampTick(tick);
      sc.out.push_back(copy);
    }
  }
  long long next = t0 + passes * passLength;
  return next + tailSpan > kMmlMaxTick ? -1 : next;
}

// Expands a track in one pass over its events. Each repeat end takes the nearest open start
// before it, so an inner repeat is written out before the one that holds it, and repeats one
// after the other go left to right; the events after an end move to where its passes finish.
void ExpandTrack(SongEvent* events, RepeatScratch& sc) {
  const int length = TrackLength(events);
  bool anyRepeat = false;
  for (int k = 0; k < length && !anyRepeat; ++k) {
    anyRepeat = events[k].type >= kEvRepeatStart && events[k].type <= kEvRepeatExit;
  }
  if (!anyRepeat) return;  // a track without repeats stays as it is
  sc.in.assign(events, events + length);
  sc.laterMax.assign(length + 1, 0);
  for (int k = length - 1; k >= 0; --k) {
    sc.laterMax[k] = std::max<long long>(sc.laterMax[k + 1], sc.in[k].tick);
  }
  sc.out.clear();
  sc.starts.clear();

  long long shift = 0;    // added to the tick of every event still to come
  long long follow = -1;  // after an expansion: the tick the next event moves to
  for (int i = 0; i < length; ++i) {
    SongEvent e = sc.in[i];
    if (follow >= 0) {
      shift = follow - e.tick;
      follow = -1;
    }
    const long long tick = e.tick + shift;
    if (e.type != kEvRepeatEnd || sc.starts.empty()) {
      // An end without a start repeats nothing.
      if (e.type == kEvRepeatEnd) e.type = kEvNop;
      e.tick = ClampTick(tick);
      if (e.type == kEvRepeatStart) sc.starts.push_back(static_cast<int>(sc.out.size()));
      sc.out.push_back(e);
      continue;
    }
    const int s = sc.starts.back();
    sc.starts.pop_back();
    const int remaining = length - i - 1;
    const long long tailSpan = remaining > 0 ? sc.laterMax[i + 1] - sc.in[i + 1].tick : 0;
    follow = WritePasses(sc, s, tick, remaining, tailSpan);
    if (follow < 0) {
      // The passes do not fit: the track ends before the repeat, with all it held up to there.
      sc.out.resize(s);
      break;
    }
  }

  // Starts and exits left without an end are no-ops, so no repeat event reaches the sequencer.
  for (SongEvent& e : sc.out) {
    if (e.type == kEvRepeatStart || e.type == kEvRepeatExit) e.type = kEvNop;
  }
  std::copy(sc.out.begin(), sc.out.end(), events);
  for (int k = static_cast<int>(sc.out.size()); k < length; ++k) events[k] = kClearedEvent;
}

// Sets the loop point tick and drops every loop jump that would jump back by no time at all: the
// sequencer would run the jump again at once, for ever.
void SettleLoop(SongEvent* events, SongTrack& track) {
  int length = TrackLength(events);
  int firstPoint = -1;
  for (int k = 0; k < length && firstPoint < 0; ++k) {
    if (events[k].type == kEvLoopPoint) firstPoint = k;
  }
  if (firstPoint < 0) return;
  const uint32_t loopTick = events[firstPoint].tick;
  track.loopPointTick = static_cast<int32_t>(loopTick);
  for (int k = firstPoint + 1; k < length; ++k) {
    if (events[k].type == kEvLoopJump && events[k].tick <= loopTick) events[k].type = kEvNop;
  }
}

}  // namespace

void ExpandMmlRepeats(void) {
  SongEngine& song = g_songs[0];
  RepeatScratch scratch;
  for (int t = 0; t < kSongTrackCount; ++t) {
    ExpandTrack(song.events[t], scratch);
    SettleLoop(song.events[t], song.tracks[t]);
  }
}
