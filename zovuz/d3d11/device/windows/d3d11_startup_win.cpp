// The back end's start: the device, then every standard object drawing needs, in a fixed order.
#include "zovuz/d3d11/state/windows/d3d11_buffers_win.h"
#include "zovuz/d3d11/shader/windows/d3d11_shader_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_transfer_win.h"
#include "zovuz/d3d11/draw/windows/d3d11_vertex_batch_win.h"

namespace {

// Each step must succeed before the next runs.
int StartSteps()
{
    if (D3D11_LoadDLL() < 0 || DXGI_LoadDLL() < 0) return -1;
    if (Graphics_D3D11_CreateDevice() < 0) return -1;
    if (Graphics_D3D11_CreateStandardVertexBuffer() < 0) return -1;
    if (Graphics_D3D11_CreateDepthBuffer() < 0) return -1;
    if (Graphics_D3D11_Shader_Initialize() < 0) return -1;
    if (Graphics_D3D11_CreateShaderConstantBuffers() < 0) return -1;
    if (Graphics_D3D11_CreateInputLayouts() < 0) return -1;
    if (!GetWindowModeFlag() && Graphics_D3D11_SetupSubBackBuffer() < 0) return -1;
    if (Graphics_D3D11_SetupSimpleTransferStates() < 0) return -1;
    return 0;
}

}  // namespace

int Graphics_D3D11_Initialize(void)
{
    if (StartSteps() < 0) {
        Graphics_D3D11_ReleaseDevice();
        return -1;
    }
    GraphicsState.HardwareInUseFlag = 1;
    return 0;
}

int Graphics_D3D11_Startup(void) { return Graphics_D3D11_Initialize() < 0 ? -1 : 0; }
