// The library-wide state flags that say whether the library is starting, running or ending.
// The library's start-up and shut-down set most of them; the window procedure and the message
// pump set the quit flags.
//
// They are plain words written by the thread that holds the API lock or by the window procedure
// on the main thread, and read without locking from other threads.
#pragma once

#include <stdint.h>

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

// The flags, for start-up (which sets them) and for the other layers that read them. The core
// itself reads and writes them through library_state_internal.h.
LibraryStateData *GetLibraryState(void);

// Sets the quit flag and the library end flag together, as every path that ends the program does.
void SetLibraryQuitFlags(void);

// The library end flag: 1 once the program has been told to end.
int GetLibraryEndFlag(void);

// The asynchronous-load switch: Get gives 1 when it is on, else 0; Set stores the flag and
// returns 0.
int GetUseASyncLoadFlag(void);
int SetUseASyncLoadFlag(int Flag);
