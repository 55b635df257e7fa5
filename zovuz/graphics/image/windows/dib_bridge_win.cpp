// Bridges between BASEIMAGE and Windows device-independent bitmaps, and the GDI drawing that
// turns any bitmap GDI understands into a 24-bit image.
#include <stdlib.h>
#include <string.h>

#include "zovuz/graphics/image/windows/dib_bridge_win.h"

namespace {

int RowPitch(int Width, int Bytes) { return (Width * Bytes + 3) & ~3; }

// A memory DC with a DIB section selected, released in reverse order.
struct SectionDc
{
    HDC Dc = nullptr;
    HBITMAP Bitmap = nullptr;
    HGDIOBJ Old = nullptr;

    ~SectionDc()
    {
        if (Old != nullptr) SelectObject(Dc, Old);
        if (Dc != nullptr) DeleteDC(Dc);
    }
    bool Select(HBITMAP B)
    {
        Dc = CreateCompatibleDC(nullptr);
        if (Dc == nullptr) return false;
        Bitmap = B;
        Old = SelectObject(Dc, B);
        return Old != nullptr;
    }
};

}  // namespace

int DrawDibToFullColorImage(const void *BitmapInfo, const void *Bits, int Width, int Height, BASEIMAGE *Image)
{
    BITMAPINFO section = {};
    section.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    section.bmiHeader.biWidth = Width;
    section.bmiHeader.biHeight = -Height;
    section.bmiHeader.biPlanes = 1;
    section.bmiHeader.biBitCount = 24;
    section.bmiHeader.biCompression = BI_RGB;
    void *sectionBits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &section, DIB_RGB_COLORS, &sectionBits, nullptr, 0);
    if (bitmap == nullptr || sectionBits == nullptr) {
        const DWORD error = GetLastError();
        if (bitmap != nullptr) DeleteObject(bitmap);
        AddLogStringWide(L"ＤＩＢの作成に失敗しました3\n");
        return LogPlatformFailure(L"CreateDIBSection", error);
    }
    const int pitch = RowPitch(Width, 3);
    bool drawn;
    {
        SectionDc dc;
        drawn = dc.Select(bitmap) && StretchDIBits(dc.Dc, 0, 0, Width, Height, 0, 0, Width, Height, Bits,
                                                   (const BITMAPINFO *)BitmapInfo, DIB_RGB_COLORS, SRCCOPY) > 0;
        GdiFlush();
    }
    uint8_t *pixels = drawn ? (uint8_t *)DXALLOC((size_t)pitch * Height) : nullptr;
    if (pixels != nullptr) memcpy(pixels, sectionBits, (size_t)pitch * Height);
    DeleteObject(bitmap);
    if (pixels == nullptr) return -1;
    memset(Image, 0, sizeof(*Image));
    CreateFullColorData(&Image->ColorData);
    Image->Width = Width;
    Image->Height = Height;
    Image->Pitch = pitch;
    Image->Pixels = pixels;
    return 0;
}

int ConvertBitmapToBaseImage(const BITMAPINFO *BitmapInfo, const void *Bits, BASEIMAGE *Image, int CopyFlag)
{
    if (BitmapInfo == nullptr || Bits == nullptr || Image == nullptr) return -1;
    const BITMAPINFOHEADER &h = BitmapInfo->bmiHeader;
    const int width = h.biWidth, height = abs(h.biHeight), bits = h.biBitCount;
    if (width <= 0 || height <= 0 || width > kImageMaxSide || height > kImageMaxSide) return -1;

    const bool described =
        h.biHeight < 0 && ((h.biCompression == BI_RGB && (bits == 16 || bits == 24)) ||
                           (h.biCompression == BI_BITFIELDS && (bits == 16 || bits == 24 || bits == 32)));
    if (!described) return DrawDibToFullColorImage(BitmapInfo, Bits, width, height, Image) == 0 ? 1 : -1;

    memset(Image, 0, sizeof(*Image));
    if (h.biCompression == BI_BITFIELDS) {
        const DWORD *masks = (const DWORD *)BitmapInfo->bmiColors;
        SetColorData(&Image->ColorData, bits, masks[0], masks[1], masks[2], 0, 0, 0, 0);
    } else if (bits == 16) {
        SetColorData(&Image->ColorData, 16, 0x7C00, 0x3E0, 0x1F, 0, 0, 0, 0);
    } else {
        CreateFullColorData(&Image->ColorData);
    }
    SetColorDataNoneMask(&Image->ColorData);
    Image->Width = width;
    Image->Height = height;
    Image->Pitch = RowPitch(width, bits / 8);
    if (CopyFlag != 1) {
        Image->Pixels = (void *)Bits;
        return CopyFlag;
    }
    size_t bytes = (size_t)Image->Pitch * height;
    Image->Pixels = DXALLOC(bytes);
    if (Image->Pixels == nullptr)
        return AddLogStringWide(L"２４ビットカラー化したグラフィックを格納するメモリ領域の確保に失敗しました\n");
    memcpy(Image->Pixels, Bits, bytes);
    return 1;
}

int ConvertBaseImageToBitmap(const BASEIMAGE *Image, BITMAPINFO *BitmapInfo, void **Bits, int CopyFlag, int Force24Bit)
{
    if (Image == nullptr || BitmapInfo == nullptr || Bits == nullptr || Image->Pixels == nullptr ||
        Image->ColorData.Format != COLORDATA_FORMAT_PLAIN || Image->Width <= 0 || Image->Height <= 0)
        return -1;
    const COLORDATA &cd = Image->ColorData;
    const bool palette = cd.PixelBytes == 1 && cd.ChannelCount == 0 && !Force24Bit;
    const int bytes = palette ? 1 : 3;
    const int pitch = RowPitch(Image->Width, bytes);

    BITMAPINFOHEADER &h = BitmapInfo->bmiHeader;
    memset(&h, 0, sizeof(h));
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = Image->Width;
    h.biHeight = -Image->Height;
    h.biPlanes = 1;
    h.biBitCount = (WORD)(bytes * 8);
    h.biCompression = BI_RGB;
    if (palette) memcpy(BitmapInfo->bmiColors, cd.Palette, 256 * sizeof(RGBQUAD));

    const bool plain24 = cd.PixelBytes == 3 && cd.ChannelCount == 0 && cd.RedMask == 0xFF0000 &&
                         cd.GreenMask == 0xFF00 && cd.BlueMask == 0xFF;
    if ((palette || plain24) && CopyFlag != 1 && Image->Pitch == pitch) {
        *Bits = Image->Pixels;
        return CopyFlag;
    }
    uint8_t *out = (uint8_t *)DXCALLOC((size_t)pitch * Image->Height);
    if (out == nullptr) return -1;
    if (palette || plain24) {
        for (int y = 0; y < Image->Height; ++y)
            memcpy(out + (size_t)y * pitch, (const uint8_t *)Image->Pixels + (size_t)y * Image->Pitch,
                   (size_t)Image->Width * bytes);
    } else {
        COLORDATA full;
        CreateFullColorData(&full);
        ImageRect rect = {0, 0, Image->Width, Image->Height};
        if (ConvertColorDataBlt(out, pitch, &full, Image->Pixels, Image->Pitch, &cd, nullptr, 0, nullptr, 0, 0, &rect,
                                0, 0, 0, COLOR_DITHER_NONE, 0, 0, 0, 0) < 0) {
            DXFREE(out);
            return -1;
        }
    }
    *Bits = out;
    return 1;
}

HBITMAP CreateDIBGraph(const BITMAPINFO *BitmapInfo, const void *Bits, int MirrorFlag, const BASEIMAGE *Format)
{
    if (BitmapInfo == nullptr || Bits == nullptr) return nullptr;
    const BITMAPINFOHEADER &src = BitmapInfo->bmiHeader;
    const int width = src.biWidth, height = abs(src.biHeight), srcBits = src.biBitCount;
    if (width <= 0 || height <= 0) return nullptr;
    COLORDATA format = {};
    if (Format != nullptr) {
        format = Format->ColorData;
        if (format.BitDepth == 32 && srcBits == 24) CreateFullColorData(&format);
    }
    const bool masks = Format != nullptr && (format.BitDepth == 16 || (format.BitDepth > 24 && srcBits != 24));
    const int paletteEntries = srcBits <= 8 ? 1 << srcBits : 0;
    BITMAPINFO *info = (BITMAPINFO *)DXCALLOC(sizeof(BITMAPINFOHEADER) + (masks ? 12 : 0) + paletteEntries * 4);
    if (info == nullptr) {
        AddLogStringWide(L"メモリの確保に失敗しました in CreateDIBGraph \n");
        return nullptr;
    }
    BITMAPINFOHEADER &h = info->bmiHeader;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = width;
    h.biHeight = -height;
    h.biPlanes = 1;
    if (masks) {
        h.biCompression = BI_BITFIELDS;
        h.biBitCount = format.BitDepth;
        DWORD *m = (DWORD *)info->bmiColors;
        m[0] = format.RedMask;
        m[1] = format.GreenMask;
        m[2] = format.BlueMask;
    } else if (Format != nullptr) {
        h.biCompression = BI_RGB;
        h.biBitCount = format.BitDepth;
    } else if (srcBits == 8) {
        h.biBitCount = 8;
        h.biCompression = src.biCompression;
        memcpy(info->bmiColors, BitmapInfo->bmiColors, 256 * sizeof(RGBQUAD));
    } else {
        h.biBitCount = 24;
        h.biCompression = BI_RGB;
    }

    void *sectionBits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &sectionBits, nullptr, 0);
    DXFREE(info);
    if (bitmap == nullptr) {
        const DWORD error = GetLastError();
        AddLogStringWide(L"ＤＩＢの作成に失敗しました3\n");
        LogPlatformFailure(L"CreateDIBSection", error);
        return nullptr;
    }
    if (sectionBits == nullptr) {
        DeleteObject(bitmap);
        AddLogStringWide(L"ＤＩＢの作成に失敗しました2\n");
        return nullptr;
    }
    {
        SectionDc dc;
        if (dc.Select(bitmap)) {
            if (MirrorFlag)
                StretchDIBits(dc.Dc, 0, 0, width, height, width - 1, 0, -width, height, Bits, BitmapInfo,
                              DIB_RGB_COLORS, SRCCOPY);
            else
                SetDIBitsToDevice(dc.Dc, 0, 0, width, height, 0, 0, 0, height, Bits, BitmapInfo, DIB_RGB_COLORS);
        }
        GdiFlush();
    }
    return bitmap;
}

HBITMAP CreateDIBGraphFromFileOrMemory(const wchar_t *FileName, const void *Memory, int MemorySize, int FromMemory,
                                       int MirrorFlag, const BASEIMAGE *Format)
{
    ImageLoadParam param;
    InitImageLoadParams(&param, 0);
    BITMAPINFO *info = nullptr;
    void *bits = nullptr;
    if (LoadBaseImageFromFile(&param, FileName, Memory, MemorySize, FromMemory, 1, 0, nullptr, &info, &bits) < 0)
        return nullptr;
    HBITMAP bitmap = CreateDIBGraph(info, bits, MirrorFlag, Format);
    DXFREE(bits);
    DXFREE(info);
    return bitmap;
}

HBITMAP CreateDIBGraphFromFile(const wchar_t *FileName, int MirrorFlag, const BASEIMAGE *Format)
{
    return CreateDIBGraphFromFileOrMemory(FileName, nullptr, 0, 0, MirrorFlag, Format);
}
