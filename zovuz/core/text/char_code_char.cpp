// Character codes: reading, writing and converting one character.
#include "zovuz/core/text/char_code_internal.h"

using namespace charcode;

int GetCharCodeUnitSize(int CharCodeFormat) { return UnitSize(FamilyOf(CharCodeFormat)); }

int GetCharCodeBytes(const char *CharCode, int CharCodeFormat)
{
    const Family F = FamilyOf(CharCodeFormat);
    if (CharCode == nullptr || F == FAMILY_NONE) return -1;
    uint32_t Code;
    const int Length = ReadAny(F, reinterpret_cast<const uint8_t *>(CharCode), &Code);
    return Length > 0 ? Length : -1;
}

uint32_t GetCharCode(const char *CharCode, int CharCodeFormat, int *CharBytes)
{
    const Family F = FamilyOf(CharCodeFormat);
    uint32_t Code = 0;
    int Length = 0;
    if (CharCode != nullptr && F != FAMILY_NONE)
        Length = ReadAny(F, reinterpret_cast<const uint8_t *>(CharCode), &Code);
    if (Length == 0) Code = 0;
    if (CharBytes != nullptr) *CharBytes = Length;
    return Code;
}

int PutCharCode(uint32_t CharCode, int CharCodeFormat, char *Dest, size_t DestBytes)
{
    const Family F = FamilyOf(CharCodeFormat);
    const int Length = BytesAny(F, CharCode);
    if (Length == 0) return 0;
    if (Dest == nullptr) return Length;
    if (size_t(Length) > DestBytes) return 0;
    return WriteAny(F, CharCode, reinterpret_cast<uint8_t *>(Dest));
}

int PutCharCodeUnchecked(uint32_t CharCode, int CharCodeFormat, char *Dest)
{
    const Family F = FamilyOf(CharCodeFormat);
    const int Length = BytesAny(F, CharCode);
    if (Length == 0 || Dest == nullptr) return Length;
    return WriteAny(F, CharCode, reinterpret_cast<uint8_t *>(Dest));
}

// 32765 holds Unicode values 0-255, so it converts like a Unicode code whose range ends at
// 255: its bytes go through the tables into a table code, and a table code's characters reach
// it by their Unicode values (a raw 1252 byte 0x80 is the euro sign, not U+0080).
static bool IsUnicodeValued(int CharCodeFormat) { return CharCodeTableSlotOf(CharCodeFormat) < 0; }

uint32_t ConvertCharCodeOne(uint32_t CharCode, int SrcCharCodeFormat, int DestCharCodeFormat)
{
    if (FamilyOf(SrcCharCodeFormat) == FAMILY_NONE || FamilyOf(DestCharCodeFormat) == FAMILY_NONE) return 0;
    if (SrcCharCodeFormat == DestCharCodeFormat) return CharCode;

    uint32_t Unicode = CharCode;
    const int SrcSlot = CharCodeTableSlotOf(SrcCharCodeFormat);
    if (SrcSlot >= 0) {
        const uint32_t Limit = SrcSlot >= CHAR_CODE_TABLE_1252 ? 0xFF : 0xFFFF;
        const uint16_t *Forward = CharCodeForwardTable(SrcSlot);
        Unicode = CharCode <= Limit && Forward != nullptr ? Forward[CharCode] : 0;
    }
    if (DestCharCodeFormat == CHAR_CODE_UNICODE_BYTE) return Unicode <= 0xFF ? Unicode : 0;
    if (IsUnicodeValued(DestCharCodeFormat)) return Unicode;

    const uint16_t *Reverse = CharCodeReverseTable(CharCodeTableSlotOf(DestCharCodeFormat));
    return Unicode <= 0xFFFF && Reverse != nullptr ? Reverse[Unicode] : 0;
}
