// The library's own video renderer for movie playback through DirectShow ("MovieRenderer"): it
// accepts eight video formats and turns each presented sample into a frame buffer (XRGB for YUV
// sources, the source's RGB rows otherwise) and, when shaders can convert on the GPU, into a
// Y plane with an interleaved U/V plane. NewFrame tells the movie layer that something was written.
#pragma once

#include "zovuz/graphics/zovuz_graphics_backend.h"
#include "zovuz/movie/renderer/windows/dshow_video_renderer.h"

// The accepted subtypes, by the id the movie layer reads.
enum MovieRenderPixelId {
    MovieRenderPixel_RGB24 = 0,
    MovieRenderPixel_RGB32 = 1,
    MovieRenderPixel_YV12 = 2,
    MovieRenderPixel_NV12 = 3,
    MovieRenderPixel_YUY2 = 4,
    MovieRenderPixel_UYVY = 5,
    MovieRenderPixel_YVYU = 6,
    MovieRenderPixel_NV11 = 7,
};

class D_CMovieRender : public D_CBaseVideoRenderer
{
public:
    D_CMovieRender(IUnknown *Outer, HRESULT *Result);
    ~D_CMovieRender() override;

    HRESULT CheckMediaType(const D_CMediaType *Type) override;
    HRESULT SetMediaType(const D_CMediaType *Type) override;
    HRESULT DoRenderSample(IMediaSample *Sample) override;

    IBaseFilter *Filter() { return BaseFilterInterface(); }

    // Read by the movie layer (NewFrame is cleared there).
    int FormatSet = 0;
    int NoYUVImage = 0;
    int FrameConverted = 0;
    int AlwaysConvertFrame = 0;
    int YUVSource = 0;
    BASEIMAGE *XRGBImage = nullptr;
    int PixelId = 0;
    BYTE *ImageBuffer = nullptr;
    BYTE *YUVImageBuffer = nullptr;
    BYTE *UVPlane = nullptr;
    volatile int NewFrame = 0;
    int BottomUp = 0;
    int Width = 0, Height = 0, Pitch = 0;
    int YWidth = 0, YHeight = 0, YPitch = 0;
    int UVWidth = 0, UVHeight = 0, UVPitch = 0;

private:
    void AllocateFrameBuffers();
    void FreeFrameBuffers();
    // The bytes a sample of the current format must hold.
    LONGLONG SourceFrameBytes() const;
};

// A new movie renderer, S_OK through Result; null when it cannot be had (Result untouched).
D_CMovieRender *D_CMovieRender_CreateInstance(IUnknown *Outer, HRESULT *Result);
