// Transfers from a BASEIMAGE into a MEMIMG, with the palette, the premultiplied copy and the
// run table that a whole-image transfer rebuilds.
#include <string.h>

#include "zovuz/graphics/image/base_image_internal.h"
#include "zovuz/graphics/image/memimg_internal.h"

namespace {

// The kind of one pixel for the run table.
inline uint8_t RunKind(const MemImgImage *image, uint32_t Pixel)
{
    if (image->UseAlpha) {
        uint32_t a = image->ColorType == MEMIMG_COLORTYPE_565 ? (Pixel >> 16) & 0xFF : Pixel >> 24;
        return a == 0 ? MEMIMG_RUN_TRANSPARENT : a == 255 ? MEMIMG_RUN_OPAQUE : MEMIMG_RUN_TRANSLUCENT;
    }
    return Pixel == image->ColorKey ? MEMIMG_RUN_TRANSPARENT : MEMIMG_RUN_OPAQUE;
}

void BuildRunTable(const MEMIMG *View)
{
    const MemImgImage *image = View->Base;
    int bytes = GetMemImgPixelBytes(image);
    uint8_t *out = image->RunTable;
    const uint8_t *row = View->UseImage;
    for (int y = 0; y < View->Height; ++y, row += image->Pitch) {
        int x = 0;
        while (x < View->Width) {
            uint8_t kind = RunKind(image, ReadPixelValue(row + x * bytes, bytes));
            int length = 1;
            while (length < MEMIMG_RUN_MAX && x + length < View->Width &&
                   RunKind(image, ReadPixelValue(row + (x + length) * bytes, bytes)) == kind)
                ++length;
            *out++ = (uint8_t)(kind | (length - 1));
            x += length;
        }
        *out++ = MEMIMG_RUN_ROW_END;
    }
}

void BuildPremultipliedCopy(const MEMIMG *View)
{
    const MemImgImage *image = View->Base;
    for (int y = 0; y < View->Height; ++y) {
        const uint8_t *src = View->UseImage + (size_t)y * image->Pitch;
        uint8_t *dest = View->UsePremultipliedImage + (size_t)y * image->Pitch;
        for (int x = 0; x < View->Width; ++x) {
            uint32_t p;
            memcpy(&p, src + x * 4, 4);
            uint32_t out;
            if (image->ColorType == MEMIMG_COLORTYPE_565) {
                uint32_t c = p & 0xFFFF, a = (p >> 16) & 0xFF;
                out = ((((c & 0x001F) * a) & 0x1F00) | (((c & 0xF800) * a) & 0xF80000) |
                       (((c & 0x07E0) * a) & 0x7E000)) >>
                      8;
                out |= a << 16;
            } else {
                uint32_t a = p >> 24;
                out = (((p & 0xFF) * a) >> 8) | ((((p >> 8) & 0xFF) * a) >> 8) << 8 |
                      ((((p >> 16) & 0xFF) * a) >> 8) << 16 | a << 24;
            }
            memcpy(dest + x * 4, &out, 4);
        }
    }
}

// The colour key as the conversion's 0x00RRGGBB. A 5-6-5 key is a pixel of the image's own
// format and is widened to bytes; handed over as it is, its bits would be read as other
// channels and the transparent colour would never match.
uint32_t ConversionColorKey(const MemImgImage *image)
{
    if (image->ColorType != MEMIMG_COLORTYPE_565 || image->UsePalette) return image->ColorKey;
    int r, g, b;
    GetColorDataRGBA(image->ColorData, image->ColorKey & 0xFFFF, &r, &g, &b, nullptr);
    return (uint32_t)r << 16 | (uint32_t)g << 8 | (uint32_t)b;
}

}  // namespace

void BltBaseImageToMemImg(const BASEIMAGE *Source, const BASEIMAGE *AlphaImage, MEMIMG *Dest, int SrcX, int SrcY,
                          int Width, int Height, int DestX, int DestY, int ColorKeyFlag)
{
    MemImgImage *image = Dest->Base;
    if (image == nullptr) return;
    ImageRect rect = {SrcX, SrcY, SrcX + Width, SrcY + Height};

    if (image->ColorType == MEMIMG_COLORTYPE_VALUE8 || image->ColorType == MEMIMG_COLORTYPE_VALUE16) {
        ConvertColorDataBlt(Dest->UseImage, image->Pitch, image->ColorData, Source->Pixels, Source->Pitch,
                            &Source->ColorData, nullptr, 0, nullptr, DestX, DestY, &rect, 0, 0, 0, COLOR_DITHER_NONE, 1,
                            1, 0, 0);
    } else {
        int result = ConvertColorDataBlt(Dest->UseImage, image->Pitch, image->ColorData, Source->Pixels, Source->Pitch,
                                         &Source->ColorData, AlphaImage != nullptr ? AlphaImage->Pixels : nullptr,
                                         AlphaImage != nullptr ? AlphaImage->Pitch : 0,
                                         AlphaImage != nullptr ? &AlphaImage->ColorData : nullptr, DestX, DestY, &rect,
                                         0, ColorKeyFlag, ConversionColorKey(image), COLOR_DITHER_NONE, 0, 0, 0, 0);
        if (result < 0) return;
        if (AlphaImage == nullptr && image->UsePalette) image->UsedPaletteNum = result + 1;
    }

    if (image->UsePalette) {
        const COLORPALETTE *pal = Source->ColorData.Palette;
        if (image->ColorType == MEMIMG_COLORTYPE_565) {
            uint16_t *entry = (uint16_t *)image->Palette;
            for (int i = 0; i < 256; ++i)
                entry[i] = (uint16_t)(((pal[i].Red & 0xF8) << 8) | ((pal[i].Green & 0xFC) << 3) | (pal[i].Blue >> 3));
            memcpy(image->WorkPalette, image->Palette, 512);
        } else {
            uint32_t *entry = (uint32_t *)image->Palette;
            for (int i = 0; i < 256; ++i)
                entry[i] = (uint32_t)pal[i].Red << 16 | (uint32_t)pal[i].Green << 8 | pal[i].Blue;
            memcpy(image->WorkPalette, image->Palette, 1024);
        }
    }

    bool family = image->ColorType == MEMIMG_COLORTYPE_565 || image->ColorType == MEMIMG_COLORTYPE_XRGB8;
    if (family && !image->UseAlpha) image->ColorKeyFlag = ColorKeyFlag != 0 ? 1 : 0;
    image->PremultipliedValid = 0;
    image->RunTableValid = 0;

    if (Width != Dest->Width || Height != Dest->Height || !family || image->RunTable == nullptr) return;
    image->RunTableValid = 1;
    if (image->UseAlpha && image->PremultipliedImage != nullptr) {
        image->PremultipliedValid = 1;
        BuildPremultipliedCopy(Dest);
    }
    BuildRunTable(Dest);
}
