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

// Wine without a window manager takes a real maximise back at once: the main window is grown to
// Width x Height at the desktop's corner with the maximised style, as a maximise would, and
// WM_SIZE's maximise bookkeeping runs on it. Restoring drops the style and the bookkeeping.
void MaximiseMainWindowAsTheSystemWould(int Width, int Height);
void RestoreMainWindowFromMaximise(void);
