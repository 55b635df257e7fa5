// The mask screen's device objects against the fake: their sizes and formats, growing, the
// release that returns every count, and a device without the formats the mask needs.
#include "tests/zovuz/d3d11/d3d11_fixture.h"

#include "zovuz/d3d11/state/windows/d3d11_device_state_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_mask_win.h"
#include "zovuz/d3d11/device/windows/d3d11_swap_chain_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_transfer_win.h"

namespace {

class Mask : public FakeD3D11DrawingTest
{
protected:
    void SetUp() override
    {
        FakeD3D11DrawingTest::SetUp();
        ASSERT_EQ(0, Graphics_D3D11_SetupSimpleTransferStates());
    }
    void TearDown() override
    {
        Graphics_D3D11_Mask_ReleaseScreen();
        FakeD3D11DrawingTest::TearDown();
    }
};

TEST_F(Mask, TheMaskTexturesHaveTheMasksExactSizeAndGoWithItsRelease)
{
    const auto before = LiveObjectCounts();
    FakeD3D11.Calls.clear();
    ASSERT_EQ(0, Graphics_D3D11_Mask_CreateScreen(300, 200));
    // The image in one 8-bit channel, the screen in the screen format.
    EXPECT_EQ((std::vector<std::string>{"CreateTexture2D 300x200 fmt=61 bind=0x8 samples=1",
                                        "CreateTexture2D 300x200 fmt=28 bind=0x28 samples=1"}),
              FakeD3D11CallsStartingWith("CreateTexture2D"));
    ASSERT_EQ(0, Graphics_D3D11_Mask_CreateScreen(300, 200));  // nothing missing: nothing made
    EXPECT_EQ(2u, FakeD3D11CallsStartingWith("CreateTexture2D").size());

    // Growing: the old screen is copied into the new one, which takes its place as a target.
    Graphics_D3D11_DeviceState_SetRenderTarget(D3D11Mask.ScreenTexture, D3D11Mask.ScreenRTV, 0);
    FakeD3D11.Calls.clear();
    ASSERT_EQ(0, Graphics_D3D11_Mask_SaveOldScreen());
    ASSERT_EQ(0, Graphics_D3D11_Mask_CreateScreen(400, 240));
    ASSERT_EQ(0, Graphics_D3D11_Mask_CopyOldScreen(300, 200));
    EXPECT_EQ(1u, FakeD3D11CallsStartingWith("Draw 4 0").size());
    EXPECT_EQ(D3D11Mask.ScreenTexture, D3D11DeviceState.RenderTarget[0]);
    EXPECT_EQ(nullptr, D3D11Mask.OldScreenTexture);
    auto grown = LiveObjectCounts();
    EXPECT_EQ(before[D3D11_OBJECT_TEXTURE2D] + 2, grown[D3D11_OBJECT_TEXTURE2D]);

    ASSERT_EQ(0, Graphics_D3D11_Mask_ReleaseScreen());
    EXPECT_EQ(nullptr, D3D11DeviceState.RenderTarget[0]);  // no stale target left in the cache
    auto after = LiveObjectCounts();
    after[D3D11_OBJECT_BUFFER] = before[D3D11_OBJECT_BUFFER];  // the copy's vertex buffer grew once and stays
    EXPECT_EQ(before, after);
    EXPECT_EQ(0, Graphics_D3D11_Mask_ReleaseScreen());  // twice is harmless
}

TEST_F(Mask, ADeviceWithoutTheMaskFormatsRefusesIt)
{
    const struct
    {
        bool Screen;
        const wchar_t *Line;
    } rows[] = {{true, L"マスク描画用カラーバッファで使用できるテクスチャフォーマットがありませんでした"},
                {false, L"マスク描画用アルファチャンネルバッファで使用できるテクスチャフォーマットがありませんでした"}};
    const D3D11FormatTableData table = D3D11FormatTable;
    for (const auto &row : rows) {
        D3D11FormatTable = table;
        (row.Screen ? D3D11FormatTable.ScreenFormat : D3D11FormatTable.Format[D3D11_FORMAT_SLOT_R8]) = 0;
        FakeD3D11.Calls.clear();
        EXPECT_EQ(-1, Graphics_D3D11_Mask_CreateScreen(8, 8));
        EXPECT_TRUE(LoggedWithin(row.Line));
        EXPECT_TRUE(FakeD3D11CallsStartingWith("CreateTexture2D").empty());
    }
    D3D11FormatTable = table;
}

// While a mask draw is in effect, whatever target is asked for, drawing lands in the mask screen.
TEST_F(Mask, TheDrawScreenIsTheMaskScreenWhileTheMaskIsInEffect)
{
    ASSERT_EQ(0, Graphics_D3D11_Mask_CreateScreen(64, 48));
    const D3D11SwapChainInfo &chain = D3D11Screen.SwapChain[0];
    for (int valid : {1, 0}) {
        GraphicsDrawSettings.MaskValidFlag = valid;
        ASSERT_EQ(0, Graphics_D3D11_SetDrawScreen(DX_SCREEN_BACK, 0, 0, nullptr, nullptr, nullptr, nullptr));
        EXPECT_EQ(valid ? D3D11Mask.ScreenRTV : chain.BackBufferRTV, D3D11DeviceState.RenderTargetView[0]);
        ASSERT_EQ(0, Graphics_D3D11_Mask_SetUseScreen());
        EXPECT_EQ(valid ? D3D11Mask.ScreenRTV : chain.BackBufferRTV, D3D11DeviceState.RenderTargetView[0]);
    }
}

}  // namespace
