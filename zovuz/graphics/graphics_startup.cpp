// Graphics start-up and end, the screen-mode change, the rebuild after a device loss and the
// software screens.
#include "zovuz/graphics/image/base_image_internal.h"
#include "zovuz/graphics/display_internal.h"
#include "zovuz/graphics/font/font_internal.h"
#include "zovuz/graphics/graph/graph_internal.h"
#include "zovuz/graphics/draw_steps_internal.h"

namespace {

// The handle types of graphics, in the order they are registered.
struct GraphicsHandleType
{
    int Type, MaxNum, Size;
    HandleInitFunction Init;
    HandleTermFunction Term;
    const wchar_t *Name;
};
const GraphicsHandleType kHandleTypes[] = {
    {DX_HANDLETYPE_GRAPH, DX_MAX_GRAPH_NUM, sizeof(GraphHandleData), InitializeGraphHandle, TerminateGraphHandle,
     L"Graph"},
    {DX_HANDLETYPE_SHADER, DX_MAX_SHADER_NUM, sizeof(ShaderHandleData), InitializeShaderHandle, TerminateShaderHandle,
     L"Shader"},
    {DX_HANDLETYPE_SHADER_CONSTANT_BUFFER, DX_MAX_SHADER_CONSTANT_BUFFER_NUM, sizeof(ShaderConstantBufferHandleData),
     InitializeShaderConstantBufferHandle, TerminateShaderConstantBufferHandle, L"ShaderConstantBuffer"},
    {DX_HANDLETYPE_VERTEX_BUFFER, DX_MAX_VERTEX_BUFFER_NUM, sizeof(VertexBufferHandleData),
     InitializeVertexIndexBufferHandle, ReleaseVertexIndexBufferHandle, L"VertexBuffer"},
    {DX_HANDLETYPE_INDEX_BUFFER, DX_MAX_INDEX_BUFFER_NUM, sizeof(IndexBufferHandleData),
     InitializeVertexIndexBufferHandle, ReleaseVertexIndexBufferHandle, L"IndexBuffer"},
    {DX_HANDLETYPE_SHADOWMAP, DX_MAX_SHADOWMAP_NUM, sizeof(ShadowMapHandleData), InitializeShadowMapHandle,
     TerminateShadowMapHandle, L"ShadowMap"},
};
// Removed in this order at the end.
const int kHandleTypeEndOrder[] = {
    DX_HANDLETYPE_SHADOWMAP, DX_HANDLETYPE_VERTEX_BUFFER,          DX_HANDLETYPE_INDEX_BUFFER,
    DX_HANDLETYPE_SHADER,    DX_HANDLETYPE_SHADER_CONSTANT_BUFFER, DX_HANDLETYPE_GRAPH};

void RemoveHandleTypes()
{
    for (int type : kHandleTypeEndOrder)
        if (GetHandleManage(type)->InitializeFlag) TerminateHandleType(type);
}

int RegisterHandleTypes()
{
    for (const GraphicsHandleType &t : kHandleTypes)
        if (InitializeHandleType(t.Type, t.Size, t.MaxNum, t.Init, t.Term, t.Name) < 0) {
            RemoveHandleTypes();
            return -1;
        }
    return 0;
}

// The screen settings a mode consists of.
struct ScreenMode
{
    int Width, Height, Depth, Refresh;
    bool operator==(const ScreenMode &o) const
    {
        return Width == o.Width && Height == o.Height && Depth == o.Depth && Refresh == o.Refresh;
    }
};

ScreenMode CurrentScreenMode()
{
    const GraphicsScreenSettingsData &s = GraphicsScreenSettings;
    return ScreenMode{s.MainScreenWidth, s.MainScreenHeight, s.MainScreenColorBitDepth, s.MainScreenRefreshRate};
}

void StoreScreenMode(const ScreenMode &Mode)
{
    GraphicsScreenSettingsData &s = GraphicsScreenSettings;
    SetMainScreenSize(Mode.Width, Mode.Height);
    s.MainScreenColorBitDepth = Mode.Depth;
    s.MainScreenRefreshRate = Mode.Refresh;
    s.FullScreenScalingModeInEffect = s.FullScreenScalingMode;
    SetMemImgDefaultColorType(Mode.Depth == 32 ? 1 : 0);
}

// The mode change ends: the log indent back, the busy flag down.
int EndModeChange(int Result)
{
    GraphicsScreenSettings.ModeChangeBusyFlag = 0;
    return Result;
}

int FinishModeChange()
{
    if (GetWindowModeFlag()) ChangeWindowStyle(0);
    LogIndentDown();
    AddLogStringWide(L"画面モード変更処理は正常に終了しました\n");
    return 0;
}

// In-place road: the device (or the software screens) changes under the running graphics.
int ChangeScreenModeInPlace(const ScreenMode &Mode)
{
    if (GetWindowModeFlag()) {
        DisplayRecordInfo display;
        if (GetUseDisplayRecord(&display) == 0 &&
            (Mode.Width > display.DesktopWidth || Mode.Height > display.DesktopHeight)) {
            LogIndentDown();
            return EndModeChange(0);
        }
    }
    Graphics_Hardware_ChangeScreenMode(1, Mode.Width, Mode.Height, Mode.Depth, Mode.Refresh);
    SetMemImgDefaultColorType(Mode.Depth == 32 ? 1 : 0);
    if (!GraphicsState.HardwareInUseFlag) {
        TerminateTemporaryScreenMemImg();
        if (CreateTemporaryScreenMemImg() < 0) {
            LogIndentDown();
            return EndModeChange(-1);
        }
    }
    // A screen value as draw target takes the new screen's size (a graph keeps its own).
    int target = GraphicsDrawSettings.RenderTarget[0];
    if (IsScreenValue(target)) SelectScreenAsDrawTarget(target);
    FinishModeChange();
    ApplyDragFileAcceptFlag();
    return EndModeChange(0);
}

// Reset road: graphics end and start again in the new mode, or in the first fallback that starts.
int ChangeScreenModeByReset(const ScreenMode &Mode, const ScreenMode &Old, const DefaultFontStateSave &Font)
{
    TerminateGraphics();
    StoreScreenMode(Mode);
    RestoreDefaultFontState(&Font);
    int result = InitializeGraphics();
    ScreenMode tried = Mode;
    if (result < 0 && Mode.Width == 320 && Mode.Height == 240) {
        if (!IsLibraryStarted()) {
            GraphicsScreenSettings.Emulation320x240Flag = 1;
            SetGraphMode(320, 240, Mode.Depth, Mode.Refresh);
        }
        tried = ScreenMode{640, 480, Mode.Depth, Mode.Refresh};
        StoreScreenMode(tried);
        result = InitializeGraphics();
    }
    const ScreenMode fallbacks[] = {Old, {640, 480, 16, 0}, {640, 480, 32, 0}};
    for (const ScreenMode &fallback : fallbacks) {
        if (result >= 0) break;
        StoreScreenMode(fallback);
        result = InitializeGraphics();
    }
    if (result < 0) {
        AddLogStringWide(L"予期せぬ画面モード変更不能現象が起きました2\n");
        LogIndentDown();
        return EndModeChange(-1);
    }
    FinishModeChange();
    ProcessMessageNoLock();

    // The new start left the front screen in slot 0; it is selected again, the others cleared.
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    SetDrawScreen(d.RenderTarget[0]);
    for (int slot = 1; slot < DX_RENDERTARGET_COUNT; ++slot) {
        d.RenderTarget[slot] = -1;
        d.RenderTargetSurface[slot] = d.RenderTargetMipLevel[slot] = 0;
    }
    ApplyDragFileAcceptFlag();
    return EndModeChange(0);
}

}  // namespace

// ---- The software screens and work buffers -------------------------------------------------------

int CreateTemporaryScreenMemImg(void)
{
    SoftwareScreenData &s = SoftwareScreen;
    ++s.Changes;
    int width, height;
    GetDrawScreenSize(&width, &height);
    int type = GetScreenColorBitDepth() == 16 ? MEMIMG_COLORTYPE_565 : MEMIMG_COLORTYPE_XRGB8;
    if (InitializeMemImg(&s.Screen, width, height, type) < 0) {
        AddLogStringWide(L"仮画面用の MEMIMG の作成に失敗しました\n");
        return -1;
    }
    int red = 0, green = 0, blue = 0;
    GetBackgroundColor(&red, &green, &blue);
    FillMemImg(&s.Screen, nullptr, GetColorValue(red, green, blue));
    if (InitializeMemImg(&s.AuxScreen, width, height, type) < 0) {
        AddLogStringWide(L"補助用の MEMIMG の作成に失敗しました\n");
        TerminateTemporaryScreenMemImg();
        return -1;
    }
    s.AlphaScreen = MEMIMG();
    if (InitializeMemImg(&s.WorkScreen, width, height, type) < 0 ||
        CreateMemImg(&s.AlphaScreen, width, height, -1, 0, type, 0, 1, 0, nullptr) < 0) {
        TerminateTemporaryScreenMemImg();
        return -1;
    }
    return 0;
}

void TerminateTemporaryScreenMemImg(void)
{
    SoftwareScreenData &s = SoftwareScreen;
    MEMIMG *screens[] = {&s.Screen, &s.AuxScreen, &s.WorkScreen, &s.AlphaScreen};
    for (MEMIMG *screen : screens) TerminateMemImg(screen);
}

// ---- Start and end ------------------------------------------------------------------------------

int InitializeGraphics(void)
{
    if (GraphicsState.GraphicsStartedFlag) return 0;
    GraphicsScreenSettingsData &s = GraphicsScreenSettings;
    if (s.MainScreenWidth == 0 || s.MainScreenHeight == 0)
        SetMainScreenSize(s.MainScreenWidth != 0 ? s.MainScreenWidth : 640,
                          s.MainScreenHeight != 0 ? s.MainScreenHeight : 480);
    if (s.MainScreenColorBitDepth == 0) s.MainScreenColorBitDepth = 16;
    SetMemImgDefaultColorType(s.MainScreenColorBitDepth == 32 ? 1 : 0);

    if (RegisterHandleTypes() < 0) return -1;
    if (Graphics_Hardware_Startup() < 0) {
        TerminateGraphics();
        RemoveHandleTypes();
        return -1;
    }
    GraphicsState.GraphicsStartedFlag = 1;
    if (GraphicsState.HardwareInUseFlag) {
        Graphics_Hardware_InitializeDeviceState();
    } else if (CreateTemporaryScreenMemImg() < 0) {
        // Without its screens the software renderer has nothing to draw into or show.
        TerminateGraphics();
        return -1;
    }

    GraphCreateSettings.ColorBitDepth = 0;
    GraphCreateSettings.TextureOption = 1;
    ImageLoadDefaults.TransparentColorFlag = 1;
    ResetDrawSettings();
    SetupMemImgTables();
    InitializeFontSystem();
    InitializeMaskSystem();

    if (Graphics_Hardware_PixelCenterTest() < 0) {
        TerminateGraphics();
        return -1;
    }
    return 0;
}

int TerminateGraphics(void)
{
    TerminateFontSystem();
    if (!GraphicsState.GraphicsStartedFlag) return 0;
    TerminateMaskSystem();
    DeleteHandleTypeAll(DX_HANDLETYPE_GRAPH,
                        [](HandleInfo *Info) { return IsGraphKeptInFirstPass((GraphHandleData *)Info) > 0 ? 1 : 0; });
    DeleteHandleTypeAll(DX_HANDLETYPE_SHADOWMAP, nullptr);
    Graphics_Hardware_ReleaseMemoryTextureCache();
    DeleteHandleTypeAll(DX_HANDLETYPE_VERTEX_BUFFER, nullptr);
    DeleteHandleTypeAll(DX_HANDLETYPE_INDEX_BUFFER, nullptr);
    DeleteHandleTypeAll(DX_HANDLETYPE_SHADER_CONSTANT_BUFFER, nullptr);
    DeleteHandleTypeAll(DX_HANDLETYPE_SHADER, nullptr);
    DeleteLightHandleAll();

    TerminateTemporaryScreenMemImg();
    Graphics_Hardware_Terminate();
    ReleaseDrawWorkBuffers();
    RemoveHandleTypes();
    ReleaseWorkBuffers();
    GraphicsState.GraphicsStartedFlag = 0;
    return 0;
}

// ---- Screen-mode change and restore ----------------------------------------------------------------

int ChangeScreenMode(int Width, int Height, int ColorBitDepth, int Force, int RefreshRate)
{
    GraphicsScreenSettings.ModeChangeBusyFlag = 1;
    FlushVertexBuffer();
    ScreenMode old = CurrentScreenMode();
    ScreenMode mode = {Width != -1 ? Width : old.Width, Height != -1 ? Height : old.Height,
                       ColorBitDepth != -1 ? ColorBitDepth : old.Depth, RefreshRate != -1 ? RefreshRate : old.Refresh};
    if (mode == old && !Force) return EndModeChange(0);

    AddLogStringWide(L"画面モード変更処理を開始します\n");
    LogIndentUp();
    DefaultFontStateSave font;
    SaveDefaultFontState(&font);
    if (!IsLibraryStarted() && !IsLibraryStarting()) {
        LogIndentDown();
        return EndModeChange(0);
    }
    if (GraphicsScreenSettings.NotGraphicsResetFlag) return ChangeScreenModeInPlace(mode);
    return ChangeScreenModeByReset(mode, old, font);
}

int RestoreGraphicsDevice(void) { return Graphics_Hardware_ChangeScreenMode(0, -1, -1, -1, -1); }

int RestoreGraphics(void)
{
    int async = GetUseASyncLoadFlag();
    SetUseASyncLoadFlag(0);
    RestoreGraphCallbackFunction callback = GraphicsState.RestoreGraphCallback;
    if (callback != nullptr)
        callback();
    else
        RestoreAllGraphs();
    ReCreateAllFontHandles();
    SetUseASyncLoadFlag(async);
    return 0;
}

int SetRestoreGraphCallback(int (*Callback)(void))
{
    GraphicsState.RestoreGraphCallback = Callback != nullptr ? Callback : RestoreAllGraphs;
    return 0;
}
