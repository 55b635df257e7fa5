// Fitting a plug-in's editor window to the editor (or to the generic parameter view) and to the
// screen.
#include <windows.h>

#include <algorithm>

#include "app/engine/plugin/plugin_slot.h"

namespace {

// The work area of the screen nearest the window (where a window saved far off the screen will
// show).
RECT WorkAreaOf(HWND window) {
  MONITORINFO info = {};
  info.cbSize = sizeof info;
  if (GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info)) return info.rcWork;
  RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  return area;
}

// Where a window `length` long starting at `start` lies wholly within low..high; one longer than
// that starts at low, so its caption and its left edge stay within reach.
LONG KeepWithin(LONG start, LONG length, LONG low, LONG high) { return std::max(low, std::min(start, high - length)); }

}  // namespace

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
  // The control row reaches past a narrow editor and past the parameter view's 238 pixels: the
  // client takes the whole row, so that "+" can be clicked.
  r.right = std::max<LONG>(r.right, r.left + kPluginWindowMinClientWidth);
  // Framed as the window is, so that its client area is exactly the editor's: a window framed
  // thinner than an overlapped window would otherwise get a client larger than the editor.
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE)));
  // A view of many parameters (30 pixels each), or an editor that asks for more than the screen
  // holds, would put the control row below the screen: the window is cut to the work area's
  // height, and the row, placed from the rectangle's bottom, stands at the bottom of what shows.
  const RECT work = WorkAreaOf(window);
  r.bottom = std::min(r.bottom, r.top + (work.bottom - work.top));
  editorRect.left = r.left;
  editorRect.top = r.top;
  editorRect.right = r.right;
  editorRect.bottom = r.bottom;
  // The whole window on the work area: a place kept from another screen, or from a project saved
  // elsewhere, may lie far off it.
  const LONG width = r.right - r.left, height = r.bottom - r.top;
  RECT place;
  GetWindowRect(window, &place);
  SetWindowPos(window, nullptr, KeepWithin(place.left, width, work.left, work.right),
               KeepWithin(place.top, height, work.top, work.bottom), width, height, SWP_NOZORDER);
}
