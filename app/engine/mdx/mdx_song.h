// The ".mdx" song and its ".pdx" ADPCM bank as the loader reads them: the song
// record, the bank's entries and the streams the bank is read through. What the
// loader fills for the player (tracks, tones, samples) is in mdx_player.h.
#ifndef TARVEX_APP_ENGINE_MDX_SONG_H
#define TARVEX_APP_ENGINE_MDX_SONG_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "app/engine/sequencer/song_engine.h"

constexpr int kMdxTrackCount = 16;  // 0-7 FM tracks, 8-15 PCM tracks
constexpr int kMdxFmTrackCount = 8;
constexpr int kMdxVoiceCount = 16;  // voice t serves PCM track t
constexpr int kMdxSampleCount = 96;
constexpr int kMdxToneRecordBytes = 27;
constexpr int kMdxNameBytes = 256;  // the longest title or bank name read
constexpr int kMdxRepeatDepth = 8;
constexpr int kMdxFrameCount = 441;   // stereo frames of one 10 ms tick
constexpr int kPdxHeaderBytes = 768;  // 96 entries of offset and length

// The ".mdx" song; one lives in the application's state.
struct MdxSong {
  int32_t fileSize = 0;                        // bytes of the ".mdx" file
  char title[kSongTitleSize] = {};             // text up to the 0x1A, cut at the first line end
  int64_t dataStart = 0;                       // file position of the data block
  int64_t endPosition = 0;                     // file's end position
  uint16_t trackOffsets[kMdxTrackCount] = {};  // as read, from the data block
  uint64_t startTime = 0;                      // play clock start, microseconds; moved forward by pauses
  uint64_t pauseStart = 0;                     // microseconds
  int32_t shownCommandBytes = 0;               // the track list's command printer: bytes of the last command
  int32_t shownVolumeMode = 0;                 // ... the volume mode
  int32_t shownVolume = 0;                     // ... and the volume
  char bankPath[kSongTitleSize] = {};          // "<name>.pdx", beside the song or in the current directory

  // Loads the ".mdx" file at `path` and the ".pdx" bank it names, found in the song's folder or,
  // failing that, in the current directory. A broken file loads as far as it is sound. False
  // only when the file cannot be opened, in which case nothing is changed.
  bool Load(const char* path);
  // The same from memory: `pdx` stands for the bank file when the song names
  // one (null: no bank file found).
  void LoadFromMemory(const uint8_t* mdx, size_t mdxSize, const uint8_t* pdx, size_t pdxSize);

  // The player's transport (mdx_player.cpp). Init at start-up makes and starts the player's
  // SoftSound player and leaves the player stopped at the top; true.
  bool Init();
  // From the top: notes off, reset, playing, every track on, FM instruments set up.
  void Play();
  // Tracks off, notes off, PCM voices off; the pause starts now.
  void Pause();
  // Tracks on again (except those that reached their end); the pause is taken off the clock.
  void Resume();
  // Notes and voices off, back to the top, stopped.
  void Rewind();
};

// ---------------------------------------------------------------------------
// Read streams over which the ".pdx" bank is read.

class Stream {
 public:
  virtual ~Stream() = default;
  virtual size_t Read(void* buffer, size_t size) = 0;  // bytes read
  virtual int ReadByte() = 0;                          // next byte, or EOF
  virtual int Open(const char* path) = 0;              // 0, or an error number
  virtual void Close() = 0;
  virtual int Seek(int64_t offset, int origin) = 0;  // SEEK_SET/CUR/END; 0 on success
  virtual bool IsValid() = 0;
  virtual int64_t Tell() = 0;
};

class ReadStream : public Stream {};
class FSReadStream : public ReadStream {};

// A file read through the C run-time's buffered file functions.
class FileReadStream : public FSReadStream {
 public:
  ~FileReadStream() override;
  size_t Read(void* buffer, size_t size) override;
  int ReadByte() override;
  int Open(const char* path) override;
  void Close() override;
  int Seek(int64_t offset, int origin) override;
  bool IsValid() override;
  int64_t Tell() override;

 protected:
  FILE* file_ = nullptr;
};

// A block of memory read as a stream, so the bank loader runs without files.
class MemoryReadStream : public ReadStream {
 public:
  MemoryReadStream(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  size_t Read(void* buffer, size_t size) override;
  int ReadByte() override;
  int Open(const char* path) override;  // memory has no path: always refused
  void Close() override {}
  int Seek(int64_t offset, int origin) override;
  bool IsValid() override { return true; }
  int64_t Tell() override { return static_cast<int64_t>(pos_); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

struct PdxEntry {
  uint32_t offset;  // from the start of the file
  uint32_t length;  // bytes; 0 = no sample
};

// A ".pdx" bank file with its 96 header entries.
class PdxFile : public FileReadStream {
 public:
  PdxEntry entries[kMdxSampleCount] = {};
  // Opens the bank and reads its header; 0, or -1 when it does not open.
  int ReadHeader(const char* path);
};

// Reads the 96 big-endian entries from the start of a stream. Entries the
// stream is too short for read as empty.
void ReadPdxEntries(ReadStream& stream, PdxEntry entries[kMdxSampleCount]);

// Longest ADPCM data of one sample taken from a bank (about 18 minutes at
// 15,600 Hz); longer entries are refused.
constexpr uint32_t kMaxPdxSampleBytes = 8u * 1024 * 1024;

// Decodes every sample of a bank and stretches it to 44,100 Hz, into new
// buffers that the caller owns: `samples[i]`/`lengths[i]` for every sample
// number, null and 0 where the bank provides none. Entries are bounded by the
// stream's length: data reaching past the end is cut at the end, an entry
// starting beyond it is refused. Returns the number of samples decoded.
int DecodePdxBank(ReadStream& stream, int16_t* samples[kMdxSampleCount], int32_t lengths[kMdxSampleCount]);

#endif
