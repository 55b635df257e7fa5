#include "tests/zovuz/filter/filter_fixture.h"

#include <stdarg.h>

void FilterGraphs::SetUpTestSuite()
{
    SoftwareGraphics::SetUpTestSuite();
    InitializeBaseImageTables();
}

void FilterGraphs::TearDown()
{
    for (int graph : Made) DeleteGraph(graph);
    Made.clear();
}

int FilterGraphs::Graph(const std::vector<uint32_t> &Pixels, int Width, int Height)
{
    BASEIMAGE image = {};
    CreateARGB8ColorData(&image.ColorData);
    image.Width = Width;
    image.Height = Height;
    image.Pitch = Width * 4;
    image.Pixels = (void *)Pixels.data();
    int graph = CreateGraphFromBaseImage(&image, nullptr, 0);
    EXPECT_GE(graph, 0);
    Made.push_back(graph);
    return graph;
}

int FilterGraphs::RandomGraph(std::mt19937 &Rng, int Width, int Height)
{
    return Graph(RandomPixels(Rng, Width * Height), Width, Height);
}

std::vector<uint32_t> RandomPixels(std::mt19937 &Rng, int Count)
{
    std::vector<uint32_t> pixels(Count);
    for (uint32_t &p : pixels) {
        p = Rng();
        int kind = Rng() % 4;
        if (kind == 0)
            p &= 0x00FFFFFF;
        else if (kind == 1)
            p |= 0xFF000000u;
    }
    return pixels;
}

std::vector<uint32_t> GraphPixels(int Graph)
{
    int width = 0, height = 0;
    GetGraphSize(Graph, &width, &height);
    return ReadPixels(Graph, 0, 0, width, height);
}

int FilterBase(int IsBlend, int Src, int Blend, int Dest, int Ratio, int Type, int X1, int Y1, int X2, int Y2,
               int DestX, int DestY, ...)
{
    va_list args;
    va_start(args, DestY);
    int result = GraphFilterBase(IsBlend, Src, Blend, Dest, Ratio, Type, X1, Y1, X2, Y2, 0, 0, 0, DestX, DestY, args);
    va_end(args);
    return result;
}
