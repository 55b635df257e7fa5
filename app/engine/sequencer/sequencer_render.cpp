// The sequencer's render tick: songs, instruments, sample voices, sends, strips, master and
// output, 441 frames every 10 ms.
#include <algorithm>
#include <climits>

#include "app/engine/engine_lock.h"
#include "app/engine/plugin/plugin_slot.h"
#include "app/engine/mml/sample_load.h"
#include "app/engine/sequencer/sequencer.h"
#include "app/engine/mixer/volume_law.h"

namespace {

// Bank samples are 15,600 Hz and play at 44,100 Hz by dropping or repeating samples.
constexpr double kBankStretch = 44100.0 / 15600.0;  // 2.826923076923077

// The voice pan of a sample voice: p < 64 lowers the right side, p > 64 the left (to nothing
// at 127).
void PanVoice(int32_t pan, int32_t& left, int32_t& right) {
  if (pan < 64) right = static_cast<int32_t>(int64_t{right} * pan / 64);
  if (pan > 64) left = pan >= 127 ? 0 : static_cast<int32_t>(int64_t{left} * (128 - pan) / 63);
}

// Mixes one voice of a list-mode song: frames 0 to length - 1 of its SoftSound.
void MixListVoice(PcmVoice& v, float* out) {
  const float gain = VolumeGain(v.volume);
  for (int i = 0; i < kMixFrames; ++i) {
    const int64_t frame = int64_t{v.position} + i;
    if (frame >= v.length) {
      v.active = 0;
      return;
    }
    int32_t left = 0, right = 0;
    if (ReadSampleSoundFrame(v.sample, static_cast<int32_t>(frame), &left, &right) != 0) left = right = 0;
    if (v.channels == 1) right = left;
    left = TruncToInt32(static_cast<float>(left) * gain);
    right = TruncToInt32(static_cast<float>(right) * gain);
    PanVoice(v.pan, left, right);
    out[2 * i] += static_cast<float>(left) / 32767.0f;
    out[2 * i + 1] += static_cast<float>(right) / 32767.0f;
  }
}

// Mixes one voice of a bank-mode song, a linear gain with 256 unity. A voice whose sample has
// no data (an empty record, a table emptied meanwhile) ends without reading anything.
void MixBankVoice(const SongEngine& song, PcmVoice& v, float* out) {
  const int last = std::min(song.bankLastIndex, kSampleBankSize - 1);
  const int16_t* samples = v.sample >= 0 && v.sample <= last ? song.bankSamples[v.sample] : nullptr;
  if (!samples) {
    v.active = 0;
    return;
  }
  const int32_t length = song.bankLengths[v.sample];
  const int64_t lastFrame = static_cast<int64_t>(length * kBankStretch);
  for (int i = 0; i < kMixFrames; ++i) {
    const int64_t frame = int64_t{v.position} + i;
    const int64_t index = static_cast<int64_t>(frame / kBankStretch);
    if (frame > lastFrame || index >= length || index < 0) {
      v.active = 0;
      return;
    }
    int32_t left = SaturateInt32(int64_t{samples[index]} * v.volume / 256);
    int32_t right = left;
    PanVoice(v.pan, left, right);
    out[2 * i] += static_cast<float>(left) / 32767.0f;
    out[2 * i + 1] += static_cast<float>(right) / 32767.0f;
  }
}

}  // namespace

void RenderInstrumentTracks() {
  for (int track = 0; track < kInstrumentTrackCount; ++track)
    RenderInstrumentTrack(track, g_sequencer.trackBuffers[track]);
}

void MixSequencerPcmVoices(int32_t songIndex) {
  if (songIndex < 0 || songIndex >= kSongCount) return;
  SongEngine& song = g_songs[songIndex];
  for (PcmVoice& v : song.voices) {
    if (!v.active) continue;
    if (v.track < 0 || v.track >= kMixerChannelCount) {
      v.active = 0;
      continue;
    }
    float* out = g_sequencer.trackBuffers[v.track];
    if (song.sampleMode == 1) {
      MixBankVoice(song, v, out);
    } else {
      MixListVoice(v, out);
    }
    v.position = static_cast<int32_t>(std::min<int64_t>(int64_t{v.position} + kMixFrames, INT32_MAX));
  }
}

void __stdcall SequencerTimerProc(unsigned int, unsigned int, unsigned long, unsigned long, unsigned long) {
  EngineLock lock = LockEngine();
  float master[kMixSamples] = {};
  for (float* buffer : g_sequencer.trackBuffers) std::fill(buffer, buffer + kMixSamples, 0.0f);

  for (int i = 0; i < kSongCount; ++i) {
    if (g_songs[i].playing) TickSequencer(i);
  }
  RenderInstrumentTracks();
  for (int i = 0; i < kSongCount; ++i) MixSequencerPcmVoices(i);

  // The strips are song 0's records: 0-15 the tracks, 16-17 the buses, 18 the master.
  SongEngine& song = g_songs[0];
  for (int track = 0; track < kSongTrackCount; ++track) {
    const SongTrack& t = song.tracks[track];
    for (int k = 0; k < 2; ++k) {
      if (t.sendOn[k])
        AddSend(g_sequencer.trackBuffers[track], t.sendLevel[k], g_sequencer.trackBuffers[kEffectBusFirst + k]);
    }
  }
  for (int channel = 0; channel < kMasterChannel; ++channel) {
    SongTrack& t = song.tracks[channel];
    RunChannelStrip(channel, g_sequencer.trackBuffers[channel], t.mixerVolume, t.mixerPan, t.peakLeft, t.peakRight,
                    master);
  }
  SongTrack& m = song.tracks[kMasterChannel];
  RunChannelStrip(kMasterChannel, master, m.mixerVolume, m.mixerPan, m.peakLeft, m.peakRight, nullptr);
  OutputFrames(master, g_sequencer.player, song.capture);
}
