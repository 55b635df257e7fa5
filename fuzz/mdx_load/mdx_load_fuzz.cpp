// The ".mdx" loader from memory with its ".pdx" bank, then the player over what it loaded: the
// input is the song, then, after the last "#PDXBANK" marker, the bank (no marker: the bank file
// is missing). Whatever the bytes, the loader must leave track buffers as long as their lengths
// say (and a 0 after them), samples as long as theirs, terminated names and at most 16 tracks;
// the player's sequencer and its PCM voices (the parts of its render tick that read the song),
// run for 40 ticks of 10 ms on its clock, must keep every track's read position inside its data
// and its repeats inside their table (the check the in-Wine mutation test makes), and its voices
// inside their samples.
#include <stdint.h>
#include <string.h>

#include "app/engine/mdx/mdx_player.h"
#include "app/engine/sequencer/sequencer.h"
#include "fuzz/support/fuzz_check.h"
#include "fuzz/support/fuzz_engine.h"

namespace {

const char kBankMarker[] = "#PDXBANK";
const size_t kBankMarkerBytes = sizeof kBankMarker - 1;

const uint8_t *FindLastMarker(const uint8_t *data, size_t size) {
  for (size_t at = size; at >= kBankMarkerBytes; --at) {
    if (memcmp(data + at - kBankMarkerBytes, kBankMarker, kBankMarkerBytes) == 0) return data + at - kBankMarkerBytes;
  }
  return nullptr;
}

uint64_t g_clock = 0;  // the player's clock, microseconds
uint64_t FuzzClock() { return g_clock; }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  SetSequencerClock(FuzzClock);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  TrackedHeapCheck heap;
  const uint8_t *marker = FindLastMarker(data, size);
  const size_t mdxSize = marker ? static_cast<size_t>(marker - data) : size;
  const uint8_t *pdx = marker ? marker + kBankMarkerBytes : nullptr;
  const size_t pdxSize = marker ? size - mdxSize - kBankMarkerBytes : 0;

  MdxSong song;
  song.LoadFromMemory(data, mdxSize, pdx, pdxSize);

  FUZZ_CHECK(memchr(song.title, 0, sizeof song.title) != nullptr, "title without terminator");
  FUZZ_CHECK(memchr(song.bankPath, 0, sizeof song.bankPath) != nullptr, "bank path without terminator");
  const MdxPlayerState &state = g_mdx.state;
  FUZZ_CHECK(state.trackCount >= 0 && state.trackCount <= kMdxTrackCount, "track count %d", state.trackCount);
  for (int t = 0; t < state.trackCount; ++t) {
    const uint16_t length = state.trackLength[t];
    if (length <= 2) continue;  // too short to play: the player never reads it
    FUZZ_CHECK(g_mdx.trackData[t] != nullptr, "track %d of %u bytes has no buffer", t, length);
    TouchEnds(g_mdx.trackData[t], length + 1u);
    FUZZ_CHECK(g_mdx.trackData[t][length] == 0, "track %d does not end in 0", t);
  }
  for (int i = 0; i < kMdxSampleCount; ++i) {
    const int32_t length = g_mdx.sampleLengths[i];
    FUZZ_CHECK(length >= 0, "sample %d length %d", i, length);
    FUZZ_CHECK((length > 0) == (g_mdx.samples[i] != nullptr), "sample %d: length %d, buffer %p", i, length,
               static_cast<void *>(g_mdx.samples[i]));
    if (length > 0) TouchEnds(g_mdx.samples[i], static_cast<size_t>(length));
    if (!pdx) FUZZ_CHECK(length == 0 || mdxSize > 0, "a sample without a bank");
  }
  for (const FmTone &tone : g_mdx.tones) {
    if (!tone.used) continue;
    FUZZ_CHECK(tone.number >= 0 && tone.number <= 255, "tone number %d", tone.number);
  }

  song.Play();
  for (int call = 0; call < 40; ++call) {
    g_clock += 10000;
    TickMdxSequencer();
    MixMdxPcmChannels();
    for (int t = 0; t < kMdxTrackCount; ++t) {
      FUZZ_CHECK(state.readPosition[t] >= 0 && state.readPosition[t] <= state.trackLength[t],
                 "track %d read at %d of %u", t, state.readPosition[t], state.trackLength[t]);
      FUZZ_CHECK(state.repeatDepth[t] >= 0 && state.repeatDepth[t] < kMdxRepeatDepth, "track %d repeat depth %d", t,
                 state.repeatDepth[t]);
    }
  }
  song.Rewind();
  DeliverQueuedEvents();
  // A load frees what the previous one replaced; freeing everything here instead keeps each
  // input's allocations its own, so the leak check has nothing to chase between inputs.
  FreeMdxBuffers();
  heap.Verify();
  return 0;
}
