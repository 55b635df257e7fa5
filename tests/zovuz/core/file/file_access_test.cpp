// The file-access table: path normalising and a program's own table in the multibyte code.
#include <gtest/gtest.h>

#include <windows.h>
#include <string.h>

#include <string>
#include <vector>

#include "zovuz/core/text/char_code.h"
#include "zovuz/core/text/char_code_internal.h"
#include "zovuz/core/file/file_access.h"
#include "zovuz/core/file/file_access_internal.h"
#include "zovuz/core/memory/memory.h"

namespace {

TEST(ConvertFullPath, FoldsSeparatorsDotsDrivesAndNetworkPaths)
{
    struct Case { const wchar_t *current; const wchar_t *path; const wchar_t *expected; };
    const Case cases[] = {
        {L"C:\\x", L"a\\..\\b\\.\\c", L"C:\\x\\b\\c"},
        {L"C:\\x", L"\\y", L"C:\\y"},
        {L"C:\\x", L"D:z", L"D:\\z"},
        {L"C:\\x", L"a\\..", L"C:\\x\\a\\.."},        // a last ".." is kept as a name
        {L"C:\\x\\", L"a/b//c", L"C:\\x\\a\\b\\c"},   // trailing separator of the directory dropped
        {L"C:\\x", L"E:/p/q/../r", L"E:\\p\\r"},
        {L"C:\\x", L"\\\\server/share\\f.txt", L"\\\\server\\share\\f.txt"},
        {L"C:\\x", L"..\\..\\..\\y", L"C:\\y"},       // never climbs above the drive
        {L"C:\\x", L"音楽\\曲.mdx", L"C:\\x\\音楽\\曲.mdx"},
        {L"C:\\x", L"\xD83C\xDFB5.txt", L"C:\\x\\\xD83C\xDFB5.txt"},  // a surrogate pair stays whole
        {L"C:\\x", nullptr, L"C:\\x"},
    };
    for (const Case &c : cases) {
        wchar_t out[512];
        ASSERT_EQ(ConvertFullPath(c.path, out, sizeof(out), c.current), 0) << (c.path ? c.path : L"(null)");
        EXPECT_STREQ(out, c.expected);
    }
}

TEST(ConvertFullPath, RefusesResultsThatDoNotFit)
{
    std::wstring longName(FILE_PATH_MAX_CHARS, L'a');
    std::vector<wchar_t> out(8192, L'#');
    EXPECT_EQ(ConvertFullPath(longName.c_str(), out.data(), out.size() * 2, L"C:\\x"), -1);
    EXPECT_EQ(out[0], 0);

    // Fits the name buffer but not the caller's buffer: refused, never cut.
    wchar_t small[8];
    EXPECT_EQ(ConvertFullPath(L"abcdef", small, sizeof(small), L"C:\\x"), -1);
    EXPECT_EQ(small[0], 0);
    wchar_t exact[10];  // "C:\x\abcd" plus the terminator
    EXPECT_EQ(ConvertFullPath(L"abcd", exact, sizeof(exact), L"C:\\x"), 0);
    EXPECT_STREQ(exact, L"C:\\x\\abcd");

    EXPECT_EQ(ConvertFullPath(L"a", nullptr, 100, L"C:\\x"), -1);
    EXPECT_EQ(ConvertFullPath(L"a", small, 1, L"C:\\x"), -1);
}

TEST(ConvertFullPath, WithoutCurrentDirectoryUsesTheTables)
{
    wchar_t current[FILE_PATH_MAX_CHARS];
    ASSERT_EQ(FileAccessGetDir(current, sizeof(current)), 0);
    wchar_t out[FILE_PATH_MAX_CHARS];
    ASSERT_EQ(ConvertFullPath(L"sub\\f.bin", out, sizeof(out), nullptr), 0);
    EXPECT_EQ(std::wstring(out), std::wstring(current) + L"\\sub\\f.bin");
}

// A program's table working in code page 932, recording what it was given.
struct CallerLog {
    std::string openPath, chdirPath, findPattern;
    int sizedCalls = 0, unsizedCalls = 0;
} Log;

FileStreamId FakeOpen(const char *Path, int, int, int) { Log.openPath = Path; return 77; }
int FakeClose(FileStreamId Handle) { return Handle == 77 ? 0 : -1; }
int64_t FakeTell(FileStreamId) { return 5; }
int FakeSeek(FileStreamId, int64_t, int) { return 0; }
size_t FakeRead(void *, size_t, size_t n, FileStreamId) { return n; }
int FakeEof(FileStreamId) { return 0; }
int FakeIdle(FileStreamId) { return 1; }
int FakeChDir(const char *Path) { Log.chdirPath = Path; return 0; }
int FakeGetDir(char *Buffer) { Log.unsizedCalls++; strcpy(Buffer, "C:\\ゲーム"); return 0; }
int FakeGetDirS(char *Buffer, size_t Bytes) { Log.sizedCalls++; snprintf(Buffer, Bytes, "C:\\データ"); return 0; }
FileFindId FakeFindFirst(const char *Pattern, FileFindRecordA *Record)
{
    Log.findPattern = Pattern;
    strcpy(Record->Name, "効果音.wav");
    Record->Size = 1234;
    return 9;
}
int FakeFindNext(FileFindId, FileFindRecordA *Record) { strcpy(Record->Name, "ソ.ogg"); Record->DirFlag = 1; return 0; }
int FakeFindClose(FileFindId) { return 0; }

struct CallerTableFixture : ::testing::Test {
    FileAccessFunctionTableA table = {FakeOpen, FakeClose, FakeTell, FakeSeek, FakeRead, FakeEof, FakeIdle,
                                      FakeChDir, FakeGetDir, FakeGetDirS, FakeFindFirst, FakeFindNext, FakeFindClose};
    void SetUp() override
    {
        ASSERT_EQ(GetCurrentCharCodeFormat(), CHAR_CODE_SHIFTJIS) << "tests run with LANG=ja_JP.UTF-8";
        Log = CallerLog();
    }
    void TearDown() override { SetStreamFunctionTable(nullptr); }
};

TEST_F(CallerTableFixture, PathsAndNamesCrossBetween932AndTheWideCode)
{
    ASSERT_EQ(SetStreamFunctionTable(&table), 0);
    EXPECT_EQ(FileAccessOpen(L"C:\\音楽\\曲.mdx", 0, 0, 0), 77u);
    EXPECT_EQ(Log.openPath, "C:\\音楽\\曲.mdx");  // narrow literal: code page 932
    EXPECT_EQ(FileAccessTell(77), 5);
    EXPECT_EQ(FileAccessClose(77), 0);

    EXPECT_EQ(FileAccessChangeDir(L"D:\\素材"), 0);
    EXPECT_EQ(Log.chdirPath, "D:\\素材");

    FileFindRecord record;
    FileFindId id = FileAccessFindFirst(L"C:\\音*", &record);
    ASSERT_EQ(id, 9u);
    EXPECT_EQ(Log.findPattern, "C:\\音*");
    EXPECT_STREQ(record.Name, L"効果音.wav");
    EXPECT_EQ(record.Size, 1234u);
    EXPECT_EQ(FileAccessFindNext(id, &record), 0);
    EXPECT_STREQ(record.Name, L"ソ.ogg");
    EXPECT_EQ(record.DirFlag, 1);
    EXPECT_EQ(FileAccessFindClose(id), 0);

    wchar_t dir[64];
    EXPECT_EQ(FileAccessGetDir(dir, sizeof(dir)), 0);
    EXPECT_STREQ(dir, L"C:\\データ");
    EXPECT_EQ(Log.sizedCalls, 1);
    EXPECT_EQ(Log.unsizedCalls, 0);
}

TEST_F(CallerTableFixture, GetDirFallsBackToTheUnsizedOperationAndStaysInItsBuffer)
{
    table.GetDirS = nullptr;
    ASSERT_EQ(SetStreamFunctionTable(&table), 0);
    wchar_t dir[64];
    EXPECT_EQ(FileAccessGetDir(dir, sizeof(dir)), 0);
    EXPECT_STREQ(dir, L"C:\\ゲーム");
    EXPECT_EQ(Log.unsizedCalls, 1);

    wchar_t tiny[4] = {L'#', L'#', L'#', L'#'};
    FileAccessGetDir(tiny, 3 * sizeof(wchar_t));
    EXPECT_EQ(tiny[3], L'#');
}

TEST_F(CallerTableFixture, AnOverLongPathNeverReachesTheCallersTable)
{
    ASSERT_EQ(SetStreamFunctionTable(&table), 0);
    std::wstring path(1000, L'音');  // 2000 bytes in code page 932
    EXPECT_EQ(FileAccessOpen(path.c_str(), 0, 0, 0), 0u);
    EXPECT_TRUE(Log.openPath.empty());

    // U+2603 has no code in 932: the path is refused rather than cut at that character.
    EXPECT_EQ(FileAccessOpen(L"C:\\a.txt\x2603", 0, 0, 0), 0u);
    EXPECT_EQ(FileAccessChangeDir(L"C:\\dir\x2603"), -1);
    EXPECT_EQ(FileAccessFindFirst(L"C:\\x\x2603*", nullptr), FILE_FIND_ID_NONE);
    EXPECT_TRUE(Log.openPath.empty());
    EXPECT_TRUE(Log.chdirPath.empty());
    EXPECT_TRUE(Log.findPattern.empty());
}

int Released = 0;
void CountRelease(void *Argument) { Released += *(int *)Argument; }

TEST(FileSystem, StartsOnceEndsOnceAndFileHandlesReleaseWhatTheyHold)
{
    EXPECT_EQ(TerminateFileSystem(), -1);
    EXPECT_EQ(InitializeFileSystem(), 0);
    EXPECT_EQ(InitializeFileSystem(), -1);

    // A memory image: its release callback runs, a private copy is freed.
    int weight = 5;
    int image = AddHandle(DX_HANDLETYPE_FILE, 0, -1);
    ASSERT_NE(image, -1);
    FileHandleData *data = (FileHandleData *)GetHandleData(image);
    data->Kind = 1;
    data->ReleaseCallback = CountRelease;
    data->ReleaseArgument = &weight;
    data->PrivateCopy = 1;
    data->Image = DXALLOC(100);
    const int allocs = GetAllocNum();
    EXPECT_EQ(SubHandle(image), 0);
    EXPECT_EQ(Released, 5);
    EXPECT_EQ(GetAllocNum(), allocs - 2);  // the copy and the handle record

    // An open stream is closed through the table.
    CloseHandle(CreateFileW(L"handle.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    FileStreamId stream = FileAccessOpen(L"handle.bin", 0, 0, 0);
    ASSERT_NE(stream, 0u);
    int opened = AddHandle(DX_HANDLETYPE_FILE, 0, -1);
    ((FileHandleData *)GetHandleData(opened))->Stream = stream;
    EXPECT_EQ(SubHandle(opened), 0);
    EXPECT_EQ(FileAccessClose(stream), -1);  // already closed

    EXPECT_EQ(TerminateFileSystem(), 0);
    EXPECT_EQ(TerminateFileSystem(), -1);
    EXPECT_EQ(AddHandle(DX_HANDLETYPE_FILE, 0, -1), -1);
}

}  // namespace
