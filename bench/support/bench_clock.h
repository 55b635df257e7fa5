// The benchmarks' clock: seconds from the performance counter.
#pragma once

#include <windows.h>

#include <stdio.h>

inline double BenchSeconds()
{
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return double(f.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) / frequency;
}

// Seconds per call of Work, over Rounds calls.
template <typename Work>
double BenchSecondsPerCall(int Rounds, Work work)
{
    double start = BenchSeconds();
    for (int i = 0; i < Rounds; ++i) work();
    return (BenchSeconds() - start) / Rounds;
}

// Calls of Work, at most Rounds of them, until Seconds have passed (at least one call): a slow side
// is then timed rather than counted, so that a slower platform cannot lengthen the run.
struct BenchCalls {
    double SecondsPerCall;
    int Calls;
};

template <typename Work>
BenchCalls BenchTimedCalls(int Rounds, double Seconds, Work work)
{
    const double start = BenchSeconds();
    double passed = 0;
    int calls = 0;
    while (calls < Rounds && (calls == 0 || passed < Seconds)) {
        work();
        ++calls;
        passed = BenchSeconds() - start;
    }
    return {passed / calls, calls};
}

// One line: our figure beside the reference figure of the same run, and their ratio.
inline void PrintBenchRatio(const char *Name, double Ours, const char *ReferenceName, double Reference, const char *Unit)
{
    printf("%-36s %10.2f %s   %-26s %10.2f %s   ratio %.2f\n", Name, Ours, Unit, ReferenceName, Reference, Unit,
           Ours / Reference);
}
