// The sound system's start and end, its handle types, locks and lists, the load parameters
// every loader starts from, and the periodic steps of the Sound handles.
#include "zovuz/sound/sound_system_internal.h"
#include "zovuz/sound/sound_handle_internal.h"
#include "zovuz/sound/soft_sound_internal.h"
#include "zovuz/sound/sound_convert_internal.h"
#include "zovuz/sound/sound_platform_internal.h"
#include "zovuz/sound/sound_thread_internal.h"

#include <string.h>

SoundSystemData SoundSystem;

namespace {

constexpr uint32_t DefaultOutputSampleRate = 44100;

struct HandleTypeEntry
{
    int Type;
    int OneSize;
    int MaxNum;
    HandleInitFunction Initialize;
    HandleTermFunction Terminate;
    const wchar_t *Name;
};

// The handle types of the sound layer.
const HandleTypeEntry SoundHandleTypes[] = {
    {DX_HANDLETYPE_SOUND, sizeof(SoundHandleData), DX_MAX_SOUND_NUM, InitializeSoundHandle, TerminateSoundHandle,
     L"Sound"},
    {DX_HANDLETYPE_SOFTSOUND, sizeof(SoftSoundHandleData), DX_MAX_SOFTSOUND_NUM, nullptr, TerminateSoftSoundHandle,
     L"SoftSound"},
    {DX_HANDLETYPE_MUSIC, sizeof(MusicHandleData), DX_MAX_MUSIC_NUM, InitializeMusicHandle, TerminateMusicHandle,
     L"Music"},
};

int SoundHandleIsKept(HandleInfo *Info) { return reinterpret_cast<SoundHandleData *>(Info)->KeepFlag; }

void RegisterHandleTypes(void)
{
    for (const HandleTypeEntry &type : SoundHandleTypes)
        InitializeHandleType(type.Type, type.OneSize, type.MaxNum, type.Initialize, type.Terminate, type.Name);
}

void UnregisterHandleTypes(void)
{
    for (const HandleTypeEntry &type : SoundHandleTypes) TerminateHandleType(type.Type);
}

void InitializeListsAndLocks(void)
{
    SoundSystemData &s = SoundSystem;
    CriticalSectionInitialize(&s.Sound3DListLock);
    CriticalSectionInitialize(&s.PlayedListLock);
    CriticalSectionInitialize(&s.StreamListLock);
    s.LocksMade = 1;
    InitializeHandleList(&s.Sound3DListFirst, &s.Sound3DListLast);
    InitializeHandleList(&s.StreamSoundListFirst, &s.StreamSoundListLast);
    InitializeHandleList(&s.SoftSoundPlayerListFirst, &s.SoftSoundPlayerListLast);
    InitializeHandleList(&s.DeleteOnPlayEndListFirst, &s.DeleteOnPlayEndListLast);
    InitializeHandleList(&s.PlayedListFirst, &s.PlayedListLast);
}

void DeleteLocks(void)
{
    SoundSystemData &s = SoundSystem;
    if (!s.LocksMade) return;
    CriticalSectionDelete(&s.Sound3DListLock);
    CriticalSectionDelete(&s.PlayedListLock);
    CriticalSectionDelete(&s.StreamListLock);
    s.LocksMade = 0;
}

// Every Sound handle that is not kept, every SoftSound handle, and (at the end) every Music handle.
void DeleteSoundLayerHandles(bool Music)
{
    DeleteHandleTypeAll(DX_HANDLETYPE_SOUND, SoundHandleIsKept);
    DeleteAllSoftSoundHandles();
    if (Music) DeleteHandleTypeAll(DX_HANDLETYPE_MUSIC, nullptr);
}

int SoundSystemStarted(void) { return SoundSystem.InitializeFlag; }

}  // namespace

int IsSoundSystemInitialized(void) { return SoundSystem.InitializeFlag; }

int IsSoundDeviceReady(void) { return SoundPlatform_IsInitialized(); }

DxCriticalSection *SoundHandleTypeLock(int HandleType)
{
    HandleManage *manage = GetHandleManage(HandleType);
    return manage->InitializeFlag ? &manage->CriticalSection : nullptr;
}

int KeepSoundLayerHandleIfSetUp(int Handle, int SetupResult)
{
    if (SetupResult >= 0) return Handle;
    SubHandle(Handle);
    return -1;
}

int QueueSoundLayerHandleJob(int Handle, ASyncLoadData *Job)
{
    DxCriticalSection *lock = SoundHandleTypeLock(HandleTypeOf(Handle));
    CRITICALSECTION_LOCK(lock);
    int slot = AddASyncLoadJob(Job);
    if (slot >= 0) IncASyncLoadCount(Handle, slot);
    CRITICALSECTION_UNLOCK(lock);
    if (slot >= 0) return Handle;
    DXFREE(Job);
    return KeepSoundLayerHandleIfSetUp(Handle, -1);
}

void FinishSoundLayerHandleJob(int Handle, int Result)
{
    DecASyncLoadCount(Handle);
    if (Result < 0) SubHandle(Handle);
}

int InitLoadSoundParam(LoadSoundParam *Param)
{
    *Param = SoundSystem.CreateSoundParam;
    if (Param->CreateType == 0 && LoadSoundLoopSet(*Param)) Param->CreateType = STREAM_SOURCE_KIND_FILE_IMAGE;
    return 0;
}

int InitializeSoundSystem(void)
{
    SoundSystemData &s = SoundSystem;
    if (s.InitializeFlag) return -1;
    if (s.OutputSampleRate == 0) s.OutputSampleRate = DefaultOutputSampleRate;

    RegisterHandleTypes();
    InitializeListsAndLocks();
    if (InitializeSoundPlatform() < 0) {
        // Nothing of the layer stays behind, so a later start begins afresh.
        UnregisterHandleTypes();
        DeleteLocks();
        return -1;
    }

    // The device start has given the 3D listener its defaults.
    LoadSoundParam &settings = s.CreateSoundParam;
    settings = LoadSoundParam();
    settings.PitchRate = 1.0f;
    settings.TimeStretchRate = 1.0f;
    settings.ConvertOggVorbisBitDepth = 2;

    SoundService.IsSoundSystemStarted = SoundSystemStarted;
    SoundService.ProcessStreamSounds = ProcessStreamSounds;
    SoundService.ProcessPlayedSoundList = ProcessPlayedSoundList;
    SoundService.ProcessSoftSoundPlayers = ProcessSoftSoundPlayers;
    s.InitializeFlag = 1;

    DeleteSoundLayerHandles(false);
    if (StartSoundThread() < 0) return -1;
    if (InitializeSoundTones() < 0) return -1;
    return 0;
}

int TerminateSoundSystem(void)
{
    SoundSystemData &s = SoundSystem;
    if (!s.InitializeFlag || StopSoundThread() < 0) return -1;

    TerminateSoundTones();
    DeleteSoundLayerHandles(true);
    UnregisterHandleTypes();
    DeleteLocks();
    SoundService = SoundServiceFunctions();
    s.CurrentMusicHandle = 0;
    s.CurrentMusicIsSound = 0;
    int result = TerminateSoundPlatform();
    s.InitializeFlag = 0;
    return result < 0 ? -1 : 0;
}

// ---------------------------------------------------------------------------------------------
// Periodic steps of the Sound handles

int ProcessStreamSounds(void)
{
    if (!IsSoundDeviceReady() || !IsSoundSystemInitialized()) return -1;
    DxCriticalSection *soundLock = SoundHandleTypeLock(DX_HANDLETYPE_SOUND);
    CRITICALSECTION_LOCK(soundLock);
    CRITICALSECTION_LOCK(&SoundSystem.StreamListLock);
    ProcessStreamSoundList();
    CRITICALSECTION_UNLOCK(&SoundSystem.StreamListLock);

    int now = GetNowMilliCount();
    for (SoundToneData &tone : SoundSystem.Tone) ProcessSoundTone(&tone, now);
    CRITICALSECTION_UNLOCK(soundLock);
    return 0;
}
