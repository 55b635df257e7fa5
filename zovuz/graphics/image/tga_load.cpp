// Truevision TGA files: colour-mapped and true-colour, plain or run-length coded, of 16-, 24-
// or 32-bit colour, in any of the four row orders.
#include <string.h>

#include <vector>

#include "zovuz/graphics/image/image_load_internal.h"

namespace {

constexpr int kTgaMaxSide = 8192;
constexpr int kFooterBytes = 26;
constexpr int kHeaderBytes = 18;

// Decodes run-length packets of PixelBytes-sized values until Count values are written.
// False when the input ends first.
bool DecodeRlePackets(const uint8_t *In, size_t InBytes, int PixelBytes, uint8_t *Out, size_t Count)
{
    size_t i = 0, written = 0;
    while (written < Count) {
        if (i >= InBytes) return false;
        int header = In[i++];
        size_t run = (size_t)(header & 0x7F) + 1;
        if (run > Count - written) run = Count - written;  // a packet past the last pixel is cut there
        if (header & 0x80) {
            if (InBytes - i < (size_t)PixelBytes) return false;
            for (size_t k = 0; k < run; ++k) memcpy(Out + (written + k) * PixelBytes, In + i, PixelBytes);
            i += PixelBytes;
        } else {
            size_t bytes = run * PixelBytes;
            if (InBytes - i < bytes) return false;
            memcpy(Out + written * PixelBytes, In + i, bytes);
            i += bytes;
        }
        written += run;
    }
    return true;
}

}  // namespace

int LoadTgaToBaseImage(ImageStreamPair *Stream, BASEIMAGE *Image, int HeaderOnly)
{
    ImageReader r(Stream);
    if (r.Failed || r.Size < kHeaderBytes) return -1;

    // A footer can only follow a header and the footer's own bytes.
    bool footer = false;
    if (r.Size >= kHeaderBytes + kFooterBytes) {
        uint8_t tail[kFooterBytes];
        if (!r.Seek(r.Size - kFooterBytes) || !r.Read(tail, kFooterBytes)) return -1;
        footer = memcmp(tail + 8, "TRUEVISION-XFILE", 16) == 0 && ReadLe32(tail) == 0;
    }
    int64_t dataEnd = r.Size - (footer ? kFooterBytes : 0);

    uint8_t h[kHeaderBytes];
    if (!r.Seek(0) || !r.Read(h, kHeaderBytes) || !r.Skip(h[0])) return -1;
    const int type = h[2];
    const bool mapped = type == 1 || type == 9, rle = type == 9 || type == 10;
    if (type != 1 && type != 2 && type != 9 && type != 10) return -1;
    const int mapFirst = ReadLe16(h + 3), mapLength = ReadLe16(h + 5), mapEntryBits = h[7];
    const int pixelBits = mapped ? mapEntryBits : h[16];
    if (pixelBits != 16 && pixelBits != 24 && pixelBits != 32) return -1;
    if (mapped && (h[1] != 1 || h[16] != 8))  // indices are single bytes into a present map
        return -1;
    if (ReadLe32(h + 8) != 0) return -1;
    const int width = ReadLe16(h + 12), height = ReadLe16(h + 14);
    if (width < 1 || height < 1 || width > kTgaMaxSide || height > kTgaMaxSide) return -1;

    BASEIMAGE image = {};
    const int bytes = pixelBits / 8;
    if (bytes == 2)
        SetColorData(&image.ColorData, 16, 0x7C00, 0x3E0, 0x1F, 0, 0, 0, 0);
    else if (bytes == 3)
        CreateFullColorData(&image.ColorData);
    else
        CreateARGB8ColorData(&image.ColorData);
    image.Width = width;
    image.Height = height;
    image.Pitch = width * bytes;
    if (HeaderOnly) {
        *Image = image;
        return 0;
    }

    // The colour map: entries from mapFirst on; those past index 255 cannot be used by a byte.
    std::vector<uint8_t> map(256 * (size_t)bytes, 0);
    if (h[1] == 1 && mapLength > 0) {
        const int entryBytes = (mapEntryBits + 7) / 8;
        std::vector<uint8_t> stored((size_t)mapLength * entryBytes);
        if (!r.Read(stored.data(), stored.size())) return -1;
        if (mapped) {
            for (int i = 0; i < mapLength && mapFirst + i < 256; ++i)
                memcpy(&map[(size_t)(mapFirst + i) * bytes], &stored[(size_t)i * entryBytes], bytes);
        }
    }

    const size_t count = (size_t)width * height;
    const int storedBytes = mapped ? 1 : bytes;
    std::vector<uint8_t> values(count * storedBytes);
    if (rle) {
        int64_t available = dataEnd - r.Tell();
        if (available < 0) return -1;
        std::vector<uint8_t> in((size_t)available);
        if (!r.Read(in.data(), in.size()) || !DecodeRlePackets(in.data(), in.size(), storedBytes, values.data(), count))
            return -1;
    } else if (!r.Read(values.data(), values.size())) {
        return -1;
    }

    uint8_t *out = (uint8_t *)DXALLOC(count * bytes);
    if (out == nullptr) return -1;
    // Descriptor bit 4: rows run right to left; bit 5 clear: the last row comes first.
    const bool rightToLeft = (h[17] & 0x10) != 0, bottomUp = (h[17] & 0x20) == 0;
    for (int y = 0; y < height; ++y) {
        const int fileRow = bottomUp ? height - 1 - y : y;
        uint8_t *dest = out + (size_t)y * image.Pitch;
        const uint8_t *src = values.data() + (size_t)fileRow * width * storedBytes;
        if (!mapped && !rightToLeft) {
            memcpy(dest, src, (size_t)width * bytes);
            continue;
        }
        for (int x = 0; x < width; ++x) {
            const int fileX = rightToLeft ? width - 1 - x : x;
            const uint8_t *value = mapped ? &map[(size_t)src[fileX] * bytes] : src + (size_t)fileX * bytes;
            memcpy(dest + (size_t)x * bytes, value, bytes);
        }
    }
    image.Pixels = out;
    *Image = image;
    return 0;
}
