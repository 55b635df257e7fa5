// The tracked allocator: counters, heap choice, the dump, refusals and misuse that stops.
#include "zovuz/core/clock.h"
#include "zovuz/core/memory/memory.h"
#include "zovuz/core/memory/memory_internal.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <stdint.h>
#include <string.h>

#include <random>
#include <string>
#include <vector>

#include "tests/support/test_files.h"
#include "zovuz/core/threads.h"
#include "zovuz/core/threads_internal.h"
#include "zovuz/core/memory/tlsf_heap.h"

namespace {

bool LogContains(const wchar_t *text)
{
    return ReadLogText().find(text) != std::wstring::npos;
}

size_t HeapGrowUnitOf(void *block)
{
    return FindCheckedTag(block, HEAP_CHECK_SIZE)->Heap->GrowUnit;
}

struct ShadowBlock {
    uint8_t *Data;
    size_t Size;
    uint32_t Seed;
};

void FillPattern(uint8_t *data, size_t size, uint32_t seed)
{
    for (size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(seed + i * 131 + (i >> 8));
}

bool PatternIntact(const uint8_t *data, size_t size, uint32_t seed)
{
    for (size_t i = 0; i < size; ++i) {
        if (data[i] != static_cast<uint8_t>(seed + i * 131 + (i >> 8))) return false;
    }
    return true;
}

size_t RandomSize(std::mt19937 &rng)
{
    static const size_t boundaries[] = {1, 15, 16, 17, 65535, 65536, 65537, 65536 + 16};
    unsigned pick = rng() % 100;
    if (pick < 2) return boundaries[rng() % (sizeof boundaries / sizeof boundaries[0])];
    if (pick < 62) return 1 + rng() % 256;
    if (pick < 87) return 257 + rng() % 8000;
    if (pick < 96) return 8193 + rng() % (65536 - 8192);
    return 65537 + rng() % 200000;
}

// About 100,000 allocate / reallocate / free operations against a model that knows every block's
// size and contents: nothing is lost or overwritten, the heaps stay consistent and the counters
// follow the model.
TEST(TrackedMemory, RandomOperationsMatchShadowModel)
{
    std::mt19937 rng(20261207);
    std::vector<ShadowBlock> live;
    const int baseNum = GetAllocNum();
    const int baseTotal = GetTotalAllocSize();
    long long modelTotal = 0;

    for (int op = 1; op <= 100000; ++op) {
        unsigned action = rng() % 100;
        if (live.size() < 50 || (action < 45 && live.size() < 1500)) {
            size_t size = RandomSize(rng);
            uint8_t *data = static_cast<uint8_t *>(DXALLOC(size));
            ASSERT_NE(data, nullptr) << "op " << op << " size " << size;
            ASSERT_EQ(reinterpret_cast<uintptr_t>(data) % 16, 0u);
            uint32_t seed = rng();
            FillPattern(data, size, seed);
            live.push_back({data, size, seed});
            modelTotal += size;
        } else if (action < 65) {
            ShadowBlock &block = live[rng() % live.size()];
            size_t size = RandomSize(rng);
            uint8_t *data = static_cast<uint8_t *>(DXREALLOC(block.Data, size));
            ASSERT_NE(data, nullptr) << "op " << op;
            size_t kept = size < block.Size ? size : block.Size;
            ASSERT_TRUE(PatternIntact(data, kept, block.Seed)) << "op " << op << " realloc lost contents";
            modelTotal += static_cast<long long>(size) - static_cast<long long>(block.Size);
            block.Data = data;
            block.Size = size;
            block.Seed = rng();
            FillPattern(data, size, block.Seed);
        } else {
            size_t index = rng() % live.size();
            ShadowBlock block = live[index];
            ASSERT_TRUE(PatternIntact(block.Data, block.Size, block.Seed)) << "op " << op << " contents damaged";
            DxFree(block.Data);
            modelTotal -= block.Size;
            live[index] = live.back();
            live.pop_back();
        }
        if (op % 1000 == 0) {
            ASSERT_EQ(CheckMemory(), 0) << "op " << op;
            ASSERT_EQ(GetAllocNum(), baseNum + static_cast<int>(live.size())) << "op " << op;
            ASSERT_EQ(GetTotalAllocSize(), baseTotal + modelTotal) << "op " << op;
        }
    }
    for (const ShadowBlock &block : live) {
        ASSERT_TRUE(PatternIntact(block.Data, block.Size, block.Seed));
        DxFree(block.Data);
    }
    EXPECT_EQ(CheckMemory(), 0);
    EXPECT_EQ(GetAllocNum(), baseNum);
    EXPECT_EQ(GetTotalAllocSize(), baseTotal);
}

TEST(TrackedMemory, SmallHeapUpTo65536AndLargeHeapAbove)
{
    void *small = DXALLOC(65536);
    void *large = DXALLOC(65537);
    ASSERT_NE(small, nullptr);
    ASSERT_NE(large, nullptr);
    EXPECT_EQ(HeapGrowUnitOf(small), 0x400000u);
    EXPECT_EQ(HeapGrowUnitOf(large), 0x2000000u);

    // A block stays in the heap it was first taken from, whatever its new size.
    small = DXREALLOC(small, 300000);
    large = DXREALLOC(large, 100);
    ASSERT_NE(small, nullptr);
    ASSERT_NE(large, nullptr);
    EXPECT_EQ(HeapGrowUnitOf(small), 0x400000u);
    EXPECT_EQ(HeapGrowUnitOf(large), 0x2000000u);
    DxFree(small);
    DxFree(large);
    EXPECT_EQ(CheckMemory(), 0);
}

TEST(TrackedMemory, EmptyPieceGoesBackToTheSystem)
{
    // Nothing else of this program lives in the large heap, so this block has a piece of its own.
    void *block = DXALLOC(1 << 20);
    ASSERT_NE(block, nullptr);
    void *piece = FindCheckedTag(block, HEAP_CHECK_SIZE)->UseHeapMem->Address;
    MEMORY_BASIC_INFORMATION info;
    ASSERT_NE(VirtualQuery(piece, &info, sizeof info), 0u);
    EXPECT_EQ(info.State, static_cast<DWORD>(MEM_COMMIT));
    DxFree(block);
    ASSERT_NE(VirtualQuery(piece, &info, sizeof info), 0u);
    EXPECT_EQ(info.State, static_cast<DWORD>(MEM_FREE));
}

TEST(TrackedMemory, CountersFollowAllocReallocAndFree)
{
    const int num = GetAllocNum();
    const int total = GetTotalAllocSize();
    char *block = static_cast<char *>(DXALLOC(100));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GetAllocNum(), num + 1);
    EXPECT_EQ(GetTotalAllocSize(), total + 100);

    memcpy(block, "kept", 5);
    block = static_cast<char *>(DXREALLOC(block, 5000));
    ASSERT_NE(block, nullptr);
    EXPECT_STREQ(block, "kept");
    EXPECT_EQ(GetAllocNum(), num + 1);
    EXPECT_EQ(GetTotalAllocSize(), total + 5000);

    DxFree(block);
    DxFree(NULL);
    EXPECT_EQ(GetAllocNum(), num);
    EXPECT_EQ(GetTotalAllocSize(), total);

    // A null address allocates.
    void *fresh = DXREALLOC(NULL, 64);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(GetAllocNum(), num + 1);
    DxFree(fresh);
}

TEST(TrackedMemory, CallocZeroFillsReusedMemory)
{
    uint8_t *dirty = static_cast<uint8_t *>(DXALLOC(4000));
    ASSERT_NE(dirty, nullptr);
    memset(dirty, 0x5A, 4000);
    DxFree(dirty);
    uint8_t *clean = static_cast<uint8_t *>(DXCALLOC(4000));
    ASSERT_NE(clean, nullptr);
    for (int i = 0; i < 4000; ++i) ASSERT_EQ(clean[i], 0) << i;
    DxFree(clean);
}

TEST(TrackedMemory, ZeroByteRequestFailsAfterDumpingLiveBlocks)
{
    const int num = GetAllocNum();
    RemoveLogFile();
    EXPECT_EQ(DXALLOC(0), nullptr);
    EXPECT_EQ(GetAllocNum(), num);
    EXPECT_TRUE(LogContains(L"Alloc memory dump\r\n"));
    EXPECT_TRUE(LogContains(L"\tTotal size:"));
}

// Sizes from file headers may be anything: a size whose rounding or overhead would not fit in
// 32 bits must fail cleanly instead of wrapping into a tiny block.
TEST(TrackedMemory, SizesThatOverflowAreRefused)
{
    const size_t sizes[] = {0xFFFFFFFFu, 0xFFFFFFF1u, 0xFFFFFF91u, 0xFFFFFF60u, 0xFC000000u};
    char *block = static_cast<char *>(DXALLOC(32));
    ASSERT_NE(block, nullptr);
    memcpy(block, "intact", 7);
    const int num = GetAllocNum();
    const int total = GetTotalAllocSize();
    for (size_t size : sizes) {
        RemoveLogFile();
        EXPECT_EQ(DXALLOC(size), nullptr) << size;
        EXPECT_EQ(DXCALLOC(size), nullptr) << size;
        EXPECT_EQ(DXREALLOC(block, size), nullptr) << size;
        std::wstring log = ReadLogText();
        EXPECT_NE(log.find(L"確保サイズ"), std::wstring::npos) << size;
        EXPECT_EQ(log.find(L"Alloc memory dump"), std::wstring::npos) << size;
    }
    EXPECT_EQ(GetAllocNum(), num);
    EXPECT_EQ(GetTotalAllocSize(), total);
    EXPECT_STREQ(block, "intact");
    EXPECT_EQ(CheckMemory(), 0);
    DxFree(block);
}

// The dump's line for a block, field by field, and the totals line with kilobytes to three
// decimals.
TEST(TrackedMemory, DumpAndTotalsLinesCarryEveryField)
{
    const std::string path = "C:/work/source/library/sample_loader_file.cpp";
    uint8_t *block = static_cast<uint8_t *>(DxAlloc(1500, path.c_str(), 70001));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 1500; ++i) block[i] = static_cast<uint8_t>(i);
    MemTag *tag = FindCheckedTag(block, HEAP_CHECK_SIZE);
    wchar_t line[400];
    swprintf(line, 400,
             L"\tsize:%10d(%10.3fkb)  user size:      1500(     1.465kb)  time:%05d  file:%-26hs  line:70001   "
             L"ID:%-5d  addr:%08x  data:[00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f]\r\n",
             (int)tag->Size, tag->Size / 1024.0, (int)tag->Time, path.substr(path.size() - 17).c_str(), (int)tag->ID,
             (unsigned)reinterpret_cast<uintptr_t>(block));

    RemoveLogFile();
    EXPECT_EQ(DumpAllocMemory(), 0);
    std::wstring log = ReadLogText();
    EXPECT_NE(log.find(line), std::wstring::npos) << line << "\n" << log;

    RemoveLogFile();
    EXPECT_EQ(LogAllocTotal(), 0);
    wchar_t totals[100];
    swprintf(totals, 100, L"\tTotal size:%d(%.3fkb)  Alloc num:%d\r\n", GetTotalAllocSize(),
             GetTotalAllocSize() / 1024.0, GetAllocNum());
    EXPECT_NE(ReadLogText().find(totals), std::wstring::npos) << totals;
    DxFree(block);
}

// The check looks at both heaps and reports damage until it is undone.
TEST(TrackedMemory, CheckReportsDamageInEitherHeap)
{
    for (size_t size : {40u, 100000u}) {
        uint8_t *block = static_cast<uint8_t *>(DXALLOC(size));
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(CheckMemory(), 0);
        block[size] = 0;  // the first guard byte after the data
        RemoveLogFile();
        EXPECT_EQ(CheckMemory(), -1) << size;
        EXPECT_TRUE(LogContains(L"HeapErrorCheck Error : ")) << size;
        block[size] = HEAP_GUARD_BYTE;
        EXPECT_EQ(CheckMemory(), 0) << size;
        DxFree(block);
    }
}

// All threads of the library allocate through the allocator lock: four threads churning blocks
// at once must leave the heaps consistent and the counters where they started.
TEST(TrackedMemory, FourThreadsAllocatingAtOnce)
{
    const int num = GetAllocNum();
    const int total = GetTotalAllocSize();
    ThreadRecord threads[4] = {};
    for (int t = 0; t < 4; ++t) {
        ASSERT_EQ(ThreadCreate(&threads[t], [](ThreadRecord *, void *param) {
            std::mt19937 rng(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(param)));
            std::vector<uint8_t *> mine;
            for (int i = 0; i < 20000; ++i) {
                if (mine.size() < 64 && (mine.empty() || rng() % 2 == 0)) {
                    size_t size = RandomSize(rng);
                    uint8_t *block = static_cast<uint8_t *>(DXALLOC(size));
                    if (block == nullptr) continue;
                    memset(block, static_cast<int>(size), size < 64 ? size : 64);
                    mine.push_back(block);
                } else {
                    size_t index = rng() % mine.size();
                    DxFree(mine[index]);
                    mine[index] = mine.back();
                    mine.pop_back();
                }
            }
            for (uint8_t *block : mine) DxFree(block);
        }, reinterpret_cast<void *>(uintptr_t(t + 1))), 0);
    }
    for (ThreadRecord &thread : threads) while (ThreadResume(&thread) == 0) ThreadSleep(0);
    for (ThreadRecord &thread : threads) {
        ASSERT_EQ(ThreadWaitEnd(&thread, 60000), 0);
        ThreadRelease(&thread);
    }
    EXPECT_EQ(CheckMemory(), 0);
    EXPECT_EQ(GetAllocNum(), num);
    EXPECT_EQ(GetTotalAllocSize(), total);
}

TEST(TrackedMemory, TagsCarryTheTimeStampInSeconds)
{
    EXPECT_EQ(UpdateMemoryTagTime(), 0);
    int expected = GetNowMilliCount() / 1000;
    void *block = DXALLOC(8);
    ASSERT_NE(block, nullptr);
    int stamp = FindCheckedTag(block, HEAP_CHECK_SIZE)->Time;
    EXPECT_LE((expected - stamp) & 0xFFFF, 1);
    DxFree(block);
}

// --- misuse stops the program with the heap's message; each case runs in a child process -----

struct MisuseCase {
    const char *Name;
    void (*Misuse)();
    const wchar_t *Message;
    const wchar_t *TagLine;  // the block's tag line that must follow the message, or null
};

uint8_t *g_keepPiece;  // keeps the small heap's piece alive while a block in it is freed twice

void FreeTwice()
{
    void *block = DXALLOC(100);
    DxFree(block);
    DxFree(block);
}

void FreeTwiceAfterPieceWentBack()
{
    void *block = DXALLOC(1 << 20);  // a large-heap piece of its own, given back by the first free
    DxFree(block);
    DxFree(block);
}

void WriteOnePastTheEnd()
{
    uint8_t *block = static_cast<uint8_t *>(DXALLOC(10));
    block[10] = 0;
    DxFree(block);
}

void WriteBeforeTheStart()
{
    uint8_t *block = static_cast<uint8_t *>(DXALLOC(64));
    block[-9] = 0;  // last byte of the front guard (the 4 bytes below hold the tag's distance)
    DxFree(block);
}

void FreeForeignAddress()
{
    alignas(16) static uint8_t notHeap[256];
    DxFree(notHeap + 128);
}

void ReallocFreedBlock()
{
    void *block = DXALLOC(100);
    DxFree(block);
    DXREALLOC(block, 200);
}

void SizeOfFreedBlock()
{
    void *block = DXALLOC(100);
    DxFree(block);
    GetAllocSize(block);
}

const MisuseCase kMisuseCases[] = {
    {"FreeTwice", FreeTwice, L"FreeMemory Error : 解放済みのメモリに対して再度解放しようとしました",
     L"  file:Free                        line:0       ID:0      addr:00000000  data:[]\r\n"},
    {"FreeTwiceAfterPieceWentBack", FreeTwiceAfterPieceWentBack,
     L"FreeMemory Error : メモリタグの MagicID が不正です、誤ったメモリアドレスが渡されたか、メモリが破壊されています"},
    {"WriteOnePastTheEnd", WriteOnePastTheEnd,
     L"FreeMemory Error : デバッグ領域の破壊を確認しました、メモリの不正なアクセスが発生したことが考えられます",
     L"  user size:        10(     0.010kb)  time:"},
    {"WriteBeforeTheStart", WriteBeforeTheStart,
     L"FreeMemory Error : デバッグ領域の破壊を確認しました、メモリの不正なアクセスが発生したことが考えられます"},
    {"FreeForeignAddress", FreeForeignAddress,
     L"FreeMemory Error : メモリタグの MagicID が不正です、誤ったメモリアドレスが渡されたか、メモリが破壊されています"},
    {"ReallocFreedBlock", ReallocFreedBlock, L"ReallocMemory Error : 解放済みのメモリに対して再確保をしようとしました"},
    {"SizeOfFreedBlock", SizeOfFreedBlock,
     L"GetAllocSize Error : 解放済みのメモリに対して確保メモリサイズの取得を行おうとしました"},
};

TEST(TrackedMemoryDeathTest, MisuseStopsWithTheHeapsMessage)
{
    g_keepPiece = static_cast<uint8_t *>(DXALLOC(16));
    for (const MisuseCase &misuse : kMisuseCases) {
        RemoveLogFile();
        EXPECT_EXIT(misuse.Misuse(), testing::ExitedWithCode(3), "") << misuse.Name;
        EXPECT_TRUE(LogContains(misuse.Message)) << misuse.Name;
        if (misuse.TagLine != nullptr) {
            std::wstring log = ReadLogText();
            size_t message = log.find(misuse.Message);
            EXPECT_NE(log.find(misuse.TagLine, message), std::wstring::npos) << misuse.Name << "\n" << log;
        }
    }
    DxFree(g_keepPiece);
}

// A block freed after the heaps ended (a later subsystem ending in the wrong order) is logged
// and ignored: the program goes on, and the heaps start again on the next allocation. Runs in a
// child process, since ending the heaps loses every live block.
void FreeAfterTheHeapsEnded()
{
    void *small = DXALLOC(100);
    void *large = DXALLOC(100000);
    TerminateMemory();
    DxFree(small);
    DxFree(large);
    bool quiet = GetAllocNum() == 0 && GetTotalAllocSize() == 0;
    void *again = DXALLOC(100);
    bool fine = quiet && again != nullptr && CheckMemory() == 0 && GetAllocNum() == 1;
    DxFree(again);
    _exit(fine ? 0 : 1);
}

TEST(TrackedMemoryDeathTest, AFreeAfterTheHeapsEndedIsALoggedNoOp)
{
    RemoveLogFile();
    EXPECT_EXIT(FreeAfterTheHeapsEnded(), testing::ExitedWithCode(0), "");
    std::wstring log = ReadLogText();
    size_t first = log.find(L"DxFree : 終了したヒープのメモリが解放されました、何もしません");
    ASSERT_NE(first, std::wstring::npos) << log;
    EXPECT_NE(log.find(L"DxFree : 終了したヒープのメモリが解放されました", first + 1), std::wstring::npos) << log;
}

}  // namespace
