#include <windows.h>

#include "app/shell/app_state.h"
#include "app/shell/frame_input.h"
#include "app/shell/frame_loop.h"
#include "app/shell/shell_tables.h"
#include "zovuz/zovuz.h"

namespace {

constexpr int kPumpedWindows = 40;  // the windows of channels 0-7; the library serves the others
constexpr int kScreenWidth = 1920, kScreenHeight = 1080;

// The frames that have read the keys and the mouse, counted on the main window's property
// "tarvex.frames": a driver that presses a key or a button for a user (tools/app_driver) keeps it
// down until a frame has read it, however slow the frames are.
void CountFrameRead() {
  static ULONG_PTR frames = 0;
  SetPropW(GetMainWindowHandle(), L"tarvex.frames", reinterpret_cast<HANDLE>(++frames));
}

}  // namespace

// A closed slot's handle is null, which PeekMessage would take for "any window of the thread"
// (WM_QUIT included): it is skipped.
void PumpPluginWindows() {
  for (int n = 0; n < kPumpedWindows; ++n) {
    HWND window = g_shell.pluginWindows[n];
    if (!window) continue;
    MSG message;
    if (PeekMessageA(&message, window, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
}

int RunFrame() {
  if (ReadFrameKeys() != 0 || g_frameInput.keys[kKeyEscape] != 0) return 1;
  PumpPluginWindows();
  SetDrawScreen(g_app.drawScreen);
  ClearDrawScreen(nullptr);
  ReadFrameMouse(g_app);
  CountFrameRead();
  UpdateFrame();
  if (g_app.quitRequested == 1) return 1;
  ShowDrawScreen();
  return ProcessMessage() == 0 ? 0 : 1;
}

void ShowDrawScreen() {
  SetDrawScreen(DX_SCREEN_BACK);
  DrawExtendGraph(0, 0, kScreenWidth, kScreenHeight, g_app.drawScreen, 0);
  ScreenFlip();
}

void ReadClientRect(AppState& app) {
  RECT client;
  if (!GetClientRect(GetMainWindowHandle(), &client)) return;
  app.clientRect = ShellRect{client.left, client.top, client.right, client.bottom};
}
