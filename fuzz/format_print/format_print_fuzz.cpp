// The formatted-print engine with fuzzed formats and arguments. The input's first bytes choose
// the output code, the argument codes, the wide form and the buffer's length; the rest is read in
// one of two ways (by the first byte's low bit):
// - free: the rest is the format as it is, and every argument the engine may read is a pointer
//   to one of four fuzzed strings (so that any conversion reads something valid);
// - built: conversions of every kind (flags, widths, precisions, sizes, letters) with fuzzed
//   numbers and strings, between plain text. Integer conversions without the engine's own
//   quirks must then print what the C library prints.
// Either way the output must end within the buffer with a terminator where the result says.
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

#include "fuzz/support/fuzz_check.h"
#include "fuzz/support/fuzz_text.h"
#include "zovuz/core/text/char_code.h"
#include "zovuz/core/text/char_code_internal.h"
#include "zovuz/core/text/format_print.h"

namespace {

// The arguments as the 32-bit calling convention lays them out: 4-byte slots, 8-byte values in
// two. The engine reads them through a va_list that points at the first.
struct Arguments {
  std::vector<uint32_t> slots;
  void Add32(uint32_t v) { slots.push_back(v); }
  void Add64(uint64_t v) {
    slots.push_back(static_cast<uint32_t>(v));
    slots.push_back(static_cast<uint32_t>(v >> 32));
  }
  void AddPointer(const void *p) { slots.push_back(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p))); }
};

int Print(int code, int wideForm, int narrowCode, int wideCode, char *buffer, int length, const char *format,
          Arguments &args) {
  static_assert(sizeof(va_list) == sizeof(char *), "the 32-bit va_list is a pointer to the first slot");
  va_list list;
  char *first = reinterpret_cast<char *>(args.slots.data());
  memcpy(&list, &first, sizeof first);
  return CharCodeFormatString(code, wideForm, narrowCode, wideCode, buffer, length, format, list);
}

// One conversion of the built form; Reference is the same conversion for the C library when
// the engine is meant to agree with it, else empty.
struct BuiltConversion {
  std::string directive;
  std::string reference;
};

BuiltConversion BuildConversion(FuzzedDataProvider &in, Arguments &args, const std::vector<char> *strings) {
  static const char kLetters[] = "diuoxXeEfgGaAcCsSpnZq";
  static const char *const kSizes[] = {"", "", "h", "l", "ll", "I64", "I32", "w"};
  BuiltConversion c;
  std::string flags;
  for (const char *f = " #+-0"; *f; ++f) {
    if (in.ConsumeBool()) flags += *f;
  }
  std::string width, precision;
  // Widths and precisions as formats write them, and now and then far beyond any buffer.
  const int widthKind = in.ConsumeIntegralInRange(0, 4);
  if (widthKind == 1) width = std::to_string(in.ConsumeIntegralInRange(0, 300));
  if (widthKind == 2) width = "*";
  if (widthKind == 4) width = std::to_string(in.ConsumeIntegralInRange(301, 2000000000));
  const int precisionKind = in.ConsumeIntegralInRange(0, 4);
  if (precisionKind == 1) precision = "." + std::to_string(in.ConsumeIntegralInRange(0, 400));
  if (precisionKind == 2) precision = ".*";
  if (precisionKind == 3) precision = ".";
  if (precisionKind == 4) precision = "." + std::to_string(in.ConsumeIntegralInRange(401, 2000000000));
  const std::string size = kSizes[in.ConsumeIntegralInRange<size_t>(0, 7)];
  const char letter = kLetters[in.ConsumeIntegralInRange<size_t>(0, sizeof kLetters - 2)];
  c.directive = "%" + flags + width + precision + size + letter;

  int starWidth = 0, starPrecision = 0;
  if (width == "*") args.Add32(static_cast<uint32_t>(starWidth = in.ConsumeIntegralInRange(-400, 400)));
  if (precision == ".*") args.Add32(static_cast<uint32_t>(starPrecision = in.ConsumeIntegralInRange(-5, 400)));
  const bool wide64 = size == "ll" || size == "I64";
  switch (letter) {
    case 'd': case 'i': case 'u': case 'o': case 'x': case 'X': {
      const uint64_t value = in.ConsumeIntegral<uint64_t>();
      if (wide64) args.Add64(value);
      else args.Add32(static_cast<uint32_t>(value));
      // The C library agrees where the engine's quirks stay out: no "#", no zero precision, no
      // negative "*" width (the engine drops it; C left-justifies).
      // Beyond 400, the C library's text would not fit the reference buffer.
      const bool quirk = flags.find('#') != std::string::npos || precision == "." || precision == ".0" ||
                         (precision == ".*" && starPrecision == 0) || starWidth < 0 || widthKind == 4 ||
                         precisionKind == 4;
      if (!quirk) {
        const std::string cWidth = width == "*" ? std::to_string(starWidth) : width;
        const std::string cPrecision =
            precision == ".*" ? (starPrecision < 0 ? "" : "." + std::to_string(starPrecision)) : precision;
        const std::string cFormat = "%" + flags + cWidth + cPrecision + (wide64 ? "ll" : size == "h" ? "h" : "") + letter;
        char text[1024];
        const bool isSigned = letter == 'd' || letter == 'i';
        if (wide64) {
          if (isSigned) snprintf(text, sizeof text, cFormat.c_str(), static_cast<long long>(value));
          else snprintf(text, sizeof text, cFormat.c_str(), static_cast<unsigned long long>(value));
        } else {
          if (isSigned) snprintf(text, sizeof text, cFormat.c_str(), static_cast<int>(value));
          else snprintf(text, sizeof text, cFormat.c_str(), static_cast<unsigned>(value));
        }
        c.reference = text;
      }
      break;
    }
    case 'e': case 'E': case 'f': case 'g': case 'G': case 'a': case 'A': {
      // Any bits, and often an infinity or a NaN, whose texts have their own rules.
      static const uint64_t kSpecial[] = {0x7FF0000000000000ull, 0xFFF0000000000000ull, 0x7FF8000000000000ull};
      const int kind = in.ConsumeIntegralInRange(0, 5);
      args.Add64(kind < 3 ? kSpecial[kind] : in.ConsumeIntegral<uint64_t>());
      break;
    }
    case 'c': case 'C': case 'p':
      args.Add32(in.ConsumeIntegral<uint32_t>());
      break;
    case 's': case 'S':
      args.AddPointer(in.ConsumeBool() ? nullptr : strings[in.ConsumeIntegralInRange(0, 3)].data());
      break;
    default:  // "n" reads nothing, "Z" and "q" are no conversions
      break;
  }
  return c;
}

// Plain text of the built form: printable ASCII.
std::string PlainText(FuzzedDataProvider &in) {
  std::string text;
  for (size_t n = in.ConsumeIntegralInRange(0, 8); n > 0; --n) text += static_cast<char>(in.ConsumeIntegralInRange(0x20, 0x7E));
  return text;
}

// The text as a format writes it: "%" doubled.
std::string Escaped(const std::string &text) {
  std::string out;
  for (char c : text) out += c == '%' ? "%%" : std::string(1, c);
  return out;
}

// The ASCII text in Code (every supported code writes ASCII as itself, in its own units).
std::vector<char> Encode(const std::string &text, int code) {
  std::vector<char> out;
  char unit[8];
  for (unsigned char c : text) {
    const int n = PutCharCode(c, code, unit, sizeof unit);
    out.insert(out.end(), unit, unit + n);
  }
  out.insert(out.end(), 8, '\0');
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 6) return 0;
  const bool built = (data[0] & 1) != 0;
  const int code = PickCharCode(data[0] >> 1);
  const int narrowCode = PickCharCode(data[1]);
  const int wideCode = PickCharCode(data[2]);
  const int wideForm = data[3] & 1;
  const int length = 1 + (data[4] | (data[5] & 7) << 8);  // 1 to 2048 units
  FuzzedDataProvider in(data + 6, size - 6);

  TrackedHeapCheck heap;
  std::vector<char> strings[4];
  for (auto &s : strings) {
    const size_t n = in.ConsumeIntegralInRange<size_t>(0, 64);
    const std::vector<uint8_t> bytes = in.ConsumeBytes<uint8_t>(n);
    s = TerminatedText(bytes.data(), bytes.size());
  }
  std::vector<char> format;
  Arguments args;
  std::string expected;   // what the C library prints for a built format without quirks
  bool compare = built;   // every conversion of the format has a reference
  if (built) {
    expected = PlainText(in);
    std::string text = Escaped(expected);
    while (in.remaining_bytes() > 0 && text.size() < 1500) {
      const BuiltConversion c = BuildConversion(in, args, strings);
      const std::string plain = PlainText(in);
      text += c.directive + Escaped(plain);
      compare = compare && !c.reference.empty();
      expected += c.reference + plain;
    }
    format = Encode(text, GetCharCodeUnitSize(code) > 0 ? code : CHAR_CODE_UTF8);
  } else {
    const std::vector<uint8_t> rest = in.ConsumeRemainingBytes<uint8_t>();
    format = TerminatedText(rest.data(), rest.size());
    // Each character of the format reads at most two slots (a "*", or a 64-bit value).
    for (size_t i = 0; i < 2 * format.size() + 4; ++i) args.AddPointer(strings[i % 4].data());
  }
  args.Add64(0);

  const int unit = GetCharCodeUnitSize(code);
  std::vector<char> buffer(static_cast<size_t>(length) * static_cast<size_t>(unit > 0 ? unit : 1));
  const int result = Print(code, wideForm, narrowCode, wideCode, buffer.data(), length, format.data(), args);
  if (unit <= 0) {
    FUZZ_CHECK(result == -1, "an unsupported code printed %d units", result);
  } else {
    FUZZ_CHECK(result >= (built ? 0 : -1) && result < length, "result %d in a buffer of %d units", result, length);
    if (result >= 0) {
      const uint8_t *end = reinterpret_cast<const uint8_t *>(buffer.data()) + static_cast<size_t>(result) * unit;
      FUZZ_CHECK(charcode::IsZeroUnit(end, unit), "no terminator after %d units", result);
    }
    if (built && compare && unit == 1 && code != 0 && expected.size() < static_cast<size_t>(length)) {
      FUZZ_CHECK(std::string(buffer.data(), static_cast<size_t>(result)) == expected,
                 "printed \"%s\", the C library prints \"%s\"", buffer.data(), expected.c_str());
    }
  }
  heap.Verify();
  return 0;
}
