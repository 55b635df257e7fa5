// A test of the whole library started on Direct3D 11 under Wine, in a 320 x 240 window; skipped
// when the run switches d3d11.dll off.
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <vector>

#include "tests/support/test_files.h"
#include "zovuz/core/zovuz_core.h"
#include "zovuz/d3d11/texture/windows/d3d11_graph_texture_win.h"
#include "zovuz/d3d11/zovuz_d3d11.h"
#include "zovuz/graphics/draw_state_internal.h"
#include "zovuz/graphics/zovuz_graphics.h"
#include "zovuz/startup/startup_internal.h"

inline bool D3D11Disabled() { return getenv("TARVEX_D3D11_DISABLED") != nullptr; }

// Pixels as 0xAARRGGBB, whatever the format they were read in (opaque when it has no alpha).
inline std::vector<uint32_t> UnpackPixels(const BASEIMAGE &Image)
{
    std::vector<uint32_t> out;
    const COLORDATA &c = Image.ColorData;
    for (int y = 0; y < Image.Height; y++)
        for (int x = 0; x < Image.Width; x++) {
            uint32_t value = 0;
            memcpy(&value, (const uint8_t *)Image.Pixels + y * Image.Pitch + x * c.PixelBytes, c.PixelBytes);
            int r, g, b, a;
            GetColorDataRGBA(&c, value, &r, &g, &b, &a);
            if (c.AlphaWidth == 0) a = 255;
            out.push_back((uint32_t)a << 24 | (uint32_t)r << 16 | (uint32_t)g << 8 | (uint32_t)b);
        }
    return out;
}

// A rectangle of a draw target or graph (piece Piece, level Mip) through the lock as 0xAARRGGBB,
// or empty when the lock refuses.
inline std::vector<uint32_t> ReadRect(int Target, ImageRect Rect, int Piece = 0, int Mip = 0)
{
    BASEIMAGE image;
    if (LockDrawScreenBuffer(&Rect, &image, Target, 0, Mip, 1, Piece) < 0) return {};
    std::vector<uint32_t> out = UnpackPixels(image);
    UnlockDrawScreenBuffer();
    return out;
}

// The colour alone (0x00RRGGBB) of a rectangle of a draw target.
inline std::vector<uint32_t> ReadRgb(int Target, int X, int Y, int Width, int Height)
{
    std::vector<uint32_t> out = ReadRect(Target, {X, Y, X + Width, Y + Height});
    for (uint32_t &pixel : out) pixel &= 0xFFFFFF;
    return out;
}

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
        EXPECT_NE(nullptr, D3D11GraphObjects(image->Texture[0])->MultisampleTexture);
        return graph;
    }
    static void EndLibrary()
    {
        if (D3D11Disabled()) return;
        LibraryEnd();
        RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, nullptr);
    }
    void TearDown() override { EndLibrary(); }
};
