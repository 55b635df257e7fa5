// Shadow maps on Direct3D 11: the device objects of a shadow-map handle, and the constants a 3-D
// draw reads of the three shadow-map slots (the parameters in pixel slot 2, the matrices in vertex
// slot 3; the layout is in d3d11_3d_shaders.h).
#pragma once

#include "zovuz/d3d11/calls/windows/d3d11_calls.h"
#include "zovuz/graphics/zovuz_graphics_backend.h"

// A shadow map's objects, in its back-end part. The colour texture holds the depth the shadow-map
// shaders write (z/w in its first channel); the 3-D shaders read it through its shader-resource
// view.
struct D3D11ShadowMapObjects
{
    ID3D11Texture2D *ColorTexture;
    ID3D11ShaderResourceView *View;
    ID3D11RenderTargetView *Target;
    ID3D11Texture2D *DepthTexture;
    ID3D11DepthStencilView *DepthView;
};
static_assert(sizeof(D3D11ShadowMapObjects) <= sizeof(GraphicsBackendObjectData) &&
                  alignof(D3D11ShadowMapObjects) <= alignof(GraphicsBackendObjectData),
              "a shadow map's objects fit its back-end part");

// A map's objects (null for no map, or one without a back-end part).
inline D3D11ShadowMapObjects *D3D11ShadowMapObjectsOf(const ShadowMapHandleData *Map)
{
    return Map != nullptr ? GraphicsBackendRecord<D3D11ShadowMapObjects>(Map->PF) : nullptr;
}

// The shadow map in slot 0-2 when it can be drawn with: a live handle whose objects are made.
// Else null (an empty slot, a stale handle, a map not set up).
ShadowMapHandleData *Graphics_D3D11_ShadowMapOfSlot(int Slot);

// Writes the parameters of the three slots (depth parameters and the light flags of lights 0-2)
// into pixel slot 2's copy. Nothing without a device.
int Graphics_D3D11_UpdateShadowMapParams(void);
// Writes the three slots' view-projection matrices (transposed) into vertex slot 3's copy; an
// empty slot's rows are (0, 0, 0, -1), so that every point lands behind the eye (w = -1) and is
// not shadowed. Nothing without a device.
int Graphics_D3D11_UpdateShadowMapMatrices(void);
// A slot's map changed (the arguments are the front end's and not read): the blend state and the
// state objects are sent again. 0.
int Graphics_D3D11_SetUseShadowMap(int SlotIndex, int ShadowMapHandle);

// Makes what is missing of a shadow map's objects: the depth texture and its view, then the colour
// texture with its render-target and shader-resource views. Formats by the map's format flag and
// bit depth: 16 bits take format slot 41 (float) or 40 (normalised) and depth index 0, else slot
// 42 and depth index 2. With ASyncThread the creations run on the main thread. 0, or -1 (logged;
// what was made stays for the release).
int Graphics_D3D11_SetupShadowMap(ShadowMapHandleData *ShadowMap, int ASyncThread);
// Releases the five objects, in their order, and clears each. 0.
int Graphics_D3D11_ShadowMap_Release(ShadowMapHandleData *ShadowMap);
// The objects of every shadow-map handle, for the device's release (the handles stay, and a new
// device's set-up makes their objects again). 0.
int Graphics_D3D11_ReleaseShadowMapObjects(void);
