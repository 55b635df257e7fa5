// Forced into every file of the native fuzz build (clang -include). The build keeps the Windows
// data model where the readers' records depend on it: wchar_t is a 16-bit UTF-16 unit
// (-fshort-wchar) and doubles and 64-bit integers are 8-aligned in records (-malign-double).
// The C library's wide-string functions count 32-bit units, so the few the library calls are
// taken over here by 16-bit versions (wide_native.cpp); the build fails when a portable file
// calls one that is not (fuzz/CMakeLists.txt).
#pragma once

#include <stddef.h>
#include <wchar.h>

#ifdef __cplusplus
extern "C" {
#endif
size_t NativeWcslen(const wchar_t *String);
wchar_t *NativeWcscpy(wchar_t *Dest, const wchar_t *Src);
wchar_t *NativeWcsncpy(wchar_t *Dest, const wchar_t *Src, size_t Count);
int NativeWcscmp(const wchar_t *A, const wchar_t *B);
int NativeWcsncmp(const wchar_t *A, const wchar_t *B, size_t Count);
wchar_t *NativeWcschr(const wchar_t *String, wchar_t Char);
wchar_t *NativeWcsrchr(const wchar_t *String, wchar_t Char);
wchar_t *NativeWcsstr(const wchar_t *String, const wchar_t *Part);
wchar_t *NativeWmemcpy(wchar_t *Dest, const wchar_t *Src, size_t Count);
#ifdef __cplusplus
}
#endif

#define wcslen NativeWcslen
#define wcscpy NativeWcscpy
#define wcsncpy NativeWcsncpy
#define wcscmp NativeWcscmp
#define wcsncmp NativeWcsncmp
#define wcschr NativeWcschr
#define wcsrchr NativeWcsrchr
#define wcsstr NativeWcsstr
#define wmemcpy NativeWmemcpy
