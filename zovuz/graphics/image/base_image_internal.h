// Inside the library: the shared pixel tables, the DXT size rules, the screen format that
// GetColorValue packs into, and the image-load parameter block. Never included from app/.
#pragma once

#include <stdint.h>
#include <string.h>

#include "zovuz/core/zovuz_core.h"
#include "zovuz/graphics/image/image_api.h"
#include "zovuz/graphics/image/image_backend.h"
#include "zovuz/graphics/image/image_types.h"

// ---- Pixel values -------------------------------------------------------------------------

// A pixel value of 1 to 4 bytes, stored low byte first (0 for any other size).
inline uint32_t ReadPixelValue(const uint8_t *p, int Bytes)
{
    uint32_t v;
    switch (Bytes) {
        case 4:
            memcpy(&v, p, 4);
            return v;
        case 3:
            return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16;
        case 2:
            return (uint32_t)p[0] | (uint32_t)p[1] << 8;
        case 1:
            return p[0];
        default:
            return 0;
    }
}

// Stores the low Bytes bytes (1 to 4) of a pixel value, low byte first.
inline void WritePixelValue(uint8_t *p, int Bytes, uint32_t v)
{
    switch (Bytes) {
        case 4:
            memcpy(p, &v, 4);
            break;
        case 3:
            p[0] = (uint8_t)v;
            p[1] = (uint8_t)(v >> 8);
            p[2] = (uint8_t)(v >> 16);
            break;
        case 2:
            p[0] = (uint8_t)v;
            p[1] = (uint8_t)(v >> 8);
            break;
        case 1:
            p[0] = (uint8_t)v;
            break;
        default:
            break;
    }
}

// The largest value of a channel Width bits wide, for widths up to 32 (also the mask of the
// low Width bits).
inline uint32_t WidthMax(int Width) { return Width >= 32 ? 0xFFFFFFFFu : ((1u << Width) - 1u); }

// Fills Rows rows of Pixels pixels of 1 to 4 bytes with Value, whole 32-bit words at a time.
void FillPixelRows(uint8_t *First, int Pitch, int Rows, int Pixels, int Bytes, uint32_t Value);

// Writes Count bytes from P with the bytes of Word repeated, Word's low byte first: a run of
// pixels of 1, 2 or 4 bytes whose value fills the word. 16 bytes a store where it can.
void FillPatternBytes(uint8_t *P, size_t Count, uint32_t Word);

// Replaces a plain image's pixels by a 32-bit ARGB copy of them. 0 / -1 (the image unchanged).
int ConvertBaseImageToArgb(BASEIMAGE *Image);

// ---- Shared lookup tables -----------------------------------------------------------------

// The tables themselves (BaseImageTables) are declared with what the layers above read
// (image_backend.h).

// The clamp table indexed by a value in -512..767.
inline const uint8_t *BaseImageClampTable() { return BaseImageTables.ClampBytes + 512; }

// Fills the tables when they are not filled yet (no lock: library start runs it first).
void BuildBaseImageTables(void);

// ---- DXT ----------------------------------------------------------------------------------

// Bytes of one face of a DXT image: every stored level (MipCount 0 or 1 = one), each level
// ceil(w / 4) * ceil(h / 4) blocks of 8 (DXT1) or 16 bytes, w and h halving down to 1.
// 0 for a plain format, -1 for an unknown one or a size that does not fit in an int.
int GetDxtImageDataSize(int Format, int Width, int Height, int MipCount);

// Bytes of the first Levels levels of a plain mip chain: level 0 at its own pitch, the others
// tightly packed (w and h halving down to 1).
int64_t PlainChainBytes(int64_t Pitch0, int Width, int Height, int PixelBytes, int Levels);

// Widens a transfer rectangle of a DXT image to whole 4 x 4 blocks: left and top round down,
// right and bottom round up, so every pixel of the rectangle stays inside.
void AlignDxtTransferRect(ImageRect *Rect);

// ---- Colour values ------------------------------------------------------------------------

// What GetColorValue and SplitColor pack into; the graphics start-up and screen-mode code
// write it whenever the back end or the software screen's depth changes.
struct ColorValueTargetData
{
    int HardwareFlag;    // 1 while a Direct3D back end is in use
    int ScreenBitDepth;  // software screen: 16 (5-6-5) or 32 (XRGB)
};
extern ColorValueTargetData ColorValueTarget;

// ---- Conversion internals -----------------------------------------------------------------

struct ColorConvertSettingsData
{
    int PixelStep;    // pixels per step of the 16-bit fast pairs: 0 = by the MMX check, or 2 / 4
    int GeneralOnly;  // 1: every pair that passes the checks goes to the general conversion (tests)
};
extern ColorConvertSettingsData ColorConvertSettings;

// The fast pairs of ConvertColorDataBlt: 1 when the pair was converted, 0 when it is not one.
int ConvertColorDataFastPair(uint8_t *Dest, int DestPitch, const COLORDATA &DestColor, const uint8_t *Src, int SrcPitch,
                             const COLORDATA &SrcColor, int Width, int Height, int ColorKeyAlphaTest,
                             uint32_t ColorKey);

// ---- Image-load parameters ----------------------------------------------------------------

// A stream of an image loader: the stream operations and the stream they work on.
struct ImageStreamPair
{
    StreamFunctionTable Table;
    void *Stream;
};

// An image loader: 0 = accepted (the image is complete), -1 = not its format or failed.
typedef int (*ImageLoaderFunction)(ImageStreamPair *Stream, BASEIMAGE *Image, int HeaderOnly);

#define IMAGE_LOADER_LIST_MAX 10

// The block every image load starts from.
struct ImageLoadParam
{
    ImageLoaderFunction Loaders[IMAGE_LOADER_LIST_MAX];  // the caller's loaders, tried first
    int LoaderCount;                                     // how many of them
    int HeaderOnly;                                      // the loaders fill the header only
    FileAccessFunctionTable FileOperations;              // to open and close image files
    StreamFunctionTable FileStreamTable;                 // streams of opened files
    StreamFunctionTable MemStreamTable;                  // streams over memory images
    int PremultipliedAlphaFlag;                          // deliver premultiplied colour
    int TransparentColorFlag;                            // the transparent colour applies
    uint32_t TransparentColor;                           // 0x00RRGGBB
};

// The library-wide load settings copied into every ImageLoadParam. The draw-state set-up
// writes the transparent-colour flag and the transparent-colour setter its colour.
struct ImageLoadDefaultsData
{
    ImageLoaderFunction Loaders[IMAGE_LOADER_LIST_MAX];  // registered default loaders (none)
    int LoaderCount;                                     // number registered
    int PremultipliedAlphaFlag;                          // never set in this system
    int TransparentColorFlag;                            // 1 by default
    uint32_t TransparentColor;                           // 0x00RRGGBB
};
extern ImageLoadDefaultsData ImageLoadDefaults;

// Copies the registered loader list, its count and the flag into the block.
void CopyImageLoadParams(ImageLoadParam *Param, int HeaderOnly);
// The whole block from the current settings (loaders, file and stream operations, alpha settings).
void InitImageLoadParams(ImageLoadParam *Param, int HeaderOnly);
