// The MML text reader and the lexers of numbers, lengths and note names.
#include "app/engine/mml/mml_compile_internal.h"

#include <string.h>

namespace {

bool IsDigit(int c) { return c >= '0' && c <= '9'; }

// Lengths are kept far below the int range, so sums of three of them and the tick arithmetic
// of the compiler cannot overflow whatever a user writes ("l^^" repeated grows the default
// threefold each time).
int ClampLength(long long ticks) {
  if (ticks < 0) return 0;
  if (ticks > kMmlMaxLength) return kMmlMaxLength;
  return static_cast<int>(ticks);
}

}  // namespace

void MmlReaderInit(MmlReader* Reader, const void* Data, size_t Size) {
  const uint8_t* bytes = static_cast<const uint8_t*>(Data);
  if (bytes == nullptr) Size = 0;
  // A 0xFF byte ends the text exactly as the end of the file does.
  const void* ff = Size ? memchr(bytes, 0xFF, Size) : nullptr;
  Reader->Data = bytes;
  Reader->Size = ff ? static_cast<size_t>(static_cast<const uint8_t*>(ff) - bytes) : Size;
  Reader->Pos = 0;
}

int MmlGetChar(MmlReader* Reader) {
  if (Reader->Pos >= Reader->Size) return kMmlEnd;
  return Reader->Data[Reader->Pos++];
}

void MmlPutBack(MmlReader* Reader, int Char) {
  // Like ungetc, putting back the end of the text changes nothing.
  if (Char != kMmlEnd && Reader->Pos > 0) --Reader->Pos;
}

int ReadMmlNumber(MmlReader* Reader) {
  int value = 0;
  for (int digits = 0; digits < 3; ++digits) {
    int c = MmlGetChar(Reader);
    if (!IsDigit(c)) {
      MmlPutBack(Reader, c);
      break;
    }
    value = value * 10 + (c - '0');
  }
  return value;
}

int ReadMmlNumberOrNone(MmlReader* Reader) {
  int c = MmlGetChar(Reader);
  MmlPutBack(Reader, c);
  if (!IsDigit(c)) return -1;
  int value = 0;
  do {
    value = ReadMmlNumber(Reader);
    c = MmlGetChar(Reader);
    MmlPutBack(Reader, c);
  } while (IsDigit(c));
  return value;
}

int ReadMmlLength(MmlReader* Reader, int DefaultLength) {
  int c = MmlGetChar(Reader);
  if (c == '*') return ClampLength(ReadMmlNumber(Reader));
  MmlPutBack(Reader, c);
  int n = ReadMmlNumber(Reader);
  if (n >= 1) {
    long long base = 192 / n;
    int dots = 0;
    while (dots < 3) {
      c = MmlGetChar(Reader);
      if (c != '.') {
        MmlPutBack(Reader, c);
        break;
      }
      ++dots;
    }
    // 1.5, 1.75 and 1.875 times, truncated toward zero.
    static const int kDotNumerator[4] = {1, 3, 7, 15};
    static const int kDotDenominator[4] = {1, 2, 4, 8};
    return ClampLength(base * kDotNumerator[dots] / kDotDenominator[dots]);
  }
  c = MmlGetChar(Reader);
  if (c == '.') return ClampLength(static_cast<long long>(DefaultLength) * 3 / 2);
  MmlPutBack(Reader, c);
  return ClampLength(DefaultLength);
}

int ReadMmlTiedLength(MmlReader* Reader, int DefaultLength) {
  long long total = ReadMmlLength(Reader, DefaultLength);
  for (int more = 0; more < 2; ++more) {
    int c = MmlGetChar(Reader);
    if (c != '^') {
      MmlPutBack(Reader, c);
      break;
    }
    total += ReadMmlLength(Reader, DefaultLength);
  }
  if (total == 0) return ClampLength(DefaultLength);
  return ClampLength(total);
}

int ReadMmlNoteName(MmlReader* Reader, int Letter) {
  static const int kSemitone[7] = {9, 11, 0, 2, 4, 5, 7};  // a b c d e f g
  int index = (Letter >= 'a' && Letter <= 'g') ? Letter - 'a' : (Letter >= 'A' && Letter <= 'G') ? Letter - 'A' : -1;
  int semitone = index >= 0 ? kSemitone[index] : 0;
  int c = MmlGetChar(Reader);
  if (c == '+' || c == '#') return (semitone + 1) % 12;
  if (c == '-') return (semitone + 11) % 12;
  MmlPutBack(Reader, c);
  return semitone;
}

int ReadMmlSignedNumber(MmlReader* Reader) {
  int c = MmlGetChar(Reader);
  if (c == ',') return -1;
  bool negative = false;
  bool haveNumber = false;
  int value = 0;
  for (;; c = MmlGetChar(Reader)) {
    if (c == kMmlEnd || c == ',' || c == '\r') break;
    if (c == ')') {
      MmlPutBack(Reader, c);
      break;
    }
    if (c == '-') {
      negative = true;
    } else if (c == '/') {
      SkipPastByte(Reader, '\n');
      if (haveNumber) break;
    } else if (IsDigit(c)) {
      MmlPutBack(Reader, c);
      value = ReadMmlNumber(Reader);  // of several groups the last counts
      haveNumber = true;
    }
  }
  if (!haveNumber) return negative ? 1 : -1;
  return negative ? -value : value;
}

void SkipPastByte(MmlReader* Reader, int Byte) {
  int c;
  do {
    c = MmlGetChar(Reader);
  } while (c != kMmlEnd && c != Byte);
}

int ReadMmlMinusNumber(MmlReader* Reader) {
  int c = MmlGetChar(Reader);
  if (c == '-') return -ReadMmlNumber(Reader);
  MmlPutBack(Reader, c);  // "+3" reads as 0: the "+" and digits are skipped by the command loop
  return ReadMmlNumber(Reader);
}

void SkipMmlSecondNumber(MmlReader* Reader) {
  int c = MmlGetChar(Reader);
  if (c == ',') {
    ReadMmlNumber(Reader);
  } else {
    MmlPutBack(Reader, c);
  }
}
