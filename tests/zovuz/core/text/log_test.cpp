// The log file: exact bytes of "Log.txt" for scripted sequences (signature, stamps, indent,
// line-end rules, continuation of open lines), the output switch, the last-error record and
// concurrent writers.
//
// The log is process-wide and stays started once its file exists, so the test with output off
// must run before any other test writes (tests run in the order they are written here).
#include "zovuz/core/text/log.h"
#include "zovuz/core/text/log_internal.h"
#include "tests/support/test_files.h"

#include "zovuz/core/clock.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

// Reads what the log appended to "Log.txt" since the fixture began, with every time stamp
// replaced by "#" (the stamp is the milliseconds since the log started, not repeatable).
class LogFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetLogFileOutputFlag(1);
        StartLogFile();
        start_ = ReadFileBytes(L"Log.txt").size();
        // Every test starts on a fresh line at indent 0.
        for (int i = 0; i < 64; i++)
            LogIndentDown();
    }

    std::wstring Appended() const
    {
        std::string bytes = ReadFileBytes(L"Log.txt");
        EXPECT_GE(bytes.size(), start_);
        EXPECT_EQ(0u, (bytes.size() - start_) % 2);
        std::wstring text((bytes.size() - start_) / 2, L'\0');
        memcpy(&text[0], bytes.data() + start_, text.size() * 2);
        return std::regex_replace(text, std::wregex(L"(^|\n)[0-9]+:"), L"$1#:");
    }

    size_t start_ = 0;
};

TEST(LogOutputOff, WritesNoFileButStillRecordsTheErrorCode)
{
    DeleteFileW(L"Log.txt");
    SetLogFileOutputFlag(0);
    EXPECT_EQ(-1, AddLogStringWide(L"never written\n"));
    EXPECT_EQ(-1, AddLogFormat(L"%d\n", 1));
    EXPECT_EQ(-1, AddLogStringWideErrorCode(5, L"five"));
    EXPECT_EQ(0, StartLogFile());
    EXPECT_FALSE(FileExists(L"Log.txt"));

    wchar_t text[16];
    EXPECT_EQ(5, GetLastErrorInfo(text, sizeof(text)));
    EXPECT_STREQ(L"five", text);
    SetLogFileOutputFlag(1);
}

TEST(LogStart, ReplacesAnOlderFileWithTheSignatureAlone)
{
    {
        std::ofstream old("Log.txt", std::ios::binary);
        old << "an older log that must go";
    }
    const int before_start = GetNowMilliCount();
    EXPECT_EQ(0, StartLogFile());
    const int after_start = GetNowMilliCount();
    EXPECT_EQ(std::string("\xFF\xFE", 2), ReadFileBytes(L"Log.txt"));
    // Starting again keeps the file.
    Sleep(100);
    EXPECT_EQ(0, StartLogFile());
    const int before_write = GetNowMilliCount();
    AddLogStringWchar(L"kept\n");
    const int after_write = GetNowMilliCount();
    std::string bytes = ReadFileBytes(L"Log.txt");
    EXPECT_EQ(std::string("\xFF\xFE", 2), bytes.substr(0, 2));

    // The line's stamp is the milliseconds since the file was started, then ":".
    std::wstring text((bytes.size() - 2) / 2, L'\0');
    memcpy(&text[0], bytes.data() + 2, text.size() * 2);
    std::wsmatch stamp;
    ASSERT_TRUE(std::regex_match(text, stamp, std::wregex(L"([0-9]+):kept\r\n"))) << bytes;
    const int ms = std::stoi(stamp[1].str());
    EXPECT_GE(ms, before_write - after_start);
    EXPECT_LE(ms, after_write - before_start);
}

TEST_F(LogFile, StampAndIndentBeginOnlyANewLine)
{
    EXPECT_EQ(-1, AddLogStringWide(L"A"));
    EXPECT_EQ(-1, AddLogStringWide(L"B\n"));
    LogIndentUp();
    LogIndentUp();
    AddLogStringWide(L"x\ny\n");
    LogIndentDown();
    AddLogStringWide(L"one tab\n");
    LogIndentDown();
    LogIndentDown();  // stays at 0
    AddLogStringWide(L"no tab\n");
    EXPECT_EQ(L"#:AB\r\n#:\t\tx\r\ny\r\n#:\tone tab\r\n#:no tab\r\n", Appended());
}

TEST_F(LogFile, AnExistingCrLfStopsTheLineEndConversion)
{
    AddLogStringWide(L"a\r\nb\nc");
    AddLogStringWide(L"\n");
    AddLogStringWide(L"\nlead\n");  // a leading line feed has no carriage return before it
    EXPECT_EQ(L"#:a\r\nb\nc\r\n#:\r\nlead\r\n", Appended());
}

TEST_F(LogFile, EntryFormsConvertAndFormatIntoTheWideCode)
{
    EXPECT_EQ(-1, AddLogString("日本語\n"));
    EXPECT_EQ(-1, AddLogStringShiftJis("ｶﾅ\n"));
    EXPECT_EQ(-1, AddLogStringWchar(L"wide\n"));
    EXPECT_EQ(-1, AddLogFormat(L"値=%d %S %s", 5, "日本", L"語"));
    EXPECT_EQ(-1, AddLogFormatShiftJis("%03d %s", 7, "円"));
    EXPECT_EQ(-1, AddLogFormatWide(L"%.2f%%", 12.345));
    EXPECT_EQ(-1, AddLogFormatErrorCode(0x1010003, L"code %x", 0x1010003));
    EXPECT_EQ(-1, AddLogStringWideErrorCode(9, L"nine\n"));
    EXPECT_EQ(-1, LogPlatformFailure(L"CreateThread", 0x80004005ul));  // an HRESULT or a Win32 error
    EXPECT_EQ(-1, AddLogString(nullptr));
    EXPECT_EQ(L"#:日本語\r\n#:ｶﾅ\r\n#:wide\r\n#:値=5 日本 語\r\n#:007 円\r\n#:12.35%\r\n#:code 1010003\r\n#:nine\r\n"
              L"#:CreateThread failed: 0x80004005\r\n#:",
              Appended());
    AddLogStringWide(L"\n");

    wchar_t text[32];
    EXPECT_EQ(9, GetLastErrorInfo(text, sizeof(text)));
    EXPECT_STREQ(L"nine\n", text);
}

TEST_F(LogFile, LongTextsAreWrittenWhole)
{
    std::wstring longLine(5000, L'z');
    LogIndentUp();
    AddLogStringWide((longLine + L"\n").c_str());
    std::string narrow(3000, 'n');
    AddLogString((narrow + "\n").c_str());
    LogIndentDown();
    // Formatted entries stop at their buffer: 1023 units, so no room is left for the line feed.
    // In a wide format "%s" is a wide string.
    AddLogFormat(L"%s", std::wstring(1500, L'f').c_str());
    AddLogStringWide(L"\n");
    EXPECT_EQ(L"#:\t" + longLine + L"\r\n#:\t" + std::wstring(3000, L'n') + L"\r\n#:" + std::wstring(1023, L'f') +
                  L"\r\n",
              Appended());
}

TEST_F(LogFile, ConcurrentWritersLoseNoLine)
{
    const int threads = 8;
    const int lines = 150;
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; t++)
        writers.emplace_back([t] {
            for (int i = 0; i < lines; i++)
                AddLogFormat(L"writer %d line %d", t, i);
        });
    for (std::thread &writer : writers)
        writer.join();

    std::wstring text = Appended();
    std::set<std::wstring> seen;
    size_t pos = 0;
    while (pos < text.size())
    {
        size_t end = text.find(L"\r\n", pos);
        ASSERT_NE(std::wstring::npos, end);
        seen.insert(text.substr(pos, end - pos));
        pos = end + 2;
    }
    EXPECT_EQ(static_cast<size_t>(threads * lines), seen.size());
    for (int t = 0; t < threads; t++)
        for (int i = 0; i < lines; i++)
            EXPECT_EQ(1u, seen.count(L"#:writer " + std::to_wstring(t) + L" line " + std::to_wstring(i)));
}

TEST(LastErrorInfo, KeepsAtMost8192BytesAndANullTextIsEmpty)
{
    std::wstring longText(5000, L'e');
    SetLastErrorInfo(3, longText.c_str());
    std::vector<wchar_t> text(6000);
    EXPECT_EQ(3, GetLastErrorInfo(text.data(), static_cast<int>(text.size() * sizeof(wchar_t))));
    EXPECT_EQ(4095u, wcslen(text.data()));
    SetLastErrorInfo(4, nullptr);
    EXPECT_EQ(4, GetLastErrorInfo(text.data(), 4));
    EXPECT_STREQ(L"", text.data());
    // A small buffer gets a cut, terminated copy.
    SetLastErrorInfo(6, L"abcdef");
    EXPECT_EQ(6, GetLastErrorInfo(text.data(), 6));
    EXPECT_STREQ(L"ab", text.data());
}

TEST(LogFileText, UnopenableFileStillEchoesAndReportsSuccess)
{
    EXPECT_EQ(0, WriteLogFileText(L"Z:\\no\\such\\folder\\Log.txt", L"echo only\n"));
    EXPECT_EQ(0, CreateLogFile(L"Z:\\no\\such\\folder\\Log.txt"));
    EXPECT_FALSE(FileExists(L"Z:\\no\\such\\folder\\Log.txt"));
}

TEST(LogFilePath, IsTheCurrentFolderAndLogTxtCutToTheBuffer)
{
    wchar_t folder[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, folder);
    const std::wstring full = std::wstring(folder) + L"\\Log.txt";
    wchar_t path[MAX_PATH + 16];
    EXPECT_EQ(0, GetLogFilePath(path, sizeof(path)));
    EXPECT_EQ(full, path);

    // A buffer of exactly the path's length holds all but its last character and the terminator.
    std::vector<wchar_t> exact(full.size() + 1, L'#');
    GetLogFilePath(exact.data(), static_cast<int>(full.size() * sizeof(wchar_t)));
    EXPECT_EQ(full.substr(0, full.size() - 1), exact.data());
    EXPECT_EQ(L'#', exact[full.size()]);
}

} // namespace
