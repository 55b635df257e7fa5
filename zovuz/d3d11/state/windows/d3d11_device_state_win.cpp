// The device-state cache's setters: pipeline bindings, state-object descriptions, samplers and
// the contents of the standard constant buffers.
#include "zovuz/d3d11/state/windows/d3d11_device_state_win.h"

#include <math.h>
#include <string.h>

#include "zovuz/d3d11/state/windows/d3d11_buffers_win.h"
#include "zovuz/d3d11/draw/windows/d3d11_vertex_batch_win.h"

D3D11DeviceStateCache D3D11DeviceState;

namespace {

D3D11DeviceStateCache &S = D3D11DeviceState;

bool NoDevice() { return !D3D11Device_IsValid(); }

// Draws the batched vertices before a change, so that they keep the state they were batched
// under. A forced resend sends values the batch was drawn with already.
void FlushUnlessForced()
{
    if (!S.ForceFlag) Graphics_D3D11_RenderVertexBuffer(-1, 0);
}

template <typename T>
bool Same(const T &A, const T &B)
{
    return memcmp(&A, &B, sizeof(T)) == 0;
}

// The common pattern for a value the device gets later (a state-object description or a constant):
// compare, draw the batch, store, mark. ChangedFlag may be null.
template <typename T>
int ChangeValue(T &Field, const T &Value, int *ChangedFlag, bool DirtyDrawState = true)
{
    if (NoDevice()) return -1;
    if (!S.ForceFlag && Same(Field, Value)) return 0;
    FlushUnlessForced();
    Field = Value;
    if (ChangedFlag != nullptr) *ChangedFlag = 1;
    if (DirtyDrawState) S.DrawStateDirtyFlag = 1;
    return 0;
}

void WriteFloats(D3D11StandardConstantBuffer Which, int Offset, const float *Values, int Num)
{
    float *to = D3D11ConstantFloats(Which, Offset);
    if (to != nullptr) memcpy(to, Values, sizeof(float) * Num);
}

void WriteFloat(D3D11StandardConstantBuffer Which, int Offset, float Value) { WriteFloats(Which, Offset, &Value, 1); }

void WriteWord(D3D11StandardConstantBuffer Which, int Offset, uint32_t Value)
{
    float *to = D3D11ConstantFloats(Which, Offset);
    if (to != nullptr) memcpy(to, &Value, sizeof(Value));
}

// Row r of the transpose of M: its column r.
void WriteColumns(D3D11StandardConstantBuffer Which, int Offset, const MATRIX *M, int Columns)
{
    float rows[16];
    for (int r = 0; r < Columns; r++)
        for (int c = 0; c < 4; c++) rows[r * 4 + c] = M->m[c][r];
    WriteFloats(Which, Offset, rows, Columns * 4);
}

constexpr int LightSlot(int Index) { return 112 * Index; }

VECTOR TransformPoint(const VECTOR &V, const MATRIX &M, float W)
{
    return VECTOR{V.x * M.m[0][0] + V.y * M.m[1][0] + V.z * M.m[2][0] + W * M.m[3][0],
                  V.x * M.m[0][1] + V.y * M.m[1][1] + V.z * M.m[2][1] + W * M.m[3][1],
                  V.x * M.m[0][2] + V.y * M.m[1][2] + V.z * M.m[2][2] + W * M.m[3][2]};
}

void WriteLightPlaces(int Index, const MATRIX &View)
{
    const LIGHTPARAM &l = S.Light[Index];
    VECTOR position = TransformPoint(l.Position, View, 1.0f);
    VECTOR direction = TransformPoint(l.Direction, View, 0.0f);
    WriteFloats(D3D11_SCB_COMMON, LightSlot(Index) + 16, &position.x, 3);
    WriteFloats(D3D11_SCB_COMMON, LightSlot(Index) + 32, &direction.x, 3);
}

// The light's shader form in its slot of the common constants.
void WriteLight(int Index, const MATRIX &View)
{
    const LIGHTPARAM &l = S.Light[Index];
    const int slot = LightSlot(Index);
    const float cosTheta = cosf(l.Theta / 2.0f), cosPhi = cosf(l.Phi / 2.0f);
    WriteWord(D3D11_SCB_COMMON, slot + 0, (uint32_t)l.LightType);
    WriteLightPlaces(Index, View);
    WriteFloat(D3D11_SCB_COMMON, slot + 28, l.Range * l.Range);
    WriteFloat(D3D11_SCB_COMMON, slot + 44, l.Falloff);
    WriteFloats(D3D11_SCB_COMMON, slot + 48, l.Diffuse, 3);
    WriteFloat(D3D11_SCB_COMMON, slot + 60, cosPhi);
    WriteFloats(D3D11_SCB_COMMON, slot + 64, l.Specular, 3);
    WriteFloat(D3D11_SCB_COMMON, slot + 76, 1.0f / (cosTheta - cosPhi));
    const float attenuation[3] = {l.Attenuation0, l.Attenuation1, l.Attenuation2};
    WriteFloats(D3D11_SCB_COMMON, slot + 96, attenuation, 3);
}

void WriteSwitch(int Offset, int Flag) { WriteFloat(D3D11_SCB_VERTEX_BASE, Offset, Flag ? 1.0f : 0.0f); }

int SetVertexSwitch(int Which, int Offset, int Flag)
{
    int value = Flag ? 1 : 0;
    if (ChangeValue(S.VertexShaderSwitch[Which], value, nullptr) < 0) return -1;
    WriteSwitch(Offset, value);
    return 0;
}

// ---- Samplers ---------------------------------------------------------------------------------

// A sampler field of all 16 samplers (Sampler -1) or of one. OutOfRange is the answer for a sampler
// index of 16 or more. *Changed tells whether a sampler took the value.
template <typename T>
int SetSamplerField(T D3D11_SAMPLER_DESC::*Field, T Value, int Sampler, int OutOfRange, bool *Changed = nullptr)
{
    if (Changed != nullptr) *Changed = false;
    if (NoDevice()) return -1;
    if (Sampler >= D3D11_SAMPLER_NUM) return OutOfRange;
    const int first = Sampler < 0 ? 0 : Sampler, last = Sampler < 0 ? D3D11_SAMPLER_NUM - 1 : Sampler;
    if (!S.ForceFlag) {
        bool all = true;
        for (int i = first; i <= last; i++) all = all && S.SamplerDesc[i].*Field == Value;
        if (all) return 0;
    }
    if (Changed != nullptr) *Changed = true;
    FlushUnlessForced();
    for (int i = first; i <= last; i++) {
        if (!S.ForceFlag && S.SamplerDesc[i].*Field == Value) continue;
        S.SamplerDesc[i].*Field = Value;
        S.SamplerChangedFlag[i] = 1;
        S.AnySamplerChangedFlag = 1;
    }
    S.DrawStateDirtyFlag = 1;
    return 0;
}

}  // namespace

// ---- Input assembly and shaders ---------------------------------------------------------------

int Graphics_D3D11_DeviceState_SetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY Topology)
{
    if (NoDevice()) return -1;
    if (!S.ForceFlag && S.Topology == Topology) return 0;
    S.Topology = Topology;
    D3D11DeviceContext_IASetPrimitiveTopology(Topology);
    return 0;
}

int Graphics_D3D11_DeviceState_SetInputLayout(ID3D11InputLayout *Layout)
{
    if (NoDevice()) return -1;
    if (!S.ForceFlag && S.InputLayout == Layout) return 0;
    if (Layout != nullptr) D3D11DeviceContext_IASetInputLayout(Layout);
    S.InputLayout = Layout;
    S.DrawStateDirtyFlag = 1;
    return 0;
}

int Graphics_D3D11_DeviceState_SetVertexBuffer(ID3D11Buffer *Buffer, UINT Stride)
{
    if (!S.ForceFlag && S.VertexBuffer == Buffer && S.VertexStride == Stride) return 0;
    if (NoDevice()) return -1;
    if (Buffer != nullptr) {
        UINT offset = 0;
        D3D11DeviceContext_IASetVertexBuffers(0, 1, &Buffer, &Stride, &offset);
    }
    S.VertexBuffer = Buffer;
    S.VertexStride = Stride;
    S.DrawStateDirtyFlag = 1;
    return 0;
}

int Graphics_D3D11_DeviceState_SetIndexBuffer(ID3D11Buffer *Buffer, DXGI_FORMAT Format)
{
    if (NoDevice()) return -1;
    if (!S.ForceFlag && S.IndexBuffer == Buffer && S.IndexFormat == Format) return 0;
    if (Buffer != nullptr) D3D11DeviceContext_IASetIndexBuffer(Buffer, Format, 0);
    S.IndexBuffer = Buffer;
    S.IndexFormat = Format;
    S.DrawStateDirtyFlag = 1;
    return 0;
}

int Graphics_D3D11_DeviceState_SetVertexShader(ID3D11VertexShader *Shader, int StandardFlag)
{
    if (NoDevice()) return -1;
    if (!S.ForceFlag && S.VertexShader == Shader && S.VertexShaderStandardFlag == StandardFlag) return 0;
    D3D11DeviceContext_VSSetShader(Shader, nullptr, 0);
    S.VertexShader = Shader;
    S.VertexShaderStandardFlag = StandardFlag;
    // A user shader: the next draw prepares again, to put the standard one back.
    if (!StandardFlag) S.DrawStateDirtyFlag = 1;
    return 0;
}

int Graphics_D3D11_DeviceState_SetPixelShader(ID3D11PixelShader *Shader, int StandardFlag)
{
    if (NoDevice()) return -1;
    if (!S.ForceFlag && S.PixelShader == Shader && S.PixelShaderStandardFlag == StandardFlag) return 0;
    D3D11DeviceContext_PSSetShader(Shader, nullptr, 0);
    S.PixelShader = Shader;
    S.PixelShaderStandardFlag = StandardFlag;
    if (!StandardFlag) S.DrawStateDirtyFlag = 1;
    return 0;
}

int Graphics_D3D11_DeviceState_ClearVertexShader(int KeepStandard)
{
    if (NoDevice()) return -1;
    if (S.VertexShaderStandardFlag && KeepStandard && !S.ForceFlag) return 0;
    if (S.VertexShader != nullptr || S.ForceFlag) D3D11DeviceContext_VSSetShader(nullptr, nullptr, 0);
    if (S.InputLayout != nullptr || S.ForceFlag) D3D11DeviceContext_IASetInputLayout(nullptr);
    S.VertexShader = nullptr;
    S.InputLayout = nullptr;
    S.VertexShaderStandardFlag = 0;
    S.DrawStateDirtyFlag = 1;
    return 0;
}

int Graphics_D3D11_DeviceState_ClearPixelShader(void)
{
    if (NoDevice()) return -1;
    if (S.PixelShader != nullptr || S.ForceFlag) D3D11DeviceContext_PSSetShader(nullptr, nullptr, 0);
    S.PixelShader = nullptr;
    S.PixelShaderStandardFlag = 0;
    S.DrawStateDirtyFlag = 1;
    return 0;
}

namespace {

template <void (*Send)(UINT, UINT, ID3D11Buffer *const *)>
int SetConstantBuffers(ID3D11Buffer **Cache, int Start, int Num, ID3D11Buffer *const *Buffers)
{
    if (NoDevice()) return -1;
    if (Start < 0 || Num < 0 || Start + Num > D3D11_CONSTANT_BUFFER_SLOTS) return -1;
    if (!S.ForceFlag && memcmp(Cache + Start, Buffers, sizeof(ID3D11Buffer *) * Num) == 0) return 0;
    Send((UINT)Start, (UINT)Num, Buffers);
    memcpy(Cache + Start, Buffers, sizeof(ID3D11Buffer *) * Num);
    S.DrawStateDirtyFlag = 1;
    return 0;
}

}  // namespace

int Graphics_D3D11_DeviceState_VSSetConstantBuffers(int Start, int Num, ID3D11Buffer *const *Buffers)
{
    return SetConstantBuffers<D3D11DeviceContext_VSSetConstantBuffers>(S.VSConstantBuffer, Start, Num, Buffers);
}

int Graphics_D3D11_DeviceState_PSSetConstantBuffers(int Start, int Num, ID3D11Buffer *const *Buffers)
{
    return SetConstantBuffers<D3D11DeviceContext_PSSetConstantBuffers>(S.PSConstantBuffer, Start, Num, Buffers);
}

int Graphics_D3D11_DeviceState_SetPSShaderResources(int Start, int Num, ID3D11ShaderResourceView *const *Views)
{
    if (NoDevice()) return -1;
    if (Start < 0 || Num < 0 || Start + Num > D3D11_PS_RESOURCE_SLOTS) return -1;
    int first = -1, last = -1;
    for (int i = 0; i < Num; i++)
        if (S.ForceFlag || S.PSShaderResource[Start + i] != Views[i]) {
            if (first < 0) first = i;
            last = i;
        }
    if (first < 0) return 0;
    for (int i = first; i <= last; i++) S.PSShaderResource[Start + i] = Views[i];
    D3D11DeviceContext_PSSetShaderResources((UINT)(Start + first), (UINT)(last - first + 1), Views + first);
    S.DrawStateDirtyFlag = 1;
    return 0;
}

// ---- Targets and viewport ---------------------------------------------------------------------

int Graphics_D3D11_DeviceState_BindRenderTargets(void)
{
    if (NoDevice()) return -1;
    int first = -1;
    for (int i = 0; i < D3D11_RENDER_TARGET_NUM && first < 0; i++)
        if (S.RenderTarget[i] != nullptr) first = i;
    if (first >= 0) {
        const D3D11_TEXTURE2D_DESC &size = S.RenderTargetDesc[first];
        for (int i = first + 1; i < D3D11_RENDER_TARGET_NUM; i++)
            if (S.RenderTarget[i] != nullptr &&
                (S.RenderTargetDesc[i].Width != size.Width || S.RenderTargetDesc[i].Height != size.Height))
                return 0;
        if (S.DepthStencil != nullptr &&
            (S.DepthStencilDesc.Width != size.Width || S.DepthStencilDesc.Height != size.Height))
            return 0;
    }
    // Without a colour target there is nothing to compare with: the depth-stencil view is bound alone.
    D3D11DeviceContext_OMSetRenderTargets(D3D11_RENDER_TARGET_NUM, S.RenderTargetView, S.DepthStencilView);
    return 0;
}

int Graphics_D3D11_DeviceState_SetRenderTarget(ID3D11Texture2D *Texture, ID3D11RenderTargetView *View, int Index)
{
    if (NoDevice()) return -1;
    if (Index < 0 || Index >= D3D11_RENDER_TARGET_NUM) return -1;
    if (!S.ForceFlag && S.RenderTarget[Index] == Texture && S.RenderTargetView[Index] == View) return 0;
    memset(&S.RenderTargetDesc[Index], 0, sizeof(S.RenderTargetDesc[Index]));
    if (Texture != nullptr) D3D11Texture2D_GetDesc(Texture, &S.RenderTargetDesc[Index]);
    S.RenderTarget[Index] = Texture;
    S.RenderTargetView[Index] = View;
    Graphics_D3D11_DeviceState_BindRenderTargets();
    if (Index == 0 && Texture != nullptr) {
        UINT mip = 0;
        if (View != nullptr) {
            D3D11_RENDER_TARGET_VIEW_DESC desc = {};
            D3D11RenderTargetView_GetDesc(View, &desc);
            if (desc.ViewDimension == D3D11_RTV_DIMENSION_TEXTURE2D) mip = desc.Texture2D.MipSlice;
            if (desc.ViewDimension == D3D11_RTV_DIMENSION_TEXTURE2DARRAY) mip = desc.Texture2DArray.MipSlice;
        }
        UINT width = S.RenderTargetDesc[0].Width >> mip, height = S.RenderTargetDesc[0].Height >> mip;
        Graphics_D3D11_DeviceState_SetViewportRect(0.0f, 0.0f, (float)(width > 0 ? width : 1),
                                                   (float)(height > 0 ? height : 1));
    }
    return 0;
}

int Graphics_D3D11_DeviceState_SetDepthStencil(ID3D11Texture2D *Texture, ID3D11DepthStencilView *View)
{
    if (NoDevice()) return -1;
    if (!S.ForceFlag && S.DepthStencil == Texture && S.DepthStencilView == View) return 0;
    memset(&S.DepthStencilDesc, 0, sizeof(S.DepthStencilDesc));
    if (Texture != nullptr) D3D11Texture2D_GetDesc(Texture, &S.DepthStencilDesc);
    S.DepthStencil = Texture;
    S.DepthStencilView = View;
    return Graphics_D3D11_DeviceState_BindRenderTargets();
}

int Graphics_D3D11_DeviceState_SetViewport(const D3D11_VIEWPORT *Viewport)
{
    if (NoDevice()) return -1;
    if (!S.ForceFlag && Same(S.Viewport, *Viewport)) return 0;
    FlushUnlessForced();
    S.Viewport = *Viewport;
    D3D11DeviceContext_RSSetViewports(1, &S.Viewport);
    return 0;
}

int Graphics_D3D11_DeviceState_SetViewportRect(float X1, float Y1, float X2, float Y2)
{
    D3D11_VIEWPORT viewport = {X1, Y1, X2 - X1, Y2 - Y1, 0.0f, 1.0f};
    return Graphics_D3D11_DeviceState_SetViewport(&viewport);
}

// ---- Rasterizer and depth ---------------------------------------------------------------------

int Graphics_D3D11_DeviceState_SetCullMode(int CullMode)
{
    D3D11_CULL_MODE mode = CullMode == 1 ? D3D11_CULL_BACK : CullMode == 2 ? D3D11_CULL_FRONT : D3D11_CULL_NONE;
    return ChangeValue(S.RasterizerDesc.CullMode, mode, &S.RasterizerChangedFlag);
}

int Graphics_D3D11_DeviceState_SetFillMode(int FillMode)
{
    D3D11_FILL_MODE mode = FillMode == D3D11_FILL_WIREFRAME ? D3D11_FILL_WIREFRAME : D3D11_FILL_SOLID;
    return ChangeValue(S.RasterizerDesc.FillMode, mode, &S.RasterizerChangedFlag);
}

int Graphics_D3D11_DeviceState_SetDepthBias(int Bias)
{
    INT bias = Bias;
    return ChangeValue(S.RasterizerDesc.DepthBias, bias, &S.RasterizerChangedFlag);
}

int Graphics_D3D11_DeviceState_SetDepthEnable(int Flag)
{
    BOOL enable = Flag ? TRUE : FALSE;
    return ChangeValue(S.DepthStencilStateDesc.DepthEnable, enable, &S.DepthStencilChangedFlag);
}

int Graphics_D3D11_DeviceState_SetDepthWriteEnable(int Flag)
{
    D3D11_DEPTH_WRITE_MASK mask = Flag ? D3D11_DEPTH_WRITE_MASK_ALL : D3D11_DEPTH_WRITE_MASK_ZERO;
    return ChangeValue(S.DepthStencilStateDesc.DepthWriteMask, mask, &S.DepthStencilChangedFlag);
}

int Graphics_D3D11_DeviceState_SetDepthFunc(int Func)
{
    D3D11_COMPARISON_FUNC func = (D3D11_COMPARISON_FUNC)Func;
    return ChangeValue(S.DepthStencilStateDesc.DepthFunc, func, &S.DepthStencilChangedFlag);
}

// ---- Samplers ---------------------------------------------------------------------------------

int Graphics_D3D11_DeviceState_SetDrawMode(int DrawMode)
{
    static const D3D11_FILTER Filters[3] = {D3D11_FILTER_MIN_MAG_MIP_POINT, D3D11_FILTER_MIN_MAG_MIP_LINEAR,
                                            D3D11_FILTER_ANISOTROPIC};
    if (NoDevice()) return -1;
    if (DrawMode < 0 || DrawMode > 2) return -1;
    if (!S.ForceFlag && S.DrawMode == DrawMode) return 0;
    if (Graphics_D3D11_DeviceState_SetSampleFilter(Filters[DrawMode], -1) < 0) return -1;
    S.DrawMode = DrawMode;
    return 0;
}

int Graphics_D3D11_DeviceState_SetSampleFilter(int Filter, int Sampler)
{
    bool changed;
    if (SetSamplerField(&D3D11_SAMPLER_DESC::Filter, (D3D11_FILTER)Filter, Sampler, 0, &changed) < 0) return -1;
    // The draw-mode cache no longer says what the samplers hold (SetDrawMode sets it afterwards).
    if ((Sampler < 0 && !NoDevice()) || changed) S.DrawMode = -1;
    return 0;
}

int Graphics_D3D11_DeviceState_SetMaxAnisotropy(int MaxAnisotropy, int Sampler)
{
    UINT value = MaxAnisotropy < 1 ? 1 : (UINT)MaxAnisotropy;
    bool changed;
    if (SetSamplerField(&D3D11_SAMPLER_DESC::MaxAnisotropy, value, Sampler, 0, &changed) < 0) return -1;
    if (Sampler < 0)
        S.MaxAnisotropy = (int)value;
    else if (changed)
        S.MaxAnisotropy = -1;
    return 0;
}

int Graphics_D3D11_DeviceState_SetTextureAddress(int Mode, int Sampler)
{
    if (Sampler >= D3D11_SAMPLER_NUM) return -1;
    if (Graphics_D3D11_DeviceState_SetTextureAddressU(Mode, Sampler) < 0) return -1;
    Graphics_D3D11_DeviceState_SetTextureAddressV(Mode, Sampler);
    return Graphics_D3D11_DeviceState_SetTextureAddressW(Mode, Sampler);
}

int Graphics_D3D11_DeviceState_SetTextureAddressU(int Mode, int Sampler)
{
    return SetSamplerField(&D3D11_SAMPLER_DESC::AddressU, (D3D11_TEXTURE_ADDRESS_MODE)Mode, Sampler, -1);
}

int Graphics_D3D11_DeviceState_SetTextureAddressV(int Mode, int Sampler)
{
    return SetSamplerField(&D3D11_SAMPLER_DESC::AddressV, (D3D11_TEXTURE_ADDRESS_MODE)Mode, Sampler, -1);
}

int Graphics_D3D11_DeviceState_SetTextureAddressW(int Mode, int Sampler)
{
    return SetSamplerField(&D3D11_SAMPLER_DESC::AddressW, (D3D11_TEXTURE_ADDRESS_MODE)Mode, Sampler, -1);
}

// ---- Lighting ---------------------------------------------------------------------------------

int Graphics_D3D11_SetUseLighting(int Flag)
{
    int value = Flag ? 1 : 0;
    return ChangeValue(S.LightingEnable, value, nullptr);
}

void Graphics_D3D11_DeviceState_UpdateAmbient(void)
{
    for (int i = 0; i <= S.LightLoopBound && i < D3D11_LIGHT_NUM; i++) {
        if (!S.LightEnable[i]) continue;
        float ambient[4];
        for (int c = 0; c < 4; c++) ambient[c] = S.Light[i].Ambient[c] * S.Material.Ambient[c];
        WriteFloats(D3D11_SCB_COMMON, LightSlot(i) + 80, ambient, 4);
    }
    float global[4];
    for (int c = 0; c < 4; c++) global[c] = S.GlobalAmbient[c] * S.Material.Ambient[c] + S.Material.Emissive[c];
    WriteFloats(D3D11_SCB_COMMON, 704, global, 4);
}

int Graphics_D3D11_DeviceState_SetLightEnable(int Index, int Flag)
{
    if (NoDevice()) return -1;
    if (Index < 0 || Index >= D3D11_LIGHT_NUM) return -1;
    int value = Flag ? 1 : 0;
    if (ChangeValue(S.LightEnable[Index], value, nullptr) < 0) return -1;
    if (value && Index > S.LightLoopBound) S.LightLoopBound = Index;
    if (!value && Index == S.LightLoopBound)
        while (S.LightLoopBound > 0 && !S.LightEnable[S.LightLoopBound]) S.LightLoopBound--;
    Graphics_D3D11_DeviceState_UpdateAmbient();
    return 0;
}

int Graphics_D3D11_DeviceState_SetLightParam(int Index, const LIGHTPARAM *Light)
{
    if (NoDevice()) return -1;
    if (Index < 0 || Index >= D3D11_LIGHT_NUM || Light == nullptr) return -1;
    if (ChangeValue(S.Light[Index], *Light, nullptr, false) < 0) return -1;
    WriteLight(Index, GraphicsDrawSettings.Matrix.ViewF);
    Graphics_D3D11_DeviceState_UpdateAmbient();
    return 0;
}

int Graphics_D3D11_DeviceState_SetGlobalAmbient(const float Color[4])
{
    if (NoDevice()) return -1;
    if (!S.ForceFlag && memcmp(S.GlobalAmbient, Color, sizeof(S.GlobalAmbient)) == 0) return 0;
    FlushUnlessForced();
    memcpy(S.GlobalAmbient, Color, sizeof(S.GlobalAmbient));
    Graphics_D3D11_DeviceState_UpdateAmbient();
    S.DrawStateDirtyFlag = 1;
    return 0;
}

int Graphics_D3D11_DeviceState_SetMaterial(const MATERIALPARAM *Material, const float *Extra)
{
    if (NoDevice()) return -1;
    float extra[4] = {};
    if (Extra != nullptr) memcpy(extra, Extra, sizeof(float) * 3);
    if (!S.ForceFlag && Same(S.Material, *Material) && memcmp(S.MaterialExtra, extra, sizeof(extra)) == 0) return 0;
    FlushUnlessForced();
    S.Material = *Material;
    memcpy(S.MaterialExtra, extra, sizeof(extra));
    WriteFloats(D3D11_SCB_COMMON, 672, S.Material.Diffuse, 4);
    WriteFloats(D3D11_SCB_COMMON, 688, S.Material.Specular, 4);
    WriteFloat(D3D11_SCB_COMMON, 720, S.Material.Power > 1e-11f ? S.Material.Power : 1e-11f);
    WriteFloats(D3D11_SCB_COMMON, 724, S.MaterialExtra, 3);
    Graphics_D3D11_DeviceState_UpdateAmbient();
    S.DrawStateDirtyFlag = 1;
    return 0;
}

// ---- Fog ----------------------------------------------------------------------------------------

void Graphics_D3D11_DeviceState_UpdateFogConstants(void)
{
    const float range = S.FogEnd - S.FogStart;
    const float fog[4] = {S.FogEnd / range, -1.0f / range, S.FogDensity, 2.7182817f};
    WriteFloats(D3D11_SCB_COMMON, 736, fog, 4);
}

int Graphics_D3D11_DeviceState_SetFogEnable(int Flag)
{
    int value = Flag ? 1 : 0;
    return ChangeValue(S.FogEnable, value, nullptr);
}

int Graphics_D3D11_DeviceState_SetFogMode(int Mode) { return ChangeValue(S.FogMode, Mode, nullptr); }

int Graphics_D3D11_DeviceState_SetFogColor(uint32_t Color)
{
    uint32_t value = Color & 0xFFFFFF;
    if (ChangeValue(S.FogColor, value, nullptr) < 0) return -1;
    const float color[4] = {(float)((value >> 16) & 0xFF) / 255.0f, (float)((value >> 8) & 0xFF) / 255.0f,
                            (float)(value & 0xFF) / 255.0f, 1.0f};
    WriteFloats(D3D11_SCB_COMMON, 752, color, 4);
    return 0;
}

int Graphics_D3D11_DeviceState_SetFogStartEnd(float Start, float End)
{
    if (NoDevice()) return -1;
    Graphics_D3D11_RenderVertexBuffer(-1, 0);
    if (S.ForceFlag || S.FogStart != Start || S.FogEnd != End) {
        S.FogStart = Start;
        S.FogEnd = End;
        Graphics_D3D11_DeviceState_UpdateFogConstants();
    }
    S.DrawStateDirtyFlag = 1;
    return 0;
}

int Graphics_D3D11_DeviceState_SetFogDensity(float Density)
{
    if (ChangeValue(S.FogDensity, Density, nullptr) < 0) return -1;
    Graphics_D3D11_DeviceState_UpdateFogConstants();
    return 0;
}

// ---- Vertex constants -------------------------------------------------------------------------

int Graphics_D3D11_DeviceState_SetTextureAddressTransform(int Flag, const float *Matrix)
{
    if (NoDevice()) return -1;
    int enable = Flag == 1 ? 1 : 0;
    if (!S.ForceFlag && !enable && !S.TexTransformEnable) return 0;
    FlushUnlessForced();
    MATRIX m = {};
    if (enable && Matrix != nullptr)
        memcpy(m.m, Matrix, sizeof(m.m));
    else
        for (int i = 0; i < 4; i++) m.m[i][i] = 1.0f;
    S.TexTransformEnable = enable;
    memcpy(S.TexTransformMatrix, m.m, sizeof(S.TexTransformMatrix));
    WriteColumns(D3D11_SCB_VERTEX_OTHER, 192, &m, 2);
    S.DrawStateDirtyFlag = 1;
    return 0;
}

int Graphics_D3D11_DeviceState_SetVertexShaderSwitch0(int Flag) { return SetVertexSwitch(0, 248, Flag); }
int Graphics_D3D11_DeviceState_SetVertexShaderSwitch1(int Flag) { return SetVertexSwitch(1, 240, Flag); }
int Graphics_D3D11_DeviceState_SetVertexShaderSwitch2(int Flag) { return SetVertexSwitch(2, 244, Flag); }

int Graphics_D3D11_DeviceState_SetDrawAreaMatrix(const MATRIX *Matrix)
{
    if (NoDevice()) return -1;
    WriteColumns(D3D11_SCB_VERTEX_BASE, 0, Matrix, 4);
    return 0;
}

int Graphics_D3D11_DeviceState_SetProjectionMatrix(const MATRIX *Matrix)
{
    if (NoDevice()) return -1;
    WriteColumns(D3D11_SCB_VERTEX_BASE, 64, Matrix, 4);
    return 0;
}

int Graphics_D3D11_DeviceState_SetViewMatrix(const MATRIX *Matrix)
{
    if (NoDevice()) return -1;
    WriteColumns(D3D11_SCB_VERTEX_BASE, 128, Matrix, 3);
    // Lights are kept in view space: they move with the view.
    for (int i = 0; i < D3D11_LIGHT_NUM; i++) WriteLightPlaces(i, *Matrix);
    return 0;
}

int Graphics_D3D11_DeviceState_SetWorldMatrix(const MATRIX *Matrix)
{
    if (NoDevice()) return -1;
    WriteColumns(D3D11_SCB_VERTEX_BASE, 176, Matrix, 3);
    return 0;
}

// ---- Pixel constants --------------------------------------------------------------------------

int Graphics_D3D11_DeviceState_SetAlphaTestFunc(int Func)
{
    if (ChangeValue(S.AlphaTestFunc, Func, nullptr, false) < 0) return -1;
    WriteWord(D3D11_SCB_PIXEL_BASE, 32, (uint32_t)Func);
    return 0;
}

int Graphics_D3D11_DeviceState_SetAlphaTestRef(int Ref)
{
    if (ChangeValue(S.AlphaTestRef, Ref, nullptr, false) < 0) return -1;
    WriteFloat(D3D11_SCB_PIXEL_BASE, 20, (float)Ref / 255.0f);
    return 0;
}

int Graphics_D3D11_DeviceState_SetFactorColor(const float Color[4])
{
    if (NoDevice()) return -1;
    if (!S.ForceFlag && memcmp(S.FactorColor, Color, sizeof(S.FactorColor)) == 0) return 0;
    FlushUnlessForced();
    memcpy(S.FactorColor, Color, sizeof(S.FactorColor));
    WriteFloats(D3D11_SCB_PIXEL_BASE, 0, S.FactorColor, 4);
    return 0;
}
