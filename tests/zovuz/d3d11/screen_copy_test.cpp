// The saved screen copy of an inactive window on the recording fake, with the graphics front end
// started on it: while the window is inactive with a copy kept, a present shows nothing; drawing
// the copy shows it; an active window, or one without a copy, presents as usual.
#include "tests/zovuz/d3d11/d3d11_fixture.h"
#include "tests/zovuz/d3d11/draw_fixture.h"

#include <windows.h>

#include "zovuz/d3d11/zovuz_d3d11.h"
#include "zovuz/graphics/zovuz_graphics.h"

namespace {

class ScreenCopy : public FakeD3D11Test
{
protected:
    void SetUp() override
    {
        FakeD3D11Test::SetUp();
        ASSERT_EQ(0, OpenDrawingWindow("d3d11 screen copy fake", 320, 240));
        ASSERT_EQ(0, StartDrawingGraphics(true, 320, 240));
    }
    void TearDown() override
    {
        SendMessageW(GetMainWindowHandle(), WM_ACTIVATE, WA_ACTIVE, 0);
        ReleaseSavedScreenCopy();
        TerminateGraphics();
        CloseDrawingWindow();
        FakeD3D11Test::TearDown();
    }
};

// A frame with something drawn on the back screen (a frame that shows nothing new is not
// presented at all).
int DrawThenFlip()
{
    ClearDrawScreen(nullptr);
    return ScreenFlip();
}

int ReleaseThenFlip()
{
    ReleaseSavedScreenCopy();
    return DrawThenFlip();
}

TEST_F(ScreenCopy, APresentWaitsWhileTheInactiveWindowShowsItsCopy)
{
    ASSERT_EQ(0, SetDrawScreen(DX_SCREEN_BACK));
    ASSERT_EQ(0, ClearDrawScreen(nullptr));
    // The full-screen deactivation's release keeps the screen; the device comes back as it does
    // on the reactivation.
    ASSERT_EQ(0, SaveScreenCopyAndReleaseDeviceObjects());
    ASSERT_EQ(1, IsScreenCopySaved());
    ASSERT_EQ(0, RestoreGraphicsDevice());

    struct Step
    {
        const char *Name;
        int Active;
        int (*Show)();
        int Presents;
    };
    const Step steps[] = {
        {"inactive with a copy", 0, DrawThenFlip, 0},
        {"the copy drawn", 0, DrawSavedScreenCopy, 1},
        {"active with a copy", 1, DrawThenFlip, 1},
        {"inactive without a copy", 0, ReleaseThenFlip, 1},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.Name);
        SendMessageW(GetMainWindowHandle(), WM_ACTIVATE, s.Active ? WA_ACTIVE : WA_INACTIVE, 0);
        ASSERT_EQ(s.Active, GetWindowActiveFlag());
        FakeD3D11.Calls.clear();
        FakeD3D11.CallCount.clear();
        EXPECT_EQ(0, s.Show());
        EXPECT_EQ(s.Presents, FakeD3D11Count("Present"));
    }
}

}  // namespace
