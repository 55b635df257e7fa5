#include "tests/zovuz/graphics/graphics_start_fixture.h"

#include <windows.h>

int StartSoftwareGraphics(int Width, int Height, int Depth)
{
    ChangeWindowMode(1);  // full screen would change the display mode
    SetUseHardwareRenderFlag(0);
    SetWaitVSyncFlag(0);
    if (SetGraphMode(Width, Height, Depth, 60) < 0)
        return -1;
    return InitializeGraphics();
}

void SoftwareGraphics::SetUpTestSuite()
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // the vertical-blank object is a COM object
    ASSERT_EQ(0, StartSoftwareGraphics(kScreenWidth, kScreenHeight, 32));
}

void SoftwareGraphics::TearDownTestSuite()
{
    TerminateGraphics();
    CoUninitialize();
}

void SoftwareGraphics::SetUp()
{
    ASSERT_EQ(1, GraphicsState.GraphicsStartedFlag);
    SetDrawValidGraphCreateFlag(0);
    ASSERT_EQ(0, SetDrawScreen(DX_SCREEN_BACK));
    SetDrawBlendMode(DX_BLENDMODE_NOBLEND, 0);
}

uint32_t PatternA(int X, int Y) { return (uint32_t)((X * 7 + Y) & 0xFF) << 16 | (uint32_t)((Y * 3) & 0xFF) << 8 | ((X ^ Y) & 0xFF); }
uint32_t PatternB(int X, int Y) { return 0x00102030u + (uint32_t)(X + Y * 256); }

TestImage MakeTestImage(int Width, int Height, uint32_t (*Pattern)(int X, int Y))
{
    TestImage t;
    t.Pixels.resize((size_t)Width * Height);
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            t.Pixels[(size_t)y * Width + x] = Pattern(x, y);
    t.Image = BASEIMAGE();
    CreateXRGB8ColorData(&t.Image.ColorData);
    t.Image.Width = Width;
    t.Image.Height = Height;
    t.Image.Pitch = Width * 4;
    t.Image.Pixels = t.Pixels.data();
    return t;
}

int MakeGraphOfPixels(int Width, int Height, const uint32_t *Pixels, int AlphaFlag)
{
    GraphCreateParam param;
    InitGraphCreateParam(&param);
    param.AlphaChannelFlag = AlphaFlag;
    const int graph = MakeGraphWithCreateParam(&param, Width, Height, 0, 0, 0, 0, 0);
    if (graph < 0 || FillGraphOfPixels(graph, Width, Height, Pixels, AlphaFlag) < 0) return -1;
    return graph;
}

int FillGraphOfPixels(int Graph, int Width, int Height, const uint32_t *Pixels, int AlphaFlag)
{
    BASEIMAGE image = {};
    if (AlphaFlag)
        CreateARGB8ColorData(&image.ColorData);
    else
        CreateXRGB8ColorData(&image.ColorData);
    image.Width = Width;
    image.Height = Height;
    image.Pitch = Width * 4;
    image.Pixels = const_cast<uint32_t *>(Pixels);
    return BltBmpOrBaseImageToGraph(nullptr, nullptr, nullptr, 0, &image, nullptr, 0, 0, Graph) < 0 ? -1 : 0;
}

std::vector<uint32_t> ReadPixels(int Target, int X, int Y, int Width, int Height)
{
    ImageRect rect = {X, Y, X + Width, Y + Height};
    BASEIMAGE image;
    if (LockDrawScreenBuffer(&rect, &image, Target, 0, 0, 1, 0) < 0)
        return {};
    std::vector<uint32_t> values;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            values.push_back(*(const uint32_t *)((const uint8_t *)image.Pixels + (size_t)y * image.Pitch + x * 4));
    UnlockDrawScreenBuffer();
    return values;
}

std::vector<uint32_t> Expected(int X, int Y, int Width, int Height, uint32_t (*Pattern)(int X, int Y))
{
    std::vector<uint32_t> values;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            values.push_back(Pattern(X + x, Y + y) & 0xFFFFFF);
    return values;
}

std::vector<uint32_t> ColorBits(std::vector<uint32_t> Values)
{
    for (uint32_t &v : Values)
        v &= 0xFFFFFF;
    return Values;
}

void EndTestMainWindow(void)
{
    HWND window = (HWND)GetMainWindowHandle();
    TerminateMainWindow();
    while (window != nullptr && IsWindow(window)) {
        DestroyWindow(window);
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&m);
    }
}
