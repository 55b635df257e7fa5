// Movie-frame converters: the colour of one YUV sample, where each layout keeps its samples,
// which columns and rows odd sizes leave unwritten, and the split into luma and chroma buffers.
#include <gtest/gtest.h>

#include <vector>

#include "tests/zovuz/graphics/pixel_fixture.h"

namespace {

TEST(YuvConvert, ColourOfOneSample)
{
    struct Case
    {
        uint8_t Y, U, V;
        uint32_t Argb;
    } cases[] = {
        {0, 128, 128, 0xFF000000},   {255, 128, 128, 0xFFFFFFFF},
        {255, 128, 255, 0xFFFFA4FF}, {0, 0, 128, 0xFF002C00},
        {100, 90, 200, 0xFFC83D20},  {0, 128, 255, 0xFFB20000},
        {0, 255, 128, 0xFF0000E1},   {128, 255, 0, 0xFF00AFFF},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << (int)c.Y << "," << (int)c.U << "," << (int)c.V);
        const uint8_t frame[4] = {c.Y, c.U, c.Y, c.V};
        PixelRows out(Xrgb(), 2, 1, 0xCC);
        BASEIMAGE img = ImageOver(Xrgb(), out);
        ASSERT_EQ(0, ConvertYUY2ToXRGB32(frame, 2, 1, &img));
        EXPECT_EQ(c.Argb, out.Get(0, 0));
        EXPECT_EQ(c.Argb, out.Get(1, 0));
    }
}

// A frame described per pixel: luma, and chroma per shared cell.
enum class Layout { YV12, NV12, YUY2, UYVY, YVYU, NV11 };

struct Sharing
{
    int CellW, CellH;
};

Sharing SharingOf(Layout l)
{
    switch (l) {
    case Layout::YV12:
    case Layout::NV12: return {2, 2};
    case Layout::NV11: return {4, 1};
    default: return {2, 1};
    }
}

uint8_t LumaAt(int x, int y) { return (uint8_t)(16 + 20 * x + 7 * y); }
uint8_t UAt(int cx, int cy) { return (uint8_t)(60 + 30 * cx + 50 * cy); }
uint8_t VAt(int cx, int cy) { return (uint8_t)(200 - 25 * cx - 40 * cy); }

std::vector<uint8_t> BuildFrame(Layout l, int W, int H)
{
    std::vector<uint8_t> f;
    auto plane = [&] {
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                f.push_back(LumaAt(x, y));
    };
    switch (l) {
    case Layout::YV12:
        plane();
        for (int cy = 0; cy < H / 2; ++cy)
            for (int cx = 0; cx < W / 2; ++cx)
                f.push_back(VAt(cx, cy));
        for (int cy = 0; cy < H / 2; ++cy)
            for (int cx = 0; cx < W / 2; ++cx)
                f.push_back(UAt(cx, cy));
        break;
    case Layout::NV12:
        plane();
        for (int cy = 0; cy < H / 2; ++cy)
            for (int i = 0; i < W; ++i)
                f.push_back(i / 2 < W / 2 ? (i & 1 ? VAt(i / 2, cy) : UAt(i / 2, cy)) : 0xEE);
        break;
    case Layout::NV11:
        plane();
        for (int y = 0; y < H; ++y)
            for (int i = 0; i < W / 2; ++i)
                f.push_back(i / 2 < W / 4 ? (i & 1 ? VAt(i / 2, y) : UAt(i / 2, y)) : 0xEE);
        break;
    default:
        for (int y = 0; y < H; ++y) {
            size_t start = f.size();
            for (int p = 0; p < W / 2; ++p) {
                uint8_t y0 = LumaAt(2 * p, y), y1 = LumaAt(2 * p + 1, y);
                uint8_t u = UAt(p, y), v = VAt(p, y);
                if (l == Layout::YUY2) f.insert(f.end(), {y0, u, y1, v});
                if (l == Layout::UYVY) f.insert(f.end(), {u, y0, v, y1});
                if (l == Layout::YVYU) f.insert(f.end(), {y0, v, y1, u});
            }
            f.resize(start + (size_t)W * 2, 0xEE);  // rows of 2W bytes
        }
        break;
    }
    return f;
}

uint32_t Reference(uint8_t Y, uint8_t U, uint8_t V)
{
    int u = U - 128, v = V - 128, y = Y * 32768;
    auto c = [](int x) -> uint32_t { return x < 0 ? 0 : x > 0x7F8000 ? 255 : (uint32_t)x >> 15; };
    return 0xFF000000u | c(y + 45940 * v) << 16 | c(y - 11272 * u - 23396 * v) << 8 | c(y + 58064 * u);
}

typedef int (*ToRgb)(const void *, int, int, BASEIMAGE *);
typedef int (*ToYuv)(const void *, int, int, void *, void *);

struct LayoutCase
{
    const char *Name;
    Layout L;
    ToRgb Rgb;
    ToYuv Yuv;
};

const LayoutCase kLayouts[] = {
    {"YV12", Layout::YV12, ConvertYV12ToXRGB32, ConvertYV12ToYUVImage},
    {"NV12", Layout::NV12, ConvertNV12ToXRGB32, ConvertNV12ToYUVImage},
    {"YUY2", Layout::YUY2, ConvertYUY2ToXRGB32, ConvertYUY2ToYUVImage},
    {"UYVY", Layout::UYVY, ConvertUYVYToXRGB32, ConvertUYVYToYUVImage},
    {"YVYU", Layout::YVYU, ConvertYVYUToXRGB32, ConvertYVYUToYUVImage},
    {"NV11", Layout::NV11, ConvertNV11ToXRGB32, ConvertNV11ToYUVImage},
};

TEST(YuvConvert, EachLayoutPlacesItsSamplesAndLeavesOddEdgesUnwritten)
{
    for (const LayoutCase &lc : kLayouts) {
        for (int w : {8, 9, 10}) {
            for (int h : {4, 3}) {
                SCOPED_TRACE(testing::Message() << lc.Name << " " << w << "x" << h);
                Sharing s = SharingOf(lc.L);
                std::vector<uint8_t> frame = BuildFrame(lc.L, w, h);
                PixelRows out(Xrgb(), w, h, 0xCC);
                BASEIMAGE img = ImageOver(Xrgb(), out);
                ASSERT_EQ(0, lc.Rgb(frame.data(), w, h, &img));
                int doneW = w / s.CellW * s.CellW, doneH = h / s.CellH * s.CellH;
                for (int y = 0; y < h; ++y) {
                    for (int x = 0; x < w; ++x) {
                        uint32_t want = 0xCCCCCCCCu;
                        if (x < doneW && y < doneH)
                            want = Reference(LumaAt(x, y), UAt(x / s.CellW, y / s.CellH),
                                             VAt(x / s.CellW, y / s.CellH));
                        ASSERT_EQ(want, out.Get(x, y)) << x << "," << y;
                    }
                }

                // The split: luma in pixel order, then U, V of each shared pair.
                std::vector<uint8_t> luma((size_t)w * h, 0xCC), chroma((size_t)w * h, 0xCC);
                ASSERT_EQ(0, lc.Yuv(frame.data(), w, h, luma.data(), chroma.data()));
                int lumaW = lc.L == Layout::YV12 || lc.L == Layout::NV12 || lc.L == Layout::NV11 ? w : doneW;
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < lumaW; ++x)
                        ASSERT_EQ(LumaAt(x, y), luma[(size_t)y * w + x]) << x << "," << y;
                int rowBytes = lc.L == Layout::NV11 ? w / 2 : w;
                for (int cy = 0; cy < h / s.CellH; ++cy) {
                    for (int cx = 0; cx < w / s.CellW; ++cx) {
                        ASSERT_EQ(UAt(cx, cy), chroma[(size_t)cy * rowBytes + 2 * cx]);
                        ASSERT_EQ(VAt(cx, cy), chroma[(size_t)cy * rowBytes + 2 * cx + 1]);
                    }
                }
            }
        }
    }
}

TEST(YuvConvert, RefusedAndEmptyFrames)
{
    const uint8_t frame[64] = {};
    PixelRows out(Xrgb(), 2, 2, 0xCC);
    BASEIMAGE img = ImageOver(Xrgb(), out);
    for (const LayoutCase &lc : kLayouts) {
        SCOPED_TRACE(lc.Name);
        EXPECT_EQ(0, lc.Rgb(frame, 2, 0, &img));
        EXPECT_EQ(-1, lc.Rgb(frame, 4, 2, &img));  // wider than the image
        EXPECT_EQ(-1, lc.Rgb(nullptr, 2, 2, &img));
        EXPECT_EQ(-1, lc.Yuv(frame, 2, 2, nullptr, out.Data.data()));
    }
    // A 4:2:0 frame one row high has no row pair to write.
    EXPECT_EQ(0, ConvertNV12ToXRGB32(frame, 2, 1, &img));
    EXPECT_EQ(std::vector<uint8_t>(out.Data.size(), 0xCC), out.Data);
    BASEIMAGE rgb24 = ImageOver(Rgb24(), out);
    EXPECT_EQ(-1, ConvertYUY2ToXRGB32(frame, 2, 2, &rgb24));
}

}  // namespace
