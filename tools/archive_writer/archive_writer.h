// Makes the library's "DX" archives (versions 0 to 6) from a list of files, exactly as the
// library's archive reader expects them. Platform-independent: the tests build archives in
// memory with it; archive_writer_main.cpp packs a folder from the command line.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

struct ArchiveWriterItem {
    std::string Path;                 // in the archive's code page, folders separated by "/" or "\"
    bool Directory = false;           // an (empty) folder; folders of file paths are made anyway
    std::vector<unsigned char> Data;  // a file's contents
    uint64_t CreationTime = 0;        // FILETIME
    uint64_t LastAccessTime = 0;      // FILETIME
    uint64_t LastWriteTime = 0;       // FILETIME
};

struct ArchiveWriterOptions {
    int Version = 6;                  // 0 to 6; packing needs 2 or later
    int CodePage = 932;               // the names' code page (stored from version 4 on)
    bool Pack = false;                // LZ-pack every file (version 2 or later)
    const char *KeyString = nullptr;  // the key string; null = no string
    bool FallbackKey = false;         // scramble with twelve 0xFF bytes instead
};

// Builds the archive into Out. Files of one folder keep the order given. 0, or -1 with a
// reason in Error (unsupported version or code page, packing before version 2, a name too
// long, an item twice).
int BuildArchive(const std::vector<ArchiveWriterItem> &Items, const ArchiveWriterOptions &Options,
                 std::vector<unsigned char> &Out, std::string *Error);

// One packed block: the 9-byte header (expanded size, packed size, escape byte) and the codes.
std::vector<unsigned char> ArchivePack(const unsigned char *Data, size_t Size);
