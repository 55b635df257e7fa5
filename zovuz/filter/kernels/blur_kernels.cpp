// The kernels that read neighbours: the Gauss blur and DownScale. Both treat the four bytes of a
// pixel alike, alpha included.
#include <math.h>
#include <string.h>

#include "zovuz/filter/kernels/filter_kernels_internal.h"

namespace {

// The blur in the weights' fixed point: the centre weight W[0] and, for each k of 1 to Half - 1,
// one weight W[k] shared by the two pixels 2k - 1 and 2k away on each side, at half weight each:
//   out = ((W[1] (p-1 + p-2 + p1 + p2) + W[2] (p-3 + p-4 + p3 + p4) + ...) >> 1) + W[0] p0) >> 16
// computed as (sum + 2 W[0] p0) >> 17, which is the same number.
struct GaussTaps
{
    int Half;                 // N / 2
    int Reach;                // 2 Half - 2: the farthest tap
    int W[GAUSS_WEIGHT_MAX];  // trunc(w x 65536)
};

// Bytes processed per block: the sums of a block stay in a small array on the stack, and the
// loops over it have no branches, so the compiler can run them several bytes at a time.
constexpr int kBlurBlock = 256;

// One line of output bytes from taps that each point at the byte of the same output position:
// Tap[Reach + j] is the byte j pixels along (negative j before the centre).
void BlurSpan(const GaussTaps &T, const uint8_t *const *Tap, uint8_t *Out, int Bytes)
{
    const int r = T.Reach;
    int32_t sum[kBlurBlock];
    for (int x0 = 0; x0 < Bytes; x0 += kBlurBlock) {
        const int n = Bytes - x0 < kBlurBlock ? Bytes - x0 : kBlurBlock;
        const uint8_t *c = Tap[r] + x0;
        const int w0 = 2 * T.W[0];
        for (int i = 0; i < n; ++i) sum[i] = w0 * c[i];
        for (int k = 1; k < T.Half; ++k) {
            const uint8_t *a = Tap[r - 2 * k + 1] + x0, *b = Tap[r - 2 * k] + x0;
            const uint8_t *d = Tap[r + 2 * k - 1] + x0, *e = Tap[r + 2 * k] + x0;
            const int w = T.W[k];
            for (int i = 0; i < n; ++i) sum[i] += w * (a[i] + b[i] + d[i] + e[i]);
        }
        for (int i = 0; i < n; ++i) Out[x0 + i] = (uint8_t)(sum[i] >> 17);
    }
}

// One output pixel of a row near its ends, where taps beyond the row take its first or last
// pixel.
void BlurEdgePixel(const GaussTaps &T, const uint8_t *Row, int Width, int X, uint8_t *Out)
{
    auto at = [&](int i, int byte) {
        i = i < 0 ? 0 : i >= Width ? Width - 1 : i;
        return (int)Row[i * 4 + byte];
    };
    for (int byte = 0; byte < 4; ++byte) {
        int sum = 2 * T.W[0] * at(X, byte);
        for (int k = 1; k < T.Half; ++k)
            sum += T.W[k] *
                   (at(X - 2 * k + 1, byte) + at(X - 2 * k, byte) + at(X + 2 * k - 1, byte) + at(X + 2 * k, byte));
        Out[byte] = (uint8_t)(sum >> 17);
    }
}

void BlurRows(const GaussTaps &T, const FilterPixels &Src, const FilterPixels &Dest)
{
    const int r = T.Reach, width = Src.Width;
    const uint8_t *tap[2 * 30 + 1];
    for (int y = 0; y < Src.Height; ++y) {
        const uint8_t *row = Src.Row(y);
        uint8_t *out = Dest.Row(y);
        const int inner = width - 2 * r;  // pixels whose taps all lie inside the row
        if (inner > 0) {
            for (int j = -r; j <= r; ++j) tap[r + j] = row + (r + j) * 4;
            BlurSpan(T, tap, out + r * 4, inner * 4);
        }
        for (int x = 0; x < width; ++x) {
            if (inner > 0 && x == r) x = width - r;
            BlurEdgePixel(T, row, width, x, out + x * 4);
        }
    }
}

void BlurColumns(const GaussTaps &T, const FilterPixels &Src, const FilterPixels &Dest)
{
    const int r = T.Reach, height = Src.Height;
    const uint8_t *tap[2 * 30 + 1];
    for (int y = 0; y < height; ++y) {
        for (int j = -r; j <= r; ++j) {
            int row = y + j;
            row = row < 0 ? 0 : row >= height ? height - 1 : row;
            tap[r + j] = Src.Row(row);
        }
        BlurSpan(T, tap, Dest.Row(y), Src.Width * 4);
    }
}

// The truncating average of each Ratio x Ratio block (Ratio x Ratio = 1 << Shift), per byte. The
// sums of bytes 0 and 2, and of 1 and 3, run in the two 16-bit halves of one word each (64
// bytes of 255 stay below 65536).
template <int Ratio, int Shift>
void DownScaleBlocks(const FilterPixels &Src, const FilterPixels &Dest)
{
    for (int y = 0; y < Dest.Height; ++y) {
        uint8_t *d = Dest.Row(y);
        for (int x = 0; x < Dest.Width; ++x, d += 4) {
            uint32_t even = 0, odd = 0;
            for (int j = 0; j < Ratio; ++j) {
                const uint8_t *s = Src.Row(y * Ratio + j) + (size_t)x * Ratio * 4;
                for (int i = 0; i < Ratio; ++i, s += 4) {
                    uint32_t p;
                    memcpy(&p, s, 4);
                    even += p & 0x00FF00FFu;
                    odd += (p >> 8) & 0x00FF00FFu;
                }
            }
            d[0] = (uint8_t)((even & 0xFFFF) >> Shift);
            d[1] = (uint8_t)((odd & 0xFFFF) >> Shift);
            d[2] = (uint8_t)((even >> 16) >> Shift);
            d[3] = (uint8_t)((odd >> 16) >> Shift);
        }
    }
}

}  // namespace

int GaussKernelWidth(int PixelWidth) { return PixelWidth <= 8 ? 8 : PixelWidth <= 16 ? 16 : 32; }

void BuildGaussWeights(int Width, float Strength, float Weights[GAUSS_WEIGHT_MAX])
{
    const int half = Width / 2;
    const float s = Strength < 1e-10f ? 1e-10f : Strength;
    for (int i = 0; i < GAUSS_WEIGHT_MAX; ++i) Weights[i] = i < half ? expf(-0.5f * (float)(i * i) / s) : 0.0f;
    float sides = 0.0f;
    for (int i = 1; i < half; ++i) sides += Weights[i];
    const float total = Weights[0] + 2.0f * sides;
    for (int i = 0; i < half; ++i) Weights[i] /= total;
}

void GaussKernel(const FilterPixels &Src, const FilterPixels &Work, const FilterPixels &Dest, int Width,
                 const float Weights[GAUSS_WEIGHT_MAX])
{
    GaussTaps t;
    t.Half = GaussKernelWidth(Width) / 2;
    t.Reach = 2 * t.Half - 2;
    for (int i = 0; i < GAUSS_WEIGHT_MAX; ++i) t.W[i] = i < t.Half ? TruncateToInt(Weights[i] * 65536.0f) : 0;
    BlurRows(t, Src, Work);
    BlurColumns(t, Work, Dest);
}

void DownScaleKernel(const FilterPixels &Src, const FilterPixels &Dest, int Ratio)
{
    if (Ratio == 2)
        DownScaleBlocks<2, 2>(Src, Dest);
    else if (Ratio == 4)
        DownScaleBlocks<4, 4>(Src, Dest);
    else
        DownScaleBlocks<8, 6>(Src, Dest);
}
