// The record of the character codes the library works in: the current multibyte code, the wide
// code and the character-set index, with their defaults and setters.
#include "zovuz/core/base_helpers.h"

#include "zovuz/core/text/char_code_internal.h"

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

}  // namespace

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
