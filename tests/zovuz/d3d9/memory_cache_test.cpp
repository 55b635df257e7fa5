// The system-memory object caches over a test clock and test objects: reuse by key, the busy
// limits, eviction, expiry, the purge-and-retry on a failed creation, and the device reset.
#include <gtest/gtest.h>

#include <memory>

#include "zovuz/d3d9/texture/d3d9_memory_cache.h"

namespace {

int Now, Created, Released, FailuresLeft;

int Create(D3D9MemoryImageCacheEntry *Entry)
{
    if (FailuresLeft > 0) {
        --FailuresLeft;
        return -1;
    }
    Entry->Object = (void *)(intptr_t)++Created;
    return 0;
}
void Release(D3D9MemoryImageCacheEntry *) { ++Released; }
int Clock(void) { return Now; }
const D3D9MemoryImageCacheOps Ops = {Create, Release, Clock};

D3D9MemoryImageCacheEntry Key(int Width, int Mips = 1, int Cube = 0)
{
    D3D9MemoryImageCacheEntry key = {};
    key.Width = key.Height = (short)Width;
    key.Format = 21;
    key.MipMapCount = (unsigned char)Mips;
    key.CubeMapFlag = (unsigned char)Cube;
    return key;
}

class D3D9MemoryCache : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Now = 100000;
        Created = Released = FailuresLeft = 0;
        Cache = std::make_unique<D3D9MemoryImageCache>();
        Cache->Ops = &Ops;
    }
    int Acquire(const D3D9MemoryImageCacheEntry &K) { return D3D9MemoryImageCache_Acquire(Cache.get(), K); }
    void GiveBack(int Index) { D3D9MemoryImageCache_Release(Cache.get(), Index); }
    std::unique_ptr<D3D9MemoryImageCache> Cache;
};

TEST_F(D3D9MemoryCache, AFreeEntryOfTheSameKeyIsReusedAndABusyOneIsNot)
{
    const int first = Acquire(Key(8)), second = Acquire(Key(8));
    EXPECT_NE(first, second);
    GiveBack(second);
    GiveBack(first);
    EXPECT_EQ(Acquire(Key(8)), first);
    EXPECT_EQ(Cache->Entry[first].UseCount, 2u);
    // Any other key field makes a new entry.
    for (const D3D9MemoryImageCacheEntry &other : {Key(16), Key(8, 2), Key(8, 1, 1)}) EXPECT_GT(Acquire(other), second);
    EXPECT_EQ(Created, 5);
}

TEST_F(D3D9MemoryCache, ExpiryReleasesOnlyEntriesGivenBackTwoSecondsAgo)
{
    struct Case
    {
        int Ago;
        bool GivenBack, Survives;
    } cases[] = {{1999, true, true}, {2000, true, false}, {5000, false, true}};
    int index[3];
    for (int i = 0; i < 3; ++i) {
        index[i] = Acquire(Key(4 + i));
        if (cases[i].GivenBack) {
            Now = 100000 - cases[i].Ago;
            GiveBack(index[i]);
        }
    }
    Now = 100000;
    D3D9MemoryImageCache_Expire(Cache.get());
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Cache->Entry[index[i]].UseFlag != 0, cases[i].Survives) << cases[i].Ago;
    EXPECT_EQ(Cache->UsedNum, 2);
    EXPECT_EQ(Released, 1);
}

TEST_F(D3D9MemoryCache, TheSixteenthBusyEntryOfAKeyAndAFullBusyCacheRefuse)
{
    for (int i = 0; i < D3D9_MEMORY_IMAGE_CACHE_BUSY_MATCH_MAX; ++i) EXPECT_GE(Acquire(Key(8)), 0);
    EXPECT_EQ(Acquire(Key(8)), -1);
    for (int i = D3D9_MEMORY_IMAGE_CACHE_BUSY_MATCH_MAX; i < D3D9_MEMORY_IMAGE_CACHE_NUM; ++i)
        ASSERT_EQ(Acquire(Key(10 + i)), i);
    EXPECT_EQ(Acquire(Key(9)), -1);
    EXPECT_EQ(Cache->CreateFailedFlag, 0) << "busy entries come back: worth waiting for";
    EXPECT_EQ(Cache->UsedNum, D3D9_MEMORY_IMAGE_CACHE_NUM);
}

TEST_F(D3D9MemoryCache, AFullCacheEvictsTheEntryGivenBackFirstTheLaterOnATie)
{
    for (int i = 0; i < D3D9_MEMORY_IMAGE_CACHE_NUM; ++i) ASSERT_EQ(Acquire(Key(10 + i)), i);
    for (int i : {40, 30, 20}) {
        Now = i == 40 ? 200 : 100;
        GiveBack(i);
    }
    EXPECT_EQ(Acquire(Key(9)), 30);
    EXPECT_EQ(Acquire(Key(7)), 20);
    EXPECT_EQ(Released, 2);
    EXPECT_EQ(Cache->UsedNum, D3D9_MEMORY_IMAGE_CACHE_NUM);
}

TEST_F(D3D9MemoryCache, AFailedCreationPurgesTheUnusedEntriesAndTriesOnce)
{
    struct Case
    {
        int Failures, Result, UsedAfter;
    } cases[] = {{1, 2, 2}, {2, -1, 1}};
    for (const Case &c : cases) {
        SetUp();
        const int kept = Acquire(Key(4)), unused = Acquire(Key(5));
        GiveBack(unused);
        FailuresLeft = c.Failures;
        EXPECT_EQ(Acquire(Key(6)), c.Result) << c.Failures;
        EXPECT_EQ(Cache->CreateFailedFlag, c.Result < 0 ? 1 : 0) << c.Failures;
        EXPECT_EQ(Cache->UsedNum, c.UsedAfter);
        EXPECT_TRUE(Cache->Entry[kept].UseFlag);
        EXPECT_FALSE(Cache->Entry[unused].UseFlag);
        EXPECT_EQ(Released, 1);
    }
}

TEST_F(D3D9MemoryCache, EntriesSurviveADeviceResetWithNewObjects)
{
    const int busy = Acquire(Key(4)), idle = Acquire(Key(4, 3));
    GiveBack(idle);
    void *old = Cache->Entry[busy].Object;
    D3D9MemoryImageCache_ReleaseObjects(Cache.get());
    EXPECT_EQ(Released, 2);
    EXPECT_EQ(D3D9MemoryImageCache_RecreateObjects(Cache.get()), 0);
    EXPECT_NE(Cache->Entry[busy].Object, old);
    EXPECT_NE(Cache->Entry[idle].Object, nullptr);
    EXPECT_EQ(Acquire(Key(4, 3)), idle);
    // An entry whose object cannot be made again is dropped.
    D3D9MemoryImageCache_ReleaseObjects(Cache.get());
    FailuresLeft = 1;
    EXPECT_EQ(D3D9MemoryImageCache_RecreateObjects(Cache.get()), -1);
    EXPECT_FALSE(Cache->Entry[busy].UseFlag);
    EXPECT_EQ(Cache->UsedNum, 1);
}

}  // namespace
