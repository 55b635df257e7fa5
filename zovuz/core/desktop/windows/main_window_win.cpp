// Making and ending the library's main window.
#include "zovuz/core/desktop/windows/window_state_win.h"

#include "zovuz/core/handle/async_load_internal.h"
#include "zovuz/core/base_helpers.h"
#include "zovuz/core/clock.h"
#include "zovuz/core/file/file_access_internal.h"
#include "zovuz/core/desktop/ime_internal.h"
#include "zovuz/core/library_core.h"
#include "zovuz/core/library_state.h"
#include "zovuz/core/text/log.h"
#include "zovuz/core/random_internal.h"
#include "zovuz/core/subsystem_hooks.h"
#include "zovuz/core/system_info.h"
#include "zovuz/core/windows/api_table.h"
#include "zovuz/core/library_state_internal.h"
#include "zovuz/core/subsystem_hooks_internal.h"

#include <string.h>

MainWindowData MainWindowState;

namespace {

// Physical memory, logged and kept at every window start.
void LogMemorySize(void)
{
    MainWindowData &w = MainWindowState;
    if (GetWindowsVersionCode() > WINDOWS_VERSION_NT40) {
        HMODULE kernel = LoadLibraryW(L"Kernel32.dll");
        if (kernel != NULL) {
            typedef BOOL(WINAPI * GlobalMemoryStatusExProc)(LPMEMORYSTATUSEX);
            GlobalMemoryStatusExProc statusEx =
                reinterpret_cast<GlobalMemoryStatusExProc>(GetProcAddress(kernel, "GlobalMemoryStatusEx"));
            MEMORYSTATUSEX status = {};
            status.dwLength = sizeof(status);
            if (statusEx != NULL && statusEx(&status)) {
                w.TotalMemoryMB = status.ullTotalPhys / 1048576.0;
                w.FreeMemoryMB = status.ullAvailPhys / 1048576.0;
                AddLogFormat(L"メモリ総量:%.2fMB  空きメモリ領域:%.2fMB ", w.TotalMemoryMB, w.FreeMemoryMB);
            }
            FreeLibrary(kernel);
        }
    }
    if (w.TotalMemoryMB == 0.0 && w.FreeMemoryMB == 0.0) {
        MEMORYSTATUS status = {};
        status.dwLength = sizeof(status);
        GlobalMemoryStatus(&status);
        w.TotalMemoryMB = status.dwTotalPhys / 1048576.0;
        w.FreeMemoryMB = status.dwAvailPhys / 1048576.0;
        AddLogFormat(L"メモリ総量:%.2fMB  空きメモリ領域:%.2fMB ", w.TotalMemoryMB, w.FreeMemoryMB);
        wchar_t text[64];
        FormatWideStringN(text, 64, L"%.2fMB\n", w.TotalMemoryMB);
        OutputDebugStringW(text);
    }
}

// The microsecond clock reads the performance counter unless the multimedia timer proves finer.
void CheckTimerResolution(void)
{
    SetupPerformanceCounter();

    if (WinAPIData.timeGetTimeFunc == NULL) LoadWinAPI();
    TIMECAPS caps = {};
    if (WinAPIData.timeGetDevCapsFunc != NULL) WinAPIData.timeGetDevCapsFunc(&caps, sizeof(caps));
    if (WinAPIData.timeBeginPeriodFunc != NULL) WinAPIData.timeBeginPeriodFunc(caps.wPeriodMin);

    if (!LibraryState.PerformanceCounterFlag || WinAPIData.timeGetTimeFunc == NULL) return;
    AddLogStringWide(L"タイマーの精度を検査します\n");
    int multimediaCount = 0;
    int counterCount = 0;
    DWORD start = WinAPIData.timeGetTimeFunc();
    DWORD lastTime = start;
    LARGE_INTEGER lastCount;
    QueryPerformanceCounter(&lastCount);
    while (multimediaCount < 60 && counterCount < 60) {
        DWORD time = WinAPIData.timeGetTimeFunc();
        if (time - start >= 1000) break;
        if (time != lastTime) {
            multimediaCount++;
            lastTime = time;
        }
        LARGE_INTEGER count;
        QueryPerformanceCounter(&count);
        if (count.QuadPart != lastCount.QuadPart) {
            counterCount++;
            lastCount = count;
        }
    }
    AddLogFormat(L"精度結果 更新回数 マルチメディアタイマー：%d  パフォーマンスカウンター：%d", multimediaCount,
                 counterCount);
    if (multimediaCount > counterCount) {
        AddLogFormat(L"Multi Media Timer を使用します Timer 精度 : %d.00 ms ", static_cast<int>(caps.wPeriodMin));
        LibraryState.PerformanceCounterFlag = 0;
    } else {
        AddLogFormat(L"パフォーマンスカウンターを使用します タイマー精度 : %lf KHz ",
                     static_cast<double>(LibraryState.PerformanceFrequency) / 1000.0);
    }
}

void EndTimerPeriod(void)
{
    if (WinAPIData.timeGetDevCapsFunc == NULL || WinAPIData.timeEndPeriodFunc == NULL) return;
    TIMECAPS caps = {};
    WinAPIData.timeGetDevCapsFunc(&caps, sizeof(caps));
    WinAPIData.timeEndPeriodFunc(caps.wPeriodMin);
}

int RegisterMainWindowClass(void)
{
    MainWindowData &w = MainWindowState;
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = w.Instance;
    windowClass.hIcon = LoadMainWindowIcon(w.Setup.IconID);
    windowClass.hCursor = LoadCursorW(NULL, MAKEINTRESOURCEW(32512));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    windowClass.lpszClassName = w.Setup.ClassName;
    if (RegisterClassExW(&windowClass) == 0) return LogPlatformFailure(L"RegisterClassExW", GetLastError());
    return 0;
}

// Undoes what the window start began before it failed.
int FailWindowStart(int ErrorCode, const wchar_t *Text, int LoaderThreadsStarted)
{
    SetLibraryQuitFlags();
    AddLogStringWideErrorCode(ErrorCode, Text);
    MainWindowState.CreatingFlag = 0;
    if (LoaderThreadsStarted) StopASyncLoadThreads();
    TerminateFileSystem();
    TerminateASyncLoad();
    return -1;
}

HWND CreateWindowInMode(void)
{
    MainWindowData &w = MainWindowState;
    if (WinAPIData.CreateWindowExWFunc == NULL) LoadWinAPI();
    if (WinAPIData.CreateWindowExWFunc == NULL) return NULL;

    if (w.Setup.WindowModeFlag) {
        AddLogStringWide(L"ウインドウモード起動用のウインドウを作成します\n");
        w.MouseDispSetting = 1;
        DWORD style = MAINWINDOW_STYLE_WINDOW | (w.Setup.SizeChangeEnableFlag ? WS_THICKFRAME : 0);

        int drawWidth, drawHeight;
        GetDrawScreenSizeOrDefault(&drawWidth, &drawHeight);
        int clientWidth, clientHeight;
        if (w.Setup.WindowSizeSetFlag && w.Setup.FreeSizeFlag) {
            clientWidth = w.Setup.WindowWidth;
            clientHeight = w.Setup.WindowHeight;
        } else {
            if (w.Setup.WindowSizeSetFlag) {
                w.Setup.ExtendRateX = static_cast<double>(w.Setup.WindowWidth) / drawWidth;
                w.Setup.ExtendRateY = static_cast<double>(w.Setup.WindowHeight) / drawHeight;
            }
            clientWidth = static_cast<int>(drawWidth * GetStoredExtendRateX());
            clientHeight = static_cast<int>(drawHeight * GetStoredExtendRateY());
        }

        // The menu is attached from the start when it is to be displayed, so the frame is
        // measured with its bar.
        HMENU menu = NULL;
        if (w.Setup.MenuUseFlag && w.Setup.Menu != NULL && !w.Setup.MenuHiddenFlag) {
            menu = w.Setup.Menu;
            w.MenuAttachedFlag = 1;
            w.Setup.MenuShownLastFlag = 1;
        }
        SIZE size = AdjustMainWindowFrame(style, menu != NULL, clientWidth, clientHeight);
        POINT origin = {0, 0};
        POINT place = PlaceMainWindow(size.cx, size.cy, 1, origin);
        return WinAPIData.CreateWindowExWFunc(MAINWINDOW_EXSTYLE_WINDOW, w.Setup.ClassName, w.Setup.WindowText, style,
                                              place.x, place.y, size.cx, size.cy, NULL, menu, w.Instance, NULL);
    }

    AddLogStringWide(L"フルスクリーンモード用のウインドウを作成します\n");
    DisplayRecordInfo display;
    GetUseDisplayRecordOrPrimary(&display);
    w.MouseDispSetting = 0;
    int width, height;
    GetFullScreenSize(&width, &height);
    return WinAPIData.CreateWindowExWFunc(MAINWINDOW_EXSTYLE_FULLSCREEN, w.Setup.ClassName, w.Setup.WindowText,
                                          MAINWINDOW_STYLE_FULLSCREEN, display.Left, display.Top, width, height, NULL,
                                          NULL, w.Instance, NULL);
}

}  // namespace

int CreateMainWindow(void)
{
    MainWindowData &w = MainWindowState;
    WindowSetupData setup = w.Setup;
    memset(&w, 0, sizeof(w));
    w.Setup = setup;
    ResetTouchRecord(&w.Touch);
    LibraryState.Quit = 0;

    w.Instance = GetModuleHandleW(NULL);
    w.MainThreadID = GetCurrentThreadId();
    InitializeASyncLoad(w.MainThreadID);
    InitializeFileSystem();

    // The previous window's destruction posted WM_QUIT, which the pump leaves in the queue once
    // its quit flag is set; it belongs to that window, not to this one.
    MSG stale;
    while (PeekMessageW(&stale, NULL, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }

    if (w.Setup.ClassName[0] == L'\0')
        WideStrCopyS(w.Setup.ClassName, sizeof(w.Setup.ClassName),
                     w.Setup.WindowTextSetFlag ? w.Setup.WindowText : L"D123987X");

    LogMemorySize();
    CheckTimerResolution();
    SRandMT(static_cast<uint32_t>(GetNowMilliCount()));
    SystemParametersInfoW(SPI_SETSCREENSAVEACTIVE, 0, NULL, SPIF_SENDCHANGE);

    AddLogStringWide(L"ソフトの二重起動検査... ");
    if (FindWindowW(w.Setup.ClassName, NULL) != NULL) {
        if (!w.Setup.DoubleStartValidFlag)
            return FailWindowStart(MAINWINDOW_ERROR_DOUBLE_START, L"二重起動されています、ソフトを終了します\n", 0);
        AddLogStringWide(L"二重起動されていますが続行します\n");
    } else {
        AddLogStringWide(L"二重起動はされていませんでした\n");
    }

    if (w.Setup.MenuUseFlag && w.Setup.Menu != NULL) RebuildMenuItemTable();

    w.CreatingFlag = 1;
    AddLogStringWide(L"ウインドウクラスを登録します... ");
    if (RegisterMainWindowClass() != 0)
        SetLibraryQuitFlags();
    else
        AddLogStringWide(L"登録に成功しました\n");

    if (!w.Setup.WindowTextSetFlag) WideStrCopyS(w.Setup.WindowText, sizeof(w.Setup.WindowText), L"ZoVuz");

    w.MainWindow = CreateWindowInMode();
    if (w.MainWindow == NULL) {
        LogPlatformFailure(L"CreateWindowExW", GetLastError());
        return FailWindowStart(MAINWINDOW_ERROR_NO_WINDOW, L"ウインドウの作成に失敗しました\n", 0);
    }
    AddLogStringWide(L"ウインドウの作成に成功しました\n");
    AddLogStringWide(L"ウインドウを表示します\n");
    ShowWindow(w.MainWindow, SW_SHOW);
    UpdateWindow(w.MainWindow);
    if (WinAPIData.RegisterTouchWindowFunc != NULL) WinAPIData.RegisterTouchWindowFunc(w.MainWindow, 0);

    w.ClosePostedFlag = 0;
    w.WindowDestroyedFlag = 0;
    w.WindowActiveFlag = 1;
    if (!w.Setup.WindowModeFlag) {
        AddLogStringWide(L"カーソルを不可視にしました\n");
        SetCursor(NULL);
    }

    AddLogStringWide(L"ＩＭＥを無効にしました\n");
    EnableImeForWindow(w.MainWindow, GetImeUseFlag());

    if (w.Setup.WindowModeFlag) ClientRectOnScreen(w.MainWindow, &w.ClientRect);
    GetWindowRect(w.MainWindow, &w.WindowRect);

    SetMouseDispFlag(w.MouseDispSetting);
    LibraryState.Ending = 0;

    BringWindowToTop(w.MainWindow);
    RefitMainWindow();
    w.CreatingFlag = 0;
    w.Setup.PositionSetFlag = 0;

    if (StartASyncLoadThreads(GetProcessorCount()) != 0)
        return FailWindowStart(MAINWINDOW_ERROR_LOADER_THREADS,
                               L"非同期読み込み処理を行うスレッドの立ち上げに失敗しました\n", 1);
    return 0;
}

int TerminateMainWindow(void)
{
    MainWindowData &w = MainWindowState;
    if (w.MainWindow == NULL) return 0;

    // The input strings go while the window they switch the IME of still exists.
    DeleteAllInputStrings();
    SystemParametersInfoW(SPI_SETSCREENSAVEACTIVE, 1, NULL, SPIF_SENDCHANGE);

    EnableImeForWindow(w.MainWindow, TRUE);
    w.MouseDispSetting = 1;
    if (!w.MouseDispState) {
        while (ShowCursor(TRUE) < 0) {
        }
        PostMessageW(w.MainWindow, WM_SETCURSOR, reinterpret_cast<WPARAM>(w.MainWindow), HTCLIENT);
        w.MouseDispState = 1;
    }

    if (w.Setup.MenuUseFlag) {
        DestroyWindowMenu();
        w.Setup.MenuUseFlag = 0;
        w.MenuSelectNum = 0;
        ClearMenuItemTable();
    }

    if (PostMainWindowCloseOnce()) {
        while (ProcessMessageNoLock() == 0 && !w.WindowDestroyedFlag) {
        }
        UnregisterClassW(w.Setup.ClassName, w.Instance);
    }

    TerminateTextServices();
    CallSubsystemHook(SubsystemHooksData.ReleaseSavedScreenCopy);

    StopASyncLoadThreads();
    TerminateFileSystem();
    TerminateASyncLoad();

    EndTimerPeriod();
    return 0;
}

int ReleaseMainWindowClass(void)
{
    MainWindowData &w = MainWindowState;
    while (!LibraryState.Quit && !w.WindowDestroyedFlag && ProcessMessageNoLock() == 0) {
    }
    UnregisterClassW(w.Setup.ClassName, w.Instance);
    // A window that outlived its close (a program that kept it from closing) is destroyed here;
    // a window of the same class that belongs to another program is left alone.
    while (w.MainWindow != NULL && FindWindowW(w.Setup.ClassName, NULL) == w.MainWindow) {
        DestroyWindow(w.MainWindow);
        Sleep(100);
    }
    // The set-up calls made before the next start must not act on the old window.
    w.MainWindow = NULL;
    return 0;
}

int FinishLibraryStarting(void)
{
    MainWindowData &w = MainWindowState;
    LibraryState.Starting = 0;
    if (w.WindowSizeForgetDeferredFlag) {
        w.Setup.WindowSizeSetFlag = 0;
        w.WindowSizeForgetDeferredFlag = 0;
    }
    return 0;
}

void ForceForegroundWindow(HWND__ *Window, int TopMostFlag)
{
    DWORD foregroundThread = GetWindowThreadProcessId(GetForegroundWindow(), NULL);
    DWORD windowThread = GetWindowThreadProcessId(Window, NULL);
    AttachThreadInput(windowThread, foregroundThread, TRUE);
    DWORD timeout = 0;
    SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &timeout, 0);
    SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, NULL, 0);
    SetForegroundWindow(Window);
    SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, reinterpret_cast<void *>(static_cast<uintptr_t>(timeout)),
                          0);
    AttachThreadInput(windowThread, foregroundThread, FALSE);
    if (TopMostFlag == 1)
        SetWindowPos(MainWindowState.MainWindow, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOREDRAW);
}

// ---- shared helpers ------------------------------------------------------------------------

int PostMainWindowCloseOnce(void)
{
    MainWindowData &w = MainWindowState;
    if (w.ClosePostedFlag) return 0;
    PostMessageW(w.MainWindow, WM_CLOSE, 0, 0);
    w.ClosePostedFlag = 1;
    return 1;
}

double GetStoredExtendRateX(void)
{
    return MainWindowState.Setup.ExtendRateX > 0.0 ? MainWindowState.Setup.ExtendRateX : 1.0;
}

double GetStoredExtendRateY(void)
{
    return MainWindowState.Setup.ExtendRateY > 0.0 ? MainWindowState.Setup.ExtendRateY : 1.0;
}

HICON LoadMainWindowIcon(int ID)
{
    // Icon 0 is the system's application icon, which no program module holds.
    return ID == 0 ? LoadIconW(NULL, MAKEINTRESOURCEW(32512))
                   : LoadIconW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(ID & 0xFFFF));
}

void ClientRectOnScreen(HWND Window, RECT *Rect)
{
    GetClientRect(Window, Rect);
    MapWindowPoints(Window, NULL, reinterpret_cast<POINT *>(Rect), 2);
}

void GetDrawScreenSizeOrDefault(int *Width, int *Height)
{
    *Width = 640;
    *Height = 480;
    if (SubsystemHooksData.GetDrawScreenSize != NULL) SubsystemHooksData.GetDrawScreenSize(Width, Height);
    if (*Width < 1) *Width = 640;
    if (*Height < 1) *Height = 480;
}

void GetFullScreenSize(int *Width, int *Height)
{
    *Width = 0;
    *Height = 0;
    if (SubsystemHooksData.SelectFullScreenDisplayMode == NULL ||
        SubsystemHooksData.SelectFullScreenDisplayMode(Width, Height) != 0)
        GetDrawScreenSizeOrDefault(Width, Height);
}

void GetUseDisplayRecordOrPrimary(DisplayRecordInfo *Record)
{
    memset(Record, 0, sizeof(*Record));
    if (SubsystemHooksData.GetUseDisplayRecord != NULL && SubsystemHooksData.GetUseDisplayRecord(Record) == 0) return;
    // Without the graphics layer's display table: the primary monitor as the system reports it.
    POINT origin = {0, 0};
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromPoint(origin, MONITOR_DEFAULTTOPRIMARY), &monitor);
    Record->Left = monitor.rcMonitor.left;
    Record->Top = monitor.rcMonitor.top;
    Record->Right = monitor.rcMonitor.right;
    Record->Bottom = monitor.rcMonitor.bottom;
    Record->Width = Record->DesktopWidth = monitor.rcMonitor.right - monitor.rcMonitor.left;
    Record->Height = Record->DesktopHeight = monitor.rcMonitor.bottom - monitor.rcMonitor.top;
    DEVMODEW mode = {};
    mode.dmSize = sizeof(mode);
    if (EnumDisplaySettingsW(NULL, ENUM_CURRENT_SETTINGS, &mode)) {
        Record->ColorBitDepth = static_cast<int>(mode.dmBitsPerPel);
        Record->RefreshRate = static_cast<int>(mode.dmDisplayFrequency);
    }
}

uint32_t GetMainThreadID(void) { return MainWindowState.MainThreadID; }

int GetWindowActivationBusyFlag(void) { return MainWindowState.ActivationBusyFlag; }

int GetWindowMinimizedFlag(void) { return MainWindowState.MinimizedFlag; }

int GetWindowCreatingFlag(void) { return MainWindowState.CreatingFlag; }

int GetWindowDestroyedFlag(void) { return MainWindowState.WindowDestroyedFlag; }

const TouchRecordData *GetTouchRecord(void) { return &MainWindowState.Touch; }
