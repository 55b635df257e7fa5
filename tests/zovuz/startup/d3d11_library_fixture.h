// A test of the whole library started on Direct3D 11 under Wine, in a 320 x 240 window; skipped
// when the run switches d3d11.dll off.
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>

#include "tests/support/test_files.h"
#include "zovuz/core/zovuz_core.h"
#include "zovuz/d3d11/windows/d3d11_graph_texture_win.h"
#include "zovuz/d3d11/zovuz_d3d11.h"
#include "zovuz/graphics/draw_state_internal.h"
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
    // A draw-valid graph whose texture is made anew with four samples a pixel.
    static int MakeMultisampledGraph(int Width, int Height)
    {
        SetDrawValidGraphCreateFlag(1);
        const int graph = MakeGraph(Width, Height, 0);
        SetDrawValidGraphCreateFlag(0);
        EXPECT_GE(graph, 0);
        if (graph < 0) return graph;
        GraphImageRecord *image = GetGraphEntry(graph, 0)->Image;
        Graphics_D3D11_ReleaseGraphTexture(image);
        image->MultiSampleCount = 4;
        EXPECT_EQ(0, Graphics_D3D11_CreateTexture(image, 0));
        EXPECT_NE(nullptr, D3D11GraphObject<ID3D11Texture2D>(image->Texture[0], D3D11_GRAPH_MS_TEXTURE));
        return graph;
    }
    void TearDown() override
    {
        if (D3D11Disabled()) return;
        LibraryEnd();
        RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, nullptr);
    }
};
