// The pixel arithmetic of texture transfers.
#include "zovuz/d3d9/d3d9_texture_transfer.h"

#include <string.h>

size_t D3D9DXTBlockRowBytes(int BitsPerPixel, int Width) { return (size_t)BitsPerPixel * ((Width + 3) / 4) * 2; }

size_t D3D9DXTLevelBytes(int BitsPerPixel, int Width, int Height)
{
    return D3D9DXTBlockRowBytes(BitsPerPixel, Width) * ((Height + 3) / 4);
}

size_t D3D9CopyDXTLevel(unsigned char *Dest, int DestPitch, const unsigned char *Source, int BitsPerPixel, int Width,
                        int Height)
{
    const size_t row = D3D9DXTBlockRowBytes(BitsPerPixel, Width);
    const int rows = (Height + 3) / 4;
    for (int y = 0; y < rows; ++y) memcpy(Dest + (size_t)y * DestPitch, Source + (size_t)y * row, row);
    return row * rows;
}

void D3D9FillTransferEdge(unsigned char *Dest, int Pitch, int BytesPerPixel, int Width, int Height, int AddColumn,
                          int AddRow)
{
    if (Width <= 0 || Height <= 0) return;
    const size_t pixel = (size_t)BytesPerPixel;
    const bool column = AddColumn && (BytesPerPixel == 2 || BytesPerPixel == 4);
    if (column)
        for (int y = 0; y < Height; ++y) {
            unsigned char *last = Dest + (size_t)y * Pitch + (Width - 1) * pixel;
            memcpy(last + pixel, last, pixel);
        }
    if (!AddRow) return;
    unsigned char *below = Dest + (size_t)Height * Pitch;
    memcpy(below, below - Pitch, Width * pixel);
    if (column) memcpy(below + Width * pixel, below - Pitch + (Width - 1) * pixel, pixel);
}

ImageRect D3D9MipLevelRect(const ImageRect &Rect, int Level)
{
    ImageRect r = {Rect.left >> Level, Rect.top >> Level, Rect.right >> Level, Rect.bottom >> Level};
    if (r.right <= r.left) r.right = r.left + 1;
    if (r.bottom <= r.top) r.bottom = r.top + 1;
    return r;
}
