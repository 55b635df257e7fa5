// The front-screen timer: while the front screen is the draw target, what is drawn there is shown
// every 32 ms without a flip. The software renderer and both back ends start it; its procedure
// lives here, beside the draw state it reads.
#include <windows.h>

#include "zovuz/graphics/graphics_dispatch_internal.h"

int StartFrontScreenTimer(HWND__ *Window)
{
    if (Window == nullptr) return -1;
    return SetWindowTimer(Window, FRONT_SCREEN_TIMER_ID, FRONT_SCREEN_TIMER_PERIOD, FrontScreenTimerProc) != 0 ? 0 : -1;
}

void __stdcall FrontScreenTimerProc(HWND__ *Window, unsigned int, uintptr_t, unsigned long)
{
    KillTimer(Window, FRONT_SCREEN_TIMER_ID);
    // Once another target is chosen (or the window is layered and shows itself) the timer ends.
    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    if (d.RenderTarget[0] != DX_SCREEN_FRONT || d.RenderTargetSurface[0] != 0) return;
    if ((GetWindowLongW(Window, GWL_EXSTYLE) & WS_EX_LAYERED) != 0) return;
    // The timer runs inside the message pump, where the library's start-up has filled the hook
    // table with the graphics layer's own screen refresh.
    if (GetWindowActiveFlag() && GetSubsystemHooks()->RefreshScreen != nullptr) GetSubsystemHooks()->RefreshScreen();
    StartFrontScreenTimer(Window);
}
