// ZoVuz movies: the public API of the library's movie playback.
//
// A movie is a Movie handle that plays into a graph. The graphics front end opens it when no
// image loader takes a source (LoadGraph, CreateGraphFromMem) and reaches the movie code through
// the MovieFunctions table (graphics_hardware.h), which the library's start-up registers. Ogg
// Theora, from a file or a memory image, is decoded by the library itself on one decode thread
// per movie; any other file goes to the platform's players. A movie opens with its clock
// stopped at frame 0; it runs once its PlayFlag is set and the movies are resumed
// (ResumeAllMovies, called when the main window is activated), and stops on its last frame
// unless it loops.
//
// Every call returns -1 for a handle that is not a live Movie handle.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "zovuz/core/zovuz_core.h"
#include "zovuz/graphics/zovuz_graphics.h"
#include "zovuz/sound/zovuz_sound.h"

struct MovieFunctions;
struct MovieHandleData;
struct TheoraDecodeState;

typedef void (*MovieFrameUpdateCallback)(MovieHandleData *Movie, void *Data);

// PlayType holds a sound play type (zovuz_sound.h): DX_PLAYTYPE_BACK plays once, and any type
// with this bit (DX_PLAYTYPE_LOOP) loops.
#define DX_MOVIEPLAYTYPE_LOOPBIT 2

// The record of one Movie handle. The fields the graph shows (frame size, Theora flag, the
// frame-updated flag, the luma and chroma graphs and the current frame image) are kept together
// in Graph, which the graphics front end reads and writes through GetMovieGraphFields.
struct MovieHandleData
{
    HandleInfo Header;
    int PlayType;                             // DX_PLAYTYPE_BACK after a successful open; DX_PLAYTYPE_LOOP loops
    TheoraDecodeState *TheoraHandle;          // the Theora decoder, or null
    uint64_t LastClock;                       // microsecond clock at the previous update
    uint64_t PlayedTime;                      // play time reached, in microseconds
    int TotalTime;                            // Theora: length in ms, 1000 / fps * frame count, truncated
    void *Stream;                             // the stream the decoder reads: a file-access stream or a MemStream
    int StreamIsMemory;                       // 1: Stream is a MemStream; 0: a file-access stream
    double FrameRate;                         // Theora frames per second
    int SoundLonger;                          // 1 when the sound track lasts longer than TotalTime
    int SoundHandle;                          // the sound track's Sound handle, or -1
    int SoundPosition;                        // the sound track's position at open
    int SoundTotalTime;                       // the sound track's length in ms at open
    double PlayRate;                          // playback speed, 1.0 at open
    uint64_t LastFrameClock;                  // microsecond clock at the last frame change
    int64_t EndPosition;                      // platform movies: the end of the stream in 100-ns units
    MovieOpenParam OpenParam;                 // copied at open
    int PlayFlag;                             // 1 while the movie is meant to play
    int ClockStopped;                         // 1 while the clock does not run (paused or ended); 1 at open
    int NewFrame;                             // set to 1 whenever the current frame number changes
    BASEIMAGE FrameImage;                     // platform movies: the frame as an RGB image
    int FrameImageBorrowed;                   // 1 when FrameImage's pixels are someone else's
    MovieGraphFields Graph;                   // Width, Height, UseTheora, FrameUpdated, YGraph, UVGraph and
                                              // FrameImage (the image of the current frame) for the graph
    MovieFrameUpdateCallback UpdateCallback;  // called after each frame update, or null
    void *UpdateCallbackData;                 // handed to UpdateCallback
    struct MoviePlatformData *Platform;       // the platform player's state, or null
};

// The movie system: handle type 6 ("Movie", 100 handles). Initialize: 0, or -1 when already
// done. Terminate deletes every movie: 0, or -1 when not initialised.
int InitializeMovieSystem(void);
int TerminateMovieSystem(void);

// The record of a live Movie handle, or null (bad handle, another type, or still loading).
MovieHandleData *GetMovieHandleData(int MovieHandle);

// The three open words from the library's settings (all 0 in this system). 0.
int InitMovieOpenParam(MovieOpenParam *Param);

// Opens a movie from a file (FileName, UTF-16) or, with a null FileName, from a memory image
// that must stay alive while the movie lives. Theora first, then, for a file, the platform.
// The new Movie handle with the frame size in *Width and *Height, or -1.
int OpenMovie(const MovieOpenParam *Param, const wchar_t *FileName, const void *FileImage, size_t FileImageSize,
              int *Width, int *Height, int Unused, int ASyncThread);

// Stores the frame-update callback and its value. 0 / -1.
int SetMovieFrameUpdateCallback(int MovieHandle, MovieFrameUpdateCallback Callback, void *Data);

// Brings the movie's frame up to its clock, then calls the frame-update callback. 0 / -1.
int UpdateMovieFrame(int MovieHandle, int Flag);

// Stops every running movie (and its sound track) / restarts those meant to play. 0, or -1
// before InitializeMovieSystem.
int PauseAllMovies(void);
int ResumeAllMovies(void);

// The device's objects were rebuilt: the movie's hardware surface is made again. 0 / -1.
int RefreshMovieSurface(int MovieHandle);

// The table the graphics front end reaches movies through (RegisterMovieFunctions).
const MovieFunctions *GetMovieFunctionTable(void);
