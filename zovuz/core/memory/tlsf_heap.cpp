// VaZuri, the library's TLSF heap (see tlsf_heap.h for the block layout).
//
// A free block sits in one of 32 x 32 class lists: the first level is the index of the highest
// set bit of its size, the second level the next five bits. A request is classed one step above
// its own class, so the head of any non-empty list at or above that class always fits, and the
// two bitmaps find that list in constant time.
#include "zovuz/core/memory/tlsf_heap.h"

#include <string.h>
#include <stdio.h>

#include <atomic>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#ifdef TARVEX_HEAP_POISON
#include <sanitizer/asan_interface.h>
#endif

#include "zovuz/core/text/log.h"

static_assert(sizeof(MemTag) + HEAP_GUARD_SIZE + 4 == 92 || sizeof(void *) != 4,
              "the user data begins at or after tag + 92");

namespace {

// Offset of the first possible user byte from the tag: tag, front guard, distance word.
constexpr uintptr_t kUserOffset = sizeof(MemTag) + HEAP_GUARD_SIZE + 4;
// Largest distance from a tag to its user address that a lookup accepts.
constexpr uintptr_t kMaxUserDistance = kUserOffset + 0x10000;
constexpr uint32_t kGranuleShift = 16;
constexpr size_t kGranuleCount = size_t(1) << (32 - kGranuleShift);

struct HeapGlobalState
{
    // Which 64 KB granules of the address space hold heap pieces (a count per granule, since
    // caller-given pieces may share one). A freed or foreign address is checked against it before
    // its tag is read, so a double free after the piece went back to the system is reported
    // instead of faulting on released pages.
    std::atomic<uint8_t> GranuleUse[kGranuleCount];  // pieces touching each granule
    // Granules that held a piece of a heap that has since been terminated, and that no piece has
    // touched since. A block freed there late (after its heap ended) is told apart from a foreign
    // address, so that a shut-down order mistake need not end the program.
    std::atomic<uint8_t> GranuleRetired[kGranuleCount];  // 1 = a terminated heap's memory
};
HeapGlobalState HeapGlobal;

// Messages of the checks that find a block's tag, per operation.
struct TagCheckMessages
{
    const char *BadMagic;  // foreign address or damaged tag
    const char *NotInUse;  // the block was already freed
    const char *BadGuard;  // guard bytes overwritten
};

const TagCheckMessages kFreeMessages = {
    "FreeMemory Error : メモリタグの MagicID が不正です、誤ったメモリアドレスが渡されたか、メモリが破壊されています",
    "FreeMemory Error : 解放済みのメモリに対して再度解放しようとしました",
    "FreeMemory Error : デバッグ領域の破壊を確認しました、メモリの不正なアクセスが発生したことが考えられます",
};
const TagCheckMessages kReallocMessages = {
    "ReallocMemory Error : メモリタグの MagicID が不正です、誤ったメモリアドレスが渡されたか、メモリが破壊されています",
    "ReallocMemory Error : 解放済みのメモリに対して再確保をしようとしました",
    "ReallocMemory Error : デバッグ領域の破壊を確認しました、メモリの不正なアクセスが発生したことが考えられます",
};
const TagCheckMessages kSizeMessages = {
    "GetAllocSize Error : メモリタグの MagicID が不正です、誤ったメモリアドレスが渡されたか、メモリが破壊されています",
    "GetAllocSize Error : 解放済みのメモリに対して確保メモリサイズの取得を行おうとしました",
    NULL,
};

inline uint8_t *Bytes(void *p) { return static_cast<uint8_t *>(p); }
inline uintptr_t Addr(const void *p) { return reinterpret_cast<uintptr_t>(p); }
inline uint8_t *BlockEnd(MemTag *tag) { return Bytes(tag) + tag->Size; }

inline int HighestBit(uint32_t x) { return 31 - __builtin_clz(x); }
inline int LowestBit(uint32_t x) { return __builtin_ctz(x); }

inline uintptr_t AlignUp(uintptr_t value, uint32_t alignment)
{
    if ((alignment & (alignment - 1)) == 0) return (value + alignment - 1) & ~uintptr_t(alignment - 1);
    return (value + alignment - 1) / alignment * alignment;
}

// Alignment of a request: 0 is the heap's default, anything else at least 16 and a multiple of it.
inline uint32_t RequestAlignment(const VaZuri *heap, uint32_t alignment)
{
    if (alignment == 0) return heap->Aligned;
    if (alignment > 0x10000) alignment = 0x10000;
    return (alignment + 15) & ~15u;
}

void ClassOf(uint32_t size, int *fli, int *sli)
{
    int f = HighestBit(size);
    *fli = f;
    *sli = static_cast<int>((size >> (f - HEAP_SLI_BITS)) & (HEAP_SLI_COUNT - 1));
}

// Class to search for a request of the given total size: one above its own, so that every block
// found is large enough. False when the class would be beyond the tables.
bool SearchClassOf(uint32_t total, int *fli, int *sli)
{
    ClassOf(total, fli, sli);
    if (++*sli == HEAP_SLI_COUNT) {
        *sli = 0;
        ++*fli;
    }
    return *fli < HEAP_FLI_COUNT;
}

// The request's rounded size and the total a block must have, both in 64 bits so that a size near
// 4 GB can't wrap into a tiny block. False when either does not fit in 32 bits.
bool RequestSizes(size_t size, uint32_t alignment, uint64_t *rounded, uint32_t *total)
{
    // Every request of an ordinary size with a power-of-two alignment (all but odd multiples of
    // 16 asked for explicitly) is worked out in 32 bits with masks: 64-bit division is a library
    // call on a 32-bit processor, and this runs on every allocation.
    if ((alignment & (alignment - 1)) == 0 && size <= 0x7FFFFFFFu && alignment <= 0x10000) {
        const uint32_t mask = ~(alignment - 1);
        const uint32_t r = (static_cast<uint32_t>(size) + alignment - 1) & mask;
        *rounded = r;
        *total = (r + HEAP_TAG_OVERHEAD + 2 * alignment - 1) & mask;
        return true;
    }
    uint64_t r = (uint64_t(size) + alignment - 1) / alignment * alignment;
    uint64_t t = r + HEAP_TAG_OVERHEAD + 2 * uint64_t(alignment) - 1;
    t -= t % alignment;
    if (r > 0xFFFFFFFFu || t > 0xFFFFFFFFu) return false;
    *rounded = r;
    *total = static_cast<uint32_t>(t);
    return true;
}

void MarkGranules(void *address, size_t size, int delta)
{
    if (size == 0) return;
    uint64_t first = uint64_t(Addr(address)) >> kGranuleShift;
    uint64_t last = (uint64_t(Addr(address)) + size - 1) >> kGranuleShift;
    for (uint64_t g = first; g <= last && g < kGranuleCount; ++g) {
        HeapGlobal.GranuleUse[g].fetch_add(static_cast<uint8_t>(delta), std::memory_order_relaxed);
        if (delta > 0) HeapGlobal.GranuleRetired[g].store(0, std::memory_order_relaxed);
    }
}

void MarkRetired(void *address, size_t size)
{
    if (size == 0) return;
    uint64_t first = uint64_t(Addr(address)) >> kGranuleShift;
    uint64_t last = (uint64_t(Addr(address)) + size - 1) >> kGranuleShift;
    for (uint64_t g = first; g <= last && g < kGranuleCount; ++g) {
        HeapGlobal.GranuleRetired[g].store(1, std::memory_order_relaxed);
    }
}

bool InHeapGranule(const void *address)
{
    uint64_t g = uint64_t(Addr(address)) >> kGranuleShift;
    return g < kGranuleCount && HeapGlobal.GranuleUse[g].load(std::memory_order_relaxed) != 0;
}

// Length of a source path (every allocation stamps its tag with the path's tail), 16 bytes at a
// time where the processor allows, else a word at a time. The reads are aligned, so the last one
// never crosses into a page the string does not touch.
#if defined(__SSE2__)
size_t PathLength(const char *path)
{
    const uintptr_t offset = Addr(path) & 15;
    const __m128i *block = reinterpret_cast<const __m128i *>(Addr(path) - offset);
    const __m128i zero = _mm_setzero_si128();
    unsigned found = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_load_si128(block), zero))) >> offset;
    if (found != 0) return size_t(__builtin_ctz(found));
    for (size_t length = 16 - offset;; length += 16) {
        found = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_load_si128(++block), zero)));
        if (found != 0) return length + size_t(__builtin_ctz(found));
    }
}
#else
size_t PathLength(const char *path)
{
    const char *p = path;
    for (; (Addr(p) & 3) != 0; ++p) {
        if (*p == '\0') return size_t(p - path);
    }
    for (;; p += 4) {
        uint32_t word;
        memcpy(&word, p, 4);
        if (((word - 0x01010101u) & ~word & 0x80808080u) != 0) break;
    }
    while (*p != '\0') ++p;
    return size_t(p - path);
}
#endif

void SetFile(MemTag *tag, const char *file)
{
    if (file == NULL) file = "NoName";
    size_t length = PathLength(file);
    const char *tail = length > MEMTAG_FILE_LENGTH - 1 ? file + length - (MEMTAG_FILE_LENGTH - 1) : file;
    size_t n = length > MEMTAG_FILE_LENGTH - 1 ? MEMTAG_FILE_LENGTH - 1 : length;
    if (n == MEMTAG_FILE_LENGTH - 1) {
        memcpy(tag->File, tail, MEMTAG_FILE_LENGTH - 1);  // the usual case: a whole tail
        tag->File[MEMTAG_FILE_LENGTH - 1] = '\0';
        return;
    }
    static const char kZero[MEMTAG_FILE_LENGTH] = {};
    memcpy(tag->File, kZero, MEMTAG_FILE_LENGTH);
    for (size_t i = 0; i < n; ++i) tag->File[i] = tail[i];
}

void Stamp(VaZuri *heap, MemTag *tag, const char *file, int line)
{
    SetFile(tag, file);
    tag->Flags = static_cast<uint8_t>((tag->Flags & ~MEMTAG_FLAG_LINE_HIGH) | ((line >> 16) & MEMTAG_FLAG_LINE_HIGH));
    tag->Line = static_cast<uint16_t>(line);
    tag->ID = heap->TagID++;
    tag->Time = heap->TimeStamp;
}

void MakeFreeTag(VaZuri *heap, MemTag *tag, uint32_t size, HeapMemInfo *piece)
{
    static const char kFreeName[MEMTAG_FILE_LENGTH] = "Free";
    tag->Magic = MEMTAG_MAGIC;
    memcpy(tag->File, kFreeName, MEMTAG_FILE_LENGTH);
    tag->Flags &= (MEMTAG_FLAG_NEXT | MEMTAG_FLAG_PREV);
    tag->Reserved = 0;
    tag->ID = 0;
    tag->Time = 0;
    tag->Line = 0;
    tag->Size = size;
    tag->AllocAddress = tag;
    tag->UserAddress = NULL;
    tag->UserSize = 0;
    tag->Heap = heap;
    tag->UseHeapMem = piece;
}

// Guard runs are written and checked 16 bytes at a time where the processor allows (every block
// is guarded on every allocation and checked on every free); a run of at least 16 bytes ends
// with one overlapping piece instead of a byte loop.
#if defined(__SSE2__)
// Not turned into a memset call: that would cost more than the two or three stores of a run.
__attribute__((optimize("no-tree-loop-distribute-patterns"))) void FillGuardRun(uint8_t *p, size_t n)
{
    if (n < 16) {
        memset(p, HEAP_GUARD_BYTE, n);
        return;
    }
    const __m128i guard = _mm_set1_epi8(static_cast<char>(HEAP_GUARD_BYTE));
    uint8_t *end = p + n;
    for (; p + 16 < end; p += 16) _mm_storeu_si128(reinterpret_cast<__m128i *>(p), guard);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(end - 16), guard);
}

bool AllGuard(const uint8_t *p, size_t n)
{
    if (n < 16) {
        for (; n > 0; ++p, --n) {
            if (*p != HEAP_GUARD_BYTE) return false;
        }
        return true;
    }
    const __m128i guard = _mm_set1_epi8(static_cast<char>(HEAP_GUARD_BYTE));
    const uint8_t *end = p + n;
    __m128i same = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(end - 16)), guard);
    for (; p + 16 < end; p += 16) {
        same = _mm_and_si128(same, _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p)), guard));
    }
    return _mm_movemask_epi8(same) == 0xFFFF;
}
#else
void FillGuardRun(uint8_t *p, size_t n) { memset(p, HEAP_GUARD_BYTE, n); }

bool AllGuard(const uint8_t *p, size_t n)
{
    static const uint32_t kGuardWord = HEAP_GUARD_BYTE * 0x01010101u;
    for (; n >= 4; p += 4, n -= 4) {
        uint32_t word;
        memcpy(&word, p, 4);
        if (word != kGuardWord) return false;
    }
    for (; n > 0; ++p, --n) {
        if (*p != HEAP_GUARD_BYTE) return false;
    }
    return true;
}
#endif

// Guard bytes: 16 after the tag, and everything from the user data's end to the block's end.
void FillGuards(MemTag *tag)
{
#if defined(__SSE2__)
    static_assert(HEAP_GUARD_SIZE == 16, "the front guard is one 16-byte store");
    _mm_storeu_si128(reinterpret_cast<__m128i *>(Bytes(tag) + sizeof(MemTag)),
                     _mm_set1_epi8(static_cast<char>(HEAP_GUARD_BYTE)));
#else
    FillGuardRun(Bytes(tag) + sizeof(MemTag), HEAP_GUARD_SIZE);
#endif
    uint8_t *userEnd = Bytes(tag->UserAddress) + tag->UserSize;
    FillGuardRun(userEnd, BlockEnd(tag) - userEnd);
}

bool GuardsIntact(MemTag *tag)
{
    uint8_t *userEnd = Bytes(tag->UserAddress) + tag->UserSize;
    if (userEnd + HEAP_GUARD_SIZE > BlockEnd(tag)) return false;
    return AllGuard(Bytes(tag) + sizeof(MemTag), HEAP_GUARD_SIZE) && AllGuard(userEnd, BlockEnd(tag) - userEnd);
}

// In the native fuzz build (TARVEX_HEAP_POISON, under AddressSanitizer) the guard bytes of a live
// block are poisoned as well, so that a reader's stray access into them is reported where it
// happens instead of at the next heap check. That build compiles this file without the
// sanitizer's checks, since the heap reads and writes its guards itself.
#ifdef TARVEX_HEAP_POISON
void PoisonGuards(MemTag *tag)
{
    uint8_t *front = Bytes(tag) + sizeof(MemTag);
    uint8_t *userEnd = Bytes(tag->UserAddress) + tag->UserSize;
    __asan_poison_memory_region(front, Bytes(tag->UserAddress) - front);
    __asan_poison_memory_region(userEnd, BlockEnd(tag) - userEnd);
}

void UnpoisonBlock(MemTag *tag) { __asan_unpoison_memory_region(tag, BlockEnd(tag) - Bytes(tag)); }
#else
inline void PoisonGuards(MemTag *) {}
inline void UnpoisonBlock(MemTag *) {}
#endif

// --- class lists ------------------------------------------------------------------------------

void InsertFree(VaZuri *heap, MemTag *tag)
{
    int f, s;
    ClassOf(tag->Size, &f, &s);
    tag->FLI = static_cast<uint8_t>(f);
    tag->SLI = static_cast<uint8_t>(s);
    MemTag *head = heap->FreeList[f][s];
    tag->ListPrev = NULL;
    tag->ListNext = head;
    if (head != NULL) head->ListPrev = tag;
    heap->FreeList[f][s] = tag;
    heap->SLBitmap[f] |= 1u << s;
    heap->FLBitmap |= 1u << f;
}

void RemoveFree(VaZuri *heap, MemTag *tag)
{
    int f = tag->FLI, s = tag->SLI;
    if (tag->ListPrev != NULL)
        tag->ListPrev->ListNext = tag->ListNext;
    else
        heap->FreeList[f][s] = tag->ListNext;
    if (tag->ListNext != NULL) tag->ListNext->ListPrev = tag->ListPrev;
    tag->ListPrev = tag->ListNext = NULL;
    if (heap->FreeList[f][s] == NULL) {
        heap->SLBitmap[f] &= ~(1u << s);
        if (heap->SLBitmap[f] == 0) heap->FLBitmap &= ~(1u << f);
    }
}

MemTag *FindFree(VaZuri *heap, int f, int s)
{
    uint32_t slMap = heap->SLBitmap[f] & (~0u << s);
    if (slMap == 0) {
        uint32_t flMap = f + 1 < HEAP_FLI_COUNT ? heap->FLBitmap & (~0u << (f + 1)) : 0;
        if (flMap == 0) return NULL;
        f = LowestBit(flMap);
        slMap = heap->SLBitmap[f];
    }
    return heap->FreeList[f][LowestBit(slMap)];
}

// --- address and used lists -------------------------------------------------------------------

void LinkAfter(VaZuri *heap, MemTag *before, MemTag *tag)
{
    tag->Prev = before;
    tag->Next = before->Next;
    if (before->Next != NULL)
        before->Next->Prev = tag;
    else
        heap->LastTag = tag;
    before->Next = tag;
}

void Unlink(VaZuri *heap, MemTag *tag)
{
    if (tag->Prev != NULL)
        tag->Prev->Next = tag->Next;
    else
        heap->FirstTag = tag->Next;
    if (tag->Next != NULL)
        tag->Next->Prev = tag->Prev;
    else
        heap->LastTag = tag->Prev;
}

// A new used tag goes after the nearest used tag below it, so the used list stays in address
// order. Free blocks are never adjacent, so the walk is short.
void LinkUsed(VaZuri *heap, MemTag *tag)
{
    MemTag *below = tag->Prev;
    while (below != NULL && (below->Flags & MEMTAG_FLAG_USE) == 0) below = below->Prev;
    tag->ListPrev = below;
    tag->ListNext = below != NULL ? below->ListNext : heap->FirstUseTag;
    if (tag->ListNext != NULL)
        tag->ListNext->ListPrev = tag;
    else
        heap->LastUseTag = tag;
    if (below != NULL)
        below->ListNext = tag;
    else
        heap->FirstUseTag = tag;
}

void UnlinkUsed(VaZuri *heap, MemTag *tag)
{
    if (tag->ListPrev != NULL)
        tag->ListPrev->ListNext = tag->ListNext;
    else
        heap->FirstUseTag = tag->ListNext;
    if (tag->ListNext != NULL)
        tag->ListNext->ListPrev = tag->ListPrev;
    else
        heap->LastUseTag = tag->ListPrev;
    tag->ListPrev = tag->ListNext = NULL;
}

bool NextIsFree(const MemTag *tag)
{
    return (tag->Flags & MEMTAG_FLAG_NEXT) != 0 && (tag->Next->Flags & MEMTAG_FLAG_USE) == 0;
}

// Joins the following block of the same piece into the tag; the caller has taken whichever of
// the two was free out of its class and keeps the counts.
void JoinNext(VaZuri *heap, MemTag *tag)
{
    MemTag *next = tag->Next;
    tag->Size += next->Size;
    tag->Flags = static_cast<uint8_t>((tag->Flags & ~MEMTAG_FLAG_NEXT) | (next->Flags & MEMTAG_FLAG_NEXT));
    Unlink(heap, next);
}

// Splits what lies past NewEnd off a used block as a free block, when it is large enough to hold
// one; a following free block of the same piece is joined to it so free blocks never touch.
void SplitTail(VaZuri *heap, MemTag *tag, uint8_t *newEnd)
{
    uint8_t *end = BlockEnd(tag);
    if (end - newEnd < HEAP_TAG_OVERHEAD) return;
    MemTag *rest = reinterpret_cast<MemTag *>(newEnd);
    rest->Flags = static_cast<uint8_t>(MEMTAG_FLAG_PREV | (tag->Flags & MEMTAG_FLAG_NEXT));
    MakeFreeTag(heap, rest, static_cast<uint32_t>(end - newEnd), tag->UseHeapMem);
    tag->Flags |= MEMTAG_FLAG_NEXT;
    tag->Size = static_cast<uint32_t>(newEnd - Bytes(tag));
    LinkAfter(heap, tag, rest);
    heap->TotalUseSize -= rest->Size;
    heap->TotalFreeSize += rest->Size;
    heap->FreeTagNum++;

    if (NextIsFree(rest)) {
        RemoveFree(heap, rest->Next);
        JoinNext(heap, rest);
        heap->FreeTagNum--;
    }
    InsertFree(heap, rest);
}

void DumpTag(MemTag *tag);

[[noreturn]] void Stop(const char *message, MemTag *tag)
{
    AddLogFormatShiftJis("%s", message);
    if (tag != NULL) DumpTag(tag);
    HeapStopProgram();
}

// Finds the tag of a user address, checking it the way the operation's messages say; every
// failure stops the program. The address is checked against the heaps' granules and the distance
// word against its possible range before anything is read through them.
MemTag *CheckedTag(void *address, const TagCheckMessages &messages)
{
    if (address == NULL || (Addr(address) & 15) != 0 || !InHeapGranule(Bytes(address) - 4)) {
        Stop(messages.BadMagic, NULL);
    }
    uint32_t distance;
    memcpy(&distance, Bytes(address) - 4, sizeof distance);
    if (distance < kUserOffset || distance > kMaxUserDistance || distance > Addr(address) ||
        ((Addr(address) - distance) & 15) != 0 || !InHeapGranule(Bytes(address) - distance)) {
        Stop(messages.BadMagic, NULL);
    }
    MemTag *tag = reinterpret_cast<MemTag *>(Bytes(address) - distance);
    if (tag->Magic != MEMTAG_MAGIC) Stop(messages.BadMagic, NULL);
    if ((tag->Flags & MEMTAG_FLAG_USE) == 0) Stop(messages.NotInUse, tag);
    if (tag->UserAddress != address) Stop(messages.BadMagic, NULL);
    if (messages.BadGuard != NULL && !GuardsIntact(tag)) Stop(messages.BadGuard, tag);
    return tag;
}

// Frees a checked tag under the heap lock: merges with free neighbours of the same piece and gives
// an auto-allocated piece back when it holds no used tag any more.
void FreeTag(VaZuri *heap, MemTag *tag)
{
    UnpoisonBlock(tag);
    HeapMemInfo *piece = tag->UseHeapMem;
    UnlinkUsed(heap, tag);
    heap->UseTagNum--;
    heap->TotalUseSize -= tag->Size;
    heap->TotalFreeSize += tag->Size;
    heap->FreeTagNum++;
    piece->UseMemTagCount--;
    MakeFreeTag(heap, tag, tag->Size, piece);

    if ((tag->Flags & MEMTAG_FLAG_PREV) != 0 && (tag->Prev->Flags & MEMTAG_FLAG_USE) == 0) {
        MemTag *prev = tag->Prev;
        RemoveFree(heap, prev);
        JoinNext(heap, prev);
        heap->FreeTagNum--;
        tag = prev;
    }
    if (NextIsFree(tag)) {
        RemoveFree(heap, tag->Next);
        JoinNext(heap, tag);
        heap->FreeTagNum--;
    }
    InsertFree(heap, tag);

    if (piece->UseMemTagCount == 0 && (piece->Flags & HEAPMEM_FLAG_AUTO_ALLOC) != 0) {
        SubHeapMemory(heap, piece->Address);
    }
}

// Takes memory from the page provider for a request of the given total and search class: the
// needed size grows until its own class reaches the search class, and the growth unit is halved
// down to 1 MB while the provider refuses.
int Grow(VaZuri *heap, uint32_t total, int fli, int sli)
{
    if (!heap->AutoGrow) return -1;
    uint64_t needed = total;
    for (;;) {
        if (needed > 0xFFFFFFFFu) return -1;
        int f, s;
        ClassOf(static_cast<uint32_t>(needed), &f, &s);
        if (f > fli || (f == fli && s >= sli)) break;
        uint64_t step = needed / 100;
        needed += step > HEAP_MIN_GROW_UNIT ? step : HEAP_MIN_GROW_UNIT;
    }
    for (size_t unit = heap->GrowUnit; unit >= HEAP_MIN_GROW_UNIT; unit /= 2) {
        uint64_t request = unit + needed;
        if (request <= 0xFFFFFFF0u && AddHeapMemory(heap, NULL, static_cast<size_t>(request)) == 0) return 0;
    }
    return -1;
}

void DumpTag(MemTag *tag)
{
    char data[16 * 3 + 1];
    // A tag that is not in use (a double free shows the freed block's tag) has no user data.
    size_t n = (tag->Flags & MEMTAG_FLAG_USE) == 0 ? 0 : tag->UserSize < 16 ? tag->UserSize : 16;
    const uint8_t *user = Bytes(tag->UserAddress);
    for (size_t i = 0; i < n; ++i) snprintf(data + i * 3, 4, "%02x ", user[i]);
    // The closing bracket is written over the blank after the last byte.
    if (n > 0)
        data[n * 3 - 1] = '\0';
    else
        data[0] = '\0';
    AddLogFormatShiftJis(
        "\tsize:%10d(%10.3fkb)  user size:%10d(%10.3fkb)  time:%05d  file:%-26s  line:%-6d  ID:%-5d  addr:%08x  "
        "data:[%s]",
        static_cast<int>(tag->Size), tag->Size / 1024.0, static_cast<int>(tag->UserSize), tag->UserSize / 1024.0,
        static_cast<int>(tag->Time), tag->File, MemTagLine(tag), static_cast<int>(tag->ID),
        static_cast<unsigned>(Addr(tag->UserAddress)), data);
}

// The heap's lock, recorded at this file's calling line; none when the heap's owner reaches it
// only under a lock of its own.
struct HeapLockGuard
{
    explicit HeapLockGuard(VaZuri *heap, int line) : Heap(heap)
    {
        if (!heap->OwnerLocked) CriticalSectionLock(&heap->Lock, __FILE_NAME__, line);
    }
    ~HeapLockGuard()
    {
        if (!Heap->OwnerLocked) CriticalSectionUnlock(&Heap->Lock);
    }
    VaZuri *Heap;
};

}  // namespace

int MemTagLine(const MemTag *Tag) { return Tag->Line | ((Tag->Flags & MEMTAG_FLAG_LINE_HIGH) << 16); }

int InitializeHeap(VaZuri *Heap, int Kind, uint32_t Alignment, int AutoGrow, size_t GrowUnit, void *ProviderArg,
                   HeapPageAllocCallback PageAlloc, HeapPageAddressCallback PageAddress, HeapPageSizeCallback PageSize,
                   HeapPageFreeCallback PageFree, void *FirstMemory, size_t FirstMemorySize)
{
    // Only the TLSF kind is built: the first-fit kind serves no caller.
    if (Heap == NULL || Kind != HEAP_KIND_TLSF) return -1;
    if (AutoGrow && (PageAlloc == NULL || PageAddress == NULL || PageSize == NULL || PageFree == NULL)) return -1;
    memset(static_cast<void *>(Heap), 0, sizeof(*Heap));
    Heap->Kind = Kind;
    Heap->Aligned = Alignment == 0 ? 16 : (Alignment > 0x10000 ? 0x10000 : (Alignment + 15) & ~15u);
    Heap->AutoGrow = AutoGrow != 0;
    Heap->GrowUnit = GrowUnit < HEAP_MIN_GROW_UNIT ? HEAP_MIN_GROW_UNIT : GrowUnit;
    Heap->ProviderArg = ProviderArg;
    Heap->PageAlloc = PageAlloc;
    Heap->PageAddress = PageAddress;
    Heap->PageSize = PageSize;
    Heap->PageFree = PageFree;
    CriticalSectionInitialize(&Heap->Lock);
    Heap->Initialized = 1;
    if (FirstMemory != NULL && AddHeapMemory(Heap, FirstMemory, FirstMemorySize) != 0) {
        TerminateHeap(Heap);
        return -1;
    }
    return 0;
}

int TerminateHeap(VaZuri *Heap)
{
    if (Heap == NULL || !Heap->Initialized) return 0;
    for (HeapMemInfo *piece = Heap->FirstHeapMem; piece != NULL;) {
        HeapMemInfo *next = piece->Next;
        MarkGranules(piece->Address, piece->Size, -1);
        MarkRetired(piece->Address, piece->Size);
        if ((piece->Flags & HEAPMEM_FLAG_AUTO_ALLOC) != 0) {
            HeapPageRecord record = piece->PageRecord;  // the record lives in the piece itself
            Heap->PageFree(Heap->ProviderArg, &record);
        }
        piece = next;
    }
    CriticalSectionDelete(&Heap->Lock);
    memset(static_cast<void *>(Heap), 0, sizeof(*Heap));
    return 0;
}

int AddHeapMemory(VaZuri *Heap, void *Memory, size_t Size)
{
    if (Heap == NULL || !Heap->Initialized) return -1;
    HeapLockGuard lock(Heap, __LINE__);
    void *address;
    size_t size;
    HeapPageRecord record = {NULL, 0};
    uint32_t flags = 0;
    if (Memory == NULL) {
        if (!Heap->AutoGrow) return -1;
        uint64_t want = Size < HEAP_MIN_GROW_UNIT ? HEAP_MIN_GROW_UNIT : Size;
        want = (want + 31) & ~uint64_t(15);
        if (want > 0xFFFFFFF0u || Heap->PageAlloc(Heap->ProviderArg, static_cast<size_t>(want), &record) != 0) {
            AddLogFormatShiftJis("ヒープ用メモリの確保に失敗しました");
            return -1;
        }
        address = Heap->PageAddress(Heap->ProviderArg, &record);
        size = Heap->PageSize(Heap->ProviderArg, &record);
        flags = HEAPMEM_FLAG_AUTO_ALLOC;
    } else {
        if (Size < HEAP_MIN_MEMORY_SIZE) {
            AddLogFormatShiftJis("ヒープのサイズ( %dbyte )が小さすぎます、最低でも %dbyte 必要です",
                                 static_cast<int>(Size), HEAP_MIN_MEMORY_SIZE);
            return -1;
        }
        address = Memory;
        size = Size;
    }

    // The piece's record sits at its start, the one free block after it.
    HeapMemInfo *piece = reinterpret_cast<HeapMemInfo *>(AlignUp(Addr(address), 16));
    uint8_t *first = reinterpret_cast<uint8_t *>(AlignUp(Addr(piece) + sizeof(HeapMemInfo), 16));
    uint8_t *end = reinterpret_cast<uint8_t *>((uint64_t(Addr(address)) + size) & ~uint64_t(15));
    if (end <= first || uint64_t(end - first) < HEAP_TAG_OVERHEAD || uint64_t(end - first) > 0xFFFFFFF0u) {
        if (flags != 0) Heap->PageFree(Heap->ProviderArg, &record);
        AddLogFormatShiftJis("ヒープのサイズ( %dbyte )が小さすぎます、最低でも %dbyte 必要です", static_cast<int>(size),
                             HEAP_MIN_MEMORY_SIZE);
        return -1;
    }
    piece->Address = address;
    piece->Size = size;
    piece->UseMemTagCount = 0;
    piece->Flags = flags;
    piece->PageRecord = record;

    // Pieces and tags both stay in address order.
    HeapMemInfo *after = NULL;
    HeapMemInfo *before = Heap->FirstHeapMem;
    while (before != NULL && Addr(before->Address) < Addr(address)) {
        after = before;
        before = before->Next;
    }
    piece->Prev = after;
    piece->Next = before;
    if (after != NULL)
        after->Next = piece;
    else
        Heap->FirstHeapMem = piece;
    if (before != NULL) before->Prev = piece;

    MemTag *tag = reinterpret_cast<MemTag *>(first);
    tag->Flags = 0;
    MakeFreeTag(Heap, tag, static_cast<uint32_t>(end - first), piece);
    piece->FirstTag = tag;
    MemTag *nextTag = before != NULL ? before->FirstTag : NULL;
    tag->Next = nextTag;
    tag->Prev = nextTag != NULL ? nextTag->Prev : Heap->LastTag;
    if (tag->Prev != NULL)
        tag->Prev->Next = tag;
    else
        Heap->FirstTag = tag;
    if (nextTag != NULL)
        nextTag->Prev = tag;
    else
        Heap->LastTag = tag;

    MarkGranules(address, size, +1);
    Heap->HeapMemNum++;
    Heap->FreeTagNum++;
    Heap->TotalSize += tag->Size;
    Heap->TotalFreeSize += tag->Size;
    InsertFree(Heap, tag);
    return 0;
}

int SubHeapMemory(VaZuri *Heap, void *Memory)
{
    HeapLockGuard lock(Heap, __LINE__);
    HeapMemInfo *piece = Heap->FirstHeapMem;
    while (piece != NULL && piece->Address != Memory) piece = piece->Next;
    if (piece == NULL) {
        AddLogFormatShiftJis(
            "SubHeapMemory Error : 指定されたメモリアドレスを持つヒープメモリが見つかりません  HeapAddress:0x%016llx",
            static_cast<unsigned long long>(Addr(Memory)));
        HeapStopProgram();
    }
    if (piece->UseMemTagCount != 0) {
        AddLogFormatShiftJis(
            "SubHeapMemory Error : 使用しているメモリタグがある状態でヒープメモリを外そうとしました  "
            "HeapMemInfo->UseMemTagCount:%d",
            piece->UseMemTagCount);
        HeapStopProgram();
    }
    MemTag *tag = piece->FirstTag;
    if ((tag->Flags & MEMTAG_FLAG_USE) != 0)
        Stop("SubHeapMemory Error : ヒープメモリを使用している先頭タグが使用メモリタグでした", NULL);
    if (tag->UseHeapMem != piece) {
        AddLogFormatShiftJis(
            "SubHeapMemory Error : ヒープメモリを使用している先頭タグが使用しているヒープメモリ情報と一致しません "
            "MemTag->UseHeapMem:0x%016llx  HeapMemInfo:0x%016llx",
            static_cast<unsigned long long>(Addr(tag->UseHeapMem)), static_cast<unsigned long long>(Addr(piece)));
        HeapStopProgram();
    }
    if ((tag->Flags & MEMTAG_FLAG_NEXT) != 0)
        Stop("SubHeapMemory Error : ヒープメモリを使用している使用メモリタグが二つ以上あります", NULL);

    RemoveFree(Heap, tag);
    Unlink(Heap, tag);
    Heap->FreeTagNum--;
    Heap->TotalFreeSize -= tag->Size;
    Heap->TotalSize -= tag->Size;
    Heap->HeapMemNum--;
    if (piece->Prev != NULL)
        piece->Prev->Next = piece->Next;
    else
        Heap->FirstHeapMem = piece->Next;
    if (piece->Next != NULL) piece->Next->Prev = piece->Prev;
    MarkGranules(piece->Address, piece->Size, -1);
    if ((piece->Flags & HEAPMEM_FLAG_AUTO_ALLOC) != 0) {
        HeapPageRecord record = piece->PageRecord;  // the record lives in the piece itself
        Heap->PageFree(Heap->ProviderArg, &record);
    }
    return 0;
}

void *AllocMemory(VaZuri *Heap, size_t Size, uint32_t Alignment, const char *File, int Line)
{
    if (Heap == NULL || !Heap->Initialized || Size == 0) return NULL;
    uint32_t alignment = RequestAlignment(Heap, Alignment);
    uint64_t rounded;
    uint32_t total;
    int fli, sli;
    if (!RequestSizes(Size, alignment, &rounded, &total) || !SearchClassOf(total, &fli, &sli)) {
        AddLogFormatShiftJis("AllocMemory Error : 確保サイズ %u byte が大きすぎます", static_cast<unsigned>(Size));
        return NULL;
    }

    HeapLockGuard lock(Heap, __LINE__);
    MemTag *tag = FindFree(Heap, fli, sli);
    if (tag == NULL) {
        if (Grow(Heap, total, fli, sli) != 0) return NULL;
        tag = FindFree(Heap, fli, sli);
        if (tag == NULL) return NULL;
    }
    uint8_t *user = reinterpret_cast<uint8_t *>(AlignUp(Addr(tag) + kUserOffset, alignment));
    if (BlockEnd(tag) < user || uint64_t(BlockEnd(tag) - user) < rounded + HEAP_GUARD_SIZE) {
        AddLogFormatShiftJis("TLSF カテゴリ構造エラー 2  MemTag->Size %d", static_cast<int>(tag->Size));
        HeapStopProgram();
    }

    RemoveFree(Heap, tag);
    Heap->FreeTagNum--;
    Heap->TotalFreeSize -= tag->Size;
    Heap->TotalUseSize += tag->Size;
    Heap->UseTagNum++;
    tag->UseHeapMem->UseMemTagCount++;
    SplitTail(Heap, tag, reinterpret_cast<uint8_t *>((Addr(user) + rounded + 31) & ~uintptr_t(15)));

    tag->Flags |= MEMTAG_FLAG_USE;
    tag->UserAddress = user;
    tag->UserSize = static_cast<uint32_t>(Size);
    Stamp(Heap, tag, File, Line);
    uint32_t distance = static_cast<uint32_t>(user - Bytes(tag));
    memcpy(user - 4, &distance, sizeof distance);
    FillGuards(tag);
    PoisonGuards(tag);
    LinkUsed(Heap, tag);
    return user;
}

MemTag *FindCheckedTag(void *Address, HeapCheckPurpose Purpose)
{
    switch (Purpose) {
        case HEAP_CHECK_FREE:
            return CheckedTag(Address, kFreeMessages);
        case HEAP_CHECK_REALLOC:
            return CheckedTag(Address, kReallocMessages);
        default:
            return CheckedTag(Address, kSizeMessages);
    }
}

void FreeCheckedTag(MemTag *Tag)
{
    VaZuri *heap = Tag->Heap;
    HeapLockGuard lock(heap, __LINE__);
    FreeTag(heap, Tag);
}

int HeapAddressOfEndedHeap(const void *Address)
{
    uint64_t g = uint64_t(Addr(Address)) >> kGranuleShift;
    return g < kGranuleCount && HeapGlobal.GranuleUse[g].load(std::memory_order_relaxed) == 0 &&
                   HeapGlobal.GranuleRetired[g].load(std::memory_order_relaxed) != 0
               ? 1
               : 0;
}

int HeapRequestTooLarge(size_t Size, uint32_t Alignment)
{
    uint32_t alignment = Alignment == 0 ? 16 : (Alignment > 0x10000 ? 0x10000 : (Alignment + 15) & ~15u);
    uint64_t rounded;
    uint32_t total;
    int fli, sli;
    return RequestSizes(Size, alignment, &rounded, &total) && SearchClassOf(total, &fli, &sli) ? 0 : 1;
}

int FreeMemory(void *Address)
{
    FreeCheckedTag(CheckedTag(Address, kFreeMessages));
    return 0;
}

void *ReallocMemory(void *Address, size_t NewSize, uint32_t Alignment, const char *File, int Line)
{
    if (Address == NULL || NewSize == 0) return NULL;
    MemTag *tag = CheckedTag(Address, kReallocMessages);
    VaZuri *heap = tag->Heap;
    HeapLockGuard lock(heap, __LINE__);
    if (tag->UserSize == NewSize) {
        Stamp(heap, tag, File, Line);
        return Address;
    }
    uint32_t alignment = Alignment == 0 ? heap->Aligned : RequestAlignment(heap, Alignment);
    uint64_t rounded;
    uint32_t total;
    if (!RequestSizes(NewSize, alignment, &rounded, &total)) {
        AddLogFormatShiftJis("ReallocMemory Error : 確保サイズ %u byte が大きすぎます", static_cast<unsigned>(NewSize));
        return NULL;
    }

    uint8_t *user = Bytes(Address);
    uint64_t need = rounded + HEAP_GUARD_SIZE;
    UnpoisonBlock(tag);
    bool inPlace = false;
    if ((Addr(user) % alignment) == 0) {
        if (uint64_t(BlockEnd(tag) - user) >= need) {
            inPlace = true;
        } else if (NextIsFree(tag) && uint64_t(BlockEnd(tag->Next) - user) >= need) {
            uint32_t joined = tag->Next->Size;
            RemoveFree(heap, tag->Next);
            JoinNext(heap, tag);
            heap->FreeTagNum--;
            heap->TotalFreeSize -= joined;
            heap->TotalUseSize += joined;
            inPlace = true;
        }
    }
    if (inPlace) {
        SplitTail(heap, tag, reinterpret_cast<uint8_t *>((Addr(user) + rounded + 31) & ~uintptr_t(15)));
        tag->UserSize = static_cast<uint32_t>(NewSize);
        Stamp(heap, tag, File, Line);
        FillGuards(tag);
        PoisonGuards(tag);
        return Address;
    }

    void *moved = AllocMemory(heap, NewSize, alignment, File, Line);
    if (moved == NULL) {
        PoisonGuards(tag);
        return NULL;
    }
    memcpy(moved, Address, tag->UserSize < NewSize ? tag->UserSize : NewSize);
    FreeTag(heap, tag);
    return moved;
}

size_t GetAllocSize(void *Address) { return CheckedTag(Address, kSizeMessages)->UserSize; }

int DumpMemoryTag(void *Address)
{
    MemTag *tag = reinterpret_cast<MemTag *>(Bytes(Address) - *reinterpret_cast<uint32_t *>(Bytes(Address) - 4));
    DumpTag(tag);
    return 0;
}

int DumpHeap(VaZuri *Heap)
{
    if (Heap == NULL || !Heap->Initialized) return 0;
    HeapLockGuard lock(Heap, __LINE__);
    for (MemTag *tag = Heap->FirstUseTag; tag != NULL; tag = tag->ListNext) DumpTag(tag);
    return 0;
}

namespace {

// The consistency walk of HeapErrorCheck. Every pointer is checked against the piece before it is
// followed, so a damaged heap is reported rather than walked into.
class HeapChecker
{
public:
    explicit HeapChecker(VaZuri *heap) : heap_(heap) {}

    int Run()
    {
        if (!CheckPieces() || !CheckUsedList() || !CheckClasses()) return -1;
        if (total_ != heap_->TotalSize || use_ != heap_->TotalUseSize || free_ != heap_->TotalFreeSize ||
            heap_->TotalSize != heap_->TotalUseSize + heap_->TotalFreeSize) {
            Fail("サイズの合計が一致しません  TotalSize:%u  TotalUseSize:%u  TotalFreeSize:%u",
                 unsigned(heap_->TotalSize), unsigned(heap_->TotalUseSize), unsigned(heap_->TotalFreeSize));
            return -1;
        }
        if (useNum_ != heap_->UseTagNum || freeNum_ != heap_->FreeTagNum || pieces_ != heap_->HeapMemNum) {
            Fail("メモリタグの数が一致しません  UseTagNum:%d(%d)  FreeTagNum:%d(%d)  HeapMemNum:%d(%d)",
                 heap_->UseTagNum, useNum_, heap_->FreeTagNum, freeNum_, heap_->HeapMemNum, pieces_);
            return -1;
        }
        return 0;
    }

private:
    template <typename... Args>
    bool Fail(const char *format, Args... args)
    {
        char line[512];
        snprintf(line, sizeof line, format, args...);
        AddLogFormatShiftJis("HeapErrorCheck Error : %s", line);
        return false;
    }

    bool CheckPieces()
    {
        MemTag *prevTag = NULL;
        uintptr_t prevPiece = 0;
        for (HeapMemInfo *piece = heap_->FirstHeapMem; piece != NULL; piece = piece->Next) {
            ++pieces_;
            // Strictly rising, so a piece linked to itself can't keep the walk going.
            if (Addr(piece->Address) <= prevPiece)
                return Fail("ヒープメモリの順序が壊れています  HeapMemInfo:0x%08x", unsigned(Addr(piece)));
            prevPiece = Addr(piece->Address);
            uintptr_t begin = Addr(piece->Address);
            uintptr_t end = (begin + piece->Size) & ~uintptr_t(15);
            MemTag *tag = piece->FirstTag;
            if (!TagInRange(tag, begin, end) || tag->Prev != prevTag || (prevTag == NULL && heap_->FirstTag != tag) ||
                (prevTag != NULL && prevTag->Next != tag)) {
                return Fail("ヒープメモリ間のアドレスリンクが壊れています  HeapMemInfo:0x%08x", unsigned(Addr(piece)));
            }
            int used = 0;
            bool previousFree = false;
            MemTag *below = NULL;  // the tag before this one in the piece
            for (bool first = true;; first = false) {
                if (Addr(tag) < begin || Addr(tag) + sizeof(MemTag) > end) {
                    return Fail("メモリタグがヒープメモリの範囲外です  MemTag:0x%08x", unsigned(Addr(tag)));
                }
                if ((Addr(tag) & 15) != 0)
                    return Fail("メモリタグのアドレスが整列されていません  MemTag:0x%08x", unsigned(Addr(tag)));
                if (below != NULL && tag->Prev != below) {
                    return Fail("アドレス順のリンクが壊れています  MemTag:0x%08x", unsigned(Addr(below)));
                }
                if (tag->Magic != MEMTAG_MAGIC)
                    return Fail("メモリタグの MagicID が不正です  MemTag:0x%08x", unsigned(Addr(tag)));
                if (tag->Size < kUserOffset + 2 * HEAP_GUARD_SIZE || Addr(tag) + tag->Size > end ||
                    tag->UseHeapMem != piece || tag->Heap != heap_) {
                    return Fail("メモリタグのサイズかヒープメモリ情報が不正です  MemTag:0x%08x  Size:%u",
                                unsigned(Addr(tag)), unsigned(tag->Size));
                }
                if (((tag->Flags & MEMTAG_FLAG_PREV) != 0) == first) {
                    return Fail("メモリタグの前方フラグが不正です  MemTag:0x%08x", unsigned(Addr(tag)));
                }
                total_ += tag->Size;
                bool isUsed = (tag->Flags & MEMTAG_FLAG_USE) != 0;
                if (isUsed) {
                    if (!CheckUsedTag(tag)) return false;
                    ++used;
                    ++useNum_;
                    use_ += tag->Size;
                } else {
                    if (previousFree)
                        return Fail("空きメモリタグが隣り合っています  MemTag:0x%08x", unsigned(Addr(tag)));
                    ++freeNum_;
                    free_ += tag->Size;
                }
                previousFree = !isUsed;
                if ((tag->Flags & MEMTAG_FLAG_NEXT) == 0) {
                    if (Addr(tag) + tag->Size != end) {
                        return Fail("ヒープメモリ末尾のメモリタグのサイズが不正です  MemTag:0x%08x",
                                    unsigned(Addr(tag)));
                    }
                    break;
                }
                // The following tag is read only once the loop's top has found it inside the piece.
                if (tag->Next != reinterpret_cast<MemTag *>(BlockEnd(tag))) {
                    return Fail("アドレス順のリンクが壊れています  MemTag:0x%08x", unsigned(Addr(tag)));
                }
                below = tag;
                tag = tag->Next;
            }
            if (used != piece->UseMemTagCount) {
                return Fail("ヒープメモリの使用メモリタグ数が一致しません  HeapMemInfo->UseMemTagCount:%d(%d)",
                            piece->UseMemTagCount, used);
            }
            prevTag = tag;
        }
        if (heap_->LastTag != prevTag || (prevTag != NULL && prevTag->Next != NULL)) {
            return Fail("末尾のメモリタグが一致しません");
        }
        return true;
    }

    static bool TagInRange(const MemTag *tag, uintptr_t begin, uintptr_t end)
    {
        return (Addr(tag) & 15) == 0 && Addr(tag) >= begin && Addr(tag) + sizeof(MemTag) <= end;
    }

    // Whether a list link points at a tag's room inside one of the heap's pieces (whose list the
    // piece walk has already checked), so that it can be read.
    bool InsideAPiece(const MemTag *tag) const
    {
        for (HeapMemInfo *piece = heap_->FirstHeapMem; piece != NULL; piece = piece->Next) {
            uintptr_t begin = Addr(piece->Address);
            if (TagInRange(tag, begin, (begin + piece->Size) & ~uintptr_t(15))) return true;
        }
        return false;
    }

    // The first used tag at or after the given one in address order (a chain the piece walk has
    // checked), or null.
    static MemTag *UsedFrom(MemTag *tag)
    {
        while (tag != NULL && (tag->Flags & MEMTAG_FLAG_USE) == 0) tag = tag->Next;
        return tag;
    }

    bool CheckUsedTag(MemTag *tag)
    {
        uintptr_t user = Addr(tag->UserAddress);
        if (user < Addr(tag) + kUserOffset || user + tag->UserSize + HEAP_GUARD_SIZE > Addr(BlockEnd(tag))) {
            return Fail("ユーザーメモリがブロックの範囲外です  MemTag:0x%08x", unsigned(Addr(tag)));
        }
        if ((user & 15) != 0 || *reinterpret_cast<uint32_t *>(user - 4) != user - Addr(tag)) {
            return Fail("ユーザーメモリのアドレスが不正です  MemTag:0x%08x", unsigned(Addr(tag)));
        }
        if (!GuardsIntact(tag)) {
            Fail("デバッグ領域の破壊を確認しました  MemTag:0x%08x", unsigned(Addr(tag)));
            DumpTag(tag);
            return false;
        }
        return true;
    }

    // The used list must be exactly the used tags in address order; a link is compared with the
    // tag it should name before it is followed.
    bool CheckUsedList()
    {
        MemTag *prev = NULL;
        MemTag *expect = UsedFrom(heap_->FirstTag);
        for (MemTag *tag = heap_->FirstUseTag;; tag = tag->ListNext) {
            if (tag != expect) {
                if (tag == NULL || expect == NULL)
                    return Fail("使用リストのメモリタグ数が一致しません  MemTag:0x%08x", unsigned(Addr(prev)));
                if (InsideAPiece(tag) && tag->Magic == MEMTAG_MAGIC && (tag->Flags & MEMTAG_FLAG_USE) == 0) {
                    return Fail("使用リストに空きメモリタグがあります  MemTag:0x%08x", unsigned(Addr(tag)));
                }
                return Fail("使用リストのリンクが壊れています  MemTag:0x%08x", unsigned(Addr(prev)));
            }
            if (tag == NULL) break;
            if (tag->ListPrev != prev)
                return Fail("使用リストのリンクが壊れています  MemTag:0x%08x", unsigned(Addr(tag)));
            prev = tag;
            expect = UsedFrom(tag->Next);
        }
        if (heap_->LastUseTag != prev)
            return Fail("使用リストの末尾が一致しません  MemTag:0x%08x", unsigned(Addr(prev)));
        return true;
    }

    bool CheckClasses()
    {
        int count = 0;
        for (int f = 0; f < HEAP_FLI_COUNT; ++f) {
            if (((heap_->FLBitmap >> f) & 1) != (heap_->SLBitmap[f] != 0 ? 1u : 0u)) {
                return Fail("TLSF の第一レベルビットが不正です  FLI:%d", f);
            }
            for (int s = 0; s < HEAP_SLI_COUNT; ++s) {
                MemTag *head = heap_->FreeList[f][s];
                if (((heap_->SLBitmap[f] >> s) & 1) != (head != NULL ? 1u : 0u)) {
                    return Fail("TLSF の第二レベルビットが空きリストと一致しません  FLI:%d  SLI:%d", f, s);
                }
                MemTag *prev = NULL;
                for (MemTag *tag = head; tag != NULL; tag = tag->ListNext) {
                    if (++count > freeNum_) return Fail("空きリストのメモリタグが多すぎます");
                    if (!InsideAPiece(tag)) {
                        return Fail("空きリストのリンクが壊れています  FLI:%d  SLI:%d  MemTag:0x%08x", f, s,
                                    unsigned(Addr(tag)));
                    }
                    int tf, ts;
                    if (tag->Magic != MEMTAG_MAGIC || (tag->Flags & MEMTAG_FLAG_USE) != 0) {
                        return Fail("空きリストに使用メモリタグがあります  MemTag:0x%08x", unsigned(Addr(tag)));
                    }
                    ClassOf(tag->Size, &tf, &ts);
                    if (tf != f || ts != s || tag->FLI != f || tag->SLI != s || tag->ListPrev != prev) {
                        return Fail("メモリタグのカテゴリが不正です  MemTag:0x%08x  FLI:%d  SLI:%d",
                                    unsigned(Addr(tag)), f, s);
                    }
                    prev = tag;
                }
            }
        }
        if (count != freeNum_) return Fail("空きリストのメモリタグ数が一致しません  %d(%d)", count, freeNum_);
        return true;
    }

    VaZuri *heap_;
    uint64_t total_ = 0, use_ = 0, free_ = 0;
    int useNum_ = 0, freeNum_ = 0, pieces_ = 0;
};

}  // namespace

int HeapErrorCheck(VaZuri *Heap)
{
    if (Heap == NULL || !Heap->Initialized) return 0;
    HeapLockGuard lock(Heap, __LINE__);
    return HeapChecker(Heap).Run();
}
