// The mask screen on the Direct3D 9 device. A masked draw works as on the software renderer: the
// begin hook copies the real target's rectangle into the mask screen, drawing lands there, and the
// end hook draws it back through the mask image, whose alpha test passes only texels whose mask
// byte is 0. Main thread only, under the library's API lock.
#include <string.h>

#include "zovuz/d3d9/d3d9_internal.h"
#include "zovuz/d3d9/texture/d3d9_mask.h"
#include "zovuz/d3d9/device/windows/d3d9_device_win.h"
#include "zovuz/d3d9/texture/windows/d3d9_mask_win.h"
#include "zovuz/d3d9/draw/windows/d3d9_vertex_batch_win.h"

namespace {

struct D3D9MaskData
{
    IDirect3DTexture9 *ImageTexture;   // the mask bytes in its texels' alpha (dynamic)
    IDirect3DTexture9 *ScreenTexture;  // the render target drawing lands in while the mask is in effect
    IDirect3DSurface9 *ScreenSurface;  // its level 0
    int TexWidth, TexHeight;           // both textures' size: powers of two
    IDirect3DTexture9 *OldImageTexture, *OldScreenTexture;  // while the mask grows
    IDirect3DSurface9 *OldScreenSurface;
    IDirect3DSurface9 *TargetSurface;  // the real target of the open masked draw (uncounted)
};
D3D9MaskData M;

constexpr int kBlendTex2DVertexType = 3;  // VERTEX_BLENDTEX_2D, 40 bytes

unsigned ScreenFormat() { return D3D9TextureFormatTable.Format[D3D9_FORMAT_SLOT_TARGET]; }
unsigned AlphaFormat()
{
    const unsigned *f = D3D9TextureFormatTable.Format;
    return f[D3D9_FORMAT_SLOT_ALPHA_RGB32] != 0 ? f[D3D9_FORMAT_SLOT_ALPHA_RGB32] : f[D3D9_FORMAT_SLOT_ALPHA_RGB16];
}

IDirect3DSurface9 *ScreenSurfaceOfDevice()
{
    return D3D9Screen.SubBackBufferSurface != nullptr ? D3D9Screen.SubBackBufferSurface : D3D9DeviceCapsInfo.BackBuffer;
}

// The draw target's own surface: a shadow map's, a graph's render surface or the level 0 of its
// current face, else the screen's.
IDirect3DSurface9 *DrawTargetSurface()
{
    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    const int target = d.RenderTarget[0];
    if (GraphicsShadowMapSettings.DrawFlag) {
        ShadowMapHandleData *map = GetShadowMapEntry(target, 0);
        const D3D9TextureObjects *objects = map != nullptr ? D3D9TextureObjectsOf(map->PF) : nullptr;
        if (objects != nullptr && objects->RenderSurface != nullptr) return objects->RenderSurface;
    }
    GraphHandleData *graph = GetTypedHandle<GraphHandleData>(target, DX_HANDLETYPE_GRAPH, 0);
    if (graph == nullptr || graph->Image == nullptr || graph->Image->TextureNum < 1) return ScreenSurfaceOfDevice();
    const D3D9TextureObjects *objects = D3D9TextureObjectsOf(graph->Image->Texture[0].PF);
    if (objects == nullptr) return ScreenSurfaceOfDevice();
    if (objects->RenderSurface != nullptr) return objects->RenderSurface;
    IDirect3DSurface9 *surface = nullptr;
    IDirect3DBaseTexture9 *texture = objects->Texture;
    if (texture == nullptr) return ScreenSurfaceOfDevice();
    HRESULT hr = graph->Image->Format.CubeMapFlag
                     ? Direct3DCubeTexture9_GetCubeMapSurface(static_cast<IDirect3DCubeTexture9 *>(texture),
                                                              (D3DCUBEMAP_FACES)d.RenderTargetSurface[0], 0, &surface)
                     : Direct3DTexture9_GetSurfaceLevel(static_cast<IDirect3DTexture9 *>(texture), 0, &surface);
    if (FAILED(hr) || surface == nullptr) return ScreenSurfaceOfDevice();
    // The texture keeps its surface alive.
    Direct3D9_ReleaseObject(surface);
    return surface;
}

void SetViewportToDrawArea()
{
    const ImageRect &a = GraphicsDrawSettings.DrawArea;
    if (a.right > a.left && a.bottom > a.top)
        Graphics_D3D9_DeviceState_SetViewportRect(a.left, a.top, a.right, a.bottom);
}

// The mask bytes of (0, 0) - (Width, Height), clipped to the mask and ClipTo, into the image.
void WriteMaskBytes(int Width, int Height, const ImageRect *ClipTo)
{
    int maskWidth = 0, maskHeight = 0, pitch = 0;
    const uint8_t *bytes = GetMaskScreenBuffer(&maskWidth, &maskHeight, &pitch);
    ImageRect rect = {0, 0, Width < maskWidth ? Width : maskWidth, Height < maskHeight ? Height : maskHeight};
    if (ClipTo != nullptr) {
        if (rect.left < ClipTo->left) rect.left = ClipTo->left;
        if (rect.top < ClipTo->top) rect.top = ClipTo->top;
        if (rect.right > ClipTo->right) rect.right = ClipTo->right;
        if (rect.bottom > ClipTo->bottom) rect.bottom = ClipTo->bottom;
    }
    if (rect.right > M.TexWidth) rect.right = M.TexWidth;
    if (rect.bottom > M.TexHeight) rect.bottom = M.TexHeight;
    if (bytes == nullptr || M.ImageTexture == nullptr || rect.right <= rect.left || rect.bottom <= rect.top) return;
    const RECT lockRect = {rect.left, rect.top, rect.right, rect.bottom};
    D3DLOCKED_RECT locked = {};
    if (FAILED(Direct3DTexture9_LockRect(M.ImageTexture, 0, &locked, &lockRect, 0))) return;
    D3D9WriteMaskAlpha(AlphaFormat(), (uint8_t *)locked.pBits, locked.Pitch,
                       bytes + (size_t)rect.top * pitch + rect.left, pitch, rect.right - rect.left,
                       rect.bottom - rect.top);
    Direct3DTexture9_UnlockRect(M.ImageTexture, 0);
}

}  // namespace

IDirect3DSurface9 *Graphics_D3D9_DrawTargetSurface(void) { return DrawTargetSurface(); }

IDirect3DSurface9 *Graphics_D3D9_Mask_ScreenSurfaceInUse(void)
{
    return GraphicsDrawSettings.MaskValidFlag ? M.ScreenSurface : nullptr;
}

int Graphics_D3D9_Mask_SaveOldScreen(void)
{
    M.OldImageTexture = M.ImageTexture;
    M.OldScreenTexture = M.ScreenTexture;
    M.OldScreenSurface = M.ScreenSurface;
    M.ImageTexture = nullptr;
    M.ScreenTexture = nullptr;
    M.ScreenSurface = nullptr;
    return 0;
}

int Graphics_D3D9_Mask_CreateScreen(int Width, int Height)
{
    if (ScreenFormat() == 0) {
        AddLogStringWide(L"マスク描画用カラーバッファで使用できるテクスチャフォーマットがありませんでした\n");
        return -1;
    }
    if (AlphaFormat() == 0) {
        AddLogStringWide(
            L"マスク描画用アルファチャンネルバッファで使用できるテクスチャフォーマットがありませんでした\n");
        return -1;
    }
    if (!Direct3DDevice9_IsValid()) return -1;
    M.TexWidth = CalcPowerOfTwoAtLeast(Width);
    M.TexHeight = CalcPowerOfTwoAtLeast(Height);
    Direct3DDevice9_EndSceneIfNeeded();

    if (M.ImageTexture == nullptr) {
        if (HRESULT hr =
                Direct3DDevice9_CreateTexture((UINT)M.TexWidth, (UINT)M.TexHeight, 1, D3DUSAGE_DYNAMIC,
                                              (D3DFORMAT)AlphaFormat(), D3DPOOL_DEFAULT, &M.ImageTexture, nullptr);
            FAILED(hr)) {
            M.ImageTexture = nullptr;
            AddLogStringWide(L"マスク用イメージテクスチャの作成に失敗しました\n");
            return LogPlatformFailure(L"IDirect3DDevice9::CreateTexture", (unsigned long)hr);
        }
        int pixelBytes = 0, alphaByte = 0;
        if (!D3D9MaskAlphaLayout(AlphaFormat(), &pixelBytes, &alphaByte)) pixelBytes = 4;
        D3DLOCKED_RECT locked = {};
        if (SUCCEEDED(Direct3DTexture9_LockRect(M.ImageTexture, 0, &locked, nullptr, 0))) {
            for (int y = 0; y < M.TexHeight; ++y)
                memset((uint8_t *)locked.pBits + (size_t)y * locked.Pitch, 0, (size_t)pixelBytes * M.TexWidth);
            Direct3DTexture9_UnlockRect(M.ImageTexture, 0);
        }
        // The bytes the mask holds now: a mask made from bytes is in effect at once.
        WriteMaskBytes(Width, Height, nullptr);
    }
    HRESULT hr = S_OK;
    if (M.ScreenTexture == nullptr &&
        FAILED(hr = Direct3DDevice9_CreateTexture((UINT)M.TexWidth, (UINT)M.TexHeight, 1, D3DUSAGE_RENDERTARGET,
                                                  (D3DFORMAT)ScreenFormat(), D3DPOOL_DEFAULT, &M.ScreenTexture,
                                                  nullptr))) {
        M.ScreenTexture = nullptr;
        AddLogStringWide(L"マスク用スクリーンテクスチャの作成に失敗しました\n");
        return LogPlatformFailure(L"IDirect3DDevice9::CreateTexture", (unsigned long)hr);
    }
    if (M.ScreenSurface == nullptr && FAILED(Direct3DTexture9_GetSurfaceLevel(M.ScreenTexture, 0, &M.ScreenSurface)))
        M.ScreenSurface = nullptr;
    return 0;
}

int Graphics_D3D9_Mask_CopyOldScreen(int OldWidth, int OldHeight)
{
    Graphics_D3D9_RenderVertexBuffer(0);
    Direct3DDevice9_EndSceneIfNeeded();
    WriteMaskBytes(OldWidth, OldHeight, &GraphicsDrawSettings.DrawArea);
    ReleaseAndClear(M.OldImageTexture, Direct3D9_ReleaseObject);
    if (M.OldScreenSurface != nullptr && M.ScreenSurface != nullptr) {
        const RECT rect = {0, 0, OldWidth, OldHeight};
        Direct3DDevice9_StretchRect(M.OldScreenSurface, &rect, M.ScreenSurface, &rect, D3DTEXF_NONE);
        for (int i = 0; i < D3D9_RENDER_TARGET_NUM; ++i)
            if (D3D9DeviceStateCache.RenderTarget[i] == M.OldScreenSurface)
                Graphics_D3D9_DeviceState_SetRenderTarget(M.ScreenSurface, i);
    }
    if (M.TargetSurface == M.OldScreenSurface) M.TargetSurface = nullptr;
    ReleaseAndClear(M.OldScreenSurface, Direct3D9_ReleaseObject);
    ReleaseAndClear(M.OldScreenTexture, Direct3D9_ReleaseObject);
    return 0;
}

int Graphics_D3D9_Mask_DrawBegin(int X1, int Y1, int X2, int Y2)
{
    if (!GraphicsDrawSettings.MaskValidFlag || M.ScreenSurface == nullptr || !Direct3DDevice9_IsValid()) return 0;
    Graphics_D3D9_RenderVertexBuffer(0);
    Direct3DDevice9_EndSceneIfNeeded();
    M.TargetSurface = DrawTargetSurface();
    if (X2 <= X1 || Y2 <= Y1 || X2 > M.TexWidth || Y2 > M.TexHeight) return 0;
    const RECT rect = {X1, Y1, X2, Y2};
    Direct3DDevice9_StretchRect(M.TargetSurface, &rect, M.ScreenSurface, &rect, D3DTEXF_NONE);
    return 0;
}

int Graphics_D3D9_Mask_DrawEnd(int X1, int Y1, int X2, int Y2)
{
    if (!GraphicsDrawSettings.MaskValidFlag || M.ScreenSurface == nullptr || M.ImageTexture == nullptr ||
        !Direct3DDevice9_IsValid())
        return 0;
    Graphics_D3D9_RenderVertexBuffer(0);
    if (M.TargetSurface == nullptr) M.TargetSurface = DrawTargetSurface();
    D3D9DeviceStateCacheData &cache = D3D9DeviceStateCache;
    Graphics_D3D9_DeviceState_SetRenderTarget(M.TargetSurface, 0);
    Direct3DDevice9_BeginSceneIfNeeded();
    const int zEnable = cache.ZEnable;
    Graphics_D3D9_DeviceState_SetZEnable(0);
    Graphics_D3D9_DeviceState_SetVertexShader(nullptr, 0);
    Graphics_D3D9_DeviceState_SetPixelShader(nullptr, 0);
    Graphics_D3D9_DeviceState_SetVertexBuffer(nullptr, 0);
    Graphics_D3D9_DeviceState_SetIndexBuffer(nullptr);
    SetViewportToDrawArea();

    // Stage 0 the mask screen's colour, stage 1 the mask image's alpha; the alpha test writes only
    // where that alpha is 0.
    D3D9DrawStateRecord record;
    memset(&record, 0xFF, sizeof record);
    record.AlphaTestEnable = 1;
    record.AlphaRef = 0;
    record.AlphaFunc = D3DCMP_EQUAL;
    record.AlphaBlendEnable = 0;
    record.SeparateAlphaBlendEnable = 0;
    record.TextureFactor = 0xFFFFFFFF;
    record.TextureNum = 3;
    record.Stage[0] = {(IDirect3DBaseTexture9 *)M.ScreenTexture,
                       0,
                       0,
                       D3DTA_TEXTURE,
                       D3DTA_DIFFUSE,
                       D3DTOP_SELECTARG1,
                       D3DTA_TEXTURE,
                       D3DTA_DIFFUSE,
                       D3DTOP_SELECTARG1};
    record.Stage[1] = {(IDirect3DBaseTexture9 *)M.ImageTexture,
                       1,
                       0,
                       D3DTA_TEXTURE,
                       D3DTA_CURRENT,
                       D3DTOP_SELECTARG1,
                       D3DTA_CURRENT,
                       D3DTA_TEXTURE,
                       D3DTOP_SELECTARG1};
    record.Stage[2] = {nullptr,       2, 0, D3DTA_CURRENT, D3DTA_DIFFUSE, D3DTOP_DISABLE, D3DTA_CURRENT, D3DTA_DIFFUSE,
                       D3DTOP_DISABLE};
    Graphics_D3D9_DeviceState_SetDrawState(&record, 0, 0, 0);

    const float w = (float)M.TexWidth, h = (float)M.TexHeight;
    auto corner = [&](int X, int Y) {
        return D3D9VertexBlendTex2D{(float)X - 0.5f, (float)Y - 0.5f, 0.0f,         1.0f,        0xFFFFFFFF, 0,
                                    (float)X / w,    (float)Y / h,    (float)X / w, (float)Y / h};
    };
    const D3D9VertexBlendTex2D strip[4] = {corner(X1, Y1), corner(X2, Y1), corner(X1, Y2), corner(X2, Y2)};
    Graphics_D3D9_SetVertexType(kBlendTex2DVertexType);
    Direct3DDevice9_DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, strip, (UINT)sizeof(D3D9VertexBlendTex2D));

    Direct3DDevice9_EndSceneIfNeeded();
    Direct3DDevice9_BeginSceneIfNeeded();
    Graphics_D3D9_DeviceState_SetZEnable(zEnable);
    Graphics_D3D9_DeviceState_SetRenderTarget(M.ScreenSurface, 0);
    SetViewportToDrawArea();
    return 0;
}

int Graphics_D3D9_Mask_ReleaseScreen(void)
{
    // A surface the cache still binds goes off it first.
    for (int i = 0; i < D3D9_RENDER_TARGET_NUM && Direct3DDevice9_IsValid(); ++i)
        if (M.ScreenSurface != nullptr && D3D9DeviceStateCache.RenderTarget[i] == M.ScreenSurface) {
            Graphics_D3D9_RenderVertexBuffer(0);
            if (i == 0) {
                Graphics_D3D9_DeviceState_SetRenderTarget(ScreenSurfaceOfDevice(), 0);
            } else {
                Direct3DDevice9_SetRenderTarget((DWORD)i, nullptr);
                D3D9DeviceStateCache.RenderTarget[i] = nullptr;
            }
        }
    ReleaseAndClear(M.ImageTexture, Direct3D9_ReleaseObject);
    ReleaseAndClear(M.ScreenSurface, Direct3D9_ReleaseObject);
    ReleaseAndClear(M.ScreenTexture, Direct3D9_ReleaseObject);
    ReleaseAndClear(M.OldImageTexture, Direct3D9_ReleaseObject);
    ReleaseAndClear(M.OldScreenSurface, Direct3D9_ReleaseObject);
    ReleaseAndClear(M.OldScreenTexture, Direct3D9_ReleaseObject);
    M.TargetSurface = nullptr;
    return 0;
}

int Graphics_D3D9_Mask_SetUseScreen(void)
{
    if (!Direct3DDevice9_IsValid()) return -1;
    Graphics_D3D9_RenderVertexBuffer(0);
    const bool mask = GraphicsDrawSettings.MaskValidFlag && M.ScreenSurface != nullptr;
    Graphics_D3D9_DeviceState_SetRenderTarget(mask ? M.ScreenSurface : DrawTargetSurface(), 0);
    Graphics_Hardware_SetupDepthBuffer();
    SetViewportToDrawArea();
    return 0;
}
