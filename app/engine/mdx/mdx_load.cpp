// The ".mdx" song loader: title, bank name, data block, track command data
// and the 27-byte FM tone records.
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "app/engine/mdx/mdx_player.h"
#include "app/engine/plugin/plugin_slot.h"
#include "zovuz/core/zovuz_core.h"

MdxPlayerData g_mdx;

namespace {

// Nothing beyond this is addressable from the header: a title and a bank
// name of at most 256 bytes each, then 16-bit offsets and 16-bit lengths
// from the data block, and at most 64 tone records.
constexpr size_t kMdxReadLimit = 256 * 1024;

// Buffers a load replaced. They leave the player's tables under the engine
// lock, and are freed by the next load (or at exit), never by the load that
// replaced them, so that nothing the player took in an earlier tick points
// into freed memory.
constexpr int kMaxRetired = kMdxTrackCount + kMdxSampleCount;
struct MdxLoaderState {
  void* retired[kMaxRetired];  // buffers replaced by the last load
  int retiredCount;            // entries used
};
MdxLoaderState s_loader;

void Retire(void* p) {
  if (!p) return;
  if (s_loader.retiredCount < kMaxRetired) {
    s_loader.retired[s_loader.retiredCount++] = p;
  } else {
    std::free(p);  // cannot happen: one load replaces at most kMaxRetired buffers
  }
}

void FreeRetired() {
  for (int i = 0; i < s_loader.retiredCount; ++i) std::free(s_loader.retired[i]);
  s_loader.retiredCount = 0;
}

// Bounded reader over the song's bytes. Past the end it gives EOF and does
// not move, as the run-time's byte reader does.
struct ByteReader {
  const uint8_t* data;
  size_t size;
  size_t pos;

  int Get() { return pos < size ? data[pos++] : EOF; }
  // A byte missing at the end of the file counts as 0.
  uint16_t GetU16() {
    int hi = Get();
    int lo = Get();
    return static_cast<uint16_t>(((hi < 0 ? 0 : hi) << 8) | (lo < 0 ? 0 : lo));
  }
};

// Reads bytes until `terminator` has been stored, at most kMdxNameBytes.
// Returns the count stored including the terminator, or 0 when the end of
// the file or the limit came first.
int ReadTerminated(ByteReader& r, uint8_t* buf, uint8_t terminator) {
  std::memset(buf, 0, kMdxNameBytes);
  for (int k = 0; k < kMdxNameBytes;) {
    int c = r.Get();
    if (c < 0) return 0;
    buf[k++] = static_cast<uint8_t>(c);
    if (c == terminator) return k;
  }
  return 0;
}

void TakeTitle(const uint8_t* buf, int stored, char* title) {
  char text[kMdxNameBytes];
  std::memcpy(text, buf, kMdxNameBytes);
  // The title ends at the first line end; carriage returns before any text
  // are kept, and so is the 0x1A of a title written without a line end.
  for (int i = 1; i < stored; ++i) {
    if (text[i] == '\r' && text[i - 1] != '\r') {
      text[i] = '\0';
      break;
    }
  }
  // A 0x1A in the 256th byte leaves no room for the end of the text.
  text[kMdxNameBytes - 1] = '\0';
  std::memcpy(title, text, kSongTitleSize);
}

// The file-name part of a bank name (no drive, directory or extension),
// into `out` (32 bytes). False when the name is empty or any part is longer
// than the splitter takes: drive 7, directory 63, name 31, extension 7.
bool BankFileName(const char* name, char* out) {
  // Separators and dots are searched character by character: the second
  // byte of a Shift JIS character can look like a backslash.
  const Cp932PathParts parts = SplitCp932Path(name);
  size_t nameStart = parts.NameStart;
  size_t dirLen = parts.NameStart - parts.DriveEnd;
  size_t fileLen = parts.ExtensionStart - parts.NameStart;
  size_t extLen = parts.Length - parts.ExtensionStart;
  if (dirLen > 63 || fileLen > 31 || extLen > 7 || fileLen == 0) return false;
  std::memcpy(out, name + nameStart, fileLen);
  out[fileLen] = '\0';
  return true;
}

// One 27-byte tone record into a tone. Operators are stored in the chip's
// slot order: the four bytes of each group belong to tone operators 1, 3,
// 2 and 4.
void UnpackTone(const uint8_t* rec, FmTone& tone) {
  static const int kOperatorOfByte[4] = {0, 2, 1, 3};
  tone.number = rec[0];
  tone.params[0] = rec[1] & 7;         // connection
  tone.params[1] = (rec[1] >> 3) & 7;  // feedback
  tone.params[2] = rec[2];             // slot mask
  for (int g = 0; g < 4; ++g) {
    int32_t* op = &tone.params[kFmOperatorParamCount * (1 + kOperatorOfByte[g])];
    uint8_t dt1Mul = rec[3 + g], tl = rec[7 + g], ksAr = rec[11 + g];
    uint8_t ameD1r = rec[15 + g], dt2D2r = rec[19 + g], d1lRr = rec[23 + g];
    op[0] = ksAr & 31;                // AR
    op[1] = ameD1r & 31;              // D1R (AME not kept)
    op[2] = dt2D2r & 31;              // D2R
    op[3] = d1lRr & 15;               // RR
    op[4] = d1lRr >> 4;               // D1L
    op[5] = static_cast<int8_t>(tl);  // TL
    op[6] = ksAr >> 6;                // KS
    op[7] = dt1Mul & 15;              // MUL
    op[8] = (dt1Mul >> 4) & 7;        // DT1
    op[9] = dt2D2r >> 6;              // DT2
    op[10] = 0;
  }
}

int FirstFreeTone(const FmTone* tones) {
  for (int i = 0; i < kFmToneCount; ++i) {
    if (!tones[i].used) return i;
  }
  return -1;
}

// Everything a load puts in place for the player, made ready without the
// engine lock.
struct MdxPrepared {
  int trackCount;
  uint16_t trackLength[kMdxTrackCount];
  uint8_t* trackData[kMdxTrackCount];  // null: the track keeps its buffer
  FmTone tones[kFmToneCount];
  bool bank;  // a bank was read: all 96 samples are replaced
  int16_t* samples[kMdxSampleCount];
  int32_t sampleLengths[kMdxSampleCount];
};

// Everything after the title and bank name: offsets, lengths, tones, tracks.
void PrepareDataBlock(MdxSong& song, ByteReader& r, int64_t fileSize, MdxPrepared& p) {
  song.dataStart = static_cast<int64_t>(r.pos);
  uint16_t toneOffset = r.GetU16();
  for (int t = 0; t < kMdxTrackCount; ++t) song.trackOffsets[t] = r.GetU16();

  // The first track starts right after the offsets, so its offset gives the
  // track count. Every per-track table has 16 entries.
  int count = song.trackOffsets[0] / 2 - 1;
  if (count < 0) count = 0;
  if (count > kMdxTrackCount) count = kMdxTrackCount;
  p.trackCount = count;

  for (int t = 0; t < kMdxTrackCount; ++t) {
    p.trackLength[t] = 0;
    if (t >= count) continue;
    uint16_t next = (t + 1 < count) ? song.trackOffsets[t + 1] : toneOffset;
    // Taken in 16 bits: a next offset below this one wraps to a long track.
    p.trackLength[t] = static_cast<uint16_t>(next - song.trackOffsets[t]);
  }

  song.endPosition = fileSize;

  // The records' other fields keep what they held: the tones start as the
  // player's own (only the user interface's thread writes them).
  std::memcpy(p.tones, g_mdx.tones, sizeof p.tones);
  for (auto& tone : p.tones) tone.used = 0;
  size_t pos = static_cast<size_t>(song.dataStart) + toneOffset;
  for (int i; (i = FirstFreeTone(p.tones)) >= 0;) {
    // A record cut short by the end of the file is not a tone.
    if (pos > r.size || r.size - pos < static_cast<size_t>(kMdxToneRecordBytes)) break;
    FmTone& tone = p.tones[i];
    tone.used = 1;
    UnpackTone(r.data + pos, tone);
    pos += kMdxToneRecordBytes;
    if (static_cast<int64_t>(pos) >= fileSize) break;
  }

  for (int t = 0; t < kMdxTrackCount; ++t) {
    p.trackData[t] = nullptr;
    uint16_t length = p.trackLength[t];
    // Too short to play: the old buffer stays, unreachable behind length <= 2.
    if (t >= count || length <= 2) continue;
    uint8_t* buffer = static_cast<uint8_t*>(std::calloc(size_t{length} + 1, 1));
    if (!buffer) {
      p.trackLength[t] = 0;
      continue;
    }
    // Command bytes past the end of the file read as 0 rather than as
    // whatever the heap held; the extra byte after the data is 0 as well.
    size_t from = static_cast<size_t>(song.dataStart) + song.trackOffsets[t];
    if (from < r.size) {
      size_t n = r.size - from < length ? r.size - from : length;
      std::memcpy(buffer, r.data + from, n);
    }
    p.trackData[t] = buffer;
  }
}

// Puts a prepared load in place. A reload runs while the player's timer may
// be ticking: the tick holds the engine lock, so the tracks, tones and
// samples change between two ticks, never under one. Only pointers, lengths
// and the tone table move here; the buffers replaced are retired.
void Install(MdxPrepared& p) {
  EngineLock lock = LockEngine();
  for (int t = 0; t < kMdxTrackCount; ++t) {
    if (p.trackData[t]) {
      Retire(g_mdx.trackData[t]);
      g_mdx.trackData[t] = p.trackData[t];
    }
    g_mdx.state.trackLength[t] = p.trackLength[t];
  }
  g_mdx.state.trackCount = p.trackCount;
  std::memcpy(g_mdx.tones, p.tones, sizeof p.tones);
  if (p.bank) {
    // A number this bank does not provide must not keep an earlier song's sample.
    for (int i = 0; i < kMdxSampleCount; ++i) {
      Retire(g_mdx.samples[i]);
      g_mdx.samples[i] = p.samples[i];
      g_mdx.sampleLengths[i] = p.sampleLengths[i];
    }
  }
}

// `openBank` is asked for the bank once its name is known: it decodes the
// bank into the prepared samples and returns true, or false when the bank
// file is missing.
template <typename OpenBank>
void LoadImage(MdxSong& song, const uint8_t* data, size_t imageSize, int64_t fileSize, OpenBank openBank) {
  // Buffers replaced by the previous load are long out of the timer's reach.
  FreeRetired();
  // Large (the tone table): kept off the stack of the user interface's thread.
  std::unique_ptr<MdxPrepared> prepared(new (std::nothrow) MdxPrepared());
  if (!prepared) return;
  MdxPrepared& p = *prepared;
  song.fileSize = fileSize > INT32_MAX ? INT32_MAX : static_cast<int32_t>(fileSize);

  ByteReader r{data, imageSize, 0};
  uint8_t buf[kMdxNameBytes];
  int stored = ReadTerminated(r, buf, 0x1A);
  if (stored > 0) TakeTitle(buf, stored, song.title);

  if (ReadTerminated(r, buf, 0x00) > 0) {
    char fileName[32];
    if (BankFileName(reinterpret_cast<const char*>(buf), fileName)) {
      std::snprintf(song.bankPath, sizeof song.bankPath, "%s.pdx", fileName);
      p.bank = openBank(song.bankPath, p.samples, p.sampleLengths);
    }
  }

  PrepareDataBlock(song, r, fileSize, p);
  Install(p);
}

}  // namespace

int FindFreeFmTone() { return FirstFreeTone(g_mdx.tones); }

void FreeMdxBuffers() {
  FreeRetired();
  for (int t = 0; t < kMdxTrackCount; ++t) {
    g_mdx.state.trackLength[t] = 0;
    std::free(g_mdx.trackData[t]);
    g_mdx.trackData[t] = nullptr;
  }
  for (int i = 0; i < kMdxSampleCount; ++i) {
    g_mdx.sampleLengths[i] = 0;
    std::free(g_mdx.samples[i]);
    g_mdx.samples[i] = nullptr;
  }
}

bool MdxSong::Load(const char* path) {
  if (!path) return false;
  FILE* file = std::fopen(path, "rb");
  if (!file) return false;
  long size = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
  if (size < 0 || std::fseek(file, 0, SEEK_SET) != 0) {
    std::fclose(file);
    return false;
  }
  size_t want = static_cast<size_t>(size) < kMdxReadLimit ? static_cast<size_t>(size) : kMdxReadLimit;
  uint8_t* image = static_cast<uint8_t*>(std::malloc(want ? want : 1));
  if (!image) {
    std::fclose(file);
    return false;
  }
  size_t got = std::fread(image, 1, want, file);
  std::fclose(file);

  // The bank is looked up by its file name beside the song first, then in the current directory.
  // The current directory alone is not enough: the file dialog leaves it in the folder it was
  // browsing, which need not be the chosen song's (a full path typed, or the folder remembered
  // from an earlier run), and the song would then play without its samples.
  const std::string songFolder(path, SplitCp932Path(path).NameStart);
  LoadImage(*this, image, got, size, [&songFolder](const char* bankPath, int16_t** samples, int32_t* lengths) {
    std::string found = songFolder + bankPath;
    FILE* probe = std::fopen(found.c_str(), "r");
    if (!probe && !songFolder.empty()) probe = std::fopen((found = bankPath).c_str(), "r");
    if (!probe) return false;
    std::fclose(probe);
    PdxFile bank;
    if (bank.ReadHeader(found.c_str()) != 0) return false;
    DecodePdxBank(bank, samples, lengths);
    return true;
  });
  std::free(image);
  return true;
}

void MdxSong::LoadFromMemory(const uint8_t* mdx, size_t mdxSize, const uint8_t* pdx, size_t pdxSize) {
  if (!mdx) mdxSize = 0;
  LoadImage(*this, mdx, mdxSize, static_cast<int64_t>(mdxSize),
            [pdx, pdxSize](const char*, int16_t** samples, int32_t* lengths) {
              if (!pdx) return false;
              MemoryReadStream bank(pdx, pdxSize);
              DecodePdxBank(bank, samples, lengths);
              return true;
            });
}
