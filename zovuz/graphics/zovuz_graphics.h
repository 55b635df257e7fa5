// ZoVuz graphics: the public API of the library's graphics, images and fonts.
//
// Images in memory: COLORDATA describes a pixel format, BASEIMAGE is an image in any such
// format. Every loader produces a BASEIMAGE; graphs, software images, fonts, filters, movies
// and the Direct3D back ends consume one. ConvertColorDataBlt turns any format into any other.
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

// ---- Formats and colours ------------------------------------------------------------------

// Fills a format from a bit depth and four masks, or, when ChannelCount and ChannelBits are
// both non-zero, as a channel format. The whole record (palette included) is cleared first. 0.
int SetColorData(COLORDATA *ColorData, int BitDepth, uint32_t RedMask, uint32_t GreenMask, uint32_t BlueMask,
                 uint32_t AlphaMask, int ChannelCount, int ChannelBits, int FloatFlag);

// The standard formats: 32-bit ARGB, 32-bit XRGB, 24-bit RGB, 8-bit palette (palette cleared,
// top 255) and 8-bit grey palette (entry i = i, i, i). The palette is untouched by the first
// three. 0.
int CreateARGB8ColorData(COLORDATA *ColorData);
int CreateXRGB8ColorData(COLORDATA *ColorData);
int CreateFullColorData(COLORDATA *ColorData);
int CreatePalette8ColorData(COLORDATA *ColorData);
int CreateGrayPaletteColorData(COLORDATA *ColorData);

// Recomputes the unassigned-bits mask from the bit depth and the four channel masks.
void SetColorDataNoneMask(COLORDATA *ColorData);

// A colour packed into the format: the nearest palette entry for 1-byte formats, else each
// channel's top bits at its location with every unassigned bit set.
uint32_t MakeColorDataValue(const COLORDATA *ColorData, int Red, int Green, int Blue, int Alpha);

// Splits a pixel value into 0..255 channels (see base_image.cpp for the exact scaling). Any
// output pointer may be null. 0.
int GetColorDataRGBA(const COLORDATA *ColorData, uint32_t Value, int *Red, int *Green, int *Blue, int *Alpha);

// The colour value of the drawing calls: 0xFF000000 | rgb while a Direct3D back end is in use,
// else packed into the software screen's format. SplitColor is its inverse. 0.
uint32_t GetColorValue(int Red, int Green, int Blue);
int SplitColor(uint32_t Color, int *Red, int *Green, int *Blue);

COLOR_F MakeColorF(COLOR_F *Out, float Red, float Green, float Blue, float Alpha);
uint32_t MakeColorARGB(int Red, int Green, int Blue, int Alpha);

// IEEE half <-> single, the library's cheap forms: no rounding, no special exponents.
float Float16ToFloat32(uint16_t Half);
uint16_t Float32ToFloat16(float Value);

// ---- BASEIMAGE ----------------------------------------------------------------------------

// A width x height 32-bit image (pitch width * 4), pixels left uninitialised. 0, or -1 when the
// size is refused or memory is short (the format and size are then written, pixels null).
int CreateARGB8ColorBaseImage(int Width, int Height, BASEIMAGE *Image);
int CreateXRGB8ColorBaseImage(int Width, int Height, BASEIMAGE *Image);

// Frees the pixels (when present) and clears the record. 0.
int ReleaseBaseImage(BASEIMAGE *Image);

// A view of the rectangle (x1, y1)-(x2, y2) of a plain one-level image, sharing its pixels.
// The view must not be released. 0 / -1.
int CreateBaseImageView(const BASEIMAGE *Source, int X1, int Y1, int X2, int Y2, BASEIMAGE *View);

// Copies a rectangle between two images of any formats, clipping to both (DXT images are
// decoded in place first). 0 / -1.
int BltBaseImage(int SrcX, int SrcY, int Width, int Height, int DestX, int DestY, BASEIMAGE *Source, BASEIMAGE *Dest);
int BltBaseImageWhole(int DestX, int DestY, BASEIMAGE *Source, BASEIMAGE *Dest);

// Clearing to zero bytes and filling with a colour, whole or a rectangle clipped to the image.
int ClearRectBaseImage(BASEIMAGE *Image, int X, int Y, int Width, int Height);
int FillBaseImage(BASEIMAGE *Image, int Red, int Green, int Blue, int Alpha);
int FillRectBaseImage(BASEIMAGE *Image, int X, int Y, int Width, int Height, int Red, int Green, int Blue, int Alpha);

// Pixel access. GetBaseImagePixelARGB places each channel unscaled at the top of its byte of
// 0xAARRGGBB (0 outside the image). GetPixelBaseImage gives 0..255 channels (DXT images are
// decoded first); SetPixelBaseImage writes one. 0 / -1.
uint32_t GetBaseImagePixelARGB(const BASEIMAGE *Image, int X, int Y);
int GetPixelBaseImage(BASEIMAGE *Image, int X, int Y, int *Red, int *Green, int *Blue, int *Alpha);
int SetPixelBaseImage(BASEIMAGE *Image, int X, int Y, int Red, int Green, int Blue, int Alpha);

// Bytes of the stored pixels of one face (all mip levels), -1 for an unknown format.
int GetBaseImageDataSize(const BASEIMAGE *Image);

// The highest palette index used by an 8-bit image, -1 for other images.
int GetBaseImageMaxIndex(const BASEIMAGE *Image);

// Decodes a DXT1..DXT5 image in place into 32-bit ARGB, every face and mip level. With
// FreeFlag the old pixels are freed. 0 (also for a plain image) / -1.
int DecompressDxtBaseImage(BASEIMAGE *Image, int FreeFlag);

// Premultiplies colour by alpha, converting the image to 32-bit ARGB first when needed.
int MultiplyAlphaBaseImage(BASEIMAGE *Image);

// Mirrors every row left to right. 0 / -1.
int ReverseBaseImageH(BASEIMAGE *Image);

// Writes the half-size image of the source: each destination pixel averages a 2 x 2 block
// (pairs for a source 1 pixel high or wide). 16- and 32-bit formats only. 0 / -1.
int ShrinkImageHalf(const COLORDATA *ColorData, void *DestPixels, int DestPitch, const void *SrcPixels, int SrcPitch,
                    int DestX, int DestY, int SrcX, int SrcY, int SrcWidth, int SrcHeight);

// ---- Conversion ---------------------------------------------------------------------------

// Dither modes of ConvertColorDataBlt.
#define COLOR_DITHER_NONE 0
#define COLOR_DITHER_ORDERED 1
#define COLOR_DITHER_CARRY 2

// Copies the source rectangle to (DestX, DestY), converting each pixel between the two
// formats; AlphaPixels (may be null) is a separate image whose red channel gives alpha.
// Options: Mirror writes rows right to left; ColorKeyAlphaTest gives pixels of colour
// ColorKey (0x00RRGGBB) alpha 0; DitherMode COLOR_DITHER_*; AlphaOnly keeps alpha alone;
// RedIsAlpha takes alpha from red; SkipColorKey leaves pixels of the key unwritten;
// PaletteRemap maps 8-bit indices between differing palettes.
// The caller guarantees that the rectangle lies in the source and fits the destination.
// 0, -1 for an empty rectangle or a pair it cannot convert, and, for an 8-bit index copy,
// the highest index copied.
int ConvertColorDataBlt(void *DestPixels, int DestPitch, const COLORDATA *DestColorData, const void *SrcPixels,
                        int SrcPitch, const COLORDATA *SrcColorData, const void *AlphaPixels, int AlphaPitch,
                        const COLORDATA *AlphaColorData, int DestX, int DestY, const ImageRect *SrcRect, int Mirror,
                        int ColorKeyAlphaTest, uint32_t ColorKey, int DitherMode, int AlphaOnly, int RedIsAlpha,
                        int SkipColorKey, int PaletteRemap);

// The shared lookup tables (clamp, YUV, multiply, divide): built at library start, released at
// its end. 0, or -1 when already built / not built.
int InitializeBaseImageTables(void);
int TerminateBaseImageTables(void);

// ---- Movie frames -------------------------------------------------------------------------

// One tightly packed YUV frame of Width x Height into the image's 32-bit pixels (blue, green,
// red, 255 at the image's pitch). 0, or -1 for a null pointer or an image smaller than the
// frame or not of 4 bytes per pixel.
int ConvertYV12ToXRGB32(const void *Source, int Width, int Height, BASEIMAGE *Dest);
int ConvertNV12ToXRGB32(const void *Source, int Width, int Height, BASEIMAGE *Dest);
int ConvertYUY2ToXRGB32(const void *Source, int Width, int Height, BASEIMAGE *Dest);
int ConvertUYVYToXRGB32(const void *Source, int Width, int Height, BASEIMAGE *Dest);
int ConvertYVYUToXRGB32(const void *Source, int Width, int Height, BASEIMAGE *Dest);
int ConvertNV11ToXRGB32(const void *Source, int Width, int Height, BASEIMAGE *Dest);

// The same frame split into a luma buffer (Height rows of Width bytes) and an interleaved
// U, V buffer that keeps the source's sharing (see yuv_convert.cpp). 0, or -1 for a null pointer.
int ConvertYV12ToYUVImage(const void *Source, int Width, int Height, void *Luma, void *Chroma);
int ConvertNV12ToYUVImage(const void *Source, int Width, int Height, void *Luma, void *Chroma);
int ConvertYUY2ToYUVImage(const void *Source, int Width, int Height, void *Luma, void *Chroma);
int ConvertUYVYToYUVImage(const void *Source, int Width, int Height, void *Luma, void *Chroma);
int ConvertYVYUToYUVImage(const void *Source, int Width, int Height, void *Luma, void *Chroma);
int ConvertNV11ToYUVImage(const void *Source, int Width, int Height, void *Luma, void *Chroma);

// ---- Software images ----------------------------------------------------------------------

// The format of software images made without one: 1 (32-bit) when the screen depth is 32,
// else 0 (16-bit). The graphics start-up and the Direct3D device set-up set it. 0.
int SetMemImgDefaultColorType(int ColorType);

// The SoftImage handle type (handles holding a BASEIMAGE), registered at the library's start.
// 0, or -1 when already registered / not registered.
int InitializeSoftImageManage(void);
void DeleteAllSoftImages(void);
int TerminateSoftImageManage(void);

// ---- Displays -----------------------------------------------------------------------------

struct DisplayRecordInfo;

// One display mode; all -1 for a mode that does not exist.
struct DISPLAYMODEDATA
{
    int Width, Height;
    int ColorBitDepth;  // bits per pixel
    int RefreshRate;    // Hz
};

// Modes listed for a display (16 bits or more), -1 for a display that does not exist.
int GetDisplayModeNum(int DisplayIndex);
// A listed mode, also written to *Mode when given; all -1 for an index out of range.
DISPLAYMODEDATA GetDisplayMode(DISPLAYMODEDATA *Mode, int ModeIndex, int DisplayIndex);

// Chooses the display used for the window and full screen (before or after start-up). 0, or -1
// for an index outside the display table (the display in use then stays).
int SetUseDisplayIndex(int Index);
// The display chosen by SetUseDisplayIndex, or 0 while none is (the library's start looks for the
// full-screen mode among its modes).
int GetUseDisplayIndex(void);

// The record of the display in use (display 0 until one is chosen). 0 / -1.
int GetUseDisplayRecord(DisplayRecordInfo *Record);

// Chooses the full-screen display mode for the current screen size and gives its size. 0 / -1.
int SelectFullScreenDisplayModeSize(int *Width, int *Height);

// ---- The vertical blank -------------------------------------------------------------------

// The DirectDraw object through which presents wait for the vertical blank: made at the start
// of the software renderer (and by the Direct3D 9 back end), released at its end. 0 / -1.
int DirectDraw7_Create(void);
int DirectDraw7_Release(void);
// The IDirectDraw7 object, or null.
void *DirectDraw7_GetObject(void);
// Measures the period of the vertical blank (at most 60 waits). 0.
int DirectDraw7_MeasureVSyncPeriod(void);
// Waits for the next vertical blank, sleeping until shortly before it. 0.
int DirectDraw7_WaitVSync(void);

// ---- Calls that other subsystems know by other names or shapes ------------------------------
//
// Each call has one name and one shape here, those of the graphics layer's own description:
// - ShrinkImageHalf: format, destination, destination pitch, source, source pitch, destination x,
//   y, source x, y, width, height (the Direct3D back ends pass the source before the destination
//   in their own description; they call this order);
// - SplitColor: bytes 2, 1, 0 of the value while a Direct3D back end is in use, the screen
//   format's masks (scaled to 0-255) on the software renderer;
// - SetColorData: nine arguments, without the extra 0 before the channel count;
// - the device capabilities: one record, GraphicsDeviceCaps (graphics_hardware.h);
// - the front-screen timer's procedure: FrontScreenTimerProc (graphics_hardware.h), shared by the
//   software renderer and both back ends.

struct HBITMAP__;

// Transfers a colour image and an optional alpha image into an existing graph at (X, Y): with
// BmpFlag the two GDI bitmaps (described by BmpColorData), else the two BASEIMAGEs. The source
// is kept for the restore after a device loss. 0, the transfer's failure code, or -1 before
// graphics start. (The Direct3D back ends call this "CreateGraphFromBitmap".)
int BltBmpOrBaseImageToGraph(const COLORDATA *BmpColorData, HBITMAP__ *RgbBmp, HBITMAP__ *AlphaBmp, int BmpFlag,
                             const BASEIMAGE *RgbImage, const BASEIMAGE *AlphaImage, int X, int Y, int GraphHandle);

// Locks Rect of a draw target for reading and describes its pixels as Image (the pixel pointer at
// the rectangle's first pixel): TargetHandle -1 = the current draw screen, else a graph (or a
// screen value); Surface and MipLevel choose the surface; TextureIndex the drawing piece of a
// graph held in several textures. 0, or -1 when the rectangle is not inside the target or the
// lock fails. UnlockDrawScreenBuffer ends the lock.
int LockDrawScreenBuffer(const ImageRect *Rect, BASEIMAGE *Image, int TargetHandle, int Surface, int MipLevel,
                         int ReadOnly, int TextureIndex);
int UnlockDrawScreenBuffer(void);

// ---- The draw state, the dispatch layer, shaders and lights ---------------------------------
// (These headers are part of this one: include zovuz_graphics.h, never them directly.)
#include "zovuz/graphics/graphics_hardware.h"
#include "zovuz/graphics/draw_state.h"
#include "zovuz/graphics/shader_light.h"
#include "zovuz/graphics/graph/graph_handle.h"
#include "zovuz/graphics/graph/graph_load.h"
#include "zovuz/graphics/draw_screen.h"
#include "zovuz/graphics/font/font.h"
#include "zovuz/graphics/draw_primitive.h"
#include "zovuz/graphics/font/string_draw.h"
// What the Direct3D back ends read and write of the front end: the draw settings, the screen, the
// graph, shader and buffer records (also part of this header).
#include "zovuz/graphics/zovuz_graphics_backend.h"
