// The device-state cache and its setters.
#include "zovuz/d3d9/state/windows/d3d9_device_state_win.h"

#include <cstring>

#include "zovuz/d3d9/d3d9_internal.h"
#include "zovuz/d3d9/device/windows/d3d9_device_win.h"
#include "zovuz/d3d9/shader/windows/d3d9_shader_constant_win.h"
#include "zovuz/d3d9/draw/windows/d3d9_vertex_batch_win.h"
#include "zovuz/d3d9/windows/d3d9_handle_objects_win.h"
#include "zovuz/graphics/zovuz_graphics_backend.h"

D3D9DeviceStateCacheData D3D9DeviceStateCache;

namespace {

D3D9DeviceStateCacheData &Cache = D3D9DeviceStateCache;

bool HasDevice() { return D3D9CallLayer.Device != nullptr; }

// True when a setter must reach the device: the value differs or the force flag is raised.
template <typename T>
bool MustSend(const T &Cached, const T &Value)
{
    return Cache.ForceFlag || !(Cached == Value);
}

// Flushes the batch before a change, unless everything is being sent again.
void FlushBeforeChange()
{
    if (!Cache.ForceFlag) Graphics_Hardware_RenderVertexBuffer(0);
}

// The common shape of a render-state setter.
int SetCachedRenderState(int &Cached, int Value, D3DRENDERSTATETYPE State, DWORD DeviceValue)
{
    if (!MustSend(Cached, Value)) return 0;
    FlushBeforeChange();
    Direct3DDevice9_SetRenderState(State, DeviceValue);
    Cached = Value;
    Cache.ChangedFlag = 1;
    return 0;
}

// The filters a draw mode sets on every stage: magnification, minification, mip.
const DWORD DrawModeFilters[3][3] = {
    {D3DTEXF_POINT, D3DTEXF_POINT, D3DTEXF_NONE},
    {D3DTEXF_LINEAR, D3DTEXF_LINEAR, D3DTEXF_NONE},
    {D3DTEXF_LINEAR, D3DTEXF_ANISOTROPIC, D3DTEXF_LINEAR},
};

// The number of stages a stage-wide sampler setting covers: at least 16, or the device's count.
int SamplerStageNum()
{
    int num = D3D9DeviceCapsInfo.TextureStageNum;
    return num < D3D9_STAGE_NUM ? D3D9_STAGE_NUM : (num > D3D9_STAGE_NUM ? D3D9_STAGE_NUM : num);
}

void SendSamplerFilters(int Stage, const DWORD Filters[3])
{
    D3D9SamplerStateData &s = Cache.Sampler[Stage];
    if (MustSend(s.MagFilter, Filters[0])) Direct3DDevice9_SetSamplerState(Stage, D3DSAMP_MAGFILTER, Filters[0]);
    if (MustSend(s.MinFilter, Filters[1])) Direct3DDevice9_SetSamplerState(Stage, D3DSAMP_MINFILTER, Filters[1]);
    if (MustSend(s.MipFilter, Filters[2])) Direct3DDevice9_SetSamplerState(Stage, D3DSAMP_MIPFILTER, Filters[2]);
    s.MagFilter = Filters[0];
    s.MinFilter = Filters[1];
    s.MipFilter = Filters[2];
}

// One address mode (U, V or W) for one stage or, with Stage -1, all stages compared four at a time.
int SetAddress(DWORD D3D9SamplerStateData::*Field, D3DSAMPLERSTATETYPE Type, int Mode, int Stage)
{
    if (!HasDevice()) return 0;
    if (Stage >= D3D9_STAGE_NUM) return 0;
    int first = Stage < 0 ? 0 : Stage, last = Stage < 0 ? D3D9_STAGE_NUM : Stage + 1;
    for (int block = first; block < last; block += 4) {
        int end = block + 4 < last ? block + 4 : last;
        bool differs = Cache.ForceFlag != 0;
        for (int i = block; i < end && !differs; ++i) differs = Cache.Sampler[i].*Field != (DWORD)Mode;
        if (!differs) continue;
        FlushBeforeChange();
        for (int i = block; i < end; ++i) {
            Direct3DDevice9_SetSamplerState(i, Type, (DWORD)Mode);
            Cache.Sampler[i].*Field = (DWORD)Mode;
        }
        Cache.ChangedFlag = 1;
    }
    return 0;
}

}  // namespace

// ---- Render states ------------------------------------------------------------------------------

int Graphics_D3D9_DeviceState_SetZEnable(int Flag)
{
    if (!HasDevice()) return -1;
    return SetCachedRenderState(Cache.ZEnable, Flag, D3DRS_ZENABLE, Flag == 1 ? D3DZB_TRUE : D3DZB_FALSE);
}

int Graphics_D3D9_DeviceState_SetZWriteEnable(int Flag)
{
    if (!HasDevice()) return -1;
    return SetCachedRenderState(Cache.ZWriteEnable, Flag, D3DRS_ZWRITEENABLE, (DWORD)Flag);
}

int Graphics_D3D9_DeviceState_SetZFunc(int CmpFunc)
{
    if (!HasDevice()) return -1;
    return SetCachedRenderState(Cache.ZFunc, CmpFunc, D3DRS_ZFUNC, (DWORD)CmpFunc);
}

int Graphics_D3D9_DeviceState_SetDepthBias(int Bias)
{
    if (!HasDevice()) return -1;
    return SetCachedRenderState(Cache.DepthBias, Bias, D3DRS_DEPTHBIAS, (DWORD)Bias);
}

int Graphics_D3D9_DeviceState_SetFillMode(int FillMode)
{
    if (!HasDevice()) return -1;
    return SetCachedRenderState(Cache.FillMode, FillMode, D3DRS_FILLMODE, (DWORD)FillMode);
}

int Graphics_D3D9_DeviceState_SetCullMode(int Mode)
{
    if (!HasDevice()) return 0;
    static const DWORD cull[3] = {D3DCULL_NONE, D3DCULL_CCW, D3DCULL_CW};
    if (Mode < 0 || Mode > 2) return -1;
    return SetCachedRenderState(Cache.CullMode, Mode, D3DRS_CULLMODE, cull[Mode]);
}

int Graphics_D3D9_DeviceState_SetShadeMode(int ShadeMode, int NoFlush)
{
    if (!HasDevice()) return 0;
    if (NoFlush) {
        Direct3DDevice9_SetRenderState(D3DRS_SHADEMODE, (DWORD)ShadeMode);
        Cache.ShadeMode = ShadeMode;
        Cache.ChangedFlag = 1;
        return 0;
    }
    return SetCachedRenderState(Cache.ShadeMode, ShadeMode, D3DRS_SHADEMODE, (DWORD)ShadeMode);
}

int Graphics_D3D9_DeviceState_SetSpecularEnable(int Flag)
{
    if (!HasDevice()) return 0;
    return SetCachedRenderState(Cache.SpecularEnable, Flag, D3DRS_SPECULARENABLE, (DWORD)Flag);
}

// ---- Samplers --------------------------------------------------------------------------------------

int Graphics_D3D9_DeviceState_SetDrawMode(int DrawMode)
{
    if (!HasDevice()) return -1;
    if (DrawMode < 0 || DrawMode > 2) return -1;
    if (!MustSend(Cache.DrawMode, DrawMode)) return 0;
    FlushBeforeChange();
    for (int stage = 0; stage < SamplerStageNum(); ++stage) SendSamplerFilters(stage, DrawModeFilters[DrawMode]);
    Cache.DrawMode = DrawMode;
    Cache.ChangedFlag = 1;
    return 0;
}

int Graphics_D3D9_DeviceState_SetSamplerFilter(int Sampler, int Which, int Filter)
{
    if (!HasDevice() || Sampler < 0 || Sampler >= D3D9_STAGE_NUM) return 0;
    D3D9SamplerStateData &s = Cache.Sampler[Sampler];
    DWORD *cached = Which == D3DSAMP_MAGFILTER   ? &s.MagFilter
                    : Which == D3DSAMP_MINFILTER ? &s.MinFilter
                    : Which == D3DSAMP_MIPFILTER ? &s.MipFilter
                                                 : nullptr;
    if (cached == nullptr) return -1;
    Cache.DrawMode = D3D9_DRAW_MODE_NONE;
    if (!MustSend(*cached, (DWORD)Filter)) return 0;
    FlushBeforeChange();
    Direct3DDevice9_SetSamplerState(Sampler, (D3DSAMPLERSTATETYPE)Which, (DWORD)Filter);
    *cached = (DWORD)Filter;
    Cache.ChangedFlag = 1;
    return 0;
}

int Graphics_D3D9_DeviceState_SetMaxAnisotropy(int MaxAnisotropy, int Sampler)
{
    if (!HasDevice()) return 0;
    if (Sampler < 0) {
        if (MaxAnisotropy < 1) MaxAnisotropy = 1;
        int num = D3D9DeviceCapsInfo.TextureStageNum < 4 ? 4 : D3D9DeviceCapsInfo.TextureStageNum;
        if (num > D3D9_STAGE_NUM) num = D3D9_STAGE_NUM;
        bool flushed = false;
        for (int i = 0; i < num; ++i) {
            if (!MustSend(Cache.Sampler[i].MaxAnisotropy, MaxAnisotropy)) continue;
            if (!flushed) FlushBeforeChange();
            flushed = true;
            Direct3DDevice9_SetSamplerState(i, D3DSAMP_MAXANISOTROPY, (DWORD)MaxAnisotropy);
            Cache.Sampler[i].MaxAnisotropy = MaxAnisotropy;
            Cache.ChangedFlag = 1;
        }
        Cache.MaxAnisotropyAll = MaxAnisotropy;
        return 0;
    }
    if (Sampler >= D3D9_STAGE_NUM) return 0;
    Cache.MaxAnisotropyAll = -1;
    if (!MustSend(Cache.Sampler[Sampler].MaxAnisotropy, MaxAnisotropy)) return 0;
    FlushBeforeChange();
    Direct3DDevice9_SetSamplerState(Sampler, D3DSAMP_MAXANISOTROPY, (DWORD)MaxAnisotropy);
    Cache.Sampler[Sampler].MaxAnisotropy = MaxAnisotropy;
    Cache.ChangedFlag = 1;
    return 0;
}

int Graphics_D3D9_DeviceState_SetTextureAddressU(int AddressMode, int Stage)
{
    return SetAddress(&D3D9SamplerStateData::AddressU, D3DSAMP_ADDRESSU, AddressMode, Stage);
}

int Graphics_D3D9_DeviceState_SetTextureAddressV(int AddressMode, int Stage)
{
    return SetAddress(&D3D9SamplerStateData::AddressV, D3DSAMP_ADDRESSV, AddressMode, Stage);
}

int Graphics_D3D9_DeviceState_SetTextureAddressW(int AddressMode, int Stage)
{
    return SetAddress(&D3D9SamplerStateData::AddressW, D3DSAMP_ADDRESSW, AddressMode, Stage);
}

int Graphics_D3D9_DeviceState_SetTextureAddress(int AddressMode, int Stage)
{
    return Graphics_D3D9_DeviceState_SetTextureAddressUVW(AddressMode, AddressMode, AddressMode, Stage);
}

int Graphics_D3D9_DeviceState_SetTextureAddressUVW(int AddressModeU, int AddressModeV, int AddressModeW, int Stage)
{
    Graphics_D3D9_DeviceState_SetTextureAddressU(AddressModeU, Stage);
    Graphics_D3D9_DeviceState_SetTextureAddressV(AddressModeV, Stage);
    Graphics_D3D9_DeviceState_SetTextureAddressW(AddressModeW, Stage);
    return 0;
}

int Graphics_D3D9_DeviceState_SetTextureTransform(int UseFlag, const D3DMATRIX *Matrix, int Stage)
{
    if (!HasDevice()) return -1;
    if (Stage < 0) {
        for (int i = 0; i < 4; ++i) Graphics_D3D9_DeviceState_SetTextureTransform(UseFlag, Matrix, i);
        return 0;
    }
    if (Stage >= D3D9DeviceCapsInfo.TextureStageNum || Stage >= D3D9_TEXTURE_TRANSFORM_STAGE_NUM) return 0;
    if (!UseFlag && !Cache.TextureTransformEnable[Stage] && !Cache.ForceFlag) return 0;
    FlushBeforeChange();
    Direct3DDevice9_SetTextureStageState(Stage, D3DTSS_TEXTURETRANSFORMFLAGS,
                                         UseFlag ? D3DTTFF_COUNT3 : D3DTTFF_DISABLE);
    Cache.TextureTransformEnable[Stage] = UseFlag ? 1 : 0;
    if (UseFlag && Matrix != nullptr) {
        Direct3DDevice9_SetTransform((D3DTRANSFORMSTATETYPE)(D3DTS_TEXTURE0 + Stage), Matrix);
        Cache.TextureTransform[Stage] = *Matrix;
    }
    Cache.ChangedFlag = 1;
    return 0;
}

// ---- Geometry and shaders ---------------------------------------------------------------------------

int Graphics_D3D9_DeviceState_SetFVF(DWORD FVF)
{
    if (!HasDevice()) return -1;
    if (Cache.VertexDeclaration != nullptr) {
        FlushBeforeChange();
        Direct3DDevice9_SetVertexDeclaration(nullptr);
        Cache.VertexDeclaration = nullptr;
    } else if (FVF == 0 && !MustSend(Cache.FVF, FVF)) {
        return 0;
    }
    // A non-zero FVF is always sent: a shader or declaration change elsewhere may have replaced it.
    FlushBeforeChange();
    Direct3DDevice9_SetFVF(FVF);
    Cache.FVF = FVF;
    Cache.ChangedFlag = 1;
    return 0;
}

int Graphics_D3D9_DeviceState_SetVertexDeclaration(IDirect3DVertexDeclaration9 *Declaration)
{
    if (!HasDevice()) return -1;
    if (!MustSend(Cache.VertexDeclaration, Declaration)) return 0;
    FlushBeforeChange();
    Direct3DDevice9_SetVertexDeclaration(Declaration);
    Cache.VertexDeclaration = Declaration;
    Cache.FVF = 0;
    Cache.ChangedFlag = 1;
    return 0;
}

int Graphics_D3D9_DeviceState_SetVertexShader(IDirect3DVertexShader9 *Shader, int LibraryFlag)
{
    if (!HasDevice()) return -1;
    if (!MustSend(Cache.VertexShader, Shader)) {
        Cache.VertexShaderLibraryFlag = LibraryFlag;
        return 0;
    }
    FlushBeforeChange();
    Direct3DDevice9_SetVertexShader(Shader);
    Cache.VertexShader = Shader;
    Cache.VertexShaderLibraryFlag = LibraryFlag;
    Cache.ChangedFlag = 1;
    return 0;
}

int Graphics_D3D9_DeviceState_SetPixelShader(IDirect3DPixelShader9 *Shader, int LibraryFlag)
{
    if (!HasDevice()) return -1;
    if (!MustSend(Cache.PixelShader, Shader)) {
        Cache.PixelShaderLibraryFlag = LibraryFlag;
        return 0;
    }
    FlushBeforeChange();
    Direct3DDevice9_SetPixelShader(Shader);
    Cache.PixelShader = Shader;
    Cache.PixelShaderLibraryFlag = LibraryFlag;
    // The library's own pixel shaders belong to the draw state, which tracks them itself.
    if (!LibraryFlag) Cache.ChangedFlag = 1;
    return 0;
}

int Graphics_D3D9_DeviceState_ResetVertexShader(int KeepLibraryShader)
{
    if (!HasDevice()) return -1;
    if (KeepLibraryShader && Cache.VertexShaderLibraryFlag) return 0;
    Graphics_D3D9_DeviceState_SetVertexShader(nullptr, 0);
    Graphics_D3D9_DeviceState_SetVertexDeclaration(nullptr);
    return 0;
}

int Graphics_D3D9_DeviceState_ResetPixelShader(int KeepLibraryShader)
{
    if (!HasDevice()) return -1;
    if (KeepLibraryShader && Cache.PixelShaderLibraryFlag) return 0;
    return Graphics_D3D9_DeviceState_SetPixelShader(nullptr, 0);
}

int Graphics_D3D9_DeviceState_SetVertexBuffer(IDirect3DVertexBuffer9 *Buffer, int Stride)
{
    if (!HasDevice()) return -1;
    if (!MustSend(Cache.VertexBuffer, Buffer) && Cache.VertexStride == Stride) return 0;
    if (Buffer != nullptr) {
        FlushBeforeChange();
        Direct3DDevice9_SetStreamSource(0, Buffer, 0, (UINT)Stride);
        Cache.ChangedFlag = 1;
    }
    Cache.VertexBuffer = Buffer;
    Cache.VertexStride = Stride;
    return 0;
}

int Graphics_D3D9_DeviceState_SetIndexBuffer(IDirect3DIndexBuffer9 *Buffer)
{
    if (!HasDevice()) return -1;
    if (!MustSend(Cache.IndexBuffer, Buffer)) return 0;
    if (Buffer != nullptr) {
        FlushBeforeChange();
        Direct3DDevice9_SetIndices(Buffer);
        Cache.ChangedFlag = 1;
    }
    Cache.IndexBuffer = Buffer;
    return 0;
}

// ---- Targets and areas ------------------------------------------------------------------------------

int Graphics_D3D9_DeviceState_SetRenderTarget(IDirect3DSurface9 *Surface, int Index)
{
    if (!HasDevice()) return -1;
    if (Index < 0 || Index >= D3D9_RENDER_TARGET_NUM || (Index == 0 && Surface == nullptr)) return -1;
    if (!MustSend(Cache.RenderTarget[Index], Surface)) return 0;
    FlushBeforeChange();
    Direct3DDevice9_SetRenderTarget((DWORD)Index, Surface);
    Cache.RenderTarget[Index] = Surface;
    if (Index == 0) {
        D3DSURFACE_DESC desc = {};
        Direct3DSurface9_GetDesc(Surface, &desc);
        Graphics_D3D9_DeviceState_SetViewportRect(0, 0, (int)desc.Width, (int)desc.Height);
    }
    return 0;
}

int Graphics_D3D9_SetViewport(const D3DVIEWPORT9 *Viewport)
{
    if (!HasDevice() || Viewport == nullptr) return -1;
    const D3DVIEWPORT9 &v = Cache.Viewport;
    if (!Cache.ForceFlag && v.X == Viewport->X && v.Y == Viewport->Y && v.Width == Viewport->Width &&
        v.Height == Viewport->Height)
        return 0;
    FlushBeforeChange();
    Direct3DDevice9_EndSceneIfNeeded();
    HRESULT hr = Direct3DDevice9_SetViewport(Viewport);
    if (hr != D3D_OK) {
        AddLogFormat(L"ビューポートのセットに失敗しました ErrorCode %x\n", (unsigned)hr);
        return -1;
    }
    Cache.Viewport = *Viewport;
    Cache.ChangedFlag = 1;
    return 0;
}

int Graphics_D3D9_DeviceState_SetViewportRect(int x1, int y1, int x2, int y2)
{
    D3DVIEWPORT9 viewport = {};
    viewport.X = (DWORD)x1;
    viewport.Y = (DWORD)y1;
    viewport.Width = (DWORD)(x2 - x1);
    viewport.Height = (DWORD)(y2 - y1);
    viewport.MinZ = 0.0f;
    viewport.MaxZ = 1.0f;
    return Graphics_D3D9_SetViewport(&viewport);
}

int Graphics_D3D9_DeviceState_SetScissorRect(const RECT *Rect)
{
    if (!HasDevice() || Rect == nullptr) return -1;
    const RECT &r = Cache.ScissorRect;
    if (!Cache.ForceFlag && r.left == Rect->left && r.top == Rect->top && r.right == Rect->right &&
        r.bottom == Rect->bottom)
        return 0;
    FlushBeforeChange();
    Direct3DDevice9_EndSceneIfNeeded();
    Direct3DDevice9_SetScissorRect(Rect);
    Cache.ScissorRect = *Rect;
    Cache.ChangedFlag = 1;
    return 0;
}

// ---- Initialisation and send-all --------------------------------------------------------------------

namespace {

// Step 5 of the initialisation: nothing on any stage.
void ClearDrawStateOutputs()
{
    Cache.Out = D3D9DrawStateOutputData();
    Cache.Out.AlphaFunc = D3DCMP_ALWAYS;
    for (D3D9DrawStateStage &s : Cache.Out.Stage)
        s = {nullptr, 0, 0, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_DISABLE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_DISABLE};
    Cache.Out.TextureMode = 1;
}

// The front end's address mode of a stage, 0 read as clamp.
int FrontAddress(const int *Modes, int Stage) { return Modes[Stage] != 0 ? Modes[Stage] : D3DTADDRESS_CLAMP; }

void SetBaseConstants()
{
    static const float vertexBase[4] = {0.0f, 1.0f, 0.0f, 0.0f}, pixelBase[4] = {0.0f, 0.5f, 1.0f, 2.0f};
    Graphics_D3D9_ShaderConstant_Set(&ShaderConstantManager, D3D9_CONSTANT_VS_FLOAT, 0, 0, vertexBase, 1, 1);
    Graphics_D3D9_ShaderConstant_Set(&ShaderConstantManager, D3D9_CONSTANT_PS_FLOAT, 0, 0, pixelBase, 1, 1);
}

}  // namespace

int Graphics_D3D9_InitializeDeviceState(void)
{
    if (!HasDevice()) return -1;
    if (const GraphFilterFunctions *filters = GetGraphFilterFunctions())
        if (filters->ResetShaderHandles != nullptr) filters->ResetShaderHandles();
    Cache = D3D9DeviceStateCacheData();
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    Graphics_D3D9_InitializeVertexBatch();
    // The cache starts anew but the front end's draw bright and blend settings stay (after graphics
    // are started again they are not set again): the colour drawing scales by is taken from them.
    Graphics_D3D9_UpdateDiffuseColor();

    // Samplers: addresses from the front end; the draw mode's filters follow the draw-mode table,
    // so that start-up and a later change of mode agree on the mip filter.
    int drawMode = d.DrawMode;
    for (int stage = 0; stage < D3D9_STAGE_NUM; ++stage) {
        D3D9SamplerStateData &s = Cache.Sampler[stage];
        s.AddressU = (DWORD)FrontAddress(d.TexAddressModeU, stage);
        s.AddressV = (DWORD)FrontAddress(d.TexAddressModeV, stage);
        s.AddressW = (DWORD)FrontAddress(d.TexAddressModeW, stage);
        Direct3DDevice9_SetSamplerState(stage, D3DSAMP_ADDRESSU, s.AddressU);
        Direct3DDevice9_SetSamplerState(stage, D3DSAMP_ADDRESSV, s.AddressV);
        Direct3DDevice9_SetSamplerState(stage, D3DSAMP_ADDRESSW, s.AddressW);
        if (drawMode >= 0 && drawMode <= 2) {
            Cache.ForceFlag = 1;
            SendSamplerFilters(stage, DrawModeFilters[drawMode]);
            Cache.ForceFlag = 0;
        }
        Direct3DDevice9_SetSamplerState(stage, D3DSAMP_MAXANISOTROPY, 1);
        s.MaxAnisotropy = 1;
    }
    for (int i = 0; i < 4; ++i) {
        DWORD sampler = D3DVERTEXTEXTURESAMPLER0 + i;
        Direct3DDevice9_SetSamplerState(sampler, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
        Direct3DDevice9_SetSamplerState(sampler, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
        Direct3DDevice9_SetSamplerState(sampler, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
        Direct3DDevice9_SetSamplerState(sampler, D3DSAMP_MINFILTER, D3DTEXF_POINT);
        Direct3DDevice9_SetSamplerState(sampler, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
    }

    // Render states.
    Direct3DDevice9_SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    Direct3DDevice9_SetRenderState(D3DRS_LIGHTING, TRUE);
    Direct3DDevice9_SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
    Direct3DDevice9_SetRenderState(D3DRS_DITHERENABLE, FALSE);
    Direct3DDevice9_SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    Direct3DDevice9_SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL);
    Direct3DDevice9_SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
    Direct3DDevice9_SetRenderState(D3DRS_FOGENABLE, FALSE);
    Direct3DDevice9_SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_NONE);
    Direct3DDevice9_SetRenderState(D3DRS_FOGCOLOR, 0);
    float fogStart = 0.0f, fogEnd = 1.0f;
    DWORD bits;
    std::memcpy(&bits, &fogStart, sizeof bits);
    Direct3DDevice9_SetRenderState(D3DRS_FOGSTART, bits);
    std::memcpy(&bits, &fogEnd, sizeof bits);
    Direct3DDevice9_SetRenderState(D3DRS_FOGEND, bits);
    Direct3DDevice9_GetMaterial(&Cache.Material);

    ClearDrawStateOutputs();

    // Cached values.
    Cache.Lighting = 1;
    Cache.MaxAnisotropyAll = 1;
    Cache.ShadeMode = D3DSHADE_FLAT;
    Cache.ZEnable = 1;
    Cache.ZWriteEnable = 0;
    Cache.ZFunc = D3DCMP_LESSEQUAL;
    Cache.DepthBias = 0;
    Cache.FillMode = D3DFILL_SOLID;
    Cache.CullMode = 0;
    Cache.SpecularEnable = 1;
    Cache.FogEnable = 0;
    Cache.FogColor = 0;
    Cache.FogMode = D3DFOG_NONE;
    Cache.FogStart = 0.0f;
    Cache.FogEnd = 1.0f;
    Cache.LightEnableMax = -1;
    std::memcpy(&Cache.View, &d.Matrix.ViewF, sizeof Cache.View);
    int width = GraphicsScreenSettings.MainScreenWidth, height = GraphicsScreenSettings.MainScreenHeight;
    if (width <= 0 || height <= 0) width = 640, height = 480;
    Cache.Viewport = {0, 0, (DWORD)width, (DWORD)height, 0.0f, 1.0f};
    Cache.ScissorRect = {0, 0, width, height};
    Cache.DrawMode = D3D9_DRAW_MODE_NONE;
    Cache.RenderTarget[0] = D3D9DeviceCapsInfo.BackBuffer;
    D3D9DrawSettingData &draw = Cache.Draw;
    draw.BorderParam = -1;
    draw.AlphaTestFunc = -1;
    draw.DrawStateChangedFlag = 1;
    Cache.InitializedFlag = 1;

    Graphics_D3D9_DeviceState_SendAll();
    Direct3DDevice9_BeginSceneIfNeeded();
    Graphics_D3D9_PrepareDraw(0);
    Graphics_D3D9_ResetVertexBatch();
    return 0;
}

int Graphics_D3D9_DeviceState_SendAll(void)
{
    if (!HasDevice()) return -1;
    // Before the first initialisation the cache holds nothing worth sending.
    if (!Cache.InitializedFlag) return 0;
    Cache.ForceFlag = 1;
    Cache.ChangedFlag = 1;
    Graphics_D3D9_DeviceState_SetFogEnable(Cache.FogEnable);
    D3DVIEWPORT9 viewport = Cache.Viewport;
    Graphics_D3D9_SetViewport(&viewport);
    RECT scissor = Cache.ScissorRect;
    Graphics_D3D9_DeviceState_SetScissorRect(&scissor);
    Graphics_D3D9_DrawSetting_SetTexture(Cache.Draw.Texture);
    Graphics_D3D9_DeviceState_SetBaseState();
    if (Cache.DrawMode >= 0 && Cache.DrawMode <= 2) Graphics_D3D9_DeviceState_SetDrawMode(Cache.DrawMode);
    Graphics_D3D9_ApplyDrawState(nullptr, 0, 0, 0);
    Graphics_D3D9_ApplyDrawState(nullptr, 0, 0, 1);
    Graphics_D3D9_DeviceState_SetZEnable(Cache.ZEnable);
    Graphics_D3D9_DeviceState_SetZWriteEnable(Cache.ZWriteEnable);
    Graphics_D3D9_DeviceState_SetZFunc(Cache.ZFunc);
    Graphics_D3D9_DeviceState_SetDepthBias(Cache.DepthBias);
    Graphics_D3D9_DeviceState_SetFillMode(Cache.FillMode);
    Graphics_D3D9_DeviceState_SetCullMode(Cache.CullMode);
    Graphics_D3D9_DeviceState_SetShadeMode(Cache.ShadeMode, 0);
    D3DMATERIAL9 material = Cache.Material;
    Graphics_D3D9_DeviceState_SetMaterial(&material);
    Graphics_D3D9_DeviceState_SetSpecularEnable(Cache.SpecularEnable);
    Graphics_D3D9_DeviceState_SetDiffuseMaterialSource(Cache.DiffuseMaterialSource);
    Graphics_D3D9_DeviceState_SetSpecularMaterialSource(Cache.SpecularMaterialSource);
    // The device lost every shader constant with its state: send what was last sent of each type.
    for (int type = 0; type < D3D9_CONSTANT_TYPE_NUM; ++type)
        Graphics_D3D9_ShaderConstant_Upload(&ShaderConstantManager, type, 0, ShaderConstantManager.Mirror[type].Values,
                                            Graphics_D3D9_ShaderConstant_RegisterNum(type));
    Cache.ForceFlag = 0;
    return 0;
}

int Graphics_D3D9_DeviceState_SetBaseState(void)
{
    if (!HasDevice()) return -1;
    FlushBeforeChange();
    static const int texCoord[4] = {0, 1, 1, 0};
    for (int stage = 0; stage < 4; ++stage) {
        Direct3DDevice9_SetSamplerState(stage, D3DSAMP_ADDRESSU, Cache.Sampler[stage].AddressU);
        Direct3DDevice9_SetSamplerState(stage, D3DSAMP_ADDRESSV, Cache.Sampler[stage].AddressV);
        Direct3DDevice9_SetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, (DWORD)texCoord[stage]);
        Cache.Out.Stage[stage].TexCoordIndex = texCoord[stage];
        if (D3D9DeviceCapsInfo.ResultArgumentFlag) {
            Direct3DDevice9_SetTextureStageState(stage, D3DTSS_RESULTARG, D3DTA_CURRENT);
            Cache.Out.Stage[stage].ResultArg = 0;
        }
    }
    Direct3DDevice9_SetRenderState(D3DRS_SHADEMODE, (DWORD)Cache.ShadeMode);
    Direct3DDevice9_SetRenderState(D3DRS_LIGHTING, (DWORD)Cache.Lighting);
    Direct3DDevice9_SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    Cache.CullMode = 0;
    Direct3DDevice9_SetRenderState(D3DRS_DITHERENABLE, FALSE);
    SetBaseConstants();
    if (Cache.VertexShader != nullptr && !Cache.VertexShaderLibraryFlag) {
        Direct3DDevice9_SetVertexShader(nullptr);
        Cache.VertexShader = nullptr;
    }
    if (Cache.VertexDeclaration != nullptr) {
        Direct3DDevice9_SetVertexDeclaration(nullptr);
        Cache.VertexDeclaration = nullptr;
    }
    if (Cache.PixelShader != nullptr && !Cache.PixelShaderLibraryFlag) {
        Direct3DDevice9_SetPixelShader(nullptr);
        Cache.PixelShader = nullptr;
    }
    Cache.VertexBuffer = nullptr;
    Cache.IndexBuffer = nullptr;
    return 0;
}

int Graphics_D3D9_DeviceState_Refresh(void)
{
    if (!HasDevice()) return -1;
    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    Direct3DDevice9_SetRenderState(D3DRS_DITHERENABLE, FALSE);
    Cache.ForceFlag = 1;
    Cache.ChangedFlag = 1;
    Cache.Draw.Texture = nullptr;
    Graphics_D3D9_ResetVertexBatch();

    D3D9DrawSettingData &draw = Cache.Draw;
    Graphics_D3D9_DrawSetting_SetBlendMode(draw.BlendMode, draw.AlphaTestFlag, draw.AlphaChannelFlag);
    Graphics_D3D9_DrawSetting_SetIgnoreColor(draw.IgnoreColorFlag);
    Graphics_D3D9_DeviceState_SetCullMode(Cache.CullMode);
    if (d.DrawMode >= 0 && d.DrawMode <= 2) Graphics_D3D9_DeviceState_SetDrawMode(d.DrawMode);
    Graphics_D3D9_DeviceState_SetShadeMode(Cache.ShadeMode, 0);
    Graphics_D3D9_DeviceState_SetMaxAnisotropy(d.MaxAnisotropy, -1);
    for (int stage = 0; stage < D3D9_TEXTURE_TRANSFORM_STAGE_NUM; ++stage) {
        Graphics_D3D9_DeviceState_SetTextureAddressUVW(FrontAddress(d.TexAddressModeU, stage),
                                                       FrontAddress(d.TexAddressModeV, stage),
                                                       FrontAddress(d.TexAddressModeW, stage), stage);
        D3DMATRIX matrix = Cache.TextureTransform[stage];
        Graphics_D3D9_DeviceState_SetTextureTransform(Cache.TextureTransformEnable[stage], &matrix, stage);
    }
    Graphics_D3D9_DeviceState_SetFogEnable(d.FogEnable);
    Graphics_D3D9_DeviceState_SetFogMode(d.FogMode);
    Graphics_D3D9_DeviceState_SetFogColor(d.FogColor);
    Graphics_D3D9_DeviceState_SetFogStartEnd(d.FogStart, d.FogEnd);
    Graphics_D3D9_DeviceState_SetFogDensity(Cache.FogDensity);
    Graphics_D3D9_DeviceState_SetZEnable(d.Z2D.TestFlag ? 1 : 0);
    Graphics_D3D9_DeviceState_SetZWriteEnable(d.Z2D.WriteFlag ? 1 : 0);
    Graphics_D3D9_DeviceState_SetZFunc(d.Z2D.CompareFunction);
    Graphics_D3D9_DeviceState_SetDepthBias(d.Z2D.Bias);
    Graphics_D3D9_DeviceState_SetFillMode(d.FillMode);
    D3DMATERIAL9 material;
    std::memcpy(&material, &d.Material, sizeof material);
    Graphics_D3D9_DeviceState_SetMaterial(&material);
    D3DMATRIX matrix;
    std::memcpy(&matrix, &d.Matrix.ViewF, sizeof matrix);
    Graphics_D3D9_DeviceState_SetViewMatrix(&matrix);
    std::memcpy(&matrix, &d.Matrix.WorldF, sizeof matrix);
    Direct3DDevice9_SetTransform(D3DTS_WORLD, &matrix);
    Graphics_Hardware_SetTransformToProjection(nullptr);
    Graphics_D3D9_DeviceState_SetSpecularEnable(Cache.SpecularEnable);
    Graphics_D3D9_DeviceState_SetDiffuseMaterialSource(Cache.DiffuseMaterialSource);
    Graphics_D3D9_DeviceState_SetSpecularMaterialSource(Cache.SpecularMaterialSource);
    Graphics_D3D9_DeviceState_SetAmbientLight(Cache.Ambient);
    Direct3DDevice9_SetRenderState(D3DRS_LIGHTING, (DWORD)Cache.Lighting);
    for (int i = 0; i < D3D9_LIGHT_NUM; ++i) {
        if (Cache.Light[i].Type == 0) continue;
        D3DLIGHT9 light = Cache.Light[i];
        Graphics_D3D9_DeviceState_SetLight(i, &light);
        Graphics_D3D9_DeviceState_SetLightEnable(i, Cache.LightEnable[i]);
    }
    const ImageRect &area = d.DrawArea;
    if (area.right > area.left && area.bottom > area.top)
        Graphics_D3D9_DeviceState_SetViewportRect(area.left, area.top, area.right, area.bottom);
    RECT scissor = Cache.ScissorRect;
    Graphics_D3D9_DeviceState_SetScissorRect(&scissor);
    for (int stage = 0; stage < D3D9DeviceCapsInfo.TextureStageNum && stage < D3D9_STAGE_NUM; ++stage) {
        Direct3DDevice9_SetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, (DWORD)stage);
        Cache.Out.Stage[stage].TexCoordIndex = stage;
    }
    Graphics_D3D9_ApplyDrawState(nullptr, 0, 0, 0);
    Graphics_D3D9_ApplyDrawState(nullptr, 0, 0, 1);
    Graphics_D3D9_DeviceState_SendAll();
    Cache.ForceFlag = 0;
    return 0;
}

int Graphics_D3D9_DeviceState_SetDrawState(const D3D9DrawStateRecord *Record, int TexturesOnly, int HandlesFlag,
                                           int MayUseShaders)
{
    if (!HasDevice()) return -1;
    Graphics_D3D9_ApplyDrawState(Record, TexturesOnly, HandlesFlag, MayUseShaders);
    Cache.Draw.DrawStateChangedFlag = 1;
    Cache.Draw.TextureChangedFlag = 1;
    Cache.ChangedFlag = 1;
    return 0;
}

int Graphics_D3D9_DeviceState_SetVertexShaderToHandle(int ShaderHandle)
{
    ShaderHandleData *shader = GetShaderEntry(ShaderHandle, 0);
    if (shader == nullptr || !shader->IsVertexShader || shader->PF == nullptr) return -1;
    return Graphics_D3D9_DeviceState_SetVertexShader(D3D9ShaderObjectsOf(shader)->Vertex, 0);
}

int Graphics_D3D9_InitializeDeviceStateEntry(void) { return Graphics_D3D9_InitializeDeviceState(); }
