// GetAllKeyState called 1,000 times within one millisecond tick (the first call refreshes the
// table, the others read it) beside one GetKeyboardState, in the same run; and one refreshing
// GetAllKeyState (a new tick each call: pump pass, GetKeyboardState, 109 copies) beside it.
#include "bench/bench_clock.h"
#include <windows.h>

#include <stdio.h>

#include "zovuz/core/windows/api_table.h"
#include "zovuz/core/zovuz_core.h"

namespace {

// The input layer's tick, held or moved by the benchmark.
DWORD Tick = 1000;
DWORD WINAPI HeldTimeGetTime(void) { return Tick; }

template <typename Work>
double MicrosecondsPerRound(int Rounds, Work work)
{
    double start = BenchSeconds();
    for (int i = 0; i < Rounds; ++i) work();
    return (BenchSeconds() - start) * 1e6 / Rounds;
}

void Print(const char *Name, double Ours, const char *ReferenceName, double Reference)
{
    printf("%-40s %9.2f us   %-24s %9.2f us   ratio %.2f\n", Name, Ours, ReferenceName, Reference, Ours / Reference);
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
    ProcessMessage();
    SetDirectInputUseFlag(0);
    InitializeInput();
    DWORD(WINAPI *realTimeGetTime)(void) = WinAPIData.timeGetTimeFunc;
    WinAPIData.timeGetTimeFunc = HeldTimeGetTime;

    const int rounds = 2000;
    char keys[256];
    BYTE state[256];
    double thousand = MicrosecondsPerRound(rounds, [&keys] {
        Tick++;
        for (int i = 0; i < 1000; ++i) GetAllKeyState(keys);
    });
    double one = MicrosecondsPerRound(rounds, [&state] { GetKeyboardState(state); });
    Print("1000 x GetAllKeyState in one tick", thousand, "1 x GetKeyboardState", one);

    double refreshing = MicrosecondsPerRound(rounds, [&keys] {
        Tick++;
        GetAllKeyState(keys);
    });
    Print("GetAllKeyState on a new tick", refreshing, "1 x GetKeyboardState", one);

    TerminateInput();
    WinAPIData.timeGetTimeFunc = realTimeGetTime;
    TerminateMainWindow();
    return 0;
}
