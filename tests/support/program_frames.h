// The frames of a running tarvex.exe that have read its keys and mouse, for a driver that keeps a
// key or a button down until a frame has read it.
#pragma once

#include <functional>

struct HWND__;

// Asks the program's main window for its count (the registered message "tarvex.frames"; the
// answer is the window's property of that name), waiting for the answer up to two seconds. 0 while
// the program counts none; a program busy for longer leaves the count it gave last.
unsigned long ReadProgramFrames(HWND__* MainWindow);

// Waits until the count has gone two past `from`, a count the caller has just read (the frame it
// counted may have read the input before the caller gave it: the next one has not), and at least
// `atLeastMs` have passed, for as long as `stillWorthIt` holds. Up to 30 s: the first frames of a
// start on a cold, busy machine come late, and a key let go before any frame has read it is lost.
// False when the frames did not come.
bool WaitForProgramFrames(HWND__* MainWindow, unsigned long from, unsigned long atLeastMs,
                          const std::function<bool()>& stillWorthIt);
