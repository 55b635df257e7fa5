// The kernels that choose each output pixel by the input's brightness: BrightClip, TwoColor and
// GradientMap. The brightness is always that of the straight colour.
#include <string.h>

#include "zovuz/filter/kernels/filter_kernels_internal.h"

namespace {

// The brightness of a stored pixel, taken to straight colour first when premultiplied.
inline int StraightLuma(const uint8_t *P, int Pma, const FilterTables &Tables)
{
    if (!Pma) return FilterLuma(P[2], P[1], P[0]);
    const uint8_t a = P[3];
    return FilterLuma(Tables.Div[P[2]][a], Tables.Div[P[1]][a], Tables.Div[P[0]][a]);
}

inline void StorePixel(uint8_t *D, uint32_t Pixel) { memcpy(D, &Pixel, 4); }

}  // namespace

int BrightClipThreshold(float ClampedValue) { return TruncateToInt(ClampedValue * 255.0f * 4096.0f); }

void BrightClipKernel(const FilterPixels &Src, const FilterPixels &Dest, const BrightClipSetup &Setup, int Pma,
                      const FilterTables &Tables)
{
    const bool less = Setup.Compare == FILTER_COMPARE_LESS;
    ForEachPixel(Src, Dest, [&](const uint8_t *s, uint8_t *d) {
        const int l = StraightLuma(s, Pma, Tables);
        const bool clipped = less ? l < Setup.Threshold : l > Setup.Threshold;
        if (!clipped)
            memcpy(d, s, 4);
        else if (Setup.FillFlag)
            StorePixel(d, Setup.Fill);
    });
}

int TwoColorThreshold(float Threshold) { return TruncateToInt(Threshold * 4096.0f); }

void TwoColorKernel(const FilterPixels &Src, const FilterPixels &Dest, int Threshold, uint32_t Low, uint32_t High,
                    int Pma, const FilterTables &Tables)
{
    ForEachPixel(Src, Dest, [&](const uint8_t *s, uint8_t *d) {
        StorePixel(d, StraightLuma(s, Pma, Tables) < Threshold ? Low : High);
    });
}

void BuildGradientTable(const FilterPixels &Gradient, int Reverse, int Pma, const FilterTables &Tables,
                        uint32_t Table[256])
{
    const uint8_t *row = Gradient.Row(0);
    for (int i = 0; i < 256; ++i) {
        const uint8_t *p = row + (size_t)(((int64_t)i * Gradient.Width) >> 8) * 4;
        uint8_t c[4] = {p[0], p[1], p[2], p[3]};
        if (Pma)
            for (int k = 0; k < 3; ++k) c[k] = Tables.Mul[c[k]][c[3]];
        uint32_t entry;
        memcpy(&entry, c, 4);
        Table[Reverse ? 255 - i : i] = entry;
    }
}

void GradientMapKernel(const FilterPixels &Src, const FilterPixels &Dest, const uint32_t Table[256], int Pma,
                       const FilterTables &Tables)
{
    ForEachPixel(Src, Dest,
                 [&](const uint8_t *s, uint8_t *d) { StorePixel(d, Table[StraightLuma(s, Pma, Tables) >> 12]); });
}
