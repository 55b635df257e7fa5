// The main window's settings: the set-up calls made before start-up (which act on the window at
// once when it exists), the window style they apply, and the queries other parts use.
#include "zovuz/core/desktop/windows/window_state_win.h"

#include "zovuz/core/base_helpers.h"
#include "zovuz/core/text/char_code_internal.h"
#include "zovuz/core/desktop/input.h"
#include "zovuz/core/text/log.h"
#include "zovuz/core/memory/memory.h"
#include "zovuz/core/subsystem_hooks.h"
#include "zovuz/core/windows/api_table.h"
#include "zovuz/core/subsystem_hooks_internal.h"

#include <shellapi.h>

namespace {

// Titles up to this many characters convert on the stack.
constexpr int StackTitleUnits = 497;

void PostSetCursor(void)
{
    HWND window = MainWindowState.MainWindow;
    if (window != NULL) PostMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), HTCLIENT);
}

// Shows or hides the cursor until the display count says so, and remembers it.
void ApplyCursorState(int Shown)
{
    if (Shown) {
        while (ShowCursor(TRUE) < 0) {
        }
    } else {
        while (ShowCursor(FALSE) >= 0) {
        }
    }
    PostSetCursor();
    MainWindowState.MouseDispState = Shown;
}

DWORD WindowModeStyle(void)
{
    const MainWindowData &w = MainWindowState;
    DWORD style = MAINWINDOW_STYLE_WINDOW;
    if (w.Setup.SizeChangeEnableFlag) style |= WS_THICKFRAME;
    if (w.StyleAppliedFlag) style |= WS_VISIBLE;
    return style;
}

// The client size the window takes in window mode.
void WindowModeClientSize(const RECT &CurrentClient, int *Width, int *Height)
{
    const MainWindowData &w = MainWindowState;
    if (w.Setup.WindowSizeSetFlag) {
        *Width = w.Setup.WindowWidth;
        *Height = w.Setup.WindowHeight;
        return;
    }
    if (!w.Setup.FreeSizeFlag) {
        int drawWidth, drawHeight;
        GetDrawScreenSizeOrDefault(&drawWidth, &drawHeight);
        *Width = static_cast<int>(drawWidth * GetStoredExtendRateX());
        *Height = static_cast<int>(drawHeight * GetStoredExtendRateY());
        return;
    }
    *Width = CurrentClient.right - CurrentClient.left;
    *Height = CurrentClient.bottom - CurrentClient.top;
}

void ApplyFullScreenStyle(HWND Window)
{
    MainWindowData &w = MainWindowState;
    AddLogStringWide(L"ウインドウスタイルをフルスクリーンモード用に変更します... ");
    int width, height;
    GetFullScreenSize(&width, &height);
    SetWindowLongW(Window, GWL_EXSTYLE, MAINWINDOW_EXSTYLE_FULLSCREEN);
    SetWindowLongW(Window, GWL_STYLE, MAINWINDOW_STYLE_FULLSCREEN);
    SetRect(&w.ClientRect, 0, 0, width, height);
    ShowWindow(Window, SW_SHOW);
    UpdateWindow(Window);
    SetWindowPos(Window, HWND_TOPMOST, 0, 0, width, height, SWP_SHOWWINDOW);
    w.MouseDispSetting = 0;
    int shown = IsMenuDisplayed();
    if (shown != w.MouseDispState) ApplyCursorState(shown);
}

void ApplyWindowModeStyle(HWND Window, int CenterFlag)
{
    MainWindowData &w = MainWindowState;
    AddLogStringWide(L"ウインドウスタイルをウインドウモード用に変更します... ");
    DWORD style = WindowModeStyle();
    SetWindowLongW(Window, GWL_EXSTYLE, MAINWINDOW_EXSTYLE_WINDOW);
    SetWindowLongW(Window, GWL_STYLE, style);

    RECT client, window;
    GetClientRect(Window, &client);
    GetWindowRect(Window, &window);
    int clientWidth, clientHeight;
    WindowModeClientSize(client, &clientWidth, &clientHeight);

    SIZE size = AdjustMainWindowFrame(style, w.MenuAttachedFlag, clientWidth, clientHeight);
    POINT current = {window.left, window.top};
    POINT place = PlaceMainWindow(size.cx, size.cy, CenterFlag, current);
    SetWindowPos(Window, HWND_NOTOPMOST, place.x, place.y, size.cx, size.cy, 0);
    SetWindowPos(Window, NULL, place.x, place.y, size.cx, size.cy, SWP_NOZORDER);

    DisplayRecordInfo display;
    GetUseDisplayRecordOrPrimary(&display);

    ClientRectOnScreen(Window, &client);
    w.ClientRect = client;
    // Keep the client area on the display: a window pushed off its left or top edge starts there.
    if (client.left < display.Left || client.top < display.Top) {
        GetWindowRect(Window, &window);
        int moveX = client.left < display.Left ? display.Left : window.left;
        int moveY = client.top < display.Top ? display.Top : window.top;
        SetWindowPos(Window, NULL, moveX, moveY, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
        ClientRectOnScreen(Window, &w.ClientRect);
    }
    GetWindowRect(Window, &w.WindowRect);

    w.MouseDispSetting = 1;
    if (!w.MouseDispState) ApplyCursorState(1);
}

}  // namespace

SIZE AdjustMainWindowFrame(DWORD Style, BOOL MenuFlag, int ClientWidth, int ClientHeight)
{
    MainWindowData &w = MainWindowState;
    RECT rect = {0, 0, ClientWidth, ClientHeight};
    AdjustWindowRectEx(&rect, Style, MenuFlag, MAINWINDOW_EXSTYLE_WINDOW);
    w.FrameLeft = -rect.left;
    w.FrameTop = -rect.top;
    w.FrameRight = rect.right - ClientWidth;
    w.FrameBottom = rect.bottom - ClientHeight;
    SIZE size = {rect.right - rect.left, rect.bottom - rect.top};
    return size;
}

POINT PlaceMainWindow(int Width, int Height, int CenterFlag, POINT Current)
{
    const MainWindowData &w = MainWindowState;
    if (w.Setup.PositionSetFlag) {
        POINT set = {w.Setup.PositionX, w.Setup.PositionY};
        return set;
    }
    if (!CenterFlag) return Current;
    DisplayRecordInfo display;
    GetUseDisplayRecordOrPrimary(&display);
    POINT centre = {display.Left + (display.Right - display.Left - Width) / 2,
                    display.Top + (display.Bottom - display.Top - Height) / 2};
    return centre;
}

int ChangeWindowStyle(int CenterFlag)
{
    HWND window = MainWindowState.MainWindow;
    if (window == NULL) return 0;
    if (MainWindowState.Setup.WindowModeFlag)
        ApplyWindowModeStyle(window, CenterFlag);
    else
        ApplyFullScreenStyle(window);
    AddLogStringWide(L"完了\n");
    SetActiveWindow(window);
    PostSetCursor();
    return 0;
}

int ChangeWindowMode(int WindowFlag)
{
    MainWindowData &w = MainWindowState;
    AddLogStringWide(L"ChangeWindowMode実行 \n");
    int flag = WindowFlag ? 1 : 0;
    if (flag == w.Setup.WindowModeFlag) return 0;

    w.StyleAppliedFlag = 1;
    w.DisplayChangedFlag = 0;
    w.Setup.WindowModeFlag = flag;
    AddLogStringWide(flag ? L"ウインドウモードフラグが立てられました\n" : L"ウインドウモードフラグが倒されました\n");
    if (w.MainWindow == NULL) return 0;

    if (w.Setup.MenuUseFlag && w.Setup.Menu != NULL) {
        int displayed = IsMenuDisplayed();
        SetMenu(w.MainWindow, displayed ? w.Setup.Menu : NULL);
        w.MenuAttachedFlag = displayed;
        w.Setup.MenuShownLastFlag = displayed;
    }
    w.InsideWindowModeChangeFlag = 1;
    ChangeWindowStyle(1);
    int result = CallSubsystemHook(SubsystemHooksData.ChangeScreenMode, -1, -1, -1, 1, -1);  // the current mode, redone
    if (!flag) w.FullScreenMenuShownCount = 0;
    w.InsideWindowModeChangeFlag = 0;
    return result;
}

int SetAlwaysRunFlag(int Flag)
{
    MainWindowState.Setup.AlwaysRunFlag = Flag;
    return 0;
}

int GetAlwaysRunFlag(void) { return MainWindowState.Setup.AlwaysRunFlag; }

int SetDoubleStartValidFlag(int Flag)
{
    MainWindowState.Setup.DoubleStartValidFlag = Flag;
    return 0;
}

int SetMainWindowText(const char *WindowText)
{
    if (WindowText == NULL) return -1;
    MainWindowData &w = MainWindowState;
    int codeFormat = GetCurrentCharCodeFormat();
    int bytes = ConvertCharCode(WindowText, codeFormat, NULL, 0, CHAR_CODE_UTF16LE);
    if (bytes <= 0) return -1;
    wchar_t local[StackTitleUnits];
    wchar_t *text = local;
    if (bytes > static_cast<int>(sizeof(local))) {
        text = static_cast<wchar_t *>(DXALLOC(bytes));
        if (text == NULL) return -1;
    }
    ConvertCharCode(WindowText, codeFormat, reinterpret_cast<char *>(text), bytes, CHAR_CODE_UTF16LE);
    WideStrCopyS(w.Setup.WindowText, sizeof(w.Setup.WindowText), text);
    if (text != local) DXFREE(text);
    w.Setup.WindowTextSetFlag = 1;
    if (w.MainWindow != NULL) SetWindowTextW(w.MainWindow, w.Setup.WindowText);
    return 0;
}

int SetWindowIconId(int ID)
{
    MainWindowData &w = MainWindowState;
    w.Setup.IconID = ID;
    if (w.MainWindow != NULL)
        SetClassLongPtrW(w.MainWindow, GCLP_HICON, reinterpret_cast<LONG_PTR>(LoadMainWindowIcon(ID)));
    return 0;
}

int SetMouseDispFlag(int DispFlag)
{
    MainWindowData &w = MainWindowState;
    if (DispFlag != -1) w.MouseDispSetting = DispFlag;
    if (w.MainWindow == NULL) return 0;
    int shown = (w.MouseDispSetting == 1 || IsMenuDisplayed()) ? 1 : 0;
    if (DispFlag != -1 && shown == w.MouseDispState) return 0;
    ApplyCursorState(shown);
    return 0;
}

int SetWindowSizeChangeEnableFlag(int Flag, int FitFlag)
{
    MainWindowData &w = MainWindowState;
    int resizable = Flag ? 1 : 0;
    int freeSize = FitFlag != 1 ? 1 : 0;
    if (resizable == w.Setup.SizeChangeEnableFlag && freeSize == w.Setup.FreeSizeFlag) return 0;
    w.Setup.SizeChangeEnableFlag = resizable;
    w.Setup.FreeSizeFlag = freeSize;
    if (w.Setup.WindowModeFlag) ChangeWindowStyle(1);
    return 0;
}

int SetWindowSize(int Width, int Height)
{
    MainWindowData &w = MainWindowState;
    if (w.MainWindow != NULL && !w.Setup.FreeSizeFlag) {
        int drawWidth, drawHeight;
        GetDrawScreenSizeOrDefault(&drawWidth, &drawHeight);
        return SetWindowSizeExtendRate(static_cast<double>(Width) / drawWidth,
                                       static_cast<double>(Height) / drawHeight);
    }
    w.Setup.WindowWidth = Width;
    w.Setup.WindowHeight = Height;
    w.Setup.WindowSizeSetFlag = 1;
    RefitMainWindow();
    return 0;
}

int SetWindowSizeExtendRate(double ExRateX, double ExRateY)
{
    MainWindowData &w = MainWindowState;
    if (ExRateY <= 0.0) ExRateY = ExRateX;
    if (ExRateX == w.Setup.ExtendRateX && ExRateY == w.Setup.ExtendRateY) return 0;
    w.Setup.ExtendRateX = ExRateX > 0.0 ? ExRateX : 1.0;
    w.Setup.ExtendRateY = ExRateY > 0.0 ? ExRateY : 1.0;
    w.Setup.WindowSizeSetFlag = 0;
    if (w.Setup.WindowModeFlag) ChangeWindowStyle(1);
    return 0;
}

double GetWindowSizeExtendRate(double *ExRateX, double *ExRateY)
{
    MainWindowData &w = MainWindowState;
    double x = 1.0, y = 1.0;
    if (w.Setup.WindowModeFlag) {
        if (w.MaximizedFlag && !w.Setup.FreeSizeFlag && !w.Setup.WindowSizeSetFlag && w.MainWindow != NULL) {
            RECT client;
            GetClientRect(w.MainWindow, &client);
            int drawWidth, drawHeight;
            GetDrawScreenSizeOrDefault(&drawWidth, &drawHeight);
            double rateX = static_cast<double>(client.right - client.left - 1) / drawWidth;
            double rateY = static_cast<double>(client.bottom - client.top - 1) / drawHeight;
            x = y = rateX < rateY ? rateX : rateY;
        } else {
            if (w.Setup.ExtendRateX <= 0.0) w.Setup.ExtendRateX = 1.0;
            if (w.Setup.ExtendRateY <= 0.0) w.Setup.ExtendRateY = 1.0;
            x = w.Setup.ExtendRateX;
            y = w.Setup.ExtendRateY;
        }
    }
    if (ExRateX != NULL) *ExRateX = x;
    if (ExRateY != NULL) *ExRateY = y;
    return x;
}

int SetWindowMaxSize(int MaxWidth, int MaxHeight)
{
    MainWindowState.Setup.MaxWidth = MaxWidth;
    MainWindowState.Setup.MaxHeight = MaxHeight;
    MainWindowState.Setup.MaxSizeSetFlag = 1;
    return 0;
}

int SetWindowMinSize(int MinWidth, int MinHeight)
{
    MainWindowState.Setup.MinWidth = MinWidth;
    MainWindowState.Setup.MinHeight = MinHeight;
    MainWindowState.Setup.MinSizeSetFlag = 1;
    return 0;
}

int SetWindowPosition(int X, int Y)
{
    MainWindowState.Setup.PositionX = X;
    MainWindowState.Setup.PositionY = Y;
    MainWindowState.Setup.PositionSetFlag = 1;
    RefitMainWindow();
    return 0;
}

int SetDwmCompositionEnable(int Flag)
{
    MainWindowData &w = MainWindowState;
    int wantOff = Flag ? 0 : 1;
    if (wantOff == w.CompositionOffFlag) return 0;
    if (WinAPIData.DwmEnableCompositionFunc == NULL) LoadWinAPI();
    if (WinAPIData.DwmEnableCompositionFunc != NULL && SUCCEEDED(WinAPIData.DwmEnableCompositionFunc(Flag ? 1u : 0u)))
        w.CompositionOffFlag = wantOff;
    return 0;
}

HWND__ *GetMainWindowHandle(void) { return MainWindowState.MainWindow; }

HWND__ *GetDisplayWindowHandle(void) { return MainWindowState.MainWindow; }

int GetWindowModeFlag(void) { return MainWindowState.Setup.WindowModeFlag; }

int GetWindowActiveFlag(void) { return MainWindowState.WindowActiveFlag; }

int GetWindowClosePostedFlag(void) { return MainWindowState.ClosePostedFlag; }

int GetWindowPosition(int *X, int *Y)
{
    RECT rect = {};
    if (MainWindowState.MainWindow != NULL) GetWindowRect(MainWindowState.MainWindow, &rect);
    if (X != NULL) *X = rect.left;
    if (Y != NULL) *Y = rect.top;
    return 0;
}

int GetWindowClientSize(int *Width, int *Height)
{
    RECT rect = {};
    int result = -1;
    if (MainWindowState.MainWindow != NULL && GetClientRect(MainWindowState.MainWindow, &rect)) result = 0;
    if (Width != NULL) *Width = rect.right - rect.left;
    if (Height != NULL) *Height = rect.bottom - rect.top;
    return result;
}

int GetMouseWheelRotation(int ClearFlag)
{
    if (IsDirectInputMouseUsed()) return GetDirectInputWheelRotation(ClearFlag);
    int notches = MainWindowState.WheelAccumulator / WHEEL_DELTA;
    if (ClearFlag) MainWindowState.WheelAccumulator -= notches * WHEEL_DELTA;
    return notches;
}

int GetDisplayInfo(int *Width, int *Height, int *ColorBitDepth, int *RefreshRate, int *Left, int *Top,
                   int *DesktopWidth, int *DesktopHeight)
{
    DisplayRecordInfo display;
    GetUseDisplayRecordOrPrimary(&display);
    if (Width != NULL) *Width = display.Width;
    if (Height != NULL) *Height = display.Height;
    if (ColorBitDepth != NULL) *ColorBitDepth = display.ColorBitDepth;
    if (RefreshRate != NULL) *RefreshRate = display.RefreshRate;
    if (Left != NULL) *Left = display.Left;
    if (Top != NULL) *Top = display.Top;
    if (DesktopWidth != NULL) *DesktopWidth = display.DesktopWidth;
    if (DesktopHeight != NULL) *DesktopHeight = display.DesktopHeight;
    return 0;
}

int ApplyDragFileAcceptFlag(void)
{
    // The library's file-drop switch is never on: the window accepts no dropped files.
    if (MainWindowState.MainWindow != NULL) DragAcceptFiles(MainWindowState.MainWindow, FALSE);
    return 0;
}
