// ConvertColorDataBlt: copies a rectangle between two images of any pixel formats.
//
// The first case that matches runs: float or 16-bit-integer channels (straight to the general
// conversion), 4-bit destinations, palette remapping, 8-bit destinations, equal layouts, the
// XRGB-to-ARGB colour-key skip, the colour-key alpha test on equal colour masks, the fast pairs
// (color_convert_fast.cpp), and last the general conversion: a plan made once per call (layouts,
// where alpha comes from, scaling, dither, the colour key), then per-pixel stages, or, for 8- and
// 16-bit sources whose pixels depend on their value alone, a table of every source value.
#include <string.h>

#include <atomic>

#include "zovuz/graphics/image/base_image_internal.h"

namespace {

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
        l.Max[i] = widths[i] ? WidthMax(widths[i]) : 0;
    }
    return l;
}

Layout ArgbLayout()
{
    COLORDATA c;
    CreateARGB8ColorData(&c);
    return LayoutOf(c);
}

bool SamePalette(const COLORDATA &a, const COLORDATA &b)
{
    return memcmp(a.Palette, b.Palette, sizeof(a.Palette)) == 0;
}

// A channel of any width brought to 0..255 (for the nearest-palette search).
uint32_t ToByte(uint32_t v, int Width)
{
    if (Width == 0) return 0;
    if (Width >= 8) return v >> (Width - 8);
    return Widen(v, 8 - Width, WidthMax(Width));
}

struct Rect
{
    int X, Y, W, H;
};

// ---- The early cases -------------------------------------------------------------------

int PackNibbles(uint8_t *Dest, int DestPitch, int DestX, int DestY, const uint8_t *Src, int SrcPitch, const Rect &r)
{
    for (int y = 0; y < r.H; ++y) {
        const uint8_t *s = Src + (ptrdiff_t)(r.Y + y) * SrcPitch + r.X;
        uint8_t *d = Dest + (ptrdiff_t)(DestY + y) * DestPitch + DestX / 2;
        int x = 0;
        for (; x + 1 < r.W; x += 2) *d++ = (uint8_t)((s[x] & 0x0F) | (s[x + 1] << 4));
        if (x < r.W) *d = s[x];
    }
    return 0;
}

int RemapPalette(uint8_t *Dest, int DestPitch, const COLORDATA &dc, int DestX, int DestY, const uint8_t *Src,
                 int SrcPitch, const COLORDATA &sc, const Rect &r)
{
    uint8_t map[256];
    for (int i = 0; i < 256; ++i) {
        const COLORPALETTE &e = sc.Palette[i];
        map[i] = (uint8_t)MakeColorDataValue(&dc, e.Red, e.Green, e.Blue, e.Alpha);
    }
    for (int y = 0; y < r.H; ++y) {
        const uint8_t *s = Src + (ptrdiff_t)(r.Y + y) * SrcPitch + r.X;
        uint8_t *d = Dest + (ptrdiff_t)(DestY + y) * DestPitch + DestX;
        for (int x = 0; x < r.W; ++x) d[x] = map[s[x]];
    }
    return 0;
}

int NearestPaletteIndices(uint8_t *Dest, int DestPitch, const COLORDATA &dc, int DestX, int DestY, const uint8_t *Src,
                          int SrcPitch, const COLORDATA &sc, const Rect &r)
{
    int bytes = sc.PixelBytes;
    if (sc.BitDepth != 16 && sc.BitDepth != 24 && sc.BitDepth != 32) return 0;
    Layout l = LayoutOf(sc);
    uint32_t lastValue = 0;
    uint8_t lastIndex = 0;
    bool haveLast = false;
    for (int y = 0; y < r.H; ++y) {
        const uint8_t *s = Src + (ptrdiff_t)(r.Y + y) * SrcPitch + (ptrdiff_t)r.X * bytes;
        uint8_t *d = Dest + (ptrdiff_t)(DestY + y) * DestPitch + DestX;
        for (int x = 0; x < r.W; ++x, s += bytes) {
            uint32_t v = ReadPixelValue(s, bytes);
            if (!haveLast || v != lastValue) {
                int c[4];
                for (int i = 0; i < 4; ++i) c[i] = (int)ToByte((v & l.Mask[i]) >> l.Loc[i], l.Width[i]);
                lastIndex = (uint8_t)MakeColorDataValue(&dc, c[0], c[1], c[2], c[3]);
                lastValue = v;
                haveLast = true;
            }
            d[x] = lastIndex;
        }
    }
    return 0;
}

int CopyIndices(uint8_t *Dest, int DestPitch, int DestX, int DestY, const uint8_t *Src, int SrcPitch, const Rect &r)
{
    int top = 0;
    for (int y = 0; y < r.H; ++y) {
        const uint8_t *s = Src + (ptrdiff_t)(r.Y + y) * SrcPitch + r.X;
        memcpy(Dest + (ptrdiff_t)(DestY + y) * DestPitch + DestX, s, (size_t)r.W);
        for (int x = 0; x < r.W; ++x)
            if (s[x] > top) top = s[x];
    }
    return top;
}

int CopySameLayout(uint8_t *Dest, int DestPitch, int DestX, int DestY, const uint8_t *Src, int SrcPitch, int Bytes,
                   const Rect &r, bool Mirror, bool Skip, uint32_t Key)
{
    uint32_t key = Bytes == 4 ? Key : Key & WidthMax(Bytes * 8);
    for (int y = 0; y < r.H; ++y) {
        const uint8_t *s = Src + (ptrdiff_t)(r.Y + y) * SrcPitch + (ptrdiff_t)r.X * Bytes;
        uint8_t *d = Dest + (ptrdiff_t)(DestY + y) * DestPitch + (ptrdiff_t)DestX * Bytes;
        if (Mirror) {
            uint8_t *m = d + (ptrdiff_t)(r.W - 1) * Bytes;
            for (int x = 0; x < r.W; ++x, s += Bytes, m -= Bytes) memcpy(m, s, Bytes);
        } else if (Skip) {
            for (int x = 0; x < r.W; ++x, s += Bytes, d += Bytes)
                if (ReadPixelValue(s, Bytes) != key) memcpy(d, s, Bytes);
        } else {
            memcpy(d, s, (size_t)r.W * Bytes);
        }
    }
    return 0;
}

int SkipKeyXrgbToArgb(uint8_t *Dest, int DestPitch, int DestX, int DestY, const uint8_t *Src, int SrcPitch,
                      const Rect &r, uint32_t Key)
{
    uint32_t key = Key & 0xFFFFFF;
    for (int y = 0; y < r.H; ++y) {
        const uint8_t *s = Src + (ptrdiff_t)(r.Y + y) * SrcPitch + (ptrdiff_t)r.X * 4;
        uint8_t *d = Dest + (ptrdiff_t)(DestY + y) * DestPitch + (ptrdiff_t)DestX * 4;
        for (int x = 0; x < r.W; ++x, s += 4, d += 4) {
            uint32_t v = ReadPixelValue(s, 4);
            if ((v & 0xFFFFFF) != key) WritePixelValue(d, 4, v | 0xFF000000u);
        }
    }
    return 0;
}

// Equal colour masks and depth: each pixel keeps its colour and gets alpha 0 when its colour
// is the key's, full alpha otherwise. The colour bits alone are compared, so whatever a source
// holds in its unassigned bits cannot hide the key.
int KeyTestSameColour(uint8_t *Dest, int DestPitch, const COLORDATA &dc, int DestX, int DestY, const uint8_t *Src,
                      int SrcPitch, const Rect &r, bool Mirror, uint32_t Key)
{
    int bytes = dc.PixelBytes;
    uint32_t colour = dc.RedMask | dc.GreenMask | dc.BlueMask;
    uint32_t key = MakeColorDataValue(&dc, (Key >> 16) & 0xFF, (Key >> 8) & 0xFF, Key & 0xFF, 255) & colour;
    uint32_t setFirst = dc.BitDepth == 32 ? ~colour : 0;
    int step = Mirror ? -bytes : bytes;
    for (int y = 0; y < r.H; ++y) {
        const uint8_t *s = Src + (ptrdiff_t)(r.Y + y) * SrcPitch + (ptrdiff_t)r.X * bytes;
        uint8_t *d = Dest + (ptrdiff_t)(DestY + y) * DestPitch + (ptrdiff_t)(DestX + (Mirror ? r.W - 1 : 0)) * bytes;
        for (int x = 0; x < r.W; ++x, s += bytes, d += step) {
            uint32_t v = ReadPixelValue(s, bytes) | setFirst;
            v = (v & colour) == key ? v & ~dc.AlphaMask : v | dc.AlphaMask;
            WritePixelValue(d, bytes, v);
        }
    }
    return 0;
}

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
                w.F[c] = present ? Float16ToFloat32(h) : 1.0f;
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

// ---- The general conversion: a plan made once per call, then small per-pixel stages ----------

enum AlphaFrom { AlphaKeyTest, AlphaImage, AlphaDestMax, AlphaSource, AlphaZero };

// Everything that decides what a packed-destination pixel becomes from its source value. Its
// bytes (zero-filled first) are the key of the pixel table below.
struct PixelRule
{
    Layout Sl, Dl;       // source and destination layouts (ARGB for wide channels)
    int AlphaFrom;       // where alpha comes from
    int RedAlpha;        // red is written as alpha
    int AlphaOnly;       // red, green and blue written as 0
    int Scaling;         // channels change width
    int ScaledAlpha;     // alpha is scaled with the colours
    int Shift[4];        // source width - destination width, per channel
    uint32_t SrcMax[4];  // the source's channel maxima (the alpha image's red for alpha)
    uint32_t KeyRgb[3];  // the colour key's channels, for the key test
    uint32_t NoneMask;   // bits set in every 16- and 32-bit destination pixel
    int SrcBytes;        // source bytes per pixel
};

struct GeneralPlan
{
    PixelRule Rule;
    Kind Sk, Dk;
    bool SrcWide, DestWide;      // float, 16-bit or 8-bit channels on that side
    Options O;                   // the options as they apply
    Layout Al;                   // the alpha image's layout
    bool Dither;                 // narrowed channels are dithered
    uint32_t Thresholds[4][16];  // ordered-dither thresholds per channel
    uint32_t SkipKey;            // the colour key as the skip compares it
    uint32_t SrcMaskUnion;       // all source channel masks
    // Widened channel values, for source channels of up to 8 bits that get wider.
    bool HasWiden[4];
    uint32_t Widened[4][256];
};

void MakePlan(const GeneralJob &j, GeneralPlan &p)
{
    const COLORDATA &sc = *j.Sc;
    const COLORDATA &dc = *j.Dc;
    PixelRule &r = p.Rule;
    memset(&r, 0, sizeof r);
    p.Sk = KindOf(sc, false);
    p.Dk = KindOf(dc, true);
    p.SrcWide = p.Sk != Kind::Packed;
    p.DestWide = p.Dk != Kind::Packed;
    p.O = j.O;
    if (p.SrcWide || p.DestWide) {
        p.O.Skip = false;
        p.O.KeyTest = false;
        p.O.UseAlphaImage = false;
    }
    const Options &o = p.O;
    r.Sl = p.SrcWide ? ArgbLayout() : LayoutOf(sc);
    r.Dl = p.DestWide ? ArgbLayout() : LayoutOf(dc);
    p.Al = o.UseAlphaImage ? LayoutOf(*j.Ac) : Layout{};

    if (o.KeyTest)
        r.AlphaFrom = AlphaKeyTest;
    else if (o.UseAlphaImage)
        r.AlphaFrom = AlphaImage;
    else if (r.Sl.Width[3] == 0)
        r.AlphaFrom = AlphaDestMax;
    else if (r.Dl.Mask[3] != 0)
        r.AlphaFrom = AlphaSource;
    else
        r.AlphaFrom = AlphaZero;
    r.RedAlpha = o.RedIsAlpha && !o.KeyTest;
    r.AlphaOnly = o.AlphaOnly;
    const bool fromImage = r.AlphaFrom == AlphaImage;
    const int srcW[4] = {r.Sl.Width[0], r.Sl.Width[1], r.Sl.Width[2], fromImage ? p.Al.Width[0] : r.Sl.Width[3]};
    for (int c = 0; c < 4; ++c) r.SrcMax[c] = c == 3 && fromImage ? p.Al.Max[0] : r.Sl.Max[c];
    r.ScaledAlpha = (fromImage || r.AlphaFrom == AlphaSource) && !r.RedAlpha;
    // Width scaling whenever a channel changes width (an unscaled channel would spill into its
    // neighbours); never into float or 16-bit channels, which take their own conversion.
    bool scaling = false;
    for (int c = 0; c < 3; ++c) scaling |= srcW[c] != r.Dl.Width[c] && r.Dl.Width[c] != 0;
    scaling |= r.ScaledAlpha && srcW[3] != r.Dl.Width[3];
    if (p.Dk == Kind::Int16 || p.Dk == Kind::Half || p.Dk == Kind::Single) scaling = false;
    r.Scaling = scaling;
    for (int c = 0; c < 4; ++c) r.Shift[c] = srcW[c] - r.Dl.Width[c];
    p.Dither = scaling && o.Dither != 0;
    memset(p.Thresholds, 0, sizeof p.Thresholds);
    for (int c = 0; c < 4; ++c) {
        if (r.Shift[c] > 0 && r.Shift[c] < 32)
            for (int i = 0; i < 16; ++i)
                p.Thresholds[c][i] = (uint32_t)(((uint64_t)kBayer[i / 4][i % 4] << r.Shift[c]) / 16);
        // A channel scaled wider: its values looked up rather than divided for.
        p.HasWiden[c] = scaling && r.Shift[c] < 0 && r.SrcMax[c] != 0 && r.SrcMax[c] < 256;
        if (p.HasWiden[c])
            for (uint32_t v = 0; v <= r.SrcMax[c]; ++v) p.Widened[c][v] = Widen(v, -r.Shift[c], r.SrcMax[c]);
    }

    // The colour key: for the skip, masked to the source's bits; for the alpha test, as red,
    // green and blue of the source format.
    p.SkipKey = o.Key;
    if (!p.SrcWide) {
        if (sc.BitDepth < 32) p.SkipKey &= WidthMax(sc.BitDepth);
        if (sc.BitDepth != 8) p.SkipKey &= r.Sl.Mask[0] | r.Sl.Mask[1] | r.Sl.Mask[2] | r.Sl.Mask[3];
        if (o.KeyTest) {
            uint32_t packed = MakeColorDataValue(&sc, (o.Key >> 16) & 0xFF, (o.Key >> 8) & 0xFF, o.Key & 0xFF, 255);
            if (sc.BitDepth == 8) packed = PaletteValue(sc, packed);
            for (int c = 0; c < 3; ++c) r.KeyRgb[c] = (packed & r.Sl.Mask[c]) >> r.Sl.Loc[c];
        }
    }
    p.SrcMaskUnion = r.Sl.Mask[0] | r.Sl.Mask[1] | r.Sl.Mask[2] | r.Sl.Mask[3];
    r.NoneMask = p.Dk == Kind::Packed && (dc.BitDepth == 16 || dc.BitDepth == 32) ? dc.NoneMask : 0;
    r.SrcBytes = sc.PixelBytes;
}

// True when a narrowed channel is dithered, so that a pixel depends on its place and on the
// pixels before it, not only on its value.
bool DithersAnyChannel(const GeneralPlan &p)
{
    if (!p.Dither) return false;
    const PixelRule &r = p.Rule;
    for (int c = 0; c < 4; ++c)
        if (r.SrcMax[c] != 0 && !(c == 3 && !r.ScaledAlpha) && r.Dl.Width[c] != 0 && r.Shift[c] > 0) return true;
    return false;
}

// Stage: a source value (a palette entry already looked up) to its channels, alpha included.
inline void SplitChannels(const GeneralPlan &p, uint32_t Sv, const uint8_t *A, const COLORDATA *Ac, int ABytes,
                          uint32_t *V)
{
    const PixelRule &r = p.Rule;
    for (int c = 0; c < 3; ++c) V[c] = (Sv & r.Sl.Mask[c]) >> r.Sl.Loc[c];
    switch (r.AlphaFrom) {
        case AlphaKeyTest:
            V[3] = (V[0] == r.KeyRgb[0] && V[1] == r.KeyRgb[1] && V[2] == r.KeyRgb[2]) ? 0 : r.Dl.Max[3];
            break;
        case AlphaImage: {
            uint32_t av = ReadPixelValue(A, ABytes);
            if (ABytes == 1) av = PaletteValue(*Ac, av);
            V[3] = (av & p.Al.Mask[0]) >> p.Al.Loc[0];
            break;
        }
        case AlphaDestMax:
            V[3] = r.Dl.Max[3];
            break;
        case AlphaSource:
            V[3] = (Sv & r.Sl.Mask[3]) >> r.Sl.Loc[3];
            break;
        default:
            V[3] = 0;
            break;
    }
    if (r.RedAlpha) V[3] = V[0];
}

// Stage: each channel scaled to its destination width, narrowed ones dithered at (X, Y).
inline void ScaleChannels(const GeneralPlan &p, uint32_t *V, int X, int Y, uint32_t *Carry)
{
    const PixelRule &r = p.Rule;
    for (int c = 0; c < 4; ++c) {
        if (r.SrcMax[c] == 0 || (c == 3 && !r.ScaledAlpha) || r.Dl.Width[c] == 0) continue;
        int sh = r.Shift[c];
        if (sh > 0) {
            uint32_t dropped = sh >= 32 ? V[c] : V[c] & ((1u << sh) - 1u);
            V[c] = sh >= 32 ? 0 : V[c] >> sh;
            if (p.Dither) {
                uint32_t dropMask = sh >= 32 ? 0xFFFFFFFFu : (1u << sh) - 1u;
                if (p.O.Dither == COLOR_DITHER_ORDERED) {
                    if (p.Thresholds[c][(Y & 3) * 4 + (X & 3)] < dropped) V[c] += 1;
                } else {
                    Carry[c] += dropped;
                    if (Carry[c] > dropMask) {
                        V[c] += 1;
                        Carry[c] &= dropMask;
                    }
                }
            }
        } else if (sh < 0) {
            V[c] = p.HasWiden[c] && V[c] <= r.SrcMax[c] ? p.Widened[c][V[c]] : Widen(V[c], -sh, r.SrcMax[c]);
        }
    }
}

// Stage: the channels put together in the destination layout (clamped to its widths).
inline uint32_t PackChannels(const PixelRule &r, uint32_t *V)
{
    if (r.AlphaOnly) V[0] = V[1] = V[2] = 0;
    uint32_t out = 0;
    for (int c = 0; c < 4; ++c) {
        if (r.Dl.Mask[c] == 0) continue;
        uint32_t ch = V[c] > r.Dl.Max[c] ? r.Dl.Max[c] : V[c];
        out |= ch << r.Dl.Loc[c];
    }
    return out;
}

// A packed or 8-bit-channel destination pixel from a source value, through the three stages.
inline uint32_t PackedPixel(const GeneralPlan &p, uint32_t Sv, const uint8_t *A, const COLORDATA *Ac, int ABytes, int X,
                            int Y, uint32_t *Carry)
{
    uint32_t v[4];
    SplitChannels(p, Sv, A, Ac, ABytes, v);
    if (p.Rule.Scaling) ScaleChannels(p, v, X, Y, Carry);
    return PackChannels(p.Rule, v);
}

// Stage: the pixel written. Packed 16- and 32-bit pixels carry the unassigned bits; 8-bit
// channels are written red, green, blue, alpha.
inline void WritePacked(const GeneralPlan &p, const COLORDATA &Dc, uint8_t *D, uint32_t Out)
{
    if (p.Dk == Kind::Int8) {
        const uint8_t bytes[4] = {(uint8_t)(Out >> 16), (uint8_t)(Out >> 8), (uint8_t)Out, (uint8_t)(Out >> 24)};
        memcpy(D, bytes, Dc.ChannelCount);
    } else {
        WritePixelValue(D, Dc.PixelBytes, Out | p.Rule.NoneMask);
    }
}

// Float and 16-bit integer destinations: every channel in the destination's terms.
void WriteWideDest(const GeneralPlan &p, const COLORDATA &Dc, uint32_t Sv, const WidePixel &Wide, uint8_t *D)
{
    const PixelRule &r = p.Rule;
    float f[4];
    uint32_t w[4];
    for (int c = 0; c < 4; ++c) {
        if (!p.SrcWide) {
            uint32_t v = (Sv & r.Sl.Mask[c]) >> r.Sl.Loc[c];
            f[c] = r.Sl.Max[c] ? (float)v / (float)r.Sl.Max[c] : 1.0f;
            w[c] = r.Sl.Max[c] ? (uint32_t)((uint64_t)v * 0xFFFF / r.Sl.Max[c]) : 0xFFFFu;
        } else if (p.Sk == Kind::Int16) {
            f[c] = (float)Wide.I[c] / 65535.0f;
            w[c] = Wide.I[c];
        } else if (p.Sk == Kind::Int8) {
            f[c] = (float)Wide.I[c] / 255.0f;
            w[c] = Wide.I[c] * 257u;
        } else {
            f[c] = Wide.F[c];
            w[c] = FloatToWord(Wide.F[c]);
        }
    }
    if (p.O.RedIsAlpha) {
        f[3] = f[0];
        w[3] = w[0];
    }
    if (p.O.AlphaOnly) {
        f[0] = f[1] = f[2] = 0.0f;
        w[0] = w[1] = w[2] = 0;
    }
    for (int c = 0; c < Dc.ChannelCount; ++c) {
        if (p.Dk == Kind::Single) {
            memcpy(D + 4 * c, &f[c], 4);
        } else {
            uint16_t h = p.Dk == Kind::Half ? Float32ToFloat16(f[c]) : (uint16_t)w[c];
            memcpy(D + 2 * c, &h, 2);
        }
    }
}

// ---- The pixel table: every source value of an 8- or 16-bit source converted once ---------

// When a pixel depends on its value alone (no alpha image, no dithered channel), a call with
// many pixels converts each possible source value once and then looks them up. The table of a
// 16-bit source is kept for the next call with the same rule (a screen or a texture converted
// frame after frame); a thread that finds it in use converts pixel by pixel meanwhile.
constexpr int kTablePixelsAtLeast = 16384;
struct PixelTableData
{
    std::atomic_flag Busy;   // held by the call that uses the table
    bool Valid;              // Values hold Rule's answers
    PixelRule Rule;          // the rule the values were made by
    uint32_t Values[65536];  // the written value of each source value
};
PixelTableData PixelTable = {ATOMIC_FLAG_INIT, false, {}, {}};

bool TableApplies(const GeneralPlan &p, const COLORDATA &Sc)
{
    return !p.SrcWide && !p.DestWide && (Sc.PixelBytes == 1 || Sc.PixelBytes == 2) && !p.O.UseAlphaImage &&
           !DithersAnyChannel(p);
}

void FillTable(const GeneralPlan &p, const COLORDATA &Sc, uint32_t *Values, int Count)
{
    for (int raw = 0; raw < Count; ++raw) {
        uint32_t sv = Sc.PixelBytes == 1 ? PaletteValue(Sc, (uint32_t)raw) : (uint32_t)raw;
        Values[raw] = PackedPixel(p, sv, nullptr, nullptr, 0, 0, 0, nullptr) | p.Rule.NoneMask;
    }
}

inline uint32_t ReadRaw(const uint8_t *S, int Bytes)
{
    if (Bytes == 1) return S[0];
    uint16_t v;
    memcpy(&v, S, 2);
    return v;
}

// The table's rows: source pixels of SB bytes, destination pixels of DB bytes.
template <int SB, int DB, bool Skip, bool Mirror>
void RunTableRows(const GeneralJob &j, const GeneralPlan &p, const uint32_t *Values)
{
    const uint32_t mask = SB == 1 ? 0xFFu : p.SrcMaskUnion;
    constexpr int dStep = Mirror ? -DB : DB;
    const int w = j.R.W;
    for (int y = 0; y < j.R.H; ++y) {
        const uint8_t *s = j.Src + (ptrdiff_t)(j.R.Y + y) * j.SrcPitch + (ptrdiff_t)j.R.X * SB;
        uint8_t *d = j.Dest + (ptrdiff_t)(j.DestY + y) * j.DestPitch + (ptrdiff_t)(j.DestX + (Mirror ? w - 1 : 0)) * DB;
        int x = 0;
        if (!Skip) {
            // Four at a time: the loads and look-ups of four pixels overlap.
            for (; x + 4 <= w; x += 4, s += 4 * SB, d += 4 * dStep) {
                const uint32_t v0 = Values[ReadRaw(s, SB)], v1 = Values[ReadRaw(s + SB, SB)];
                const uint32_t v2 = Values[ReadRaw(s + 2 * SB, SB)], v3 = Values[ReadRaw(s + 3 * SB, SB)];
                WritePixelValue(d, DB, v0);
                WritePixelValue(d + dStep, DB, v1);
                WritePixelValue(d + 2 * dStep, DB, v2);
                WritePixelValue(d + 3 * dStep, DB, v3);
            }
        }
        for (; x < w; ++x, s += SB, d += dStep) {
            const uint32_t raw = ReadRaw(s, SB);
            if (Skip && (raw & mask) == p.SkipKey) continue;
            WritePixelValue(d, DB, Values[raw]);
        }
    }
}

template <int SB, int DB>
void RunTableOptions(const GeneralJob &j, const GeneralPlan &p, const uint32_t *Values)
{
    // The skip is off whenever mirror is on.
    if (p.O.Mirror)
        RunTableRows<SB, DB, false, true>(j, p, Values);
    else if (p.O.Skip)
        RunTableRows<SB, DB, true, false>(j, p, Values);
    else
        RunTableRows<SB, DB, false, false>(j, p, Values);
}

template <int SB>
void RunTable(const GeneralJob &j, const GeneralPlan &p, const uint32_t *Values)
{
    switch (j.Dc->PixelBytes) {
        case 1:
            return RunTableOptions<SB, 1>(j, p, Values);
        case 2:
            return RunTableOptions<SB, 2>(j, p, Values);
        case 3:
            return RunTableOptions<SB, 3>(j, p, Values);
        default:
            return RunTableOptions<SB, 4>(j, p, Values);
    }
}

// Converts through a table when one applies: true when done.
bool ConvertThroughTable(const GeneralJob &j, const GeneralPlan &p)
{
    const COLORDATA &sc = *j.Sc;
    if (!TableApplies(p, sc)) return false;
    if (sc.PixelBytes == 1) {
        if ((int64_t)j.R.W * j.R.H < 256) return false;
        uint32_t values[256];
        FillTable(p, sc, values, 256);
        RunTable<1>(j, p, values);
        return true;
    }
    PixelTableData &t = PixelTable;
    if (t.Busy.test_and_set(std::memory_order_acquire)) return false;
    const bool same = t.Valid && memcmp(&t.Rule, &p.Rule, sizeof t.Rule) == 0;
    if (!same && (int64_t)j.R.W * j.R.H < kTablePixelsAtLeast) {
        t.Busy.clear(std::memory_order_release);
        return false;
    }
    if (!same) {
        FillTable(p, sc, t.Values, 65536);
        t.Rule = p.Rule;
        t.Valid = true;
    }
    RunTable<2>(j, p, t.Values);
    t.Busy.clear(std::memory_order_release);
    return true;
}

int GeneralConversion(const GeneralJob &j)
{
    GeneralPlan p;
    MakePlan(j, p);
    if (ConvertThroughTable(j, p)) return 0;

    const COLORDATA &sc = *j.Sc;
    const COLORDATA &dc = *j.Dc;
    const Options &o = p.O;
    const bool wideDest = p.Dk == Kind::Int16 || p.Dk == Kind::Half || p.Dk == Kind::Single;
    uint32_t carry[4] = {0, 0, 0, 0};
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
            if (p.SrcWide) {
                ReadWide(s, p.Sk, sc.ChannelCount, wide);
                if (!p.DestWide || p.Dk == Kind::Int8) sv = WideToArgb(p.Sk, wide);
            } else {
                uint32_t raw = ReadPixelValue(s, sBytes);
                if (o.Skip && (sBytes == 1 ? raw : raw & p.SrcMaskUnion) == p.SkipKey) continue;
                sv = sBytes == 1 ? PaletteValue(sc, raw) : raw;
            }
            if (wideDest) {
                WriteWideDest(p, dc, sv, wide, d);
                continue;
            }
            WritePacked(p, dc, d, PackedPixel(p, sv, a, j.Ac, aBytes, x, y, carry));
        }
    }
    return 0;
}

}  // namespace

int ConvertColorDataBlt(void *DestPixels, int DestPitch, const COLORDATA *DestColorData, const void *SrcPixels,
                        int SrcPitch, const COLORDATA *SrcColorData, const void *AlphaPixels, int AlphaPitch,
                        const COLORDATA *AlphaColorData, int DestX, int DestY, const ImageRect *SrcRect, int Mirror,
                        int ColorKeyAlphaTest, uint32_t ColorKey, int DitherMode, int AlphaOnly, int RedIsAlpha,
                        int SkipColorKey, int PaletteRemap)
{
    if (DestPixels == nullptr || DestColorData == nullptr || SrcPixels == nullptr || SrcColorData == nullptr ||
        SrcRect == nullptr)
        return -1;
    Rect r = {SrcRect->left, SrcRect->top, SrcRect->right - SrcRect->left, SrcRect->bottom - SrcRect->top};
    if (r.W <= 0 || r.H <= 0) return -1;
    // Working copies of the descriptors: nothing the caller passed is changed.
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
    uint8_t *dest = (uint8_t *)DestPixels;
    const uint8_t *src = (const uint8_t *)SrcPixels;

    GeneralJob job = {
        dest,
        DestPitch,
        &dc,
        src,
        SrcPitch,
        &sc,
        (const uint8_t *)AlphaPixels,
        AlphaPitch,
        AlphaColorData,
        DestX,
        DestY,
        r,
        {Mirror != 0, keyTest, AlphaOnly != 0, RedIsAlpha != 0, skip, useAlphaImage, DitherMode, ColorKey}};

    if (ColorConvertSettings.GeneralOnly) return GeneralConversion(job);

    // Float and 16-bit integer channels: a plain row copy between identical layouts, else the
    // general conversion.
    bool wide16 = sk == Kind::Int16 || dk == Kind::Int16;
    if (wide16 || sc.FloatFlag || dc.FloatFlag) {
        if (!Mirror && !keyTest && !useAlphaImage && !AlphaOnly && !RedIsAlpha && sc.FloatFlag == dc.FloatFlag &&
            sc.ChannelBits == dc.ChannelBits && sc.ChannelCount == dc.ChannelCount && sc.PixelBytes == dc.PixelBytes)
            return CopySameLayout(dest, DestPitch, DestX, DestY, src, SrcPitch, sc.PixelBytes, r, false, false,
                                  ColorKey);
        return GeneralConversion(job);
    }

    bool sPacked = sk == Kind::Packed, dPacked = dk == Kind::Packed;
    if (dPacked && dc.BitDepth == 4) {
        if (!sPacked || sc.BitDepth != 8 || (DestX & 1) != 0) return -1;
        return PackNibbles(dest, DestPitch, DestX, DestY, src, SrcPitch, r);
    }

    if (PaletteRemap && sPacked && dPacked && sc.BitDepth == 8 && dc.BitDepth == 8 && !Mirror && !SamePalette(sc, dc))
        return RemapPalette(dest, DestPitch, dc, DestX, DestY, src, SrcPitch, sc, r);

    if (dPacked && dc.BitDepth == 8) {
        if (sPacked && sc.BitDepth != 8 && !RedIsAlpha && !Mirror)
            return NearestPaletteIndices(dest, DestPitch, dc, DestX, DestY, src, SrcPitch, sc, r);
        if (sPacked && sc.BitDepth == 8 && !AlphaOnly && !skip && !RedIsAlpha && !Mirror)
            return CopyIndices(dest, DestPitch, DestX, DestY, src, SrcPitch, r);
    }

    if (!keyTest && !useAlphaImage && !AlphaOnly && !RedIsAlpha && sPacked && dPacked && sc.BitDepth == dc.BitDepth &&
        sc.RedMask == dc.RedMask && sc.GreenMask == dc.GreenMask && sc.BlueMask == dc.BlueMask &&
        sc.AlphaMask == dc.AlphaMask)
        return CopySameLayout(dest, DestPitch, DestX, DestY, src, SrcPitch, sc.PixelBytes, r, Mirror != 0, skip,
                              ColorKey);

    if (skip) {
        bool xrgb = sc.BitDepth == 32 && sc.RedMask == 0xFF0000 && sc.GreenMask == 0xFF00 && sc.BlueMask == 0xFF &&
                    sc.AlphaMask == 0;
        bool argb = dc.BitDepth == 32 && dc.RedMask == 0xFF0000 && dc.GreenMask == 0xFF00 && dc.BlueMask == 0xFF &&
                    dc.AlphaMask == 0xFF000000u;
        if (xrgb && argb && !alphaGiven && !keyTest && !DitherMode && !AlphaOnly && !RedIsAlpha && !PaletteRemap)
            return SkipKeyXrgbToArgb(dest, DestPitch, DestX, DestY, src, SrcPitch, r, ColorKey);
        return GeneralConversion(job);
    }

    if (keyTest && sPacked && dPacked && !AlphaOnly && sc.BitDepth == dc.BitDepth && sc.RedMask == dc.RedMask &&
        sc.GreenMask == dc.GreenMask && sc.BlueMask == dc.BlueMask)
        return KeyTestSameColour(dest, DestPitch, dc, DestX, DestY, src, SrcPitch, r, Mirror != 0, ColorKey);

    if (!DitherMode && !AlphaOnly && !RedIsAlpha && !Mirror && !alphaGiven &&
        ConvertColorDataFastPair(dest + (ptrdiff_t)DestY * DestPitch + (ptrdiff_t)DestX * dc.PixelBytes, DestPitch, dc,
                                 src + (ptrdiff_t)r.Y * SrcPitch + (ptrdiff_t)r.X * sc.PixelBytes, SrcPitch, sc, r.W,
                                 r.H, keyTest, ColorKey) != 0) {
        return 0;
    }
    return GeneralConversion(job);
}
