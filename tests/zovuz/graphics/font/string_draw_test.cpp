// Text: measuring (lines, vertical writing, long strings), drawing on the software renderer (ink
// inside the measured box, blended text through the temporary screen, anti-aliased and edged
// fonts, vertical glyphs) and the glyph draws a Direct3D back end receives.
#include "tests/zovuz/graphics/font/font_fixture.h"
#include "tests/zovuz/graphics/graphics_start_fixture.h"
#include "zovuz/graphics/font/string_internal.h"

#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <utility>

namespace {

using PixelSet = std::set<std::pair<int, int>>;

FontHandleData *DefaultFont() { return GetFontHandleData(DX_DEFAULT_FONT_HANDLE); }
int AdvanceOf(wchar_t Code) { return CellOf(DefaultFont(), (uint32_t)Code)->Advance; }

struct Measure
{
    int Result;
    int Size[2];
    int Lines;
    int Records;
    DrawStringCharInfo Info[8];
};

Measure MeasureString(const wchar_t *String, int Vertical, FontHandleData *Font = DefaultFont())
{
    Measure m = {};
    DrawStringCoreParam p = {};
    p.IntPositionFlag = 1;
    p.String = String;
    p.Font = Font;
    p.Length = -1;
    p.VerticalFlag = Vertical;
    p.SizeOut = m.Size;
    p.LineCountOut = &m.Lines;
    p.CharInfo = m.Info;
    p.CharInfoCapacity = 8;
    p.CharInfoNumOut = &m.Records;
    m.Result = DrawStringCore(&p);
    return m;
}

// Pixels of a 32-bit image (or of the draw target) that differ from Background.
PixelSet InkOf(const std::vector<uint32_t> &Pixels, int Width, uint32_t Background)
{
    PixelSet ink;
    for (size_t i = 0; i < Pixels.size(); ++i)
        if ((Pixels[i] & 0xFFFFFF) != Background)
            ink.insert({(int)(i % Width), (int)(i / Width)});
    return ink;
}

std::vector<uint32_t> ImagePixels(const MEMIMG &Image)
{
    std::vector<uint32_t> pixels;
    for (int y = 0; y < Image.Height; ++y)
        for (int x = 0; x < Image.Width; ++x)
            pixels.push_back(((const uint32_t *)(Image.UseImage + (size_t)y * Image.Base->Pitch))[x]);
    return pixels;
}

class StringDrawing : public SoftwareGraphics
{
protected:
    void TearDown() override
    {
        SetDrawBlendMode(DX_BLENDMODE_NOBLEND, 0);
        SetFontSpaceToHandle(0, DX_DEFAULT_FONT_HANDLE);
    }
    // The string drawn into a 48 x 24 image with DrawStringCore.
    std::vector<uint32_t> DrawIntoImage(FontHandleData *Font, const wchar_t *String, int Vertical, int Parts,
                                        uint32_t Color = 0xFF0000, uint32_t Edge = 0x0000FF)
    {
        MEMIMG image = {};
        EXPECT_EQ(0, InitializeMemImg(&image, 48, 24, MEMIMG_COLORTYPE_XRGB8));
        FillMemImg(&image, nullptr, 0);
        DrawStringCoreParam p = {};
        p.DrawFlag = 1;
        p.X = 4;
        p.Y = 4;
        p.IntPositionFlag = 1;
        p.String = String;
        p.Color = Color;
        p.EdgeColor = Edge;
        p.DestImage = &image;
        p.TransFlag = 1;
        p.Font = Font;
        p.Length = -1;
        p.VerticalFlag = Vertical;
        p.OnlyParts = Parts;
        DrawStringCore(&p);
        std::vector<uint32_t> pixels = ImagePixels(image);
        TerminateMemImg(&image);
        return pixels;
    }
};

TEST_F(StringDrawing, MeasuringGivesTheBlockItsLinesAndRecords)
{
    FontHandleData *font = DefaultFont();
    ASSERT_NE(nullptr, font);
    const int a = AdvanceOf(L'a'), b = AdvanceOf(L'b'), height = font->Metrics.LineHeight;
    ASSERT_GT(a, 0);

    Measure h = MeasureString(L"ab\nc", 0);
    EXPECT_EQ(a + b, h.Result);
    EXPECT_EQ(a + b, h.Size[0]);
    EXPECT_EQ(2 * height, h.Size[1]);
    EXPECT_EQ(2, h.Lines);
    EXPECT_EQ(4, h.Records);
    EXPECT_EQ('c', h.Info[3].Char[0]);
    EXPECT_EQ(1, h.Info[3].Bytes);
    EXPECT_EQ(0.0f, h.Info[2].SizeX);  // the line feed
    EXPECT_EQ((float)a, h.Info[1].DrawX);
    EXPECT_EQ((float)height, h.Info[3].DrawY);

    // Vertical writing swaps the block's sides and each record's.
    Measure v = MeasureString(L"ab\nc", 1);
    EXPECT_EQ(a + b, v.Result);
    EXPECT_EQ(2 * height, v.Size[0]);
    EXPECT_EQ(a + b, v.Size[1]);
    EXPECT_EQ((float)a, v.Info[1].DrawY);
    EXPECT_EQ((float)height, v.Info[3].DrawX);
    EXPECT_EQ((float)b, v.Info[1].SizeY);
    EXPECT_EQ((float)height, v.Info[1].SizeX);

    // The character spacing is added to every advance.
    SetFontSpaceToHandle(3, DX_DEFAULT_FONT_HANDLE);
    EXPECT_EQ(a + b + 6, MeasureString(L"ab", 0).Result);
    SetFontSpaceToHandle(0, DX_DEFAULT_FONT_HANDLE);

    for (const wchar_t *nothing : {(const wchar_t *)nullptr, L""}) {
        Measure n = MeasureString(nothing, 0);
        EXPECT_EQ(0, n.Result);
        EXPECT_EQ(0, n.Size[0] | n.Size[1] | n.Lines);
    }

    // Past the shared code buffer the string is decoded into an allocated one, freed again.
    const int before = GetAllocNum();
    std::wstring longString(DRAW_STRING_CODE_BUFFER_NUM + 1, L'a');
    EXPECT_EQ(a * (DRAW_STRING_CODE_BUFFER_NUM + 1), MeasureString(longString.c_str(), 0).Result);
    EXPECT_EQ(before, GetAllocNum());
}

TEST_F(StringDrawing, FormattedTextInksOnlyItsMeasuredBoxOnAGraph)
{
    SetDrawValidGraphCreateFlag(1);
    int graph = MakeGraph(64, 32, 0);
    SetDrawValidGraphCreateFlag(0);
    ASSERT_EQ(0, SetDrawScreen(graph));
    ClearDrawScreen(nullptr);
    EXPECT_EQ(0, DrawFormatString(2, 2, GetColorValue(255, 255, 255), "%d", 42));
    Measure m = MeasureString(L"42", 0);
    PixelSet ink = InkOf(ReadPixels(graph, 0, 0, 64, 32), 64, 0);
    EXPECT_GT(ink.size(), 10u);
    for (const auto &p : ink)
        EXPECT_TRUE(p.first >= 2 && p.first < 2 + m.Size[0] && p.second >= 2 && p.second < 2 + m.Size[1])
            << p.first << " " << p.second;
    SetDrawScreen(DX_SCREEN_BACK);
    DeleteGraph(graph);
}

// Japanese text on the screen: each character shows its own glyph (a missing face would give
// every one the same box), inside its own advance.
TEST_F(StringDrawing, JapaneseTextShowsADistinctGlyphForEachCharacter)
{
    const wchar_t text[] = L"\u6F22\u5B57\u304B\u306A\u30AB\u30CA";
    const int count = 6;
    SetDrawValidGraphCreateFlag(1);
    int graph = MakeGraph(160, 32, 0);
    SetDrawValidGraphCreateFlag(0);
    ASSERT_EQ(0, SetDrawScreen(graph));
    ClearDrawScreen(nullptr);
    EXPECT_EQ(0, DrawStringToHandleW(2, 2, text, GetColorValue(255, 255, 255), DX_DEFAULT_FONT_HANDLE));
    const std::vector<uint32_t> pixels = ReadPixels(graph, 0, 0, 160, 32);
    SetDrawScreen(DX_SCREEN_BACK);
    DeleteGraph(graph);

    std::set<PixelSet> glyphs;
    int left = 2;
    for (int i = 0; i < count; ++i) {
        const int advance = AdvanceOf(text[i]);
        PixelSet ink;
        for (int y = 0; y < 32; ++y)
            for (int x = left; x < left + advance && x < 160; ++x)
                if ((pixels[(size_t)y * 160 + x] & 0xFFFFFF) != 0) ink.insert({x - left, y});
        EXPECT_GT(ink.size(), 8u) << i;
        glyphs.insert(ink);
        left += advance;
    }
    EXPECT_EQ((size_t)count, glyphs.size());
}

TEST_F(StringDrawing, BlendedTextGoesThroughTheTemporaryScreen)
{
    // Opaque, then half-transparent over grey: the same pixels are inked, halfway between; the
    // temporary screen's fill is kept away from the text colour, so black text shows too; the
    // draw bright tints the text once.
    const uint32_t grey = 0x404040;
    struct Case
    {
        int Red;
        int Bright;
        uint32_t Half;   // the ink at parameter 128
    } cases[] = {{255, 255, 0x9F9F9F}, {0, 255, 0x202020}, {255, 128, 0x606060}};
    for (const Case &c : cases) {
        const unsigned color = GetColorValue(c.Red, c.Red, c.Red);
        DrawBox(0, 0, 64, 32, GetColorValue(0x40, 0x40, 0x40), 1);
        DrawStringToHandle(2, 2, "42", color, DX_DEFAULT_FONT_HANDLE);
        PixelSet opaque = InkOf(ReadPixels(DX_SCREEN_BACK, 0, 0, 64, 32), 64, grey);
        DrawBox(0, 0, 64, 32, GetColorValue(0x40, 0x40, 0x40), 1);
        SetDrawBlendMode(DX_BLENDMODE_ALPHA, 128);
        SetDrawBright(c.Bright, c.Bright, c.Bright);
        DrawStringToHandle(2, 2, "42", color, DX_DEFAULT_FONT_HANDLE);
        SetDrawBright(255, 255, 255);
        SetDrawBlendMode(DX_BLENDMODE_NOBLEND, 0);
        std::vector<uint32_t> pixels = ReadPixels(DX_SCREEN_BACK, 0, 0, 64, 32);
        EXPECT_GT(opaque.size(), 10u) << c.Red;
        EXPECT_EQ(opaque, InkOf(pixels, 64, grey)) << c.Red;
        for (const auto &p : opaque)
            EXPECT_NEAR((int)(c.Half & 0xFF), (int)(pixels[(size_t)p.second * 64 + p.first] & 0xFF), 2) << c.Red;
    }
}

TEST_F(StringDrawing, AntiAliasedTextBlendsItsGreyLevelsOntoTheTarget)
{
    int font = CreateFontHandleBase(nullptr, nullptr, 24, -1, DX_FONTTYPE_ANTIALIASING, -1, -1, 0, -1, 0);
    ASSERT_GE(font, 0);
    ClearDrawScreen(nullptr);
    EXPECT_EQ(0, DrawStringToHandle(2, 2, "W", GetColorValue(255, 255, 255), font));
    std::vector<uint32_t> pixels = ReadPixels(DX_SCREEN_BACK, 0, 0, 64, 32);
    int partial = 0, full = 0;
    for (uint32_t p : pixels) {
        int level = p & 0xFF;
        partial += level > 0 && level < 0xF0;
        full += level >= 0xF0;
    }
    EXPECT_GT(partial, 0);
    EXPECT_GT(full, 0);
    DeleteFontToHandle(font);
}

TEST_F(StringDrawing, EdgedGlyphsDrawTheirEdgeAndBodyAsAsked)
{
    int handle = CreateFontHandleBase(nullptr, nullptr, 16, -1, DX_FONTTYPE_EDGE, -1, 2, 0, -1, 0);
    ASSERT_GE(handle, 0);
    FontHandleData *font = GetFontHandleData(handle);
    auto count = [](const std::vector<uint32_t> &Pixels, uint32_t Color) {
        int n = 0;
        for (uint32_t p : Pixels)
            n += (p & 0xFFFFFF) == Color;
        return n;
    };
    std::vector<uint32_t> all = DrawIntoImage(font, L"H", 0, DRAW_STRING_PARTS_ALL);
    std::vector<uint32_t> body = DrawIntoImage(font, L"H", 0, DRAW_STRING_PARTS_BODY);
    std::vector<uint32_t> edge = DrawIntoImage(font, L"H", 0, DRAW_STRING_PARTS_EDGE);
    EXPECT_GT(count(all, 0xFF0000), 0);
    EXPECT_GT(count(all, 0x0000FF), 0);
    EXPECT_EQ(count(all, 0xFF0000), count(body, 0xFF0000));
    EXPECT_EQ(0, count(body, 0x0000FF));
    EXPECT_EQ(count(all, 0x0000FF), count(edge, 0x0000FF));
    EXPECT_EQ(0, count(edge, 0xFF0000));
    // The edge's top row lies at the top of the cell image, moved up by half the edge size.
    PixelSet ink = InkOf(all, 48, 0);
    int top = 1 << 30;
    for (const auto &p : ink)
        top = p.second < top ? p.second : top;
    EXPECT_EQ(4 + CellOf(font, 'H')->DrawY - 1, top);
    DeleteFontToHandle(handle);
}

TEST_F(StringDrawing, VerticalGlyphsAreTurnedAQuarterClockwise)
{
    // "L" drawn across and down: the vertical ink is the horizontal ink turned, (x, y) -> (-y, x).
    auto normalised = [](const PixelSet &Ink, bool Turn) {
        PixelSet turned;
        for (const auto &p : Ink)
            turned.insert(Turn ? std::make_pair(-p.second, p.first) : p);
        int left = 1 << 30, top = 1 << 30;
        for (const auto &p : turned) {
            left = p.first < left ? p.first : left;
            top = p.second < top ? p.second : top;
        }
        PixelSet out;
        for (const auto &p : turned)
            out.insert({p.first - left, p.second - top});
        return out;
    };
    PixelSet across = InkOf(DrawIntoImage(DefaultFont(), L"L", 0, 0), 48, 0);
    PixelSet down = InkOf(DrawIntoImage(DefaultFont(), L"L", 1, 0), 48, 0);
    ASSERT_GT(across.size(), 5u);
    EXPECT_EQ(normalised(across, true), normalised(down, false));
}

TEST_F(StringDrawing, BadFontsAndEmptyStringsDrawNothing)
{
    ClearDrawScreen(nullptr);
    EXPECT_EQ(-1, DrawStringToHandleW(0, 0, L"a", GetColorValue(255, 255, 255), 0x12345));
    EXPECT_EQ(-1, DrawStringToHandle(0, 0, "a", GetColorValue(255, 255, 255), 0x12345));
    EXPECT_EQ(0, DrawStringToHandle(0, 0, nullptr, GetColorValue(255, 255, 255), DX_DEFAULT_FONT_HANDLE));
    EXPECT_EQ(0, DrawStringToHandleW(0, 0, L"", GetColorValue(255, 255, 255), 0x12345));
    // A string longer than the stack buffer converts into an allocated one and is drawn whole:
    // with the spacing taking back each space's advance, the last character lands at the start.
    SetFontSpaceToHandle(-AdvanceOf(L' '), DX_DEFAULT_FONT_HANDLE);
    std::string text(599, ' ');
    text += "W";
    const int before = GetAllocNum();
    EXPECT_EQ(0, DrawStringToHandle(0, 0, text.c_str(), GetColorValue(255, 255, 255), DX_DEFAULT_FONT_HANDLE));
    EXPECT_EQ(before, GetAllocNum());
    EXPECT_GT(InkOf(ReadPixels(DX_SCREEN_BACK, 0, 0, 32, 24), 32, 0).size(), 10u);
}

// ---- Texture caches: the glyphs reach the back end as graph draws ----------------------------

TEST_F(TextureFonts, GlyphsAreDrawnFromTheCacheGraphInTheTextColour)
{
    Start(640, 480);
    SetLibraryStarted(1);  // DrawGraph draws only once the library runs
    FontHandleData *font = DefaultFont();
    ASSERT_NE(nullptr, font);
    ASSERT_EQ(1, font->TextureCacheFlag);
    FontCharData a = *CellOf(font, 'a');
    const int side = font->Metrics.CellSide;
    FakeHardware.Calls.clear();
    EXPECT_EQ(0, DrawStringToHandleW(10, 20, L"a a", GetColorValue(255, 0, 0), DX_DEFAULT_FONT_HANDLE));

    // Each glyph: the whole cache graph placed so that its cell lands at the pen plus the draw
    // offset, cut to the glyph by the draw area; the space draws nothing.
    std::vector<std::string> draws = CallsStartingWith("DrawGraph");
    ASSERT_EQ(2u, draws.size());
    const int space = CellOf(font, ' ')->Advance;
    for (int i = 0; i < 2; ++i) {
        const int x = 10 + i * (a.Advance + space) + a.DrawX, y = 20 + a.DrawY;
        char want[96];
        snprintf(want, sizeof(want), "DrawGraph %d %d 1 in %d %d %d %d", x - a.Column * side, y - a.Row * side, x, y,
                 x + a.Width, y + a.Height);
        EXPECT_EQ(want, draws[i]);
    }
    // The text colour was the draw bright while drawing; the caller's white is back.
    EXPECT_FALSE(CallsStartingWith("UpdateDiffuseColor").empty());
    EXPECT_EQ(255, GraphicsDrawSettings.DrawBrightGreen);

    // Vertical: the cache graph turned a quarter clockwise, cut to the turned glyph.
    FakeHardware.Calls.clear();
    DrawStringToHandleW(100, 20, L"a", GetColorValue(255, 0, 0), DX_DEFAULT_FONT_HANDLE, 0, 1);
    std::vector<std::string> turned = CallsStartingWith("DrawModiGraph");
    ASSERT_EQ(1u, turned.size());
    const int X = 100 + font->Metrics.LineHeight - a.DrawY, Y = 20 + a.DrawX;
    char want[96];
    snprintf(want, sizeof(want), " in %d %d %d %d", X - a.Height - 1, Y, X + 1, Y + a.Width);
    EXPECT_NE(std::string::npos, turned[0].find(want)) << turned[0];

    // Subtraction on a device that cannot subtract: inverting boxes over the line the text can
    // touch bracket the glyphs.
    GraphicsDeviceCaps.SubtractiveBlendFlag = 0;
    SetDrawBlendMode(3, 100);
    const uint16_t adjust = font->Metrics.SizeAdjust;
    font->Metrics.SizeAdjust = 4;
    FakeHardware.Calls.clear();
    DrawStringToHandleW(10, 20, L"a", GetColorValue(255, 0, 0), DX_DEFAULT_FONT_HANDLE);
    SetDrawBlendMode(DX_BLENDMODE_NOBLEND, 0);
    const int top = 20 - font->Metrics.SizeAdjust / 2;
    snprintf(want, sizeof(want), "DrawFillBox 10 %d 640 %d FFFFFFFF", top, top + font->Metrics.Size + 3);
    std::vector<std::string> boxes = CallsStartingWith("DrawFillBox");
    EXPECT_EQ(std::vector<std::string>(2, want), boxes);
    EXPECT_EQ(1u, CallsStartingWith("DrawGraph").size());
    font->Metrics.SizeAdjust = adjust;
    SetLibraryStarted(0);
}

// Turned text on a texture cache: the glyph's box (its cell with a one-pixel border) is turned
// about the pen, a quarter turn mapping (u, v) to (-v, u); vertical text turns it a quarter
// clockwise below the line, shifted by the half-pixel offset of a device that needs one.
TEST_F(TextureFonts, TurnedGlyphsKeepTheCornersOfTheirBox)
{
    Start(640, 480);
    SetLibraryStarted(1);
    FontHandleData *font = DefaultFont();
    ASSERT_NE(nullptr, font);
    // A glyph away from the cache's first row and column, whose bordered cell lies inside it.
    const wchar_t *filler = L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    DrawStringToHandleW(0, 0, filler, GetColorValue(255, 255, 255), DX_DEFAULT_FONT_HANDLE);
    wchar_t glyph[2] = {};
    for (const wchar_t *c = filler; *c != 0 && glyph[0] == 0; ++c)
        if (CellOf(font, *c)->Column > 0 && CellOf(font, *c)->Row > 0) glyph[0] = *c;
    ASSERT_NE(0, glyph[0]);
    const FontCharData g = *CellOf(font, glyph[0]);
    const double left = g.DrawX - 1, top = g.DrawY - 1, right = left + g.Width + 2, bottom = top + g.Height + 2;
    const double half = GetPixelCenterNoOffsetFlag() ? 0.0 : -0.5, line = 100 + font->Metrics.LineHeight + half;
    struct Case {
        const char *Name;
        int Rotate, Vertical;
        const char *Call;
        double Corners[8];  // x, y of the four corners in the call's order
    } cases[] = {
        // DrawGraphRects: top left, top right, bottom left, bottom right of the box.
        {"a quarter turn", 1, 0, "DrawGraphRects 1",
         {100 - top, 50 + left, 100 - top, 50 + right, 100 - bottom, 50 + left, 100 - bottom, 50 + right}},
        // DrawModiGraph: the box's top left, top right, bottom right, bottom left.
        {"vertical", 0, 1, "DrawModiGraph",
         {line - top, 50 + half + left, line - top, 50 + half + right, line - bottom, 50 + half + right, line - bottom,
          50 + half + left}},
    };
    for (const Case &c : cases) {
        DrawStringCoreParam p = {};
        p.DrawFlag = 1;
        p.XF = 100.0f;
        p.YF = 50.0f;
        p.RotateValidFlag = c.Rotate;
        p.RotateAngle = c.Rotate ? 1.5707963267948966 : 0.0;
        p.VerticalFlag = c.Vertical;
        p.String = glyph;
        p.Length = -1;
        p.Font = font;
        p.Color = GetColorValue(255, 255, 255);
        FakeHardware.Calls.clear();
        EXPECT_GT(DrawStringCore(&p), 0) << c.Name;
        std::vector<std::string> calls = CallsStartingWith(c.Call);
        ASSERT_EQ(1u, calls.size()) << c.Name;
        std::istringstream in(calls[0].substr(strlen(c.Call)));
        for (int i = 0; i < 8; ++i) {
            double value = 0;
            in >> value;
            EXPECT_NEAR(c.Corners[i], value, 1e-3) << c.Name << ", corner value " << i << " of " << calls[0];
        }
    }
    SetLibraryStarted(0);
}

}  // namespace
