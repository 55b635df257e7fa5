// The samples of an MML song: a sample list ("zpdlist", text naming one sound file per key) or
// a sample bank ("zpd", big-endian records over 4-bit ADPCM), read into song 0's sample tables.
//
// Both loaders read and decode outside the engine lock and take it only to put the prepared
// tables in place (and to stop song 0's voices, which may be playing the samples being
// replaced); the samples they replace are released after the lock. The buffers and sound
// handles behind song 0's tables belong to this module: ResetSongEngine only forgets them.
// Call none of these while holding the engine lock.
#pragma once

#include <cstddef>
#include <cstdint>

class ReadStream;

constexpr int kSampleListHeaderBytes = 9;         // byte 0 is 'Z'
constexpr int kSampleListNoteChars = 15;          // longest note name read
constexpr int kSampleListFileChars = 255;         // longest sound file name
constexpr size_t kMaxSampleListBytes = 1u << 20;  // a list is read up to here
constexpr int kSampleBankHeaderBytes = 8;         // byte 0 is 0x10
constexpr int kSampleBankRecordBytes = 10;        // key u16, data offset u32, data size u32
constexpr uint16_t kSampleBankEndKey = 0xFFFF;
// ADPCM bytes of one bank sample (about 9 minutes at 15,600 Hz) and of a whole bank; data
// beyond these is not decoded, so a file of overlapping records cannot exhaust memory.
constexpr uint32_t kMaxBankSampleBytes = 4u * 1024 * 1024;
constexpr uint64_t kMaxBankTotalBytes = 32u * 1024 * 1024;

// Path = drive + folder + file name (the song file's drive and folder). Each loader takes the
// file only when its first byte is its own magic ('Z' for a list, 0x10 for a bank); a file
// that does not open, or whose first byte is not the loader's, leaves song 0 as it was.
void LoadSampleList(const char* fileName, const char* drive, const char* folder);
void LoadSampleBank(const char* fileName, const char* drive, const char* folder);

// The same from a stream. The sound files a list names are looked up in drive + folder.
void LoadSampleListFrom(ReadStream& stream, const char* drive, const char* folder);
void LoadSampleBankFrom(ReadStream& stream);

// Takes every sample out of song 0's tables and releases it: its voices stop, the list
// empties, the bank holds nothing. Used by each new compile, and at shut-down once the
// render timer no longer runs.
void ReleaseSongSamples();

// The sound files of a list are loaded as the library's SoftSound data. These calls are the
// only way the loaders reach it, and tests may put their own in place (null: the library's).
struct SampleSoundOps {
  // The SoftSound handle of the sound file at `path` with its length in frames and its channel
  // count, or -1 when it does not load.
  int32_t (*load)(const char* path, int32_t* frames, int32_t* channels);
  void (*release)(int32_t handle);
  // One frame of a loaded sound as integers: 0, or -1 when the frame or the handle is not
  // there. Called by the render tick for every frame of a playing list voice.
  int (*read)(int32_t handle, int32_t frame, int32_t* left, int32_t* right);
};
// Null, or a null entry: the library's own.
void SetSampleSoundOps(const SampleSoundOps* ops);

// Reads one frame of a list entry's sound through the ops in place.
int ReadSampleSoundFrame(int32_t handle, int32_t frame, int32_t* left, int32_t* right);
