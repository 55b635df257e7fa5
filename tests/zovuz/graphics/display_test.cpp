// Displays: queries and the choice of the display and of the full-screen mode on a display table
// put in by the test, the letter box, the vertical-blank arithmetic, presents paced on a clock of
// the test's, and the system's own table and display-mode change under Wine (one monitor, one
// mode).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/test_files.h"
#include "zovuz/graphics/display_internal.h"

namespace {

// Two displays: a large one with many modes and a small second one.
struct InjectedDisplays
{
    std::vector<DISPLAYMODEDATA> Modes0 = {
        {640, 480, 32, 60},   {1280, 960, 32, 60},  {800, 600, 16, 60},  {1600, 1200, 16, 75},
        {1920, 1080, 32, 60}, {2560, 1920, 32, 60}, {1280, 960, 16, 75}, {400, 320, 16, 60},
    };
    std::vector<DISPLAYMODEDATA> Modes1 = {{1024, 768, 32, 60}};
    GraphicsDisplayInfo Info[2] = {};

    explicit InjectedDisplays(std::vector<DISPLAYMODEDATA> Modes = {})
    {
        if (!Modes.empty()) Modes0 = Modes;
        Info[0] = {{0, 0, 1920, 1080}, 1920,         1080, 1920, 1080, 32, 60, L"\\\\.\\DISPLAY1",
                   (int)Modes0.size(), Modes0.data()};
        Info[1] = {{1920, 0, 2944, 768}, 1024, 768, 1024, 768, 32, 60, L"\\\\.\\DISPLAY2", 1, Modes1.data()};
        SetDisplayInfoForTest(Info, 2);
        GraphicsScreenSettings = {};
    }
    ~InjectedDisplays()
    {
        SetDisplayInfoForTest(nullptr, 0);
        GraphicsScreenSettings = {};
    }
};

void SetScreen(int Width, int Height, int Depth, int Refresh, int Scaling)
{
    GraphicsScreenSettingsData &s = GraphicsScreenSettings;
    s.MainScreenWidth = Width;
    s.MainScreenHeight = Height;
    s.MainScreenColorBitDepth = Depth;
    s.MainScreenRefreshRate = Refresh;
    s.FullScreenScalingMode = Scaling;
}

bool SameMode(const DISPLAYMODEDATA &a, const DISPLAYMODEDATA &b)
{
    return a.Width == b.Width && a.Height == b.Height && a.ColorBitDepth == b.ColorBitDepth &&
           a.RefreshRate == b.RefreshRate;
}

TEST(Displays, ModeQueriesRefuseIndicesOutsideTheTable)
{
    InjectedDisplays displays;
    EXPECT_EQ(-1, GetDisplayModeNum(-1));
    EXPECT_EQ(-1, GetDisplayModeNum(2));
    EXPECT_EQ(8, GetDisplayModeNum(0));
    EXPECT_EQ(1, GetDisplayModeNum(1));
    DISPLAYMODEDATA out = {1, 2, 3, 4};
    EXPECT_TRUE(SameMode({-1, -1, -1, -1}, GetDisplayMode(&out, 8, 0)));
    EXPECT_TRUE(SameMode({-1, -1, -1, -1}, out));
    EXPECT_TRUE(SameMode({-1, -1, -1, -1}, GetDisplayMode(nullptr, 0, 2)));
    EXPECT_TRUE(SameMode({1600, 1200, 16, 75}, GetDisplayMode(&out, 3, 0)));
    EXPECT_TRUE(SameMode({1024, 768, 32, 60}, GetDisplayMode(nullptr, 0, 1)));
}

TEST(Displays, UseDisplayIndexChoosesTheRecord)
{
    InjectedDisplays displays;
    DisplayRecordInfo record;
    ASSERT_EQ(0, GetUseDisplayRecord(&record));
    EXPECT_EQ(1920, record.Right);
    EXPECT_EQ(-1, SetUseDisplayIndex(2));
    EXPECT_EQ(-1, SetUseDisplayIndex(-1));
    EXPECT_EQ(0, GraphicsScreenSettings.DisplayChosenFlag);
    EXPECT_EQ(0, SetUseDisplayIndex(1));
    ASSERT_EQ(0, GetUseDisplayRecord(&record));
    EXPECT_EQ(1920, record.Left);
    EXPECT_EQ(1024, record.DesktopWidth);
    // Full screen uses the chosen display's modes.
    SetScreen(512, 384, 32, 60, FULLSCREEN_SCALING_EXACT);
    ASSERT_EQ(0, SelectFullScreenDisplayMode());
    EXPECT_TRUE(SameMode({1024, 768, 32, 60}, GraphicsScreenSettings.FullScreenMode));
}

TEST(Displays, FullScreenModeChoice)
{
    struct Case
    {
        const char *Name;
        int Scaling, Width, Height, Depth, Refresh;
        DISPLAYMODEDATA Want;
        int InEffect;
    } cases[] = {
        {"exact size", 1, 640, 480, 32, 60, {640, 480, 32, 60}, 1},
        {"smallest whole multiple", 1, 320, 240, 32, 60, {640, 480, 32, 60}, 2},
        {"refresh refused, same depth", 1, 640, 480, 32, 75, {640, 480, 32, 60}, 2},
        {"refresh 0 matches any", 1, 640, 480, 32, 0, {640, 480, 32, 60}, 1},
        {"16-bit multiple", 1, 400, 300, 16, 0, {800, 600, 16, 60}, 2},
        {"other depth", 1, 400, 300, 32, 60, {800, 600, 16, 60}, 2},
        {"no multiple: desktop", 1, 1000, 700, 32, 60, {1920, 1080, 32, 60}, 0},
        {"defaults 640 x 480 x 16", 1, 0, 0, 0, 0, {1280, 960, 16, 75}, 2},
        {"desktop", 0, 1920, 1080, 32, 60, {1920, 1080, 32, 60}, 0},
        {"desktop too small", 0, 2000, 1000, 32, 60, {2560, 1920, 32, 60}, 2},
        {"scaled: largest of the depth", 2, 640, 480, 16, 60, {1600, 1200, 16, 75}, 2},
    };
    for (const Case &c : cases) {
        InjectedDisplays displays;
        SetScreen(c.Width, c.Height, c.Depth, c.Refresh, c.Scaling);
        ASSERT_EQ(0, SelectFullScreenDisplayMode()) << c.Name;
        const DISPLAYMODEDATA &m = GraphicsScreenSettings.FullScreenMode;
        EXPECT_TRUE(SameMode(c.Want, m)) << c.Name << ": " << m.Width << "x" << m.Height << "x" << m.ColorBitDepth
                                         << " " << m.RefreshRate;
        EXPECT_EQ(c.InEffect, GraphicsScreenSettings.FullScreenScalingModeInEffect) << c.Name;
    }
}

TEST(Displays, LetterBoxKeepsTheScreensAspect)
{
    struct Case
    {
        int W, H, DisplayW, DisplayH;
        ImageRect Want;
    } cases[] = {
        {640, 480, 1920, 1080, {240, 0, 1680, 1080}},
        {1920, 1080, 1920, 1080, {0, 0, 1920, 1080}},
        {960, 540, 1280, 1024, {0, 152, 1280, 872}},
        {300, 200, 1001, 400, {200, 0, 800, 400}},
        {333, 100, 1000, 1000, {0, 350, 1000, 650}},
        {300, 200, 400, 267, {0, 0, 400, 266}},  // 400.5 wide: the height is fitted
    };
    for (const Case &c : cases) {
        InjectedDisplays displays;
        SetScreen(c.W, c.H, 32, 60, FULLSCREEN_SCALING_SCALED);
        GraphicsScreenSettings.FullScreenMode = {c.DisplayW, c.DisplayH, 32, 60};
        ASSERT_EQ(0, SetupFullScreenScalingRect());
        const ImageRect &r = GraphicsScreenSettings.FullScreenScalingRect;
        EXPECT_EQ(c.Want.left, r.left) << c.W << "x" << c.H;
        EXPECT_EQ(c.Want.top, r.top) << c.W << "x" << c.H;
        EXPECT_EQ(c.Want.right, r.right) << c.W << "x" << c.H;
        EXPECT_EQ(c.Want.bottom, r.bottom) << c.W << "x" << c.H;
    }
}

TEST(Displays, VerticalBlankArithmetic)
{
    std::vector<int64_t> steady(12, 16667), jumpy;
    steady[0] = 900;  // the first interval is compared with nothing and starts over
    for (int i = 0; i < 60; ++i) jumpy.push_back(i % 2 ? 16000 : 17000);
    std::vector<int64_t> settling = {30000, 16600, 16700, 16650, 5000,  16600, 16700, 16650, 16680,
                                     16620, 16700, 16690, 16600, 16640, 16660, 16650, 99999};
    std::vector<int64_t> fast(10, 500);
    EXPECT_EQ(16667, VSyncPeriodFromIntervals(steady.data(), (int)steady.size()));
    EXPECT_EQ(-1, VSyncPeriodFromIntervals(steady.data(), 10));
    EXPECT_EQ(-1, VSyncPeriodFromIntervals(jumpy.data(), (int)jumpy.size()));
    EXPECT_EQ(-1, VSyncPeriodFromIntervals(fast.data(), 10));
    EXPECT_EQ(16659, VSyncPeriodFromIntervals(settling.data(), (int)settling.size()));
    EXPECT_EQ(4000, VSyncWaitThreshold(-1));
    EXPECT_EQ(13667, VSyncWaitThreshold(16667));
    EXPECT_EQ(-3000, VSyncWaitThreshold(0));  // an unpaced display: never a division, no sleep
}

// The pacing's clock, moved by the test; each of the pacing's sleeps moves it on by its length
// and by FakeSleepLate more.
int64_t FakeNow = 0, FakeSleepLate = 0;

struct FakePacingClock
{
    explicit FakePacingClock(int64_t SleepLate = 0)
    {
        FakeNow = 1000000;
        FakeSleepLate = SleepLate;
        PresentPacing.Clock = [] { return FakeNow; };
        PresentPacing.Sleep = [](int MilliSeconds) { FakeNow += MilliSeconds * 1000 + FakeSleepLate; };
    }
    ~FakePacingClock()
    {
        PresentPacing.Clock = nullptr;
        PresentPacing.Sleep = nullptr;
        SetPlatformVSyncWaitFlag(1);
    }
};

// A device that takes `Takes` microseconds for a frame from each present, and lets the next present
// wait until it has drawn it (the clock moving on meanwhile); the present itself takes `Costs`.
struct QueuingDevice
{
    int64_t Takes, Costs, ReadyAt, Waited;
    static int Present(void *Context)
    {
        QueuingDevice &d = *static_cast<QueuingDevice *>(Context);
        d.Waited += std::max<int64_t>(0, d.ReadyAt - FakeNow);
        FakeNow = std::max(FakeNow, d.ReadyAt);
        d.ReadyAt = FakeNow + d.Takes;
        FakeNow += d.Costs;
        return 0;
    }
};

// Thirty frames of the program's own drawing, each paced and then presented, to a device where
// the case has one. Presents are paced only while vertical-sync waiting is on and the platform
// gives no wait; a paced present to a device still drawing sleeps through most of its wait. The
// figures are those of frames 21-30, once the pacing has measured the device.
TEST(Displays, PresentsArePacedToTheDisplayAndToABusyDevice)
{
    struct Case
    {
        const char *Name;
        int WaitVSync = 1, PlatformWaits = 0, RefreshRate = 60;
        int64_t Work = 3000;   // microseconds a frame takes before its present
        int LongAt = 0;        // this frame takes 150 ms instead (0: none)
        int64_t SleepLate = 0;
        int64_t DeviceTakes = 0, DeviceTakesFrom5 = 0, PresentCosts = 0;  // 0: no device; the same
        int64_t Fewest = 0, Most = 0;  // microseconds allowed between two presents
        int64_t MostWaited = 0;        // and in the device, the ten presents together
        bool Unpresented = false;      // the frames show nothing new and present nothing
    };
    const Case cases[] = {
        {.Name = "paced to 60 Hz", .Fewest = 15667, .Most = 17667},
        {.Name = "at the display's own rate", .RefreshRate = 50, .Fewest = 19000, .Most = 21000},
        {.Name = "vertical-sync waiting off", .WaitVSync = 0, .Fewest = 3000, .Most = 3000},
        {.Name = "the platform waits itself", .PlatformWaits = 1, .Fewest = 3000, .Most = 3000},
        {.Name = "nothing presented where the platform waits", .PlatformWaits = 1, .Fewest = 15667, .Most = 17667,
         .Unpresented = true},
        {.Name = "nothing presented, vertical-sync waiting off", .WaitVSync = 0, .Fewest = 3000, .Most = 3000,
         .Unpresented = true},
        {.Name = "frames longer than a period are not held", .Work = 25000, .Fewest = 25000, .Most = 25000},
        {.Name = "no burst after a stall", .LongAt = 25, .Fewest = 15667, .Most = 151000},
        {.Name = "a device three times slower than the display", .DeviceTakes = 50000, .Most = 51000,
         .MostWaited = 10 * 47000 / 4},
        {.Name = "vertical-sync waiting off: the presents wait in the device", .WaitVSync = 0, .DeviceTakes = 50000,
         .Most = 50000, .MostWaited = 10 * 47000},
        {.Name = "a device that keeps up", .DeviceTakes = 5000, .Most = 17667},
        {.Name = "late sleeps and a slow present do not lengthen the frames", .SleepLate = 5000, .DeviceTakes = 50000,
         .PresentCosts = 3000, .Most = (50000 + 3000) * 9 / 8, .MostWaited = 10 * 47000 / 4},
        {.Name = "a slow present to a device that keeps up is not taken for a wait", .SleepLate = 2000,
         .DeviceTakes = 16000, .PresentCosts = 3000, .Most = 17667},
        {.Name = "a long frame of the program's own is not taken for the device's", .LongAt = 18, .SleepLate = 2000,
         .DeviceTakes = 20000, .PresentCosts = 3000, .Most = (20000 + 3000) * 9 / 8, .MostWaited = 10 * 20000},
        {.Name = "a device that gets faster is followed", .DeviceTakes = 50000, .DeviceTakesFrom5 = 25000,
         .PresentCosts = 3000, .Most = (25000 + 3000) * 9 / 8, .MostWaited = 10 * 25000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        InjectedDisplays displays;
        displays.Info[0].RefreshRate = c.RefreshRate;
        FakePacingClock clock(c.SleepLate);
        GraphicsScreenSettings.NotWaitVSyncFlag = c.WaitVSync ? 0 : 1;
        SetPlatformVSyncWaitFlag(c.PlatformWaits);
        EXPECT_EQ(c.WaitVSync && !c.PlatformWaits, IsPresentPacingOn());
        QueuingDevice device = {c.DeviceTakes, c.PresentCosts, 0, 0};
        int64_t last = 0, fewest = INT64_MAX, most = 0;
        for (int frame = 1; frame <= 30; ++frame) {
            if (frame == 5 && c.DeviceTakesFrom5 != 0) device.Takes = c.DeviceTakesFrom5;
            if (frame == 21) device.Waited = 0;
            FakeNow += frame == c.LongAt ? 150000 : c.Work;
            if (c.Unpresented)
                PaceUnpresentedFrame();
            else
                PacePresent();
            if (c.DeviceTakes != 0) PresentToQueuingDevice(QueuingDevice::Present, &device);
            if (frame > 21) {
                fewest = std::min(fewest, FakeNow - last);
                most = std::max(most, FakeNow - last);
            }
            last = FakeNow;
        }
        if (c.WaitVSync)
            EXPECT_LE(device.Waited, c.MostWaited);
        else
            EXPECT_EQ(c.MostWaited, device.Waited);
        EXPECT_GE(fewest, c.Fewest);
        EXPECT_LE(most, c.Most);
    }
}

// The platform's vertical-blank wait is taken for one when two calls in a row block; the test
// plays it on its clock: each call takes `Takes` (the first `FirstTakes`), waits for the next blank
// of a 60 Hz display instead, or fails.
TEST(Displays, ThePlatformWaitsWhenItsBlankWaitBlocks)
{
    struct PlayedWait
    {
        int64_t FirstTakes, Takes;
        int ToNextBlank, Fails, Calls;
    };
    const struct
    {
        const char *Name;
        PlayedWait Wait;
        int Waits;
    } cases[] = {
        {"a wait that returns at once", {10, 10, 0, 0, 0}, 0},
        {"a wait held up by a busy machine, then at once", {5000, 10, 0, 0, 0}, 0},
        {"a wait for the next blank", {0, 0, 1, 0, 0}, 1},
        {"a wait that fails", {0, 0, 1, 1, 0}, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        FakePacingClock clock;
        PlayedWait wait = c.Wait;
        const auto play = [](void *Context) {
            PlayedWait &w = *static_cast<PlayedWait *>(Context);
            if (w.Fails) return -1;
            FakeNow = w.ToNextBlank ? (FakeNow / 16667 + 1) * 16667 : FakeNow + (w.Calls++ ? w.Takes : w.FirstTakes);
            return 0;
        };
        EXPECT_EQ(c.Waits, TimeVerticalBlankWait(play, &wait));
    }
}

// The system's table: Xvfb under Wine has one monitor with one 32-bit mode.
class SystemDisplays : public testing::Test
{
protected:
    void SetUp() override
    {
        SetDisplayInfoForTest(nullptr, 0);
        GraphicsScreenSettings = {};
    }
    void TearDown() override
    {
        ChangeDisplaySettingsA(nullptr, 0);
        TerminateDisplayInfo();
        GraphicsScreenSettings = {};
    }
};

TEST_F(SystemDisplays, TableIsBuiltFromTheEnumeration)
{
    LogAppendReader log;
    ASSERT_EQ(1, GetDisplayModeNum(0) >= 1);
    EXPECT_EQ(-1, GetDisplayModeNum(1));
    ASSERT_EQ(1, GraphicsDisplayTable.Num);
    const GraphicsDisplayInfo &d = GraphicsDisplayTable.Info[0];
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), d.Width);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), d.Height);
    EXPECT_EQ(d.Width, d.MonitorRect.right - d.MonitorRect.left);
    EXPECT_EQ(32, d.ColorBitDepth);
    EXPECT_NE(L'\0', d.Name[0]);
    bool current = false;
    for (int i = 0; i < d.ModeNum; ++i) {
        EXPECT_GE(d.ModeData[i].ColorBitDepth, 16);
        current |=
            d.ModeData[i].Width == d.Width && d.ModeData[i].Height == d.Height && d.ModeData[i].ColorBitDepth == 32;
    }
    EXPECT_TRUE(current);
    std::wstring text = log.Appended();
    EXPECT_NE(std::wstring::npos, text.find(L"モニターの数：1  ディスプレイデバイスの数："));
    EXPECT_NE(std::wstring::npos, text.find(L"No.0  モニター名："));
    EXPECT_NE(std::wstring::npos, text.find(L"ディスプレイ情報のセットアップ完了"));
}

TEST_F(SystemDisplays, DisplayModeChange)
{
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    GraphicsScreenSettingsData &s = GraphicsScreenSettings;

    // A depth the software renderer cannot show.
    LogAppendReader log;
    SetScreen(width, height, 24, 0, FULLSCREEN_SCALING_DESKTOP);
    EXPECT_EQ(-1, ChangeDisplayMode());
    EXPECT_NE(std::wstring::npos, log.Appended().find(L"RUrazadが対応していない画面カラーモードが指定されました"));
    EXPECT_EQ(0, s.DisplayModeChangedFlag);

    // A refresh rate the display refuses is dropped; the mode is set without it.
    SetScreen(width, height, 32, 75, FULLSCREEN_SCALING_EXACT);
    ASSERT_EQ(0, ChangeDisplayMode());
    EXPECT_EQ(0, s.MainScreenRefreshRate);
    EXPECT_EQ(1, s.DisplayModeChangedFlag);
    EXPECT_EQ(10, s.BorderRepaintCount);

    // A screen smaller than the desktop: the desktop's own mode.
    SetScreen(640, 480, 32, 0, FULLSCREEN_SCALING_DESKTOP);
    EXPECT_EQ(0, ChangeDisplayMode());

    // A mode the display does not have is refused twice.
    InjectedDisplays displays({{1280, 720, 32, 60}});
    SetScreen(1280, 720, 32, 60, FULLSCREEN_SCALING_EXACT);
    log.Mark();
    EXPECT_EQ(-1, ChangeDisplayMode());
    EXPECT_NE(std::wstring::npos, log.Appended().find(L"画面モードの変更に失敗しました"));
    EXPECT_EQ(0, s.BorderRepaintCount);
}

}  // namespace
