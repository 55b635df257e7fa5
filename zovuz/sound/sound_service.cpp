// The periodic sound service: what one pass of the sound thread does.
#include "zovuz/sound/sound_thread_internal.h"
#include "zovuz/sound/sound_platform_internal.h"
#include "zovuz/sound/sound_system_internal.h"

#include "zovuz/core/zovuz_core.h"

SoundServiceFunctions SoundService;

namespace {

void Run(int (*Step)(void))
{
    if (Step != nullptr) Step();
}

}  // namespace

int SoundServiceIsActive(void)
{
    if (SoundService.IsSoundSystemStarted != nullptr) return SoundService.IsSoundSystemStarted() ? 1 : 0;
    return SoundPlatform_IsInitialized();
}

int RunSoundServicePass(void)
{
    // The sound lock and the player lock are never held together. A lock is null while its
    // type is not registered: nothing of that type exists to guard.
    DxCriticalSection *soundLock = SoundHandleTypeLock(DX_HANDLETYPE_SOUND);
    if (soundLock != nullptr) CRITICALSECTION_LOCK(soundLock);
    Run(SoundService.ProcessStreamSounds);
    Run(SoundService.ProcessPlayedSoundList);
    if (soundLock != nullptr) CRITICALSECTION_UNLOCK(soundLock);

    DxCriticalSection *playerLock = SoundHandleTypeLock(DX_HANDLETYPE_SOFTSOUND);
    if (playerLock != nullptr) CRITICALSECTION_LOCK(playerLock);
    Run(SoundService.ProcessSoftSoundPlayers);
    if (playerLock != nullptr) CRITICALSECTION_UNLOCK(playerLock);
    return 0;
}
