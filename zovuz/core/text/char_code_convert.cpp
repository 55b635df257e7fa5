// Character codes: the string converter between every pair of codes.
//
// Three paths: a copy when both codes are the same, a direct routine for each pair among the
// six frequent codes (932, 1200, 1201, 32766, 32767, 65001, and from them to 32765), and a
// general path (read, convert one, write) for every other pair. Every path stops at the last
// whole character that fits together with the terminator, so a short buffer never leaves holes
// in the text.
#include <string.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The ASCII run reads 16 bytes at a time, which can reach past the terminator (never past the
// page that holds it). The address sanitizer counts that as an overflow, so the fuzz build
// takes the character-by-character path, which reads only what it converts.
#if defined(__SSE2__) && !defined(__SANITIZE_ADDRESS__)
#if defined(__has_feature)
#if !__has_feature(address_sanitizer)
#define TARVEX_VECTOR_ASCII_RUN 1
#endif
#else
#define TARVEX_VECTOR_ASCII_RUN 1
#endif
#endif

#include "zovuz/core/text/char_code_internal.h"

using namespace charcode;

namespace {

inline void PutTerminator(uint8_t *D, int Unit)
{
    for (int i = 0; i < Unit; i++) D[i] = 0;
}

// Same code on both sides: whole characters are copied as they stand. Units that don't read as
// a character (an invalid UTF-8 byte, a lead byte cut short) are copied one by one, so nothing
// of the text is lost when it fits.
template <Family F>
int CopySameCode(const uint8_t *P, uint8_t *Out, size_t Room)
{
    constexpr int Unit = UnitSize(F);
    size_t Used = 0;
    while (!IsZeroUnit(P, Unit)) {
        uint32_t Code;
        int Length = ReadChar<F>(P, &Code);
        if (Length == 0) Length = Unit;
        if (Out != nullptr) {
            if (Used + Length + Unit > Room) break;
            memcpy(Out + Used, P, Length);
        }
        Used += Length;
        P += Length;
    }
    if (Out != nullptr) PutTerminator(Out + Used, Unit);
    return int(Used + Unit);
}

struct CopySameOp
{
    template <Family F>
    static int Run(const uint8_t *P, uint8_t *Out, size_t Room)
    {
        return CopySameCode<F>(P, Out, Room);
    }
};

// A direct routine. S is the source family (FAMILY_SJIS means 932 through its forward table),
// D the target (FAMILY_SJIS means 932 through its reverse table, FAMILY_BYTE means 32765).
// Characters above 255 bound for 32765, code points above 0xFFFF bound for 932, and code points
// the target form can't hold at all are dropped; a character with no table entry becomes a zero
// character.
template <Family S, Family D, bool Write>
int ConvertDirectPass(const uint8_t *P, uint8_t *Out, size_t Room, const uint16_t *Forward, const uint16_t *Reverse)
{
    constexpr int Unit = UnitSize(D);
    size_t Used = 0;
    for (;;) {
        uint32_t Code;
        const int Length = ReadChar<S>(P, &Code);
        if (Length == 0 || Code == 0) break;
        P += Length;
        if constexpr (S == FAMILY_SJIS) Code = Forward[Code];
        if constexpr (D == FAMILY_BYTE) {
            if (Code > 0xFF) continue;
        } else if constexpr (D == FAMILY_SJIS) {
            if (Code > 0xFFFF) continue;
            Code = Reverse[Code];
        }
        const int Need = CharBytes<D>(Code);
        if (Need == 0) continue;
        if constexpr (Write) {
            if (Used + Need + Unit > Room) break;
            WriteChar<D>(Code, Out + Used);
        }
        Used += Need;
    }
    if constexpr (Write) PutTerminator(Out + Used, Unit);
    return int(Used + Unit);
}

// A null output measures: the same pass without the room check and the writes.
template <Family S, Family D>
int ConvertDirect(const uint8_t *P, uint8_t *Out, size_t Room, const uint16_t *Forward, const uint16_t *Reverse)
{
    return Out != nullptr ? ConvertDirectPass<S, D, true>(P, Out, Room, Forward, Reverse)
                          : ConvertDirectPass<S, D, false>(P, Out, Room, Forward, Reverse);
}

using DirectRoutine = int (*)(const uint8_t *, uint8_t *, size_t, const uint16_t *, const uint16_t *);

// Rows: source 932, 1200, 1201, 32766, 32767, 65001; columns: the same targets, then 32765.
#define TARVEX_DIRECT_ROW(S)                                                                                   \
    {                                                                                                          \
        ConvertDirect<S, FAMILY_SJIS>, ConvertDirect<S, FAMILY_UTF16LE>, ConvertDirect<S, FAMILY_UTF16BE>,     \
            ConvertDirect<S, FAMILY_UTF32LE>, ConvertDirect<S, FAMILY_UTF32BE>, ConvertDirect<S, FAMILY_UTF8>, \
            ConvertDirect<S, FAMILY_BYTE>                                                                      \
    }
const DirectRoutine DirectRoutines[6][7] = {
    TARVEX_DIRECT_ROW(FAMILY_SJIS),    TARVEX_DIRECT_ROW(FAMILY_UTF16LE), TARVEX_DIRECT_ROW(FAMILY_UTF16BE),
    TARVEX_DIRECT_ROW(FAMILY_UTF32LE), TARVEX_DIRECT_ROW(FAMILY_UTF32BE), TARVEX_DIRECT_ROW(FAMILY_UTF8),
};
#undef TARVEX_DIRECT_ROW

int DirectIndexOf(int CharCodeFormat)
{
    switch (CharCodeFormat) {
        case CHAR_CODE_SHIFTJIS:
            return 0;
        case CHAR_CODE_UTF16LE:
            return 1;
        case CHAR_CODE_UTF16BE:
            return 2;
        case CHAR_CODE_UTF32LE:
            return 3;
        case CHAR_CODE_UTF32BE:
            return 4;
        case CHAR_CODE_UTF8:
            return 5;
        case CHAR_CODE_UNICODE_BYTE:
            return 6;
        default:
            return -1;
    }
}

// UTF-8 to UTF-16LE, the library's most frequent conversion (paths, titles, log text): the
// direct routine's rule, with runs of ASCII widened sixteen bytes at a time and the common two-
// and three-byte forms decoded in place. A wide step reads only within the page of its first
// byte, so a source that ends just before a page it may not touch is never read past its end.
// While the room left holds the most that sixteen more source bytes can give (a character
// started among them ends within six bytes, and no byte gives more than two of output), the
// room is checked once per sixteen bytes rather than once per character.
constexpr size_t kUtf8BlockBytes = 16;
constexpr size_t kUtf8BlockRoom = 2 * (kUtf8BlockBytes + 6) + 2;

inline void StoreUnit16(uint8_t *D, uint32_t Unit)
{
    const uint16_t Value = uint16_t(Unit);
    memcpy(D, &Value, 2);  // the code runs on little-endian processors only
}

// One character of UTF-8 at *P written as UTF-16LE at Out + *Used: false at the end of the text
// (the terminator, an invalid start, a character cut short) or when it doesn't fit with the
// terminator. Checked = false leaves out the room check (the caller has made sure of it).
template <bool Checked>
inline bool Utf8CharToUtf16le(const uint8_t *&P, uint8_t *Out, size_t &Used, size_t Room)
{
    const uint32_t Lead = P[0];
    if (Lead - 1u < 0x7Fu) {
        if (Checked && Used + 4 > Room) return false;
        StoreUnit16(Out + Used, Lead);
        Used += 2;
        P += 1;
        return true;
    }
    uint32_t Code;
    int Length;
    if ((Lead & 0xF0) == 0xE0 && P[1] != 0 && P[2] != 0) {
        Code = (Lead & 0x0F) << 12 | (P[1] & 0x3Fu) << 6 | (P[2] & 0x3Fu);
        Length = 3;
    } else if ((Lead & 0xE0) == 0xC0 && P[1] != 0) {
        Code = (Lead & 0x1F) << 6 | (P[1] & 0x3Fu);
        Length = 2;
    } else {
        Length = ReadChar<FAMILY_UTF8>(P, &Code);
        if (Length == 0) return false;
    }
    if (Code == 0) return false;  // the terminator, or an overlong form of it
    P += Length;
    if (Code < 0x10000) {
        if (Checked && Used + 4 > Room) return false;
        StoreUnit16(Out + Used, Code);
        Used += 2;
    } else if (Code <= 0x10FFFF) {
        if (Checked && Used + 6 > Room) return false;
        WriteChar<FAMILY_UTF16LE>(Code, Out + Used);
        Used += 4;
    }
    // Code points beyond UTF-16 are dropped, as the direct routines drop them.
    return true;
}

int ConvertUtf8ToUtf16le(const uint8_t *P, uint8_t *Out, size_t Room)
{
    size_t Used = 0;
    while (Used + kUtf8BlockRoom <= Room) {
#if defined(TARVEX_VECTOR_ASCII_RUN)
        if (P[0] - 1u < 0x7Fu && (uintptr_t(P) & 4095) <= 4096 - 16) {
            const __m128i Zero = _mm_setzero_si128();
            const __m128i Bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(P));
            // A byte with its top bit set, or a zero byte, ends the run.
            const unsigned Stop = unsigned(_mm_movemask_epi8(_mm_or_si128(Bytes, _mm_cmpeq_epi8(Bytes, Zero))));
            if (Stop == 0) {
                _mm_storeu_si128(reinterpret_cast<__m128i *>(Out + Used), _mm_unpacklo_epi8(Bytes, Zero));
                _mm_storeu_si128(reinterpret_cast<__m128i *>(Out + Used + 16), _mm_unpackhi_epi8(Bytes, Zero));
                Used += 32;
                P += 16;
                continue;
            }
            if (__builtin_ctz(Stop) >= 8) {
                _mm_storeu_si128(reinterpret_cast<__m128i *>(Out + Used), _mm_unpacklo_epi8(Bytes, Zero));
                Used += 16;
                P += 8;
                continue;
            }
        }
#endif
        const uint8_t *BlockEnd = P + kUtf8BlockBytes;
        do {
            if (!Utf8CharToUtf16le<false>(P, Out, Used, Room)) goto Done;
        } while (P < BlockEnd);
    }
    // The last stretch of room: every character checked.
    while (Utf8CharToUtf16le<true>(P, Out, Used, Room)) {
    }
Done:
    PutTerminator(Out + Used, 2);
    return int(Used + 2);
}

// Every other pair: one character at a time through the single-character conversion. A
// character the target can't write ends the text here.
int ConvertGeneral(const uint8_t *P, int SrcCode, uint8_t *Out, size_t Room, int DestCode)
{
    const Family SF = FamilyOf(SrcCode);
    const Family DF = FamilyOf(DestCode);
    const int Unit = UnitSize(DF);
    size_t Used = 0;
    for (;;) {
        uint32_t Code;
        const int Length = ReadAny(SF, P, &Code);
        if (Length == 0 || Code == 0) break;
        P += Length;
        Code = ConvertCharCodeOne(Code, SrcCode, DestCode);
        const int Need = BytesAny(DF, Code);
        if (Need == 0) break;
        if (Out != nullptr) {
            if (Used + Need + Unit > Room) break;
            WriteAny(DF, Code, Out + Used);
        }
        Used += Need;
    }
    if (Out != nullptr) PutTerminator(Out + Used, Unit);
    return int(Used + Unit);
}

}  // namespace

int ConvertCharCode(const char *Src, int SrcCharCodeFormat, char *Dest, size_t DestBytes, int DestCharCodeFormat)
{
    const Family SF = FamilyOf(SrcCharCodeFormat);
    const Family DF = FamilyOf(DestCharCodeFormat);
    if (Src == nullptr || SF == FAMILY_NONE || DF == FAMILY_NONE) return 0;
    if (Dest != nullptr && DestBytes < size_t(UnitSize(DF))) return 0;
    const uint8_t *P = reinterpret_cast<const uint8_t *>(Src);
    uint8_t *Out = reinterpret_cast<uint8_t *>(Dest);

    if (SrcCharCodeFormat == DestCharCodeFormat) return OnFamily<CopySameOp>(SF, P, Out, DestBytes);

    const int Row = DirectIndexOf(SrcCharCodeFormat);
    const int Column = DirectIndexOf(DestCharCodeFormat);
    if (SF == FAMILY_UTF8 && DF == FAMILY_UTF16LE && Out != nullptr) return ConvertUtf8ToUtf16le(P, Out, DestBytes);
    if (Row >= 0 && Row < 6 && Column >= 0) {
        const uint16_t *Forward = Row == 0 ? CharCodeForwardTable(CHAR_CODE_TABLE_932) : nullptr;
        const uint16_t *Reverse = Column == 0 ? CharCodeReverseTable(CHAR_CODE_TABLE_932) : nullptr;
        return DirectRoutines[Row][Column](P, Out, DestBytes, Forward, Reverse);
    }
    return ConvertGeneral(P, SrcCharCodeFormat, Out, DestBytes, DestCharCodeFormat);
}

int DecodeCharCodeString(const char *String, int CharCodeFormat, uint32_t *Dest)
{
    const Family F = FamilyOf(CharCodeFormat);
    if (String == nullptr || F == FAMILY_NONE) return 0;
    const uint8_t *P = reinterpret_cast<const uint8_t *>(String);
    int Count = 0;
    for (;;) {
        uint32_t Code;
        const int Length = ReadAny(F, P, &Code);
        if (Length == 0 || Code == 0) break;
        P += Length;
        if (Dest != nullptr) Dest[Count] = Code;
        Count++;
    }
    if (Dest != nullptr) Dest[Count] = 0;
    return (Count + 1) * 4;
}
