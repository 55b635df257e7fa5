// DXT images: block decoding of DXT1 to DXT5, partial edge blocks, cube faces and mip levels,
// the stored size and the block-aligned transfer rectangle.
#include <gtest/gtest.h>

#include <vector>

#include "tests/zovuz/graphics/image_fixture.h"
#include "tests/zovuz/graphics/pixel_fixture.h"
#include "zovuz/core/zovuz_core.h"
#include "zovuz/graphics/image/base_image_internal.h"

namespace {

// A colour half: two 5-6-5 endpoints and the 2-bit indices of texels 0..15.
void ColourHalf(std::vector<uint8_t> &b, uint16_t c0, uint16_t c1, uint32_t Indices)
{
    PutLe16(b, c0);
    PutLe16(b, c1);
    for (int i = 0; i < 4; ++i)
        b.push_back((uint8_t)(Indices >> (8 * i)));
}

// Texels 0..3 take indices 0, 1, 2, 3; the rest 0.
constexpr uint32_t kFirstFour = 0xE4;

BASEIMAGE DxtImage(int Format, int W, int H, const std::vector<uint8_t> &Blocks, int Mips = 0,
                   int Cube = 0)
{
    BASEIMAGE img = {};
    CreateARGB8ColorData(&img.ColorData);
    img.ColorData.Format = (uint8_t)Format;
    img.ColorData.BitDepth = Format == 1 ? 4 : 8;
    img.Width = W;
    img.Height = H;
    img.MipCount = Mips;
    img.CubeFlag = Cube;
    img.Pixels = DXALLOC(Blocks.size());
    memcpy(img.Pixels, Blocks.data(), Blocks.size());
    return img;
}

uint32_t Texel(const BASEIMAGE &img, int X, int Y, size_t Offset = 0)
{
    uint32_t v;
    memcpy(&v, (const uint8_t *)img.Pixels + Offset + (size_t)Y * img.Width * 4 + (size_t)X * 4, 4);
    return v;
}

struct BlockCase
{
    const char *Name;
    int Format;
    std::vector<uint8_t> Block;
    uint32_t First[4];  // texels 0..3 after decoding
};

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<uint8_t> Colour(uint16_t c0, uint16_t c1, uint32_t Indices)
{
    std::vector<uint8_t> b;
    ColourHalf(b, c0, c1, Indices);
    return b;
}

TEST(Dxt, BlocksDecodeToArgb)
{
    const std::vector<uint8_t> white = Colour(0xFFFF, 0xFFFF, 0);
    const BlockCase cases[] = {
        {"DXT1 four colours", 1, Colour(0xFFFF, 0x0000, kFirstFour),
         {0xFFFFFFFF, 0xFF000000, 0xFFAAAAAA, 0xFF555555}},
        {"DXT1 c0 = c1: index 3 is c2 with alpha 0", 1, Colour(0xF800, 0xF800, kFirstFour),
         {0xFFFF0000, 0xFFFF0000, 0xFFFF0000, 0x00FF0000}},
        {"DXT1 c0 < c1: halfway colour", 1, Colour(0x0000, 0x001F, kFirstFour),
         {0xFF000000, 0xFF0000FF, 0xFF00007F, 0x0000007F}},
        // Blocks with their own alpha always use four colours, even when c0 <= c1.
        {"DXT3 explicit alpha", 3,
         Concat({0x0F, 0x08, 0x00, 0x00, 0, 0, 0, 0}, Colour(0x0000, 0x001F, kFirstFour)),
         {0xFF000000, 0x000000FF, 0x88000055, 0x000000AA}},
        {"DXT5 eight alphas", 5, Concat({200, 100, 0x88, 0x0E, 0, 0, 0, 0}, white),
         {0xC8FFFFFF, 0x64FFFFFF, 0xB9FFFFFF, 0x72FFFFFF}},
        {"DXT5 six alphas with 0 and 255", 5, Concat({40, 100, 0x8E, 0x0E, 0, 0, 0, 0}, white),
         {0x00FFFFFF, 0x64FFFFFF, 0x34FFFFFF, 0xFFFFFFFF}},
        {"DXT5 equal endpoints use six alphas", 5, Concat({100, 100, 0x3E, 0, 0, 0, 0, 0}, white),
         {0x00FFFFFF, 0xFFFFFFFF, 0x64FFFFFF, 0x64FFFFFF}},
        // Premultiplied colour is divided back; an impossible colour stops at 255.
        {"DXT4 un-premultiplied", 4, Concat({128, 128, 0, 0, 0, 0, 0, 0}, Colour(0x4208, 0xFFFF, 0x40)),
         {0x80817F81, 0x80817F81, 0x80817F81, 0x80FFFFFF}},
        {"DXT2 alpha 0 keeps its colour", 2,
         Concat({0x10, 0, 0, 0, 0, 0, 0, 0}, Colour(0x4208, 0x4208, 0)),
         {0x00414041, 0x11FFFFFF, 0x00414041, 0x00414041}},
    };
    for (const BlockCase &c : cases) {
        SCOPED_TRACE(c.Name);
        BASEIMAGE img = DxtImage(c.Format, 4, 4, c.Block);
        ASSERT_EQ(0, DecompressDxtBaseImage(&img, 1));
        EXPECT_EQ(0, img.ColorData.Format);
        EXPECT_EQ(16, img.Pitch);
        EXPECT_EQ(0xFF000000u, img.ColorData.AlphaMask);
        for (int t = 0; t < 4; ++t)
            EXPECT_EQ(c.First[t], Texel(img, t, 0)) << t;
        ReleaseBaseImage(&img);
    }
}

TEST(Dxt, PartialEdgeBlocksAreDecoded)
{
    // 5 x 3: two blocks in one row; the second covers column 4 only.
    std::vector<uint8_t> blocks = Colour(0xF800, 0xF800, 0);
    ColourHalf(blocks, 0x001F, 0x07E0, 0x55555555);  // every texel takes c1
    BASEIMAGE img = DxtImage(1, 5, 3, blocks);
    ASSERT_EQ(0, DecompressDxtBaseImage(&img, 1));
    EXPECT_EQ(0xFFFF0000u, Texel(img, 3, 2));
    EXPECT_EQ(0xFF00FF00u, Texel(img, 4, 0));
    EXPECT_EQ(0xFF00FF00u, Texel(img, 4, 2));
    ReleaseBaseImage(&img);
}

TEST(Dxt, EveryCubeFaceAndMipLevelIsDecoded)
{
    // 4 x 4, three levels (4 x 4, 2 x 2, 1 x 1: one block each), six faces.
    std::vector<uint8_t> blocks;
    const uint16_t colours[6] = {0xF800, 0x07E0, 0x001F, 0xFFE0, 0x07FF, 0xF81F};
    for (int f = 0; f < 6; ++f)
        for (int l = 0; l < 3; ++l)
            ColourHalf(blocks, colours[f], (uint16_t)(colours[f] & (l == 0 ? 0xFFFF : 0x0821 * l)),
                       l == 0 ? 0 : 0x55555555);
    BASEIMAGE img = DxtImage(1, 4, 4, blocks, 3, 6);
    EXPECT_EQ(24, GetDxtImageDataSize(1, 4, 4, 3));
    ASSERT_EQ(0, DecompressDxtBaseImage(&img, 1));
    EXPECT_EQ(3, img.MipCount);
    EXPECT_EQ(6, img.CubeFlag);
    const size_t face = (16 + 4 + 1) * 4;
    for (int f = 0; f < 6; ++f) {
        SCOPED_TRACE(f);
        COLORDATA s565 = R565();
        int r, g, b;
        GetColorDataRGBA(&s565, colours[f], &r, &g, &b, nullptr);
        uint32_t top = 0xFF000000u | (uint32_t)r << 16 | (uint32_t)g << 8 | (uint32_t)b;
        EXPECT_EQ(top, Texel(img, 3, 3, face * f));
        // Level 1 starts after the 4 x 4 level and uses its own block (index 1 everywhere).
        uint16_t c1 = (uint16_t)(colours[f] & 0x0821);
        GetColorDataRGBA(&s565, c1, &r, &g, &b, nullptr);
        uint32_t level1 = 0xFF000000u | (uint32_t)r << 16 | (uint32_t)g << 8 | (uint32_t)b;
        uint32_t got;
        memcpy(&got, (uint8_t *)img.Pixels + face * f + 16 * 4 + 3 * 4, 4);
        EXPECT_EQ(level1, got);
    }
    ReleaseBaseImage(&img);
}

TEST(Dxt, SizesRoundPartialBlocksUp)
{
    struct Case
    {
        int Format, W, H, Mips, Bytes;
    } cases[] = {
        {1, 30, 30, 0, 8 * 8 * 8}, {5, 30, 30, 1, 8 * 8 * 16}, {3, 4, 4, 0, 16},
        {1, 9, 9, 3, (9 + 1 + 1) * 8}, {1, 1, 1, 0, 8}, {0, 8, 8, 0, 0}, {6, 8, 8, 0, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.Format << " " << c.W << "x" << c.H << " " << c.Mips);
        EXPECT_EQ(c.Bytes, GetDxtImageDataSize(c.Format, c.W, c.H, c.Mips));
        if (c.Format >= 1 && c.Format <= 5) {
            BASEIMAGE img = {};
            img.ColorData.Format = (uint8_t)c.Format;
            img.Width = c.W;
            img.Height = c.H;
            img.MipCount = c.Mips;
            EXPECT_EQ(c.Bytes, GetBaseImageDataSize(&img));
        }
    }

    struct RectCase
    {
        ImageRect In, Out;
    } rects[] = {
        {{1, 1, 29, 29}, {0, 0, 32, 32}},
        {{4, 8, 12, 16}, {4, 8, 12, 16}},
        {{-3, -1, 5, 6}, {-4, -4, 8, 8}},
    };
    for (const RectCase &c : rects) {
        ImageRect r = c.In;
        AlignDxtTransferRect(&r);
        EXPECT_EQ(c.Out.left, r.left);
        EXPECT_EQ(c.Out.top, r.top);
        EXPECT_EQ(c.Out.right, r.right);
        EXPECT_EQ(c.Out.bottom, r.bottom);
    }
}

TEST(Dxt, PixelCallsDecodeFirst)
{
    BASEIMAGE img = DxtImage(1, 4, 4, Colour(0xF800, 0xF800, 0));
    int r = 0, a = 0;
    ASSERT_EQ(0, GetPixelBaseImage(&img, 2, 2, &r, nullptr, nullptr, &a));
    EXPECT_EQ(255, r);
    EXPECT_EQ(255, a);
    EXPECT_EQ(0, img.ColorData.Format);
    ReleaseBaseImage(&img);

    BASEIMAGE src = DxtImage(1, 4, 4, Colour(0x001F, 0x001F, 0)), dst;
    ASSERT_EQ(0, CreateXRGB8ColorBaseImage(4, 4, &dst));
    ASSERT_EQ(0, BltBaseImageWhole(0, 0, &src, &dst));
    EXPECT_EQ(0xFF0000FFu, Texel(dst, 3, 3));
    ReleaseBaseImage(&src);
    ReleaseBaseImage(&dst);

    BASEIMAGE bad = DxtImage(6, 4, 4, Colour(0, 0, 0));
    EXPECT_EQ(-1, DecompressDxtBaseImage(&bad, 1));
    ReleaseBaseImage(&bad);
}

}  // namespace

// The chain a transfer reads level by level: the loaders' layout, whatever the image's sizes. A
// chain down to 1 x 1 is where a quarter-per-level estimate runs past it, and a cube's later
// faces would then be read from the wrong place.
TEST(StoredChain, LevelsAndFacesLieWhereTheLoadersPutThem)
{
    struct Case
    {
        const char *Name;
        int Format, W, H, Pitch, Mips, Cube, DataSize;
        int64_t Level1, Face, HeldEnd;  // level 1's bytes, one face's, the first byte not held
    } cases[] = {
        {"plain to 1x1", 0, 4, 4, 16, 3, 0, 0, 2 * 2 * 4, 64 + 16 + 4, 84},
        {"plain, padded pitch", 0, 5, 3, 24, 3, 0, 0, 2 * 1 * 4, 72 + 8 + 4, 84},
        {"plain cube", 0, 4, 4, 16, 3, 6, 0, 16, 84, 6 * 84},
        {"one level", 0, 4, 4, 16, 0, 0, 0, 16, 64, 64},
        {"DXT1 to 1x1", 1, 9, 9, 0, 3, 0, 0, 8, (9 + 1 + 1) * 8, 88},
        {"DXT5, cut short", 5, 8, 8, 0, 2, 0, 40, 16, (4 + 1) * 16, 40},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        BASEIMAGE img = {};
        CreateARGB8ColorData(&img.ColorData);
        img.ColorData.Format = (uint8_t)c.Format;
        if (c.Format != 0) img.ColorData.BitDepth = c.Format == 1 ? 4 : 8;
        img.Width = c.W;
        img.Height = c.H;
        img.Pitch = c.Pitch;
        img.MipCount = c.Mips;
        img.CubeFlag = c.Cube;
        img.DataSize = c.DataSize;
        EXPECT_EQ(c.Level1, GetBaseImageLevelBytes(&img, c.W / 2, c.H / 2, 1));
        EXPECT_EQ(c.Face, GetBaseImageFaceBytes(&img));
        EXPECT_EQ(1, BaseImageHoldsBytes(&img, c.HeldEnd - 4, 4));
        EXPECT_EQ(0, BaseImageHoldsBytes(&img, c.HeldEnd - 3, 4));
        EXPECT_EQ(0, BaseImageHoldsBytes(&img, -1, 1));
    }
}
