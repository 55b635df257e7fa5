// One ProcessMessage pass with an empty queue beside a bare PeekMessageW, and an uncontended
// DxFunctionLock enter/leave pair beside a bare critical section, in the same run.
#include "bench/support/bench_clock.h"
#include "bench/support/bench_window.h"
#include <windows.h>

#include <stdio.h>

namespace {

template <typename Work>
double NanosecondsPerCall(int Rounds, Work work)
{
    return BenchSecondsPerCall(Rounds, work) * 1e9;
}

}  // namespace

int main()
{
    if (!StartBenchWindow()) return 1;

    const int pumpRounds = 20000;
    MSG message;
    double pump = NanosecondsPerCall(pumpRounds, [] { ProcessMessage(); });
    double peek = NanosecondsPerCall(pumpRounds, [&message] { PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE); });
    PrintBenchRatio("ProcessMessage (empty queue)", pump, "PeekMessageW", peek, "ns");

    const int lockRounds = 2000000;
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterDxFunctionLock();  // the first entry makes the lock's events
    LeaveDxFunctionLock();
    double lock = NanosecondsPerCall(lockRounds, [] {
        EnterDxFunctionLock();
        LeaveDxFunctionLock();
    });
    double bare = NanosecondsPerCall(lockRounds, [&section] {
        EnterCriticalSection(&section);
        LeaveCriticalSection(&section);
    });
    DeleteCriticalSection(&section);
    PrintBenchRatio("DxFunctionLock enter + leave", lock, "critical section pair", bare, "ns");

    TerminateMainWindow();
    return 0;
}
