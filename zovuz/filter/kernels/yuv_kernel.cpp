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

// Count pixels of one row that share the chroma pixel C: the chroma terms once for them all.
inline void ConvertRun(const uint8_t *&L, const uint8_t *C, uint8_t *&D, const YuvLayout &Layout, int LumaOffset,
                       int ChromaOffset, int Count)
{
    const int u = C[0] - 128, v = C[1] - 128;
    const int blue = u * 58064, green = -u * 11272 - v * 23396, red = v * 45940;
    const int alphaV = Layout.AlphaFlag ? (C[ChromaOffset + 1] - 128) * 45940 : 0;
    for (int i = 0; i < Count; ++i, L += 4, D += 4) {
        const int yy = L[0] * 32768;
        D[0] = (uint8_t)Channel(yy + blue);
        D[1] = (uint8_t)Channel(yy + green);
        D[2] = (uint8_t)Channel(yy + red);
        D[3] = Layout.AlphaFlag ? (uint8_t)Channel(L[LumaOffset] * 32768 + alphaV) : 255;
    }
}

// Columns graph columns from OriginX on, in Rows rows from OriginY on, BlockX pixels per chroma
// pixel: a first part block where the origin lies inside one, then whole blocks.
template <int BlockX>
void ConvertRows(const FilterPixels &Luma, const FilterPixels &Chroma, const FilterPixels &Dest,
                 const YuvLayout &Layout, int Columns, int Rows)
{
    const int lumaOffset = Layout.LumaAlphaOffset * 4, chromaOffset = Layout.ChromaAlphaOffset * 4;
    const int first = Columns < BlockX - Layout.OriginX % BlockX ? Columns : BlockX - Layout.OriginX % BlockX;
    for (int y = 0; y < Rows; ++y) {
        const uint8_t *l = Luma.Row(y);
        const uint8_t *c = Chroma.Row((Layout.OriginY + y) / Layout.BlockY) + Layout.OriginX / BlockX * 4;
        uint8_t *d = Dest.Row(y);
        int left = Columns;
        if (first != BlockX) {
            ConvertRun(l, c, d, Layout, lumaOffset, chromaOffset, first);
            left -= first, c += 4;
        }
        for (; left >= BlockX; left -= BlockX, c += 4) ConvertRun(l, c, d, Layout, lumaOffset, chromaOffset, BlockX);
        if (left > 0) ConvertRun(l, c, d, Layout, lumaOffset, chromaOffset, left);
    }
}

// The end, from Origin, of the last chroma block that ends inside Size pixels from Origin, and
// inside Limit pixels: whole blocks of the graph, as the hardware reads them.
int BlockEnd(int Origin, int Size, int Block, int Limit)
{
    const int end = (Origin + (Size < Limit ? Size : Limit)) / Block * Block - Origin;
    return end < 0 ? 0 : end;
}

}  // namespace

void YuvToRgbKernel(const FilterPixels &Luma, const FilterPixels &Chroma, const FilterPixels &Dest,
                    const YuvLayout &Layout)
{
    const int bx = Layout.BlockX, by = Layout.BlockY;
    if ((bx != 1 && bx != 2 && bx != 4) || by < 1 || Layout.OriginX < 0 || Layout.OriginY < 0) return;
    const int lumaOffset = Layout.AlphaFlag ? Layout.LumaAlphaOffset : 0;
    const int chromaOffset = Layout.AlphaFlag ? Layout.ChromaAlphaOffset : 0;
    // Never past either image: the chroma's columns (less its alpha half) and rows, the luma's.
    int columns = BlockEnd(Layout.OriginX, Dest.Width, bx, Luma.Width - lumaOffset);
    const int chromaColumns = (Chroma.Width - chromaOffset) * bx - Layout.OriginX;
    if (columns > chromaColumns) columns = chromaColumns;
    int rows = BlockEnd(Layout.OriginY, Dest.Height, by, Luma.Height);
    const int chromaRows = Chroma.Height * by - Layout.OriginY;
    if (rows > chromaRows) rows = chromaRows;
    if (columns < 1 || rows < 1) return;
    if (bx == 1)
        ConvertRows<1>(Luma, Chroma, Dest, Layout, columns, rows);
    else if (bx == 2)
        ConvertRows<2>(Luma, Chroma, Dest, Layout, columns, rows);
    else
        ConvertRows<4>(Luma, Chroma, Dest, Layout, columns, rows);
}
