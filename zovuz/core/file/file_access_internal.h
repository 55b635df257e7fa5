// Internal calls of the core behind file_access.h: used by the core's own files and its tests, never by
// the application or another subsystem.
#pragma once

#include "zovuz/core/file/file_access.h"

// Installs the caller's table (copied; its paths are converted) or, with null, the library's
// default set. Streams opened through one set must be closed before another is installed.
// Always 0.
int SetStreamFunctionTable(const FileAccessFunctionTableA *CallerTable);

// Starts file access: registers handle type 17 "File" and fills the stream tables. 0, or -1
// when already started. TerminateFileSystem: 0, or -1 when not started.
int InitializeFileSystem(void);
int TerminateFileSystem(void);

// File handle record (type 17). Nothing in this system makes File handles; deleting one
// releases what it holds through FileHandleTerminate.
struct FileHandleData
{
    HandleInfo Info;                          // handle header
    int Kind;                                 // 0 an open stream, 1 a memory image
    FileStreamId Stream;                      // kind 0: the stream, 0 once closed
    void (*ReleaseCallback)(void *Argument);  // kind 1: told when the image is no longer needed
    void *ReleaseArgument;                    // kind 1: the callback's argument
    int PrivateCopy;                          // kind 1: Image is the library's own copy (DxAlloc)
    void *Image;                              // kind 1: the image (or its copy)
};
int FileHandleTerminate(FileHandleData *Data);

// The loose-file set (windows/file_win.cpp): plain files through the Windows file layer, with
// a position and an end flag per stream. The default set uses it for loose files and for the
// archive files themselves.
FileStreamId OpenFileStream(const wchar_t *Path, int UseCacheFlag, int BlockReadFlag, int UseASyncReadFlag);
int CloseFileStream(FileStreamId Handle);
int64_t TellFileStream(FileStreamId Handle);
int SeekFileStream(FileStreamId Handle, int64_t SeekPoint, int SeekType);
size_t ReadFileStream(void *Buffer, size_t BlockSize, size_t DataNum, FileStreamId Handle);
int EofFileStream(FileStreamId Handle);  // -1 at the end, else 0
int IdleCheckFileStream(FileStreamId Handle);
int ChangeDirFileStream(const wchar_t *Path);  // 0, or -1
int GetDirFileStream(wchar_t *Buffer);
int GetDirSizedFileStream(wchar_t *Buffer, size_t BufferBytes);
FileFindId FindFirstFileStream(const wchar_t *FilePath, FileFindRecord *Buffer);
int FindNextFileStream(FileFindId FindHandle, FileFindRecord *Buffer);
int FindCloseFileStream(FileFindId FindHandle);

// The loose-file set as one table.
const FileAccessFunctionTable *GetLooseFileFunctionTable(void);

// 1 when a loose-file stream's last read failed in the file system (not merely at the end).
int FileStreamErrorCheck(FileStreamId Handle);

// Write files: the sound layer's WAVE writer holds the Windows handle; this layer writes,
// positions and closes it. Seek origins: 1 current, 2 end, anything else the beginning.
int WriteOnlyFileAccessWrite(void *FileHandle, const void *Data, size_t Bytes, size_t *WrittenBytes);
int WriteOnlyFileAccessSeek(void *FileHandle, int32_t Offset, int32_t Ignored, int SeekType);
int WriteOnlyFileAccessClose(void *FileHandle);
int WriteOnlyFileWrite(void *FileHandle, const void *Data, size_t Bytes, size_t *WrittenBytes);
int WriteOnlyFileSeek(void *FileHandle, int32_t Offset, int32_t Ignored, int SeekType);
int WriteOnlyFileClose(void *FileHandle);

// The Windows calls behind the loose-file set, with their conversions.
int SetCurrentDirectory_Wrapper(const wchar_t *Path);                  // 0, or -1
int GetCurrentDirectory_Wrapper(wchar_t *Buffer, size_t BufferBytes);  // 0, or -1
FileFindId FindFirstFileW_Wrapper(const wchar_t *FilePath, FileFindRecord *Buffer);
int FindNextFileW_Wrapper(FileFindId FindHandle, FileFindRecord *Buffer);
int FindClose_Wrapper(FileFindId FindHandle);
