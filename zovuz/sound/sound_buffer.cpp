// The sound buffer layer: checks, the state the owners read back, and the device calls.
#include "zovuz/sound/sound_buffer_internal.h"
#include "zovuz/sound/sound_platform_internal.h"

#include "zovuz/core/zovuz_core.h"

#include <string.h>

namespace {

// A new 3D value within this of the stored one in every component is no change.
constexpr float Change3DEpsilon = 0.001f;

constexpr float Default3DDistanceScale = 14.0f;

bool Differs(const float *Stored, const float *New, int Count)
{
    for (int i = 0; i < Count; i++) {
        float d = Stored[i] - New[i];
        if (d >= Change3DEpsilon || d <= -Change3DEpsilon) return true;
    }
    return false;
}

void Set3(float *Dest, float X, float Y, float Z)
{
    Dest[0] = X;
    Dest[1] = Y;
    Dest[2] = Z;
}

// After a 3D value changed: apply it now while the buffer plays, else leave the changed flag
// for the next play.
int Apply3DChange(SOUNDBUFFER *Buffer)
{
    Buffer->Changed3D = 1;
    if (!SoundBuffer_Platform_HasDeviceBuffer(Buffer) || SoundBuffer_Platform_GetStatus(Buffer) != 1) return 0;
    if (SoundBuffer_Platform_Refresh3DSound(Buffer) == 0) Buffer->Changed3D = 0;
    return 0;
}

// A 3D vector setter: the stored vector, and the device layer's setter for it.
int Set3DVector(SOUNDBUFFER *Buffer, float (SOUNDBUFFER::*Member)[3],
                int (*PlatformSet)(SOUNDBUFFER *, float, float, float), float X, float Y, float Z)
{
    if (Buffer == nullptr || !Buffer->Is3D) return -1;
    const float value[3] = {X, Y, Z};
    float *stored = Buffer->*Member;
    if (!Differs(stored, value, 3)) return 0;
    Set3(stored, X, Y, Z);
    PlatformSet(Buffer, X, Y, Z);
    return Apply3DChange(Buffer);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Wave block

SoundBufferWaveBlock *AllocSoundBufferWaveBlock(uint32_t Bytes, int DoubleArea)
{
    // size + 32, or with the second area size + 32 + 2 x size + 32.
    uint64_t total = DoubleArea ? uint64_t(Bytes) * 3 + 64 : uint64_t(Bytes) + 32;
    if (total > 0xFFFFFFFFu) return nullptr;
    char *memory = static_cast<char *>(DXALLOC(size_t(total)));
    if (memory == nullptr) return nullptr;
    static_assert(sizeof(SoundBufferWaveBlock) <= 16, "the areas start 16 bytes in at the earliest");
    SoundBufferWaveBlock *block = reinterpret_cast<SoundBufferWaveBlock *>(memory);
    uintptr_t first = (reinterpret_cast<uintptr_t>(memory) + 31) & ~uintptr_t(15);
    block->Data = reinterpret_cast<void *>(first);
    block->DoubleData = DoubleArea ? reinterpret_cast<void *>((first + Bytes + 15) & ~uintptr_t(15)) : nullptr;
    block->Bytes = Bytes;
    block->RefCount = 1;
    return block;
}

void AddRefSoundBufferWaveBlock(SoundBufferWaveBlock *Block)
{
    if (Block != nullptr) Block->RefCount++;
}

void ReleaseSoundBufferWaveBlock(SoundBufferWaveBlock *Block)
{
    if (Block == nullptr) return;
    if (--Block->RefCount <= 0) DXFREE(Block);
}

// ---------------------------------------------------------------------------------------------
// Life

int SoundBuffer_Initialize(SOUNDBUFFER *Buffer, uint32_t Bytes, const SoundWaveFormat *Format, SOUNDBUFFER *Src,
                           int Is3D)
{
    if (Buffer == nullptr || Buffer->Valid) return -1;
    // A source must be a made buffer; without one the format must give whole frames.
    if (Src != nullptr ? !Src->Valid || Src->Format.nBlockAlign == 0 : Format == nullptr || Format->nBlockAlign == 0)
        return -1;

    // The device side reads the format and length as it makes its part.
    Buffer->Format = Src != nullptr ? Src->Format : *Format;
    Buffer->SampleNum = Src != nullptr ? Src->SampleNum : Bytes / Format->nBlockAlign;
    Buffer->Wave = nullptr;
    Buffer->PlayPos = 0;
    Buffer->Loop = 0;
    Buffer->Is3D = Is3D;
    Buffer->Changed3D = 0;
    Buffer->DeviceBuffer = nullptr;

    // An output path that feeds from memory shares the source's wave data.
    if (Src != nullptr && Src->Wave != nullptr) {
        Buffer->Wave = Src->Wave;
        AddRefSoundBufferWaveBlock(Buffer->Wave);
    }

    if (SoundBuffer_Platform_Initialize(Buffer, Bytes, Format, Src, Is3D) != 0) {
        ReleaseSoundBufferWaveBlock(Buffer->Wave);
        Buffer->Wave = nullptr;
        Buffer->DeviceBuffer = nullptr;
        return -1;
    }
    if (Is3D && SoundBuffer_Platform_Initialize3D(Buffer, Src, Is3D) != 0) {
        SoundBuffer_Platform_Terminate(Buffer);
        ReleaseSoundBufferWaveBlock(Buffer->Wave);
        Buffer->Wave = nullptr;
        Buffer->DeviceBuffer = nullptr;
        return -1;
    }

    if (Src != nullptr) {
        Buffer->Pan = Src->Pan;
        memcpy(Buffer->Volume, Src->Volume, sizeof(Buffer->Volume));
        Buffer->Frequency = Src->Frequency;
        memcpy(Buffer->Position3D, Src->Position3D, sizeof(Buffer->Position3D));
        memcpy(Buffer->Front3D, Src->Front3D, sizeof(Buffer->Front3D));
        memcpy(Buffer->Up3D, Src->Up3D, sizeof(Buffer->Up3D));
        memcpy(Buffer->Velocity3D, Src->Velocity3D, sizeof(Buffer->Velocity3D));
        Buffer->DistanceScale3D = Src->DistanceScale3D;
        Buffer->Volume3DFactor = Src->Volume3DFactor;
        Buffer->Pan3D = Src->Pan3D;
    } else {
        Buffer->Pan = 0;
        memset(Buffer->Volume, 0, sizeof(Buffer->Volume));
        Buffer->Frequency = -1;
        Set3(Buffer->Position3D, 0.0f, 0.0f, 0.0f);
        Set3(Buffer->Front3D, 0.0f, 0.0f, 1.0f);
        Set3(Buffer->Up3D, 0.0f, 1.0f, 0.0f);
        Set3(Buffer->Velocity3D, 0.0f, 0.0f, 0.0f);
        Buffer->DistanceScale3D = Default3DDistanceScale;
        Buffer->Volume3DFactor = 1.0f;
        Buffer->Pan3D = 0.0f;
    }
    Buffer->Valid = 1;
    return 0;
}

int SoundBuffer_Duplicate(SOUNDBUFFER *Buffer, SOUNDBUFFER *Src, int Is3D)
{
    if (Src == nullptr) return -1;
    return SoundBuffer_Initialize(Buffer, 0, nullptr, Src, Is3D);
}

int SoundBuffer_Terminate(SOUNDBUFFER *Buffer)
{
    if (Buffer == nullptr || !Buffer->Valid) return -1;
    SoundBuffer_Platform_Terminate(Buffer);
    ReleaseSoundBufferWaveBlock(Buffer->Wave);
    Buffer->Wave = nullptr;
    Buffer->Valid = 0;
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Play state and positions

int SoundBuffer_Play(SOUNDBUFFER *Buffer, int Loop)
{
    if (Buffer == nullptr || !Buffer->Valid) return -1;
    Buffer->Loop = Loop;
    return SoundBuffer_Platform_Play(Buffer, Loop);
}

int SoundBuffer_Stop(SOUNDBUFFER *Buffer, int EffectOff)
{
    if (Buffer == nullptr || !Buffer->Valid) return -1;
    return SoundBuffer_Platform_Stop(Buffer, EffectOff);
}

int SoundBuffer_GetStatus(SOUNDBUFFER *Buffer)
{
    if (Buffer == nullptr || !Buffer->Valid) return -1;
    return SoundBuffer_Platform_GetStatus(Buffer);
}

int SoundBuffer_GetCurrentPosition(SOUNDBUFFER *Buffer, uint32_t *PlayCursor, uint32_t *WriteCursor)
{
    if (Buffer == nullptr || !Buffer->Valid) return -1;
    int result = SoundBuffer_Platform_GetCurrentPosition(Buffer, PlayCursor, WriteCursor);
    if (result == SOUND_PLATFORM_ANSWER_OWN_STATE) {
        uint32_t position = Buffer->PlayPos * Buffer->Format.nBlockAlign;
        if (PlayCursor != nullptr) *PlayCursor = position;
        if (WriteCursor != nullptr) *WriteCursor = position;
        return 0;
    }
    return result < 0 ? -1 : 0;
}

int SoundBuffer_SetCurrentPosition(SOUNDBUFFER *Buffer, uint32_t BytePosition)
{
    if (Buffer == nullptr || !Buffer->Valid) return -1;
    return SoundBuffer_Platform_SetCurrentPosition(Buffer, BytePosition);
}

// ---------------------------------------------------------------------------------------------
// Frequency, pan and volumes

int SoundBuffer_GetFrequency(SOUNDBUFFER *Buffer, uint32_t *Frequency)
{
    if (Buffer == nullptr || !Buffer->Valid || Frequency == nullptr) return -1;
    uint32_t value = 0;
    int result = SoundBuffer_Platform_GetFrequency(Buffer, &value);
    if (result == SOUND_PLATFORM_ANSWER_OWN_STATE)
        value = Buffer->Frequency == -1 ? Buffer->Format.nSamplesPerSec : uint32_t(Buffer->Frequency);
    else if (result != 0)
        return -1;
    *Frequency = value;
    return 0;
}

int SoundBuffer_SetFrequency(SOUNDBUFFER *Buffer, uint32_t Frequency)
{
    if (Buffer == nullptr || !Buffer->Valid) return -1;
    Buffer->Frequency = Frequency == 0 ? -1 : int(Frequency);
    return SoundBuffer_Platform_SetFrequency(Buffer, Frequency);
}

int SoundBuffer_GetPan(SOUNDBUFFER *Buffer, int *Pan)
{
    if (Buffer == nullptr || !Buffer->Valid || Pan == nullptr) return -1;
    *Pan = Buffer->Pan;
    return 0;
}

int SoundBuffer_SetPan(SOUNDBUFFER *Buffer, int Pan)
{
    if (Buffer == nullptr || !Buffer->Valid) return -1;
    Buffer->Pan = ClampSoundPan(Pan);
    return SoundBuffer_Platform_RefreshVolume(Buffer);
}

int SoundBuffer_GetVolume(SOUNDBUFFER *Buffer, int Channel, int *Volume)
{
    if (Buffer == nullptr || !Buffer->Valid || Volume == nullptr) return -1;
    if (Channel < 0 || Channel >= SOUNDBUFFER_MAX_CHANNEL_NUM) return -1;
    *Volume = Buffer->Volume[Channel];
    return 0;
}

int SoundBuffer_SetVolume(SOUNDBUFFER *Buffer, int Channel, int Volume)
{
    if (Buffer == nullptr || !Buffer->Valid) return -1;
    if (Channel < 0 || Channel >= SOUNDBUFFER_MAX_CHANNEL_NUM) return -1;
    Buffer->Volume[Channel] = Volume;
    return SoundBuffer_Platform_RefreshVolume(Buffer);
}

int SoundBuffer_SetVolumeAll(SOUNDBUFFER *Buffer, int Volume)
{
    if (Buffer == nullptr || !Buffer->Valid) return -1;
    for (int &channel : Buffer->Volume) channel = Volume;
    return SoundBuffer_Platform_RefreshVolume(Buffer);
}

// ---------------------------------------------------------------------------------------------
// Data

int SoundBuffer_Lock(SOUNDBUFFER *Buffer, uint32_t Offset, uint32_t Bytes, void **Ptr1, uint32_t *Size1, void **Ptr2,
                     uint32_t *Size2)
{
    if (Buffer == nullptr || !Buffer->Valid || Ptr1 == nullptr || Size1 == nullptr || Ptr2 == nullptr ||
        Size2 == nullptr)
        return -1;
    int result = SoundBuffer_Platform_Lock(Buffer, Offset, Bytes, Ptr1, Size1, Ptr2, Size2);
    if (result != SOUND_PLATFORM_ANSWER_OWN_STATE) return result < 0 ? -1 : 0;

    // Cut the region from the wave block, in whole frames. A region that starts outside the
    // buffer, or is longer than the buffer, is refused rather than read past the block.
    uint32_t align = Buffer->Format.nBlockAlign;
    uint32_t offset = Offset / align;
    uint32_t count = Bytes / align;
    if (Buffer->Wave == nullptr || offset >= Buffer->SampleNum || count > Buffer->SampleNum) return -1;
    char *data = static_cast<char *>(Buffer->Wave->Data);
    *Ptr1 = data + offset * align;
    if (offset + count > Buffer->SampleNum) {
        *Size1 = (Buffer->SampleNum - offset) * align;
        *Ptr2 = data;
        *Size2 = (offset + count - Buffer->SampleNum) * align;
    } else {
        *Size1 = count * align;
        *Ptr2 = nullptr;
        *Size2 = 0;
    }
    return 0;
}

int SoundBuffer_Unlock(SOUNDBUFFER *Buffer, void *Ptr1, uint32_t Size1, void *Ptr2, uint32_t Size2)
{
    if (Buffer == nullptr || !Buffer->Valid) return -1;
    return SoundBuffer_Platform_Unlock(Buffer, Ptr1, Size1, Ptr2, Size2);
}

// ---------------------------------------------------------------------------------------------
// 3D

int SoundBuffer_Set3DPosition(SOUNDBUFFER *Buffer, float X, float Y, float Z)
{
    return Set3DVector(Buffer, &SOUNDBUFFER::Position3D, SoundBuffer_Platform_Set3DPosition, X, Y, Z);
}

int SoundBuffer_Set3DVelocity(SOUNDBUFFER *Buffer, float X, float Y, float Z)
{
    return Set3DVector(Buffer, &SOUNDBUFFER::Velocity3D, SoundBuffer_Platform_Set3DVelocity, X, Y, Z);
}

int SoundBuffer_Set3DDistanceScale(SOUNDBUFFER *Buffer, float Scale)
{
    if (Buffer == nullptr || !Buffer->Is3D) return -1;
    if (!Differs(&Buffer->DistanceScale3D, &Scale, 1)) return 0;
    Buffer->DistanceScale3D = Scale;
    SoundBuffer_Platform_Set3DDistanceScale(Buffer, Scale);
    return Apply3DChange(Buffer);
}
