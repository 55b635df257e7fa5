#include "tests/zovuz/graphics/scene_cross_check.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>

#include "tests/support/test_paths.h"
#include "tests/zovuz/graphics/graphics_start_fixture.h"
#include "tests/zovuz/graphics/image_fixture.h"
#include "zovuz/graphics/zovuz_graphics.h"

namespace {

constexpr int kTile = 160, kTileHeight = 135, kColumns = kSceneWidth / kTile;
constexpr int kTileCount = kColumns * (kSceneHeight / kTileHeight);
constexpr uint32_t kBackground = 0x101820;

int TileX(int Index) { return Index % kColumns * kTile; }
int TileY(int Index) { return Index / kColumns * kTileHeight; }

enum class Rule {
    Exact,   // every pixel equal
    Near,    // every lit pixel within one pixel of the same colour in the other picture
    Blend,   // every channel within 1 (a device rounds where the software renderer cuts)
    Text,    // the same pixels inked, at most 1 % of the ink apart (the glyph cache is 16-bit)
    Stretch  // at most 0.5 % of the pixels off (a texel boundary on a pixel centre)
};

// The graphs the scene draws, made again on each renderer.
struct SceneGraphs
{
    int Pattern = -1;  // 16 x 12, every pixel its own colour
    int Keyed = -1;    // the same with the transparent colour on a diagonal
};

struct Tile
{
    const char *Name;
    Rule How;
    std::function<void(int X, int Y)> Draw;  // draws inside its tile, whose top-left is (X, Y)
};

uint32_t PatternPixel(int X, int Y)
{
    return (uint32_t)(X * 15 + 10) << 16 | (uint32_t)(Y * 20 + 5) << 8 | (uint32_t)(X * Y + 40);
}

SceneGraphs MakeSceneGraphs()
{
    std::vector<uint32_t> pattern(16 * 12), keyed(16 * 12);
    int r, g, b;
    GetTransColor(&r, &g, &b);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x) {
            pattern[y * 16 + x] = PatternPixel(x, y);
            keyed[y * 16 + x] = (x + y) % 5 == 0 ? (uint32_t)(r << 16 | g << 8 | b) : PatternPixel(x, y);
        }
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
        {"graphs 1:1, x2, mirrored and cut", Rule::Exact,
         [G](int X, int Y) {
             DrawGraph(X + 8, Y + 8, G.Pattern, 0);
             DrawExtendGraph(X + 40, Y + 8, X + 72, Y + 32, G.Pattern, 0);
             DrawTurnGraph(X + 90, Y + 8, G.Pattern, 0);
             DrawExtendGraph(X + 150, Y + 60, X + 86, Y + 108, G.Pattern, 0);
             DrawGraph(X + 150, Y + 125, G.Pattern, 0);  // cut by the tile's draw area
         }},
        {"the transparent colour", Rule::Exact,
         [G](int X, int Y) {
             DrawBox(X, Y, X + kTile, Y + kTileHeight, Rgb(40, 40, 90), 1);
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
             DrawGraph(X + 10, Y + 75, G.Pattern, 0);
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
        {"half-transparent circle outlines", Rule::Blend,
         [](int X, int Y) {
             // Radii 17 and 41 reach the diagonal, where the walk's mirrored points meet, and radius
             // 0 is its centre four times over: each pixel must still be blended once.
             SetDrawBlendMode(DX_BLENDMODE_ALPHA, 128);
             DrawCircle(X + 50, Y + 60, 41, Rgb(250, 200, 100), 0);
             DrawCircle(X + 125, Y + 40, 17, Rgb(250, 200, 100), 0);
             DrawCircle(X + 125, Y + 100, 0, Rgb(250, 200, 100), 0);
             SetDrawBlendMode(DX_BLENDMODE_NOBLEND, 0);
         }},
    };
}

int ChannelDistance(uint32_t A, uint32_t B)
{
    int most = 0;
    for (int shift = 0; shift < 24; shift += 8)
        most = std::max(most, abs((int)(A >> shift & 0xFF) - (int)(B >> shift & 0xFF)));
    return most;
}

// Pixels of the tile that break its rule, of the tile's pixel count (or, for text, its ink), and
// the first of them.
struct Verdict
{
    int Wrong = 0, Of = 0;
    int FirstX = -1, FirstY = -1;
};

Verdict Judge(Rule How, int Index, const ScenePicture &A, const ScenePicture &B, const SceneTolerance &Tolerance)
{
    Verdict v;
    const int left = TileX(Index), top = TileY(Index);
    auto at = [](const ScenePicture &P, int X, int Y) { return P[(size_t)Y * kSceneWidth + X]; };
    // A lit pixel of one picture with the same colour within one pixel in the other.
    auto nearIn = [&](const ScenePicture &P, int X, int Y, uint32_t Color) {
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
            bool bad = false;
            ++v.Of;
            switch (How) {
            case Rule::Exact:
            case Rule::Stretch: bad = a != b; break;
            case Rule::Blend: bad = ChannelDistance(a, b) > 1; break;
            case Rule::Near:
                bad = (a != kBackground && !nearIn(B, x, y, a)) || (b != kBackground && !nearIn(A, x, y, b));
                break;
            case Rule::Text:
                // Over the ink of either picture; the glyph cache's full channels must still draw
                // at full scale, within the back end's step.
                v.Of += (a != kBackground || b != kBackground) - 1;
                bad = (a == kBackground) != (b == kBackground) || ChannelDistance(a, b) > Tolerance.TextChannelStep;
                break;
            }
            if (bad && v.Wrong++ == 0) v.FirstX = x, v.FirstY = y;
        }
    return v;
}

bool Passes(Rule How, const Verdict &V)
{
    switch (How) {
    case Rule::Text: return V.Of > 0 && V.Wrong * 100 <= V.Of;
    case Rule::Stretch: return V.Wrong * 200 <= V.Of;
    default: return V.Wrong == 0;
    }
}

void WritePng(const std::string &Dir, const std::string &Name, const ScenePicture &P)
{
    PngSpec layout;
    layout.Width = kSceneWidth;
    layout.Height = kSceneHeight;
    for (uint32_t c : P) layout.Rows.insert(layout.Rows.end(), {(uint8_t)(c >> 16), (uint8_t)(c >> 8), (uint8_t)c});
    const Bytes png = EncodePng(layout);
    FILE *f = fopen((Dir + "/" + Name).c_str(), "wb");
    ASSERT_NE(nullptr, f) << Dir;
    fwrite(png.data(), 1, png.size(), f);
    fclose(f);
}

}  // namespace

ScenePicture DrawScene(SceneReader Read)
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
    SetDrawArea(0, 0, kSceneWidth, kSceneHeight);
    const ScenePicture out = Read(0, 0, kSceneWidth, kSceneHeight);
    DeleteGraph(graphs.Pattern);
    DeleteGraph(graphs.Keyed);
    return out;
}

void CompareScenes(const ScenePicture &Software, const ScenePicture &Device, const char *Folder,
                   const char *DeviceName, const SceneTolerance &Tolerance)
{
    ASSERT_EQ((size_t)kSceneWidth * kSceneHeight, Software.size());
    ASSERT_EQ((size_t)kSceneWidth * kSceneHeight, Device.size());
    ScenePicture diff(Software.size());
    for (size_t i = 0; i < diff.size(); ++i) diff[i] = Software[i] == Device[i] ? 0 : 0xFFFFFF;
    std::string dir = TestBuildDir() + "/test-artifacts";
    CreateDirectoryA(dir.c_str(), nullptr);
    dir += std::string("/") + Folder;
    CreateDirectoryA(dir.c_str(), nullptr);
    WritePng(dir, "software.png", Software);
    WritePng(dir, std::string(Folder) + ".png", Device);
    WritePng(dir, "diff.png", diff);

    const std::vector<Tile> tiles = SceneTiles(SceneGraphs());
    for (int i = 0; i < kTileCount; ++i) {
        const bool scene = i < (int)tiles.size();
        const Rule how = scene ? tiles[i].How : Rule::Exact;
        const Verdict v = Judge(how, i, Software, Device, Tolerance);
        if (Passes(how, v)) continue;
        testing::Message first;
        if (v.Wrong > 0) {
            const size_t at = (size_t)v.FirstY * kSceneWidth + v.FirstX;
            first << "; first at (" << v.FirstX << ", " << v.FirstY << "): software " << std::hex << Software[at]
                  << ", " << DeviceName << " " << Device[at];
        }
        ADD_FAILURE() << (scene ? tiles[i].Name : "the clear") << " (tile " << i << "): " << v.Wrong << " of " << v.Of
                      << " pixels differ" << first;
    }
}

int DifferingPixels(const ScenePicture &A, const ScenePicture &B)
{
    if (A.size() != B.size()) return (int)std::max(A.size(), B.size());
    int differ = 0;
    for (size_t i = 0; i < A.size(); ++i) differ += A[i] != B[i];
    return differ;
}
