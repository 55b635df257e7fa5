#include "app/engine/plugin/plugin_text.h"

#include <cstring>

#include "zovuz/core/zovuz_core.h"

namespace {

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
const size_t kPluginTextBufferSize = 1024;

}  // namespace

std::string CutPluginText(const char* buffer, size_t bufferSize, size_t maxChars) {
  if (!buffer) return std::string();
  size_t n = 0;
  while (n < bufferSize && n < maxChars && buffer[n] != 0) ++n;
  return std::string(buffer, WholeCharacters(buffer, n));
}

std::string PluginNameFromPath(const char* path) {
  if (!path) return std::string();
  // The file name after the drive and folder, without its extension.
  const Cp932PathParts parts = SplitCp932Path(path);
  return CutPluginText(path + parts.NameStart, parts.ExtensionStart - parts.NameStart, kFallbackNameMaxChars);
}

std::string AskPluginText(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, size_t maxChars,
                          VstIntPtr* answer) {
  char text[kPluginTextBufferSize];
  std::memset(text, 0, sizeof text);
  VstIntPtr result = effect->dispatcher(effect, opcode, index, value, text, 0.0f);
  if (answer) *answer = result;
  text[sizeof text - 1] = 0;  // a plug-in that filled everything still ends here
  return CutPluginText(text, sizeof text, maxChars);
}
