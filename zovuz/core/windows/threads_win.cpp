// Threads and locks over the Windows calls (see threads.h).
#include "zovuz/core/threads.h"
#include "zovuz/core/threads_internal.h"

#include <windows.h>
#include <string.h>

#include <cstddef>

static_assert(sizeof(CRITICAL_SECTION) <= sizeof(DxOsCriticalSection),
              "DxOsCriticalSection is too small for CRITICAL_SECTION");
static_assert(alignof(CRITICAL_SECTION) <= alignof(DxOsCriticalSection),
              "DxOsCriticalSection is under-aligned for CRITICAL_SECTION");
static_assert(offsetof(DxCriticalSection, Section) == 0, "the Windows section comes first");
static_assert(sizeof(DWORD) == sizeof(uint32_t), "thread ids are 32-bit");

static CRITICAL_SECTION *OsSection(DxCriticalSection *CriticalSection)
{
    return reinterpret_cast<CRITICAL_SECTION *>(&CriticalSection->Section);
}

int CriticalSectionInitialize(DxCriticalSection *CriticalSection)
{
    InitializeCriticalSection(OsSection(CriticalSection));
    RecordCriticalSectionLocker(CriticalSection, NULL, 0, 0);
    return 0;
}

int CriticalSectionDelete(DxCriticalSection *CriticalSection)
{
    DeleteCriticalSection(OsSection(CriticalSection));
    return 0;
}

int CriticalSectionLock(DxCriticalSection *CriticalSection, const char *FilePath, int LineNo)
{
    DWORD threadId = GetCurrentThreadId();
    EnterCriticalSection(OsSection(CriticalSection));

    // Only the thread that has just entered writes the trace, so it needs no guard of its own.
    RecordCriticalSectionLocker(CriticalSection, FilePath, LineNo, threadId);
    return 0;
}

int CriticalSectionUnlock(DxCriticalSection *CriticalSection)
{
    LeaveCriticalSection(OsSection(CriticalSection));
    return 0;
}

// The thread is made suspended, so it cannot touch its procedure before its creator has
// finished filling what the procedure reads and resumed it. (Were it to suspend itself here, a
// resume that came before it had parked would find it running, return 0, and the thread would
// then park for good: callers that resume once expect the thread to start.)
static DWORD WINAPI ThreadStartRoutine(LPVOID Argument)
{
    ThreadRecord *thread = static_cast<ThreadRecord *>(Argument);
    thread->Procedure(thread, thread->Param);
    ExitThread(0);
    return 0;
}

int ThreadCreate(ThreadRecord *Thread, ThreadProcedure Procedure, void *Param)
{
    Thread->Procedure = Procedure;
    Thread->Param = Param;
    DWORD threadId = 0;
    HANDLE handle = CreateThread(NULL, 0, ThreadStartRoutine, Thread, CREATE_SUSPENDED, &threadId);
    Thread->ThreadHandle = handle;
    Thread->ThreadID = handle != NULL ? threadId : 0;
    return handle != NULL ? 0 : -1;
}

int ThreadResume(ThreadRecord *Thread)
{
    // ResumeThread gives the previous suspend count: 0 means the thread was running (a worker
    // that has decided to sleep but not yet suspended itself), and a caller that wants it woken
    // yields and tries again. A failure (-1) also counts as non-zero, so a dead handle never
    // keeps a caller polling.
    return ResumeThread(static_cast<HANDLE>(Thread->ThreadHandle)) != 0 ? 1 : 0;
}

void ThreadSetPriority(ThreadRecord *Thread, int Level)
{
    static const int priorities[4] = {
        THREAD_PRIORITY_LOWEST,
        THREAD_PRIORITY_BELOW_NORMAL,
        THREAD_PRIORITY_NORMAL,
        THREAD_PRIORITY_HIGHEST,
    };
    if (Level < 0 || Level > 3) return;
    SetThreadPriority(static_cast<HANDLE>(Thread->ThreadHandle), priorities[Level]);
}

void ThreadRelease(ThreadRecord *Thread)
{
    if (Thread->ThreadHandle != NULL) CloseHandle(static_cast<HANDLE>(Thread->ThreadHandle));
    Thread->ThreadHandle = NULL;
}

int ThreadIsValid(ThreadRecord *Thread) { return Thread->ThreadHandle != NULL ? 1 : 0; }

void ThreadSleep(int MilliSeconds) { Sleep(MilliSeconds < 0 ? 0 : static_cast<DWORD>(MilliSeconds)); }

void ThreadSuspendSelf(void) { SuspendThread(GetCurrentThread()); }

uint32_t ThreadGetCurrentId(void) { return GetCurrentThreadId(); }

static int WaitHandle(HANDLE Handle, int TimeOutMilliSeconds)
{
    DWORD timeOut = TimeOutMilliSeconds < 0 ? INFINITE : static_cast<DWORD>(TimeOutMilliSeconds);
    switch (WaitForSingleObject(Handle, timeOut)) {
        case WAIT_OBJECT_0:
            return 0;
        case WAIT_TIMEOUT:
            return 1;
        default:
            return -1;
    }
}

int ThreadWaitEnd(ThreadRecord *Thread, int TimeOutMilliSeconds)
{
    if (Thread->ThreadHandle == NULL) return -1;
    return WaitHandle(static_cast<HANDLE>(Thread->ThreadHandle), TimeOutMilliSeconds);
}

void *EventCreate(int ManualReset, int InitialState)
{
    return CreateEventW(NULL, ManualReset != 0, InitialState != 0, NULL);
}

int EventClose(void *Event)
{
    if (Event == NULL) return -1;
    return CloseHandle(static_cast<HANDLE>(Event)) ? 0 : -1;
}

int EventSet(void *Event)
{
    if (Event == NULL) return -1;
    return SetEvent(static_cast<HANDLE>(Event)) ? 0 : -1;
}

int EventReset(void *Event)
{
    if (Event == NULL) return -1;
    return ResetEvent(static_cast<HANDLE>(Event)) ? 0 : -1;
}

int EventWait(void *Event, int TimeOutMilliSeconds)
{
    if (Event == NULL) return -1;
    return WaitHandle(static_cast<HANDLE>(Event), TimeOutMilliSeconds);
}
