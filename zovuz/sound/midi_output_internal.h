// MIDI output: the device side of Music handles. MIDI mode 0 plays a standard MIDI file with the
// Windows MCI sequencer from a temporary file and hears of its end through MM_MCINOTIFY at the
// main window; modes 1 and 2 play it through DirectMusic, whose performance also yields the
// DirectSound device (windows/midi_output_win.cpp).
//
// Nothing in this program opens the MCI device, sets the loop flag or writes the temporary
// file, so the MCI steps find the device closed; the DirectMusic start runs only when a mode
// other than 0 is set before the sound system starts.
#pragma once

#include <wchar.h>

struct MusicHandleData;

#define MIDI_MODE_MCI 0
#define MIDI_MODE_DIRECTMUSIC 1          // default audio path: shared stereo with reverb
#define MIDI_MODE_DIRECTMUSIC_DYNAMIC 2  // default audio path: dynamic stereo
#define MIDI_TEMP_FILE_PATH_LENGTH 260

struct MidiOutputData
{
    int MidiMode;                                      // MIDI_MODE_*; a set-up value, read at the device start
    unsigned int MciDeviceId;                          // the open MCI sequencer
    int MciLoopFlag;                                   // 1: the sequencer plays again from 0 when it ends
    int MciPlayFlag;                                   // 1 while the MCI sequencer is open and playing
    wchar_t TempFilePath[MIDI_TEMP_FILE_PATH_LENGTH];  // the temporary MIDI file; empty = none
    int TempFileWrittenFlag;                           // 1 once the temporary file holds the music
    void *Loader;                                      // IDirectMusicLoader8, DirectMusic modes
    void *Performance;                                 // IDirectMusicPerformance8, DirectMusic modes
    long MasterVolume;                                 // the performance's master volume, read at its start
};
extern MidiOutputData MidiOutput;

// The MIDI mode plays through DirectMusic (modes 1 and 2).
inline bool MidiOutputIsDirectMusic(void)
{
    return MidiOutput.MidiMode == MIDI_MODE_DIRECTMUSIC || MidiOutput.MidiMode == MIDI_MODE_DIRECTMUSIC_DYNAMIC;
}

// The MIDI mode for the next device start: 0 or -1 when the mode is not 0, 1 or 2 or the device
// is already started.
int SoundPlatform_SetMidiMode(int Mode);

// The device side of one Music handle.
// MCI: the playing flag; DirectMusic: the handle's own playing flag; other modes -1.
int Music_Platform_CheckPlaying(MusicHandleData *Music);
// DirectMusic: follows the segment's play state into the handle's flags. 0.
int Music_Platform_Process(MusicHandleData *Music);
// MCI: closes the sequencer (unless it loops) and lets the message pump run 5 times so that
// the notification the close provokes is handled; DirectMusic: stops the segment. Then the
// temporary file is deleted when it was written. 0.
int Music_Platform_Stop(MusicHandleData *Music);
// Unloads and releases the handle's DirectMusic segment, if any. 0.
int Music_Platform_Terminate(MusicHandleData *Music);
