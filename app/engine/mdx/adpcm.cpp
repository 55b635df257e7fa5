#include "app/engine/mdx/adpcm.h"

#include <algorithm>
#include <cmath>

namespace {

// Step-index change by the three magnitude bits of a code.
constexpr int32_t kIndexDelta[8] = {-1, -1, -1, -1, 2, 4, 6, 8};

}  // namespace

void AdpcmDecoder::Init() {
  for (int n = 0; n < kAdpcmStepCount; ++n) {
    int32_t step = static_cast<int32_t>(std::floor(16.0 * std::pow(1.1, n)));
    for (int code = 0; code < 16; ++code) {
      int32_t diff = step / 8;
      if (code & 4) diff += step;
      if (code & 2) diff += step / 2;
      if (code & 1) diff += step / 4;
      diffTable[n][code] = (code & 8) ? -diff : diff;
    }
  }
}

void AdpcmDecoder::Decode(const uint8_t* in, uint32_t count, int16_t* out) {
  // The chip's decoder does not start from silence: its first output is
  // two units below zero, and every sample of the banks is built on that.
  predictor = -2;
  stepIndex = 0;
  int width = bitWidth;
  if (width < 2 || width > 31) width = kAdpcmPredictorBits;
  const int32_t high = static_cast<int32_t>((1u << (width - 1)) - 1);
  const int32_t low = -high - 1;
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t byte = in[i / 2];
    int code = (i & 1) ? (byte >> 4) : (byte & 0x0F);
    int64_t p = static_cast<int64_t>(predictor) + diffTable[stepIndex][code];
    predictor = static_cast<int32_t>(std::clamp<int64_t>(p, low, high));
    stepIndex = std::clamp(stepIndex + kIndexDelta[code & 7], 0, kAdpcmStepCount - 1);
    int64_t s = static_cast<int64_t>(predictor) * 16;
    out[i] = static_cast<int16_t>(std::clamp<int64_t>(s, -32768, 32767));
  }
}

uint32_t AdpcmStretchedLength(uint32_t count) {
  return static_cast<uint32_t>(static_cast<double>(count) * kAdpcmStretch);
}

void AdpcmStretch(const int16_t* in, uint32_t count, int16_t* out) {
  if (count == 0) return;
  uint32_t n = AdpcmStretchedLength(count);
  for (uint32_t j = 0; j < n; ++j) {
    uint32_t src = static_cast<uint32_t>(static_cast<double>(j) / kAdpcmStretch);
    if (src >= count) src = count - 1;  // rounding never reaches past the last sample
    out[j] = in[src];
  }
}
