// The untextured shapes of the Direct3D 9 back end: their geometry as plain numbers, and their
// pictures on the platform's own device, pixel for pixel against the walk or the ring table that
// defines them.
#include "tests/zovuz/d3d9/d3d9_fixture.h"

#include <climits>
#include <functional>
#include <map>
#include <set>

#include "zovuz/d3d9/d3d9_internal.h"
#include "zovuz/d3d9/draw/d3d9_shapes.h"
#include "zovuz/d3d9/draw/windows/d3d9_vertex_batch_win.h"

namespace {

using Pixels = std::set<std::pair<int, int>>;     // (x, y)
using Rows = std::map<int, std::pair<int, int>>;  // row -> its first (drawn) span

// The outline walk's points; each must come once (a blended outline would show a repeat).
Pixels OutlinePoints(int X, int Y, int R, int RightMinusOne = 0, int BottomMinusOne = 0)
{
    Pixels points;
    WalkCircleOutline(
        X, Y, R, RightMinusOne, BottomMinusOne,
        [](void *Context, int PX, int PY) {
            EXPECT_TRUE(((Pixels *)Context)->insert({PX, PY}).second) << "(" << PX << ", " << PY << ") comes twice";
        },
        &points);
    return points;
}

// The first span of each row, and whether a later one was wider.
Rows FirstSpans(int X, int Y, int R, bool *LaterWider = nullptr, int RightMinusOne = 0, int BottomMinusOne = 0)
{
    struct Walk
    {
        Rows First;
        bool Wider = false;
    } walk;
    D3D9WalkCircleSpans(
        X, Y, R, RightMinusOne, BottomMinusOne,
        [](void *Context, int Row, int Left, int Right) {
            Walk &w = *(Walk *)Context;
            auto it = w.First.find(Row);
            if (it == w.First.end())
                w.First[Row] = {Left, Right};
            else if (Right - Left > it->second.second - it->second.first)
                w.Wider = true;
        },
        &walk);
    if (LaterWider != nullptr) *LaterWider = walk.Wider;
    return walk.First;
}

Pixels SpanPixels(const Rows &Spans)
{
    Pixels p;
    for (const auto &[row, span] : Spans)
        for (int x = span.first; x <= span.second; ++x) p.insert({x, row});
    return p;
}

TEST(D3D9ShapeGeometry, AFilledCircleIsItsOutlineFilledRowByRow)
{
    for (int r = 0; r <= 60; ++r)
        for (int adjust = 0; adjust < (r > 1 ? 4 : 1); ++adjust) {
            SCOPED_TRACE(testing::Message() << "radius " << r << " adjust " << adjust);
            const int rm = adjust & 1, bm = adjust >> 1;
            bool laterWider = true;
            const Rows spans = FirstSpans(100, 100, r, &laterWider, rm, bm);
            EXPECT_FALSE(laterWider) << "a row drawn once must get its widest span first";
            // The outline lies inside the fill, and bounds every row of it.
            const Pixels outline = OutlinePoints(100, 100, r, rm, bm);
            for (const auto &[x, y] : outline) {
                auto it = spans.find(y);
                ASSERT_NE(spans.end(), it) << "outline row " << y << " is not filled";
                EXPECT_TRUE(x >= it->second.first && x <= it->second.second) << "(" << x << ", " << y << ")";
            }
            for (const auto &[row, span] : spans) {
                EXPECT_TRUE(outline.count({span.first, row})) << "row " << row << " starts off the outline";
                EXPECT_TRUE(outline.count({span.second, row})) << "row " << row << " ends off the outline";
            }
            if (rm == 0 && bm == 0)
                for (const auto &[row, span] : spans) {
                    EXPECT_EQ(200 - span.second, span.first) << "row " << row << " is not centred";
                    EXPECT_EQ(spans.at(200 - row), span) << "row " << row << " is not mirrored";
                }
        }
    EXPECT_EQ((Pixels{{100, 100}}), OutlinePoints(100, 100, 0));
    EXPECT_EQ((Pixels{{100, 100}}), SpanPixels(FirstSpans(100, 100, 0)));
}

TEST(D3D9ShapeGeometry, ABoxOutlineCoversItsBorderOnce)
{
    // Boxes of at least two pixels each way (a narrower one has coinciding bands).
    const int boxes[][4] = {{10, 20, 42, 36}, {5, 5, 7, 7}, {3, 4, 5, 30}, {3, 4, 30, 6}, {42, 36, 10, 20}};
    for (const auto &box : boxes) {
        SCOPED_TRACE(testing::Message() << box[0] << "," << box[1] << "-" << box[2] << "," << box[3]);
        int bands[4][4];
        D3D9LineBoxBands(box[0], box[1], box[2], box[3], bands);
        std::map<std::pair<int, int>, int> covered;
        for (const auto &b : bands)
            for (int y = std::min(b[1], b[3]); y < std::max(b[1], b[3]); ++y)
                for (int x = std::min(b[0], b[2]); x < std::max(b[0], b[2]); ++x) ++covered[{x, y}];
        const int l = std::min(box[0], box[2]), r = std::max(box[0], box[2]);
        const int t = std::min(box[1], box[3]), b = std::max(box[1], box[3]);
        for (int y = t - 1; y <= b; ++y)
            for (int x = l - 1; x <= r; ++x) {
                const bool border =
                    x >= l && x < r && y >= t && y < b && (x == l || x == r - 1 || y == t || y == b - 1);
                const int count = covered.count({x, y}) ? covered[{x, y}] : 0;
                EXPECT_EQ(border ? 1 : 0, count) << "(" << x << ", " << y << ")";
            }
    }
}

// ---- On the device -----------------------------------------------------------------------------------

// Black and white: the tests' colours pass through the software screen's 5-6-5 packing (graphics
// are not started), which keeps them exact.
constexpr uint32_t kWhite = 0xFFFFFF;

class D3D9Shapes : public D3D9DrawTest
{
protected:
    void SetUp() override
    {
        D3D9DrawTest::SetUp();
        GraphicsDrawSettings.DrawArea = ImageRect{0, 0, 640, 480};
        GraphicsDrawSettings.DrawZ = 0.0f;
        Graphics_D3D9_UpdateDiffuseColor();
        ASSERT_EQ(0, Graphics_D3D9_PixelCenterTest());
        ClearBackBuffer();
    }
    void TearDown() override
    {
        GraphicsDrawSettings.BlendMode = 0;
        GraphicsDrawSettings.BlendParam = 255;
        D3D9DrawTest::TearDown();
    }
    // The back buffer shows exactly Want in white.
    static void ExpectLit(const Pixels &Want)
    {
        ExpectCorner(BackBufferPixels(), 640, 480, [&](int X, int Y) { return Want.count({X, Y}) ? kWhite : 0; });
    }
};

Pixels Rect(int X1, int Y1, int X2, int Y2)
{
    Pixels p;
    for (int y = Y1; y < Y2; ++y)
        for (int x = X1; x < X2; ++x) p.insert({x, y});
    return p;
}

Pixels RingPixels(int X, int Y, int R, int T)
{
    Pixels p;
    const CircleRingSpan *rows = CalcCircleRingSpanTable(X, Y, R, T);
    for (int y = 0; rows != nullptr && y < 480; ++y) {
        int spans[4];
        const int num = GetCircleRingRowSpans(&rows[y], spans);
        for (int i = 0; i < num; ++i)
            for (int x = spans[i * 2]; x <= spans[i * 2 + 1]; ++x) p.insert({x, y});
    }
    return p;
}

TEST_F(D3D9Shapes, EachShapeLightsExactlyItsPixels)
{
    const unsigned white = GetColorValue(255, 255, 255);
    struct Case
    {
        const char *Name;
        std::function<int()> Draw;
        std::function<Pixels()> Want;
        ImageRect Area = {0, 0, 640, 480};
    };
    const Case cases[] = {
        {"filled box", [&] { return Graphics_D3D9_DrawFillBox(10, 20, 42, 36, white); },
         [] { return Rect(10, 20, 42, 36); }},
        {"filled box, corners reversed", [&] { return Graphics_D3D9_DrawFillBox(42, 36, 10, 20, white); },
         [] { return Rect(10, 20, 42, 36); }},
        {"filled box clipped by the draw area",
         [&] { return Graphics_D3D9_DrawFillBox(10, 20, 42, 36, white); },
         [] { return Rect(15, 25, 30, 36); },
         {15, 25, 30, 300}},
        {"box outline", [&] { return Graphics_D3D9_DrawLineBox(10, 20, 42, 36, white); },
         [] {
             Pixels p = Rect(10, 20, 42, 36);
             for (const auto &inner : Rect(11, 21, 41, 35)) p.erase(inner);
             return p;
         }},
        {"line to the right", [&] { return Graphics_D3D9_DrawLine(10, 20, 20, 20, white); },
         [] { return Rect(10, 20, 20, 21); }},
        {"line to the left", [&] { return Graphics_D3D9_DrawLine(20, 20, 10, 20, white); },
         [] { return Rect(11, 20, 21, 21); }},
        {"line down", [&] { return Graphics_D3D9_DrawLine(10, 20, 10, 30, white); },
         [] { return Rect(10, 20, 11, 30); }},
        {"line of length 1 across", [&] { return Graphics_D3D9_DrawLine(10, 20, 11, 20, white); },
         [] { return Rect(10, 20, 11, 21); }},
        {"line of length 1 down", [&] { return Graphics_D3D9_DrawLine(10, 20, 10, 21, white); },
         [] { return Rect(10, 20, 11, 21); }},
        {"line of length 0", [&] { return Graphics_D3D9_DrawLine(10, 20, 10, 20, white); }, [] { return Pixels(); }},
        {"circle outline", [&] { return Graphics_D3D9_DrawCircle(60, 50, 17, white, 0, 0, 0); },
         [] { return OutlinePoints(60, 50, 17); }},
        {"circle outline, right and lower half pulled in",
         [&] { return Graphics_D3D9_DrawCircle(60, 50, 17, white, 0, 1, 1); },
         [] { return OutlinePoints(60, 50, 17, 1, 1); }},
        {"circle outline cut by the draw area",
         [&] { return Graphics_D3D9_DrawCircle(60, 50, 17, white, 0, 0, 0); },
         [] {
             Pixels p;
             for (const auto &pt : OutlinePoints(60, 50, 17))
                 if (pt.first < 60 && pt.second >= 40) p.insert(pt);
             return p;
         },
         {0, 40, 60, 480}},
        {"filled circle", [&] { return Graphics_D3D9_DrawCircle(60, 50, 17, white, 1, 0, 0); },
         [] { return SpanPixels(FirstSpans(60, 50, 17)); }},
        {"filled circle of radius 0", [&] { return Graphics_D3D9_DrawCircle(60, 50, 0, white, 1, 0, 0); },
         [] { return Rect(60, 50, 61, 51); }},
        {"filled circle cut by the draw area",
         [&] { return Graphics_D3D9_DrawCircle(60, 50, 17, white, 1, 0, 0); },
         [] {
             Pixels p;
             for (const auto &pt : SpanPixels(FirstSpans(60, 50, 17)))
                 if (pt.first >= 55 && pt.first < 70 && pt.second < 45) p.insert(pt);
             return p;
         },
         {55, 0, 70, 45}},
        {"ring", [&] { return Graphics_D3D9_DrawCircleThickness(100, 100, 30, white, 5); },
         [] { return RingPixels(100, 100, 30, 5); }},
        {"ring of thickness 1", [&] { return Graphics_D3D9_DrawCircleThickness(100, 100, 30, white, 1) + 1; },
         [] { return Pixels(); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        GraphicsDrawSettings.DrawArea = c.Area;
        ClearBackBuffer();
        EXPECT_EQ(0, c.Draw());
        const Pixels want = c.Want();  // the ring table is made for the case's draw area
        GraphicsDrawSettings.DrawArea = ImageRect{0, 0, 640, 480};
        ExpectLit(want);
    }
}

// Half-transparent shapes show each pixel once: a pixel drawn twice would be darker or lighter,
// so every shape shows the one colour a single blend gives.
TEST_F(D3D9Shapes, HalfTransparentShapesBlendEveryPixelOnce)
{
    GraphicsDrawSettings.BlendMode = DX_BLENDMODE_ALPHA;
    GraphicsDrawSettings.BlendParam = 128;
    Graphics_D3D9_UpdateDiffuseColor();
    const unsigned color = GetColorValue(250, 200, 100);
    // A filled circle of radius 41: its span walk meets some rows twice. Outlines of radius 17
    // and 41 reach the diagonal, where the walk's mirrored points meet; radius 0 is its centre four
    // times over.
    const std::function<int()> draws[] = {
        [&] { return Graphics_D3D9_DrawCircle(100, 100, 41, color, 1, 0, 0); },
        [&] { return Graphics_D3D9_DrawCircle(100, 100, 40, color, 0, 0, 0); },
        [&] { return Graphics_D3D9_DrawCircle(100, 100, 41, color, 0, 0, 0); },
        [&] { return Graphics_D3D9_DrawCircle(100, 100, 17, color, 0, 1, 1); },
        [&] { return Graphics_D3D9_DrawCircle(100, 100, 0, color, 0, 0, 0); },
        [&] { return Graphics_D3D9_DrawCircleThickness(100, 100, 41, color, 6); },
    };
    std::set<uint32_t> colors;
    for (size_t i = 0; i < std::size(draws); ++i) {
        SCOPED_TRACE(i);
        ClearBackBuffer();
        ASSERT_EQ(0, draws[i]());
        int lit = 0;
        for (uint32_t pixel : BackBufferPixels())
            if (pixel != 0) colors.insert(pixel), ++lit;
        ASSERT_LT(0, lit);
        EXPECT_EQ(1u, colors.size()) << std::hex << *colors.begin() << " .. " << *colors.rbegin();
    }
}

// The pixel-centre test leaves nothing behind (the offset it chooses is what the pictures above
// are drawn with).
TEST_F(D3D9Shapes, ThePixelCentreTestLeavesTheScreen)
{
    ASSERT_EQ(0, Graphics_D3D9_PixelCenterTest());
    ExpectLit({});
}

TEST_F(D3D9Shapes, FailuresReturnMinusOne)
{
    // A row table the size of the draw area's bottom cannot be had.
    const ImageRect area = GraphicsDrawSettings.DrawArea;
    LogAppendReader log;
    GraphicsDrawSettings.DrawArea.bottom = INT_MAX - 16;
    EXPECT_EQ(-1, Graphics_D3D9_DrawCircle(60, 50, 17, 0xFFFFFF, 1, 0, 0));
    GraphicsDrawSettings.DrawArea = area;
    EXPECT_TRUE(Contains(log.Appended(), L"メモリの確保に失敗しました in G_D3D_DrawCircle"));

    Graphics_D3D9_Terminate();
    const std::function<int()> calls[] = {
        [] { return Graphics_D3D9_DrawFillBox(0, 0, 4, 4, 0); },
        [] { return Graphics_D3D9_DrawLineBox(0, 0, 4, 4, 0); },
        [] { return Graphics_D3D9_DrawLine(0, 0, 4, 4, 0); },
        [] { return Graphics_D3D9_DrawCircle(9, 9, 4, 0, 0, 0, 0); },
        [] { return Graphics_D3D9_DrawCircle(9, 9, 4, 0, 1, 0, 0); },
        [] { return Graphics_D3D9_DrawCircleThickness(9, 9, 4, 0, 2); },
    };
    for (const auto &call : calls) EXPECT_EQ(-1, call());
}

}  // namespace
