// The Direct3D 9 filter passes through the library on the platform's own device (Wine's, on
// llvmpipe): every filter and blend over random 64 x 48 graphs against the processor kernels,
// Bicubic and Lanczos3 against a float reference of their tap weights, sources, blend, gradient,
// chroma and destination graphs in pieces and as parts of larger graphs, a shader the archive lacks,
// a shadow map as destination and source, multisampled graphs as source and destination, and
// screen-mode changes between filter calls.
#include "tests/zovuz/filter/filter_device_cases.h"
#include "zovuz/d3d9/d3d9_internal.h"
#include "zovuz/d3d9/state/windows/d3d9_device_state_win.h"
#include "zovuz/d3d9/zovuz_d3d9.h"

#include <string.h>

using namespace filter_device;

namespace {

class D3D9FilterPasses : public DeviceFilterPasses
{
protected:
    static void SetUpTestSuite()
    {
        RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, nullptr);
        StartGraphics(GRAPHICS_API_D3D9, GetGraphicsD3D9Functions(), "d3d9 filters");
    }
    static void TearDownTestSuite() { EndGraphics(GRAPHICS_API_D3D9); }
    void SetUp() override { ASSERT_EQ(GRAPHICS_API_D3D9, GetGraphicsAPIType()); }
};

// Where the Direct3D 9 passes come short of the common tolerance: HSB's hue goes through an 8-bit
// work texture, a step of 6 of the processor's 1536.
int D3D9Tolerance(const Case &c, const Shape &)
{
    if (strstr(c.Name, "Hsb") != nullptr) return 6;
    return c.Tolerance;
}

}  // namespace

TEST_F(D3D9FilterPasses, TapScalersFollowTheirWeights) { CheckTapScalers(); }

TEST_F(D3D9FilterPasses, DestinationsInPiecesAndPartsTakeTheWholeResult) { CheckDestinationsInPiecesAndParts(); }

TEST_F(D3D9FilterPasses, AMissingShaderIsLoggedAndFailsItsCall) { CheckMissingShaderFailsItsCall(); }

TEST_F(D3D9FilterPasses, PassesDrawIntoAndReadFromAShadowMap)
{
    CheckShadowMapRoundTrip(Graphics_D3D9_SetupShadowMap, 16, 0x00);
}

TEST_F(D3D9FilterPasses, MultisampledGraphsAreReadAndWrittenThroughTheirRenderSurface)
{
    CheckMultisampledGraphs(
        [](const GraphTextureEntry &Entry) { return D3D9TextureObjectsOf(Entry.PF)->RenderSurface != nullptr; });
}

TEST_F(D3D9FilterPasses, ScreenModeChangeKeepsPixelsAndShaderCount)
{
    CheckScreenModeChanges(Graphics_D3D9_ChangeScreenMode);
}

// Last: its hundreds of filter calls leave Wine's window updates queued for the main window, and
// every case after it ran several times slower.
TEST_F(D3D9FilterPasses, EveryFilterAndBlendGivesTheProcessorsPixels)
{
    for (const Into into : {Into::DrawTarget, Into::PlainGraph, Into::InPlace})
        CheckEveryFilterAndBlend(D3D9Tolerance, true, into);
}

// The source, then the blend, gradient and chroma graphs, in pieces and as a part of a larger graph.
TEST_F(D3D9FilterPasses, GraphsInPiecesAndPartsGiveTheProcessorsPixels)
{
    for (const Layout &layout : PieceLayouts()) CheckEveryFilterAndBlend(D3D9Tolerance, true, Into::DrawTarget, layout);
}
