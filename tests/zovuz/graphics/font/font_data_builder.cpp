#include "tests/zovuz/graphics/font/font_data_builder.h"

#include <string.h>

#include <algorithm>

#include "tools/archive_writer/archive_writer.h"
#include "zovuz/core/base_helpers.h"

namespace {

void Put16(std::vector<uint8_t> &Out, size_t At, uint32_t Value) { WriteLe16(Out.data() + At, (uint16_t)Value); }
void Put32(std::vector<uint8_t> &Out, size_t At, uint32_t Value) { WriteLe32(Out.data() + At, Value); }

}  // namespace

std::vector<uint8_t> FontDataBuilder::Build() const
{
    std::vector<uint8_t> glyphs;
    std::vector<uint32_t> offsets;
    size_t unpack = 0;
    for (const FontDataChar &c : Chars) {
        offsets.push_back((uint32_t)glyphs.size());
        std::vector<uint8_t> data = c.Image;
        if (c.Packed && !data.empty()) {
            data = ArchivePack(c.Image.data(), c.Image.size());
            unpack = std::max(unpack, c.Image.size());
        }
        glyphs.insert(glyphs.end(), data.begin(), data.end());
    }

    std::vector<uint8_t> header(368 + 32 * Chars.size());
    const char *face = "Test";
    for (int i = 0; face[i] != 0; ++i)
        Put16(header, 24 + 2 * i, (uint8_t)face[i]);
    Put16(header, 280, 6);
    Put16(header, 282, (uint32_t)Size);
    Put16(header, 284, (uint32_t)LineHeight);
    Put16(header, 290, (uint32_t)CellSide);
    Put16(header, 294, 65535);
    Put16(header, 296, (uint32_t)LineHeight - 2);
    header[300] = (uint8_t)ImageFormat;
    uint32_t high = 0;
    for (size_t i = 0; i < Chars.size(); ++i) {
        const FontDataChar &c = Chars[i];
        const size_t r = 368 + 32 * i;
        Put32(header, r, c.Code);
        header[r + 4] = c.Packed ? 1 : 0;
        Put16(header, r + 6, (uint16_t)c.X);
        Put16(header, r + 8, (uint16_t)c.Y);
        Put16(header, r + 10, (uint16_t)c.Advance);
        Put16(header, r + 12, (uint32_t)c.Width);
        Put16(header, r + 14, (uint32_t)c.Height);
        Put32(header, r + 16, offsets[i]);
        Put32(header, r + 20, (uint32_t)c.Pitch);
        high += c.Code >= 0x10000;
    }
    const std::vector<uint8_t> packed = ArchivePack(header.data() + 24, header.size() - 24);

    std::vector<uint8_t> image(24 + packed.size() + glyphs.size());
    memcpy(image.data(), "FNTF", 4);
    Put32(image, 8, (uint32_t)(24 + packed.size()));
    Put32(image, 12, UnpackSizeOverride >= 0 ? (uint32_t)UnpackSizeOverride : (uint32_t)unpack);
    Put32(image, 16, RecordNumOverride >= 0 ? (uint32_t)RecordNumOverride : (uint32_t)Chars.size());
    Put32(image, 20, HighNumOverride >= 0 ? (uint32_t)HighNumOverride : high);
    std::copy(packed.begin(), packed.end(), image.begin() + 24);
    std::copy(glyphs.begin(), glyphs.end(), image.begin() + 24 + (ptrdiff_t)packed.size());
    return image;
}

FontDataChar SolidChar(uint32_t Code, int ImageFormat, int Width, int Height)
{
    const int bits = ImageFormat == 0 ? 1 : ImageFormat == 1 ? 4 : 8;
    FontDataChar c;
    c.Code = Code;
    c.X = 0;
    c.Y = 1;
    c.Advance = Width + 1;
    c.Width = Width;
    c.Height = Height;
    c.Pitch = (Width * bits + 7) / 8;
    c.Image.assign((size_t)c.Pitch * Height, 0xFF);
    return c;
}

FontDataBuilder ManyCharsFont(uint32_t First, int Count)
{
    FontDataBuilder b;
    for (int i = 0; i < Count; ++i)
        b.Chars.push_back(SolidChar(First + (uint32_t)i, 0, 2, 2));
    return b;
}
