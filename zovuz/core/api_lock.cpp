// The library-wide API lock: re-entrant, first come first served, one event per waiter.
#include "zovuz/core/api_lock_internal.h"

#include "zovuz/core/threads_internal.h"

#include <atomic>
#include <string.h>

namespace {

constexpr uint32_t NoOwner = 0xFFFFFFFFu;

// Made-state of the events and the guard.
enum : int { LockUnmade = 0, LockMaking = 1, LockMade = 2 };

struct LockWaiter
{
    uint32_t ThreadID;  // waiting thread, 0 in a free entry
    void *Event;        // manual-reset event the thread waits on; travels with the entry
};

// The lock. Everything but MadeState is read and written inside Guard.
struct DxFunctionLockData
{
    std::atomic<int> MadeState;                       // LockUnmade / LockMaking / LockMade
    int Depth;                                        // enters of the owner not yet left
    int HeldFlag;                                     // 1 while a thread owns the lock
    uint32_t OwnerThreadID;                           // owner, NoOwner after release
    LockWaiter Waiter[DXFUNCTIONLOCK_WAITER_MAXNUM];  // entry 0 is the oldest waiter
    int WaiterNum;                                    // entries 0 .. WaiterNum - 1 wait
    DxCriticalSection Guard;                          // protects all of the above
};

DxFunctionLockData FunctionLock;

// First use makes the 4096 events and the guard. Two threads arriving at once must not both
// make them, so the first one claims the making and the others yield until it is done.
void MakeLockOnce(void)
{
    for (;;) {
        int state = FunctionLock.MadeState.load(std::memory_order_acquire);
        if (state == LockMade) return;
        int expected = LockUnmade;
        if (state == LockUnmade &&
            FunctionLock.MadeState.compare_exchange_strong(expected, LockMaking, std::memory_order_acq_rel)) {
            for (int i = 0; i < DXFUNCTIONLOCK_WAITER_MAXNUM; ++i) {
                FunctionLock.Waiter[i].ThreadID = 0;
                FunctionLock.Waiter[i].Event = EventCreate(1, 0);
            }
            FunctionLock.Depth = 0;
            FunctionLock.HeldFlag = 0;
            FunctionLock.OwnerThreadID = NoOwner;
            FunctionLock.WaiterNum = 0;
            CriticalSectionInitialize(&FunctionLock.Guard);
            FunctionLock.MadeState.store(LockMade, std::memory_order_release);
            return;
        }
        ThreadSleep(0);
    }
}

// Takes the lock for the caller; called inside the guard, which it leaves.
void TakeLock(uint32_t ThreadID)
{
    FunctionLock.Depth++;
    FunctionLock.HeldFlag = 1;
    FunctionLock.OwnerThreadID = ThreadID;
    CriticalSectionUnlock(&FunctionLock.Guard);
}

}  // namespace

void EnterDxFunctionLock(void)
{
    MakeLockOnce();
    uint32_t self = ThreadGetCurrentId();

    for (;;) {
        CriticalSectionLock(&FunctionLock.Guard, "ZuDaredu", __LINE__);

        if (FunctionLock.HeldFlag) {
            if (FunctionLock.OwnerThreadID == self) return TakeLock(self);
        } else {
            if (FunctionLock.WaiterNum == 0 || FunctionLock.OwnerThreadID == self) return TakeLock(self);

            // A free lock with waiters goes to the oldest of them, never to a newcomer. The
            // oldest removes itself and parks its event in the entry that becomes free.
            if (FunctionLock.Waiter[0].ThreadID == self) {
                void *event = FunctionLock.Waiter[0].Event;
                int last = FunctionLock.WaiterNum - 1;
                memmove(&FunctionLock.Waiter[0], &FunctionLock.Waiter[1], sizeof(LockWaiter) * last);
                FunctionLock.Waiter[last].ThreadID = 0;
                FunctionLock.Waiter[last].Event = event;
                FunctionLock.WaiterNum--;
                return TakeLock(self);
            }
        }

        if (FunctionLock.WaiterNum == DXFUNCTIONLOCK_WAITER_MAXNUM) {
            CriticalSectionUnlock(&FunctionLock.Guard);
            ThreadSleep(1);
            continue;
        }

        LockWaiter *entry = &FunctionLock.Waiter[FunctionLock.WaiterNum];
        entry->ThreadID = self;
        void *event = entry->Event;
        FunctionLock.WaiterNum++;
        CriticalSectionUnlock(&FunctionLock.Guard);

        EventWait(event, -1);
        EventReset(event);
    }
}

void LeaveDxFunctionLock(void)
{
    if (FunctionLock.MadeState.load(std::memory_order_acquire) != LockMade) return;
    uint32_t self = ThreadGetCurrentId();

    CriticalSectionLock(&FunctionLock.Guard, "ZuDaredu", __LINE__);
    if (!FunctionLock.HeldFlag || FunctionLock.OwnerThreadID != self) {
        CriticalSectionUnlock(&FunctionLock.Guard);
        return;
    }
    // Entry 0 only leaves the list itself after it has been woken, so its event can be read
    // here and signalled after the guard is left.
    void *wake = NULL;
    if (FunctionLock.Depth == 1) {
        FunctionLock.HeldFlag = 0;
        FunctionLock.OwnerThreadID = NoOwner;
        if (FunctionLock.WaiterNum >= 1) wake = FunctionLock.Waiter[0].Event;
    }
    FunctionLock.Depth--;
    CriticalSectionUnlock(&FunctionLock.Guard);

    if (wake != NULL) {
        EventSet(wake);
        ThreadSleep(0);
    }
}

void CloseDxFunctionLock(void)
{
    int expected = LockMade;
    if (!FunctionLock.MadeState.compare_exchange_strong(expected, LockUnmade, std::memory_order_acq_rel)) return;
    for (int i = 0; i < DXFUNCTIONLOCK_WAITER_MAXNUM; ++i) {
        EventClose(FunctionLock.Waiter[i].Event);
        FunctionLock.Waiter[i].Event = NULL;
        FunctionLock.Waiter[i].ThreadID = 0;
    }
    FunctionLock.WaiterNum = 0;
    CriticalSectionDelete(&FunctionLock.Guard);
}

int GetDxFunctionLockWaitingNum(void)
{
    if (FunctionLock.MadeState.load(std::memory_order_acquire) != LockMade) return 0;
    CriticalSectionLock(&FunctionLock.Guard, "ZuDaredu", __LINE__);
    int num = FunctionLock.WaiterNum;
    CriticalSectionUnlock(&FunctionLock.Guard);
    return num;
}

int GetDxFunctionLockDepth(void)
{
    if (FunctionLock.MadeState.load(std::memory_order_acquire) != LockMade) return 0;
    CriticalSectionLock(&FunctionLock.Guard, "ZuDaredu", __LINE__);
    int depth = FunctionLock.Depth;
    CriticalSectionUnlock(&FunctionLock.Guard);
    return depth;
}
