#include "app/shell/frame_input.h"

#include "app/shell/app_state.h"
#include "zovuz/core/zovuz_core.h"

FrameInput g_frameInput;

int ReadFrameKeys() { return GetAllKeyState(g_frameInput.keys); }

void ReadFrameMouse(AppState& app) {
  int x = 0, y = 0;
  GetMousePoint(&x, &y);
  StoreFrameMouse(app, x, y, GetMouseButtons());
  g_frameInput.windowActive = GetWindowActiveFlag() != 0 ? 1 : 0;
}

void StoreFrameMouse(AppState& app, int32_t x, int32_t y, int32_t buttons) {
  app.mouse.x = x / 2;
  app.mouse.y = y / 2;
  app.mouse.buttons = buttons;
}
