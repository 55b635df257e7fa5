#include "app/shell/plugin_window/plugin_window_layout.h"

#include <algorithm>
#include <cstdio>

const PluginControlPlace kPluginControls[kPluginControlCount] = {
    {"BUTTON", "ON", 8, 18, 16},    {"BUTTON", "→", 30, 18, 16},  {"BUTTON", "×", 52, 18, 16},
    {"COMBOBOX", "", 78, 136, 300}, {"BUTTON", "-", 222, 18, 16}, {"BUTTON", "+", 244, 18, 16},
};

namespace {

constexpr int32_t kBarLeft = 47;
constexpr int32_t kBarWidth = 144;
constexpr int32_t kBarTop = 12;  // below the row's top
constexpr int32_t kBarBottom = 20;
constexpr int32_t kClickLeft = 40;  // the zone reaches a little past both ends of the bar
constexpr int32_t kClickRight = 198;
constexpr int32_t kClickAbove = 8;  // the zone's edges, exclusive, from the row's top
constexpr int32_t kClickBelow = 24;

// Parameter values are 0-1; anything else a plug-in answers is drawn at the nearer end (NaN at 0).
float Clamp01(float value) { return value > 0.0f ? std::min(value, 1.0f) : 0.0f; }

ShellRect Indicator(int32_t left, int32_t editorBottom) {
  return ShellRect{left, editorBottom - 30, left + 22, editorBottom - 10};
}

}  // namespace

std::string PluginWindowClassName(int32_t channel, int32_t slot) {
  char name[32];
  std::snprintf(name, sizeof name, "vst%d%d", static_cast<int>(channel), static_cast<int>(slot));
  return name;
}

std::string PluginWindowTitle(int32_t channel, int32_t slot, const std::string& effectName) {
  std::string title = std::to_string(channel + 1) + " - " + effectName;
  if (slot != 0) title += std::to_string(slot);
  return title;
}

bool StepProgram(int32_t& program, int32_t step, int32_t programCount) {
  if (programCount < 1) return false;
  // A program kept from elsewhere (a project) may lie past the plug-in's programs, or at the
  // integer's ends, where the step itself would overflow.
  program = std::clamp(program, 0, programCount - 1);
  program += step;
  if (program < 0) program = programCount - 1;
  if (program > programCount - 1) program = 0;
  return true;
}

ShellRect ParameterBarRect(int32_t row) {
  const int32_t top = ParameterRowTop(row);
  return ShellRect{kBarLeft, top + kBarTop, kBarLeft + kBarWidth, top + kBarBottom};
}

ShellRect ParameterFillRect(int32_t row, float value) {
  ShellRect fill = ParameterBarRect(row);
  fill.right = kBarLeft + static_cast<int32_t>(Clamp01(value) * kBarWidth);
  return fill;
}

int32_t ParameterRowAt(int32_t x, int32_t y, int32_t count) {
  if (x < kClickLeft || x > kClickRight || y <= ParameterRowTop(0) + kClickAbove) return -1;
  const int32_t row = (y - ParameterRowTop(0) - kClickAbove - 1) / 30;
  if (row >= count || y >= ParameterRowTop(row) + kClickBelow) return -1;
  return row;
}

float ParameterValueAt(int32_t x) { return Clamp01(static_cast<float>(x - kBarLeft) / kBarWidth); }

ShellRect PowerIndicatorRect(int32_t editorBottom) { return Indicator(6, editorBottom); }

ShellRect BypassIndicatorRect(int32_t editorBottom) { return Indicator(28, editorBottom); }
