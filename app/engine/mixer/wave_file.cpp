#include "app/engine/mixer/wave_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "zovuz/core/zovuz_core.h"

namespace {

// Releases the last render's buffers at exit.
struct WaveFileRelease {
  ~WaveFileRelease() { g_waveFile.FreeBuffers(); }
};

// The largest frame count whose data and RIFF sizes still fit their 32-bit
// header fields (4 bytes a frame, 36 bytes of header in the RIFF size).
constexpr uint64_t kMaxWaveFrames = (0xFFFFFFFFull - 36) / 4;

}  // namespace

// The header template is constant data, so it stands before any static
// initialiser of another file could start a render; InitHeader gives the
// same state.
WaveFile g_waveFile = {{'R', 'I', 'F', 'F', 'W', 'A', 'V', 'E'},
                       {'f', 'm', 't', ' ', 'd', 'a', 't', 'a'},
                       0,
                       16,
                       1,
                       2,
                       0,
                       0,
                       0,
                       0,
                       0,
                       0,
                       0,
                       44100,
                       16,
                       0,
                       nullptr,
                       nullptr};
static WaveFileRelease s_waveFileRelease;

void WaveFile::InitHeader() {
  std::memcpy(riffWave, "RIFFWAVE", 8);
  std::memcpy(fmtData, "fmt data", 8);
  riffSize = 0;
  fmtSize = 16;
  formatTag = 1;
  channelCount = 2;
  sampleRateField = 0;
  byteRate = 0;
  blockAlign = 0;
  bitsField = 0;
  dataSize = 0;
  armed = 0;
  captureIndex = 0;
  sampleRate = 44100;
  bits = 16;
  frameCount = 0;
  left = nullptr;
  right = nullptr;
}

bool WaveFile::AllocBuffers(uint32_t seconds) {
  uint64_t frames = static_cast<uint64_t>(seconds) * static_cast<uint64_t>(sampleRate);
  if (frames == 0 || frames > kMaxWaveFrames || sampleRate <= 0) return false;
  size_t count = static_cast<size_t>(frames);
  if (count > SIZE_MAX / sizeof(int16_t)) return false;
  int16_t* newLeft = static_cast<int16_t*>(std::calloc(count, sizeof(int16_t)));
  int16_t* newRight = newLeft ? static_cast<int16_t*>(std::calloc(count, sizeof(int16_t))) : nullptr;
  if (!newLeft || !newRight) {
    std::free(newLeft);
    return false;
  }
  // A new render replaces the last one's buffers; the capture must not run
  // into them while they are swapped.
  armed = 0;
  FreeBuffers();
  left = newLeft;
  right = newRight;
  frameCount = static_cast<int32_t>(count);
  return true;
}

void WaveFile::Capture(int16_t leftValue, int16_t rightValue) {
  if (!armed) return;
  if (!left || !right || captureIndex < 0 || captureIndex >= frameCount) {
    // Nothing to store into: a capture armed without buffers stops at once.
    armed = 0;
    captureIndex = 0;
    return;
  }
  left[captureIndex] = leftValue;
  right[captureIndex] = rightValue;
  if (++captureIndex >= frameCount) {
    captureIndex = 0;
    armed = 0;
  }
}

bool WaveFile::Write(const char* path) {
  if (!path) return false;
  uint32_t frames = (left && right && frameCount > 0) ? static_cast<uint32_t>(frameCount) : 0;
  riffSize = frames * 4 + 36;
  sampleRateField = static_cast<uint32_t>(sampleRate);
  dataSize = frames * 4;
  byteRate = static_cast<uint32_t>(bits * sampleRate / 8 * 2);
  blockAlign = static_cast<uint16_t>(bits / 8 * 2);
  bitsField = static_cast<uint16_t>(bits);

  uint8_t header[kWaveHeaderBytes];
  std::memcpy(header + 0, riffWave, 4);
  WriteLe32(header + 4, riffSize);
  std::memcpy(header + 8, riffWave + 4, 4);
  std::memcpy(header + 12, fmtData, 4);
  WriteLe32(header + 16, fmtSize);
  WriteLe16(header + 20, formatTag);
  WriteLe16(header + 22, channelCount);
  WriteLe32(header + 24, sampleRateField);
  WriteLe32(header + 28, byteRate);
  WriteLe16(header + 32, blockAlign);
  WriteLe16(header + 34, bitsField);
  std::memcpy(header + 36, fmtData + 4, 4);
  WriteLe32(header + 40, dataSize);

  FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  bool ok = std::fwrite(header, 1, sizeof header, file) == sizeof header;

  // Interleave through a small block so that a long render needs no second
  // buffer of its own size.
  uint8_t block[4096 * 4];
  for (uint32_t done = 0; ok && done < frames;) {
    uint32_t n = frames - done;
    if (n > 4096) n = 4096;
    for (uint32_t i = 0; i < n; ++i) {
      WriteLe16(block + 4 * i, static_cast<uint16_t>(left[done + i]));
      WriteLe16(block + 4 * i + 2, static_cast<uint16_t>(right[done + i]));
    }
    ok = std::fwrite(block, 4, n, file) == n;
    done += n;
  }
  if (std::fclose(file) != 0) ok = false;
  return ok;
}

void WaveFile::FreeBuffers() {
  std::free(left);
  std::free(right);
  left = nullptr;
  right = nullptr;
  frameCount = 0;
  captureIndex = 0;
}
