// Main-window tests: the application's window set-up and a clean end between tests.
#pragma once

// The set-up calls the application makes before start-up (window mode, 1299 x 755 client,
// resizable within 640 x 600 .. 1920 x 1080, keep running while inactive, title "tarvex", no
// second instance), without the menu.
void ApplyApplicationWindowSettings(void);

// Ends the main window as the library's end does, including a window the pump left alive
// because its quit flag was already set, and unregisters the class.
void EndMainWindowForTest(void);
