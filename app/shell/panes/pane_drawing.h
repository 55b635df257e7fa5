// What the two side panes share: their texts' colours, and the slot rows, edit buttons and file
// loading of the instrument rows and the insert rows.
#pragma once

#include <cstdint>

#include "app/shell/panes/side_panes.h"
#include "app/shell/panes/widgets.h"

constexpr uint32_t kPaneWhite = 0xFFFFFFFF;
constexpr uint32_t kPaneGrey = 0xFF666666;  // "no instrument", "no effect"
constexpr size_t kShownNameChars = 16;      // of a plug-in's name in a row

// A click's load into slot (channel, position): the file dialog (the dialog-open flag set while it
// is up), the outside-folder flag of an instrument, then for a ".dll" the plug-in loaded, an
// instrument's FM flags, the path and loaded flag recorded and the slot's window opened. True
// when a plug-in was loaded.
bool LoadPaneSlot(int32_t channel, int32_t position, PluginDialogKind kind);

// An edit button's click: closes the slot's open window, else opens it for a plug-in; an empty
// slot sets `stop`, which ends the buttons of the frame.
void HandleEditButton(ImageButton& button, int32_t channel, int32_t position, bool& stop);

// A slot row from (x + 22, r): its box and the plug-in's name, or `empty`.
void DrawSlotRow(int32_t x, int32_t r, int32_t width, int32_t n, uint32_t box, const char* empty);
// An edit button moved to (x, y), pressed while held or while slot n's window is open.
void DrawEditButton(ImageButton& button, int32_t x, int32_t y, int32_t n);
