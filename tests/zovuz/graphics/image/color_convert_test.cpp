// ConvertColorDataBlt: the fast pairs and the general conversion give their own exact results;
// the early cases (index copies, equal layouts, colour-key skip and alpha test, palettes,
// 4-bit packing), options, float and 16-bit channels, and refused calls.
#include <gtest/gtest.h>

#include <random>

#include "tests/zovuz/graphics/image/color_convert_reference.h"
#include "tests/zovuz/graphics/pixel_fixture.h"
#include "zovuz/graphics/image/base_image_internal.h"

namespace {

struct Opt
{
    int Mirror = 0, KeyTest = 0;
    uint32_t Key = 0;
    int Dither = 0, AlphaOnly = 0, RedIsAlpha = 0, Skip = 0, Remap = 0;
    const PixelRows *AlphaRows = nullptr;
    const COLORDATA *AlphaFormat = nullptr;
};

struct Converted
{
    int Result;
    PixelRows Dest;
};

// Converts the whole source into a destination of the same size filled with 0xCC bytes.
Converted Convert(const COLORDATA &Dst, const COLORDATA &Src, PixelRows &Rows, const Opt &o = Opt())
{
    Converted run{0, PixelRows(Dst, Rows.Width, Rows.Height, 0xCC)};
    ImageRect rect = {0, 0, Rows.Width, Rows.Height};
    run.Result = ConvertColorDataBlt(
        run.Dest.Data.data(), run.Dest.Pitch, &Dst, Rows.Data.data(), Rows.Pitch, &Src,
        o.AlphaRows ? o.AlphaRows->Data.data() : nullptr, o.AlphaRows ? o.AlphaRows->Pitch : 0,
        o.AlphaFormat, 0, 0, &rect, o.Mirror, o.KeyTest, o.Key, o.Dither, o.AlphaOnly, o.RedIsAlpha,
        o.Skip, o.Remap);
    return run;
}

COLORDATA Ch1() { return ChannelFormat(1, 8, 0); }
COLORDATA Ch2() { return ChannelFormat(2, 8, 0); }

COLORDATA PaletteWithTwo()
{
    COLORDATA c = Pal8();
    SetEntry(c, 0, 0x80FF8040);  // the fourth byte plays no part in the key
    SetEntry(c, 1, 0x00102030);
    return c;
}

struct PairCase
{
    const char *Name;
    COLORDATA (*Src)();
    COLORDATA (*Dst)();
    int KeyTest;
    uint32_t In[2];
    uint32_t Fast[2];
    bool HasGeneral;
    uint32_t General[2];  // the same pair forced through the general conversion
};

TEST(ConvertColorDataBlt, FastPairsAndTheirGeneralCounterparts)
{
    const uint32_t key = 0x00FF8040;
    const PairCase cases[] = {
        {"1ch->1ch", Ch1, Ch1, 0, {0x5A, 0x01}, {0x5A, 0x01}, false, {}},
        {"1ch->2ch", Ch1, Ch2, 0, {0x5A, 0x01}, {0x5A5A, 0x0101}, false, {}},
        {"1ch->ARGB", Ch1, Argb, 0, {0x5A, 0x01}, {0x5A5A5A5A, 0x01010101}, false, {}},
        {"2ch->2ch", Ch2, Ch2, 0, {0x1234, 0}, {0x1234, 0}, false, {}},
        {"2ch->XBGR", Ch2, Xbgr, 0, {0x1234, 0}, {0x12341234, 0}, false, {}},
        {"pal->565", PaletteWithTwo, R565, 0, {0, 1}, {0xFC08, 0x1106}, false, {}},
        {"pal->555", PaletteWithTwo, X555, 0, {0, 1}, {0xFE08, 0x8886}, false, {}},
        {"pal->XRGB", PaletteWithTwo, Xrgb, 0, {0, 1}, {0xFFFF8040, 0xFF102030}, false, {}},
        {"ARGB->ABGR", Argb, Abgr, 0, {0x80112233, 0}, {0x80332211, 0}, false, {}},
        {"XRGB->ABGR is opaque", Xrgb, Abgr, 0, {0x80112233, 0}, {0xFF332211, 0xFF000000}, true,
         {0xFF332211, 0xFF000000}},
        {"ARGB->XRGB keeps the alpha byte", Argb, Xrgb, 0, {0x80112233, 0}, {0x80112233, 0},
         true, {0xFF112233, 0xFF000000}},
        {"XRGB->565", Xrgb, R565, 0, {0x00FF8040, 0x00070301}, {0xFC08, 0}, false, {}},
        {"ARGB->565", Argb, R565, 0, {0x12FF8040, 0}, {0xFC08, 0}, false, {}},
        {"1555->ABGR", A1555, Abgr, 0, {0xFC1F, 0x7C1F}, {0xFFF800F8, 0x00F800F8}, true,
         {0xFFFF00FF, 0x00FF00FF}},
        {"565->24", R565, Rgb24, 0, {0xFFFF, 0x0821}, {0xF8FCF8, 0x080408}, true,
         {0xFFFFFF, 0x080408}},
        {"565->XRGB", R565, Xrgb, 0, {0xFFFF, 0x0821}, {0x00F8FCF8, 0x00080408}, true,
         {0xFFFFFFFF, 0xFF080408}},
        {"565->555", R565, X555, 0, {0xFFFF, 0x0820}, {0x7FFF, 0x0400}, false, {}},
        {"555->565", X555, R565, 0, {0x7FFF, 0x8420}, {0xFFFF, 0x0860}, false, {}},
        {"24->565", Rgb24, R565, 0, {0xFF8040, 0}, {0xFC08, 0}, false, {}},
        {"24->555", Rgb24, X555, 0, {0xFF8040, 0}, {0xFE08, 0x8000}, false, {}},
        {"24->XRGB", Rgb24, Xrgb, 0, {0xFF8040, 0}, {0xFFFF8040, 0xFF000000}, false, {}},
        {"24->XBGR", Rgb24, Xbgr, 0, {0xFF8040, 0}, {0xFF4080FF, 0xFF000000}, false, {}},
        {"key pal->1555", PaletteWithTwo, A1555, 1, {0, 1}, {0x7E08, 0x8886}, false, {}},
        {"key pal->ARGB", PaletteWithTwo, Argb, 1, {0, 1}, {0x00FF8040, 0xFF102030}, false, {}},
        {"key pal->ABGR", PaletteWithTwo, Abgr, 1, {0, 1}, {0x004080FF, 0xFF302010}, false, {}},
        {"key 24->1555", Rgb24, A1555, 1, {0xFF8040, 0x102030}, {0x7E08, 0x8886}, false, {}},
        {"key 24->ARGB", Rgb24, Argb, 1, {0xFF8040, 0x102030}, {0x00FF8040, 0xFF102030}, false, {}},
        {"key 24->ABGR", Rgb24, Abgr, 1, {0xFF8040, 0x102030}, {0x004080FF, 0xFF302010}, false, {}},
        {"key XRGB->ABGR", Xrgb, Abgr, 1, {0xAAFF8040, 0x102030}, {0x004080FF, 0xFF302010}, false, {}},
        {"key 565->5551", R565, A5551, 1, {0xFC08, 0xFC09}, {0xFC10, 0xFC13}, false, {}},
        {"key 565->1555", R565, A1555, 1, {0xFC08, 0xFC09}, {0x7E08, 0xFE09}, false, {}},
        {"key 565->ARGB", R565, Argb, 1, {0xFC08, 0xFC09}, {0x00F88040, 0xFFF88048}, true,
         {0x00FF8141, 0xFFFF814A}},
        {"key 565->ABGR", R565, Abgr, 1, {0xFC08, 0xFC09}, {0x004080F8, 0xFF4880F8}, false, {}},
        {"key 555->5551", X555, A5551, 1, {0xFE08, 0x7E09}, {0xFC10, 0xFC13}, false, {}},
        {"key 555->ARGB", X555, Argb, 1, {0xFE08, 0x7E09}, {0x00F88040, 0xFFF88048}, false, {}},
    };
    for (const PairCase &c : cases) {
        SCOPED_TRACE(c.Name);
        COLORDATA src = c.Src(), dst = c.Dst();
        PixelRows rows(src, 2, 1);
        rows.Row({c.In[0], c.In[1]});
        Opt o;
        o.KeyTest = c.KeyTest;
        o.Key = key;
        Converted fast = Convert(dst, src, rows, o);
        ASSERT_EQ(0, fast.Result);
        EXPECT_EQ(c.Fast[0], fast.Dest.Get(0, 0));
        EXPECT_EQ(c.Fast[1], fast.Dest.Get(1, 0));
        if (c.HasGeneral) {
            // Dithering never changes a widened channel, but it keeps the fast pairs out.
            o.Dither = COLOR_DITHER_ORDERED;
            Converted general = Convert(dst, src, rows, o);
            ASSERT_EQ(0, general.Result);
            EXPECT_EQ(c.General[0], general.Dest.Get(0, 0));
            EXPECT_EQ(c.General[1], general.Dest.Get(1, 0));
        }
    }
}

// The 5-6-5 -> XRGB pair over every 16-bit value, on rows whose widths leave every remainder of
// the pair's eight-pixel steps: each pixel widened with its new low bits 0, nothing written past a
// row's end.
TEST(ConvertColorDataBlt, The565ToXrgbPairWidensEveryValueOnRowsOfAnyWidth)
{
    for (int width : {1, 7, 8, 9, 15, 16, 17, 259}) {
        SCOPED_TRACE(width);
        const int height = (65536 + width - 1) / width;
        PixelRows rows(R565(), width, height);
        for (int i = 0; i < width * height; ++i) rows.Set(i % width, i / width, (uint32_t)(i * 40503u) & 0xFFFF);
        Converted out = Convert(Xrgb(), R565(), rows);
        ASSERT_EQ(0, out.Result);
        int wrong = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const uint32_t v = rows.Get(x, y);
                const uint32_t want = (v & 0xF800) << 8 | (v & 0x07E0) << 5 | (v & 0x001F) << 3;
                wrong += out.Dest.Get(x, y) != want;
            }
            for (int pad = 0; pad < 4; ++pad) wrong += out.Dest.At(width, y)[pad] != 0xCC;
        }
        EXPECT_EQ(0, wrong);
    }
}

TEST(ConvertColorDataBlt, GeneralPathScalesEveryChannelThatChangesWidth)
{
    COLORDATA s = R565(), d = Xrgb();
    PixelRows rows(s, 1, 1);
    rows.Row({0xFFFF});
    EXPECT_EQ(0x00F8FCF8u, Convert(d, s, rows).Dest.Get(0, 0));
    Opt skip;
    skip.Skip = 1;
    skip.Key = 0x1234;  // never matches: the pair goes to the general conversion
    EXPECT_EQ(0xFFFFFFFFu, Convert(d, s, rows, skip).Dest.Get(0, 0));

    // The general path widens a 5-bit 16 to 131 and 31 to 255.
    rows.Row({0x8000});
    EXPECT_EQ(0xFF830000u, Convert(d, s, rows, skip).Dest.Get(0, 0));

    // Blue alone changing width is scaled too (0x80 of 8 bits is 32 of 6).
    COLORDATA x = Xrgb(), blue6 = MaskFormat(32, 0xFF0000, 0xFF00, 0x3F, 0);
    PixelRows b(x, 1, 1);
    b.Row({0x00000080});
    EXPECT_EQ(0xFF0000E0u, Convert(blue6, x, b).Dest.Get(0, 0));
}

TEST(ConvertColorDataBlt, SixteenBitPairsGiveTheSameResultInTwoAndFourPixelSteps)
{
    for (int step : {2, 4}) {
        ColorConvertSettings.PixelStep = step;
        for (int width = 1; width <= 9; ++width) {
            SCOPED_TRACE(testing::Message() << "step " << step << " width " << width);
            COLORDATA s565 = R565(), s555 = X555();
            PixelRows a(s565, width, 2), b(s555, width, 2);
            for (int y = 0; y < 2; ++y) {
                for (int x = 0; x < width; ++x) {
                    a.Set(x, y, (uint32_t)(0x1357 * (x + 1) + 0x0F0F * y) & 0xFFFF);
                    b.Set(x, y, ((uint32_t)(0x2468 * (x + 1) + 0x0F0F * y) & 0x7FFF) | 0x8000);
                }
            }
            Converted to555 = Convert(s555, s565, a);
            Converted to565 = Convert(s565, s555, b);
            for (int y = 0; y < 2; ++y) {
                for (int x = 0; x < width; ++x) {
                    uint32_t c = a.Get(x, y);
                    ASSERT_EQ(((c >> 1) & 0x7C00) | ((c >> 1) & 0x3E0) | (c & 0x1F), to555.Dest.Get(x, y));
                    uint32_t e = b.Get(x, y);
                    uint32_t g5 = (e >> 5) & 31;
                    ASSERT_EQ(((e & 0x7C00) << 1) | (((g5 << 1) | (g5 & 1)) << 5) | (e & 0x1F),
                              to565.Dest.Get(x, y));
                }
                // Nothing past the row is touched.
                ASSERT_EQ(0xCC, to555.Dest.At(width, y)[0]);
            }
        }
    }
    ColorConvertSettings.PixelStep = 0;
}

TEST(ConvertColorDataBlt, EmptyRectanglesAndUnconvertiblePairsAreRefused)
{
    COLORDATA x = Xrgb(), dxt = Argb();
    dxt.Format = COLORDATA_FORMAT_DXT1;
    PixelRows src(x, 2, 2, 0x11), dst(x, 2, 2, 0xCC);
    ImageRect flat = {1, 0, 1, 2}, full = {0, 0, 2, 2};
    EXPECT_EQ(-1, ConvertColorDataBlt(dst.Data.data(), dst.Pitch, &x, src.Data.data(), src.Pitch, &x,
                                      nullptr, 0, nullptr, 0, 0, &flat, 0, 0, 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(0xCCu, dst.Data[0]);
    EXPECT_EQ(-1, ConvertColorDataBlt(dst.Data.data(), dst.Pitch, &x, src.Data.data(), src.Pitch, &dxt,
                                      nullptr, 0, nullptr, 0, 0, &full, 0, 0, 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(-1, ConvertColorDataBlt(dst.Data.data(), dst.Pitch, &x, nullptr, src.Pitch, &x, nullptr,
                                      0, nullptr, 0, 0, &full, 0, 0, 0, 0, 0, 0, 0, 0));
    COLORDATA half3 = ChannelFormat(3, 16, 1);
    half3.PixelBytes = 4;  // does not match three half floats
    EXPECT_EQ(-1, ConvertColorDataBlt(dst.Data.data(), dst.Pitch, &x, src.Data.data(), src.Pitch,
                                      &half3, nullptr, 0, nullptr, 0, 0, &full, 0, 0, 0, 0, 0, 0, 0, 0));
}

TEST(ConvertColorDataBlt, EightBitDestinations)
{
    COLORDATA pal = Pal8();
    PixelRows idx(pal, 3, 1);
    idx.Row({3, 200, 17});
    Converted copy = Convert(pal, pal, idx);
    EXPECT_EQ(200, copy.Result);  // the highest index copied
    EXPECT_EQ(17u, copy.Dest.Get(2, 0));

    // A mirrored index copy goes on to the equal-layout case.
    Opt mirror;
    mirror.Mirror = 1;
    Converted mirrored = Convert(pal, pal, idx, mirror);
    EXPECT_EQ(0, mirrored.Result);
    EXPECT_EQ(17u, mirrored.Dest.Get(0, 0));
    EXPECT_EQ(3u, mirrored.Dest.Get(2, 0));

    // Differing palettes with remapping: each index becomes the nearest destination entry.
    COLORDATA src = Pal8(), dst = Pal8();
    SetEntry(src, 1, 0x00FF0000);
    SetEntry(src, 2, 0x000000F0);
    SetEntry(dst, 5, 0x00F00000);
    SetEntry(dst, 9, 0x000000FF);
    PixelRows p(src, 3, 1);
    p.Row({1, 2, 0});
    Opt remap;
    remap.Remap = 1;
    Converted r = Convert(dst, src, p, remap);
    EXPECT_EQ(0, r.Result);
    EXPECT_EQ(5u, r.Dest.Get(0, 0));
    EXPECT_EQ(9u, r.Dest.Get(1, 0));
    EXPECT_EQ(0u, r.Dest.Get(2, 0));
    EXPECT_EQ(2, Convert(dst, src, p).Result);  // without remapping the indices are copied
    // Equal palettes are copied, not remapped (index 2 stays although entry 0 is the same).
    EXPECT_EQ(200, Convert(pal, pal, idx, remap).Result);

    // Packed pixels find the nearest entry; 5-bit channels are widened to 0..255 first.
    COLORDATA s565 = R565();
    PixelRows q(s565, 2, 1);
    q.Row({0xF800, 0x001F});
    Converted near = Convert(dst, s565, q);
    EXPECT_EQ(5u, near.Dest.Get(0, 0));
    EXPECT_EQ(9u, near.Dest.Get(1, 0));
}

TEST(ConvertColorDataBlt, FourBitDestinationsPackPairsFromEvenPositions)
{
    COLORDATA pal = Pal8(), nib = Pal8();
    nib.BitDepth = 4;
    PixelRows src(pal, 3, 1);
    src.Row({0x01, 0x0E, 0x27});
    PixelRows dst(pal, 4, 1, 0xCC);
    ImageRect rect = {0, 0, 3, 1};
    ASSERT_EQ(0, ConvertColorDataBlt(dst.Data.data(), dst.Pitch, &nib, src.Data.data(), src.Pitch,
                                     &pal, nullptr, 0, nullptr, 2, 0, &rect, 0, 0, 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(0xE1, dst.Data[1]);  // left pixel in the low nibble
    EXPECT_EQ(0x27, dst.Data[2]);  // an odd last pixel keeps its byte
    EXPECT_EQ(0xCC, dst.Data[0]);
    EXPECT_EQ(-1, ConvertColorDataBlt(dst.Data.data(), dst.Pitch, &nib, src.Data.data(), src.Pitch,
                                      &pal, nullptr, 0, nullptr, 1, 0, &rect, 0, 0, 0, 0, 0, 0, 0, 0));
    COLORDATA x = Xrgb();
    PixelRows wide(x, 2, 1);
    EXPECT_EQ(-1, ConvertColorDataBlt(dst.Data.data(), dst.Pitch, &nib, wide.Data.data(), wide.Pitch,
                                      &x, nullptr, 0, nullptr, 0, 0, &rect, 0, 0, 0, 0, 0, 0, 0, 0));
}

TEST(ConvertColorDataBlt, MirrorAndColourKeySkip)
{
    COLORDATA x = Xrgb(), a = Argb(), s565 = R565();
    PixelRows rows(x, 3, 1);
    rows.Row({0x00000001, 0x00000002, 0x00000003});
    Opt mirror;
    mirror.Mirror = 1;
    Converted m = Convert(x, x, rows, mirror);
    EXPECT_EQ(3u, m.Dest.Get(0, 0));
    EXPECT_EQ(1u, m.Dest.Get(2, 0));
    // Mirrored through the general conversion as well.
    Converted mg = Convert(a, x, rows, mirror);
    EXPECT_EQ(0xFF000003u, mg.Dest.Get(0, 0));
    EXPECT_EQ(0xFF000001u, mg.Dest.Get(2, 0));

    // XRGB to ARGB: magenta pixels stay unwritten, the others get a full top byte.
    rows.Row({0x00FF00FF, 0x00102030, 0xAAFF00FF});
    Opt skip;
    skip.Skip = 1;
    skip.Key = 0x00FF00FF;
    Converted s = Convert(a, x, rows, skip);
    EXPECT_EQ(0xCCCCCCCCu, s.Dest.Get(0, 0));
    EXPECT_EQ(0xFF102030u, s.Dest.Get(1, 0));
    EXPECT_EQ(0xCCCCCCCCu, s.Dest.Get(2, 0));

    // Equal layouts compare the whole pixel; the general path compares the source's bits.
    PixelRows p(s565, 2, 1);
    p.Row({0xF81F, 0x07E0});
    skip.Key = 0xF81F;
    Converted same = Convert(s565, s565, p, skip);
    EXPECT_EQ(0xCCCCu, same.Dest.Get(0, 0));
    EXPECT_EQ(0x07E0u, same.Dest.Get(1, 0));
    Converted general = Convert(x, s565, p, skip);
    EXPECT_EQ(0xCCCCCCCCu, general.Dest.Get(0, 0));
    EXPECT_EQ(0xFF00FF00u, general.Dest.Get(1, 0));
    // The general path compares only the bits the source has.
    skip.Key = 0xAAFF00FF;
    rows.Row({0x00FF00FF, 0x00102030});
    Converted narrowed = Convert(s565, x, rows, skip);
    EXPECT_EQ(0xCCCCu, narrowed.Dest.Get(0, 0));
    EXPECT_EQ(0x1106u, narrowed.Dest.Get(1, 0));
    // Mirroring switches the skip off.
    skip.Mirror = 1;
    Converted mirrored = Convert(s565, x, rows, skip);
    EXPECT_EQ(0xF81Fu, mirrored.Dest.Get(2, 0));
}

TEST(ConvertColorDataBlt, ColourKeyAlphaTest)
{
    COLORDATA x = Xrgb(), a = Argb(), s555 = X555(), a1555 = A1555(), s565 = R565();
    Opt key;
    key.KeyTest = 1;
    key.Key = 0x00FF00FF;
    PixelRows rows(x, 2, 1);
    rows.Row({0x12FF00FF, 0x00FF00FE});
    Converted same = Convert(a, x, rows, key);
    EXPECT_EQ(0x00FF00FFu, same.Dest.Get(0, 0));
    EXPECT_EQ(0xFFFF00FEu, same.Dest.Get(1, 0));

    // The key is found in a 5-5-5 source whatever its unassigned top bit holds.
    PixelRows p(s555, 3, 1);
    p.Row({0x7C1F, 0xFC1F, 0x7C1E});
    Converted k = Convert(a1555, s555, p, key);
    EXPECT_EQ(0x7C1Fu, k.Dest.Get(0, 0));
    EXPECT_EQ(0x7C1Fu, k.Dest.Get(1, 0));
    EXPECT_EQ(0xFC1Eu, k.Dest.Get(2, 0));

    // A source with its own alpha ignores the test; so does a destination without alpha.
    PixelRows argbRows(a, 1, 1);
    argbRows.Row({0x40FF00FF});
    EXPECT_EQ(0x40FF00FFu, Convert(a, a, argbRows, key).Dest.Get(0, 0));
    PixelRows q(s565, 1, 1);
    q.Row({0xF81F});
    EXPECT_EQ(0x00F800F8u, Convert(x, s565, q, key).Dest.Get(0, 0));
    // Red as alpha, or a separate alpha image, switch the test off.
    Opt redKey = key;
    redKey.RedIsAlpha = 1;
    EXPECT_EQ(0xFFFF00FEu, Convert(a, x, rows, redKey).Dest.Get(1, 0));
    EXPECT_EQ(0xFFFF00FFu, Convert(a, x, rows, redKey).Dest.Get(0, 0));
    COLORDATA grey;
    CreateGrayPaletteColorData(&grey);
    PixelRows alpha(grey, 2, 1);
    alpha.Row({0x40, 0x50});
    Opt imageKey = key;
    imageKey.AlphaRows = &alpha;
    imageKey.AlphaFormat = &grey;
    EXPECT_EQ(0x40FF00FFu, Convert(a, x, rows, imageKey).Dest.Get(0, 0));

    // General path (mirror keeps the fast pairs out): the key is compared in source units.
    key.Mirror = 1;
    PixelRows r(s565, 2, 1);
    r.Row({0xF81F, 0xF81E});
    Converted g = Convert(a, s565, r, key);
    EXPECT_EQ(0xFFFF00F6u, g.Dest.Get(0, 0));  // blue 30 widens to 246
    EXPECT_EQ(0x00FF00FFu, g.Dest.Get(1, 0));
}

TEST(ConvertColorDataBlt, AlphaSourcesInTheGeneralConversion)
{
    COLORDATA x = Xrgb(), a = Argb(), a1555 = A1555(), grey;
    CreateGrayPaletteColorData(&grey);
    PixelRows colour(x, 2, 1);
    colour.Row({0x00102030, 0x00405060});
    PixelRows alpha(grey, 2, 1);
    alpha.Row({0x80, 0x00});

    Opt withAlpha;
    withAlpha.AlphaRows = &alpha;
    withAlpha.AlphaFormat = &grey;
    Converted r = Convert(a, x, colour, withAlpha);
    EXPECT_EQ(0x80102030u, r.Dest.Get(0, 0));
    EXPECT_EQ(0x00405060u, r.Dest.Get(1, 0));
    // The alpha image's red is scaled to a 1-bit alpha.
    Converted narrow = Convert(a1555, x, colour, withAlpha);
    EXPECT_EQ(0x8886u, narrow.Dest.Get(0, 0));
    EXPECT_EQ(0x214Cu, narrow.Dest.Get(1, 0));
    // An image's own alpha wins over the separate alpha image.
    PixelRows own(a, 1, 1);
    own.Row({0x33102030});
    EXPECT_EQ(0x33102030u, Convert(a, a, own, withAlpha).Dest.Get(0, 0));

    Opt red;
    red.RedIsAlpha = 1;
    EXPECT_EQ(0x10102030u, Convert(a, x, colour, red).Dest.Get(0, 0));
    // Red as alpha into a format without alpha leaves the colour alone.
    EXPECT_EQ(0xFF102030u, Convert(x, x, colour, red).Dest.Get(0, 0));
    Opt only;
    only.AlphaOnly = 1;
    EXPECT_EQ(0xFF000000u, Convert(a, x, colour, only).Dest.Get(0, 0));
    EXPECT_EQ(0x33000000u, Convert(a, a, own, only).Dest.Get(0, 0));
}

TEST(ConvertColorDataBlt, DitherModesRoundNarrowedChannels)
{
    // Grey 4 into 5-6-5: red and blue keep 0 and drop 4 (half of their 3 dropped bits); green
    // keeps 1 and drops nothing.
    COLORDATA x = Xrgb(), s565 = R565();
    PixelRows rows(x, 4, 4);
    for (int y = 0; y < 4; ++y)
        for (int i = 0; i < 4; ++i)
            rows.Set(i, y, 0x00040404);
    Opt ordered;
    ordered.Dither = COLOR_DITHER_ORDERED;
    Converted o = Convert(s565, x, rows, ordered);
    int raised = 0;
    for (int y = 0; y < 4; ++y)
        for (int i = 0; i < 4; ++i)
            raised += (o.Dest.Get(i, y) & 0x1F) == 1;
    EXPECT_EQ(8, raised);  // Bayer thresholds 0..7 of 16 cells lie below 4
    EXPECT_EQ(0x0821u, o.Dest.Get(0, 0));
    EXPECT_EQ(0x0020u, o.Dest.Get(1, 0));

    // Error carry: the carry passes 7 on every second pixel, across rows too.
    Opt carry;
    carry.Dither = COLOR_DITHER_CARRY;
    Converted c = Convert(s565, x, rows, carry);
    EXPECT_EQ(0x0020u, c.Dest.Get(0, 0));
    EXPECT_EQ(0x0821u, c.Dest.Get(1, 0));
    EXPECT_EQ(0x0020u, c.Dest.Get(2, 0));
    EXPECT_EQ(0x0821u, c.Dest.Get(3, 0));
    EXPECT_EQ(0x0821u, c.Dest.Get(1, 1));

    // The carry adds only once it passes the dropped-bit mask: 7, then 14.
    PixelRows sevens(x, 2, 1);
    sevens.Row({0x00070707, 0x00070707});
    Converted c7 = Convert(s565, x, sevens, carry);
    EXPECT_EQ(0x0020u, c7.Dest.Get(0, 0));
    EXPECT_EQ(0x0841u, c7.Dest.Get(1, 0));  // green carries 3, then 6

    // A value at the top of its range stays inside the channel.
    rows.Set(0, 0, 0x00FFFFFF);
    EXPECT_EQ(0xFFFFu, Convert(s565, x, rows, ordered).Dest.Get(0, 0));
}

TEST(ConvertColorDataBlt, FloatAndSixteenBitChannels)
{
    COLORDATA a = Argb(), f32 = ChannelFormat(4, 32, 1), f16 = ChannelFormat(4, 16, 1),
              i16 = ChannelFormat(4, 16, 0), g32 = ChannelFormat(1, 32, 1);
    // Floats into bytes: above 1 saturates, negatives give 0, truncation in between.
    PixelRows fr(f32, 1, 1);
    const float values[4] = {0.5f, 2.0f, -1.0f, 1.0f};
    memcpy(fr.At(0, 0), values, 16);
    EXPECT_EQ(0xFF7FFF00u, Convert(a, f32, fr).Dest.Get(0, 0));
    // One float channel: the missing channels read as 1.0.
    PixelRows gr(g32, 1, 1);
    const float quarter = 0.25f;
    memcpy(gr.At(0, 0), &quarter, 4);
    EXPECT_EQ(0xFF3FFFFFu, Convert(a, g32, gr).Dest.Get(0, 0));
    // A packed source without alpha gives float alpha 1.0.
    COLORDATA x = Xrgb();
    PixelRows xr(x, 1, 1);
    xr.Row({0x00FF0000});
    float got[4];
    memcpy(got, Convert(f32, x, xr).Dest.At(0, 0), 16);
    EXPECT_EQ(1.0f, got[0]);
    EXPECT_EQ(0.0f, got[1]);
    EXPECT_EQ(1.0f, got[3]);

    // Packed into halves and 16-bit integers: value / maximum.
    PixelRows pr(a, 1, 1);
    pr.Row({0x80FF0000});
    Converted h = Convert(f16, a, pr);
    uint16_t half[4];
    memcpy(half, h.Dest.At(0, 0), 8);
    EXPECT_EQ(0x3C00, half[0]);
    EXPECT_EQ(0, half[1]);
    EXPECT_NEAR(128.0f / 255.0f, Float16ToFloat32(half[3]), 1e-3);
    Converted w = Convert(i16, a, pr);
    uint16_t words[4];
    memcpy(words, w.Dest.At(0, 0), 8);
    EXPECT_EQ(0xFFFF, words[0]);
    EXPECT_EQ(0, words[1]);
    EXPECT_EQ(0x8080, words[3]);

    // 16-bit integers into bytes keep the high byte; floats into 16-bit integers saturate.
    PixelRows ir(i16, 1, 1);
    const uint16_t in[4] = {0x1234, 0xFFFF, 0x00FF, 0x8000};
    memcpy(ir.At(0, 0), in, 8);
    EXPECT_EQ(0x8012FF00u, Convert(a, i16, ir).Dest.Get(0, 0));
    Converted fw = Convert(i16, f32, fr);
    memcpy(words, fw.Dest.At(0, 0), 8);
    EXPECT_EQ(32767, words[0]);
    EXPECT_EQ(0xFFFF, words[1]);
    EXPECT_EQ(0, words[2]);

    // Identical float layouts copy bit for bit; mirrored they still convert, right to left.
    PixelRows two(f32, 2, 1);
    const float pair[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    memcpy(two.At(0, 0), pair, 32);
    Converted copy = Convert(f32, f32, two);
    EXPECT_EQ(0, memcmp(copy.Dest.At(0, 0), pair, 32));
    Opt mirror;
    mirror.Mirror = 1;
    Converted back = Convert(f32, f32, two, mirror);
    EXPECT_EQ(0, memcmp(back.Dest.At(0, 0), pair + 4, 16));
}

// Random layouts (packed ones of every depth, odd masks, palettes; 8-bit, 16-bit, half and float
// channels), options and pixels through the general conversion, small rectangles and ones large
// enough for the pixel table, some converted twice in a row: the result and every byte of the
// destination are the old per-pixel conversion's.
TEST(ConvertColorDataBlt, GeneralConversionMatchesItsReferenceOnRandomInput)
{
    std::mt19937 random(74);
    COLORDATA palette = Pal8();
    for (int i = 0; i < 256; ++i) SetEntry(palette, i, (uint32_t)random());
    const COLORDATA formats[] = {R565(),
                                 X555(),
                                 A1555(),
                                 A5551(),
                                 Argb(),
                                 Abgr(),
                                 Xrgb(),
                                 Xbgr(),
                                 Rgb24(),
                                 palette,
                                 MaskFormat(16, 0x0F00, 0x00F0, 0x000F, 0xF000),
                                 MaskFormat(8, 0xE0, 0x1C, 0x03, 0),
                                 MaskFormat(32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000u),
                                 MaskFormat(16, 0xFC00, 0x03F0, 0x000F, 0),
                                 ChannelFormat(1, 8, 0),
                                 ChannelFormat(2, 8, 0),
                                 ChannelFormat(4, 8, 0),
                                 ChannelFormat(4, 16, 0),
                                 ChannelFormat(3, 16, 1),
                                 ChannelFormat(2, 32, 1)};
    const COLORDATA alphaFormats[] = {MaskFormat(8, 0xFF, 0, 0, 0), Xrgb(), R565()};
    const int formatCount = (int)(sizeof formats / sizeof *formats);
    // Every pair to the general conversion for this test only, however it ends.
    struct GeneralOnlyScope
    {
        GeneralOnlyScope() { ColorConvertSettings.GeneralOnly = 1; }
        ~GeneralOnlyScope() { ColorConvertSettings.GeneralOnly = 0; }
    } generalOnly;
    for (int i = 0; i < 700; ++i) {
        const COLORDATA &sc = formats[random() % formatCount];
        const COLORDATA &dc = formats[random() % formatCount];
        const bool large = random() % 6 == 0;
        const int w = large ? 160 + (int)(random() % 40) : 1 + (int)(random() % 40);
        const int h = large ? 110 : 1 + (int)(random() % 6);
        const int dx = (int)(random() % 3), dy = (int)(random() % 2);
        PixelRows src(sc, w + 2, h + 1);
        for (uint8_t &b : src.Data) b = (uint8_t)random();
        const COLORDATA &ac = alphaFormats[random() % 3];
        PixelRows alpha(ac, w + 2, h + 1);
        for (uint8_t &b : alpha.Data) b = (uint8_t)random();
        const bool withAlpha = random() % 4 == 0;
        const ImageRect rect = {1, 1, w + 1, h + 1};
        const int mirror = random() % 4 == 0, keyTest = random() % 3 == 0, dither = (int)(random() % 3);
        const int alphaOnly = random() % 8 == 0, redIsAlpha = random() % 8 == 0, skip = random() % 3 == 0;
        const uint32_t key = random() % 2 ? src.Get(1 + (int)(random() % w), 1) : (uint32_t)random();
        const int repeats = large && random() % 2 ? 2 : 1;
        for (int r = 0; r < repeats; ++r) {
            PixelRows got(dc, w + dx + 1, h + dy + 1, 0xCC), want(dc, w + dx + 1, h + dy + 1, 0xCC);
            const int result = ConvertColorDataBlt(got.Data.data(), got.Pitch, &dc, src.Data.data(), src.Pitch, &sc,
                                                   withAlpha ? alpha.Data.data() : nullptr, alpha.Pitch,
                                                   withAlpha ? &ac : nullptr, dx, dy, &rect, mirror, keyTest, key,
                                                   dither, alphaOnly, redIsAlpha, skip, 0);
            const int expected = ReferenceGeneralConversion(
                want.Data.data(), want.Pitch, &dc, src.Data.data(), src.Pitch, &sc,
                withAlpha ? alpha.Data.data() : nullptr, alpha.Pitch, withAlpha ? &ac : nullptr, dx, dy, &rect, mirror,
                keyTest, key, dither, alphaOnly, redIsAlpha, skip);
            ASSERT_EQ(expected, result) << "case " << i;
            ASSERT_TRUE(want.Data == got.Data) << "case " << i << " pass " << r << ": " << sc.BitDepth << "/"
                                               << sc.ChannelCount << " -> " << dc.BitDepth << "/" << dc.ChannelCount;
        }
    }
}

}  // namespace
