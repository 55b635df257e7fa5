// Stands in for windows/threads_win.cpp and windows/clock_win.cpp in the native build: the
// library's locks, threads and events over POSIX threads, and its millisecond clock.
#include <pthread.h>
#include <sched.h>
#include <time.h>
#include <unistd.h>

#include <new>

#include "zovuz/core/clock.h"
#include "zovuz/core/threads.h"
#include "zovuz/core/threads_internal.h"

static_assert(sizeof(pthread_mutex_t) <= sizeof(DxOsCriticalSection), "DxOsCriticalSection is too small");

namespace {

pthread_mutex_t *OsSection(DxCriticalSection *Section)
{
    return reinterpret_cast<pthread_mutex_t *>(&Section->Section);
}

// What a Windows event or a suspendable thread is here: a flag under a mutex and a condition.
struct NativeWaitable {
    pthread_mutex_t Mutex = PTHREAD_MUTEX_INITIALIZER;
    pthread_cond_t Changed = PTHREAD_COND_INITIALIZER;
    bool ManualReset = true;
    bool Signalled = false;  // event: set; thread: ended
    int Suspended = 0;       // thread: suspend count
    bool Released = false;   // thread: its record let go of it; the thread frees it at its end
};

struct NativeThread {
    pthread_t Id;
    NativeWaitable State;
};

thread_local NativeThread *CurrentThread = nullptr;

int WaitFor(NativeWaitable *W, int TimeOutMilliSeconds)
{
    timespec until;
    clock_gettime(CLOCK_REALTIME, &until);
    if (TimeOutMilliSeconds >= 0) {
        until.tv_sec += TimeOutMilliSeconds / 1000;
        until.tv_nsec += (TimeOutMilliSeconds % 1000) * 1000000L;
        if (until.tv_nsec >= 1000000000L) until.tv_sec++, until.tv_nsec -= 1000000000L;
    }
    pthread_mutex_lock(&W->Mutex);
    int result = 0;
    while (!W->Signalled && result == 0) {
        if (TimeOutMilliSeconds < 0) pthread_cond_wait(&W->Changed, &W->Mutex);
        else if (pthread_cond_timedwait(&W->Changed, &W->Mutex, &until) != 0) result = 1;
    }
    if (result == 0 && !W->ManualReset) W->Signalled = false;
    pthread_mutex_unlock(&W->Mutex);
    return result;
}

void *ThreadStart(void *Argument)
{
    ThreadRecord *thread = static_cast<ThreadRecord *>(Argument);
    NativeThread *self = static_cast<NativeThread *>(thread->ThreadHandle);
    CurrentThread = self;
    ThreadSuspendSelf();
    thread->Procedure(thread, thread->Param);
    pthread_mutex_lock(&self->State.Mutex);
    self->State.Signalled = true;
    bool released = self->State.Released;
    pthread_cond_broadcast(&self->State.Changed);
    pthread_mutex_unlock(&self->State.Mutex);
    if (released) delete self;
    return nullptr;
}

} // namespace

int CriticalSectionInitialize(DxCriticalSection *CriticalSection)
{
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(OsSection(CriticalSection), &attr);
    pthread_mutexattr_destroy(&attr);
    RecordCriticalSectionLocker(CriticalSection, nullptr, 0, 0);
    return 0;
}

int CriticalSectionDelete(DxCriticalSection *CriticalSection)
{
    pthread_mutex_destroy(OsSection(CriticalSection));
    return 0;
}

int CriticalSectionLock(DxCriticalSection *CriticalSection, const char *FilePath, int LineNo)
{
    pthread_mutex_lock(OsSection(CriticalSection));
    RecordCriticalSectionLocker(CriticalSection, FilePath, LineNo, ThreadGetCurrentId());
    return 0;
}

int CriticalSectionUnlock(DxCriticalSection *CriticalSection)
{
    pthread_mutex_unlock(OsSection(CriticalSection));
    return 0;
}

int ThreadCreate(ThreadRecord *Thread, ThreadProcedure Procedure, void *Param)
{
    Thread->Procedure = Procedure;
    Thread->Param = Param;
    NativeThread *native = new (std::nothrow) NativeThread;
    Thread->ThreadHandle = native;
    if (native != nullptr && pthread_create(&native->Id, nullptr, ThreadStart, Thread) == 0) {
        pthread_detach(native->Id);
        Thread->ThreadID = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(native));
        return 0;
    }
    delete native;
    Thread->ThreadHandle = nullptr;
    Thread->ThreadID = 0;
    return -1;
}

int ThreadResume(ThreadRecord *Thread)
{
    NativeThread *native = static_cast<NativeThread *>(Thread->ThreadHandle);
    if (native == nullptr) return 1;
    pthread_mutex_lock(&native->State.Mutex);
    int wasSuspended = native->State.Suspended > 0 ? 1 : 0;
    if (wasSuspended) native->State.Suspended--;
    pthread_cond_broadcast(&native->State.Changed);
    pthread_mutex_unlock(&native->State.Mutex);
    return wasSuspended;
}

void ThreadSuspendSelf(void)
{
    NativeThread *self = CurrentThread;
    if (self == nullptr) return;  // only the library's own threads are suspended
    pthread_mutex_lock(&self->State.Mutex);
    self->State.Suspended++;
    while (self->State.Suspended > 0) pthread_cond_wait(&self->State.Changed, &self->State.Mutex);
    pthread_mutex_unlock(&self->State.Mutex);
}

// Closing the handle does not stop the thread: whichever of the two comes last frees it.
void ThreadRelease(ThreadRecord *Thread)
{
    NativeThread *native = static_cast<NativeThread *>(Thread->ThreadHandle);
    Thread->ThreadHandle = nullptr;
    if (native == nullptr) return;
    pthread_mutex_lock(&native->State.Mutex);
    bool ended = native->State.Signalled;
    native->State.Released = true;
    pthread_mutex_unlock(&native->State.Mutex);
    if (ended) delete native;
}

int ThreadIsValid(ThreadRecord *Thread) { return Thread->ThreadHandle != nullptr ? 1 : 0; }
void ThreadSetPriority(ThreadRecord *, int) {}

void ThreadSleep(int MilliSeconds)
{
    if (MilliSeconds <= 0) sched_yield();
    else usleep(static_cast<useconds_t>(MilliSeconds) * 1000);
}

uint32_t ThreadGetCurrentId(void)
{
    return static_cast<uint32_t>(gettid());
}

int ThreadWaitEnd(ThreadRecord *Thread, int TimeOutMilliSeconds)
{
    NativeThread *native = static_cast<NativeThread *>(Thread->ThreadHandle);
    if (native == nullptr) return -1;
    return WaitFor(&native->State, TimeOutMilliSeconds);
}

void *EventCreate(int ManualReset, int InitialState)
{
    NativeWaitable *event = new (std::nothrow) NativeWaitable;
    if (event == nullptr) return nullptr;
    event->ManualReset = ManualReset != 0;
    event->Signalled = InitialState != 0;
    return event;
}

int EventClose(void *Event)
{
    if (Event == nullptr) return -1;
    delete static_cast<NativeWaitable *>(Event);
    return 0;
}

static int EventPut(void *Event, bool Signalled)
{
    if (Event == nullptr) return -1;
    NativeWaitable *event = static_cast<NativeWaitable *>(Event);
    pthread_mutex_lock(&event->Mutex);
    event->Signalled = Signalled;
    pthread_cond_broadcast(&event->Changed);
    pthread_mutex_unlock(&event->Mutex);
    return 0;
}

int EventSet(void *Event) { return EventPut(Event, true); }
int EventReset(void *Event) { return EventPut(Event, false); }

int EventWait(void *Event, int TimeOutMilliSeconds)
{
    if (Event == nullptr) return -1;
    return WaitFor(static_cast<NativeWaitable *>(Event), TimeOutMilliSeconds);
}

int64_t GetNowMicroCount(void)
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

int GetNowMilliCount(void) { return static_cast<int>((GetNowMicroCount() / 1000) & 0x7FFFFFFF); }
