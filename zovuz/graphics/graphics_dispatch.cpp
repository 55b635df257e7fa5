// The hardware dispatch layer: the back-end tables, the choice of the back end at graphics start,
// and one dispatcher per hardware operation.
#include "zovuz/graphics/graphics_dispatch_internal.h"

#include "zovuz/graphics/image/base_image_internal.h"
#include "zovuz/graphics/display_internal.h"

int GraphicsAPIType = GRAPHICS_API_SOFTWARE;
GraphicsDeviceCapsData GraphicsDeviceCaps;
GraphicsDeviceModeData GraphicsDeviceMode;
GraphicsDispatchData GraphicsDispatch;

// ---- Registration --------------------------------------------------------------------------

int RegisterGraphicsHardwareFunctions(int APIType, const GraphicsHardwareFunctions *Functions)
{
    if (APIType == GRAPHICS_API_D3D11)
        GraphicsDispatch.D3D11 = Functions;
    else if (APIType == GRAPHICS_API_D3D9)
        GraphicsDispatch.D3D9 = Functions;
    else
        return -1;
    return 0;
}

const GraphicsHardwareFunctions *GetGraphicsHardwareFunctions(int APIType)
{
    if (APIType == GRAPHICS_API_D3D11) return GraphicsDispatch.D3D11;
    if (APIType == GRAPHICS_API_D3D9) return GraphicsDispatch.D3D9;
    return nullptr;
}

int RegisterGraphFilterFunctions(const GraphFilterFunctions *Functions)
{
    GraphicsDispatch.Filter = Functions;
    return 0;
}

int RegisterMovieFunctions(const MovieFunctions *Functions)
{
    GraphicsDispatch.Movie = Functions;
    return 0;
}

const GraphFilterFunctions *GetGraphFilterFunctions(void) { return GraphicsDispatch.Filter; }
const MovieFunctions *GetMovieFunctions(void) { return GraphicsDispatch.Movie; }

int GetGraphicsAPIType(void) { return GraphicsAPIType; }
int GetHardwareGraphicsFlag(void) { return GraphicsState.HardwareInUseFlag; }

int LogMissingHardwareOperation(const wchar_t *Name)
{
    AddLogFormat(L"Graphics_Hardware_%s : 使用中のグラフィックスバックエンドにこの処理がありません\n", Name);
    return -1;
}

// ---- Start, mode change and end --------------------------------------------------------------

namespace {

// The colour values of the drawing calls follow the back end and the software screen's depth.
void UpdateColorValueTarget()
{
    ColorValueTarget.HardwareFlag = GraphicsState.HardwareInUseFlag;
    ColorValueTarget.ScreenBitDepth = GetScreenColorBitDepth() == 16 ? 16 : 32;
}

// One back end's start: a back end without a table (or without a start) fails like one whose
// device cannot be made, so the next is tried.
int StartBackend(int APIType)
{
    GraphicsAPIType = APIType;
    const GraphicsHardwareFunctions *table = GetGraphicsHardwareFunctions(APIType);
    if (table == nullptr || table->Startup == nullptr) return -1;
    return table->Startup() < 0 ? -1 : 0;
}

// The software renderer's vertical-blank object: in window mode, or once the full-screen display
// mode is set, the period is measured; a full screen without its mode fails the start.
int StartVSyncObject()
{
    if (DirectDraw7_Create() < 0) return -1;
    if (GetWindowModeFlag() || ChangeDisplayMode() == 0) {
        DirectDraw7_MeasureVSyncPeriod();
        return 0;
    }
    DirectDraw7_Release();
    return -1;
}

}  // namespace

int Graphics_Hardware_Startup(void)
{
    SetPlatformVSyncWaitFlag(1);  // until the back end has tried its wait
    if (!GraphicsState.SoftwareRenderRequestFlag) {
        if (StartBackend(GRAPHICS_API_D3D11) == 0 || StartBackend(GRAPHICS_API_D3D9) == 0) {
            GraphicsState.HardwareInUseFlag = 1;
            UpdateColorValueTarget();
            return 0;
        }
    }
    GraphicsAPIType = GRAPHICS_API_SOFTWARE;
    GraphicsState.HardwareInUseFlag = 0;
    GraphicsDeviceCaps.RenderTargetNum = 1;
    UpdateColorValueTarget();
    return StartVSyncObject();
}

int Graphics_Hardware_ChangeScreenMode(int ChangeFlag, int Width, int Height, int ColorBitDepth, int RefreshRate)
{
    // No worker may be left waiting on the main thread while the device changes under it.
    while (GetASyncLoadNum() > 0) {
        ProcessMainThreadRequests();
        ThreadSleep(GetProcessorCount() > 1 ? 0 : 2);
    }
    if (GraphicsAPIType != GRAPHICS_API_SOFTWARE)
        return HardwareDispatch(&GraphicsHardwareFunctions::ChangeScreenMode, L"ChangeScreenMode", ChangeFlag, Width,
                                Height, ColorBitDepth, RefreshRate);

    DirectDraw7_Release();
    GraphicsScreenSettingsData &s = GraphicsScreenSettings;
    if (ChangeFlag == 1) {
        SetMainScreenSize(Width, Height);
        s.MainScreenColorBitDepth = ColorBitDepth;
        s.MainScreenRefreshRate = RefreshRate;
    }
    s.FullScreenScalingModeInEffect = s.FullScreenScalingMode;
    UpdateColorValueTarget();
    return StartVSyncObject();
}

int Graphics_Hardware_Terminate(void)
{
    int result = 0;
    if (GraphicsAPIType != GRAPHICS_API_SOFTWARE) {
        int r = HardwareDispatch(&GraphicsHardwareFunctions::Terminate, L"Terminate");
        if (GraphicsAPIType == GRAPHICS_API_D3D11) result = r;
    } else {
        // The software renderer's only device-side object.
        DirectDraw7_Release();
    }
    TerminateDisplayInfo();
    return result;
}

// ---- Dialog-box mode and the front screen ------------------------------------------------------

int Graphics_Hardware_SetDialogBoxMode(int Flag)
{
    // The window procedure calls this whatever the back end; only a Direct3D 9 device has the mode.
    const GraphicsHardwareFunctions *table = GraphicsDispatch.D3D9;
    if (table == nullptr || table->SetDialogBoxMode == nullptr) return 0;
    return table->SetDialogBoxMode(Flag);
}

int Graphics_Hardware_SetDialogBoxModeFlag(int Flag)
{
    GraphicsDispatch.DialogBoxModeFlag = Flag;
    if (GraphicsAPIType == GRAPHICS_API_D3D9 && Graphics_Hardware_IsDeviceValid()) {
        Graphics_Hardware_SetDialogBoxMode(0);
        if (Flag) Graphics_Hardware_SetDialogBoxMode(1);
    }
    return 0;
}

int Graphics_Hardware_GetDialogBoxModeFlag(void) { return GraphicsDispatch.DialogBoxModeFlag; }

int Graphics_Hardware_StartFrontScreenTimer(int DrawScreen)
{
    if (GraphicsAPIType != GRAPHICS_API_SOFTWARE)
        return HardwareDispatch(&GraphicsHardwareFunctions::StartFrontScreenTimer, L"StartFrontScreenTimer",
                                DrawScreen);
    if (DrawScreen != DX_SCREEN_FRONT) return 0;
    return StartFrontScreenTimer(GetDisplayWindowHandle());
}

int Graphics_Hardware_ExpireMemoryTextureCache(void)
{
    if (GraphicsAPIType != GRAPHICS_API_D3D9) return 0;
    HardwareDispatch(&GraphicsHardwareFunctions::ExpireMemoryTextures, L"ExpireMemoryTextures");
    HardwareDispatch(&GraphicsHardwareFunctions::ExpireMemorySurfaces, L"ExpireMemorySurfaces");
    return 0;
}

int Graphics_Hardware_ShaderConstantBuffer_Release(ShaderConstantBufferHandleData *Buffer)
{
    if (GraphicsAPIType == GRAPHICS_API_D3D9) return -1;
    return D3D11OnlyDispatch(&GraphicsHardwareFunctions::ShaderConstantBuffer_Release, L"ShaderConstantBuffer_Release",
                             Buffer);
}
