// Graphs loaded as asynchronous jobs on the loader threads the library's start starts: the
// handles come back at once, are refused while their file is read, and are valid afterwards; a
// load that fails takes its handle away.
#include <gtest/gtest.h>

#include <vector>

#include "tests/support/test_files.h"
#include "tests/zovuz/graphics/counting_files.h"
#include "tests/zovuz/graphics/graphics_start_fixture.h"
#include "tests/zovuz/graphics/image_fixture.h"
#include "zovuz/startup/startup_internal.h"

namespace {

TEST(GraphLoadAsync, HandlesAreRefusedWhileLoadingThenValid)
{
    SetUseHardwareRenderFlag(0);
    ChangeWindowMode(1);
    SetGraphMode(320, 240, 32, 60);
    SetAlwaysRunFlag(1);
    SetMainWindowText("graph load");
    ASSERT_EQ(0, LibraryInit());

    TestImage pattern = MakeTestImage(16, 16, PatternA);
    PngSpec png;
    png.Width = png.Height = 16;
    for (uint32_t v : pattern.Pixels)
        png.Rows.insert(png.Rows.end(), {(uint8_t)(v >> 16), (uint8_t)(v >> 8), (uint8_t)v});
    ASSERT_TRUE(WriteFileBytes(L"slow.png", EncodePng(png)));

    {
        CountingFiles files;
        files.Hold("slow.png");
        SetUseASyncLoadFlag(1);
        int whole = LoadGraph("slow.png", 0);
        int pieces[4];
        int divided = LoadDivGraph("slow.png", 4, 2, 2, 8, 8, pieces, 0);
        int missing = LoadGraph("missing.png", 0);
        SetUseASyncLoadFlag(0);
        ASSERT_GE(whole, 0);
        ASSERT_EQ(0, divided);
        ASSERT_GE(missing, 0);  // a failure shows only when the job has run
        std::vector<int> loaded = {whole, pieces[0], pieces[1], pieces[2], pieces[3]};
        for (int graph : loaded) {
            EXPECT_EQ(0, IsValidGraphHandle(graph));
            EXPECT_EQ(-1, GetGraphSize(graph, nullptr, nullptr));
        }

        files.Release();
        for (int graph : loaded)
            WaitHandleASyncLoad(graph);
        WaitHandleASyncLoad(missing);
        EXPECT_EQ(Expected(0, 0, 16, 16, PatternA), ColorBits(ReadPixels(whole, 0, 0, 16, 16)));
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(Expected(i % 2 * 8, i / 2 * 8, 8, 8, PatternA), ColorBits(ReadPixels(pieces[i], 0, 0, 8, 8)))
                << "piece " << i;
        for (int graph : loaded)
            EXPECT_EQ(1, IsValidGraphHandle(graph));
        EXPECT_EQ(-1, IsHandleASyncLoading(missing));  // deleted by its job
    }
    EXPECT_EQ(0, LibraryEnd());
}

}  // namespace
