#include "dxbc_container.h"

#include <string.h>

namespace dxbc {

namespace {

void PutU32(uint8_t *P, uint32_t Value)
{
    for (int i = 0; i < 4; ++i) P[i] = uint8_t(Value >> (8 * i));
}

uint32_t RotateLeft(uint32_t X, int N)
{
    return (X << N) | (X >> (32 - N));
}

// One application of MD5's compression function (the public algorithm) to a 64-byte block.
void CompressBlock(uint32_t State[4], const uint8_t *Block)
{
    static const uint32_t Sine[64] = {
        0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
        0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
        0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
        0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
        0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
        0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
        0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
        0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};
    static const int Shift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};
    uint32_t M[16];
    for (int i = 0; i < 16; ++i) M[i] = ReadU32(Block + 4 * i);
    uint32_t A = State[0], B = State[1], C = State[2], D = State[3];
    for (int i = 0; i < 64; ++i) {
        uint32_t F;
        int G;
        switch (i / 16) {
        case 0: F = (B & C) | (~B & D); G = i; break;
        case 1: F = (D & B) | (~D & C); G = (5 * i + 1) % 16; break;
        case 2: F = B ^ C ^ D; G = (3 * i + 5) % 16; break;
        default: F = C ^ (B | ~D); G = (7 * i) % 16; break;
        }
        uint32_t Next = B + RotateLeft(A + F + Sine[i] + M[G], Shift[i / 16][i % 4]);
        A = D;
        D = C;
        C = B;
        B = Next;
    }
    State[0] += A;
    State[1] += B;
    State[2] += C;
    State[3] += D;
}

}  // namespace

void ComputeChecksum(const uint8_t *Container, size_t Size, uint32_t Out[4])
{
    const uint8_t *Data = Container + ChecksumFrom;
    const size_t Length = Size - ChecksumFrom;
    uint32_t State[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    const size_t Whole = Length & ~size_t(63);
    for (size_t at = 0; at < Whole; at += 64) CompressBlock(State, Data + at);

    // The last block differs from MD5's: the bit count comes first (or alone in an extra
    // block when the rest does not leave room), and the final word is (bits >> 2) | 1.
    const size_t Left = Length - Whole;
    const uint32_t Bits = uint32_t(Length * 8);
    uint8_t Block[64] = {};
    if (Left >= 56) {
        memcpy(Block, Data + Whole, Left);
        Block[Left] = 0x80;
        CompressBlock(State, Block);
        memset(Block, 0, sizeof Block);
        PutU32(Block, Bits);
    } else {
        PutU32(Block, Bits);
        memcpy(Block + 4, Data + Whole, Left);
        Block[4 + Left] = 0x80;
    }
    PutU32(Block + 60, (Bits >> 2) | 1);
    CompressBlock(State, Block);
    for (int i = 0; i < 4; ++i) Out[i] = State[i];
}

bool ChecksumMatches(const uint8_t *Container, size_t Size)
{
    uint32_t Sum[4];
    ComputeChecksum(Container, Size, Sum);
    for (int i = 0; i < 4; ++i)
        if (ReadU32(Container + 4 + 4 * i) != Sum[i]) return false;
    return true;
}

Bytes WriteContainer(const std::vector<Chunk> &Chunks)
{
    Bytes Out;
    AppendU32(Out, TagContainer);
    Out.resize(20, 0);  // checksum, filled in last
    AppendU32(Out, 1);  // container version
    AppendU32(Out, 0);  // total size, filled in below
    AppendU32(Out, uint32_t(Chunks.size()));
    size_t Offset = ContainerHeaderSize + 4 * Chunks.size();
    for (const Chunk &C : Chunks) {
        AppendU32(Out, uint32_t(Offset));
        Offset += 8 + ((C.Data.size() + 3) & ~size_t(3));
    }
    for (const Chunk &C : Chunks) {
        AppendU32(Out, C.Tag);
        AppendU32(Out, uint32_t((C.Data.size() + 3) & ~size_t(3)));
        Out.insert(Out.end(), C.Data.begin(), C.Data.end());
        Out.resize((Out.size() + 3) & ~size_t(3), 0);
    }
    PutU32(&Out[24], uint32_t(Out.size()));
    uint32_t Sum[4];
    ComputeChecksum(Out.data(), Out.size(), Sum);
    for (int i = 0; i < 4; ++i) PutU32(&Out[4 + 4 * i], Sum[i]);
    return Out;
}

bool ReadContainer(const uint8_t *Data, size_t Size, std::vector<Chunk> &Chunks, std::string *Error,
                   bool VerifyChecksum)
{
    Chunks.clear();
    auto Fail = [&](const std::string &Why) {
        if (Error) *Error = Why;
        Chunks.clear();
        return false;
    };
    if (Size < ContainerHeaderSize) return Fail("container shorter than its header");
    if (Size > MaxContainerSize) return Fail("container larger than " + std::to_string(MaxContainerSize) + " bytes");
    if (ReadU32(Data) != TagContainer) return Fail("no DXBC tag");
    if (ReadU32(Data + 24) != Size)
        return Fail("recorded size " + std::to_string(ReadU32(Data + 24)) + " differs from the data size " +
                    std::to_string(Size));
    if (VerifyChecksum && !ChecksumMatches(Data, Size)) return Fail("checksum mismatch");
    const uint32_t Count = ReadU32(Data + 28);
    if (Count > MaxChunks) return Fail("chunk count " + std::to_string(Count) + " above " + std::to_string(MaxChunks));
    if (ContainerHeaderSize + 4 * size_t(Count) > Size) return Fail("chunk table runs past the end");
    for (uint32_t i = 0; i < Count; ++i) {
        const size_t Offset = ReadU32(Data + ContainerHeaderSize + 4 * i);
        if (Offset < ContainerHeaderSize + 4 * size_t(Count) || Offset > Size || Size - Offset < 8)
            return Fail("chunk " + std::to_string(i) + " header lies outside the container");
        const size_t Length = ReadU32(Data + Offset + 4);
        if (Length > Size - Offset - 8) return Fail("chunk " + TagText(ReadU32(Data + Offset)) + " runs past the end");
        Chunk C;
        C.Tag = ReadU32(Data + Offset);
        C.Data.assign(Data + Offset + 8, Data + Offset + 8 + Length);
        Chunks.push_back(std::move(C));
    }
    return true;
}

const Chunk *FindChunk(const std::vector<Chunk> &Chunks, uint32_t Tag)
{
    for (const Chunk &C : Chunks)
        if (C.Tag == Tag) return &C;
    return nullptr;
}

std::string TagText(uint32_t Tag)
{
    std::string Text;
    for (int i = 0; i < 4; ++i) {
        char Ch = char(Tag >> (8 * i));
        Text += (Ch >= 32 && Ch < 127) ? Ch : '?';
    }
    return Text;
}

}  // namespace dxbc
