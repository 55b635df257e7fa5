// The Direct3D 9 screen: the sub back buffer, the present with its border fill, the scene
// brackets, the clear and the front-screen timer.
#include "zovuz/d3d9/state/windows/d3d9_device_state_win.h"
#include "zovuz/d3d9/device/windows/d3d9_device_win.h"
#include "zovuz/d3d9/texture/windows/d3d9_mask_win.h"

namespace {

D3DCOLOR BackgroundColor()
{
    const GraphicsStateData &g = GraphicsState;
    return D3DCOLOR_XRGB(g.BackgroundRed & 0xFF, g.BackgroundGreen & 0xFF, g.BackgroundBlue & 0xFF);
}

RECT ToRect(const ImageRect &R) { return RECT{R.left, R.top, R.right, R.bottom}; }

// Where the frame lands in the main window. Centred reports whether the window shows it centred.
RECT PresentDestRect(HWND Window, bool *Centred)
{
    D3D9PresentPlacement p = {};
    p.WindowMode = GetWindowModeFlag();
    GetDrawScreenSize(&p.DrawWidth, &p.DrawHeight);
    GetWindowSizeExtendRate(&p.ScaleX, &p.ScaleY);
    // Core decides from its maximised, free-size and set-size flags, as for the mouse.
    p.Centred = GetWindowDrawOffset(&p.OffsetX, &p.OffsetY);
    RECT client = {};
    if (Window != nullptr) GetClientRect(Window, &client);
    p.ClientWidth = client.right;
    p.ClientHeight = client.bottom;
    *Centred = p.WindowMode && p.Centred;
    return ToRect(D3D9PresentDestRect(p));
}

// The sub back buffer's source: the screen, or the valid part of it. False when nothing is left.
bool SubBackBufferSource(RECT *Source)
{
    *Source = RECT{0, 0, GraphicsScreenSettings.MainScreenWidth, GraphicsScreenSettings.MainScreenHeight};
    return Source->right > 0 && Source->bottom > 0;
}

// Whether the window has a part waiting to be painted; looking at the queue first lets a request
// the display has made arrive.
bool PaintRequested(HWND Window)
{
    MSG message;
    PeekMessageW(&message, Window, WM_PAINT, WM_PAINT, PM_NOREMOVE);
    return GetUpdateRect(Window, nullptr, FALSE) != 0;
}

// Window mode, centred: the bands around the frame, painted on three presents after each change of
// the client area.
void FillBorders(HWND Window, const RECT &Dest)
{
    D3D9ScreenData &s = D3D9Screen;
    RECT client = {};
    GetClientRect(Window, &client);
    if (client.right != s.BorderClientWidth || client.bottom != s.BorderClientHeight) {
        s.BorderClientWidth = client.right;
        s.BorderClientHeight = client.bottom;
        s.BorderPresentCount = 3;
    }
    if (s.BorderPresentCount <= 0) return;
    --s.BorderPresentCount;
    if (EqualRect(&Dest, &client)) return;
    HDC dc = GetDC(Window);
    if (dc == nullptr) return;
    HBRUSH brush = GraphicsState.BackgroundSetFlag
                       ? CreateSolidBrush(RGB(GraphicsState.BackgroundRed & 0xFF, GraphicsState.BackgroundGreen & 0xFF,
                                              GraphicsState.BackgroundBlue & 0xFF))
                       : (HBRUSH)GetStockObject(BLACK_BRUSH);
    const RECT bands[4] = {{0, 0, client.right, Dest.top},
                           {0, Dest.bottom, client.right, client.bottom},
                           {0, Dest.top, Dest.left, Dest.bottom},
                           {Dest.right, Dest.top, client.right, Dest.bottom}};
    for (const RECT &band : bands)
        if (band.right > band.left && band.bottom > band.top) FillRect(dc, &band, brush);
    if (GraphicsState.BackgroundSetFlag) DeleteObject(brush);
    ReleaseDC(Window, dc);
}

// The texture form of the sub back buffer, drawn onto the back buffer as one quad.
int DrawSubBackBufferQuad(const RECT &Source, const ImageRect &Dest, D3DTEXTUREFILTERTYPE Filter)
{
    D3D9ScreenData &s = D3D9Screen;
    IDirect3DSurface9 *backBuffer = D3D9DeviceCapsInfo.BackBuffer;
    Direct3DDevice9_SetRenderTarget(0, backBuffer);
    for (DWORD i = 1; i < 8 && i < (DWORD)GraphicsDeviceCaps.RenderTargetNum; ++i)
        Direct3DDevice9_SetRenderTarget(i, nullptr);
    Direct3DDevice9_BeginSceneIfNeeded();
    Direct3DDevice9_SetSamplerState(0, D3DSAMP_MAGFILTER, Filter);
    Direct3DDevice9_SetSamplerState(0, D3DSAMP_MINFILTER, Filter);
    Direct3DDevice9_SetRenderState(D3DRS_ZENABLE, FALSE);
    Direct3DDevice9_SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    Direct3DDevice9_SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    Direct3DDevice9_SetVertexShader(nullptr);
    Direct3DDevice9_SetPixelShader(nullptr);
    Direct3DDevice9_SetTexture(0, s.SubBackBufferTexture);
    Direct3DDevice9_SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    Direct3DDevice9_SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    Direct3DDevice9_SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    Direct3DDevice9_SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    float u0 = (float)Source.left / s.SubBackBufferWidth, u1 = (float)Source.right / s.SubBackBufferWidth;
    float v0 = (float)Source.top / s.SubBackBufferHeight, v1 = (float)Source.bottom / s.SubBackBufferHeight;
    float x0 = Dest.left - 0.5f, x1 = Dest.right - 0.5f, y0 = Dest.top - 0.5f, y1 = Dest.bottom - 0.5f;
    const VERTEX2D quad[4] = {{{x0, y0, 0}, 1, {255, 255, 255, 255}, u0, v0},
                              {{x1, y0, 0}, 1, {255, 255, 255, 255}, u1, v0},
                              {{x0, y1, 0}, 1, {255, 255, 255, 255}, u0, v1},
                              {{x1, y1, 0}, 1, {255, 255, 255, 255}, u1, v1}};
    HRESULT result = Direct3DDevice9_DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(VERTEX2D));
    Direct3DDevice9_SetTexture(0, nullptr);
    Direct3DDevice9_EndSceneIfNeeded();
    Direct3DDevice9_SetRenderTarget(0, s.SubBackBufferSurface);
    // The quad went past the state cache: the device holds what the cache is told here, and the
    // cache is sent again. The send-all gives stage 0 its filters only for a chosen draw mode, and
    // setters send only what differs from the cache: the filters the cache holds go back at once.
    D3D9DeviceStateCacheData &cache = D3D9DeviceStateCache;
    Direct3DDevice9_SetSamplerState(0, D3DSAMP_MAGFILTER, cache.Sampler[0].MagFilter);
    Direct3DDevice9_SetSamplerState(0, D3DSAMP_MINFILTER, cache.Sampler[0].MinFilter);
    cache.VertexShader = nullptr;
    cache.PixelShader = nullptr;
    for (int i = 1; i < D3D9_RENDER_TARGET_NUM; ++i) cache.RenderTarget[i] = nullptr;
    cache.RenderTarget[0] = s.SubBackBufferSurface;
    Graphics_D3D9_DeviceState_SendAll();
    return FAILED(result) ? -1 : 0;
}

// A flip that finds the screen's write count where the last present left it presents nothing, and a
// copy onto the screen that repeats the last one is skipped. A present after which the window does
// not show the screen as drawn (none made, a back buffer handed back empty, borders still to be
// painted) moves the count on, so that the next frame draws and presents again.
void LeaveScreenNotShown() { ++D3D9CallLayer.ScreenWriteCount; }

}  // namespace

int Graphics_D3D9_IsScreenSurface(IDirect3DSurface9 *Surface)
{
    return Surface != nullptr &&
                   (Surface == D3D9DeviceCapsInfo.BackBuffer || Surface == D3D9Screen.SubBackBufferSurface)
               ? 1
               : 0;
}

int Graphics_D3D9_GetScreenWriteCount(uint32_t *Count)
{
    *Count = D3D9CallLayer.ScreenWriteCount;
    return 0;
}

// ---- Scene brackets and the front-screen timer ------------------------------------------------------

int Direct3DDevice9_BeginSceneIfNeeded(void)
{
    if (D3D9CallLayer.Device == nullptr || D3D9Backend.SceneOpenFlag == 1) return 0;
    Direct3DDevice9_BeginScene();
    D3D9Backend.SceneOpenFlag = 1;
    D3D9DeviceStateCache.PreparedDrawFlags = 0;
    return 0;
}

int Direct3DDevice9_EndSceneIfNeeded(void)
{
    if (D3D9CallLayer.Direct3D == nullptr || !D3D9Backend.SceneOpenFlag) return 0;
    Direct3DDevice9_EndScene();
    D3D9Backend.SceneOpenFlag = 0;
    return 0;
}

int Direct3D9_SetFrontScreenTimer(int On)
{
    if (On) StartFrontScreenTimer(GetMainWindowHandle());
    return 0;
}

int Graphics_D3D9_StartFrontScreenTimer(int DrawScreen)
{
    return Direct3D9_SetFrontScreenTimer(DrawScreen == DX_SCREEN_FRONT);
}

// ---- The present ------------------------------------------------------------------------------------

int Direct3DDevice9_TransferSubBackBuffer(const RECT *SrcRect)
{
    D3D9ScreenData &s = D3D9Screen;
    GraphicsScreenSettingsData &settings = GraphicsScreenSettings;
    SetupFullScreenScalingRect();
    const ImageRect &dest = settings.FullScreenScalingRect;
    bool nearest = settings.FullScreenScalingModeInEffect == FULLSCREEN_SCALING_EXACT;
    if (s.SubBackBufferTexture == nullptr) {
        D3DTEXTUREFILTERTYPE filter = D3DTEXF_POINT;
        if (!nearest && (D3D9DeviceCapsInfo.Caps.StretchRectFilterCaps & D3DPTFILTERCAPS_MAGFLINEAR) != 0)
            filter = D3DTEXF_LINEAR;
        RECT destRect = ToRect(dest);
        HRESULT result = Direct3DDevice9_StretchRect(s.SubBackBufferSurface, SrcRect, D3D9DeviceCapsInfo.BackBuffer,
                                                     &destRect, filter);
        if (FAILED(result)) {
            AddLogFormat(L"Direct3DDevice9 StretchRect 失敗 箇所３ 戻り値 0x%08x", (unsigned)result);
            return -1;
        }
        return 0;
    }
    return DrawSubBackBufferQuad(*SrcRect, dest, nearest ? D3DTEXF_POINT : D3DTEXF_LINEAR);
}

int Direct3DDevice9_Present(void)
{
    D3D9ScreenData &s = D3D9Screen;
    GraphicsScreenSettingsData &settings = GraphicsScreenSettings;
    const int windowMode = GetWindowModeFlag();
    HWND window = (HWND)GetDisplayWindowHandle();
    RECT source = {0, 0, settings.MainScreenWidth, settings.MainScreenHeight};
    bool centred = false;
    RECT dest = PresentDestRect(window, &centred);

    Graphics_Hardware_RenderVertexBuffer(0);
    Direct3DDevice9_EndSceneIfNeeded();
    // The copy of the sub back buffer writes the window's back buffer, which is the present's own:
    // the library's screen stays as it was drawn (its write count too).
    const uint32_t writes = D3D9CallLayer.ScreenWriteCount;
    if (windowMode && settings.Emulation320x240Flag) {
        source = RECT{0, 0, 320, 240};
        dest = RECT{0, 0, 640, 480};
    }

    if (s.SubBackBufferSurface != nullptr) {
        RECT subSource;
        if (!SubBackBufferSource(&subSource)) return -1;
        if (windowMode || settings.FullScreenScalingModeInEffect == FULLSCREEN_SCALING_EXACT) {
            HRESULT result = Direct3DDevice9_StretchRect(s.SubBackBufferSurface, &subSource,
                                                         D3D9DeviceCapsInfo.BackBuffer, nullptr, D3DTEXF_NONE);
            if (FAILED(result)) {
                AddLogFormat(windowMode ? L"Direct3DDevice9 StretchRect 失敗 箇所１ 戻り値 0x%08x"
                                        : L"Direct3DDevice9 StretchRect 失敗 箇所２ 戻り値 0x%08x",
                             (unsigned)result);
                return -1;
            }
        } else if (settings.FullScreenScalingModeInEffect == FULLSCREEN_SCALING_DESKTOP ||
                   settings.FullScreenScalingModeInEffect == FULLSCREEN_SCALING_SCALED) {
            if (Direct3DDevice9_TransferSubBackBuffer(&subSource) < 0) {
                AddLogStringWide(L"サブバックバッファの内容をバックバッファへ転送する処理が失敗しました\n");
                return -1;
            }
        }
    }

    D3D9CallLayer.ScreenWriteCount = writes;
    IDirect3DSwapChain9 *swapChain = D3D9CallLayer.SwapChain;
    if (swapChain == nullptr) return 0;
    int64_t start = GetNowMicroCount();
    if (window != nullptr && IsIconic(window)) {
        LeaveScreenNotShown();
    } else {
        if (windowMode) {
            const bool paintPending = window != nullptr && PaintRequested(window);
            if (FAILED(Direct3DSwapChain9_Present(swapChain, &source, &dest, window, nullptr, 0))) return -1;
            // The window shows the whole frame now. With a DirectDraw object tied to the window,
            // Wine marks the whole window for painting at each present, and the paint handler
            // presents again: that mark is cleared here, or the two would never end. A paint asked
            // for before the present is left: the window may not show this present yet (the first
            // after its start), and the paint shows it again.
            if (!paintPending && window != nullptr && PaintRequested(window)) ValidateRect(window, nullptr);
            if (window != nullptr && centred) FillBorders(window, dest);
        } else {
            // A full-screen swap chain discards: it shows its whole back buffer and takes no rectangles.
            if (FAILED(Direct3DSwapChain9_Present(swapChain, nullptr, nullptr, window, nullptr, 0))) return -1;
        }
        // Without a sub back buffer the library's screen is the back buffer, which a swap chain that
        // discards hands back holding nothing; and borders still to be painted want presents of
        // their own.
        if ((s.SubBackBufferSurface == nullptr && D3D9CallLayer.SwapEffect != D3DSWAPEFFECT_COPY) ||
            s.BorderPresentCount > 0)
            LeaveScreenNotShown();
    }
    if (GetAlwaysRunFlag() && !settings.NotWaitVSyncFlag && GetNowMicroCount() - start < 500) DirectDraw7_WaitVSync();
    return 0;
}

// ---- The sub back buffer and the frame --------------------------------------------------------------

int Graphics_D3D9_SetupSubBackBuffer(void)
{
    D3D9ScreenData &s = D3D9Screen;
    if (s.SubBackBufferSurface != nullptr) return 0;
    if (!Direct3DDevice9_IsValid()) return -1;
    Graphics_Hardware_RenderVertexBuffer(0);
    Direct3DDevice9_EndSceneIfNeeded();

    const GraphicsScreenSettingsData &settings = GraphicsScreenSettings;
    const GraphicsDeviceModeData &mode = GraphicsDeviceMode;
    D3DFORMAT format = D3D9DeviceCapsInfo.BackBufferFormat;
    int width = settings.MainScreenWidth, height = settings.MainScreenHeight;
    bool multisampled = mode.MultiSampleCount >= 2 || mode.MultiSampleQuality > 0;
    if (!multisampled) {
        s.SubBackBufferWidth = GraphicsDeviceCaps.PowerOfTwoTextureOnly ? CalcPowerOfTwoAtLeast(width) : width;
        s.SubBackBufferHeight = GraphicsDeviceCaps.PowerOfTwoTextureOnly ? CalcPowerOfTwoAtLeast(height) : height;
        if (FAILED(Direct3DDevice9_CreateTexture((UINT)s.SubBackBufferWidth, (UINT)s.SubBackBufferHeight, 1,
                                                 D3DUSAGE_RENDERTARGET, format, D3DPOOL_DEFAULT,
                                                 &s.SubBackBufferTexture, nullptr))) {
            s.SubBackBufferTexture = nullptr;
            AddLogFormat(L"サブバックバッファ用テクスチャの作成に失敗しました  Format:%d  SizeX:%d  SizeY:%d ",
                         (int)format, s.SubBackBufferWidth, s.SubBackBufferHeight);
        } else if (HRESULT hr = Direct3DTexture9_GetSurfaceLevel(s.SubBackBufferTexture, 0, &s.SubBackBufferSurface);
                   FAILED(hr)) {
            s.SubBackBufferSurface = nullptr;
            AddLogStringWide(L"サブバックバッファ用テクスチャのサーフェスアドレスの取得に失敗しました\n");
            return LogPlatformFailure(L"IDirect3DTexture9::GetSurfaceLevel", (unsigned long)hr);
        }
    }
    if (s.SubBackBufferSurface == nullptr) {
        D3DMULTISAMPLE_TYPE type =
            mode.MultiSampleCount >= 2 ? (D3DMULTISAMPLE_TYPE)mode.MultiSampleCount : D3DMULTISAMPLE_NONE;
        const HRESULT hr =
            Direct3DDevice9_CreateRenderTarget((UINT)width, (UINT)height, format, type, (DWORD)mode.MultiSampleQuality,
                                               FALSE, &s.SubBackBufferSurface, nullptr);
        if (FAILED(hr)) {
            s.SubBackBufferSurface = nullptr;
            AddLogStringWide(L"サブバックバッファの作成に失敗しました\n");
            return LogPlatformFailure(L"IDirect3DDevice9::CreateRenderTarget", (unsigned long)hr);
        }
    }
    Direct3DDevice9_StretchRect(D3D9DeviceCapsInfo.BackBuffer, nullptr, s.SubBackBufferSurface, nullptr, D3DTEXF_NONE);
    Direct3DDevice9_ColorFill(D3D9DeviceCapsInfo.BackBuffer, nullptr, 0);
    D3D9DeviceStateCache.ForceFlag = 1;
    Graphics_D3D9_DeviceState_SetRenderTarget(s.SubBackBufferSurface, 0);
    D3D9DeviceStateCache.ForceFlag = 0;
    return 0;
}

int Graphics_D3D9_SetupSubBackBufferFullScreen(void)
{
    if (GetWindowModeFlag()) return 0;
    Graphics_D3D9_SetupSubBackBuffer();
    return 0;
}

int Graphics_D3D9_PresentFrame(void)
{
    HWND mainWindow = (HWND)GetMainWindowHandle();
    if (!GetWindowActiveFlag() && mainWindow != nullptr && !GetAlwaysRunFlag()) {
        LeaveScreenNotShown();
        return 0;
    }
    // Full screen draws into the sub back buffer unless the display mode is the screen's own.
    if (!GetWindowModeFlag() && GraphicsScreenSettings.FullScreenScalingModeInEffect != FULLSCREEN_SCALING_EXACT)
        Graphics_D3D9_SetupSubBackBuffer();
    return Direct3DDevice9_Present();
}

int Graphics_D3D9_ClearDrawScreen(const ImageRect *ClearRect)
{
    if (!Direct3DDevice9_IsValid()) return 0;
    IDirect3DSurface9 *target = Graphics_D3D9_DrawTargetSurface();
    Graphics_Hardware_RenderVertexBuffer(0);
    Direct3DDevice9_EndSceneIfNeeded();
    // While a mask is in effect drawing lands in the mask screen; the clear is the target's own.
    IDirect3DSurface9 *mask = Graphics_D3D9_Mask_ScreenSurfaceInUse();
    if (mask != nullptr) Graphics_D3D9_DeviceState_SetRenderTarget(target, 0);
    // The clear covers what it is asked, whatever the draw area: the viewport takes the whole target.
    D3DSURFACE_DESC desc = {};
    Direct3DSurface9_GetDesc(target, &desc);
    Graphics_D3D9_DeviceState_SetViewportRect(0, 0, (int)desc.Width, (int)desc.Height);

    D3DRECT rect = {};
    if (ClearRect != nullptr) rect = D3DRECT{ClearRect->left, ClearRect->top, ClearRect->right, ClearRect->bottom};
    const DWORD count = ClearRect != nullptr ? 1 : 0;
    const D3DRECT *rects = ClearRect != nullptr ? &rect : nullptr;
    Direct3DDevice9_Clear(count, rects, D3DCLEAR_TARGET, BackgroundColor(), 1.0f, 0);
    // The Z buffer apart: a target drawn without one (a graph larger than the screen's) refuses a
    // clear that names it, and would keep its picture too.
    IDirect3DSurface9 *depth = nullptr;
    if (SUCCEEDED(Direct3DDevice9_GetDepthStencilSurface(&depth)) && depth != nullptr) {
        Direct3DDevice9_Clear(count, rects, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        Direct3D9_ReleaseObject(depth);
    }

    if (mask != nullptr) Graphics_D3D9_DeviceState_SetRenderTarget(mask, 0);
    const ImageRect &area = GraphicsDrawSettings.DrawArea;
    if (area.right > area.left && area.bottom > area.top)
        Graphics_D3D9_DeviceState_SetViewportRect(area.left, area.top, area.right, area.bottom);
    return 0;
}
