// Sound handles: plays, stops and properties, the played list, the delete-after-play list and
// the pause of every Sound handle while the window is inactive.
#include "zovuz/sound/sound_handle_internal.h"
#include "zovuz/sound/sound_platform_internal.h"

#include <math.h>
#include <string.h>

namespace {

// The buffer a property is read from: the one the last play used, or the stream's. Null when the
// handle has none.
SOUNDBUFFER *CurrentBuffer(SoundHandleData *Sound)
{
    if (Sound->Type == SOUND_TYPE_STREAM) return StreamSoundBuffer(Sound);
    return Sound->BufferNum > 0 ? &Sound->Buffer[Sound->BufferPlayIndex] : nullptr;
}

// Every buffer a property is set on.
template <typename Function>
void ForEachBuffer(SoundHandleData *Sound, Function Apply)
{
    if (Sound->Type == SOUND_TYPE_STREAM) {
        if (SOUNDBUFFER *buffer = StreamSoundBuffer(Sound)) Apply(buffer);
        return;
    }
    for (int i = 0; i < Sound->BufferNum; i++) Apply(&Sound->Buffer[i]);
}

// A frequency as the buffers take it: 0 is the format's own rate, and the scale applies to it.
uint32_t BufferFrequency(const SoundHandleData *Sound, int Frequency)
{
    if (!Sound->FrequencyScaleFlag) return uint32_t(Frequency);
    double base = Frequency != 0 ? Frequency : double(Sound->BufferFormat.nSamplesPerSec);
    return uint32_t(base * Sound->FrequencyScale);
}

template <typename T>
const T &Take(SoundNextPlayValue<T> &Next, const T &Own)
{
    if (!Next.Flag) return Own;
    Next.Flag = 0;
    return Next.Value;
}

// A sound that no longer plays: none of its buffers plays or is paused.
bool StillPlaying(SoundHandleData *Sound)
{
    if (Sound->Type == SOUND_TYPE_STREAM)
        return CheckStreamSoundPlaying(Sound->HandleInfo.Handle) == 1 || Sound->BufferPaused[0];
    for (int i = 0; i < Sound->BufferNum; i++)
        if (Sound->BufferPaused[i] || SoundBuffer_GetStatus(&Sound->Buffer[i]) == 1) return true;
    return false;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Playing

void ApplySoundHandleSettings(SoundHandleData *Sound, SOUNDBUFFER *Buffer)
{
    auto &next = Sound->NextPlay;
    for (int channel = 0; channel < SOUNDBUFFER_MAX_CHANNEL_NUM; channel++)
        SoundBuffer_SetVolume(Buffer, channel, Take(next.Volume[channel], Sound->Volume[channel]));
    SoundBuffer_SetPan(Buffer, Take(next.Pan, Sound->Pan));
    SoundBuffer_SetFrequency(Buffer, BufferFrequency(Sound, Take(next.Frequency, Sound->Frequency)));
    if (!Sound->Is3DSound) return;
    const float *position = Take(next.Position3D, Sound->Position3D);
    SoundBuffer_Set3DPosition(Buffer, position[0], position[1], position[2]);
    SoundBuffer_Set3DDistanceScale(Buffer, Take(next.DistanceScale3D, Sound->DistanceScale3D));
    const float *velocity = Take(next.Velocity3D, Sound->Velocity3D);
    SoundBuffer_Set3DVelocity(Buffer, velocity[0], velocity[1], velocity[2]);
    if (Buffer->Changed3D && SoundBuffer_Platform_Refresh3DSound(Buffer) == 0) Buffer->Changed3D = 0;
}

void AddToPlayedSoundList(SoundHandleData *Sound, int SoundHandle)
{
    if (!Sound->Is3DSound) return;
    CRITICALSECTION_GUARD(guard, &SoundSystem.PlayedListLock);
    if (Sound->OnPlayedList) return;
    HandleListAdd(&SoundSystem.PlayedListFirst, &Sound->PlayedList, SoundHandle, Sound);
    Sound->OnPlayedList = 1;
}

int WaitSoundPlayEnd(int SoundHandle)
{
    if (ProcessMessageNoLock() != 0) return 0;
    while (CheckSoundPlaying(SoundHandle) == 1) {
        ThreadSleep(1);
        if (ProcessMessageNoLock() != 0) break;
    }
    return 0;
}

int PlaySoundHandle(int SoundHandle, int PlayType, int TopPositionFlag)
{
    SoundHandleData *sound = SoundHandleOf(SoundHandle, 0);
    if (sound == nullptr) return -1;
    if (!GetWindowActiveFlag() && !GetWindowActivationBusyFlag()) WaitWhileWindowInactive();
    if (sound->Type == SOUND_TYPE_STREAM) return PlayStreamSound(SoundHandle, PlayType, TopPositionFlag);
    if (sound->BufferNum < 1) return -1;

    // The next buffer in turn. One still playing is restarted only from the top.
    int previous = sound->BufferPlayIndex;
    int index = (previous + 1) % sound->BufferNum;
    sound->BufferPlayIndex = index;
    SOUNDBUFFER *buffer = &sound->Buffer[index];
    if (SoundBuffer_GetStatus(buffer) == 1) {
        if (!TopPositionFlag) return 0;
        SoundBuffer_Stop(buffer, 1);
    }
    uint32_t position = 0;
    if (!TopPositionFlag) SoundBuffer_GetCurrentPosition(&sound->Buffer[previous], &position, nullptr);
    SoundBuffer_SetCurrentPosition(buffer, position);
    ApplySoundHandleSettings(sound, buffer);

    if (SoundBuffer_Play(buffer, PlayType == DX_PLAYTYPE_LOOP ? 1 : 0) < 0) return -1;
    AddToPlayedSoundList(sound, SoundHandle);
    return PlayType == DX_PLAYTYPE_NORMAL ? WaitSoundPlayEnd(SoundHandle) : 0;
}

int StopSoundHandle(int SoundHandle)
{
    SoundHandleData *sound = SoundHandleOf(SoundHandle, 0);
    if (sound == nullptr) return -1;
    if (sound->Type == SOUND_TYPE_STREAM) return StopStreamSound(SoundHandle);
    for (int i = 0; i < sound->BufferNum; i++) {
        sound->BufferPaused[i] = 0;
        sound->BufferWasPlaying[i] = 0;
        int status = SoundBuffer_GetStatus(&sound->Buffer[i]);
        if (status < 0) return -1;
        if (status == 1) SoundBuffer_Stop(&sound->Buffer[i], 1);
    }
    return 0;
}

int CheckSoundPlaying(int SoundHandle)
{
    SoundHandleData *sound = SoundHandleOf(SoundHandle, 0);
    if (sound == nullptr) return -1;
    if (sound->Type == SOUND_TYPE_STREAM) return CheckStreamSoundPlaying(SoundHandle);
    // A buffer paused by the window's deactivation counts as playing when it was playing then.
    for (int i = 0; i < sound->BufferNum; i++) {
        if (sound->BufferPaused[i] ? sound->BufferWasPlaying[i] : SoundBuffer_GetStatus(&sound->Buffer[i]) == 1)
            return 1;
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Length and position

int GetSoundTotalSample(int SoundHandle, int AllowLoading)
{
    SoundHandleData *sound = SoundHandleOf(SoundHandle, AllowLoading);
    if (sound == nullptr || sound->BufferFormat.nBlockAlign == 0) return -1;
    if (sound->Type == SOUND_TYPE_STREAM) return sound->Stream.TotalSample;
    return sound->Normal.WaveSize / sound->BufferFormat.nBlockAlign;
}

int GetSoundTotalTime(int SoundHandle)
{
    int samples = GetSoundTotalSample(SoundHandle, 0);
    if (samples < 0) return -1;
    return ConvertSampleToMilliSec(int(SoundHandleOf(SoundHandle, 0)->BufferFormat.nSamplesPerSec), samples);
}

int GetSoundCurrentPosition(int SoundHandle)
{
    SoundHandleData *sound = SoundHandleOf(SoundHandle, 0);
    if (sound == nullptr) return -1;
    if (sound->Type == SOUND_TYPE_STREAM) return GetStreamSoundCurrentPosition(SoundHandle);
    uint32_t cursor;
    if (SoundBuffer_GetCurrentPosition(CurrentBuffer(sound), &cursor, nullptr) < 0) return -1;
    return int(cursor);
}

int SetSoundCurrentPosition(int BytePosition, int SoundHandle)
{
    SoundHandleData *sound = SoundHandleOf(SoundHandle, 0);
    if (sound == nullptr || BytePosition < 0) return -1;
    if (sound->Type == SOUND_TYPE_STREAM) return SetStreamSoundCurrentPosition(BytePosition, SoundHandle);
    return SoundBuffer_SetCurrentPosition(CurrentBuffer(sound), uint32_t(BytePosition));
}

int SetSoundCurrentTime(int MilliSec, int SoundHandle)
{
    SoundHandleData *sound = SoundHandleOf(SoundHandle, 0);
    if (sound == nullptr || MilliSec < 0) return -1;
    if (sound->Type == SOUND_TYPE_STREAM) return SetStreamSoundCurrentTime(MilliSec, SoundHandle);
    int sample = ConvertMilliSecToSample(int(sound->BufferFormat.nSamplesPerSec), MilliSec);
    return SoundBuffer_SetCurrentPosition(CurrentBuffer(sound), uint32_t(sample) * sound->BufferFormat.nBlockAlign);
}

// ---------------------------------------------------------------------------------------------
// Frequency, pan and volume

int GetSoundFrequency(int SoundHandle)
{
    SoundHandleData *sound = SoundHandleOf(SoundHandle, 0);
    uint32_t frequency;
    if (sound == nullptr || SoundBuffer_GetFrequency(CurrentBuffer(sound), &frequency) < 0) return -1;
    return int(frequency);
}

int SetSoundFrequency(int Frequency, int SoundHandle)
{
    SoundHandleData *sound = SoundHandleOf(SoundHandle, 0);
    if (sound == nullptr || Frequency < -1) return -1;
    int stored = Frequency == -1 ? 0 : Frequency;
    uint32_t applied = BufferFrequency(sound, stored);
    ForEachBuffer(sound, [applied](SOUNDBUFFER *Buffer) { SoundBuffer_SetFrequency(Buffer, applied); });
    sound->Frequency = stored;
    return 0;
}

int GetSoundPan(int SoundHandle)
{
    SoundHandleData *sound = SoundHandleOf(SoundHandle, 0);
    int pan;
    if (sound == nullptr || SoundBuffer_GetPan(CurrentBuffer(sound), &pan) < 0) return -1;
    return pan;
}

int SetSoundPan(int Pan, int SoundHandle)
{
    SoundHandleData *sound = SoundHandleOf(SoundHandle, 0);
    if (sound == nullptr) return -1;
    Pan = ClampSoundPan(Pan);
    ForEachBuffer(sound, [Pan](SOUNDBUFFER *Buffer) { SoundBuffer_SetPan(Buffer, Pan); });
    sound->Pan = Pan;
    return 0;
}

int GetSoundVolume(int Channel, int SoundHandle)
{
    SoundHandleData *sound = SoundHandleOf(SoundHandle, 0);
    int volume;
    if (sound == nullptr || SoundBuffer_GetVolume(CurrentBuffer(sound), Channel, &volume) < 0) return -1;
    return volume + 10000;
}

int SetSoundVolume(int Volume, int SoundHandle)
{
    SoundHandleData *sound = SoundHandleOf(SoundHandle, 0);
    if (sound == nullptr) return -1;
    int volume = Volume < 0 ? -10000 : Volume - 10000;
    ForEachBuffer(sound, [volume](SOUNDBUFFER *Buffer) { SoundBuffer_SetVolumeAll(Buffer, volume); });
    int linear = int(256.0 * pow(10.0, volume / 5000.0) / 0.9999999999);
    for (int channel = 0; channel < SOUNDBUFFER_MAX_CHANNEL_NUM; channel++) {
        sound->Volume[channel] = volume;
        sound->LinearVolume[channel] = linear;
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Periodic steps and the window's deactivation

int ProcessPlayedSoundList(void)
{
    if (!IsSoundDeviceReady() || !IsSoundSystemInitialized()) return -1;
    // A 3D sound stays on the list while the device has post-stop work for one of its buffers.
    CRITICALSECTION_GUARD(guard, &SoundSystem.PlayedListLock);
    HandleListNode *node = SoundSystem.PlayedListFirst.Next;
    while (node->Next != nullptr) {
        SoundHandleData *sound = static_cast<SoundHandleData *>(node->Data);
        bool needed = false;
        for (SOUNDBUFFER &buffer : sound->Buffer)
            if (buffer.Valid && SoundBuffer_Platform_ProcessPostStop(&buffer) != -1) needed = true;
        if (needed) {
            node = node->Next;
            continue;
        }
        sound->OnPlayedList = 0;
        HandleListRemove(node);
        node = SoundSystem.PlayedListFirst.Next;
    }
    return 0;
}

int ProcessDeleteOnPlayEndSounds(void)
{
    if (!IsSoundDeviceReady() || !IsSoundSystemInitialized()) return -1;
    CRITICALSECTION_GUARD(guard, SoundHandleTypeLock(DX_HANDLETYPE_SOUND));
    HandleListNode *node = SoundSystem.DeleteOnPlayEndListFirst.Next;
    while (node->Next != nullptr) {
        SoundHandleData *sound = SoundHandleOf(node->Handle, 0);
        if (sound == nullptr || StillPlaying(sound)) {
            node = node->Next;
            continue;
        }
        SubHandle(node->Handle);
        node = SoundSystem.DeleteOnPlayEndListFirst.Next;
    }
    return 0;
}

int PauseAllSoundHandles(int PauseFlag)
{
    if (!IsSoundSystemInitialized() || !IsSoundDeviceReady()) return -1;
    HandleManage &manage = *GetHandleManage(DX_HANDLETYPE_SOUND);
    CRITICALSECTION_GUARD(guard, &manage.CriticalSection);
    for (HandleListNode *node = manage.ListFirst.Next; node->Next != nullptr; node = node->Next) {
        SoundHandleData *sound = static_cast<SoundHandleData *>(node->Data);
        if (sound->HandleInfo.ASyncLoadCount != 0) continue;
        for (int i = 0; i < SOUND_BUFFER_MAX_NUM; i++) {
            SOUNDBUFFER *buffer = &sound->Buffer[i];
            if (!buffer->Valid || !SoundBuffer_Platform_HasDeviceBuffer(buffer)) continue;
            if (!PauseFlag) {
                if (sound->BufferPaused[i] && sound->BufferWasPlaying[i]) SoundBuffer_Play(buffer, buffer->Loop);
                sound->BufferPaused[i] = 0;
                continue;
            }
            if (sound->BufferPaused[i]) continue;
            int status = SoundBuffer_GetStatus(buffer);
            if (status < 0) continue;
            sound->BufferPaused[i] = 1;
            sound->BufferWasPlaying[i] = status == 1 ? 1 : 0;
            if (status == 1) SoundBuffer_Stop(buffer, 1);
        }
    }
    return 0;
}
