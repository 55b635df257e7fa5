// The device side of the buffer operations: one lookup in the installed table, and the
// DirectSound volume and pan law.
#include "zovuz/sound/sound_platform_internal.h"
#include "zovuz/sound/sound_buffer_internal.h"

#include <math.h>

namespace {

struct SoundPlatformDispatchData
{
    const SoundBufferPlatformFunctions *Functions;  // the device's table; null = no device
};
SoundPlatformDispatchData SoundPlatformDispatch;

// The installed table's entry, or null when there is no table or no such entry.
template <typename Entry>
Entry Lookup(Entry SoundBufferPlatformFunctions::*Member)
{
    const SoundBufferPlatformFunctions *table = SoundPlatformDispatch.Functions;
    return table != nullptr ? table->*Member : nullptr;
}

constexpr int SilentVolume = -10000;

int ClampVolume(int Volume) { return Volume < SilentVolume ? SilentVolume : Volume > 0 ? 0 : Volume; }

// A gain (1.0 = full) in hundredths of a decibel; no gain is silence.
int GainToVolume(double Gain)
{
    if (Gain <= 0.0) return SilentVolume;
    return ClampVolume(int(2000.0 * log10(Gain)));
}

}  // namespace

const SoundBufferPlatformFunctions *SoundPlatform_SetBufferFunctions(const SoundBufferPlatformFunctions *Functions)
{
    const SoundBufferPlatformFunctions *previous = SoundPlatformDispatch.Functions;
    SoundPlatformDispatch.Functions = Functions;
    return previous;
}

const SoundBufferPlatformFunctions *SoundPlatform_GetBufferFunctions(void) { return SoundPlatformDispatch.Functions; }

// ---------------------------------------------------------------------------------------------
// Dispatch

int SoundBuffer_Platform_Initialize(SOUNDBUFFER *Buffer, uint32_t Bytes, const SoundWaveFormat *Format,
                                    SOUNDBUFFER *Src, int Is3D)
{
    auto entry = Lookup(&SoundBufferPlatformFunctions::Initialize);
    return entry ? entry(Buffer, Bytes, Format, Src, Is3D) : -1;
}

int SoundBuffer_Platform_Terminate(SOUNDBUFFER *Buffer)
{
    auto entry = Lookup(&SoundBufferPlatformFunctions::Terminate);
    int result = entry ? entry(Buffer) : -1;
    Buffer->DeviceBuffer = nullptr;
    return result;
}

int SoundBuffer_Platform_HasDeviceBuffer(SOUNDBUFFER *Buffer) { return Buffer->DeviceBuffer != nullptr ? 1 : 0; }

int SoundBuffer_Platform_GetStatus(SOUNDBUFFER *Buffer)
{
    auto entry = Lookup(&SoundBufferPlatformFunctions::GetStatus);
    return entry ? entry(Buffer) : -1;
}

int SoundBuffer_Platform_Play(SOUNDBUFFER *Buffer, int Loop)
{
    auto entry = Lookup(&SoundBufferPlatformFunctions::Play);
    return entry ? entry(Buffer, Loop) : -1;
}

int SoundBuffer_Platform_Stop(SOUNDBUFFER *Buffer, int EffectOff)
{
    auto entry = Lookup(&SoundBufferPlatformFunctions::Stop);
    return entry ? entry(Buffer, EffectOff) : -1;
}

int SoundBuffer_Platform_GetCurrentPosition(SOUNDBUFFER *Buffer, uint32_t *PlayCursor, uint32_t *WriteCursor)
{
    auto entry = Lookup(&SoundBufferPlatformFunctions::GetCurrentPosition);
    return entry ? entry(Buffer, PlayCursor, WriteCursor) : -1;
}

int SoundBuffer_Platform_SetCurrentPosition(SOUNDBUFFER *Buffer, uint32_t BytePosition)
{
    auto entry = Lookup(&SoundBufferPlatformFunctions::SetCurrentPosition);
    return entry ? entry(Buffer, BytePosition) : -1;
}

int SoundBuffer_Platform_GetFrequency(SOUNDBUFFER *Buffer, uint32_t *Frequency)
{
    auto entry = Lookup(&SoundBufferPlatformFunctions::GetFrequency);
    return entry ? entry(Buffer, Frequency) : -1;
}

int SoundBuffer_Platform_SetFrequency(SOUNDBUFFER *Buffer, uint32_t Frequency)
{
    auto entry = Lookup(&SoundBufferPlatformFunctions::SetFrequency);
    return entry ? entry(Buffer, Frequency) : -1;
}

int SoundBuffer_Platform_Lock(SOUNDBUFFER *Buffer, uint32_t Offset, uint32_t Bytes, void **Ptr1, uint32_t *Size1,
                              void **Ptr2, uint32_t *Size2)
{
    auto entry = Lookup(&SoundBufferPlatformFunctions::Lock);
    return entry ? entry(Buffer, Offset, Bytes, Ptr1, Size1, Ptr2, Size2) : -1;
}

int SoundBuffer_Platform_Unlock(SOUNDBUFFER *Buffer, void *Ptr1, uint32_t Size1, void *Ptr2, uint32_t Size2)
{
    auto entry = Lookup(&SoundBufferPlatformFunctions::Unlock);
    return entry ? entry(Buffer, Ptr1, Size1, Ptr2, Size2) : -1;
}

int SoundBuffer_Platform_RefreshVolume(SOUNDBUFFER *Buffer)
{
    auto entry = Lookup(&SoundBufferPlatformFunctions::RefreshVolume);
    return entry ? entry(Buffer) : -1;
}

int SoundBuffer_Platform_Refresh3DSound(SOUNDBUFFER *Buffer)
{
    auto entry = Lookup(&SoundBufferPlatformFunctions::Refresh3DSound);
    return entry ? entry(Buffer) : -1;
}

int SoundBuffer_Platform_ProcessPostStop(SOUNDBUFFER *Buffer)
{
    auto entry = Lookup(&SoundBufferPlatformFunctions::ProcessPostStop);
    return entry ? entry(Buffer) : -1;
}

// ---------------------------------------------------------------------------------------------
// DirectSound volume and pan

void SoundBuffer_DirectSoundVolumePan(const SOUNDBUFFER *Buffer, int *Volume, int *Pan)
{
    int channels = Buffer->Format.nChannels;
    if (channels > SOUNDBUFFER_MAX_CHANNEL_NUM) channels = SOUNDBUFFER_MAX_CHANNEL_NUM;

    // More than two channels: DirectSound has one volume; the pan is passed as it is.
    if (channels > 2) {
        *Volume = ClampVolume(Buffer->Volume[0]);
        *Pan = Buffer->Pan;
        return;
    }

    if (!Buffer->Is3D) {
        // The first channel's level, shared out between the sides by the pan, then folded back
        // into one volume (the louder side) and one pan (how much quieter the other side is).
        int level = ClampVolume(Buffer->Volume[0]) + 10000;
        int p = Buffer->Pan;
        int left = p < 0 ? 10000 : 10000 - p;
        int right = p < 0 ? 10000 + p : 10000;
        int l = level * left / 10000;
        int r = level * right / 10000;
        if (l > r) {
            *Volume = l - 10000;
            *Pan = int(10000.0 / l * r) - 10000;
        } else if (l < r) {
            *Volume = r - 10000;
            *Pan = 10000 - int(10000.0 / r * l);
        } else {
            *Volume = l - 10000;
            *Pan = 0;
        }
        return;
    }

    // A 3D buffer: each side's gain from its own channel volume, the 3D volume factor and the
    // 3D pan, then the buffer's own pan as a further cut of the other side. The louder side
    // becomes the volume and the difference the pan. A mono buffer uses its one volume twice.
    double pan3d = Buffer->Pan3D;
    int rightChannel = channels == 2 ? 1 : 0;
    double leftGain = pow(10.0, ClampVolume(Buffer->Volume[0]) / 2000.0) * Buffer->Volume3DFactor;
    double rightGain = pow(10.0, ClampVolume(Buffer->Volume[rightChannel]) / 2000.0) * Buffer->Volume3DFactor;
    if (pan3d < 0.0) leftGain *= 1.0 + pan3d;
    if (pan3d > 0.0) rightGain *= 1.0 - pan3d;
    int leftVolume = GainToVolume(leftGain);
    int rightVolume = GainToVolume(rightGain);
    if (Buffer->Pan > 0) leftVolume = ClampVolume(leftVolume - Buffer->Pan);
    if (Buffer->Pan < 0) rightVolume = ClampVolume(rightVolume + Buffer->Pan);
    *Volume = leftVolume > rightVolume ? leftVolume : rightVolume;
    *Pan = ClampSoundPan(rightVolume - leftVolume);
}
