#include "app/engine/plugin_text.h"

#include <cstring>

namespace {

bool IsCp932LeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Length of s[0..n) with a trailing lone lead byte removed, walking characters from the
// start (a trail byte can look like a lead byte, so the end alone cannot tell).
size_t WholeCharacters(const char* s, size_t n) {
  size_t i = 0;
  while (i < n) {
    size_t step = IsCp932LeadByte(static_cast<unsigned char>(s[i])) ? 2 : 1;
    if (i + step > n) break;
    i += step;
  }
  return i;
}

const size_t kFallbackNameMaxChars = 31;

}  // namespace

std::string CutPluginText(const char* buffer, size_t bufferSize, size_t maxChars) {
  if (!buffer) return std::string();
  size_t n = 0;
  while (n < bufferSize && n < maxChars && buffer[n] != 0) ++n;
  return std::string(buffer, WholeCharacters(buffer, n));
}

std::string PluginNameFromPath(const char* path) {
  if (!path) return std::string();
  size_t length = std::strlen(path);
  // The file name starts after the last separator; a trail byte of a double-byte
  // character can equal '\\', so separators are found by walking characters.
  size_t start = 0;
  for (size_t i = 0; i < length;) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (IsCp932LeadByte(c) && i + 1 < length) {
      i += 2;
      continue;
    }
    if (c == '\\' || c == '/' || c == ':') start = i + 1;
    ++i;
  }
  size_t end = length;
  for (size_t i = start; i < length;) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (IsCp932LeadByte(c) && i + 1 < length) {
      i += 2;
      continue;
    }
    if (c == '.') end = i;
    ++i;
  }
  return CutPluginText(path + start, end - start, kFallbackNameMaxChars);
}
