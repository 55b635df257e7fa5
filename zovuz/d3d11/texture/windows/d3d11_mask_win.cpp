// The mask screen on the device. A masked draw works as on the software renderer: the begin hook
// copies the rectangle of the real target into the mask screen, drawing lands there, and the end
// hook copies it back through the mask pixel shader, which writes only where the mask byte is 0.
#include "zovuz/d3d11/texture/windows/d3d11_mask_win.h"

#include "zovuz/d3d11/d3d11_internal.h"
#include "zovuz/d3d11/shader/d3d11_standard_shaders.h"
#include "zovuz/d3d11/state/windows/d3d11_device_state_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_graph_piece_win.h"
#include "zovuz/d3d11/shader/windows/d3d11_shader_win.h"
#include "zovuz/d3d11/device/windows/d3d11_swap_chain_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_transfer_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_texture_desc_win.h"
#include "zovuz/core/zovuz_core.h"

D3D11MaskData D3D11Mask;

namespace {

D3D11MaskData &M = D3D11Mask;

void ReleaseScreenObjects(ID3D11Texture2D *&Texture, ID3D11ShaderResourceView *&View, ID3D11RenderTargetView *&Target)
{
    // A target the cache still binds goes off the device first.
    for (int i = 0; i < D3D11_RENDER_TARGET_NUM; ++i)
        if (Texture != nullptr && D3D11DeviceState.RenderTarget[i] == Texture)
            Graphics_D3D11_DeviceState_SetRenderTarget(nullptr, nullptr, i);
    ReleaseAndClear(Target, D3D11RenderTargetView_Release);
    ReleaseAndClear(View, D3D11ShaderResourceView_Release);
    ReleaseAndClear(Texture, D3D11Texture2D_Release);
}

D3D11_TEXTURE2D_DESC MaskTextureDesc(int Width, int Height, int Format, UINT Bind)
{
    return D3D11PlainTextureDesc((UINT)Width, (UINT)Height, (DXGI_FORMAT)Format, Bind);
}

// The mask bytes of (0, 0) - (Width, Height) into the image texture.
void UploadMaskBytes(int Width, int Height)
{
    int pitch = 0;
    const uint8_t *bytes = GetMaskScreenBuffer(nullptr, nullptr, &pitch);
    if (bytes == nullptr || M.ImageTexture == nullptr || Width < 1 || Height < 1) return;
    const D3D11_BOX box = {0, 0, 0, (UINT)Width, (UINT)Height, 1};
    D3D11DeviceContext_UpdateSubresource(M.ImageTexture, 0, &box, bytes, (UINT)pitch, 0);
}

int MakeImage(int Width, int Height, int Format)
{
    const D3D11_TEXTURE2D_DESC desc = MaskTextureDesc(Width, Height, Format, D3D11_BIND_SHADER_RESOURCE);
    if (D3D11Device_CreateTexture2D(&desc, nullptr, &M.ImageTexture) != S_OK) {
        M.ImageTexture = nullptr;
        AddLogStringWide(L"マスクイメージ用テクスチャの作成に失敗しました");
        return -1;
    }
    if (D3D11Device_CreateShaderResourceView(M.ImageTexture, nullptr, &M.ImageSRV) != S_OK) {
        M.ImageSRV = nullptr;
        AddLogStringWide(L"マスクイメージテクスチャ用シェーダーリソースビューの作成に失敗しました");
        return -1;
    }
    UploadMaskBytes(Width, Height);
    return 0;
}

int MakeScreen(int Width, int Height, int Format)
{
    const D3D11_TEXTURE2D_DESC desc =
        MaskTextureDesc(Width, Height, Format, D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET);
    if (D3D11Device_CreateTexture2D(&desc, nullptr, &M.ScreenTexture) != S_OK) {
        M.ScreenTexture = nullptr;
        AddLogStringWide(L"マスク用スクリーンテクスチャの作成に失敗しました\n");
        return -1;
    }
    if (D3D11Device_CreateShaderResourceView(M.ScreenTexture, nullptr, &M.ScreenSRV) != S_OK) {
        M.ScreenSRV = nullptr;
        AddLogStringWide(L"マスクスクリーンテクスチャ用シェーダーリソースビューの作成に失敗しました");
        return -1;
    }
    if (D3D11Device_CreateRenderTargetView(M.ScreenTexture, nullptr, &M.ScreenRTV) != S_OK) {
        M.ScreenRTV = nullptr;
        AddLogStringWide(L"マスクスクリーンテクスチャ用レンダーターゲットビューの作成に失敗しました");
        return -1;
    }
    return 0;
}

bool MaskInEffect() { return GraphicsDrawSettings.MaskValidFlag && M.ScreenTexture != nullptr; }

// The draw target's own texture and views: a graph's first piece at its current face, else the
// back screen (the sub back buffer when there is one).
void RealTarget(ID3D11Texture2D **Texture, ID3D11ShaderResourceView **View, ID3D11RenderTargetView **Target)
{
    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    GraphHandleData *graph = GetTypedHandle<GraphHandleData>(d.RenderTarget[0], DX_HANDLETYPE_GRAPH, 0);
    if (const GraphTextureEntry *piece = D3D11FirstPiece(graph); piece != nullptr) {
        *Texture = D3D11PieceTexture(piece);
        *View = D3D11PieceView(piece);
        *Target = D3D11PieceTargetView(piece, graph->Image->MipLevels, d.RenderTargetSurface[0], 0);
        return;
    }
    const D3D11ScreenData &screen = D3D11Screen;
    if (screen.SubBackBuffer != nullptr) {
        *Texture = screen.SubBackBuffer;
        *View = screen.SubBackBufferSRV;
        *Target = screen.SubBackBufferRTV;
    } else {
        *Texture = screen.SwapChain[0].BackBuffer;
        *View = screen.SwapChain[0].BackBufferSRV;
        *Target = screen.SwapChain[0].BackBufferRTV;
    }
}

}  // namespace

int Graphics_D3D11_Mask_SaveOldScreen(void)
{
    M.OldScreenTexture = M.ScreenTexture;
    M.OldScreenSRV = M.ScreenSRV;
    M.OldScreenRTV = M.ScreenRTV;
    M.ScreenTexture = nullptr;
    M.ScreenSRV = nullptr;
    M.ScreenRTV = nullptr;
    ReleaseAndClear(M.ImageSRV, D3D11ShaderResourceView_Release);
    ReleaseAndClear(M.ImageTexture, D3D11Texture2D_Release);
    return 0;
}

int Graphics_D3D11_Mask_CreateScreen(int Width, int Height)
{
    const int screenFormat = D3D11FormatTable.ScreenFormat;
    const int imageFormat = D3D11FormatTable.Format[D3D11_FORMAT_SLOT_R8];
    if (screenFormat == 0) {
        AddLogStringWide(L"マスク描画用カラーバッファで使用できるテクスチャフォーマットがありませんでした");
        return -1;
    }
    if (imageFormat == 0) {
        AddLogStringWide(L"マスク描画用アルファチャンネルバッファで使用できるテクスチャフォーマットがありませんでした");
        return -1;
    }
    M.Width = Width;
    M.Height = Height;
    if (M.ImageTexture == nullptr && MakeImage(Width, Height, imageFormat) < 0) return -1;
    if (M.ScreenTexture == nullptr && MakeScreen(Width, Height, screenFormat) < 0) return -1;
    return 0;
}

int Graphics_D3D11_Mask_CopyOldScreen(int OldWidth, int OldHeight)
{
    UploadMaskBytes(OldWidth, OldHeight);
    if (M.OldScreenTexture != nullptr && M.ScreenTexture != nullptr) {
        const RECT rect = {0, 0, OldWidth, OldHeight};
        Graphics_D3D11_StretchRect(M.OldScreenTexture, M.OldScreenSRV, &rect, M.ScreenTexture, M.ScreenRTV, &rect, 0, 0,
                                   nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        for (int i = 0; i < D3D11_RENDER_TARGET_NUM; ++i)
            if (D3D11DeviceState.RenderTarget[i] == M.OldScreenTexture)
                Graphics_D3D11_DeviceState_SetRenderTarget(M.ScreenTexture, M.ScreenRTV, i);
    }
    ReleaseScreenObjects(M.OldScreenTexture, M.OldScreenSRV, M.OldScreenRTV);
    return 0;
}

int Graphics_D3D11_Mask_SetUseScreen(void)
{
    if (!D3D11Device_IsValid()) return 0;
    Graphics_D3D11_RenderVertexBuffer(-1, 0);
    if (MaskInEffect()) {
        Graphics_D3D11_DeviceState_SetRenderTarget(M.ScreenTexture, M.ScreenRTV, 0);
    } else {
        ID3D11Texture2D *texture;
        ID3D11ShaderResourceView *view;
        ID3D11RenderTargetView *target;
        RealTarget(&texture, &view, &target);
        Graphics_D3D11_DeviceState_SetRenderTarget(texture, target, 0);
    }
    Graphics_Hardware_SetupDepthBuffer();
    const float *area = GraphicsDrawSettings.DrawAreaF;
    Graphics_D3D11_DeviceState_SetViewportRect(area[0], area[1], area[2], area[3]);
    return 0;
}

int Graphics_D3D11_Mask_DrawBegin(int X1, int Y1, int X2, int Y2)
{
    if (!MaskInEffect()) return 0;
    RealTarget(&M.TargetTexture, &M.TargetSRV, &M.TargetRTV);
    if (M.TargetSRV == nullptr || X1 >= X2 || Y1 >= Y2) return 0;
    const RECT rect = {X1, Y1, X2, Y2};
    return Graphics_D3D11_StretchRect(M.TargetTexture, M.TargetSRV, &rect, M.ScreenTexture, M.ScreenRTV, &rect, 0, 0,
                                      nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
}

int Graphics_D3D11_Mask_DrawEnd(int X1, int Y1, int X2, int Y2)
{
    if (!MaskInEffect()) return 0;
    if (M.TargetRTV == nullptr || X1 >= X2 || Y1 >= Y2) return 0;
    // The mask image holds its byte in its one (red) channel.
    const int slot = D3D11BaseShaderGroups[D3D11_GROUP_MASK_CHANNEL_PIXEL].FirstSlot;
    const RECT rect = {X1, Y1, X2, Y2};
    return Graphics_D3D11_StretchRect(M.ScreenTexture, M.ScreenSRV, &rect, M.TargetTexture, M.TargetRTV, &rect, 0, 0,
                                      nullptr, D3D11StandardShaders.Pixel[slot], M.ImageTexture, M.ImageSRV, &rect,
                                      nullptr);
}

int Graphics_D3D11_Mask_ReleaseScreen(void)
{
    ReleaseScreenObjects(M.ScreenTexture, M.ScreenSRV, M.ScreenRTV);
    ReleaseScreenObjects(M.OldScreenTexture, M.OldScreenSRV, M.OldScreenRTV);
    ReleaseAndClear(M.ImageSRV, D3D11ShaderResourceView_Release);
    ReleaseAndClear(M.ImageTexture, D3D11Texture2D_Release);
    M.TargetTexture = nullptr;
    M.TargetSRV = nullptr;
    M.TargetRTV = nullptr;
    return 0;
}
