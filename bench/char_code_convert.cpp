// Conversion speed of the library's converter for its two most frequent inputs, Shift-JIS and
// UTF-8 to UTF-16, beside the platform's MultiByteToWideChar on the same text in the same run.
// The ratio is the platform's time over the library's: 1.0 or more means the library keeps up.
#include "bench/support/bench_clock.h"
#include <windows.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "zovuz/core/text/char_code.h"
#include "zovuz/core/text/char_code_internal.h"

namespace {

// Mixed text as song titles and paths have it: ASCII, kana, kanji and half-width kana.
std::wstring SampleText(size_t Characters)
{
    const std::wstring Piece = L"Track 01 \u6F22\u5B57\u3068\u3072\u3089\u304C\u306A "
                               L"\u30AB\u30BF\u30AB\u30CA \uFF76\uFF80\uFF76\uFF85 C:\\songs\\mdx\\";
    std::wstring Text;
    while (Text.size() < Characters)
        Text += Piece;
    return Text;
}

std::string Narrow(const std::wstring &Text, UINT CodePage)
{
    const int Bytes = WideCharToMultiByte(CodePage, 0, Text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string Out(size_t(Bytes), '\0');
    WideCharToMultiByte(CodePage, 0, Text.c_str(), -1, &Out[0], Bytes, nullptr, nullptr);
    return Out; // terminator included
}

// Best of several alternating trials for each side, so that a busy machine slows both alike.
void Compare(const char *Name, const std::string &Source, int Code, UINT CodePage, int Rounds, const char *Goal)
{
    std::vector<wchar_t> Out(Source.size() + 16);
    const size_t OutBytes = Out.size() * sizeof(wchar_t);
    ConvertCharCode(Source.data(), Code, reinterpret_cast<char *>(Out.data()), OutBytes, CHAR_CODE_UTF16LE);

    double Library = 1e9, Platform = 1e9;
    bool Same = true;
    for (int Trial = 0; Trial < 7; Trial++) {
        double Start = BenchSeconds();
        for (int i = 0; i < Rounds; i++)
            ConvertCharCode(Source.data(), Code, reinterpret_cast<char *>(Out.data()), OutBytes, CHAR_CODE_UTF16LE);
        const double L = BenchSeconds() - Start;
        Library = L < Library ? L : Library;
        const std::wstring Ours(Out.data());

        Start = BenchSeconds();
        for (int i = 0; i < Rounds; i++)
            MultiByteToWideChar(CodePage, 0, Source.data(), int(Source.size()), Out.data(), int(Out.size()));
        const double P = BenchSeconds() - Start;
        Platform = P < Platform ? P : Platform;
        Same = Same && Ours == std::wstring(Out.data());
    }

    const double Megabytes = double(Source.size()) * Rounds / 1e6;
    printf("%-14s ConvertCharCode %8.1f MB/s   MultiByteToWideChar %8.1f MB/s   ratio %.2f (goal %s)   output %s\n",
           Name, Megabytes / Library, Megabytes / Platform, Platform / Library, Goal, Same ? "identical" : "DIFFERS");
}

} // namespace

int main()
{
    SetupCharCodeTables();
    const std::wstring Text = SampleText(1 << 20);
    Compare("932 -> UTF-16", Narrow(Text, 932), CHAR_CODE_SHIFTJIS, 932, 5, ">= 1.0");
    Compare("UTF-8 -> UTF-16", Narrow(Text, CP_UTF8), CHAR_CODE_UTF8, CP_UTF8, 5, ">= 1.0");
    return 0;
}
