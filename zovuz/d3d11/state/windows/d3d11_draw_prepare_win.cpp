// The draw preparation: the front end's draw settings mapped onto the device-state cache, and the
// choice of the standard pixel shader, the blend preset, the alpha test and the batch kind.
#include <string.h>

#include "zovuz/d3d11/state/windows/d3d11_buffers_win.h"
#include "zovuz/d3d11/state/windows/d3d11_device_state_win.h"
#include "zovuz/d3d11/shader/windows/d3d11_shader_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_shadow_map_win.h"
#include "zovuz/d3d11/draw/windows/d3d11_vertex_batch_win.h"

namespace {

D3D11DeviceStateCache &S = D3D11DeviceState;

constexpr int CompareGreater = D3D11_COMPARISON_GREATER;             // 5: the pixel shaders' plain test
constexpr int CompareGreaterEqual = D3D11_COMPARISON_GREATER_EQUAL;  // 7

bool NoDevice() { return !D3D11Device_IsValid(); }

// A draw-preparation field: compare, draw the batch, store, and ask for a new choice.
template <typename T>
int ChangeField(T &Field, const T &Value)
{
    if (NoDevice()) return -1;
    if (!S.ForceFlag && Field == Value) return 0;
    if (!S.ForceFlag) Graphics_D3D11_RenderVertexBuffer(-1, 0);
    Field = Value;
    S.DrawStateDirtyFlag = 1;
    S.ReChooseFlag = 1;
    return 0;
}

void WritePixelFloats(int Offset, float Value, int Num)
{
    float *to = D3D11ConstantFloats(D3D11_SCB_PIXEL_BASE, Offset);
    if (to == nullptr) return;
    for (int i = 0; i < Num; i++) to[i] = Value;
}

// What one case of the choice decides.
struct Choice
{
    int Kind = 0;
    int Skip = 0;
    int AlphaTest = 0;  // on
    int Func = CompareGreater;
    int Ref = 0;
    int S = 0;  // the shader bit: the general comparison instead of "greater"
    int FactorSet = 0;
    float Factor[4] = {};
    int ViewNum = 0;
    ID3D11ShaderResourceView *Views[2] = {};
};

void TakeOverride(Choice &C)
{
    C.AlphaTest = 1;
    C.Func = S.AlphaTestOverride;
    C.Ref = S.AlphaTestOverrideParam;
    C.S = S.AlphaTestOverride != CompareGreater ? 1 : 0;
}

void SetTest(Choice &C, int Func, int Ref)
{
    C.AlphaTest = 1;
    C.Func = Func;
    C.Ref = Ref;
}

void SetFactor(Choice &C, float R, float G, float B, float A)
{
    C.FactorSet = 1;
    C.Factor[0] = R;
    C.Factor[1] = G;
    C.Factor[2] = B;
    C.Factor[3] = A;
}

}  // namespace

// ---- Setters of the preparation's fields ---------------------------------------------------

int Graphics_D3D11_SetTexture(ID3D11Texture2D *Texture, ID3D11ShaderResourceView *View)
{
    if (NoDevice()) return -1;
    if (!S.ForceFlag && S.Texture == Texture && S.TextureView == View) return 0;
    if (!S.ForceFlag) Graphics_D3D11_RenderVertexBuffer(-1, 0);
    if ((S.Texture == nullptr) != (Texture == nullptr)) S.ReChooseFlag = 1;
    S.Texture = Texture;
    S.TextureView = View;
    S.TextureChangedFlag = 1;
    S.DrawStateDirtyFlag = 1;
    return 0;
}

int Graphics_D3D11_SetBlendTexture(ID3D11Texture2D *Texture, ID3D11ShaderResourceView *View, int Width, int Height)
{
    if (NoDevice()) return -1;
    if (!S.ForceFlag && S.BlendTexture == Texture && S.BlendTextureView == View &&
        (Texture == nullptr || (S.BlendTextureWidth == (float)Width && S.BlendTextureHeight == (float)Height)))
        return 0;
    if (!S.ForceFlag) Graphics_D3D11_RenderVertexBuffer(-1, 0);
    if ((S.BlendTexture == nullptr) != (Texture == nullptr)) S.ReChooseFlag = 1;
    S.BlendTexture = Texture;
    S.BlendTextureView = View;
    if (Texture != nullptr && Width > 0 && Height > 0) {
        S.BlendTextureWidth = (float)Width;
        S.BlendTextureHeight = (float)Height;
        S.BlendTextureInvWidth = 1.0f / (float)Width;
        S.BlendTextureInvHeight = 1.0f / (float)Height;
    }
    S.TextureChangedFlag = 1;
    S.DrawStateDirtyFlag = 1;
    return 0;
}

int Graphics_D3D11_SetBlendTextureParam(int Mode, const int *Params)
{
    if (NoDevice()) return -1;
    int mode = Mode, ratio = S.BlendRatio, position = S.BorderPosition, range = S.BorderRange;
    if (Mode == 0 && Params != nullptr) ratio = Params[0];
    if (Mode == 1 && Params != nullptr) {
        position = Params[0];
        range = Params[1];
    }
    if (!S.ForceFlag && S.BlendTextureMode == mode && S.BlendRatio == ratio && S.BorderPosition == position &&
        S.BorderRange == range)
        return 0;
    if (!S.ForceFlag) Graphics_D3D11_RenderVertexBuffer(-1, 0);
    S.BlendTextureMode = mode;
    S.BlendRatio = ratio;
    S.BorderPosition = position;
    S.BorderRange = range;
    S.DrawStateDirtyFlag = 1;
    S.ReChooseFlag = 1;
    return 0;
}

int Graphics_D3D11_SetAlphaTestState(int Mode, int Param)
{
    if (NoDevice()) return -1;
    if (!S.ForceFlag && S.AlphaTestOverride == Mode && S.AlphaTestOverrideParam == Param) return 0;
    if (!S.ForceFlag) Graphics_D3D11_RenderVertexBuffer(-1, 0);
    S.AlphaTestOverride = Mode;
    S.AlphaTestOverrideParam = Param;
    S.DrawStateDirtyFlag = 1;
    S.ReChooseFlag = 1;
    return 0;
}

int Graphics_D3D11_SetBlendModeState(int BlendMode, int AlphaTestSwitch, int AlphaChannelSwitch)
{
    if (NoDevice()) return -1;
    if (!S.ForceFlag && S.BlendMode == BlendMode && S.AlphaTestSwitch == AlphaTestSwitch &&
        S.AlphaChannelSwitch == AlphaChannelSwitch)
        return 0;
    if (!S.ForceFlag) Graphics_D3D11_RenderVertexBuffer(-1, 0);
    S.BlendMode = BlendMode;
    S.AlphaTestSwitch = AlphaTestSwitch;
    S.AlphaChannelSwitch = AlphaChannelSwitch;
    S.DrawStateDirtyFlag = 1;
    S.ReChooseFlag = 1;
    return 0;
}

int Graphics_D3D11_SetPixelSwitch48(int Flag)
{
    int value = Flag ? 1 : 0;
    if (ChangeField(S.PixelSwitch48, value) < 0) return -1;
    WritePixelFloats(48, value ? 1.0f : 0.0f, 3);
    return 0;
}

int Graphics_D3D11_SetPixelSwitch60(int Flag)
{
    int value = Flag ? 1 : 0;
    if (ChangeField(S.PixelSwitch60, value) < 0) return -1;
    WritePixelFloats(60, value ? 1.0f : 0.0f, 1);
    return 0;
}

uint32_t Graphics_D3D11_GetDiffuseColor(void)
{
    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    int alpha = d.BlendMode != DX_BLENDMODE_NOBLEND ? d.BlendParam : d.BlendParamAlphaFlag ? d.BlendParam : 255;
    return D3D11PackDiffuseColor(d.DrawBrightRed, d.DrawBrightGreen, d.DrawBrightBlue, alpha,
                                 GraphicsDeviceCaps.VertexColorBGRAFlag);
}

// ---- The choice ------------------------------------------------------------------------------

int Graphics_D3D11_ApplyDrawState(void)
{
    if (NoDevice()) return -1;
    S.ReChooseFlag = 0;
    S.TextureChangedFlag = 0;
    S.DrawStateDirtyFlag = 1;

    const int at = S.AlphaTestSwitch, ac = S.AlphaChannelSwitch;
    const bool blendTexture = S.BlendTexture != nullptr;
    const bool override = S.AlphaTestOverride != -1;

    // The effective preset.
    int preset = S.BlendMode >= 0 && S.BlendMode < D3D11_BLEND_PRESET_NUM ? S.BlendMode : 0;
    if (preset == 0) {
        if (GraphicsDrawSettings.DrawScreenAlphaFlag) preset = 14;
        if (S.Texture != nullptr) {
            bool alphaBlend = blendTexture ? (S.BlendTextureMode == 1 ||
                                              ((S.BlendTextureMode == 0 || S.BlendTextureMode == 2) && (at || ac)))
                                           : ac != 0;
            if (alphaBlend) preset = 1;
        }
    } else if (preset == 3) {
        preset = 16;
    }
    const int opaque = (!at && !ac && (!S.DepthStencilStateDesc.DepthEnable || blendTexture)) ? 1 : 0;
    const int shaderClass = D3D11BlendPresets[preset].ShaderClass;
    const int g = S.PixelSwitch48 ? 1 : 0;
    const bool presetBlends = D3D11BlendPresets[preset].Enable != 0;

    Choice c;
    int slot;
    if (S.Texture == nullptr) {
        c.Kind = 0;
        if (override) TakeOverride(c);
        slot = D3D11UntexturedShaderSlot(c.S, shaderClass);
    } else if (!blendTexture) {
        c.Kind = 1;
        if (override)
            TakeOverride(c);
        else if (at)
            SetTest(c, CompareGreater, 16);
        else if (presetBlends && D3D11BlendPresets[preset].AlphaTestFlag)
            SetTest(c, CompareGreater, 0);
        c.ViewNum = 1;
        c.Views[0] = S.TextureView;
        slot = D3D11TexturedShaderSlot(D3D11_TEXTURED_TABLE_PLAIN, c.S, opaque, g, shaderClass);
    } else {
        c.Kind = 2;
        c.ViewNum = 2;
        c.Views[0] = S.TextureView;
        c.Views[1] = S.BlendTextureView;
        int table;
        if (S.BlendTextureMode == 1) {
            table = D3D11_TEXTURED_TABLE_BLEND1;
            c.Skip = S.BorderPosition == 255 ? 1 : 0;
            if (S.BorderRange <= 1) {
                // A hard threshold: the blend image decides by the test alone, without blending.
                SetTest(c, CompareGreaterEqual, S.BorderPosition == 0 && (at || ac) ? 1 : S.BorderPosition);
                preset = 0;
                SetFactor(c, 0.0f, 0.0f, 1.0f, 0.0f);
                c.S = 1;
            } else {
                float k, offset;
                D3D11BorderSoftParams(S.BorderPosition, S.BorderRange, &k, &offset);
                SetFactor(c, 0.0f, 0.0f, k, offset);
            }
        } else if (S.BlendTextureMode == 2) {
            table = D3D11_TEXTURED_TABLE_BLEND2;
            if (override)
                TakeOverride(c);
            else if (presetBlends)
                SetTest(c, CompareGreater, 0);
        } else {
            table = D3D11_TEXTURED_TABLE_BLEND0;
            if (override)
                TakeOverride(c);
            else if (at || presetBlends || ac)
                SetTest(c, CompareGreater, 0);
            SetFactor(c, 1.0f, 1.0f, 1.0f, (float)S.BlendRatio / 255.0f);
            c.S = c.AlphaTest && c.Func != CompareGreater ? 1 : 0;
        }
        slot = D3D11TexturedShaderSlot(table, c.S, opaque, g, shaderClass);
    }

    // A new kind or skip flag must not reach the vertices batched already.
    D3D11BatchBuffer &batch = D3D11Batch;
    if (batch.Kind != c.Kind || batch.SkipFlag != c.Skip) Graphics_D3D11_RenderVertexBuffer(-1, 0);
    batch.Kind = c.Kind;
    batch.SkipFlag = c.Skip;
    S.AlphaTestOn = c.AlphaTest;
    S.AlphaTestShaderBit = c.S;
    S.OpaqueTexelFlag = c.Kind == 1 && opaque;
    if (batch.Mapped == nullptr) Graphics_D3D11_RenderVertexBuffer(-1, 0);

    // Shadow maps: each slot in use lends its depth image to resource and sampler 8 + slot.
    ID3D11ShaderResourceView *views[8 + DX_SHADOWMAP_SLOT_NUM] = {c.Views[0], c.Views[1]};
    int viewNum = c.ViewNum;
    for (int i = 0; i < DX_SHADOWMAP_SLOT_NUM; i++) {
        const ShadowMapHandleData *map = Graphics_D3D11_ShadowMapOfSlot(i);
        if (map == nullptr) continue;
        views[8 + i] = D3D11ShadowMapObjectsOf(map)->View;
        Graphics_D3D11_DeviceState_SetTextureAddress(D3D11_TEXTURE_ADDRESS_CLAMP, 8 + i);
        Graphics_D3D11_DeviceState_SetSampleFilter(D3D11_FILTER_MIN_MAG_MIP_LINEAR, 8 + i);
        viewNum = 9 + i;
    }
    if (viewNum > 0) Graphics_D3D11_DeviceState_SetPSShaderResources(0, viewNum, views);

    // Off, the reference -1 lets every pixel pass the "greater" test.
    Graphics_D3D11_DeviceState_SetAlphaTestRef(c.AlphaTest ? c.Ref : -1);
    Graphics_D3D11_DeviceState_SetAlphaTestFunc(c.AlphaTest ? c.Func : CompareGreater);
    if (c.FactorSet) Graphics_D3D11_DeviceState_SetFactorColor(c.Factor);

    if (preset != S.BlendPreset) {
        Graphics_D3D11_RenderVertexBuffer(-1, 0);
        S.BlendPreset = preset;
        S.BlendChangedFlag = 1;
        S.DrawStateDirtyFlag = 1;
    }
    ID3D11PixelShader *shader = D3D11StandardShaders.Pixel[slot];
    if (S.PixelShader != shader || !S.PixelShaderStandardFlag) Graphics_D3D11_DeviceState_SetPixelShader(shader, 1);
    return 0;
}

// ---- The preparation ---------------------------------------------------------------------------

void Graphics_D3D11_PrepareDraw(uint32_t Flags)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    S.DrawStateDirtyFlag = 0;
    GraphicsState.DrawStateChangedFlag = 0;

    if ((Flags & D3D11_PREPARE_LIGHTING) && !d.NoLightingFlag) {
        if (GraphicsState.LightsChangedFlag)
            RefreshLightState();
        else
            Graphics_D3D11_SetUseLighting(1);
    } else {
        Graphics_D3D11_SetUseLighting(0);
    }
    if (d.MaterialChangedFlag) {
        d.MaterialChangedFlag = 0;
        Graphics_D3D11_DeviceState_SetMaterial(&d.Material, nullptr);
    }

    Graphics_D3D11_DeviceState_SetVertexShaderSwitch1(!d.MaterialDiffuseFlag);
    Graphics_D3D11_DeviceState_SetVertexShaderSwitch2(!d.MaterialSpecularFlag);
    Graphics_D3D11_DeviceState_SetVertexShaderSwitch0((Flags & D3D11_PREPARE_SPECULAR) && !d.SpecularOffFlag);

    const DrawZSettings &z = (Flags & D3D11_PREPARE_Z3D) ? d.Z3D : d.Z2D;
    if (z.TestFlag) {
        Graphics_D3D11_DeviceState_SetDepthEnable(1);
        Graphics_D3D11_DeviceState_SetDepthWriteEnable(z.WriteFlag);
        Graphics_D3D11_DeviceState_SetDepthFunc(z.CompareFunction);
        Graphics_D3D11_DeviceState_SetDepthBias(z.Bias);
    } else {
        Graphics_D3D11_DeviceState_SetDepthEnable(0);
        Graphics_D3D11_DeviceState_SetDepthWriteEnable(0);
    }
    Graphics_D3D11_DeviceState_SetFillMode(d.FillMode);
    Graphics_D3D11_DeviceState_SetFogEnable((Flags & D3D11_PREPARE_FOG) ? d.FogEnable : 0);

    if (!(Flags & D3D11_PREPARE_KEEP_SHADER)) {
        int alphaTest = 0, alphaChannel = 0;
        if ((Flags & D3D11_PREPARE_TEXTURED) && (Flags & D3D11_PREPARE_TRANS) &&
            (Flags & (D3D11_PREPARE_ALPHA_TEST | D3D11_PREPARE_ALPHA_CHANNEL))) {
            if (d.BlendMode != 0 && d.BlendMode != 8) {
                alphaChannel = 1;
            } else if (!(Flags & D3D11_PREPARE_KEEP_ALPHA) && d.DrawMode == 1) {
                // Bilinear filtering blurs a cut-out edge: blend it instead of testing it.
                alphaChannel = 1;
            } else {
                alphaTest = (Flags & D3D11_PREPARE_ALPHA_TEST) ? 1 : 0;
                alphaChannel = (Flags & D3D11_PREPARE_ALPHA_CHANNEL) ? 1 : 0;
            }
        }
        Graphics_D3D11_SetPixelSwitch48(d.IgnoreColorFlag);
        Graphics_D3D11_SetBlendModeState(d.BlendMode, alphaTest, alphaChannel);
        Graphics_D3D11_SetAlphaTestState(d.AlphaTestMode, d.AlphaTestParam);
        if (S.ReChooseFlag || S.TextureChangedFlag ||
            (GraphicsDeviceCaps.ProgrammableShaderFlag && !S.PixelShaderStandardFlag))
            Graphics_D3D11_ApplyDrawState();
    }

    Graphics_D3D11_DeviceState_SetDrawMode(d.DrawMode);
    Graphics_D3D11_DeviceState_SetMaxAnisotropy(d.MaxAnisotropy, -1);
    Graphics_D3D11_DeviceState_SetCullMode((Flags & D3D11_PREPARE_CULL) ? d.CullMode : 0);
    if (!d.TextureTransformSentFlag) {
        Graphics_D3D11_DeviceState_SetTextureAddressTransform(d.TextureTransformFlag, &d.TextureTransform.m[0][0]);
        d.TextureTransformSentFlag = 1;
    }

    for (int i = 0; i < D3D11_SAMPLER_NUM; i++) {
        if (!(Flags & D3D11_PREPARE_ADDRESS)) {
            if (S.SamplerDesc[i].AddressU != D3D11_TEXTURE_ADDRESS_CLAMP ||
                S.SamplerDesc[i].AddressV != D3D11_TEXTURE_ADDRESS_CLAMP)
                Graphics_D3D11_DeviceState_SetTextureAddress(D3D11_TEXTURE_ADDRESS_CLAMP, i);
            continue;
        }
        const int u = d.TexAddressModeU[i], v = d.TexAddressModeV[i];
        if (u != v) {
            Graphics_D3D11_DeviceState_SetTextureAddressU(u, i);
            Graphics_D3D11_DeviceState_SetTextureAddressV(v, i);
        } else {
            Graphics_D3D11_DeviceState_SetTextureAddress(u, i);
        }
    }
    S.PrepareDrawFlags = Flags;
}
