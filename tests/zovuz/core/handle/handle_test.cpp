// The handle registry: check numbers, slot choice, reuse, lookups, deletion with its
// callbacks, bulk deletion, record resizing, and concurrent use of two types.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "tests/support/test_files.h"
#include "zovuz/core/handle/handle.h"
#include "zovuz/core/handle/handle_internal.h"

namespace {

struct TestRecord {
    HandleInfo Info;
    int Marker;
    int Payload[8];
};

int CheckOf(int h) { return (h & DX_HANDLECHECK_MASK) >> DX_HANDLECHECK_ADDRESS; }
int SlotOf(int h) { return h & DX_HANDLEINDEX_MASK; }

// Registers a test type for the life of one test. The check-number counter of a type outlives
// its registration, so each test that counts check numbers uses a type of its own.
struct ScopedType {
    int type;
    ScopedType(int t, int max, HandleInitFunction init = nullptr, HandleTermFunction term = nullptr,
               int size = (int)sizeof(TestRecord))
        : type(t)
    {
        EXPECT_EQ(0, InitializeHandleType(t, size, max, init, term, L"Test"));
    }
    ~ScopedType() { TerminateHandleType(type); }
    HandleManage &m() { return HandleManageArray[type]; }
};

// Check numbers follow the type's counter (0 when the program starts, so the first is 1).
int NextCheck(int c) { return c + 1 >= DX_HANDLECHECK_COUNT ? 0 : c + 1; }

TEST(Handle, CheckNumbersRunToTenTwentyTwoThenZeroAndSurviveReregistration)
{
    int last;
    {
        ScopedType t(20, 4);
        int counter = t.m().NextID;
        int h0 = AddHandle(20, 0, -1);
        int h1 = AddHandle(20, 0, -1);
        EXPECT_EQ((NextCheck(counter) << 16) | (20 << 26) | 0, h0);
        EXPECT_EQ((NextCheck(NextCheck(counter)) << 16) | (20 << 26) | 1, h1);
        SubHandle(h0);
        SubHandle(h1);
        last = CheckOf(h1);
        bool wrapped = false;
        for (int i = 0; i < 1100; ++i)
        {
            int h = AddHandle(20, 0, -1);
            ASSERT_GE(h, 0);
            ASSERT_EQ(NextCheck(last), CheckOf(h));
            if (last == 1022 && CheckOf(h) == 0) wrapped = true;
            last = CheckOf(h);
            ASSERT_EQ(0, SubHandle(h));
        }
        EXPECT_TRUE(wrapped);
    }
    ScopedType again(20, 4);
    EXPECT_EQ(NextCheck(last), CheckOf(AddHandle(20, 0, -1)));
}

TEST(Handle, SlotChoiceGrowsUpThenDownThenScansFromZero)
{
    ScopedType t(21, 8);
    int h[8];
    for (int i = 0; i < 8; ++i)
    {
        h[i] = AddHandle(21, 0, -1);
        ASSERT_EQ(i, SlotOf(h[i]));
    }
    EXPECT_EQ(-1, AddHandle(21, 0, -1));  // full

    SubHandle(h[0]);
    SubHandle(h[1]);
    SubHandle(h[4]);
    EXPECT_EQ(2, t.m().AreaMin);
    EXPECT_EQ(7, t.m().AreaMax);

    struct { int expect_slot; } order[] = {{1}, {0}, {4}};  // lowest - 1, then scans from 0
    for (auto o : order) EXPECT_EQ(o.expect_slot, SlotOf(AddHandle(21, 0, -1)));

    // Deleting the highest moves it down past empty slots; deleting the last empties the bounds.
    for (int s = 7; s >= 3; --s) SubHandle(HandleManageArray[21].Handle[s]->Handle);
    EXPECT_EQ(2, t.m().AreaMax);
    DeleteHandleTypeAll(21, nullptr);
    EXPECT_EQ(0, t.m().Num);
    EXPECT_EQ(0, t.m().AreaMin);
    EXPECT_EQ(0, t.m().AreaMax);
}

// A full type refuses the next handle with its message and leaves the manager as it was.
TEST(Handle, FullTypeLogsItsLimitAndChangesNothing)
{
    ScopedType t(24, 2);
    int a = AddHandle(24, 0, -1);
    int b = AddHandle(24, 0, -1);
    ASSERT_GE(b, 0);
    int counter = t.m().NextID;
    EXPECT_EQ(-1, AddHandle(24, 0, -1));
    EXPECT_EQ(-1, AddHandle(24, 1, a));  // a reuse request is refused alike
    EXPECT_EQ(2, t.m().Num);
    EXPECT_EQ(0, t.m().AreaMin);
    EXPECT_EQ(1, t.m().AreaMax);
    EXPECT_EQ(counter, t.m().NextID);
    EXPECT_EQ(a, t.m().Handle[0]->Handle);
    EXPECT_EQ(b, t.m().Handle[1]->Handle);
    EXPECT_NE(std::wstring::npos,
              ReadLogText().find(L"Testハンドルの数が限界数( 2 )に達していて新たなハンドルを作成できません"));
}

TEST(Handle, ReuseKeepsTheOldNumberWithoutMovingTheCounter)
{
    ScopedType t(22, 16);
    int a = AddHandle(22, 0, -1);  // slot 0
    int b = AddHandle(22, 0, -1);  // slot 1
    ASSERT_EQ(0, SubHandle(a));
    EXPECT_EQ(nullptr, GetHandleData(a));

    // Free slot: exactly the old value comes back.
    EXPECT_EQ(a, AddHandle(22, 0, a));
    // Taken slot: the ordinary slot, the old check bits.
    int c = AddHandle(22, 0, b);
    EXPECT_EQ(2, SlotOf(c));
    EXPECT_EQ(CheckOf(b), CheckOf(c));
    // The counter did not move.
    EXPECT_EQ(NextCheck(CheckOf(b)), CheckOf(AddHandle(22, 0, -1)));
}

TEST(Handle, LookupsRefuseEveryKindOfBadValue)
{
    ScopedType t(23, 4);
    int h = AddHandle(23, 0, -1);
    ASSERT_NE(nullptr, GetHandleData(h));
    int stale = h;
    SubHandle(h);
    int fresh = AddHandle(23, 0, -1);  // same slot 0, new check number
    ASSERT_EQ(SlotOf(stale), SlotOf(fresh));

    const int bad[] = {
        -1,
        stale,                                  // slot reused with another check number
        (int)(fresh | 0x80000000u),             // error bit
        (fresh & ~DX_HANDLETYPE_MASK) | (24 << 26),  // unregistered type
        (fresh & ~DX_HANDLEINDEX_MASK) | 3,     // empty slot
        (fresh & ~DX_HANDLEINDEX_MASK) | 4,     // beyond the maximum
        (DX_HANDLETYPE_NETWORK << 26) | (1 << 16),  // network handles never exist
    };
    for (int v : bad)
    {
        EXPECT_EQ(nullptr, GetHandleData(v)) << std::hex << v;
        EXPECT_EQ(-1, SubHandle(v)) << std::hex << v;
        EXPECT_EQ(-1, IsHandleASyncLoading(v)) << std::hex << v;
        EXPECT_EQ(-1, SetHandleDeleteNotify(v, nullptr)) << std::hex << v;
        EXPECT_EQ(-1, ReallocHandleData(v, 100)) << std::hex << v;
    }
    EXPECT_EQ(-1, AddHandle(DX_HANDLETYPE_NETWORK, 0, -1));
    EXPECT_NE(nullptr, GetHandleData(fresh));

    // A record still loading is invisible to ordinary lookups but not to the handle layer.
    int loading = AddHandle(23, 1, -1);
    EXPECT_NE(nullptr, GetHandleData(loading));
    EXPECT_EQ(nullptr, HandleCheckReady(loading));
    EXPECT_EQ(1, IsHandleASyncLoading(loading));
    EXPECT_EQ(0, DecASyncLoadCount(loading));
    EXPECT_NE(nullptr, HandleCheckReady(loading));
}

// The owners' lookup: a record only for a live handle of the asked type, a loading one only
// when the caller allows it.
TEST(Handle, TypedLookupFindsOnlyLiveHandlesOfTheAskedType)
{
    ScopedType first(25, 4), second(26, 4);
    int mine = AddHandle(25, 0, -1);
    int other = AddHandle(26, 0, -1);  // same slot and check number as mine, another type
    int loading = AddHandle(25, 1, -1);
    int gone = AddHandle(25, 0, -1);
    SubHandle(gone);
    struct Case {
        int Handle, Type, AllowLoading;
        HandleInfo *Expected;
    } cases[] = {
        {mine, 25, 0, GetHandleData(mine)},       {mine, 25, 1, GetHandleData(mine)},
        {mine, 26, 0, nullptr},                   {other, 25, 0, nullptr},
        {other, 26, 0, GetHandleData(other)},     {loading, 25, 0, nullptr},
        {loading, 25, 1, GetHandleData(loading)}, {gone, 25, 1, nullptr},
        {-1, 31, 1, nullptr},
    };
    for (const Case &c : cases) {  // by type number, and in the type's manager
        EXPECT_EQ(c.Expected, GetTypedHandle(c.Handle, c.Type, c.AllowLoading))
            << std::hex << c.Handle << " as type " << std::dec << c.Type << ", loading allowed " << c.AllowLoading;
        EXPECT_EQ(c.Expected, GetTypedHandle(GetHandleManage(c.Type), c.Handle, c.AllowLoading))
            << std::hex << c.Handle << " in the manager of type " << std::dec << c.Type;
    }
    EXPECT_EQ(reinterpret_cast<TestRecord *>(GetHandleData(mine)), GetTypedHandle<TestRecord>(mine, 25, 0));
    DecASyncLoadCount(loading);
}

TEST(Handle, RegistrationRefusesBadArgumentsAndDoubleStart)
{
    EXPECT_EQ(-1, InitializeHandleType(-1, 64, 4, nullptr, nullptr, L"x"));
    EXPECT_EQ(-1, InitializeHandleType(32, 64, 4, nullptr, nullptr, L"x"));
    EXPECT_EQ(-1, InitializeHandleType(25, (int)sizeof(HandleInfo) - 1, 4, nullptr, nullptr, L"x"));
    EXPECT_EQ(-1, InitializeHandleType(25, 64, 0, nullptr, nullptr, L"x"));
    EXPECT_EQ(-1, InitializeHandleType(25, 64, 65537, nullptr, nullptr, L"x"));
    EXPECT_EQ(-1, TerminateHandleType(25));
    EXPECT_EQ(-1, DeleteHandleTypeAll(25, nullptr));
    ScopedType t(25, 4);
    EXPECT_EQ(-1, InitializeHandleType(25, 64, 4, nullptr, nullptr, L"x"));
}

int g_init_calls;
int CountingInit(HandleInfo *info)
{
    ++g_init_calls;
    ((TestRecord *)info)->Marker = 77;
    return 0;
}

TEST(Handle, NewRecordsAreZeroFilledAndPassedToTheInitCallback)
{
    g_init_calls = 0;
    ScopedType t(26, 4, CountingInit);
    int h = AddHandle(26, 0, -1);
    TestRecord *r = (TestRecord *)GetHandleData(h);
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(1, g_init_calls);
    EXPECT_EQ(77, r->Marker);
    EXPECT_EQ(h, r->Info.Handle);
    EXPECT_EQ((int)sizeof(TestRecord), r->Info.AllocSize);
    EXPECT_EQ(0, r->Info.ASyncLoadCount);
    for (int v : r->Payload) EXPECT_EQ(0, v);

    // The list of live handles runs newest first.
    int h2 = AddHandle(26, 0, -1);
    EXPECT_EQ(h2, t.m().ListFirst.Next->Handle);
    EXPECT_EQ(h, t.m().ListFirst.Next->Next->Handle);
    EXPECT_EQ(&t.m().ListLast, t.m().ListFirst.Next->Next->Next);
}

TEST(Handle, DeleteNotifyReceivesMinusOne)
{
    ScopedType t(27, 4);
    int h = AddHandle(27, 0, -1);
    int flag = 5;
    ASSERT_EQ(0, SetHandleDeleteNotify(h, &flag));
    EXPECT_EQ(5, flag);
    ASSERT_EQ(0, SubHandle(h));
    EXPECT_EQ(-1, flag);

    // Also when the whole type goes.
    int flags[3] = {0, 0, 0};
    for (int &f : flags) SetHandleDeleteNotify(AddHandle(27, 0, -1), &f);
    ASSERT_EQ(0, DeleteHandleTypeAll(27, nullptr));
    for (int f : flags) EXPECT_EQ(-1, f);
}

std::vector<int> g_term_seen;
int KeepMarkedTerm(HandleInfo *info)
{
    g_term_seen.push_back(info->Handle);
    return ((TestRecord *)info)->Marker == 1 ? 1 : 0;
}
int KeepMarkerTwo(HandleInfo *info) { return ((TestRecord *)info)->Marker == 2; }
int KeepAll(HandleInfo *) { return 1; }

TEST(Handle, TermCallbackThatKeepsTheRecord)
{
    g_term_seen.clear();
    int flag = 0;
    {
        ScopedType t(28, 16, nullptr, KeepMarkedTerm);
        int kept = AddHandle(28, 0, -1);
        ((TestRecord *)GetHandleData(kept))->Marker = 1;
        SetHandleDeleteNotify(kept, &flag);
        EXPECT_EQ(0, SubHandle(kept));
        EXPECT_NE(nullptr, GetHandleData(kept));
        EXPECT_EQ(0, flag);

        // Delete-all: the kept record is offered once per sweep, the keep test's records
        // are never offered, every other record goes.
        int spared = AddHandle(28, 0, -1);
        ((TestRecord *)GetHandleData(spared))->Marker = 2;
        for (int i = 0; i < 5; ++i) AddHandle(28, 0, -1);
        g_term_seen.clear();
        ASSERT_EQ(0, DeleteHandleTypeAll(28, KeepMarkerTwo));
        EXPECT_EQ(6u, g_term_seen.size());
        EXPECT_EQ(1, std::count(g_term_seen.begin(), g_term_seen.end(), kept));
        EXPECT_EQ(0, std::count(g_term_seen.begin(), g_term_seen.end(), spared));
        EXPECT_EQ(2, t.m().Num);

        // A keep test that keeps everything deletes nothing.
        g_term_seen.clear();
        ASSERT_EQ(0, DeleteHandleTypeAll(28, KeepAll));
        EXPECT_TRUE(g_term_seen.empty());
        EXPECT_EQ(2, t.m().Num);
    }
    // Unregistering the type frees even the record its callback kept.
    EXPECT_EQ(-1, flag);
}

TEST(Handle, ReallocKeepsDataListAndLookupConsistent)
{
    ScopedType t(29, 8);
    int a = AddHandle(29, 0, -1);
    int b = AddHandle(29, 0, -1);
    int c = AddHandle(29, 0, -1);
    ((TestRecord *)GetHandleData(b))->Marker = 1234;
    ASSERT_EQ(0, ReallocHandleData(b, 100000));  // large enough to move to another heap
    TestRecord *r = (TestRecord *)GetHandleData(b);
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(1234, r->Marker);
    EXPECT_EQ(100000, r->Info.AllocSize);
    EXPECT_EQ(-1, ReallocHandleData(b, 8));  // smaller than the header
    EXPECT_EQ(0, ReallocHandleData(b, 100000));

    // Walk the list both ways: c, b, a.
    HandleListNode *n = t.m().ListFirst.Next;
    int order[] = {c, b, a};
    for (int h : order)
    {
        ASSERT_EQ(h, n->Handle);
        EXPECT_EQ(GetHandleData(h), n->Data);
        n = n->Next;
    }
    EXPECT_EQ(&t.m().ListLast, n);
    EXPECT_EQ(&r->Info.List, t.m().ListLast.Prev->Prev);
    EXPECT_EQ(0, SubHandle(b));
    EXPECT_EQ(0, SubHandle(a));
    EXPECT_EQ(0, SubHandle(c));
}

TEST(Handle, LoadCountAndDeferredDeletion)
{
    ScopedType t(30, 4);
    int h = AddHandle(30, 1, -1);
    HandleInfo *info = GetHandleData(h);
    EXPECT_EQ(-1, info->ASyncDataNumber);
    EXPECT_EQ(0, IncASyncLoadCount(h, 7));
    EXPECT_EQ(2, info->ASyncLoadCount);
    EXPECT_EQ(7, info->ASyncDataNumber);
    EXPECT_EQ(0, DecASyncLoadCount(h));
    EXPECT_EQ(1, IsHandleASyncLoading(h));

    // An owner asked for deletion while loading: the last decrement deletes.
    int flag = 0;
    SetHandleDeleteNotify(h, &flag);
    info->DeleteRequestFlag = 1;
    EXPECT_EQ(0, DecASyncLoadCount(h));
    EXPECT_EQ(-1, flag);
    EXPECT_EQ(nullptr, GetHandleData(h));
    EXPECT_EQ(-1, WaitHandleASyncLoad(h));

    int ready = AddHandle(30, 0, -1);
    EXPECT_EQ(0, WaitHandleASyncLoad(ready));
}

// Four threads create and delete handles of two types while looking up their own handles and
// the others' long-lived ones. A lookup is promised only for handles that no other thread is
// deleting meanwhile: each of those must be found, pointing at its own record.
TEST(Handle, ConcurrentCreateDeleteAndLookupLoseNothing)
{
    ScopedType a(31, 4096);
    ScopedType b(19, 4096);
    const int types[2] = {31, 19};
    constexpr int kThreads = 4, kPinned = 16;
    std::atomic<int> failures{0};
    std::atomic<int> ready{0}, finished{0};
    std::pair<int, int> pinned[kThreads][kPinned];  // handle, marker; alive for the whole churn

    auto worker = [&](int id) {
        std::mt19937 rng(1000 + id);
        for (int i = 0; i < kPinned; ++i)
        {
            int h = AddHandle(types[i % 2], 0, -1);
            if (h < 0) { failures++; continue; }
            int marker = (id << 24) | 0x800000 | i;
            ((TestRecord *)GetHandleData(h))->Marker = marker;
            pinned[id][i] = {h, marker};
        }
        ready++;
        while (ready.load() < kThreads) std::this_thread::yield();

        std::vector<std::pair<int, int>> mine;  // handle, marker
        for (int op = 0; op < 20000; ++op)
        {
            int choice = (int)(rng() % 10);
            if (choice < 4 || mine.empty())
            {
                int h = AddHandle(types[rng() % 2], 0, -1);
                if (h < 0) { failures++; continue; }
                int marker = (id << 24) | op;
                ((TestRecord *)GetHandleData(h))->Marker = marker;
                mine.push_back({h, marker});
            }
            else if (choice < 7)
            {
                size_t i = rng() % mine.size();
                if (SubHandle(mine[i].first) != 0) failures++;
                mine[i] = mine.back();
                mine.pop_back();
            }
            else
            {
                for (auto &p : mine)
                {
                    TestRecord *r = (TestRecord *)GetHandleData(p.first);
                    if (r == nullptr || r->Marker != p.second || r->Info.Handle != p.first) failures++;
                }
                const std::pair<int, int> &other = pinned[rng() % kThreads][rng() % kPinned];
                TestRecord *r = (TestRecord *)GetHandleData(other.first);
                if (r == nullptr || r->Marker != other.second || r->Info.Handle != other.first) failures++;
            }
        }
        for (auto &p : mine)
            if (SubHandle(p.first) != 0) failures++;
        finished++;
        while (finished.load() < kThreads) std::this_thread::yield();
        for (auto &p : pinned[id])
            if (SubHandle(p.first) != 0) failures++;
    };

    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) threads.emplace_back(worker, i);
    for (auto &t : threads) t.join();

    EXPECT_EQ(0, failures.load());
    EXPECT_EQ(0, a.m().Num);
    EXPECT_EQ(0, b.m().Num);
    EXPECT_EQ(&a.m().ListLast, a.m().ListFirst.Next);
    EXPECT_EQ(&b.m().ListLast, b.m().ListFirst.Next);
    for (int s = 0; s < 4096; ++s) ASSERT_EQ(nullptr, a.m().Handle[s]);
}

// A lookup that runs while the handle it asks for is being made finds nothing, or the finished
// record: never one whose header or init callback's work is still missing. The handle has
// check number 0, the value a zero-filled record's header would match.
std::atomic<int> g_init_spin{0};
int SlowInit(HandleInfo *info)
{
    for (int i = 0; i < 2000; ++i) g_init_spin.fetch_add(1, std::memory_order_relaxed);
    ((TestRecord *)info)->Marker = 0x5EED;
    return 0;
}

TEST(Handle, LookupNeverSeesAHalfMadeRecord)
{
    ScopedType t(29, 64, SlowInit);
    const int wanted = (29 << DX_HANDLETYPE_ADDRESS) | 5;  // slot 5, check number 0
    std::atomic<int> round{0}, seen{0}, bad{0};
    constexpr int kRounds = 400;
    std::thread observer([&] {
        for (int r = 0; r < kRounds; ++r)
        {
            TestRecord *rec;
            while ((rec = (TestRecord *)GetHandleData(wanted)) == nullptr) {}
            if (rec->Marker != 0x5EED || rec->Info.Handle != wanted || rec->Info.AllocSize != (int)sizeof(TestRecord)) bad++;
            seen = r + 1;
            while (round.load() == r) std::this_thread::yield();
        }
    });
    for (int r = 0; r < kRounds; ++r)
    {
        ASSERT_EQ(wanted, AddHandle(29, 0, wanted));
        while (seen.load() != r + 1) std::this_thread::yield();
        ASSERT_EQ(0, SubHandle(wanted));  // the observer no longer looks
        round = r + 1;
    }
    observer.join();
    EXPECT_EQ(0, bad.load());
}

// With everything alive at once, no two live handles may share a value or a slot.
TEST(Handle, ConcurrentCreationGivesDistinctHandles)
{
    ScopedType a(31, 8192);
    std::vector<int> got[4];
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&, i] {
            for (int n = 0; n < 2000; ++n) got[i].push_back(AddHandle(31, 0, -1));
        });
    for (auto &t : threads) t.join();
    std::set<int> all, slots;
    for (auto &v : got)
        for (int h : v)
        {
            ASSERT_GE(h, 0);
            all.insert(h);
            slots.insert(SlotOf(h));
        }
    EXPECT_EQ(8000u, all.size());
    EXPECT_EQ(8000u, slots.size());
    EXPECT_EQ(8000, a.m().Num);
}

}  // namespace
