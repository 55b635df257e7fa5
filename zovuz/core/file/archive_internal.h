// Archive reader internals shared by the record layer and the file-access set.
#pragma once

#include <stdint.h>

#include "zovuz/core/file/archive.h"
#include "zovuz/core/threads.h"

// Table entries widened to 64 bits whatever the version.
struct ArchiveFileEntry
{
    uint64_t NameOffset;      // in the name table (the start of the table block)
    uint64_t Attributes;      // Windows file attributes
    uint64_t CreationTime;    // FILETIME
    uint64_t LastAccessTime;  // FILETIME
    uint64_t LastWriteTime;   // FILETIME
    uint64_t DataOffset;      // from the data area; a directory's entry offset for a directory
    uint64_t DataSize;        // expanded size
    uint64_t PackedSize;      // ARCHIVE_NOT_PACKED when stored as it is
};

struct ArchiveDirEntry
{
    uint64_t FileEntryOffset;  // its own file entry, in the file table
    uint64_t ParentOffset;     // parent's entry in the directory table, ARCHIVE_NO_PARENT at the root
    uint64_t FileCount;        // files in it
    uint64_t FirstFileOffset;  // its first file entry; the others follow
};

// A name ready for comparing: upper-case a-z, padded with zeros to whole 4-byte units.
#define ARCHIVE_NAME_MAX_BYTES 1024
struct ArchiveSearchKey
{
    unsigned char Name[ARCHIVE_NAME_MAX_BYTES];  // padded upper-case name
    uint32_t Units;                              // length in 4-byte units
    uint16_t Check;                              // 16-bit sum of the name's bytes
};

uint32_t ArchiveFileEntryBytes(const DxArchiveRecord *Record);
uint32_t ArchiveDirEntryBytes(const DxArchiveRecord *Record);
// Read an entry of an archive that passed the checks at open.
void ArchiveGetFileEntry(const DxArchiveRecord *Record, uint64_t Offset, ArchiveFileEntry *Entry);
void ArchiveGetDirEntry(const DxArchiveRecord *Record, uint64_t Offset, ArchiveDirEntry *Entry);
// Copies the name of a file entry as it was stored, with zeros after it so that it ends in
// any code. Out holds ARCHIVE_NAME_MAX_BYTES + 4 bytes.
void ArchiveCopyStoredName(const DxArchiveRecord *Record, const ArchiveFileEntry *Entry, char *Out);
int ArchiveIsPacked(const DxArchiveRecord *Record, const ArchiveFileEntry *Entry);

// Converts a name or path into another code (the archive's, on the way in). 0 only when the
// whole text fits and every character has a code there: one without a code would become a zero
// and end the text early, naming a shorter member. -1 otherwise.
int ArchiveConvertName(const char *Src, int SrcCharCodeFormat, char *Dest, size_t DestBytes, int DestCharCodeFormat);

// Builds the search key of Length bytes of a name in CodePage. -1 when too long.
int ArchiveMakeSearchKey(const char *Name, size_t Length, int CodePage, ArchiveSearchKey *Key);

// Walks Path (in the archive's code page; "\", "/", "." and "..") from the record's current
// directory. The last element must be a directory when WantDirectory is set, else a file; an
// empty path is the current directory itself. 0 and the entry (and, for a directory, its
// directory-table offset), or -1.
int ArchiveLookup(const DxArchiveRecord *Record, const char *Path, int WantDirectory, ArchiveFileEntry *Entry,
                  uint64_t *DirOffset);

// Copies Size bytes at archive position Position into Dest, unscrambled. On-demand archives
// read through Stream (the caller's own stream of the archive file). 0, or -1.
int ArchiveReadBytes(DxArchiveRecord *Record, FileStreamId Stream, uint64_t Position, void *Dest, uint64_t Size);

// The layer's lock: guards the open-file and open-archive tables and the end of whole-file
// reads. Made on first use so that it exists whenever an archive is touched.
DxCriticalSection *ArchiveLayerLock(void);

// FILETIME to local date and time (windows/file_win.cpp).
void FileTimeToFileDateTime(uint64_t FileTime, FileDateTime *DateTime);

// ---- the core's own calls, not part of the public header ----

// The 12-byte key of a key string (null: no string).
void MakeArchiveKey(const char *KeyString, unsigned char *Key);
// Twelve 0xFF bytes: the key tried when an archive's header does not decode with the first.
void MakeArchiveFallbackKey(unsigned char *Key);
// Scrambles or unscrambles (the same operation) Size bytes lying at Position in the archive.
void ArchiveKeyConvert(void *Data, size_t Size, uint64_t Position, const unsigned char *Key);

int InitializeArchiveSystem(void);  // 0, or -1 when already started
int TerminateArchiveSystem(void);   // 0, or -1 when not started
const FileAccessFunctionTable *GetArchiveFunctionTable(void);

// Stream ids of this set are the open-file table index with 0xF0000000 set; 0 means failure.
FileStreamId ArchiveFileOpen(const wchar_t *Path, int UseCacheFlag, int BlockReadFlag, int UseASyncReadFlag);
int ArchiveFileClose(FileStreamId Handle);
int64_t ArchiveFileTell(FileStreamId Handle);
int ArchiveFileSeek(FileStreamId Handle, int64_t SeekPoint, int SeekType);
size_t ArchiveFileRead(void *Buffer, size_t BlockSize, size_t DataNum, FileStreamId Handle);
int ArchiveFileEof(FileStreamId Handle);        // -1 at the end, else 0
int ArchiveFileIdleCheck(FileStreamId Handle);  // 1 when no asynchronous read is pending
int ArchiveFileChangeDir(const wchar_t *Path);
int ArchiveFileGetDir(wchar_t *Buffer);
int ArchiveFileGetDirSized(wchar_t *Buffer, size_t BufferBytes);
FileFindId ArchiveFileFindFirst(const wchar_t *FilePath, FileFindRecord *Buffer);
int ArchiveFileFindNext(FileFindId FindHandle, FileFindRecord *Buffer);
int ArchiveFileFindClose(FileFindId FindHandle);

// When Path leads into an archive "<folder>.DXA" along its way: 0, the archive open and
// referenced under *ArchiveIndex, and the rest of the path in the archive's code page in
// InnerPath. -1 otherwise.
int ResolveArchivePath(const wchar_t *Path, int *ArchiveIndex, char *InnerPath, size_t InnerPathBytes);

// Open archives and their reference counts (an idle archive stays open with count 0).
int GetOpenArchiveCount(void);
int GetArchiveReferenceCount(int ArchiveIndex);
