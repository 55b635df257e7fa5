// The drawing calls: the pixel cases on the software renderer's screen and graphs, circles and
// rings, the refusals, and what reaches a Direct3D back end (the 2D projection, the primitives'
// forms, the subtractive-blend emulation, vertex colours).
#include "tests/zovuz/graphics/graphics_start_fixture.h"
#include "tests/zovuz/graphics/hardware_fixture.h"
#include "tests/zovuz/graphics/primitive_cases.h"
#include "zovuz/graphics/software/soft_draw_internal.h"

#include <string.h>

#include <functional>
#include <random>
#include <set>
#include <utility>

namespace {

class Drawing : public SoftwareGraphics
{
protected:
    void SetUp() override
    {
        SoftwareGraphics::SetUp();
        SetLibraryStarted(1);  // DrawGraph draws only once the library runs
    }
    void TearDown() override
    {
        SetLibraryStarted(0);
        GraphCreateSettings.ColorBitDepth = 0;
        SetDrawValidGraphCreateFlag(0);
    }

    // A draw-valid graph of the given depth (0 = the screen's).
    int MakeTarget(int Width, int Height, int Depth)
    {
        GraphCreateSettings.ColorBitDepth = Depth;
        SetDrawValidGraphCreateFlag(1);
        int graph = MakeGraph(Width, Height, 0);
        SetDrawValidGraphCreateFlag(0);
        GraphCreateSettings.ColorBitDepth = 0;
        return graph;
    }

    // The lit pixels (not black) of the case region.
    std::set<std::pair<int, int>> LitPixels()
    {
        std::set<std::pair<int, int>> lit;
        std::vector<uint32_t> colors = ReadCaseRegionByLock();
        for (int y = 0; y < kCaseHeight; ++y)
            for (int x = 0; x < kCaseWidth; ++x)
                if (colors[(size_t)y * kCaseWidth + x] != 0)
                    lit.insert({x, y});
        return lit;
    }
};

TEST_F(Drawing, PixelCasesHoldOnTheScreenAndOnGraphsOfBothDepths)
{
    struct Target
    {
        const char *Name;
        int Depth;  // -1 the back screen
    } targets[] = {{"back screen", -1}, {"32-bit graph", 32}, {"16-bit graph", 16}};
    for (const Target &t : targets) {
        SCOPED_TRACE(t.Name);
        int graph = t.Depth < 0 ? DX_SCREEN_BACK : MakeTarget(64, 40, t.Depth);
        ASSERT_EQ(0, SetDrawScreen(graph));
        RunPrimitiveCases(ReadCaseRegionByLock);
        SetDrawScreen(DX_SCREEN_BACK);
        if (t.Depth >= 0)
            DeleteGraph(graph);
    }
}

TEST_F(Drawing, CallsRefuseBadGraphsAndSizesBeforeDrawing)
{
    const int bad = 0x12345;
    int graph = MakeGraph(8, 8, 0), low = MakeGraph(8, 4, 0), narrow = MakeGraph(4, 8, 0);
    auto withBlendGraph = [&](int BlendGraph) {
        SetBlendGraph(BlendGraph, 0, 0);
        int result = DrawGraph(0, 0, graph, 0);
        SetBlendGraphParam(-1, 0, 0);
        return result;
    };
    VERTEX_UV_2D vertex[3] = {};
    struct Case
    {
        const char *Name;
        std::function<int()> Call;
        int Result;
    } cases[] = {
        {"DrawGraph of a bad handle", [&] { return DrawGraph(0, 0, bad, 0); }, -1},
        {"DrawExtendGraph of a bad handle", [&] { return DrawExtendGraph(0, 0, 4, 4, bad, 0); }, -1},
        {"DrawTurnGraph of a bad handle", [&] { return DrawTurnGraph(0, 0, bad, 0); }, -1},
        {"DrawModiGraph of a bad handle", [&] { return DrawModiGraph(0, 0, 1, 0, 1, 1, 0, 1, bad, 0); }, -1},
        {"DrawRectGraph of width 0", [&] { return DrawRectGraph(0, 0, 0, 0, 0, 4, graph, 0, 0); }, -1},
        {"DrawRectGraphF of height 0", [&] { return DrawRectGraphF(0, 0, 0, 0, 4, 0, graph, 0, 0); }, -1},
        {"DrawRectGraphF of a bad handle", [&] { return DrawRectGraphF(0, 0, 0, 0, 4, 4, bad, 0, 0); }, -1},
        {"DrawGraphRects without a block", [&] { return DrawGraphRects(nullptr); }, -1},
        {"DrawPrimitive2D with a bad graph", [&] { return DrawPrimitive2D(vertex, 3, 5, bad, 0); }, -1},
        {"DrawPrimitive2D on the software renderer", [&] { return DrawPrimitive2D(vertex, 3, 5, DX_NONE_GRAPH, 0); }, 0},
        {"DrawCircle of a negative radius", [&] { return DrawCircle(5, 5, -1, 0); }, 0},
        {"a blend graph lower than the graph", [&] { return withBlendGraph(low); }, -1},
        {"a blend graph narrower than the graph", [&] { return withBlendGraph(narrow); }, -1},
        {"DrawGraph before the library's start",
         [&] {
             SetLibraryStarted(0);
             int result = DrawGraph(0, 0, graph, 0);
             SetLibraryStarted(1);
             return result;
         },
         -1},
        {"an empty draw area before the handle check",
         [&] {
             SetDrawArea(3, 3, 3, 3);
             int result = DrawGraph(0, 0, bad, 0);
             SetDrawArea(0, 0, kScreenWidth, kScreenHeight);
             return result;
         },
         0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.Result, c.Call()) << c.Name;
    // The temporary graph of a float rectangle goes with the call.
    int blocks = GetAllocNum();
    EXPECT_EQ(0, DrawRectGraphF(1.0f, 1.0f, 2, 2, 4, 4, graph, 0, 1));
    EXPECT_EQ(0, DrawRectExtendGraphF(1.0f, 1.0f, 9.0f, 9.0f, 2, 2, 4, 4, graph, 0));
    EXPECT_EQ(blocks, GetAllocNum());
    DeleteGraph(graph);
    DeleteGraph(low);
    DeleteGraph(narrow);
}

TEST_F(Drawing, CirclesAndRingsAreSymmetricMidpointShapes)
{
    const int cx = 20, cy = 15;
    const unsigned int white = GetColorValue(255, 255, 255);
    // Mirrored left to right and top to bottom; a circle also across its diagonal (a ring's rows
    // run from the outer to the inner circle's outermost point, so it is not).
    auto symmetric = [&](const std::set<std::pair<int, int>> &lit, bool diagonal) {
        for (const auto &p : lit)
            if (!lit.count({2 * cx - p.first, p.second}) || !lit.count({p.first, 2 * cy - p.second}) ||
                (diagonal && !lit.count({cx + (p.second - cy), cy + (p.first - cx)})))
                return false;
        return true;
    };
    auto row = [&](const std::set<std::pair<int, int>> &lit, int y) {
        std::vector<int> xs;
        for (const auto &p : lit)
            if (p.second == y)
                xs.push_back(p.first);
        return xs;
    };

    ClearDrawScreen(nullptr);
    DrawCircle(cx, cy, 5, white, 1);
    std::set<std::pair<int, int>> disc = LitPixels();
    EXPECT_TRUE(symmetric(disc, true));
    // The midpoint steps of radius 5: (0, 5), (1, 5), (2, 5), (3, 4) and their mirror images.
    std::vector<size_t> widths;
    for (int y = cy - 6; y <= cy; ++y)
        widths.push_back(row(disc, y).size());
    EXPECT_EQ((std::vector<size_t>{0, 5, 7, 9, 11, 11, 11}), widths);
    EXPECT_EQ((std::vector<int>{18, 19, 20, 21, 22}), row(disc, cy - 5));

    ClearDrawScreen(nullptr);
    DrawCircle(cx, cy, 5, white, 0);
    std::set<std::pair<int, int>> outline = LitPixels();
    EXPECT_TRUE(symmetric(outline, true));
    EXPECT_EQ((std::vector<int>{15, 25}), row(outline, cy));
    EXPECT_EQ(row(disc, cy - 5), row(outline, cy - 5));
    for (const auto &p : outline)
        EXPECT_TRUE(disc.count(p));  // the outline is the disc's edge
    // Half-transparent, every pixel of the outline is drawn once.
    ClearDrawScreen(nullptr);
    SetDrawBlendMode(DX_BLENDMODE_ALPHA, 128);
    DrawCircle(cx, cy, 5, white, 0);
    SetDrawBlendMode(DX_BLENDMODE_NOBLEND, 0);
    std::vector<uint32_t> colors = ReadCaseRegionByLock();
    for (const auto &p : outline)
        EXPECT_EQ(0x808080u, colors[(size_t)p.second * kCaseWidth + p.first]) << p.first << " " << p.second;

    // Thickness 3: from radius 9 to 11 on the centre row; 4: from 9 (10 - 2 + 1) to 12.
    for (int thickness : {3, 4}) {
        ClearDrawScreen(nullptr);
        DrawCircle(cx, cy, 10, white, 1, thickness);
        std::set<std::pair<int, int>> ring = LitPixels();
        EXPECT_TRUE(symmetric(ring, false)) << thickness;
        int outer = 10 + thickness / 2;
        std::vector<int> want;
        for (int x = cx - outer; x <= cx - 9; ++x)
            want.push_back(x);
        for (int x = cx + 9; x <= cx + outer; ++x)
            want.push_back(x);
        EXPECT_EQ(want, row(ring, cy)) << thickness;
        EXPECT_TRUE(row(ring, cy - outer - 1).empty()) << thickness;
    }

    // The table itself: rows outside the draw area are not written.
    SetDrawArea(0, 0, kScreenWidth, 10);
    const CircleRingSpan *table = CalcCircleRingSpanTable(cx, cy, 10, 3);
    ASSERT_NE(nullptr, table);
    int spans[4];
    EXPECT_EQ(1, GetCircleRingRowSpans(&table[4], spans));  // y = 4: above the inner circle
    EXPECT_EQ(cx, (spans[0] + spans[1]) / 2);
    EXPECT_EQ(2, GetCircleRingRowSpans(&table[9], spans));
    EXPECT_EQ(0, GetCircleRingRowSpans(&table[3], spans));  // above the outer circle
}

TEST_F(Drawing, ASlantedThickLineFillsTheBandAroundItsCentreLine)
{
    ClearDrawScreen(nullptr);
    DrawLine(4, 4, 14, 14, GetColorValue(255, 255, 255), 3);
    std::set<std::pair<int, int>> lit = LitPixels();
    for (int i = 5; i < 13; ++i)
        EXPECT_TRUE(lit.count({i, i}) && lit.count({i + 1, i}) && lit.count({i, i + 1})) << i;
    // The corners, truncated to (5, 2), (15, 12), (2, 5), (12, 15), put the band's edges on x - y = -3
    // and 3: pixels centred on the left edge are lit, those on the right edge are not.
    for (const auto &p : lit)
        EXPECT_TRUE(p.first - p.second >= -3 && p.first - p.second < 3) << p.first << " " << p.second;
}

// The pixels a one-pixel line lights are the steps of its whole walk that fall inside the draw
// area, however far outside it the line begins and ends; end points a full 32-bit range apart
// keep the step pattern their distance gives.
TEST_F(Drawing, LinesLightTheStepsOfTheirWholeWalkInsideTheDrawArea)
{
    // The walk of every step, as the renderer once took it: the reference.
    auto walk = [](int64_t X1, int64_t Y1, int64_t X2, int64_t Y2) {
        std::set<std::pair<int, int>> points;
        int64_t dx = X2 > X1 ? X2 - X1 : X1 - X2, dy = Y2 > Y1 ? Y2 - Y1 : Y1 - Y2;
        int64_t sx = X1 < X2 ? 1 : -1, sy = Y1 < Y2 ? 1 : -1, x = X1, y = Y1;
        int64_t steps = dx >= dy ? dx : dy, err = steps / 2;
        for (int64_t i = 0; i < steps; ++i) {
            if (x >= 4 && x < 41 && y >= 3 && y < 27) points.insert({(int)x, (int)y});  // the draw area
            if (dx >= dy) {
                x += sx;
                err -= dy;
                if (err < 0) y += sy, err += dx;
            } else {
                y += sy;
                err -= dx;
                if (err < 0) x += sx, err += dy;
            }
        }
        return points;
    };
    struct Line
    {
        int X1, Y1, X2, Y2;
    };
    std::vector<Line> lines = {
        {-300000, 7, 300000, 19},     {45, -100000, 3, 100000}, {-70, -50, 90, 60},       {47, 31, -1000, -700},
        {-5000, 40, 5000, -40},       {10, 10, 10, -90000},     {-90000, 12, 90000, 12},  {46, 0, 46, 5},
    };
    std::mt19937 random(74);
    for (int i = 0; i < 60; ++i) {
        auto coordinate = [&] { return (int)(random() % 400) - 180; };
        lines.push_back({coordinate(), coordinate(), coordinate(), coordinate()});
    }
    const uint32_t white = GetColorValue(255, 255, 255);
    for (const Line &l : lines) {
        ClearDrawScreen(nullptr);
        SetDrawArea(4, 3, 41, 27);
        DrawLine(l.X1, l.Y1, l.X2, l.Y2, white);
        EXPECT_EQ(walk(l.X1, l.Y1, l.X2, l.Y2), LitPixels()) << l.X1 << " " << l.Y1 << " " << l.X2 << " " << l.Y2;
    }
    int width = 0, height = 0;
    GetGraphSize(GetDrawScreenHandle(), &width, &height);
    SetDrawArea(0, 0, width, height);

    // Four thousand million steps with one step sideways half-way: x 10 down to row 0, then 11.
    ClearDrawScreen(nullptr);
    DrawLine(10, -2000000000, 11, 2000000000, white);
    std::set<std::pair<int, int>> want = {{10, 0}};
    for (int y = 1; y < kCaseHeight; ++y) want.insert({11, y});
    EXPECT_EQ(want, LitPixels());
    ClearDrawScreen(nullptr);
    // The widest line there is: its step sideways comes at x = 0 (step 2^31, just past half of
    // 2^32 - 1).
    DrawLine(-2147483647 - 1, 5, 2147483647, 6, white);
    want.clear();
    for (int x = 0; x < kCaseWidth; ++x) want.insert({x, 6});
    EXPECT_EQ(want, LitPixels());
}

TEST_F(Drawing, TheStringTransferKeysAGivenValue)
{
    // A temporary screen filled with a value that is not the text's colour and drawn over the
    // target keeps the target wherever that value is left.
    MEMIMG temp = {};
    ASSERT_EQ(0, InitializeMemImg(&temp, 6, 2, MEMIMG_COLORTYPE_XRGB8));
    uint32_t key = GetColorValue(1, 2, 3), ink = GetColorValue(200, 100, 50);
    FillMemImg(&temp, nullptr, key);
    ImageRect inkRect = {2, 0, 4, 2};
    FillMemImg(&temp, &inkRect, ink);
    ClearDrawScreen(nullptr);
    SoftImageSource source = {&temp, 1, key, 0};
    EXPECT_EQ(0, SoftDrawImage(GetSoftwareDrawTarget(), 10, 10, 16, 12, &source));
    std::set<std::pair<int, int>> lit = LitPixels();
    EXPECT_EQ((std::set<std::pair<int, int>>{{12, 10}, {13, 10}, {12, 11}, {13, 11}}), lit);
    TerminateMemImg(&temp);
}

// Plain fills and copies write rows in 16-byte blocks and rows stretched from one source row in
// one pass: every width and offset around a block lands on its own pixels and no others, on 16-bit
// and 32-bit images.
TEST_F(Drawing, BlockWrittenFillsAndCopiesKeepToTheirPixels)
{
    constexpr int kWide = 48, kHigh = 6, kBackground = 0x5A5A5A5A;
    for (int type : {MEMIMG_COLORTYPE_565, MEMIMG_COLORTYPE_XRGB8}) {
        SCOPED_TRACE(type == MEMIMG_COLORTYPE_565 ? "16-bit" : "32-bit");
        const uint32_t mask = type == MEMIMG_COLORTYPE_565 ? 0xFFFF : 0xFFFFFFFF;
        MEMIMG dest = {}, source = {};
        ASSERT_EQ(0, InitializeMemImg(&dest, kWide, kHigh, type));
        ASSERT_EQ(0, InitializeMemImg(&source, 24, 3, type));
        auto at = [&](int X, int Y) {
            uint32_t v = 0;
            memcpy(&v, dest.UseImage + (size_t)Y * dest.Base->Pitch + (size_t)X * dest.Base->ColorData->PixelBytes,
                   dest.Base->ColorData->PixelBytes);
            return v & mask;
        };
        auto sourceValue = [&](int X, int Y) {
            return (0xFF000000u | (uint32_t)(X * 0x010305 + Y * 0x700000 + 1)) & mask;
        };
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 24; ++x) {
                ImageRect pixel = {x, y, x + 1, y + 1};
                FillMemImg(&source, &pixel, sourceValue(x, y));
            }
        // Each run checked whole: expect(x, y) is the pixel's value, or -1 for the background.
        auto check = [&](const char *What, int Left, int Width, const std::function<int64_t(int, int)> &Expect) {
            int wrong = 0;
            for (int y = 0; y < kHigh; ++y)
                for (int x = 0; x < kWide; ++x) {
                    int64_t want = Expect(x, y);
                    wrong += at(x, y) != (want < 0 ? kBackground & mask : (uint32_t)want);
                }
            EXPECT_EQ(0, wrong) << What << " at " << Left << ", " << Width << " wide";
        };
        for (int left = 0; left < 4; ++left)
            for (int width = 1; width <= 40; ++width) {
                FillMemImg(&dest, nullptr, kBackground);
                ImageRect run = {left, 2, left + width, 3};
                FillMemImg(&dest, &run, 0x12345678 & mask);
                check("a fill", left, width, [&](int x, int y) -> int64_t {
                    return y == 2 && x >= left && x < left + width ? (int64_t)(0x12345678 & mask) : -1;
                });
            }
        for (int left = 0; left < 2; ++left)
            for (int width = 1; width <= 23; ++width) {
                MEMIMG view = {};
                CreateMemImgView(&view, &source, 0, 0, width, 3);
                SoftImageSource plain = {&view, 0, 0, 0};
                for (int factor : {1, 2}) {
                    FillMemImg(&dest, nullptr, kBackground);
                    EXPECT_EQ(0, SoftDrawImage(&dest, left, 0, left + factor * width, kHigh, &plain));
                    check(factor == 1 ? "a copy of rows twice as high" : "a copy twice as wide and high", left, width,
                          [&](int x, int y) -> int64_t {
                              return x >= left && x < left + factor * width ? (int64_t)sourceValue((x - left) / factor, y / 2)
                                                                            : -1;
                          });
                }
                TerminateMemImg(&view);
            }
        TerminateMemImg(&source);
        TerminateMemImg(&dest);
    }
}

// ---- What reaches a Direct3D back end ----------------------------------------------------------------

class DrawDispatch : public GraphicsStateTest
{
};

TEST_F(DrawDispatch, PrimitivesReachTheBackEndInTheirForms)
{
    UseFakeBackend(GRAPHICS_API_D3D11);
    GraphicsDeviceCaps.SubtractiveBlendFlag = 1;
    const unsigned int c = 0xFF102030;
    struct Case
    {
        const char *Name;
        std::function<void()> Call;
        std::vector<std::string> Calls;
    } cases[] = {
        {"the first primitive makes the 2D projection current", [&] { DrawBox(1, 2, 3, 4, c, 1); },
         {"RenderVertexBuffer 0", "SetTransformToProjection", "DrawFillBox 1 2 3 4 FF102030"}},
        {"an outlined box", [&] { DrawBox(1, 2, 3, 4, c, 0); }, {"DrawLineBox 1 2 3 4 FF102030"}},
        {"a line", [&] { DrawLine(1, 2, 3, 4, c); }, {"DrawLine 1 2 3 4 FF102030"}},
        {"a horizontal line of odd thickness is a box", [&] { DrawLine(0, 5, 10, 5, c, 3); },
         {"DrawFillBox 0 4 10 7 FF102030"}},
        {"a slanted thick line is a strip of four vertices", [&] { DrawLine(0, 0, 0, 10, c, 2); },
         {"DrawPrimitive2D 4 5 0 0 (1 0 FF102030) (1 10 FF102030) (-1 0 FF102030) (-1 10 FF102030)"}},
        {"a disc", [&] { DrawCircle(5, 6, 7, c, 1); }, {"DrawCircle 5 6 7 FF102030 1"}},
        {"a ring ignores the fill flag", [&] { DrawCircle(5, 6, 7, c, 0, 4); },
         {"DrawCircleThickness 5 6 7 FF102030 4"}},
        {"a clear with a negative top clears all",
         [&] {
             ImageRect r = {0, -1, 4, 4};
             ClearDrawScreen(&r);
         },
         {"ClearDrawScreen all"}},
        {"an empty draw area keeps everything back",
         [&] {
             GraphicsDrawSettings.DrawAreaEmptyFlag = 1;
             DrawBox(1, 2, 3, 4, c, 1);
             DrawLine(1, 2, 3, 4, c, 3);
             DrawCircle(1, 2, 3, c);
             GraphicsDrawSettings.DrawAreaEmptyFlag = 0;
         },
         {}},
    };
    for (const Case &k : cases) {
        FakeHardware.Calls.clear();
        k.Call();
        EXPECT_EQ(k.Calls, FakeHardware.Calls) << k.Name;
    }
    // A new projection takes the 2D one off the device; the next primitive sends it again.
    MATRIX_D identity;
    CreateIdentityMatrixD(&identity);
    SetTransformToProjection(&identity);
    FakeHardware.Calls.clear();
    DrawLine(1, 2, 3, 4, c);
    EXPECT_EQ(1u, CallsStartingWith("SetTransformToProjection").size());
}

TEST_F(DrawDispatch, SubtractionIsEmulatedWithInvertingBoxesWhereTheDeviceLacksIt)
{
    UseFakeBackend(GRAPHICS_API_D3D9);
    GraphicsDrawSettings.Transform2DCurrentFlag = 1;
    SetDrawBlendMode(3, 100);
    SetDrawBright(255, 0, 0);
    for (int subtractive : {0, 1}) {
        GraphicsDeviceCaps.SubtractiveBlendFlag = subtractive;
        FakeHardware.Calls.clear();
        DrawBox(-5, 10, 20, 30, 0xFF102030, 1);
        std::vector<std::string> boxes = CallsStartingWith("DrawFillBox");
        if (subtractive) {
            EXPECT_EQ(std::vector<std::string>{"DrawFillBox -5 10 20 30 FF102030"}, boxes);
            continue;
        }
        // Invert, add, invert, over the bounds clamped into the draw area, with the bright white
        // for the inversions only.
        EXPECT_EQ((std::vector<std::string>{"DrawFillBox 0 10 20 30 FFFFFFFF", "DrawFillBox -5 10 20 30 FF102030",
                                            "DrawFillBox 0 10 20 30 FFFFFFFF"}),
                  boxes);
        EXPECT_EQ(3, GraphicsDrawSettings.BlendMode);
        EXPECT_EQ(100, GraphicsDrawSettings.BlendParam);
        EXPECT_EQ(0, GraphicsDrawSettings.DrawBrightGreen);
    }
    // The inverting boxes cover each primitive's bounds.
    GraphicsDeviceCaps.SubtractiveBlendFlag = 0;
    const struct
    {
        std::function<void()> Draw;
        const char *Box;
    } bounds[] = {
        {[] { DrawLine(10, 20, 30, 40, 0xFF102030); }, "DrawFillBox 9 19 32 42 FFFFFFFF"},
        {[] { DrawCircle(50, 60, 5, 0xFF102030); }, "DrawFillBox 44 54 56 66 FFFFFFFF"},
    };
    for (const auto &b : bounds) {
        FakeHardware.Calls.clear();
        b.Draw();
        std::vector<std::string> boxes = CallsStartingWith("DrawFillBox");
        ASSERT_FALSE(boxes.empty());
        EXPECT_EQ(b.Box, boxes.front());
    }
}

TEST_F(DrawDispatch, UserVerticesCarryTheDrawBrightAndBlend)
{
    UseFakeBackend(GRAPHICS_API_D3D11);
    GraphicsDeviceCaps.SubtractiveBlendFlag = 1;
    GraphicsDrawSettings.Transform2DCurrentFlag = 1;
    VERTEX_UV_2D v[3] = {{1, 2, 0, 0, {255, 255, 255, 255}}, {3, 4, 0, 0, {0, 128, 255, 200}}, {5, 6, 0, 0, {}}};
    SetDrawBright(128, 255, 255);
    SetDrawBlendMode(DX_BLENDMODE_ALPHA, 128);
    FakeHardware.Calls.clear();
    EXPECT_EQ(0, DrawPrimitive2D(v, 3, 4, DX_NONE_GRAPH, 1));
    EXPECT_EQ(std::vector<std::string>{"DrawPrimitive2D 3 4 0 1 (1 2 8080FFFF) (3 4 64808000) (5 6 00000000)"},
              FakeHardware.Calls);
    // Without blending the alpha stays.
    SetDrawBlendMode(DX_BLENDMODE_NOBLEND, 128);
    FakeHardware.Calls.clear();
    DrawPrimitive2D(v, 1, 4, DX_NONE_GRAPH, 0);
    EXPECT_EQ(std::vector<std::string>{"DrawPrimitive2D 1 4 0 0 (1 2 FF80FFFF)"}, FakeHardware.Calls);
    // A count whose copy would wrap the work buffer's size to a few bytes is refused.
    FakeHardware.Calls.clear();
    const int wrapping = int(0x100000000ull / sizeof(VERTEX2D)) + 1;
    EXPECT_EQ(-1, DrawPrimitive2D(v, wrapping, 4, DX_NONE_GRAPH, 0));
    EXPECT_TRUE(FakeHardware.Calls.empty());
}

}  // namespace
