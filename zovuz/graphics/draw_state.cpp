// The draw settings: their defaults, saving and restoring them, the draw target and area, the
// blend state, and the queries over the screen and device globals.
#include <string.h>

#include "zovuz/graphics/image/base_image_internal.h"
#include "zovuz/graphics/draw_state_internal.h"
#include "zovuz/graphics/image/memimg_internal.h"

GraphicsDrawSettingsData GraphicsDrawSettings;
GraphicsShadowMapSettingsData GraphicsShadowMapSettings;
GraphicsStateData GraphicsState = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, -1, nullptr};

namespace {

// The pieces of the block that the device holds a copy of, to push only what a reset changed.
struct DeviceMirror
{
    uint8_t Bright[3];
    int FogMode;
    uint32_t FogColor;
    float FogStart, FogEnd;
};

DeviceMirror MirrorOf(const GraphicsDrawSettingsData &d)
{
    return DeviceMirror{
        {d.DrawBrightBlue, d.DrawBrightGreen, d.DrawBrightRed}, d.FogMode, d.FogColor, d.FogStart, d.FogEnd};
}

void SetDefaultValues(GraphicsDrawSettingsData &d)
{
    d.Z2D.CompareFunction = 4;  // less or equal
    d.Z3D.CompareFunction = 4;
    d.FillMode = 3;                                                                                       // solid
    for (int i = 0; i < 16; ++i) d.TexAddressModeU[i] = d.TexAddressModeV[i] = d.TexAddressModeW[i] = 3;  // clamp
    d.FogMode = 3;
    d.FogColor = 0xFFFFFFFF;
    d.FogStart = 0.0f;
    d.FogEnd = 1500.0f;
    d.DrawZ = 0.2f;
    d.MaxAnisotropy = 1;
    d.BlendMode = DX_BLENDMODE_NOBLEND;
    d.BlendGraph = -1;
    d.AlphaTestMode = -1;
    d.DrawBrightBlue = d.DrawBrightGreen = d.DrawBrightRed = 255;
    d.ViewportScale2D = 1.0f;
}

// What changed in the device-side copies is sent again (the batch drawn first).
void PushChangedDeviceState(const DeviceMirror &Old, const GraphicsDrawSettingsData &d)
{
    DeviceMirror now = MirrorOf(d);
    bool bright = memcmp(Old.Bright, now.Bright, sizeof(now.Bright)) != 0;
    bool fogMode = Old.FogMode != now.FogMode;
    bool fogColor = Old.FogColor != now.FogColor;
    bool fogRange = Old.FogStart != now.FogStart || Old.FogEnd != now.FogEnd;
    if (!bright && !fogMode && !fogColor && !fogRange) return;
    FlushVertexBuffer();
    if (GraphicsState.HardwareInUseFlag) {
        if (bright) Graphics_Hardware_UpdateDiffuseColor();
        if (fogMode) Graphics_Hardware_SetFogMode(d.FogMode);
        if (fogColor) Graphics_Hardware_SetFogColor(d.FogColor);
        if (fogRange) Graphics_Hardware_SetFogStartEnd(d.FogStart, d.FogEnd);
    } else if (bright) {
        SetMemImgDrawBright((uint32_t)d.DrawBrightRed << 16 | (uint32_t)d.DrawBrightGreen << 8 | d.DrawBrightBlue);
    }
}

void SetDefaultCamera(DrawCameraData &c)
{
    c.ProjectionMode = DX_CAMERA_PERSPECTIVE;
    c.Near = 10.0;
    c.Far = 10000.0;
    c.AspectScale = 1.0;
    c.Fov = DEFAULT_CAMERA_FOV;
    c.OrthoSize = 1.0;
}

void SetDefaultMaterial(MATERIALPARAM &m)
{
    const float diffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    const float specular[4] = {0.8f, 0.8f, 0.8f, 0.0f};
    memset(&m, 0, sizeof(m));
    memcpy(m.Diffuse, diffuse, sizeof(diffuse));
    memcpy(m.Specular, specular, sizeof(specular));
    m.Power = 20.0f;
}

void SetIdentityMatrices(DrawMatrixData &m)
{
    MATRIX_D *all[] = {&m.World, &m.View, &m.Projection, &m.CameraProjection, &m.Viewport, &m.Projection2D};
    for (MATRIX_D *matrix : all) CreateIdentityMatrixD(matrix);
    MATRIX *floats[] = {&m.WorldF, &m.ViewF, &m.ProjectionF, &m.ViewportF, &m.Projection2DF};
    for (MATRIX *matrix : floats) CreateIdentityMatrix(matrix);
}

// The default light: directional, shining along (1, -1, 1).
void MakeDefaultLight()
{
    if (GraphicsState.DefaultLightHandle != -1) DeleteLightHandle(GraphicsState.DefaultLightHandle);
    GraphicsState.DefaultLightHandle = CreateDirLightHandle(VECTOR{1.0f, -1.0f, 1.0f});
}

}  // namespace

// ---- Reset, save and restore ---------------------------------------------------------------

int ResetDrawSettings(void)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    ImageRect request = d.DrawAreaRequest;
    int keep3D = d.Keep3DSettingsFlag;
    DeviceMirror old = MirrorOf(d);
    memset(&d, 0, sizeof(d));
    memset(&GraphicsShadowMapSettings, 0, sizeof(GraphicsShadowMapSettings));
    d.DrawAreaRequest = request;
    d.Keep3DSettingsFlag = keep3D;

    SetDefaultValues(d);
    PushChangedDeviceState(old, d);
    if (!GraphicsState.HardwareInUseFlag) SetMemImgDrawBlendMode(d.BlendMode, d.BlendParam);

    d.UseMaskScreenFlag = 1;
    d.MaskValidFlag = 0;
    // The back screen first, so that choosing the front screen does not present it.
    d.RenderTarget[0] = DX_SCREEN_BACK;
    SelectScreenAsDrawTarget(DX_SCREEN_FRONT);
    SetDrawAreaState(0, 0, d.DrawSizeX, d.DrawSizeY);
    d.DrawAreaRequest = request;  // the area in effect is the whole screen; the request stays

    MakeDefaultLight();

    SetIdentityMatrices(d.Matrix);
    InvalidateTransformMatrices();
    SetDefaultCamera(d.Camera);
    SetDefaultMaterial(d.Material);
    GraphicsState.DrawStateChangedFlag = 1;
    return 0;
}

int SaveDrawSettings(DrawSettingsSaveData *Save)
{
    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    memset(Save, 0, sizeof(*Save));
    Save->HardwareFlag = GetUseHardwareRenderFlag();
    Save->BackgroundRed = GraphicsState.BackgroundRed;
    Save->BackgroundGreen = GraphicsState.BackgroundGreen;
    Save->BackgroundBlue = GraphicsState.BackgroundBlue;
    Save->BlendMode = d.BlendMode;
    Save->BlendParam = d.BlendParam;
    Save->DrawMode = d.DrawMode;
    Save->WaitVSyncFlag = GetWaitVSyncFlag();
    Save->DrawScreen = d.RenderTarget[0];
    Save->View = d.Matrix.View;
    Save->Projection = d.Matrix.Projection;
    Save->Viewport = d.Matrix.Viewport;
    Save->World = d.Matrix.World;
    Save->ProjectionMode = d.Camera.ProjectionMode;
    Save->Fov = d.Camera.Fov;
    Save->OrthoSize = d.Camera.OrthoSize;
    Save->Near = d.Camera.Near;
    Save->Far = d.Camera.Far;
    Save->AspectScale = d.Camera.AspectScale;
    Save->CameraProjection = d.Matrix.CameraProjection;
    Save->DrawArea = d.DrawArea;
    return 0;
}

int RestoreDrawSettings(const DrawSettingsSaveData *Save)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    GraphicsState.BackgroundRed = Save->BackgroundRed;
    GraphicsState.BackgroundGreen = Save->BackgroundGreen;
    GraphicsState.BackgroundBlue = Save->BackgroundBlue;
    GraphicsState.BackgroundSetFlag = 1;
    SetDrawBlendModeState(Save->BlendMode, Save->BlendParam);
    if (d.DrawMode != Save->DrawMode) {
        FlushVertexBuffer();
        d.DrawMode = Save->DrawMode;
        GraphicsState.DrawStateChangedFlag = 1;
        Graphics_Hardware_SetDrawMode(d.DrawMode);
    }
    if (!GraphicsLibraryInitialized()) {
        GraphicsScreenSettings.NotWaitVSyncFlag = !Save->WaitVSyncFlag;
        GraphicsState.SoftwareRenderRequestFlag = !Save->HardwareFlag;
    }
    if (GraphicsState.GraphicsStartedFlag)
        SetDrawScreen(Save->DrawScreen);
    else if (Save->DrawScreen == DX_SCREEN_BACK || Save->DrawScreen == DX_SCREEN_FRONT)
        SelectScreenAsDrawTarget(Save->DrawScreen);  // the draw state alone, before graphics start
    SetDrawAreaState(Save->DrawArea.left, Save->DrawArea.top, Save->DrawArea.right, Save->DrawArea.bottom);
    SetTransformToWorldD(&Save->World);
    SetTransformToView(&Save->View);

    // The projection by its mode, then the ranges, the camera projection rebuilt after each.
    DrawCameraData &c = d.Camera;
    c.ProjectionMode = Save->ProjectionMode;
    if (c.ProjectionMode == DX_CAMERA_PERSPECTIVE)
        c.Fov = Save->Fov;
    else if (c.ProjectionMode == DX_CAMERA_ORTHO)
        c.OrthoSize = Save->OrthoSize;
    else
        d.Matrix.CameraProjection = Save->CameraProjection;
    UpdateCameraProjection();
    c.Near = Save->Near;
    UpdateCameraProjection();
    c.Far = Save->Far;
    UpdateCameraProjection();
    c.AspectScale = Save->AspectScale;
    UpdateCameraProjection();
    SetTransformToViewportD(&Save->Viewport);
    return 0;
}

// ---- The draw target and area -----------------------------------------------------------------

int SetDrawScreenState(int DrawScreen, int Width, int Height)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    d.RenderTarget[0] = DrawScreen;
    d.RenderTargetSurface[0] = 0;
    d.RenderTargetMipLevel[0] = 0;
    d.DrawSizeX = Width;
    d.DrawSizeY = Height;
    return 0;
}

int SelectScreenAsDrawTarget(int DrawScreen)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    int oldSurface = d.RenderTargetSurface[0], oldMip = d.RenderTargetMipLevel[0];
    // The back end resolves a multisampled graph it leaves, so it must be told which one it was.
    GraphHandleData *oldGraph = GetGraphEntry(d.RenderTarget[0], 0);
    int width, height;
    GetDrawScreenSize(&width, &height);
    SetDrawScreenState(DrawScreen, width, height);
    Graphics_Hardware_UpdateDrawScreenAlphaFlag();
    Graphics_Hardware_SetDrawScreen(DrawScreen, oldSurface, oldMip, nullptr, oldGraph, nullptr, nullptr);
    ResetCameraForDrawScreen(DrawScreen);
    Graphics_Hardware_StartFrontScreenTimer(DrawScreen);
    return 0;
}

int SetDrawAreaState(int X1, int Y1, int X2, int Y2)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    d.DrawAreaRequest = ImageRect{X1, Y1, X2, Y2};
    if (X1 > X2) {
        int t = X1;
        X1 = X2;
        X2 = t;
    }
    if (Y1 > Y2) {
        int t = Y1;
        Y1 = Y2;
        Y2 = t;
    }
    auto clamp = [](int v, int limit) { return v < 0 ? 0 : v > limit ? limit : v; };
    ImageRect area = {clamp(X1, d.DrawSizeX), clamp(Y1, d.DrawSizeY), clamp(X2, d.DrawSizeX), clamp(Y2, d.DrawSizeY)};
    d.DrawArea = area;
    d.DrawAreaF[0] = (float)area.left;
    d.DrawAreaF[1] = (float)area.top;
    d.DrawAreaF[2] = (float)area.right;
    d.DrawAreaF[3] = (float)area.bottom;
    SetMemImgDrawArea(&area);
    if (area.right == area.left || area.bottom == area.top) {
        d.DrawAreaEmptyFlag = 1;
        return 0;
    }
    d.DrawAreaEmptyFlag = 0;
    MATRIX_D viewport;
    CreateViewportMatrixD(&viewport, (area.left + area.right) * 0.5, (area.top + area.bottom) * 0.5,
                          area.right - area.left, area.bottom - area.top);
    SetTransformToViewportD(&viewport);
    Graphics_Hardware_SetDrawArea();
    return 0;
}

int SetDrawBlendModeState(int BlendMode, int BlendParam)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    BlendParam = Clamp255(BlendParam);
    if (d.BlendMode == BlendMode && d.BlendParam == BlendParam) return 0;
    if (d.BlendMode != BlendMode) GraphicsState.DrawStateChangedFlag = 1;
    d.BlendMode = BlendMode;
    d.BlendParam = BlendParam;
    if (GraphicsState.HardwareInUseFlag)
        Graphics_Hardware_UpdateDiffuseColor();
    else
        SetMemImgDrawBlendMode(BlendMode, BlendParam);
    return 0;
}

int SetBlendGraphParamBase(int BlendGraph, int BlendType, const int *Param)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    GraphHandleData *graph = nullptr;
    if (BlendGraph > 0) {
        graph = GetGraphEntry(BlendGraph, 0);
        if (graph == nullptr) return -1;
        d.BlendGraph = BlendGraph;
    } else {
        d.BlendGraph = -1;
    }
    d.BlendGraphType = BlendType;
    if (BlendType == 0 && Param != nullptr) {
        d.BlendGraphParam[0] = Clamp255(Param[0]);
    } else if (BlendType == 1 && Param != nullptr) {
        d.BlendGraphParam[0] = Clamp255(Param[0]);
        d.BlendGraphParam[1] = Clamp255(Param[1]);
    }
    if (GraphicsState.HardwareInUseFlag) {
        Graphics_Hardware_SetBlendGraphParam(graph, BlendType, d.BlendGraphParam);
    } else if (BlendType == 1) {
        // The software drawers take the blend graph's image from BlendGraph.
        SetMemImgBlendGraphTable(d.BlendGraphParam[0], d.BlendGraphParam[1]);
    }
    return 0;
}

// ---- Queries ------------------------------------------------------------------------------

MATRIX DrawProjectionThroughArea(const MATRIX &Area)
{
    const DrawMatrixData &m = GraphicsDrawSettings.Matrix;
    MATRIX projection;
    if (GraphicsDrawSettings.Transform2DCurrentFlag) {
        MultiplyMatrix(&projection, &m.Projection2DF, &Area);
    } else {
        MATRIX viewport;
        MultiplyMatrix(&viewport, &m.ProjectionF, &m.ViewportF);
        MultiplyMatrix(&projection, &viewport, &Area);
    }
    return projection;
}

KeptDrawTransform KeepDrawTransform(void)
{
    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    return KeptDrawTransform{d.Matrix.View, d.Matrix.Projection, d.Matrix.Viewport, d.DrawAreaRequest};
}

void PutBackDrawTransform(const KeptDrawTransform &Kept)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    SetDrawArea(Kept.DrawArea.left, Kept.DrawArea.top, Kept.DrawArea.right, Kept.DrawArea.bottom);
    SetTransformToWorldD(&d.Matrix.World);
    SetTransformToView(&Kept.View);
    SetCameraProjectionMatrix(&Kept.Projection);
    SetTransformToViewportD(&Kept.Viewport);
}

int SetMainScreenSize(int Width, int Height)
{
    GraphicsScreenSettings.MainScreenWidth = Width;
    GraphicsScreenSettings.MainScreenHeight = Height;
    SetMatrixDefaultScreenSize(Width != 0 ? Width : 640, Height != 0 ? Height : 480);
    return 0;
}

int GetDrawScreenHandle(void) { return GraphicsDrawSettings.RenderTarget[0]; }

int IsFullScreenMode(void) { return GetWindowModeFlag() ? 0 : 1; }

int GetScreenColorBitDepth(void)
{
    int depth = GraphicsScreenSettings.MainScreenColorBitDepth;
    return depth != 0 ? depth : 16;
}

int GetDrawScreenSize(int *Width, int *Height)
{
    const GraphicsScreenSettingsData &s = GraphicsScreenSettings;
    if (Width != nullptr) *Width = s.MainScreenWidth != 0 ? s.MainScreenWidth : 640;
    if (Height != nullptr) *Height = s.MainScreenHeight != 0 ? s.MainScreenHeight : 480;
    return 0;
}

int GetScreenState(int *Width, int *Height, int *ColorBitDepth)
{
    GetDrawScreenSize(Width, Height);
    if (ColorBitDepth != nullptr) *ColorBitDepth = GetScreenColorBitDepth();
    return 0;
}

int GetTransColor(int *Red, int *Green, int *Blue)
{
    if (GetScreenColorBitDepth() == 8) return -1;
    uint32_t color = ImageLoadDefaults.TransparentColor;
    if (Red != nullptr) *Red = (color >> 16) & 0xFF;
    if (Green != nullptr) *Green = (color >> 8) & 0xFF;
    if (Blue != nullptr) *Blue = color & 0xFF;
    return 0;
}

int GetUseHardwareRenderFlag(void)
{
    if (GraphicsLibraryInitialized()) return GraphicsState.HardwareInUseFlag;
    return GraphicsState.SoftwareRenderRequestFlag ? 0 : 1;
}

int IsRestoreGraphCallbackSet(void) { return GraphicsState.RestoreGraphCallback != nullptr ? 1 : 0; }

int GetShaderVersion(void) { return Graphics_Hardware_GetShaderVersion(); }

int GetWaitVSyncFlag(void) { return GraphicsScreenSettings.NotWaitVSyncFlag ? 0 : 1; }

int GetPixelCenterNoOffsetFlag(void) { return GraphicsDeviceCaps.PixelCenterNoOffsetFlag; }

int GetBackgroundColor(int *Red, int *Green, int *Blue)
{
    if (!GraphicsState.BackgroundSetFlag) return -1;
    if (Red != nullptr) *Red = GraphicsState.BackgroundRed;
    if (Green != nullptr) *Green = GraphicsState.BackgroundGreen;
    if (Blue != nullptr) *Blue = GraphicsState.BackgroundBlue;
    return 0;
}
