#include "app/shell/frame_input.h"

#include "app/shell/app_state.h"
#include "zovuz/core/zovuz_core.h"

FrameInput g_frameInput;

int ReadFrameKeys() { return GetAllKeyState(g_frameInput.keys); }

void NoteWindowReturn(bool keysDown) {
  if (keysDown) g_frameInput.returnedWithKeysDown = 1;
}

void HoldKeysOfTheReturn() {
  FrameInput& in = g_frameInput;
  // The first frame after the return holds what is down then: the keys of the return, read in
  // the library's numbering.
  if (in.returnedWithKeysDown) {
    for (int k = 0; k < kKeyCount; ++k) in.held[k] = in.keys[k] != 0 ? 1 : 0;
    in.returnedWithKeysDown = 0;
  }
  for (int k = 0; k < kKeyCount; ++k) {
    if (!in.held[k]) continue;
    if (in.keys[k] == 0)
      in.held[k] = 0;
    else
      in.keys[k] = 0;
  }
}

void ReadFrameMouse(AppState& app) {
  // The buttons before the position: the position's look-up takes long enough to let the key
  // table's millisecond pass, and the buttons would read the table again.
  const int32_t buttons = GetMouseButtons();
  int x = 0, y = 0;
  GetMousePoint(&x, &y);
  StoreFrameMouse(app, x, y, buttons);
  g_frameInput.windowActive = GetWindowActiveFlag() != 0 ? 1 : 0;
}

void StoreFrameMouse(AppState& app, int32_t x, int32_t y, int32_t buttons) {
  app.mouse.x = x / 2;
  app.mouse.y = y / 2;
  app.mouse.buttons = buttons;
}
