// Font handles and the default font: settings before and after the start, character sets, the GDI
// metrics, glyphs rasterised by GDI (Japanese included), fonts without outlines, the fallback font,
// graph characters and the re-creation of every font after a device reset.
#include "tests/zovuz/graphics/font/font_fixture.h"
#include "tests/zovuz/graphics/graphics_start_fixture.h"
#include "zovuz/core/handle/async_load_internal.h"

#include <windows.h>

namespace {

TEST(FontSettings, DefaultSettingsOutliveTheStartAndMakeTheDefaultFontAgain)
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    SetFontSize(-1);
    EXPECT_EQ(16, FontSystem.Size);
    SetFontThickness(-1);
    EXPECT_EQ(6, FontSystem.Thickness);
    SetDefaultFontState(nullptr, 12, 3, DX_FONTTYPE_NORMAL, DX_CHARSET_DEFAULT, 2, 0);
    EXPECT_EQ(DX_FONTTYPE_EDGE, FontSystem.Type);  // an edge of 2 makes the type edged
    const int blocks = GetAllocNum();
    ASSERT_EQ(0, StartSoftwareGraphics(320, 240, 32));
    int size = 0, type = -1, edge = 0;
    ASSERT_EQ(0, GetFontStateToHandle(nullptr, &size, nullptr, DX_DEFAULT_FONT_HANDLE, &type, nullptr, &edge, nullptr));
    EXPECT_EQ((std::vector<int>{12, DX_FONTTYPE_EDGE, 2}), (std::vector<int>{size, type, edge}));
    TerminateGraphics();

    // The application's order: the start makes the default font, and each new value makes it again.
    ASSERT_EQ(0, StartSoftwareGraphics(320, 240, 32));
    EXPECT_EQ(16, GetFontSizeToHandle(DX_DEFAULT_FONT_HANDLE));  // the earlier values were for one start
    const int first = GetDefaultFontHandle();
    ASSERT_GE(first, 0);
    SetFontSize(10);
    const int second = GetDefaultFontHandle();
    EXPECT_NE(first, second);
    EXPECT_EQ(0, CheckFontHandleValid(first));
    SetFontSize(10);
    EXPECT_EQ(second, GetDefaultFontHandle());
    SetFontThickness(1);
    const int third = GetDefaultFontHandle();
    EXPECT_NE(second, third);
    EXPECT_EQ(10, GetFontSizeToHandle(DX_DEFAULT_FONT_HANDLE));
    SetFontSpace(2);
    EXPECT_EQ(third, GetDefaultFontHandle());
    EXPECT_EQ(2, GetFontSpaceToHandle(DX_DEFAULT_FONT_HANDLE));
    // Each setting that differs makes it again; the same settings keep it.
    struct { int Type, CharSet, Edge; bool New; } steps[] = {
        {DX_FONTTYPE_EDGE, DX_CHARSET_DEFAULT, 2, true},  {DX_FONTTYPE_EDGE, DX_CHARSET_DEFAULT, 2, false},
        {DX_FONTTYPE_EDGE, DX_CHARSET_DEFAULT, 3, true},  {DX_FONTTYPE_EDGE, DX_CHARSET_SHFTJIS, 3, true},
        {DX_FONTTYPE_EDGE, DX_CHARSET_SHFTJIS, 3, false},
    };
    for (const auto &step : steps) {
        const int before = GetDefaultFontHandle();
        SetDefaultFontState(nullptr, 10, 1, step.Type, step.CharSet, step.Edge, 0);
        EXPECT_EQ(step.New, before != GetDefaultFontHandle()) << step.CharSet << " " << step.Edge;
    }

    // A graphics restart for a new screen mode keeps the default font's settings.
    SetLibraryStarted(1);
    ASSERT_EQ(0, ChangeScreenMode(256, 192, 32, 0, 60));
    SetLibraryStarted(0);
    EXPECT_EQ(10, GetFontSizeToHandle(DX_DEFAULT_FONT_HANDLE));
    EXPECT_EQ(2, GetFontSpaceToHandle(DX_DEFAULT_FONT_HANDLE));
    TerminateGraphics();
    EXPECT_EQ(0, GetHandleManage(DX_HANDLETYPE_FONT)->InitializeFlag);
    EXPECT_EQ(blocks, GetAllocNum());
    CoUninitialize();
}

class Fonts : public SoftwareFonts
{
};

TEST_F(Fonts, CharacterSetsGiveTheCodeOfTheFontsStrings)
{
    const int libraryIndex = GetCharSetIndex();
    struct { const wchar_t *Face; int LibraryIndex, CharSet, Index, Code; } cases[] = {
        {L"", 2, 9, 2, -1},                    // out of range: the library's set, its current code
        {L"", 2, DX_CHARSET_SHFTJIS, 1, 932},
        {L"", 2, DX_CHARSET_UTF8, 7, 65001},
        {L"", 2, DX_CHARSET_DEFAULT, 0, -1},
        {L"NoSuchFace", 2, 9, 0, -1},          // a face missing from the library's set: set 0
        {L"IPAGothic", 2, 9, 0, -1},
        {L"IPAGothic", 1, 9, 1, -1},
    };
    for (const auto &c : cases) {
        SetCharSetIndex(c.LibraryIndex);
        const int handle = CreateFontHandleBase(nullptr, c.Face, 12, 6, 0, c.CharSet, 0, 0, -1, 0);
        int charSet = -1;
        ASSERT_EQ(0, GetFontStateToHandle(nullptr, nullptr, nullptr, handle, nullptr, &charSet, nullptr, nullptr));
        EXPECT_EQ(c.Index, charSet) << c.CharSet << " " << c.LibraryIndex;
        EXPECT_EQ(c.Code >= 0 ? c.Code : GetCurrentCharCodeFormat(), GetFontCharCodeFormat(handle)) << c.CharSet;
        DeleteFontToHandle(handle);
    }
    SetCharSetIndex(libraryIndex);
    const int handle = CreateFontHandleBase(nullptr, nullptr, 12, 6, 0, DX_CHARSET_SHFTJIS, 0, 0, -1, 0);
    EXPECT_EQ(0, SetFontCharCodeFormatToHandle(65001, handle));
    EXPECT_EQ(65001, GetFontCharCodeFormat(handle));
}

// The GDI text metrics of the default face at a height.
TEXTMETRICW FaceMetrics(int Height, int Italic)
{
    HFONT font = CreateFontW(Height, 0, 0, 0, 600, Italic, 0, 0, DEFAULT_CHARSET, 0, 0, NONANTIALIASED_QUALITY,
                             FIXED_PITCH, L"ＭＳ ゴシック");
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(font);
    return tm;
}

TEST_F(Fonts, GdiMetricsTakeTheLeadingOutOfTheSize)
{
    struct { int Size, Italic, Type, Scale; } cases[] = {
        {10, 0, DX_FONTTYPE_NORMAL, 1}, {16, 1, DX_FONTTYPE_NORMAL, 1}, {12, 0, DX_FONTTYPE_ANTIALIASING_4X4, 4}};
    for (const auto &c : cases) {
        const int height = c.Size * c.Scale;
        const TEXTMETRICW first = FaceMetrics(height, c.Italic);
        const int leading = first.tmInternalLeading + first.tmExternalLeading;
        ASSERT_GE(leading, 1);  // the faces of this machine all have leading
        const int second = (int)((float)height / (1.0f - (float)leading / (float)first.tmHeight));
        if (c.Size == 10) {
            EXPECT_EQ((std::vector<int>{10, 1, 11}), (std::vector<int>{(int)first.tmHeight, leading, second}));
        }
        const TEXTMETRICW tm = FaceMetrics(second, c.Italic);

        const int handle = CreateFontHandleBase(nullptr, nullptr, c.Size, 6, c.Type, DX_CHARSET_DEFAULT, 0, c.Italic, -1, 0);
        FontHandleData *font = GetFontHandleData(handle);
        ASSERT_NE(nullptr, font);
        const int s = c.Scale;
        const int metric = c.Italic ? ((int)tm.tmMaxCharWidth * 135 / s + 540) / 100 : (int)tm.tmMaxCharWidth / s + 4;
        int side, lineHeight;
        CalcFontCacheCellSide(metric, (int)tm.tmHeight / s + 1, 0, &side, &lineHeight);
        EXPECT_EQ((std::vector<int>{((int)tm.tmHeight - (int)first.tmHeight) / s, side, lineHeight,
                                    (int)tm.tmAscent / s + ((int)tm.tmAscent % s >= s / 2 ? 1 : 0)}),
                  (std::vector<int>{font->Metrics.SizeAdjust, font->Metrics.CellSide, font->Metrics.LineHeight,
                                    font->Metrics.Baseline}))
            << c.Size << " " << c.Type;
        DeleteFontToHandle(handle);
    }
}

TEST_F(Fonts, GlyphsOfEveryTypeHaveInkOnlyInsideTheirBox)
{
    const int types[] = {0, 1, 2, 3, 18, 19, 34, 35};
    int spaceAdvance = 0;
    for (int type : types) {
        const int handle = CreateFontHandleBase(nullptr, nullptr, 16, 6, type, DX_CHARSET_DEFAULT, 1, 0, -1, 0);
        FontHandleData *font = GetFontHandleData(handle);
        ASSERT_NE(nullptr, font) << type;
        ASSERT_EQ(0, AddStringToFontCache(font, L"テスト Ag\x3000", -1, nullptr, nullptr));
        for (wchar_t c : std::wstring(L"テスト Ag")) {
            if (c == L' ')
                continue;
            FontCharData *cell = CellOf(font, c);
            ASSERT_NE(nullptr, cell) << type << " " << (int)c;
            const CellInk ink = InkOfCell(*font, *cell);
            EXPECT_GT(ink.Pixels, 0) << type << " " << (int)c;
            EXPECT_TRUE(ink.InsideBox) << type << " " << (int)c;
        }
        // Blanks: no image, an advance of the plain type's, wider by the edge on both sides (a
        // scaled font rounds it by one at most); the ideographic space is twice as wide.
        FontCharData *space = CellOf(font, 32), *wide = CellOf(font, 0x3000);
        ASSERT_TRUE(space != nullptr && wide != nullptr);
        EXPECT_EQ((std::vector<int>{0, 0, 0, 0}), (std::vector<int>{space->Width, space->Height, wide->Width, wide->Height}));
        const int advance = space->Advance - 2 * font->EdgeSize;
        spaceAdvance = type == 0 ? advance : spaceAdvance;
        EXPECT_GT(advance, 0);
        EXPECT_LE(abs(advance - spaceAdvance), 1) << type;
        EXPECT_LE(abs(wide->Advance - 2 * font->EdgeSize - 2 * advance), 1) << type;
        DeleteFontToHandle(handle);
    }
}

class TextureGlyphs : public TextureFonts
{
};

TEST_F(TextureGlyphs, GlyphsInTheTextureCacheHaveInkOnlyInsideTheirBox)
{
    Start(640, 480);
    for (int type : {0, 1, 2, 3, 19}) {
        const int handle = CreateFontHandleBase(nullptr, nullptr, 16, 6, type, DX_CHARSET_DEFAULT, 2, 0, -1, 0);
        FontHandleData *font = GetFontHandleData(handle);
        ASSERT_NE(nullptr, font) << type;
        ASSERT_EQ(1, font->TextureCacheFlag);
        EXPECT_EQ(type & 2 ? 32 : 16, font->CacheColorBitDepth);
        for (wchar_t c : std::wstring(L"テA")) {
            FontCharData *cell = CellOf(font, c);
            ASSERT_NE(nullptr, cell) << type;
            const CellInk ink = InkOfCell(*font, *cell);
            EXPECT_GT(ink.Pixels, 0) << type << " " << (int)c;
            EXPECT_TRUE(ink.InsideBox) << type << " " << (int)c;
        }
        DeleteFontToHandle(handle);
    }
}

TEST_F(Fonts, WithoutOutlinesGlyphsAreDrawnWithTextOutAndTypesLoseAntiAliasing)
{
    FontGDITestHooks.NoOutlineFlag = 1;
    for (int type : {DX_FONTTYPE_ANTIALIASING, DX_FONTTYPE_ANTIALIASING_EDGE_8X8}) {
        const int handle = CreateFontHandleBase(nullptr, nullptr, 16, 6, type, DX_CHARSET_DEFAULT, 1, 0, -1, 0);
        FontHandleData *font = GetFontHandleData(handle);
        ASSERT_NE(nullptr, font);
        EXPECT_EQ(1, font->Win->TextOutModeFlag);
        EXPECT_EQ(type & DX_FONTTYPE_EDGE, font->FontType);
        for (uint32_t c : {(uint32_t)'A', 0x30C6u}) {
            FontCharData *cell = CellOf(font, c);
            ASSERT_NE(nullptr, cell);
            const CellInk ink = InkOfCell(*font, *cell);
            EXPECT_GT(ink.Pixels, 0) << type << " " << c;
            EXPECT_TRUE(ink.InsideBox) << type << " " << c;
        }
        DeleteFontToHandle(handle);
    }
    // The default font made for an anti-aliased type stays although set-up changed its type.
    SetDefaultFontState(nullptr, 16, 6, DX_FONTTYPE_ANTIALIASING, DX_CHARSET_DEFAULT, 1, 0);
    const int handle = GetDefaultFontHandle();
    EXPECT_EQ(DX_FONTTYPE_NORMAL, GetFontHandleData(handle)->FontType);
    EXPECT_EQ(0, RefreshDefaultFont());
    SetFontSize(16);
    EXPECT_EQ(handle, GetDefaultFontHandle());
}

TEST_F(Fonts, TheFallbackFontTakesOverWhileGdiCannotMakeTheDefaultFont)
{
    FontGDITestHooks.FailCreateFlag = 1;
    EXPECT_EQ(-1, CreateFontHandleBase(nullptr, nullptr, 16, 6, 0, 0, 0, 0, -1, 0));
    SetFontSize(20);
    FontHandleData *font = GetFontHandleData(DX_DEFAULT_FONT_HANDLE);
    ASSERT_NE(nullptr, font);
    EXPECT_EQ(1, font->FromDataFlag);
    EXPECT_EQ(1, FontSystem.FallbackInUseFlag);
    EXPECT_EQ(128, font->GraphCharNum);
    for (int code = 0; code < 128; ++code) {
        FontCharData *glyph = GetFontCacheCharData(font, (uint32_t)code, nullptr, nullptr, nullptr, 1, 0);
        ASSERT_NE(nullptr, glyph) << code;
        EXPECT_EQ(1, glyph->GraphCharFlag);
        EXPECT_EQ(FontSystem.FallbackGraphs[code], glyph->CellIndex);
        EXPECT_EQ((std::vector<int>{8, 16, 8}), (std::vector<int>{glyph->Width, glyph->Height, glyph->Advance}));
    }
    // Graph 'A' shows ink, transparent around it.
    int opaque = 0;
    for (uint32_t pixel : ReadPixels(FontSystem.FallbackGraphs['A'], 0, 0, 8, 16))
        opaque += (pixel >> 24) != 0;
    EXPECT_GT(opaque, 8);
    EXPECT_LT(opaque, 64);

    // The fallback stays while its graphs exist, even when GDI works again.
    FontGDITestHooks.FailCreateFlag = 0;
    const int fallback = GetDefaultFontHandle();
    SetFontSize(16);
    EXPECT_EQ(fallback, GetDefaultFontHandle());
    DeleteGraph(FontSystem.FallbackGraphs[0]);
    SetFontSize(17);
    font = GetFontHandleData(DX_DEFAULT_FONT_HANDLE);
    ASSERT_NE(nullptr, font);
    EXPECT_EQ(0, font->FromDataFlag);
    EXPECT_EQ(0, FontSystem.FallbackInUseFlag);
}

TEST_F(Fonts, GraphCharactersReplaceGlyphsOfTheirCode)
{
    const int graph = MakeGraph(6, 9, 0);
    const int handle = CreateFontHandleBase(nullptr, nullptr, 16, 6, 0, DX_CHARSET_SHFTJIS, 0, 0, -1, 0);
    FontHandleData *font = GetFontHandleData(handle);
    EXPECT_EQ(0, AddFontImageToHandle(handle, "\x83\x65", graph, 1, 2, 7));  // "テ" in code page 932
    EXPECT_EQ(0, AddFontImageToHandleW(handle, L"テ", graph, 3, 4, 5));
    EXPECT_EQ(1, font->GraphCharNum);
    FontCharData *glyph = GetFontCacheCharData(font, 0x30C6, nullptr, nullptr, nullptr, 1, 0);
    EXPECT_EQ((std::vector<int>{1, 3, 4, 5, 6, 9, graph}),
              (std::vector<int>{glyph->GraphCharFlag, glyph->DrawX, glyph->DrawY, glyph->Advance, glyph->Width,
                                glyph->Height, glyph->CellIndex}));
    EXPECT_EQ(0, GetFontCacheCharData(font, 0x30C6, nullptr, nullptr, nullptr, 0, 0)->GraphCharFlag);
    for (int i = 1; i < 256; ++i) {
        const wchar_t text[2] = {(wchar_t)(0x100 + i), 0};
        ASSERT_EQ(0, AddFontImageToHandleW(handle, text, graph, 0, 0, 1));
    }
    EXPECT_EQ(-1, AddFontImageToHandleW(handle, L"x", graph, 0, 0, 1));
    EXPECT_EQ(-1, AddFontImageToHandleW(handle, L"テ", -1, 0, 0, 1));
}

TEST_F(Fonts, EveryFontIsMadeAgainUnderItsHandleAfterADeviceReset)
{
    const int gdi = CreateFontHandleBase(nullptr, L"IPAGothic", 12, 4, 2, DX_CHARSET_SHFTJIS, -1, 1, -1, 0);
    SetFontSpaceToHandle(3, gdi);
    SetFontLineSpaceToHandle(20, gdi);
    SetFontCharCodeFormatToHandle(65001, gdi);
    int lost = -5;
    EXPECT_EQ(0, SetFontLostFlag(gdi, &lost));
    EXPECT_EQ(0, lost);
    const std::vector<uint8_t> image = ManyCharsFont('a', 2).Build();
    const int data = LoadFontDataFromMemBase(nullptr, image.data(), (int)image.size(), 1, -1, 0);
    SetFontSpaceToHandle(4, data);
    const int oldDefault = GetDefaultFontHandle();

    ASSERT_EQ(0, ReCreateAllFontHandles());
    wchar_t face[FONT_NAME_LENGTH];
    int size, thickness, type, charSet, edge, italic;
    ASSERT_EQ(0, GetFontStateToHandle(face, &size, &thickness, gdi, &type, &charSet, &edge, &italic));
    EXPECT_STREQ(L"IPAGothic", face);
    EXPECT_EQ((std::vector<int>{12, 4, 2, 1, 0, 1}), (std::vector<int>{size, thickness, type, charSet, edge, italic}));
    FontHandleData *font = GetFontHandleData(gdi);
    EXPECT_EQ((std::vector<int>{3, 1, 20, 65001}),
              (std::vector<int>{font->Space, font->LineSpaceValidFlag, font->LineSpace, font->CharCodeFormat}));
    EXPECT_EQ(1, lost);  // the old record's release told its owner
    EXPECT_EQ(nullptr, font->LostFlag);
    font = GetFontHandleData(data);
    ASSERT_NE(nullptr, font);
    EXPECT_EQ((std::vector<int>{1, 1, 4}), (std::vector<int>{font->FromDataFlag, font->EdgeSize, font->Space}));
    EXPECT_NE(nullptr, CellOf(font, 'b'));
    // The former default lives on as an ordinary font; the next default is a new one.
    EXPECT_EQ(-1, GetDefaultFontHandle());
    EXPECT_EQ(1, CheckFontHandleValid(oldDefault));
    EXPECT_EQ(1, CheckFontHandleValid(DX_DEFAULT_FONT_HANDLE));
    EXPECT_NE(oldDefault, GetDefaultFontHandle());

    // Handles that are not fonts, or still loading, are refused.
    const int loading = AddHandle(DX_HANDLETYPE_FONT, 1, -1);
    for (int bad : {loading, MakeGraph(4, 4, 0), -1}) {
        EXPECT_EQ(0, CheckFontHandleValid(bad));
        EXPECT_EQ(-1, GetFontSizeToHandle(bad));
        EXPECT_EQ(-1, SetFontSpaceToHandle(1, bad));
        EXPECT_EQ(-1, GetFontStateToHandle(nullptr, nullptr, nullptr, bad, nullptr, nullptr, nullptr, nullptr));
        EXPECT_EQ(-1, DeleteFontToHandle(bad));
    }
    EXPECT_EQ(0, GetFontStateToHandle(nullptr, nullptr, nullptr, gdi, nullptr, nullptr, nullptr, nullptr));
    DecASyncLoadCount(loading);
}

TEST_F(Fonts, AsynchronousSetUpsRunOnTheLoadersAndDeleteTheHandleOnFailure)
{
    ASSERT_EQ(0, InitializeASyncLoad(GetCurrentThreadId()));
    ASSERT_EQ(0, StartASyncLoadThreads(2));
    const std::vector<uint8_t> image = ManyCharsFont('a', 2).Build();
    const int handles[] = {
        CreateFontHandleBase(nullptr, L"IPAGothic", 12, 6, DX_FONTTYPE_ANTIALIASING_EDGE, DX_CHARSET_UTF8, 2, 1, -1, 1),
        LoadFontDataFromMemBase(nullptr, image.data(), (int)image.size(), 0, -1, 1),
        LoadFontDataFromMemBase(nullptr, "FNTX", 4, 0, -1, 1),
    };
    for (int handle : handles)
        ASSERT_GE(handle, 0);
    while (GetASyncLoadNum() > 0) {  // the failed set-up deletes its handle at the job's end
        ProcessMainThreadRequests();
        Sleep(1);
    }
    EXPECT_EQ((std::vector<int>{1, 1, 0}), (std::vector<int>{CheckFontHandleValid(handles[0]),
                                                            CheckFontHandleValid(handles[1]),
                                                            CheckFontHandleValid(handles[2])}));
    // The loader made the font a direct creation makes.
    auto state = [](int Handle) {
        wchar_t name[256] = {};
        std::vector<int> values(6, -1);
        GetFontStateToHandle(name, &values[0], &values[1], Handle, &values[2], &values[3], &values[4], &values[5]);
        return std::make_pair(std::wstring(name), values);
    };
    const int direct =
        CreateFontHandleBase(nullptr, L"IPAGothic", 12, 6, DX_FONTTYPE_ANTIALIASING_EDGE, DX_CHARSET_UTF8, 2, 1, -1, 0);
    EXPECT_EQ(state(direct), state(handles[0]));
    EXPECT_EQ(12, state(handles[0]).second[0]);
    EXPECT_NE(nullptr, CellOf(GetFontHandleData(handles[1]), 'b'));
    TerminateASyncLoad();
}

}  // namespace
