// Luma and chroma images to RGB, in 15-bit fixed point.
#include "zovuz/filter/kernels/filter_kernels_internal.h"

namespace {

inline int Channel(int Sum)
{
    // A negative sum gives 0, one of 255 x 32768 or more 255.
    int v = Sum >> 15;
    return v < 0 ? 0 : v > 255 ? 255 : v;
}

}  // namespace

int YuvChromaBlock(int ChromaSize, int SourceSize)
{
    if (ChromaSize == SourceSize) return 1;
    if (ChromaSize == SourceSize / 2) return 2;
    if (ChromaSize == SourceSize / 4) return 4;
    return 0;
}

namespace {

// The rows of whole blocks, BlockX pixels per chroma pixel: the chroma terms once per block.
template <int BlockX>
void ConvertRows(const FilterPixels &Luma, const FilterPixels &Chroma, const FilterPixels &Dest,
                 const YuvLayout &Layout, int BlocksX, int Rows)
{
    const int lumaOffset = Layout.LumaAlphaOffset * 4, chromaOffset = Layout.ChromaAlphaOffset * 4;
    for (int y = 0; y < Rows; ++y) {
        const uint8_t *l = Luma.Row(y);
        const uint8_t *c = Chroma.Row(y / Layout.BlockY);
        uint8_t *d = Dest.Row(y);
        for (int block = 0; block < BlocksX; ++block, c += 4) {
            const int u = c[0] - 128, v = c[1] - 128;
            const int blue = u * 58064, green = -u * 11272 - v * 23396, red = v * 45940;
            const int alphaV = Layout.AlphaFlag ? (c[chromaOffset + 1] - 128) * 45940 : 0;
            for (int i = 0; i < BlockX; ++i, l += 4, d += 4) {
                const int yy = l[0] * 32768;
                d[0] = (uint8_t)Channel(yy + blue);
                d[1] = (uint8_t)Channel(yy + green);
                d[2] = (uint8_t)Channel(yy + red);
                d[3] = Layout.AlphaFlag ? (uint8_t)Channel(l[lumaOffset] * 32768 + alphaV) : 255;
            }
        }
    }
}

}  // namespace

void YuvToRgbKernel(const FilterPixels &Luma, const FilterPixels &Chroma, const FilterPixels &Dest,
                    const YuvLayout &Layout)
{
    const int bx = Layout.BlockX, by = Layout.BlockY;
    if ((bx != 1 && bx != 2 && bx != 4) || by < 1) return;
    const int lumaOffset = Layout.AlphaFlag ? Layout.LumaAlphaOffset : 0;
    const int chromaOffset = Layout.AlphaFlag ? Layout.ChromaAlphaOffset : 0;
    // Whole blocks only, and never past either image.
    int blocksX = Dest.Width / bx, blocksY = Dest.Height / by;
    if (blocksX > Chroma.Width - chromaOffset) blocksX = Chroma.Width - chromaOffset;
    if (blocksX * bx > Luma.Width - lumaOffset) blocksX = (Luma.Width - lumaOffset) / bx;
    if (blocksY > Chroma.Height) blocksY = Chroma.Height;
    if (blocksY * by > Luma.Height) blocksY = Luma.Height / by;
    if (blocksX < 1 || blocksY < 1) return;
    if (bx == 1)
        ConvertRows<1>(Luma, Chroma, Dest, Layout, blocksX, blocksY * by);
    else if (bx == 2)
        ConvertRows<2>(Luma, Chroma, Dest, Layout, blocksX, blocksY * by);
    else
        ConvertRows<4>(Luma, Chroma, Dest, Layout, blocksX, blocksY * by);
}
