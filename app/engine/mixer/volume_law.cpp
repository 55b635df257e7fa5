#include "app/engine/mixer/volume_law.h"

#include <cmath>

const int32_t kSampleTrackVolumeTable[kVolumeStepCount] = {0,  7,  15, 23, 31,  39,  47,  55, 63,
                                                           71, 79, 87, 95, 103, 111, 119, 127};
const int32_t kInstrumentTrackVolumeTable[kVolumeStepCount] = {85,  87,  90,  93,  95,  98,  101, 103, 106,
                                                               109, 111, 114, 117, 119, 122, 125, 127};

int32_t VolumeFromStep(int track, int step) {
  // MML text can hold any number here; the tables end at 16, so the loudest
  // (or softest) entry stands for anything beyond them.
  if (step < 0) step = 0;
  if (step >= kVolumeStepCount) step = kVolumeStepCount - 1;
  const int32_t* table = (track >= 0 && track < 8) ? kInstrumentTrackVolumeTable : kSampleTrackVolumeTable;
  return table[step] * 2;
}

float VolumeGain(int32_t volume) {
  // Single precision up to the power and the floor, as the instrument render
  // computes it, so both engines land on the same 1/1024 steps.
  // The product is formed in 64 bits: a runaway track volume must not wrap.
  float exponent = static_cast<float>((4 * static_cast<int64_t>(volume) - 1024) * 16) / 1024.0f;
  float scaled = 1024.0f * std::exp2(exponent);
  return std::floor(scaled) / 1024.0f;
}

float PanGainLeft(float pan) {
  float g = 2.0f * (1.0f - pan);
  return g < 1.0f ? g : 1.0f;
}

float PanGainRight(float pan) {
  float g = 2.0f * pan;
  return g < 1.0f ? g : 1.0f;
}
