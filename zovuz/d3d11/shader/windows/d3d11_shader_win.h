// The standard shaders of the Direct3D 11 back end: the objects made from the base pack
// (d3d11_shader_pack_internal.h) when the back end starts. What each slot holds is in
// d3d11_standard_shaders.h; the draw preparation, the batch flush, the transfers and the mask
// screen take their shaders from here by slot.
#pragma once

#include "zovuz/d3d11/shader/d3d11_shader_pack_internal.h"
#include "zovuz/d3d11/calls/windows/d3d11_calls.h"

// The objects by base-pack slot: a vertex-shader group's slots in Vertex, a pixel-shader group's
// in Pixel; the other array's entry stays null. The 3-D pack's objects likewise by 3-D slot, each
// made when a draw first chooses it (Graphics_D3D11_Shader_Normal3DDraw_Setup). Main thread only.
struct D3D11StandardShaderData
{
    ID3D11VertexShader *Vertex[D3D11_BASE_PACK_SLOTS];
    ID3D11PixelShader *Pixel[D3D11_BASE_PACK_SLOTS];
    ID3D11VertexShader *ThreeDVertex[D3D11_3D_PACK_SLOTS];
    ID3D11PixelShader *ThreeDPixel[D3D11_3D_PACK_SLOTS];
};
extern D3D11StandardShaderData D3D11StandardShaders;

// Makes the standard shaders anew: expands the packs (once per process), then creates every
// object of the base pack, group by group, with its log lines, and sets the programmable-shader
// flag while they exist. A failed object fails the whole start, the first of a group or not, with
// the group's line naming it and no object left. 0, or -1.
int Graphics_D3D11_Shader_Initialize(void);
// Takes the shaders and the input layout off the device, releases every standard shader (the
// 3-D ones too) and clears the programmable-shader flag. -1 without a device, else 0.
int Graphics_D3D11_ReleaseStandardShaders(void);
