// Base helpers: number wrappers, 64/128-bit arithmetic, memory operations, the record of the
// library's character codes and the string and print calls that work in those codes.
#include "zovuz/core/base_helpers.h"

#include <math.h>
#include <string.h>

#include <limits>

#include "zovuz/core/text/char_code_internal.h"
#include "zovuz/core/text/format_print.h"
#include "zovuz/core/text/format_print_internal.h"

namespace {

struct CharCodeRecord
{
    int CharCodeFormat;      // the current multibyte code; 0 until chosen
    int WideCharCodeFormat;  // the wide code; 0 until chosen, then 1200 unless set otherwise
    int CharSetIndex;        // 0 not chosen, 1 = 932, 2 = 949, 3 = 950, 4 = 936, 5 = 1252,
                             // 6 = 32764, 7 = 65001
};

CharCodeRecord Record;

int IndexOfCodePage(int CodePage)
{
    switch (CodePage) {
        case 932:
            return 1;
        case 949:
            return 2;
        case 950:
            return 3;
        case 936:
            return 4;
        case 1252:
            return 5;
        case 32764:
            return 6;
        case 65001:
            return 7;
        default:
            return 0;
    }
}

// Out-of-range conversions of floating values are undefined in C++; these give the nearest
// representable value (0 for a NaN) instead.
template <typename Int>
Int TruncateSaturated(double Value, double Limit)
{
    if (Value != Value) return 0;
    if (Value >= Limit) return std::numeric_limits<Int>::max();
    if (Value < -Limit) return std::numeric_limits<Int>::min();
    return Int(Value);
}

}  // namespace

// ---- the character-code record ------------------------------------------------------------------

// The OEM code page decides the multibyte code once. Only what is still unset is filled, so a
// code or index chosen earlier by the set-up calls is kept.
int SetDefaultCharCodeFormatFor(int OemCodePage)
{
    if (Record.CharSetIndex != 0 && Record.CharCodeFormat != 0 && Record.WideCharCodeFormat != 0) return 0;
    if (Record.WideCharCodeFormat == 0) Record.WideCharCodeFormat = CHAR_CODE_UTF16LE;
    if (Record.CharCodeFormat == 0) {
        int Code;
        switch (OemCodePage) {
            case 1252:
            case 32764:
            case 950:
            case 936:
            case 949:
                Code = OemCodePage;
                break;
            default:
                Code = CHAR_CODE_SHIFTJIS;
                break;
        }
        Record.CharCodeFormat = Code;
        if (Record.CharSetIndex == 0) Record.CharSetIndex = IndexOfCodePage(Code);
    }
    return 0;
}

int GetRawCharCodeFormat(void) { return Record.CharCodeFormat; }
int GetRawWideCharCodeFormat(void) { return Record.WideCharCodeFormat; }
void ResetCharCodeRecord(void) { Record = CharCodeRecord{}; }

int GetCurrentCharCodeFormat(void)
{
    if (Record.CharCodeFormat == 0) SetDefaultCharCodeFormat();
    return Record.CharCodeFormat;
}

int GetWideCharCodeFormat(void)
{
    if (Record.WideCharCodeFormat == 0) SetDefaultCharCodeFormat();
    return Record.WideCharCodeFormat;
}

int GetCharSetIndex(void) { return Record.CharSetIndex; }

int SetCharSetIndex(int Index)
{
    Record.CharSetIndex = Index;
    return 0;
}

int SetCharCodeFormatFromCodePage(int CodePage)
{
    Record.CharCodeFormat = CodePage;
    const int Index = IndexOfCodePage(CodePage);
    if (Index != 0)
        Record.CharSetIndex = Index;
    else if (Record.CharSetIndex == 0)
        Record.CharSetIndex = 1;
    if (Record.WideCharCodeFormat == 0) Record.WideCharCodeFormat = CHAR_CODE_UTF16LE;
    return 0;
}

int SetWideCharCodeFormat(int CharCodeFormat)
{
    Record.WideCharCodeFormat = CharCodeFormat;
    return 0;
}

// ---- numbers ------------------------------------------------------------------------------------

float AcosF(float X) { return float(acos(double(X))); }
double Atan2D(double Y, double X) { return atan2(Y, X); }
int64_t DoubleToInt64(double X) { return TruncateSaturated<int64_t>(X, 9223372036854775808.0); }
float ExpF(float X) { return float(exp(double(X))); }
double Log10D(double X) { return log10(X); }
float PowF(float X, float Y) { return float(pow(double(X), double(Y))); }
float SqrtF(float X) { return float(sqrt(double(X))); }
double SqrtD(double X) { return sqrt(X); }

void FloatToIntArray4(const float *In, int *Out)
{
    for (int i = 0; i < 4; i++) Out[i] = TruncateSaturated<int32_t>(double(In[i]), 2147483648.0);
}

void SinCosF(float Angle, float *Sin, float *Cos)
{
    *Sin = float(sin(double(Angle)));
    *Cos = float(cos(double(Angle)));
}

void SinCosD(double Angle, double *Sin, double *Cos)
{
    *Sin = sin(Angle);
    *Cos = cos(Angle);
}

// Four 32 x 32-bit partial products; the two middle ones are summed with the carry of the low
// one before they reach the upper half.
void UInt64MulTo128(const uint64_t *A, const uint64_t *B, UInt128 *Result)
{
    const uint64_t A0 = uint32_t(*A), A1 = *A >> 32;
    const uint64_t B0 = uint32_t(*B), B1 = *B >> 32;
    const uint64_t LowLow = A0 * B0;
    const uint64_t LowHigh = A0 * B1;
    const uint64_t HighLow = A1 * B0;
    const uint64_t HighHigh = A1 * B1;
    const uint64_t Middle = (LowLow >> 32) + uint32_t(LowHigh) + uint32_t(HighLow);
    Result->Low = uint32_t(LowLow) | (Middle << 32);
    Result->High = HighHigh + (LowHigh >> 32) + (HighLow >> 32) + (Middle >> 32);
}

// Binary long division. The upper half is divided first (its quotient lies above bit 63 and is
// cut off); its remainder then leads the division of the lower half bit by bit. A zero divisor
// gives 0: sample rates reach here from files.
void UInt128DivBy64(const UInt128 *Dividend, uint64_t Divisor, uint64_t *Quotient)
{
    if (Divisor == 0) {
        *Quotient = 0;
        return;
    }
    uint64_t Remainder = Dividend->High % Divisor;
    uint64_t Result = 0;
    for (int Bit = 63; Bit >= 0; Bit--) {
        const bool Carry = (Remainder >> 63) != 0;
        Remainder = Remainder << 1 | ((Dividend->Low >> Bit) & 1);
        if (Carry || Remainder >= Divisor) {
            Remainder -= Divisor;
            Result |= uint64_t(1) << Bit;
        }
    }
    *Quotient = Result;
}

uint64_t DivU64ByU32(const uint64_t *Dividend, uint32_t Divisor) { return Divisor == 0 ? 0 : *Dividend / Divisor; }

// ---- memory -------------------------------------------------------------------------------------

int MemCompare(const void *A, const void *B, size_t Count) { return Count == 0 || memcmp(A, B, Count) == 0 ? 0 : 1; }

// Front to back, byte by byte where the ranges overlap, so an overlapping copy repeats the
// leading bytes the way a plain forward copy does.
void MemCopy(void *Dest, const void *Src, size_t Count)
{
    uint8_t *D = static_cast<uint8_t *>(Dest);
    const uint8_t *S = static_cast<const uint8_t *>(Src);
    if (Count == 0) return;
    if (D + Count <= S || S + Count <= D) {
        memcpy(D, S, Count);
        return;
    }
    for (size_t i = 0; i < Count; i++) D[i] = S[i];
}

void MemMove(void *Dest, const void *Src, size_t Count)
{
    if (Count == 0 || Dest == Src) return;
    memmove(Dest, Src, Count);
}

void MemSet(void *Dest, int Value, size_t Count)
{
    if (Count != 0) memset(Dest, Value, Count);
}

void MemFill32(void *Dest, uint32_t Value, size_t WordCount)
{
    uint8_t *D = static_cast<uint8_t *>(Dest);
    for (size_t i = 0; i < WordCount; i++) memcpy(D + i * 4, &Value, 4);
}

// ---- strings and print in the current codes -------------------------------------------------------

wchar_t *IntToWideString(int Value, wchar_t *Buffer, int Radix)
{
    CharCodeItoa(GetWideCharCodeFormat(), Value, reinterpret_cast<char *>(Buffer), Radix);
    return Buffer;
}

int VFormatCharStringN(char *Buffer, int BufferLength, const char *FormatString, va_list Args)
{
    const int Code = GetCurrentCharCodeFormat();
    return CharCodeFormatString(Code, 0, Code, GetWideCharCodeFormat(), Buffer, BufferLength, FormatString, Args);
}

int FormatCharStringN(char *Buffer, int BufferLength, const char *FormatString, ...)
{
    va_list Args;
    va_start(Args, FormatString);
    const int Result = VFormatCharStringN(Buffer, BufferLength, FormatString, Args);
    va_end(Args);
    return Result;
}

int VFormatWideStringN(wchar_t *Buffer, int BufferLength, const wchar_t *FormatString, va_list Args)
{
    const int Wide = GetWideCharCodeFormat();
    return CharCodeFormatString(Wide, 1, GetCurrentCharCodeFormat(), Wide, reinterpret_cast<char *>(Buffer),
                                BufferLength, reinterpret_cast<const char *>(FormatString), Args);
}

int FormatWideStringN(wchar_t *Buffer, int BufferLength, const wchar_t *FormatString, ...)
{
    va_list Args;
    va_start(Args, FormatString);
    const int Result = VFormatWideStringN(Buffer, BufferLength, FormatString, Args);
    va_end(Args);
    return Result;
}

int FormatWideString(wchar_t *Buffer, const wchar_t *FormatString, ...)
{
    va_list Args;
    va_start(Args, FormatString);
    const int Wide = GetWideCharCodeFormat();
    const int Result = CharCodeVSPrintf(Wide, 1, GetCurrentCharCodeFormat(), Wide, reinterpret_cast<char *>(Buffer),
                                        reinterpret_cast<const char *>(FormatString), Args);
    va_end(Args);
    return Result;
}

char *CharStrCatS(char *Dest, size_t DestBytes, const char *Src)
{
    return CharCodeStrCatS(GetCurrentCharCodeFormat(), Dest, DestBytes, Src);
}

int CharStrCompare(const char *A, const char *B) { return CharCodeStrCmp(GetCurrentCharCodeFormat(), A, B); }

char *CharStrCopyS(char *Dest, size_t DestBytes, const char *Src)
{
    return CharCodeStrCopyS(GetCurrentCharCodeFormat(), Dest, DestBytes, Src);
}

int CharStrLength(const char *String) { return GetCharCodeCharCount(String, GetCurrentCharCodeFormat()); }

// The wide calls pass the wide strings on as the byte pointers the converter works with.
namespace {
inline char *Bytes(wchar_t *P) { return reinterpret_cast<char *>(P); }
inline const char *Bytes(const wchar_t *P) { return reinterpret_cast<const char *>(P); }
inline wchar_t *Wide(char *P) { return reinterpret_cast<wchar_t *>(P); }
}  // namespace

wchar_t *WideStrCat(wchar_t *Dest, const wchar_t *Src)
{
    return Wide(CharCodeStrCat(GetWideCharCodeFormat(), Bytes(Dest), Bytes(Src)));
}

wchar_t *WideStrCatS(wchar_t *Dest, size_t DestBytes, const wchar_t *Src)
{
    return Wide(CharCodeStrCatS(GetWideCharCodeFormat(), Bytes(Dest), DestBytes, Bytes(Src)));
}

wchar_t *WideStrChr(const wchar_t *String, uint32_t CharCode)
{
    return Wide(CharCodeStrChr(GetWideCharCodeFormat(), Bytes(String), CharCode));
}

int WideStrCompare(const wchar_t *A, const wchar_t *B)
{
    return CharCodeStrCmp(GetWideCharCodeFormat(), Bytes(A), Bytes(B));
}

wchar_t *WideStrCopy(wchar_t *Dest, const wchar_t *Src)
{
    return Wide(CharCodeStrCopy(GetWideCharCodeFormat(), Bytes(Dest), Bytes(Src)));
}

wchar_t *WideStrCopyS(wchar_t *Dest, size_t DestBytes, const wchar_t *Src)
{
    return Wide(CharCodeStrCopyS(GetWideCharCodeFormat(), Bytes(Dest), DestBytes, Bytes(Src)));
}

wchar_t *WideStrNCopyS(wchar_t *Dest, size_t DestBytes, const wchar_t *Src, size_t N)
{
    return Wide(CharCodeStrNCopyS(GetWideCharCodeFormat(), Bytes(Dest), DestBytes, Bytes(Src), N));
}

wchar_t *WideStrStr(const wchar_t *String, const wchar_t *Pattern)
{
    return Wide(CharCodeStrStr(GetWideCharCodeFormat(), Bytes(String), Bytes(Pattern)));
}
