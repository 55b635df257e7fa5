#include "app/engine/midi_input.h"

#include "app/engine/engine_lock.h"
#include "app/engine/plugin/plugin_slot.h"
#include "app/engine/sequencer/song_engine.h"

MidiInputState g_midiInput;

namespace {

constexpr int32_t kPlayedVoicePan = 64;

// The sample a played key names: the first list entry, or the first bank record, whose note is
// the key.
bool FindSampleOfKey(const SongEngine& song, int32_t key, int32_t& sample, int32_t& length, int32_t& channels) {
  if (song.sampleMode == 1) {
    const int i = song.BankIndexOfKey(key);
    if (i < 0) return false;
    sample = i;
    length = song.bankLengths[i];
    channels = 1;
    return true;
  }
  const SongSampleListEntry* entry = song.ListEntryOfKey(key);
  if (!entry) return false;
  sample = entry->handle;
  length = entry->frames;
  channels = entry->channels;
  return true;
}

// A key played on a sample track sounds at the centre, as loud as it was struck (256 is unity).
void StartSampleVoice(int32_t track, int32_t key, int32_t velocity) {
  // The voices and sample tables are the render's: a load swaps them under this lock.
  EngineLock lock = LockEngine();
  SongEngine& song = g_songs[0];
  int32_t sample = 0, length = 0, channels = 1;
  if (!FindSampleOfKey(song, key, sample, length, channels)) return;
  const int index = song.FindFreeVoice();
  if (index < 0) return;
  PcmVoice& v = song.voices[index];
  v.sample = sample;
  v.position = 0;
  v.length = length;
  v.pan = kPlayedVoicePan;
  v.volume = velocity * 2;
  v.channels = channels;
  v.track = track;
  v.active = 1;
}

}  // namespace

void PlayMidiInMessage(uint32_t message) {
  const int32_t status = message & 0xF0;
  const int32_t key = (message >> 8) & 0x7F;
  const int32_t velocity = (message >> 16) & 0x7F;
  const bool noteOn = status == 0x90 && velocity > 0;
  const bool noteOff = status == 0x80 || (status == 0x90 && velocity == 0);
  const int32_t track = g_midiInput.currentTrack;
  // Every channel's note-off reaches its slot 0, so that a note never hangs there; a track
  // outside the 19 channels has no slot, and SendNoteOff and SendNoteOn find none.
  if (noteOff) {
    SendNoteOff(track, key);
  } else if (noteOn && track < kInstrumentTrackCount) {
    SendNoteOn(track, key, velocity);
  } else if (noteOn && track < kSongTrackCount) {
    StartSampleVoice(track, key, velocity);
  }
}
