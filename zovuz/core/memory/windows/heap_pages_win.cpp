// The heaps' page provider over the system's virtual memory, and the heaps' other platform needs.
#include "zovuz/core/memory/tlsf_heap.h"

#include <windows.h>

int HeapPageAlloc(void *, size_t Size, HeapPageRecord *Record)
{
    void *address = VirtualAlloc(NULL, Size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (address == NULL) return -1;
    // The piece's size is what the system reports for the region, which may be rounded up.
    MEMORY_BASIC_INFORMATION info;
    if (VirtualQuery(address, &info, sizeof info) == 0) {
        VirtualFree(address, 0, MEM_RELEASE);
        return -1;
    }
    Record->Address = address;
    Record->Size = info.RegionSize;
    return 0;
}

void *HeapPageAddress(void *, const HeapPageRecord *Record) { return Record->Address; }

size_t HeapPageSize(void *, const HeapPageRecord *Record) { return Record->Size; }

int HeapPageFree(void *, HeapPageRecord *Record)
{
    if (Record->Address == NULL) return -1;
    BOOL released = VirtualFree(Record->Address, 0, MEM_RELEASE);
    Record->Address = NULL;
    Record->Size = 0;
    return released ? 0 : -1;
}

void HeapStopProgram(void)
{
    // Nothing may run after this: no exit handlers, no destructors that could touch the heap.
    TerminateProcess(GetCurrentProcess(), 3);
    for (;;) Sleep(INFINITE);
}
