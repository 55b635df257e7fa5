// Character codes: exact bytes for every kind of conversion, truncation at whole characters in
// every path, the double-byte tables, the string family, and hostile bytes in every code read
// and written without a single byte out of bounds.
#include <gtest/gtest.h>

#include <windows.h>

#include <random>
#include <string>
#include <vector>

#include "char_code_fence.h"
#include "zovuz/core/base_helpers.h"
#include "zovuz/core/text/char_code.h"
#include "zovuz/core/text/char_code_internal.h"
#include "zovuz/core/memory/memory.h"
#include "zovuz/core/memory/memory_internal.h"

namespace {

const int AllCodes[] = {932, 936, 949, 950, 1252, 32764, 32765, 1200, 1201, 32766, 32767, 65001};

// Bytes from hex text: "82 A0 41".
std::string Hex(const char *Text)
{
    std::string Out;
    for (const char *P = Text; *P != 0;)
    {
        if (*P == ' ')
        {
            P++;
            continue;
        }
        Out += char(std::stoi(std::string(P, 2), nullptr, 16));
        P += 2;
    }
    return Out;
}

std::string ToHex(const std::string &Bytes)
{
    std::string Out;
    char Two[4];
    for (unsigned char B : Bytes)
    {
        snprintf(Two, sizeof Two, Out.empty() ? "%02X" : " %02X", B);
        Out += Two;
    }
    return Out;
}

// A string in a code with its terminator appended.
std::string Terminated(std::string Bytes, int Code)
{
    return Bytes.append(size_t(GetCharCodeUnitSize(Code)), '\0');
}

// Text of Unicode code points written in a code (terminator included).
std::string Encode(const std::vector<uint32_t> &Text, int Code)
{
    std::string Out;
    char Buffer[8];
    for (uint32_t U : Text)
    {
        const uint32_t C = ConvertCharCodeOne(U, CHAR_CODE_UTF32LE, Code);
        const int N = PutCharCode(C, Code, Buffer, sizeof Buffer);
        Out.append(Buffer, size_t(N));
    }
    return Terminated(Out, Code);
}

// Converts and returns exactly the bytes the call reported as written.
std::string Convert(const std::string &Src, int From, int To, size_t Room = 256)
{
    std::vector<char> Out(Room + 8, '\x5A');
    const int N = ConvertCharCode(Src.data(), From, Out.data(), Room, To);
    return std::string(Out.data(), size_t(N));
}

// True when the code can carry the code point there and back.
bool Carries(int Code, uint32_t U)
{
    const uint32_t C = ConvertCharCodeOne(U, CHAR_CODE_UTF32LE, Code);
    return C != 0 && ConvertCharCodeOne(C, Code, CHAR_CODE_UTF32LE) == U &&
           PutCharCode(C, Code, nullptr, 0) > 0;
}

TEST(CharCode, UnitSizesAndSupportedCodes)
{
    const struct { int Code, Unit; } Cases[] = {
        {932, 1}, {936, 1}, {949, 1}, {950, 1}, {1252, 1}, {32764, 1}, {32765, 1},
        {1200, 2}, {1201, 2}, {32766, 4}, {32767, 4}, {65001, 1}, {0, -1}, {1251, -1}, {437, -1},
    };
    for (const auto &C : Cases)
        EXPECT_EQ(C.Unit, GetCharCodeUnitSize(C.Code)) << C.Code;
    char Out[16] = "untouched";
    EXPECT_EQ(0, ConvertCharCode("abc", 437, Out, sizeof Out, 1200));
    EXPECT_EQ(0, ConvertCharCode("abc", 932, Out, sizeof Out, 437));
    EXPECT_STREQ("untouched", Out);
    EXPECT_EQ(0u, ConvertCharCodeOne('a', 932, 437));
    EXPECT_EQ(-1, GetCharCodeBytes("a", 437));
}

TEST(CharCode, ReadsOneCharacterByEachCodesRule)
{
    const struct { const char *Bytes; int Code; uint32_t Char; int Length; } Cases[] = {
        {"82 A0 41 00", 932, 0x82A0, 2},
        {"41 00", 932, 0x41, 1},
        {"B1 00", 932, 0xB1, 1},               // half-width katakana is one byte
        {"D6 D0 00", 936, 0xD6D0, 2},
        {"80 41 00", 949, 0x8041, 2},          // any byte from 0x80 leads in 936, 949, 950
        {"E9 00", 1252, 0xE9, 1},
        {"3D D8 00 DE 00 00", 1200, 0x1F600, 4},
        {"D8 3D DE 00 00 00", 1201, 0x1F600, 4},
        {"3D D8 41 00 00 00", 1200, 0x1F441, 4}, // the second unit is not checked
        {"00 DE 00 00", 1200, 0xDE00, 2},        // a lone low surrogate reads as itself
        {"00 F6 01 00 00 00 00 00", 32766, 0x1F600, 4},
        {"00 01 F6 00 00 00 00 00", 32767, 0x1F600, 4},
        {"F0 9F 98 80 00", 65001, 0x1F600, 4},
        {"C3 A9 00", 65001, 0xE9, 2},
        {"FD BF BF BF BF BF 00", 65001, 0x7FFFFFFF, 6},
        {"00 41", 932, 0, 1},                    // the terminator: 0 and one unit
        {"00 00 41 00", 1200, 0, 2},
        {"80 41 00", 65001, 0, 0},               // a continuation byte can't start
        {"FE 41 00", 65001, 0, 0},
        // Cut short by the terminator: nothing past it is read, and it is no character.
        {"82 00 41 00", 932, 0, 0},
        {"B0 00 41 00", 950, 0, 0},
        {"3D D8 00 00 41 00", 1200, 0, 0},
        {"E3 81 00 41 00", 65001, 0, 0},
        {"F0 00 41 00", 65001, 0, 0},
    };
    for (const auto &C : Cases)
    {
        const std::string Bytes = Hex(C.Bytes);
        int Length = -5;
        EXPECT_EQ(C.Char, GetCharCode(Bytes.data(), C.Code, &Length)) << C.Bytes;
        EXPECT_EQ(C.Length, Length) << C.Bytes;
        const int Expected = C.Length == 0 ? -1 : C.Length;
        EXPECT_EQ(Expected, GetCharCodeBytes(Bytes.data(), C.Code)) << C.Bytes;
    }
}

TEST(CharCode, WritesOneCharacterInEachCodesForm)
{
    const struct { uint32_t Char; int Code; const char *Bytes; } Cases[] = {
        {0x82A0, 932, "82 A0"},
        {0x41, 932, "41"},
        {0xE9, 32765, "E9"},
        {0x1F600, 1200, "3D D8 00 DE"},
        {0x1F600, 1201, "D8 3D DE 00"},
        {0xFFFF, 1200, "FF FF"},
        {0x10FFFF, 1201, "DB FF DF FF"},
        {0x1F600, 32766, "00 F6 01 00"},
        {0x1F600, 32767, "00 01 F6 00"},
        {0x7F, 65001, "7F"},
        {0x80, 65001, "C2 80"},
        {0x7FF, 65001, "DF BF"},
        {0x800, 65001, "E0 A0 80"},
        {0x10000, 65001, "F0 90 80 80"},
        {0x200000, 65001, "F8 88 80 80 80"},
        {0x4000000, 65001, "FC 84 80 80 80 80"},
        {0x7FFFFFFF, 65001, "FD BF BF BF BF BF"},
        // What a code can't hold is refused, never cut to fewer bits.
        {0x110000, 1200, ""},
        {0x80000000, 65001, ""},
        {0x100, 1252, ""},
        {0x100, 32765, ""},
        {0x10000, 932, ""},
    };
    for (const auto &C : Cases)
    {
        const std::string Expected = Hex(C.Bytes);
        char Out[8] = {};
        EXPECT_EQ(int(Expected.size()), PutCharCode(C.Char, C.Code, nullptr, 0)) << C.Bytes;
        const int N = PutCharCode(C.Char, C.Code, Out, sizeof Out);
        EXPECT_EQ(Expected, std::string(Out, size_t(N))) << std::hex << C.Char;
        if (!Expected.empty())
        {
            // One byte short of room: nothing is written.
            char Short[8];
            memset(Short, 0x5A, sizeof Short);
            EXPECT_EQ(0, PutCharCode(C.Char, C.Code, Short, Expected.size() - 1));
            EXPECT_EQ(0x5A, Short[0]);
        }
    }
}

TEST(CharCode, ConvertsOneCharacterBetweenCodes)
{
    const struct { uint32_t Char; int From, To; uint32_t Expected; } Cases[] = {
        {0x82A0, 932, 1200, 0x3042},
        {0x3042, 65001, 932, 0x82A0},
        {0x1F600, 1200, 932, 0},        // beyond the tables
        {0xD6D0, 936, 950, 0xA4A4},     // 中 through Unicode
        {0xB0A1, 949, 32766, 0xAC00},
        {0x80, 1252, 1200, 0x20AC},
        {0xC0, 32764, 1200, 0x0410},    // the library's own table: Cyrillic
        {0x1F600, 32766, 65001, 0x1F600},
        {0xE9, 32765, 936, 0xA8A6},     // 32765 holds Unicode values
        {0x80, 1252, 32765, 0},         // the euro sign is beyond 255
        {0xE9, 1200, 32765, 0xE9},
        {0x100, 1200, 32765, 0},
        {0x4E2D, 1200, 1252, 0},
        {0x12345, 932, 932, 0x12345},   // equal codes: unchanged
    };
    for (const auto &C : Cases)
        EXPECT_EQ(C.Expected, ConvertCharCodeOne(C.Char, C.From, C.To))
            << std::hex << C.Char << " " << std::dec << C.From << "->" << C.To;
}

TEST(CharCode, ConvertsStringsByteExactInEveryPath)
{
    const struct { const char *Src; int From, To; const char *Expected; } Cases[] = {
        // direct routines
        {"82 A0 41", 932, 1200, "42 30 41 00 00 00"},
        {"3D D8 00 DE", 1200, 65001, "F0 9F 98 80 00"},
        {"F0 9F 98 80", 65001, 1201, "D8 3D DE 00 00 00"},
        {"E9 00 00 01 78 00", 1200, 32765, "E9 78 00"},       // U+0100 is dropped
        {"61 F0 9F 98 80 62", 65001, 932, "61 62 00"},         // beyond the tables: dropped
        {"41 00 E9 00 42 00", 1200, 932, "41 00 42 00"},       // no 932 form: a zero character
        {"E3 81 82", 65001, 32767, "00 00 30 42 00 00 00 00"},
        {"00 00 30 42", 32767, 932, "82 A0 00"},
        // the general path
        {"D6 D0 41", 936, 1200, "2D 4E 41 00 00 00"},
        {"3D D8 00 DE 00 AC", 1200, 949, "00 B0 A1 00"},       // beyond the tables: a zero character
        {"A4 A4", 950, 65001, "E4 B8 AD 00"},
        {"80 C0 41", 1252, 32764, "88 00 41 00"},              // € in both, À not in 1251
        {"C0", 32764, 1201, "04 10 00 00"},
        {"E9", 32765, 1252, "E9 00"},
        {"E9", 1252, 32765, "E9 00"},
        // equal codes copy whole characters as they stand, invalid bytes included
        {"82 A0 FF 41", 932, 932, "82 A0 FF 41 00"},
        {"80 C3 A9", 65001, 65001, "80 C3 A9 00"},
    };
    for (const auto &C : Cases)
    {
        const std::string Src = Terminated(Hex(C.Src), C.From);
        EXPECT_EQ(C.Expected, ToHex(Convert(Src, C.From, C.To))) << C.Src << " " << C.From << "->" << C.To;
        EXPECT_EQ(int(Hex(C.Expected).size()), ConvertCharCode(Src.data(), C.From, nullptr, 0, C.To));
    }
}

TEST(CharCode, TenBytesOfUtf16HoldFourCharactersAndTheTerminator)
{
    const std::string Src = Terminated("abcdef", 65001);
    EXPECT_EQ(Hex("61 00 62 00 63 00 64 00 00 00"), Convert(Src, 65001, 1200, 10));
    // Below one unit of room nothing is written and 0 comes back.
    char Out[2] = {'x', 'y'};
    EXPECT_EQ(0, ConvertCharCode(Src.data(), 65001, Out, 1, 1200));
    EXPECT_EQ('x', Out[0]);
    EXPECT_EQ(2, ConvertCharCode(Src.data(), 65001, Out, 2, 1200));
    EXPECT_EQ(0, Out[0] | Out[1]);
}

// A character that doesn't fit ends the output; a later, shorter one is not written after it
// (no holes in the text), in the direct, the general and the copying path alike.
TEST(CharCode, EveryPathCutsAtTheLastWholeCharacterThatFits)
{
    const uint32_t Candidates[] = {0x1F600, 'a', 0x3042, 'b', 0xE9, 'c', 0x4E2D, 'd',
                                   0xAC00, 'e', 0x0410, 'f', 0x20AC, 'g', 0xFF71, 'h'};
    CharCodeFence Fence(4096);
    for (int From : AllCodes)
        for (int To : AllCodes)
        {
            std::vector<uint32_t> Text;
            for (uint32_t U : Candidates)
                if (Carries(From, U) && Carries(To, U))
                    Text.push_back(U);
            const std::string Src = Encode(Text, From);
            const std::string Full = Convert(Src, From, To, 4096);
            const int Unit = GetCharCodeUnitSize(To);
            ASSERT_EQ(Encode(Text, To), Full) << From << "->" << To;
            // Ends of whole characters in the full output.
            std::vector<size_t> Ends = {0};
            for (size_t P = 0; P + Unit < Full.size();)
                Ends.push_back(P += size_t(GetCharCodeBytes(Full.data() + P, To)));
            for (size_t Room = 0; Room <= Full.size() + 2; Room++)
            {
                char *Out = Fence.Room(Room);
                const int N = ConvertCharCode(Src.data(), From, Out, Room, To);
                if (Room < size_t(Unit))
                {
                    EXPECT_EQ(0, N);
                    continue;
                }
                size_t Keep = 0;
                for (size_t End : Ends)
                    if (End + Unit <= Room)
                        Keep = End;
                ASSERT_EQ(int(Keep + Unit), N) << From << "->" << To << " room " << Room;
                EXPECT_EQ(Full.substr(0, Keep) + std::string(size_t(Unit), '\0'), std::string(Out, size_t(N)))
                    << From << "->" << To << " room " << Room;
            }
        }
}

// Every mapped code of each table survives the trip to Unicode and back (where several codes
// share a Unicode value, the highest code comes back, with the same Unicode value).
TEST(CharCode, EveryTableEntryRoundTripsThroughUnicode)
{
    const struct { int Code; int MinMapped; } Tables[] = {
        {932, 7000}, {936, 20000}, {949, 16000}, {950, 13000}, {1252, 250}, {32764, 250},
    };
    for (const auto &T : Tables)
    {
        const int Limit = T.Code == 1252 || T.Code == 32764 ? 256 : 65536;
        int Mapped = 0;
        for (int Code = 1; Code < Limit; Code++)
        {
            char Src[3] = {};
            const int N = PutCharCode(uint32_t(Code), T.Code, Src, 2);
            int Read = 0;
            if (GetCharCode(Src, T.Code, &Read) != uint32_t(Code) || Read != N)
                continue; // not a character this code's reader can produce
            char Wide[8];
            const int W = ConvertCharCode(Src, T.Code, Wide, sizeof Wide, 1200);
            if (W != 4 || (Wide[0] | Wide[1]) == 0)
                continue; // no Unicode value (a zero character) or none at all
            Mapped++;
            char Back[4] = {};
            ASSERT_GE(ConvertCharCode(Wide, 1200, Back, sizeof Back, T.Code), 2) << T.Code;
            int BackLength = 0;
            const uint32_t BackCode = GetCharCode(Back, T.Code, &BackLength);
            ASSERT_GE(BackCode, uint32_t(Code)) << T.Code << " " << std::hex << Code;
            char Again[8];
            ASSERT_EQ(4, ConvertCharCode(Back, T.Code, Again, sizeof Again, 1200));
            ASSERT_EQ(0, memcmp(Wide, Again, 2)) << T.Code << " " << std::hex << Code;
        }
        EXPECT_GE(Mapped, T.MinMapped) << T.Code;
        // Plain ASCII stays itself both ways in every table.
        for (uint32_t A = 1; A < 0x80; A++)
        {
            EXPECT_EQ(A, ConvertCharCodeOne(A, T.Code, 1200)) << T.Code;
            EXPECT_EQ(A, ConvertCharCodeOne(A, 1200, T.Code)) << T.Code;
        }
    }
    // Known points of the platform's tables.
    EXPECT_EQ(0x6F22u, ConvertCharCodeOne(0x8ABF, 932, 1200)); // 漢
    EXPECT_EQ(0xFF71u, ConvertCharCodeOne(0xB1, 932, 1200));   // ｱ
    EXPECT_EQ(0x835Cu, ConvertCharCodeOne(0x30BD, 1200, 932)); // ソ
}

TEST(CharCode, StringFamilyKeepsToItsRoom)
{
    for (int Code : {932, 1200, 32766})
    {
        const int U = GetCharCodeUnitSize(Code);
        const std::string Abc = Encode({'a', 'b', 'c'}, Code);
        const std::string Ab = Encode({'a', 'b'}, Code);
        std::vector<char> Out(64, '\x5A');

        // Copy with a size: size/unit - 1 units and the terminator; nothing below one unit.
        CharCodeStrCopyS(Code, Out.data(), 3 * U, Abc.data());
        EXPECT_EQ(Ab, std::string(Out.data(), 3 * U)) << Code;
        Out.assign(64, '\x5A');
        CharCodeStrCopyS(Code, Out.data(), U - 1 + (U == 1), Abc.data());
        EXPECT_EQ(U == 1 ? '\0' : '\x5A', Out[0]) << Code;

        // N-copy: zero-fills to N, no terminator when N units were copied.
        Out.assign(64, '\x5A');
        CharCodeStrNCopy(Code, Out.data(), Ab.data(), 4);
        EXPECT_EQ(Ab + std::string(size_t(U), '\0'), std::string(Out.data(), 4 * U));
        EXPECT_EQ('\x5A', Out[4 * U]);
        Out.assign(64, '\x5A');
        CharCodeStrNCopy(Code, Out.data(), Abc.data(), 2);
        EXPECT_EQ(Abc.substr(0, 2 * U), std::string(Out.data(), 2 * U));
        EXPECT_EQ('\x5A', Out[2 * U]);
        // The bounded form never leaves its buffer unterminated.
        Out.assign(64, '\x5A');
        CharCodeStrNCopyS(Code, Out.data(), 3 * U, Abc.data(), 10);
        EXPECT_EQ(Ab, std::string(Out.data(), 3 * U));
        EXPECT_EQ('\x5A', Out[3 * U]);

        // Appending within a size; a full destination is left alone.
        std::vector<char> Cat(Ab.begin(), Ab.end());
        Cat.resize(64, '\x5A');
        CharCodeStrCatS(Code, Cat.data(), 5 * U, Abc.data());
        EXPECT_EQ(Encode({'a', 'b', 'a', 'b'}, Code), std::string(Cat.data(), 5 * U));
        const std::vector<char> Before = Cat;
        CharCodeStrCatS(Code, Cat.data(), 5 * U, Abc.data());
        EXPECT_EQ(Before, Cat);
        std::vector<char> Unterminated(size_t(3 * U), 'q');
        CharCodeStrCatS(Code, Unterminated.data(), Unterminated.size(), Abc.data());
        EXPECT_EQ(std::vector<char>(size_t(3 * U), 'q'), Unterminated);
        CharCodeStrCat(Code, Cat.data(), Abc.data());
        EXPECT_EQ(Encode({'a', 'b', 'a', 'b', 'a', 'b', 'c'}, Code), std::string(Cat.data(), 8 * U));
        CharCodeStrCopy(Code, Out.data(), Abc.data());
        EXPECT_EQ(Abc, std::string(Out.data(), Abc.size()));
        EXPECT_EQ(3, GetCharCodeStringLength(Code, Abc.data()));
    }
    // A cut never splits a double-byte character or a UTF-16 pair.
    char Out[8];
    memset(Out, 0x5A, sizeof Out);
    CharCodeStrCopyS(932, Out, 3, Hex("41 82 A0 00").data());
    EXPECT_EQ(Hex("41 00"), std::string(Out, 2));
    const std::string Pair = Hex("41 00 3D D8 00 DE 00 00");
    CharCodeStrCopyS(1200, Out, 6, Pair.data());
    EXPECT_EQ(Hex("41 00 00 00"), std::string(Out, 4));
}

TEST(CharCode, StringFamilyComparesAndSearchesWholeCharacters)
{
    EXPECT_EQ(0, CharCodeStrCmp(932, "abc", "abc"));
    EXPECT_EQ(-1, CharCodeStrCmp(932, "abc", "abd"));
    EXPECT_EQ(1, CharCodeStrCmp(932, "abc", "ab"));
    EXPECT_EQ(1, CharCodeStrCmp(932, "\x82\xA0", "a")); // unsigned units
    EXPECT_EQ(0, CharCodeStrNCompare(932, "abcX", "abcY", 3));
    EXPECT_EQ(-1, CharCodeStrNCompare(932, "abcX", "abcY", 4));
    const std::string WideAbc = Encode({'a', 'b', 'c'}, 1200);
    EXPECT_EQ(0, CharCodeStrCmpAscii(1200, WideAbc.data(), "abc"));
    EXPECT_EQ(1, CharCodeStrCmpAscii(1200, WideAbc.data(), "ab"));
    EXPECT_EQ(-1, CharCodeStrCmpAscii(1200, WideAbc.data(), "abd"));

    // The trail byte 5C of ソ (83 5C) is not a backslash, nor 61 of 83 61 a letter.
    const std::string Sjis = Hex("83 5C 83 61 5C 61 00");
    EXPECT_EQ(Sjis.data() + 4, CharCodeStrChr(932, Sjis.data(), '\\'));
    EXPECT_EQ(Sjis.data() + 2, CharCodeStrChr(932, Sjis.data(), 0x8361));
    EXPECT_EQ(nullptr, CharCodeStrChr(932, Sjis.data(), 'x'));
    EXPECT_EQ(Sjis.data() + 4, CharCodeStrStr(932, Sjis.data(), "\\a"));
    EXPECT_EQ(nullptr, CharCodeStrStr(932, Sjis.data(), "\x5C\x83"));
    std::string Upper = Sjis;
    CharCodeStrUpper(932, &Upper[0]);
    EXPECT_EQ(Hex("83 5C 83 61 5C 41 00"), Upper);

    // UTF-8: a three-byte character is stepped over; a letter after it is found and raised.
    std::string Utf8 = Hex("E3 81 82 61 F0 9F 98 80 62 00");
    EXPECT_EQ(&Utf8[3], CharCodeStrChr(65001, Utf8.data(), 'a'));
    EXPECT_EQ(&Utf8[4], CharCodeStrChr(65001, Utf8.data(), 0x1F600));
    EXPECT_EQ(&Utf8[8], CharCodeStrStr(65001, Utf8.data(), "b"));
    CharCodeStrUpper(65001, &Utf8[0]);
    EXPECT_EQ(Hex("E3 81 82 41 F0 9F 98 80 42 00"), Utf8);

    // UTF-16 pairs are single characters.
    const std::string Wide = Encode({0x1F600, 'x', 0x3042}, 1200);
    EXPECT_EQ(Wide.data() + 4, CharCodeStrChr(1200, Wide.data(), 'x'));
    EXPECT_EQ(Wide.data() + 6, CharCodeStrStr(1200, Wide.data(), Encode({0x3042}, 1200).data()));
    EXPECT_EQ(3, GetCharCodeCharCount(Wide.data(), 1200));
    EXPECT_EQ(4, GetCharCodeStringLength(1200, Wide.data()));
    EXPECT_EQ(Wide.data() + 6, CharCodeAdvance(Wide.data(), 1200, 2));
    EXPECT_EQ(Wide.data() + 8, CharCodeAdvance(Wide.data(), 1200, 99));
    // The count and the advance end at an invalid start.
    const std::string Broken = Hex("61 80 62 00");
    EXPECT_EQ(1, GetCharCodeCharCount(Broken.data(), 65001));
    EXPECT_EQ(Broken.data() + 1, CharCodeAdvance(Broken.data(), 65001, 3));

    uint32_t Decoded[5];
    EXPECT_EQ(16, DecodeCharCodeString(Wide.data(), 1200, nullptr));
    EXPECT_EQ(16, DecodeCharCodeString(Wide.data(), 1200, Decoded));
    EXPECT_EQ(0x1F600u, Decoded[0]);
    EXPECT_EQ(0u, Decoded[3]);
}

TEST(CharCode, IntegerText)
{
    const struct { const char *Text; int Value; } Reads[] = {
        {"abc-12x", -12}, {"abc", 0}, {"  42", 42}, {"x-y7", 0}, {"4294967297", 1},
        {"-2147483648", int(0x80000000u)}, {"007", 7},
    };
    for (const auto &R : Reads)
    {
        EXPECT_EQ(R.Value, CharCodeAtoi(932, R.Text)) << R.Text;
        std::vector<uint32_t> Text;
        for (const char *P = R.Text; *P; P++)
            Text.push_back(uint8_t(*P));
        EXPECT_EQ(R.Value, CharCodeAtoi(1201, Encode(Text, 1201).data())) << R.Text;
    }
    EXPECT_EQ(0, CharCodeAtoi(932, nullptr));

    const struct { int Value, Radix; const char *Text; } Writes[] = {
        {-255, 16, "-ff"}, {0, 10, "0"}, {int(0x80000000u), 10, "-2147483648"},
        {35, 36, "z"}, {5, 2, "101"}, {7, 1, ""}, {7, 37, ""},
    };
    for (const auto &W : Writes)
    {
        char Narrow[40];
        EXPECT_STREQ(W.Text, CharCodeItoa(932, W.Value, Narrow, W.Radix));
        char Utf32[160];
        CharCodeItoa(32766, W.Value, Utf32, W.Radix);
        std::vector<uint32_t> Text;
        for (const char *P = W.Text; *P; P++)
            Text.push_back(uint8_t(*P));
        EXPECT_EQ(Encode(Text, 32766), std::string(Utf32, (strlen(W.Text) + 1) * 4));
    }
}

TEST(CharCode, DefaultCodeFollowsTheOemCodePage)
{
    const struct { int Oem, Code, Index; } Cases[] = {
        {1252, 1252, 5}, {32764, 32764, 6}, {950, 950, 3}, {936, 936, 4},
        {949, 949, 2}, {932, 932, 1}, {437, 932, 1}, {65001, 932, 1},
    };
    for (const auto &C : Cases)
    {
        ResetCharCodeRecord();
        SetDefaultCharCodeFormatFor(C.Oem);
        EXPECT_EQ(C.Code, GetCurrentCharCodeFormat()) << C.Oem;
        EXPECT_EQ(C.Index, GetCharSetIndex()) << C.Oem;
        EXPECT_EQ(1200, GetWideCharCodeFormat());
        // Once chosen, later choices change nothing.
        SetDefaultCharCodeFormatFor(C.Oem == 950 ? 936 : 950);
        EXPECT_EQ(C.Code, GetCurrentCharCodeFormat());
    }
    // The Japanese system of the tests reports OEM code page 932.
    ResetCharCodeRecord();
    if (GetOEMCP() == 932)
    {
        EXPECT_EQ(932, GetCurrentCharCodeFormat());
    }
    EXPECT_NE(0, GetCharSetIndex());
    ResetCharCodeRecord();
}

TEST(CharCode, CurrentDirectoryInTheWideCode)
{
    const std::wstring Folder = L"\u6F22\u5B57\u30D5\u30A9\u30EB\u30C0"; // 漢字フォルダ
    CreateDirectoryW(Folder.c_str(), nullptr);
    wchar_t Before[MAX_PATH];
    ASSERT_NE(nullptr, GetCurrentDirectoryCharCode(Before, sizeof Before));
    ASSERT_EQ(0, SetCurrentDirectoryCharCode(Folder.c_str()));
    wchar_t Now[MAX_PATH];
    GetCurrentDirectoryCharCode(Now, sizeof Now);
    const std::wstring Path = Now;
    EXPECT_EQ(Folder, Path.substr(Path.size() - Folder.size()));
    // A short buffer gets a cut, terminated path.
    wchar_t Short[4];
    GetCurrentDirectoryCharCode(Short, sizeof Short);
    EXPECT_EQ(Path.substr(0, 3), std::wstring(Short));
    EXPECT_EQ(-1, SetCurrentDirectoryCharCode(L"no such folder here"));
    EXPECT_EQ(-1, SetCurrentDirectoryCharCode(nullptr));
    ASSERT_EQ(0, SetCurrentDirectoryCharCode(Before));
    RemoveDirectoryW(Folder.c_str());
}

// Random bytes in every code, read and converted to every code: the source ends at a fenced
// page (any read past its terminator faults), the outputs are tracked blocks whose guards the
// heap check inspects.
TEST(CharCode, RandomBytesStayInBoundsInEveryCode)
{
    std::mt19937 Random(20261207);
    CharCodeFence SourceFence(256);
    CharCodeFence WorkFence(256);
    const uint8_t Interesting[] = {0x00, 0x80, 0x81, 0x9F, 0xA0, 0xBF, 0xC0, 0xDB, 0xDC, 0xD8,
                                   0xE0, 0xF0, 0xF8, 0xFC, 0xFE, 0xFF, 0x41, 0x5C, 0x7F, 0x01};
    for (int From : AllCodes)
    {
        const int Unit = GetCharCodeUnitSize(From);
        for (int Case = 0; Case < 3000; Case++)
        {
            std::string Bytes(size_t(Random() % 48) / Unit * Unit, '\0');
            for (char &B : Bytes)
                B = char(Random() % 3 == 0 ? Random() : Interesting[Random() % sizeof Interesting]);
            Bytes = Terminated(Bytes, From);
            const char *Src = SourceFence.Place(Bytes.data(), Bytes.size());

            const int To = AllCodes[Random() % 12];
            const int Needed = ConvertCharCode(Src, From, nullptr, 0, To);
            ASSERT_GE(Needed, GetCharCodeUnitSize(To));
            const size_t Room = Random() % size_t(Needed + 4);
            char *Out = static_cast<char *>(DxAlloc(Room + 1, __FILE__, __LINE__));
            ASSERT_NE(nullptr, Out);
            const int N = ConvertCharCode(Src, From, Out, Room, To);
            EXPECT_LE(size_t(N), Room);
            EXPECT_LE(N, Needed);
            if (Room >= size_t(Needed))
            {
                EXPECT_EQ(Needed, N);
            }
            DxFree(Out);

            // Exactly fenced output: the size a conversion asked for is all it touches.
            char *Exact = WorkFence.Room(size_t(Needed));
            EXPECT_EQ(Needed, ConvertCharCode(Src, From, Exact, size_t(Needed), To));

            const int DecodedBytes = DecodeCharCodeString(Src, From, nullptr);
            uint32_t *Decoded = reinterpret_cast<uint32_t *>(WorkFence.Room(size_t(DecodedBytes)));
            EXPECT_EQ(DecodedBytes, DecodeCharCodeString(Src, From, Decoded));
            EXPECT_EQ(DecodedBytes / 4 - 1, GetCharCodeCharCount(Src, From));

            CharCodeStrChr(From, Src, Random() % 2 ? 'A' : 0xFFFF);
            // The pattern: the last unit before the terminator (or the empty string).
            const size_t LastUnit = Bytes.size() > size_t(Unit) ? Bytes.size() - 2 * Unit : 0;
            CharCodeStrStr(From, Src, Src + LastUnit);
            CharCodeAtoi(From, Src);
            EXPECT_LE(CharCodeAdvance(Src, From, 1000), Src + Bytes.size() - Unit);
            char *Copy = WorkFence.Place(Bytes.data(), Bytes.size());
            CharCodeStrUpper(From, Copy);
            const size_t SmallBytes = size_t(Random() % 8 + 1) * Unit;
            CharCodeStrCopyS(From, WorkFence.Room(SmallBytes), SmallBytes, Src);
        }
        ASSERT_EQ(0, CheckMemory()) << From;
    }
}

// UTF-8 to UTF-16LE as the direct routine did it one character at a time, with no room limit:
// the reference for the converter's wide steps. Ends receives the end of each character written.
std::string ReferenceUtf8ToUtf16le(const char *Src, std::vector<size_t> *Ends)
{
    using namespace charcode;
    const uint8_t *P = reinterpret_cast<const uint8_t *>(Src);
    std::string Out;
    Ends->assign(1, 0);
    for (;;)
    {
        uint32_t Code;
        const int Length = ReadChar<FAMILY_UTF8>(P, &Code);
        if (Length == 0 || Code == 0)
            break;
        P += Length;
        const int Need = CharBytes<FAMILY_UTF16LE>(Code);
        if (Need == 0)
            continue;
        uint8_t Bytes[4];
        WriteChar<FAMILY_UTF16LE>(Code, Bytes);
        Out.append(reinterpret_cast<char *>(Bytes), size_t(Need));
        Ends->push_back(Out.size());
    }
    return Out;
}

// Long random UTF-8 (ASCII runs of every length, every sequence length up to six, encoded
// surrogates, overlong and beyond-UTF-16 forms, and a tail that is invalid or cut short),
// converted in the middle of a page and against the fence, into every room near the end of the
// output and a few others: the bytes are the reference's up to the last whole character that
// fits with the terminator, and nothing past them is touched.
TEST(CharCode, Utf8ToUtf16MatchesTheCharacterByCharacterRoutine)
{
    std::mt19937 Random(74);
    CharCodeFence SourceFence(8192);
    CharCodeFence OutFence(16384);
    const char *Forms[] = {"C3 A9", "E3 81 82", "E6 BC A2", "F0 9F 98 80", "ED A0 BD", "ED B8 80",
                           "F4 8F BF BF", "F7 BF BF BF", "F8 88 80 80 80", "FC 84 80 80 80 80", "C0 80", "DF BF"};
    const char *Tails[] = {"", "80", "BF 41", "FE", "FF", "C3", "E3 81", "F0 9F 98", "C3 00", "41 E3 00"};
    for (int Case = 0; Case < 300; Case++)
    {
        std::string Text;
        const size_t Length = Random() % 3000;
        while (Text.size() < Length)
        {
            if (Random() % 2 == 0)
                Text.append(Random() % 40 + 1, char(0x20 + Random() % 0x5F));
            else
                Text += Hex(Forms[Random() % (sizeof Forms / sizeof *Forms)]);
        }
        Text += Hex(Tails[Random() % (sizeof Tails / sizeof *Tails)]);
        Text = Terminated(Text, 65001);
        const char *Sources[] = {Text.data(), SourceFence.Place(Text.data(), Text.size())};
        for (const char *Src : Sources)
        {
            std::vector<size_t> Ends;
            const std::string Full = ReferenceUtf8ToUtf16le(Src, &Ends);
            std::vector<size_t> Rooms = {2, 3, Full.size() + 64, Random() % (Full.size() + 1) + 2};
            for (size_t Room = Full.size() + 2; Room + 90 > Full.size() + 2 && Room >= 2; Room--)
                Rooms.push_back(Room);
            for (size_t Room : Rooms)
            {
                size_t Keep = 0;
                for (size_t End : Ends)
                    if (End + 2 <= Room)
                        Keep = End;
                const std::string Want = Full.substr(0, Keep) + std::string(2, '\0');
                char *Out = OutFence.Room(Room, 0xCD);
                ASSERT_EQ(int(Want.size()), ConvertCharCode(Src, 65001, Out, Room, 1200)) << Case << " room " << Room;
                ASSERT_EQ(Want, std::string(Out, Want.size())) << Case << " room " << Room;
                ASSERT_EQ(std::string(Room - Want.size(), '\xCD'), std::string(Out + Want.size(), Room - Want.size()))
                    << Case << " room " << Room;
            }
        }
    }
}

} // namespace

// The one path splitter of code page 932 paths: drive, folder, name and extension offsets.
TEST(Cp932Path, SplitsAtWholeCharacters)
{
    struct Case { const char *path; size_t drive, name, ext; };
    const Case cases[] = {
        {"C:\\dir\\song.mdx", 2, 7, 11},
        {"C:song.v2.mdx", 2, 2, 9},
        {"dir.d/noext", 0, 6, 11},
        {"\\", 0, 1, 1},
        {"", 0, 0, 0},
        // 0x95 0x5C is one character whose trail byte equals '\\'; 0x81 0x2E one whose trail is '.'.
        {"C:\\\x95\x5C.pdx", 2, 3, 5},
        {"\x81\x2E" "a", 0, 0, 3},
        // A drive needs a single-byte first character; a lone lead byte at the end counts alone.
        {"\x81:x", 0, 0, 3},
        {"a\\\x81", 0, 2, 3},
    };
    for (const Case &c : cases) {
        Cp932PathParts parts = SplitCp932Path(c.path);
        EXPECT_EQ(parts.DriveEnd, c.drive) << c.path;
        EXPECT_EQ(parts.NameStart, c.name) << c.path;
        EXPECT_EQ(parts.ExtensionStart, c.ext) << c.path;
        EXPECT_EQ(parts.Length, strlen(c.path)) << c.path;
    }
}
