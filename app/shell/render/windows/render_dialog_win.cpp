// The render dialog: its window class, its controls, its paint, Browse and Export.
#include <windows.h>

#include <commdlg.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>

#include "app/engine/mdx/mdx_player.h"
#include "app/engine/sequencer/sequencer.h"
#include "app/engine/mixer/wave_file.h"
#include "app/shell/app_state.h"
#include "app/shell/frame_loop.h"
#include "app/shell/project/project_files.h"
#include "app/shell/render/render_dialog.h"
#include "app/shell/render/time_text.h"
#include "app/shell/transport.h"
#include "zovuz/zovuz.h"

static_assert(std::is_same<HINSTANCE, HINSTANCE__*>::value, "render_dialog.h declares the instance as HINSTANCE");

namespace {

constexpr char kClassName[] = "rendering";
constexpr char kTitle[] = "書き出し";
constexpr int kWindowIcon = 106;
constexpr int kDialogWidth = 448, kDialogHeight = 192;
constexpr int kDurationChars = 5;
constexpr uint32_t kWhite = 0xFFFFFFFF;

enum RenderControl : int { kDurationEdit = 0, kNameEdit = 1, kBrowseButton = 2, kExportButton = 3, kCancelButton = 4 };

struct ControlPlace {
  int id;
  const char* className;
  const char* text;  // null: the WAV path
  int x, y, width, height;
  DWORD style;
  HWND AppState::*handle;
};

const ControlPlace kControls[] = {
    {kNameEdit, "EDIT", nullptr, 24, 36, 352, 16, ES_CENTER, &AppState::renderNameEdit},
    {kBrowseButton, "BUTTON", "..", 384, 33, 32, 20, BS_PUSHBUTTON, &AppState::renderBrowseButton},
    {kDurationEdit, "EDIT", "0:30", 100, 88, 64, 16, ES_CENTER, &AppState::renderDurationEdit},
    {kExportButton, "BUTTON", "書き出し", 232, 120, 84, 20, BS_PUSHBUTTON, &AppState::renderExportButton},
    {kCancelButton, "BUTTON", "キャンセル", 328, 120, 84, 20, BS_PUSHBUTTON, &AppState::renderCancelButton},
};

void Paint(HWND dialog) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(dialog, &paint);
  SetBkMode(dc, TRANSPARENT);
  SelectObject(dc, GetStockObject(WHITE_BRUSH));
  Rectangle(dc, 23, 32, 377, 38);
  Rectangle(dc, 99, 84, 165, 90);
  SetTextColor(dc, RGB(255, 255, 255));
  SelectObject(dc, g_app.dialogFont);
  const struct {
    int x, y;
    const char* text;
  } labels[] = {{24, 12, "ファイル名"}, {24, 64, "書き出し範囲"}, {48, 88, "0:00　～"}};
  for (const auto& label : labels)
    TextOutA(dc, label.x, label.y, label.text, static_cast<int>(std::strlen(label.text)));
  SelectObject(dc, GetStockObject(SYSTEM_FONT));
  EndPaint(dialog, &paint);
}

// The name edit's text, with the path rule applied, becomes the WAV path. False (the path kept)
// when the result does not fit.
bool TakeWavPath() {
  char name[kNameChars] = {};
  GetWindowTextA(g_app.renderNameEdit, name, sizeof name);
  char path[kNameChars];
  if (!BuildFilePath(name, ".wav", path, sizeof path)) return false;
  std::strcpy(g_app.renderFileName, path);
  return true;
}

LRESULT Browse(HWND dialog) {
  static const char kFilter[] = "wavファイル(*.wav)\0*.wav\0すべてのファイル(*.*)\0*.*\0";
  char chosen[kPathChars] = {};
  GetWindowTextA(g_app.renderNameEdit, chosen, kNameChars);
  std::strcpy(g_app.renderFileName, chosen);
  OPENFILENAMEA file = {};
  file.lStructSize = sizeof file;
  file.lpstrFilter = kFilter;
  file.lpstrFile = chosen;
  file.nMaxFile = kPathChars;
  // A render makes a new file: only overwriting one is confirmed.
  file.Flags = OFN_OVERWRITEPROMPT;
  if (!GetSaveFileNameA(&file)) return 0;
  char path[kNameChars];
  if (!BuildFilePath(chosen, ".wav", path, sizeof path)) {
    ShowFailedBox();
    return 0;
  }
  std::strcpy(g_app.renderFileName, path);
  SetWindowTextA(g_app.renderNameEdit, path);
  InvalidateRect(dialog, nullptr, TRUE);
  return 0;
}

// "書き込み中" on the main window while the file is written.
void ShowWriting() {
  SetDrawScreen(g_app.drawScreen);
  ClearDrawScreen(nullptr);
  ReadClientRect(g_app);
  const int32_t w = g_app.clientRect.right / 2, h = g_app.clientRect.bottom / 2;
  const char text[] = "書き込み中";
  DrawFormatString(w / 2 - static_cast<int32_t>((sizeof text - 1) / 2) * 5, h / 2 - 5, kWhite, "%s", text);
  ShowDrawScreen();
}

// The system's text for an error code, without its line end.
std::string SystemMessage(DWORD code) {
  char text[256] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, sizeof text,
                 nullptr);
  std::string message = text;
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
    message.pop_back();
  char number[32];
  std::snprintf(number, sizeof number, "error %lu", static_cast<unsigned long>(code));
  return message.empty() ? number : message + " (" + number + ")";
}

// Whether the render's file can be written, asked before anything plays: the song would
// otherwise play through the whole length only to be lost. The path is opened as the writer will
// open it (for writing, shared as the C run-time's fopen shares it), and nothing is changed: an
// existing file is opened for update, an absent one is made and goes again when closed. (A file
// made in the same folder under another name told nothing: the system's temporary-name call
// reports a name even where it could not make the file, as under /sys.) The reason when not.
bool RenderTargetWritable(const char* path, std::string& reason) {
  // The writer makes the file anew with plain attributes, which the system refuses over an
  // existing hidden or system file; an open for update is granted on such a file all the same.
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
      (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0) {
    reason = (attributes & FILE_ATTRIBUTE_HIDDEN) != 0 ? "the file is hidden" : "the file is a system file";
    reason += ", and the system does not let a new file replace it";
    return false;
  }
  constexpr DWORD kShared = FILE_SHARE_READ | FILE_SHARE_WRITE;
  HANDLE file = CreateFileA(path, GENERIC_WRITE, kShared, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND) {
    file = CreateFileA(path, GENERIC_WRITE | DELETE, kShared, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  }
  if (file == INVALID_HANDLE_VALUE) {
    reason = SystemMessage(GetLastError());
    return false;
  }
  CloseHandle(file);
  return true;
}

void ReportUnwritable(const char* path, const std::string& reason) {
  std::printf("tarvex: the render cannot write \"%s\": %s\n", path, reason.c_str());
  std::fflush(stdout);
}

// A render the program's end cut short keeps what was captured, then silence: said on the
// output and in the log, with the time it reached.
void ReportCutShort(const char* path, int32_t frames, int32_t seconds) {
  const int32_t hundredths = static_cast<int32_t>(static_cast<int64_t>(frames) * 100 / g_waveFile.sampleRate);
  char text[400];
  std::snprintf(text, sizeof text,
                "tarvex: the render to \"%s\" was cut short at %d:%02d.%02d of %d:%02d by the program's end; the "
                "rest of the file is silence\n",
                path, static_cast<int>(hundredths / 6000), static_cast<int>(hundredths / 100 % 60),
                static_cast<int>(hundredths % 100), static_cast<int>(seconds / 60), static_cast<int>(seconds % 60));
  std::fputs(text, stdout);
  std::fflush(stdout);
  AddLogString(text);
}

void PlayFromTheTop() {
  if (g_app.mode == kModeSequencer) {
    RewindSequencer();
    PlaySequencerFromTop();
  } else if (g_app.mode == kModeMdxPlayer) {
    PlayMdxSongFromTop();
  }
}

void PauseSong() {
  if (g_app.mode == kModeSequencer) PauseSequencer();
  if (g_app.mode == kModeMdxPlayer) g_app.song.Pause();
}

void Render(int32_t seconds) {
  ReadClientRect(g_app);
  g_app.renderHalfWidth = g_app.clientRect.right / 2;
  g_app.renderHalfHeight = g_app.clientRect.bottom / 2;
  std::string reason;
  if (!RenderTargetWritable(g_app.renderFileName, reason)) {
    ReportUnwritable(g_app.renderFileName, reason);
    ShowFailedBox();
    return;
  }
  if ((g_app.mode == kModeSequencer && g_songs[0].loaded == 0) ||
      !g_waveFile.AllocBuffers(static_cast<uint32_t>(seconds))) {
    ShowFailedBox();
    return;
  }
  g_app.renderRunning = 1;
  {
    // Armed only once the song stands at its top and plays, in one step the tick cannot cut.
    EngineLock lock = LockEngine();
    PlayFromTheTop();
    g_waveFile.captureIndex = 0;
    g_waveFile.armed = 1;
  }
  RunRenderProgressLoop();
  int32_t cutAt = -1;  // frames captured when the program's end stopped the render
  {
    // Off before the pause and the write: the tick would go on filling the buffers being written.
    // Read and disarmed in one step, so that a tick completing the capture meanwhile counts as
    // complete.
    EngineLock lock = LockEngine();
    if (g_waveFile.armed) cutAt = g_waveFile.captureIndex;
    g_waveFile.armed = 0;
  }
  PauseSong();
  ShowWriting();
  SetLastError(0);
  errno = 0;
  if (!g_waveFile.Write(g_app.renderFileName)) {
    // Taken from the platform's call that failed, or from the C run-time's.
    const DWORD code = GetLastError();
    ReportUnwritable(g_app.renderFileName, code != 0 ? SystemMessage(code) : std::strerror(errno));
    ShowFailedBox();
  }
  if (cutAt >= 0) ReportCutShort(g_app.renderFileName, cutAt, seconds);
  g_app.renderRunning = 0;
}

LRESULT Export(HWND dialog) {
  if (g_app.renderRunning) return 0;  // one render at a time
  if (!TakeWavPath()) {
    ShowFailedBox();
    return 0;
  }
  char duration[kDurationChars + 1] = {};
  GetWindowTextA(g_app.renderDurationEdit, duration, sizeof duration);
  const int32_t seconds = ParseTimeText(duration);
  if (seconds <= 0) return 0;
  DestroyWindow(dialog);
  Render(seconds);
  return 0;
}

LRESULT CALLBACK RenderDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint(window);
      break;
    case WM_DESTROY:
      if (window == g_app.renderDialog) {
        g_app.renderDialog = nullptr;
        for (const ControlPlace& control : kControls) g_app.*control.handle = nullptr;
      }
      return 0;
    case WM_COMMAND:
      // Only the dialog opened last acts.
      if (window != g_app.renderDialog) return 0;
      switch (LOWORD(wParam)) {
        case kCancelButton:
          DestroyWindow(window);
          return 0;
        case kBrowseButton:
          return Browse(window);
        case kExportButton:
          return Export(window);
        default:
          return 0;
      }
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

bool RegisterRenderDialogClass(HINSTANCE instance) {
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = RenderDialogProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(kWindowIcon));
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = kClassName;
  return RegisterClassExA(&windowClass) != 0;
}

void OpenRenderDialog() {
  if (IsWindow(g_app.renderDialog)) {
    ShowWindow(g_app.renderDialog, SW_RESTORE);
    SetForegroundWindow(g_app.renderDialog);
    return;
  }
  HWND dialog = CreateWindowExA(0, kClassName, kTitle, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT,
                                CW_USEDEFAULT, kDialogWidth, kDialogHeight, nullptr, nullptr, g_app.instance, nullptr);
  if (!dialog) return;
  g_app.renderDialog = dialog;
  for (const ControlPlace& control : kControls) {
    HWND child =
        CreateWindowExA(0, control.className, control.text ? control.text : g_app.renderFileName,
                        WS_CHILD | WS_VISIBLE | control.style, control.x, control.y, control.width, control.height,
                        dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), g_app.instance, nullptr);
    g_app.*control.handle = child;
    SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(g_app.dialogFont), FALSE);
  }
  ShowWindow(dialog, g_app.showCommand);
  UpdateWindow(dialog);
}
