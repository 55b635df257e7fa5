// Graph textures: their device objects, fills, copies between graphs and the multisample resolve.
#include "zovuz/d3d11/texture/windows/d3d11_graph_texture_win.h"

#include <string.h>

#include "zovuz/d3d11/state/windows/d3d11_device_state_win.h"
#include "zovuz/d3d11/device/windows/d3d11_swap_chain_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_transfer_win.h"
#include "zovuz/d3d11/draw/windows/d3d11_vertex_batch_win.h"

namespace {

D3D11DeviceStateCache &S = D3D11DeviceState;

int Fail(const wchar_t *Line)
{
    AddLogStringWide(Line);
    return -1;
}

int FaceNum(const GraphImageRecord &Image) { return Image.Format.CubeMapFlag ? 6 : 1; }
int MipNum(const GraphImageRecord &Image) { return Image.MipLevels > 1 ? Image.MipLevels : 1; }

// The DXGI format of the record's pixel format, 0 for none.
DXGI_FORMAT FormatOf(const GraphImageRecord &Image)
{
    if (Image.PixelFormat < 0 || Image.PixelFormat >= PIXEL_FORMAT_NUM) return DXGI_FORMAT_UNKNOWN;
    return (DXGI_FORMAT)D3D11FormatTable.Format[Image.PixelFormat];
}

// What every piece of one record is made with.
struct TextureSettings
{
    DXGI_FORMAT Format;
    UINT Samples, Quality;
    int Faces, Mips;
    int RenderTarget;
    int ASyncThread;
};

D3D11_TEXTURE2D_DESC TextureDesc(const GraphTextureEntry &Piece, const TextureSettings &T, UINT Samples, UINT Quality)
{
    D3D11_TEXTURE2D_DESC desc = {};
    desc.Width = (UINT)Piece.TexWidth;
    desc.Height = (UINT)Piece.TexHeight;
    desc.MipLevels = (UINT)T.Mips;
    desc.ArraySize = (UINT)T.Faces;
    desc.Format = T.Format;
    desc.SampleDesc.Count = Samples;
    desc.SampleDesc.Quality = Quality;
    desc.Usage = D3D11_USAGE_DEFAULT;
    desc.BindFlags =
        T.RenderTarget ? D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET : D3D11_BIND_SHADER_RESOURCE;
    desc.MiscFlags = T.Faces == 6 ? D3D11_RESOURCE_MISC_TEXTURECUBE : 0;
    return desc;
}

int CreateTextures(const GraphTextureEntry &Piece, const TextureSettings &T)
{
    D3D11GraphTextureObjects &objects = *D3D11GraphObjects(Piece);
    ID3D11Texture2D *&ms = objects.MultisampleTexture;
    if (ms == nullptr && T.Samples >= 2) {
        const D3D11_TEXTURE2D_DESC desc = TextureDesc(Piece, T, T.Samples, T.Quality);
        if (D3D11Device_CreateTexture2D_ASync(&desc, nullptr, &ms, T.ASyncThread) != S_OK) {
            ms = nullptr;
            return Fail(L"マルチサンプルテクスチャの作成に失敗しました\n");
        }
    }
    ID3D11Texture2D *&texture = objects.Texture;
    if (texture == nullptr) {
        const D3D11_TEXTURE2D_DESC desc = TextureDesc(Piece, T, 1, 0);
        if (D3D11Device_CreateTexture2D_ASync(&desc, nullptr, &texture, T.ASyncThread) != S_OK) {
            texture = nullptr;
            return Fail(L"テクスチャの作成に失敗しました\n");
        }
    }
    return 0;
}

int CreateRenderTargetViews(GraphTextureEntry &Piece, const TextureSettings &T)
{
    D3D11GraphTextureObjects &objects = *D3D11GraphObjects(Piece);
    ID3D11RenderTargetView **&views = objects.TargetViews;
    const int num = T.Faces * T.Mips;
    if (views == nullptr) {
        views = (ID3D11RenderTargetView **)DXCALLOC(sizeof(ID3D11RenderTargetView *) * num);
        if (views == nullptr)
            return Fail(L"テクスチャ用レンダーターゲットビューのアドレスを保存するためのメモリの確保に失敗しました\n");
        objects.TargetViewNum = num;
    }
    ID3D11Texture2D *target = D3D11GraphTargetTexture(Piece);
    for (int face = 0; face < T.Faces; face++)
        for (int mip = 0; mip < T.Mips; mip++) {
            ID3D11RenderTargetView *&view = views[face * T.Mips + mip];
            if (view != nullptr) continue;
            D3D11_RENDER_TARGET_VIEW_DESC desc = {};
            desc.Format = T.Format;
            if (T.Faces == 6) {
                desc.ViewDimension = D3D11_RTV_DIMENSION_TEXTURE2DARRAY;
                desc.Texture2DArray.MipSlice = (UINT)mip;
                desc.Texture2DArray.FirstArraySlice = (UINT)face;
                desc.Texture2DArray.ArraySize = 1;
            } else if (T.Samples >= 2) {
                desc.ViewDimension = D3D11_RTV_DIMENSION_TEXTURE2DMS;
            } else {
                desc.ViewDimension = D3D11_RTV_DIMENSION_TEXTURE2D;
                desc.Texture2D.MipSlice = (UINT)mip;
            }
            if (D3D11Device_CreateRenderTargetView_ASync(target, &desc, &view, T.ASyncThread) != S_OK) {
                view = nullptr;
                AddLogFormat(
                    L"テクスチャ用レンダーターゲットビューの作成に失敗しました  Format:%d  SizeX:%d  SizeY:%d \n",
                    (int)T.Format, Piece.TexWidth, Piece.TexHeight);
                return -1;
            }
        }
    return 0;
}

void ReleaseDepth(const GraphTextureEntry &Piece)
{
    D3D11GraphTextureObjects &objects = *D3D11GraphObjects(Piece);
    ID3D11DepthStencilView **&views = objects.DepthViews;
    if (views != nullptr) {
        for (int i = 0; i < objects.DepthViewNum; i++) {
            if (views[i] != nullptr && S.DepthStencilView == views[i])
                Graphics_D3D11_DeviceState_SetDepthStencil(nullptr, nullptr);
            D3D11DepthStencilView_Release(views[i]);
        }
        DXFREE(views);
        views = nullptr;
    }
    objects.DepthViewNum = 0;
    ReleaseAndClear(objects.DepthTexture, D3D11Texture2D_Release);
}

// A render target sharing the screen's depth buffer must match its sample count; with its own
// flag, or where the counts differ in kind, the piece gets a depth buffer of its own.
bool NeedsOwnDepth(const GraphImageRecord &Image, UINT Samples)
{
    const int screen = GraphicsDeviceMode.MultiSampleCount > 1 ? GraphicsDeviceMode.MultiSampleCount : 1;
    return Image.ZBufferFlag || (screen == 1 && Samples > 1) || (screen > 1 && Samples == 1);
}

int CreateOwnDepth(GraphTextureEntry &Piece, const GraphImageRecord &Image, const TextureSettings &T)
{
    ReleaseDepth(Piece);
    int depth = Image.ZBufferBitDepthIndex;
    if (depth < 0 || depth >= D3D11_DEPTH_FORMAT_NUM) depth = 0;
    D3D11_TEXTURE2D_DESC desc = {};
    desc.Width = (UINT)Piece.TexWidth;
    desc.Height = (UINT)Piece.TexHeight;
    desc.MipLevels = (UINT)T.Mips;
    desc.ArraySize = 1;
    desc.Format = (DXGI_FORMAT)D3D11FormatTable.DepthTexture[depth];
    desc.SampleDesc.Count = T.Samples;
    desc.SampleDesc.Quality = T.Quality;
    desc.Usage = D3D11_USAGE_DEFAULT;
    desc.BindFlags = D3D11_BIND_DEPTH_STENCIL;
    D3D11GraphTextureObjects &objects = *D3D11GraphObjects(Piece);
    ID3D11Texture2D *&texture = objects.DepthTexture;
    if (D3D11Device_CreateTexture2D_ASync(&desc, nullptr, &texture, T.ASyncThread) != S_OK) {
        texture = nullptr;
        return Fail(L"書き込み専用マルチサンプル深度テクスチャの作成に失敗しました\n");
    }
    ID3D11DepthStencilView **&views = objects.DepthViews;
    views = (ID3D11DepthStencilView **)DXCALLOC(sizeof(ID3D11DepthStencilView *) * T.Mips);
    if (views == nullptr)
        return Fail(L"深度バッファ用深度ステンシルビューのアドレスを保存するためのメモリの確保に失敗しました\n");
    objects.DepthViewNum = T.Mips;
    for (int mip = 0; mip < T.Mips; mip++) {
        D3D11_DEPTH_STENCIL_VIEW_DESC view = {};
        view.Format = (DXGI_FORMAT)D3D11FormatTable.DepthView[depth];
        if (T.Samples >= 2) {
            view.ViewDimension = D3D11_DSV_DIMENSION_TEXTURE2DMS;
        } else {
            view.ViewDimension = D3D11_DSV_DIMENSION_TEXTURE2D;
            view.Texture2D.MipSlice = (UINT)mip;
        }
        if (D3D11Device_CreateDepthStencilView_ASync(texture, &view, &views[mip], T.ASyncThread) != S_OK) {
            views[mip] = nullptr;
            return Fail(L"深度バッファ用深度ステンシルビューの作成に失敗しました\n");
        }
    }
    return 0;
}

int CreateShaderResourceView(const GraphTextureEntry &Piece, const TextureSettings &T)
{
    D3D11GraphTextureObjects &objects = *D3D11GraphObjects(Piece);
    ID3D11ShaderResourceView *&view = objects.View;
    if (view != nullptr) return 0;
    D3D11_SHADER_RESOURCE_VIEW_DESC desc = {};
    desc.Format = T.Format;
    if (T.Faces == 6) {
        desc.ViewDimension = D3D11_SRV_DIMENSION_TEXTURECUBE;
        desc.TextureCube.MostDetailedMip = 0;
        desc.TextureCube.MipLevels = (UINT)T.Mips;
    } else {
        desc.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2D;
        desc.Texture2D.MostDetailedMip = 0;
        desc.Texture2D.MipLevels = (UINT)T.Mips;
    }
    if (D3D11Device_CreateShaderResourceView_ASync(objects.Texture, &desc, &view, T.ASyncThread) != S_OK) {
        view = nullptr;
        AddLogFormat(L"テクスチャ用シェーダーリソースビューの作成に失敗しました  Format:%d  SizeX:%d  SizeY:%d \n",
                     (int)T.Format, Piece.TexWidth, Piece.TexHeight);
        return -1;
    }
    return 0;
}

void ClearTargets(const GraphTextureEntry &Piece, int ASyncThread)
{
    const FLOAT zero[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    const D3D11GraphTextureObjects &objects = *D3D11GraphObjects(Piece);
    for (int i = 0; objects.TargetViews != nullptr && i < objects.TargetViewNum; i++)
        if (objects.TargetViews[i] != nullptr)
            D3D11DeviceContext_ClearRenderTargetView_ASync(objects.TargetViews[i], zero, ASyncThread);
    for (int i = 0; objects.DepthViews != nullptr && i < objects.DepthViewNum; i++)
        if (objects.DepthViews[i] != nullptr)
            D3D11DeviceContext_ClearDepthStencilView_ASync(objects.DepthViews[i], D3D11_CLEAR_DEPTH, 1.0f, 0,
                                                           ASyncThread);
}

int CreatePiece(GraphTextureEntry &Piece, const GraphImageRecord &Image, const TextureSettings &T)
{
    if (CreateTextures(Piece, T) < 0) return -1;
    if (T.RenderTarget) {
        if (CreateRenderTargetViews(Piece, T) < 0) return -1;
        if (NeedsOwnDepth(Image, T.Samples)) {
            if (CreateOwnDepth(Piece, Image, T) < 0) return -1;
        } else {
            ReleaseDepth(Piece);
        }
    }
    if (CreateShaderResourceView(Piece, T) < 0) return -1;
    if (T.RenderTarget) ClearTargets(Piece, T.ASyncThread);
    return 0;
}

// The cache must keep no released view: a later object at the same address would pass as bound.
void ForgetRenderTargetView(ID3D11RenderTargetView *View)
{
    for (int index = 0; View != nullptr && index < D3D11_RENDER_TARGET_NUM; index++)
        if (S.RenderTargetView[index] == View) Graphics_D3D11_DeviceState_SetRenderTarget(nullptr, nullptr, index);
}

}  // namespace

int Graphics_D3D11_CreateTexture(GraphImageRecord *Image, int ASyncThread)
{
    if (!D3D11Device_IsValid()) return -1;
    if (Image == nullptr || !Image->Format.HardwareFlag) return 0;
    TextureSettings t = {};
    t.Format = FormatOf(*Image);
    if (t.Format == DXGI_FORMAT_UNKNOWN)
        return Fail(L"指定のフォーマットで作成できるテクスチャフォーマットがありませんでした\n");
    t.Faces = FaceNum(*Image);
    t.Mips = MipNum(*Image);
    t.RenderTarget = Image->Format.DrawValidFlag;
    t.ASyncThread = ASyncThread;
    t.Samples = 1;
    t.Quality = 0;
    // A cube map, and a device below 10_0, are never multisampled.
    if (Image->MultiSampleCount >= 2 && t.Faces == 1 && D3D11_GetFeatureLevel() >= D3D11_LEVEL_10_0) {
        t.Samples = (UINT)Image->MultiSampleCount;
        t.Quality = (UINT)(Image->MultiSampleQuality > 0 ? Image->MultiSampleQuality : 0);
        D3D11Device_CheckMultisampleQualityLevels_ASync(t.Format, &t.Samples, &t.Quality, 0, ASyncThread);
    }
    for (int i = 0; i < Image->TextureNum; i++)
        if (CreatePiece(Image->Texture[i], *Image, t) < 0) return -1;
    return 0;
}

int Graphics_D3D11_ReleaseGraphTexture(GraphImageRecord *Image)
{
    if (Image == nullptr || !Image->Format.HardwareFlag || Image->Texture == nullptr) return 0;
    for (int i = 0; i < Image->TextureNum; i++) {
        const GraphTextureEntry &piece = Image->Texture[i];
        if (piece.PF == nullptr) continue;
        D3D11GraphTextureObjects &objects = *D3D11GraphObjects(piece);
        ID3D11RenderTargetView **&views = objects.TargetViews;
        if (views != nullptr) {
            for (int v = 0; v < objects.TargetViewNum; v++) {
                ForgetRenderTargetView(views[v]);
                D3D11RenderTargetView_Release(views[v]);
            }
            DXFREE(views);
            views = nullptr;
        }
        objects.TargetViewNum = 0;
        ReleaseAndClear(objects.View, Graphics_D3D11_ReleaseTextureShaderResourceView);
        ReleaseAndClear(objects.MultisampleTexture, D3D11Texture2D_Release);
        ReleaseAndClear(objects.Texture, D3D11Texture2D_Release);
        ReleaseDepth(piece);
    }
    return 0;
}

int Graphics_D3D11_ReleaseTextureShaderResourceView(ID3D11ShaderResourceView *View)
{
    if (View == nullptr) return 0;
    bool held = false;
    for (int slot = 0; slot < D3D11_PS_RESOURCE_SLOTS; slot++) {
        if (S.PSShaderResource[slot] != View) continue;
        if (!held) Graphics_D3D11_RenderVertexBuffer(-1, 0);
        held = true;
        ID3D11ShaderResourceView *none = nullptr;
        Graphics_D3D11_DeviceState_SetPSShaderResources(slot, 1, &none);
    }
    // The draw state may still name the view for its next draw even where no slot holds it yet.
    if (D3D11Device_IsValid()) {
        if (S.TextureView == View) Graphics_D3D11_SetTexture(nullptr, nullptr);
        if (S.BlendTextureView == View) Graphics_D3D11_SetBlendTexture(nullptr, nullptr, 0, 0);
    }
    D3D11ShaderResourceView_Release(View);
    return 0;
}

int Graphics_D3D11_ResolveMultisampleTexture(const GraphTextureEntry *Piece, int Subresource, DXGI_FORMAT Format)
{
    const D3D11GraphTextureObjects &objects = *D3D11GraphObjects(*Piece);
    ID3D11Texture2D *ms = objects.MultisampleTexture, *texture = objects.Texture;
    if (ms == nullptr || texture == nullptr) return 0;
    D3D11DeviceContext_ResolveSubresource(texture, (UINT)Subresource, ms, (UINT)Subresource, Format);
    return 0;
}

// ---- Graph operations ------------------------------------------------------------------------

int Graphics_D3D11_FillGraph(GraphHandleData *Graph, int Red, int Green, int Blue, int Alpha)
{
    if (!D3D11Device_IsValid()) return -1;
    if (Graph == nullptr || Graph->Image == nullptr || !Graph->Image->Format.DrawValidFlag) return 2;
    Graphics_D3D11_RenderVertexBuffer(-1, 0);
    const FLOAT color[4] = {Red / 255.0f, Green / 255.0f, Blue / 255.0f, Alpha / 255.0f};
    for (int i = 0; i < Graph->PieceNum; i++) {
        const GraphTextureEntry *piece = Graph->Piece[i].Texture;
        ID3D11RenderTargetView **views = D3D11GraphObjects(*piece)->TargetViews;
        if (views != nullptr && views[0] != nullptr) D3D11DeviceContext_ClearRenderTargetView(views[0], color);
    }
    return 0;
}

int Graphics_D3D11_BltRectGraphToGraph(GraphHandleData *DestGraph, GraphHandleData *SrcGraph, int SrcSurface,
                                       int SrcMipLevel, int X1, int Y1, int X2, int Y2, int DestX, int DestY)
{
    if (!D3D11Device_IsValid() || DestGraph == nullptr || DestGraph->Image == nullptr) return -1;
    Graphics_D3D11_RenderVertexBuffer(-1, 0);
    if (DestGraph->Image->Format.DrawValidFlag) {
        ID3D11Texture2D *srcTexture;
        ID3D11ShaderResourceView *srcView;
        if (SrcGraph != nullptr) {
            if (SrcGraph->Image == nullptr || SrcGraph->PieceNum < 1) return -1;
            const GraphTextureEntry &piece = *SrcGraph->Piece[0].Texture;
            const D3D11GraphTextureObjects &objects = *D3D11GraphObjects(piece);
            srcTexture = objects.Texture;
            srcView = objects.View;
        } else {
            const D3D11ScreenData &screen = D3D11Screen;
            const bool sub = screen.SubBackBuffer != nullptr;
            srcTexture = sub ? screen.SubBackBuffer : screen.SwapChain[0].BackBuffer;
            srcView = sub ? screen.SubBackBufferSRV : screen.SwapChain[0].BackBufferSRV;
        }
        if (DestGraph->PieceNum < 1) return -1;
        const GraphTextureEntry &dest = *DestGraph->Piece[0].Texture;
        ID3D11RenderTargetView **views = D3D11GraphObjects(dest)->TargetViews;
        if (srcTexture == nullptr || srcView == nullptr || views == nullptr || views[0] == nullptr) return -1;
        const RECT srcRect = {X1, Y1, X2, Y2};
        const RECT destRect = {DestX, DestY, DestX + X2 - X1, DestY + Y2 - Y1};
        const int result =
            Graphics_D3D11_StretchRect(srcTexture, srcView, &srcRect, D3D11GraphTargetTexture(dest), views[0],
                                       &destRect, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        // The copy went into a multisampled graph's multisampled texture: what is sampled is the other.
        if (result == 0)
            Graphics_D3D11_ResolveMultisampleTexture(
                &dest, 0, (DXGI_FORMAT)D3D11FormatTable.Format[DestGraph->Image->PixelFormat]);
        return result;
    }
    BASEIMAGE image;
    const ImageRect rect = {X1, Y1, X2, Y2};
    const int target = SrcGraph != nullptr ? SrcGraph->Info.Handle : -1;
    if (LockDrawScreenBuffer(&rect, &image, target, SrcSurface, SrcMipLevel, 1, 0) < 0) return -1;
    const ImageRect whole = {0, 0, image.Width, image.Height};
    const int result = BltBaseImageToGraph(&whole, DestX, DestY, DestGraph->Info.Handle, &image, nullptr,
                                           DestGraph->Image->Format.TextureOption, 0, 0, 0);
    UnlockDrawScreenBuffer();
    return result < 0 ? -1 : 0;
}
