// The string drawing entry points: the caller's text into the wide code, the texture or the
// software road, the mask and subtractive-blend brackets, and the temporary screen that blended
// or anti-aliased text is drawn through on the software renderer.
#include <stdarg.h>

#include "zovuz/core/zovuz_core.h"
#include "zovuz/graphics/display_internal.h"
#include "zovuz/graphics/draw_steps_internal.h"
#include "zovuz/graphics/software/soft_draw_internal.h"
#include "zovuz/graphics/zovuz_graphics.h"
#include "zovuz/graphics/font/string_internal.h"

namespace {

// Characters DrawFormatString formats at most (with the terminator).
constexpr int kFormatBufferNum = 2048;
// Strings shorter than this are converted into a buffer on the stack.
constexpr int kLocalWideNum = 505;
// The subtractive blend mode.
constexpr int kBlendSubtract = 3;

int WideLength(const wchar_t *String)
{
    int n = 0;
    while (String[n] != 0) ++n;
    return n;
}

DrawStringCoreParam CoreParam(int DrawFlag, int X, int Y, const wchar_t *String, unsigned int Color,
                              FontHandleData *Font, unsigned int EdgeColor, int VerticalFlag)
{
    DrawStringCoreParam p = {};
    p.DrawFlag = DrawFlag;
    p.X = X;
    p.Y = Y;
    p.XF = (float)X;
    p.YF = (float)Y;
    p.IntPositionFlag = 1;
    p.ScaleX = p.ScaleY = 1.0;
    p.String = String;
    p.Color = Color;
    p.TransFlag = 1;
    p.Font = Font;
    p.EdgeColor = EdgeColor;
    p.Length = String != nullptr ? WideLength(String) : 0;
    p.VerticalFlag = VerticalFlag;
    return p;
}

// Draws the string into the temporary screen at (0, 0) and that onto the draw target at (X, Y)
// with the blend mode: see-through where the screen keeps its fill (the key) or its alpha is 0.
int DrawThroughTemporaryScreen(int X, int Y, const wchar_t *String, unsigned int Color, FontHandleData *Font,
                               unsigned int EdgeColor, int VerticalFlag, int Width, int Height)
{
    SoftwareScreenData &screens = SoftwareScreen;
    const bool alpha = IsAntiAliasedType(Font->FontType);
    MEMIMG *temp = alpha ? &screens.AlphaScreen : &screens.AuxScreen;
    if (!CheckValidMemImg(temp)) return 0;
    if (Font->Metrics.Italic) Width += Font->Metrics.CellSide / 2;
    Width = Width < temp->Width ? Width : temp->Width;
    Height = Height < temp->Height ? Height : temp->Height;
    if (Width < 1 || Height < 1) return 0;

    uint32_t key = 0;
    if (!alpha) {
        const COLORDATA &c = *temp->Base->ColorData;
        const uint32_t bits = c.RedMask | c.GreenMask | c.BlueMask;
        key = StringDraw.TempScreenKey & bits;
        while (key == (Color & bits) || key == (EdgeColor & bits)) key = (key + 1) & bits;
        StringDraw.TempScreenKey = key;
    }
    const ImageRect rect = {0, 0, Width, Height};
    FillMemImg(temp, &rect, key);
    DrawStringCoreParam p = CoreParam(1, 0, 0, String, Color, Font, EdgeColor, VerticalFlag);
    p.DestImage = temp;
    p.ClipRect = &rect;
    DrawStringCore(&p);

    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    const int bright[3] = {d.DrawBrightRed, d.DrawBrightGreen, d.DrawBrightBlue};
    DrawAreaSave area;
    if (!NarrowDrawArea(ImageRect{X, Y, X + Width, Y + Height}, &area)) return 0;
    SetDrawBright(255, 255, 255);
    MEMIMG view = {};
    CreateMemImgView(&view, temp, 0, 0, Width, Height);
    SoftImageSource source = {&view, alpha ? 0 : 1, key, alpha ? 1 : 0};
    SoftDrawImage(GetSoftwareDrawTarget(), X, Y, X + Width, Y + Height, &source);
    TerminateMemImg(&view);
    RestoreDrawArea(&area);
    SetDrawBright(bright[0], bright[1], bright[2]);
    return 0;
}

}  // namespace

int DrawStringToHandleHardware(int X, int Y, float XF, float YF, int PassFlag, const wchar_t *String,
                               unsigned int Color, FontHandleData *Font, unsigned int EdgeColor, int VerticalFlag)
{
    if (!Font->TextureCacheFlag) return 0;
    if (Font->CacheGraphLostFlag == 1) CreateFontCacheGraph(Font, 0);
    DrawStringCoreParam p = CoreParam(1, X, Y, String, Color, Font, EdgeColor, VerticalFlag);
    p.XF = XF;
    p.YF = YF;
    p.IntPositionFlag = PassFlag;
    p.ClipRect = &GraphicsDrawSettings.DrawArea;
    DrawStringCore(&p);
    return 0;
}

int DrawStringToHandleSoftware(int X, int Y, const wchar_t *String, unsigned int Color, FontHandleData *Font,
                               unsigned int EdgeColor, int VerticalFlag)
{
    int size[2] = {0, 0};
    DrawStringCoreParam measure = CoreParam(0, X, Y, String, Color, Font, EdgeColor, VerticalFlag);
    measure.SizeOut = size;
    DrawStringCore(&measure);

    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    const bool opaque =
        d.BlendMode == DX_BLENDMODE_NOBLEND || (d.BlendMode == DX_BLENDMODE_ALPHA && d.BlendParam == 255);
    if (opaque && !IsAntiAliasedType(Font->FontType)) {
        DrawStringCoreParam p = CoreParam(1, X, Y, String, Color, Font, EdgeColor, VerticalFlag);
        p.DestImage = GetSoftwareDrawTarget();
        p.ClipRect = &d.DrawArea;
        DrawStringCore(&p);
        return 0;
    }
    return DrawThroughTemporaryScreen(X, Y, String, Color, Font, EdgeColor, VerticalFlag, size[0], size[1]);
}

int DrawStringToHandleW(int X, int Y, const wchar_t *String, unsigned int Color, int FontHandle, unsigned int EdgeColor,
                        int VerticalFlag)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    if (String == nullptr || String[0] == 0 || d.DrawAreaEmptyFlag) return 0;
    if (!IsLibraryEnding()) WaitWhileWindowInactive();
    FontHandleData *font = GetFontHandleData(FontHandle);
    if (font == nullptr) {
        AddLogStringWide(L"フォントハンドル値が異常です\n");
        return -1;
    }
    const bool texture = font->TextureCacheFlag != 0;
    if (GraphicsState.HardwareInUseFlag) MakeTransform2DCurrent();
    auto draw = [&]() {
        return texture ? DrawStringToHandleHardware(X, Y, (float)X, (float)Y, 1, String, Color, font, EdgeColor,
                                                    VerticalFlag)
                       : DrawStringToHandleSoftware(X, Y, String, Color, font, EdgeColor, VerticalFlag);
    };
    const bool subtract = d.BlendMode == kBlendSubtract && !GraphicsDeviceCaps.SubtractiveBlendFlag && texture;
    if (!subtract && !d.MaskValidFlag) return draw();

    // What the string can touch, for the mask and the subtraction's inverting boxes.
    const int o = font->Metrics.SizeAdjust, h = font->Metrics.Size + 3;
    ImageRect rect;
    if (!VerticalFlag) {
        rect = ImageRect{X, Y - o / 2, d.DrawArea.right, Y - o / 2 + h};
        Y = rect.top + o / 2;
    } else {
        rect = ImageRect{X + o / 2, Y, X + o / 2 + h, d.DrawArea.bottom};
    }
    if (rect.left >= d.DrawArea.right) return 0;
    return DrawThroughHooks(rect, texture ? 1 : 0, draw);
}

int DrawStringToHandle(int X, int Y, const char *String, unsigned int Color, int FontHandle, unsigned int EdgeColor,
                       int VerticalFlag)
{
    const int code = GetFontCharCodeFormat(FontHandle);
    if (code < 0) return -1;
    if (String == nullptr) return 0;
    const int length = GetCharCodeStringLength(code, String);
    if (length < 0) return -1;
    const int wide = GetWideCharCodeFormat();
    wchar_t local[kLocalWideNum + 1];
    wchar_t *buffer = local;
    size_t bytes = sizeof(local);
    if (length >= kLocalWideNum) {
        // Room for (length x 2 + 32) bytes, or what the conversion needs when that is more.
        size_t need = (size_t)ConvertCharCode(String, code, nullptr, 0, wide);
        bytes = (size_t)length * 2 + 32;
        bytes = need > bytes ? need : bytes;
        buffer = (wchar_t *)DXALLOC(bytes);
        if (buffer == nullptr) return -1;
    }
    int result = -1;
    if (ConvertCharCode(String, code, (char *)buffer, bytes, wide) > 0)
        result = DrawStringToHandleW(X, Y, buffer, Color, FontHandle, EdgeColor, VerticalFlag);
    if (buffer != local) DXFREE(buffer);
    return result;
}

int DrawFormatString(int X, int Y, unsigned int Color, const char *FormatString, ...)
{
    const int code = GetFontCharCodeFormat(DX_DEFAULT_FONT_HANDLE);
    if (code < 0) return -1;
    // Room for 2048 characters of any code's unit size.
    char buffer[kFormatBufferNum * 4];
    va_list args;
    va_start(args, FormatString);
    int written =
        CharCodeFormatString(code, 0, code, GetWideCharCodeFormat(), buffer, kFormatBufferNum, FormatString, args);
    va_end(args);
    if (written < 0) return -1;
    return DrawStringToHandle(X, Y, buffer, Color, DX_DEFAULT_FONT_HANDLE, 0, 0);
}
