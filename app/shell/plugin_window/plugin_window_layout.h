// The geometry of the plug-in slot windows, without a window: the class names and titles, the
// row of controls under the editor, and the generic parameter view's rows, bars, click zones
// and indicators, all in client pixels. plugin_window/windows/plugin_window_win.cpp and
// plugin_window/windows/parameter_view_win.cpp draw and hit-test with these.
#pragma once

#include <cstdint>
#include <string>

#include "app/shell/app_state.h"

// The six child controls of a slot window; the enum values are their control ids.
enum PluginControlId : int {
  kPowerControl,
  kBypassControl,
  kUnloadControl,
  kProgramList,
  kPreviousProgram,
  kNextProgram,
  kPluginControlCount,
};

struct PluginControlPlace {
  const char* className;
  const char* text;
  int32_t x, width, height;
};

extern const PluginControlPlace kPluginControls[kPluginControlCount];

// The controls stand this far above the bottom of the slot's editor rectangle.
constexpr int32_t kControlRowRise = 28;

// "vst<channel><slot>".
std::string PluginWindowClassName(int32_t channel, int32_t slot);
// "<channel + 1> - <name>" for the instrument, "<channel + 1> - <name><slot>" for an insert.
std::string PluginWindowTitle(int32_t channel, int32_t slot, const std::string& effectName);

// The next program for "-" (step -1) or "+" (step +1), wrapping at both ends; false when the
// plug-in has no programs, which leaves nothing to send.
bool StepProgram(int32_t& program, int32_t step, int32_t programCount);

// Parameter view: the texts of row i stand at y = ParameterRowTop(i).
constexpr int32_t kParameterNameX = 50;
constexpr int32_t kParameterValueX = 105;
constexpr int32_t kParameterLabelX = 148;
constexpr int32_t ParameterRowTop(int32_t row) { return 10 + 30 * row; }

ShellRect ParameterBarRect(int32_t row);
// The filled part of the bar for a value (taken as 0-1).
ShellRect ParameterFillRect(int32_t row, float value);
// The row whose click zone holds (x, y) among `count` rows, or -1.
int32_t ParameterRowAt(int32_t x, int32_t y, int32_t count);
// The value a click at x sets, 0-1.
float ParameterValueAt(int32_t x);

// The frames drawn around "ON" and "→" while power or bypass is on.
ShellRect PowerIndicatorRect(int32_t editorBottom);
ShellRect BypassIndicatorRect(int32_t editorBottom);
