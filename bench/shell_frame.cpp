// The shell's frame cost: the program started as WinMain starts it, a dense generated MDX song
// (eight busy FM tracks on the test instrument and a PCM track) playing on the player's real
// 10 ms timer, and 600 frames through the shell's frame function, presentation included. Printed:
// the median and the 99th-percentile frame as a share of a 60 Hz frame (16.7 ms; target 0.5), the
// longest wait of a 10 ms tick for the engine lock while the frames run (target 2 ms), and the
// longest gap between two of the player's ticks. Run without arguments, it runs itself twice: on
// the software renderer (Direct3D 11 and 9 refused) and on the default one.
#include "bench/bench_clock.h"
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/engine/mdx_player.h"
#include "app/engine/plugin_slot.h"
#include "app/shell/app_startup.h"
#include "app/shell/app_state.h"
#include "app/shell/frame_loop.h"
#include "app/shell/menu_commands.h"
#include "bench/tick_probe.h"
#include "tests/app/engine/mdx_builder.h"
#include "tests/app/engine/mdx_player_fixture.h"
#include "zovuz/zovuz.h"

namespace {

constexpr int kFrames = 600;
constexpr double kFrameMs = 1000.0 / 60.0;

std::string BuildDir() {
  const char* build = std::getenv("TARVEX_BUILD_DIR");
  return build ? build : ".";
}

// Eight FM tracks of 16th notes over two octaves and a PCM track of short samples, looping.
void WriteDenseSong() {
  MdxBuilder song;
  song.bankName = "dense";
  for (int t = 0; t < 8; ++t) {
    MdxTrack fm;
    if (t == 0) fm.Tempo(200);
    const size_t loop = fm.Here();
    for (int i = 0; i < 32; ++i) fm.Note(48 + (i * 7 + t * 3) % 24, 3);
    fm.JumpTo(loop);
    song.tracks.push_back(fm.bytes);
  }
  MdxTrack pcm;
  const size_t loop = pcm.Here();
  for (int i = 0; i < 16; ++i) pcm.Sample(i % 2, 6);
  pcm.JumpTo(loop);
  song.tracks.push_back(pcm.bytes);
  WriteTestFile("dense.mdx", song.Build());
  WriteTestFile("dense.pdx", BuildPdx({{0, std::vector<uint8_t>(2000, 0x19)}, {1, std::vector<uint8_t>(2000, 0x91)}}));
}

void CopyImages() {
  CreateDirectoryA("IMG", nullptr);
  for (const char* name : {"edit_button", "onoff_button", "TRANSPORTS", "PLUSMINUS", "MUTESOLO", "TRANSPORTS_BACK"}) {
    const std::string from = BuildDir() + "/IMG/" + name + ".png", to = std::string("IMG/") + name + ".png";
    CopyFileA(from.c_str(), to.c_str(), FALSE);
  }
}

double Percentile(std::vector<double> values, double share) {
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, static_cast<size_t>(share * values.size()))];
}

int RunOnce(const char* renderer) {
  CopyImages();
  DeleteFileA("tarvex.ini");  // no project: the bench loads its own instruments
  WriteDenseSong();
  g_app.instance = GetModuleHandleA(nullptr);
  g_app.showCommand = SW_SHOWNORMAL;
  if (std::strcmp(renderer, "software") == 0) SetUseHardwareRenderFlag(0);
  if (InitLibraryAndScreen() != 0 || !InitGuiResources() || !StartAppEngines()) {
    std::printf("shell_frame (%s): the program did not start\n", renderer);
    return 1;
  }
  const std::string instrument = BuildDir() + "/testbin/tp_vornalt.dll";
  for (int t = 0; t < 8; ++t) LoadPlugin(t, 0, instrument.c_str());
  OpenSongFile("dense.mdx");

  // The player's ticks, seen through the clock reading each one stores.
  std::atomic<bool> stop{false};
  std::atomic<uint64_t> longestGap{0};
  std::thread watcher([&] {
    uint64_t last = g_mdx.state.lastClock;
    while (!stop) {
      const uint64_t now = g_mdx.state.lastClock;
      if (now > last) {
        if (last != 0 && now - last > longestGap) longestGap = now - last;
        last = now;
      }
      Sleep(1);
    }
  });
  TickProbe probe([] {});
  ProcessMessage();
  for (int i = 0; i < 30; ++i) RunFrame();  // warm-up: the glyph caches fill
  longestGap = 0;
  probe.Start();
  std::vector<double> frames;
  for (int i = 0; i < kFrames; ++i) {
    const double start = BenchSeconds();
    if (RunFrame() != 0) break;
    frames.push_back((BenchSeconds() - start) * 1000.0);
  }
  probe.Stop();
  stop = true;
  watcher.join();
  if (frames.empty()) {
    std::printf("shell_frame (%s): no frame ran\n", renderer);
    return 1;
  }
  std::printf(
      "shell_frame (%s): %zu frames, median %.2f ms (%.3f of 16.7 ms), 99th percentile %.2f ms (%.3f; target 0.5)\n",
      renderer, frames.size(), Percentile(frames, 0.5), Percentile(frames, 0.5) / kFrameMs, Percentile(frames, 0.99),
      Percentile(frames, 0.99) / kFrameMs);
  std::printf(
      "shell_frame (%s): longest engine-lock wait of a 10 ms tick %.2f ms (target 2 ms); longest gap between the "
      "player's ticks %.2f ms\n",
      renderer, probe.LongestWaitMs(), longestGap / 1000.0);
  ShutDownApp();
  LibraryEnd();
  return 0;
}

// Runs this program again for one renderer and waits for it.
int RunChild(const char* renderer) {
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string command = std::string("\"") + self + "\" " + renderer;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) return 1;
  if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2) return RunOnce(argv[1]);
  // One program at a time owns the main window.
  return RunChild("software") | RunChild("default");
}
