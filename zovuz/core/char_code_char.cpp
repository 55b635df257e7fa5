// Character codes: reading, writing and converting one character.
#include "zovuz/core/char_code_internal.h"

using namespace charcode;

int GetCharCodeUnitSize(int CharCodeFormat)
{
    return UnitSize(FamilyOf(CharCodeFormat));
}

int GetCharCodeBytes(const char *CharCode, int CharCodeFormat)
{
    const Family F = FamilyOf(CharCodeFormat);
    if (CharCode == nullptr || F == FAMILY_NONE)
        return -1;
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
    if (Length == 0)
        Code = 0;
    if (CharBytes != nullptr)
        *CharBytes = Length;
    return Code;
}

int PutCharCode(uint32_t CharCode, int CharCodeFormat, char *Dest, size_t DestBytes)
{
    const Family F = FamilyOf(CharCodeFormat);
    const int Length = BytesAny(F, CharCode);
    if (Length == 0)
        return 0;
    if (Dest == nullptr)
        return Length;
    if (size_t(Length) > DestBytes)
        return 0;
    return WriteAny(F, CharCode, reinterpret_cast<uint8_t *>(Dest));
}

int PutCharCodeUnchecked(uint32_t CharCode, int CharCodeFormat, char *Dest)
{
    const Family F = FamilyOf(CharCodeFormat);
    const int Length = BytesAny(F, CharCode);
    if (Length == 0 || Dest == nullptr)
        return Length;
    return WriteAny(F, CharCode, reinterpret_cast<uint8_t *>(Dest));
}

static bool IsUnicodeCode(int CharCodeFormat)
{
    const Family F = FamilyOf(CharCodeFormat);
    return F == FAMILY_UTF16LE || F == FAMILY_UTF16BE || F == FAMILY_UTF32LE ||
           F == FAMILY_UTF32BE || F == FAMILY_UTF8;
}

uint32_t ConvertCharCodeOne(uint32_t CharCode, int SrcCharCodeFormat, int DestCharCodeFormat)
{
    if (FamilyOf(SrcCharCodeFormat) == FAMILY_NONE || FamilyOf(DestCharCodeFormat) == FAMILY_NONE)
        return 0;
    if (SrcCharCodeFormat == DestCharCodeFormat || SrcCharCodeFormat == CHAR_CODE_UNICODE_BYTE)
        return CharCode;
    if (DestCharCodeFormat == CHAR_CODE_UNICODE_BYTE)
        return CharCode <= 0xFF ? CharCode : 0;

    uint32_t Unicode = CharCode;
    const int SrcSlot = CharCodeTableSlotOf(SrcCharCodeFormat);
    if (SrcSlot >= 0)
    {
        const uint32_t Limit = SrcSlot >= CHAR_CODE_TABLE_1252 ? 0xFF : 0xFFFF;
        const uint16_t *Forward = CharCodeForwardTable(SrcSlot);
        Unicode = CharCode <= Limit && Forward != nullptr ? Forward[CharCode] : 0;
    }
    if (IsUnicodeCode(DestCharCodeFormat))
        return Unicode;

    const uint16_t *Reverse = CharCodeReverseTable(CharCodeTableSlotOf(DestCharCodeFormat));
    return Unicode <= 0xFFFF && Reverse != nullptr ? Reverse[Unicode] : 0;
}
