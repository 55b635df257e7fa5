// Sample lists and sample banks of MML songs: the readers of both formats, and the samples
// behind song 0's tables, which they put in place and release.
#include "app/engine/mml/sample_load.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "app/engine/mdx/adpcm.h"
#include "app/engine/engine_lock.h"
#include "app/engine/mdx/mdx_song.h"
#include "app/engine/sequencer/song_engine.h"
#include "zovuz/sound/zovuz_sound.h"

namespace {

// drive + folder + name, the song file's place before the name.
constexpr size_t kSamplePathChars = 1024;

typedef std::array<std::unique_ptr<int16_t[]>, kSampleBankSize> BankBuffers;

// A list's sound file as the library's SoftSound data, with its length and channel count.
int32_t LoadLibrarySoftSound(const char* path, int32_t* frames, int32_t* channels) {
  int handle = LoadSoftSound(path);
  if (handle < 0) return -1;
  int count = 0;
  if (GetSoftSoundFormat(handle, &count, nullptr, nullptr, nullptr) < 0) {
    DeleteSoftSound(handle);
    return -1;
  }
  *frames = GetSoftSoundSampleNum(handle);
  *channels = count;
  return handle;
}
void ReleaseLibrarySoftSound(int32_t handle) { DeleteSoftSound(handle); }
int ReadLibrarySoftSound(int32_t handle, int32_t frame, int32_t* left, int32_t* right) {
  return ReadSoftSoundData(handle, frame, left, right);
}

constexpr SampleSoundOps kLibrarySoundOps = {LoadLibrarySoftSound, ReleaseLibrarySoftSound, ReadLibrarySoftSound};

// What lies behind song 0's sample tables.
struct SampleStore {
  BankBuffers bank;                         // buffers of the bank table (kept after a reset forgets them)
  std::vector<int32_t> listHandles;         // SoftSound handles of the list's entries
  SampleSoundOps sound = kLibrarySoundOps;  // how list sound files are loaded and released
};

SampleStore g_samples;

bool BuildPath(char* out, size_t size, const char* drive, const char* folder, const char* name) {
  int n = std::snprintf(out, size, "%s%s%s", drive ? drive : "", folder ? folder : "", name ? name : "");
  return n >= 0 && static_cast<size_t>(n) < size;
}

void ReleaseHandles(const std::vector<int32_t>& handles) {
  for (int32_t h : handles) g_samples.sound.release(h);
}

// --- sample list ----------------------------------------------------------------------------
//
// After the header the list is read like the pattern "%d %15s %255s": an octave number, a note
// name and a sound file name, each after any white space, lines or not. A word longer than its
// field is not split into the next field: the rest of it is skipped.

struct ListText {
  const char* p;
  const char* end;
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

void SkipBlanks(ListText& t) {
  while (t.p < t.end && IsBlank(*t.p)) ++t.p;
}

// A decimal number with an optional sign; false when no digit follows. Kept within +-10^9.
bool ReadListNumber(ListText& t, int64_t* out) {
  SkipBlanks(t);
  const char* p = t.p;
  bool negative = false;
  if (p < t.end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  if (p >= t.end || *p < '0' || *p > '9') return false;
  int64_t n = 0;
  for (; p < t.end && *p >= '0' && *p <= '9'; ++p) n = std::min<int64_t>(n * 10 + (*p - '0'), 1000000000);
  t.p = p;
  *out = negative ? -n : n;
  return true;
}

// One word of at most `max` characters into `out`; returns the word's full length.
size_t ReadListWord(ListText& t, char* out, size_t max) {
  SkipBlanks(t);
  size_t n = 0;
  for (; t.p < t.end && !IsBlank(*t.p); ++t.p, ++n) {
    if (n < max) out[n] = *t.p;
  }
  out[std::min(n, max)] = '\0';
  return n;
}

// Key of an octave and a note name ("c", "f+", "b-", ...): semitone + 12 x octave, or -1 when
// the name is no note or the key does not fit the table's 16 bits.
int32_t ListEntryKey(int64_t octave, const char* name) {
  static const int kSemitones[7] = {9, 11, 0, 2, 4, 5, 7};  // a to g
  char letter = name[0];
  if (letter >= 'A' && letter <= 'G') letter = static_cast<char>(letter - 'A' + 'a');
  if (letter < 'a' || letter > 'g') return -1;
  int semitone = kSemitones[letter - 'a'];
  if (name[1] == '+' && ++semitone == 12) {
    semitone = 0;
    ++octave;
  } else if (name[1] == '-' && --semitone < 0) {
    semitone = 11;
    --octave;
  }
  int64_t key = semitone + 12 * octave;
  return key >= 0 && key <= 0xFFFF ? static_cast<int32_t>(key) : -1;
}

struct PreparedList {
  int count = 0;
  SongSampleListEntry entries[kSampleListSize] = {};
  std::vector<int32_t> handles;  // the loaded ones
};

void PrepareList(const char* text, size_t size, const char* drive, const char* folder, PreparedList& out) {
  ListText t{text, text + size};
  while (out.count < kSampleListSize) {
    int64_t octave = 0;
    char note[kSampleListNoteChars + 1];
    char file[kSampleListFileChars + 1];
    if (!ReadListNumber(t, &octave)) break;
    if (ReadListWord(t, note, kSampleListNoteChars) == 0) break;
    size_t fileLength = ReadListWord(t, file, kSampleListFileChars);

    int32_t key = ListEntryKey(octave, note);
    if (key < 0) continue;
    SongSampleListEntry& e = out.entries[out.count++];
    e.key = static_cast<uint16_t>(key);
    e.handle = -1;
    e.frames = -1;
    e.channels = 0;
    char path[kSamplePathChars];
    // A name cut to its field would name another file: such an entry has no sound.
    if (fileLength > kSampleListFileChars || !BuildPath(path, sizeof path, drive, folder, file)) continue;
    int32_t frames = -1, channels = 0;
    int32_t handle = g_samples.sound.load(path, &frames, &channels);
    if (handle < 0) continue;
    e.handle = handle;
    e.frames = frames;
    e.channels = channels;
    out.handles.push_back(handle);
  }
}

void InstallList(PreparedList& list) {
  std::vector<int32_t> old;
  {
    EngineLock lock = LockEngine();
    SongEngine& song = g_songs[0];
    song.StopVoices();  // before the samples they may be playing change or go
    song.sampleMode = 0;
    song.listCount = list.count;
    std::copy(list.entries, list.entries + kSampleListSize, song.sampleList);
    old.swap(g_samples.listHandles);
    g_samples.listHandles.swap(list.handles);
  }
  ReleaseHandles(old);
}

// --- sample bank ----------------------------------------------------------------------------

struct PreparedBank {
  int32_t lastIndex = -1;
  BankBuffers buffers;
  uint16_t keys[kSampleBankSize] = {};
  int32_t lengths[kSampleBankSize] = {};
};

uint32_t Be32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// Reads `bytes` of ADPCM at `start` and decodes them, two samples a byte. Null for no data or
// when memory runs out; data the stream ends before is cut.
std::unique_ptr<int16_t[]> DecodeBankSample(ReadStream& s, const AdpcmDecoder& table, uint64_t start, uint32_t bytes,
                                            int32_t* length) {
  *length = 0;
  if (bytes == 0 || s.Seek(static_cast<int64_t>(start), SEEK_SET) != 0) return nullptr;
  std::unique_ptr<uint8_t[]> raw(new (std::nothrow) uint8_t[bytes]);
  if (!raw) return nullptr;
  uint32_t got = static_cast<uint32_t>(s.Read(raw.get(), bytes));
  if (got == 0) return nullptr;
  std::unique_ptr<int16_t[]> samples(new (std::nothrow) int16_t[size_t{got} * 2]);
  if (!samples) return nullptr;
  AdpcmDecoder decoder = table;
  decoder.Decode(raw.get(), got * 2, samples.get());
  *length = static_cast<int32_t>(got * 2);
  return samples;
}

// False when the stream is no bank (its first byte is not 0x10).
bool PrepareBank(ReadStream& s, PreparedBank& out) {
  if (s.Seek(0, SEEK_END) != 0) return false;
  int64_t fileSize = s.Tell();
  uint8_t header[kSampleBankHeaderBytes] = {};
  if (fileSize < 1 || s.Seek(0, SEEK_SET) != 0 || s.Read(header, sizeof header) < 1 || header[0] != 0x10) return false;

  AdpcmDecoder table;
  table.bitWidth = kAdpcmPredictorBits;
  table.Init();
  uint64_t budget = kMaxBankTotalBytes;
  for (int i = 0; i < kSampleBankSize; ++i) {
    const int64_t recordStart = kSampleBankHeaderBytes + int64_t{i} * kSampleBankRecordBytes;
    uint8_t record[kSampleBankRecordBytes];
    if (s.Seek(recordStart, SEEK_SET) != 0 || s.Read(record, 2) < 2) break;
    uint16_t key = static_cast<uint16_t>((record[0] << 8) | record[1]);
    if (key == kSampleBankEndKey || s.Read(record + 2, 8) < 8) break;
    out.lastIndex = i;
    out.keys[i] = key;
    // The data lies after the data-offset field, `offset` bytes on. Neither number is trusted:
    // data starting past the end of the file gives no sample, data running past it is cut there.
    const uint64_t start = static_cast<uint64_t>(recordStart) + 6 + Be32(record + 2);
    uint64_t bytes = Be32(record + 6);
    if (start >= static_cast<uint64_t>(fileSize)) continue;
    bytes = std::min<uint64_t>(bytes, static_cast<uint64_t>(fileSize) - start);
    if (bytes > kMaxBankSampleBytes || bytes > budget) continue;
    budget -= bytes;
    out.buffers[i] = DecodeBankSample(s, table, start, static_cast<uint32_t>(bytes), &out.lengths[i]);
  }
  return true;
}

void InstallBank(PreparedBank& bank) {
  EngineLock lock = LockEngine();
  SongEngine& song = g_songs[0];
  song.StopVoices();
  song.sampleMode = 1;
  song.bankLastIndex = bank.lastIndex;
  for (int i = 0; i < kSampleBankSize; ++i) {
    song.bankSamples[i] = bank.buffers[i].get();
    song.bankKeys[i] = bank.keys[i];
    song.bankLengths[i] = bank.lengths[i];
  }
  g_samples.bank.swap(bank.buffers);  // the caller's copy now holds the old buffers
}

}  // namespace

void LoadSampleListFrom(ReadStream& stream, const char* drive, const char* folder) {
  uint8_t header[kSampleListHeaderBytes] = {};
  if (stream.Seek(0, SEEK_SET) != 0 || stream.Read(header, sizeof header) < 1 || header[0] != 'Z') return;
  std::string text(kMaxSampleListBytes, '\0');
  text.resize(stream.Read(&text[0], text.size()));
  std::unique_ptr<PreparedList> list(new PreparedList);
  PrepareList(text.data(), text.size(), drive, folder, *list);
  InstallList(*list);
}

void LoadSampleBankFrom(ReadStream& stream) {
  std::unique_ptr<PreparedBank> bank(new PreparedBank);
  if (!PrepareBank(stream, *bank)) return;
  InstallBank(*bank);
  // The old buffers go with `bank`, outside the lock.
}

void LoadSampleList(const char* fileName, const char* drive, const char* folder) {
  char path[kSamplePathChars];
  FileReadStream file;
  if (!BuildPath(path, sizeof path, drive, folder, fileName) || file.Open(path) != 0) return;
  LoadSampleListFrom(file, drive, folder);
}

void LoadSampleBank(const char* fileName, const char* drive, const char* folder) {
  char path[kSamplePathChars];
  FileReadStream file;
  if (!BuildPath(path, sizeof path, drive, folder, fileName) || file.Open(path) != 0) return;
  LoadSampleBankFrom(file);
}

void ReleaseSongSamples() {
  BankBuffers oldBank;
  std::vector<int32_t> oldHandles;
  {
    EngineLock lock = LockEngine();
    SongEngine& song = g_songs[0];
    song.StopVoices();
    song.sampleMode = 0;
    song.listCount = 0;
    song.bankLastIndex = -1;
    for (int i = 0; i < kSampleBankSize; ++i) {
      song.bankSamples[i] = nullptr;
      song.bankLengths[i] = 0;
    }
    oldBank.swap(g_samples.bank);
    oldHandles.swap(g_samples.listHandles);
  }
  ReleaseHandles(oldHandles);
}

void SetSampleSoundOps(const SampleSoundOps* ops) {
  g_samples.sound = ops && ops->load && ops->release ? *ops : kLibrarySoundOps;
  if (!g_samples.sound.read) g_samples.sound.read = ReadLibrarySoftSound;
}

int ReadSampleSoundFrame(int32_t handle, int32_t frame, int32_t* left, int32_t* right) {
  return g_samples.sound.read(handle, frame, left, right);
}
