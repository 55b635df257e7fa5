// The library's one printf engine: writes formatted text in any character code (char_code.h).
//
// It follows the C printf family with the library's own rules, which callers rely on:
// - a conversion letter it does not know abandons the conversion: "%02N" writes N and reads no
//   argument ("Tr%02dEf%02Num" with 5 gives Tr05EfNum); "%Z" writes nothing, "%5-d" writes -d;
// - "%e" has three exponent digits (1.500000e+000); infinity prints as 1.#INF00, a NaN as
//   1.#QNAN0 under "%f"; an exact half is not rounded up ("%.0f" of 1.5 gives 1);
// - "%p" is upper-case hexadecimal with at least 8 digits; "%n" reads and stores nothing;
// - "%.0d" of 0 still writes 0; a null string writes nothing.
//
// Text pointers are byte pointers whatever the code's unit size. The format is in the output
// code. WideForm 0: "%s"/"%c" read the narrow-string code and "%S"/"%C" the wide-string code;
// WideForm 1 swaps them. Buffer lengths are in units of the output code (bytes for multibyte
// codes and UTF-8, 16-bit units for UTF-16, 32-bit units for UTF-32); one unit is always kept for
// the terminator, and output stops at the first character that does not fit.
//
// Result: units written without the terminator; 0 (nothing written) when the buffer cannot even
// hold the terminator; -1 when the format could not be decoded (no memory, unsupported output
// code, null buffer), the buffer untouched.
#pragma once

#include <stdarg.h>

// The length given to the unlimited forms.
#define CHAR_CODE_PRINT_UNLIMITED 0x7fffffff

int CharCodeFormatString(int DestCharCodeFormat, int WideForm, int NarrowCharCodeFormat, int WideCharCodeFormat,
                         char *Buffer, int BufferLength, const char *FormatString, va_list Args);

// Narrow form in the library's current multibyte code (output and "%s"), "%S" in its wide code;
// unlimited.
int FormatCharString(char *Buffer, const char *FormatString, ...);
