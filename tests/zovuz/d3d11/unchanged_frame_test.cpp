// A frame that shows what the last one showed is not presented again, on the software renderer and
// on Direct3D 11 (with and without a sub back buffer). The software renderer's present is seen on
// the window, painted white through GDI just before it; Direct3D 11's (whose picture Wine composes
// apart from GDI's) in the call layer's count of presents.
#include <gtest/gtest.h>

#include <stdlib.h>

#include "tests/zovuz/d3d11/draw_fixture.h"
#include "tests/zovuz/graphics/unchanged_frame_cases.h"
#include "zovuz/d3d11/calls/windows/d3d11_calls.h"
#include "zovuz/d3d11/zovuz_d3d11.h"

namespace {

TEST(UnchangedFrame, IsNotPresentedAgainUnlessTheWindowOrTheFrameChanged)
{
    // The software screen keeps what was drawn at any size; Direct3D 11 draws into the window's
    // own back buffer at the screen's size, whose content a present ends, and so redraws it.
    ASSERT_EQ(0, OpenDrawingWindow("unchanged frame", 640, 480));
    GetSubsystemHooks()->MarkScreenShownAgain = MarkScreenShownAgain;  // as the library's start-up sets it
    const UnchangedFrameRenderer d3d11 = {
        "Direct3D 11", [](int Width, int Height) { return StartDrawingGraphics(true, Width, Height); },
        [] { return D3D11CallLayer.PresentCallCount; }, false};
    const UnchangedFrameRenderer software = {
        "software", [](int Width, int Height) { return StartDrawingGraphics(false, Width, Height); }, nullptr, true};
    // Direct3D 11 first: its swap chain is made at the client's size only while the window has
    // never been another.
    if (getenv("TARVEX_D3D11_DISABLED") == nullptr) {
        RunUnchangedFrameCases(d3d11, 1.0);
        RunUnchangedFrameCases(d3d11, 2.0);
    }
    RunUnchangedFrameCases(software, 1.0);
    RunUnchangedFrameCases(software, 2.0);
    GetSubsystemHooks()->MarkScreenShownAgain = nullptr;
    CloseDrawingWindow();
}

}  // namespace
