// The movie renderer: accepted formats, frame geometry and the frame copy.
#include "zovuz/movie/renderer/windows/dshow_movie_render.h"

#include <string.h>

#include <new>

#include "zovuz/core/zovuz_core.h"
#include "zovuz/graphics/zovuz_graphics_backend.h"

namespace {

GUID FourCCSubtype(DWORD FourCC)
{
    GUID g = MEDIASUBTYPE_YUY2;
    g.Data1 = FourCC;
    return g;
}

// Frames larger than this are refused: their buffers could not be addressed.
const LONGLONG MaxFrameBytes = 0x40000000;

}  // namespace

D_CMovieRender::D_CMovieRender(IUnknown *Outer, HRESULT *Result)
    : D_CBaseVideoRenderer(D_CLSID_MovieRender, nullptr, Outer, Result)
{
}

D_CMovieRender::~D_CMovieRender() { FreeFrameBuffers(); }

D_CMovieRender *D_CMovieRender_CreateInstance(IUnknown *Outer, HRESULT *Result)
{
    D_CMovieRender *render = new (std::nothrow) D_CMovieRender(Outer, Result);
    if (render != nullptr && Result != nullptr) *Result = S_OK;
    return render;
}

HRESULT D_CMovieRender::CheckMediaType(const D_CMediaType *Type)
{
    if (Type == nullptr) return E_POINTER;
    if (!IsEqualGUID(Type->formattype, FORMAT_VideoInfo)) return E_INVALIDARG;
    if (!IsEqualGUID(Type->majortype, MEDIATYPE_Video)) return E_FAIL;
    struct
    {
        GUID Subtype;
        int Id;
    } const accepted[] = {
        {MEDIASUBTYPE_NV11, MovieRenderPixel_NV11},
        {FourCCSubtype(MAKEFOURCC('Y', 'V', 'Y', 'U')), MovieRenderPixel_YVYU},
        {FourCCSubtype(MAKEFOURCC('U', 'Y', 'V', 'Y')), MovieRenderPixel_UYVY},
        {FourCCSubtype(MAKEFOURCC('Y', 'U', 'Y', '2')), MovieRenderPixel_YUY2},
        {FourCCSubtype(MAKEFOURCC('N', 'V', '1', '2')), MovieRenderPixel_NV12},
        {FourCCSubtype(MAKEFOURCC('Y', 'V', '1', '2')), MovieRenderPixel_YV12},
        {MEDIASUBTYPE_RGB32, MovieRenderPixel_RGB32},
        {MEDIASUBTYPE_RGB24, MovieRenderPixel_RGB24},
    };
    for (const auto &a : accepted)
        if (IsEqualGUID(Type->subtype, a.Subtype)) {
            PixelId = a.Id;
            return S_OK;
        }
    return E_FAIL;
}

HRESULT D_CMovieRender::SetMediaType(const D_CMediaType *Type)
{
    // The format block must hold a whole VIDEOINFOHEADER, and the frame must be addressable.
    if (Type == nullptr || Type->pbFormat == nullptr || Type->cbFormat < sizeof(VIDEOINFOHEADER))
        return VFW_E_TYPE_NOT_ACCEPTED;
    const VIDEOINFOHEADER *info = reinterpret_cast<const VIDEOINFOHEADER *>(Type->pbFormat);
    LONG width = info->bmiHeader.biWidth, height = info->bmiHeader.biHeight;
    if (height < 0) height = -height;
    if (width <= 0 || height <= 0 || static_cast<LONGLONG>(width) * height * 4 > MaxFrameBytes)
        return VFW_E_TYPE_NOT_ACCEPTED;
    Width = width;
    Height = height;
    BottomUp = info->bmiHeader.biHeight < 0 ? 0 : 1;
    if (XRGBImage != nullptr) {
        ReleaseBaseImage(XRGBImage);
        delete XRGBImage;
        XRGBImage = nullptr;
    }
    int w = Width, h = Height;
    YWidth = YHeight = YPitch = UVWidth = UVHeight = UVPitch = 0;
    YUVSource = 0;
    if (PixelId == MovieRenderPixel_RGB24) {
        Pitch = ((w + 1) * 3) & ~3;
    } else {
        Pitch = w * 4;
    }
    if (PixelId >= MovieRenderPixel_YV12) {
        YWidth = w;
        YHeight = h;
        YPitch = w;
        UVWidth = PixelId == MovieRenderPixel_NV11 ? w / 4 : w / 2;
        UVHeight = PixelId == MovieRenderPixel_YV12 || PixelId == MovieRenderPixel_NV12 ? h / 2 : h;
        UVPitch = PixelId == MovieRenderPixel_NV11 ? (w / 2) & ~1 : w & ~1;
        BottomUp = 0;
        YUVSource = 1;
        NoYUVImage = Graphics_Hardware_GetShaderVersion() < 200 ? 1 : 0;
    }
    if (ImageBuffer != nullptr) DxFree(ImageBuffer);
    if (YUVImageBuffer != nullptr) DxFree(YUVImageBuffer);
    ImageBuffer = YUVImageBuffer = UVPlane = nullptr;
    AllocateFrameBuffers();
    NewFrame = 0;
    FormatSet = 1;
    return S_OK;
}

void D_CMovieRender::AllocateFrameBuffers()
{
    if (!FormatSet) return;
    if (YUVSource && XRGBImage == nullptr) {
        XRGBImage = new (std::nothrow) BASEIMAGE();
        if (XRGBImage != nullptr && CreateXRGB8ColorBaseImage(Width, Height, XRGBImage) != 0) {
            delete XRGBImage;
            XRGBImage = nullptr;
        }
    }
    if (ImageBuffer == nullptr)
        ImageBuffer = static_cast<BYTE *>(DXALLOC(static_cast<size_t>(Pitch) * static_cast<size_t>(Height)));
    if (YUVImageBuffer == nullptr && !NoYUVImage && PixelId >= MovieRenderPixel_YV12) {
        size_t bytes = static_cast<size_t>(UVPitch) * UVHeight + static_cast<size_t>(YHeight) * YPitch;
        YUVImageBuffer = static_cast<BYTE *>(DXALLOC(bytes));
        if (YUVImageBuffer != nullptr) UVPlane = YUVImageBuffer + static_cast<size_t>(YHeight) * YPitch;
    }
}

void D_CMovieRender::FreeFrameBuffers()
{
    if (ImageBuffer != nullptr) DxFree(ImageBuffer);
    if (YUVImageBuffer != nullptr) DxFree(YUVImageBuffer);
    ImageBuffer = YUVImageBuffer = UVPlane = nullptr;
    if (XRGBImage != nullptr) {
        ReleaseBaseImage(XRGBImage);
        delete XRGBImage;
        XRGBImage = nullptr;
    }
}

LONGLONG D_CMovieRender::SourceFrameBytes() const
{
    LONGLONG w = Width, h = Height;
    switch (PixelId) {
        case MovieRenderPixel_RGB24:
        case MovieRenderPixel_RGB32:
            return static_cast<LONGLONG>(Pitch) * h;
        case MovieRenderPixel_YV12:
        case MovieRenderPixel_NV12:
            return w * h + 2 * (w / 2) * (h / 2);
        case MovieRenderPixel_NV11:
            return w * h + (w / 2) * h;
        default:
            return 2 * w * h;
    }
}

HRESULT D_CMovieRender::DoRenderSample(IMediaSample *Sample)
{
    if (Sample == nullptr) return E_POINTER;
    if (!FormatSet) return S_OK;
    AllocateFrameBuffers();
    BYTE *src = nullptr;
    if (FAILED(Sample->GetPointer(&src)) || src == nullptr) return S_OK;
    // A sample shorter than a frame of the agreed format is not read.
    if (Sample->GetActualDataLength() < SourceFrameBytes()) return S_OK;
    if (ImageBuffer != nullptr && (AlwaysConvertFrame || YUVImageBuffer == nullptr || !FrameConverted)) {
        const BYTE *rows = src;
        size_t rowBytes = static_cast<size_t>(Pitch);
        int ok = 0;
        if (YUVSource) {
            if (XRGBImage == nullptr) {
                ok = -1;
            } else {
                switch (PixelId) {
                    case MovieRenderPixel_YV12:
                        ok = ConvertYV12ToXRGB32(src, Width, Height, XRGBImage);
                        break;
                    case MovieRenderPixel_NV12:
                        ok = ConvertNV12ToXRGB32(src, Width, Height, XRGBImage);
                        break;
                    case MovieRenderPixel_YUY2:
                        ok = ConvertYUY2ToXRGB32(src, Width, Height, XRGBImage);
                        break;
                    case MovieRenderPixel_UYVY:
                        ok = ConvertUYVYToXRGB32(src, Width, Height, XRGBImage);
                        break;
                    case MovieRenderPixel_YVYU:
                        ok = ConvertYVYUToXRGB32(src, Width, Height, XRGBImage);
                        break;
                    default:
                        ok = ConvertNV11ToXRGB32(src, Width, Height, XRGBImage);
                        break;
                }
                rows = static_cast<const BYTE *>(XRGBImage->Pixels);
                rowBytes = static_cast<size_t>(XRGBImage->Pitch);
            }
        }
        if (ok == 0) {
            FrameConverted = 1;
            size_t pitch = static_cast<size_t>(Pitch);
            if (BottomUp) {
                for (int i = 0; i < Height; i++)
                    memcpy(ImageBuffer + (Height - 1 - i) * pitch, rows + i * rowBytes, pitch);
            } else if (rowBytes == pitch) {
                memcpy(ImageBuffer, rows, pitch * Height);
            } else {
                for (int i = 0; i < Height; i++) memcpy(ImageBuffer + i * pitch, rows + i * rowBytes, pitch);
            }
            NewFrame = 1;
        }
    }
    if (YUVImageBuffer != nullptr) {
        switch (PixelId) {
            case MovieRenderPixel_YV12:
                ConvertYV12ToYUVImage(src, YWidth, YHeight, YUVImageBuffer, UVPlane);
                break;
            case MovieRenderPixel_NV12:
                ConvertNV12ToYUVImage(src, YWidth, YHeight, YUVImageBuffer, UVPlane);
                break;
            case MovieRenderPixel_YUY2:
                ConvertYUY2ToYUVImage(src, YWidth, YHeight, YUVImageBuffer, UVPlane);
                break;
            case MovieRenderPixel_UYVY:
                ConvertUYVYToYUVImage(src, YWidth, YHeight, YUVImageBuffer, UVPlane);
                break;
            case MovieRenderPixel_YVYU:
                ConvertYVYUToYUVImage(src, YWidth, YHeight, YUVImageBuffer, UVPlane);
                break;
            default:
                ConvertNV11ToYUVImage(src, YWidth, YHeight, YUVImageBuffer, UVPlane);
                break;
        }
        NewFrame = 1;
    }
    return S_OK;
}
