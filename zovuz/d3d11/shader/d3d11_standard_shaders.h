// The standard shaders of the Direct3D 11 back end: what the shaders the build writes
// (tools/shader_emitter/standard_set.cpp) and the back end that creates and chooses them agree on.
// Plain declarations only, so that the build tool on the build machine includes it too.
//
// ---- Vertex shaders ---------------------------------------------------------------------------
// Every vertex shader writes its outputs in one order, so that each pixel shader reads a leading
// part of them: SV_Position, COLOR0 (diffuse), TEXCOORD0, TEXCOORD1, COLOR1 (specular), as far as
// its vertex format has them.
// - 2-D formats (VERTEX_NOTEX_2D, VERTEX2D, VERTEX_BLENDTEX_2D): the position (x, y, z in target
//   pixels, rhw) becomes clip = draw-area matrix x (x, y, z, 1), the whole vector divided by rhw
//   (w = 1 / rhw). Colours and coordinates pass unchanged; the vertex switches are not read.
//   The draw-area matrix (vertex base 0) maps target pixels onto the viewport, which is the draw
//   area, with no half-pixel offset: D3D11DrawAreaMatrix below.
// - 3-D formats (VERTEX_NOTEX_3D, VERTEX_3D, VERTEX3D, VERTEX3DSHADER): the position goes through
//   the world, view and projection matrices (vertex base 176, 128, 64). No lighting:
//   - vertex switch 1 (vertex base 240, 1.0 = the front end's switch A off): the diffuse output is
//     the vertex colour; 0.0: the material diffuse (common 672). Switch A: "the diffuse colour comes
//     from the material".
//   - vertex switch 0 (vertex base 248, 1.0 = the draw allows specular and the front end's switch C
//     is off): the formats with a specular colour (VERTEX3D, VERTEX3DSHADER) output one; 0.0:
//     their specular output is 0. Switch C: "specular off".
//   - vertex switch 2 (vertex base 244, 1.0 = the front end's switch B off): that specular is the
//     vertex's COLOR1; 0.0: the material specular (common 688). Switch B: "the specular colour
//     comes from the material".
//   - TEXCOORD0 (u, v) becomes (u, v, 1, 0) x the texture-coordinate matrix (vertex other 192: its
//     first two columns); the identity while the transform is off. TEXCOORD1 passes unchanged.
// - Transfer: the position is already in clip space (z 0, w 1); the coordinates pass unchanged.
//
// ---- Pixel shaders of the fixed-function tables ----------------------------------------------
// Colour c is computed in this order, with the factor colour f at pixel base 0:
// 1. Texel t = the image (texture 0) at TEXCOORD0; untextured draws take t = COLOR0 and go on at 6.
// 2. Opaque bit: t.a = 1, the image's alpha is not used (in blend texture mode 0 this comes after
//    the cross-fade instead).
// 3. The blend image b (texture 1) at TEXCOORD1:
//    - mode 0 (cross-fade): t = t + (b - t) x f.a, f being (1, 1, 1, ratio / 255);
//    - mode 2 (multiply): t = t x b, all four channels;
//    - mode 1 (border) acts at 5.
// 4. Switch g (switch 48: pixel base 48-56, all 1.0 when on): t.rgb = max(t.rgb, switch 48), so the
//    image's colour is ignored and only its alpha draws. Switch 48 follows the front end's
//    ignore-colour flag.
// 5. c = t x COLOR0. Mode 1: c.a = c.a x saturate(dot(b.rgb, f.rgb) + f.a), f being (0, 0, 1, 0)
//    for a hard border and (0, 0, k, offset) for a soft one.
// 6. Alpha test, on the alpha as an 8-bit value: a = round(c.a x 255), r = round(reference x 255)
//    with the reference at pixel base 20.
//    - s = 0: the pixel stays when a > r. The reference -1/255 turns the test off.
//    - s = 1: the pixel stays when a compares to r by the comparison at pixel base 32
//      (D3D11_COMPARISON_*: 1 never, 2 less, 3 equal, 4 less-equal, 5 greater, 6 not equal,
//      7 greater-equal, 8 always; any other value: never).
// 7. Shader class (column 0 of the blend presets), with a = c.a and the vertex alpha va = COLOR0.a:
//    0 c as it is                              (the blend state does the work)
//    1 rgb = rgb x a + (1 - a)                 (multiply, weighted by alpha: ZERO / SRC_COLOR)
//    2 rgb = 1 - rgb                           (inverted colour)
//    3 rgb = 4 x rgb                           (four times as bright)
//    4 rgb = rgb x va                          (premultiplied: ONE / INV_SRC_ALPHA, ONE / ONE)
//    5 rgb = a - rgb x va                      (premultiplied, inverted)
//    6 rgb = 4 x rgb x va                      (premultiplied, four times as bright)
//    The alpha is never changed by the class.
// Switch 60 (pixel base 60) is read only by the 3-D pack's pixel shaders: 1.0 takes the texel's
// alpha as 1, as the opaque bit does here.
//
// ---- Mask and transfer pixel shaders -----------------------------------------------------------
// They follow the transfer vertex shaders (inputs SV_Position, TEXCOORD0, TEXCOORD1).
// - Mask: the mask screen (texture 0) at TEXCOORD0, discarded where the mask byte (the mask image,
//   texture 1, at TEXCOORD1) is not 0: only the pixels whose mask byte is 0 are written. The mask
//   byte is the mask image's alpha.
// - Inverted mask: the same, discarded where the mask byte is 0.
// - The four-shader mask groups: shader i reads the mask byte from channel i (red, green, blue,
//   alpha) of the mask image, for mask-image formats that keep it elsewhere than in alpha.
// - Simple transfer: texture 0 at TEXCOORD0.
#pragma once

#include <stdint.h>

// ---- The base pack ---------------------------------------------------------------------------

constexpr int D3D11_BASE_PACK_SLOTS = 258;
constexpr int D3D11_CHANNEL_MIX_PACK_SLOTS = 512;

// Vertex formats, the index of their base vertex shaders and input layouts.
constexpr int D3D11_VERTEX_FORMAT_NUM = 7;
enum D3D11VertexFormat {
    D3D11_VERTEX_NOTEX_2D = 0,
    D3D11_VERTEX_2D = 1,
    D3D11_VERTEX_BLENDTEX_2D = 2,
    D3D11_VERTEX_NOTEX_3D = 3,
    D3D11_VERTEX_3D = 4,
    D3D11_VERTEX3D = 5,
    D3D11_VERTEX3DSHADER = 6,
};

// The fixed-function-compatible pixel shaders.
constexpr int D3D11_SHADER_CLASS_NUM = 7;
constexpr int D3D11_UNTEXTURED_SHADER_NUM = 2 * D3D11_SHADER_CLASS_NUM;
constexpr int D3D11_TEXTURED_TABLE_SHADER_NUM = 8 * D3D11_SHADER_CLASS_NUM;
enum D3D11TexturedTable  // the four tables of the textured group, in this order
{
    D3D11_TEXTURED_TABLE_PLAIN = 0,   // no blend texture
    D3D11_TEXTURED_TABLE_BLEND0 = 1,  // blend texture, mode 0 (cross-fade)
    D3D11_TEXTURED_TABLE_BLEND1 = 2,  // mode 1 (border)
    D3D11_TEXTURED_TABLE_BLEND2 = 3,  // mode 2 (multiply)
};
constexpr int D3D11_TEXTURED_TABLE_NUM = 4;
constexpr int D3D11_TEXTURED_SHADER_NUM = D3D11_TEXTURED_TABLE_NUM * D3D11_TEXTURED_TABLE_SHADER_NUM;
constexpr int D3D11_MASK_CHANNEL_NUM = 4;

// The groups, in slot order, which is the order they are created in.
enum D3D11BaseShaderGroup {
    D3D11_GROUP_BASE_VERTEX = 0,
    D3D11_GROUP_UNTEXTURED_PIXEL,
    D3D11_GROUP_TEXTURED_PIXEL,
    D3D11_GROUP_MASK_PIXEL,
    D3D11_GROUP_INVERSE_MASK_PIXEL,
    D3D11_GROUP_MASK_CHANNEL_PIXEL,
    D3D11_GROUP_INVERSE_MASK_CHANNEL_PIXEL,
    D3D11_GROUP_TRANSFER_VERTEX,
    D3D11_GROUP_TRANSFER8_VERTEX,
    D3D11_GROUP_TRANSFER_PIXEL,
    D3D11_BASE_SHADER_GROUP_NUM
};

struct D3D11BaseShaderGroupInfo
{
    int FirstSlot;
    int Count;
    int VertexFlag;  // 1 vertex shaders, 0 pixel shaders
};

constexpr D3D11BaseShaderGroupInfo D3D11BaseShaderGroups[D3D11_BASE_SHADER_GROUP_NUM] = {
    {0, D3D11_VERTEX_FORMAT_NUM, 1},
    {7, D3D11_UNTEXTURED_SHADER_NUM, 0},
    {21, D3D11_TEXTURED_SHADER_NUM, 0},
    {245, 1, 0},
    {246, 1, 0},
    {247, D3D11_MASK_CHANNEL_NUM, 0},
    {251, D3D11_MASK_CHANNEL_NUM, 0},
    {255, 1, 1},
    {256, 1, 1},
    {257, 1, 0},
};
static_assert(D3D11BaseShaderGroups[D3D11_GROUP_TRANSFER_PIXEL].FirstSlot + 1 == D3D11_BASE_PACK_SLOTS,
              "the groups fill the base pack");

// The slot of an untextured shader: s (1 = the general alpha test), class 0-6.
constexpr int D3D11UntexturedShaderSlot(int S, int Class)
{
    return D3D11BaseShaderGroups[D3D11_GROUP_UNTEXTURED_PIXEL].FirstSlot + S + 2 * Class;
}
// The slot of a textured shader of a table: s, the opaque bit, switch g, class 0-6.
constexpr int D3D11TexturedShaderSlot(int Table, int S, int Opaque, int G, int Class)
{
    return D3D11BaseShaderGroups[D3D11_GROUP_TEXTURED_PIXEL].FirstSlot + Table * D3D11_TEXTURED_TABLE_SHADER_NUM + S +
           2 * (Opaque + 2 * (G + 2 * Class));
}

// ---- Registers ---------------------------------------------------------------------------------

// Constant-buffer slots.
constexpr int D3D11_CB_COMMON = 0;        // vertex and pixel slot 0, 768 bytes
constexpr int D3D11_CB_VERTEX_BASE = 1;   // vertex slot 1, 256 bytes
constexpr int D3D11_CB_VERTEX_OTHER = 2;  // vertex slot 2, 288 bytes
constexpr int D3D11_CB_PIXEL_BASE = 1;    // pixel slot 1, 64 bytes

// Byte offsets into the buffers' contents.
constexpr int D3D11_COMMON_MATERIAL_DIFFUSE = 672;
constexpr int D3D11_COMMON_MATERIAL_SPECULAR = 688;
constexpr int D3D11_VERTEX_BASE_DRAW_AREA_MATRIX = 0;  // 4 x 4, one row per output component
constexpr int D3D11_VERTEX_BASE_PROJECTION_MATRIX = 64;
constexpr int D3D11_VERTEX_BASE_VIEW_MATRIX = 128;   // three rows
constexpr int D3D11_VERTEX_BASE_WORLD_MATRIX = 176;  // three rows
constexpr int D3D11_VERTEX_BASE_SWITCH1 = 240;
constexpr int D3D11_VERTEX_BASE_SWITCH2 = 244;
constexpr int D3D11_VERTEX_BASE_SWITCH0 = 248;
constexpr int D3D11_VERTEX_OTHER_TEXTURE_MATRIX = 192;  // two rows
constexpr int D3D11_PIXEL_BASE_FACTOR_COLOR = 0;
constexpr int D3D11_PIXEL_BASE_ALPHA_REFERENCE = 20;   // reference / 255
constexpr int D3D11_PIXEL_BASE_ALPHA_COMPARISON = 32;  // u32
constexpr int D3D11_PIXEL_BASE_SWITCH48 = 48;          // three floats
constexpr int D3D11_PIXEL_BASE_SWITCH60 = 60;

// Textures and samplers: the image (or the mask screen, or the transfer source) in slot 0, the
// blend image (or the mask image) in slot 1.
constexpr int D3D11_TEXTURE_IMAGE = 0;
constexpr int D3D11_TEXTURE_BLEND = 1;

// The draw-area matrix, as written at vertex base 0: one row per clip-space component, so that
// clip = Rows x (x, y, z, 1) takes target pixel (Left, Top) to the top-left corner of a viewport
// covering the draw area (Left, Top) - (Right, Bottom).
inline void D3D11DrawAreaMatrix(float Left, float Top, float Right, float Bottom, float Rows[16])
{
    const float Width = Right - Left, Height = Bottom - Top;
    const float Values[16] = {2.0f / Width, 0.0f,           0.0f, -1.0f - 2.0f * Left / Width,  //
                              0.0f,         -2.0f / Height, 0.0f, 1.0f + 2.0f * Top / Height,   //
                              0.0f,         0.0f,           1.0f, 0.0f,                         //
                              0.0f,         0.0f,           0.0f, 1.0f};
    for (int i = 0; i < 16; i++) Rows[i] = Values[i];
}
