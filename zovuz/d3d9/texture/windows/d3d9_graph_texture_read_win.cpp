// Reading draw targets back on Direct3D 9: the lock of a rectangle of the screen or of a graph
// (directly when the surface is lockable, else copied through a render target into a cached
// system-memory surface), and the read of one pixel through it.
#include "zovuz/d3d9/texture/d3d9_memory_cache.h"
#include "zovuz/d3d9/texture/d3d9_texture_transfer.h"
#include "zovuz/d3d9/device/windows/d3d9_device_win.h"
#include "zovuz/d3d9/texture/windows/d3d9_graph_texture_win.h"
#include "zovuz/d3d9/draw/windows/d3d9_vertex_batch_win.h"

namespace {

// What the lock holds until the unlock.
struct D3D9BackBufferLockData
{
    IDirect3DSurface9 *Surface;  // the locked surface, null while nothing is locked
    int CacheIndex;              // its surface-cache entry, -1 when the source itself was locked
    bool OwnSurface;             // the lock holds a reference to Surface
};
D3D9BackBufferLockData D3D9BackBufferLock = {nullptr, -1, false};

int Fail(const wchar_t *Line)
{
    AddLogStringWide(Line);
    return -1;
}

}  // namespace

int Graphics_D3D9_LockBackBuffer(const ImageRect *Rect, BASEIMAGE *Image, int, GraphHandleData *Graph, int Surface, int,
                                 int ReadOnly, int TextureIndex)
{
    if (!Direct3DDevice9_IsValid() || Rect == nullptr || Image == nullptr) return -1;
    // A second lock without an unlock would leave the first one's surface behind.
    Graphics_D3D9_UnlockBackBuffer();
    Graphics_D3D9_RenderVertexBuffer(0);
    Direct3DDevice9_EndSceneIfNeeded();

    IDirect3DSurface9 *source = nullptr;
    bool ownSource = false, lockable = false;
    RECT rect = {Rect->left, Rect->top, Rect->right, Rect->bottom};
    if (Graph != nullptr) {
        const GraphImageRecord *image = Graph->Image;
        if (image == nullptr || !image->Format.HardwareFlag || TextureIndex < 0 || TextureIndex >= image->TextureNum)
            return -1;
        const GraphTextureEntry &entry = image->Texture[TextureIndex];
        if (entry.PF == nullptr) return -1;
        const int dx = Graph->OffsetX - entry.X, dy = Graph->OffsetY - entry.Y;
        rect = RECT{rect.left + dx, rect.top + dy, rect.right + dx, rect.bottom + dy};
        source = D3D9TextureObjectsOf(entry.PF)->RenderSurface;
        if (source == nullptr) {
            source = Graphics_D3D9_GetGraphSurface(entry, image->Format.CubeMapFlag, Surface, 0);
            ownSource = true;
        }
    } else if (D3D9Screen.SubBackBufferSurface != nullptr) {
        source = D3D9Screen.SubBackBufferSurface;
    } else {
        source = D3D9DeviceCapsInfo.BackBuffer;
        lockable = D3D9DeviceCapsInfo.BackBufferLockFlag != 0;
    }
    if (source == nullptr) return -1;
    D3DSURFACE_DESC desc = {};
    Direct3DSurface9_GetDesc(source, &desc);
    const COLORDATA *colorData = Graphics_D3D9_GetFormatColorData((unsigned)desc.Format);
    // The image points into the locked memory: a rectangle outside the surface would point past it.
    if (colorData == nullptr || rect.left < 0 || rect.top < 0 || rect.right > (LONG)desc.Width ||
        rect.bottom > (LONG)desc.Height || rect.left >= rect.right || rect.top >= rect.bottom) {
        if (ownSource) Direct3D9_ReleaseObject(source);
        return -1;
    }
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    D3DLOCKED_RECT locked = {};
    D3D9BackBufferLockData &lock = D3D9BackBufferLock;
    if (lockable && SUCCEEDED(Direct3DSurface9_LockRect(source, &locked, &rect, ReadOnly ? D3DLOCK_READONLY : 0))) {
        lock = D3D9BackBufferLockData{source, -1, ownSource};
    } else {
        IDirect3DSurface9 *target = nullptr;
        if (HRESULT hr = Direct3DDevice9_CreateRenderTarget((UINT)width, (UINT)height, desc.Format, D3DMULTISAMPLE_NONE,
                                                            0, FALSE, &target, nullptr);
            FAILED(hr)) {
            if (ownSource) Direct3D9_ReleaseObject(source);
            Fail(L"バックバッファロック用描画可能サーフェスの作成に失敗しました\n");
            return LogPlatformFailure(L"IDirect3DDevice9::CreateRenderTarget", (unsigned long)hr);
        }
        const int index = Graphics_D3D9_AcquireMemorySurfaceWaiting(width, height, (unsigned)desc.Format, 0);
        if (index < 0) {
            Direct3D9_ReleaseObject(target);
            if (ownSource) Direct3D9_ReleaseObject(source);
            return Fail(L"バックバッファロック用システムメモリサーフェスの作成に失敗しました\n");
        }
        IDirect3DSurface9 *memory = (IDirect3DSurface9 *)Graphics_D3D9_MemorySurfaceObject(index);
        const bool copied = SUCCEEDED(Direct3DDevice9_StretchRect(source, &rect, target, nullptr, D3DTEXF_NONE)) &&
                            SUCCEEDED(Direct3DDevice9_GetRenderTargetData(target, memory)) &&
                            SUCCEEDED(Direct3DSurface9_LockRect(memory, &locked, nullptr, D3DLOCK_READONLY));
        Direct3D9_ReleaseObject(target);
        if (ownSource) Direct3D9_ReleaseObject(source);
        if (!copied) {
            Graphics_D3D9_ReleaseMemorySurface(index, 0);
            return -1;
        }
        lock = D3D9BackBufferLockData{memory, index, false};
    }
    *Image = BASEIMAGE();
    Image->ColorData = *colorData;
    Image->Width = width;
    Image->Height = height;
    Image->Pitch = (int)locked.Pitch;
    Image->Pixels = locked.pBits;
    return 0;
}

int Graphics_D3D9_UnlockBackBuffer(void)
{
    D3D9BackBufferLockData &lock = D3D9BackBufferLock;
    if (lock.Surface != nullptr) {
        Direct3DSurface9_UnlockRect(lock.Surface);
        if (lock.OwnSurface) Direct3D9_ReleaseObject(lock.Surface);
    }
    if (lock.CacheIndex >= 0) Graphics_D3D9_ReleaseMemorySurface(lock.CacheIndex, 0);
    lock = D3D9BackBufferLockData{nullptr, -1, false};
    return 0;
}

unsigned int Graphics_D3D9_GetPixel(int X, int Y)
{
    if (!Direct3DDevice9_IsValid()) return (unsigned int)-1;
    Graphics_D3D9_RenderVertexBuffer(0);
    Direct3DDevice9_EndSceneIfNeeded();
    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    const ImageRect rect = {X, Y, X + 1, Y + 1};
    BASEIMAGE image;
    if (LockDrawScreenBuffer(&rect, &image, -1, d.RenderTargetSurface[0], d.RenderTargetMipLevel[0], 1, 0) < 0)
        return (unsigned int)-1;
    const unsigned int color = D3D9PixelToARGB(image.ColorData, image.Pixels);
    UnlockDrawScreenBuffer();
    return color;
}
