// Sound handles (type 3, "Sound"): memory sounds in 1..10 device buffers played in turn, and
// stream sounds that refill one looping device buffer from up to three sources.
//
// Locks, in the order they may be taken: the sound lock (the Sound type's own lock, re-entrant)
// before the stream-list lock, the played-list lock and the 3D-list lock. The sound lock guards
// every stream sound's state (positions, sources, the refill, plays and stops) and the walks
// over all Sound handles; the stream-list lock guards the list of stream sounds, the played-list
// lock the played list, the 3D-list lock the list of 3D sounds. A memory sound's plays and
// property changes take no lock: they run on the thread that calls them.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "zovuz/core/zovuz_core.h"
#include "zovuz/sound/sound_buffer_internal.h"
#include "zovuz/sound/sound_convert_internal.h"
#include "zovuz/sound/sound_system_internal.h"

constexpr int SOUND_BUFFER_MAX_NUM = 10;            // buffers of a memory sound
constexpr int STREAM_SOURCE_MAX_NUM = 3;            // sources of a stream sound
constexpr int STREAM_REPEAT_LOOP_POINT = 255;       // repeat count of a source that loops at its loop point
constexpr int STREAM_WRITE_OFFSET_UNFILLED = -800;  // write offset of a buffer not filled yet
constexpr int SOUND_LOOP_FILE_PATH_BYTES = 3072;    // room for a loop-file path

// Source kinds of a stream sound.
constexpr int STREAM_SOURCE_KIND_PCM_IMAGE = 0;   // converted whole to PCM at once, held as a WAVE image
constexpr int STREAM_SOURCE_KIND_FILE_IMAGE = 2;  // the file's bytes held in memory, converted as it plays
constexpr int STREAM_SOURCE_KIND_STREAM = 3;      // the caller's stream, read as it plays (13 s buffer)

// One source of a stream sound.
struct StreamSoundSource
{
    int Kind;                   // STREAM_SOURCE_KIND_*
    int RepeatCount;            // extra plays (0..254); STREAM_REPEAT_LOOP_POINT: loop at the loop point
    void *Image;                // bytes the source owns (kinds 0 and 2), or null
    int ImageSize;              // their size
    StreamFunctionTable Table;  // the stream read: a memory stream over Image, or the caller's
    void *Stream;               // and its stream pointer
    int KeepStream;             // 1: the caller's stream is closed with the source (kind 3)
    SoundConvertState Conv;     // the converter over the stream
    int LoopStartSample;        // where a loop goes back to, frames (0 when none)
    int LoopEndSample;          // where a loop jumps back, frames (-1 when none)
};

// The stream state of a Sound handle.
struct StreamSoundData
{
    StreamSoundSource Source[STREAM_SOURCE_MAX_NUM];
    int SourceNum;         // sources added
    int SourceIndex;       // the source being read
    int RepeatsDone;       // repeats of that source done
    int BigBlock;          // 1 when a source of kind 3 was added: 13 s buffer and leads
    int TotalSample;       // frames of all sources together (each counted once)
    uint32_t BufferBytes;  // the device buffer's size
    int WriteOffset;       // where the next refill writes; STREAM_WRITE_OFFSET_UNFILLED before the first
    int RefillStart;       // start of the refill window (the window runs to WriteOffset)
    int StreamPosition;    // bytes of the current source read so far
    int PlayPosition;      // bytes played, following the play cursor
    int LastPlayCursor;    // the play cursor when PlayPosition was last brought up to date
    uint8_t Prepared;      // the buffer holds data from PlayPosition on: the refill runs
    uint8_t Ended;         // the last data is written; the buffer stops once played through
    uint8_t LoopPending;   // a loop jump is written and not yet played
    uint8_t AllPlayed;     // every source has been read to its end
    int EndOffset;         // end record: the buffer offset where the data ends
    int EndPlayCursor;     // and the play cursor when it was written
    int JumpOffset;        // jump record: the buffer offset where the jump was written
    int JumpPosition;      // and the play position it leads to
    int SharedFromHandle;  // the handle whose buffer this one plays through, -1 none
    int ShareCount;        // handles playing through this one's buffer
    int CurrentUser;       // the handle using this one's buffer now, -1 none
    int WaitingDelete;     // deleted while others still share its buffer
    HandleListNode List;   // node in the list of stream sounds; Prev is null while not on it
};

// A value the next play uses instead of the handle's own, once.
template <typename T>
struct SoundNextPlayValue
{
    int Flag;  // 1: set for the next play
    T Value;
};

// The Sound handle record.
struct SoundHandleData
{
    HandleInfo HandleInfo;
    HandleListNode List3D;                       // node in the list of 3D sounds
    int Is3DSound;                               // 1: a 3D sound
    int OnPlayedList;                            // 1 while on the played list
    HandleListNode PlayedList;                   // its node there
    int DeleteOnPlayEnd;                         // 1 while on the delete-after-play list
    HandleListNode DeleteOnPlayEndList;          // its node there
    int KeepFlag;                                // 1: survives the sound layer's delete-all
    int BufferNum;                               // buffers made (memory sound), 1 for a stream sound
    int BufferPaused[SOUND_BUFFER_MAX_NUM];      // stopped by the window's deactivation
    int BufferWasPlaying[SOUND_BUFFER_MAX_NUM];  // it was playing then
    SOUNDBUFFER Buffer[SOUND_BUFFER_MAX_NUM];    // the device buffers
    SoundWaveFormat BufferFormat;                // their format
    int Type;                                    // SOUND_TYPE_MEMORY or SOUND_TYPE_STREAM
    int PlayType;                                // play type of the last stream play
    StreamSoundData Stream;                      // stream sounds
    struct
    {
        int WaveSize;                               // PCM bytes
        void *WaveData;                             // the PCM (shared by its owners)
        int *WaveDataUseCount;                      // owners of the PCM (separately allocated)
    } Normal;                                       // memory sounds
    int BufferDuplicate[SOUND_BUFFER_MAX_NUM];      // 1: made as a duplicate of buffer 0
    int BufferPlayIndex;                            // the buffer the last play used
    int Volume[SOUNDBUFFER_MAX_CHANNEL_NUM];        // hundredths of a dB, 0 full .. -10000
    int LinearVolume[SOUNDBUFFER_MAX_CHANNEL_NUM];  // the same as factors, 256 = full
    int Pan;                                        // -10000 .. 10000
    int Frequency;                                  // 0 = the format's own rate
    float Position3D[3];                            // 3D position
    float DistanceScale3D;                          // audible radius, 14.0
    float Velocity3D[3];                            // 3D velocity
    int FrequencyScaleFlag;                         // 1: frequencies are scaled by FrequencyScale
    float FrequencyScale;
    struct
    {
        SoundNextPlayValue<int> Volume[SOUNDBUFFER_MAX_CHANNEL_NUM];
        SoundNextPlayValue<int> Pan;
        SoundNextPlayValue<int> Frequency;
        SoundNextPlayValue<float[3]> Position3D;
        SoundNextPlayValue<float> DistanceScale3D;
        SoundNextPlayValue<float[3]> Velocity3D;
    } NextPlay;  // overrides for the next play
};

constexpr int SOUND_TYPE_MEMORY = 0;
constexpr int SOUND_TYPE_STREAM = 1;

// The load parameters name a loop: their start and end times differ, or their samples do.
inline bool LoadSoundLoopSet(const LoadSoundParam &Param)
{
    return Param.LoopStartMilliSec != Param.LoopEndMilliSec || Param.LoopStartSample != Param.LoopEndSample;
}

// ---- handles (sound_handle.cpp) ---------------------------------------------------------------

// The record of a live Sound handle (AllowLoading 1 also takes one that is still loading), else
// null. Null as well while the sound device is not ready.
SoundHandleData *SoundHandleOf(int SoundHandle, int AllowLoading);

// A new Sound handle with the 3D and keep flags; a 3D sound goes on the list of 3D sounds.
// ASyncThread 1 makes it loading (the caller is a job and lowers the count). ReuseHandle: -1, or
// a deleted handle whose value the new one takes. The handle, or -1.
int AddSoundHandle(int Is3DSound, int KeepFlag, int ASyncThread, int ReuseHandle = -1);

// Load into an existing handle. 0 / -1 (logged); the caller deletes the handle on failure.
int SetupSoundHandleFromFile(LoadSoundParam *Param, int SoundHandle, const wchar_t *FileName, int BufferNum,
                             int SharingHandle, int AllowLoading);
int LoadSoundMemByMemImageBase(LoadSoundParam *Param, int SoundHandle, const void *FileImage, int FileImageSize,
                               int BufferNum, int SharingHandle, int AllowLoading);

// Makes the device buffers: BufferNum of Bytes for a memory sound (buffers 1.. duplicate buffer 0;
// a failed duplicate ends the count), or one streamed buffer that puts the sound on the list of
// stream sounds. 0 / -1 (logged).
int SetupSoundBuffers(SoundHandleData *Sound, int SoundHandle, int BufferNum, uint32_t Bytes,
                      const SoundWaveFormat *Format, int IsStream);

// Gives a buffer the handle's volumes, pan, frequency and (3D sounds) position, distance scale
// and velocity, each from its next-play value when one is set (which is then used up).
void ApplySoundHandleSettings(SoundHandleData *Sound, SOUNDBUFFER *Buffer);
// A started 3D sound goes on the played list once.
void AddToPlayedSoundList(SoundHandleData *Sound, int SoundHandle);
// Play type 0: pumps messages, 1 ms apart, until the sound stops or the program ends. 0.
int WaitSoundPlayEnd(int SoundHandle);

// The type's callbacks.
int InitializeSoundHandle(HandleInfo *Info);
int TerminateSoundHandle(HandleInfo *Info);

// Converts a whole sound-file image to PCM (DXFREE *Pcm); with WithLoop the file's own loop
// (both -1 when it has none). 0; -1 when no converter takes the image; -2 when it cannot be
// converted whole.
int DecodeSoundFileImage(const LoadSoundParam *Param, const void *FileImage, int FileImageSize, int WithLoop,
                         SoundWaveFormat *Format, void **Pcm, int *PcmBytes, int *LoopStart, int *LoopEnd);

// Reads a whole stream into one new block (DXFREE it), at most MaxBytes. 0; -1 when it cannot be
// read; -2 when the memory cannot be had.
int ReadWholeStream(const StreamFunctionTable *Table, void *Stream, void **Data, int *Size, int MaxBytes);

// Frames <-> milliseconds at a rate, 64-bit intermediates, truncating.
int ConvertMilliSecToSample(int SamplesPerSec, int MilliSec);
int ConvertSampleToMilliSec(int SamplesPerSec, int Sample);

// ---- stream sounds (stream_sound.cpp) ---------------------------------------------------------

// Adds a source of Kind (0, 2 or 3) that repeats RepeatCount more times. For kinds 2 and 3 the
// file's own loop goes into Param's loop samples when none is set there. *CanCloseStream is
// 0 when the source keeps the stream (kind 3). 0 / -1 (logged).
int AddSreamSound(LoadSoundParam *Param, const StreamFunctionTable *Table, void *Stream, int RepeatCount,
                  int SoundHandle, int Kind, int *CanCloseStream, int SharingHandle, int AllowLoading);
int AddStreamSoundFile(LoadSoundParam *Param, const wchar_t *FileName, int RepeatCount, int SoundHandle, int Kind,
                       int SharingHandle, int AllowLoading);
int AddStreamSoundMemImage(LoadSoundParam *Param, const void *FileImage, int FileImageSize, int RepeatCount,
                           int SoundHandle, int Kind, int SharingHandle, int AllowLoading);

// The buffer a stream sound plays through: its own, or the one it shares.
SOUNDBUFFER *StreamSoundBuffer(SoundHandleData *Sound);
// Rewinds the buffer to the play position and fills it ahead (under the sound lock). 0 / -1.
int PrepareStreamSound(SoundHandleData *Sound, int SoundHandle);
int PlayStreamSound(int SoundHandle, int PlayType, int TopPositionFlag);
int StopStreamSound(int SoundHandle);
int CheckStreamSoundPlaying(int SoundHandle);
// One refill. 0 when it wrote or stopped the sound at its end, -1 when there was nothing to do.
int ProcessStreamSound(int SoundHandle, int AllowLoading);
// Every playing stream sound on the list of stream sounds, under the sound lock and the
// stream-list lock.
void ProcessStreamSoundList(void);
int GetStreamSoundCurrentPosition(int SoundHandle);
int SetStreamSoundCurrentPosition(int BytePosition, int SoundHandle);
int SetStreamSoundCurrentTime(int MilliSec, int SoundHandle);
// The stream part of a deletion. 1 when the record must stay: other handles still play through
// its buffer.
int TerminateStreamSound(SoundHandleData *Sound, int SoundHandle);

// ---- loop points and loop files (sound_loop.cpp) ----------------------------------------------

// The loop of the load parameters on a loaded handle: times when they differ, else samples when
// they differ. 0 / -1.
int ApplyLoadSoundLoop(const LoadSoundParam *Param, int SoundHandle);
// The loop file beside a sound file: its path up to the extension of its name (a '.' in a
// folder name is not one), then "_loop.txt". 0, or -1 when it does not fit in DestBytes.
int MakeLoopInfoFilePath(const wchar_t *SoundFileName, wchar_t *Dest, size_t DestBytes);
// Reads a loop file: 0 with the loop in frames, or -1.
int ReadLoopInfoFile(const wchar_t *LoopFileName, int *LoopStart, int *LoopEnd);
// Reads the loop text of a loop file's bytes (byte-order mark or code page 932). 0 / -1.
int ParseLoopInfo(const void *FileBytes, int FileSize, int *LoopStart, int *LoopEnd);
