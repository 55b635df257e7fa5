// The library-wide state flags that say whether the library is starting, running or ending.
// The library's start-up and shut-down set most of them; the window procedure and the message
// pump set the quit flags.
//
// They are plain words written by the thread that holds the API lock or by the window procedure
// on the main thread, and read without locking from other threads.
#pragma once

// The other layers read the start-up flags through these (the core reads and writes the flags
// themselves, library_state_internal.h): 1 once the library has passed its last start-up step
// that can fail, 1 while its start-up runs, 1 from the start of its shut-down (or after the
// window's WM_CLOSE) until a window is made again; else 0.
int IsLibraryStarted(void);
int IsLibraryStarting(void);
int IsLibraryEnding(void);

// What the library's start-up and shut-down set: the three flags above, and at a new start the
// quit flags cleared (the quit flag and the library end flag).
void SetLibraryStarted(int Flag);
void SetLibraryStarting(int Flag);
void SetLibraryEnding(int Flag);
void ClearLibraryQuitFlags(void);

// Sets the quit flag and the library end flag together, as every path that ends the program does.
void SetLibraryQuitFlags(void);

// The library end flag: 1 once the program has been told to end.
int GetLibraryEndFlag(void);

// The asynchronous-load switch: Get gives 1 when it is on, else 0; Set stores the flag and
// returns 0.
int GetUseASyncLoadFlag(void);
int SetUseASyncLoadFlag(int Flag);
