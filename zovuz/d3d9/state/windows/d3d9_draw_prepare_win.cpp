// The draw preparation: a draw's flags and the front end's draw settings turned into device state,
// and the set-up of a draw through user or filter shaders.
#include <cstring>

#include "zovuz/d3d9/device/windows/d3d9_device_win.h"
#include "zovuz/d3d9/state/windows/d3d9_draw_state_table_win.h"
#include "zovuz/d3d9/shader/windows/d3d9_shader_constant_win.h"
#include "zovuz/d3d9/draw/windows/d3d9_vertex_batch_win.h"
#include "zovuz/d3d9/windows/d3d9_handle_objects_win.h"

namespace {

D3D9DeviceStateCacheData &Cache = D3D9DeviceStateCache;
D3D9DrawSettingData &Draw = D3D9DeviceStateCache.Draw;

static_assert(sizeof(MATERIALPARAM) == sizeof(D3DMATERIAL9), "the front end's material is laid out as the device's");

const DWORD FVFVertex3D = 0x2D2, FVFBlendTex2D = 0x2C4;

bool Programmable() { return GraphicsDeviceCaps.ProgrammableShaderFlag != 0; }

void TakeUserVertexShaderOff()
{
    if (Cache.VertexShader != nullptr && !Cache.VertexShaderLibraryFlag)
        Graphics_D3D9_DeviceState_SetVertexShader(nullptr, 0);
}

// Steps 4 and 5: lighting, material and specular. The specular switch, which also decides the
// form of the draw state.
bool PrepareLighting(unsigned Flags)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    if ((Flags & D3D9_PREPARE_LIGHTING) && !d.NoLightingFlag) {
        if (GraphicsState.LightsChangedFlag)
            RefreshLightState();
        else if (!Cache.Lighting)
            Graphics_D3D9_DeviceState_SetLighting(1);
        if (d.MaterialChangedFlag) {
            D3DMATERIAL9 material;
            std::memcpy(&material, &d.Material, sizeof material);
            Graphics_D3D9_DeviceState_SetMaterial(&material);
            d.MaterialChangedFlag = 0;
        }
        Graphics_D3D9_DeviceState_SetDiffuseMaterialSource(!d.MaterialDiffuseFlag);
        Graphics_D3D9_DeviceState_SetSpecularMaterialSource(!d.MaterialSpecularFlag);
    } else if (Cache.Lighting) {
        Graphics_D3D9_DeviceState_SetLighting(0);
    }
    const bool specular = (Flags & D3D9_PREPARE_SPECULAR) && !d.SpecularOffFlag;
    Graphics_D3D9_DeviceState_SetSpecularEnable(specular ? 1 : 0);
    return specular;
}

// Step 6: the chosen set of depth settings.
void PrepareDepth(unsigned Flags)
{
    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    const bool threeD = (Flags & D3D9_PREPARE_Z3D) != 0;
    const DrawZSettings &z = threeD ? d.Z3D : d.Z2D;
    if (z.TestFlag) {
        Graphics_D3D9_DeviceState_SetZEnable(1);
        Graphics_D3D9_DeviceState_SetZWriteEnable(z.WriteFlag ? 1 : 0);
        Graphics_D3D9_DeviceState_SetZFunc(z.CompareFunction);
        Graphics_D3D9_DeviceState_SetDepthBias(z.Bias);
    } else {
        Graphics_D3D9_DeviceState_SetZEnable(0);
        if (!threeD) Graphics_D3D9_DeviceState_SetZWriteEnable(0);
    }
}

// Step 8: the blend and texture part.
void PrepareBlend(unsigned Flags, bool Specular)
{
    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    const bool fixedForm = (Flags & D3D9_PREPARE_Z3D) && Specular;
    if (!(Flags & D3D9_PREPARE_USER_SHADER)) {
        int alphaTest = 0, alphaChannel = 0;
        if ((Flags & D3D9_PREPARE_TEXTURED) && (Flags & D3D9_PREPARE_TRANS) &&
            (Flags & (D3D9_PREPARE_ALPHA_CHANNEL | D3D9_PREPARE_ALPHA_TEST))) {
            if (d.BlendMode != 0 && d.BlendMode != 8) {
                alphaChannel = 1;
            } else if ((Flags & D3D9_PREPARE_EXACT) || d.DrawMode != 1) {
                alphaTest = (Flags & D3D9_PREPARE_ALPHA_TEST) ? 1 : 0;
                alphaChannel = (Flags & D3D9_PREPARE_ALPHA_CHANNEL) ? 1 : 0;
            } else {
                // Bilinear filtering blurs a cut-out edge: blend it instead of testing it.
                alphaChannel = 1;
            }
        }
        const bool white = d.DrawBrightRed == 255 && d.DrawBrightGreen == 255 && d.DrawBrightBlue == 255;
        const int colorModulation = (Flags & D3D9_PREPARE_VERTEX_COLOR) || !white ? 1 : 0;
        const int alphaModulation =
            (Flags & D3D9_PREPARE_VERTEX_ALPHA) || d.BlendMode != 0 || d.BlendParamAlphaFlag ? 1 : 0;
        Graphics_D3D9_DrawSetting_SetIgnoreColor(d.IgnoreColorFlag ? 1 : 0);
        Graphics_D3D9_DrawSetting_SetBlendMode(d.BlendMode, alphaTest, alphaChannel);
        Graphics_D3D9_DrawSetting_SetAlphaTestMode(d.AlphaTestMode, d.AlphaTestParam);
        Graphics_D3D9_DrawSetting_SetUseVertexColor(colorModulation);
        Graphics_D3D9_DrawSetting_SetUseVertexAlpha(alphaModulation);
        if (Draw.DrawStateChangedFlag || Draw.TextureChangedFlag) {
            Graphics_D3D9_ApplyDrawState(nullptr, 0, 0, fixedForm ? 0 : 1);
            return;
        }
    }
    if (!Programmable()) return;
    const bool userPixelShader = Cache.PixelShader != nullptr && !Cache.PixelShaderLibraryFlag;
    if (userPixelShader) {
        if (fixedForm) Graphics_D3D9_ApplyDrawState(nullptr, 0, 0, 0);
    } else if (!fixedForm) {
        Graphics_D3D9_ApplyDrawState(nullptr, 0, 0, 1);
    }
}

// Steps 11 and 12: texture transform and addressing.
void PrepareTextureAddressing(unsigned Flags)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    if (!d.TextureTransformSentFlag) {
        D3DMATRIX matrix;
        std::memcpy(&matrix, &d.TextureTransform, sizeof matrix);
        for (int stage = 0; stage < D3D9_TEXTURE_TRANSFORM_STAGE_NUM; ++stage)
            Graphics_D3D9_DeviceState_SetTextureTransform(d.TextureTransformFlag, &matrix, stage);
        d.TextureTransformSentFlag = 1;
    }
    if (Flags & D3D9_PREPARE_ADDRESS) {
        for (int stage = 0; stage < 8; ++stage) {
            Graphics_D3D9_DeviceState_SetTextureAddressU(d.TexAddressModeU[stage], stage);
            Graphics_D3D9_DeviceState_SetTextureAddressV(d.TexAddressModeV[stage], stage);
        }
        return;
    }
    for (int stage = 0; stage < 4; ++stage) {
        const D3D9SamplerStateData &s = Cache.Sampler[stage];
        if (s.AddressU != D3DTADDRESS_CLAMP || s.AddressV != D3DTADDRESS_CLAMP || s.AddressW != D3DTADDRESS_CLAMP)
            Graphics_D3D9_DeviceState_SetTextureAddressUVW(D3DTADDRESS_CLAMP, D3DTADDRESS_CLAMP, D3DTADDRESS_CLAMP,
                                                           stage);
    }
}

}  // namespace

bool Graphics_D3D9_DrawNeedsPrepare(unsigned Flags)
{
    return GraphicsState.DrawStateChangedFlag || Cache.ChangedFlag || (unsigned)Cache.PreparedDrawFlags != Flags;
}

unsigned Graphics_D3D9_PrepareDraw(unsigned Flags)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    Cache.ChangedFlag = 0;
    GraphicsState.DrawStateChangedFlag = 0;
    if (!(Flags & D3D9_PREPARE_KEEP_SHADER)) {
        TakeUserVertexShaderOff();
        if ((Cache.PixelShader != nullptr && !Cache.PixelShaderLibraryFlag) || Cache.ForceFlag) {
            Graphics_D3D9_DeviceState_SetPixelShader(nullptr, 0);
            Cache.ChangedFlag = 1;
        }
    }
    std::memset(Cache.UserShaderFields, 0, sizeof Cache.UserShaderFields);

    const bool specular = PrepareLighting(Flags);
    PrepareDepth(Flags);
    Graphics_D3D9_DeviceState_SetFillMode(d.FillMode);
    Graphics_D3D9_DeviceState_SetFogEnable((Flags & D3D9_PREPARE_FOG) ? d.FogEnable : 0);
    PrepareBlend(Flags, specular);

    Graphics_D3D9_DeviceState_SetShadeMode((Flags & D3D9_PREPARE_GOURAUD) ? D3DSHADE_GOURAUD : D3DSHADE_FLAT, 0);
    Graphics_D3D9_DeviceState_SetDrawMode(d.DrawMode);
    Graphics_D3D9_DeviceState_SetMaxAnisotropy(d.MaxAnisotropy, -1);
    Graphics_D3D9_DeviceState_SetCullMode((Flags & D3D9_PREPARE_CULL) ? d.CullMode : 0);
    PrepareTextureAddressing(Flags);
    Cache.PreparedDrawFlags = (int)Flags;
    // What the preparation itself sent asks for no further preparation.
    Cache.ChangedFlag = 0;
    return Flags;
}

int Graphics_D3D9_SetupShaderDrawState(unsigned Flags, int VertexKind, int TwoD, int ConstantSetPair)
{
    if (D3D9CallLayer.Device == nullptr) return -1;
    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    Graphics_D3D9_DrawSetting_SetTexture(nullptr);
    Graphics_D3D9_PrepareDraw(Flags | D3D9_PREPARE_USER_SHADER | D3D9_PREPARE_SPECULAR | D3D9_PREPARE_ADDRESS |
                              D3D9_PREPARE_KEEP_SHADER | (TwoD ? 0u : (unsigned)D3D9_PREPARE_CULL));
    Graphics_D3D9_ShaderConstant_Apply(&ShaderConstantManager, ConstantSetPair ? 3 : 9);
    Graphics_D3D9_DeviceState_SetVertexDeclaration(nullptr);

    // The user shaders draw with the front end's blend mode and shader textures.
    D3D9DrawStateRecord record;
    std::memset(&record, 0xFF, sizeof record);
    record.AlphaTestEnable = 1;
    record.AlphaFunc = d.AlphaTestMode != -1 ? d.AlphaTestMode : D3DCMP_GREATER;
    record.AlphaRef = d.AlphaTestMode != -1 ? d.AlphaTestParam : 0;
    const int mode = d.BlendMode >= 0 && d.BlendMode < D3D9_BLEND_MODE_NUM ? d.BlendMode : 0;
    const D3D9BlendStateRow &row = D3D9BlendStateTable[mode];
    if (mode == 3 && D3D9DeviceCapsInfo.SubtractiveBlendFlag) {
        record.DestBlend = D3DBLEND_ONE, record.SrcBlend = D3DBLEND_SRCALPHA, record.BlendOp = D3DBLENDOP_REVSUBTRACT;
    } else {
        record.DestBlend = row.DestBlend, record.SrcBlend = row.SrcBlend, record.BlendOp = row.BlendOp;
    }
    record.AlphaBlendEnable = mode != 0 && mode != 6 ? 1 : 0;
    record.SeparateAlphaBlendEnable = 0;
    record.TextureFactor = 0xFFFFFFFF;
    record.TextureNum = 0;
    for (int i = 0; i < D3D9_STAGE_NUM; ++i) {
        const int graph = d.Shader.Texture[i];
        record.Stage[i] = {(IDirect3DBaseTexture9 *)(intptr_t)graph, i, -1, -1, -1, -1, -1, -1, -1};
        if (graph > 0) record.TextureNum = i + 1;
    }
    Graphics_D3D9_RenderVertexBuffer(0);
    Graphics_D3D9_DeviceState_SetDrawState(&record, 1, 1, 1);

    if (VertexKind < 0) {
        TakeUserVertexShaderOff();
        // The front end has no switch for drawing 2-D through its projection: FVF vertices.
        Graphics_D3D9_DeviceState_SetFVF(TwoD ? FVFBlendTex2D : FVFVertex3D);
    } else if (VertexKind < D3D9_USER_VERTEX_DECLARATION_NUM) {
        Graphics_D3D9_DeviceState_SetVertexDeclaration(D3D9Screen.UserVertexDeclaration[VertexKind]);
        if (d.Shader.VertexShader > 0) Graphics_D3D9_DeviceState_SetVertexShaderToHandle(d.Shader.VertexShader);
    }
    if (ShaderHandleData *shader = GetShaderEntry(d.Shader.PixelShader, 0)) {
        const D3D9ShaderObjects *objects = D3D9ShaderObjectsOf(shader);
        if (!shader->IsVertexShader && objects != nullptr && objects->Pixel != nullptr)
            Graphics_D3D9_DeviceState_SetPixelShader(objects->Pixel, 0);
    }
    return 0;
}
