// The default file-access set: every path is first looked for inside an archive
// "<folder>.DXA" along its way, then as a loose file. Open archives are shared by path with
// reference counts and stay open while idle, so that opening many files of one archive costs
// one header read.
#include <string.h>

#include "zovuz/core/file/archive_internal.h"
#include "zovuz/core/text/char_code.h"
#include "zovuz/core/text/log.h"
#include "zovuz/core/memory/memory.h"
#include "zovuz/core/file/file_access_internal.h"
#include "zovuz/core/base_helpers.h"

namespace {

const int MaxOpenFiles = 32768;
const int MaxOpenArchives = 4096;
const FileStreamId IdTag = 0xF0000000u;

enum PendingRead { PENDING_NONE = 0, PENDING_PACKED = 1, PENDING_PLAIN = 2 };

// One open file: a loose file's stream, or a file inside an archive.
struct ArchiveOpenFile
{
    int InArchive;              // the file lies in an archive
    FileStreamId LooseStream;   // loose file: its stream
    int ArchiveIndex;           // in the open-archive table
    DxArchiveRecord *Archive;   // the archive
    ArchiveFileEntry Entry;     // the file's entry
    unsigned char *Expanded;    // packed files: the whole expanded data
    unsigned char *PackedData;  // packed files while their bytes are read in the background
    FileStreamId Stream;        // on-demand archives: the file's own stream of the archive
    int EOFFlag;                // a read met the end
    uint64_t Position;          // read position
    int ASyncFlag;              // reads run in the background
    int Pending;                // PendingRead
    void *PendingDest;          // plain read in flight: destination
    uint64_t PendingPosition;   // plain read in flight: archive position of its first byte
    uint64_t PendingSize;       // plain read in flight: bytes
};

struct OpenArchive
{
    int RefCount;             // open files and searches using it; 0 = idle but open
    DxArchiveRecord *Record;  // null = free entry
};

// A search: inside an archive, or the loose-file set's.
struct ArchiveFind
{
    int InArchive;                         // listing an archive directory
    FileFindId LooseId;                    // loose search
    int ArchiveIndex;                      // archive search: the archive (referenced)
    uint64_t DirOffset;                    // archive search: the directory listed
    uint64_t Next;                         // archive search: next item (files, then ".", then "..")
    wchar_t Pattern[FILE_PATH_MAX_CHARS];  // archive search: upper-case name pattern
};

struct ArchiveLayer
{
    int Initialized;                          // InitializeArchiveSystem has run
    ArchiveOpenFile *Files[MaxOpenFiles];     // open files, null = free
    int FileCount;                            // open files
    OpenArchive Archives[MaxOpenArchives];    // open archives
    int ArchiveCount;                         // open archives
    wchar_t LastPrefix[FILE_PATH_MAX_CHARS];  // the folder the archive found last stands for
    size_t LastPrefixLength;                  // its length, 0 when none
    int LastIndex;                            // its table index
};

ArchiveLayer Layer;

void UpperAscii(wchar_t *Text)
{
    for (; *Text; Text++)
        if (*Text >= L'a' && *Text <= L'z') *Text = (wchar_t)(*Text - L'a' + L'A');
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

void CloseArchiveAt(int Index)
{
    ArchiveCloseRecord(Layer.Archives[Index].Record);
    DXFREE(Layer.Archives[Index].Record);
    Layer.Archives[Index].Record = nullptr;
    Layer.Archives[Index].RefCount = 0;
    Layer.ArchiveCount--;
    if (Layer.LastPrefixLength > 0 && Layer.LastIndex == Index) Layer.LastPrefixLength = 0;
}

void CloseIdleArchives()
{
    for (int i = 0; i < MaxOpenArchives; i++)
        if (Layer.Archives[i].Record != nullptr && Layer.Archives[i].RefCount == 0) CloseArchiveAt(i);
}

// An archive by path: shared when already open, else opened on demand. Its index with one more
// reference, or -1. Under the layer's lock.
int OpenArchiveShared(const wchar_t *Path)
{
    for (int i = 0; i < MaxOpenArchives; i++) {
        if (Layer.Archives[i].Record != nullptr && wcscmp(Layer.Archives[i].Record->Path, Path) == 0) {
            Layer.Archives[i].RefCount++;
            return i;
        }
    }
    if (Layer.ArchiveCount >= MaxOpenArchives) CloseIdleArchives();
    int index = -1;
    for (int i = 0; i < MaxOpenArchives && index < 0; i++)
        if (Layer.Archives[i].Record == nullptr) index = i;
    if (index < 0) return -1;

    DxArchiveRecord *record = (DxArchiveRecord *)DXALLOC(sizeof(DxArchiveRecord));
    if (record == nullptr) return -1;
    if (OpenArchiveFileStreamed(record, Path, nullptr) != 0) {
        DXFREE(record);
        return -1;
    }
    Layer.Archives[index].Record = record;
    Layer.Archives[index].RefCount = 1;
    Layer.ArchiveCount++;
    return index;
}

void ReleaseArchive(int Index)
{
    if (Index >= 0 && Index < MaxOpenArchives && Layer.Archives[Index].RefCount > 0) Layer.Archives[Index].RefCount--;
}

// ---- files inside an archive -----------------------------------------------------------------

uint64_t DataStart(const ArchiveOpenFile *File) { return File->Archive->DataPosition + File->Entry.DataOffset; }

// Expands the packed bytes now in PackedData; a block that disagrees with its entry is refused.
int ExpandPacked(ArchiveOpenFile *File)
{
    const unsigned char *p = File->PackedData;
    uint32_t expanded = ReadLe32(p);
    uint32_t packed = ReadLe32(p + 4);
    int64_t result = -1;
    if (expanded == File->Entry.DataSize && packed == File->Entry.PackedSize)
        result = ArchiveDecompressChecked(p, File->Entry.PackedSize, File->Expanded, File->Entry.DataSize);
    DXFREE(File->PackedData);
    File->PackedData = nullptr;
    return result == (int64_t)File->Entry.DataSize ? 0 : -1;
}

// Completes a background read: waits for it, then unscrambles or expands what came.
void FinishPending(ArchiveOpenFile *File)
{
    if (File->Pending == PENDING_NONE) return;
    while (IdleCheckFileStream(File->Stream) == 0) ThreadSleep(1);
    bool failed = FileStreamErrorCheck(File->Stream) != 0;
    if (File->Pending == PENDING_PACKED) {
        ArchiveKeyConvert(File->PackedData, (size_t)File->Entry.PackedSize, DataStart(File), File->Archive->Key);
        if (failed || ExpandPacked(File) != 0) {
            // The data can't be had: the file reads as empty from here on.
            memset(File->Expanded, 0, (size_t)File->Entry.DataSize);
            File->Entry.DataSize = 0;
        }
    } else {
        ArchiveKeyConvert(File->PendingDest, (size_t)File->PendingSize, File->PendingPosition, File->Archive->Key);
    }
    File->Pending = PENDING_NONE;
}

// Reads a packed entry's bytes: now, or in the background for an asynchronous file.
int LoadPacked(ArchiveOpenFile *File)
{
    const ArchiveFileEntry &entry = File->Entry;
    if (entry.DataSize > 0x7FFFFFFFu || entry.PackedSize > 0x7FFFFFFFu) return -1;
    File->Expanded = (unsigned char *)DXALLOC(entry.DataSize > 0 ? (size_t)entry.DataSize : 1);
    File->PackedData = (unsigned char *)DXALLOC((size_t)entry.PackedSize);
    if (File->Expanded == nullptr || File->PackedData == nullptr) return -1;

    if (File->ASyncFlag && File->Stream != 0) {
        if (SeekFileStream(File->Stream, (int64_t)DataStart(File), FILE_SEEK_SET) != 0 ||
            ReadFileStream(File->PackedData, (size_t)entry.PackedSize, 1, File->Stream) != 1)
            return -1;
        File->Pending = PENDING_PACKED;
        return 0;
    }
    if (ArchiveReadBytes(File->Archive, File->Stream, DataStart(File), File->PackedData, entry.PackedSize) != 0)
        return -1;
    return ExpandPacked(File);
}

int OpenInArchive(ArchiveOpenFile *File, const char *InnerPath)
{
    DxArchiveRecord *archive = File->Archive;
    if (ArchiveLookup(archive, InnerPath, 0, &File->Entry, nullptr) != 0) return -1;
    if (!archive->ImageFlag) {
        File->Stream = OpenFileStream(archive->Path, 0, 0, File->ASyncFlag);
        if (File->Stream == 0) return -1;
    }
    if (ArchiveIsPacked(archive, &File->Entry)) {
        if (LoadPacked(File) != 0) return -1;
        // Expanded at open: reads are plain copies and need no stream of their own.
        if (File->Pending == PENDING_NONE && File->Stream != 0) {
            CloseFileStream(File->Stream);
            File->Stream = 0;
        }
    }
    return 0;
}

void ReleaseInArchive(ArchiveOpenFile *File)
{
    FinishPending(File);
    if (File->Stream != 0) CloseFileStream(File->Stream);
    DXFREE(File->Expanded);
    DXFREE(File->PackedData);
    File->Stream = 0;
    File->Expanded = File->PackedData = nullptr;
}

ArchiveOpenFile *FileOf(FileStreamId Handle)
{
    if ((Handle & IdTag) != IdTag) return nullptr;
    FileStreamId index = Handle & ~IdTag;
    if (index >= (FileStreamId)MaxOpenFiles) return nullptr;
    return Layer.Files[index];
}

// ---- searching -------------------------------------------------------------------------------

// '*' any run, '?' any one character; both texts upper-case.
bool WildcardMatch(const wchar_t *Pattern, const wchar_t *Name)
{
    const wchar_t *star = nullptr, *resume = nullptr;
    while (*Name) {
        if (*Pattern == L'*') {
            star = Pattern++;
            resume = Name;
        } else if (*Pattern == L'?' || *Pattern == *Name) {
            Pattern++;
            Name++;
        } else if (star != nullptr) {
            Pattern = star + 1;
            Name = ++resume;
        } else {
            return false;
        }
    }
    while (*Pattern == L'*') Pattern++;
    return *Pattern == 0;
}

// Fills Record with the next listed item that matches; -1 when the listing is over.
int NextArchiveItem(ArchiveFind *Find, FileFindRecord *Record)
{
    DxArchiveRecord *archive = Layer.Archives[Find->ArchiveIndex].Record;
    ArchiveDirEntry dir;
    ArchiveGetDirEntry(archive, Find->DirOffset, &dir);
    const bool root = dir.ParentOffset == ARCHIVE_NO_PARENT;
    const uint64_t items = dir.FileCount + (root ? 1 : 2);

    while (Find->Next < items) {
        uint64_t item = Find->Next++;
        FileFindRecord found;
        memset(&found, 0, sizeof(found));
        if (item < dir.FileCount) {
            ArchiveFileEntry entry;
            ArchiveGetFileEntry(archive, dir.FirstFileOffset + item * ArchiveFileEntryBytes(archive), &entry);
            char name[ARCHIVE_NAME_MAX_BYTES + 4];
            ArchiveCopyStoredName(archive, &entry, name);
            ConvertCharCode(name, archive->CodePage, (char *)found.Name, sizeof(found.Name), CHAR_CODE_UTF16LE);
            found.DirFlag = (entry.Attributes & ARCHIVE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
            found.Size = found.DirFlag ? 0 : entry.DataSize;
            FileTimeToFileDateTime(entry.CreationTime, &found.CreationTime);
            FileTimeToFileDateTime(entry.LastWriteTime, &found.LastWriteTime);
        } else {
            wcscpy(found.Name, item == dir.FileCount ? L"." : L"..");
            found.DirFlag = 1;
        }
        wchar_t upper[260];
        wcscpy(upper, found.Name);
        UpperAscii(upper);
        if (!WildcardMatch(Find->Pattern, upper)) continue;
        if (Record != nullptr) *Record = found;
        return 0;
    }
    return -1;
}

// Starts a search inside an archive: -1 when the pattern does not lead into one.
int StartArchiveFind(const wchar_t *FilePath, ArchiveFind *Find)
{
    int index = -1;
    char inner[FILE_PATH_MAX_BYTES];
    if (ResolveArchivePath(FilePath, &index, inner, sizeof(inner)) != 0) return -1;
    DxArchiveRecord *archive = Layer.Archives[index].Record;

    // Split the inner path into its folder and the name pattern after the last separator.
    wchar_t wide[FILE_PATH_MAX_CHARS];
    if (ConvertCharCode(inner, archive->CodePage, (char *)wide, sizeof(wide), CHAR_CODE_UTF16LE) == 0) {
        CRITICALSECTION_GUARD(lock, ArchiveLayerLock());
        ReleaseArchive(index);
        return -1;
    }
    wchar_t *split = nullptr;
    for (wchar_t *p = wide; *p; p++)
        if (IsSeparator(*p) || *p == L':') split = p;
    const wchar_t *pattern = split != nullptr ? split + 1 : wide;
    wcscpy(Find->Pattern, pattern);
    UpperAscii(Find->Pattern);
    if (split != nullptr)
        *split = 0;
    else
        wide[0] = 0;

    char folder[FILE_PATH_MAX_BYTES];
    ArchiveFileEntry entry;
    if (ConvertCharCode((const char *)wide, CHAR_CODE_UTF16LE, folder, sizeof(folder), archive->CodePage) == 0 ||
        ArchiveLookup(archive, folder, 1, &entry, &Find->DirOffset) != 0) {
        CRITICALSECTION_GUARD(lock, ArchiveLayerLock());
        ReleaseArchive(index);
        return -1;
    }
    Find->InArchive = 1;
    Find->ArchiveIndex = index;
    Find->Next = 0;
    return 0;
}

const FileAccessFunctionTable ArchiveTable = {
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
};

}  // namespace

DxCriticalSection *ArchiveLayerLock(void)
{
    struct Lock
    {
        DxCriticalSection Section;
        Lock() { CriticalSectionInitialize(&Section); }
    };
    static Lock lock;
    return &lock.Section;
}

const FileAccessFunctionTable *GetArchiveFunctionTable(void) { return &ArchiveTable; }

int InitializeArchiveSystem(void)
{
    if (Layer.Initialized) return -1;
    CRITICALSECTION_GUARD(lock, ArchiveLayerLock());
    CloseIdleArchives();
    Layer.Initialized = 1;
    return 0;
}

int TerminateArchiveSystem(void)
{
    if (!Layer.Initialized) return -1;
    CRITICALSECTION_GUARD(lock, ArchiveLayerLock());
    CloseIdleArchives();
    Layer.Initialized = 0;
    return 0;
}

int GetOpenArchiveCount(void) { return Layer.ArchiveCount; }

int GetArchiveReferenceCount(int ArchiveIndex)
{
    if (ArchiveIndex < 0 || ArchiveIndex >= MaxOpenArchives || Layer.Archives[ArchiveIndex].Record == nullptr)
        return -1;
    return Layer.Archives[ArchiveIndex].RefCount;
}

int ResolveArchivePath(const wchar_t *Path, int *ArchiveIndex, char *InnerPath, size_t InnerPathBytes)
{
    wchar_t full[FILE_PATH_MAX_CHARS];
    if (Path == nullptr || ConvertFullPath(Path, full, sizeof(full), nullptr) != 0) return -1;
    UpperAscii(full);
    const size_t length = wcslen(full);

    CRITICALSECTION_GUARD(lock, ArchiveLayerLock());
    int index = -1;
    size_t prefix = 0;
    if (Layer.LastPrefixLength > 0 && Layer.LastPrefixLength < length && IsSeparator(full[Layer.LastPrefixLength]) &&
        wcsncmp(full, Layer.LastPrefix, Layer.LastPrefixLength) == 0 &&
        Layer.Archives[Layer.LastIndex].Record != nullptr) {
        index = OpenArchiveShared(Layer.Archives[Layer.LastIndex].Record->Path);
        prefix = Layer.LastPrefixLength;
    }
    // Each folder along the path, the drive first, may be an archive "<folder>.DXA".
    const size_t start = (length >= 2 && IsSeparator(full[0]) && IsSeparator(full[1])) ? 2 : 0;
    for (size_t i = start + 1; i < length && index < 0; i++) {
        if (!IsSeparator(full[i])) continue;
        if (i + 5 >= FILE_PATH_MAX_CHARS) break;
        wchar_t candidate[FILE_PATH_MAX_CHARS];
        memcpy(candidate, full, i * sizeof(wchar_t));
        wcscpy(candidate + i, L"." ARCHIVE_DEFAULT_EXTENSION);
        index = OpenArchiveShared(candidate);
        if (index >= 0) {
            prefix = i;
            memcpy(Layer.LastPrefix, full, i * sizeof(wchar_t));
            Layer.LastPrefix[i] = 0;
            Layer.LastPrefixLength = i;
            Layer.LastIndex = index;
        }
    }
    if (index < 0) return -1;

    const wchar_t *inner = full + prefix + 1;
    // A name the archive's code page cannot spell is in no archive: the loose file is next.
    if (ArchiveConvertName((const char *)inner, CHAR_CODE_UTF16LE, InnerPath, InnerPathBytes,
                           Layer.Archives[index].Record->CodePage) != 0) {
        ReleaseArchive(index);
        return -1;
    }
    *ArchiveIndex = index;
    return 0;
}

FileStreamId ArchiveFileOpen(const wchar_t *Path, int UseCacheFlag, int BlockReadFlag, int UseASyncReadFlag)
{
    if (Path == nullptr) return 0;
    CRITICALSECTION_GUARD(lock, ArchiveLayerLock());
    if (Layer.FileCount >= MaxOpenFiles) {
        AddLogStringShiftJis("同時に開けるファイルの数が限界を超えました\n");
        return 0;
    }
    int slot = 0;
    while (Layer.Files[slot] != nullptr) slot++;
    ArchiveOpenFile *file = (ArchiveOpenFile *)DXCALLOC(sizeof(ArchiveOpenFile));
    if (file == nullptr) {
        AddLogStringShiftJis("ファイルの情報を格納するメモリの確保に失敗しました\n");
        return 0;
    }
    file->ASyncFlag = UseASyncReadFlag ? 1 : 0;

    int index = -1;
    char inner[FILE_PATH_MAX_BYTES];
    if (ResolveArchivePath(Path, &index, inner, sizeof(inner)) == 0) {
        file->InArchive = 1;
        file->ArchiveIndex = index;
        file->Archive = Layer.Archives[index].Record;
        if (OpenInArchive(file, inner) != 0) {
            // Not in the archive (or not readable there): the loose file is next.
            ReleaseInArchive(file);
            ReleaseArchive(index);
            file->InArchive = 0;
            file->Archive = nullptr;
        }
    }
    if (!file->InArchive) {
        file->LooseStream = OpenFileStream(Path, UseCacheFlag, BlockReadFlag, UseASyncReadFlag);
        if (file->LooseStream == 0) {
            DXFREE(file);
            return 0;
        }
    }
    Layer.Files[slot] = file;
    Layer.FileCount++;
    return (FileStreamId)slot | IdTag;
}

int ArchiveFileClose(FileStreamId Handle)
{
    CRITICALSECTION_GUARD(lock, ArchiveLayerLock());
    ArchiveOpenFile *file = FileOf(Handle);
    if (file == nullptr) return -1;
    if (file->InArchive) {
        ReleaseInArchive(file);
        ReleaseArchive(file->ArchiveIndex);
    } else if (CloseFileStream(file->LooseStream) != 0) {
        return -1;
    }
    DXFREE(file);
    Layer.Files[Handle & ~IdTag] = nullptr;
    Layer.FileCount--;
    return 0;
}

int64_t ArchiveFileTell(FileStreamId Handle)
{
    ArchiveOpenFile *file = FileOf(Handle);
    if (file == nullptr) return -1;
    if (!file->InArchive) return TellFileStream(file->LooseStream);
    FinishPending(file);
    return (int64_t)file->Position;
}

int ArchiveFileSeek(FileStreamId Handle, int64_t SeekPoint, int SeekType)
{
    ArchiveOpenFile *file = FileOf(Handle);
    if (file == nullptr) return -1;
    if (!file->InArchive) return SeekFileStream(file->LooseStream, SeekPoint, SeekType);
    FinishPending(file);
    const int64_t size = (int64_t)file->Entry.DataSize;
    int64_t position;
    switch (SeekType) {
        case FILE_SEEK_SET:
            position = SeekPoint;
            break;
        case FILE_SEEK_CUR:
            position = (int64_t)file->Position + SeekPoint;
            break;
        case FILE_SEEK_END:
            position = size + SeekPoint;
            break;
        default:
            return -1;
    }
    if (position < 0) position = 0;
    if (position > size) position = size;
    file->Position = (uint64_t)position;
    file->EOFFlag = 0;
    return 0;
}

size_t ArchiveFileRead(void *Buffer, size_t BlockSize, size_t DataNum, FileStreamId Handle)
{
    ArchiveOpenFile *file = FileOf(Handle);
    if (file == nullptr) return 0;
    if (!file->InArchive) return ReadFileStream(Buffer, BlockSize, DataNum, file->LooseStream);
    FinishPending(file);
    if (BlockSize == 0 || DataNum == 0 || file->EOFFlag) return 0;
    if (file->Position >= file->Entry.DataSize) {
        file->EOFFlag = 1;
        return 0;
    }
    uint64_t bytes = (uint64_t)BlockSize * DataNum;
    uint64_t left = file->Entry.DataSize - file->Position;
    if (bytes > left) bytes = left;

    if (file->Expanded != nullptr) {
        memcpy(Buffer, file->Expanded + file->Position, (size_t)bytes);
    } else if (file->ASyncFlag && file->Stream != 0) {
        uint64_t position = DataStart(file) + file->Position;
        if (SeekFileStream(file->Stream, (int64_t)position, FILE_SEEK_SET) != 0 ||
            ReadFileStream(Buffer, (size_t)bytes, 1, file->Stream) != 1)
            return 0;
        file->Pending = PENDING_PLAIN;
        file->PendingDest = Buffer;
        file->PendingPosition = position;
        file->PendingSize = bytes;
    } else if (ArchiveReadBytes(file->Archive, file->Stream, DataStart(file) + file->Position, Buffer, bytes) != 0) {
        return 0;
    }
    file->Position += bytes;
    file->EOFFlag = 0;
    return (size_t)(bytes / BlockSize);
}

int ArchiveFileEof(FileStreamId Handle)
{
    ArchiveOpenFile *file = FileOf(Handle);
    if (file == nullptr) return -1;
    if (!file->InArchive) return EofFileStream(file->LooseStream);
    FinishPending(file);
    return file->EOFFlag ? -1 : 0;
}

int ArchiveFileIdleCheck(FileStreamId Handle)
{
    ArchiveOpenFile *file = FileOf(Handle);
    if (file == nullptr) return 1;
    if (!file->InArchive) return IdleCheckFileStream(file->LooseStream);
    if (file->Pending == PENDING_NONE) return 1;
    if (IdleCheckFileStream(file->Stream) == 0) return 0;
    FinishPending(file);
    return 1;
}

int ArchiveFileChangeDir(const wchar_t *Path) { return ChangeDirFileStream(Path); }
int ArchiveFileGetDir(wchar_t *Buffer) { return GetDirFileStream(Buffer); }
int ArchiveFileGetDirSized(wchar_t *Buffer, size_t BufferBytes) { return GetDirSizedFileStream(Buffer, BufferBytes); }

FileFindId ArchiveFileFindFirst(const wchar_t *FilePath, FileFindRecord *Buffer)
{
    ArchiveFind *find = (ArchiveFind *)DXCALLOC(sizeof(ArchiveFind));
    if (find == nullptr) return FILE_FIND_ID_NONE;
    if (StartArchiveFind(FilePath, find) == 0) {
        if (NextArchiveItem(find, Buffer) == 0) return (FileFindId)find;
        CRITICALSECTION_GUARD(lock, ArchiveLayerLock());
        ReleaseArchive(find->ArchiveIndex);
        DXFREE(find);
        return FILE_FIND_ID_NONE;
    }
    find->LooseId = FindFirstFileStream(FilePath, Buffer);
    if (find->LooseId == FILE_FIND_ID_NONE) {
        DXFREE(find);
        return FILE_FIND_ID_NONE;
    }
    return (FileFindId)find;
}

int ArchiveFileFindNext(FileFindId FindHandle, FileFindRecord *Buffer)
{
    ArchiveFind *find = (ArchiveFind *)FindHandle;
    if (find == nullptr || FindHandle == FILE_FIND_ID_NONE) return -1;
    if (!find->InArchive) return FindNextFileStream(find->LooseId, Buffer);
    return NextArchiveItem(find, Buffer);
}

int ArchiveFileFindClose(FileFindId FindHandle)
{
    ArchiveFind *find = (ArchiveFind *)FindHandle;
    if (find == nullptr || FindHandle == FILE_FIND_ID_NONE) return -1;
    if (find->InArchive) {
        CRITICALSECTION_GUARD(lock, ArchiveLayerLock());
        ReleaseArchive(find->ArchiveIndex);
    } else if (FindCloseFileStream(find->LooseId) != 0) {
        return -1;
    }
    DXFREE(find);
    return 0;
}
