// tarvex.exe as a user starts it: the library starts with the application's set-up calls, the
// window is shown, closing it ends the program cleanly and the library's end is in its log.
#include "tests/support/test_files.h"
#include "tests/support/test_paths.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

struct WindowSearch {
    DWORD ProcessId;
    HWND Found;
};

BOOL CALLBACK FindProgramWindow(HWND Window, LPARAM Param)
{
    WindowSearch *search = reinterpret_cast<WindowSearch *>(Param);
    DWORD process = 0;
    GetWindowThreadProcessId(Window, &process);
    wchar_t className[32] = {};
    GetClassNameW(Window, className, 32);
    if (process != search->ProcessId || std::wstring(className) != L"tarvex") return TRUE;
    search->Found = Window;
    return FALSE;
}

// The program's main window, waiting up to a minute for it; null when it never came.
HWND WaitForProgramWindow(const PROCESS_INFORMATION &Process)
{
    for (int i = 0; i < 600; ++i) {
        WindowSearch search = {Process.dwProcessId, nullptr};
        EnumWindows(FindProgramWindow, reinterpret_cast<LPARAM>(&search));
        if (search.Found != nullptr && IsWindowVisible(search.Found)) return search.Found;
        if (WaitForSingleObject(Process.hProcess, 100) == WAIT_OBJECT_0) return nullptr;
    }
    return nullptr;
}

TEST(TarvexProgram, StartsShowsItsWindowAndEndsCleanlyWhenClosed)
{
    RemoveLogFile();
    std::string program = TestBuildDir() + "/tarvex.exe";
    std::wstring command = L"\"" + std::wstring(program.begin(), program.end()) + L"\"";
    SetEnvironmentVariableW(L"TARVEX_LOG", L"1");
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    BOOL started = CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
    SetEnvironmentVariableW(L"TARVEX_LOG", nullptr);
    ASSERT_TRUE(started) << program;

    HWND window = WaitForProgramWindow(process);
    EXPECT_NE(nullptr, window);
    if (window != nullptr) {
        wchar_t title[32] = {};
        GetWindowTextW(window, title, 32);
        EXPECT_STREQ(L"tarvex", title);
        RECT client = {};
        GetClientRect(window, &client);
        EXPECT_GE(client.right, 640);   // the minimum size the program sets
        EXPECT_GE(client.bottom, 600);
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    DWORD waited = WaitForSingleObject(process.hProcess, 60000);
    if (waited != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
    DWORD exitCode = 99;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), waited) << "the program did not end after WM_CLOSE";
    EXPECT_EQ(0u, exitCode);

    const std::wstring log = ReadLogText();
    size_t at = 0;
    for (const wchar_t *step : {L"RUrazadの初期化処理開始", L"ウインドウの作成に成功しました", L"RUrazadの初期化処理終了",
                                L"ウインドウを閉じようとしています", L"ウインドウが破棄されようとしています",
                                L"ＣＯＭを終了", L"Alloc memory dump"}) {
        at = log.find(step, at);
        ASSERT_NE(std::wstring::npos, at) << "missing or out of order: " << step;
    }
}

}  // namespace
