// Image load speed: PNG and JPEG files of 1920 x 1080 loaded from memory through the library's
// loaders (the whole loader table, as LoadGraph does), beside libpng and libjpeg called
// directly on the same files in the same run. The ratio is the direct call's time over ours
// (1.0 = as fast; the target is 0.95 or more). The files are made by the tests' encoders.
#include "bench/support/bench_clock.h"

#include <setjmp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include <jpeglib.h>
#include <png.h>

#include "tests/zovuz/graphics/image_fixture.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// A picture-like test image: smooth gradients with some noise.
Bytes TestPixels(int Channels)
{
    Bytes p((size_t)kWidth * kHeight * Channels);
    uint32_t seed = 12345;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            for (int c = 0; c < Channels; ++c) {
                seed = seed * 1103515245u + 12345u;
                int v = (x * (c + 1) / 8 + y * (3 - c) / 6 + (int)((seed >> 16) & 7)) & 0xFF;
                p[((size_t)y * kWidth + x) * Channels + c] = (unsigned char)(c == 3 ? 255 - (y & 0x3F) : v);
            }
    return p;
}

Bytes EncodeTestPng(int Channels)
{
    PngSpec s;
    s.Width = kWidth;
    s.Height = kHeight;
    s.ColorType = Channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB;
    s.Rows = TestPixels(Channels);
    return EncodePng(s);
}

Bytes EncodeTestJpeg()
{
    JpegSpec s;
    s.Width = kWidth;
    s.Height = kHeight;
    s.Pixels = TestPixels(3);
    return EncodeJpeg(s);
}

// ---- the libraries called directly ----

struct MemoryReader
{
    const Bytes *File;
    size_t At;
};

void PngRead(png_structp Png, png_bytep Data, size_t Length)
{
    MemoryReader *r = (MemoryReader *)png_get_io_ptr(Png);
    if (r->File->size() - r->At < Length)
        png_error(Png, "short");
    memcpy(Data, r->File->data() + r->At, Length);
    r->At += Length;
}

bool DirectPng(const Bytes &File, Bytes &Out)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    MemoryReader reader = {&File, 0};
    png_set_read_fn(png, &reader, PngRead);
    png_read_info(png, info);
    png_set_bgr(png);
    png_read_update_info(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    Out.resize(rowBytes * height);
    std::vector<png_bytep> rows(height);
    for (png_uint_32 y = 0; y < height; ++y)
        rows[y] = Out.data() + y * rowBytes;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

bool DirectJpeg(const Bytes &File, Bytes &Out)
{
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, File.data(), (unsigned long)File.size());
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&cinfo);
    const size_t pitch = (size_t)cinfo.output_width * 3;
    Out.resize(pitch * cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = Out.data() + cinfo.output_scanline * pitch;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

bool LibraryLoad(const Bytes &File)
{
    ImageLoadParam param;
    InitImageLoadParams(&param, 0);
    BASEIMAGE image;
    if (LoadBaseImageFromFile(&param, nullptr, File.data(), (int)File.size(), 1, 0, 0, &image, nullptr, nullptr) != 0)
        return false;
    ReleaseBaseImage(&image);
    return true;
}

// A direct load into a new buffer, freed afterwards, as every load of the library allocates.
template <bool (*Direct)(const Bytes &, Bytes &)>
bool FreshDirect(const Bytes &File)
{
    Bytes out;
    return Direct(File, out);
}

// The fastest of several rounds, alternating the two so that both see the same machine load.
void Compare(const char *Name, const Bytes &File, bool (*Direct)(const Bytes &), int Rounds)
{
    double ours = 1e9, direct = 1e9;
    bool ok = LibraryLoad(File) && Direct(File);
    for (int i = 0; ok && i < Rounds; ++i) {
        double t0 = BenchSeconds();
        ok = LibraryLoad(File);
        double t1 = BenchSeconds();
        Direct(File);
        double t2 = BenchSeconds();
        ours = std::min(ours, t1 - t0);
        direct = std::min(direct, t2 - t1);
    }
    if (!ok) {
        printf("%-22s failed to load\n", Name);
        return;
    }
    const double mpix = (double)kWidth * kHeight / 1e6;
    printf("%-22s %7zu bytes  library %7.1f Mpixel/s  direct %7.1f Mpixel/s  ratio %.3f\n", Name, File.size(),
           mpix / ours, mpix / direct, direct / ours);
}

}  // namespace

int main()
{
    const Bytes rgb = EncodeTestPng(3), rgba = EncodeTestPng(4), jpeg = EncodeTestJpeg();
    printf("Image load, %d x %d from memory (ratio = direct time / library time, target >= 0.95)\n", kWidth,
           kHeight);
    Compare("PNG RGB", rgb, FreshDirect<DirectPng>, 12);
    Compare("PNG RGBA", rgba, FreshDirect<DirectPng>, 12);
    Compare("JPEG RGB 4:2:0", jpeg, FreshDirect<DirectJpeg>, 12);
    return 0;
}
