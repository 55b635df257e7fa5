// The screen-mode change on Direct3D 11: every device object released, the back end started
// again, then the handles' objects, the mask screen, the draw target and the draw state rebuilt
// on the new device.
#include <string.h>

#include <vector>

#include "zovuz/d3d11/d3d11_internal.h"
#include "zovuz/d3d11/state/windows/d3d11_device_state_win.h"

namespace {

// A drawn-into graph has no source to be filled again from, so its pixels are read before the
// device goes and written into its new textures afterwards. One copy per image record, taken
// through a graph that shows the whole record.
struct KeptPicture
{
    int GraphHandle;
    BASEIMAGE Image;  // Pixels owned here
};

std::vector<KeptPicture> KeepDrawnIntoGraphs()
{
    std::vector<KeptPicture> kept;
    HandleManage *m = GetHandleManage(DX_HANDLETYPE_GRAPH);
    if (m == nullptr || !m->InitializeFlag) return kept;
    std::vector<const GraphImageRecord *> seen;
    for (int slot = m->AreaMin; slot <= m->AreaMax; ++slot) {
        GraphHandleData *graph = (GraphHandleData *)m->Handle[slot];
        if (graph == nullptr || graph->Info.ASyncLoadCount != 0) continue;
        const GraphImageRecord *image = graph->Image;
        if (image == nullptr || !image->Format.DrawValidFlag || !image->Format.HardwareFlag) continue;
        if (graph->OffsetX != 0 || graph->OffsetY != 0 || graph->Width != image->Width ||
            graph->Height != image->Height)
            continue;
        bool done = false;
        for (const GraphImageRecord *other : seen) done = done || other == image;
        if (done) continue;
        const ImageRect rect = {0, 0, graph->Width, graph->Height};
        BASEIMAGE locked = {};
        if (Graphics_Hardware_LockBackBuffer(&rect, &locked, graph->Info.Handle, graph, 0, 0, 1, 0) < 0) continue;
        KeptPicture picture = {graph->Info.Handle, locked};
        const size_t row = (size_t)locked.Width * locked.ColorData.PixelBytes;
        picture.Image.Pitch = (int)row;
        picture.Image.Pixels = DXALLOC(row * (size_t)locked.Height);
        if (picture.Image.Pixels != nullptr) {
            for (int y = 0; y < locked.Height; ++y)
                memcpy((uint8_t *)picture.Image.Pixels + row * y,
                       (const uint8_t *)locked.Pixels + (size_t)locked.Pitch * y, row);
            kept.push_back(picture);
            seen.push_back(image);
        }
        Graphics_Hardware_UnlockBackBuffer();
    }
    return kept;
}

void PutBackDrawnIntoGraphs(std::vector<KeptPicture> &Kept)
{
    for (KeptPicture &picture : Kept) {
        GraphHandleData *graph = GetTypedHandle<GraphHandleData>(picture.GraphHandle, DX_HANDLETYPE_GRAPH, 0);
        const ImageRect rect = {0, 0, picture.Image.Width, picture.Image.Height};
        if (graph != nullptr && D3D11Device_IsValid())
            Graphics_Hardware_BltBmpOrBaseImageToTexture(&rect, 0, 0, graph, &picture.Image, nullptr, 0, 0, 1, 0);
        DxFree(picture.Image.Pixels);
    }
    Kept.clear();
}

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
    std::vector<KeptPicture> kept = KeepDrawnIntoGraphs();
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
    if (Graphics_D3D11_Initialize() < 0) {
        PutBackDrawnIntoGraphs(kept);  // frees the copies: there is nothing to put them into
        return -1;
    }
    Graphics_D3D11_InitializeDeviceState();
    Graphics_D3D11_RecreateHandleBuffers();
    ReCreateMaskScreen();

    const KeptDrawTransform keptTransform = KeepDrawTransform();
    SelectRenderTarget(0);
    Graphics_D3D11_RestoreDeviceState();
    DeleteInternalGraphs();
    RestoreGraphics();
    PutBackDrawnIntoGraphs(kept);
    Graphics_D3D11_DeviceState_ResendAll();
    GraphicsState.LightsChangedFlag = 1;
    GraphicsState.LightsRefreshAllFlag = 1;
    if (ChangeFlag == 0) PutBackDrawTransform(keptTransform);
    for (int i = 1; i < d.Shader.RenderTargetNum && i < DX_RENDERTARGET_COUNT; ++i) SelectRenderTarget(i);
    return 0;
}
