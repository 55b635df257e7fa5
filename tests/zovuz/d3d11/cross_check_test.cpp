// The graphics area's scene drawn by the software renderer and, after graphics are ended and
// started again, by Direct3D 11, both read back from the back screen and compared tile by tile; a
// second start on Direct3D 11 in the same process draws it identically. The pictures and their
// difference go to test-artifacts/d3d11/ under the build folder.
#include <gtest/gtest.h>

#include <stdlib.h>

#include "tests/zovuz/d3d11/draw_fixture.h"
#include "tests/zovuz/graphics/graphics_start_fixture.h"
#include "tests/zovuz/graphics/scene_cross_check.h"
#include "zovuz/d3d11/zovuz_d3d11.h"

namespace {

TEST(CrossCheck, TheSoftwareRendererAndDirect3D11DrawTheSameScene)
{
    if (getenv("TARVEX_D3D11_DISABLED") != nullptr) GTEST_SKIP() << "d3d11.dll is switched off in this run";
    ASSERT_EQ(0, OpenDrawingWindow("d3d11 cross-check", kSceneWidth, kSceneHeight));
    ASSERT_EQ(0, StartDrawingGraphics(false, kSceneWidth, kSceneHeight));
    const ScenePicture software = DrawScene(ReadDrawScreen);
    TerminateGraphics();
    ASSERT_EQ(0, StartDrawingGraphics(true, kSceneWidth, kSceneHeight));
    const ScenePicture d3d11 = DrawScene(ReadDrawScreen);
    TerminateGraphics();
    // Ended and started again in the same process, Direct3D 11 draws the scene as before.
    ASSERT_EQ(0, StartDrawingGraphics(true, kSceneWidth, kSceneHeight));
    const ScenePicture again = DrawScene(ReadDrawScreen);
    TerminateGraphics();
    CloseDrawingWindow();
    EXPECT_EQ(0, DifferingPixels(d3d11, again)) << "pixels differ after a second start on Direct3D 11";
    // Each inked pixel of the text within 2 per channel: the glyph cache is 16-bit, but its full
    // channels must still draw at full scale.
    CompareScenes(software, d3d11, "d3d11", "Direct3D 11", SceneTolerance{2});
}

}  // namespace
