// The start values of the filled-circle spans' x offsets: a test circle is drawn at the untested
// offsets and the ends of its widest rows are read back: the pixels just left of them and their
// last ones. A device that lights the first or misses the second moves that end's offset, and is
// tested once more.
#include "zovuz/d3d9/d3d9_internal.h"
#include "zovuz/d3d9/draw/d3d9_shapes.h"
#include "zovuz/d3d9/state/windows/d3d9_device_state_win.h"
#include "zovuz/d3d9/device/windows/d3d9_device_win.h"
#include "zovuz/d3d9/draw/windows/d3d9_vertex_batch_win.h"

namespace {

// The test circle's rows against the spans its walk gives them: Pixels[0] is non-zero when a
// pixel just left of a row was drawn, Pixels[1] is 0 when a row's last pixel is missing. Every
// row, not only the widest: a device that breaks the ties of a span's ends on the pixel edges
// unevenly (Wine's does, by position) shows it on some of them. False when they cannot be read.
bool ReadTestPixels(uint32_t Pixels[2])
{
    Graphics_D3D9_RenderVertexBuffer(0);
    Direct3DDevice9_EndSceneIfNeeded();
    IDirect3DSurface9 *target = D3D9DeviceStateCache.RenderTarget[0];
    D3DSURFACE_DESC desc = {};
    if (target == nullptr || FAILED(Direct3DSurface9_GetDesc(target, &desc)) || desc.Width < 28 || desc.Height < 28)
        return false;
    IDirect3DSurface9 *copy = nullptr;
    if (FAILED(Direct3DDevice9_CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM,
                                                           &copy, nullptr)))
        return false;
    bool read = false;
    D3DLOCKED_RECT locked = {};
    if (SUCCEEDED(Direct3DDevice9_GetRenderTargetData(target, copy)) &&
        SUCCEEDED(Direct3DSurface9_LockRect(copy, &locked, nullptr, D3DLOCK_READONLY))) {
        struct Probe
        {
            const D3DLOCKED_RECT *Locked;
            int Bytes;
            uint32_t Mask;
            uint32_t *Pixels;
            bool Seen[32];
            uint32_t At(int X, int Y) const
            {
                const unsigned char *at = (const unsigned char *)Locked->pBits + Y * Locked->Pitch + X * Bytes;
                uint32_t value = 0;
                for (int b = 0; b < Bytes; ++b) value |= (uint32_t)at[b] << (8 * b);
                return value & Mask;
            }
        } probe = {&locked, desc.Format == D3DFMT_R5G6B5 || desc.Format == D3DFMT_X1R5G5B5 ? 2 : 4, 0, Pixels, {}};
        probe.Mask = probe.Bytes == 2 ? 0xFFFFu : 0xFFFFFFu;
        Pixels[0] = 0;
        Pixels[1] = probe.Mask;
        D3D9WalkCircleSpans(
            16, 16, 10, 0, 0,
            [](void *Context, int Row, int Left, int Right) {
                Probe &p = *(Probe *)Context;
                if (Row < 0 || Row >= 32 || p.Seen[Row]) return;
                p.Seen[Row] = true;
                p.Pixels[0] |= p.At(Left - 1, Row);
                if (p.At(Right, Row) == 0) p.Pixels[1] = 0;
            },
            &probe);
        Direct3DSurface9_UnlockRect(copy);
        read = true;
    }
    Direct3D9_ReleaseObject(copy);
    return read;
}

// Draws the test circle, reads the two pixels and erases it. False when the pixels cannot be read.
bool DrawTestCircle(uint32_t Pixels[2])
{
    const GraphicsStateData &g = GraphicsState;
    const int background = g.BackgroundSetFlag ? 1 : 0;
    Graphics_D3D9_DrawCircle(16, 16, 10, GetColorValue(255, 255, 255), 1, 0, 0);
    const bool read = ReadTestPixels(Pixels);
    Graphics_D3D9_DrawFillBox(
        5, 5, 28, 28,
        background ? GetColorValue(g.BackgroundRed, g.BackgroundGreen, g.BackgroundBlue) : GetColorValue(0, 0, 0));
    Graphics_D3D9_RenderVertexBuffer(0);
    return read;
}

}  // namespace

int Graphics_D3D9_PixelCenterTest(void)
{
    Graphics_D3D9_DeviceState_SendAll();
    GraphicsDeviceCaps.PixelCenterNoOffsetFlag = 0;
    float *offset = D3D9Backend.TexelOffsetX;
    offset[0] = offset[1] = -0.5f;
    if (!Direct3DDevice9_IsValid()) return 0;

    // A lit pixel left of the row moves the start in; a missing last pixel moves the end out. (A
    // device whose lines leave the pixel they end on exactly at its corner unlit, as Wine's does,
    // would otherwise lose the last pixel of every row, whatever the start.)
    uint32_t pixels[2];
    if (!DrawTestCircle(pixels)) return 0;
    if (pixels[0] == 0 && pixels[1] != 0) return 0;
    if (pixels[0] != 0) offset[0] = -0.1f;
    if (pixels[1] == 0) offset[1] = -0.1f;
    if (!DrawTestCircle(pixels)) return 0;
    if (pixels[0] != 0) offset[0] = 0.0f;
    if (pixels[1] == 0) offset[1] = 0.0f;
    return 0;
}
