// ZoVuz graphics: what the layers that extend graphics take of images beyond the public calls:
// the shared pixel tables and the layout of stored mip chains (zovuz_graphics_backend.h includes
// it; the image room's own files include it directly).
#pragma once

#include <stdint.h>

#include "zovuz/graphics/image/image_types.h"

// ---- The shared pixel tables ----------------------------------------------------------------

// The shared lookup tables, built once at the library's start (InitializeBaseImageTables) and
// read without a lock afterwards: the alpha premultiplication, the graph filters and the
// movie-frame converters read them.
struct BaseImageTableData
{
    uint8_t ClampBytes[1280];    // index i - 512 clamped to 0..255, for i in -512..767
    int32_t YuvVToRed[256];      // 26148 * (i - 128), 14 fractional bits (limited-range BT.601)
    int32_t YuvUToGreen[256];    // -6406 * (i - 128)
    int32_t YuvVToGreen[256];    // -13320 * (i - 128)
    int32_t YuvUToBlue[256];     // 33062 * (i - 128)
    int32_t YuvLuma[256];        // 19070 * (i - 16)
    uint8_t MulTable[256][256];  // [a][b] = a * b / 255, truncated
    uint8_t DivTable[256][256];  // [a][b] = min(255 * a / b, 255), 0 for b = 0
    int Built;                   // the tables hold their values
    int Initialized;             // InitializeBaseImageTables ran and TerminateBaseImageTables not yet
};
extern BaseImageTableData BaseImageTables;

// The shared lookup tables (clamp, YUV, multiply, divide): built at library start, released at
// its end. 0, or -1 when already built / not built.
int InitializeBaseImageTables(void);
int TerminateBaseImageTables(void);

// ---- Stored mip chains ----------------------------------------------------------------------

// How an image stores its mip chain, as the loaders lay it out: level by level, each level's sides
// halved (never below 1); DXT levels as whole 4 x 4 blocks, plain ones at the image's pitch for
// level 0 and packed rows below it; a cube image's six faces one whole chain apart.
// The bytes of level Level (Width x Height) of the chain.
int64_t GetBaseImageLevelBytes(const BASEIMAGE *Image, int Width, int Height, int Level);
// The bytes of one face: every level the image stores.
int64_t GetBaseImageFaceBytes(const BASEIMAGE *Image);
// 1 when the image's pixels hold Bytes at Offset: within its DataSize, or where it gives none,
// within its faces' chains. A file may have been cut short: every read of a chain asks first.
int BaseImageHoldsBytes(const BASEIMAGE *Image, int64_t Offset, int64_t Bytes);
