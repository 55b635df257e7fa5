// GetAllKeyState called 1,000 times within one millisecond tick (the first call refreshes the
// table, the others read it) beside one GetKeyboardState, in the same run; and one refreshing
// GetAllKeyState (a new tick each call: pump pass, GetKeyboardState, 109 copies) beside it.
#include "bench/support/bench_clock.h"
#include "bench/support/bench_window.h"
#include <windows.h>

#include <stdio.h>

#include "zovuz/core/windows/api_table.h"

namespace {

// The input layer's tick, held or moved by the benchmark.
DWORD Tick = 1000;
DWORD WINAPI HeldTimeGetTime(void) { return Tick; }

template <typename Work>
double MicrosecondsPerRound(int Rounds, Work work)
{
    return BenchSecondsPerCall(Rounds, work) * 1e6;
}

}  // namespace

int main()
{
    if (!StartBenchWindow()) return 1;
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
    PrintBenchRatio("1000 x GetAllKeyState in one tick", thousand, "1 x GetKeyboardState", one, "us");

    double refreshing = MicrosecondsPerRound(rounds, [&keys] {
        Tick++;
        GetAllKeyState(keys);
    });
    PrintBenchRatio("GetAllKeyState on a new tick", refreshing, "1 x GetKeyboardState", one, "us");

    TerminateInput();
    WinAPIData.timeGetTimeFunc = realTimeGetTime;
    TerminateMainWindow();
    return 0;
}
