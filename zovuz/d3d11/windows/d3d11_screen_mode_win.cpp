// The screen-mode change on Direct3D 11: every device object released, the back end started
// again, then the handles' objects, the mask screen, the draw target and the draw state rebuilt
// on the new device.
#include "zovuz/d3d11/d3d11_internal.h"
#include "zovuz/d3d11/windows/d3d11_device_state_win.h"

namespace {

// What a mode-0 change keeps.
struct SavedMatrices
{
    MATRIX_D View, Projection, Viewport;
    ImageRect DrawArea;  // as requested: selecting the draw target again resets it
};

void SelectRenderTarget(int Index)
{
    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    SetRenderTargetToShader(Index, d.RenderTarget[Index], d.RenderTargetSurface[Index], 0);
}

}  // namespace

int Graphics_D3D11_ReleaseDeviceObjects(void)
{
    ReleaseMaskScreen();
    Graphics_D3D11_ReleaseHandleDeviceObjects();
    Graphics_D3D11_ReleaseDevice();
    return 0;
}

int Graphics_D3D11_ChangeScreenMode(int ChangeFlag, int Width, int Height, int ColorBitDepth, int RefreshRate)
{
    GraphicsScreenSettingsData &s = GraphicsScreenSettings;
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    Graphics_Hardware_ReleaseDeviceObjects();
    if (ChangeFlag == 1) {
        SetMainScreenSize(Width, Height);
        s.MainScreenColorBitDepth = ColorBitDepth;
        s.MainScreenRefreshRate = RefreshRate;
    } else {
        TerminateInput();
        InitializeInput();
    }
    s.FullScreenScalingModeInEffect = s.FullScreenScalingMode;
    // A device that cannot be made again leaves nothing to rebuild on: the change fails here
    // (the start has logged why) rather than report a screen that does not exist.
    if (Graphics_D3D11_Initialize() < 0) return -1;
    Graphics_D3D11_InitializeDeviceState();
    Graphics_D3D11_RecreateHandleBuffers();
    ReCreateMaskScreen();

    const SavedMatrices saved = {d.Matrix.View, d.Matrix.Projection, d.Matrix.Viewport, d.DrawAreaRequest};
    SelectRenderTarget(0);
    Graphics_D3D11_RestoreDeviceState();
    DeleteInternalGraphs();
    RestoreGraphics();
    Graphics_D3D11_DeviceState_ResendAll();
    GraphicsState.LightsChangedFlag = 1;
    GraphicsState.LightsRefreshAllFlag = 1;
    if (ChangeFlag == 0) {
        const ImageRect &area = saved.DrawArea;
        SetDrawArea(area.left, area.top, area.right, area.bottom);
        SetTransformToWorldD(&d.Matrix.World);
        SetTransformToView(&saved.View);
        SetCameraProjectionMatrix(&saved.Projection);
        SetTransformToViewportD(&saved.Viewport);
    }
    for (int i = 1; i < d.Shader.RenderTargetNum && i < DX_RENDERTARGET_COUNT; ++i) SelectRenderTarget(i);
    return 0;
}
