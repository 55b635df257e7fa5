// The printf engine (see format_print.h for the rules callers rely on).
//
// The format is decoded into 32-bit character codes first, so a multibyte character of the
// format is one element and is copied whole. Everything written goes through PrintOutput, which
// keeps one unit of room for the terminator and ends all output at the first piece that does
// not fit.
#include "zovuz/core/text/format_print.h"
#include "zovuz/core/text/format_print_internal.h"

#include "zovuz/core/base_helpers.h"
#include "zovuz/core/text/char_code.h"
#include "zovuz/core/text/char_code_internal.h"
#include "zovuz/core/memory/memory.h"

#include <limits.h>
#include <math.h>
#include <stdint.h>
#include <string.h>

namespace {

constexpr size_t DecodedLocalBytes = 4096;  // decoded format kept on the stack
constexpr size_t DecodedReserveBytes = 64;  // the format fits locally with this much spare
constexpr size_t StringLocalBytes = 512;    // converted string argument kept on the stack
constexpr int FloatLocalPrecision = 1024;   // digit texts below this precision stay on the stack
constexpr int FloatTextReserve = 400;       // sign, integer digits (up to 309), exponent, point
constexpr int DigitRunMax = 1024;           // longest run of width or precision digits read
// Fraction digits past this many are zeros for every double (each digit made raises its lowest
// set bit by one, from 2^-1074 at most), and no rounding is left to do after them.
constexpr uint64_t FloatExactDigits = 1100;

// Where formatted text goes: the caller's buffer with its room in bytes.
struct PrintOutput
{
    char *Buffer;        // start of the caller's buffer
    int Code;            // output character code
    int UnitSize;        // bytes of one unit of the output code
    uint64_t RoomBytes;  // buffer size in bytes, terminator included
    uint64_t Pos;        // bytes written so far
    bool Full;           // no further piece may be written

    // Room left for text, the terminator's unit excluded.
    uint64_t TextRoom() const { return RoomBytes - Pos - static_cast<uint64_t>(UnitSize); }

    void CheckRoom()
    {
        if (RoomBytes - Pos <= static_cast<uint64_t>(UnitSize)) Full = true;
    }

    // One character. A character that this code cannot express is skipped; one that does not
    // fit ends the output.
    void PutChar(uint32_t CharCode)
    {
        if (Full || CharCode == 0) return;
        int bytes = PutCharCode(CharCode, Code, nullptr, 0);
        if (bytes <= 0) return;
        if (static_cast<uint64_t>(bytes) > TextRoom()) {
            Full = true;
            return;
        }
        PutCharCodeUnchecked(CharCode, Code, Buffer + Pos);
        Pos += static_cast<uint64_t>(bytes);
        CheckRoom();
    }

    void PutRepeat(uint32_t CharCode, int64_t Count)
    {
        for (int64_t i = 0; i < Count && !Full; i++) PutChar(CharCode);
    }

    void PutAscii(const char *Text, size_t Length)
    {
        for (size_t i = 0; i < Length && !Full; i++) PutChar(static_cast<unsigned char>(Text[i]));
    }

    // Raw units of the output code: strings are cut by units, even inside a character.
    void PutUnits(const char *Units, uint64_t Count)
    {
        for (uint64_t i = 0; i < Count && !Full; i++) {
            if (TextRoom() < static_cast<uint64_t>(UnitSize)) {
                Full = true;
                return;
            }
            memcpy(Buffer + Pos, Units + i * static_cast<uint64_t>(UnitSize), static_cast<size_t>(UnitSize));
            Pos += static_cast<uint64_t>(UnitSize);
            CheckRoom();
        }
    }

    void Terminate() { memset(Buffer + Pos, 0, static_cast<size_t>(UnitSize)); }
};

enum PrintSize {
    SizeNone,
    Size16,
    Size32,
    Size64,
};

// One conversion while it is parsed.
struct ConversionSpec
{
    bool Left;           // '-'
    bool Plus;           // '+'
    bool Space;          // ' '
    bool Alternate;      // '#'
    bool Zero;           // '0'
    int Width;           // -1: none
    int Precision;       // -1: none
    PrintSize Size;      // size prefix
    bool FlagsClosed;    // a width, '.' or size prefix has been seen
    bool PrecisionSeen;  // '.' or a size prefix has been seen
    bool SizeSeen;       // a size prefix has been seen
};

// A scratch block: on the stack when it fits, else from the library heap.
template <size_t LocalBytes>
struct ScratchBlock
{
    alignas(8) char Local[LocalBytes];
    char *Data = Local;
    explicit ScratchBlock(size_t Bytes)
    {
        if (Bytes > LocalBytes) Data = static_cast<char *>(DXALLOC(Bytes));
    }
    ~ScratchBlock()
    {
        if (Data != Local) DXFREE(Data);
    }
    ScratchBlock(const ScratchBlock &) = delete;
    ScratchBlock &operator=(const ScratchBlock &) = delete;
};

// Sign, fill and text of a conversion whose text is plain ASCII (numbers, special values).
void PutFilled(PrintOutput &Out, const ConversionSpec &Conv, const char *Sign, const char *Prefix, bool ZeroFill,
               int64_t LeadingZeros, const char *Text, size_t TextLength)
{
    size_t signLength = strlen(Sign);
    size_t prefixLength = strlen(Prefix);
    int64_t body = static_cast<int64_t>(signLength + prefixLength + TextLength) + LeadingZeros;
    int64_t pad = Conv.Width > body ? Conv.Width - body : 0;
    if (!Conv.Left && !ZeroFill) Out.PutRepeat(' ', pad);
    Out.PutAscii(Sign, signLength);
    Out.PutAscii(Prefix, prefixLength);
    if (!Conv.Left && ZeroFill) Out.PutRepeat('0', pad);
    Out.PutRepeat('0', LeadingZeros);
    Out.PutAscii(Text, TextLength);
    if (Conv.Left) Out.PutRepeat(' ', pad);
}

// ---- integers ----------------------------------------------------------------------------------

void FormatIntegerText(PrintOutput &Out, const ConversionSpec &Conv, uint32_t Letter, bool Negative, uint64_t Magnitude)
{
    unsigned int radix = 10;
    const char *digitSet = "0123456789abcdef";
    if (Letter == 'o')
        radix = 8;
    else if (Letter == 'x')
        radix = 16;
    else if (Letter == 'X' || Letter == 'p') {
        radix = 16;
        digitSet = "0123456789ABCDEF";
    }

    char digits[24];
    size_t count = 0;
    char reversed[24];
    do {
        reversed[count++] = digitSet[Magnitude % radix];
        Magnitude /= radix;
    } while (Magnitude != 0);
    for (size_t i = 0; i < count; i++) digits[i] = reversed[count - 1 - i];

    int precision = Conv.Precision < 0 ? 1 : Conv.Precision;
    int64_t leadingZeros = precision > static_cast<int>(count) ? precision - static_cast<int64_t>(count) : 0;

    const char *sign = "";
    if (Letter == 'd' || Letter == 'i') sign = Negative ? "-" : Conv.Plus ? "+" : Conv.Space ? " " : "";
    const char *prefix = "";
    if (Conv.Alternate)
        prefix = Letter == 'o' ? "0" : Letter == 'x' ? "0x" : (Letter == 'X' || Letter == 'p') ? "0X" : "";

    bool zeroFill = Conv.Zero && !Conv.Left && Conv.Precision < 0;
    PutFilled(Out, Conv, sign, prefix, zeroFill, leadingZeros, digits, count);
}

// ---- floating point ----------------------------------------------------------------------------

// The digit text of one finite magnitude, built in Text (ASCII); returns its length.
struct FloatText
{
    char *Text;     // room for precision + FloatTextReserve characters
    size_t Length;  // characters written

    void Add(char C) { Text[Length++] = C; }
    void AddDigit(int D) { Text[Length++] = static_cast<char>('0' + D); }
};

// Fraction digits of Remainder (in [0, 1)) times 10 each; returns the final remainder.
double PutFractionDigits(FloatText &Out, double Remainder, int Count, int Radix, const char *DigitSet)
{
    for (int i = 0; i < Count; i++) {
        Remainder *= Radix;
        int digit = static_cast<int>(Remainder);
        if (digit >= Radix) digit = Radix - 1;
        Out.Add(DigitSet[digit]);
        Remainder -= digit;
    }
    return Remainder;
}

// %f digits of Magnitude with the precision; the one rounding step is made by the caller.
double MakeFixedDigits(FloatText &Out, double Magnitude, int Precision, bool Alternate)
{
    double whole = floor(Magnitude);
    if (whole < 1.0) {
        Out.Add('0');
    } else {
        size_t start = Out.Length;
        for (double rest = whole; rest >= 1.0; rest = floor(rest / 10.0))
            Out.AddDigit(static_cast<int>(fmod(rest, 10.0)));
        for (size_t a = start, b = Out.Length - 1; a < b; a++, b--) {
            char c = Out.Text[a];
            Out.Text[a] = Out.Text[b];
            Out.Text[b] = c;
        }
    }
    if (Precision > 0 || Alternate) Out.Add('.');
    return PutFractionDigits(Out, Magnitude - whole, Precision, 10, "0123456789");
}

void FormatFixed(FloatText &Out, double Magnitude, int Precision, bool Alternate)
{
    size_t start = Out.Length;
    double remainder = MakeFixedDigits(Out, Magnitude, Precision, Alternate);
    if (remainder * 10.0 > 5.0) {
        Out.Length = start;
        MakeFixedDigits(Out, Magnitude + pow(10.0, -Precision), Precision, Alternate);
    }
}

// Scales Magnitude into [1, 10) and counts the exponent; 0 stays 0 with exponent 0.
double ScaleDecimal(double Magnitude, int *Exponent)
{
    *Exponent = 0;
    if (Magnitude == 0.0) return 0.0;
    while (Magnitude >= 10.0) {
        Magnitude /= 10.0;
        (*Exponent)++;
    }
    while (Magnitude < 1.0) {
        Magnitude *= 10.0;
        (*Exponent)--;
    }
    return Magnitude;
}

// Significant digits of Magnitude in e form: one digit before the point and Precision after it,
// rounded once. Digits go to Digits (no point); the exponent after rounding is returned.
int MakeScientificDigits(char *Digits, double Magnitude, int Precision)
{
    int exponent;
    double scaled = ScaleDecimal(Magnitude, &exponent);
    for (int pass = 0; pass < 2; pass++) {
        FloatText text{Digits, 0};
        int first = static_cast<int>(scaled);
        if (first > 9) first = 9;
        text.AddDigit(first);
        double remainder = PutFractionDigits(text, scaled - first, Precision, 10, "0123456789");
        if (pass == 1 || !(remainder * 10.0 > 5.0)) break;
        scaled += pow(10.0, -Precision);
        if (scaled >= 10.0) {
            scaled /= 10.0;
            exponent++;
        }
    }
    return exponent;
}

void AddExponent(FloatText &Out, char Letter, int Exponent, int MinDigits)
{
    Out.Add(Letter);
    Out.Add(Exponent < 0 ? '-' : '+');
    unsigned int magnitude =
        Exponent < 0 ? 0u - static_cast<unsigned int>(Exponent) : static_cast<unsigned int>(Exponent);
    char reversed[16];
    int count = 0;
    do {
        reversed[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    while (count < MinDigits) reversed[count++] = '0';
    while (count > 0) Out.Add(reversed[--count]);
}

void FormatScientific(FloatText &Out, double Magnitude, int Precision, bool Alternate, bool Upper)
{
    char *digits = Out.Text + Out.Length;
    int exponent = MakeScientificDigits(digits, Magnitude, Precision);
    // The digits were made in place; open the point after the first.
    if (Precision > 0 || Alternate) {
        memmove(digits + 2, digits + 1, static_cast<size_t>(Precision));
        digits[1] = '.';
        Out.Length += static_cast<size_t>(Precision) + 2;
    } else {
        Out.Length += 1;
    }
    AddExponent(Out, Upper ? 'E' : 'e', exponent, 3);
}

void FormatGeneral(FloatText &Out, char *Scratch, double Magnitude, int Precision, bool Alternate, bool Upper)
{
    int significant = Precision < 0 ? 6 : Precision == 0 ? 1 : Precision;
    int exponent = MakeScientificDigits(Scratch, Magnitude, significant - 1);
    // Significant digits that matter without '#': up to the last non-zero one.
    int used = significant;
    if (!Alternate)
        while (used > 1 && Scratch[used - 1] == '0') used--;

    if (exponent >= -4 && exponent < significant) {
        int fraction = Alternate ? significant - exponent - 1 : used - exponent - 1;
        if (fraction < 0) fraction = 0;
        if (exponent >= 0) {
            for (int i = 0; i <= exponent; i++) Out.Add(Scratch[i]);
        } else {
            Out.Add('0');
        }
        if (fraction > 0 || Alternate) Out.Add('.');
        for (int i = 0; i < fraction; i++) {
            int index = exponent + 1 + i;
            Out.Add(index < 0 ? '0' : (index < significant ? Scratch[index] : '0'));
        }
        return;
    }
    Out.Add(Scratch[0]);
    int fraction = Alternate ? significant - 1 : used - 1;
    if (fraction > 0 || Alternate) Out.Add('.');
    for (int i = 1; i <= fraction; i++) Out.Add(Scratch[i]);
    AddExponent(Out, Upper ? 'E' : 'e', exponent, 3);
}

double MakeHexDigits(FloatText &Out, double Scaled, int Precision, bool Alternate, const char *DigitSet)
{
    int first = static_cast<int>(Scaled);
    if (first > 1) first = 1;
    Out.AddDigit(first);
    if (Precision > 0 || Alternate) Out.Add('.');
    return PutFractionDigits(Out, Scaled - first, Precision, 16, DigitSet);
}

void FormatHexFloat(FloatText &Out, double Magnitude, int Precision, bool Alternate, bool Upper)
{
    const char *digitSet = Upper ? "0123456789ABCDEF" : "0123456789abcdef";
    int exponent = 0;
    double scaled = Magnitude;
    if (scaled != 0.0) {
        while (scaled >= 2.0) {
            scaled /= 2.0;
            exponent++;
        }
        while (scaled < 1.0) {
            scaled *= 2.0;
            exponent--;
        }
    }
    Out.Add('0');
    Out.Add('x');
    size_t start = Out.Length;
    double remainder = MakeHexDigits(Out, scaled, Precision, Alternate, digitSet);
    if (remainder * 16.0 > 8.0) {
        Out.Length = start;
        scaled += pow(16.0, -Precision);
        if (scaled >= 2.0) {
            scaled /= 2.0;
            exponent++;
        }
        MakeHexDigits(Out, scaled, Precision, Alternate, digitSet);
    }
    AddExponent(Out, Upper ? 'P' : 'p', exponent, 1);
}

// The "%f" text of a NaN or an infinity cut to Precision + 2 characters, filled with '0' when
// Fill is set. Cut forms of the text are fixed strings.
void SpecialFixedText(FloatText &Out, bool IsNan, int Precision, bool Alternate, bool Fill)
{
    if (Precision == 0) {
        Out.Add('1');
        if (Alternate) Out.Add('.');
        return;
    }
    static const char *const nanCuts[] = {"1.$", "1.#R", "1.#QO", "1.#QNB", "1.#QNAN"};
    static const char *const infCuts[] = {"1.$", "1.#J", "1.#IO", "1.#INF", "1.#INF"};
    int64_t wanted = static_cast<int64_t>(Precision) + 2;
    const char *text;
    if (wanted <= 7)
        text = IsNan ? nanCuts[wanted - 3] : infCuts[wanted - 3];
    else
        text = IsNan ? "1.#QNAN" : "1.#INF";
    for (const char *c = text; *c != '\0'; c++) Out.Add(*c);
    if (Fill)
        for (int64_t i = static_cast<int64_t>(strlen(text)); i < wanted; i++) Out.Add('0');
}

void FormatFloatText(PrintOutput &Out, const ConversionSpec &Given, uint32_t Letter, double Value)
{
    bool isNan = Value != Value;
    bool isInf = !isNan && (Value > 1.7976931348623157e308 || Value < -1.7976931348623157e308);
    bool upper = Letter == 'E' || Letter == 'G' || Letter == 'A';

    // A precision beyond both what the buffer can show and FloatExactDigits only adds zeros that
    // are never seen (and nothing to round): the text is made with fewer, and the width leaves
    // out the zeros not made, so "%.999999999f" into a small buffer neither makes a billion
    // digits first nor pads differently. ("%g" without '#' drops its trailing zeros anyway.)
    ConversionSpec Conv = Given;
    const uint64_t shown = Out.TextRoom() > FloatExactDigits ? Out.TextRoom() : FloatExactDigits;
    if (Conv.Precision > 0 && static_cast<uint64_t>(Conv.Precision) > shown) {
        int64_t unmade = Conv.Precision - static_cast<int64_t>(shown);
        Conv.Precision = static_cast<int>(shown);
        bool trimmed = (Letter == 'g' || Letter == 'G') && !(Conv.Alternate && !isNan && !isInf);
        if (!trimmed && Conv.Width >= 0) Conv.Width = Conv.Width > unmade ? static_cast<int>(Conv.Width - unmade) : 0;
    }
    int precision = Conv.Precision < 0 ? 6 : Conv.Precision;

    // A digit text needs the precision plus the integer digits; the text of a NaN or an
    // infinity is filled with zeros to the precision as well.
    size_t textBytes = static_cast<size_t>(precision) + FloatTextReserve;
    ScratchBlock<FloatLocalPrecision + FloatTextReserve> text(textBytes);
    ScratchBlock<FloatLocalPrecision + FloatTextReserve> scratch(Letter == 'g' || Letter == 'G' ? textBytes : 0);
    if (text.Data == nullptr || scratch.Data == nullptr) return;
    FloatText body{text.Data, 0};

    const char *sign = "";
    if (isNan || isInf) {
        if (isInf && Value < 0)
            sign = "-";
        else if (isInf)
            sign = Conv.Plus ? "+" : Conv.Space ? " " : "";
        switch (Letter) {
            case 'f':
                SpecialFixedText(body, isNan, precision, Conv.Alternate, true);
                break;
            case 'e':
            case 'E':
                SpecialFixedText(body, isNan, precision, Conv.Alternate, true);
                for (const char *c = upper ? "E+000" : "e+000"; *c != '\0'; c++) body.Add(*c);
                break;
            case 'g':
            case 'G':
                SpecialFixedText(body, isNan,
                                 Conv.Precision < 0    ? 5
                                 : Conv.Precision == 0 ? 0
                                                       : Conv.Precision - 1,
                                 Conv.Alternate, false);
                break;
            default:  // 'a', 'A'
                body.Add('0');
                body.Add('x');
                SpecialFixedText(body, isNan, precision, Conv.Alternate, true);
                for (const char *c = upper ? "P+0" : "p+0"; *c != '\0'; c++) body.Add(*c);
                break;
        }
    } else {
        bool negative = Value < 0.0;  // -0.0 prints without a sign
        double magnitude = fabs(Value);
        sign = negative ? "-" : Conv.Plus ? "+" : Conv.Space ? " " : "";
        switch (Letter) {
            case 'f':
                FormatFixed(body, magnitude, precision, Conv.Alternate);
                break;
            case 'e':
            case 'E':
                FormatScientific(body, magnitude, precision, Conv.Alternate, upper);
                break;
            case 'g':
            case 'G':
                FormatGeneral(body, scratch.Data, magnitude, Conv.Precision, Conv.Alternate, upper);
                break;
            default:
                FormatHexFloat(body, magnitude, precision, Conv.Alternate, upper);
                break;
        }
    }
    bool zeroFill = Conv.Zero && !Conv.Left;
    PutFilled(Out, Conv, sign, "", zeroFill, 0, body.Text, body.Length);
}

// ---- characters and strings --------------------------------------------------------------------

void PutPadded(PrintOutput &Out, const ConversionSpec &Conv, int64_t Length)
{
    int64_t pad = Conv.Width > Length ? Conv.Width - Length : 0;
    Out.PutRepeat(Conv.Zero ? '0' : ' ', pad);
}

void FormatCharacter(PrintOutput &Out, const ConversionSpec &Conv, uint32_t Slot, int ArgCode)
{
    int unit = GetCharCodeUnitSize(ArgCode);
    uint32_t charCode = unit == 1 ? (Slot & 0xFF) : unit == 2 ? (Slot & 0xFFFF) : Slot;
    if (ArgCode != Out.Code) charCode = ConvertCharCodeOne(charCode, ArgCode, Out.Code);
    int64_t pad = Conv.Width > 1 ? Conv.Width - 1 : 0;
    if (Conv.Left) {
        Out.PutChar(charCode);
        Out.PutRepeat(' ', pad);
        return;
    }
    PutPadded(Out, Conv, 1);
    Out.PutChar(charCode);
}

void FormatStringArgument(PrintOutput &Out, const ConversionSpec &Conv, const char *String, int ArgCode)
{
    if (String == nullptr) return;
    const char *text = String;
    // A string in another code is converted whole first. The temporary is sized by measuring the
    // conversion, so a string that grows in the output code is not cut short.
    size_t convertedBytes = 0;
    if (ArgCode != Out.Code) {
        int measured = ConvertCharCode(String, ArgCode, nullptr, 0, Out.Code);
        if (measured <= 0) return;
        convertedBytes = static_cast<size_t>(measured);
    }
    ScratchBlock<StringLocalBytes> converted(convertedBytes);
    if (converted.Data == nullptr) return;
    if (ArgCode != Out.Code) {
        if (ConvertCharCode(String, ArgCode, converted.Data, convertedBytes, Out.Code) <= 0) return;
        text = converted.Data;
    }

    int length = GetCharCodeStringLength(Out.Code, text);
    if (length < 0) return;
    if (Conv.Precision >= 0 && length > Conv.Precision) length = Conv.Precision;
    if (Conv.Left) {
        Out.PutUnits(text, static_cast<uint64_t>(length));
        Out.PutRepeat(' ', Conv.Width > length ? Conv.Width - static_cast<int64_t>(length) : 0);
        return;
    }
    PutPadded(Out, Conv, length);
    Out.PutUnits(text, static_cast<uint64_t>(length));
}

// ---- the parser --------------------------------------------------------------------------------

bool IsDigit(uint32_t C) { return C >= '0' && C <= '9'; }

// Reads a run of digits (the first 1024 count) at *Index; the value saturates at INT_MAX.
int ReadDigitRun(const uint32_t *Format, size_t *Index)
{
    int64_t value = 0;
    int count = 0;
    while (IsDigit(Format[*Index]) && count < DigitRunMax) {
        value = value * 10 + static_cast<int64_t>(Format[*Index] - '0');
        if (value > INT_MAX) value = INT_MAX;
        (*Index)++;
        count++;
    }
    return static_cast<int>(value);
}

bool IsConversionLetter(uint32_t C)
{
    switch (C) {
        case 'c':
        case 'C':
        case 'd':
        case 'i':
        case 'o':
        case 'u':
        case 'x':
        case 'X':
        case 'e':
        case 'E':
        case 'f':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
        case 'n':
        case 'p':
        case 's':
        case 'S':
            return true;
        default:
            return false;
    }
}

struct PrintCodes
{
    int WideForm;    // 1 when the format is of the wide kind
    int NarrowCode;  // code of narrow string and character arguments
    int WideCode;    // code of wide string and character arguments
};

void RunConversion(PrintOutput &Out, const PrintCodes &Codes, const ConversionSpec &Conv, uint32_t Letter,
                   va_list *Args)
{
    switch (Letter) {
        case 'd':
        case 'i': {
            int64_t value;
            if (Conv.Size == Size64)
                value = va_arg(*Args, long long);
            else if (Conv.Size == Size16)
                value = static_cast<int16_t>(va_arg(*Args, int));
            else
                value = va_arg(*Args, int);
            uint64_t magnitude = value < 0 ? 0ull - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
            FormatIntegerText(Out, Conv, Letter, value < 0, magnitude);
            break;
        }
        case 'u':
        case 'o':
        case 'x':
        case 'X': {
            uint64_t value;
            if (Conv.Size == Size64)
                value = va_arg(*Args, unsigned long long);
            else if (Conv.Size == Size16)
                value = static_cast<uint16_t>(va_arg(*Args, unsigned int));
            else
                value = va_arg(*Args, unsigned int);
            FormatIntegerText(Out, Conv, Letter, false, value);
            break;
        }
        case 'p': {
            ConversionSpec pointerSpec = Conv;
            pointerSpec.Precision = 8;
            FormatIntegerText(Out, pointerSpec, Letter, false, va_arg(*Args, unsigned int));
            break;
        }
        case 'c':
        case 'C': {
            bool narrow = (Letter == 'c') == (Codes.WideForm == 0);
            FormatCharacter(Out, Conv, va_arg(*Args, unsigned int), narrow ? Codes.NarrowCode : Codes.WideCode);
            break;
        }
        case 's':
        case 'S': {
            bool narrow = (Letter == 's') == (Codes.WideForm == 0);
            FormatStringArgument(Out, Conv, va_arg(*Args, const char *), narrow ? Codes.NarrowCode : Codes.WideCode);
            break;
        }
        case 'n':
            break;
        default:  // e E f g G a A
            FormatFloatText(Out, Conv, Letter, va_arg(*Args, double));
            break;
    }
}

// Parses and runs the conversion whose '%' is at Format[*Index]. On return *Index is the first
// element the main loop looks at next: after the conversion letter, or at the element that
// abandoned the conversion.
void ParseConversion(PrintOutput &Out, const PrintCodes &Codes, const uint32_t *Format, size_t *Index, va_list *Args)
{
    ConversionSpec conv{};
    conv.Width = -1;
    conv.Precision = -1;
    size_t i = *Index + 1;
    for (;;) {
        uint32_t c = Format[i];
        if (c < ' ' || c > 'x') break;
        if (c == ' ' || c == '#' || c == '+' || c == '-') {
            if (conv.FlagsClosed) break;
            if (c == ' ')
                conv.Space = true;
            else if (c == '#')
                conv.Alternate = true;
            else if (c == '+')
                conv.Plus = true;
            else
                conv.Left = true;
            i++;
            continue;
        }
        if (c == '*') {
            if (conv.SizeSeen) break;
            int value = va_arg(*Args, int);
            if (value < 0) value = -1;
            if (conv.PrecisionSeen)
                conv.Precision = value;
            else
                conv.Width = value;
            i++;
            continue;
        }
        if (c == '.') {
            if (conv.PrecisionSeen) break;
            conv.FlagsClosed = true;
            conv.PrecisionSeen = true;
            conv.Precision = 0;
            i++;
            continue;
        }
        if (IsDigit(c)) {
            if (conv.SizeSeen) break;
            if (conv.PrecisionSeen) {
                conv.Precision = ReadDigitRun(Format, &i);
            } else if (c == '0' && !conv.FlagsClosed) {
                conv.Zero = true;
                i++;
            } else {
                conv.FlagsClosed = true;
                conv.Width = ReadDigitRun(Format, &i);
            }
            continue;
        }
        if (c == 'h' || c == 'l' || c == 'w' || c == 'I') {
            conv.FlagsClosed = true;
            conv.PrecisionSeen = true;
            conv.SizeSeen = true;
            i++;
            if (c == 'h')
                conv.Size = Size16;
            else if (c == 'l' && Format[i] == 'l') {
                conv.Size = Size64;
                i++;
            } else if (c == 'I' && Format[i] == '3' && Format[i + 1] == '2') {
                conv.Size = Size32;
                i += 2;
            } else if (c == 'I' && Format[i] == '6' && Format[i + 1] == '4') {
                conv.Size = Size64;
                i += 2;
            } else
                conv.Size = Size32;
            continue;
        }
        if (IsConversionLetter(c)) {
            RunConversion(Out, Codes, conv, c, Args);
            *Index = i + 1;
            return;
        }
        if (c == 'Z') i++;
        break;
    }
    // Abandoned: nothing written; the main loop goes on at the element that stopped the parse.
    *Index = i;
}

}  // namespace

int CharCodeFormatString(int DestCharCodeFormat, int WideForm, int NarrowCharCodeFormat, int WideCharCodeFormat,
                         char *Buffer, int BufferLength, const char *FormatString, va_list Args)
{
    int unitSize = GetCharCodeUnitSize(DestCharCodeFormat);
    if (unitSize <= 0 || Buffer == nullptr) return -1;
    if (BufferLength <= 0) return 0;

    static const uint32_t emptyFormat[1] = {0};
    const uint32_t *format = emptyFormat;
    size_t decodedBytes = 0;
    if (FormatString != nullptr) {
        int measured = DecodeCharCodeString(FormatString, DestCharCodeFormat, nullptr);
        if (measured <= 0) return -1;
        decodedBytes = static_cast<size_t>(measured);
    }
    ScratchBlock<DecodedLocalBytes> decoded(decodedBytes + DecodedReserveBytes <= DecodedLocalBytes ? 0 : decodedBytes);
    if (decoded.Data == nullptr) return -1;
    if (FormatString != nullptr) {
        DecodeCharCodeString(FormatString, DestCharCodeFormat, reinterpret_cast<uint32_t *>(decoded.Data));
        format = reinterpret_cast<const uint32_t *>(decoded.Data);
    }

    PrintOutput out{Buffer,   DestCharCodeFormat,
                    unitSize, static_cast<uint64_t>(BufferLength) * static_cast<uint64_t>(unitSize),
                    0,        false};
    out.CheckRoom();
    PrintCodes codes{WideForm, NarrowCharCodeFormat, WideCharCodeFormat};
    va_list args;
    va_copy(args, Args);
    size_t index = 0;
    while (format[index] != 0 && !out.Full) {
        if (format[index] != '%') {
            out.PutChar(format[index]);
            index++;
        } else if (format[index + 1] == '%') {
            out.PutChar('%');
            index += 2;
        } else {
            ParseConversion(out, codes, format, &index, &args);
        }
    }
    va_end(args);
    out.Terminate();
    return static_cast<int>(out.Pos / static_cast<uint64_t>(unitSize));
}

int CharCodeSPrintf(int DestCharCodeFormat, int WideForm, int NarrowCharCodeFormat, int WideCharCodeFormat,
                    char *Buffer, int BufferLength, const char *FormatString, ...)
{
    va_list args;
    va_start(args, FormatString);
    int result = CharCodeFormatString(DestCharCodeFormat, WideForm, NarrowCharCodeFormat, WideCharCodeFormat, Buffer,
                                      BufferLength, FormatString, args);
    va_end(args);
    return result;
}

int CharCodeSPrintfUnlimited(int DestCharCodeFormat, int WideForm, int NarrowCharCodeFormat, int WideCharCodeFormat,
                             char *Buffer, const char *FormatString, ...)
{
    va_list args;
    va_start(args, FormatString);
    int result = CharCodeFormatString(DestCharCodeFormat, WideForm, NarrowCharCodeFormat, WideCharCodeFormat, Buffer,
                                      CHAR_CODE_PRINT_UNLIMITED, FormatString, args);
    va_end(args);
    return result;
}

int CharCodeVSPrintf(int DestCharCodeFormat, int WideForm, int NarrowCharCodeFormat, int WideCharCodeFormat,
                     char *Buffer, const char *FormatString, va_list Args)
{
    return CharCodeFormatString(DestCharCodeFormat, WideForm, NarrowCharCodeFormat, WideCharCodeFormat, Buffer,
                                CHAR_CODE_PRINT_UNLIMITED, FormatString, Args);
}

int FormatCharString(char *Buffer, const char *FormatString, ...)
{
    va_list args;
    va_start(args, FormatString);
    int code = GetCurrentCharCodeFormat();
    int result = CharCodeFormatString(code, 0, code, GetWideCharCodeFormat(), Buffer, CHAR_CODE_PRINT_UNLIMITED,
                                      FormatString, args);
    va_end(args);
    return result;
}
