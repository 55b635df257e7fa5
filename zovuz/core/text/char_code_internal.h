// Character codes, inside the library: the conversion tables and the per-code readers and
// writers that the single-character calls, the converter and the string family share.
#pragma once

#include <stdint.h>

#include "zovuz/core/text/char_code.h"

// ---- tables ----------------------------------------------------------------------------------

// Table slots of the table codes, in the order of the stored tables.
enum CharCodeTableSlot {
    CHAR_CODE_TABLE_932 = 0,
    CHAR_CODE_TABLE_936,
    CHAR_CODE_TABLE_949,
    CHAR_CODE_TABLE_950,
    CHAR_CODE_TABLE_1252,
    CHAR_CODE_TABLE_32764,
    CHAR_CODE_TABLE_COUNT
};

// The slot of a table code, or -1.
int CharCodeTableSlotOf(int CharCodeFormat);
// Code -> Unicode and Unicode -> code (65536 entries each, 0 where nothing maps; all 0 when the
// platform lacks the code page). Both build the tables when needed; null for a bad slot.
const uint16_t *CharCodeForwardTable(int Slot);
const uint16_t *CharCodeReverseTable(int Slot);

// Fills a forward table (65536 entries, already zeroed) from the platform's own code-page data.
// Codes that the readers can't produce (a lone lead byte, a pair with a zero trail) stay 0.
// 0 / -1. Lives in the platform layer.
int BuildCharCodeForwardTable(int CharCodeFormat, uint16_t *Forward);

// ---- the library's code record ----------------------------------------------------------------

// Makes the choice of SetDefaultCharCodeFormat for a given OEM code page.
int SetDefaultCharCodeFormatFor(int OemCodePage);
// The raw record, without the default choice.
int GetRawCharCodeFormat(void);
int GetRawWideCharCodeFormat(void);
// Back to the state at process start (nothing chosen); for tests.
void ResetCharCodeRecord(void);

// ---- per-code readers and writers --------------------------------------------------------------

namespace charcode {

// Families of codes that read and write alike.
enum Family {
    FAMILY_SJIS,  // 932: lead bytes 0x81-0x9F, 0xE0-0xFC
    FAMILY_DBCS,  // 936, 949, 950: lead bytes 0x80-0xFF
    FAMILY_BYTE,  // 1252, 32764, 32765
    FAMILY_UTF16LE,
    FAMILY_UTF16BE,
    FAMILY_UTF32LE,
    FAMILY_UTF32BE,
    FAMILY_UTF8,
    FAMILY_NONE
};

inline Family FamilyOf(int CharCodeFormat)
{
    switch (CharCodeFormat) {
        case CHAR_CODE_SHIFTJIS:
            return FAMILY_SJIS;
        case CHAR_CODE_GBK:
        case CHAR_CODE_UHC:
        case CHAR_CODE_BIG5:
            return FAMILY_DBCS;
        case CHAR_CODE_WINDOWS_1252:
        case CHAR_CODE_OWN_SINGLE_BYTE:
        case CHAR_CODE_UNICODE_BYTE:
            return FAMILY_BYTE;
        case CHAR_CODE_UTF16LE:
            return FAMILY_UTF16LE;
        case CHAR_CODE_UTF16BE:
            return FAMILY_UTF16BE;
        case CHAR_CODE_UTF32LE:
            return FAMILY_UTF32LE;
        case CHAR_CODE_UTF32BE:
            return FAMILY_UTF32BE;
        case CHAR_CODE_UTF8:
            return FAMILY_UTF8;
        default:
            return FAMILY_NONE;
    }
}

constexpr int UnitSize(Family F)
{
    return F == FAMILY_UTF16LE || F == FAMILY_UTF16BE   ? 2
           : F == FAMILY_UTF32LE || F == FAMILY_UTF32BE ? 4
           : F == FAMILY_NONE                           ? -1
                                                        : 1;
}

inline bool IsSjisLead(uint8_t B) { return IsCp932LeadByte(B); }

inline uint32_t Load16(const uint8_t *P, bool Big)
{
    return Big ? (uint32_t(P[0]) << 8 | P[1]) : (uint32_t(P[1]) << 8 | P[0]);
}

inline uint32_t Load32(const uint8_t *P, bool Big)
{
    return Big ? (uint32_t(P[0]) << 24 | uint32_t(P[1]) << 16 | uint32_t(P[2]) << 8 | P[3])
               : (uint32_t(P[3]) << 24 | uint32_t(P[2]) << 16 | uint32_t(P[1]) << 8 | P[0]);
}

// Reads the character at P. Returns its length in bytes and its code in *Code; at the
// terminator the unit size with code 0; 0 at an invalid start or a character cut short by the
// terminator (the following units are looked at only while none of them is zero).
template <Family F>
inline int ReadChar(const uint8_t *P, uint32_t *Code)
{
    if constexpr (F == FAMILY_SJIS || F == FAMILY_DBCS) {
        const uint8_t Lead = P[0];
        const bool IsLead = F == FAMILY_SJIS ? IsSjisLead(Lead) : Lead >= 0x80;
        if (!IsLead) {
            *Code = Lead;
            return 1;
        }
        if (P[1] == 0) return 0;
        *Code = uint32_t(Lead) << 8 | P[1];
        return 2;
    } else if constexpr (F == FAMILY_BYTE) {
        *Code = P[0];
        return 1;
    } else if constexpr (F == FAMILY_UTF16LE || F == FAMILY_UTF16BE) {
        constexpr bool Big = F == FAMILY_UTF16BE;
        const uint32_t High = Load16(P, Big);
        if (High < 0xD800 || High > 0xDBFF) {
            *Code = High;
            return 2;
        }
        // The second unit is not checked for being a low surrogate; only a terminator there
        // ends the text, so a pair is never read across it.
        const uint32_t Low = Load16(P + 2, Big);
        if (Low == 0) return 0;
        *Code = (((High & 0x3FF) << 10) | (Low & 0x3FF)) + 0x10000;
        return 4;
    } else if constexpr (F == FAMILY_UTF32LE || F == FAMILY_UTF32BE) {
        *Code = Load32(P, F == FAMILY_UTF32BE);
        return 4;
    } else if constexpr (F == FAMILY_UTF8) {
        const uint8_t Lead = P[0];
        if (Lead < 0x80) {
            *Code = Lead;
            return 1;
        }
        int Length;
        uint32_t Value;
        if (Lead < 0xC0)
            return 0;  // a continuation byte
        else if (Lead < 0xE0) {
            Length = 2;
            Value = Lead & 0x1F;
        } else if (Lead < 0xF0) {
            Length = 3;
            Value = Lead & 0x0F;
        } else if (Lead < 0xF8) {
            Length = 4;
            Value = Lead & 0x07;
        } else if (Lead < 0xFC) {
            Length = 5;
            Value = Lead & 0x03;
        } else if (Lead < 0xFE) {
            Length = 6;
            Value = Lead & 0x01;
        } else
            return 0;  // 0xFE, 0xFF
        // Following bytes are taken by their low six bits without further checks; a zero
        // among them means the sequence was cut short.
        for (int i = 1; i < Length; i++) {
            const uint8_t Next = P[i];
            if (Next == 0) return 0;
            Value = Value << 6 | (Next & 0x3F);
        }
        *Code = Value;
        return Length;
    } else {
        return 0;
    }
}

// Bytes needed to write Code, 0 when the code can't hold it.
template <Family F>
inline int CharBytes(uint32_t Code)
{
    if constexpr (F == FAMILY_SJIS || F == FAMILY_DBCS)
        return Code < 0x100 ? 1 : Code <= 0xFFFF ? 2 : 0;
    else if constexpr (F == FAMILY_BYTE)
        return Code <= 0xFF ? 1 : 0;
    else if constexpr (F == FAMILY_UTF16LE || F == FAMILY_UTF16BE)
        return Code < 0x10000 ? 2 : Code <= 0x10FFFF ? 4 : 0;
    else if constexpr (F == FAMILY_UTF32LE || F == FAMILY_UTF32BE)
        return 4;
    else if constexpr (F == FAMILY_UTF8)
        return Code < 0x80          ? 1
               : Code < 0x800       ? 2
               : Code < 0x10000     ? 3
               : Code < 0x200000    ? 4
               : Code < 0x4000000   ? 5
               : Code <= 0x7FFFFFFF ? 6
                                    : 0;
    else
        return 0;
}

inline void Store16(uint8_t *D, uint32_t V, bool Big)
{
    D[Big ? 0 : 1] = uint8_t(V >> 8);
    D[Big ? 1 : 0] = uint8_t(V);
}

// Writes Code, which must be writable (CharBytes > 0) and must fit. Returns the bytes written.
template <Family F>
inline int WriteChar(uint32_t Code, uint8_t *D)
{
    if constexpr (F == FAMILY_SJIS || F == FAMILY_DBCS) {
        if (Code < 0x100) {
            D[0] = uint8_t(Code);
            return 1;
        }
        D[0] = uint8_t(Code >> 8);
        D[1] = uint8_t(Code);
        return 2;
    } else if constexpr (F == FAMILY_BYTE) {
        D[0] = uint8_t(Code);
        return 1;
    } else if constexpr (F == FAMILY_UTF16LE || F == FAMILY_UTF16BE) {
        constexpr bool Big = F == FAMILY_UTF16BE;
        if (Code < 0x10000) {
            Store16(D, Code, Big);
            return 2;
        }
        Store16(D, 0xD800 | ((Code - 0x10000) >> 10), Big);
        Store16(D + 2, 0xDC00 | (Code & 0x3FF), Big);
        return 4;
    } else if constexpr (F == FAMILY_UTF32LE || F == FAMILY_UTF32BE) {
        for (int i = 0; i < 4; i++) D[F == FAMILY_UTF32BE ? 3 - i : i] = uint8_t(Code >> (8 * i));
        return 4;
    } else if constexpr (F == FAMILY_UTF8) {
        const int Length = CharBytes<F>(Code);
        if (Length == 1) {
            D[0] = uint8_t(Code);
            return 1;
        }
        static constexpr uint8_t LeadMark[7] = {0, 0, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC};
        for (int i = Length - 1; i > 0; i--) {
            D[i] = uint8_t(0x80 | (Code & 0x3F));
            Code >>= 6;
        }
        D[0] = uint8_t(LeadMark[Length] | Code);
        return Length;
    } else {
        return 0;
    }
}

// Runs Op::Run<F>(Args...) for a family chosen at run time; unsupported families give 0.
template <typename Op, typename... Args>
inline int OnFamily(Family F, Args... A)
{
    switch (F) {
        case FAMILY_SJIS:
            return Op::template Run<FAMILY_SJIS>(A...);
        case FAMILY_DBCS:
            return Op::template Run<FAMILY_DBCS>(A...);
        case FAMILY_BYTE:
            return Op::template Run<FAMILY_BYTE>(A...);
        case FAMILY_UTF16LE:
            return Op::template Run<FAMILY_UTF16LE>(A...);
        case FAMILY_UTF16BE:
            return Op::template Run<FAMILY_UTF16BE>(A...);
        case FAMILY_UTF32LE:
            return Op::template Run<FAMILY_UTF32LE>(A...);
        case FAMILY_UTF32BE:
            return Op::template Run<FAMILY_UTF32BE>(A...);
        case FAMILY_UTF8:
            return Op::template Run<FAMILY_UTF8>(A...);
        default:
            return 0;
    }
}

struct ReadOp
{
    template <Family F>
    static int Run(const uint8_t *P, uint32_t *Code)
    {
        return ReadChar<F>(P, Code);
    }
};
struct BytesOp
{
    template <Family F>
    static int Run(uint32_t Code)
    {
        return CharBytes<F>(Code);
    }
};
struct WriteOp
{
    template <Family F>
    static int Run(uint32_t Code, uint8_t *D)
    {
        return WriteChar<F>(Code, D);
    }
};

// Reads one character of any family: the ReadChar contract.
inline int ReadAny(Family F, const uint8_t *P, uint32_t *Code) { return OnFamily<ReadOp>(F, P, Code); }
// Bytes needed to write Code in any family (0 when it can't be written).
inline int BytesAny(Family F, uint32_t Code) { return OnFamily<BytesOp>(F, Code); }
// Writes Code in any family; it must be writable and fit.
inline int WriteAny(Family F, uint32_t Code, uint8_t *D) { return OnFamily<WriteOp>(F, Code, D); }

// True when the unit at P is a zero unit of the given size.
inline bool IsZeroUnit(const uint8_t *P, int Unit)
{
    for (int i = 0; i < Unit; i++)
        if (P[i] != 0) return false;
    return true;
}

}  // namespace charcode

// ---- the core's own calls, not part of the public header ----

// Builds the conversion tables of the table codes (932, 936, 949, 950, 1252, 32764) once; the
// converters call it on first use. 0, or -1 when the tables could not be had.
int SetupCharCodeTables(void);

// 1, 2 or 4; -1 for an unsupported code.
int GetCharCodeUnitSize(int CharCodeFormat);

// Byte length of the character starting at CharCode; -1 when no character can start there
// (an invalid lead, a character cut short by the terminator, a null pointer, unsupported code).
// At the terminator the length of one unit.
int GetCharCodeBytes(const char *CharCode, int CharCodeFormat);

// Decodes a string into 32-bit character codes with a zero at the end; Dest null measures.
// Returns the bytes of the decoded array, its zero included (0 for an unsupported code).
int DecodeCharCodeString(const char *String, int CharCodeFormat, uint32_t *Dest);

// Characters before the terminator or the first invalid start.
int GetCharCodeCharCount(const char *String, int CharCodeFormat);

// The position CharNum characters on; earlier at the terminator or an invalid start.
const char *CharCodeAdvance(const char *String, int CharCodeFormat, int CharNum);

// Current directory with paths in the wide code. Set: 0 / -1. Get: the path, cut at a whole
// character to fit BufferBytes (always terminated when a unit fits); returns Buffer.
int SetCurrentDirectoryCharCode(const wchar_t *Path);
wchar_t *GetCurrentDirectoryCharCode(wchar_t *Buffer, size_t BufferBytes);
