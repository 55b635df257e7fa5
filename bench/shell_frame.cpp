// The shell's frame cost: the program started as WinMain starts it, with the whole window drawn
// (both side panes shown, the 8 FM tracks' instruments and 16 inserts loaded), a dense generated
// MDX song (eight busy FM tracks on the test instrument and a PCM track) playing on the player's
// real 10 ms timer, and frames through the shell's frame function, presentation included.
// Printed: the median and the 99th-percentile frame as a share of a 60 Hz frame (16.7 ms; target
// 0.5), the longest wait of a 10 ms tick for the engine lock while the frames run (target 2 ms),
// also while instruments load from the instrument pane, and the longest gap between two of the
// player's ticks. Then the same frames in MML mode on a ".zms" of 16 tracks x 2,000 notes (half of
// them plain notes, some reaching far to the right, half tied into the next; the sample tracks
// show a sample's waveform), and the piano roll alone on that song and on one of twice the notes:
// the roll's cost should at most double (target ratio <= 2). Run without arguments, it runs itself
// twice: on the software renderer (Direct3D 11 and 9 refused) and on the default one.
// Each frame is measured twice: its wall time, and the processor time of the drawing thread, which
// a busy machine does not lengthen by taking the processor away. Beside the frames, in turn with
// them, runs the reference: a bare frame that clears and shows the draw screen with nothing drawn,
// measured the same way; its percentiles show what the machine adds to the same work.
#include "bench/support/bench_clock.h"
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/engine/mdx/mdx_player.h"
#include "app/engine/plugin/plugin_slot.h"
#include "app/shell/app_startup.h"
#include "app/shell/app_state.h"
#include "app/shell/frame_input.h"
#include "app/shell/frame_loop.h"
#include "app/shell/menu_commands.h"
#include "app/shell/panes/side_panes.h"
#include "app/shell/tracks/track_views.h"
#include "bench/support/bench_programs.h"
#include "bench/support/thread_clock.h"
#include "bench/support/tick_probe.h"
#include "tools/song_writer/mdx_builder.h"
#include "tests/app/engine/mdx_player_fixture.h"
#include "zovuz/zovuz.h"

namespace {

// Frames of each kind: enough on the software renderer for a 99th percentile of the program, not
// of one spike of the machine; the default renderer draws on the processor too here (llvmpipe),
// at many times the cost. A run of frames also ends after its seconds: a slower machine then draws
// fewer frames rather than taking longer.
constexpr int kSoftwareFrames = 1000, kDefaultFrames = 200;
constexpr double kSoftwareSeconds = 4.0, kDefaultSeconds = 6.0;
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

// 16 tracks of `notes` notes each: a repeated group of four plain notes (two of them a half and a
// whole note long) and four tied into the next. Tracks 9-16 play the one sample of a short list.
void WriteDenseMml(const char* name, int notes) {
  std::string wave = "RIFF";
  auto le = [&wave](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) wave += static_cast<char>(v >> (8 * i));
  };
  const int frames = 22050;
  le(36 + 2 * frames, 4);
  wave += "WAVEfmt ";
  le(16, 4), le(1, 2), le(1, 2), le(44100, 4), le(88200, 4), le(2, 2), le(16, 2);
  wave += "data";
  le(2 * frames, 4);
  for (int i = 0; i < frames; ++i) le(static_cast<uint16_t>((i / 40) % 2 ? -12000 : 12000), 2);
  WriteTestFile("dense.wav", std::vector<uint8_t>(wave.begin(), wave.end()));
  const std::string list = "Zkitlist!4 c dense.wav\r\n";
  WriteTestFile("dense.zpdlist", std::vector<uint8_t>(list.begin(), list.end()));
  std::string text = ".a=dense.zpdlist\r\n";
  for (int t = 1; t <= 16; ++t) {
    text += "(t" + std::to_string(t) + ") t120 o4 ";
    for (int i = 0; i < notes / 8; ++i) text += "c16 e2 g16 b1 d16 & e16 & f16 & a16 & ";
    text += "c16\r\n";
  }
  WriteTestFile(name, std::vector<uint8_t>(text.begin(), text.end()));
}

// The piano roll alone, drawn `count` times: the drawing thread's processor milliseconds of the
// cheapest drawing, the one a busy machine disturbed least (its median moves by half from one run
// to the next).
double RollMs(int count) {
  std::vector<double> times;
  for (int i = 0; i < count; ++i) {
    SetDrawScreen(g_app.drawScreen);
    ClearDrawScreen(nullptr);
    const double start = ThreadSeconds();
    DrawSequencerTrackView(0);
    times.push_back((ThreadSeconds() - start) * 1000.0);
  }
  return *std::min_element(times.begin(), times.end());
}

void CopyImages() {
  CreateDirectoryA("IMG", nullptr);
  for (const char* name : {"edit_button", "onoff_button", "TRANSPORTS", "PLUSMINUS", "MUTESOLO", "TRANSPORTS_BACK"}) {
    const std::string from = BuildDir() + "/IMG/" + name + ".png", to = std::string("IMG/") + name + ".png";
    CopyFileA(from.c_str(), to.c_str(), FALSE);
  }
}

// The instrument pane's file dialog, answered with the instrument of the next load.
std::string g_paneAnswer;
bool AnswerPaneDialog(PluginDialogKind, char (&path)[kPathChars]) {
  std::snprintf(path, kPathChars, "%s", g_paneAnswer.c_str());
  return true;
}

// A click on row `row` of the instrument pane, as the pane's update sees it, and its release.
void ClickInstrumentRow(int row) {
  const PaneRect& p = g_app.instrumentPane;
  g_frameInput.windowActive = 1;
  g_app.mouse = MouseState{MOUSE_INPUT_LEFT, p.x + 60, p.y + 16 + 14 * row + 5};
  UpdateInstrumentPane(p.x, p.y, p.width);
  g_app.mouse = MouseState{0, 0, 0};
  UpdateInstrumentPane(p.x, p.y, p.width);
}

double Percentile(std::vector<double> values, double share) {
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, static_cast<size_t>(share * values.size()))];
}

// Milliseconds of each frame: wall time and the drawing thread's processor time.
struct FrameTimes {
  std::vector<double> wall, cpu;

  template <typename Frame>
  bool Add(Frame frame) {
    const double cpuStart = ThreadSeconds(), start = BenchSeconds();
    if (frame() != 0) return false;
    const double end = BenchSeconds(), cpuEnd = ThreadSeconds();
    wall.push_back((end - start) * 1000.0);
    cpu.push_back((cpuEnd - cpuStart) * 1000.0);
    return true;
  }
};

// The reference: the frame's clear and presentation with nothing drawn, and the window's messages.
int BareFrame() {
  SetDrawScreen(g_app.drawScreen);
  ClearDrawScreen(nullptr);
  ShowDrawScreen();
  return ProcessMessage() == 0 ? 0 : 1;
}

struct FrameRun {
  FrameTimes frames, bare;
};

// `count` frames of the shell, each followed by a bare frame, or fewer once `seconds` have passed.
FrameRun RunFrames(int count, double seconds) {
  FrameRun run;
  const double start = BenchSeconds();
  for (int i = 0; i < count && BenchSeconds() - start < seconds; ++i) {
    if (!run.frames.Add(RunFrame) || !run.bare.Add(BareFrame)) break;
  }
  return run;
}

void PrintShares(const char* renderer, const char* what, const std::vector<double>& ms, const char* target) {
  const double median = Percentile(ms, 0.5), high = Percentile(ms, 0.99);
  std::printf("shell_frame (%s):   %-40s median %6.2f ms (%.3f of 16.7 ms), 99th percentile %6.2f ms (%.3f%s)\n",
              renderer, what, median, median / kFrameMs, high, high / kFrameMs, target);
}

// The frames' figures beside the reference's, wall and processor time.
void PrintRun(const char* renderer, const FrameRun& run) {
  std::printf(
      "shell_frame (%s):   each frame followed by a bare one (cleared and shown, nothing drawn); processor "
      "time of the drawing thread from %s\n",
      renderer, ThreadClockName());
  PrintShares(renderer, "frame, wall time:", run.frames.wall, "; target 0.5");
  PrintShares(renderer, "frame, processor time:", run.frames.cpu, "; target 0.5");
  PrintShares(renderer, "bare frame (reference), wall time:", run.bare.wall, "");
  PrintShares(renderer, "bare frame (reference), processor time:", run.bare.cpu, "");
  std::printf(
      "shell_frame (%s):   99th percentile over median: frame %.2f wall, %.2f processor; bare frame %.2f "
      "wall, %.2f processor\n",
      renderer, Percentile(run.frames.wall, 0.99) / Percentile(run.frames.wall, 0.5),
      Percentile(run.frames.cpu, 0.99) / Percentile(run.frames.cpu, 0.5),
      Percentile(run.bare.wall, 0.99) / Percentile(run.bare.wall, 0.5),
      Percentile(run.bare.cpu, 0.99) / Percentile(run.bare.cpu, 0.5));
  // A loaded machine slows the processor's work itself (shared caches and memory): the frame's
  // processor time over the bare frame's holds better from one run to the next than either alone.
  std::printf("shell_frame (%s):   frame over bare frame, processor time: median %.2f, 99th percentile %.2f\n",
              renderer, Percentile(run.frames.cpu, 0.5) / Percentile(run.bare.cpu, 0.5),
              Percentile(run.frames.cpu, 0.99) / Percentile(run.bare.cpu, 0.99));
}

int RunOnce(const char* renderer) {
  CopyImages();
  DeleteFileA("tarvex.ini");  // no project: the bench loads its own instruments
  WriteDenseSong();
  WriteDenseMml("dense2000.zms", 2000);
  WriteDenseMml("dense4000.zms", 4000);
  g_app.instance = GetModuleHandleA(nullptr);
  g_app.showCommand = SW_SHOWNORMAL;
  if (std::strcmp(renderer, "software") == 0) SetUseHardwareRenderFlag(0);
  SetWaitVSyncFlag(0);  // frames as fast as they are drawn, not paced to the display
  if (InitLibraryAndScreen() != 0 || !InitGuiResources() || !StartAppEngines()) {
    std::printf("shell_frame (%s): the program did not start\n", renderer);
    return 1;
  }
  const std::string instrument = BuildDir() + "/testbin/tp_vornalt.dll";
  const std::string effect = BuildDir() + "/testbin/tp_effect.dll";
  for (int t = 0; t < 8; ++t) LoadPlugin(t, 0, instrument.c_str());
  for (int i = 0; i < 16; ++i) LoadPlugin(i / 4, 1 + i % 4, effect.c_str());
  g_app.instrumentPaneShown = g_app.inspectorPaneShown = 1;
  g_pluginDialog = AnswerPaneDialog;
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
  for (int i = 0; i < 10; ++i) RunFrame();  // warm-up: the glyph caches fill
  longestGap = 0;
  probe.Start();
  const bool software = std::strcmp(renderer, "software") == 0;
  const int count = software ? kSoftwareFrames : kDefaultFrames;
  const double seconds = software ? kSoftwareSeconds : kDefaultSeconds;
  FrameRun run = RunFrames(count, seconds);
  probe.Stop();
  stop = true;
  watcher.join();
  if (run.frames.wall.empty() || run.bare.wall.empty()) {
    std::printf("shell_frame (%s): no frame ran\n", renderer);
    return 1;
  }
  std::printf("shell_frame (%s): MDX song playing, both side panes: %zu frames\n", renderer, run.frames.wall.size());
  PrintRun(renderer, run);
  std::printf(
      "shell_frame (%s): longest engine-lock wait of a 10 ms tick %.2f ms (target 2 ms); longest gap between the "
      "player's ticks %.2f ms\n",
      renderer, probe.LongestWaitMs(), longestGap / 1000.0);

  // Instruments loaded from the pane while the song plays, a frame between loads.
  probe.Start();
  for (int i = 0; i < 8; ++i) {
    g_paneAnswer = BuildDir() + (i % 2 ? "/testbin/tp_vornalt.dll" : "/testbin/tp_kezmir.dll");
    ClickInstrumentRow(i);
    RunFrame();
  }
  probe.Stop();
  int loaded = 0;
  for (int i = 0; i < 8; ++i) loaded += g_app.pluginLoaded[i * kPluginPositionCount];
  std::printf(
      "shell_frame (%s): longest engine-lock wait of a 10 ms tick while %d instruments load from the pane %.2f ms "
      "(target 2 ms)\n",
      renderer, loaded, probe.LongestWaitMs());

  // MML mode: the frame with the dense song's piano roll, then the roll alone at both sizes.
  OpenSongFile("dense2000.zms");
  for (int i = 0; i < 10; ++i) RunFrame();
  run = RunFrames(count, seconds);
  if (!run.frames.wall.empty() && !run.bare.wall.empty()) {
    std::printf("shell_frame (%s): piano roll of 16 x 2,000 notes (%d events in track 1): %zu frames\n", renderer,
                g_app.eventCounts[0], run.frames.wall.size());
    PrintRun(renderer, run);
  }
  const double single = RollMs(100);
  OpenSongFile("dense4000.zms");
  const int doubled = g_app.eventCounts[0];
  const double twice = RollMs(100);
  std::printf(
      "shell_frame (%s): the roll alone (processor time, least of 100) %.3f ms with 2,000 notes a track, %.3f ms "
      "with 4,000 (%d events in track 1): ratio %.2f (target <= 2)\n",
      renderer, single, twice, doubled, twice / single);
  ShutDownApp();
  LibraryEnd();
  return 0;
}

// Runs this program again for one renderer and waits for it.
int RunChild(const wchar_t* renderer) {
  return static_cast<int>(RunToItsEnd(ThisProgramWith(renderer), 300000, 1, true));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2) return RunOnce(argv[1]);
  // One program at a time owns the main window.
  return RunChild(L"software") | RunChild(L"default");
}
