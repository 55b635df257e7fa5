// Luma and chroma images to RGB, in 15-bit fixed point.
#include "zovuz/filter/kernels/filter_kernels_internal.h"

namespace {

inline int Channel(int Sum)
{
    // A negative sum gives 0, one of 255 x 32768 or more 255.
    int v = Sum >> 15;
    return v < 0 ? 0 : v > 255 ? 255 : v;
}

inline int Red(int Y, int V) { return Channel(Y * 32768 + (V - 128) * 45940); }

}  // namespace

int YuvChromaBlock(int ChromaSize, int SourceSize)
{
    if (ChromaSize == SourceSize) return 1;
    if (ChromaSize == SourceSize / 2) return 2;
    if (ChromaSize == SourceSize / 4) return 4;
    return 0;
}

void YuvToRgbKernel(const FilterPixels &Luma, const FilterPixels &Chroma, const FilterPixels &Dest,
                    const YuvLayout &Layout)
{
    const int bx = Layout.BlockX, by = Layout.BlockY;
    if (bx < 1 || by < 1) return;
    const int lumaOffset = Layout.AlphaFlag ? Layout.LumaAlphaOffset : 0;
    const int chromaOffset = Layout.AlphaFlag ? Layout.ChromaAlphaOffset : 0;
    // Whole blocks only, and never past either image.
    int blocksX = Dest.Width / bx, blocksY = Dest.Height / by;
    if (blocksX > Chroma.Width - chromaOffset) blocksX = Chroma.Width - chromaOffset;
    if (blocksX * bx > Luma.Width - lumaOffset) blocksX = (Luma.Width - lumaOffset) / bx;
    if (blocksY > Chroma.Height) blocksY = Chroma.Height;
    if (blocksY * by > Luma.Height) blocksY = Luma.Height / by;
    for (int y = 0; y < blocksY * by; ++y) {
        const uint8_t *l = Luma.Row(y);
        const uint8_t *c = Chroma.Row(y / by);
        uint8_t *d = Dest.Row(y);
        for (int x = 0; x < blocksX * bx; ++x, d += 4) {
            const int yy = l[x * 4];
            const uint8_t *uv = c + (x / bx) * 4;
            const int u = uv[0] - 128, v = uv[1];
            d[0] = (uint8_t)Channel(yy * 32768 + u * 58064);
            d[1] = (uint8_t)Channel(yy * 32768 - u * 11272 - (v - 128) * 23396);
            d[2] = (uint8_t)Red(yy, v);
            d[3] = Layout.AlphaFlag ? (uint8_t)Red(l[(x + lumaOffset) * 4], uv[chromaOffset * 4 + 1]) : 255;
        }
    }
}
