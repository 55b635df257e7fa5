// What the window shows: the sub back buffer, the present that copies it into the window's back
// buffer with the window's scaling, and the timer that keeps presenting the front screen.
#include <windows.h>

#include <algorithm>

#include "zovuz/d3d11/state/windows/d3d11_device_state_win.h"
#include "zovuz/d3d11/device/windows/d3d11_swap_chain_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_transfer_win.h"
#include "zovuz/d3d11/draw/windows/d3d11_vertex_batch_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_texture_desc_win.h"

namespace {

// Longest a wait for the device lasts asleep; after it the caller waits as the platform does.
constexpr int LongestDrawnWaitMs = 250;

// The swap chain's present, with an interval of one while vertical-sync waiting is on.
int PresentSwapChain(void *SwapChain)
{
    const UINT interval = GraphicsScreenSettings.NotWaitVSyncFlag ? 0 : 1;
    return DXGISwapChain_Present(static_cast<IDXGISwapChain *>(SwapChain), interval, 0) < 0 ? -1 : 0;
}

int LogSubBackBufferFailure(const wchar_t *Line, int Width, int Height)
{
    AddLogFormat(Line, (int)DXGI_FORMAT_R8G8B8A8_UNORM, Width, Height);
    return -1;
}

void SampleCount(UINT *Count, UINT *Quality)
{
    const GraphicsDeviceModeData &mode = GraphicsDeviceMode;
    *Count = 1;
    *Quality = 0;
    if (mode.MultiSampleCount < 2 || D3D11_GetFeatureLevel() < D3D11_LEVEL_10_0) return;
    *Count = (UINT)mode.MultiSampleCount;
    *Quality = (UINT)(mode.MultiSampleQuality > 0 ? mode.MultiSampleQuality : 0);
    D3D11Device_CheckMultisampleQualityLevels(DXGI_FORMAT_R8G8B8A8_UNORM, Count, Quality, 0);
}

void ClearToBackground(ID3D11RenderTargetView *View)
{
    int red = 0, green = 0, blue = 0;
    GetBackgroundColor(&red, &green, &blue);
    const FLOAT color[4] = {red / 255.0f, green / 255.0f, blue / 255.0f, 0.0f};
    D3D11DeviceContext_ClearRenderTargetView(View, color);
}

D3D11PresentPlacement Placement(const D3D11SwapChainInfo &Chain)
{
    const GraphicsScreenSettingsData &s = GraphicsScreenSettings;
    D3D11PresentPlacement p = {};
    GetDrawScreenSize(&p.ScreenWidth, &p.ScreenHeight);
    p.BackBufferWidth = (int)Chain.BackBufferDesc.Width;
    p.BackBufferHeight = (int)Chain.BackBufferDesc.Height;
    p.WindowModeFlag = GetWindowModeFlag();
    p.FullScreenScalingMode = s.FullScreenScalingModeInEffect;
    if (!p.WindowModeFlag && p.FullScreenScalingMode != FULLSCREEN_SCALING_EXACT) SetupFullScreenScalingRect();
    p.FullScreenScalingRect = s.FullScreenScalingRect;
    p.Emulation320x240Flag = s.Emulation320x240Flag;
    GetWindowSizeExtendRate(&p.ExtendRateX, &p.ExtendRateY);
    GetWindowDrawOffset(&p.DrawOffsetX, &p.DrawOffsetY);
    return p;
}

// The sub back buffer, scaled into the back buffer.
void CopySubBackBuffer(const D3D11SwapChainInfo &Chain)
{
    const D3D11ScreenData &screen = D3D11Screen;
    const D3D11PresentRects rects = Graphics_D3D11_PresentRects(Placement(Chain));
    // The copy is opaque: the background shows only where it leaves some of the back buffer.
    if (!rects.CoversFlag) ClearToBackground(Chain.BackBufferRTV);
    const RECT source = {rects.Source.left, rects.Source.top, rects.Source.right, rects.Source.bottom};
    const RECT dest = {rects.Dest.left, rects.Dest.top, rects.Dest.right, rects.Dest.bottom};
    Graphics_D3D11_StretchRect(screen.SubBackBuffer, screen.SubBackBufferSRV, &source, Chain.BackBuffer,
                               Chain.BackBufferRTV, &dest, 1, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
}

}  // namespace

void Graphics_D3D11_WaitUntilDrawn(void)
{
    D3D11ScreenData &Screen = D3D11Screen;
    if (Screen.DrawnQuery == nullptr) {
        if (Screen.DrawnQueryFailedFlag) return;
        const D3D11_QUERY_DESC desc = {D3D11_QUERY_EVENT, 0};
        if (D3D11Device_CreateQuery(&desc, &Screen.DrawnQuery) != S_OK || Screen.DrawnQuery == nullptr) {
            Screen.DrawnQuery = nullptr;
            Screen.DrawnQueryFailedFlag = 1;
            return;
        }
    }
    D3D11DeviceContext_End(Screen.DrawnQuery);
    // The first asks the device to start on what it holds; the others only look.
    UINT flags = 0;
    for (int slept = 0; slept < LongestDrawnWaitMs; ++slept) {
        BOOL done = FALSE;
        if (D3D11DeviceContext_GetData(Screen.DrawnQuery, &done, sizeof done, flags) != S_FALSE) return;
        flags = D3D11_ASYNC_GETDATA_DONOTFLUSH;
        Sleep(1);
    }
}

int Graphics_D3D11_SetupSubBackBuffer(void)
{
    D3D11ScreenData &s = D3D11Screen;
    if (s.SubBackBuffer != nullptr) return 0;
    if (!D3D11Device_IsValid()) return -1;
    Graphics_D3D11_RenderVertexBuffer(-1, 0);
    int width = 0, height = 0;
    GetDrawScreenSize(&width, &height);

    UINT count, quality;
    SampleCount(&count, &quality);
    D3D11_TEXTURE2D_DESC desc =
        D3D11PlainTextureDesc((UINT)width, (UINT)height, DXGI_FORMAT_R8G8B8A8_UNORM,
                              D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET, count, quality);
    if (D3D11Device_CreateTexture2D(&desc, nullptr, &s.SubBackBuffer) != S_OK) {
        s.SubBackBuffer = nullptr;
        return LogSubBackBufferFailure(
            L"サブバックバッファ用テクスチャの作成に失敗しました  Format:%d  SizeX:%d  SizeY:%d \n", width, height);
    }
    D3D11_RENDER_TARGET_VIEW_DESC target = {};
    target.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    target.ViewDimension = count > 1 ? D3D11_RTV_DIMENSION_TEXTURE2DMS : D3D11_RTV_DIMENSION_TEXTURE2D;
    if (D3D11Device_CreateRenderTargetView(s.SubBackBuffer, &target, &s.SubBackBufferRTV) != S_OK) {
        s.SubBackBufferRTV = nullptr;
        ReleaseTextureWithViews(s.SubBackBuffer, s.SubBackBufferSRV, s.SubBackBufferRTV);
        return LogSubBackBufferFailure(
            L"サブバックバッファ用レンダーターゲットビューの作成に失敗しました  Format:%d  SizeX:%d  SizeY:%d \n",
            width, height);
    }
    D3D11_SHADER_RESOURCE_VIEW_DESC view = {};
    view.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    view.ViewDimension = count > 1 ? D3D11_SRV_DIMENSION_TEXTURE2DMS : D3D11_SRV_DIMENSION_TEXTURE2D;
    view.Texture2D.MipLevels = 1;
    if (D3D11Device_CreateShaderResourceView(s.SubBackBuffer, &view, &s.SubBackBufferSRV) != S_OK) {
        s.SubBackBufferSRV = nullptr;
        ReleaseTextureWithViews(s.SubBackBuffer, s.SubBackBufferSRV, s.SubBackBufferRTV);
        return LogSubBackBufferFailure(
            L"サブバックバッファ用シェーダーリソースビューの作成に失敗しました  Format:%d  SizeX:%d  SizeY:%d \n",
            width, height);
    }
    s.SubBackBufferWidth = width;
    s.SubBackBufferHeight = height;
    D3D11CallLayer.ScreenWriteCount++;

    // What was drawn so far moves into it, and the back buffer starts black.
    D3D11SwapChainInfo &chain = s.SwapChain[0];
    if (chain.BackBuffer != nullptr) {
        const RECT rect = {0, 0, (LONG)std::min((UINT)width, chain.BackBufferDesc.Width),
                           (LONG)std::min((UINT)height, chain.BackBufferDesc.Height)};
        Graphics_D3D11_StretchRect(chain.BackBuffer, chain.BackBufferSRV, &rect, s.SubBackBuffer, s.SubBackBufferRTV,
                                   &rect, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        const FLOAT black[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        D3D11DeviceContext_ClearRenderTargetView(chain.BackBufferRTV, black);
    }

    D3D11DeviceStateCache &cache = D3D11DeviceState;
    const int force = cache.ForceFlag;
    cache.ForceFlag = 1;
    Graphics_D3D11_DeviceState_SetRenderTarget(s.SubBackBuffer, s.SubBackBufferRTV, 0);
    cache.ForceFlag = force;
    return 0;
}

int Graphics_D3D11_GetScreenWriteCount(uint32_t *Count)
{
    *Count = D3D11CallLayer.ScreenWriteCount;
    return 0;
}

int Graphics_D3D11_SetupSubBackBufferFullScreen(void)
{
    if (!GetWindowModeFlag()) Graphics_D3D11_SetupSubBackBuffer();
    return 0;
}

int Graphics_D3D11_PresentFrame(void)
{
    if (!D3D11Device_IsValid()) return -1;
    // The inactive window shows its saved screen copy until the copy itself is drawn.
    if (IsPresentPausedForScreenCopy()) return 0;
    D3D11ScreenData &screen = D3D11Screen;
    const int index = screen.PresentSwapChain >= 0 ? screen.PresentSwapChain : 0;
    D3D11SwapChainInfo &chain = screen.SwapChain[index];
    if (!GetWindowModeFlag() && GraphicsScreenSettings.FullScreenScalingModeInEffect != FULLSCREEN_SCALING_EXACT)
        Graphics_D3D11_SetupSubBackBuffer();

    int clientWidth = 0, clientHeight = 0;
    if (index == 0) {
        GetWindowClientSize(&clientWidth, &clientHeight);
    } else {
        RECT client = {};
        GetClientRect(chain.Desc.OutputWindow, &client);
        clientWidth = client.right - client.left;
        clientHeight = client.bottom - client.top;
    }
    const bool minimized = IsIconic(chain.Desc.OutputWindow) != 0;
    if (!minimized && (clientWidth != (int)chain.BackBufferDesc.Width ||
                       clientHeight != (int)chain.BackBufferDesc.Height || chain.BackBufferRTV == nullptr)) {
        Graphics_D3D11_SetupSubBackBuffer();
        Graphics_D3D11_ResizeBackBuffer(index, clientWidth, clientHeight);
    }
    // A failed resize leaves the back buffer without views: nothing can be copied or shown until
    // the next present makes them again.
    if (chain.BackBuffer == nullptr || chain.BackBufferRTV == nullptr) return -1;

    // A minimised window shows nothing, and the device is given no work for it: Wine's device
    // thread spins for as long as work keeps coming.
    if (minimized) {
        if (!GraphicsScreenSettings.NotWaitVSyncFlag && chain.Output != nullptr) DXGIOutput_WaitForVBlank(chain.Output);
        return 0;
    }
    Graphics_D3D11_RenderVertexBuffer(-1, 0);
    const uint32_t writes = D3D11CallLayer.ScreenWriteCount;
    if (screen.SubBackBuffer != nullptr) CopySubBackBuffer(chain);
    Graphics_D3D11_RenderVertexBuffer(-1, 0);
    if (IsPresentPacingOn()) Graphics_D3D11_WaitUntilDrawn();
    const int presented = PresentToQueuingDevice(PresentSwapChain, chain.SwapChain);
    // The window's back buffer is the present's own: with a sub back buffer the library's screen
    // stays as it was drawn; without one, what the back buffer held is gone with the present.
    D3D11CallLayer.ScreenWriteCount = screen.SubBackBuffer != nullptr ? writes : writes + 1;
    if (presented < 0) return -1;
    Graphics_Hardware_ReapplyDeviceState();
    return 0;
}

int Graphics_D3D11_StartFrontScreenTimer(int DrawScreen)
{
    if (DrawScreen == DX_SCREEN_FRONT) StartFrontScreenTimer(GetMainWindowHandle());
    return 0;
}
