// The screen of the back end against the fake, with the library's real main window: the
// transfer's state restore, the present (a failed resize, the quad and the batch it draws, its
// pacing), and the read-back's locks.
#include "tests/zovuz/d3d11/d3d11_fixture.h"

#include "zovuz/d3d11/d3d11_internal.h"
#include "zovuz/d3d11/state/windows/d3d11_buffers_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_read_back_win.h"
#include "zovuz/d3d11/device/windows/d3d11_swap_chain_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_texture_desc_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_transfer_win.h"
#include "zovuz/d3d11/draw/windows/d3d11_vertex_batch_win.h"
#include "zovuz/graphics/display_internal.h"

namespace {

class Screen : public FakeD3D11Test
{
protected:
    static void SetUpTestSuite()
    {
        FakeD3D11Test::SetUpTestSuite();
        ChangeWindowMode(1);
        SetAlwaysRunFlag(1);
        SetMainWindowText("d3d11 screen fake");
        ASSERT_EQ(0, SetGraphMode(640, 480, 32, 60));
        ASSERT_EQ(0, CreateMainWindow());
    }
    static void TearDownTestSuite() { TerminateMainWindow(); }
    void SetUp() override
    {
        FakeD3D11Test::SetUp();
        ASSERT_EQ(0, Graphics_D3D11_Initialize());
        ASSERT_EQ(0, Graphics_D3D11_InitializeDeviceState());
    }
    void TearDown() override
    {
        SetWindowSizeExtendRate(1.0, 1.0);
        FakeD3D11Test::TearDown();
    }

    // The names of the calls recorded from the first one whose line starts with From.
    static std::vector<std::string> CallsFrom(const std::string &From)
    {
        std::vector<std::string> names;
        bool seen = false;
        for (const std::string &call : FakeD3D11.Calls) {
            seen = seen || call.rfind(From, 0) == 0;
            if (seen) names.push_back(call.substr(0, call.find(' ')));
        }
        return names;
    }
};

TEST_F(Screen, ATransferPutsTheCachedStateBackInOrder)
{
    const D3D11SwapChainInfo &chain = D3D11Screen.SwapChain[0];
    ASSERT_EQ(0, Graphics_D3D11_SetupSubBackBuffer());
    FakeD3D11.Calls.clear();
    const D3D11ScreenData &s = D3D11Screen;
    ASSERT_EQ(0, Graphics_D3D11_StretchRect(s.SubBackBuffer, s.SubBackBufferSRV, nullptr, chain.BackBuffer,
                                            chain.BackBufferRTV, nullptr, 1, 0, nullptr, nullptr, nullptr, nullptr,
                                            nullptr, nullptr));
    const std::vector<std::string> restore = {"Draw",
                                              "IASetVertexBuffers",
                                              "VSSetShader",
                                              "PSSetShader",
                                              "IASetInputLayout",
                                              "IASetPrimitiveTopology",
                                              "OMSetBlendState",
                                              "OMSetDepthStencilState",
                                              "RSSetState",
                                              "PSSetSamplers",
                                              "OMSetRenderTargets",
                                              "RSSetViewports",
                                              "PSSetShaderResources"};
    EXPECT_EQ(restore, CallsFrom("Draw "));
    EXPECT_EQ(1u, FakeD3D11CallsStartingWith("Draw 4 0").size());
}

TEST_F(Screen, ATransferWhoseVerticesCannotBeWrittenDrawsNothing)
{
    for (const char *method : {"CreateBuffer", "Map"}) {
        SCOPED_TRACE(method);
        Restart();
        // The common buffer is grown here for the first time, and then mapped.
        FakeD3D11.Fail[method] = E_OUTOFMEMORY;
        const D3D11SwapChainInfo &chain = D3D11Screen.SwapChain[0];
        EXPECT_EQ(-1, Graphics_D3D11_StretchRect(chain.BackBuffer, chain.BackBufferSRV, nullptr, chain.BackBuffer,
                                                 chain.BackBufferRTV, nullptr, 0, 0, nullptr, nullptr, nullptr, nullptr,
                                                 nullptr, nullptr));
        EXPECT_EQ(0, FakeD3D11Count("Draw"));
        FakeD3D11.Fail.clear();
    }
}

TEST_F(Screen, APresentWhoseResizeFailedShowsNothingAndTheNextOneRecovers)
{
    SetWindowSizeExtendRate(1.5, 1.5);
    FakeD3D11.Fail["ResizeBuffers"] = DXGI_ERROR_INVALID_CALL;
    EXPECT_EQ(-1, Graphics_D3D11_PresentFrame());
    EXPECT_EQ(0, FakeD3D11Count("Present"));
    EXPECT_TRUE(Logged(L"バックバッファのサイズ変更に失敗しました"));
    EXPECT_EQ(nullptr, D3D11Screen.SwapChain[0].BackBufferRTV);

    FakeD3D11.Fail.clear();
    EXPECT_EQ(0, Graphics_D3D11_PresentFrame());
    EXPECT_EQ(1, FakeD3D11Count("Present"));
    EXPECT_EQ(960u, D3D11Screen.SwapChain[0].BackBufferDesc.Width);
    EXPECT_EQ(720u, D3D11Screen.SwapChain[0].BackBufferDesc.Height);
    // The library keeps drawing at its own size: the sub back buffer is scaled into the window.
    EXPECT_EQ(640, D3D11Screen.SubBackBufferWidth);
}

TEST_F(Screen, APresentDrawsOneQuadAndThePendingBatch)
{
    SetWindowSizeExtendRate(1.5, 1.5);
    ASSERT_EQ(0, Graphics_D3D11_PresentFrame());
    AddPendingVertices(6);
    FakeD3D11.Calls.clear();
    FakeD3D11.CallCount.clear();
    SetPlatformVSyncWaitFlag(0);
    ASSERT_EQ(0, Graphics_D3D11_PresentFrame());
    EXPECT_EQ(2, FakeD3D11Count("Draw"));
    EXPECT_EQ(1u, FakeD3D11CallsStartingWith("Draw 6 0").size());
    EXPECT_EQ(1u, FakeD3D11CallsStartingWith("Draw 4 0").size());
    EXPECT_EQ(1, FakeD3D11Count("Present"));
    // The present went through the pacing of a device that makes presents wait for it.
    EXPECT_GE(PresentPacing.DeviceLastEnd, 0);
    SetPlatformVSyncWaitFlag(1);
}

// While presents are paced, the present first waits asleep until the device has drawn what it
// was given (an event query ended after the last draw), so that the platform's present has no
// frame left to wait for.
TEST_F(Screen, APacedPresentWaitsForTheDeviceAsleepFirst)
{
    struct Case
    {
        const char *Name;
        int NotWaitVSync, BusyPolls;
        bool QueryFails;
        std::vector<std::string> Calls;  // from the first End, or from Present when none
    };
    const std::vector<Case> cases = {
        {"busy device", 0, 2, false, {"End", "GetData flags=0", "GetData flags=1", "GetData flags=1", "Present"}},
        {"idle device", 0, 0, false, {"End", "GetData flags=0", "Present"}},
        {"unpaced", 1, 2, false, {"Present"}},
        {"no queries", 0, 0, true, {"Present"}},
    };
    SetPlatformVSyncWaitFlag(0);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        GraphicsScreenSettings.NotWaitVSyncFlag = c.NotWaitVSync;
        FakeD3D11.QueryBusyPolls = c.BusyPolls;
        if (c.QueryFails) FakeD3D11.Fail["CreateQuery"] = E_FAIL;
        for (int present = 0; present < 2; ++present) {
            FakeD3D11.Calls.clear();
            ASSERT_EQ(0, Graphics_D3D11_PresentFrame());
            std::vector<std::string> calls;
            bool seen = false;
            for (const std::string &call : FakeD3D11.Calls) {
                const std::string name = call.substr(0, call.find(' '));
                seen = seen || name == c.Calls.front().substr(0, c.Calls.front().find(' '));
                if (!seen || (name != "End" && name != "GetData" && name != "Present")) continue;
                calls.push_back(name == "GetData" ? call : name);
            }
            EXPECT_EQ(c.Calls, calls) << "present " << present;
        }
        // One query serves every present; a device without queries is asked once.
        EXPECT_EQ(c.NotWaitVSync ? 0 : 1, FakeD3D11Count("CreateQuery"));
        FakeD3D11.Fail.clear();
        Graphics_D3D11_ReleaseDevice();
        FakeD3D11.CallCount.clear();
        ASSERT_EQ(0, Graphics_D3D11_Initialize());
        ASSERT_EQ(0, Graphics_D3D11_InitializeDeviceState());
    }
    GraphicsScreenSettings.NotWaitVSyncFlag = 0;
    SetPlatformVSyncWaitFlag(1);
}

TEST_F(Screen, AMinimisedWindowGivesTheDeviceNoWork)
{
    HWND window = (HWND)GetMainWindowHandle();
    SetWindowSizeExtendRate(1.5, 1.5);  // the screen is drawn through the sub back buffer
    ASSERT_EQ(0, Graphics_D3D11_PresentFrame());
    ShowWindow(window, SW_MINIMIZE);
    FakeD3D11.Calls.clear();
    FakeD3D11.CallCount.clear();
    ASSERT_EQ(0, Graphics_D3D11_PresentFrame());
    std::string calls;
    for (const std::string &call : FakeD3D11.Calls) calls += call + "; ";
    EXPECT_EQ("WaitForVBlank; ", calls);  // in place of the present, nothing else
    ShowWindow(window, SW_RESTORE);
    ASSERT_EQ(0, Graphics_D3D11_PresentFrame());
    EXPECT_EQ(1, FakeD3D11Count("Present"));
}

TEST_F(Screen, LocksReadInsideTheLevelAndKeepOneStagingTexture)
{
    BASEIMAGE image;
    const RECT inside = {10, 20, 30, 40};
    ASSERT_EQ(0, Graphics_D3D11_LockBackBuffer(&inside, &image, nullptr, 0, 0, 0));
    EXPECT_EQ(20, image.Width);
    EXPECT_EQ(20, image.Height);
    const int textures = D3D11_GetObjectCount(D3D11_OBJECT_TEXTURE2D);
    ASSERT_EQ(0, Graphics_D3D11_LockBackBuffer(nullptr, &image, nullptr, 0, 0, 0));
    EXPECT_EQ(640, image.Width);
    EXPECT_EQ(textures, D3D11_GetObjectCount(D3D11_OBJECT_TEXTURE2D));

    for (const RECT &outside : {RECT{600, 0, 641, 10}, RECT{0, 470, 10, 481}, RECT{-1, 0, 10, 10}, RECT{5, 5, 5, 10}}) {
        EXPECT_EQ(-1, Graphics_D3D11_LockBackBuffer(&outside, &image, nullptr, 0, 0, 0));
        EXPECT_EQ(nullptr, D3D11ReadBack.Texture);
    }
    EXPECT_TRUE(Logged(L"描画対象バッファのロックに失敗しました"));
    // A read-back of the last one's size and format takes its staging texture again.
    FakeD3D11.CallCount.clear();
    ASSERT_EQ(0, Graphics_D3D11_LockBackBuffer(nullptr, &image, nullptr, 0, 0, 0));
    EXPECT_EQ(0, FakeD3D11Count("CreateTexture2D"));
    EXPECT_EQ(textures, D3D11_GetObjectCount(D3D11_OBJECT_TEXTURE2D));
    EXPECT_EQ(0, Graphics_D3D11_UnlockBackBuffer());
}

// A resolve needs a multisampled source of its own size: one level or slice of a single-sampled
// texture is copied as it is, and only a multisampled texture is resolved.
TEST_F(Screen, AReadBackResolvesOnlyMultisampledTextures)
{
    struct Case
    {
        const char *Name;
        UINT MipLevels, ArraySize, SampleCount;
        int Slice, Level;
        const char *Copy;  // the call that brings the pixels over, as recorded
    };
    const Case cases[] = {
        {"one level", 1, 1, 1, 0, 0, "CopyResource obj obj"},
        {"mip level 2 of 3", 3, 1, 1, 0, 2, "CopySubresourceRegion obj 0 0 0 0 obj 2 null"},
        {"slice 1 of 2", 1, 2, 1, 1, 0, "CopySubresourceRegion obj 0 0 0 0 obj 1 null"},
        {"slice 1 of 2 with 2 levels", 2, 2, 1, 1, 1, "CopySubresourceRegion obj 0 0 0 0 obj 3 null"},
        {"multisampled", 1, 1, 4, 0, 0, "ResolveSubresource obj 0 obj 0 28"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        D3D11_TEXTURE2D_DESC desc = D3D11PlainTextureDesc(64, 32, DXGI_FORMAT_R8G8B8A8_UNORM, 0, c.SampleCount);
        desc.MipLevels = c.MipLevels;
        desc.ArraySize = c.ArraySize;
        ID3D11Texture2D *texture = nullptr;
        ASSERT_EQ(S_OK, D3D11Device_CreateTexture2D(&desc, nullptr, &texture));
        FakeD3D11.Calls.clear();
        FakeD3D11.CallCount.clear();
        BASEIMAGE image;
        ID3D11Texture2D *staging = nullptr;
        ASSERT_EQ(0, Graphics_D3D11_CreateReadBackTexture(texture, c.Slice, c.Level, nullptr, &image, &staging));
        EXPECT_EQ(64 >> c.Level, image.Width);
        EXPECT_EQ(1u, FakeD3D11CallsStartingWith(c.Copy).size());
        EXPECT_EQ(c.SampleCount > 1 ? 1 : 0, FakeD3D11Count("ResolveSubresource"));
        D3D11DeviceContext_Unmap_ASync(staging, 0, 0);
        D3D11Texture2D_Release(staging);
        D3D11Texture2D_Release(texture);
    }
}

}  // namespace
