// Which shaders of the 3-D pack draw VERTEX3D vertices under the current draw state: the
// decision of the 3-D draw set-up, as plain data (the terms are read from the draw state by the
// caller), so that it can be tested without a device.
#pragma once

#include "zovuz/d3d11/shader/d3d11_shader_pack_internal.h"

// The back end's own 3-D settings.
struct D3D11ThreeDShaderSettingsData
{
    // Per-pixel lighting for any number of lights: set for devices of feature level 10_0 and
    // above, cleared for the 9_x levels (Graphics_D3D11_SetupDeviceCaps).
    int PixelLightingFlag;
};
extern D3D11ThreeDShaderSettingsData D3D11ThreeDShaderSettings;

// The terms of the choice, taken from the draw state.
struct D3D11ThreeDDrawTerms
{
    int ShadowMapDrawFlag;               // drawing into a shadow map
    int LightingFlag;                    // lighting on
    int EnabledLightNum;                 // lights enabled
    int LightTypes[D3D11_3D_LIGHT_NUM];  // types of light slots 0-5, 0 for a disabled slot
    int FogMode;                         // the fog mode while fog is enabled, else 0
    int ShadowFlag;                      // shadow maps in use
    int AlphaTest;                       // the alpha-test bit: a comparison other than the default
    int Blend;                           // the shader class of the effective blend mode, 0-6
    int PixelLightingFlag;               // the device's per-pixel-lighting flag
};

struct D3D11ThreeDShaderChoice
{
    int VertexSlot;  // slots of the 3-D pack
    int PixelSlot;
};

// Chooses the vertex and pixel shader slots: the shadow-map pair while drawing into a shadow
// map; with lighting, the per-pixel pair when more than 3 lights are enabled or the device's flag
// is set and both its slots hold code, else the vertex-lighting pair; without lighting, the unlit
// pair. Slots is the expanded 3-D pack. 0 with the choice, or -1 for terms no shader serves (a
// term out of range, light types not in decreasing order).
int D3D11ChooseThreeDShaders(const D3D11ThreeDDrawTerms *Terms, const D3D11LightIndexTables *Tables,
                             const D3D11ShaderCode *Slots, D3D11ThreeDShaderChoice *Out);
