// A test of the whole library started on Direct3D 11 under Wine, in a 320 x 240 window; skipped
// when the run switches d3d11.dll off.
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>

#include "tests/support/test_files.h"
#include "zovuz/core/zovuz_core.h"
#include "zovuz/d3d11/zovuz_d3d11.h"
#include "zovuz/graphics/zovuz_graphics.h"
#include "zovuz/startup/startup_internal.h"

inline bool D3D11Disabled() { return getenv("TARVEX_D3D11_DISABLED") != nullptr; }

class D3D11LibraryTest : public testing::Test
{
protected:
    // Called from SetUp after its own settings; a failed start is a fatal failure.
    static void StartOnD3D11(const char *Title)
    {
        RemoveLogFile();
        ChangeWindowMode(1);
        SetGraphMode(320, 240, 32, 60);
        SetAlwaysRunFlag(1);
        SetMainWindowText(Title);
        RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, GetGraphicsD3D11Functions());
        ASSERT_EQ(0, LibraryInit());
        ASSERT_EQ(GRAPHICS_API_D3D11, GetGraphicsAPIType());
    }
    void TearDown() override
    {
        if (D3D11Disabled()) return;
        LibraryEnd();
        RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, nullptr);
    }
};
