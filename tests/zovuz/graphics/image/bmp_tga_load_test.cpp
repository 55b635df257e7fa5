// BMP and TGA files: every stored layout gives the expected pixels, and damaged or hostile
// files are refused without reading or writing outside their buffers.
#include <gtest/gtest.h>

#include <limits.h>
#include <string.h>

#include "tests/zovuz/graphics/image_fixture.h"

namespace {

using Rows = std::vector<std::vector<uint32_t>>;

struct BmpCase
{
    const char *Name;
    int Bits;
    uint32_t Compression;
    uint32_t HeaderSize;
    bool BottomUp;
    std::vector<uint32_t> FileMasks;  // as stored (bit fields)
    Rows Pixels;                      // values as stored, top row first
    uint32_t Red, Green, Blue, Alpha; // the image's masks (0 for palette images)
};

TEST(BmpLoad, StoredLayoutsGiveTheirPixelsTopDown)
{
    const Rows rgb = {{0x112233, 0x445566, 0x778899}, {0xAABBCC, 0xDDEEFF, 0x010203}};
    const Rows argb = {{0x80112233, 0x00445566, 0xFF778899}, {0x01AABBCC, 0x7FDDEEFF, 0x00010203}};
    const Rows rgb16 = {{0x7C00, 0x03E0, 0x001F}, {0x1234, 0x4321, 0x7FFF}};
    const BmpCase cases[] = {
        {"24 bottom-up", 24, 0, 40, true, {}, rgb, 0xFF0000, 0xFF00, 0xFF, 0},
        {"24 top-down", 24, 0, 40, false, {}, rgb, 0xFF0000, 0xFF00, 0xFF, 0},
        {"16 is 5-5-5", 16, 0, 40, true, {}, rgb16, 0x7C00, 0x3E0, 0x1F, 0},
        {"32 with alpha", 32, 0, 40, true, {}, argb, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
        // Most 32-bit files store 0 in the fourth byte: they are opaque.
        {"32 all fourth bytes 0", 32, 0, 40, true, {}, rgb, 0xFF0000, 0xFF00, 0xFF, 0},
        {"32 bit fields after header", 32, 3, 40, true, {0xFF0000, 0xFF00, 0xFF}, rgb, 0xFF0000, 0xFF00, 0xFF, 0},
        {"32 bit fields red on top", 32, 3, 40, true, {0xFF000000, 0xFF0000, 0xFF00}, argb, 0xFF000000, 0xFF0000, 0xFF00, 0},
        {"16 bit fields 5-6-5", 16, 3, 40, false, {0xF800, 0x7E0, 0x1F}, rgb16, 0xF800, 0x7E0, 0x1F, 0},
        {"V4 header with alpha mask", 32, 3, 108, true, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, argb, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
        {"V5 header 24-bit", 24, 0, 124, true, {}, rgb, 0xFF0000, 0xFF00, 0xFF, 0},
    };
    for (const BmpCase &c : cases) {
        SCOPED_TRACE(c.Name);
        BmpSpec s;
        s.Width = 3;
        s.Height = c.BottomUp ? 2 : -2;
        s.Bits = c.Bits;
        s.Compression = c.Compression;
        s.HeaderSize = c.HeaderSize;
        for (size_t i = 0; i < c.FileMasks.size(); ++i)
            s.Masks[i] = c.FileMasks[i];
        s.Data = PackBmpRows(c.Bits, 3, c.Pixels, c.BottomUp);
        LoadedImage img;
        LoadBytes(LoadBmpToBaseImage, BuildBmp(s), img);
        ASSERT_EQ(img.Result, 0);
        const COLORDATA &cd = img.Image.ColorData;
        EXPECT_EQ(img.Image.Width, 3);
        EXPECT_EQ(img.Image.Height, 2);
        EXPECT_EQ(cd.PixelBytes, c.Bits / 8);
        EXPECT_EQ(cd.RedMask, c.Red);
        EXPECT_EQ(cd.GreenMask, c.Green);
        EXPECT_EQ(cd.BlueMask, c.Blue);
        EXPECT_EQ(cd.AlphaMask, c.Alpha);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x)
                EXPECT_EQ(img.Raw(x, y), c.Pixels[y][x]) << x << "," << y;
    }
}

TEST(BmpLoad, PaletteImagesSpreadToOneIndexPerByte)
{
    struct Case
    {
        int Bits;
        uint32_t ColorsUsed;  // 0 = all 2^bits stored
        int Stored;           // entries in the file
        uint32_t HeaderSize;
        uint32_t Top;
    } cases[] = {
        {1, 0, 2, 40, 15}, {4, 0, 16, 40, 15}, {8, 0, 256, 40, 255},
        // A short palette is common in small files: only the counted entries are stored.
        {4, 3, 3, 40, 15}, {8, 5, 5, 40, 255},
        // The palette follows the header's own size.
        {8, 4, 4, 124, 255}, {8, 4, 4, 140, 255},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.Bits << " bits, " << c.Stored << " entries, header " << c.HeaderSize);
        BmpSpec s;
        s.Width = 9;
        s.Height = 2;
        s.Bits = c.Bits;
        s.HeaderSize = c.HeaderSize;
        s.ColorsUsed = c.ColorsUsed;
        for (int i = 0; i < c.Stored; ++i)
            s.Palette.push_back(0x010203u * (uint32_t)(i + 1) & 0xFFFFFF);
        const int top = (c.Bits == 1 ? 2 : c.Stored) - 1;
        Rows rows = {{}, {}};
        for (int x = 0; x < 9; ++x) {
            rows[0].push_back((uint32_t)(x % (top + 1)));
            rows[1].push_back((uint32_t)((top - x % (top + 1) + top + 1) % (top + 1)));
        }
        s.Data = PackBmpRows(c.Bits, 9, rows, true);
        LoadedImage img;
        LoadBytes(LoadBmpToBaseImage, BuildBmp(s), img);
        ASSERT_EQ(img.Result, 0);
        EXPECT_EQ(img.Image.ColorData.PixelBytes, 1);
        EXPECT_EQ(img.Image.ColorData.PaletteTop, c.Top);
        EXPECT_EQ(img.Image.Pitch, 12);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 9; ++x) {
                ASSERT_EQ(img.Raw(x, y), rows[y][x]) << x << "," << y;
                EXPECT_EQ(img.Entry(x, y), 0x010203u * (rows[y][x] + 1) & 0xFFFFFF) << "entry, alpha byte 0";
            }
    }
}

TEST(BmpLoad, RunLengthCodes)
{
    struct Case
    {
        const char *Name;
        int Bits, Width, Height;
        Bytes Data;
        std::vector<uint8_t> Expected;  // output rows top-down, Width bytes each
    } cases[] = {
        {"run and end of line", 8, 4, 1, {3, 0x41, 0, 0, 0, 1}, {0x41, 0x41, 0x41, 0}},
        {"bottom-up rows", 8, 2, 2, {2, 7, 0, 0, 1, 9, 0, 1}, {9, 0, 7, 7}},
        {"top-down rows", 8, 2, -2, {2, 7, 0, 0, 1, 9, 0, 1}, {7, 7, 9, 0}},
        // A literal of odd length is padded to the next even byte.
        {"odd literal", 8, 4, 1, {0, 3, 1, 2, 3, 0, 1, 4, 0, 1}, {1, 2, 3, 4}},
        // The delta moves from the current position.
        {"delta from current column", 8, 4, 2, {1, 5, 0, 2, 2, 1, 1, 6, 0, 1}, {0, 0, 0, 6, 5, 0, 0, 0}},
        {"nibble runs and literals", 4, 5, 1, {3, 0x12, 0, 3, 0x34, 0x50, 0, 1}, {1, 2, 1, 3, 4}},
        // Runs past the row's end are cut there; the last row's end finishes the image.
        {"run past the width", 8, 2, 1, {200, 3, 0, 0}, {3, 3}},
        {"delta past the image", 8, 2, 1, {1, 4, 0, 2, 255, 255, 1, 5}, {4, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        BmpSpec s;
        s.Width = c.Width;
        s.Height = c.Height;
        s.Bits = c.Bits;
        s.Compression = c.Bits == 8 ? 1 : 2;
        s.Palette.assign(c.Bits == 8 ? 256 : 16, 0);
        s.Data = c.Data;
        LoadedImage img;
        LoadBytes(LoadBmpToBaseImage, BuildBmp(s), img);
        ASSERT_EQ(img.Result, 0);
        EXPECT_EQ(img.Image.ColorData.PaletteTop, 255u);
        for (int y = 0; y < img.Image.Height; ++y)
            for (int x = 0; x < c.Width; ++x)
                EXPECT_EQ(img.Raw(x, y), c.Expected[(size_t)y * c.Width + x]) << x << "," << y;
    }
}

TEST(BmpLoad, DamagedAndHostileFilesAreRefused)
{
    auto base = [] {
        BmpSpec s;
        s.Width = 4;
        s.Height = 4;
        s.Data.assign(48, 0x5A);
        return s;
    };
    NamedFiles cases;
    {
        Bytes f = BuildBmp(base());
        f.resize(f.size() - 13);  // more than the last row's padding is missing
        cases.push_back({"pixel data cut", f});
    }
    {
        BmpSpec s = base();
        s.Width = 0x7FFF;
        s.Height = 0x7FFF;
        cases.push_back({"size beyond the data", BuildBmp(s)});
    }
    for (int32_t h : {INT_MIN, 0}) {
        BmpSpec s = base();
        s.Height = h;
        cases.push_back({"height INT_MIN or 0", BuildBmp(s)});
    }
    {
        Bytes f = BuildBmp(base());
        SetLe32(f, 14, 4000);
        cases.push_back({"header past the end", f});
    }
    {
        BmpSpec s = base();
        s.HeaderSize = 12;
        cases.push_back({"header too small", BuildBmp(s)});
    }
    {
        BmpSpec s = base();
        s.Bits = 8;
        s.Palette.assign(4, 0);
        s.Data.clear();
        Bytes f = BuildBmp(s);
        SetLe32(f, 46, 200);  // 200 entries counted, 4 stored, no pixels
        f.resize(14 + 40 + 16);
        cases.push_back({"palette past the end", f});
    }
    {
        BmpSpec s = base();
        s.Bits = 32;
        s.Compression = 3;
        s.Masks[0] = 0xFFFF00;
        s.Masks[1] = 0xFF00;
        s.Masks[2] = 0xFF;
        s.Data.assign(64, 0);
        cases.push_back({"overlapping masks", BuildBmp(s)});
    }
    {
        BmpSpec s = base();
        s.Bits = 8;
        s.Compression = 1;
        s.Palette.assign(256, 0);
        s.Data = {2, 1, 0, 0, 2, 1};  // stops before the image ends
        cases.push_back({"run-length data cut", BuildBmp(s)});
    }
    {
        Bytes f = BuildBmp(base());
        SetLe32(f, 10, 0x7FFFFFF0);
        cases.push_back({"pixel offset past the end", f});
    }
    ExpectAllRefused(LoadBmpToBaseImage, cases);
}

TEST(BmpLoad, LastRowWithoutPaddingStillLoads)
{
    BmpSpec s;
    s.Width = 1;
    s.Height = 2;
    s.Data = {1, 2, 3, 0, 4, 5, 6};  // the final padding byte is missing
    LoadedImage img;
    LoadBytes(LoadBmpToBaseImage, BuildBmp(s), img);
    ASSERT_EQ(img.Result, 0);
    EXPECT_EQ(img.Raw(0, 0), 0x060504u);
    EXPECT_EQ(img.Raw(0, 1), 0x030201u);
}

// ---- TGA ----

// Pixels of a 3 x 2 test image (top row first, 24-bit), with a repeat for the run packets.
const uint32_t kTgaPixels[2][3] = {{0x102030, 0x102030, 0x405060}, {0x708090, 0xA0B0C0, 0xA0B0C0}};

// The stored values in file order for a descriptor, as indices (mapped) or 24-bit colour.
Bytes TgaValues(int Descriptor, bool Mapped)
{
    Bytes out;
    for (int r = 0; r < 2; ++r) {
        int y = (Descriptor & 0x20) ? r : 1 - r;
        for (int c = 0; c < 3; ++c) {
            int x = (Descriptor & 0x10) ? 2 - c : c;
            if (Mapped) {
                out.push_back((uint8_t)(10 + y * 3 + x));
            } else {
                for (int i = 0; i < 3; ++i)
                    out.push_back((uint8_t)(kTgaPixels[y][x] >> (8 * i)));
            }
        }
    }
    return out;
}

// Run-length packets: repeats of equal values become runs, the rest one-value literals.
Bytes TgaRle(const Bytes &Values, int Size)
{
    Bytes out;
    for (size_t i = 0; i < Values.size();) {
        size_t n = 1;
        while (i + n * Size < Values.size() && memcmp(&Values[i], &Values[i + n * Size], Size) == 0)
            ++n;
        out.push_back((uint8_t)(n > 1 ? 0x80 | (n - 1) : 0));
        out.insert(out.end(), Values.begin() + i, Values.begin() + i + Size);
        i += n * Size;
    }
    return out;
}

TgaSpec TgaOf(int Type, int Descriptor, bool Footer)
{
    const bool mapped = Type == 1 || Type == 9;
    TgaSpec s;
    s.Type = Type;
    s.Width = 3;
    s.Height = 2;
    s.Descriptor = Descriptor;
    s.Footer = Footer;
    if (mapped) {
        s.MapType = 1;
        s.MapFirst = 10;
        s.MapLength = 6;
        s.MapEntryBits = 24;
        s.PixelBits = 8;
        for (int i = 0; i < 6; ++i)
            for (int b = 0; b < 3; ++b)
                s.Map.push_back((uint8_t)(kTgaPixels[i / 3][i % 3] >> (8 * b)));
    }
    Bytes values = TgaValues(Descriptor, mapped);
    s.Data = Type >= 9 ? TgaRle(values, mapped ? 1 : 3) : values;
    return s;
}

TEST(TgaLoad, EveryTypeAndOrientationGivesTopDownPixels)
{
    for (int type : {1, 2, 9, 10})
        for (int descriptor : {0x00, 0x10, 0x20, 0x30})
            for (bool footer : {false, true}) {
                SCOPED_TRACE(testing::Message() << "type " << type << " descriptor " << descriptor << " footer " << footer);
                LoadedImage img;
                LoadBytes(LoadTgaToBaseImage, BuildTga(TgaOf(type, descriptor, footer)), img);
                ASSERT_EQ(img.Result, 0);
                EXPECT_EQ(img.Image.ColorData.PixelBytes, 3);
                EXPECT_EQ(img.Image.Pitch, 9);
                for (int y = 0; y < 2; ++y)
                    for (int x = 0; x < 3; ++x)
                        EXPECT_EQ(img.Raw(x, y), kTgaPixels[y][x]) << x << "," << y;
            }
}

TEST(TgaLoad, ColourDepthsMapsAndShortFiles)
{
    {
        // A true-colour file that carries a colour map: the map is skipped, not read as pixels.
        TgaSpec s = TgaOf(2, 0x20, false);
        s.MapType = 1;
        s.MapLength = 2;
        s.MapEntryBits = 24;
        s.Map.assign(6, 0xEE);
        LoadedImage img;
        LoadBytes(LoadTgaToBaseImage, BuildTga(s), img);
        ASSERT_EQ(img.Result, 0);
        EXPECT_EQ(img.Raw(0, 0), kTgaPixels[0][0]);
    }
    {
        // 1 x 1 at 24 bits is 21 bytes: shorter than a footer, still a whole file.
        TgaSpec s;
        s.Data = {1, 2, 3};
        LoadedImage img;
        LoadBytes(LoadTgaToBaseImage, BuildTga(s), img);
        ASSERT_EQ(img.Result, 0);
        EXPECT_EQ(img.Raw(0, 0), 0x030201u);
    }
    for (int bits : {16, 32}) {
        TgaSpec s;
        s.PixelBits = bits;
        s.Width = 2;
        s.Data = bits == 16 ? Bytes{0x1F, 0x80, 0xE0, 0x03} : Bytes{1, 2, 3, 4, 5, 6, 7, 8};
        LoadedImage img;
        LoadBytes(LoadTgaToBaseImage, BuildTga(s), img);
        ASSERT_EQ(img.Result, 0) << bits;
        EXPECT_EQ(img.Image.ColorData.RedMask, bits == 16 ? 0x7C00u : 0xFF0000u);
        EXPECT_EQ(img.Image.ColorData.AlphaMask, bits == 16 ? 0u : 0xFF000000u);
        EXPECT_EQ(img.Raw(1, 0), bits == 16 ? 0x03E0u : 0x08070605u);
    }
    {
        // Map entries past index 255 cannot be reached by a byte: they are skipped safely.
        TgaSpec s = TgaOf(1, 0x20, false);
        s.MapFirst = 250;
        s.MapLength = 20;
        s.Map.assign(60, 0x44);
        s.Data = {255, 5, 0, 0, 0, 0};
        LoadedImage img;
        LoadBytes(LoadTgaToBaseImage, BuildTga(s), img);
        ASSERT_EQ(img.Result, 0);
        EXPECT_EQ(img.Raw(0, 0), 0x444444u);
        EXPECT_EQ(img.Raw(1, 0), 0u);
    }
    {
        // A run that reaches past the last pixel is cut there.
        TgaSpec s = TgaOf(10, 0x20, false);
        s.Data = {0xFF, 9, 8, 7};
        LoadedImage img;
        LoadBytes(LoadTgaToBaseImage, BuildTga(s), img);
        ASSERT_EQ(img.Result, 0);
        EXPECT_EQ(img.Raw(2, 1), 0x070809u);
    }
}

TEST(TgaLoad, DamagedAndHostileFilesAreRefused)
{
    NamedFiles cases;
    {
        TgaSpec s = TgaOf(2, 0x20, false);
        s.Width = 8193;
        s.Height = 1;
        s.Data.assign(8193 * 3, 1);
        cases.push_back({"width over 8192", BuildTga(s)});
    }
    {
        TgaSpec s = TgaOf(10, 0x20, false);
        s.Data = {0x05, 1, 2, 3};  // a literal packet of six pixels holding one
        cases.push_back({"literal packet cut", BuildTga(s)});
    }
    {
        Bytes f = BuildTga(TgaOf(2, 0x20, false));
        f.resize(f.size() - 1);
        cases.push_back({"pixels cut", f});
    }
    {
        Bytes f = BuildTga(TgaOf(10, 0x20, false));
        f.resize(f.size() - 2);
        cases.push_back({"run-length data cut", f});
    }
    {
        Bytes f = BuildTga(TgaOf(2, 0x20, false));
        f.resize(10);
        cases.push_back({"shorter than a header", f});
    }
    {
        TgaSpec s = TgaOf(2, 0x20, false);
        s.Type = 3;
        cases.push_back({"grey type", BuildTga(s)});
    }
    {
        TgaSpec s = TgaOf(2, 0x20, false);
        s.PixelBits = 15;
        cases.push_back({"15-bit pixels", BuildTga(s)});
    }
    {
        Bytes f = BuildTga(TgaOf(1, 0x20, false));
        f[5] = 0xFF;
        f[6] = 0xFF;  // a 65535-entry map the file does not hold
        cases.push_back({"colour map past the end", f});
    }
    ExpectAllRefused(LoadTgaToBaseImage, cases);
}

}  // namespace
