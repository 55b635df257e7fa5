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

// The load parameters every sound loader is given: fifteen 32-bit words.
struct LoadSoundParam {
    int KeepFlag;                  // 1: the handle survives the sound layer's delete-all
    int Is3DSound;                 // 1: a 3D sound
    int CreateType;                // 0 memory sound; 1, 2, 3 stream sound of that source kind
    int PitchChangeFlag;           // always 0 here: sounds keep their pitch
    float PitchRate;               // 1.0
    int TimeStretchFlag;           // always 0 here: sounds keep their length
    float TimeStretchRate;         // 1.0
    int LoopStartMilliSec;         // loop start in milliseconds
    int LoopStartSample;           // loop start in frames
    int LoopEndMilliSec;           // loop end in milliseconds
    int LoopEndSample;             // loop end in frames
    int IgnoreFileLoop;            // 1: the file's own loop is not used
    int ConvertSkipMask;           // SOUND_CONV_SKIP_* bits of the converters to leave out
    int ConvertOggVorbisBitDepth;  // Ogg Vorbis sample width in bytes (2)
    int ConvertOggVorbisDecoder;   // Ogg Vorbis open selector
};
static_assert(sizeof(LoadSoundParam) == 60, "the load parameters are fifteen words");

// Fills the parameters from the sound-creation settings. A memory sound asked for with a loop
// becomes a stream sound of the image (create type 2). 0.
int InitLoadSoundParam(LoadSoundParam *Param);

// One tone buffer: half a second of mono 16-bit sound at 44100 Hz, refilled from a wave table
// while it plays.
constexpr int SOUND_TONE_NUM = 3;
constexpr int SOUND_TONE_BUFFER_FRAMES = 22050;
constexpr int SOUND_TONE_REFILL_FRAMES = 5512;  // written per refill, and the least kept ahead

struct SoundToneData {
    SOUNDBUFFER Buffer;       // the device buffer
    int WriteFrame;           // where the next refill writes, 0 .. SOUND_TONE_BUFFER_FRAMES - 1
    int WaveReadIndex;        // next sample of the wave table
    int WaveLength;           // samples in the wave table
    int16_t *Wave;            // the wave table (owned), null when none is set
    int VolumeRestoreFlag;    // 1: channel 0 goes back to full volume 16 ms after VolumeRestoreTime
    int VolumeRestoreTime;    // millisecond clock
    int StopFlag;             // 1: the buffer stops 16 ms after StopTime
    int StopTime;             // millisecond clock
};

// The Sound handle record. Sound handles are not built yet: the type is registered so that the
// layer's locks, lists and deletions are in place, and no Sound handle is ever made.
struct SoundHandleData {
    HandleInfo HandleInfo;
    int KeepFlag;  // 1: survives the sound layer's delete-all
};

// The Music handle record.
struct MusicHandleData {
    HandleInfo HandleInfo;
    int PlayFlag;       // 1 while playing
    int PlayStartFlag;  // second play-state word, cleared with PlayFlag
    int Volume;         // 0 .. 255
    void *MidiData;     // the MIDI file image (owned), or null
    int MidiDataSize;   // its size in bytes
    void *Segment;      // the output device's object for the music, or null
};

// The sound layer's process-wide state.
struct SoundSystemData {
    int InitializeFlag;                       // 1 from the device's start to the end of TerminateSoundSystem
    uint32_t OutputSampleRate;                // 44100 unless set before the start
    LoadSoundParam CreateSoundParam;          // the sound-creation settings InitLoadSoundParam copies

    DxCriticalSection Sound3DListLock;        // guards the list of 3D sounds
    DxCriticalSection PlayedListLock;         // guards the played list
    DxCriticalSection StreamListLock;         // guards the list of stream sounds
    int LocksMade;                            // 1 while the three locks exist

    HandleListNode Sound3DListFirst, Sound3DListLast;            // 3D sounds
    HandleListNode StreamSoundListFirst, StreamSoundListLast;    // stream sounds
    HandleListNode SoftSoundPlayerListFirst, SoftSoundPlayerListLast;  // SoftSound players (player lock)
    HandleListNode DeleteOnPlayEndListFirst, DeleteOnPlayEndListLast;  // Sound handles deleted when they end
    HandleListNode PlayedListFirst, PlayedListLast;              // played Sound handles

    SoundToneData Tone[SOUND_TONE_NUM];       // the tone buffers

    int CurrentMusicHandle;                   // the current music, 0 when none
    int CurrentMusicIsSound;                  // 1: CurrentMusicHandle is a Sound handle
};
extern SoundSystemData SoundSystem;

// 1 while the sound system is started.
int IsSoundSystemInitialized(void);
// 1 while the sound device is ready.
int IsSoundDeviceReady(void);
// The lock of a registered handle type (the sound lock, the player lock), else null.
DxCriticalSection *SoundHandleTypeLock(int HandleType);

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
