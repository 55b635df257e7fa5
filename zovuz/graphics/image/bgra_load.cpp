// Raw "BGRA" images: a 16-byte head (tag, channel sizes, width, height) and the pixels as blue,
// green, red, alpha of 8 or 16 bits each.
#include <string.h>

#include <vector>

#include "zovuz/graphics/image/image_load_internal.h"

int LoadBgraToBaseImage(ImageStreamPair *Stream, BASEIMAGE *Image, int HeaderOnly)
{
    ImageReader r(Stream);
    uint8_t head[16];
    if (r.Failed || !r.Read(head, 16) || memcmp(head, "BGRA", 4) != 0) return -1;
    const uint32_t channels = ReadLe32(head + 4), width = ReadLe32(head + 8), height = ReadLe32(head + 12);
    if (channels != 0x08080808 && channels != 0x10101010) return -1;
    const bool wide = channels == 0x10101010;
    BASEIMAGE image;
    size_t bytes;
    if (!StartArgbImage(width, height, &image, &bytes)) return -1;
    // The stored pixels must all be there before anything is allocated.
    if (!HeaderOnly && r.Remaining() < (int64_t)bytes * (wide ? 2 : 1)) return -1;
    if (!HeaderOnly) {
        uint8_t *out = (uint8_t *)DXALLOC(bytes);
        if (out == nullptr) return -1;
        bool ok = true;
        if (!wide) {
            ok = r.Read(out, bytes);
        } else {
            // Each 16-bit channel keeps its high byte.
            std::vector<uint8_t> row((size_t)width * 8);
            for (uint32_t y = 0; y < height && ok; ++y) {
                ok = r.Read(row.data(), row.size());
                uint8_t *dest = out + (size_t)y * image.Pitch;
                for (size_t i = 0; i < (size_t)width * 4; ++i) dest[i] = row[i * 2 + 1];
            }
        }
        if (!ok) {
            DXFREE(out);
            return -1;
        }
        image.Pixels = out;
    }
    *Image = image;
    return 0;
}
