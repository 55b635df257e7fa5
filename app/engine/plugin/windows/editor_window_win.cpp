// Fitting a plug-in's editor window to the editor (or to the generic parameter view).
#include <windows.h>

#include "app/engine/plugin/plugin_slot.h"

void PluginSlot::FitEditorWindow(HWND window) {
  AEffect* e = effect;
  if (!e || !e->dispatcher) return;
  ERect* rect = nullptr;
  e->dispatcher(e, effEditGetRect, 0, 0, &rect, 0.0f);
  RECT r;
  if (rect) {
    // 24 more pixels below the editor for the slot window's own controls.
    r.left = rect->left;
    r.top = rect->top;
    r.right = rect->right;
    r.bottom = rect->bottom + 24;
  } else {
    // The generic parameter view: 238 wide, 30 per parameter plus 54 high.
    r.left = 0;
    r.top = 0;
    r.right = 238;
    r.bottom = 30 * e->numParams + 54;
  }
  // Framed as the window is, so that its client area is exactly the editor's: a window framed
  // thinner than an overlapped window would otherwise get a client larger than the editor.
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE)));
  editorRect.left = r.left;
  editorRect.top = r.top;
  editorRect.right = r.right;
  editorRect.bottom = r.bottom;
  SetWindowPos(window, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
}
