// The message pump: one call empties the thread's message queue, waits while the main window is
// inactive, and runs the library's per-frame background work.
#include "zovuz/core/desktop/windows/window_state_win.h"

#include "zovuz/core/api_lock.h"
#include "zovuz/core/handle/async_load.h"
#include "zovuz/core/clock.h"
#include "zovuz/core/desktop/ime_internal.h"
#include "zovuz/core/desktop/input_internal.h"
#include "zovuz/core/library_state.h"
#include "zovuz/core/memory/memory_internal.h"
#include "zovuz/core/network.h"
#include "zovuz/core/subsystem_hooks.h"
#include "zovuz/core/system_info.h"
#include "zovuz/core/library_state_internal.h"
#include "zovuz/core/subsystem_hooks_internal.h"

namespace {

// The window waits: it is inactive or minimised and the program does not keep running then.
bool InWaitingState(void)
{
    const MainWindowData &w = MainWindowState;
    return (!w.WindowActiveFlag || w.MinimizedFlag) && !w.Setup.AlwaysRunFlag;
}

// Whether the loop may end: nothing keeps the window waiting.
bool NeedsNoWait(void)
{
    const MainWindowData &w = MainWindowState;
    return w.ClosePostedFlag || w.ActivateQueueNum > 0 || !InWaitingState();
}

// Without a sound thread (one processor, or the thread could not be made) the pump refills the
// sound buffers.
void RunSingleProcessorSoundService(void)
{
    int threadRuns = SubsystemHooksData.SoundThreadExists != NULL ? SubsystemHooksData.SoundThreadExists()
                                                                  : GetProcessorCount() >= 2;
    if (threadRuns) return;
    CallSubsystemHook(SubsystemHooksData.ProcessStreamSounds);
    CallSubsystemHook(SubsystemHooksData.ProcessSoftSoundPlayers);
    CallSubsystemHook(SubsystemHooksData.ProcessPlayedSoundList);
}

// A partial repaint deferred by the paint handler is finished once its wait has passed.
void FinishPendingRepaint(void)
{
    MainWindowData &w = MainWindowState;
    if (!w.RepaintPendingFlag) return;
    int now = GetNowMilliCount();
    if (now - w.LastRepaintTime < RepaintDeferMilliSeconds) return;
    if (!IsSavedScreenCopyHeld()) CallSubsystemHook(SubsystemHooksData.RefreshScreen);
    w.LastRepaintTime = now;
    w.RepaintPendingFlag = 0;
}

// Takes the next message of the thread or the main window. Returns false when none is there.
// The thread's messages (window -1) and those of its main window are among what a look with no
// window sees: when that look finds none, neither of them holds one, and they are not asked
// again (each look is a round trip to Wine's server, three a frame for nothing).
bool TakeMessage(MSG *Message)
{
    return PeekMessageW(Message, NULL, 0, 0, PM_NOREMOVE) && PeekMessageW(Message, NULL, 0, 0, PM_REMOVE);
}

// Empties the queue. Returns false when the quit flag ends the loop: whatever arrived after the
// quit stays in the queue, unread.
bool DrainQueue(bool *NothingHandled)
{
    MainWindowData &w = MainWindowState;
    for (;;) {
        if (LibraryState.Quit) return false;
        MSG message;
        if (!TakeMessage(&message)) return true;
        if (message.message == WM_ACTIVATEAPP && w.Setup.WindowModeFlag) w.WindowActiveFlag = LOWORD(message.wParam);
        if (message.message == WM_QUIT) SetLibraryQuitFlags();
        if (w.Accelerator == NULL || !TranslateAcceleratorW(w.MainWindow, w.Accelerator, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        *NothingHandled = false;
    }
}

// Background work that goes on while the window waits.
void RunWaitingWork(void)
{
    UpdateMemoryTagTime();
    ProcessNetworkMessages(1);
    RunSingleProcessorSoundService();
    CallSubsystemHook(SubsystemHooksData.ProcessDeleteOnPlayEndSounds);
    CallSubsystemHook(SubsystemHooksData.Graphics_Hardware_ExpireMemoryTextureCache);
    ProcessMainThreadRequests();
}

void RunMessageLoop(void)
{
    MainWindowData &w = MainWindowState;
    int passCount = 0;
    bool nothingHandled = false;
    for (;;) {
        if (NeedsNoWait() && (nothingHandled || LibraryState.Quit)) break;
        nothingHandled = true;

        if (InWaitingState()) {
            Sleep(1);
            FinishPendingRepaint();
        }

        if (!DrainQueue(&nothingHandled)) break;

        if (InWaitingState()) {
            RunWaitingWork();
            Sleep(24);
        }

        if (LibraryState.Quit || GetCurrentThreadId() != w.MainThreadID) break;
        passCount++;
        if (LibraryState.Ending && passCount >= 10) break;
    }
}

void HandleQueuedActivations(void)
{
    MainWindowData &w = MainWindowState;
    while (w.ActivateQueueNum > 0) {
        const uint32_t *entry = w.ActivateQueue[w.ActivateQueueRead];
        uintptr_t wParam = entry[0];
        intptr_t lParam = static_cast<int32_t>(entry[1]);
        int skipCallback = static_cast<int>(entry[2]);
        w.ActivateQueueRead = (w.ActivateQueueRead + 1) % WINDOWACTIVATE_QUEUE_MAXNUM;
        w.ActivateQueueNum--;
        OnWindowActivate(wParam, lParam, skipCallback, 0);
    }
}

void RunPerCallWork(void)
{
    MainWindowData &w = MainWindowState;
    RunSingleProcessorSoundService();
    CallSubsystemHook(SubsystemHooksData.ProcessDeleteOnPlayEndSounds);
    CallSubsystemHook(SubsystemHooksData.Graphics_Hardware_ExpireMemoryTextureCache);
    if (!LibraryState.Quit) ProcessMainThreadRequests();
    CallSubsystemHook(SubsystemHooksData.ProcessMusicHandles);
    RefreshKeyboardInput(0);
    UpdateJoypadInput();
    ProcessNetworkMessages(1);
    UpdateMemoryTagTime();
    // The IME step may pump messages itself; the guard keeps it from re-entering this work.
    w.ImeGuardFlag = 1;
    ProcessInputString();
    w.ImeGuardFlag = 0;
}

}  // namespace

int ProcessMessageNoLock(void)
{
    MainWindowData &w = MainWindowState;
    if (w.ImeGuardFlag) return 0;
    w.PumpActiveFlag = 1;
    if (w.MainWindow == NULL) {
        w.PumpActiveFlag = 0;
        return LibraryState.Quit ? -1 : 0;
    }

    RunMessageLoop();

    bool mainThread = GetCurrentThreadId() == w.MainThreadID;
    if (mainThread && !w.Setup.NotMenuAutoDisplayFlag) CheckFullScreenMenuDisplay();
    if (!w.ClosePostedFlag) HandleQueuedActivations();
    RunPerCallWork();

    w.PumpActiveFlag = 0;
    return LibraryState.Quit ? -1 : 0;
}

int ProcessMessage(void)
{
    EnterDxFunctionLock();
    int result = ProcessMessageNoLock();
    LeaveDxFunctionLock();
    return result;
}

int CheckNeedInactiveWait(void)
{
    const MainWindowData &w = MainWindowState;
    if (CallSubsystemHook(SubsystemHooksData.GetScreenFlipRunningFlag)) return 0;
    if (w.InsidePaintFlag) return 0;
    return InWaitingState() ? 1 : 0;
}

void WaitWhileWindowInactive(void)
{
    const MainWindowData &w = MainWindowState;
    if (!CheckNeedInactiveWait() || LibraryState.Quit || w.MainWindow == NULL) return;
    while (ProcessMessageNoLock() == 0) {
        if (w.WindowActiveFlag && !w.MinimizedFlag) break;
    }
}

int QueueWindowActivate(uintptr_t WParam, intptr_t LParam, int SkipCallbackFlag, int SkipRedrawFlag)
{
    MainWindowData &w = MainWindowState;
    if (!w.PumpActiveFlag || w.CreatingFlag || w.ActivateQueueNum >= WINDOWACTIVATE_QUEUE_MAXNUM) {
        OnWindowActivate(WParam, LParam, SkipCallbackFlag, SkipRedrawFlag);
        return 0;
    }
    uint32_t *entry = w.ActivateQueue[w.ActivateQueueWrite];
    entry[0] = static_cast<uint32_t>(WParam);
    entry[1] = static_cast<uint32_t>(LParam);
    entry[2] = static_cast<uint32_t>(SkipCallbackFlag);
    entry[3] = static_cast<uint32_t>(SkipRedrawFlag);
    w.ActivateQueueWrite = (w.ActivateQueueWrite + 1) % WINDOWACTIVATE_QUEUE_MAXNUM;
    w.ActivateQueueNum++;
    return 0;
}

int GetWindowActivateQueueNum(void) { return MainWindowState.ActivateQueueNum; }
