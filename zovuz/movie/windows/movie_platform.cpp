// The platform's movie player for files the library does not decode itself: a DirectShow filter
// graph whose video renderer is the library's own "MovieRenderer". The graph runs on its own clock
// and the movie polls the renderer for new frames.
#include <string.h>

#include <new>

#include "zovuz/core/zovuz_core.h"
#include "zovuz/movie/movie_internal.h"
#include "zovuz/movie/windows/dshow_movie_render.h"

struct MoviePlatformData
{
    IGraphBuilder *GraphBuilder;
    IMediaControl *MediaControl;
    IMediaSeeking *MediaSeeking;
    IBasicAudio *BasicAudio;
    D_CMovieRender *Renderer;
    LONGLONG FrameTime;  // 100-ns units per frame
};

namespace {

void ReleaseGraph(MoviePlatformData *p)
{
    if (p->BasicAudio != nullptr) p->BasicAudio->Release();
    if (p->MediaSeeking != nullptr) p->MediaSeeking->Release();
    if (p->MediaControl != nullptr) {
        p->MediaControl->Stop();
        p->MediaControl->Release();
    }
    if (p->GraphBuilder != nullptr) p->GraphBuilder->Release();
    p->BasicAudio = nullptr;
    p->MediaSeeking = nullptr;
    p->MediaControl = nullptr;
    p->GraphBuilder = nullptr;
    D_SafeDelete(p->Renderer);
}

int Fail(MoviePlatformData *p, const wchar_t *Message)
{
    AddLogStringWide(Message);
    ReleaseGraph(p);
    delete p;
    return -1;
}

void TakeFrame(MovieHandleData *Movie, D_CMovieRender *r)
{
    Movie->FrameImage.Width = r->Width;
    Movie->FrameImage.Height = r->Height;
    Movie->FrameImage.Pitch = r->Pitch;
    Movie->FrameImage.Pixels = r->ImageBuffer;
    Movie->FrameImageBorrowed = 1;
    if (r->PixelId == MovieRenderPixel_RGB24)
        CreateFullColorData(&Movie->FrameImage.ColorData);
    else
        CreateXRGB8ColorData(&Movie->FrameImage.ColorData);
}

}  // namespace

int MoviePlatform_Open(MovieHandleData *Movie, const wchar_t *FileName, int, int)
{
    if (Movie == nullptr || FileName == nullptr) return -1;
    MoviePlatformData *p = new (std::nothrow) MoviePlatformData();
    if (p == nullptr) return -1;
    if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                                IID_IGraphBuilder, reinterpret_cast<void **>(&p->GraphBuilder)))) {
        p->GraphBuilder = nullptr;
        return Fail(p, L"CoCreateInstance Error : CLSID_FilterGraph\n");
    }
    HRESULT hr = S_OK;
    p->Renderer = D_CMovieRender_CreateInstance(nullptr, &hr);
    if (p->Renderer == nullptr || FAILED(p->GraphBuilder->AddFilter(p->Renderer->Filter(), L"MovieRenderer")))
        return Fail(p, L"Could not add renderer filter to graph!\n");
    if (FAILED(p->GraphBuilder->QueryInterface(IID_IBasicAudio, reinterpret_cast<void **>(&p->BasicAudio)))) {
        p->BasicAudio = nullptr;
        return Fail(p, L"QueryInterface Error : IID_IBasicAudio\n");
    }
    if (FAILED(p->GraphBuilder->QueryInterface(IID_IMediaControl, reinterpret_cast<void **>(&p->MediaControl)))) {
        p->MediaControl = nullptr;
        return Fail(p, L"QueryInterface Error : IID_IMediaControl\n");
    }
    if (FAILED(p->GraphBuilder->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void **>(&p->MediaSeeking)))) {
        p->MediaSeeking = nullptr;
        return Fail(p, L"QueryInterface Error : IID_IMediaSeeking\n");
    }
    wchar_t path[1536];
    size_t n = 0;
    for (; FileName[n] != 0 && n + 1 < sizeof(path) / sizeof(path[0]); n++)
        path[n] = FileName[n] == L'/' ? L'\\' : FileName[n];
    path[n] = 0;
    if (FAILED(p->GraphBuilder->RenderFile(path, nullptr))) {
        AddLogStringWide(L"Movie File Open Error : ");
        AddLogStringWide(path);
        return Fail(p, L"\n");
    }
    // The renderer must be in the graph's video path, else nothing would ever reach the movie.
    if (!p->Renderer->InputPin()->IsConnected()) {
        AddLogStringWide(L"Movie File Open Error : ");
        AddLogStringWide(path);
        return Fail(p, L"\n");
    }
    // One frame's time from the connected format (the stream's whole length is no frame time).
    const D_CMediaType &mt = p->Renderer->InputPin()->CurrentMediaType();
    p->FrameTime = 0;
    if (mt.pbFormat != nullptr && mt.cbFormat >= sizeof(VIDEOINFOHEADER))
        p->FrameTime = reinterpret_cast<const VIDEOINFOHEADER *>(mt.pbFormat)->AvgTimePerFrame;
    if (p->FrameTime <= 0) p->FrameTime = 166666;
    LONGLONG stop = 0;
    if (SUCCEEDED(p->MediaSeeking->GetStopPosition(&stop))) Movie->EndPosition = stop;
    Movie->Platform = p;
    TakeFrame(Movie, p->Renderer);
    return 0;
}

int MoviePlatform_Update(MovieHandleData *Movie, int)
{
    MoviePlatformData *p = Movie != nullptr ? Movie->Platform : nullptr;
    if (p == nullptr || p->GraphBuilder == nullptr) return -1;
    D_CMovieRender *r = p->Renderer;
    if (r->NewFrame) {
        Movie->NewFrame = 1;
        r->NewFrame = 0;
        if (r->ImageBuffer != nullptr && (r->YUVImageBuffer == nullptr || r->AlwaysConvertFrame)) {
            TakeFrame(Movie, r);
            Movie->Graph.FrameImage = &Movie->FrameImage;
        }
        if (Movie->UpdateCallback != nullptr) {
            Movie->UpdateCallback(Movie, Movie->UpdateCallbackData);
            Movie->Graph.FrameUpdated = 1;
        }
    }
    LONGLONG now = 0;
    // The position reaches the end as soon as the last sample arrives; the movie ends once that
    // sample was also shown (the renderer's end of stream), so the last frame is never lost.
    if (p->MediaSeeking->GetCurrentPosition(&now) == S_OK && Movie->EndPosition > 0 && now >= Movie->EndPosition &&
        r->IsEndOfStreamDelivered()) {
        if (Movie->PlayType == DX_PLAYTYPE_LOOP) {
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

int MoviePlatform_Pause(MovieHandleData *Movie)
{
    MoviePlatformData *p = Movie != nullptr ? Movie->Platform : nullptr;
    if (p == nullptr || p->MediaControl == nullptr) return -1;
    p->MediaControl->Pause();
    return 0;
}

int MoviePlatform_Play(MovieHandleData *Movie, int)
{
    MoviePlatformData *p = Movie != nullptr ? Movie->Platform : nullptr;
    if (p == nullptr || p->MediaControl == nullptr) return -1;
    return SUCCEEDED(p->MediaControl->Run()) ? 0 : -1;
}

int MoviePlatform_Release(MovieHandleData *Movie)
{
    MoviePlatformData *p = Movie != nullptr ? Movie->Platform : nullptr;
    if (p == nullptr) return 0;
    ReleaseGraph(p);
    delete p;
    Movie->Platform = nullptr;
    Movie->FrameImage.Pixels = nullptr;
    return 0;
}

int MoviePlatform_Initialize(void) { return 0; }
int MoviePlatform_Terminate(void) { return 0; }
