// Internal calls of the movie layer: its state, the playback clock's arithmetic and its
// replaceable microsecond source, and the platform players' entry points.
#pragma once

#include <stdint.h>

#include "zovuz/movie/zovuz_movie.h"

struct MovieSystemData
{
    int Initialized;              // InitializeMovieSystem ran and TerminateMovieSystem not yet
    int64_t (*MicroClock)(void);  // the clock's source; null reads GetNowMicroCount
};
extern MovieSystemData MovieSystem;

// The microsecond clock the movies run on.
int64_t MovieClock_Now(void);
// Replaces the clock's source (tests move time by hand); null restores GetNowMicroCount.
void SetMovieMicroClock(int64_t (*Clock)(void));

// The clock's arithmetic, free of any state.
// PlayedTime advanced by Elapsed microseconds at PlayRate (1.0 adds Elapsed as it is).
uint64_t MovieClock_Advance(uint64_t PlayedTime, uint64_t Elapsed, double PlayRate);
// The frame shown at PlayedTime at FrameRate frames a second.
uint64_t MovieClock_FrameAt(uint64_t PlayedTime, double FrameRate);
// A frame past the end: wrapped with Loop, else the last of FrameCount.
int MovieClock_ShownFrame(uint64_t Frame, int FrameCount, int Loop);
// The frames to move forward from Current to Frame, going round the end when Frame is behind.
int MovieClock_FramesToAdvance(int Current, int Frame, int FrameCount);
// The play time at which Frame begins, as a resume sets it.
uint64_t MovieClock_ResumeTime(double FrameRate, int Frame);
// A * B / C with a 128-bit product (C > 0); the largest value when the quotient overflows.
uint64_t MovieClock_MulDiv(uint64_t A, uint64_t B, uint64_t C);

// The platform's players (Media Foundation, then DirectShow) for files that are not Theora.
// Open: 0 with FrameImage set up, or -1. The others: 0 / -1.
int MoviePlatform_Open(MovieHandleData *Movie, const wchar_t *FileName, int Unused, int ASyncThread);
int MoviePlatform_Update(MovieHandleData *Movie, int Flag);
int MoviePlatform_Pause(MovieHandleData *Movie);
int MoviePlatform_Play(MovieHandleData *Movie, int PlayType);
int MoviePlatform_Release(MovieHandleData *Movie);
int MoviePlatform_Initialize(void);
int MoviePlatform_Terminate(void);
