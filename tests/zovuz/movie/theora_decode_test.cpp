// The Theora decoder on the encoded test movies: stream information, every frame's picture,
// moves forward and across the end, and seeks.
#include "tests/zovuz/movie/movie_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

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

// The ramps of the pattern movies in the stocked frame: the picture is cut from the coded frame
// at its offset, top row first, and U and V are interleaved per chroma sample.
TEST_F(TheoraDecode, TheStockedFrameIsThePictureTopRowFirst)
{
    for (const char *name : {kPatternMovie, kSmallPatternMovie}) {
        SCOPED_TRACE(name);
        MemoryDecoder decoder(ReadMovie(name));
        ASSERT_NE(nullptr, decoder.State);
        for (int n : {0, 1, 5}) {
            TheoraDecode_SeekToFrame(decoder.State, n);
            TheoraDecode_GetYUVImage(decoder.State);
            const TheoraDecodeState *s = decoder.State;
            const TheoraFrameStockEntry *e = nullptr;
            for (int i = 0; i < s->StockCount; ++i)
                if (s->Stock[i].Used && s->Stock[i].Packet == s->CurrentPacket) e = &s->Stock[i];
            ASSERT_NE(nullptr, e);
            ASSERT_EQ(s->Width, e->YWidth);
            ASSERT_EQ(s->Width / 2, e->UVWidth);
            ASSERT_EQ(s->Height / 2, e->UVHeight);
            int worst = 0;
            for (int y = 0; y < e->YHeight; y += 3)
                for (int x = 0; x < e->YWidth; x += 5) {
                    int luma = e->YBuffer[y * e->YPitch + x], u = e->UVBuffer[y / 2 * e->UVPitch + x / 2 * 2],
                        v = e->UVBuffer[y / 2 * e->UVPitch + x / 2 * 2 + 1];
                    worst = std::max(worst, abs(luma - (16 + (x + 2 * y + 5 * n) % 220)));
                    worst = std::max(worst, abs(u - (64 + (x / 2 + y / 2 + 3 * n) % 128)));
                    worst = std::max(worst, abs(v - (64 + (x / 2 + y + n) % 128)));
                }
            EXPECT_LE(worst, 3) << "frame " << n;
        }
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
