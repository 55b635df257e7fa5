// The Direct3D 11 back end's table of operations for the graphics dispatch layer.
#include "zovuz/d3d11/d3d11_internal.h"
#include "zovuz/d3d11/zovuz_d3d11.h"

namespace {

// Filled by member name; an operation not listed stays null, and its dispatcher logs and fails.
const GraphicsHardwareFunctions D3D11Functions = {
    .IsDeviceValid = Graphics_D3D11_IsDeviceValid,
    .Terminate = Graphics_D3D11_Terminate,
};

}  // namespace

const GraphicsHardwareFunctions *GetGraphicsD3D11Functions(void) { return &D3D11Functions; }
