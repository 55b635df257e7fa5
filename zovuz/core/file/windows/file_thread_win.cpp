// Reading files: directly with the caller's thread, or through an access thread per file.
//
// A threaded file's thread owns the Windows handle. While idle with a cache it reads ahead in
// 100 ms steps, so a file read sequentially is mostly served from memory; any read that does
// not start at the cache's position, and any seek, empties the cache and moves it.
#include "zovuz/core/file/windows/file_read_win.h"

#include <string.h>

#include "zovuz/core/text/log.h"
#include "zovuz/core/memory/memory.h"

namespace {

HANDLE OpenForReading(const wchar_t *Path)
{
    return CreateFileW(Path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

int SetFilePosition(HANDLE File, uint64_t Position)
{
    LONG high = (LONG)(Position >> 32);
    DWORD low = SetFilePointer(File, (LONG)(uint32_t)Position, &high, FILE_BEGIN);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return -1;
    return 0;
}

// Reads Size bytes at most; ReadFile takes 32-bit counts, so larger reads go in pieces.
// The bytes read, or -1 when the file system failed.
int64_t ReadAt(HANDLE File, void *Buffer, uint64_t Size)
{
    uint64_t done = 0;
    while (done < Size) {
        DWORD want = (DWORD)((Size - done) > 0x40000000u ? 0x40000000u : (Size - done));
        DWORD got = 0;
        if (!ReadFile(File, (unsigned char *)Buffer + done, want, &got, nullptr)) return -1;
        done += got;
        if (got < want) break;
    }
    return (int64_t)done;
}

// Fills the free tail of the cache from the file, behind its valid bytes.
void ReadAhead(FileAccessThreadBlock *Block)
{
    if (Block->CacheSize >= FILE_ACCESS_CACHE_BYTES) return;
    if (SetFilePosition(Block->FileHandle, Block->CachePosition + Block->CacheSize) != 0) return;
    int64_t got =
        ReadAt(Block->FileHandle, Block->CacheBuffer + Block->CacheSize, FILE_ACCESS_CACHE_BYTES - Block->CacheSize);
    if (got > 0) Block->CacheSize += (uint64_t)got;
}

// Serves a read from the front of the cache where it can, the rest straight from the file.
// ReadDone becomes every byte delivered, ReadError whether the file system failed.
void ServeRead(FileAccessThreadBlock *Block)
{
    unsigned char *dest = (unsigned char *)Block->ReadBuffer;
    uint64_t position = Block->ReadPoint;
    uint64_t wanted = Block->ReadSize;
    Block->ReadDone = 0;
    Block->ReadError = 0;

    if (Block->CacheBuffer != nullptr && Block->CachePosition == position && Block->CacheSize > 0) {
        uint64_t take = wanted < Block->CacheSize ? wanted : Block->CacheSize;
        memcpy(dest, Block->CacheBuffer, (size_t)take);
        dest += take;
        position += take;
        wanted -= take;
        Block->ReadDone += take;
        Block->CachePosition += take;
        Block->CacheSize -= take;
        memmove(Block->CacheBuffer, Block->CacheBuffer + take, (size_t)Block->CacheSize);
    }
    if (wanted == 0) return;

    int64_t got = -1;
    if (SetFilePosition(Block->FileHandle, position) == 0) got = ReadAt(Block->FileHandle, dest, wanted);
    if (got < 0) {
        Block->ReadError = 1;
        got = 0;
    }
    Block->ReadDone += (uint64_t)got;
    if (Block->CacheBuffer != nullptr) {
        Block->CachePosition = position + (uint64_t)got;
        Block->CacheSize = 0;
    }
}

DWORD WINAPI FileAccessThread(LPVOID Param)
{
    FileAccessThreadBlock *block = (FileAccessThreadBlock *)Param;
    for (;;) {
        DWORD wait = WaitForSingleObject(block->CommandEvent, block->CacheBuffer != nullptr ? 100 : INFINITE);
        if (wait == WAIT_TIMEOUT) {
            if (block->FileHandle != nullptr) ReadAhead(block);
            continue;
        }
        ResetEvent(block->CommandEvent);
        ResetEvent(block->ResultEvent);

        switch (block->Command) {
            case FILE_ACCESS_COMMAND_OPEN:
                block->FileHandle = OpenForReading(block->FilePath);
                if (block->FileHandle == INVALID_HANDLE_VALUE) {
                    block->FileHandle = nullptr;
                    block->ErrorFlag = 1;
                    SetEvent(block->ResultEvent);
                    block->EndFlag = 1;
                    return 1;
                }
                break;
            case FILE_ACCESS_COMMAND_CLOSE:
                if (block->FileHandle != nullptr) CloseHandle(block->FileHandle);
                block->FileHandle = nullptr;
                break;
            case FILE_ACCESS_COMMAND_READ:
                ServeRead(block);
                break;
            case FILE_ACCESS_COMMAND_SEEK:
                SetFilePosition(block->FileHandle, block->SeekPoint);
                if (block->CacheBuffer != nullptr) {
                    block->CachePosition = block->SeekPoint;
                    block->CacheSize = 0;
                }
                break;
            case FILE_ACCESS_COMMAND_END:
                if (block->FileHandle != nullptr) CloseHandle(block->FileHandle);
                block->FileHandle = nullptr;
                SetEvent(block->ResultEvent);
                block->EndFlag = 1;
                return 1;
        }
        SetEvent(block->ResultEvent);
    }
}

// Hands a command to an idle thread: the request fields are filled by the caller first.
void WaitIdle(FileAccessThreadBlock *Block) { WaitForSingleObject(Block->ResultEvent, INFINITE); }

void IssueCommand(FileAccessThreadBlock *Block, int Command)
{
    Block->Command = Command;
    ResetEvent(Block->ResultEvent);
    SetEvent(Block->CommandEvent);
}

void ReleaseThreadResources(FileAccessThreadBlock *Block)
{
    if (Block->ThreadHandle != nullptr) {
        WaitForSingleObject(Block->ThreadHandle, INFINITE);
        CloseHandle(Block->ThreadHandle);
        Block->ThreadHandle = nullptr;
    }
    if (Block->CacheBuffer != nullptr) DXFREE(Block->CacheBuffer);
    Block->CacheBuffer = nullptr;
    if (Block->CommandEvent != nullptr) CloseHandle(Block->CommandEvent);
    if (Block->ResultEvent != nullptr) CloseHandle(Block->ResultEvent);
    Block->CommandEvent = Block->ResultEvent = nullptr;
}

int OpenThreaded(ReadOnlyFileRecord *Record, const wchar_t *Path)
{
    FileAccessThreadBlock *block = &Record->Thread;
    if (wcslen(Path) >= FILE_PATH_MAX_CHARS) return -1;

    if (Record->CacheFlag) {
        block->CacheBuffer = (unsigned char *)DXALLOC(FILE_ACCESS_CACHE_BYTES);
        if (block->CacheBuffer == nullptr) {
            AddLogStringShiftJis("ファイル読み込みキャッシュ用メモリの確保に失敗しました\n");
            return -1;
        }
    }
    block->CommandEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    block->ResultEvent = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    if (block->CommandEvent != nullptr && block->ResultEvent != nullptr)
        block->ThreadHandle = CreateThread(nullptr, 0, FileAccessThread, block, 0, &block->ThreadID);
    if (block->ThreadHandle == nullptr) {
        const DWORD error = GetLastError();
        ReleaseThreadResources(block);
        AddLogStringShiftJis("ファイルアクセス専用スレッドの作成に失敗しました\n");
        return LogPlatformFailure(
            block->CommandEvent == nullptr || block->ResultEvent == nullptr ? L"CreateEventW" : L"CreateThread", error);
    }
    SetThreadPriority(block->ThreadHandle, THREAD_PRIORITY_LOWEST);

    wcscpy(block->FilePath, Path);
    IssueCommand(block, FILE_ACCESS_COMMAND_OPEN);
    WaitIdle(block);
    if (block->ErrorFlag) {
        ReleaseThreadResources(block);
        AddLogStringShiftJis("ファイルのオープンに失敗しました\n");
        return -1;
    }
    return 0;
}

}  // namespace

int ReadOnlyFileAccessOpen(ReadOnlyFileRecord *Record, const wchar_t *Path, int UseCacheFlag)
{
    if (Record == nullptr || Path == nullptr) return -1;
    Record->CacheFlag = UseCacheFlag ? 1 : 0;
    Record->ThreadFlag = (UseCacheFlag || Record->ASyncReadFlag) ? 1 : 0;

    // Both modes take the size from a handle of their own; a threaded file then hands the
    // opening to its thread, which keeps the handle it reads with.
    HANDLE file = OpenForReading(Path);
    if (file == INVALID_HANDLE_VALUE) {
        if (Record->ThreadFlag) AddLogStringShiftJis("ファイルのオープンに失敗しました\n");
        return -1;
    }
    DWORD high = 0;
    DWORD low = GetFileSize(file, &high);
    Record->Size = ((uint64_t)high << 32) | low;

    if (!Record->ThreadFlag) {
        Record->FileHandle = file;
        return 0;
    }
    CloseHandle(file);
    return OpenThreaded(Record, Path);
}

int64_t ReadOnlyFileAccessRead(void *Buffer, size_t BlockSize, size_t DataNum, ReadOnlyFileRecord *Record)
{
    uint64_t bytes = (uint64_t)BlockSize * DataNum;
    if (!Record->ThreadFlag) {
        int64_t got = ReadAt(Record->FileHandle, Buffer, bytes);
        Record->ErrorFlag = got < 0;
        return got;
    }

    FileAccessThreadBlock *block = &Record->Thread;
    WaitIdle(block);
    block->ReadBuffer = Buffer;
    block->ReadPoint = Record->Position;
    block->ReadSize = bytes;
    IssueCommand(block, FILE_ACCESS_COMMAND_READ);
    if (Record->ASyncReadFlag) return (int64_t)bytes;

    WaitIdle(block);
    Record->ErrorFlag = block->ReadError;
    if (block->ReadError && block->ReadDone == 0) return -1;
    return (int64_t)block->ReadDone;
}

int ReadOnlyFileAccessSeek(ReadOnlyFileRecord *Record, uint64_t Position)
{
    if (!Record->ThreadFlag) return SetFilePosition(Record->FileHandle, Position);

    FileAccessThreadBlock *block = &Record->Thread;
    WaitIdle(block);
    block->SeekPoint = Position;
    IssueCommand(block, FILE_ACCESS_COMMAND_SEEK);
    return 0;
}

int ReadOnlyFileAccessIdleCheck(ReadOnlyFileRecord *Record)
{
    if (!Record->ThreadFlag) return 1;
    if (WaitForSingleObject(Record->Thread.ResultEvent, 0) == WAIT_TIMEOUT) return 0;
    // Idle: the outcome of the last read, asynchronous ones included, can be read safely.
    Record->ErrorFlag = Record->Thread.ReadError;
    return 1;
}

int ReadOnlyFileAccessClose(ReadOnlyFileRecord *Record)
{
    if (!Record->ThreadFlag) {
        if (!CloseHandle(Record->FileHandle)) return -1;
        Record->FileHandle = nullptr;
        return 0;
    }
    FileAccessThreadBlock *block = &Record->Thread;
    WaitIdle(block);
    IssueCommand(block, FILE_ACCESS_COMMAND_END);
    WaitIdle(block);
    ReleaseThreadResources(block);
    return 0;
}

int ReadOnlyFileAccessThreadAlive(ReadOnlyFileRecord *Record)
{
    HANDLE thread = Record->Thread.ThreadHandle;
    if (thread == nullptr) return 0;
    DWORD code = 0;
    return GetExitCodeThread(thread, &code) && code == STILL_ACTIVE;
}
