// The Direct3D 9 back end's table of operations for the graphics dispatch layer.
#include "zovuz/d3d9/d3d9_internal.h"

namespace {

// Filled by member name; an operation not listed stays null, and its dispatcher logs and fails.
const GraphicsHardwareFunctions D3D9Functions = {
    .Startup = Graphics_D3D9_Startup,
    .PixelCenterTest = Graphics_D3D9_PixelCenterTest,
    .IsDeviceValid = Graphics_D3D9_IsDeviceValid,
    .ReleaseDeviceObjects = Graphics_D3D9_ReleaseDeviceObjects,
    .ChangeScreenMode = Graphics_D3D9_ChangeScreenMode,
    .PresentFrame = Graphics_D3D9_PresentFrame,
    .Terminate = Graphics_D3D9_Terminate,
    .RestoreLostDevice = Graphics_D3D9_RestoreLostDevice,
    .SetDialogBoxMode = Graphics_D3D9_SetDialogBoxMode,
    .SetupSubBackBufferFullScreen = Graphics_D3D9_SetupSubBackBufferFullScreen,
    .StartFrontScreenTimer = Graphics_D3D9_StartFrontScreenTimer,
    .ClearDrawScreen = Graphics_D3D9_ClearDrawScreen,
    .GetShaderVersion = Graphics_D3D9_GetShaderVersion,
};

}  // namespace

const GraphicsHardwareFunctions *GetGraphicsD3D9Functions(void) { return &D3D9Functions; }
