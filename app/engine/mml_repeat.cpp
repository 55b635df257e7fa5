// Repeat expansion: every "|: ... :|" of a compiled track is written out once per pass, so the
// sequencer plays each track straight through. Also sets each track's loop point tick.
#include "app/engine/mml_compile_internal.h"

#include <algorithm>
#include <vector>

namespace {

constexpr SongEvent kClearedEvent = {kEvEnd, 0, 0, 0, 1};

// Scratch lists of one expansion; they live only during ExpandMmlRepeats.
struct RepeatScratch {
  std::vector<SongEvent> body;  // the events between the repeat start and end
  std::vector<SongEvent> out;   // the passes and the rest of the track, as they will stand
};

int TrackLength(const SongEvent *events) {
  int n = 0;
  while (n < kEventsPerTrack && events[n].type != kEvEnd) ++n;
  return n;
}

// Ends the track at index `from`: everything from there on is cleared.
void CutTrack(SongEvent *events, int from, int length) {
  for (int i = from; i < length; ++i) events[i] = kClearedEvent;
}

// Expands the repeat that starts at index s and ends at index i. Returns the track's new
// length, or -1 when the expansion does not fit the track (too many events, or a time past
// kMmlMaxTick).
int ExpandOne(SongEvent *events, int length, int s, int i, RepeatScratch &scratch) {
  const long long t0 = events[s].tick;
  // The end never stands before its start in time; were it to (a chord's note-offs can come out
  // of order), the passes would fold back onto each other.
  const long long passLength = std::max(0LL, static_cast<long long>(events[i].tick) - t0);
  const int passes = std::min(std::max(static_cast<int>(events[s].value), 2), 999);
  const long long room = kMmlMaxTrackEvents - s;

  scratch.body.assign(events + s + 1, events + i);
  scratch.out.clear();
  const long long bodyFirst = scratch.body.empty() ? 0 : scratch.body.front().tick;
  bool exited = false;
  long long exitOffset = 0;
  for (int p = 0; p < passes && !exited; ++p) {
    for (const SongEvent &e : scratch.body) {
      if (e.type == kEvRepeatExit && p == passes - 1) {
        exited = true;
        exitOffset = e.tick - bodyFirst;
        break;
      }
      if (static_cast<long long>(scratch.out.size()) >= room) return -1;
      SongEvent copy = e;
      if (copy.type == kEvRepeatExit) copy.type = kEvNop;
      long long tick = static_cast<long long>(e.tick) - bodyFirst + t0 + p * passLength;
      if (tick > kMmlMaxTick) return -1;
      copy.tick = static_cast<uint32_t>(std::max(0LL, tick));
      scratch.out.push_back(copy);
    }
  }
  const long long tailBase = exited ? t0 + (passes - 1) * passLength + exitOffset
                                    : t0 + passes * passLength;
  const long long tailFirst = i + 1 < length ? events[i + 1].tick : 0;
  for (int k = i + 1; k < length; ++k) {
    if (static_cast<long long>(scratch.out.size()) >= room) return -1;
    SongEvent copy = events[k];
    long long tick = static_cast<long long>(copy.tick) - tailFirst + tailBase;
    if (tick > kMmlMaxTick) return -1;
    copy.tick = static_cast<uint32_t>(std::max(0LL, tick));
    scratch.out.push_back(copy);
  }
  int newLength = s + static_cast<int>(scratch.out.size());
  std::copy(scratch.out.begin(), scratch.out.end(), events + s);
  CutTrack(events, newLength, length);
  return newLength;
}

void ExpandTrack(SongEvent *events, RepeatScratch &scratch) {
  int length = TrackLength(events);
  for (int i = 0; i < length; ++i) {
    if (events[i].type != kEvRepeatEnd) continue;
    int s = i - 1;
    while (s >= 0 && events[s].type != kEvRepeatStart) --s;
    if (s < 0) {
      // An end without a start repeats nothing.
      events[i].type = kEvNop;
      continue;
    }
    int newLength = ExpandOne(events, length, s, i, scratch);
    if (newLength < 0) {
      // The passes do not fit: the track ends before the repeat, with all it held up to there.
      CutTrack(events, s, length);
      break;
    }
    length = newLength;
    // The passes hold no repeat end (inner repeats were expanded first), but the track may have
    // shrunk below i (an empty body, an early exit): look on from where the passes begin.
    i = s - 1;
  }
  // Starts and exits left without an end are no-ops, so no repeat event reaches the sequencer.
  for (int k = 0; k < length; ++k) {
    if (events[k].type == kEvRepeatStart || events[k].type == kEvRepeatExit) events[k].type = kEvNop;
  }
}

// Sets the loop point tick and drops every loop jump that would jump back by no time at all: the
// sequencer would run the jump again at once, for ever.
void SettleLoop(SongEvent *events, SongTrack &track) {
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
  SongEngine &song = g_songs[0];
  RepeatScratch scratch;
  scratch.body.reserve(kEventsPerTrack);
  scratch.out.reserve(kEventsPerTrack);
  for (int t = 0; t < kSongTrackCount; ++t) {
    ExpandTrack(song.events[t], scratch);
    SettleLoop(song.events[t], song.tracks[t]);
  }
}
