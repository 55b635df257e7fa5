#include "tests/zovuz/graphics/image_seeds.h"

std::vector<ImageSeedSet> ImageLoaderSeeds()
{
    std::vector<ImageSeedSet> t;
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
