// Process entry of tarvex: start-up in its fixed order, the frame loop, and the end.
#include <windows.h>

#include "app/shell/app_startup.h"
#include "app/shell/app_state.h"
#include "app/shell/frame_loop.h"
#include "zovuz/zovuz.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  g_app.instance = instance;
  g_app.showCommand = showCommand;
  StartWindowReturnWatch();
  if (InitLibraryAndScreen() != 0) return 0;
  if (!InitGuiResources() || !StartAppEngines()) {
    LibraryEnd();
    return 0;
  }
  if (ProcessMessage() == 0) {
    while (RunFrame() == 0) {
    }
  }
  ShutDownApp();
  LibraryEnd();
  return 0;
}
