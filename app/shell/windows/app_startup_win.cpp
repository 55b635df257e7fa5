#include <windows.h>

#include <cstdio>

#include "app/engine/mdx/mdx_player.h"
#include "app/engine/sequencer/sequencer.h"
#include "app/engine/mixer/wave_file.h"
#include "app/shell/app_startup.h"
#include "app/shell/app_state.h"
#include "app/shell/menu_commands.h"
#include "app/shell/midi_keyboard.h"
#include "app/shell/plugin_window/plugin_window.h"
#include "app/shell/project/project_files.h"
#include "app/shell/render/render_dialog.h"
#include "app/shell/resource_ids.h"
#include "app/shell/shell_tables.h"
#include "app/shell/tracks/track_views.h"
#include "zovuz/zovuz.h"

namespace {

constexpr int kDrawScreenWidth = 960, kDrawScreenHeight = 540;
constexpr int32_t kHostSampleRate = 44100, kHostBlockSize = 1024;

// The library's log stays off as the program's set-up asks, unless TARVEX_LOG=1 (the program's
// tests read the log of a run).
int LogFileRequested() {
  wchar_t value[8];
  DWORD length = GetEnvironmentVariableW(L"TARVEX_LOG", value, 8);
  return length == 1 && value[0] == L'1' ? 1 : 0;
}

}  // namespace

int InitLibraryAndScreen() {
  // First: the library makes its log file at the first line it writes, and the set-up calls
  // below write lines.
  SetLogFileOutputFlag(LogFileRequested());
  SetWindowSizeChangeEnableFlag(1, 0);
  SetGraphicsResetOnScreenModeChangeFlag(0);
  SetWindowMaxSize(1920, 1080);
  SetWindowMinSize(640, 600);
  ChangeWindowMode(1);
  SetWindowSize(1299, 755);
  SetGraphMode(1920, 1080, 32, 60);
  SetAlwaysRunFlag(1);
  SetWindowIconId(TARVEX_ICON_ID);
  SetMainWindowText("tarvex");
  SetUseDisplayIndex(1);
  SetDirectInputUseFlag(0);
  SetUseMenuFlag(1);
  SetDisplayMenuFlag(1);
  SetMenuAutoDisplayFlag(1);
  SetWindowMenuFromResource(TARVEX_MENU_ID, OnMenuCommand);
  SetDoubleStartValidFlag(0);
  if (LibraryInit() == -1) return -1;
  SetDrawValidGraphCreateFlag(1);
  g_app.drawScreen = MakeGraph(kDrawScreenWidth, kDrawScreenHeight, 0);
  SetDrawValidGraphCreateFlag(0);
  g_app.transportBackground = LoadGraph("IMG/TRANSPORTS_BACK.png", 0);
  return 0;
}

bool InitGuiResources() {
  if (!RegisterPluginWindowClasses(g_app.instance)) return false;
  if (!RegisterRenderDialogClass(g_app.instance)) return false;
  ButtonImages images;
  LoadButtonImages(images);
  LayOutInterface(g_app, images);
  SetFontSize(10);
  SetFontThickness(1);
  SetBackgroundColor(24, 24, 24);
  return true;
}

bool StartAppEngines() {
  GetCurrentDirectoryA(kWorkingDirectoryChars, g_app.workingDirectory);
  g_hostContext.sampleRate = kHostSampleRate;
  g_hostContext.blockSize = kHostBlockSize;
  if (!InitSequencerAudio()) {
    TermSequencerAudio();
    return false;
  }
  if (!g_app.song.Init()) {
    TermSequencerAudio();
    TermMdxPlayer();
    return false;
  }
  StartSequencerTimer();  // the program starts in MML mode
  OpenAppMidiInput(g_app);
  if (LoadAppSettings() == 1) OpenProject(g_app.lastProjectPath);
  g_songs[0].capture = &g_waveFile;
  g_mdx.capture = &g_waveFile;
  return true;
}

void ShutDownApp() {
  if (!SaveAppSettings()) {
    std::printf("tarvex: the settings file could not be written\n");
    std::fflush(stdout);
  }
  CloseAppMidiInput(g_app);
  FreePeakData(g_app);
  TermMdxPlayer();
  TermSequencerAudio();
  // The plug-ins go while the library still runs, their editors closed first.
  ClosePluginEditorsAtExit();
  for (int32_t channel = 0; channel < kPluginChannelCount; ++channel) {
    for (int32_t slot = 0; slot < kPluginPositionCount; ++slot) UnloadPlugin(channel, slot);
  }
}
