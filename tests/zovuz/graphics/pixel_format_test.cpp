// The pixel-format table and the choice of an entry for a format request.
#include <gtest/gtest.h>

#include "zovuz/graphics/zovuz_graphics_backend.h"

namespace {

TEST(PixelFormat, EachRequestChoosesItsEntry)
{
    // Alpha, alpha test, render target, format id, float, colour bits, channels, channel bits.
    struct Case
    {
        const char *Name;
        PixelFormatRequest Request;
        int Index;
    } cases[] = {
        {"32 bits with alpha", {1, 0, 0, 0, 0, 32, 0, 0}, 9},
        {"32 bits with a colour key", {0, 1, 0, 0, 0, 32, 0, 0}, 11},
        {"32 bits plain", {0, 0, 0, 0, 0, 32, 0, 0}, 7},
        {"render target with alpha", {1, 0, 1, 0, 0, 32, 0, 0}, 35},
        {"render target with a colour key", {0, 1, 1, 0, 0, 16, 0, 0}, 35},
        {"render target plain", {0, 0, 1, 0, 0, 32, 0, 0}, 34},
        {"16-bit render target", {0, 0, 1, 0, 0, 16, 0, 0}, 33},
        {"16 bits with alpha", {1, 0, 0, 0, 0, 16, 0, 0}, 8},
        {"16 bits with a colour key", {0, 1, 0, 0, 0, 16, 0, 0}, 10},
        {"16 bits plain", {0, 0, 0, 0, 0, 16, 0, 0}, 6},
        {"DXT1 before everything else", {1, 0, 1, 1, 1, 32, 1, 8}, 12},
        {"format id 9", {0, 0, 0, 9, 0, 32, 0, 0}, 20},
        {"4-bit palette with alpha", {1, 1, 0, 0, 0, 4, 0, 0}, 2},
        {"4-bit palette with a colour key", {0, 1, 0, 0, 0, 4, 0, 0}, 4},
        {"8-bit palette", {0, 0, 1, 0, 0, 8, 0, 0}, 1},
        {"four 16-bit channels", {0, 0, 0, 0, 0, 64, 0, 16}, 22},
        {"four 9-bit channels", {0, 0, 0, 0, 0, 32, 0, 9}, 22},
        {"four half floats", {0, 0, 0, 0, 1, 64, 0, 16}, 23},
        {"four floats by the colour depth", {0, 0, 0, 0, 1, 128, 0, 0}, 24},
        {"four half floats by the colour depth", {0, 0, 0, 0, 1, 64, 0, 0}, 23},
        {"render target of four 16-bit channels", {0, 0, 1, 0, 0, 64, 0, 16}, 36},
        {"render target of four half floats", {0, 0, 1, 0, 1, 64, 0, 16}, 37},
        {"render target of four floats", {0, 0, 1, 0, 1, 128, 0, 32}, 38},
        {"one 8-bit channel", {0, 0, 0, 0, 0, 8, 1, 8}, 25},
        {"one 16-bit channel", {0, 0, 0, 0, 0, 16, 1, 16}, 26},
        {"one channel judged by the colour depth", {0, 0, 0, 0, 0, 8, 1, 0}, 25},
        {"one half float", {0, 0, 0, 0, 1, 16, 1, 16}, 27},
        {"one float", {0, 0, 0, 0, 1, 32, 1, 32}, 28},
        {"render target of one 8-bit channel", {0, 0, 1, 0, 0, 8, 1, 8}, 39},
        {"render target of one float", {0, 0, 1, 0, 1, 32, 1, 0}, 42},
        {"two 8-bit channels", {0, 0, 0, 0, 0, 16, 2, 8}, 29},
        {"two channels in 16 bits", {0, 0, 0, 0, 0, 16, 2, 0}, 29},
        {"two channels in 32 bits", {0, 0, 0, 0, 0, 32, 2, 0}, 30},
        {"two half floats in 32 bits", {0, 0, 0, 0, 1, 32, 2, 0}, 31},
        {"two floats in 64 bits", {0, 0, 0, 0, 1, 64, 2, 0}, 32},
        {"render target of two 16-bit channels", {0, 0, 1, 0, 0, 32, 2, 16}, 44},
        {"render target of two half floats", {0, 0, 1, 0, 1, 32, 2, 16}, 45},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.Index, SelectPixelFormatIndex(&c.Request)) << c.Name;
}

TEST(PixelFormat, TableEntries)
{
    EXPECT_EQ(nullptr, GetPixelFormatEntry(47));
    EXPECT_EQ(nullptr, GetPixelFormatEntry(-1));
    COLORDATA zero;
    memset(&zero, 0, sizeof(zero));
    for (int index : {0, 1, 2, 3, 4, 5, 21})
        EXPECT_EQ(0, memcmp(&zero, GetPixelFormatEntry(index), sizeof(zero))) << index;

    struct Case
    {
        int Index;
        int Bits, PixelBytes;
        uint32_t Red, Green, Blue, Alpha;
    } packed[] = {
        {6, 16, 2, 0xF800, 0x07E0, 0x001F, 0},
        {7, 32, 4, 0xFF0000, 0xFF00, 0xFF, 0},
        {8, 16, 2, 0x0F00, 0x00F0, 0x000F, 0xF000},
        {9, 32, 4, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u},
        {10, 16, 2, 0x7C00, 0x03E0, 0x001F, 0x8000},
        {11, 32, 4, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u},
        {33, 16, 2, 0xF800, 0x07E0, 0x001F, 0},
        {34, 32, 4, 0xFF0000, 0xFF00, 0xFF, 0},
        {35, 32, 4, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u},
    };
    for (const Case &c : packed) {
        const COLORDATA *e = GetPixelFormatEntry(c.Index);
        EXPECT_EQ(c.Bits, e->BitDepth) << c.Index;
        EXPECT_EQ(c.PixelBytes, e->PixelBytes) << c.Index;
        EXPECT_EQ(c.Red, e->RedMask) << c.Index;
        EXPECT_EQ(c.Green, e->GreenMask) << c.Index;
        EXPECT_EQ(c.Blue, e->BlueMask) << c.Index;
        EXPECT_EQ(c.Alpha, e->AlphaMask) << c.Index;
    }

    struct Channels
    {
        int Index, Count, Bits, Float;
    } channels[] = {
        {22, 4, 16, 0}, {23, 4, 16, 1}, {24, 4, 32, 1}, {25, 1, 8, 0},  {28, 1, 32, 1}, {29, 2, 8, 0},
        {32, 2, 32, 1}, {36, 4, 16, 0}, {38, 4, 32, 1}, {39, 1, 8, 0},  {42, 1, 32, 1}, {43, 2, 8, 0},
        {45, 2, 16, 1}, {46, 2, 32, 1},
    };
    for (const Channels &c : channels) {
        const COLORDATA *e = GetPixelFormatEntry(c.Index);
        EXPECT_EQ(c.Count, e->ChannelCount) << c.Index;
        EXPECT_EQ(c.Bits, e->ChannelBits) << c.Index;
        EXPECT_EQ(c.Float, e->FloatFlag) << c.Index;
        EXPECT_EQ(c.Count * c.Bits / 8, e->PixelBytes) << c.Index;
    }

    // Block formats: the format id and 4 bits per pixel for DXT1, 8 for the others.
    for (int id = 1; id <= 9; ++id) {
        const COLORDATA *e = GetPixelFormatEntry(11 + id);
        EXPECT_EQ(id, e->Format);
        EXPECT_EQ(id == 1 ? 4 : 8, e->BitDepth);
    }
}

TEST(PixelFormat, GlyphCacheFormatsAre32Or16Bits)
{
    EXPECT_EQ(GetPixelFormatEntry(9), GetPixelFormatForRequest(1, 0, 1, 0));
    EXPECT_EQ(GetPixelFormatEntry(10), GetPixelFormatForRequest(0, 1, 0, 0));
    EXPECT_EQ(GetPixelFormatEntry(6), GetPixelFormatForRequest(0, 0, 0, 0));
    EXPECT_EQ(GetPixelFormatEntry(35), GetPixelFormatForRequest(0, 1, 1, 1));
}

}  // namespace
