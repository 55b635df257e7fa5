// Stands in for windows/char_code_platform_win.cpp: the forward tables of the table codes come
// from the C library's iconv instead of the system's code-page data, and the default code is
// chosen as on a Japanese system (OEM code page 932). The tables can differ from Windows' in a
// few unusual characters; they have the same shape (which lead and trail bytes map), which is
// what the converters' bounds depend on.
#include <iconv.h>

#include "zovuz/core/text/char_code_internal.h"

namespace {

const char *IconvName(int CharCodeFormat)
{
    switch (CharCodeFormat) {
    case CHAR_CODE_SHIFTJIS: return "CP932";
    case CHAR_CODE_GBK: return "GBK";
    case CHAR_CODE_UHC: return "UHC";
    case CHAR_CODE_BIG5: return "BIG5";
    case CHAR_CODE_WINDOWS_1252: return "CP1252";
    case CHAR_CODE_OWN_SINGLE_BYTE: return "CP1251";  // the own table is the Cyrillic code page
    default: return nullptr;
    }
}

// One character of the code page, or 0 when the bytes are not exactly one mapped character.
uint16_t DecodeOne(iconv_t Converter, const char *Bytes, size_t Length)
{
    iconv(Converter, nullptr, nullptr, nullptr, nullptr);
    char in[2] = {Bytes[0], Length > 1 ? Bytes[1] : '\0'};
    unsigned char out[8];
    char *inPointer = in;
    char *outPointer = reinterpret_cast<char *>(out);
    size_t inLeft = Length, outLeft = sizeof out;
    if (iconv(Converter, &inPointer, &inLeft, &outPointer, &outLeft) == static_cast<size_t>(-1) ||
        inLeft != 0 || sizeof out - outLeft != 2)
        return 0;
    return static_cast<uint16_t>(out[0] | out[1] << 8);
}

} // namespace

int BuildCharCodeForwardTable(int CharCodeFormat, uint16_t *Forward)
{
    const char *name = IconvName(CharCodeFormat);
    iconv_t converter = name != nullptr ? iconv_open("UTF-16LE", name) : reinterpret_cast<iconv_t>(-1);
    if (converter == reinterpret_cast<iconv_t>(-1)) return -1;
    const charcode::Family family = charcode::FamilyOf(CharCodeFormat);
    for (int byte = 1; byte < 256; byte++) {
        const bool isLead = family == charcode::FAMILY_SJIS ? charcode::IsSjisLead(uint8_t(byte))
                          : family == charcode::FAMILY_DBCS ? byte >= 0x80
                          : false;
        char bytes[2] = {char(byte), 0};
        if (!isLead) {
            Forward[byte] = DecodeOne(converter, bytes, 1);
            continue;
        }
        for (int trail = 1; trail < 256; trail++) {
            bytes[1] = char(trail);
            Forward[byte << 8 | trail] = DecodeOne(converter, bytes, 2);
        }
    }
    iconv_close(converter);
    return 0;
}

int SetDefaultCharCodeFormat(void) { return SetDefaultCharCodeFormatFor(932); }
