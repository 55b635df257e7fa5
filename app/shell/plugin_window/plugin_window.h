// The plug-in slot windows: one top-level window per slot (19 channels x 5 slots) showing the
// plug-in's own editor, or the generic parameter view when it has none, above a row of controls
// (power, bypass, unload, the program list, previous and next program). The window keeps its
// place when it closes, and reopens there. User-interface thread only.
#pragma once

#include <cstdint>

struct HINSTANCE__;

// Registers the 95 window classes "vst<channel><slot>" for `instance`; false when one fails.
bool RegisterPluginWindowClasses(HINSTANCE__* instance);

// Opens the window of a slot at its kept place, replacing one that is open; nothing for a slot
// without a plug-in.
void OpenPluginWindow(int32_t channel, int32_t slot);

// Closes the window of a slot, the plug-in's editor with it (an editor-close call when the slot
// holds a plug-in), and clears the slot's editor-open and window-open flags.
void ClosePluginWindow(int32_t channel, int32_t slot);

// At the program's end, before the plug-ins are unloaded: the editor of every open slot window is
// closed and the window emptied of its controls and of what the editor left in it; the windows
// themselves are let go and end with the process.
void ClosePluginEditorsAtExit();
