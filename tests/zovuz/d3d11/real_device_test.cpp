// The back end on the platform's own Direct3D 11 (Wine's, on llvmpipe under Xvfb): the device and
// the main window's swap chain are made, reported and released with nothing left alive. Run a
// second time with d3d11.dll switched off, its load fails cleanly. The standard shaders are made
// from the program's own pack on that device.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <vector>

#include "tests/support/test_files.h"
#include "tests/zovuz/d3d11/d3d11_fixture.h"
#include "zovuz/d3d11/state/windows/d3d11_buffers_win.h"
#include "zovuz/d3d11/calls/windows/d3d11_calls.h"
#include "zovuz/d3d11/state/windows/d3d11_device_state_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_read_back_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_transfer_win.h"
#include "zovuz/d3d11/d3d11_internal.h"
#include "zovuz/d3d11/shader/windows/d3d11_shader_win.h"
#include "zovuz/d3d11/device/windows/d3d11_swap_chain_win.h"
#include "zovuz/d3d11/draw/windows/d3d11_vertex_batch_win.h"
#include "zovuz/graphics/display_internal.h"

namespace {

class RealDevice : public RealD3D11Test
{
protected:
    static void SetUpTestSuite() { OpenMainWindow("d3d11 device"); }
};

bool Contains(const std::wstring &Text, const std::wstring &Piece) { return Text.find(Piece) != std::wstring::npos; }

TEST_F(RealDevice, TheDeviceAndTheMainWindowsSwapChainAreMadeAndReleased)
{
    LogAppendReader log;
    ASSERT_EQ(0, SetGraphMode(640, 480, 32, 60));
    SetPlatformVSyncWaitFlag(1);
    ASSERT_EQ(0, StartD3D11Device());

    std::wstring text = log.Appended();
    EXPECT_TRUE(Contains(text, L"使用する機能レベル:D3D_FEATURE_LEVEL_11_1"));
    EXPECT_TRUE(Contains(text, L"24bit Zバッファフォーマットは DXGI_FORMAT_D24_UNORM_S8_UINT です"));
    EXPECT_TRUE(Contains(text, L"最大テクスチャサイズ　幅:16384 高さ:16384"));
    EXPECT_EQ(88, D3D11FormatTable.Format[PIXEL_FORMAT_TARGET_RGB32]);

    const D3D11SwapChainInfo &r = D3D11Screen.SwapChain[0];
    EXPECT_EQ((HWND)GetMainWindowHandle(), r.Desc.OutputWindow);
    EXPECT_EQ(640u, r.BackBufferDesc.Width);
    EXPECT_EQ(480u, r.BackBufferDesc.Height);
    EXPECT_NE(nullptr, r.BackBufferSRV);
    EXPECT_NE(nullptr, r.BackBufferRTV);
    // Wine's output answers its vertical-blank wait with "not implemented": presents are paced.
    EXPECT_EQ(0, PresentPacing.PlatformWaitsFlag);

    log.Mark();
    EXPECT_EQ(0, Graphics_D3D11_ReleaseDevice());
    text = log.Appended();
    EXPECT_TRUE(Contains(text, L"Direct3D11 のオブジェクト合計数 : 0"));
    EXPECT_TRUE(Contains(text, L"d3d11.dll の解放 1"));
    EXPECT_TRUE(Contains(text, L"dxgi.dll の解放 1"));
    EXPECT_EQ(0, D3D11Device_IsValid());
    // The back end's own references to both DLLs are gone. (Wine keeps d3d11.dll loaded once a
    // device was made: it holds a reference of its own that no release returns.)
    EXPECT_EQ(nullptr, D3D11CallLayer.D3D11Module);
    EXPECT_EQ(nullptr, D3D11CallLayer.DXGIModule);
    EXPECT_EQ(0, Graphics_D3D11_ReleaseDevice());  // twice is harmless
}

TEST_F(RealDevice, TheStandardShadersAreMadeFromTheBuiltInPack)
{
    ASSERT_EQ(0, SetGraphMode(640, 480, 32, 60));
    ASSERT_EQ(0, StartD3D11Device());
    LogAppendReader log;
    ASSERT_EQ(0, Graphics_D3D11_Shader_Initialize());
    D3D11_OutputObjectCount();
    const std::wstring text = log.Appended();
    EXPECT_TRUE(Contains(text, L"シェーダーコード関係の初期化.... 成功"));
    EXPECT_TRUE(Contains(text, L"ID3D11VertexShader : 9"));
    EXPECT_TRUE(Contains(text, L"ID3D11PixelShader : 249"));
    EXPECT_EQ(0, Graphics_D3D11_ReleaseDevice());
    EXPECT_EQ(0, D3D11_GetObjectCount(D3D11_OBJECT_PIXEL_SHADER));
}

TEST_F(RealDevice, DrawingStateIsMadeOnTheDeviceAndReleasedWithIt)
{
    ASSERT_EQ(0, SetGraphMode(640, 480, 32, 60));
    ASSERT_EQ(0, StartD3D11Device());
    LogAppendReader log;
    ASSERT_EQ(0, StartD3D11DrawingState());
    EXPECT_NE(nullptr, D3D11Batch.Write);
    const std::wstring text = log.Appended();
    for (const wchar_t *line : {L"各種シェーダー用定数バッファの作成.... 成功", L"深度バッファを作成します.... 成功",
                                L"各種 ID3D11InputLayout の作成.... 成功", L"標準描画用の頂点バッファの作成.... 成功"})
        EXPECT_TRUE(Contains(text, line)) << line;
    EXPECT_FALSE(Contains(text, L"失敗")) << text;

    EXPECT_EQ(0, Graphics_D3D11_ReleaseDevice());
    for (int type = 0; type < D3D11_OBJECT_TYPE_NUM; ++type) EXPECT_EQ(0, D3D11_GetObjectCount(type)) << type;
}

// A 64 x 32 texture whose red byte is 3 x the column and green 7 x the row, with its view; and a
// render target of the same size.
struct TransferTextures
{
    ID3D11Texture2D *Source = nullptr, *Dest = nullptr;
    ID3D11ShaderResourceView *SourceView = nullptr;
    ID3D11RenderTargetView *DestView = nullptr;
    uint32_t Pixels[32][64];

    int Make()
    {
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 64; ++x) Pixels[y][x] = 0xFF000000u | (uint32_t)(7 * y) << 8 | (uint32_t)(3 * x);
        D3D11_TEXTURE2D_DESC desc = {64, 32, 1, 1, DXGI_FORMAT_R8G8B8A8_UNORM, {1, 0}, D3D11_USAGE_DEFAULT,
                                     D3D11_BIND_SHADER_RESOURCE, 0, 0};
        D3D11_SUBRESOURCE_DATA data = {Pixels, 64 * 4, 0};
        if (D3D11Device_CreateTexture2D(&desc, &data, &Source) != S_OK) return -1;
        if (D3D11Device_CreateShaderResourceView(Source, nullptr, &SourceView) != S_OK) return -1;
        desc.BindFlags = D3D11_BIND_RENDER_TARGET;
        if (D3D11Device_CreateTexture2D(&desc, nullptr, &Dest) != S_OK) return -1;
        return D3D11Device_CreateRenderTargetView(Dest, nullptr, &DestView) == S_OK ? 0 : -1;
    }
    // The destination's pixels after a transfer.
    std::vector<uint32_t> ReadDest()
    {
        BASEIMAGE image;
        ID3D11Texture2D *staging = nullptr;
        std::vector<uint32_t> pixels;
        if (Graphics_D3D11_CreateReadBackTexture(Dest, 0, 0, nullptr, &image, &staging) < 0) return pixels;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 64; ++x) pixels.push_back(((uint32_t *)((uint8_t *)image.Pixels + y * image.Pitch))[x]);
        D3D11DeviceContext_Unmap_ASync(staging, 0, 0);
        D3D11Texture2D_Release(staging);
        return pixels;
    }
    ~TransferTextures()
    {
        D3D11RenderTargetView_Release(DestView);
        D3D11Texture2D_Release(Dest);
        D3D11ShaderResourceView_Release(SourceView);
        D3D11Texture2D_Release(Source);
    }
};

TEST_F(RealDevice, AnEqualSizePointTransferIsExactAndALargerSourceClampsAtTheEdge)
{
    ASSERT_EQ(0, SetGraphMode(640, 480, 32, 60));
    ASSERT_EQ(0, Graphics_D3D11_Initialize());
    ASSERT_EQ(0, Graphics_D3D11_InitializeDeviceState());
    {
        TransferTextures t;
        ASSERT_EQ(0, t.Make());
        ASSERT_EQ(0, Graphics_D3D11_StretchRect(t.Source, t.SourceView, nullptr, t.Dest, t.DestView, nullptr, 0, 0,
                                                nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
        std::vector<uint32_t> pixels = t.ReadDest();
        ASSERT_EQ(64u * 32u, pixels.size());
        int wrong = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 64; ++x) wrong += pixels[y * 64 + x] != t.Pixels[y][x];
        EXPECT_EQ(0, wrong);

        // Twice the texture's size onto the whole target: the right and lower halves sample beyond
        // the texture and take its last column and row.
        const RECT twice = {0, 0, 128, 64};
        ASSERT_EQ(0, Graphics_D3D11_StretchRect(t.Source, t.SourceView, &twice, t.Dest, t.DestView, nullptr, 0, 0,
                                                nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
        pixels = t.ReadDest();
        ASSERT_EQ(64u * 32u, pixels.size());
        int unclamped = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 64; ++x) {
                const uint32_t p = pixels[y * 64 + x];
                if (x >= 32) unclamped += (p & 0xFF) != 3 * 63;
                if (y >= 16) unclamped += ((p >> 8) & 0xFF) != 7 * 31;
            }
        EXPECT_EQ(0, unclamped);
    }
    EXPECT_EQ(0, Graphics_D3D11_ReleaseDevice());
    for (int type = 0; type < D3D11_OBJECT_TYPE_NUM; ++type) EXPECT_EQ(0, D3D11_GetObjectCount(type)) << type;
}

TEST(WithoutD3D11, TheLoadFailsCleanly)
{
    if (getenv("TARVEX_D3D11_DISABLED") == nullptr) GTEST_SKIP() << "only with d3d11.dll switched off";
    RemoveLogFile();  // this run's log starts with this test
    LogAppendReader log;
    EXPECT_EQ(-1, D3D11_LoadDLL());
    EXPECT_TRUE(Contains(log.Appended(), L"d3d11.dll の読み込み.... 失敗"));
    EXPECT_EQ(nullptr, D3D11CallLayer.D3D11Module);
    EXPECT_EQ(-1, D3D11_CreateDevice());
    EXPECT_EQ(0, D3D11Device_IsValid());
}

}  // namespace
