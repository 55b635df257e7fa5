// The input of one frame, read once by the frame loop and then only read: the widgets, the keys
// and the panes take the mouse, the window's active flag and the key table from here, never
// from the library, so a test drives them by setting these values. The mouse is AppState's
// (g_app.mouse); the rest is g_frameInput.
#pragma once

#include <cstdint>

struct AppState;

constexpr int kKeyCount = 256;

// Key codes of the library's key table (DirectInput numbering) that the shell uses.
enum KeyCode : int {
  kKeyEscape = 1,
  kKeyMain1 = 2,  // 1 to 8 of the main keyboard are 2 to 9
  kKeyLeftBracket = 26,
  kKeyRightBracket = 27,
  kKeyG = 34,
  kKeyH = 35,
  kKeySpace = 57,
  kKeyPadPlus = 78,
  kKeyPad0 = 82,
  kKeyPadDecimal = 83,
  kKeyPadEnter = 156,
};

struct FrameInput {
  uint8_t windowActive;          // GetWindowActiveFlag when the mouse was read
  char keys[kKeyCount];          // 1 while the key is down
  uint8_t returnedWithKeysDown;  // the window came back to the user with a key down
  uint8_t held[kKeyCount];       // down when the window came back, not released since
};

extern FrameInput g_frameInput;

// The key table of this frame. 0, or the library's non-zero result when the table could not be
// read (the frame loop then ends).
int ReadFrameKeys();

// The window came back to the user: a menu, a move or size loop or a dialog ended, or another
// window gave the activation back. `keysDown`: some key was down at that moment, such as the
// Escape that closed a menu, or the Enter that closed a dialog.
void NoteWindowReturn(bool keysDown);

// Keys that were down when the window came back read as up in this frame's table until each is
// released: the key belonged to the menu or the dialog, not to the program. After ReadFrameKeys.
void HoldKeysOfTheReturn();

// The mouse of this frame into app.mouse (see StoreFrameMouse), and the window's active flag.
void ReadFrameMouse(AppState& app);

// Stores a mouse reading: the library's position halved to draw-screen pixels (rounding toward
// zero), and the button bits.
void StoreFrameMouse(AppState& app, int32_t x, int32_t y, int32_t buttons);
