// Image files built in code for the loader tests: BMP, TGA, DDS, raw BGRA and TIFF writers of
// our own, PNG and JPEG through the libraries' encoders, and loading from memory.
#pragma once

#include <stdint.h>

#include <initializer_list>
#include <utility>
#include <vector>

#include "zovuz/graphics/image/image_load_internal.h"

using Bytes = std::vector<uint8_t>;

void PutLe16(Bytes &B, uint32_t V);
void PutLe32(Bytes &B, uint32_t V);
void SetLe32(Bytes &B, size_t At, uint32_t V);

// A loaded image that frees itself.
struct LoadedImage
{
    int Result = -1;
    BASEIMAGE Image = {};
    LoadedImage() = default;
    LoadedImage(const LoadedImage &) = delete;
    ~LoadedImage() { ReleaseBaseImage(&Image); }
    // The raw pixel value (up to 4 bytes, little-endian) of a plain image.
    uint32_t Raw(int X, int Y) const;
    // A palette image's entry at a pixel as 0xAARRGGBB.
    uint32_t Entry(int X, int Y) const;
};

// Each file is refused by the loader (-1, no pixels) and no block stays allocated.
using NamedFiles = std::vector<std::pair<const char *, Bytes>>;
void ExpectAllRefused(ImageLoaderFunction Loader, const NamedFiles &Files);

// Runs one loader (or, with a null loader, the whole dispatch) over the bytes in memory.
void LoadBytes(ImageLoaderFunction Loader, const Bytes &File, LoadedImage &Out, int HeaderOnly = 0);

// ---- BMP ----
struct BmpSpec
{
    int Width = 1, Height = 1;  // a positive height stores the rows bottom-up
    int Bits = 24;
    uint32_t Compression = 0;
    uint32_t HeaderSize = 40;
    uint32_t ColorsUsed = 0;
    std::vector<uint32_t> Palette;  // 0x00RRGGBB entries as stored
    uint32_t Masks[4] = {0, 0, 0, 0};
    Bytes Data;  // the pixel data exactly as stored
};
Bytes BuildBmp(const BmpSpec &Layout);
// Rows of pixel values (top row first) packed at Bits per pixel, 4-byte aligned, in file order.
Bytes PackBmpRows(int Bits, int Width, const std::vector<std::vector<uint32_t>> &Rows, bool BottomUp);

// ---- TGA ----
struct TgaSpec
{
    int Type = 2;
    int Width = 1, Height = 1;
    int PixelBits = 24;            // pixel depth (8 for colour-mapped)
    int Descriptor = 0x20;         // top-down, left to right
    int MapType = 0, MapFirst = 0, MapLength = 0, MapEntryBits = 0;
    Bytes Id, Map, Data;
    bool Footer = false;
};
Bytes BuildTga(const TgaSpec &Layout);

// ---- DDS ----
struct DdsSpec
{
    int Width = 1, Height = 1;
    uint32_t Flags = 0x1007;       // caps, height, width, pixel format
    uint32_t Pitch = 0;
    uint32_t MipCount = 0;
    uint32_t PixelFlags = 0x40;
    uint32_t FourCc = 0;
    uint32_t BitCount = 32;
    uint32_t Masks[4] = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    uint32_t Caps = 0x1000, Caps2 = 0;
    uint32_t HeaderSize = 124;
    Bytes Data;
};
Bytes BuildDds(const DdsSpec &Layout);
uint32_t FourCc(const char *Code);

// ---- raw BGRA ----
Bytes BuildBgra(uint32_t Channels, uint32_t Width, uint32_t Height, const Bytes &Pixels);

// ---- TIFF (little-endian, uncompressed, contiguous RGB or RGBA strips) ----
struct TiffSpec
{
    int Width = 1, Height = 1;
    int Samples = 3;              // 3 = RGB, 4 = RGBA
    int ExtraSample = 2;          // with 4 samples: 1 associated, 2 unassociated alpha
    int RowsPerStrip = -1;        // -1 = no tag; otherwise the stored value
    Bytes Pixels;                 // Width * Height * Samples bytes, top row first
};
Bytes BuildTiff(const TiffSpec &Layout);

// ---- PNG and JPEG through the encoders ----
struct PngSpec
{
    int Width = 1, Height = 1;
    int ColorType = 2, Depth = 8;
    bool Interlace = false;
    std::vector<uint32_t> Palette;  // 0x00RRGGBB
    Bytes PaletteAlpha;             // tRNS of a palette image
    bool TransparentColor = false;  // tRNS of a grey or colour image
    uint16_t Key[3] = {0, 0, 0};    // grey in [0]; red, green, blue
    Bytes Rows;                     // packed rows as PNG stores them, without filter bytes
};
Bytes EncodePng(const PngSpec &Layout);

struct JpegSpec
{
    int Width = 16, Height = 16;
    int Components = 3;             // 1 grey, 3 colour (given as RGB), 4 CMYK (Adobe, inverted)
    bool Progressive = false;
    Bytes Pixels;                   // Width * Height * Components, top row first
};
Bytes EncodeJpeg(const JpegSpec &Layout);
