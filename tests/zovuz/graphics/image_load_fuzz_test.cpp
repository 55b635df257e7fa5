// Hostile images: thousands of seeded mutations of valid files per loader must be refused, or
// give an image whose every described byte can be read, without leaking a block.
#include <gtest/gtest.h>

#include <random>

#include "tests/zovuz/graphics/image_fixture.h"

namespace {

Bytes Mutate(const Bytes &Seed, std::mt19937 &Rng)
{
    static const uint32_t kExtremes[] = {0, 1, 2, 3, 4, 8, 16, 255, 256, 0x7FFF, 0x8000, 0xFFFF, 0x10000,
                                         0x7FFFFFFF, 0x80000000, 0xFFFFFFFE, 0xFFFFFFFF};
    Bytes b = Seed;
    int edits = 1 + Rng() % 4;
    for (int e = 0; e < edits && !b.empty(); ++e) {
        size_t at = Rng() % b.size();
        switch (Rng() % 6) {
        case 0: b[at] ^= (uint8_t)(1u << (Rng() % 8)); break;
        case 1: b[at] = (uint8_t)Rng(); break;
        case 2: {
            // Header fields: a 16- or 32-bit extreme somewhere in the first 160 bytes.
            size_t field = Rng() % (b.size() < 160 ? b.size() : 160);
            uint32_t v = kExtremes[Rng() % (sizeof kExtremes / sizeof kExtremes[0])];
            for (int i = 0; i < (Rng() % 2 ? 2 : 4) && field + i < b.size(); ++i)
                b[field + i] = (uint8_t)(v >> (8 * i));
            break;
        }
        case 3: b.resize(at); break;
        case 4: b.insert(b.begin() + at, (size_t)(1 + Rng() % 9), (uint8_t)Rng()); break;
        case 5: b.erase(b.begin() + at, b.begin() + std::min(b.size(), at + 1 + Rng() % 16)); break;
        }
    }
    return b;
}

// Reads every byte the image describes: level 0 of a plain image, all blocks of a DXT image.
::testing::AssertionResult Readable(BASEIMAGE &Img, int HeaderOnly)
{
    if (Img.Width <= 0 || Img.Height <= 0 || Img.Width > kImageMaxSide || Img.Height > kImageMaxSide)
        return ::testing::AssertionFailure() << "size " << Img.Width << "x" << Img.Height;
    if (HeaderOnly)
        return Img.Pixels == nullptr ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << "pixels";
    if (Img.Pixels == nullptr)
        return ::testing::AssertionFailure() << "no pixels";
    size_t bytes;
    if (Img.ColorData.Format != COLORDATA_FORMAT_PLAIN) {
        bytes = (size_t)GetDxtImageDataSize(Img.ColorData.Format, Img.Width, Img.Height, Img.MipCount) *
                (Img.CubeFlag ? 6 : 1);
    } else {
        if (Img.Pitch < Img.Width * Img.ColorData.PixelBytes || Img.ColorData.PixelBytes == 0)
            return ::testing::AssertionFailure() << "pitch " << Img.Pitch;
        bytes = (size_t)Img.Pitch * Img.Height;
    }
    volatile uint8_t sum = 0;
    for (size_t i = 0; i < bytes; ++i)
        sum += ((const uint8_t *)Img.Pixels)[i];
    if (Img.ColorData.Format != COLORDATA_FORMAT_PLAIN && DecompressDxtBaseImage(&Img, 1) != 0)
        return ::testing::AssertionFailure() << "DXT decode";
    return ::testing::AssertionSuccess();
}

struct Target
{
    const char *Name;
    ImageLoaderFunction Loader;
    std::vector<Bytes> Seeds;
};

std::vector<Target> Targets()
{
    std::vector<Target> t;
    {
        std::vector<Bytes> seeds;
        for (int bits : {1, 4, 8, 16, 24, 32}) {
            BmpSpec s;
            s.Width = 5;
            s.Height = bits == 16 ? -3 : 3;
            s.Bits = bits;
            if (bits <= 8)
                s.Palette.assign((size_t)1 << bits, 0x123456);
            s.Data = PackBmpRows(bits, 5, std::vector<std::vector<uint32_t>>(3, {1, 0, 1, 1, 0}), true);
            seeds.push_back(BuildBmp(s));
        }
        BmpSpec rle;
        rle.Width = 6;
        rle.Height = 3;
        rle.Bits = 8;
        rle.Compression = 1;
        rle.Palette.assign(256, 7);
        rle.Data = {3, 1, 0, 3, 1, 2, 3, 0, 0, 0, 2, 1, 1, 0, 2, 4, 0, 0, 0, 1};
        seeds.push_back(BuildBmp(rle));
        rle.Bits = 4;
        rle.Compression = 2;
        rle.Palette.assign(16, 7);
        seeds.push_back(BuildBmp(rle));
        BmpSpec fields;
        fields.Bits = 32;
        fields.Compression = 3;
        fields.HeaderSize = 124;
        fields.Masks[0] = 0xFF0000;
        fields.Masks[1] = 0xFF00;
        fields.Masks[2] = 0xFF;
        fields.Data = {1, 2, 3, 4};
        seeds.push_back(BuildBmp(fields));
        t.push_back({"bmp", LoadBmpToBaseImage, seeds});
    }
    {
        std::vector<Bytes> seeds;
        for (int type : {1, 2, 9, 10}) {
            TgaSpec s;
            s.Type = type;
            s.Width = 4;
            s.Height = 3;
            s.Descriptor = type == 9 ? 0x10 : 0;
            s.Footer = type == 10;
            if (type == 1 || type == 9) {
                s.MapType = 1;
                s.MapLength = 4;
                s.MapEntryBits = 32;
                s.PixelBits = 8;
                s.Map.assign(16, 0x55);
            }
            if (type == 9) {
                s.Data = {0x83, 1, 0x02, 1, 2, 3, 0x84, 2};
            } else if (type == 10) {
                s.Data = {0x85, 1, 2, 3, 0x05};
                for (int i = 0; i < 18; ++i)
                    s.Data.push_back((uint8_t)i);
            } else {
                s.Data.assign(12 * (type == 1 ? 1 : 3), 0x42);
            }
            seeds.push_back(BuildTga(s));
        }
        t.push_back({"tga", LoadTgaToBaseImage, seeds});
    }
    {
        std::vector<Bytes> seeds;
        DdsSpec plain;
        plain.Width = 4;
        plain.Height = 4;
        plain.Flags |= 0x20008;
        plain.Pitch = 20;
        plain.Caps |= 0x400008;
        plain.MipCount = 3;
        plain.Data.assign(100, 3);
        seeds.push_back(BuildDds(plain));
        plain.Caps2 = 0xFE00;
        plain.Data.assign(600, 4);
        seeds.push_back(BuildDds(plain));
        DdsSpec dxt = plain;
        dxt.PixelFlags = 4;
        dxt.FourCc = FourCc("DXT5");
        dxt.Caps2 = 0;
        dxt.Width = dxt.Height = 9;
        dxt.Data.assign(9 * 16 + 4 * 16 + 16, 0x99);
        seeds.push_back(BuildDds(dxt));
        DdsSpec table = plain;
        table.Caps2 = 0;
        table.PixelFlags = 4;
        table.FourCc = 113;
        table.Flags &= ~0x8u;
        table.Data.assign(4 * 4 * 8 + 2 * 2 * 8 + 8, 1);
        seeds.push_back(BuildDds(table));
        t.push_back({"dds", LoadDdsToBaseImage, seeds});
    }
    t.push_back({"bgra", LoadBgraToBaseImage,
                 {BuildBgra(0x08080808, 3, 2, Bytes(24, 1)), BuildBgra(0x10101010, 2, 2, Bytes(32, 2))}});
    {
        std::vector<Bytes> seeds;
        PngSpec s;
        s.Width = 5;
        s.Height = 4;
        for (int type : {0, 2, 3, 4, 6}) {
            s.ColorType = type;
            s.Depth = 8;
            s.Palette = type == 3 ? std::vector<uint32_t>(4, 0x808080) : std::vector<uint32_t>();
            s.PaletteAlpha = type == 3 ? Bytes{1, 2} : Bytes();
            s.TransparentColor = type == 0 || type == 2;
            const int channels = type == 2 ? 3 : type == 4 ? 2 : type == 6 ? 4 : 1;
            s.Rows.assign((size_t)5 * 4 * channels, 0);
            for (size_t i = 0; i < s.Rows.size(); ++i)
                s.Rows[i] = (uint8_t)(type == 3 ? i % 4 : i * 31);
            s.Interlace = type == 6;
            seeds.push_back(EncodePng(s));
        }
        t.push_back({"png", LoadPngImage, seeds});
    }
    {
        std::vector<Bytes> seeds;
        for (int components : {1, 3, 4}) {
            JpegSpec s;
            s.Components = components;
            s.Progressive = components == 3;
            s.Pixels.resize((size_t)16 * 16 * components);
            for (size_t i = 0; i < s.Pixels.size(); ++i)
                s.Pixels[i] = (uint8_t)(i * 13);
            seeds.push_back(EncodeJpeg(s));
        }
        t.push_back({"jpeg", LoadJpegImage, seeds});
    }
    {
        TiffSpec s;
        s.Width = 3;
        s.Height = 5;
        s.RowsPerStrip = 2;
        s.Pixels.assign(45, 9);
        TiffSpec alpha = s;
        alpha.Samples = 4;
        alpha.RowsPerStrip = 0;
        alpha.Pixels.assign(60, 8);
        t.push_back({"tiff", LoadTiffImage, {BuildTiff(s), BuildTiff(alpha)}});
    }
    return t;
}

TEST(ImageLoadFuzz, MutatedFilesAreRefusedOrReadable)
{
    std::mt19937 rng(20260712);
    for (const Target &t : Targets()) {
        SCOPED_TRACE(t.Name);
        const int allocs = GetAllocNum();
        int accepted = 0;
        for (int i = 0; i < 4000; ++i) {
            const Bytes file = Mutate(t.Seeds[i % t.Seeds.size()], rng);
            const int headerOnly = i % 10 == 9;
            LoadedImage img;
            LoadBytes(t.Loader, file, img, headerOnly);
            if (img.Result == 0) {
                ++accepted;
                ASSERT_TRUE(Readable(img.Image, headerOnly)) << "case " << i;
            } else {
                ASSERT_EQ(img.Result, -1);
                ASSERT_EQ(img.Image.Pixels, nullptr);
            }
        }
        EXPECT_GT(accepted, 0) << "the mutations should leave some files whole";
        EXPECT_EQ(GetAllocNum(), allocs) << "leaked blocks";
    }
}

TEST(ImageLoadFuzz, SeedsLoad)
{
    for (const Target &t : Targets())
        for (const Bytes &seed : t.Seeds) {
            LoadedImage img;
            LoadBytes(t.Loader, seed, img);
            EXPECT_EQ(img.Result, 0) << t.Name;
        }
}

}  // namespace
