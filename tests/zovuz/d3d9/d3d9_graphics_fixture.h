// Graphics started through the front end in the library's main window, on Direct3D 9 or, to
// compare with, on the software renderer. For the tests that link the graphics tests' support.
#pragma once

#include <gtest/gtest.h>

#include <objbase.h>

#include "tests/zovuz/graphics/graphics_start_fixture.h"
#include "zovuz/d3d9/zovuz_d3d9.h"
#include "zovuz/graphics/graph/graph_internal.h"

// Graphics at Width x Height in the main window, on Direct3D 9 or on the software renderer. 0 / -1.
inline int StartGraphicsOn(int Hardware, int Width, int Height)
{
    RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D9, Hardware ? GetGraphicsD3D9Functions() : nullptr);
    SetUseHardwareRenderFlag(Hardware);
    SetWaitVSyncFlag(0);
    if (SetGraphMode(Width, Height, 32, 60) < 0 || InitializeGraphics() < 0) return -1;
    return GetGraphicsAPIType() == (Hardware ? GRAPHICS_API_D3D9 : GRAPHICS_API_SOFTWARE) ? 0 : -1;
}

// The main window of a suite, the library counted as running (DrawGraph draws only then); the
// suite's end ends graphics and the window.
class D3D9MainWindow : public testing::Test
{
protected:
    static void OpenMainWindow(int Width, int Height)
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ChangeWindowMode(1);
        SetAlwaysRunFlag(1);
        SetMainWindowText("d3d9 graphics");
        ASSERT_EQ(0, SetGraphMode(Width, Height, 32, 60));
        ASSERT_EQ(0, CreateMainWindow());
        SetLibraryStarted(1);
    }
    static void TearDownTestSuite()
    {
        SetLibraryStarted(0);
        TerminateGraphics();
        RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D9, nullptr);
        // The window goes before the library's end serves its queue: Wine's device work left
        // window updates and display events for it, several per device call, and serving them
        // took seconds; a destroyed window's are dropped.
        DestroyWindow((HWND)GetMainWindowHandle());
        EndTestMainWindow();
        CoUninitialize();
    }
};
