// The single-formula kernels (Mono, Invert, PremultipliedAlpha, InterpolatedAlpha) and the
// helpers every kernel shares.
#include <limits.h>

#include "zovuz/filter/kernels/filter_kernels_internal.h"

namespace {

inline uint8_t ClampByte(int Value) { return (uint8_t)(Value < 0 ? 0 : Value > 255 ? 255 : Value); }

inline float Clamp(float Value, float Low, float High) { return Value < Low ? Low : Value > High ? High : Value; }

}  // namespace

int TruncateToInt(float Value)
{
    if (!(Value == Value)) return 0;  // NaN
    if (Value >= 2147483648.0f) return INT_MAX;
    if (Value <= -2147483648.0f) return INT_MIN;
    return (int)Value;
}

uint32_t PackFilterColor(const float Color[4], int Pma, const FilterTables &Tables)
{
    uint8_t c[4];
    for (int i = 0; i < 4; ++i) {
        int v = TruncateToInt(Color[i] * 255.0f);
        c[i] = ClampByte(v);
    }
    uint8_t r = c[0], g = c[1], b = c[2], a = c[3];
    if (Pma) {
        r = Tables.Mul[r][a];
        g = Tables.Mul[g][a];
        b = Tables.Mul[b][a];
    }
    return (uint32_t)b | (uint32_t)g << 8 | (uint32_t)r << 16 | (uint32_t)a << 24;
}

float MonoTint(float Stored) { return Clamp(Stored / 200.0f, -0.5f, 0.5f); }

void MonoKernel(const FilterPixels &Src, const FilterPixels &Dest, float CbTint, float CrTint)
{
    // The offsets are the hardware pass's constants in the luma's fixed point; the green one
    // keeps the hardware pass's signs.
    const int kB = TruncateToInt(CbTint * 1.772f * 255.0f * 4096.0f);
    const int kG = TruncateToInt((CbTint * 0.34414f - CrTint * 0.71414f) * 255.0f * 4096.0f);
    const int kR = TruncateToInt(CrTint * 1.402f * 255.0f * 4096.0f);
    ForEachPixel(Src, Dest, [&](const uint8_t *s, uint8_t *d) {
        const int l = FilterLuma(s[2], s[1], s[0]);
        d[0] = ClampByte((l + kB) >> 12);
        d[1] = ClampByte((l + kG) >> 12);
        d[2] = ClampByte((l + kR) >> 12);
        d[3] = s[3];
    });
}

void InvertKernel(const FilterPixels &Src, const FilterPixels &Dest, int Pma, const FilterTables &Tables)
{
    ForEachPixel(Src, Dest, [&](const uint8_t *s, uint8_t *d) {
        const uint8_t a = s[3];
        for (int i = 0; i < 3; ++i) d[i] = Pma ? Tables.Mul[255 - Tables.Div[s[i]][a]][a] : (uint8_t)(255 - s[i]);
        d[3] = a;
    });
}

void PremultiplyAlphaKernel(const FilterPixels &Src, const FilterPixels &Dest)
{
    ForEachPixel(Src, Dest, [](const uint8_t *s, uint8_t *d) {
        const int a = s[3];
        for (int i = 0; i < 3; ++i) d[i] = (uint8_t)((s[i] * a) >> 8);
        d[3] = (uint8_t)a;
    });
}

void InterpolateAlphaKernel(const FilterPixels &Src, const FilterPixels &Dest)
{
    ForEachPixel(Src, Dest, [](const uint8_t *s, uint8_t *d) {
        const int a = s[3];
        for (int i = 0; i < 3; ++i) {
            const int c = a != 0 ? s[i] * 255 / a : 0;
            d[i] = (uint8_t)(c > 255 ? 255 : c);
        }
        d[3] = (uint8_t)a;
    });
}
