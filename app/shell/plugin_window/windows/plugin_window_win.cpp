// The plug-in slot windows: their 95 classes, opening a slot's window, and the window procedure
// shared by all of them.
#include "app/shell/plugin_window/windows/plugin_window_win.h"

#include <string>
#include <type_traits>

#include "app/engine/mdx/mdx_player.h"
#include "app/engine/sequencer/sequencer.h"
#include "app/shell/app_state.h"
#include "app/shell/plugin_window/plugin_window.h"
#include "app/shell/plugin_window/plugin_window_layout.h"
#include "app/shell/shell_tables.h"
#include "zovuz/core/zovuz_core.h"

static_assert(std::is_same<HINSTANCE, HINSTANCE__*>::value, "plugin_window.h declares the instance as HINSTANCE");

namespace {

constexpr int kWindowIcon = 106;
constexpr DWORD kPluginWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr int kFirstWindowSize = 256;  // FitEditorWindow sizes the window to its editor at once
// After an unload the render gets this long to run without the plug-in before a paused song
// plays on.
constexpr int kUnloadSettleMilliseconds = 72;
constexpr char kUnloadQuestion[] = "VST pluginをアンロードします。";
constexpr char kUnloadCaption[] = "unload";

// The slot whose window this is, or -1.
int FindWindowSlot(HWND window) {
  if (!window) return -1;
  for (int n = 0; n < kPluginSlotCount; ++n)
    if (g_shell.pluginWindows[n] == window) return n;
  return -1;
}

// The screen rectangle of the window becomes the slot's kept place.
void KeepWindowPlace(HWND window, int n) { GetWindowRect(window, reinterpret_cast<RECT*>(&g_app.windowRects[n])); }

void CreateControls(HWND window, const PluginSlot& slot) {
  const int32_t y = slot.editorRect.bottom - kControlRowRise;
  for (int id = 0; id < kPluginControlCount; ++id) {
    const PluginControlPlace& place = kPluginControls[id];
    DWORD style = WS_CHILD | WS_VISIBLE;
    if (id == kProgramList) style |= CBS_DROPDOWNLIST | WS_VSCROLL;
    HWND control = CreateWindowExA(0, place.className, place.text, style, place.x, y, place.width, place.height, window,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_app.instance, nullptr);
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(g_app.pluginWindowFont), 0);
  }
}

// Every program name in order (none for a plug-in without programs); entry 0 selected, whatever
// program the slot keeps.
void FillProgramList(HWND window, const PluginSlot& slot) {
  HWND list = GetDlgItem(window, kProgramList);
  for (const std::string& name : slot.programNames)
    SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  SendMessageA(list, CB_SETCURSEL, 0, 0);
}

void SelectListedProgram(HWND window, int n) {
  const LRESULT index = SendMessageA(GetDlgItem(window, kProgramList), CB_GETCURSEL, 0, 0);
  if (index == CB_ERR) return;  // nothing selected: no program to send
  g_app.programs[n] = static_cast<int32_t>(index);
  g_pluginSlots[n].ProgramChange(static_cast<int32_t>(index));
}

void StepWindowProgram(HWND window, int n, int32_t step) {
  PluginSlot& slot = g_pluginSlots[n];
  if (!slot.effect || !StepProgram(g_app.programs[n], step, slot.effect->numPrograms)) return;
  slot.ProgramChange(g_app.programs[n]);
  SendMessageA(GetDlgItem(window, kProgramList), CB_SETCURSEL, static_cast<WPARAM>(g_app.programs[n]), 0);
}

void TogglePower(int n) {
  uint8_t& power = g_app.power[n];
  power = power == 1 ? 0 : 1;
  PluginSlot& slot = g_pluginSlots[n];
  // Under the engine lock, as every other call into a running plug-in: the render never runs
  // the plug-in in the middle of its suspend or resume.
  EngineLock lock = LockEngine();
  if (AEffect* e = slot.effect) e->dispatcher(e, effMainsChanged, 0, power, nullptr, 0.0f);
}

// Pauses the song of the current mode when it plays; the mode it paused, or -1 when nothing was
// paused (and so nothing is to be resumed).
int32_t PausePlayingSong() {
  if (g_app.mode == kModeSequencer && !g_songs[0].paused) {
    PauseSequencer();
    // A song that was not playing did not pause: resuming it would start an ended one anew.
    return g_songs[0].paused ? kModeSequencer : -1;
  }
  if (g_app.mode == kModeMdxPlayer && g_mdx.state.playing == 1) {
    g_app.song.Pause();
    return kModeMdxPlayer;
  }
  return -1;
}

void ResumePausedSong(int32_t mode) {
  if (mode == kModeSequencer) ResumeSequencer();
  if (mode == kModeMdxPlayer) g_app.song.Resume();
}

void UnloadFromWindow(HWND window, int n) {
  if (MessageBoxA(window, kUnloadQuestion, kUnloadCaption, MB_YESNO) != IDYES) return;
  const int32_t pausedMode = PausePlayingSong();
  g_app.windowOpen[n] = 0;
  KeepWindowPlace(window, n);
  UnloadPlugin(n / kPluginPositionCount, n % kPluginPositionCount);
  DestroyWindow(window);
  g_app.pluginLoaded[n] = 0;
  if (pausedMode < 0) return;
  WaitMilliseconds(kUnloadSettleMilliseconds);
  ResumePausedSong(pausedMode);
}

LRESULT OnCommand(HWND window, int n, WPARAM wParam) {
  if (HIWORD(wParam) == CBN_SELCHANGE) {
    SelectListedProgram(window, n);
  } else {
    switch (LOWORD(wParam)) {
      case kPowerControl:
        TogglePower(n);
        break;
      case kBypassControl:
        g_pluginSlots[n].bypass = g_pluginSlots[n].bypass == 1 ? 0 : 1;
        break;
      case kUnloadControl:
        UnloadFromWindow(window, n);
        return 0;
      case kPreviousProgram:
        StepWindowProgram(window, n, -1);
        break;
      case kNextProgram:
        StepWindowProgram(window, n, +1);
        break;
      default:  // the program list's other notices
        return 0;
    }
  }
  InvalidateRect(window, nullptr, TRUE);
  return 0;
}

void OnDestroy(HWND window, int n) {
  g_app.windowOpen[n] = 0;
  KeepWindowPlace(window, n);
  PluginSlot& slot = g_pluginSlots[n];
  if (AEffect* e = slot.effect) e->dispatcher(e, effEditClose, 0, 0, nullptr, 0.0f);
  slot.editorOpen = 0;
  // The handle of a destroyed window can be given to any new window: forgotten, so that no
  // message of another window reaches this slot and reopening never destroys a stranger.
  g_shell.pluginWindows[n] = nullptr;
}

}  // namespace

bool RegisterPluginWindowClasses(HINSTANCE instance) {
  for (int32_t channel = 0; channel < kPluginChannelCount; ++channel) {
    for (int32_t slot = 0; slot < kPluginPositionCount; ++slot) {
      const std::string name = PluginWindowClassName(channel, slot);
      WNDCLASSEXA windowClass = {};
      windowClass.cbSize = sizeof windowClass;
      windowClass.style = CS_HREDRAW | CS_VREDRAW;
      windowClass.lpfnWndProc = PluginWindowProc;
      windowClass.hInstance = instance;
      windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(kWindowIcon));
      windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
      windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
      windowClass.lpszClassName = name.c_str();
      if (!RegisterClassExA(&windowClass)) return false;
    }
  }
  return true;
}

void OpenPluginWindow(int32_t channel, int32_t slot) {
  PluginSlot* s = PluginSlotAt(channel, slot);
  if (!s || !s->effect) return;
  const int n = channel * kPluginPositionCount + slot;
  if (IsWindow(g_shell.pluginWindows[n])) DestroyWindow(g_shell.pluginWindows[n]);

  const ShellRect& place = g_app.windowRects[n];
  HWND window =
      CreateWindowExA(0, PluginWindowClassName(channel, slot).c_str(),
                      PluginWindowTitle(channel, slot, s->name).c_str(), kPluginWindowStyle, place.left, place.top,
                      kFirstWindowSize, kFirstWindowSize, nullptr, nullptr, g_app.instance, nullptr);
  // Without a window the editor would be opened on no parent.
  if (!window) return;
  g_shell.pluginWindows[n] = window;
  ShowWindow(window, g_app.showCommand);
  UpdateWindow(window);

  s->effect->dispatcher(s->effect, effEditOpen, 0, 0, window, 0.0f);
  s->FitEditorWindow(window);
  s->editorOpen = 1;
  s->FitEditorWindow(window);
  g_app.windowOpen[n] = 1;
  CreateControls(window, *s);
  FillProgramList(window, *s);
}

void ClosePluginWindow(int32_t channel, int32_t slot) {
  PluginSlot* s = PluginSlotAt(channel, slot);
  if (!s) return;
  const int n = channel * kPluginPositionCount + slot;
  // The window's end closes the editor and clears the flags (OnDestroy); without a window they
  // are done here.
  if (IsWindow(g_shell.pluginWindows[n])) {
    DestroyWindow(g_shell.pluginWindows[n]);
    return;
  }
  if (AEffect* e = s->effect) e->dispatcher(e, effEditClose, 0, 0, nullptr, 0.0f);
  s->editorOpen = 0;
  g_app.windowOpen[n] = 0;
}

void ClosePluginEditorsAtExit() {
  // A slot window is not destroyed here: taking a captioned window off the screen waits for the
  // window manager's answer, up to 2 s a window where none answers (Wine without one), and the
  // main window stayed frozen on the screen meanwhile. The process's end takes them all at once.
  for (int n = 0; n < kPluginSlotCount; ++n) {
    HWND window = g_shell.pluginWindows[n];
    if (!IsWindow(window)) continue;
    PluginSlot& slot = g_pluginSlots[n];
    if (AEffect* e = slot.effect) e->dispatcher(e, effEditClose, 0, 0, nullptr, 0.0f);
    slot.editorOpen = 0;
    // Child windows go at once. An editor's window left behind would run code of a library
    // about to be unloaded.
    while (HWND child = GetWindow(window, GW_CHILD)) {
      if (!DestroyWindow(child)) break;  // one of another thread
    }
    g_shell.pluginWindows[n] = nullptr;  // its last messages reach no slot
  }
}

LRESULT CALLBACK PluginWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const int n = FindWindowSlot(window);
  if (n < 0) return DefWindowProcA(window, message, wParam, lParam);
  PluginSlot& slot = g_pluginSlots[n];
  switch (message) {
    case WM_COMMAND:
      return OnCommand(window, n, wParam);
    case WM_DESTROY:
      OnDestroy(window, n);
      return 0;
    case WM_PAINT:
      if (slot.effect) PaintPluginParameterView(window, slot, g_app.power[n], slot.bypass);
      break;
    case WM_LBUTTONDOWN:
      ClickPluginParameterView(window, LOWORD(lParam), HIWORD(lParam), n % kPluginPositionCount, slot);
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}
