// The movie renderer's formats, frame geometry and frame copy, on samples the test writes.
#include <string.h>

#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

#include "tests/zovuz/movie/dshow_test_filters.h"
#include "zovuz/movie/renderer/windows/dshow_movie_render.h"

namespace {

GUID FourCC(const char *Code)
{
    GUID g = MEDIASUBTYPE_YUY2;
    g.Data1 = MAKEFOURCC(Code[0], Code[1], Code[2], Code[3]);
    return g;
}

D_CMediaType VideoType(const GUID &Subtype, LONG Width, LONG Height, ULONG FormatBytes = sizeof(VIDEOINFOHEADER))
{
    D_CMediaType mt;
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = Subtype;
    mt.formattype = FORMAT_VideoInfo;
    mt.cbFormat = FormatBytes;
    mt.pbFormat = static_cast<BYTE *>(D_TaskMemory.Alloc(std::max<ULONG>(FormatBytes, sizeof(VIDEOINFOHEADER))));
    memset(mt.pbFormat, 0, std::max<ULONG>(FormatBytes, sizeof(VIDEOINFOHEADER)));
    VIDEOINFOHEADER *info = reinterpret_cast<VIDEOINFOHEADER *>(mt.pbFormat);
    info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info->bmiHeader.biWidth = Width;
    info->bmiHeader.biHeight = Height;
    info->AvgTimePerFrame = 400000;
    return mt;
}

// Full-range BT.601, in floating point.
void ExpectPixel(const BYTE *Pixel, int Y, int U, int V, const char *Where)
{
    double r = Y + 1.402 * (V - 128), g = Y - 0.344136 * (U - 128) - 0.714136 * (V - 128), b = Y + 1.772 * (U - 128);
    auto clamp = [](double x) { return std::min(255.0, std::max(0.0, x)); };
    EXPECT_NEAR(clamp(b), Pixel[0], 2.0) << Where;
    EXPECT_NEAR(clamp(g), Pixel[1], 2.0) << Where;
    EXPECT_NEAR(clamp(r), Pixel[2], 2.0) << Where;
}

class MovieRender : public ::testing::Test
{
protected:
    void TearDown() override { D_SafeDelete(Render); }
    void Connect(const D_CMediaType &Type)
    {
        ASSERT_EQ(S_OK, Render->CheckMediaType(&Type));
        ASSERT_EQ(S_OK, Render->SetMediaType(&Type));
    }

    DShowTest Com;
    D_CMovieRender *Render = D_CMovieRender_CreateInstance(nullptr, nullptr);
    TestSamples Frames{4, 65536};
};

TEST_F(MovieRender, AcceptsTheEightFormatsInOrder)
{
    struct Case
    {
        GUID Subtype;
        HRESULT Result;
        int Id;
    } cases[] = {
        {MEDIASUBTYPE_RGB24, S_OK, 0}, {MEDIASUBTYPE_RGB32, S_OK, 1}, {FourCC("YV12"), S_OK, 2},
        {FourCC("NV12"), S_OK, 3},     {FourCC("YUY2"), S_OK, 4},     {FourCC("UYVY"), S_OK, 5},
        {FourCC("YVYU"), S_OK, 6},     {MEDIASUBTYPE_NV11, S_OK, 7},  {MEDIASUBTYPE_RGB565, E_FAIL, 7},
    };
    for (const Case &c : cases) {
        D_CMediaType mt = VideoType(c.Subtype, 8, 8);
        EXPECT_EQ(c.Result, Render->CheckMediaType(&mt));
        EXPECT_EQ(c.Id, Render->PixelId);
    }
    D_CMediaType audio = VideoType(FourCC("YUY2"), 8, 8);
    audio.majortype = MEDIATYPE_Audio;
    EXPECT_EQ(E_FAIL, Render->CheckMediaType(&audio));
    audio.formattype = FORMAT_WaveFormatEx;
    EXPECT_EQ(E_INVALIDARG, Render->CheckMediaType(&audio));
    EXPECT_EQ(E_POINTER, Render->CheckMediaType(nullptr));
}

TEST_F(MovieRender, GeometryByFormat)
{
    struct Case
    {
        GUID Subtype;
        LONG Width, Height;
        int Pitch, UVWidth, UVHeight, UVPitch, BottomUp;
    } cases[] = {
        {MEDIASUBTYPE_RGB24, 1, 2, 4, 0, 0, 0, 1},          {MEDIASUBTYPE_RGB24, 2, 2, 8, 0, 0, 0, 1},
        {MEDIASUBTYPE_RGB24, 3, 2, 12, 0, 0, 0, 1},         {MEDIASUBTYPE_RGB24, 4, 2, 12, 0, 0, 0, 1},
        {MEDIASUBTYPE_RGB24, 5, 2, 16, 0, 0, 0, 1},         {MEDIASUBTYPE_RGB32, 4, -240, 16, 0, 0, 0, 0},
        {FourCC("YV12"), 321, 241, 1284, 160, 120, 320, 0}, {MEDIASUBTYPE_NV11, 640, 480, 2560, 160, 480, 320, 0},
        {FourCC("YUY2"), 32, 24, 128, 16, 24, 32, 0},
    };
    for (const Case &c : cases) {
        Connect(VideoType(c.Subtype, c.Width, c.Height));
        SCOPED_TRACE(c.Width);
        EXPECT_EQ(c.Pitch, Render->Pitch);
        EXPECT_EQ(c.UVWidth, Render->UVWidth);
        EXPECT_EQ(c.UVHeight, Render->UVHeight);
        EXPECT_EQ(c.UVPitch, Render->UVPitch);
        EXPECT_EQ(c.BottomUp, Render->BottomUp);
        EXPECT_EQ(std::abs(c.Height), Render->Height);
        EXPECT_EQ(1, Render->FormatSet);
    }
    // A format block shorter than a VIDEOINFOHEADER is refused.
    D_CMediaType shortType = VideoType(MEDIASUBTYPE_RGB32, 4, 4, 87);
    EXPECT_EQ(S_OK, Render->CheckMediaType(&shortType));
    EXPECT_NE(S_OK, Render->SetMediaType(&shortType));
    D_CMediaType huge = VideoType(MEDIASUBTYPE_RGB32, 0x10000, 0x10000);
    EXPECT_NE(S_OK, Render->SetMediaType(&huge));
}

TEST_F(MovieRender, RendersYV12AndYUY2IntoXRGB)
{
    const int w = 4, h = 2;
    // YV12: Y plane, then V, then U.
    std::vector<BYTE> yv12 = {16, 60, 120, 235, 30, 90, 150, 200, /* V */ 90, 200, /* U */ 240, 40};
    Connect(VideoType(FourCC("YV12"), w, h));
    EXPECT_EQ(S_OK, Render->DoRenderSample(Frames.Take(yv12)));
    ASSERT_NE(nullptr, Render->ImageBuffer);
    EXPECT_EQ(1, Render->NewFrame);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            ExpectPixel(Render->ImageBuffer + y * Render->Pitch + x * 4, yv12[y * w + x], yv12[10 + x / 2],
                        yv12[8 + x / 2], "YV12");
    // YUY2: Y0 U Y1 V per pair.
    std::vector<BYTE> yuy2 = {20, 200, 80, 60, 140, 30, 220, 180, 50, 128, 90, 128, 160, 100, 250, 10};
    Connect(VideoType(FourCC("YUY2"), w, h));
    EXPECT_EQ(0, Render->NewFrame);
    EXPECT_EQ(S_OK, Render->DoRenderSample(Frames.Take(yuy2)));
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const BYTE *pair = &yuy2[y * 8 + (x / 2) * 4];
            ExpectPixel(Render->ImageBuffer + y * Render->Pitch + x * 4, pair[(x % 2) * 2], pair[1], pair[3], "YUY2");
        }
}

TEST_F(MovieRender, RendersBottomUpRGB24RowsReversedAndRefusesShortSamples)
{
    const int w = 3, h = 3, pitch = 12;
    std::vector<BYTE> rgb(pitch * h);
    for (size_t i = 0; i < rgb.size(); i++) rgb[i] = static_cast<BYTE>(i * 7 + 1);
    // Before a format the sample is ignored.
    EXPECT_EQ(S_OK, Render->DoRenderSample(Frames.Take(rgb)));
    EXPECT_EQ(nullptr, Render->ImageBuffer);
    EXPECT_EQ(E_POINTER, Render->DoRenderSample(nullptr));
    Connect(VideoType(MEDIASUBTYPE_RGB24, w, h));
    EXPECT_EQ(S_OK, Render->DoRenderSample(Frames.Take(rgb, pitch * h - 1)));
    EXPECT_EQ(0, Render->NewFrame) << "a short sample was read";
    EXPECT_EQ(S_OK, Render->DoRenderSample(Frames.Take(rgb)));
    EXPECT_EQ(1, Render->NewFrame);
    for (int row = 0; row < h; row++)
        EXPECT_EQ(0, memcmp(Render->ImageBuffer + row * pitch, &rgb[(h - 1 - row) * pitch], pitch)) << row;
    // A Release through the graph's interfaces frees nothing the streaming thread writes.
    BYTE *buffer = Render->ImageBuffer;
    Render->Filter()->AddRef();
    Render->Filter()->Release();
    EXPECT_EQ(buffer, Render->ImageBuffer);
}

}  // namespace
