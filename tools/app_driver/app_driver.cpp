#include "tools/app_driver/app_driver.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <map>

#include "tests/support/program_frames.h"

namespace {

struct Search
{
    DWORD processId;
    DWORD threadId;  // 0: any thread of the process
    const wchar_t* className;
    const wchar_t* title;  // null: any
    HWND found;
};

bool Matches(HWND window, const Search& s)
{
    DWORD process = 0;
    const DWORD thread = GetWindowThreadProcessId(window, &process);
    if (process != s.processId || (s.threadId != 0 && thread != s.threadId)) return false;
    wchar_t className[64] = {}, title[128] = {};
    GetClassNameW(window, className, 64);
    if (std::wcscmp(className, s.className) != 0) return false;
    GetWindowTextW(window, title, 128);
    if (s.title != nullptr && std::wcscmp(title, s.title) != 0) return false;
    return IsWindowVisible(window) != 0;
}

BOOL CALLBACK FindInSearch(HWND window, LPARAM param)
{
    Search* s = reinterpret_cast<Search*>(param);
    if (!Matches(window, *s)) return TRUE;
    s->found = window;
    return FALSE;
}

HWND FindWindowBy(Search s)
{
    if (s.threadId != 0)
        EnumThreadWindows(s.threadId, FindInSearch, reinterpret_cast<LPARAM>(&s));
    else
        EnumWindows(FindInSearch, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

// This process's environment with `changes` applied, as a sorted Unicode block.
std::vector<wchar_t> EnvironmentWith(const std::vector<std::pair<std::wstring, std::wstring>>& changes)
{
    std::map<std::wstring, std::wstring> variables;
    wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* entry = block; *entry; entry += std::wcslen(entry) + 1) {
        const std::wstring text(entry);
        const size_t equals = text.find(L'=', 1);  // names such as "=C:" start with '='
        if (equals != std::wstring::npos) variables[text.substr(0, equals)] = text.substr(equals + 1);
    }
    FreeEnvironmentStringsW(block);
    for (const auto& [name, value] : changes) variables[name] = value;
    std::vector<wchar_t> out;
    for (const auto& [name, value] : variables) {
        const std::wstring entry = name + L"=" + value;
        out.insert(out.end(), entry.begin(), entry.end());
        out.push_back(0);
    }
    out.push_back(0);
    return out;
}

void SendKey(WORD virtualKey, bool up)
{
    INPUT key = {};
    key.type = INPUT_KEYBOARD;
    key.ki.wVk = virtualKey;
    key.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
    key.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &key, sizeof key);
}

void SendMouse(DWORD flags, DWORD data = 0)
{
    INPUT mouse = {};
    mouse.type = INPUT_MOUSE;
    mouse.mi.dwFlags = flags;
    mouse.mi.mouseData = data;
    SendInput(1, &mouse, sizeof mouse);
}

struct Listing
{
    DWORD processId;
    std::string text;
};

BOOL CALLBACK ListWindow(HWND window, LPARAM param)
{
    Listing* l = reinterpret_cast<Listing*>(param);
    DWORD process = 0;
    const DWORD thread = GetWindowThreadProcessId(window, &process);
    if (process != l->processId) return TRUE;
    char className[64] = {}, title[128] = {}, line[320];
    GetClassNameA(window, className, 64);
    GetWindowTextA(window, title, 128);
    std::snprintf(line, sizeof line, "%p thread %lu class \"%s\" title \"%s\"%s\n", static_cast<void*>(window),
                  static_cast<unsigned long>(thread), className, title, IsWindowVisible(window) ? " visible" : "");
    l->text += line;
    return TRUE;
}

}  // namespace

AppDriver::~AppDriver()
{
    if (process_.hProcess != nullptr && Running()) WaitForExit(0);
    Close();
}

void AppDriver::Close()
{
    if (process_.hProcess == nullptr) return;
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
    process_ = {};
    main_ = nullptr;
}

bool AppDriver::Start(const std::wstring& program, const std::wstring& folder,
                      const std::vector<std::pair<std::wstring, std::wstring>>& environment, int timeoutMs)
{
    Close();
    std::wstring command = L"\"" + program + L"\"";
    std::vector<wchar_t> block = EnvironmentWith(environment);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    HANDLE output = INVALID_HANDLE_VALUE;
    if (!outputFile_.empty()) {
        SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
        output = CreateFileW(outputFile_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (output != INVALID_HANDLE_VALUE) {
            startup.dwFlags = STARTF_USESTDHANDLES;
            startup.hStdInput = nullptr;
            startup.hStdOutput = startup.hStdError = output;
        }
    }
    const BOOL started = CreateProcessW(nullptr, &command[0], nullptr, nullptr, output != INVALID_HANDLE_VALUE,
                                        CREATE_UNICODE_ENVIRONMENT, block.data(),
                                        folder.empty() ? nullptr : folder.c_str(), &startup, &process_);
    if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
    if (!started) {
        process_ = {};
        return false;
    }
    WaitUntil(
        [&] {
            main_ = FindWindowBy({process_.dwProcessId, 0, L"tarvex", L"tarvex", nullptr});
            return main_ != nullptr || !Running();
        },
        timeoutMs);
    return main_ != nullptr;
}

bool AppDriver::Running() const
{
    return process_.hProcess != nullptr && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

void AppDriver::PostMenu(int id) const { PostMessageW(main_, WM_COMMAND, static_cast<WPARAM>(id), 0); }

void AppDriver::PostToMain(UINT message) const { PostMessageW(main_, message, 0, 0); }

HWND AppDriver::WaitForDialog(const std::wstring& caption, int timeoutMs) const
{
    const DWORD thread = main_ ? GetWindowThreadProcessId(main_, nullptr) : 0;
    HWND found = nullptr;
    WaitUntil(
        [&] {
            found = FindWindowBy(
                {process_.dwProcessId, thread, L"#32770", caption.empty() ? nullptr : caption.c_str(), nullptr});
            return found != nullptr || !Running();
        },
        timeoutMs);
    return found;
}

HWND AppDriver::PostMenuForDialog(int id, int timeoutMs) const
{
    PostMenu(id);
    return WaitForDialog(L"", timeoutMs);
}

bool AppDriver::AnswerFileDialog(const std::wstring& path, int timeoutMs) const
{
    HWND dialog = WaitForDialog(L"", timeoutMs);
    if (dialog == nullptr) return false;
    Sleep(200);  // the dialog fills its fields after it shows
    // 0x47C: the file-name field of the common file dialogs. CDM_SETCONTROLTEXT carries its text by
    // pointer, which the system does not carry into another process: the field gets WM_SETTEXT, which
    // it does. Wine's dialog takes no "/" between folders: they become "\".
    std::wstring name = path;
    for (wchar_t& c : name)
        if (c == L'/') c = L'\\';
    SendMessageW(GetDlgItem(dialog, 0x47C), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
    NoteClosing(dialog);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    return WaitUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, timeoutMs);
}

bool AppDriver::AnswerBox(const std::wstring& caption, int button, int timeoutMs) const
{
    HWND box = WaitForDialog(caption, timeoutMs);
    if (box == nullptr) return false;
    NoteClosing(box);
    PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(button), 0);
    return WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); }, timeoutMs);
}

HWND AppDriver::FindWindowOf(const std::wstring& className, const std::wstring& title) const
{
    return FindWindowBy({process_.dwProcessId, 0, className.c_str(), title.empty() ? nullptr : title.c_str(), nullptr});
}

std::string AppDriver::DescribeWindows() const
{
    Listing listing = {process_.dwProcessId, ""};
    EnumWindows(ListWindow, reinterpret_cast<LPARAM>(&listing));
    return listing.text;
}

bool AppDriver::Render(const std::wstring& path, const std::wstring& length, int timeoutMs) const
{
    HWND dialog = FindWindowOf(L"rendering");
    // A command chosen while a song loads runs when the load has ended.
    if (dialog == nullptr) PostMenu(117);
    WaitUntil([&] { return (dialog = FindWindowOf(L"rendering")) != nullptr || !Running(); }, timeoutMs);
    if (dialog == nullptr) return false;
    SendMessageW(GetDlgItem(dialog, 1), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    SendMessageW(GetDlgItem(dialog, 0), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(length.c_str()));
    NoteClosing(dialog);  // Export closes it
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(3, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, 3)));
    return true;
}

ULONG_PTR AppDriver::FramesRead() const { return ReadProgramFrames(main_); }

void AppDriver::WaitForFrameRead(int atLeastMs) const
{
    // A program that does not count its frames is given the time alone.
    const ULONG_PTR from = FramesRead();
    if (from == 0) {
        Sleep(atLeastMs);
        return;
    }
    WaitForProgramFrames(main_, from, atLeastMs, [this] { return Running() && GetForegroundWindow() == main_; });
}

void AppDriver::BringForward() const
{
    if (GetForegroundWindow() == main_) return;
    SetForegroundWindow(main_);
    // A key already down when the window becomes active counts as held over the activation and is
    // ignored: the activation is taken first.
    WaitForFrameRead(0);
}

void AppDriver::PressKey(WORD virtualKey, int holdMs) const
{
    BringForward();
    SendKey(virtualKey, false);
    WaitForFrameRead(holdMs);
    SendKey(virtualKey, true);
    WaitForFrameRead(0);
}

void AppDriver::MoveMouse(int drawX, int drawY) const
{
    POINT at = {2 * drawX, 2 * drawY};
    ClientToScreen(main_, &at);
    BringForward();
    SetCursorPos(at.x, at.y);
    SendMouse(MOUSEEVENTF_MOVE);  // a move of nothing, so the program's input sees the position
    WaitForFrameRead(0);
}

void AppDriver::Click(int drawX, int drawY) const
{
    MoveMouse(drawX, drawY);
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    WaitForFrameRead(150);
    SendMouse(MOUSEEVENTF_LEFTUP);
    WaitForFrameRead(0);
}

void AppDriver::ClickInWindow(HWND window, int clientX, int clientY) const
{
    POINT at = {clientX, clientY};
    ClientToScreen(window, &at);
    SetForegroundWindow(window);
    SetCursorPos(at.x, at.y);
    SendMouse(MOUSEEVENTF_MOVE);
    // The program takes its windows' messages between frames: each step is held longer than one.
    Sleep(100);
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    Sleep(150);
    SendMouse(MOUSEEVENTF_LEFTUP);
    Sleep(100);
}

void AppDriver::Wheel(int notches) const
{
    BringForward();
    SendMouse(MOUSEEVENTF_WHEEL, static_cast<DWORD>(notches * WHEEL_DELTA));
    WaitForFrameRead(0);
}

void AppDriver::Drag(int fromX, int fromY, int toX, int toY) const
{
    MoveMouse(fromX, fromY);
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    WaitForFrameRead(150);
    constexpr int kSteps = 4;
    for (int step = 1; step <= kSteps; ++step) {
        POINT at = {2 * (fromX + (toX - fromX) * step / kSteps), 2 * (fromY + (toY - fromY) * step / kSteps)};
        ClientToScreen(main_, &at);
        SetCursorPos(at.x, at.y);
        SendMouse(MOUSEEVENTF_MOVE);
        WaitForFrameRead(100);
    }
    SendMouse(MOUSEEVENTF_LEFTUP);
    WaitForFrameRead(0);
}

void AppDriver::NoteClosing(HWND dialog) const
{
    RECT client = {};
    if (!GetClientRect(dialog, &client)) return;
    // A dialog found as soon as it shows may not have drawn itself yet: its place then reads one
    // colour (the screen's black, its face before its text), or what stood beneath it, the
    // program's own picture, which would count as the dialog still showing in every capture to
    // come. It is drawn now, and its picture taken once it shows more than one colour and holds
    // still; a dialog that does not within 2 s is not looked for afterwards.
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ClosedDialog closed = {client, {}};
    WindowCapture before;
    const bool drawn = WaitUntil(
        [&] {
            closed.picture = CaptureWindow(dialog, 0, 0, client.right, client.bottom);
            const std::vector<uint32_t>& pixels = closed.picture.Pixels;
            const bool held = !closed.picture.Empty() && pixels == before.Pixels &&
                              std::any_of(pixels.begin(), pixels.end(), [&](uint32_t p) { return p != pixels[0]; });
            before = closed.picture;
            return held;
        },
        2000);
    if (!drawn) return;
    MapWindowPoints(dialog, nullptr, reinterpret_cast<POINT*>(&closed.screen), 2);
    closedDialogs_.push_back(closed);
}

bool AppDriver::Whole(const WindowCapture& capture, std::string* missing) const
{
    constexpr int kBlock = 64;
    for (int top = 0; top + kBlock <= capture.Height; top += kBlock)
        for (int left = 0; left + kBlock <= capture.Width; left += kBlock) {
            bool black = true;
            for (int y = top; y < top + kBlock && black; ++y)
                for (int x = left; x < left + kBlock && black; ++x) black = capture.At(x, y) == 0;
            if (black) {
                if (missing)
                    *missing = "the block at " + std::to_string(left) + "," + std::to_string(top) + " is black";
                return false;
            }
        }
    POINT origin = {0, 0};
    ClientToScreen(main_, &origin);
    for (const ClosedDialog& dialog : closedDialogs_) {
        // The dialog's pixels where it stood, counted over the part inside the client area.
        int inside = 0, same = 0;
        for (int y = 0; y < dialog.picture.Height; ++y)
            for (int x = 0; x < dialog.picture.Width; ++x) {
                const uint32_t shown = capture.At(dialog.screen.left - origin.x + x, dialog.screen.top - origin.y + y);
                if (shown == 0xFF000000u) continue;
                ++inside;
                same += shown == dialog.picture.At(x, y);
            }
        // A quarter: a dialog's light pixels are rare in the program's dark picture, and a remnant
        // that has changed a little since its picture was taken (a field, the focus) still counts.
        if (inside > 0 && same * 4 > inside) {
            if (missing)
                *missing = "a closed dialog still shows at " + std::to_string(dialog.screen.left - origin.x) + "," +
                           std::to_string(dialog.screen.top - origin.y) + " (" + std::to_string(same) + " of " +
                           std::to_string(inside) + " pixels)";
            return false;
        }
    }
    return true;
}

WindowCapture AppDriver::Capture() const
{
    RECT client = {};
    if (main_ == nullptr || !GetClientRect(main_, &client)) return {};
    // Returns once the user-interface thread has taken it: after a load that kept it busy.
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(main_, WM_NULL, 0, 0, SMTO_NORMAL, kDriverWaitMs, &answer);
    WindowCapture capture;
    const bool whole = WaitUntil(
        [&] {
            if (!GetClientRect(main_, &client)) return true;
            capture = CaptureWindow(main_, 0, 0, client.right, client.bottom);
            return capture.Empty() || Whole(capture);
        },
        kDriverWaitMs);
    if (whole) {
        closedDialogs_.clear();
    } else {
        // Said in the test's output, where a step that took that much longer than it should is read.
        std::string missing;
        if (!capture.Empty() && !Whole(capture, &missing))
            std::fprintf(stderr, "app_driver: the capture is not whole after %d s: %s\n", kDriverWaitMs / 1000,
                         missing.c_str());
    }
    return capture;
}

WindowCapture AppDriver::CaptureTo(const std::string& pngName) const
{
    WindowCapture capture = Capture();
    if (!capture.Empty()) SaveCapturePng(capture, pngName.c_str());
    return capture;
}

DWORD AppDriver::WaitForExit(int timeoutMs)
{
    if (process_.hProcess == nullptr) return 0xDEAD;
    if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) {
        TerminateProcess(process_.hProcess, 0xDEAD);
        WaitForSingleObject(process_.hProcess, 5000);
        return 0xDEAD;
    }
    DWORD code = 0xDEAD;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
}
