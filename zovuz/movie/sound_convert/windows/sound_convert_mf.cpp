// Media Foundation conversion: a source reader over the library's byte stream delivers the first
// audio stream as PCM, sample by sample while the sound plays.
#include <windows.h>
#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>
#include <mfreadwrite.h>
#include <propvarutil.h>
#include <string.h>

#include "zovuz/core/zovuz_core.h"
#include "zovuz/movie/movie_internal.h"
#include "zovuz/movie/sound_convert/windows/mf_byte_stream.h"
#include "zovuz/movie/sound_convert/windows/sound_convert_dshow.h"

namespace {

constexpr DWORD kAudioStream = (DWORD)MF_SOURCE_READER_FIRST_AUDIO_STREAM;
constexpr uint32_t kBlockStart = 4096;

struct MFState
{
    IMFSourceReader *Reader;
    IMFMediaType *CurrentType;
    IMFMediaType *RequestType;
    D_SoundConvertMFByteStream *ByteStream;
    LONGLONG Duration;  // 100 ns units
    uint32_t BlockCapacity;
    unsigned char *Block;
    uint32_t BlockOffset;
    uint32_t BlockSize;
    uint32_t BlockAlign;
    uint32_t BytesPerSecond;
    uint32_t Rate;
};

// Media Foundation is started once, by the first conversion, and shut down once, when the movie
// system has ended and no conversion is left.
bool g_Started = false;
bool g_ShutdownWanted = false;
LONG g_Live = 0;

void ShutdownWhenIdle()
{
    if (g_Started && g_ShutdownWanted && g_Live == 0) {
        GetMFFunctions()->MFShutdown();
        g_Started = false;
        g_ShutdownWanted = false;
    }
}

void FreeState(MFState *S)
{
    if (S->Reader != nullptr) S->Reader->Release();
    if (S->CurrentType != nullptr) S->CurrentType->Release();
    if (S->RequestType != nullptr) S->RequestType->Release();
    if (S->ByteStream != nullptr) S->ByteStream->Release();
    DXFREE(S->Block);
    DXFREE(S);
}

int SoundConvert_SetupMediaFoundation(const StreamFunctionTable *Stream, void *StreamData, void **StateOut,
                                      void *FormatOut, unsigned int *BlockSize)
{
    const MFFunctionTable *mf = GetMFFunctions();
    if (mf == nullptr) return -1;
    int64_t start = Stream->Tell(StreamData);
    Stream->Seek(StreamData, 0, FILE_SEEK_END);
    int64_t size = Stream->Tell(StreamData);
    Stream->Seek(StreamData, start, FILE_SEEK_SET);
    if (size <= 0) return -1;
    if (MediaFoundation_StartOnce() != 0) return -1;
    MFState *s = static_cast<MFState *>(DXCALLOC(sizeof(MFState)));
    if (s == nullptr) return -1;
    g_Live++;
    auto fail = [s]() {
        FreeState(s);
        g_Live--;
        ShutdownWhenIdle();
        return -1;
    };
    // A step whose Media Foundation call failed: the call and its code are logged.
    auto refused = [](const wchar_t *Call, HRESULT Result) {
        if (SUCCEEDED(Result)) return false;
        LogPlatformFailure(Call, (unsigned long)Result);
        return true;
    };
    s->ByteStream = D_SoundConvertMFByteStream_CreateInstance(Stream, StreamData, size);
    if (s->ByteStream == nullptr) return fail();
    SoundConvertMF_StartWorkerThread(s->ByteStream);
    if (refused(L"MFCreateSourceReaderFromByteStream",
                mf->MFCreateSourceReaderFromByteStream(s->ByteStream, nullptr, &s->Reader)))
        return fail();
    if (refused(L"MFCreateMediaType", mf->MFCreateMediaType(&s->RequestType)) ||
        refused(L"IMFMediaType::SetGUID", s->RequestType->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Audio)) ||
        refused(L"IMFMediaType::SetGUID", s->RequestType->SetGUID(MF_MT_SUBTYPE, MFAudioFormat_PCM)) ||
        refused(L"IMFSourceReader::SetCurrentMediaType",
                s->Reader->SetCurrentMediaType(kAudioStream, nullptr, s->RequestType)) ||
        refused(L"IMFSourceReader::GetCurrentMediaType",
                s->Reader->GetCurrentMediaType(kAudioStream, &s->CurrentType)) ||
        refused(L"IMFSourceReader::SetStreamSelection", s->Reader->SetStreamSelection(kAudioStream, TRUE)))
        return fail();
    WAVEFORMATEX *wave = nullptr;
    UINT32 waveSize = 0;
    if (refused(L"MFCreateWaveFormatExFromMFMediaType",
                mf->MFCreateWaveFormatExFromMFMediaType(s->CurrentType, &wave, &waveSize, 0)) ||
        wave == nullptr)
        return fail();
    WORD channels = wave->nChannels, bits = wave->wBitsPerSample;
    DWORD rate = wave->nSamplesPerSec;
    CoTaskMemFree(wave);
    if (channels == 0 || bits == 0 || bits % 8 != 0 || rate == 0) return fail();
    PROPVARIANT duration;
    PropVariantInit(&duration);
    if (refused(L"IMFSourceReader::GetPresentationAttribute",
                s->Reader->GetPresentationAttribute((DWORD)MF_SOURCE_READER_MEDIASOURCE, MF_PD_DURATION, &duration)))
        return fail();
    s->Duration = (LONGLONG)duration.uhVal.QuadPart;
    PropVariantClear(&duration);
    s->BlockCapacity = kBlockStart;
    s->Block = static_cast<unsigned char *>(DXALLOC(kBlockStart));
    if (s->Block == nullptr) return fail();

    WAVEFORMATEX out = {};
    out.wFormatTag = WAVE_FORMAT_PCM;
    out.nChannels = channels;
    out.nSamplesPerSec = rate;
    out.wBitsPerSample = bits;
    out.nBlockAlign = (WORD)(bits / 8 * channels);
    out.nAvgBytesPerSec = out.nBlockAlign * rate;
    s->BlockAlign = out.nBlockAlign;
    s->BytesPerSecond = out.nAvgBytesPerSec;
    s->Rate = rate;
    memcpy(FormatOut, &out, 18);
    *BlockSize = 4096;
    *StateOut = s;
    return 0;
}

// Reads the next sample that starts at or after the output position into the sample block.
int ReadNextSample(MFState *S, long long Position)
{
    for (;;) {
        DWORD flags = 0;
        LONGLONG time = 0;
        IMFSample *sample = nullptr;
        HRESULT hr = S->Reader->ReadSample(kAudioStream, 0, nullptr, &flags, &time, &sample);
        if (FAILED(hr) || (flags & (MF_SOURCE_READERF_ENDOFSTREAM | MF_SOURCE_READERF_CURRENTMEDIATYPECHANGED)) != 0 ||
            sample == nullptr) {
            if (sample != nullptr) sample->Release();
            return -1;
        }
        long long at = time * (long long)S->BytesPerSecond / 10000000;
        if (at < Position) {
            sample->Release();
            continue;
        }
        IMFMediaBuffer *buffer = nullptr;
        BYTE *data = nullptr;
        DWORD length = 0;
        int result = -1;
        if (SUCCEEDED(sample->ConvertToContiguousBuffer(&buffer)) && SUCCEEDED(buffer->Lock(&data, nullptr, &length))) {
            if (length > S->BlockCapacity) {
                unsigned char *grown = static_cast<unsigned char *>(DXALLOC(length + kBlockStart));
                if (grown != nullptr) {
                    DXFREE(S->Block);
                    S->Block = grown;
                    S->BlockCapacity = length + kBlockStart;
                }
            }
            if (length <= S->BlockCapacity) {
                memcpy(S->Block, data, length);
                S->BlockOffset = 0;
                S->BlockSize = length;
                result = 0;
            }
            buffer->Unlock();
        }
        if (buffer != nullptr) buffer->Release();
        sample->Release();
        return result;
    }
}

int SoundConvert_MF_Decode(void *State, void *Dest, unsigned int BlockSize, long long Position)
{
    MFState *s = static_cast<MFState *>(State);
    while (s->BlockOffset >= s->BlockSize) {
        if (ReadNextSample(s, Position) != 0) return -1;
    }
    // Whole frames, at least one, never past the output buffer or the bytes held.
    uint32_t left = s->BlockSize - s->BlockOffset;
    uint32_t n = left < BlockSize ? left : BlockSize;
    n -= n % s->BlockAlign;
    if (n == 0) n = s->BlockAlign;
    if (n > left) n = left;
    if (n > BlockSize) n = BlockSize;
    memcpy(Dest, s->Block + s->BlockOffset, n);
    s->BlockOffset += n;
    return (int)n;
}

int SoundConvert_MF_Seek(void *State, long long Sample)
{
    MFState *s = static_cast<MFState *>(State);
    PROPVARIANT position;
    PropVariantInit(&position);
    position.vt = VT_I8;
    position.hVal.QuadPart = Sample * 10000000LL / s->Rate;
    HRESULT hr = s->Reader->SetCurrentPosition(GUID_NULL, position);
    s->BlockOffset = 0;
    s->BlockSize = 0;
    return SUCCEEDED(hr) ? 0 : -1;
}

long long SoundConvert_MF_GetDestSize(void *State)
{
    MFState *s = static_cast<MFState *>(State);
    return (long long)s->BytesPerSecond * s->Duration / 10000000;
}

void SoundConvert_MF_Release(void *State)
{
    FreeState(static_cast<MFState *>(State));
    g_Live--;
    ShutdownWhenIdle();
}

}  // namespace

const SoundConvertPlatformMethod SoundConvertMFMethod = {SoundConvert_SetupMediaFoundation, SoundConvert_MF_Decode,
                                                         SoundConvert_MF_Seek, SoundConvert_MF_GetDestSize,
                                                         SoundConvert_MF_Release};

int MediaFoundation_StartOnce(void)
{
    const MFFunctionTable *mf = GetMFFunctions();
    if (mf == nullptr) return -1;
    if (!g_Started) {
        if (HRESULT hr = mf->MFStartup(0x20070, MFSTARTUP_FULL); FAILED(hr))
            return LogPlatformFailure(L"MFStartup", (unsigned long)hr);
        g_Started = true;
    }
    // A start after the movie system ended asked for the shut-down is wanted again.
    g_ShutdownWanted = false;
    return 0;
}

void SoundConvertMF_Terminate(void)
{
    g_ShutdownWanted = true;
    ShutdownWhenIdle();
}
