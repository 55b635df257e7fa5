// The sound system's own state: its started flag, the sound-creation settings every load starts
// from, the layer's locks and handle lists, the tone buffers and the records of the handle types
// it registers ("Sound", "SoftSound", "Music").
//
// Locks, in the order they may be taken: the sound lock (the Sound type's own lock) before the
// stream-list lock and before the played-list lock. The player lock (the SoftSound type's own
// lock) is never held together with another lock of the layer.
#pragma once

#include <stdint.h>

#include "zovuz/core/zovuz_core.h"
#include "zovuz/sound/sound_buffer_internal.h"
#include "zovuz/sound/zovuz_sound.h"

// One tone buffer: half a second of mono 16-bit sound at 44100 Hz, refilled from a wave table
// while it plays.
constexpr int SOUND_TONE_NUM = 3;
constexpr int SOUND_TONE_BUFFER_FRAMES = 22050;
constexpr int SOUND_TONE_REFILL_FRAMES = 5512;  // written per refill, and the least kept ahead

struct SoundToneData
{
    SOUNDBUFFER Buffer;     // the device buffer
    int WriteFrame;         // where the next refill writes, 0 .. SOUND_TONE_BUFFER_FRAMES - 1
    int WaveReadIndex;      // next sample of the wave table
    int WaveLength;         // samples in the wave table
    int16_t *Wave;          // the wave table (owned), null when none is set
    int VolumeRestoreFlag;  // 1: channel 0 goes back to full volume 16 ms after VolumeRestoreTime
    int VolumeRestoreTime;  // millisecond clock
    int StopFlag;           // 1: the buffer stops 16 ms after StopTime
    int StopTime;           // millisecond clock
};

// The Music handle record.
struct MusicHandleData
{
    HandleInfo HandleInfo;
    int PlayFlag;        // 1 while playing
    int PlayStartFlag;   // second play-state word, cleared with PlayFlag; DirectMusic: 1 once the
                         // segment was seen playing
    int Volume;          // 0 .. 255
    void *MidiData;      // the MIDI file image (owned), or null
    int MidiDataSize;    // its size in bytes
    void *Segment;       // DirectMusic: the music's segment (IDirectMusicSegment8), or null
    void *SegmentState;  // DirectMusic: the segment's play state, or null
};

// The sound layer's process-wide state.
struct SoundSystemData
{
    int InitializeFlag;               // 1 from the device's start to the end of TerminateSoundSystem
    uint32_t OutputSampleRate;        // 44100 unless set before the start
    LoadSoundParam CreateSoundParam;  // the sound-creation settings InitLoadSoundParam copies

    DxCriticalSection Sound3DListLock;  // guards the list of 3D sounds
    DxCriticalSection PlayedListLock;   // guards the played list
    DxCriticalSection StreamListLock;   // guards the list of stream sounds
    int LocksMade;                      // 1 while the three locks exist

    HandleListNode Sound3DListFirst, Sound3DListLast;                  // 3D sounds
    HandleListNode StreamSoundListFirst, StreamSoundListLast;          // stream sounds
    HandleListNode SoftSoundPlayerListFirst, SoftSoundPlayerListLast;  // SoftSound players (player lock)
    HandleListNode DeleteOnPlayEndListFirst, DeleteOnPlayEndListLast;  // Sound handles deleted when they end
    HandleListNode PlayedListFirst, PlayedListLast;                    // played Sound handles

    SoundToneData Tone[SOUND_TONE_NUM];  // the tone buffers

    // The one 3D listener is the device layer's (Sound3DListener, sound_3d_internal.h): the start
    // gives it its defaults, as every device start does.

    int CurrentMusicHandle;   // the current music, 0 when none
    int CurrentMusicIsSound;  // 1: CurrentMusicHandle is a Sound handle
};
extern SoundSystemData SoundSystem;

// 1 while the sound system is started.
int IsSoundSystemInitialized(void);
// 1 while the sound device is ready.
int IsSoundDeviceReady(void);
// The lock of a registered handle type (the sound lock, the player lock), else null.
DxCriticalSection *SoundHandleTypeLock(int HandleType);

// ---- handle creation jobs (sound_system.cpp) -------------------------------------------------

// The handle when its set-up succeeded; otherwise it is deleted and the result is -1.
int KeepSoundLayerHandleIfSetUp(int Handle, int SetupResult);
// Queues a job record for the handle it finishes, tied to it under the handle type's lock, for
// which the job's closing DecASyncLoadCount waits. The handle, or -1 with the job freed and the
// handle deleted.
int QueueSoundLayerHandleJob(int Handle, ASyncLoadData *Job);
// The end of a creation job: the handle is no longer loading, and goes when its set-up failed.
void FinishSoundLayerHandleJob(int Handle, int Result);

// Queues Function as the job that finishes a handle made for it, with its parameters in one
// record (AllocASyncLoadJob). The handle, or -1 with the handle deleted.
template <typename Params>
int QueueSoundLayerHandleJob(int Handle, ASyncLoadFunction Function, const Params &Parameters)
{
    ASyncLoadData *job = AllocASyncLoadJob(Function, Parameters);
    if (job == nullptr) return KeepSoundLayerHandleIfSetUp(Handle, -1);
    return QueueSoundLayerHandleJob(Handle, job);
}

// ---- tone buffers (sound_tone.cpp) ----------------------------------------------------------

// Makes the three tone buffers: 0, or -1 (logged) when one cannot be made or is already made.
int InitializeSoundTones(void);
// Releases the tone buffers and their wave tables. 0.
int TerminateSoundTones(void);
// One refill of a playing tone buffer and its timed volume restore and stop. Now is the
// millisecond clock. 0, or -1 when the buffer cannot be locked.
int ProcessSoundTone(SoundToneData *Tone, int Now);

// ---- SoftSound handles (soft_sound.cpp) -----------------------------------------------------

// The SoftSound type's terminate callback.
int TerminateSoftSoundHandle(HandleInfo *Info);
// Deletes every SoftSound data handle, then every player. 0.
int DeleteAllSoftSoundHandles(void);

// ---- Music handles (music_handle.cpp) -------------------------------------------------------

int InitializeMusicHandle(HandleInfo *Info);
int TerminateMusicHandle(HandleInfo *Info);
