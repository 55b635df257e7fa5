// Threads and locks: the thin layer over the Windows threading calls that every library file
// uses, so that all of them lock and start threads the same way.
//
// Every lock records the source file, line and thread that took it last, so that a hang can be
// traced to the code that holds the section. A thread made here starts suspended, so its
// creator can finish filling what the procedure reads and then resume it.
//
// This header does not include <windows.h>: the Windows objects are kept as opaque storage of
// the right size and alignment, checked against the real types in windows/threads_win.cpp.
#pragma once

#include <stdint.h>

// Longest last-locker path kept in a lock record, in bytes, without the terminator.
#define DX_CRITICALSECTION_PATH_MAX 511

// Room for a Windows CRITICAL_SECTION (24 bytes on 32-bit Windows, 40 on 64-bit).
struct DxOsCriticalSection
{
    void *Words[6];  // the CRITICAL_SECTION itself; only windows/threads_win.cpp looks inside
};

// The library's lock record. Owned by the structure that embeds it; never allocated here.
struct DxCriticalSection
{
    DxOsCriticalSection Section;                     // the Windows critical section
    char FilePath[DX_CRITICALSECTION_PATH_MAX + 1];  // source path of the last locker, terminated
    int LineNo;                                      // source line of the last locker
    uint32_t ThreadID;                               // thread id of the last locker
};

// All return 0. CriticalSectionLock blocks until the section is free; it is re-entrant for the
// owning thread, and each lock must be matched by one unlock. The last-locker fields are a trace
// only: CriticalSectionUnlock leaves them as they are.
int CriticalSectionInitialize(DxCriticalSection *CriticalSection);
int CriticalSectionDelete(DxCriticalSection *CriticalSection);
int CriticalSectionLock(DxCriticalSection *CriticalSection, const char *FilePath, int LineNo);
int CriticalSectionUnlock(DxCriticalSection *CriticalSection);

// Locks with the caller's own file and line.
#define CRITICALSECTION_LOCK(cs) CriticalSectionLock((cs), __FILE__, __LINE__)
#define CRITICALSECTION_UNLOCK(cs) CriticalSectionUnlock(cs)

// Holds a section until the end of the enclosing scope. The section records the file and line
// given here, so take it through CRITICALSECTION_GUARD (the caller's own place), or pass the
// caller's line from a guard of one file.
class CriticalSectionGuard
{
public:
    CriticalSectionGuard(DxCriticalSection *CriticalSection, const char *FilePath, int LineNo)
        : Section(CriticalSection)
    {
        CriticalSectionLock(Section, FilePath, LineNo);
    }
    ~CriticalSectionGuard() { CriticalSectionUnlock(Section); }
    CriticalSectionGuard(const CriticalSectionGuard &) = delete;
    CriticalSectionGuard &operator=(const CriticalSectionGuard &) = delete;

private:
    DxCriticalSection *Section;
};
#define CRITICALSECTION_GUARD(name, cs) CriticalSectionGuard name((cs), __FILE__, __LINE__)

struct ThreadRecord;
typedef void (*ThreadProcedure)(ThreadRecord *Thread, void *Param);

// One library thread. Owned by its caller and must stay in place while the thread lives: the
// thread receives its address.
struct ThreadRecord
{
    ThreadProcedure Procedure;  // called once the creator has resumed the thread; result ignored
    void *Param;                // the procedure's parameter
    void *ThreadHandle;         // Windows thread handle, null when there is no thread
    uint32_t ThreadID;          // Windows thread id
};

// Makes the thread suspended; it runs Procedure(Thread, Param) only after ThreadResume. 0, or
// -1 (handle null) when the thread can't be made.
int ThreadCreate(ThreadRecord *Thread, ThreadProcedure Procedure, void *Param);

// Resumes the thread: 1 when it was suspended (or the call failed), 0 when it was running.
// The first resume of a new thread always starts it and gives 1, so callers that expect
// "non-zero on success" from a single resume are right. 0 is met only by a thread that
// suspends itself (ThreadSuspendSelf) and was resumed before it got there; a caller that must
// wake such a thread polls, yielding with ThreadSleep(0) while it gives 0:
//     while (ThreadResume(&t) == 0) ThreadSleep(0);
int ThreadResume(ThreadRecord *Thread);

// Closes the handle (the thread itself is not stopped) and clears it.
void ThreadRelease(ThreadRecord *Thread);

// 1 when the record holds a thread handle, else 0.
int ThreadIsValid(ThreadRecord *Thread);

void ThreadSleep(int MilliSeconds);
