// The sound device's start and end: which output path runs (DirectMusic for MIDI modes 1 and 2,
// else XAudio2 when it is switched on, else DirectSound), and the set-up values that choose it.
#include "zovuz/sound/sound_platform_internal.h"
#include "zovuz/sound/sound_3d_internal.h"
#include "zovuz/sound/sound_system_internal.h"
#include "zovuz/sound/midi_output_internal.h"
#include "zovuz/sound/windows/dsound_device_win.h"
#include "zovuz/sound/windows/sound_device_win.h"

#include <windows.h>

namespace {

struct SoundDeviceChoiceData
{
    int XAudio2Flag;  // 1: output through XAudio2 (MIDI mode 0 only); a set-up value
};
SoundDeviceChoiceData SoundDeviceChoice;

}  // namespace

int SoundPlatform_SetXAudio2Flag(int Flag)
{
    if (SoundPlatform_IsInitialized()) return -1;
    SoundDeviceChoice.XAudio2Flag = Flag ? 1 : 0;
    return 0;
}

int SoundPlatform_GetXAudio2Flag(void) { return SoundDeviceChoice.XAudio2Flag; }

int SoundPlatform_SetMidiMode(int Mode)
{
    if (SoundPlatform_IsInitialized() || Mode < MIDI_MODE_MCI || Mode > MIDI_MODE_DIRECTMUSIC_DYNAMIC) return -1;
    MidiOutput.MidiMode = Mode;
    return 0;
}

int InitializeSoundPlatform(void)
{
    if (SoundPlatform_IsInitialized()) return -1;
    for (;;) {
        if (MidiOutputIsDirectMusic()) {
            SoundDeviceChoice.XAudio2Flag = 0;
            int result = DirectMusic_Start(DirectSound_DeviceSlot());
            if (result == 1) continue;  // no DirectMusic here: MCI with DirectSound
            if (result < 0) return -1;
            DirectSound_StartOutput();
            break;
        }
        if (SoundDeviceChoice.XAudio2Flag) {
            if (XAudio2_Start() == 0) break;
            SoundDeviceChoice.XAudio2Flag = 0;
            continue;
        }
        if (DirectSound_Start() < 0) return -1;
        DirectSound_StartOutput();
        break;
    }
    SoundPlatform_Set3DListenerDefaults();
    return 0;
}

int TerminateSoundPlatform(void)
{
    if (MidiOutput.TempFilePath[0] != L'\0') DeleteFileW(MidiOutput.TempFilePath);
    if (MidiOutputIsDirectMusic())
        DirectMusic_End();
    else
        SoundSystem.CurrentMusicHandle = -1;
    if (SoundDeviceChoice.XAudio2Flag)
        XAudio2_End();
    else
        DirectSound_End();
    return 0;
}

int SoundPlatform_IsInitialized(void) { return GetDirectSoundDevice() != nullptr || XAudio2_IsStarted() ? 1 : 0; }
