// The system-memory object caches: finding, handing out, giving back and expiring entries.
#include "zovuz/d3d9/texture/d3d9_memory_cache.h"

namespace {

bool SameKey(const D3D9MemoryImageCacheEntry &Entry, const D3D9MemoryImageCacheEntry &Key)
{
    return Entry.Width == Key.Width && Entry.Height == Key.Height && Entry.Format == Key.Format &&
           Entry.CubeMapFlag == Key.CubeMapFlag && Entry.MipMapCount == Key.MipMapCount;
}

void ReleaseEntry(D3D9MemoryImageCache *Cache, D3D9MemoryImageCacheEntry &Entry)
{
    if (Entry.Object != nullptr) Cache->Ops->Release(&Entry);
    Entry = D3D9MemoryImageCacheEntry();
    --Cache->UsedNum;
}

// Releases the used entries Pick chooses, walking until every used one was seen.
template <typename Pick>
void ReleaseWhere(D3D9MemoryImageCache *Cache, Pick Chosen)
{
    int seen = 0, used = Cache->UsedNum;
    for (int i = 0; i < D3D9_MEMORY_IMAGE_CACHE_NUM && seen < used; ++i) {
        D3D9MemoryImageCacheEntry &entry = Cache->Entry[i];
        if (!entry.UseFlag) continue;
        ++seen;
        if (Chosen(entry)) ReleaseEntry(Cache, entry);
    }
}

// When every slot is used: the entry not in use that was given back first (the later one on a
// tie) released, its slot returned; -1 when all are busy.
int Evict(D3D9MemoryImageCache *Cache)
{
    int oldest = -1;
    for (int i = 0; i < D3D9_MEMORY_IMAGE_CACHE_NUM; ++i) {
        const D3D9MemoryImageCacheEntry &entry = Cache->Entry[i];
        if (entry.InUseFlag) continue;
        if (oldest < 0 || entry.LastUseTime <= Cache->Entry[oldest].LastUseTime) oldest = i;
    }
    if (oldest >= 0) ReleaseEntry(Cache, Cache->Entry[oldest]);
    return oldest;
}

}  // namespace

int D3D9MemoryImageCache_Acquire(D3D9MemoryImageCache *Cache, const D3D9MemoryImageCacheEntry &Key)
{
    int seen = 0, busy = 0, freeSlot = -1, i = 0;
    Cache->CreateFailedFlag = 0;
    for (; i < D3D9_MEMORY_IMAGE_CACHE_NUM && seen < Cache->UsedNum; ++i) {
        D3D9MemoryImageCacheEntry &entry = Cache->Entry[i];
        if (!entry.UseFlag) {
            if (freeSlot < 0) freeSlot = i;
            continue;
        }
        ++seen;
        if (!SameKey(entry, Key)) continue;
        if (!entry.InUseFlag) {
            ++entry.UseCount;
            entry.InUseFlag = 1;
            return i;
        }
        if (++busy >= D3D9_MEMORY_IMAGE_CACHE_BUSY_MATCH_MAX) return -1;
    }

    int slot = Cache->UsedNum >= D3D9_MEMORY_IMAGE_CACHE_NUM ? Evict(Cache) : freeSlot >= 0 ? freeSlot : i;
    if (slot < 0) return -1;

    D3D9MemoryImageCacheEntry &entry = Cache->Entry[slot];
    entry = D3D9MemoryImageCacheEntry();
    entry.CubeMapFlag = Key.CubeMapFlag;
    entry.MipMapCount = Key.MipMapCount;
    entry.Width = Key.Width;
    entry.Height = Key.Height;
    entry.Format = Key.Format;
    entry.UseCount = 1;
    if (Cache->Ops->Create(&entry) != 0) {
        D3D9MemoryImageCache_Purge(Cache, 1);
        if (Cache->Ops->Create(&entry) != 0) {
            entry = D3D9MemoryImageCacheEntry();
            Cache->CreateFailedFlag = 1;
            return -1;
        }
    }
    entry.UseFlag = 1;
    entry.InUseFlag = 1;
    ++Cache->UsedNum;
    return slot;
}

int D3D9MemoryImageCache_Release(D3D9MemoryImageCache *Cache, int Index)
{
    if (Index < 0 || Index >= D3D9_MEMORY_IMAGE_CACHE_NUM) return 0;
    D3D9MemoryImageCacheEntry &entry = Cache->Entry[Index];
    if (entry.UseFlag && entry.InUseFlag) {
        entry.InUseFlag = 0;
        entry.LastUseTime = (unsigned)Cache->Ops->Now();
    }
    return 0;
}

int D3D9MemoryImageCache_Purge(D3D9MemoryImageCache *Cache, int OnlyUnused)
{
    ReleaseWhere(Cache,
                 [OnlyUnused](const D3D9MemoryImageCacheEntry &Entry) { return !OnlyUnused || !Entry.InUseFlag; });
    return 0;
}

int D3D9MemoryImageCache_Expire(D3D9MemoryImageCache *Cache)
{
    const unsigned now = (unsigned)Cache->Ops->Now();
    ReleaseWhere(Cache, [now](const D3D9MemoryImageCacheEntry &Entry) {
        return !Entry.InUseFlag && now - Entry.LastUseTime >= D3D9_MEMORY_IMAGE_CACHE_EXPIRE_MS;
    });
    return 0;
}

int D3D9MemoryImageCache_ReleaseObjects(D3D9MemoryImageCache *Cache)
{
    for (D3D9MemoryImageCacheEntry &entry : Cache->Entry)
        if (entry.UseFlag && entry.Object != nullptr) {
            Cache->Ops->Release(&entry);
            entry.Object = nullptr;
        }
    return 0;
}

int D3D9MemoryImageCache_RecreateObjects(D3D9MemoryImageCache *Cache)
{
    int result = 0;
    for (D3D9MemoryImageCacheEntry &entry : Cache->Entry) {
        if (!entry.UseFlag || entry.Object != nullptr) continue;
        if (Cache->Ops->Create(&entry) == 0) continue;
        // Nothing can be handed out without an object.
        entry = D3D9MemoryImageCacheEntry();
        --Cache->UsedNum;
        result = -1;
    }
    return result;
}
