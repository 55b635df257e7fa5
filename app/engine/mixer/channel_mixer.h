// The mixing stages both engines' render ticks share once their track buffers are filled: the
// effect sends, the channel strips (inserts, fader, pan, meters), the master strip, and the
// output of 16-bit frames to the engine's SoftSound player and to the WAV capture.
//
// Buffers are 441 interleaved stereo frames of floats, full scale +-1.0.
#pragma once

#include <cstdint>

struct WaveFile;

constexpr int kMixFrames = 441;              // one 10 ms tick at 44,100 Hz
constexpr int kMixSamples = 2 * kMixFrames;  // interleaved left/right

// v held within the 32-bit range.
inline int32_t SaturateInt32(int64_t v) {
  return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : static_cast<int32_t>(v);
}

// trunc(v) held within the 32-bit range; NaN gives 0. Every float-to-integer step of the
// render goes through here, so no plug-in output or runaway level can make it undefined.
int32_t TruncToInt32(double v);

// bus += track x level, frame by frame (the send takes the track before its own strip).
void AddSend(const float* track, float level, float* bus);

// Where a strip's meters read the signal: the sequencer's after the fader and pan; the MDX
// player's channel meters before pan and fader, its master meters after the pan and before
// the fader.
enum class MeterPoint { kAfterFader, kBeforePan, kAfterPan };

// One channel strip: the channel's insert chain on `buffer` in place, then per frame
// out = sample x volume x side gain of `pan`, and the meters (each falls by kPeakFallPerFrame a
// frame and rises to the level at `meter`). The output is added into `sum`; with a null `sum`
// (the master strip) it replaces the buffer's contents.
void RunChannelStrip(int32_t channel, float* buffer, float volume, float pan, float& peakLeft, float& peakRight,
                     float* sum, MeterPoint meter = MeterPoint::kAfterFader);

// A master value as a 16-bit sample: x 32767, clamped to -32768..32767, NaN silent.
int16_t OutputSample(float value);

// Every frame of the master buffer to the SoftSound player (pushed even when the player is
// missing or full: the player's own rules apply) and, while it is armed, to the capture.
void OutputFrames(const float* master, int32_t player, WaveFile* capture);
