// The fast pairs of ConvertColorDataBlt: the common loads (palette, 5-6-5, 5-5-5, 24- and
// 32-bit pixels into 16- and 32-bit textures and screens) by plain shifts. Narrowing drops low
// bits; widening leaves the new low bits 0 (5-6-5 white becomes 0x00F8FCF8 here, where the
// general conversion gives 0xFFFFFFFF). The "key" pairs give pixels of the colour key alpha 0.
#include <string.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "zovuz/core/zovuz_core.h"
#include "zovuz/graphics/image/base_image_internal.h"

ColorConvertSettingsData ColorConvertSettings = {0, 0};

namespace {

enum class Fmt { Other, Ch1x8, Ch2x8, Pal8, Argb, Abgr, Xrgb, Xbgr, Rgb24, R565, X555, A1555, A5551 };

Fmt Classify(const COLORDATA &c)
{
    if (c.Format != 0) return Fmt::Other;
    if (c.ChannelCount != 0) {
        if (c.FloatFlag || c.ChannelBits != 8) return Fmt::Other;
        if (c.ChannelCount == 1 && c.PixelBytes == 1) return Fmt::Ch1x8;
        if (c.ChannelCount == 2 && c.PixelBytes == 2) return Fmt::Ch2x8;
        return Fmt::Other;
    }
    uint32_t r = c.RedMask, g = c.GreenMask, b = c.BlueMask, a = c.AlphaMask;
    switch (c.BitDepth) {
        case 8:
            return c.PixelBytes == 1 ? Fmt::Pal8 : Fmt::Other;
        case 16:
            if (c.PixelBytes != 2) return Fmt::Other;
            if (r == 0xF800 && g == 0x07E0 && b == 0x001F && a == 0) return Fmt::R565;
            if (r == 0x7C00 && g == 0x03E0 && b == 0x001F && a == 0) return Fmt::X555;
            if (r == 0x7C00 && g == 0x03E0 && b == 0x001F && a == 0x8000) return Fmt::A1555;
            if (r == 0xF800 && g == 0x07C0 && b == 0x003E && a == 0x0001) return Fmt::A5551;
            return Fmt::Other;
        case 24:
            return c.PixelBytes == 3 && r == 0xFF0000 && g == 0xFF00 && b == 0xFF && a == 0 ? Fmt::Rgb24 : Fmt::Other;
        case 32:
            if (c.PixelBytes != 4) return Fmt::Other;
            if (r == 0xFF0000 && g == 0xFF00 && b == 0xFF)
                return a == 0xFF000000u ? Fmt::Argb : a == 0 ? Fmt::Xrgb : Fmt::Other;
            if (r == 0xFF && g == 0xFF00 && b == 0xFF0000)
                return a == 0xFF000000u ? Fmt::Abgr : a == 0 ? Fmt::Xbgr : Fmt::Other;
            return Fmt::Other;
        default:
            return Fmt::Other;
    }
}

template <int B>
inline uint32_t Rd(const uint8_t *p);
template <>
inline uint32_t Rd<1>(const uint8_t *p)
{
    return p[0];
}
template <>
inline uint32_t Rd<2>(const uint8_t *p)
{
    uint16_t v;
    memcpy(&v, p, 2);
    return v;
}
template <>
inline uint32_t Rd<3>(const uint8_t *p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16;
}
template <>
inline uint32_t Rd<4>(const uint8_t *p)
{
    uint32_t v;
    memcpy(&v, p, 4);
    return v;
}

template <int B>
inline void Wr(uint8_t *p, uint32_t v);
template <>
inline void Wr<1>(uint8_t *p, uint32_t v)
{
    p[0] = (uint8_t)v;
}
template <>
inline void Wr<2>(uint8_t *p, uint32_t v)
{
    uint16_t h = (uint16_t)v;
    memcpy(p, &h, 2);
}
template <>
inline void Wr<3>(uint8_t *p, uint32_t v)
{
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    p[2] = (uint8_t)(v >> 16);
}
template <>
inline void Wr<4>(uint8_t *p, uint32_t v)
{
    memcpy(p, &v, 4);
}

struct Rows
{
    uint8_t *Dest;
    int DestPitch;
    const uint8_t *Src;
    int SrcPitch;
    int Width, Height;
};

template <int SB, int DB, typename F>
void Each(const Rows &r, F Convert)
{
    for (int y = 0; y < r.Height; ++y) {
        const uint8_t *s = r.Src + (ptrdiff_t)y * r.SrcPitch;
        uint8_t *d = r.Dest + (ptrdiff_t)y * r.DestPitch;
        for (int x = 0; x < r.Width; ++x, s += SB, d += DB) Wr<DB>(d, Convert(Rd<SB>(s)));
    }
}

void CopyRows(const Rows &r, int Bytes)
{
    for (int y = 0; y < r.Height; ++y)
        memcpy(r.Dest + (ptrdiff_t)y * r.DestPitch, r.Src + (ptrdiff_t)y * r.SrcPitch, (size_t)r.Width * Bytes);
}

// 0x00RRGGBB packed down by plain shifts.
inline uint32_t To565(uint32_t c) { return (c >> 8 & 0xF800) | (c >> 5 & 0x07E0) | (c >> 3 & 0x001F); }
inline uint32_t To555(uint32_t c) { return (c >> 9 & 0x7C00) | (c >> 6 & 0x03E0) | (c >> 3 & 0x001F); }
inline uint32_t To5551(uint32_t c) { return (c >> 8 & 0xF800) | (c >> 5 & 0x07C0) | (c >> 2 & 0x003E); }
inline uint32_t SwapRB(uint32_t c) { return (c & 0xFF00FF00u) | (c >> 16 & 0xFF) | (c & 0xFF) << 16; }

// 16-bit pixels widened to 0x00RRGGBB with the new low bits 0.
inline uint32_t From565(uint32_t c) { return (c & 0xF800) << 8 | (c & 0x07E0) << 5 | (c & 0x001F) << 3; }
inline uint32_t From555(uint32_t c) { return (c & 0x7C00) << 9 | (c & 0x03E0) << 6 | (c & 0x001F) << 3; }

// 5-6-5 rows into 0x00RRGGBB, the common 16-bit load onto a 32-bit screen: eight pixels a step
// where the processor has SSE2 (the same shifts in four lanes), the rest one by one.
void Convert565ToXrgb(const Rows &r)
{
#if defined(__SSE2__)
    const __m128i red = _mm_set1_epi32(0xF800), green = _mm_set1_epi32(0x07E0), blue = _mm_set1_epi32(0x001F);
    const __m128i zero = _mm_setzero_si128();
    auto widen = [&](__m128i c) {
        return _mm_or_si128(
            _mm_or_si128(_mm_slli_epi32(_mm_and_si128(c, red), 8), _mm_slli_epi32(_mm_and_si128(c, green), 5)),
            _mm_slli_epi32(_mm_and_si128(c, blue), 3));
    };
#endif
    for (int y = 0; y < r.Height; ++y) {
        const uint8_t *s = r.Src + (ptrdiff_t)y * r.SrcPitch;
        uint8_t *d = r.Dest + (ptrdiff_t)y * r.DestPitch;
        int x = 0;
#if defined(__SSE2__)
        for (; x + 8 <= r.Width; x += 8, s += 16, d += 32) {
            const __m128i eight = _mm_loadu_si128((const __m128i *)s);
            _mm_storeu_si128((__m128i *)d, widen(_mm_unpacklo_epi16(eight, zero)));
            _mm_storeu_si128((__m128i *)(d + 16), widen(_mm_unpackhi_epi16(eight, zero)));
        }
#endif
        for (; x < r.Width; ++x, s += 2, d += 4) Wr<4>(d, From565(Rd<2>(s)));
    }
}

// 0x00RRGGBB with an alpha flag into a destination that has alpha.
inline uint32_t WithAlpha(Fmt Dest, uint32_t c, bool Opaque)
{
    switch (Dest) {
        case Fmt::A1555:
            return To555(c) | (Opaque ? 0x8000u : 0u);
        case Fmt::A5551:
            return To5551(c) | (Opaque ? 1u : 0u);
        case Fmt::Argb:
            return (c & 0xFFFFFF) | (Opaque ? 0xFF000000u : 0u);
        default:
            return SwapRB(c & 0xFFFFFF) | (Opaque ? 0xFF000000u : 0u);
    }
}

// The 16-bit to 16-bit pairs, two or four pixels per step; the odd pixels at the end singly.
template <typename Word, typename F>
void Each16(const Rows &r, int Step, F Convert)
{
    for (int y = 0; y < r.Height; ++y) {
        const uint8_t *s = r.Src + (ptrdiff_t)y * r.SrcPitch;
        uint8_t *d = r.Dest + (ptrdiff_t)y * r.DestPitch;
        int x = 0;
        for (; x + Step <= r.Width; x += Step, s += 2 * Step, d += 2 * Step) {
            Word w;
            memcpy(&w, s, sizeof(w));
            w = Convert(w);
            memcpy(d, &w, sizeof(w));
        }
        for (; x < r.Width; ++x, s += 2, d += 2) Wr<2>(d, (uint32_t)Convert((Word)Rd<2>(s)) & 0xFFFF);
    }
}

template <typename Word>
constexpr Word Repeat16(uint32_t v)
{
    Word w = 0;
    for (unsigned i = 0; i < sizeof(Word) / 2; ++i) w |= (Word)v << (16 * i);
    return w;
}

template <typename Word>
void Convert565To555(const Rows &r, int Step)
{
    Each16<Word>(r, Step,
                 [](Word w) { return (Word)((w >> 1) & Repeat16<Word>(0x7FE0)) | (w & Repeat16<Word>(0x001F)); });
}

template <typename Word>
void Convert555To565(const Rows &r, int Step)
{
    Each16<Word>(r, Step, [](Word w) {
        return (Word)((w & Repeat16<Word>(0x7FE0)) << 1) | (w & Repeat16<Word>(0x0020)) | (w & Repeat16<Word>(0x001F));
    });
}

int PixelStep()
{
    static int mmx = -1;
    if (ColorConvertSettings.PixelStep == 2 || ColorConvertSettings.PixelStep == 4)
        return ColorConvertSettings.PixelStep;
    if (mmx < 0) mmx = CheckMMX();
    return mmx ? 4 : 2;
}

void Convert16To16(const Rows &r, bool From565Side)
{
    if (PixelStep() == 4) {
        if (From565Side)
            Convert565To555<uint64_t>(r, 4);
        else
            Convert555To565<uint64_t>(r, 4);
    } else {
        if (From565Side)
            Convert565To555<uint32_t>(r, 2);
        else
            Convert555To565<uint32_t>(r, 2);
    }
}

bool IsThirtyTwo(Fmt f) { return f == Fmt::Argb || f == Fmt::Xrgb || f == Fmt::Abgr || f == Fmt::Xbgr; }

bool HasAlphaForKey(Fmt f) { return f == Fmt::A1555 || f == Fmt::Argb || f == Fmt::Abgr; }

int PairWithoutKey(Fmt s, Fmt d, const Rows &r, const COLORDATA &sc)
{
    switch (s) {
        case Fmt::Ch1x8:
            if (d == Fmt::Ch1x8) {
                CopyRows(r, 1);
                return 1;
            }
            if (d == Fmt::Ch2x8) {
                Each<1, 2>(r, [](uint32_t v) { return v * 0x0101u; });
                return 1;
            }
            if (IsThirtyTwo(d)) {
                Each<1, 4>(r, [](uint32_t v) { return v * 0x01010101u; });
                return 1;
            }
            return 0;
        case Fmt::Ch2x8:
            if (d == Fmt::Ch2x8) {
                CopyRows(r, 2);
                return 1;
            }
            if (IsThirtyTwo(d)) {
                Each<2, 4>(r, [](uint32_t v) { return v | v << 16; });
                return 1;
            }
            return 0;
        case Fmt::Pal8: {
            if (d != Fmt::R565 && d != Fmt::X555 && d != Fmt::Xrgb) return 0;
            uint32_t table[256];
            for (int i = 0; i < 256; ++i) {
                uint32_t e;
                memcpy(&e, &sc.Palette[i], 4);
                table[i] = d == Fmt::R565 ? To565(e) : d == Fmt::X555 ? To555(e) | 0x8000u : e | 0xFF000000u;
            }
            if (d == Fmt::Xrgb)
                Each<1, 4>(r, [&](uint32_t v) { return table[v]; });
            else
                Each<1, 2>(r, [&](uint32_t v) { return table[v]; });
            return 1;
        }
        case Fmt::Argb:
        case Fmt::Xrgb:
            if (s == Fmt::Argb && d == Fmt::Abgr) {
                Each<4, 4>(r, SwapRB);
                return 1;
            }
            // The Direct3D 11 textures' load: an opaque image into R8G8B8A8.
            if (s == Fmt::Xrgb && d == Fmt::Abgr) {
                Each<4, 4>(r, [](uint32_t v) { return SwapRB(v) | 0xFF000000u; });
                return 1;
            }
            if (s == Fmt::Argb && d == Fmt::Xrgb) {
                CopyRows(r, 4);
                return 1;
            }
            // No alpha is wanted in 5-6-5, so an ARGB source takes this pair as XRGB does.
            if (d == Fmt::R565) {
                Each<4, 2>(r, To565);
                return 1;
            }
            return 0;
        case Fmt::A1555:
            if (d != Fmt::Abgr) return 0;
            Each<2, 4>(r, [](uint32_t v) { return SwapRB(From555(v)) | ((v & 0x8000) ? 0xFF000000u : 0u); });
            return 1;
        case Fmt::R565:
            if (d == Fmt::Rgb24) {
                Each<2, 3>(r, From565);
                return 1;
            }
            if (d == Fmt::Xrgb) {
                Convert565ToXrgb(r);
                return 1;
            }
            if (d == Fmt::X555) {
                Convert16To16(r, true);
                return 1;
            }
            return 0;
        case Fmt::X555:
            if (d == Fmt::R565) {
                Convert16To16(r, false);
                return 1;
            }
            return 0;
        case Fmt::Rgb24:
            if (d == Fmt::R565) {
                Each<3, 2>(r, To565);
                return 1;
            }
            if (d == Fmt::X555) {
                Each<3, 2>(r, [](uint32_t c) { return To555(c) | 0x8000u; });
                return 1;
            }
            if (d == Fmt::Xrgb) {
                Each<3, 4>(r, [](uint32_t c) { return c | 0xFF000000u; });
                return 1;
            }
            if (d == Fmt::Xbgr) {
                Each<3, 4>(r, [](uint32_t c) { return SwapRB(c) | 0xFF000000u; });
                return 1;
            }
            return 0;
        default:
            return 0;
    }
}

int PairWithKey(Fmt s, Fmt d, const Rows &r, const COLORDATA &sc, uint32_t Key)
{
    uint32_t key = Key & 0xFFFFFF;
    switch (s) {
        case Fmt::Pal8: {
            if (!HasAlphaForKey(d)) return 0;
            uint32_t table[256];
            for (int i = 0; i < 256; ++i) {
                uint32_t e;
                memcpy(&e, &sc.Palette[i], 4);
                table[i] = WithAlpha(d, e, (e & 0xFFFFFF) != key);
            }
            if (d == Fmt::A1555)
                Each<1, 2>(r, [&](uint32_t v) { return table[v]; });
            else
                Each<1, 4>(r, [&](uint32_t v) { return table[v]; });
            return 1;
        }
        case Fmt::Rgb24:
            if (!HasAlphaForKey(d)) return 0;
            if (d == Fmt::A1555)
                Each<3, 2>(r, [&](uint32_t c) { return WithAlpha(d, c, c != key); });
            else
                Each<3, 4>(r, [&](uint32_t c) { return WithAlpha(d, c, c != key); });
            return 1;
        case Fmt::Xrgb:
            if (d != Fmt::Abgr) return 0;
            Each<4, 4>(r, [&](uint32_t c) { return WithAlpha(d, c, (c & 0xFFFFFF) != key); });
            return 1;
        case Fmt::R565:
        case Fmt::X555: {
            if (!HasAlphaForKey(d) && d != Fmt::A5551) return 0;
            // The key in the source's own format; 5-5-5 compares its colour bits only.
            bool is565 = s == Fmt::R565;
            uint32_t sourceKey = is565 ? To565(key) : To555(key);
            uint32_t colour = is565 ? 0xFFFF : 0x7FFF;
            auto widen = [is565](uint32_t c) { return is565 ? From565(c) : From555(c); };
            auto one = [&](uint32_t c) { return WithAlpha(d, widen(c), (c & colour) != sourceKey); };
            if (d == Fmt::A1555 || d == Fmt::A5551)
                Each<2, 2>(r, one);
            else
                Each<2, 4>(r, one);
            return 1;
        }
        default:
            return 0;
    }
}

}  // namespace

int ConvertColorDataFastPair(uint8_t *Dest, int DestPitch, const COLORDATA &DestColor, const uint8_t *Src, int SrcPitch,
                             const COLORDATA &SrcColor, int Width, int Height, int ColorKeyAlphaTest, uint32_t ColorKey)
{
    Fmt s = Classify(SrcColor), d = Classify(DestColor);
    if (s == Fmt::Other || d == Fmt::Other) return 0;
    Rows r = {Dest, DestPitch, Src, SrcPitch, Width, Height};
    return ColorKeyAlphaTest ? PairWithKey(s, d, r, SrcColor, ColorKey) : PairWithoutKey(s, d, r, SrcColor);
}
