// The sound buffer layer: the one set of operations through which Sound handles, SoftSound
// players and the tone buffers drive a device sound buffer.
//
// A SOUNDBUFFER is embedded in its owner and never allocated here. This layer keeps the state
// the owner reads back (volumes, pan, frequency, loop flag, 3D values) and forwards the rest to
// the device layer (sound_platform_internal.h). Volumes and pans are in DirectSound's units:
// hundredths of a decibel, 0 = full volume and -10000 = silence; pan -10000 (left) .. 10000.
//
// There is no lock here: a caller whose buffer another thread also drives holds the lock that
// guards it (the player lock for SoftSound players, the sound lock for stream sounds and tones).
#pragma once

#include <stdint.h>

#include "zovuz/sound/sound_convert_internal.h"
#include "zovuz/sound/sound_3d_internal.h"
#include "zovuz/sound/sound_reverb_internal.h"

// Channels that keep a volume of their own.
#define SOUNDBUFFER_MAX_CHANNEL_NUM 8

#define SOUNDBUFFER_PAN_LEFT (-10000)
#define SOUNDBUFFER_PAN_RIGHT 10000

// A pan brought into -10000 .. 10000.
inline int ClampSoundPan(int Pan)
{
    return Pan < SOUNDBUFFER_PAN_LEFT    ? SOUNDBUFFER_PAN_LEFT
           : Pan > SOUNDBUFFER_PAN_RIGHT ? SOUNDBUFFER_PAN_RIGHT
                                         : Pan;
}

// The wave data of a buffer whose output path keeps no data of its own (an output path that
// feeds its voices from memory). Shared by duplicates and counted; freed when the count drops
// to 0. DirectSound keeps the data in the device buffer and never makes one.
struct SoundBufferWaveBlock
{
    void *Data;        // first area, 16-byte aligned, Bytes long
    void *DoubleData;  // second area of 2 x Bytes, 16-byte aligned; null when not asked for
    uint32_t Bytes;    // size of the first area
    int RefCount;      // owners of the block
};

// One device sound buffer.
struct SOUNDBUFFER
{
    int Valid;                                // 1 from a successful initialise to the terminate
    int Pan;                                  // -10000 (left) .. 10000 (right)
    int Volume[SOUNDBUFFER_MAX_CHANNEL_NUM];  // per channel, hundredths of a dB, 0 = full
    int Frequency;                            // samples per second; -1 = the format's own rate
    uint32_t SampleNum;                       // length in frames (bytes / block align)
    SoundWaveFormat Format;                   // the buffer's format
    SoundBufferWaveBlock *Wave;               // shared wave data, or null (always null on DirectSound)
    uint32_t PlayPos;                         // own play position in frames, where the device keeps none
    int Loop;                                 // loop flag of the last play

    int Is3D;               // 1 for a 3D buffer; the 3D setters refuse others
    float Position3D[3];    // 3D position
    float Front3D[3];       // front direction
    float Up3D[3];          // up direction
    float Velocity3D[3];    // velocity
    float DistanceScale3D;  // audible radius
    int Changed3D;          // a 3D value changed and is not applied yet
    float Volume3DFactor;   // volume factor worked out by the 3D refresh, 1.0 = none
    float Pan3D;            // pan worked out by the 3D refresh, -1 .. 1

    Sound3DEmitter Emitter;  // the device layer's 3D record of this buffer

    void *DeviceBuffer;  // the device's buffer: IDirectSoundBuffer, or on
                         // XAudio2 the source voice; null when none

    // Output paths that feed their voices from memory (XAudio2). The voice thread moves
    // SubmitPos and PlayPos without a lock.
    int PlayFlag;                  // 1 between a play and a stop (or the end of the data)
    uint32_t SubmitPos;            // next frame to hand to the voice
    int PostStopState;             // 3D: 0 idle, 1 played, 2 stop seen (reverb still sounding)
    int StopTime;                  // millisecond clock when the stop was seen
    void *EffectVoice;             // 3D: the reverb submix voice
    void *ReverbEffect;            // 3D: the reverb effect object
    void *Callback;                // the voice callback object
    SoundReverbParam ReverbParam;  // 3D: the reverb parameters in the device's layout
    int VoiceChannels;             // channels of the source voice (2 for a mono buffer played as stereo)
};

// Every operation returns -1 for a buffer that was never made or was terminated (the 3D setters
// test the 3D flag instead), passes a device failure through as -1, and returns 0 on success.

// Makes the buffer: Bytes of Format, or, with a source buffer, the source's format, length,
// pan, volumes, frequency and 3D values. -1 when the buffer is already made, the source is not
// made, no format is given or the format's block align is 0, or the device side fails.
// The new device buffer holds silence.
int SoundBuffer_Initialize(SOUNDBUFFER *Buffer, uint32_t Bytes, const SoundWaveFormat *Format, SOUNDBUFFER *Src,
                           int Is3D);
int SoundBuffer_Duplicate(SOUNDBUFFER *Buffer, SOUNDBUFFER *Src, int Is3D);
int SoundBuffer_Terminate(SOUNDBUFFER *Buffer);

int SoundBuffer_Play(SOUNDBUFFER *Buffer, int Loop);
int SoundBuffer_Stop(SOUNDBUFFER *Buffer, int EffectOff);
// 1 while playing, 0 when idle, -1 on error.
int SoundBuffer_GetStatus(SOUNDBUFFER *Buffer);

// Cursors in bytes; either pointer may be null.
int SoundBuffer_GetCurrentPosition(SOUNDBUFFER *Buffer, uint32_t *PlayCursor, uint32_t *WriteCursor);
int SoundBuffer_SetCurrentPosition(SOUNDBUFFER *Buffer, uint32_t BytePosition);

int SoundBuffer_GetFrequency(SOUNDBUFFER *Buffer, uint32_t *Frequency);
// 0 restores the format's own rate.
int SoundBuffer_SetFrequency(SOUNDBUFFER *Buffer, uint32_t Frequency);

int SoundBuffer_GetPan(SOUNDBUFFER *Buffer, int *Pan);
// Clamped to -10000 .. 10000; applies pan and volumes.
int SoundBuffer_SetPan(SOUNDBUFFER *Buffer, int Pan);
// Channel 0 .. 7, else -1.
int SoundBuffer_GetVolume(SOUNDBUFFER *Buffer, int Channel, int *Volume);
// Stored as given; applies pan and volumes.
int SoundBuffer_SetVolume(SOUNDBUFFER *Buffer, int Channel, int Volume);
int SoundBuffer_SetVolumeAll(SOUNDBUFFER *Buffer, int Volume);

// Locks a region that may wrap past the end: the first part from the offset, the second (size
// 0 when the region does not wrap) from the start. Write nothing when it returns -1.
int SoundBuffer_Lock(SOUNDBUFFER *Buffer, uint32_t Offset, uint32_t Bytes, void **Ptr1, uint32_t *Size1, void **Ptr2,
                     uint32_t *Size2);
int SoundBuffer_Unlock(SOUNDBUFFER *Buffer, void *Ptr1, uint32_t Size1, void *Ptr2, uint32_t Size2);

// A change below 0.001 in every component is no change. A changed value is handed to the device
// layer and applied at once while the buffer plays; otherwise it waits (Changed3D stays 1).
int SoundBuffer_Set3DPosition(SOUNDBUFFER *Buffer, float X, float Y, float Z);
int SoundBuffer_Set3DVelocity(SOUNDBUFFER *Buffer, float X, float Y, float Z);
int SoundBuffer_Set3DDistanceScale(SOUNDBUFFER *Buffer, float Scale);

// The wave block: one tracked allocation that starts with the SoundBufferWaveBlock header, then
// the areas. Count 1; null when the allocation fails or the size does not fit in 32 bits.
SoundBufferWaveBlock *AllocSoundBufferWaveBlock(uint32_t Bytes, int DoubleArea);
// Raises the count (a sharer); null does nothing.
void AddRefSoundBufferWaveBlock(SoundBufferWaveBlock *Block);
// Lowers the count and frees the block at 0; null does nothing.
void ReleaseSoundBufferWaveBlock(SoundBufferWaveBlock *Block);
