// The computed parts of the state tables: the sampler cache's filter numbers and the soft-border
// constants of blend texture mode 1.
#include "zovuz/d3d11/state/d3d11_state_tables.h"

namespace {

// D3D11_FILTER values the sampler cache keeps, in the order of their numbers: the nine plain
// filters, then their COMPARISON_ forms.
constexpr int CachedFilters[D3D11_SAMPLER_FILTER_NUMBERS] = {
    0x00, 0x01, 0x04, 0x05, 0x10, 0x11, 0x14, 0x15, 0x55, 0x80, 0x81, 0x84, 0x85, 0x90, 0x91, 0x94, 0x95, 0xD5,
};

struct FilterNumberTable
{
    signed char Number[256];
};

const FilterNumberTable &FilterNumbers()
{
    // Built on first use.
    static const FilterNumberTable table = [] {
        FilterNumberTable t;
        for (signed char &n : t.Number) n = -1;
        for (int i = 0; i < D3D11_SAMPLER_FILTER_NUMBERS; i++) t.Number[CachedFilters[i]] = (signed char)i;
        return t;
    }();
    return table;
}

// The soft border by range: the scale, the span of the position walk, the cut that separates
// the raising from the lowering offsets, and the raising step's numerator.
struct BorderRow
{
    float Scale;
    int Span, Cut, Step;
};
constexpr BorderRow BorderRows[3] = {
    {1.0f, 512, 256, 255},   // above 128 pixels
    {2.0f, 768, 512, 128},   // 65-128
    {4.0f, 1280, 1024, 64},  // 2-64
};

}  // namespace

int D3D11SamplerFilterNumber(int Filter)
{
    if (Filter < 0 || Filter > 255) return -1;
    return FilterNumbers().Number[Filter];
}

void D3D11BorderSoftParams(int Position, int Range, float *Scale, float *Offset)
{
    const BorderRow &row = BorderRows[Range > 128 ? 0 : Range > 64 ? 1 : 2];
    int v = row.Span - Position * row.Span / 255;
    *Scale = row.Scale;
    if (v >= row.Cut)
        *Offset = (float)((v - row.Cut) * row.Step / 256) / 255.0f;
    else
        *Offset = -(float)(255 - v * 255 / row.Cut) / 255.0f;
}
