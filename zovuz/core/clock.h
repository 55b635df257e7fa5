// The library's clocks: a 64-bit microsecond clock that both engines' song clocks use, a 31-bit
// millisecond clock, the library's wait, and the local date and time.
#pragma once

#include <stdint.h>

// timeGetTime masked to 31 bits, so that it never goes negative; -1 when winmm's entry
// cannot be loaded into the Windows API table.
int GetNowMilliCount(void);

// Microseconds on the performance counter when the library's start-up found one (and the
// window's timer check kept it), else timeGetTime x 1000. -1 when neither clock is there: no
// performance counter in use and winmm not loaded (this clock never loads the API table).
int64_t GetNowMicroCount(void);

// Reads the performance-counter frequency; the microsecond clock uses the counter from now on
// when it has one. Start-up step and part of the window's timer check. Returns 0.
int SetupPerformanceCounter(void);

// Waits MilliSeconds on the microsecond clock. A wait longer than 4 ms sleeps in 1 ms steps and
// processes the window's messages until 4 ms before its end (an end of the program stops the
// message processing, not the wait); the last 4 ms, and every shorter wait, are spun. 0.
int WaitMilliseconds(int MilliSeconds);

// Year, month, day, hour, minute and second of the local time, in that order. 0.
int GetLocalDateTime(int DateTime[6]);
