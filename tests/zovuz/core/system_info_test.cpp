// The start-up report of the machine (its log lines against what Wine reports), the processor
// count hook, COM start and end, the clipboard and the small conversions.
#include "zovuz/core/system_info.h"
#include "zovuz/core/system_info_internal.h"

#include "zovuz/core/text/log.h"
#include "zovuz/core/text/log_internal.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// The log's text appended since the reader was made, as UTF-16.
class LogReader
{
public:
    LogReader()
    {
        SetLogFileOutputFlag(1);
        StartLogFile();
        start_ = Bytes().size();
    }
    std::wstring Appended() const
    {
        std::string bytes = Bytes();
        std::wstring text((bytes.size() - start_) / 2, L'\0');
        memcpy(&text[0], bytes.data() + start_, text.size() * 2);
        return text;
    }

private:
    static std::string Bytes() { return ReadFileBytes(L"Log.txt"); }
    size_t start_ = 0;
};

// Written first: with a buffer, the copy needs an earlier sizing call to know its bound.
TEST(Clipboard, CopyWithoutASizingCallIsRefused)
{
    SetClipboardText(L"text");
    wchar_t buffer[16] = L"untouched";
    EXPECT_EQ(-1, GetClipboardText(buffer));
    EXPECT_STREQ(L"untouched", buffer);
}

TEST(Clipboard, JapaneseTextRoundTrips)
{
    const wchar_t text[] = L"日本語のテキスト、クリップボード";
    EXPECT_EQ(0, SetClipboardText(text));
    int size = GetClipboardText(nullptr);
    EXPECT_EQ(static_cast<int>(sizeof(text)) + 1, size);
    std::vector<wchar_t> buffer(static_cast<size_t>(size) / 2 + 1, L'?');
    EXPECT_EQ(0, GetClipboardText(buffer.data()));
    EXPECT_STREQ(text, buffer.data());
}

TEST(Clipboard, CopyIsBoundedByTheSizingCallWhenTheClipboardGrows)
{
    SetClipboardText(L"short");
    int size = GetClipboardText(nullptr);
    ASSERT_EQ(13, size);  // 6 units of 2 bytes, + 1
    SetClipboardText(L"a much longer text that arrived between the two calls");
    std::vector<wchar_t> buffer(static_cast<size_t>(size) / 2 + 8, L'#');
    EXPECT_EQ(0, GetClipboardText(buffer.data()));
    EXPECT_STREQ(L"a muc", buffer.data()) << "cut to the 6 units the sizing call allowed";
    EXPECT_EQ(L'#', buffer[6]);
}

TEST(Clipboard, NoTextGivesMinusOne)
{
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
    EXPECT_EQ(-1, GetClipboardText(nullptr));
    EXPECT_EQ(0, SetClipboardText(nullptr));
}

TEST(SystemInfo, ReportLinesCarryTheValuesWineReports)
{
    LogReader log;
    EXPECT_EQ(0, OutputSystemInfo());
    std::wstring text = log.Appended();
    auto stamped = [&](const std::wstring &line) {
        // Each line is "<ms>:" and the indent, then the text.
        return text.find(L":" + line + L"\r\n") != std::wstring::npos;
    };

    SYSTEM_INFO system;
    GetSystemInfo(&system);
    OSVERSIONINFOW version = {sizeof(version)};
    GetVersionExW(&version);

    EXPECT_TRUE(stamped(L"システムの情報を出力します")) << "the heading, before the indent";
    EXPECT_TRUE(stamped(L"\tRUrazad Ver3.19 "));
    EXPECT_TRUE(stamped(L"\t論理プロセッサの数 : " + std::to_wstring(system.dwNumberOfProcessors)));
    if (version.dwMajorVersion == 6 && version.dwMinorVersion == 1)
    {
        EXPECT_EQ(WINDOWS_VERSION_7, GetWindowsVersionCode());
        std::wstring os = L"\tＯＳ  Windows7 ( Build " + std::to_wstring(version.dwBuildNumber) + L" " +
                          version.szCSDVersion + L" )";
        EXPECT_TRUE(stamped(os));
    }
    EXPECT_NE(std::wstring::npos, text.find(L"\tＯＳ  Windows"));

    const SystemInfoData *data = GetSystemInfoData();
    EXPECT_EQ(static_cast<int>(system.dwNumberOfProcessors), data->ProcessorCount);
    EXPECT_EQ(0x70000, data->DirectXVersion);
    // An SSE2 build runs here, so the processor reports every level.
    EXPECT_EQ(5, data->ProcessorLevel);
    EXPECT_EQ(1, GetMMXFlag());
    EXPECT_TRUE(stamped(L"\tＭＭＸ命令を使用します"));
    EXPECT_TRUE(stamped(L"\tＳＳＥ命令が使用可能です"));
    EXPECT_TRUE(stamped(L"\tＳＳＥ２命令が使用可能です"));
    std::wstring vendor(data->CpuVendor, data->CpuVendor + 12);
    EXPECT_TRUE(stamped(L"\tＣＰＵベンダ：" + vendor));
    if (data->CpuName[0] != L'\0')
    {
        EXPECT_TRUE(stamped(std::wstring(L"\tＣＰＵ名：") + data->CpuName));
    }
    if (data->RDTSCFlag)
    {
        EXPECT_GT(data->CpuSpeedMHz, 0);
        EXPECT_NE(std::wstring::npos, text.find(L"\t現時点のＣＰＵ動作速度：大体"));
    }
    // The report ends at the indent it began with.
    AddLogStringWide(L"after\n");
    std::wstring after = log.Appended().substr(text.size());
    EXPECT_EQ(std::wstring::npos, after.find(L"\t"));
}

TEST(SystemInfo, ProcessorCountCanBeStoodIn)
{
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    EXPECT_EQ(static_cast<int>(system.dwNumberOfProcessors), GetProcessorCount());
    SetProcessorCountOverride(1);
    EXPECT_EQ(1, GetProcessorCount());
    SetProcessorCountOverride(0);
    EXPECT_EQ(static_cast<int>(system.dwNumberOfProcessors), GetProcessorCount());
}

TEST(Com, StartsAndEndsOnceEach)
{
    LogReader log;
    EXPECT_EQ(-1, TerminateCom());
    EXPECT_EQ(0, InitializeCom());
    EXPECT_EQ(-1, InitializeCom());
    // The apartment is single-threaded, as text services and DirectShow need: the thread can't
    // be made multi-threaded now.
    EXPECT_EQ(RPC_E_CHANGED_MODE, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    EXPECT_EQ(0, TerminateCom());
    EXPECT_EQ(-1, TerminateCom());
    std::wstring text = log.Appended();
    EXPECT_NE(std::wstring::npos, text.find(L":ＣＯＭの初期化... 成功\r\n"));
    EXPECT_NE(std::wstring::npos, text.find(L":ＣＯＭを終了... 完了\r\n"));
    // The refused second start writes nothing.
    EXPECT_EQ(text.find(L"ＣＯＭの初期化"), text.rfind(L"ＣＯＭの初期化"));
}

TEST(SystemInfoConversions, TruncateTowardZeroAndCountUnits)
{
    EXPECT_EQ(-2, DoubleToInt(-2.7));
    EXPECT_EQ(2, DoubleToInt(2.7));
    EXPECT_EQ(1, FloatToInt(1.9f));
    EXPECT_EQ(-1, FloatToInt(-1.9f));
    EXPECT_EQ(0, FloatToInt(-0.5f));
    EXPECT_EQ(3, GetWideStringLength(L"日本語"));
    EXPECT_EQ(0, GetWideStringLength(nullptr));
}

TEST(SystemInfoConversions, FileTimeBecomesLocalDateAndTime)
{
    SYSTEMTIME local = {};
    local.wYear = 2018;
    local.wMonth = 3;
    local.wDay = 2;
    local.wHour = 14;
    local.wMinute = 5;
    local.wSecond = 9;
    FILETIME localFile, utcFile;
    ASSERT_TRUE(SystemTimeToFileTime(&local, &localFile));
    ASSERT_TRUE(LocalFileTimeToFileTime(&localFile, &utcFile));
    int dateTime[6] = {};
    EXPECT_EQ(0, FileTimeToDateTime(&utcFile, dateTime));
    EXPECT_EQ((std::vector<int>{2018, 3, 2, 14, 5, 9}), std::vector<int>(dateTime, dateTime + 6));
    EXPECT_EQ(-1, FileTimeToDateTime(nullptr, dateTime));
}

} // namespace
