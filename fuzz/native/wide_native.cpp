// 16-bit wide-string functions for the native build (see native_compat.h).
#include "fuzz/native/native_compat.h"

static_assert(sizeof(wchar_t) == 2, "the native build keeps Windows' 16-bit wchar_t (-fshort-wchar)");

size_t NativeWcslen(const wchar_t *String)
{
    size_t n = 0;
    while (String[n] != 0) n++;
    return n;
}

wchar_t *NativeWcscpy(wchar_t *Dest, const wchar_t *Src)
{
    size_t i = 0;
    do Dest[i] = Src[i]; while (Src[i++] != 0);
    return Dest;
}

wchar_t *NativeWcsncpy(wchar_t *Dest, const wchar_t *Src, size_t Count)
{
    size_t i = 0;
    for (; i < Count && Src[i] != 0; i++) Dest[i] = Src[i];
    for (; i < Count; i++) Dest[i] = 0;
    return Dest;
}

int NativeWcsncmp(const wchar_t *A, const wchar_t *B, size_t Count)
{
    for (size_t i = 0; i < Count; i++) {
        if (A[i] != B[i]) return (unsigned short)A[i] < (unsigned short)B[i] ? -1 : 1;
        if (A[i] == 0) return 0;
    }
    return 0;
}

int NativeWcscmp(const wchar_t *A, const wchar_t *B) { return NativeWcsncmp(A, B, (size_t)-1); }

wchar_t *NativeWcschr(const wchar_t *String, wchar_t Char)
{
    for (;; String++) {
        if (*String == Char) return (wchar_t *)String;
        if (*String == 0) return nullptr;
    }
}

wchar_t *NativeWcsrchr(const wchar_t *String, wchar_t Char)
{
    const wchar_t *last = nullptr;
    for (;; String++) {
        if (*String == Char) last = String;
        if (*String == 0) return (wchar_t *)last;
    }
}

wchar_t *NativeWcsstr(const wchar_t *String, const wchar_t *Part)
{
    size_t length = NativeWcslen(Part);
    for (;; String++) {
        if (NativeWcsncmp(String, Part, length) == 0) return (wchar_t *)String;
        if (*String == 0) return nullptr;
    }
}

wchar_t *NativeWmemcpy(wchar_t *Dest, const wchar_t *Src, size_t Count)
{
    for (size_t i = 0; i < Count; i++) Dest[i] = Src[i];
    return Dest;
}
