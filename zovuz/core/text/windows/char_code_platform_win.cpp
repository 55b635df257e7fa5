// Character codes, the platform side: the forward tables from the system's own code-page data,
// the OEM code page for the default choice, and the current directory in the wide code.
#include <windows.h>

#include "zovuz/core/text/char_code_internal.h"
#include "zovuz/core/memory/memory.h"

namespace {

// The library's own single-byte table is the Cyrillic code page of the system.
constexpr UINT OwnSingleByteCodePage = 1251;

// One character of the code page, or 0 when the bytes are not exactly one mapped character.
uint16_t DecodeOne(UINT CodePage, const char *Bytes, int Length)
{
    WCHAR Out[2];
    const int Got = MultiByteToWideChar(CodePage, MB_ERR_INVALID_CHARS, Bytes, Length, Out, 2);
    return Got == 1 ? uint16_t(Out[0]) : 0;
}

}  // namespace

int BuildCharCodeForwardTable(int CharCodeFormat, uint16_t *Forward)
{
    const charcode::Family Family = charcode::FamilyOf(CharCodeFormat);
    const UINT CodePage = CharCodeFormat == CHAR_CODE_OWN_SINGLE_BYTE ? OwnSingleByteCodePage : UINT(CharCodeFormat);
    if (!IsValidCodePage(CodePage)) return -1;

    for (int Byte = 1; Byte < 256; Byte++) {
        const bool IsLead = Family == charcode::FAMILY_SJIS   ? charcode::IsSjisLead(uint8_t(Byte))
                            : Family == charcode::FAMILY_DBCS ? Byte >= 0x80
                                                              : false;
        char Bytes[2] = {char(Byte), 0};
        if (!IsLead) {
            Forward[Byte] = DecodeOne(CodePage, Bytes, 1);
            continue;
        }
        // A lead byte alone never reaches the tables (the readers take it with its trail), so
        // only its pairs are filled; a zero trail is the terminator, never a pair.
        for (int Trail = 1; Trail < 256; Trail++) {
            Bytes[1] = char(Trail);
            Forward[Byte << 8 | Trail] = DecodeOne(CodePage, Bytes, 2);
        }
    }
    return 0;
}

int SetDefaultCharCodeFormat(void) { return SetDefaultCharCodeFormatFor(int(GetOEMCP())); }

int SetCurrentDirectoryCharCode(const wchar_t *Path)
{
    if (Path == nullptr) return -1;
    return SetCurrentDirectoryW(Path) ? 0 : -1;
}

wchar_t *GetCurrentDirectoryCharCode(wchar_t *Buffer, size_t BufferBytes)
{
    if (Buffer == nullptr || BufferBytes < sizeof(wchar_t)) return Buffer;
    const DWORD Needed = GetCurrentDirectoryW(0, nullptr);
    if (Needed == 0) {
        Buffer[0] = 0;
        return Buffer;
    }
    wchar_t *Whole = static_cast<wchar_t *>(DXALLOC((size_t(Needed) + 1) * sizeof(wchar_t)));
    const DWORD Got = Whole != nullptr ? GetCurrentDirectoryW(Needed + 1, Whole) : 0;
    if (Got == 0 || Got > Needed)
        Buffer[0] = 0;
    else
        // Copying within the same code cuts at a whole character when the buffer is short.
        ConvertCharCode(reinterpret_cast<const char *>(Whole), CHAR_CODE_UTF16LE, reinterpret_cast<char *>(Buffer),
                        BufferBytes, CHAR_CODE_UTF16LE);
    DXFREE(Whole);
    return Buffer;
}
