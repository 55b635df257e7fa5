// VaZuri: the library's own heap, a TLSF (two-level segregated fit) allocator that takes its
// memory in large pieces from a page provider (the operating system's virtual memory) and gives
// empty pieces back. Internal to the library: callers use DxAlloc and friends (memory.h).
//
// Every block begins with a MemTag, then 16 guard bytes of 0xAA, then free bytes, a 32-bit word
// holding the distance from the tag to the user address, the user data (aligned, at or after
// tag + 92) and guard bytes of 0xAA up to the block's end (at least 16 of them). Free blocks are
// never adjacent: freeing merges with free neighbours in the same piece.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "zovuz/core/threads.h"

#define MEMTAG_MAGIC 0x4D454D44u  // "DMEM"
#define MEMTAG_FILE_LENGTH 18     // last 17 characters of the source path + terminator
#define MEMTAG_FLAG_LINE_HIGH 0x03
#define MEMTAG_FLAG_USE 0x04
#define MEMTAG_FLAG_NEXT 0x08  // another tag follows in the same heap memory
#define MEMTAG_FLAG_PREV 0x10  // another tag precedes in the same heap memory

#define HEAP_KIND_TLSF 1
#define HEAP_GUARD_BYTE 0xAA
#define HEAP_GUARD_SIZE 16
#define HEAP_TAG_OVERHEAD 144     // overhead counted when a class is chosen; also the smallest block
#define HEAP_MIN_MEMORY_SIZE 224  // smallest piece a heap accepts
#define HEAP_MIN_GROW_UNIT 0x100000
#define HEAP_FLI_COUNT 32
#define HEAP_SLI_COUNT 32
#define HEAP_SLI_BITS 5

struct VaZuri;
struct HeapMemInfo;

struct MemTag
{
    uint32_t Magic;                 // MEMTAG_MAGIC
    char File[MEMTAG_FILE_LENGTH];  // tail of the requesting source path, "Free" for a free block
    uint8_t Flags;                  // MEMTAG_FLAG_*
    uint8_t Reserved;               // always 0
    uint8_t FLI;                    // TLSF first-level class of a free tag
    uint8_t SLI;                    // TLSF second-level class of a free tag
    uint16_t ID;                    // the heap's running tag id when the tag was made
    uint16_t Time;                  // the heap's time stamp (seconds) when the tag was made
    uint16_t Line;                  // low 16 bits of the line number
    uint32_t Size;                  // whole block, tag included
    void *AllocAddress;             // the block's start (the tag itself with inline tags)
    void *UserAddress;              // the address handed out
    uint32_t UserSize;              // the size that was asked for
    MemTag *Prev;                   // neighbour below in address order
    MemTag *Next;                   // neighbour above in address order
    MemTag *ListPrev;               // previous in the used list or the free class list
    MemTag *ListNext;               // next in the used list or the free class list
    VaZuri *Heap;                   // owning heap
    HeapMemInfo *UseHeapMem;        // piece that holds the block
};

// What a page provider hands out: the provider's own record of one piece.
struct HeapPageRecord
{
    void *Address;  // start of the committed pages
    size_t Size;    // size of the region the system reports
};

// Page provider: allocate a piece of at least Size bytes into Record (0 / -1), read a record's
// address and size, release a record's piece (0 / -1). Each is given the provider argument.
typedef int (*HeapPageAllocCallback)(void *ProviderArg, size_t Size, HeapPageRecord *Record);
typedef void *(*HeapPageAddressCallback)(void *ProviderArg, const HeapPageRecord *Record);
typedef size_t (*HeapPageSizeCallback)(void *ProviderArg, const HeapPageRecord *Record);
typedef int (*HeapPageFreeCallback)(void *ProviderArg, HeapPageRecord *Record);

// One piece of memory added to a heap; kept at the piece's start.
struct HeapMemInfo
{
    void *Address;       // start of the piece
    size_t Size;         // size of the piece
    int UseMemTagCount;  // used tags inside the piece
    MemTag *FirstTag;    // first tag inside the piece
    uint32_t Flags;      // bit 0: auto-allocated, given back when it empties
    HeapMemInfo *Prev;   // pieces of the heap in address order
    HeapMemInfo *Next;
    HeapPageRecord PageRecord;  // the provider's record of an auto-allocated piece
};

#define HEAPMEM_FLAG_AUTO_ALLOC 0x01

struct VaZuri
{
    int Initialized;                  // set by InitializeHeap, cleared by TerminateHeap
    int AutoGrow;                     // take memory from the page provider when short
    size_t GrowUnit;                  // growth unit in bytes
    void *ProviderArg;                // handed to every provider callback
    HeapPageAllocCallback PageAlloc;  // page provider
    HeapPageAddressCallback PageAddress;
    HeapPageSizeCallback PageSize;
    HeapPageFreeCallback PageFree;
    int Kind;                // HEAP_KIND_TLSF (the only kind built)
    uint32_t Aligned;        // default alignment, a multiple of 16
    int UseTagNum;           // used blocks
    int FreeTagNum;          // free blocks
    uint64_t TotalUseSize;   // bytes of used blocks, tags included
    uint64_t TotalFreeSize;  // bytes of free blocks, tags included
    uint64_t TotalSize;      // bytes of all pieces' blocks
    int HeapMemNum;          // pieces in the heap
    uint16_t TagID;          // running tag id
    uint16_t TimeStamp;      // current time stamp in seconds
    MemTag *FirstTag;        // all tags in address order
    MemTag *LastTag;
    MemTag *FirstUseTag;  // used tags in address order
    MemTag *LastUseTag;
    HeapMemInfo *FirstHeapMem;                         // pieces in address order
    uint32_t FLBitmap;                                 // first level: bit f set when SLBitmap[f] != 0
    uint32_t SLBitmap[HEAP_FLI_COUNT];                 // second level: bit s set when the list is not empty
    MemTag *FreeList[HEAP_FLI_COUNT][HEAP_SLI_COUNT];  // free-list heads per class
    DxCriticalSection Lock;                            // the heap's own lock
    int OwnerLocked;                                   // set by an owner that reaches the heap only under a
                                                       // lock of its own (the tracked allocator); the heap
                                                       // then takes no second lock inside it
};

// Sets up the heap; a first piece of memory may be given (it is never given back). 0 / -1.
int InitializeHeap(VaZuri *Heap, int Kind, uint32_t Alignment, int AutoGrow, size_t GrowUnit, void *ProviderArg,
                   HeapPageAllocCallback PageAlloc, HeapPageAddressCallback PageAddress, HeapPageSizeCallback PageSize,
                   HeapPageFreeCallback PageFree, void *FirstMemory, size_t FirstMemorySize);

// Gives every auto-allocated piece back and clears the heap object. 0.
int TerminateHeap(VaZuri *Heap);

// Adds a piece: the given memory, or (Memory null) a piece from the page provider. 0 / -1.
int AddHeapMemory(VaZuri *Heap, void *Memory, size_t Size);

// Takes an empty piece out of the heap (giving it back when auto-allocated). 0; misuse stops.
int SubHeapMemory(VaZuri *Heap, void *Memory);

// A block of Size bytes aligned to Alignment (0: the heap's default), or null. A size whose
// rounding or overhead would not fit in 32 bits is refused (logged).
void *AllocMemory(VaZuri *Heap, size_t Size, uint32_t Alignment, const char *File, int Line);

// Frees a block. 0; a foreign or damaged address or a double free is logged and stops.
int FreeMemory(void *Address);

// Resizes a block, in place when it fits; the new address, or null with the block untouched.
void *ReallocMemory(void *Address, size_t NewSize, uint32_t Alignment, const char *File, int Line);

// The size that was asked for; misuse is logged and stops.
size_t GetAllocSize(void *Address);

// Walks every tag and the class tables: 0 when consistent, else -1 with the first fault logged.
int HeapErrorCheck(VaZuri *Heap);

// Logs every used tag in address order. 0.
int DumpHeap(VaZuri *Heap);

// Logs one block's tag line (of a user address). 0.
int DumpMemoryTag(void *Address);

// What a block check is for: it picks the messages a failed check logs.
enum HeapCheckPurpose {
    HEAP_CHECK_FREE,
    HEAP_CHECK_REALLOC,
    HEAP_CHECK_SIZE,
};

// The tag of a user address after the purpose's checks (the address lies in a heap piece, the tag
// is intact and in use, and for a free or reallocation its guards are whole); any failure is
// logged with the purpose's messages and stops the program. Lets DxFree report a double free as
// a free before it reads the block's size.
MemTag *FindCheckedTag(void *Address, HeapCheckPurpose Purpose);

// Frees a block whose tag FindCheckedTag gave.
void FreeCheckedTag(MemTag *Tag);

// 1 when Address lies in memory that a heap held until TerminateHeap gave it back (and no heap
// has taken since), else 0: a block freed there outlived its heap.
int HeapAddressOfEndedHeap(const void *Address);

// 1 when a request of Size bytes at Alignment (0: 16) is refused because its rounding or overhead
// would not fit in 32 bits, else 0.
int HeapRequestTooLarge(size_t Size, uint32_t Alignment);

// The tag's line number with its high bits.
int MemTagLine(const MemTag *Tag);

// --- platform side (windows/heap_pages_win.cpp) ---------------------------------------------

// The page provider over VirtualAlloc / VirtualQuery / VirtualFree; the argument is unused.
int HeapPageAlloc(void *ProviderArg, size_t Size, HeapPageRecord *Record);
void *HeapPageAddress(void *ProviderArg, const HeapPageRecord *Record);
size_t HeapPageSize(void *ProviderArg, const HeapPageRecord *Record);
int HeapPageFree(void *ProviderArg, HeapPageRecord *Record);

// Ends the process at once: the heap can no longer be trusted.
[[noreturn]] void HeapStopProgram(void);
