#include "app/engine/mixer/channel_mixer.h"

#include <cmath>

#include "app/engine/plugin/plugin_slot.h"
#include "app/engine/mixer/sound_player.h"
#include "app/engine/mixer/volume_law.h"
#include "app/engine/mixer/wave_file.h"

int32_t TruncToInt32(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(v);
}

void AddSend(const float* track, float level, float* bus) {
  for (int i = 0; i < kMixSamples; ++i) bus[i] += track[i] * level;
}

namespace {

// A strip that hears silence with its meters down adds nothing and keeps its meters at 0, at any
// finite gain: most channels of an idle or sparse song.
bool SilentAndSettled(const float* buffer, float gainLeft, float gainRight, float peakLeft, float peakRight) {
  if (peakLeft != 0.0f || peakRight != 0.0f || !std::isfinite(gainLeft) || !std::isfinite(gainRight)) return false;
  for (int i = 0; i < kMixSamples; ++i) {
    if (buffer[i] != 0.0f) return false;
  }
  return true;
}

void Meter(float out, float& peak) {
  peak -= kPeakFallPerFrame;
  if (peak < 0.0f) peak = 0.0f;
  const float level = std::fabs(out);
  if (level > peak) peak = level;
}

}  // namespace

void RunChannelStrip(int32_t channel, float* buffer, float volume, float pan, float& peakLeft, float& peakRight,
                     float* sum, MeterPoint meter) {
  ProcessInsertChain(channel, buffer);
  const float left = PanGainLeft(pan);
  const float right = PanGainRight(pan);
  if (SilentAndSettled(buffer, volume * left, volume * right, peakLeft, peakRight)) return;
  for (int i = 0; i < kMixSamples; i += 2) {
    const float l = buffer[i] * volume * left;
    const float r = buffer[i + 1] * volume * right;
    switch (meter) {
      case MeterPoint::kAfterFader:
        Meter(l, peakLeft);
        Meter(r, peakRight);
        break;
      case MeterPoint::kBeforePan:
        Meter(buffer[i], peakLeft);
        Meter(buffer[i + 1], peakRight);
        break;
      case MeterPoint::kAfterPan:
        Meter(buffer[i] * left, peakLeft);
        Meter(buffer[i + 1] * right, peakRight);
        break;
    }
    if (sum) {
      sum[i] += l;
      sum[i + 1] += r;
    } else {
      buffer[i] = l;
      buffer[i + 1] = r;
    }
  }
}

int16_t OutputSample(float value) {
  // Clamped as a floating-point value first: a NaN or a huge plug-in output must never reach
  // the integer conversion.
  double v = static_cast<double>(value) * 32767.0;
  if (std::isnan(v)) return 0;
  if (v > 32767.0) v = 32767.0;
  if (v <= -32768.0) v = -32768.0;
  return static_cast<int16_t>(v);
}

void OutputFrames(const float* master, int32_t player, WaveFile* capture) {
  for (int i = 0; i < kMixSamples; i += 2) {
    const int16_t l = OutputSample(master[i]);
    const int16_t r = OutputSample(master[i + 1]);
    PushEnginePlayerFrame(player, l, r);
    if (capture) capture->Capture(l, r);
  }
}
