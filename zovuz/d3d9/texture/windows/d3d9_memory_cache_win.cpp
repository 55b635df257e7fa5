// The back end's system-memory texture and surface caches over the device: the creation of their
// objects, and the acquire and release that a load worker hands to the main thread.
#include "zovuz/d3d9/d3d9_internal.h"
#include "zovuz/d3d9/texture/d3d9_memory_cache.h"
#include "zovuz/d3d9/calls/windows/d3d9_calls.h"

static_assert(sizeof(D3D9MemoryImageCacheEntry) == 24, "the entry's layout");

namespace {

void ReleaseObject(D3D9MemoryImageCacheEntry *Entry)
{
    Direct3D9_ReleaseObject((IUnknown *)Entry->Object);
    Entry->Object = nullptr;
}

// The cache's contents, once per run after the second creation failure of its kind.
void LogTextureCacheContents(void)
{
    const D3D9MemoryImageCache &cache = D3D9MemoryTextureCache;
    AddLogFormat(L"非管理テクスチャへのデータ転送用システムメモリ配置テクスチャの数：%d", cache.UsedNum);
    for (int i = 0; i < D3D9_MEMORY_IMAGE_CACHE_NUM; ++i) {
        const D3D9MemoryImageCacheEntry &e = cache.Entry[i];
        if (!e.UseFlag) continue;
        AddLogFormat(L"No%d. UseFlag:%d UseCount:%d CubeMap:%d SizeX:%d SizeY:%d MipMapCount:%d Format:%d", i,
                     e.InUseFlag, (int)e.UseCount, e.CubeMapFlag, e.Width, e.Height, e.MipMapCount, (int)e.Format);
    }
}

void LogSurfaceCacheContents(void)
{
    const D3D9MemoryImageCache &cache = D3D9MemorySurfaceCache;
    AddLogFormat(L"非管理テクスチャへのデータ転送用システムメモリ配置サーフェスの数：%d", cache.UsedNum);
    for (int i = 0; i < D3D9_MEMORY_IMAGE_CACHE_NUM; ++i) {
        const D3D9MemoryImageCacheEntry &e = cache.Entry[i];
        if (!e.UseFlag) continue;
        AddLogFormat(L"No%d. UseFlag:%d UseCount:%d SizeX:%d SizeY:%d Format:%d", i, e.InUseFlag, (int)e.UseCount,
                     e.Width, e.Height, (int)e.Format);
    }
}

int CreateMemoryTexture(D3D9MemoryImageCacheEntry *Entry) { return Graphics_D3D9_CreateMemoryTexture(Entry); }
int CreateMemorySurface(D3D9MemoryImageCacheEntry *Entry) { return Graphics_D3D9_CreateMemorySurface(Entry); }

const D3D9MemoryImageCacheOps TextureOps = {CreateMemoryTexture, ReleaseObject, GetNowMilliCount};
const D3D9MemoryImageCacheOps SurfaceOps = {CreateMemorySurface, ReleaseObject, GetNowMilliCount};

D3D9MemoryImageCacheEntry TextureKey(int Cube, int Width, int Height, int MipLevels, unsigned Format)
{
    D3D9MemoryImageCacheEntry key = {};
    key.CubeMapFlag = (unsigned char)(Cube != 0);
    key.MipMapCount = (unsigned char)MipLevels;
    key.Width = (short)Width;
    key.Height = (short)Height;
    key.Format = Format;
    return key;
}

}  // namespace

D3D9MemoryImageCache D3D9MemoryTextureCache = {&TextureOps, 0, {}};
D3D9MemoryImageCache D3D9MemorySurfaceCache = {&SurfaceOps, 0, {}};

int Graphics_D3D9_CreateMemoryTexture(D3D9MemoryImageCacheEntry *Entry)
{
    static int failureCount = 0;
    HRESULT hr;
    if (Entry->CubeMapFlag)
        hr = Direct3DDevice9_CreateCubeTexture((UINT)Entry->Width, Entry->MipMapCount, D3DUSAGE_DYNAMIC,
                                               (D3DFORMAT)Entry->Format, D3DPOOL_SYSTEMMEM,
                                               (IDirect3DCubeTexture9 **)&Entry->Object, nullptr);
    else
        hr = Direct3DDevice9_CreateTexture((UINT)Entry->Width, (UINT)Entry->Height, Entry->MipMapCount,
                                           D3DUSAGE_DYNAMIC, (D3DFORMAT)Entry->Format, D3DPOOL_SYSTEMMEM,
                                           (IDirect3DTexture9 **)&Entry->Object, nullptr);
    if (SUCCEEDED(hr)) return 0;
    Entry->Object = nullptr;
    const int size = GetTotalAllocSize();
    if (Entry->CubeMapFlag) {
        AddLogFormat(
            L"メモリキューブマップテクスチャの作成に失敗しました  エラーコード:0x%08x SizeX:%d SizeY:%d "
            L"Format:%d 総メモリ確保数:%d 総確保メモリサイズ:%dByte(%dKByte)",
            (unsigned)hr, Entry->Width, Entry->Height, (int)Entry->Format, GetAllocNum(), size, size / 1024);
        return LogPlatformFailure(L"IDirect3DDevice9::CreateCubeTexture", (unsigned long)hr);
    }
    const wchar_t *line =
        L"メモリテクスチャの作成に失敗しました  エラーコード:0x%08x SizeX:%d SizeY:%d Format:%d "
        L"総メモリ確保数:%d 総確保メモリサイズ:%dByte(%dKByte)";
    AddLogFormat(line, (unsigned)hr, Entry->Width, Entry->Height, (int)Entry->Format, GetAllocNum(), size, size / 1024);
    if (++failureCount == 1) {
        AddLogFormat(line, (unsigned)hr, Entry->Width, Entry->Height, (int)Entry->Format, GetAllocNum(), size,
                     size / 1024);
        LogTextureCacheContents();
    }
    return LogPlatformFailure(L"IDirect3DDevice9::CreateTexture", (unsigned long)hr);
}

int Graphics_D3D9_CreateMemorySurface(D3D9MemoryImageCacheEntry *Entry)
{
    static int failureCount = 0;
    HRESULT hr =
        Direct3DDevice9_CreateOffscreenPlainSurface((UINT)Entry->Width, (UINT)Entry->Height, (D3DFORMAT)Entry->Format,
                                                    D3DPOOL_SYSTEMMEM, (IDirect3DSurface9 **)&Entry->Object, nullptr);
    if (SUCCEEDED(hr)) return 0;
    Entry->Object = nullptr;
    const int size = GetTotalAllocSize();
    AddLogFormat(
        L"メモリサーフェスの作成に失敗しました PosNo.1  エラーコード:0x%08x SizeX:%d SizeY:%d Format:%d "
        L"総メモリ確保数:%d 総確保メモリサイズ:%dByte(%dKByte)",
        (unsigned)hr, Entry->Width, Entry->Height, (int)Entry->Format, GetAllocNum(), size, size / 1024);
    if (++failureCount == 1) {
        AddLogFormat(
            L"メモリサーフェスの作成に失敗しました PosNo.2  エラーコード:0x%08x SizeX:%d SizeY:%d Format:%d "
            L"総メモリ確保数:%d 総確保メモリサイズ:%dByte(%dKByte)",
            (unsigned)hr, Entry->Width, Entry->Height, (int)Entry->Format, GetAllocNum(), size, size / 1024);
        LogSurfaceCacheContents();
    }
    return LogPlatformFailure(L"IDirect3DDevice9::CreateOffscreenPlainSurface", (unsigned long)hr);
}

int Graphics_D3D9_AcquireMemoryTexture_ASyncCallback(ASyncLoadRequestInfo *Info)
{
    return ReplayMainThreadCall(
        +[](int Cube, int Width, int Height, int MipLevels, unsigned Format) {
            return Graphics_D3D9_AcquireMemoryTexture(Cube, Width, Height, MipLevels, Format, 0);
        },
        Info);
}

int Graphics_D3D9_AcquireMemoryTexture(int Cube, int Width, int Height, int MipLevels, unsigned Format, int ASync)
{
    if (ASync)
        return RequestMainThreadReplay(Graphics_D3D9_AcquireMemoryTexture_ASyncCallback, Cube, Width, Height, MipLevels,
                                       Format);
    return D3D9MemoryImageCache_Acquire(&D3D9MemoryTextureCache, TextureKey(Cube, Width, Height, MipLevels, Format));
}

int Graphics_D3D9_AcquireMemorySurface_ASyncCallback(ASyncLoadRequestInfo *Info)
{
    return ReplayMainThreadCall(
        +[](int Width, int Height, unsigned Format) {
            return Graphics_D3D9_AcquireMemorySurface(Width, Height, Format, 0);
        },
        Info);
}

int Graphics_D3D9_AcquireMemorySurface(int Width, int Height, unsigned Format, int ASync)
{
    if (ASync) return RequestMainThreadReplay(Graphics_D3D9_AcquireMemorySurface_ASyncCallback, Width, Height, Format);
    return D3D9MemoryImageCache_Acquire(&D3D9MemorySurfaceCache, TextureKey(0, Width, Height, 0, Format));
}

int Graphics_D3D9_AcquireMemorySurfaceWaiting(int Width, int Height, unsigned Format, int ASync)
{
    for (;;) {
        const int index = Graphics_D3D9_AcquireMemorySurface(Width, Height, Format, ASync);
        // A surface that cannot be made is not waited for: no entry coming back would help.
        if (index >= 0 || D3D9MemorySurfaceCache.CreateFailedFlag) return index;
        if (IsMainThread() && ProcessMessageNoLock() != 0) return -1;
        Sleep(1);
    }
}

int Graphics_D3D9_ReleaseMemoryTexture_ASyncCallback(ASyncLoadRequestInfo *Info)
{
    return ReplayMainThreadCall(
        +[](int Index) { return Graphics_D3D9_ReleaseMemoryTexture(Index, 0); }, Info);
}

int Graphics_D3D9_ReleaseMemoryTexture(int Index, int ASync)
{
    if (ASync) return RequestMainThreadReplay(Graphics_D3D9_ReleaseMemoryTexture_ASyncCallback, Index);
    return D3D9MemoryImageCache_Release(&D3D9MemoryTextureCache, Index);
}

int Graphics_D3D9_ReleaseMemorySurface_ASyncCallback(ASyncLoadRequestInfo *Info)
{
    return ReplayMainThreadCall(
        +[](int Index) { return Graphics_D3D9_ReleaseMemorySurface(Index, 0); }, Info);
}

int Graphics_D3D9_ReleaseMemorySurface(int Index, int ASync)
{
    if (ASync) return RequestMainThreadReplay(Graphics_D3D9_ReleaseMemorySurface_ASyncCallback, Index);
    return D3D9MemoryImageCache_Release(&D3D9MemorySurfaceCache, Index);
}

int Graphics_D3D9_PurgeMemoryTextures(int OnlyUnused)
{
    return D3D9MemoryImageCache_Purge(&D3D9MemoryTextureCache, OnlyUnused);
}

int Graphics_D3D9_PurgeMemorySurfaces(int OnlyUnused)
{
    return D3D9MemoryImageCache_Purge(&D3D9MemorySurfaceCache, OnlyUnused);
}

int Graphics_D3D9_ExpireMemoryTextures(void)
{
    if (!IsMainThread()) return -1;
    return D3D9MemoryImageCache_Expire(&D3D9MemoryTextureCache);
}

int Graphics_D3D9_ExpireMemorySurfaces(void)
{
    if (!IsMainThread()) return -1;
    return D3D9MemoryImageCache_Expire(&D3D9MemorySurfaceCache);
}

int Graphics_D3D9_ReleaseMemoryTextureCache(void)
{
    Graphics_D3D9_PurgeMemoryTextures(0);
    Graphics_D3D9_PurgeMemorySurfaces(0);
    return 0;
}

void *Graphics_D3D9_MemoryTextureObject(int Index)
{
    if (Index < 0 || Index >= D3D9_MEMORY_IMAGE_CACHE_NUM) return nullptr;
    return D3D9MemoryTextureCache.Entry[Index].Object;
}

void *Graphics_D3D9_MemorySurfaceObject(int Index)
{
    if (Index < 0 || Index >= D3D9_MEMORY_IMAGE_CACHE_NUM) return nullptr;
    return D3D9MemorySurfaceCache.Entry[Index].Object;
}
