// The swap-chain table against the fake: the main window's swap chain with its views, one record
// per window up to 256, the release of a half-made record, the back-buffer resize and the
// multisampling written back into the graph mode.
#include "tests/zovuz/d3d11/d3d11_fixture.h"

#include "zovuz/d3d11/device/windows/d3d11_swap_chain_win.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

class SwapChains : public FakeD3D11Test
{
};

HWND Window(int N) { return (HWND)(uintptr_t)(0x10000 + N * 4); }

TEST_F(SwapChains, DeviceCreationMakesTheMainWindowsSwapChainWithItsViews)
{
    ASSERT_EQ(0, StartDevice());
    const D3D11SwapChainInfo &r = D3D11Screen.SwapChain[0];
    EXPECT_EQ(1, D3D11Screen.SwapChainNum);
    EXPECT_EQ(0, D3D11Screen.PresentSwapChain);
    EXPECT_EQ(1, r.UsedFlag);
    EXPECT_NE(nullptr, r.Output);
    EXPECT_NE(nullptr, r.BackBufferSRV);
    EXPECT_NE(nullptr, r.BackBufferRTV);
    EXPECT_EQ(640u, r.BackBufferDesc.Width);
    EXPECT_EQ(1u, FakeD3D11CallsStartingWith("CreateSwapChain 640x480 fmt=28 usage=0x30 buffers=2 samples=1/0 "
                                             "windowed=1 swap=0 flags=2 refresh=60/1 device=set")
                      .size());
    EXPECT_EQ(1u, FakeD3D11CallsStartingWith("MakeWindowAssociation flags=3").size());
    EXPECT_TRUE(Logged(L"[ウインドウモード 640x480]"));
    EXPECT_TRUE(Logged(L"IDXGISwapChain を作成します.... 成功"));
    EXPECT_TRUE(Logged(L"IDXGIFactory->CreateSwapChain の戻り値：0x00000000"));
    EXPECT_EQ(1, D3D11_GetObjectCount(D3D11_OBJECT_TEXTURE2D));
}

// Full screen: the swap chain takes the display mode's size, is not windowed, and leaves
// full-screen state before it goes.
TEST_F(SwapChains, AFullScreenSwapChainLeavesFullScreenStateBeforeItsRelease)
{
    ChangeWindowMode(0);
    ASSERT_EQ(0, StartDevice());
    ChangeWindowMode(1);
    EXPECT_EQ(1, D3D11Screen.FullScreenFlag);
    const DISPLAYMODEDATA &mode = GraphicsScreenSettings.FullScreenMode;
    const std::string windowed = "windowed=0 swap=0 flags=2";
    const std::vector<std::string> made = FakeD3D11CallsStartingWith("CreateSwapChain ");
    ASSERT_EQ(1u, made.size());
    EXPECT_EQ(0u, made[0].find("CreateSwapChain " + std::to_string(mode.Width) + "x" + std::to_string(mode.Height)));
    EXPECT_NE(std::string::npos, made[0].find(windowed)) << made[0];
    EXPECT_TRUE(LoggedWithin(L"[フルスクリーンモード "));

    FakeD3D11.Calls.clear();
    Graphics_D3D11_ReleaseDevice();
    EXPECT_EQ(0, D3D11Screen.FullScreenFlag);
    const auto at = [](const std::string &Call) {
        const auto &calls = FakeD3D11.Calls;
        return std::find(calls.begin(), calls.end(), Call) - calls.begin();
    };
    ASSERT_LT(at("SetFullscreenState 0"), (long)FakeD3D11.Calls.size());
    EXPECT_LT(at("SetFullscreenState 0"), at("SwapChainDestroyed"));
}

TEST_F(SwapChains, EachWindowHasOneOfTwoHundredFiftySixRecords)
{
    ASSERT_EQ(0, StartDevice());
    for (int i = 1; i < D3D11_SWAP_CHAIN_MAXNUM; ++i) ASSERT_EQ(i, Graphics_D3D11_CreateSwapChain(Window(i), 1));
    int creations = FakeD3D11Count("CreateSwapChain");
    EXPECT_EQ(-1, Graphics_D3D11_CreateSwapChain(Window(999), 1));
    EXPECT_EQ(77, Graphics_D3D11_CreateSwapChain(Window(77), 1));
    EXPECT_EQ(creations, FakeD3D11Count("CreateSwapChain"));

    // A released record is taken by the next window; a record that does not exist is refused.
    EXPECT_EQ(0, Graphics_D3D11_ReleaseSwapChain(Window(40), 0));
    EXPECT_EQ(-1, Graphics_D3D11_ReleaseSwapChain(nullptr, 40));
    EXPECT_EQ(-1, Graphics_D3D11_ReleaseSwapChain(Window(40), 0));
    EXPECT_EQ(-1, Graphics_D3D11_ReleaseSwapChain(nullptr, 256));
    EXPECT_EQ(40, Graphics_D3D11_CreateSwapChain(Window(999), 1));
    EXPECT_EQ(0, Graphics_D3D11_ReleaseSwapChain(nullptr, 200));
    EXPECT_EQ(D3D11_SWAP_CHAIN_MAXNUM - 1, D3D11Screen.SwapChainNum);
}

struct CreationFailure
{
    const char *Method;
    const wchar_t *Line;
};

TEST_F(SwapChains, AFailedCreationReleasesTheHalfMadeRecord)
{
    const CreationFailure failures[] = {
        {"CreateSwapChain", L"IDXGISwapChain を作成します.... 失敗 エラーコード：0x80004005"},
        {"GetContainingOutput", L"IDXGIOutput を取得します.... 失敗 エラーコード：0x80004005"},
        {"GetBuffer", L"スワップチェインのバッファの ID3D11Texture2D の取得に失敗しました"},
        {"CreateShaderResourceView", L"スワップチェインのバッファの ID3D11ShaderResourceView の作成に失敗しました"},
        {"CreateRenderTargetView", L"スワップチェインのバッファの ID3D11RenderTargetView の作成に失敗しました"},
    };
    for (const CreationFailure &f : failures) {
        SCOPED_TRACE(f.Method);
        Restart();
        FakeD3D11.Fail[f.Method] = E_FAIL;
        EXPECT_EQ(-1, StartDevice());
        EXPECT_TRUE(Logged(f.Line));
        EXPECT_EQ(0, D3D11Screen.SwapChainNum);
        EXPECT_EQ(0, D3D11Screen.SwapChain[0].UsedFlag);
        EXPECT_EQ(nullptr, D3D11Screen.SwapChain[0].SwapChain);
        for (int type = 0; type < D3D11_OBJECT_TYPE_NUM; ++type) EXPECT_EQ(0, D3D11_GetObjectCount(type));
    }
}

TEST_F(SwapChains, TheBackBufferIsResizedWithNewViews)
{
    ASSERT_EQ(0, StartDevice());
    EXPECT_EQ(-1, Graphics_D3D11_ResizeBackBuffer(0, 0, 600));
    EXPECT_EQ(-1, Graphics_D3D11_ResizeBackBuffer(0, 800, 0));
    EXPECT_EQ(-1, Graphics_D3D11_ResizeBackBuffer(256, 800, 600));
    EXPECT_EQ(0, FakeD3D11Count("ResizeBuffers"));

    // The platform refuses while the old views hold the buffers: they go first.
    ASSERT_EQ(0, Graphics_D3D11_ResizeBackBuffer(0, 800, 600));
    const D3D11SwapChainInfo &r = D3D11Screen.SwapChain[0];
    EXPECT_EQ(800u, r.BackBufferDesc.Width);
    EXPECT_EQ(600u, r.BackBufferDesc.Height);
    EXPECT_NE(nullptr, r.BackBufferRTV);

    FakeD3D11.Fail["ResizeBuffers"] = DXGI_ERROR_DEVICE_REMOVED;
    EXPECT_EQ(-1, Graphics_D3D11_ResizeBackBuffer(0, 1024, 768));
    EXPECT_TRUE(Logged(L"バックバッファのサイズ変更に失敗しました"));
    EXPECT_EQ(nullptr, r.BackBuffer);
    EXPECT_EQ(nullptr, r.BackBufferRTV);
    EXPECT_EQ(0, D3D11_GetObjectCount(D3D11_OBJECT_TEXTURE2D));
}

struct SampleRequest
{
    const char *Name;
    int FeatureLevel;
    int Count, Quality;
    const char *Created;  // the sample description the swap chain was made with
    int CountAfter;       // written back into the graph mode
};

TEST_F(SwapChains, MultisamplingIsWhatTheDeviceGivesAndIsWrittenBack)
{
    const SampleRequest cases[] = {
        {"four samples", 0xB100, 4, 0, "samples=4/0", 4},
        {"four samples below 10_0", 0x9300, 4, 0, "samples=1/0", 1},
        {"three samples, lowered", 0xB100, 3, 0, "samples=2/0", 2},
    };
    for (const SampleRequest &c : cases) {
        SCOPED_TRACE(c.Name);
        Restart();
        D3D11CallLayer.Settings.MinFeatureLevel = 0x9100;
        FakeD3D11.MaxFeatureLevel = c.FeatureLevel;
        GraphicsDeviceMode.MultiSampleCount = c.Count;
        GraphicsDeviceMode.MultiSampleQuality = c.Quality;
        ASSERT_EQ(0, StartDevice());
        std::vector<std::string> created = FakeD3D11CallsStartingWith("CreateSwapChain");
        ASSERT_EQ(1u, created.size());
        EXPECT_NE(std::string::npos, created[0].find(c.Created)) << created[0];
        EXPECT_EQ(c.CountAfter, GraphicsDeviceMode.MultiSampleCount);
    }
}

}  // namespace
