// Movies played into graphs on the software renderer: open from files and memory, the frame
// the clock shows, looping, the end, pausing and resuming, and the end of the movie system.
#include "tests/zovuz/movie/movie_fixture.h"

#include <gtest/gtest.h>

#include "tests/support/test_files.h"
#include "tests/zovuz/movie/platform_movie_files.h"
#include "zovuz/movie/playback/windows/movie_platform_win.h"

namespace {

// The time at which frame k of a 15 fps movie begins: ceil(k * 10^6 / 15).
int64_t FrameStart(int64_t Frame) { return (Frame * 1000000 + kMovieFps - 1) / kMovieFps; }

class MoviePlayback : public MovieTest
{
protected:
    // A movie graph loaded from the test file, its movie set to play (with the loop play type
    // when asked), and the movies resumed at the clock's time 1 s.
    int PlayMovieGraph(const char *Name, int Loop)
    {
        TestClock::Set(kStart);
        int graph = LoadGraph(MoviePath(Name).c_str(), 0);
        if (graph < 0) return -1;
        MovieHandleData *movie = GetMovieHandleData(GetGraphEntry(graph, 0)->MovieHandle);
        if (movie == nullptr) return -1;
        movie->PlayFlag = 1;
        if (Loop) movie->PlayType = DX_PLAYTYPE_LOOP;
        ResumeAllMovies();
        return graph;
    }
    // The grey the graph shows once drawn at time kStart + At.
    int GreyAt(int Graph, int64_t At)
    {
        TestClock::Set(kStart + At);
        SetLibraryStarted(1);  // DrawGraph draws only once the library runs
        DrawGraph(0, 0, Graph, 0);
        SetLibraryStarted(0);
        return GreyOf(GetPixel(10, 10));
    }
    static MovieHandleData *MovieOf(int Graph) { return GetMovieHandleData(GetGraphEntry(Graph, 0)->MovieHandle); }

    static constexpr int64_t kStart = 1000000;
    TestClock clock_;
};

}  // namespace

TEST_F(MoviePlayback, OpensFromFilesAndImagesWithTheirSizeAndSoundTrack)
{
    struct Case
    {
        const char *Movie;
        int Width, Height;
        bool Sound;
    } cases[] = {{kGrayMovie, 64, 48, false}, {kGraySmallMovie, 60, 44, false}, {kGrayVorbisMovie, 64, 48, true}};
    for (const Case &c : cases) {
        Bytes image = ReadMovie(c.Movie);
        std::string narrow = MoviePath(c.Movie);
        std::wstring path(narrow.begin(), narrow.end());
        for (bool fromFile : {true, false}) {
            SCOPED_TRACE(testing::Message() << c.Movie << (fromFile ? " from its file" : " from memory"));
            int width = 0, height = 0;
            MovieOpenParam param;
            InitMovieOpenParam(&param);
            int handle = OpenMovie(&param, fromFile ? path.c_str() : nullptr, image.data(), image.size(), &width,
                                   &height, 0, 0);
            ASSERT_GE(handle, 0);
            MovieHandleData *movie = GetMovieHandleData(handle);
            ASSERT_NE(nullptr, movie);
            EXPECT_EQ(c.Width, width);
            EXPECT_EQ(c.Height, height);
            EXPECT_DOUBLE_EQ(15.0, movie->FrameRate);
            EXPECT_EQ(2000, movie->TotalTime);
            EXPECT_EQ(c.Sound, movie->SoundHandle >= 0);
            EXPECT_EQ(1, movie->ClockStopped);
            EXPECT_EQ(0, movie->PlayFlag);
            EXPECT_EQ(0, SubHandle(handle));
        }
    }
}

TEST_F(MoviePlayback, AnImageThatIsNotTheoraIsRefusedAndLeavesNothing)
{
    const int allocs = GetAllocNum();
    LogAppendReader log;
    Bytes text(4096, 'x');
    int width = 0, height = 0;
    EXPECT_EQ(-1, OpenMovie(nullptr, nullptr, text.data(), text.size(), &width, &height, 0, 0));
    EXPECT_NE(std::wstring::npos, log.Appended().find(L"ムービーファイルオープン処理時に失敗しました"));
    EXPECT_EQ(0, GetHandleManage(DX_HANDLETYPE_MOVIE)->Num);
    EXPECT_EQ(allocs, GetAllocNum());
    EXPECT_EQ(nullptr, GetMovieHandleData(-1));
    EXPECT_EQ(-1, UpdateMovieFrame(-1, 0));
    EXPECT_EQ(-1, SetMovieFrameUpdateCallback(0x12345678, nullptr, nullptr));
    EXPECT_EQ(-1, RefreshMovieSurface(-1));
}

// At ceil(k * 10^6 / 15) - 1 us the graph still shows frame k - 1, and from ceil(k * 10^6 / 15)
// frame k; without the loop the clock stops on the last frame.
TEST_F(MoviePlayback, TheClockShowsEachFrameFromItsFirstMicrosecond)
{
    int graph = PlayMovieGraph(kGrayMovie, 0);
    ASSERT_GE(graph, 0);
    EXPECT_NEAR(FrameGrey(0), GreyAt(graph, 0), 3);
    for (int k = 1; k < kMovieFrames; ++k) {
        ASSERT_NEAR(FrameGrey(k - 1), GreyAt(graph, FrameStart(k) - 1), 3) << "just before frame " << k;
        ASSERT_NEAR(FrameGrey(k), GreyAt(graph, FrameStart(k)), 3) << "frame " << k;
    }
    EXPECT_NEAR(FrameGrey(kMovieFrames - 1), GreyAt(graph, FrameStart(kMovieFrames + 5)), 3);
    MovieHandleData *movie = MovieOf(graph);
    EXPECT_NEAR(FrameGrey(kMovieFrames - 1), GreyAt(graph, FrameStart(kMovieFrames + 6)), 3);
    EXPECT_EQ(1, movie->ClockStopped);  // ended: no sound track holds it
    EXPECT_EQ(0, movie->PlayFlag);
    DeleteGraph(graph);
}

TEST_F(MoviePlayback, ALoopingMovieGoesRoundTheEnd)
{
    int graph = PlayMovieGraph(kGrayMovie, 1);
    ASSERT_GE(graph, 0);
    for (int64_t frame : {5, 29, 31, 59, 250}) {
        SCOPED_TRACE(frame);
        EXPECT_NEAR(FrameGrey((int)(frame % kMovieFrames)), GreyAt(graph, FrameStart(frame)), 3);
    }
    EXPECT_EQ(0, MovieOf(graph)->ClockStopped);
    DeleteGraph(graph);
}

TEST_F(MoviePlayback, PauseFreezesTheFrameAndResumeGoesOnFromIt)
{
    int graph = PlayMovieGraph(kGrayVorbisMovie, 0);
    ASSERT_GE(graph, 0);
    EXPECT_NEAR(FrameGrey(4), GreyAt(graph, FrameStart(4)), 3);
    TestClock::Set(kStart + FrameStart(6));
    PauseAllMovies();  // brings the frame up to the pause: frame 6
    EXPECT_EQ(1, MovieOf(graph)->ClockStopped);
    EXPECT_EQ(0, CheckSoundPlaying(MovieOf(graph)->SoundHandle));
    EXPECT_NEAR(FrameGrey(6), GreyAt(graph, FrameStart(20)), 3);  // the clock moved on, the frame did not
    ResumeAllMovies();                                            // at FrameStart(20): frame 6 begins again
    EXPECT_EQ(0, MovieOf(graph)->ClockStopped);
    EXPECT_NEAR(FrameGrey(6), GreyAt(graph, FrameStart(20) + 1), 3);
    EXPECT_NEAR(FrameGrey(9), GreyAt(graph, FrameStart(23)), 3);
    DeleteGraph(graph);
}

// The movie system's end deletes what is still open: the decode threads end and every block the
// movies took is given back (checked by the fixture's tear-down).
TEST_F(MoviePlayback, TheEndOfTheMovieSystemDeletesEveryMovie)
{
    Bytes image = ReadMovie(kGrayVorbisMovie);
    for (int i = 0; i < 3; ++i) {
        int handle = OpenMovie(nullptr, nullptr, image.data(), image.size(), nullptr, nullptr, 0, 0);
        ASSERT_GE(handle, 0);
        GetMovieHandleData(handle)->PlayFlag = 1;
    }
    int graph = PlayMovieGraph(kGrayMovie, 1);
    ASSERT_GE(graph, 0);
    EXPECT_EQ(4, GetHandleManage(DX_HANDLETYPE_MOVIE)->Num);
    EXPECT_EQ(0, TerminateMovieSystem());
    DeleteGraph(graph);
    EXPECT_EQ(-1, TerminateMovieSystem());
    EXPECT_EQ(-1, PauseAllMovies());
    EXPECT_EQ(-1, ResumeAllMovies());
    EXPECT_EQ(0, InitializeMovieSystem());
    EXPECT_EQ(-1, InitializeMovieSystem());
}

// A file that is not Theora plays through the platform (Media Foundation here) into its graph:
// each frame's colour on the movie's clock, the last one kept at the end.
TEST_F(MoviePlayback, APlatformMovieDrawsEachFrameIntoItsGraph)
{
    std::wstring wide = WriteFile(L"colours.avi", BuildAvi());
    std::string path(wide.begin(), wide.end());
    TestClock::Set(kStart);
    int graph = LoadGraph(path.c_str(), 0);
    ASSERT_GE(graph, 0);
    MovieHandleData *movie = MovieOf(graph);
    ASSERT_NE(nullptr, movie);
    EXPECT_EQ(0, movie->Graph.UseTheora);
    ASSERT_NE(nullptr, movie->Platform);
    EXPECT_NE(nullptr, movie->Platform->SourceReader) << "not played through Media Foundation";
    EXPECT_EQ(AviWidth, movie->Graph.Width);
    movie->PlayFlag = 1;
    ResumeAllMovies();
    for (int k : {0, 1, 4, 9, 9}) {
        int64_t at = k < 9 ? k * 100000 + 50000 : 2000000;  // the last at twice the length
        TestClock::Set(kStart + at);
        SetLibraryStarted(1);
        DrawGraph(0, 0, graph, 0);
        SetLibraryStarted(0);
        unsigned colour = GetPixel(10, 10);
        BYTE rgb[3];
        FrameColour(k, rgb);
        // The colours go through 4:2:0 chroma on the way: a few steps off.
        for (int c = 0; c < 3; c++) EXPECT_NEAR(rgb[c], (colour >> (16 - 8 * c)) & 0xFF, 5) << "frame " << k;
    }
    EXPECT_EQ(0, movie->PlayFlag) << "the movie ended";
    DeleteGraph(graph);
}
