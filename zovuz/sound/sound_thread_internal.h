// The sound service: the periodic work that keeps the device buffers fed (stream sounds
// refilled, played Sound handles examined, every playing SoftSound player topped up from its
// frame queue).
//
// With 2 or more processors a sound thread of its own runs one pass every 10 ms at
// time-critical priority (windows/sound_thread_win.cpp). Otherwise, or when that thread could
// not be made, the message pump runs the same steps on each of its passes, through the core's
// hook table: SoundThreadExists tells it whether a thread runs.
#pragma once

#include "zovuz/sound/zovuz_sound.h"

// The sound system's side of the service. The sound system fills the table when it starts; a
// null entry has nothing to do. With IsSoundSystemStarted null, the device's presence stands in
// for the sound system's started flag.
struct SoundServiceFunctions
{
    int (*IsSoundSystemStarted)(void);     // 1 while the sound system is started
    int (*ProcessStreamSounds)(void);      // refills the playing stream sounds and the tones
    int (*ProcessPlayedSoundList)(void);   // post-stop work of the played Sound handles
    int (*ProcessSoftSoundPlayers)(void);  // refills every playing SoftSound player
};
extern SoundServiceFunctions SoundService;

// One pass of the sound thread: the stream sounds and the played list under the sound lock,
// then, with that lock released, the SoftSound players under the player lock. The two locks are
// the Sound and SoftSound handle types' own; a type that is not registered is not locked. 0.
int RunSoundServicePass(void);

// 1 while the service runs (the sound system is started), else 0.
int SoundServiceIsActive(void);

// Makes the sound thread when the machine has more than one processor and logs the end of the
// device start. A thread that cannot be made is logged and leaves the service to the message
// pump. 0.
int StartSoundThread(void);

// Asks the thread to stop and waits until it has ended, pumping window messages meanwhile so a
// pass waiting for the user-interface thread can finish. -1 when the device does not exist;
// 0 otherwise (at once when there is no thread).
int StopSoundThread(void);

// SoundThreadExists (zovuz_sound.h): 1 while a sound thread has been made and not yet stopped,
// else 0 (the message pump then runs the refill steps itself).

// The stop flag: 1 = asked to stop, 2 = the thread has stopped; other values let it run.
int GetSoundThreadStopFlag(void);

// Test hook: non-zero makes the next thread creations fail as if CreateThread had failed. 0.
int SetSoundThreadCreateFailForTest(int Fail);
