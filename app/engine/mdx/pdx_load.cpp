// The ".pdx" ADPCM bank: its read streams, its header, and the decode and
// stretch of every sample to the engine's 44,100 Hz.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "app/engine/mdx/adpcm.h"
#include "app/engine/mdx/mdx_song.h"

// --- FileReadStream -------------------------------------------------------

FileReadStream::~FileReadStream() { Close(); }

size_t FileReadStream::Read(void* buffer, size_t size) {
  if (!file_ || !buffer) return 0;
  return std::fread(buffer, 1, size, file_);
}

int FileReadStream::ReadByte() { return file_ ? std::fgetc(file_) : EOF; }

int FileReadStream::Open(const char* path) {
  Close();
  if (!path) return EINVAL;
  errno = 0;
  file_ = std::fopen(path, "rb");
  if (!file_) return errno ? errno : ENOENT;
  return 0;
}

void FileReadStream::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

int FileReadStream::Seek(int64_t offset, int origin) {
  if (!file_ || offset < LONG_MIN || offset > LONG_MAX) return -1;
  return std::fseek(file_, static_cast<long>(offset), origin) == 0 ? 0 : -1;
}

bool FileReadStream::IsValid() { return true; }

int64_t FileReadStream::Tell() { return file_ ? std::ftell(file_) : -1; }

// --- MemoryReadStream -----------------------------------------------------

size_t MemoryReadStream::Read(void* buffer, size_t size) {
  if (!buffer || pos_ >= size_) return 0;
  size_t n = size_ - pos_;
  if (n > size) n = size;
  std::memcpy(buffer, data_ + pos_, n);
  pos_ += n;
  return n;
}

int MemoryReadStream::ReadByte() { return pos_ < size_ ? data_[pos_++] : EOF; }

int MemoryReadStream::Open(const char*) { return ENOENT; }

int MemoryReadStream::Seek(int64_t offset, int origin) {
  int64_t base = origin == SEEK_SET   ? 0
                 : origin == SEEK_CUR ? static_cast<int64_t>(pos_)
                 : origin == SEEK_END ? static_cast<int64_t>(size_)
                                      : -1;
  if (base < 0) return -1;
  int64_t target = base + offset;
  if (target < 0) return -1;
  // Like a file, a position beyond the end is allowed; reads there give nothing.
  pos_ = static_cast<uint64_t>(target) > SIZE_MAX ? SIZE_MAX : static_cast<size_t>(target);
  return 0;
}

// --- header ---------------------------------------------------------------

void ReadPdxEntries(ReadStream& stream, PdxEntry entries[kMdxSampleCount]) {
  uint8_t header[kPdxHeaderBytes];
  std::memset(header, 0, sizeof header);
  if (stream.Seek(0, SEEK_SET) == 0) stream.Read(header, sizeof header);
  for (int i = 0; i < kMdxSampleCount; ++i) {
    const uint8_t* p = header + 8 * i;
    entries[i].offset = (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
    entries[i].length = (uint32_t{p[4]} << 24) | (uint32_t{p[5]} << 16) | (uint32_t{p[6]} << 8) | p[7];
  }
}

int PdxFile::ReadHeader(const char* path) {
  std::memset(entries, 0, sizeof entries);
  if (Open(path) != 0) return -1;
  ReadPdxEntries(*this, entries);
  return 0;
}

// --- samples --------------------------------------------------------------

namespace {

// Decodes one entry of `length` bytes (already bounded by the bank's size)
// into a new buffer of samples at 44,100 Hz. Null when memory runs out.
int16_t* DecodeEntry(ReadStream& stream, const AdpcmDecoder& table, uint32_t offset, uint32_t length,
                     int32_t* outLength) {
  uint8_t* raw = static_cast<uint8_t*>(std::malloc(length));
  // Codes and samples are counted in 64 bits: twice a 32-bit size overflows.
  uint64_t codes = uint64_t{length} * 2;
  uint64_t stretched = static_cast<uint64_t>(static_cast<double>(codes) * kAdpcmStretch);
  int16_t* decoded = nullptr;
  int16_t* out = nullptr;
  if (raw && codes <= UINT32_MAX && stretched <= INT32_MAX && stretched <= SIZE_MAX / sizeof(int16_t)) {
    decoded = static_cast<int16_t*>(std::malloc(static_cast<size_t>(codes) * sizeof(int16_t)));
    out = static_cast<int16_t*>(std::malloc(static_cast<size_t>(stretched) * sizeof(int16_t) + 1));
  }
  if (raw && decoded && out) {
    size_t got = 0;
    if (stream.Seek(offset, SEEK_SET) == 0) got = stream.Read(raw, length);
    // A read that comes back short must not decode whatever the heap held.
    if (got < length) std::memset(raw + got, 0, length - got);
    AdpcmDecoder decoder = table;
    decoder.Decode(raw, static_cast<uint32_t>(codes), decoded);
    AdpcmStretch(decoded, static_cast<uint32_t>(codes), out);
    *outLength = static_cast<int32_t>(stretched);
  } else {
    std::free(out);
    out = nullptr;
  }
  std::free(raw);
  std::free(decoded);
  return out;
}

}  // namespace

int DecodePdxBank(ReadStream& stream, int16_t* samples[kMdxSampleCount], int32_t lengths[kMdxSampleCount]) {
  for (int i = 0; i < kMdxSampleCount; ++i) {
    samples[i] = nullptr;
    lengths[i] = 0;
  }
  if (stream.Seek(0, SEEK_END) != 0) return 0;
  int64_t fileSize = stream.Tell();
  if (fileSize < 0) return 0;

  PdxEntry entries[kMdxSampleCount];
  ReadPdxEntries(stream, entries);

  AdpcmDecoder table;
  table.bitWidth = kAdpcmPredictorBits;
  table.Init();

  int loaded = 0;
  for (int i = 0; i < kMdxSampleCount; ++i) {
    const PdxEntry& e = entries[i];
    int16_t* buffer = nullptr;
    int32_t length = 0;
    // The header is not trusted: an entry must start inside the file, is cut
    // at its end, and may not be longer than a sample can sensibly be.
    if (e.length != 0 && static_cast<int64_t>(e.offset) < fileSize) {
      uint64_t available = static_cast<uint64_t>(fileSize) - e.offset;
      uint32_t bytes = e.length < available ? e.length : static_cast<uint32_t>(available);
      if (bytes <= kMaxPdxSampleBytes) buffer = DecodeEntry(stream, table, e.offset, bytes, &length);
    }
    if (buffer) ++loaded;
    samples[i] = buffer;
    lengths[i] = buffer ? length : 0;
  }
  return loaded;
}
