// The 3-D shaders of the Direct3D 11 back end: what the 3-D pack the build writes
// (tools/shader_emitter/three_d_set.cpp) and the back end that chooses from it agree on. Plain
// declarations only, so that the build tool on the build machine includes it too. The vertex
// formats, the shader classes, the alpha test and the vertex switches are those of
// d3d11_standard_shaders.h.
//
// ---- What the 3-D shaders compute ------------------------------------------------------------
// They draw VERTEX3D vertices (position, normal, COLOR0 diffuse, COLOR1 specular, TEXCOORD0,
// TEXCOORD1). Positions go through the world, view and projection matrices as in the base 3-D
// vertex shader; normals through the world and view rows without translation, then normalised.
// Lighting happens in view space, the eye at the origin.
// - Material colours: diffuse Md = the vertex's COLOR0 at vertex switch 1 = 1.0 (switch A off),
//   else the material diffuse (common 672). Specular Ms = the vertex's COLOR1 at vertex switch
//   2 = 1.0 (switch B off), else the material specular (common 688); times vertex switch 0
//   (1.0 = specular allowed and switch C off).
// - Light i (type 1 point, 2 spot, 3 directional; the types are built into each shader):
//   - directional: L = -normalize(direction), a = 1;
//   - point and spot: L = normalize(position - P), d = |position - P|,
//     a = 1 / (att0 + att1 d + att2 d^2), and a = 0 beyond the range (d^2 > range^2);
//   - spot: a *= s^falloff with s = saturate((dot(-L, normalize(direction)) - cos(phi/2)) x
//     1/(cos(theta/2) - cos(phi/2))), and 0 where s is 0;
//   - ambient: a x (light ambient x material ambient, light +80);
//   - diffuse: a x Md.rgb x light diffuse x max(0, N.L);
//   - specular, where N.L > 0: a x Ms.rgb x light specular x max(0, N.H)^power, H = normalize(L + V),
//     V = normalize(-P), power = common 720.
//   COLOR = saturate(common 704 + sum of ambient and diffuse), alpha Md.a;
//   SPECULAR = saturate(sum of specular).
// - Unlit: COLOR = Md, SPECULAR = Ms (as the base 3-D vertex shader).
// - Shadow maps (the shadow term of the slots): for slot s = 0-2, the world position times the
//   slot's matrix rows (vertex slot 3) gives (x, y, z, w). Where w > 0 the shadow map (texture
//   and sampler 8 + s, its first channel) is read at (0.5 + 0.5 x/w, 0.5 - 0.5 y/w); with
//   e = z/w - param0 - map, the light factor is saturate(1 - e / max(param1, tiny)): lit up to
//   param0 in front of the map, fading over param1 behind it (param1 0: a hard edge). Where
//   w <= 0 (an empty slot writes rows (0, 0, 0, -1)) the factor is 1. Light i < 3 takes
//   f_i = product over s of (1 - flag[s][i] x (1 - factor_s)); its diffuse and specular are
//   multiplied by f_i, its ambient is not. Lights 3-5 have no shadow.
// - Fog factor (vertex shaders, on the view-space depth z): mode 0 1; mode 1 exp(-density z);
//   mode 2 exp(-(density z)^2); mode 3 saturate(fog0 + fog1 z) with fog0 = end/(end - start),
//   fog1 = -1/(end - start). The pixel takes rgb = fog colour + (rgb - fog colour) x factor.
// - Pixel shaders, in this order: t = texture 0 at TEXCOORD0 (3-D draws always bind one: an
//   untextured draw binds a white image); t.a = max(t.a, switch 60) (1.0 takes the texel's alpha
//   as 1); c = t x COLOR, c.rgb += SPECULAR; fog; the alpha test of bit s; the shader class.
// - Shadow-map drawing: the vertex shader transforms like the others and passes z and w; the
//   pixel shader writes z/w into the first channel (1.0 in alpha), after the alpha test of
//   texture 0's alpha x COLOR0 alpha.
#pragma once

#include <stdint.h>

// ---- The 3-D pack ------------------------------------------------------------------------------

constexpr int D3D11_3D_PACK_SLOTS = 2822;

constexpr int D3D11_3D_LIGHT_NUM = 6;         // light slots of the common constants
constexpr int D3D11_3D_VERTEX_LIGHT_NUM = 3;  // lights of the vertex-lighting shaders
constexpr int D3D11_3D_LIGHT_TYPE_NUM = 4;    // 0 none, 1 point, 2 spot, 3 directional
constexpr int D3D11_3D_FOG_MODE_NUM = 4;      // 0 none, 1 exp, 2 exp squared, 3 linear
constexpr int D3D11_3D_SHADOW_SLOT_NUM = 3;
constexpr int D3D11_LIGHT6_NUM = 84;   // non-increasing six-tuples of 0-3
constexpr int D3D11_LIGHT3_NUM = 20;   // non-increasing triples of 0-3
constexpr int D3D11_LIGHT3B_NUM = 10;  // non-increasing triples of 0-2

enum D3D11LightType {
    D3D11_LIGHT_NONE = 0,
    D3D11_LIGHT_POINT = 1,
    D3D11_LIGHT_SPOT = 2,
    D3D11_LIGHT_DIRECTIONAL = 3,
};

// The groups, in slot order.
enum D3D11ThreeDShaderGroup {
    D3D11_3D_GROUP_PIXEL_LIGHTING_VERTEX = 0,
    D3D11_3D_GROUP_PIXEL_LIGHTING_PIXEL,
    D3D11_3D_GROUP_SHADOW_MAP_VERTEX,
    D3D11_3D_GROUP_UNLIT_VERTEX,
    D3D11_3D_GROUP_VERTEX_LIGHTING_VERTEX,
    D3D11_3D_GROUP_SHADOW_MAP_PIXEL,
    D3D11_3D_GROUP_UNLIT_PIXEL,
    D3D11_3D_GROUP_VERTEX_LIGHTING_PIXEL,
    D3D11_3D_SHADER_GROUP_NUM
};

struct D3D11ThreeDShaderGroupInfo
{
    int FirstSlot;
    int Count;
    int VertexFlag;  // 1 vertex shaders, 0 pixel shaders
};

constexpr D3D11ThreeDShaderGroupInfo D3D11ThreeDShaderGroups[D3D11_3D_SHADER_GROUP_NUM] = {
    {0, 8, 1}, {8, 2352, 0}, {2360, 2, 1}, {2362, 4, 1}, {2366, 160, 1}, {2526, 2, 0}, {2528, 14, 0}, {2542, 280, 0},
};
static_assert(D3D11ThreeDShaderGroups[D3D11_3D_GROUP_VERTEX_LIGHTING_PIXEL].FirstSlot +
                      D3D11ThreeDShaderGroups[D3D11_3D_GROUP_VERTEX_LIGHTING_PIXEL].Count ==
                  D3D11_3D_PACK_SLOTS,
              "the groups fill the 3-D pack");

// The index of a slot within its group, from the terms of the draw state: fog 0-3, shadow 0/1,
// alpha test 0/1 (the alpha-test bit of the standard shaders), blend = the shader class 0-6, and
// the numbers of the light-type tuples below.
constexpr int D3D11PixelLightingVertexIndex(int Fog, int Shadow) { return Fog + 4 * Shadow; }
constexpr int D3D11PixelLightingPixelIndex(int AlphaTest, int Blend, int Light6, int Shadow)
{
    return AlphaTest + 2 * (Blend + 7 * (Light6 + D3D11_LIGHT6_NUM * Shadow));
}
constexpr int D3D11UnlitVertexIndex(int Fog) { return Fog; }
constexpr int D3D11VertexLightingVertexIndex(int Light3, int Fog, int Shadow)
{
    return Light3 + D3D11_LIGHT3_NUM * (Fog + 4 * Shadow);
}
constexpr int D3D11ShadowMapPixelIndex(int AlphaTest) { return AlphaTest; }
constexpr int D3D11UnlitPixelIndex(int AlphaTest, int Blend) { return AlphaTest + 2 * Blend; }
constexpr int D3D11VertexLightingPixelIndex(int AlphaTest, int Blend, int Light3b, int Shadow)
{
    return AlphaTest + 2 * (Blend + 7 * (Light3b + D3D11_LIGHT3B_NUM * Shadow));
}
// The pack slot of index Index of group Group.
constexpr int D3D11ThreeDShaderSlot(int Group, int Index) { return D3D11ThreeDShaderGroups[Group].FirstSlot + Index; }

// ---- The light-type tables -----------------------------------------------------------------
// The non-increasing tuples of light types are numbered 0, 1, 2, ... in the order of a nested
// loop over the first type, then the second up to the first, and so on, the last innermost.
// Tuples that are not non-increasing never come from the front end (it fills the light slots in
// decreasing type order); they get D3D11_LIGHT_INDEX_NONE, which chooses no shader.
constexpr uint16_t D3D11_LIGHT_INDEX_NONE = 0xFFFF;

struct D3D11LightIndexTables
{
    uint16_t Light6[4][4][4][4][4][4];  // by the types of lights 0-5
    uint16_t Light3[4][4][4];           // by the types of lights 0-2
    uint16_t Light3b[3][3][3];          // by the mapped types of lights 0-2 (D3D11Light3bType)
};

// The type of a light in the light3b table: directional 2, point or spot 1, none 0.
constexpr int D3D11Light3bType(int Type)
{
    return Type == D3D11_LIGHT_DIRECTIONAL ? 2 : Type != D3D11_LIGHT_NONE ? 1 : 0;
}

inline void D3D11BuildLightIndexTables(D3D11LightIndexTables &Tables)
{
    uint16_t *const Six = &Tables.Light6[0][0][0][0][0][0];
    uint16_t *const Three = &Tables.Light3[0][0][0];
    uint16_t *const ThreeB = &Tables.Light3b[0][0][0];
    for (int i = 0; i < 4 * 4 * 4 * 4 * 4 * 4; i++) Six[i] = D3D11_LIGHT_INDEX_NONE;
    for (int i = 0; i < 4 * 4 * 4; i++) Three[i] = D3D11_LIGHT_INDEX_NONE;
    for (int i = 0; i < 3 * 3 * 3; i++) ThreeB[i] = D3D11_LIGHT_INDEX_NONE;
    uint16_t Number = 0;
    for (int a = 0; a < 4; a++)
        for (int b = 0; b <= a; b++)
            for (int c = 0; c <= b; c++)
                for (int d = 0; d <= c; d++)
                    for (int e = 0; e <= d; e++)
                        for (int f = 0; f <= e; f++) Tables.Light6[a][b][c][d][e][f] = Number++;
    Number = 0;
    for (int a = 0; a < 4; a++)
        for (int b = 0; b <= a; b++)
            for (int c = 0; c <= b; c++) Tables.Light3[a][b][c] = Number++;
    Number = 0;
    for (int a = 0; a < 3; a++)
        for (int b = 0; b <= a; b++)
            for (int c = 0; c <= b; c++) Tables.Light3b[a][b][c] = Number++;
}

// ---- Registers -------------------------------------------------------------------------------

// Byte offsets into the common constants (vertex and pixel slot 0): light i at 112 i.
constexpr int D3D11_COMMON_LIGHT_STRIDE = 112;
constexpr int D3D11_COMMON_LIGHT_POSITION = 16;     // view space (3 f32), then range^2
constexpr int D3D11_COMMON_LIGHT_DIRECTION = 32;    // view space (3 f32), then falloff
constexpr int D3D11_COMMON_LIGHT_DIFFUSE = 48;      // RGB, then cos(phi/2)
constexpr int D3D11_COMMON_LIGHT_SPECULAR = 64;     // RGB, then 1/(cos(theta/2) - cos(phi/2))
constexpr int D3D11_COMMON_LIGHT_AMBIENT = 80;      // light ambient x material ambient
constexpr int D3D11_COMMON_LIGHT_ATTENUATION = 96;  // att0, att1, att2
constexpr int D3D11_COMMON_AMBIENT_EMISSIVE = 704;  // global ambient x material ambient + emissive
constexpr int D3D11_COMMON_MATERIAL_POWER = 720;
constexpr int D3D11_COMMON_FOG = 736;        // end/(end - start), -1/(end - start), density, e
constexpr int D3D11_COMMON_FOG_COLOR = 752;  // R, G, B (value/255), 1.0
constexpr int D3D11_COMMON_3D_SIZE = 768;

// The shadow-map constants: the matrices in vertex slot 3 (64 bytes a slot, the view-projection
// matrix transposed: one row per clip component), the parameters in pixel slot 2 (32 bytes a
// slot: param0, param1, then the light flags of lights 0, 1 and 2).
constexpr int D3D11_CB_SHADOW_MATRIX = 3;
constexpr int D3D11_CB_SHADOW_PARAM = 2;
constexpr int D3D11_SHADOW_MATRIX_STRIDE = 64;
constexpr int D3D11_SHADOW_PARAM_STRIDE = 32;
constexpr int D3D11_SHADOW_PARAM_LIGHT_FLAGS = 8;
constexpr int D3D11_TEXTURE_SHADOW_MAP = 8;  // textures and samplers 8-10
