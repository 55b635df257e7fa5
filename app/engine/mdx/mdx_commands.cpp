// The MDX command interpreter: what each command byte of an FM track (0-7) or a PCM track
// (8-15) does. The player's tick decides when a command runs; these decide what it does.
//
// Command bytes: below 0x80 a rest, 0x80-0xDF a note (with a length byte), 0xE0-0xE6
// nothing, 0xE7-0xFF a command with arguments. Jump offsets are signed 16-bit, high byte
// first.
#include <algorithm>
#include <cstdint>

#include "app/engine/mixer/channel_mixer.h"
#include "app/engine/mdx/mdx_player.h"
#include "app/engine/plugin/plugin_slot.h"
#include "app/engine/sequencer/sequencer_dispatch.h"
#include "app/engine/mixer/volume_law.h"

namespace {

// The 16-step volume scale takes its levels from the first 16 entries of the instrument
// volume table; the instrument volume is twice the level.
constexpr int32_t kMdxStepVolumeMax = 15;
constexpr int32_t kMdxDirectVolumeMax = 127;

// Tone values a tone change sends: channel values 0-3 and the four operators.
constexpr int kToneChannelValuesSent = 4;
constexpr int kFirstOperatorParam = 11;
// Parameters of the recognised FM instruments set by commands 0xEA and 0xED.
constexpr int kParamNoiseOn = 55;
constexpr int kParamNoiseFrequency = 56;
constexpr int kNoiseTrack = 7;

// The four bytes of the current command and what follows, read within the track's data
// (bytes past it read as 0; the tick has checked that the command fits).
struct CommandBytes {
  const uint8_t* data;
  int32_t length;
  int32_t position;

  int32_t At(int32_t k) const {
    const int64_t i = int64_t{position} + k;
    return i >= 0 && i < length ? data[i] : 0;
  }
  int32_t Signed(int32_t k) const { return static_cast<int8_t>(At(k)); }
  // Signed 16-bit argument, high byte first, starting at byte k.
  int32_t Word(int32_t k) const { return static_cast<int16_t>((At(k) << 8) | At(k + 1)); }
};

CommandBytes CurrentCommand(int32_t track) {
  const MdxPlayerState& s = g_mdx.state;
  return {g_mdx.trackData[track], s.trackLength[track], s.readPosition[track]};
}

int32_t CapVolume(int32_t volume, int32_t mode) {
  return std::clamp(volume, 0, mode == 1 ? kMdxStepVolumeMax : kMdxDirectVolumeMax);
}

void SetTrackInstrumentVolume(int32_t track) {
  const MdxPlayerState& s = g_mdx.state;
  SetInstrumentVolume(track, MdxInstrumentVolume(s.volume[track], s.volumeMode[track], s.volumeScale));
}

// The note or rest after the current one starts where its length ends.
void EndCurrentLength(int32_t track) {
  MdxPlayerState& s = g_mdx.state;
  s.startTick[track] = SaturateInt32(int64_t{s.startTick[track]} + s.currentLength[track]);
}

// A note after the tie command gets no key-off: the next note continues it.
void TakePendingTie(int32_t track) {
  MdxPlayerState& s = g_mdx.state;
  if (!s.tiePending[track]) return;
  s.tied[track] = 1;
  s.tiePending[track] = 0;
  s.gatePending[track] = 0;
}

// The next command is at `target`: the read position is left just before it. A target
// outside the track's data is refused and ends the track.
void JumpTo(int32_t track, int64_t target) {
  if (target < 0 || target >= g_mdx.state.trackLength[track]) {
    EndMdxTrack(track);
    return;
  }
  g_mdx.state.readPosition[track] = static_cast<int32_t>(target) - 1;
}

// A rest. It also ends a tie: the note tied into it sounds on through the rest and is keyed
// off when the rest runs out, so that the note after the rest is struck again rather than
// continued. A tie command just before the rest ties the rest and nothing after it.
void Rest(int32_t track, int32_t byte) {
  MdxPlayerState& s = g_mdx.state;
  EndCurrentLength(track);
  s.currentLength[track] = byte + 1;
  s.portaBase[track] = 0;
  s.portaSpeed[track] = 0;
  if (s.tied[track]) {
    s.tied[track] = 0;
    s.releaseAfterRest[track] = 1;
  }
  s.tiePending[track] = 0;
}

// The commands both kinds of track share. False when the byte is not one of them.
bool StepCommon(int32_t track, const CommandBytes& c) {
  MdxPlayerState& s = g_mdx.state;
  const int32_t op = c.At(0);
  if (op < 0x80) {
    Rest(track, op);
    return true;
  }
  switch (op) {
    case 0xE9:
      s.lfoDelay[track] = c.At(1);
      s.readPosition[track] += 1;
      return true;
    case 0xF1:
      if (c.At(1) == 0) {
        EndCurrentLength(track);
        s.readPosition[track] += 1;
        EndMdxTrack(track);
      } else {
        JumpTo(track, int64_t{c.position} + 3 + c.Word(1));
      }
      return true;
    case 0xF4: {
      // Repeat escape on the last pass: to the repeat end, which then closes the repeat.
      const int32_t depth = s.repeatDepth[track];
      s.readPosition[track] += 2;
      if (depth > 0 && s.repeatCounters[track][depth] == 1) {
        s.repeatCounters[track][depth] = 0;
        JumpTo(track, int64_t{c.position} + 2 + c.Word(1));
      }
      return true;
    }
    case 0xF5: {
      const int32_t depth = s.repeatDepth[track];
      s.readPosition[track] += 2;
      // A repeat end without a start has nothing to close.
      if (depth <= 0) return true;
      if (s.repeatCounters[track][depth] < 2) {
        s.repeatDepth[track] = depth - 1;
      } else {
        s.repeatCounters[track][depth] -= 1;
        JumpTo(track, int64_t{c.position} + 3 + c.Word(1));
      }
      return true;
    }
    case 0xF6: {
      // Depth 0 is never used: the 8 counters serve depths 1-7. A deeper repeat ends the track.
      const int32_t depth = s.repeatDepth[track] + 1;
      s.readPosition[track] += 2;
      if (depth >= kMdxRepeatDepth) {
        EndMdxTrack(track);
        return true;
      }
      s.repeatDepth[track] = depth;
      s.repeatCounters[track][depth] = c.At(1);
      return true;
    }
    case 0xF7:
      s.tiePending[track] = 1;
      return true;
    case 0xF8: {
      const int32_t q = std::max(c.At(1), 1);
      if (q <= 8) {
        s.gateMode[track] = 0;
        s.gateValue[track] = q;
      } else {
        s.gateMode[track] = 1;
        s.gateValue[track] = 255 - q;
      }
      s.readPosition[track] += 1;
      return true;
    }
    case 0xFF: {
      const int32_t value = c.At(1);
      s.timerB = static_cast<float>(value);
      s.tempo = 60000000 / ((256 - value) * 12288);
      s.readPosition[track] += 1;
      return true;
    }
    default:
      break;
  }
  // The rest only move the read position: their bytes beyond the first.
  s.readPosition[track] += std::max(MdxCommandBytes(c.data, c.length, c.position) - 1, 0);
  return false;
}

// The volume commands 0xF9-0xFB. True when the volume changed (the FM track then sets its
// instrument volume).
bool StepVolume(int32_t track, const CommandBytes& c) {
  MdxPlayerState& s = g_mdx.state;
  int32_t& volume = s.volume[track];
  switch (c.At(0)) {
    case 0xF9:
      volume = std::min(volume + 1, s.volumeMode[track] == 1 ? kMdxStepVolumeMax : kMdxDirectVolumeMax);
      return true;
    case 0xFA:
      volume = std::max(volume - 1, 0);
      return true;
    case 0xFB:
      if (c.At(1) < 16) {
        s.volumeMode[track] = 1;
        volume = c.At(1);
      } else {
        s.volumeMode[track] = 0;
        volume = 255 - c.At(1);
      }
      s.readPosition[track] += 1;
      return true;
    default:
      return false;
  }
}

// The tone of number `number` (the first record carrying it, else record 0) to a recognised
// FM instrument: channel values 0-3 and the operators, each operator's eleventh value as 0.
void SelectMdxTone(int32_t track, int32_t number) {
  int index = 0;
  for (int i = 0; i < kFmToneCount; ++i) {
    if (g_mdx.tones[i].number == number) {
      index = i;
      break;
    }
  }
  g_mdx.state.toneIndex[track] = index;
  const FmTone& tone = g_mdx.tones[index];
  for (int i = 0; i < kToneChannelValuesSent; ++i)
    SetInstrumentParameter(track, i, FmToneParamToPlugin(i, tone.params[i]));
  for (int i = kFirstOperatorParam; i < kFmToneParamCount; ++i) {
    const bool eleventh = (i - kFirstOperatorParam) % kFmOperatorParamCount == kFmOperatorParamCount - 1;
    SetInstrumentParameter(track, i, eleventh ? 0.0f : FmToneParamToPlugin(i, tone.params[i]));
  }
}

// 0xEA with 5 arguments: the chip's LFO settings to a recognised FM instrument.
void SetHardwareLfo(int32_t track, const CommandBytes& c) {
  SetInstrumentParameter(track, 4, static_cast<float>(c.At(1) & 3) / 3.0f);
  SetInstrumentParameter(track, 6, static_cast<float>(c.At(2)) / 255.0f);
  SetInstrumentParameter(track, 7, static_cast<float>(c.At(3) - 128) / 127.0f);
  SetInstrumentParameter(track, 8, static_cast<float>(c.Signed(4)) / 127.0f);
  SetInstrumentParameter(track, 9, static_cast<float>(c.Signed(5) >> 4) / 7.0f);
  SetInstrumentParameter(track, 10, static_cast<float>(c.At(5) & 3) / 3.0f);
}

void FmNote(int32_t track, const CommandBytes& c) {
  MdxPlayerState& s = g_mdx.state;
  const int32_t key = (c.At(0) + 3) & 127;
  const int32_t lengthByte = c.At(1);
  if (s.tied[track]) {
    // The held note continues: no note-on; another key is reached by a bend.
    s.tied[track] = 0;
    s.gatePending[track] = 1;
    const int32_t lastKey = s.lastKey[track];
    if (key != lastKey) {
      s.legato[track] = 1;
      const int32_t bend = (key - lastKey) * kBendUnitsPerSemitone;
      if (s.portaHold[track]) {
        s.portaBase[track] = bend;
        SendPitchBend(track, SaturateInt32(int64_t{bend} + s.detune[track]));
        s.portaHold[track] = 0;
      } else {
        s.portaBend[track] = bend;
        s.portaActive[track] = 0;
      }
    } else if (s.legato[track]) {
      s.portaBend[track] = 0;
      s.portaActive[track] = 0;
    }
  } else {
    s.lastKey[track] = key;
    s.NoteOn(track);
    s.portaBase[track] = 0;
    s.portaBend[track] = 0;
    s.lfoStartTick[track] = s.wholeTick;
    s.lfoTicksDone[track] = 0;
    s.lfoValue[track] = 0;
    s.gatePending[track] = 1;
    s.legato[track] = 0;
  }
  TakePendingTie(track);
  EndCurrentLength(track);
  if (s.portaPending[track]) {
    s.portaPending[track] = 0;
    s.portaActive[track] = 1;
    s.portaStartTick[track] = s.startTick[track];
    s.portaEndTick[track] = SaturateInt32(int64_t{s.startTick[track]} + lengthByte + 1);
  }
  s.currentLength[track] = lengthByte + 1;
  s.readPosition[track] += 1;
}

void PcmNote(int32_t track, const CommandBytes& c) {
  MdxPlayerState& s = g_mdx.state;
  const int32_t sample = c.At(0) & 0x7F;
  if (s.tied[track]) {
    s.tied[track] = 0;  // the sample plays on
  } else {
    if (!s.mute[track]) {
      // One voice per track: a new note restarts it. Numbers beyond the bank have no sample,
      // and such a voice ends at once.
      PcmVoice& v = g_mdx.voices[track];
      v.active = 0;
      v.sample = sample;
      v.channels = 1;
      v.position = 0;
      v.volume = TruncToInt32(static_cast<double>(s.volumeScale) * 256.0);
      v.pan = s.pan[track];
      v.length = sample < kMdxSampleCount ? g_mdx.sampleLengths[sample] : 0;
      v.track = track;
      v.active = 1;
    }
    s.gatePending[track] = 1;
  }
  TakePendingTie(track);
  EndCurrentLength(track);
  s.currentLength[track] = c.At(1) + 1;
  s.readPosition[track] += 1;
}

}  // namespace

int32_t MdxCommandBytes(const uint8_t* data, int32_t length, int32_t position) {
  if (!data || position < 0 || position >= length) return 0;
  const int32_t op = data[position];
  const bool hasArgument = position + 1 < length;
  const int32_t argument = hasArgument ? data[position + 1] : -1;
  int32_t bytes;
  if (op < 0x80) {
    bytes = 1;
  } else if (op < 0xE0) {
    bytes = 2;
  } else {
    switch (op) {
      case 0xE7:
      case 0xF2:
      case 0xF3:
      case 0xF4:
      case 0xF5:
      case 0xF6:
      case 0xFE:
        bytes = 3;
        break;
      case 0xE9:
      case 0xED:
      case 0xEF:
      case 0xF0:
      case 0xF8:
      case 0xFB:
      case 0xFC:
      case 0xFD:
      case 0xFF:
        bytes = 2;
        break;
      case 0xEA:
      case 0xEB:
      case 0xEC:
        if (!hasArgument) return 0;
        bytes = (argument == 0x80 || argument == 0x81) ? 2 : 6;
        break;
      case 0xF1:
        if (!hasArgument) return 0;
        bytes = argument == 0 ? 2 : 3;
        break;
      default:  // 0xE0-0xE6, 0xE8, 0xEE, 0xF7, 0xF9, 0xFA
        bytes = 1;
        break;
    }
  }
  return length - position >= bytes ? bytes : 0;
}

void KeyOffMdxTrack(int32_t track) {
  if (track < kMdxFmTrackCount) {
    g_mdx.state.NoteOff(track);
  } else {
    g_mdx.voices[track].active = 0;
  }
}

void EndMdxTrack(int32_t track) {
  MdxPlayerState& s = g_mdx.state;
  // Nothing after the end would release a note tied into it.
  if (s.tied[track]) KeyOffMdxTrack(track);
  s.tied[track] = 0;
  s.enabled[track] = 0;
  s.ended[track] = 1;
}

int32_t MdxInstrumentVolume(int32_t volume, int32_t volumeMode, float volumeScale) {
  const int32_t level =
      volumeMode == 1 ? kInstrumentTrackVolumeTable[std::clamp(volume, 0, kMdxStepVolumeMax)] : volume;
  const double v = static_cast<double>(level) * 2.0 * static_cast<double>(volumeScale);
  if (!(v > 0.0)) return 0;  // NaN too
  return v >= 255.0 ? 255 : static_cast<int32_t>(v);
}

void ApplyMdxTrackVolumes() {
  MdxPlayerState& s = g_mdx.state;
  const int32_t count = std::clamp(s.trackCount, 0, kMdxTrackCount);
  for (int32_t t = 0; t < count; ++t) {
    s.volume[t] = CapVolume(s.volume[t], s.volumeMode[t]);
    SetTrackInstrumentVolume(t);
  }
}

void StepMdxFmTrack(int32_t track) {
  if (track < 0 || track >= kMdxFmTrackCount) return;
  MdxPlayerState& s = g_mdx.state;
  const CommandBytes c = CurrentCommand(track);
  const int32_t op = c.At(0);
  if (op >= 0x80 && op < 0xE0) {
    FmNote(track, c);
    return;
  }
  if (StepVolume(track, c)) {
    SetTrackInstrumentVolume(track);
    return;
  }
  if (StepCommon(track, c)) return;
  // The read position is already on the command's last byte.
  switch (op) {
    case 0xEA:
      if (c.At(1) != 0x80 && c.At(1) != 0x81) SetHardwareLfo(track, c);
      break;
    case 0xEC:
      if (c.At(1) == 0x80) {
        s.lfoOn[track] = 0;
        s.lfoValue[track] = 0;
      } else if (c.At(1) == 0x81) {
        s.lfoOn[track] = 1;
      } else {
        s.lfoWaveform[track] = c.At(1);
        s.lfoPeriod[track] = static_cast<int16_t>(c.Signed(2) * 256 + c.At(3));
        s.lfoStep[track] = c.Signed(4) * 256 + c.At(5);
        s.lfoOn[track] = 1;
      }
      break;
    case 0xED:
      if (track == kNoiseTrack) {
        if (c.At(1) & 0x80) {
          SetInstrumentParameter(track, kParamNoiseOn, 1.0f);
          SetInstrumentParameter(track, kParamNoiseFrequency, static_cast<float>(c.At(1) & 31) / 31.0f);
        } else {
          SetInstrumentParameter(track, kParamNoiseOn, 0.0f);
        }
      }
      break;
    case 0xF2:
      s.portaPending[track] = 1;
      s.portaSpeed[track] = c.Word(1);
      break;
    case 0xF3:
      s.detune[track] = c.Word(1);
      SendPitchBend(track, s.detune[track]);
      break;
    case 0xFC:
      s.pan[track] = c.At(1) == 1 ? 0 : c.At(1) == 2 ? 127 : 64;
      SetInstrumentPan(track, s.pan[track]);
      break;
    case 0xFD:
      if (s.fmInstrument[track]) SelectMdxTone(track, c.At(1));
      break;
    default:
      break;
  }
}

void StepMdxPcmTrack(int32_t track) {
  if (track < kMdxFmTrackCount || track >= kMdxTrackCount) return;
  const CommandBytes c = CurrentCommand(track);
  const int32_t op = c.At(0);
  if (op >= 0x80 && op < 0xE0) {
    PcmNote(track, c);
    return;
  }
  if (StepVolume(track, c)) return;
  if (StepCommon(track, c)) return;
  if (op == 0xFC) g_mdx.state.pan[track] = c.At(1);
}
