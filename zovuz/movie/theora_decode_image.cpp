// The Theora decoder's current frame in the forms the graph layer draws from: a 32-bit XRGB
// image, luma and chroma graphs that the YUV-to-RGB filter converts on the device, or the
// device's YUV surface (theora_decode_surface.cpp).
#include "zovuz/movie/movie_internal.h"
#include "zovuz/movie/theora_decode_internal.h"

#include <string.h>

namespace {

inline uint8_t ClampFloat(double Value)
{
    int v = (int)Value;
    return (uint8_t)(v < 0 ? 0 : v > 255 ? 255 : v);
}

MovieYUVFrame FrameOf(const TheoraFrameStockEntry &E)
{
    return MovieYUVFrame{E.YBuffer, E.YWidth, E.YHeight, E.YPitch, E.UVBuffer, E.UVWidth, E.UVHeight, E.UVPitch};
}

// Any other layout: chroma sample (x / 2, y / 2), in floating point.
void ConvertOtherChroma(const TheoraFrameStockEntry &E, BASEIMAGE &Image)
{
    for (int y = 0; y < E.YHeight; ++y) {
        const uint8_t *luma = E.YBuffer + (size_t)y * E.YPitch;
        int cy = y / 2 < E.UVHeight ? y / 2 : E.UVHeight - 1;
        const uint8_t *chroma = E.UVBuffer + (size_t)cy * E.UVPitch;
        uint8_t *out = (uint8_t *)Image.Pixels + (size_t)y * Image.Pitch;
        for (int x = 0; x < E.YWidth; ++x) {
            int cx = x / 2 < E.UVWidth ? x / 2 : E.UVWidth - 1;
            double u = chroma[cx * 2] - 128.0, v = chroma[cx * 2 + 1] - 128.0;
            double l = (luma[x] - 16) * 1.164;
            out[x * 4 + 0] = ClampFloat(l + 2.018 * u);
            out[x * 4 + 1] = ClampFloat(l - 0.391 * u - 0.813 * v);
            out[x * 4 + 2] = ClampFloat(l + 1.596 * v);
            out[x * 4 + 3] = 255;
        }
    }
}

void ConvertToImage(const TheoraFrameStockEntry &E, BASEIMAGE &Image)
{
    if (Image.Pixels == nullptr || Image.Width < E.YWidth || Image.Height < E.YHeight) return;
    if (E.YWidth == E.UVWidth * 2 && E.YHeight == E.UVHeight * 2) {
        MovieYUVFrame frame = FrameOf(E);
        MovieFrame_YUV420ToXRGB(&frame, &Image);
    } else
        ConvertOtherChroma(E, Image);
}

void TransferToGraphs(TheoraDecodeState *S, TheoraFrameStockEntry &E, int ASyncThread)
{
    MovieYUVFrame frame = FrameOf(E);
    MovieFrame_TransferToGraphs(&frame, &S->YGraph, &S->UVGraph, ASyncThread);
}

}  // namespace

int TheoraDecode_SetupImage(TheoraDecodeState *S, int ImageFlag, int GraphFlag, int SurfaceFlag, int ASyncThread)
{
    if (S == nullptr) return 0;
    CRITICALSECTION_LOCK(&S->Lock);
    bool surfaceDone = !SurfaceFlag || S->SurfaceReady || !S->SurfaceExists;
    bool graphsDone = !GraphFlag || S->YUVGraphsReady || S->NoYUVGraphs;
    bool imageDone = !ImageFlag || S->ImageReady;
    if (surfaceDone && graphsDone && imageDone) {
        CRITICALSECTION_UNLOCK(&S->Lock);
        return 0;
    }
    int entry = -1;
    for (;;) {
        while (S->ThreadState == THEORA_THREAD_RESET || S->ResetRequest) {
            CRITICALSECTION_UNLOCK(&S->Lock);
            ThreadSleep(1);
            CRITICALSECTION_LOCK(&S->Lock);
        }
        if (S->ThreadState == THEORA_THREAD_ENDED) {
            CRITICALSECTION_UNLOCK(&S->Lock);
            return 0;
        }
        for (int i = 0; i < S->StockCount && entry < 0; ++i)
            if (S->Stock[i].Used && S->Stock[i].Packet == S->CurrentPacket) entry = i;
        if (entry >= 0) break;
        if (S->DataEnded) {
            CRITICALSECTION_UNLOCK(&S->Lock);
            return 0;
        }
        CRITICALSECTION_UNLOCK(&S->Lock);
        ThreadSleep(0);
        CRITICALSECTION_LOCK(&S->Lock);
    }
    // The entry of the current packet stays in stock while this thread reads it: only this
    // thread moves the current packet or asks for a reset.
    CRITICALSECTION_UNLOCK(&S->Lock);
    TheoraFrameStockEntry &e = S->Stock[entry];

    if (SurfaceFlag && !S->SurfaceReady && S->SurfaceExists) TheoraDecode_Platform_UpdateSurface(S, &e, ASyncThread);
    if (GraphFlag && !S->NoYUVGraphs && !S->YUVGraphsReady && Graphics_Hardware_GetShaderVersion() >= 200) {
        TransferToGraphs(S, e, ASyncThread);
        S->YUVGraphsReady = 1;
    }
    if (ImageFlag && !S->ImageReady) {
        ConvertToImage(e, S->FrameImage);
        S->ImageReady = 1;
    }
    return 1;
}

const BASEIMAGE *TheoraDecode_GetYUVImage(TheoraDecodeState *S)
{
    if (S == nullptr) return nullptr;
    if (!S->ImageReady) TheoraDecode_SetupImage(S, 1, 0, 0, 0);
    return &S->FrameImage;
}

int TheoraDecode_GetYGraphHandle(TheoraDecodeState *S) { return S != nullptr ? S->YGraph : -1; }
int TheoraDecode_GetUVGraphHandle(TheoraDecodeState *S) { return S != nullptr ? S->UVGraph : -1; }
