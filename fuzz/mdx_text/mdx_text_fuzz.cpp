// The MDX track list's command printer over any track. The first input byte picks the track
// (low four bits) and the volume mode (bit 4), the second the running volume; the rest is the
// track's data, copied to a buffer of exactly its length so that a read past it is reported.
// Walked as the list walks it, and from every offset: the text always ends within its buffer, a
// command claims at most five parameter bytes, and the running volume stays a byte.
#include <stdint.h>
#include <string.h>

#include <vector>

#include "app/shell/tracks/mdx_command_text.h"
#include "fuzz/support/fuzz_check.h"

namespace {

void CheckOne(const uint8_t* data, int32_t length, int32_t offset, int32_t track, MdxCommandState& state) {
  char text[kMdxCommandTextSize];
  memset(text, 0x55, sizeof text);
  FormatMdxCommand(data, length, offset, track, state, text);
  FUZZ_CHECK(memchr(text, 0, sizeof text) != nullptr, "the text at %d is not ended", offset);
  FUZZ_CHECK(text[0] != 0, "no text at %d", offset);
  FUZZ_CHECK(state.paramBytes >= 0 && state.paramBytes <= 5, "%d parameter bytes", state.paramBytes);
  FUZZ_CHECK(state.volumeMode == 0 || state.volumeMode == 1, "volume mode %d", state.volumeMode);
  FUZZ_CHECK(state.volume >= 0 && state.volume <= 255, "running volume %d", state.volume);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size < 2 || size > 65536) return 0;
  const int32_t track = input[0] & 15;
  const MdxCommandState start{(input[0] >> 4) & 1, input[1], 0};
  const int32_t length = static_cast<int32_t>(size - 2);
  std::vector<uint8_t> data(input + 2, input + size);
  const uint8_t* bytes = data.empty() ? nullptr : data.data();
  MdxCommandState state = start;
  for (int32_t i = 0; i < length; ++i) {
    if (state.paramBytes > 0) {
      --state.paramBytes;
      continue;
    }
    CheckOne(bytes, length, i, track, state);
  }
  for (int32_t i = 0; i < length; ++i) {
    MdxCommandState fresh = start;
    CheckOne(bytes, length, i, track, fresh);
  }
  return 0;
}
