// The Direct3D 11 filter passes on the platform's own device (Wine's, on llvmpipe): every filter
// and blend over random 64 x 48 graphs gives the processor kernels' pixels within a channel
// tolerance (the processor's run is the same call with the shader path switched off), Bicubic and
// Lanczos3 agree with a float reference of their tap weights, a filter draws its passes and leaves
// the draw settings as they were, every file the passes ask for is in the archive, a missing one
// fails its call, and a screen-mode change between filters changes neither the pixels nor the
// number of live shaders.
#include <gtest/gtest.h>

#include <objbase.h>
#include <math.h>
#include <stdlib.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "tests/zovuz/filter/filter_fixture.h"
#include "zovuz/d3d11/d3d11_internal.h"
#include "zovuz/d3d11/windows/d3d11_calls.h"
#include "zovuz/d3d11/zovuz_d3d11.h"
#include "zovuz/filter/filter_d3d11_passes.h"
#include "zovuz/graphics/draw_state.h"
#include "zovuz/graphics/graph_internal.h"
#include "zovuz/graphics/shader_light.h"

namespace {

constexpr int kW = 64, kH = 48;

class D3D11FilterPasses : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ChangeWindowMode(1);
        SetAlwaysRunFlag(1);
        SetMainWindowText("d3d11 filters");
        ASSERT_EQ(0, SetGraphMode(160, 120, 32, 60));
        ASSERT_EQ(0, CreateMainWindow());
        RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, GetGraphicsD3D11Functions());
        RegisterGraphFilterFunctions(GetGraphFilterFunctionTable());
        RegisterGraphFilterD3D11Passes();
        SetUseHardwareRenderFlag(1);
        SetWaitVSyncFlag(0);
        ASSERT_EQ(0, InitializeGraphics());
        InitializeBaseImageTables();
        GetLibraryState()->Started = 1;
    }
    static void TearDownTestSuite()
    {
        GetLibraryState()->Started = 0;
        TerminateGraphics();
        RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, nullptr);
        EndTestMainWindow();
        CoUninitialize();
    }
    void SetUp() override
    {
        if (getenv("TARVEX_D3D11_DISABLED") != nullptr) GTEST_SKIP() << "d3d11.dll is switched off in this run";
        ASSERT_EQ(GRAPHICS_API_D3D11, GetGraphicsAPIType());
    }
    void TearDown() override
    {
        for (int graph : Made) DeleteGraph(graph);
        Made.clear();
    }
    int Pixels(const std::vector<uint32_t> &P, int Width, int Height)
    {
        const int graph = MakeGraphOfPixels(Width, Height, P.data(), 1);
        EXPECT_GE(graph, 0);
        Made.push_back(graph);
        return graph;
    }
    // A draw-valid graph holding Start.
    int Target(const std::vector<uint32_t> &Start, int Width, int Height)
    {
        GraphCreateParam param;
        InitDrawValidGraphCreateParam(&param, 32, 1);
        const int graph = MakeGraphWithCreateParam(&param, Width, Height, 0, 0, 0, 0, 0);
        EXPECT_GE(graph, 0);
        Made.push_back(graph);
        const int start = Pixels(Start, Width, Height);
        EXPECT_EQ(0, BltRectGraphToGraph(start, 0, 0, 0, 0, Width, Height, 0, 0, graph));
        return graph;
    }
    std::vector<int> Made;
};

// A filter or blend call from Src (and Blend) into Dest.
using Call = std::function<int(int Src, int Blend, int Dest)>;

struct Case {
    const char *Name;
    Call Run;
    int Tolerance;
    int OutWidth, OutHeight;  // the part of the destination compared
};

int MaxChannelDifference(uint32_t A, uint32_t B)
{
    int worst = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const int d = abs((int)((A >> shift) & 0xFF) - (int)((B >> shift) & 0xFF));
        worst = d > worst ? d : worst;
    }
    return worst;
}

std::vector<Case> FilterCases(int Gradient, int Chroma)
{
    auto filter = [](int Type, auto... Args) {
        return [=](int Src, int, int Dest) { return GraphFilterBlt(Src, Dest, Type, Args...); };
    };
    auto blend = [](int Type, auto... Args) {
        return [=](int Src, int Blend, int Dest) {
            return FilterBase(1, Src, Blend, Dest, 200, Type, 0, 0, kW, kH, 0, 0, Args...);
        };
    };
    std::vector<Case> cases = {
        {"Mono", filter(DX_GRAPH_FILTER_MONO, -60, 90), 2, kW, kH},
        {"Gauss", filter(DX_GRAPH_FILTER_GAUSS, 16, 300), 2, kW, kH},
        {"DownScale2", filter(DX_GRAPH_FILTER_DOWN_SCALE, 2), 2, kW / 2, kH / 2},
        {"DownScale4", filter(DX_GRAPH_FILTER_DOWN_SCALE, 4), 2, kW / 4, kH / 4},
        {"DownScale8", filter(DX_GRAPH_FILTER_DOWN_SCALE, 8), 2, kW / 8, kH / 8},
        {"BrightClipLess", filter(DX_GRAPH_FILTER_BRIGHT_CLIP, 2, 128, 0), 2, kW, kH},
        {"BrightClipFillGreater", filter(DX_GRAPH_FILTER_BRIGHT_CLIP, 5, 100, 1, 0x336699, 200), 2, kW, kH},
        {"BrightClipFillGreater_PMA", filter(DX_GRAPH_FILTER_PMA_BRIGHT_CLIP, 5, 100, 1, 0x336699, 200), 2, kW, kH},
        {"BrightnessScale", filter(DX_GRAPH_FILTER_BRIGHT_SCALE, 40, 200), 2, kW, kH},
        {"BrightnessScale_PMA", filter(DX_GRAPH_FILTER_PMA_BRIGHT_SCALE, 40, 200), 2, kW, kH},
        {"HsbShift", filter(DX_GRAPH_FILTER_HSB, 0, 30, 20, -10), 2, kW, kH},
        {"HsbLock", filter(DX_GRAPH_FILTER_HSB, 1, 200, -30, 15), 2, kW, kH},
        {"Hsb_PMA", filter(DX_GRAPH_FILTER_PMA_HSB, 0, -45, 10, 20), 2, kW, kH},
        {"Invert", filter(DX_GRAPH_FILTER_INVERT), 1, kW, kH},
        {"Invert_PMA", filter(DX_GRAPH_FILTER_PMA_INVERT), 1, kW, kH},
        {"Level", filter(DX_GRAPH_FILTER_LEVEL, 20, 230, 150, 10, 240), 2, kW, kH},
        {"Level_PMA", filter(DX_GRAPH_FILTER_PMA_LEVEL, 20, 230, 60, 10, 240), 2, kW, kH},
        {"TwoColor", filter(DX_GRAPH_FILTER_TWO_COLOR, 100, 0x102030, 255, 0xE0D0C0, 128), 2, kW, kH},
        {"TwoColor_PMA", filter(DX_GRAPH_FILTER_PMA_TWO_COLOR, 100, 0x102030, 255, 0xE0D0C0, 128), 2, kW, kH},
        {"GradientMap", filter(DX_GRAPH_FILTER_GRADIENT_MAP, Gradient, 0), 2, kW, kH},
        {"GradientMapRev_PMA", filter(DX_GRAPH_FILTER_PMA_GRADIENT_MAP, Gradient, 1), 2, kW, kH},
        {"PremultipliedAlpha", filter(DX_GRAPH_FILTER_PREMUL_ALPHA), 1, kW, kH},
        {"InterpolatedAlpha", filter(DX_GRAPH_FILTER_INTERP_ALPHA), 2, kW, kH},
        {"Y2uv1ToRgb", filter(DX_GRAPH_FILTER_Y2UV1_TO_RGB, Chroma), 2, kW, kH},
        {"RGBAMix ready", blend(DX_GRAPH_BLEND_RGBA_SELECT_MIX, 2, 0, 1, 3), 0, kW, kH},
        {"RGBAMix grey", blend(DX_GRAPH_BLEND_RGBA_SELECT_MIX, 2, 2, 2, 7), 0, kW, kH},
        {"RGBAMix swapped", blend(DX_GRAPH_BLEND_RGBA_SELECT_MIX, 4, 5, 6, 3), 0, kW, kH},
        {"RGBAMix base", blend(DX_GRAPH_BLEND_RGBA_SELECT_MIX, 1, 0, 2, 7), 0, kW, kH},
    };
    static const char *const kBlendNames[] = {"Normal", "", "Multiple", "Difference", "Add", "Screen", "Overlay",
                                              "Dodge", "Burn", "Darken", "Lighten", "SoftLight", "HardLight",
                                              "Exclusion", "Normal_AlphaCh", "Add_AlphaCh", "Multiple_AOnly"};
    static std::vector<std::string> names;
    names.clear();
    for (int pma = 0; pma < 2; ++pma)
        for (int type = 0; type <= DX_GRAPH_BLEND_MULTIPLE_A_ONLY; ++type)
            if (type != DX_GRAPH_BLEND_RGBA_SELECT_MIX) names.push_back(std::string(kBlendNames[type]) + (pma ? "_PMA" : ""));
    size_t n = 0;
    for (int pma = 0; pma < 2; ++pma)
        for (int type = 0; type <= DX_GRAPH_BLEND_MULTIPLE_A_ONLY; ++type)
            if (type != DX_GRAPH_BLEND_RGBA_SELECT_MIX)
                cases.push_back({names[n++].c_str(), blend(type + pma * DX_GRAPH_BLEND_PMA_BASE), 2, kW, kH});
    return cases;
}

// Runs Run on the processor (the shader path switched off) and on the device, each into a
// destination that starts as Start, and gives both results.
void RunBoth(D3D11FilterPasses *, const Call &Run, int Src, int Blend, int Processor, int Device)
{
    GraphicsDeviceCaps.ProgrammableShaderFlag = 0;
    const int processor = Run(Src, Blend, Processor);
    GraphicsDeviceCaps.ProgrammableShaderFlag = 1;
    EXPECT_EQ(processor, 0);
    EXPECT_EQ(Run(Src, Blend, Device), 0);
}

}  // namespace

TEST_F(D3D11FilterPasses, EveryFilterAndBlendGivesTheProcessorsPixels)
{
    std::mt19937 rng(68);
    std::vector<uint32_t> gradient = RandomPixels(rng, 256), chroma = RandomPixels(rng, kW / 2 * kH / 2);
    const int gradientGraph = Pixels(gradient, 256, 1), chromaGraph = Pixels(chroma, kW / 2, kH / 2);
    for (const Case &c : FilterCases(gradientGraph, chromaGraph)) {
        SCOPED_TRACE(c.Name);
        std::vector<uint32_t> src = RandomPixels(rng, kW * kH), other = RandomPixels(rng, kW * kH),
                              start = RandomPixels(rng, kW * kH);
        // Premultiplied pictures hold no colour above their alpha.
        for (std::vector<uint32_t> *p : {&src, &other})
            for (uint32_t &v : *p) {
                const uint32_t a = v >> 24;
                for (int s = 0; s < 24; s += 8)
                    if (((v >> s) & 0xFF) > a) v = (v & ~(0xFFu << s)) | (a << s);
            }
        const int srcGraph = Pixels(src, kW, kH), blendGraph = Pixels(other, kW, kH);
        const int processor = Target(start, kW, kH), device = Target(start, kW, kH);
        RunBoth(this, c.Run, srcGraph, blendGraph, processor, device);
        const std::vector<uint32_t> want = ReadPixels(processor, 0, 0, c.OutWidth, c.OutHeight),
                                    got = ReadPixels(device, 0, 0, c.OutWidth, c.OutHeight);
        ASSERT_EQ(want.size(), got.size());
        int worst = 0, worstAt = 0;
        for (size_t i = 0; i < want.size(); ++i) {
            const int d = MaxChannelDifference(want[i], got[i]);
            if (d > worst) worst = d, worstAt = (int)i;
        }
        EXPECT_LE(worst, c.Tolerance) << "at (" << worstAt % c.OutWidth << ", " << worstAt / c.OutWidth << "): want "
                                      << std::hex << want[(size_t)worstAt] << " got " << got[(size_t)worstAt];
    }
}

// Catmull-Rom and Lanczos3 weights of a tap at distance X.
double CubicWeight(double X)
{
    X = fabs(X);
    if (X < 1.0) return 1.5 * X * X * X - 2.5 * X * X + 1.0;
    if (X < 2.0) return -0.5 * X * X * X + 2.5 * X * X - 4.0 * X + 2.0;
    return 0.0;
}
double LanczosWeight(double X)
{
    if (fabs(X) < 1e-9) return 1.0;
    if (fabs(X) >= 3.0) return 0.0;
    const double p = 3.14159265358979 * X;
    return 3.0 * sin(p) * sin(p / 3.0) / (p * p);
}

TEST_F(D3D11FilterPasses, TapScalersFollowTheirWeights)
{
    std::mt19937 rng(3);
    // The reference reads the source as the device holds it.
    const int srcGraph = Target(RandomPixels(rng, kW * kH), kW, kH);
    const std::vector<uint32_t> src = ReadPixels(srcGraph, 0, 0, kW, kH);
    ASSERT_EQ(src.size(), (size_t)kW * kH);
    constexpr int W = 96, H = 72;
    for (int bicubic = 0; bicubic < 2; ++bicubic) {
        SCOPED_TRACE(bicubic ? "Bicubic" : "Lanczos3");
        const int dest = Target(std::vector<uint32_t>(W * H, 0), W, H);
        ASSERT_EQ(0, GraphFilterBlt(srcGraph, dest,
                                    bicubic ? DX_GRAPH_FILTER_BICUBIC_SCALE : DX_GRAPH_FILTER_LANCZOS3_SCALE, W, H));
        const std::vector<uint32_t> got = ReadPixels(dest, 0, 0, W, H);
        ASSERT_EQ(got.size(), (size_t)W * H);
        const int reach = bicubic ? 2 : 3;
        int worst = 0;
        // Away from the edges, where the taps stay inside the picture.
        for (int y = 4; y < H - 4; ++y)
            for (int x = 4; x < W - 4; ++x) {
                const double px = (x + 0.5) * kW / W - 0.5, py = (y + 0.5) * kH / H - 0.5;
                const int ix = (int)floor(px), iy = (int)floor(py);
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
    }
}

TEST_F(D3D11FilterPasses, ArchiveShadersAreFoundByNameAndAMissingOneFailsItsCall)
{
    // Every file the passes can ask for.
    for (int slot = 0; slot < FILTER_SLOT_END; ++slot) {
        const char *name = FilterShaderFileName(GRAPHICS_API_D3D11, slot);
        const void *code = nullptr;
        int size = 0;
        if (name == nullptr) continue;
        EXPECT_EQ(Graphics_D3D11_Filter_FindShaderCode(name, &code, &size), 0) << name;
    }

    const int mono = Graphics_D3D11_Filter_CreateShader("Mono.pso", 0);
    EXPECT_GE(mono, 0);
    SubHandle(mono);
    EXPECT_EQ(Graphics_D3D11_Filter_CreateShader("Missing.pso", 0), -1);

    // A shader the archive lacks: its slot stays empty, its name is logged and the pass fails.
    const auto saved = FilterPassDevice.CreateShader;
    FilterPassDevice.CreateShader = [](int, const char *) { return -1; };
    const int slot = FILTER_SLOT_INVERT;
    GraphFilterState.ShaderHandles.Shader[slot] = -1;
    std::mt19937 rng(5);
    const int src = Pixels(RandomPixels(rng, kW * kH), kW, kH), dest = Target(RandomPixels(rng, kW * kH), kW, kH);
    EXPECT_EQ(GraphFilterBlt(src, dest, DX_GRAPH_FILTER_INVERT), -1);
    EXPECT_EQ(GraphFilterState.ShaderHandles.Shader[slot], -1);
    // Tried again on the next call, which finds it.
    FilterPassDevice.CreateShader = saved;
    EXPECT_EQ(GraphFilterBlt(src, dest, DX_GRAPH_FILTER_INVERT), 0);
    EXPECT_GE(GraphFilterState.ShaderHandles.Shader[slot], 0);
}

TEST_F(D3D11FilterPasses, PassesDrawOnceEachAndKeepTheDrawSettings)
{
    std::mt19937 rng(7);
    const int src = Pixels(RandomPixels(rng, kW * kH), kW, kH), dest = Target(RandomPixels(rng, kW * kH), kW, kH);
    SetDrawBlendMode(DX_BLENDMODE_ALPHA, 100);
    SetFogEnable(1);
    SetUseLighting(0);
    SetUseZBuffer3D(1);
    const GraphicsDrawSettingsData before = GraphicsDrawSettings;
    // Hsb in one pass on this back end, from one graph straight into a draw-valid one.
    const unsigned draws = D3D11CallLayer.DrawCallCount;
    ASSERT_EQ(0, GraphFilterBlt(src, dest, DX_GRAPH_FILTER_HSB, 0, 30, 20, 10));
    EXPECT_EQ(D3D11CallLayer.DrawCallCount - draws, 1u);
    const GraphicsDrawSettingsData after = GraphicsDrawSettings;
    EXPECT_EQ(after.BlendMode, before.BlendMode);
    EXPECT_EQ(after.BlendParam, before.BlendParam);
    EXPECT_EQ(after.FogEnable, before.FogEnable);
    EXPECT_EQ(after.Z2D.TestFlag, before.Z2D.TestFlag);
    EXPECT_EQ(after.NoLightingFlag, before.NoLightingFlag);
    SetDrawBlendMode(DX_BLENDMODE_NOBLEND, 0);
    SetFogEnable(0);
    SetUseZBuffer3D(0);
}

TEST_F(D3D11FilterPasses, ScreenModeChangeKeepsPixelsAndShaderCount)
{
    std::mt19937 rng(11);
    const int src = Pixels(RandomPixels(rng, kW * kH), kW, kH);
    const std::vector<uint32_t> start = RandomPixels(rng, kW * kH);
    auto filtered = [&] {
        const int dest = Target(start, kW, kH);
        EXPECT_EQ(0, GraphFilterBlt(src, dest, DX_GRAPH_FILTER_GAUSS, 8, 200));
        EXPECT_EQ(0, GraphFilterBlt(dest, dest, DX_GRAPH_FILTER_MONO, 20, -30));
        return ReadPixels(dest, 0, 0, kW, kH);
    };
    const std::vector<uint32_t> first = filtered();
    int shadersAfterOne = -1;
    for (int round = 0; round < 10; ++round) {
        ASSERT_EQ(0, Graphics_D3D11_ChangeScreenMode(1, 160, 120, 32, 60));
        EXPECT_TRUE(filtered() == first) << "round " << round;
        if (round == 0) shadersAfterOne = GetHandleManage(DX_HANDLETYPE_SHADER)->Num;
    }
    EXPECT_EQ(GetHandleManage(DX_HANDLETYPE_SHADER)->Num, shadersAfterOne);
}
