// The Direct3D 11 filter passes on the platform's own device (Wine's, on llvmpipe): every filter
// and blend over random 64 x 48 graphs gives the processor kernels' pixels within a channel
// tolerance (the processor's run is the same call with the shader path switched off), also with
// the source, blend, gradient and chroma graphs in pieces or parts of larger graphs, a destination
// so made takes what a whole one takes, Bicubic and Lanczos3 agree with a float reference of their
// tap weights, a filter draws its passes and leaves the draw settings as they were, every file the
// passes ask for is in the archive, a missing one fails its call, a shadow map and a multisampled
// graph serve as destination and as source, and a screen-mode change between filters changes
// neither the pixels nor the number of live shaders.
#include <gtest/gtest.h>

#include <objbase.h>
#include <stdlib.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "tests/zovuz/filter/filter_device_cases.h"
#include "zovuz/d3d11/d3d11_internal.h"
#include "zovuz/d3d11/calls/windows/d3d11_calls.h"
#include "zovuz/d3d11/texture/windows/d3d11_graph_texture_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_shadow_map_win.h"
#include "zovuz/d3d11/zovuz_d3d11.h"
#include "zovuz/filter/filter_d3d11_passes.h"
#include "zovuz/graphics/graph/graph_internal.h"

using namespace filter_device;

namespace {

class D3D11FilterPasses : public DeviceFilterPasses
{
protected:
    static void SetUpTestSuite()
    {
        StartGraphics(GRAPHICS_API_D3D11, GetGraphicsD3D11Functions(), "d3d11 filters", RegisterGraphFilterD3D11Passes);
    }
    static void TearDownTestSuite() { EndGraphics(GRAPHICS_API_D3D11); }
    void SetUp() override
    {
        if (getenv("TARVEX_D3D11_DISABLED") != nullptr) GTEST_SKIP() << "d3d11.dll is switched off in this run";
        ASSERT_EQ(GRAPHICS_API_D3D11, GetGraphicsAPIType());
    }
};

}  // namespace

TEST_F(D3D11FilterPasses, EveryFilterAndBlendGivesTheProcessorsPixels)
{
    for (const Into into : {Into::DrawTarget, Into::PlainGraph, Into::InPlace})
        CheckEveryFilterAndBlend([](const Case &c, const Shape &) { return c.Tolerance; }, false, into);
}

// The source, then the blend, gradient and chroma graphs, in pieces and as a part of a larger graph.
TEST_F(D3D11FilterPasses, GraphsInPiecesAndPartsGiveTheProcessorsPixels)
{
    for (const Layout &layout : PieceLayouts())
        CheckEveryFilterAndBlend([](const Case &c, const Shape &) { return c.Tolerance; }, false, Into::DrawTarget,
                                 layout);
}

TEST_F(D3D11FilterPasses, DestinationsInPiecesAndPartsTakeTheWholeResult) { CheckDestinationsInPiecesAndParts(); }

TEST_F(D3D11FilterPasses, TapScalersFollowTheirWeights) { CheckTapScalers(); }

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

    CheckMissingShaderFailsItsCall();
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

TEST_F(D3D11FilterPasses, PassesDrawIntoAndReadFromAShadowMap)
{
    CheckShadowMapRoundTrip(Graphics_D3D11_SetupShadowMap, 0, 0xFF);
}

TEST_F(D3D11FilterPasses, MultisampledGraphsAreReadAndWrittenThroughTheirSampledTexture)
{
    CheckMultisampledGraphs(
        [](const GraphTextureEntry &Entry) { return D3D11GraphObjects(Entry)->MultisampleTexture != nullptr; });
}

TEST_F(D3D11FilterPasses, ScreenModeChangeKeepsPixelsAndShaderCount)
{
    CheckScreenModeChanges(Graphics_D3D11_ChangeScreenMode);
}
