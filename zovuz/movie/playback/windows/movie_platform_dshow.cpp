// DirectShow movie playback: a filter graph whose video renderer is the library's own
// "MovieRenderer". The graph runs on its own clock and the movie polls the renderer for frames.
#include <string.h>

#include "zovuz/core/zovuz_core.h"
#include "zovuz/movie/renderer/windows/dshow_movie_render.h"
#include "zovuz/movie/playback/windows/movie_platform_win.h"

namespace {

int Fail(MoviePlatformData *P, const wchar_t *Message)
{
    AddLogStringWide(Message);
    TerminateMovie_DirectShow(P);
    return -1;
}

// An open given up because a platform call failed: the message, the call and its code.
int Fail(MoviePlatformData *P, const wchar_t *Message, const wchar_t *Call, HRESULT Result)
{
    Fail(P, Message);
    return LogPlatformFailure(Call, (unsigned long)Result);
}

int FailOpen(MoviePlatformData *P)
{
    AddLogStringWide(L"Movie File Open Error : ");
    AddLogStringWide(P->TempFilePath);
    return Fail(P, L"\n");
}

void TakeFrame(MovieHandleData *Movie, D_CMovieRender *r)
{
    Movie->FrameImage.Width = r->Width;
    Movie->FrameImage.Height = r->Height;
    Movie->FrameImage.Pitch = r->Pitch;
    Movie->FrameImage.Pixels = r->ImageBuffer;
    Movie->FrameImageBorrowed = 1;
    // A 32-bit frame keeps its fourth byte as alpha only when the movie was opened for it.
    if (r->PixelId == MovieRenderPixel_RGB24)
        CreateFullColorData(&Movie->FrameImage.ColorData);
    else if (r->PixelId == MovieRenderPixel_RGB32 && Movie->OpenParam.AlphaFlag)
        CreateARGB8ColorData(&Movie->FrameImage.ColorData);
    else
        CreateXRGB8ColorData(&Movie->FrameImage.ColorData);
    Movie->Graph.FrameImage = &Movie->FrameImage;
}

}  // namespace

void TerminateMovie_DirectShow(MoviePlatformData *P)
{
    ReleaseAndClear(P->BasicAudio);
    ReleaseAndClear(P->MediaSeeking);
    if (P->MediaControl != nullptr) P->MediaControl->Stop();
    ReleaseAndClear(P->MediaControl);
    ReleaseAndClear(P->GraphBuilder);
    D_SafeDelete(P->Renderer);
}

int OpenMovie_DirectShow(MovieHandleData *Movie, MoviePlatformData *P, const wchar_t *FileName, int)
{
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                                  IID_IGraphBuilder, reinterpret_cast<void **>(&P->GraphBuilder));
    if (FAILED(hr)) {
        P->GraphBuilder = nullptr;
        return Fail(P, L"CoCreateInstance Error : CLSID_FilterGraph\n", L"CoCreateInstance(FilterGraph)", hr);
    }
    P->Renderer = D_CMovieRender_CreateInstance(nullptr, &hr);
    if (P->Renderer == nullptr) return Fail(P, L"Could not add renderer filter to graph!\n");
    if (FAILED(hr = P->GraphBuilder->AddFilter(P->Renderer->Filter(), L"MovieRenderer")))
        return Fail(P, L"Could not add renderer filter to graph!\n", L"IGraphBuilder::AddFilter", hr);
    if (FAILED(hr = P->GraphBuilder->QueryInterface(IID_IBasicAudio, reinterpret_cast<void **>(&P->BasicAudio)))) {
        P->BasicAudio = nullptr;
        return Fail(P, L"QueryInterface Error : IID_IBasicAudio\n", L"IGraphBuilder::QueryInterface(IBasicAudio)", hr);
    }
    if (FAILED(hr = P->GraphBuilder->QueryInterface(IID_IMediaControl, reinterpret_cast<void **>(&P->MediaControl)))) {
        P->MediaControl = nullptr;
        return Fail(P, L"QueryInterface Error : IID_IMediaControl\n", L"IGraphBuilder::QueryInterface(IMediaControl)",
                    hr);
    }
    if (FAILED(hr = P->GraphBuilder->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void **>(&P->MediaSeeking)))) {
        P->MediaSeeking = nullptr;
        return Fail(P, L"QueryInterface Error : IID_IMediaSeeking\n", L"IGraphBuilder::QueryInterface(IMediaSeeking)",
                    hr);
    }
    if (MoviePlatform_SetPath(P, FileName) != 0) return FailOpen(P);
    if (FAILED(hr = P->GraphBuilder->RenderFile(P->TempFilePath, nullptr))) {
        if (P->TempFileFlag) {
            FailOpen(P);
            return LogPlatformFailure(L"IGraphBuilder::RenderFile", (unsigned long)hr);
        }
        AddLogStringWide(L"Movie File Open Error : ");
        AddLogStringWide(P->TempFilePath);
        AddLogStringWide(L"\n");
        if (MoviePlatform_CopyToTempFile(P, FileName) != 0) {
            TerminateMovie_DirectShow(P);
            return -1;
        }
        if (FAILED(hr = P->GraphBuilder->RenderFile(P->TempFilePath, nullptr))) {
            FailOpen(P);
            MoviePlatform_DeleteTempFile(P);
            return LogPlatformFailure(L"IGraphBuilder::RenderFile", (unsigned long)hr);
        }
    }
    // The renderer must be in the graph's video path, else nothing would ever reach the movie.
    if (!P->Renderer->InputPin()->IsConnected()) {
        FailOpen(P);
        MoviePlatform_DeleteTempFile(P);
        return -1;
    }
    // One frame's time from the connected format (the stream's whole length is no frame time).
    const D_CMediaType &mt = P->Renderer->InputPin()->CurrentMediaType();
    P->FrameTime = 0;
    if (mt.pbFormat != nullptr && mt.cbFormat >= sizeof(VIDEOINFOHEADER))
        P->FrameTime = reinterpret_cast<const VIDEOINFOHEADER *>(mt.pbFormat)->AvgTimePerFrame;
    if (P->FrameTime <= 0) P->FrameTime = 166666;
    LONGLONG stop = 0;
    if (SUCCEEDED(P->MediaSeeking->GetStopPosition(&stop))) Movie->EndPosition = stop;
    TakeFrame(Movie, P->Renderer);
    Movie->Platform = P;
    return 0;
}

int UpdateMovieFrame_DirectShow(MovieHandleData *Movie)
{
    MoviePlatformData *p = Movie->Platform;
    D_CMovieRender *r = p->Renderer;
    if (r->NewFrame) {
        Movie->NewFrame = 1;
        r->NewFrame = 0;
        if (r->ImageBuffer != nullptr && (r->YUVImageBuffer == nullptr || r->AlwaysConvertFrame)) TakeFrame(Movie, r);
        // With shaders the frame goes on as its luma and chroma planes, which the device converts.
        if (r->YUVImageBuffer != nullptr) {
            MovieYUVFrame frame = {r->YUVImageBuffer, r->YWidth,  r->YHeight,  r->YPitch,
                                   r->UVPlane,        r->UVWidth, r->UVHeight, r->UVPitch};
            MovieFrame_TransferToGraphs(&frame, &Movie->Graph.YGraph, &Movie->Graph.UVGraph, 0);
        }
        if (Movie->UpdateCallback != nullptr) {
            Movie->UpdateCallback(Movie, Movie->UpdateCallbackData);
            Movie->Graph.FrameUpdated = 1;
        }
    }
    if (p->MediaSeeking == nullptr || p->MediaControl == nullptr) return 0;
    LONGLONG now = 0;
    // The position reaches the end as soon as the last sample arrives; the movie ends once that
    // sample was also shown (the renderer's end of stream), so the last frame is never lost.
    if (p->MediaSeeking->GetCurrentPosition(&now) == S_OK && Movie->EndPosition > 0 && now >= Movie->EndPosition &&
        r->IsEndOfStreamDelivered()) {
        if (Movie->PlayType & DX_MOVIEPLAYTYPE_LOOPBIT) {
            LONGLONG start = 0;
            p->MediaSeeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
            p->MediaControl->Run();
        } else {
            p->MediaControl->Pause();
            Movie->PlayFlag = 0;
            Movie->ClockStopped = 1;
        }
    }
    return 0;
}

int SeekMovie_DirectShow(MovieHandleData *Movie, int Frame)
{
    MoviePlatformData *p = Movie->Platform;
    if (p->MediaSeeking == nullptr) return -1;
    LONGLONG position = p->FrameTime * Frame;
    p->MediaSeeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
    return 0;
}

int PlayMovie_DirectShow(MovieHandleData *Movie)
{
    MoviePlatformData *p = Movie->Platform;
    if (p->MediaControl == nullptr) return -1;
    return SUCCEEDED(p->MediaControl->Run()) ? 0 : -1;
}

int PauseMovie_DirectShow(MovieHandleData *Movie)
{
    MoviePlatformData *p = Movie->Platform;
    if (p->MediaControl == nullptr) return -1;
    p->MediaControl->Pause();
    return 0;
}
