// ZoVuz graphics: shader handles, buffer and shadow-map handles, lights and the 3D switches; part
// of the public graphics API (zovuz_graphics.h includes it). Their handle records are declared
// with what the back ends take (zovuz_graphics_backend.h).
//
// Every device-side object is made and released by the back end through the dispatch layer. On
// the software renderer no shader can be made, and nothing in this system makes a vertex buffer,
// index buffer, shader constant buffer or shadow map, so the calls that take one find none.
#pragma once

#include <stdint.h>

#include "zovuz/core/zovuz_core.h"
#include "zovuz/graphics/draw_state.h"
#include "zovuz/graphics/graphics_hardware.h"

// ---- Handle records ---------------------------------------------------------------------------

// The handle types' init and terminate callbacks (graphics start-up registers the types with
// them). Each init points the record at its own back-end part.
int InitializeShaderHandle(HandleInfo *Info);
int TerminateShaderHandle(HandleInfo *Info);
int InitializeShaderConstantBufferHandle(HandleInfo *Info);
int TerminateShaderConstantBufferHandle(HandleInfo *Info);
int InitializeVertexIndexBufferHandle(HandleInfo *Info);  // types 15 and 16
int ReleaseVertexIndexBufferHandle(HandleInfo *Info);
int InitializeShadowMapHandle(HandleInfo *Info);
int TerminateShadowMapHandle(HandleInfo *Info);

// The records, or null (a handle still loading only with AllowLoading).
ShaderHandleData *GetShaderEntry(int ShaderHandle, int AllowLoading);
ShadowMapHandleData *GetShadowMapEntry(int ShadowMapHandle, int AllowLoading);

// ---- Shaders -----------------------------------------------------------------------------

// A Shader handle from compiled code: -1 unless the device exists and runs programmable shaders.
// Option is passed to the back end. With ASyncFlag the back-end shader is made by a load job.
int CreateShaderHandle(int IsVertexShader, const void *Code, int CodeSize, int Option, int ASyncFlag, int ASyncThread);
int LoadPixelShaderFromMem(const void *Code, int CodeSize);
// A positive value must be a live Shader handle of the kind (else -1); 0 or less selects none.
int SetUseVertexShader(int ShaderHandle);
int SetUsePixelShader(int ShaderHandle);
// Stage 0-15 (else -1): -1 clears it, a live Graph handle is stored, anything else gives -1.
int SetUseTextureToShader(int Stage, int GraphHandle);
// No vertex or index buffer exists in this system: -1 unless the handle is live.
int SetVertexBufferData(int Start, const void *Source, int Num, int VertexBufferHandle);
int SetIndexBufferData(int Start, const void *Source, int Num, int IndexBufferHandle);

// ---- Lighting, fog and depth ---------------------------------------------------------------

int SetUseLighting(int Flag);
int SetFogEnable(int Flag);
int SetUseZBuffer3D(int Flag);

// ---- Lights ----------------------------------------------------------------------------------

#define DX_LIGHT_TABLE_NUM 4096  // slots of the light table
#define DX_LIGHT_ACTIVE_MAX 256  // lights listed in the active-light table
#define DX_HANDLETYPE_LIGHT 11

// One light (136 bytes).
struct LightHandleData
{
    int ID;  // check number, 0-1022
    int Handle;
    LIGHTPARAM Param;
    int DeviceLightIndex;  // -1 = none
    int EnableFlag;
    int ChangeFlag;  // re-send at the next refresh
    int ShadowMapSlotFlag[DX_SHADOWMAP_SLOT_NUM];
};

// Makes an enabled light with the default parameters: its handle, or -1 when the table is full
// or memory is short (logged).
int AllocLightHandle(void);
// Deletes a light. 0, -1 for a handle that is not a live light.
int DeleteLightHandle(int LightHandle);
// Deletes every light, the default light included (which becomes -1). 0.
int DeleteLightHandleAll(void);
// A directional light shining along Direction (normalised): its handle, or -1.
int CreateDirLightHandle(VECTOR Direction);
// Deletes every light but the default light. 0.
int DeleteAllLightHandles(void);
// The record, or null.
LightHandleData *GetLightData(int LightHandle);
// Gives every enabled light a device index (directional, then spot, then point lights) and
// re-sends the lights that changed. 0.
int RefreshLightState(void);

// The lights in the order of their device indices (the first DX_LIGHT_ACTIVE_MAX of them).
struct GraphicsLightStateData
{
    LightHandleData *Data[DX_LIGHT_TABLE_NUM];     // by slot
    int Num;                                       // lights in the table
    int Area;                                      // one past the highest used slot
    int NextID;                                    // check number of the next light
    LightHandleData *Active[DX_LIGHT_ACTIVE_MAX];  // enabled lights by device index
    int ActiveNum;                                 // entries in Active
    int DeviceLightNum;                            // device indices given at the last refresh
};
