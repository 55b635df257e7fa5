// Stands in for windows/heap_pages_win.cpp: the heaps' pages come from mmap (and go back to it
// unpoisoned), and a heap that finds itself damaged stops the program with abort(), which the
// fuzzer records as a crash. The pages stop at 512 MB, as a 32-bit process's address space
// would a little later: a file that asks for more takes the readers' failure path, and one input
// cannot hold a campaign's memory.
#include <stdio.h>

#include <atomic>
#include <stdlib.h>
#include <sanitizer/asan_interface.h>
#include <sys/mman.h>
#include <unistd.h>

#include "zovuz/core/memory/tlsf_heap.h"

namespace {

const size_t kPageLimitBytes = size_t(512) << 20;
std::atomic<size_t> g_pageBytes{0};  // bytes of pages handed out and not given back

} // namespace

int HeapPageAlloc(void *, size_t Size, HeapPageRecord *Record)
{
    // The size the system reports is the request rounded up to whole pages, as on Windows.
    size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    if (Size == 0 || Size > SIZE_MAX - page) return -1;
    size_t rounded = (Size + page - 1) / page * page;
    if (g_pageBytes.fetch_add(rounded) + rounded > kPageLimitBytes) {
        g_pageBytes -= rounded;
        return -1;
    }
    void *address = mmap(nullptr, rounded, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (address == MAP_FAILED) {
        g_pageBytes -= rounded;
        return -1;
    }
    Record->Address = address;
    Record->Size = rounded;
    return 0;
}

void *HeapPageAddress(void *, const HeapPageRecord *Record) { return Record->Address; }

size_t HeapPageSize(void *, const HeapPageRecord *Record) { return Record->Size; }

int HeapPageFree(void *, HeapPageRecord *Record)
{
    if (Record->Address == nullptr) return -1;
    // The heap poisons the guards of its blocks; the pages may come back from mmap later.
    __asan_unpoison_memory_region(Record->Address, Record->Size);
    g_pageBytes -= Record->Size;
    int result = munmap(Record->Address, Record->Size);
    Record->Address = nullptr;
    Record->Size = 0;
    return result == 0 ? 0 : -1;
}

void HeapStopProgram(void)
{
    fputs("tarvex heap: the library stopped the program (see the log above)\n", stderr);
    abort();
}
