// The texture-to-texture transfer: its fixed state objects and the one-quad copy.
#include "zovuz/d3d11/texture/windows/d3d11_transfer_win.h"

#include <string.h>

#include <cfloat>
#include <initializer_list>

#include "zovuz/d3d11/state/windows/d3d11_buffers_win.h"
#include "zovuz/d3d11/state/windows/d3d11_device_state_win.h"
#include "zovuz/d3d11/shader/windows/d3d11_shader_win.h"
#include "zovuz/d3d11/draw/windows/d3d11_vertex_batch_win.h"

D3D11SimpleTransferData D3D11SimpleTransfer;

namespace {

D3D11SimpleTransferData &T = D3D11SimpleTransfer;

int Fail(const wchar_t *Line)
{
    AddLogFormat(Line);
    return -1;
}

D3D11_BLEND_DESC PlainBlend()
{
    D3D11_BLEND_DESC desc = {};
    for (D3D11_RENDER_TARGET_BLEND_DESC &t : desc.RenderTarget) {
        t.SrcBlend = t.SrcBlendAlpha = D3D11_BLEND_ONE;
        t.DestBlend = t.DestBlendAlpha = D3D11_BLEND_ZERO;
        t.BlendOp = t.BlendOpAlpha = D3D11_BLEND_OP_ADD;
        t.RenderTargetWriteMask = D3D11_COLOR_WRITE_ENABLE_ALL;
    }
    return desc;
}

int CreateBlendStates()
{
    D3D11_BLEND_DESC desc = PlainBlend();
    if (D3D11Device_CreateBlendState(&desc, &T.Blend) != S_OK) {
        T.Blend = nullptr;
        return Fail(L"単純転送用の ID3D11BlendState の作成に失敗しました\n");
    }
    D3D11_RENDER_TARGET_BLEND_DESC &t = desc.RenderTarget[0];
    t.BlendEnable = TRUE;
    t.SrcBlend = t.SrcBlendAlpha = D3D11_BLEND_SRC_ALPHA;
    t.DestBlend = t.DestBlendAlpha = D3D11_BLEND_INV_SRC_ALPHA;
    if (D3D11Device_CreateBlendState(&desc, &T.AlphaBlend) != S_OK) {
        T.AlphaBlend = nullptr;
        return Fail(L"単純アルファブレンド転送用の ID3D11BlendState の作成に失敗しました\n");
    }
    return 0;
}

int CreateSampler(D3D11_FILTER Filter, ID3D11SamplerState *&Sampler, const wchar_t *Failure)
{
    if (Sampler != nullptr) return 0;
    D3D11_SAMPLER_DESC desc = {};
    desc.AddressU = desc.AddressV = desc.AddressW = D3D11_TEXTURE_ADDRESS_CLAMP;
    desc.MaxAnisotropy = 16;
    desc.ComparisonFunc = D3D11_COMPARISON_ALWAYS;
    desc.MinLOD = -FLT_MAX;
    desc.MaxLOD = FLT_MAX;
    desc.Filter = Filter;
    if (D3D11Device_CreateSamplerState(&desc, &Sampler) != S_OK) {
        Sampler = nullptr;
        return Fail(Failure);
    }
    return 0;
}

int CreateRasterizer()
{
    if (T.Rasterizer != nullptr) return 0;
    D3D11_RASTERIZER_DESC desc = {};
    desc.FillMode = D3D11_FILL_SOLID;
    desc.CullMode = D3D11_CULL_BACK;
    desc.DepthClipEnable = TRUE;
    if (D3D11Device_CreateRasterizerState(&desc, &T.Rasterizer) != S_OK) {
        T.Rasterizer = nullptr;
        return Fail(L"単純転送用の ID3D11RasterizerState の作成に失敗しました\n");
    }
    return 0;
}

int CreateDepthStencil()
{
    if (T.DepthStencil != nullptr) return 0;
    D3D11_DEPTH_STENCIL_DESC desc = {};
    desc.DepthWriteMask = D3D11_DEPTH_WRITE_MASK_ZERO;
    desc.DepthFunc = D3D11_COMPARISON_ALWAYS;
    desc.StencilReadMask = 0xFF;
    desc.StencilWriteMask = 0xFF;
    for (D3D11_DEPTH_STENCILOP_DESC *face : {&desc.FrontFace, &desc.BackFace}) {
        face->StencilFailOp = face->StencilDepthFailOp = face->StencilPassOp = D3D11_STENCIL_OP_KEEP;
        face->StencilFunc = D3D11_COMPARISON_ALWAYS;
    }
    if (D3D11Device_CreateDepthStencilState(&desc, &T.DepthStencil) != S_OK) {
        T.DepthStencil = nullptr;
        return Fail(L"単純転送用の ID3D11DepthStencilState の作成に失敗しました\n");
    }
    return 0;
}

// The size of a texture, and a rectangle that defaults to all of it.
struct Extent
{
    float Width, Height;
    RECT Rect;
};

Extent ExtentOf(ID3D11Texture2D *Texture, const RECT *Rect)
{
    D3D11_TEXTURE2D_DESC desc = {};
    D3D11Texture2D_GetDesc(Texture, &desc);
    Extent e = {(float)desc.Width, (float)desc.Height, {0, 0, (LONG)desc.Width, (LONG)desc.Height}};
    if (Rect != nullptr) e.Rect = *Rect;
    return e;
}

// A corner (0 top-left, 1 top-right, 2 bottom-left, 3 bottom-right) of a rectangle in pixels.
float CornerX(const Extent &E, int Index) { return (float)((Index & 1) ? E.Rect.right : E.Rect.left); }
float CornerY(const Extent &E, int Index) { return (float)((Index & 2) ? E.Rect.bottom : E.Rect.top); }

// ... as a texture coordinate.
void Corner(const Extent &E, int Index, float *Out)
{
    Out[0] = CornerX(E, Index) / E.Width;
    Out[1] = CornerY(E, Index) / E.Height;
}

// A destination pixel in clip space.
void ClipPosition(float X, float Y, const Extent &Dest, float *Out)
{
    Out[0] = X / Dest.Width * 2.0f - 1.0f;
    Out[1] = -(Y / Dest.Height * 2.0f - 1.0f);
}

// The four vertices into the general-purpose buffer. 0 / -1.
int WriteVertices(const float *Vertices, int Bytes)
{
    if (Graphics_D3D11_CreateCommonVertexBuffer(Bytes) < 0) return -1;
    D3D11_MAPPED_SUBRESOURCE mapped = {};
    if (D3D11DeviceContext_Map(D3D11Buffers.CommonVertexBuffer, 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped) != S_OK ||
        mapped.pData == nullptr)
        return -1;
    memcpy(mapped.pData, Vertices, (size_t)Bytes);
    D3D11DeviceContext_Unmap_ASync(D3D11Buffers.CommonVertexBuffer, 0, 0);
    return 0;
}

// The cached device state goes back on the device, in the order the pipeline was changed.
void RestoreCachedState(bool SecondSampler, bool SecondView)
{
    const D3D11DeviceStateCache &s = D3D11DeviceState;
    ID3D11Buffer *buffer = s.VertexBuffer;
    UINT stride = s.VertexStride, offset = 0;
    D3D11DeviceContext_IASetVertexBuffers(0, 1, &buffer, &stride, &offset);
    D3D11DeviceContext_VSSetShader(s.VertexShader, nullptr, 0);
    D3D11DeviceContext_PSSetShader(s.PixelShader, nullptr, 0);
    D3D11DeviceContext_IASetInputLayout(s.InputLayout);
    D3D11DeviceContext_IASetPrimitiveTopology(s.Topology);

    // The cache's blend factor: its blend states never read one.
    const FLOAT factor[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    D3D11DeviceContext_OMSetBlendState(s.BlendState, factor, 0xFFFFFFFF);
    D3D11DeviceContext_OMSetDepthStencilState(s.DepthStencilState, 0);
    D3D11DeviceContext_RSSetState(s.RasterizerState);

    D3D11DeviceContext_PSSetSamplers(0, SecondSampler ? 2 : 1, s.SamplerState);
    D3D11DeviceContext_OMSetRenderTargets(D3D11_RENDER_TARGET_NUM, s.RenderTargetView, s.DepthStencilView);
    D3D11DeviceContext_RSSetViewports(1, &s.Viewport);
    D3D11DeviceContext_PSSetShaderResources(0, SecondView ? 2 : 1, s.PSShaderResource);
}

}  // namespace

int Graphics_D3D11_SetupSimpleTransferStates(void)
{
    AddLogStringWide(L"画像の単純転送処理の初期化... ");
    if (T.Blend == nullptr && CreateBlendStates() < 0) return -1;
    if (CreateSampler(D3D11_FILTER_MIN_MAG_MIP_POINT, T.PointSampler,
                      L"最近点サンプリング単純転送用の ID3D11SamplerState の作成に失敗しました\n") < 0 ||
        CreateSampler(D3D11_FILTER_MIN_MAG_MIP_LINEAR, T.LinearSampler,
                      L"バイリニア補間単純転送用の ID3D11SamplerState の作成に失敗しました\n") < 0 ||
        CreateRasterizer() < 0 || CreateDepthStencil() < 0)
        return -1;
    AddLogStringWide(L"成功\n");
    return 0;
}

int Graphics_D3D11_ReleaseSimpleTransferStates(void)
{
    D3D11SamplerState_Release(T.PointSampler);
    D3D11SamplerState_Release(T.LinearSampler);
    D3D11RasterizerState_Release(T.Rasterizer);
    D3D11DepthStencilState_Release(T.DepthStencil);
    D3D11BlendState_Release(T.Blend);
    D3D11BlendState_Release(T.AlphaBlend);
    T = D3D11SimpleTransferData();
    return 0;
}

int Graphics_D3D11_StretchRect(ID3D11Texture2D *SrcTexture, ID3D11ShaderResourceView *SrcView, const RECT *SrcRect,
                               ID3D11Texture2D *DestTexture, ID3D11RenderTargetView *DestView, const RECT *DestRect,
                               int LinearFlag, int AlphaBlendFlag, ID3D11VertexShader *VertexShader,
                               ID3D11PixelShader *PixelShader, ID3D11Texture2D *SecondTexture,
                               ID3D11ShaderResourceView *SecondView, const RECT *SecondRect,
                               const D3D11Transfer8InputVertex *Vertices8)
{
    Graphics_D3D11_RenderVertexBuffer(-1, 0);
    const Extent src = ExtentOf(SrcTexture, SrcRect);
    const Extent dest = ExtentOf(DestTexture, DestRect);
    const bool second = SecondTexture != nullptr;
    const Extent other = second ? ExtentOf(SecondTexture, SecondRect) : Extent{1.0f, 1.0f, {0, 0, 0, 0}};

    float vertices[4 * 18];
    const bool eight = Vertices8 != nullptr;
    const int floats = eight ? 18 : 6;
    for (int i = 0; i < 4; i++) {
        float *v = vertices + i * floats;
        if (eight) {
            ClipPosition(Vertices8[i].X, Vertices8[i].Y, dest, v);
            memcpy(v + 2, Vertices8[i].UV, sizeof(Vertices8[i].UV));
            continue;
        }
        ClipPosition(CornerX(dest, i), CornerY(dest, i), dest, v);
        Corner(src, i, v + 2);
        if (second)
            Corner(other, i, v + 4);
        else
            v[4] = v[5] = 0.0f;
    }
    const int stride = eight ? D3D11_TRANSFER8_VERTEX_SIZE : D3D11_TRANSFER_VERTEX_SIZE;
    if (WriteVertices(vertices, 4 * stride) < 0) return -1;

    D3D11DeviceContext_OMSetRenderTargets(1, &DestView, nullptr);
    ID3D11ShaderResourceView *views[2] = {SrcView, SecondView};
    D3D11DeviceContext_PSSetShaderResources(0, SecondView != nullptr ? 2 : 1, views);
    const D3D11_VIEWPORT viewport = {0.0f, 0.0f, dest.Width, dest.Height, 0.0f, 1.0f};
    D3D11DeviceContext_RSSetViewports(1, &viewport);
    ID3D11SamplerState *sampler = LinearFlag ? T.LinearSampler : T.PointSampler;
    ID3D11SamplerState *samplers[2] = {sampler, sampler};
    D3D11DeviceContext_PSSetSamplers(0, second ? 2 : 1, samplers);
    D3D11DeviceContext_RSSetState(T.Rasterizer);
    D3D11DeviceContext_OMSetDepthStencilState(T.DepthStencil, 0);
    const FLOAT factor[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    D3D11DeviceContext_OMSetBlendState(AlphaBlendFlag ? T.AlphaBlend : T.Blend, factor, 0xFFFFFFFF);
    D3D11DeviceContext_IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    D3D11DeviceContext_IASetInputLayout(
        D3D11InputLayouts.Layout[eight ? D3D11_INPUT_LAYOUT_TRANSFER8 : D3D11_INPUT_LAYOUT_TRANSFER]);
    D3D11DeviceContext_PSSetShader(
        PixelShader != nullptr
            ? PixelShader
            : D3D11StandardShaders.Pixel[D3D11BaseShaderGroups[D3D11_GROUP_TRANSFER_PIXEL].FirstSlot],
        nullptr, 0);
    const int vertexGroup = eight ? D3D11_GROUP_TRANSFER8_VERTEX : D3D11_GROUP_TRANSFER_VERTEX;
    D3D11DeviceContext_VSSetShader(VertexShader != nullptr
                                       ? VertexShader
                                       : D3D11StandardShaders.Vertex[D3D11BaseShaderGroups[vertexGroup].FirstSlot],
                                   nullptr, 0);
    ID3D11Buffer *buffer = D3D11Buffers.CommonVertexBuffer;
    UINT strideBytes = (UINT)stride, offset = 0;
    D3D11DeviceContext_IASetVertexBuffers(0, 1, &buffer, &strideBytes, &offset);

    D3D11DeviceContext_Draw(4, 0);
    RestoreCachedState(second, SecondView != nullptr);
    return 0;
}
