// The window's activation, painting and sizing, as far as the window procedure and the message
// pump need them now: activation changes only follow the window-active flag, painting draws
// nothing, the size follows the system's own sizing, and positions convert by the client origin
// and the extend rates. The full activation handling (pausing and resuming sound and movies,
// releasing and restoring the graphics device, redrawing from the back screen), painting,
// sizing limits, maximise bookkeeping and the full-screen menu replace these functions, and the
// network layer replaces its two hooks at the end of this file.
#include "zovuz/core/windows/window_state_win.h"

#include <math.h>

int OnWindowActivate(uintptr_t WParam, intptr_t, int, int)
{
    MainWindowData &w = MainWindowState;
    w.ActivationBusyFlag = 1;
    if (w.CreatingFlag)
        w.WindowActiveFlag = LOWORD(WParam) != 0 ? 1 : 0;
    else
        w.WindowActiveFlag = (WParam < 0x10000 && LOWORD(WParam) != 0) ? 1 : 0;
    w.ActivationBusyFlag = 0;
    return 0;
}

void PaintMainWindow(HDC, const RECT *)
{
}

void RefitMainWindow(void)
{
}

void UpdateWindowMaximizeState(WPARAM SizeType)
{
    MainWindowState.MaximizedFlag = SizeType == SIZE_MAXIMIZED ? 1 : 0;
}

void ConstrainWindowSizing(WPARAM, RECT *)
{
}

void CheckFullScreenMenuDisplay(void)
{
}

int IsSavedScreenCopyHeld(void)
{
    return 0;
}

int ScreenPosToDrawScreenPos(int ScreenX, int ScreenY, int *DrawScreenX, int *DrawScreenY)
{
    const MainWindowData &w = MainWindowState;
    if (!w.Setup.WindowModeFlag)
    {
        *DrawScreenX = ScreenX;
        *DrawScreenY = ScreenY;
        return 0;
    }
    *DrawScreenX = static_cast<int>(nearbyint((ScreenX - w.ClientRect.left) / GetStoredExtendRateX()));
    *DrawScreenY = static_cast<int>(nearbyint((ScreenY - w.ClientRect.top) / GetStoredExtendRateY()));
    return 0;
}

// The network layer is never started in this program: both hooks return at once.
int ProcessNetworkMessages(int)
{
    return 0;
}

LRESULT ProcessNetworkSocketMessage(WPARAM, LPARAM)
{
    return 0;
}
