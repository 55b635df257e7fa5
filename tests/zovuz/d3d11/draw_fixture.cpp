#include "tests/zovuz/d3d11/draw_fixture.h"

#include <objbase.h>

#include "tests/zovuz/graphics/graphics_start_fixture.h"
#include "zovuz/d3d11/zovuz_d3d11.h"
#include "zovuz/graphics/graph/graph_internal.h"
#include "zovuz/graphics/zovuz_graphics.h"

int OpenDrawingWindow(const char *Title, int Width, int Height)
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ChangeWindowMode(1);
    SetAlwaysRunFlag(1);
    SetMainWindowText(Title);
    ClearLibraryQuitFlags();
    if (SetGraphMode(Width, Height, 32, 60) < 0 || CreateMainWindow() < 0) return -1;
    SetLibraryStarted(1);
    return 0;
}

int StartDrawingGraphics(bool Hardware, int Width, int Height)
{
    RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, Hardware ? GetGraphicsD3D11Functions() : nullptr);
    SetUseHardwareRenderFlag(Hardware);
    SetWaitVSyncFlag(0);
    if (SetGraphMode(Width, Height, 32, 60) < 0 || InitializeGraphics() < 0) return -1;
    return GetGraphicsAPIType() == (Hardware ? GRAPHICS_API_D3D11 : GRAPHICS_API_SOFTWARE) ? 0 : -1;
}

void CloseDrawingWindow()
{
    RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, nullptr);
    SetLibraryStarted(0);
    EndTestMainWindow();
    CoUninitialize();
}

uint32_t PatternPixel(int X, int Y)
{
    return (uint32_t)(X * 15 + 10) << 16 | (uint32_t)(Y * 20 + 5) << 8 | (uint32_t)(X * Y + 40);
}

std::vector<uint32_t> PixelsOf(uint32_t (*Pattern)(int X, int Y))
{
    std::vector<uint32_t> pixels(16 * 12);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x) pixels[y * 16 + x] = Pattern(x, y);
    return pixels;
}

std::vector<uint32_t> ReadDrawScreen(int X, int Y, int Width, int Height)
{
    std::vector<uint32_t> out;
    const ImageRect rect = {X, Y, X + Width, Y + Height};
    BASEIMAGE image;
    if (LockDrawScreenBuffer(&rect, &image, -1, 0, 0, 1, 0) < 0) return out;
    out.reserve((size_t)Width * Height);
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            const uint32_t value = ((const uint32_t *)((const uint8_t *)image.Pixels + (size_t)y * image.Pitch))[x];
            int r, g, b;
            GetColorDataRGBA(&image.ColorData, value, &r, &g, &b, nullptr);
            out.push_back((uint32_t)r << 16 | (uint32_t)g << 8 | (uint32_t)b);
        }
    UnlockDrawScreenBuffer();
    return out;
}
