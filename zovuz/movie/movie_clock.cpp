// The playback clock: elapsed microseconds become play time, play time becomes the frame to
// show, and the Theora decoder is moved forward to it before each draw.
#include "zovuz/core/zovuz_core.h"
#include "zovuz/movie/movie_internal.h"
#include "zovuz/movie/theora_decode_internal.h"

#include <stdint.h>

namespace {

// 65536 * 1,000,000: the frame rate is kept in 16.16 fixed point and the time in microseconds.
constexpr uint64_t FixedMicroseconds = 65536ull * 1000000ull;

}  // namespace

uint64_t MovieClock_MulDiv(uint64_t A, uint64_t B, uint64_t C)
{
    if (C == 0) return UINT64_MAX;
    UInt128 product;
    UInt64MulTo128(&A, &B, &product);
    if (product.High >= C) return UINT64_MAX;  // the quotient needs more than 64 bits
    uint64_t quotient;
    UInt128DivBy64(&product, C, &quotient);
    return quotient;
}

uint64_t MovieClock_Advance(uint64_t PlayedTime, uint64_t Elapsed, double PlayRate)
{
    if (PlayRate >= 0.999999999 && PlayRate <= 1.0000000001) return PlayedTime + Elapsed;
    uint64_t rate = PlayRate > 0.0 ? (uint64_t)(PlayRate * 65536.0) : 0;
    return PlayedTime + MovieClock_MulDiv(Elapsed, rate, 65536);
}

uint64_t MovieClock_FrameAt(uint64_t PlayedTime, double FrameRate)
{
    uint64_t rate = FrameRate > 0.0 ? (uint64_t)(FrameRate * 65536.0) : 0;
    return MovieClock_MulDiv(PlayedTime, rate, FixedMicroseconds);
}

int MovieClock_ShownFrame(uint64_t Frame, int FrameCount, int Loop)
{
    if (FrameCount <= 0) return 0;
    if (Frame < (uint64_t)FrameCount) return (int)Frame;
    return Loop ? (int)(Frame % (uint64_t)FrameCount) : FrameCount - 1;
}

int MovieClock_FramesToAdvance(int Current, int Frame, int FrameCount)
{
    return Frame < Current ? FrameCount - Current + Frame : Frame - Current;
}

uint64_t MovieClock_ResumeTime(double FrameRate, int Frame)
{
    if (FrameRate <= 0.0) return 0;
    return (uint64_t)(int64_t)(1000000.0 / FrameRate * Frame);
}

int64_t MovieClock_Now(void)
{
    return MovieSystem.MicroClock != nullptr ? MovieSystem.MicroClock() : GetNowMicroCount();
}

void SetMovieMicroClock(int64_t (*Clock)(void)) { MovieSystem.MicroClock = Clock; }

int UpdateMovieFrame(int MovieHandle, int Flag)
{
    MovieHandleData *movie = GetMovieHandleData(MovieHandle);
    if (movie == nullptr) return -1;
    if (!movie->Graph.UseTheora) {
        // The platform players run their own frame clock and call the callback themselves.
        MoviePlatform_Update(movie, Flag);
        return 0;
    }
    if (!movie->ClockStopped) {
        TheoraDecodeInfo info;
        TheoraDecode_GetInfo(movie->TheoraHandle, &info);
        uint64_t now = (uint64_t)MovieClock_Now();
        // A clock that went back adds nothing.
        uint64_t elapsed = now > movie->LastClock ? now - movie->LastClock : 0;
        movie->PlayedTime = MovieClock_Advance(movie->PlayedTime, elapsed, movie->PlayRate);
        movie->LastClock = now;
        int loop = (movie->PlayType & DX_MOVIEPLAYTYPE_LOOPBIT) != 0;
        int frame = MovieClock_ShownFrame(MovieClock_FrameAt(movie->PlayedTime, info.FrameRate), info.FrameCount, loop);
        int current = TheoraDecode_GetCurrentFrame(movie->TheoraHandle);
        if (frame != current) {
            movie->NewFrame = 1;
            movie->LastFrameClock = now;
            if (frame < current && !movie->SoundLonger && movie->SoundHandle >= 0)
                PlaySoundHandle(movie->SoundHandle, DX_PLAYTYPE_BACK, 1);
            TheoraDecode_IncToFrame(movie->TheoraHandle, MovieClock_FramesToAdvance(current, frame, info.FrameCount));
        } else if (frame == info.FrameCount - 1 && !loop) {
            bool soundPlaying = movie->SoundHandle >= 0 && CheckSoundPlaying(movie->SoundHandle) == 1;
            if (!soundPlaying) {
                movie->PlayFlag = 0;
                movie->ClockStopped = 1;
            }
        }
    }
    if (movie->UpdateCallback != nullptr) {
        movie->UpdateCallback(movie, movie->UpdateCallbackData);
        movie->Graph.FrameUpdated = 1;
    }
    return 0;
}
