// File access: the one replaceable table of 13 operations through which the library reads
// every file (sounds, images, fonts, movies, archives), the loose-file set that reads plain
// files through the Windows file layer, the path normaliser and the File handle type.
//
// Paths handed to the table are in the library's wide code (UTF-16LE, wchar_t on Windows).
// A program may install a table of its own whose paths are in the library's current
// multibyte code; the library then converts every path on the way in and out.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "zovuz/core/handle/handle.h"
#include "zovuz/core/file/stream.h"

// Stream ids and find ids are pointer-sized. A stream id of 0 means "no stream"; a find id
// of FILE_FIND_ID_NONE ((uintptr_t)-1) means the search failed.
typedef uintptr_t FileStreamId;
typedef uintptr_t FileFindId;
#define FILE_FIND_ID_NONE ((FileFindId)-1)

// Room for path texts inside the file layer: 3072 bytes, 1536 wide characters with the
// terminator.
#define FILE_PATH_MAX_BYTES 3072
#define FILE_PATH_MAX_CHARS (FILE_PATH_MAX_BYTES / 2)

// Local date and time of a directory entry.
struct FileDateTime
{
    int Year;  // four digits
    int Mon;   // 1..12
    int Day;   // 1..31
    int Hour;  // 0..23
    int Min;   // 0..59
    int Sec;   // 0..59
};

// One directory entry as a search reports it, name in the wide code.
struct FileFindRecord
{
    wchar_t Name[260];           // terminated, at most 259 characters
    int DirFlag;                 // 1 for a directory
    uint64_t Size;               // bytes
    FileDateTime CreationTime;   // local time
    FileDateTime LastWriteTime;  // local time
};

// The same entry as a caller-supplied table reports it, name in the multibyte code.
struct FileFindRecordA
{
    char Name[520];  // terminated
    int DirFlag;
    uint64_t Size;
    FileDateTime CreationTime;
    FileDateTime LastWriteTime;
};

// The 13 operations, in slot order. Read returns whole blocks read; Eof is non-zero at the
// end; IdleCheck is 1 when no asynchronous read is pending.
struct FileAccessFunctionTable
{
    FileStreamId (*Open)(const wchar_t *Path, int UseCacheFlag, int BlockReadFlag, int UseASyncReadFlag);
    int (*Close)(FileStreamId Handle);
    int64_t (*Tell)(FileStreamId Handle);
    int (*Seek)(FileStreamId Handle, int64_t SeekPoint, int SeekType);
    size_t (*Read)(void *Buffer, size_t BlockSize, size_t DataNum, FileStreamId Handle);
    int (*Eof)(FileStreamId Handle);
    int (*IdleCheck)(FileStreamId Handle);
    int (*ChDir)(const wchar_t *Path);
    int (*GetDir)(wchar_t *Buffer);
    int (*GetDirS)(wchar_t *Buffer, size_t BufferBytes);
    FileFindId (*FindFirst)(const wchar_t *FilePath, FileFindRecord *Buffer);
    int (*FindNext)(FileFindId FindHandle, FileFindRecord *Buffer);
    int (*FindClose)(FileFindId FindHandle);
};

// A program's own table: the same slots with paths and names in the current multibyte code.
// GetDirS and GetDir may be null (not both); the others must be set.
struct FileAccessFunctionTableA
{
    FileStreamId (*Open)(const char *Path, int UseCacheFlag, int BlockReadFlag, int UseASyncReadFlag);
    int (*Close)(FileStreamId Handle);
    int64_t (*Tell)(FileStreamId Handle);
    int (*Seek)(FileStreamId Handle, int64_t SeekPoint, int SeekType);
    size_t (*Read)(void *Buffer, size_t BlockSize, size_t DataNum, FileStreamId Handle);
    int (*Eof)(FileStreamId Handle);
    int (*IdleCheck)(FileStreamId Handle);
    int (*ChDir)(const char *Path);
    int (*GetDir)(char *Buffer);
    int (*GetDirS)(char *Buffer, size_t BufferBytes);
    FileFindId (*FindFirst)(const char *FilePath, FileFindRecordA *Buffer);
    int (*FindNext)(FileFindId FindHandle, FileFindRecordA *Buffer);
    int (*FindClose)(FileFindId FindHandle);
};

// The active table.
const FileAccessFunctionTable *GetFileAccessFunctionTable(void);

// The active table's slots. FileAccessGetDir uses the sized slot when the table has one.
FileStreamId FileAccessOpen(const wchar_t *Path, int UseCacheFlag, int BlockReadFlag, int UseASyncReadFlag);
int FileAccessClose(FileStreamId Handle);
int64_t FileAccessTell(FileStreamId Handle);
int FileAccessSeek(FileStreamId Handle, int64_t SeekPoint, int SeekType);
size_t FileAccessRead(void *Buffer, size_t BlockSize, size_t DataNum, FileStreamId Handle);
int FileAccessEof(FileStreamId Handle);
int FileAccessIdleCheck(FileStreamId Handle);
int FileAccessChangeDir(const wchar_t *Path);
int FileAccessGetDir(wchar_t *Buffer, size_t BufferBytes);
FileFindId FileAccessFindFirst(const wchar_t *FilePath, FileFindRecord *Buffer);
int FileAccessFindNext(FileFindId FindHandle, FileFindRecord *Buffer);
int FileAccessFindClose(FileFindId FindHandle);

// Writes the absolute, normalised form of Src (separators "\", "." and ".." folded) into
// Dest. CurrentDir null means the file-access table's current directory; Src null yields the
// current directory. 0, or -1 (Dest empty when it has room) when the result would not fit in
// 3072 bytes or in BufferBytes.
int ConvertFullPath(const wchar_t *Src, wchar_t *Dest, size_t BufferBytes, const wchar_t *CurrentDir);

// Makes a new empty temporary file "tmp*.tmp" in the temporary folder, open for writing
// without sharing. Its full path goes into PathBuffer (within BufferBytes) when one is given.
// The Windows handle; on failure null (no temporary folder or name) or INVALID_HANDLE_VALUE
// ((void *)-1, the file could not be made). Callers that expect "an open handle or null" must
// test for both.
void *CreateTemporaryFile(wchar_t *PathBuffer, size_t BufferBytes);
