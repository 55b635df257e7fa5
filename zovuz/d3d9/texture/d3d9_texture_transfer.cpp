// The pixel arithmetic of texture transfers.
#include "zovuz/d3d9/texture/d3d9_texture_transfer.h"

#include "zovuz/d3d9/d3d9_internal.h"

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

unsigned D3D9DXTFormatOfKind(int Kind)
{
    if (Kind < COLORDATA_FORMAT_DXT1 || Kind > COLORDATA_FORMAT_DXT5) return 0;
    return D3D9_FOURCC('D', 'X', 'T', '0' + Kind);
}

int D3D9IsDXTFormat(unsigned Format)
{
    for (int kind = COLORDATA_FORMAT_DXT1; kind <= COLORDATA_FORMAT_DXT5; ++kind)
        if (Format == D3D9DXTFormatOfKind(kind)) return 1;
    return 0;
}

int D3D9DXTMustConvert(int Hardware, unsigned SlotFormat, int Kind)
{
    const unsigned format = D3D9DXTFormatOfKind(Kind);
    if (format == 0) return 0;
    return !Hardware || SlotFormat != format ? 1 : 0;
}

namespace {

int ChannelByte(float Value)
{
    if (!(Value > 0.0f)) return 0;
    if (Value >= 1.0f) return 255;
    return (int)(Value * 255.0f);
}

}  // namespace

unsigned D3D9PixelToARGB(const COLORDATA &ColorData, const void *Pixel)
{
    int rgb[3] = {0, 0, 0};
    if (ColorData.FloatFlag && ColorData.ChannelCount > 0) {
        float channel[3] = {1.0f, 1.0f, 1.0f};
        for (int i = 0; i < ColorData.ChannelCount && i < 3; ++i) {
            if (ColorData.ChannelBits == 16) {
                uint16_t half;
                memcpy(&half, (const unsigned char *)Pixel + i * 2, 2);
                channel[i] = Float16ToFloat32(half);
            } else if (ColorData.ChannelBits == 32) {
                memcpy(&channel[i], (const unsigned char *)Pixel + i * 4, 4);
            } else {
                channel[i] = 0.0f;
            }
        }
        for (int i = 0; i < 3; ++i) rgb[i] = ChannelByte(channel[i]);
    } else if (ColorData.PixelBytes == 2 || ColorData.PixelBytes == 4) {
        uint32_t value = 0;
        if (ColorData.PixelBytes == 2) {
            uint16_t v;
            memcpy(&v, Pixel, 2);
            value = v;
        } else {
            memcpy(&value, Pixel, 4);
        }
        GetColorDataRGBA(&ColorData, value, &rgb[0], &rgb[1], &rgb[2], nullptr);
    }
    return 0xFF000000u | (unsigned)rgb[0] << 16 | (unsigned)rgb[1] << 8 | (unsigned)rgb[2];
}
