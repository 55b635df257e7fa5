// The archive writer program: a folder with nested and Japanese names becomes an archive the
// library reads back, in each version and with packing and key options.
#include <gtest/gtest.h>

#include <windows.h>

#include <string.h>

#include <string>

#include "tests/support/test_files.h"
#include "tests/support/test_paths.h"
#include "zovuz/core/archive.h"

namespace {

void WriteText(const std::wstring &Path, const std::string &Text)
{
    ASSERT_TRUE(WriteFileBytes(Path, Text));
}

// Runs the writer with Arguments; its exit code, or -1 when it could not start.
int RunWriter(const std::wstring &Arguments)
{
    std::string exe = TestBuildDir() + "/tools/archive_writer/archive_writer.exe";
    return RunProgram(L"\"" + std::wstring(exe.begin(), exe.end()) + L"\" " + Arguments);
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

    EXPECT_NE(RunWriter(L"-v 3 src out.dxa"), 0);
    EXPECT_NE(RunWriter(L"src"), 0);
}

}  // namespace
