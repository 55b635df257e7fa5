// The Direct3D 9 filter passes through the whole front end, with a recording device underneath:
// the shader each pass selects, its constants and quads, the draw state around the passes, and a
// shader missing from the archive.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "tests/zovuz/filter/filter_fixture.h"
#include "zovuz/filter/filter_d3d9_internal.h"

namespace {

struct RecordedDraw
{
    std::string Shader;
    int Src, Second, Dest, Format;
    std::vector<std::array<float, 4>> C;       // the constants in force
    std::vector<FilterPassVertex> Quad;        // 40-byte vertices
    std::vector<FilterTapVertex> Taps;         // 84-byte vertices
    int BlendMode, DrawMode, ZTest, Fog;       // the front end's settings while it drew
};

struct Recorder
{
    std::map<int, std::string> ShaderName;
    std::set<std::string> Missing;
    std::vector<std::array<float, 4>> Constants;
    std::vector<RecordedDraw> Draws;
    int Rows = 0, Saves = 0, Restores = 0;
};
Recorder *Rec = nullptr;

class D3D9FilterPasses : public FilterGraphs
{
protected:
    void SetUp() override
    {
        FilterGraphs::SetUp();
        Rec = &R;
        ApiType = GraphicsAPIType;
        GraphicsAPIType = GRAPHICS_API_D3D9;
        FilterPassDevice.UsesShaders = [] { return 1; };
        FilterPassDevice.CreateShader = [](int, const char *Name) {
            if (Rec->Missing.count(Name)) return -1;
            const int h = 900000 + (int)Rec->ShaderName.size();
            Rec->ShaderName[h] = Name;
            return h;
        };
        FilterPassDevice.CreateReadyShader = [](int, int Index) {
            const int h = 900000 + (int)Rec->ShaderName.size();
            Rec->ShaderName[h] = "ready " + std::to_string(Index);
            return h;
        };
        FilterD3D9Device.BeginScene = [] { return 0; };
        FilterD3D9Device.EndScene = [] { return 0; };
        FilterD3D9Device.SaveTargets = [] { return ++Rec->Saves, 0; };
        FilterD3D9Device.RestoreTargets = [] { return ++Rec->Restores, 0; };
        FilterD3D9Device.SetPixelConstants = [](const float *V, int N) {
            Rec->Constants.assign(N, {});
            for (int i = 0; i < N; ++i)
                for (int k = 0; k < 4; ++k) Rec->Constants[i][k] = V[i * 4 + k];
            return 0;
        };
        FilterD3D9Device.ReleasePixelConstants = [](int) {
            Rec->Constants.clear();
            return 0;
        };
        FilterD3D9Device.DrawQuad = [](const FilterD3D9Draw *D) {
            RecordedDraw r;
            r.Shader = Rec->ShaderName[D->PixelShader];
            r.Src = D->SrcGraph, r.Second = D->SecondGraph, r.Dest = D->DestGraph, r.Format = D->VertexFormat;
            r.C = Rec->Constants;
            if (D->VertexFormat == FILTER_PASS_FVF)
                r.Quad.assign((const FilterPassVertex *)D->Vertices, (const FilterPassVertex *)D->Vertices + 4);
            else
                r.Taps.assign((const FilterTapVertex *)D->Vertices, (const FilterTapVertex *)D->Vertices + 4);
            const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
            r.BlendMode = d.BlendMode, r.DrawMode = d.DrawMode, r.ZTest = d.Z2D.TestFlag, r.Fog = d.FogEnable;
            Rec->Draws.push_back(r);
            return 0;
        };
        FilterD3D9Device.DrawRows = [](const VERTEX2D *, int, int) { return ++Rec->Rows, 0; };
        GraphFilter_ResetShaderHandles();
    }
    void TearDown() override
    {
        GraphicsAPIType = ApiType;
        ResetFilterPassDeviceCalls();
        ResetFilterD3D9DeviceCalls();
        memset(&GraphFilterState.ShaderHandles.Shader, 0xFF, sizeof(GraphFilterState.ShaderHandles.Shader));
        Rec = nullptr;
        FilterGraphs::TearDown();
    }
    std::vector<std::string> Shaders() const
    {
        std::vector<std::string> names;
        for (const RecordedDraw &d : R.Draws) names.push_back(d.Shader);
        return names;
    }
    Recorder R;
    int ApiType = 0;
};

TEST_F(D3D9FilterPasses, ShadersConstantsAndQuadsPerFilter)
{
    std::mt19937 rng(68);
    const int src = RandomGraph(rng, 64, 48), dest = RandomGraph(rng, 64, 48), blend = RandomGraph(rng, 64, 48);
    struct Row
    {
        const char *Case;
        std::function<int()> Call;
        std::vector<std::string> Shaders;
        std::function<void(const Recorder &)> Check;
    };
    const Row rows[] = {
        {"Gauss width 12, in place", [&] { return GraphFilter(src, 1, 12, 100); },
         {"Gauss_08Pixel_PS.pso", "Gauss_08Pixel_PS.pso"},
         [&](const Recorder &r) {
             const float tw = r.Draws[0].C[0][0];
             EXPECT_FLOAT_EQ(r.Draws[0].C[6][0], 1.5f / tw) << "pass 0 steps across";
             EXPECT_EQ(r.Draws[0].C[6][1], 0.0f);
             EXPECT_EQ(r.Draws[1].C[6][0], 0.0f) << "pass 1 steps down";
             EXPECT_EQ(r.Rows, 1) << "the last row repeated after pass 0 only";
             EXPECT_NE(r.Draws[0].Dest, src);
             EXPECT_NE(r.Draws[1].Dest, r.Draws[0].Dest);
             EXPECT_EQ(r.Draws[1].Src, r.Draws[0].Dest);
         }},
        {"HSB type 0, saturation 0.2", [&] { return GraphFilterBlt(src, dest, 5, 0, 30, 51, 0); },
         {"Hsb_RGB_TO_HSB.pso", "Hsb_HSB_TO_RGB.pso"},
         [](const Recorder &r) { EXPECT_FLOAT_EQ(r.Draws[1].C[0][1], 1.0f); }},
        {"HSB type 0, saturation -0.2", [&] { return GraphFilterBlt(src, dest, 5, 0, 30, -51, 0); },
         {"Hsb_RGB_TO_HSB.pso", "Hsb_HSB_TO_RGB.pso"},
         [](const Recorder &r) { EXPECT_FLOAT_EQ(r.Draws[0].C[0][1], -0.2f); }},
        {"HSB type 1", [&] { return GraphFilterBlt(src, dest, 5, 1, 30, 0, 0); }, {"Hsb_HSB_HLOCK.pso"}, nullptr},
        {"PMA HSB keeps both passes", [&] { return GraphFilterBlt(src, dest, 20, 0, 30, 0, 0); },
         {"Hsb_RGB_TO_HSB_PMA.pso", "Hsb_HSB_TO_RGB_PMA.pso"}, nullptr},
        {"BrightClip greater, fill, PMA", [&] { return GraphFilterBlt(src, dest, 18, 5, 128, 1, 0x00FF8000, 255); },
         {"BrightClipFillGreater_PMA.pso"},
         [](const Recorder &r) {
             EXPECT_FLOAT_EQ(r.Draws[0].C[0][3], 128.0f / 255.0f);
             EXPECT_FLOAT_EQ(r.Draws[0].C[2][0], 1.0f) << "the fill colour's red";
         }},
        {"DownScale by 4", [&] { return GraphFilterBlt(src, dest, 2, 4); }, {"DownScaleX4.pso"},
         [](const Recorder &r) {
             EXPECT_EQ(r.Draws[0].C.size(), 4u);
             EXPECT_FLOAT_EQ(r.Draws[0].Quad[3].x - r.Draws[0].Quad[0].x, 16.0f);
         }},
        {"Level reads the gamma graph", [&] { return GraphFilterBlt(src, dest, 7, 10, 200, 150, 0, 255); },
         {"Level.pso"},
         [](const Recorder &r) { EXPECT_EQ(r.Draws[0].Second, GraphFilterState.ShaderHandles.LevelGammaGraph); }},
        {"Bicubic tap quad", [&] { return GraphFilterBlt(src, dest, 16, 32, 24); }, {"Bicubic.pso"},
         [](const Recorder &r) {
             ASSERT_EQ(r.Draws[0].Format, FILTER_TAP_FVF);
             EXPECT_FLOAT_EQ(r.Draws[0].Taps[3].x, 31.5f);
             EXPECT_FLOAT_EQ(r.Draws[0].Taps[3].y, 23.5f);
             EXPECT_FLOAT_EQ(r.Draws[0].C[1][0], 2.0f / r.Draws[0].C[0][0]);
         }},
        {"channel mix (2, 2, 2, 7)", [&] { return FilterBase(1, src, blend, dest, 255, 1, 0, 0, 64, 48, 0, 0, 2, 2, 2, 7); },
         {"RGBAMix_SBSBSBBA.pso"}, [&](const Recorder &r) { EXPECT_EQ(r.Draws[0].Src, src); }},
        {"channel mix (4, 5, 6, 3) swaps", [&] { return FilterBase(1, src, blend, dest, 255, 1, 0, 0, 64, 48, 0, 0, 4, 5, 6, 3); },
         {"RGBAMix_SRSGSBBA.pso"},
         [&](const Recorder &r) {
             EXPECT_EQ(r.Draws[0].Src, blend);
             EXPECT_EQ(r.Draws[0].Second, src);
         }},
        {"channel mix (0, 1, 2, 3)", [&] { return FilterBase(1, src, blend, dest, 255, 1, 0, 0, 64, 48, 0, 0, 0, 1, 2, 3); },
         {"ready 54"}, nullptr},
        {"channel mix (1, 0, 2, 7)", [&] { return FilterBase(1, src, blend, dest, 255, 1, 0, 0, 64, 48, 0, 0, 1, 0, 2, 7); },
         {"RGBAMix_Base.pso"},
         [](const Recorder &r) { EXPECT_EQ(r.Draws[0].C[1], (std::array<float, 4>{1.5f, 0.5f, 2.5f, 7.5f})); }},
        {"overlay blend", [&] { return FilterBase(1, src, blend, dest, 128, 6, 0, 0, 64, 48, 0, 0); },
         {"BasBF_Overlay.pso"},
         [&](const Recorder &r) {
             EXPECT_EQ(r.Draws[0].Second, blend);
             EXPECT_FLOAT_EQ(r.Draws[0].C[0][2], 128.0f / 255.0f);
         }},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.Case);
        R.Draws.clear();
        R.Rows = 0;
        EXPECT_EQ(row.Call(), 0);
        EXPECT_EQ(Shaders(), row.Shaders);
        if (row.Check && R.Draws.size() == row.Shaders.size()) row.Check(R);
    }
}

TEST_F(D3D9FilterPasses, DrawStateIsKeptAroundTheFilter)
{
    std::mt19937 rng(9);
    const int src = RandomGraph(rng, 32, 32), dest = RandomGraph(rng, 32, 32);
    SetDrawBlendMode(DX_BLENDMODE_ALPHA, 100);
    SetDrawMode(2);
    SetFogEnable(1);
    GraphicsDrawSettings.Z2D.TestFlag = 1;
    const GraphicsDrawSettingsData before = GraphicsDrawSettings;
    ASSERT_EQ(GraphFilterBlt(src, dest, 6), 0);
    ASSERT_EQ(R.Draws.size(), 1u);
    EXPECT_EQ(R.Draws[0].BlendMode, 14);
    EXPECT_EQ(R.Draws[0].DrawMode, 0) << "Invert samples points";
    EXPECT_EQ(R.Draws[0].ZTest, 0);
    EXPECT_EQ(R.Draws[0].Fog, 0);
    const GraphicsDrawSettingsData &after = GraphicsDrawSettings;
    EXPECT_EQ(after.BlendMode, before.BlendMode);
    EXPECT_EQ(after.BlendParam, before.BlendParam);
    EXPECT_EQ(after.DrawMode, before.DrawMode);
    EXPECT_EQ(after.FogEnable, before.FogEnable);
    EXPECT_EQ(after.Z2D.TestFlag, before.Z2D.TestFlag);
    EXPECT_EQ(after.NoLightingFlag, before.NoLightingFlag);
    EXPECT_EQ(R.Saves, 1);
    EXPECT_EQ(R.Restores, 1);
    SetFogEnable(0);
    SetDrawMode(0);
    SetDrawBlendMode(DX_BLENDMODE_NOBLEND, 255);
    GraphicsDrawSettings.Z2D.TestFlag = 0;
}

TEST_F(D3D9FilterPasses, AMissingShaderFailsTheCallAndIsTriedAgain)
{
    std::mt19937 rng(3);
    const int src = RandomGraph(rng, 16, 16), dest = RandomGraph(rng, 16, 16);
    R.Missing.insert("Invert.pso");
    EXPECT_EQ(GraphFilterBlt(src, dest, 6), -1);
    EXPECT_EQ(GraphFilterState.ShaderHandles.Shader[FILTER_SLOT_INVERT], -1);
    EXPECT_TRUE(R.Draws.empty());
    EXPECT_EQ(R.Restores, 1) << "End still runs";
    R.Missing.clear();
    EXPECT_EQ(GraphFilterBlt(src, dest, 6), 0);
    EXPECT_EQ(Shaders(), std::vector<std::string>{"Invert.pso"});
}

// A blend in place whose graph covers none of its rectangle leaves the source's pixels where they
// are: the call touches neither the device nor the draw state.
TEST_F(D3D9FilterPasses, BlendInPlaceBeyondItsGraphDoesNothing)
{
    std::mt19937 rng(4);
    const int graph = RandomGraph(rng, 64, 48), blend = RandomGraph(rng, 16, 12);
    EXPECT_EQ(FilterBase(1, graph, blend, graph, 255, DX_GRAPH_BLEND_OVERLAY, 40, 30, 64, 48, 40, 30), 0);
    EXPECT_EQ(R.Saves, 0);
    EXPECT_TRUE(R.Draws.empty());
}

}  // namespace
