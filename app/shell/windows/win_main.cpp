// Process entry of tarvex: the library's set-up calls, the library's start, the frame loop and
// the library's end.
//
// Lines marked "NOT YET BUILT" stand where a set-up call of a part that does not exist yet goes.
// Until the panes draw and ScreenFlip paces the frame loop, the loop only processes the
// window's messages and sleeps between passes.
#include <windows.h>

#include "app/shell/app_state.h"
#include "app/shell/plugin_window.h"
#include "zovuz/zovuz.h"

namespace {

constexpr int FramePauseMilliSeconds = 16;

// The library's log stays off as the program's set-up asks, unless TARVEX_LOG=1 (the program's
// tests read the log of a run).
int LogFileRequested() {
  wchar_t value[8];
  DWORD length = GetEnvironmentVariableW(L"TARVEX_LOG", value, 8);
  return length == 1 && value[0] == L'1' ? 1 : 0;
}

// The library's set-up and start. 0, or -1 when the library did not start.
int InitLibraryAndScreen() {
  SetWindowSizeChangeEnableFlag(1, 0);
  // NOT YET BUILT (graphics): SetGraphicsResetOnScreenModeChangeFlag(0);
  SetWindowMaxSize(1920, 1080);
  SetWindowMinSize(640, 600);
  ChangeWindowMode(1);
  SetWindowSize(1299, 755);
  // NOT YET BUILT (graphics): SetGraphMode(1920, 1080, 32, 60);
  SetAlwaysRunFlag(1);
  SetWindowIconId(106);
  SetMainWindowText("tarvex");
  // NOT YET BUILT (graphics): SetUseDisplayIndex(1);
  SetDirectInputUseFlag(0);
  // NOT YET BUILT (shell menu commands, with menu resource 109; without it the window would get
  //   an empty menu bar): SetUseMenuFlag(1); SetDisplayMenuFlag(1); SetMenuAutoDisplayFlag(1);
  //   SetWindowMenuFromResource(109, OnMenuCommand);
  SetDoubleStartValidFlag(0);
  SetLogFileOutputFlag(LogFileRequested());
  if (LibraryInit() == -1) return -1;
  // NOT YET BUILT (graphics): the 960 x 540 draw screen and the transport background image.
  return 0;
}

// The interface's resources. False when a window class could not be registered.
bool InitGuiResources() {
  if (!RegisterPluginWindowClasses(g_app.instance)) return false;
  // NOT YET BUILT (render dialog): the class "rendering".
  // NOT YET BUILT (panes): the button images and their layout, the font and background
  //   settings, the side-pane rectangles.
  return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  g_app.instance = instance;
  g_app.showCommand = showCommand;
  if (InitLibraryAndScreen() != 0) return 0;
  if (!InitGuiResources()) {
    LibraryEnd();
    return 0;
  }

  while (ProcessMessage() == 0) ThreadSleep(FramePauseMilliSeconds);

  LibraryEnd();
  return 0;
}
