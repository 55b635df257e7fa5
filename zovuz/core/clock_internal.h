// The microsecond clock's arithmetic, for the clock's own files and its tests.
#pragma once

#include <stdint.h>

// floor(Count x 1,000,000 / Frequency) over the full 128-bit product, low 64 bits of the
// quotient. Frequency must not be 0.
int64_t MicroCountFromCounter(uint64_t Count, uint64_t Frequency);

// Where a wait of MilliSeconds that starts at Start (microseconds) ends, in 64 bits throughout:
// waits of 35 minutes and more do not wrap.
int64_t WaitEndMicroCount(int64_t Start, int MilliSeconds);
