// The Direct3D 11 device: its creation in a fixed order of steps, the adapter table, and the
// release of everything the back end made.
#include "zovuz/d3d11/device/windows/d3d11_device_win.h"

#include <string.h>

#include "zovuz/d3d11/state/windows/d3d11_buffers_win.h"
#include "zovuz/d3d11/state/windows/d3d11_device_state_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_graph_texture_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_read_back_win.h"
#include "zovuz/d3d11/shader/windows/d3d11_shader_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_shadow_map_win.h"
#include "zovuz/d3d11/device/windows/d3d11_swap_chain_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_transfer_win.h"
#include "zovuz/d3d11/draw/windows/d3d11_vertex_batch_win.h"

D3D11AdapterTableData D3D11AdapterTable;

namespace {

int WaitForOutputBlank(void *Output)
{
    return FAILED(DXGIOutput_WaitForVBlank(static_cast<IDXGIOutput *>(Output))) ? -1 : 0;
}

// ---- Adapters -----------------------------------------------------------------------------------

void ReadOutputs(IDXGIAdapter *Adapter, D3D11AdapterInfo *Info)
{
    for (UINT i = 0; i < D3D11_OUTPUT_MAXNUM; ++i) {
        IDXGIOutput *output = nullptr;
        if (FAILED(DXGIAdapter_EnumOutputs(Adapter, i, &output)) || output == nullptr) break;
        DXGI_OUTPUT_DESC &desc = Info->Output[Info->OutputNum];
        memset(&desc, 0, sizeof(desc));
        DXGIOutput_GetDesc(output, &desc);
        Direct3D_ReleaseObject(output);
        ++Info->OutputNum;
    }
}

void ReadAdapters()
{
    D3D11AdapterTableData &t = D3D11AdapterTable;
    for (UINT i = 0; i < D3D11_ADAPTER_MAXNUM; ++i) {
        IDXGIAdapter *adapter = nullptr;
        if (FAILED(DXGIFactory_EnumAdapters(i, &adapter)) || adapter == nullptr) break;
        D3D11AdapterInfo &info = t.Adapter[t.AdapterNum];
        memset(&info, 0, sizeof(info));
        DXGIAdapter_GetDesc(adapter, &info.Desc);
        ReadOutputs(adapter, &info);
        Direct3D_ReleaseObject(adapter);
        ++t.AdapterNum;
    }
}

// ---- Device creation's steps --------------------------------------------------------------------

// Full screen: the desktop rectangle of the display the front end chose (output 0 of adapter 0
// when none was chosen).
void RecordFullScreenDisplay()
{
    const D3D11AdapterTableData &t = D3D11AdapterTable;
    if (t.AdapterNum < 1) return;
    const D3D11AdapterInfo &adapter = t.Adapter[0];
    int output = GraphicsScreenSettings.DisplayChosenFlag ? GraphicsScreenSettings.UseDisplayIndex : 0;
    if (output < 0 || output >= adapter.OutputNum) return;
    const RECT &r = adapter.Output[output].DesktopCoordinates;
    GraphicsDeviceMode.DisplayRect = ImageRect{r.left, r.top, r.right, r.bottom};
}

long QueryFormatSupport(int Format, unsigned int *Support)
{
    UINT support = 0;
    HRESULT result = D3D11Device_CheckFormatSupport((DXGI_FORMAT)Format, &support);
    *Support = support;
    return result;
}

}  // namespace

int Graphics_D3D11_EnumAdapters(void)
{
    D3D11AdapterTableData &t = D3D11AdapterTable;
    if (t.EnumeratedFlag) return 0;

    // Before the back end starts there is no factory: one is made for the reading alone, and
    // DXGI is loaded for it only when nothing else holds it.
    bool ownModule = false, ownFactory = false;
    if (!DXGIFactory_IsValid()) {
        if (D3D11CallLayer.DXGIModule == nullptr) {
            if (DXGI_LoadDLL() < 0) return -1;
            ownModule = true;
        }
        if (DXGI_CreateFactory() < 0) {
            if (ownModule) DXGI_FreeDLL();
            return -1;
        }
        ownFactory = true;
    }

    t.AdapterNum = 0;
    ReadAdapters();

    if (ownFactory) DXGI_ReleaseFactory();
    if (ownModule) DXGI_FreeDLL();
    t.EnumeratedFlag = 1;
    return 0;
}

int Graphics_D3D11_CreateDevice(void)
{
    D3D11_Terminate();
    if (DXGI_CreateFactory() < 0) return -1;
    if (Graphics_D3D11_EnumAdapters() < 0) return -1;
    if (D3D11_CreateDevice() < 0) return -1;

    D3D11ScreenData &screen = D3D11Screen;
    screen.PresentSwapChain = Graphics_D3D11_CreateSwapChain(GetMainWindowHandle(), 1);
    if (screen.PresentSwapChain < 0) return -1;
    screen.SubBackBuffer = nullptr;
    // Whether the platform holds presents to the vertical blank (the flip paces them if not).
    SetPlatformVSyncWaitFlag(
        TimeVerticalBlankWait(WaitForOutputBlank, screen.SwapChain[screen.PresentSwapChain].Output));

    if (!GetWindowModeFlag()) RecordFullScreenDisplay();

    int level = D3D11_GetFeatureLevel();
    Graphics_D3D11_SetupDeviceCaps(level);
    // The next draw prepares its state again, for the new device and its limits.
    D3D11DeviceState.DrawStateDirtyFlag = 1;

    const D3D11AdapterTableData &adapters = D3D11AdapterTable;
    AddLogFormat(L"Graphics Device:%s", adapters.AdapterNum > 0 ? adapters.Adapter[0].Desc.Description : L"");

    if (Graphics_D3D11_SetupFormatTable(QueryFormatSupport) < 0) return -1;

    Graphics_D3D11_LogDeviceCaps(level);
    Graphics_D3D11_GetFormatColorData(D3D11FMT_R8G8B8A8_UNORM);
    return 0;
}

int Graphics_D3D11_IsDeviceValid(void) { return D3D11Device_IsValid(); }

int Graphics_D3D11_ReleaseDevice(void)
{
    D3D11ScreenData &screen = D3D11Screen;
    Graphics_D3D11_Texture_ReleaseCommonBuffer();
    Graphics_D3D11_ReleaseReadBack();
    Graphics_D3D11_Mask_ReleaseScreen();
    Graphics_D3D11_ReleaseSimpleTransferStates();
    Graphics_D3D11_ReleaseSamplerStates();
    Graphics_D3D11_ReleaseRasterizerStates();
    Graphics_D3D11_ReleaseDepthStencilStates();
    Graphics_D3D11_ReleaseBlendStates();
    Graphics_D3D11_ReleaseCommonVertexBuffer();
    Graphics_D3D11_ReleaseCommonIndexBuffer();
    Graphics_D3D11_ReleaseStandardVertexBuffer();
    Graphics_D3D11_ReleaseInputLayouts();
    Graphics_D3D11_ReleaseShadowMapObjects();
    Graphics_D3D11_ReleaseStandardShaders();
    Graphics_D3D11_ReleaseShaderConstantBuffers();

    // A full-screen swap chain leaves full-screen state before it is released.
    if (screen.FullScreenFlag) {
        screen.FullScreenFlag = 0;
        if (screen.SwapChain[0].SwapChain != nullptr)
            DXGISwapChain_SetFullscreenState(screen.SwapChain[0].SwapChain, FALSE, nullptr);
    }

    Graphics_D3D11_ReleaseDepthBuffer();
    ReleaseTextureWithViews(screen.SubBackBuffer, screen.SubBackBufferSRV, screen.SubBackBufferRTV);
    Direct3D_ReleaseObject(screen.DrawnQuery);
    screen.DrawnQuery = nullptr;
    screen.DrawnQueryFailedFlag = 0;

    for (int i = 0; i < D3D11_SWAP_CHAIN_MAXNUM; ++i) Graphics_D3D11_ReleaseSwapChain(nullptr, i);

    D3D11_Terminate();
    DXGI_ReleaseFactory();
    D3D11_FreeDLL();
    DXGI_FreeDLL();
    D3D11_OutputObjectCount();
    // The whole cache goes with the device, so that no stale pointer stays.
    Graphics_D3D11_DeviceState_Clear();
    return 0;
}

int Graphics_D3D11_Terminate(void)
{
    Graphics_D3D11_ReleaseDevice();
    Graphics_D3D11_ReleaseShaderPack();  // the 3-D pack with the others
    return 0;
}
