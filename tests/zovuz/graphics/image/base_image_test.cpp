// BASEIMAGE: creation and release, views, clipped copies, clearing and filling, pixel reading
// and writing, mirroring, half-size reduction, sizes and premultiplication.
#include <gtest/gtest.h>

#include "tests/zovuz/graphics/pixel_fixture.h"
#include "zovuz/core/zovuz_core.h"
#include "zovuz/graphics/image/base_image_internal.h"

namespace {

TEST(BaseImage, CreateAndRelease)
{
    BASEIMAGE img;
    ASSERT_EQ(0, CreateXRGB8ColorBaseImage(3, 2, &img));
    EXPECT_EQ(12, img.Pitch);
    EXPECT_EQ(0xFF000000u, img.ColorData.NoneMask);
    EXPECT_EQ(0, img.MipCount);
    EXPECT_EQ(24, GetBaseImageDataSize(&img));
    EXPECT_EQ(0, ReleaseBaseImage(&img));
    EXPECT_EQ(nullptr, img.Pixels);
    EXPECT_EQ(0, img.Width);

    // A refused size leaves the format and size written and no pixels.
    EXPECT_EQ(-1, CreateARGB8ColorBaseImage(0x10000, 0x10000, &img));
    EXPECT_EQ(nullptr, img.Pixels);
    EXPECT_EQ(0x10000, img.Width);
    EXPECT_EQ(8, img.ColorData.AlphaWidth);
    EXPECT_EQ(-1, CreateARGB8ColorBaseImage(0, 4, &img));
    EXPECT_EQ(-1, ReleaseBaseImage(nullptr));
}

TEST(BaseImage, ViewsShareThePixelsOfOneLevel)
{
    COLORDATA x = Xrgb();
    PixelRows rows(x, 4, 3);
    rows.Set(2, 1, 0xABCDEF);
    BASEIMAGE img = ImageOver(x, rows), view;
    struct Case
    {
        int X1, Y1, X2, Y2, MipCount, Format, Result;
    } cases[] = {
        {2, 1, 4, 3, 0, 0, 0},  {2, 1, 4, 3, 1, 0, 0},  {0, 0, 4, 3, 0, 0, 0},
        {2, 1, 2, 3, 0, 0, -1}, {-1, 0, 2, 2, 0, 0, -1}, {0, 0, 5, 3, 0, 0, -1},
        {0, 0, 4, 4, 0, 0, -1}, {2, 1, 4, 3, 2, 0, -1},  {2, 1, 4, 3, 0, 1, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.X1 << "," << c.Y1 << "," << c.X2 << "," << c.Y2);
        img.MipCount = c.MipCount;
        img.ColorData.Format = (uint8_t)c.Format;
        ASSERT_EQ(c.Result, CreateBaseImageView(&img, c.X1, c.Y1, c.X2, c.Y2, &view));
    }
    img.MipCount = 0;
    img.ColorData.Format = 0;
    ASSERT_EQ(0, CreateBaseImageView(&img, 2, 1, 4, 3, &view));
    EXPECT_EQ(2, view.Width);
    EXPECT_EQ(rows.Pitch, view.Pitch);
    EXPECT_EQ(0xABCDEFu, GetBaseImagePixelARGB(&view, 0, 0) & 0xFFFFFF);
}

TEST(BaseImage, BltClipsToBothImages)
{
    COLORDATA x = Xrgb();
    PixelRows srcRows(x, 6, 5), dstRows(x, 4, 4, 0xCC);
    for (int y = 0; y < 5; ++y)
        for (int i = 0; i < 6; ++i)
            srcRows.Set(i, y, (uint32_t)(y * 16 + i));
    BASEIMAGE src = ImageOver(x, srcRows), dst = ImageOver(x, dstRows);

    // A destination at (-3, -2) copies from source (3, 2) to (0, 0).
    ASSERT_EQ(0, BltBaseImage(0, 0, 6, 5, -3, -2, &src, &dst));
    EXPECT_EQ(0x23u, dstRows.Get(0, 0));
    EXPECT_EQ(0x45u, dstRows.Get(2, 2));
    EXPECT_EQ(0xCCCCCCCCu, dstRows.Get(3, 0));
    EXPECT_EQ(0xCCCCCCCCu, dstRows.Get(0, 3));

    // A negative source position moves the destination the other way.
    PixelRows d2(x, 4, 4, 0xCC);
    BASEIMAGE dst2 = ImageOver(x, d2);
    ASSERT_EQ(0, BltBaseImage(-1, -2, 3, 4, 0, 0, &src, &dst2));
    EXPECT_EQ(0xCCCCCCCCu, d2.Get(0, 1));
    EXPECT_EQ(0x00u, d2.Get(1, 2));
    EXPECT_EQ(0x11u, d2.Get(2, 3));
    EXPECT_EQ(0xCCCCCCCCu, d2.Get(3, 3));

    // Entirely outside: nothing changes and the call still succeeds.
    PixelRows d3(x, 4, 4, 0xCC);
    BASEIMAGE dst3 = ImageOver(x, d3);
    EXPECT_EQ(0, BltBaseImage(0, 0, 2, 2, 4, 0, &src, &dst3));
    EXPECT_EQ(0, BltBaseImage(6, 0, 2, 2, 0, 0, &src, &dst3));
    EXPECT_EQ(0, BltBaseImageWhole(-6, 0, &src, &dst3));
    EXPECT_EQ(std::vector<uint8_t>(d3.Data.size(), 0xCC), d3.Data);
}

TEST(BaseImage, ClearAndFillClipToTheImage)
{
    struct Case
    {
        COLORDATA (*Format)();
        int X, Y, W, H, Result;
        uint32_t Inside, Corner;  // pixel (1, 1) and pixel (0, 0) afterwards
    } cases[] = {
        {Xrgb, -1, -1, 3, 3, 0, 0xFF102030, 0xFF102030},
        {Xrgb, 1, 1, 9, 9, 0, 0xFF102030, 0x0},
        {Xrgb, 3, 0, 1, 1, -1, 0, 0},
        {Xrgb, 0, 3, 1, 1, -1, 0, 0},
        {Xrgb, 0, 0, 0, 1, -1, 0, 0},
        {Xrgb, -5, 0, 2, 2, 0, 0, 0},
        {R565, 0, 0, 3, 3, 0, 0x1106, 0x1106},
        {Rgb24, 1, 0, 2, 3, 0, 0x102030, 0},
        {Pal8, 0, 0, 3, 3, 0, 0x10, 0x10},  // 1-byte images take red as the index
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.X << "," << c.Y << "," << c.W << "," << c.H);
        COLORDATA f = c.Format();
        PixelRows rows(f, 3, 3, 0x00);
        BASEIMAGE img = ImageOver(f, rows);
        ASSERT_EQ(c.Result, FillRectBaseImage(&img, c.X, c.Y, c.W, c.H, 0x10, 0x20, 0x30, 0x40));
        EXPECT_EQ(c.Inside, rows.Get(1, 1));
        EXPECT_EQ(c.Corner, rows.Get(0, 0));
        EXPECT_EQ(0, rows.At(3, 0)[0]);  // the row padding stays
        memset(rows.Data.data(), 0x77, rows.Data.size());
        EXPECT_EQ(c.Result, ClearRectBaseImage(&img, c.X, c.Y, c.W, c.H));
        uint32_t untouched = 0x77777777u >> (8 * (4 - f.PixelBytes));
        EXPECT_EQ(c.Inside ? 0u : untouched, rows.Get(1, 1));
        EXPECT_EQ(c.Corner ? 0u : untouched, rows.Get(0, 0));
    }

    // Whole fills write every pixel, odd tails of 1- and 2-byte rows included.
    COLORDATA s565 = R565(), pal = Pal8();
    PixelRows a(s565, 3, 2), b(pal, 5, 2);
    BASEIMAGE ia = ImageOver(s565, a), ib = ImageOver(pal, b);
    ASSERT_EQ(0, FillBaseImage(&ia, 255, 0, 255, 0));
    ASSERT_EQ(0, FillBaseImage(&ib, 0x1F7, 0, 0, 0));
    EXPECT_EQ(0xF81Fu, a.Get(2, 1));
    EXPECT_EQ(0xF7u, b.Get(4, 1));
    EXPECT_EQ(0, b.At(5, 1)[0]);
    BASEIMAGE dxt = ia;
    dxt.ColorData.Format = COLORDATA_FORMAT_DXT1;
    EXPECT_EQ(-1, FillBaseImage(&dxt, 0, 0, 0, 0));
}

TEST(BaseImage, PixelReadingAndWriting)
{
    COLORDATA s565 = R565(), a1555 = A1555(), pal = Pal8(), x = Xrgb();
    PixelRows rows(s565, 2, 2);
    rows.Set(1, 1, 0xFFFF);
    BASEIMAGE img = ImageOver(s565, rows);
    // Channels unscaled at the top of their bytes.
    EXPECT_EQ(0x00F8FCF8u, GetBaseImagePixelARGB(&img, 1, 1));
    EXPECT_EQ(0u, GetBaseImagePixelARGB(&img, 2, 1));
    PixelRows r1555(a1555, 1, 1);
    r1555.Set(0, 0, 0x8000);
    BASEIMAGE i1555 = ImageOver(a1555, r1555);
    EXPECT_EQ(0x80000000u, GetBaseImagePixelARGB(&i1555, 0, 0));

    int r = -1, g = -1, b = -1, a = -1;
    ASSERT_EQ(0, GetPixelBaseImage(&img, 1, 1, &r, &g, &b, &a));
    EXPECT_EQ(255, r);
    EXPECT_EQ(255, g);
    EXPECT_EQ(0, a);
    EXPECT_EQ(-1, GetPixelBaseImage(&img, -1, 0, &r, &g, &b, &a));
    EXPECT_EQ(-1, GetPixelBaseImage(&img, 0, 2, &r, &g, &b, &a));

    SetEntry(pal, 9, 0x80102030);
    PixelRows p(pal, 1, 1);
    p.Set(0, 0, 9);
    BASEIMAGE ip = ImageOver(pal, p);
    ASSERT_EQ(0, GetPixelBaseImage(&ip, 0, 0, &r, &g, &b, &a));
    EXPECT_EQ(0x10, r);
    EXPECT_EQ(0x30, b);
    EXPECT_EQ(0x80, a);
    // Writing a palette image finds the nearest entry.
    ASSERT_EQ(0, SetPixelBaseImage(&ip, 0, 0, 0x11, 0x20, 0x30, 0));
    EXPECT_EQ(9u, p.Get(0, 0));

    PixelRows xr(x, 2, 1);
    BASEIMAGE ix = ImageOver(x, xr);
    EXPECT_EQ(0, SetPixelBaseImage(&ix, 1, 0, 1, 2, 3, 4));
    EXPECT_EQ(0xFF010203u, xr.Get(1, 0));
    EXPECT_EQ(-1, SetPixelBaseImage(&ix, 2, 0, 1, 2, 3, 4));
    EXPECT_EQ(-1, SetPixelBaseImage(&ix, -1, 0, 1, 2, 3, 4));
    EXPECT_EQ(-1, SetPixelBaseImage(&ix, 0, 1, 1, 2, 3, 4));
}

TEST(BaseImage, FloatPixelsStayInsideTheirRows)
{
    // One half-float channel: a pixel is 2 bytes, so the last pixel of a row must not reach
    // the next row.
    COLORDATA h1 = ChannelFormat(1, 16, 1), f2 = ChannelFormat(2, 32, 1);
    PixelRows rows(h1, 3, 2, 0xEE);
    rows.Pitch = 6;
    BASEIMAGE img = ImageOver(h1, rows);
    ASSERT_EQ(0, SetPixelBaseImage(&img, 2, 0, 255, 10, 20, 30));
    EXPECT_EQ(0x3C00u, rows.Get(2, 0) & 0xFFFF);
    for (size_t i = 0; i < rows.Data.size(); ++i) {
        if (i != 4 && i != 5) {
            ASSERT_EQ(0xEE, rows.Data[i]) << i;
        }
    }
    int r = -1, g = -1;
    ASSERT_EQ(0, GetPixelBaseImage(&img, 2, 0, &r, &g, nullptr, nullptr));
    EXPECT_EQ(255, r);
    EXPECT_EQ(-1, g);  // absent channels are left untouched

    PixelRows wide(f2, 2, 1);
    BASEIMAGE iw = ImageOver(f2, wide);
    ASSERT_EQ(0, SetPixelBaseImage(&iw, 1, 0, 51, 255, 0, 0));
    float v[2];
    memcpy(v, wide.At(1, 0), 8);
    EXPECT_FLOAT_EQ(0.2f, v[0]);
    EXPECT_FLOAT_EQ(1.0f, v[1]);
    ASSERT_EQ(0, GetPixelBaseImage(&iw, 1, 0, &r, &g, nullptr, nullptr));
    EXPECT_EQ(51, r);

    COLORDATA i16 = ChannelFormat(4, 16, 0);
    PixelRows ir(i16, 1, 1);
    BASEIMAGE ii = ImageOver(i16, ir);
    EXPECT_EQ(-1, GetPixelBaseImage(&ii, 0, 0, &r, &g, nullptr, nullptr));
}

TEST(BaseImage, ReverseRowsOfEveryPixelSize)
{
    for (COLORDATA (*f)() : {Pal8, R565, Rgb24, Xrgb}) {
        COLORDATA c = f();
        SCOPED_TRACE(c.PixelBytes);
        PixelRows rows(c, 3, 2);
        rows.Row({0x010203, 0x040506, 0x070809}, 1);
        BASEIMAGE img = ImageOver(c, rows);
        ASSERT_EQ(0, ReverseBaseImageH(&img));
        uint32_t mask = c.PixelBytes == 4 ? 0xFFFFFFFFu : (1u << (8 * c.PixelBytes)) - 1;
        EXPECT_EQ(0x070809u & mask, rows.Get(0, 1));
        EXPECT_EQ(0x040506u & mask, rows.Get(1, 1));
        EXPECT_EQ(0x010203u & mask, rows.Get(2, 1));
    }
    BASEIMAGE empty = {};
    EXPECT_EQ(-1, ReverseBaseImageH(&empty));
}

TEST(BaseImage, ShrinkImageHalfAveragesBlocks)
{
    COLORDATA a = Argb(), s565 = R565(), rgb = Rgb24();
    PixelRows src(a, 2, 2);
    src.Row({0x80FF0000, 0x00FF0000});
    src.Row({0x0000FF03, 0x00000001}, 1);
    PixelRows dst(a, 2, 2, 0xCC);
    ASSERT_EQ(0, ShrinkImageHalf(&a, dst.Data.data(), dst.Pitch, src.Data.data(), src.Pitch, 1, 1, 0,
                                 0, 2, 2));
    EXPECT_EQ(0x207F3F01u, dst.Get(1, 1));
    EXPECT_EQ(0xCCCCCCCCu, dst.Get(0, 0));

    // A source one pixel high averages pairs; one pixel wide, vertical pairs.
    ASSERT_EQ(0, ShrinkImageHalf(&a, dst.Data.data(), dst.Pitch, src.Data.data(), src.Pitch, 0, 0, 0,
                                 0, 2, 1));
    EXPECT_EQ(0x40FF0000u, dst.Get(0, 0));
    ASSERT_EQ(0, ShrinkImageHalf(&a, dst.Data.data(), dst.Pitch, src.Data.data(), src.Pitch, 0, 0, 1,
                                 0, 1, 2));
    EXPECT_EQ(0x007F0000u, dst.Get(0, 0));
    ASSERT_EQ(0, ShrinkImageHalf(&a, dst.Data.data(), dst.Pitch, src.Data.data(), src.Pitch, 0, 0, 0,
                                 1, 1, 1));
    EXPECT_EQ(0x0000FF03u, dst.Get(0, 0));

    // 5-6-5 channels average separately.
    PixelRows s(s565, 2, 2), d(s565, 1, 1);
    s.Row({0xF800, 0x0800});
    s.Row({0x07E0, 0x001F}, 1);
    ASSERT_EQ(0, ShrinkImageHalf(&s565, d.Data.data(), d.Pitch, s.Data.data(), s.Pitch, 0, 0, 0, 0, 2, 2));
    EXPECT_EQ(((32u >> 2) << 11) | ((63u >> 2) << 5) | (31u >> 2), d.Get(0, 0));

    EXPECT_EQ(-1, ShrinkImageHalf(&a, dst.Data.data(), dst.Pitch, src.Data.data(), src.Pitch, 0, 0, 0,
                                  0, 3, 2));
    PixelRows r24(rgb, 2, 2, 0x11), o24(rgb, 1, 1, 0xCC);
    EXPECT_EQ(-1, ShrinkImageHalf(&rgb, o24.Data.data(), o24.Pitch, r24.Data.data(), r24.Pitch, 0, 0,
                                  0, 0, 2, 2));
    EXPECT_EQ(0, ShrinkImageHalf(&rgb, o24.Data.data(), o24.Pitch, r24.Data.data(), r24.Pitch, 0, 0,
                                 0, 0, 1, 1));
    EXPECT_EQ(0xCCCCCCu, o24.Get(0, 0));
}

TEST(BaseImage, DataSizeAndHighestIndex)
{
    BASEIMAGE img = {};
    img.ColorData = Xrgb();
    img.Width = 8;
    img.Height = 2;
    img.Pitch = 32;
    img.MipCount = 4;
    EXPECT_EQ(64 + 16 + 8 + 8, GetBaseImageDataSize(&img));
    img.ColorData.Format = 6;
    EXPECT_EQ(-1, GetBaseImageDataSize(&img));

    COLORDATA pal = Pal8();
    PixelRows rows(pal, 3, 2);
    rows.Row({4, 9, 2}, 1);
    BASEIMAGE ip = ImageOver(pal, rows);
    EXPECT_EQ(9, GetBaseImageMaxIndex(&ip));
    rows.Set(0, 0, 255);
    EXPECT_EQ(255, GetBaseImageMaxIndex(&ip));
    ip.Height = 0;
    EXPECT_EQ(0, GetBaseImageMaxIndex(&ip));
    BASEIMAGE x = ImageOver(Xrgb(), rows);
    EXPECT_EQ(-1, GetBaseImageMaxIndex(&x));
}

TEST(BaseImage, MultiplyAlphaPremultipliesColour)
{
    BASEIMAGE img;
    ASSERT_EQ(0, CreateARGB8ColorBaseImage(2, 1, &img));
    uint32_t px[2] = {0x80FF4020, 0x00FFFFFF};
    memcpy(img.Pixels, px, 8);
    ASSERT_EQ(0, MultiplyAlphaBaseImage(&img));
    memcpy(px, img.Pixels, 8);
    EXPECT_EQ(0x80802010u, px[0]);
    EXPECT_EQ(0x00000000u, px[1]);
    ReleaseBaseImage(&img);

    // Another layout with alpha becomes 32-bit ARGB first.
    COLORDATA a1555 = A1555();
    BASEIMAGE small = {};
    small.ColorData = a1555;
    small.Width = 1;
    small.Height = 1;
    small.Pitch = 2;
    small.Pixels = DXALLOC(2);
    uint16_t v = 0xFFFF;
    memcpy(small.Pixels, &v, 2);
    ASSERT_EQ(0, MultiplyAlphaBaseImage(&small));
    EXPECT_EQ(32, small.ColorData.BitDepth);
    EXPECT_EQ(0xFFFFFFFFu, GetBaseImagePixelARGB(&small, 0, 0));
    ReleaseBaseImage(&small);

    // Without alpha nothing happens.
    COLORDATA x = Xrgb();
    PixelRows rows(x, 1, 1);
    rows.Set(0, 0, 0x00FFFFFF);
    BASEIMAGE ix = ImageOver(x, rows);
    EXPECT_EQ(0, MultiplyAlphaBaseImage(&ix));
    EXPECT_EQ(0x00FFFFFFu, rows.Get(0, 0));
}

}  // namespace
