// The ".mdx" loader from memory with its ".pdx" bank: the input is the song, then, after the
// last "#PDXBANK" marker, the bank (no marker: the bank file is missing). Whatever the bytes, the
// player must be left with track buffers as long as their lengths say (and a 0 after them),
// samples as long as theirs, terminated names and at most 16 tracks.
#include <stdint.h>
#include <string.h>

#include "app/engine/mdx_player.h"
#include "fuzz/support/fuzz_check.h"

namespace {

const char kBankMarker[] = "#PDXBANK";
const size_t kBankMarkerBytes = sizeof kBankMarker - 1;

const uint8_t *FindLastMarker(const uint8_t *data, size_t size) {
  for (size_t at = size; at >= kBankMarkerBytes; --at) {
    if (memcmp(data + at - kBankMarkerBytes, kBankMarker, kBankMarkerBytes) == 0) return data + at - kBankMarkerBytes;
  }
  return nullptr;
}

// Touches the first and last element so that the sanitizer checks the buffer's extent.
template <typename T>
void Touch(const T *buffer, size_t count) {
  volatile T first = buffer[0];
  volatile T last = buffer[count - 1];
  (void)first;
  (void)last;
}

}  // namespace

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
    Touch(g_mdx.trackData[t], length + 1u);
    FUZZ_CHECK(g_mdx.trackData[t][length] == 0, "track %d does not end in 0", t);
  }
  for (int i = 0; i < kMdxSampleCount; ++i) {
    const int32_t length = g_mdx.sampleLengths[i];
    FUZZ_CHECK(length >= 0, "sample %d length %d", i, length);
    FUZZ_CHECK((length > 0) == (g_mdx.samples[i] != nullptr), "sample %d: length %d, buffer %p", i, length,
               static_cast<void *>(g_mdx.samples[i]));
    if (length > 0) Touch(g_mdx.samples[i], static_cast<size_t>(length));
    if (!pdx) FUZZ_CHECK(length == 0 || mdxSize > 0, "a sample without a bank");
  }
  for (const FmTone &tone : g_mdx.tones) {
    if (!tone.used) continue;
    FUZZ_CHECK(tone.number >= 0 && tone.number <= 255, "tone number %d", tone.number);
  }
  heap.Verify();
  return 0;
}
