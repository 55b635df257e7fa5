// Music handles (type 5, "Music"): the type's callbacks, the play-state query and stop, the
// current music, and the per-call step the message pump runs.
//
// A Music handle plays MIDI through the device side (midi_output_internal.h). The library also
// keeps one current music, which may be a Sound handle played in place of MIDI music (type flag
// 1). Nothing in this program makes a Music handle or a current music; these calls find nothing
// to do at run time, but the pump, the library's end and the sound system's end make them.
#include "zovuz/sound/sound_system_internal.h"
#include "zovuz/sound/midi_output_internal.h"

#include <string.h>

namespace {

MusicHandleData *MusicOf(HandleInfo *Info) { return reinterpret_cast<MusicHandleData *>(Info); }

// The live Music record of a handle while the sound device is ready, or null.
MusicHandleData *LiveMusic(int Handle)
{
    if (!IsSoundDeviceReady()) return nullptr;
    return GetTypedHandle<MusicHandleData>(Handle, DX_HANDLETYPE_MUSIC, 0);
}

bool CurrentMusicIsSound() { return SoundSystem.CurrentMusicIsSound == 1; }

// The current music is a Sound handle: its play state.
int CurrentSoundMusicPlaying() { return CheckSoundPlaying(SoundSystem.CurrentMusicHandle); }

// The current music is a Sound handle: stopped and deleted, and no music is current.
void EndCurrentSoundMusic()
{
    StopSoundHandle(SoundSystem.CurrentMusicHandle);
    SubHandle(SoundSystem.CurrentMusicHandle);
    SoundSystem.CurrentMusicHandle = 0;
    SoundSystem.CurrentMusicIsSound = 0;
}

int CheckMusicRecord(MusicHandleData *Music)
{
    if (CurrentMusicIsSound()) return CurrentSoundMusicPlaying();
    return Music_Platform_CheckPlaying(Music);
}

int StopMusicRecord(MusicHandleData *Music)
{
    if (CurrentMusicIsSound()) {
        EndCurrentSoundMusic();
        return 0;
    }
    // With the loop flag clear the sequencer is closed rather than played again.
    MidiOutput.MciLoopFlag = 0;
    if (Music_Platform_Stop(Music) < 0) return -1;
    Music->PlayFlag = 0;
    Music->PlayStartFlag = 0;
    return 0;
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
    if (IsSoundDeviceReady() && CheckMusicRecord(music) == 1) StopMusicRecord(music);
    int result = Music_Platform_Terminate(music) < 0 ? -1 : 0;
    // The MIDI data goes even when the device side could not be released.
    if (music->MidiData != nullptr) {
        memset(music->MidiData, 0, size_t(music->MidiDataSize));
        DXFREE(music->MidiData);
        music->MidiData = nullptr;
    }
    return result;
}

int CheckMusicPlaying(int MusicHandle)
{
    MusicHandleData *music = LiveMusic(MusicHandle);
    return music != nullptr ? CheckMusicRecord(music) : -1;
}

int StopMusicHandle(int MusicHandle)
{
    MusicHandleData *music = LiveMusic(MusicHandle);
    return music != nullptr ? StopMusicRecord(music) : -1;
}

int StopCurrentMusic(void)
{
    SoundSystemData &s = SoundSystem;
    // 0, or -1 as the MCI device's end leaves it: no music is current.
    if (s.CurrentMusicHandle <= 0) return 0;
    if (CurrentMusicIsSound()) {
        EndCurrentSoundMusic();
        return 0;
    }
    StopMusicHandle(s.CurrentMusicHandle);
    SubHandle(s.CurrentMusicHandle);
    s.CurrentMusicHandle = 0;
    s.CurrentMusicIsSound = 0;
    return 0;
}

int ProcessMusicHandles(void)
{
    DxCriticalSection *lock = SoundHandleTypeLock(DX_HANDLETYPE_MUSIC);
    if (!IsSoundDeviceReady() || lock == nullptr) return -1;
    CRITICALSECTION_GUARD(guard, lock);
    HandleManage &manage = *GetHandleManage(DX_HANDLETYPE_MUSIC);
    if (manage.Num == 0) return 0;
    for (int slot = manage.AreaMin; slot <= manage.AreaMax; slot++) {
        HandleInfo *info = manage.Handle[slot];
        if (info == nullptr || info->ASyncLoadCount != 0 || !MusicOf(info)->PlayFlag) continue;
        if (Music_Platform_Process(MusicOf(info)) < 0) return -1;
    }
    return 0;
}
