// The main window as the rest of the core sees it: start and end, the pump without the API lock,
// and the window state that the activation, input and IME layers read.
#pragma once

#include "zovuz/core/touch_record.h"
#include "zovuz/core/window.h"

#include <stdint.h>

// Makes the main window with the stored settings, together with asynchronous loading and the
// file system. 0, or -1: a second instance refused (0x1010002), no window (0x1010003), loader
// threads not started (0x1010004).
int CreateMainWindow(void);

// Closes the window, unregisters its class and ends asynchronous loading and the file system.
// 0; nothing without a window.
int TerminateMainWindow(void);

// ProcessMessage for callers that already hold the API lock (library end, the window's end,
// waits inside library calls).
int ProcessMessageNoLock(void);

// Brings Window to the front even from a background process; with TopMostFlag 1 the main window
// also becomes topmost.
void ForceForegroundWindow(HWND__ *Window, int TopMostFlag);

// Activation changes: handled at once, or queued while the pump runs its loop (up to 512) and
// handed to OnWindowActivate after the loop.
int QueueWindowActivate(uintptr_t WParam, intptr_t LParam, int SkipCallbackFlag, int SkipRedrawFlag);
int OnWindowActivate(uintptr_t WParam, intptr_t LParam, int SkipCallbackFlag, int SkipRedrawFlag);
int GetWindowActivateQueueNum(void);

// Desktop position to draw-screen position. 0.
int ScreenPosToDrawScreenPos(int ScreenX, int ScreenY, int *DrawScreenX, int *DrawScreenY);

// Window state read by the input and IME layers.
uint32_t GetMainThreadID(void);
int GetWindowActivationBusyFlag(void);   // an activation change is being handled now
int GetWindowMinimizedFlag(void);
int GetWindowCreatingFlag(void);
int GetWindowDestroyedFlag(void);
const TouchRecordData *GetTouchRecord(void);
