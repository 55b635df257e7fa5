// The library's base shader objects on Direct3D 9: the 2-D vertex shader and the pixel shaders
// that stand in for the fixed-function texture stages while programmable shaders are in use. The
// back end's shader start-up makes them from the base archive and releases them; the draw-state
// flush and the vertex-type choice bind them. A slot whose shader was not made stays null.
#pragma once

#include "zovuz/d3d9/windows/d3d9_calls.h"

#define D3D9_NONETEX_SHADER_NUM 14  // stage type x 2 + ach
#define D3D9_BLEND_SHADER_NUM 224   // (((blend x 7 + type) x 2 + igcolor) x 2 + igtalpha) x 2 + ach

struct D3D9BaseShaderData
{
    IDirect3DVertexShader9 *Vertex2D;                         // "Base2DVertexShader.vso"
    IDirect3DPixelShader9 *NoneTex[D3D9_NONETEX_SHADER_NUM];  // "ps_nonetex_type<t>_ach<h>.pso"
    IDirect3DPixelShader9 *Blend[D3D9_BLEND_SHADER_NUM];      // "ps_blend<b>_type<t>_igcolor<c>_igtalpha<a>_ach<h>.pso"
};
extern D3D9BaseShaderData D3D9BaseShaders;

// The base pixel shader for a draw: blend 0 one texture, 1-3 blend-graph type 0-2; igtalpha is 1
// for alpha variant 0, ach the draw screen's alpha flag.
inline int D3D9BlendShaderIndex(int Blend, int StageType, int IgnoreColor, int AlphaVariant, int DrawScreenAlpha)
{
    return (((Blend * 7 + StageType) * 2 + (IgnoreColor ? 1 : 0)) * 2 + (AlphaVariant == 0 ? 1 : 0)) * 2 +
           (DrawScreenAlpha ? 1 : 0);
}
