// The back end on the platform's own Direct3D 9: the device made (9Ex first, then without Ex when
// the Ex device fails), its formats chosen and logged, the Z buffer sized, a device that lacks
// formats, the undo of a failed start, the present's rectangles in a window and in full screen, and
// the sub back buffer presented into the window.
#include "tests/zovuz/d3d9/d3d9_fixture.h"
#include "zovuz/core/desktop/windows/window_state_win.h"

namespace {

using D3D9Device = D3D9DeviceTest;

TEST_F(D3D9Device, StartsOnTheExDeviceAndLogsWhatItChose)
{
    LogAppendReader log;
    ASSERT_EQ(0, Graphics_D3D9_Initialize());
    const std::wstring text = log.Appended();
    for (const wchar_t *line :
         {L"IDirect3D9Ex オブジェクトを取得します.... 成功", L"IDirect3DDevice9Ex オブジェクトを取得します.... ",
          L"画面のフォーマットは D3DFMT_X8R8G8B8 です", L"16bit カラーフォーマットは D3DFMT_R5G6B5 です",
          L"24bit Zバッファフォーマットは D3DFMT_D24X8 です", L"ＤＸＴ１テクスチャフォーマットはD3DFMT_DXT1 です",
          L"最大テクスチャサイズ　幅:", L"Ｚバッファを作成します.... 成功"})
        EXPECT_TRUE(Contains(text, line)) << "missing: " << testing::PrintToString(std::wstring(line));
    EXPECT_EQ(1, Direct3D9Ex_IsValid());
    EXPECT_EQ(1, GraphicsState.HardwareInUseFlag);
    EXPECT_EQ(D3D9FMT_X8R8G8B8, D3D9TextureFormatTable.Format[D3D9_FORMAT_SLOT_TARGET]);
    const D3DSURFACE_DESC back = Describe(D3D9DeviceCapsInfo.BackBuffer);
    EXPECT_EQ(640u, back.Width);
    EXPECT_EQ(480u, back.Height);
    // In window mode no sub back buffer is made at the start.
    EXPECT_EQ(nullptr, D3D9Screen.SubBackBufferSurface);

    log.Mark();
    EXPECT_EQ(0, Graphics_D3D9_Terminate());
    EXPECT_TRUE(Contains(log.Appended(), L"d3d9.dll の解放 1"));
    EXPECT_EQ(0, Graphics_D3D9_Terminate());  // twice is harmless
}

HRESULT FailingCreateDeviceEx(IDirect3D9Ex *, UINT, D3DDEVTYPE, HWND, DWORD, D3DPRESENT_PARAMETERS *,
                              D3DDISPLAYMODEEX *, IDirect3DDevice9Ex **)
{
    D3D9Hooks.Calls.push_back("CreateDeviceEx");
    return D3DERR_NOTAVAILABLE;
}

TEST_F(D3D9Device, AFailedExDeviceIsMadeAgainWithoutEx)
{
    D3D9Calls.Direct3D9Ex_CreateDeviceEx = FailingCreateDeviceEx;
    LogAppendReader log;
    ASSERT_EQ(0, Graphics_D3D9_Initialize());
    const std::wstring text = log.Appended();
    // Both vertex processings were tried on the Ex object, then a fresh plain object made the device.
    EXPECT_EQ(2u, D3D9Hooks.Calls.size());
    EXPECT_TRUE(Contains(text, L"Direct3DDevice9Ex の作成に失敗しました"));
    EXPECT_TRUE(Contains(text, L"IDirect3D9Ex::CreateDeviceEx failed: 0x8876086A"));  // the refusal's code
    EXPECT_TRUE(Contains(text, L"IDirect3D9 オブジェクトを取得します.... 成功"));
    EXPECT_TRUE(Contains(text, L"IDirect3DDevice9 オブジェクトを取得します.... "));
    EXPECT_EQ(0, Direct3D9Ex_IsValid());
    EXPECT_EQ(1, Direct3DDevice9_IsValid());
    EXPECT_EQ(1, D3D9CallLayer.NoExFlag);
    // The flag outlives the back end: the next start goes to the plain object at once.
    Graphics_D3D9_Terminate();
    log.Mark();
    ASSERT_EQ(0, Graphics_D3D9_Initialize());
    EXPECT_FALSE(Contains(log.Appended(), L"IDirect3D9Ex"));
    EXPECT_EQ(2u, D3D9Hooks.Calls.size());
}

struct RefusalCase
{
    const char *Name;
    std::vector<unsigned> Refused;
    int Result;
    std::vector<std::pair<int, unsigned>> Formats;  // a slot and the format it falls back on
    std::vector<const wchar_t *> Logged;
};

TEST_F(D3D9Device, ADeviceWithoutAFormatTakesItsFallBackOrFails)
{
    const RefusalCase cases[] = {
        {"no 16-bit colour",
         {D3D9FMT_R5G6B5, D3D9FMT_X1R5G5B5},
         -1,
         {},
         {L"使用できる 16bit カラーフォーマットが見つかりませんでした"}},
        // Two slots in one start: each falls back on its own.
        {"no DXT3, no 24-bit Z",
         {D3D9FMT_DXT3, D3D9FMT_D24X8, D3D9FMT_D32},
         0,
         {{D3D9_FORMAT_SLOT_DXT1 + 2, D3D9FMT_A8R8G8B8}, {D3D9_FORMAT_SLOT_ZBUFFER24, D3D9FMT_D16}},
         {L"ＤＸＴ３テクスチャフォーマットは使えません", L"24bit Zバッファフォーマットは D3DFMT_D16 です"}},
    };
    D3D9Calls.Direct3D9_CheckDeviceFormat = RefusingCheckDeviceFormat;
    for (const RefusalCase &c : cases) {
        SCOPED_TRACE(c.Name);
        D3D9Hooks.Refused = c.Refused;
        LogAppendReader log;
        EXPECT_EQ(c.Result, Graphics_D3D9_Initialize());
        const std::wstring text = log.Appended();
        for (const wchar_t *line : c.Logged)
            EXPECT_TRUE(Contains(text, line)) << "logs " << testing::PrintToString(line);
        for (const auto &[slot, format] : c.Formats) EXPECT_EQ(format, D3D9TextureFormatTable.Format[slot]);
        if (c.Result != 0) {
            // The failed start undid everything it had made.
            EXPECT_EQ(0, Direct3DDevice9_IsValid());
            EXPECT_EQ(nullptr, D3D9CallLayer.Module);
            EXPECT_EQ(0, GraphicsState.HardwareInUseFlag);
        }
        Graphics_D3D9_Terminate();
    }
}

TEST_F(D3D9Device, AFailedZBufferUndoesTheStart)
{
    D3D9Calls.Direct3DDevice9_CreateDepthStencilSurface = RecordingCreateDepthStencilSurface;
    D3D9Hooks.FailDepthSurfaceFrom = 1;
    LogAppendReader log;
    EXPECT_EQ(-1, Graphics_D3D9_Startup());
    const std::wstring text = log.Appended();
    EXPECT_TRUE(Contains(text, L"Ｚバッファの作成に失敗しました"));
    EXPECT_TRUE(Contains(text, L"IDirect3DDevice9::CreateDepthStencilSurface failed: 0x8007000E"));
    EXPECT_EQ(nullptr, D3D9Screen.ZBuffer);
}

// The tests below look at a started device; they share one.
class D3D9StartedDevice : public D3D9DeviceTest
{
protected:
    static void TearDownTestSuite() { EndSharedDeviceSuite(); }
    void SetUp() override
    {
        if (Direct3DDevice9_IsValid()) return;
        D3D9DeviceTest::SetUp();
        ASSERT_EQ(0, Graphics_D3D9_Initialize());
    }
    void TearDown() override { KeepDeviceUnless(false); }
};

struct ZBufferCase
{
    const char *Name;
    int ScreenWidth, ScreenHeight;
    int UserWidth, UserHeight;  // 0 = none
    int UserDepth;              // 0 = none
    UINT Width, Height;
    D3DFORMAT Format;
};

// First: the suite's start makes the first Z buffer.
TEST_F(D3D9StartedDevice, TheZBufferCoversTheScreenInPowersOfTwo)
{
    const ZBufferCase cases[] = {
        {"640 x 480", 640, 480, 0, 0, 0, 1024, 512, D3DFMT_D16},
        {"1920 x 1080", 1920, 1080, 0, 0, 0, 2048, 2048, D3DFMT_D16},
        {"the user's size", 640, 480, 300, 200, 0, 300, 200, D3DFMT_D16},
        {"the user's 24 bits", 640, 480, 0, 0, 24, 1024, 512, D3DFMT_D24X8},
    };
    // The start made the first; the others are made again on its device, by the call the start
    // makes its Z buffer with (a device per size took seconds each and sized nothing else).
    bool first = true;
    for (const ZBufferCase &c : cases) {
        SCOPED_TRACE(c.Name);
        SetMainScreenSize(c.ScreenWidth, c.ScreenHeight);
        D3D9Screen.UserZBufferSizeFlag = c.UserWidth > 0;
        D3D9Screen.UserZBufferWidth = c.UserWidth;
        D3D9Screen.UserZBufferHeight = c.UserHeight;
        D3D9Screen.UserZBufferDepthFlag = c.UserDepth > 0;
        D3D9Screen.UserZBufferBitDepth = c.UserDepth;
        if (!first) {
            ASSERT_EQ(0, Graphics_D3D9_CreateZBuffer());
        }
        first = false;
        const D3DSURFACE_DESC desc = Describe(D3D9Screen.ZBuffer);
        EXPECT_EQ(c.Width, desc.Width);
        EXPECT_EQ(c.Height, desc.Height);
        EXPECT_EQ(c.Format, desc.Format);
    }
}

TEST_F(D3D9StartedDevice, TheTwelveVertexDeclarationsAreMadeAndReleased)
{
    ASSERT_EQ(0, Graphics_D3D9_CreateVertexDeclarations());
    for (IDirect3DVertexDeclaration9 *d : D3D9Screen.VertexDeclaration) EXPECT_NE(nullptr, d);
    EXPECT_NE(nullptr, D3D9Screen.UserVertexDeclaration[0]);
    EXPECT_NE(nullptr, D3D9Screen.UserVertexDeclaration[1]);
    // The declaration of each vertex has its vertex's size.
    const UINT sizes[D3D9_VERTEX_DECLARATION_NUM] = {28, 20, 28, 40, 40, 16, 24, 48, 88, 84};
    for (int i = 0; i < D3D9_VERTEX_DECLARATION_NUM; ++i) {
        D3DVERTEXELEMENT9 elements[MAXD3DDECLLENGTH + 1];
        UINT count = MAXD3DDECLLENGTH + 1;
        ASSERT_EQ(D3D_OK, D3D9Screen.VertexDeclaration[i]->GetDeclaration(elements, &count));
        const D3DVERTEXELEMENT9 &last = elements[count - 2];  // before D3DDECL_END
        const UINT lastSize[] = {4, 8, 12, 16, 4};            // FLOAT1-4, D3DCOLOR
        EXPECT_EQ(sizes[i], last.Offset + lastSize[last.Type]) << "declaration " << i;
    }
    Graphics_D3D9_ReleaseVertexDeclarations();
    for (IDirect3DVertexDeclaration9 *d : D3D9Screen.VertexDeclaration) EXPECT_EQ(nullptr, d);
    EXPECT_EQ(nullptr, D3D9Screen.UserVertexDeclaration[1]);
}

// A window's present names where the frame lands; a full-screen swap chain takes no rectangles.
TEST_F(D3D9StartedDevice, AFullScreenPresentPassesNoRectangles)
{
    D3D9Calls.Direct3DSwapChain9_Present = [](IDirect3DSwapChain9 *, const RECT *Source, const RECT *Dest, HWND,
                                              const RGNDATA *, DWORD) -> HRESULT {
        D3D9Hooks.Calls.push_back(std::string(Source != nullptr ? "source" : "none") + " " +
                                  (Dest != nullptr ? "dest" : "none"));
        return D3D_OK;
    };
    int &windowMode = MainWindowState.Setup.WindowModeFlag;
    for (int mode : {1, 0}) {
        windowMode = mode;
        EXPECT_EQ(0, Direct3DDevice9_Present()) << mode;
    }
    windowMode = 1;
    EXPECT_EQ((std::vector<std::string>{"source dest", "none none"}), D3D9Hooks.Calls);
}

// A window's present clears a paint request it raised itself (Wine raises one at each present while
// a DirectDraw object is tied to the window, and the paint handler would present again, and so on)
// and leaves one the window had before: that paint shows the frame again where the present did not
// show yet, a new window's first.
TEST_F(D3D9StartedDevice, APresentClearsOnlyThePaintItRaised)
{
    struct PaintCase
    {
        const char *Name;
        bool Before, Raised, Left;
    };
    const PaintCase cases[] = {
        {"raised by the present", false, true, false},
        {"asked for before", true, false, true},
        {"asked for before and raised", true, true, true},
    };
    static bool raise;
    D3D9Calls.Direct3DSwapChain9_Present = [](IDirect3DSwapChain9 *, const RECT *, const RECT *, HWND Window,
                                              const RGNDATA *, DWORD) -> HRESULT {
        if (raise) InvalidateRect(Window, nullptr, FALSE);
        return D3D_OK;
    };
    HWND window = (HWND)GetDisplayWindowHandle();
    for (const PaintCase &c : cases) {
        SCOPED_TRACE(c.Name);
        ValidateRect(window, nullptr);
        if (c.Before) InvalidateRect(window, nullptr, FALSE);
        raise = c.Raised;
        EXPECT_EQ(0, Direct3DDevice9_Present());
        EXPECT_EQ(c.Left, GetUpdateRect(window, nullptr, FALSE) != 0);
    }
    ValidateRect(window, nullptr);
}

TEST_F(D3D9StartedDevice, ASubBackBufferInAWindowIsPresentedWhole)
{
    ASSERT_EQ(0, Graphics_D3D9_SetupSubBackBufferFullScreen());
    EXPECT_EQ(nullptr, D3D9Screen.SubBackBufferSurface) << "only full screen makes one by itself";
    ASSERT_EQ(0, Graphics_D3D9_SetupSubBackBuffer());
    ASSERT_NE(nullptr, D3D9Screen.SubBackBufferTexture);
    EXPECT_EQ(640, D3D9Screen.SubBackBufferWidth);
    EXPECT_EQ(480, D3D9Screen.SubBackBufferHeight);

    // The sub back buffer is the target now: what is cleared there reaches the window.
    GraphicsState.BackgroundRed = 200, GraphicsState.BackgroundGreen = 100, GraphicsState.BackgroundBlue = 50;
    ASSERT_EQ(0, Graphics_D3D9_ClearDrawScreen(nullptr));
    const ImageRect corner = {0, 0, 64, 48};
    GraphicsState.BackgroundRed = 10, GraphicsState.BackgroundGreen = 20, GraphicsState.BackgroundBlue = 30;
    ASSERT_EQ(0, Graphics_D3D9_ClearDrawScreen(&corner));
    ASSERT_EQ(0, Graphics_D3D9_PresentFrame());
    // What the present put into the back buffer. (The window itself is read by the start-up tests:
    // without the library's paint handler Wine shows its own window contents again after a present.)
    IDirect3DSurface9 *copy = nullptr;
    ASSERT_EQ(D3D_OK, Direct3DDevice9_CreateOffscreenPlainSurface(640, 480, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &copy,
                                                                  nullptr));
    ASSERT_EQ(D3D_OK, Direct3DDevice9_GetRenderTargetData(D3D9DeviceCapsInfo.BackBuffer, copy));
    D3DLOCKED_RECT locked = {};
    ASSERT_EQ(D3D_OK, Direct3DSurface9_LockRect(copy, &locked, nullptr, D3DLOCK_READONLY));
    int wrong = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            uint32_t pixel = ((const uint32_t *)((const uint8_t *)locked.pBits + y * locked.Pitch))[x] & 0xFFFFFF;
            wrong += pixel != (x < 64 && y < 48 ? 0x0A141Eu : 0xC86432u);
        }
    Direct3DSurface9_UnlockRect(copy);
    Direct3D9_ReleaseObject(copy);
    EXPECT_EQ(0, wrong);
    Graphics_D3D9_Terminate();
    EXPECT_EQ(nullptr, D3D9Screen.SubBackBufferSurface);
    EXPECT_EQ(nullptr, D3D9Screen.SubBackBufferTexture);
}

}  // namespace
