// Stands in for windows/file_win.cpp: the loose-file set over the in-memory files of
// files_native.h. Reads are synchronous (a stream is always idle) and follow the Windows set's
// rules: whole blocks only, a seek is clamped to the file, the end flag is set by a read that
// meets the end.
#include "fuzz/native/files_native.h"

#include <string.h>
#include <time.h>

#include <memory>
#include <string>
#include <vector>

#include "zovuz/core/file/archive_internal.h"
#include "zovuz/core/file/file_access.h"
#include "zovuz/core/file/file_access_internal.h"

namespace {

// 16-bit text: the C++ library's own wide strings assume a 32-bit wchar_t.
typedef std::u16string WideText;
typedef std::vector<unsigned char> Bytes;

struct NativeFile {
    WideText Path;                  // full path, upper case, "\" separators
    std::shared_ptr<Bytes> Data;    // shared with the streams that have it open
};

struct NativeStream {
    std::shared_ptr<Bytes> Data;
    uint64_t Position;
    bool Eof;
};

struct NativeFileState {
    std::vector<NativeFile> Files;       // the files
    WideText CurrentDir = u"C:\\FUZZ";   // the current folder
    int OpenStreams = 0;                 // streams not closed yet
};

NativeFileState &State()
{
    static NativeFileState state;
    return state;
}

// The full path in the form the files are kept under: Windows paths compare without case.
WideText Canonical(const wchar_t *Path)
{
    WideText path;
    for (const wchar_t *p = Path; *p != 0; p++) {
        char16_t c = *p == L'/' ? u'\\' : char16_t(*p);
        path += (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
    }
    bool absolute = path.size() >= 2 && path[1] == L':';
    if (!absolute) {
        const WideText &base = State().CurrentDir;
        path = path.empty() || path[0] != u'\\' ? base + u"\\" + path : base.substr(0, 2) + path;
    }
    return path;
}

NativeStream *StreamOf(FileStreamId Handle) { return reinterpret_cast<NativeStream *>(Handle); }

} // namespace

void NativeFilesClear(void) { State().Files.clear(); }

void NativeFilesAdd(const wchar_t *Path, const void *Data, size_t Size)
{
    const unsigned char *bytes = static_cast<const unsigned char *>(Data);
    NativeFile file{Canonical(Path), std::make_shared<Bytes>(bytes, bytes + Size)};
    for (NativeFile &existing : State().Files) {
        if (existing.Path == file.Path) {
            existing = file;
            return;
        }
    }
    State().Files.push_back(file);
}

int NativeFilesOpenStreams(void) { return State().OpenStreams; }

FileStreamId OpenFileStream(const wchar_t *Path, int, int, int)
{
    if (Path == nullptr) return 0;
    const WideText path = Canonical(Path);
    for (const NativeFile &file : State().Files) {
        if (file.Path == path) {
            State().OpenStreams++;
            return reinterpret_cast<FileStreamId>(new NativeStream{file.Data, 0, false});
        }
    }
    return 0;
}

int CloseFileStream(FileStreamId Handle)
{
    State().OpenStreams--;
    delete StreamOf(Handle);
    return 0;
}

int64_t TellFileStream(FileStreamId Handle) { return int64_t(StreamOf(Handle)->Position); }

int SeekFileStream(FileStreamId Handle, int64_t SeekPoint, int SeekType)
{
    NativeStream *stream = StreamOf(Handle);
    const int64_t size = int64_t(stream->Data->size());
    int64_t position;
    switch (SeekType) {
    case FILE_SEEK_SET: position = SeekPoint; break;
    case FILE_SEEK_CUR: position = int64_t(stream->Position) + SeekPoint; break;
    case FILE_SEEK_END: position = size + SeekPoint; break;
    default: return -1;
    }
    stream->Position = uint64_t(position < 0 ? 0 : position > size ? size : position);
    stream->Eof = false;
    return 0;
}

size_t ReadFileStream(void *Buffer, size_t BlockSize, size_t DataNum, FileStreamId Handle)
{
    NativeStream *stream = StreamOf(Handle);
    if (BlockSize == 0) return 0;
    const uint64_t size = stream->Data->size();
    const uint64_t left = stream->Position < size ? size - stream->Position : 0;
    uint64_t count = DataNum;
    if (uint64_t(BlockSize) * count > left) count = left / BlockSize;
    if (count == 0) {
        stream->Eof = true;
        return 0;
    }
    memcpy(Buffer, stream->Data->data() + stream->Position, size_t(count * BlockSize));
    stream->Position += count * BlockSize;
    return size_t(count);
}

int EofFileStream(FileStreamId Handle) { return StreamOf(Handle)->Eof ? -1 : 0; }
int IdleCheckFileStream(FileStreamId) { return 1; }
int FileStreamErrorCheck(FileStreamId) { return 0; }

int ChangeDirFileStream(const wchar_t *Path)
{
    if (Path == nullptr) return -1;
    State().CurrentDir = Canonical(Path);
    return 0;
}

int GetDirSizedFileStream(wchar_t *Buffer, size_t BufferBytes)
{
    const WideText &dir = State().CurrentDir;
    if (BufferBytes < sizeof(wchar_t)) return -1;
    if ((dir.size() + 1) * sizeof(wchar_t) > BufferBytes) {
        Buffer[0] = 0;
        return -1;
    }
    memcpy(Buffer, dir.c_str(), (dir.size() + 1) * sizeof(wchar_t));
    return 0;
}

int GetDirFileStream(wchar_t *Buffer) { return GetDirSizedFileStream(Buffer, FILE_PATH_MAX_BYTES); }

// No search finds a loose file: the targets read files by name.
FileFindId FindFirstFileStream(const wchar_t *, FileFindRecord *) { return FILE_FIND_ID_NONE; }
int FindNextFileStream(FileFindId, FileFindRecord *) { return -1; }
int FindCloseFileStream(FileFindId) { return 0; }

void FileTimeToFileDateTime(uint64_t FileTime, FileDateTime *DateTime)
{
    // 100 ns units since 1601 (UTC; the native build has no local time zone to apply).
    memset(DateTime, 0, sizeof *DateTime);
    const uint64_t seconds = FileTime / 10000000u;
    const uint64_t unixEpoch = 11644473600ull;
    if (seconds < unixEpoch) return;
    const time_t t = time_t(seconds - unixEpoch);
    if (uint64_t(t) != seconds - unixEpoch) return;  // beyond a 32-bit time_t
    tm utc;
    if (gmtime_r(&t, &utc) == nullptr) return;
    *DateTime = {utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec};
}
