// The library's base shader objects on Direct3D 9: the 2-D vertex shader and the pixel shaders
// that stand in for the fixed-function texture stages while programmable shaders are in use
// (zovuz/d3d9/shader/d3d9_base_shaders.h says what each one does). The back end's shader start-up
// (d3d9_shader_win.h) makes them from the base archive and releases them; the draw-state flush and
// the vertex-type choice bind them. A slot whose shader was not made stays null.
#pragma once

#include "zovuz/d3d9/shader/d3d9_base_shaders.h"
#include "zovuz/d3d9/calls/windows/d3d9_calls.h"

// Entries of the further shader tables released with the base shaders (filled by the 3-D drawing
// and the graph filters), in table order.
#define D3D9_FURTHER_SHADER_NUM (8 + 2352 + 2 + 4 + 640 + 1 + 7 + 560)

struct D3D9BaseShaderData
{
    IDirect3DVertexShader9 *Vertex2D;                         // "Base2DVertexShader.vso"
    IDirect3DPixelShader9 *NoneTex[D3D9_NONETEX_SHADER_NUM];  // "ps_nonetex_type<t>_ach<h>.pso": type x 2 + ach
    IDirect3DPixelShader9 *Blend[D3D9_BLEND_SHADER_NUM];      // "ps_blend<b>_type<t>_igcolor<c>_igtalpha<a>_ach<h>.pso"
    IDirect3DPixelShader9 *Mask[D3D9_MASK_SHADER_NUM];        // as D3D9MaskShaderName numbers them
    IUnknown *Further[D3D9_FURTHER_SHADER_NUM];
};
extern D3D9BaseShaderData D3D9BaseShaders;

// The base pixel shader for a draw: blend 0 one texture, 1-3 blend-graph type 0-2; igtalpha is 1
// for alpha variant 0, ach the draw screen's alpha flag.
inline int D3D9BlendShaderIndex(int Blend, int StageType, int IgnoreColor, int AlphaVariant, int DrawScreenAlpha)
{
    return D3D9BlendShaderIndex(
        D3D9SelectBlendShader(Blend != 0, Blend - 1, StageType, IgnoreColor != 0, AlphaVariant, DrawScreenAlpha != 0));
}
