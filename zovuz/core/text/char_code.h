// Character codes: the library's one model of text in many encodings.
//
// A string is a zero-terminated run of code units in one character code (a CharCodeFormat id
// below); every library call that takes text says which code it is in. Strings are passed as
// byte pointers whatever the unit size (1, 2 or 4 bytes); sizes of buffers are in bytes unless
// a call says otherwise.
//
// A character code (the 32-bit value of one character) is: for the double-byte codes the byte,
// or the two bytes as lead * 256 + trail; for 1252, 32764 and 32765 the byte; for the Unicode
// codes the code point (UTF-8 reaches 31 bits).
//
// Readers never look past a terminator: a double-byte lead, a UTF-16 high surrogate or a UTF-8
// lead byte whose character is cut short by the terminator counts as an invalid start, which
// ends the text for every scanner. Writers never write past the room they are given.
#pragma once

#include <stddef.h>
#include <stdint.h>

// CharCodeFormat ids. Any other id is unsupported: unit size -1, conversions give 0.
constexpr int CHAR_CODE_SHIFTJIS = 932;       // Shift-JIS, double-byte
constexpr int CHAR_CODE_GBK = 936;            // simplified Chinese, double-byte
constexpr int CHAR_CODE_UHC = 949;            // Korean, double-byte
constexpr int CHAR_CODE_BIG5 = 950;           // traditional Chinese, double-byte
constexpr int CHAR_CODE_WINDOWS_1252 = 1252;  // Windows Latin-1, single byte
constexpr int CHAR_CODE_UTF16LE = 1200;       // the library's wide code
constexpr int CHAR_CODE_UTF16BE = 1201;
constexpr int CHAR_CODE_UTF8 = 65001;
constexpr int CHAR_CODE_OWN_SINGLE_BYTE = 32764;  // the library's own single-byte table (Cyrillic)
constexpr int CHAR_CODE_UNICODE_BYTE = 32765;     // bytes whose values are Unicode 0-255
constexpr int CHAR_CODE_UTF32LE = 32766;
constexpr int CHAR_CODE_UTF32BE = 32767;

// Chooses the current codes once: the multibyte code follows the OEM code page (1252, 32764,
// 950, 936, 949; anything else gives 932), the wide code becomes 1200. Nothing happens when a
// character set is already chosen. Returns 0.
int SetDefaultCharCodeFormat(void);

// The library's current codes. Each runs the default choice first when no code is chosen yet.
int GetCurrentCharCodeFormat(void);  // the current multibyte code: text arguments of the library's calls
int GetWideCharCodeFormat(void);     // the wide code, 1200 unless set otherwise

// ---- single characters -----------------------------------------------------------------------

// The character code starting at CharCode; *CharBytes (may be null) receives its length in
// bytes. At the terminator 0 with the length of one unit; at an invalid start 0 with length 0.
uint32_t GetCharCode(const char *CharCode, int CharCodeFormat, int *CharBytes);

// Writes one character: the bytes written, 0 when it doesn't fit in DestBytes or can't be
// written in that code. A null Dest only measures.
int PutCharCode(uint32_t CharCode, int CharCodeFormat, char *Dest, size_t DestBytes);
// The same without a room check: Dest must hold the character (at most 6 bytes). Callers that
// know a "PutCharCode (code, code page, destination)" with three arguments want this one; with
// a room in bytes they want PutCharCode.
int PutCharCodeUnchecked(uint32_t CharCode, int CharCodeFormat, char *Dest);

// The character in the target code, 0 when it has none there. 32765 counts as Unicode 0-255.
uint32_t ConvertCharCodeOne(uint32_t CharCode, int SrcCharCodeFormat, int DestCharCodeFormat);

// ---- strings ---------------------------------------------------------------------------------

// Converts a string: the bytes written including the terminator; 0 when not even the terminator
// fits (nothing is written). Output stops at the last whole character that fits together with
// the terminator. A null Dest measures: the result is the size a full conversion needs. A
// character with no counterpart in a table code becomes a zero character.
int ConvertCharCode(const char *Src, int SrcCharCodeFormat, char *Dest, size_t DestBytes, int DestCharCodeFormat);

// Units before the terminator (-1 for an unsupported code or a null string): bytes in a
// multibyte code, 16-bit units in UTF-16. Not characters: a caller that wants a "string length
// in characters" of a code page counts them with GetCharCode (the library's own files with
// GetCharCodeCharCount).
int GetCharCodeStringLength(int CharCodeFormat, const char *String);

// String family: every call takes the code first, works on units of the code's unit size and
// compares raw unit values. Sizes are in bytes; N counts units. The sized copies cut at the last
// whole character that fits with the terminator.
char *CharCodeStrCopy(int CharCodeFormat, char *Dest, const char *Src);
char *CharCodeStrCopyS(int CharCodeFormat, char *Dest, size_t DestBytes, const char *Src);
char *CharCodeStrCat(int CharCodeFormat, char *Dest, const char *Src);
char *CharCodeStrCatS(int CharCodeFormat, char *Dest, size_t DestBytes, const char *Src);
// Copies at most N units and zero-fills the rest of the N; no terminator when N were copied.
char *CharCodeStrNCopy(int CharCodeFormat, char *Dest, const char *Src, size_t N);
// As above within DestBytes: an N that reaches the end of the buffer is cut one unit short and
// that last unit zeroed, so the buffer always ends terminated.
char *CharCodeStrNCopyS(int CharCodeFormat, char *Dest, size_t DestBytes, const char *Src, size_t N);
int CharCodeStrCmp(int CharCodeFormat, const char *A, const char *B);            // -1, 0, 1
int CharCodeStrCmpAscii(int CharCodeFormat, const char *A, const char *AsciiB);  // B is 8-bit text
int CharCodeStrNCompare(int CharCodeFormat, const char *A, const char *B, size_t N);
// First character equal to CharCode, or null.
char *CharCodeStrChr(int CharCodeFormat, const char *String, uint32_t CharCode);
// First occurrence of Pattern, or null.
char *CharCodeStrStr(int CharCodeFormat, const char *String, const char *Pattern);
// a-z become A-Z in place, trail bytes of double-byte characters untouched. Returns String.
char *CharCodeStrUpper(int CharCodeFormat, char *String);

// Skips to the first digit or '-', then reads an optional '-' and decimal digits (wrapping at 32
// bits). Null or no digit gives 0.
int CharCodeAtoi(int CharCodeFormat, const char *String);
// Writes Value in Radix (2-36, lower-case letters above 9, '-' before a negative value) with a
// terminator; Buffer must hold 33 characters plus the terminator. Returns Buffer; a radix out
// of range writes an empty string.
char *CharCodeItoa(int CharCodeFormat, int Value, char *Buffer, int Radix);

// ---- code page 932 text ----------------------------------------------------------------------

// A byte that starts a double-byte character in code page 932; its trail byte may equal '\\',
// '/', '.' or ':', so code that looks for those walks the text character by character.
inline bool IsCp932LeadByte(unsigned char Byte)
{
    return (Byte >= 0x81 && Byte <= 0x9F) || (Byte >= 0xE0 && Byte <= 0xFC);
}

// Where the parts of a code page 932 path begin, as byte offsets into the path: a leading "X:"
// drive ends at DriveEnd (0 without one); the folder runs from there to NameStart, just after the
// last '\\' or '/' that is a whole character; the file name's extension starts at its last '.'
// (ExtensionStart; Length when the name has no '.'). A lead byte at the very end counts alone.
struct Cp932PathParts
{
    size_t DriveEnd;
    size_t NameStart;
    size_t ExtensionStart;
    size_t Length;
};
Cp932PathParts SplitCp932Path(const char *Path);
