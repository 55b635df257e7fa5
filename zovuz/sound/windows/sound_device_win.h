// The three paths of the sound device, as the device start and end (sound_device_win.cpp) run
// them: DirectSound, DirectMusic (which makes the DirectSound device for its own use) and XAudio2.
#pragma once

#include "zovuz/sound/sound_convert_internal.h"

#include <windows.h>

#include <stddef.h>
#include <string.h>

struct IDirectSound;

static_assert(sizeof(SoundWaveFormat) == sizeof(WAVEFORMATEX), "SoundWaveFormat mirrors WAVEFORMATEX");
static_assert(offsetof(SoundWaveFormat, nBlockAlign) == offsetof(WAVEFORMATEX, nBlockAlign), "same layout");
static_assert(offsetof(SoundWaveFormat, cbSize) == offsetof(WAVEFORMATEX, cbSize), "same layout");

// The library's format record as the system's.
inline WAVEFORMATEX ToWaveFormat(const SoundWaveFormat &Format)
{
    WAVEFORMATEX format;
    memcpy(&format, &Format, sizeof(format));
    return format;
}

// ---- DirectSound (dsound_device_win.cpp) ----
// The device object with its primary buffer and format: 0, or -1 (logged) with nothing held.
int DirectSound_Start(void);
// Where the device object is kept; the DirectMusic performance puts its DirectSound object here.
IDirectSound **DirectSound_DeviceSlot(void);
// The silent buffer, the device report, and the DirectSound buffer operations.
void DirectSound_StartOutput(void);
// Releases the primary and silent buffers and the device object.
void DirectSound_End(void);

// ---- DirectMusic (midi_output_win.cpp) ----
//  0: started; the DirectSound object is in *DirectSound.
//  1: the loader or the performance could not be made: the MIDI mode is 0 again and the start
//     goes on without DirectMusic;
// -1: a later step failed (logged); nothing is held.
int DirectMusic_Start(IDirectSound **DirectSound);
// Stops, closes down and releases the performance, then releases the loader.
void DirectMusic_End(void);

// ---- XAudio2 (xaudio2_device_win.cpp) ----
// 2.8, else 2.7 (or 2.6) with X3DAudio: the engine, the mastering voice, the reverb presets, the
// output channels and the XAudio2 buffer operations. 0, or -1 (logged) with nothing held.
int XAudio2_Start(void);
// Destroys the mastering voice, releases the engine and frees the modules.
void XAudio2_End(void);
// 1 while the XAudio2 engine exists.
int XAudio2_IsStarted(void);
// The running version's mastering voice (an IXAudio2MasteringVoice), or null.
void *XAudio2_MasteringVoice(void);
