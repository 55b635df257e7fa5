// Conversion tables of the table codes: built once, on first use, from the platform's own
// code-page data (the forward tables) and then inverted here (the reverse tables).
#include <string.h>

#include "zovuz/core/text/char_code_internal.h"

namespace {

constexpr int TableCodes[CHAR_CODE_TABLE_COUNT] = {
    CHAR_CODE_SHIFTJIS, CHAR_CODE_GBK, CHAR_CODE_UHC, CHAR_CODE_BIG5, CHAR_CODE_WINDOWS_1252, CHAR_CODE_OWN_SINGLE_BYTE,
};

struct CharCodeTableSet
{
    uint16_t Forward[CHAR_CODE_TABLE_COUNT][65536];  // code -> Unicode, 0 where nothing maps
    uint16_t Reverse[CHAR_CODE_TABLE_COUNT][65536];  // Unicode -> code, 0 where nothing maps
};

CharCodeTableSet Tables;

// Fills every table; the result is kept by the caller's static, so this runs once per process
// even when two threads convert their first string at the same time.
int BuildTables()
{
    int Result = 0;
    for (int Slot = 0; Slot < CHAR_CODE_TABLE_COUNT; Slot++) {
        uint16_t *Forward = Tables.Forward[Slot];
        uint16_t *Reverse = Tables.Reverse[Slot];
        memset(Forward, 0, sizeof(Tables.Forward[Slot]));
        memset(Reverse, 0, sizeof(Tables.Reverse[Slot]));
        if (BuildCharCodeForwardTable(TableCodes[Slot], Forward) != 0) {
            Result = -1;
            continue;
        }
        // Ascending order, so where several codes share a Unicode value the highest code wins.
        // Codes that map to nothing are skipped: they would otherwise claim U+0000 and turn
        // every terminator into a stray character.
        const int Count = Slot >= CHAR_CODE_TABLE_1252 ? 256 : 65536;
        for (int Code = 1; Code < Count; Code++)
            if (Forward[Code] != 0) Reverse[Forward[Code]] = uint16_t(Code);
    }
    return Result;
}

}  // namespace

int SetupCharCodeTables(void)
{
    static const int Built = BuildTables();
    return Built;
}

int CharCodeTableSlotOf(int CharCodeFormat)
{
    for (int Slot = 0; Slot < CHAR_CODE_TABLE_COUNT; Slot++)
        if (TableCodes[Slot] == CharCodeFormat) return Slot;
    return -1;
}

const uint16_t *CharCodeForwardTable(int Slot)
{
    if (Slot < 0 || Slot >= CHAR_CODE_TABLE_COUNT) return nullptr;
    SetupCharCodeTables();
    return Tables.Forward[Slot];
}

const uint16_t *CharCodeReverseTable(int Slot)
{
    if (Slot < 0 || Slot >= CHAR_CODE_TABLE_COUNT) return nullptr;
    SetupCharCodeTables();
    return Tables.Reverse[Slot];
}
