// The ".mdx" song and its ".pdx" ADPCM bank: the data the loader fills and
// the MDX player runs. Everything here is global and replaced in place by the
// next load; the player's timer thread reads it without a lock.
#ifndef TARVEX_APP_ENGINE_MDX_SONG_H
#define TARVEX_APP_ENGINE_MDX_SONG_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "app/engine/song_engine.h"

constexpr int kMdxTrackCount = 16;      // 0-7 FM tracks, 8-15 PCM tracks
constexpr int kMdxFmTrackCount = 8;
constexpr int kMdxVoiceCount = 16;      // voice t serves PCM track t
constexpr int kMdxSampleCount = 96;
constexpr int kMdxToneRecordBytes = 27;
constexpr int kMdxNameBytes = 256;      // the longest title or bank name read
constexpr int kMdxRepeatDepth = 8;
constexpr int kMdxFrameCount = 441;     // stereo frames of one 10 ms tick
constexpr int kPdxHeaderBytes = 768;    // 96 entries of offset and length

// The ".mdx" song; one lives in the application's state.
struct MdxSong {
  int32_t fileSize = 0;              // bytes of the ".mdx" file
  char title[kSongTitleSize] = {};   // text up to the 0x1A, cut at the first line end
  int64_t dataStart = 0;             // file position of the data block
  int64_t endPosition = 0;           // file's end position
  uint16_t trackOffsets[kMdxTrackCount] = {};  // as read, from the data block
  uint64_t startTime = 0;            // play clock start, microseconds; moved forward by pauses
  uint64_t pauseStart = 0;           // microseconds
  int32_t shownCommandBytes = 0;     // the track list's command printer: bytes of the last command
  int32_t shownVolumeMode = 0;       // ... the volume mode
  int32_t shownVolume = 0;           // ... and the volume
  char bankPath[kSongTitleSize] = {};  // "<name>.pdx", looked up in the current directory

  // Loads the ".mdx" file at `path` and the ".pdx" bank it names. A broken
  // file loads as far as it is sound. False only when the file cannot be
  // opened, in which case nothing is changed.
  bool Load(const char* path);
  // The same from memory: `pdx` stands for the bank file when the song names
  // one (null: no bank file found).
  void LoadFromMemory(const uint8_t* mdx, size_t mdxSize, const uint8_t* pdx, size_t pdxSize);

  // Transport of the MDX player (built with the player).
  bool Init();
  void Play();
  void Pause();
  void Resume();
  void Rewind();
};

// The MDX player's state; per-track fields are indexed by track.
struct MdxPlayerState {
  uint16_t trackLength[kMdxTrackCount];  // command bytes, compared as unsigned; from the loader
  int32_t trackCount;                    // from the loader, 0-16
  uint64_t lastClock;                    // microseconds
  double microsPerTick;
  double tickPosition;                   // song time in ticks since the top
  float timerB;                          // Timer-B value, 0 after a reset
  int32_t tempo;                         // beats per minute, for display
  int32_t playing;
  int32_t readPosition[kMdxTrackCount];  // index of the current command byte
  int32_t currentLength[kMdxTrackCount]; // ticks from the current note or rest to the next command
  int32_t volume[kMdxTrackCount];
  int32_t volumeMode[kMdxTrackCount];    // 1 = 16-step scale 0-15, 0 = direct 0-127
  int32_t toneIndex[kMdxTrackCount];     // FmTone record last selected, for display
  int32_t startTick[kMdxTrackCount];     // of the current note or rest
  int32_t lastBendTick[kMdxTrackCount];
  uint8_t enabled[kMdxTrackCount];
  int32_t detune[kMdxTrackCount];        // pitch-bend units
  int32_t pan[kMdxTrackCount];           // FM 0, 64 or 127; PCM the raw value 0-3
  int32_t lastKey[kMdxTrackCount];       // key sounding on an FM track
  uint8_t mute[kMdxTrackCount];          // set by the user interface
  float volumeScale;                     // 1.0 after a reset
  uint8_t fmInstrument[kMdxTrackCount];  // the instrument is a recognised FM instrument
  uint8_t portaPending[kMdxTrackCount];
  uint8_t portaActive[kMdxTrackCount];
  int32_t portaSpeed[kMdxTrackCount];    // bend units x 256 per tick
  int32_t portaStartTick[kMdxTrackCount];
  int32_t portaEndTick[kMdxTrackCount];
  uint8_t portaHold[kMdxTrackCount];
  int32_t portaBase[kMdxTrackCount];
  int32_t portaBend[kMdxTrackCount];
  int32_t repeatCounters[kMdxTrackCount][kMdxRepeatDepth];  // by depth; depth 0 unused
  int32_t repeatDepth[kMdxTrackCount];
  uint8_t tiePending[kMdxTrackCount];    // the tie command was given for the next note
  uint8_t tied[kMdxTrackCount];          // a note continues into the next
  uint8_t legato[kMdxTrackCount];        // a tied note sounds at another key
  uint8_t lfoOn[kMdxTrackCount];
  int32_t lfoWaveform[kMdxTrackCount];
  int32_t lfoStep[kMdxTrackCount];
  int32_t lfoPeriod[kMdxTrackCount];
  int32_t lfoValue[kMdxTrackCount];
  int32_t lfoStartTick[kMdxTrackCount];
  int32_t lfoTicksDone[kMdxTrackCount];
  int32_t lfoDelay[kMdxTrackCount];
  uint8_t gatePending[kMdxTrackCount];
  int32_t gateValue[kMdxTrackCount];     // 8 after a reset
  int32_t gateMode[kMdxTrackCount];      // 0 = eighths of the length, 1 = ticks before the end
  uint8_t sendOn[kMdxTrackCount][2];     // bus 16, bus 17
  float sendLevel[kMdxTrackCount][2];
  float channelPan[kMixerChannelCount];  // 0.0 left, 0.5 centre, 1.0 right
  float channelVolume[kMixerChannelCount];
  float peakLeft[kMixerChannelCount];
  float peakRight[kMixerChannelCount];

  // The player's reset, note-on and note-off (built with the player).
  void Reset();
  void NoteOn(int track);
  void NoteOff(int track);
};

struct WaveFile;

// Globals of the MDX player, in one place.
struct MdxPlayerData {
  int32_t softSoundPlayer = -1;                      // SoftSound player handle
  uint32_t timerId = 0;                              // 10 ms timer, 0 when none runs
  uint8_t* trackData[kMdxTrackCount] = {};           // command bytes, length + 1 with a 0 after them
  int16_t* samples[kMdxSampleCount] = {};            // 16-bit samples at 44,100 Hz
  int32_t sampleLengths[kMdxSampleCount] = {};       // samples
  PcmVoice voices[kMdxVoiceCount];                   // voices 8-15 serve the PCM tracks
  FmTone tones[kFmToneCount];                        // filled by the loader in file order
  float channelBuffers[kMixerChannelCount][kMdxFrameCount * 2] = {};  // interleaved stereo
  float masterBuffer[kMdxFrameCount * 2] = {};
  MdxPlayerState state = {};
  WaveFile* capture = nullptr;                       // set by the application shell
};

extern MdxPlayerData g_mdx;

// Index of the first of the 64 tones whose used flag is clear, or -1.
int FindFreeFmTone();

// Frees the track and sample buffers, including those that loads replaced.
// Only once the player's timer can no longer read them (at exit).
void FreeMdxBuffers();

// ---------------------------------------------------------------------------
// Read streams over which the ".pdx" bank is read.

class Stream {
 public:
  virtual ~Stream() = default;
  virtual size_t Read(void* buffer, size_t size) = 0;  // bytes read
  virtual int ReadByte() = 0;                          // next byte, or EOF
  virtual int Open(const char* path) = 0;              // 0, or an error number
  virtual void Close() = 0;
  virtual int Seek(int64_t offset, int origin) = 0;    // SEEK_SET/CUR/END; 0 on success
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

// Decodes every sample of a bank and stretches it to 44,100 Hz. Entries are
// bounded by the stream's length: data reaching past the end is cut at the
// end, an entry starting beyond it is refused. Each decoded sample replaces
// `samples[i]`/`lengths[i]` (the old buffer goes to `retire`, which takes
// ownership); sample numbers the bank does not provide are emptied the same
// way. Returns the number of samples loaded.
int DecodePdxBank(ReadStream& stream, int16_t* samples[kMdxSampleCount],
                  int32_t lengths[kMdxSampleCount], void (*retire)(void*));

#endif
