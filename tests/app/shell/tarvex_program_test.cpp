// tarvex.exe as a user starts it: the library starts with the application's set-up calls, the
// window shows its menu, every way out ends the program with exit code 0, and a song opened
// through the menu's file dialog plays from a working folder with a long name.
#include "tests/support/program_frames.h"
#include "tests/support/test_files.h"
#include "tests/support/test_paths.h"
#include "tests/support/window_capture.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

struct WindowSearch {
    DWORD ProcessId;
    const wchar_t *ClassName;
    const wchar_t *Title;  // null: any
    HWND Found;
};

BOOL CALLBACK FindProcessWindow(HWND Window, LPARAM Param)
{
    WindowSearch *search = reinterpret_cast<WindowSearch *>(Param);
    DWORD process = 0;
    GetWindowThreadProcessId(Window, &process);
    if (process != search->ProcessId) return TRUE;
    wchar_t className[32] = {}, title[64] = {};
    GetClassNameW(Window, className, 32);
    GetWindowTextW(Window, title, 64);
    if (std::wstring(className) != search->ClassName) return TRUE;
    if (search->Title != nullptr && std::wstring(title) != search->Title) return TRUE;
    if (!IsWindowVisible(Window)) return TRUE;
    search->Found = Window;
    return FALSE;
}

bool WaitForFrameRead(HWND Window);

// tarvex.exe of this build, started in a working folder and ended by each test.
class TarvexProgram : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (process_.hProcess == nullptr) return;
        if (WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(process_.hProcess, 99);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }

    // Starts the program in `Folder` (null: the test's own), with its log unless `Log` is false,
    // and waits for its main window.
    HWND Start(const wchar_t *Folder = nullptr, bool Log = true)
    {
        std::string program = TestBuildDir() + "/tarvex.exe";
        std::wstring command = L"\"" + std::wstring(program.begin(), program.end()) + L"\"";
        if (Log) SetEnvironmentVariableW(L"TARVEX_LOG", L"1");
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        BOOL started =
            CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, Folder, &startup, &process_);
        SetEnvironmentVariableW(L"TARVEX_LOG", nullptr);
        EXPECT_TRUE(started) << program;
        return started ? WaitForWindow(L"tarvex", nullptr) : nullptr;
    }

    // A visible window of the program, waiting up to a minute; null when it never came.
    HWND WaitForWindow(const wchar_t *ClassName, const wchar_t *Title)
    {
        for (int i = 0; i < 3000; ++i) {
            WindowSearch search = {process_.dwProcessId, ClassName, Title, nullptr};
            EnumWindows(FindProcessWindow, reinterpret_cast<LPARAM>(&search));
            if (search.Found != nullptr) return search.Found;
            if (WaitForSingleObject(process_.hProcess, 20) == WAIT_OBJECT_0) return nullptr;
        }
        return nullptr;
    }

    // The program's exit code once it has ended (99: it did not end within a minute).
    DWORD WaitForExit()
    {
        if (WaitForSingleObject(process_.hProcess, 60000) != WAIT_OBJECT_0) return 99;
        DWORD exitCode = 99;
        GetExitCodeProcess(process_.hProcess, &exitCode);
        return exitCode;
    }

    PROCESS_INFORMATION process_ = {};
};

TEST_F(TarvexProgram, StartsShowsItsWindowAndEndsCleanlyWhenClosed)
{
    RemoveLogFile();
    HWND window = Start();
    ASSERT_NE(nullptr, window);
    wchar_t title[32] = {};
    GetWindowTextW(window, title, 32);
    EXPECT_STREQ(L"tarvex", title);
    RECT client = {};
    GetClientRect(window, &client);
    EXPECT_GE(client.right, 640);  // the minimum size the program sets
    EXPECT_GE(client.bottom, 600);
    EXPECT_NE(nullptr, GetMenu(window));
    // A repaint and a few frames on the way.
    InvalidateRect(window, nullptr, FALSE);
    WaitForFrameRead(window);
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, WaitForExit());

    const std::wstring log = ReadLogText();
    size_t at = 0;
    for (const wchar_t *step : {L"RUrazadの初期化処理開始", L"ウインドウの作成に成功しました", L"RUrazadの初期化処理終了",
                                L"ウインドウを閉じようとしています", L"ウインドウが破棄されようとしています",
                                L"ＣＯＭを終了", L"Alloc memory dump"}) {
        at = log.find(step, at);
        ASSERT_NE(std::wstring::npos, at) << "missing or out of order: " << step;
    }
}

// The menu the window shows (see the first test) is the program's menu resource: three pop-ups,
// each with its caption and its items in order. Read from tarvex.exe, since another process
// cannot read a window's menu.
TEST(TarvexProgramMenu, HasThreePopUpsWithTheirCommandsInOrder)
{
    // Each pop-up as "caption:" and its items as " id caption" or " -" for a separator.
    const std::wstring expected =
        L"ファイル(&F): 114 MMLを開く(&O) 113 再読み込み(&R) - 116 プロジェクトを開く(&P) 115 プロジェクトを保存(&S) - "
        L"117 レンダリング(&R) - 105 終了(&X)\n"
        L"演奏(&P): 110 停止(&S) 111 再生(&P) 112 一時停止\n"
        L"ペイン(&V): 200 VST インストゥルメント(&S) 201 インスペクター(&I)\n";
    const std::string path = TestBuildDir() + "/tarvex.exe";
    HMODULE program = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, program);
    HMENU menu = LoadMenuW(program, MAKEINTRESOURCEW(109));
    ASSERT_NE(nullptr, menu);
    std::wstring shown;
    wchar_t caption[64];
    for (int p = 0; p < GetMenuItemCount(menu); ++p) {
        GetMenuStringW(menu, p, caption, 64, MF_BYPOSITION);
        shown += std::wstring(caption) + L":";
        HMENU popup = GetSubMenu(menu, p);
        for (int i = 0; popup && i < GetMenuItemCount(popup); ++i) {
            if (GetMenuState(popup, i, MF_BYPOSITION) & MF_SEPARATOR) {
                shown += L" -";
                continue;
            }
            GetMenuStringW(popup, i, caption, 64, MF_BYPOSITION);
            shown += L" " + std::to_wstring(GetMenuItemID(popup, i)) + L" " + caption;
        }
        shown += L"\n";
    }
    EXPECT_EQ(expected, shown);
    DestroyMenu(menu);
    FreeLibrary(program);
}

// Waits until two frames of the program begun after the call have read the keys, as the program
// counts them when asked. False when none did.
bool WaitForFrameRead(HWND Window)
{
    return WaitForProgramFrames(Window, ReadProgramFrames(Window), 0, [Window] { return IsWindow(Window) != FALSE; });
}

// Escape pressed on the program's window, again until the program has gone: the system forgets
// the first key a window receives, and the key must be held while a frame reads it.
void PressEscapeUntilGone(HWND Window)
{
    INPUT key = {};
    key.type = INPUT_KEYBOARD;
    key.ki.wVk = VK_ESCAPE;
    key.ki.wScan = static_cast<WORD>(MapVirtualKeyW(VK_ESCAPE, MAPVK_VK_TO_VSC));
    for (int i = 0; i < 10 && IsWindow(Window); ++i) {
        SetForegroundWindow(Window);
        WaitForFrameRead(Window);
        key.ki.dwFlags = 0;
        SendInput(1, &key, sizeof(INPUT));
        WaitForFrameRead(Window);
        key.ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(1, &key, sizeof(INPUT));
        WaitForFrameRead(Window);
    }
}

// A working folder of 120 characters: a ".zms" text chosen in the menu's file dialog there is
// compiled and played, and its title shows in the transport bar. The Escape key ends the program
// with exit code 0 (the close box: see the first test; Exit from the menu: the last).
TEST_F(TarvexProgram, OpensAndPlaysASongChosenInAWorkingFolderOf120CharactersAndEndsOnEscape)
{
    wchar_t here[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, here);
    std::wstring folder = std::wstring(here) + L"\\";
    folder += std::wstring(120 - folder.size(), L'f');
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring song = folder + L"\\long.zms";
    ASSERT_TRUE(WriteFileBytes(song, std::string(".cat LONGFOLDER\r\n(t1) t120 o4 l4 c d e f g a b\r\n")));

    HWND window = Start(folder.c_str());
    ASSERT_NE(nullptr, window);
    // The title's place in the bar (draw-screen pixels doubled on the window).
    auto titleArea = [&] { return CaptureWindow(window, 2 * 274, 2 * 3, 160, 24); };
    // The frames read are given each time they are asked for, and go on.
    EXPECT_TRUE(WaitForFrameRead(window)) << "the program's count of frames read did not go on";
    const WindowCapture before = titleArea();

    PostMessageW(window, WM_COMMAND, 114, 0);
    HWND dialog = WaitForWindow(L"#32770", nullptr);
    ASSERT_NE(nullptr, dialog);
    SendMessageW(GetDlgItem(dialog, 0x47C), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(song.c_str()));
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);

    WindowCapture after;
    for (int i = 0; i < 100 && (after.Empty() || after.Pixels == before.Pixels); ++i) {
        Sleep(100);
        after = titleArea();
    }
    SaveCapturePng(after, "long_folder_title.png");
    EXPECT_NE(before.Pixels, after.Pixels) << "the song's title never showed";
    PressEscapeUntilGone(window);
    EXPECT_EQ(0u, WaitForExit());
}

// In a folder of its own: a project saved through the menu is named in "tarvex.ini" at the end
// (Exit from the menu, exit code 0) and reopened at the next start (the window position it
// holds), and the render dialog writes one second of the song opened through the menu. The first
// run does not ask for the log and leaves no log file.
TEST_F(TarvexProgram, SavesAProjectTheNextStartReopensAndRendersTheSongToAWavFile)
{
    wchar_t here[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, here);
    const std::wstring folder = std::wstring(here) + L"\\session";
    CreateDirectoryW(folder.c_str(), nullptr);
    for (const wchar_t *name : {L"\\tarvex.ini", L"\\placed.tvx", L"\\out.wav", L"\\Log.txt"})
        DeleteFileW((folder + name).c_str());
    ASSERT_TRUE(WriteFileBytes(folder + L"\\s.zms", std::string("(t1) t120 o4 l4 c d e f g a b\r\n")));

    auto answerFileDialog = [&](WPARAM command, const std::wstring &name) {
        PostMessageW(WaitForWindow(L"tarvex", nullptr), WM_COMMAND, command, 0);
        HWND dialog = WaitForWindow(L"#32770", nullptr);
        ASSERT_NE(nullptr, dialog);
        SendMessageW(GetDlgItem(dialog, 0x47C), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    };

    HWND window = Start(folder.c_str(), false);
    ASSERT_NE(nullptr, window);
    answerFileDialog(115, folder + L"\\placed.txt");
    HWND saved = WaitForWindow(L"#32770", L"completed");
    ASSERT_NE(nullptr, saved);
    PostMessageW(saved, WM_COMMAND, IDOK, 0);
    std::string project = ReadFileBytes(folder + L"\\placed.tvx");
    const size_t x = project.find("WinPosX="), end = project.find("WinSizeW=");
    ASSERT_TRUE(x != std::string::npos && end != std::string::npos) << project;
    project.replace(x, end - x, "WinPosX=33\r\nWinPosY=44\r\n");
    ASSERT_TRUE(WriteFileBytes(folder + L"\\placed.tvx", project));
    PostMessageW(window, WM_COMMAND, 105, 0);
    EXPECT_EQ(0u, WaitForExit());
    EXPECT_EQ("[config]\r\ninipj=.\\placed.tvx\r\n", ReadFileBytes(folder + L"\\tarvex.ini"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((folder + L"\\Log.txt").c_str()))
        << "a log file, though none was asked for";
    TearDown();
    process_ = {};

    window = Start(folder.c_str());
    ASSERT_NE(nullptr, window);
    // The project is read after the window shows: the window moves to the place it holds.
    RECT outer = {};
    for (int i = 0; i < 500 && !(outer.left == 33 && outer.top == 44); ++i) {
        Sleep(20);
        GetWindowRect(window, &outer);
    }
    EXPECT_EQ(33, outer.left);
    EXPECT_EQ(44, outer.top);

    answerFileDialog(114, folder + L"\\s.zms");
    Sleep(500);
    // Chosen while the song loads, the command runs when the load has ended.
    PostMessageW(window, WM_COMMAND, 117, 0);
    HWND render = WaitForWindow(L"rendering", L"書き出し");
    ASSERT_NE(nullptr, render);
    SendMessageW(GetDlgItem(render, 1), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"out"));
    SendMessageW(GetDlgItem(render, 0), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"0:01"));
    PostMessageW(render, WM_COMMAND, MAKEWPARAM(3, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(render, 3)));
    std::string wave;
    for (int i = 0; i < 1000 && wave.size() != 44 + 176400; ++i) {
        Sleep(20);
        wave = ReadFileBytes(folder + L"\\out.wav");
    }
    EXPECT_EQ(44u + 176400u, wave.size());
    PostMessageW(window, WM_COMMAND, 105, 0);
    EXPECT_EQ(0u, WaitForExit());
}

}  // namespace
