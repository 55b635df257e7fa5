// The character-code converters and string family over any bytes. The input's first bytes
// choose the source code, the destination code and the room given to the writers; the rest is
// the text (cut at its last "\xFF\xFE" pair, which splits off a second text used as pattern
// and suffix). Every writer must stay within its room and leave what its result says; readers
// must stop at the terminator.
#include <stdint.h>
#include <string.h>

#include <memory>
#include <vector>

#include "fuzz/support/fuzz_check.h"
#include "fuzz/support/fuzz_text.h"
#include "zovuz/core/text/char_code.h"
#include "zovuz/core/text/char_code_internal.h"

namespace {

bool IsUnicode(int code) {
  return code == CHAR_CODE_UTF16LE || code == CHAR_CODE_UTF16BE || code == CHAR_CODE_UTF8 ||
         code == CHAR_CODE_UTF32LE || code == CHAR_CODE_UTF32BE;
}

bool ZeroUnit(const char *p, int unit) { return charcode::IsZeroUnit(reinterpret_cast<const uint8_t *>(p), unit); }

// The characters of a text, up to where it ends.
std::vector<uint32_t> Characters(const std::vector<char> &text, int code) {
  std::vector<uint32_t> chars(static_cast<size_t>(GetCharCodeCharCount(text.data(), code)) + 1);
  DecodeCharCodeString(text.data(), code, chars.data());
  return chars;
}

// Every character of the text is a Unicode scalar value (no surrogate, at most U+10FFFF).
bool AllScalarValues(const std::vector<char> &text, int code) {
  for (uint32_t c : Characters(text, code)) {
    if (c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) return false;
  }
  return true;
}

// A writer's result of Written bytes in a buffer of Room: within it, whole units, terminated.
void CheckWritten(const char *out, size_t room, int written, int unit, const char *what) {
  FUZZ_CHECK(written >= 0 && static_cast<size_t>(written) <= room, "%s wrote %d bytes into %zu", what, written, room);
  if (written == 0) return;
  FUZZ_CHECK(written % unit == 0, "%s wrote %d bytes in units of %d", what, written, unit);
  FUZZ_CHECK(ZeroUnit(out + written - unit, unit), "%s left no terminator", what);
}

// The string functions with a sized destination, in code Code, on Text and Other.
void StringFamily(int code, const std::vector<char> &text, const std::vector<char> &other, size_t room) {
  const int unit = GetCharCodeUnitSize(code);
  const int length = GetCharCodeStringLength(code, text.data());
  FUZZ_CHECK(length >= 0 && static_cast<size_t>(length + 1) * unit <= text.size(), "length %d of %zu bytes",
             length, text.size());
  const size_t bytes = static_cast<size_t>(room) / unit * unit;
  if (bytes >= static_cast<size_t>(unit)) {
    std::vector<char> dest(bytes, 'x');
    CharCodeStrCopyS(code, dest.data(), dest.size(), text.data());
    FUZZ_CHECK(GetCharCodeStringLength(code, dest.data()) >= 0, "copy left no terminator");
    CharCodeStrCatS(code, dest.data(), dest.size(), other.data());
    FUZZ_CHECK(GetCharCodeStringLength(code, dest.data()) >= 0, "append left no terminator");
    std::vector<char> cut(bytes, 'x');
    CharCodeStrNCopyS(code, cut.data(), cut.size(), text.data(), bytes / unit + 1);
    FUZZ_CHECK(ZeroUnit(cut.data() + cut.size() - unit, unit), "a full cut copy does not end in a terminator");
  }
  std::vector<char> upper = text;
  CharCodeStrUpper(code, upper.data());
  FUZZ_CHECK(GetCharCodeStringLength(code, upper.data()) == length, "upper-casing changed the length");
  CharCodeStrCmp(code, text.data(), other.data());
  CharCodeStrNCompare(code, text.data(), other.data(), room);
  CharCodeStrCmpAscii(code, text.data(), "TARVEX");
  const char *found = CharCodeStrStr(code, text.data(), other.data());
  FUZZ_CHECK(found == nullptr || (found >= text.data() && found < text.data() + text.size()), "pattern found outside");
  const uint32_t first = GetCharCode(other.data(), code, nullptr);
  found = CharCodeStrChr(code, text.data(), first);
  FUZZ_CHECK(found == nullptr || (found >= text.data() && found < text.data() + text.size()), "character found outside");
  CharCodeAtoi(code, text.data());
  char number[40 * 4];
  CharCodeItoa(code, static_cast<int>(room * 2654435761u), number, 2 + static_cast<int>(room % 35));

  // Character by character: every length is at least one unit until the terminator.
  const int count = GetCharCodeCharCount(text.data(), code);
  const char *p = text.data();
  for (int i = 0; i < count; ++i) {
    int charBytes = 0;
    const uint32_t c = GetCharCode(p, code, &charBytes);
    FUZZ_CHECK(charBytes >= unit && p + charBytes <= text.data() + text.size(), "character %d of %d bytes", i,
               charBytes);
    char encoded[8];
    const int put = PutCharCode(c, code, encoded, sizeof encoded);
    FUZZ_CHECK(put >= 0 && put <= 6, "a character written in %d bytes", put);
    p += charBytes;
  }
  FUZZ_CHECK(CharCodeAdvance(text.data(), code, count + 1) == p, "advancing stops elsewhere than the reader");
  std::vector<uint32_t> decoded(static_cast<size_t>(count) + 1);
  FUZZ_CHECK(DecodeCharCodeString(text.data(), code, nullptr) == static_cast<int>(decoded.size() * 4),
             "decoded size");
  DecodeCharCodeString(text.data(), code, decoded.data());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 3) return 0;
  const int from = PickCharCode(data[0]);
  const int to = PickCharCode(data[1]);
  const size_t room = data[2];
  data += 3;
  size -= 3;
  size_t split = size;
  for (size_t i = size; i >= 2; --i) {
    if (data[i - 2] == 0xFF && data[i - 1] == 0xFE) {
      split = i - 2;
      break;
    }
  }
  const std::vector<char> text = TerminatedText(data, split);
  const std::vector<char> other =
      split < size ? TerminatedText(data + split + 2, size - split - 2) : TerminatedText(nullptr, 0);

  TrackedHeapCheck heap;
  const int fromUnit = GetCharCodeUnitSize(from);
  const int toUnit = GetCharCodeUnitSize(to);
  const int need = ConvertCharCode(text.data(), from, nullptr, 0, to);
  if (fromUnit <= 0 || toUnit <= 0) {
    FUZZ_CHECK(need == 0, "an unsupported code converts");
  } else {
    FUZZ_CHECK(need >= toUnit, "a conversion needs %d bytes", need);
    std::vector<char> full(static_cast<size_t>(need));
    const int written = ConvertCharCode(text.data(), from, full.data(), full.size(), to);
    FUZZ_CHECK(written == need, "wrote %d of the %d bytes measured", written, need);
    CheckWritten(full.data(), full.size(), written, toUnit, "a full conversion");
    // Never null, even without room (a null destination only measures).
    std::unique_ptr<char[]> shortRoom(new char[room]);
    const int cut = ConvertCharCode(text.data(), from, shortRoom.get(), room, to);
    CheckWritten(shortRoom.get(), room, cut, toUnit, "a cut conversion");
    FUZZ_CHECK(cut == (room >= static_cast<size_t>(need) ? need : cut), "room for all, but %d of %d", cut, need);
    FUZZ_CHECK(room >= static_cast<size_t>(toUnit) || cut == 0, "no room for a terminator, but %d bytes", cut);

    // Unicode to Unicode loses no character that every form can hold: such a text comes back
    // with the same characters (a sequence read leniently comes back in its proper form).
    if (from != to && IsUnicode(from) && IsUnicode(to) && AllScalarValues(text, from)) {
      std::vector<char> back(static_cast<size_t>(ConvertCharCode(full.data(), to, nullptr, 0, from)));
      ConvertCharCode(full.data(), to, back.data(), back.size(), from);
      FUZZ_CHECK(Characters(back, from) == Characters(text, from), "%d to %d and back changed the text", from, to);
    }
    StringFamily(from, text, other, room);
  }
  const Cp932PathParts parts = SplitCp932Path(text.data());
  FUZZ_CHECK(parts.DriveEnd <= parts.NameStart && parts.NameStart <= parts.ExtensionStart &&
                 parts.ExtensionStart <= parts.Length && parts.Length == strlen(text.data()),
             "path parts out of order");
  heap.Verify();
  return 0;
}
