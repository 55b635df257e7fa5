// Main-window tests: the application's window set-up and a clean end between tests.
#pragma once

// The set-up calls the application makes before start-up (window mode, 1299 x 755 client,
// resizable within 640 x 600 .. 1920 x 1080, keep running while inactive, icon 106, title
// "tarvex", no second instance), without the menu; and the draw-screen size of its graph mode (1920 x 1080),
// which a graphics layer would report, in the hook table.
void ApplyApplicationWindowSettings(void);

// The draw-screen hook of the application's graph mode: 1920 x 1080.
int ApplicationDrawScreenSize(int *Width, int *Height);

// Ends the main window as the library's end does, including a window the pump left alive
// because its quit flag was already set, and unregisters the class.
void EndMainWindowForTest(void);

// Runs this test program again with only the tests of Filter and the environment variable
// Variable set to 1, answering our own windows' messages meanwhile (a child's window start
// broadcasts a setting change to every window). The child's exit code.
unsigned long RunThisProgramAgain(const wchar_t *Filter, const wchar_t *Variable);

// Other programs of the test run share the desktop and may take the focus at any moment. Tests
// that set the window's activity themselves keep the focus changes the system sends from the
// window; activation messages a test posts itself with kTestActivationLParam still reach it.
constexpr long kTestActivationLParam = 0x7E57;
void KeepSystemFocusChangesAway(void);

// A maximise as the window code sees it: the main window grown to Width x Height at the desktop's
// corner, with the rectangles and the flag WM_SIZE notes for a maximise. The zoomed style is not
// set: Wine without a window manager zooms the window, but then shows nothing drawn into it.
// Restoring runs WM_SIZE's bookkeeping for a restored window.
void MaximiseMainWindowAsTheSystemWould(int Width, int Height);
void RestoreMainWindowFromMaximise(void);
