// 2-D drawing on the platform's own Direct3D 11 (Wine's, on llvmpipe), read back from the back
// screen: the graphics area's pixel cases unchanged, and the pixels the back end's geometry must
// light, as masks written out by hand.
#include <gtest/gtest.h>

#include <objbase.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/zovuz/graphics/graphics_start_fixture.h"
#include "tests/zovuz/graphics/primitive_cases.h"
#include "zovuz/d3d11/d3d11_internal.h"
#include "zovuz/d3d11/zovuz_d3d11.h"

namespace {

class D3D11Drawing : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ChangeWindowMode(1);
        SetAlwaysRunFlag(1);
        SetMainWindowText("d3d11 drawing");
        ASSERT_EQ(0, SetGraphMode(160, 120, 32, 60));
        ASSERT_EQ(0, CreateMainWindow());
        RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, GetGraphicsD3D11Functions());
        SetUseHardwareRenderFlag(1);
        SetWaitVSyncFlag(0);
        ASSERT_EQ(0, InitializeGraphics());
    }
    static void TearDownTestSuite()
    {
        TerminateGraphics();
        RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, nullptr);
        EndTestMainWindow();
        CoUninitialize();
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

// The pixels of the case region that differ from Want (lit = white, else black).
std::vector<std::string> Differences(const std::vector<uint32_t> &Got, bool (*Want)(const void *, int, int),
                                     const void *Context)
{
    std::vector<std::string> wrong;
    for (int y = 0; y < kCaseHeight; ++y)
        for (int x = 0; x < kCaseWidth; ++x) {
            const uint32_t want = Want(Context, x, y) ? 0xFFFFFFu : 0u, got = Got[(size_t)y * kCaseWidth + x];
            if (want != got)
                wrong.push_back("(" + std::to_string(x) + ", " + std::to_string(y) + ") " + std::to_string(got));
        }
    return wrong;
}

TEST_F(D3D11Drawing, TheGraphicsAreasPixelCasesHold)
{
    RunPrimitiveCases(ReadCaseRegionByLock);
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
        const std::vector<uint32_t> got = ReadCaseRegionByLock();
        ASSERT_EQ((size_t)kCaseWidth * kCaseHeight, got.size());
        const std::vector<std::string> wrong = Differences(
            got, [](const void *M, int X, int Y) { return ((const Mask *)M)->Lit(X, Y); }, &c.mask);
        EXPECT_TRUE(wrong.empty()) << wrong.size() << " pixels differ, first " << wrong[0];
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
        const std::vector<uint32_t> got = ReadCaseRegionByLock();
        ASSERT_EQ((size_t)kCaseWidth * kCaseHeight, got.size());
        EXPECT_LT(40, std::count(got.begin(), got.end(), 0xFFFFFFu));
        const CircleRingSpan *rows = CalcCircleRingSpanTable(ring.x, ring.y, ring.r, ring.thickness);
        ASSERT_NE(nullptr, rows);
        const std::vector<std::string> wrong = Differences(
            got,
            [](const void *Rows, int X, int Y) {
                int spans[4];
                const int n = GetCircleRingRowSpans(&((const CircleRingSpan *)Rows)[Y], spans);
                for (int i = 0; i < n; ++i)
                    if (X >= spans[i * 2] && X <= spans[i * 2 + 1]) return true;
                return false;
            },
            rows);
        EXPECT_TRUE(wrong.empty()) << wrong.size() << " pixels differ, first " << wrong[0];
    }
}

}  // namespace
