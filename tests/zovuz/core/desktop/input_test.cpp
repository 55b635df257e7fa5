// Keyboard and mouse on the main window: keys and buttons sent with SendInput, the one-refresh-
// per-tick rule, the main-thread rule, the start on demand, the cursor conversion, the touch
// override, and the DirectInput keyboard, mouse wheel and device logs.
#include "window_test_support.h"

#include "tests/support/test_files.h"
#include "zovuz/core/system_info_internal.h"
#include "zovuz/core/windows/api_table.h"
#include "zovuz/core/desktop/windows/input_state_win.h"
#include "zovuz/core/desktop/windows/window_state_win.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <vector>

namespace {

// The input layer's tick: the tests move it by hand.
DWORD FakeNow;
DWORD WINAPI FakeTimeGetTime(void) { return FakeNow; }

void SendKey(WORD VirtualKey, bool Up, DWORD ExtraFlags = 0)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = VirtualKey;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(VirtualKey, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = ExtraFlags | (Up ? KEYEVENTF_KEYUP : 0);
    SendInput(1, &input, sizeof(input));
}

void SendMouse(DWORD Flags, DWORD Data = 0)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = Flags;
    input.mi.mouseData = Data;
    SendInput(1, &input, sizeof(input));
}

// Reads on new ticks until Done holds or two seconds pass (input arrives asynchronously).
bool ReadUntil(const std::function<bool()> &Done)
{
    for (int i = 0; i < 200; ++i) {
        FakeNow++;
        if (Done()) return true;
        Sleep(10);
    }
    return false;
}

// The log writes CR LF line ends.
bool LogHas(const std::wstring &Log, std::wstring Text)
{
    for (size_t at = Text.find(L'\n'); at != std::wstring::npos; at = Text.find(L'\n', at + 2)) Text.insert(at, 1, L'\r');
    return Log.find(Text) != std::wstring::npos;
}

std::vector<char> AllKeys()
{
    std::vector<char> keys(256, 0);
    GetAllKeyState(keys.data());
    return keys;
}

// One window for the suite; every test starts input afresh.
class Input : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        InitializeCom();
        ApplyApplicationWindowSettings();
        ASSERT_EQ(0, CreateMainWindow());
        HWND window = GetMainWindowHandle();
        SetForegroundWindow(window);
        for (int i = 0; i < 200 && GetForegroundWindow() != window; ++i) {
            ProcessMessage();
            Sleep(10);
        }
        // The system resets the key state once after the first key the window receives.
        RECT client;
        GetClientRect(window, &client);
        MapWindowPoints(window, NULL, reinterpret_cast<POINT *>(&client), 2);
        ClientLeft = client.left;
        ClientTop = client.top;
        SetCursorPos(ClientLeft + 200, ClientTop + 100);
        // The pointer's arrival makes the system read the key state again from the display,
        // which forgets a key sent before it: probe with a key until one is seen held.
        for (int round = 0; round < 50; ++round) {
            SendKey(VK_F2, false);
            bool seen = false;
            for (int i = 0; i < 10 && !seen; ++i) {
                ProcessMessage();
                seen = (GetKeyState(VK_F2) & 0x8000) != 0;
                Sleep(10);
            }
            SendKey(VK_F2, true);
            ProcessMessage();
            if (seen) break;
        }
    }
    static void TearDownTestSuite()
    {
        EndMainWindowForTest();
        TerminateCom();
    }

    void SetUp() override
    {
        HWND window = GetMainWindowHandle();
        SetForegroundWindow(window);
        ProcessMessage();
        MainWindowState.WindowActiveFlag = 1;
        // The window start measures the real clock; the input tick is faked in the tests.
        LoadWinAPI();
        RealTimeGetTime = WinAPIData.timeGetTimeFunc;
        WinAPIData.timeGetTimeFunc = FakeTimeGetTime;
        FakeNow = 1000;
        SetDirectInputUseFlag(0);
        ASSERT_EQ(0, InitializeInput());
    }
    void TearDown() override
    {
        TerminateInput();
        SetDirectInputUseFlag(0);
        WinAPIData.timeGetTimeFunc = RealTimeGetTime;
        ResetTouchRecord(&MainWindowState.Touch);
    }

    DWORD(WINAPI *RealTimeGetTime)(void) = NULL;
    static int ClientLeft, ClientTop;  // the client origin on the desktop
};

int Input::ClientLeft;
int Input::ClientTop;

TEST_F(Input, KeysSentArriveInTheirTableEntries)
{
    struct Case {
        WORD VirtualKey;
        DWORD Flags;
        std::vector<int> Indices;  // entries that are 1 while the key is down
    } cases[] = {
        {VK_ESCAPE, 0, {0x01}},
        {VK_RETURN, 0, {0x1C, 0x9C}},
        {VK_RETURN, KEYEVENTF_EXTENDEDKEY, {0x1C, 0x9C}},  // keypad Enter
        {'A', 0, {0x1E}},
        {VK_NUMPAD0, 0, {0x52}},
        {VK_SPACE, 0, {0x39}},
    };
    for (const Case &c : cases) {
        SendKey(c.VirtualKey, false, c.Flags);
        std::vector<char> keys;
        EXPECT_TRUE(ReadUntil([&] { keys = AllKeys(); return keys[c.Indices[0]] == 1; })) << c.VirtualKey;
        int down = 0;
        for (int i = 0; i < 256; ++i) down += keys[i];
        EXPECT_EQ(static_cast<int>(c.Indices.size()), down) << c.VirtualKey;
        for (int index : c.Indices) {
            EXPECT_EQ(1, keys[index]) << c.VirtualKey << " " << index;
            EXPECT_EQ(1, CheckKeyDown(index)) << index;
        }
        SendKey(c.VirtualKey, true, c.Flags);
        EXPECT_TRUE(ReadUntil([&] { return CheckKeyDown(c.Indices[0]) == 0; })) << c.VirtualKey;
    }
    EXPECT_EQ(0, CheckKeyDown(-1));
    EXPECT_EQ(0, CheckKeyDown(256));
    EXPECT_EQ(-1, GetAllKeyState(NULL));
}

// Within one tick the table is not read again, and only the main thread refreshes it.
TEST_F(Input, TableChangesOncePerTickAndOnlyOnTheMainThread)
{
    SendKey(VK_ESCAPE, false);
    ASSERT_TRUE(ReadUntil([] { return AllKeys()[0x01] == 1; }));
    SendKey(VK_ESCAPE, true);
    Sleep(50);
    ProcessMessage();  // the release reaches the thread's key state, not the table
    EXPECT_EQ(1, AllKeys()[0x01]) << "same tick";

    FakeNow++;
    std::vector<char> fromOtherThread;
    std::thread([&] { fromOtherThread = AllKeys(); }).join();
    EXPECT_EQ(1, fromOtherThread[0x01]);
    EXPECT_EQ(1, InputState.KeyStateTable[0x01] >> 7);

    EXPECT_EQ(0, AllKeys()[0x01]) << "next tick on the main thread";
}

TEST_F(Input, ReadBeforeStartStartsInputWithoutReading)
{
    struct Case {
        int ClosePosted;
        int StartedAfter;
    } cases[] = {{0, 1}, {1, 0}};
    for (const Case &c : cases) {
        TerminateInput();
        MainWindowState.ClosePostedFlag = c.ClosePosted;
        std::vector<char> keys(256, 0x55);
        EXPECT_EQ(0, GetAllKeyState(keys.data()));
        EXPECT_EQ(std::vector<char>(256, 0x55), keys);
        EXPECT_EQ(c.StartedAfter, GetInputStartedFlag()) << c.ClosePosted;
        TerminateInput();
        EXPECT_EQ(0, CheckKeyDown(0x01));
        EXPECT_EQ(c.StartedAfter, GetInputStartedFlag()) << c.ClosePosted;
        MainWindowState.ClosePostedFlag = 0;
    }
}

TEST_F(Input, MousePointIsTheCursorInScreenCoordinates)
{
    struct Case {
        double Rate;
        int X, Y;
    } cases[] = {{1.0, 200, 100}, {2.0, 100, 50}};
    double savedX = MainWindowState.Setup.ExtendRateX, savedY = MainWindowState.Setup.ExtendRateY;
    for (const Case &c : cases) {
        MainWindowState.Setup.ExtendRateX = MainWindowState.Setup.ExtendRateY = c.Rate;
        int x = -1, y = -1;
        EXPECT_EQ(0, GetMousePoint(&x, &y));
        EXPECT_EQ(c.X, x) << c.Rate;
        EXPECT_EQ(c.Y, y) << c.Rate;
        EXPECT_EQ(0, GetMousePoint(NULL, &y));
        EXPECT_EQ(0, GetMousePoint(&x, NULL));
    }
    MainWindowState.Setup.ExtendRateX = savedX;
    MainWindowState.Setup.ExtendRateY = savedY;
}

TEST_F(Input, MouseButtonsSentArriveAsBits)
{
    struct Case {
        DWORD Down, Up, Data;
        int Bit;
    } cases[] = {
        {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, 0, MOUSE_INPUT_LEFT},
        {MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, 0, MOUSE_INPUT_RIGHT},
        {MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP, 0, MOUSE_INPUT_MIDDLE},
        {MOUSEEVENTF_XDOWN, MOUSEEVENTF_XUP, XBUTTON1, MOUSE_INPUT_4},
        {MOUSEEVENTF_XDOWN, MOUSEEVENTF_XUP, XBUTTON2, MOUSE_INPUT_5},
    };
    ASSERT_GE(GetWindowsVersionCode(), WINDOWS_VERSION_VISTA);  // the extra buttons count from Vista
    EXPECT_EQ(0, IsDirectInputMouseUsed());
    for (const Case &c : cases) {
        SendMouse(c.Down, c.Data);
        EXPECT_TRUE(ReadUntil([&] { return GetMouseButtons() == c.Bit; })) << c.Bit;
        SendMouse(c.Up, c.Data);
        EXPECT_TRUE(ReadUntil([&] { return GetMouseButtons() == 0; })) << c.Bit;
    }
}

// The main touch presses the left button and places the mouse, whatever the mouse does.
TEST_F(Input, PrimaryTouchOverridesButtonsAndPosition)
{
    TOUCHINPUT points[3] = {};
    points[0].x = (ClientLeft + 30) * 100;
    points[0].y = (ClientTop + 40) * 100;
    points[0].dwID = 7;
    points[0].dwFlags = TOUCHEVENTF_DOWN;
    points[1] = points[0];
    points[1].dwID = 8;
    points[1].x += 1000;
    points[2] = points[0];
    points[2].dwID = 9;
    points[2].dwFlags = TOUCHEVENTF_UP;

    TouchInputData frame;
    MakeTouchFrame(points, 3, &frame);
    ASSERT_EQ(2, frame.PointNum);
    RecordTouchFrame(&MainWindowState.Touch, &frame);
    int x = 0, y = 0;
    GetMousePoint(&x, &y);
    EXPECT_EQ(30, x);
    EXPECT_EQ(40, y);
    EXPECT_EQ(MOUSE_INPUT_LEFT, GetMouseButtons());

    // The first point lifts: the main touch moves to the one still down.
    points[0].dwFlags = TOUCHEVENTF_UP;
    MakeTouchFrame(points, 3, &frame);
    RecordTouchFrame(&MainWindowState.Touch, &frame);
    GetMousePoint(&x, &y);
    EXPECT_EQ(40, x);
    EXPECT_EQ(MOUSE_INPUT_LEFT, GetMouseButtons());

    // Nothing down: the mouse again.
    MakeTouchFrame(points, 0, &frame);
    RecordTouchFrame(&MainWindowState.Touch, &frame);
    GetMousePoint(&x, &y);
    EXPECT_EQ(200, x);
    EXPECT_EQ(0, GetMouseButtons());
}

TEST_F(Input, WindowsPathLogsThePadCount)
{
    TerminateInput();
    LogAppendReader log;
    ASSERT_EQ(0, InitializeInput());
    std::wstring started = log.Appended();
    EXPECT_TRUE(LogHas(started, L"パッドの数は 0 個です\n"));
    EXPECT_TRUE(LogHas(started, L"入力関連の初期化をしました\n"));
    EXPECT_EQ(std::wstring::npos, started.find(L"DirectInput"));
    EXPECT_EQ(DIRECTINPUT_WINDOWS_PATH, InputState.DirectInput);
    log.Mark();
    EXPECT_EQ(0, TerminateInput());
    EXPECT_TRUE(LogHas(log.Appended(), L"入力関連の終了処理... 完了\n"));
    EXPECT_EQ(nullptr, InputState.DirectInput);
}

class DirectInputDevices : public Input {
protected:
    void SetUp() override
    {
        Input::SetUp();
        TerminateInput();
        SetDirectInputUseFlag(1);
        LogAppendReader log;
        ASSERT_EQ(0, InitializeInput());
        StartLog = log.Appended();
    }
    std::wstring StartLog;
};

TEST_F(DirectInputDevices, StartLogsEachDeviceAndEndReleasesThem)
{
    for (const wchar_t *line : {L"DirectInput関係初期化処理\n", L"DirectInput8 の取得を試みます...成功\n",
                                L"ジョイパッドの初期化は正常に終了しました\n", L"マウスデバイスの初期化... 初期化成功\n",
                                L"キーボードデバイスの初期化... 初期化成功\n",
                                L"DirectInput 関連の初期化は正常に終了しました\n"})
        EXPECT_TRUE(LogHas(StartLog, line)) << StartLog;
    EXPECT_EQ(1, IsDirectInputMouseUsed());
    ASSERT_NE(nullptr, InputState.KeyboardDevice);
    EXPECT_EQ(GetModuleHandleW(L"xinput1_4.dll"), InputState.XInput.Module) << "the first of the three";

    LogAppendReader log;
    EXPECT_EQ(0, TerminateInput());
    EXPECT_TRUE(LogHas(log.Appended(), L"DirectInput 関連の終了処理... 完了\n"));
    EXPECT_EQ(nullptr, InputState.DirectInput);
    EXPECT_EQ(nullptr, InputState.XInput.Module);
    EXPECT_EQ(0, IsDirectInputMouseUsed());
}

TEST_F(DirectInputDevices, KeyboardReadSeesKeysSent)
{
    SendKey('A', false);
    EXPECT_TRUE(ReadUntil([] { return AllKeys()[0x1E] == 1; }));
    SendKey('A', true);
    EXPECT_TRUE(ReadUntil([] { return AllKeys()[0x1E] == 0; }));
}

TEST_F(DirectInputDevices, WheelCountsWholeNotchesAndKeepsTheRest)
{
    ASSERT_EQ(1, IsDirectInputMouseUsed());
    GetMouseButtons();  // the first read acquires the mouse
    SendMouse(MOUSEEVENTF_WHEEL, static_cast<DWORD>(-250));
    ASSERT_TRUE(ReadUntil([] { ProcessMessage(); return GetDirectInputWheelRotation(0) != 0; }));
    EXPECT_EQ(-2, GetMouseWheelRotation(1));
    EXPECT_EQ(-10, InputState.WheelAccumulator);
    EXPECT_EQ(0, GetDirectInputWheelRotation(1));
}

} // namespace
