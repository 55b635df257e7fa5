// The printf engine: its own conversion rules, in each output code the library writes, and the
// room rule that keeps every result inside the caller's buffer.
#include "zovuz/core/text/format_print.h"
#include "zovuz/core/text/format_print_internal.h"

#include "zovuz/core/text/char_code.h"
#include "zovuz/core/text/char_code_internal.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

const int kOutputCodes[] = {CHAR_CODE_SHIFTJIS, CHAR_CODE_UTF8, CHAR_CODE_UTF16LE};

// Text in a code, terminator not included. Built with the platform's converters so that these
// tests do not lean on the library's own.
std::string Encode(const std::string &Utf8, int Code)
{
    if (Code == CHAR_CODE_UTF8)
        return Utf8;
    std::wstring wide(Utf8.size() + 1, L'\0');
    int units = MultiByteToWideChar(CP_UTF8, 0, Utf8.data(), static_cast<int>(Utf8.size()), &wide[0],
                                    static_cast<int>(wide.size()));
    wide.resize(static_cast<size_t>(units));
    if (Code == CHAR_CODE_UTF16LE)
        return std::string(reinterpret_cast<const char *>(wide.data()), wide.size() * 2);
    std::string out(wide.size() * 2 + 1, '\0');
    int bytes = WideCharToMultiByte(Code, 0, wide.data(), static_cast<int>(wide.size()), &out[0],
                                    static_cast<int>(out.size()), nullptr, nullptr);
    out.resize(static_cast<size_t>(bytes));
    return out;
}

std::string Terminated(std::string Text, int Code)
{
    Text.append(static_cast<size_t>(GetCharCodeUnitSize(Code)), '\0');
    return Text;
}

struct Printed
{
    int Result;         // what the engine returned
    std::string Bytes;  // the output up to the terminator, in the output code
};

// Formats Utf8Format (converted into the output code) into a buffer of Units units, narrow
// strings in 932 and wide strings in UTF-16 as the library passes them.
template <typename... Args>
Printed PrintIn(int Code, int Units, int WideForm, const std::string &Utf8Format, Args... Arguments)
{
    std::string format = Terminated(Encode(Utf8Format, Code), Code);
    int unit = GetCharCodeUnitSize(Code);
    std::vector<char> buffer(static_cast<size_t>(Units * unit) + 16, '\x5A');
    Printed printed;
    printed.Result = CharCodeSPrintf(Code, WideForm, CHAR_CODE_SHIFTJIS, CHAR_CODE_UTF16LE, buffer.data(), Units,
                                     format.data(), Arguments...);
    // Nothing beyond the buffer is touched.
    for (size_t i = static_cast<size_t>(Units * unit); i < buffer.size(); i++)
        EXPECT_EQ('\x5A', buffer[i]) << "byte " << i << " past the buffer was written";
    if (printed.Result >= 0 && Units > 0)
        printed.Bytes.assign(buffer.data(), static_cast<size_t>(printed.Result * unit));
    return printed;
}

#define EXPECT_PRINTS(expected, format, ...)                                                   \
    for (int code : kOutputCodes)                                                              \
    {                                                                                          \
        Printed printed = PrintIn(code, 256, 0, format, ##__VA_ARGS__);                        \
        EXPECT_EQ(Encode(expected, code), printed.Bytes) << "format " << format << " in " << code; \
        EXPECT_EQ(static_cast<int>(Encode(expected, code).size()) / GetCharCodeUnitSize(code), \
                  printed.Result) << "format " << format << " in " << code;                    \
    }

TEST(FormatPrint, UnknownLettersAbandonTheConversionWithoutReadingAnArgument)
{
    EXPECT_PRINTS("VstParameter.Tr05EfNum", "VstParameter.Tr%02dEf%02Num", 5, 2);
    EXPECT_PRINTS("VstParameter.Tr05EfNum2", "VstParameter.Tr%02dEf%02Num%d", 5, 2);
    EXPECT_PRINTS("Track.Tr03Sl12VST", "Track.Tr%02dSl%02dVST", 3, 12);
    EXPECT_PRINTS("-d", "%5-d", 1);
    EXPECT_PRINTS(".3f", "%.2.3f", 1.0);
    EXPECT_PRINTS("ab", "ab%");
    EXPECT_PRINTS("y", "%y");
    EXPECT_PRINTS("", "%Z");
    EXPECT_PRINTS("d", "%Zd");
    EXPECT_PRINTS("100%", "100%%");
    EXPECT_PRINTS("7", "%n%d", 7);
    EXPECT_PRINTS("5d", "%h5d");        // a digit after a size prefix abandons
}

TEST(FormatPrint, IntegersFollowTheLibrarysSignPrefixAndFillRules)
{
    EXPECT_PRINTS("-0042", "%05d", -42);
    EXPECT_PRINTS("42   |", "%-5d|", 42);
    EXPECT_PRINTS("+7", "%+d", 7);
    EXPECT_PRINTS(" 7", "% d", 7);
    EXPECT_PRINTS("7", "%+u", 7);
    EXPECT_PRINTS("0", "%.0d", 0);
    EXPECT_PRINTS("0x0", "%#x", 0);
    EXPECT_PRINTS("010", "%#o", 8);
    EXPECT_PRINTS("00", "%#o", 0);
    EXPECT_PRINTS("00001234", "%p", reinterpret_cast<void *>(0x1234));
    EXPECT_PRINTS("0X00ABCDEF", "%#p", reinterpret_cast<void *>(0xABCDEF));
    EXPECT_PRINTS("-1", "%hd", 65535);
    EXPECT_PRINTS("65535", "%hu", 0x1FFFF);
    EXPECT_PRINTS("1099511627776", "%lld", 1LL << 40);
    EXPECT_PRINTS("-1099511627776", "%I64d", -(1LL << 40));
    EXPECT_PRINTS("-5 7", "%I32d %ld", -5, 7);
    EXPECT_PRINTS("ffffffff FF 0XFF 17", "%x %X %#X %o", -1, 255, 255, 15);
    EXPECT_PRINTS("-2147483648", "%d", std::numeric_limits<int>::min());
    EXPECT_PRINTS("   00042", "%8.5d", 42);
    EXPECT_PRINTS("   42", "%05.2d", 42);  // a precision switches the 0 flag off
    EXPECT_PRINTS("   42|42|", "%*d|%*d|", 5, 42, -5, 42);
}

TEST(FormatPrint, FloatingPointUsesDoubleDigitLoopsAndOneRoundingStep)
{
    EXPECT_PRINTS("1", "%.0f", 1.5);
    EXPECT_PRINTS("2", "%.0f", 1.6);
    EXPECT_PRINTS("0.2", "%.1f", 0.25);
    EXPECT_PRINTS("3.141593", "%f", 3.14159265);
    EXPECT_PRINTS("  3.14", "%6.2f", 3.14159);
    EXPECT_PRINTS("-03.14", "%06.2f", -3.14159);
    EXPECT_PRINTS("3.14  |", "%-6.2f|", 3.14159);
    EXPECT_PRINTS("3.14", "%.*f", 2, 3.14159);
    EXPECT_PRINTS("0.000000", "%f", -0.0);
    EXPECT_PRINTS("1.", "%#.0f", 1.0);
    EXPECT_PRINTS("0.000000e+000", "%e", 0.0);
    EXPECT_PRINTS("1.500000e+000", "%e", 1.5);
    EXPECT_PRINTS("1.000E+001", "%.3E", 9.9996);
    EXPECT_PRINTS("-2.5e-003", "%.1e", -0.0025);
    EXPECT_PRINTS("100000", "%g", 100000.0);
    EXPECT_PRINTS("1e+006", "%g", 1000000.0);
    EXPECT_PRINTS("0.0001", "%g", 0.0001);
    EXPECT_PRINTS("1.23457e+008", "%g", 123456789.0);
    EXPECT_PRINTS("1E-010", "%G", 1e-10);
    EXPECT_PRINTS("0.5", "%g", 0.5);
    EXPECT_PRINTS("0", "%g", 0.0);
    EXPECT_PRINTS("1.00000", "%#g", 1.0);
    EXPECT_PRINTS("0x1.000000p+0", "%a", 1.0);
    EXPECT_PRINTS("0x1.8p+1", "%.1a", 3.0);
    EXPECT_PRINTS("0x1.0P-1", "%.1A", 0.5);
}

TEST(FormatPrint, InfinityAndNanHaveFixedTexts)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_PRINTS("1.#INF00", "%f", inf);
    EXPECT_PRINTS("-1.#INF00", "%f", -inf);
    EXPECT_PRINTS("+1.#INF00", "%+f", inf);
    EXPECT_PRINTS("1.#QNAN0", "%f", nan);
    EXPECT_PRINTS("1.#QNAN0", "%+f", -nan);  // a NaN has no sign
    EXPECT_PRINTS("1.#INF", "%g", inf);
    EXPECT_PRINTS("1.#QNAN", "%g", nan);
    EXPECT_PRINTS("1", "%.0f", inf);
    EXPECT_PRINTS("1.$", "%.1f", nan);
    EXPECT_PRINTS("1.#J|1.#R", "%.2f|%.2f", inf, nan);
    EXPECT_PRINTS("1.#IO|1.#QO", "%.3f|%.3f", inf, nan);
    EXPECT_PRINTS("1.#INF|1.#QNB", "%.4f|%.4f", inf, nan);
    EXPECT_PRINTS("1.#INF00E+000", "%E", inf);
    EXPECT_PRINTS("0x1.#QNAN0p+0", "%a", nan);
    EXPECT_PRINTS("  1.#INF00", "%10f", inf);
}

// A precision far beyond the buffer makes no more digits than can be seen, yet prints what a
// buffer large enough would begin with, padding included; a NaN or an infinity fills to any
// precision (these once overran the engine's text, or printed nothing).
TEST(FormatPrint, PrecisionsBeyondTheBufferPrintTheStartOfTheWholeText)
{
    const double inf = std::numeric_limits<double>::infinity();
    Printed filled = PrintIn(CHAR_CODE_UTF8, 4000, 0, "%.3000f", inf);
    EXPECT_EQ(3002, filled.Result);
    EXPECT_EQ("1.#INF" + std::string(2996, '0'), filled.Bytes);
    Printed huge = PrintIn(CHAR_CODE_UTF8, 64, 0, "%.2000000000e", 1.0);
    EXPECT_EQ("1." + std::string(61, '0'), huge.Bytes);

    struct Case { const char *Format; double Value; };
    const Case cases[] = {
        {"%1400.1500f", 0.1}, {"%-1400.1500f", 0.1}, {"%01400.1500f", -2.5}, {"%1600.1500E", 1.0 / 3},
        {"%#1550.1500g", 123.25}, {"%1550.1500g", 123.25}, {"%1510.1500a", 5e-324}, {"%1520.1500f", inf},
    };
    for (const Case &c : cases)
    {
        Printed whole = PrintIn(CHAR_CODE_UTF8, 2000, 0, c.Format, c.Value);
        Printed start = PrintIn(CHAR_CODE_UTF8, 64, 0, c.Format, c.Value);
        EXPECT_EQ(whole.Bytes.substr(0, 63), start.Bytes) << c.Format;
    }
}

TEST(FormatPrint, CharactersAndStringsAreConvertedFromTheirArgumentCode)
{
    EXPECT_PRINTS("3", "%s%d", static_cast<const char *>(nullptr), 3);
    EXPECT_PRINTS(u8"日本語", "%s%S", "日本", L"語");
    EXPECT_PRINTS(u8"[語][x]", "[%C][%c]", static_cast<unsigned>(L'語'), static_cast<unsigned>('x'));
    EXPECT_PRINTS(u8"値=12円", u8"値=%d円", 12);
    EXPECT_PRINTS("   ab|ab   |000ab", "%5s|%-5s|%05s", "ab", "ab", "ab");
    EXPECT_PRINTS("abc", "%.3s", "abcdef");
    EXPECT_PRINTS("  x|x  |00x", "%3c|%-3c|%03c", 'x', 'x', 'x');

    // The wide form reads "%s" as a wide string and "%S" as a narrow one.
    Printed wide = PrintIn(CHAR_CODE_UTF16LE, 64, 1, "%s+%S", L"語", "日本");
    EXPECT_EQ(Encode(u8"語+日本", CHAR_CODE_UTF16LE), wide.Bytes);
}

TEST(FormatPrint, PrecisionAndWidthOfStringsCountOutputUnits)
{
    // Two bytes of "日本" in 932 are one character; in UTF-16 two units are two characters.
    Printed sjis = PrintIn(CHAR_CODE_SHIFTJIS, 64, 0, "%.2s|%4s", "日本", "日");
    EXPECT_EQ(Encode(u8"日|  日", CHAR_CODE_SHIFTJIS), sjis.Bytes);
    Printed utf16 = PrintIn(CHAR_CODE_UTF16LE, 64, 0, "%.1S|%3S", L"日本", L"日");
    EXPECT_EQ(Encode(u8"日|  日", CHAR_CODE_UTF16LE), utf16.Bytes);
}

TEST(FormatPrint, OutputStopsAtTheBufferAndAlwaysKeepsTheTerminator)
{
    for (int code : kOutputCodes)
    {
        Printed printed = PrintIn(code, 4, 0, "abcdef");
        EXPECT_EQ(3, printed.Result) << code;
        EXPECT_EQ(Encode("abc", code), printed.Bytes) << code;
    }
    // A character that does not fit whole ends the output.
    Printed sjis = PrintIn(CHAR_CODE_SHIFTJIS, 4, 0, u8"あいう");
    EXPECT_EQ(Encode(u8"あ", CHAR_CODE_SHIFTJIS), sjis.Bytes);
    Printed utf8 = PrintIn(CHAR_CODE_UTF8, 6, 0, u8"あいう");
    EXPECT_EQ(Encode(u8"あ", CHAR_CODE_UTF8), utf8.Bytes);
    // Padding and signs count against the room like text.
    Printed padded = PrintIn(CHAR_CODE_UTF16LE, 4, 0, "%10d", 5);
    EXPECT_EQ(Encode("   ", CHAR_CODE_UTF16LE), padded.Bytes);

    char untouched[4] = {'q', 'q', 'q', 'q'};
    EXPECT_EQ(0, CharCodeSPrintf(CHAR_CODE_UTF8, 0, 932, 1200, untouched, 0, "abc"));
    EXPECT_EQ('q', untouched[0]);
    EXPECT_EQ(0, CharCodeSPrintf(CHAR_CODE_UTF8, 0, 932, 1200, untouched, 1, "abc"));
    EXPECT_EQ('\0', untouched[0]);
}

TEST(FormatPrint, RefusesWhatItCannotFormat)
{
    char buffer[16] = {'q'};
    EXPECT_EQ(-1, CharCodeSPrintf(12345, 0, 932, 1200, buffer, 16, "abc"));
    EXPECT_EQ('q', buffer[0]);
    EXPECT_EQ(-1, CharCodeSPrintf(CHAR_CODE_UTF8, 0, 932, 1200, nullptr, 16, "abc"));
    EXPECT_EQ(0, CharCodeSPrintf(CHAR_CODE_UTF8, 0, 932, 1200, buffer, 16, nullptr));
    EXPECT_EQ('\0', buffer[0]);
}

TEST(FormatPrint, UnlimitedFormsAndTheCurrentCodeForm)
{
    char buffer[64];
    EXPECT_EQ(5, CharCodeSPrintfUnlimited(CHAR_CODE_UTF8, 0, 932, 1200, buffer, "%05d", 7));
    EXPECT_STREQ("00007", buffer);
    // The current multibyte code is 932 under the test locale.
    EXPECT_EQ(7, FormatCharString(buffer, "%s-%02d", "日本", 3));
    EXPECT_STREQ("日本-03", buffer);
}

TEST(FormatPrint, LongFormatsAndLargePrecisionsUseHeapScratch)
{
    std::string longFormat(3000, 'a');
    longFormat += "%d";
    Printed printed = PrintIn(CHAR_CODE_UTF16LE, 4000, 0, longFormat, 42);
    EXPECT_EQ(3002, printed.Result);

    // 300 one-byte katakana of code page 932 grow to 900 bytes of UTF-8: the converted copy
    // must not be cut at the 512 bytes that the source fits in.
    std::string kana(300, '\xB6');
    Printed grown = PrintIn(CHAR_CODE_UTF8, 2000, 0, "%s|", kana.c_str());
    ASSERT_EQ(901, grown.Result);
    EXPECT_EQ("|", grown.Bytes.substr(900));

    Printed precise = PrintIn(CHAR_CODE_UTF8, 3000, 0, "%.1500f", 0.5);
    ASSERT_EQ(1502, precise.Result);
    EXPECT_EQ("0.5000", precise.Bytes.substr(0, 6));
}

// Random formats over the engine's alphabet: nothing may be written beyond the buffer, the
// result stays inside it and the terminator sits at the result. Every argument is 0, so string
// conversions meet null pointers and floats read 0.0.
TEST(FormatPrint, RandomFormatsStayInsideTheBuffer)
{
    static const char alphabet[] = "%%%-+ #0123456789.*hlwIZdiouxXeEfgGaAnpsScCyN";
    std::mt19937 random(20261207);
    for (int round = 0; round < 6000; round++)
    {
        std::string format;
        int length = static_cast<int>(random() % 14);
        for (int i = 0; i < length; i++)
            format += alphabet[random() % (sizeof(alphabet) - 1)];
        int code = kOutputCodes[round % 3];
        int units = static_cast<int>(random() % 24);
        Printed printed = PrintIn(code, units, static_cast<int>(round & 1), format, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
        ASSERT_GE(printed.Result, 0) << format;
        if (units == 0)
            ASSERT_EQ(0, printed.Result) << format;
        else
            ASSERT_LT(printed.Result, units) << format;
    }
}

} // namespace
