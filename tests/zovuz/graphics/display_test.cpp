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
int64_t FakeClock() { return FakeNow; }
void FakeSleep(int MilliSeconds) { FakeNow += MilliSeconds * 1000 + FakeSleepLate; }

struct FakePacingClock
{
    FakePacingClock()
    {
        FakeNow = 1000000;
        FakeSleepLate = 0;
        PresentPacing.Clock = FakeClock;
        PresentPacing.Sleep = FakeSleep;
    }
    ~FakePacingClock()
    {
        PresentPacing.Clock = nullptr;
        PresentPacing.Sleep = nullptr;
        SetPlatformVSyncWaitFlag(1);
    }
};

TEST(Displays, PresentsArePacedWhileWaitingIsOnAndThePlatformGivesNoWait)
{
    const struct
    {
        const char *Name;
        int WaitVSync, PlatformWaits, RefreshRate;
        int64_t Work;          // microseconds a frame takes before its present
        int StallEvery;        // every n-th frame takes 100 ms (0: none)
        int64_t Fewest, Most;  // microseconds allowed between two presents
    } cases[] = {
        {"paced to 60 Hz", 1, 0, 60, 5000, 0, 15667, 17667},
        {"at the display's own rate", 1, 0, 50, 5000, 0, 19000, 21000},
        {"vertical-sync waiting off", 0, 0, 60, 5000, 0, 5000, 5000},
        {"the platform waits itself", 1, 1, 60, 5000, 0, 5000, 5000},
        {"frames longer than a period are not held", 1, 0, 60, 25000, 0, 25000, 25000},
        {"no burst after a stall", 1, 0, 60, 5000, 7, 15667, 101000},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        InjectedDisplays displays;
        displays.Info[0].RefreshRate = c.RefreshRate;
        FakePacingClock clock;
        GraphicsScreenSettings.NotWaitVSyncFlag = c.WaitVSync ? 0 : 1;
        SetPlatformVSyncWaitFlag(c.PlatformWaits);
        EXPECT_EQ(c.WaitVSync && !c.PlatformWaits, IsPresentPacingOn());
        int64_t last = -1, fewest = INT64_MAX, most = 0;
        for (int frame = 1; frame <= 30; ++frame) {
            FakeNow += c.StallEvery != 0 && frame % c.StallEvery == 0 ? 100000 : c.Work;
            PacePresent();
            if (last >= 0) {
                fewest = std::min(fewest, FakeNow - last);
                most = std::max(most, FakeNow - last);
            }
            last = FakeNow;
        }
        EXPECT_GE(fewest, c.Fewest);
        EXPECT_LE(most, c.Most);
    }
}

// A device that takes `Takes` microseconds for a frame from each present, and lets the next present
// wait until it has drawn it (the clock moving on meanwhile); the present itself takes `Costs`.
struct QueuingDevice
{
    int64_t Takes, Costs;
    int64_t ReadyAt, Waited;
};

int PresentToDevice(void *Context)
{
    QueuingDevice &d = *static_cast<QueuingDevice *>(Context);
    if (FakeNow < d.ReadyAt) {
        d.Waited += d.ReadyAt - FakeNow;
        FakeNow = d.ReadyAt;
    }
    d.ReadyAt = FakeNow + d.Takes;
    FakeNow += d.Costs;
    return 0;
}

TEST(Displays, APacedPresentToABusyDeviceSleepsMostOfItsWait)
{
    // Frames of 3 ms of work; from frame 5 on the device may take another time, and one frame may
    // take 150 ms of the program's own work. The figures are those of frames 21-30.
    const struct
    {
        const char *Name;
        int WaitVSync;
        int64_t DeviceTakes, PresentCosts, SleepLate;
        int64_t DeviceTakesFrom5;  // 0: the same
        int LongWorkAt;            // 0: none
        int64_t MostWaited;        // microseconds the presents may wait in the device
        int64_t MostFrame;         // and the longest time between two of them
    } cases[] = {
        {"a device three times slower than the display", 1, 50000, 0, 0, 0, 0, 10 * 47000 / 4, 51000},
        {"vertical-sync waiting off: the presents wait in it", 0, 50000, 0, 0, 0, 0, 10 * 47000, 50000},
        {"a device that keeps up", 1, 5000, 0, 0, 0, 0, 0, 17667},
        {"late sleeps and a slow present do not lengthen the frames", 1, 50000, 3000, 5000, 0, 0, 10 * 47000 / 4,
         (50000 + 3000) * 9 / 8},
        {"a slow present to a device that keeps up is not taken for a wait", 1, 16000, 3000, 2000, 0, 0, 0, 17667},
        {"a long frame of the program's own is not taken for the device's", 1, 20000, 3000, 2000, 0, 18, 10 * 20000,
         (20000 + 3000) * 9 / 8},
        {"a device that gets faster is followed", 1, 50000, 3000, 0, 25000, 0, 10 * 25000, (25000 + 3000) * 9 / 8},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        InjectedDisplays displays;
        FakePacingClock clock;
        FakeSleepLate = c.SleepLate;
        GraphicsScreenSettings.NotWaitVSyncFlag = c.WaitVSync ? 0 : 1;
        SetPlatformVSyncWaitFlag(0);
        QueuingDevice device = {c.DeviceTakes, c.PresentCosts, 0, 0};
        int64_t last = 0, most = 0;
        for (int frame = 1; frame <= 30; ++frame) {
            if (frame == 5 && c.DeviceTakesFrom5 != 0) device.Takes = c.DeviceTakesFrom5;
            if (frame == 21) device.Waited = 0;
            FakeNow += frame == c.LongWorkAt ? 150000 : 3000;  // the frame's drawing
            PacePresent();
            PresentToQueuingDevice(PresentToDevice, &device);
            if (frame > 21) most = std::max(most, FakeNow - last);
            last = FakeNow;
        }
        if (c.WaitVSync)
            EXPECT_LE(device.Waited, c.MostWaited);
        else
            EXPECT_EQ(c.MostWaited, device.Waited);
        EXPECT_LE(most, c.MostFrame);
    }
}

// A vertical-blank wait the test plays: how long it takes on the test's clock, or failing.
struct PlayedWait
{
    int64_t FirstTakes, Takes;  // microseconds the first call and every later one take
    int ToNextBlank;            // 1: each call waits for the next blank of a 60 Hz display instead
    int Fails;
    int Calls;
};

int PlayWait(void *Context)
{
    PlayedWait &w = *static_cast<PlayedWait *>(Context);
    if (w.Fails) return -1;
    if (w.ToNextBlank)
        FakeNow = (FakeNow / 16667 + 1) * 16667;
    else
        FakeNow += w.Calls == 0 ? w.FirstTakes : w.Takes;
    ++w.Calls;
    return 0;
}

TEST(Displays, ThePlatformWaitsWhenItsBlankWaitBlocks)
{
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
        EXPECT_EQ(c.Waits, TimeVerticalBlankWait(PlayWait, &wait));
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
