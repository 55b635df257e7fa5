// The front end's drawing on Direct3D 9 (Wine's, on llvmpipe), with graphics started on the back
// end: the graphics area's pixel cases, and one scene drawn by Direct3D 9 and, after graphics are
// started again, by the software renderer, compared tile by tile.
#include <stdlib.h>

#include <functional>
#include <vector>

#include "tests/zovuz/d3d9/d3d9_graphics_fixture.h"
#include "tests/zovuz/graphics/primitive_cases.h"

namespace {

class D3D9FrontEnd : public D3D9MainWindow
{
protected:
    static void SetUpTestSuite() { OpenMainWindow(320, 240); }
    void TearDown() override { TerminateGraphics(); }
};

// ---- The cross-check ----------------------------------------------------------------------------

constexpr int kWidth = 320, kHeight = 240, kTile = 80, kTileHeight = 80;
using Picture = std::vector<uint32_t>;  // 0x00RRGGBB

unsigned int Rgb(int R, int G, int B) { return GetColorValue(R, G, B); }
uint32_t PatternPixel(int X, int Y)
{
    return (uint32_t)(X * 15 + 10) << 16 | (uint32_t)(Y * 20 + 5) << 8 | (uint32_t)(X * Y + 40);
}

enum class Rule {
    Exact,  // every pixel equal
    Near,   // every lit pixel has its colour within one pixel in the other picture
    Blend,  // every channel within 1 (the device rounds where the software renderer cuts)
    Text    // the same pixels inked, at most 1 % of the ink apart (the glyph cache is 16-bit)
};

struct Tile
{
    const char *Name;
    Rule How;
    std::function<void(int X, int Y, int Graph, int Keyed)> Draw;
};

const Tile kTiles[] = {
    {"boxes", Rule::Exact,
     [](int X, int Y, int, int) {
         DrawBox(X + 5, Y + 5, X + 40, Y + 30, Rgb(200, 30, 30), 1);
         DrawBox(X + 75, Y + 75, X + 45, Y + 35, Rgb(30, 200, 30), 1);
         DrawBox(X + 8, Y + 40, X + 38, Y + 72, Rgb(60, 90, 250), 0);
         DrawBox(X + 60, Y + 5, X + 61, Y + 6, Rgb(255, 255, 255), 0);
     }},
    {"straight lines", Rule::Exact,
     [](int X, int Y, int, int) {
         for (int i = 0; i < 6; ++i) DrawLine(X + 5, Y + 5 + i * 6, X + 75 - i * 9, Y + 5 + i * 6, Rgb(250, 250, 0));
         for (int i = 0; i < 6; ++i)
             DrawLine(X + 10 + i * 11, Y + 78, X + 10 + i * 11, Y + 45 - i * 3, Rgb(0, 250, 250));
     }},
    {"circles", Rule::Near,
     [](int X, int Y, int, int) {
         DrawCircle(X + 20, Y + 20, 15, Rgb(255, 0, 255), 0);
         DrawCircle(X + 58, Y + 20, 14, Rgb(255, 255, 255), 1);
         DrawCircle(X + 40, Y + 58, 18, Rgb(0, 255, 128), 1, 4);
     }},
    {"graphs 1:1, x2, mirrored and cut", Rule::Exact,
     [](int X, int Y, int Graph, int) {
         DrawGraph(X + 4, Y + 4, Graph, 0);
         DrawExtendGraph(X + 24, Y + 4, X + 56, Y + 28, Graph, 0);
         DrawTurnGraph(X + 4, Y + 40, Graph, 0);
         DrawGraph(X + 70, Y + 70, Graph, 0);
     }},
    {"the transparent colour", Rule::Exact,
     [](int X, int Y, int, int Keyed) {
         DrawBox(X, Y, X + kTile, Y + kTileHeight, Rgb(40, 40, 90), 1);
         DrawGraph(X + 10, Y + 10, Keyed, 1);
         DrawExtendGraph(X + 30, Y + 30, X + 62, Y + 54, Keyed, 1);
     }},
    {"alpha blending and the draw bright", Rule::Blend,
     [](int X, int Y, int Graph, int) {
         DrawBox(X + 5, Y + 5, X + 50, Y + 50, Rgb(250, 250, 250), 1);
         SetDrawBlendMode(DX_BLENDMODE_ALPHA, 128);
         DrawBox(X + 30, Y + 30, X + 75, Y + 75, Rgb(200, 0, 50), 1);
         SetDrawBlendMode(DX_BLENDMODE_NOBLEND, 0);
         SetDrawBright(255, 128, 64);
         DrawGraph(X + 10, Y + 55, Graph, 0);
         SetDrawBright(255, 255, 255);
     }},
    {"text", Rule::Text,
     [](int X, int Y, int, int) {
         DrawFormatString(X + 2, Y + 4, Rgb(255, 255, 255), "tx %d", 26);
         DrawFormatString(X + 2, Y + 40, Rgb(255, 200, 0), "ABCDE");
     }},
};

Picture DrawScene()
{
    SetDrawScreen(DX_SCREEN_BACK);
    SetBackgroundColor(16, 24, 32);
    ClearDrawScreen(nullptr);
    std::vector<uint32_t> pattern(16 * 12), keyed(16 * 12);
    int r, g, b;
    GetTransColor(&r, &g, &b);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x) {
            pattern[y * 16 + x] = PatternPixel(x, y);
            keyed[y * 16 + x] = (x + y) % 5 == 0 ? (uint32_t)(r << 16 | g << 8 | b) : PatternPixel(x, y);
        }
    const int graph = MakeGraphOfPixels(16, 12, pattern.data()), keyedGraph = MakeGraphOfPixels(16, 12, keyed.data());
    EXPECT_GE(graph, 0);
    EXPECT_GE(keyedGraph, 0);
    for (size_t i = 0; i < std::size(kTiles); ++i) {
        const int x = (int)(i % 4) * kTile, y = (int)(i / 4) * kTileHeight;
        SetDrawArea(x, y, x + kTile, y + kTileHeight);
        kTiles[i].Draw(x, y, graph, keyedGraph);
    }
    SetDrawArea(0, 0, kWidth, kHeight);
    const Picture out = ColorBits(ReadPixels(DX_SCREEN_BACK, 0, 0, kWidth, kHeight));
    DeleteGraph(graph);
    DeleteGraph(keyedGraph);
    return out;
}

// Graphics start on Direct3D 9: the graphics area's pixel cases hold, and the scene is drawn; then
// the software renderer draws the scene too, and Direct3D 9 once more after a second start.
TEST_F(D3D9FrontEnd, ThePixelCasesHoldAndTheSoftwareRendererDrawsTheSameScene)
{
    ASSERT_EQ(0, StartGraphicsOn(1, kWidth, kHeight));
    SetDrawScreen(DX_SCREEN_BACK);
    SetBackgroundColor(0, 0, 0);
    ClearDrawScreen(nullptr);
    // As on Direct3D 11, three cases ask for a tie the software renderer breaks its own way: a line
    // through pixel corners, and a stretch whose texel edges fall exactly on pixel centres.
    RunPrimitiveCases(ReadCaseRegionByLock,
                      {"a line of slope 15/40 lights the pixel nearest the ideal line (a tie towards the start)",
                       "a line from far off the target to far off it again",
                       "a stretch by 1.5 shows the source pixel under each pixel's centre"});
    const Picture d3d9 = DrawScene();
    TerminateGraphics();
    ASSERT_EQ(0, StartGraphicsOn(0, kWidth, kHeight));
    const Picture software = DrawScene();
    ASSERT_EQ((size_t)kWidth * kHeight, software.size());
    ASSERT_EQ((size_t)kWidth * kHeight, d3d9.size());
    // Started again, Direct3D 9 draws the scene as the first time (its state starts anew, the front
    // end's settings do not).
    TerminateGraphics();
    ASSERT_EQ(0, StartGraphicsOn(1, kWidth, kHeight));
    EXPECT_TRUE(d3d9 == DrawScene());

    const uint32_t background = 0x101820;
    auto at = [](const Picture &P, int X, int Y) { return P[(size_t)Y * kWidth + X]; };
    for (size_t i = 0; i < std::size(kTiles); ++i) {
        const int tx = (int)(i % 4) * kTile, ty = (int)(i / 4) * kTileHeight;
        auto nearIn = [&](const Picture &P, int X, int Y, uint32_t Color) {
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int x = X + dx, y = Y + dy;
                    if (x >= tx && y >= ty && x < tx + kTile && y < ty + kTileHeight && at(P, x, y) == Color)
                        return true;
                }
            return false;
        };
        int wrong = 0, ink = 0;
        for (int y = ty; y < ty + kTileHeight; ++y)
            for (int x = tx; x < tx + kTile; ++x) {
                const uint32_t a = at(software, x, y), b = at(d3d9, x, y);
                bool bad = a != b;
                if (kTiles[i].How == Rule::Near)
                    bad =
                        (a != background && !nearIn(d3d9, x, y, a)) || (b != background && !nearIn(software, x, y, b));
                if (kTiles[i].How == Rule::Text) {
                    ink += a != background || b != background;
                    bad = (a == background) != (b == background);
                }
                if (kTiles[i].How == Rule::Blend) {
                    bad = false;
                    for (int shift = 0; shift < 24; shift += 8)
                        bad = bad || abs((int)(a >> shift & 0xFF) - (int)(b >> shift & 0xFF)) > 1;
                }
                if (bad && wrong++ < 3 && kTiles[i].How != Rule::Text)
                    ADD_FAILURE() << kTiles[i].Name << " (" << x << ", " << y << "): software " << std::hex << a
                                  << ", Direct3D 9 " << b;
            }
        if (kTiles[i].How == Rule::Text) {
            EXPECT_GT(ink, 0);
            EXPECT_LE(wrong * 100, ink) << kTiles[i].Name << ": " << wrong << " of " << ink << " inked pixels differ";
        } else {
            EXPECT_EQ(0, wrong) << kTiles[i].Name;
        }
    }
}

}  // namespace
