// The program's end as the user sees it: tarvex.exe started in a working folder of its own (the
// test instrument in the eight instrument tracks, the windows of two of them open, a song
// playing), then File → Exit (終了). Printed: the time from the command to the main window gone
// from the screen and to the process's end, the median of a few runs (three, or fewer when the
// first ones took more than 25 s), beside the same two times
// of a bare program of this benchmark that makes one window of the same size and ends on the
// same command (what the platform itself takes to take a window away and end a process).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/shell/resource_ids.h"
#include "bench/support/bench_clock.h"
#include "bench/support/bench_programs.h"
#include "tests/support/test_paths.h"
#include "tools/app_driver/app_driver.h"

namespace {

constexpr int kRounds = 3;
constexpr double kRoundsSeconds = 25.0;  // no round starts after this
constexpr int kBareWidth = 1299, kBareHeight = 755;

// --- the bare program: one window "tarvex" that ends on the Exit command -------------------------

LRESULT CALLBACK BareWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && LOWORD(wParam) == TARVEX_CMD_EXIT) DestroyWindow(window);
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(window, message, wParam, lParam);
}

int RunBareProgram() {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = BareWindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // the arrow
  windowClass.lpszClassName = L"tarvex";
  if (!RegisterClassW(&windowClass)) return 1;
  HWND window = CreateWindowExW(0, L"tarvex", L"tarvex", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, kBareWidth,
                                kBareHeight, nullptr, nullptr, windowClass.hInstance, nullptr);
  if (!window) return 1;
  ShowWindow(window, SW_SHOWNORMAL);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}

// --- the working folder ----------------------------------------------------------------------------

// The interface images, the test instrument, a song and its samples from the build folder; a
// project with the instrument in tracks 0-7 and the windows of tracks 0 and 1 open, reopened at
// start.
bool PrepareFolder(const std::wstring& folder) {
  if (!PrepareProgramFolder(folder, {"first_steps.zms", "drums.zpdlist", "kick.wav", "snare.wav", "hat.wav"}))
    return false;
  std::string track = "[Track]\r\n", bus = "[Bus]\r\n";
  for (int t = 0; t < 8; ++t) {
    char line[160];
    std::snprintf(line, sizeof line,
                  "Tr%02dSl00VST=.\\VSTPlugins\\tp_tone.dll\r\nTr%02dSl00PosX=1500\r\nTr%02dSl00PosY=%d\r\n", t, t, t,
                  40 + 300 * t);
    track += line;
    std::snprintf(line, sizeof line, "Tr%02dEf00EditButton=%s\r\n", t, t < 2 ? "true" : "false");
    bus += line;
  }
  return WriteTextFile(folder + L"\\exit.tvx", track + bus) &&
         WriteTextFile(folder + L"\\tarvex.ini", "[config]\r\ninipj=.\\exit.tvx\r\n");
}

// --- one run ---------------------------------------------------------------------------------------

struct ExitTimes {
  double windowGone = -1;  // seconds from the command
  double processEnd = -1;
};

bool MainWindowShown(HWND window) { return IsWindow(window) && IsWindowVisible(window); }

// Exit posted to the running program; both times measured by polling every millisecond or two.
ExitTimes MeasureExit(AppDriver& driver) {
  ExitTimes times;
  HWND window = driver.MainWindow();
  const double start = BenchSeconds();
  driver.PostMenu(TARVEX_CMD_EXIT);
  while (BenchSeconds() - start < 30.0) {
    const double now = BenchSeconds() - start;
    if (times.windowGone < 0 && !MainWindowShown(window)) times.windowGone = now;
    if (WaitForSingleObject(driver.Process(), 1) == WAIT_OBJECT_0) {
      times.processEnd = BenchSeconds() - start;
      if (times.windowGone < 0) times.windowGone = times.processEnd;
      break;
    }
  }
  return times;
}

// Whether the instrument of track 0 has been sent a note since the program started (its log,
// which the test instrument writes to TARVEX_TP_LOG_DIR).
bool NotePlayed(const std::wstring& logFolder) {
  HANDLE file = CreateFileW((logFolder + L"\\tp_tone-0.log").c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::string text(1 << 16, '\0');
  DWORD read = 0;
  ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &read, nullptr);
  CloseHandle(file);
  text.resize(read);
  return text.find("\nmidi 9") != std::string::npos;
}

bool StartTarvex(AppDriver& driver, const std::wstring& folder) {
  const std::wstring logs = folder + L"\\tplog";
  DeleteFileW((logs + L"\\tp_tone-0.log").c_str());
  CreateDirectoryW(logs.c_str(), nullptr);
  driver.SendOutputTo(folder + L"\\output.txt");  // the program's own lines, for a look afterwards
  if (!driver.Start(BenchWide(TestBuildDir() + "/tarvex.exe"), folder, {{L"TARVEX_TP_LOG_DIR", logs}}, 30000)) return false;
  // The project's two windows, then the song's notes: the program is past its loads and takes
  // commands.
  if (!WaitUntil([&] { return driver.FindWindowOf(L"vst00") && driver.FindWindowOf(L"vst10"); }, 20000)) return false;
  if (!driver.PostMenuForDialog(TARVEX_CMD_OPEN_SONG) || !driver.AnswerFileDialog(folder + L"\\first_steps.zms"))
    return false;
  if (!WaitUntil([&] { return NotePlayed(logs); }, 20000)) return false;
  Sleep(1000);
  return driver.Running();
}

bool StartBare(AppDriver& driver) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  // The driver runs the program without arguments: the bare program is asked for by variable.
  return driver.Start(self, L"", {{L"TARVEX_BENCH_BARE", L"1"}}, 20000);
}

double Median(const std::vector<double>& values) { return BenchMedian(values, -1); }

}  // namespace

int main() {
  char bare[4] = {};
  if (GetEnvironmentVariableA("TARVEX_BENCH_BARE", bare, sizeof bare) == 1 && bare[0] == '1') return RunBareProgram();

  wchar_t here[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, here);
  const std::wstring folder = std::wstring(here) + L"\\exit_run";
  if (!PrepareFolder(folder)) return 1;

  std::vector<double> ours[2], reference[2];
  const double start = BenchSeconds();
  for (int round = 0; round < kRounds && (round == 0 || BenchSeconds() - start < kRoundsSeconds); ++round) {
    AppDriver program;
    if (!StartTarvex(program, folder)) {
      std::printf("tarvex.exe did not start, open its plug-in windows or play the song\n");
      return 1;
    }
    const ExitTimes exit = MeasureExit(program);
    if (exit.processEnd < 0) {
      std::printf("tarvex.exe did not end within 30 s of Exit\n");
      return 1;
    }
    ours[0].push_back(exit.windowGone);
    ours[1].push_back(exit.processEnd);

    AppDriver bareProgram;
    if (!StartBare(bareProgram)) {
      std::printf("the bare program did not start\n");
      return 1;
    }
    Sleep(500);
    const ExitTimes bareExit = MeasureExit(bareProgram);
    reference[0].push_back(bareExit.windowGone);
    reference[1].push_back(bareExit.processEnd);
    std::printf("run %d: tarvex window gone %.0f ms, ended %.0f ms; bare window gone %.0f ms, ended %.0f ms\n",
                round + 1, 1000 * exit.windowGone, 1000 * exit.processEnd, 1000 * bareExit.windowGone,
                1000 * bareExit.processEnd);
  }
  PrintBenchRatio("Exit: window gone (median)", 1000 * Median(ours[0]), "bare window gone", 1000 * Median(reference[0]),
                  "ms");
  PrintBenchRatio("Exit: process ended (median)", 1000 * Median(ours[1]), "bare process ended",
                  1000 * Median(reference[1]), "ms");
  return 0;
}
