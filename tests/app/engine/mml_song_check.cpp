#include "tests/app/engine/mml_song_check.h"

#include <string.h>

#include "app/engine/mml/mml_compile.h"
#include "app/engine/sequencer/song_engine.h"

std::string MmlSongProblem() {
  const SongEngine &song = g_songs[0];
  if (song.loaded != 1) return "not loaded";
  if (memchr(song.title, 0, sizeof song.title) == nullptr) return "title without terminator";
  for (int t = 0; t < kSongTrackCount; ++t) {
    const std::string track = "track " + std::to_string(t);
    const SongEvent *ev = song.events[t];
    if (ev[kEventsPerTrack - 1].type != kEvEnd) return track + " has no end";
    int firstLoop = -1;
    for (int i = 0; i < kEventsPerTrack && ev[i].type != kEvEnd; ++i) {
      const std::string event = track + " event " + std::to_string(i);
      uint32_t type = ev[i].type;
      if (type == kEvRepeatStart || type == kEvRepeatEnd || type == kEvRepeatExit || type > kEvNop) {
        return event + " type " + std::to_string(type);
      }
      if (ev[i].tick > static_cast<uint32_t>(kMmlMaxTick)) return event + " tick " + std::to_string(ev[i].tick);
      if (type == kEvFmEffect && (ev[i].value < 0 || ev[i].value >= kFmEffectDefCount)) {
        return event + " effect " + std::to_string(ev[i].value);
      }
      if (type == kEvPortamentoStart && (i + 1 >= kEventsPerTrack || ev[i + 1].type != kEvPortamentoEnd)) {
        return event + " portamento without its end";
      }
      if (type == kEvLoopPoint && firstLoop < 0) firstLoop = i;
      if (type == kEvLoopJump && firstLoop >= 0 && ev[i].tick <= ev[firstLoop].tick) {
        return event + " zero-length loop";
      }
    }
    if (firstLoop >= 0 && song.tracks[t].loopPointTick != static_cast<int32_t>(ev[firstLoop].tick)) {
      return track + " loop point tick";
    }
  }
  return "";
}
