// The shader container ("DXBC"): a header with a checksum and the total size, a table of
// chunk offsets, and the chunks (a four-character tag, a size, the data). The emitter writes
// containers with ISGN, OSGN and SHDR/SHEX chunks; the reader takes any container, bounded.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace dxbc {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t MakeTag(char A, char B, char C, char D)
{
    return uint32_t(uint8_t(A)) | uint32_t(uint8_t(B)) << 8 | uint32_t(uint8_t(C)) << 16 | uint32_t(uint8_t(D)) << 24;
}
constexpr uint32_t TagContainer = MakeTag('D', 'X', 'B', 'C');
constexpr uint32_t TagInputSignature = MakeTag('I', 'S', 'G', 'N');
constexpr uint32_t TagOutputSignature = MakeTag('O', 'S', 'G', 'N');
constexpr uint32_t TagShader4 = MakeTag('S', 'H', 'D', 'R');
constexpr uint32_t TagShader5 = MakeTag('S', 'H', 'E', 'X');

constexpr size_t ContainerHeaderSize = 32;        // tag, checksum (16), version, size, chunk count
constexpr size_t ChecksumFrom = 20;               // the checksum covers the bytes from here to the end
constexpr uint32_t MaxChunks = 64;                // far more than any shader container holds
constexpr size_t MaxContainerSize = 16u << 20;    // refuse anything larger

struct Chunk {
    uint32_t Tag = 0;
    Bytes Data;
};

// The container checksum of Container[0, Size): MD5's compression function over the bytes from
// offset 20, with the container's own final block (bit count first, then the remaining bytes
// and the 0x80 pad, and (bits >> 2) | 1 in the last word). Size must be at least 20.
void ComputeChecksum(const uint8_t *Container, size_t Size, uint32_t Out[4]);
// Whether the checksum recorded in the header (bytes 4-19) is the one ComputeChecksum gives.
bool ChecksumMatches(const uint8_t *Container, size_t Size);

// Lays the chunks out behind the header in the given order and fills in the size and checksum.
Bytes WriteContainer(const std::vector<Chunk> &Chunks);

// Splits a container into its chunks. Checks the tag, the recorded total size against Size,
// the chunk table and every chunk's bounds, and (when VerifyChecksum) the checksum. False with
// a reason in Error on the first fault.
bool ReadContainer(const uint8_t *Data, size_t Size, std::vector<Chunk> &Chunks, std::string *Error,
                   bool VerifyChecksum = true);

// The chunk with Tag, or null.
const Chunk *FindChunk(const std::vector<Chunk> &Chunks, uint32_t Tag);

std::string TagText(uint32_t Tag);

inline uint32_t ReadU32(const uint8_t *P)
{
    return uint32_t(P[0]) | uint32_t(P[1]) << 8 | uint32_t(P[2]) << 16 | uint32_t(P[3]) << 24;
}
inline void AppendU32(Bytes &Out, uint32_t Value)
{
    for (int i = 0; i < 4; ++i) Out.push_back(uint8_t(Value >> (8 * i)));
}

}  // namespace dxbc
