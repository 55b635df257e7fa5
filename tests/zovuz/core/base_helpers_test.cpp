// Base helpers: the 64/128-bit arithmetic against independent reference arithmetic, memory
// operations on overlapping ranges, truncating conversions, the character-code record and the
// string calls that work in the library's current codes.
#include <gtest/gtest.h>

#include <math.h>

#include <random>
#include <string>

#include "zovuz/core/base_helpers.h"
#include "zovuz/core/text/char_code.h"
#include "zovuz/core/text/char_code_internal.h"

namespace {

// Reference 128-bit arithmetic on eight 16-bit digits, schoolbook style: a different road from
// the helpers' 32-bit partial products and bit-by-bit division.
struct Digits
{
    uint32_t D[8] = {}; // least significant first, each below 65536
};

Digits FromHalves(uint64_t High, uint64_t Low)
{
    Digits R;
    for (int i = 0; i < 4; i++)
    {
        R.D[i] = uint32_t(Low >> (16 * i)) & 0xFFFF;
        R.D[i + 4] = uint32_t(High >> (16 * i)) & 0xFFFF;
    }
    return R;
}

UInt128 ToHalves(const Digits &V)
{
    UInt128 R = {0, 0};
    for (int i = 0; i < 4; i++)
    {
        R.Low |= uint64_t(V.D[i]) << (16 * i);
        R.High |= uint64_t(V.D[i + 4]) << (16 * i);
    }
    return R;
}

Digits ReferenceMultiply(uint64_t A, uint64_t B)
{
    const Digits X = FromHalves(0, A), Y = FromHalves(0, B);
    uint64_t Sum[9] = {};
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++)
            Sum[i + j] += uint64_t(X.D[i]) * Y.D[j];
    Digits R;
    uint64_t Carry = 0;
    for (int k = 0; k < 8; k++)
    {
        Carry += Sum[k];
        R.D[k] = uint32_t(Carry & 0xFFFF);
        Carry >>= 16;
    }
    return R;
}

// -1, 0, 1
int ReferenceCompare(const Digits &A, const Digits &B)
{
    for (int k = 7; k >= 0; k--)
        if (A.D[k] != B.D[k])
            return A.D[k] < B.D[k] ? -1 : 1;
    return 0;
}

Digits ReferenceAdd(const Digits &A, const Digits &B)
{
    Digits R;
    uint32_t Carry = 0;
    for (int k = 0; k < 8; k++)
    {
        Carry += A.D[k] + B.D[k];
        R.D[k] = Carry & 0xFFFF;
        Carry >>= 16;
    }
    return R;
}

TEST(BaseHelpers, MultiplicationMatchesReferenceArithmetic)
{
    std::mt19937_64 Random(1123);
    const uint64_t Edges[] = {0, 1, 0xFFFFFFFFull, 0x100000000ull, ~0ull, 0x8000000000000000ull};
    for (int Case = 0; Case < 20000; Case++)
    {
        uint64_t A = Random(), B = Random();
        if (Case < 36)
        {
            A = Edges[Case % 6];
            B = Edges[Case / 6];
        }
        else if (Case % 3 == 0)
            A >>= Random() % 64;
        UInt128 Product;
        UInt64MulTo128(&A, &B, &Product);
        const UInt128 Expected = ToHalves(ReferenceMultiply(A, B));
        ASSERT_EQ(Expected.Low, Product.Low) << A << " * " << B;
        ASSERT_EQ(Expected.High, Product.High) << A << " * " << B;
    }
}

// The quotient q of N / d must satisfy q * d <= N < q * d + d once the part of the quotient
// above 64 bits (High / d, exact in 64-bit arithmetic) is taken out of N.
TEST(BaseHelpers, DivisionMatchesReferenceArithmetic)
{
    std::mt19937_64 Random(1167);
    for (int Case = 0; Case < 20000; Case++)
    {
        const uint64_t Divisor = Case % 4 == 0 ? Random() >> (Random() % 64) : Random() | 1;
        if (Divisor == 0)
            continue;
        const UInt128 Dividend = {Random(), Case % 2 ? Random() : Random() % Divisor};
        uint64_t Quotient = 12345;
        UInt128DivBy64(&Dividend, Divisor, &Quotient);
        const Digits Rest = FromHalves(Dividend.High % Divisor, Dividend.Low);
        const Digits Below = ReferenceMultiply(Quotient, Divisor);
        const Digits Above = ReferenceAdd(Below, FromHalves(0, Divisor));
        ASSERT_LE(ReferenceCompare(Below, Rest), 0) << Case;
        ASSERT_LT(ReferenceCompare(Rest, Above), 0) << Case;
    }
}

TEST(BaseHelpers, DivisionEdgeCases)
{
    const struct { uint64_t High, Low, Divisor, Quotient; } Cases[] = {
        {1, 5, 2, (1ull << 63) + 2},          // 2^64 + 5 by 2
        {1ull << 36, 0, 1, 0},                // 2^100 by 1: the low 64 bits
        {0, 1000000ull * 3579545, 3579545, 1000000},
        {5, 7, 0, 0},                         // a zero divisor gives 0 and returns
        {~0ull, ~0ull, ~0ull, 1},             // (2^128 - 1) / (2^64 - 1) = 2^64 + 1
    };
    for (const auto &C : Cases)
    {
        const UInt128 Dividend = {C.Low, C.High};
        uint64_t Quotient = 99;
        UInt128DivBy64(&Dividend, C.Divisor, &Quotient);
        EXPECT_EQ(C.Quotient, Quotient) << C.High << ":" << C.Low << " / " << C.Divisor;
    }
    // The clock's use: counter * 1,000,000 / frequency without overflow.
    const uint64_t Counter = 0x0123456789ABCDEFull, Million = 1000000;
    UInt128 Product;
    UInt64MulTo128(&Counter, &Million, &Product);
    uint64_t Micro;
    UInt128DivBy64(&Product, 10000000, &Micro);
    EXPECT_EQ(Counter / 10, Micro);

    const uint64_t Big = (1ull << 32) + 4;
    EXPECT_EQ((1ull << 31) + 2, DivU64ByU32(&Big, 2));
    EXPECT_EQ(0u, DivU64ByU32(&Big, 0));
    std::mt19937_64 Random(64);
    for (int Case = 0; Case < 1000; Case++)
    {
        const uint64_t N = Random();
        const uint32_t D = uint32_t(Random()) | 1;
        ASSERT_EQ(N / D, DivU64ByU32(&N, D));
    }
}

TEST(BaseHelpers, TruncatingConversions)
{
    EXPECT_EQ(-2, DoubleToInt64(-2.7));
    EXPECT_EQ(2, DoubleToInt64(2.7));
    EXPECT_EQ(1ll << 53, DoubleToInt64(9007199254740992.0));
    EXPECT_EQ(INT64_MAX, DoubleToInt64(1e300));
    EXPECT_EQ(INT64_MIN, DoubleToInt64(-1e300));
    EXPECT_EQ(0, DoubleToInt64(NAN));
    const float In[4] = {1.9f, -1.9f, 0.5f, -0.5f};
    int Out[4];
    FloatToIntArray4(In, Out);
    EXPECT_EQ(1, Out[0]);
    EXPECT_EQ(-1, Out[1]);
    EXPECT_EQ(0, Out[2]);
    EXPECT_EQ(0, Out[3]);
    const float Huge[4] = {3e9f, -3e9f, NAN, 2147483520.0f};
    FloatToIntArray4(Huge, Out);
    EXPECT_EQ(INT32_MAX, Out[0]);
    EXPECT_EQ(INT32_MIN, Out[1]);
    EXPECT_EQ(0, Out[2]);
    EXPECT_EQ(2147483520, Out[3]);
}

TEST(BaseHelpers, SinglePrecisionFunctionsRoundDoubleResults)
{
    EXPECT_EQ(1024.0f, PowF(2.0f, 10.0f));
    EXPECT_EQ(float(exp(1.0)), ExpF(1.0f));
    EXPECT_EQ(float(acos(0.25)), AcosF(0.25f));
    EXPECT_EQ(3.0f, SqrtF(9.0f));
    EXPECT_EQ(2.0, Log10D(100.0));
    float S, C;
    SinCosF(0.5f, &S, &C);
    EXPECT_EQ(float(sin(0.5)), S);
    EXPECT_EQ(float(cos(0.5)), C);
    double SD, CD;
    SinCosD(1.0, &SD, &CD);
    EXPECT_EQ(sin(1.0), SD);
    EXPECT_EQ(atan2(1.0, -1.0), Atan2D(1.0, -1.0));
}

TEST(BaseHelpers, MemoryOperations)
{
    // Moving 10 bytes from p to p + 3 and back keeps them in order.
    char Block[16] = "0123456789ABCDE";
    MemMove(Block + 3, Block, 10);
    EXPECT_EQ(std::string("0120123456789DE"), std::string(Block, 15));
    MemMove(Block, Block + 3, 10);
    EXPECT_EQ(std::string("0123456789789DE"), std::string(Block, 15));
    MemMove(Block, Block, 10);
    MemMove(nullptr, nullptr, 0);

    // 1 for any difference, whichever side is larger.
    EXPECT_EQ(1, MemCompare("abc", "abd", 3));
    EXPECT_EQ(1, MemCompare("abd", "abc", 3));
    EXPECT_EQ(0, MemCompare("abc", "abd", 2));
    EXPECT_EQ(0, MemCompare(nullptr, nullptr, 0));

    char Copy[8] = {};
    MemCopy(Copy, "abcdefg", 7);
    EXPECT_STREQ("abcdefg", Copy);
    MemSet(Copy, 'z', 3);
    EXPECT_STREQ("zzzdefg", Copy);
    MemCopy(nullptr, nullptr, 0);
    MemSet(nullptr, 0, 0);

    uint32_t Words[5] = {1, 1, 1, 1, 1};
    MemFill32(Words, 0xDEADBEEF, 4);
    EXPECT_EQ(0xDEADBEEFu, Words[0]);
    EXPECT_EQ(0xDEADBEEFu, Words[3]);
    EXPECT_EQ(1u, Words[4]);
}

TEST(BaseHelpers, CharacterCodeRecord)
{
    ResetCharCodeRecord();
    SetCharCodeFormatFromCodePage(1251);
    EXPECT_EQ(1251, GetRawCharCodeFormat());
    EXPECT_EQ(1, GetCharSetIndex());
    EXPECT_EQ(1200, GetRawWideCharCodeFormat());
    SetCharCodeFormatFromCodePage(949);
    EXPECT_EQ(2, GetCharSetIndex());
    SetCharCodeFormatFromCodePage(1251);
    EXPECT_EQ(2, GetCharSetIndex()); // an unknown page keeps the index
    EXPECT_EQ(1251, GetCurrentCharCodeFormat());
    SetCharCodeFormatFromCodePage(65001);
    EXPECT_EQ(7, GetCharSetIndex());

    // A wide code set first is kept.
    ResetCharCodeRecord();
    SetWideCharCodeFormat(1201);
    SetCharCodeFormatFromCodePage(932);
    EXPECT_EQ(1201, GetWideCharCodeFormat());
    SetCharSetIndex(4);
    EXPECT_EQ(4, GetCharSetIndex());

    // An index chosen before any code still gets a code at first use.
    ResetCharCodeRecord();
    SetCharSetIndex(3);
    EXPECT_NE(0, GetCurrentCharCodeFormat());
    EXPECT_EQ(3, GetCharSetIndex());
    ResetCharCodeRecord();
}

TEST(BaseHelpers, StringCallsUseTheCurrentCodes)
{
    ResetCharCodeRecord();
    SetCharCodeFormatFromCodePage(932);

    // Narrow calls in 932: a cut keeps whole characters, the length counts characters.
    char Narrow[8];
    CharStrCopyS(Narrow, 4, "a\x82\xA0\x82\xA2");
    EXPECT_STREQ("a\x82\xA0", Narrow);
    EXPECT_EQ(2, CharStrLength(Narrow));
    CharStrCatS(Narrow, sizeof Narrow, "xyz");
    EXPECT_STREQ("a\x82\xA0xyz", Narrow);
    EXPECT_EQ(-1, CharStrCompare("abc", "abd"));

    wchar_t Wide[8];
    WideStrCopyS(Wide, 6, L"abcdef");
    EXPECT_EQ(std::wstring(L"ab"), Wide);
    WideStrCatS(Wide, sizeof Wide, L"cdefghij");
    EXPECT_EQ(std::wstring(L"abcdefg"), Wide);
    WideStrCopy(Wide, L"xy");
    WideStrCat(Wide, L"z");
    EXPECT_EQ(std::wstring(L"xyz"), Wide);
    EXPECT_EQ(Wide + 1, WideStrChr(Wide, 'y'));
    EXPECT_EQ(Wide + 1, WideStrStr(Wide, L"yz"));
    EXPECT_EQ(nullptr, WideStrStr(Wide, L"zz"));
    EXPECT_EQ(1, WideStrCompare(L"b", L"a"));
    wchar_t Filled[6] = {9, 9, 9, 9, 9, 9};
    WideStrNCopyS(Filled, sizeof Filled, L"ab", 4);
    EXPECT_EQ(0, memcmp(Filled, L"ab\0\0", 8));
    EXPECT_EQ(9, Filled[4]);
    EXPECT_EQ(std::wstring(L"-ff"), IntToWideString(-255, Wide, 16));

    // Print through the library's engine in the current codes.
    EXPECT_EQ(4, FormatWideStringN(Wide, 8, L"%d-%S", 12, "\x82\xA0"));
    EXPECT_EQ(std::wstring(L"12-\u3042"), Wide);
    EXPECT_EQ(7, FormatWideString(Wide, L"%03d%s", 7, L"abcd"));
    EXPECT_EQ(std::wstring(L"007abcd"), Wide);
    EXPECT_EQ(4, FormatCharStringN(Narrow, 5, "%s", "\x82\xA0\x82\xA2"));
    EXPECT_STREQ("\x82\xA0\x82\xA2", Narrow);
    ResetCharCodeRecord();
}

} // namespace
