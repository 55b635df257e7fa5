// Internal calls of the core behind async_load.h: used by the core's own files and its tests, never by
// the application or another subsystem.
#pragma once

#include "zovuz/core/handle/async_load.h"

// Start and end (main-window creation and end). InitializeASyncLoad: 0, or -1 when already
// initialised. StartASyncLoadThreads: makes the 32 workers, asleep; 0 or -1.
int InitializeASyncLoad(uint32_t MainThreadID);
int StartASyncLoadThreads(int ProcessorNum);
int StopASyncLoadThreads(void);
int TerminateASyncLoad(void);

// Number of workers that may run at once. Set before StartASyncLoadThreads it replaces the
// default of max(processors - 1, 1); kept within 1..32.
int SetASyncLoadThreadCount(int Count);
