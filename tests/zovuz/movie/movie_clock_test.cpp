// The playback clock's arithmetic: play time from elapsed time and rate, the frame at a play
// time, the frame shown past the end, the advance round the end, and the time a resume sets.
#include <gtest/gtest.h>

#include "zovuz/movie/movie_internal.h"

TEST(MovieClock, ArithmeticFollowsTheFixedPointRules)
{
    struct Case
    {
        const char *What;
        uint64_t Got, Expected;
    } cases[] = {
        {"rate 1 adds the elapsed time as it is", MovieClock_Advance(7, 999999, 1.0), 1000006},
        {"rate 1.5 adds elapsed x 98304 / 65536", MovieClock_Advance(0, 1000001, 1.5), 1500001},
        {"rate 0.5", MovieClock_Advance(100, 3, 0.5), 101},
        {"30 fps, 1 s is frame 30", MovieClock_FrameAt(1000000, 30.0), 30},
        {"29.97 fps, 1 s is frame 29", MovieClock_FrameAt(1000000, 29.97), 29},
        {"15 fps, just before frame 1", MovieClock_FrameAt(66666, 15.0), 0},
        {"15 fps, frame 1", MovieClock_FrameAt(66667, 15.0), 1},
        {"an hour at 60 fps", MovieClock_FrameAt(3600000000ull, 60.0), 216000},
        {"a product beyond 64 bits", MovieClock_MulDiv(UINT64_MAX / 2, 4, 8), UINT64_MAX / 4},
        {"a quotient beyond 64 bits saturates", MovieClock_MulDiv(UINT64_MAX, 4, 2), UINT64_MAX},
        {"a quotient of exactly 2^64 saturates", MovieClock_MulDiv(1ull << 63, 4, 2), UINT64_MAX},
        {"N = 100 looping: frame 250 shows 50", (uint64_t)MovieClock_ShownFrame(250, 100, 1), 50},
        {"N = 100 not looping: frame 250 shows 99", (uint64_t)MovieClock_ShownFrame(250, 100, 0), 99},
        {"inside the movie", (uint64_t)MovieClock_ShownFrame(42, 100, 0), 42},
        {"N = 100 looping: frame 100 is frame 0 again", (uint64_t)MovieClock_ShownFrame(100, 100, 1), 0},
        {"N = 100 not looping: frame 100 stays on 99", (uint64_t)MovieClock_ShownFrame(100, 100, 0), 99},
        {"from 70 round the end to 50", (uint64_t)MovieClock_FramesToAdvance(70, 50, 100), 80},
        {"forward from 10 to 50", (uint64_t)MovieClock_FramesToAdvance(10, 50, 100), 40},
        {"resume at frame 45 of 15 fps", MovieClock_ResumeTime(15.0, 45), 3000000},
        {"resume at frame 0", MovieClock_ResumeTime(29.97, 0), 0},
    };
    for (const Case &c : cases) EXPECT_EQ(c.Expected, c.Got) << c.What;
}
