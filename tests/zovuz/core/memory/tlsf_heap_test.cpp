// The TLSF heap on its own: growth, pieces going back, caller memory, alignment, reallocation in
// place and the consistency check.
#include "zovuz/core/memory/tlsf_heap.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string.h>

#include <algorithm>
#include <random>
#include <set>
#include <vector>

#include "tests/support/test_files.h"
#include "zovuz/core/text/log.h"

namespace {

// A page provider over the real one that refuses pieces above a limit and records every request.
struct FakeProvider {
    size_t Limit = ~size_t(0);
    std::vector<size_t> Requests;
    std::set<void *> Live;
};

int FakeAlloc(void *arg, size_t size, HeapPageRecord *record)
{
    FakeProvider *provider = static_cast<FakeProvider *>(arg);
    provider->Requests.push_back(size);
    if (size > provider->Limit || HeapPageAlloc(NULL, size, record) != 0) return -1;
    provider->Live.insert(record->Address);
    return 0;
}

int FakeFree(void *arg, HeapPageRecord *record)
{
    static_cast<FakeProvider *>(arg)->Live.erase(record->Address);
    return HeapPageFree(NULL, record);
}

class TlsfHeap : public testing::Test {
protected:
    void Start(size_t growUnit, size_t limit = ~size_t(0))
    {
        provider_.Limit = limit;
        ASSERT_EQ(InitializeHeap(&heap_, HEAP_KIND_TLSF, 16, 1, growUnit, &provider_, FakeAlloc, HeapPageAddress,
                                 HeapPageSize, FakeFree, NULL, 0), 0);
    }
    void TearDown() override
    {
        TerminateHeap(&heap_);
        EXPECT_TRUE(provider_.Live.empty()) << "pieces not given back";
    }
    void *Alloc(size_t size, uint32_t alignment = 0) { return AllocMemory(&heap_, size, alignment, __FILE__, __LINE__); }

    VaZuri heap_ = {};
    FakeProvider provider_;
};

TEST_F(TlsfHeap, GrowthHalvesTheUnitDownToOneMegabyte)
{
    Start(0x400000, 0x300000);
    void *block = Alloc(1000);
    ASSERT_NE(block, nullptr);
    ASSERT_EQ(provider_.Requests.size(), 3u);  // 4 MB and 2 MB units refused, 1 MB taken
    EXPECT_EQ(provider_.Requests[0] - provider_.Requests[1], 0x200000u);
    EXPECT_EQ(provider_.Requests[1] - provider_.Requests[2], 0x100000u);
    EXPECT_GE(provider_.Requests[2], 0x100000u + 1000);
    FreeMemory(block);

    // Nothing at all: three tries, then a clean failure.
    provider_.Requests.clear();
    provider_.Limit = 0;
    EXPECT_EQ(Alloc(1000), nullptr);
    EXPECT_EQ(provider_.Requests.size(), 3u);
    EXPECT_EQ(HeapErrorCheck(&heap_), 0);
}

TEST_F(TlsfHeap, EmptyPiecesGoBackToTheSystem)
{
    Start(0x100000);
    std::mt19937 rng(7);
    std::vector<void *> blocks;
    std::set<void *> pieces;
    for (int i = 0; i < 6000; ++i) {
        void *block = Alloc(16 + rng() % 2000);
        ASSERT_NE(block, nullptr);
        blocks.push_back(block);
        pieces.insert(FindCheckedTag(block, HEAP_CHECK_SIZE)->UseHeapMem->Address);
    }
    EXPECT_GT(heap_.HeapMemNum, 2);
    EXPECT_EQ(HeapErrorCheck(&heap_), 0);
    std::shuffle(blocks.begin(), blocks.end(), rng);
    for (size_t i = 0; i < blocks.size(); ++i) {
        FreeMemory(blocks[i]);
        if (i % 100 == 0) {
            ASSERT_EQ(HeapErrorCheck(&heap_), 0) << i;
        }
    }
    EXPECT_EQ(heap_.HeapMemNum, 0);
    EXPECT_EQ(heap_.TotalSize, 0u);
    EXPECT_EQ(heap_.FLBitmap, 0u);
    for (void *piece : pieces) {
        MEMORY_BASIC_INFORMATION info;
        ASSERT_NE(VirtualQuery(piece, &info, sizeof info), 0u);
        EXPECT_EQ(info.State, static_cast<DWORD>(MEM_FREE));
    }
}

TEST_F(TlsfHeap, AlignmentIsHonoured)
{
    Start(0x100000);
    const struct {
        uint32_t Requested;
        uint32_t Expected;
    } cases[] = {{0, 16}, {1, 16}, {15, 16}, {16, 16}, {32, 32}, {48, 48}, {64, 64}, {256, 256}, {4096, 4096}};
    std::vector<void *> blocks;
    for (const auto &c : cases) {
        for (size_t size : {1u, 100u, 5000u}) {
            void *block = Alloc(size, c.Requested);
            ASSERT_NE(block, nullptr);
            EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % c.Expected, 0u) << c.Requested << " " << size;
            EXPECT_EQ(GetAllocSize(block), size);
            memset(block, 0x11, size);
            blocks.push_back(block);
        }
    }
    EXPECT_EQ(HeapErrorCheck(&heap_), 0);
    for (void *block : blocks) FreeMemory(block);
    EXPECT_EQ(heap_.UseTagNum, 0);
}

TEST_F(TlsfHeap, ReallocStaysInPlaceWhileItFits)
{
    Start(0x100000);
    uint8_t *a = static_cast<uint8_t *>(Alloc(1000));
    void *b = Alloc(1000);  // a used neighbour after a
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    for (int i = 0; i < 1000; ++i) a[i] = static_cast<uint8_t>(i);
    const int freeTags = heap_.FreeTagNum;

    // A shrink splits the rest off as a free block.
    EXPECT_EQ(ReallocMemory(a, 100, 0, "shrink.cpp", 1), a);
    EXPECT_EQ(heap_.FreeTagNum, freeTags + 1);
    EXPECT_EQ(HeapErrorCheck(&heap_), 0);
    // Growing again takes that free block back, still in place.
    EXPECT_EQ(ReallocMemory(a, 900, 0, "grow.cpp", 2), a);
    EXPECT_EQ(heap_.FreeTagNum, freeTags);
    EXPECT_EQ(HeapErrorCheck(&heap_), 0);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(a[i], static_cast<uint8_t>(i));

    // The same size only re-stamps the tag.
    MemTag *tag = FindCheckedTag(a, HEAP_CHECK_SIZE);
    uint16_t id = tag->ID;
    EXPECT_EQ(ReallocMemory(a, 900, 0, "stamp_only.cpp", 77), a);
    EXPECT_STREQ(tag->File, "stamp_only.cpp");
    EXPECT_EQ(MemTagLine(tag), 77);
    EXPECT_NE(tag->ID, id);

    // Beyond the used neighbour it must move, keeping the contents.
    uint8_t *moved = static_cast<uint8_t *>(ReallocMemory(a, 50000, 0, "move.cpp", 3));
    ASSERT_NE(moved, nullptr);
    EXPECT_NE(moved, a);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(moved[i], static_cast<uint8_t>(i));
    EXPECT_EQ(GetAllocSize(moved), 50000u);
    EXPECT_EQ(heap_.UseTagNum, 2);
    EXPECT_EQ(HeapErrorCheck(&heap_), 0);

    EXPECT_EQ(ReallocMemory(moved, 0, 0, "zero.cpp", 4), nullptr);  // refused, block untouched
    EXPECT_EQ(ReallocMemory(NULL, 10, 0, "null.cpp", 5), nullptr);
    EXPECT_EQ(GetAllocSize(moved), 50000u);
    FreeMemory(moved);
    FreeMemory(b);
}

TEST(TlsfHeapCallerMemory, IsUsedButNeverGivenBack)
{
    alignas(16) static uint8_t memory[64 * 1024];
    VaZuri heap = {};
    ASSERT_EQ(InitializeHeap(&heap, HEAP_KIND_TLSF, 16, 0, 0, NULL, NULL, NULL, NULL, NULL, memory, sizeof memory), 0);
    EXPECT_EQ(AddHeapMemory(&heap, NULL, 0x100000), -1);  // no growth without the auto-grow flag
    static uint8_t tiny[100];
    EXPECT_EQ(AddHeapMemory(&heap, tiny, sizeof tiny), -1);

    std::vector<void *> blocks;
    while (void *block = AllocMemory(&heap, 1000, 0, __FILE__, __LINE__)) {
        ASSERT_GE(static_cast<uint8_t *>(block), memory);
        ASSERT_LE(static_cast<uint8_t *>(block) + 1000, memory + sizeof memory);
        blocks.push_back(block);
    }
    EXPECT_GT(blocks.size(), 40u);
    EXPECT_EQ(HeapErrorCheck(&heap), 0);
    for (void *block : blocks) FreeMemory(block);
    EXPECT_EQ(heap.HeapMemNum, 1);
    EXPECT_EQ(heap.FreeTagNum, 1);
    EXPECT_EQ(heap.TotalFreeSize, heap.TotalSize);
    EXPECT_EQ(HeapErrorCheck(&heap), 0);
    TerminateHeap(&heap);
    EXPECT_EQ(InitializeHeap(&heap, 0, 16, 0, 0, NULL, NULL, NULL, NULL, NULL, NULL, 0), -1);  // first-fit not built
}

// With no growth, a request whose own class list is empty is served from the smallest larger
// class: one of the same first level (a higher second level), or one of a higher first level.
// The heap is filled with blocks of one size, one is freed, and a smaller request must reuse it.
TEST(TlsfHeapCallerMemory, ARequestIsServedFromALargerClass)
{
    struct Case {
        size_t Fill;     // size of the blocks that fill the heap
        size_t Request;  // smaller request that only the freed block can hold
    } cases[] = {
        {3000, 2200},  // both classed in the 2-4 KB level
        {3000, 600},   // the request's level (512 B-1 KB) holds nothing at all
    };
    alignas(16) static uint8_t memory[64 * 1024];
    for (const Case &c : cases) {
        VaZuri heap = {};
        ASSERT_EQ(InitializeHeap(&heap, HEAP_KIND_TLSF, 16, 0, 0, NULL, NULL, NULL, NULL, NULL, memory, sizeof memory), 0);
        std::vector<void *> blocks;
        while (void *block = AllocMemory(&heap, c.Fill, 0, __FILE__, __LINE__)) blocks.push_back(block);
        while (void *block = AllocMemory(&heap, 16, 0, __FILE__, __LINE__)) blocks.push_back(block);
        ASSERT_GT(blocks.size(), 4u);
        void *freed = blocks[2];
        FreeMemory(freed);
        void *got = AllocMemory(&heap, c.Request, 0, __FILE__, __LINE__);
        EXPECT_EQ(got, freed) << c.Fill << " " << c.Request;
        EXPECT_EQ(HeapErrorCheck(&heap), 0);
        TerminateHeap(&heap);
    }
}

// A tag keeps the last 17 characters of the requesting path (all of a shorter one), wherever the
// path lies in memory and whatever its length.
TEST_F(TlsfHeap, TagsKeepThePathsTailAtAnyAlignment)
{
    Start(0x100000);
    alignas(16) char buffer[128];
    for (size_t offset = 0; offset < 16; ++offset) {
        for (size_t length : {0u, 1u, 5u, 15u, 16u, 17u, 18u, 31u, 32u, 33u, 47u, 70u}) {
            char *path = buffer + offset;
            for (size_t i = 0; i < length; ++i) path[i] = static_cast<char>('a' + (i * 7 + offset) % 26);
            path[length] = '\0';
            memset(path + length + 1, 'x', sizeof buffer - offset - length - 1);  // no zero after the end
            void *block = AllocMemory(&heap_, 8, 0, path, 1);
            ASSERT_NE(block, nullptr);
            const std::string expected = length > 17 ? std::string(path + length - 17) : std::string(path);
            EXPECT_EQ(std::string(FindCheckedTag(block, HEAP_CHECK_SIZE)->File), expected) << offset << " " << length;
            FreeMemory(block);
        }
    }
}

// Every guard byte counts: for blocks whose guard runs have many lengths, damaging any single
// byte of either run is found, and the heap checks clean once it is undone.
TEST_F(TlsfHeap, EveryGuardByteIsChecked)
{
    Start(0x100000);
    SetLogFileOutputFlag(0);  // each damaged byte logs its fault
    std::vector<void *> keep;  // used neighbours, so a short remainder stays inside the block
    for (size_t size = 1; size <= 200; size += 7) {
        keep.push_back(Alloc(16));
        uint8_t *block = static_cast<uint8_t *>(Alloc(size));
        keep.push_back(Alloc(16));
        MemTag *tag = FindCheckedTag(block, HEAP_CHECK_SIZE);
        uint8_t *front = reinterpret_cast<uint8_t *>(tag) + sizeof(MemTag);
        uint8_t *end = reinterpret_cast<uint8_t *>(tag) + tag->Size;
        std::vector<uint8_t *> guard;
        for (int i = 0; i < HEAP_GUARD_SIZE; ++i) guard.push_back(front + i);
        for (uint8_t *p = block + size; p < end; ++p) guard.push_back(p);
        for (uint8_t *byte : guard) {
            *byte = 0x55;
            ASSERT_EQ(HeapErrorCheck(&heap_), -1) << size << " " << (byte - block);
            *byte = HEAP_GUARD_BYTE;
        }
        ASSERT_EQ(HeapErrorCheck(&heap_), 0) << size;
        keep.push_back(block);
    }
    SetLogFileOutputFlag(1);
    for (void *block : keep) FreeMemory(block);
}

// The most significant byte of a pointer field (little-endian).
template <typename T>
uint8_t *HighByte(T **field)
{
    return reinterpret_cast<uint8_t *>(field) + sizeof(T *) - 1;
}

// Each kind of damage is found (and logged), and the heap checks clean again once it is undone.
TEST_F(TlsfHeap, ErrorCheckFindsDamage)
{
    Start(0x100000);
    uint8_t *a = static_cast<uint8_t *>(Alloc(40));
    uint8_t *b = static_cast<uint8_t *>(Alloc(40));
    uint8_t *c = static_cast<uint8_t *>(Alloc(40));
    FreeMemory(b);  // a free block between two used ones
    MemTag *tagA = FindCheckedTag(a, HEAP_CHECK_SIZE);
    MemTag *freeTag = tagA->Next;
    ASSERT_EQ(freeTag->Flags & MEMTAG_FLAG_USE, 0);

    struct Damage {
        const char *Name;
        uint8_t *Byte;
        uint8_t Value;
    };
    const Damage damages[] = {
        {"tail guard", a + 40, 0},
        {"end guard", reinterpret_cast<uint8_t *>(tagA) + tagA->Size - 1, 0},
        {"front guard", reinterpret_cast<uint8_t *>(tagA) + sizeof(MemTag), 0},
        {"free tag magic", reinterpret_cast<uint8_t *>(&freeTag->Magic), 0},
        {"free tag class", &freeTag->SLI, static_cast<uint8_t>(freeTag->SLI + 1)},
        {"used flag", &freeTag->Flags, static_cast<uint8_t>(freeTag->Flags | MEMTAG_FLAG_USE)},
        {"size", reinterpret_cast<uint8_t *>(&tagA->Size), static_cast<uint8_t>(tagA->Size + 16)},
        {"second-level bitmap", reinterpret_cast<uint8_t *>(&heap_.SLBitmap[0]), 1},
        {"use count", reinterpret_cast<uint8_t *>(&heap_.UseTagNum), static_cast<uint8_t>(heap_.UseTagNum + 1)},
        // Damaged links must be reported, not followed: each of these points outside the heap.
        {"next flag on the piece's last tag", &heap_.LastTag->Flags,
         static_cast<uint8_t>(heap_.LastTag->Flags | MEMTAG_FLAG_NEXT)},
        {"piece's first tag", HighByte(&tagA->UseHeapMem->FirstTag), 0xFF},
        {"used list link", HighByte(&tagA->ListNext), 0xFF},
        {"free list link", HighByte(&freeTag->ListNext), 0xFF},
    };
    for (const Damage &damage : damages) {
        uint8_t saved = *damage.Byte;
        *damage.Byte = damage.Value;
        RemoveLogFile();
        EXPECT_EQ(HeapErrorCheck(&heap_), -1) << damage.Name;
        EXPECT_NE(ReadLogText().find(L"HeapErrorCheck Error : "), std::wstring::npos) << damage.Name;
        *damage.Byte = saved;
        EXPECT_EQ(HeapErrorCheck(&heap_), 0) << damage.Name;
    }
    FreeMemory(a);
    FreeMemory(c);
}

// Sizes from files can be anything: over the whole 32-bit range, a request either fails cleanly
// or gives a block that really holds the size asked for.
TEST_F(TlsfHeap, AnySizeGivesNullOrAWholeBlock)
{
    Start(0x100000, 0x4000000);
    SetLogFileOutputFlag(0);  // refusals are logged; thousands of them would only slow this down
    std::mt19937 rng(99);
    int granted = 0;
    for (int i = 0; i < 3000; ++i) {
        uint32_t size = rng() >> (rng() % 32);
        uint8_t *block = static_cast<uint8_t *>(Alloc(size, (rng() % 4) * 16));
        if (block == nullptr) continue;
        ++granted;
        ASSERT_EQ(GetAllocSize(block), size);
        block[0] = 1;
        block[size - 1] = 2;
        ASSERT_EQ(HeapErrorCheck(&heap_), 0) << size;
        FreeMemory(block);
    }
    SetLogFileOutputFlag(1);
    EXPECT_GT(granted, 1000);
    EXPECT_EQ(heap_.HeapMemNum, 0);
}

}  // namespace
