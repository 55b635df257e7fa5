// The sound thread on the started device beside the library's main window: passes every 10 ms at
// time-critical priority with one of the two locks at a time, the stop handshake (also after the
// window was closed, and with a pass that waits for the window), and the message pump doing the
// refills when there is no thread (one processor, or a thread that could not be made).
#include "sound_device_support.h"

#include "zovuz/core/subsystem_hooks.h"
#include "zovuz/core/system_info_internal.h"
#include "zovuz/core/desktop/windows/window_state_win.h"
#include "zovuz/core/zovuz_core.h"
#include "zovuz/sound/sound_platform_internal.h"
#include "zovuz/sound/sound_thread_internal.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace {

// One call of a service step, as seen from inside it.
struct ServiceCall {
    char Step;              // 'S' stream sounds, 'P' played list, 'F' SoftSound players
    DWORD ThreadID;         // the calling thread
    int Priority;           // its priority
    bool HoldsSoundLock;    // the Sound type's lock is held by the caller
    bool HoldsPlayerLock;   // the SoftSound type's lock is held by the caller
    LONGLONG Time;          // performance counter
};

std::mutex CallsLock;
std::vector<ServiceCall> Calls;
std::atomic<int> SoundSystemStarted{1};

bool HeldByCaller(int HandleType)
{
    const CRITICAL_SECTION *section =
        reinterpret_cast<const CRITICAL_SECTION *>(&GetHandleManage(HandleType)->CriticalSection.Section);
    return section->OwningThread == ULongToHandle(GetCurrentThreadId());
}

void Record(char Step)
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    ServiceCall call = {Step, GetCurrentThreadId(), GetThreadPriority(GetCurrentThread()),
                        HeldByCaller(DX_HANDLETYPE_SOUND), HeldByCaller(DX_HANDLETYPE_SOFTSOUND), now.QuadPart};
    std::lock_guard<std::mutex> lock(CallsLock);
    Calls.push_back(call);
}

std::vector<ServiceCall> TakeCalls()
{
    std::lock_guard<std::mutex> lock(CallsLock);
    std::vector<ServiceCall> calls;
    calls.swap(Calls);
    return calls;
}

std::string Steps(const std::vector<ServiceCall> &CallList)
{
    std::string steps;
    for (const ServiceCall &call : CallList)
        steps += call.Step;
    return steps;
}

// Ends the main window as the library's end does, also a window the pump left alive after the
// quit flag was set, and unregisters its class.
void EndMainWindow()
{
    HWND window = GetMainWindowHandle();
    TerminateMainWindow();
    while (window != NULL && IsWindow(window))
    {
        DestroyWindow(window);
        MSG message;
        while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }
    UnregisterClassW(MainWindowState.Setup.ClassName, GetModuleHandleW(NULL));
}

class SoundThreadTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        InitializeCom();
        InitializeHandleType(DX_HANDLETYPE_SOUND, sizeof(HandleInfo), 16, nullptr, nullptr, L"Sound");
        InitializeHandleType(DX_HANDLETYPE_SOFTSOUND, sizeof(HandleInfo), 16, nullptr, nullptr, L"SoftSound");
    }
    void SetUp() override
    {
        ChangeWindowMode(1);
        SetAlwaysRunFlag(1);
        SetMainWindowText("tarvex sound thread");
        ASSERT_EQ(0, CreateMainWindow());
        ProcessMessage();  // whatever the window's creation queued
        ASSERT_EQ(0, InitializeSoundPlatform());
        SoundSystemStarted = 1;
        SoundService.IsSoundSystemStarted = [] { return SoundSystemStarted.load(); };
        SoundService.ProcessStreamSounds = [] { Record('S'); return 0; };
        SoundService.ProcessPlayedSoundList = [] { Record('P'); return 0; };
        SoundService.ProcessSoftSoundPlayers = [] { Record('F'); return 0; };
        // What the library's start-up gives the pump: the same steps, and whether a thread runs.
        *GetSubsystemHooks() = SubsystemHooks();
        GetSubsystemHooks()->ProcessStreamSounds = SoundService.ProcessStreamSounds;
        GetSubsystemHooks()->ProcessSoftSoundPlayers = SoundService.ProcessSoftSoundPlayers;
        GetSubsystemHooks()->ProcessPlayedSoundList = SoundService.ProcessPlayedSoundList;
        GetSubsystemHooks()->SoundThreadExists = SoundThreadExists;
        TakeCalls();
    }
    void TearDown() override
    {
        EXPECT_EQ(0, StopSoundThread());
        EXPECT_EQ(0, SoundThreadExists());
        TerminateSoundPlatform();
        *GetSubsystemHooks() = SubsystemHooks();
        SoundService = SoundServiceFunctions();
        SetProcessorCountOverride(0);
        SetSoundThreadCreateFailForTest(0);
        SetLibraryEnding(0);
        EndMainWindow();
    }
};

TEST_F(SoundThreadTest, RunsAPassEvery10msAtTimeCriticalPriorityWithOneLockAtATime)
{
    SetProcessorCountOverride(4);
    LogReader log;
    ASSERT_EQ(0, StartSoundThread());
    ASSERT_EQ(1, SoundThreadExists());
    EXPECT_TRUE(log.HasInOrder({L"DirectSound の初期化は正常に終了しました\n"}));
    EXPECT_EQ(0, StartSoundThread());  // a second start keeps the running thread
    // The pump leaves the refills to the thread.
    for (int i = 0; i < 8; i++)
    {
        ProcessMessage();
        Sleep(50);
    }
    EXPECT_EQ(0, StopSoundThread());
    EXPECT_EQ(2, GetSoundThreadStopFlag());
    EXPECT_EQ(0, SoundThreadExists());
    std::vector<ServiceCall> calls = TakeCalls();
    Sleep(50);
    EXPECT_TRUE(TakeCalls().empty()) << "no pass after the stop";

    ASSERT_GE(calls.size(), 3u * 5);
    std::string steps = Steps(calls);
    steps.resize(steps.size() / 3 * 3);
    for (size_t i = 0; i + 3 <= steps.size(); i += 3)
        ASSERT_EQ("SPF", steps.substr(i, 3)) << "pass " << i / 3;

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    for (const ServiceCall &call : calls)
    {
        EXPECT_NE(GetCurrentThreadId(), call.ThreadID);
        EXPECT_EQ(THREAD_PRIORITY_TIME_CRITICAL, call.Priority);
        EXPECT_EQ(call.Step != 'F', call.HoldsSoundLock) << call.Step;
        EXPECT_EQ(call.Step == 'F', call.HoldsPlayerLock) << call.Step;
    }
    std::vector<double> intervals;
    for (size_t i = 3; i < calls.size(); i += 3)
        intervals.push_back(double(calls[i].Time - calls[i - 3].Time) * 1000.0 / double(frequency.QuadPart));
    std::sort(intervals.begin(), intervals.end());
    double median = intervals[intervals.size() / 2];
    EXPECT_GE(median, 5.0);
    EXPECT_LE(median, 60.0);
}

TEST_F(SoundThreadTest, EndsByItselfWhenTheSoundSystemStops)
{
    SetProcessorCountOverride(2);
    ASSERT_EQ(0, StartSoundThread());
    Sleep(30);
    SoundSystemStarted = 0;
    for (int i = 0; i < 200 && GetSoundThreadStopFlag() != 2; i++)
        Sleep(5);
    EXPECT_EQ(2, GetSoundThreadStopFlag());
    TakeCalls();
    Sleep(30);
    EXPECT_TRUE(TakeCalls().empty());
}

// After the window was closed the pump reports the end at once; the stop still waits for the
// thread to finish its pass before the device is released.
TEST_F(SoundThreadTest, StopWaitsForTheThreadAlsoWhenTheWindowWasClosedFirst)
{
    static std::atomic<int> passesInside{0};
    SoundService.ProcessSoftSoundPlayers = [] {
        passesInside++;
        Sleep(60);
        passesInside--;
        return 0;
    };
    SetProcessorCountOverride(2);
    ASSERT_EQ(0, StartSoundThread());
    Sleep(30);
    PostMessageW(GetMainWindowHandle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(-1, ProcessMessage());
    for (int i = 0; i < 100 && passesInside == 0; i++)
        Sleep(1);
    ASSERT_EQ(1, passesInside.load()) << "the stop is asked in the middle of a pass";
    EXPECT_EQ(0, StopSoundThread());
    EXPECT_EQ(0, passesInside.load());
    EXPECT_EQ(2, GetSoundThreadStopFlag());
}

// A pass that waits for the user-interface thread finishes because the stop pumps messages.
TEST_F(SoundThreadTest, PassWaitingForTheWindowFinishesDuringTheStop)
{
    static std::atomic<int> answered{0};
    static HWND window;
    window = GetMainWindowHandle();
    answered = 0;
    SoundService.ProcessSoftSoundPlayers = [] {
        DWORD_PTR result = 0;
        if (SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 3000, &result) != 0)
            answered++;
        return 0;
    };
    SetProcessorCountOverride(2);
    ASSERT_EQ(0, StartSoundThread());
    ProcessMessage();
    Sleep(30);  // the thread now waits for the window, which nobody pumps but the stop
    EXPECT_EQ(0, StopSoundThread());
    EXPECT_GE(answered.load(), 1);
    EXPECT_EQ(2, GetSoundThreadStopFlag());
}

// Without a thread the message pump runs the three steps on its own thread, in its own order
// and without the thread's locks.
TEST_F(SoundThreadTest, WithoutAThreadThePumpRefills)
{
    const struct { const char *Case; int Processors, FailCreate; const wchar_t *Logged; } cases[] = {
        {"one processor", 1, 0, nullptr},
        {"thread not made", 2, 1, L"サウンドスレッドの作成に失敗しました"},
    };
    for (const auto &c : cases)
    {
        SetProcessorCountOverride(c.Processors);
        SetSoundThreadCreateFailForTest(c.FailCreate);
        LogReader log;
        ASSERT_EQ(0, StartSoundThread()) << c.Case;
        EXPECT_EQ(0, SoundThreadExists()) << c.Case;
        if (c.Logged != nullptr)
        {
            EXPECT_TRUE(log.HasInOrder({c.Logged})) << c.Case;
        }
        EXPECT_TRUE(log.HasInOrder({L"DirectSound の初期化は正常に終了しました\n"})) << c.Case;
        Sleep(30);
        EXPECT_TRUE(TakeCalls().empty()) << c.Case;
        EXPECT_EQ(0, ProcessMessage());
        std::vector<ServiceCall> calls = TakeCalls();
        EXPECT_EQ("SFP", Steps(calls)) << c.Case;
        for (const ServiceCall &call : calls)
        {
            EXPECT_EQ(GetCurrentThreadId(), call.ThreadID);
            EXPECT_FALSE(call.HoldsSoundLock || call.HoldsPlayerLock);
        }
        EXPECT_EQ(0, StopSoundThread()) << c.Case;
    }
}

TEST(SoundThreadNoDevice, StopBeforeTheDeviceStartsFails)
{
    ASSERT_EQ(0, SoundPlatform_IsInitialized());
    EXPECT_EQ(-1, StopSoundThread());
}

}  // namespace
