// The window procedure of the plug-in slot windows and the generic parameter view it paints
// (see plugin_window.h).
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/engine/plugin/plugin_slot.h"

LRESULT CALLBACK PluginWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// WM_PAINT of a slot window holding a plug-in: the power and bypass indicators, and for a
// plug-in without an editor one row per parameter (name, value text, label, bar).
void PaintPluginParameterView(HWND window, PluginSlot& slot, uint8_t power, uint8_t bypass);

// WM_LBUTTONDOWN at client (x, y): a click on a row's bar sets that parameter. The slot index
// is not needed.
void ClickPluginParameterView(HWND window, int32_t x, int32_t y, int32_t slotIndex, PluginSlot& slot);
