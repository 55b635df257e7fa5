// The Direct3D 11 back end's table of operations for the graphics dispatch layer.
#include "zovuz/d3d11/d3d11_internal.h"
#include "zovuz/d3d11/zovuz_d3d11.h"

namespace {

// The dispatcher's flush draws the batch and keeps its 3-D flag.
int RenderVertexBuffer(int ASyncThread) { return Graphics_D3D11_RenderVertexBuffer(-1, ASyncThread); }

// Filled by member name; an operation not listed stays null, and its dispatcher logs and fails.
const GraphicsHardwareFunctions D3D11Functions = {
    .InitializeDeviceState = Graphics_D3D11_InitializeDeviceState,
    .IsDeviceValid = Graphics_D3D11_IsDeviceValid,
    .Terminate = Graphics_D3D11_Terminate,
    .RenderVertexBuffer = RenderVertexBuffer,
    .UpdateShadowMapParams = Graphics_D3D11_UpdateShadowMapParams,
    .UpdateShadowMapMatrices = Graphics_D3D11_UpdateShadowMapMatrices,
    .SetUseShadowMap = Graphics_D3D11_SetUseShadowMap,
    .ShadowMap_Release = Graphics_D3D11_ShadowMap_Release,
};

}  // namespace

const GraphicsHardwareFunctions *GetGraphicsD3D11Functions(void) { return &D3D11Functions; }
