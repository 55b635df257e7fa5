// 16-bit PCM WAVE files as the shell's tests write and expect them: the canonical 44-byte header
// and little-endian values appended to a file's bytes.
#pragma once

#include <cstdint>
#include <string>

inline void Le(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
}

// The header of 16-bit PCM at 44100 Hz over `dataBytes`.
inline std::string WaveHeader(uint32_t dataBytes, int channels = 2) {
  std::string h = "RIFF";
  Le(h, dataBytes + 36, 4);
  h += "WAVEfmt ";
  Le(h, 16, 4);
  Le(h, 1, 2);
  Le(h, channels, 2);
  Le(h, 44100, 4);
  Le(h, 44100 * 2 * channels, 4);
  Le(h, 2 * channels, 2);
  Le(h, 16, 2);
  h += "data";
  Le(h, dataBytes, 4);
  return h;
}
