#include "app/engine/sequencer/song_engine.h"

#include <algorithm>

#include "app/engine/plugin/plugin_slot.h"

SongEngine g_songs[kSongCount];

namespace {

// A cleared event: end of track, with articulate 1 so that a note the
// compiler later writes over it ends normally unless it says otherwise.
constexpr SongEvent kClearedEvent = {kEvEnd, 0, 0, 0, 1};

void ClearTrackEvents(SongEvent* events) {
  for (int i = 0; i < kEventsPerTrack; ++i) events[i] = kClearedEvent;
}

// Puts the instrument of a track back to its start-of-song settings before a
// compile, pitch and pan centred. The parameter numbers are those of the two
// recognised FM instruments; any other plug-in only gets the indexes it
// actually has.
void ResetTrackInstrument(int track) {
  SetInstrumentParameter(track, 97, 1.0f);
  SetInstrumentParameter(track, 57, 1.0f);
  SendPitchBend(track, 0);  // queued even for an empty slot
  SetInstrumentPan(track, 64);
  static const int kClearedParams[] = {89, 63, 68, 74, 80, 85, 55};
  for (int index : kClearedParams) SetInstrumentParameter(track, index, 0.0f);
}

}  // namespace

void SongTrack::Reset() {
  uint8_t keepFm = fmInstrument;  // set by the user interface when a plug-in loads
  *this = SongTrack{};
  fmInstrument = keepFm;
  defaultLength = 48;
  volume = 256;
  pan = 64;
  mixerVolume = 1.0f;
  mixerPan = 0.5f;
}

SongEngine::SongEngine() {
  loaded = playing = paused = ended = 0;
  for (auto& track : events) ClearTrackEvents(track);
  tempo = 120;
  volumeScale = 1.0f;
  clockBase = pauseStart = lastClock = 0;
  microsPerTick = 0.0;
  tickPosition = 0.0;
  for (auto& t : tracks) {
    t = SongTrack{};
    t.Reset();
    t.fmInstrument = 1;
  }
  sampleMode = 0;
  listCount = 0;
  for (auto& e : sampleList) e = SongSampleListEntry{};
  bankLastIndex = -1;
  for (int i = 0; i < kSampleBankSize; ++i) {
    bankSamples[i] = nullptr;
    bankKeys[i] = 0;
    bankLengths[i] = 0;
  }
  for (auto& v : voices) v = PcmVoice{};
  for (auto& t : tones) t = FmTone{};
  for (auto& e : effects) e = FmEffectDef{};
  capture = nullptr;
  for (char& c : title) c = '\0';
}

int SongEngine::FindFreeVoice() const {
  for (int i = 0; i < kSongVoiceCount; ++i) {
    if (!voices[i].active) return i;
  }
  return -1;
}

void SongEngine::StopVoices() {
  for (PcmVoice& v : voices) v.active = 0;
}

const SongSampleListEntry* SongEngine::ListEntryOfKey(int32_t key) const {
  const int count = std::clamp(listCount, 0, kSampleListSize);
  for (int i = 0; i < count; ++i) {
    if (sampleList[i].key == key) return &sampleList[i];
  }
  return nullptr;
}

int SongEngine::BankIndexOfKey(int32_t key) const {
  const int last = std::min(bankLastIndex, kSampleBankSize - 1);
  for (int i = 0; i <= last; ++i) {
    if (bankKeys[i] == key) return i;
  }
  return -1;
}

void ResetSongEngine() {
  SongEngine& song = g_songs[0];
  song.loaded = song.playing = song.paused = song.ended = 0;
  song.clockBase = 0;
  song.pauseStart = 0;
  song.tempo = 120;
  song.volumeScale = 1.0f;
  song.listCount = 0;
  song.sampleMode = 0;
  // The buffers stay with the sample loader that made them; the table only
  // forgets them so that the new song cannot reach the old samples.
  for (int i = 0; i < kSampleBankSize; ++i) song.bankSamples[i] = nullptr;
  song.bankLastIndex = -1;
  for (int t = 0; t < kSongTrackCount; ++t) {
    song.tracks[t].Reset();
    ClearTrackEvents(song.events[t]);
    if (t < kInstrumentTrackCount) ResetTrackInstrument(t);
  }
}

float FmToneParamToPlugin(int index, int32_t value) {
  if (index < 0 || index >= kFmToneParamCount) return 0.0f;
  return static_cast<float>(value) / static_cast<float>(kFmToneFullScale[index]);
}
