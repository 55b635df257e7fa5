#include "tests/app/shell/shell_fixture.h"

#include <windows.h>

#include "app/shell/app_state.h"
#include "app/shell/frame_input.h"
#include "app/shell/plugin_window/plugin_window.h"
#include "app/shell/shell_tables.h"
#include "zovuz/core/zovuz_core.h"
#include "tests/support/engine/plugin_fixture.h"
#include "zovuz/graphics/zovuz_graphics_backend.h"
#include "zovuz/zovuz.h"

namespace {

void ResetShell() {
  InitAppDefaults(g_app);
  g_frameInput = FrameInput{1, {}};
  for (uint8_t& edge : g_shell.keyEdges) edge = 0;
  for (SongTrack& track : g_songs[0].tracks) track.mute = 0;
}

}  // namespace

void ShellTest::SetUp() { ResetShell(); }

void ShellTest::TearDown() { ResetShell(); }

void ShellTest::SetInput(int x, int y, bool leftDown, bool active) {
  StoreFrameMouse(g_app, 2 * x, 2 * y, leftDown ? MOUSE_INPUT_LEFT : 0);
  g_frameInput.windowActive = active ? 1 : 0;
}

void StartPluginWindows() {
  static const bool registered = RegisterPluginWindowClasses(GetModuleHandleA(nullptr));
  ASSERT_TRUE(registered);
  g_app.instance = GetModuleHandleA(nullptr);
  g_app.showCommand = SW_HIDE;
  g_hostContext.sampleRate = 44100;
  g_hostContext.blockSize = 1024;
}

void EndPluginWindows() {
  for (HWND window : g_shell.pluginWindows)
    if (window) DestroyWindow(window);
  ResetPluginSlots();
}

bool SoftwareGraphicsTest::started_ = false;

void SoftwareGraphicsTest::StartGraphics(int width, int height) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ChangeWindowMode(1);
  SetUseHardwareRenderFlag(0);
  SetWaitVSyncFlag(0);
  SetGraphMode(width, height, 32, 60);
  started_ = InitializeGraphics() == 0;
}

void SoftwareGraphicsTest::TearDownTestSuite() {
  TerminateGraphics();
  CoUninitialize();
}

void SoftwareGraphicsTest::SetUp() {
  ShellTest::SetUp();
  ASSERT_TRUE(started_);
}

uint32_t ScreenPixel(int x, int y) { return GetPixel(x, y) & 0xFFFFFF; }

bool BoxHolds(int x0, int y0, int x1, int y1, uint32_t colour) {
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      if (ScreenPixel(x, y) == (colour & 0xFFFFFF)) return true;
  return false;
}

void ShellDrawTest::SetUpTestSuite() {
  StartGraphics(960, 540);
  SetDrawValidGraphCreateFlag(1);
  if (started_) g_app.drawScreen = MakeGraph(960, 540, 0);
  SetDrawValidGraphCreateFlag(0);
}

void ShellDrawTest::SetUp() {
  SoftwareGraphicsTest::SetUp();
  if (HasFatalFailure()) return;
  ASSERT_NE(-1, g_app.drawScreen);
  const ButtonImages noImages = {};
  LayOutInterface(g_app, noImages);
  Clear();
}

void ShellDrawTest::Clear() {
  SetDrawScreen(g_app.drawScreen);
  SetDrawBlendMode(DX_BLENDMODE_NOBLEND, 0);
  SetBackgroundColor(0, 0, 0);
  ClearDrawScreen(nullptr);
}
