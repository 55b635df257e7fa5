// Packed text: how the library stores binary data that is built into the program (the shader
// packs) as text of 7-bit units, and how it gets the bytes back. The build writes the text as a
// string literal of a generated source file; the library decodes it in place, once.
//
// Layout (every unit is a byte 0x00-0x7F):
// - units 0-4: the decoded length in bytes, 7 bits per unit, least significant first (35 bits,
//   of which the top three are always 0);
// - then the data as one bit stream: the bytes' bits least significant first, cut into 7-bit
//   units, least significant first. n bytes take ceil(8n / 7) units; the unused high bits of the
//   last unit are 0.
//
// Decoding writes byte k only after reading unit 5 + 8k / 7 or later, so the output never
// overtakes the input: a text decodes in its own memory (Dest == Src).
#pragma once

#include <stddef.h>
#include <stdint.h>

#define PACKED_TEXT_HEADER_UNITS 5

// Units the text of DataSize bytes takes (header included).
size_t PackedTextSize(size_t DataSize);
// Writes the text of Data into Text (PackedTextSize(DataSize) units). The tool side of the pair.
void EncodePackedText(const void *Data, size_t DataSize, void *Text);

// Decodes a text of the library's own built-in data into Dest, which may be Src: the decoded
// size. The length is taken from the header; the units are not checked.
int64_t DecodePackedText(const void *Src, void *Dest);
// The same, checked before anything is written: -1 when SrcSize units do not hold a header and
// the data it announces, when a unit has its top bit set or the last unit unused bits, or when
// the data would not fit DestSize bytes. A null Dest only checks and gives the size.
int64_t DecodePackedTextChecked(const void *Src, size_t SrcSize, void *Dest, size_t DestSize);

// A text built into the program (a writable array), decoded in place by its first use.
struct PackedTextData
{
    unsigned char *Text;  // the units, then (once decoded) the bytes
    size_t TextSize;      // units, without the terminating zero of a string literal
    int64_t DecodedSize;  // the bytes at Text once decoded, -1 before
};

// Decodes Data in place the first time it is called (checked, as DecodePackedTextChecked) and
// gives the decoded size, then and on every later call; -1 when the text does not decode, which
// then stays as it was.
int64_t DecodePackedTextOnce(PackedTextData *Data);

// Expands the LZ-packed block (the archive layer's packing) that a built-in text holds, decoding
// the text first (once, as DecodePackedTextOnce), into a new DXALLOC block: 0 with the block and
// its size; -1 when the text does not decode or the block does not expand, -2 when the memory
// is not there (with the size it asked for). Nothing is kept on a failure. The text is decoded once per process; the
// block is expanded afresh by every call.
int ExpandPackedTextBlock(PackedTextData *Data, unsigned char **Memory, size_t *Size);
