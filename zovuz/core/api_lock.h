// The library-wide API lock: one re-entrant lock that serialises the library's public calls
// between threads.
//
// The owner thread may enter again; every enter needs one leave. Threads that must wait are
// served strictly in arrival order, each blocked on an event of its own, so a thread that arrives
// while others wait goes behind them even when the lock happens to be free at that moment. Up to
// 4096 threads can wait; further threads poll every millisecond until a place frees.
//
// The lock is held across the message pump's inactive-window waits, so while the main window is
// inactive other threads' library calls block. Never wait for another thread that may itself
// need the lock (a load worker's main-thread request, a timer callback) while holding it.
#pragma once

#include <stdint.h>

#define DXFUNCTIONLOCK_WAITER_MAXNUM 4096

// Returns when the calling thread owns the lock. The events and the guard are made on first use.
void EnterDxFunctionLock(void);

// Lowers the owner's depth; at depth 0 releases the lock and wakes the oldest waiter. A leave
// from a thread that does not own the lock is refused and changes nothing.
void LeaveDxFunctionLock(void);

// Closes the lock's events and guard (library end and the fatal exit); the next enter makes
// them again. Nothing when they were never made. Only call it while no thread holds or waits.
void CloseDxFunctionLock(void);
