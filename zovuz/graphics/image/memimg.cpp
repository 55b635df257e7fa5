// MEMIMG images: creation, views, release, the format descriptors, copies and fills.
#include <limits.h>
#include <string.h>

#include "zovuz/graphics/image/base_image_internal.h"
#include "zovuz/graphics/image/memimg_internal.h"

namespace {

// The ten descriptors of GetMemImgColorData, made once: [format][alpha][palette] for the
// 5-6-5 and 8-8-8 families, then the two single-value formats.
struct MemImgFormats
{
    COLORDATA Family[2][2][2];
    COLORDATA Value8, Value16;
};

// A single-value format: every channel reads the whole pixel.
void SetValueColorData(COLORDATA *c, int Bits)
{
    memset(c, 0, sizeof(*c));
    uint32_t mask = Bits == 8 ? 0xFFu : 0xFFFFu;
    c->BitDepth = (uint8_t)Bits;
    c->PixelBytes = (uint8_t)(Bits / 8);
    c->RedWidth = c->GreenWidth = c->BlueWidth = c->AlphaWidth = (uint8_t)Bits;
    c->RedMask = c->GreenMask = c->BlueMask = c->AlphaMask = mask;
}

const MemImgFormats &Formats()
{
    static const MemImgFormats formats = [] {
        MemImgFormats f;
        for (int alpha = 0; alpha < 2; ++alpha) {
            for (int palette = 0; palette < 2; ++palette) {
                int depth = palette ? 8 : alpha ? 32 : 16;
                SetColorData(&f.Family[0][alpha][palette], depth, 0xF800, 0x07E0, 0x001F, alpha ? 0xFF0000u : 0, 0, 0,
                             0);
                SetColorData(&f.Family[1][alpha][palette], palette ? 8 : 32, 0xFF0000, 0xFF00, 0xFF,
                             alpha ? 0xFF000000u : 0, 0, 0, 0);
            }
        }
        SetValueColorData(&f.Value8, 8);
        SetValueColorData(&f.Value16, 16);
        return f;
    }();
    return formats;
}

// Frees every buffer of an image that it owns, then the record.
void FreeMemImgImage(MemImgImage *image)
{
    if (!image->UserImageFlag) DXFREE(image->Image);
    image->Image = nullptr;
    DXFREE(image->PremultipliedImage);
    image->PremultipliedImage = nullptr;
    DXFREE(image->RunTable);
    image->RunTable = nullptr;
    DXFREE(image->Palette);
    image->Palette = image->WorkPalette = nullptr;
    DXFREE(image);
}

// Bytes per pixel of an image of these settings: palette indices and 8-bit values take one,
// 5-6-5 with alpha and 8-8-8 four, the other formats two.
int PixelBytesOf(int ColorType, int UsePalette, int UseAlpha)
{
    if (UsePalette) return 1;
    switch (ColorType) {
        case MEMIMG_COLORTYPE_565:
            return UseAlpha ? 4 : 2;
        case MEMIMG_COLORTYPE_XRGB8:
            return 4;
        case MEMIMG_COLORTYPE_VALUE8:
            return 1;
        default:
            return 2;
    }
}

}  // namespace

MemImgManageData MemImgManage = {0, {0, 0, 0, 0}, 0, 0, 0xFFFFFF, {}, {}, {}, {}, 0};

const COLORDATA *GetMemImgColorData(int ColorType, int UseAlpha, int UsePalette)
{
    const MemImgFormats &f = Formats();
    switch (ColorType) {
        case MEMIMG_COLORTYPE_565:
        case MEMIMG_COLORTYPE_XRGB8:
            return &f.Family[ColorType][UseAlpha ? 1 : 0][UsePalette ? 1 : 0];
        case MEMIMG_COLORTYPE_VALUE8:
            return &f.Value8;
        case MEMIMG_COLORTYPE_VALUE16:
            return &f.Value16;
        default:
            return nullptr;
    }
}

int GetMemImgPixelBytes(const MemImgImage *Image)
{
    return PixelBytesOf(Image->ColorType, Image->UsePalette, Image->UseAlpha);
}

int CreateMemImg(MEMIMG *View, int Width, int Height, int Pitch, uint32_t ColorKey, int ColorType, int UsePalette,
                 int UseAlpha, int HelpersFlag, void *UserImage)
{
    if (View->ValidFlag == MEMIMG_VALID_ID) return -1;
    if (ColorType < 0 || ColorType >= MEMIMG_COLORTYPE_NUM || Width < 1 || Height < 1) return -1;

    UsePalette = UsePalette ? 1 : 0;
    UseAlpha = UseAlpha && !UsePalette ? 1 : 0;
    if (ColorType == MEMIMG_COLORTYPE_VALUE8 || ColorType == MEMIMG_COLORTYPE_VALUE16) UsePalette = UseAlpha = 0;

    int bytes = PixelBytesOf(ColorType, UsePalette, UseAlpha);
    if (Width > (INT_MAX - 15) / bytes) return -1;
    int request = Pitch >= 0 ? Pitch : Width * bytes;
    int pitch = Pitch >= 0 ? Pitch : (Width * bytes + 15) / 16 * 16;
    if (pitch < 1 || Height > INT_MAX / pitch || Height > INT_MAX / (Width + 5)) return -1;

    // An image record left in an empty view is taken over; a failure below frees it with
    // whatever this call made, so nothing stays attached without the validity word.
    MemImgImage *image = View->Base;
    if (image == nullptr) {
        image = (MemImgImage *)DXCALLOC(sizeof(MemImgImage));
        if (image == nullptr) return -1;
        View->Base = image;
    }
    image->RefCount = 1;
    image->Width = Width;
    image->Height = Height;
    image->ColorKeyFlag = 1;
    image->ColorKey = ColorKey;
    image->ColorType = ColorType;
    image->UsePalette = UsePalette;
    image->UseAlpha = UseAlpha;
    image->PremultipliedValid = 0;
    image->RunTableValid = 0;
    image->UserImageFlag = 0;

    bool failed = false;
    if (UsePalette) {
        if (image->Palette == nullptr) image->Palette = DXCALLOC(2048);
        failed = image->Palette == nullptr;
        image->WorkPalette = failed ? nullptr : (uint8_t *)image->Palette + 1024;
    } else {
        DXFREE(image->Palette);
        image->Palette = image->WorkPalette = nullptr;
    }

    int shift = 0;
    while (shift < 31 && (1 << shift) < request) ++shift;
    image->Pitch = pitch;
    image->PitchShift = pitch == (1 << shift) ? shift : -1;
    image->ColorData = GetMemImgColorData(ColorType, UseAlpha, UsePalette);

    size_t size = (size_t)Height * (size_t)pitch;
    if (!failed) {
        if (UserImage != nullptr) {
            image->Image = (uint8_t *)UserImage;
            image->UserImageFlag = 1;
        } else {
            image->Image = (uint8_t *)DXALLOC(size);
            failed = image->Image == nullptr;
        }
    }
    if (!failed && UseAlpha && image->PremultipliedImage == nullptr && HelpersFlag) {
        image->PremultipliedImage = (uint8_t *)DXALLOC(size);
        failed = image->PremultipliedImage == nullptr;
    }
    if (!failed && ColorType != MEMIMG_COLORTYPE_VALUE8 && image->RunTable == nullptr && HelpersFlag) {
        image->RunTable = (uint8_t *)DXALLOC((size_t)(Width + 5) * (size_t)Height);
        failed = image->RunTable == nullptr;
    }
    if (failed) {
        FreeMemImgImage(image);
        View->Base = nullptr;
        return -1;
    }

    View->Width = Width;
    View->Height = Height;
    View->ValidFlag = MEMIMG_VALID_ID;
    View->UseImage = image->Image;
    View->UsePremultipliedImage = image->PremultipliedImage;
    return 0;
}

int InitializeMemImg(MEMIMG *View, int Width, int Height, int ColorType)
{
    memset(View, 0, sizeof(*View));
    if (ColorType == -1) ColorType = MemImgManage.DefaultColorType;
    return CreateMemImg(View, Width, Height, -1, 0, ColorType, 0, 0, 0, nullptr);
}

void CreateMemImgView(MEMIMG *View, const MEMIMG *Source, int X, int Y, int Width, int Height)
{
    MemImgImage *image = Source->Base;
    if (image == nullptr || X < 0 || Y < 0 || Width < 0 || Height < 0 || Width > Source->Width - X ||
        Height > Source->Height - Y)
        return;
    size_t offset = (size_t)X * GetMemImgPixelBytes(image) + (size_t)Y * image->Pitch;
    View->ValidFlag = MEMIMG_VALID_ID;
    View->Width = Width;
    View->Height = Height;
    View->UseImage = Source->UseImage + offset;
    View->UsePremultipliedImage =
        image->PremultipliedImage != nullptr ? Source->UsePremultipliedImage + offset : nullptr;
    View->Base = image;
    image->RefCount++;
}

void TerminateMemImg(MEMIMG *View)
{
    if (View->ValidFlag != MEMIMG_VALID_ID) return;
    MemImgImage *image = View->Base;
    if (image != nullptr && --image->RefCount <= 0) FreeMemImgImage(image);
    View->Base = nullptr;
    View->ValidFlag = 0;
}

int CheckValidMemImg(const MEMIMG *View) { return View->ValidFlag == MEMIMG_VALID_ID && View->Base != nullptr ? 1 : 0; }

int ClipRect(ImageRect *Rect, const ImageRect *Clip)
{
    auto order = [](int32_t &a, int32_t &b) {
        if (a > b) {
            int32_t t = a;
            a = b;
            b = t;
        }
    };
    ImageRect clip = *Clip;
    order(Rect->left, Rect->right);
    order(Rect->top, Rect->bottom);
    order(clip.left, clip.right);
    order(clip.top, clip.bottom);
    auto clamp = [](int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : v > hi ? hi : v; };
    Rect->left = clamp(Rect->left, clip.left, clip.right);
    Rect->right = clamp(Rect->right, clip.left, clip.right);
    Rect->top = clamp(Rect->top, clip.top, clip.bottom);
    Rect->bottom = clamp(Rect->bottom, clip.top, clip.bottom);
    return 0;
}

void BltMemImg(MEMIMG *Dest, const MEMIMG *Source, const ImageRect *SrcRect, int DestX, int DestY)
{
    if (Dest->Base == nullptr || Source->Base == nullptr) return;
    ImageRect rect = SrcRect != nullptr ? *SrcRect : ImageRect{0, 0, Source->Width, Source->Height};
    // The callers size the rectangle; one that leaves either image would write past its rows.
    if (rect.left < 0 || rect.top < 0 || rect.right > Source->Width || rect.bottom > Source->Height || DestX < 0 ||
        DestY < 0 || rect.right - rect.left > Dest->Width - DestX || rect.bottom - rect.top > Dest->Height - DestY)
        return;
    ConvertColorDataBlt(Dest->UseImage, Dest->Base->Pitch, Dest->Base->ColorData, Source->UseImage, Source->Base->Pitch,
                        Source->Base->ColorData, nullptr, 0, nullptr, DestX, DestY, &rect, 0, 0, 0, COLOR_DITHER_NONE,
                        0, 0, 0, 0);
}

void FillMemImg(MEMIMG *View, const ImageRect *Rect, uint32_t Value)
{
    if (View->Base == nullptr) return;
    ImageRect rect = {0, 0, View->Width, View->Height};
    if (Rect != nullptr) {
        ImageRect whole = rect;
        rect = *Rect;
        ClipRect(&rect, &whole);
    }
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return;
    int bytes = GetMemImgPixelBytes(View->Base);
    int pitch = View->Base->Pitch;
    FillPixelRows(View->UseImage + (size_t)rect.top * pitch + (size_t)rect.left * bytes, pitch, height, width, bytes,
                  Value);
}
