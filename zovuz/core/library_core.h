// The core's own steps of the library's start-up and shut-down, which the start-up layer
// (zovuz/startup) runs in its fixed order among the other subsystems' steps, and the
// fatal-error exit.
#pragma once

// ---- start-up, in this order among the others ----------------------------------------------

// Character-code tables and the default character codes; the Windows API table; the archive
// layer, the default file-access functions and the start directory (restored at the end); the
// log file. (The vector math computes its sines directly: there is no sine table to set up.) 0.
int InitializeCoreServices(void);

// The IME layer's start (ime_internal.h): clears the text-input state, empties the typed-character
// buffer and, on Windows 7 and later, sets up the text services with their UI element sink. 0.
int InitializeInputCharBuffer(void);

// The last start-up step: clears the starting flag, and the window's set size when a refit
// during start-up deferred forgetting it. 0.
int FinishLibraryStarting(void);

// ---- shut-down, after the window and COM have ended and the started flag is cleared --------

// Takes the main window's remaining messages (until the pump ends or the window is gone),
// unregisters the window class and destroys the main window should it still exist. 0.
int ReleaseMainWindowClass(void);

// Back to the start directory; the archive layer ends; the report of memory still allocated;
// the IME text services, the heaps and the Windows API table are released. 0.
int TerminateCoreServices(void);

// ---- the fatal-error exit ------------------------------------------------------------------

// Logs Text and a line feed, ends the library (without the API lock), closes the API lock and
// ends the process with exit code -1. Returns (-1) only when a long text could not be copied.
int FatalErrorExit(const wchar_t *Text);
// The same with a text formatted by the library's print (UTF-16 format, at most 1023 units).
int FatalErrorExitFormat(const wchar_t *FormatString, ...);
