// The per-draw settings and the set-up calls made before the library's start.
#include <stdarg.h>

#include "zovuz/graphics/image/base_image_internal.h"
#include "zovuz/graphics/graph/graph_internal.h"

int SetBackgroundColor(int Red, int Green, int Blue)
{
    GraphicsState.BackgroundRed = Red;
    GraphicsState.BackgroundGreen = Green;
    GraphicsState.BackgroundBlue = Blue;
    GraphicsState.BackgroundSetFlag = 1;
    return 0;
}

int SetDrawBlendMode(int BlendMode, int BlendParam)
{
    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    if (d.BlendMode == BlendMode && d.BlendParam == Clamp255(BlendParam)) return 0;
    WaitWhileWindowInactive();
    return SetDrawBlendModeState(BlendMode, BlendParam);
}

int SetDrawBright(int Red, int Green, int Blue)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    Red = Clamp255(Red);
    Green = Clamp255(Green);
    Blue = Clamp255(Blue);
    if (d.DrawBrightRed == Red && d.DrawBrightGreen == Green && d.DrawBrightBlue == Blue) return 0;
    // No flush: the back ends write the draw bright into each vertex as it is batched, so the
    // vertices already batched keep theirs (a string sets its colour as the bright twice).
    d.DrawBrightRed = (uint8_t)Red;
    d.DrawBrightGreen = (uint8_t)Green;
    d.DrawBrightBlue = (uint8_t)Blue;
    if (GraphicsState.HardwareInUseFlag)
        Graphics_Hardware_UpdateDiffuseColor();
    else
        SetMemImgDrawBright((uint32_t)Red << 16 | (uint32_t)Green << 8 | (uint32_t)Blue);
    return 0;
}

int SetDrawAlphaTest(int TestMode, int TestParam)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    TestParam = Clamp255(TestParam);
    if (d.AlphaTestMode == TestMode && d.AlphaTestParam == TestParam) return 0;
    WaitWhileWindowInactive();
    FlushVertexBuffer();
    d.AlphaTestMode = TestMode;
    d.AlphaTestParam = TestParam;
    GraphicsState.DrawStateChangedFlag = 1;
    if (GraphicsState.HardwareInUseFlag) Graphics_Hardware_UpdateDiffuseColor();
    return 0;
}

int SetDrawMode(int DrawMode)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    if (d.DrawMode == DrawMode) return 0;
    FlushVertexBuffer();
    d.DrawMode = DrawMode;
    GraphicsState.DrawStateChangedFlag = 1;
    Graphics_Hardware_SetDrawMode(DrawMode);
    return 0;
}

int SetDrawArea(int X1, int Y1, int X2, int Y2)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    FlushVertexBuffer();
    if (d.MaskValidFlag) MaskDrawEnd(d.DrawArea.left, d.DrawArea.top, d.DrawArea.right, d.DrawArea.bottom);
    if (!IsScreenValue(d.RenderTarget[0]) && GetGraphEntry(d.RenderTarget[0], 0) == nullptr) return -1;
    return SetDrawAreaState(X1, Y1, X2, Y2);
}

int SetDrawValidGraphCreateFlag(int Flag)
{
    GraphCreateSettings.DrawValidFlag = Flag;
    return 0;
}

int SetTransColor(int Red, int Green, int Blue)
{
    if (GetScreenColorBitDepth() == 8) return 0;
    ImageLoadDefaults.TransparentColor = (uint32_t)(Red & 0xFF) << 16 | (uint32_t)(Green & 0xFF) << 8 | (Blue & 0xFF);
    return 0;
}

int SetGraphicsResetOnScreenModeChangeFlag(int Flag)
{
    GraphicsScreenSettings.NotGraphicsResetFlag = Flag ? 0 : 1;
    return 0;
}

int SetUseHardwareRenderFlag(int Flag)
{
    if (GraphicsLibraryInitialized()) return -1;
    GraphicsState.SoftwareRenderRequestFlag = Flag ? 0 : 1;
    return 0;
}

int SetWaitVSyncFlag(int Flag)
{
    if (GraphicsLibraryInitialized()) return -1;
    GraphicsScreenSettings.NotWaitVSyncFlag = Flag ? 0 : 1;
    return 0;
}

int SetBlendGraph(int BlendGraph, int BorderParam, int BorderRange)
{
    return SetBlendGraphParam(BlendGraph, 1, BorderParam, BorderRange);
}

int SetBlendGraphParam(int BlendGraph, int BlendType, ...)
{
    if (BlendType < 0 || BlendType > 2) return -1;
    int param[2] = {0, 0};
    int count = BlendType == 0 ? 1 : BlendType == 1 ? 2 : 0;
    va_list args;
    va_start(args, BlendType);
    for (int i = 0; i < count; ++i) param[i] = va_arg(args, int);
    va_end(args);
    return SetBlendGraphParamBase(BlendGraph, BlendType, param);
}
