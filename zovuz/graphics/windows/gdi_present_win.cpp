// Presentation of the software screen through GDI.
#include <windows.h>

#include <string.h>

#include "zovuz/graphics/display_internal.h"

namespace {

// A BITMAPINFOHEADER followed by the three colour masks of BI_BITFIELDS.
struct ScreenBitmapInfo
{
    BITMAPINFOHEADER Header;
    DWORD Masks[3];
};

// The screen image described to GDI: rows top-down, the width padded as the screen's rows are.
ScreenBitmapInfo DescribeScreen(const MEMIMG &Screen)
{
    const COLORDATA *c = Screen.Base->ColorData;
    ScreenBitmapInfo info;
    memset(&info, 0, sizeof(info));
    info.Header.biSize = sizeof(BITMAPINFOHEADER);
    int align = c->BitDepth == 16 ? 8 : 4;
    info.Header.biWidth = (Screen.Width + align - 1) / align * align;
    info.Header.biHeight = -Screen.Height;
    info.Header.biPlanes = 1;
    info.Header.biBitCount = c->BitDepth;
    info.Header.biCompression = BI_BITFIELDS;
    info.Masks[0] = c->RedMask;
    info.Masks[1] = c->GreenMask;
    info.Masks[2] = c->BlueMask;
    return info;
}

}  // namespace

int Graphics_Hardware_PresentFrame(void)
{
    if (GraphicsAPIType != GRAPHICS_API_SOFTWARE) return Graphics_Hardware_PresentFrameOnDevice();
    GraphicsScreenSettingsData &s = GraphicsScreenSettings;
    const MEMIMG &screen = SoftwareScreen.Screen;
    int screenWidth = s.MainScreenWidth != 0 ? s.MainScreenWidth : 640;
    int screenHeight = s.MainScreenHeight != 0 ? s.MainScreenHeight : 480;
    int windowMode = GetWindowModeFlag();
    int outWidth = screenWidth, outHeight = screenHeight, outX = 0, outY = 0;
    if (windowMode) {
        double rateX, rateY;
        GetWindowSizeExtendRate(&rateX, &rateY);
        outWidth = (int)(screenWidth * rateX);
        outHeight = (int)(screenHeight * rateY);
        GetWindowDrawOffset(&outX, &outY);
    }

    if (!CheckValidMemImg(&screen) || !CheckValidMemImg(&SoftwareScreen.AuxScreen)) return 0;
    if (!s.NotWaitVSyncFlag) DirectDraw7_WaitVSync();

    ScreenBitmapInfo info = DescribeScreen(screen);
    const BITMAPINFO *bitmap = (const BITMAPINFO *)&info;
    const void *bits = screen.UseImage;
    HWND window = (HWND)GetDisplayWindowHandle();
    if (window != nullptr && IsIconic(window)) return 0;  // a minimised window shows nothing
    HDC dc = window != nullptr ? GetDC(window) : nullptr;
    if (dc == nullptr) return 0;

    if (windowMode) {
        if (s.Emulation320x240Flag)
            StretchDIBits(dc, 0, 0, 640, 480, 0, 0, 320, 240, bits, bitmap, DIB_RGB_COLORS, SRCCOPY);
        else if (outWidth == screen.Width && outHeight == screen.Height)
            SetDIBitsToDevice(dc, outX, outY, screen.Width, screen.Height, 0, 0, 0, screen.Height, bits, bitmap,
                              DIB_RGB_COLORS);
        else
            StretchDIBits(dc, outX, outY, outWidth, outHeight, 0, 0, screen.Width, screen.Height, bits, bitmap,
                          DIB_RGB_COLORS, SRCCOPY);
    } else {
        if (s.BorderRepaintCount > 0) {
            s.BorderRepaintCount--;
            SetWindowPosition(0, 0);
            HGDIOBJ old = SelectObject(dc, GetStockObject(BLACK_BRUSH));
            Rectangle(dc, 0, 0, s.FullScreenMode.Width, s.FullScreenMode.Height);
            SelectObject(dc, old);
        }
        switch (s.FullScreenScalingModeInEffect) {
            case FULLSCREEN_SCALING_EXACT:
                SetDIBitsToDevice(dc, 0, 0, screen.Width, screen.Height, 0, 0, 0, screen.Height, bits, bitmap,
                                  DIB_RGB_COLORS);
                break;
            case FULLSCREEN_SCALING_DESKTOP:
            case FULLSCREEN_SCALING_SCALED: {
                SetupFullScreenScalingRect();
                const ImageRect &r = s.FullScreenScalingRect;
                StretchDIBits(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, 0, 0, screen.Width, screen.Height,
                              bits, bitmap, DIB_RGB_COLORS, SRCCOPY);
                break;
            }
            default:
                break;
        }
    }
    ReleaseDC(window, dc);
    return 0;
}
