// The device-state cache's whole-state operations: the library's defaults, the full resend, the
// restore after a screen-mode change, and the clearing when the device goes.
#include <string.h>

#include <cfloat>
#include <initializer_list>

#include "zovuz/d3d11/state/windows/d3d11_buffers_win.h"
#include "zovuz/d3d11/state/windows/d3d11_device_state_win.h"
#include "zovuz/d3d11/device/windows/d3d11_swap_chain_win.h"
#include "zovuz/d3d11/draw/windows/d3d11_vertex_batch_win.h"

namespace {

D3D11DeviceStateCache &S = D3D11DeviceState;

void DefaultDescriptions()
{
    D3D11_RASTERIZER_DESC &r = S.RasterizerDesc;
    memset(&r, 0, sizeof(r));
    r.FillMode = D3D11_FILL_SOLID;
    r.CullMode = D3D11_CULL_NONE;
    r.DepthClipEnable = TRUE;
    r.MultisampleEnable = TRUE;
    S.RasterizerChangedFlag = 1;

    D3D11_DEPTH_STENCIL_DESC &d = S.DepthStencilStateDesc;
    memset(&d, 0, sizeof(d));
    d.DepthEnable = FALSE;
    d.DepthWriteMask = D3D11_DEPTH_WRITE_MASK_ZERO;
    d.DepthFunc = D3D11_COMPARISON_LESS_EQUAL;
    d.StencilReadMask = 0xFF;
    d.StencilWriteMask = 0xFF;
    for (D3D11_DEPTH_STENCILOP_DESC *face : {&d.FrontFace, &d.BackFace}) {
        face->StencilFailOp = D3D11_STENCIL_OP_KEEP;
        face->StencilDepthFailOp = D3D11_STENCIL_OP_KEEP;
        face->StencilPassOp = D3D11_STENCIL_OP_KEEP;
        face->StencilFunc = D3D11_COMPARISON_ALWAYS;
    }
    S.DepthStencilChangedFlag = 1;

    D3D11_BLEND_DESC &b = S.BlendDesc;
    memset(&b, 0, sizeof(b));
    for (D3D11_RENDER_TARGET_BLEND_DESC &t : b.RenderTarget) {
        t.SrcBlend = t.SrcBlendAlpha = D3D11_BLEND_ONE;
        t.DestBlend = t.DestBlendAlpha = D3D11_BLEND_ZERO;
        t.BlendOp = t.BlendOpAlpha = D3D11_BLEND_OP_ADD;
        t.RenderTargetWriteMask = D3D11_COLOR_WRITE_ENABLE_ALL;
    }
    S.BlendChangedFlag = 1;

    for (int i = 0; i < D3D11_SAMPLER_NUM; i++) {
        D3D11_SAMPLER_DESC &s = S.SamplerDesc[i];
        memset(&s, 0, sizeof(s));
        s.Filter = D3D11_FILTER_MIN_MAG_MIP_POINT;
        s.AddressU = s.AddressV = s.AddressW = D3D11_TEXTURE_ADDRESS_CLAMP;
        s.MaxAnisotropy = 16;
        s.ComparisonFunc = D3D11_COMPARISON_ALWAYS;
        s.MinLOD = -FLT_MAX;
        s.MaxLOD = FLT_MAX;
        S.SamplerChangedFlag[i] = 1;
    }
    S.AnySamplerChangedFlag = 1;
}

void ResetFilterShaders()
{
    const GraphFilterFunctions *filters = GetGraphFilterFunctions();
    if (filters != nullptr && filters->ResetShaderHandles != nullptr) filters->ResetShaderHandles();
}

}  // namespace

void Graphics_D3D11_DeviceState_Clear(void) { memset(&S, 0, sizeof(S)); }

int Graphics_D3D11_DeviceState_ResetShaderStages(void)
{
    if (!D3D11Device_IsValid()) return -1;
    D3D11DeviceContext_GSSetShader(nullptr, nullptr, 0);
    D3D11DeviceContext_HSSetShader(nullptr, nullptr, 0);
    D3D11DeviceContext_DSSetShader(nullptr, nullptr, 0);
    D3D11DeviceContext_CSSetShader(nullptr, nullptr, 0);
    const int force = S.ForceFlag;
    S.ForceFlag = 1;
    Graphics_D3D11_CreateSamplerState();
    Graphics_D3D11_CreateRasterizerState();
    Graphics_D3D11_CreateDepthStencilState();
    Graphics_D3D11_CreateBlendState();
    S.ForceFlag = force;
    return 0;
}

int Graphics_D3D11_InitializeDeviceState(void)
{
    if (!D3D11Device_IsValid()) return -1;
    ResetFilterShaders();
    S.ForceFlag = 1;
    DefaultDescriptions();

    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    for (int i = 0; i < D3D11_SAMPLER_NUM; i++) {
        if (d.TexAddressModeU[i] == 0) d.TexAddressModeU[i] = D3D11_TEXTURE_ADDRESS_CLAMP;
        if (d.TexAddressModeV[i] == 0) d.TexAddressModeV[i] = D3D11_TEXTURE_ADDRESS_CLAMP;
        if (d.TexAddressModeW[i] == 0) d.TexAddressModeW[i] = D3D11_TEXTURE_ADDRESS_CLAMP;
    }
    Graphics_D3D11_DeviceState_SetDrawMode(0);
    Graphics_D3D11_DeviceState_SetMaxAnisotropy(16, -1);
    Graphics_D3D11_DeviceState_SetTextureAddressTransform(0, nullptr);
    Graphics_D3D11_SetUseLighting(1);

    MATERIALPARAM material = {};
    material.Diffuse[0] = material.Diffuse[1] = material.Diffuse[2] = 0.8f;
    material.Diffuse[3] = 1.0f;
    material.Specular[0] = material.Specular[1] = material.Specular[2] = 0.8f;
    material.Power = 20.0f;
    Graphics_D3D11_DeviceState_SetMaterial(&material, nullptr);

    Graphics_D3D11_DeviceState_SetVertexShaderSwitch1(1);
    Graphics_D3D11_DeviceState_SetVertexShaderSwitch2(1);
    Graphics_D3D11_DeviceState_SetVertexShaderSwitch0(1);

    Graphics_D3D11_DeviceState_SetFogEnable(0);
    Graphics_D3D11_DeviceState_SetFogMode(0);
    Graphics_D3D11_DeviceState_SetFogColor(0);
    Graphics_D3D11_DeviceState_SetFogStartEnd(0.0f, 1.0f);
    Graphics_D3D11_DeviceState_SetFogDensity(1.0f);

    const float black[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    Graphics_D3D11_DeviceState_SetGlobalAmbient(black);

    int width = 0, height = 0;
    GetDrawScreenSize(&width, &height);
    Graphics_D3D11_DeviceState_SetViewportRect(0.0f, 0.0f, (float)width, (float)height);

    Graphics_D3D11_SetPixelSwitch48(0);
    Graphics_D3D11_SetPixelSwitch60(0);

    const D3D11SwapChainInfo &chain = D3D11Screen.SwapChain[0];
    Graphics_D3D11_DeviceState_SetRenderTarget(chain.BackBuffer, chain.BackBufferRTV, 0);

    S.BlendPreset = 0;
    S.BlendChangedFlag = 1;
    Graphics_D3D11_DeviceState_SetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);

    S.AlphaTestOverride = -1;
    S.AlphaTestOverrideParam = 0;
    S.Texture = nullptr;
    S.TextureView = nullptr;
    S.BlendTexture = nullptr;
    S.BlendTextureView = nullptr;
    S.BlendTextureMode = 0;
    S.AlphaTestSwitch = 0;
    S.AlphaChannelSwitch = 0;

    S.ForceFlag = 0;
    Graphics_D3D11_DeviceState_ResendAll();

    D3D11BatchBuffer &batch = D3D11Batch;
    batch.Kind = 1;
    batch.Count = 0;
    batch.Flag3D = 0;
    batch.Topology = D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST;
    batch.SkipFlag = 0;
    batch.DiffuseColor = 0xFFFFFFFF;
    if (batch.Mapped == nullptr) Graphics_D3D11_RenderVertexBuffer(0, 0);
    return 0;
}

int Graphics_D3D11_DeviceState_ResendAll(void)
{
    if (!D3D11Device_IsValid()) return -1;
    Graphics_D3D11_RenderVertexBuffer(-1, 0);
    S.ForceFlag = 1;

    Graphics_D3D11_DeviceState_SetViewport(&S.Viewport);
    Graphics_D3D11_SetTexture(S.Texture, S.TextureView);
    Graphics_D3D11_DeviceState_ResetShaderStages();
    if (S.DrawMode >= 0) Graphics_D3D11_DeviceState_SetDrawMode(S.DrawMode);
    Graphics_D3D11_ApplyDrawState();

    Graphics_D3D11_DeviceState_SetDepthEnable(S.DepthStencilStateDesc.DepthEnable);
    Graphics_D3D11_DeviceState_SetDepthWriteEnable(S.DepthStencilStateDesc.DepthWriteMask ==
                                                   D3D11_DEPTH_WRITE_MASK_ALL);
    Graphics_D3D11_DeviceState_SetDepthFunc(S.DepthStencilStateDesc.DepthFunc);
    Graphics_D3D11_DeviceState_SetDepthBias(S.RasterizerDesc.DepthBias);
    Graphics_D3D11_DeviceState_SetFillMode(S.RasterizerDesc.FillMode);

    const int cull = S.RasterizerDesc.CullMode == D3D11_CULL_BACK    ? 1
                     : S.RasterizerDesc.CullMode == D3D11_CULL_FRONT ? 2
                                                                     : 0;
    Graphics_D3D11_DeviceState_SetCullMode(cull);
    Graphics_D3D11_DeviceState_SetMaterial(&S.Material, S.MaterialExtra);
    Graphics_D3D11_DeviceState_SetVertexShaderSwitch0(S.VertexShaderSwitch[0]);
    Graphics_D3D11_DeviceState_SetVertexShaderSwitch1(S.VertexShaderSwitch[1]);
    Graphics_D3D11_DeviceState_SetVertexShaderSwitch2(S.VertexShaderSwitch[2]);
    Graphics_D3D11_DeviceState_SetPrimitiveTopology(S.Topology);
    Graphics_D3D11_DeviceState_SetInputLayout(S.InputLayout);
    Graphics_D3D11_DeviceState_SetVertexShader(S.VertexShader, S.VertexShaderStandardFlag);
    Graphics_D3D11_DeviceState_SetIndexBuffer(S.IndexBuffer, S.IndexFormat);
    Graphics_D3D11_DeviceState_SetPixelShader(S.PixelShader, S.PixelShaderStandardFlag);
    Graphics_D3D11_DeviceState_SetVertexBuffer(S.VertexBuffer, S.VertexStride);

    D3D11ConstantBuffer *const *standard = D3D11Buffers.Standard;
    for (int i = 0; i < D3D11_SCB_NUM; i++)
        if (standard[i] != nullptr) {
            standard[i]->Dirty = 1;
            standard[i]->SentFlag = 0;
            Graphics_D3D11_ConstantBuffer_Update(standard[i]);
        }
    auto buffer = [&](int Which) { return standard[Which] != nullptr ? standard[Which]->Buffer : nullptr; };
    ID3D11Buffer *vertex[4] = {buffer(D3D11_SCB_COMMON), buffer(D3D11_SCB_VERTEX_BASE), buffer(D3D11_SCB_VERTEX_OTHER),
                               buffer(D3D11_SCB_VERTEX_SLOT3)};
    ID3D11Buffer *pixel[4] = {buffer(D3D11_SCB_COMMON), buffer(D3D11_SCB_PIXEL_BASE), buffer(D3D11_SCB_PIXEL_SLOT2),
                              buffer(D3D11_SCB_PIXEL_SLOT3)};
    Graphics_D3D11_DeviceState_VSSetConstantBuffers(0, 4, vertex);
    Graphics_D3D11_DeviceState_PSSetConstantBuffers(0, 4, pixel);

    S.ForceFlag = 0;
    return 0;
}

int Graphics_D3D11_RestoreDeviceState(void)
{
    if (!D3D11Device_IsValid()) return -1;
    S.ForceFlag = 1;
    Graphics_D3D11_SetBlendModeState(S.BlendMode, S.AlphaTestSwitch, S.AlphaChannelSwitch);
    Graphics_D3D11_SetPixelSwitch48(S.PixelSwitch48);
    Graphics_D3D11_SetPixelSwitch60(S.PixelSwitch60);
    if (S.MaxAnisotropy >= 1) Graphics_D3D11_DeviceState_SetMaxAnisotropy(S.MaxAnisotropy, -1);
    for (int i = 0; i < D3D11_SAMPLER_NUM; i++) {
        Graphics_D3D11_DeviceState_SetTextureAddressU(S.SamplerDesc[i].AddressU, i);
        Graphics_D3D11_DeviceState_SetTextureAddressV(S.SamplerDesc[i].AddressV, i);
        Graphics_D3D11_DeviceState_SetTextureAddressW(S.SamplerDesc[i].AddressW, i);
    }

    Graphics_D3D11_DeviceState_SetTextureAddressTransform(S.TexTransformEnable, S.TexTransformMatrix);
    Graphics_D3D11_DeviceState_SetPrimitiveTopology(S.Topology);
    Graphics_D3D11_DeviceState_SetFogEnable(S.FogEnable);
    Graphics_D3D11_DeviceState_SetFogMode(S.FogMode);
    Graphics_D3D11_DeviceState_SetFogColor(S.FogColor);
    Graphics_D3D11_DeviceState_SetFogStartEnd(S.FogStart, S.FogEnd);
    Graphics_D3D11_DeviceState_SetFogDensity(S.FogDensity);

    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    SetTransformToWorldD(&d.Matrix.World);
    SetTransformToView(&d.Matrix.View);
    SetTransformToProjection(&d.Matrix.Projection);
    SetTransformToViewportD(&d.Matrix.Viewport);

    const float ambient[4] = {S.GlobalAmbient[0], S.GlobalAmbient[1], S.GlobalAmbient[2], S.GlobalAmbient[3]};
    Graphics_D3D11_DeviceState_SetGlobalAmbient(ambient);
    Graphics_D3D11_SetUseLighting(S.LightingEnable);
    for (int i = 0; i < D3D11_LIGHT_NUM; i++) {
        if (S.Light[i].LightType == 0) continue;
        const LIGHTPARAM light = S.Light[i];
        Graphics_D3D11_DeviceState_SetLightParam(i, &light);
        Graphics_D3D11_DeviceState_SetLightEnable(i, S.LightEnable[i]);
    }
    S.ForceFlag = 0;
    return Graphics_D3D11_DeviceState_ResendAll();
}
