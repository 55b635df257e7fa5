// Loading an image file or memory image: opening the source, the loaders, the mirror and
// premultiplied-alpha settings, the hand-over as a Windows bitmap, and the alpha image.
#include <string.h>

#include "zovuz/graphics/image/windows/dib_bridge_win.h"

namespace {

// An opened source: a file of the block's file operations or a memory stream.
struct ImageSource
{
    ImageLoadParam *Param;
    ImageStreamPair Pair;
    FileStreamId File;

    bool Open(ImageLoadParam *P, const wchar_t *FileName, const void *Memory, int MemorySize, int FromMemory)
    {
        Param = P;
        File = 0;
        Pair.Stream = nullptr;
        if (FromMemory) {
            if (Memory == nullptr || MemorySize < 0) return false;
            Pair.Table = P->MemStreamTable;
            Pair.Stream = CreateMemStream(Memory, (uint32_t)MemorySize);
            return Pair.Stream != nullptr;
        }
        if (FileName == nullptr || P->FileOperations.Open == nullptr) return false;
        File = P->FileOperations.Open(FileName, 0, 1, 0);
        if (File == 0) return false;
        Pair.Table = P->FileStreamTable;
        Pair.Stream = (void *)File;
        return true;
    }

    void Close()
    {
        if (File != 0)
            Param->FileOperations.Close(File);
        else if (Pair.Stream != nullptr)
            Pair.Table.Close(Pair.Stream);
        File = 0;
        Pair.Stream = nullptr;
    }
};

// Colour premultiplied by alpha; an image without alpha gets alpha from the transparent colour.
int ApplyPremultipliedAlpha(ImageLoadParam *Param, BASEIMAGE *Image)
{
    if (Image->ColorData.AlphaWidth != 0 || Param->TransparentColorFlag != 1) return MultiplyAlphaBaseImage(Image);
    if (Image->ColorData.Format != COLORDATA_FORMAT_PLAIN) {
        if (DecompressDxtBaseImage(Image, 1) < 0) return -1;
    } else if (ConvertBaseImageToArgb(Image) < 0) {
        return -1;
    }
    const uint32_t key = 0xFF000000u | (Param->TransparentColor & 0xFFFFFF);
    for (int y = 0; y < Image->Height; ++y) {
        uint32_t *p = (uint32_t *)((uint8_t *)Image->Pixels + (size_t)y * Image->Pitch);
        for (int x = 0; x < Image->Width; ++x) {
            if (p[x] == key) p[x] = 0;
        }
    }
    return 0;
}

// The image as a Windows bitmap: its pixels pass to the bitmap or are freed after the copy.
int HandOverAsBitmap(BASEIMAGE *Image, tagBITMAPINFO **BitmapInfo, void **BitmapBits)
{
    if (BitmapInfo == nullptr || BitmapBits == nullptr || DecompressDxtBaseImage(Image, 1) < 0) return -1;
    BITMAPINFO *info = (BITMAPINFO *)DXCALLOC(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    if (info == nullptr) return -1;
    void *bits = nullptr;
    int result = ConvertBaseImageToBitmap(Image, info, &bits, 0, 0);
    if (result < 0) {
        DXFREE(info);
        return -1;
    }
    if (result == 1) DXFREE(Image->Pixels);
    Image->Pixels = nullptr;
    *BitmapInfo = info;
    *BitmapBits = bits;
    return 0;
}

}  // namespace

int LoadBaseImageFromFile(ImageLoadParam *Param, const wchar_t *FileName, const void *Memory, int MemorySize,
                          int FromMemory, int ToBitmap, int Mirror, BASEIMAGE *Image, tagBITMAPINFO **BitmapInfo,
                          void **BitmapBits)
{
    if (Param == nullptr) return -1;
    ImageSource source;
    if (!source.Open(Param, FileName, Memory, MemorySize, FromMemory)) return -1;
    BASEIMAGE image;
    int loaded = LoadBaseImageFromStream(Param, &source.Pair, &image);
    source.Close();
    if (loaded < 0) return -1;

    bool ok = true;
    if (image.Pixels != nullptr) {
        if (Mirror) ok = DecompressDxtBaseImage(&image, 1) == 0 && ReverseBaseImageH(&image) == 0;
        if (ok && Param->PremultipliedAlphaFlag) ok = ApplyPremultipliedAlpha(Param, &image) == 0;
        if (ok && ToBitmap) ok = HandOverAsBitmap(&image, BitmapInfo, BitmapBits) == 0;
    } else if (ToBitmap) {
        ok = false;  // a header-only load has no bits to hand over
    }
    if (!ok) {
        ReleaseBaseImage(&image);
        return -1;
    }
    if (!ToBitmap) {
        if (Image == nullptr) {
            ReleaseBaseImage(&image);
            return -1;
        }
        *Image = image;
    }
    return 0;
}

int LoadBaseImageWithAlphaFile(ImageLoadParam *Param, const wchar_t *FileName, const void *Memory, int MemorySize,
                               int FromMemory, const void *AlphaMemory, int AlphaMemorySize, int AlphaSource,
                               BASEIMAGE *Image, BASEIMAGE *AlphaImage, int Mirror)
{
    if (LoadBaseImageFromFile(Param, FileName, Memory, MemorySize, FromMemory, 0, Mirror, Image, nullptr, nullptr) < 0)
        return -1;
    if (AlphaImage == nullptr) return 1;
    int loaded = -1;
    if (AlphaSource == 0 && FileName != nullptr) {
        wchar_t alphaName[FILE_PATH_MAX_CHARS];
        if (MakeAlphaImageFileName(FileName, alphaName, sizeof(alphaName)) == 0)
            loaded = LoadBaseImageFromFile(Param, alphaName, nullptr, 0, 0, 0, Mirror, AlphaImage, nullptr, nullptr);
    } else if (AlphaSource == 1 && AlphaMemory != nullptr) {
        loaded = LoadBaseImageFromFile(Param, nullptr, AlphaMemory, AlphaMemorySize, 1, 0, Mirror, AlphaImage, nullptr,
                                       nullptr);
    }
    return loaded == 0 ? 0 : 1;
}
