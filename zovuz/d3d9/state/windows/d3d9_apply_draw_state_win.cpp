// The draw-state flush: the library's draw setting (blend mode, textures, blend graph, alpha
// handling, colour and alpha modulation) turned into fixed-function render states and texture
// stages, or into the choice of a base pixel shader, and sent by difference with the cache.
#include <cstring>

#include "zovuz/d3d9/shader/windows/d3d9_base_shaders_win.h"
#include "zovuz/d3d9/device/windows/d3d9_device_win.h"
#include "zovuz/d3d9/state/windows/d3d9_draw_state_table_win.h"
#include "zovuz/d3d9/shader/windows/d3d9_shader_constant_win.h"
#include "zovuz/d3d9/draw/windows/d3d9_vertex_batch_win.h"

D3D9BaseShaderData D3D9BaseShaders;

namespace {

D3D9DeviceStateCacheData &Cache = D3D9DeviceStateCache;
D3D9DrawSettingData &Draw = D3D9DeviceStateCache.Draw;
D3D9DrawStateOutputData &Out = D3D9DeviceStateCache.Out;

const int PsTextureFactor = 5;
const int ShadowMapFirstStage = 8;
const int DiffuseAlpha = D3DTA_DIFFUSE | D3DTA_ALPHAREPLICATE;

// What one flush wants on the device.
struct Wanted
{
    D3D9DrawStateOutputData State;
    float Constant[4];  // pixel constant 5
    IDirect3DPixelShader9 *Shader;
    bool UseShader;
};

D3D9DrawStateStage Stage(int ColorOp, int ColorArg1, int ColorArg2, int AlphaOp, int AlphaArg1, int AlphaArg2)
{
    return {nullptr,       0, 0, (short)AlphaArg1, (short)AlphaArg2, (short)AlphaOp, (short)ColorArg1, (short)ColorArg2,
            (short)ColorOp};
}

// A stage past the last one: disabled, nothing bound.
const D3D9DrawStateStage UnusedStage = {
    nullptr, 0, 0, D3DTA_DIFFUSE, D3DTA_DIFFUSE, D3DTOP_DISABLE, D3DTA_DIFFUSE, D3DTA_DIFFUSE, D3DTOP_DISABLE};

D3D9DrawStateStage FromProgram(const D3D9StageRecord &R)
{
    return {nullptr,   R.TexCoordIndex, R.ResultArg, R.AlphaArg1, R.AlphaArg2,
            R.AlphaOp, R.ColorArg1,     R.ColorArg2, R.ColorOp};
}

void TakeProgram(Wanted &W, const D3D9TextureStageProgram &P)
{
    for (int s = 0; s <= P.StageNum; ++s) W.State.Stage[s] = FromProgram(P.Stage[s]);
    W.State.StageNum = P.StageNum;
}

void SetAlphaTest(Wanted &W, int Enable, int Ref, int Func)
{
    W.State.AlphaTestEnable = Enable;
    W.State.AlphaRef = Ref;
    W.State.AlphaFunc = Func;
}

// The cached reference and function, the test off.
void CachedAlphaTestOff(Wanted &W) { SetAlphaTest(W, 0, Out.AlphaRef, Out.AlphaFunc); }

void FactorConstant(Wanted &W)
{
    const D3DCOLOR f = W.State.TextureFactor;
    W.Constant[0] = (f & 0xFF) / 255.0f;
    W.Constant[1] = ((f >> 8) & 0xFF) / 255.0f;
    W.Constant[2] = ((f >> 16) & 0xFF) / 255.0f;
    W.Constant[3] = ((f >> 24) & 0xFF) / 255.0f;
}

IDirect3DBaseTexture9 *ObjectTexture(GraphicsBackendObjectData *PF)
{
    const D3D9TextureObjects *objects = D3D9TextureObjectsOf(PF);
    return objects != nullptr ? objects->Texture : nullptr;
}

// A graph or shadow-map handle's texture, or null for an invalid handle.
IDirect3DBaseTexture9 *HandleTexture(int Handle)
{
    if (GraphHandleData *graph = GetTypedHandle<GraphHandleData>(Handle, DX_HANDLETYPE_GRAPH, 0)) {
        if (graph->PieceNum <= 0 || graph->Piece[0].Texture == nullptr) return nullptr;
        return ObjectTexture(graph->Piece[0].Texture->PF);
    }
    if (ShadowMapHandleData *map = GetShadowMapEntry(Handle, 0)) return ObjectTexture(map->PF);
    return nullptr;
}

void SendTexture(int Stage, IDirect3DBaseTexture9 *Texture)
{
    if (!Cache.ForceFlag && Out.Stage[Stage].Texture == Texture) return;
    Direct3DDevice9_SetTexture((DWORD)Stage, Texture);
    if (Stage < 4) Direct3DDevice9_SetTexture(D3DVERTEXTEXTURESAMPLER0 + Stage, Texture);
    Out.Stage[Stage].Texture = Texture;
}

// Sends one stage state unless the wanted value leaves the device alone, or equals the cache.
void SendStageState(int Stage, D3DTEXTURESTAGESTATETYPE Type, int Want, short &Cached)
{
    if (Want == -1 || (!Cache.ForceFlag && Cached == Want)) return;
    Direct3DDevice9_SetTextureStageState((DWORD)Stage, Type, (DWORD)Want);
    Cached = (short)Want;
}

void SendStage(int S, const D3D9DrawStateStage &W, bool TexturesOnly, bool FixedFunction)
{
    D3D9DrawStateStage &c = Out.Stage[S];
    SendTexture(S, W.Texture);
    if (W.TexCoordIndex != -1 && S < D3D9DeviceCapsInfo.TextureStageNum &&
        (Cache.ForceFlag || c.TexCoordIndex != W.TexCoordIndex)) {
        Direct3DDevice9_SetTextureStageState((DWORD)S, D3DTSS_TEXCOORDINDEX, (DWORD)W.TexCoordIndex);
        c.TexCoordIndex = W.TexCoordIndex;
    }
    if (TexturesOnly || !FixedFunction) return;
    if (W.ResultArg != -1 && D3D9DeviceCapsInfo.ResultArgumentFlag && (Cache.ForceFlag || c.ResultArg != W.ResultArg)) {
        Direct3DDevice9_SetTextureStageState((DWORD)S, D3DTSS_RESULTARG, W.ResultArg ? D3DTA_TEMP : D3DTA_CURRENT);
        c.ResultArg = W.ResultArg;
    }
    SendStageState(S, D3DTSS_ALPHAOP, W.AlphaOp, c.AlphaOp);
    SendStageState(S, D3DTSS_ALPHAARG1, W.AlphaArg1, c.AlphaArg1);
    SendStageState(S, D3DTSS_ALPHAARG2, W.AlphaArg2, c.AlphaArg2);
    SendStageState(S, D3DTSS_COLOROP, W.ColorOp, c.ColorOp);
    SendStageState(S, D3DTSS_COLORARG1, W.ColorArg1, c.ColorArg1);
    SendStageState(S, D3DTSS_COLORARG2, W.ColorArg2, c.ColorArg2);
}

void SendRenderState(D3DRENDERSTATETYPE State, int Want, int &Cached)
{
    if (!Cache.ForceFlag && Cached == Want) return;
    Direct3DDevice9_SetRenderState(State, (DWORD)Want);
    Cached = Want;
}

// A blend value: -1 leaves the device value; forced, the cached value goes again when it is one.
void SendBlendState(D3DRENDERSTATETYPE State, int Want, int &Cached)
{
    if (Want == -1) {
        if (Cache.ForceFlag && Cached > 1) Direct3DDevice9_SetRenderState(State, (DWORD)Cached);
        return;
    }
    SendRenderState(State, Want, Cached);
}

// Step 11: everything the flush wants, forced or by difference. TexturesOnly leaves the stage
// operations and the pixel shader alone.
void Send(const Wanted &W, bool TexturesOnly, bool ShadowMaps)
{
    const D3D9DrawStateOutputData &w = W.State;
    const bool fixedFunction = !W.UseShader;
    SendRenderState(D3DRS_ALPHAFUNC, w.AlphaFunc, Out.AlphaFunc);
    SendRenderState(D3DRS_ALPHAREF, w.AlphaRef, Out.AlphaRef);
    SendRenderState(D3DRS_ALPHATESTENABLE, w.AlphaTestEnable, Out.AlphaTestEnable);
    SendRenderState(D3DRS_ALPHABLENDENABLE, w.AlphaBlendEnable, Out.AlphaBlendEnable);
    if (fixedFunction && (Cache.ForceFlag || Out.TextureFactor != w.TextureFactor))
        Direct3DDevice9_SetRenderState(D3DRS_TEXTUREFACTOR, w.TextureFactor);
    Out.TextureFactor = w.TextureFactor;
    if (Cache.ForceFlag || std::memcmp(Out.TextureFactorF, W.Constant, sizeof W.Constant) != 0) {
        Graphics_D3D9_ShaderConstant_Set(&ShaderConstantManager, D3D9_CONSTANT_PS_FLOAT, 0, PsTextureFactor, W.Constant,
                                         1, 1);
        std::memcpy(Out.TextureFactorF, W.Constant, sizeof W.Constant);
    }
    SendBlendState(D3DRS_SRCBLEND, w.SrcBlend, Out.SrcBlend);
    SendBlendState(D3DRS_DESTBLEND, w.DestBlend, Out.DestBlend);
    SendBlendState(D3DRS_BLENDOP, w.BlendOp, Out.BlendOp);
    SendBlendState(D3DRS_SRCBLENDALPHA, w.SrcBlendAlpha, Out.SrcBlendAlpha);
    SendBlendState(D3DRS_DESTBLENDALPHA, w.DestBlendAlpha, Out.DestBlendAlpha);
    SendBlendState(D3DRS_BLENDOPALPHA, w.BlendOpAlpha, Out.BlendOpAlpha);
    SendRenderState(D3DRS_SEPARATEALPHABLENDENABLE, w.SeparateAlphaBlendEnable, Out.SeparateAlphaBlendEnable);
    if (!TexturesOnly) {
        // Texture stages are read only without a pixel shader: fixed function takes any off.
        if (fixedFunction && Cache.PixelShader != nullptr) Graphics_D3D9_DeviceState_SetPixelShader(nullptr, 0);
        if (W.UseShader) Graphics_D3D9_DeviceState_SetPixelShader(W.Shader, 1);
        Out.LibraryPixelShaderFlag = W.UseShader ? 1 : 0;
    }

    if (Cache.ForceFlag) {
        for (int s = 0; s < D3D9_STAGE_NUM; ++s)
            SendStage(s, s < w.StageNum ? w.Stage[s] : UnusedStage, TexturesOnly, fixedFunction);
    } else {
        const int minimum = ShadowMaps ? w.StageNum : 2;
        int s = 0;
        for (; s < w.StageNum; ++s) {
            if (s >= minimum && (W.UseShader || w.Stage[s - 1].AlphaOp == D3DTOP_DISABLE)) break;
            SendStage(s, w.Stage[s], TexturesOnly, fixedFunction);
        }
        for (; s < D3D9_STAGE_NUM; ++s) SendTexture(s, nullptr);
    }
    Out.StageNum = w.StageNum;
}

// Step 3: a texture change alone rebinds the textures without touching the stage states.
void RebindTextures(bool Shaders)
{
    IDirect3DBaseTexture9 *main = Draw.Texture, *blend = Draw.BlendTexture;
    if (blend == nullptr) {
        SendTexture(0, main);
    } else if (Shaders || Draw.BlendGraphType == 2) {
        SendTexture(0, main);
        SendTexture(1, blend);
    } else if (Draw.BlendGraphType == 0) {
        SendTexture(0, blend);
        SendTexture(1, main);
        SendTexture(3, main);
    } else {
        SendTexture(0, blend);
        SendTexture(Draw.AlphaChannelFlag ? 2 : 1, main);
    }
}

// Step 4: the blend row with its substitutions.
int BlendRow(int TextureMode)
{
    int mode = Draw.BlendMode >= 0 && Draw.BlendMode < D3D9_BLEND_MODE_NUM ? Draw.BlendMode : 0;
    if (mode == 0) {
        if (GraphicsDrawSettings.DrawScreenAlphaFlag) mode = 14;
        if (Draw.Texture != nullptr) {
            bool alpha;
            if (TextureMode != 2)
                alpha = Draw.AlphaChannelFlag != 0;
            else if (Draw.BlendGraphType == 1)
                alpha = true;
            else
                alpha = Draw.AlphaChannelFlag || Draw.AlphaTestFlag;
            if (alpha) mode = 1;
        }
    } else if (mode == 3 && D3D9DeviceCapsInfo.SubtractiveBlendFlag) {
        mode = 16;
    }
    return mode;
}

// The texture of the library's white graph (made on first use), or null when it cannot be had.
IDirect3DBaseTexture9 *WhiteGraphTexture()
{
    const int handle = GetWhiteTextureGraph();
    return handle != -1 ? HandleTexture(handle) : nullptr;
}

// Step 6: no main texture. White is the white graph's texture for the x4 stage types.
void NoTexture(Wanted &W, int Row, int StageType, bool Shaders, IDirect3DBaseTexture9 *White)
{
    CachedAlphaTestOff(W);
    if (Shaders) {
        W.UseShader = true;
        W.Shader = D3D9BaseShaders.NoneTex[StageType * 2 + (GraphicsDrawSettings.DrawScreenAlphaFlag ? 1 : 0)];
        W.State.StageNum = 0;
        W.State.Stage[0] = UnusedStage;
        return;
    }
    D3D9DrawStateStage *s = W.State.Stage;
    const int diffuse = D3DTA_DIFFUSE, current = D3DTA_CURRENT;
    int num = 1;
    if (Row == 3) {
        s[0] = Stage(D3DTOP_SELECTARG1, diffuse, current, D3DTOP_SELECTARG2, current, diffuse);
    } else {
        int op = D3DTOP_SELECTARG2, arg1 = current, arg2 = diffuse;
        switch (StageType) {
            case 1:
                op = D3DTOP_BLENDDIFFUSEALPHA, arg1 = diffuse, arg2 = D3DTA_TFACTOR;
                break;
            case 2:
                op = D3DTOP_SELECTARG1, arg1 = diffuse | D3DTA_COMPLEMENT;
                break;
            case 3:
            case 6:
                // The factor is white too: it stands in when the white graph cannot be made.
                op = D3DTOP_MODULATE4X, arg1 = diffuse, arg2 = White != nullptr ? D3DTA_TEXTURE : D3DTA_TFACTOR;
                break;
            case 4:
                op = D3DTOP_MODULATE, arg1 = diffuse, arg2 = DiffuseAlpha;
                break;
            case 5:
                op = D3DTOP_MODULATE, arg1 = diffuse | D3DTA_COMPLEMENT, arg2 = DiffuseAlpha;
                break;
            default:
                break;
        }
        s[0] = Stage(op, arg1, arg2, D3DTOP_SELECTARG2, current, diffuse);
        if (StageType == 3 || StageType == 6) s[0].Texture = White;
        if (StageType == 6) {
            s[1] = Stage(D3DTOP_MODULATE, current, DiffuseAlpha, D3DTOP_SELECTARG1, current, diffuse);
            num = 2;
        }
    }
    s[num] = {nullptr, -1, -1, -1, -1, D3DTOP_DISABLE, -1, -1, D3DTOP_DISABLE};
    W.State.StageNum = num;
}

// Step 7: one texture.
void OneTexture(Wanted &W, const D3D9BlendStateRow &Row, int StageType, int AlphaVariant, bool Shaders)
{
    TakeProgram(W, D3D9TextureStageTable()[D3D9TextureStageProgramIndex(StageType, 0, Draw.UseVertexColorFlag,
                                                                        Draw.UseVertexAlphaFlag, AlphaVariant)]);
    if (Draw.IgnoreColorFlag) {
        short &arg = W.State.Stage[0].ColorArg1;
        if (arg == D3DTA_TEXTURE) arg = D3DTA_TFACTOR;
        if (arg == (D3DTA_TEXTURE | D3DTA_COMPLEMENT)) arg = D3DTA_TFACTOR | D3DTA_COMPLEMENT;
    }
    if (Shaders) {
        W.UseShader = true;
        W.Shader = D3D9BaseShaders.Blend[D3D9BlendShaderIndex(0, StageType, Draw.IgnoreColorFlag, AlphaVariant,
                                                              GraphicsDrawSettings.DrawScreenAlphaFlag)];
        W.State.StageNum = 1;
    }
    if (Draw.AlphaTestFlag)
        SetAlphaTest(W, 1, 16, D3DCMP_GREATER);
    else if (Row.AlphaBlendEnable && Row.AlphaTestWhileBlending)
        SetAlphaTest(W, 1, 0, D3DCMP_GREATER);
    else
        CachedAlphaTestOff(W);
    W.State.Stage[0].Texture = Draw.Texture;
}

// Ignoring the texture's colour on the wipe's stage that reads the main texture.
void WipeIgnoreColor(D3D9DrawStateStage &S)
{
    const bool textureArg = S.ColorArg1 == D3DTA_TEXTURE || S.ColorArg1 == (D3DTA_TEXTURE | D3DTA_COMPLEMENT);
    if (S.ColorOp == D3DTOP_SELECTARG1 && textureArg)
        S.ColorArg1 = (short)(D3DTA_CURRENT | (S.ColorArg1 & D3DTA_COMPLEMENT));
    else if ((S.ColorOp == D3DTOP_MODULATE || S.ColorOp == D3DTOP_MODULATE2X || S.ColorOp == D3DTOP_MODULATE4X) &&
             S.ColorArg1 == D3DTA_TEXTURE)
        S.ColorOp = D3DTOP_SELECTARG2;
}

// Step 8: a main and a blend texture (always fixed function: shaders are not used with a blend
// texture).
void BlendTexture(Wanted &W, const D3D9BlendStateRow &Row, int StageType, int AlphaVariant)
{
    TakeProgram(
        W, D3D9TextureStageTable()[D3D9TextureStageProgramIndex(
               StageType, Draw.BlendGraphType + 1, Draw.UseVertexColorFlag, Draw.UseVertexAlphaFlag, AlphaVariant)]);
    D3D9DrawStateStage *s = W.State.Stage;
    const int num = W.State.StageNum;
    switch (Draw.BlendGraphType) {
        case 0:
            W.State.TextureFactor = (D3DCOLOR)(Draw.BlendRatio & 0xFF) << 24 | 0xFFFFFF;
            if (Draw.AlphaTestFlag || Draw.AlphaChannelFlag || Row.AlphaBlendEnable)
                SetAlphaTest(W, 1, 0, D3DCMP_GREATER);
            else
                CachedAlphaTestOff(W);
            s[0].Texture = Draw.BlendTexture;
            s[1].Texture = s[3].Texture = Draw.Texture;
            if (Draw.IgnoreColorFlag) {
                s[0].ColorOp = D3DTOP_SELECTARG1, s[0].ColorArg1 = D3DTA_DIFFUSE;
                for (int i = 1; i <= 2 && i < num; ++i)
                    s[i].ColorOp = D3DTOP_SELECTARG1, s[i].ColorArg1 = D3DTA_CURRENT;
            }
            FactorConstant(W);
            break;
        case 1: {
            W.State.BorderFullFlag = Draw.BorderParam == 255 ? 1 : 0;
            const int mainStage = Draw.AlphaChannelFlag ? 2 : 1;
            s[0].Texture = Draw.BlendTexture;
            s[mainStage].Texture = Draw.Texture;
            if (Draw.BorderRange < 2) {
                const int ref =
                    Draw.BorderParam == 0 && (Draw.AlphaChannelFlag || Draw.AlphaTestFlag) ? 1 : Draw.BorderParam;
                SetAlphaTest(W, 1, ref, D3DCMP_GREATEREQUAL);
                W.State.AlphaBlendEnable = 0;
                W.State.TextureFactor = 0x00FFFFFF;
                // The factor's alpha is 0 here: multiplied, it would leave nothing to test, so the
                // blend texture's alpha is taken as it is (plus 0).
                if (s[0].AlphaOp == D3DTOP_MODULATE) s[0].AlphaOp = D3DTOP_ADD;
                const float constant[4] = {0.0f, 0.0f, 1.0f, 0.0f};
                std::memcpy(W.Constant, constant, sizeof constant);
            } else {
                CachedAlphaTestOff(W);
                W.State.AlphaBlendEnable = 1;
                const D3D9WipeFactor f = D3D9ComputeWipeFactor(Draw.BorderParam, Draw.BorderRange);
                if (num > 1) s[1].AlphaOp = (short)f.Stage1AlphaOp;
                s[0].AlphaOp = (short)f.Stage0AlphaOp;
                W.State.TextureFactor = (D3DCOLOR)f.Alpha << 24 | 0xFFFFFF;
                const float constant[4] = {0.0f, 0.0f, f.K, f.Offset};
                std::memcpy(W.Constant, constant, sizeof constant);
            }
            if (Draw.IgnoreColorFlag && mainStage < num) WipeIgnoreColor(s[mainStage]);
            break;
        }
        default:
            if (Row.AlphaBlendEnable)
                SetAlphaTest(W, 1, 0, D3DCMP_GREATER);
            else
                CachedAlphaTestOff(W);
            s[0].Texture = Draw.Texture;
            s[1].Texture = Draw.BlendTexture;
            if (Draw.IgnoreColorFlag) s[0].ColorArg1 = D3DTA_DIFFUSE;
            FactorConstant(W);
            break;
    }
}

// Step 10: a new stage count gives every stage the samplers of the draw mode, where the cache does
// not hold them already. Not by force: the cache holds what the device holds, and a forced send
// here sent the filters of all sixteen stages again at each change of the stage count, dozens of
// times a frame.
void ResendSamplers()
{
    if (Cache.DrawMode >= 0 && Cache.DrawMode < D3D9_DRAW_MODE_NONE)
        Graphics_D3D9_DeviceState_SetDrawMode(Cache.DrawMode);
    if (Cache.MaxAnisotropyAll >= 1) Graphics_D3D9_DeviceState_SetMaxAnisotropy(Cache.MaxAnisotropyAll, -1);
}

// Each valid shadow map's texture on stage 8, 9 or 10, clamped and filtered linearly. Whether any
// was bound.
bool BindShadowMaps(Wanted &W)
{
    bool any = false;
    for (int i = 0; i < DX_SHADOWMAP_SLOT_NUM; ++i) {
        const int handle = GraphicsShadowMapSettings.Slot[i];
        ShadowMapHandleData *map = handle != 0 ? GetShadowMapEntry(handle, 0) : nullptr;
        IDirect3DBaseTexture9 *texture = map != nullptr ? ObjectTexture(map->PF) : nullptr;
        if (texture == nullptr) continue;
        const int stage = ShadowMapFirstStage + i;
        for (int s = W.State.StageNum; s < stage; ++s) W.State.Stage[s] = UnusedStage;
        W.State.Stage[stage] = UnusedStage;
        W.State.Stage[stage].Texture = texture;
        W.State.Stage[stage].TexCoordIndex = -1;
        Graphics_D3D9_DeviceState_SetTextureAddressUVW(D3DTADDRESS_CLAMP, D3DTADDRESS_CLAMP, D3DTADDRESS_CLAMP, stage);
        for (int which = D3DSAMP_MAGFILTER; which <= D3DSAMP_MIPFILTER; ++which)
            Graphics_D3D9_DeviceState_SetSamplerFilter(stage, which, D3DTEXF_LINEAR);
        if (W.State.StageNum < stage + 1) W.State.StageNum = stage + 1;
        any = true;
    }
    return any;
}

}  // namespace

int Graphics_D3D9_ApplyDrawState(const D3D9DrawStateRecord *Record, int TexturesOnly, int HandlesFlag,
                                 int MayUseShaders)
{
    if (D3D9CallLayer.Device == nullptr) return -1;
    const bool shaders = GraphicsDeviceCaps.ProgrammableShaderFlag && MayUseShaders && Draw.BlendTexture == nullptr;

    Wanted w = {};
    w.State = Out;
    if (Record != nullptr) {
        D3D9DrawStateOutputData &s = w.State;
        s.AlphaTestEnable = Record->AlphaTestEnable, s.AlphaRef = Record->AlphaRef, s.AlphaFunc = Record->AlphaFunc;
        s.AlphaBlendEnable = Record->AlphaBlendEnable, s.SeparateAlphaBlendEnable = Record->SeparateAlphaBlendEnable;
        s.TextureFactor = Record->TextureFactor;
        s.DestBlend = Record->DestBlend, s.SrcBlend = Record->SrcBlend, s.BlendOp = Record->BlendOp;
        s.SrcBlendAlpha = Record->SrcBlendAlpha, s.DestBlendAlpha = Record->DestBlendAlpha;
        s.BlendOpAlpha = Record->BlendOpAlpha;
        s.StageNum = Record->TextureNum < 0                ? 0
                     : Record->TextureNum > D3D9_STAGE_NUM ? D3D9_STAGE_NUM
                                                           : Record->TextureNum;
        for (int i = 0; i < s.StageNum; ++i) {
            s.Stage[i] = Record->Stage[i];
            if (HandlesFlag) s.Stage[i].Texture = HandleTexture((int)(intptr_t)Record->Stage[i].Texture);
        }
        FactorConstant(w);
        w.UseShader = false;
        Send(w, TexturesOnly != 0, false);
        return 0;
    }

    if (!Cache.ForceFlag && !Draw.DrawStateChangedFlag) {
        if (!Draw.TextureChangedFlag) return 0;
        RebindTextures(shaders);
        Draw.TextureChangedFlag = 0;
        return 0;
    }
    Draw.DrawStateChangedFlag = 0;
    Draw.TextureChangedFlag = 0;

    const int textureMode = Draw.Texture == nullptr ? 0 : Draw.BlendTexture == nullptr ? 1 : 2;
    const int rowIndex = BlendRow(textureMode);
    const D3D9BlendStateRow &row = D3D9BlendStateTable[rowIndex];
    D3D9DrawStateOutputData &s = w.State;
    s.DestBlend = row.DestBlend, s.SrcBlend = row.SrcBlend, s.BlendOp = row.BlendOp;
    s.AlphaBlendEnable = row.AlphaBlendEnable;
    s.TextureFactor = 0xFFFFFFFF;
    s.SeparateAlphaBlendEnable = 0;
    s.SrcBlendAlpha = s.DestBlendAlpha = s.BlendOpAlpha = -1;
    s.BorderFullFlag = 0;
    for (D3D9DrawStateStage &stage : s.Stage) stage = UnusedStage;
    FactorConstant(w);

    const int alphaVariant = Draw.AlphaChannelFlag                                       ? 1
                             : Draw.AlphaTestFlag || (Cache.ZEnable && textureMode != 2) ? 2
                                                                                         : 0;
    // The x4 stage types read the white graph; making it may draw the batch and close the scene,
    // so it is had before anything is chosen, and the scene opened after.
    IDirect3DBaseTexture9 *white = nullptr;
    if (textureMode == 0 && !shaders && rowIndex != 3 && (row.StageType == 3 || row.StageType == 6)) {
        white = WhiteGraphTexture();
        Direct3DDevice9_BeginSceneIfNeeded();
    }
    if (textureMode == 0)
        NoTexture(w, rowIndex, row.StageType, shaders, white);
    else if (textureMode == 1)
        OneTexture(w, row, row.StageType, alphaVariant, shaders);
    else
        BlendTexture(w, row, row.StageType, alphaVariant);

    // Step 9: the batch buffer of the new texture mode (drawn first if it holds vertices).
    if (textureMode != Out.TextureMode) {
        if (Cache.Batch.VertexNum > 0) Graphics_D3D9_RenderVertexBuffer(0);
        Out.TextureMode = textureMode;
        Graphics_D3D9_ResetVertexBatch();
    }
    Out.BorderFullFlag = s.BorderFullFlag;

    // Step 10: the terminating record, the explicit alpha test and the shadow maps.
    if (s.StageNum < D3D9_STAGE_NUM) ++s.StageNum;
    if (Draw.AlphaTestFunc != -1) SetAlphaTest(w, 1, Draw.AlphaTestRef, Draw.AlphaTestFunc);
    const bool shadowMaps = BindShadowMaps(w);
    if (s.StageNum != Out.StageNum) ResendSamplers();
    Send(w, false, shadowMaps);
    return 0;
}
