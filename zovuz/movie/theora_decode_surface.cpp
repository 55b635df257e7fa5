// The Theora decoder's Direct3D 9 YUV surface: made by the back end when the graph layer first
// asks for it, in a layout the device converts (YV12, YUY2 or UYVY), filled with the current
// frame, and copied into the movie's graph by the device. Other back ends have no surface.
#include "zovuz/movie/theora_decode_internal.h"

#include <string.h>

TheoraSurfaceSystemData TheoraSurfaceSystem;

namespace {

constexpr uint32_t kYV12 = THEORA_FOURCC('Y', 'V', '1', '2');
constexpr uint32_t kYUY2 = THEORA_FOURCC('Y', 'U', 'Y', '2');
constexpr uint32_t kUYVY = THEORA_FOURCC('U', 'Y', 'V', 'Y');

// A lock that fails this many times in a row, the surface made anew in between, gives up.
constexpr int kLockAttempts = 3;

int Min(int A, int B) { return A < B ? A : B; }

bool SurfaceInUse() { return GetGraphicsAPIType() == GRAPHICS_API_D3D9 && TheoraSurfaceSystem.Device != nullptr; }

bool Chroma420(const TheoraDecodeState *S) { return S->Info.pixelformat == OC_PF_420; }

// Planar: the luma plane, then the V plane and the U plane, each of half the rows at half the
// pitch. The planes follow the surface's rows, not the frame's.
void CopyYV12(const TheoraFrameStockEntry &E, uint8_t *Pixels, int Pitch, int Width, int Height)
{
    const int rows = Min(E.YHeight, Height), bytes = Min(E.YWidth, Width);
    for (int y = 0; y < rows; ++y) memcpy(Pixels + (size_t)y * Pitch, E.YBuffer + (size_t)y * E.YPitch, bytes);
    const int chromaPitch = Pitch / 2, chromaRows = Height / 2;
    uint8_t *vPlane = Pixels + (size_t)Pitch * Height;
    uint8_t *uPlane = vPlane + (size_t)chromaPitch * chromaRows;
    const int cRows = Min(E.UVHeight, chromaRows), cWidth = Min(E.UVWidth, Width / 2);
    for (int y = 0; y < cRows; ++y) {
        const uint8_t *uv = E.UVBuffer + (size_t)y * E.UVPitch;
        uint8_t *u = uPlane + (size_t)y * chromaPitch, *v = vPlane + (size_t)y * chromaPitch;
        for (int x = 0; x < cWidth; ++x) {
            u[x] = uv[x * 2];
            v[x] = uv[x * 2 + 1];
        }
    }
}

// Packed: two pixels in four bytes, the luma at LumaAt and LumaAt + 2, U and V at ChromaAt and
// ChromaAt + 2. A picture of odd width repeats its last luma sample in the last pair.
void CopyPacked(const TheoraFrameStockEntry &E, int LumaAt, int ChromaAt, uint8_t *Pixels, int Pitch, int Width,
                int Height)
{
    const int rows = Min(E.YHeight, Height), pairs = Min(E.UVWidth, Width / 2);
    for (int y = 0; y < rows; ++y) {
        const uint8_t *luma = E.YBuffer + (size_t)y * E.YPitch;
        const uint8_t *uv = E.UVBuffer + (size_t)Min(y / 2, E.UVHeight - 1) * E.UVPitch;
        uint8_t *out = Pixels + (size_t)y * Pitch;
        for (int x = 0; x < pairs; ++x) {
            out[x * 4 + LumaAt] = luma[Min(x * 2, E.YWidth - 1)];
            out[x * 4 + LumaAt + 2] = luma[Min(x * 2 + 1, E.YWidth - 1)];
            out[x * 4 + ChromaAt] = uv[x * 2];
            out[x * 4 + ChromaAt + 2] = uv[x * 2 + 1];
        }
    }
}

// The device's surface for the picture: none for a stream that is not 4:2:0, whose chroma the
// layouts cannot carry (its frames then reach the graph as luma and chroma graphs or as the image).
// The layouts pair pixels and rows, so the size is even; the width is a multiple of four, which
// leaves the rows without padding, where converters disagree on where the planar layout's second
// chroma row of a pair begins.
void MakeSurface(TheoraDecodeState *S, int ASyncThread)
{
    if (S->SurfaceExists || S->SurfaceRefused || !Chroma420(S)) return;
    const int width = (S->Width + 3) & ~3, height = (S->Height + 1) & ~1;
    uint32_t fourCC = 0;
    void *surface = TheoraSurfaceSystem.Device->Create(width, height, &fourCC, ASyncThread);
    if (surface == nullptr) {
        S->SurfaceRefused = 1;
        return;
    }
    S->Surface = surface;
    S->SurfaceFourCC = fourCC;
    S->SurfaceWidth = width;
    S->SurfaceHeight = height;
    S->SurfaceExists = 1;
    S->SurfaceReady = 0;
}

}  // namespace

int TheoraDecode_CopyToSurface(const TheoraFrameStockEntry *E, int Is420, uint32_t FourCC, uint8_t *Pixels, int Pitch,
                               int Width, int Height)
{
    if (E == nullptr || Pixels == nullptr || E->YBuffer == nullptr || E->UVBuffer == nullptr || E->UVHeight < 1)
        return 0;
    if (FourCC == kYV12) {
        CopyYV12(*E, Pixels, Pitch, Width, Height);
        return 1;
    }
    if (!Is420) return 0;
    if (FourCC == kYUY2) {
        CopyPacked(*E, 0, 1, Pixels, Pitch, Width, Height);
        return 1;
    }
    if (FourCC == kUYVY) {
        CopyPacked(*E, 1, 0, Pixels, Pitch, Width, Height);
        return 1;
    }
    return 0;
}

// ---- Direct3D 9 ------------------------------------------------------------------------------

namespace {

void TheoraDecode_D3D9_Init(TheoraDecodeState *S)
{
    S->SurfaceFourCC = 0;
    S->SurfaceExists = 0;
}

void *TheoraDecode_D3D9_GetSurface(TheoraDecodeState *S, int ASyncThread)
{
    if (S->SurfaceLost) TheoraDecode_SurfaceTerminate(S, ASyncThread);
    MakeSurface(S, ASyncThread);
    return S->Surface;
}

void TheoraDecode_D3D9_SurfaceTerminate(TheoraDecodeState *S, int ASyncThread)
{
    S->SurfaceLost = 0;
    if (S->Surface != nullptr && TheoraSurfaceSystem.Device != nullptr)
        TheoraSurfaceSystem.Device->Release(S->Surface, ASyncThread);
    S->Surface = nullptr;
}

int TheoraDecode_D3D9_UpdateSurface(TheoraDecodeState *S, const TheoraFrameStockEntry *E, int ASyncThread)
{
    const TheoraSurfaceDevice &device = *TheoraSurfaceSystem.Device;
    uint8_t *pixels = nullptr;
    int pitch = 0;
    for (int attempt = 1;; ++attempt) {
        if (S->SurfaceExists && !S->SurfaceLost && S->Surface != nullptr)
            pixels = (uint8_t *)device.Lock(S->Surface, &pitch, ASyncThread);
        if (pixels != nullptr) break;
        if (attempt == kLockAttempts) return 0;
        // Made anew: a surface that will not lock is taken for lost.
        TheoraDecode_SurfaceTerminate(S, ASyncThread);
        MakeSurface(S, ASyncThread);
    }
    TheoraDecode_CopyToSurface(E, Chroma420(S), S->SurfaceFourCC, pixels, pitch, S->SurfaceWidth, S->SurfaceHeight);
    device.Unlock(S->Surface, ASyncThread);
    S->SurfaceReady = 1;
    return 0;
}

}  // namespace

// ---- The platform's part ---------------------------------------------------------------------

void TheoraDecode_Platform_Init(TheoraDecodeState *S) { TheoraDecode_D3D9_Init(S); }

void *TheoraDecode_Platform_GetSurface(TheoraDecodeState *S, int ASyncThread)
{
    return SurfaceInUse() ? TheoraDecode_D3D9_GetSurface(S, ASyncThread) : nullptr;
}

// Whatever the back end is now, a surface that was made is released.
void TheoraDecode_Platform_SurfaceTerminate(TheoraDecodeState *S, int ASyncThread)
{
    TheoraDecode_D3D9_SurfaceTerminate(S, ASyncThread);
}

int TheoraDecode_Platform_UpdateSurface(TheoraDecodeState *S, const TheoraFrameStockEntry *E, int ASyncThread)
{
    return SurfaceInUse() ? TheoraDecode_D3D9_UpdateSurface(S, E, ASyncThread) : 0;
}

// ---- The decoder's calls ---------------------------------------------------------------------

void *TheoraDecode_GetSurface(TheoraDecodeState *S)
{
    return S != nullptr ? TheoraDecode_Platform_GetSurface(S, 0) : nullptr;
}

int TheoraDecode_RefreshSurface(TheoraDecodeState *S)
{
    if (S == nullptr) return -1;
    S->SurfaceLost = 1;
    // The surface lives in the device's default pool: it cannot outlive the objects going now.
    TheoraDecode_SurfaceTerminate(S, 0);
    S->SurfaceRefused = 0;
    return 0;
}

int TheoraDecode_SurfaceTerminate(TheoraDecodeState *S, int ASyncThread)
{
    if (S == nullptr) return -1;
    // Only the release needs the main thread; without a surface there is nothing to hand over.
    if (ASyncThread && S->Surface != nullptr)
        return RequestMainThreadReplay(TheoraDecode_SurfaceTerminateCallback, S) < 0 ? -1 : 0;
    TheoraDecode_Platform_SurfaceTerminate(S, 0);
    S->SurfaceFourCC = 0;
    S->SurfaceReady = 0;
    S->SurfaceExists = 0;
    return 0;
}

int TheoraDecode_SurfaceTerminateCallback(ASyncLoadRequestInfo *Info)
{
    return TheoraDecode_SurfaceTerminate((TheoraDecodeState *)Info->Data[0], 0);
}
