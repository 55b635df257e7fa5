// The library on Direct3D 11 under Wine, across the life of its device: the front screen shows
// without a flip, a device rebuild keeps the draw state and every picture, a mode change takes the
// new size, and every release leaves no object alive.
#include "zovuz/startup/startup_internal.h"

#include "tests/support/test_files.h"
#include "tests/support/window_capture.h"
#include "zovuz/core/zovuz_core.h"
#include "zovuz/d3d11/zovuz_d3d11.h"
#include "zovuz/graphics/zovuz_graphics.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include <string>

namespace {

bool Disabled() { return getenv("TARVEX_D3D11_DISABLED") != nullptr; }

int Occurrences(const std::wstring &Text, const std::wstring &Piece)
{
    int n = 0;
    for (size_t at = Text.find(Piece); at != std::wstring::npos; at = Text.find(Piece, at + 1)) ++n;
    return n;
}

const wchar_t kNoObjectLeft[] = L"Direct3D11 のオブジェクト合計数 : 0";

// The front-screen timer's presents, counted on their way to the screen's refresh.
int RefreshCount = 0;
int (*OriginalRefresh)(void) = nullptr;
int CountingRefresh(void)
{
    ++RefreshCount;
    return OriginalRefresh != nullptr ? OriginalRefresh() : 0;
}

class D3D11DrawScreens : public testing::Test
{
protected:
    void SetUp() override
    {
        if (Disabled()) GTEST_SKIP() << "d3d11.dll is switched off in this run";
        RemoveLogFile();
        ChangeWindowMode(1);
        SetGraphMode(320, 240, 32, 60);
        SetAlwaysRunFlag(1);
        SetMainWindowText("d3d11 draw screens");
        SetBackgroundColor(24, 48, 96);
        RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, GetGraphicsD3D11Functions());
        ASSERT_EQ(0, LibraryInit());
        ASSERT_EQ(GRAPHICS_API_D3D11, GetGraphicsAPIType());
    }
    void TearDown() override
    {
        if (Disabled()) return;
        SetWindowSizeExtendRate(1.0, 1.0);
        SetGraphicsResetOnScreenModeChangeFlag(1);
        LibraryEnd();
        RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, nullptr);
    }
};

TEST_F(D3D11DrawScreens, TheFrontScreenShowsWithoutAFlip)
{
    OriginalRefresh = GetSubsystemHooks()->RefreshScreen;
    GetSubsystemHooks()->RefreshScreen = CountingRefresh;
    RefreshCount = 0;
    ASSERT_EQ(0, SetDrawScreen(DX_SCREEN_FRONT));
    SetBackgroundColor(200, 100, 0);
    ASSERT_EQ(0, ClearDrawScreen(nullptr));
    bool shown = false;
    const DWORD start = GetTickCount();
    while (!shown && GetTickCount() - start < 2000) {
        ProcessMessage();
        const WindowCapture shot = CaptureWindow(GetMainWindowHandle(), 0, 0, 320, 240);
        shown = !shot.Empty() && shot.At(5, 5) == 0xC86400 && shot.At(319, 239) == 0xC86400;
        Sleep(10);
    }
    GetSubsystemHooks()->RefreshScreen = OriginalRefresh;
    EXPECT_TRUE(shown);
    EXPECT_GT(RefreshCount, 0);
    SetDrawScreen(DX_SCREEN_BACK);
}

// The device goes and comes back (as after a device loss, and after a window resize and flip):
// the draw area, the view, projection and viewport matrices stay, the screen draws again, and
// each release reports no object alive. Releasing twice is harmless.
TEST_F(D3D11DrawScreens, ARebuiltDeviceKeepsTheDrawState)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    ASSERT_EQ(0, SetDrawScreen(DX_SCREEN_BACK));
    ASSERT_EQ(0, SetDrawArea(10, 20, 300, 200));
    MATRIX_D view;
    CreateIdentityMatrixD(&view);
    view.m[3][0] = 3.0;
    view.m[3][2] = 7.5;
    ASSERT_EQ(0, SetTransformToView(&view));
    const ImageRect area = d.DrawArea;
    const MATRIX_D saved[3] = {d.Matrix.View, d.Matrix.Projection, d.Matrix.Viewport};
    EXPECT_EQ(500, GetShaderVersion());

    for (const char *how : {"rebuilt", "released twice, then rebuilt", "after a resize and a flip"}) {
        SCOPED_TRACE(how);
        LogAppendReader log;
        if (strstr(how, "twice") != nullptr) {
            EXPECT_EQ(0, Graphics_Hardware_ReleaseDeviceObjects());
            EXPECT_EQ(0, Graphics_Hardware_ReleaseDeviceObjects());
            EXPECT_EQ(0, Graphics_Hardware_IsDeviceValid());
        }
        if (strstr(how, "resize") != nullptr) {
            SetWindowSizeExtendRate(1.5, 1.5);
            for (int i = 0; i < 3; ++i) ProcessMessage();
            ASSERT_EQ(0, ScreenFlip());
        }
        ASSERT_EQ(0, RestoreGraphicsDevice());
        const std::wstring text = log.Appended();
        EXPECT_GE(Occurrences(text, kNoObjectLeft), strstr(how, "twice") != nullptr ? 2 : 1) << text;
        EXPECT_EQ(1, Graphics_Hardware_IsDeviceValid());
        EXPECT_EQ(0, memcmp(&area, &d.DrawArea, sizeof(area)));
        EXPECT_EQ(0, memcmp(saved, &d.Matrix.View, sizeof(saved[0])));
        EXPECT_EQ(0, memcmp(saved + 1, &d.Matrix.Projection, sizeof(saved[1])));
        EXPECT_EQ(0, memcmp(saved + 2, &d.Matrix.Viewport, sizeof(saved[2])));
        ASSERT_EQ(0, SetDrawArea(0, 0, 320, 240));
        ASSERT_EQ(0, ClearDrawScreen(nullptr));
        EXPECT_EQ(0xFF183060u, GetPixel(319, 239));
        ASSERT_EQ(0, SetDrawArea(10, 20, 300, 200));
    }
}

TEST_F(D3D11DrawScreens, AModeChangeTakesTheNewSize)
{
    SetGraphicsResetOnScreenModeChangeFlag(0);
    LogAppendReader log;
    ASSERT_EQ(0, ChangeScreenMode(400, 300, 32, 0, 60));
    EXPECT_EQ(1, Occurrences(log.Appended(), kNoObjectLeft));
    int width = 0, height = 0;
    GetDrawScreenSize(&width, &height);
    EXPECT_EQ(400, width);
    EXPECT_EQ(300, height);
    ASSERT_EQ(0, SetDrawScreen(DX_SCREEN_BACK));
    ASSERT_EQ(0, ClearDrawScreen(nullptr));
    EXPECT_EQ(0xFF183060u, GetPixel(399, 299));
    log.Mark();
    EXPECT_EQ(0, LibraryEnd());
    EXPECT_EQ(1, Occurrences(log.Appended(), kNoObjectLeft));
}

}  // namespace
