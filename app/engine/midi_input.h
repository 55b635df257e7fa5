// Live input from an external MIDI keyboard: notes on the current track go to that track's
// instrument (tracks 0-7) or start a sample voice of song 0 (tracks 8-15). The device itself is
// opened and closed in windows/midi_input_win.h.
#pragma once

#include <cstdint>

struct MidiInputState {
  int32_t currentTrack = 0;  // the track the keyboard plays, set by the user interface
};

extern MidiInputState g_midiInput;

// One short message from the device (status in the low byte, then key and velocity), played on
// the current track: a note-on with a velocity above 0 starts a note (a sample voice on tracks
// 8-15, nothing on the buses and the master), a note-on with velocity 0 or a note-off goes to
// slot 0 of any of the 19 channels; every other message, and any track outside them, is ignored.
void PlayMidiInMessage(uint32_t message);
