// The message pump: per-call work through the subsystem hooks, waiting while the window is
// inactive, the end of the application, and a new window after an end.
#include "window_test_support.h"

#include "zovuz/core/clock.h"
#include "zovuz/core/library_state.h"
#include "zovuz/core/subsystem_hooks.h"
#include "zovuz/core/system_info_internal.h"
#include "zovuz/core/desktop/windows/window_state_win.h"
#include "zovuz/core/library_state_internal.h"
#include "zovuz/core/subsystem_hooks_internal.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace {

std::string Calls;
int DeleteOnEndCalls;

int StreamSounds() { Calls += "stream "; return 0; }
int SoftSoundPlayers() { Calls += "players "; return 0; }
int PlayedSoundList() { Calls += "played "; return 0; }
int DeleteOnEnd() { Calls += "delete "; DeleteOnEndCalls++; return 0; }
int ExpireTextures() { Calls += "textures "; return 0; }
int MusicHandles() { Calls += "music "; return 0; }

class MessagePump : public testing::Test {
protected:
    void SetUp() override
    {
        ApplyApplicationWindowSettings();
        ASSERT_EQ(0, CreateMainWindow());
        KeepSystemFocusChangesAway();
        ProcessMessage();  // whatever the window's creation queued
        MainWindowState.WindowActiveFlag = 1;
        SubsystemHooksData = SubsystemHooks();
        SubsystemHooksData.ProcessStreamSounds = StreamSounds;
        SubsystemHooksData.ProcessSoftSoundPlayers = SoftSoundPlayers;
        SubsystemHooksData.ProcessPlayedSoundList = PlayedSoundList;
        SubsystemHooksData.ProcessDeleteOnPlayEndSounds = DeleteOnEnd;
        SubsystemHooksData.Graphics_Hardware_ExpireMemoryTextureCache = ExpireTextures;
        SubsystemHooksData.ProcessMusicHandles = MusicHandles;
        Calls.clear();
        DeleteOnEndCalls = 0;
    }
    void TearDown() override
    {
        SubsystemHooksData = SubsystemHooks();
        SetProcessorCountOverride(0);
        SetAlwaysRunFlag(1);
        LibraryState.Ending = 0;
        EndMainWindowForTest();
    }
};

// Without a sound thread (one processor, or the sound layer says none runs) the pump refills the
// sound buffers.
TEST_F(MessagePump, PerCallWorkRunsInOrderAndRefillsSoundOnOneProcessor)
{
    struct Case {
        int Processors;
        int (*ThreadExists)(void);  // the sound layer's answer; null when it has none
        const char *Expected;
    } cases[] = {
        {1, nullptr, "stream players played delete textures music "},
        {2, nullptr, "delete textures music "},
        {8, nullptr, "delete textures music "},
        {8, [] { return 0; }, "stream players played delete textures music "},  // the thread was not made
        {8, [] { return 1; }, "delete textures music "},
    };
    for (const Case &c : cases) {
        SetProcessorCountOverride(c.Processors);
        SubsystemHooksData.SoundThreadExists = c.ThreadExists;
        Calls.clear();
        EXPECT_EQ(0, ProcessMessage());
        EXPECT_EQ(c.Expected, Calls) << c.Processors << (c.ThreadExists ? " with the thread hook" : "");
    }
}

TEST_F(MessagePump, InactiveWindowWaitsUntilItIsActiveAgain)
{
    SetAlwaysRunFlag(0);
    MainWindowState.WindowActiveFlag = 0;
    EXPECT_EQ(1, CheckNeedInactiveWait());
    std::atomic<bool> posted{false};
    std::thread activator([&posted] {
        Sleep(100);
        posted = true;
        PostMessageW(GetMainWindowHandle(), WM_ACTIVATEAPP, 1, 0);
    });
    EXPECT_EQ(0, ProcessMessage());
    EXPECT_TRUE(posted);
    EXPECT_EQ(1, GetWindowActiveFlag());
    activator.join();
}

// Each waiting pass runs the background work once; the call's own work runs once more at the end.
TEST_F(MessagePump, WaitingPassesCountedByTheirBackgroundWork)
{
    struct Case {
        int AlwaysRun;
        int Ending;
        int DeleteOnEndCalls;
    } cases[] = {
        {1, 0, 1},   // keeps running while inactive: one drain, no waiting pass
        {0, 4, 11},  // after WM_CLOSE an inactive wait ends after ten passes
        {0, 1, 11},  // so does it during the library's end
    };
    for (const Case &c : cases) {
        SetAlwaysRunFlag(c.AlwaysRun);
        LibraryState.Ending = c.Ending;
        MainWindowState.WindowActiveFlag = 0;
        DeleteOnEndCalls = 0;
        EXPECT_EQ(0, ProcessMessage());
        EXPECT_EQ(c.DeleteOnEndCalls, DeleteOnEndCalls) << c.AlwaysRun << " " << c.Ending;
    }
}

TEST_F(MessagePump, CallFromAnotherThreadNeverWaits)
{
    SetAlwaysRunFlag(0);
    MainWindowState.WindowActiveFlag = 0;
    std::atomic<int> result{1};
    std::thread other([&result] { result = ProcessMessage(); });
    for (int i = 0; i < 10000 && result == 1; ++i) Sleep(1);
    EXPECT_EQ(0, result.load());
    MainWindowState.WindowActiveFlag = 1;  // frees a wrongly waiting thread
    other.join();
}

TEST_F(MessagePump, InactiveWaitIsNeededOnlyWhenNothingExcusesIt)
{
    struct Case {
        int Active, Minimized, AlwaysRun, InsidePaint, Expected;
    } cases[] = {
        {1, 0, 0, 0, 0}, {0, 0, 0, 0, 1}, {1, 1, 0, 0, 1}, {0, 0, 1, 0, 0}, {0, 0, 0, 1, 0},
    };
    for (const Case &c : cases) {
        MainWindowState.WindowActiveFlag = c.Active;
        MainWindowState.MinimizedFlag = c.Minimized;
        MainWindowState.InsidePaintFlag = c.InsidePaint;
        SetAlwaysRunFlag(c.AlwaysRun);
        EXPECT_EQ(c.Expected, CheckNeedInactiveWait()) << c.Active << c.Minimized << c.AlwaysRun << c.InsidePaint;
    }
    MainWindowState.WindowActiveFlag = 1;
    MainWindowState.MinimizedFlag = 0;
    MainWindowState.InsidePaintFlag = 0;
}

TEST_F(MessagePump, QuitEndsEveryLaterCall)
{
    PostQuitMessage(0);
    EXPECT_EQ(-1, ProcessMessage());
    EXPECT_EQ(1, GetLibraryEndFlag());

    PostMessageW(GetMainWindowHandle(), WM_USER + 7, 0, 0);
    EXPECT_EQ(-1, ProcessMessage());
    MSG message;
    EXPECT_TRUE(PeekMessageW(&message, nullptr, WM_USER + 7, WM_USER + 7, PM_NOREMOVE));
}

// The window is closed in the middle of a drain: what is queued behind the close stays queued.
TEST_F(MessagePump, MessagesBehindTheEndStayInTheQueue)
{
    PostMessageW(GetMainWindowHandle(), WM_CLOSE, 0, 0);
    PostThreadMessageW(GetCurrentThreadId(), WM_USER + 8, 0, 0);
    EXPECT_EQ(-1, ProcessMessage());
    EXPECT_EQ(1, GetWindowDestroyedFlag());
    MSG message;
    EXPECT_TRUE(PeekMessageW(&message, nullptr, WM_USER + 8, WM_USER + 8, PM_REMOVE));
}

// An inactive window finishes a deferred repaint once 64 ms have passed since the last one.
TEST_F(MessagePump, PendingRepaintIsFinishedWhileWaiting)
{
    static int refreshes;
    SubsystemHooksData.RefreshScreen = [] { refreshes++; return 0; };
    struct Case {
        int Pending;
        int Refreshes;
    } cases[] = {{1, 1}, {0, 0}};
    for (const Case &c : cases) {
        refreshes = 0;
        SetAlwaysRunFlag(0);
        LibraryState.Ending = 4;
        MainWindowState.WindowActiveFlag = 0;
        MainWindowState.RepaintPendingFlag = c.Pending;
        MainWindowState.LastRepaintTime = GetNowMilliCount() - 1000;
        EXPECT_EQ(0, ProcessMessage());
        EXPECT_EQ(c.Refreshes, refreshes) << c.Pending;
        EXPECT_EQ(0, MainWindowState.RepaintPendingFlag);
    }
}

// Ending the window posts WM_QUIT, which the ended pump leaves queued; a new window is not
// ended by it.
TEST_F(MessagePump, NewWindowAfterAnEndKeepsRunning)
{
    EXPECT_EQ(0, TerminateMainWindow());
    EXPECT_EQ(1, GetWindowDestroyedFlag());
    EXPECT_EQ(-1, ProcessMessage());
    MSG message;
    EXPECT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));

    ASSERT_EQ(0, CreateMainWindow());
    EXPECT_EQ(0, ProcessMessage());
    EXPECT_EQ(0, GetWindowDestroyedFlag());
}

}  // namespace
