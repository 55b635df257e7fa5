#include "app/shell/tracks/mdx_command_text.h"

#include <cstdio>

namespace {

constexpr const char* kNoteNames[12] = {"c", "c+", "d", "d+", "e", "f", "f+", "g", "g+", "a", "a+", "b"};
constexpr int32_t kFmTracks = 8;
constexpr int32_t kStepVolumeTop = 15, kDirectVolumeTop = 127;
constexpr uint8_t kFeatureOff = 0x80, kFeatureOn = 0x81;
constexpr int32_t kFirstDirectVolumeByte = 16;
constexpr int32_t kFirstTicksGate = 9;  // gate bytes from here count ticks before the end

// The command's bytes: P(0) is its first byte, P(n) the n-th parameter; 0 past the data.
class CommandBytes {
 public:
  CommandBytes(const uint8_t* data, int32_t length, int32_t offset) : data_(data), length_(length), offset_(offset) {}
  int32_t operator()(int32_t n) const {
    const int64_t at = static_cast<int64_t>(offset_) + n;
    return data_ && at >= 0 && at < length_ ? data_[at] : 0;
  }
  // The signed 16-bit value of parameters n and n + 1, high byte first.
  int32_t Word(int32_t n) const {
    return static_cast<int16_t>(static_cast<uint16_t>((*this)(n) << 8 | (*this)(n + 1)));
  }
  int32_t Signed(int32_t n) const { return static_cast<int8_t>(static_cast<uint8_t>((*this)(n))); }

 private:
  const uint8_t* data_;
  int32_t length_;
  int32_t offset_;
};

template <typename... Args>
void Put(char (&text)[kMdxCommandTextSize], const char* format, Args... args) {
  std::snprintf(text, sizeof text, format, args...);
}

int32_t Tempo(int32_t timerB) {
  // The player's factor, worked out in single precision as the player does.
  const float ticks = static_cast<float>(256 - timerB) * 12288.0f;
  return 60000000 / static_cast<int32_t>(ticks);
}

// The two-state features: off, on, or their settings written out with `settings`.
int32_t FeatureSwitch(const CommandBytes& p, const char* off, const char* on, char (&text)[kMdxCommandTextSize]) {
  if (p(1) == kFeatureOff) Put(text, "%s", off);
  if (p(1) == kFeatureOn) Put(text, "%s", on);
  return p(1) == kFeatureOff || p(1) == kFeatureOn ? 1 : 0;
}

int32_t Note(const CommandBytes& p, int32_t track, char (&text)[kMdxCommandTextSize]) {
  const int32_t n = (p(0) + 3) & 127;
  if (track < kFmTracks)
    Put(text, "o%d%s,%d", n / 12, kNoteNames[n % 12], p(1) + 1);
  else
    Put(text, "%x,%d", n - 3, p(1) + 1);
  return 1;
}

void StepVolume(MdxCommandState& state, int32_t step, char (&text)[kMdxCommandTextSize]) {
  const bool steps = state.volumeMode == 1;
  const int32_t top = steps ? kStepVolumeTop : kDirectVolumeTop;
  int32_t v = state.volume + step;
  if (v > top) v = top;
  if (v < 0) v = 0;
  state.volume = v;
  if (step > 0)
    Put(text, steps ? "~v%d" : "~@v%d", v);
  else
    Put(text, steps ? "_v%d" : "_@v%d", v);
}

// Commands 0xE0 and up; the parameter-byte count.
int32_t Command(const CommandBytes& p, MdxCommandState& state, char (&text)[kMdxCommandTextSize]) {
  switch (p(0)) {
    case 0xE7:
      Put(text, "FO%d", p(2));
      return 2;
    case 0xE8:
      Put(text, "PCM8");
      return 0;
    case 0xE9:
      Put(text, "LFOdly%d", p(1));
      return 1;
    case 0xEA:
      if (FeatureSwitch(p, "MHOF", "MHON", text)) return 1;
      Put(text, "MH:SY:%d\nWF:%d\nLFRQ:%d\nP/A:%d,%d\nP/A:%d,%d", p(1) / 64, p(1) & 3, p(2), p(3) - 128, p.Signed(4),
          p.Signed(5) >> 4, p(5) & 3);
      return 5;
    case 0xEB:
    case 0xEC:
      if (FeatureSwitch(p, p(0) == 0xEB ? "MAOF" : "MPOF", p(0) == 0xEB ? "MAON" : "MPON", text)) return 1;
      Put(text, p(0) == 0xEB ? "aL%d,%d,%d" : "pL%d,%d,%d", p(1), p.Word(2), p.Word(4) / 256);
      return 5;
    case 0xED:
      if (p(1) == 0)
        Put(text, "noise off");
      else
        Put(text, "noisef%d", p(1) & 15);
      return 1;
    case 0xEE:
      Put(text, "syncw");
      return 0;
    case 0xEF:
      Put(text, "sync%d", p(1));
      return 1;
    case 0xF0:
      Put(text, "kodly%d", p(1));
      return 1;
    case 0xF1:
      if (p(1) == 0) {
        Put(text, "end");
        return 1;
      }
      Put(text, "loop%d", p.Word(1));
      return 2;
    case 0xF2:
      Put(text, "port%d", p.Word(1) / 256);
      return 2;
    case 0xF3:
      Put(text, "@k%d", p.Word(1));
      return 2;
    case 0xF4:
      Put(text, "|%d", p.Word(1));
      return 2;
    case 0xF5:
      Put(text, ":|%d", p.Word(1));
      return 2;
    case 0xF6:
      Put(text, "|:%d", p(1));
      return 2;
    case 0xF7:
      Put(text, "&");
      return 0;
    case 0xF8:
      if (p(1) >= kFirstTicksGate)
        Put(text, "@q%d", 255 - p(1));
      else
        Put(text, "q%d", p(1));
      return 1;
    case 0xF9:
      StepVolume(state, +1, text);
      return 0;
    case 0xFA:
      StepVolume(state, -1, text);
      return 0;
    case 0xFB:
      if (p(1) < kFirstDirectVolumeByte) {
        Put(text, "v%d", p(1));
        state.volumeMode = 1;
      } else {
        Put(text, "@v%d", 255 - p(1));
        state.volumeMode = 0;
      }
      state.volume = p(1);
      return 1;
    case 0xFC:
      Put(text, "p%d", p(1));
      return 1;
    case 0xFD:
      Put(text, "@%d", p(1));
      return 1;
    case 0xFE:
      Put(text, "OPM");
      return 2;
    case 0xFF:
      Put(text, "t%d", Tempo(p(1)));
      return 1;
    default:  // 0xE0-0xE6
      Put(text, "none");
      return 0;
  }
}

}  // namespace

void FormatMdxCommand(const uint8_t* data, int32_t length, int32_t offset, int32_t track, MdxCommandState& state,
                      char (&text)[kMdxCommandTextSize]) {
  const CommandBytes p(data, length, offset);
  const int32_t b = p(0);
  if (b < 0x80) {
    Put(text, "r%d", b + 1);
    state.paramBytes = 0;
  } else if (b < 0xE0) {
    state.paramBytes = Note(p, track, text);
  } else {
    state.paramBytes = Command(p, state, text);
  }
}
