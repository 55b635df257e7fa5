// Font tests' helpers: a builder of font data images, the ink of a cache cell, and graphics started
// on the software renderer or on the recording back end (texture caches).
#pragma once

#include <gtest/gtest.h>

#include <stdint.h>

#include <vector>

#include "tests/zovuz/graphics/hardware_fixture.h"
#include "zovuz/graphics/font_internal.h"

// One character record of a font data image.
struct FontDataChar
{
    uint32_t Code;
    int X, Y, Advance;
    int Width, Height, Pitch;
    std::vector<uint8_t> Image;   // Pitch x Height bytes
    bool Packed = false;          // stored LZ-packed
};

// A font data image: the head, the packed header (face, metrics, format) and the glyphs.
struct FontDataBuilder
{
    int ImageFormat = 0;          // 0 = 1 bit, 1 = 4-bit grey, 2 = 8-bit grey
    int CellSide = 8, LineHeight = 8, Size = 8;
    std::vector<FontDataChar> Chars;
    // Head values written as given when not -1 (for broken images).
    int64_t RecordNumOverride = -1, HighNumOverride = -1, UnpackSizeOverride = -1;
    std::vector<uint8_t> Build() const;
};

// A Width x Height glyph record whose every pixel is ink, in the builder's format.
FontDataChar SolidChar(uint32_t Code, int ImageFormat, int Width, int Height);
// Codes First, First + 1, ... each with the same small solid glyph.
FontDataBuilder ManyCharsFont(uint32_t First, int Count);

// The level of pixel (X, Y) of a cell (0 = empty): the software cache's stored value + 1 (the bit
// for 1-bit caches), or the texture cache's alpha. Edge: the texture's edge layer.
int CellPixel(const FontHandleData &Font, const FontCharData &Cell, int X, int Y, bool Edge = false);
// Ink of a cell: whether any pixel has ink, and whether all ink lies inside its Width x Height.
struct CellInk
{
    int Pixels = 0;
    bool InsideBox = true;
};
CellInk InkOfCell(const FontHandleData &Font, const FontCharData &Cell);

// The font's cell of a code (rasterised when missing), or null.
FontCharData *CellOf(FontHandleData *Font, uint32_t Code);

// Graphics started on the software renderer, a 640 x 480 x 32 screen (font caches in memory).
class SoftwareFonts : public testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;
};

// Graphics started on the recording back end (font caches in textures).
class TextureFonts : public GraphicsStateTest
{
protected:
    void SetUp() override;
    void TearDown() override;
    void Start(int Width, int Height);
};
