// The back end's two caches of system-memory objects (textures and plain surfaces), through which
// images reach default-pool textures and render targets are read back. An entry is handed out by
// its index and given back; one left out of use for two seconds is released. The caches are pure
// code over the callbacks of D3D9MemoryImageCacheOps, so a test can run them with its own clock
// and its own objects.
#pragma once

#define D3D9_MEMORY_IMAGE_CACHE_NUM 2048
#define D3D9_MEMORY_IMAGE_CACHE_EXPIRE_MS 2000
// An acquire that passes this many busy entries of its key gives up.
#define D3D9_MEMORY_IMAGE_CACHE_BUSY_MATCH_MAX 16

struct D3D9MemoryImageCacheEntry
{
    unsigned char UseFlag;      // the slot holds an entry
    unsigned char InUseFlag;    // taken by a transfer
    unsigned char CubeMapFlag;  // texture cache only
    unsigned char MipMapCount;  // texture cache only
    short Width, Height;
    unsigned Format;       // D3DFORMAT
    unsigned UseCount;     // times handed out
    unsigned LastUseTime;  // milliseconds, when last given back
    void *Object;          // IDirect3DTexture9, IDirect3DCubeTexture9 or IDirect3DSurface9
};
static_assert(sizeof(void *) != 4 || sizeof(D3D9MemoryImageCacheEntry) == 24, "the entry's layout");

struct D3D9MemoryImageCacheOps
{
    int (*Create)(D3D9MemoryImageCacheEntry *Entry);    // makes Entry->Object from its key: 0 / -1
    void (*Release)(D3D9MemoryImageCacheEntry *Entry);  // releases Entry->Object
    int (*Now)(void);                                   // the millisecond clock
};

struct D3D9MemoryImageCache
{
    const D3D9MemoryImageCacheOps *Ops;
    int UsedNum;  // slots with UseFlag set
    // The last acquire answered -1 because the object could not be made, not for want of a free
    // entry: a caller that waits for an entry to come back would wait for ever.
    int CreateFailedFlag;
    D3D9MemoryImageCacheEntry Entry[D3D9_MEMORY_IMAGE_CACHE_NUM];
};

// A free entry of Key's size, format, cube flag and mip count, handed out: its index, or -1 when
// 16 entries of the key are busy, when every slot is used and busy, or when the object cannot be
// made even after the entries not in use were purged.
int D3D9MemoryImageCache_Acquire(D3D9MemoryImageCache *Cache, const D3D9MemoryImageCacheEntry &Key);
// Gives an entry back, stamped with the clock. 0.
int D3D9MemoryImageCache_Release(D3D9MemoryImageCache *Cache, int Index);
// Releases every used entry (with OnlyUnused, every one not in use) and clears it. 0.
int D3D9MemoryImageCache_Purge(D3D9MemoryImageCache *Cache, int OnlyUnused);
// Releases every entry not in use that was given back 2000 ms or more ago. 0.
int D3D9MemoryImageCache_Expire(D3D9MemoryImageCache *Cache);
// Before a device reset: the objects of the used entries released, the entries kept. 0.
int D3D9MemoryImageCache_ReleaseObjects(D3D9MemoryImageCache *Cache);
// After it: every used entry gets a new object. 0, or -1 when one could not be made (that
// entry is cleared, the others still made).
int D3D9MemoryImageCache_RecreateObjects(D3D9MemoryImageCache *Cache);

// ---- The back end's caches (windows/) ------------------------------------------------------

extern D3D9MemoryImageCache D3D9MemoryTextureCache, D3D9MemorySurfaceCache;

// Async: called from an asynchronous-load worker, which hands the call to the main thread.
int Graphics_D3D9_AcquireMemoryTexture(int Cube, int Width, int Height, int MipLevels, unsigned Format, int ASync);
int Graphics_D3D9_AcquireMemorySurface(int Width, int Height, unsigned Format, int ASync);
// The same, waiting while every surface of the size is in use: the message loop runs once (on the
// main thread) and the thread sleeps 1 ms between tries. -1 when the library is ending or the
// surface cannot be made.
int Graphics_D3D9_AcquireMemorySurfaceWaiting(int Width, int Height, unsigned Format, int ASync);
int Graphics_D3D9_ReleaseMemoryTexture(int Index, int ASync);
int Graphics_D3D9_ReleaseMemorySurface(int Index, int ASync);
int Graphics_D3D9_PurgeMemoryTextures(int OnlyUnused);
int Graphics_D3D9_PurgeMemorySurfaces(int OnlyUnused);
// 0, or -1 off the main thread.
int Graphics_D3D9_ExpireMemoryTextures(void);
int Graphics_D3D9_ExpireMemorySurfaces(void);
// Purges both caches completely, textures first. 0.
int Graphics_D3D9_ReleaseMemoryTextureCache(void);
// The system-memory object of a handed-out entry.
void *Graphics_D3D9_MemoryTextureObject(int Index);
void *Graphics_D3D9_MemorySurfaceObject(int Index);
// Makes a cache entry's system-memory object from its key: 0, or -1 (logged).
int Graphics_D3D9_CreateMemoryTexture(D3D9MemoryImageCacheEntry *Entry);
int Graphics_D3D9_CreateMemorySurface(D3D9MemoryImageCacheEntry *Entry);
