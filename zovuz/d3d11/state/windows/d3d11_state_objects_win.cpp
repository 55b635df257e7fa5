// The state objects made from the device-state cache's descriptions just before each draw. The
// descriptions the library uses all the time are looked up in fixed caches indexed by their few
// varying fields, so each is created once per device; any other description gets a private object,
// released when it is replaced.
#include <string.h>

#include <cfloat>

#include "zovuz/d3d11/state/windows/d3d11_buffers_win.h"
#include "zovuz/d3d11/state/windows/d3d11_device_state_win.h"

static_assert(D3D11_BLEND_ZERO == D3D11_BLENDV_ZERO && D3D11_BLEND_ONE == D3D11_BLENDV_ONE &&
                  D3D11_BLEND_SRC_COLOR == D3D11_BLENDV_SRC_COLOR && D3D11_BLEND_SRC_ALPHA == D3D11_BLENDV_SRC_ALPHA &&
                  D3D11_BLEND_INV_SRC_ALPHA == D3D11_BLENDV_INV_SRC_ALPHA &&
                  D3D11_BLEND_INV_DEST_ALPHA == D3D11_BLENDV_INV_DEST_ALPHA &&
                  D3D11_BLEND_INV_DEST_COLOR == D3D11_BLENDV_INV_DEST_COLOR,
              "the presets' blend values are the platform's");
static_assert(D3D11_BLEND_OP_ADD == D3D11_BLENDOPV_ADD && D3D11_BLEND_OP_REV_SUBTRACT == D3D11_BLENDOPV_REV_SUBTRACT,
              "the presets' operations are the platform's");

namespace {

D3D11DeviceStateCache &S = D3D11DeviceState;

void Log(const wchar_t *Line) { AddLogStringWide(Line); }

bool KeepsDefaultStencil(const D3D11_DEPTH_STENCIL_DESC &D)
{
    auto face = [](const D3D11_DEPTH_STENCILOP_DESC &F) {
        return F.StencilFailOp == D3D11_STENCIL_OP_KEEP && F.StencilDepthFailOp == D3D11_STENCIL_OP_KEEP &&
               F.StencilPassOp == D3D11_STENCIL_OP_KEEP && F.StencilFunc == D3D11_COMPARISON_ALWAYS;
    };
    return !D.StencilEnable && D.StencilReadMask == 0xFF && D.StencilWriteMask == 0xFF && face(D.FrontFace) &&
           face(D.BackFace);
}

int RasterizerIndex(const D3D11_RASTERIZER_DESC &D)
{
    if (D.FrontCounterClockwise || D.DepthBias != 0 || D.DepthBiasClamp != 0.0f || D.SlopeScaledDepthBias != 0.0f ||
        D.ScissorEnable || D.AntialiasedLineEnable)
        return -1;
    if (D.FillMode < 2 || D.FillMode > 3 || D.CullMode < 1 || D.CullMode > 3) return -1;
    return D3D11RasterizerCacheIndex(D.FillMode, D.CullMode, D.DepthClipEnable ? 1 : 0, D.MultisampleEnable ? 1 : 0);
}

int DepthStencilIndex(const D3D11_DEPTH_STENCIL_DESC &D)
{
    if (!KeepsDefaultStencil(D) || D.DepthFunc < 1 || D.DepthFunc > 8) return -1;
    return D3D11DepthStencilCacheIndex(D.DepthFunc, D.DepthWriteMask == D3D11_DEPTH_WRITE_MASK_ALL ? 1 : 0,
                                       D.DepthEnable ? 1 : 0);
}

int SamplerIndex(const D3D11_SAMPLER_DESC &D)
{
    if (D.MipLODBias != 0.0f || (D.MaxAnisotropy != 1 && D.MaxAnisotropy != 16) ||
        D.ComparisonFunc != D3D11_COMPARISON_ALWAYS || D.BorderColor[0] != 0.0f || D.BorderColor[1] != 0.0f ||
        D.BorderColor[2] != 0.0f || D.BorderColor[3] != 0.0f || D.MinLOD != -FLT_MAX || D.MaxLOD != FLT_MAX)
        return -1;
    int filter = D3D11SamplerFilterNumber(D.Filter);
    if (filter < 0) return -1;
    auto address = [](D3D11_TEXTURE_ADDRESS_MODE M) { return M >= 1 && M <= 5; };
    if (!address(D.AddressU) || !address(D.AddressV) || !address(D.AddressW)) return -1;
    return D3D11SamplerCacheIndex(filter, D.AddressU, D.AddressV, D.AddressW, D.MaxAnisotropy != 1 ? 1 : 0);
}

D3D11_BLEND_DESC PresetDesc(int Preset)
{
    const D3D11BlendPreset &row = D3D11BlendPresets[Preset];
    D3D11_BLEND_DESC desc = {};
    for (D3D11_RENDER_TARGET_BLEND_DESC &t : desc.RenderTarget) {
        t.BlendEnable = row.Enable;
        t.SrcBlend = (D3D11_BLEND)row.Src;
        t.DestBlend = (D3D11_BLEND)row.Dest;
        t.BlendOp = (D3D11_BLEND_OP)row.Op;
        t.SrcBlendAlpha = (D3D11_BLEND)row.SrcAlpha;
        t.DestBlendAlpha = (D3D11_BLEND)row.DestAlpha;
        t.BlendOpAlpha = (D3D11_BLEND_OP)row.OpAlpha;
        t.RenderTargetWriteMask = D3D11_BLEND_WRITE_MASK_ALL;
    }
    return desc;
}

// The shape every kind shares: drop a private object, then bind the cached object for the index
// (made when missing) or a new private one. Messages: [0] the private creation's, [1] the cache's.
template <typename Object, typename Desc, typename CreateFn, typename ReleaseFn>
int MakeState(const Desc &Description, int Index, Object **Cache, Object *&Bound, int &Owned, CreateFn Create,
              ReleaseFn Release, const wchar_t *const Messages[2])
{
    if (Owned) Release(Bound);
    Bound = nullptr;
    Owned = 0;
    if (Index >= 0) {
        if (Cache[Index] == nullptr && Create(&Description, &Cache[Index]) != S_OK) {
            Cache[Index] = nullptr;
            Log(Messages[1]);
            return -1;
        }
        Bound = Cache[Index];
        return 0;
    }
    Object *object = nullptr;
    if (Create(&Description, &object) != S_OK) {
        Log(Messages[0]);
        return -1;
    }
    Bound = object;
    Owned = 1;
    return 0;
}

template <typename Object, typename ReleaseFn>
void ReleaseAll(Object *&Bound, int &Owned, Object **Cache, int CacheNum, ReleaseFn Release)
{
    if (Owned) Release(Bound);
    Bound = nullptr;
    Owned = 0;
    for (int i = 0; i < CacheNum; i++) {
        if (Cache[i] != nullptr) Release(Cache[i]);
        Cache[i] = nullptr;
    }
}

const wchar_t *const RasterizerMessages[2] = {L"ID3D11RasterizerState の作成に失敗しました　箇所１\n",
                                              L"ID3D11RasterizerState の作成に失敗しました　箇所２\n"};
const wchar_t *const DepthStencilMessages[2] = {L"ID3D11DepthStencilState の作成に失敗しました　箇所１\n",
                                                L"ID3D11DepthStencilState の作成に失敗しました　箇所２\n"};
const wchar_t *const BlendMessages[2] = {L"ID3D11BlendState の作成に失敗しました　箇所１\n",
                                         L"ID3D11BlendState の作成に失敗しました　箇所２\n"};
const wchar_t *const SamplerMessages[2] = {L"ID3D11SamplerState の作成に失敗しました　箇所１\n",
                                           L"ID3D11SamplerState の作成に失敗しました　箇所２\n"};

}  // namespace

int Graphics_D3D11_CreateRasterizerState(void)
{
    if (!S.RasterizerChangedFlag && !S.ForceFlag) return 0;
    S.RasterizerChangedFlag = 0;
    int result = MakeState(S.RasterizerDesc, RasterizerIndex(S.RasterizerDesc), S.RasterizerCache, S.RasterizerState,
                           S.RasterizerOwnedFlag, D3D11Device_CreateRasterizerState, D3D11RasterizerState_Release,
                           RasterizerMessages);
    if (result < 0) return -1;
    D3D11DeviceContext_RSSetState(S.RasterizerState);
    return 0;
}

int Graphics_D3D11_CreateDepthStencilState(void)
{
    if (!S.DepthStencilChangedFlag && !S.ForceFlag) return 0;
    S.DepthStencilChangedFlag = 0;
    int result = MakeState(S.DepthStencilStateDesc, DepthStencilIndex(S.DepthStencilStateDesc), S.DepthStencilCache,
                           S.DepthStencilState, S.DepthStencilOwnedFlag, D3D11Device_CreateDepthStencilState,
                           D3D11DepthStencilState_Release, DepthStencilMessages);
    if (result < 0) return -1;
    D3D11DeviceContext_OMSetDepthStencilState(S.DepthStencilState, 0);
    return 0;
}

int Graphics_D3D11_CreateBlendState(void)
{
    if (!S.BlendChangedFlag && !S.ForceFlag) return 0;
    S.BlendChangedFlag = 0;
    const bool preset = S.BlendPreset >= 0 && S.BlendPreset < D3D11_BLEND_PRESET_NUM;
    const D3D11_BLEND_DESC desc = preset ? PresetDesc(S.BlendPreset) : S.BlendDesc;
    int result = MakeState(desc, preset ? S.BlendPreset : -1, S.BlendCache, S.BlendState, S.BlendOwnedFlag,
                           D3D11Device_CreateBlendState, D3D11BlendState_Release, BlendMessages);
    if (result < 0) return -1;
    const FLOAT factor[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    D3D11DeviceContext_OMSetBlendState(S.BlendState, factor, 0xFFFFFFFF);
    return 0;
}

int Graphics_D3D11_CreateSamplerState(void)
{
    if (!S.AnySamplerChangedFlag && !S.ForceFlag) return 0;
    S.AnySamplerChangedFlag = 0;
    // Consecutive samplers that got new objects go to the device in one call.
    int runStart = 0;
    for (int i = 0; i <= D3D11_SAMPLER_NUM; i++) {
        if (i == D3D11_SAMPLER_NUM || (!S.SamplerChangedFlag[i] && !S.ForceFlag)) {
            if (i > runStart) D3D11DeviceContext_PSSetSamplers(runStart, i - runStart, &S.SamplerState[runStart]);
            runStart = i + 1;
            continue;
        }
        S.SamplerChangedFlag[i] = 0;
        if (MakeState(S.SamplerDesc[i], SamplerIndex(S.SamplerDesc[i]), S.SamplerCache, S.SamplerState[i],
                      S.SamplerOwnedFlag[i], D3D11Device_CreateSamplerState, D3D11SamplerState_Release,
                      SamplerMessages) < 0)
            return -1;
    }
    return 0;
}

void Graphics_D3D11_ApplyStateObjects(void)
{
    if (S.AnySamplerChangedFlag) Graphics_D3D11_CreateSamplerState();
    if (S.RasterizerChangedFlag) Graphics_D3D11_CreateRasterizerState();
    if (S.DepthStencilChangedFlag) Graphics_D3D11_CreateDepthStencilState();
    if (S.BlendChangedFlag) Graphics_D3D11_CreateBlendState();
    for (D3D11ConstantBuffer *buffer : D3D11Buffers.Standard) Graphics_D3D11_ConstantBuffer_Update(buffer);
}

int Graphics_D3D11_ReleaseBlendStates(void)
{
    S.BlendChangedFlag = 0;
    ReleaseAll(S.BlendState, S.BlendOwnedFlag, S.BlendCache, D3D11_BLEND_PRESET_NUM, D3D11BlendState_Release);
    return 0;
}

int Graphics_D3D11_ReleaseDepthStencilStates(void)
{
    S.DepthStencilChangedFlag = 0;
    ReleaseAll(S.DepthStencilState, S.DepthStencilOwnedFlag, S.DepthStencilCache, D3D11_DEPTH_STENCIL_CACHE_NUM,
               D3D11DepthStencilState_Release);
    return 0;
}

int Graphics_D3D11_ReleaseRasterizerStates(void)
{
    S.RasterizerChangedFlag = 0;
    ReleaseAll(S.RasterizerState, S.RasterizerOwnedFlag, S.RasterizerCache, D3D11_RASTERIZER_CACHE_NUM,
               D3D11RasterizerState_Release);
    return 0;
}

int Graphics_D3D11_ReleaseSamplerStates(void)
{
    S.AnySamplerChangedFlag = 0;
    for (int i = 0; i < D3D11_SAMPLER_NUM; i++) {
        S.SamplerChangedFlag[i] = 0;
        if (S.SamplerOwnedFlag[i]) D3D11SamplerState_Release(S.SamplerState[i]);
        S.SamplerState[i] = nullptr;
        S.SamplerOwnedFlag[i] = 0;
    }
    for (ID3D11SamplerState *&cached : S.SamplerCache) {
        if (cached != nullptr) D3D11SamplerState_Release(cached);
        cached = nullptr;
    }
    return 0;
}
