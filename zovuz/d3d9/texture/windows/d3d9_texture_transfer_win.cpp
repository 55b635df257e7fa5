// Images into Direct3D 9 textures, level by level: through a lock of the level, or through a cached
// system-memory surface and UpdateSurface for a texture the CPU cannot lock.
#include <string.h>

#include <algorithm>

#include "zovuz/d3d9/texture/d3d9_memory_cache.h"
#include "zovuz/d3d9/texture/d3d9_texture_transfer.h"
#include "zovuz/d3d9/texture/windows/d3d9_graph_texture_win.h"

namespace {

const wchar_t kDxtRefused[] = L"DXTフォーマットのテクスチャに標準形式のイメージを転送することはできません";
const wchar_t kShortImage[] = L"画像のデータがテクスチャへの転送に必要なサイズに足りません";

using Job = D3D9TextureTransferJob;

int Fail(const wchar_t *Line)
{
    AddLogStringWide(Line);
    return -1;
}

int FaceNum(const Job &J) { return J.CubeMapFlag ? 6 : 1; }
int Half(int Size) { return Size > 1 ? Size / 2 : 1; }

bool IsDxtKind(int Kind) { return D3D9DXTFormatOfKind(Kind) != 0; }
bool IsDxtFormat(unsigned Format) { return D3D9IsDXTFormat(Format) != 0; }

// The source holds its kind's blocks and the texture takes them as they are.
bool DirectDxt(const Job &J)
{
    const unsigned format = D3D9DXTFormatOfKind(J.Source->ColorData.Format);
    return format != 0 && J.Format == format;
}

bool CoversTexture(const Job &J)
{
    return J.DestX == 0 && J.DestY == 0 && J.SrcRect.right - J.SrcRect.left == J.TexWidth &&
           J.SrcRect.bottom - J.SrcRect.top == J.TexHeight;
}

// A read of Bytes at Offset of the image's pixels: refused (logged) when the image does not hold it.
bool Holds(const BASEIMAGE &Image, int64_t Offset, int64_t Bytes)
{
    if (BaseImageHoldsBytes(&Image, Offset, Bytes)) return true;
    AddLogStringWide(kShortImage);
    return false;
}

// Converts Rect of face Face of the source (with the alpha image) to the start of Dest.
int ConvertFace(const Job &J, int Face, const ImageRect &Rect, uint8_t *Dest, int DestPitch)
{
    const BASEIMAGE &src = *J.Source;
    const uint8_t *pixels = (const uint8_t *)src.Pixels + (ptrdiff_t)(Face * GetBaseImageFaceBytes(&src));
    const BASEIMAGE *alpha = J.AlphaSource;
    const uint8_t *alphaPixels =
        alpha != nullptr ? (const uint8_t *)alpha->Pixels + (ptrdiff_t)(Face * GetBaseImageFaceBytes(alpha)) : nullptr;
    // The transparent colour becomes alpha 0 only where the texture has alpha and no alpha image
    // gives it.
    const int colorKey =
        J.TransColorFlag && J.DestColorData->AlphaWidth != 0 && alpha == nullptr && src.ColorData.AlphaWidth == 0;
    return ConvertColorDataBlt(Dest, DestPitch, J.DestColorData, pixels, src.Pitch, &src.ColorData, alphaPixels,
                               alpha != nullptr ? alpha->Pitch : 0, alpha != nullptr ? &alpha->ColorData : nullptr, 0,
                               0, &Rect, 0, colorKey, J.TransColor, COLOR_DITHER_NONE, 0, 0, 0, 0);
}

IDirect3DSurface9 *LevelSurface(const Job &J, int Face, int Level)
{
    IDirect3DSurface9 *surface = nullptr;
    HRESULT hr = J.CubeMapFlag ? Direct3DCubeTexture9_GetCubeMapSurface_ASync((IDirect3DCubeTexture9 *)J.Texture,
                                                                              (D3DCUBEMAP_FACES)Face, (UINT)Level,
                                                                              &surface, J.ASyncThread)
                               : Direct3DTexture9_GetSurfaceLevel_ASync((IDirect3DTexture9 *)J.Texture, (UINT)Level,
                                                                        &surface, J.ASyncThread);
    if (SUCCEEDED(hr)) return surface;
    LogPlatformFailure(
        J.CubeMapFlag ? L"IDirect3DCubeTexture9::GetCubeMapSurface" : L"IDirect3DTexture9::GetSurfaceLevel",
        (unsigned long)hr);
    return nullptr;
}

// Writes Rect of one level: Fill receives the memory of Rect's first pixel and its pitch.
template <typename FillFn>
int WriteLevel(const Job &J, int Face, int Level, const RECT &Rect, const wchar_t *LockFailure, FillFn Fill)
{
    const int width = Rect.right - Rect.left, height = Rect.bottom - Rect.top;
    D3DLOCKED_RECT locked = {};
    if (J.UseMemorySurfaceFlag) {
        const int index = Graphics_D3D9_AcquireMemorySurfaceWaiting(width, height, J.Format, J.ASyncThread);
        if (index < 0) return Fail(L"ミップマップテクスチャ用のメモリサーフェスの取得に失敗しました");
        IDirect3DSurface9 *memory = (IDirect3DSurface9 *)Graphics_D3D9_MemorySurfaceObject(index);
        int result = -1;
        if (HRESULT hr = Direct3DSurface9_LockRect_ASync(memory, &locked, nullptr, D3DLOCK_DISCARD, J.ASyncThread);
            FAILED(hr)) {
            AddLogStringWide(LockFailure);
            AddLogStringWide(L"\n");
            LogPlatformFailure(L"IDirect3DSurface9::LockRect", (unsigned long)hr);
        } else {
            result = Fill((uint8_t *)locked.pBits, (int)locked.Pitch);
            Direct3DSurface9_UnlockRect_ASync(memory, J.ASyncThread);
            IDirect3DSurface9 *level = LevelSurface(J, Face, Level);
            const RECT source = {0, 0, width, height};
            const POINT at = {Rect.left, Rect.top};
            if (result == 0 && level == nullptr) result = -1;
            if (result == 0) {
                const HRESULT hr = Direct3DDevice9_UpdateSurface_ASync(memory, &source, level, &at, J.ASyncThread);
                if (FAILED(hr)) result = LogPlatformFailure(L"IDirect3DDevice9::UpdateSurface", (unsigned long)hr);
            }
            if (level != nullptr) Direct3D9_ReleaseObject_ASync(level, J.ASyncThread);
        }
        Graphics_D3D9_ReleaseMemorySurface(index, J.ASyncThread);
        return result;
    }
    HRESULT hr = J.CubeMapFlag
                     ? Direct3DCubeTexture9_LockRect_ASync((IDirect3DCubeTexture9 *)J.Texture, (D3DCUBEMAP_FACES)Face,
                                                           (UINT)Level, &locked, &Rect, 0, J.ASyncThread)
                     : Direct3DTexture9_LockRect_ASync((IDirect3DTexture9 *)J.Texture, (UINT)Level, &locked, &Rect, 0,
                                                       J.ASyncThread);
    if (FAILED(hr)) {
        Fail(LockFailure);
        AddLogStringWide(L"\n");
        return LogPlatformFailure(J.CubeMapFlag ? L"IDirect3DCubeTexture9::LockRect" : L"IDirect3DTexture9::LockRect",
                                  (unsigned long)hr);
    }
    const int result = Fill((uint8_t *)locked.pBits, (int)locked.Pitch);
    if (J.CubeMapFlag)
        Direct3DCubeTexture9_UnlockRect_ASync((IDirect3DCubeTexture9 *)J.Texture, (D3DCUBEMAP_FACES)Face, (UINT)Level,
                                              J.ASyncThread);
    else
        Direct3DTexture9_UnlockRect_ASync((IDirect3DTexture9 *)J.Texture, (UINT)Level, J.ASyncThread);
    return result;
}

const wchar_t *MipLockFailure(const Job &J)
{
    return J.CubeMapFlag ? L"キューブマップミップマップテクスチャのロックに失敗しました"
                         : L"ミップマップテクスチャのロックに失敗しました";
}

// Every level of every face from the image's own levels: DXT blocks as they are, block row by
// block row at the locked pitch; plain pixels converted level by level.
int CopyStoredLevels(const Job &J)
{
    const BASEIMAGE &src = *J.Source;
    const bool dxt = DirectDxt(J);
    const int64_t faceBytes = GetBaseImageFaceBytes(&src);
    for (int f = 0; f < FaceNum(J); f++) {
        int64_t offset = (int64_t)f * faceBytes;
        int w = J.TexWidth, h = J.TexHeight;
        for (int l = 0; l < J.MipLevels; l++, w = Half(w), h = Half(h)) {
            const int pitch = l == 0 ? src.Pitch : w * src.ColorData.PixelBytes;
            const int64_t bytes = GetBaseImageLevelBytes(&src, w, h, l);
            if (!Holds(src, offset, bytes)) return -1;
            const uint8_t *level = (const uint8_t *)src.Pixels + offset;
            const RECT rect = {0, 0, w, h};
            const int result = WriteLevel(J, f, l, rect, MipLockFailure(J), [&](uint8_t *Dest, int DestPitch) {
                if (dxt) {
                    D3D9CopyDXTLevel(Dest, DestPitch, level, src.ColorData.BitDepth, w, h);
                    return 0;
                }
                BASEIMAGE view = src;
                view.Pixels = (void *)level;
                view.Pitch = pitch;
                view.Height = h;
                view.Width = w;
                Job one = J;
                one.Source = &view;
                one.AlphaSource = nullptr;
                const ImageRect all = {0, 0, w, h};
                return ConvertFace(one, 0, all, Dest, DestPitch) < 0 ? -1 : 0;
            });
            if (result < 0) return -1;
            offset += bytes;
        }
    }
    return 0;
}

}  // namespace

int Graphics_D3D9_CheckDXTConvert(GraphImageRecord *Image, int ImageFormat, int *ConvertFlag, int AlphaImageFormat,
                                  int *AlphaConvertFlag)
{
    if (ConvertFlag != nullptr) *ConvertFlag = 0;
    if (AlphaConvertFlag != nullptr) *AlphaConvertFlag = 0;
    const unsigned format = Image != nullptr && Image->PixelFormat >= 0 && Image->PixelFormat < PIXEL_FORMAT_NUM
                                ? D3D9TextureFormatTable.Format[Image->PixelFormat]
                                : 0;
    const int hardware = Image != nullptr && Image->Format.HardwareFlag;
    if (ConvertFlag != nullptr) *ConvertFlag = D3D9DXTMustConvert(hardware, format, ImageFormat);
    if (AlphaImageFormat >= 0 && AlphaConvertFlag != nullptr)
        *AlphaConvertFlag = D3D9DXTMustConvert(hardware, format, AlphaImageFormat);
    return 0;
}

int Graphics_D3D9_TextureTransferBaseLevel(const Job &J)
{
    const int width = J.SrcRect.right - J.SrcRect.left, height = J.SrcRect.bottom - J.SrcRect.top;
    if (width <= 0 || height <= 0) return 0;
    const bool whole = CoversTexture(J);
    if (IsDxtFormat(J.Format) && !(whole && DirectDxt(J))) {
        AddLogStringWide(kDxtRefused);
        return 0;
    }
    // The column right of a rectangle that ends at the image's edge inside the texture repeats its
    // last column (and likewise the row below), so that filtering beside a sub-image reads image
    // pixels. The rectangle converted stays the image's own: only the lock grows. A rectangle
    // that ends inside the image leaves its neighbour's pixels alone.
    const int right = J.DestX + width, bottom = J.DestY + height;
    const int column = !whole && right < J.TexWidth && right >= J.UsedWidth ? 1 : 0;
    const int row = !whole && bottom < J.TexHeight && bottom >= J.UsedHeight ? 1 : 0;
    const RECT rect = {J.DestX, J.DestY, right + column, bottom + row};
    const BASEIMAGE &src = *J.Source;
    for (int f = 0; f < FaceNum(J); f++) {
        const int result =
            WriteLevel(J, f, 0, rect, L"テクスチャのロックに失敗しました", [&](uint8_t *Dest, int Pitch) {
                if (DirectDxt(J)) {
                    const int64_t offset = (int64_t)f * GetBaseImageFaceBytes(&src);
                    if (!Holds(src, offset, (int64_t)D3D9DXTLevelBytes(src.ColorData.BitDepth, width, height)))
                        return -1;
                    D3D9CopyDXTLevel(Dest, Pitch, (const uint8_t *)src.Pixels + offset, src.ColorData.BitDepth, width,
                                     height);
                    return 0;
                }
                if (ConvertFace(J, f, J.SrcRect, Dest, Pitch) < 0) return -1;
                D3D9FillTransferEdge(Dest, Pitch, J.DestColorData->PixelBytes, width, height, column, row);
                return 0;
            });
        if (result < 0) return -1;
    }
    return 0;
}

int Graphics_D3D9_TextureTransfer(const Job &J)
{
    const BASEIMAGE &src = *J.Source;
    const int stored = src.MipCount > 1 ? src.MipCount : 1;
    const bool whole = CoversTexture(J);
    if (whole && DirectDxt(J) && stored >= J.MipLevels) return CopyStoredLevels(J);
    if (IsDxtFormat(J.Format)) {
        AddLogStringWide(kDxtRefused);
        return 0;
    }
    // A plain image with every level, of the texture's size, goes level by level.
    if (whole && stored >= J.MipLevels && src.Width == J.TexWidth && src.Height == J.TexHeight &&
        !IsDxtKind(src.ColorData.Format) && J.AlphaSource == nullptr)
        return CopyStoredLevels(J);

    const int width = J.SrcRect.right - J.SrcRect.left, height = J.SrcRect.bottom - J.SrcRect.top;
    if (width <= 0 || height <= 0) return 0;
    const int w2 = CalcPowerOfTwoAtLeast(width), h2 = CalcPowerOfTwoAtLeast(height);
    const int bpp = J.DestColorData->PixelBytes;
    const int pitch = w2 * bpp;
    const size_t half = (size_t)pitch * h2;
    uint8_t *buffer = (uint8_t *)DXALLOC(half * 2);
    if (buffer == nullptr) return Fail(L"テクスチャへ転送する画像を一時的に格納するメモリ領域の確保に失敗しました");
    uint8_t *halves[2] = {buffer, buffer + half};
    const ImageRect dest = {J.DestX, J.DestY, J.DestX + width, J.DestY + height};
    int result = 0;
    for (int f = 0; f < FaceNum(J) && result == 0; f++) {
        int w = w2, h = h2;
        for (int l = 0; l < J.MipLevels && result == 0; l++) {
            uint8_t *level = halves[l & 1];
            if (l == 0) {
                if (ConvertFace(J, f, J.SrcRect, level, pitch) < 0) {
                    result = -1;
                    break;
                }
                PadMipBlock(level, pitch, width, height, w2, h2, bpp);
            } else {
                ShrinkImageHalf(J.DestColorData, level, pitch, halves[(l - 1) & 1], pitch, 0, 0, 0, 0, w, h);
                w = Half(w);
                h = Half(h);
            }
            const ImageRect at = GraphMipLevelRect(dest, l);
            const RECT rect = {at.left, at.top, at.right, at.bottom};
            result = WriteLevel(J, f, l, rect, MipLockFailure(J), [&](uint8_t *Out, int OutPitch) {
                // A level's rectangle may reach one pixel past the halved block: it repeats the
                // block's last column or row.
                for (int y = 0; y < at.bottom - at.top; y++) {
                    const uint8_t *line = level + (ptrdiff_t)std::min(y, h - 1) * pitch;
                    uint8_t *outLine = Out + (ptrdiff_t)y * OutPitch;
                    for (int x = 0; x < at.right - at.left; x++)
                        memcpy(outLine + (ptrdiff_t)x * bpp, line + (ptrdiff_t)std::min(x, w - 1) * bpp, bpp);
                }
                return 0;
            });
        }
    }
    DXFREE(buffer);
    return result;
}
