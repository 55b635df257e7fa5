// Tracked memory (see memory.h): the library's four allocation calls over two TLSF heaps, with
// the live-block counters, the trace, the dump and the heap check.
#include "zovuz/core/clock.h"
#include "zovuz/core/memory.h"
#include "zovuz/core/memory_internal.h"

#include <string.h>

#include <atomic>

#include "zovuz/core/log.h"
#include "zovuz/core/threads.h"
#include "zovuz/core/tlsf_heap.h"

namespace {

constexpr size_t kSmallHeapLimit = 65536;        // larger requests go to the large heap
constexpr size_t kSmallHeapGrowUnit = 0x400000;  // 4 MB pieces
constexpr size_t kLargeHeapGrowUnit = 0x2000000; // 32 MB pieces

struct MemoryState {
    std::atomic<int> LockState;  // 0 no lock yet, 1 being made, 2 ready
    DxCriticalSection Lock;      // the allocator lock, made on first use
    int HeapsReady;              // both heaps are set up
    VaZuri SmallHeap;            // requests of at most 65536 bytes
    VaZuri LargeHeap;            // larger requests
    int TotalAllocSize;          // sum of the live blocks' requested sizes
    int AllocNum;                // live blocks
    int TraceSize;               // a block of this size is traced; negative traces every block
    int TraceAll;                // trace every block
    int PrintTotals;             // log the totals after every call
    int CheckEveryCall;          // check both heaps after every call
    int StartTime;               // start of the tags' time stamps (ms)
};
MemoryState Allocator;

// The lock is made by whichever thread allocates first; others spin until it is ready, which
// happens once per process.
void EnsureLock()
{
    if (Allocator.LockState.load(std::memory_order_acquire) == 2) return;
    int expected = 0;
    if (Allocator.LockState.compare_exchange_strong(expected, 1, std::memory_order_acq_rel)) {
        CriticalSectionInitialize(&Allocator.Lock);
        Allocator.LockState.store(2, std::memory_order_release);
        return;
    }
    while (Allocator.LockState.load(std::memory_order_acquire) != 2) ThreadSleep(0);
}

// The allocator's lock (made on first use), recorded at this file's calling line.
DxCriticalSection *ReadyLock()
{
    EnsureLock();
    return &Allocator.Lock;
}

struct MemoryLockGuard : CriticalSectionGuard {
    explicit MemoryLockGuard(int line) : CriticalSectionGuard(ReadyLock(), __FILE__, line) {}
};

// Under the lock.
int SetupHeaps()
{
    if (Allocator.HeapsReady) return 0;
    if (InitializeHeap(&Allocator.SmallHeap, HEAP_KIND_TLSF, 16, 1, kSmallHeapGrowUnit, NULL, HeapPageAlloc,
                       HeapPageAddress, HeapPageSize, HeapPageFree, NULL, 0) != 0) {
        return -1;
    }
    if (InitializeHeap(&Allocator.LargeHeap, HEAP_KIND_TLSF, 16, 1, kLargeHeapGrowUnit, NULL, HeapPageAlloc,
                       HeapPageAddress, HeapPageSize, HeapPageFree, NULL, 0) != 0) {
        TerminateHeap(&Allocator.SmallHeap);
        return -1;
    }
    Allocator.HeapsReady = 1;
    return 0;
}

bool Traced(size_t size)
{
    return Allocator.TraceSize < 0 || size_t(Allocator.TraceSize) == size || Allocator.TraceAll;
}

void AfterCall()
{
    if (Allocator.PrintTotals) LogAllocTotal();
    if (Allocator.CheckEveryCall) CheckMemory();
}

}  // namespace

void *DxAlloc(size_t AllocSize, const char *File, int Line)
{
    MemoryLockGuard lock(__LINE__);
    if (SetupHeaps() != 0) return NULL;
    VaZuri *heap = AllocSize <= kSmallHeapLimit ? &Allocator.SmallHeap : &Allocator.LargeHeap;
    void *block = AllocMemory(heap, AllocSize, 0, File, Line);
    if (block == NULL) {
        // A size that can't even be expressed was refused and logged by the heap; dumping every
        // live block for it would only flood the log with what a bad file header asked for.
        if (!HeapRequestTooLarge(AllocSize, 0)) {
            DumpAllocMemory();
            CheckMemory();
        }
        return NULL;
    }
    if (Traced(AllocSize)) {
        AddLogString("mem alloc  ");
        DumpMemoryTag(block);
    }
    Allocator.TotalAllocSize += static_cast<int>(GetAllocSize(block));
    Allocator.AllocNum++;
    AfterCall();
    return block;
}

void *DxCalloc(size_t AllocSize, const char *File, int Line)
{
    void *block = DxAlloc(AllocSize, File, Line);
    if (block != NULL) memset(block, 0, AllocSize);
    return block;
}

void *DxRealloc(void *Memory, size_t AllocSize, const char *File, int Line)
{
    if (Memory == NULL) return DxAlloc(AllocSize, File, Line);
    MemoryLockGuard lock(__LINE__);
    int oldSize = static_cast<int>(FindCheckedTag(Memory, HEAP_CHECK_REALLOC)->UserSize);
    void *block = ReallocMemory(Memory, AllocSize, 0, File, Line);
    if (block == NULL) {
        if (!HeapRequestTooLarge(AllocSize, 0)) DumpAllocMemory();
        return NULL;
    }
    Allocator.TotalAllocSize += static_cast<int>(GetAllocSize(block)) - oldSize;
    if (Traced(AllocSize)) {
        AddLogString("mem realloc  ");
        DumpMemoryTag(block);
    }
    AfterCall();
    return block;
}

void DxFree(void *Memory)
{
    if (Memory == NULL) return;
    MemoryLockGuard lock(__LINE__);
    // A block that outlived its heap (freed after TerminateMemory, through a shut-down order
    // mistake) has nothing left to free: say so and go on rather than end the program at exit.
    if (HeapAddressOfEndedHeap(Memory)) {
        AddLogFormatShiftJis("DxFree : 終了したヒープのメモリが解放されました、何もしません  addr:%08x",
                             static_cast<unsigned>(reinterpret_cast<uintptr_t>(Memory)));
        return;
    }
    if (Allocator.CheckEveryCall) CheckMemory();
    // The free's own checks come first, so a double free is reported as one.
    MemTag *tag = FindCheckedTag(Memory, HEAP_CHECK_FREE);
    Allocator.TotalAllocSize -= static_cast<int>(tag->UserSize);
    Allocator.AllocNum--;
    if (Traced(tag->UserSize)) {
        AddLogString("mem free  ");
        DumpMemoryTag(Memory);
    }
    FreeCheckedTag(tag);
    if (Allocator.PrintTotals) LogAllocTotal();
}

int GetAllocNum(void)
{
    return Allocator.AllocNum;
}

int GetTotalAllocSize(void)
{
    return Allocator.TotalAllocSize;
}

int LogAllocTotal(void)
{
    AddLogFormatShiftJis("\tTotal size:%d(%.3fkb)  Alloc num:%d", Allocator.TotalAllocSize,
                         Allocator.TotalAllocSize / 1024.0, Allocator.AllocNum);
    return 0;
}

int DumpAllocMemory(void)
{
    MemoryLockGuard lock(__LINE__);
    AddLogString("\n");
    AddLogString("Alloc memory dump\n");
    if (Allocator.HeapsReady) {
        DumpHeap(&Allocator.SmallHeap);
        DumpHeap(&Allocator.LargeHeap);
    }
    LogAllocTotal();
    AddLogString("\n");
    return 0;
}

int CheckMemory(void)
{
    MemoryLockGuard lock(__LINE__);
    if (!Allocator.HeapsReady) return 0;
    int small = HeapErrorCheck(&Allocator.SmallHeap);
    int large = HeapErrorCheck(&Allocator.LargeHeap);
    return small == 0 && large == 0 ? 0 : -1;
}

int UpdateMemoryTagTime(void)
{
    MemoryLockGuard lock(__LINE__);
    if (SetupHeaps() != 0) return 0;
    int now = GetNowMilliCount();
    // The clock is 31 bits wide; a clock below the start has wrapped.
    int elapsed = now >= Allocator.StartTime ? now - Allocator.StartTime : now - Allocator.StartTime + 0x7FFFFFFF;
    uint16_t stamp = static_cast<uint16_t>(elapsed / 1000);
    Allocator.SmallHeap.TimeStamp = stamp;
    Allocator.LargeHeap.TimeStamp = stamp;
    return 0;
}

int InitializeMemory(void)
{
    MemoryLockGuard lock(__LINE__);
    return SetupHeaps();
}

int TerminateMemory(void)
{
    MemoryLockGuard lock(__LINE__);
    if (!Allocator.HeapsReady) return 0;
    TerminateHeap(&Allocator.SmallHeap);
    TerminateHeap(&Allocator.LargeHeap);
    Allocator.HeapsReady = 0;
    Allocator.TotalAllocSize = 0;
    Allocator.AllocNum = 0;
    return 0;
}
