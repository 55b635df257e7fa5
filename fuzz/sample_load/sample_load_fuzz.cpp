// The sample list ("zpdlist") and sample bank ("zpd") readers over any file: both are offered
// every input (each takes only a file with its own magic). The list's sound files come from a
// stand-in that hands out numbered handles. Song 0's tables must then hold only entries the
// readers made, samples as long as their lengths say, and releasing the samples must give back
// every handle and buffer.
#include <stdint.h>
#include <string.h>

#include <set>

#include "app/engine/mdx/mdx_song.h"
#include "app/engine/mml/sample_load.h"
#include "app/engine/sequencer/song_engine.h"
#include "fuzz/support/fuzz_check.h"

namespace {

struct SoundStandIn {
  int32_t next = 1;           // the next handle handed out
  std::set<int32_t> live;     // handles not released yet
};
SoundStandIn g_sound;

// Every third name fails to load; the others are sounds of 1 or 2 channels.
int32_t LoadSound(const char *path, int32_t *frames, int32_t *channels) {
  const size_t length = strlen(path);
  if (length % 3 == 0) return -1;
  *frames = static_cast<int32_t>(length * 97 % 5000);
  *channels = 1 + static_cast<int32_t>(length % 2);
  g_sound.live.insert(g_sound.next);
  return g_sound.next++;
}

void ReleaseSound(int32_t handle) {
  FUZZ_CHECK(g_sound.live.erase(handle) == 1, "handle %d released but not live", handle);
}

const SampleSoundOps kSoundOps = {LoadSound, ReleaseSound};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  SetSampleSoundOps(&kSoundOps);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  TrackedHeapCheck heap;
  const SongEngine &song = g_songs[0];

  MemoryReadStream list(data, size);
  LoadSampleListFrom(list, "C:", "\\songs\\");
  FUZZ_CHECK(song.listCount >= 0 && song.listCount <= kSampleListSize, "list count %d", song.listCount);
  for (int i = 0; i < song.listCount; ++i) {
    const SongSampleListEntry &e = song.sampleList[i];
    if (e.handle < 0) continue;
    FUZZ_CHECK(g_sound.live.count(e.handle) == 1, "entry %d holds handle %d, which is not live", i, e.handle);
    FUZZ_CHECK(e.channels == 1 || e.channels == 2, "entry %d has %d channels", i, e.channels);
  }

  MemoryReadStream bank(data, size);
  LoadSampleBankFrom(bank);
  FUZZ_CHECK(size == 0 || data[0] != 0x10 || song.sampleMode == 1, "a bank was not taken");
  FUZZ_CHECK(song.bankLastIndex >= -1 && song.bankLastIndex < kSampleBankSize, "last index %d", song.bankLastIndex);
  for (int i = 0; i < kSampleBankSize; ++i) {
    const int32_t length = song.bankLengths[i];
    FUZZ_CHECK(length >= 0 && (length > 0) == (song.bankSamples[i] != nullptr), "sample %d: length %d, buffer %p",
               i, length, static_cast<void *>(song.bankSamples[i]));
    if (length > 0) TouchEnds(song.bankSamples[i], static_cast<size_t>(length));
  }

  ReleaseSongSamples();
  FUZZ_CHECK(g_sound.live.empty(), "%zu sound handles left", g_sound.live.size());
  FUZZ_CHECK(song.listCount == 0 && song.bankLastIndex == -1, "the tables were not emptied");
  heap.Verify();
  return 0;
}
