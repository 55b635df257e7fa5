// The glyph cache: its sizes, wide-text decoding, cells reused in turn, the list of high codes,
// glyph images of every format written as the cache's pixels, the texture update, and font data
// images (well-formed, broken and mutated).
#include "tests/zovuz/graphics/font/font_fixture.h"

#include <random>
#include <string>

namespace {

TEST(FontCacheSize, SidesAndCountsFollowTheCellAndTheScreen)
{
    struct { int Metric, LineHeight, Edge, Side, LineHeightOut; } sides[] = {
        {14, 11, 0, 16, 12}, {14, 11, 2, 24, 16}, {4, 20, 0, 20, 20}, {8, 7, 0, 8, 8}};
    for (const auto &c : sides) {
        int side, lineHeight;
        CalcFontCacheCellSide(c.Metric, c.LineHeight, c.Edge, &side, &lineHeight);
        EXPECT_EQ(c.Side, side) << c.Metric << " " << c.Edge;
        EXPECT_EQ(c.LineHeightOut, lineHeight) << c.Metric << " " << c.Edge;
    }
    struct { int Side, ScreenWidth, ScreenHeight, MaxTexture, Width, Height, Count; } textures[] = {
        {16, 1920, 1080, 4096, 1024, 512, 2024},  // stops at the cell limit
        {16, 160, 120, 4096, 128, 128, 64},       // stops at 85 % of the screen
        {16, 1920, 1080, 256, 256, 256, 256},     // stops at the texture limit
        {24, 8, 8, 4096, 128, 64, 10},            // a screen smaller than the cells still gets 10
    };
    for (const auto &c : textures) {
        int width, height, count;
        CalcFontTextureCacheSize(c.Side, c.ScreenWidth, c.ScreenHeight, c.MaxTexture, &width, &height, &count);
        EXPECT_EQ((std::vector<int>{c.Width, c.Height, c.Count}), (std::vector<int>{width, height, count}))
            << c.Side << " " << c.ScreenWidth << " " << c.MaxTexture;
    }
    struct { int Side, Count; } soft[] = {{16, 1280}, {64, 80}, {200, 20}, {8, 2024}};
    for (const auto &c : soft)
        EXPECT_EQ(c.Count, CalcFontSoftCacheCellCount(c.Side)) << c.Side;
}

TEST(FontCacheText, WideCharactersDecodeOneAtATime)
{
    struct { std::u16string Text; int Units, CodePage; uint32_t Code; int Bytes; } cases[] = {
        {u"A", 2, 1200, 'A', 2},
        {u"\xD840\xDC00", 2, 1200, 0x20000, 4},   // a surrogate pair is one code
        {u"\xD840", 2, 1200, 0xFFFD, 2},          // a lone high surrogate stops at the terminator
        {u"\xD840\xDC00", 1, 1200, 0xFFFD, 2},    // ... and at the end of a counted text
        {u"\x4100", 2, 1201, 'A', 2},             // other code pages read the units byte-swapped
        {u"", 2, 1200, 0, 2},
    };
    for (const auto &c : cases) {
        int bytes = 0;
        EXPECT_EQ(c.Code, DecodeWideCharN((const wchar_t *)c.Text.c_str(), c.Units, c.CodePage, &bytes));
        EXPECT_EQ(c.Bytes, bytes);
        if (c.Units == 2) {
            EXPECT_EQ(c.Code, DecodeWideChar((const wchar_t *)c.Text.c_str(), c.CodePage, nullptr));
        }
    }
}

class FontCache : public SoftwareFonts
{
protected:
    FontHandleData *Load(const FontDataBuilder &Builder, int Edge = 0)
    {
        Image = Builder.Build();
        Handle = LoadFontDataFromMemBase(nullptr, Image.data(), (int)Image.size(), Edge, -1, 0);
        return GetFontHandleData(Handle);
    }
    std::vector<uint8_t> Image;
    int Handle = -1;
};

TEST_F(FontCache, CellsAreReusedInTurnAndCodesLeaveTheIndexWithThem)
{
    FontHandleData *font = Load(ManyCharsFont(0x4E00, 2025));
    ASSERT_NE(nullptr, font);
    ASSERT_EQ(2024, font->CellCount);
    std::u16string text;
    for (int i = 0; i < 2025; ++i)
        text += (char16_t)(0x4E00 + i);
    int count = 0;
    ASSERT_EQ(0, AddStringToFontCache(font, (const wchar_t *)text.c_str(), -1, nullptr, &count));
    EXPECT_EQ(2025, count);
    // One string adds at most one cache-full.
    EXPECT_EQ(1u, font->CodeIndex[0x4E00 + 2023].InUseFlag);
    EXPECT_EQ(0u, font->CodeIndex[0x4E00 + 2024].InUseFlag);
    EXPECT_EQ(0, font->NextCell);

    FontCharData *last = CellOf(font, 0x4E00 + 2024);
    EXPECT_EQ(&font->Cells[0], last);
    EXPECT_EQ(0u, font->CodeIndex[0x4E00].InUseFlag);
    EXPECT_EQ(last, font->CodeIndex[0x4E00 + 2024].Cell);
    EXPECT_EQ(1, font->NextCell);
    // A code the font has no glyph for takes no cell.
    EXPECT_EQ(nullptr, CellOf(font, 'A'));
    EXPECT_EQ(1, font->NextCell);
}

TEST_F(FontCache, HighCodesKeepOnlyTheNewest1024InTheirList)
{
    FontHandleData *font = Load(ManyCharsFont(0x20000, 1025));
    ASSERT_NE(nullptr, font);
    EXPECT_EQ(1025, font->DataHighCodeNum);
    EXPECT_NE(nullptr, GetFontDataCharRecord(font, 0x20000 + 1024));
    std::u16string text;
    for (int i = 0; i < 1025; ++i) {
        const uint32_t c = 0x20000 + i - 0x10000;
        text += (char16_t)(0xD800 | (c >> 10));
        text += (char16_t)(0xDC00 | (c & 0x3FF));
    }
    std::vector<uint32_t> codes(text.size());
    int count = 0;
    ASSERT_EQ(0, AddStringToFontCache(font, (const wchar_t *)text.c_str(), -1, codes.data(), &count));
    EXPECT_EQ(1025, count);
    EXPECT_EQ(0x20000u + 1024, codes[1024]);
    EXPECT_EQ(1024, font->HighCodeNum);
    // The first left the list: its cell keeps its image but is out of use, and it is drawn again.
    EXPECT_EQ(0u, font->Cells[0].InUseFlag);
    EXPECT_EQ(0x20000u, font->Cells[0].Code);
    EXPECT_EQ(&font->Cells[1025], CellOf(font, 0x20000));
    EXPECT_EQ(0u, font->Cells[1].InUseFlag);  // the next oldest made room
    EXPECT_EQ(1024, font->HighCodeNum);
    EXPECT_EQ(&font->Cells[2], CellOf(font, 0x20002));
}

// One glyph written into cell 0 of a font-data font, and one pixel of the cell read back.
struct GlyphWriteCase
{
    const char *Name;
    int DataFormat, Edge;                  // the font: its data format and edge size
    int SourceFormat;                      // the glyph handed to the cache
    std::vector<uint8_t> Source;
    int Width, Height, Pitch;
    int Result;
    int X, Y;                              // the pixel read back
    bool EdgeLayer;
    int Expected;
};

void RunGlyphWriteCases(const std::vector<GlyphWriteCase> &Cases)
{
    for (const GlyphWriteCase &c : Cases) {
        FontDataBuilder builder;
        builder.ImageFormat = c.DataFormat;
        builder.CellSide = builder.LineHeight = 16;
        std::vector<uint8_t> image = builder.Build();
        int handle = LoadFontDataFromMemBase(nullptr, image.data(), (int)image.size(), c.Edge, -1, 0);
        FontHandleData *font = GetFontHandleData(handle);
        ASSERT_NE(nullptr, font) << c.Name;
        FontCharData &cell = font->Cells[0];
        EXPECT_EQ(c.Result, AddCharToFontCache(font, &cell, 'A', 0, c.SourceFormat, c.Source.data(), c.Width,
                                               c.Height, c.Pitch, 0, 0, c.Width, 1))
            << c.Name;
        if (c.Result == 0) {
            EXPECT_EQ(c.Expected, CellPixel(*font, cell, c.X, c.Y, c.EdgeLayer)) << c.Name;
        } else {
            EXPECT_EQ(0u, cell.InUseFlag) << c.Name;
        }
        DeleteFontToHandle(handle);
    }
}

const std::vector<uint8_t> Block4 = {0xF0, 0xF0, 0xF0, 0xF0};      // a 4 x 4 block of ink
const std::vector<uint8_t> HalfBlock4 = {0xF0, 0xF0, 0x00, 0x00};  // half of it

TEST_F(FontCache, GlyphImagesBecomeTheSoftwareCachesValues)
{
    RunGlyphWriteCases({
        {"ink bytes packed to bits", 0, 0, FONT_IMAGE_BYTE_INK, {0, 7}, 2, 1, 2, 0, 1, 0, false, 1},
        {"no ink stays empty", 0, 0, FONT_IMAGE_BYTE_INK, {0, 7}, 2, 1, 2, 0, 0, 0, false, 0},
        {"levels refused by a 1-bit cache", 0, 0, FONT_IMAGE_LEVEL16, {16}, 1, 1, 1, -1, 0, 0, false, 0},
        {"4-bit grey to 16 levels", 1, 0, FONT_IMAGE_GREY4, {0xF7}, 2, 1, 1, 0, 0, 0, false, 15},
        {"4-bit grey, low nibble", 1, 0, FONT_IMAGE_GREY4, {0xF7}, 2, 1, 1, 0, 1, 0, false, 7},
        {"8-bit grey to 16 levels", 1, 0, FONT_IMAGE_LEVEL255, {128}, 1, 1, 1, 0, 0, 0, false, 7},
        {"64 levels to 16", 1, 0, FONT_IMAGE_LEVEL64, {40}, 1, 1, 1, 0, 0, 0, false, 9},
        {"4x4 blocks counted", 1, 0, FONT_IMAGE_BIT1_X4, Block4, 4, 4, 1, 0, 0, 0, false, 15},
        {"half a 4x4 block", 1, 0, FONT_IMAGE_BIT1_X4, HalfBlock4, 4, 4, 1, 0, 0, 0, false, 7},
        {"8x8 blocks counted", 2, 0, FONT_IMAGE_BIT1_X8, std::vector<uint8_t>(8, 0xFF), 8, 8, 1, 0, 0, 0, false, 15},
        {"16x16 blocks refused", 1, 0, FONT_IMAGE_BIT1_X16, std::vector<uint8_t>(32, 0xFF), 16, 16, 2, -1, 0, 0, false, 0},
        {"formats above 8 refused", 1, 0, 9, {1}, 1, 1, 1, -1, 0, 0, false, 0},
        {"edged body", 0, 1, FONT_IMAGE_BIT1, {0x80}, 1, 1, 1, 0, 1, 1, false, 1},
        {"edged: a direct neighbour", 0, 1, FONT_IMAGE_BIT1, {0x80}, 1, 1, 1, 0, 2, 1, false, 2},
        {"edged: no diagonal at size 1", 0, 1, FONT_IMAGE_BIT1, {0x80}, 1, 1, 1, 0, 2, 2, false, 0},
        {"edged: size 2 mask corner", 0, 2, FONT_IMAGE_BIT1, {0x80}, 1, 1, 1, 0, 1, 1, false, 2},
        {"edged: size 2 mask misses the far corner", 0, 2, FONT_IMAGE_BIT1, {0x80}, 1, 1, 1, 0, 0, 0, false, 0},
        {"grey edged body in the low nibble", 1, 1, FONT_IMAGE_LEVEL16, {9}, 1, 1, 1, 0, 1, 1, false, 8},
        {"grey edged neighbour in the high nibble", 1, 1, FONT_IMAGE_LEVEL16, {9}, 1, 1, 1, 0, 1, 0, false, 0x80},
        {"grey edged refuses 1-bit images", 1, 1, FONT_IMAGE_BIT1, {0x80}, 1, 1, 1, -1, 0, 0, false, 0},
    });
}

class TextureFontCache : public TextureFonts
{
};

TEST_F(TextureFontCache, GlyphImagesBecomeTheTextureCachesAlpha)
{
    Start(640, 480);
    RunGlyphWriteCases({
        {"1-bit ink opaque", 0, 0, FONT_IMAGE_BIT1, {0x80}, 2, 1, 1, 0, 0, 0, false, 255},
        {"1-bit no ink transparent", 0, 0, FONT_IMAGE_BIT1, {0x80}, 2, 1, 1, 0, 1, 0, false, 0},
        {"16-bit cache refuses levels", 0, 0, FONT_IMAGE_LEVEL16, {16}, 1, 1, 1, -1, 0, 0, false, 0},
        {"16 levels to alpha", 1, 0, FONT_IMAGE_LEVEL16, {8}, 1, 1, 1, 0, 0, 0, false, 127},
        {"4-bit grey on the 64 scale", 1, 0, FONT_IMAGE_GREY4, {0x80}, 1, 1, 1, 0, 0, 0, false, 135},
        {"8-bit grey is the alpha", 2, 0, FONT_IMAGE_LEVEL255, {200}, 1, 1, 1, 0, 0, 0, false, 200},
        {"half a 4x4 block", 1, 0, FONT_IMAGE_BIT1_X4, HalfBlock4, 4, 4, 1, 0, 0, 0, false, 127},
        {"8x8 block on the 64 scale", 2, 0, FONT_IMAGE_BIT1_X8, std::vector<uint8_t>(8, 0xFF), 8, 8, 1, 0, 0, 0, false, 255},
        {"edged body opaque", 0, 1, FONT_IMAGE_BIT1, {0x80}, 1, 1, 1, 0, 1, 1, false, 255},
        {"edged: no edge under the body", 0, 1, FONT_IMAGE_BIT1, {0x80}, 1, 1, 1, 0, 1, 1, true, 0},
        {"edged: diagonal edge at size 1", 0, 1, FONT_IMAGE_BIT1, {0x80}, 1, 1, 1, 0, 2, 2, true, 255},
        {"edged: no body beside it", 0, 1, FONT_IMAGE_BIT1, {0x80}, 1, 1, 1, 0, 2, 2, false, 0},
        {"grey edge grows with the level", 1, 1, FONT_IMAGE_LEVEL16, {8}, 1, 1, 1, 0, 0, 1, true, 127},
        {"grey edge of a full body", 1, 1, FONT_IMAGE_LEVEL16, {16}, 1, 1, 1, 0, 2, 1, true, 255},
        {"grey edge hidden under a full body", 1, 2, FONT_IMAGE_LEVEL16, {16}, 1, 1, 1, 0, 2, 2, true, 0},
        {"grey edge kept under a partial body", 1, 2, FONT_IMAGE_LEVEL16, {8}, 1, 1, 1, 0, 2, 2, true, 127},
    });
}

TEST_F(TextureFontCache, ACacheSizedToTheScreenSendsEachBatchAsOneRectangle)
{
    Start(1920, 1080);
    FontDataBuilder builder = ManyCharsFont('a', 3);
    builder.CellSide = builder.LineHeight = 16;
    std::vector<uint8_t> image = builder.Build();
    int handle = LoadFontDataFromMemBase(nullptr, image.data(), (int)image.size(), 0, -1, 0);
    FontHandleData *font = GetFontHandleData(handle);
    ASSERT_NE(nullptr, font);
    EXPECT_EQ((std::vector<int>{1024, 512, 2024, 32}),
              (std::vector<int>{font->CacheWidth, font->CacheHeight, font->CellCount, font->CacheRows}));
    EXPECT_EQ((std::vector<std::string>{"CreateTexture 1024x512"}), CallsStartingWith("CreateTexture"));

    // Two cells down the first column: their union, exactly, in one transfer.
    ASSERT_EQ(0, AddStringToFontCache(font, L"ab", -1, nullptr, nullptr));
    EXPECT_EQ((std::vector<std::string>{"BltToTexture 0 0 16 32 to 0 0"}), CallsStartingWith("BltToTexture"));
    // A glyph larger than the cell is cut to it.
    FontCharData &cell = font->Cells[40];
    std::vector<uint8_t> wide(8 * 40, 0xFF);
    ASSERT_EQ(0, AddCharToFontCache(font, &cell, 'z', 0, FONT_IMAGE_BIT1, wide.data(), 64, 40, 8, 0, 0, 64, 1));
    EXPECT_EQ((std::vector<int>{16, 16}), (std::vector<int>{cell.Width, cell.Height}));
    EXPECT_EQ((std::vector<int>{16, 128, 32, 144}), (std::vector<int>{font->PendingRect.left, font->PendingRect.top,
                                                                   font->PendingRect.right, font->PendingRect.bottom}));
    // A cell up and to the left of it widens the pending rectangle to both.
    ASSERT_EQ(0, AddCharToFontCache(font, &font->Cells[0], 'y', 0, FONT_IMAGE_BIT1, wide.data(), 8, 8, 8, 0, 0, 8, 1));
    EXPECT_EQ((std::vector<int>{0, 0, 32, 144}), (std::vector<int>{font->PendingRect.left, font->PendingRect.top,
                                                                 font->PendingRect.right, font->PendingRect.bottom}));
    DeleteFontToHandle(handle);

    // Edged caches send the edge layer's rectangle too.
    handle = LoadFontDataFromMemBase(nullptr, image.data(), (int)image.size(), 1, -1, 0);
    font = GetFontHandleData(handle);
    ASSERT_NE(nullptr, font);
    FakeHardware.Calls.clear();
    ASSERT_NE(nullptr, CellOf(font, 'c'));
    EXPECT_EQ((std::vector<std::string>{"BltToTexture 0 0 24 24 to 0 0", "BltToTexture 2048 0 2072 24 to 2048 0"}),
              CallsStartingWith("BltToTexture"));
    // Without a device nothing is drawn into the cache.
    FakeHardware.DeviceValid = 0;
    EXPECT_EQ(nullptr, CellOf(font, 'a'));
    FakeHardware.DeviceValid = 1;
    DeleteFontToHandle(handle);

    // A cache texture that cannot be made leaves the cache in memory.
    FakeHardware.CreateTextureResult = -1;
    handle = LoadFontDataFromMemBase(nullptr, image.data(), (int)image.size(), 0, -1, 0);
    font = GetFontHandleData(handle);
    ASSERT_NE(nullptr, font);
    EXPECT_EQ((std::vector<int>{0, 1280}), (std::vector<int>{font->TextureCacheFlag, font->CellCount}));
    ASSERT_NE(nullptr, CellOf(font, 'a'));
    EXPECT_GT(InkOfCell(*font, *CellOf(font, 'a')).Pixels, 0);
}

TEST_F(FontCache, FontDataImagesAreCheckedBeforeTheyAreUsed)
{
    FontDataBuilder base;
    base.Chars = {SolidChar('A', 0, 3, 5), SolidChar(0x20000, 0, 3, 5)};
    base.Chars.back().Packed = true;
    using Builder = FontDataBuilder;
    struct Case
    {
        const char *Name;
        void (*Change)(Builder &B, int &Edge);
        void (*Bytes)(std::vector<uint8_t> &Image);  // a change of the built bytes, or null
        int Type;                                     // -1: refused
        bool GlyphsDrawn;
    } cases[] = {
        {"1 bit", [](Builder &, int &) {}, nullptr, DX_FONTTYPE_NORMAL, true},
        {"1 bit edged", [](Builder &, int &E) { E = 2; }, nullptr, DX_FONTTYPE_EDGE, true},
        {"4-bit grey", [](Builder &B, int &) { B.ImageFormat = 1; }, nullptr, DX_FONTTYPE_ANTIALIASING_4X4, false},
        {"4-bit grey edged", [](Builder &B, int &E) { B.ImageFormat = 1; E = 2; }, nullptr,
         DX_FONTTYPE_ANTIALIASING_EDGE_4X4, false},
        {"8-bit grey edged", [](Builder &B, int &E) { B.ImageFormat = 2; E = 1; }, nullptr,
         DX_FONTTYPE_ANTIALIASING_EDGE_8X8, false},
        {"wrong magic", [](Builder &, int &) {}, [](std::vector<uint8_t> &I) { I[3] = 'G'; }, -1, false},
        {"header cut short", [](Builder &, int &) {}, [](std::vector<uint8_t> &I) { I.resize(40); }, -1, false},
        {"more records than the header holds", [](Builder &B, int &) { B.RecordNumOverride = 3; }, nullptr, -1, false},
        {"more high codes than declared", [](Builder &B, int &) { B.HighNumOverride = 0; }, nullptr, -1, false},
        {"more high codes declared than records", [](Builder &B, int &) { B.HighNumOverride = 3; }, nullptr, -1, false},
        {"an unpack buffer too large", [](Builder &B, int &) { B.UnpackSizeOverride = 0x7FFFFFFF; }, nullptr, -1,
         false},
        {"glyphs past the image", [](Builder &B, int &) { B.Chars[0].Pitch = B.Chars[1].Pitch = 4000; }, nullptr,
         DX_FONTTYPE_NORMAL, false},
        {"rows narrower than the glyph", [](Builder &B, int &) { B.Chars[0].Width = B.Chars[1].Width = 9; },
         nullptr, DX_FONTTYPE_NORMAL, false},
        {"a packed glyph larger than the unpack buffer",
         [](Builder &B, int &) {
             B.UnpackSizeOverride = 2;
             B.Chars[0].Packed = true;
         },
         nullptr, DX_FONTTYPE_NORMAL, false},
    };
    for (const Case &c : cases) {
        Builder builder = base;
        int edge = 0;
        c.Change(builder, edge);
        std::vector<uint8_t> image = builder.Build();
        if (c.Bytes != nullptr)
            c.Bytes(image);
        const int handle = LoadFontDataFromMemBase(nullptr, image.data(), (int)image.size(), edge, -1, 0);
        FontHandleData *font = GetFontHandleData(handle);
        if (c.Type < 0) {
            EXPECT_EQ(-1, handle) << c.Name;
            continue;
        }
        ASSERT_NE(nullptr, font) << c.Name;
        EXPECT_EQ(c.Type, font->FontType) << c.Name;
        if (c.Type <= DX_FONTTYPE_EDGE) {
            for (uint32_t code : {(uint32_t)'A', 0x20000u}) {
                FontCharData *cell = CellOf(font, code);
                EXPECT_EQ(c.GlyphsDrawn, cell != nullptr && InkOfCell(*font, *cell).Pixels > 0) << c.Name << " " << code;
            }
        }
        DeleteFontToHandle(handle);
    }
}

TEST_F(FontCache, MutatedFontDataNeverLeavesInkOutsideItsCells)
{
    FontDataBuilder builder;
    builder.ImageFormat = 0;
    builder.CellSide = builder.LineHeight = 12;
    for (uint32_t code : {(uint32_t)'A', (uint32_t)'B', 0x3042u, 0x20000u}) {
        builder.Chars.push_back(SolidChar(code, 0, 5, 9));
        builder.Chars.back().Packed = code & 1;
    }
    const std::vector<uint8_t> valid = builder.Build();
    std::mt19937 random(38);
    int loaded = 0;
    for (int round = 0; round < 1500; ++round) {
        std::vector<uint8_t> image = valid;
        const int flips = 1 + (int)(random() % 4);
        for (int i = 0; i < flips; ++i)
            image[random() % image.size()] = (uint8_t)random();
        const int handle = LoadFontDataFromMemBase(nullptr, image.data(), (int)image.size(), (int)(random() % 3), -1, 0);
        FontHandleData *font = GetFontHandleData(handle);
        if (font == nullptr)
            continue;
        ++loaded;
        for (uint32_t code : {(uint32_t)'A', (uint32_t)'B', 0x3042u, 0x20000u}) {
            FontCharData *cell = CellOf(font, code);
            if (cell == nullptr)
                continue;
            ASSERT_LE(cell->Width, font->Metrics.CellSide) << round;
            ASSERT_LE(cell->Height, font->Metrics.CellSide) << round;
            ASSERT_TRUE(InkOfCell(*font, *cell).InsideBox) << round;
        }
        DeleteFontToHandle(handle);
    }
    EXPECT_GT(loaded, 100);
}

}  // namespace
