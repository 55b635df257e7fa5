// Graph filters on the platform's own device: a fixture that starts graphics on one back end in
// the library's main window, and the checks both back ends share: every filter and blend over
// random 64 x 48 graphs against the processor kernels (the processor's run is the same call with
// the shader path switched off), a shader the archive lacks, a shadow map and a multisampled graph
// as destination and source, screen-mode changes between filter calls, and Bicubic and Lanczos3
// against a float reference of their tap weights.
#pragma once

#include <gtest/gtest.h>

#include <math.h>
#include <stdarg.h>
#include <objbase.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "tests/support/test_files.h"
#include "tests/zovuz/filter/filter_fixture.h"
#include "zovuz/filter/filter_pass_internal.h"
#include "zovuz/graphics/graph/graph_internal.h"

namespace filter_device {

constexpr int kW = 64, kH = 48;

// Where a case reads and writes: the source graph's size, the rectangle filtered, the destination
// graph's size and the position the result goes to, and whether the graphs hold alpha.
struct Shape
{
    const char *Name;
    int SrcWidth, SrcHeight;
    int X1, Y1, X2, Y2;
    int DestWidth, DestHeight, DestX, DestY;
    int AlphaFlag;
};

// The whole-block picture every case runs on first, then rectangles that are not whole blocks of
// DownScale's ratios (and do not start at the origin), a small rectangle in graphs with room
// around it (a write beyond the rectangle shows), a result clipped by its destination, and graphs
// without alpha, whose write-back drops the alpha channel.
inline const std::vector<Shape> &Shapes()
{
    static const std::vector<Shape> shapes = {
        {"whole 64 x 48", kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, 1},
        {"7 x 5", 7, 5, 0, 0, 7, 5, 7, 5, 0, 0, 1},
        {"13 x 11 at (3, 2) to (5, 1)", 20, 16, 3, 2, 16, 13, 20, 16, 5, 1, 1},
        {"9 x 7 at (2, 3) to (8, 6) in 24 x 20", 24, 20, 2, 3, 11, 10, 24, 20, 8, 6, 1},
        {"clipped by a 24 x 20 destination at (6, 4)", kW, kH, 0, 0, kW, kH, 24, 20, 6, 4, 1},
        {"without alpha", kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, 0},
    };
    return shapes;
}

// A filter or blend call from Src (and Blend) into Dest over a shape.
using Call = std::function<int(int Src, int Blend, int Dest, const Shape &S)>;

struct Case
{
    const char *Name;
    Call Run;
    int Tolerance;
    bool Blends = false;  // reads the blend graph
    Call Processor;       // the processor's call where it differs: the oracle of a shader-only kernel
    // What both calls return on a shape into a destination of that size; 0 when not set.
    std::function<int(const Shape &S, int DestWidth, int DestHeight)> Result;
    // YUV: the chroma graph's divisor of the source's size (1 or 2) and whether the alpha lies in
    // the source's right half; 0 for every other filter.
    int YuvDivisor = 0;
    bool YuvAlphaHalf = false;
};

// A blend whose blend graph is read at (X1 + Dx, Y1 + Dy) of the shape's rectangle with the
// position flag on, or at the rectangle's own coordinates with it off (the position then given
// must not matter).
inline int BlendAt(int Src, int Blend, int Dest, int Type, const Shape &S, int Dx, int Dy, int Flag, ...)
{
    va_list args;
    va_start(args, Flag);
    const int result = GraphFilterBase(1, Src, Blend, Dest, 200, Type, S.X1, S.Y1, S.X2, S.Y2, S.X1 + Dx, S.Y1 + Dy,
                                       Flag, S.DestX, S.DestY, args);
    va_end(args);
    return result;
}

// Where a case writes: into a draw target, into a graph that is not one (the passes then draw
// into a work texture that is copied back), or in place.
enum class Into { DrawTarget, PlainGraph, InPlace };
inline const char *IntoName(Into I)
{
    return I == Into::DrawTarget ? "into a draw target" : I == Into::PlainGraph ? "into a plain graph" : "in place";
}

// How a graph the device reads is made: whole (one texture at its origin), in pieces (several
// textures), or as the part at (5, 3) of a larger graph (one texture, read at an offset).
enum class GraphForm { Whole, InPieces, PartAt53 };
// Which graphs of a sweep are made otherwise than whole: the source, or the graphs a case reads
// beside it (the blend, gradient and chroma graphs). The processor's graphs in memory stay whole.
struct Layout
{
    GraphForm Source = GraphForm::Whole, Reads = GraphForm::Whole;
};
inline std::string LayoutName(const Layout &L)
{
    auto made = [](GraphForm F) {
        return F == GraphForm::InPieces ? "in pieces" : "a part at (5, 3) of a larger graph";
    };
    if (L.Source != GraphForm::Whole) return std::string("the source ") + made(L.Source);
    if (L.Reads != GraphForm::Whole) return std::string("the blend, gradient and chroma graphs ") + made(L.Reads);
    return "whole graphs";
}
// The layouts besides whole graphs, and the shape they run on: the whole picture, in twelve
// pieces or at an offset, reaches every case's rectangle, blend position and destination edge.
inline const std::vector<Layout> &PieceLayouts()
{
    static const std::vector<Layout> layouts = {{GraphForm::InPieces, GraphForm::Whole},
                                                {GraphForm::PartAt53, GraphForm::Whole},
                                                {GraphForm::Whole, GraphForm::InPieces},
                                                {GraphForm::Whole, GraphForm::PartAt53}};
    return layouts;
}
inline bool RunsOtherLayouts(const Shape &S) { return strcmp(S.Name, "whole 64 x 48") == 0; }
// The cases that read a graph beside the source: the blends, the gradient maps and the YUV calls
// with a chroma graph.
inline bool ReadsAnotherGraph(const Case &C)
{
    return C.Blends || C.YuvDivisor == 2 || strncmp(C.Name, "GradientMap", 11) == 0;
}

// The bytes of destination pixel (X, Y) the device may give otherwise than the processor; only
// YUV has such pixels: those after the last whole chroma block, which the processor leaves as the
// destination holds them (what they hold is left open); those whose chroma pixel X / block differs
// from the texel the pass scales X to (X x chroma width / source width, on sizes no whole multiple
// of the block) or whose sample falls on a texel edge; and the alpha of ids 14 and 15 on an odd
// width, which the pass samples on a texel edge half the width to the right.
inline uint32_t AllowedBytes(const Case &C, const Shape &S, int DestWidth, int DestHeight, int X, int Y)
{
    if (C.YuvDivisor == 0) return 0;
    const int x1 = C.YuvAlphaHalf ? 0 : S.X1, y1 = C.YuvAlphaHalf ? 0 : S.Y1;
    const int w = std::min(std::min(C.YuvAlphaHalf ? S.SrcWidth / 2 : S.X2, S.SrcWidth) - x1, DestWidth - S.DestX);
    const int h = std::min(std::min(C.YuvAlphaHalf ? S.SrcHeight : S.Y2, S.SrcHeight) - y1, DestHeight - S.DestY);
    const int gx = x1 + X - S.DestX, gy = y1 + Y - S.DestY;  // the source pixel
    if (gx < x1 || gy < y1 || gx >= x1 + w || gy >= y1 + h) return 0;
    const int cw = S.SrcWidth / C.YuvDivisor, ch = S.SrcHeight / C.YuvDivisor;
    const int bx = C.YuvDivisor, by = C.YuvDivisor;
    const int lastX = std::min((x1 + w) / bx, cw - (C.YuvAlphaHalf ? cw / 2 : 0)) * bx;
    const int lastY = std::min((y1 + h) / by, ch) * by;
    if (gx >= lastX || gy >= lastY) return 0xFFFFFFFFu;
    // The pass's texel: the pixel centre scaled to the chroma graph (twice, for whole numbers).
    auto mapsOtherwise = [](int G, int Chroma, int Source, int Block) {
        const int twice = (2 * G + 1) * Chroma;  // 2 (G + 0.5) x Chroma
        return twice % (2 * Source) == 0 || twice / (2 * Source) != G / Block;
    };
    if (mapsOtherwise(gx, cw, S.SrcWidth, bx) || mapsOtherwise(gy, ch, S.SrcHeight, by)) return 0xFFFFFFFFu;
    if (C.YuvAlphaHalf && (S.SrcWidth % 2 != 0 || cw % 2 != 0)) return 0xFF000000u;
    return 0;
}

inline int MaxChannelDifference(uint32_t A, uint32_t B)
{
    int worst = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const int d = abs((int)((A >> shift) & 0xFF) - (int)((B >> shift) & 0xFF));
        worst = d > worst ? d : worst;
    }
    return worst;
}

// Catmull-Rom and Lanczos3 weights of a tap at distance X.
inline double CubicWeight(double X)
{
    X = fabs(X);
    if (X < 1.0) return 1.5 * X * X * X - 2.5 * X * X + 1.0;
    if (X < 2.0) return -0.5 * X * X * X + 2.5 * X * X - 4.0 * X + 2.0;
    return 0.0;
}
inline double LanczosWeight(double X)
{
    if (fabs(X) < 1e-9) return 1.0;
    if (fabs(X) >= 3.0) return 0.0;
    const double p = 3.14159265358979 * X;
    return 3.0 * sin(p) * sin(p / 3.0) / (p * p);
}

// Besides the source and blend graphs: a 256-wide gradient and a narrower one, the chroma graph at
// half the source's size and the source's own chroma (U its green, V its red) at its size.
inline std::vector<Case> FilterCases(int Gradient, int Chroma, int NarrowGradient = -1, int SourceChroma = -1)
{
    auto filter = [](int Type, auto... Args) {
        return [=](int Src, int, int Dest, const Shape &S) {
            return GraphFilterRectBlt(Src, Dest, S.X1, S.Y1, S.X2, S.Y2, S.DestX, S.DestY, Type, Args...);
        };
    };
    auto inPlace = [](int Type, auto... Args) {
        return [=](int, int, int Dest, const Shape &S) {
            return GraphFilterRectBlt(Dest, Dest, S.X1, S.Y1, S.X2, S.Y2, S.DestX, S.DestY, Type, Args...);
        };
    };
    auto blendAt = [](int Type, int Flag, int Dx, int Dy, auto... Args) {
        return [=](int Src, int Blend, int Dest, const Shape &S) {
            return BlendAt(Src, Blend, Dest, Type, S, Dx, Dy, Flag, Args...);
        };
    };
    auto blend = [=](int Type, auto... Args) { return blendAt(Type, 1, 0, 0, Args...); };
    // The blend graph (BW x BH) placed by the rectangle's size (W x H): wholly beside the rectangle,
    // which then takes the source's pixels, or over one of its corners.
    enum class Placed { LeftOfIt, AboveIt, RightOfIt, BelowIt, TopLeft, BottomRight };
    auto blendPlaced = [](int Type, Placed Where, auto... Args) {
        return [=](int Src, int Blend, int Dest, const Shape &S) {
            int bw = 0, bh = 0;
            GetGraphSize(Blend, &bw, &bh);
            const int w = S.X2 - S.X1, h = S.Y2 - S.Y1;
            const int x = Where == Placed::LeftOfIt      ? -(w + 3)
                          : Where == Placed::RightOfIt   ? bw + 3
                          : Where == Placed::TopLeft     ? -3
                          : Where == Placed::BottomRight ? bw - 4
                                                         : S.X1;
            const int y = Where == Placed::AboveIt       ? -(h + 3)
                          : Where == Placed::BelowIt     ? bh + 3
                          : Where == Placed::TopLeft     ? -2
                          : Where == Placed::BottomRight ? bh - 2
                                                         : S.Y1;
            return BlendAt(Src, Blend, Dest, Type, S, x - S.X1, y - S.Y1, 1, Args...);
        };
    };
    const int pmaNormalAlpha = DX_GRAPH_BLEND_PMA_BASE + DX_GRAPH_BLEND_NORMAL_ALPHACH;
    std::vector<Case> cases = {
        {"Mono", filter(DX_GRAPH_FILTER_MONO, -60, 90), 2},
        {"Gauss", filter(DX_GRAPH_FILTER_GAUSS, 16, 300), 2},
        {"DownScale2", filter(DX_GRAPH_FILTER_DOWN_SCALE, 2), 2},
        {"DownScale4", filter(DX_GRAPH_FILTER_DOWN_SCALE, 4), 2},
        {"DownScale8", filter(DX_GRAPH_FILTER_DOWN_SCALE, 8), 2},
        {"DownScale2 in place", inPlace(DX_GRAPH_FILTER_DOWN_SCALE, 2), 2},
        {"DownScale8 in place", inPlace(DX_GRAPH_FILTER_DOWN_SCALE, 8), 2},
        {"BrightClipLess", filter(DX_GRAPH_FILTER_BRIGHT_CLIP, 2, 128, 0), 2},
        {"BrightClipFillGreater", filter(DX_GRAPH_FILTER_BRIGHT_CLIP, 5, 100, 1, 0x336699, 200), 2},
        {"BrightClipFillGreater_PMA", filter(DX_GRAPH_FILTER_PMA_BRIGHT_CLIP, 5, 100, 1, 0x336699, 200), 2},
        {"BrightnessScale", filter(DX_GRAPH_FILTER_BRIGHT_SCALE, 40, 200), 2},
        {"BrightnessScale_PMA", filter(DX_GRAPH_FILTER_PMA_BRIGHT_SCALE, 40, 200), 2},
        {"HsbShift", filter(DX_GRAPH_FILTER_HSB, 0, 30, 20, -10), 2},
        {"HsbLock", filter(DX_GRAPH_FILTER_HSB, 1, 200, -30, 15), 2},
        {"Hsb_PMA", filter(DX_GRAPH_FILTER_PMA_HSB, 0, -45, 10, 20), 2},
        {"Invert", filter(DX_GRAPH_FILTER_INVERT), 1},
        {"Invert_PMA", filter(DX_GRAPH_FILTER_PMA_INVERT), 1},
        {"Level", filter(DX_GRAPH_FILTER_LEVEL, 20, 230, 150, 10, 240), 2},
        {"Level_PMA", filter(DX_GRAPH_FILTER_PMA_LEVEL, 20, 230, 60, 10, 240), 2},
        {"TwoColor", filter(DX_GRAPH_FILTER_TWO_COLOR, 100, 0x102030, 255, 0xE0D0C0, 128), 2},
        {"TwoColor_PMA", filter(DX_GRAPH_FILTER_PMA_TWO_COLOR, 100, 0x102030, 255, 0xE0D0C0, 128), 2},
        {"GradientMap", filter(DX_GRAPH_FILTER_GRADIENT_MAP, Gradient, 0), 2},
        {"GradientMapRev_PMA", filter(DX_GRAPH_FILTER_PMA_GRADIENT_MAP, Gradient, 1), 2},
        {"PremultipliedAlpha", filter(DX_GRAPH_FILTER_PREMUL_ALPHA), 1},
        {"InterpolatedAlpha", filter(DX_GRAPH_FILTER_INTERP_ALPHA), 2},
        {"RGBAMix ready", blend(DX_GRAPH_BLEND_RGBA_SELECT_MIX, 2, 0, 1, 3), 0, true},
        {"RGBAMix grey", blend(DX_GRAPH_BLEND_RGBA_SELECT_MIX, 2, 2, 2, 7), 0, true},
        {"RGBAMix swapped", blend(DX_GRAPH_BLEND_RGBA_SELECT_MIX, 4, 5, 6, 3), 0, true},
        {"RGBAMix base", blend(DX_GRAPH_BLEND_RGBA_SELECT_MIX, 1, 0, 2, 7), 0, true},
        // The blend graph away from the rectangle's corner, partly beyond its edges (the source's
        // pixels there), and the position flag off, which reads it at the rectangle.
        {"Normal, blend at (+5, +3)", blendAt(DX_GRAPH_BLEND_NORMAL, 1, 5, 3), 2, true},
        {"Normal_AlphaCh, flag 0", blendAt(DX_GRAPH_BLEND_NORMAL_ALPHACH, 0, 17, -9), 2, true},
        {"Add_AlphaCh_PMA, blend at (+9, -5)", blendAt(DX_GRAPH_BLEND_PMA_BASE + DX_GRAPH_BLEND_ADD_ALPHACH, 1, 9, -5),
         2, true},
        {"RGBAMix swapped, blend at (-4, +2)", blendAt(DX_GRAPH_BLEND_RGBA_SELECT_MIX, 1, -4, 2, 4, 5, 6, 3), 0, true},
        {"Normal, blend left of it", blendPlaced(DX_GRAPH_BLEND_NORMAL, Placed::LeftOfIt), 2, true},
        {"RGBAMix swapped, blend above it",
         blendPlaced(DX_GRAPH_BLEND_RGBA_SELECT_MIX, Placed::AboveIt, 4, 5, 6, 3), 0, true},
        {"Normal_AlphaCh, blend right of it", blendPlaced(DX_GRAPH_BLEND_NORMAL_ALPHACH, Placed::RightOfIt), 2, true},
        {"Normal_AlphaCh_PMA, blend below it", blendPlaced(pmaNormalAlpha, Placed::BelowIt), 2, true},
        {"Normal_AlphaCh_PMA, blend over the top left", blendPlaced(pmaNormalAlpha, Placed::TopLeft), 2, true},
        {"RGBAMix ready, blend over the bottom right",
         blendPlaced(DX_GRAPH_BLEND_RGBA_SELECT_MIX, Placed::BottomRight, 2, 0, 1, 3), 0, true},
        {"RGBAMix negative", blend(DX_GRAPH_BLEND_RGBA_SELECT_MIX, 0, -1, 0, 0), 0, true},
        {"RGBAMix 8 or more", blend(DX_GRAPH_BLEND_PMA_BASE + DX_GRAPH_BLEND_RGBA_SELECT_MIX, 8, 8, 8, 8), 0, true},
        {"RGBAMix mixed", blend(DX_GRAPH_BLEND_RGBA_SELECT_MIX, 4, 4, 4, 9), 0, true},
        {"GradientMap 100 wide", filter(DX_GRAPH_FILTER_GRADIENT_MAP, NarrowGradient, 0), 2},
    };
    // YUV. The left half of the source to the shape's position (refused where the destination cuts
    // it), the whole source (always refused), and ids 12 and 14, which read the chroma from the
    // source itself and exist only as shaders, against 13 and 15 on the source's own chroma.
    auto leftHalf = [](int Type, auto... Args) {
        return [=](int Src, int, int Dest, const Shape &S) {
            return GraphFilterRectBlt(Src, Dest, 0, 0, S.SrcWidth / 2, S.SrcHeight, S.DestX, S.DestY, Type, Args...);
        };
    };
    auto leftHalfFits = [](const Shape &S, int DestWidth, int DestHeight) {
        return S.DestX + S.SrcWidth / 2 <= DestWidth && S.DestY + S.SrcHeight <= DestHeight ? 0 : -1;
    };
    auto yuv = [&](const char *Name, Call Run, Call Processor, int Divisor, bool AlphaHalf,
                   std::function<int(const Shape &, int, int)> Result) {
        Case c{Name, Run, 2};
        c.Processor = Processor, c.Result = Result, c.YuvDivisor = Divisor, c.YuvAlphaHalf = AlphaHalf;
        cases.push_back(c);
    };
    yuv("Y2uv1ToRgb", filter(DX_GRAPH_FILTER_Y2UV1_TO_RGB, Chroma), nullptr, 2, false, nullptr);
    yuv("Y2uv1ToRgb_RRA left half", leftHalf(DX_GRAPH_FILTER_Y2UV1_TO_RGB_RRA, Chroma), nullptr, 2, true, leftHalfFits);
    yuv("Y2uv1ToRgb_RRA whole graph",
        [=](int Src, int, int Dest, const Shape &S) {
            return GraphFilterRectBlt(Src, Dest, 0, 0, S.SrcWidth, S.SrcHeight, S.DestX, S.DestY,
                                      DX_GRAPH_FILTER_Y2UV1_TO_RGB_RRA, Chroma);
        },
        nullptr, 2, true, [](const Shape &, int, int) { return -1; });
    yuv("Y2uv2ToRgb", filter(DX_GRAPH_FILTER_YUV_TO_RGB), filter(DX_GRAPH_FILTER_Y2UV1_TO_RGB, SourceChroma), 1, false,
        nullptr);
    yuv("Y2uv2ToRgb_RRA", leftHalf(DX_GRAPH_FILTER_YUV_TO_RGB_RRA),
        leftHalf(DX_GRAPH_FILTER_Y2UV1_TO_RGB_RRA, SourceChroma), 1, true, leftHalfFits);
    static const char *const kBlendNames[] = {
        "Normal",    "",          "Multiple",       "Difference",  "Add",           "Screen",
        "Overlay",   "Dodge",     "Burn",           "Darken",      "Lighten",       "SoftLight",
        "HardLight", "Exclusion", "Normal_AlphaCh", "Add_AlphaCh", "Multiple_AOnly"};
    static std::vector<std::string> names;
    if (names.empty())
        for (int pma = 0; pma < 2; ++pma)
            for (int type = 0; type <= DX_GRAPH_BLEND_MULTIPLE_A_ONLY; ++type)
                if (type != DX_GRAPH_BLEND_RGBA_SELECT_MIX)
                    names.push_back(std::string(kBlendNames[type]) + (pma ? "_PMA" : ""));
    size_t n = 0;
    for (int pma = 0; pma < 2; ++pma)
        for (int type = 0; type <= DX_GRAPH_BLEND_MULTIPLE_A_ONLY; ++type)
            if (type != DX_GRAPH_BLEND_RGBA_SELECT_MIX)
                cases.push_back({names[n++].c_str(), blend(type + pma * DX_GRAPH_BLEND_PMA_BASE), 2, true});
    return cases;
}

class DeviceFilterPasses : public testing::Test
{
protected:
    // Graphics on Api with Functions in a 160 x 120 window; RegisterPasses adds the back end's
    // filter passes where the library's filter table does not hold them.
    static void StartGraphics(int Api, const GraphicsHardwareFunctions *Functions, const char *Title,
                              int (*RegisterPasses)() = nullptr)
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ChangeWindowMode(1);
        SetAlwaysRunFlag(1);
        SetMainWindowText(Title);
        ASSERT_EQ(0, SetGraphMode(160, 120, 32, 60));
        ASSERT_EQ(0, CreateMainWindow());
        RegisterGraphicsHardwareFunctions(Api, Functions);
        RegisterGraphFilterFunctions(GetGraphFilterFunctionTable());
        if (RegisterPasses != nullptr) RegisterPasses();
        SetUseHardwareRenderFlag(1);
        SetWaitVSyncFlag(0);
        ASSERT_EQ(0, InitializeGraphics());
        InitializeBaseImageTables();
        SetLibraryStarted(1);
    }
    static void EndGraphics(int Api)
    {
        SetLibraryStarted(0);
        TerminateGraphics();
        RegisterGraphicsHardwareFunctions(Api, nullptr);
        // The window goes before the library's end serves its queue. Wine's device work left
        // window updates and display events for it, several per filter call; served, they took
        // longer than the calls themselves, and a destroyed window's are dropped.
        DestroyWindow((HWND)GetMainWindowHandle());
        EndTestMainWindow();
        CoUninitialize();
    }
    void TearDown() override
    {
        for (int graph : Made) DeleteGraph(graph);
        Made.clear();
    }
    int Pixels(const std::vector<uint32_t> &P, int Width, int Height, int AlphaFlag = 1)
    {
        const int graph = MakeGraphOfPixels(Width, Height, P.data(), AlphaFlag);
        EXPECT_GE(graph, 0);
        Made.push_back(graph);
        return graph;
    }
    // A draw-valid graph holding Start.
    int Target(const std::vector<uint32_t> &Start, int Width, int Height, int AlphaFlag = 1)
    {
        GraphCreateParam param;
        InitDrawValidGraphCreateParam(&param, 32, AlphaFlag);
        const int graph = MakeGraphWithCreateParam(&param, Width, Height, 0, 0, 0, 0, 0);
        EXPECT_GE(graph, 0);
        Made.push_back(graph);
        const int start = Pixels(Start, Width, Height, AlphaFlag);
        EXPECT_EQ(0, BltRectGraphToGraph(start, 0, 0, 0, 0, Width, Height, 0, 0, graph));
        return graph;
    }
    std::vector<int> Made;
    // A graph holding P made as Form says, a draw target or not: in pieces of 16 at most (the
    // filters' own work textures stay whole), or the part at (5, 3) of a graph whose other pixels
    // differ; Larger receives that graph (the graph itself when it is no part).
    int FormedGraph(GraphForm Form, const std::vector<uint32_t> &P, int Width, int Height, int AlphaFlag = 1,
                    bool DrawTarget = false, int *Larger = nullptr)
    {
        GraphCreateParam param;
        if (DrawTarget)
            InitDrawValidGraphCreateParam(&param, 32, AlphaFlag);
        else
            InitGraphCreateParam(&param), param.AlphaChannelFlag = AlphaFlag;
        if (Form == GraphForm::InPieces) param.MaxTextureSize = 16;
        const bool part = Form == GraphForm::PartAt53;
        const int lw = part ? Width + 9 : Width, lh = part ? Height + 7 : Height;
        std::mt19937 rng((unsigned)(Width * 131 + Height));
        std::vector<uint32_t> pixels = part ? RandomPixels(rng, lw * lh) : P;
        for (int y = 0; part && y < Height; ++y)
            for (int x = 0; x < Width; ++x) pixels[(size_t)(y + 3) * lw + x + 5] = P[(size_t)y * Width + x];
        const int graph = MakeGraphWithCreateParam(&param, lw, lh, 0, 0, 0, 0, 0);
        EXPECT_GE(graph, 0);
        Made.push_back(graph);
        EXPECT_EQ(0, FillGraphOfPixels(graph, lw, lh, pixels.data(), AlphaFlag));
        if (Form == GraphForm::InPieces && (Width > 16 || Height > 16)) {
            EXPECT_GE(GetGraphEntry(graph, 0)->Image->TextureNum, 2);
        }
        if (Larger != nullptr) *Larger = graph;
        if (!part) return graph;
        const int derived = DeriveGraph(5, 3, Width, Height, graph);
        EXPECT_GE(derived, 0);
        Made.push_back(derived);
        return derived;
    }

    // F's graphs made, filled, filtered and read by the processor in memory, with the device kept.
    template <typename T, typename Fn>
    static T InMemory(const Fn &F)
    {
        const int saved = GraphicsState.HardwareInUseFlag;
        GraphicsState.HardwareInUseFlag = 0;
        T result = F();
        GraphicsState.HardwareInUseFlag = saved;
        return result;
    }

    // Every filter and blend case on every shape, each within ToleranceOf(case, shape) per channel
    // of the processor over the whole destination (what lies outside the result must stay too),
    // written Where: into a draw target, into a graph that is not one, or in place (a draw target
    // of the source's size holding the source picture filters itself); the last two send the
    // passes through work textures, whose texels must never reach the result.
    // The graphs of a shape are made once with its pictures; each case copies the start picture
    // into its target, and the device's results of a shape are read together. With ProcessorInMemory the processor runs
    // on graphs in memory (the library's software images) instead of through a device transfer for every read and
    // write; the first filter and the first blend of each shape run on the device's graphs too, which must give the
    // same pixels. Graphs without alpha keep the device's own alpha, which memory graphs do not hold: that shape's
    // processor runs on the device's graphs.
    // With a Layout other than whole graphs the device reads a source, or blend, gradient and chroma
    // graphs, in pieces or as a part of a larger graph, on the shapes RunsOtherLayouts picks; with
    // the read graphs so made only the cases that read one run.
    void CheckEveryFilterAndBlend(const std::function<int(const Case &, const Shape &)> &ToleranceOf,
                                  bool ProcessorInMemory = false, Into Where = Into::DrawTarget, Layout Form = Layout())
    {
        std::mt19937 rng(69);
        const std::vector<uint32_t> gradient = RandomPixels(rng, 256);
        const int gradientGraph = FormedGraph(Form.Reads, gradient, 256, 1);
        const int memoryGradient = ProcessorInMemory ? InMemory<int>([&] { return Pixels(gradient, 256, 1); }) : -1;
        SCOPED_TRACE(IntoName(Where));
        SCOPED_TRACE(LayoutName(Form));
        const bool whole = Form.Source == GraphForm::Whole && Form.Reads == GraphForm::Whole;
        // A width that is no power of two.
        const int narrowGraph =
            FormedGraph(Form.Reads, std::vector<uint32_t>(gradient.begin(), gradient.begin() + 100), 100, 1);
        const int memoryNarrow = ProcessorInMemory ? InMemory<int>([&] { return Pixels(gradient, 100, 1); }) : -1;
        for (const Shape &shape : Shapes()) {
            // A graph without alpha drops it alike on every road, and its processor runs through
            // the device: one road is enough.
            if (Where != Into::DrawTarget && !shape.AlphaFlag) continue;
            if (!whole && !RunsOtherLayouts(shape)) continue;
            SCOPED_TRACE(shape.Name);
            const bool inPlace = Where == Into::InPlace;
            const int sw = shape.SrcWidth, sh = shape.SrcHeight;
            const int dw = inPlace ? sw : shape.DestWidth, dh = inPlace ? sh : shape.DestHeight;
            const bool inMemory = ProcessorInMemory && shape.AlphaFlag;
            const std::vector<uint32_t> chroma = RandomPixels(rng, sw / 2 * (sh / 2));
            // The shape's pictures: no case writes its source or blend graph, and each starts its
            // target from the start graph.
            std::vector<uint32_t> src = RandomPixels(rng, sw * sh),
                                  start = RandomPixels(rng, shape.DestWidth * shape.DestHeight);
            std::vector<uint32_t> other = RandomPixels(rng, sw * sh);
            // Premultiplied pictures hold no colour above their alpha.
            for (std::vector<uint32_t> *p : {&src, &other})
                for (uint32_t &v : *p) {
                    const uint32_t a = v >> 24;
                    for (int s = 0; s < 24; s += 8)
                        if (((v >> s) & 0xFF) > a) v = (v & ~(0xFFu << s)) | (a << s);
                }
            // Chosen pixels: transparent source pixels that keep a colour, and transparent blend
            // pixels, some in the same places.
            for (int i = 0; i < sw * sh; ++i) {
                if ((i % sw + 2 * (i / sw)) % 7 == 0) src[(size_t)i] = 0x00C08040u;
                if ((i % sw + i / sw) % 5 == 0) other[(size_t)i] &= 0x00FFFFFFu;
            }
            if (inPlace) start = src;
            auto target = [&] {
                const std::vector<uint32_t> empty((size_t)dw * dh, 0);
                return Where == Into::PlainGraph ? Pixels(empty, dw, dh, shape.AlphaFlag)
                                                 : Target(empty, dw, dh, shape.AlphaFlag);
            };
            // The source's own chroma, as the YUV shaders without a chroma graph read it.
            std::vector<uint32_t> ownChroma(src.size());
            for (size_t i = 0; i < src.size(); ++i) ownChroma[i] = 0xFF000000u | (src[i] >> 8 & 0xFFFFu);
            // The source, blend and start graphs and the target of one side.
            struct Side
            {
                int Src, Blend, Start, Target;
                std::vector<Case> Cases;
            };
            auto makeSide = [&](int Gradient, int Narrow, Layout L) {
                const int chromaGraph = FormedGraph(L.Reads, chroma, sw / 2, sh / 2),
                          ownChromaGraph = Pixels(ownChroma, sw, sh);
                return Side{FormedGraph(L.Source, src, sw, sh, shape.AlphaFlag),
                            FormedGraph(L.Reads, other, sw, sh, shape.AlphaFlag),
                            Pixels(start, dw, dh, shape.AlphaFlag), target(),
                            FilterCases(Gradient, chromaGraph, Narrow, ownChromaGraph)};
            };
            const Side device = makeSide(gradientGraph, narrowGraph, Form);
            const int processorTarget = target();
            const Side processorOnDevice = {device.Src, device.Blend, device.Start, processorTarget, device.Cases};
            const Side memory = inMemory
                                    ? InMemory<Side>([&] { return makeSide(memoryGradient, memoryNarrow, Layout()); })
                                    : processorOnDevice;
            const size_t size = (size_t)dw * dh;
            // The cases of this layout.
            std::vector<size_t> picked;
            for (size_t i = 0; i < device.Cases.size(); ++i)
                if (Form.Reads == GraphForm::Whole || ReadsAnotherGraph(device.Cases[i])) picked.push_back(i);
            const size_t n = picked.size();
            // Runs case I from the start picture with or without the shaders (the processor's own
            // call where the case has one).
            auto run = [&](const Side &S, size_t I, int Shaders) {
                const Case &c = S.Cases[I];
                EXPECT_EQ(0, BltRectGraphToGraph(S.Start, 0, 0, 0, 0, dw, dh, 0, 0, S.Target));
                GraphicsDeviceCaps.ProgrammableShaderFlag = Shaders;
                const Call &call = !Shaders && c.Processor ? c.Processor : c.Run;
                EXPECT_EQ(c.Result ? c.Result(shape, dw, dh) : 0, call(inPlace ? S.Target : S.Src, S.Blend, S.Target, shape))
                    << c.Name;
                GraphicsDeviceCaps.ProgrammableShaderFlag = 1;
            };
            // Every case on a side of the device, each result copied into its own rows of one graph
            // that is read once: a read waits for the device, and one per case took most of the
            // sweep's time.
            auto runAll = [&](const Side &S, int Shaders) {
                const int rows = Target(std::vector<uint32_t>(size * n, 0), dw, dh * (int)n, shape.AlphaFlag);
                for (size_t i = 0; i < n; ++i) {
                    run(S, picked[i], Shaders);
                    EXPECT_EQ(0, BltRectGraphToGraph(S.Target, 0, 0, 0, 0, dw, dh, 0, dh * (int)i, rows));
                }
                std::vector<uint32_t> all = ReadPixels(rows, 0, 0, dw, dh * (int)n);
                EXPECT_EQ(size * n, all.size());
                all.resize(size * n);
                return all;
            };
            auto caseOf = [&](const std::vector<uint32_t> &All, size_t I) {
                return std::vector<uint32_t>(All.begin() + I * size, All.begin() + (I + 1) * size);
            };
            const std::vector<uint32_t> gotAll = runAll(device, 1);
            const std::vector<uint32_t> processorAll =
                inMemory ? std::vector<uint32_t>() : runAll(processorOnDevice, 0);
            bool firstFilter = true, firstBlend = true;
            for (size_t i = 0; i < n; ++i) {
                const Case &c = device.Cases[picked[i]];
                SCOPED_TRACE(c.Name);
                const std::vector<uint32_t> got = caseOf(gotAll, i);
                std::vector<uint32_t> want;
                if (inMemory) {
                    want = InMemory<std::vector<uint32_t>>([&] {
                        run(memory, picked[i], 0);
                        return ReadPixels(memory.Target, 0, 0, dw, dh);
                    });
                    if (c.Blends ? firstBlend : firstFilter) {
                        (c.Blends ? firstBlend : firstFilter) = false;
                        run(processorOnDevice, picked[i], 0);
                        EXPECT_TRUE(ReadPixels(processorTarget, 0, 0, dw, dh) == want)
                            << "the processor on the device's graphs";
                    }
                } else {
                    want = caseOf(processorAll, i);
                }
                ASSERT_EQ(want.size(), got.size());
                int worst = 0, worstAt = 0;
                for (size_t p = 0; p < want.size(); ++p) {
                    const uint32_t open = AllowedBytes(c, shape, dw, dh, (int)p % dw, (int)p / dw);
                    const int d = MaxChannelDifference(want[p] & ~open, got[p] & ~open);
                    if (d > worst) worst = d, worstAt = (int)p;
                }
                EXPECT_LE(worst, ToleranceOf(c, shape))
                    << "at (" << worstAt % dw << ", " << worstAt / dw << "): want " << std::hex << want[(size_t)worstAt]
                    << " got " << got[(size_t)worstAt];
            }
        }
    }

    // Every pixel of a graph as the processor path fetches it (ARGB, piece by piece).
    static std::vector<uint32_t> FetchedPixels(int Graph)
    {
        BASEIMAGE image;
        if (GraphFilter_GetGraphImage(Graph, &image, nullptr) < 0) return {};
        std::vector<uint32_t> pixels;
        for (int y = 0; y < image.Height; ++y) {
            const uint32_t *row = (const uint32_t *)((const uint8_t *)image.Pixels + (size_t)y * image.Pitch);
            pixels.insert(pixels.end(), row, row + image.Width);
        }
        ReleaseBaseImage(&image);
        return pixels;
    }

    // A destination in pieces, or the part at (5, 3) of a larger graph, as a draw target or a plain
    // graph, written into or filtered in place: each call leaves the pixels that it leaves in a
    // whole destination, and the larger graph keeps its pixels outside the part, whatever blend
    // mode the caller has set; the screen stays the draw target. The calls: Invert, BrightClip
    // (whose pass starts from the destination's pixels), Gauss (two passes, the second of
    // Direct3D 9 into a draw target itself) and a blend, over a rectangle across the pieces.
    void CheckDestinationsInPiecesAndParts()
    {
        std::mt19937 rng(17);
        const std::vector<uint32_t> picture = RandomPixels(rng, kW * kH), start = RandomPixels(rng, kW * kH);
        const int src = Pixels(picture, kW, kH), blend = Pixels(RandomPixels(rng, kW * kH), kW, kH);
        // (4, 2)-(60, 44) of the source to (3, 1).
        auto rect = [](int IsBlend, int Blend, int Type, auto... Args) {
            return [=](int Src, int Dest) {
                return FilterBase(IsBlend, Src, Blend, Dest, 200, Type, 4, 2, 60, 44, 3, 1, Args...);
            };
        };
        const struct
        {
            const char *Name;
            std::function<int(int Src, int Dest)> Run;
        } calls[] = {
            {"Invert", rect(0, -1, DX_GRAPH_FILTER_INVERT)},
            {"BrightClipLess", rect(0, -1, DX_GRAPH_FILTER_BRIGHT_CLIP, 2, 128, 0)},
            {"Gauss", rect(0, -1, DX_GRAPH_FILTER_GAUSS, 16, 300)},
            {"Overlay", rect(1, blend, DX_GRAPH_BLEND_OVERLAY)},
        };
        // The calls run with the caller's blend mode set, which a copy must not blend by, and leave
        // the screen the draw target.
        ASSERT_EQ(0, SetDrawScreen(DX_SCREEN_BACK));
        struct NoBlendAfter
        {
            ~NoBlendAfter() { SetDrawBlendMode(DX_BLENDMODE_NOBLEND, 0); }
        } noBlendAfter;  // also when a check ends the test early
        SetDrawBlendMode(DX_BLENDMODE_ALPHA, 128);
        // Larger (LW wide) holds Want (W wide) at (X, Y) and Before elsewhere.
        auto expectHolds = [](int Larger, int LW, int X, int Y, int W, const std::vector<uint32_t> &Want,
                              const std::vector<uint32_t> &Before) {
            const std::vector<uint32_t> got = FetchedPixels(Larger);
            ASSERT_EQ(got.size(), Before.size());
            int wrong = 0, first = -1;
            for (size_t i = 0; i < got.size(); ++i) {
                const int x = (int)i % LW - X, y = (int)i / LW - Y;
                const bool inside = x >= 0 && y >= 0 && x < W && (size_t)(y * W + x) < Want.size();
                if (got[i] != (inside ? Want[(size_t)(y * W + x)] : Before[i]) && wrong++ == 0) first = (int)i;
            }
            EXPECT_EQ(wrong, 0) << "first at (" << first % LW - X << ", " << first / LW - Y << ")";
        };
        for (const GraphForm form : {GraphForm::InPieces, GraphForm::PartAt53})
            for (int road = 0; road < 3; ++road) {
                const bool inPlace = road == 2, drawTarget = road != 1, part = form == GraphForm::PartAt53;
                SCOPED_TRACE(std::string(part ? "a part at (5, 3), " : "in pieces, ") +
                             IntoName(inPlace      ? Into::InPlace
                                      : drawTarget ? Into::DrawTarget
                                                   : Into::PlainGraph));
                const std::vector<uint32_t> &first = inPlace ? picture : start;
                for (const auto &call : calls) {
                    SCOPED_TRACE(call.Name);
                    int larger = -1;
                    const int whole = FormedGraph(GraphForm::Whole, first, kW, kH, 1, drawTarget);
                    const int dest = FormedGraph(form, first, kW, kH, 1, drawTarget, &larger);
                    const std::vector<uint32_t> before = FetchedPixels(larger);
                    ASSERT_EQ(0, call.Run(inPlace ? whole : src, whole));
                    ASSERT_EQ(0, call.Run(inPlace ? dest : src, dest));
                    expectHolds(larger, part ? kW + 9 : kW, part ? 5 : 0, part ? 3 : 0, kW, FetchedPixels(whole),
                                before);
                }
            }
        SetDrawBlendMode(DX_BLENDMODE_NOBLEND, 0);
        for (const uint32_t color : {0x000000u, 0xFFFFFFu}) {
            EXPECT_EQ(0, DrawBox(0, 0, 4, 4, color, TRUE));
            const std::vector<uint32_t> screen = ReadPixels(DX_SCREEN_BACK, 1, 1, 1, 1);
            ASSERT_EQ(screen.size(), 1u);
            EXPECT_EQ(screen[0] & 0xFFFFFFu, color) << "drawn on the screen after the calls";
        }
        // A part that is one whole texture of a larger draw target in pieces, though not its first:
        // Invert from a graph straight into it, then in place (read and drawn where it lies).
        SCOPED_TRACE("the part at (16, 16) of a draw target in pieces of 16");
        GraphCreateParam param;
        InitDrawValidGraphCreateParam(&param, 32, 1);
        param.MaxTextureSize = 16;
        const int larger = MakeGraphWithCreateParam(&param, 48, 32, 0, 0, 0, 0, 0);
        Made.push_back(larger);
        ASSERT_EQ(0, FillGraphOfPixels(larger, 48, 32, RandomPixels(rng, 48 * 32).data(), 1));
        const int part = DeriveGraph(16, 16, 16, 16, larger), whole = Target(std::vector<uint32_t>(16 * 16, 0), 16, 16);
        Made.push_back(part);
        const int small = Pixels(RandomPixels(rng, 16 * 16), 16, 16);
        const std::vector<uint32_t> before = FetchedPixels(larger);
        for (const int dest : {whole, part}) {
            ASSERT_EQ(0, GraphFilterBlt(small, dest, DX_GRAPH_FILTER_INVERT));
            ASSERT_EQ(0, GraphFilter(dest, DX_GRAPH_FILTER_INVERT));
        }
        expectHolds(larger, 48, 16, 16, 16, FetchedPixels(whole), before);
    }

    // A multisampled graph (its objects made again with four samples; Multisampled tells that the
    // back end made its multisampled object) serves a filter as the draw target it reads, as a destination,
    // and as both in place (as the draw target or after it): what was drawn reaches the filter, and
    // what the filter wrote is read and drawn from it. Invert on opaque pixels: their colour bits
    // flipped.
    void CheckMultisampledGraphs(bool (*Multisampled)(const GraphTextureEntry &Entry))
    {
        std::mt19937 rng(21);
        std::vector<uint32_t> picture = RandomPixels(rng, kW * kH);
        for (uint32_t &p : picture) p |= 0xFF000000u;
        const int source = Target(picture, kW, kH);
        // As the device reads it back (the channel order is the back end's).
        std::vector<uint32_t> inverted = ReadPixels(source, 0, 0, kW, kH);
        ASSERT_EQ(inverted.size(), (size_t)kW * kH);
        for (uint32_t &p : inverted) p ^= 0x00FFFFFFu;
        auto multisampled = [&] {
            const int graph = Target(std::vector<uint32_t>(kW * kH, 0xFF000000u), kW, kH);
            GraphImageRecord *image = GetGraphEntry(graph, 0)->Image;
            Graphics_Hardware_ReleaseGraphTexture(image);
            image->MultiSampleCount = 4;
            EXPECT_EQ(0, Graphics_Hardware_CreateTexture(image, 0));
            EXPECT_TRUE(Multisampled(image->Texture[0])) << "no multisampled object";
            return graph;
        };
        // Drawn into Graph, the draw target stays Graph.
        auto drawInto = [&](int Graph) {
            EXPECT_EQ(0, SetDrawScreen(Graph));
            EXPECT_EQ(0, DrawGraph(0, 0, source, FALSE));
        };
        // Graph as reads and draws see it: its pixels, and a copy drawn of it.
        auto expectHolds = [&](int Graph, const std::vector<uint32_t> &Want) {
            EXPECT_EQ(0, SetDrawScreen(DX_SCREEN_BACK));
            EXPECT_TRUE(ReadPixels(Graph, 0, 0, kW, kH) == Want) << "read";
            const int copy = Target(std::vector<uint32_t>(kW * kH, 0), kW, kH);
            EXPECT_EQ(0, SetDrawScreen(copy));
            EXPECT_EQ(0, DrawGraph(0, 0, Graph, FALSE));
            EXPECT_EQ(0, SetDrawScreen(DX_SCREEN_BACK));
            EXPECT_TRUE(ReadPixels(copy, 0, 0, kW, kH) == Want) << "drawn";
        };
        {
            SCOPED_TRACE("the draw target as the source");
            const int target = multisampled(), dest = Target(std::vector<uint32_t>(kW * kH, 0), kW, kH);
            drawInto(target);
            ASSERT_EQ(0, GraphFilterBlt(target, dest, DX_GRAPH_FILTER_INVERT));
            expectHolds(dest, inverted);
        }
        {
            SCOPED_TRACE("the destination");
            const int dest = multisampled();
            ASSERT_EQ(0, GraphFilterBlt(source, dest, DX_GRAPH_FILTER_INVERT));
            expectHolds(dest, inverted);
        }
        for (int stillTarget = 0; stillTarget < 2; ++stillTarget) {
            SCOPED_TRACE(stillTarget ? "in place, as the draw target" : "in place, drawn into before");
            const int target = multisampled();
            drawInto(target);
            if (!stillTarget) {
                EXPECT_EQ(0, SetDrawScreen(DX_SCREEN_BACK));
            }
            ASSERT_EQ(0, GraphFilter(target, DX_GRAPH_FILTER_INVERT));
            expectHolds(target, inverted);
        }
    }

    // Bicubic (4 x 4 taps) and Lanczos3 (6 x 6) into a 96 x 72 graph: where a pixel's centre falls
    // in the caller's rectangle scaled to W x H at (DestX, DestY) and its taps stay inside the
    // picture, within 2 of the normalised weights in double precision; every pixel outside that
    // picture keeps the destination's (clipping crops the picture, a size below 1 draws nothing).
    void CheckTapScalers()
    {
        std::mt19937 rng(3);
        // The reference reads the source as the device holds it.
        const int srcGraph = Target(RandomPixels(rng, kW * kH), kW, kH);
        const std::vector<uint32_t> src = ReadPixels(srcGraph, 0, 0, kW, kH), start = RandomPixels(rng, 96 * 72);
        ASSERT_EQ(src.size(), (size_t)kW * kH);
        constexpr int W = 96, H = 72;
        const struct
        {
            const char *Name;
            int X1, Y1, X2, Y2, DestX, DestY, W, H, DrawTarget;
        } rows[] = {
            {"enlarged", 0, 0, kW, kH, 0, 0, W, H, 1},
            {"reduced in a larger graph", 0, 0, kW, kH, 0, 0, 40, 30, 1},
            {"at (30, 20), cropped", 0, 0, kW, kH, 30, 20, W, H, 1},
            {"from (-8, -6) of the source to (-4, 5)", -8, -6, 56, 42, -4, 5, 80, 60, 1},
            {"into a graph that is not a draw target", 8, 4, 56, 44, 20, 10, 60, 50, 0},
            {"width 0", 0, 0, kW, kH, 0, 0, 0, H, 1},
        };
        for (int n = 0; n < 2 * 6; ++n) {
            const bool bicubic = n % 2;
            const auto &row = rows[n / 2];
            SCOPED_TRACE(std::string(bicubic ? "Bicubic " : "Lanczos3 ") + row.Name);
            const int dest = row.DrawTarget ? Target(start, W, H) : Pixels(start, W, H);
            const std::vector<uint32_t> before = ReadPixels(dest, 0, 0, W, H);
            const int type = bicubic ? DX_GRAPH_FILTER_BICUBIC_SCALE : DX_GRAPH_FILTER_LANCZOS3_SCALE;
            ASSERT_EQ(0, GraphFilterRectBlt(srcGraph, dest, row.X1, row.Y1, row.X2, row.Y2, row.DestX, row.DestY, type,
                                            row.W, row.H));
            const std::vector<uint32_t> got = ReadPixels(dest, 0, 0, W, H);
            ASSERT_EQ(got.size(), (size_t)W * H);
            const int reach = bicubic ? 2 : 3;
            int worst = 0, changed = 0;
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x) {
                    // Where the pixel's centre falls in the source.
                    const double u = row.X1 + (x + 0.5 - row.DestX) * (row.X2 - row.X1) / row.W;
                    const double v = row.Y1 + (y + 0.5 - row.DestY) * (row.Y2 - row.Y1) / row.H;
                    if (row.W < 1 || u < std::max(row.X1, 0) || u >= std::min(row.X2, kW) || v < std::max(row.Y1, 0) ||
                        v >= std::min(row.Y2, kH)) {
                        changed += got[(size_t)y * W + x] != before[(size_t)y * W + x];
                        continue;
                    }
                    const double px = u - 0.5, py = v - 0.5;
                    const int ix = (int)floor(px), iy = (int)floor(py);
                    if (ix - reach + 1 < 0 || iy - reach + 1 < 0 || ix + reach >= kW || iy + reach >= kH) continue;
                    double sum[4] = {}, total = 0.0;
                    for (int j = iy - reach + 1; j <= iy + reach; ++j)
                        for (int i = ix - reach + 1; i <= ix + reach; ++i) {
                            const double w = bicubic ? CubicWeight(px - i) * CubicWeight(py - j)
                                                     : LanczosWeight(px - i) * LanczosWeight(py - j);
                            const uint32_t p = src[(size_t)j * kW + i];
                            for (int k = 0; k < 4; ++k) sum[k] += w * ((p >> (8 * k)) & 0xFF);
                            total += w;
                        }
                    uint32_t want = 0;
                    for (int k = 0; k < 4; ++k) {
                        double v = sum[k] / total;
                        v = v < 0.0 ? 0.0 : v > 255.0 ? 255.0 : v;
                        want |= (uint32_t)lround(v) << (8 * k);
                    }
                    const int d = MaxChannelDifference(want, got[(size_t)y * W + x]);
                    worst = d > worst ? d : worst;
                }
            EXPECT_LE(worst, 2);
            EXPECT_EQ(changed, 0) << "pixels outside the scaled picture";
        }
    }

    // A shader the archive lacks: its name is logged, its slot stays empty and the call fails;
    // the next call makes it.
    void CheckMissingShaderFailsItsCall()
    {
        const auto saved = FilterPassDevice.CreateShader;
        FilterPassDevice.CreateShader = [](int, const char *) { return -1; };
        const int slot = FILTER_SLOT_INVERT;
        GraphFilterState.ShaderHandles.Shader[slot] = -1;
        std::mt19937 rng(5);
        const int src = Pixels(RandomPixels(rng, kW * kH), kW, kH), dest = Target(RandomPixels(rng, kW * kH), kW, kH);
        LogAppendReader log;
        EXPECT_EQ(GraphFilterBlt(src, dest, DX_GRAPH_FILTER_INVERT), -1);
        EXPECT_NE(log.Appended().find(L"フィルター用シェーダーの作成に失敗しました Invert.pso"), std::wstring::npos);
        EXPECT_EQ(GraphFilterState.ShaderHandles.Shader[slot], -1);
        // A blend cut to its graph fails as a whole: its destination keeps every pixel, into a
        // draw target and in place with the destination moved.
        const int blendSlot = FILTER_SLOT_BLEND + FilterBlendShaderNumber(DX_GRAPH_BLEND_NORMAL);
        GraphFilterState.ShaderHandles.Shader[blendSlot] = -1;
        const int blend = Pixels(RandomPixels(rng, 16 * 12), 16, 12);
        const Shape cut = {"blend graph over the top left", kW, kH, 4, 4, 40, 30, kW, kH, 9, 7, 1};
        for (int inPlace = 0; inPlace < 2; ++inPlace) {
            SCOPED_TRACE(inPlace ? "cut blend in place" : "cut blend into a draw target");
            const int target = Target(RandomPixels(rng, kW * kH), kW, kH);
            const std::vector<uint32_t> before = ReadPixels(target, 0, 0, kW, kH);
            EXPECT_EQ(-1, BlendAt(inPlace ? target : src, blend, target, DX_GRAPH_BLEND_NORMAL, cut, -9, -7, 1));
            EXPECT_TRUE(ReadPixels(target, 0, 0, kW, kH) == before);
        }
        EXPECT_EQ(GraphFilterState.ShaderHandles.Shader[blendSlot], -1);
        FilterPassDevice.CreateShader = saved;
        EXPECT_EQ(GraphFilterBlt(src, dest, DX_GRAPH_FILTER_INVERT), 0);
        EXPECT_GE(GraphFilterState.ShaderHandles.Shader[slot], 0);
    }

    // A shadow map (its device objects made by the back end's Setup) as a pass's destination, as
    // the source and destination of a pass in place, and as its source: Invert into it, perhaps
    // Invert it in place, then Invert out of it. The map keeps the graph's red, at bit KeptShift
    // of the values ReadPixels gives (the locked texture as it lies: R in the low byte on
    // Direct3D 11, in bits 16-23 on Direct3D 9); the colour channels it lacks come back as Lacking
    // (the device reads them as 0 or 1, then they are inverted), alpha as 255.
    // Then blends out of the map and into it whose graph covers only the rectangle's top left:
    // the source's pixels around it are copied out of and into the map, as a blend graph that
    // covers all gives them.
    void CheckShadowMapRoundTrip(int (*Setup)(ShadowMapHandleData *Map, int ASyncThread), int KeptShift,
                                 uint8_t Lacking)
    {
        const int mapHandle = AddHandle(DX_HANDLETYPE_SHADOWMAP, 0, -1);
        ShadowMapHandleData *map = GetShadowMapEntry(mapHandle, 0);
        ASSERT_NE(nullptr, map);
        map->Width = kW, map->Height = kH;
        map->BitDepth = 32;
        ASSERT_EQ(0, Setup(map, 0));
        std::mt19937 rng(13);
        const int src = Target(RandomPixels(rng, kW * kH), kW, kH);
        const std::vector<uint32_t> want = ReadPixels(src, 0, 0, kW, kH);
        const uint32_t kept = 0xFFu << KeptShift, lacking = Lacking * 0x010101u & ~kept;
        for (int inPlace = 0; inPlace < 2; ++inPlace) {
            SCOPED_TRACE(inPlace ? "inverted in place" : "straight through");
            const int dest = Target(std::vector<uint32_t>(kW * kH, 0), kW, kH);
            EXPECT_EQ(0, GraphFilterBlt(src, mapHandle, DX_GRAPH_FILTER_INVERT));
            if (inPlace) {
                EXPECT_EQ(0, GraphFilter(mapHandle, DX_GRAPH_FILTER_INVERT));
            }
            EXPECT_EQ(0, GraphFilterBlt(mapHandle, dest, DX_GRAPH_FILTER_INVERT));
            const std::vector<uint32_t> got = ReadPixels(dest, 0, 0, kW, kH);
            ASSERT_EQ(got.size(), want.size());
            int worst = 0;
            for (size_t i = 0; i < got.size(); ++i) {
                const uint32_t channel = (inPlace ? ~want[i] : want[i]) & kept;
                const int d = MaxChannelDifference(got[i], 0xFF000000u | lacking | channel);
                worst = d > worst ? d : worst;
            }
            EXPECT_LE(worst, 1);
        }
        {
            // The graph layer's own filter call: the map blurred in place (Gauss at 8 pixels), as a
            // graph holding the same picture is blurred.
            SCOPED_TRACE("blurred in place");
            auto blurred = [&](int Graph) {
                const int dest = Target(std::vector<uint32_t>(kW * kH, 0), kW, kH);
                EXPECT_EQ(0, GraphFilterBlt(src, Graph, DX_GRAPH_FILTER_INVERT));
                EXPECT_EQ(0, GraphFilter(Graph, DX_GRAPH_FILTER_GAUSS, 8, 200));
                EXPECT_EQ(0, GraphFilterBlt(Graph, dest, DX_GRAPH_FILTER_INVERT));
                return ReadPixels(dest, 0, 0, kW, kH);
            };
            const std::vector<uint32_t> got = blurred(mapHandle),
                                        want = blurred(Target(std::vector<uint32_t>(kW * kH, 0), kW, kH));
            ASSERT_EQ(got.size(), want.size());
            int worst = 0;
            for (size_t i = 0; i < got.size(); ++i)
                worst = std::max(worst, MaxChannelDifference(got[i] & kept, want[i] & kept));
            EXPECT_LE(worst, 2);
        }
        // A transparent blend graph leaves the Normal blend its source's pixels: cut (16 x 12 at
        // (-5, -3) of the rectangle (8, 6)-(40, 30), drawn at (12, 10)) or covering all.
        const int small = Pixels(std::vector<uint32_t>(16 * 12, 0), 16, 12);
        const int large = Pixels(std::vector<uint32_t>(kW * kH, 0), kW, kH);
        const Shape rect = {"a rectangle moved", kW, kH, 8, 6, 40, 30, kW, kH, 12, 10, 1};
        const Shape all = {"the whole map", kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, 1};
        const std::vector<uint32_t> start = RandomPixels(rng, kW * kH);
        auto blended = [&](bool IntoMap, bool Cut) {
            const int dest = Target(start, kW, kH);
            const int graph = IntoMap ? mapHandle : dest, blend = Cut ? small : large;
            if (IntoMap) {
                EXPECT_EQ(0, BlendAt(dest, large, mapHandle, DX_GRAPH_BLEND_NORMAL, all, 0, 0, 0));
            }
            EXPECT_EQ(0, BlendAt(IntoMap ? src : mapHandle, blend, graph, DX_GRAPH_BLEND_NORMAL, rect, Cut ? -13 : 0,
                                 Cut ? -9 : 0, Cut ? 1 : 0));
            if (IntoMap) {
                EXPECT_EQ(0, BlendAt(mapHandle, large, dest, DX_GRAPH_BLEND_NORMAL, all, 0, 0, 0));
            }
            return ReadPixels(dest, 0, 0, kW, kH);
        };
        for (const bool intoMap : {false, true}) {
            SCOPED_TRACE(intoMap ? "a blend into the map" : "a blend out of the map");
            const std::vector<uint32_t> want = blended(intoMap, false), got = blended(intoMap, true);
            ASSERT_EQ(got.size(), want.size());
            int worst = 0;
            for (size_t i = 0; i < got.size(); ++i) worst = std::max(worst, MaxChannelDifference(got[i], want[i]));
            EXPECT_LE(worst, 1);
        }
        SubHandle(mapHandle);
    }

    // Two changes of the screen mode through the back end's Change, each between filter calls:
    // the pixels stay those of the first calls, and the live shaders as many as after one change
    // (a reset that leaves its handles alive grows the count at the second change already).
    // The calls reach the reset's every kind of cached object: filter shaders, a ready channel mix,
    // the Level gamma graph, work textures (Gauss, the two-pass Hsb of Direct3D 9) and a blend.
    void CheckScreenModeChanges(int (*Change)(int ChangeFlag, int Width, int Height, int Depth, int Refresh))
    {
        static const char *const kNames[] = {"Gauss", "Mono", "Level", "HsbShift", "RGBAMix ready", "Overlay_PMA"};
        std::mt19937 rng(11);
        const int src = Pixels(RandomPixels(rng, kW * kH), kW, kH), blend = Pixels(RandomPixels(rng, kW * kH), kW, kH);
        const int gradient = Pixels(RandomPixels(rng, 256), 256, 1);
        const std::vector<uint32_t> start = RandomPixels(rng, kW * kH);
        const std::vector<Case> cases = FilterCases(gradient, -1);
        const int startGraph = Pixels(start, kW, kH);
        constexpr int n = sizeof(kNames) / sizeof(kNames[0]);
        const size_t size = (size_t)kW * kH;
        // A round's results: each case filters the start picture in one target, and its result is
        // copied into its rows of a graph that is read once.
        auto filtered = [&] {
            const int dest = Target(start, kW, kH), rows = Target(std::vector<uint32_t>(size * n, 0), kW, kH * n);
            int ran = 0;
            for (const char *name : kNames)
                for (const Case &c : cases)
                    if (strcmp(c.Name, name) == 0) {
                        EXPECT_EQ(0, BltRectGraphToGraph(startGraph, 0, 0, 0, 0, kW, kH, 0, 0, dest));
                        EXPECT_EQ(0, c.Run(src, blend, dest, Shapes()[0])) << name;
                        EXPECT_EQ(0, BltRectGraphToGraph(dest, 0, 0, 0, 0, kW, kH, 0, kH * ran++, rows));
                    }
            EXPECT_EQ(n, ran);
            const std::vector<uint32_t> all = ReadPixels(rows, 0, 0, kW, kH * n);
            std::vector<std::vector<uint32_t>> each;
            for (int i = 0; i < n && all.size() == size * n; ++i)
                each.emplace_back(all.begin() + i * size, all.begin() + (i + 1) * size);
            EXPECT_EQ(n, (int)each.size());
            return each;
        };
        const std::vector<std::vector<uint32_t>> first = filtered();
        int shadersAfterOne = -1;
        for (int round = 0; round < 2; ++round) {
            ASSERT_EQ(0, Change(1, 160, 120, 32, 60));
            const std::vector<std::vector<uint32_t>> now = filtered();
            for (size_t i = 0; i < now.size() && i < first.size(); ++i)
                EXPECT_TRUE(now[i] == first[i]) << kNames[i] << ", round " << round;
            if (round == 0) shadersAfterOne = GetHandleManage(DX_HANDLETYPE_SHADER)->Num;
        }
        EXPECT_EQ(GetHandleManage(DX_HANDLETYPE_SHADER)->Num, shadersAfterOne);
    }
};

}  // namespace filter_device
