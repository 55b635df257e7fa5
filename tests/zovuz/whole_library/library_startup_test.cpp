// The library's start and end with the application's set-up calls: the steps in their order in
// the log, the end in reverse, a new start after an end, the refusals, and the fatal-error exit.
#include "zovuz/startup/startup_internal.h"

#include "tests/support/test_files.h"
#include "tests/zovuz/core/desktop/window_test_support.h"
#include "zovuz/core/api_lock_internal.h"
#include "zovuz/core/library_state.h"
#include "zovuz/core/text/log_internal.h"
#include "zovuz/core/desktop/windows/window_state_win.h"
#include "zovuz/core/zovuz_core.h"
#include "zovuz/graphics/zovuz_graphics.h"
#include "zovuz/sound/zovuz_sound.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <stdlib.h>
#include <string>
#include <vector>

namespace {

const wchar_t kChildVariable[] = L"TARVEX_STARTUP_CHILD";
constexpr int kChildExitRefused = 42;

bool IsChild() { return GetEnvironmentVariableW(kChildVariable, nullptr, 0) != 0; }

// Where each text first stands in Log from Start on; npos for one that is missing or out of order.
std::vector<size_t> Positions(const std::wstring &Log, const std::vector<std::wstring> &Texts, size_t Start = 0)
{
    std::vector<size_t> found;
    size_t at = Start;
    for (const std::wstring &text : Texts) {
        at = at == std::wstring::npos ? at : Log.find(text, at);
        found.push_back(at);
    }
    return found;
}

const std::vector<std::wstring> kStartSteps = {
    L"RUrazadの初期化処理開始", L"システムの情報を出力します", L"ＣＯＭの初期化", L"非同期読み込み処理の初期化",
    L"ウインドウの作成に成功しました", L"DirectSound の初期化を行います", L"DirectSound の初期化は正常に終了しました",
    L"RUrazadの初期化処理終了"};
const std::vector<std::wstring> kEndSteps = {
    L"DirectSound の終了処理は正常に終了しました", L"ウインドウを閉じようとしています", L"ウインドウが破棄されようとしています", L"ＣＯＭを終了", L"Alloc memory dump"};

DWORD RunChild(const wchar_t *Filter) { return RunThisProgramAgain(Filter, kChildVariable); }

class LibraryStartup : public testing::Test {
protected:
    void SetUp() override
    {
        if (IsChild()) GTEST_SKIP();
        RemoveLogFile();
        ApplyApplicationWindowSettings();
    }
    void TearDown() override
    {
        LibraryEnd();
        SetDesktopColorBitDepthOverride(0);
        ChangeWindowMode(1);
    }
};

TEST_F(LibraryStartup, StartsAndEndsInTheirOrderAgainAndAgain)
{
    EXPECT_EQ(0, LibraryEnd());  // before any start: nothing to end
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ApplyApplicationWindowSettings();
        ASSERT_EQ(0, LibraryInit());
        HWND window = GetMainWindowHandle();
        ASSERT_NE(nullptr, window);
        EXPECT_TRUE(IsWindowVisible(window));
        EXPECT_EQ(1, IsLibraryStarted());
        EXPECT_EQ(0, IsLibraryStarting());
        EXPECT_NE(nullptr, GetSubsystemHooks()->TerminateLibrary);
        EXPECT_EQ(GetSubsystemHooks()->ProcessSoftSoundPlayers, &ProcessSoftSoundPlayers);
        EXPECT_EQ(GetSubsystemHooks()->SoundThreadExists, &SoundThreadExists);
        const int player = MakeSoftSoundPlayer2Ch16Bit44100Hz();
        EXPECT_GE(player, 0);
        EXPECT_EQ(0, StartSoftSoundPlayer(player));
        // The set size holds through start-up and is forgotten once it has ended.
        RECT client;
        GetClientRect(window, &client);
        EXPECT_EQ(1299, client.right);
        EXPECT_EQ(755, client.bottom);
        EXPECT_EQ(0, MainWindowState.Setup.WindowSizeSetFlag);
        EXPECT_EQ(0, ProcessMessage());

        EXPECT_EQ(0, LibraryInit());  // already started: nothing happens
        EXPECT_EQ(window, GetMainWindowHandle());

        EXPECT_EQ(0, LibraryEnd());
        EXPECT_EQ(0, IsLibraryStarted());
        EXPECT_FALSE(IsWindow(window));
        EXPECT_EQ(nullptr, FindWindowW(L"tarvex", nullptr));
        EXPECT_EQ(nullptr, GetSubsystemHooks()->TerminateLibrary);
        EXPECT_EQ(-1, AddOneDataSoftSoundPlayer(player, 0, 0));  // the sound system has ended
        EXPECT_EQ(0, SoundThreadExists());
        EXPECT_EQ(0, GetDxFunctionLockDepth());
        EXPECT_EQ(0, LibraryEnd());
    }

    const std::wstring log = ReadLogText();
    size_t from = 0;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        std::vector<size_t> start = Positions(log, kStartSteps, from);
        ASSERT_NE(std::wstring::npos, start.back()) << "start-up steps missing or out of order";
        std::vector<size_t> end = Positions(log, kEndSteps, start.back());
        ASSERT_NE(std::wstring::npos, end.back()) << "shut-down steps missing or out of order";
        // The steps inside the start are logged one tab in.
        size_t comLine = log.rfind(L'\n', start[2]);
        EXPECT_EQ(L":\t", log.substr(log.find(L':', comLine), 2));
        from = end.back();
    }
    EXPECT_EQ(std::wstring::npos, log.find(L"RUrazadの初期化処理開始", from)) << "a third start logged";
}

TEST_F(LibraryStartup, A24BitDesktopIsRefusedInWindowModeOnly)
{
    struct Case {
        int WindowMode;
        int DesktopDepth;
        int Result;
    } cases[] = {
        {1, 24, -1},
        {1, 32, 0},
        {0, 24, 0},  // full screen does not draw on the desktop's format
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "window mode " << c.WindowMode << ", depth " << c.DesktopDepth);
        RemoveLogFile();
        SetLastErrorInfo(0, nullptr);
        ChangeWindowMode(c.WindowMode);
        SetDesktopColorBitDepthOverride(c.DesktopDepth);
        EXPECT_EQ(c.Result, LibraryInit());
        const std::wstring log = ReadLogText();
        if (c.Result == 0) {
            EXPECT_NE(nullptr, GetMainWindowHandle());
            // Full screen: this display lists no 640x480x16 mode, so the default request took 32 bits.
            EXPECT_EQ(c.WindowMode ? 16 : 32, GetScreenColorBitDepth());
            EXPECT_EQ(0, GetLastErrorInfo(nullptr, 0));
            EXPECT_EQ(0, LibraryEnd());
            continue;
        }
        EXPECT_EQ(0x1010001, GetLastErrorInfo(nullptr, 0));
        EXPECT_EQ(0, IsLibraryStarted());
        EXPECT_EQ(nullptr, FindWindowW(L"tarvex", nullptr));
        std::vector<size_t> steps = Positions(log, {L"RUrazadは２４ビットカラーモードに対応していません", L"RUrazadの初期化処理失敗"});
        EXPECT_NE(std::wstring::npos, steps.back());
        EXPECT_EQ(std::wstring::npos, log.find(L"ＣＯＭの初期化"));
    }
}

// Runs only in the second copy of this program that the next test starts.
TEST(LibraryStartupChild, SecondInstanceIsRefused)
{
    if (!IsChild()) GTEST_SKIP();
    ApplyApplicationWindowSettings();
    int result = LibraryInit();
    int error = GetLastErrorInfo(nullptr, 0);
    _exit(result == -1 && error == 0x1010002 && IsLibraryStarted() == 0 ? kChildExitRefused : 1);
}

TEST_F(LibraryStartup, SecondInstanceIsRefused)
{
    ASSERT_EQ(0, LibraryInit());
    EXPECT_EQ(static_cast<DWORD>(kChildExitRefused), RunChild(L"LibraryStartupChild.SecondInstanceIsRefused"));
    EXPECT_TRUE(IsWindow(GetMainWindowHandle()));  // the first instance keeps running
    EXPECT_EQ(0, ProcessMessage());
}

// Runs only in a child: ends the program through the fatal-error exit.
TEST(LibraryStartupChild, FatalErrorExit)
{
    if (!IsChild()) GTEST_SKIP();
    ApplyApplicationWindowSettings();
    if (LibraryInit() != 0) _exit(1);
    FatalErrorExitFormat(L"致命的な誤り %d %s", 7, L"文字");
    _exit(2);  // not reached
}

TEST_F(LibraryStartup, FatalErrorExitEndsTheLibraryAndTheProcess)
{
    EXPECT_EQ(static_cast<DWORD>(-1), RunChild(L"LibraryStartupChild.FatalErrorExit"));
    const std::wstring log = ReadLogText();
    std::vector<size_t> steps = Positions(log, {L"RUrazadの初期化処理終了", L"致命的な誤り 7 文字\r\n"});
    ASSERT_NE(std::wstring::npos, steps.back());
    EXPECT_NE(std::wstring::npos, Positions(log, kEndSteps, steps.back()).back()) << "the library was not ended";
    EXPECT_EQ(nullptr, FindWindowW(L"tarvex", nullptr));
}

}  // namespace
