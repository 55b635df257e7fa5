// The swap-chain table: a swap chain for each window the library presents into, with its output
// and the views of its back buffer.
#include "zovuz/d3d11/device/windows/d3d11_swap_chain_win.h"

#include "zovuz/d3d11/state/windows/d3d11_device_state_win.h"
#include "zovuz/core/zovuz_core.h"

D3D11ScreenData D3D11Screen;

namespace {

// DXGI_MWA_NO_WINDOW_CHANGES | DXGI_MWA_NO_ALT_ENTER: the library handles the window itself.
constexpr UINT WindowAssociationFlags = 3;

bool ValidIndex(int Index) { return Index >= 0 && Index < D3D11_SWAP_CHAIN_MAXNUM; }

// Where a new record goes: the record of Window when it has one (*Found set), else a free one (the
// last free record passed while the used ones were counted, else the first free one), else -1.
int FindRecord(HWND Window, bool *Found)
{
    D3D11ScreenData &s = D3D11Screen;
    *Found = false;
    int seen = 0, free = -1, i = 0;
    for (; i < D3D11_SWAP_CHAIN_MAXNUM && seen < s.SwapChainNum; ++i) {
        if (!s.SwapChain[i].UsedFlag) {
            free = i;
            continue;
        }
        ++seen;
        if (s.SwapChain[i].Desc.OutputWindow == Window) {
            *Found = true;
            return i;
        }
    }
    if (s.SwapChainNum >= D3D11_SWAP_CHAIN_MAXNUM) return -1;
    if (free >= 0) return free;
    for (i = 0; i < D3D11_SWAP_CHAIN_MAXNUM; ++i)
        if (!D3D11Screen.SwapChain[i].UsedFlag) return i;
    return -1;
}

// The swap chain's size and windowed state, with its log line.
void SetupSwapChainSize(DXGI_SWAP_CHAIN_DESC *Desc, HWND Window, int ScreenSizeFlag)
{
    int width = 0, height = 0;
    if (ScreenSizeFlag == 0) {
        RECT client = {};
        GetClientRect(Window, &client);
        width = client.right - client.left;
        height = client.bottom - client.top;
        Desc->Windowed = TRUE;
        AddLogStringWide(L"[ウインドウモード] ");
    } else if (GetWindowModeFlag()) {
        GetDrawScreenSize(&width, &height);
        Desc->Windowed = TRUE;
        AddLogFormat(L"[ウインドウモード %dx%d]", width, height);
    } else {
        SelectFullScreenDisplayModeSize(&width, &height);
        Desc->Windowed = FALSE;
        D3D11Screen.FullScreenFlag = 1;
        AddLogFormat(L"[フルスクリーンモード %dx%d]", width, height);
    }
    Desc->BufferDesc.Width = (UINT)width;
    Desc->BufferDesc.Height = (UINT)height;
}

// The screen's multisampling as the device can give it, written back into the graph mode: none
// below 2 samples or below feature level 10_0.
void NegotiateSampleCount(DXGI_SAMPLE_DESC *Sample)
{
    GraphicsDeviceModeData &mode = GraphicsDeviceMode;
    UINT count = 1, quality = 0;
    if (mode.MultiSampleCount >= 2 && D3D11_GetFeatureLevel() >= D3D11_LEVEL_10_0) {
        count = (UINT)mode.MultiSampleCount;
        quality = (UINT)(mode.MultiSampleQuality > 0 ? mode.MultiSampleQuality : 0);
        D3D11Device_CheckMultisampleQualityLevels(DXGI_FORMAT_R8G8B8A8_UNORM, &count, &quality, 0);
    }
    mode.MultiSampleCount = (int)count;
    mode.MultiSampleQuality = (int)quality;
    Sample->Count = count;
    Sample->Quality = quality;
}

// A half-made record's objects, released, and the record cleared. -1.
int ReleaseRecordObjects(int Index)
{
    D3D11SwapChainInfo &r = D3D11Screen.SwapChain[Index];
    Graphics_D3D11_ReleaseBackBufferViews(Index);
    Direct3D_ReleaseObject(r.Output);
    Direct3D_ReleaseObject(r.SwapChain);
    r = D3D11SwapChainInfo();
    return -1;
}

}  // namespace

void ReleaseTextureWithViews(ID3D11Texture2D *&Texture, ID3D11ShaderResourceView *&ShaderResourceView,
                             ID3D11RenderTargetView *&RenderTargetView)
{
    ReleaseAndClear(ShaderResourceView, D3D11ShaderResourceView_Release);
    ReleaseAndClear(RenderTargetView, D3D11RenderTargetView_Release);
    ReleaseAndClear(Texture, D3D11Texture2D_Release);
}

int Graphics_D3D11_CreateSwapChain(HWND Window, int ScreenSizeFlag)
{
    bool found = false;
    int index = FindRecord(Window, &found);
    if (index < 0 || found) return index;
    D3D11SwapChainInfo &r = D3D11Screen.SwapChain[index];
    r = D3D11SwapChainInfo();

    DXGI_SWAP_CHAIN_DESC desc = {};
    int refreshRate = GetScreenRefreshRate();
    desc.BufferDesc.RefreshRate.Numerator = (UINT)(refreshRate > 0 ? refreshRate : 60);
    desc.BufferDesc.RefreshRate.Denominator = 1;
    desc.BufferDesc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    desc.BufferUsage = DXGI_USAGE_SHADER_INPUT | DXGI_USAGE_RENDER_TARGET_OUTPUT;
    desc.BufferCount = 2;
    desc.OutputWindow = Window;
    desc.SwapEffect = DXGI_SWAP_EFFECT_DISCARD;
    desc.Flags = DXGI_SWAP_CHAIN_FLAG_ALLOW_MODE_SWITCH;
    SetupSwapChainSize(&desc, Window, ScreenSizeFlag);
    NegotiateSampleCount(&desc.SampleDesc);

    AddLogStringWide(L"IDXGISwapChain を作成します.... ");
    HRESULT result = DXGIFactory_CreateSwapChain(&desc, &r.SwapChain);
    if (r.SwapChain == nullptr) {
        AddLogFormat(L"失敗 エラーコード：0x%08x", (unsigned)result);
        return ReleaseRecordObjects(index);
    }
    DXGIFactory_MakeWindowAssociation(Window, WindowAssociationFlags);
    AddLogStringWide(L"成功\n");
    AddLogFormat(L"IDXGIFactory->CreateSwapChain の戻り値：0x%08x", (unsigned)result);

    DXGISwapChain_GetDesc(r.SwapChain, &r.Desc);

    AddLogStringWide(L"IDXGIOutput を取得します.... ");
    result = DXGISwapChain_GetContainingOutput(r.SwapChain, &r.Output);
    if (FAILED(result) || r.Output == nullptr) {
        r.Output = nullptr;
        AddLogFormat(L"失敗 エラーコード：0x%08x", (unsigned)result);
        return ReleaseRecordObjects(index);
    }
    AddLogStringWide(L"成功\n");

    if (Graphics_D3D11_SetupBackBufferViews(index) < 0) return ReleaseRecordObjects(index);
    r.UsedFlag = 1;
    ++D3D11Screen.SwapChainNum;
    return index;
}

int Graphics_D3D11_IsScreenView(ID3D11RenderTargetView *View)
{
    const D3D11ScreenData &s = D3D11Screen;
    if (View == s.SubBackBufferRTV) return 1;
    for (int i = 0, seen = 0; i < D3D11_SWAP_CHAIN_MAXNUM && seen < s.SwapChainNum; ++i) {
        if (!s.SwapChain[i].UsedFlag) continue;
        if (View == s.SwapChain[i].BackBufferRTV) return 1;
        ++seen;
    }
    return 0;
}

int Graphics_D3D11_IsScreenResource(ID3D11Resource *Resource)
{
    const D3D11ScreenData &s = D3D11Screen;
    if (Resource == static_cast<ID3D11Resource *>(s.SubBackBuffer)) return 1;
    for (int i = 0, seen = 0; i < D3D11_SWAP_CHAIN_MAXNUM && seen < s.SwapChainNum; ++i) {
        if (!s.SwapChain[i].UsedFlag) continue;
        if (Resource == static_cast<ID3D11Resource *>(s.SwapChain[i].BackBuffer)) return 1;
        ++seen;
    }
    return 0;
}

int Graphics_D3D11_SetupBackBufferViews(int Index)
{
    if (!ValidIndex(Index)) return -1;
    D3D11SwapChainInfo &r = D3D11Screen.SwapChain[Index];
    if (r.SwapChain == nullptr) return -1;
    // A new back buffer holds nothing that was shown.
    D3D11CallLayer.ScreenWriteCount++;

    if (DXGISwapChain_GetBuffer(r.SwapChain, 0, __uuidof(ID3D11Texture2D), (void **)&r.BackBuffer) != S_OK ||
        r.BackBuffer == nullptr) {
        r.BackBuffer = nullptr;
        return AddLogStringWide(L"スワップチェインのバッファの ID3D11Texture2D の取得に失敗しました\n");
    }
    D3D11Texture2D_GetDesc(r.BackBuffer, &r.BackBufferDesc);

    if (D3D11Device_CreateShaderResourceView(r.BackBuffer, nullptr, &r.BackBufferSRV) != S_OK) {
        r.BackBufferSRV = nullptr;
        Graphics_D3D11_ReleaseBackBufferViews(Index);
        return AddLogStringWide(L"スワップチェインのバッファの ID3D11ShaderResourceView の作成に失敗しました\n");
    }
    if (D3D11Device_CreateRenderTargetView(r.BackBuffer, nullptr, &r.BackBufferRTV) != S_OK) {
        r.BackBufferRTV = nullptr;
        Graphics_D3D11_ReleaseBackBufferViews(Index);
        return AddLogStringWide(L"スワップチェインのバッファの ID3D11RenderTargetView の作成に失敗しました\n");
    }
    return 0;
}

int Graphics_D3D11_ReleaseBackBufferViews(int Index)
{
    if (!ValidIndex(Index)) return -1;
    D3D11SwapChainInfo &r = D3D11Screen.SwapChain[Index];
    ReleaseTextureWithViews(r.BackBuffer, r.BackBufferSRV, r.BackBufferRTV);
    return 0;
}

int Graphics_D3D11_ResizeBackBuffer(int Index, int Width, int Height)
{
    if (Width <= 0 || Height <= 0 || !ValidIndex(Index)) return -1;
    D3D11SwapChainInfo &r = D3D11Screen.SwapChain[Index];
    if (r.SwapChain == nullptr) return -1;

    // The slot that holds this back buffer lets go of it on the device too: the cache may believe
    // it unbound while the device still holds it (a bind the cache refused), and ResizeBuffers
    // fails for as long as any view of the buffers lives.
    D3D11DeviceStateCache &cache = D3D11DeviceState;
    int slot = -1;
    for (int i = 0; i < D3D11_RENDER_TARGET_NUM && slot < 0; ++i)
        if (r.BackBuffer != nullptr && cache.RenderTarget[i] == r.BackBuffer) slot = i;
    if (slot >= 0) Graphics_D3D11_DeviceState_SetRenderTarget(nullptr, nullptr, slot);
    if (D3D11Device_IsValid()) D3D11DeviceContext_OMSetRenderTargets(0, nullptr, nullptr);
    Graphics_D3D11_ReleaseBackBufferViews(Index);
    HRESULT result =
        DXGISwapChain_ResizeBuffers(r.SwapChain, 2, (UINT)Width, (UINT)Height, DXGI_FORMAT_R8G8B8A8_UNORM, 0);
    if (FAILED(result)) {
        Graphics_D3D11_DeviceState_BindRenderTargets();
        AddLogStringWide(L"バックバッファのサイズ変更に失敗しました\n");
        return LogPlatformFailure(L"IDXGISwapChain::ResizeBuffers", (unsigned long)result);
    }
    if (Graphics_D3D11_SetupBackBufferViews(Index) < 0) return -1;
    if (slot >= 0) Graphics_D3D11_DeviceState_SetRenderTarget(r.BackBuffer, r.BackBufferRTV, slot);
    // Whatever else the cache holds goes back on the device.
    Graphics_D3D11_DeviceState_BindRenderTargets();
    return 0;
}

int Graphics_D3D11_ReleaseSwapChain(HWND Window, int Index)
{
    D3D11ScreenData &s = D3D11Screen;
    if (Window != nullptr) {
        Index = -1;
        for (int i = 0; i < D3D11_SWAP_CHAIN_MAXNUM; ++i)
            if (s.SwapChain[i].UsedFlag && s.SwapChain[i].Desc.OutputWindow == Window) {
                Index = i;
                break;
            }
    }
    if (!ValidIndex(Index) || !s.SwapChain[Index].UsedFlag) return -1;
    ReleaseRecordObjects(Index);
    --s.SwapChainNum;
    return 0;
}
