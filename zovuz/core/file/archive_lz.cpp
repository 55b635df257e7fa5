// The library's LZ expansion: packed archive entries, and the library's own built-in packed data.
//
// A packed block is a 9-byte header (expanded size, packed size including the header, escape
// byte K) and a byte stream where any byte but K is itself, K K is one byte K, and K c is a copy
// of earlier output: c above K is first lowered by one; length (c >> 3) + 4, or with bit 2 set
// ((c >> 3) | (e << 5)) + 4 with one more byte e; distance by c & 3 one, two or three bytes,
// plus one.
#include "zovuz/core/file/archive.h"

#include <string.h>
#include "zovuz/core/base_helpers.h"

namespace {

// Expands into Dest (DestSize bytes of room) from Src (SrcSize bytes including the header).
// The expanded size, or -1 when the block is inconsistent: sizes that disagree with the room,
// a code or a copy running past the packed bytes, a distance before the start of the output,
// a copy past the expanded size, or distance type 3, which the packer never writes.
int64_t Expand(const unsigned char *Src, uint64_t SrcSize, unsigned char *Dest, uint64_t DestSize)
{
    if (SrcSize < ARCHIVE_PACK_HEADER_BYTES) return -1;
    const uint64_t expanded = ReadLe32(Src);
    const uint64_t packed = ReadLe32(Src + 4);
    const unsigned char escape = Src[8];
    if (packed < ARCHIVE_PACK_HEADER_BYTES || packed > SrcSize || expanded > DestSize) return -1;

    const unsigned char *in = Src + ARCHIVE_PACK_HEADER_BYTES;
    const unsigned char *end = Src + packed;
    uint64_t out = 0;
    while (in < end) {
        unsigned char b = *in++;
        if (b != escape) {
            if (out >= expanded) return -1;
            Dest[out++] = b;
            continue;
        }
        if (in >= end) return -1;
        unsigned int c = *in++;
        if (c == escape) {
            if (out >= expanded) return -1;
            Dest[out++] = escape;
            continue;
        }
        if (c > escape) c--;
        uint64_t length = (c >> 3) + 4;
        if (c & 4) {
            if (in >= end) return -1;
            length = (((c >> 3) | ((uint32_t)*in++ << 5))) + 4;
        }
        uint64_t distance;
        switch (c & 3) {
            case 0:
                if (end - in < 1) return -1;
                distance = in[0];
                in += 1;
                break;
            case 1:
                if (end - in < 2) return -1;
                distance = in[0] | (in[1] << 8);
                in += 2;
                break;
            case 2:
                if (end - in < 3) return -1;
                distance = in[0] | (in[1] << 8) | ((uint32_t)in[2] << 16);
                in += 3;
                break;
            default:
                return -1;
        }
        distance += 1;
        if (distance > out || length > expanded - out) return -1;
        // The source may overlap what is being written: a short distance repeats its pattern,
        // so such a copy goes byte by byte.
        unsigned char *to = Dest + out;
        const unsigned char *from = to - distance;
        if (distance >= length) {
            memcpy(to, from, (size_t)length);
        } else {
            for (uint64_t i = 0; i < length; i++) to[i] = from[i];
        }
        out += length;
    }
    if (out != expanded) return -1;
    return (int64_t)expanded;
}

}  // namespace

int64_t ArchiveDecompressChecked(const void *Src, uint64_t SrcSize, void *Dest, uint64_t DestSize)
{
    if (Src == nullptr || SrcSize < ARCHIVE_PACK_HEADER_BYTES) return -1;
    if (Dest == nullptr) return ReadLe32((const unsigned char *)Src);
    return Expand((const unsigned char *)Src, SrcSize, (unsigned char *)Dest, DestSize);
}

int64_t ArchiveDecompress(const void *Src, void *Dest)
{
    // The library's built-in data carries its own sizes; its header is trusted for the bounds,
    // and the stream is still checked against them.
    const unsigned char *src = (const unsigned char *)Src;
    if (src == nullptr) return -1;
    uint32_t expanded = ReadLe32(src);
    if (Dest == nullptr) return expanded;
    return Expand(src, ReadLe32(src + 4), (unsigned char *)Dest, expanded);
}
