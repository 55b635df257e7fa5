// Tracked memory (see memory.h): the library's four allocation calls over two TLSF heaps, with
// the live-block counters, the trace, the dump and the heap check.
#include "zovuz/core/clock.h"
#include "zovuz/core/memory/memory.h"
#include "zovuz/core/memory/memory_internal.h"

#include <string.h>

#include <atomic>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "zovuz/core/text/log.h"
#include "zovuz/core/threads.h"
#include "zovuz/core/threads_internal.h"
#include "zovuz/core/memory/tlsf_heap.h"

namespace {

constexpr size_t kSmallHeapLimit = 65536;         // larger requests go to the large heap
constexpr size_t kSmallHeapGrowUnit = 0x400000;   // 4 MB pieces
constexpr size_t kLargeHeapGrowUnit = 0x2000000;  // 32 MB pieces

// The allocator lock: re-entrant for its owner thread, taken by every call of the allocator.
// Every allocation and free of the library passes through it, so it costs one atomic exchange to
// take and a plain store to give back. A thread that finds it taken spins briefly (the lock is
// held for a fraction of a microsecond), then yields, then sleeps a millisecond at a time, so
// that a holder of lower priority still gets to run and give it back. Like every library lock it
// records the file, line and thread of its last locker, as a trace.
struct AllocatorLock
{
    std::atomic<uint32_t> Owner;                     // id of the thread holding it, 0 when free
    int Depth;                                       // times the owner has taken it
    char FilePath[DX_CRITICALSECTION_PATH_MAX + 1];  // source path of the last locker, terminated
    const char *FilePathSource;                      // the literal FilePath was copied from
    int LineNo;                                      // source line of the last locker
    uint32_t ThreadID;                               // thread id of the last locker
};

struct MemoryState
{
    AllocatorLock Lock;  // the allocator lock
    int HeapsReady;      // both heaps are set up
    VaZuri SmallHeap;    // requests of at most 65536 bytes
    VaZuri LargeHeap;    // larger requests
    int TotalAllocSize;  // sum of the live blocks' requested sizes
    int AllocNum;        // live blocks
    int TraceSize;       // a block of this size is traced; negative traces every block
    int TraceAll;        // trace every block
    int PrintTotals;     // log the totals after every call
    int CheckEveryCall;  // check both heaps after every call
    int StartTime;       // start of the tags' time stamps (ms)
};
MemoryState Allocator;

void TakeAllocatorLock(const char *path, int line)
{
    AllocatorLock &lock = Allocator.Lock;
    const uint32_t self = ThreadGetCurrentId();
    if (lock.Owner.load(std::memory_order_relaxed) == self) {
        ++lock.Depth;
        return;
    }
    for (int attempt = 0;; ++attempt) {
        uint32_t free = 0;
        if (lock.Owner.load(std::memory_order_relaxed) == 0 &&
            lock.Owner.compare_exchange_weak(free, self, std::memory_order_acquire, std::memory_order_relaxed)) {
            break;
        }
        if (attempt < 64) {
#if defined(__SSE2__)
            _mm_pause();
#endif
        } else {
            ThreadSleep(attempt < 96 ? 0 : 1);
        }
    }
    lock.Depth = 1;
    // The paths are this file's own literals: one already copied needn't be copied again.
    if (path != lock.FilePathSource) {
        CopyLockerPath(lock.FilePath, path);
        lock.FilePathSource = path;
    }
    lock.LineNo = line;
    lock.ThreadID = self;
}

void GiveAllocatorLockBack()
{
    AllocatorLock &lock = Allocator.Lock;
    if (--lock.Depth == 0) lock.Owner.store(0, std::memory_order_release);
}

struct MemoryLockGuard
{
    explicit MemoryLockGuard(int line) { TakeAllocatorLock(__FILE_NAME__, line); }
    ~MemoryLockGuard() { GiveAllocatorLockBack(); }
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
    // Every call into the two heaps comes from here with the allocator lock held, so a second
    // lock inside each heap would only double the cost of every allocation and free.
    Allocator.SmallHeap.OwnerLocked = 1;
    Allocator.LargeHeap.OwnerLocked = 1;
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
    // The block's user size is the size asked for: no need to look its tag up again.
    Allocator.TotalAllocSize += static_cast<int>(AllocSize);
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

int GetAllocNum(void) { return Allocator.AllocNum; }

int GetTotalAllocSize(void) { return Allocator.TotalAllocSize; }

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
