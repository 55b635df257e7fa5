// The main window as the rest of the core sees it: activation changes, position conversion, and
// the window state that the activation, input and IME layers read.
#pragma once

#include "zovuz/core/desktop/touch_record_internal.h"
#include "zovuz/core/desktop/window.h"

#include <stdint.h>

// Activation changes: handled at once, or queued while the pump runs its loop (up to 512) and
// handed to OnWindowActivate after the loop.
int QueueWindowActivate(uintptr_t WParam, intptr_t LParam, int SkipCallbackFlag, int SkipRedrawFlag);
int OnWindowActivate(uintptr_t WParam, intptr_t LParam, int SkipCallbackFlag, int SkipRedrawFlag);
int GetWindowActivateQueueNum(void);

// Desktop position to draw-screen position. 0.
int ScreenPosToDrawScreenPos(int ScreenX, int ScreenY, int *DrawScreenX, int *DrawScreenY);
// The cursor's position on the draw screen. 0.
int GetCursorDrawScreenPos(int *DrawScreenX, int *DrawScreenY);

// Window state read by the input and IME layers.
uint32_t GetMainThreadID(void);
int GetWindowMinimizedFlag(void);
int GetWindowCreatingFlag(void);
const TouchRecordData *GetTouchRecord(void);
