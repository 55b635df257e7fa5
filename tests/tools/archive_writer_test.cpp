// The archive writer program: a folder with nested and Japanese names becomes an archive the
// library reads back, in each version and with packing and key options.
#include <gtest/gtest.h>

#include <windows.h>

#include <string.h>

#include <string>

#include "tests/support/test_files.h"
#include "tests/support/test_paths.h"
#include "zovuz/core/file/archive.h"

namespace {

void WriteText(const std::wstring &Path, const std::string &Text)
{
    ASSERT_TRUE(WriteFileBytes(Path, Text));
}

// Runs the writer with Arguments: its exit code (-1 when it could not start) and, in Messages,
// what it wrote to its output and error streams.
int RunWriter(const std::wstring &Arguments, std::wstring *Messages = nullptr)
{
    std::string exe = TestBuildDir() + "/tools/archive_writer/archive_writer.exe";
    std::string output;
    int code = RunProgram(L"\"" + std::wstring(exe.begin(), exe.end()) + L"\" " + Arguments, &output);
    if (Messages != nullptr) {
        // The writer names files in the system's code page.
        Messages->assign(output.size(), L'\0');
        int units = MultiByteToWideChar(CP_ACP, 0, output.data(), (int)output.size(), &(*Messages)[0], (int)output.size());
        Messages->resize(units > 0 ? (size_t)units : 0);
    }
    return code;
}

std::string ReadMember(DxArchiveRecord *Record, int CodePage, const char *Name)
{
    uint64_t position = 0, size = 0;
    if (ArchiveFindFile(Record, CodePage, Name, &position, &size) != 0) return "<missing>";
    std::string text((size_t)size, '\0');
    const unsigned char *image = (const unsigned char *)ArchiveWaitReadEnd(Record);
    memcpy(&text[0], image + position, (size_t)size);
    return text;
}

TEST(ArchiveWriterProgram, PacksAFolderTheReaderReadsBack)
{
    CreateDirectoryW(L"src", nullptr);
    CreateDirectoryW(L"src\\サブ", nullptr);
    CreateDirectoryW(L"src\\サブ\\empty", nullptr);
    WriteText(L"src\\a.txt", "first file");
    WriteText(L"src\\サブ\\曲.txt", "nested");

    struct Case { const wchar_t *options; const char *key; };
    const Case cases[] = {{L"-v 2", nullptr}, {L"-v 5 -cp 65001", nullptr}, {L"-v 6 -k secret", "secret"}, {L"-v 6 -ff", nullptr}};
    for (const Case &c : cases) {
        ASSERT_EQ(RunWriter(std::wstring(c.options) + L" src out.dxa"), 0) << c.options;
        DxArchiveRecord record;
        ASSERT_EQ(OpenArchiveFileToMemory(&record, L"out.dxa", c.key, 0), 0) << c.options;
        EXPECT_EQ(ReadMember(&record, 1200, (const char *)L"A.TXT"), "first file");
        EXPECT_EQ(ReadMember(&record, 1200, (const char *)L"サブ\\曲.txt"), "nested");
        uint64_t position, size;
        EXPECT_EQ(ArchiveFindFile(&record, 1200, (const char *)L"サブ\\empty", &position, &size), -1);  // a folder
        ArchiveCloseRecord(&record);
    }

    // Packed entries are found but have no plain position; the reader's own streams read them.
    ASSERT_EQ(RunWriter(L"-v 6 -p src out.dxa"), 0);
    DxArchiveRecord record;
    ASSERT_EQ(OpenArchiveFileStreamed(&record, L"out.dxa", nullptr), 0);
    uint64_t position, size;
    EXPECT_EQ(ArchiveFindFile(&record, 1200, (const char *)L"a.txt", &position, &size), -1);
    ArchiveCloseRecord(&record);

    // A key is taken, with a warning: the default file access would not open the archive.
    std::wstring messages;
    ASSERT_EQ(RunWriter(L"-v 6 -k secret src out.dxa", &messages), 0);
    EXPECT_NE(messages.find(L"warning"), std::wstring::npos) << messages;
    ASSERT_EQ(RunWriter(L"-v 6 src out.dxa", &messages), 0);
    EXPECT_EQ(messages.find(L"warning"), std::wstring::npos) << messages;
}

// Input the writer cannot pack as it is gives no archive, an exit code of 1 and a message that
// names the file, never an empty or damaged archive and success.
TEST(ArchiveWriterProgram, RefusesWhatItCannotPackAsItIs)
{
    CreateDirectoryW(L"given", nullptr);
    WriteText(L"given\\a.txt", "first file");
    CreateDirectoryW(L"latin", nullptr);
    WriteText(L"latin\\曲.txt", "a name code page 1252 has no letters for");
    WriteText(L"latin\\歌.txt", "another, which would also become ?.txt");

    struct Case { const wchar_t *arguments; const wchar_t *named; const wchar_t *reason; };
    const Case cases[] = {
        {L"missing out.dxa", L"missing", L"cannot find"},
        {L"given\\a.txt out.dxa", L"given\\a.txt", L"not a folder"},
        {L"-v 5 -cp 1252 latin out.dxa", L"latin\\", L"cannot spell"},
        {L"-v 7 given out.dxa", L"", L"version"},
        {L"-v 1 -p given out.dxa", L"", L"packing"},
    };
    for (const Case &c : cases) {
        DeleteFileW(L"out.dxa");
        std::wstring messages;
        EXPECT_EQ(RunWriter(c.arguments, &messages), 1) << c.arguments;
        EXPECT_NE(messages.find(c.named), std::wstring::npos) << c.arguments << ": " << messages;
        EXPECT_NE(messages.find(c.reason), std::wstring::npos) << c.arguments << ": " << messages;
        EXPECT_EQ(GetFileAttributesW(L"out.dxa"), INVALID_FILE_ATTRIBUTES) << c.arguments;
    }
    // Code page 932 spells both names.
    EXPECT_EQ(RunWriter(L"-v 5 -cp 932 latin out.dxa"), 0);
    EXPECT_NE(RunWriter(L"given"), 0);  // no archive named
}

}  // namespace
