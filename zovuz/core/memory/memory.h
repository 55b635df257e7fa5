// Tracked memory: every allocation of the library goes through these four calls.
//
// Each request passes the source file and line that asked for it; the live block carries them in
// a "DMEM" tag (with a 16-bit id and a time stamp in seconds) between 16 guard bytes of 0xAA, so
// the library can count what is live, dump every live block to the log and check the heap for
// damage. Requests of at most 65536 bytes come from a small heap that grows in 4 MB pieces,
// larger ones from a large heap that grows in 32 MB pieces; empty pieces go back to the system.
//
// A zero-byte request, or one so large that its rounding and overhead would not fit in 32 bits,
// fails: null, after the live blocks are dumped to the log and the heaps checked. Misuse (a
// foreign address, a double free, a damaged guard) is logged and stops the program.
#pragma once

#include <stddef.h>

// A block of AllocSize bytes, or null. DxCalloc zero-fills it.
void *DxAlloc(size_t AllocSize, const char *File, int Line);
void *DxCalloc(size_t AllocSize, const char *File, int Line);

// Resizes the block: the new address, or null with the old block untouched. A null Memory
// allocates. A block stays in the heap it was first taken from, whatever its new size.
void *DxRealloc(void *Memory, size_t AllocSize, const char *File, int Line);

// Frees the block; null does nothing.
void DxFree(void *Memory);

// Requests with the caller's own file and line.
#define DXALLOC(size) DxAlloc((size), __FILE__, __LINE__)
#define DXCALLOC(size) DxCalloc((size), __FILE__, __LINE__)
#define DXREALLOC(mem, size) DxRealloc((mem), (size), __FILE__, __LINE__)
#define DXFREE(mem) DxFree(mem)

// Counters: the number of live blocks and the sum of their requested sizes in bytes.
int GetAllocNum(void);
int GetTotalAllocSize(void);
