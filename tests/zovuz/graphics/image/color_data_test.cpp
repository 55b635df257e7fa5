// Pixel formats: building them from masks, packing and splitting colours, the screen colour
// values, half floats and the shared lookup tables.
#include <gtest/gtest.h>

#include "tests/zovuz/graphics/pixel_fixture.h"
#include "zovuz/graphics/image/base_image_internal.h"

namespace {

TEST(ColorData, SetColorDataPlacesEachMask)
{
    struct Case
    {
        int Depth;
        uint32_t R, G, B, A;
        int Widths[5], Locs[5];  // red, green, blue, alpha, unassigned
        uint32_t None;
    } cases[] = {
        {16, 0xF800, 0x07E0, 0x001F, 0, {5, 6, 5, 0, 0}, {11, 5, 0, 0, 0}, 0},
        {32, 0xFF0000, 0xFF00, 0xFF, 0, {8, 8, 8, 0, 8}, {16, 8, 0, 0, 24}, 0xFF000000u},
        {16, 0x7C00, 0x03E0, 0x001F, 0, {5, 5, 5, 0, 1}, {10, 5, 0, 0, 15}, 0x8000},
        {32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000u, {10, 10, 10, 2, 0}, {20, 10, 0, 30, 0}, 0},
        // A mask with a gap counts only its lowest run.
        {8, 0x0D, 0, 0, 0, {1, 0, 0, 0, 1}, {0, 0, 0, 0, 1}, 0xF2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.R);
        COLORDATA cd;
        memset(&cd, 0x5A, sizeof(cd));
        ASSERT_EQ(0, SetColorData(&cd, c.Depth, c.R, c.G, c.B, c.A, 0, 0, 0));
        const int widths[5] = {cd.RedWidth, cd.GreenWidth, cd.BlueWidth, cd.AlphaWidth, cd.NoneWidth};
        const int locs[5] = {cd.RedLoc, cd.GreenLoc, cd.BlueLoc, cd.AlphaLoc, cd.NoneLoc};
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(c.Widths[i], widths[i]) << i;
            EXPECT_EQ(c.Locs[i], locs[i]) << i;
        }
        EXPECT_EQ(c.None, cd.NoneMask);
        EXPECT_EQ(c.Depth / 8, cd.PixelBytes);
        EXPECT_EQ(0, cd.Palette[255].Alpha);  // the whole record is cleared first
    }

    COLORDATA ch;
    SetColorData(&ch, 32, 0xFF, 0xFF, 0xFF, 0xFF, 4, 16, 1);
    EXPECT_EQ(8, ch.PixelBytes);
    EXPECT_EQ(0u, ch.RedMask | ch.AlphaMask | ch.NoneMask);
    EXPECT_EQ(0, ch.BitDepth);
    EXPECT_EQ(1, ch.FloatFlag);
}

TEST(ColorData, SetColorDataNoneMaskFollowsTheWidths)
{
    COLORDATA c = X555();
    c.NoneMask = 0;
    SetColorDataNoneMask(&c);
    EXPECT_EQ(0x8000u, c.NoneMask);
    c = R565();
    c.NoneMask = 0x1234;
    SetColorDataNoneMask(&c);
    EXPECT_EQ(0u, c.NoneMask);
}

TEST(ColorData, StandardFormatsPackAColour)
{
    struct Case
    {
        const char *Name;
        int (*Make)(COLORDATA *);
        int Bytes;
        uint32_t Packed;  // MakeColorDataValue of (0x12, 0x34, 0x56, 0x78)
    } cases[] = {
        {"ARGB", CreateARGB8ColorData, 4, 0x78123456},
        {"XRGB", CreateXRGB8ColorData, 4, 0xFF123456},
        {"24-bit", CreateFullColorData, 3, 0x123456},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        COLORDATA cd;
        memset(&cd, 0, sizeof(cd));
        c.Make(&cd);
        EXPECT_EQ(c.Bytes, cd.PixelBytes);
        EXPECT_EQ(c.Packed, MakeColorDataValue(&cd, 0x12, 0x34, 0x56, 0x78));
        int r = -1, g = -1, b = -1, a = -1;
        GetColorDataRGBA(&cd, c.Packed, &r, &g, &b, &a);
        EXPECT_EQ(0x12, r);
        EXPECT_EQ(0x56, b);
        EXPECT_EQ(cd.AlphaWidth ? 0x78 : -1, a);  // 8-bit colour without alpha leaves it alone
    }

    COLORDATA grey;
    memset(&grey, 0x77, sizeof(grey));
    CreateGrayPaletteColorData(&grey);
    EXPECT_EQ(255u, grey.PaletteTop);
    EXPECT_EQ(0x90u, MakeColorDataValue(&grey, 0x90, 0x90, 0x90, 0));
    EXPECT_EQ(0x20u, MakeColorDataValue(&grey, 0x10, 0x20, 0x30, 0));
    COLORDATA pal;
    memset(&pal, 0x77, sizeof(pal));
    CreatePalette8ColorData(&pal);
    EXPECT_EQ(0u, pal.Palette[200].Red);
}

TEST(ColorData, NearestPaletteEntryPrefersTheLowerIndexOnATie)
{
    COLORDATA pal = Pal8();
    for (int i = 0; i < 256; ++i)
        SetEntry(pal, i, 0x00FFFFFF);
    SetEntry(pal, 7, 0x00100000);
    SetEntry(pal, 3, 0x00300000);
    EXPECT_EQ(3u, MakeColorDataValue(&pal, 0x20, 0, 0, 0));
    EXPECT_EQ(7u, MakeColorDataValue(&pal, 0x1F, 0, 0, 0));
}

TEST(ColorData, ChannelsScaleByTheirWidth)
{
    struct Case
    {
        COLORDATA (*Format)();
        uint32_t Value;
        int R, G, B, A;
    } cases[] = {
        {R565, 0xFFFF, 255, 255, 255, 0},
        {R565, 0x8410, 131, 129, 131, 0},
        {A1555, 0x8000, 0, 0, 0, 255},
        // 8-bit colour comes out unscaled; a narrower alpha is scaled.
        {[] { return MaskFormat(32, 0xFF0000, 0xFF00, 0xFF, 0x0F000000); }, 0x0A804020, 0x80, 0x40,
         0x20, 170},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.Value);
        COLORDATA cd = c.Format();
        int r, g, b, a;
        ASSERT_EQ(0, GetColorDataRGBA(&cd, c.Value, &r, &g, &b, &a));
        EXPECT_EQ(c.R, r);
        EXPECT_EQ(c.G, g);
        EXPECT_EQ(c.B, b);
        EXPECT_EQ(c.A, a);
        EXPECT_EQ(0, GetColorDataRGBA(&cd, c.Value, nullptr, nullptr, nullptr, nullptr));
    }
    // Packing takes the top bits of each byte; channels wider than 8 bits take them high.
    COLORDATA s565 = R565(), deep = MaskFormat(32, 0x3FF00000, 0xFFC00, 0x3FF, 0);
    EXPECT_EQ(0xFC08u, MakeColorDataValue(&s565, 0xFF, 0x80, 0x40, 0));
    EXPECT_EQ(0xC0000000u | 0x3FC00000u | (0x80u << 12) | (0x40u << 2),
              MakeColorDataValue(&deep, 0xFF, 0x80, 0x40, 0));
}

TEST(ColorData, HalfFloats)
{
    EXPECT_EQ(1.0f, Float16ToFloat32(0x3C00));
    EXPECT_EQ(-2.0f, Float16ToFloat32(0xC000));
    EXPECT_EQ(0.0f, Float16ToFloat32(0));
    EXPECT_EQ(0x3C00, Float32ToFloat16(1.0f));
    EXPECT_EQ(0xC000, Float32ToFloat16(-2.0f));
    EXPECT_EQ(0, Float32ToFloat16(0.0f));
    EXPECT_EQ(0, Float32ToFloat16(1.0f / (1 << 20)));   // exponent below the half range
    EXPECT_EQ(0x7C00, Float32ToFloat16(65536.0f * 65536.0f));  // exponent capped at 31
    EXPECT_EQ(0x3E00, Float32ToFloat16(1.5f + 3.0f / 4096));   // mantissa cut, not rounded
}

TEST(ColorData, ColourValuesFollowTheBackEnd)
{
    ColorValueTargetData saved = ColorValueTarget;
    int r, g, b;
    ColorValueTarget = {1, 16};
    EXPECT_EQ(0xFF102030u, GetColorValue(0x10, 0x20, 0x30));
    SplitColor(0x44102030, &r, &g, &b);
    EXPECT_EQ(0x10, r);
    EXPECT_EQ(0x30, b);

    ColorValueTarget = {0, 16};
    EXPECT_EQ(0xF81Fu, GetColorValue(255, 0, 255));
    SplitColor(0x8410, &r, &g, &b);
    EXPECT_EQ(131, r);
    EXPECT_EQ(129, g);
    EXPECT_EQ(131, b);

    ColorValueTarget = {0, 32};
    EXPECT_EQ(0xFF102030u, GetColorValue(0x10, 0x20, 0x30));
    SplitColor(0x00102030, &r, &g, &b);
    EXPECT_EQ(0x20, g);
    ColorValueTarget = saved;

    COLOR_F c;
    COLOR_F back = MakeColorF(&c, 0.1f, 0.2f, 0.3f, 0.4f);
    EXPECT_EQ(0.4f, c.a);
    EXPECT_EQ(0.1f, back.r);
    EXPECT_EQ(0x80102030u, MakeColorARGB(0x10, 0x20, 0x30, 0x80));
}

TEST(ColorData, SharedTablesAreBuiltOnce)
{
    BaseImageTables.Initialized = 0;
    ASSERT_EQ(0, InitializeBaseImageTables());
    BaseImageTables.MulTable[1][1] = 77;  // a second start must leave the tables alone
    EXPECT_EQ(-1, InitializeBaseImageTables());
    EXPECT_EQ(77, BaseImageTables.MulTable[1][1]);
    BaseImageTables.MulTable[1][1] = 0;

    EXPECT_EQ(128, BaseImageTables.DivTable[128][255]);
    EXPECT_EQ(255, BaseImageTables.DivTable[200][100]);
    EXPECT_EQ(0, BaseImageTables.DivTable[50][0]);
    EXPECT_EQ(127, BaseImageTables.MulTable[255][127]);
    EXPECT_EQ(63, BaseImageTables.MulTable[128][127]);
    const uint8_t *clamp = BaseImageClampTable();
    EXPECT_EQ(0, clamp[-512]);
    EXPECT_EQ(0, clamp[-1]);
    EXPECT_EQ(200, clamp[200]);
    EXPECT_EQ(255, clamp[767]);
    // The YUV tables are centred on their zero points (chroma 128, luma 16).
    EXPECT_EQ(0, BaseImageTables.YuvVToRed[128] | BaseImageTables.YuvUToGreen[128] |
                     BaseImageTables.YuvVToGreen[128] | BaseImageTables.YuvUToBlue[128] |
                     BaseImageTables.YuvLuma[16]);

    EXPECT_EQ(0, TerminateBaseImageTables());
    EXPECT_EQ(-1, TerminateBaseImageTables());
    EXPECT_EQ(128, BaseImageTables.DivTable[128][255]);  // the tables stay for late readers
}

TEST(ColorData, ImageLoadParamsCopyTheCurrentSettings)
{
    ImageLoadDefaultsData saved = ImageLoadDefaults;
    ImageLoadDefaults.TransparentColor = 0x00FF00FF;
    ImageLoadDefaults.LoaderCount = 1;
    ImageLoadDefaults.Loaders[0] = [](ImageStreamPair *, BASEIMAGE *, int) { return -1; };
    ImageLoadParam p;
    memset(&p, 0x5A, sizeof(p));
    InitImageLoadParams(&p, 1);
    EXPECT_EQ(1, p.LoaderCount);
    EXPECT_EQ(ImageLoadDefaults.Loaders[0], p.Loaders[0]);
    EXPECT_EQ(nullptr, p.Loaders[1]);
    EXPECT_EQ(1, p.HeaderOnly);
    EXPECT_EQ(0, p.PremultipliedAlphaFlag);
    EXPECT_EQ(1, p.TransparentColorFlag);
    EXPECT_EQ(0x00FF00FFu, p.TransparentColor);
    EXPECT_EQ(GetMemStreamFunctionTable()->Read, p.MemStreamTable.Read);
    EXPECT_EQ(GetFileStreamFunctionTable()->Seek, p.FileStreamTable.Seek);
    ImageLoadDefaults = saved;
}

}  // namespace
