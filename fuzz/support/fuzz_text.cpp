#include "fuzz/support/fuzz_text.h"

#include "zovuz/core/text/char_code.h"

const int kFuzzCharCodes[] = {
    CHAR_CODE_SHIFTJIS, CHAR_CODE_GBK,      CHAR_CODE_UHC,         CHAR_CODE_BIG5,
    CHAR_CODE_WINDOWS_1252, CHAR_CODE_UTF16LE, CHAR_CODE_UTF16BE,  CHAR_CODE_UTF8,
    CHAR_CODE_OWN_SINGLE_BYTE, CHAR_CODE_UNICODE_BYTE, CHAR_CODE_UTF32LE, CHAR_CODE_UTF32BE,
    0,
};
const int kFuzzCharCodeCount = sizeof kFuzzCharCodes / sizeof kFuzzCharCodes[0];

int PickCharCode(uint8_t Selector) { return kFuzzCharCodes[Selector % kFuzzCharCodeCount]; }

std::vector<char> TerminatedText(const uint8_t *Data, size_t Size)
{
    std::vector<char> text(Data, Data + Size);
    text.resize((Size + 3) / 4 * 4 + 4, 0);
    text.shrink_to_fit();
    return text;
}
