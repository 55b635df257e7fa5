// ZoVuz graphics: the calls on images in memory: formats and colours, BASEIMAGE, conversion
// between formats and movie frames; part of the public graphics API (zovuz_graphics.h includes
// it). ConvertColorDataBlt turns any format into any other.
#pragma once

#include <stdint.h>

#include "zovuz/graphics/image/image_types.h"

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
