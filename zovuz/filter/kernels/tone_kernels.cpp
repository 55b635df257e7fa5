// The tone kernels: BrightnessScale, Level and Hsb. BrightnessScale and Hsb share an integer
// lightness model: lightness L = (max + min) / 2, saturation S 0-256, and a hue 0-1535 (256 units
// per 60 degrees) given by a pure colour that has one channel at 255, one at 0 and one between.
#include <math.h>

#include "zovuz/filter/kernels/filter_kernels_internal.h"

namespace {

inline float Clamp(float Value, float Low, float High) { return Value < Low ? Low : Value > High ? High : Value; }

// A pixel's channels in lightness terms.
struct Lightness
{
    int Max, Min, Delta;
    int L;  // 0-255
    int S;  // 0-256
};

Lightness LightnessOf(int R, int G, int B)
{
    Lightness h;
    h.Max = R > G ? (R > B ? R : B) : (G > B ? G : B);
    h.Min = R < G ? (R < B ? R : B) : (G < B ? G : B);
    h.Delta = h.Max - h.Min;
    h.L = (h.Max + h.Min) >> 1;
    int q = h.L <= 128 ? h.Max + h.Min : 512 - h.Max - h.Min;
    h.S = h.Delta == 0 ? 0 : (h.Delta * 256) / q;
    return h;
}

// How far each channel lies below the largest, 0-256 of the channels' spread.
struct ChannelDistance
{
    int R, G, B;
};
ChannelDistance DistanceOf(int R, int G, int B, const Lightness &H)
{
    return {((H.Max - R) * 256) / H.Delta, ((H.Max - G) * 256) / H.Delta, ((H.Max - B) * 256) / H.Delta};
}

inline int AtMost255(int Value) { return Value > 255 ? 255 : Value; }

// The pure colour of a pixel, by where its largest channel lies. A channel that ties with the
// largest comes out at 256 and is held at 255: as a byte it would wrap to 0 and turn yellow red.
void PureColorOf(int R, int G, int B, const Lightness &H, int P[3])
{
    if (H.Delta == 0) {
        P[0] = 255, P[1] = 0, P[2] = 0;
        return;
    }
    const ChannelDistance d = DistanceOf(R, G, B, H);
    if (R == H.Max) {
        P[0] = 255;
        P[1] = d.B > d.G ? d.B - d.G : 0;
        P[2] = d.B > d.G ? 0 : d.G - d.B;
    } else if (G == H.Max) {
        P[1] = 255;
        P[0] = d.R <= d.B ? d.B - d.R : 0;
        P[2] = d.R <= d.B ? 0 : d.R - d.B;
    } else {
        P[2] = 255;
        P[1] = d.G <= d.R ? d.R - d.G : 0;
        P[0] = d.G <= d.R ? 0 : d.G - d.R;
    }
    for (int i = 0; i < 3; ++i) P[i] = AtMost255(P[i]);
}

// The pure colour of a hue 0-1535, as red, green, blue.
void PureColorOfHue(int Hue, int P[3])
{
    const int f = Hue & 255;
    switch (Hue >> 8) {
        case 0:
            P[0] = 255, P[1] = f, P[2] = 0;
            break;
        case 1:
            P[0] = 255 - f, P[1] = 255, P[2] = 0;
            break;
        case 2:
            P[0] = 0, P[1] = 255, P[2] = f;
            break;
        case 3:
            P[0] = 0, P[1] = 255 - f, P[2] = 255;
            break;
        case 4:
            P[0] = f, P[1] = 0, P[2] = 255;
            break;
        default:
            P[0] = 255, P[1] = 0, P[2] = 255 - f;
            break;
    }
}

// One channel rebuilt from its pure colour, a saturation 0-256 and a lightness 0-255.
inline uint8_t Rebuild(int P, int S, int L)
{
    const int c1 = P + (((128 - P) * (256 - S)) >> 8);
    if (L <= 128) return (uint8_t)((2 * L * c1) >> 8);
    return (uint8_t)(c1 + (((255 - c1) * (L - 128) * 2) >> 8));
}

// The loop every tone kernel shares: the straight colour of each pixel (red, green, blue) to
// Compute, which writes the new straight colour; the result premultiplied again; alpha kept.
template <typename Compute>
void ForEachStraightPixel(const FilterPixels &Src, const FilterPixels &Dest, int Pma, const FilterTables &Tables,
                          Compute compute)
{
    ForEachPixel(Src, Dest, [&](const uint8_t *s, uint8_t *d) {
        const uint8_t a = s[3];
        int c[3] = {s[2], s[1], s[0]};
        if (Pma)
            for (int i = 0; i < 3; ++i) c[i] = Tables.Div[c[i]][a];
        uint8_t out[3];
        compute(c, out);
        if (Pma)
            for (int i = 0; i < 3; ++i) out[i] = Tables.Mul[out[i]][a];
        d[0] = out[2], d[1] = out[1], d[2] = out[0], d[3] = a;
    });
}

}  // namespace

// ---- BrightnessScale ---------------------------------------------------------------------------

void BrightnessScaleRange(int Min, int Max, int *Lo, int *Hi)
{
    int lo = Min < 0 ? 0 : Min > 254 ? 254 : Min;
    int hi = Max < 1 ? 1 : Max > 255 ? 255 : Max;
    if (lo == hi) hi = lo + 1;
    *Lo = lo;
    *Hi = hi;
}

void BrightnessScaleKernel(const FilterPixels &Src, const FilterPixels &Dest, int Lo, int Hi, int Pma,
                           const FilterTables &Tables)
{
    // A range given backwards (lo above hi) makes the scale negative: lightness is inverted.
    const int scale = (255 * 4096) / (Hi - Lo);
    ForEachStraightPixel(Src, Dest, Pma, Tables, [&](const int c[3], uint8_t out[3]) {
        const Lightness h = LightnessOf(c[0], c[1], c[2]);
        int p[3];
        PureColorOf(c[0], c[1], c[2], h, p);
        int l = ((h.L - Lo) * scale) >> 12;
        l = l < 0 ? 0 : l > 255 ? 255 : l;
        for (int i = 0; i < 3; ++i) out[i] = Rebuild(p[i], h.S, l);
    });
}

// ---- Level ---------------------------------------------------------------------------------------

LevelSetup LevelSetupOf(float Min, float Max, float Gamma, float AfterMin, float AfterMax)
{
    LevelSetup s;
    s.InMin = Clamp(Min / 255.0f, 0.0f, 1.0f);
    s.InMax = Clamp(Max / 255.0f, 0.0f, 1.0f);
    s.OutMin = Clamp(AfterMin / 255.0f, 0.0f, 1.0f);
    s.OutMax = Clamp(AfterMax / 255.0f, 0.0f, 1.0f);
    s.Gamma = Gamma < 0.001f ? 0.001f : Gamma;
    if (s.InMin > s.InMax) s.InMin = s.InMax;
    if (s.OutMin > s.OutMax) s.OutMin = s.OutMax;
    return s;
}

void BuildLevelGammaTable(float Gamma, int Table[256])
{
    for (int i = 0; i < 256; ++i) {
        float v = powf((float)i / 255.0f, 1.0f / Gamma) * 255.0f;
        Table[i] = v > 255.0f ? 255 : TruncateToInt(v);
    }
}

void LevelKernel(const FilterPixels &Src, const FilterPixels &Dest, const LevelSetup &Setup, const int GammaTable[256],
                 int Pma, const FilterTables &Tables)
{
    const int lo = TruncateToInt(Setup.InMin * 255.0f), hi = TruncateToInt(Setup.InMax * 255.0f);
    const int olo = TruncateToInt(Setup.OutMin * 255.0f), ohi = TruncateToInt(Setup.OutMax * 255.0f);
    const int range = hi - lo, orange = ohi - olo;
    // The curve's value of each input byte, once for all pixels. An empty input range is a step
    // at lo: the bottom of the curve up to lo, its top above.
    uint8_t curve[256];
    for (int c = 0; c < 256; ++c) {
        int v;
        if (range == 0) {
            v = c <= lo ? GammaTable[0] : GammaTable[255];
        } else {
            int t = ((c - lo) * 256) / range;
            v = t < 0 ? GammaTable[0] : t > 255 ? GammaTable[255] : GammaTable[t];
        }
        curve[c] = (uint8_t)((v * orange + olo * 256) >> 8);
    }
    ForEachStraightPixel(Src, Dest, Pma, Tables, [&](const int c[3], uint8_t out[3]) {
        for (int i = 0; i < 3; ++i) out[i] = curve[c[i]];
    });
}

// ---- Hsb -------------------------------------------------------------------------------------------

HsbSetup HsbSetupOf(int Type, float Hue, float Saturation, float Bright)
{
    HsbSetup s;
    s.Type = Type;
    float h = Hue / 360.0f;
    h = Type == 0 ? Clamp(h, -0.5f, 0.5f) : Clamp(h, 0.0f, 1.0f);
    s.Hue6 = h * 6.0f;
    s.Saturation = Clamp(Saturation / 100.0f, -1.0f, 1.0f);
    s.Bright = Bright / 100.0f;
    s.HueI = TruncateToInt(s.Hue6 * 256.0f);
    s.SaturationI =
        s.Saturation > 0.0f ? TruncateToInt(s.Saturation * 5.0f * 256.0f) : TruncateToInt(s.Saturation * 256.0f);
    // Beyond +-1.0 the brightened channels would leave 0-255 and the lightness model would
    // divide by zero: the processor holds the brightness to that range.
    s.BrightI = TruncateToInt(Clamp(s.Bright, -1.0f, 1.0f) * 256.0f);
    return s;
}

void HsbKernel(const FilterPixels &Src, const FilterPixels &Dest, const HsbSetup &Setup, int Pma,
               const FilterTables &Tables)
{
    const int bi = Setup.BrightI, si = Setup.SaturationI, hueI = Setup.HueI;
    ForEachStraightPixel(Src, Dest, Pma, Tables, [&](const int c[3], uint8_t out[3]) {
        int b[3];
        for (int i = 0; i < 3; ++i) b[i] = bi > 0 ? c[i] + (((255 - c[i]) * bi) >> 8) : (c[i] * (bi + 256)) >> 8;
        const Lightness h = LightnessOf(b[0], b[1], b[2]);
        int s = ((si + 256) * h.S) >> 8;
        if (s > 256) s = 256;
        int hue;
        if (Setup.Type == 1) {
            hue = hueI >= 1536 ? hueI - 1536 : hueI;
        } else {
            int own = 0;
            if (h.Delta != 0) {
                const ChannelDistance d = DistanceOf(b[0], b[1], b[2], h);
                own = b[0] == h.Max ? d.B - d.G : b[1] == h.Max ? d.R - d.B + 512 : d.G - d.R + 1024;
                if (own < 0) own += 1536;
            }
            hue = own + hueI;
            if (hue < 0)
                hue += 1536;
            else if (hue >= 1536)
                hue -= 1536;
        }
        int p[3];
        PureColorOfHue(hue, p);
        for (int i = 0; i < 3; ++i) out[i] = Rebuild(p[i], s, h.L);
    });
}
