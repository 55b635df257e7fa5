// The generic parameter view of a plug-in without an editor, painted with GDI into its slot
// window, and the clicks on its bars.
#include <windows.h>

#include <algorithm>
#include <string>

#include "app/engine/plugin/plugin_text.h"
#include "app/shell/app_state.h"
#include "app/shell/plugin_window/plugin_window_layout.h"
#include "app/shell/plugin_window/windows/plugin_window_win.h"

namespace {

// Rows shown: the plug-in's parameters as far as the slot kept their texts at load.
int32_t ViewRowCount(const PluginSlot& slot) {
  const int32_t count = std::max(slot.effect->numParams, 0);
  return std::min(count, static_cast<int32_t>(slot.paramNames.size()));
}

bool ShowsParameterView(const PluginSlot& slot) { return slot.effect && !(slot.effect->flags & effFlagsHasEditor); }

// A rectangle with the current pen, filled with one of the shell's brushes.
void DrawBox(HDC dc, ShellBrush brush, const ShellRect& r) {
  SelectObject(dc, g_app.brushes[brush]);
  Rectangle(dc, r.left, r.top, r.right, r.bottom);
}

void WriteText(HDC dc, int32_t x, int32_t y, const std::string& text) {
  TextOutA(dc, x, y, text.c_str(), static_cast<int>(text.size()));
}

}  // namespace

void PaintPluginParameterView(HWND window, PluginSlot& slot, uint8_t power, uint8_t bypass) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  SetBkMode(dc, TRANSPARENT);
  if (power == 1) DrawBox(dc, kIndicatorBrush, PowerIndicatorRect(slot.editorRect.bottom));
  if (bypass == 1) DrawBox(dc, kIndicatorBrush, BypassIndicatorRect(slot.editorRect.bottom));
  if (ShowsParameterView(slot)) {
    AEffect* effect = slot.effect;
    const int32_t rows = ViewRowCount(slot);
    for (int32_t i = 0; i < rows; ++i) {
      const int32_t top = ParameterRowTop(i);
      SelectObject(dc, g_app.pluginWindowFont);
      SetTextColor(dc, RGB(255, 255, 255));
      WriteText(dc, kParameterNameX, top, slot.paramNames[i]);
      slot.paramDisplays[i] = AskPluginText(effect, effGetParamDisplay, i, 0, kVstMaxParamStrLen);
      WriteText(dc, kParameterValueX, top, slot.paramDisplays[i]);
      WriteText(dc, kParameterLabelX, top, slot.paramLabels[i]);
      DrawBox(dc, kBarBackgroundBrush, ParameterBarRect(i));
      DrawBox(dc, kBarFillBrush, ParameterFillRect(i, slot.GetParameter(i)));
    }
  }
  SelectObject(dc, GetStockObject(SYSTEM_FONT));
  EndPaint(window, &paint);
}

void ClickPluginParameterView(HWND window, int32_t x, int32_t y, int32_t, PluginSlot& slot) {
  if (!ShowsParameterView(slot)) return;
  const int32_t row = ParameterRowAt(x, y, ViewRowCount(slot));
  if (row < 0) return;
  slot.SetParameter(row, ParameterValueAt(x));
  InvalidateRect(window, nullptr, TRUE);
}
