// The filter front end on the software renderer: refused and empty calls, clipping, the chroma
// sizes of the YUV filter, the in-place DownScale and the Gauss kernel widths.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

#include "tests/zovuz/filter/filter_fixture.h"
#include "zovuz/filter/graph_filter_internal.h"

namespace {

class GraphFilterFront : public FilterGraphs
{
};

// The truncating average, per byte, of the 2 x 2 block at (X * 2, Y * 2) of a picture Width wide.
uint32_t BlockAverage(const std::vector<uint32_t> &Pixels, int Width, int X, int Y)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        uint32_t sum = 0;
        for (int j = 0; j < 4; ++j) sum += Pixels[(Y * 2 + j / 2) * Width + X * 2 + j % 2] >> shift & 255;
        out |= sum / 4 << shift;
    }
    return out;
}

TEST_F(GraphFilterFront, RefusedAndEmptyCallsDrawNothing)
{
    std::mt19937 rng(5);
    const int src = RandomGraph(rng, 16, 8), dest = RandomGraph(rng, 16, 8), deleted = RandomGraph(rng, 4, 4);
    DeleteGraph(deleted);
    struct Row
    {
        const char *Name;
        int Expect;
        std::function<int()> Call;
    };
    const Row rows[] = {
        {"negative id", -1, [&] { return GraphFilterBlt(src, dest, -1); }},
        {"id 25", -1, [&] { return GraphFilterBlt(src, dest, 25); }},
        {"blend type 34", -1, [&] { return FilterBase(1, src, src, dest, 255, 34, 0, 0, 16, 8, 0, 0); }},
        {"deleted blend graph", -1, [&] { return FilterBase(1, src, deleted, dest, 255, 0, 0, 0, 16, 8, 0, 0); }},
        {"deleted source", -1, [&] { return GraphFilterBlt(deleted, dest, 6); }},
        {"deleted destination", -1, [&] { return GraphFilterBlt(src, deleted, 6); }},
        {"empty rectangle", -1, [&] { return GraphFilterRectBlt(src, dest, 5, 0, 5, 8, 0, 0, 6); }},
        {"BrightClip compare 3", -1, [&] { return GraphFilterBlt(src, dest, 3, 3, 128, 0); }},
        {"YUV 12 has no chroma graph", -1, [&] { return GraphFilterBlt(src, dest, 12); }},
        {"YUV 14 has no chroma graph", -1, [&] { return GraphFilterRectBlt(src, dest, 0, 0, 8, 8, 0, 0, 14); }},
        {"YUV 15 off the left half", -1, [&] { return GraphFilterRectBlt(src, dest, 0, 0, 9, 8, 0, 0, 15, src); }},
        {"GradientMap of a deleted graph", -1, [&] { return GraphFilterBlt(src, dest, 9, deleted, 0); }},
        {"destination x at its width", 0, [&] { return GraphFilterRectBlt(src, dest, 0, 0, 16, 8, 16, 0, 6); }},
        {"rectangle left of the source", 0, [&] { return GraphFilterRectBlt(src, dest, -20, 0, -4, 8, 0, 0, 6); }},
        {"DownScale of less than its ratio", 0, [&] { return GraphFilterRectBlt(src, dest, 0, 0, 3, 8, 0, 0, 2, 4); }},
        {"Bicubic without shaders", 0, [&] { return GraphFilterBlt(src, dest, 16, 32, 16); }},
    };
    const std::vector<uint32_t> srcBefore = GraphPixels(src), destBefore = GraphPixels(dest);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.Name);
        EXPECT_EQ(row.Expect, row.Call());
        EXPECT_EQ(srcBefore, GraphPixels(src));
        EXPECT_EQ(destBefore, GraphPixels(dest));
    }
}

TEST_F(GraphFilterFront, GraphStillLoadingIsRefusedAndKept)
{
    std::mt19937 rng(6);
    const int graph = RandomGraph(rng, 8, 8);
    const std::vector<uint32_t> before = GraphPixels(graph);
    ASSERT_EQ(0, IncASyncLoadCount(graph, 0));
    EXPECT_EQ(-1, GraphFilter(graph, DX_GRAPH_FILTER_INVERT));
    DecASyncLoadCount(graph);
    EXPECT_EQ(before, GraphPixels(graph));
}

TEST_F(GraphFilterFront, ChromaGraphOfWholeHalfOrQuarterSize)
{
    const int luma = Graph(std::vector<uint32_t>(640 * 480, 0xFF808080), 640, 480);
    const int out = Graph(std::vector<uint32_t>(640 * 480, 0), 640, 480);
    for (int width : {640, 320, 160})
        for (int height : {480, 240, 120}) {
            const int chroma = Graph(std::vector<uint32_t>(width * height, 0x8080), width, height);
            EXPECT_EQ(0, GraphFilterBlt(luma, out, DX_GRAPH_FILTER_Y2UV1_TO_RGB, chroma)) << width << "x" << height;
            EXPECT_EQ(0xFF808080, GraphPixels(out)[640 * 480 - 1]);
            DeleteGraph(chroma);
        }
    for (int wrongWidth : {0, 1}) {
        const int width = wrongWidth ? 200 : 320, height = wrongWidth ? 240 : 200;
        const int wrong = Graph(std::vector<uint32_t>(width * height, 0x8080), width, height);
        EXPECT_EQ(-1, GraphFilterBlt(luma, out, DX_GRAPH_FILTER_Y2UV1_TO_RGB, wrong)) << width << "x" << height;
    }
}

TEST_F(GraphFilterFront, NegativeSourceEdgeMovesTheDestination)
{
    std::mt19937 rng(7);
    const std::vector<uint32_t> srcPixels = RandomPixels(rng, 20 * 2), destPixels = RandomPixels(rng, 20 * 2);
    const int src = Graph(srcPixels, 20, 2), dest = Graph(destPixels, 20, 2);
    ASSERT_EQ(0, GraphFilterRectBlt(src, dest, -10, 0, 10, 2, 0, 0, DX_GRAPH_FILTER_INVERT));
    std::vector<uint32_t> expect = destPixels;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 10; ++x) expect[y * 20 + 10 + x] = srcPixels[y * 20 + x] ^ 0x00FFFFFF;
    EXPECT_EQ(expect, GraphPixels(dest));
}

// Random rectangles, positions, filters and arguments: no pixel outside the part of the
// destination that the clipped rectangle covers ever changes.
TEST_F(GraphFilterFront, PixelsOutsideTheDestinationRectangleNeverChange)
{
    std::mt19937 rng(8);
    auto between = [&](int lo, int hi) { return lo + (int)(rng() % (unsigned)(hi - lo + 1)); };
    const int filters[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 18, 19, 20, 21, 22, 23};
    for (int round = 0; round < 300; ++round) {
        const int sw = between(1, 40), sh = between(1, 30), dw = between(1, 40), dh = between(1, 30);
        const int src = RandomGraph(rng, sw, sh), dest = RandomGraph(rng, dw, dh);
        const int x1 = between(-15, 45), y1 = between(-15, 35), x2 = x1 + between(-2, 50), y2 = y1 + between(-2, 40);
        const int dx = between(-15, 45), dy = between(-15, 35);
        const bool blend = round % 5 == 0;
        const int type = blend ? between(0, 33) : filters[rng() % 17];
        int a[7];
        for (int &v : a) v = between(-20, 300);
        a[0] = type == 3 || type == 18 ? (rng() % 2 ? 2 : 5) : a[0];  // a compare BrightClip takes
        const std::vector<uint32_t> before = GraphPixels(dest);
        const int result = blend ? FilterBase(1, src, RandomGraph(rng, sw, sh), dest, a[6], type, x1, y1, x2, y2, dx,
                                              dy, a[0] % 10, a[1] % 10, a[2] % 10, a[3] % 10)
                                 : GraphFilterRectBlt(src, dest, x1, y1, x2, y2, dx, dy, type, a[0], a[1], a[2], a[3],
                                                      a[4], a[5], a[6]);
        SCOPED_TRACE(testing::Message() << "round " << round << " type " << type << (blend ? " blend" : ""));
        EXPECT_EQ(x2 > x1 && y2 > y1 ? 0 : -1, result);
        // Where the rectangle lands: the source rectangle inside the source, moved to the
        // destination and cut to it; DownScale writes it reduced by its ratio.
        const int ratio = !blend && type == 2 ? (a[0] <= 2 ? 2 : a[0] <= 4 ? 4 : 8) : 1;
        const int offX = dx - x1, offY = dy - y1;
        const int left = std::max({x1, 0, -offX}) + offX, top = std::max({y1, 0, -offY}) + offY;
        const int right = left + std::min((std::min(x2, sw) - left + offX) / ratio, dw - left);
        const int bottom = top + std::min((std::min(y2, sh) - top + offY) / ratio, dh - top);
        const std::vector<uint32_t> after = GraphPixels(dest);
        for (int y = 0; y < dh; ++y)
            for (int x = 0; x < dw; ++x)
                if (x < left || x >= right || y < top || y >= bottom) {
                    ASSERT_EQ(before[y * dw + x], after[y * dw + x]) << "pixel " << x << ", " << y;
                }
        TearDown();
    }
}

// In place, DownScale leaves the reduced picture at the rectangle's corner and clears the rest; a
// graph smaller than one block is cleared whole.
TEST_F(GraphFilterFront, InPlaceDownScaleLandsOnTheClearedRectangle)
{
    struct Case
    {
        int Width, Height, Ratio;
    };
    for (const Case &c : {Case{8, 8, 2}, Case{7, 5, 2}, Case{7, 5, 8}}) {
        SCOPED_TRACE(testing::Message() << c.Width << " x " << c.Height << " by " << c.Ratio);
        std::mt19937 rng(9);
        const std::vector<uint32_t> pixels = RandomPixels(rng, c.Width * c.Height);
        const int graph = Graph(pixels, c.Width, c.Height);
        ASSERT_EQ(0, GraphFilter(graph, DX_GRAPH_FILTER_DOWN_SCALE, c.Ratio));
        std::vector<uint32_t> expect(pixels.size(), 0);
        for (int y = 0; y < c.Height / c.Ratio; ++y)
            for (int x = 0; x < c.Width / c.Ratio; ++x) expect[y * c.Width + x] = BlockAverage(pixels, c.Width, x, y);
        EXPECT_EQ(expect, GraphPixels(graph));
    }
}

// DownScale near the destination's right edge: the rectangle is cut to what the reduced picture
// needs, (width - x) x ratio source columns.
TEST_F(GraphFilterFront, DownScaleFillsTheDestinationUpToItsEdge)
{
    std::mt19937 rng(10);
    const std::vector<uint32_t> src = RandomPixels(rng, 40 * 2), dest = RandomPixels(rng, 40);
    const int from = Graph(src, 40, 2), to = Graph(dest, 40, 1);
    ASSERT_EQ(0, GraphFilterRectBlt(from, to, 0, 0, 40, 2, 30, 0, DX_GRAPH_FILTER_DOWN_SCALE, 2));
    std::vector<uint32_t> expect = dest;
    for (int x = 0; x < 10; ++x) expect[30 + x] = BlockAverage(src, 40, x, 0);
    EXPECT_EQ(expect, GraphPixels(to));
}

// A white column at the left edge of a black row spreads right as far as the kernel reaches:
// 6, 14 or 30 pixels for kernel widths 8, 16 and 32.
TEST_F(GraphFilterFront, GaussReachFollowsThePixelWidth)
{
    const struct
    {
        int PixelWidth, Reach;
    } rows[] = {{0, 6}, {8, 6}, {9, 14}, {16, 14}, {17, 30}, {1000, 30}};
    for (const auto &row : rows) {
        std::vector<uint32_t> pixels(64, 0xFF000000);
        pixels[0] = 0xFFFFFFFF;
        const int graph = Graph(pixels, 64, 1);
        ASSERT_EQ(0, GraphFilter(graph, DX_GRAPH_FILTER_GAUSS, row.PixelWidth, 100000));
        const std::vector<uint32_t> out = GraphPixels(graph);
        int reach = 0;
        for (int x = 0; x < 64; ++x)
            if (out[x] & 0xFF) reach = x;
        EXPECT_EQ(row.Reach, reach) << "pixel width " << row.PixelWidth;
    }
}

// What the pass loop does when a back end's pass framework says no: a pass set-up that fails or
// hands back a handle that is no graph ends the passes with -1, a pass count of 0 runs no kernel
// and reports success; the end and the final copy run every time. (Bicubic's processor pass
// itself draws nothing and succeeds.)
struct PassProbe
{
    int SetupResult, PassDest, PassCount;
    int Ends, Copies, CopiedDest, CopiedResult;
    int CopyResult;
};
PassProbe Probe;

TEST_F(GraphFilterFront, PassFrameworkAnswersEndTheLoop)
{
    GraphFilterBackendFunctions fake = {};
    fake.Filter_Begin = [](GraphFilterInfo *Info, GraphFilterParams *) {
        Info->PassCount = Probe.PassCount;
        return 0;
    };
    fake.Filter_SetupPass = [](GraphFilterInfo *, int *, int *Dest) {
        *Dest = Probe.PassDest;
        return Probe.SetupResult;
    };
    fake.Filter_End = [] { return ++Probe.Ends, 0; };
    fake.Filter_Copy = [](GraphFilterInfo *, int Dest, int Result) {
        Probe.CopiedDest = Dest, Probe.CopiedResult = Result;
        return ++Probe.Copies, Probe.CopyResult;
    };
    std::mt19937 rng(11);
    const int src = RandomGraph(rng, 4, 4), dest = RandomGraph(rng, 4, 4);
    const std::vector<uint32_t> before = GraphPixels(dest);
    const struct
    {
        const char *Name;
        PassProbe Set;
        int Expect, CopiedDest, CopiedResult;
    } rows[] = {
        {"set-up fails", {-1, dest, 1}, -1, dest, -1},
        {"pass destination is no graph", {0, 0x7FFF0000, 1}, -1, 0x7FFF0000, -1},
        {"no pass", {0, dest, 0}, 0, -1, -1},
        {"the copy fails", {0, dest, 1, 0, 0, 0, 0, -1}, -1, dest, 0},
    };
    const int apiType = GraphicsAPIType;
    const GraphFilterBackendFunctions *registered = GraphFilterState.Backend[GRAPHICS_API_D3D9];
    GraphicsAPIType = GRAPHICS_API_D3D9;
    RegisterGraphFilterBackend(GRAPHICS_API_D3D9, &fake);
    for (const auto &row : rows) {
        SCOPED_TRACE(row.Name);
        Probe = row.Set;
        EXPECT_EQ(row.Expect, GraphFilterBlt(src, dest, DX_GRAPH_FILTER_BICUBIC_SCALE, 8, 8));
        EXPECT_EQ(1, Probe.Ends);
        EXPECT_EQ(1, Probe.Copies);
        EXPECT_EQ(row.CopiedDest, Probe.CopiedDest);
        EXPECT_EQ(row.CopiedResult, Probe.CopiedResult);
        EXPECT_EQ(before, GraphPixels(dest));
    }
    RegisterGraphFilterBackend(GRAPHICS_API_D3D9, registered);
    GraphicsAPIType = apiType;
}

}  // namespace
