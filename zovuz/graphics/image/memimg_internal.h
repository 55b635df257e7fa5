// Inside the library: the software renderer's images (MEMIMG) and its global draw settings.
//
// A MEMIMG is a view: a small record (declared with the image types, image_types.h, since graph
// records carry one) pointing into a shared, reference-counted MemImgImage.
// Several views (sub-rectangles) can share one image; the image goes when its last view is
// released. Pixels enter a MEMIMG only through ConvertColorDataBlt. The software screens, the
// images of graphs without a Direct3D device, the mask screen and the font caches are MEMIMGs.
#pragma once

#include <stdint.h>

#include "zovuz/core/zovuz_core.h"
#include "zovuz/graphics/image/image_api.h"
#include "zovuz/graphics/image/image_types.h"

// The validity word of a live view.
#define MEMIMG_VALID_ID 0x12345678u

// Pixel families (MemImgColorType).
#define MEMIMG_COLORTYPE_565 0      // 16-bit 5-6-5 (with alpha: 32-bit, alpha in bits 16..23)
#define MEMIMG_COLORTYPE_XRGB8 1    // 32-bit 8-8-8 (with alpha: ARGB)
#define MEMIMG_COLORTYPE_VALUE8 2   // 8-bit single value
#define MEMIMG_COLORTYPE_VALUE16 3  // 16-bit single value
#define MEMIMG_COLORTYPE_NUM 4

// Run-table codes: bits 7..6 the kind, bits 5..0 the run length - 1 (1..64 pixels).
#define MEMIMG_RUN_TRANSPARENT 0x00  // the colour key, or alpha 0
#define MEMIMG_RUN_OPAQUE 0x40       // any other colour, or alpha 255
#define MEMIMG_RUN_TRANSLUCENT 0x80  // alpha 1..254
#define MEMIMG_RUN_ROW_END 0xC0
#define MEMIMG_RUN_MAX 64

// The shared image. Buffers come from the tracked allocator.
struct MemImgImage
{
    int RefCount;                 // 1 at creation, +1 per view made on it, -1 per released view
    int Width, Height;            // of the whole image
    int Pitch;                    // bytes from one row to the next
    int PitchShift;               // n when Pitch == 2^n (see CreateMemImg), else -1
    const COLORDATA *ColorData;   // the static descriptor of GetMemImgColorData
    int ColorKeyFlag;             // 1 at creation; rewritten by BltBaseImageToMemImg
    uint32_t ColorKey;            // pixel value of this format (a palette index for palettes)
    int ColorType;                // MEMIMG_COLORTYPE_*
    int UsePalette;               // 1: pixels are 8-bit palette indices
    int UsedPaletteNum;           // highest index of the last index transfer + 1 (0 until then)
    int UseAlpha;                 // 1: pixels carry an 8-bit alpha
    int PremultipliedValid;       // the premultiplied copy matches the pixels
    int RunTableValid;            // the run table matches the pixels
    int UserImageFlag;            // 1: the caller owns the pixel buffer
    void *Palette;                // 256 entries (16-bit for 5-6-5, 32-bit for 8-8-8); 2048-byte block
    void *WorkPalette;            // Palette + 1024 bytes
    uint8_t *Image;               // Height * Pitch bytes
    uint8_t *PremultipliedImage;  // Height * Pitch bytes, alpha images made with the helpers only
    uint8_t *RunTable;            // (Width + 5) * Height bytes, made with the helpers only
};

// ---- Images ---------------------------------------------------------------------------------

// Makes View live on a new image. Pitch -1 = computed (rows padded to 16 bytes). Palette images
// have no alpha; formats 2 and 3 neither. HelpersFlag asks for the premultiplied copy (alpha
// images) and the run table; UserImage (or null) is a pixel buffer the caller keeps owning.
// 0, or -1 for a live view, a size or format refused, or memory short (nothing is then left
// attached to the view).
int CreateMemImg(MEMIMG *View, int Width, int Height, int Pitch, uint32_t ColorKey, int ColorType, int UsePalette,
                 int UseAlpha, int HelpersFlag, void *UserImage);

// Clears the view, then CreateMemImg with a computed pitch, key 0, no palette, no alpha, no
// helpers, own pixels; ColorType -1 takes the default format.
int InitializeMemImg(MEMIMG *View, int Width, int Height, int ColorType);

// Makes View a view of the rectangle (X, Y, Width, Height) of Source. A rectangle outside the
// source leaves View as it was.
void CreateMemImgView(MEMIMG *View, const MEMIMG *Source, int X, int Y, int Width, int Height);

// Releases a live view (the image goes with its last view); anything else is left alone.
void TerminateMemImg(MEMIMG *View);

// 1 for a live view, else 0.
int CheckValidMemImg(const MEMIMG *View);

// The static descriptor of a format; null for a format outside 0..3.
const COLORDATA *GetMemImgColorData(int ColorType, int UseAlpha, int UsePalette);

// Bytes of one pixel of an image.
int GetMemImgPixelBytes(const MemImgImage *Image);

// ---- Transfers ------------------------------------------------------------------------------

// Converts the source rectangle into the view at (DestX, DestY); AlphaImage (or null) supplies
// alpha. A whole-view transfer into a 16/32-bit image with the helpers also rebuilds the
// premultiplied copy and the run table.
void BltBaseImageToMemImg(const BASEIMAGE *Source, const BASEIMAGE *AlphaImage, MEMIMG *Dest, int SrcX, int SrcY,
                          int Width, int Height, int DestX, int DestY, int ColorKeyFlag);

// Copies SrcRect (null = the whole source) of Source to (DestX, DestY) of Dest, converting the
// pixels. A rectangle that does not lie in both images copies nothing.
void BltMemImg(MEMIMG *Dest, const MEMIMG *Source, const ImageRect *SrcRect, int DestX, int DestY);

// Writes Value into every pixel of Rect (null = the whole view), clipped to the view.
void FillMemImg(MEMIMG *View, const ImageRect *Rect, uint32_t Value);

// Puts each rectangle's corners in order, then clamps Rect into Clip. 0.
int ClipRect(ImageRect *Rect, const ImageRect *Clip);

// ---- Global software-renderer settings ------------------------------------------------------

// One set per process; only the setters write it. The tables are built at graphics start-up.
struct MemImgManageData
{
    int DefaultColorType;          // format of InitializeMemImg(-1): 0 until set
    ImageRect DrawArea;            // clip of the software drawers
    int BlendMode, BlendParam;     // blend of the software drawers
    uint32_t DrawBright;           // 0x00RRGGBB, 0xFFFFFF = no tint
    uint8_t BlendGraphTable[256];  // blend-graph border ramp
    int32_t ScaleTable[256][512];  // [a][d + 255] = a * d / 255, d = -255..255
    int32_t MulTable[256][256];    // [a][v] = a * v / 255
    uint8_t MixTable[64][64][64];  // [b][i][j] = (b * i + (63 - b) * j) / 63
    int TablesBuilt;               // SetupMemImgTables has run
};
extern MemImgManageData MemImgManage;

int SetupMemImgTables(void);
int SetMemImgDrawArea(const ImageRect *Area);
int SetMemImgDrawBlendMode(int BlendMode, int BlendParam);
int SetMemImgDrawBright(uint32_t Color);
void SetMemImgBlendGraphTable(int BorderParam, int BorderRange);

// ---- SoftImage handles ----------------------------------------------------------------------

// The record of a SoftImage handle (type 2); the terminate step releases its image.
struct SoftImageHandleData
{
    HandleInfo Info;      // the registry's header
    BASEIMAGE BaseImage;  // the image
};
