// The platform's movie players (Media Foundation, then a DirectShow graph) and what they share:
// the player record that hangs from a movie, and the temporary copy of a file that the platform
// could not open by its path.
#pragma once

#include <windows.h>
#include <mfapi.h>
#include <mfidl.h>
#include <mfreadwrite.h>
#include <stdint.h>

#include "zovuz/movie/movie_internal.h"

class D_CMovieRender;
struct IGraphBuilder;
struct IMediaControl;
struct IMediaSeeking;
struct IBasicAudio;

// The longest path handed to the platform, in characters with its terminator.
constexpr size_t MoviePlatformPathChars = 1536;

struct MoviePlatformData
{
    // Media Foundation: the library runs the frame clock and reads one frame at a time.
    IMFSourceReader *SourceReader;   // the source reader, or null when DirectShow plays
    IMFMediaType *NativeType;        // the first video stream's own type
    IMFMediaType *OutputType;        // the "IYUV" type asked of the reader
    int VideoWidth, VideoHeight;     // frame size in pixels
    UINT32 RateNumerator;            // frames per second as a fraction, never 0
    UINT32 RateDenominator;          // (numerator / denominator)
    UINT32 AspectNumerator;          // pixel aspect, 0:0 when the stream has none
    UINT32 AspectDenominator;        // (numerator : denominator)
    LONGLONG ReadTime;               // 100-ns time of the last sample read, -1 before the first
    int ReadFrame;                   // frame number of the last sample read, -1 before the first
    LONGLONG Duration;               // stream length in 100-ns units
    int FrameTotal;                  // frames in the stream
    uint8_t *RGBBuffer;              // the pixels of the movie's FrameImage (XRGB)
    int MFCurrentFrame;              // the frame the clock shows
    uint64_t MFLastClock;            // microsecond clock at the previous update
    uint64_t MFPlayedTime;           // play time reached, in microseconds
    int MFSoundLonger;               // 1 when the sound track outlasts the picture
    int MFSoundHandle;               // the sound track, or -1
    int MFSoundPosition;             // its position at open
    int MFSoundTotalTime;            // its length in ms
    double MFPlayRate;               // playback speed, 1.0
    uint8_t *YBuffer;                // the frame's luma plane
    int YWidth, YHeight, YPitch;     // (pixels per row, rows, bytes per row)
    uint8_t *UVBuffer;               // the frame's chroma, U and V interleaved
    int UVWidth, UVHeight, UVPitch;  // (pairs per row, rows, bytes per row)
    int RGBReady;                    // RGBBuffer holds the current frame
    int YUVOptionOff;                // always 0: the luma and chroma graphs are allowed
    int YUVReady;                    // the movie's luma and chroma graphs hold the current frame

    // DirectShow: the graph runs itself; the movie polls the renderer.
    IGraphBuilder *GraphBuilder;  // the filter graph, or null when Media Foundation plays
    IMediaControl *MediaControl;  // runs, pauses and stops the graph
    IMediaSeeking *MediaSeeking;  // the position and the end of the stream
    IBasicAudio *BasicAudio;      // the graph's sound volume
    D_CMovieRender *Renderer;     // the graph's video renderer, "MovieRenderer"
    LONGLONG FrameTime;           // 100-ns units per frame (both players)

    int TempFileFlag;                              // 1: TempFilePath is our own copy, deleted with the movie
    wchar_t TempFilePath[MoviePlatformPathChars];  // the path handed to the platform
};

// The two players. Open: 0 with the movie's FrameImage set up and Movie->Platform = P, or -1
// with nothing left behind (no temporary copy, no platform object). Each may be called on its own.
int OpenMovie_MediaFoundation(MovieHandleData *Movie, MoviePlatformData *P, const wchar_t *FileName, int ASyncThread);
int OpenMovie_DirectShow(MovieHandleData *Movie, MoviePlatformData *P, const wchar_t *FileName, int ASyncThread);
void TerminateMovie_MediaFoundation(MoviePlatformData *P);
void TerminateMovie_DirectShow(MoviePlatformData *P);
int UpdateMovieFrame_MediaFoundation(MovieHandleData *Movie);
int UpdateMovieFrame_DirectShow(MovieHandleData *Movie);
int PlayMovie_MediaFoundation(MovieHandleData *Movie, int PlayType);
int PauseMovie_MediaFoundation(MovieHandleData *Movie);
int SeekMovie_MediaFoundation(MovieHandleData *Movie, int Frame);
int SeekMovie_DirectShow(MovieHandleData *Movie, int Frame);
int PlayMovie_DirectShow(MovieHandleData *Movie);
int PauseMovie_DirectShow(MovieHandleData *Movie);

// FileName as the platform takes it ('/' turned into '\\') into P->TempFilePath. -1 when it
// does not fit. Never touches a temporary copy's path.
int MoviePlatform_SetPath(MoviePlatformData *P, const wchar_t *FileName);
// Copies the file (read through the file-access table, so archives work too) into a new
// temporary file, whose path goes into P->TempFilePath with TempFileFlag = 1. 0 / -1 (nothing
// is left behind on failure).
int MoviePlatform_CopyToTempFile(MoviePlatformData *P, const wchar_t *FileName);
// Deletes the temporary copy, if any, and clears the flag and the path.
void MoviePlatform_DeleteTempFile(MoviePlatformData *P);

// The bytes of each chunk of the temporary copy.
constexpr uint32_t MoviePlatformCopyChunk = 1048576;
