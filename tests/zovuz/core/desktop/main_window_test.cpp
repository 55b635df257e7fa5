// The main window made with the application's settings: class, styles, size, menu commands,
// wheel and typed characters, clipboard ownership, menu item names and the single instance.
#include "window_test_support.h"

#include "zovuz/core/text/char_code_internal.h"
#include "zovuz/core/desktop/ime_internal.h"
#include "zovuz/core/desktop/input_char_internal.h"
#include "zovuz/core/library_state.h"
#include "zovuz/core/text/log_internal.h"
#include "zovuz/core/subsystem_hooks.h"
#include "zovuz/core/system_info_internal.h"
#include "zovuz/core/desktop/windows/window_state_win.h"
#include "zovuz/core/subsystem_hooks_internal.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string>
#include <vector>

namespace {

constexpr int kMenuResource = 109;
constexpr int kOpenItem = 40001;
constexpr int kChildExitRefused = 42;
const wchar_t kChildVariable[] = L"TARVEX_SECOND_INSTANCE_CHILD";

std::vector<unsigned short> MenuCalls;

int OnMenuCommand(unsigned short ItemID)
{
    MenuCalls.push_back(ItemID);
    return 0;
}

void ApplySettingsWithMenu()
{
    ApplyApplicationWindowSettings();
    SetUseMenuFlag(1);
    SetDisplayMenuFlag(1);
    SetMenuAutoDisplayFlag(1);
    ASSERT_EQ(0, SetWindowMenuFromResource(kMenuResource, OnMenuCommand));
}

class MainWindow : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (GetEnvironmentVariableW(kChildVariable, nullptr, 0) != 0) return;
        ApplySettingsWithMenu();
        ASSERT_EQ(0, CreateMainWindow());
    }
    static void TearDownTestSuite()
    {
        if (GetEnvironmentVariableW(kChildVariable, nullptr, 0) != 0) return;
        EndMainWindowForTest();
    }
    void SetUp() override
    {
        if (GetEnvironmentVariableW(kChildVariable, nullptr, 0) != 0) GTEST_SKIP();
        ASSERT_NE(nullptr, GetMainWindowHandle());
    }
};

TEST_F(MainWindow, IsMadeWithTheApplicationsSettings)
{
    HWND window = GetMainWindowHandle();
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    EXPECT_STREQ(L"tarvex", className);
    wchar_t title[64] = {};
    GetWindowTextW(window, title, 64);
    EXPECT_STREQ(L"tarvex", title);

    const LONG style = GetWindowLongW(window, GWL_STYLE);
    const LONG wanted = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_THICKFRAME | WS_VISIBLE;
    EXPECT_EQ(wanted, style & wanted);
    EXPECT_EQ(0, style & WS_MAXIMIZEBOX);
    EXPECT_NE(0, GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_WINDOWEDGE);

    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(1299, client.right);
    EXPECT_EQ(755, client.bottom);
    int width = 0, height = 0;
    EXPECT_EQ(0, GetWindowClientSize(&width, &height));
    EXPECT_EQ(1299, width);
    EXPECT_EQ(755, height);

    EXPECT_NE(nullptr, GetMenu(window));
    EXPECT_EQ(1, IsMenuDisplayed());
    EXPECT_EQ(1, GetWindowModeFlag());
    EXPECT_EQ(1, GetAlwaysRunFlag());
    EXPECT_EQ(GetCurrentThreadId(), GetMainThreadID());
}

TEST_F(MainWindow, MenuCommandsReachTheCallbackAndAreListedOnce)
{
    MainWindowState.MenuSelectNum = 0;
    MenuCalls.clear();
    PostMessageW(GetMainWindowHandle(), WM_COMMAND, kOpenItem, 0);
    PostMessageW(GetMainWindowHandle(), WM_COMMAND, kOpenItem, 0);
    EXPECT_EQ(0, ProcessMessage());
    EXPECT_EQ((std::vector<unsigned short>{kOpenItem, kOpenItem}), MenuCalls);
    ASSERT_EQ(1, MainWindowState.MenuSelectNum);
    EXPECT_EQ(kOpenItem, MainWindowState.MenuSelect[0]);

    // After 64 distinct items no more are listed, but every command still reaches the callback.
    for (int id = 1; id <= 70; ++id) SendMessageW(GetMainWindowHandle(), WM_COMMAND, 50000 + id, 0);
    EXPECT_EQ(MENUSELECT_MAXNUM, MainWindowState.MenuSelectNum);
    EXPECT_EQ(50063, MainWindowState.MenuSelect[63]);
    EXPECT_EQ(72u, MenuCalls.size());
}

TEST_F(MainWindow, WheelAccumulatesUntilItTurnsTheOtherWay)
{
    MainWindowState.WheelAccumulator = 0;
    auto turn = [](int delta) {
        SendMessageW(GetMainWindowHandle(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(delta)), 0);
    };
    struct Step {
        int Delta;
        int Clear;
        int Notches;
        int Left;
    } steps[] = {
        {120, 0, 1, 120},
        {120, 0, 2, 240},
        {-120, 0, -1, -120},  // a change of direction restarts the sum
        {-200, 1, -2, -80},   // cleared notches go, the remainder stays
        {-40, 0, -1, -120},
        {60, 0, 0, 60},
    };
    for (const Step &step : steps) {
        turn(step.Delta);
        EXPECT_EQ(step.Notches, GetMouseWheelRotation(step.Clear)) << step.Delta;
        EXPECT_EQ(step.Left, MainWindowState.WheelAccumulator) << step.Delta;
    }
}

TEST_F(MainWindow, TypedCharactersAndEditingKeysReachTheCharacterBuffer)
{
    struct Case {
        UINT Message;
        WPARAM Key;
        int Expected;  // -1: nothing stored
    } cases[] = {
        {WM_CHAR, 'a', 'a'},     {WM_CHAR, 0x3042, 0x3042}, {WM_CHAR, 0x0A, 0x0D}, {WM_CHAR, 0x0D, 0x0D},
        {WM_CHAR, 0x1B, 0x1B},   {WM_CHAR, 0x16, 0x16},     {WM_CHAR, 0x07, -1},   {WM_CHAR, 0x1F, -1},
        {WM_KEYDOWN, VK_LEFT, 0x1D}, {WM_KEYDOWN, VK_NEXT, 0x15}, {WM_KEYDOWN, VK_DELETE, 0x10},
        {WM_KEYDOWN, VK_F5, -1},
    };
    for (const Case &c : cases) {
        InitializeInputCharBuffer();
        PostMessageW(GetMainWindowHandle(), c.Message, c.Key, 0);
        EXPECT_EQ(0, ProcessMessage());
        uint16_t units[2] = {};
        int taken = TakeInputChar(units, 1);
        if (c.Expected < 0) {
            EXPECT_EQ(0, taken) << std::hex << c.Key;
        } else {
            EXPECT_EQ(1, taken) << std::hex << c.Key;
            EXPECT_EQ(c.Expected, units[0]) << std::hex << c.Key;
        }
    }
}

TEST_F(MainWindow, CharacterBufferHolds1024UnitsAndKeepsPairsTogether)
{
    InitializeInputCharBuffer();
    for (int i = 0; i < 1024; ++i) ASSERT_EQ(0, StoreInputChar(static_cast<uint16_t>('A' + i % 26)));
    EXPECT_EQ(-1, StoreInputChar('x'));
    SendMessageW(GetMainWindowHandle(), WM_KEYDOWN, VK_LEFT, 0);  // dropped: full
    uint16_t units[2];
    for (int i = 0; i < 1024; ++i) ASSERT_EQ(1, TakeInputChar(units, 1));
    EXPECT_EQ(0, TakeInputChar(units, 1));

    StoreInputChar(0xD83D);  // a high surrogate waits for its pair
    EXPECT_EQ(0, TakeInputChar(units, 1));
    StoreInputChar(0xDE00);
    EXPECT_EQ(2, TakeInputChar(units, 0));  // a look leaves it there
    EXPECT_EQ(2, TakeInputChar(units, 1));
    EXPECT_EQ(0xD83D, units[0]);
    EXPECT_EQ(0xDE00, units[1]);
    EXPECT_EQ(0, TakeInputChar(units, 1));
}

TEST_F(MainWindow, ClipboardTextIsOwnedByTheMainWindow)
{
    EXPECT_EQ(0, SetClipboardText(L"tarvex clip"));
    EXPECT_EQ(GetMainWindowHandle(), GetClipboardOwner());
    int size = GetClipboardText(nullptr);
    ASSERT_GT(size, 0);
    std::vector<wchar_t> buffer(size / 2 + 1);
    EXPECT_EQ(0, GetClipboardText(buffer.data()));
    EXPECT_STREQ(L"tarvex clip", buffer.data());
}

TEST_F(MainWindow, MenuItemNamesAndItems)
{
    char name[512];
    ASSERT_EQ(0, GetMenuItemNameById(kOpenItem, name));
    wchar_t wide[128];
    ConvertCharCode(name, GetCurrentCharCodeFormat(), reinterpret_cast<char *>(wide), sizeof(wide), CHAR_CODE_UTF16LE);
    EXPECT_STREQ(L"MMLを開く(&O)", wide);
    ASSERT_EQ(0, GetMenuItemNameById(40010, name));
    EXPECT_EQ(-1, GetMenuItemNameById(12345, name));

    HMENU file = GetSubMenu(GetMenu(GetMainWindowHandle()), 0);
    MenuItemInfoData info;
    EXPECT_EQ(0, GetMenuItemInfoByPosition(file, 2, &info));
    EXPECT_EQ(40002, info.ID);
    EXPECT_STREQ(L"終了(&X)", info.Name);
    EXPECT_EQ(1, GetMenuItemInfoByPosition(file, 1, &info));  // the separator
    EXPECT_EQ(-1, GetMenuItemInfoByPosition(file, 9, &info));
    // The table holds both popups and the three commands, not the separator.
    EXPECT_EQ(5, MainWindowState.MenuItemNum);
}

// In scaling mode a window size becomes extend rates over the draw screen (640 x 480 without a
// graphics layer) instead of a stored size.
TEST_F(MainWindow, WindowSizeInScalingModeBecomesExtendRates)
{
    int width = 0, height = 0, depth = 0;
    GetDisplayInfo(&width, &height, &depth, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(1920, width);
    EXPECT_EQ(1080, height);
    EXPECT_EQ(32, depth);

    // Without a graphics layer the draw screen is 640 x 480.
    SubsystemHooksData.GetDrawScreenSize = nullptr;
    SetWindowSizeChangeEnableFlag(1, 1);
    EXPECT_EQ(0, SetWindowSize(1280, 720));
    double x = 0, y = 0;
    EXPECT_EQ(2.0, GetWindowSizeExtendRate(&x, &y));
    EXPECT_EQ(2.0, x);
    EXPECT_EQ(1.5, y);
    EXPECT_EQ(0, MainWindowState.Setup.WindowSizeSetFlag);
    GetWindowClientSize(&width, &height);
    EXPECT_EQ(1280, width);
    EXPECT_EQ(720, height);

    // Back to the application's free size and draw screen.
    SubsystemHooksData.GetDrawScreenSize = ApplicationDrawScreenSize;
    SetWindowSizeChangeEnableFlag(1, 0);
    SetWindowSize(1299, 755);
    ChangeWindowStyle(1);
    GetWindowClientSize(&width, &height);
    EXPECT_EQ(1299, width);
    EXPECT_EQ(755, height);
}

// Runs only in the second copy of this program that the next test starts.
TEST(MainWindowChild, SecondInstanceIsRefused)
{
    if (GetEnvironmentVariableW(kChildVariable, nullptr, 0) == 0) GTEST_SKIP();
    ApplyApplicationWindowSettings();
    int result = CreateMainWindow();
    int error = GetLastErrorInfo(nullptr, 0);
    bool windowMade = GetMainWindowHandle() != nullptr;
    _exit(result == -1 && error == 0x1010002 && !windowMade && GetLibraryEndFlag() ? kChildExitRefused : 1);
}

TEST_F(MainWindow, SecondProcessIsRefused)
{
    EXPECT_EQ(static_cast<unsigned long>(kChildExitRefused), RunThisProgramAgain(L"MainWindowChild.*", kChildVariable));
    EXPECT_TRUE(IsWindow(GetMainWindowHandle()));  // the first window keeps running
}

}  // namespace
