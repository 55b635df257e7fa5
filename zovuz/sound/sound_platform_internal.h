// The sound device layer: the one sound device of the process and the device side of every
// SOUNDBUFFER.
//
// The device is DirectSound (windows/dsound_device_win.cpp), or XAudio2 when it is switched on
// (windows/xaudio2_device_win.cpp); in the DirectMusic MIDI modes the DirectMusic performance
// makes the DirectSound device (windows/midi_output_win.cpp). The buffer operations reach the
// device through one table of functions, SoundBufferPlatformFunctions: the device start installs
// its path's table, and a test installs a scripted one (a play cursor it moves itself, memory
// it locks) to drive the buffer layer and the refill logic without a device.
//
// An operation may answer 2 instead of acting: the device keeps no position, frequency or data
// of its own for that buffer, and the buffer layer answers from its own bookkeeping.
#pragma once

#include <stdint.h>

struct SOUNDBUFFER;
struct SoundWaveFormat;
struct SoundReverbParam;

// Answer of a device operation that leaves the work to the buffer layer.
#define SOUND_PLATFORM_ANSWER_OWN_STATE 2

// The device side of the buffer operations. Every entry takes a made buffer (the buffer layer
// checks its valid flag first); a null entry fails with -1.
struct SoundBufferPlatformFunctions
{
    // Makes the device buffer: Bytes of Format, or with Src the source's format and length. 0 / -1.
    int (*Initialize)(SOUNDBUFFER *Buffer, uint32_t Bytes, const SoundWaveFormat *Format, SOUNDBUFFER *Src, int Is3D);
    int (*Terminate)(SOUNDBUFFER *Buffer);            // releases it; 0
    int (*GetStatus)(SOUNDBUFFER *Buffer);            // 1 playing, 0 idle, -1
    int (*Play)(SOUNDBUFFER *Buffer, int Loop);       // 0 / -1
    int (*Stop)(SOUNDBUFFER *Buffer, int EffectOff);  // 0
    int (*GetCurrentPosition)(SOUNDBUFFER *Buffer, uint32_t *PlayCursor, uint32_t *WriteCursor);  // 0 / 2
    int (*SetCurrentPosition)(SOUNDBUFFER *Buffer, uint32_t BytePosition);                        // 0
    int (*GetFrequency)(SOUNDBUFFER *Buffer, uint32_t *Frequency);                                // 0 / -1 / 2
    int (*SetFrequency)(SOUNDBUFFER *Buffer, uint32_t Frequency);  // 0 = the format's rate; 0
    int (*Lock)(SOUNDBUFFER *Buffer, uint32_t Offset, uint32_t Bytes, void **Ptr1, uint32_t *Size1, void **Ptr2,
                uint32_t *Size2);                                                                // 0 / -1 / 2
    int (*Unlock)(SOUNDBUFFER *Buffer, void *Ptr1, uint32_t Size1, void *Ptr2, uint32_t Size2);  // 0 / -1
    int (*RefreshVolume)(SOUNDBUFFER *Buffer);    // applies volumes and pan; 0
    int (*Refresh3DSound)(SOUNDBUFFER *Buffer);   // applies the 3D state; 0 / -1
    int (*ProcessPostStop)(SOUNDBUFFER *Buffer);  // -1 = nothing to do
};

// Installs the table the buffer operations use and returns the one it replaces. Null leaves
// every buffer operation failing. The device start installs the DirectSound table and the
// device end removes it.
const SoundBufferPlatformFunctions *SoundPlatform_SetBufferFunctions(const SoundBufferPlatformFunctions *Functions);
const SoundBufferPlatformFunctions *SoundPlatform_GetBufferFunctions(void);

// --- device life (windows/sound_device_win.cpp) --------------------------------------------

// Starts the device: DirectMusic with DirectSound in MIDI modes 1 and 2 (MCI with DirectSound
// when DirectMusic cannot be made), else XAudio2 when its flag is on (DirectSound when XAudio2
// fails), else DirectSound; then the 3D listener's defaults. 0, or -1 when the device already
// exists or cannot be started.
int InitializeSoundPlatform(void);
// Deletes the temporary MIDI file, ends DirectMusic, and releases the device. 0.
int TerminateSoundPlatform(void);
// 1 while the device exists, else 0.
int SoundPlatform_IsInitialized(void);
// The XAudio2 switch, read by the next device start (nothing in the program sets it). 0, or -1
// while the device exists.
int SoundPlatform_SetXAudio2Flag(int Flag);
// 1 while XAudio2 is chosen (cleared when its start fails or DirectMusic runs).
int SoundPlatform_GetXAudio2Flag(void);

// A reverb preset (0 .. 29) in the running XAudio2 version's layout (56 bytes for 2.8, 52 for
// 2.7). 0; 0 without copying for a null record; -1 when XAudio2 is not running or the preset
// does not exist.
int GetReverbPresetParam(SoundReverbParam *Param, int PresetNo);

// --- the device side of each buffer operation, through the installed table ------------------

int SoundBuffer_Platform_Initialize(SOUNDBUFFER *Buffer, uint32_t Bytes, const SoundWaveFormat *Format,
                                    SOUNDBUFFER *Src, int Is3D);
// The emitter record: its defaults, or the source buffer's. Nothing for a buffer that is not 3D. 0.
int SoundBuffer_Platform_Initialize3D(SOUNDBUFFER *Buffer, SOUNDBUFFER *Src, int Is3D);
int SoundBuffer_Platform_Terminate(SOUNDBUFFER *Buffer);
int SoundBuffer_Platform_HasDeviceBuffer(SOUNDBUFFER *Buffer);
int SoundBuffer_Platform_GetStatus(SOUNDBUFFER *Buffer);
int SoundBuffer_Platform_Play(SOUNDBUFFER *Buffer, int Loop);
int SoundBuffer_Platform_Stop(SOUNDBUFFER *Buffer, int EffectOff);
int SoundBuffer_Platform_GetCurrentPosition(SOUNDBUFFER *Buffer, uint32_t *PlayCursor, uint32_t *WriteCursor);
int SoundBuffer_Platform_SetCurrentPosition(SOUNDBUFFER *Buffer, uint32_t BytePosition);
int SoundBuffer_Platform_GetFrequency(SOUNDBUFFER *Buffer, uint32_t *Frequency);
int SoundBuffer_Platform_SetFrequency(SOUNDBUFFER *Buffer, uint32_t Frequency);
int SoundBuffer_Platform_Lock(SOUNDBUFFER *Buffer, uint32_t Offset, uint32_t Bytes, void **Ptr1, uint32_t *Size1,
                              void **Ptr2, uint32_t *Size2);
int SoundBuffer_Platform_Unlock(SOUNDBUFFER *Buffer, void *Ptr1, uint32_t Size1, void *Ptr2, uint32_t Size2);
int SoundBuffer_Platform_RefreshVolume(SOUNDBUFFER *Buffer);
int SoundBuffer_Platform_Refresh3DSound(SOUNDBUFFER *Buffer);
// The emitter's position, velocity and distance scaler are stored for the next 3D refresh. 0.
int SoundBuffer_Platform_Set3DPosition(SOUNDBUFFER *Buffer, float X, float Y, float Z);
int SoundBuffer_Platform_Set3DVelocity(SOUNDBUFFER *Buffer, float X, float Y, float Z);
int SoundBuffer_Platform_Set3DDistanceScale(SOUNDBUFFER *Buffer, float Scale);
int SoundBuffer_Platform_ProcessPostStop(SOUNDBUFFER *Buffer);

// The single DirectSound volume and pan that stand for the buffer's volumes and pan (and, for a
// 3D buffer, its 3D volume factor and pan): what the DirectSound RefreshVolume sends with
// SetPan and SetVolume. Both within DirectSound's ranges.
void SoundBuffer_DirectSoundVolumePan(const SOUNDBUFFER *Buffer, int *Volume, int *Pan);
