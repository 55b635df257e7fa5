// Stands in for zovuz/sound/windows/sound_device_win.cpp, midi_output_win.cpp and
// sound_thread_win.cpp: the native build has no sound device, so the device never starts (the
// sound system's own failure path), no MIDI music plays and there is no sound thread to start or
// stop.
#include "zovuz/sound/midi_output_internal.h"
#include "zovuz/sound/sound_platform_internal.h"
#include "zovuz/sound/sound_thread_internal.h"

MidiOutputData MidiOutput;

int InitializeSoundPlatform(void) { return -1; }
int TerminateSoundPlatform(void) { return 0; }
int SoundPlatform_IsInitialized(void) { return 0; }
int StartSoundThread(void) { return 0; }
int StopSoundThread(void) { return -1; }
int Music_Platform_CheckPlaying(MusicHandleData *) { return -1; }
int Music_Platform_Process(MusicHandleData *) { return 0; }
int Music_Platform_Stop(MusicHandleData *) { return 0; }
int Music_Platform_Terminate(MusicHandleData *) { return 0; }
