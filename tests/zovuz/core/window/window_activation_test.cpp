// The main window between creation and end: pausing and resuming playback on activation
// changes, changes queued while the pump dispatches, the full-screen device, painting, resize
// limits on a real drag message, maximising, and desktop-to-draw-screen positions.
#include "window_test_support.h"

#include "zovuz/core/clock.h"
#include "zovuz/core/library_state.h"
#include "zovuz/core/subsystem_hooks.h"
#include "zovuz/core/window/windows/window_state_win.h"
#include "zovuz/core/library_state_internal.h"
#include "zovuz/core/subsystem_hooks_internal.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Calls;

int PauseMovies() { Calls += "movies-pause "; return 0; }
int ResumeMovies() { Calls += "movies-resume "; return 0; }
int PauseSounds(int Flag) { Calls += Flag ? "sounds-pause " : "sounds-resume "; return 0; }
int PausePlayers(int Flag) { Calls += Flag ? "players-pause " : "players-resume "; return 0; }
int ReleaseDevice() { Calls += "device-release "; return 0; }
int RestoreDevice() { Calls += "device-restore "; return 0; }
int RestoreLostDevice() { Calls += "lost-device-restore "; return 0; }
int Refresh() { Calls += "refresh "; return 0; }
int Yes() { return 1; }
int No() { return 0; }
void *DirectDrawObject() { return &Calls; }

const char kPaused[] = "movies-pause sounds-pause players-pause ";
const char kResumed[] = "movies-resume sounds-resume players-resume ";

class WindowActivation : public testing::Test {
protected:
    // One window for the suite: each end of a window costs Wine two seconds.
    static void SetUpTestSuite()
    {
        ApplyApplicationWindowSettings();
        ASSERT_EQ(0, CreateMainWindow());
        KeepSystemFocusChangesAway();
    }
    static void TearDownTestSuite() { EndMainWindowForTest(); }

    void SetUp() override
    {
        ASSERT_NE(nullptr, GetMainWindowHandle());
        ProcessMessage();
        MainWindowState.WindowActiveFlag = 1;
        SubsystemHooks &h = SubsystemHooksData;
        h.GetDrawScreenSize = ApplicationDrawScreenSize;
        h.PauseAllMovies = PauseMovies;
        h.ResumeAllMovies = ResumeMovies;
        h.PauseAllSoundHandles = PauseSounds;
        h.PauseAllSoftSoundPlayers = PausePlayers;
        h.Graphics_Hardware_ReleaseDeviceObjects = ReleaseDevice;
        h.RestoreGraphicsDevice = RestoreDevice;
        h.Graphics_Hardware_RestoreLostDevice = RestoreLostDevice;
        h.RefreshScreen = Refresh;
        Calls.clear();
    }
    void TearDown() override
    {
        SubsystemHooksData = SubsystemHooks();
        MainWindowState.Setup.WindowModeFlag = 1;
        SetAlwaysRunFlag(1);
        LibraryState.Started = 0;
        LibraryState.Starting = 0;
    }
};

TEST_F(WindowActivation, WindowModePausesAndResumesUnlessAlwaysRunning)
{
    struct Case {
        int AlwaysRun;
        std::string Deactivated, Activated;
    } cases[] = {
        {0, kPaused, std::string("lost-device-restore ") + kResumed},
        {1, "", "lost-device-restore "},
    };
    for (const Case &c : cases) {
        SetAlwaysRunFlag(c.AlwaysRun);
        Calls.clear();
        EXPECT_EQ(0, OnWindowActivate(WA_INACTIVE, 0, 0, 1));
        EXPECT_EQ(c.Deactivated, Calls) << c.AlwaysRun;
        EXPECT_EQ(0, GetWindowActiveFlag());
        Calls.clear();
        EXPECT_EQ(0, OnWindowActivate(WA_ACTIVE, 0, 0, 1));
        EXPECT_EQ(c.Activated, Calls) << c.AlwaysRun;
        EXPECT_EQ(1, GetWindowActiveFlag());
    }
}

TEST_F(WindowActivation, UnchangedOrMinimisedStateDoesNothingAndLeavesNoBusyFlag)
{
    SetAlwaysRunFlag(0);
    struct Case {
        uintptr_t WParam;
        int Active;
    } cases[] = {
        {WA_ACTIVE, 1},
        {WA_CLICKACTIVE, 1},
        {MAKEWPARAM(WA_ACTIVE, 1), 0},  // activated while minimised counts as inactive
    };
    for (const Case &c : cases) {
        MainWindowState.WindowActiveFlag = 1;
        Calls.clear();
        EXPECT_EQ(0, OnWindowActivate(c.WParam, 0, 0, 1));
        EXPECT_EQ(c.Active, GetWindowActiveFlag()) << c.WParam;
        EXPECT_EQ(c.Active ? "" : kPaused, Calls) << c.WParam;
        EXPECT_EQ(0, GetWindowActivationBusyFlag()) << c.WParam;
    }
}

// During the pump's dispatch a change is only queued; the pause runs after the pump's loop.
TEST_F(WindowActivation, ChangeDuringDispatchIsAppliedAfterTheLoop)
{
    SetAlwaysRunFlag(0);
    PostMessageW(GetMainWindowHandle(), WM_ACTIVATE, WA_INACTIVE, kTestActivationLParam);
    MSG message;
    ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_ACTIVATE, WM_ACTIVATE, PM_REMOVE));
    MainWindowState.PumpActiveFlag = 1;  // as inside the pump's loop
    DispatchMessageW(&message);
    MainWindowState.PumpActiveFlag = 0;
    EXPECT_EQ(1, GetWindowActivateQueueNum());
    EXPECT_EQ("", Calls);
    EXPECT_EQ(1, GetWindowActiveFlag());

    EXPECT_EQ(0, ProcessMessage());
    EXPECT_EQ(0, GetWindowActivateQueueNum());
    EXPECT_EQ(kPaused, Calls);
    EXPECT_EQ(0, GetWindowActiveFlag());
}

TEST_F(WindowActivation, The513thQueuedChangeIsAppliedAtOnce)
{
    SetAlwaysRunFlag(0);
    MainWindowState.PumpActiveFlag = 1;
    for (int i = 0; i < WINDOWACTIVATE_QUEUE_MAXNUM; ++i) QueueWindowActivate(WA_ACTIVE, 0, 0, 1);
    EXPECT_EQ(WINDOWACTIVATE_QUEUE_MAXNUM, GetWindowActivateQueueNum());
    EXPECT_EQ("", Calls);
    QueueWindowActivate(WA_INACTIVE, 0, 0, 1);
    EXPECT_EQ(kPaused, Calls);
    EXPECT_EQ(WINDOWACTIVATE_QUEUE_MAXNUM, GetWindowActivateQueueNum());
    MainWindowState.PumpActiveFlag = 0;

    // The queued ones follow after the pump's loop: the window is active again.
    Calls.clear();
    SetAlwaysRunFlag(1);
    EXPECT_EQ(0, ProcessMessage());
    EXPECT_EQ(0, GetWindowActivateQueueNum());
    EXPECT_EQ(1, GetWindowActiveFlag());
}

// Full screen: deactivation releases the device and pauses everything whatever always-run says;
// without a way to restore the graphs the program closes itself instead.
TEST_F(WindowActivation, FullScreenReleasesTheDeviceOrClosesWithoutARestoreFunction)
{
    struct Case {
        int RestoreCallback;
        int Result;
        std::string Deactivated;
        int LostFlag;
        int ClosePosted;
    } cases[] = {
        {1, 0, std::string("device-release ") + kPaused, 1, 0},
        {0, -1, "device-release ", 0, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.RestoreCallback);
        MainWindowState.Setup.WindowModeFlag = 0;
        MainWindowState.WindowActiveFlag = 1;
        MainWindowState.ClosePostedFlag = 0;
        MainWindowState.DeviceLostFlag = 0;
        SubsystemHooksData.IsFullScreenMode = Yes;
        SubsystemHooksData.DirectDraw7_GetObject = DirectDrawObject;
        SubsystemHooksData.IsRestoreGraphCallbackSet = c.RestoreCallback ? Yes : No;
        SubsystemHooksData.GetHardwareGraphicsFlag = Yes;
        Calls.clear();
        EXPECT_EQ(c.Result, OnWindowActivate(WA_INACTIVE, 0, 0, 1));
        EXPECT_EQ(c.Deactivated, Calls);
        EXPECT_EQ(c.LostFlag, MainWindowState.DeviceLostFlag);
        EXPECT_EQ(c.ClosePosted, GetWindowClosePostedFlag());
        EXPECT_EQ(0, GetWindowActivationBusyFlag());
        MSG close;
        EXPECT_EQ(c.ClosePosted != 0, PeekMessageW(&close, GetMainWindowHandle(), WM_CLOSE, WM_CLOSE, PM_REMOVE) != 0);

        Calls.clear();
        if (c.Result == 0) {
            EXPECT_EQ(0, OnWindowActivate(WA_ACTIVE, 0, 0, 1));
            EXPECT_EQ(std::string("device-restore ") + kResumed, Calls);
            EXPECT_EQ(0, MainWindowState.DeviceLostFlag);
        }
        MainWindowState.Setup.WindowModeFlag = 1;
        ShowWindow(GetMainWindowHandle(), SW_RESTORE);
        ProcessMessage();
    }
}

// The whole client area is presented at once; parts of it at most every 65 ms, the rest is left
// to the pump.
TEST_F(WindowActivation, PaintPresentsTheBackScreenOrDefersAPartialRepaint)
{
    LibraryState.Started = 1;
    RECT client;
    GetClientRect(GetMainWindowHandle(), &client);
    RECT part = {10, 10, 50, 50};
    HDC dc = GetDC(GetMainWindowHandle());
    struct Case {
        const RECT *Rect;
        int Pending;
        int SinceLast;
        const char *Calls;
        int PendingAfter;
    } cases[] = {
        {&client, 0, 0, "refresh ", 0},
        {&part, 0, 0, "", 1},        // the first partial repaint is left to the pump
        {&part, 1, 10, "", 1},       // another one soon after: still waiting
        {&part, 1, 1000, "refresh ", 1},
    };
    for (const Case &c : cases) {
        MainWindowState.RepaintPendingFlag = c.Pending;
        MainWindowState.LastRepaintTime = GetNowMilliCount() - c.SinceLast;
        Calls.clear();
        PaintMainWindow(dc, c.Rect);
        EXPECT_EQ(c.Calls, Calls) << c.Pending << " " << c.SinceLast;
        EXPECT_EQ(c.PendingAfter, MainWindowState.RepaintPendingFlag) << c.Pending << " " << c.SinceLast;
    }

    // Before start-up has finished the window shows the background colour.
    LibraryState.Starting = 1;
    SubsystemHooksData.GetBackgroundColor = [](int *R, int *G, int *B) { *R = 200; *G = 40; *B = 10; return 0; };
    Calls.clear();
    PaintMainWindow(dc, &part);
    EXPECT_EQ("", Calls);
    EXPECT_EQ(RGB(200, 40, 10), GetPixel(dc, 20, 20));
    ReleaseDC(GetMainWindowHandle(), dc);
}

TEST_F(WindowActivation, DraggingStopsAtTheApplicationsLimits)
{
    HWND window = GetMainWindowHandle();
    RECT frame, client;
    GetWindowRect(window, &frame);
    GetClientRect(window, &client);
    int frameWidth = (frame.right - frame.left) - client.right;
    int frameHeight = (frame.bottom - frame.top) - client.bottom;
    RECT proposed = {100, 100, 100 + 500 + frameWidth, 100 + 500 + frameHeight};
    SendMessageW(window, WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<LPARAM>(&proposed));
    EXPECT_EQ(640, proposed.right - proposed.left - frameWidth);
    EXPECT_EQ(600, proposed.bottom - proposed.top - frameHeight);
    EXPECT_EQ(100, proposed.left);
    EXPECT_EQ(100, proposed.top);
}

// A set client size is held within the draw screen times the extend rates and the set limits.
TEST_F(WindowActivation, RefitHoldsTheSizeWithinTheScaledSizeAndTheLimits)
{
    struct Case {
        bool ApplicationDrawScreen;  // 1920 x 1080, else no graphics layer: 640 x 480
        int Width, Height, ClientWidth, ClientHeight;
    } cases[] = {
        {true, 1299, 755, 1299, 755},
        {true, 300, 200, 640, 600},     // raised to the minimum
        {true, 2000, 1000, 1920, 1000}, // lowered to the maximum
        {false, 1299, 755, 640, 600},   // lowered to the draw screen, then raised to the minimum
    };
    for (const Case &c : cases) {
        SubsystemHooksData.GetDrawScreenSize = c.ApplicationDrawScreen ? ApplicationDrawScreenSize : nullptr;
        SetWindowSize(c.Width, c.Height);
        int width = 0, height = 0;
        GetWindowClientSize(&width, &height);
        EXPECT_EQ(c.ClientWidth, width) << c.Width << " x " << c.Height;
        EXPECT_EQ(c.ClientHeight, height) << c.Width << " x " << c.Height;
        EXPECT_EQ(0, MainWindowState.Setup.WindowSizeSetFlag);  // resizable: the set size is forgotten
    }
    SubsystemHooksData.GetDrawScreenSize = ApplicationDrawScreenSize;
    SetWindowSize(1299, 755);
}

// Wine without a window manager takes a real maximise back at once, so the window is grown
// to the display as a maximise would, and WM_SIZE's bookkeeping is run on it.
TEST_F(WindowActivation, MaximisedScaledDrawingMapsPositionsBack)
{
    HWND window = GetMainWindowHandle();
    MainWindowData &w = MainWindowState;
    SubsystemHooksData.GetDrawScreenSize = nullptr;  // 640 x 480
    SetWindowSizeChangeEnableFlag(1, 1);
    SetWindowSizeExtendRate(1.0, 1.0);
    ProcessMessage();

    // A "maximise" that leaves three edges where they were is no maximise.
    UpdateWindowMaximizeState(SIZE_MAXIMIZED);
    EXPECT_EQ(0, w.MaximizedFlag);

    LONG style = GetWindowLongW(window, GWL_STYLE);
    SetWindowLongW(window, GWL_STYLE, style | WS_MAXIMIZE);
    w.RefitBusyFlag = 1;  // keeps the scaling refit from undoing the growth
    MoveWindow(window, 0, 0, 1920, 1080, TRUE);
    w.RefitBusyFlag = 0;
    UpdateWindowMaximizeState(SIZE_MAXIMIZED);
    ASSERT_EQ(1, w.MaximizedFlag);
    RefitMainWindow();  // keeps the maximised rectangle
    RECT client;
    GetClientRect(window, &client);
    EXPECT_GT(client.right, 1800);

    // The middle of the client area is the middle of the draw screen; its top-left corner lies
    // in the empty band left of the scaled drawing.
    POINT middle = {client.right / 2, client.bottom / 2};
    ClientToScreen(window, &middle);
    int x = 0, y = 0;
    ScreenPosToDrawScreenPos(middle.x, middle.y, &x, &y);
    EXPECT_NEAR(320, x, 1);
    EXPECT_NEAR(240, y, 1);
    POINT corner = {0, 0};
    ClientToScreen(window, &corner);
    ScreenPosToDrawScreenPos(corner.x, corner.y, &x, &y);
    EXPECT_LT(x, -10);

    SetWindowLongW(window, GWL_STYLE, style);
    UpdateWindowMaximizeState(SIZE_RESTORED);
    EXPECT_EQ(0, w.MaximizedFlag);
    SubsystemHooksData.GetDrawScreenSize = ApplicationDrawScreenSize;
    SetWindowSizeChangeEnableFlag(1, 0);
}

TEST_F(WindowActivation, DesktopPositionsBecomeDrawScreenPositions)
{
    MainWindowData &w = MainWindowState;
    SetRect(&w.ClientRect, 100, 200, 100 + 1280, 200 + 960);
    struct Case {
        double RateX, RateY;
        int ScreenX, ScreenY, X, Y;
    } cases[] = {
        {1.0, 1.0, 100, 200, 0, 0},
        {1.0, 1.0, 90, 250, -10, 50},
        {2.0, 2.0, 105, 203, 2, 2},   // 2.5 and 1.5: halves go to the even neighbour
        {2.0, 2.0, 107, 205, 4, 2},   // 3.5 and 2.5
        {1.0, 0.5, 110, 201, 10, 2},
    };
    for (const Case &c : cases) {
        w.Setup.ExtendRateX = c.RateX;
        w.Setup.ExtendRateY = c.RateY;
        int x = 0, y = 0;
        EXPECT_EQ(0, ScreenPosToDrawScreenPos(c.ScreenX, c.ScreenY, &x, &y));
        EXPECT_EQ(c.X, x) << c.ScreenX << " at " << c.RateX;
        EXPECT_EQ(c.Y, y) << c.ScreenY << " at " << c.RateY;
    }

    // Full screen: the graphics layer converts; without one the position stays.
    w.Setup.WindowModeFlag = 0;
    int x = 0, y = 0;
    ScreenPosToDrawScreenPos(33, 44, &x, &y);
    EXPECT_EQ(33, x);
    EXPECT_EQ(44, y);
    SubsystemHooksData.ConvertWindowPosToScreenPos = [](int X, int Y, int *OutX, int *OutY) {
        *OutX = X / 2;
        *OutY = Y / 2;
        return 0;
    };
    ScreenPosToDrawScreenPos(33, 44, &x, &y);
    EXPECT_EQ(16, x);
    EXPECT_EQ(22, y);
    w.Setup.WindowModeFlag = 1;
    w.Setup.ExtendRateX = w.Setup.ExtendRateY = 1.0;
}

}  // namespace
