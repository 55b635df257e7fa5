// Event dispatch of the MML sequencer: instrument tracks to their plug-ins, sample tracks to
// sample voices. Events normally come from the compiler, which keeps numbers in range, but
// every number is still bounded here before it indexes a table or enters a sum.
#include "app/engine/sequencer/sequencer_dispatch.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "app/engine/mixer/channel_mixer.h"
#include "app/engine/plugin/plugin_slot.h"
#include "app/engine/mixer/volume_law.h"

namespace {

int32_t ShiftedKey(int32_t key, int32_t shift) { return SaturateInt32(int64_t{key} + shift); }

int32_t BendOf(int64_t semitones) { return SaturateInt32(semitones * kBendUnitsPerSemitone); }

// trunc(volume x scale): a track volume on its way to an instrument or a voice.
int32_t ScaledVolume(int32_t volume, float scale) { return TruncToInt32(static_cast<float>(volume) * scale); }

// The next value of the track's volume sequence. The index wraps to the first value after the
// 16th, or when the value after this one is 0 (the end of a shorter list).
int32_t NextSequenceValue(SongTrack& t) {
  int i = std::clamp(t.volSeqIndex, 0, kVolumeSequenceLength - 1);
  const int32_t value = t.volSeq[i++];
  t.volSeqIndex = i >= kVolumeSequenceLength || t.volSeq[i] == 0 ? 0 : i;
  return value;
}

void SendInstrumentVolume(const SongEngine& song, int32_t track) {
  SetInstrumentVolume(track, ScaledVolume(song.tracks[track].volume, song.volumeScale));
}

// Held notes: the keys whose note-on went out and whose note-off has not; 0 marks a free entry.
void HoldNote(SongTrack& t, int32_t key) {
  for (int32_t k : t.heldNotes) {
    if (k == key) return;
  }
  for (int32_t& k : t.heldNotes) {
    if (k == 0) {
      k = key;
      return;
    }
  }
}

void ReleaseHeldNote(SongTrack& t, int32_t key) {
  for (int32_t& k : t.heldNotes) {
    if (k == key) {
      k = 0;
      return;
    }
  }
}

// The nearest note before `cursor` (a note-on or a glide's end), or null.
const SongEvent* PreviousNote(const SongEngine& song, int32_t track, int32_t cursor) {
  for (int32_t i = cursor - 1; i >= 0; --i) {
    const SongEvent& e = song.events[track][i];
    if (e.type == kEvNoteOn || e.type == kEvPortamentoEnd) return &e;
  }
  return nullptr;
}

// The loop jump: to the last loop point, with every event after the first loop point due again
// one loop length later. A jump placed before its loop point has a negative length: it moves on
// to the loop point, and what follows comes that much earlier.
void LoopJump(SongEngine& song, int32_t track) {
  SongTrack& t = song.tracks[track];
  SongEvent* events = song.events[track];
  const int64_t length = int64_t{events[t.eventCursor].tick} - t.loopPointTick;
  // A jump back by no time would be due again at once, for ever.
  if (length == 0) return;
  t.tickOffset = SaturateInt32(t.tickOffset + length);
  bool afterFirstPoint = false;
  for (int i = 0; i < kEventsPerTrack && events[i].type != kEvEnd; ++i) {
    if (events[i].type == kEvLoopPoint) {
      t.eventCursor = i;
      afterFirstPoint = true;
    }
    if (afterFirstPoint) events[i].dispatched = 0;
  }
}

// Events both kinds of track share; false for any other type.
bool DispatchCommonEvent(SongEngine& song, int32_t track, const SongEvent& e) {
  SongTrack& t = song.tracks[track];
  switch (e.type) {
    case kEvLoopJump:
      LoopJump(song, track);
      return true;
    case kEvVolumeSequenceOn:
      t.volSeqActive = 1;
      t.volSeqIndex = 0;
      return true;
    case kEvVolumeSequenceOff:
      t.volSeqActive = 0;
      return true;
    case kEvKeyShift:
      t.keyShift = e.value;
      return true;
    default:
      return false;
  }
}

// The volume events of both kinds of track; an instrument track's volume moves by `factor`
// (2) times the amount, a sample track's by the amount. False for any other type.
bool ChangeVolume(int32_t track, SongTrack& t, const SongEvent& e, int factor) {
  switch (e.type) {
    case kEvVolumeStep:
      t.volume = VolumeFromStep(track, e.value);
      return true;
    case kEvVolumeUp:
      t.volume = SaturateInt32(t.volume + int64_t{factor} * e.value);
      return true;
    case kEvVolumeDown:
      t.volume = SaturateInt32(t.volume - int64_t{factor} * e.value);
      return true;
    case kEvVolume:
      t.volume = SaturateInt32(2 * int64_t{e.value});
      return true;
    default:
      return false;
  }
}

// --- instrument tracks ----------------------------------------------------------------------

void SelectTone(SongEngine& song, int32_t track, int32_t number) {
  SongTrack& t = song.tracks[track];
  // A number outside the tone table is never defined: it goes out as a program change.
  const bool defined = number >= 0 && number < kFmToneCount && song.tones[number].used;
  if (defined && t.fmInstrument) {
    const FmTone& tone = song.tones[number];
    for (int i = 0; i < kFmToneParamCount; ++i)
      SetInstrumentParameter(track, i, FmToneParamToPlugin(i, tone.params[i]));
  } else {
    SendProgramChange(track, number);
  }
  t.tone = number;
}

// How one run of FM effect parameters is computed from a definition.
enum EffectSource : int8_t { kEffectZero = -2, kEffectFirst = -1 };  // 0-10: value f0-f10
struct EffectRun {
  int8_t param;   // first parameter of the run
  int8_t source;  // EffectSource, or the index of the value for the first parameter
  int8_t count;   // consecutive parameters, fed by consecutive values
  bool divide;    // value / factor, else value x factor
  float factor;
};
struct EffectKind {
  int runCount;
  EffectRun runs[6];
};

constexpr EffectKind kEffectKinds[] = {
    // 0: every effect off
    {6,
     {{89, kEffectZero, 1, false, 0.0f},
      {63, kEffectZero, 1, false, 0.0f},
      {68, kEffectZero, 1, false, 0.0f},
      {74, kEffectZero, 1, false, 0.0f},
      {80, kEffectZero, 1, false, 0.0f},
      {85, kEffectZero, 1, false, 0.0f}}},
    // 1
    {3, {{89, kEffectFirst, 1, false, 0.125f}, {90, 0, 5, true, 127.0f}, {58, 5, 5, true, 127.0f}}},
    // 2
    {5,
     {{63, kEffectFirst, 1, false, 0.125f},
      {64, 0, 4, true, 127.0f},
      {85, 4, 1, false, 0.5f},
      {86, 5, 1, false, 0.25f},
      {87, 6, 2, true, 127.0f}}},
    // 3
    {2, {{68, kEffectFirst, 1, true, 3.0f}, {69, 0, 5, true, 127.0f}}},
    // 4
    {3, {{74, kEffectFirst, 1, true, 3.0f}, {75, 0, 1, true, 999.0f}, {76, 1, 4, true, 127.0f}}},
    // 5
    {3, {{80, kEffectFirst, 1, false, 0.5f}, {81, 0, 1, false, 0.25f}, {82, 1, 3, true, 127.0f}}},
};
constexpr int kEffectKindCount = sizeof kEffectKinds / sizeof kEffectKinds[0];

void SendFmEffect(const SongEngine& song, int32_t track, int32_t number) {
  if (!song.tracks[track].fmInstrument || number < 0 || number >= kFmEffectDefCount) return;
  const FmEffectDef& def = song.effects[number];
  if (def.kind < 0 || def.kind >= kEffectKindCount) return;
  const EffectKind& kind = kEffectKinds[def.kind];
  for (int r = 0; r < kind.runCount; ++r) {
    const EffectRun& run = kind.runs[r];
    for (int i = 0; i < run.count; ++i) {
      float in = run.source == kEffectFirst  ? static_cast<float>(def.first)
                 : run.source == kEffectZero ? 0.0f
                                             : def.values[run.source + i];
      SetInstrumentParameter(track, run.param + i, run.divide ? in / run.factor : in * run.factor);
    }
  }
}

void NoteOn(SongEngine& song, int32_t track, const SongEvent& e) {
  SongTrack& t = song.tracks[track];
  if (t.mute) return;
  const SongEvent* previous = PreviousNote(song, track, t.eventCursor);
  if (previous && !previous->articulate) {
    // Slurred or tied from the sounding note: no new note, the tick bends it to this key.
    t.portaBend = BendOf(int64_t{ShiftedKey(e.value, t.keyShift)} - t.currentNote);
    return;
  }
  const int32_t key = ShiftedKey(e.value, t.keyShift);
  t.currentNote = key;
  int32_t velocity = 127;
  if (t.volSeqActive) {
    velocity = NextSequenceValue(t);
  } else {
    SendInstrumentVolume(song, track);
  }
  t.vibValue = 0.0f;
  t.vibStartTick = t.vibLastBendTick = WholeTicks(song.tickPosition);
  SendTrackBend(song, track, t.detune);
  SendNoteOn(track, key, velocity);
  HoldNote(t, key);
}

void NoteOff(SongEngine& song, int32_t track, const SongEvent& e) {
  SongTrack& t = song.tracks[track];
  // Under a slur bend the key that sounds is the one the slur started from.
  const int32_t key = t.portaBend == 0 ? ShiftedKey(e.value, t.keyShift) : t.currentNote;
  SendNoteOff(track, key);
  ReleaseHeldNote(t, key);
  t.portaBend = 0;
  t.vibValue = 0.0f;
}

void PortamentoStart(SongEngine& song, int32_t track, const SongEvent& e) {
  SongTrack& t = song.tracks[track];
  if (t.mute) return;
  const int32_t cursor = t.eventCursor;
  const SongEvent* previous = PreviousNote(song, track, cursor);
  const bool articulated = !previous || previous->articulate;
  t.portaActive = 1;
  t.portaStartKey = ShiftedKey(e.value, t.keyShift);
  if (articulated) {
    t.currentNote = t.portaStartKey;
    SendTrackBend(song, track, t.detune);
    SendNoteOn(track, t.portaStartKey, 127);
    t.portaBaseOffset = 0;
  } else {
    // The glide continues the sounding note: its pitch is measured from that note's key.
    t.portaBaseOffset = SaturateInt32(int64_t{t.portaStartKey} - t.currentNote);
    SendTrackBend(song, track, SaturateInt32(int64_t{t.detune} + BendOf(t.portaBaseOffset)));
  }
  t.portaStartTick = SaturateInt32(e.tick);
  // The next event is the glide's end.
  const SongEvent* end = cursor + 1 < kEventsPerTrack ? &song.events[track][cursor + 1] : nullptr;
  t.portaTargetKey = end ? ShiftedKey(end->value, t.keyShift) : t.portaStartKey;
  t.portaDuration = end ? SaturateInt32(std::max<int64_t>(int64_t{end->tick} - e.tick, 0)) : 0;
}

void PortamentoEnd(SongEngine& song, int32_t track, const SongEvent& e) {
  SongTrack& t = song.tracks[track];
  t.portaActive = 0;
  // The glide lands on its target, measured like every step of it from the sounding key.
  const int32_t landed = BendOf(int64_t{t.portaTargetKey} - t.portaStartKey + t.portaBaseOffset);
  SendTrackBend(song, track, SaturateInt32(int64_t{landed} + t.detune));
  if (e.articulate) {
    SendNoteOff(track, t.currentNote);
    ReleaseHeldNote(t, t.currentNote);
    t.vibValue = 0.0f;
    t.portaBend = 0;
    t.vibStartTick = t.vibLastBendTick = WholeTicks(song.tickPosition);
  } else {
    // Slurred into the next note: the pitch stays on the target until that note.
    t.portaBend = landed;
  }
}

// Pan right (amount > 0) and pan left (amount < 0) move the instrument's own pan, within 0-127.
void MoveInstrumentPan(SongEngine& song, int32_t track, int32_t amount) {
  PluginSlot* slot = PluginSlotAt(track, 0);
  if (!slot) return;
  SetInstrumentPan(track, SaturateInt32(int64_t{slot->pan} + amount));
  song.tracks[track].pan = slot->pan;
}

// --- sample tracks --------------------------------------------------------------------------

void StartVoice(PcmVoice& v, int32_t sample, int32_t length, int32_t channels, int32_t volume, int32_t pan,
                int32_t track) {
  v.active = 0;
  v.sample = sample;
  v.position = 0;
  v.length = length;
  v.pan = std::clamp(pan, 0, 127);
  v.volume = volume;
  v.channels = channels;
  v.track = track;
  v.active = 1;
}

// List mode: the first free voice of the song plays the first entry with the key.
void StartListVoice(SongEngine& song, int32_t track, int32_t value) {
  SongTrack& t = song.tracks[track];
  const SongSampleListEntry* entry = song.ListEntryOfKey(ShiftedKey(value, t.keyShift));
  if (!entry) return;
  const int index = song.FindFreeVoice();
  if (index < 0) return;
  const int32_t level = t.volSeqActive ? NextSequenceValue(t) : t.volume;
  // The entry's length was taken from its SoftSound data when the list was loaded.
  StartVoice(song.voices[index], entry->handle, entry->frames, entry->channels, ScaledVolume(level, song.volumeScale),
             t.pan, track);
}

// Bank mode: the voice with the track's own number plays the first bank sample with the key
// (an octave above the MML key), cutting whatever that voice played.
void StartBankVoice(SongEngine& song, int32_t track, int32_t value) {
  SongTrack& t = song.tracks[track];
  const int i = song.BankIndexOfKey(SaturateInt32(int64_t{value} + t.keyShift + 12));
  if (i < 0) return;
  StartVoice(song.voices[track], i, song.bankLengths[i], 1, ScaledVolume(t.volume, song.volumeScale), t.pan, track);
}

}  // namespace

int32_t WholeTicks(double tickPosition) { return TruncToInt32(tickPosition); }

void SendTrackBend(SongEngine& song, int32_t track, int32_t bend) {
  SendPitchBend(track, bend);
  if (track >= 0 && track < kMixerChannelCount) song.tracks[track].sentBend = bend;
}

void DispatchInstrumentTrackEvent(int32_t track, SongEngine& song) {
  if (track < 0 || track >= kInstrumentTrackCount || !CursorInTrack(song.tracks[track])) return;
  SongTrack& t = song.tracks[track];
  const SongEvent& e = song.events[track][t.eventCursor];
  const int32_t v = e.value;
  switch (e.type) {
    case kEvTone:
      SelectTone(song, track, v);
      break;
    case kEvPan:
      t.pan = v;
      SetInstrumentPan(track, v);
      break;
    case kEvDetune:
      t.detune = v;
      SendTrackBend(song, track, v);
      break;
    case kEvNoteOn:
      NoteOn(song, track, e);
      break;
    case kEvNoteOff:
      NoteOff(song, track, e);
      break;
    case kEvPortamentoStart:
      PortamentoStart(song, track, e);
      break;
    case kEvPortamentoEnd:
      PortamentoEnd(song, track, e);
      break;
    case kEvVibratoPeriod:
      t.vibQuarterPeriod = v;
      t.vibActive = 1;
      break;
    case kEvVibratoDelay:
      t.vibDelay = v;
      t.vibActive = 1;
      break;
    case kEvVibratoDepth:
      t.vibDepth = v;
      t.vibActive = 1;
      break;
    case kEvFmEffect:
      SendFmEffect(song, track, v);
      break;
    case kEvTempo:
      song.tempo = v;
      break;
    case kEvPanRight:
    case kEvPanLeft:
      MoveInstrumentPan(song, track, v);
      break;
    default:
      if (ChangeVolume(track, t, e, 2)) {
        SendInstrumentVolume(song, track);
      } else {
        DispatchCommonEvent(song, track, e);
      }
      break;
  }
}

void DispatchSampleTrackEvent(int32_t track, SongEngine& song) {
  if (track < kInstrumentTrackCount || track >= kSongTrackCount || !CursorInTrack(song.tracks[track])) return;
  SongTrack& t = song.tracks[track];
  const SongEvent& e = song.events[track][t.eventCursor];
  const int32_t v = e.value;
  switch (e.type) {
    case kEvPan:
      t.pan = v;
      break;
    case kEvNoteOn:
      if (t.mute) break;
      if (song.sampleMode == 1) {
        StartBankVoice(song, track, v);
      } else {
        StartListVoice(song, track, v);
      }
      break;
    default:
      if (!ChangeVolume(track, t, e, 1)) DispatchCommonEvent(song, track, e);
      break;
  }
}
