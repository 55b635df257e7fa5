// Internal calls of the core behind threads.h: used by the core's own files and its tests, never by
// the application or another subsystem.
#pragma once

#include <stddef.h>

#include "zovuz/core/threads.h"

// Copies a locker's source path (plain bytes in the current multibyte code; null reads as empty)
// into a trace's DX_CRITICALSECTION_PATH_MAX + 1 bytes, cut to that room and terminated.
inline void CopyLockerPath(char *Dest, const char *FilePath)
{
    // One pass that measures and copies: locks are taken on every allocation.
    size_t length = 0;
    if (FilePath != nullptr) {
        while (length < DX_CRITICALSECTION_PATH_MAX && FilePath[length] != '\0') {
            Dest[length] = FilePath[length];
            ++length;
        }
    }
    Dest[length] = '\0';
}

// Notes the locker of a section that has just been taken: its source path, line and thread.
// Shared by the platform files that implement CriticalSectionLock; with no path it clears the
// trace of a new section.
inline void RecordCriticalSectionLocker(DxCriticalSection *CriticalSection, const char *FilePath, int LineNo,
                                        uint32_t ThreadId)
{
    CopyLockerPath(CriticalSection->FilePath, FilePath);
    CriticalSection->LineNo = LineNo;
    CriticalSection->ThreadID = ThreadId;
}

// Level 0 lowest, 1 below normal, 2 normal, 3 highest; any other level changes nothing.
void ThreadSetPriority(ThreadRecord *Thread, int Level);

// Suspends the calling thread until another thread resumes it.
void ThreadSuspendSelf(void);

// The calling thread's Windows id.
uint32_t ThreadGetCurrentId(void);

// Waits until the record's thread has ended: 0 when it has, 1 on time-out, -1 without a thread.
// A negative time-out waits without limit.
int ThreadWaitEnd(ThreadRecord *Thread, int TimeOutMilliSeconds);

// Windows events, for code outside windows/ that must wait for or signal another thread.
// EventCreate gives the event handle, or null when it can't be made.
void *EventCreate(int ManualReset, int InitialState);
int EventClose(void *Event);  // 0, -1 for a null handle
int EventSet(void *Event);    // 0 / -1
int EventReset(void *Event);  // 0 / -1
// 0 when signalled, 1 on time-out, -1 on failure. A negative time-out waits without limit.
int EventWait(void *Event, int TimeOutMilliSeconds);
