// Software images: creation, views and their reference counts, transfers with their palette,
// premultiplied copy and run table, fills and copies, the blend tables, and SoftImage handles.
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "zovuz/graphics/image/memimg_internal.h"
#include "zovuz/graphics/zovuz_graphics_backend.h"

namespace {

// A live view released at the end of the test.
struct View : MEMIMG
{
    View() { memset(static_cast<MEMIMG *>(this), 0, sizeof(MEMIMG)); }
    ~View() { TerminateMemImg(this); }
    uint32_t Pixel(int X, int Y) const
    {
        uint32_t v = 0;
        int bytes = GetMemImgPixelBytes(Base);
        memcpy(&v, UseImage + (size_t)Y * Base->Pitch + (size_t)X * bytes, bytes);
        return v;
    }
};

// A 32-bit BASEIMAGE of the given pixels, rows of Width.
struct Source : BASEIMAGE
{
    std::vector<uint32_t> Data;
    Source(const COLORDATA &Format, int W, std::vector<uint32_t> Pixels) : Data(std::move(Pixels))
    {
        memset(static_cast<BASEIMAGE *>(this), 0, sizeof(BASEIMAGE));
        ColorData = Format;
        Width = W;
        Height = (int)Data.size() / W;
        Pitch = W * 4;
        BASEIMAGE::Pixels = Data.data();
    }
};

COLORDATA ArgbFormat()
{
    COLORDATA c;
    CreateARGB8ColorData(&c);
    return c;
}

COLORDATA XrgbFormat()
{
    COLORDATA c;
    CreateXRGB8ColorData(&c);
    return c;
}

std::vector<uint8_t> RunCodes(const MEMIMG &V, int Rows)
{
    std::vector<uint8_t> codes;
    const uint8_t *p = V.Base->RunTable;
    for (int row = 0; row < Rows; ++p) {
        codes.push_back(*p);
        if (*p == MEMIMG_RUN_ROW_END)
            ++row;
    }
    return codes;
}

TEST(MemImg, PitchAndPitchShiftFollowTheRowSize)
{
    struct Case { int Width, Pitch, Type, Palette, Alpha, WantPitch, WantShift, WantBytes; } cases[] = {
        {60, -1, 1, 0, 0, 240, -1, 4},  {64, -1, 1, 0, 0, 256, 8, 4},  {2, -1, 1, 0, 0, 16, -1, 4},
        {8, -1, 0, 0, 0, 16, 4, 2},     {3, -1, 0, 0, 1, 16, 4, 4},   {16, -1, 2, 1, 1, 16, 4, 1},
        {1, -1, 3, 0, 0, 16, -1, 2},    {100, 512, 1, 0, 0, 512, 9, 4}, {32, -1, 0, 1, 1, 32, 5, 1},
    };
    for (const Case &c : cases) {
        View v;
        ASSERT_EQ(0, CreateMemImg(&v, c.Width, 2, c.Pitch, 0, c.Type, c.Palette, c.Alpha, 0, nullptr));
        EXPECT_EQ(c.WantPitch, v.Base->Pitch) << c.Width;
        EXPECT_EQ(c.WantShift, v.Base->PitchShift) << c.Width;
        EXPECT_EQ(c.WantBytes, GetMemImgPixelBytes(v.Base)) << c.Width;
        EXPECT_EQ(c.WantBytes, v.Base->ColorData->PixelBytes) << c.Width;
        EXPECT_EQ(0, v.Base->UsePalette && v.Base->UseAlpha);
    }
}

TEST(MemImg, CreateRefusesLiveViewsAndBadRequests)
{
    View v;
    ASSERT_EQ(0, CreateMemImg(&v, 4, 4, -1, 7, 1, 0, 0, 0, nullptr));
    MEMIMG before = v;
    EXPECT_EQ(-1, CreateMemImg(&v, 8, 8, -1, 0, 0, 0, 0, 0, nullptr));
    EXPECT_EQ(0, memcmp(&before, static_cast<MEMIMG *>(&v), sizeof(MEMIMG)));
    EXPECT_EQ(4, v.Base->Width);

    int live = GetAllocNum();
    View bad;
    EXPECT_EQ(-1, CreateMemImg(&bad, 4, 4, -1, 0, 4, 0, 0, 0, nullptr));
    EXPECT_EQ(-1, CreateMemImg(&bad, 0, 4, -1, 0, 1, 0, 0, 0, nullptr));
    EXPECT_EQ(-1, CreateMemImg(&bad, 100000, 100000, -1, 0, 1, 0, 0, 0, nullptr));
    // Memory that cannot be had: nothing stays attached to the view, nothing is lost.
    EXPECT_EQ(-1, CreateMemImg(&bad, 60000, 35000, -1, 0, 1, 1, 0, 1, nullptr));
    EXPECT_EQ(-1, CreateMemImg(&bad, 16000, 30000, -1, 0, 1, 0, 0, 1, nullptr));
    EXPECT_EQ(nullptr, bad.Base);
    EXPECT_EQ(0, CheckValidMemImg(&bad));
    EXPECT_EQ(live, GetAllocNum());
}

TEST(MemImg, ViewsShareTheImageUntilTheLastIsReleased)
{
    int live = GetAllocNum();
    MEMIMG whole = {}, part = {}, inner = {};
    ASSERT_EQ(0, CreateMemImg(&whole, 8, 8, -1, 0, 1, 0, 1, 1, nullptr));
    int withImage = GetAllocNum();
    CreateMemImgView(&part, &whole, 2, 3, 5, 4);
    ASSERT_EQ(1, CheckValidMemImg(&part));
    EXPECT_EQ(2, whole.Base->RefCount);
    EXPECT_EQ(whole.UseImage + 2 * 4 + 3 * whole.Base->Pitch, part.UseImage);
    EXPECT_EQ(whole.UsePremultipliedImage + 2 * 4 + 3 * whole.Base->Pitch, part.UsePremultipliedImage);
    CreateMemImgView(&inner, &part, 1, 1, 4, 3);
    EXPECT_EQ(whole.UseImage + 3 * 4 + 4 * whole.Base->Pitch, inner.UseImage);
    EXPECT_EQ(3, whole.Base->RefCount);

    // A rectangle one past the source leaves the view untouched.
    MEMIMG refused = {};
    CreateMemImgView(&refused, &part, 1, 0, 5, 4);
    CreateMemImgView(&refused, &part, 0, 1, 5, 4);
    CreateMemImgView(&refused, &part, -1, 0, 2, 2);
    EXPECT_EQ(0, CheckValidMemImg(&refused));
    EXPECT_EQ(3, whole.Base->RefCount);

    TerminateMemImg(&whole);
    TerminateMemImg(&part);
    EXPECT_EQ(0u, whole.ValidFlag);
    EXPECT_EQ(nullptr, part.Base);
    EXPECT_EQ(withImage, GetAllocNum());
    memset(inner.UseImage, 0x5A, 16);  // still owned by the last view
    TerminateMemImg(&part);            // a released view: nothing happens
    TerminateMemImg(&inner);
    EXPECT_EQ(live, GetAllocNum());
}

TEST(MemImg, CallerPixelsAreUsedAndNeverFreed)
{
    std::vector<uint8_t> pixels(64 * 4, 0x11);
    int live = GetAllocNum();
    {
        View v;
        ASSERT_EQ(0, CreateMemImg(&v, 16, 4, 64, 0, 1, 0, 0, 0, pixels.data()));
        EXPECT_EQ(pixels.data(), v.UseImage);
        EXPECT_EQ(1, v.Base->UserImageFlag);
    }
    EXPECT_EQ(live, GetAllocNum());
}

TEST(MemImg, InitializeTakesTheDefaultFormat)
{
    View a, b, c;
    ASSERT_EQ(0, InitializeMemImg(&a, 4, 4, -1));
    EXPECT_EQ(MEMIMG_COLORTYPE_565, a.Base->ColorType);
    SetMemImgDefaultColorType(1);
    ASSERT_EQ(0, InitializeMemImg(&b, 4, 4, -1));
    ASSERT_EQ(0, InitializeMemImg(&c, 4, 4, 2));
    SetMemImgDefaultColorType(0);
    EXPECT_EQ(MEMIMG_COLORTYPE_XRGB8, b.Base->ColorType);
    EXPECT_EQ(MEMIMG_COLORTYPE_VALUE8, c.Base->ColorType);
    EXPECT_EQ(0, b.Base->UseAlpha);
    EXPECT_EQ(nullptr, b.Base->RunTable);
}

TEST(MemImg, FormatDescriptors)
{
    struct Case { int Type, Alpha, Palette, Depth; uint32_t R, G, B, A; } cases[] = {
        {0, 0, 0, 16, 0xF800, 0x07E0, 0x1F, 0},       {0, 1, 0, 32, 0xF800, 0x07E0, 0x1F, 0xFF0000},
        {0, 0, 1, 8, 0xF800, 0x07E0, 0x1F, 0},        {1, 0, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0},
        {1, 1, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u}, {1, 1, 1, 8, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u},
        {2, 1, 1, 8, 0xFF, 0xFF, 0xFF, 0xFF},         {3, 0, 0, 16, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF},
    };
    for (const Case &c : cases) {
        const COLORDATA *d = GetMemImgColorData(c.Type, c.Alpha, c.Palette);
        ASSERT_NE(nullptr, d);
        EXPECT_EQ(c.Depth, d->BitDepth) << c.Type;
        EXPECT_EQ(c.Depth / 8, d->PixelBytes) << c.Type;
        EXPECT_EQ(c.R, d->RedMask);
        EXPECT_EQ(c.G, d->GreenMask);
        EXPECT_EQ(c.B, d->BlueMask);
        EXPECT_EQ(c.A, d->AlphaMask);
        EXPECT_EQ(d, GetMemImgColorData(c.Type, c.Alpha, c.Palette));  // one static record
    }
    const COLORDATA *v16 = GetMemImgColorData(3, 0, 0);
    EXPECT_EQ(16, v16->RedWidth);
    EXPECT_EQ(0, v16->RedLoc + v16->AlphaLoc);
    EXPECT_EQ(0u, v16->NoneMask);
    EXPECT_EQ(nullptr, GetMemImgColorData(4, 0, 0));
}

TEST(MemImg, RunTableCodesEachRow)
{
    const uint32_t key = 0x00FF00FF, other = 0x00102030;
    struct Case
    {
        const char *Name;
        int Alpha, Width;
        std::vector<uint32_t> Pixels;
        std::vector<uint8_t> Codes;
    };
    std::vector<uint32_t> seventy(70, other);
    std::vector<uint32_t> twoRows = {key, other, other, key};
    Case cases[] = {
        {"key key other", 0, 3, {key, key, other}, {0x01, 0x40, 0xC0}},
        {"70 equal pixels", 0, 70, seventy, {0x7F, 0x45, 0xC0}},
        {"two rows", 0, 2, twoRows, {0x00, 0x40, 0xC0, 0x40, 0x00, 0xC0}},
        {"alpha 0, 0, 128, 255, 255", 1, 5,
         {0x00000000, 0x00FFFFFF, 0x80FFFFFF, 0xFF000000, 0xFFFFFFFF}, {0x01, 0x80, 0x41, 0xC0}},
    };
    for (const Case &c : cases) {
        View v;
        Source s(c.Alpha ? ArgbFormat() : XrgbFormat(), c.Width, c.Pixels);
        ASSERT_EQ(0, CreateMemImg(&v, s.Width, s.Height, -1, key, 1, 0, c.Alpha, 1, nullptr));
        BltBaseImageToMemImg(&s, nullptr, &v, 0, 0, s.Width, s.Height, 0, 0, 0);
        EXPECT_EQ(1, v.Base->RunTableValid) << c.Name;
        EXPECT_EQ(c.Codes, RunCodes(v, s.Height)) << c.Name;
    }

    // A 5-6-5 image with alpha classifies by bits 16..23; a palette image by its index.
    View v565, pal;
    Source s(ArgbFormat(), 2, {0x80FF0000, 0x00FF0000});
    ASSERT_EQ(0, CreateMemImg(&v565, 2, 1, -1, 0, 0, 0, 1, 1, nullptr));
    BltBaseImageToMemImg(&s, nullptr, &v565, 0, 0, 2, 1, 0, 0, 0);
    EXPECT_EQ((std::vector<uint8_t>{0x80, 0x00, 0xC0}), RunCodes(v565, 1));
    BASEIMAGE indices = {};
    CreatePalette8ColorData(&indices.ColorData);
    uint8_t idx[3] = {5, 9, 5};
    indices.Width = 3, indices.Height = 1, indices.Pitch = 3, indices.Pixels = idx;
    ASSERT_EQ(0, CreateMemImg(&pal, 3, 1, -1, 5, 1, 1, 0, 1, nullptr));
    BltBaseImageToMemImg(&indices, nullptr, &pal, 0, 0, 3, 1, 0, 0, 1);
    EXPECT_EQ((std::vector<uint8_t>{0x00, 0x40, 0x00, 0xC0}), RunCodes(pal, 1));
}

TEST(MemImg, WholeTransferBuildsThePremultipliedCopyAndAPartialOneClearsTheFlags)
{
    View v32, v565;
    Source s(ArgbFormat(), 2, {0x80FFFF20, 0xFF102030, 0x00FFFFFF, 0x40808080});
    ASSERT_EQ(0, CreateMemImg(&v32, 2, 2, -1, 0, 1, 0, 1, 1, nullptr));
    ASSERT_EQ(0, CreateMemImg(&v565, 2, 2, -1, 0, 0, 0, 1, 1, nullptr));
    BltBaseImageToMemImg(&s, nullptr, &v32, 0, 0, 2, 2, 0, 0, 0);
    BltBaseImageToMemImg(&s, nullptr, &v565, 0, 0, 2, 2, 0, 0, 0);
    ASSERT_EQ(1, v32.Base->PremultipliedValid);
    ASSERT_EQ(1, v565.Base->PremultipliedValid);
    auto pre = [](const View &v, int X, int Y) {
        uint32_t p;
        memcpy(&p, v.UsePremultipliedImage + Y * v.Base->Pitch + X * 4, 4);
        return p;
    };
    EXPECT_EQ(0x807F7F10u, pre(v32, 0, 0));
    EXPECT_EQ(0xFF0F1F2Fu, pre(v32, 1, 0));
    EXPECT_EQ(0x00000000u, pre(v32, 0, 1));
    EXPECT_EQ(0x40202020u, pre(v32, 1, 1));
    EXPECT_EQ(0x80FFE4u, v565.Pixel(0, 0) & 0xFFFFFF);  // 5-6-5 colour, alpha in bits 16..23
    EXPECT_EQ(0x807BE2u, pre(v565, 0, 0));

    // A partial transfer: both flags cleared, the copy and the table left as they were.
    uint32_t before = pre(v32, 0, 0);
    Source white(ArgbFormat(), 1, {0xFFFFFFFF, 0xFFFFFFFF});
    BltBaseImageToMemImg(&white, nullptr, &v32, 0, 0, 1, 2, 0, 0, 0);
    EXPECT_EQ(0xFFFFFFFFu, v32.Pixel(0, 0));
    EXPECT_EQ(0, v32.Base->PremultipliedValid);
    EXPECT_EQ(0, v32.Base->RunTableValid);
    EXPECT_EQ(before, pre(v32, 0, 0));
}

TEST(MemImg, PaletteTransfersCopyIndicesAndPalette)
{
    BASEIMAGE indices = {};
    CreatePalette8ColorData(&indices.ColorData);
    indices.ColorData.Palette[37] = {0x33, 0x66, 0xFF, 0};  // blue, green, red
    std::vector<uint8_t> idx = {0, 37, 12, 3};
    indices.Width = 4, indices.Height = 1, indices.Pitch = 4, indices.Pixels = idx.data();
    View p565, p32;
    ASSERT_EQ(0, CreateMemImg(&p565, 4, 1, -1, 0, 0, 1, 0, 0, nullptr));
    ASSERT_EQ(0, CreateMemImg(&p32, 4, 1, -1, 0, 1, 1, 0, 0, nullptr));
    BltBaseImageToMemImg(&indices, nullptr, &p565, 0, 0, 4, 1, 0, 0, 1);
    BltBaseImageToMemImg(&indices, nullptr, &p32, 0, 0, 4, 1, 0, 0, 1);
    EXPECT_EQ(38, p565.Base->UsedPaletteNum);
    EXPECT_EQ(37u, p565.Pixel(1, 0));
    EXPECT_EQ(0xFB26u, ((uint16_t *)p565.Base->Palette)[37]);
    EXPECT_EQ(0xFF6633u, ((uint32_t *)p32.Base->Palette)[37]);
    EXPECT_EQ(0, memcmp(p32.Base->Palette, p32.Base->WorkPalette, 1024));
    EXPECT_EQ(0, memcmp(p565.Base->Palette, p565.Base->WorkPalette, 512));
}

TEST(MemImg, ColorKeyOfTransfers)
{
    // Without alpha the flag argument becomes the image's colour-key flag.
    View plain;
    Source s(XrgbFormat(), 2, {0x00FF00FF, 0x00123456});
    ASSERT_EQ(0, CreateMemImg(&plain, 2, 1, -1, 0xFF00FF, 1, 0, 0, 0, nullptr));
    BltBaseImageToMemImg(&s, nullptr, &plain, 0, 0, 2, 1, 0, 0, 0);
    EXPECT_EQ(0, plain.Base->ColorKeyFlag);
    BltBaseImageToMemImg(&s, nullptr, &plain, 0, 0, 2, 1, 0, 0, 5);
    EXPECT_EQ(1, plain.Base->ColorKeyFlag);

    // With alpha the key becomes alpha 0, in both families (a 5-6-5 key is a 5-6-5 pixel).
    View a32, a565;
    ASSERT_EQ(0, CreateMemImg(&a32, 2, 1, -1, 0xFF00FF, 1, 0, 1, 0, nullptr));
    ASSERT_EQ(0, CreateMemImg(&a565, 2, 1, -1, 0xF81F, 0, 0, 1, 0, nullptr));
    BltBaseImageToMemImg(&s, nullptr, &a32, 0, 0, 2, 1, 0, 0, 1);
    BltBaseImageToMemImg(&s, nullptr, &a565, 0, 0, 2, 1, 0, 0, 1);
    EXPECT_EQ(0u, a32.Pixel(0, 0) >> 24);
    EXPECT_EQ(0xFFu, a32.Pixel(1, 0) >> 24);
    EXPECT_EQ(0u, (a565.Pixel(0, 0) >> 16) & 0xFF);
    EXPECT_EQ(0xFFu, (a565.Pixel(1, 0) >> 16) & 0xFF);
    // An alpha image keeps its own flag.
    BltBaseImageToMemImg(&s, nullptr, &a565, 0, 0, 2, 1, 0, 0, 0);
    EXPECT_EQ(1, a565.Base->ColorKeyFlag);
}

TEST(MemImg, SingleValueImagesTakeRed)
{
    View v8, v16;
    Source s(ArgbFormat(), 3, {0x00FF0000, 0xFF7F1020, 0x8000FFFF});
    ASSERT_EQ(0, CreateMemImg(&v8, 3, 1, -1, 0, 2, 0, 0, 0, nullptr));
    ASSERT_EQ(0, CreateMemImg(&v16, 3, 1, -1, 0, 3, 0, 0, 1, nullptr));
    BltBaseImageToMemImg(&s, nullptr, &v8, 0, 0, 3, 1, 0, 0, 1);
    BltBaseImageToMemImg(&s, nullptr, &v16, 0, 0, 3, 1, 0, 0, 1);
    EXPECT_EQ(0xFFu, v8.Pixel(0, 0));
    EXPECT_EQ(0x7Fu, v8.Pixel(1, 0));
    EXPECT_EQ(0x00u, v8.Pixel(2, 0));
    EXPECT_EQ(0xFFu, v16.Pixel(0, 0));
    EXPECT_EQ(0x7Fu, v16.Pixel(1, 0));
    EXPECT_EQ(0u, v16.Pixel(2, 0));
    EXPECT_EQ(0, v16.Base->RunTableValid);
}

TEST(MemImg, FillWritesTheClippedRectangle)
{
    struct Case { int Type, Palette; ImageRect Rect; bool Whole; uint32_t Want; int Left, Top, Right, Bottom; } cases[] = {
        {1, 0, {}, true, 0x11223344, 0, 0, 6, 4},
        {0, 0, {4, 3, 1, 1}, false, 0x3344, 1, 1, 4, 3},
        {2, 0, {-5, 2, 3, 9}, false, 0x44, 0, 2, 3, 4},
        {1, 0, {6, 0, 9, 4}, false, 0, 0, 0, 0, 0},
        {1, 1, {1, 1, 2, 2}, false, 0x44, 1, 1, 2, 2},
    };
    for (const Case &c : cases) {
        View v;
        ASSERT_EQ(0, CreateMemImg(&v, 6, 4, -1, 0, c.Type, c.Palette, 0, 0, nullptr));
        FillMemImg(&v, nullptr, 0);
        FillMemImg(&v, c.Whole ? nullptr : &c.Rect, 0x11223344);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 6; ++x) {
                bool inside = x >= c.Left && x < c.Right && y >= c.Top && y < c.Bottom;
                ASSERT_EQ(inside ? c.Want : 0u, v.Pixel(x, y)) << c.Type << " " << x << "," << y;
            }
    }
}

TEST(MemImg, CopyConvertsBetweenImagesAndRefusesRectanglesOutside)
{
    View src, dest;
    ASSERT_EQ(0, CreateMemImg(&src, 4, 2, -1, 0, 0, 0, 0, 0, nullptr));
    ASSERT_EQ(0, CreateMemImg(&dest, 3, 3, -1, 0, 1, 0, 0, 0, nullptr));
    FillMemImg(&src, nullptr, 0xF800);
    FillMemImg(&dest, nullptr, 0);
    ImageRect r = {1, 0, 3, 2};
    BltMemImg(&dest, &src, &r, 1, 1);
    EXPECT_EQ(0u, dest.Pixel(0, 0));
    EXPECT_EQ(0xF80000u, dest.Pixel(1, 1) & 0xF8F8F8);
    EXPECT_EQ(0xF80000u, dest.Pixel(2, 2) & 0xF8F8F8);
    FillMemImg(&dest, nullptr, 0);
    ImageRect wide = {0, 0, 4, 2}, past = {1, 1, 3, 3};
    BltMemImg(&dest, &src, &wide, 0, 0);
    BltMemImg(&dest, &src, &past, 0, 0);
    BltMemImg(&dest, &src, &r, 2, 0);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(0u, dest.Pixel(x, y));
}

TEST(MemImg, BlendTablesHoldTruncatedQuotients)
{
    SetupMemImgTables();
    const MemImgManageData &m = MemImgManage;
    struct Case { int A, D, Want; } scale[] = {{128, -1, 0}, {255, -255, -255}, {100, -200, -78}, {100, 200, 78}, {0, 255, 0}};
    for (const Case &c : scale)
        EXPECT_EQ(c.Want, m.ScaleTable[c.A][c.D + 255]) << c.A << " " << c.D;
    EXPECT_EQ(200, m.MulTable[255][200]);
    EXPECT_EQ(128, m.MulTable[128][255]);
    EXPECT_EQ(63, m.MulTable[128][127]);
    EXPECT_EQ(40, m.MixTable[63][40][9]);
    EXPECT_EQ(9, m.MixTable[0][40][9]);
    EXPECT_EQ(21, m.MixTable[21][63][0]);
    EXPECT_EQ(41, m.MixTable[21][20][52]);  // (420 + 2184) / 63
}

TEST(MemImg, BlendGraphTableRamps)
{
    struct Case { int Param, Range; int K[4]; uint8_t Want[4]; } cases[] = {
        {0, 0, {0, 1, 128, 255}, {255, 255, 255, 255}},
        {128, 255, {0, 1, 128, 255}, {0, 1, 128, 255}},
        {255, 0, {0, 254, 255, 100}, {0, 0, 1, 0}},
        {64, 63, {0, 16, 30, 255}, {0, 0, 56, 255}},
        {0, -1, {0, 1, 128, 255}, {255, 255, 255, 255}},
    };
    for (const Case &c : cases) {
        SetMemImgBlendGraphTable(c.Param, c.Range);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(c.Want[i], MemImgManage.BlendGraphTable[c.K[i]]) << c.Param << " " << c.Range << " " << c.K[i];
    }
}

TEST(SoftImage, HandleTypeLifecycle)
{
    ASSERT_EQ(0, InitializeSoftImageManage());
    EXPECT_EQ(-1, InitializeSoftImageManage());
    int live = GetAllocNum();
    for (int i = 0; i < 3; ++i) {
        int handle = AddHandle(DX_HANDLETYPE_SOFTIMAGE, 0, -1);
        ASSERT_NE(-1, handle);
        auto *record = (SoftImageHandleData *)GetHandleData(handle);
        ASSERT_EQ(0, CreateXRGB8ColorBaseImage(8, 8, &record->BaseImage));
    }
    EXPECT_LT(live, GetAllocNum());
    DeleteAllSoftImages();
    EXPECT_EQ(live, GetAllocNum());
    EXPECT_EQ(0, GetHandleManage(DX_HANDLETYPE_SOFTIMAGE)->Num);
    EXPECT_EQ(0, TerminateSoftImageManage());
    EXPECT_EQ(-1, TerminateSoftImageManage());
    EXPECT_EQ(-1, AddHandle(DX_HANDLETYPE_SOFTIMAGE, 0, -1));
}

}  // namespace
