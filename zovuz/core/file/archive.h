// The library's own archives ("DX", extension "DXA"): a tree of folders and files in one file,
// optionally LZ-packed, every byte scrambled with a 12-byte key. An archive stands in for the
// folder of the same name, and the default file-access set looks inside archives along a path
// before it opens the loose file.
//
// Archives come from anywhere: every offset, size and count in one is checked against the
// archive's size before it is used, and an archive that does not hold together is refused (the
// file is then looked for as a loose file).
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "zovuz/core/file/file_access.h"

#define ARCHIVE_MAGIC 0x5844  // "DX"
#define ARCHIVE_MAX_VERSION 6
#define ARCHIVE_KEY_BYTES 12
#define ARCHIVE_PATH_UNITS 1024                   // archive path, UTF-16 units with the terminator
#define ARCHIVE_PACK_HEADER_BYTES 9               // expanded size, packed size, escape byte
#define ARCHIVE_NOT_PACKED 0xFFFFFFFFFFFFFFFFull  // packed size of an entry stored as it is
#define ARCHIVE_NO_PARENT 0xFFFFFFFFFFFFFFFFull   // parent of the root directory
#define ARCHIVE_ATTRIBUTE_DIRECTORY 0x10
#define ARCHIVE_DEFAULT_EXTENSION L"DXA"

// Header sizes by version: 0-3, 4-5, 6.
#define ARCHIVE_HEADER_BYTES_V0 24
#define ARCHIVE_HEADER_BYTES_V4 28
#define ARCHIVE_HEADER_BYTES_V6 48

// Table entry sizes by version.
#define ARCHIVE_FILE_ENTRY_BYTES_V0 40
#define ARCHIVE_FILE_ENTRY_BYTES_V2 44
#define ARCHIVE_FILE_ENTRY_BYTES_V6 64
#define ARCHIVE_DIR_ENTRY_BYTES_V0 16
#define ARCHIVE_DIR_ENTRY_BYTES_V6 32

// ---- key and packing -------------------------------------------------------------------------

// Expands a packed block of SrcSize bytes (header included) into DestSize bytes of room: the
// expanded size, or -1 when the block is inconsistent. A null Dest only reads the size.
int64_t ArchiveDecompressChecked(const void *Src, uint64_t SrcSize, void *Dest, uint64_t DestSize);
// The same for the library's built-in packed data, whose header gives the bounds.
int64_t ArchiveDecompress(const void *Src, void *Dest);

// ---- archive records -------------------------------------------------------------------------

// One open archive. Zeroed by ArchiveClearRecord; filled by one of the three openers.
struct DxArchiveRecord
{
    uint16_t Magic;                        // ARCHIVE_MAGIC
    uint16_t Version;                      // 0..6
    uint64_t TableSize;                    // table-block size
    uint64_t DataPosition;                 // data area position in the archive
    uint64_t TablePosition;                // table block position in the archive
    uint64_t FileTableOffset;              // file table within the table block
    uint64_t DirTableOffset;               // directory table within the table block
    uint64_t StoredCodePage;               // the header's code page field (0 before version 4)
    int CodePage;                          // the code page the names are in
    int Is64Bit;                           // version 6 tables
    uint64_t ArchiveSize;                  // bytes in the archive file or image
    FileStreamId Stream;                   // on-demand mode: the archive file
    FileStreamId LoadStream;               // whole-file mode: the background read, 0 once done
    unsigned char *Image;                  // memory modes: the archive image
    unsigned char *Table;                  // the unscrambled table block (always the record's own)
    uint64_t CurrentDir;                   // current directory: offset in the directory table
    wchar_t Path[ARCHIVE_PATH_UNITS];      // the archive's path, for sharing
    unsigned char Key[ARCHIVE_KEY_BYTES];  // the key the header decoded with
    int ImageFlag;                         // the archive is an image in memory
    int ImageOwned;                        // the image is the record's own allocation
    int ImageScrambled;                    // the image stays scrambled; data is unscrambled as read
    int ImageLoading;                      // whole-file mode: the background read is still running
    int ImageUnscrambledInPlace;           // a caller's image was unscrambled in place: undo at close
};

// On-demand: reads the header and tables now, file data when asked. 0, or -1.
int OpenArchiveFileStreamed(DxArchiveRecord *Record, const wchar_t *Path, const char *KeyString);
// Whole file in memory, read in the background; without NoWaitFlag the call waits for it.
int OpenArchiveFileToMemory(DxArchiveRecord *Record, const wchar_t *Path, const char *KeyString, int NoWaitFlag);
// An image already in memory, used in place (unscrambled there and scrambled back at close),
// copied (CopyFlag), or left scrambled (KeepScrambledFlag) with data unscrambled as read.
int OpenArchiveFromMemory(DxArchiveRecord *Record, void *Image, uint64_t ImageSize, int CopyFlag, int KeepScrambledFlag,
                          const char *KeyString, const wchar_t *Path);
// Releases what the record holds and clears it. 0.
int ArchiveCloseRecord(DxArchiveRecord *Record);
void ArchiveClearRecord(DxArchiveRecord *Record);
// Waits for a whole-file read and returns the image (null for an on-demand archive).
void *ArchiveWaitReadEnd(DxArchiveRecord *Record);
// Finds a file by path (Name in CharCodeFormat): its position in the archive and its size.
// 0, or -1 when not found or packed.
int ArchiveFindFile(DxArchiveRecord *Record, int CharCodeFormat, const char *Name, uint64_t *Position, uint64_t *Size);
