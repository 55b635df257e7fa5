// The light table and the lighting switches: light handles of their own (type 11 in the handle
// bits, 4096 slots), their device indices and what is sent to the back end.
#include <string.h>

#include "zovuz/graphics/draw_state_internal.h"

GraphicsLightStateData GraphicsLightState;

namespace {

// Check numbers run 0 to 1022 and wrap to 0.
#define LIGHT_CHECK_COUNT 1023
// A light handle's bits 16-31 are (check | LIGHT_HANDLE_TAG): the type 11 in bits 26-30.
#define LIGHT_HANDLE_TAG 0x2C00

int FindLightSlot()
{
    GraphicsLightStateData &l = GraphicsLightState;
    if (l.Area < DX_LIGHT_TABLE_NUM) return l.Area;
    for (int slot = 0; slot < DX_LIGHT_TABLE_NUM; ++slot)
        if (l.Data[slot] == nullptr) return slot;
    return -1;
}

void SetDefaultLightParam(LIGHTPARAM &p)
{
    for (int i = 0; i < 4; ++i) {
        p.Diffuse[i] = 1.0f;
        p.Specular[i] = 1.0f;
        p.Ambient[i] = 0.33f;
    }
    p.Range = 2000.0f;
    p.Falloff = 1.0f;
    p.Attenuation0 = 0.1f;
    p.Attenuation1 = 0.0f;
    p.Attenuation2 = 0.0f;
    p.Theta = 2.0f;
    p.Phi = 2.0f;
}

void MarkLightsChanged()
{
    GraphicsState.LightsChangedFlag = 1;
    GraphicsState.DrawStateChangedFlag = 1;
}

}  // namespace

int AllocLightHandle(void)
{
    GraphicsLightStateData &l = GraphicsLightState;
    int slot = FindLightSlot();
    if (slot < 0) return -1;
    LightHandleData *light = (LightHandleData *)DXCALLOC(sizeof(LightHandleData));
    if (light == nullptr) {
        AddLogStringWide(L"ライト用のメモリの確保に失敗しました");
        return -1;
    }
    SetDefaultLightParam(light->Param);
    light->DeviceLightIndex = -1;
    light->ID = l.NextID;
    l.NextID = (l.NextID + 1) % LIGHT_CHECK_COUNT;
    light->Handle = (int)(((uint32_t)(light->ID | LIGHT_HANDLE_TAG) << 16) | (uint32_t)slot);
    l.Data[slot] = light;
    ++l.Num;
    if (slot >= l.Area) l.Area = slot + 1;
    light->EnableFlag = 1;
    light->ChangeFlag = 1;
    MarkLightsChanged();
    return light->Handle;
}

LightHandleData *GetLightData(int LightHandle)
{
    if (LightHandle < 0 || HandleTypeOf(LightHandle) != DX_HANDLETYPE_LIGHT) return nullptr;
    int slot = LightHandle & DX_HANDLEINDEX_MASK;
    if (slot >= DX_LIGHT_TABLE_NUM) return nullptr;
    LightHandleData *light = GraphicsLightState.Data[slot];
    if (light == nullptr || light->ID != ((LightHandle & DX_HANDLECHECK_MASK) >> DX_HANDLECHECK_ADDRESS))
        return nullptr;
    return light;
}

int DeleteLightHandle(int LightHandle)
{
    GraphicsLightStateData &l = GraphicsLightState;
    LightHandleData *light = GetLightData(LightHandle);
    if (light == nullptr) return -1;
    int slot = LightHandle & DX_HANDLEINDEX_MASK;
    // A light that held a device index leaves a gap; the next refresh renumbers the others.
    for (int i = 0; i < l.ActiveNum; ++i)
        if (l.Active[i] == light) l.Active[i] = nullptr;
    DxFree(light);
    l.Data[slot] = nullptr;
    --l.Num;
    while (l.Area > 0 && l.Data[l.Area - 1] == nullptr) --l.Area;
    if (GraphicsState.DefaultLightHandle == LightHandle) GraphicsState.DefaultLightHandle = -1;
    MarkLightsChanged();
    return 0;
}

int DeleteLightHandleAll(void)
{
    GraphicsLightStateData &l = GraphicsLightState;
    for (int slot = 0; slot < l.Area; ++slot)
        if (l.Data[slot] != nullptr) DeleteLightHandle(l.Data[slot]->Handle);
    GraphicsState.DefaultLightHandle = -1;
    return 0;
}

int CreateDirLightHandle(VECTOR Direction)
{
    int handle = AllocLightHandle();
    LightHandleData *light = GetLightData(handle);
    if (light == nullptr) return -1;
    light->Param.LightType = DX_LIGHTTYPE_DIRECTIONAL;
    light->Param.Direction = NormalizeVector(Direction);
    return handle;
}

int DeleteAllLightHandles(void)
{
    GraphicsLightStateData &l = GraphicsLightState;
    for (int slot = 0; slot < l.Area; ++slot)
        if (l.Data[slot] != nullptr && l.Data[slot]->Handle != GraphicsState.DefaultLightHandle)
            DeleteLightHandle(l.Data[slot]->Handle);
    return 0;
}

int RefreshLightState(void)
{
    GraphicsLightStateData &l = GraphicsLightState;
    Graphics_Hardware_SetUseLighting(GraphicsDrawSettings.NoLightingFlag ? 0 : 1);
    if (!GraphicsState.LightsChangedFlag && !GraphicsState.LightsRefreshAllFlag) return 0;

    // Device indices in type order (directional, spot, point), slot order within a type.
    static const int typeOrder[3] = {DX_LIGHTTYPE_DIRECTIONAL, DX_LIGHTTYPE_SPOT, DX_LIGHTTYPE_POINT};
    int count = 0;
    l.ActiveNum = 0;
    for (int type : typeOrder) {
        for (int slot = 0; slot < l.Area; ++slot) {
            LightHandleData *light = l.Data[slot];
            if (light == nullptr || !light->EnableFlag || light->Param.LightType != type) continue;
            int index = count++;
            if (index < DX_LIGHT_ACTIVE_MAX) l.Active[l.ActiveNum++] = light;
            if (light->DeviceLightIndex != index || light->ChangeFlag || GraphicsState.LightsRefreshAllFlag) {
                light->DeviceLightIndex = index;
                Graphics_Hardware_SetLightParam(index, &light->Param);
                Graphics_Hardware_SetLightEnable(index, 1);
            }
        }
    }
    // Lights that are off (or of no known type) hold no index.
    for (int slot = 0; slot < l.Area; ++slot) {
        LightHandleData *light = l.Data[slot];
        if (light != nullptr && (!light->EnableFlag || light->Param.LightType < DX_LIGHTTYPE_POINT ||
                                 light->Param.LightType > DX_LIGHTTYPE_DIRECTIONAL))
            light->DeviceLightIndex = -1;
    }
    for (int index = count; index < l.DeviceLightNum; ++index) Graphics_Hardware_SetLightEnable(index, 0);
    l.DeviceLightNum = count;

    for (int slot = 0; slot < l.Area; ++slot)
        if (l.Data[slot] != nullptr) l.Data[slot]->ChangeFlag = 0;
    GraphicsState.LightsChangedFlag = 0;
    GraphicsState.LightsRefreshAllFlag = 0;
    Graphics_Hardware_UpdateShadowMapParams();
    return 0;
}

int SetUseLighting(int Flag)
{
    GraphicsDrawSettings.NoLightingFlag = Flag ? 0 : 1;
    Graphics_Hardware_SetUseLighting(Flag);
    MarkLightsChanged();
    return 0;
}

int SetFogEnable(int Flag)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    if (d.FogEnable == Flag) return 0;
    FlushVertexBuffer();
    d.FogEnable = Flag;
    GraphicsState.DrawStateChangedFlag = 1;
    Graphics_Hardware_SetFogEnable(Flag);
    return 0;
}

int SetUseZBuffer3D(int Flag)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    if (d.Z3D.TestFlag == Flag) return 0;
    FlushVertexBuffer();
    d.Z3D.TestFlag = Flag;
    GraphicsState.DrawStateChangedFlag = 1;
    return 0;
}
