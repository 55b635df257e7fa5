// Packed text: 7-bit units carrying a byte stream (the layout is in packed_text.h).
#include "zovuz/core/file/packed_text.h"

#include "zovuz/core/file/archive.h"
#include "zovuz/core/memory/memory.h"

namespace {

const int UnitBits = 7;
const unsigned UnitMask = 0x7F;

size_t DataUnits(uint64_t DataSize) { return (size_t)((DataSize * 8 + UnitBits - 1) / UnitBits); }

uint64_t ReadLength(const unsigned char *Text)
{
    uint64_t length = 0;
    for (int i = 0; i < PACKED_TEXT_HEADER_UNITS; i++) length |= (uint64_t)(Text[i] & UnitMask) << (UnitBits * i);
    return length;
}

// Decodes Length bytes from the data units at Units into Dest, front to back (Dest may lie on
// the text itself: see the header).
void DecodeUnits(const unsigned char *Units, uint64_t Length, unsigned char *Dest)
{
    uint32_t bits = 0;
    int count = 0;
    uint64_t out = 0;
    while (out < Length) {
        bits |= (uint32_t)(*Units++ & UnitMask) << count;
        count += UnitBits;
        if (count >= 8) {
            Dest[out++] = (unsigned char)bits;
            bits >>= 8;
            count -= 8;
        }
    }
}

}  // namespace

size_t PackedTextSize(size_t DataSize) { return PACKED_TEXT_HEADER_UNITS + DataUnits(DataSize); }

void EncodePackedText(const void *Data, size_t DataSize, void *Text)
{
    const unsigned char *in = (const unsigned char *)Data;
    unsigned char *out = (unsigned char *)Text;
    for (int i = 0; i < PACKED_TEXT_HEADER_UNITS; i++)
        *out++ = (unsigned char)(((uint64_t)DataSize >> (UnitBits * i)) & UnitMask);
    uint32_t bits = 0;
    int count = 0;
    for (size_t i = 0; i < DataSize; i++) {
        bits |= (uint32_t)in[i] << count;
        count += 8;
        while (count >= UnitBits) {
            *out++ = (unsigned char)(bits & UnitMask);
            bits >>= UnitBits;
            count -= UnitBits;
        }
    }
    if (count > 0) *out++ = (unsigned char)(bits & UnitMask);
}

int64_t DecodePackedText(const void *Src, void *Dest)
{
    const unsigned char *text = (const unsigned char *)Src;
    if (text == nullptr) return -1;
    const uint64_t length = ReadLength(text);
    if (Dest != nullptr) DecodeUnits(text + PACKED_TEXT_HEADER_UNITS, length, (unsigned char *)Dest);
    return (int64_t)length;
}

int64_t DecodePackedTextChecked(const void *Src, size_t SrcSize, void *Dest, size_t DestSize)
{
    const unsigned char *text = (const unsigned char *)Src;
    if (text == nullptr || SrcSize < PACKED_TEXT_HEADER_UNITS) return -1;
    for (size_t i = 0; i < PACKED_TEXT_HEADER_UNITS; i++)
        if (text[i] > UnitMask) return -1;
    const uint64_t length = ReadLength(text);
    if (length > UINT32_MAX) return -1;
    const size_t units = DataUnits(length);
    if (units > SrcSize - PACKED_TEXT_HEADER_UNITS) return -1;
    const unsigned char *data = text + PACKED_TEXT_HEADER_UNITS;
    for (size_t i = 0; i < units; i++)
        if (data[i] > UnitMask) return -1;
    // The bits of the last unit beyond the data must be 0: a text cut short by whole bytes
    // then rarely passes for a shorter one.
    const int spare = (int)(units * UnitBits - length * 8);
    if (units > 0 && (data[units - 1] >> (UnitBits - spare)) != 0) return -1;
    if (Dest == nullptr) return (int64_t)length;
    if (length > DestSize) return -1;
    DecodeUnits(data, length, (unsigned char *)Dest);
    return (int64_t)length;
}

int64_t DecodePackedTextOnce(PackedTextData *Data)
{
    if (Data == nullptr) return -1;
    if (Data->DecodedSize >= 0) return Data->DecodedSize;
    const int64_t size = DecodePackedTextChecked(Data->Text, Data->TextSize, Data->Text, Data->TextSize);
    if (size >= 0) Data->DecodedSize = size;
    return size;
}

int ExpandPackedTextBlock(PackedTextData *Data, unsigned char **Memory, size_t *Size)
{
    *Memory = nullptr;
    *Size = 0;
    const int64_t packed = DecodePackedTextOnce(Data);
    const int64_t expanded = packed < 0 ? -1 : ArchiveDecompressChecked(Data->Text, (uint64_t)packed, nullptr, 0);
    if (expanded < 0) return -1;
    *Size = (size_t)expanded;
    unsigned char *block = (unsigned char *)DXALLOC(expanded > 0 ? (size_t)expanded : 1);
    if (block == nullptr) return -2;
    if (ArchiveDecompressChecked(Data->Text, (uint64_t)packed, block, (uint64_t)expanded) != expanded) {
        DXFREE(block);
        *Size = 0;
        return -1;
    }
    *Memory = block;
    return 0;
}
