// The blend kernels: a blend image mixed into the source by one of the blend types, weighted by
// the blend pixel's alpha and the blend ratio, and the RGBA channel mix.
#include <math.h>

#include "zovuz/filter/kernels/filter_kernels_internal.h"

namespace {

inline int AtMost255(int Value) { return Value > 255 ? 255 : Value; }

// The type's value of one straight colour channel s against the blend's b, before the weighted
// mix (types 0 and 2-13).
int BlendValue(int Type, int s, int b)
{
    switch (Type) {
        case 0:
            return b;  // Normal
        case 2:
            return (b * s) >> 8;  // Multiple
        case 3:
            return s - b < 0 ? 0 : s - b;  // Difference
        case 4:
            return AtMost255(s + b);  // Add
        case 5:
            return 255 - (((255 - s) * (255 - b)) >> 8);  // Screen
        case 6:                                           // Overlay
            return AtMost255(s < 128 ? (b * s) >> 7 : ((((256 - s) * b + s * 256) * 2) >> 8) - 255);
        case 7:
            return b < 255 ? AtMost255((s * 256) / (255 - b)) : 255;  // Dodge
        case 8: {                                                     // Burn
            int v = ((s - 255) * 256) / (b + 1) + 255;
            return v < 0 ? 0 : v;
        }
        case 9:
            return s < b ? s : b;  // Darken
        case 10:
            return s > b ? s : b;  // Lighten
        case 11: {                 // SoftLight
            const float bf = (float)b / 255.0f;
            const float e = b < 128 ? (1.0f - bf) * 2.0f : 0.5f / bf;
            int v = TruncateToInt(powf((float)s / 255.0f, e) * 255.0f);
            return v < 0 ? 0 : AtMost255(v);
        }
        case 12:  // HardLight
            return AtMost255(b < 128 ? (s * b) >> 7 : ((((256 - s) * b + s * 256) * 2) >> 8) - 255);
        case 13:
            return AtMost255((s * 128 + (128 - s) * b) >> 7);  // Exclusion
        default:
            return s;
    }
}

// The weighted mix of a channel towards f; w = blend alpha x Ratio256.
inline int Mix(int s, int f, int w) { return ((f - s) * w + s * 65536) >> 16; }

}  // namespace

void BlendBasicKernel(const FilterPixels &Src, const FilterPixels &Blend, const FilterPixels &Dest, int Type,
                      int Ratio256, int Pma, const FilterTables &Tables)
{
    for (int y = 0; y < Dest.Height; ++y) {
        const uint8_t *sp = Src.Row(y), *bp = Blend.Row(y);
        uint8_t *d = Dest.Row(y);
        for (int x = 0; x < Dest.Width; ++x, sp += 4, bp += 4, d += 4) {
            const int sa = sp[3], ba = bp[3];
            const int w = ba * Ratio256;
            int s[3], b[3];
            for (int i = 0; i < 3; ++i) {
                s[i] = Pma ? Tables.Div[sp[i]][sa] : sp[i];
                b[i] = Pma ? Tables.Div[bp[i]][ba] : bp[i];
            }
            if (Type == 14 || Type == 15) {  // Normal_AlphaCh, Add_AlphaCh
                const int bw = w >> 8;
                const int alpha = Type == 14 ? (sa * (256 - bw) + bw * 256) : ((256 - bw) * sa + bw * 256) >> 8;
                if (alpha == 0) continue;  // nothing to show: the pixel stays as it is
                for (int i = 0; i < 3; ++i) {
                    int c = Type == 14 ? (s[i] * sa * (256 - bw) + b[i] * bw * 256) / alpha
                                       : AtMost255((b[i] * bw + s[i] * sa) / alpha);
                    const int outAlpha = Type == 14 ? alpha >> 8 : alpha;
                    d[i] = Pma ? Tables.Mul[c & 0xFF][outAlpha] : (uint8_t)c;
                }
                d[3] = (uint8_t)(Type == 14 ? alpha >> 8 : alpha);
                continue;
            }
            if (Type == 16) {  // Multiple_AOnly
                const int a = ((((ba * sa) >> 8) - sa) * (Ratio256 * 255) + sa * 65536) >> 16;
                for (int i = 0; i < 3; ++i) d[i] = Pma ? Tables.Mul[s[i]][a & 0xFF] : (uint8_t)s[i];
                d[3] = (uint8_t)a;
                continue;
            }
            for (int i = 0; i < 3; ++i) {
                const int out = Mix(s[i], BlendValue(Type, s[i], b[i]), w);
                d[i] = Pma ? Tables.Mul[out & 0xFF][sa] : (uint8_t)out;
            }
            d[3] = (uint8_t)sa;
        }
    }
}

void BlendRgbaMixKernel(const FilterPixels &Src, const FilterPixels &Blend, const FilterPixels &Dest,
                        const int Selector[4])
{
    // The selectors name red, green, blue, alpha; the bytes lie blue, green, red, alpha.
    static const int kByteOf[4] = {2, 1, 0, 3};
    for (int y = 0; y < Dest.Height; ++y) {
        const uint8_t *sp = Src.Row(y), *bp = Blend.Row(y);
        uint8_t *d = Dest.Row(y);
        for (int x = 0; x < Dest.Width; ++x, sp += 4, bp += 4, d += 4) {
            for (int out = 0; out < 4; ++out) {
                const int sel = Selector[out];
                d[kByteOf[out]] = sel < 0 || sel > 7 ? 0 : (sel < 4 ? sp : bp)[kByteOf[sel & 3]];
            }
        }
    }
}
