// Inside the core: the library-wide state flags themselves. Other layers read and set the few
// they need through library_state.h.
#pragma once

#include <stdint.h>

#include "zovuz/core/library_state.h"

struct LibraryStateData
{
    int Started;                   // the library has passed its last start-up step that can fail
    int Starting;                  // 1 while the library start-up runs
    int Ending;                    // 1 from the start of shut-down, 4 after WM_CLOSE; 0 once a window is made
    int Quit;                      // WM_QUIT taken, window destroyed or window start-up failed
    int LibraryEnd;                // set with Quit; read by GetLibraryEndFlag
    int PerformanceCounterFlag;    // 1 when the microsecond clock reads the performance counter
    int64_t PerformanceFrequency;  // performance-counter counts per second
    int UseASyncLoadFlag;          // loading calls pass it on as their asynchronous argument; 0 by default
};

extern LibraryStateData LibraryState;
