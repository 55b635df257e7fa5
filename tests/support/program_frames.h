// The frames of a running tarvex.exe that have read its keys and mouse, for a driver that keeps a
// key or a button down until a frame has read it.
#pragma once

struct HWND__;

// Asks the program's main window for its count (the registered message "tarvex.frames"; the
// answer is the window's property of that name), waiting for the answer up to two seconds. 0 while
// the program counts none; a program busy for longer leaves the count it gave last.
unsigned long ReadProgramFrames(HWND__* MainWindow);
