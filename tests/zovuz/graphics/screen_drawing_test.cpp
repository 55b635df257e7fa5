// Drawing made visible: the pixel cases drawn on the back screen and shown by ScreenFlip in the
// main window, the application's frame (a draw-screen graph stretched twice onto the back screen)
// as the window shows it, and the flip's pace.
#include "tests/support/window_capture.h"
#include "tests/zovuz/graphics/graphics_start_fixture.h"
#include "tests/zovuz/graphics/primitive_cases.h"

#include <windows.h>

#include "zovuz/core/desktop/windows/window_state_win.h"
#include "zovuz/graphics/display_internal.h"

namespace {

HWND Window() { return (HWND)GetMainWindowHandle(); }

class ScreenDrawing : public testing::Test
{
protected:
    static constexpr int kWidth = 160, kHeight = 120;

    static void SetUpTestSuite()
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ChangeWindowMode(1);
        SetAlwaysRunFlag(1);
        SetMainWindowText("screen drawing");
        ASSERT_EQ(0, CreateMainWindow());
        ASSERT_EQ(0, StartSoftwareGraphics(kWidth, kHeight, 32));
        SetLibraryStarted(1);  // ScreenFlip presents only once the library runs
        for (int i = 0; i < 5; ++i)
            ProcessMessage();
    }
    static void TearDownTestSuite()
    {
        SetLibraryStarted(0);
        TerminateGraphics();
        EndTestMainWindow();
        CoUninitialize();
    }
    void SetUp() override { ASSERT_EQ(0, SetDrawScreen(DX_SCREEN_BACK)); }
};

std::vector<uint32_t> ReadCaseRegionFromWindow(void)
{
    if (ScreenFlip() < 0)
        return {};
    return CaptureWindow(Window(), 0, 0, kCaseWidth, kCaseHeight).Pixels;
}

TEST_F(ScreenDrawing, TheWindowShowsEveryPixelCase)
{
    RunPrimitiveCases(ReadCaseRegionFromWindow);
}

TEST_F(ScreenDrawing, TheDrawScreenGraphStretchedTwiceShowsInTwoByTwoBlocks)
{
    SetDrawValidGraphCreateFlag(1);
    int screen = MakeGraph(kWidth / 2, kHeight / 2, 0);
    SetDrawValidGraphCreateFlag(0);
    ASSERT_GE(screen, 0);
    ASSERT_EQ(0, SetDrawScreen(screen));
    SetBackgroundColor(24, 24, 24);
    ClearDrawScreen(nullptr);
    DrawBox(3, 4, 30, 20, GetColorValue(200, 40, 10), 1);
    DrawLineBox(20, 10, 70, 50, GetColorValue(10, 220, 90));
    DrawLine(0, 59, 79, 0, GetColorValue(255, 255, 255));
    std::vector<uint32_t> drawn = ColorBits(ReadPixels(screen, 0, 0, kWidth / 2, kHeight / 2));
    ASSERT_EQ((size_t)kWidth * kHeight / 4, drawn.size());

    ASSERT_EQ(0, SetDrawScreen(DX_SCREEN_BACK));
    ASSERT_EQ(0, DrawExtendGraph(0, 0, kWidth, kHeight, screen, 0));
    ASSERT_EQ(0, ScreenFlip());
    WindowCapture shot = CaptureWindow(Window(), 0, 0, kWidth, kHeight);
    ASSERT_FALSE(shot.Empty());
    int wrong = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            wrong += shot.At(x, y) != drawn[(size_t)(y / 2) * (kWidth / 2) + x / 2];
    EXPECT_EQ(0, wrong);
    EXPECT_EQ(0x181818u, shot.At(kWidth - 1, kHeight - 1));  // the background, kept by the stretch
    DeleteGraph(screen);
}

TEST_F(ScreenDrawing, DrawingWaitsForTheInactiveWindowToBeActiveAgain)
{
    // Not running while inactive: the box is drawn only after the pump has taken the activation.
    SetAlwaysRunFlag(0);
    MainWindowState.WindowActiveFlag = 0;
    PostMessageW(Window(), WM_ACTIVATEAPP, TRUE, 0);
    ClearDrawScreen(nullptr);
    EXPECT_EQ(0, DrawBox(0, 0, 4, 4, GetColorValue(255, 0, 0), 1));
    EXPECT_EQ(1, MainWindowState.WindowActiveFlag);
    SetAlwaysRunFlag(1);
    EXPECT_EQ(GetColorValue(255, 0, 0), GetPixel(3, 3));
}

// Wine's wait for the vertical blank returns at once: the flip keeps to the display's 60 Hz by the
// clock instead.
TEST_F(ScreenDrawing, WithoutAWaitOfThePlatformTheFlipWaitsOutTheDisplaysPeriod)
{
    static int64_t now = 1000000;
    static std::vector<int> sleeps;
    PresentPacing.Clock = [] { return now; };
    PresentPacing.Sleep = [](int MilliSeconds) {
        sleeps.push_back(MilliSeconds);
        now += MilliSeconds * 1000;
    };
    GraphicsScreenSettings.NotWaitVSyncFlag = 0;
    EXPECT_EQ(0, ScreenFlip());
    now += 5000;
    EXPECT_EQ(0, ScreenFlip());
    GraphicsScreenSettings.NotWaitVSyncFlag = 1;
    PresentPacing.Clock = nullptr;
    PresentPacing.Sleep = nullptr;
    EXPECT_EQ(std::vector<int>{12}, sleeps);  // the rest of 16.7 ms, to the next millisecond
}

}  // namespace

TEST_F(ScreenDrawing, FormattedTextShowsInTheWindowAfterTheFlip)
{
    ClearDrawScreen(nullptr);
    ASSERT_EQ(0, DrawFormatString(2, 2, GetColorValue(255, 255, 255), "%d", 42));
    ASSERT_EQ(0, ScreenFlip());
    std::vector<uint32_t> pixels = CaptureWindow(Window(), 0, 0, kCaseWidth, kCaseHeight).Pixels;
    ASSERT_EQ((size_t)kCaseWidth * kCaseHeight, pixels.size());
    int ink = 0, outside = 0;
    const int height = GetFontSizeToHandle(DX_DEFAULT_FONT_HANDLE) + 8;
    for (int y = 0; y < kCaseHeight; ++y)
        for (int x = 0; x < kCaseWidth; ++x)
            if ((pixels[(size_t)y * kCaseWidth + x] & 0xFFFFFF) == 0xFFFFFF) {
                ++ink;
                outside += x < 2 || y < 2 || y >= 2 + height;
            }
    EXPECT_GT(ink, 10);
    EXPECT_EQ(0, outside);
}
