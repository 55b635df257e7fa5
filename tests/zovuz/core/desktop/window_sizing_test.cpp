// The main window's resize limits: free size within the set minimum and maximum, and scaling,
// where the dragged edge decides the rate and the other side keeps the draw screen's shape.
#include "zovuz/core/desktop/window_sizing_internal.h"

#include <gtest/gtest.h>

namespace {

constexpr int kFrameWidth = 10, kFrameHeight = 30;

// The window rectangle of a client size, dragged at Edge: the dragged sides move, the opposite
// sides stay at left 100, top 100, right 1000, bottom 800.
SizingRect RectFor(int Edge, int Width, int Height)
{
    bool left = Edge == SIZING_LEFT || Edge == SIZING_TOPLEFT || Edge == SIZING_BOTTOMLEFT;
    bool top = Edge == SIZING_TOP || Edge == SIZING_TOPLEFT || Edge == SIZING_TOPRIGHT;
    SizingRect rect;
    rect.Left = left ? 1000 - Width - kFrameWidth : 100;
    rect.Right = left ? 1000 : 100 + Width + kFrameWidth;
    rect.Top = top ? 800 - Height - kFrameHeight : 100;
    rect.Bottom = top ? 800 : 100 + Height + kFrameHeight;
    return rect;
}

void ExpectRect(const SizingRect &Expected, const SizingRect &Rect)
{
    EXPECT_EQ(Expected.Left, Rect.Left);
    EXPECT_EQ(Expected.Top, Rect.Top);
    EXPECT_EQ(Expected.Right, Rect.Right);
    EXPECT_EQ(Expected.Bottom, Rect.Bottom);
}

WindowSizingLimits Limits(int Scaling, int DrawWidth, int DrawHeight, int MinWidth, int MinHeight, int MaxWidth,
                          int MaxHeight)
{
    WindowSizingLimits limits = {};
    limits.ScalingFlag = Scaling;
    limits.DrawWidth = DrawWidth;
    limits.DrawHeight = DrawHeight;
    limits.ExtendRateX = limits.ExtendRateY = 1.0;
    limits.MinSizeSetFlag = MinWidth > 0;
    limits.MinWidth = MinWidth;
    limits.MinHeight = MinHeight;
    limits.MaxSizeSetFlag = MaxWidth > 0;
    limits.MaxWidth = MaxWidth;
    limits.MaxHeight = MaxHeight;
    limits.DisplayWidth = 1920;
    limits.DisplayHeight = 1080;
    limits.FrameWidth = kFrameWidth;
    limits.FrameHeight = kFrameHeight;
    return limits;
}

TEST(WindowSizing, FreeSizeStaysWithinTheLimits)
{
    // The application: free size, 640 x 600 .. 1920 x 1080, a 1920 x 1080 draw screen.
    const WindowSizingLimits app = Limits(0, 1920, 1080, 640, 600, 1920, 1080);
    // Without set limits: at most the draw screen, at least 16 x 16.
    const WindowSizingLimits bare = Limits(0, 640, 480, 0, 0, 0, 0);
    // A minimum above what the draw screen allows wins.
    const WindowSizingLimits crossed = Limits(0, 640, 480, 640, 600, 0, 0);
    // Limits beyond the 1920 x 1080 display: the display holds the size.
    const WindowSizingLimits wide = Limits(0, 2560, 1440, 640, 600, 2560, 1440);
    struct Case {
        const WindowSizingLimits *Limits;
        int Edge, Width, Height, ExpectedWidth, ExpectedHeight;
    } cases[] = {
        {&app, SIZING_BOTTOMRIGHT, 500, 500, 640, 600},
        {&app, SIZING_BOTTOMRIGHT, 2500, 1400, 1920, 1080},  // the display holds no more either
        {&app, SIZING_TOPLEFT, 500, 500, 640, 600},
        {&app, SIZING_BOTTOMLEFT, 2000, 300, 1920, 600},
        {&app, SIZING_TOPRIGHT, 800, 700, 800, 700},        // within the limits: unchanged
        {&bare, SIZING_BOTTOMRIGHT, 10, 5, 16, 16},
        {&bare, SIZING_BOTTOMRIGHT, 700, 500, 640, 480},
        {&crossed, SIZING_BOTTOMRIGHT, 700, 700, 640, 600},
        {&wide, SIZING_BOTTOMRIGHT, 2500, 1400, 1920, 1080},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "edge " << c.Edge << ", " << c.Width << " x " << c.Height);
        SizingRect rect = RectFor(c.Edge, c.Width, c.Height);
        double rate = -1.0;
        ConstrainSizingRect(*c.Limits, c.Edge, &rect, &rate);
        ExpectRect(RectFor(c.Edge, c.ExpectedWidth, c.ExpectedHeight), rect);
        EXPECT_EQ(-1.0, rate);  // free size never changes the extend rate
    }
}

TEST(WindowSizing, ScalingKeepsTheDrawScreensShape)
{
    const WindowSizingLimits free = Limits(1, 640, 480, 0, 0, 0, 0);
    const WindowSizingLimits bounded = Limits(1, 640, 480, 640, 600, 1920, 1080);
    struct Case {
        const WindowSizingLimits *Limits;
        int Edge, Width, Height, ExpectedWidth, ExpectedHeight;
        double ExpectedRate;
    } cases[] = {
        {&free, SIZING_RIGHT, 1280, 300, 1280, 960, 2.0},         // a side edge: the width decides
        {&free, SIZING_LEFT, 1280, 300, 1280, 960, 2.0},
        {&free, SIZING_BOTTOM, 100, 720, 960, 720, 1.5},          // top or bottom: the height decides
        {&free, SIZING_TOP, 100, 720, 960, 720, 1.5},
        {&free, SIZING_TOPRIGHT, 100, 720, 960, 720, 1.5},
        {&free, SIZING_BOTTOMRIGHT, 1280, 600, 1280, 960, 2.0},   // a corner: the larger rate decides
        {&free, SIZING_TOPLEFT, 700, 960, 1280, 960, 2.0},
        {&free, SIZING_BOTTOMLEFT, 321, 100, 321, 240, 321.0 / 640},
        {&free, SIZING_RIGHT, 8, 300, 21, 16, 16.0 / 480},        // below 16: the short side becomes 16
        {&bounded, SIZING_RIGHT, 1920, 300, 1440, 1080, 2.25},    // the follower held at the maximum decides
        {&bounded, SIZING_RIGHT, 700, 300, 800, 600, 1.25},       // ... or at the minimum
        {&bounded, SIZING_BOTTOM, 300, 300, 800, 600, 1.25},      // raised to the minimum first
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "edge " << c.Edge << ", " << c.Width << " x " << c.Height);
        SizingRect rect = RectFor(c.Edge, c.Width, c.Height);
        double rate = -1.0;
        ConstrainSizingRect(*c.Limits, c.Edge, &rect, &rate);
        ExpectRect(RectFor(c.Edge, c.ExpectedWidth, c.ExpectedHeight), rect);
        EXPECT_DOUBLE_EQ(c.ExpectedRate, rate);
    }
}

}  // namespace
