// Base helpers: the lowest layer of the library. Floating-point wrappers, 64/128-bit integer
// arithmetic for the clocks and sample-count conversions (numbers.cpp), byte and word memory
// operations (memory/memory_ops.cpp), the record of the character codes the library works in
// (text/char_code_record.cpp), and string and print operations in the library's current codes
// (text/current_code_strings.cpp).
#pragma once

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

// An unsigned 128-bit value as two 64-bit halves (this compiler has no 128-bit integer on x86).
struct UInt128
{
    uint64_t Low;   // bits 0-63
    uint64_t High;  // bits 64-127
};

// ---- numbers (single-precision calls compute in double and round the result to float) --------
float AcosF(float X);
double Atan2D(double Y, double X);
int64_t DoubleToInt64(double X);  // truncated toward zero
float ExpF(float X);
void FloatToIntArray4(const float *In, int *Out);  // four values, each truncated toward zero
double Log10D(double X);
float PowF(float X, float Y);
void SinCosF(float Angle, float *Sin, float *Cos);
void SinCosD(double Angle, double *Sin, double *Cos);
float SqrtF(float X);
double SqrtD(double X);

// The full 128-bit product of two unsigned 64-bit values.
void UInt64MulTo128(const uint64_t *A, const uint64_t *B, UInt128 *Result);
// Dividend / Divisor, cut to the low 64 bits of the quotient; a divisor of 0 gives 0.
void UInt128DivBy64(const UInt128 *Dividend, uint64_t Divisor, uint64_t *Quotient);
// Unsigned 64-bit by 32-bit division (the print engine's 64-bit numbers); divisor 0 gives 0.
uint64_t DivU64ByU32(const uint64_t *Dividend, uint32_t Divisor);

// ---- memory (a count of 0 does nothing) -------------------------------------------------------
int MemCompare(const void *A, const void *B, size_t Count);  // 0 all equal, 1 any differs
void MemCopy(void *Dest, const void *Src, size_t Count);
void MemMove(void *Dest, const void *Src, size_t Count);  // overlapping ranges copy correctly
void MemSet(void *Dest, int Value, size_t Count);
void MemFill32(void *Dest, uint32_t Value, size_t WordCount);

// ---- little-endian fields of files and records (any alignment) --------------------------------
inline uint16_t ReadLe16(const void *P)
{
    const uint8_t *b = static_cast<const uint8_t *>(P);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}
inline uint32_t ReadLe32(const void *P)
{
    const uint8_t *b = static_cast<const uint8_t *>(P);
    return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
}
inline uint64_t ReadLe64(const void *P)
{
    return ReadLe32(P) | (static_cast<uint64_t>(ReadLe32(static_cast<const uint8_t *>(P) + 4)) << 32);
}
inline void WriteLe16(void *P, uint16_t Value)
{
    uint8_t *b = static_cast<uint8_t *>(P);
    b[0] = static_cast<uint8_t>(Value);
    b[1] = static_cast<uint8_t>(Value >> 8);
}
inline void WriteLe32(void *P, uint32_t Value)
{
    uint8_t *b = static_cast<uint8_t *>(P);
    for (int i = 0; i < 4; i++) b[i] = static_cast<uint8_t>(Value >> (8 * i));
}
inline void WriteLe64(void *P, uint64_t Value)
{
    WriteLe32(P, static_cast<uint32_t>(Value));
    WriteLe32(static_cast<uint8_t *>(P) + 4, static_cast<uint32_t>(Value >> 32));
}

// ---- the character-code record ------------------------------------------------------------------
// Character-set index: 0 not chosen, 1 = 932, 2 = 949, 3 = 950, 4 = 936, 5 = 1252, 6 = 32764,
// 7 = 65001. The font system and the default-code choice read it.
int GetCharSetIndex(void);
int SetCharSetIndex(int Index);
// The multibyte code becomes CodePage whatever its value; the index follows it where it is one
// of the codes above (else it stays, or becomes 1 when it was 0); a wide code of 0 becomes 1200.
int SetCharCodeFormatFromCodePage(int CodePage);
int SetWideCharCodeFormat(int CharCodeFormat);

// ---- strings in the current codes (sizes in bytes; print lengths in characters) ---------------
wchar_t *IntToWideString(int Value, wchar_t *Buffer, int Radix);
int FormatCharStringN(char *Buffer, int BufferLength, const char *FormatString, ...);
int VFormatCharStringN(char *Buffer, int BufferLength, const char *FormatString, va_list Args);
int FormatWideStringN(wchar_t *Buffer, int BufferLength, const wchar_t *FormatString, ...);
int VFormatWideStringN(wchar_t *Buffer, int BufferLength, const wchar_t *FormatString, va_list Args);
int FormatWideString(wchar_t *Buffer, const wchar_t *FormatString, ...);
char *CharStrCatS(char *Dest, size_t DestBytes, const char *Src);
int CharStrCompare(const char *A, const char *B);
char *CharStrCopyS(char *Dest, size_t DestBytes, const char *Src);
int CharStrLength(const char *String);  // characters
wchar_t *WideStrCat(wchar_t *Dest, const wchar_t *Src);
wchar_t *WideStrCatS(wchar_t *Dest, size_t DestBytes, const wchar_t *Src);
wchar_t *WideStrChr(const wchar_t *String, uint32_t CharCode);
int WideStrCompare(const wchar_t *A, const wchar_t *B);
wchar_t *WideStrCopy(wchar_t *Dest, const wchar_t *Src);
wchar_t *WideStrCopyS(wchar_t *Dest, size_t DestBytes, const wchar_t *Src);
wchar_t *WideStrNCopyS(wchar_t *Dest, size_t DestBytes, const wchar_t *Src, size_t N);
wchar_t *WideStrStr(const wchar_t *String, const wchar_t *Pattern);
