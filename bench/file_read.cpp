// Sequential read throughput of a 64 MB file through the file-access table (direct, with the
// access thread's read-ahead cache, asynchronous), beside plain ReadFile in the same run.
#include "bench/support/bench_clock.h"
#include <windows.h>

#include <stdio.h>

#include <vector>

#include "zovuz/core/file/file_access.h"

namespace {

const size_t FileBytes = 64u << 20;
const size_t ChunkBytes = 64u << 10;
const int Rounds = 3;

bool MakeFile(const wchar_t *Path)
{
    HANDLE file = CreateFileW(Path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::vector<unsigned char> chunk(ChunkBytes);
    bool ok = true;
    for (size_t at = 0; at < FileBytes && ok; at += ChunkBytes) {
        for (size_t i = 0; i < ChunkBytes; i++) chunk[i] = (unsigned char)((at + i) * 31 >> 3);
        DWORD written = 0;
        ok = WriteFile(file, chunk.data(), (DWORD)ChunkBytes, &written, nullptr) && written == ChunkBytes;
    }
    CloseHandle(file);
    return ok;
}

// Best of a few rounds, in seconds; -1 when a read came up short.
double TimePlainReadFile(const wchar_t *Path, std::vector<unsigned char> &Chunk)
{
    double best = 1e9;
    for (int round = 0; round < Rounds; round++) {
        double start = BenchSeconds();
        HANDLE file = CreateFileW(Path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        size_t total = 0;
        DWORD got = 0;
        while (ReadFile(file, Chunk.data(), (DWORD)Chunk.size(), &got, nullptr) && got > 0) total += got;
        CloseHandle(file);
        if (total != FileBytes) return -1;
        double time = BenchSeconds() - start;
        if (time < best) best = time;
    }
    return best;
}

double TimeTable(const wchar_t *Path, int Cache, int Async, std::vector<unsigned char> &Chunk)
{
    double best = 1e9;
    for (int round = 0; round < Rounds; round++) {
        double start = BenchSeconds();
        FileStreamId id = FileAccessOpen(Path, Cache, 0, Async);
        if (id == 0) return -1;
        size_t total = 0;
        for (;;) {
            size_t got = FileAccessRead(Chunk.data(), 1, Chunk.size(), id);
            while (Async && FileAccessIdleCheck(id) == 0) Sleep(0);
            if (got == 0) break;
            total += got;
        }
        FileAccessClose(id);
        if (total != FileBytes) return -1;
        double time = BenchSeconds() - start;
        if (time < best) best = time;
    }
    return best;
}

}  // namespace

int main()
{
    const wchar_t *path = L"file_read_64mb.bin";
    if (!MakeFile(path)) {
        printf("cannot write the test file\n");
        return 1;
    }
    const double mb = (double)FileBytes / (1 << 20);
    int status = 0;
    // Every read through the access thread is one command and one wait: larger chunks show
    // how much of the difference is that round trip.
    for (size_t chunkBytes : {ChunkBytes, (size_t)1 << 20}) {
        std::vector<unsigned char> chunk(chunkBytes);
        const double reference = TimePlainReadFile(path, chunk);
        printf("sequential read of %.0f MB in %u KB chunks, best of %d\n", mb, (unsigned)(chunkBytes >> 10), Rounds);
        printf("  %-34s %8.1f MB/s  (reference)\n", "ReadFile", mb / reference);

        struct Way { const char *name; int cache; int async; };
        const Way ways[] = {
            {"table, direct", 0, 0},
            {"table, access thread + cache", 1, 0},
            {"table, access thread, async", 0, 1},
        };
        for (const Way &way : ways) {
            double time = TimeTable(path, way.cache, way.async, chunk);
            if (time < 0) {
                printf("  %-34s FAILED (short read)\n", way.name);
                status = 1;
                continue;
            }
            printf("  %-34s %8.1f MB/s  ratio to ReadFile %.2f\n", way.name, mb / time, reference / time);
        }
    }
    DeleteFileW(path);
    return status;
}
