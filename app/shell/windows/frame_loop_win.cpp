#include <windows.h>

#include <algorithm>

#include "app/shell/app_state.h"
#include "app/shell/frame_input.h"
#include "app/shell/frame_loop.h"
#include "app/shell/shell_tables.h"
#include "zovuz/zovuz.h"

namespace {

constexpr int kPumpedWindows = 40;  // the windows of channels 0-7; the library serves the others
constexpr int kScreenWidth = 1920, kScreenHeight = 1080;

// The frames that have read the keys and the mouse. A driver that presses a key or a button for a
// user (tools/app_driver) keeps it down until a frame has read it, however slow the frames are: it
// sends the main window the registered message "tarvex.frames", and when the send returns the
// count is on the window's property of that name. (Set on the property every frame, the count
// cost a round trip to Wine's server a frame.)
ULONG_PTR framesRead = 0;

void CountFrameRead() { ++framesRead; }

// Whether a key of the keyboard (not a mouse button) is down in the thread's key state: the
// state of the key messages the thread has taken, so a key pressed after the return, whose
// message has not been taken yet, is not counted.
bool KeyboardKeyDown() {
  BYTE state[256];
  if (!GetKeyboardState(state)) return false;
  for (int vk = VK_BACK; vk < 256; ++vk) {  // below it: the mouse buttons
    if (state[vk] & 0x80) return true;
  }
  return false;
}

// Sees the main window come back to the user: the end of a menu or of a move or size loop, and
// the activation given back (a dialog closed, another program left). A key still down then was
// pressed for what ended, and the frame holds it (HoldKeysOfTheReturn). Also answers a driver's
// question for the frames read.
LRESULT CALLBACK WatchWindowReturns(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) {
    const CWPSTRUCT& sent = *reinterpret_cast<const CWPSTRUCT*>(lParam);
    const bool returned = sent.message == WM_EXITMENULOOP || sent.message == WM_EXITSIZEMOVE ||
                          (sent.message == WM_ACTIVATE && LOWORD(sent.wParam) != WA_INACTIVE);
    if (returned && sent.hwnd == GetMainWindowHandle()) NoteWindowReturn(KeyboardKeyDown());
    static const UINT framesAsked = RegisterWindowMessageW(L"tarvex.frames");
    if (sent.message == framesAsked && sent.hwnd == GetMainWindowHandle())
      SetPropW(sent.hwnd, L"tarvex.frames", reinterpret_cast<HANDLE>(framesRead));
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The part of the back screen the window shows: the top-left corner of its client's size (the whole
// screen while no client size is known).
ImageRect ShownScreenPart() {
  ReadClientRect(g_app);
  const ShellRect& client = g_app.clientRect;
  if (client.right <= 0 || client.bottom <= 0) return ImageRect{0, 0, kScreenWidth, kScreenHeight};
  return ImageRect{0, 0, std::min(client.right, kScreenWidth), std::min(client.bottom, kScreenHeight)};
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

void StartWindowReturnWatch() {
  static const HHOOK watch = SetWindowsHookExW(WH_CALLWNDPROC, WatchWindowReturns, nullptr, GetCurrentThreadId());
  (void)watch;
}

int RunFrame() {
  StartWindowReturnWatch();  // already started by the program's entry; here for callers without it
  if (ReadFrameKeys() != 0) return 1;
  HoldKeysOfTheReturn();
  if (g_frameInput.keys[kKeyEscape] != 0) return 1;
  PumpPluginWindows();
  if (UpdateAndShowFrame(IsIconic(GetMainWindowHandle()) != 0) != 0) return 1;
  return ProcessMessage() == 0 ? 0 : 1;
}

int UpdateAndShowFrame(bool minimised) {
  SetDrawScreen(g_app.drawScreen);
  // The mouse is read before the clear, close after the keys: the buttons then come from the key
  // table the keys were read from, within the same millisecond as a rule, without a second look at
  // the message queue and the key state.
  ReadFrameMouse(g_app);
  // A minimised window shows nothing: the panes' drawing calls all fall outside an empty area.
  // Shown, only what the window shows is cleared (the draw screen is shown at twice its size, from
  // the top-left corner): the rest of it is never seen.
  if (minimised) {
    SetDrawArea(0, 0, 0, 0);
  } else {
    const ImageRect screen = ShownScreenPart();
    const ImageRect shown = {0, 0, (screen.right + 1) / 2, (screen.bottom + 1) / 2};
    ClearDrawScreen(&shown);
  }
  CountFrameRead();
  UpdateFrame();
  if (g_app.quitRequested == 1) return 1;
  if (!minimised) {
    ShowDrawScreen();
    return 0;
  }
  // The flip presents nothing to a minimised window, but keeps the frames to the display's pace.
  ScreenFlip();
  return 0;
}

void ShowDrawScreen() {
  SetDrawScreen(DX_SCREEN_BACK);
  // The stretch is drawn where the window shows it only (an unchanged frame is then compared there
  // only, too).
  const ImageRect shown = ShownScreenPart();
  SetDrawArea(shown.left, shown.top, shown.right, shown.bottom);
  DrawExtendGraph(0, 0, kScreenWidth, kScreenHeight, g_app.drawScreen, 0);
  ScreenFlip();
}

void ReadClientRect(AppState& app) {
  RECT client;
  if (!GetClientRect(GetMainWindowHandle(), &client)) return;
  app.clientRect = ShellRect{client.left, client.top, client.right, client.bottom};
}
