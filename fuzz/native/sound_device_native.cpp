// Stands in for zovuz/sound/windows/dsound_device_win.cpp and sound_thread_win.cpp: the native
// build has no sound device, so the device never starts (the sound system's own failure path)
// and there is no sound thread to start or stop.
#include "zovuz/sound/sound_platform_internal.h"
#include "zovuz/sound/sound_thread_internal.h"

int InitializeSoundPlatform(void) { return -1; }
int TerminateSoundPlatform(void) { return 0; }
int SoundPlatform_IsInitialized(void) { return 0; }
int StartSoundThread(void) { return 0; }
int StopSoundThread(void) { return -1; }
