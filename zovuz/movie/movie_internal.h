// Internal calls of the movie layer: its state, the playback clock's arithmetic and its
// replaceable microsecond source, and the platform players' entry points.
#pragma once

#include <stdint.h>

#include "zovuz/graphics/zovuz_graphics_backend.h"
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

// A frame as a luma plane and an interleaved U, V plane (UVWidth pairs per row).
struct MovieYUVFrame
{
    const uint8_t *Y;
    int YWidth, YHeight, YPitch;
    const uint8_t *UV;
    int UVWidth, UVHeight, UVPitch;
};
// One planar 4:2:0 frame (Y, then U, then V) of Length bytes into the luma plane and the
// interleaved chroma plane (Width / 2 pairs by Height / 2 rows). The planes may be packed
// tightly or padded as 16 x 16 block decoders pad them; a buffer too short for either layout
// is not read. 0, or -1 when nothing was copied.
int MovieFrame_SplitIYUV(const uint8_t *Source, size_t Length, int Width, int Height, uint8_t *Luma, int LumaPitch,
                         uint8_t *Chroma, int ChromaPitch);
// A 4:2:0 frame (each U, V pair shared by a 2 x 2 block) into a 32-bit XRGB image with the
// graph layer's fixed-point YUV tables; only what fits in the image is written.
void MovieFrame_YUV420ToXRGB(const MovieYUVFrame *Frame, BASEIMAGE *Image);
// The planes into the one-channel luma graph and the two-channel chroma graph, each made first
// when its handle is -1 (its deletion sets the handle back to -1). 0, or -1 when a graph cannot
// be made.
int MovieFrame_TransferToGraphs(const MovieYUVFrame *Frame, int *YGraph, int *UVGraph, int ASyncThread);

// The platform's players (Media Foundation, then DirectShow) for files that are not Theora.
// Open: 0 with FrameImage set up, or -1. The others: 0 / -1.
int MoviePlatform_Open(MovieHandleData *Movie, const wchar_t *FileName, int Unused, int ASyncThread);
int MoviePlatform_Update(MovieHandleData *Movie, int Flag);
int MoviePlatform_Pause(MovieHandleData *Movie);
int MoviePlatform_Play(MovieHandleData *Movie, int PlayType);
// Moves the movie to Frame. 0, or -1 when the player cannot seek.
int MoviePlatform_Seek(MovieHandleData *Movie, int Frame);
int MoviePlatform_Release(MovieHandleData *Movie);
int MoviePlatform_Initialize(void);
int MoviePlatform_Terminate(void);
// The sound layer's platform conversion methods (MP3 through DirectShow, Media Foundation):
// registered while the movie system runs.
void SoundConvert_RegisterPlatformMethods(void);
// Shuts Media Foundation down once no conversion uses it any more.
void SoundConvertMF_Terminate(void);
