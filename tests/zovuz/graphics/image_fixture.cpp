// Image files built in code for the loader tests.
#include "tests/zovuz/graphics/image_fixture.h"

#include <setjmp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <jpeglib.h>
#include <png.h>

void PutLe16(Bytes &B, uint32_t V)
{
    B.push_back((uint8_t)V);
    B.push_back((uint8_t)(V >> 8));
}

void PutLe32(Bytes &B, uint32_t V)
{
    for (int i = 0; i < 4; ++i)
        B.push_back((uint8_t)(V >> (8 * i)));
}

void SetLe32(Bytes &B, size_t At, uint32_t V)
{
    for (int i = 0; i < 4; ++i)
        B[At + i] = (uint8_t)(V >> (8 * i));
}

uint32_t LoadedImage::Raw(int X, int Y) const
{
    const uint8_t *p = (const uint8_t *)Image.Pixels + (size_t)Y * Image.Pitch + (size_t)X * Image.ColorData.PixelBytes;
    uint32_t v = 0;
    for (int i = 0; i < Image.ColorData.PixelBytes && i < 4; ++i)
        v |= (uint32_t)p[i] << (8 * i);
    return v;
}

uint32_t LoadedImage::Entry(int X, int Y) const
{
    uint32_t v;
    memcpy(&v, &Image.ColorData.Palette[Raw(X, Y)], 4);
    return v;
}

void LoadBytes(ImageLoaderFunction Loader, const Bytes &File, LoadedImage &Out, int HeaderOnly)
{
    ReleaseBaseImage(&Out.Image);
    MemStream *m = CreateMemStream(File.data(), (uint32_t)File.size());
    ImageStreamPair pair = {*GetMemStreamFunctionTable(), m};
    if (Loader != nullptr) {
        Out.Result = Loader(&pair, &Out.Image, HeaderOnly);
    } else {
        ImageLoadParam param;
        InitImageLoadParams(&param, HeaderOnly);
        Out.Result = LoadBaseImageFromStream(&param, &pair, &Out.Image);
    }
    MemStreamClose(m);
}

Bytes BuildBmp(const BmpSpec &S)
{
    const uint32_t maskBytes = S.HeaderSize == 40 ? (S.Compression == 3 ? 12 : S.Compression == 6 ? 16 : 0) : 0;
    const uint32_t offset = 14 + S.HeaderSize + maskBytes + (uint32_t)S.Palette.size() * 4;
    Bytes b = {'B', 'M'};
    PutLe32(b, offset + (uint32_t)S.Data.size());
    PutLe32(b, 0);
    PutLe32(b, offset);
    PutLe32(b, S.HeaderSize);
    PutLe32(b, (uint32_t)S.Width);
    PutLe32(b, (uint32_t)S.Height);
    PutLe16(b, 1);
    PutLe16(b, (uint32_t)S.Bits);
    PutLe32(b, S.Compression);
    PutLe32(b, (uint32_t)S.Data.size());
    PutLe32(b, 2835);
    PutLe32(b, 2835);
    PutLe32(b, S.ColorsUsed);
    PutLe32(b, 0);
    for (int i = 0; i < 4 && 40 + 4 * i + 4 <= (int)S.HeaderSize; ++i)
        PutLe32(b, S.Masks[i]);
    b.resize(14 + S.HeaderSize, 0);
    for (uint32_t i = 0; i < maskBytes / 4; ++i)
        PutLe32(b, S.Masks[i]);
    for (uint32_t e : S.Palette)
        PutLe32(b, e & 0xFFFFFF);
    b.insert(b.end(), S.Data.begin(), S.Data.end());
    return b;
}

Bytes PackBmpRows(int Bits, int Width, const std::vector<std::vector<uint32_t>> &Rows, bool BottomUp)
{
    const size_t pitch = ((size_t)Bits * Width + 31) / 32 * 4;
    Bytes out;
    for (size_t r = 0; r < Rows.size(); ++r) {
        const std::vector<uint32_t> &row = Rows[BottomUp ? Rows.size() - 1 - r : r];
        Bytes line(pitch, 0);
        for (int x = 0; x < Width; ++x) {
            uint32_t v = row[x];
            if (Bits < 8)
                line[(size_t)x * Bits / 8] |= (uint8_t)(v << (8 - Bits - (x * Bits) % 8));
            else
                for (int i = 0; i < Bits / 8; ++i)
                    line[(size_t)x * (Bits / 8) + i] = (uint8_t)(v >> (8 * i));
        }
        out.insert(out.end(), line.begin(), line.end());
    }
    return out;
}

Bytes BuildTga(const TgaSpec &S)
{
    Bytes b = {(uint8_t)S.Id.size(), (uint8_t)S.MapType, (uint8_t)S.Type};
    PutLe16(b, (uint32_t)S.MapFirst);
    PutLe16(b, (uint32_t)S.MapLength);
    b.push_back((uint8_t)S.MapEntryBits);
    PutLe32(b, 0);
    PutLe16(b, (uint32_t)S.Width);
    PutLe16(b, (uint32_t)S.Height);
    b.push_back((uint8_t)S.PixelBits);
    b.push_back((uint8_t)S.Descriptor);
    b.insert(b.end(), S.Id.begin(), S.Id.end());
    b.insert(b.end(), S.Map.begin(), S.Map.end());
    b.insert(b.end(), S.Data.begin(), S.Data.end());
    if (S.Footer) {
        PutLe32(b, 0);
        PutLe32(b, 0);
        const char tag[] = "TRUEVISION-XFILE.";
        b.insert(b.end(), tag, tag + 18);  // with its terminating 0
    }
    return b;
}

uint32_t FourCc(const char *Code)
{
    return (uint32_t)Code[0] | (uint32_t)Code[1] << 8 | (uint32_t)Code[2] << 16 | (uint32_t)Code[3] << 24;
}

Bytes BuildDds(const DdsSpec &S)
{
    Bytes b = {'D', 'D', 'S', ' '};
    PutLe32(b, S.HeaderSize);
    PutLe32(b, S.Flags);
    PutLe32(b, (uint32_t)S.Height);
    PutLe32(b, (uint32_t)S.Width);
    PutLe32(b, S.Pitch);
    PutLe32(b, 0);
    PutLe32(b, S.MipCount);
    b.resize(b.size() + 44, 0);
    PutLe32(b, 32);
    PutLe32(b, S.PixelFlags);
    PutLe32(b, S.FourCc);
    PutLe32(b, S.BitCount);
    for (uint32_t m : S.Masks)
        PutLe32(b, m);
    PutLe32(b, S.Caps);
    PutLe32(b, S.Caps2);
    b.resize(128, 0);
    b.insert(b.end(), S.Data.begin(), S.Data.end());
    return b;
}

Bytes BuildBgra(uint32_t Channels, uint32_t Width, uint32_t Height, const Bytes &Pixels)
{
    Bytes b = {'B', 'G', 'R', 'A'};
    PutLe32(b, Channels);
    PutLe32(b, Width);
    PutLe32(b, Height);
    b.insert(b.end(), Pixels.begin(), Pixels.end());
    return b;
}

Bytes BuildTiff(const TiffSpec &S)
{
    const int rps = S.RowsPerStrip > 0 && S.RowsPerStrip < S.Height ? S.RowsPerStrip : S.Height;
    const int strips = (S.Height + rps - 1) / rps;
    const size_t rowBytes = (size_t)S.Width * S.Samples;
    Bytes b = {'I', 'I', 42, 0, 0, 0, 0, 0};
    b.insert(b.end(), S.Pixels.begin(), S.Pixels.end());
    const uint32_t bitsAt = (uint32_t)b.size();
    for (int i = 0; i < S.Samples; ++i)
        PutLe16(b, 8);
    const uint32_t offsetsAt = (uint32_t)b.size();
    for (int i = 0; i < strips; ++i)
        PutLe32(b, 8 + (uint32_t)(i * rps * rowBytes));
    const uint32_t countsAt = (uint32_t)b.size();
    for (int i = 0; i < strips; ++i)
        PutLe32(b, (uint32_t)((i + 1 < strips ? rps : S.Height - i * rps) * rowBytes));
    SetLe32(b, 4, (uint32_t)b.size());

    struct Entry { uint16_t Tag, Type; uint32_t Count, Value; };
    std::vector<Entry> e = {
        {256, 4, 1, (uint32_t)S.Width},
        {257, 4, 1, (uint32_t)S.Height},
        {258, 3, (uint32_t)S.Samples, bitsAt},
        {259, 3, 1, 1},
        {262, 3, 1, 2},
        {273, 4, (uint32_t)strips, strips == 1 ? 8u : offsetsAt},
        {277, 3, 1, (uint32_t)S.Samples},
    };
    if (S.RowsPerStrip >= 0)
        e.push_back({278, 4, 1, (uint32_t)S.RowsPerStrip});
    e.push_back({279, 4, (uint32_t)strips, strips == 1 ? (uint32_t)(S.Height * rowBytes) : countsAt});
    e.push_back({284, 3, 1, 1});
    if (S.Samples == 4)
        e.push_back({338, 3, 1, (uint32_t)S.ExtraSample});
    PutLe16(b, (uint32_t)e.size());
    for (const Entry &x : e) {
        PutLe16(b, x.Tag);
        PutLe16(b, x.Type);
        PutLe32(b, x.Count);
        PutLe32(b, x.Value);
    }
    PutLe32(b, 0);
    return b;
}

namespace {

void PngWrite(png_structp Png, png_bytep Data, size_t Length)
{
    Bytes *out = (Bytes *)png_get_io_ptr(Png);
    out->insert(out->end(), Data, Data + Length);
}

void PngFlush(png_structp) {}

}  // namespace

Bytes EncodePng(const PngSpec &S)
{
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return Bytes();
    }
    png_set_write_fn(png, &out, PngWrite, PngFlush);
    png_set_IHDR(png, info, S.Width, S.Height, S.Depth, S.ColorType,
                 S.Interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    for (uint32_t e : S.Palette)
        palette.push_back({(png_byte)(e >> 16), (png_byte)(e >> 8), (png_byte)e});
    if (!palette.empty())
        png_set_PLTE(png, info, palette.data(), (int)palette.size());
    png_color_16 key = {0, S.Key[0], S.Key[1], S.Key[2], S.Key[0]};
    if (!S.PaletteAlpha.empty())
        png_set_tRNS(png, info, S.PaletteAlpha.data(), (int)S.PaletteAlpha.size(), nullptr);
    else if (S.TransparentColor)
        png_set_tRNS(png, info, nullptr, 0, &key);
    png_write_info(png, info);
    const size_t rowBytes = S.Rows.size() / S.Height;
    std::vector<png_bytep> rows;
    for (int y = 0; y < S.Height; ++y)
        rows.push_back((png_bytep)S.Rows.data() + y * rowBytes);
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

Bytes EncodeJpeg(const JpegSpec &S)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = S.Width;
    cinfo.image_height = S.Height;
    cinfo.input_components = S.Components;
    cinfo.in_color_space = S.Components == 1 ? JCS_GRAYSCALE : S.Components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    if (S.Progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = (JSAMPROW)S.Pixels.data() + (size_t)cinfo.next_scanline * S.Width * S.Components;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    free(buffer);
    return out;
}
