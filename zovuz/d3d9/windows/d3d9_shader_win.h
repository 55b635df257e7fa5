// The Direct3D 9 back end's base shaders (zovuz/d3d9/d3d9_base_shaders.h): created by file name
// from the base archive at every device creation, when the device offers shader model 2.0 or
// higher, and released with the device.
#pragma once

#include "zovuz/d3d9/d3d9_shader_pack_internal.h"
#include "zovuz/d3d9/windows/d3d9_calls.h"

// Entries of the further shader tables released with the base shaders (filled by the 3-D drawing
// and the graph filters), in table order.
#define D3D9_FURTHER_SHADER_NUM (8 + 2352 + 2 + 4 + 640 + 1 + 7 + 560)

struct D3D9BaseShaderData
{
    IDirect3DVertexShader9 *Base2DVertexShader;                          // "Base2DVertexShader.vso"
    IDirect3DPixelShader9 *NoneTexPixelShader[D3D9_NONETEX_SHADER_NUM];  // type x 2 + ach
    IDirect3DPixelShader9 *BlendPixelShader[D3D9_BLEND_SHADER_NUM];      // by D3D9BlendShaderIndex
    IDirect3DPixelShader9 *MaskPixelShader[D3D9_MASK_SHADER_NUM];        // as D3D9MaskShaderName numbers them
    IUnknown *FurtherShader[D3D9_FURTHER_SHADER_NUM];
};
extern D3D9BaseShaderData D3D9BaseShader;

// Makes the base shaders anew and leaves the programmable-shader flag at 1 when they are in use,
// else 0, with its log lines; in every case writes vertex float c0 = (0, 1, 0, 0) and pixel float
// c0 = (0, 0.5, 1, 2) into the constant manager's set 0. 1.
int Graphics_D3D9_Shader_Initialize(void);
// Releases every base shader and further shader object. 0.
int Graphics_D3D9_Shader_Terminate(void);
