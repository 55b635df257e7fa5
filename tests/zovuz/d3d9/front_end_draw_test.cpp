// The front end's drawing on Direct3D 9 (Wine's, on llvmpipe), with graphics started on the back
// end: the graphics area's pixel cases, and its scene drawn by Direct3D 9 and, after graphics are
// started again, by the software renderer, compared tile by tile. The pictures and their
// difference go to test-artifacts/d3d9/ under the build folder.
#include "tests/zovuz/d3d9/d3d9_graphics_fixture.h"
#include "tests/zovuz/graphics/primitive_cases.h"
#include "tests/zovuz/graphics/scene_cross_check.h"

namespace {

class D3D9FrontEnd : public D3D9MainWindow
{
protected:
    static void SetUpTestSuite() { OpenMainWindow(kSceneWidth, kSceneHeight); }
    void TearDown() override { TerminateGraphics(); }
};

std::vector<uint32_t> ReadBackScreen(int X, int Y, int Width, int Height)
{
    return ColorBits(ReadPixels(DX_SCREEN_BACK, X, Y, Width, Height));
}

// Graphics start on Direct3D 9: the graphics area's pixel cases hold, and the scene is drawn; then
// the software renderer draws the scene too, and Direct3D 9 once more after a second start.
TEST_F(D3D9FrontEnd, ThePixelCasesHoldAndTheSoftwareRendererDrawsTheSameScene)
{
    ASSERT_EQ(0, StartGraphicsOn(1, kSceneWidth, kSceneHeight));
    SetDrawScreen(DX_SCREEN_BACK);
    SetBackgroundColor(0, 0, 0);
    ClearDrawScreen(nullptr);
    // As on Direct3D 11, three cases ask for a tie the software renderer breaks its own way: a line
    // through pixel corners, and a stretch whose texel edges fall exactly on pixel centres.
    RunPrimitiveCases(ReadCaseRegionByLock,
                      {"a line of slope 15/40 lights the pixel nearest the ideal line (a tie towards the start)",
                       "a line from far off the target to far off it again",
                       "a stretch by 1.5 shows the source pixel under each pixel's centre"});
    const ScenePicture d3d9 = DrawScene(ReadBackScreen);
    TerminateGraphics();
    ASSERT_EQ(0, StartGraphicsOn(0, kSceneWidth, kSceneHeight));
    const ScenePicture software = DrawScene(ReadBackScreen);
    // Started again, Direct3D 9 draws the scene as the first time (its state starts anew, the front
    // end's settings do not).
    TerminateGraphics();
    ASSERT_EQ(0, StartGraphicsOn(1, kSceneWidth, kSceneHeight));
    EXPECT_EQ(0, DifferingPixels(d3d9, DrawScene(ReadBackScreen))) << "pixels differ after a second start";
    // Direct3D 9's text is held to the same ink only, not to a channel step (its shades measured
    // within 2 of the software renderer's when the scene was shared with Direct3D 11).
    CompareScenes(software, d3d9, "d3d9", "Direct3D 9", SceneTolerance{255});
}

}  // namespace
