// The on-screen log area: ready only with the main window and the device of the graphics back
// end in use; its set-up refuses until then.
#include "zovuz/core/text/screen_log.h"
#include "zovuz/core/subsystem_hooks.h"
#include "zovuz/core/desktop/windows/window_state_win.h"
#include "zovuz/core/subsystem_hooks_internal.h"

#include <gtest/gtest.h>

namespace {

int HardwareFlag, ApiType, D3D11Valid;
void *DirectDrawObject;

TEST(ScreenLog, ReadyOnlyWithTheWindowAndTheBackEndsDevice)
{
    int object = 0;
    struct Case {
        int Window, Hooks, Hardware, Api, D3D11;
        void *DirectDraw;
        int Ready;
    } cases[] = {
        {0, 1, 0, 0, 0, &object, 0},   // no main window
        {1, 0, 0, 0, 0, nullptr, 0},   // no graphics layer at all
        {1, 1, 0, 0, 0, &object, 1},   // software rendering with a DirectDraw object
        {1, 1, 0, 0, 1, nullptr, 0},
        {1, 1, 1, 1, 0, &object, 1},   // Direct3D 9: its DirectDraw object
        {1, 1, 1, 1, 1, nullptr, 0},
        {1, 1, 1, 2, 1, nullptr, 1},   // Direct3D 11: its device
        {1, 1, 1, 2, 0, &object, 0},
        {1, 1, 1, 0, 1, &object, 0},   // hardware flag without a back end
    };
    for (const Case &c : cases) {
        MainWindowState.MainWindow = c.Window ? reinterpret_cast<HWND>(0x1234) : nullptr;
        SubsystemHooksData = SubsystemHooks();
        HardwareFlag = c.Hardware;
        ApiType = c.Api;
        D3D11Valid = c.D3D11;
        DirectDrawObject = c.DirectDraw;
        if (c.Hooks) {
            SubsystemHooksData.GetHardwareGraphicsFlag = [] { return HardwareFlag; };
            SubsystemHooksData.GetGraphicsAPIType = [] { return ApiType; };
            SubsystemHooksData.D3D11Device_IsValid = [] { return D3D11Valid; };
            SubsystemHooksData.DirectDraw7_GetObject = [] { return DirectDrawObject; };
        }
        testing::Message row;
        row << c.Window << c.Hooks << c.Hardware << c.Api << c.D3D11 << (c.DirectDraw != nullptr);
        EXPECT_EQ(c.Ready, GetScreenLogDeviceReady()) << row;
        EXPECT_EQ(c.Ready ? 0 : -1, InitializeScreenLog()) << row;
        EXPECT_EQ(0, GetScreenLogDrawFlag()) << row;
        EXPECT_EQ(0, TerminateScreenLog()) << row;
    }
    MainWindowState.MainWindow = nullptr;
    SubsystemHooksData = SubsystemHooks();
}

}  // namespace
