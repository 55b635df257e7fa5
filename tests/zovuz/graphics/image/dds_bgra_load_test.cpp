// DDS and raw BGRA files: formats, block sizes, mip chains and cube faces as stored, and
// damaged or hostile files refused.
#include <gtest/gtest.h>

#include <string.h>

#include "tests/zovuz/graphics/image_fixture.h"

namespace {

constexpr uint32_t kMipFlags = 0x20000, kMipCaps = 0x400008, kCubeCaps2 = 0x200 | 0xFC00;

Bytes Counting(size_t N)
{
    Bytes b(N);
    for (size_t i = 0; i < N; ++i)
        b[i] = (uint8_t)(i * 7 + 1);
    return b;
}

DdsSpec Plain(int W, int H, size_t DataBytes)
{
    DdsSpec s;
    s.Width = W;
    s.Height = H;
    s.Data = Counting(DataBytes);
    return s;
}

DdsSpec Dxt(const char *Code, int W, int H, size_t DataBytes)
{
    DdsSpec s = Plain(W, H, DataBytes);
    s.PixelFlags = 0x4;
    s.FourCc = FourCc(Code);
    return s;
}

DdsSpec WithMips(DdsSpec S, uint32_t Count)
{
    S.Flags |= kMipFlags;
    S.Caps |= kMipCaps;
    S.MipCount = Count;
    return S;
}

// The loaded pixels equal these bytes of the file's data.
void ExpectPixels(const LoadedImage &Img, const Bytes &Data, size_t Offset, size_t Count)
{
    ASSERT_NE(Img.Image.Pixels, nullptr);
    EXPECT_EQ(0, memcmp(Img.Image.Pixels, Data.data() + Offset, Count));
}

TEST(DdsLoad, FormatsFromMasksCodesAndTheFormatTable)
{
    {
        LoadedImage img;
        DdsSpec s = Plain(2, 2, 16);
        LoadBytes(LoadDdsToBaseImage, BuildDds(s), img);
        ASSERT_EQ(img.Result, 0);
        EXPECT_EQ(img.Image.ColorData.AlphaMask, 0xFF000000u);
        EXPECT_EQ(img.Image.Pitch, 8);
        EXPECT_EQ(img.Image.MipCount, 0);
        EXPECT_EQ(img.Image.CubeFlag, 0);
        ExpectPixels(img, s.Data, 0, 16);
    }
    struct Case
    {
        uint32_t Key;
        int Channels, Bits, Float, PixelBytes;
        uint32_t Red;
    } cases[] = {
        {21, 0, 0, 0, 4, 0xFF0000}, {23, 0, 0, 0, 2, 0xF800},  {20, 0, 0, 0, 3, 0xFF0000},
        {36, 4, 16, 0, 8, 0},       {81, 1, 16, 0, 2, 0},      {113, 4, 16, 1, 8, 0},
        {114, 1, 32, 1, 4, 0},      {116, 4, 32, 1, 16, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Key);
        DdsSpec s = Plain(3, 2, (size_t)6 * c.PixelBytes);
        s.PixelFlags = 0x4;
        s.FourCc = c.Key;
        LoadedImage img;
        LoadBytes(LoadDdsToBaseImage, BuildDds(s), img);
        ASSERT_EQ(img.Result, 0);
        const COLORDATA &cd = img.Image.ColorData;
        EXPECT_EQ(cd.ChannelCount, c.Channels);
        EXPECT_EQ(cd.ChannelBits, c.Bits);
        EXPECT_EQ(cd.FloatFlag, c.Float);
        EXPECT_EQ(cd.PixelBytes, c.PixelBytes);
        EXPECT_EQ(cd.RedMask, c.Red);
        EXPECT_EQ(img.Image.Pitch, 3 * c.PixelBytes);
        ExpectPixels(img, s.Data, 0, s.Data.size());
    }
}

TEST(DdsLoad, DxtBlocksAreSizedPerLevelAndFace)
{
    struct Case
    {
        const char *Name;
        DdsSpec Layout;
        int Format, Mips, Cube;
    } cases[] = {
        {"DXT3 without mip flag", Dxt("DXT3", 5, 5, 64), 3, 0, 0},
        {"DXT1 9x9, 4 levels of 9, 1, 1, 1 blocks", WithMips(Dxt("DXT1", 9, 9, 72 + 8 + 8 + 8), 4), 1, 4, 0},
        {"DXT5 cube, 2 levels", [] {
             DdsSpec s = WithMips(Dxt("DXT5", 8, 8, 6 * (64 + 16)), 2);
             s.Caps2 = kCubeCaps2;
             return s;
         }(), 5, 2, 6},
        {"mip count capped at the chain", WithMips(Dxt("DXT2", 4, 4, 16 + 16 + 16), 30), 2, 3, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        LoadedImage img;
        LoadBytes(LoadDdsToBaseImage, BuildDds(c.Layout), img);
        ASSERT_EQ(img.Result, 0);
        EXPECT_EQ(img.Image.ColorData.Format, c.Format);
        EXPECT_EQ(img.Image.ColorData.BitDepth, c.Format == 1 ? 4 : 8);
        EXPECT_EQ(img.Image.Pitch, 0);
        EXPECT_EQ(img.Image.MipCount, c.Mips);
        EXPECT_EQ(img.Image.CubeFlag, c.Cube);
        ExpectPixels(img, c.Layout.Data, 0, c.Layout.Data.size());

        // One byte less is a cut file.
        DdsSpec cut = c.Layout;
        cut.Data.pop_back();
        LoadBytes(LoadDdsToBaseImage, BuildDds(cut), img);
        EXPECT_EQ(img.Result, -1);
    }
}

TEST(DdsLoad, PlainChainsKeepEachLevelsPitchAndEachFacesChain)
{
    {
        // Level 0 at the header's pitch of 20, then 2 x 2 and 1 x 1 packed.
        DdsSpec s = WithMips(Plain(4, 4, 80 + 16 + 4), 3);
        s.Flags |= 0x8;
        s.Pitch = 20;
        LoadedImage img;
        LoadBytes(LoadDdsToBaseImage, BuildDds(s), img);
        ASSERT_EQ(img.Result, 0);
        EXPECT_EQ(img.Image.Pitch, 20);
        EXPECT_EQ(img.Image.MipCount, 3);
        ExpectPixels(img, s.Data, 0, 100);
    }
    {
        // Six faces, each with its whole chain of 16 + 4 bytes.
        DdsSpec s = WithMips(Plain(2, 2, 6 * 20), 2);
        s.Caps2 = kCubeCaps2;
        LoadedImage img;
        LoadBytes(LoadDdsToBaseImage, BuildDds(s), img);
        ASSERT_EQ(img.Result, 0);
        EXPECT_EQ(img.Image.CubeFlag, 6);
        EXPECT_EQ(img.Image.MipCount, 2);
        ExpectPixels(img, s.Data, 0, 120);
        // A cube that lacks some faces is read as its first face alone.
        s.Caps2 = 0x200 | 0x400;
        LoadBytes(LoadDdsToBaseImage, BuildDds(s), img);
        ASSERT_EQ(img.Result, 0);
        EXPECT_EQ(img.Image.CubeFlag, 0);
    }
    {
        // A chain cut after level 1 keeps two levels.
        DdsSpec s = WithMips(Plain(4, 4, 64 + 16 + 2), 3);
        LoadedImage img;
        LoadBytes(LoadDdsToBaseImage, BuildDds(s), img);
        ASSERT_EQ(img.Result, 0);
        EXPECT_EQ(img.Image.MipCount, 2);
        ExpectPixels(img, s.Data, 0, 80);
    }
    {
        // A cut cube keeps the levels every face still has; faces stay at their stored places.
        DdsSpec s = WithMips(Plain(2, 2, 5 * 20 + 16), 2);
        s.Caps2 = kCubeCaps2;
        LoadedImage img;
        LoadBytes(LoadDdsToBaseImage, BuildDds(s), img);
        ASSERT_EQ(img.Result, 0);
        EXPECT_EQ(img.Image.MipCount, 1);
        for (int f = 0; f < 6; ++f)
            EXPECT_EQ(0, memcmp((uint8_t *)img.Image.Pixels + f * 16, s.Data.data() + f * 20, 16)) << f;
    }
}

TEST(DdsLoad, DamagedAndHostileFilesAreRefused)
{
    std::vector<std::pair<const char *, DdsSpec>> cases;
    {
        DdsSpec s = Plain(2, 2, 16);
        s.HeaderSize = 100;
        cases.push_back({"header size not 124", s});
    }
    {
        DdsSpec s = Plain(4, 1, 16);
        s.Flags |= 0x8;
        s.Pitch = 12;
        cases.push_back({"pitch below the row", s});
    }
    {
        DdsSpec s = Plain(2, 2, 15);
        cases.push_back({"level 0 cut", s});
    }
    {
        DdsSpec s = Plain(0x7FFFFFFF, 0x7FFFFFFF, 16);
        cases.push_back({"huge size", s});
    }
    {
        DdsSpec s = Plain(2, 2, 16);
        s.BitCount = 12;
        cases.push_back({"12-bit pixels", s});
    }
    {
        DdsSpec s = Plain(2, 2, 16);
        s.PixelFlags = 0x2;
        cases.push_back({"alpha-only layout", s});
    }
    {
        DdsSpec s = Dxt("DXT7", 4, 4, 16);
        cases.push_back({"unknown code", s});
    }
    {
        DdsSpec s = WithMips(Plain(2, 2, 5 * 20 + 15), 2);
        s.Caps2 = kCubeCaps2;
        cases.push_back({"cube without a whole last face", s});
    }
    NamedFiles files;
    for (auto &c : cases)
        files.push_back({c.first, BuildDds(c.second)});
    ExpectAllRefused(LoadDdsToBaseImage, files);
}

TEST(BgraLoad, EightAndSixteenBitChannels)
{
    LoadedImage img;
    LoadBytes(LoadBgraToBaseImage, BuildBgra(0x08080808, 2, 1, {1, 2, 3, 4, 5, 6, 7, 8}), img);
    ASSERT_EQ(img.Result, 0);
    EXPECT_EQ(img.Image.Pitch, 8);
    EXPECT_EQ(img.Image.ColorData.AlphaMask, 0xFF000000u);
    EXPECT_EQ(img.Raw(1, 0), 0x08070605u);

    Bytes wide;
    for (int i = 0; i < 8; ++i)
        PutLe16(wide, 0x1100u * (uint32_t)(i + 1) + 0x7F);
    LoadBytes(LoadBgraToBaseImage, BuildBgra(0x10101010, 1, 2, wide), img);
    ASSERT_EQ(img.Result, 0);
    EXPECT_EQ(img.Raw(0, 0), 0x44332211u);
    EXPECT_EQ(img.Raw(0, 1), 0x88776655u);

    ReleaseBaseImage(&img.Image);
    ExpectAllRefused(LoadBgraToBaseImage, {
        {"channel word", BuildBgra(0x08080810, 1, 1, Bytes(4, 0))},
        {"cut pixels", BuildBgra(0x08080808, 2, 1, Bytes(7, 0))},
        {"cut wide pixels", BuildBgra(0x10101010, 1, 1, Bytes(7, 0))},
        {"huge size", BuildBgra(0x08080808, 0x40000, 0x40000, Bytes(8, 0))},
        {"zero width", BuildBgra(0x08080808, 0, 1, Bytes(8, 0))},
    });
}

}  // namespace
