// The MML compiler over any text: the song it leaves must be playable, its sample file paths
// terminated, and expanding its repeats again must change nothing.
#include <stdint.h>
#include <string.h>

#include <string>

#include "app/engine/mml/mml_compile.h"
#include "app/engine/sequencer/song_engine.h"
#include "fuzz/support/fuzz_check.h"
#include "fuzz/support/fuzz_engine.h"
#include "tests/app/engine/mml_song_check.h"

namespace {

// A checksum of song 0's tracks up to their ends, and of their loop point ticks.
uint64_t TrackChecksum() {
  uint64_t sum = 1469598103934665603ull;
  auto mix = [&sum](uint64_t v) { sum = (sum ^ v) * 1099511628211ull; };
  for (int t = 0; t < kSongTrackCount; ++t) {
    const SongEvent *ev = g_songs[0].events[t];
    for (int i = 0; i < kEventsPerTrack && ev[i].type != kEvEnd; ++i) {
      mix(ev[i].type);
      mix(ev[i].tick);
      mix(static_cast<uint32_t>(ev[i].value));
      mix(ev[i].articulate);
    }
    mix(static_cast<uint32_t>(g_songs[0].tracks[t].loopPointTick));
  }
  return sum;
}

bool Terminated(const char *text, size_t size) { return text != nullptr && memchr(text, 0, size) != nullptr; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  TrackedHeapCheck heap;
  CompileMmlFromMemory(data, size, "C:\\songs\\fuzz.zms");
  const std::string problem = MmlSongProblem();
  FUZZ_CHECK(problem.empty(), "%s", problem.c_str());
  FUZZ_CHECK(Terminated(GetMmlSampleFilePath(), 3 * 260), "sample file path");
  FUZZ_CHECK(Terminated(GetMmlSampleFileName(), kMmlNameChars), "sample file name");
  FUZZ_CHECK(Terminated(GetMmlSampleFileDrive(), 260), "sample file drive");
  FUZZ_CHECK(Terminated(GetMmlSampleFileFolder(), 260), "sample file folder");

  const uint64_t compiled = TrackChecksum();
  ExpandMmlRepeats();
  FUZZ_CHECK(TrackChecksum() == compiled, "a second repeat expansion changed the song");
  DeliverQueuedEvents();
  heap.Verify();
  return 0;
}
