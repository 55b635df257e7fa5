// A builder of font data images ("FNTF") for the font tests and the font data fuzz target's seeds.
#pragma once

#include <stdint.h>

#include <vector>

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
