// Without the platform's decoders (this test runs with GStreamer's plug-in folders pointing at an
// empty folder, see tests.cmake), every platform open and both platform sound conversions fail
// cleanly: -1 with their log lines, the file as it was, no temporary copy, no object of the
// filter family and no memory left behind.
#include <algorithm>

#include <gtest/gtest.h>

#include "tests/support/test_files.h"
#include "tests/zovuz/movie/dshow_test_filters.h"
#include "tests/zovuz/movie/movie_fixture.h"
#include "tests/zovuz/movie/platform_movie_files.h"
#include "tests/zovuz/movie/sound_convert_platform.h"

namespace {

class NoDecoders : public MovieTest
{
protected:
    DShowTest Com;  // also checks that no object of the family is left
};

TEST_F(NoDecoders, EveryPlatformOpenFailsCleanly)
{
    std::vector<BYTE> bytes = BuildAvi();
    std::wstring avi = WriteFile(L"colours.avi", bytes);
    std::string grayPath = MoviePath(kGrayMovie);
    std::wstring gray(grayPath.begin(), grayPath.end());
    // The path as the platform was given it.
    std::wstring grayGiven = gray;
    std::replace(grayGiven.begin(), grayGiven.end(), L'/', L'\\');
    UseOwnTempFolder();
    std::vector<std::wstring> before = TempFiles();
    LogAppendReader log;

    // The AVI through the movie layer; the Ogg, which the layer gives to the Theora decoder,
    // through the platform open itself.
    EXPECT_EQ(-1, OpenMovie(nullptr, avi.c_str(), nullptr, 0, nullptr, nullptr, 0, 0));
    MovieHandleData movie = {};
    EXPECT_EQ(-1, MoviePlatform_Open(&movie, gray.c_str(), 0, 0));
    EXPECT_EQ(nullptr, movie.Platform);

    std::wstring text = log.Appended();
    EXPECT_NE(std::wstring::npos, text.find(L"Movie File Open Error : " + avi)) << text;
    EXPECT_NE(std::wstring::npos, text.find(L"Movie File Open Error : " + grayGiven)) << text;
    EXPECT_NE(std::wstring::npos, text.find(L"ムービーファイルオープン処理時にエラーが発生しました")) << text;
    // Beside the messages, the call the graph gave up on and its code.
    EXPECT_NE(std::wstring::npos, text.find(L"IGraphBuilder::RenderFile failed: 0x")) << text;
    EXPECT_EQ(before, TempFiles()) << "a temporary copy was left behind";
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), ReadFileBytes(avi)) << "the user's file changed";
}

// MP3 through the graph (method 4) and Media Foundation (method 5), each alone, refuse the file;
// each says at which step. The next MP3 still converts, through ACM.
TEST_F(NoDecoders, PlatformSoundConversionsFailAndTheNextFileConverts)
{
    ASSERT_EQ(0, InitializeSoundConvert());
    const Bytes mp3 = Fixture("tone_440_stereo.mp3");
    LogAppendReader log;
    for (int mask : {kToDShow, kToMF}) {
        SCOPED_TRACE(mask);
        MemConverter c(mp3);
        EXPECT_EQ(-1, c.Setup(mask));
        EXPECT_EQ(0, D_CBaseObject::ObjectCount());
    }
    std::wstring text = log.Appended();
    EXPECT_NE(std::wstring::npos, text.find(L"グラフの構築に失敗しました")) << text;
    EXPECT_NE(std::wstring::npos, text.find(L"IGraphBuilder::Render failed: 0x")) << text;
    EXPECT_NE(std::wstring::npos, text.find(L"MFCreateSourceReaderFromByteStream failed: 0x")) << text;

    {
        MemConverter next(ReadSoundFixture("mp3_cbr_44100_stereo.mp3"));
        EXPECT_EQ(0, next.Setup());
        EXPECT_EQ(SOUND_CONV_METHOD_ACM, next.Conv.Method);
        EXPECT_FALSE(next.ReadRest(65536).empty());
    }
    TerminateSoundConvert();
}

}  // namespace
