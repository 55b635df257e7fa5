// ZoVuz graphics: images in memory, the types every part of graphics and the layers above it
// share; part of the public graphics API (zovuz_graphics.h includes it).
//
// COLORDATA describes a pixel format, BASEIMAGE is an image in any such format. Every loader
// produces a BASEIMAGE; graphs, software images, fonts, filters, movies and the Direct3D back ends
// consume one. A MEMIMG is a view of one of the software renderer's images.
//
// Image data is little-endian, rows top to bottom at the image's pitch. 32-bit colour is
// stored as blue, green, red, alpha bytes (0xAARRGGBB as a value).
#pragma once

#include <stdint.h>

// ---- Pixel formats ------------------------------------------------------------------------

// Format byte of a COLORDATA.
#define COLORDATA_FORMAT_PLAIN 0
#define COLORDATA_FORMAT_DXT1 1
#define COLORDATA_FORMAT_DXT2 2
#define COLORDATA_FORMAT_DXT3 3
#define COLORDATA_FORMAT_DXT4 4
#define COLORDATA_FORMAT_DXT5 5

// One palette entry: blue, green, red, alpha bytes (0xAARRGGBB read as a 32-bit value).
struct COLORPALETTE
{
    uint8_t Blue;
    uint8_t Green;
    uint8_t Red;
    uint8_t Alpha;
};

// A pixel format. Plain formats are described by masks; channel formats (from DDS files only)
// by a channel count and bits per channel, channels in red, green, blue, alpha order, with
// every mask, width and location 0. In an 8-bit palette format the pixel byte is a palette
// index and the masks describe a palette entry as a 32-bit value.
struct COLORDATA
{
    uint8_t Format;        // COLORDATA_FORMAT_*: 0 plain, 1..5 DXT1..DXT5
    uint8_t ChannelCount;  // channel formats: 1..4, else 0
    uint8_t ChannelBits;   // channel formats: bits per channel (8, 16 or 32), else 0
    uint8_t FloatFlag;     // 1 = the channels are IEEE floats (halves or singles)
    uint8_t PixelBytes;    // 1..4 for plain formats; count * bits / 8 for channel formats
    uint8_t BitDepth;      // bits per pixel of a plain format; 4 (DXT1) or 8 (DXT2..5)
    uint8_t NoneLoc;       // lowest bit of the unassigned bits
    uint8_t NoneWidth;     // number of unassigned bits
    uint8_t RedWidth, GreenWidth, BlueWidth, AlphaWidth;  // bits per channel, 0 = absent
    uint8_t RedLoc, GreenLoc, BlueLoc, AlphaLoc;          // lowest bit of each channel
    uint32_t RedMask, GreenMask, BlueMask, AlphaMask;     // each channel's bits in the pixel
    uint32_t NoneMask;                                    // bits of the pixel that belong to no channel
    uint32_t PaletteTop;                                  // highest palette index (255 for 8-bit palettes), else 0
    COLORPALETTE Palette[256];
};

// An image in memory. Pixel (x, y) of a plain image lies at Pixels + y * Pitch + x * PixelBytes.
// Block-compressed images pack their blocks (Pitch 0); a cube map stores six faces, each with
// its mip levels, one after another.
struct BASEIMAGE
{
    COLORDATA ColorData;
    int Width;     // pixels
    int Height;    // pixels
    int Pitch;     // bytes from one row to the next; 0 for DXT images
    void *Pixels;  // owned by the image (DxAlloc), freed by ReleaseBaseImage; null = header only
    int MipCount;  // mip levels stored one after another (0 or 1 = one level)
    int CubeFlag;  // 0 = one image, 6 = a cube map of six faces
    // Bytes Pixels holds, every face and level: 0 = exactly what the header describes. A loader
    // of stored chains records it, so that a transfer never reads past what a file held.
    int DataSize;
};

// Four-float colour.
struct COLOR_F
{
    float r, g, b, a;
};

// A rectangle of four 32-bit edges, right and bottom exclusive (laid out as a Windows RECT).
struct ImageRect
{
    int32_t left, top, right, bottom;
};

// ---- Software images ----------------------------------------------------------------------

// A software image (MEMIMG): a view into a shared, reference-counted image of the software
// renderer (memimg_internal.h makes and releases them). Graph records carry one; a back end only
// passes them on. A zero-filled view is empty.
struct MemImgImage;
struct MEMIMG
{
    uint32_t ValidFlag;              // MEMIMG_VALID_ID while live, 0 after release
    int Width, Height;               // of this view
    uint8_t *UseImage;               // this view's top-left pixel in the shared pixels
    uint8_t *UsePremultipliedImage;  // the same pixel in the premultiplied copy, or null
    MemImgImage *Base;               // the shared image; null when empty
};
