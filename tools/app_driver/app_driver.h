// The application driver: runs tarvex.exe as a user would, from another process of the same Wine
// prefix, through its menu, its file dialogs and message boxes, the render window, the keyboard
// and the mouse, and reads back what the window shows. The end-to-end tests and tarvex_driver.exe
// (a script of the same steps, by hand) use it.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/support/window_capture.h"

// How long the driver waits by default for the program to do what it was asked: its window, a
// dialog or a box, a whole picture. Sized for a machine that runs twice as many programs as it has
// cores, where the program gets half a core; a wait ends as soon as what it waits for has come.
constexpr int kDriverWaitMs = 30000;

class AppDriver
{
public:
    AppDriver() = default;
    AppDriver(const AppDriver&) = delete;
    AppDriver& operator=(const AppDriver&) = delete;
    // A program still running is ended (see WaitForExit).
    ~AppDriver();

    // Starts `program` in `folder` with these variables added to (or replacing those of) this
    // process's environment, and waits up to `timeoutMs` for its visible window "tarvex". False when
    // it did not start or no window came.
    bool Start(const std::wstring& program, const std::wstring& folder,
               const std::vector<std::pair<std::wstring, std::wstring>>& environment, int timeoutMs = kDriverWaitMs);

    // The next Start sends the program's standard output and error to this file (created anew; an
    // empty path: the output goes nowhere, as by default).
    void SendOutputTo(const std::wstring& path) { outputFile_ = path; }

    HWND MainWindow() const { return main_; }
    bool Running() const;
    DWORD ProcessId() const { return process_.dwProcessId; }
    HANDLE Process() const { return process_.hProcess; }

    // A menu command, as the menu sends it.
    void PostMenu(int id) const;
    // The messages a window of the program gets from the frame (WM_CLOSE and the like).
    void PostToMain(UINT message) const;

    // A visible "#32770" window of the program's user-interface thread: with this caption, or any
    // when `caption` is empty. Titles of the common file dialogs are the system's own (Japanese under
    // ja_JP), so file dialogs are found as "any". Null after `timeoutMs`.
    HWND WaitForDialog(const std::wstring& caption, int timeoutMs) const;
    // Posts a menu command that opens a file dialog (one chosen while the program loads a song or a
    // project runs when the load has ended) and waits for the dialog. The dialog, or null after
    // `timeoutMs`.
    HWND PostMenuForDialog(int id, int timeoutMs = kDriverWaitMs) const;
    // The next file dialog gets `path` in its file-name field ("/" taken as "\"), then OK. False
    // when none came or it did not close.
    bool AnswerFileDialog(const std::wstring& path, int timeoutMs = kDriverWaitMs) const;
    // The next message box captioned `caption` ("completed", "Failed", "unload") is closed with
    // `button` (IDOK, IDYES). False when none came within `timeoutMs`.
    bool AnswerBox(const std::wstring& caption, int button, int timeoutMs = kDriverWaitMs) const;
    // A visible top-level window of the program by class (and title, when not empty).
    HWND FindWindowOf(const std::wstring& className, const std::wstring& title = L"") const;

    // The program's top-level windows, one a line: handle, thread, class, title, visible.
    std::string DescribeWindows() const;

    // The render window (class "rendering"), opened with menu 117, is given the WAV path (child 1)
    // and the length text (child 0), then Export. False when it never opened.
    bool Render(const std::wstring& path, const std::wstring& length, int timeoutMs = kDriverWaitMs) const;

    // Keys and the mouse through the system's input, the program's window in front (its activation
    // taken first). The program reads them once a frame, and a frame may take longer than a press:
    // each press, release and move lasts until a frame of the program has read it (the frames it
    // counts on its window), at least `holdMs` for a press, and at most 5 s or until another window
    // comes in front (a dialog the press opened).
    void PressKey(WORD virtualKey, int holdMs = 150) const;
    // The mouse at a point of the draw screen (client 2x, 2y), a left click there, the wheel.
    void MoveMouse(int drawX, int drawY) const;
    void Click(int drawX, int drawY) const;
    void Wheel(int notches) const;
    // A left click through the system's input at a point of the client area of another window of
    // the program (a plug-in window's button), that window brought to the front first. The click
    // goes to whatever stands at that point of the screen.
    void ClickInWindow(HWND window, int clientX, int clientY) const;
    // The left button pressed at one point of the draw screen, moved in steps to another and let go
    // there.
    void Drag(int fromX, int fromY, int toX, int toY) const;

    // The whole client area as the program has drawn it; empty when it cannot be read. It waits
    // (up to kDriverWaitMs each) until the program's user-interface thread takes messages again (it does not
    // while it loads a song) and the picture is whole: no 64 x 64 block of the client area is
    // still black, as an area the program has not drawn since the window grew or a window over
    // it went away reads, and where a dialog the driver closed stood, the dialog no longer shows.
    WindowCapture Capture() const;
    // The same, written as PNG under the current folder (the test's run folder).
    WindowCapture CaptureTo(const std::string& pngName) const;

    // The program's exit code once it has ended; after `timeoutMs` the driver ends its own child
    // (by handle) and answers 0xDEAD.
    DWORD WaitForExit(int timeoutMs);
    // The frames in which the program has read its keys and mouse (0 when it does not count them;
    // the frames run once the program's start is done).
    ULONG_PTR FramesRead() const;

private:
    // A dialog the driver closed: where its client area stood on the screen and what it showed.
    struct ClosedDialog
    {
        RECT screen;
        WindowCapture picture;
    };

    void Close();
    // Waits until a frame begun after this call has read the input, and at least `atLeastMs`.
    void WaitForFrameRead(int atLeastMs) const;
    // The program's window in front, and its activation taken.
    void BringForward() const;
    // Notes the dialog's place and picture just before the driver closes it.
    void NoteClosing(HWND dialog) const;
    // Whether a capture shows the program's whole picture (see Capture); when not, what is
    // missing in `*missing`.
    bool Whole(const WindowCapture& capture, std::string* missing = nullptr) const;

    PROCESS_INFORMATION process_ = {};
    HWND main_ = nullptr;
    std::wstring outputFile_;
    mutable std::vector<ClosedDialog> closedDialogs_;  // since the last whole capture
};

// Waits up to `timeoutMs` of the system's clock for `done`, polling every 20 ms.
template <typename Done>
bool WaitUntil(Done done, int timeoutMs)
{
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
    while (GetTickCount64() < end) {
        if (done()) return true;
        Sleep(20);
    }
    return done();
}

// Runs a driver script: one step a line ("#" starts a comment), e.g.
//   start <program> <folder> [NAME=VALUE ...]   menu <id>      file <path>
//   dialog <menu id> (posted until its file dialog shows)
//   box <caption> ok|yes                        render <path> <length>
//   key <name|vk number> [hold ms]              click <x> <y>  wheel <notches>
//   capture <file.png>                          sleep <ms>     close
//   windows (lists the program's windows)
//   exit <timeout ms> <expected code>
// A value with spaces is written in double quotes ("C:\My songs\a.mdx", NAME="a b"); `file` takes
// the rest of its line as the path when it holds no quote. `start` starts the program itself (it
// need not be running), and a program still running at the end of the script is ended.
// Each step's result goes to `log`; 0 when every step did what it asked, else the failing line.
int RunDriverScript(const std::vector<std::string>& lines, std::string& log);

// The words of a script line: separated by spaces or tabs, except inside double quotes, which
// are taken away.
std::vector<std::string> SplitScriptWords(const std::string& line);
