// The main window between its creation and its end: losing and regaining the focus (sound and
// movies pause and resume, a full-screen device is released and rebuilt), painting from the back
// screen, the window rectangle that follows the size settings and the user's dragging, and the
// mapping of desktop positions to the draw screen.
#include "zovuz/core/desktop/windows/window_state_win.h"

#include "zovuz/core/clock.h"
#include "zovuz/core/desktop/ime_internal.h"
#include "zovuz/core/desktop/input_internal.h"
#include "zovuz/core/library_state.h"
#include "zovuz/core/text/log.h"
#include "zovuz/core/subsystem_hooks.h"
#include "zovuz/core/system_info.h"
#include "zovuz/core/desktop/window_sizing_internal.h"
#include "zovuz/core/library_state_internal.h"
#include "zovuz/core/subsystem_hooks_internal.h"

#include <math.h>

#include <algorithm>

namespace {

constexpr int FullScreenMenuMouseY = 60;  // the full-screen menu shows above this line

// Pauses (1) or resumes (0) every movie, sound and SoftSound player.
void PauseAllPlayback(int PauseFlag)
{
    CallSubsystemHook(PauseFlag ? SubsystemHooksData.PauseAllMovies : SubsystemHooksData.ResumeAllMovies);
    CallSubsystemHook(SubsystemHooksData.PauseAllSoundHandles, PauseFlag);
    CallSubsystemHook(SubsystemHooksData.PauseAllSoftSoundPlayers, PauseFlag);
}

// The screen is in full-screen mode with a DirectDraw object: the device state a full-screen
// deactivation releases.
bool FullScreenDeviceState(void)
{
    return CallSubsystemHook(SubsystemHooksData.IsFullScreenMode) != 0 &&
           CallSubsystemHook(SubsystemHooksData.DirectDraw7_GetObject) != NULL;
}

// Becoming inactive. -1 when a full-screen window could not be restored later and closes itself.
int Deactivate(int SkipRedrawFlag)
{
    MainWindowData &w = MainWindowState;
    bool pausePlayback = true;
    if (!w.Setup.WindowModeFlag) {
        CallSubsystemHook(SubsystemHooksData.Graphics_Hardware_ReleaseDeviceObjects);
        if (GetWindowsVersionCode() >= WINDOWS_VERSION_VISTA ||
            !CallSubsystemHook(SubsystemHooksData.GetHardwareGraphicsFlag)) {
            ChangeDisplaySettingsA(NULL, 0);
            ShowWindow(w.MainWindow, SW_MINIMIZE);
        }
        if (FullScreenDeviceState()) {
            if (w.CompositionOffFlag) SetDwmCompositionEnable(1);
            if (!CallSubsystemHook(SubsystemHooksData.IsRestoreGraphCallbackSet)) {
                AddLogStringWide(L"復元関数が登録されていないため終了します\n");
                PostMainWindowCloseOnce();
                return -1;
            }
            PauseAllPlayback(1);
            w.DeviceLostFlag = 1;
            pausePlayback = false;
        }
    }
    if (pausePlayback) {
        if (!w.Setup.AlwaysRunFlag) PauseAllPlayback(1);
        RefreshDeviceCooperation();
    }
    if (!SkipRedrawFlag) RestoreScreenFromCopy();
    return 0;
}

void Activate(void)
{
    MainWindowData &w = MainWindowState;
    RestoreImeOnActivate();
    if (w.Setup.WindowModeFlag) CallSubsystemHook(SubsystemHooksData.Graphics_Hardware_RestoreLostDevice);
    if (!w.Setup.WindowModeFlag && !LibraryState.Starting) {
        CallSubsystemHook(SubsystemHooksData.RestoreGraphicsDevice);
        w.DeviceLostFlag = 0;
        PauseAllPlayback(0);
    } else if (!w.Setup.AlwaysRunFlag) {
        PauseAllPlayback(0);
    }
    RefreshDeviceCooperation();
}

bool SameRect(const RECT &A, const RECT &B)
{
    return A.left == B.left && A.top == B.top && A.right == B.right && A.bottom == B.bottom;
}

}  // namespace

int OnWindowActivate(uintptr_t WParam, intptr_t, int, int SkipRedrawFlag)
{
    MainWindowData &w = MainWindowState;
    // The busy flag is cleared on every way out: a flag left set would keep drawing calls from
    // ever waiting for an inactive window again.
    w.ActivationBusyFlag = 1;
    if (w.CreatingFlag) {
        w.WindowActiveFlag = LOWORD(WParam) != 0 ? 1 : 0;
        w.ActivationBusyFlag = 0;
        return 0;
    }
    int active = (WParam < 0x10000 && LOWORD(WParam) != 0) ? 1 : 0;
    if (active == w.WindowActiveFlag) {
        w.ActivationBusyFlag = 0;
        return 0;
    }
    w.WindowActiveFlag = active;

    int result = 0;
    if (!active)
        result = Deactivate(SkipRedrawFlag);
    else
        Activate();
    if (result == 0) RefreshJoypadVibration();
    w.ActivationBusyFlag = 0;
    return result;
}

int IsSavedScreenCopyHeld(void) { return CallSubsystemHook(SubsystemHooksData.IsSavedScreenCopyHeld) != 0 ? 1 : 0; }

int RestoreScreenFromCopy(void)
{
    if (LibraryState.Ending == 1) return 0;
    if (!IsSavedScreenCopyHeld() || SubsystemHooksData.DrawSavedScreenCopy == NULL) return -1;
    MainWindowData &w = MainWindowState;
    int alwaysRun = w.Setup.AlwaysRunFlag;
    w.Setup.AlwaysRunFlag = 1;  // drawing must not wait for the window it is drawing into
    int result = SubsystemHooksData.DrawSavedScreenCopy();
    w.Setup.AlwaysRunFlag = alwaysRun;
    return result;
}

void PaintMainWindow(HDC DC, const RECT *PaintRect)
{
    MainWindowData &w = MainWindowState;
    if (!w.WindowActiveFlag && IsSavedScreenCopyHeld() && !w.Setup.AlwaysRunFlag) {
        if (!w.MinimizedFlag) RestoreScreenFromCopy();
        return;
    }
    if (LibraryState.Starting || !LibraryState.Started) {
        int red, green, blue;
        HBRUSH brush = NULL;
        if (SubsystemHooksData.GetBackgroundColor != NULL &&
            SubsystemHooksData.GetBackgroundColor(&red, &green, &blue) == 0)
            brush = CreateSolidBrush(RGB(red, green, blue));
        FillRect(DC, PaintRect, brush != NULL ? brush : static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        if (brush != NULL) DeleteObject(brush);
        return;
    }
    RECT client;
    GetClientRect(w.MainWindow, &client);
    if (SameRect(*PaintRect, client)) {
        CallSubsystemHook(SubsystemHooksData.RefreshScreen);
        return;
    }
    int now = GetNowMilliCount();
    if (w.RepaintPendingFlag) {
        if (now - w.LastRepaintTime < RepaintDeferMilliSeconds) return;
        CallSubsystemHook(SubsystemHooksData.RefreshScreen);
    } else {
        w.RepaintPendingFlag = 1;
    }
    w.LastRepaintTime = now;
}

void NoteRestoredWindowRect(void)
{
    MainWindowData &w = MainWindowState;
    if (w.MainWindow != NULL && !IsZoomed(w.MainWindow) && !IsIconic(w.MainWindow))
        GetWindowRect(w.MainWindow, &w.RestoredWindowRect);
}

void UpdateWindowMaximizeState(WPARAM SizeType)
{
    MainWindowData &w = MainWindowState;
    if (SizeType != SIZE_MAXIMIZED) {
        w.MaximizedFlag = 0;
        NoteRestoredWindowRect();
        return;
    }
    if (w.MaximizedFlag) return;
    RECT window;
    GetWindowRect(w.MainWindow, &window);
    const RECT &before = w.RestoredWindowRect;
    int unchanged = (window.left == before.left) + (window.top == before.top) + (window.right == before.right) +
                    (window.bottom == before.bottom);
    // A window that hardly moves is not scaled anew: the rectangles in force stay.
    if (unchanged >= 3) return;
    w.MaximizedWindowRect = window;
    ClientRectOnScreen(w.MainWindow, &w.ClientRect);
    w.MaximizedFlag = 1;
}

void RefitMainWindow(void)
{
    MainWindowData &w = MainWindowState;
    if (w.MainWindow == NULL || !w.Setup.WindowModeFlag || w.RefitBusyFlag) return;
    w.RefitBusyFlag = 1;

    // The 640 x 480 emulation of the graphics layer is never on here: the base is the draw screen.
    int baseWidth, baseHeight;
    GetDrawScreenSizeOrDefault(&baseWidth, &baseHeight);
    int scaledWidth = static_cast<int>(nearbyint(baseWidth * GetStoredExtendRateX()));
    int scaledHeight = static_cast<int>(nearbyint(baseHeight * GetStoredExtendRateY()));

    RECT window, client;
    GetWindowRect(w.MainWindow, &window);
    ClientRectOnScreen(w.MainWindow, &client);
    w.WindowRect = window;
    w.ClientRect = client;

    int width, height;
    if (!w.Setup.FreeSizeFlag && !w.Setup.WindowSizeSetFlag) {
        width = scaledWidth;
        height = scaledHeight;
    } else if (w.Setup.WindowSizeSetFlag) {
        width = w.Setup.WindowWidth;
        height = w.Setup.WindowHeight;
        if (w.Setup.SizeChangeEnableFlag || w.Setup.FreeSizeFlag) {
            if (LibraryState.Starting)
                w.WindowSizeForgetDeferredFlag = 1;
            else
                w.Setup.WindowSizeSetFlag = 0;
        }
    } else {
        width = client.right - client.left;
        height = client.bottom - client.top;
    }
    width = std::min(width, scaledWidth);
    height = std::min(height, scaledHeight);
    if (w.Setup.MinSizeSetFlag) {
        width = std::max(width, w.Setup.MinWidth);
        height = std::max(height, w.Setup.MinHeight);
    }
    if (w.Setup.MaxSizeSetFlag) {
        width = std::min(width, w.Setup.MaxWidth);
        height = std::min(height, w.Setup.MaxHeight);
    }

    int frameWidth = (window.right - window.left) - (client.right - client.left);
    int frameHeight = (window.bottom - window.top) - (client.bottom - client.top);
    RECT target = {window.left, window.top, window.left + width + frameWidth, window.top + height + frameHeight};
    if (w.Setup.PositionSetFlag) {
        OffsetRect(&target, w.Setup.PositionX - window.left, w.Setup.PositionY - window.top);
        if (!LibraryState.Starting && !w.CreatingFlag) w.Setup.PositionSetFlag = 0;
    }
    if (w.MaximizedFlag) target = w.MaximizedWindowRect;
    MoveWindow(w.MainWindow, target.left, target.top, target.right - target.left, target.bottom - target.top, TRUE);
    GetWindowRect(w.MainWindow, &w.WindowRect);
    ClientRectOnScreen(w.MainWindow, &w.ClientRect);

    if (!w.StyleAppliedFlag) {
        w.StyleAppliedFlag = 1;
        ChangeWindowStyle(1);
    }
    w.RefitBusyFlag = 0;
}

void ConstrainWindowSizing(WPARAM Edge, RECT *Rect)
{
    MainWindowData &w = MainWindowState;
    if (w.MainWindow == NULL) return;
    RECT window, client;
    GetWindowRect(w.MainWindow, &window);
    GetClientRect(w.MainWindow, &client);
    DisplayRecordInfo display;
    GetUseDisplayRecordOrPrimary(&display);

    WindowSizingLimits limits = {};
    limits.ScalingFlag = !w.Setup.FreeSizeFlag && !w.Setup.WindowSizeSetFlag;
    GetDrawScreenSizeOrDefault(&limits.DrawWidth, &limits.DrawHeight);
    limits.ExtendRateX = GetStoredExtendRateX();
    limits.ExtendRateY = GetStoredExtendRateY();
    limits.MinSizeSetFlag = w.Setup.MinSizeSetFlag;
    limits.MinWidth = w.Setup.MinWidth;
    limits.MinHeight = w.Setup.MinHeight;
    limits.MaxSizeSetFlag = w.Setup.MaxSizeSetFlag;
    limits.MaxWidth = w.Setup.MaxWidth;
    limits.MaxHeight = w.Setup.MaxHeight;
    limits.DisplayWidth = display.Width;
    limits.DisplayHeight = display.Height;
    limits.FrameWidth = (window.right - window.left) - (client.right - client.left);
    limits.FrameHeight = (window.bottom - window.top) - (client.bottom - client.top);

    SizingRect rect = {Rect->left, Rect->top, Rect->right, Rect->bottom};
    double rate = 0.0;
    ConstrainSizingRect(limits, static_cast<int>(Edge), &rect, &rate);
    SetRect(Rect, rect.Left, rect.Top, rect.Right, rect.Bottom);
    if (limits.ScalingFlag) w.Setup.ExtendRateX = w.Setup.ExtendRateY = rate;
}

void CheckFullScreenMenuDisplay(void)
{
    MainWindowData &w = MainWindowState;
    if (w.Setup.WindowModeFlag || w.MainWindow == NULL) return;
    int x, y;
    GetCursorDrawScreenPos(&x, &y);
    if (CallSubsystemHook(SubsystemHooksData.GetHardwareGraphicsFlag)) {
        if (w.Setup.Menu != NULL && !w.MenuAttachedFlag) {
            SetMenu(w.MainWindow, w.Setup.Menu);
            w.MenuAttachedFlag = 1;
        }
        if (y > FullScreenMenuMouseY) SetMouseDispFlag(-1);
        return;
    }
    w.FullScreenMenuShownCount = y < FullScreenMenuMouseY ? 1 : 0;
    if (SubsystemHooksData.Graphics_Hardware_SetDialogBoxMode != NULL)
        SubsystemHooksData.Graphics_Hardware_SetDialogBoxMode(
            CallSubsystemHook(SubsystemHooksData.Graphics_Hardware_GetDialogBoxModeFlag));
    SetMouseDispFlag(-1);
    SetDisplayMenuFlag(w.Setup.MenuHiddenFlag ? 0 : 1);
}

int GetWindowDrawOffset(int *X, int *Y)
{
    const MainWindowData &w = MainWindowState;
    *X = *Y = 0;
    if (!w.Setup.WindowModeFlag || !w.MaximizedFlag || w.Setup.FreeSizeFlag || w.Setup.WindowSizeSetFlag) return 0;
    int drawWidth, drawHeight;
    GetDrawScreenSizeOrDefault(&drawWidth, &drawHeight);
    double rateX, rateY;
    GetWindowSizeExtendRate(&rateX, &rateY);
    *X = static_cast<int>(nearbyint((w.ClientRect.right - w.ClientRect.left - drawWidth * rateX) / 2.0));
    *Y = static_cast<int>(nearbyint((w.ClientRect.bottom - w.ClientRect.top - drawHeight * rateY) / 2.0));
    return 1;
}

int ScreenPosToDrawScreenPos(int ScreenX, int ScreenY, int *DrawScreenX, int *DrawScreenY)
{
    const MainWindowData &w = MainWindowState;
    if (!w.Setup.WindowModeFlag) {
        if (SubsystemHooksData.ConvertWindowPosToScreenPos == NULL ||
            SubsystemHooksData.ConvertWindowPosToScreenPos(ScreenX, ScreenY, DrawScreenX, DrawScreenY) < 0) {
            *DrawScreenX = ScreenX;
            *DrawScreenY = ScreenY;
        }
        return 0;
    }
    int offsetX, offsetY;
    GetWindowDrawOffset(&offsetX, &offsetY);
    double rateX, rateY;
    GetWindowSizeExtendRate(&rateX, &rateY);
    *DrawScreenX = static_cast<int>(nearbyint((ScreenX - w.ClientRect.left - offsetX) / rateX));
    *DrawScreenY = static_cast<int>(nearbyint((ScreenY - w.ClientRect.top - offsetY) / rateY));
    return 0;
}

int GetCursorDrawScreenPos(int *DrawScreenX, int *DrawScreenY)
{
    POINT cursor = {0, 0};
    GetCursorPos(&cursor);
    return ScreenPosToDrawScreenPos(cursor.x, cursor.y, DrawScreenX, DrawScreenY);
}
