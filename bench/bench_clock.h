// The benchmarks' clock: seconds from the performance counter.
#pragma once

#include <windows.h>

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
