// The Direct3D 9 filter passes through the library on the platform's own device (Wine's, on
// llvmpipe): every filter and blend over random 64 x 48 graphs against the processor kernels, a
// shader the archive lacks, a shadow map as destination and source, and screen-mode changes
// between filter calls.
#include "tests/zovuz/filter/filter_device_cases.h"
#include "zovuz/d3d9/d3d9_internal.h"
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

// Where the Direct3D 9 passes come short of the common tolerance: HSB goes through an 8-bit work
// texture, and the premultiplied passes divide and multiply by alpha at shader precision.
int D3D9Tolerance(const Case &c)
{
    if (strstr(c.Name, "Hsb") != nullptr) return 9;
    const size_t length = strlen(c.Name);
    if (length > 4 && strcmp(c.Name + length - 4, "_PMA") == 0) return c.Tolerance < 3 ? 3 : c.Tolerance;
    return c.Tolerance;
}

}  // namespace

TEST_F(D3D9FilterPasses, EveryFilterAndBlendGivesTheProcessorsPixels)
{
    CheckEveryFilterAndBlend(D3D9Tolerance);
}

TEST_F(D3D9FilterPasses, AMissingShaderIsLoggedAndFailsItsCall) { CheckMissingShaderFailsItsCall(); }

TEST_F(D3D9FilterPasses, PassesDrawIntoAndReadFromAShadowMap)
{
    CheckShadowMapRoundTrip(Graphics_D3D9_SetupShadowMap, 16, 0x00);
}

TEST_F(D3D9FilterPasses, ScreenModeChangeKeepsPixelsAndShaderCount)
{
    CheckScreenModeChanges(Graphics_D3D9_ChangeScreenMode);
}
