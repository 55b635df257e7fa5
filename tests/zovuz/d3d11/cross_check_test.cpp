// One 960 x 540 scene drawn by the software renderer and, after graphics are ended and started
// again, by Direct3D 11, both read back from the back screen; a second start on Direct3D 11 in the
// same process draws it identically. Each tile of the scene is judged by
// its own rule: exact where the drawing is defined to the pixel, near (within one pixel of the
// other picture's ink) for diagonal lines and circles, within a channel step for blending, and by
// share of differing pixels for text and non-integer stretches. The pictures and their difference
// go to test-artifacts/d3d11/ under the build folder.
#include <gtest/gtest.h>

#include <math.h>
#include <stdlib.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/test_paths.h"
#include "tests/zovuz/d3d11/draw_fixture.h"
#include "tests/zovuz/graphics/graphics_start_fixture.h"
#include "tests/zovuz/graphics/image_fixture.h"
#include "zovuz/d3d11/zovuz_d3d11.h"
#include "zovuz/graphics/font/string_draw.h"

namespace {

constexpr int kWidth = 960, kHeight = 540, kTile = 160, kTileHeight = 135;

using Picture = std::vector<uint32_t>;  // 0x00RRGGBB, rows top first

enum class Rule {
    Exact,   // every pixel equal
    Near,    // every lit pixel within one pixel of the same colour in the other picture
    Blend,   // every channel within 1
    Text,    // the same pixels inked, each within 2 per channel
    Stretch  // at most 0.5 % of the pixels off (a texel boundary on a pixel centre)
};

struct Tile
{
    const char *Name;
    Rule How;
    std::function<void(int X, int Y)> Draw;  // draws inside its tile, whose top-left is (X, Y)
};

// Six tiles to a row: the tiles of the scene, then the clear alone.
constexpr int kTileCount = kWidth / kTile * (kHeight / kTileHeight);
int TileX(int Index) { return Index % 6 * kTile; }
int TileY(int Index) { return Index / 6 * kTileHeight; }

// The graphs the scene draws, made again on each renderer.
struct SceneGraphs
{
    int Pattern = -1;  // 16 x 12, every pixel its own colour
    int Keyed = -1;    // the same with the transparent colour on a diagonal
};

SceneGraphs MakeSceneGraphs()
{
    std::vector<uint32_t> pattern = PixelsOf(PatternPixel), keyed = pattern;
    int r, g, b;
    GetTransColor(&r, &g, &b);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x)
            if ((x + y) % 5 == 0) keyed[y * 16 + x] = (uint32_t)(r << 16 | g << 8 | b);
    return SceneGraphs{MakeGraphOfPixels(16, 12, pattern.data()), MakeGraphOfPixels(16, 12, keyed.data())};
}

unsigned int Rgb(int R, int G, int B) { return GetColorValue(R, G, B); }

std::vector<Tile> SceneTiles(const SceneGraphs &G)
{
    return {
        {"boxes", Rule::Exact,
         [](int X, int Y) {
             DrawBox(X + 10, Y + 10, X + 70, Y + 50, Rgb(200, 30, 30), 1);
             DrawBox(X + 150, Y + 120, X + 90, Y + 60, Rgb(30, 200, 30), 1);
             DrawBox(X + 20, Y + 70, X + 80, Y + 125, Rgb(60, 90, 250), 0);
             DrawBox(X + 100, Y + 10, X + 101, Y + 11, Rgb(255, 255, 255), 0);
         }},
        {"straight lines", Rule::Exact,
         [](int X, int Y) {
             for (int i = 0; i < 10; ++i)
                 DrawLine(X + 5, Y + 5 + i * 12, X + 150 - i * 9, Y + 5 + i * 12, Rgb(250, 250, 0));
             for (int i = 0; i < 10; ++i)
                 DrawLine(X + 10 + i * 14, Y + 130, X + 10 + i * 14, Y + 70 - i * 5, Rgb(0, 250, 250));
         }},
        {"diagonal lines", Rule::Near,
         [](int X, int Y) {
             DrawLine(X + 5, Y + 5, X + 150, Y + 125, Rgb(255, 128, 0));
             DrawLine(X + 150, Y + 10, X + 10, Y + 60, Rgb(128, 255, 0));
             DrawLine(X + 80, Y + 130, X + 100, Y + 8, Rgb(0, 128, 255));
         }},
        {"circles", Rule::Near,
         [](int X, int Y) {
             DrawCircle(X + 40, Y + 40, 30, Rgb(255, 0, 255), 0);
             DrawCircle(X + 115, Y + 40, 25, Rgb(255, 255, 255), 1);
             DrawCircle(X + 80, Y + 100, 28, Rgb(0, 255, 128), 1, 5);
         }},
        {"graphs 1:1, x2 and mirrored", Rule::Exact,
         [G](int X, int Y) {
             DrawGraph(X + 8, Y + 8, G.Pattern, 0);
             DrawExtendGraph(X + 40, Y + 8, X + 72, Y + 32, G.Pattern, 0);
             DrawTurnGraph(X + 90, Y + 8, G.Pattern, 0);
             DrawExtendGraph(X + 150, Y + 60, X + 86, Y + 108, G.Pattern, 0);
             DrawGraph(X + 150, Y + 125, G.Pattern, 0);  // clipped by the tile's draw area
         }},
        {"the transparent colour", Rule::Exact,
         [G](int X, int Y) {
             DrawBox(X, Y, X + 160, Y + 135, Rgb(40, 40, 90), 1);
             DrawGraph(X + 20, Y + 20, G.Keyed, 1);
             DrawExtendGraph(X + 60, Y + 20, X + 124, Y + 68, G.Keyed, 1);
             DrawGraph(X + 20, Y + 80, G.Keyed, 0);
         }},
        {"alpha blending at 128", Rule::Blend,
         [G](int X, int Y) {
             DrawBox(X + 10, Y + 10, X + 100, Y + 100, Rgb(250, 250, 250), 1);
             SetDrawBlendMode(DX_BLENDMODE_ALPHA, 128);
             DrawBox(X + 50, Y + 50, X + 150, Y + 125, Rgb(200, 0, 50), 1);
             DrawGraph(X + 20, Y + 20, G.Pattern, 0);
             SetDrawBlendMode(DX_BLENDMODE_NOBLEND, 0);
         }},
        {"the draw bright", Rule::Blend,
         [G](int X, int Y) {
             SetDrawBright(255, 128, 64);
             DrawBox(X + 10, Y + 10, X + 60, Y + 60, Rgb(255, 255, 255), 1);
             DrawExtendGraph(X + 70, Y + 10, X + 134, Y + 58, G.Pattern, 0);
             SetDrawBright(255, 255, 255);
         }},
        {"text", Rule::Text,
         [](int X, int Y) {
             DrawFormatString(X + 4, Y + 4, Rgb(255, 255, 255), "tarvex %d", 2026);
             DrawFormatString(X + 4, Y + 40, Rgb(255, 200, 0), "ABCDEFGHIJ");
             DrawFormatString(X + 4, Y + 80, Rgb(0, 200, 255), "mixer 19ch");
         }},
        {"a stretch by 1.5", Rule::Stretch,
         [G](int X, int Y) { DrawExtendGraph(X + 10, Y + 10, X + 34, Y + 28, G.Pattern, 0); }},
    };
}

// Draws the whole scene on the renderer in use and reads it back; empty when it cannot.
Picture DrawScene()
{
    SetDrawScreen(DX_SCREEN_BACK);
    SetBackgroundColor(16, 24, 32);
    ClearDrawScreen(nullptr);
    const SceneGraphs graphs = MakeSceneGraphs();
    EXPECT_GE(graphs.Pattern, 0);
    EXPECT_GE(graphs.Keyed, 0);
    const std::vector<Tile> tiles = SceneTiles(graphs);
    for (size_t i = 0; i < tiles.size(); ++i) {
        const int x = TileX((int)i), y = TileY((int)i);
        SetDrawArea(x, y, x + kTile, y + kTileHeight);
        tiles[i].Draw(x, y);
    }
    SetDrawArea(0, 0, kWidth, kHeight);
    const Picture out = ReadDrawScreen(0, 0, kWidth, kHeight);
    DeleteGraph(graphs.Pattern);
    DeleteGraph(graphs.Keyed);
    return out;
}

int Channel(uint32_t C, int Shift) { return (int)(C >> Shift & 0xFF); }
int ChannelDistance(uint32_t A, uint32_t B)
{
    int most = 0;
    for (int shift = 0; shift < 24; shift += 8) most = std::max(most, abs(Channel(A, shift) - Channel(B, shift)));
    return most;
}

// Pixels of the tile that break its rule, of the tile's pixel count (or, for text, its ink).
struct Verdict
{
    int Wrong = 0, Of = 0;
};

Verdict Judge(Rule How, int Index, const Picture &A, const Picture &B, uint32_t Background)
{
    Verdict v;
    const int left = TileX(Index), top = TileY(Index);
    auto at = [](const Picture &P, int X, int Y) { return P[(size_t)Y * kWidth + X]; };
    // A lit pixel of one picture with the same colour within one pixel in the other.
    auto nearIn = [&](const Picture &P, int X, int Y, uint32_t Color) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const int x = X + dx, y = Y + dy;
                if (x >= left && y >= top && x < left + kTile && y < top + kTileHeight && at(P, x, y) == Color)
                    return true;
            }
        return false;
    };
    for (int y = top; y < top + kTileHeight; ++y)
        for (int x = left; x < left + kTile; ++x) {
            const uint32_t a = at(A, x, y), b = at(B, x, y);
            ++v.Of;
            switch (How) {
            case Rule::Exact:
            case Rule::Stretch: v.Wrong += a != b; break;
            case Rule::Blend: v.Wrong += ChannelDistance(a, b) > 1; break;
            case Rule::Near:
                v.Wrong += (a != Background && !nearIn(B, x, y, a)) || (b != Background && !nearIn(A, x, y, b));
                break;
            case Rule::Text:
                // Over the ink of either picture: the same pixels inked, each within 2 per channel
                // (the glyph cache is 16-bit; its full channels must still draw at full scale).
                v.Of += (a != Background || b != Background) - 1;
                v.Wrong += (a == Background) != (b == Background) || ChannelDistance(a, b) > 2;
                break;
            }
        }
    return v;
}

bool Passes(Rule How, const Verdict &V)
{
    switch (How) {
    case Rule::Text: return V.Of > 0 && V.Wrong * 100 <= V.Of;  // at most 1 % of the ink
    case Rule::Stretch: return V.Wrong * 200 <= V.Of;
    default: return V.Wrong == 0;
    }
}

void WritePng(const std::string &Name, const Picture &P)
{
    PngSpec layout;
    layout.Width = kWidth;
    layout.Height = kHeight;
    for (uint32_t c : P) layout.Rows.insert(layout.Rows.end(), {(uint8_t)(c >> 16), (uint8_t)(c >> 8), (uint8_t)c});
    const Bytes png = EncodePng(layout);
    std::string dir = TestBuildDir() + "/test-artifacts";
    CreateDirectoryA(dir.c_str(), nullptr);
    dir += "/d3d11";
    CreateDirectoryA(dir.c_str(), nullptr);
    FILE *f = fopen((dir + "/" + Name).c_str(), "wb");
    ASSERT_NE(nullptr, f) << dir;
    fwrite(png.data(), 1, png.size(), f);
    fclose(f);
}

TEST(CrossCheck, TheSoftwareRendererAndDirect3D11DrawTheSameScene)
{
    if (getenv("TARVEX_D3D11_DISABLED") != nullptr) GTEST_SKIP() << "d3d11.dll is switched off in this run";
    ASSERT_EQ(0, OpenDrawingWindow("d3d11 cross-check", kWidth, kHeight));
    ASSERT_EQ(0, StartDrawingGraphics(false, kWidth, kHeight));
    const Picture software = DrawScene();
    TerminateGraphics();
    ASSERT_EQ(0, StartDrawingGraphics(true, kWidth, kHeight));
    const Picture d3d11 = DrawScene();
    TerminateGraphics();
    // Ended and started again in the same process, Direct3D 11 draws the scene as before.
    ASSERT_EQ(0, StartDrawingGraphics(true, kWidth, kHeight));
    const Picture again = DrawScene();
    TerminateGraphics();
    CloseDrawingWindow();
    ASSERT_EQ((size_t)kWidth * kHeight, software.size());
    ASSERT_EQ((size_t)kWidth * kHeight, d3d11.size());
    ASSERT_EQ(d3d11.size(), again.size());
    int restartDiffers = 0;
    for (size_t i = 0; i < again.size(); ++i) restartDiffers += again[i] != d3d11[i];
    EXPECT_EQ(0, restartDiffers) << "pixels differ after a second start on Direct3D 11";

    Picture diff(software.size());
    for (size_t i = 0; i < diff.size(); ++i) diff[i] = software[i] == d3d11[i] ? 0 : 0xFFFFFF;
    WritePng("software.png", software);
    WritePng("d3d11.png", d3d11);
    WritePng("diff.png", diff);

    const uint32_t background = 0x101820;
    const std::vector<Tile> tiles = SceneTiles(SceneGraphs());
    for (int i = 0; i < kTileCount; ++i) {
        const bool scene = i < (int)tiles.size();
        const Rule how = scene ? tiles[i].How : Rule::Exact;
        const Verdict v = Judge(how, i, software, d3d11, background);
        EXPECT_TRUE(Passes(how, v)) << (scene ? tiles[i].Name : "the clear") << " (tile " << i << "): " << v.Wrong
                                    << " of " << v.Of << " pixels differ";
    }
}

}  // namespace
