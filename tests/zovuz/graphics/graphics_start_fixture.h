// Graphics started on the software renderer as the library's start-up starts them, without the
// library's window: window mode, no vertical-blank wait, a 160 x 120 screen of 32 bits.
#pragma once

#include <gtest/gtest.h>

#include <stdint.h>

#include <vector>

#include "zovuz/graphics/graph/graph_internal.h"

class SoftwareGraphics : public testing::Test
{
protected:
    static constexpr int kScreenWidth = 160, kScreenHeight = 120;
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    // Each test starts with the back screen as draw target and the default settings.
    void SetUp() override;
};

// Ends the library's main window and waits until it is gone.
void EndTestMainWindow(void);

// Sets the screen mode (before a start) and starts graphics. 0 / -1.
int StartSoftwareGraphics(int Width, int Height, int Depth);

// A 32-bit XRGB image of Width x Height whose pixel (x, y) is Pattern(x, y).
struct TestImage
{
    BASEIMAGE Image;
    std::vector<uint32_t> Pixels;
};
TestImage MakeTestImage(int Width, int Height, uint32_t (*Pattern)(int X, int Y));
uint32_t PatternA(int X, int Y);
uint32_t PatternB(int X, int Y);

// A Width x Height graph of 0x00RRGGBB pixels (or 0xAARRGGBB with AlphaFlag), made on the renderer
// in use; -1 when it cannot be made or filled.
int MakeGraphOfPixels(int Width, int Height, const uint32_t *Pixels, int AlphaFlag = 0);
// The same pixels written into a graph of that size that exists. 0 / -1.
int FillGraphOfPixels(int Graph, int Width, int Height, const uint32_t *Pixels, int AlphaFlag = 0);

// The raw pixel values of a rectangle of a draw target (a graph, -2 or -4) through the lock, or
// empty when the lock refuses.
std::vector<uint32_t> ReadPixels(int Target, int X, int Y, int Width, int Height);
// Pattern(X + x, Y + y) for the same rectangle, colour bits only.
std::vector<uint32_t> Expected(int X, int Y, int Width, int Height, uint32_t (*Pattern)(int X, int Y));
// Only the colour bits of each value.
std::vector<uint32_t> ColorBits(std::vector<uint32_t> Values);
