// The library's main window, its message pump and its settings.
//
// The library owns one top-level window. The application configures it with the set-up calls
// below before LibraryInit (they store their values, and act on the window at once when it
// already exists), then calls ProcessMessage once per frame until it returns -1.
#pragma once

#include <stdint.h>
#include <wchar.h>

struct HWND__;
struct HMENU__;

// ---- message pump ------------------------------------------------------------------------------

// Empties the thread's window-message queue under the API lock, waits while the main window is
// inactive (unless the always-run flag is set), and runs the library's per-frame background
// work. 0: go on; -1: the program is ending (WM_QUIT taken, or the window was destroyed), and
// every later call returns -1 at once. A call from a thread other than the main window's drains
// that thread's queue once and never waits.
int ProcessMessage(void);

// Drawing calls run this first: while the window is inactive (and the program does not keep
// running while inactive) it pumps messages until the window is active again or the program ends.
void WaitWhileWindowInactive(void);

// 1 when a drawing call must wait for the window to become active, else 0.
int CheckNeedInactiveWait(void);

// ProcessMessage for callers that already hold the API lock (the library's end, the window's
// end, waits inside library calls).
int ProcessMessageNoLock(void);

// 1 while an activation change of the main window is being handled (calls that wait for an
// active window do not wait then).
int GetWindowActivationBusyFlag(void);

// 1 once the main window is being destroyed (fonts and other window resources are not made then).
int GetWindowDestroyedFlag(void);

// ---- the window's start and end (the library's start-up and shut-down) ---------------------

// Makes the main window with the stored settings, together with asynchronous loading and the
// file system. 0, or -1: a second instance refused (0x1010002), no window (0x1010003), loader
// threads not started (0x1010004).
int CreateMainWindow(void);

// Closes the window, unregisters its class and ends asynchronous loading and the file system.
// 0; nothing without a window.
int TerminateMainWindow(void);

// Brings Window to the front even from a background process; with TopMostFlag 1 the main window
// also becomes topmost.
void ForceForegroundWindow(HWND__ *Window, int TopMostFlag);

// ---- window settings (before LibraryInit, or at any time) ----------------------------------

// The application's menu callback: receives the WM_COMMAND item id.
typedef int (*MenuCommandCallback)(unsigned short ItemID);

int ChangeWindowMode(int WindowFlag);  // 1 window, 0 full screen (the default)
int SetAlwaysRunFlag(int Flag);        // 1: keep running while inactive
int GetAlwaysRunFlag(void);
int SetMenuAutoDisplayFlag(int Flag);  // full screen: menu only while the mouse asks
int SetDisplayMenuFlag(int Flag);
int SetUseMenuFlag(int Flag);
// Loads the menu resource (-1: no menu) from the program and registers the callback. 0 / -1.
int SetWindowMenuFromResource(int MenuID, MenuCommandCallback Callback);
int SetDoubleStartValidFlag(int Flag);  // 0: a second instance is refused
// The title, in the current character code; before start-up it also names the window class.
int SetMainWindowText(const char *WindowText);
int SetWindowIconId(int ID);
int SetMouseDispFlag(int DispFlag);  // -1 re-applies the current setting
// Resizable by the user; FitFlag 1 keeps the drawing scaled to the window, else free size.
int SetWindowSizeChangeEnableFlag(int Flag, int FitFlag);
int SetWindowSize(int Width, int Height);                     // client size
int SetWindowSizeExtendRate(double ExRateX, double ExRateY);  // ExRateY <= 0: same as X
double GetWindowSizeExtendRate(double *ExRateX, double *ExRateY);
int SetWindowMaxSize(int MaxWidth, int MaxHeight);
int SetWindowMinSize(int MinWidth, int MinHeight);
int SetWindowPosition(int X, int Y);
int SetDwmCompositionEnable(int Flag);

// ---- window queries ----------------------------------------------------------------------------

HWND__ *GetMainWindowHandle(void);
HWND__ *GetDisplayWindowHandle(void);
int GetWindowModeFlag(void);
int GetWindowActiveFlag(void);
int GetWindowClosePostedFlag(void);
int GetWindowPosition(int *X, int *Y);
int GetWindowClientSize(int *Width, int *Height);  // -1 without a window
// Where the scaled drawing starts in the client area: a window maximised in scaling mode without a
// set size shows it centred (half of what it leaves empty, to the nearest pixel), any other at
// (0, 0). 1 when centred, else 0. The presents place the screen by it and the mouse maps back by it.
int GetWindowDrawOffset(int *X, int *Y);
int IsMenuDisplayed(void);
// Wheel notches turned since the last clear (120 units each), truncated toward zero; with
// ClearFlag the notches returned are taken off the count, the remainder stays.
int GetMouseWheelRotation(int ClearFlag);
// The display in use; each out is written only when given.
int GetDisplayInfo(int *Width, int *Height, int *ColorBitDepth, int *RefreshRate, int *Left, int *Top,
                   int *DesktopWidth, int *DesktopHeight);
int ApplyDragFileAcceptFlag(void);
// Applies the window-mode or full-screen style and size to the existing window (after a change of
// the screen mode too); with CenterFlag the window is centred on the display. Nothing without a
// window.
int ChangeWindowStyle(int CenterFlag);

// ---- menu items ----------------------------------------------------------------------------

#define MENUITEM_NAME_MAXLENGTH 128  // characters of an item's text, terminator included

// One item of a menu, read by position.
struct MenuItemInfoData
{
    HMENU__ *Menu;                          // the menu holding it
    int Position;                           // its position there
    int ID;                                 // command id
    HMENU__ *SubMenu;                       // its submenu, or null
    unsigned int Type;                      // the item's type bits (MFT_*)
    wchar_t Name[MENUITEM_NAME_MAXLENGTH];  // its text, terminated
};

// The text of the menu item with this id, in the current character code. The buffer must hold
// 127 characters of that code and the terminator (512 bytes always do). -1 when no menu is in
// use or no item has the id.
int GetMenuItemNameById(int ItemID, char *NameBuffer);

// Reads the item at Position: 0, 1 for a separator (only Type is filled), -1 when it can't be read.
int GetMenuItemInfoByPosition(HMENU__ *Menu, int Position, MenuItemInfoData *Info);
