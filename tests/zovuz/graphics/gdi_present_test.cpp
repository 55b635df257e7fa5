// The software present: a known screen pattern shown in the main window through GDI and read
// back from the window, at 1x, stretched, in 16 bits, in full screen with its black border, and
// the vertical-blank object it waits with.
#include <gtest/gtest.h>

#include <windows.h>

#include <string.h>

#include "tests/support/window_capture.h"
#include "tests/zovuz/graphics/graphics_start_fixture.h"
#include "zovuz/graphics/display_internal.h"

namespace {

// The pattern shown at screen pixel (x, y), as 0x00RRGGBB. The 16-bit screens use channels
// that are either off or full, so the comparison does not depend on how GDI widens 5 and 6 bits.
uint32_t Pattern(int X, int Y, bool Bits16)
{
    if (Bits16)
        return (X % 2 ? 0xFF0000u : 0) | (Y % 3 == 0 ? 0xFF00u : 0) | ((X + Y) % 5 == 0 ? 0xFFu : 0);
    return (uint32_t)((X * 37 + Y * 11) & 0xFF) << 16 | (uint32_t)((X ^ Y) & 0xFF) << 8 | ((Y * 5 + X) & 0xFF);
}

bool Shows(uint32_t Want, uint32_t Got, bool Bits16)
{
    if (!Bits16)
        return Want == Got;
    for (int shift = 0; shift < 24; shift += 8) {
        uint32_t w = (Want >> shift) & 0xFF, g = (Got >> shift) & 0xFF;
        if (w == 0 ? g != 0 : g < 0xF8)
            return false;
    }
    return true;
}

// Makes the two screens the present needs and writes the pattern into the first.
void MakeScreens(int Width, int Height, int ColorType)
{
    TerminateMemImg(&SoftwareScreen.Screen);
    TerminateMemImg(&SoftwareScreen.AuxScreen);
    ASSERT_EQ(0, InitializeMemImg(&SoftwareScreen.Screen, Width, Height, ColorType));
    ASSERT_EQ(0, InitializeMemImg(&SoftwareScreen.AuxScreen, Width, Height, ColorType));
    MEMIMG &s = SoftwareScreen.Screen;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            uint32_t c = Pattern(x, y, ColorType == MEMIMG_COLORTYPE_565);
            uint8_t *p = s.UseImage + (size_t)y * s.Base->Pitch;
            if (ColorType == MEMIMG_COLORTYPE_565) {
                uint16_t v = (uint16_t)(((c >> 8) & 0xF800) | ((c >> 5) & 0x07E0) | ((c >> 3) & 0x1F));
                memcpy(p + x * 2, &v, 2);
            } else {
                memcpy(p + x * 4, &c, 4);
            }
        }
    GraphicsScreenSettings.MainScreenWidth = Width;
    GraphicsScreenSettings.MainScreenHeight = Height;
}


void PumpMessages()
{
    for (int i = 0; i < 5; ++i) {
        ProcessMessage();
        Sleep(10);
    }
}

HWND Window()
{
    return (HWND)GetMainWindowHandle();
}

// Counts the pixels of a capture rectangle (in screen pixels, each shown ScaleX x ScaleY at
// Left, Top) that do not show the pattern.
int Mismatches(const WindowCapture &c, int Left, int Top, int Width, int Height, int ScaleX,
               int ScaleY, bool Bits16)
{
    int bad = 0;
    for (int y = 0; y < Height * ScaleY; ++y)
        for (int x = 0; x < Width * ScaleX; ++x)
            bad += !Shows(Pattern(x / ScaleX, y / ScaleY, Bits16), c.At(Left + x, Top + y), Bits16);
    return bad;
}

class GdiPresent : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ChangeWindowMode(1);
        SetAlwaysRunFlag(1);
        SetMainWindowText("gdi present");
        ASSERT_EQ(0, CreateMainWindow());
        PumpMessages();
    }
    static void TearDownTestSuite()
    {
        TerminateMemImg(&SoftwareScreen.Screen);
        TerminateMemImg(&SoftwareScreen.AuxScreen);
        EndTestMainWindow();
        CoUninitialize();
    }
    void SetUp() override
    {
        GraphicsScreenSettings = {};
        GraphicsScreenSettings.NotWaitVSyncFlag = 1;
    }
};

TEST_F(GdiPresent, WindowModeShowsTheScreenExactlyOrStretched)
{
    struct Case { const char *Name; int Width, Height, ColorType, RateX, RateY, Emulation, ScaleX, ScaleY; } cases[] = {
        {"1x", 640, 480, MEMIMG_COLORTYPE_XRGB8, 1, 1, 0, 1, 1},
        {"2x", 640, 480, MEMIMG_COLORTYPE_XRGB8, 2, 2, 0, 2, 2},
        {"2x wide", 640, 480, MEMIMG_COLORTYPE_XRGB8, 2, 1, 0, 2, 1},
        {"320 x 240 emulation", 320, 240, MEMIMG_COLORTYPE_XRGB8, 1, 1, 1, 2, 2},
        {"16 bits, rows padded to 8 pixels", 100, 50, MEMIMG_COLORTYPE_565, 1, 1, 0, 1, 1},
        {"16 bits stretched", 100, 50, MEMIMG_COLORTYPE_565, 2, 2, 0, 2, 2},
    };
    for (const Case &c : cases) {
        SetWindowSizeExtendRate(c.RateX, c.RateY);
        PumpMessages();
        int clientWidth = 0, clientHeight = 0;
        GetWindowClientSize(&clientWidth, &clientHeight);
        ASSERT_GE(clientWidth, c.Width * c.ScaleX) << c.Name;
        MakeScreens(c.Width, c.Height, c.ColorType);
        GraphicsScreenSettings.Emulation320x240Flag = c.Emulation;
        PaintWindow(Window(), 0, 0, clientWidth, clientHeight, 0xFFFFFF);
        ASSERT_EQ(0, Graphics_Hardware_PresentFrame()) << c.Name;
        WindowCapture shot = CaptureWindow(Window(), 0, 0, clientWidth, clientHeight);
        ASSERT_FALSE(shot.Empty());
        bool bits16 = c.ColorType == MEMIMG_COLORTYPE_565;
        EXPECT_EQ(0, Mismatches(shot, 0, 0, c.Width, c.Height, c.ScaleX, c.ScaleY, bits16)) << c.Name;
        int right = c.Width * c.ScaleX, bottom = c.Height * c.ScaleY;
        if (right < clientWidth) {
            EXPECT_EQ(0xFFFFFFu, shot.At(right, 0)) << c.Name;
        }
        if (bottom < clientHeight) {
            EXPECT_EQ(0xFFFFFFu, shot.At(0, bottom)) << c.Name;
        }
    }
    SetWindowSizeExtendRate(1, 1);
    PumpMessages();
}

TEST_F(GdiPresent, NothingIsShownWithoutBothScreens)
{
    MakeScreens(64, 64, MEMIMG_COLORTYPE_XRGB8);
    TerminateMemImg(&SoftwareScreen.AuxScreen);
    PaintWindow(Window(), 0, 0, 64, 64, 0x123456);
    EXPECT_EQ(0, Graphics_Hardware_PresentFrame());
    WindowCapture shot = CaptureWindow(Window(), 0, 0, 64, 64);
    ASSERT_FALSE(shot.Empty());
    EXPECT_EQ(0x123456u, shot.At(10, 10));
    EXPECT_EQ(0x123456u, shot.At(63, 63));
}

TEST_F(GdiPresent, FullScreenPaintsTheBorderTenTimesThenShowsTheScreenByScalingMode)
{
    ChangeWindowMode(0);
    PumpMessages();
    GraphicsScreenSettingsData &s = GraphicsScreenSettings;
    s.FullScreenMode = {640, 480, 32, 60};
    s.FullScreenScalingModeInEffect = FULLSCREEN_SCALING_EXACT;
    s.BorderRepaintCount = 10;
    MakeScreens(320, 240, MEMIMG_COLORTYPE_XRGB8);
    for (int present = 0; present < 11; ++present) {
        PaintWindow(Window(), 0, 0, 640, 480, 0xFFFFFF);
        ASSERT_EQ(0, Graphics_Hardware_PresentFrame());
        WindowCapture shot = CaptureWindow(Window(), 0, 0, 640, 480);
        ASSERT_FALSE(shot.Empty());
        EXPECT_EQ(0, Mismatches(shot, 0, 0, 320, 240, 1, 1, false)) << present;
        uint32_t border = present < 10 ? 0 : 0xFFFFFF;
        EXPECT_EQ(border, shot.At(320, 0)) << present;
        EXPECT_EQ(border, shot.At(639, 479)) << present;
    }
    EXPECT_EQ(0, s.BorderRepaintCount);

    // Stretched into the letter box: a 2:1 screen shown 640 x 320 in the middle of 640 x 480.
    ASSERT_EQ(0, SetupDisplayInfoIfNeeded());
    s.FullScreenScalingModeInEffect = FULLSCREEN_SCALING_SCALED;
    MakeScreens(320, 160, MEMIMG_COLORTYPE_XRGB8);
    PaintWindow(Window(), 0, 0, 640, 480, 0xFFFFFF);
    ASSERT_EQ(0, Graphics_Hardware_PresentFrame());
    WindowCapture shot = CaptureWindow(Window(), 0, 0, 640, 480);
    ASSERT_FALSE(shot.Empty());
    EXPECT_EQ(0, Mismatches(shot, 0, 80, 320, 160, 2, 2, false));
    EXPECT_EQ(0xFFFFFFu, shot.At(0, 79));
    EXPECT_EQ(0xFFFFFFu, shot.At(639, 400));

    // Any other scaling mode shows nothing.
    s.FullScreenScalingModeInEffect = 3;
    PaintWindow(Window(), 0, 0, 640, 480, 0xFFFFFF);
    ASSERT_EQ(0, Graphics_Hardware_PresentFrame());
    EXPECT_EQ(0xFFFFFFu, CaptureWindow(Window(), 0, 0, 640, 480).At(100, 100));

    TerminateDisplayInfo();
    ChangeWindowMode(1);
    PumpMessages();
}

TEST_F(GdiPresent, PresentsWaitThroughTheDirectDrawObject)
{
    ASSERT_EQ(0, DirectDraw7_Create());
    EXPECT_NE(nullptr, DirectDraw7_GetObject());
    // Wine answers every wait at once: the measurement and the waits must still end.
    EXPECT_EQ(0, DirectDraw7_MeasureVSyncPeriod());
    GraphicsScreenSettings.NotWaitVSyncFlag = 0;
    MakeScreens(64, 64, MEMIMG_COLORTYPE_XRGB8);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(0, Graphics_Hardware_PresentFrame());
    WindowCapture shot = CaptureWindow(Window(), 0, 0, 64, 64);
    EXPECT_EQ(0, Mismatches(shot, 0, 0, 64, 64, 1, 1, false));
    EXPECT_EQ(0, DirectDraw7_Release());
    EXPECT_EQ(nullptr, DirectDraw7_GetObject());
}

}  // namespace
