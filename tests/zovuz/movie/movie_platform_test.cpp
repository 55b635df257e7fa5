// Platform movies under Wine: uncompressed AVIs written by the test and the Theora test movie
// play through Media Foundation and through a filter graph into the library's movie renderer,
// seek, and files the platform cannot play fail cleanly, leaving the user's file and no copy.
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/test_files.h"
#include "tests/zovuz/movie/dshow_test_filters.h"
#include "tests/zovuz/movie/movie_fixture.h"
#include "tests/zovuz/movie/platform_movie_files.h"
#include "zovuz/movie/renderer/windows/dshow_movie_render.h"
#include "zovuz/movie/playback/windows/movie_platform_win.h"

namespace {

std::vector<BYTE> ReadAll(const std::wstring &Path)
{
    const std::string b = ReadFileBytes(Path);
    return std::vector<BYTE>(b.begin(), b.end());
}

// The frame whose colour the XRGB pixel shows (within Tolerance), or -1.
int FrameOfColour(const BYTE *Px, int Tolerance)
{
    for (int k = 0; k < AviFrames; k++) {
        BYTE rgb[3];
        FrameColour(k, rgb);
        if (abs(Px[0] - rgb[2]) <= Tolerance && abs(Px[1] - rgb[1]) <= Tolerance && abs(Px[2] - rgb[0]) <= Tolerance)
            return k;
    }
    return -1;
}

// Which frame an image shows: the AVI's colours, or the grey movie's greys, converted with the
// range expanded (the library's movie tables) or as full-range luma (the movie renderer's).
enum class Shows { Colour, Grey, Luma };
int FrameShown(const MovieHandleData &Movie, Shows What, int Tolerance)
{
    const BASEIMAGE &im = Movie.FrameImage;
    if (im.Pixels == nullptr) return -1;
    const BYTE *px = static_cast<const BYTE *>(im.Pixels) + (im.Height / 2) * im.Pitch + (im.Width / 2) * 4;
    if (What == Shows::Grey) return FrameOfGrey(px[1]);
    if (What == Shows::Luma) {
        for (int f = 0; f < kMovieFrames; f++)
            if (abs(16 + 7 * f - px[1]) <= 3) return f;
        return -1;
    }
    // RGB24 frames from the graph keep the file's three bytes a pixel.
    if (im.ColorData.BitDepth == 24) px = static_cast<const BYTE *>(im.Pixels);
    return FrameOfColour(px, Tolerance);
}

class PlatformMovie : public ::testing::Test
{
protected:
    void SetUp() override
    {
        InitializeBaseImageTables();
        avi_ = WriteFile(L"colours.avi", BuildAvi());
        avi32_ = WriteFile(L"colours32.avi", BuildAvi(32));
        const std::string gray = MoviePath(kGrayMovie);
        gray_.assign(gray.begin(), gray.end());
    }
    void TearDown() override
    {
        MoviePlatform_Release(&Movie);
        delete Platform;
    }
    // Opens through one player alone, as the platform open would.
    int OpenWith(int (*Open)(MovieHandleData *, MoviePlatformData *, const wchar_t *, int), const std::wstring &Path)
    {
        Platform = new MoviePlatformData();
        Platform->MFSoundHandle = -1;
        if (Open(&Movie, Platform, Path.c_str(), 0) != 0) return -1;
        Movie.Platform = Platform;
        Platform = nullptr;
        return 0;
    }
    // Plays a graph-driven movie to its end; the frames it showed, in order, repeats dropped.
    std::vector<int> PollGraph(Shows What)
    {
        std::vector<int> seen;
        EXPECT_EQ(0, MoviePlatform_Play(&Movie, DX_PLAYTYPE_BACK));
        DWORD begun = GetTickCount();
        Movie.PlayFlag = 1;
        while (Movie.PlayFlag && GetTickCount() - begun < 10000) {
            MoviePlatform_Update(&Movie, 0);
            if (Movie.NewFrame) {
                Movie.NewFrame = 0;
                int k = FrameShown(Movie, What, 3);
                if (k >= 0 && (seen.empty() || seen.back() != k)) seen.push_back(k);
            }
            Sleep(2);
        }
        return seen;
    }
    DShowTest Com;
    TestClock Clock;
    MovieHandleData Movie = {};
    MoviePlatformData *Platform = nullptr;
    std::wstring avi_, avi32_, gray_;
};

// A 32-bit frame is ARGB, its alpha the file's, only when the movie was opened with the alpha
// setting; XRGB otherwise.
TEST_F(PlatformMovie, GraphPlaysEveryFrameInOrderThroughTheMovieRenderer)
{
    struct
    {
        const std::wstring *Path;
        int Pixel, Frames;
        Shows What;
        int AlphaSetting;
    } const cases[] = {
        {&avi_, MovieRenderPixel_RGB24, AviFrames, Shows::Colour, 0},
        {&avi32_, MovieRenderPixel_RGB32, AviFrames, Shows::Colour, 1},
        {&avi32_, MovieRenderPixel_RGB32, AviFrames, Shows::Colour, 0},
        {&gray_, MovieRenderPixel_YV12, kMovieFrames, Shows::Luma, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "pixel id " << c.Pixel << ", alpha setting " << c.AlphaSetting);
        Movie.OpenParam.AlphaFlag = c.AlphaSetting;
        ASSERT_EQ(0, OpenWith(OpenMovie_DirectShow, *c.Path));
        EXPECT_EQ(c.Pixel, Movie.Platform->Renderer->PixelId);
        std::vector<int> seen = PollGraph(c.What);
        ASSERT_FALSE(seen.empty()) << "no frame reached the movie";
        for (size_t i = 1; i < seen.size(); i++) EXPECT_LT(seen[i - 1], seen[i]) << "frames out of order";
        EXPECT_EQ(c.Frames - 1, seen.back());
        const bool argb = c.Pixel == MovieRenderPixel_RGB32 && c.AlphaSetting;
        EXPECT_EQ(argb ? 0xFF000000u : 0u, Movie.FrameImage.ColorData.AlphaMask);
        if (argb) {
            EXPECT_EQ(FrameAlpha(c.Frames - 1), static_cast<const BYTE *>(Movie.FrameImage.Pixels)[3]);
        }
        // Every frame reached the renderer: drawn, or dropped as late (the renderer keeps to the
        // graph's clock, and a busy machine makes frames late).
        int drawn = 0, dropped = 0;
        Movie.Platform->Renderer->get_FramesDrawn(&drawn);
        Movie.Platform->Renderer->get_FramesDroppedInRenderer(&dropped);
        EXPECT_EQ(c.Frames, drawn + dropped) << drawn << " drawn, " << dropped << " dropped";
        MoviePlatform_Release(&Movie);
    }
}

TEST_F(PlatformMovie, MediaFoundationShowsEachFrameOnTheLibraryClockAndSeeks)
{
    struct
    {
        const std::wstring *Path;
        int Frames, Fps;
        Shows What;
        int Tolerance;
    } const cases[] = {
        // The colours go through 4:2:0 chroma on the way: a few steps off.
        {&avi_, AviFrames, 10, Shows::Colour, 5},
        {&gray_, kMovieFrames, kMovieFps, Shows::Grey, 3},
    };
    for (const auto &c : cases) {
        ASSERT_EQ(0, MoviePlatform_Open(&Movie, c.Path->c_str(), 0, 0));
        ASSERT_NE(nullptr, Movie.Platform->SourceReader) << "Media Foundation did not take the file";
        Movie.ClockStopped = 1;
        EXPECT_EQ(c.Frames, Movie.Platform->FrameTotal);
        EXPECT_EQ(0, FrameShown(Movie, c.What, c.Tolerance)) << "the first frame is made at open";
        Movie.PlayType = DX_PLAYTYPE_BACK;
        Movie.PlayFlag = 1;
        Movie.ClockStopped = 0;
        TestClock::Set(1000000);
        ASSERT_EQ(0, MoviePlatform_Play(&Movie, DX_PLAYTYPE_BACK));
        for (int k = 1; k < c.Frames; k++) {
            // Half-way into frame k.
            TestClock::Set(1000000 + (k * 2 + 1) * 500000 / c.Fps);
            MoviePlatform_Update(&Movie, 0);
            EXPECT_EQ(k, FrameShown(Movie, c.What, c.Tolerance)) << "at frame " << k;
        }
        TestClock::Set(1000000 + (c.Frames + 1) * 1000000 / c.Fps);
        MoviePlatform_Update(&Movie, 0);
        EXPECT_EQ(0, Movie.PlayFlag) << "the movie ends on its last frame";
        EXPECT_EQ(c.Frames - 1, FrameShown(Movie, c.What, c.Tolerance));
        // Back to an earlier frame while stopped: the next update shows it.
        ASSERT_EQ(0, MoviePlatform_Seek(&Movie, 3));
        MoviePlatform_Update(&Movie, 0);
        EXPECT_EQ(3, FrameShown(Movie, c.What, c.Tolerance));
        MoviePlatform_Release(&Movie);
    }
}

TEST_F(PlatformMovie, GraphSeekStartsAtTheFrame)
{
    ASSERT_EQ(0, OpenWith(OpenMovie_DirectShow, avi_));
    ASSERT_EQ(0, MoviePlatform_Seek(&Movie, 6));
    std::vector<int> seen = PollGraph(Shows::Colour);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(6, seen.front());
    EXPECT_EQ(AviFrames - 1, seen.back());
}

TEST_F(PlatformMovie, UnplayableFileFailsAndStaysAsItWas)
{
    std::vector<BYTE> junk(4096);
    for (size_t i = 0; i < junk.size(); i++) junk[i] = static_cast<BYTE>(i * 13 + 5);
    std::wstring path = WriteFile(L"junk.avi", junk);
    UseOwnTempFolder();
    std::vector<std::wstring> before = TempFiles();
    EXPECT_EQ(-1, MoviePlatform_Open(&Movie, path.c_str(), 0, 0));
    EXPECT_EQ(nullptr, Movie.Platform);
    EXPECT_EQ(junk, ReadAll(path));
    EXPECT_EQ(before, TempFiles()) << "a temporary copy was left behind";
}

TEST_F(PlatformMovie, TemporaryCopyHoldsTheWholeFileAndGoesWithTheMovie)
{
    // More than two copy chunks, the last one short.
    std::vector<BYTE> bytes(2 * MoviePlatformCopyChunk + 402848);
    for (size_t i = 0; i < bytes.size(); i++) bytes[i] = static_cast<BYTE>((i * 7) ^ (i >> 11));
    std::wstring path = WriteFile(L"big.bin", bytes);
    MoviePlatformData *p = new MoviePlatformData();
    ASSERT_EQ(0, MoviePlatform_SetPath(p, L"some/where/big.bin"));
    EXPECT_STREQ(L"some\\where\\big.bin", p->TempFilePath);
    ASSERT_EQ(0, MoviePlatform_CopyToTempFile(p, path.c_str()));
    std::wstring copy = p->TempFilePath;
    EXPECT_EQ(1, p->TempFileFlag);
    EXPECT_EQ(bytes, ReadAll(copy));
    // The copy's path is the one it is deleted by: another player's path never replaces it.
    EXPECT_EQ(0, MoviePlatform_SetPath(p, path.c_str()));
    EXPECT_EQ(copy, p->TempFilePath);
    Movie.Platform = p;
    MoviePlatform_Release(&Movie);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(copy.c_str()));
    EXPECT_EQ(bytes, ReadAll(path)) << "the user's file was touched";
}

}  // namespace
