// Inside the graphics layer: reading, writing and blending the pixels of the software renderer's
// images, one small type per pixel family. The drawers are templates over these.
#pragma once

#include <stdint.h>
#include <string.h>

#include "zovuz/graphics/image/memimg_internal.h"
#include "zovuz/graphics/zovuz_graphics.h"

namespace softpixel {

// 5 and 6 bits widened to 0-255 as the screen format's colour split does it (v * 255 / max).
struct WideningTables
{
    uint8_t Five[32];
    uint8_t Six[64];
    constexpr WideningTables() : Five(), Six()
    {
        for (int i = 0; i < 32; ++i) Five[i] = (uint8_t)(i * 255 / 31);
        for (int i = 0; i < 64; ++i) Six[i] = (uint8_t)(i * 255 / 63);
    }
};
inline constexpr WideningTables Widen{};

inline uint32_t Pack565(int R, int G, int B) { return (uint32_t)((R >> 3) << 11 | (G >> 2) << 5 | B >> 3); }

inline uint32_t Load16(const uint8_t *P)
{
    uint16_t v;
    memcpy(&v, P, 2);
    return v;
}
inline uint32_t Load32(const uint8_t *P)
{
    uint32_t v;
    memcpy(&v, P, 4);
    return v;
}
inline void Store16(uint8_t *P, uint32_t V)
{
    uint16_t v = (uint16_t)V;
    memcpy(P, &v, 2);
}
inline void Store32(uint8_t *P, uint32_t V) { memcpy(P, &V, 4); }

// A colour of 0-255 channels.
struct Rgba
{
    int R, G, B, A;
};

// Each family: its bytes per pixel, whether it carries alpha, Pack (a pixel from channels), Store,
// Load (channels from a pixel) and, for sources, the colour bits a colour key is compared with.
struct F565
{
    static constexpr int Bytes = 2;
    static constexpr bool HasAlpha = false;
    static uint32_t Pack(int R, int G, int B, int) { return Pack565(R, G, B); }
    static void Store(uint8_t *P, uint32_t V) { Store16(P, V); }
    static uint32_t Raw(const uint8_t *P) { return Load16(P); }
    static uint32_t KeyBits(uint32_t V) { return V & 0xFFFF; }
    static Rgba Split(uint32_t V, const void *)
    {
        return Rgba{Widen.Five[V >> 11 & 31], Widen.Six[V >> 5 & 63], Widen.Five[V & 31], 255};
    }
};
// 5-6-5 colour in the low 16 bits, alpha in bits 16-23.
struct F565A
{
    static constexpr int Bytes = 4;
    static constexpr bool HasAlpha = true;
    static uint32_t Pack(int R, int G, int B, int A) { return Pack565(R, G, B) | (uint32_t)A << 16; }
    static void Store(uint8_t *P, uint32_t V) { Store32(P, V); }
    static uint32_t Raw(const uint8_t *P) { return Load32(P); }
    static uint32_t KeyBits(uint32_t V) { return V & 0xFFFF; }
    static Rgba Split(uint32_t V, const void *)
    {
        return Rgba{Widen.Five[V >> 11 & 31], Widen.Six[V >> 5 & 63], Widen.Five[V & 31], (int)(V >> 16 & 0xFF)};
    }
};
// 8-8-8 colour; the unused top byte is written set, as the screen's colour values have it.
struct FXrgb
{
    static constexpr int Bytes = 4;
    static constexpr bool HasAlpha = false;
    static uint32_t Pack(int R, int G, int B, int)
    {
        return 0xFF000000u | (uint32_t)R << 16 | (uint32_t)G << 8 | (uint32_t)B;
    }
    static void Store(uint8_t *P, uint32_t V) { Store32(P, V); }
    static uint32_t Raw(const uint8_t *P) { return Load32(P); }
    static uint32_t KeyBits(uint32_t V) { return V & 0xFFFFFF; }
    static Rgba Split(uint32_t V, const void *)
    {
        return Rgba{(int)(V >> 16 & 0xFF), (int)(V >> 8 & 0xFF), (int)(V & 0xFF), 255};
    }
};
struct FArgb
{
    static constexpr int Bytes = 4;
    static constexpr bool HasAlpha = true;
    static uint32_t Pack(int R, int G, int B, int A)
    {
        return (uint32_t)A << 24 | (uint32_t)R << 16 | (uint32_t)G << 8 | (uint32_t)B;
    }
    static void Store(uint8_t *P, uint32_t V) { Store32(P, V); }
    static uint32_t Raw(const uint8_t *P) { return Load32(P); }
    static uint32_t KeyBits(uint32_t V) { return V & 0xFFFFFF; }
    static Rgba Split(uint32_t V, const void *)
    {
        return Rgba{(int)(V >> 16 & 0xFF), (int)(V >> 8 & 0xFF), (int)(V & 0xFF), (int)(V >> 24)};
    }
};
// Sources only: 8-bit indices into a palette of 5-6-5 or 8-8-8 entries; the key is an index.
struct FPal565
{
    static constexpr int Bytes = 1;
    static constexpr bool HasAlpha = false;
    static uint32_t Raw(const uint8_t *P) { return *P; }
    static uint32_t KeyBits(uint32_t V) { return V; }
    static Rgba Split(uint32_t V, const void *Palette) { return F565::Split(((const uint16_t *)Palette)[V], nullptr); }
};
struct FPalXrgb
{
    static constexpr int Bytes = 1;
    static constexpr bool HasAlpha = false;
    static uint32_t Raw(const uint8_t *P) { return *P; }
    static uint32_t KeyBits(uint32_t V) { return V; }
    static Rgba Split(uint32_t V, const void *Palette) { return FXrgb::Split(((const uint32_t *)Palette)[V], nullptr); }
};

// The families by number.
enum Family {
    FAMILY_NONE = -1,
    FAMILY_565 = 0,
    FAMILY_565A,
    FAMILY_XRGB,
    FAMILY_ARGB,
    FAMILY_PAL565,
    FAMILY_PALXRGB,
};
inline Family FamilyOf(const MemImgImage *Image)
{
    if (Image->ColorType == MEMIMG_COLORTYPE_565)
        return Image->UsePalette ? FAMILY_PAL565 : Image->UseAlpha ? FAMILY_565A : FAMILY_565;
    if (Image->ColorType == MEMIMG_COLORTYPE_XRGB8)
        return Image->UsePalette ? FAMILY_PALXRGB : Image->UseAlpha ? FAMILY_ARGB : FAMILY_XRGB;
    return FAMILY_NONE;
}

// The opacity of the software renderer's blend mode: 255 for none, the parameter for alpha, 0
// for the modes it does not draw.
inline int BlendOpacity()
{
    const MemImgManageData &m = MemImgManage;
    if (m.BlendMode == DX_BLENDMODE_NOBLEND) return 255;
    if (m.BlendMode == DX_BLENDMODE_ALPHA) return m.BlendParam < 0 ? 0 : m.BlendParam > 255 ? 255 : m.BlendParam;
    return 0;
}

// Blends colour C of opacity A (1-254) over the pixel at P: each channel d + A (c - d) / 255 through
// the software renderer's signed scale table; alpha A + d (255 - A) / 255.
template <class F>
inline void BlendOver(uint8_t *P, Rgba C, int A)
{
    Rgba d = F::Split(F::Raw(P), nullptr);
    const int32_t *scale = MemImgManage.ScaleTable[A];
    int r = d.R + scale[C.R - d.R + 255];
    int g = d.G + scale[C.G - d.G + 255];
    int b = d.B + scale[C.B - d.B + 255];
    int a = F::HasAlpha ? A + MemImgManage.MulTable[d.A][255 - A] : 255;
    F::Store(P, F::Pack(r, g, b, a));
}

}  // namespace softpixel
