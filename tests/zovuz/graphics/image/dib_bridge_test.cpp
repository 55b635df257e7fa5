// Windows bitmaps and BASEIMAGE: describing or drawing bitmaps into images, images into
// bitmaps, DIB sections with a format and mirrored, and the BMP variants left to GDI.
#include <gtest/gtest.h>

#include <string.h>

#include "tests/zovuz/graphics/image_fixture.h"
#include "zovuz/graphics/image/windows/dib_bridge_win.h"

namespace {

struct Dib
{
    BITMAPINFOHEADER Header = {};
    uint32_t Colors[256] = {};
    Dib(int Width, int Height, int Bits, DWORD Compression = BI_RGB)
    {
        Header.biSize = sizeof(Header);
        Header.biWidth = Width;
        Header.biHeight = Height;
        Header.biPlanes = 1;
        Header.biBitCount = (WORD)Bits;
        Header.biCompression = Compression;
    }
    const BITMAPINFO *Info() const { return (const BITMAPINFO *)this; }
};

TEST(DibBridge, BitmapsDescribedOrDrawnIntoImages)
{
    // Top-down 24-bit: described over the caller's bits, or copied with copy flag 1.
    const uint8_t rows24[8] = {1, 2, 3, 4, 5, 6, 0, 0};
    Dib top(2, -1, 24);
    BASEIMAGE img;
    EXPECT_EQ(ConvertBitmapToBaseImage(top.Info(), rows24, &img, 0), 0);
    EXPECT_EQ(img.Pixels, rows24);
    EXPECT_EQ(img.Pitch, 8);
    EXPECT_EQ(ConvertBitmapToBaseImage(top.Info(), rows24, &img, 1), 1);
    EXPECT_NE(img.Pixels, rows24);
    EXPECT_EQ(memcmp(img.Pixels, rows24, 8), 0);
    ReleaseBaseImage(&img);

    // Bit fields: the masks become the format.
    Dib fields(1, -1, 16, BI_BITFIELDS);
    fields.Colors[0] = 0xF800;
    fields.Colors[1] = 0x7E0;
    fields.Colors[2] = 0x1F;
    const uint8_t rows16[4] = {0x1F, 0, 0, 0};
    EXPECT_EQ(ConvertBitmapToBaseImage(fields.Info(), rows16, &img, 0), 0);
    EXPECT_EQ(img.ColorData.GreenMask, 0x7E0u);

    // A bottom-up palette bitmap is drawn by GDI into a 24-bit top-down image.
    Dib palette(2, 2, 8);
    palette.Colors[1] = 0x00112233;
    palette.Colors[2] = 0x00445566;
    const uint8_t indices[8] = {1, 2, 0, 0, 2, 1, 0, 0};  // bottom row first
    LoadedImage drawn;
    EXPECT_EQ(ConvertBitmapToBaseImage(palette.Info(), indices, &drawn.Image, 0), 1);
    EXPECT_EQ(drawn.Image.ColorData.PixelBytes, 3);
    EXPECT_EQ(drawn.Raw(0, 0), 0x445566u);
    EXPECT_EQ(drawn.Raw(0, 1), 0x112233u);
}

TEST(DibBridge, ImagesBecomeBitmaps)
{
    struct
    {
        BITMAPINFOHEADER Header;
        RGBQUAD Colors[256];
    } info;
    uint8_t pal[8] = {3, 1, 0, 0, 2, 2, 0, 0};
    BASEIMAGE img = {};
    CreatePalette8ColorData(&img.ColorData);
    img.ColorData.Palette[3].Red = 0x77;
    img.Width = 2;
    img.Height = 2;
    img.Pitch = 4;
    img.Pixels = pal;
    void *bits = nullptr;
    EXPECT_EQ(ConvertBaseImageToBitmap(&img, (BITMAPINFO *)&info, &bits, 0, 0), 0);
    EXPECT_EQ(bits, (void *)pal) << "own pixels serve";
    EXPECT_EQ(info.Header.biBitCount, 8);
    EXPECT_EQ(info.Header.biHeight, -2);
    EXPECT_EQ(info.Colors[3].rgbRed, 0x77);

    // Another format is converted into new 24-bit rows.
    uint32_t argb[2] = {0x80102030, 0xFF405060};
    BASEIMAGE colour = {};
    CreateARGB8ColorData(&colour.ColorData);
    colour.Width = 2;
    colour.Height = 1;
    colour.Pitch = 8;
    colour.Pixels = argb;
    EXPECT_EQ(ConvertBaseImageToBitmap(&colour, (BITMAPINFO *)&info, &bits, 0, 0), 1);
    EXPECT_EQ(info.Header.biBitCount, 24);
    const uint8_t expected[6] = {0x30, 0x20, 0x10, 0x60, 0x50, 0x40};
    EXPECT_EQ(memcmp(bits, expected, 6), 0);
    DXFREE(bits);
}

TEST(DibBridge, SectionsInAFormatAndMirrored)
{
    Dib src(3, -1, 24);
    const uint8_t row[12] = {0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0, 0, 0};  // blue, green, red
    BASEIMAGE format = {};
    SetColorData(&format.ColorData, 16, 0xF800, 0x7E0, 0x1F, 0, 0, 0, 0);
    for (int mirror : {0, 1}) {
        HBITMAP bitmap = CreateDIBGraph(src.Info(), row, mirror, &format);
        ASSERT_NE(bitmap, nullptr);
        DIBSECTION section;
        ASSERT_EQ(GetObjectW(bitmap, sizeof(section), &section), (int)sizeof(section));
        EXPECT_EQ(section.dsBm.bmBitsPixel, 16);
        EXPECT_EQ(section.dsBitfields[0], 0xF800u);
        const uint16_t *px = (const uint16_t *)section.dsBm.bmBits;
        EXPECT_EQ(px[0], mirror ? 0xF800 : 0x001F) << mirror;
        EXPECT_EQ(px[1], 0x07E0) << mirror;
        EXPECT_EQ(px[2], mirror ? 0x001F : 0xF800) << mirror;
        DeleteObject(bitmap);
    }
    // A file image through the loaders.
    BmpSpec s;
    s.Width = 1;
    s.Height = 1;
    s.Data = {9, 8, 7, 0};
    const Bytes file = BuildBmp(s);
    HBITMAP bitmap = CreateDIBGraphFromFileOrMemory(nullptr, file.data(), (int)file.size(), 1, 0, nullptr);
    ASSERT_NE(bitmap, nullptr);
    DIBSECTION section;
    GetObjectW(bitmap, sizeof(section), &section);
    EXPECT_EQ(section.dsBm.bmBitsPixel, 24);
    EXPECT_EQ(((const uint8_t *)section.dsBm.bmBits)[2], 7);
    DeleteObject(bitmap);
}

TEST(DibBridge, OtherBmpVariantsGoThroughGdi)
{
    // 2 bits per pixel and JPEG payloads are no layouts of the BMP loader's own: GDI is asked
    // to draw them (Wine refuses both), and a refusal leaves nothing behind.
    BmpSpec s;
    s.Width = 4;
    s.Height = 1;
    s.Bits = 2;
    s.Palette = {0x000000, 0x0000FF, 0x00FF00, 0xFF0000};
    s.Data = {0x1B, 0, 0, 0};
    const int allocs = GetAllocNum();
    LoadedImage img;
    LoadBytes(LoadBmpToBaseImage, BuildBmp(s), img);
    EXPECT_EQ(img.Result == 0, img.Image.Pixels != nullptr);
    ReleaseBaseImage(&img.Image);
    s.Bits = 24;
    s.Compression = 4;
    s.Palette.clear();
    s.Data.assign(20, 0x33);
    LoadBytes(LoadBmpToBaseImage, BuildBmp(s), img);
    EXPECT_EQ(img.Result, -1);
    EXPECT_EQ(GetAllocNum(), allocs);
}

}  // namespace
