#include "tests/zovuz/graphics/counting_files.h"

#include <stdio.h>
#include <windows.h>

#include <mutex>
#include <vector>

#include "zovuz/core/file/file_access_internal.h"

namespace {

struct CountingState
{
    std::mutex Lock;
    std::vector<std::string> Opened;  // every path asked for, in order
    std::string HeldName;
    HANDLE Released = nullptr;        // manual-reset event, set while nothing is held
} State;

bool EndsWith(const std::string &Text, const std::string &End)
{
    return Text.size() >= End.size() && Text.compare(Text.size() - End.size(), End.size(), End) == 0;
}

FILE *AsFile(FileStreamId Id) { return reinterpret_cast<FILE *>(Id); }

FileStreamId Open(const char *Path, int, int, int)
{
    bool hold;
    {
        std::lock_guard<std::mutex> guard(State.Lock);
        State.Opened.push_back(Path);
        hold = !State.HeldName.empty() && EndsWith(Path, State.HeldName);
    }
    if (hold)
        WaitForSingleObject(State.Released, 20000);
    return reinterpret_cast<FileStreamId>(fopen(Path, "rb"));
}
int Close(FileStreamId Id) { return fclose(AsFile(Id)); }
int64_t Tell(FileStreamId Id) { return _ftelli64(AsFile(Id)); }
int Seek(FileStreamId Id, int64_t Point, int Type) { return _fseeki64(AsFile(Id), Point, Type); }
size_t Read(void *Buffer, size_t Size, size_t Count, FileStreamId Id) { return fread(Buffer, Size, Count, AsFile(Id)); }
int Eof(FileStreamId Id) { return feof(AsFile(Id)); }
int Idle(FileStreamId) { return 1; }
int ChDir(const char *Path) { return SetCurrentDirectoryA(Path) ? 0 : -1; }
int GetDir(char *Buffer) { return GetCurrentDirectoryA(MAX_PATH, Buffer) ? 0 : -1; }
int GetDirS(char *Buffer, size_t Bytes) { return GetCurrentDirectoryA((DWORD)Bytes, Buffer) ? 0 : -1; }
FileFindId FindFirst(const char *, FileFindRecordA *) { return FILE_FIND_ID_NONE; }
int FindNext(FileFindId, FileFindRecordA *) { return -1; }
int FindClose(FileFindId) { return 0; }

const FileAccessFunctionTableA Table = {Open, Close, Tell, Seek, Read, Eof, Idle,
                                        ChDir, GetDir, GetDirS, FindFirst, FindNext, FindClose};

}  // namespace

CountingFiles::CountingFiles()
{
    State.Opened.clear();
    State.HeldName.clear();
    if (State.Released == nullptr)
        State.Released = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    SetEvent(State.Released);
    SetStreamFunctionTable(&Table);
}

CountingFiles::~CountingFiles()
{
    Release();
    SetStreamFunctionTable(nullptr);
}

int CountingFiles::Opens(const std::string &Name) const
{
    std::lock_guard<std::mutex> guard(State.Lock);
    int n = 0;
    for (const std::string &path : State.Opened)
        n += EndsWith(path, Name) ? 1 : 0;
    return n;
}

void CountingFiles::Hold(const std::string &Name)
{
    std::lock_guard<std::mutex> guard(State.Lock);
    State.HeldName = Name;
    ResetEvent(State.Released);
}

void CountingFiles::Release()
{
    std::lock_guard<std::mutex> guard(State.Lock);
    State.HeldName.clear();
    SetEvent(State.Released);
}
