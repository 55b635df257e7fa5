// The plain data behind the Direct3D 11 back end's state objects and draw preparation: the blend
// presets, the indices of the fixed state-object caches, the soft-border constants of blend
// texture mode 1, and the packing of the diffuse colour. Values are the platform's numbers
// (D3D11_BLEND, D3D11_FILTER, ...) written as plain integers, so that this file stays free of
// the platform headers; the windows/ files check the names they rely on against them.
#pragma once

#include <stdint.h>

// ---- Blend presets -----------------------------------------------------------------------------

// D3D11_BLEND and D3D11_BLEND_OP values the presets use.
#define D3D11_BLENDV_ZERO 1
#define D3D11_BLENDV_ONE 2
#define D3D11_BLENDV_SRC_COLOR 3
#define D3D11_BLENDV_SRC_ALPHA 5
#define D3D11_BLENDV_INV_SRC_ALPHA 6
#define D3D11_BLENDV_INV_DEST_ALPHA 8
#define D3D11_BLENDV_INV_DEST_COLOR 10
#define D3D11_BLENDOPV_ADD 1
#define D3D11_BLENDOPV_REV_SUBTRACT 3

// One row per blend mode of the front end: the shader class the pixel-shader choice reads, the
// render-target blend description every target gets, and whether the alpha test may stand in
// for the blend (the preparation's default test).
struct D3D11BlendPreset
{
    int ShaderClass;  // 0-6, column of the standard pixel-shader tables
    int Enable;
    int Src, Dest, Op;
    int SrcAlpha, DestAlpha, OpAlpha;
    int AlphaTestFlag;
};

constexpr int D3D11_BLEND_PRESET_NUM = 23;
constexpr int D3D11_BLEND_WRITE_MASK_ALL = 15;

#define D3D11_BP_ROW(c, e, s, d, o, sa, da, oa, t)                                                          \
    {                                                                                                       \
        c, e, D3D11_BLENDV_##s, D3D11_BLENDV_##d, D3D11_BLENDOPV_##o, D3D11_BLENDV_##sa, D3D11_BLENDV_##da, \
            D3D11_BLENDOPV_##oa, t                                                                          \
    }
constexpr D3D11BlendPreset D3D11BlendPresets[D3D11_BLEND_PRESET_NUM] = {
    D3D11_BP_ROW(0, 0, ONE, ZERO, ADD, ONE, ZERO, ADD, 1),
    D3D11_BP_ROW(0, 1, SRC_ALPHA, INV_SRC_ALPHA, ADD, SRC_ALPHA, INV_SRC_ALPHA, ADD, 1),
    D3D11_BP_ROW(0, 1, SRC_ALPHA, ONE, ADD, SRC_ALPHA, ONE, ADD, 1),
    D3D11_BP_ROW(0, 1, INV_DEST_COLOR, ZERO, ADD, INV_DEST_ALPHA, ZERO, ADD, 1),
    D3D11_BP_ROW(0, 1, ZERO, SRC_COLOR, ADD, ZERO, SRC_ALPHA, ADD, 0),
    D3D11_BP_ROW(0, 1, SRC_ALPHA, ONE, ADD, SRC_ALPHA, ONE, ADD, 1),
    D3D11_BP_ROW(0, 0, ONE, ZERO, ADD, ONE, ZERO, ADD, 1),
    D3D11_BP_ROW(0, 0, ONE, ZERO, ADD, ONE, ZERO, ADD, 1),
    D3D11_BP_ROW(0, 1, ZERO, ONE, ADD, ZERO, ONE, ADD, 0),
    D3D11_BP_ROW(0, 1, INV_DEST_COLOR, ZERO, ADD, INV_DEST_ALPHA, ZERO, ADD, 0),
    D3D11_BP_ROW(2, 1, SRC_ALPHA, INV_SRC_ALPHA, ADD, SRC_ALPHA, INV_SRC_ALPHA, ADD, 1),
    D3D11_BP_ROW(1, 1, ZERO, SRC_COLOR, ADD, ZERO, SRC_ALPHA, ADD, 1),
    D3D11_BP_ROW(3, 1, SRC_ALPHA, INV_SRC_ALPHA, ADD, SRC_ALPHA, INV_SRC_ALPHA, ADD, 1),
    D3D11_BP_ROW(3, 1, SRC_ALPHA, ONE, ADD, SRC_ALPHA, ONE, ADD, 1),
    D3D11_BP_ROW(0, 1, ONE, ZERO, ADD, ONE, ZERO, ADD, 0),
    D3D11_BP_ROW(0, 1, ONE, INV_SRC_ALPHA, ADD, ONE, INV_SRC_ALPHA, ADD, 0),
    D3D11_BP_ROW(0, 1, SRC_ALPHA, ONE, REV_SUBTRACT, SRC_ALPHA, ONE, REV_SUBTRACT, 1),
    D3D11_BP_ROW(4, 1, ONE, INV_SRC_ALPHA, ADD, ONE, INV_SRC_ALPHA, ADD, 1),
    D3D11_BP_ROW(4, 1, ONE, ONE, ADD, ONE, ONE, ADD, 1),
    D3D11_BP_ROW(4, 1, ONE, ONE, REV_SUBTRACT, ONE, ONE, REV_SUBTRACT, 1),
    D3D11_BP_ROW(5, 1, ONE, INV_SRC_ALPHA, ADD, ONE, INV_SRC_ALPHA, ADD, 1),
    D3D11_BP_ROW(6, 1, ONE, INV_SRC_ALPHA, ADD, ONE, INV_SRC_ALPHA, ADD, 1),
    D3D11_BP_ROW(6, 1, ONE, ONE, ADD, ONE, ONE, ADD, 1),
};
#undef D3D11_BP_ROW

// ---- The fixed state-object caches -------------------------------------------------------------

constexpr int D3D11_RASTERIZER_CACHE_NUM = 64;
constexpr int D3D11_DEPTH_STENCIL_CACHE_NUM = 36;
constexpr int D3D11_SAMPLER_FILTER_NUMBERS = 18;
constexpr int D3D11_SAMPLER_CACHE_NUM = D3D11_SAMPLER_FILTER_NUMBERS * 6 * 6 * 6 * 2;

// FillMode 2-3, CullMode 1-3, both flags 0 or 1.
constexpr int D3D11RasterizerCacheIndex(int FillMode, int CullMode, int DepthClipEnable, int MultisampleEnable)
{
    return MultisampleEnable + 2 * (DepthClipEnable + 2 * (FillMode + 4 * CullMode));
}

// DepthFunc 1-8; WriteAll is 1 for D3D11_DEPTH_WRITE_MASK_ALL.
constexpr int D3D11DepthStencilCacheIndex(int DepthFunc, int WriteAll, int DepthEnable)
{
    return DepthFunc + 9 * (WriteAll + 2 * DepthEnable);
}

// The cache's number (0-17) of a sampler filter, or -1 for a filter the cache does not keep.
int D3D11SamplerFilterNumber(int Filter);

// FilterNumber 0-17, address modes 1-5, Anisotropic 1 unless MaxAnisotropy is 1.
constexpr int D3D11SamplerCacheIndex(int FilterNumber, int AddressU, int AddressV, int AddressW, int Anisotropic)
{
    return Anisotropic + 2 * (AddressW + 6 * (AddressV + 6 * (AddressU + 6 * FilterNumber)));
}

// ---- Blend texture mode 1 ------------------------------------------------------------------

// The soft border of a blend texture: the scale k and the offset the pixel shader adds to the
// blend image's blue channel for border position 0-255 and a range of 2 pixels or more.
void D3D11BorderSoftParams(int Position, int Range, float *Scale, float *Offset);

// ---- The diffuse colour ------------------------------------------------------------------------

// Alpha in bits 24-31; with BGRAFlag red in 16-23 and blue in 0-7, else the other way round.
constexpr uint32_t D3D11PackDiffuseColor(int Red, int Green, int Blue, int Alpha, int BGRAFlag)
{
    return ((uint32_t)(Alpha & 0xFF) << 24) | ((uint32_t)((BGRAFlag ? Red : Blue) & 0xFF) << 16) |
           ((uint32_t)(Green & 0xFF) << 8) | (uint32_t)((BGRAFlag ? Blue : Red) & 0xFF);
}
