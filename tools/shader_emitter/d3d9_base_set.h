// The base shaders of the Direct3D 9 back end, written with the shader model 2 writer: the files
// of its base archive, the 2-D vertex shader (vs_2_0) and the pixel shaders (ps_2_0) that do the
// work of the fixed-function texture stages when programmable shaders are in use.
//
// What the back end binds for them:
// - vertex shader: v0 the position (x, y, z, rhw: pixels), v1 the diffuse and v2 the specular
//   colour, v3-v10 texture coordinate sets 0-7; c2-c5 the transposed draw-area projection. The
//   position is projected and divided by rhw; colours and coordinates pass through.
// - pixel shaders: v0 the diffuse colour; t0 the main texture's coordinates, sampled with s0;
//   t1 the blend texture's, sampled with s1; c5 the texture factor as blue, green, red, alpha
//   (or, for a wipe, 0, 0, the alpha scale and the alpha offset). Each shader defines its own
//   c0 = (0, 0.5, 1, 2) and c1 = (4, 0, 0, 0).
//
// A pixel shader is chosen by (blend, stage type, ignore colour, ignore texture alpha, alpha
// target): blend 0 is a single texture, blends 1-3 add a blend texture of blend-graph type 0-2
// (cross-fade by the factor's alpha, wipe, mask by the blend texture's alpha). The stage types are
// those of the back end's blend table: 0 plain, 1 colour towards the factor by the alpha,
// 2 inverted texture colour, 3 colour x 4, 4 colour x vertex alpha, 5 inverted and x vertex
// alpha, 6 x 4 and x vertex alpha; every result is clamped as the texture stages clamp it. Ignore
// colour takes the factor's colour (white with a blend texture) for the texture's; ignore texture
// alpha keeps the vertex alpha alone (a wipe or mask still applies its own). The alpha target
// changes nothing in what is drawn: both forms are written so that every name is found.
//
// Mask shaders: the screen (s0, t0) with alpha 1 where the mask byte (a channel of the mask
// image, s1, t1) is 0, or with "_reverse" where it is not, and alpha 0 elsewhere; the mask draw
// keeps only pixels whose alpha is above 0.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "sm2_writer.h"

namespace sm2 {

constexpr int D3D9_STAGE_TYPE_NUM = 7;
constexpr int D3D9_BLEND_SHADER_BLEND_NUM = 4;
constexpr int D3D9_NONETEX_SHADER_NUM = D3D9_STAGE_TYPE_NUM * 2;
constexpr int D3D9_BLEND_SHADER_NUM = D3D9_BLEND_SHADER_BLEND_NUM * D3D9_STAGE_TYPE_NUM * 2 * 2 * 2;
constexpr int D3D9_MASK_SHADER_NUM = 9;
constexpr int D3D9_CHANNEL_MIX_PACK_SLOTS = 512;

// The selectors of one base pixel shader.
struct BlendShaderSelector {
    int Blend;               // 0 single texture, 1-3 blend-graph type 0-2
    int Type;                // stage type 0-6
    int IgnoreColour;        // igcolor
    int IgnoreTextureAlpha;  // igtalpha
    int AlphaTarget;         // ach
};

// The selectors of a draw state: blend texture bound (and its type), the blend row's stage type,
// the ignore-texture-colour flag, the alpha variant (0 none, 1 texture alpha, 2 transparency test
// or Z) and the draw-screen alpha flag. igtalpha is 1 for alpha variant 0; ach is the draw-screen
// alpha flag.
BlendShaderSelector SelectBlendShader(bool BlendTexture, int BlendGraphType, int StageType, bool IgnoreColour,
                                      int AlphaVariant, bool DrawScreenAlpha);

// Index in the base shader table and file name: (((blend x 7 + type) x 2 + igcolor) x 2 +
// igtalpha) x 2 + ach, "ps_blend<b>_type<t>_igcolor<c>_igtalpha<a>_ach<h>.pso".
int BlendShaderIndex(const BlendShaderSelector &Selector);
std::string BlendShaderName(const BlendShaderSelector &Selector);
// Untextured: index type x 2 + ach, "ps_nonetex_type<t>_ach<h>.pso".
std::string NonetexShaderName(int Type, int AlphaTarget);
// The mask shaders in the order the back end creates them.
const std::vector<std::string> &MaskShaderNames();

struct NamedProgram {
    std::string FileName;
    Bytes Code;
};

// Builds the base archive's files: "Base2DVertexShader.vso", the 14 untextured pixel shaders in
// index order, the 224 blend pixel shaders in index order, then the 9 mask shaders. False with
// the failing shader and fault in Error.
bool BuildD3D9BaseSet(std::vector<NamedProgram> &Out, std::string *Error);

}  // namespace sm2
