// Internal calls of the core behind memory.h: used by the core's own files and its tests, never by
// the application or another subsystem.
#pragma once

#include "zovuz/core/memory/memory.h"

// Logs "\tTotal size:%d(%.3fkb)  Alloc num:%d". Returns 0.
int LogAllocTotal(void);

// Logs every live block of both heaps and the totals. Returns 0.
int DumpAllocMemory(void);

// Checks both heaps for damage: 0 when clean, -1 (logged) otherwise.
int CheckMemory(void);

// Called once per pass of the message pump: the heaps' time stamp becomes the seconds since the
// stamps' start. Returns 0.
int UpdateMemoryTagTime(void);

// Sets up the two heaps (also done by the first allocation): 0 / -1.
int InitializeMemory(void);

// Ends both heaps at library end: every piece goes back to the system. Any block still live is
// lost; freeing one later with DxFree is logged and does nothing. Returns 0.
int TerminateMemory(void);
