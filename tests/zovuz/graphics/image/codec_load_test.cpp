// PNG, JPEG and TIFF through their libraries: each colour type, depth and transparency gives
// the expected format and pixels; strips in every arrangement; cut and hostile files.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <zlib.h>

#include "tests/zovuz/graphics/image_fixture.h"

namespace {

// ---- PNG ----

struct PngCase
{
    const char *Name;
    PngSpec Layout;
    int PixelBytes;
    uint32_t AlphaMask;
    std::vector<uint32_t> Row0;  // raw values of row 0
};

PngSpec Png(int ColorType, int Depth, int Width, Bytes Rows)
{
    PngSpec s;
    s.ColorType = ColorType;
    s.Depth = Depth;
    s.Width = Width;
    s.Height = 1;
    s.Rows = Rows;
    return s;
}

PngSpec Keyed(PngSpec S, uint16_t A, uint16_t B = 0, uint16_t C = 0)
{
    S.TransparentColor = true;
    S.Key[0] = A;
    S.Key[1] = B;
    S.Key[2] = C;
    return S;
}

TEST(PngLoad, ColourTypesDepthsAndTransparency)
{
    const PngCase cases[] = {
        {"grey 1-bit", Png(0, 1, 8, {0xB1}), 1, 0, {255, 0, 255, 255, 0, 0, 0, 255}},
        {"grey 2-bit", Png(0, 2, 4, {0x1B}), 1, 0, {0, 85, 170, 255}},
        {"grey 16-bit", Png(0, 16, 2, {0x12, 0x34, 0xAB, 0xCD}), 1, 0, {0x12, 0xAB}},
        {"grey 8-bit, tRNS", Keyed(Png(0, 8, 2, {50, 51}), 50), 4, 0xFF000000, {0x00323232, 0xFF333333}},
        {"grey 4-bit, tRNS", Keyed(Png(0, 4, 2, {0x34}), 3), 4, 0xFF000000, {0x00333333, 0xFF444444}},
        // The key is compared at 16 bits: equal high bytes alone do not make a pixel transparent.
        {"grey 16-bit, tRNS", Keyed(Png(0, 16, 2, {0x12, 0x34, 0x12, 0x99}), 0x1234), 4, 0xFF000000,
         {0x00121212, 0xFF121212}},
        {"grey and alpha", Png(4, 8, 2, {10, 200, 20, 0}), 4, 0xFF000000, {0xC80A0A0A, 0x00141414}},
        {"colour", Png(2, 8, 1, {0x11, 0x22, 0x33}), 3, 0, {0x112233}},
        {"colour, tRNS", Keyed(Png(2, 8, 2, {0x11, 0x22, 0x33, 0x11, 0x22, 0x34}), 0x11, 0x22, 0x33), 4,
         0xFF000000, {0x00112233, 0xFF112234}},
        {"colour 16-bit, tRNS",
         Keyed(Png(2, 16, 2, {0x11, 0x11, 0x22, 0x22, 0x33, 0x33, 0x11, 0x11, 0x22, 0x22, 0x33, 0x99}), 0x1111,
               0x2222, 0x3333),
         4, 0xFF000000, {0x00112233, 0xFF112233}},
        {"colour and alpha 16-bit", Png(6, 16, 1, {0x11, 0, 0x22, 0, 0x33, 0, 0x44, 0}), 4, 0xFF000000, {0x44112233}},
    };
    for (const PngCase &c : cases) {
        SCOPED_TRACE(c.Name);
        LoadedImage img;
        LoadBytes(LoadPngImage, EncodePng(c.Layout), img);
        ASSERT_EQ(img.Result, 0);
        EXPECT_EQ(img.Image.ColorData.PixelBytes, c.PixelBytes);
        EXPECT_EQ(img.Image.ColorData.AlphaMask, c.AlphaMask);
        EXPECT_EQ(img.Image.Pitch, c.Layout.Width * c.PixelBytes);
        for (size_t x = 0; x < c.Row0.size(); ++x)
            EXPECT_EQ(img.Raw((int)x, 0), c.Row0[x]) << x;
        if (c.PixelBytes == 1) {
            EXPECT_EQ(img.Entry(1, 0), 0x010101u * img.Raw(1, 0)) << "grey palette";
        }
    }
}

TEST(PngLoad, PalettesTakeTheirTransparency)
{
    PngSpec s = Png(3, 4, 3, {0x0F, 0x30});
    for (uint32_t i = 0; i < 16; ++i)
        s.Palette.push_back(0x102030u + i);
    s.PaletteAlpha = {0, 100, 200};
    LoadedImage img;
    LoadBytes(LoadPngImage, EncodePng(s), img);
    ASSERT_EQ(img.Result, 0);
    const COLORDATA &cd = img.Image.ColorData;
    EXPECT_EQ(cd.AlphaMask, 0xFF000000u);
    EXPECT_EQ(img.Raw(0, 0), 0u);
    EXPECT_EQ(img.Raw(1, 0), 15u);
    EXPECT_EQ(img.Raw(2, 0), 3u);
    EXPECT_EQ(img.Entry(0, 0), 0x00102030u);
    EXPECT_EQ(img.Entry(2, 0), 0xFF102033u);
    uint32_t second;
    memcpy(&second, &cd.Palette[1], 4);
    EXPECT_EQ(second, 0x64102031u);

    s.PaletteAlpha.clear();
    LoadBytes(LoadPngImage, EncodePng(s), img);
    ASSERT_EQ(img.Result, 0);
    EXPECT_EQ(img.Image.ColorData.AlphaMask, 0u);
    EXPECT_EQ(img.Entry(1, 0), 0x0010203Fu);
}

TEST(PngLoad, InterlacedEqualsPlain)
{
    PngSpec s = Png(2, 8, 9, {});
    s.Height = 7;
    for (int i = 0; i < 9 * 7 * 3; ++i)
        s.Rows.push_back((uint8_t)(i * 37));
    LoadedImage plain, interlaced;
    LoadBytes(LoadPngImage, EncodePng(s), plain);
    s.Interlace = true;
    LoadBytes(LoadPngImage, EncodePng(s), interlaced);
    ASSERT_EQ(plain.Result, 0);
    ASSERT_EQ(interlaced.Result, 0);
    EXPECT_EQ(0, memcmp(plain.Image.Pixels, interlaced.Image.Pixels, 9 * 7 * 3));
    EXPECT_EQ(plain.Raw(0, 0), 0x00254Au);  // red 0, green 0x25, blue 0x4A
}

// A PNG whose header claims another size (its check value made to match).
Bytes WithSize(Bytes File, uint32_t Width, uint32_t Height)
{
    for (int i = 0; i < 4; ++i) {
        File[16 + i] = (uint8_t)(Width >> (24 - 8 * i));
        File[20 + i] = (uint8_t)(Height >> (24 - 8 * i));
    }
    uint32_t crc = (uint32_t)crc32(0, File.data() + 12, 17);
    for (int i = 0; i < 4; ++i)
        File[29 + i] = (uint8_t)(crc >> (24 - 8 * i));
    return File;
}

TEST(PngLoad, HeaderOnlyCutAndHostileFiles)
{
    PngSpec s = Png(6, 8, 40, {});
    s.Height = 40;
    for (int i = 0; i < 40 * 40 * 4; ++i)
        s.Rows.push_back((uint8_t)rand());
    const Bytes file = EncodePng(s);
    LoadedImage img;
    LoadBytes(LoadPngImage, file, img, 1);
    ASSERT_EQ(img.Result, 0);
    EXPECT_EQ(img.Image.Width, 40);
    EXPECT_EQ(img.Image.Pixels, nullptr);
    // A file that ends after its image data (no end chunk) keeps the image.
    LoadBytes(LoadPngImage, Bytes(file.begin(), file.end() - 12), img);
    EXPECT_EQ(img.Result, 0);
    // Sides past the limit are refused from the header alone.
    LoadBytes(LoadPngImage, WithSize(file, 70000, 1), img, 1);
    EXPECT_EQ(img.Result, -1);

    ExpectAllRefused(LoadPngImage, {
        {"cut in the image data", Bytes(file.begin(), file.begin() + file.size() / 2)},
        {"cut in the header", Bytes(file.begin(), file.begin() + 20)},
        {"wider than any image", WithSize(file, 70000, 1)},
        {"larger than memory", WithSize(file, 60000, 60000)},
        {"signature damaged", [&] { Bytes b = file; b[1] = 'Q'; return b; }()},
    });
}

// ---- JPEG ----

JpegSpec Flat(int Components, std::initializer_list<uint8_t> Value, int Size = 16)
{
    JpegSpec s;
    s.Width = s.Height = Size;
    s.Components = Components;
    for (int i = 0; i < Size * Size; ++i)
        s.Pixels.insert(s.Pixels.end(), Value);
    return s;
}

void ExpectNear(uint32_t Actual, uint32_t Expected, int Bytes)
{
    for (int i = 0; i < Bytes; ++i)
        EXPECT_NEAR((int)((Actual >> (8 * i)) & 0xFF), (int)((Expected >> (8 * i)) & 0xFF), 3)
            << std::hex << Actual << " vs " << Expected;
}

TEST(JpegLoad, GreyColourCmykAndProgressive)
{
    struct Case
    {
        const char *Name;
        JpegSpec Layout;
        int PixelBytes;
        uint32_t Expected;
    } cases[] = {
        {"grey", Flat(1, {100}), 1, 100},
        {"colour in blue, green, red order", Flat(3, {200, 30, 40}), 3, 0xC81E28},
        {"progressive colour", [] { JpegSpec s = Flat(3, {200, 30, 40}); s.Progressive = true; return s; }(), 3,
         0xC81E28},
        // Inverted CMYK: each colour scaled by the fourth value.
        {"CMYK", Flat(4, {200, 100, 50, 128}), 3, 0x643219},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        LoadedImage img;
        LoadBytes(LoadJpegImage, EncodeJpeg(c.Layout), img);
        ASSERT_EQ(img.Result, 0);
        EXPECT_EQ(img.Image.ColorData.PixelBytes, c.PixelBytes);
        EXPECT_EQ(img.Image.Pitch, 16 * c.PixelBytes);
        ExpectNear(img.Raw(0, 0), c.Expected, c.PixelBytes);
        ExpectNear(img.Raw(15, 15), c.Expected, c.PixelBytes);
    }

    // Blocks keep their places: left half dark, right half light.
    JpegSpec halves = Flat(1, {0});
    for (int i = 0; i < 256; ++i)
        halves.Pixels[i] = (i % 16) < 8 ? 40 : 220;
    LoadedImage img;
    LoadBytes(LoadJpegImage, EncodeJpeg(halves), img);
    ASSERT_EQ(img.Result, 0);
    ExpectNear(img.Raw(7, 3), 40, 1);
    ExpectNear(img.Raw(8, 3), 220, 1);
}

TEST(JpegLoad, CutScanStillDecodesHeaderAndHostileFilesRefused)
{
    JpegSpec s = Flat(3, {0, 0, 0}, 64);
    for (size_t i = 0; i < s.Pixels.size(); ++i)
        s.Pixels[i] = (uint8_t)(i * 2654435761u >> 24);
    const Bytes file = EncodeJpeg(s);
    LoadedImage full, cut;
    LoadBytes(LoadJpegImage, file, full);
    LoadBytes(LoadJpegImage, Bytes(file.begin(), file.begin() + file.size() * 6 / 10), cut);
    ASSERT_EQ(full.Result, 0);
    ASSERT_EQ(cut.Result, 0);
    EXPECT_EQ(cut.Image.Height, 64);
    EXPECT_EQ(cut.Raw(0, 0), full.Raw(0, 0));

    LoadedImage img;
    LoadBytes(LoadJpegImage, file, img, 1);
    ASSERT_EQ(img.Result, 0);
    EXPECT_EQ(img.Image.Width, 64);
    EXPECT_EQ(img.Image.ColorData.PixelBytes, 3);
    EXPECT_EQ(img.Image.Pixels, nullptr);

    ReleaseBaseImage(&full.Image);
    ReleaseBaseImage(&cut.Image);
    Bytes notJpeg = file;
    notJpeg[0] = 0xFE;
    ExpectAllRefused(LoadJpegImage, {
        {"first byte not 0xFF", notJpeg},
        {"cut in the header", Bytes(file.begin(), file.begin() + 100)},
        {"start of image only", Bytes{0xFF, 0xD8}},
        {"empty after the marker byte", Bytes{0xFF}},
    });
}

// ---- TIFF ----

TiffSpec Rgb10Rows(int RowsPerStrip)
{
    TiffSpec s;
    s.Width = 3;
    s.Height = 10;
    s.RowsPerStrip = RowsPerStrip;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 3; ++x)
            s.Pixels.insert(s.Pixels.end(), {(uint8_t)(y * 20 + x), (uint8_t)(100 + y), (uint8_t)(200 - x)});
    return s;
}

TEST(TiffLoad, StripsInEveryArrangement)
{
    // -1: no rows-per-strip tag; 0, 20 and 2^31 - 1: one strip of the whole image.
    for (int rows : {4, 8, 10, 1, -1, 0, 20, 0x7FFFFFFF}) {
        SCOPED_TRACE(rows);
        LoadedImage img;
        LoadBytes(LoadTiffImage, BuildTiff(Rgb10Rows(rows)), img);
        ASSERT_EQ(img.Result, 0);
        EXPECT_EQ(img.Image.Pitch, 12);
        EXPECT_EQ(img.Image.ColorData.AlphaMask, 0xFF000000u);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 3; ++x)
                ASSERT_EQ(img.Raw(x, y), 0xFF000000u | (uint32_t)(y * 20 + x) << 16 | (uint32_t)(100 + y) << 8 |
                                             (uint32_t)(200 - x))
                    << x << "," << y;
    }
}

TEST(TiffLoad, AlphaStaysAsTheFileMeansIt)
{
    for (int kind : {1, 2}) {  // associated, unassociated
        TiffSpec s;
        s.Width = 2;
        s.Samples = 4;
        s.ExtraSample = kind;
        s.Pixels = {100, 50, 25, 128, 200, 100, 50, 128};
        LoadedImage img;
        LoadBytes(LoadTiffImage, BuildTiff(s), img);
        ASSERT_EQ(img.Result, 0) << kind;
        EXPECT_EQ(img.Raw(0, 0), 0x80643219u) << kind;
        EXPECT_EQ(img.Raw(1, 0), 0x80C86432u) << kind;
    }
}

TEST(TiffLoad, DamagedAndHostileFilesAreRefused)
{
    const Bytes good = BuildTiff(Rgb10Rows(4));
    TiffSpec wide = Rgb10Rows(4);
    wide.Width = 0x20000;
    Bytes bm = good;
    bm[0] = 'B';
    bm[1] = 'M';
    ExpectAllRefused(LoadTiffImage, {
        {"strip data cut", Bytes(good.begin(), good.begin() + 40)},
        {"wider than any image", BuildTiff(wide)},
        {"not a byte-order mark", bm},
        {"header only", Bytes(good.begin(), good.begin() + 8)},
    });
}

}  // namespace
