// Archive records: opening an archive on demand, whole in memory or from an image, checking
// that its tables hold together, finding names in it and reading its bytes.
#include <string.h>

#include <new>
#include <vector>

#include "zovuz/core/file/archive_internal.h"
#include "zovuz/core/text/char_code.h"
#include "zovuz/core/text/char_code_internal.h"
#include "zovuz/core/memory/memory.h"
#include "zovuz/core/file/file_access_internal.h"
#include "zovuz/core/base_helpers.h"

namespace {

// Image modes address the archive with size_t; tables are allocated whole.
const uint64_t ImageSizeLimit = 0x7FFFFFFFu;
const uint64_t TableSizeLimit = 0x10000000u;
const uint64_t MaxExpansionPerByte = 2049;

// a + b <= limit, without wrapping.
bool FitsWithin(uint64_t a, uint64_t b, uint64_t limit) { return a <= limit && b <= limit - a; }

bool IsKnownCodePage(uint64_t CodePage)
{
    static const uint64_t known[] = {932, 936, 949, 950, 1200, 1201, 1252, 32764, 32766, 32767, 65001};
    for (uint64_t k : known)
        if (CodePage == k) return true;
    return false;
}

// Reads Size bytes at Position of a loose-file stream, waiting for an asynchronous stream.
int ReadStreamAt(FileStreamId Stream, uint64_t Position, void *Dest, uint64_t Size)
{
    if (Size == 0) return 0;
    if (Size > 0xFFFFFFFFu) return -1;
    if ((uint64_t)TellFileStream(Stream) != Position && SeekFileStream(Stream, (int64_t)Position, FILE_SEEK_SET) != 0)
        return -1;
    if ((uint64_t)TellFileStream(Stream) != Position) return -1;
    if (ReadFileStream(Dest, (size_t)Size, 1, Stream) != 1) return -1;
    while (IdleCheckFileStream(Stream) == 0) ThreadSleep(0);
    return FileStreamErrorCheck(Stream) ? -1 : 0;
}

// The archive's bytes, either from a stream or from an image (still scrambled, or not).
struct ArchiveSource
{
    FileStreamId Stream;         // on-demand and whole-file modes before the image is there
    const unsigned char *Image;  // image modes
    uint64_t Size;               // bytes in the archive
    bool ImageScrambled;         // the image's bytes still need the key
};

int ReadSource(const ArchiveSource &Source, const unsigned char *Key, uint64_t Position, void *Dest, uint64_t Size)
{
    if (!FitsWithin(Position, Size, Source.Size)) return -1;
    // An empty member is read into no buffer at all (a null Dest): there is nothing to copy.
    if (Size == 0) return 0;
    if (Source.Image != nullptr) {
        memcpy(Dest, Source.Image + Position, (size_t)Size);
        if (Source.ImageScrambled) ArchiveKeyConvert(Dest, (size_t)Size, Position, Key);
        return 0;
    }
    if (ReadStreamAt(Source.Stream, Position, Dest, Size) != 0) return -1;
    ArchiveKeyConvert(Dest, (size_t)Size, Position, Key);
    return 0;
}

// Finds the key the header decodes with (the caller's, then all 0xFF), reads the header and
// the table block, and checks them. 0, or -1.
int ReadHeaderAndTables(DxArchiveRecord *Record, const ArchiveSource &Source, const char *KeyString)
{
    // The first four bytes as they are (a zero key changes nothing); each key is tried on a copy.
    unsigned char raw[4];
    if (Source.Size < ARCHIVE_HEADER_BYTES_V0) return -1;
    const unsigned char none[ARCHIVE_KEY_BYTES] = {};
    if (ReadSource(Source, none, 0, raw, 4) != 0) return -1;

    bool found = false;
    for (int attempt = 0; attempt < 2 && !found; attempt++) {
        if (attempt == 0)
            MakeArchiveKey(KeyString, Record->Key);
        else
            MakeArchiveFallbackKey(Record->Key);
        unsigned char head[4];
        memcpy(head, raw, 4);
        ArchiveKeyConvert(head, 4, 0, Record->Key);
        found = ReadLe16(head) == ARCHIVE_MAGIC;
    }
    if (!found) return -1;

    unsigned char header[ARCHIVE_HEADER_BYTES_V6];
    memcpy(header, raw, 4);
    ArchiveKeyConvert(header, 4, 0, Record->Key);
    Record->Magic = ReadLe16(header);
    Record->Version = ReadLe16(header + 2);
    if (Record->Version > ARCHIVE_MAX_VERSION) return -1;

    const uint32_t headerBytes = Record->Version >= 6   ? ARCHIVE_HEADER_BYTES_V6
                                 : Record->Version >= 4 ? ARCHIVE_HEADER_BYTES_V4
                                                        : ARCHIVE_HEADER_BYTES_V0;
    if (ReadSource(Source, Record->Key, 4, header + 4, headerBytes - 4) != 0) return -1;

    Record->Is64Bit = Record->Version >= 6;
    Record->TableSize = ReadLe32(header + 4);
    uint64_t codePage = 932;
    if (Record->Is64Bit) {
        Record->DataPosition = ReadLe64(header + 8);
        Record->TablePosition = ReadLe64(header + 16);
        Record->FileTableOffset = ReadLe64(header + 24);
        Record->DirTableOffset = ReadLe64(header + 32);
        Record->StoredCodePage = ReadLe64(header + 40);
        codePage = Record->StoredCodePage;
    } else {
        Record->DataPosition = ReadLe32(header + 8);
        Record->TablePosition = ReadLe32(header + 12);
        Record->FileTableOffset = ReadLe32(header + 16);
        Record->DirTableOffset = ReadLe32(header + 20);
        if (Record->Version >= 4) codePage = Record->StoredCodePage = ReadLe32(header + 24);
    }
    Record->CodePage = Record->Version >= 4 && IsKnownCodePage(codePage) ? (int)codePage : 932;
    Record->ArchiveSize = Source.Size;

    if (!FitsWithin(Record->TablePosition, Record->TableSize, Source.Size)) return -1;
    if (Record->TableSize > TableSizeLimit || Record->DataPosition > Source.Size) return -1;
    Record->Table = (unsigned char *)DXALLOC(Record->TableSize > 0 ? (size_t)Record->TableSize : 1);
    if (Record->Table == nullptr) return -1;
    if (ReadSource(Source, Record->Key, Record->TablePosition, Record->Table, Record->TableSize) != 0) return -1;
    Record->CurrentDir = 0;
    return 0;
}

// ---- checking the tables ---------------------------------------------------------------------

bool NameIsSound(const DxArchiveRecord *Record, uint64_t NameOffset)
{
    if (!FitsWithin(NameOffset, 4, Record->TableSize)) return false;
    const unsigned char *p = Record->Table + NameOffset;
    uint64_t bytes = (uint64_t)ReadLe16(p) * 4;
    if (bytes == 0 || bytes > ARCHIVE_NAME_MAX_BYTES) return false;
    if (!FitsWithin(NameOffset + 4, bytes * 2, Record->TableSize)) return false;
    // Both forms end within their padding.
    return memchr(p + 4, 0, (size_t)bytes) != nullptr && memchr(p + 4 + bytes, 0, (size_t)bytes) != nullptr;
}

bool DataIsSound(const DxArchiveRecord *Record, const ArchiveFileEntry &Entry)
{
    uint64_t stored = Entry.DataSize;
    if (ArchiveIsPacked(Record, &Entry)) {
        if (Entry.PackedSize < ARCHIVE_PACK_HEADER_BYTES) return false;
        // One code of at most four bytes yields at most 8195 bytes: a larger claim is false,
        // and refusing it here spares allocating for it.
        if (Entry.DataSize / MaxExpansionPerByte > Entry.PackedSize - ARCHIVE_PACK_HEADER_BYTES) return false;
        stored = Entry.PackedSize;
    }
    if (!FitsWithin(Record->DataPosition, Entry.DataOffset, Record->ArchiveSize)) return false;
    return FitsWithin(Record->DataPosition + Entry.DataOffset, stored, Record->ArchiveSize);
}

// Walks the directory tree from the root. Every directory and every file entry is met once;
// every offset and size is checked before it is followed. Work is bounded by the table size.
int CheckTables(const DxArchiveRecord *Record)
{
    const uint64_t fileBytes = ArchiveFileEntryBytes(Record);
    const uint64_t dirBytes = ArchiveDirEntryBytes(Record);
    if (Record->FileTableOffset > Record->TableSize || Record->DirTableOffset > Record->TableSize) return -1;
    const uint64_t fileCount = (Record->TableSize - Record->FileTableOffset) / fileBytes;
    const uint64_t dirCount = (Record->TableSize - Record->DirTableOffset) / dirBytes;
    if (dirCount == 0 || fileCount == 0) return -1;

    std::vector<char> dirSeen, fileSeen;
    std::vector<uint64_t> pending;
    try {
        dirSeen.assign((size_t)dirCount, 0);
        fileSeen.assign((size_t)fileCount, 0);
    } catch (const std::bad_alloc &) {
        return -1;
    }
    ArchiveDirEntry root;
    ArchiveGetDirEntry(Record, 0, &root);
    if (root.ParentOffset != ARCHIVE_NO_PARENT) return -1;
    dirSeen[0] = 1;
    pending.push_back(0);

    while (!pending.empty()) {
        uint64_t dirOffset = pending.back();
        pending.pop_back();
        ArchiveDirEntry dir;
        ArchiveGetDirEntry(Record, dirOffset, &dir);
        if (dir.FileEntryOffset % fileBytes != 0 || dir.FileEntryOffset / fileBytes >= fileCount) return -1;
        if (dir.FileCount == 0) continue;
        if (dir.FirstFileOffset % fileBytes != 0) return -1;
        uint64_t first = dir.FirstFileOffset / fileBytes;
        if (first >= fileCount || dir.FileCount > fileCount - first) return -1;

        for (uint64_t i = 0; i < dir.FileCount; i++) {
            if (fileSeen[(size_t)(first + i)]) return -1;
            fileSeen[(size_t)(first + i)] = 1;
            ArchiveFileEntry entry;
            uint64_t entryOffset = (first + i) * fileBytes;
            ArchiveGetFileEntry(Record, entryOffset, &entry);
            if (!NameIsSound(Record, entry.NameOffset)) return -1;
            if (!(entry.Attributes & ARCHIVE_ATTRIBUTE_DIRECTORY)) {
                if (!DataIsSound(Record, entry)) return -1;
                continue;
            }
            if (entry.DataOffset % dirBytes != 0 || entry.DataOffset / dirBytes >= dirCount) return -1;
            if (dirSeen[(size_t)(entry.DataOffset / dirBytes)]) return -1;
            ArchiveDirEntry child;
            ArchiveGetDirEntry(Record, entry.DataOffset, &child);
            if (child.ParentOffset != dirOffset || child.FileEntryOffset != entryOffset) return -1;
            dirSeen[(size_t)(entry.DataOffset / dirBytes)] = 1;
            pending.push_back(entry.DataOffset);
        }
    }
    return 0;
}

int FinishOpen(DxArchiveRecord *Record, const ArchiveSource &Source, const char *KeyString, const wchar_t *Path)
{
    if (ReadHeaderAndTables(Record, Source, KeyString) != 0 || CheckTables(Record) != 0) return -1;
    if (Path != nullptr) {
        size_t length = wcslen(Path);
        if (length >= ARCHIVE_PATH_UNITS) return -1;
        memcpy(Record->Path, Path, (length + 1) * sizeof(wchar_t));
    }
    return 0;
}

// Gives up on a half-opened record: what it holds goes, a caller's image is left as it was.
int FailOpen(DxArchiveRecord *Record)
{
    if (Record->Stream != 0) CloseFileStream(Record->Stream);
    if (Record->LoadStream != 0) CloseFileStream(Record->LoadStream);
    if (Record->ImageOwned) DXFREE(Record->Image);
    DXFREE(Record->Table);
    ArchiveClearRecord(Record);
    return -1;
}

uint64_t StreamSize(FileStreamId Stream)
{
    SeekFileStream(Stream, 0, FILE_SEEK_END);
    uint64_t size = (uint64_t)TellFileStream(Stream);
    SeekFileStream(Stream, 0, FILE_SEEK_SET);
    return size;
}

// 1 for ".", 2 for "..", else 0, whatever the code's unit size.
int DotCount(const char *Name, size_t Length, int CodePage)
{
    int dots = 0;
    const char *p = Name;
    while (p < Name + Length) {
        int bytes = 0;
        if (GetCharCode(p, CodePage, &bytes) != '.' || bytes <= 0 || ++dots > 2) return 0;
        p += bytes;
    }
    return dots;
}

}  // namespace

// ---- entries ---------------------------------------------------------------------------------

uint32_t ArchiveFileEntryBytes(const DxArchiveRecord *Record)
{
    return Record->Is64Bit        ? ARCHIVE_FILE_ENTRY_BYTES_V6
           : Record->Version >= 2 ? ARCHIVE_FILE_ENTRY_BYTES_V2
                                  : ARCHIVE_FILE_ENTRY_BYTES_V0;
}

uint32_t ArchiveDirEntryBytes(const DxArchiveRecord *Record)
{
    return Record->Is64Bit ? ARCHIVE_DIR_ENTRY_BYTES_V6 : ARCHIVE_DIR_ENTRY_BYTES_V0;
}

namespace {

// Reads table fields in order: words are 64-bit in version 6 tables and 32-bit before, and a
// 32-bit all-ones word means the same as a 64-bit one.
struct FieldReader
{
    const unsigned char *At;  // next field
    bool Wide;                // 64-bit words

    uint64_t Word()
    {
        uint64_t value = Wide ? ReadLe64(At) : ReadLe32(At);
        At += Wide ? 8 : 4;
        return !Wide && value == 0xFFFFFFFFu ? ~0ull : value;
    }
    uint64_t Time()
    {
        uint64_t value = ReadLe64(At);
        At += 8;
        return value;
    }
};

}  // namespace

void ArchiveGetFileEntry(const DxArchiveRecord *Record, uint64_t Offset, ArchiveFileEntry *Entry)
{
    FieldReader field = {Record->Table + Record->FileTableOffset + Offset, Record->Is64Bit != 0};
    Entry->NameOffset = field.Word();
    Entry->Attributes = field.Word();
    Entry->CreationTime = field.Time();
    Entry->LastAccessTime = field.Time();
    Entry->LastWriteTime = field.Time();
    Entry->DataOffset = field.Word();
    Entry->DataSize = field.Word();
    Entry->PackedSize = Record->Version >= 2 ? field.Word() : ARCHIVE_NOT_PACKED;
}

void ArchiveGetDirEntry(const DxArchiveRecord *Record, uint64_t Offset, ArchiveDirEntry *Entry)
{
    FieldReader field = {Record->Table + Record->DirTableOffset + Offset, Record->Is64Bit != 0};
    Entry->FileEntryOffset = field.Word();
    Entry->ParentOffset = field.Word();
    Entry->FileCount = field.Word();
    Entry->FirstFileOffset = field.Word();
}

int ArchiveIsPacked(const DxArchiveRecord *, const ArchiveFileEntry *Entry)
{
    return Entry->PackedSize != ARCHIVE_NOT_PACKED;
}

void ArchiveCopyStoredName(const DxArchiveRecord *Record, const ArchiveFileEntry *Entry, char *Out)
{
    const unsigned char *p = Record->Table + Entry->NameOffset;
    size_t bytes = (size_t)ReadLe16(p) * 4;
    memcpy(Out, p + 4 + bytes, bytes);
    memset(Out + bytes, 0, 4);
}

int ArchiveConvertName(const char *Src, int SrcCharCodeFormat, char *Dest, size_t DestBytes, int DestCharCodeFormat)
{
    const int need = ConvertCharCode(Src, SrcCharCodeFormat, nullptr, 0, DestCharCodeFormat);
    if (need <= 0 || (size_t)need > DestBytes) return -1;
    const int written = ConvertCharCode(Src, SrcCharCodeFormat, Dest, DestBytes, DestCharCodeFormat);
    const int units = GetCharCodeStringLength(DestCharCodeFormat, Dest);
    if (written != need || units < 0 || (units + 1) * GetCharCodeUnitSize(DestCharCodeFormat) != written) return -1;
    return 0;
}

int ArchiveMakeSearchKey(const char *Name, size_t Length, int CodePage, ArchiveSearchKey *Key)
{
    if (Length + 4 > ARCHIVE_NAME_MAX_BYTES) return -1;
    memset(Key->Name, 0, sizeof(Key->Name));
    memcpy(Key->Name, Name, Length);
    // Upper-case a-z character by character, so that trail bytes of double-byte characters are
    // never taken for letters.
    char *p = (char *)Key->Name;
    char *end = p + Length;
    while (p < end) {
        int bytes = 0;
        uint32_t c = GetCharCode(p, CodePage, &bytes);
        if (bytes <= 0 || c == 0) break;
        if (c >= 'a' && c <= 'z') PutCharCode(c - 'a' + 'A', CodePage, p, (size_t)bytes);
        p += bytes;
    }
    uint16_t check = 0;
    for (size_t i = 0; i < Length; i++) check = (uint16_t)(check + Key->Name[i]);
    Key->Check = check;
    Key->Units = (uint32_t)(Length / 4 + 1);
    return 0;
}

int ArchiveLookup(const DxArchiveRecord *Record, const char *Path, int WantDirectory, ArchiveFileEntry *Entry,
                  uint64_t *DirOffset)
{
    const uint64_t fileBytes = ArchiveFileEntryBytes(Record);
    uint64_t dirOffset = Record->CurrentDir;
    const char *p = Path;
    ArchiveSearchKey key;

    for (;;) {
        // Cut the next element at "\" or "/", reading whole characters.
        const char *start = p;
        int bytes = 0;
        uint32_t c = 0;
        for (;;) {
            c = GetCharCode(p, Record->CodePage, &bytes);
            if (bytes <= 0) return -1;  // not text of this code page: no name matches it
            if (c == 0 || c == '\\' || c == '/') break;
            p += bytes;
        }
        const size_t length = (size_t)(p - start);
        const bool last = c == 0;
        if (!last) p += bytes;

        ArchiveDirEntry dir;
        ArchiveGetDirEntry(Record, dirOffset, &dir);
        const int dots = DotCount(start, length, Record->CodePage);
        if (length == 0 || dots == 1) {
            // stays in this directory
        } else if (dots == 2) {
            if (dir.ParentOffset != ARCHIVE_NO_PARENT) dirOffset = dir.ParentOffset;
        } else {
            if (ArchiveMakeSearchKey(start, length, Record->CodePage, &key) != 0) return -1;
            const bool needDirectory = !last || WantDirectory;
            bool found = false;
            for (uint64_t i = 0; i < dir.FileCount && !found; i++) {
                ArchiveFileEntry entry;
                uint64_t entryOffset = dir.FirstFileOffset + i * fileBytes;
                ArchiveGetFileEntry(Record, entryOffset, &entry);
                if (((entry.Attributes & ARCHIVE_ATTRIBUTE_DIRECTORY) != 0) != needDirectory) continue;
                const unsigned char *name = Record->Table + entry.NameOffset;
                if (ReadLe16(name) != key.Units || ReadLe16(name + 2) != key.Check) continue;
                if (memcmp(name + 4, key.Name, key.Units * 4) != 0) continue;
                found = true;
                if (last) {
                    *Entry = entry;
                    if (DirOffset != nullptr) *DirOffset = entry.DataOffset;
                    return 0;
                }
                dirOffset = entry.DataOffset;
            }
            if (!found) return -1;
            continue;
        }
        if (last) break;
    }
    // The path ended on a directory of its own ("", ".", "..", or a trailing separator).
    if (!WantDirectory) return -1;
    ArchiveDirEntry dir;
    ArchiveGetDirEntry(Record, dirOffset, &dir);
    ArchiveGetFileEntry(Record, dir.FileEntryOffset, Entry);
    if (DirOffset != nullptr) *DirOffset = dirOffset;
    return 0;
}

int ArchiveReadBytes(DxArchiveRecord *Record, FileStreamId Stream, uint64_t Position, void *Dest, uint64_t Size)
{
    if (Record->ImageLoading) ArchiveWaitReadEnd(Record);
    ArchiveSource source = {Stream, Record->Image, Record->ArchiveSize, Record->ImageScrambled != 0};
    return ReadSource(source, Record->Key, Position, Dest, Size);
}

// ---- records ---------------------------------------------------------------------------------

void ArchiveClearRecord(DxArchiveRecord *Record) { memset(Record, 0, sizeof(*Record)); }

int OpenArchiveFileStreamed(DxArchiveRecord *Record, const wchar_t *Path, const char *KeyString)
{
    ArchiveClearRecord(Record);
    Record->Stream = OpenFileStream(Path, 0, 0, 0);
    if (Record->Stream == 0) return -1;
    ArchiveSource source = {Record->Stream, nullptr, StreamSize(Record->Stream), false};
    if (FinishOpen(Record, source, KeyString, Path) != 0) return FailOpen(Record);
    return 0;
}

int OpenArchiveFileToMemory(DxArchiveRecord *Record, const wchar_t *Path, const char *KeyString, int NoWaitFlag)
{
    ArchiveClearRecord(Record);
    Record->LoadStream = OpenFileStream(Path, 0, 0, 1);
    if (Record->LoadStream == 0) return -1;
    ArchiveSource source = {Record->LoadStream, nullptr, StreamSize(Record->LoadStream), false};
    if (source.Size > ImageSizeLimit || FinishOpen(Record, source, KeyString, Path) != 0) return FailOpen(Record);

    Record->Image = (unsigned char *)DXALLOC(source.Size > 0 ? (size_t)source.Size : 1);
    if (Record->Image == nullptr) return FailOpen(Record);
    Record->ImageFlag = 1;
    Record->ImageOwned = 1;
    // The whole file comes in the background; the image is unscrambled once it is there.
    if (SeekFileStream(Record->LoadStream, 0, FILE_SEEK_SET) != 0 ||
        ReadFileStream(Record->Image, (size_t)source.Size, 1, Record->LoadStream) != 1)
        return FailOpen(Record);
    Record->ImageLoading = 1;
    if (!NoWaitFlag) ArchiveWaitReadEnd(Record);
    return 0;
}

int OpenArchiveFromMemory(DxArchiveRecord *Record, void *Image, uint64_t ImageSize, int CopyFlag, int KeepScrambledFlag,
                          const char *KeyString, const wchar_t *Path)
{
    ArchiveClearRecord(Record);
    if (Image == nullptr || ImageSize > ImageSizeLimit) return -1;
    ArchiveSource source = {0, (const unsigned char *)Image, ImageSize, true};
    if (FinishOpen(Record, source, KeyString, Path) != 0) return FailOpen(Record);

    Record->ImageFlag = 1;
    Record->Image = (unsigned char *)Image;
    if (CopyFlag) {
        Record->Image = (unsigned char *)DXALLOC(ImageSize > 0 ? (size_t)ImageSize : 1);
        if (Record->Image == nullptr) return FailOpen(Record);
        memcpy(Record->Image, Image, (size_t)ImageSize);
        Record->ImageOwned = 1;
    }
    if (KeepScrambledFlag) {
        Record->ImageScrambled = 1;
    } else {
        // The whole image is unscrambled at once, so that reads are plain copies.
        ArchiveKeyConvert(Record->Image, (size_t)ImageSize, 0, Record->Key);
        Record->ImageUnscrambledInPlace = !CopyFlag;
    }
    return 0;
}

void *ArchiveWaitReadEnd(DxArchiveRecord *Record)
{
    // Several files of one archive may meet the finished read at once: one of them unscrambles
    // and closes the load stream, so the others look at that stream only under the lock.
    for (;;) {
        CRITICALSECTION_LOCK(ArchiveLayerLock());
        bool done = !Record->ImageLoading;
        if (!done && IdleCheckFileStream(Record->LoadStream) != 0) {
            bool failed = FileStreamErrorCheck(Record->LoadStream) != 0;
            CloseFileStream(Record->LoadStream);
            Record->LoadStream = 0;
            ArchiveKeyConvert(Record->Image, (size_t)Record->ArchiveSize, 0, Record->Key);
            if (failed) memset(Record->Image, 0, (size_t)Record->ArchiveSize);
            Record->ImageLoading = 0;
            done = true;
        }
        CRITICALSECTION_UNLOCK(ArchiveLayerLock());
        if (done) return Record->Image;
        ThreadSleep(0);
    }
}

int ArchiveCloseRecord(DxArchiveRecord *Record)
{
    ArchiveWaitReadEnd(Record);
    if (Record->Stream != 0) CloseFileStream(Record->Stream);
    if (Record->ImageUnscrambledInPlace) ArchiveKeyConvert(Record->Image, (size_t)Record->ArchiveSize, 0, Record->Key);
    if (Record->ImageOwned) DXFREE(Record->Image);
    DXFREE(Record->Table);
    ArchiveClearRecord(Record);
    return 0;
}

int ArchiveFindFile(DxArchiveRecord *Record, int CharCodeFormat, const char *Name, uint64_t *Position, uint64_t *Size)
{
    if (Record == nullptr || Record->Table == nullptr || Name == nullptr) return -1;
    char converted[ARCHIVE_NAME_MAX_BYTES * 2];
    const char *path = Name;
    if (CharCodeFormat != Record->CodePage) {
        if (ArchiveConvertName(Name, CharCodeFormat, converted, sizeof(converted), Record->CodePage) != 0) return -1;
        path = converted;
    }
    ArchiveWaitReadEnd(Record);
    ArchiveFileEntry entry;
    if (ArchiveLookup(Record, path, 0, &entry, nullptr) != 0 || ArchiveIsPacked(Record, &entry)) return -1;
    if (Position != nullptr) *Position = Record->DataPosition + entry.DataOffset;
    if (Size != nullptr) *Size = entry.DataSize;
    return 0;
}
