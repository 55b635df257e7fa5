// SoftSound handles (type 4, "SoftSound"): data in memory, or a player whose frame queue the
// refill moves into a one-second looping device buffer.
//
// The player lock is the SoftSound type's own lock (re-entrant). It guards the list of players
// and every player's queue, queued count, write offset, playing flag and device-buffer
// regions; the sound thread holds it around a whole pass over the players. A frame append may
// grow the queue, and so allocate, under it.
#pragma once

#include <stdint.h>

#include "zovuz/core/zovuz_core.h"
#include "zovuz/sound/sound_buffer_internal.h"
#include "zovuz/sound/sound_system_internal.h"

struct SoftSoundHandleData
{
    HandleInfo HandleInfo;
    int IsPlayer;                  // 1 player, 0 data
    SoundWaveFormat BufferFormat;  // tag 1 (PCM) or 3 (float); block align = bits / 8 x channels

    struct
    {
        int SampleNum;  // frames
        void *Wave;     // BufferFormat.nBlockAlign x SampleNum bytes (owned), or null
    } Data;

    struct
    {
        HandleListNode List;   // node in the list of players; Prev is null while not on it
        int QueuedFrames;      // frames in Queue, always Queue.DataLength / block align
        RingBuffer Queue;      // frames added and not yet moved to the device buffer
        int PausedFlag;        // stopped by the window's deactivation
        int WasPlayingFlag;    // it was playing when paused
        SOUNDBUFFER Buffer;    // the looping device buffer
        uint32_t BufferBytes;  // one second, whole frames
        uint32_t WriteOffset;  // where the next frames go, below BufferBytes
        uint32_t LeadBytes;    // 12/256 s, rounded up to whole frames
        int PlayingFlag;       // 1 between a successful start and the stop
        uint32_t AheadBytes;   // about 0.1 s, whole frames: what the refill keeps written ahead
        uint32_t HeardTo;      // the play cursor at the last refill: all behind it was heard
        int QueueLimitFrames;  // the queue holds at most this many frames (about 0.4 s)
        int DroppedFrames;     // oldest frames dropped to make room; the first drop is logged
    } Player;
};

// The record of a SoftSound handle, or null; Ready refuses one that is still loading.
SoftSoundHandleData *SoftSoundOf(int Handle, bool Ready);

// The player lock, or null while the SoftSound type is not registered.
DxCriticalSection *SoftSoundPlayerLock(void);

// The device buffer's size and the refill's lead for a format of AvgBytesPerSec and BlockAlign:
// one second and 12/256 s, each rounded up to whole frames. 0 when the second does not fit in
// 32 bits.
uint32_t SoftSoundPlayerBufferBytes(uint32_t AvgBytesPerSec, uint32_t BlockAlign);
uint32_t SoftSoundPlayerLeadBytes(uint32_t AvgBytesPerSec, uint32_t BlockAlign);
// A new player's pacing, for a format of AvgBytesPerSec and BlockAlign: the refill keeps about
// 0.1 s written ahead of the play cursor, and the queue holds at most about 0.4 s (a stalled
// refill or a paused device then plays current sound within that when it resumes, not the whole
// backlog). The device buffer is made silent.
void SetupSoftSoundPlayerPacing(SoftSoundHandleData *Player, uint32_t AvgBytesPerSec, uint32_t BlockAlign);

// Creation steps: Setup takes the format from a source handle when one is given, then runs
// AddSoftSoundData, which fills the format and makes the wave (data) or the device buffer and
// the list entry (player). Both accept a handle that is still loading. 0 / -1.
int SetupSoftSoundHandle(int SoftSoundHandle, int IsPlayer, int Channels, int BitsPerSample, int SamplesPerSec,
                         int SampleNum, int IsFloatType, int FormatSourceHandle);
int AddSoftSoundData(int SoftSoundHandle, int IsPlayer, int Channels, int BitsPerSample, int SamplesPerSec,
                     int IsFloatType, int SampleNum);

// Loads a file (UTF-16 path) or a file image into a new SoftSound data handle, at once or as
// an asynchronous job. The handle, or -1.
int LoadSoftSoundBase(const LoadSoundParam *Param, const wchar_t *FileName, const void *FileImage, int FileImageSize,
                      int ASyncLoadFlag);
// Loads into an existing handle. 0 / -1, logged; the handle is left for the caller to delete.
int LoadSoftSoundBaseSync(const LoadSoundParam *Param, int SoftSoundHandle, const wchar_t *FileName,
                          const void *FileImage, int FileImageSize);

// One refill of one player. 0, or -1 when its device buffer cannot be read or locked.
int UpdateSoftSoundPlayer(SoftSoundHandleData *Player);
