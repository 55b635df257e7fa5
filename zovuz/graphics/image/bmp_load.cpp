// Windows bitmap files: 1-, 4- and 8-bit palettes, 16-, 24- and 32-bit colour, bit fields,
// RLE8 and RLE4; every other variant is drawn by GDI into a 24-bit image.
#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "zovuz/graphics/image/image_load_internal.h"

namespace {

enum class BmpKind { Index1, Index4, Index8, Rgb16, Rgb24, Rgb32, Fields, Rle8, Rle4, Gdi };

constexpr uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitFields = 3, kBiAlphaBitFields = 6;
constexpr uint32_t kHeaderMax = 124;  // the largest header layout (version 5)

struct BmpHeader
{
    uint8_t Raw[kHeaderMax];  // the information header as stored (at most kHeaderMax bytes)
    uint32_t Size;            // the header's own size field
    int Width, Height;        // Height is the absolute value
    bool BottomUp;            // rows stored last row first
    int Bits;
    uint32_t Compression;
    uint32_t Masks[4];   // red, green, blue, alpha of a bit-field image
    int PaletteEntries;  // entries stored in the file (bits <= 8)
    COLORPALETTE Palette[256];
    BmpKind Kind;
};

BmpKind KindOf(uint32_t Compression, int Bits)
{
    if (Compression == kBiRgb) {
        switch (Bits) {
            case 1:
                return BmpKind::Index1;
            case 4:
                return BmpKind::Index4;
            case 8:
                return BmpKind::Index8;
            case 16:
                return BmpKind::Rgb16;
            case 24:
                return BmpKind::Rgb24;
            case 32:
                return BmpKind::Rgb32;
        }
    }
    if ((Compression == kBiBitFields || Compression == kBiAlphaBitFields) && (Bits == 16 || Bits == 32))
        return BmpKind::Fields;
    if (Compression == kBiRle8 && Bits == 8) return BmpKind::Rle8;
    if (Compression == kBiRle4 && Bits == 4) return BmpKind::Rle4;
    return BmpKind::Gdi;
}

// Masks that overlap or reach past the pixel would describe no pixel format.
bool MasksFit(const uint32_t *Masks, int Bits)
{
    uint32_t seen = 0;
    for (int i = 0; i < 4; ++i) {
        if ((seen & Masks[i]) != 0 || (Bits < 32 && (Masks[i] >> Bits) != 0)) return false;
        seen |= Masks[i];
    }
    return true;
}

bool ReadHeader(ImageReader &R, BmpHeader &H, uint32_t &DataOffset)
{
    uint8_t file[14];
    if (!R.Read(file, 14) || file[0] != 'B' || file[1] != 'M') return false;
    DataOffset = ReadLe32(file + 10);
    memset(H.Raw, 0, sizeof(H.Raw));
    if (!R.Read(H.Raw, 4)) return false;
    H.Size = ReadLe32(H.Raw);
    if (H.Size < 40 || H.Size > R.Remaining() + 4) return false;
    uint32_t stored = H.Size < kHeaderMax ? H.Size : kHeaderMax;
    if (!R.Read(H.Raw + 4, stored - 4) || !R.Skip((int64_t)H.Size - stored)) return false;

    int32_t width = (int32_t)ReadLe32(H.Raw + 4), height = (int32_t)ReadLe32(H.Raw + 8);
    if (width <= 0 || width > kImageMaxSide || height == 0 || height == INT_MIN || abs(height) > kImageMaxSide)
        return false;
    H.Width = width;
    H.Height = abs(height);
    H.BottomUp = height > 0;
    H.Bits = ReadLe16(H.Raw + 14);
    H.Compression = ReadLe32(H.Raw + 16);
    H.Kind = KindOf(H.Compression, H.Bits);

    // Masks live inside the larger headers; a 40-byte header is followed by them.
    memset(H.Masks, 0, sizeof(H.Masks));
    int maskCount = H.Compression == kBiAlphaBitFields ? 4 : H.Compression == kBiBitFields ? 3 : 0;
    if (H.Size >= 52) {
        for (int i = 0; i < (H.Size >= 56 ? 4 : 3); ++i) H.Masks[i] = ReadLe32(H.Raw + 40 + 4 * i);
    } else if (maskCount > 0) {
        uint8_t masks[16];
        if (!R.Read(masks, 4 * maskCount)) return false;
        for (int i = 0; i < maskCount; ++i) H.Masks[i] = ReadLe32(masks + 4 * i);
    }
    if (H.Compression == kBiBitFields && H.Size < 56) H.Masks[3] = 0;
    if (H.Kind == BmpKind::Fields && !MasksFit(H.Masks, H.Bits)) return false;

    // The palette holds as many entries as the header counts (0 = all 2^bits).
    memset(H.Palette, 0, sizeof(H.Palette));
    H.PaletteEntries = 0;
    if (H.Bits >= 1 && H.Bits <= 8) {
        uint32_t full = 1u << H.Bits, used = ReadLe32(H.Raw + 32);
        H.PaletteEntries = (int)(used == 0 || used > full ? full : used);
        uint8_t entries[256 * 4];
        if (!R.Read(entries, (size_t)H.PaletteEntries * 4)) return false;
        for (int i = 0; i < H.PaletteEntries; ++i) {
            H.Palette[i].Blue = entries[i * 4];
            H.Palette[i].Green = entries[i * 4 + 1];
            H.Palette[i].Red = entries[i * 4 + 2];
            H.Palette[i].Alpha = 0;
        }
    }
    return true;
}

void SetPaletteFormat(COLORDATA &Cd, const BmpHeader &H, uint32_t Top)
{
    CreatePalette8ColorData(&Cd);
    memcpy(Cd.Palette, H.Palette, sizeof(H.Palette));
    Cd.PaletteTop = Top;
}

void SetFormat(BASEIMAGE &Image, const BmpHeader &H)
{
    COLORDATA &cd = Image.ColorData;
    switch (H.Kind) {
        case BmpKind::Index1:
        case BmpKind::Index4:
            SetPaletteFormat(cd, H, 15);
            break;
        case BmpKind::Index8:
        case BmpKind::Rle8:
        case BmpKind::Rle4:
            SetPaletteFormat(cd, H, 255);
            break;
        case BmpKind::Rgb16:
            SetColorData(&cd, 16, 0x7C00, 0x3E0, 0x1F, 0, 0, 0, 0);
            break;
        case BmpKind::Rgb24:
        case BmpKind::Gdi:
            CreateFullColorData(&cd);
            break;
        case BmpKind::Rgb32:
            CreateARGB8ColorData(&cd);
            break;
        case BmpKind::Fields:
            SetColorData(&cd, H.Bits, H.Masks[0], H.Masks[1], H.Masks[2], H.Masks[3], 0, 0, 0);
            break;
    }
    Image.Width = H.Width;
    Image.Height = H.Height;
}

// Row y of the output comes from this row of the file.
inline int FileRow(const BmpHeader &H, int Y) { return H.BottomUp ? H.Height - 1 - Y : Y; }

// Uncompressed rows: the file's rows top-down (palette bits spread to one index per byte).
bool DecodeRows(ImageReader &R, const BmpHeader &H, BASEIMAGE &Image)
{
    int64_t rowBits = (int64_t)H.Bits * H.Width;
    int64_t filePitch = (rowBits + 31) / 32 * 4;
    size_t fileBytes;
    if (!ImageByteCount(filePitch, H.Height, 1, &fileBytes)) return false;
    // The last row's padding may be missing; anything shorter is a cut file.
    int64_t needed = (int64_t)fileBytes - filePitch + (rowBits + 7) / 8;
    if (R.Remaining() < needed) return false;
    size_t stored = R.Remaining() < (int64_t)fileBytes ? (size_t)R.Remaining() : fileBytes;

    bool spread = H.Kind == BmpKind::Index1 || H.Kind == BmpKind::Index4;
    int outPitch = spread ? (H.Width + 3) & ~3 : (int)filePitch;
    size_t outBytes;
    if (!ImageByteCount(outPitch, H.Height, 1, &outBytes)) return false;
    uint8_t *out = (uint8_t *)DXCALLOC(outBytes);
    if (out == nullptr) return false;

    if (!spread) {
        if (!R.Read(out, stored)) {
            DXFREE(out);
            return false;
        }
        if (H.BottomUp) {
            std::vector<uint8_t> swap((size_t)outPitch);
            for (int y = 0; y < H.Height / 2; ++y) {
                uint8_t *a = out + (size_t)y * outPitch, *b = out + (size_t)(H.Height - 1 - y) * outPitch;
                memcpy(swap.data(), a, outPitch);
                memcpy(a, b, outPitch);
                memcpy(b, swap.data(), outPitch);
            }
        }
    } else {
        std::vector<uint8_t> file(fileBytes, 0);
        if (!R.Read(file.data(), stored)) {
            DXFREE(out);
            return false;
        }
        for (int y = 0; y < H.Height; ++y) {
            const uint8_t *src = file.data() + (size_t)FileRow(H, y) * filePitch;
            uint8_t *dest = out + (size_t)y * outPitch;
            for (int x = 0; x < H.Width; ++x) {
                dest[x] = H.Bits == 1 ? (src[x >> 3] >> (7 - (x & 7))) & 1 : (src[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
            }
        }
    }
    Image.Pitch = outPitch;
    Image.Pixels = out;

    // Most 32-bit files leave the fourth byte 0: such an image is opaque, not invisible.
    if (H.Kind == BmpKind::Rgb32) {
        bool anyAlpha = false;
        for (int y = 0; y < H.Height && !anyAlpha; ++y) {
            const uint8_t *p = out + (size_t)y * outPitch;
            for (int x = 0; x < H.Width; ++x) anyAlpha |= p[x * 4 + 3] != 0;
        }
        if (!anyAlpha) CreateXRGB8ColorData(&Image.ColorData);
    }
    return true;
}

// RLE8 / RLE4 into one index per byte. Positions outside the image are dropped; the data must
// reach the end-of-image code or the last row.
bool DecodeRle(ImageReader &R, const BmpHeader &H, BASEIMAGE &Image)
{
    int outPitch = (H.Width + 3) & ~3;
    size_t outBytes;
    if (!ImageByteCount(outPitch, H.Height, 1, &outBytes) || R.Remaining() > kImageMaxBytes) return false;
    std::vector<uint8_t> in((size_t)R.Remaining());
    if (!R.Read(in.data(), in.size())) return false;
    uint8_t *out = (uint8_t *)DXCALLOC(outBytes);
    if (out == nullptr) return false;

    const bool rle4 = H.Kind == BmpKind::Rle4;
    const size_t n = in.size();
    int x = 0, row = 0;  // row counts in file order
    auto put = [&](int Value) {
        if (x < H.Width) out[(size_t)FileRow(H, row) * outPitch + x++] = (uint8_t)Value;
    };
    bool complete = false;
    size_t i = 0;
    while (!complete && i + 1 < n) {
        int a = in[i], b = in[i + 1];
        i += 2;
        if (a > 0) {
            for (int k = 0; k < a && x < H.Width; ++k) put(rle4 ? ((k & 1) ? b & 15 : b >> 4) : b);
        } else if (b == 0) {
            x = 0;
            complete = ++row >= H.Height;
        } else if (b == 1) {
            complete = true;
        } else if (b == 2) {
            // The delta counts from the current position, both steps unsigned.
            if (i + 1 >= n) break;
            x += in[i];
            row += in[i + 1];
            i += 2;
            if (x > H.Width) x = H.Width;
            complete = row >= H.Height;
        } else {
            size_t bytes = rle4 ? (size_t)(b + 1) / 2 : (size_t)b;
            if (i + bytes > n) break;
            for (int k = 0; k < b && x < H.Width; ++k)
                put(rle4 ? ((k & 1) ? in[i + k / 2] & 15 : in[i + k / 2] >> 4) : in[i + k]);
            i += (bytes + 1) & ~(size_t)1;
        }
    }
    if (!complete) {
        DXFREE(out);
        return false;
    }
    Image.Pitch = outPitch;
    Image.Pixels = out;
    return true;
}

// Any other variant: GDI draws it from the file's own header, colour table and bits.
bool DecodeWithGdi(ImageReader &R, const BmpHeader &H, BASEIMAGE &Image)
{
    if (H.Compression > kBiAlphaBitFields || R.Remaining() > kImageMaxBytes) return false;
    uint32_t headerBytes = H.Size < kHeaderMax ? H.Size : kHeaderMax;
    int maskBytes = H.Size == 40 ? (H.Compression == kBiBitFields        ? 12
                                    : H.Compression == kBiAlphaBitFields ? 16
                                                                         : 0)
                                 : 0;
    std::vector<uint8_t> info(headerBytes + maskBytes + (size_t)H.PaletteEntries * 4);
    memcpy(info.data(), H.Raw, headerBytes);
    info[0] = (uint8_t)headerBytes;
    info[1] = info[2] = info[3] = 0;
    for (int i = 0; i < maskBytes / 4; ++i) memcpy(&info[headerBytes + 4 * i], &H.Masks[i], 4);
    uint8_t *palette = info.data() + headerBytes + maskBytes;
    for (int i = 0; i < H.PaletteEntries; ++i) memcpy(palette + 4 * i, &H.Palette[i], 4);
    if (H.Bits <= 8) {
        uint32_t used = (uint32_t)H.PaletteEntries;
        memcpy(&info[32], &used, 4);
    }

    // Uncompressed rows are padded to the full size GDI will read; others carry their size.
    int64_t filePitch = ((int64_t)H.Bits * H.Width + 31) / 32 * 4;
    int64_t rows = filePitch * H.Height;
    size_t bytes = (size_t)R.Remaining();
    if (H.Compression == kBiRgb || H.Compression == kBiBitFields) {
        if (rows > kImageMaxBytes) return false;
        if ((int64_t)bytes < rows) bytes = (size_t)rows;
    }
    std::vector<uint8_t> bits(bytes + 4, 0);
    uint32_t stored = (uint32_t)R.Remaining();
    if (!R.Read(bits.data(), stored)) return false;
    memcpy(&info[20], &stored, 4);
    return DrawDibToFullColorImage(info.data(), bits.data(), H.Width, H.Height, &Image) == 0;
}

}  // namespace

int LoadBmpToBaseImage(ImageStreamPair *Stream, BASEIMAGE *Image, int HeaderOnly)
{
    ImageReader r(Stream);
    BmpHeader h;
    uint32_t dataOffset = 0;
    if (r.Failed || !ReadHeader(r, h, dataOffset)) return -1;
    BASEIMAGE image = {};
    SetFormat(image, h);
    if (!HeaderOnly) {
        if (!r.Seek(dataOffset)) return -1;
        bool done;
        switch (h.Kind) {
            case BmpKind::Rle8:
            case BmpKind::Rle4:
                done = DecodeRle(r, h, image);
                break;
            case BmpKind::Gdi:
                done = DecodeWithGdi(r, h, image);
                break;
            default:
                done = DecodeRows(r, h, image);
                break;
        }
        if (!done) return -1;
    }
    *Image = image;
    return 0;
}

#ifndef _WIN32
int DrawDibToFullColorImage(const void *, const void *, int, int, BASEIMAGE *)
{
    return -1;  // no GDI here
}
#endif
