// The two side panes left of the track area: the instrument pane (the instrument plug-in of each
// of the 8 FM tracks, loaded by a click on its row) and the inspector pane, titled "Inspecter"
// (the current track's tone, pan, key, detune and volume, its 4 insert slots, its 2 effect sends,
// its pan and volume faders and its level meter). Both run each frame on the user-interface
// thread, from the frame's input snapshot; the values they change reach the engines through the
// track views' per-frame copies.
#pragma once

#include <cstdint>
#include <string>

#include "app/shell/app_state.h"

// The pane at AppState::instrumentPane; updated from the input only while the window is active.
void DrawInstrumentPane();
// Loading by a click on a row, and the rows' edit buttons.
void UpdateInstrumentPane(int32_t x, int32_t y, int32_t width);

// The inspector of the current track: below 1 under the instrument pane, else at the top.
void DrawInspectorPane(int32_t below);
// Loading by a click on an insert row, the inserts' edit buttons, and (where they are drawn) the
// send switches and the four sliders of channel c.
void UpdateInsertEffectSlots(int32_t x, int32_t y, int32_t width, int32_t channel);

// The file dialogs of the panes: the instrument one or the insert-effect one, over the shared
// path buffer. True when a file was chosen. Tests replace it; panes/windows/plugin_dialog_win.cpp
// holds the real one.
enum class PluginDialogKind { kInstrument, kEffect };
using PluginDialog = bool (*)(PluginDialogKind kind, char (&path)[kPathChars]);
extern PluginDialog g_pluginDialog;
bool ShowPluginDialog(PluginDialogKind kind, char (&path)[kPathChars]);

// Whether a plug-in at `path` lies outside "<working directory>\VSTPlugins\" (its drive and folder
// compared exactly, case and all).
bool IsOutsidePluginFolder(const char* path, const char* workingDirectory);

// The FM-instrument flags of channel `track`, in song 0 and (tracks 0-15) in the MDX player,
// under the engine lock.
void SetFmInstrumentFlags(int32_t track, bool fm);

// The inspector's pan line: the tone and the pan as "@ T  PAN C", "PAN L", "PAN R", "PAN R%2d",
// "PAN L%2d".
std::string InspectorPanText(int32_t pan, int32_t tone);
// The label of channel c: "01"-"16", "FX1", "FX2", "M".
std::string InspectorTrackLabel(int32_t channel);
