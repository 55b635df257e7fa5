// A frame that shows what the last one showed is not presented again on Direct3D 9. Its window's
// swap chain copies, so the back buffer keeps what was drawn after a present: at any window size
// the repeated stretch of the draw screen and its present are left out. The present is seen on the
// window, painted white through GDI just before it.
#include "tests/zovuz/d3d9/d3d9_graphics_fixture.h"
#include "tests/zovuz/graphics/unchanged_frame_cases.h"

namespace {

class D3D9UnchangedFrame : public D3D9MainWindow
{
protected:
    static void SetUpTestSuite() { OpenMainWindow(640, 480); }
};

TEST_F(D3D9UnchangedFrame, IsNotPresentedAgainUnlessTheWindowOrTheFrameChanged)
{
    GetSubsystemHooks()->MarkScreenShownAgain = MarkScreenShownAgain;  // as the library's start-up sets it
    const UnchangedFrameRenderer d3d9 = {
        "Direct3D 9", [](int Width, int Height) { return StartGraphicsOn(1, Width, Height); }, nullptr, true};
    RunUnchangedFrameCases(d3d9, 1.0);
    RunUnchangedFrameCases(d3d9, 2.0);
    GetSubsystemHooks()->MarkScreenShownAgain = nullptr;
}

}  // namespace
