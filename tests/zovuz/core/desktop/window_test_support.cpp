#include "window_test_support.h"

#include "zovuz/core/desktop/windows/window_state_win.h"
#include "zovuz/core/subsystem_hooks_internal.h"

#include <string>

int ApplicationDrawScreenSize(int *Width, int *Height)
{
    *Width = 1920;
    *Height = 1080;
    return 0;
}

void ApplyApplicationWindowSettings(void)
{
    SubsystemHooksData.GetDrawScreenSize = ApplicationDrawScreenSize;
    SetWindowSizeChangeEnableFlag(1, 0);
    SetWindowMaxSize(1920, 1080);
    SetWindowMinSize(640, 600);
    ChangeWindowMode(1);
    SetWindowSize(1299, 755);
    SetAlwaysRunFlag(1);
    SetWindowIconId(106);
    SetMainWindowText("tarvex");
    SetDoubleStartValidFlag(0);
}

void EndMainWindowForTest(void)
{
    HWND window = GetMainWindowHandle();
    TerminateMainWindow();
    while (window != NULL && IsWindow(window)) {
        DestroyWindow(window);
        MSG message;
        while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
    UnregisterClassW(MainWindowState.Setup.ClassName, GetModuleHandleW(NULL));
}

namespace {

WNDPROC LibraryWindowProc;

LRESULT CALLBACK WithoutSystemFocusChanges(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam)
{
    if ((Message == WM_ACTIVATE || Message == WM_ACTIVATEAPP) && LParam != kTestActivationLParam)
        return DefWindowProcW(Window, Message, WParam, LParam);
    return CallWindowProcW(LibraryWindowProc, Window, Message, WParam, LParam);
}

}  // namespace

void KeepSystemFocusChangesAway(void)
{
    LibraryWindowProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        GetMainWindowHandle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WithoutSystemFocusChanges)));
}

unsigned long RunThisProgramAgain(const wchar_t *Filter, const wchar_t *Variable)
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(path) + L"\" --gtest_filter=" + Filter;
    SetEnvironmentVariableW(Variable, L"1");
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    BOOL started = CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
    SetEnvironmentVariableW(Variable, nullptr);
    if (!started) return 0xDEAD;
    while (MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 60000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitCode;
}

void MaximiseMainWindowAsTheSystemWould(int Width, int Height)
{
    MainWindowData &w = MainWindowState;
    HWND window = w.MainWindow;
    w.RefitBusyFlag = 1;  // keeps the scaling refit from undoing the growth
    MoveWindow(window, 0, 0, Width, Height, TRUE);
    w.RefitBusyFlag = 0;
    // What WM_SIZE's bookkeeping notes for a maximise (its own test is the core's).
    GetWindowRect(window, &w.MaximizedWindowRect);
    ClientRectOnScreen(window, &w.ClientRect);
    w.MaximizedFlag = 1;
}

void RestoreMainWindowFromMaximise(void) { UpdateWindowMaximizeState(SIZE_RESTORED); }
