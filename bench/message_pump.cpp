// One ProcessMessage pass with an empty queue beside a bare PeekMessageW, and an uncontended
// DxFunctionLock enter/leave pair beside a bare critical section, in the same run.
#include "bench/bench_clock.h"
#include <windows.h>

#include <stdio.h>

#include "zovuz/core/zovuz_core.h"

namespace {

template <typename Work>
double NanosecondsPerCall(int Rounds, Work work)
{
    double start = BenchSeconds();
    for (int i = 0; i < Rounds; ++i) work();
    return (BenchSeconds() - start) * 1e9 / Rounds;
}

void Print(const char *Name, double Ours, const char *ReferenceName, double Reference)
{
    printf("%-32s %9.1f ns   %-26s %9.1f ns   ratio %.2f\n", Name, Ours, ReferenceName, Reference, Ours / Reference);
}

}  // namespace

int main()
{
    SetLogFileOutputFlag(0);
    ChangeWindowMode(1);
    SetAlwaysRunFlag(1);
    SetMainWindowText("tarvex bench");
    if (CreateMainWindow() != 0) {
        printf("the main window could not be made\n");
        return 1;
    }
    ProcessMessage();  // what the window's creation queued

    const int pumpRounds = 20000;
    MSG message;
    double pump = NanosecondsPerCall(pumpRounds, [] { ProcessMessage(); });
    double peek = NanosecondsPerCall(pumpRounds, [&message] { PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE); });
    Print("ProcessMessage (empty queue)", pump, "PeekMessageW", peek);

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
    Print("DxFunctionLock enter + leave", lock, "critical section pair", bare);

    TerminateMainWindow();
    return 0;
}
