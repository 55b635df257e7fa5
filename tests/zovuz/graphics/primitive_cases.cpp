#include "tests/zovuz/graphics/primitive_cases.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include "tests/zovuz/graphics/graphics_start_fixture.h"
#include "zovuz/graphics/graph/graph_internal.h"

namespace {

const uint32_t kRed = 0xFF0000, kWhite = 0xFFFFFF, kBlue = 0x0000FF;

uint32_t Color(uint32_t Rgb) { return GetColorValue(Rgb >> 16 & 0xFF, Rgb >> 8 & 0xFF, Rgb & 0xFF); }

bool In(int X, int Y, int Left, int Top, int Right, int Bottom)
{
    return X >= Left && X < Right && Y >= Top && Y < Bottom;
}

// The graphs the cases draw.
struct CaseGraphs
{
    int Pattern;    // 4 x 2, every pixel its own colour
    int Target;     // the same pixels in a graph made to be drawn on, as the screen's format
    int Keyed;      // 4 x 2, the transparent colour at (1, 0) and (2, 1)
    int Alpha;      // 4 x 1 with alpha 255, 128, 0, 64
};
CaseGraphs Graphs;

// Black at (3, 1): drawn without the transparent flag, black is a colour like any other.
uint32_t PatternAt(int X, int Y)
{
    if (X == 3 && Y == 1)
        return 0;
    return (uint32_t)(X * 64 + 32) << 16 | (uint32_t)(Y * 128 + 64) << 8 | (uint32_t)(X * 16 + Y * 96);
}
uint32_t TransRgb()
{
    int r, g, b;
    GetTransColor(&r, &g, &b);
    return (uint32_t)r << 16 | (uint32_t)g << 8 | (uint32_t)b;
}
bool KeyedAt(int X, int Y) { return (X == 1 && Y == 0) || (X == 2 && Y == 1); }
const uint32_t kAlphaPixels[4] = {0xFFFF0000u, 0x8000FF00u, 0x000000FFu, 0x40FFFFFFu};

// 0x00RRGGBB of c over d at opacity a, as the blends compute it (within one step).
uint32_t Over(uint32_t C, uint32_t D, int A)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        int c = C >> shift & 0xFF, d = D >> shift & 0xFF;
        out |= (uint32_t)(d + A * (c - d) / 255) << shift;
    }
    return out;
}

struct Case
{
    const char *Name;
    void (*Draw)();
    uint32_t (*Expect)(int X, int Y);
    bool Blend;     // blended colours: one step off is allowed
};

const Case kCases[] = {
    {"a filled box lights x and y 10-19 (100 pixels)", [] { DrawBox(10, 10, 20, 20, Color(kRed), 1); },
     [](int x, int y) { return In(x, y, 10, 10, 20, 20) ? kRed : 0; }},
    {"reversed corners fill the same box", [] { DrawBox(20, 20, 10, 10, Color(kRed), 1); },
     [](int x, int y) { return In(x, y, 10, 10, 20, 20) ? kRed : 0; }},
    {"an outlined box is the ring of 36 pixels", [] { DrawBox(10, 10, 20, 20, Color(kRed), 0); },
     [](int x, int y) { return In(x, y, 10, 10, 20, 20) && !In(x, y, 11, 11, 19, 19) ? kRed : 0; }},
    {"a half-transparent outlined box covers each pixel once",
     [] { SetDrawBlendMode(DX_BLENDMODE_ALPHA, 128); DrawBox(10, 10, 20, 20, Color(kRed), 0); },
     [](int x, int y) { return In(x, y, 10, 10, 20, 20) && !In(x, y, 11, 11, 19, 19) ? Over(kRed, 0, 128) : 0; },
     true},
    {"a box of equal x draws nothing", [] { DrawFillBox(5, 5, 5, 20, Color(kRed)); },
     [](int, int) { return 0u; }},
    {"a line lights its start but not its end", [] { DrawLine(0, 0, 10, 0, Color(kRed)); },
     [](int x, int y) { return y == 0 && x < 10 ? kRed : 0; }},
    {"a line drawn right to left", [] { DrawLine(10, 3, 0, 3, Color(kRed)); },
     [](int x, int y) { return y == 3 && x >= 1 && x <= 10 ? kRed : 0; }},
    {"a vertical line", [] { DrawLine(4, 2, 4, 9, Color(kRed)); },
     [](int x, int y) { return x == 4 && y >= 2 && y < 9 ? kRed : 0; }},
    {"a diagonal line", [] { DrawLine(0, 0, 8, 8, Color(kRed)); },
     [](int x, int y) { return x == y && x < 8 ? kRed : 0; }},
    {"a line of no length draws nothing", [] { DrawLine(5, 5, 5, 5, Color(kRed)); },
     [](int, int) { return 0u; }},
    {"a line of thickness 3 fills rows 4-6", [] { DrawLine(0, 5, 10, 5, Color(kRed), 3); },
     [](int x, int y) { return x < 10 && y >= 4 && y <= 6 ? kRed : 0; }},
    {"a vertical line of thickness 3 fills columns 19-21", [] { DrawLine(20, 2, 20, 12, Color(kRed), 3); },
     [](int x, int y) { return x >= 19 && x <= 21 && y >= 2 && y < 12 ? kRed : 0; }},
    {"lines of even thickness fill the band around them",
     [] {
         DrawLine(10, 4, 10, 14, Color(kRed), 2);
         DrawLine(20, 20, 30, 20, Color(kRed), 2);
     },
     [](int x, int y) { return In(x, y, 9, 4, 11, 14) || In(x, y, 20, 19, 30, 21) ? kRed : 0; }},
    {"a line of slope 15/40 lights the pixel nearest the ideal line (a tie towards the start)",
     [] { DrawLine(2, 3, 42, 18, Color(kRed)); },
     [](int x, int y) { return x >= 2 && x < 42 && y == 3 + (15 * (x - 2) + 19) / 40 ? kRed : 0; }},
    {"a half-transparent steep line blends each of its steps once over what is there",
     [] {
         DrawBox(0, 0, 16, 16, Color(kWhite), 1);
         SetDrawBlendMode(DX_BLENDMODE_ALPHA, 128);
         DrawLine(0, 0, 8, 16, Color(kRed));
     },
     [](int x, int y) {
         bool white = In(x, y, 0, 0, 16, 16);
         return y < 16 && x == y / 2 ? Over(kRed, white ? kWhite : 0, 128) : white ? kWhite : 0;
     },
     true},
    {"a line from far off the target to far off it again",
     [] { DrawLine(-1000000, 10, 1000000, 11, Color(kRed)); },
     [](int x, int y) { return (x == 0 && y == 10) || (x >= 1 && y == 11) ? kRed : 0; }},
    {"the draw area clips", [] { SetDrawArea(12, 12, 15, 15); DrawBox(10, 10, 20, 20, Color(kRed), 1); },
     [](int x, int y) { return In(x, y, 12, 12, 15, 15) ? kRed : 0; }},
    {"an empty draw area draws nothing",
     [] {
         SetDrawArea(5, 5, 5, 30);
         DrawBox(0, 0, 40, 30, Color(kRed), 1);
         DrawLine(0, 6, 40, 6, Color(kRed));
         DrawCircle(10, 10, 5, Color(kRed));
         DrawGraph(4, 4, Graphs.Pattern, 0);
         DrawExtendGraph(0, 0, 40, 30, Graphs.Pattern, 0);
     },
     [](int, int) { return 0u; }},
    {"alpha blending at 128",
     [] {
         DrawBox(0, 0, 16, 16, Color(kWhite), 1);
         SetDrawBlendMode(DX_BLENDMODE_ALPHA, 128);
         DrawBox(8, 8, 24, 24, Color(kRed), 1);
     },
     [](int x, int y) {
         bool white = In(x, y, 0, 0, 16, 16), red = In(x, y, 8, 8, 24, 24);
         return red ? Over(kRed, white ? kWhite : 0, 128) : white ? kWhite : 0;
     },
     true},
    {"a disc at alpha 128 covers each of its pixels once",
     [] {
         SetDrawBlendMode(DX_BLENDMODE_ALPHA, 128);
         DrawCircle(20, 16, 3, Color(kRed), 1);
     },
     [](int x, int y) {
         static const int halfWidth[4] = {3, 3, 2, 1};  // by the distance from the centre row
         const int dx = abs(x - 20), dy = abs(y - 16);
         return dy <= 3 && dx <= halfWidth[dy] ? Over(kRed, 0, 128) : 0;
     },
     true},
    {"a blend parameter above 255 draws opaquely",
     [] { SetDrawBlendMode(DX_BLENDMODE_ALPHA, 256); DrawBox(2, 2, 6, 6, Color(kRed), 1); },
     [](int x, int y) { return In(x, y, 2, 2, 6, 6) ? kRed : 0; }},
    {"the draw bright tints boxes and graphs",
     [] {
         SetDrawBright(255, 128, 0);
         DrawBox(2, 2, 6, 6, Color(kWhite), 1);
         DrawGraph(10, 2, Graphs.Pattern, 0);
     },
     [](int x, int y) {
         if (In(x, y, 10, 2, 14, 4)) {
             uint32_t p = PatternAt(x - 10, y - 2);
             return (p & 0xFF0000) | ((p >> 8 & 0xFF) * 128 / 255) << 8;
         }
         return In(x, y, 2, 2, 6, 6) ? 0xFF8000u : 0;
     }},
    {"a graph at a position", [] { DrawBox(0, 0, 10, 10, Color(kWhite), 1); DrawGraph(3, 5, Graphs.Pattern, 0); },
     [](int x, int y) { return In(x, y, 3, 5, 7, 7) ? PatternAt(x - 3, y - 5) : In(x, y, 0, 0, 10, 10) ? kWhite : 0; }},
    {"a graph drawn half-transparent",
     [] {
         DrawBox(0, 0, 10, 10, Color(kWhite), 1);
         SetDrawBlendMode(DX_BLENDMODE_ALPHA, 128);
         DrawGraph(3, 5, Graphs.Pattern, 0);
     },
     [](int x, int y) {
         return In(x, y, 3, 5, 7, 7) ? Over(PatternAt(x - 3, y - 5), kWhite, 128) : In(x, y, 0, 0, 10, 10) ? kWhite : 0;
     },
     true},
    {"a graph drawn at full alpha covers what is under it",
     [] {
         DrawBox(0, 0, 10, 10, Color(kWhite), 1);
         SetDrawBlendMode(DX_BLENDMODE_ALPHA, 256);
         DrawExtendGraph(3, 5, 7, 7, Graphs.Pattern, 0);
     },
     [](int x, int y) { return In(x, y, 3, 5, 7, 7) ? PatternAt(x - 3, y - 5) : In(x, y, 0, 0, 10, 10) ? kWhite : 0; }},
    {"a 4 x 2 graph stretched to 8 x 4 shows 2 x 2 blocks", [] { DrawExtendGraph(4, 4, 12, 8, Graphs.Pattern, 0); },
     [](int x, int y) { return In(x, y, 4, 4, 12, 8) ? PatternAt((x - 4) / 2, (y - 4) / 2) : 0; }},
    {"a graph of the screen's format stretched twice, clipped at an odd column on either side",
     [] {
         SetDrawArea(5, 0, 11, 32);
         DrawExtendGraph(4, 4, 12, 8, Graphs.Target, 0);
         SetDrawArea(0, 0, 21, 32);
         DrawExtendGraph(14, 4, 22, 8, Graphs.Target, 0);
     },
     [](int x, int y) {
         return In(x, y, 5, 4, 11, 8) ? PatternAt((x - 4) / 2, (y - 4) / 2)
                : In(x, y, 14, 4, 21, 8) ? PatternAt((x - 14) / 2, (y - 4) / 2)
                                         : 0;
     }},
    {"a stretch with x1 > x2 is mirrored", [] { DrawExtendGraph(12, 4, 4, 8, Graphs.Pattern, 0); },
     [](int x, int y) { return In(x, y, 4, 4, 12, 8) ? PatternAt(3 - (x - 4) / 2, (y - 4) / 2) : 0; }},
    {"a stretch by 1.5 shows the source pixel under each pixel's centre",
     [] { DrawExtendGraph(4, 4, 10, 7, Graphs.Pattern, 0); },
     [](int x, int y) {
         static const int column[6] = {0, 1, 1, 2, 3, 3}, row[3] = {0, 1, 1};
         return In(x, y, 4, 4, 10, 7) ? PatternAt(column[x - 4], row[y - 4]) : 0;
     }},
    {"a mirrored stretch clipped at the left by the draw area",
     [] {
         SetDrawArea(7, 0, 48, 32);
         DrawExtendGraph(12, 4, 4, 8, Graphs.Pattern, 0);
     },
     [](int x, int y) { return In(x, y, 7, 4, 12, 8) ? PatternAt(3 - (x - 4) / 2, (y - 4) / 2) : 0; }},
    {"a turned graph", [] { DrawTurnGraph(4, 4, Graphs.Pattern, 0); },
     [](int x, int y) { return In(x, y, 4, 4, 8, 6) ? PatternAt(3 - (x - 4), y - 4) : 0; }},
    {"a rectangle of a graph, the draw area whole again after it",
     [] {
         DrawRectGraph(10, 10, 1, 0, 2, 2, Graphs.Pattern, 0, 0);
         DrawBox(20, 20, 24, 24, Color(kRed), 1);
     },
     [](int x, int y) { return In(x, y, 10, 10, 12, 12) ? PatternAt(x - 9, y - 10) : In(x, y, 20, 20, 24, 24) ? kRed : 0; }},
    {"a rectangle of a graph, turned", [] { DrawRectGraph(10, 10, 1, 0, 2, 2, Graphs.Pattern, 0, 1); },
     [](int x, int y) { return In(x, y, 10, 10, 12, 12) ? PatternAt(12 - x, y - 10) : 0; }},
    {"the transparent colour is left out",
     [] {
         DrawGraph(0, 0, Graphs.Keyed, 1);
         DrawGraph(0, 4, Graphs.Keyed, 0);
     },
     [](int x, int y) {
         if (In(x, y, 0, 0, 4, 2))
             return KeyedAt(x, y) ? 0u : PatternAt(x, y);
         if (In(x, y, 0, 4, 4, 6))
             return KeyedAt(x, y - 4) ? TransRgb() : PatternAt(x, y - 4);
         return 0u;
     }},
    {"the alpha channel weighs each pixel with the transparent flag",
     [] {
         DrawBox(0, 0, 8, 4, Color(kWhite), 1);
         DrawGraph(0, 0, Graphs.Alpha, 1);
         DrawGraph(0, 2, Graphs.Alpha, 0);
     },
     [](int x, int y) {
         if (!In(x, y, 0, 0, 8, 4))
             return 0u;
         if (x >= 4 || y == 1 || y == 3)
             return kWhite;
         uint32_t pixel = kAlphaPixels[x];
         return y == 0 ? Over(pixel & 0xFFFFFF, kWhite, (int)(pixel >> 24)) : pixel & 0xFFFFFF;
     },
     true},
    {"a clear with a negative left clears the whole target",
     [] {
         DrawBox(0, 0, 20, 20, Color(kRed), 1);
         SetBackgroundColor(0, 0, 255);
         ImageRect rect = {-1, 0, 4, 4};
         ClearDrawScreen(&rect);
     },
     [](int, int) { return kBlue; }},
    {"a clear of a rectangle clears only it",
     [] {
         DrawBox(0, 0, 20, 20, Color(kRed), 1);
         ImageRect rect = {2, 3, 6, 5};
         ClearDrawScreen(&rect);
     },
     [](int x, int y) { return In(x, y, 0, 0, 20, 20) && !In(x, y, 2, 3, 6, 5) ? kRed : 0; }},
};

// Every case begins so.
void ResetForCase()
{
    int width = 0, height = 0;
    GetGraphSize(GetDrawScreenHandle(), &width, &height);
    SetDrawArea(0, 0, width, height);
    SetDrawBlendMode(DX_BLENDMODE_NOBLEND, 0);
    SetDrawBright(255, 255, 255);
    SetDrawMode(0);
    SetBackgroundColor(0, 0, 0);
    ClearDrawScreen(nullptr);
}

const COLORDATA *LockedFormat = nullptr;
COLORDATA LockedFormatCopy;

}  // namespace

std::vector<uint32_t> ReadCaseRegionByLock(void)
{
    ImageRect rect = {0, 0, kCaseWidth, kCaseHeight};
    BASEIMAGE image;
    if (LockDrawScreenBuffer(&rect, &image, -1, 0, 0, 1, 0) < 0)
        return {};
    LockedFormatCopy = image.ColorData;
    LockedFormat = &LockedFormatCopy;
    std::vector<uint32_t> colors;
    const int bytes = image.ColorData.PixelBytes;
    for (int y = 0; y < kCaseHeight; ++y)
        for (int x = 0; x < kCaseWidth; ++x) {
            uint32_t value = 0;
            memcpy(&value, (const uint8_t *)image.Pixels + (size_t)y * image.Pitch + (size_t)x * bytes, (size_t)bytes);
            int r, g, b;
            GetColorDataRGBA(&image.ColorData, value, &r, &g, &b, nullptr);
            colors.push_back((uint32_t)r << 16 | (uint32_t)g << 8 | (uint32_t)b);
        }
    UnlockDrawScreenBuffer();
    return colors;
}

uint32_t StoredColor(uint32_t Rgb)
{
    if (LockedFormat == nullptr || LockedFormat->RedWidth == 8)
        return Rgb;
    int r, g, b;
    GetColorDataRGBA(LockedFormat, MakeColorDataValue(LockedFormat, Rgb >> 16 & 0xFF, Rgb >> 8 & 0xFF, Rgb & 0xFF, 255),
                     &r, &g, &b, nullptr);
    return (uint32_t)r << 16 | (uint32_t)g << 8 | (uint32_t)b;
}

void RunPrimitiveCases(CaseReader Read, const std::vector<std::string> &Skipped)
{
    for (const std::string &name : Skipped) {
        bool known = false;
        for (const Case &c : kCases)
            known = known || name == c.Name;
        EXPECT_TRUE(known) << "no pixel case is named \"" << name << "\"";
    }
    uint32_t pattern[8], keyed[8];
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) {
            pattern[y * 4 + x] = PatternAt(x, y);
            keyed[y * 4 + x] = KeyedAt(x, y) ? TransRgb() : PatternAt(x, y);
        }
    Graphs.Pattern = MakeGraphOfPixels(4, 2, pattern, 0);
    Graphs.Keyed = MakeGraphOfPixels(4, 2, keyed, 0);
    Graphs.Alpha = MakeGraphOfPixels(4, 1, kAlphaPixels, 1);
    ASSERT_GE(Graphs.Pattern, 0);
    ASSERT_GE(Graphs.Keyed, 0);
    ASSERT_GE(Graphs.Alpha, 0);
    const int caller = GetDrawScreenHandle();
    SetDrawValidGraphCreateFlag(1);
    Graphs.Target = MakeGraph(4, 2, 0);
    SetDrawValidGraphCreateFlag(0);
    ASSERT_GE(Graphs.Target, 0);
    SetDrawScreen(Graphs.Target);
    SetDrawBlendMode(DX_BLENDMODE_NOBLEND, 0);
    DrawGraph(0, 0, Graphs.Pattern, 0);
    SetDrawScreen(caller);

    LockedFormat = nullptr;
    for (const Case &c : kCases) {
        bool skipped = false;
        for (const std::string &name : Skipped)
            skipped = skipped || name == c.Name;
        if (skipped)
            continue;
        ResetForCase();
        c.Draw();
        std::vector<uint32_t> got = Read();
        ASSERT_EQ((size_t)kCaseWidth * kCaseHeight, got.size()) << c.Name;
        // A 5-6-5 target is one widened step coarser.
        int tolerance = c.Blend ? (LockedFormat != nullptr && LockedFormat->RedWidth == 5 ? 8 : 1) : 0;
        int wrong = 0, firstX = -1, firstY = -1;
        uint32_t firstWant = 0, firstGot = 0;
        for (int y = 0; y < kCaseHeight; ++y)
            for (int x = 0; x < kCaseWidth; ++x) {
                uint32_t want = StoredColor(c.Expect(x, y)), have = got[(size_t)y * kCaseWidth + x];
                bool ok = true;
                for (int shift = 0; shift < 24; shift += 8)
                    ok = ok && abs((int)(want >> shift & 0xFF) - (int)(have >> shift & 0xFF)) <= tolerance;
                if (!ok && wrong++ == 0) {
                    firstX = x, firstY = y, firstWant = want, firstGot = have;
                }
            }
        EXPECT_EQ(0, wrong) << c.Name << ": first at (" << firstX << ", " << firstY << ") wanted " << std::hex
                            << firstWant << " got " << firstGot;
    }
    ResetForCase();
    DeleteGraph(Graphs.Pattern);
    DeleteGraph(Graphs.Keyed);
    DeleteGraph(Graphs.Alpha);
    DeleteGraph(Graphs.Target);
}
