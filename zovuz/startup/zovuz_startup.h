// ZoVuz start-up: the library's start and end, which run every part of the library in one fixed
// order under the API lock. The application makes its set-up calls (window, menu, log), then
// LibraryInit, then ProcessMessage once per frame, and LibraryEnd at exit. After an end the
// library can be started again.
#pragma once

// Starts the library: 0, or -1 when a step failed (24-bit colour refused 0x1010001, a second
// instance refused 0x1010002, no window 0x1010003, loader threads not started 0x1010004, in the
// last error record and the log). 0 at once when the library is already started.
int LibraryInit(void);

// Ends the library in the reverse order and closes the API lock. 0 (also when not started).
int LibraryEnd(void);
