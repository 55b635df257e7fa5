// String and print calls in the library's current character codes: the multibyte ones in the
// current code, the wide ones in the wide code.
#include "zovuz/core/base_helpers.h"

#include "zovuz/core/text/char_code_internal.h"
#include "zovuz/core/text/format_print.h"
#include "zovuz/core/text/format_print_internal.h"

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
