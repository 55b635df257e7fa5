// The library's LZ packing: greedy matching over a hash chain, the least frequent byte as the
// escape. The reader's expander (zovuz/core/file/archive_lz.cpp) is the other half.
#include "tools/archive_writer/archive_writer.h"

#include <string.h>
#include "zovuz/core/base_helpers.h"

namespace {

const size_t MinMatch = 4;
const size_t MaxMatch = 8195;            // 13 length bits + 4
const size_t MaxDistance = 0x1000000;    // 24 distance bits + 1
const int ChainSteps = 48;
const int HashBits = 16;

uint32_t Hash4(const unsigned char *p)
{
    uint32_t v = ReadLe32(p);
    return (v * 2654435761u) >> (32 - HashBits);
}


}  // namespace

std::vector<unsigned char> ArchivePack(const unsigned char *Data, size_t Size)
{
    size_t counts[256] = {};
    for (size_t i = 0; i < Size; i++) counts[Data[i]]++;
    unsigned char escape = 0;
    for (int b = 1; b < 256; b++)
        if (counts[b] < counts[escape]) escape = (unsigned char)b;

    std::vector<unsigned char> out(9);
    out.reserve(Size / 2 + 16);
    std::vector<int32_t> head((size_t)1 << HashBits, -1);
    std::vector<int32_t> prev(Size > 0 ? Size : 1, -1);
    auto insert = [&](size_t at) {
        if (at + MinMatch > Size) return;
        uint32_t h = Hash4(Data + at);
        prev[at] = head[h];
        head[h] = (int32_t)at;
    };

    size_t i = 0;
    while (i < Size) {
        size_t bestLength = 0, bestDistance = 0;
        if (i + MinMatch <= Size) {
            size_t limit = Size - i < MaxMatch ? Size - i : MaxMatch;
            int32_t candidate = head[Hash4(Data + i)];
            for (int step = 0; step < ChainSteps && candidate >= 0; step++) {
                size_t distance = i - (size_t)candidate;
                if (distance > MaxDistance) break;
                size_t length = 0;
                while (length < limit && Data[candidate + length] == Data[i + length]) length++;
                if (length > bestLength) {
                    bestLength = length;
                    bestDistance = distance;
                    if (length == limit) break;
                }
                candidate = prev[(size_t)candidate];
            }
        }
        if (bestLength < MinMatch) {
            out.push_back(Data[i]);
            if (Data[i] == escape) out.push_back(escape);
            insert(i);
            i++;
            continue;
        }
        const uint32_t length = (uint32_t)(bestLength - MinMatch);
        const uint32_t distance = (uint32_t)(bestDistance - 1);
        const uint32_t type = distance < 0x100 ? 0 : distance < 0x10000 ? 1 : 2;
        uint32_t code = length < 32 ? (length << 3) | type : ((length & 31) << 3) | 4 | type;
        if (code >= escape) code++;  // the expander lowers codes above the escape by one
        out.push_back(escape);
        out.push_back((unsigned char)code);
        if (length >= 32) out.push_back((unsigned char)(length >> 5));
        out.push_back((unsigned char)distance);
        if (type >= 1) out.push_back((unsigned char)(distance >> 8));
        if (type == 2) out.push_back((unsigned char)(distance >> 16));
        for (size_t k = 0; k < bestLength; k++) insert(i + k);
        i += bestLength;
    }
    WriteLe32(out.data(), (uint32_t)Size);
    WriteLe32(out.data() + 4, (uint32_t)out.size());
    out[8] = escape;
    return out;
}
