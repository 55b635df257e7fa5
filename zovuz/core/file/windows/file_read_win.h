// Files open for reading through the Windows file layer: directly, or through an access
// thread of their own that reads ahead into a 128 KB cache and carries out reads in the
// background. Internal to the file layer.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "zovuz/core/file/file_access.h"

#define FILE_ACCESS_CACHE_BYTES 0x20000

// Commands to a file's access thread.
enum FileAccessCommand {
    FILE_ACCESS_COMMAND_OPEN = 0,
    FILE_ACCESS_COMMAND_CLOSE = 1,
    FILE_ACCESS_COMMAND_READ = 2,
    FILE_ACCESS_COMMAND_SEEK = 3,
    FILE_ACCESS_COMMAND_END = 4,
};

// Shared between a caller and its file's access thread. The caller touches the request fields
// only while the result event is set (idle); the thread only between taking a command and
// setting the result event.
struct FileAccessThreadBlock
{
    DWORD ThreadID;                         // the access thread's id
    HANDLE ThreadHandle;                    // the access thread
    HANDLE FileHandle;                      // owned by the thread
    HANDLE CommandEvent;                    // manual reset, starts clear: a command waits
    HANDLE ResultEvent;                     // manual reset, starts set: set means idle
    int Command;                            // FileAccessCommand
    int EndFlag;                            // the thread has ended
    int ErrorFlag;                          // the open failed
    wchar_t FilePath[FILE_PATH_MAX_CHARS];  // the file to open
    void *ReadBuffer;                       // read request: destination
    uint64_t ReadPoint;                     // read request: file position
    uint64_t ReadSize;                      // read request: bytes wanted
    uint64_t ReadDone;                      // bytes delivered by the last read (cache and file)
    int ReadError;                          // the last read failed in the file system
    uint64_t SeekPoint;                     // seek request: file position
    unsigned char *CacheBuffer;             // FILE_ACCESS_CACHE_BYTES, or null without a cache
    uint64_t CachePosition;                 // file position of the cache's first byte
    uint64_t CacheSize;                     // valid bytes in the cache
};

// One file open for reading, zeroed when made.
struct ReadOnlyFileRecord
{
    int EOFFlag;                   // a read met the end
    uint64_t Position;             // read position
    uint64_t Size;                 // file size, taken at open
    int ASyncReadFlag;             // reads return before they are done
    HANDLE FileHandle;             // direct mode only
    int ThreadFlag;                // 1 when a cache or asynchronous reading was asked for
    int CacheFlag;                 // a read-ahead cache was asked for
    int ErrorFlag;                 // the last read failed in the file system
    FileAccessThreadBlock Thread;  // threaded mode only
};

int ReadOnlyFileAccessOpen(ReadOnlyFileRecord *Record, const wchar_t *Path, int UseCacheFlag);
// The bytes delivered, or -1 when the file system failed the read. Asynchronous reads answer
// the bytes asked for at once; the caller polls ReadOnlyFileAccessIdleCheck.
int64_t ReadOnlyFileAccessRead(void *Buffer, size_t BlockSize, size_t DataNum, ReadOnlyFileRecord *Record);
int ReadOnlyFileAccessSeek(ReadOnlyFileRecord *Record, uint64_t Position);
int ReadOnlyFileAccessIdleCheck(ReadOnlyFileRecord *Record);
int ReadOnlyFileAccessClose(ReadOnlyFileRecord *Record);

// Whether a file's access thread is still running (tests prove that a failed open leaves none).
int ReadOnlyFileAccessThreadAlive(ReadOnlyFileRecord *Record);
