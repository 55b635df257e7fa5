#include "app/shell/render/time_text.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr int32_t kMaxMinutes = 99;
constexpr int32_t kMaxSeconds = 59;
// Far above every range a part is clamped to, and far below the 32-bit limit.
constexpr int64_t kPartCeiling = 1000000000;

// A part read as a decimal integer: leading blanks and a sign allowed, reading stops at the first
// other character. No digits: 0. A value beyond the ceiling is held at it, so that the clamp into
// the part's range decides instead of an overflow.
int64_t PartValue(const std::string& part) {
  size_t i = 0;
  while (i < part.size() && std::isspace(static_cast<unsigned char>(part[i]))) ++i;
  bool negative = false;
  if (i < part.size() && (part[i] == '+' || part[i] == '-')) negative = part[i++] == '-';
  int64_t value = 0;
  for (; i < part.size() && std::isdigit(static_cast<unsigned char>(part[i])); ++i) {
    value = std::min(value * 10 + (part[i] - '0'), kPartCeiling);
  }
  return negative ? -value : value;
}

int32_t ClampedPart(const std::string& part, int32_t highest) {
  return static_cast<int32_t>(std::clamp<int64_t>(PartValue(part), 0, highest));
}

}  // namespace

int32_t ParseTimeText(const std::string& text) {
  std::vector<std::string> parts;
  SplitString(text, ":", parts);
  if (parts.size() == 1) return ClampedPart(parts[0], kMaxSeconds);
  if (parts.size() == 2) return ClampedPart(parts[0], kMaxMinutes) * 60 + ClampedPart(parts[1], kMaxSeconds);
  return 0;
}

void SplitString(const std::string& text, const std::string& delimiter, std::vector<std::string>& parts) {
  parts.clear();
  if (delimiter.empty()) {
    parts.push_back(text);
    return;
  }
  size_t from = 0;
  for (size_t at = text.find(delimiter); at != std::string::npos; at = text.find(delimiter, from)) {
    parts.push_back(text.substr(from, at - from));
    from = at + delimiter.size();
  }
  parts.push_back(text.substr(from));
}
