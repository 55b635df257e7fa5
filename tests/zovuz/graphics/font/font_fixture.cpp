#include "tests/zovuz/graphics/font/font_fixture.h"

#include <windows.h>

#include "tests/zovuz/graphics/graphics_start_fixture.h"

int CellPixel(const FontHandleData &Font, const FontCharData &Cell, int X, int Y, bool Edge)
{
    const int side = Font.Metrics.CellSide;
    const int x = Cell.Column * side + X, y = Cell.Row * side + Y;
    if (Font.TextureCacheFlag) {
        int alpha = 0;
        BASEIMAGE image = Font.CacheImage;
        GetPixelBaseImage(&image, x + (Edge ? Font.CacheWidth : 0), y, nullptr, nullptr, nullptr, &alpha);
        return alpha;
    }
    const uint8_t *row = Font.SoftCacheBuffer + (size_t)y * Font.SoftCachePitch;
    return Font.SoftCacheBitDepth == 1 ? (row[x >> 3] >> (7 - (x & 7))) & 1 : row[x];
}

CellInk InkOfCell(const FontHandleData &Font, const FontCharData &Cell)
{
    CellInk ink;
    const int side = Font.Metrics.CellSide;
    const bool edgeLayer = Font.TextureCacheFlag && (Font.FontType & DX_FONTTYPE_EDGE);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            if (CellPixel(Font, Cell, x, y) == 0 && !(edgeLayer && CellPixel(Font, Cell, x, y, true) != 0))
                continue;
            ++ink.Pixels;
            if (x >= Cell.Width || y >= Cell.Height)
                ink.InsideBox = false;
        }
    return ink;
}

FontCharData *CellOf(FontHandleData *Font, uint32_t Code)
{
    return GetFontCacheCharData(Font, Code, nullptr, nullptr, nullptr, 0, 0);
}

void SoftwareFonts::SetUp()
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ASSERT_EQ(0, StartSoftwareGraphics(640, 480, 32));
    ASSERT_EQ(1, FontSystem.StartedFlag);
}

void SoftwareFonts::TearDown()
{
    TerminateGraphics();
    FontGDITestHooks = FontGDITestHooksData();
    CoUninitialize();
}

void TextureFonts::SetUp()
{
    GraphicsStateTest::SetUp();
    ChangeWindowMode(1);
    SetWaitVSyncFlag(0);
    SetUseHardwareRenderFlag(1);
    RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, &Table);
}

void TextureFonts::Start(int Width, int Height)
{
    SetGraphMode(Width, Height, 32, 60);
    GraphicsDeviceCaps.MaxTextureSize = 4096;
    ASSERT_EQ(0, InitializeGraphics());
    ASSERT_EQ(1, GraphicsState.HardwareInUseFlag);
    GraphicsDeviceCaps.MaxTextureSize = 4096;
    FakeHardware.Calls.clear();
}

void TextureFonts::TearDown()
{
    TerminateGraphics();
    FontGDITestHooks = FontGDITestHooksData();
    GraphicsStateTest::TearDown();
}
