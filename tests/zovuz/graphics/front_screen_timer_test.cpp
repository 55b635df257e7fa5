// The front-screen timer on the software renderer: started for the front screen only, it presents
// every 32 ms while the front screen stays the draw target and the window is not layered.
#include <windows.h>

#include "tests/zovuz/graphics/hardware_fixture.h"

namespace {

int Refreshes;

int CountRefresh(void)
{
    ++Refreshes;
    return 0;
}

// Pumps the thread's messages (the timer's procedure runs from them) for Milliseconds, or until
// Until() holds.
template <typename Condition>
void PumpFor(int Milliseconds, Condition Until)
{
    DWORD start = GetTickCount();
    while (!Until() && (int)(GetTickCount() - start) < Milliseconds) {
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&m);
        Sleep(1);
    }
}

class FrontScreenTimer : public GraphicsStateTest
{
protected:
    static void SetUpTestSuite()
    {
        ChangeWindowMode(1);
        SetAlwaysRunFlag(1);
        SetMainWindowText("front screen timer");
        ASSERT_EQ(0, CreateMainWindow());
        PumpFor(200, [] { return false; });
    }
    static void TearDownTestSuite() { TerminateMainWindow(); }
    void SetUp() override
    {
        GraphicsStateTest::SetUp();  // the reset chooses the front screen: the timer runs
        Refreshes = 0;
        GetSubsystemHooks()->RefreshScreen = CountRefresh;
    }
    void TearDown() override
    {
        KillTimer(GetDisplayWindowHandle(), FRONT_SCREEN_TIMER_ID);
        GetSubsystemHooks()->RefreshScreen = nullptr;
        GraphicsStateTest::TearDown();
    }
};

TEST_F(FrontScreenTimer, PresentsTheFrontScreenUntilAnotherTargetIsChosen)
{
    ASSERT_NE(0, GetWindowActiveFlag());
    PumpFor(5000, [] { return Refreshes >= 3; });
    EXPECT_GE(Refreshes, 3);
    // Another target: the timer stops at its next tick.
    GraphicsDrawSettings.RenderTarget[0] = DX_SCREEN_BACK;
    PumpFor(100, [] { return false; });
    int stopped = Refreshes;
    GraphicsDrawSettings.RenderTarget[0] = DX_SCREEN_FRONT;
    PumpFor(200, [] { return false; });
    EXPECT_EQ(stopped, Refreshes);

    // Only the front screen starts it.
    EXPECT_EQ(0, Graphics_Hardware_StartFrontScreenTimer(DX_SCREEN_BACK));
    PumpFor(200, [] { return false; });
    EXPECT_EQ(stopped, Refreshes);
    EXPECT_EQ(0, Graphics_Hardware_StartFrontScreenTimer(DX_SCREEN_FRONT));
    PumpFor(5000, [&] { return Refreshes > stopped; });
    EXPECT_GT(Refreshes, stopped);
}

TEST_F(FrontScreenTimer, ALayeredWindowShowsItselfAndStopsTheTimer)
{
    HWND window = GetDisplayWindowHandle();
    LONG style = GetWindowLongW(window, GWL_EXSTYLE);
    SetWindowLongW(window, GWL_EXSTYLE, style | WS_EX_LAYERED);
    PumpFor(200, [] { return false; });
    SetWindowLongW(window, GWL_EXSTYLE, style);
    PumpFor(200, [] { return false; });
    EXPECT_EQ(0, Refreshes);
}

}  // namespace
