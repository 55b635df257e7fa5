// The sound thread: one service pass every 10 ms at time-critical priority, on machines with
// more than one processor.
#include "zovuz/sound/sound_thread_internal.h"
#include "zovuz/sound/sound_platform_internal.h"

#include "zovuz/core/zovuz_core.h"

#include <windows.h>

namespace {

// The stop flag's values (anything else lets the thread run).
constexpr LONG StopAsked = 1;
constexpr LONG Stopped = 2;

constexpr DWORD PassIntervalMilliSeconds = 10;
constexpr DWORD StopPollMilliSeconds = 2;

struct SoundThreadData
{
    HANDLE Handle;           // the thread, null when none was made (or it has been stopped)
    DWORD ThreadID;          // its Windows id
    volatile LONG StopFlag;  // written by the stopper and by the thread itself, polled by the thread
    int FailCreateForTest;   // test hook: creation fails as if CreateThread had
};
SoundThreadData SoundThread;

DWORD WINAPI SoundThreadMain(LPVOID)
{
    if (SoundThread.StopFlag != StopAsked) {
        while (SoundServiceIsActive()) {
            RunSoundServicePass();
            Sleep(PassIntervalMilliSeconds);
            if (SoundThread.StopFlag == StopAsked) break;
        }
    }
    InterlockedExchange(&SoundThread.StopFlag, Stopped);
    ExitThread(0);
}

}  // namespace

int StartSoundThread(void)
{
    if (SoundThread.Handle != nullptr) return 0;  // one thread at a time: a second start keeps the running one
    if (GetProcessorCount() > 1) {
        DWORD id = 0;
        HANDLE thread = nullptr;
        DWORD error = ERROR_NOT_ENOUGH_MEMORY;
        // A stop asked after an earlier thread had already ended by itself would end the new
        // thread at once: a new thread starts with a clear flag.
        InterlockedExchange(&SoundThread.StopFlag, 0);
        if (!SoundThread.FailCreateForTest) {
            thread = CreateThread(nullptr, 0, SoundThreadMain, nullptr, CREATE_SUSPENDED, &id);
            error = GetLastError();
        }
        if (thread == nullptr) {
            // Without the thread the message pump keeps the sound fed.
            AddLogFormat(
                L"サウンドスレッドの作成に失敗しました( エラーコード %u )、サウンドの更新はメッセージ処理で行います\n",
                unsigned(error));
        } else {
            SetThreadPriority(thread, THREAD_PRIORITY_TIME_CRITICAL);
            SoundThread.Handle = thread;
            SoundThread.ThreadID = id;
            ResumeThread(thread);
        }
    }
    AddLogStringWide(L"DirectSound の初期化は正常に終了しました\n");
    return 0;
}

int StopSoundThread(void)
{
    if (!SoundPlatform_IsInitialized()) return -1;
    if (SoundThread.Handle == nullptr) return 0;

    // Pump window messages while waiting, so that a pass blocked on the user-interface thread
    // can finish. Once the window has ended the wait goes on without pumping: what the thread
    // uses is released only after it has ended.
    InterlockedExchange(&SoundThread.StopFlag, StopAsked);
    bool pumping = ProcessMessageNoLock() == 0;
    while (WaitForSingleObject(SoundThread.Handle, StopPollMilliSeconds) == WAIT_TIMEOUT) {
        if (pumping && ProcessMessageNoLock() != 0) pumping = false;
    }
    CloseHandle(SoundThread.Handle);
    SoundThread.Handle = nullptr;
    SoundThread.ThreadID = 0;
    return 0;
}

int SoundThreadExists(void) { return SoundThread.Handle != nullptr ? 1 : 0; }

int GetSoundThreadStopFlag(void) { return int(SoundThread.StopFlag); }

int SetSoundThreadCreateFailForTest(int Fail)
{
    SoundThread.FailCreateForTest = Fail;
    return 0;
}
