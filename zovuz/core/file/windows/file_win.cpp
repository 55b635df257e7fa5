// The loose-file set of the file-access table over the Windows file layer, directory search,
// the current directory, write files and temporary files.
#include <windows.h>

#include <string.h>

#include "zovuz/core/file/file_access.h"
#include "zovuz/core/file/file_access_internal.h"
#include "zovuz/core/file/archive_internal.h"
#include "zovuz/core/memory/memory.h"
#include "zovuz/core/file/windows/file_read_win.h"

namespace {

ReadOnlyFileRecord *RecordOf(FileStreamId Handle) { return (ReadOnlyFileRecord *)Handle; }

// A search in progress: the Windows search handle behind a find id.
struct FindRecord
{
    HANDLE FindHandle;  // from FindFirstFileW
};

void ToDateTime(const FILETIME &Time, FileDateTime *Out)
{
    FILETIME local;
    SYSTEMTIME system;
    memset(Out, 0, sizeof(*Out));
    if (!FileTimeToLocalFileTime(&Time, &local) || !FileTimeToSystemTime(&local, &system)) return;
    Out->Year = system.wYear;
    Out->Mon = system.wMonth;
    Out->Day = system.wDay;
    Out->Hour = system.wHour;
    Out->Min = system.wMinute;
    Out->Sec = system.wSecond;
}

}  // namespace

void FileTimeToFileDateTime(uint64_t FileTime, FileDateTime *DateTime)
{
    FILETIME time;
    time.dwLowDateTime = (DWORD)FileTime;
    time.dwHighDateTime = (DWORD)(FileTime >> 32);
    ToDateTime(time, DateTime);
}

namespace {

void ToFindRecord(const WIN32_FIND_DATAW &Data, FileFindRecord *Out)
{
    if (Out == nullptr) return;
    memset(Out, 0, sizeof(*Out));
    wcsncpy(Out->Name, Data.cFileName, 259);
    Out->DirFlag = (Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
    Out->Size = ((uint64_t)Data.nFileSizeHigh << 32) | Data.nFileSizeLow;
    ToDateTime(Data.ftCreationTime, &Out->CreationTime);
    ToDateTime(Data.ftLastWriteTime, &Out->LastWriteTime);
}

const FileAccessFunctionTable LooseFileTable = {
    .Open = OpenFileStream,
    .Close = CloseFileStream,
    .Tell = TellFileStream,
    .Seek = SeekFileStream,
    .Read = ReadFileStream,
    .Eof = EofFileStream,
    .IdleCheck = IdleCheckFileStream,
    .ChDir = ChangeDirFileStream,
    .GetDir = GetDirFileStream,
    .GetDirS = GetDirSizedFileStream,
    .FindFirst = FindFirstFileStream,
    .FindNext = FindNextFileStream,
    .FindClose = FindCloseFileStream,
};

}  // namespace

const FileAccessFunctionTable *GetLooseFileFunctionTable(void) { return &LooseFileTable; }

FileStreamId OpenFileStream(const wchar_t *Path, int UseCacheFlag, int /*BlockReadFlag*/, int UseASyncReadFlag)
{
    ReadOnlyFileRecord *record = (ReadOnlyFileRecord *)DXCALLOC(sizeof(ReadOnlyFileRecord));
    if (record == nullptr) return 0;
    record->ASyncReadFlag = UseASyncReadFlag ? 1 : 0;
    if (ReadOnlyFileAccessOpen(record, Path, UseCacheFlag) != 0) {
        DXFREE(record);
        return 0;
    }
    return (FileStreamId)record;
}

int CloseFileStream(FileStreamId Handle)
{
    if (ReadOnlyFileAccessClose(RecordOf(Handle)) != 0) return -1;
    DXFREE(RecordOf(Handle));
    return 0;
}

int64_t TellFileStream(FileStreamId Handle) { return (int64_t)RecordOf(Handle)->Position; }

int SeekFileStream(FileStreamId Handle, int64_t SeekPoint, int SeekType)
{
    ReadOnlyFileRecord *record = RecordOf(Handle);
    int64_t position;
    switch (SeekType) {
        case FILE_SEEK_SET:
            position = SeekPoint;
            break;
        case FILE_SEEK_CUR:
            position = (int64_t)record->Position + SeekPoint;
            break;
        case FILE_SEEK_END:
            position = (int64_t)record->Size + SeekPoint;
            break;
        default:
            return -1;
    }
    if (position < 0) position = 0;
    if ((uint64_t)position > record->Size) position = (int64_t)record->Size;
    if (ReadOnlyFileAccessSeek(record, (uint64_t)position) != 0) return -1;
    record->Position = (uint64_t)position;
    record->EOFFlag = 0;
    return 0;
}

size_t ReadFileStream(void *Buffer, size_t BlockSize, size_t DataNum, FileStreamId Handle)
{
    ReadOnlyFileRecord *record = RecordOf(Handle);
    if (BlockSize == 0) return 0;
    if (record->Position >= record->Size) {
        record->EOFFlag = 1;
        return 0;
    }
    uint64_t left = record->Size - record->Position;
    uint64_t count = DataNum;
    if ((uint64_t)BlockSize * count > left) count = left / BlockSize;
    if (count == 0) {
        // Less than one whole block left: the partial block is not read.
        record->EOFFlag = 1;
        return 0;
    }
    int64_t bytes = ReadOnlyFileAccessRead(Buffer, BlockSize, (size_t)count, record);
    if (bytes <= 0) return 0;
    record->Position += (uint64_t)bytes;
    return (size_t)((uint64_t)bytes / BlockSize);
}

int EofFileStream(FileStreamId Handle) { return RecordOf(Handle)->EOFFlag ? -1 : 0; }

int IdleCheckFileStream(FileStreamId Handle) { return ReadOnlyFileAccessIdleCheck(RecordOf(Handle)); }

int FileStreamErrorCheck(FileStreamId Handle) { return RecordOf(Handle)->ErrorFlag; }

int ChangeDirFileStream(const wchar_t *Path) { return SetCurrentDirectory_Wrapper(Path); }

int GetDirFileStream(wchar_t *Buffer)
{
    // The unsized form trusts the caller's buffer, as its callers pass one of the file
    // layer's full path size.
    return GetCurrentDirectoryW(0x3FFFFFFF, Buffer) != 0 ? 0 : -1;
}

int GetDirSizedFileStream(wchar_t *Buffer, size_t BufferBytes)
{
    return GetCurrentDirectory_Wrapper(Buffer, BufferBytes);
}

FileFindId FindFirstFileStream(const wchar_t *FilePath, FileFindRecord *Buffer)
{
    return FindFirstFileW_Wrapper(FilePath, Buffer);
}
int FindNextFileStream(FileFindId FindHandle, FileFindRecord *Buffer)
{
    return FindNextFileW_Wrapper(FindHandle, Buffer);
}
int FindCloseFileStream(FileFindId FindHandle) { return FindClose_Wrapper(FindHandle); }

int SetCurrentDirectory_Wrapper(const wchar_t *Path) { return SetCurrentDirectoryW(Path) ? 0 : -1; }

int GetCurrentDirectory_Wrapper(wchar_t *Buffer, size_t BufferBytes)
{
    DWORD chars = (DWORD)(BufferBytes / 2);
    if (chars == 0) return -1;
    DWORD length = GetCurrentDirectoryW(chars, Buffer);
    // A result at least as long as the buffer is the size it would need: nothing was written.
    if (length == 0 || length >= chars) {
        Buffer[0] = 0;
        return -1;
    }
    return 0;
}

FileFindId FindFirstFileW_Wrapper(const wchar_t *FilePath, FileFindRecord *Buffer)
{
    FindRecord *find = (FindRecord *)DXALLOC(sizeof(FindRecord));
    if (find == nullptr) return FILE_FIND_ID_NONE;
    WIN32_FIND_DATAW data;
    find->FindHandle = FindFirstFileW(FilePath, &data);
    if (find->FindHandle == INVALID_HANDLE_VALUE) {
        DXFREE(find);
        return FILE_FIND_ID_NONE;
    }
    ToFindRecord(data, Buffer);
    return (FileFindId)find;
}

int FindNextFileW_Wrapper(FileFindId FindHandle, FileFindRecord *Buffer)
{
    WIN32_FIND_DATAW data;
    if (!FindNextFileW(((FindRecord *)FindHandle)->FindHandle, &data)) return -1;
    ToFindRecord(data, Buffer);
    return 0;
}

int FindClose_Wrapper(FileFindId FindHandle)
{
    FindRecord *find = (FindRecord *)FindHandle;
    if (!FindClose(find->FindHandle)) return -1;
    DXFREE(find);
    return 0;
}

int WriteOnlyFileAccessWrite(void *FileHandle, const void *Data, size_t Bytes, size_t *WrittenBytes)
{
    DWORD written = 0;
    BOOL done = WriteFile((HANDLE)FileHandle, Data, (DWORD)Bytes, &written, nullptr);
    if (WrittenBytes != nullptr) *WrittenBytes = written;
    return done ? 0 : -1;
}

int WriteOnlyFileAccessSeek(void *FileHandle, int32_t Offset, int32_t /*Ignored*/, int SeekType)
{
    DWORD method = SeekType == FILE_SEEK_CUR ? FILE_CURRENT : SeekType == FILE_SEEK_END ? FILE_END : FILE_BEGIN;
    SetFilePointer((HANDLE)FileHandle, Offset, nullptr, method);
    return 0;
}

int WriteOnlyFileAccessClose(void *FileHandle) { return CloseHandle((HANDLE)FileHandle) ? 0 : -1; }

int WriteOnlyFileWrite(void *FileHandle, const void *Data, size_t Bytes, size_t *WrittenBytes)
{
    return WriteOnlyFileAccessWrite(FileHandle, Data, Bytes, WrittenBytes);
}

int WriteOnlyFileSeek(void *FileHandle, int32_t Offset, int32_t Ignored, int SeekType)
{
    return WriteOnlyFileAccessSeek(FileHandle, Offset, Ignored, SeekType);
}

int WriteOnlyFileClose(void *FileHandle) { return WriteOnlyFileAccessClose(FileHandle); }

void *CreateTemporaryFile(wchar_t *PathBuffer, size_t BufferBytes)
{
    wchar_t folder[FILE_PATH_MAX_CHARS];
    wchar_t name[FILE_PATH_MAX_CHARS + MAX_PATH];
    wchar_t full[FILE_PATH_MAX_CHARS];

    DWORD length = GetTempPathW(FILE_PATH_MAX_CHARS - 1, folder);
    if (length == 0 || length >= FILE_PATH_MAX_CHARS - 1) return nullptr;
    if (folder[length - 1] != L'\\' && folder[length - 1] != L'/') {
        folder[length] = L'\\';
        folder[length + 1] = 0;
    }
    if (GetTempFileNameW(folder, L"tmp", 0, name) == 0) return nullptr;
    if (ConvertFullPath(name, full, sizeof(full), nullptr) != 0) {
        DeleteFileW(name);
        return nullptr;
    }

    // GetTempFileNameW reserved the name by making the file; it is made anew without sharing
    // so nothing else can open it while the caller writes.
    DeleteFileW(full);
    HANDLE file = CreateFileW(full, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (PathBuffer != nullptr && BufferBytes >= sizeof(wchar_t)) {
        size_t room = BufferBytes / sizeof(wchar_t) - 1;
        wcsncpy(PathBuffer, full, room);
        PathBuffer[room] = 0;
    }
    return file;
}
