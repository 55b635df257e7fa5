// The Direct3D 11 filter shaders: what the shaders the build writes
// (tools/shader_emitter/filter_set_d3d11.cpp) and the Direct3D 11 passes that create and feed them
// agree on. Plain declarations only, so that the build tool on the build machine includes it too.
//
// Every filter pixel shader follows the transfer vertex shaders: inputs SV_Position, TEXCOORD0
// (the source) and TEXCOORD1 (the second texture), or TEXCOORD0-7 for Bicubic and Lanczos3, which
// are drawn with the eight-coordinate transfer. The source is texture and sampler 0, the second
// texture (blend graph, gamma graph, gradient graph, chroma graph) texture and sampler 1, and the
// constants are pixel constant buffer 3, four floats per register c0, c1, ...
//
// The shaders compute on the 8-bit values of the pixels with the processor kernels' own integer
// steps (truncating divisions and shifts, the 1224/2404/466 brightness weights), so that a filter
// gives the same pixels on the device as on the processor. Two filters take one register more
// than their Direct3D 9 layout, written after it:
// - Level: c1 = (lo, hi, olo, ohi), the integer range ends the processor kernel uses;
// - GradientMap: c1 = (gradient width, 1 / texture width, 0.5 / texture height, 0);
// - Gauss: c12 = the texture coordinates of the centres of the source rectangle's first and last
//   texels (u1, v1, u2, v2): every tap is held inside them, so that the blur reads the
//   rectangle's edge beyond it as the processor does (the texels outside are not the picture's).
// The channel-mix shaders copy bytes as stored (the premultiplied variants too), as the processor
// channel mix does.
#pragma once

constexpr int FILTER_D3D11_CONSTANT_SLOT = 3;
constexpr int FILTER_D3D11_CONSTANT_REGISTERS = 13;  // the largest layout: Gauss's

// The filter shaders, in the order of the shader-handle table's filter slots. The file names by
// slot for both back ends come from it (filter_shader_names.cpp): Direct3D 9 has the same files
// but for its two-pass HSB ones.
constexpr int FILTER_D3D11_FILTER_SHADER_NUM = 39;
constexpr const char *FilterD3D11FilterShaderNames[FILTER_D3D11_FILTER_SHADER_NUM] = {
    "Mono.pso",
    "Gauss_08Pixel_PS.pso",
    "Gauss_16Pixel_PS.pso",
    "Gauss_32Pixel_PS.pso",
    "DownScaleX2.pso",
    "DownScaleX4.pso",
    "DownScaleX8.pso",
    "BrightClipLess.pso",
    "BrightClipLess_PMA.pso",
    "BrightClipFillLess.pso",
    "BrightClipFillLess_PMA.pso",
    "BrightClipGreater.pso",
    "BrightClipGreater_PMA.pso",
    "BrightClipFillGreater.pso",
    "BrightClipFillGreater_PMA.pso",
    "BrightnessScale.pso",
    "BrightnessScale_PMA.pso",
    "Hsb_HSB_BASE.pso",
    "Hsb_HSB_BASE_PMA.pso",
    "Hsb_HSB_HLOCK.pso",
    "Hsb_HSB_HLOCK_PMA.pso",
    "Invert.pso",
    "Invert_PMA.pso",
    "Level.pso",
    "Level_PMA.pso",
    "TwoColor.pso",
    "TwoColor_PMA.pso",
    "GradientMap.pso",
    "GradientMap_PMA.pso",
    "GradientMapRev.pso",
    "GradientMapRev_PMA.pso",
    "PremultipliedAlpha.pso",
    "InterpolatedAlpha.pso",
    "Y2uv2ToRgb.pso",
    "Y2uv1ToRgb.pso",
    "Y2uv2ToRgb_RRA.pso",
    "Y2uv1ToRgb_RRA.pso",
    "Bicubic.pso",
    "Lanczos3.pso",
};

// The basic blend shaders of blend types 0 and 2-16; the premultiplied ones add "_PMA" before ".pso".
constexpr int FILTER_D3D11_BASIC_BLEND_NUM = 16;
constexpr const char *FilterD3D11BasicBlendNames[FILTER_D3D11_BASIC_BLEND_NUM] = {
    "BasBF_Normal",    "BasBF_Multiple",       "BasBF_Difference",  "BasBF_Add",
    "BasBF_Screen",    "BasBF_Overlay",        "BasBF_Dodge",       "BasBF_Burn",
    "BasBF_Darken",    "BasBF_Lighten",        "BasBF_SoftLight",   "BasBF_HardLight",
    "BasBF_Exclusion", "BasBF_Normal_AlphaCh", "BasBF_Add_AlphaCh", "BasBF_Multiple_AOnly",
};
// The blend type of basic blend shader I (types 0 and 2-16).
constexpr int FilterD3D11BasicBlendType(int I) { return I == 0 ? 0 : I + 1; }

// The channel letters of the channel-mix names.
constexpr const char FilterD3D11ChannelLetters[4] = {'R', 'G', 'B', 'A'};

// The ready channel-mix shader of selectors r, g, b, a (each 0-3, the source's channels) and the
// premultiplied flag: its slot in the channel-mix pack.
constexpr int FilterD3D11ChannelMixSlot(int R, int G, int B, int A, int Pma)
{
    return Pma + (A + (B + (G + R * 4) * 4) * 4) * 2;
}
