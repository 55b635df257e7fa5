// The MDX player: its transport, the Timer-B song clock that runs the tracks tick by tick,
// the PCM voices and the 10 ms render tick.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/engine/mixer/channel_mixer.h"
#include "app/engine/engine_lock.h"
#include "app/engine/mdx/mdx_player.h"
#include "app/engine/plugin/plugin_slot.h"
#include "app/engine/sequencer/sequencer.h"
#include "app/engine/mixer/sound_player.h"
#include "app/engine/mixer/volume_law.h"

namespace {

// What a recognised FM instrument is told when a song starts, in this order.
struct ParameterWrite {
  int32_t index;
  float value;
};
constexpr ParameterWrite kFmInstrumentStart[] = {
    {89, 0.0f},          {63, 0.0f},   {68, 0.0f},
    {74, 0.0f},          {80, 0.0f},   {85, 0.0f},
    {55, 0.0f},          {63, 0.125f}, {64, 120.0f / 127.0f},
    {65, 1.0f / 127.0f}, {85, 0.0f},
};
constexpr int32_t kPanCentre = 64;
constexpr int32_t kPcmPanLeftOnly = 1;   // PCM pan 1 silences the right side
constexpr int32_t kPcmPanRightOnly = 2;  // and 2 the left

bool Playable(int32_t track) {
  const MdxPlayerState& s = g_mdx.state;
  return s.trackLength[track] > 2 && g_mdx.trackData[track] != nullptr;
}

void NotesOff() {
  for (int32_t t = 0; t < kMdxTrackCount; ++t) KeyOffMdxTrack(t);
}

// Key-off of the sounding note once its gate has passed. The default gate of q eighths is
// counted from the note-on, one tick after the note's start tick, and lasts
// trunc(q x (length - 1) / 8) + 1 ticks, so a full gate releases in the tick the next note is
// struck and even a one-tick note sounds; the "ticks before the end" gate counts from the
// start tick.
void GateStep(int32_t t, int32_t tick) {
  MdxPlayerState& s = g_mdx.state;
  if (!s.gatePending[t]) return;
  const int64_t since = int64_t{tick} - s.startTick[t];
  const int64_t length = s.currentLength[t];
  bool due;
  if (s.gateMode[t] == 0) {
    due = since >= int64_t{s.gateValue[t]} * (length - 1) / 8 + 2;
  } else if (s.gateMode[t] == 1) {
    due = since >= length - s.gateValue[t];
  } else {
    due = false;
  }
  if (!due) return;
  KeyOffMdxTrack(t);
  s.gatePending[t] = 0;
}

// Runs the commands that fall due by `tick`. `budget` is what the track may still run in this
// call; a track with more waits for the next call.
void CommandStep(int32_t t, int32_t tick, int32_t& budget) {
  MdxPlayerState& s = g_mdx.state;
  while (s.enabled[t] && int64_t{tick} - s.startTick[t] > s.currentLength[t]) {
    if (budget <= 0) return;
    --budget;
    // The rest a note was tied into has run out: the note ends before the next command.
    if (s.releaseAfterRest[t]) {
      s.releaseAfterRest[t] = 0;
      KeyOffMdxTrack(t);
    }
    // A track without an end command ends where its data ends, and so does one whose last
    // command is cut short.
    if (MdxCommandBytes(g_mdx.trackData[t], s.trackLength[t], s.readPosition[t]) == 0) {
      EndMdxTrack(t);
      return;
    }
    if (t < kMdxFmTrackCount) {
      StepMdxFmTrack(t);
    } else {
      StepMdxPcmTrack(t);
    }
    s.readPosition[t] += 1;
  }
}

void PortamentoStep(int32_t t, int32_t tick) {
  MdxPlayerState& s = g_mdx.state;
  if (!s.portaActive[t]) return;
  s.portaBend[t] = SaturateInt32((int64_t{tick} - s.portaStartTick[t]) * s.portaSpeed[t] / 256 + s.portaBase[t]);
  if (tick < s.portaEndTick[t]) return;
  s.portaActive[t] = 0;
  if (s.tied[t]) {
    s.portaHold[t] = 1;
  } else {
    s.portaBase[t] = 0;
    s.portaSpeed[t] = 0;
    s.portaBend[t] = 0;
  }
}

// One step of the pitch LFO per tick. A period whose step would divide by 0 holds the wave.
void LfoStep(int32_t t, int32_t tick) {
  MdxPlayerState& s = g_mdx.state;
  if (!s.lfoOn[t] || int64_t{tick} <= int64_t{s.lfoStartTick[t]} + s.lfoTicksDone[t]) return;
  s.lfoTicksDone[t] += 1;
  if (int64_t{tick} <= int64_t{s.lfoStartTick[t]} + s.lfoDelay[t]) return;
  const int64_t x = int64_t{tick} - s.lfoStartTick[t] - s.lfoDelay[t];
  const int64_t period = s.lfoPeriod[t];
  const int64_t step = s.lfoStep[t];
  int64_t value = s.lfoValue[t];
  switch (s.lfoWaveform[t]) {
    case 0:  // saw
      if (period / 2 == 0) return;
      value += step;
      if (x % (period / 2) == 0) value = -value;
      break;
    case 1:  // square: +step/2 and -step
      if (period == 0) return;
      value = (x / period) % 2 == 0 ? step / 2 : -step;
      break;
    case 2: {  // triangle
      if (period == 0) return;
      const int64_t h = period / 2;
      const int64_t r = x % (2 * period);
      value += (r < h || r >= 3 * h) ? step : -step;
      break;
    }
    default:
      return;
  }
  s.lfoValue[t] = SaturateInt32(value);
}

// Everything that happens in one tick, track by track: the key-off due (before the commands,
// so that a note struck in this tick never hides the release of the one before), the
// commands, a key-off the new note may already owe, the portamento and the LFO.
// `budgets` holds the commands each track may still run in this call; `ran` marks the tracks
// that ran.
void RunTick(int32_t tick, int32_t budgets[kMdxTrackCount], bool ran[kMdxTrackCount]) {
  MdxPlayerState& s = g_mdx.state;
  s.wholeTick = tick;
  s.tickPosition = tick;
  const int32_t count = std::clamp(s.trackCount, 0, kMdxTrackCount);
  for (int32_t t = 0; t < count; ++t) {
    if (!Playable(t) || !s.enabled[t]) continue;
    ran[t] = true;
    GateStep(t, tick);
    CommandStep(t, tick, budgets[t]);
    GateStep(t, tick);
    PortamentoStep(t, tick);
    LfoStep(t, tick);
  }
}

// The bend each track wants once the call's ticks have run: LFO, portamento and detune.
void PitchStep(const bool ran[kMdxTrackCount]) {
  MdxPlayerState& s = g_mdx.state;
  const int32_t count = std::clamp(s.trackCount, 0, kMdxFmTrackCount);
  for (int32_t t = 0; t < count; ++t) {
    if (!ran[t] || s.wholeTick <= s.lastBendTick[t]) continue;
    s.lastBendTick[t] = s.wholeTick;
    SendPitchBend(t, SaturateInt32(int64_t{s.lfoValue[t]} / 256 + s.portaBend[t] + s.detune[t]));
  }
}

}  // namespace

double MdxMicrosPerTick(float timerB) { return (256.0 - static_cast<double>(timerB)) * 256.0; }

// ---------------------------------------------------------------------------
// State and transport.

void MdxPlayerState::Reset() {
  // Kept: the track lengths and count, volumes and volume modes, last keys, the FM-instrument
  // flags, the portamento's speed, start and end, and the LFO's waveform, step and period. A
  // portamento given or sliding when the song stopped ends here: kept, it would bend the first
  // notes of the next play towards a tick of the old one.
  tickPosition = 0.0;
  microsIntoTick = 0.0;
  wholeTick = 0;
  timerB = 0.0f;
  playing = 0;
  volumeScale = 1.0f;
  for (int t = 0; t < kMdxTrackCount; ++t) {
    readPosition[t] = 0;
    currentLength[t] = 0;
    startTick[t] = 0;
    lastBendTick[t] = 0;
    toneIndex[t] = 0;
    detune[t] = 0;
    portaBend[t] = 0;
    portaBase[t] = 0;
    lfoValue[t] = 0;
    lfoDelay[t] = 0;
    lfoStartTick[t] = 0;
    lfoTicksDone[t] = 0;
    gateMode[t] = 0;
    repeatDepth[t] = 0;
    for (int32_t& counter : repeatCounters[t]) counter = 0;
    gateValue[t] = 8;
    pan[t] = kPanCentre;
    enabled[t] = 0;
    ended[t] = 0;
    mute[t] = 0;
    legato[t] = 0;
    portaHold[t] = 0;
    portaPending[t] = 0;
    portaActive[t] = 0;
    tied[t] = 0;
    tiePending[t] = 0;
    releaseAfterRest[t] = 0;
    lfoOn[t] = 0;
    gatePending[t] = 0;
    sendOn[t][0] = sendOn[t][1] = 0;
    sendLevel[t][0] = sendLevel[t][1] = 0.0f;
  }
  for (int c = 0; c < kMixerChannelCount; ++c) {
    channelPan[c] = 0.5f;
    channelVolume[c] = 1.0f;
    peakLeft[c] = 0.0f;
    peakRight[c] = 0.0f;
  }
}

void MdxPlayerState::NoteOn(int32_t track) {
  SendPitchBend(track, detune[track]);
  if (!mute[track]) SendNoteOn(track, lastKey[track], 127);
}

void MdxPlayerState::NoteOff(int32_t track) { SendNoteOff(track, lastKey[track]); }

bool MdxSong::Init() {
  g_mdx.softSoundPlayer = MakeEnginePlayer();
  EngineLock lock = LockEngine();
  g_mdx.state.Reset();
  g_mdx.state.lastClock = SequencerNow();
  startTime = g_mdx.state.lastClock;
  FreeMdxBuffers();
  g_mdx.state.trackCount = 0;
  fileSize = 0;
  for (FmTone& tone : g_mdx.tones) tone.used = 0;
  g_mdx.timerId = 0;
  return true;
}

void MdxSong::Play() {
  EngineLock lock = LockEngine();
  MdxPlayerState& s = g_mdx.state;
  NotesOff();
  s.Reset();
  s.lastClock = SequencerNow();
  startTime = s.lastClock;
  s.playing = 1;
  for (uint8_t& on : s.enabled) on = 1;
  for (int32_t t = 0; t < kMdxFmTrackCount; ++t) {
    if (!s.fmInstrument[t]) continue;
    SetInstrumentParameter(t, 97, 1.0f);
    SetInstrumentParameter(t, 57, 0.125f);
    SendPitchBend(t, 0);
    SetInstrumentPan(t, kPanCentre);
    for (const ParameterWrite& w : kFmInstrumentStart) SetInstrumentParameter(t, w.index, w.value);
  }
}

void MdxSong::Pause() {
  EngineLock lock = LockEngine();
  for (uint8_t& on : g_mdx.state.enabled) on = 0;
  NotesOff();
  g_mdx.state.playing = 0;
  pauseStart = SequencerNow();
}

void MdxSong::Resume() {
  EngineLock lock = LockEngine();
  MdxPlayerState& s = g_mdx.state;
  // Only a stopped song resumes: the pause is taken off the clock once.
  if (s.playing) return;
  for (int t = 0; t < kMdxTrackCount; ++t) s.enabled[t] = !s.ended[t];
  const uint64_t now = SequencerNow();
  s.lastClock = now;
  if (now > pauseStart) startTime += now - pauseStart;
  s.playing = 1;
}

void MdxSong::Rewind() {
  EngineLock lock = LockEngine();
  NotesOff();
  g_mdx.state.Reset();
  g_mdx.state.lastClock = SequencerNow();
  startTime = g_mdx.state.lastClock;
  // Stopped at the top: a resume from here starts the clock from here.
  pauseStart = startTime;
}

// ---------------------------------------------------------------------------
// The tick.

void TickMdxSequencer() {
  MdxPlayerState& s = g_mdx.state;
  double budget = static_cast<double>(RenderCallElapsed(s.lastClock, g_mdx.capture));
  const uint64_t now = s.lastClock;
  bool ran[kMdxTrackCount] = {};
  int32_t budgets[kMdxTrackCount];
  std::fill(budgets, budgets + kMdxTrackCount, kMdxCommandsPerCall);
  // Tick by tick: each whole tick the clock reaches runs every track, and the time after a
  // tempo command is counted at the new rate.
  for (int ticks = 0;; ++ticks) {
    s.microsPerTick = MdxMicrosPerTick(s.timerB);
    const double toNext = s.microsPerTick - s.microsIntoTick;
    if (budget < toNext) {
      s.microsIntoTick += budget;
      break;
    }
    if (ticks == kMdxTicksPerCall || s.wholeTick == INT32_MAX) {
      // A late call catches up at most this far; the rest of the time is the next call's.
      s.lastClock = now - static_cast<uint64_t>(budget);
      break;
    }
    budget -= toNext;
    s.microsIntoTick = 0.0;
    RunTick(s.wholeTick + 1, budgets, ran);
  }
  s.tickPosition = s.wholeTick + s.microsIntoTick / s.microsPerTick;
  for (int t = 0; t < kMdxTrackCount; ++t) ran[t] = ran[t] || (s.enabled[t] && Playable(t));
  PitchStep(ran);
}

void MixMdxPcmChannels() {
  for (int32_t t = kMdxFmTrackCount; t < kMdxTrackCount; ++t) {
    PcmVoice& v = g_mdx.voices[t];
    if (!v.active) continue;
    const float gain = VolumeGain(v.volume);
    const bool inBank = v.sample >= 0 && v.sample < kMdxSampleCount;
    const int16_t* data = inBank ? g_mdx.samples[v.sample] : nullptr;
    // A reload may have put a shorter sample under the number since the note started.
    const int64_t length = data ? std::min(v.length, g_mdx.sampleLengths[v.sample]) : 0;
    float* out = g_mdx.channelBuffers[t];
    bool stopped = false;
    for (int j = 0; j < kMdxFrameCount; ++j) {
      const int64_t index = int64_t{v.position} + j;
      if (index >= length || index < 0) {
        stopped = true;
        break;
      }
      const float sample = static_cast<float>(data[index]) / 32767.0f;
      const float left = v.pan == kPcmPanRightOnly ? 0.0f : sample;
      const float right = v.pan == kPcmPanLeftOnly ? 0.0f : sample;
      out[2 * j] += gain * left;
      out[2 * j + 1] += gain * right;
    }
    v.position = SaturateInt32(int64_t{v.position} + kMdxFrameCount);
    if (stopped) v.active = 0;
  }
}

void __stdcall MdxTimerProc(unsigned int, unsigned int, unsigned long, unsigned long, unsigned long) {
  EngineLock lock = LockEngine();
  MdxPlayerState& s = g_mdx.state;
  if (s.playing == 1) TickMdxSequencer();
  std::memset(g_mdx.masterBuffer, 0, sizeof g_mdx.masterBuffer);
  std::memset(g_mdx.channelBuffers, 0, sizeof g_mdx.channelBuffers);
  MixMdxPcmChannels();
  for (int32_t c = 0; c < kMdxFmTrackCount; ++c) RenderInstrumentTrack(c, g_mdx.channelBuffers[c]);
  // The sends take each track before its own strip.
  for (int32_t t = 0; t < kMdxTrackCount; ++t) {
    for (int b = 0; b < 2; ++b) {
      if (s.sendOn[t][b])
        AddSend(g_mdx.channelBuffers[t], s.sendLevel[t][b], g_mdx.channelBuffers[kEffectBusFirst + b]);
    }
  }
  for (int32_t c = 0; c < kMasterChannel; ++c) {
    RunChannelStrip(c, g_mdx.channelBuffers[c], s.channelVolume[c], s.channelPan[c], s.peakLeft[c], s.peakRight[c],
                    g_mdx.masterBuffer, MeterPoint::kBeforePan);
  }
  RunChannelStrip(kMasterChannel, g_mdx.masterBuffer, s.channelVolume[kMasterChannel], s.channelPan[kMasterChannel],
                  s.peakLeft[kMasterChannel], s.peakRight[kMasterChannel], nullptr, MeterPoint::kAfterPan);
  OutputFrames(g_mdx.masterBuffer, g_mdx.softSoundPlayer, g_mdx.capture);
}
