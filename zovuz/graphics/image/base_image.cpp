// BASEIMAGE: creation, views, copies, clearing and filling, pixel reading and writing,
// mirroring, premultiplication and release.
#include <string.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "zovuz/core/zovuz_core.h"
#include "zovuz/graphics/image/base_image_internal.h"

namespace {

// A plain image whose pixels can be addressed row by row.
bool IsAddressable(const BASEIMAGE *Image)
{
    return Image != nullptr && Image->Pixels != nullptr && Image->ColorData.Format == 0 && Image->Width > 0 &&
           Image->Height > 0;
}

int CreateStandardBaseImage(int Width, int Height, BASEIMAGE *Image, int (*Format)(COLORDATA *))
{
    if (Image == nullptr) return -1;
    Format(&Image->ColorData);
    Image->Width = Width;
    Image->Height = Height;
    Image->Pitch = Width * 4;
    Image->Pixels = nullptr;
    Image->MipCount = 0;
    Image->CubeFlag = 0;
    if (Width < 1 || Height < 1 || Width > 0x7FFFFFFF / 4 / Height) return -1;
    Image->Pixels = DXALLOC((size_t)Width * 4 * (size_t)Height);
    return Image->Pixels != nullptr ? 0 : -1;
}

// Clips (X, Y, Width, Height) to the image: false when refused or nothing is left.
bool ClipRect(const BASEIMAGE *Image, int &X, int &Y, int &Width, int &Height, int &Result)
{
    Result = -1;
    if (!IsAddressable(Image) || X >= Image->Width || Y >= Image->Height || Width < 1 || Height < 1) return false;
    Result = 0;
    if (X < 0) {
        Width += X;
        X = 0;
    }
    if (Y < 0) {
        Height += Y;
        Y = 0;
    }
    if (Width > Image->Width - X) Width = Image->Width - X;
    if (Height > Image->Height - Y) Height = Image->Height - Y;
    return Width > 0 && Height > 0;
}

// The row holding pixel (X, Y), a DXT image being decoded in place first; null when the image
// has no pixels, cannot be decoded, or the position lies outside (negative included).
uint8_t *DecodedPixelRow(BASEIMAGE *Image, int X, int Y)
{
    if (Image == nullptr || Image->Pixels == nullptr || DecompressDxtBaseImage(Image, 1) < 0) return nullptr;
    if ((unsigned)X >= (unsigned)Image->Width || (unsigned)Y >= (unsigned)Image->Height) return nullptr;
    return (uint8_t *)Image->Pixels + (ptrdiff_t)Y * Image->Pitch;
}

}  // namespace

// The fill value repeated over whole 32-bit words: four bytes, two 16-bit values, or one pixel.
void FillPixelRows(uint8_t *First, int Pitch, int Rows, int Pixels, int Bytes, uint32_t Value)
{
    uint32_t word = Value;
    if (Bytes == 1)
        word = (Value & 0xFF) * 0x01010101u;
    else if (Bytes == 2)
        word = (Value & 0xFFFF) * 0x00010001u;
    for (int y = 0; y < Rows; ++y) {
        uint8_t *p = First + (ptrdiff_t)y * Pitch;
        if (Bytes == 3) {
            for (int x = 0; x < Pixels; ++x, p += 3) WritePixelValue(p, 3, Value);
            continue;
        }
        FillPatternBytes(p, (size_t)Pixels * Bytes, word);
    }
}

void FillPatternBytes(uint8_t *P, size_t Count, uint32_t Word)
{
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i block = _mm_set1_epi32((int)Word);
    for (; i + 64 <= Count; i += 64) {
        _mm_storeu_si128((__m128i *)(P + i), block);
        _mm_storeu_si128((__m128i *)(P + i + 16), block);
        _mm_storeu_si128((__m128i *)(P + i + 32), block);
        _mm_storeu_si128((__m128i *)(P + i + 48), block);
    }
    for (; i + 16 <= Count; i += 16) _mm_storeu_si128((__m128i *)(P + i), block);
#endif
    for (; i + 4 <= Count; i += 4) memcpy(P + i, &Word, 4);
    for (int shift = 0; i < Count; ++i, shift += 8) P[i] = (uint8_t)(Word >> shift);
}

int CreateARGB8ColorBaseImage(int Width, int Height, BASEIMAGE *Image)
{
    return CreateStandardBaseImage(Width, Height, Image, CreateARGB8ColorData);
}

int CreateXRGB8ColorBaseImage(int Width, int Height, BASEIMAGE *Image)
{
    return CreateStandardBaseImage(Width, Height, Image, CreateXRGB8ColorData);
}

int ConvertBaseImageToArgb(BASEIMAGE *Image)
{
    BASEIMAGE converted = {};
    if (CreateARGB8ColorBaseImage(Image->Width, Image->Height, &converted) < 0) return -1;
    BltBaseImage(0, 0, Image->Width, Image->Height, 0, 0, Image, &converted);
    DXFREE(Image->Pixels);
    *Image = converted;
    return 0;
}

int ReleaseBaseImage(BASEIMAGE *Image)
{
    if (Image == nullptr) return -1;
    if (Image->Pixels != nullptr) DXFREE(Image->Pixels);
    memset(Image, 0, sizeof(*Image));
    return 0;
}

int CreateBaseImageView(const BASEIMAGE *Source, int X1, int Y1, int X2, int Y2, BASEIMAGE *View)
{
    // A single level is stored with a mip count of 0 or 1; both can be viewed.
    if (Source == nullptr || View == nullptr || Source->Pixels == nullptr) return -1;
    if (X1 < 0 || X1 >= X2 || X2 > Source->Width || Y1 < 0 || Y1 >= Y2 || Y2 > Source->Height) return -1;
    if (Source->ColorData.Format != 0 || Source->MipCount > 1) return -1;
    *View = *Source;
    View->Width = X2 - X1;
    View->Height = Y2 - Y1;
    View->DataSize = 0;
    View->Pixels =
        (uint8_t *)Source->Pixels + (ptrdiff_t)Y1 * Source->Pitch + (ptrdiff_t)X1 * Source->ColorData.PixelBytes;
    return 0;
}

int BltBaseImage(int SrcX, int SrcY, int Width, int Height, int DestX, int DestY, BASEIMAGE *Source, BASEIMAGE *Dest)
{
    if (Source == nullptr || Dest == nullptr || Source->Pixels == nullptr || Dest->Pixels == nullptr) return -1;
    if (DecompressDxtBaseImage(Source, 1) < 0 || DecompressDxtBaseImage(Dest, 1) < 0) return -1;
    if (SrcX < 0) {
        Width += SrcX;
        DestX -= SrcX;
        SrcX = 0;
    }
    if (SrcY < 0) {
        Height += SrcY;
        DestY -= SrcY;
        SrcY = 0;
    }
    if (DestX < 0) {
        SrcX -= DestX;
        Width += DestX;
        DestX = 0;
    }
    if (DestY < 0) {
        SrcY -= DestY;
        Height += DestY;
        DestY = 0;
    }
    if (Width > Dest->Width - DestX) Width = Dest->Width - DestX;
    if (Height > Dest->Height - DestY) Height = Dest->Height - DestY;
    if (Width > Source->Width - SrcX) Width = Source->Width - SrcX;
    if (Height > Source->Height - SrcY) Height = Source->Height - SrcY;
    if (Width < 1 || Height < 1) return 0;
    ImageRect rect = {SrcX, SrcY, SrcX + Width, SrcY + Height};
    ConvertColorDataBlt(Dest->Pixels, Dest->Pitch, &Dest->ColorData, Source->Pixels, Source->Pitch, &Source->ColorData,
                        nullptr, 0, nullptr, DestX, DestY, &rect, 0, 0, 0, 0, 0, 0, 0, 0);
    return 0;
}

int BltBaseImageWhole(int DestX, int DestY, BASEIMAGE *Source, BASEIMAGE *Dest)
{
    if (Source == nullptr) return -1;
    return BltBaseImage(0, 0, Source->Width, Source->Height, DestX, DestY, Source, Dest);
}

int ClearRectBaseImage(BASEIMAGE *Image, int X, int Y, int Width, int Height)
{
    int result;
    if (!ClipRect(Image, X, Y, Width, Height, result)) return result;
    int bytes = Image->ColorData.PixelBytes;
    for (int y = 0; y < Height; ++y)
        memset((uint8_t *)Image->Pixels + (ptrdiff_t)(Y + y) * Image->Pitch + (ptrdiff_t)X * bytes, 0,
               (size_t)Width * bytes);
    return 0;
}

int FillRectBaseImage(BASEIMAGE *Image, int X, int Y, int Width, int Height, int Red, int Green, int Blue, int Alpha)
{
    int result;
    if (!ClipRect(Image, X, Y, Width, Height, result)) return result;
    int bytes = Image->ColorData.PixelBytes;
    if (bytes < 1 || bytes > 4) return 0;
    // A palette image takes the red argument as the index itself.
    uint32_t value =
        bytes == 1 ? (uint32_t)(Red & 0xFF) : MakeColorDataValue(&Image->ColorData, Red, Green, Blue, Alpha);
    FillPixelRows((uint8_t *)Image->Pixels + (ptrdiff_t)Y * Image->Pitch + (ptrdiff_t)X * bytes, Image->Pitch, Height,
                  Width, bytes, value);
    return 0;
}

int FillBaseImage(BASEIMAGE *Image, int Red, int Green, int Blue, int Alpha)
{
    if (!IsAddressable(Image)) return -1;
    return FillRectBaseImage(Image, 0, 0, Image->Width, Image->Height, Red, Green, Blue, Alpha);
}

uint32_t GetBaseImagePixelARGB(const BASEIMAGE *Image, int X, int Y)
{
    if (!IsAddressable(Image) || (unsigned)X >= (unsigned)Image->Width || (unsigned)Y >= (unsigned)Image->Height)
        return 0;
    const COLORDATA &cd = Image->ColorData;
    if (cd.PixelBytes < 2 || cd.PixelBytes > 4) return 0;
    uint32_t v = ReadPixelValue(
        (const uint8_t *)Image->Pixels + (ptrdiff_t)Y * Image->Pitch + (ptrdiff_t)X * cd.PixelBytes, cd.PixelBytes);
    // Each channel goes unscaled to the top of its byte.
    auto place = [v](uint32_t Mask, int Loc, int Width, int Top) -> uint32_t {
        if (Width == 0) return 0;
        uint32_t c = (v & Mask) >> Loc;
        int shift = Top - Width;
        return shift >= 0 ? c << shift : c >> -shift;
    };
    uint32_t out = place(cd.BlueMask, cd.BlueLoc, cd.BlueWidth, 8) |
                   place(cd.GreenMask, cd.GreenLoc, cd.GreenWidth, 16) | place(cd.RedMask, cd.RedLoc, cd.RedWidth, 24);
    if (cd.AlphaWidth != 0) out |= place(cd.AlphaMask, cd.AlphaLoc, cd.AlphaWidth, 32);
    return out;
}

int GetPixelBaseImage(BASEIMAGE *Image, int X, int Y, int *Red, int *Green, int *Blue, int *Alpha)
{
    const uint8_t *row = DecodedPixelRow(Image, X, Y);
    if (row == nullptr) return -1;
    const COLORDATA &cd = Image->ColorData;
    if (!cd.FloatFlag) {
        if (cd.PixelBytes == 1) {
            const COLORPALETTE &e = cd.Palette[row[X]];
            if (Red) *Red = e.Red;
            if (Green) *Green = e.Green;
            if (Blue) *Blue = e.Blue;
            if (Alpha) *Alpha = e.Alpha;
            return 0;
        }
        if (cd.PixelBytes < 2 || cd.PixelBytes > 4 || cd.ChannelCount != 0) return -1;
        return GetColorDataRGBA(&cd, ReadPixelValue(row + (ptrdiff_t)X * cd.PixelBytes, cd.PixelBytes), Red, Green,
                                Blue, Alpha);
    }
    if (cd.ChannelBits != 16 && cd.ChannelBits != 32) return -1;
    const uint8_t *p = row + (ptrdiff_t)X * cd.PixelBytes;
    int *outs[4] = {Red, Green, Blue, Alpha};
    for (int c = 0; c < 4 && c < cd.ChannelCount; ++c) {
        if (outs[c] == nullptr) continue;
        float f;
        if (cd.ChannelBits == 16) {
            uint16_t h;
            memcpy(&h, p + c * 2, 2);
            f = Float16ToFloat32(h);
        } else {
            memcpy(&f, p + c * 4, 4);
        }
        *outs[c] = (int)(f * 255.0f);
    }
    return 0;
}

int SetPixelBaseImage(BASEIMAGE *Image, int X, int Y, int Red, int Green, int Blue, int Alpha)
{
    uint8_t *row = DecodedPixelRow(Image, X, Y);
    if (row == nullptr) return -1;
    const COLORDATA &cd = Image->ColorData;
    if (cd.FloatFlag) {
        if (cd.ChannelBits != 16 && cd.ChannelBits != 32) return -1;
        // Pixels are as wide as the image's own channels say, so images of fewer than four
        // channels are never written past their rows.
        uint8_t *p = row + (ptrdiff_t)X * cd.PixelBytes;
        const int values[4] = {Red, Green, Blue, Alpha};
        for (int c = 0; c < cd.ChannelCount && c < 4; ++c) {
            float f = (float)values[c] / 255.0f;
            if (cd.ChannelBits == 16) {
                uint16_t h = Float32ToFloat16(f);
                memcpy(p + c * 2, &h, 2);
            } else {
                memcpy(p + c * 4, &f, 4);
            }
        }
        return 0;
    }
    if (cd.PixelBytes < 1 || cd.PixelBytes > 4 || cd.ChannelCount != 0) return -1;
    WritePixelValue(row + (ptrdiff_t)X * cd.PixelBytes, cd.PixelBytes,
                    MakeColorDataValue(&cd, Red, Green, Blue, Alpha));
    return 0;
}

int ReverseBaseImageH(BASEIMAGE *Image)
{
    if (Image == nullptr || Image->Width <= 0 || Image->Height <= 0 || Image->Pixels == nullptr ||
        Image->ColorData.Format != 0)
        return -1;
    int bytes = Image->ColorData.PixelBytes;
    if (bytes == 0 || bytes > 4) return 0;
    for (int y = 0; y < Image->Height; ++y) {
        uint8_t *row = (uint8_t *)Image->Pixels + (ptrdiff_t)y * Image->Pitch;
        for (int j = 0; j < Image->Width / 2; ++j) {
            uint8_t *a = row + (ptrdiff_t)j * bytes;
            uint8_t *b = row + (ptrdiff_t)(Image->Width - 1 - j) * bytes;
            uint8_t t[4];
            memcpy(t, a, bytes);
            memcpy(a, b, bytes);
            memcpy(b, t, bytes);
        }
    }
    return 0;
}

int GetBaseImageDataSize(const BASEIMAGE *Image)
{
    if (Image == nullptr || Image->ColorData.Format > 5) return -1;
    if (Image->ColorData.Format != 0)
        return GetDxtImageDataSize(Image->ColorData.Format, Image->Width, Image->Height, Image->MipCount);
    int64_t level = (int64_t)Image->Pitch * Image->Height;
    int64_t total = level;
    for (int i = 1; i < Image->MipCount; ++i) {
        level /= 4;
        if (level < 8) level = 8;
        total += level;
    }
    return total > 0x7FFFFFFF ? -1 : (int)total;
}

int GetBaseImageMaxIndex(const BASEIMAGE *Image)
{
    if (Image == nullptr || Image->ColorData.Format != 0 || Image->ColorData.PixelBytes != 1) return -1;
    if (Image->Width <= 0 || Image->Height <= 0) return 0;
    if (Image->Pixels == nullptr) return -1;
    int top = 0;
    for (int y = 0; y < Image->Height; ++y) {
        const uint8_t *row = (const uint8_t *)Image->Pixels + (ptrdiff_t)y * Image->Pitch;
        for (int x = 0; x < Image->Width; ++x) {
            if (row[x] > top) {
                top = row[x];
                if (top == 255) return 255;
            }
        }
    }
    return top;
}

int MultiplyAlphaBaseImage(BASEIMAGE *Image)
{
    if (Image == nullptr) return -1;
    if (Image->ColorData.AlphaWidth == 0) return 0;
    if (DecompressDxtBaseImage(Image, 1) < 0) return -1;
    if (!IsAddressable(Image)) return -1;
    const COLORDATA &cd = Image->ColorData;
    bool argb = cd.BitDepth == 32 && cd.PixelBytes == 4 && !cd.FloatFlag && cd.NoneMask == 0 &&
                cd.RedMask == 0xFF0000 && cd.GreenMask == 0xFF00 && cd.BlueMask == 0xFF && cd.AlphaMask == 0xFF000000u;
    if (!argb && ConvertBaseImageToArgb(Image) < 0) return -1;
    BuildBaseImageTables();
    for (int y = 0; y < Image->Height; ++y) {
        uint8_t *p = (uint8_t *)Image->Pixels + (ptrdiff_t)y * Image->Pitch;
        for (int x = 0; x < Image->Width; ++x, p += 4) {
            const uint8_t *product = BaseImageTables.MulTable[p[3]];
            p[0] = product[p[0]];
            p[1] = product[p[1]];
            p[2] = product[p[2]];
        }
    }
    return 0;
}
