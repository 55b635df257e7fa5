// Graphs of 32-bit ARGB pixels on the software renderer, for the filter tests.
#pragma once

#include <stdint.h>

#include <random>
#include <vector>

#include "tests/zovuz/graphics/graphics_start_fixture.h"
#include "zovuz/filter/zovuz_filter.h"

class FilterGraphs : public SoftwareGraphics
{
protected:
    static void SetUpTestSuite();
    void TearDown() override;
    // A graph holding Pixels (Width x Height, rows top first); deleted after the test.
    int Graph(const std::vector<uint32_t> &Pixels, int Width, int Height);
    // A graph of random pixels (see RandomPixels).
    int RandomGraph(std::mt19937 &Rng, int Width, int Height);

private:
    std::vector<int> Made;
};

// Random ARGB pixels; a quarter of them fully transparent and a quarter opaque.
std::vector<uint32_t> RandomPixels(std::mt19937 &Rng, int Count);
// Every pixel of a graph, rows top first.
std::vector<uint32_t> GraphPixels(int Graph);

// A call of GraphFilterBase with its arguments after the type.
int FilterBase(int IsBlend, int Src, int Blend, int Dest, int Ratio, int Type, int X1, int Y1, int X2, int Y2,
               int DestX, int DestY, ...);
