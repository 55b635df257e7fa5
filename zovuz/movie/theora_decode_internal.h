// The library's Ogg Theora decoder (libogg and libtheora's theora_ interface).
//
// The open scans the whole stream once into three tables: the pages, one keyframe byte per data
// packet, and for each frame the data packet that completes it. One decode thread per movie then
// keeps a stock of decoded frames around the current one, picked by packet number, so a draw
// only waits when the current frame is not in stock yet. Moving forward (TheoraDecode_IncToFrame)
// lets the thread decode on, across the end of a looping movie; a seek restarts it at the top.
//
// Locking: the caller (under the library's API lock) and the decode thread share the fields
// marked "shared" only under Lock. libogg and libtheora are called by the thread alone, outside
// the lock, once the open has handed the state to it; the caller never waits for the thread
// while it holds Lock.
#pragma once

#include <ogg/ogg.h>
#include <stdint.h>
#include <theora/theora.h>

#include "zovuz/core/zovuz_core.h"
#include "zovuz/graphics/zovuz_graphics_backend.h"

// Decode-thread states.
#define THEORA_THREAD_IDLE 0
#define THEORA_THREAD_DECODING 1
#define THEORA_THREAD_RESET 2
#define THEORA_THREAD_ENDED 3
#define THEORA_THREAD_HOLDING 4

// The stock size the movie layer opens with.
#define THEORA_DEFAULT_STOCK_COUNT 20

// The tables grow in steps of this many entries.
#define THEORA_TABLE_STEP 1000

struct TheoraPageEntry
{
    int32_t Position;     // byte position of the page (only the first page's, 0, is used)
    int32_t FirstPacket;  // number of the first data packet that begins on it
    int32_t Reserved;     // always 0
    int32_t PacketCount;  // data packets on it
};

// One decoded frame: the picture's luma rows, and its U and V samples interleaved (two bytes
// per chroma sample), both cropped to the picture and tightly packed.
struct TheoraFrameStockEntry
{
    int Used;    // shared: holds the frame of Packet
    int Packet;  // shared: the data packet the frame was decoded from
    uint8_t *YBuffer;
    uint8_t *UVBuffer;
    int YWidth, YHeight, YPitch;
    int UVWidth, UVHeight, UVPitch;  // UVPitch = 2 * UVWidth
    size_t YBytes, UVBytes;          // allocated sizes
};

struct TheoraDecodeState
{
    DxCriticalSection Lock;  // guards the fields marked shared

    // The decode-thread handshake (shared).
    int ThreadState;   // THEORA_THREAD_*
    int EndRequest;    // 1 asks the thread to end
    int HoldRequest;   // 1 asks the thread to hold
    int ResetRequest;  // 1 asks the thread to restart decoding at SeekPacket
    int Opened;        // 1 once the open has finished; nothing is decoded before
    int SeekPacket;    // the target packet of a reset
    int DataEnded;     // the stream ended before a wanted packet
    int IdleSince;     // millisecond clock when the thread started or last found its stock full
    ThreadRecord Thread;
    int ThreadMade;  // Thread holds a thread

    // The stream and the codec (the thread's once the open is done).
    StreamFunctionTable StreamOps;
    void *Stream;
    ogg_sync_state Sync;
    ogg_page Page;
    ogg_stream_state StreamState;
    ogg_packet Packet;
    theora_info Info;
    theora_comment Comment;
    theora_state Decoder;
    int SyncMade, StreamMade, InfoMade, DecoderMade;  // which of the above need clearing
    int SerialNo;
    int HeaderCount;  // 0-3
    double SecondsPerFrame;

    // The tables built by the scan.
    TheoraPageEntry *PageTable;
    int PageCount, PageCapacity;
    uint8_t *KeyframeTable;  // one byte per data packet: 1 keyframe
    int KeyframeCapacity;
    int *FrameTable;  // frame -> the data packet that completes it
    int FrameCapacity;
    int64_t PacketCount;  // data packets in the stream
    int FrameCount;

    // The position (shared).
    int CurrentFrame;
    int CurrentPacket;   // FrameTable[CurrentFrame]
    int DecodePosition;  // the last data packet the thread decoded, -1 before the first

    // The picture: the display size and its place in the coded frame.
    int Width, Height;
    int OffsetX, OffsetY;

    int StockCount;
    TheoraFrameStockEntry *Stock;  // shared: Used and Packet of each entry

    BASEIMAGE FrameImage;                          // the current frame as 32-bit XRGB
    int YGraph, UVGraph;                           // the current frame as 1- and 2-channel 8-bit graphs, -1 = none
    int ImageReady, SurfaceReady, YUVGraphsReady;  // shared: cleared when the current frame changes

    int OptionWord;   // the open's option word, kept
    int NoYUVGraphs;  // 1: the luma and chroma graphs are never made

    // The Direct3D 9 YUV surface the current frame is copied into (theora_decode_surface.cpp).
    // Made on first use; the caller's thread alone touches these.
    void *Surface;                    // the device's surface, or null
    uint32_t SurfaceFourCC;           // its layout: "YV12", "YUY2" or "UYVY"
    int SurfaceWidth, SurfaceHeight;  // its size: the picture's, rounded up to a multiple of 4 and 2
    int SurfaceExists;                // Surface holds a surface
    int SurfaceLost;                  // the device's objects went: the surface is to be made again
    int SurfaceRefused;               // the device made none: not asked again until its objects are made anew
};

// What TheoraDecode_GetInfo reports.
struct TheoraDecodeInfo
{
    double FrameRate;  // frames per second
    int FrameCount;
    int Width, Height;  // the picture (display) size
};

// Opens a Theora stream read through Ops/Stream, which stay the caller's. Null when the data does
// not begin with "OggS" (silently: not a Theora movie) or when the stream cannot be played.
TheoraDecodeState *TheoraDecode_Open(const StreamFunctionTable *Ops, void *Stream, int StockCount, int OptionWord,
                                     int NoYUVGraphs, int ASyncThread);
// Ends the thread and frees everything. 0.
int TheoraDecode_Terminate(TheoraDecodeState *State);
int TheoraDecode_GetInfo(TheoraDecodeState *State, TheoraDecodeInfo *Info);
int TheoraDecode_GetCurrentFrame(TheoraDecodeState *State);
// Moves the current frame Count frames forward (Count > 0), wrapping at the end. 0.
int TheoraDecode_IncToFrame(TheoraDecodeState *State, int Count);
// Makes Frame current, restarting the thread at its packet unless it is current already. 0 / -1.
int TheoraDecode_SeekToFrame(TheoraDecodeState *State, int Frame);
// Brings the current frame into the forms asked for (the XRGB image, the luma and chroma graphs,
// the surface), waiting for the thread to stock it. 1 when something was made, else 0.
int TheoraDecode_SetupImage(TheoraDecodeState *State, int ImageFlag, int GraphFlag, int SurfaceFlag, int ASyncThread);
// The current frame as the XRGB image.
const BASEIMAGE *TheoraDecode_GetYUVImage(TheoraDecodeState *State);
int TheoraDecode_GetYGraphHandle(TheoraDecodeState *State);
int TheoraDecode_GetUVGraphHandle(TheoraDecodeState *State);
void *TheoraDecode_GetSurface(TheoraDecodeState *State);
// Flags the surface for re-creation, as the device's objects go: the surface, which lives in the
// device, is released at once. 0 / -1.
int TheoraDecode_RefreshSurface(TheoraDecodeState *State);
// Releases the surface and clears its layout and ready flags; from an asynchronous-load worker the
// release runs on the main thread (TheoraDecode_SurfaceTerminateCallback). 0 / -1.
int TheoraDecode_SurfaceTerminate(TheoraDecodeState *State, int ASyncThread);
int TheoraDecode_SurfaceTerminateCallback(ASyncLoadRequestInfo *Info);

// ---- The surface's platform (theora_decode_surface.cpp) --------------------------------------

#define THEORA_FOURCC(a, b, c, d) ((uint32_t)(a) | (uint32_t)(b) << 8 | (uint32_t)(c) << 16 | (uint32_t)(d) << 24)

// The device's calls for the surface; the Direct3D 9 back end's on Windows.
struct TheoraSurfaceDevice
{
    // A surface of Width x Height (both even) in a YUV layout the device converts, that layout's
    // FOURCC in *FourCC; null when none can be made.
    void *(*Create)(int Width, int Height, uint32_t *FourCC, int ASyncThread);
    // The whole surface locked for writing: its first byte and row pitch, or null.
    void *(*Lock)(void *Surface, int *Pitch, int ASyncThread);
    int (*Unlock)(void *Surface, int ASyncThread);
    int (*Release)(void *Surface, int ASyncThread);
};

struct TheoraSurfaceSystemData
{
    const TheoraSurfaceDevice *Device;  // null: no surface is ever made
};
extern TheoraSurfaceSystemData TheoraSurfaceSystem;

// Hands the Direct3D 9 back end's calls to the decoders (windows/; the movie system's start).
void TheoraDecode_SetupPlatformSurface(void);

// The platform's part, chosen by the graphics back end in use: Direct3D 9 has a surface, the
// others none.
void TheoraDecode_Platform_Init(TheoraDecodeState *State);
// The surface, made first when there is none (and the stream is 4:2:0); null when there is none.
void *TheoraDecode_Platform_GetSurface(TheoraDecodeState *State, int ASyncThread);
void TheoraDecode_Platform_SurfaceTerminate(TheoraDecodeState *State, int ASyncThread);
// Copies the stock entry of the current frame into the surface. 0.
int TheoraDecode_Platform_UpdateSurface(TheoraDecodeState *State, const TheoraFrameStockEntry *Entry, int ASyncThread);

// One frame into a locked surface of the layout FourCC, Width x Height at Pitch, cut to the
// surface: YV12 takes the luma rows, then the V and then the U samples at half the pitch; YUY2
// and UYVY take two pixels in four bytes (Y0 U Y1 V and U Y0 V Y1), both rows of a pair with the
// same chroma, and only from a 4:2:0 frame (Chroma420). 1 when something was copied, else 0.
int TheoraDecode_CopyToSurface(const TheoraFrameStockEntry *Entry, int Chroma420, uint32_t FourCC, uint8_t *Pixels,
                               int Pitch, int Width, int Height);

// Inside the decoder (theora_decode.cpp, theora_decode_thread.cpp, theora_decode_image.cpp).

// Reads up to 4096 more bytes into the sync state: the count read, 0 at the end.
int TheoraDecode_ReadData(TheoraDecodeState *State);
// The next packet of the Theora stream into State->Packet, reading pages and data as needed: 1,
// or 0 at the end. Each page read adds its size to *ByteCount; a page of the Theora stream sets
// *NewPage and its start in *PagePosition. The three may be null.
int TheoraDecode_NextPacket(TheoraDecodeState *State, int64_t *ByteCount, int64_t *PagePosition, int *NewPage);
// Back to the start of the stream: the sync and stream states reset, the stream at byte 0.
void TheoraDecode_Rewind(TheoraDecodeState *State);
// Starts the decode thread, holding. 0 / -1.
int TheoraDecode_CreateDecodeThread(TheoraDecodeState *State);
// One turn of the decode thread: 2 when it is to end.
int TheoraDecode_ThreadStep(TheoraDecodeState *State);
