// PNG files through libpng, read from the loader's stream: palette images keep their palette
// (with tRNS alpha), grey images become grey-palette images, everything with alpha or a
// transparent colour becomes 32-bit ARGB, colour without it 24-bit colour. 16-bit samples keep
// their high byte.
#include <setjmp.h>
#include <string.h>

#include <png.h>

#include "zovuz/graphics/image/image_load_internal.h"

namespace {

// The largest ancillary chunk libpng may allocate for (text, profiles).
constexpr png_alloc_size_t kPngChunkMax = 8 * 1024 * 1024;

// Reads through the loader's bounded reader: a read past the end of the stream is an error.
void PngReadDataProc(png_structp Png, png_bytep Data, size_t Length)
{
    ImageReader *r = (ImageReader *)png_get_io_ptr(Png);
    if (r->Remaining() < (int64_t)Length || !r->Read(Data, Length)) png_error(Png, "Read Error");
}

// Errors return to the loader; warnings are not shown (a loader writes no log lines).
void PngErrorProc(png_structp Png, png_const_charp) { png_longjmp(Png, 1); }
void PngWarningProc(png_structp, png_const_charp) {}

void SetPaletteFormat(png_structp Png, png_infop Info, COLORDATA *Cd)
{
    CreatePalette8ColorData(Cd);
    png_colorp palette = nullptr;
    int entries = 0;
    if (png_get_PLTE(Png, Info, &palette, &entries) == 0) entries = 0;
    if (entries > 256) entries = 256;
    for (int i = 0; i < entries; ++i) {
        Cd->Palette[i].Blue = palette[i].blue;
        Cd->Palette[i].Green = palette[i].green;
        Cd->Palette[i].Red = palette[i].red;
        Cd->Palette[i].Alpha = 0;
    }
    png_bytep alpha = nullptr;
    int alphaCount = 0;
    if (png_get_valid(Png, Info, PNG_INFO_tRNS) && png_get_tRNS(Png, Info, &alpha, &alphaCount, nullptr) &&
        alpha != nullptr) {
        for (int i = 0; i < entries; ++i) Cd->Palette[i].Alpha = i < alphaCount ? alpha[i] : 255;
        Cd->AlphaLoc = 24;
        Cd->AlphaWidth = 8;
        Cd->AlphaMask = 0xFF000000u;
    }
}

}  // namespace

int LoadPngImage(ImageStreamPair *Stream, BASEIMAGE *Image, int HeaderOnly)
{
    png_byte signature[8];
    if (Stream->Table.Read(signature, 1, 8, Stream->Stream) != 8 ||
        Stream->Table.Seek(Stream->Stream, 0, FILE_SEEK_SET) != 0 || png_sig_cmp(signature, 0, 8) != 0)
        return -1;

    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngErrorProc, PngWarningProc);
    if (png == nullptr) return -1;
    png_infop info = png_create_info_struct(png);
    uint8_t *volatile pixels = nullptr;
    png_bytep *volatile rows = nullptr;
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr);
        if (pixels != nullptr) DXFREE(pixels);
        if (rows != nullptr) DXFREE(rows);
        return -1;
    }
    png_set_user_limits(png, kImageMaxSide, kImageMaxSide);
    png_set_chunk_malloc_max(png, kPngChunkMax);
    ImageReader reader(Stream);
    png_set_read_fn(png, &reader, PngReadDataProc);
    png_set_sig_bytes(png, 0);
    png_read_info(png, info);

    png_uint_32 width, height;
    int depth, colorType, interlace;
    png_get_IHDR(png, info, &width, &height, &depth, &colorType, &interlace, nullptr, nullptr);
    const bool transparentColor = colorType != PNG_COLOR_TYPE_PALETTE && png_get_valid(png, info, PNG_INFO_tRNS);
    png_set_strip_16(png);
    png_set_packing(png);
    png_set_packswap(png);
    if (colorType == PNG_COLOR_TYPE_GRAY && depth <= 8) png_set_expand(png);
    // A transparent colour becomes an alpha channel, compared at the file's own depth.
    if (transparentColor) png_set_tRNS_to_alpha(png);
    if (colorType == PNG_COLOR_TYPE_GRAY_ALPHA || (colorType == PNG_COLOR_TYPE_GRAY && transparentColor))
        png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    const size_t rowBytes = png_get_rowbytes(png, info);
    const int channels = png_get_channels(png, info);
    size_t total;
    if (!ImageByteCount((int64_t)rowBytes, height, 1, &total) || rowBytes > 0x7FFFFFFF) png_error(png, "size");
    BASEIMAGE image = {};
    image.Width = (int)width;
    image.Height = (int)height;
    image.Pitch = (int)rowBytes;
    if (colorType == PNG_COLOR_TYPE_PALETTE)
        SetPaletteFormat(png, info, &image.ColorData);
    else if (channels == 1)
        CreateGrayPaletteColorData(&image.ColorData);
    else if (channels == 3)
        CreateFullColorData(&image.ColorData);
    else if (channels == 4)
        CreateARGB8ColorData(&image.ColorData);
    else
        png_error(png, "format");
    if ((size_t)image.ColorData.PixelBytes * width != rowBytes) png_error(png, "row bytes");

    if (!HeaderOnly) {
        pixels = (uint8_t *)DXALLOC(total);
        rows = (png_bytep *)DXALLOC(sizeof(png_bytep) * height);
        if (pixels == nullptr || rows == nullptr) png_error(png, "memory");
        for (png_uint_32 y = 0; y < height; ++y) rows[y] = pixels + (size_t)y * rowBytes;
        png_read_image(png, rows);
        // The image is complete: damage after it (a cut or bad end chunk) does not undo it.
        if (setjmp(png_jmpbuf(png)) == 0) png_read_end(png, nullptr);
        DXFREE(rows);
        image.Pixels = pixels;
    }
    png_destroy_read_struct(&png, &info, nullptr);
    *Image = image;
    return 0;
}
