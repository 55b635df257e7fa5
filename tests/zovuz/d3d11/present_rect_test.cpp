// Where a present puts the library's screen in the window's back buffer.
#include <gtest/gtest.h>

#include "zovuz/d3d11/d3d11_internal.h"

namespace {

struct PresentCase
{
    const char *Name;
    D3D11PresentPlacement Placement;
    ImageRect Source, Dest;
    int Covers;  // nothing of the back buffer is left to the background
};

// A 640 x 480 screen in a window of the same size, unless a case says otherwise.
D3D11PresentPlacement Window(double RateX = 1.0, double RateY = 1.0)
{
    D3D11PresentPlacement p = {};
    p.ScreenWidth = 640;
    p.ScreenHeight = 480;
    p.BackBufferWidth = 1920;
    p.BackBufferHeight = 1080;
    p.WindowModeFlag = 1;
    p.ExtendRateX = RateX;
    p.ExtendRateY = RateY;
    return p;
}

D3D11PresentPlacement FullScreen(int Mode)
{
    D3D11PresentPlacement p = Window();
    p.WindowModeFlag = 0;
    p.FullScreenScalingMode = Mode;
    p.FullScreenScalingRect = ImageRect{240, 0, 1680, 1080};
    return p;
}

D3D11PresentPlacement With(D3D11PresentPlacement P, void (*Change)(D3D11PresentPlacement &))
{
    Change(P);
    return P;
}

TEST(PresentRects, TheScreenIsPlacedByTheScalingAndCutAtTheBackBuffer)
{
    const PresentCase cases[] = {
        {"full screen, exact mode", FullScreen(FULLSCREEN_SCALING_EXACT), {0, 0, 640, 480}, {0, 0, 640, 480}, 0},
        {"full screen, desktop mode",
         FullScreen(FULLSCREEN_SCALING_DESKTOP),
         {0, 0, 640, 480},
         {240, 0, 1680, 1080},
         0},
        {"full screen, scaled mode", FullScreen(FULLSCREEN_SCALING_SCALED), {0, 0, 640, 480}, {240, 0, 1680, 1080}, 0},
        {"window, unscaled", Window(), {0, 0, 640, 480}, {0, 0, 640, 480}, 0},
        {"window, rates truncated", Window(1.5, 1.251), {0, 0, 640, 480}, {0, 0, 960, 600}, 0},
        {"window, the back buffer filled exactly", Window(3.0, 2.25), {0, 0, 640, 480}, {0, 0, 1920, 1080}, 1},
        {"window, a rate truncated a column short of the back buffer",
         Window(2.9999, 2.25),
         {0, 0, 640, 480},
         {0, 0, 1919, 1080},
         0},
        {"window, filled but a column to the right",
         With(Window(3.0, 2.25), [](D3D11PresentPlacement &p) { p.DrawOffsetX = 1; }),
         {0, 0, 640, 480},
         {1, 0, 1920, 1080},
         0},
        {"window, a rate truncated a row short of the back buffer",
         Window(3.0, 2.2499),
         {0, 0, 640, 480},
         {0, 0, 1920, 1079},
         0},
        {"320 x 240 emulation",
         With(Window(2.0, 2.0), [](D3D11PresentPlacement &p) { p.Emulation320x240Flag = 1; }),
         {0, 0, 320, 240},
         {0, 0, 640, 480},
         0},
        {"maximised, centred",
         With(Window(1.5, 1.5), [](D3D11PresentPlacement &p) { p.DrawOffsetX = 480, p.DrawOffsetY = 180; }),
         {0, 0, 640, 480},
         {480, 180, 1440, 900},
         0},
        {"wider and taller than the back buffer",
         With(Window(2.0, 2.0),
              [](D3D11PresentPlacement &p) {
                  p.BackBufferWidth = 1000;
                  p.BackBufferHeight = 900;
              }),
         {0, 0, 500, 450},
         {0, 0, 1000, 900},
         1},
        {"cut by a third",
         With(Window(1.5, 1.0), [](D3D11PresentPlacement &p) { p.BackBufferWidth = 640; }),
         {0, 0, 427, 480},
         {0, 0, 640, 480},
         0},
    };
    for (const PresentCase &c : cases) {
        SCOPED_TRACE(c.Name);
        const D3D11PresentRects r = Graphics_D3D11_PresentRects(c.Placement);
        EXPECT_EQ(c.Source.left, r.Source.left);
        EXPECT_EQ(c.Source.top, r.Source.top);
        EXPECT_EQ(c.Source.right, r.Source.right);
        EXPECT_EQ(c.Source.bottom, r.Source.bottom);
        EXPECT_EQ(c.Dest.left, r.Dest.left);
        EXPECT_EQ(c.Dest.top, r.Dest.top);
        EXPECT_EQ(c.Dest.right, r.Dest.right);
        EXPECT_EQ(c.Dest.bottom, r.Dest.bottom);
        EXPECT_EQ(c.Covers, r.CoversFlag);
    }
}

}  // namespace
