// The Theora decoder on the encoded test movies: stream information, every frame's picture,
// moves forward and across the end, and seeks.
#include "tests/zovuz/movie/movie_fixture.h"

#include <gtest/gtest.h>

class TheoraDecode : public MovieTest
{
};

TEST_F(TheoraDecode, InfoGivesTheRateFrameCountAndPictureSize)
{
    struct Case
    {
        const char *Movie;
        int Width, Height;
    } cases[] = {{kGrayMovie, 64, 48}, {kGraySmallMovie, 60, 44}, {kGrayVorbisMovie, 64, 48}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Movie);
        MemoryDecoder decoder(ReadMovie(c.Movie));
        ASSERT_NE(nullptr, decoder.State);
        TheoraDecodeInfo info;
        ASSERT_EQ(0, TheoraDecode_GetInfo(decoder.State, &info));
        EXPECT_DOUBLE_EQ(15.0, info.FrameRate);
        EXPECT_EQ(kMovieFrames, info.FrameCount);
        EXPECT_EQ(c.Width, info.Width);
        EXPECT_EQ(c.Height, info.Height);
        EXPECT_EQ(c.Width, TheoraDecode_GetYUVImage(decoder.State)->Width);
        EXPECT_EQ(0, TheoraDecode_GetCurrentFrame(decoder.State));
    }
}

// One frame at a time, round the end of the movie twice: every frame, the wrapped ones
// included, shows its own grey, over the whole picture of both sizes.
TEST_F(TheoraDecode, EveryFrameShowsItsOwnPictureAlsoAfterTheWrap)
{
    for (const char *name : {kGrayMovie, kGraySmallMovie}) {
        SCOPED_TRACE(name);
        MemoryDecoder decoder(ReadMovie(name));
        ASSERT_NE(nullptr, decoder.State);
        for (int step = 0; step < kMovieFrames * 2 + 2; ++step) {
            int frame = step % kMovieFrames;
            ASSERT_EQ(frame, TheoraDecode_GetCurrentFrame(decoder.State));
            const BASEIMAGE *image = TheoraDecode_GetYUVImage(decoder.State);
            for (int y : {0, image->Height - 1})
                for (int x : {0, image->Width - 1}) {
                    uint32_t pixel = *(const uint32_t *)((const uint8_t *)image->Pixels + y * image->Pitch + x * 4);
                    ASSERT_NEAR(FrameGrey(frame), GreyOf(pixel), 3) << "frame " << frame << " at " << x << "," << y;
                }
            TheoraDecode_IncToFrame(decoder.State, 1);
        }
    }
}

TEST_F(TheoraDecode, MovesForwardWrapAndSeeksLandOnTheirFrames)
{
    MemoryDecoder decoder(ReadMovie(kGrayMovie));
    ASSERT_NE(nullptr, decoder.State);
    struct Step
    {
        enum { Seek, Inc } Kind;
        int Value;
        int Expected;
    } steps[] = {
        {Step::Seek, 10, 10}, {Step::Inc, 25, 5},  // past the end by more than it has left
        {Step::Inc, 95, 10},                        // several times round
        {Step::Inc, 0, 10},   {Step::Inc, -4, 10},  // only forward moves count
        {Step::Seek, 29, 29}, {Step::Seek, 29, 29}, {Step::Inc, 1, 0},
        {Step::Seek, 3, 3},   {Step::Seek, 30, 3},  // a frame the movie lacks
    };
    for (const Step &s : steps) {
        if (s.Kind == Step::Seek)
            TheoraDecode_SeekToFrame(decoder.State, s.Value);
        else
            TheoraDecode_IncToFrame(decoder.State, s.Value);
        SCOPED_TRACE(testing::Message() << (s.Kind == Step::Seek ? "seek " : "inc ") << s.Value);
        ASSERT_EQ(s.Expected, TheoraDecode_GetCurrentFrame(decoder.State));
        EXPECT_NEAR(FrameGrey(s.Expected), CurrentGrey(decoder.State), 3);
    }
}

// A stock of one frame still shows every frame: the thread frees what the current frame left.
TEST_F(TheoraDecode, ASmallStockStillDecodesEveryFrame)
{
    MemoryDecoder decoder(ReadMovie(kGrayMovie), 1);
    ASSERT_NE(nullptr, decoder.State);
    for (int frame = 0; frame < kMovieFrames + 3; ++frame) {
        ASSERT_NEAR(FrameGrey(frame % kMovieFrames), CurrentGrey(decoder.State), 3) << frame;
        TheoraDecode_IncToFrame(decoder.State, 1);
    }
}

// A movie of inter frames between keyframes: a frame reached by a seek or a jump, which decode
// only from a keyframe on, is the picture that playing frame by frame shows.
TEST_F(TheoraDecode, SeeksAndJumpsShowWhatPlayingFrameByFrameShows)
{
    const Bytes file = ReadMovie(kPatternMovie);
    std::vector<std::vector<uint8_t>> played;
    {
        MemoryDecoder decoder(file);
        ASSERT_NE(nullptr, decoder.State);
        TheoraDecodeInfo info;
        TheoraDecode_GetInfo(decoder.State, &info);
        ASSERT_EQ(40, info.FrameCount);
        for (int f = 0; f < info.FrameCount; ++f) {
            const BASEIMAGE *image = TheoraDecode_GetYUVImage(decoder.State);
            const uint8_t *pixels = (const uint8_t *)image->Pixels;
            played.emplace_back(pixels, pixels + image->Pitch * image->Height);
            TheoraDecode_IncToFrame(decoder.State, 1);
        }
    }
    ASSERT_NE(played[9], played[10]);
    MemoryDecoder decoder(file);
    ASSERT_NE(nullptr, decoder.State);
    const struct
    {
        bool Seek;
        int Value;
    } steps[] = {{true, 37}, {true, 5}, {false, 13}, {true, 39}, {false, 3}, {true, 12}, {false, 19}, {true, 30}};
    for (const auto &s : steps) {
        if (s.Seek)
            TheoraDecode_SeekToFrame(decoder.State, s.Value);
        else
            TheoraDecode_IncToFrame(decoder.State, s.Value);
        int frame = TheoraDecode_GetCurrentFrame(decoder.State);
        const BASEIMAGE *image = TheoraDecode_GetYUVImage(decoder.State);
        const uint8_t *pixels = (const uint8_t *)image->Pixels;
        EXPECT_TRUE(std::vector<uint8_t>(pixels, pixels + image->Pitch * image->Height) == played[frame])
            << (s.Seek ? "seek to " : "jump by ") << s.Value << ": frame " << frame;
    }
}
