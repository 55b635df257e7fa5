// Projects and "tarvex.ini" between AppState, the plug-in slots and the disk.
#include <windows.h>

#include <commdlg.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/engine/mdx/mdx_player.h"
#include "app/engine/sequencer/song_engine.h"
#include "app/shell/app_state.h"
#include "app/shell/plugin_window/plugin_window.h"
#include "app/shell/project/project_files.h"
#include "app/shell/project/project_format.h"
#include "app/shell/panes/side_panes.h"
#include "app/shell/shell_tables.h"
#include "zovuz/zovuz.h"

namespace {

constexpr char kSettingsName[] = "tarvex.ini";
constexpr char kTemporarySuffix[] = ".tmp";
constexpr DWORD kLargestProject = 64u << 20;  // far above any project the program writes
constexpr int kSlots = kPluginSlotCount;

static_assert(kSlots == kProjectSlots && kMixerChannelCount == kProjectChannels, "the project covers every slot");

template <size_t N>
bool CopyBounded(char (&to)[N], const std::string& from) {
  if (from.size() >= N) return false;
  std::memcpy(to, from.c_str(), from.size() + 1);
  return true;
}

// The whole file, or false when it cannot be read (or is far too large to be a project).
bool ReadWholeFile(const char* path, std::string& bytes) {
  HANDLE file =
      CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const DWORD size = GetFileSize(file, nullptr);
  bool ok = size != INVALID_FILE_SIZE && size <= kLargestProject;
  if (ok) {
    bytes.assign(size, '\0');
    DWORD read = 0;
    ok = size == 0 || (ReadFile(file, &bytes[0], size, &read, nullptr) && read == size);
  }
  CloseHandle(file);
  return ok;
}

// Writes a file beside `path` and puts it in its place: the old file stays whole until the new
// one is complete, and stays when it cannot be replaced (held open by another program).
bool WriteFileReplacing(const char* path, const std::string& bytes) {
  const std::string temporary = std::string(path) + kTemporarySuffix;
  if (temporary.size() >= MAX_PATH) return false;
  HANDLE target = CreateFileA(path, GENERIC_WRITE | DELETE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (target != INVALID_HANDLE_VALUE) {
    CloseHandle(target);
  } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
    return false;  // there, but not ours to replace
  }
  HANDLE file =
      CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size() && FlushFileBuffers(file);
  CloseHandle(file);
  ok = ok && MoveFileExA(temporary.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!ok) DeleteFileA(temporary.c_str());
  return ok;
}

// A plug-in path of a project: relative ones stand under the working directory, wherever the
// file dialogs have moved the current one since.
std::string ResolvePluginPath(const std::string& path) {
  if (!PathIsRelativeA(path.c_str())) return path;
  return std::string(g_app.workingDirectory) + "\\" + path;
}

bool FileReadable(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  std::fclose(file);
  return true;
}

// Moves (x, y), the top-left corner for the main window at its present size, onto the work area
// of the monitor nearest to the window placed there: a project saved on a monitor that is gone,
// or edited by hand, opens the window where it can be seen. False when the window or its monitor
// cannot be read.
bool KeepMainWindowOnScreen(int32_t& x, int32_t& y) {
  RECT window;
  if (!GetWindowRect(GetMainWindowHandle(), &window)) return false;
  const int32_t width = window.right - window.left, height = window.bottom - window.top;
  const auto end = [](int32_t at, int32_t size) {
    return static_cast<LONG>(std::min<int64_t>(int64_t{at} + size, INT32_MAX));
  };
  const RECT placed = {x, y, end(x, width), end(y, height)};
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof monitor;
  if (!GetMonitorInfoA(MonitorFromRect(&placed, MONITOR_DEFAULTTONEAREST), &monitor)) return false;
  const RECT& work = monitor.rcWork;
  KeepOnArea(ProjectArea{work.left, work.top, work.right, work.bottom}, width, height, x, y);
  return true;
}

class ShellProjectHost : public ProjectHost {
 public:
  void MoveWindow(int32_t x, int32_t y) override {
    KeepMainWindowOnScreen(x, y);
    SetWindowPosition(x, y);
  }
  // The size grows the window from its top-left corner: it may then leave the screen too.
  void ResizeWindow(int32_t width, int32_t height) override {
    SetWindowSize(width, height);
    int32_t x = 0, y = 0;
    GetWindowPosition(&x, &y);
    const int32_t shownX = x, shownY = y;
    if (KeepMainWindowOnScreen(x, y) && (x != shownX || y != shownY)) SetWindowPosition(x, y);
  }
  ProjectArea Screen() override {
    const int32_t left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return ProjectArea{left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                       top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  }
  LoadResult LoadPlugin(int n, const std::string& path) override {
    const std::string resolved = ResolvePluginPath(path);
    if (resolved.size() >= MAX_PATH || !FileReadable(resolved)) return kNotTried;
    // The window of the plug-in being replaced goes first: its editor belongs to the old one.
    if (HWND window = g_shell.pluginWindows[n]) DestroyWindow(window);
    return ::LoadPlugin(n / kPluginPositionCount, n % kPluginPositionCount, resolved.c_str()) == 0 ? kLoaded : kFailed;
  }
  bool EffectName(int n, std::string& name) override {
    if (!g_pluginSlots[n].effect) return false;
    name = g_pluginSlots[n].name;
    return true;
  }
  void SetFmInstrument(int channel, bool fm) override { SetFmInstrumentFlags(channel, fm); }
  int32_t ParameterCount(int n) override {
    const AEffect* effect = g_pluginSlots[n].effect;
    return effect ? effect->numParams : 0;
  }
  int32_t ProgramCount(int n) override {
    const AEffect* effect = g_pluginSlots[n].effect;
    return effect ? effect->numPrograms : 0;
  }
  void SetParameter(int n, int32_t index, float value) override { g_pluginSlots[n].SetParameter(index, value); }
};

bool HoldsPlugin(int n) { return g_app.pluginLoaded[n] == 1 && g_pluginSlots[n].effect; }

void CaptureProject(ProjectData& data) {
  ProjectView& v = data.view;
  GetWindowPosition(&v.windowX, &v.windowY);
  GetWindowClientSize(&v.clientWidth, &v.clientHeight);
  v.zoom = g_app.zoom;
  v.rowHeight = g_app.rowHeight;
  v.columnStep = g_app.columnStep;
  v.peakScale = g_app.peakScale;
  v.soloCount = g_app.soloCount;
  v.currentTrack = g_app.currentTrack;
  for (int c = 0; c < kMixerChannelCount; ++c) {
    data.channels[c] = ProjectChannel{g_app.pan[c], g_app.volume[c], g_app.mute[c], g_app.userMute[c], g_app.solo[c]};
  }
  for (int n = 0; n < kSlots; ++n) {
    ProjectSlot& slot = data.slots[n];
    slot.loaded = g_app.pluginLoaded[n];
    slot.path = g_app.pluginPaths[n];
    slot.left = g_app.windowRects[n].left;
    slot.top = g_app.windowRects[n].top;
    slot.sendSwitch = g_app.sendSwitches[n];
    slot.sendLevel = g_app.sendLevels[n];
    slot.power = g_app.power[n];
    slot.program = g_app.programs[n];
    slot.windowOpen = g_app.windowOpen[n];
    slot.parameters.clear();
  }
}

void ApplyProject(const ProjectData& data) {
  const ProjectView& v = data.view;
  g_app.zoom = v.zoom;
  g_app.rowHeight = v.rowHeight;
  g_app.columnStep = v.columnStep;
  g_app.peakScale = v.peakScale;
  g_app.soloCount = v.soloCount;
  g_app.SetCurrentTrack(v.currentTrack);
  for (int c = 0; c < kMixerChannelCount; ++c) {
    const ProjectChannel& channel = data.channels[c];
    g_app.pan[c] = channel.pan;
    g_app.volume[c] = channel.volume;
    g_app.mute[c] = channel.mute;
    g_app.userMute[c] = channel.userMute;
    g_app.solo[c] = channel.solo;
  }
  for (int n = 0; n < kSlots; ++n) {
    const ProjectSlot& slot = data.slots[n];
    g_app.pluginLoaded[n] = slot.loaded;
    CopyBounded(g_app.pluginPaths[n], slot.path);
    g_app.windowRects[n].left = slot.left;
    g_app.windowRects[n].top = slot.top;
    g_app.sendSwitches[n] = slot.sendSwitch;
    g_app.sendLevels[n] = slot.sendLevel;
    g_app.power[n] = slot.power;
    g_app.programs[n] = slot.program;
    g_app.windowOpen[n] = slot.windowOpen;
  }
  g_app.SettleLoadedMutes();
}

// The stored path of a loaded plug-in as a project keeps it: relative to the working directory
// where one can be formed.
std::string RelativeToWorkingDirectory(const char* path) {
  // A relative plug-in path already stands under the working directory.
  if (PathIsRelativeA(path)) return path;
  char relative[MAX_PATH];
  if (PathRelativePathToA(relative, g_app.workingDirectory, FILE_ATTRIBUTE_DIRECTORY, path, FILE_ATTRIBUTE_NORMAL))
    return relative;
  return path;
}

void ReportUnreadableProject(const char* path, const std::string& error) {
  std::printf("tarvex: the project \"%s\" could not be read: %s\n", path, error.c_str());
  std::fflush(stdout);
}

bool ChooseProjectFile(bool save) {
  static const char kFilter[] = "tarvexプロジェクトファイル(*.tvx)\0*.tvx\0すべてのファイル(*.*)\0*.*\0";
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = GetMainWindowHandle();
  dialog.lpstrFilter = kFilter;
  dialog.lpstrFile = g_app.projectPath;
  dialog.nMaxFile = kPathChars;
  // A new project needs a name that does not exist yet: the save asks before it overwrites.
  dialog.Flags = save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST;
  return (save ? GetSaveFileNameA(&dialog) : GetOpenFileNameA(&dialog)) != FALSE;
}

}  // namespace

bool AppState::LoadProject(const char* path) {
  if (!path || !PathFileExistsA(path)) return true;
  std::string text;
  if (!ReadWholeFile(path, text)) {
    ReportUnreadableProject(path, "the file cannot be read");
    return false;
  }
  static ProjectData data;  // 95 slots: kept off the stack
  CaptureProject(data);
  ShellProjectHost host;
  std::string error;
  if (!ReadProjectText(text, data, host, error)) {
    ReportUnreadableProject(path, error);
    return false;
  }
  ApplyProject(data);
  return true;
}

bool SaveProjectFile(const char* path) {
  if (!path) return false;
  static ProjectData data;
  CaptureProject(data);
  for (int n = 0; n < kSlots; ++n) {
    ProjectSlot& slot = data.slots[n];
    slot.loaded = HoldsPlugin(n) ? 1 : 0;
    if (!slot.loaded) continue;
    slot.path = RelativeToWorkingDirectory(g_app.pluginPaths[n]);
    if (HWND window = g_shell.pluginWindows[n]) {
      GetWindowRect(window, reinterpret_cast<RECT*>(&g_app.windowRects[n]));
      slot.left = g_app.windowRects[n].left;
      slot.top = g_app.windowRects[n].top;
    }
    PluginSlot& plugin = g_pluginSlots[n];
    for (int32_t i = 0; i < plugin.effect->numParams; ++i) slot.parameters.push_back(plugin.GetParameter(i));
  }
  return WriteFileReplacing(path, WriteProjectText(data));
}

int LoadAppSettings() {
  if (!PathFileExistsA(kSettingsName)) return 0;
  std::string text, lastProject, error;
  if (!ReadWholeFile(kSettingsName, text)) error = "the file cannot be read";
  if (error.empty() && ReadSettingsText(text, lastProject, error) == 1 &&
      CopyBounded(g_app.lastProjectPath, lastProject))
    return 1;
  if (!error.empty()) {
    std::printf("tarvex: the settings file \"%s\" could not be read: %s\n", kSettingsName, error.c_str());
    std::fflush(stdout);
  }
  return 0;
}

bool SaveAppSettings() {
  const std::string path = std::string(g_app.workingDirectory) + "\\" + kSettingsName;
  if (path.size() >= MAX_PATH) return false;
  return WriteFileReplacing(path.c_str(), WriteSettingsText(g_app.lastProjectPath));
}

bool OpenProject(const char* path) {
  char project[kPathChars];
  if (!BuildFilePath(path, ".tvx", project, sizeof project) || !g_app.LoadProject(project)) {
    ShowFailedBox();
    return false;
  }
  for (int32_t channel = 0; channel < kPluginChannelCount; ++channel) {
    for (int32_t slot = 0; slot < kPluginPositionCount; ++slot) {
      if (g_app.windowOpen[channel * kPluginPositionCount + slot] == 1) OpenPluginWindow(channel, slot);
    }
  }
  return true;
}

bool SaveProject(const char* path) {
  char project[kPathChars];
  if (!BuildFilePath(path, ".tvx", project, sizeof project)) return false;
  // A bare name stands in the current directory: remembered from where it lies.
  char full[MAX_PATH];
  const DWORD length = GetFullPathNameA(project, sizeof full, full, nullptr);
  if (length == 0 || length >= sizeof full) return false;
  const std::string remembered = RelativeToWorkingDirectory(full);
  if (remembered.size() >= sizeof g_app.lastProjectPath || !SaveProjectFile(project)) return false;
  CopyBounded(g_app.lastProjectPath, remembered);
  return true;
}

void OpenProjectFromDialog() {
  if (ChooseProjectFile(false)) OpenProject(g_app.projectPath);
}

void SaveProjectFromDialog() {
  if (!ChooseProjectFile(true)) return;
  if (SaveProject(g_app.projectPath)) {
    MessageBoxA(nullptr, "プロジェクトファイルを保存しました。", "completed", MB_OK);
  } else {
    ShowFailedBox();
  }
}

void ShowFailedBox() { MessageBoxA(nullptr, "失敗しました。", "Failed", MB_OK); }
