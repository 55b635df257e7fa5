// The program's processor use: tarvex.exe started by the application driver in a folder of its
// own, measured as the processor time of its process per second of wall time: 10 s idle with
// nothing loaded, 2 s minimised, and 10 s playing an example song; beside it, in the same run, 5 s
// of a bare loop of the same platform that presents a window of the same client size at 60 Hz (the
// software renderer's reference copies a 1920 x 1080 image to the window with GDI, as its present
// does; Direct3D 11's clears and presents a swap chain of the client's size). One renderer a
// program, so that each takes about half a minute: bench_program_run runs the software renderer,
// bench_program_run_d3d11 (this file built with TARVEX_BENCH_PROGRAM_RUN_D3D11) Direct3D 11.
// Targets: idle on the software renderer at most 0.15 of a core; idle on Direct3D 11 at most 1.3
// times its bare loop. Each also prints the frames it showed a second
// (counted on its window) and the processor time of a frame, which holds on a busy machine where
// a renderer that draws on the processor falls short of the display's rate, and the idle share of
// each busy thread (the main thread; Wine's own threads by their names, the program's others by
// their place in the order the threads started).
#include "bench/support/bench_clock.h"
#include <windows.h>
#include <d3d11.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/shell/resource_ids.h"
#include "tests/support/program_frames.h"
#include "tools/app_driver/app_driver.h"

namespace {

constexpr int kIdleMs = 10000, kMinimisedMs = 2000, kPlayingMs = 10000, kBareMs = 5000;
constexpr int kSettleMs = 1000;      // after a start or a change, before measuring
constexpr int kBareLimitMs = 30000;  // a bare loop nobody closes ends by itself after this
constexpr int kScreenWidth = 1920, kScreenHeight = 1080;
constexpr double kFramePeriod = 1.0 / 60.0;

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::string BuildDir() {
  const char* build = std::getenv("TARVEX_BUILD_DIR");
  return build ? build : ".";
}

// The machine's load average over the last minute (the figures depend on it), or "?".
std::string LoadAverage() {
  char text[64] = {};
  if (FILE* file = std::fopen("Z:\\proc\\loadavg", "r")) {
    if (!std::fgets(text, sizeof text, file)) text[0] = 0;
    std::fclose(file);
  }
  const char* space = std::strchr(text, ' ');
  return space ? std::string(static_cast<const char*>(text), space) : "?";
}

// Wine reports no processor time for another process, and the renderer's own threads (Mesa's)
// are unknown to it: the time is read from the process's Linux entry instead, found by the
// command line Wine gives it (the program's Windows path and arguments, separated by NULs).
constexpr double kLinuxTicksPerSecond = 100.0;  // the kernel's USER_HZ

std::string ReadWhole(const std::string& path) {
  std::string text;
  if (FILE* file = std::fopen(path.c_str(), "rb")) {
    char block[4096];
    for (size_t n; (n = std::fread(block, 1, sizeof block, file)) > 0;) text.append(block, n);
    std::fclose(file);
  }
  return text;
}

// The Linux process id of the process started with this command line (words separated by one
// space), or 0.
int FindProcess(const std::string& command) {
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA("Z:\\proc\\*", &entry);
  if (find == INVALID_HANDLE_VALUE) return 0;
  int found = 0;
  do {
    const int pid = std::atoi(entry.cFileName);
    if (pid <= 0) continue;
    std::string line = ReadWhole("Z:\\proc\\" + std::to_string(pid) + "\\cmdline");
    for (char& c : line)
      if (c == '\0') c = ' ';
    while (!line.empty() && line.back() == ' ') line.pop_back();
    if (line == command) found = pid;
  } while (!found && FindNextFileA(find, &entry));
  FindClose(find);
  return found;
}

// User and system time in a Linux process's or thread's stat line, in seconds; -1 without one.
double StatSeconds(const std::string& stat) {
  const size_t name = stat.rfind(')');  // the name may hold spaces
  if (name == std::string::npos) return -1;
  // Fields after the name: state is the 3rd of the line, utime and stime the 14th and 15th.
  const char* p = stat.c_str() + name + 2;
  for (int field = 3; field < 14 && *p; ++field) p = std::strchr(p, ' ') ? std::strchr(p, ' ') + 1 : "";
  char* end = nullptr;
  const double user = std::strtod(p, &end), system = std::strtod(end, nullptr);
  return (user + system) / kLinuxTicksPerSecond;
}

// User and system time of a Linux process (all its threads), in seconds; -1 when it is gone.
double ProcessSeconds(int pid) { return StatSeconds(ReadWhole("Z:\\proc\\" + std::to_string(pid) + "\\stat")); }

// The processor seconds of each thread of a Linux process by thread id (the order they started
// in), with the thread's Linux name: Wine's own threads have theirs; the program's all carry the
// program's.
struct ThreadTime {
  std::string name;
  double seconds;
};

std::map<int, ThreadTime> ThreadSeconds(int pid) {
  std::map<int, ThreadTime> threads;
  const std::string tasks = "Z:\\proc\\" + std::to_string(pid) + "\\task\\";
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA((tasks + "*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return threads;
  do {
    const int tid = std::atoi(entry.cFileName);
    if (tid <= 0) continue;
    const double seconds = StatSeconds(ReadWhole(tasks + entry.cFileName + "\\stat"));
    std::string name = ReadWhole(tasks + entry.cFileName + "\\comm");
    while (!name.empty() && (name.back() == '\n' || name.back() == ' ')) name.pop_back();
    if (seconds >= 0) threads[tid] = {name, seconds};
  } while (FindNextFileA(find, &entry));
  FindClose(find);
  return threads;
}

// The threads that took at least 0.002 of a core between two readings, the busiest first: the
// main thread by that name, the others by name and place in the start order.
std::string BusyThreads(int pid, const std::map<int, ThreadTime>& before, const std::map<int, ThreadTime>& after,
                        double wall) {
  std::vector<std::pair<double, std::string>> busy;
  int order = 0;
  for (const auto& [tid, time] : after) {
    ++order;
    const auto earlier = before.find(tid);
    const double share = (time.seconds - (earlier != before.end() ? earlier->second.seconds : 0)) / wall;
    if (share < 0.002) continue;
    busy.emplace_back(share, tid == pid ? std::string("main") : time.name + " #" + std::to_string(order));
  }
  std::sort(busy.rbegin(), busy.rend());
  std::string text;
  char share[16];
  for (const auto& [value, name] : busy) {
    std::snprintf(share, sizeof share, " %.3f", value);
    text += (text.empty() ? "" : ", ") + name + share;
  }
  return text;
}

// The process's processor seconds per wall second over the next `ms`; -1 when it cannot be read.
double CoreShare(int pid, int ms) {
  const double cpu = ProcessSeconds(pid), wall = BenchSeconds();
  Sleep(ms);
  const double after = ProcessSeconds(pid);
  return cpu < 0 || after < 0 ? -1 : (after - cpu) / (BenchSeconds() - wall);
}

// Frames shown so far, as the program gives them when asked (the bare loop answers the same way).
double Frames(HWND window) { return static_cast<double>(ReadProgramFrames(window)); }

// What a process uses over the next `ms`: processor share (or -1 when it cannot be read) and the
// frames its window showed per second.
struct Use {
  double share, fps;
  double MilliSecondsPerFrame() const { return fps > 0 && share >= 0 ? share * 1000.0 / fps : -1; }
};

Use MeasureUse(int pid, HWND window, int ms) {
  const double frames = Frames(window), wall = BenchSeconds();
  const double share = CoreShare(pid, ms);
  return {share, (Frames(window) - frames) / (BenchSeconds() - wall)};
}

// ---- The bare loops (run as a child of this program) ------------------------------------------

ULONG_PTR bareFrames = 0;

LRESULT CALLBACK BareWindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  static const UINT framesAsked = RegisterWindowMessageW(L"tarvex.frames");
  if (message == framesAsked) SetPropW(window, L"tarvex.frames", reinterpret_cast<HANDLE>(bareFrames));
  return DefWindowProcW(window, message, w, l);
}

HWND MakeBareWindow(int width, int height) {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = BareWindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"tarvex bare loop";
  RegisterClassW(&windowClass);
  RECT rect = {0, 0, width, height};
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  AdjustWindowRect(&rect, style, FALSE);
  HWND window = CreateWindowW(L"tarvex bare loop", L"tarvex bare loop", style, 0, 0, rect.right - rect.left,
                              rect.bottom - rect.top, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ShowWindow(window, SW_SHOWNORMAL);
  return window;
}

// Frames at 60 Hz until the window is closed (or `seconds` have passed): the window's messages,
// `present`, then a sleep to the next frame's time.
template <typename Present>
void RunAt60Hz(double seconds, Present present) {
  const double start = BenchSeconds();
  double due = start;
  HWND window = FindWindowW(L"tarvex bare loop", nullptr);
  for (bareFrames = 0; BenchSeconds() - start < seconds;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    if (!IsWindow(window)) break;
    present();
    ++bareFrames;
    due += kFramePeriod;
    const double rest = due - BenchSeconds();
    if (rest > 0)
      Sleep(static_cast<DWORD>(rest * 1000.0 + 0.999));
    else
      due = BenchSeconds();
  }
}

int BareGdiLoop(HWND window, double seconds) {
  struct {
    BITMAPINFOHEADER header;
    DWORD masks[3];
  } info = {};
  info.header.biSize = sizeof info.header;
  info.header.biWidth = kScreenWidth;
  info.header.biHeight = -kScreenHeight;
  info.header.biPlanes = 1;
  info.header.biBitCount = 32;
  info.header.biCompression = BI_BITFIELDS;
  info.masks[0] = 0xFF0000, info.masks[1] = 0xFF00, info.masks[2] = 0xFF;
  std::string pixels(static_cast<size_t>(kScreenWidth) * kScreenHeight * 4, '\x18');
  RunAt60Hz(seconds, [&] {
    HDC dc = GetDC(window);
    SetDIBitsToDevice(dc, 0, 0, kScreenWidth, kScreenHeight, 0, 0, 0, kScreenHeight, pixels.data(),
                      reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS);
    ReleaseDC(window, dc);
  });
  return 0;
}

int BareD3D11Loop(HWND window, int width, int height, double seconds) {
  HMODULE module = LoadLibraryW(L"d3d11.dll");
  auto create = module ? reinterpret_cast<PFN_D3D11_CREATE_DEVICE_AND_SWAP_CHAIN>(
                             GetProcAddress(module, "D3D11CreateDeviceAndSwapChain"))
                       : nullptr;
  if (!create) return 1;
  DXGI_SWAP_CHAIN_DESC desc = {};
  desc.BufferDesc.Width = width;
  desc.BufferDesc.Height = height;
  desc.BufferDesc.RefreshRate = {60, 1};
  desc.BufferDesc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
  desc.SampleDesc.Count = 1;
  desc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
  desc.BufferCount = 2;
  desc.OutputWindow = window;
  desc.Windowed = TRUE;
  desc.SwapEffect = DXGI_SWAP_EFFECT_DISCARD;
  IDXGISwapChain* chain = nullptr;
  ID3D11Device* device = nullptr;
  ID3D11DeviceContext* context = nullptr;
  if (FAILED(create(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION, &desc, &chain,
                    &device, nullptr, &context)))
    return 1;
  ID3D11Texture2D* buffer = nullptr;
  ID3D11RenderTargetView* target = nullptr;
  chain->GetBuffer(0, __uuidof(ID3D11Texture2D), reinterpret_cast<void**>(&buffer));
  device->CreateRenderTargetView(buffer, nullptr, &target);
  const FLOAT background[4] = {24 / 255.0f, 24 / 255.0f, 24 / 255.0f, 1.0f};
  RunAt60Hz(seconds, [&] {
    context->ClearRenderTargetView(target, background);
    chain->Present(1, 0);
  });
  target->Release();
  buffer->Release();
  context->Release();
  chain->Release();
  device->Release();
  return 0;
}

int RunBare(const char* renderer, int width, int height) {
  HWND window = MakeBareWindow(width, height);
  const double seconds = kBareLimitMs / 1000.0;
  return std::strcmp(renderer, "software") == 0 ? BareGdiLoop(window, seconds)
                                                : BareD3D11Loop(window, width, height, seconds);
}

// ---- The program -------------------------------------------------------------------------------

// A folder with the program (a copy, named for the renderer: its path tells its process from
// others, and Wine's settings for it by that name), the interface images and the example song,
// nothing loaded at start.
std::string PrepareFolder(const char* renderer, const std::string& program) {
  char here[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, here);
  const std::string folder = std::string(here) + "\\" + renderer;
  CreateDirectoryA(folder.c_str(), nullptr);
  CreateDirectoryA((folder + "\\IMG").c_str(), nullptr);
  for (const char* name : {"edit_button", "onoff_button", "TRANSPORTS", "PLUSMINUS", "MUTESOLO", "TRANSPORTS_BACK"})
    CopyFileA((BuildDir() + "/IMG/" + name + ".png").c_str(), (folder + "\\IMG\\" + name + ".png").c_str(), FALSE);
  for (const char* name : {"adpcm_groove.mdx", "adpcm_groove.pdx"})
    CopyFileA((BuildDir() + "/examples/" + name).c_str(), (folder + "\\" + name).c_str(), FALSE);
  CopyFileA((BuildDir() + "/tarvex.exe").c_str(), (folder + "\\" + program).c_str(), FALSE);
  DeleteFileA((folder + "\\tarvex.ini").c_str());
  return folder;
}

// Runs the bare loop of `renderer` as a child, measures it once its window is up, then closes the
// window, which ends the child: processor share (-1 when it failed) and frames a second.
Use MeasureBare(const char* renderer, int width, int height) {
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  const std::string arguments =
      std::string(" bare ") + renderer + " " + std::to_string(width) + " " + std::to_string(height);
  std::string command = std::string("\"") + self + "\"" + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return {-1, 0};
  HWND window = nullptr;
  for (const double start = BenchSeconds(); !window && BenchSeconds() - start < 20.0; Sleep(10))
    window = FindWindowW(L"tarvex bare loop", nullptr);
  Sleep(kSettleMs);
  const Use use = MeasureUse(FindProcess(self + arguments), window, kBareMs);
  if (window) PostMessageW(window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code == 0 ? use : Use{-1, 0};
}

int MeasureRenderer(const char* renderer, const char* title) {
  const std::string name = std::string("tarvex_") + renderer + ".exe";
  const std::string folder = PrepareFolder(renderer, name), program = folder + "\\" + name;
  // The software renderer: Wine refuses Direct3D 11 and 9 to this program (a child takes Wine's
  // DLL settings from its settings, not from the environment the driver gives it).
  const std::string settings = "Software\\Wine\\AppDefaults\\" + name, overrides = settings + "\\DllOverrides";
  if (std::strcmp(renderer, "software") == 0) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, overrides.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) ==
        ERROR_SUCCESS) {
      for (const char* dll : {"d3d11", "d3d9"}) RegSetValueExA(key, dll, 0, REG_SZ, (const BYTE*)"", 1);
      RegCloseKey(key);
    }
  }
  AppDriver driver;
  const bool started = driver.Start(Wide(program), Wide(folder), {});
  Sleep(kSettleMs);  // the renderer chosen
  RegDeleteKeyA(HKEY_CURRENT_USER, overrides.c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, settings.c_str());
  if (!started) {
    std::printf("program_run (%s): the program did not start\n", title);
    return 1;
  }
  RECT client = {};
  GetClientRect(driver.MainWindow(), &client);
  const int pid = FindProcess(program);
  Sleep(kSettleMs);
  const std::map<int, ThreadTime> threadsBefore = ThreadSeconds(pid);
  const double idleStart = BenchSeconds();
  const Use idleUse = MeasureUse(pid, driver.MainWindow(), kIdleMs);
  const std::string idleThreads = BusyThreads(pid, threadsBefore, ThreadSeconds(pid), BenchSeconds() - idleStart);
  const double idle = idleUse.share;

  ShowWindow(driver.MainWindow(), SW_MINIMIZE);
  Sleep(kSettleMs);
  const double minimised = CoreShare(pid, kMinimisedMs);
  ShowWindow(driver.MainWindow(), SW_RESTORE);

  double playing = -1;
  if (driver.PostMenuForDialog(TARVEX_CMD_OPEN_SONG) && driver.AnswerFileDialog(Wide(folder + "\\adpcm_groove.mdx"))) {
    Sleep(kSettleMs);
    playing = CoreShare(pid, kPlayingMs);
  }
  driver.PostMenu(TARVEX_CMD_EXIT);
  driver.WaitForExit(20000);

  const Use bareUse = MeasureBare(renderer, client.right, client.bottom);
  const double bare = bareUse.share;
  const std::string label = std::string("idle (") + title + ")";
  PrintBenchRatio(label.c_str(), idle, "bare 60 Hz present loop", bare, "cores");
  std::printf(
      "program_run (%s): idle %.3f of a core%s, minimised %.3f, playing %.3f; bare loop (%ld x %ld client) %.3f; load "
      "average %s\n",
      title, idle, std::strcmp(renderer, "software") == 0 ? " (target <= 0.15)" : "", minimised, playing, client.right,
      client.bottom, bare, LoadAverage().c_str());
  // On a busy machine a renderer that draws on the processor shows fewer frames than asked, and
  // its share then tells little: the processor time of a frame does.
  std::printf("program_run (%s): idle %.1f frames a second, %.2f ms of processor a frame; bare loop %.1f, %.2f ms\n",
              title, idleUse.fps, idleUse.MilliSecondsPerFrame(), bareUse.fps, bareUse.MilliSecondsPerFrame());
  std::printf("program_run (%s): idle by thread (cores): %s\n", title, idleThreads.c_str());
  if (std::strcmp(renderer, "software") != 0) {
    std::printf("program_run (%s): idle / bare loop %.2f (target <= 1.3)\n", title, idle / bare);
    PrintBenchRatio("idle a frame (Direct3D 11)", idleUse.MilliSecondsPerFrame(), "bare loop a frame",
                    bareUse.MilliSecondsPerFrame(), "ms");
  }
  return idle < 0 || playing < 0 || bare < 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "bare") == 0) return RunBare(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
#ifdef TARVEX_BENCH_PROGRAM_RUN_D3D11
  return MeasureRenderer("default", "Direct3D 11");
#else
  return MeasureRenderer("software", "software");
#endif
}
