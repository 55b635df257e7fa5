// The library on Direct3D 11 under Wine: it starts on that back end, its frames reach the window
// through the swap chain (directly, and through the sub back buffer when the window's client
// differs from the screen), what was drawn reads back, and the end leaves no object alive; a
// maximised window shows the screen centred (on the software renderer too), and a full-screen
// window keeps a copy of its screen when it is deactivated. Run once more with d3d11.dll switched
// off, graphics start on the next renderer, Direct3D 9, which shows a maximised window so too.
#include "tests/zovuz/whole_library/d3d11_library_fixture.h"

#include "tests/support/window_capture.h"
#include "tests/zovuz/core/desktop/window_test_support.h"

#include <windows.h>

#include <string>

namespace {

constexpr uint32_t kBackground = 0x183060;

bool Contains(const std::wstring &Text, const std::wstring &Piece) { return Text.find(Piece) != std::wstring::npos; }

// Pixels of the capture that differ from Want inside (X, Y, Width, Height).
int Wrong(const WindowCapture &Shot, int X, int Y, int Width, int Height, uint32_t Want)
{
    int wrong = 0;
    for (int y = Y; y < Y + Height; ++y)
        for (int x = X; x < X + Width; ++x) wrong += Shot.At(x, y) != Want;
    return wrong;
}

class D3D11Screen : public testing::Test
{
protected:
    void SetUp() override
    {
        RemoveLogFile();
        ChangeWindowMode(1);
        SetGraphMode(320, 240, 32, 60);
        SetAlwaysRunFlag(1);
        SetMainWindowText("d3d11 screen");
        SetBackgroundColor(24, 48, 96);
        // Nothing registered here: the library's start registers Direct3D 11 itself.
        RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, nullptr);
    }
    void TearDown() override
    {
        LibraryEnd();
        RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, nullptr);
    }

    // Clears the back screen to the background and shows it.
    void ClearAndFlip()
    {
        ASSERT_EQ(0, SetDrawScreen(DX_SCREEN_BACK));
        ASSERT_EQ(0, ClearDrawScreen(nullptr));
        ASSERT_EQ(0, ScreenFlip());
    }
};

TEST_F(D3D11Screen, StartsOnDirect3D11AndShowsTheClearedScreen)
{
    if (D3D11Disabled()) GTEST_SKIP() << "d3d11.dll is switched off in this run";
    LogAppendReader log;
    ASSERT_EQ(0, LibraryInit());
    EXPECT_EQ(2, GetGraphicsAPIType());
    const std::wstring start = log.Appended();
    for (const wchar_t *line : {L"使用する機能レベル:D3D_FEATURE_LEVEL_11_1", L"IDXGISwapChain を作成します.... 成功",
                                L"画像の単純転送処理の初期化... 成功"})
        EXPECT_TRUE(Contains(start, line)) << line;

    // The client equals the screen: the back buffer is drawn into and presented directly.
    ASSERT_EQ(0, SetDrawScreen(DX_SCREEN_BACK));
    ASSERT_EQ(0, ClearDrawScreen(nullptr));
    EXPECT_EQ(0xFF183060u, GetPixel(0, 0));
    EXPECT_EQ(0xFF183060u, GetPixel(319, 239));

    // A rectangle clear leaves the outside as it was.
    SetBackgroundColor(200, 100, 0);
    ImageRect rect = {100, 50, 200, 150};
    ASSERT_EQ(0, ClearDrawScreen(&rect));
    for (const int *inside : {(const int[]){100, 50}, (const int[]){199, 149}})
        EXPECT_EQ(0xFFC86400u, GetPixel(inside[0], inside[1])) << inside[0] << "," << inside[1];
    for (const int *outside :
         {(const int[]){99, 50}, (const int[]){100, 49}, (const int[]){200, 149}, (const int[]){199, 150}})
        EXPECT_EQ(0xFF183060u, GetPixel(outside[0], outside[1])) << outside[0] << "," << outside[1];

    SetBackgroundColor(24, 48, 96);
    ClearAndFlip();
    WindowCapture shot = CaptureWindow(GetMainWindowHandle(), 0, 0, 320, 240);
    ASSERT_FALSE(shot.Empty());
    EXPECT_EQ(0, Wrong(shot, 0, 0, 320, 240, kBackground));

    log.Mark();
    EXPECT_EQ(0, LibraryEnd());
    EXPECT_TRUE(Contains(log.Appended(), L"Direct3D11 のオブジェクト合計数 : 0")) << log.Appended();
}

TEST_F(D3D11Screen, AClientUnlikeTheScreenIsShownThroughTheSubBackBuffer)
{
    if (D3D11Disabled()) GTEST_SKIP() << "d3d11.dll is switched off in this run";
    SetWindowSizeExtendRate(2.0, 2.0);
    ASSERT_EQ(0, LibraryInit());
    LogAppendReader log;
    ClearAndFlip();
    WindowCapture shot = CaptureWindow(GetMainWindowHandle(), 0, 0, 640, 480);
    ASSERT_FALSE(shot.Empty());
    EXPECT_EQ(0, Wrong(shot, 0, 0, 640, 480, kBackground));
    EXPECT_EQ(0xFF183060u, GetPixel(319, 239));

    // A window resize, then a flip: the back buffer follows the client without a failure.
    SetWindowSizeExtendRate(1.5, 1.5);
    for (int i = 0; i < 3; ++i) ProcessMessage();
    ClearAndFlip();
    shot = CaptureWindow(GetMainWindowHandle(), 0, 0, 480, 360);
    ASSERT_FALSE(shot.Empty());
    EXPECT_EQ(0, Wrong(shot, 0, 0, 480, 360, kBackground));
    EXPECT_FALSE(Contains(log.Appended(), L"失敗")) << log.Appended();
    SetWindowSizeExtendRate(1.0, 1.0);
}

// A window maximised from outside shows the scaled screen centred in its client, and the mouse
// over a drawn point reads that draw-screen point; the Direct3D 11 present fills the bands either
// side with the background.
void CheckMaximisedScreenIsCentred(int Api)
{
    ASSERT_EQ(0, LibraryInit());
    ASSERT_EQ(Api, GetGraphicsAPIType());
    MaximiseMainWindowAsTheSystemWould(1920, 1080);
    for (int i = 0; i < 3; ++i) ProcessMessage();
    int offsetX = 0, offsetY = 0;
    ASSERT_EQ(1, GetWindowDrawOffset(&offsetX, &offsetY));
    double rate = 0.0;
    GetWindowSizeExtendRate(&rate, nullptr);
    int clientWidth = 0, clientHeight = 0;
    GetWindowClientSize(&clientWidth, &clientHeight);
    ASSERT_GT(offsetX, 100) << "a wide client leaves bands left and right";

    // The screen red with a green 10 x 10 mark at (100, 60).
    ASSERT_EQ(0, SetDrawScreen(DX_SCREEN_BACK));
    ASSERT_EQ(0, ClearDrawScreen(nullptr));
    DrawBox(0, 0, 320, 240, GetColorValue(255, 0, 0), TRUE);
    DrawBox(100, 60, 110, 70, GetColorValue(0, 255, 0), TRUE);
    ASSERT_EQ(0, ScreenFlip());
    const WindowCapture shot = CaptureWindow(GetMainWindowHandle(), 0, 0, clientWidth, clientHeight);
    ASSERT_FALSE(shot.Empty());
    const int row = offsetY + (int)(30 * rate);
    int left = 0, right = clientWidth - 1;
    while (left < clientWidth && shot.At(left, row) != 0xFF0000u) ++left;
    while (right >= 0 && shot.At(right, row) != 0xFF0000u) --right;
    if (Api == GRAPHICS_API_D3D11) {
        EXPECT_EQ(kBackground, shot.At(left - 1, row));
        EXPECT_EQ(kBackground, shot.At(right + 1, row));
    }
    EXPECT_NEAR(left, clientWidth - 1 - right, 1) << "the bands either side are one width";
    EXPECT_NEAR(offsetX, left, 1);

    // The middle of the mark, drawn and read back through the mouse.
    POINT mark = {offsetX + (int)(105.25 * rate), offsetY + (int)(65.25 * rate)};
    EXPECT_EQ(0x00FF00u, shot.At(mark.x, mark.y));
    ClientToScreen(GetMainWindowHandle(), &mark);
    SetCursorPos(mark.x, mark.y);
    int x = -1, y = -1;
    GetMousePoint(&x, &y);
    EXPECT_EQ(105, x);
    EXPECT_EQ(65, y);
    RestoreMainWindowFromMaximise();
}

TEST_F(D3D11Screen, AMaximisedWindowShowsTheScreenCentredWhereTheMouseMapsBack)
{
    if (D3D11Disabled()) GTEST_SKIP() << "d3d11.dll is switched off in this run";
    CheckMaximisedScreenIsCentred(GRAPHICS_API_D3D11);
}

TEST_F(D3D11Screen, AMaximisedWindowOnDirect3D9ShowsTheScreenCentredWhereTheMouseMapsBack)
{
    if (!D3D11Disabled()) GTEST_SKIP() << "only with d3d11.dll switched off, where graphics start on Direct3D 9";
    CheckMaximisedScreenIsCentred(GRAPHICS_API_D3D9);
}

TEST_F(D3D11Screen, AMaximisedWindowOnTheSoftwareRendererShowsTheScreenCentred)
{
    if (D3D11Disabled()) GTEST_SKIP() << "the run without d3d11.dll checks the next renderer";
    SetUseHardwareRenderFlag(0);
    CheckMaximisedScreenIsCentred(GRAPHICS_API_SOFTWARE);
    SetUseHardwareRenderFlag(1);
}

// A full-screen window that loses the focus keeps a copy of its screen as its device goes; back
// in front, the copy shows what the screen held, and the back screen drawn since is put back.
TEST_F(D3D11Screen, AFullScreenWindowKeepsACopyOfItsScreenWhenDeactivated)
{
    if (D3D11Disabled()) GTEST_SKIP() << "d3d11.dll is switched off in this run";
    ChangeWindowMode(0);
    SetGraphMode(1920, 1080, 32, 60);
    ASSERT_EQ(0, LibraryInit());
    ASSERT_EQ(1, IsFullScreenMode());
    ASSERT_EQ(0, SetDrawScreen(DX_SCREEN_BACK));
    ASSERT_EQ(0, ClearDrawScreen(nullptr));
    DrawBox(100, 100, 110, 110, GetColorValue(0, 255, 0), TRUE);
    ASSERT_EQ(0, ScreenFlip());
    ASSERT_EQ(0, IsScreenCopySaved());

    HWND window = GetMainWindowHandle();
    SendMessageW(window, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(0, GetWindowActiveFlag());
    EXPECT_EQ(1, IsScreenCopySaved());
    SendMessageW(window, WM_ACTIVATE, WA_ACTIVE, 0);
    ASSERT_EQ(1, GetWindowActiveFlag());
    ShowWindow(window, SW_RESTORE);

    SetBackgroundColor(200, 100, 0);
    ASSERT_EQ(0, ClearDrawScreen(nullptr));
    ASSERT_EQ(0, DrawSavedScreenCopy());
    const WindowCapture shot = CaptureWindow(window, 0, 0, 1920, 1080);
    ASSERT_FALSE(shot.Empty());
    EXPECT_EQ(kBackground, shot.At(50, 50));
    EXPECT_EQ(0x00FF00u, shot.At(105, 105));
    EXPECT_EQ(0xFFC86400u, GetPixel(105, 105)) << "the back screen as it was drawn since";
    SetBackgroundColor(24, 48, 96);
    ChangeWindowMode(1);
}

TEST_F(D3D11Screen, WithoutDirect3D11GraphicsStartOnTheNextRenderer)
{
    if (!D3D11Disabled()) GTEST_SKIP() << "only with d3d11.dll switched off";
    ASSERT_EQ(0, LibraryInit());
    EXPECT_NE(2, GetGraphicsAPIType());
    ClearAndFlip();
    EXPECT_EQ(0x183060u, GetPixel(10, 10) & 0xFFFFFF);
}

}  // namespace
