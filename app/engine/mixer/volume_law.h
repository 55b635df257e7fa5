// Volume and pan laws shared by both engines, and the volume tables of the
// sequencer's volume-step event.
#ifndef TARVEX_APP_ENGINE_VOLUME_LAW_H
#define TARVEX_APP_ENGINE_VOLUME_LAW_H

#include <cstdint>

constexpr int kVolumeStepCount = 17;  // steps 0-16

// Volume-step tables (index = step); the track volume becomes entry x 2.
extern const int32_t kSampleTrackVolumeTable[kVolumeStepCount];
extern const int32_t kInstrumentTrackVolumeTable[kVolumeStepCount];

// Track volume for a volume step: tracks 0-7 use the instrument table, the
// others the sample table. Steps outside 0-16 are clamped to the table's ends.
int32_t VolumeFromStep(int track, int step);

// gain(v) = floor(1024 x 2^((4v - 1024) x 16 / 1024)) / 1024: 256 is unity,
// every 16 steps halve the gain, and anything below 96 is silent.
float VolumeGain(int32_t volume);

// Channel-strip pan law, pan 0.0-1.0 with 0.5 the centre: the centre keeps
// both sides at full level and each side fades only on the other half.
float PanGainLeft(float pan);
float PanGainRight(float pan);

// Meters fall by this much per frame.
constexpr float kPeakFallPerFrame = 0.00003f;

#endif
