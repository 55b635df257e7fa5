// 2-D drawing on the platform's own Direct3D 11 (Wine's, on llvmpipe), read back from the back
// screen: the graphics area's pixel cases unchanged, and the pixels the back end's geometry must
// light, as masks written out by hand.
#include <gtest/gtest.h>

#include <math.h>
#include <stdlib.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "tests/zovuz/d3d11/draw_fixture.h"
#include "tests/zovuz/graphics/graphics_start_fixture.h"
#include "tests/zovuz/graphics/primitive_cases.h"
#include "zovuz/d3d11/d3d11_internal.h"
#include "zovuz/d3d11/draw/windows/d3d11_3d_draw_win.h"
#include "zovuz/d3d11/state/windows/d3d11_device_state_win.h"
#include "zovuz/d3d11/zovuz_d3d11.h"

namespace {

class D3D11Drawing : public testing::Test
{
protected:
    // Graphics on Direct3D 11 in a 160 x 120 window; SetUp checks that they started there.
    static void SetUpTestSuite()
    {
        ASSERT_EQ(0, OpenDrawingWindow("d3d11 drawing", 160, 120));
        StartDrawingGraphics(true, 160, 120);
    }
    static void TearDownTestSuite()
    {
        TerminateGraphics();
        CloseDrawingWindow();
    }
    void SetUp() override
    {
        if (getenv("TARVEX_D3D11_DISABLED") != nullptr) GTEST_SKIP() << "d3d11.dll is switched off in this run";
        ASSERT_EQ(GRAPHICS_API_D3D11, GetGraphicsAPIType());
        ASSERT_EQ(0, SetDrawScreen(DX_SCREEN_BACK));
        SetDrawArea(0, 0, 160, 120);
        SetDrawBlendMode(DX_BLENDMODE_NOBLEND, 0);
        SetBackgroundColor(0, 0, 0);
        ClearDrawScreen(nullptr);
    }
};

// A mask drawn as rows of text: '#' lit, anything else dark; its top-left at (X, Y).
struct Mask
{
    int X, Y;
    std::vector<std::string> Rows;
    bool Lit(int PX, int PY) const
    {
        const int row = PY - Y, col = PX - X;
        return row >= 0 && row < (int)Rows.size() && col >= 0 && col < (int)Rows[row].size() && Rows[row][col] == '#';
    }
};

// Reads the case region back and expects white exactly where Lit says, black elsewhere; returns
// the number of white pixels.
int ExpectLit(const std::function<bool(int X, int Y)> &Lit)
{
    const std::vector<uint32_t> got = ReadCaseRegionByLock();
    EXPECT_EQ((size_t)kCaseWidth * kCaseHeight, got.size());
    if (got.size() != (size_t)kCaseWidth * kCaseHeight) return 0;
    std::vector<std::string> wrong;
    for (int y = 0; y < kCaseHeight; ++y)
        for (int x = 0; x < kCaseWidth; ++x) {
            const uint32_t want = Lit(x, y) ? 0xFFFFFFu : 0u, pixel = got[(size_t)y * kCaseWidth + x];
            if (want != pixel)
                wrong.push_back("(" + std::to_string(x) + ", " + std::to_string(y) + ") " + std::to_string(pixel));
        }
    EXPECT_TRUE(wrong.empty()) << wrong.size() << " pixels differ, first " << wrong[0];
    return (int)std::count(got.begin(), got.end(), 0xFFFFFFu);
}

// Three cases ask for a tie the software renderer breaks its own way, where the back end's
// vertices are fixed (line ends +0.5, stretch corners and texture coordinates unrounded) and the
// device's rules decide: a line through pixel corners (the diamond rule lights the pixel below at
// each of the five ties), the same across 2,000,000 pixels (the device puts the whole visible part
// in row 10, on the tie), and a stretch whose texel edges fall exactly on pixel centres (the
// interpolated coordinate lands just short of the edge: the texel before).
const std::vector<std::string> kDeviceTieCases = {
    "a line of slope 15/40 lights the pixel nearest the ideal line (a tie towards the start)",
    "a line from far off the target to far off it again",
    "a stretch by 1.5 shows the source pixel under each pixel's centre"};

TEST_F(D3D11Drawing, TheGraphicsAreasPixelCasesHold) { RunPrimitiveCases(ReadCaseRegionByLock, kDeviceTieCases); }

// The same cases drawn into a 32-bit render-target graph and read back from its texture.
TEST_F(D3D11Drawing, TheGraphicsAreasPixelCasesHoldInARenderTargetGraph)
{
    GraphCreateParam param;
    InitDrawValidGraphCreateParam(&param, 32, 0);
    const int target = MakeGraphWithCreateParam(&param, 64, 48, 0, 0, 0, 0, 0);
    ASSERT_GE(target, 0);
    ASSERT_EQ(0, SetDrawScreen(target));
    RunPrimitiveCases(ReadCaseRegionByLock, kDeviceTieCases);
    ASSERT_EQ(0, SetDrawScreen(DX_SCREEN_BACK));
    DeleteGraph(target);
}

TEST_F(D3D11Drawing, ShapesLightThePixelsTheirGeometrySays)
{
    const unsigned int white = GetColorValue(255, 255, 255);
    const struct
    {
        const char *name;
        void (*draw)(unsigned int Color);
        Mask mask;
    } cases[] = {
        {"a line from (5, 5) to (5, 10) lights y 5-9", [](unsigned int C) { DrawLine(5, 5, 5, 10, C); },
         {5, 5, {"#", "#", "#", "#", "#"}}},
        {"a line drawn upwards lights its start, not its end", [](unsigned int C) { DrawLine(5, 10, 5, 5, C); },
         {5, 6, {"#", "#", "#", "#", "#"}}},
        {"the outline of (10, 10)-(20, 20): top x 10-19, bottom x 11-18, sides y 11-19",
         [](unsigned int C) { DrawLineBox(10, 10, 20, 20, C); },
         {10,
          10,
          {"##########", "#........#", "#........#", "#........#", "#........#", "#........#", "#........#",
           "#........#", "#........#", "##########"}}},
        {"a circle of radius 2, no adjust",
         [](unsigned int C) { Graphics_D3D11_DrawCircle(20, 10, 2, C, 0, 0, 0); },
         {18, 8, {".###.", "#...#", "#...#", "#...#", ".###."}}},
        {"adjust x pulls the right half in and drops the top and bottom points",
         [](unsigned int C) { Graphics_D3D11_DrawCircle(20, 10, 2, C, 0, 1, 0); },
         {18, 8, {".##.", "#..#", "#..#", "#..#", ".##."}}},
        {"adjust y pulls the lower half up and drops the side points",
         [](unsigned int C) { Graphics_D3D11_DrawCircle(20, 10, 2, C, 0, 0, 1); },
         {18, 8, {".###.", "#...#", "#...#", ".###."}}},
        {"both adjust flags make a circle of even width without its four extreme points",
         [](unsigned int C) { Graphics_D3D11_DrawCircle(20, 10, 2, C, 0, 1, 1); },
         {18, 8, {".##.", "#..#", "#..#", ".##."}}},
        {"a filled circle of radius 3 spans 1, 2, 3, 3, 3, 2, 1 from its centre",
         [](unsigned int C) { Graphics_D3D11_DrawCircle(20, 16, 3, C, 1, 0, 0); },
         {17, 13, {"..###..", ".#####.", "#######", "#######", "#######", ".#####.", "..###.."}}},
        {"filled with both adjust flags: six rows of an even-width disc",
         [](unsigned int C) { Graphics_D3D11_DrawCircle(20, 16, 3, C, 1, 1, 1); },
         {17, 13, {"..##..", ".####.", "######", "######", ".####.", "..##.."}}},
        {"a filled circle cut by the draw area keeps the rows inside it",
         [](unsigned int C) {
             SetDrawArea(0, 0, 160, 15);
             DrawCircle(20, 16, 3, C, 1);
         },
         {17, 13, {"..###..", ".#####."}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        SetDrawArea(0, 0, 160, 120);
        ClearDrawScreen(nullptr);
        c.draw(white);
        ExpectLit([&c](int X, int Y) { return c.mask.Lit(X, Y); });
    }
}

TEST_F(D3D11Drawing, LargeDiscsFillEachRowOnceAsTheMidpointCircleFirstReachesIt)
{
    for (int r : {9, 14, 15}) {
        SCOPED_TRACE(r);
        // The half width of each row, by the midpoint circle in its usual form. Each row is filled
        // once, as wide as the step that reaches it first: the centre row, then at each step the
        // rows x away (half width y) before the rows y away (half width x).
        std::vector<int> half(2 * r + 1, -1);
        auto reach = [&](int Row, int Half) {
            if (half[r + Row] < 0) half[r + Row] = Half;
        };
        reach(0, r);
        int x = 1, y = r, d = 3 - 2 * r;
        d += d < 0 ? 6 : 10 - 4 * y--;
        while (x <= y) {
            for (int row : {x, -x}) reach(row, y);
            for (int row : {y, -y}) reach(row, x);
            if (d < 0) {
                d += 4 * x + 6;
            } else {
                d += 4 * (x - y) + 10;
                --y;
            }
            ++x;
        }
        ClearDrawScreen(nullptr);
        DrawCircle(24, 16, r, GetColorValue(255, 255, 255), 1);
        ExpectLit([&](int X, int Y) {
            const int row = Y - 16 + r;
            return row >= 0 && row <= 2 * r && abs(X - 24) <= half[row];
        });
    }
}

TEST_F(D3D11Drawing, ARingLightsTheSpansOfTheFrontEndsTable)
{
    const struct
    {
        int x, y, r, thickness;
    } rings[] = {{24, 16, 10, 3}, {24, 16, 8, 4}, {40, 30, 12, 2}};
    for (const auto &ring : rings) {
        SCOPED_TRACE(ring.thickness);
        ClearDrawScreen(nullptr);
        DrawCircle(ring.x, ring.y, ring.r, GetColorValue(255, 255, 255), 1, ring.thickness);
        const CircleRingSpan *rows = CalcCircleRingSpanTable(ring.x, ring.y, ring.r, ring.thickness);
        ASSERT_NE(nullptr, rows);
        const int lit = ExpectLit([rows](int X, int Y) {
            int spans[4];
            const int n = GetCircleRingRowSpans(&rows[Y], spans);
            for (int i = 0; i < n; ++i)
                if (X >= spans[i * 2] && X <= spans[i * 2 + 1]) return true;
            return false;
        });
        EXPECT_LT(40, lit);
    }
}

// A second 16 x 12 pattern beside PatternPixel, every pixel its own colour.
uint32_t TestGraphB(int X, int Y)
{
    return (uint32_t)(250 - X * 12) << 16 | (uint32_t)(Y * 9) << 8 | (uint32_t)(200 - X * Y);
}

// The two graphs, made on the device for one test.
struct TwoGraphs
{
    int a_ = MakeGraphOfPixels(16, 12, PixelsOf(PatternPixel).data());
    int b_ = MakeGraphOfPixels(16, 12, PixelsOf(TestGraphB).data());
    bool Made() const { return a_ >= 0 && b_ >= 0; }
    ~TwoGraphs()
    {
        SetBlendGraphParam(-1, 0, 0);
        DeleteGraph(a_);
        DeleteGraph(b_);
    }
};

TEST_F(D3D11Drawing, AClippedGraphKeepsItsMapping)
{
    const TwoGraphs g;
    ASSERT_TRUE(g.Made());
    const struct
    {
        int x, y;
        ImageRect area;
    } cases[] = {{5, 3, {0, 0, 160, 120}}, {-5, 3, {0, 0, 48, 32}}, {40, 25, {0, 0, 48, 32}}, {10, 10, {13, 12, 20, 30}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.x);
        ClearDrawScreen(nullptr);
        SetDrawArea(c.area.left, c.area.top, c.area.right, c.area.bottom);
        ASSERT_EQ(0, DrawGraph(c.x, c.y, g.a_, 0));
        SetDrawArea(0, 0, 160, 120);
        const std::vector<uint32_t> got = ReadDrawScreen(0, 0, 48, 32);
        ASSERT_EQ(48u * 32u, got.size());
        int wrong = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 48; ++x) {
                const int gx = x - c.x, gy = y - c.y;
                const bool shown = gx >= 0 && gx < 16 && gy >= 0 && gy < 12 && x >= c.area.left && x < c.area.right &&
                                   y >= c.area.top && y < c.area.bottom;
                wrong += got[y * 48 + x] != (shown ? PatternPixel(gx, gy) : 0u);
            }
        EXPECT_EQ(0, wrong);
    }
}

// An untextured, unlit 3-D triangle samples the library's white graph: it shows its vertex
// colour, not the black of an unbound texture.
TEST_F(D3D11Drawing, AnUntextured3DTriangleShowsItsVertexColour)
{
    const MATRIX identity = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
    // Screen pixels at view depth 10 into clip space.
    const MATRIX projection = {{{2.0f / 160, 0, 0, 0}, {0, -2.0f / 120, 0, 0}, {0, 0, 0.01f, 0}, {-1, 1, 0, 1}}};
    Graphics_D3D11_DeviceState_SetWorldMatrix(&identity);
    Graphics_D3D11_DeviceState_SetViewMatrix(&identity);
    Graphics_D3D11_DeviceState_SetProjectionMatrix(&projection);
    const uint32_t colour = D3D11PackDiffuseColor(200, 150, 100, 255, GraphicsDeviceCaps.VertexColorBGRAFlag);
    struct
    {
        float X, Y, Z, Nx, Ny, Nz;
        uint32_t Diffuse, Specular;
        float U, V, U1, V1;
    } triangle[3] = {{0, 0, 10, 0, 0, -1, colour, 0, 0, 0, 0, 0},
                     {100, 0, 10, 0, 0, -1, colour, 0, 0, 0, 0, 0},
                     {0, 100, 10, 0, 0, -1, colour, 0, 0, 0, 0, 0}};
    static_assert(sizeof(triangle[0]) == 48, "VERTEX3D");
    ASSERT_EQ(0,
              Graphics_D3D11_CommonBuffer_Draw(D3D11_VERTEX3D, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST, triangle, 3, 1));
    EXPECT_EQ(0xFFC89664u, (uint32_t)GetPixel(20, 20));
    EXPECT_EQ(0xFF000000u, (uint32_t)GetPixel(150, 110));
}

TEST_F(D3D11Drawing, BlendGraphModeZeroAtRatio128MixesHalfAndHalf)
{
    const TwoGraphs g;
    ASSERT_TRUE(g.Made());
    ASSERT_EQ(0, SetBlendGraphParam(g.b_, 0, 128));
    ASSERT_EQ(0, DrawGraph(4, 4, g.a_, 0));
    const std::vector<uint32_t> got = ReadDrawScreen(4, 4, 16, 12);
    ASSERT_EQ(16u * 12u, got.size());
    int wrong = 0;
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x)
            for (int shift = 0; shift < 24; shift += 8) {
                const int a = (int)(PatternPixel(x, y) >> shift & 0xFF), b = (int)(TestGraphB(x, y) >> shift & 0xFF);
                const double want = a + (b - a) * 128.0 / 255.0;
                wrong += fabs((int)(got[y * 16 + x] >> shift & 0xFF) - want) > 1.0;
            }
    EXPECT_EQ(0, wrong);
}

TEST_F(D3D11Drawing, AGraphTurnedThirtyDegreesSamplesLikeTheNearestTexel)
{
    const TwoGraphs g;
    ASSERT_TRUE(g.Made());
    // The 16 x 12 graph at four times its size, turned 30 degrees about (80, 60).
    const double turn = 30.0 * 3.14159265358979 / 180.0, c = cos(turn), s = sin(turn);
    auto place = [&](double GX, double GY, float *X, float *Y) {
        const double x = (GX - 8.0) * 4.0, y = (GY - 6.0) * 4.0;
        *X = (float)(80.0 + x * c - y * s);
        *Y = (float)(60.0 + x * s + y * c);
    };
    float x[4], y[4];
    place(0, 0, &x[0], &y[0]);
    place(16, 0, &x[1], &y[1]);
    place(16, 12, &x[2], &y[2]);
    place(0, 12, &x[3], &y[3]);
    ASSERT_EQ(0, DrawModiGraph(x[0], y[0], x[1], y[1], x[2], y[2], x[3], y[3], g.a_, 0));
    const std::vector<uint32_t> got = ReadDrawScreen(0, 0, 160, 120);
    ASSERT_EQ(160u * 120u, got.size());
    // The texel under a pixel centre, or -1 off the graph.
    auto texel = [&](int PX, int PY) {
        const double dx = PX + 0.5 - 80.0, dy = PY + 0.5 - 60.0;
        const double gx = (dx * c + dy * s) / 4.0 + 8.0, gy = (-dx * s + dy * c) / 4.0 + 6.0;
        if (gx < 0 || gx >= 16 || gy < 0 || gy >= 12) return -1;
        // The quad's texture coordinates run a sixteenth of a texel inside the graph's edges.
        const double tx = 1.0 / 16 + gx / 16 * (16 - 1.0 / 8), ty = 1.0 / 16 + gy / 12 * (12 - 1.0 / 8);
        return (int)ty * 16 + (int)tx;
    };
    int interior = 0, wrong = 0;
    for (int py = 1; py < 119; ++py)
        for (int px = 1; px < 159; ++px) {
            bool inside = true;
            for (int k = 0; k < 9; ++k) inside = inside && texel(px + k % 3 - 1, py + k / 3 - 1) >= 0;
            if (!inside) continue;  // the one-pixel border may go either way
            ++interior;
            const int t = texel(px, py);
            wrong += got[py * 160 + px] != PatternPixel(t % 16, t / 16);
        }
    EXPECT_GT(interior, 2000);
    EXPECT_LE(wrong * 100, interior) << wrong << " of " << interior;
}

}  // namespace
