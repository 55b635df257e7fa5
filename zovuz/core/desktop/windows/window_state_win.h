// The main window's state, shared by the files that make the window, answer its messages, pump
// its queue and apply its settings. Main thread only, except the flags other threads only read.
#pragma once

#include "zovuz/core/subsystem_hooks.h"
#include "zovuz/core/desktop/touch_record_internal.h"
#include "zovuz/core/desktop/window.h"
#include "zovuz/core/desktop/window_internal.h"

#include <windows.h>

#define MENUITEM_MAXNUM 256              // items the menu item table keeps
#define MENUSELECT_MAXNUM 64             // distinct items the selection list keeps
#define MOUSEINPUTLOG_MAXNUM 64          // clicks and button events kept
#define WINDOWACTIVATE_QUEUE_MAXNUM 512  // activation changes queued while the pump runs
#define WINDOW_TEXT_BYTES 512            // title and class name, UTF-16, terminator included

// Error codes of a failed window start.
#define MAINWINDOW_ERROR_DOUBLE_START 0x1010002
#define MAINWINDOW_ERROR_NO_WINDOW 0x1010003
#define MAINWINDOW_ERROR_LOADER_THREADS 0x1010004

// Styles of the window in window mode and in full screen.
#define MAINWINDOW_STYLE_WINDOW (WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX)
#define MAINWINDOW_EXSTYLE_WINDOW WS_EX_WINDOWEDGE
#define MAINWINDOW_STYLE_FULLSCREEN WS_POPUP
#define MAINWINDOW_EXSTYLE_FULLSCREEN WS_EX_TOPMOST

struct MenuItemRecord
{
    HMENU Menu;                             // menu that holds the item
    int Position;                           // its position there
    int ID;                                 // command id
    wchar_t Name[MENUITEM_NAME_MAXLENGTH];  // text
};

// What the set-up calls store. CreateMainWindow keeps all of it across its reset.
struct WindowSetupData
{
    int WindowModeFlag;                         // 1 window, 0 full screen
    int AlwaysRunFlag;                          // keep running while inactive
    int DoubleStartValidFlag;                   // a second instance may run
    wchar_t ClassName[WINDOW_TEXT_BYTES / 2];   // chosen at the first window start
    wchar_t WindowText[WINDOW_TEXT_BYTES / 2];  // the title
    int WindowTextSetFlag;                      // SetMainWindowText was called
    int IconID;                                 // resource id, 0 = the system's application icon

    int MenuUseFlag;                   // a menu is in use
    HMENU Menu;                        // the menu, null when none exists
    int MenuHiddenFlag;                // SetDisplayMenuFlag(0)
    int MenuShownLastFlag;             // whether the menu was displayed at the last change
    int NotMenuAutoDisplayFlag;        // 1 after SetMenuAutoDisplayFlag(0)
    MenuCommandCallback MenuCallback;  // the application's menu callback

    int WindowSizeSetFlag;  // SetWindowSize stored a client size
    int WindowWidth, WindowHeight;
    int MinSizeSetFlag;
    int MinWidth, MinHeight;
    int MaxSizeSetFlag;
    int MaxWidth, MaxHeight;
    int PositionSetFlag;  // SetWindowPosition stored a position
    int PositionX, PositionY;
    int SizeChangeEnableFlag;         // the user may resize the window
    int FreeSizeFlag;                 // client size independent of the draw screen
    double ExtendRateX, ExtendRateY;  // scaling of the draw screen; not above 0 means 1.0
};

struct MouseInputRecord
{
    int Button;  // 1 left, 2 right, 4 middle
    int X, Y;    // client position
    int UpFlag;  // event log only: 1 for a release
};

// The window state. Zeroed by CreateMainWindow, except Setup.
struct MainWindowData
{
    WindowSetupData Setup;  // survives every window start

    HWND MainWindow;     // the main window, null before the first start
    HINSTANCE Instance;  // the program's module
    DWORD MainThreadID;  // thread that made the window and pumps it
    HACCEL Accelerator;  // never set: nothing is translated

    RECT WindowRect;                                   // window rectangle
    RECT ClientRect;                                   // client rectangle in desktop coordinates
    int FrameLeft, FrameRight, FrameTop, FrameBottom;  // frame sizes from AdjustWindowRectEx

    int StyleAppliedFlag;  // the window-mode style includes WS_VISIBLE
    int WindowActiveFlag;
    int MinimizedFlag;
    int MaximizedFlag;
    int ClosePostedFlag;      // the library posted WM_CLOSE to its window
    int WindowDestroyedFlag;  // WM_DESTROY arrived
    int CreatingFlag;         // CreateMainWindow runs
    int InsideLoopFlag;       // inside a menu, size or move loop
    int InsidePaintFlag;      // WM_PAINT is being handled
    int MouseDispSetting;     // cursor shown by setting
    int MouseDispState;       // cursor shown now
    int ActivationBusyFlag;   // an activation change is being handled
    int DisplayChangedFlag;
    int InsideWindowModeChangeFlag;
    int CompositionOffFlag;  // SetDwmCompositionEnable switched composition off
    int MenuAttachedFlag;    // the menu is attached to the window
    int FullScreenMenuShownCount;

    uint32_t ActivateQueue[WINDOWACTIVATE_QUEUE_MAXNUM][4];  // wParam, lParam, skip callback, skip redraw
    int ActivateQueueNum;
    int ActivateQueueRead;
    int ActivateQueueWrite;

    int DeviceLostFlag;                // full screen: the device was released on deactivation
    int RefitBusyFlag;                 // RefitMainWindow runs (its own moves do not refit again)
    int WindowSizeForgetDeferredFlag;  // the set size is forgotten once start-up has ended
    RECT RestoredWindowRect;           // the window rectangle before the last maximise
    RECT MaximizedWindowRect;          // the window rectangle of the maximised window

    int RepaintPendingFlag;  // a partial repaint waits for the pump
    int LastRepaintTime;     // ms
    int PumpActiveFlag;      // ProcessMessageNoLock runs its loop
    int ImeGuardFlag;        // the pump runs the IME step

    MenuItemRecord MenuItem[MENUITEM_MAXNUM];  // items of the menu and its submenus
    int MenuItemNum;
    int MenuSelect[MENUSELECT_MAXNUM];  // distinct item ids chosen, in order
    int MenuSelectNum;

    MouseInputRecord MouseClickLog[MOUSEINPUTLOG_MAXNUM];  // ring of the latest clicks
    int MouseClickNum, MouseClickNext;
    MouseInputRecord MouseEventLog[MOUSEINPUTLOG_MAXNUM];  // ring of the latest presses and releases
    int MouseEventNum, MouseEventNext;
    int WheelAccumulator;   // vertical wheel units
    int HWheelAccumulator;  // horizontal wheel units
    WPARAM LastSysChar;     // last WM_SYSCHAR
    TouchRecordData Touch;

    double TotalMemoryMB;  // physical memory found at window start
    double FreeMemoryMB;
};

extern MainWindowData MainWindowState;

LRESULT CALLBACK MainWindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);

// The frame of the touch points in Inputs that are down (at most 16), in draw-screen positions
// (hundredths of a pixel on the desktop converted through the window), stamped with the first
// point's time in microseconds.
void MakeTouchFrame(const TOUCHINPUT *Inputs, int Count, TouchInputData *Frame);

// The menu item table: rebuilt from the menu and its submenus; emptied.
void RebuildMenuItemTable(void);
void ClearMenuItemTable(void);
// Detaches and destroys the menu, when one exists.
void DestroyWindowMenu(void);

// The window size for a client size in window mode (frame sizes noted in the state).
SIZE AdjustMainWindowFrame(DWORD Style, BOOL MenuFlag, int ClientWidth, int ClientHeight);
// Where a window of this size goes: centred on the display in use, or at Current; a position set
// by SetWindowPosition wins either way.
POINT PlaceMainWindow(int Width, int Height, int CenterFlag, POINT Current);

// Posts WM_CLOSE to the main window unless one was posted already: 1 when it posted now.
int PostMainWindowCloseOnce(void);
// The extend rates with a rate not above 0 read as 1.0.
double GetStoredExtendRateX(void);
double GetStoredExtendRateY(void);
// The icon of resource ID in the program, or the system's application icon for ID 0.
HICON LoadMainWindowIcon(int ID);
// The window's client area in desktop coordinates.
void ClientRectOnScreen(HWND Window, RECT *Rect);
// Draw-screen size from the graphics layer; 640 x 480 without one.
void GetDrawScreenSizeOrDefault(int *Width, int *Height);
// The full-screen window's size: the display mode the graphics layer chose for the screen mode,
// else the draw-screen size.
void GetFullScreenSize(int *Width, int *Height);
// The record of the display in use.
void GetUseDisplayRecordOrPrimary(DisplayRecordInfo *Record);

// ---- activation, painting and sizing (window_activation_win.cpp) ---------------------------
// WM_PAINT's work in window mode (the caller sets the inside-paint flag around it). A partial
// repaint sooner than RepaintDeferMilliSeconds after the last one waits for the message pump.
constexpr int RepaintDeferMilliSeconds = 65;
void PaintMainWindow(HDC DC, const RECT *PaintRect);
// Recomputes the window-mode rectangle from the size settings and applies it.
void RefitMainWindow(void);
// WM_SIZE's maximise bookkeeping. The window's rectangle while it is neither maximised nor
// minimised is noted on every move and size, so a maximise can be compared with it.
void UpdateWindowMaximizeState(WPARAM SizeType);
void NoteRestoredWindowRect(void);
// WM_SIZING in window mode: limits the proposed rectangle for the dragged edge.
void ConstrainWindowSizing(WPARAM Edge, RECT *Rect);
// The message pump's full-screen menu check after its loop (nothing in window mode).
void CheckFullScreenMenuDisplay(void);
// The graphics layer's saved screen copy: held; drawn into the window (0 at once while the
// library ends, -1 without a copy).
int IsSavedScreenCopyHeld(void);
int RestoreScreenFromCopy(void);

// ---- the network layer's socket message (windows/network_win.cpp) -----------------------
LRESULT ProcessNetworkSocketMessage(WPARAM WParam, LPARAM LParam);
