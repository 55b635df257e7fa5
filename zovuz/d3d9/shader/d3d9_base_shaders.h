// The base shaders of the Direct3D 9 back end: what the shaders the build writes
// (tools/shader_emitter/d3d9_base_set.cpp) and the back end that creates and chooses them agree
// on. Plain declarations only, so that the build tool on the build machine includes it too.
//
// The base archive holds them by file name: "Base2DVertexShader.vso" (vs_2_0), the untextured
// pixel shaders, the blend pixel shaders and the mask shaders (ps_2_0). What they read:
// - vertex shader: v0 the position (x, y, z, rhw: pixels), v1 the diffuse and v2 the specular
//   colour, v3-v10 texture coordinate sets 0-7; c2-c5 the transposed draw-area projection. The
//   position is projected and divided by rhw; colours and coordinates pass through.
// - pixel shaders: v0 the diffuse colour; t0 the main texture's coordinates, sampled with s0;
//   t1 the blend texture's, sampled with s1; c5 the texture factor as blue, green, red, alpha
//   (or, for a wipe, 0, 0, the alpha scale and the alpha offset). Each shader defines its own
//   c0 = (0, 0.5, 1, 2) and c1 = (4, 0, 0, 0).
//
// A blend pixel shader is chosen by (blend, stage type, ignore colour, ignore texture alpha, alpha
// target): blend 0 is a single texture, blends 1-3 add a blend texture of blend-graph type 0-2
// (cross-fade by the factor's alpha, wipe, mask by the blend texture's alpha). The stage types are
// those of the back end's blend table: 0 plain, 1 colour towards the factor by the alpha,
// 2 inverted texture colour, 3 colour x 4, 4 colour x vertex alpha, 5 inverted and x vertex
// alpha, 6 x 4 and x vertex alpha; every result is clamped as the texture stages clamp it. Ignore
// colour takes the factor's colour (white with a blend texture) for the texture's; ignore texture
// alpha keeps the vertex alpha alone (a wipe or mask still applies its own). The alpha target
// changes nothing in what is drawn: both forms are written so that every name is found. The
// untextured shaders take the diffuse colour through the stage type.
//
// Mask shaders: the screen (s0, t0) with alpha 1 where the mask byte (a channel of the mask
// image, s1, t1) is 0, or with "_reverse" where it is not, and alpha 0 elsewhere; the mask draw
// keeps only pixels whose alpha is above 0. "ps_mask_blend.pso" reads the alpha channel.
#pragma once

#include <stdio.h>

// The blend table's stage types (the draw-state tables name the same count).
#define D3D9_STAGE_TYPE_NUM 7
constexpr int D3D9_BLEND_SHADER_BLEND_NUM = 4;
constexpr int D3D9_NONETEX_SHADER_NUM = D3D9_STAGE_TYPE_NUM * 2;
constexpr int D3D9_BLEND_SHADER_NUM = D3D9_BLEND_SHADER_BLEND_NUM * D3D9_STAGE_TYPE_NUM * 2 * 2 * 2;
constexpr int D3D9_MASK_SHADER_NUM = 1 + 4 * 2;  // the mask blend, then channels a, r, g, b plain and reversed
constexpr int D3D9_BASE_SHADER_NUM = 1 + D3D9_NONETEX_SHADER_NUM + D3D9_BLEND_SHADER_NUM + D3D9_MASK_SHADER_NUM;
constexpr int D3D9_CHANNEL_MIX_PACK_SLOTS = 512;
constexpr int D3D9_BASE_SHADER_NAME_MAX = 48;  // bytes of a file name, its terminator included

// The selectors of one blend pixel shader.
struct D3D9BlendShaderSelector
{
    int Blend;               // 0 single texture, 1-3 blend-graph type 0-2
    int Type;                // stage type 0-6
    int IgnoreColour;        // igcolor
    int IgnoreTextureAlpha;  // igtalpha
    int AlphaTarget;         // ach
};

// The selectors of a draw state: blend texture bound (and its type), the blend row's stage type,
// the ignore-texture-colour flag, the alpha variant (0 none, 1 texture alpha, 2 transparency test
// or Z) and the draw-screen alpha flag. A draw without texture alpha ignores the texture's alpha
// (igtalpha 1); the alpha target is the draw screen's alpha flag.
inline D3D9BlendShaderSelector D3D9SelectBlendShader(bool BlendTexture, int BlendGraphType, int StageType,
                                                     bool IgnoreColour, int AlphaVariant, bool DrawScreenAlpha)
{
    return {BlendTexture ? BlendGraphType + 1 : 0, StageType, IgnoreColour ? 1 : 0, AlphaVariant == 0 ? 1 : 0,
            DrawScreenAlpha ? 1 : 0};
}

// Index in the back end's table: (((blend x 7 + type) x 2 + igcolor) x 2 + igtalpha) x 2 + ach.
inline int D3D9BlendShaderIndex(const D3D9BlendShaderSelector &S)
{
    return (((S.Blend * D3D9_STAGE_TYPE_NUM + S.Type) * 2 + S.IgnoreColour) * 2 + S.IgnoreTextureAlpha) * 2 +
           S.AlphaTarget;
}

// The selectors of the shader at Index (the inverse of D3D9BlendShaderIndex).
inline D3D9BlendShaderSelector D3D9BlendShaderAt(int Index)
{
    return {Index / (D3D9_STAGE_TYPE_NUM * 8), Index / 8 % D3D9_STAGE_TYPE_NUM, Index / 4 % 2, Index / 2 % 2,
            Index % 2};
}

// The file names, into Name (D3D9_BASE_SHADER_NAME_MAX bytes).
inline void D3D9BlendShaderName(const D3D9BlendShaderSelector &S, char *Name)
{
    snprintf(Name, D3D9_BASE_SHADER_NAME_MAX, "ps_blend%d_type%d_igcolor%d_igtalpha%d_ach%d.pso", S.Blend, S.Type,
             S.IgnoreColour, S.IgnoreTextureAlpha, S.AlphaTarget);
}
// Untextured: index type x 2 + ach.
inline void D3D9NoneTexShaderName(int Type, int AlphaTarget, char *Name)
{
    snprintf(Name, D3D9_BASE_SHADER_NAME_MAX, "ps_nonetex_type%d_ach%d.pso", Type, AlphaTarget);
}
// Mask shader Index (0 the mask blend, then 1 + channel x 2 + reverse, channels a, r, g, b); the
// mask channel it tests (0-3 = r, g, b, a) in *Channel and whether it is reversed in *Reverse.
inline void D3D9MaskShaderName(int Index, char *Name, int *Channel, int *Reverse)
{
    static const char Letter[] = "argb";
    static const int Lane[] = {3, 0, 1, 2};
    const int channel = Index > 0 ? (Index - 1) / 2 : 0;
    *Reverse = Index > 0 && (Index - 1) % 2 == 1;
    *Channel = Lane[channel];
    if (Index == 0)
        snprintf(Name, D3D9_BASE_SHADER_NAME_MAX, "ps_mask_blend.pso");
    else
        snprintf(Name, D3D9_BASE_SHADER_NAME_MAX, "ps_mask_blend_use_grhandle_ch%c%s.pso", Letter[channel],
                 *Reverse ? "_reverse" : "");
}
