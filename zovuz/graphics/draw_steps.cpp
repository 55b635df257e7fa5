// The steps every drawing call goes through: the draw area narrowed for one draw and put back, the
// empty-area and inactive-window step, the 2D projection, a movie graph's frame, the mask screen
// and the subtractive-blend emulation around the draw; and the work buffers drawing grows.
#include "zovuz/graphics/draw_steps_internal.h"
#include "zovuz/graphics/draw_state_internal.h"
#include "zovuz/graphics/graph/graph_internal.h"
#include "zovuz/graphics/image/memimg_internal.h"

namespace {

const uint8_t kWhite = 255;

// Puts the draw bright to (Red, Green, Blue) and tells the device.
void PushDrawBright(uint8_t Red, uint8_t Green, uint8_t Blue)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    d.DrawBrightRed = Red;
    d.DrawBrightGreen = Green;
    d.DrawBrightBlue = Blue;
    Graphics_Hardware_UpdateDiffuseColor();
}

// A device without subtractive blending draws a white box in mode 3 as the inversion of what is
// under it: inverting, adding (mode 5) and inverting again subtracts.
void InvertRect(const ImageRect &Rect)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    uint8_t red = d.DrawBrightRed, green = d.DrawBrightGreen, blue = d.DrawBrightBlue;
    bool tinted = !DrawBrightIsWhite(d);
    if (tinted) PushDrawBright(kWhite, kWhite, kWhite);
    SetDrawBlendModeState(3, 255);
    Graphics_Hardware_DrawFillBox(Rect.left, Rect.top, Rect.right, Rect.bottom, 0xFFFFFFFFu);
    if (tinted) PushDrawBright(red, green, blue);
}

// The three shared work buffers of the back ends.
struct GraphicsWorkBufferData
{
    void *Buffer[3];
    int Size[3];
};
GraphicsWorkBufferData GraphicsWorkBuffer;

}  // namespace

// ---- Steps ---------------------------------------------------------------------------------------

int DrawAreaVisible(void)
{
    if (GraphicsDrawSettings.DrawAreaEmptyFlag) return 0;
    WaitWhileWindowInactive();
    return 1;
}

void MakeTransform2DCurrent(void)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    if (!GraphicsState.HardwareInUseFlag || d.Transform2DCurrentFlag) return;
    Graphics_Hardware_RenderVertexBuffer(0);
    d.Transform2DCurrentFlag = 1;
    Graphics_Hardware_SetTransformToProjection(&d.Matrix.Projection2DF);
}

void AdvanceGraphMovie(GraphHandleData *Graph)
{
    const MovieFunctions *movie = GetMovieFunctions();
    if (Graph->MovieHandle != -1 && movie != nullptr && movie->UpdateMovieFrame != nullptr)
        movie->UpdateMovieFrame(Graph->MovieHandle, 0);
}

DrawHookState BeginDrawHooks(ImageRect Bounds, int DeviceDraws)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    DrawHookState s = {};
    s.Emulate = DeviceDraws && d.BlendMode == 3 && !GraphicsDeviceCaps.SubtractiveBlendFlag;
    s.Mask = d.MaskValidFlag;
    if (!s.Emulate && !s.Mask) return s;
    s.Rect = ClampIntoDrawArea(Bounds);
    s.BlendParam = d.BlendParam;
    if (s.Mask) MaskDrawBegin(s.Rect.left, s.Rect.top, s.Rect.right, s.Rect.bottom);
    if (s.Emulate) {
        InvertRect(s.Rect);
        SetDrawBlendModeState(5, s.BlendParam);
    }
    return s;
}

void EndDrawHooks(const DrawHookState *State)
{
    if (State->Emulate) {
        InvertRect(State->Rect);
        SetDrawBlendModeState(3, State->BlendParam);
    }
    if (State->Mask) MaskDrawEnd(State->Rect.left, State->Rect.top, State->Rect.right, State->Rect.bottom);
}

ImageRect ClampIntoDrawArea(ImageRect Rect)
{
    const ImageRect &area = GraphicsDrawSettings.DrawArea;
    auto clamp = [](int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : v > hi ? hi : v; };
    Rect.left = clamp(Rect.left, area.left, area.right);
    Rect.right = clamp(Rect.right, area.left, area.right);
    Rect.top = clamp(Rect.top, area.top, area.bottom);
    Rect.bottom = clamp(Rect.bottom, area.top, area.bottom);
    return Rect;
}

int NarrowDrawArea(ImageRect Area, DrawAreaSave *Save)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    Save->Area = d.DrawArea;
    for (int i = 0; i < 4; ++i) Save->AreaF[i] = d.DrawAreaF[i];
    ClipRect(&Area, &Save->Area);
    if (Area.left >= Area.right || Area.top >= Area.bottom) return 0;
    d.DrawArea = Area;
    d.DrawAreaF[0] = (float)Area.left;
    d.DrawAreaF[1] = (float)Area.top;
    d.DrawAreaF[2] = (float)Area.right;
    d.DrawAreaF[3] = (float)Area.bottom;
    if (!GraphicsState.HardwareInUseFlag) SetMemImgDrawArea(&Area);
    return 1;
}

void RestoreDrawArea(const DrawAreaSave *Save)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    if (d.MaskValidFlag) {
        SetDrawArea(Save->Area.left, Save->Area.top, Save->Area.right, Save->Area.bottom);
        return;
    }
    d.DrawArea = Save->Area;
    for (int i = 0; i < 4; ++i) d.DrawAreaF[i] = Save->AreaF[i];
    if (!GraphicsState.HardwareInUseFlag) SetMemImgDrawArea(&Save->Area);
}

// ---- Work buffers ------------------------------------------------------------------------------

DrawWorkBufferData DrawWorkBuffer;

void *GrowDrawWorkBuffer(void **Buffer, int *BufferSize, int Size)
{
    if (Size < 0) return nullptr;
    if (*Buffer != nullptr && Size <= *BufferSize) return *Buffer;
    void *grown = DXREALLOC(*Buffer, Size > 0 ? (size_t)Size : 1);
    if (grown == nullptr) return nullptr;
    *Buffer = grown;
    *BufferSize = Size;
    return grown;
}

void ReleaseDrawWorkBuffers(void)
{
    DrawWorkBufferData &w = DrawWorkBuffer;
    void **buffers[] = {&w.SpanTable, &w.SourceMap, &w.VertexCopy, &w.ScreenCopyRows, &w.DeviceCopyPixels};
    for (void **buffer : buffers) {
        DXFREE(*buffer);
        *buffer = nullptr;
    }
    w.SpanTableSize = w.SourceMapSize = w.VertexCopySize = w.ScreenCopyRowsSize = w.DeviceCopyPixelsSize = 0;
}

void *ReserveWorkBuffer(int Index, int Size)
{
    GraphicsWorkBufferData &w = GraphicsWorkBuffer;
    if (Index < 0 || Index > 2) return nullptr;
    return GrowDrawWorkBuffer(&w.Buffer[Index], &w.Size[Index], Size);
}

void ReleaseWorkBuffers(void)
{
    GraphicsWorkBufferData &w = GraphicsWorkBuffer;
    for (int i = 0; i < 3; ++i) {
        DXFREE(w.Buffer[i]);
        w.Buffer[i] = nullptr;
        w.Size[i] = 0;
    }
}
