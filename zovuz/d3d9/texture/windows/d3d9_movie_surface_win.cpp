// The movies' YUV surfaces: plain surfaces in a layout the device converts to its screen format,
// which the Theora decoder fills frame by frame and the movie copy stretches into a graph. They
// live in the device's default pool, so their owner releases them before the device's objects go.
#include "zovuz/d3d9/calls/windows/d3d9_calls.h"
#include "zovuz/d3d9/device/windows/d3d9_device_win.h"

namespace {

// The layouts, in the order they are tried: planar 4:2:0 first, as the decoder's frames are.
constexpr D3DFORMAT kYUVFormats[] = {(D3DFORMAT)MAKEFOURCC('Y', 'V', '1', '2'),
                                     (D3DFORMAT)MAKEFOURCC('Y', 'U', 'Y', '2'),
                                     (D3DFORMAT)MAKEFOURCC('U', 'Y', 'V', 'Y')};

UINT AdapterInUse() { return (UINT)(GetUseDisplayIndex() > 0 ? GetUseDisplayIndex() : 0); }

}  // namespace

void *Graphics_D3D9_CreateYUVSurface(int Width, int Height, uint32_t *FourCC, int ASyncThread)
{
    if (!Direct3DDevice9_IsValid() || Width < 2 || Height < 2 || (Width | Height) & 1 || FourCC == nullptr)
        return nullptr;
    for (D3DFORMAT format : kYUVFormats) {
        if (FAILED(Direct3D9_CheckDeviceFormatConversion(AdapterInUse(), D3DDEVTYPE_HAL, format,
                                                         D3D9DeviceCapsInfo.BackBufferFormat)))
            continue;
        IDirect3DSurface9 *surface = nullptr;
        const HRESULT hr = Direct3DDevice9_CreateOffscreenPlainSurface_ASync(
            (UINT)Width, (UINT)Height, format, D3DPOOL_DEFAULT, &surface, nullptr, ASyncThread);
        if (SUCCEEDED(hr) && surface != nullptr) {
            *FourCC = (uint32_t)format;
            return surface;
        }
        LogPlatformFailure(L"IDirect3DDevice9::CreateOffscreenPlainSurface", (unsigned long)hr);
    }
    return nullptr;
}

void *Graphics_D3D9_LockYUVSurface(void *Surface, int *Pitch, int ASyncThread)
{
    if (Surface == nullptr || Pitch == nullptr) return nullptr;
    D3DLOCKED_RECT locked = {};
    const HRESULT hr = Direct3DSurface9_LockRect_ASync((IDirect3DSurface9 *)Surface, &locked, nullptr, 0, ASyncThread);
    if (FAILED(hr) || locked.pBits == nullptr) {
        LogPlatformFailure(L"IDirect3DSurface9::LockRect", (unsigned long)hr);
        return nullptr;
    }
    *Pitch = locked.Pitch;
    return locked.pBits;
}

int Graphics_D3D9_UnlockYUVSurface(void *Surface, int ASyncThread)
{
    if (Surface == nullptr) return -1;
    return FAILED(Direct3DSurface9_UnlockRect_ASync((IDirect3DSurface9 *)Surface, ASyncThread)) ? -1 : 0;
}

int Graphics_D3D9_ReleaseYUVSurface(void *Surface, int ASyncThread)
{
    if (Surface != nullptr) Direct3D9_ReleaseObject_ASync((IUnknown *)Surface, ASyncThread);
    return 0;
}
