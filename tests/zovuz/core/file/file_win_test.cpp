// The Windows file layer: loose-file streams in their three modes, the access thread and its
// cache, directory search, temporary files and write files.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <set>
#include <string>
#include <vector>

#include "tests/support/test_files.h"
#include "zovuz/core/file/file_access.h"
#include "zovuz/core/file/file_access_internal.h"
#include "zovuz/core/file/windows/file_read_win.h"

namespace {

std::vector<unsigned char> Pattern(size_t Size)
{
    std::vector<unsigned char> data(Size);
    for (size_t i = 0; i < Size; i++) data[i] = (unsigned char)(i * 7 + (i >> 8));
    return data;
}

void WriteWholeFile(const std::wstring &Path, const std::vector<unsigned char> &Data)
{
    ASSERT_TRUE(WriteFileBytes(Path, Data));
}

int ThreadsOfThisProcess()
{
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry;
    entry.dwSize = sizeof(entry);
    int count = 0;
    for (BOOL ok = Thread32First(snap, &entry); ok; ok = Thread32Next(snap, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) count++;
    CloseHandle(snap);
    return count;
}

// Every read rule holds the same in the direct, cached and asynchronous modes.
struct Mode { const char *name; int cache; int async; };
const Mode Modes[] = {{"direct", 0, 0}, {"cached", 1, 0}, {"async", 0, 1}};

size_t ReadAndWait(void *Buffer, size_t BlockSize, size_t Count, FileStreamId Stream)
{
    size_t got = ReadFileStream(Buffer, BlockSize, Count, Stream);
    while (IdleCheckFileStream(Stream) == 0) Sleep(0);
    return got;
}

TEST(FileStream, PartialLastBlockAndEndInEveryMode)
{
    const std::vector<unsigned char> data = Pattern(12);
    WriteWholeFile(L"twelve.bin", data);
    for (const Mode &mode : Modes) {
        SCOPED_TRACE(mode.name);
        FileStreamId stream = OpenFileStream(L"twelve.bin", mode.cache, 0, mode.async);
        ASSERT_NE(stream, 0u);
        unsigned char buffer[16] = {};
        EXPECT_EQ(SeekFileStream(stream, 5, FILE_SEEK_SET), 0);
        EXPECT_EQ(ReadAndWait(buffer, 4, 3, stream), 1u);  // one whole block of the 7 bytes left
        EXPECT_EQ(memcmp(buffer, data.data() + 5, 4), 0);
        EXPECT_EQ(TellFileStream(stream), 9);
        EXPECT_EQ(EofFileStream(stream), 0);
        EXPECT_EQ(ReadAndWait(buffer, 4, 3, stream), 0u);  // 3 bytes: less than a block
        EXPECT_EQ(EofFileStream(stream), -1);
        EXPECT_EQ(TellFileStream(stream), 9);

        EXPECT_EQ(SeekFileStream(stream, -1, FILE_SEEK_SET), 0);
        EXPECT_EQ(TellFileStream(stream), 0);
        EXPECT_EQ(EofFileStream(stream), 0);
        EXPECT_EQ(SeekFileStream(stream, 100, FILE_SEEK_END), 0);
        EXPECT_EQ(TellFileStream(stream), 12);
        EXPECT_EQ(SeekFileStream(stream, 0, 9), -1);
        EXPECT_EQ(ReadAndWait(buffer, 1, 1, stream), 0u);
        EXPECT_EQ(EofFileStream(stream), -1);

        EXPECT_EQ(SeekFileStream(stream, -12, FILE_SEEK_CUR), 0);
        EXPECT_EQ(ReadAndWait(buffer, 3, 4, stream), 4u);
        EXPECT_EQ(memcmp(buffer, data.data(), 12), 0);
        EXPECT_EQ(ReadAndWait(buffer, 0, 4, stream), 0u);
        EXPECT_EQ(CloseFileStream(stream), 0);
    }
}

TEST(FileStream, ReadsAfterIdlePeriodsComeFromTheReadAheadCache)
{
    const std::vector<unsigned char> data = Pattern(300000);
    WriteWholeFile(L"cached.bin", data);
    FileStreamId stream = OpenFileStream(L"cached.bin", 1, 0, 0);
    ASSERT_NE(stream, 0u);
    ReadOnlyFileRecord *record = (ReadOnlyFileRecord *)stream;
    ASSERT_NE(record->Thread.CacheBuffer, nullptr);

    std::vector<unsigned char> block(4096);
    for (int i = 0; i < 5; i++) {
        // Idle long enough for the thread to fill the cache behind the read position.
        for (int wait = 0; wait < 100 && record->Thread.CacheSize < FILE_ACCESS_CACHE_BYTES; wait++) Sleep(20);
        ASSERT_EQ(record->Thread.CachePosition, (uint64_t)i * 4096);
        ASSERT_EQ(record->Thread.CacheSize, (uint64_t)FILE_ACCESS_CACHE_BYTES);
        ASSERT_EQ(ReadFileStream(block.data(), 4096, 1, stream), 1u);
        EXPECT_EQ(memcmp(block.data(), data.data() + i * 4096, 4096), 0);
        // Served from the front: the cache start moved on by one block.
        EXPECT_EQ(record->Thread.CachePosition, (uint64_t)(i + 1) * 4096);
        EXPECT_GE(record->Thread.CacheSize, (uint64_t)FILE_ACCESS_CACHE_BYTES - 4096);
    }
    // A seek elsewhere empties the cache there; the read is then served from the file.
    ASSERT_EQ(SeekFileStream(stream, 250000, FILE_SEEK_SET), 0);
    std::vector<unsigned char> tail(50000);
    ASSERT_EQ(ReadFileStream(tail.data(), 1, tail.size(), stream), tail.size());
    EXPECT_EQ(memcmp(tail.data(), data.data() + 250000, tail.size()), 0);
    EXPECT_EQ(CloseFileStream(stream), 0);
}

TEST(FileStream, AsynchronousReadCompletesWhileTheCallerPolls)
{
    const std::vector<unsigned char> data = Pattern(4 << 20);
    WriteWholeFile(L"async.bin", data);
    FileStreamId stream = OpenFileStream(L"async.bin", 0, 0, 1);
    ASSERT_NE(stream, 0u);
    std::vector<unsigned char> buffer(data.size());
    EXPECT_EQ(ReadFileStream(buffer.data(), 1024, buffer.size() / 1024, stream), buffer.size() / 1024);
    int polls = 0;
    while (IdleCheckFileStream(stream) == 0) {
        polls++;
        Sleep(0);
    }
    EXPECT_EQ(IdleCheckFileStream(stream), 1);
    EXPECT_EQ(buffer, data);
    EXPECT_EQ(TellFileStream(stream), (int64_t)data.size());
    EXPECT_EQ(CloseFileStream(stream), 0);
}

TEST(FileStream, ThreadedReadReportsWhatTheFileGave)
{
    const std::vector<unsigned char> data = Pattern(100);
    WriteWholeFile(L"short.bin", data);
    for (int cache = 0; cache < 2; cache++) {
        ReadOnlyFileRecord record = {};
        ASSERT_EQ(ReadOnlyFileAccessOpen(&record, L"short.bin", 1), 0);
        record.Position = 97;  // a raw read past the end gives only what is there
        unsigned char buffer[16];
        EXPECT_EQ(ReadOnlyFileAccessRead(buffer, 1, 16, &record), 3);

        // A destination the file system cannot write to fails the read, reported as such.
        void *readOnly = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READONLY);
        record.Position = 0;
        EXPECT_EQ(ReadOnlyFileAccessRead(readOnly, 1, 64, &record), -1);
        EXPECT_EQ(record.ErrorFlag, 1);
        VirtualFree(readOnly, 0, MEM_RELEASE);
        EXPECT_EQ(ReadOnlyFileAccessClose(&record), 0);
    }

    // Asynchronously the failure is known once the read is over.
    FileStreamId stream = OpenFileStream(L"short.bin", 0, 0, 1);
    ASSERT_NE(stream, 0u);
    void *readOnly = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READONLY);
    ReadFileStream(readOnly, 1, 64, stream);
    while (IdleCheckFileStream(stream) == 0) Sleep(0);
    EXPECT_EQ(FileStreamErrorCheck(stream), 1);
    unsigned char good[8];
    SeekFileStream(stream, 0, FILE_SEEK_SET);
    EXPECT_EQ(ReadAndWait(good, 8, 1, stream), 1u);
    EXPECT_EQ(FileStreamErrorCheck(stream), 0);
    VirtualFree(readOnly, 0, MEM_RELEASE);
    EXPECT_EQ(CloseFileStream(stream), 0);
}

TEST(FileStream, MissingFileFailsAndLeavesNoThread)
{
    const int before = ThreadsOfThisProcess();
    for (const Mode &mode : Modes) {
        EXPECT_EQ(OpenFileStream(L"no such file.bin", mode.cache, 0, mode.async), 0u) << mode.name;
        ReadOnlyFileRecord record = {};
        record.ASyncReadFlag = mode.async;
        EXPECT_EQ(ReadOnlyFileAccessOpen(&record, L"no such file.bin", mode.cache), -1);
        EXPECT_EQ(ReadOnlyFileAccessThreadAlive(&record), 0);
    }
    EXPECT_EQ(ThreadsOfThisProcess(), before);

    // An over-long path is refused the same way.
    ReadOnlyFileRecord record = {};
    std::wstring tooLong(FILE_PATH_MAX_CHARS + 10, L'x');
    EXPECT_EQ(ReadOnlyFileAccessOpen(&record, tooLong.c_str(), 1), -1);
    EXPECT_EQ(ThreadsOfThisProcess(), before);
}

TEST(FileSearch, ListsAFolderWithJapaneseNames)
{
    CreateDirectoryW(L"search", nullptr);
    const std::set<std::wstring> expected = {L".", L"..", L"a.txt", L"音楽データ.bin", L"サブ"};
    WriteWholeFile(L"search\\a.txt", Pattern(10));
    WriteWholeFile(L"search\\音楽データ.bin", Pattern(300));
    CreateDirectoryW(L"search\\サブ", nullptr);

    std::set<std::wstring> found;
    FileFindRecord record;
    FileFindId id = FindFirstFileStream(L"search\\*", &record);
    ASSERT_NE(id, FILE_FIND_ID_NONE);
    do {
        found.insert(record.Name);
        if (std::wstring(record.Name) == L"音楽データ.bin") {
            EXPECT_EQ(record.Size, 300u);
            EXPECT_EQ(record.DirFlag, 0);
            EXPECT_GE(record.LastWriteTime.Year, 2020);
        }
        if (std::wstring(record.Name) == L"サブ") {
            EXPECT_EQ(record.DirFlag, 1);
        }
    } while (FindNextFileStream(id, &record) == 0);
    EXPECT_EQ(FindCloseFileStream(id), 0);
    EXPECT_EQ(found, expected);

    EXPECT_EQ(FindFirstFileStream(L"search\\*.none", nullptr), FILE_FIND_ID_NONE);

    // The Japanese name opens and reads through the table as any other.
    FileStreamId stream = FileAccessOpen(L"search\\音楽データ.bin", 0, 0, 0);
    ASSERT_NE(stream, 0u);
    unsigned char buffer[300];
    EXPECT_EQ(FileAccessRead(buffer, 300, 1, stream), 1u);
    EXPECT_EQ(std::vector<unsigned char>(buffer, buffer + 300), Pattern(300));
    EXPECT_EQ(FileAccessClose(stream), 0);
}

TEST(FileDirectory, ChangesAndReportsTheCurrentDirectory)
{
    wchar_t start[FILE_PATH_MAX_CHARS];
    ASSERT_EQ(GetDirSizedFileStream(start, sizeof(start)), 0);
    CreateDirectoryW(L"フォルダ", nullptr);
    ASSERT_EQ(ChangeDirFileStream(L"フォルダ"), 0);
    wchar_t now[FILE_PATH_MAX_CHARS];
    ASSERT_EQ(GetDirFileStream(now), 0);
    EXPECT_EQ(std::wstring(now), std::wstring(start) + L"\\フォルダ");
    wchar_t tiny[4];
    EXPECT_EQ(GetDirSizedFileStream(tiny, sizeof(tiny)), -1);
    EXPECT_EQ(ChangeDirFileStream(L"no such folder"), -1);
    ASSERT_EQ(ChangeDirFileStream(start), 0);
}

TEST(TemporaryFile, IsNewWritableAndNamedInTheTemporaryFolder)
{
    wchar_t path[FILE_PATH_MAX_CHARS];
    void *file = CreateTemporaryFile(path, sizeof(path));
    ASSERT_NE(file, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    wchar_t folder[MAX_PATH + 1];
    GetTempPathW(MAX_PATH, folder);
    wchar_t folderFull[FILE_PATH_MAX_CHARS];
    ASSERT_EQ(ConvertFullPath(folder, folderFull, sizeof(folderFull), nullptr), 0);
    EXPECT_EQ(std::wstring(path).rfind(std::wstring(folderFull) + L"\\tmp", 0), 0u) << path;

    // Nothing else may open it while it is being written.
    EXPECT_EQ(OpenFileStream(path, 0, 0, 0), 0u);

    size_t written = 0;
    EXPECT_EQ(WriteOnlyFileAccessWrite(file, "RIFFxxxxWAVE", 12, &written), 0);
    EXPECT_EQ(written, 12u);
    EXPECT_EQ(WriteOnlyFileSeek(file, 4, 0, FILE_SEEK_SET), 0);
    EXPECT_EQ(WriteOnlyFileWrite(file, "1234", 4, nullptr), 0);
    EXPECT_EQ(WriteOnlyFileAccessSeek(file, 0, 0, FILE_SEEK_END), 0);
    EXPECT_EQ(WriteOnlyFileWrite(file, "!", 1, nullptr), 0);
    EXPECT_EQ(WriteOnlyFileClose(file), 0);

    FileStreamId stream = OpenFileStream(path, 0, 0, 0);
    ASSERT_NE(stream, 0u);
    char text[14] = {};
    EXPECT_EQ(ReadFileStream(text, 1, 13, stream), 13u);
    EXPECT_STREQ(text, "RIFF1234WAVE!");
    EXPECT_EQ(CloseFileStream(stream), 0);
    EXPECT_TRUE(DeleteFileW(path));

    // A buffer too small for the path still gets a terminated text and a usable file.
    wchar_t small[4];
    file = CreateTemporaryFile(small, sizeof(small));
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(wcslen(small), 3u);
    WriteOnlyFileAccessClose(file);
    void *unnamed = CreateTemporaryFile(nullptr, 0);
    ASSERT_NE(unnamed, INVALID_HANDLE_VALUE);
    WriteOnlyFileAccessClose(unnamed);
}

}  // namespace
