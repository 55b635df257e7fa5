// Loading images: the loader order, the caller's own loaders, the alpha file's name, and the
// file and memory loads with their mirror, premultiplied-alpha and bitmap options.
#include <gtest/gtest.h>

#include <string.h>
#include <windows.h>

#include <string>

#include "tests/support/test_files.h"
#include "tests/zovuz/graphics/image_fixture.h"

namespace {

Bytes SmallBmp(uint32_t Left, uint32_t Right)
{
    BmpSpec s;
    s.Width = 2;
    s.Height = 1;
    s.Data = PackBmpRows(24, 2, {{Left, Right}}, true);
    return BuildBmp(s);
}

TEST(ImageLoad, EveryFormatFindsItsLoaderInTheTable)
{
    PngSpec png;
    png.Rows = {1, 2, 3};
    TgaSpec tga;
    tga.Data = {1, 2, 3};
    DdsSpec dds;
    dds.Data.assign(4, 9);
    TiffSpec tiff;
    tiff.Pixels = {1, 2, 3};
    JpegSpec jpeg;
    jpeg.Pixels.assign(16 * 16 * 3, 77);
    const std::pair<const char *, Bytes> files[] = {
        {"bmp", SmallBmp(1, 2)},       {"jpeg", EncodeJpeg(jpeg)}, {"png", EncodePng(png)},
        {"tga", BuildTga(tga)},        {"dds", BuildDds(dds)},     {"tiff", BuildTiff(tiff)},
        {"bgra", BuildBgra(0x08080808, 1, 1, {1, 2, 3, 4})},
    };
    for (auto &f : files) {
        LoadedImage img;
        LoadBytes(nullptr, f.second, img);
        EXPECT_EQ(img.Result, 0) << f.first;
        EXPECT_NE(img.Image.Pixels, nullptr) << f.first;
    }
}

struct CallerLog
{
    int Calls = 0;
    int64_t Position = -1;
    int HeaderOnly = -1;
} callerLog;

int RefusingLoader(ImageStreamPair *S, BASEIMAGE *, int)
{
    uint8_t b[5];
    S->Table.Read(b, 1, 5, S->Stream);  // moves the stream, then refuses
    ++callerLog.Calls;
    return -1;
}

int AcceptingLoader(ImageStreamPair *S, BASEIMAGE *Image, int HeaderOnly)
{
    callerLog.Position = S->Table.Tell(S->Stream);
    callerLog.HeaderOnly = HeaderOnly;
    Image->Width = 7;
    return 0;
}

TEST(ImageLoad, CallerLoadersComeFirstEachFromTheStart)
{
    const Bytes bmp = SmallBmp(1, 2);
    MemStream *m = CreateMemStream(bmp.data(), (uint32_t)bmp.size());
    ImageStreamPair pair = {*GetMemStreamFunctionTable(), m};
    ImageLoadParam param;
    InitImageLoadParams(&param, 1);
    param.Loaders[0] = RefusingLoader;
    param.Loaders[1] = AcceptingLoader;
    param.LoaderCount = 2;
    BASEIMAGE img;
    callerLog = CallerLog();
    EXPECT_EQ(LoadBaseImageFromStream(&param, &pair, &img), 0);
    EXPECT_EQ(img.Width, 7);
    EXPECT_EQ(callerLog.Calls, 1);
    EXPECT_EQ(callerLog.Position, 0);
    EXPECT_EQ(callerLog.HeaderOnly, 0) << "the caller's loaders get no header-only flag";

    // After a refusing caller loader the table still reads from the start.
    param.LoaderCount = 1;
    EXPECT_EQ(LoadBaseImageFromStream(&param, &pair, &img), 0);
    EXPECT_EQ(img.Width, 2);
    EXPECT_EQ(img.Pixels, nullptr) << "header only";
    MemStreamClose(m);
}

TEST(ImageLoad, NothingAcceptsGivesAnEmptyRecord)
{
    Bytes noise(300);
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = (uint8_t)(i * 97 + 5);
    MemStream *m = CreateMemStream(noise.data(), (uint32_t)noise.size());
    ImageStreamPair pair = {*GetMemStreamFunctionTable(), m};
    ImageLoadParam param;
    InitImageLoadParams(&param, 0);
    BASEIMAGE img;
    memset(&img, 0xAB, sizeof(img));
    EXPECT_EQ(LoadBaseImageFromStream(&param, &pair, &img), -1);
    BASEIMAGE zero = {};
    EXPECT_EQ(memcmp(&img, &zero, sizeof(img)), 0);
    MemStreamClose(m);
}

TEST(ImageLoad, AlphaFileNameTakesTheExtensionOfTheFileNameOnly)
{
    const std::pair<const wchar_t *, const wchar_t *> cases[] = {
        {L"pic.png", L"pic_a.png"},
        {L"pic", L"pic_a"},
        {L"C:\\a.b\\pic", L"C:\\a.b\\pic_a"},
        {L"C:\\a.b\\pic.png", L"C:\\a.b\\pic_a.png"},
        {L"dir/x.y/p.tar.gz", L"dir/x.y/p.tar_a.gz"},
        {L"IMG\\.hidden", L"IMG\\_a.hidden"},
    };
    for (auto &c : cases) {
        wchar_t out[64];
        EXPECT_EQ(MakeAlphaImageFileName(c.first, out, sizeof(out)), 0);
        EXPECT_STREQ(out, c.second);
    }
    wchar_t small[9];
    EXPECT_EQ(MakeAlphaImageFileName(L"pic.png", small, sizeof(small)), -1);
    EXPECT_EQ(small[0], 0);
    wchar_t fits[10];
    EXPECT_EQ(MakeAlphaImageFileName(L"pic.png", fits, sizeof(fits)), 0);
}

TEST(ImageLoad, MemoryLoadsWithMirrorPremultiplyAndBitmap)
{
    const Bytes bmp = SmallBmp(0x112233, 0x00FF00);
    const int allocs = GetAllocNum();
    ImageLoadParam param;
    InitImageLoadParams(&param, 0);
    {
        LoadedImage img;
        img.Result = LoadBaseImageFromFile(&param, nullptr, bmp.data(), (int)bmp.size(), 1, 0, 1, &img.Image,
                                           nullptr, nullptr);
        ASSERT_EQ(img.Result, 0);
        EXPECT_EQ(img.Raw(0, 0), 0x00FF00u) << "mirrored";
        EXPECT_EQ(img.Raw(1, 0), 0x112233u);
    }
    {
        // An image without alpha takes it from the transparent colour.
        param.PremultipliedAlphaFlag = 1;
        param.TransparentColorFlag = 1;
        param.TransparentColor = 0x00FF00;
        LoadedImage img;
        img.Result = LoadBaseImageFromFile(&param, nullptr, bmp.data(), (int)bmp.size(), 1, 0, 0, &img.Image,
                                           nullptr, nullptr);
        ASSERT_EQ(img.Result, 0);
        EXPECT_EQ(img.Image.ColorData.AlphaMask, 0xFF000000u);
        EXPECT_EQ(img.Raw(0, 0), 0xFF112233u);
        EXPECT_EQ(img.Raw(1, 0), 0u);
    }
    {
        const Bytes argb = BuildBgra(0x08080808, 1, 1, {200, 100, 50, 128});
        LoadedImage img;
        img.Result = LoadBaseImageFromFile(&param, nullptr, argb.data(), (int)argb.size(), 1, 0, 0, &img.Image,
                                           nullptr, nullptr);
        ASSERT_EQ(img.Result, 0);
        EXPECT_EQ(img.Raw(0, 0), 0x80193264u) << "colour times alpha";
    }
    {
        param.PremultipliedAlphaFlag = 0;
        BITMAPINFO *info = nullptr;
        void *bits = nullptr;
        ASSERT_EQ(LoadBaseImageFromFile(&param, nullptr, bmp.data(), (int)bmp.size(), 1, 1, 0, nullptr, &info, &bits), 0);
        EXPECT_EQ(info->bmiHeader.biBitCount, 24);
        EXPECT_EQ(info->bmiHeader.biHeight, -1);
        EXPECT_EQ(((uint8_t *)bits)[0], 0x33);
        EXPECT_EQ(((uint8_t *)bits)[4], 0xFF);
        DXFREE(bits);
        DXFREE(info);
    }
    const Bytes noise(40, 0x5A);
    BASEIMAGE img;
    EXPECT_EQ(LoadBaseImageFromFile(&param, nullptr, noise.data(), 40, 1, 0, 0, &img, nullptr, nullptr), -1);
    EXPECT_EQ(GetAllocNum(), allocs);
}

TEST(ImageLoad, AlphaImagesBesideTheirFiles)
{
    CreateDirectoryW(L"dir.x", nullptr);
    ASSERT_TRUE(WriteFileBytes(L"pic.bmp", SmallBmp(1, 2)));
    ASSERT_TRUE(WriteFileBytes(L"pic_a.bmp", SmallBmp(3, 4)));
    ASSERT_TRUE(WriteFileBytes(L"dir.x\\img.bmp", SmallBmp(5, 6)));
    ASSERT_TRUE(WriteFileBytes(L"dir.x\\img_a.bmp", SmallBmp(7, 8)));
    ASSERT_TRUE(WriteFileBytes(L"lone.bmp", SmallBmp(9, 10)));
    const Bytes alphaMemory = SmallBmp(11, 12);
    ImageLoadParam param;
    InitImageLoadParams(&param, 0);
    struct Case
    {
        const wchar_t *Name;
        int Source;
        bool WantAlpha;
        int Result;
        uint32_t Alpha;  // first alpha pixel when loaded
    } cases[] = {
        {L"pic.bmp", 0, true, 0, 3},
        {L"dir.x\\img.bmp", 0, true, 0, 7},  // the folder's dot is not the extension
        {L"lone.bmp", 0, true, 1, 0},
        {L"lone.bmp", 1, true, 0, 11},
        {L"pic.bmp", 2, true, 1, 0},
        {L"pic.bmp", 0, false, 1, 0},
        {L"missing.bmp", 0, true, -1, 0},
    };
    for (const Case &c : cases) {
        LoadedImage img, alpha;
        int r = LoadBaseImageWithAlphaFile(&param, c.Name, nullptr, 0, 0, alphaMemory.data(), (int)alphaMemory.size(),
                                           c.Source, &img.Image, c.WantAlpha ? &alpha.Image : nullptr, 0);
        EXPECT_EQ(r, c.Result) << c.Name << " " << c.Source;
        if (r == 0) {
            EXPECT_EQ(alpha.Raw(0, 0), c.Alpha);
        }
    }
}

}  // namespace
