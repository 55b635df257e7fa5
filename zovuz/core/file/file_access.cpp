// The active file-access table, the adaptors around a program's own table, the path
// normaliser and the start and end of file access.
#include "zovuz/core/file/file_access.h"
#include "zovuz/core/file/file_access_internal.h"

#include <string.h>

#include "zovuz/core/file/archive.h"
#include "zovuz/core/file/archive_internal.h"
#include "zovuz/core/text/char_code.h"
#include "zovuz/core/text/char_code_internal.h"
#include "zovuz/core/handle/handle.h"
#include "zovuz/core/text/log.h"
#include "zovuz/core/memory/memory.h"

namespace {

struct FileAccessState
{
    FileAccessFunctionTable Active;   // the table every file-access call goes through
    FileAccessFunctionTableA Caller;  // a program's own table, when one is installed
    int Initialized;                  // InitializeFileSystem has run
};

FileAccessState State = {
    // Until SetStreamFunctionTable runs, file access reads through the default set: archives
    // along the path first, then loose files.
    .Active =
        {
            .Open = ArchiveFileOpen,
            .Close = ArchiveFileClose,
            .Tell = ArchiveFileTell,
            .Seek = ArchiveFileSeek,
            .Read = ArchiveFileRead,
            .Eof = ArchiveFileEof,
            .IdleCheck = ArchiveFileIdleCheck,
            .ChDir = ArchiveFileChangeDir,
            .GetDir = ArchiveFileGetDir,
            .GetDirS = ArchiveFileGetDirSized,
            .FindFirst = ArchiveFileFindFirst,
            .FindNext = ArchiveFileFindNext,
            .FindClose = ArchiveFileFindClose,
        },
    .Caller = {},
    .Initialized = 0,
};

// ---- adaptors around a program's table (paths in the current multibyte code) -----------------

// Converts a wide path for the caller's table; -1 when it does not fit the 3 KB buffer, or when
// a character has no code in the multibyte code: it would become a zero there and hand the
// caller a shorter path, naming another file.
int ToMultiByte(const wchar_t *Path, char *Buffer)
{
    int code = GetCurrentCharCodeFormat();
    int need = ConvertCharCode((const char *)Path, CHAR_CODE_UTF16LE, nullptr, 0, code);
    if (need <= 0 || need > FILE_PATH_MAX_BYTES / 2) return -1;
    int written = ConvertCharCode((const char *)Path, CHAR_CODE_UTF16LE, Buffer, FILE_PATH_MAX_BYTES / 2, code);
    int units = GetCharCodeStringLength(code, Buffer);
    return written == need && units >= 0 && (units + 1) * GetCharCodeUnitSize(code) == written ? 0 : -1;
}

void ConvertFindDataToWide(const FileFindRecordA &Src, FileFindRecord *Dest)
{
    if (Dest == nullptr) return;
    memset(Dest, 0, sizeof(*Dest));
    ConvertCharCode(Src.Name, GetCurrentCharCodeFormat(), (char *)Dest->Name, sizeof(Dest->Name), CHAR_CODE_UTF16LE);
    Dest->DirFlag = Src.DirFlag;
    Dest->Size = Src.Size;
    Dest->CreationTime = Src.CreationTime;
    Dest->LastWriteTime = Src.LastWriteTime;
}

FileStreamId AdaptOpen(const wchar_t *Path, int UseCacheFlag, int BlockReadFlag, int UseASyncReadFlag)
{
    char path[FILE_PATH_MAX_BYTES / 2];
    if (ToMultiByte(Path, path) != 0) return 0;
    return State.Caller.Open(path, UseCacheFlag, BlockReadFlag, UseASyncReadFlag);
}

int AdaptChDir(const wchar_t *Path)
{
    char path[FILE_PATH_MAX_BYTES / 2];
    if (ToMultiByte(Path, path) != 0) return -1;
    return State.Caller.ChDir(path);
}

// Both directory forms read through the caller's sized operation when it has one. The
// intermediate text is bounded by its real buffer, and the unsized form by the file layer's
// full path size, so neither can run past what was given.
int AdaptGetDirSized(wchar_t *Buffer, size_t BufferBytes)
{
    char path[FILE_PATH_MAX_BYTES];
    path[0] = 0;
    int result = State.Caller.GetDirS != nullptr ? State.Caller.GetDirS(path, sizeof(path)) : State.Caller.GetDir(path);
    path[sizeof(path) - 1] = 0;
    if (result != 0) return result;
    if (ConvertCharCode(path, GetCurrentCharCodeFormat(), (char *)Buffer, BufferBytes, CHAR_CODE_UTF16LE) == 0)
        return -1;
    return 0;
}

int AdaptGetDir(wchar_t *Buffer) { return AdaptGetDirSized(Buffer, FILE_PATH_MAX_BYTES); }

FileFindId AdaptFindFirst(const wchar_t *FilePath, FileFindRecord *Buffer)
{
    char path[FILE_PATH_MAX_BYTES / 2];
    if (ToMultiByte(FilePath, path) != 0) return FILE_FIND_ID_NONE;
    FileFindRecordA found;
    memset(&found, 0, sizeof(found));
    FileFindId id = State.Caller.FindFirst(path, &found);
    if (id != FILE_FIND_ID_NONE) {
        found.Name[sizeof(found.Name) - 1] = 0;
        ConvertFindDataToWide(found, Buffer);
    }
    return id;
}

int AdaptFindNext(FileFindId FindHandle, FileFindRecord *Buffer)
{
    FileFindRecordA found;
    memset(&found, 0, sizeof(found));
    int result = State.Caller.FindNext(FindHandle, &found);
    if (result == 0) {
        found.Name[sizeof(found.Name) - 1] = 0;
        ConvertFindDataToWide(found, Buffer);
    }
    return result;
}

// ---- path normalising ------------------------------------------------------------------------

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsAlnum(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9'); }

// The output under construction, bounded by the 3072-byte name buffer.
struct PathBuilder
{
    wchar_t Text[FILE_PATH_MAX_CHARS];
    size_t Length;      // characters, without the terminator
    size_t RootLength;  // the drive or network prefix, which ".." never removes
    bool Overflow;      // something did not fit

    void Append(const wchar_t *Src, size_t Count)
    {
        if (Length + Count >= FILE_PATH_MAX_CHARS) {
            Overflow = true;
            return;
        }
        memcpy(Text + Length, Src, Count * sizeof(wchar_t));
        Length += Count;
        Text[Length] = 0;
    }

    void AppendName(const wchar_t *Name, size_t Count)
    {
        if (Length > 0 && !IsSeparator(Text[Length - 1])) Append(L"\\", 1);
        Append(Name, Count);
    }

    // Removes the last name back to the previous "\", "/" or ":"; a ":" stays.
    void RemoveLastName()
    {
        while (Length > RootLength) {
            wchar_t c = Text[Length - 1];
            if (c == L':') break;
            Length--;
            if (IsSeparator(c)) break;
        }
        Text[Length] = 0;
    }
};

}  // namespace

int SetStreamFunctionTable(const FileAccessFunctionTableA *CallerTable)
{
    if (CallerTable == nullptr) {
        State.Active = *GetArchiveFunctionTable();
        return 0;
    }
    State.Caller = *CallerTable;
    FileAccessFunctionTable adaptors = {
        .Open = AdaptOpen,
        .Close = CallerTable->Close,
        .Tell = CallerTable->Tell,
        .Seek = CallerTable->Seek,
        .Read = CallerTable->Read,
        .Eof = CallerTable->Eof,
        .IdleCheck = CallerTable->IdleCheck,
        .ChDir = AdaptChDir,
        .GetDir = AdaptGetDir,
        .GetDirS = AdaptGetDirSized,
        .FindFirst = AdaptFindFirst,
        .FindNext = AdaptFindNext,
        .FindClose = CallerTable->FindClose,
    };
    State.Active = adaptors;
    return 0;
}

const FileAccessFunctionTable *GetFileAccessFunctionTable(void) { return &State.Active; }

FileStreamId FileAccessOpen(const wchar_t *Path, int UseCacheFlag, int BlockReadFlag, int UseASyncReadFlag)
{
    return State.Active.Open(Path, UseCacheFlag, BlockReadFlag, UseASyncReadFlag);
}
int FileAccessClose(FileStreamId Handle) { return State.Active.Close(Handle); }
int64_t FileAccessTell(FileStreamId Handle) { return State.Active.Tell(Handle); }
int FileAccessSeek(FileStreamId Handle, int64_t SeekPoint, int SeekType)
{
    return State.Active.Seek(Handle, SeekPoint, SeekType);
}
size_t FileAccessRead(void *Buffer, size_t BlockSize, size_t DataNum, FileStreamId Handle)
{
    return State.Active.Read(Buffer, BlockSize, DataNum, Handle);
}
int FileAccessEof(FileStreamId Handle) { return State.Active.Eof(Handle); }
int FileAccessIdleCheck(FileStreamId Handle) { return State.Active.IdleCheck(Handle); }
int FileAccessChangeDir(const wchar_t *Path) { return State.Active.ChDir(Path); }

int FileAccessGetDir(wchar_t *Buffer, size_t BufferBytes)
{
    if (State.Active.GetDirS != nullptr) return State.Active.GetDirS(Buffer, BufferBytes);
    return State.Active.GetDir(Buffer);
}

FileFindId FileAccessFindFirst(const wchar_t *FilePath, FileFindRecord *Buffer)
{
    return State.Active.FindFirst(FilePath, Buffer);
}
int FileAccessFindNext(FileFindId FindHandle, FileFindRecord *Buffer)
{
    return State.Active.FindNext(FindHandle, Buffer);
}
int FileAccessFindClose(FileFindId FindHandle) { return State.Active.FindClose(FindHandle); }

int ConvertFullPath(const wchar_t *Src, wchar_t *Dest, size_t BufferBytes, const wchar_t *CurrentDir)
{
    if (Dest == nullptr || BufferBytes < sizeof(wchar_t)) return -1;
    Dest[0] = 0;

    wchar_t current[FILE_PATH_MAX_CHARS];
    if (CurrentDir == nullptr) {
        current[0] = 0;
        if (FileAccessGetDir(current, sizeof(current)) != 0) return -1;
        current[FILE_PATH_MAX_CHARS - 1] = 0;
        CurrentDir = current;
    }
    if (Src == nullptr) Src = CurrentDir;

    PathBuilder *out = (PathBuilder *)DXALLOC(sizeof(PathBuilder));
    if (out == nullptr) return -1;
    out->Length = 0;
    out->Text[0] = 0;
    out->RootLength = 0;
    out->Overflow = false;

    const wchar_t *p = Src;
    if (IsSeparator(p[0]) && IsSeparator(p[1])) {
        out->Append(L"\\\\", 2);  // network path
        p += 2;
    } else {
        const wchar_t *q = p;
        while (IsAlnum(*q)) q++;
        if (q != p && *q == L':') {
            out->Append(p, (size_t)(q - p) + 1);  // drive part with its ":"
            p = q + 1;
            if (IsSeparator(*p)) p++;
        } else if (IsSeparator(p[0])) {
            size_t drive = wcslen(CurrentDir) < 2 ? wcslen(CurrentDir) : 2;
            out->Append(CurrentDir, drive);
            p++;
        } else {
            size_t length = wcslen(CurrentDir);
            if (length > 0 && IsSeparator(CurrentDir[length - 1])) length--;
            out->Append(CurrentDir, length);
        }
    }
    // ".." never climbs above the drive or network prefix of the result.
    const wchar_t *colon = wcschr(out->Text, L':');
    out->RootLength = colon != nullptr
                          ? (size_t)(colon - out->Text) + 1
                          : (out->Length >= 2 && IsSeparator(out->Text[0]) && IsSeparator(out->Text[1]) ? 2 : 0);

    while (*p != 0 && !out->Overflow) {
        const wchar_t *start = p;
        while (*p != 0 && !IsSeparator(*p)) p++;
        size_t count = (size_t)(p - start);
        if (*p == 0) {
            if (count > 0) out->AppendName(start, count);
            break;
        }
        p++;  // past the separator
        if (count == 0 || (count == 1 && start[0] == L'.')) continue;
        if (count == 2 && start[0] == L'.' && start[1] == L'.') {
            out->RemoveLastName();
            continue;
        }
        out->AppendName(start, count);
    }

    int result = -1;
    if (!out->Overflow && (out->Length + 1) * sizeof(wchar_t) <= BufferBytes) {
        memcpy(Dest, out->Text, (out->Length + 1) * sizeof(wchar_t));
        result = 0;
    }
    DXFREE(out);
    return result;
}

int FileHandleTerminate(FileHandleData *Data)
{
    if (Data->Kind == 0) {
        if (Data->Stream != 0 && State.Active.Close != nullptr) State.Active.Close(Data->Stream);
        Data->Stream = 0;
    } else if (Data->Image != nullptr) {
        if (Data->ReleaseCallback != nullptr) Data->ReleaseCallback(Data->ReleaseArgument);
        if (Data->PrivateCopy) DXFREE(Data->Image);
        Data->Image = nullptr;
        Data->ReleaseCallback = nullptr;
    }
    return 0;
}

namespace {
int FileHandleTerminateCallback(HandleInfo *Info) { return FileHandleTerminate((FileHandleData *)Info); }
}  // namespace

int InitializeFileSystem(void)
{
    if (State.Initialized) return -1;
    AddLogStringShiftJis("ファイルアクセス処理の初期化...");
    if (InitializeHandleType(DX_HANDLETYPE_FILE, sizeof(FileHandleData), DX_MAX_FILE_NUM, nullptr,
                             FileHandleTerminateCallback, L"File") != 0) {
        AddLogStringShiftJis("失敗\n");
        return -1;
    }
    // The stream tables are constant tables of this library; nothing more to fill here.
    State.Initialized = 1;
    AddLogStringShiftJis("成功\n");
    return 0;
}

int TerminateFileSystem(void)
{
    if (!State.Initialized) return -1;
    TerminateHandleType(DX_HANDLETYPE_FILE);
    State.Initialized = 0;
    return 0;
}
