// Support for the sound tests.
#include "sound_device_support.h"

#include "zovuz/core/system_info_internal.h"
#include "zovuz/sound/sound_thread_internal.h"

#include <windows.h>

#include <math.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>
#include <stdlib.h>
#include <string.h>

namespace {

std::string ReadLogBytes()
{
    std::ifstream file("Log.txt", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

ScriptedSoundDevice *Current;

ScriptedDeviceBuffer *Scripted(SOUNDBUFFER *Buffer)
{
    return static_cast<ScriptedDeviceBuffer *>(Buffer->DeviceBuffer);
}

int Initialize(SOUNDBUFFER *Buffer, uint32_t Bytes, const SoundWaveFormat *Format, SOUNDBUFFER *Src, int)
{
    Buffer->DeviceBuffer = nullptr;
    if (Current->FailInitialize)
        return -1;
    const SoundWaveFormat &format = Src != nullptr ? Src->Format : *Format;
    uint32_t bytes = Src != nullptr ? Src->SampleNum * format.nBlockAlign : Bytes;
    ScriptedDeviceBuffer *buffer = new ScriptedDeviceBuffer;
    buffer->Data.assign(bytes, 0);
    Buffer->DeviceBuffer = buffer;
    Current->LiveBuffers++;
    return 0;
}

int Terminate(SOUNDBUFFER *Buffer)
{
    delete Scripted(Buffer);
    Buffer->DeviceBuffer = nullptr;
    Current->LiveBuffers--;
    return 0;
}

int GetStatus(SOUNDBUFFER *Buffer)
{
    return Current->FailDeviceCalls ? -1 : Scripted(Buffer)->Playing ? 1 : 0;
}

int Play(SOUNDBUFFER *Buffer, int Loop)
{
    if (Current->FailDeviceCalls)
        return -1;
    Scripted(Buffer)->Playing = true;
    Scripted(Buffer)->LoopFlag = Loop;
    return 0;
}

int Stop(SOUNDBUFFER *Buffer, int)
{
    Scripted(Buffer)->Playing = false;
    return 0;
}

int GetCurrentPosition(SOUNDBUFFER *Buffer, uint32_t *PlayCursor, uint32_t *WriteCursor)
{
    if (Current->AnswerOwnState)
        return SOUND_PLATFORM_ANSWER_OWN_STATE;
    if (PlayCursor != nullptr)
        *PlayCursor = Scripted(Buffer)->PlayCursor;
    if (WriteCursor != nullptr)
        *WriteCursor = Scripted(Buffer)->WriteCursor;
    return 0;
}

int SetCurrentPosition(SOUNDBUFFER *Buffer, uint32_t BytePosition)
{
    Scripted(Buffer)->PlayCursor = BytePosition;
    return 0;
}

int GetFrequency(SOUNDBUFFER *Buffer, uint32_t *Frequency)
{
    if (Current->AnswerOwnState)
        return SOUND_PLATFORM_ANSWER_OWN_STATE;
    if (Current->FailDeviceCalls)
        return -1;
    uint32_t frequency = Scripted(Buffer)->Frequency;
    *Frequency = frequency != 0 ? frequency : Buffer->Format.nSamplesPerSec;
    return 0;
}

int SetFrequency(SOUNDBUFFER *Buffer, uint32_t Frequency)
{
    Scripted(Buffer)->Frequency = Frequency;
    return 0;
}

// As DirectSound: a region inside the buffer, wrapping to its start.
int Lock(SOUNDBUFFER *Buffer, uint32_t Offset, uint32_t Bytes, void **Ptr1, uint32_t *Size1, void **Ptr2,
         uint32_t *Size2)
{
    if (Current->AnswerOwnState)
        return SOUND_PLATFORM_ANSWER_OWN_STATE;
    std::vector<uint8_t> &data = Scripted(Buffer)->Data;
    if (Current->FailDeviceCalls || Offset >= data.size() || Bytes > data.size())
        return -1;
    uint32_t first = std::min<uint32_t>(Bytes, uint32_t(data.size()) - Offset);
    *Ptr1 = data.data() + Offset;
    *Size1 = first;
    *Ptr2 = first < Bytes ? data.data() : nullptr;
    *Size2 = Bytes - first;
    Scripted(Buffer)->OpenLocks++;
    return 0;
}

int Unlock(SOUNDBUFFER *Buffer, void *, uint32_t, void *, uint32_t)
{
    Scripted(Buffer)->OpenLocks--;
    return 0;
}

int RefreshVolume(SOUNDBUFFER *Buffer)
{
    Scripted(Buffer)->VolumeRefreshes++;
    return 0;
}

int Refresh3DSound(SOUNDBUFFER *Buffer)
{
    Scripted(Buffer)->Refreshes3D++;
    return Current->Refresh3DResult;
}

int ProcessPostStop(SOUNDBUFFER *)
{
    return -1;
}

const SoundBufferPlatformFunctions ScriptedFunctions = {
    .Initialize = Initialize,
    .Terminate = Terminate,
    .GetStatus = GetStatus,
    .Play = Play,
    .Stop = Stop,
    .GetCurrentPosition = GetCurrentPosition,
    .SetCurrentPosition = SetCurrentPosition,
    .GetFrequency = GetFrequency,
    .SetFrequency = SetFrequency,
    .Lock = Lock,
    .Unlock = Unlock,
    .RefreshVolume = RefreshVolume,
    .Refresh3DSound = Refresh3DSound,
    .ProcessPostStop = ProcessPostStop,
};

}  // namespace

LogReader::LogReader() : start_(ReadLogBytes().size()) {}

std::wstring LogReader::Appended() const
{
    std::string bytes = ReadLogBytes();
    if (bytes.size() <= start_)
        return std::wstring();
    std::wstring text((bytes.size() - start_) / 2, L'\0');
    memcpy(&text[0], bytes.data() + start_, text.size() * 2);
    text = std::regex_replace(text, std::wregex(L"\r\n"), L"\n");
    return std::regex_replace(text, std::wregex(L"(^|\n)[0-9]+:"), L"$1#:");
}

bool LogReader::HasInOrder(const std::vector<std::wstring> &Pieces) const
{
    std::wstring text = Appended();
    size_t at = 0;
    for (const std::wstring &piece : Pieces)
    {
        at = text.find(piece, at);
        if (at == std::wstring::npos)
            return false;
        at += piece.size();
    }
    return true;
}

ScriptedSoundDevice::ScriptedSoundDevice()
{
    Current = this;
    previous_ = SoundPlatform_SetBufferFunctions(&ScriptedFunctions);
}

ScriptedSoundDevice::~ScriptedSoundDevice()
{
    SoundPlatform_SetBufferFunctions(previous_);
    Current = nullptr;
}

ScriptedDeviceBuffer *ScriptedSoundDevice::Of(const SOUNDBUFFER *Buffer)
{
    return SoundPlatform_GetBufferFunctions() == &ScriptedFunctions
               ? static_cast<ScriptedDeviceBuffer *>(Buffer->DeviceBuffer)
               : nullptr;
}

SoundWaveFormat Pcm16Format(int Channels, uint32_t Rate)
{
    SoundWaveFormat format = {};
    format.wFormatTag = 1;
    format.nChannels = uint16_t(Channels);
    format.nSamplesPerSec = Rate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = uint16_t(2 * Channels);
    format.nAvgBytesPerSec = Rate * format.nBlockAlign;
    return format;
}

SoundSystemSession::SoundSystemSession(bool WithThread)
{
    InitializeCom();
    SetSoundThreadCreateFailForTest(WithThread ? 0 : 1);
    StartResult = InitializeSoundSystem();
    SetSoundThreadCreateFailForTest(0);
}

SoundSystemSession::~SoundSystemSession()
{
    TerminateSoundSystem();
}

double TestPlaySeconds()
{
    const char *text = getenv("TARVEX_TONE_SECONDS");
    double seconds = text != nullptr ? atof(text) : 0.0;
    return seconds > 0.0 ? seconds : 1.0;
}

bool WaitUntilHandleIsGone(int Handle)
{
    for (int i = 0; i < 5000 && HandleCheck(Handle) != nullptr; i++)
    {
        ProcessMainThreadRequests();
        Sleep(1);
    }
    return HandleCheck(Handle) == nullptr;
}

double PlayedPerElapsed(SOUNDBUFFER &Buffer, double Seconds)
{
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    uint32_t previous = 0;
    SoundBuffer_GetCurrentPosition(&Buffer, &previous, nullptr);
    // The rate is measured from the cursor's first step: the stream's start-up in the sound
    // server (a few hundred milliseconds on a busy machine) is not its speed. A cursor that
    // never moves gives 0.
    for (int waited = 0;; waited += 2)
    {
        uint32_t play = 0;
        SoundBuffer_GetCurrentPosition(&Buffer, &play, nullptr);
        if (play != previous)
        {
            previous = play;
            break;
        }
        if (waited >= 2000)
            return 0.0;
        Sleep(2);
    }
    QueryPerformanceCounter(&start);
    uint32_t bytes = Buffer.SampleNum * Buffer.Format.nBlockAlign;
    double nearest = 0.0;
    for (int window = 0; window < RealTimeWindows && fabs(nearest - 1.0) > RealTimeTolerance; window++)
    {
        uint64_t advanced = 0;
        do
        {
            Sleep(20);
            uint32_t play = 0;
            SoundBuffer_GetCurrentPosition(&Buffer, &play, nullptr);
            advanced += (play + bytes - previous) % bytes;
            previous = play;
            QueryPerformanceCounter(&now);
        } while (now.QuadPart - start.QuadPart < LONGLONG(frequency.QuadPart * Seconds));
        double elapsed = double(now.QuadPart - start.QuadPart) / double(frequency.QuadPart);
        double rate = double(advanced) / Buffer.Format.nAvgBytesPerSec / elapsed;
        if (fabs(rate - 1.0) < fabs(nearest - 1.0))
            nearest = rate;
        start = now;
    }
    return nearest;
}

void WriteSine(void *Data, uint32_t Bytes, uint32_t FirstFrame, double Hertz, double Amplitude)
{
    int16_t *samples = static_cast<int16_t *>(Data);
    for (uint32_t frame = 0; frame < Bytes / 4; frame++)
    {
        double t = double(FirstFrame + frame) / 44100.0;
        int16_t value = int16_t(lround(Amplitude * 32767.0 * sin(2.0 * M_PI * Hertz * t)));
        samples[frame * 2] = value;
        samples[frame * 2 + 1] = value;
    }
}

bool AllZero(const void *Data, uint32_t Bytes)
{
    const uint8_t *bytes = static_cast<const uint8_t *>(Data);
    for (uint32_t i = 0; i < Bytes; i++)
        if (bytes[i] != 0)
            return false;
    return true;
}

int NumberedSignalSample(int64_t Frame, int Channel, int RampPeriod, int ToneHz)
{
    if (Channel == 0)
        return int(lround(0.5 * 32767.0 * sin(2.0 * M_PI * double(ToneHz) * double(Frame) / 44100.0)));
    return int(Frame % RampPeriod) * 16 - 32768;
}
