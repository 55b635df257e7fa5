// Read throughput of files inside an unpacked and a packed archive, beside the same files
// loose, all through the default file-access set in the same run.
#include "bench/support/bench_clock.h"
#include <windows.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "tools/archive_writer/archive_writer.h"
#include "zovuz/core/file/archive.h"
#include "zovuz/core/file/file_access.h"

namespace {

const int FileCount = 48;
const size_t FileBytes = 512u << 10;  // 24 MB in all: packing them takes most of the run
const int Rounds = 3;

bool WriteWhole(const std::wstring &Path, const std::vector<unsigned char> &Data)
{
    HANDLE file = CreateFileW(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(file, Data.data(), (DWORD)Data.size(), &written, nullptr) && written == Data.size();
    CloseHandle(file);
    return ok;
}

// Sound-like data: repeating phrases with noise, so that packing has something to find.
std::vector<unsigned char> Contents(int Index)
{
    std::vector<unsigned char> data(FileBytes);
    uint32_t noise = 0x12345u + (uint32_t)Index;
    for (size_t i = 0; i < data.size(); i++) {
        noise = noise * 1664525u + 1013904223u;
        data[i] = (i % 1024 < 700) ? (unsigned char)(i * 3 % 251) : (unsigned char)(noise >> 24);
    }
    return data;
}

std::string NameOf(int Index) { return "f" + std::to_string(Index) + ".bin"; }

// Reads every file of Folder through the table; the best time of a few rounds, -1 on a short read.
double TimeFolder(const std::wstring &Folder)
{
    std::vector<unsigned char> chunk(64u << 10);
    double best = 1e9;
    for (int round = 0; round < Rounds; round++) {
        double start = BenchSeconds();
        for (int i = 0; i < FileCount; i++) {
            std::string name = NameOf(i);
            std::wstring path = Folder + L"\\" + std::wstring(name.begin(), name.end());
            FileStreamId id = FileAccessOpen(path.c_str(), 0, 0, 0);
            if (id == 0) return -1;
            size_t total = 0, got;
            while ((got = FileAccessRead(chunk.data(), 1, chunk.size(), id)) > 0) total += got;
            FileAccessClose(id);
            if (total != FileBytes) return -1;
        }
        double time = BenchSeconds() - start;
        if (time < best) best = time;
    }
    return best;
}

}  // namespace

int main()
{
    std::vector<ArchiveWriterItem> items;
    CreateDirectoryW(L"loose", nullptr);
    CreateDirectoryW(L"plain", nullptr);
    CreateDirectoryW(L"packed", nullptr);
    for (int i = 0; i < FileCount; i++) {
        ArchiveWriterItem item;
        item.Path = NameOf(i);
        item.Data = Contents(i);
        std::wstring name(item.Path.begin(), item.Path.end());
        if (!WriteWhole(L"loose\\" + name, item.Data)) return 1;
        items.push_back(std::move(item));
    }
    for (bool pack : {false, true}) {
        ArchiveWriterOptions options;
        options.Pack = pack;
        std::vector<unsigned char> archive;
        std::string error;
        if (BuildArchive(items, options, archive, &error) != 0 || !WriteWhole(pack ? L"packed.dxa" : L"plain.dxa", archive)) {
            printf("cannot make the archive: %s\n", error.c_str());
            return 1;
        }
        printf("%s archive: %.1f MB\n", pack ? "packed" : "unpacked", archive.size() / 1048576.0);
    }

    const double mb = (double)FileCount * FileBytes / (1 << 20);
    printf("reading %d files of %u KB (%.0f MB) through the file-access table, best of %d\n", FileCount,
           (unsigned)(FileBytes >> 10), mb, Rounds);
    const double loose = TimeFolder(L"loose");
    const double plain = TimeFolder(L"plain");
    const double packed = TimeFolder(L"packed");
    if (loose < 0 || plain < 0 || packed < 0) {
        printf("FAILED: a file came up short\n");
        return 1;
    }
    printf("  %-20s %8.1f MB/s  (reference)\n", "loose files", mb / loose);
    printf("  %-20s %8.1f MB/s  ratio to loose %.2f\n", "unpacked archive", mb / plain, loose / plain);
    printf("  %-20s %8.1f MB/s  ratio to loose %.2f\n", "packed archive", mb / packed, loose / packed);
    return 0;
}
