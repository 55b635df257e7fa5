// Movies with the whole library: graphs of Theora movies loaded at once and as load jobs, played
// through the window's activation hook, and deleted by the library's end, which leaves every
// tracked block as it found it.
#include <gtest/gtest.h>

#include "tests/support/test_paths.h"
#include "tests/zovuz/graphics/graphics_start_fixture.h"
#include "zovuz/movie/zovuz_movie.h"
#include "zovuz/startup/startup_internal.h"

namespace {

std::string GrayMovie() { return TestBuildDir() + "/testdata/movie/gray_64x48_vorbis.ogv"; }

void StartLibrary()
{
    SetUseHardwareRenderFlag(0);
    ChangeWindowMode(1);
    SetGraphMode(320, 240, 32, 60);
    SetAlwaysRunFlag(1);
    ASSERT_EQ(0, LibraryInit());
}

TEST(MovieLibraryEnd, TheLibraryEndDeletesEveryMovieAndItsMemory)
{
    StartLibrary();  // a first round takes what the library keeps for the process
    ASSERT_EQ(0, LibraryEnd());
    const int baseline = GetAllocNum();

    StartLibrary();
    ASSERT_EQ(GetSubsystemHooks()->ResumeAllMovies, &ResumeAllMovies);
    int now = LoadGraph(GrayMovie().c_str(), 0);
    SetUseASyncLoadFlag(1);
    int later = LoadGraph(GrayMovie().c_str(), 0);
    SetUseASyncLoadFlag(0);
    ASSERT_GE(now, 0);
    ASSERT_GE(later, 0);
    WaitHandleASyncLoad(later);
    int width = 0, height = 0;
    EXPECT_EQ(0, GetGraphSize(later, &width, &height));
    EXPECT_EQ(64, width);
    EXPECT_EQ(48, height);
    EXPECT_EQ(2, GetHandleManage(DX_HANDLETYPE_MOVIE)->Num);
    for (HandleListNode *node = GetHandleManage(DX_HANDLETYPE_MOVIE)->ListFirst.Next; node->Next != nullptr;
         node = node->Next)
        GetMovieHandleData(node->Handle)->PlayFlag = 1;
    GetSubsystemHooks()->ResumeAllMovies();
    EXPECT_EQ(0, DrawGraph(0, 0, now, 0));
    EXPECT_EQ(0, DrawGraph(64, 0, later, 0));

    ASSERT_EQ(0, LibraryEnd());
    EXPECT_EQ(0, GetHandleManage(DX_HANDLETYPE_MOVIE)->InitializeFlag);
    EXPECT_EQ(baseline, GetAllocNum());
}

}  // namespace
