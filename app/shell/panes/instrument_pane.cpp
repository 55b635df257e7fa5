// The instrument pane: one row per FM track with its instrument plug-in's name, a click on a row
// loading one through the file dialog, and the rows' edit buttons opening and closing the slots'
// windows. Also the loading shared with the inspector's insert rows.
#include <cstdio>
#include <cstring>
#include <string>

#include "app/engine/mdx/mdx_player.h"
#include "app/engine/plugin/plugin_slot.h"
#include "app/engine/sequencer/song_engine.h"
#include "app/shell/frame_input.h"
#include "app/shell/panes/pane_drawing.h"
#include "app/shell/plugin_window/plugin_window.h"
#include "app/shell/project/project_format.h"
#include "app/shell/shell_tables.h"
#include "app/shell/panes/side_panes.h"
#include "app/shell/project/song_files.h"
#include "app/shell/tracks/track_views.h"
#include "zovuz/zovuz.h"

PluginDialog g_pluginDialog = ShowPluginDialog;

namespace {

constexpr int32_t kInstrumentRows = 8;
constexpr int32_t kRowPitch = 14, kFirstRowOffset = 16;
constexpr int32_t kClickTop = 16, kClickBottom = 124, kClickRowOffset = 14;
constexpr uint32_t kPaneColour = 0x11333333, kRowColour = 0x44444444, kFmRowColour = 0x44444448;

}  // namespace

bool IsOutsidePluginFolder(const char* path, const char* workingDirectory) {
  const PathParts parts = SplitPath(path ? path : "");
  char folder[kWorkingDirectoryChars + 16];
  std::snprintf(folder, sizeof folder, "%s\\VSTPlugins\\", workingDirectory ? workingDirectory : "");
  return parts.drive + parts.directory != folder;
}

void SetFmInstrumentFlags(int32_t track, bool fm) {
  if (track < 0 || track >= kMixerChannelCount) return;
  EngineLock lock = LockEngine();
  g_songs[0].tracks[track].fmInstrument = fm ? 1 : 0;
  if (track < kMdxTrackCount) g_mdx.state.fmInstrument[track] = fm ? 1 : 0;
}

bool LoadPaneSlot(int32_t channel, int32_t position, PluginDialogKind kind) {
  char(&path)[kPathChars] = g_app.projectPath;  // the dialogs share the one path buffer
  g_app.dialogOpen = 1;
  const bool chosen = g_pluginDialog && g_pluginDialog(kind, path);
  g_app.dialogOpen = 0;
  if (!chosen) return false;
  const int32_t n = channel * kPluginPositionCount + position;
  if (kind == PluginDialogKind::kInstrument)
    g_app.pluginOutsideFolder[n] = IsOutsidePluginFolder(path, g_app.workingDirectory) ? 1 : 0;
  if (SplitPath(path).extension != ".dll") return false;
  // The window of the plug-in being replaced goes first: its editor belongs to the old one.
  ClosePluginWindow(channel, position);
  const bool loaded = LoadPlugin(channel, position, path) == 0;
  const PluginSlot& slot = g_pluginSlots[n];
  if (kind == PluginDialogKind::kInstrument && slot.effect)
    SetFmInstrumentFlags(channel, IsFmInstrumentName(slot.name));
  std::snprintf(g_app.pluginPaths[n], kNameChars, "%s", path);
  // A plug-in that did not load leaves the slot empty: the path is kept, but not counted as
  // loaded, so that nothing later asks the empty slot for its parameters.
  g_app.pluginLoaded[n] = loaded ? 1 : 0;
  OpenPluginWindow(channel, position);
  return loaded;
}

void HandleEditButton(ImageButton& button, int32_t channel, int32_t position, bool& stop) {
  if (stop || UpdateImageButton(button) != 1) return;
  const int32_t n = channel * kPluginPositionCount + position;
  if (g_app.windowOpen[n] == 1) {
    ClosePluginWindow(channel, position);
  } else if (!g_pluginSlots[n].effect) {
    stop = true;  // an empty slot ends the buttons of this frame
  } else {
    OpenPluginWindow(channel, position);
  }
}

void DrawSlotRow(int32_t x, int32_t r, int32_t width, int32_t n, uint32_t box, const char* empty) {
  DrawBox(x + 22, r, x + width - 4, r + 11, box, 1);
  const PluginSlot& slot = g_pluginSlots[n];
  if (slot.effect)
    DrawFormatString(x + 26, r, kPaneWhite, "%s", slot.name.substr(0, kShownNameChars).c_str());
  else
    DrawFormatString(x + 26, r, kPaneGrey, "%s", empty);
}

void DrawEditButton(ImageButton& button, int32_t x, int32_t y, int32_t n) {
  button.x = x;
  button.y = y;
  DrawGraph(x, y, button.held == 1 || g_app.windowOpen[n] == 1 ? button.pressedImage : button.normalImage, 1);
}

void UpdateInstrumentPane(int32_t x, int32_t y, int32_t width) {
  const MouseState& m = g_app.mouse;
  if ((m.buttons & MOUSE_INPUT_LEFT) != 0 && m.x > x + 22 && m.x < x + width - 4 && m.y > y + kClickTop &&
      m.y < y + kClickBottom && g_app.dialogOpen == 0) {
    const int32_t row = (m.y - y - kClickRowOffset) / kRowPitch;
    if (row >= 0 && row < kInstrumentRows) LoadPaneSlot(row, 0, PluginDialogKind::kInstrument);
  }
  bool stop = false;
  for (int32_t row = 0; row < kInstrumentRows; ++row)
    HandleEditButton(g_shell.buttons[kInstrumentEditButton + row], row, 0, stop);
}

void DrawInstrumentPane() {
  const PaneRect& p = g_app.instrumentPane;
  DrawBox(p.x, p.y, p.x + p.width, p.y + p.height, kPaneColour, 1);
  if (g_frameInput.windowActive != 0) UpdateInstrumentPane(p.x, p.y, p.width);
  DrawFormatString(p.x + 8, p.y + 2, kPaneWhite, "VST Instrument");
  for (int32_t i = 0; i < kInstrumentRows; ++i) {
    const int32_t r = p.y + kFirstRowOffset + kRowPitch * i, n = i * kPluginPositionCount;
    DrawFormatString(p.x + 3, r, kRowColours[i], "%d", i + 1);
    DrawSlotRow(p.x, r, p.width, n, g_songs[0].tracks[i].fmInstrument == 1 ? kFmRowColour : kRowColour,
                "no instrument");
    DrawEditButton(g_shell.buttons[kInstrumentEditButton + i], p.x + 10, r + 1, n);
  }
}
