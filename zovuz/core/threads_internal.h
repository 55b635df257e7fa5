// Internal calls of the core behind threads.h: used by the core's own files and its tests, never by
// the application or another subsystem.
#pragma once

#include "zovuz/core/threads.h"

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
int EventClose(void *Event);                     // 0, -1 for a null handle
int EventSet(void *Event);                       // 0 / -1
int EventReset(void *Event);                     // 0 / -1
// 0 when signalled, 1 on time-out, -1 on failure. A negative time-out waits without limit.
int EventWait(void *Event, int TimeOutMilliSeconds);
