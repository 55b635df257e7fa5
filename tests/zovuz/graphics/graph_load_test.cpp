// Loading graphs: whole and divided PNG files and memory images, the alpha file beside an image,
// missing files and movies, and the restore of a divided load from one read of its file.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/test_files.h"
#include "tests/zovuz/graphics/counting_files.h"
#include "tests/zovuz/graphics/graphics_start_fixture.h"
#include "tests/zovuz/graphics/image_fixture.h"
#include "zovuz/graphics/graph/graph_load_internal.h"

namespace {

// An RGB PNG of Width x Height whose pixel (x, y) is Pattern(x, y).
Bytes PatternPng(int Width, int Height, uint32_t (*Pattern)(int X, int Y))
{
    PngSpec s;
    s.Width = Width;
    s.Height = Height;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            uint32_t v = Pattern(x, y);
            s.Rows.insert(s.Rows.end(), {(uint8_t)(v >> 16), (uint8_t)(v >> 8), (uint8_t)v});
        }
    return EncodePng(s);
}

uint32_t AlphaPattern(int X, int Y) { return (uint32_t)(X * 20 + Y * 3 + 1) << 16; }

int GraphCount() { return GetHandleManage(DX_HANDLETYPE_GRAPH)->Num; }

std::wstring FullPath(const wchar_t *Name)
{
    wchar_t dir[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, dir);
    return std::wstring(dir) + L"\\" + Name;
}

class GraphLoad : public SoftwareGraphics
{
protected:
    // The pixels of a graph against Pattern over the rectangle the graph shows of it.
    static void ExpectShows(int Graph, int X, int Y, int Width, int Height, uint32_t (*Pattern)(int X, int Y))
    {
        int w = 0, h = 0;
        ASSERT_EQ(0, GetGraphSize(Graph, &w, &h));
        EXPECT_EQ(Width, w);
        EXPECT_EQ(Height, h);
        EXPECT_EQ(Expected(X, Y, Width, Height, Pattern), ColorBits(ReadPixels(Graph, 0, 0, Width, Height)));
    }
};

TEST_F(GraphLoad, WholeAndDividedFilesOfTheApplicationsLayouts)
{
    const int graphs = GraphCount(), blocks = GetAllocNum();
    ASSERT_TRUE(WriteFileBytes(L"back.png", PatternPng(96, 20, PatternA)));
    int back = LoadGraph("back.png", 0);
    ExpectShows(back, 0, 0, 96, 20, PatternA);
    DeleteGraph(back);

    struct Case
    {
        const char *What;
        int ImageWidth, ImageHeight, AllNum, XNum, YNum, Width, Height;
        int Result;
        std::vector<int> Widths;  // of the pieces, in order
    } cases[] = {
        {"transport buttons", 76, 26, 8, 4, 2, 19, 13, 0, std::vector<int>(8, 19)},
        {"a last column cut off", 100, 10, 2, 2, 1, 60, 10, 0, {60, 40}},
        {"a column outside the image", 50, 10, 2, 2, 1, 60, 10, -1, {}},
        {"fewer pieces than the grid", 40, 20, 3, 2, 2, 20, 10, 0, {20, 20, 20}},
        {"more pieces than the grid", 40, 30, 5, 2, 2, 20, 10, -1, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.What);
        ASSERT_TRUE(WriteFileBytes(L"sheet.png", PatternPng(c.ImageWidth, c.ImageHeight, PatternB)));
        std::vector<int> handles(c.AllNum + 1, 12345);
        ASSERT_EQ(c.Result, LoadDivGraph("sheet.png", c.AllNum, c.XNum, c.YNum, c.Width, c.Height, handles.data(), 0));
        EXPECT_EQ(12345, handles[c.AllNum]);  // nothing past AllNum is written
        for (int i = 0; i < (int)c.Widths.size(); ++i) {
            int x = i % c.XNum * c.Width, y = i / c.XNum * c.Height;
            ExpectShows(handles[i], x, y, c.Widths[i], c.Height, PatternB);
            DeleteGraph(handles[i]);
        }
        EXPECT_EQ(graphs, GraphCount());
    }

    TestImage image = MakeTestImage(12, 6, PatternA);
    int made = CreateGraphFromBaseImage(&image.Image, nullptr, 1);
    ExpectShows(made, 0, 0, 12, 6, PatternA);
    DeleteGraph(made);
    TestImage small = MakeTestImage(12, 5, PatternA);
    EXPECT_EQ(-1, CreateGraphFromBaseImage(&image.Image, &small.Image, 1));  // the alpha image's size differs
    EXPECT_EQ(graphs, GraphCount());
    EXPECT_EQ(blocks, GetAllocNum());
}

TEST_F(GraphLoad, AlphaImagesComeFromBesideTheFileOrFromMemory)
{
    // The folder's dot is not the file's extension: "pics.v2\btn_a" is the alpha of "pics.v2\btn".
    CreateDirectoryW(L"pics.v2", nullptr);
    ASSERT_TRUE(WriteFileBytes(L"pics.v2\\btn", PatternPng(6, 4, PatternA)));
    ASSERT_TRUE(WriteFileBytes(L"pics.v2\\btn_a", PatternPng(6, 4, AlphaPattern)));
    ASSERT_TRUE(WriteFileBytes(L"pics.v2\\plain.png", PatternPng(6, 4, PatternA)));
    std::vector<uint32_t> withAlpha;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            withAlpha.push_back((AlphaPattern(x, y) & 0xFF0000) << 8 | PatternA(x, y));
    int button = LoadGraph("pics.v2\\btn", 0);
    EXPECT_EQ(withAlpha, ReadPixels(button, 0, 0, 6, 4));
    int plain = LoadGraph("pics.v2\\plain.png", 0);
    EXPECT_EQ(0, GetGraphEntry(plain, 0)->Image->Format.AlphaChannelFlag);
    DeleteGraph(button);
    DeleteGraph(plain);

    // From memory, mirrored: each piece shows its own part of the image mirrored, in order.
    const Bytes png = PatternPng(10, 4, PatternA), alpha = PatternPng(10, 4, AlphaPattern);
    int pieces[2];
    ASSERT_EQ(0, CreateDivGraphFromMem(png.data(), (int)png.size(), 2, 2, 1, 5, 4, pieces, 0, 1, alpha.data(),
                                       (int)alpha.size()));
    for (int i = 0; i < 2; ++i) {
        std::vector<uint32_t> expected;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 5; ++x) {
                int from = i * 5 + 4 - x;
                expected.push_back((AlphaPattern(from, y) & 0xFF0000) << 8 | PatternA(from, y));
            }
        EXPECT_EQ(expected, ReadPixels(pieces[i], 0, 0, 5, 4)) << "piece " << i;
        DeleteGraph(pieces[i]);
    }
}

// A movie subsystem that opens every source as an 8 x 4 frame with the alpha layout.
struct FakeMovieData
{
    int OpenResult = 5, Opens = 0, Deleted = -1;
    MovieGraphFields Fields = {};
    void (*Callback)(MovieHandleData *, void *) = nullptr;
    void *CallbackData = nullptr;
} FakeMovie;
MovieHandleData *FakeMovieRecord() { return reinterpret_cast<MovieHandleData *>(&FakeMovie); }

const MovieFunctions FakeMovieTable = {
    [](int Movie) { return Movie == 5 ? FakeMovieRecord() : nullptr; },
    [](MovieHandleData *) { return &FakeMovie.Fields; },
    nullptr,
    [](const MovieOpenParam *, const wchar_t *, const void *, size_t, int *Width, int *Height, int, int) {
        ++FakeMovie.Opens;
        *Width = FakeMovie.Fields.Width;
        *Height = FakeMovie.Fields.Height;
        return FakeMovie.OpenResult;
    },
    [](int, void (*Callback)(MovieHandleData *, void *), void *Data) {
        FakeMovie.Callback = Callback;
        FakeMovie.CallbackData = Data;
        return 0;
    },
    nullptr, nullptr, nullptr, nullptr, nullptr,
    [](int Movie) {
        FakeMovie.Deleted = Movie;
        return 0;
    },
};

TEST_F(GraphLoad, MissingFilesAreReportedAndOtherFilesAreTriedAsMovies)
{
    const int graphs = GraphCount();
    FakeMovie = FakeMovieData();
    FakeMovie.Fields.Width = 8;
    FakeMovie.Fields.Height = 4;
    FakeMovie.Fields.AlphaLayoutFlag = 1;
    TestImage frame = MakeTestImage(8, 4, [](int X, int Y) { return X < 4 ? PatternA(X, Y) : AlphaPattern(X - 4, Y); });
    FakeMovie.Fields.FrameImage = &frame.Image;
    RegisterMovieFunctions(&FakeMovieTable);
    ASSERT_TRUE(WriteFileBytes(L"clip.ogv", std::string(64, 'M')));

    LogAppendReader log;
    EXPECT_EQ(-1, LoadGraph("missing.png", 0));
    EXPECT_NE(std::wstring::npos, log.Appended().find(L"画像ファイル " + FullPath(L"missing.png") + L" がありません"));
    EXPECT_EQ(0, FakeMovie.Opens);  // a missing file is not a movie

    int graph = LoadGraph("clip.ogv", 0);
    ASSERT_GE(graph, 0);
    EXPECT_EQ(1, FakeMovie.Opens);
    int width = 0, height = 0;
    GetGraphSize(graph, &width, &height);
    EXPECT_EQ(4, width);  // half the frame: its right half is the alpha
    EXPECT_EQ(4, height);
    EXPECT_EQ(std::vector<uint32_t>(16, 0), ReadPixels(graph, 0, 0, 4, 4));  // transparent black until a frame
    ASSERT_NE(nullptr, FakeMovie.Callback);
    FakeMovie.Callback(FakeMovieRecord(), FakeMovie.CallbackData);
    std::vector<uint32_t> expected;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            expected.push_back((AlphaPattern(x, y) & 0xFF0000) << 8 | PatternA(x, y));
    EXPECT_EQ(expected, ReadPixels(graph, 0, 0, 4, 4));  // the left half, with the right half as alpha
    DeleteGraph(graph);
    EXPECT_EQ(5, FakeMovie.Deleted);

    // A frame too narrow for a graph: the set-up fails and the opened movie is closed again.
    FakeMovie.Fields.Width = 1;
    FakeMovie.Deleted = -1;
    log.Mark();
    EXPECT_EQ(-1, LoadGraph("clip.ogv", 0));
    EXPECT_NE(std::wstring::npos, log.Appended().find(L"Graph Handle Setup Error : " + FullPath(L"clip.ogv")));
    EXPECT_EQ(5, FakeMovie.Deleted);

    FakeMovie.OpenResult = -1;
    log.Mark();
    EXPECT_EQ(-1, LoadGraph("clip.ogv", 0));
    EXPECT_NE(std::wstring::npos, log.Appended().find(L"Image File Load Error : " + FullPath(L"clip.ogv")));
    RegisterMovieFunctions(nullptr);
    EXPECT_EQ(-1, LoadGraph("clip.ogv", 0));  // no movie subsystem: the load simply fails
    EXPECT_EQ(graphs, GraphCount());
}

TEST_F(GraphLoad, RestoringADividedLoadReadsItsFileOnce)
{
    CountingFiles files;
    ASSERT_TRUE(WriteFileBytes(L"tiles.png", PatternPng(32, 20, PatternB)));
    int tiles[40];
    ASSERT_EQ(0, LoadDivGraph("tiles.png", 40, 8, 5, 4, 4, tiles, 0));
    EXPECT_EQ(1, files.Opens("tiles.png"));
    int whole = LoadGraph("tiles.png", 0);
    for (int tile : tiles)
        FillGraph(tile, 1, 2, 3, 0);
    FillGraph(whole, 1, 2, 3, 0);
    GraphicsState.RestoreGraphCallback = nullptr;
    ASSERT_EQ(0, RestoreGraphics());
    EXPECT_EQ(3, files.Opens("tiles.png"));  // the two loads, then one for all 41 graphs
    ExpectShows(whole, 0, 0, 32, 20, PatternB);
    DeleteGraph(whole);
    for (int i : {0, 17, 39})
        ExpectShows(tiles[i], i % 8 * 4, i / 8 * 4, 4, 4, PatternB);

    // The pieces share the kept source: the others still restore without the first, and the
    // source is the file's full path, whatever the current folder is by then.
    DeleteGraph(tiles[0]);
    FillGraph(tiles[1], 1, 2, 3, 0);
    CreateDirectoryW(L"elsewhere", nullptr);
    SetCurrentDirectoryW(L"elsewhere");
    RestoreGraphics();
    SetCurrentDirectoryW(L"..");
    ExpectShows(tiles[1], 4, 0, 4, 4, PatternB);
    for (int i = 1; i < 40; ++i)
        DeleteGraph(tiles[i]);
}

}  // namespace
