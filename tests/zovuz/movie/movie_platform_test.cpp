// Platform movies under Wine: an uncompressed AVI written by the test plays through the platform's
// filter graph into the library's movie renderer, and files it cannot play fail cleanly.
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/zovuz/movie/dshow_test_filters.h"
#include "zovuz/movie/movie_internal.h"

namespace {

const int W = 32, H = 24, Frames = 10;

// The colour of frame k: red, green and blue parts that differ between any two frames.
void FrameColour(int k, BYTE *Rgb)
{
    Rgb[0] = static_cast<BYTE>(20 + k * 23);   // red
    Rgb[1] = static_cast<BYTE>(230 - k * 19);  // green
    Rgb[2] = static_cast<BYTE>((k * 71) % 256);
}

void Put32(std::vector<BYTE> &b, uint32_t v)
{
    for (int i = 0; i < 4; i++) b.push_back(static_cast<BYTE>(v >> (8 * i)));
}
void PutTag(std::vector<BYTE> &b, const char *t) { b.insert(b.end(), t, t + 4); }
// A chunk: tag, size, data (padded to even).
void PutChunk(std::vector<BYTE> &b, const char *t, const std::vector<BYTE> &d)
{
    PutTag(b, t);
    Put32(b, static_cast<uint32_t>(d.size()));
    b.insert(b.end(), d.begin(), d.end());
    if (d.size() & 1) b.push_back(0);
}
std::vector<BYTE> List(const char *t, const std::vector<BYTE> &d)
{
    std::vector<BYTE> b;
    PutTag(b, t);
    b.insert(b.end(), d.begin(), d.end());
    return b;
}

// An uncompressed RGB24 AVI, 10 frames a second, one colour per frame.
std::vector<BYTE> BuildAvi()
{
    const uint32_t frameBytes = W * 3 * H;
    std::vector<BYTE> avih;
    for (uint32_t v : {100000u, frameBytes * 10, 0u, 0x10u, static_cast<uint32_t>(Frames), 0u, 1u, frameBytes,
                       static_cast<uint32_t>(W), static_cast<uint32_t>(H), 0u, 0u, 0u, 0u})
        Put32(avih, v);
    std::vector<BYTE> strh;
    PutTag(strh, "vids");
    PutTag(strh, "DIB ");
    for (uint32_t v : {0u, 0u, 0u, 1u, 10u, 0u, static_cast<uint32_t>(Frames), frameBytes, 0xFFFFFFFFu, 0u})
        Put32(strh, v);
    Put32(strh, 0);
    Put32(strh, (H << 16) | W);
    std::vector<BYTE> strf;
    for (uint32_t v : {40u, static_cast<uint32_t>(W), static_cast<uint32_t>(H)}) Put32(strf, v);
    strf.push_back(1);
    strf.push_back(0);
    strf.push_back(24);
    strf.push_back(0);
    for (uint32_t v : {0u, frameBytes, 0u, 0u, 0u, 0u}) Put32(strf, v);
    std::vector<BYTE> strl;
    PutChunk(strl, "strh", strh);
    PutChunk(strl, "strf", strf);
    std::vector<BYTE> hdrl;
    PutChunk(hdrl, "avih", avih);
    PutChunk(hdrl, "LIST", List("strl", strl));
    std::vector<BYTE> movi, idx;
    uint32_t offset = 4;
    for (int k = 0; k < Frames; k++) {
        std::vector<BYTE> frame;
        BYTE rgb[3];
        FrameColour(k, rgb);
        for (int i = 0; i < W * H; i++) {
            frame.push_back(rgb[2]);  // stored blue, green, red
            frame.push_back(rgb[1]);
            frame.push_back(rgb[0]);
        }
        PutChunk(movi, "00db", frame);
        PutTag(idx, "00db");
        Put32(idx, 0x10);
        Put32(idx, offset);
        Put32(idx, frameBytes);
        offset += 8 + frameBytes;
    }
    std::vector<BYTE> body;
    PutTag(body, "AVI ");
    PutChunk(body, "LIST", List("hdrl", hdrl));
    PutChunk(body, "LIST", List("movi", movi));
    PutChunk(body, "idx1", idx);
    std::vector<BYTE> file;
    PutChunk(file, "RIFF", body);
    return file;
}

std::wstring WriteFile(const wchar_t *Name, const std::vector<BYTE> &Bytes)
{
    wchar_t dir[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, dir);
    std::wstring path = std::wstring(dir) + L"\\" + Name;
    FILE *f = _wfopen(path.c_str(), L"wb");
    fwrite(Bytes.data(), 1, Bytes.size(), f);
    fclose(f);
    return path;
}

class PlatformMovie : public ::testing::Test
{
protected:
    void TearDown() override { MoviePlatform_Release(&Movie); }
    DShowTest Com;
    MovieHandleData Movie = {};
};

TEST_F(PlatformMovie, AviPlaysEveryFrameInOrderThroughTheMovieRenderer)
{
    std::wstring path = WriteFile(L"colours.avi", BuildAvi());
    ASSERT_EQ(0, MoviePlatform_Open(&Movie, path.c_str(), 0, 0));
    EXPECT_EQ(W, Movie.FrameImage.Width);
    EXPECT_EQ(H, Movie.FrameImage.Height);
    ASSERT_EQ(0, MoviePlatform_Play(&Movie, DX_PLAYTYPE_BACK));
    std::vector<int> seen;
    DWORD begun = GetTickCount();
    Movie.PlayFlag = 1;
    while (Movie.PlayFlag && GetTickCount() - begun < 10000) {
        MoviePlatform_Update(&Movie, 0);
        if (Movie.NewFrame && Movie.FrameImage.Pixels != nullptr) {
            Movie.NewFrame = 0;
            const BYTE *px = static_cast<const BYTE *>(Movie.FrameImage.Pixels);
            int found = -1;
            for (int k = 0; k < Frames; k++) {
                BYTE rgb[3];
                FrameColour(k, rgb);
                if (px[0] == rgb[2] && px[1] == rgb[1] && px[2] == rgb[0]) found = k;
            }
            if (found >= 0 && (seen.empty() || seen.back() != found)) seen.push_back(found);
        }
        Sleep(2);
    }
    for (int k : seen) printf("%d ", k);
    printf("<- frames seen\n");
    ASSERT_FALSE(seen.empty()) << "no frame reached the movie";
    for (size_t i = 1; i < seen.size(); i++) EXPECT_LT(seen[i - 1], seen[i]) << "frames out of order";
    EXPECT_EQ(Frames - 1, seen.back());
}

TEST_F(PlatformMovie, UnplayableFileFailsAndStaysAsItWas)
{
    std::vector<BYTE> junk(4096);
    for (size_t i = 0; i < junk.size(); i++) junk[i] = static_cast<BYTE>(i * 13 + 5);
    std::wstring path = WriteFile(L"junk.avi", junk);
    EXPECT_EQ(-1, MoviePlatform_Open(&Movie, path.c_str(), 0, 0));
    EXPECT_EQ(nullptr, Movie.Platform);
    FILE *f = _wfopen(path.c_str(), L"rb");
    ASSERT_NE(nullptr, f);
    std::vector<BYTE> back(junk.size() + 1);
    EXPECT_EQ(junk.size(), fread(back.data(), 1, back.size(), f));
    fclose(f);
    back.resize(junk.size());
    EXPECT_EQ(junk, back);
}

}  // namespace
