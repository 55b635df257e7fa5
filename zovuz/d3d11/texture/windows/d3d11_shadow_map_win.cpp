// Shadow maps: their device objects and the constants of the three shadow-map slots.
#include "zovuz/d3d11/texture/windows/d3d11_shadow_map_win.h"

#include <string.h>

#include "zovuz/d3d11/shader/d3d11_3d_shaders.h"
#include "zovuz/d3d11/state/windows/d3d11_buffers_win.h"
#include "zovuz/d3d11/state/windows/d3d11_device_state_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_texture_desc_win.h"

static_assert(DX_SHADOWMAP_SLOT_NUM == D3D11_3D_SHADOW_SLOT_NUM, "the front end's slots are the shaders'");

namespace {

D3D11DeviceStateCache &S = D3D11DeviceState;

// The shadow-map formats: a slot of the format table for the colour texture, and a depth index.
struct ShadowMapFormats
{
    int ColorSlot;
    int DepthIndex;
};

ShadowMapFormats FormatsOf(const ShadowMapHandleData *Map)
{
    if (Map->BitDepth == 16)
        return {Map->FloatFormatFlag ? PIXEL_FORMAT_TARGET_ONE_F16 : PIXEL_FORMAT_TARGET_ONE_I16, 0};
    return {PIXEL_FORMAT_TARGET_ONE_F32, 2};
}

D3D11_TEXTURE2D_DESC TextureDesc(const ShadowMapHandleData *Map, int Format, UINT Bind)
{
    return D3D11PlainTextureDesc((UINT)Map->Width, (UINT)Map->Height, (DXGI_FORMAT)Format, Bind);
}

int MakeDepth(ShadowMapHandleData *Map, int DepthIndex, int ASyncThread)
{
    D3D11ShadowMapObjects &objects = *D3D11ShadowMapObjectsOf(Map);
    ID3D11Texture2D *&texture = objects.DepthTexture;
    const D3D11_TEXTURE2D_DESC desc =
        TextureDesc(Map, D3D11FormatTable.DepthTexture[DepthIndex], D3D11_BIND_DEPTH_STENCIL);
    if (D3D11Device_CreateTexture2D_ASync(&desc, nullptr, &texture, ASyncThread) != S_OK) {
        texture = nullptr;
        AddLogStringWide(L"シャドウマップ用深度バッファテクスチャの作成に失敗しました\n");
        return -1;
    }
    D3D11_DEPTH_STENCIL_VIEW_DESC view = {};
    view.Format = (DXGI_FORMAT)D3D11FormatTable.DepthView[DepthIndex];
    view.ViewDimension = D3D11_DSV_DIMENSION_TEXTURE2D;
    view.Texture2D.MipSlice = 0;
    ID3D11DepthStencilView *&dsv = objects.DepthView;
    if (D3D11Device_CreateDepthStencilView_ASync(texture, &view, &dsv, ASyncThread) != S_OK) {
        dsv = nullptr;
        AddLogStringWide(L"シャドウマップ用深度ステンシルビューの作成に失敗しました\n");
        return -1;
    }
    return 0;
}

int MakeColor(ShadowMapHandleData *Map, int Format, int ASyncThread)
{
    D3D11ShadowMapObjects &objects = *D3D11ShadowMapObjectsOf(Map);
    ID3D11Texture2D *&texture = objects.ColorTexture;
    const D3D11_TEXTURE2D_DESC desc = TextureDesc(Map, Format, D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET);
    if (D3D11Device_CreateTexture2D_ASync(&desc, nullptr, &texture, ASyncThread) != S_OK) {
        texture = nullptr;
        AddLogStringWide(L"シャドウマップ用テクスチャの作成に失敗しました\n");
        return -1;
    }
    D3D11_RENDER_TARGET_VIEW_DESC target = {};
    target.Format = (DXGI_FORMAT)Format;
    target.ViewDimension = D3D11_RTV_DIMENSION_TEXTURE2D;
    ID3D11RenderTargetView *&rtv = objects.Target;
    if (D3D11Device_CreateRenderTargetView_ASync(texture, &target, &rtv, ASyncThread) != S_OK) {
        rtv = nullptr;
        AddLogFormat(L"シャドウマップ用レンダーターゲットビューの作成に失敗しました  Format:%d  SizeX:%d  SizeY:%d \n",
                     Format, Map->Width, Map->Height);
        return -1;
    }
    D3D11_SHADER_RESOURCE_VIEW_DESC resource = {};
    resource.Format = (DXGI_FORMAT)Format;
    resource.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2D;
    resource.Texture2D.MostDetailedMip = 0;
    resource.Texture2D.MipLevels = 1;
    ID3D11ShaderResourceView *&srv = objects.View;
    if (D3D11Device_CreateShaderResourceView_ASync(texture, &resource, &srv, ASyncThread) != S_OK) {
        srv = nullptr;
        AddLogFormat(L"シャドウマップ用シェーダーリソースビューの作成に失敗しました  Format:%d  SizeX:%d  SizeY:%d \n",
                     Format, Map->Width, Map->Height);
        return -1;
    }
    return 0;
}

// The cache must not keep a released object: a later object at the same address would be taken
// as bound already.
void ForgetInCache(ShadowMapHandleData *Map)
{
    const D3D11ShadowMapObjects &objects = *D3D11ShadowMapObjectsOf(Map);
    ID3D11ShaderResourceView *srv = objects.View;
    for (int slot = 0; srv != nullptr && slot < D3D11_PS_RESOURCE_SLOTS; slot++)
        if (S.PSShaderResource[slot] == srv) {
            ID3D11ShaderResourceView *none = nullptr;
            Graphics_D3D11_DeviceState_SetPSShaderResources(slot, 1, &none);
        }
    ID3D11RenderTargetView *rtv = objects.Target;
    for (int index = 0; rtv != nullptr && index < D3D11_RENDER_TARGET_NUM; index++)
        if (S.RenderTargetView[index] == rtv) Graphics_D3D11_DeviceState_SetRenderTarget(nullptr, nullptr, index);
    ID3D11DepthStencilView *dsv = objects.DepthView;
    if (dsv != nullptr && S.DepthStencilView == dsv) Graphics_D3D11_DeviceState_SetDepthStencil(nullptr, nullptr);
}

}  // namespace

ShadowMapHandleData *Graphics_D3D11_ShadowMapOfSlot(int Slot)
{
    if (Slot < 0 || Slot >= DX_SHADOWMAP_SLOT_NUM) return nullptr;
    const int handle = GraphicsShadowMapSettings.Slot[Slot];
    ShadowMapHandleData *map = handle != 0 ? GetShadowMapEntry(handle, 0) : nullptr;
    if (map == nullptr || map->PF == nullptr || D3D11ShadowMapObjectsOf(map)->View == nullptr) return nullptr;
    return map;
}

int Graphics_D3D11_UpdateShadowMapParams(void)
{
    if (!D3D11Device_IsValid()) return 0;
    const GraphicsLightStateData &lights = GraphicsLightState;
    const int lightNum = lights.ActiveNum < 3 ? lights.ActiveNum : 3;
    for (int slot = 0; slot < DX_SHADOWMAP_SLOT_NUM; slot++) {
        float *entry = D3D11ConstantFloats(D3D11_SCB_PIXEL_SLOT2, slot * D3D11_SHADOW_PARAM_STRIDE);
        if (entry == nullptr) return 0;
        float *flags = entry + D3D11_SHADOW_PARAM_LIGHT_FLAGS / 4;
        flags[0] = flags[1] = flags[2] = 1.0f;
        const ShadowMapHandleData *map = Graphics_D3D11_ShadowMapOfSlot(slot);
        if (map == nullptr) {
            entry[0] = 1.0f;
            entry[1] = 0.0f;
            continue;
        }
        entry[0] = map->AdjustDepth;
        entry[1] = map->GradationParam;
        for (int i = 0; i < lightNum; i++)
            if (lights.Active[i] != nullptr && !lights.Active[i]->ShadowMapSlotFlag[slot]) flags[i] = 0.0f;
    }
    return 0;
}

int Graphics_D3D11_UpdateShadowMapMatrices(void)
{
    if (!D3D11Device_IsValid()) return 0;
    for (int slot = 0; slot < DX_SHADOWMAP_SLOT_NUM; slot++) {
        float *rows = D3D11ConstantFloats(D3D11_SCB_VERTEX_SLOT3, slot * D3D11_SHADOW_MATRIX_STRIDE);
        if (rows == nullptr) return 0;
        const ShadowMapHandleData *map = Graphics_D3D11_ShadowMapOfSlot(slot);
        for (int row = 0; row < 4; row++)
            for (int column = 0; column < 4; column++)
                rows[row * 4 + column] = map != nullptr ? map->ViewProjectionMatrix.m[column][row]
                                         : column == 3  ? -1.0f
                                                        : 0.0f;
    }
    return 0;
}

int Graphics_D3D11_SetUseShadowMap(int, int)
{
    // The next preparation chooses again, and so binds the slots' maps to resources 8-10.
    S.BlendChangedFlag = 1;
    S.DrawStateDirtyFlag = 1;
    S.ReChooseFlag = 1;
    return 0;
}

int Graphics_D3D11_SetupShadowMap(ShadowMapHandleData *ShadowMap, int ASyncThread)
{
    if (ShadowMap == nullptr || ShadowMap->PF == nullptr) return -1;
    const ShadowMapFormats formats = FormatsOf(ShadowMap);
    const int color = D3D11FormatTable.Format[formats.ColorSlot];
    if (color == D3D11FMT_NONE) {
        AddLogStringWide(L"シャドウマップデータ用のフォーマットで作成できるテクスチャフォーマットがありませんでした\n");
        return -1;
    }
    const D3D11ShadowMapObjects &objects = *D3D11ShadowMapObjectsOf(ShadowMap);
    if (objects.DepthTexture == nullptr && MakeDepth(ShadowMap, formats.DepthIndex, ASyncThread) < 0) return -1;
    if (objects.ColorTexture != nullptr) return 0;
    return MakeColor(ShadowMap, color, ASyncThread);
}

int Graphics_D3D11_ShadowMap_Release(ShadowMapHandleData *ShadowMap)
{
    if (ShadowMap == nullptr || ShadowMap->PF == nullptr) return 0;
    ForgetInCache(ShadowMap);
    D3D11ShadowMapObjects &objects = *D3D11ShadowMapObjectsOf(ShadowMap);
    ReleaseAndClear(objects.ColorTexture, D3D11Texture2D_Release);
    ReleaseAndClear(objects.View, D3D11ShaderResourceView_Release);
    ReleaseAndClear(objects.Target, D3D11RenderTargetView_Release);
    ReleaseAndClear(objects.DepthTexture, D3D11Texture2D_Release);
    ReleaseAndClear(objects.DepthView, D3D11DepthStencilView_Release);
    return 0;
}

int Graphics_D3D11_ReleaseShadowMapObjects(void)
{
    HandleManage *m = GetHandleManage(DX_HANDLETYPE_SHADOWMAP);
    if (m == nullptr || !m->InitializeFlag) return 0;
    CRITICALSECTION_GUARD(guard, &m->CriticalSection);
    for (int slot = m->AreaMin; slot <= m->AreaMax; ++slot)
        if (m->Handle[slot] != nullptr)
            Graphics_D3D11_ShadowMap_Release(reinterpret_cast<ShadowMapHandleData *>(m->Handle[slot]));
    return 0;
}
