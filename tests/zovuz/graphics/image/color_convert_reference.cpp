// The general pixel conversion as it was before its plan and pixel table: the reference the
// converter's output is compared with, byte for byte. Kept here, and only here, as it stood. It
// reads and writes pixels, packs the colour key and converts half floats with helpers of its own,
// written from the formats' description: a fault in the library's helpers shows as a difference.
#include "tests/zovuz/graphics/image/color_convert_reference.h"

#include <math.h>
#include <string.h>

#include <algorithm>

namespace {

// Pixels of 1 to 4 bytes, low byte first.
uint32_t PixelAt(const uint8_t *p, int Bytes)
{
    uint32_t v = 0;
    for (int i = Bytes - 1; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

void PutPixel(uint8_t *p, int Bytes, uint32_t v)
{
    for (int i = 0; i < Bytes; ++i) p[i] = (uint8_t)(v >> (8 * i));
}

uint32_t ChannelMax(int Width) { return (uint32_t)((1ull << Width) - 1ull); }

// Half floats as the library defines them: the exponent moved by 112 both ways, no special
// exponents, the mantissa cut without rounding; 0 for 0 and for floats whose exponent is below
// 112.
float HalfToFloat(uint16_t Half)
{
    if (Half == 0) return 0.0f;
    const float magnitude = ldexpf(1.0f + (float)(Half & 0x3FF) / 1024.0f, (Half >> 10 & 0x1F) - 15);
    return Half & 0x8000 ? -magnitude : magnitude;
}

uint16_t FloatToHalf(float Value)
{
    uint32_t bits;
    memcpy(&bits, &Value, 4);
    const uint32_t exponent = bits >> 23 & 0xFF;
    if (bits == 0 || exponent < 112) return 0;
    return (uint16_t)((bits >> 31) << 15 | std::min(exponent - 112, 31u) << 10 | (bits & 0x7FFFFF) >> 13);
}

// A colour in a packed layout: each channel's top bits at its place, unassigned bits set; in a
// palette layout, the nearest entry (the first of equally near ones).
uint32_t PackColor(const COLORDATA *c, int Red, int Green, int Blue, int Alpha)
{
    if (c->PixelBytes == 1) {
        uint32_t best = 0, bestDistance = 0xFFFFFF;
        for (uint32_t i = 0; i < 256; ++i) {
            const int dr = Red - c->Palette[i].Red, dg = Green - c->Palette[i].Green, db = Blue - c->Palette[i].Blue;
            const uint32_t distance = (uint32_t)(dr * dr + dg * dg + db * db);
            if (distance < bestDistance) bestDistance = distance, best = i;
        }
        return best;
    }
    auto channel = [](int Value, int Width, int Loc) -> uint32_t {
        if (Width == 0 || Loc >= 32) return 0;
        const uint32_t top = (uint32_t)(Value & 0xFF);
        return (Width <= 8 ? top >> (8 - Width) : top << (Width - 8)) << Loc;
    };
    uint32_t v = channel(Red, c->RedWidth, c->RedLoc) | channel(Green, c->GreenWidth, c->GreenLoc) |
                 channel(Blue, c->BlueWidth, c->BlueLoc) | c->NoneMask;
    if (c->AlphaWidth != 0) v |= channel(Alpha, c->AlphaWidth, c->AlphaLoc);
    return v;
}

enum class Kind { Packed, Int8, Int16, Half, Single, Invalid };

Kind KindOf(const COLORDATA &c, bool DestSide)
{
    if (c.Format != 0) return Kind::Invalid;
    if (c.ChannelCount == 0) {
        bool depthOk = c.BitDepth == 8 || c.BitDepth == 16 || c.BitDepth == 24 || c.BitDepth == 32;
        if (DestSide && c.BitDepth == 4) return Kind::Packed;
        return depthOk && c.PixelBytes == c.BitDepth / 8 ? Kind::Packed : Kind::Invalid;
    }
    if (c.ChannelCount > 4 || c.PixelBytes != c.ChannelCount * c.ChannelBits / 8) return Kind::Invalid;
    if (c.FloatFlag) return c.ChannelBits == 16 ? Kind::Half : c.ChannelBits == 32 ? Kind::Single : Kind::Invalid;
    return c.ChannelBits == 8 ? Kind::Int8 : c.ChannelBits == 16 ? Kind::Int16 : Kind::Invalid;
}

inline uint32_t PaletteValue(const COLORDATA &c, uint32_t Index)
{
    uint32_t v;
    memcpy(&v, &c.Palette[Index & 0xFF], 4);
    return v;
}

// Channel widening: the new low bits repeat the top bits (5-bit 31 -> 255, 16 -> 131).
inline uint32_t Widen(uint32_t v, int Shift, uint32_t SrcMax)
{
    return (uint32_t)(((uint64_t)v << Shift) + (uint64_t)v * ((1u << Shift) - 1u) / SrcMax);
}

// Masks, locations and widths of red, green, blue, alpha (index 0..3).
struct Layout
{
    uint32_t Mask[4];
    int Loc[4];
    int Width[4];
    uint32_t Max[4];
};

Layout LayoutOf(const COLORDATA &c)
{
    Layout l;
    const uint32_t masks[4] = {c.RedMask, c.GreenMask, c.BlueMask, c.AlphaMask};
    const int locs[4] = {c.RedLoc, c.GreenLoc, c.BlueLoc, c.AlphaLoc};
    const int widths[4] = {c.RedWidth, c.GreenWidth, c.BlueWidth, c.AlphaWidth};
    for (int i = 0; i < 4; ++i) {
        l.Mask[i] = masks[i];
        l.Loc[i] = locs[i];
        l.Width[i] = widths[i];
        l.Max[i] = widths[i] ? ChannelMax(widths[i]) : 0;
    }
    return l;
}

Layout ArgbLayout()
{
    return {{0xFF0000, 0xFF00, 0xFF, 0xFF000000u}, {16, 8, 0, 24}, {8, 8, 8, 8}, {255, 255, 255, 255}};
}

struct Rect
{
    int X, Y, W, H;
};

// ---- The general conversion ----------------------------------------------------------------

struct Options
{
    bool Mirror, KeyTest, AlphaOnly, RedIsAlpha, Skip, UseAlphaImage;
    int Dither;
    uint32_t Key;
};

// One source pixel in the wide families: channels as floats or as 16-bit (or 8-bit) integers.
struct WidePixel
{
    float F[4];
    uint32_t I[4];
};

void ReadWide(const uint8_t *p, Kind k, int Count, WidePixel &w)
{
    for (int c = 0; c < 4; ++c) {
        bool present = c < Count;
        switch (k) {
            case Kind::Single:
                if (present)
                    memcpy(&w.F[c], p + 4 * c, 4);
                else
                    w.F[c] = 1.0f;
                break;
            case Kind::Half: {
                uint16_t h = 0;
                if (present) memcpy(&h, p + 2 * c, 2);
                w.F[c] = present ? HalfToFloat(h) : 1.0f;
                break;
            }
            case Kind::Int16: {
                uint16_t v = 0xFFFF;
                if (present) memcpy(&v, p + 2 * c, 2);
                w.I[c] = v;
                break;
            }
            default:
                w.I[c] = present ? p[c] : 0xFF;
                break;
        }
    }
}

inline uint32_t FloatToByte(float v) { return v > 1.0f ? 255u : v > 0.0f ? (uint32_t)(v * 255.0f) : 0u; }

inline uint32_t FloatToWord(float v) { return v > 1.0f ? 0xFFFFu : v > 0.0f ? (uint32_t)(v * 65535.0f) : 0u; }

// A wide pixel as a 32-bit ARGB value.
uint32_t WideToArgb(Kind k, const WidePixel &w)
{
    uint32_t c[4];
    for (int i = 0; i < 4; ++i) {
        if (k == Kind::Single || k == Kind::Half)
            c[i] = FloatToByte(w.F[i]);
        else if (k == Kind::Int16)
            c[i] = w.I[i] >> 8;
        else
            c[i] = w.I[i];
    }
    return c[3] << 24 | c[0] << 16 | c[1] << 8 | c[2];
}

struct GeneralJob
{
    uint8_t *Dest;
    int DestPitch;
    const COLORDATA *Dc;
    const uint8_t *Src;
    int SrcPitch;
    const COLORDATA *Sc;
    const uint8_t *Alpha;
    int AlphaPitch;
    const COLORDATA *Ac;
    int DestX, DestY;
    Rect R;
    Options O;
};

constexpr int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

int GeneralConversion(const GeneralJob &j)
{
    const COLORDATA &sc = *j.Sc;
    const COLORDATA &dc = *j.Dc;
    Kind sk = KindOf(sc, false), dk = KindOf(dc, true);
    bool srcWide = sk != Kind::Packed, destWide = dk != Kind::Packed;
    Options o = j.O;
    if (srcWide || destWide) {
        o.Skip = false;
        o.KeyTest = false;
        o.UseAlphaImage = false;
    }
    Layout sl = srcWide ? ArgbLayout() : LayoutOf(sc);
    Layout dl = destWide ? ArgbLayout() : LayoutOf(dc);
    Layout al = o.UseAlphaImage ? LayoutOf(*j.Ac) : Layout{};

    // The source of alpha and the width each channel is scaled from.
    enum { AlphaKeyTest, AlphaImage, AlphaDestMax, AlphaSource, AlphaZero } alphaFrom;
    if (o.KeyTest)
        alphaFrom = AlphaKeyTest;
    else if (o.UseAlphaImage)
        alphaFrom = AlphaImage;
    else if (sl.Width[3] == 0)
        alphaFrom = AlphaDestMax;
    else if (dl.Mask[3] != 0)
        alphaFrom = AlphaSource;
    else
        alphaFrom = AlphaZero;
    bool redAlpha = o.RedIsAlpha && !o.KeyTest;
    int srcW[4] = {sl.Width[0], sl.Width[1], sl.Width[2], alphaFrom == AlphaImage ? al.Width[0] : sl.Width[3]};
    uint32_t srcMax[4] = {sl.Max[0], sl.Max[1], sl.Max[2], alphaFrom == AlphaImage ? al.Max[0] : sl.Max[3]};
    bool scaledAlpha = (alphaFrom == AlphaImage || alphaFrom == AlphaSource) && !redAlpha;
    // Width scaling whenever a channel changes width (an unscaled channel would spill into its
    // neighbours); never into float or 16-bit channels, which take their own conversion.
    bool scaling = false;
    for (int c = 0; c < 3; ++c) scaling |= srcW[c] != dl.Width[c] && dl.Width[c] != 0;
    scaling |= scaledAlpha && srcW[3] != dl.Width[3];
    if (dk == Kind::Int16 || dk == Kind::Half || dk == Kind::Single) scaling = false;
    int shift[4];
    for (int c = 0; c < 4; ++c) shift[c] = srcW[c] - dl.Width[c];
    bool dither = scaling && o.Dither != 0;
    uint32_t thresholds[4][16] = {};
    for (int c = 0; c < 4; ++c)
        if (shift[c] > 0 && shift[c] < 32)
            for (int i = 0; i < 16; ++i)
                thresholds[c][i] = (uint32_t)(((uint64_t)kBayer[i / 4][i % 4] << shift[c]) / 16);
    uint32_t carry[4] = {0, 0, 0, 0};

    // The colour key: for the skip, masked to the source's bits; for the alpha test, as
    // red, green and blue of the source format.
    uint32_t skipKey = o.Key;
    uint32_t keyRgb[3] = {0, 0, 0};
    if (!srcWide) {
        if (sc.BitDepth < 32) skipKey &= ChannelMax(sc.BitDepth);
        if (sc.BitDepth != 8) skipKey &= sl.Mask[0] | sl.Mask[1] | sl.Mask[2] | sl.Mask[3];
        if (o.KeyTest) {
            uint32_t packed = PackColor(&sc, (o.Key >> 16) & 0xFF, (o.Key >> 8) & 0xFF, o.Key & 0xFF, 255);
            if (sc.BitDepth == 8) packed = PaletteValue(sc, packed);
            for (int c = 0; c < 3; ++c) keyRgb[c] = (packed & sl.Mask[c]) >> sl.Loc[c];
        }
    }
    uint32_t srcMaskUnion = sl.Mask[0] | sl.Mask[1] | sl.Mask[2] | sl.Mask[3];

    int sBytes = sc.PixelBytes, dBytes = dc.PixelBytes;
    int aBytes = o.UseAlphaImage ? j.Ac->PixelBytes : 0;
    int dStep = o.Mirror ? -dBytes : dBytes;
    for (int y = 0; y < j.R.H; ++y) {
        const uint8_t *s = j.Src + (ptrdiff_t)(j.R.Y + y) * j.SrcPitch + (ptrdiff_t)j.R.X * sBytes;
        const uint8_t *a =
            o.UseAlphaImage ? j.Alpha + (ptrdiff_t)(j.R.Y + y) * j.AlphaPitch + (ptrdiff_t)j.R.X * aBytes : nullptr;
        uint8_t *d = j.Dest + (ptrdiff_t)(j.DestY + y) * j.DestPitch +
                     (ptrdiff_t)(j.DestX + (o.Mirror ? j.R.W - 1 : 0)) * dBytes;
        for (int x = 0; x < j.R.W; ++x, s += sBytes, a += aBytes, d += dStep) {
            uint32_t sv = 0;
            WidePixel wide;
            if (srcWide) {
                ReadWide(s, sk, sc.ChannelCount, wide);
                if (!destWide || dk == Kind::Int8) sv = WideToArgb(sk, wide);
            } else {
                uint32_t raw = PixelAt(s, sBytes);
                if (o.Skip && (sBytes == 1 ? raw : raw & srcMaskUnion) == skipKey) continue;
                sv = sBytes == 1 ? PaletteValue(sc, raw) : raw;
            }

            if (dk == Kind::Int16 || dk == Kind::Half || dk == Kind::Single) {
                // Float and 16-bit integer destinations: every channel in the destination's terms.
                float f[4];
                uint32_t w[4];
                for (int c = 0; c < 4; ++c) {
                    if (!srcWide) {
                        uint32_t v = (sv & sl.Mask[c]) >> sl.Loc[c];
                        f[c] = sl.Max[c] ? (float)v / (float)sl.Max[c] : 1.0f;
                        w[c] = sl.Max[c] ? (uint32_t)((uint64_t)v * 0xFFFF / sl.Max[c]) : 0xFFFFu;
                    } else if (sk == Kind::Int16) {
                        f[c] = (float)wide.I[c] / 65535.0f;
                        w[c] = wide.I[c];
                    } else if (sk == Kind::Int8) {
                        f[c] = (float)wide.I[c] / 255.0f;
                        w[c] = wide.I[c] * 257u;
                    } else {
                        f[c] = wide.F[c];
                        w[c] = FloatToWord(wide.F[c]);
                    }
                }
                if (o.RedIsAlpha) {
                    f[3] = f[0];
                    w[3] = w[0];
                }
                if (o.AlphaOnly) {
                    f[0] = f[1] = f[2] = 0.0f;
                    w[0] = w[1] = w[2] = 0;
                }
                for (int c = 0; c < dc.ChannelCount; ++c) {
                    if (dk == Kind::Single) {
                        memcpy(d + 4 * c, &f[c], 4);
                    } else {
                        uint16_t h = dk == Kind::Half ? FloatToHalf(f[c]) : (uint16_t)w[c];
                        memcpy(d + 2 * c, &h, 2);
                    }
                }
                continue;
            }

            uint32_t v[4];
            for (int c = 0; c < 3; ++c) v[c] = (sv & sl.Mask[c]) >> sl.Loc[c];
            switch (alphaFrom) {
                case AlphaKeyTest:
                    v[3] = (v[0] == keyRgb[0] && v[1] == keyRgb[1] && v[2] == keyRgb[2]) ? 0 : dl.Max[3];
                    break;
                case AlphaImage: {
                    uint32_t av = PixelAt(a, aBytes);
                    if (aBytes == 1) av = PaletteValue(*j.Ac, av);
                    v[3] = (av & al.Mask[0]) >> al.Loc[0];
                    break;
                }
                case AlphaDestMax:
                    v[3] = dl.Max[3];
                    break;
                case AlphaSource:
                    v[3] = (sv & sl.Mask[3]) >> sl.Loc[3];
                    break;
                default:
                    v[3] = 0;
                    break;
            }
            if (redAlpha) v[3] = v[0];

            if (scaling) {
                for (int c = 0; c < 4; ++c) {
                    if (srcMax[c] == 0 || (c == 3 && !scaledAlpha) || dl.Width[c] == 0) continue;
                    int sh = shift[c];
                    if (sh > 0) {
                        uint32_t dropped = sh >= 32 ? v[c] : v[c] & ((1u << sh) - 1u);
                        v[c] = sh >= 32 ? 0 : v[c] >> sh;
                        if (dither) {
                            uint32_t dropMask = sh >= 32 ? 0xFFFFFFFFu : (1u << sh) - 1u;
                            if (o.Dither == COLOR_DITHER_ORDERED) {
                                if (thresholds[c][(y & 3) * 4 + (x & 3)] < dropped) v[c] += 1;
                            } else {
                                carry[c] += dropped;
                                if (carry[c] > dropMask) {
                                    v[c] += 1;
                                    carry[c] &= dropMask;
                                }
                            }
                        }
                    } else if (sh < 0) {
                        v[c] = Widen(v[c], -sh, srcMax[c]);
                    }
                }
            }
            if (o.AlphaOnly) v[0] = v[1] = v[2] = 0;

            uint32_t out = 0;
            for (int c = 0; c < 4; ++c) {
                if (dl.Mask[c] == 0) continue;
                uint32_t ch = v[c] > dl.Max[c] ? dl.Max[c] : v[c];
                out |= ch << dl.Loc[c];
            }
            if (dk == Kind::Int8) {
                const uint8_t bytes[4] = {(uint8_t)(out >> 16), (uint8_t)(out >> 8), (uint8_t)out,
                                          (uint8_t)(out >> 24)};
                memcpy(d, bytes, dc.ChannelCount);
            } else if (dc.BitDepth == 16 || dc.BitDepth == 32) {
                PutPixel(d, dBytes, out | dc.NoneMask);
            } else {
                PutPixel(d, dBytes, out);
            }
        }
    }
    return 0;
}

}  // namespace

int ReferenceGeneralConversion(void *DestPixels, int DestPitch, const COLORDATA *DestColorData, const void *SrcPixels,
                               int SrcPitch, const COLORDATA *SrcColorData, const void *AlphaPixels, int AlphaPitch,
                               const COLORDATA *AlphaColorData, int DestX, int DestY, const ImageRect *SrcRect,
                               int Mirror, int ColorKeyAlphaTest, uint32_t ColorKey, int DitherMode, int AlphaOnly,
                               int RedIsAlpha, int SkipColorKey)
{
    Rect r = {SrcRect->left, SrcRect->top, SrcRect->right - SrcRect->left, SrcRect->bottom - SrcRect->top};
    if (r.W <= 0 || r.H <= 0) return -1;
    const COLORDATA sc = *SrcColorData;
    const COLORDATA dc = *DestColorData;
    bool alphaGiven = AlphaPixels != nullptr && AlphaColorData != nullptr;
    Kind sk = KindOf(sc, false), dk = KindOf(dc, true);
    if (sk == Kind::Invalid || dk == Kind::Invalid) return -1;
    bool alphaWanted = dc.AlphaWidth != 0 && (alphaGiven || sc.AlphaWidth != 0);
    bool useAlphaImage = dc.AlphaWidth != 0 && alphaGiven && sc.AlphaWidth == 0;
    if (useAlphaImage && KindOf(*AlphaColorData, false) != Kind::Packed) return -1;
    bool keyTest = ColorKeyAlphaTest && !alphaWanted && dc.AlphaWidth != 0 && !RedIsAlpha;
    bool skip = SkipColorKey && !Mirror;
    GeneralJob job = {(uint8_t *)DestPixels,
                      DestPitch,
                      &dc,
                      (const uint8_t *)SrcPixels,
                      SrcPitch,
                      &sc,
                      (const uint8_t *)AlphaPixels,
                      AlphaPitch,
                      AlphaColorData,
                      DestX,
                      DestY,
                      r,
                      {Mirror != 0, keyTest, AlphaOnly != 0, RedIsAlpha != 0, skip, useAlphaImage, DitherMode, ColorKey}};
    return GeneralConversion(job);
}
