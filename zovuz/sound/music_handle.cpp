// Music handles (type 5, "Music"): the type's callbacks and the calls the library's end and
// the message pump make.
//
// MIDI music plays through the MCI sequencer, and nothing in this program opens it or makes a
// music current: a Music handle never plays, and the current music stays none.
#include "zovuz/sound/sound_system_internal.h"

#include <string.h>

namespace {

MusicHandleData *MusicOf(HandleInfo *Info)
{
    return reinterpret_cast<MusicHandleData *>(Info);
}

// Stops a Music handle: its play state is cleared (the MCI device it would close is never open).
void StopMusic(MusicHandleData *Music)
{
    Music->PlayFlag = 0;
    Music->PlayStartFlag = 0;
}

}  // namespace

int InitializeMusicHandle(HandleInfo *Info)
{
    MusicOf(Info)->Volume = 255;
    return 0;
}

int TerminateMusicHandle(HandleInfo *Info)
{
    MusicHandleData *music = MusicOf(Info);
    if (music->PlayFlag)
        StopMusic(music);
    music->Segment = nullptr;
    if (music->MidiData != nullptr)
    {
        memset(music->MidiData, 0, size_t(music->MidiDataSize));
        DXFREE(music->MidiData);
        music->MidiData = nullptr;
    }
    return 0;
}

int StopCurrentMusic(void)
{
    SoundSystemData &s = SoundSystem;
    if (s.CurrentMusicHandle == 0)
        return 0;
    // A Sound handle stops as its deletion begins; a Music handle is stopped first.
    if (!s.CurrentMusicIsSound)
    {
        HandleInfo *info = HandleCheck(s.CurrentMusicHandle);
        if (info != nullptr && (s.CurrentMusicHandle & DX_HANDLETYPE_MASK) >> DX_HANDLETYPE_ADDRESS == DX_HANDLETYPE_MUSIC)
            StopMusic(MusicOf(info));
    }
    SubHandle(s.CurrentMusicHandle);
    s.CurrentMusicHandle = 0;
    s.CurrentMusicIsSound = 0;
    return 0;
}

int ProcessMusicHandles(void)
{
    if (!IsSoundDeviceReady() || SoundHandleTypeLock(DX_HANDLETYPE_MUSIC) == nullptr)
        return -1;
    // The per-call step of a playing handle serves DirectMusic segments only; through MCI there
    // is nothing to do.
    return 0;
}
