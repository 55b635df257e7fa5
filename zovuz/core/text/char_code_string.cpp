// Character codes: string functions parameterised by code, and integer text.
//
// The family works on units of the code's unit size (1, 2 or 4 bytes) and compares raw unit
// values; the searching calls step from character to character so that the trail bytes of
// double-byte characters are never taken for characters of their own.
#include <string.h>

#include "zovuz/core/text/char_code_internal.h"

using namespace charcode;

namespace {

inline uint32_t LoadUnit(const char *P, int Unit)
{
    switch (Unit) {
        case 1:
            return uint8_t(*P);
        case 2: {
            uint16_t V;
            memcpy(&V, P, 2);
            return V;
        }
        default: {
            uint32_t V;
            memcpy(&V, P, 4);
            return V;
        }
    }
}

inline void StoreZeroUnits(char *P, int Unit, size_t Count) { memset(P, 0, size_t(Unit) * Count); }

// Units before the terminator, looking at no more than Limit units; Limit when none was found.
size_t UnitLength(const char *String, int Unit, size_t Limit)
{
    size_t Length = 0;
    while (Length < Limit && LoadUnit(String + Length * Unit, Unit) != 0) Length++;
    return Length;
}

constexpr size_t NoLimit = ~size_t(0);

int Sign(uint32_t A, uint32_t B) { return A < B ? -1 : A > B ? 1 : 0; }

// How the searching calls step: one unit, plus one more when the character was longer than a
// unit (exact for double-byte characters and UTF-16 pairs; inside a longer UTF-8 sequence the
// next read lands on a continuation byte, fails, and the scan goes on a byte at a time).
inline int ScanStep(int Length, int Unit) { return Length > Unit ? 2 * Unit : Unit; }

}  // namespace

int GetCharCodeStringLength(int CharCodeFormat, const char *String)
{
    const int Unit = GetCharCodeUnitSize(CharCodeFormat);
    if (Unit < 0 || String == nullptr) return -1;
    return int(UnitLength(String, Unit, NoLimit));
}

int GetCharCodeCharCount(const char *String, int CharCodeFormat)
{
    const Family F = FamilyOf(CharCodeFormat);
    if (String == nullptr || F == FAMILY_NONE) return 0;
    const uint8_t *P = reinterpret_cast<const uint8_t *>(String);
    int Count = 0;
    uint32_t Code;
    for (int Length; (Length = ReadAny(F, P, &Code)) > 0 && Code != 0; P += Length) Count++;
    return Count;
}

const char *CharCodeAdvance(const char *String, int CharCodeFormat, int CharNum)
{
    const Family F = FamilyOf(CharCodeFormat);
    if (String == nullptr || F == FAMILY_NONE) return String;
    const uint8_t *P = reinterpret_cast<const uint8_t *>(String);
    for (int i = 0; i < CharNum; i++) {
        uint32_t Code;
        const int Length = ReadAny(F, P, &Code);
        if (Length == 0 || Code == 0) break;
        P += Length;
    }
    return reinterpret_cast<const char *>(P);
}

char *CharCodeStrCopy(int CharCodeFormat, char *Dest, const char *Src)
{
    const int Unit = GetCharCodeUnitSize(CharCodeFormat);
    if (Unit < 0 || Dest == nullptr || Src == nullptr) return Dest;
    memmove(Dest, Src, (UnitLength(Src, Unit, NoLimit) + 1) * Unit);
    return Dest;
}

// Cut at the last whole character that fits with the terminator, as the converter does: a cut
// in the middle of a double-byte character or a UTF-16 pair would leave half a character.
char *CharCodeStrCopyS(int CharCodeFormat, char *Dest, size_t DestBytes, const char *Src)
{
    const int Unit = GetCharCodeUnitSize(CharCodeFormat);
    if (Unit < 0 || Dest == nullptr || Src == nullptr || DestBytes < size_t(Unit)) return Dest;
    ConvertCharCode(Src, CharCodeFormat, Dest, DestBytes, CharCodeFormat);
    return Dest;
}

char *CharCodeStrCat(int CharCodeFormat, char *Dest, const char *Src)
{
    const int Unit = GetCharCodeUnitSize(CharCodeFormat);
    if (Unit < 0 || Dest == nullptr || Src == nullptr) return Dest;
    CharCodeStrCopy(CharCodeFormat, Dest + UnitLength(Dest, Unit, NoLimit) * Unit, Src);
    return Dest;
}

char *CharCodeStrCatS(int CharCodeFormat, char *Dest, size_t DestBytes, const char *Src)
{
    const int Unit = GetCharCodeUnitSize(CharCodeFormat);
    if (Unit < 0 || Dest == nullptr || Src == nullptr) return Dest;
    // A destination with no terminator inside its size counts as full.
    const size_t Units = DestBytes / Unit;
    const size_t Length = UnitLength(Dest, Unit, Units);
    if (Length + 1 >= Units) return Dest;
    CharCodeStrCopyS(CharCodeFormat, Dest + Length * Unit, DestBytes - Length * Unit, Src);
    return Dest;
}

char *CharCodeStrNCopy(int CharCodeFormat, char *Dest, const char *Src, size_t N)
{
    const int Unit = GetCharCodeUnitSize(CharCodeFormat);
    if (Unit < 0 || Dest == nullptr || Src == nullptr) return Dest;
    const size_t Copied = UnitLength(Src, Unit, N);
    memmove(Dest, Src, Copied * Unit);
    StoreZeroUnits(Dest + Copied * Unit, Unit, N - Copied);
    return Dest;
}

// A count that would fill the whole buffer is cut one unit short and that unit zeroed, so the
// bounded form never leaves its buffer without a terminator.
char *CharCodeStrNCopyS(int CharCodeFormat, char *Dest, size_t DestBytes, const char *Src, size_t N)
{
    const int Unit = GetCharCodeUnitSize(CharCodeFormat);
    if (Unit < 0 || Dest == nullptr || Src == nullptr || DestBytes < size_t(Unit)) return Dest;
    const size_t Units = DestBytes / Unit;
    if (N < Units) return CharCodeStrNCopy(CharCodeFormat, Dest, Src, N);
    CharCodeStrNCopy(CharCodeFormat, Dest, Src, Units - 1);
    StoreZeroUnits(Dest + (Units - 1) * Unit, Unit, 1);
    return Dest;
}

int CharCodeStrCmp(int CharCodeFormat, const char *A, const char *B)
{
    return CharCodeStrNCompare(CharCodeFormat, A, B, NoLimit);
}

int CharCodeStrCmpAscii(int CharCodeFormat, const char *A, const char *AsciiB)
{
    const int Unit = GetCharCodeUnitSize(CharCodeFormat);
    if (Unit < 0 || A == nullptr || AsciiB == nullptr) return 0;
    for (;; A += Unit, AsciiB++) {
        const uint32_t UnitA = LoadUnit(A, Unit);
        const uint32_t ByteB = uint8_t(*AsciiB);
        if (UnitA != ByteB) return Sign(UnitA, ByteB);
        if (UnitA == 0) return 0;
    }
}

int CharCodeStrNCompare(int CharCodeFormat, const char *A, const char *B, size_t N)
{
    const int Unit = GetCharCodeUnitSize(CharCodeFormat);
    if (Unit < 0 || A == nullptr || B == nullptr) return 0;
    for (size_t i = 0; i < N; i++, A += Unit, B += Unit) {
        const uint32_t UnitA = LoadUnit(A, Unit);
        const uint32_t UnitB = LoadUnit(B, Unit);
        if (UnitA != UnitB) return Sign(UnitA, UnitB);
        if (UnitA == 0) return 0;
    }
    return 0;
}

char *CharCodeStrChr(int CharCodeFormat, const char *String, uint32_t CharCode)
{
    const Family F = FamilyOf(CharCodeFormat);
    if (String == nullptr || F == FAMILY_NONE) return nullptr;
    const int Unit = UnitSize(F);
    const uint8_t *P = reinterpret_cast<const uint8_t *>(String);
    while (!IsZeroUnit(P, Unit)) {
        uint32_t Code;
        const int Length = ReadAny(F, P, &Code);
        if (Length > 0 && Code == CharCode) return reinterpret_cast<char *>(const_cast<uint8_t *>(P));
        // Two units are stepped only over a character that has them, so never past the end.
        P += ScanStep(Length, Unit);
    }
    return CharCode == 0 ? reinterpret_cast<char *>(const_cast<uint8_t *>(P)) : nullptr;
}

char *CharCodeStrStr(int CharCodeFormat, const char *String, const char *Pattern)
{
    const Family F = FamilyOf(CharCodeFormat);
    if (String == nullptr || Pattern == nullptr || F == FAMILY_NONE) return nullptr;
    const int Unit = UnitSize(F);
    const size_t PatternUnits = UnitLength(Pattern, Unit, NoLimit);
    const char *P = String;
    for (;;) {
        if (CharCodeStrNCompare(CharCodeFormat, P, Pattern, PatternUnits) == 0) return const_cast<char *>(P);
        if (LoadUnit(P, Unit) == 0) return nullptr;
        // Occurrences start on character boundaries only.
        uint32_t Code;
        const int Length = ReadAny(F, reinterpret_cast<const uint8_t *>(P), &Code);
        P += Length > 0 ? Length : Unit;
    }
}

char *CharCodeStrUpper(int CharCodeFormat, char *String)
{
    const Family F = FamilyOf(CharCodeFormat);
    if (String == nullptr || F == FAMILY_NONE) return String;
    const int Unit = UnitSize(F);
    uint8_t *P = reinterpret_cast<uint8_t *>(String);
    while (!IsZeroUnit(P, Unit)) {
        uint32_t Code;
        const int Length = ReadAny(F, P, &Code);
        // Only a letter written in one unit is rewritten, so the text keeps its length.
        if (Length == Unit && Code >= 'a' && Code <= 'z') WriteAny(F, Code - 'a' + 'A', P);
        P += ScanStep(Length, Unit);
    }
    return String;
}

// Characters are read one at a time, so no decoded copy of the text is needed.
int CharCodeAtoi(int CharCodeFormat, const char *String)
{
    const Family F = FamilyOf(CharCodeFormat);
    if (String == nullptr || F == FAMILY_NONE) return 0;
    const uint8_t *P = reinterpret_cast<const uint8_t *>(String);
    uint32_t Code = 0;
    int Length;
    while ((Length = ReadAny(F, P, &Code)) > 0 && Code != 0 && Code != '-' && (Code < '0' || Code > '9')) P += Length;
    if (Length == 0 || Code == 0) return 0;
    const bool Negative = Code == '-';
    if (Negative) P += Length;
    uint32_t Value = 0;
    while ((Length = ReadAny(F, P, &Code)) > 0 && Code >= '0' && Code <= '9') {
        Value = Value * 10 + (Code - '0');
        P += Length;
    }
    return int(Negative ? 0u - Value : Value);
}

char *CharCodeItoa(int CharCodeFormat, int Value, char *Buffer, int Radix)
{
    const Family F = FamilyOf(CharCodeFormat);
    if (Buffer == nullptr || F == FAMILY_NONE) return Buffer;
    uint8_t *Out = reinterpret_cast<uint8_t *>(Buffer);
    if (Radix < 2 || Radix > 36) {
        WriteAny(F, 0, Out);
        return Buffer;
    }
    // The magnitude as unsigned, so the most negative int keeps its digits.
    uint32_t Magnitude = Value < 0 ? 0u - uint32_t(Value) : uint32_t(Value);
    char Digits[33];
    int Count = 0;
    do {
        const uint32_t Digit = Magnitude % uint32_t(Radix);
        Digits[Count++] = char(Digit < 10 ? '0' + Digit : 'a' + Digit - 10);
        Magnitude /= uint32_t(Radix);
    } while (Magnitude != 0);
    if (Value < 0) Out += WriteAny(F, '-', Out);
    while (Count > 0) Out += WriteAny(F, uint8_t(Digits[--Count]), Out);
    WriteAny(F, 0, Out);
    return Buffer;
}

Cp932PathParts SplitCp932Path(const char *Path)
{
    const unsigned char *p = reinterpret_cast<const unsigned char *>(Path);
    Cp932PathParts parts = {};
    size_t length = strlen(Path);
    parts.Length = length;
    parts.DriveEnd = (length >= 2 && !IsCp932LeadByte(p[0]) && p[1] == ':') ? 2 : 0;
    parts.NameStart = parts.DriveEnd;
    parts.ExtensionStart = length;
    for (size_t i = parts.DriveEnd; i < length; ++i) {
        if (IsCp932LeadByte(p[i]) && i + 1 < length) {
            ++i;
        } else if (p[i] == '\\' || p[i] == '/') {
            parts.NameStart = i + 1;
            parts.ExtensionStart = length;
        } else if (p[i] == '.') {
            parts.ExtensionStart = i;
        }
    }
    return parts;
}
