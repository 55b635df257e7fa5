// Media Foundation movie playback: a source reader delivers the first video stream as planar
// "IYUV" frames, one at a time on the caller's thread; the library runs the frame clock itself
// and plays the sound track as a Sound handle of the same file.
#include <mferror.h>
#include <propvarutil.h>
#include <string.h>

#include "zovuz/core/zovuz_core.h"
#include "zovuz/movie/sound_convert/windows/mf_byte_stream.h"
#include "zovuz/movie/playback/windows/movie_platform_win.h"

namespace {

constexpr DWORD kVideoStream = (DWORD)MF_SOURCE_READER_FIRST_VIDEO_STREAM;
// Frames larger than this are refused: their buffers could not be addressed.
constexpr uint64_t kMaxFrameBytes = 0x40000000;
// A stream without a usable frame rate runs at 60 frames a second (166,666 per frame).
constexpr UINT32 kDefaultRate = 60;

void ReleaseObjects(MoviePlatformData *P)
{
    ReleaseAndClear(P->SourceReader);
    ReleaseAndClear(P->NativeType);
    ReleaseAndClear(P->OutputType);
    DXFREE(P->RGBBuffer);
    DXFREE(P->YBuffer);
    DXFREE(P->UVBuffer);
    P->RGBBuffer = P->YBuffer = P->UVBuffer = nullptr;
}

int Fail(MoviePlatformData *P)
{
    ReleaseObjects(P);
    // The copy goes with the failure, so the next player starts from the user's own path.
    MoviePlatform_DeleteTempFile(P);
    return -1;
}

// An open given up because a Media Foundation call failed: the call and its code are logged.
int Fail(MoviePlatformData *P, const wchar_t *Call, HRESULT Result)
{
    Fail(P);
    return LogPlatformFailure(Call, (unsigned long)Result);
}

bool GraphsInUse() { return Graphics_Hardware_GetShaderVersion() >= 200; }

// Frame * Unit / the frame rate: the time at which Frame begins, in 1 / Unit seconds.
uint64_t FrameStart(const MoviePlatformData *P, int Frame, uint64_t Unit)
{
    return MovieClock_MulDiv((uint64_t)Frame, (uint64_t)P->RateDenominator * Unit, P->RateNumerator);
}

MovieYUVFrame FrameOf(const MoviePlatformData *P)
{
    return MovieYUVFrame{P->YBuffer,  P->YWidth,  P->YHeight,  P->YPitch,
                         P->UVBuffer, P->UVWidth, P->UVHeight, P->UVPitch};
}

// Reads samples until the one of the current frame; 1 when a sample was kept in *Sample.
int ReadUpToCurrentFrame(MoviePlatformData *P, IMFSample **Sample)
{
    *Sample = nullptr;
    while (P->ReadFrame < P->MFCurrentFrame) {
        ReleaseAndClear(*Sample);
        DWORD flags = 0;
        LONGLONG time = 0;
        HRESULT hr;
        // A change of type comes with no frame of its own; a reader that keeps announcing one
        // is given up on rather than read for ever.
        int tries = 0;
        do {
            ReleaseAndClear(*Sample);
            hr = P->SourceReader->ReadSample(kVideoStream, 0, nullptr, &flags, &time, Sample);
        } while (SUCCEEDED(hr) && (flags & MF_SOURCE_READERF_CURRENTMEDIATYPECHANGED) != 0 && ++tries < 16);
        if (FAILED(hr) || (flags & (MF_SOURCE_READERF_ENDOFSTREAM | MF_SOURCE_READERF_CURRENTMEDIATYPECHANGED)) != 0 ||
            *Sample == nullptr) {
            ReleaseAndClear(*Sample);
            break;
        }
        P->ReadTime = time;
        // The frame whose time span holds the stamp, with a quarter frame of slack for stamps
        // rounded down: (time + FrameTime / 4) * (fps * 4096) / (4096 * 10^7).
        uint64_t at = time > 0 ? (uint64_t)time : 0;
        uint64_t rate = (uint64_t)P->RateNumerator * 4096 / P->RateDenominator;
        uint64_t frame = MovieClock_MulDiv(at + (uint64_t)(P->FrameTime / 4), rate, 40960000000ull);
        P->ReadFrame = frame > 0x7FFFFFFF ? 0x7FFFFFFF : (int)frame;
    }
    return *Sample != nullptr ? 1 : 0;
}

// Copies the sample's frame into the luma and chroma buffers, never past its length.
void CopySample(MoviePlatformData *P, IMFSample *Sample)
{
    IMFMediaBuffer *buffer = nullptr;
    if (FAILED(Sample->ConvertToContiguousBuffer(&buffer)) || buffer == nullptr) return;
    BYTE *data = nullptr;
    DWORD length = 0;
    if (SUCCEEDED(buffer->Lock(&data, nullptr, &length))) {
        MovieFrame_SplitIYUV(data, length, P->VideoWidth, P->VideoHeight, P->YBuffer, P->YPitch, P->UVBuffer,
                             P->UVPitch);
        buffer->Unlock();
    }
    buffer->Release();
}

// Brings the wanted products (the RGB image, the luma and chroma graphs) up to the current frame.
void UpdateMovie(MovieHandleData *Movie, int WantRGB, int WantGraphs, int ASyncThread)
{
    MoviePlatformData *p = Movie->Platform;
    bool graphsDone = !WantGraphs || p->YUVReady || p->YUVOptionOff;
    bool rgbDone = !WantRGB || p->RGBReady;
    if (graphsDone && rgbDone) return;
    IMFSample *sample = nullptr;
    if (ReadUpToCurrentFrame(p, &sample)) {
        CopySample(p, sample);
        sample->Release();
    }
    MovieYUVFrame frame = FrameOf(p);
    if (WantGraphs && !p->YUVOptionOff && GraphsInUse()) {
        if (MovieFrame_TransferToGraphs(&frame, &Movie->Graph.YGraph, &Movie->Graph.UVGraph, ASyncThread) == 0)
            p->YUVReady = 1;
    }
    if (WantRGB) {
        MovieFrame_YUV420ToXRGB(&frame, &Movie->FrameImage);
        p->RGBReady = 1;
    }
}

// The frame's product: the graphs when shaders convert them, else the RGB image.
void UpdateCurrentProduct(MovieHandleData *Movie)
{
    bool graphs = GraphsInUse();
    UpdateMovie(Movie, graphs ? 0 : 1, graphs ? 1 : 0, 0);
}

void AdvanceMovie(MovieHandleData *Movie, int Frames)
{
    MoviePlatformData *p = Movie->Platform;
    if (Frames < 1) return;
    p->MFCurrentFrame += Frames;
    if (p->ReadFrame >= p->MFCurrentFrame) return;
    p->RGBReady = 0;
    p->YUVReady = 0;
    UpdateCurrentProduct(Movie);
}

// Reads a 64-bit attribute as its two halves; false when the type does not carry it.
bool GetPair(IMFMediaType *Type, REFGUID Key, UINT32 *High, UINT32 *Low)
{
    UINT64 value = 0;
    if (FAILED(Type->GetUINT64(Key, &value))) return false;
    *High = (UINT32)(value >> 32);
    *Low = (UINT32)value;
    return true;
}

HRESULT SetPair(IMFMediaType *Type, REFGUID Key, UINT32 High, UINT32 Low)
{
    return Type->SetUINT64(Key, ((UINT64)High << 32) | Low);
}

// The type asked of the reader. The stride, the frame rate and the pixel aspect are given only
// where the stream's own type has them: a decoder offers no type with an aspect of 0:0, and some
// offer none with attributes their own types lack.
int SetOutputType(MoviePlatformData *P, const MFFunctionTable *MF, bool HasRate, bool HasAspect)
{
    HRESULT hr = MF->MFCreateMediaType(&P->OutputType);
    if (FAILED(hr)) {
        P->OutputType = nullptr;
        return LogPlatformFailure(L"MFCreateMediaType", (unsigned long)hr);
    }
    IMFMediaType *t = P->OutputType;
    UINT32 stride = 0;
    bool hasStride = SUCCEEDED(P->NativeType->GetUINT32(MF_MT_DEFAULT_STRIDE, &stride));
    if (FAILED(hr = t->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video)) ||
        FAILED(hr = t->SetGUID(MF_MT_SUBTYPE, MFVideoFormat_IYUV)) ||
        (hasStride && FAILED(hr = t->SetUINT32(MF_MT_DEFAULT_STRIDE, (UINT32)P->VideoWidth))) ||
        (HasRate && FAILED(hr = SetPair(t, MF_MT_FRAME_RATE, P->RateNumerator, P->RateDenominator))) ||
        FAILED(hr = SetPair(t, MF_MT_FRAME_SIZE, (UINT32)P->VideoWidth, (UINT32)P->VideoHeight)) ||
        FAILED(hr = t->SetUINT32(MF_MT_ALL_SAMPLES_INDEPENDENT, 1)) ||
        (HasAspect && FAILED(hr = SetPair(t, MF_MT_PIXEL_ASPECT_RATIO, P->AspectNumerator, P->AspectDenominator))))
        return LogPlatformFailure(L"IMFMediaType::SetItem", (unsigned long)hr);
    if (FAILED(hr = P->SourceReader->SetCurrentMediaType(kVideoStream, nullptr, t)))
        return LogPlatformFailure(L"IMFSourceReader::SetCurrentMediaType", (unsigned long)hr);
    return 0;
}

int AllocateBuffers(MovieHandleData *Movie, MoviePlatformData *P)
{
    int w = P->VideoWidth, h = P->VideoHeight;
    int rgbPitch = (w * 4 + 15) & ~15;
    P->YWidth = w;
    P->YHeight = h;
    P->YPitch = (w + 15) & ~15;
    P->UVWidth = w / 2;
    P->UVHeight = h / 2;
    P->UVPitch = (w + 15) & ~15;
    P->RGBBuffer = static_cast<uint8_t *>(DXCALLOC((size_t)rgbPitch * h));
    P->YBuffer = static_cast<uint8_t *>(DXCALLOC((size_t)P->YPitch * h));
    P->UVBuffer = static_cast<uint8_t *>(DXCALLOC((size_t)P->UVPitch * (P->UVHeight > 0 ? P->UVHeight : 1)));
    if (P->RGBBuffer == nullptr || P->YBuffer == nullptr || P->UVBuffer == nullptr) return -1;
    memset(&Movie->FrameImage, 0, sizeof(Movie->FrameImage));
    CreateXRGB8ColorData(&Movie->FrameImage.ColorData);
    Movie->FrameImage.Width = w;
    Movie->FrameImage.Height = h;
    Movie->FrameImage.Pitch = rgbPitch;
    Movie->FrameImage.Pixels = P->RGBBuffer;
    Movie->FrameImageBorrowed = 1;
    Movie->Graph.FrameImage = &Movie->FrameImage;
    return 0;
}

void LoadSoundTrack(MoviePlatformData *P, int ASyncThread)
{
    LoadSoundParam param;
    InitLoadSoundParam(&param);
    param.KeepFlag = 1;
    param.CreateType = 3;
    param.ConvertSkipMask = -65;
    param.ConvertOggVorbisDecoder = 1;
    P->MFSoundHandle = LoadSoundMemFromFile(&param, P->TempFilePath, 1, -1, 0, ASyncThread);
    P->MFSoundTotalTime = P->MFSoundHandle >= 0 ? GetSoundTotalTime(P->MFSoundHandle) : 0;
    P->MFSoundPosition = P->MFSoundHandle >= 0 ? GetSoundCurrentPosition(P->MFSoundHandle) : 0;
}

}  // namespace

int OpenMovie_MediaFoundation(MovieHandleData *Movie, MoviePlatformData *P, const wchar_t *FileName, int ASyncThread)
{
    P->ReadTime = -1;
    P->ReadFrame = -1;
    P->MFCurrentFrame = 0;
    P->MFSoundHandle = -1;
    const MFFunctionTable *mf = GetMFFunctions();
    if (mf == nullptr || MediaFoundation_StartOnce() != 0) return -1;
    if (MoviePlatform_SetPath(P, FileName) != 0) return -1;
    HRESULT hr = mf->MFCreateSourceReaderFromURL(P->TempFilePath, nullptr, &P->SourceReader);
    if (FAILED(hr) && !P->TempFileFlag) {
        P->SourceReader = nullptr;
        if (MoviePlatform_CopyToTempFile(P, FileName) != 0) return -1;
        hr = mf->MFCreateSourceReaderFromURL(P->TempFilePath, nullptr, &P->SourceReader);
    }
    if (FAILED(hr) || P->SourceReader == nullptr) {
        P->SourceReader = nullptr;
        return Fail(P, L"MFCreateSourceReaderFromURL", hr);
    }

    if (FAILED(hr = P->SourceReader->GetCurrentMediaType(kVideoStream, &P->NativeType))) {
        P->NativeType = nullptr;
        return Fail(P, L"IMFSourceReader::GetCurrentMediaType", hr);
    }
    UINT32 width = 0, height = 0;
    if (!GetPair(P->NativeType, MF_MT_FRAME_SIZE, &width, &height) || width == 0 || height == 0 ||
        (uint64_t)width * height * 4 > kMaxFrameBytes)
        return Fail(P);
    P->VideoWidth = (int)width;
    P->VideoHeight = (int)height;
    bool hasRate = GetPair(P->NativeType, MF_MT_FRAME_RATE, &P->RateNumerator, &P->RateDenominator);
    if (P->RateNumerator == 0 || P->RateDenominator == 0) {
        // Every division by the rate below relies on this.
        hasRate = false;
        P->RateNumerator = kDefaultRate;
        P->RateDenominator = 1;
    }
    bool hasAspect = GetPair(P->NativeType, MF_MT_PIXEL_ASPECT_RATIO, &P->AspectNumerator, &P->AspectDenominator) &&
                     P->AspectNumerator != 0 && P->AspectDenominator != 0;

    PROPVARIANT duration;
    PropVariantInit(&duration);
    if (FAILED(hr = P->SourceReader->GetPresentationAttribute((DWORD)MF_SOURCE_READER_MEDIASOURCE, MF_PD_DURATION,
                                                              &duration)))
        return Fail(P, L"IMFSourceReader::GetPresentationAttribute", hr);
    P->Duration = (LONGLONG)duration.uhVal.QuadPart;
    PropVariantClear(&duration);
    if (P->Duration < 0) P->Duration = 0;
    Movie->EndPosition = P->Duration;
    uint64_t total =
        MovieClock_MulDiv((uint64_t)P->Duration, P->RateNumerator, (uint64_t)P->RateDenominator * 10000000);
    // A stream shorter than one frame still shows that frame.
    P->FrameTotal = total < 1 ? 1 : total > 0x7FFFFFFF ? 0x7FFFFFFF : (int)total;

    if (SetOutputType(P, mf, hasRate, hasAspect) != 0) return Fail(P);
    P->FrameTime = (LONGLONG)((uint64_t)P->RateDenominator * 10000000 / P->RateNumerator);
    P->MFPlayRate = 1.0;
    if (AllocateBuffers(Movie, P) != 0) return Fail(P);

    LoadSoundTrack(P, ASyncThread);
    P->MFSoundLonger = 0;
    P->RGBReady = 0;
    P->YUVReady = 0;
    Movie->Platform = P;
    UpdateCurrentProduct(Movie);
    return 0;
}

void TerminateMovie_MediaFoundation(MoviePlatformData *P)
{
    if (P->MFSoundHandle >= 0) SubHandle(P->MFSoundHandle);
    P->MFSoundHandle = -1;
    ReleaseObjects(P);
}

int PauseMovie_MediaFoundation(MovieHandleData *Movie)
{
    MoviePlatformData *p = Movie->Platform;
    if (p->MFSoundHandle >= 0) StopSoundHandle(p->MFSoundHandle);
    UpdateMovieFrame_MediaFoundation(Movie);
    return 0;
}

int PlayMovie_MediaFoundation(MovieHandleData *Movie, int PlayType)
{
    MoviePlatformData *p = Movie->Platform;
    UpdateCurrentProduct(Movie);
    if (p->MFSoundHandle >= 0) PlaySoundHandle(p->MFSoundHandle, p->MFSoundLonger ? PlayType : DX_PLAYTYPE_BACK, 0);
    p->MFLastClock = (uint64_t)MovieClock_Now();
    p->MFPlayedTime = FrameStart(p, p->MFCurrentFrame, 1000000);
    return 0;
}

int SeekMovie_MediaFoundation(MovieHandleData *Movie, int Frame)
{
    MoviePlatformData *p = Movie->Platform;
    PROPVARIANT position;
    PropVariantInit(&position);
    position.vt = VT_I8;
    position.hVal.QuadPart = (LONGLONG)FrameStart(p, Frame, 10000000);
    p->SourceReader->SetCurrentPosition(GUID_NULL, position);
    p->MFCurrentFrame = Frame;
    p->MFPlayedTime = FrameStart(p, Frame, 1000000);
    p->ReadTime = -1;
    p->ReadFrame = -1;
    p->RGBReady = 0;
    p->YUVReady = 0;
    if (p->MFSoundHandle >= 0) SetSoundCurrentTime((int)(p->MFPlayedTime / 1000), p->MFSoundHandle);
    return 0;
}

int UpdateMovieFrame_MediaFoundation(MovieHandleData *Movie)
{
    MoviePlatformData *p = Movie->Platform;
    if (!Movie->ClockStopped) {
        uint64_t now = (uint64_t)MovieClock_Now();
        // A clock that went back adds nothing.
        uint64_t elapsed = now > p->MFLastClock ? now - p->MFLastClock : 0;
        p->MFPlayedTime = MovieClock_Advance(p->MFPlayedTime, elapsed, p->MFPlayRate);
        p->MFLastClock = now;
        uint64_t rate = (uint64_t)p->RateNumerator * 65536 / p->RateDenominator;
        int loop = (Movie->PlayType & DX_MOVIEPLAYTYPE_LOOPBIT) != 0;
        int frame =
            MovieClock_ShownFrame(MovieClock_MulDiv(p->MFPlayedTime, rate, 65536ull * 1000000ull), p->FrameTotal, loop);
        if (frame != p->MFCurrentFrame) {
            Movie->NewFrame = 1;
            if (frame > p->MFCurrentFrame) {
                // Two frames behind catches up one at a time, so a late update does not skip.
                int ahead = frame - p->MFCurrentFrame;
                AdvanceMovie(Movie, ahead == 2 ? 1 : ahead);
            } else {
                // Looped: back to the frame, with the sound from the top unless it outlasts us.
                SeekMovie_MediaFoundation(Movie, frame);
                if (!p->MFSoundLonger && p->MFSoundHandle >= 0) PlaySoundHandle(p->MFSoundHandle, DX_PLAYTYPE_BACK, 1);
                UpdateCurrentProduct(Movie);
            }
            Movie->LastFrameClock = now;
        } else if (frame == p->FrameTotal - 1 && !loop) {
            if (p->MFSoundHandle < 0 || CheckSoundPlaying(p->MFSoundHandle) != 1) {
                Movie->PlayFlag = 0;
                Movie->ClockStopped = 1;
            }
        }
    }
    if (Movie->ClockStopped) {
        bool graphs = GraphsInUse();
        if (graphs && !p->YUVReady)
            UpdateMovie(Movie, 0, 1, 0);
        else if (!p->RGBReady)
            UpdateMovie(Movie, 1, 0, 0);
    }
    if (Movie->UpdateCallback != nullptr) {
        Movie->UpdateCallback(Movie, Movie->UpdateCallbackData);
        Movie->Graph.FrameUpdated = 1;
    }
    return 0;
}
