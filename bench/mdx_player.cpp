// The MDX player's render tick.
// 1. Cost of one MdxTimerProc call with 16 busy tracks: 8 test instruments playing notes under
//    a pitch LFO, 8 PCM tracks playing samples, an insert on each track channel, sends on, the
//    clock moved 10 ms before each call (Timer-B 240: two or three ticks a call). Reference:
//    the same 24 plug-ins' processReplacing called directly, what the plug-ins themselves cost.
// 2. A 3-minute song rendered into the WAV capture with the clock driven as fast as it goes,
//    as a multiple of real time.
#include "bench/bench_clock.h"
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/engine/mdx_player.h"
#include "app/engine/plugin_slot.h"
#include "app/engine/wave_file.h"
#include "bench/direct_plugins.h"
#include "tests/app/engine/mdx_builder.h"
#include "tests/app/engine/mdx_player_fixture.h"

namespace {

const int kWarmupCalls = 200;
const int kCalls = 3000;
const double kBudgetMicros = 10000.0;  // one render tick
const int kSongSeconds = 180;

uint64_t g_clock = 1000000000;
uint64_t Clock() { return g_clock; }
float g_sink = 0.0f;

// Every track loops for ever: FM tracks two notes under a triangle LFO, PCM tracks a sample.
std::vector<uint8_t> BuildSong() {
  MdxBuilder b;
  for (int t = 0; t < kMdxTrackCount; ++t) {
    MdxTrack m;
    m.Tempo(240).Volume(12).Pan(3);
    const size_t top = m.Here();
    if (t < kMdxFmTrackCount) {
      m.Lfo(2, 12, 400).Note(48 + t, 6).Note(55 + t, 6).JumpTo(top);
    } else {
      m.Sample(t, 6).Sample(t, 6).JumpTo(top);
    }
    b.tracks.push_back(m.bytes);
  }
  return b.Build();
}

double MicrosPerCall(void (*call)(), int calls) {
  const double start = BenchSeconds();
  for (int i = 0; i < calls; ++i) call();
  return (BenchSeconds() - start) * 1e6 / calls;
}

void PlayerCall() {
  g_clock += 10000;
  MdxTimerProc(0, 0, 0, 0, 0);
}

DirectPlugins* g_direct = nullptr;

void DirectCall() { g_sink += g_direct->Block(); }

bool AllBusy() {
  int voices = 0;
  for (int t = kMdxFmTrackCount; t < kMdxTrackCount; ++t) voices += g_mdx.voices[t].active;
  int enabled = 0;
  for (int t = 0; t < kMdxTrackCount; ++t) enabled += g_mdx.state.enabled[t];
  return voices == kMdxTrackCount - kMdxFmTrackCount && enabled == kMdxTrackCount;
}

}  // namespace

int main() {
  g_hostContext.sampleRate = 44100;
  g_hostContext.blockSize = 1024;
  // scripts/bench gives the build folder; by hand, set TARVEX_BUILD_DIR to it.
  const char* build = std::getenv("TARVEX_BUILD_DIR");
  const std::string dir = std::string(build ? build : ".") + "/testbin/";
  const std::string instrument = dir + "tp_vornalt.dll";
  const std::string effect = dir + "tp_effect.dll";
  for (int track = 0; track < kMdxTrackCount; ++track) {
    if ((track < kMdxFmTrackCount && LoadPlugin(track, 0, instrument.c_str()) != 0) ||
        LoadPlugin(track, 1, effect.c_str()) != 0) {
      std::printf("mdx_player: cannot load the test plug-ins from %s\n", dir.c_str());
      return 1;
    }
    g_pluginSlots[track * kPluginPositionCount + 1].SetParameter(0, 0.5f);
  }

  MdxSong song;
  const std::vector<uint8_t> mdx = BuildSong();
  song.LoadFromMemory(mdx.data(), mdx.size(), nullptr, 0);
  // Samples longer than a note, so that every PCM voice is always playing.
  for (int n = kMdxFmTrackCount; n < kMdxTrackCount; ++n) {
    g_mdx.samples[n] = static_cast<int16_t*>(std::calloc(44100, sizeof(int16_t)));
    g_mdx.sampleLengths[n] = 44100;
  }
  for (int t = 0; t < kMdxFmTrackCount; ++t) g_mdx.state.fmInstrument[t] = 1;
  SetMdxClock(Clock);
  song.Play();
  for (int t = 0; t < kMdxTrackCount; ++t) {
    g_mdx.state.sendOn[t][t % 2] = 1;
    g_mdx.state.sendLevel[t][t % 2] = 0.25f;
  }
  for (int i = 0; i < kWarmupCalls; ++i) PlayerCall();
  const double tickMicros = MicrosPerCall(PlayerCall, kCalls);
  const bool busy = AllBusy();

  std::vector<AEffect*> effects;
  for (int track = 0; track < kMdxTrackCount; ++track) {
    for (int position = 0; position < 2; ++position) {
      AEffect* e = g_pluginSlots[track * kPluginPositionCount + position].effect;
      if (e) effects.push_back(e);
    }
  }
  DirectPlugins direct(effects);
  g_direct = &direct;
  for (int i = 0; i < kWarmupCalls; ++i) DirectCall();
  const double directMicros = MicrosPerCall(DirectCall, kCalls);

  // The render: from the top, every call's frames into the capture until it is full.
  WaveFile wave;
  wave.InitHeader();
  g_mdx.capture = &wave;
  bool rendered = wave.AllocBuffers(kSongSeconds);
  song.Play();
  wave.armed = rendered ? 1 : 0;
  const double start = BenchSeconds();
  int calls = 0;
  while (wave.armed) {
    PlayerCall();
    ++calls;
  }
  const double renderSeconds = BenchSeconds() - start;
  rendered = rendered && calls == kSongSeconds * 100;

  std::printf("mdx_player: 16 busy tracks, %zu plug-ins (8 instruments, 16 inserts), %d calls%s\n", direct.Count(),
              kCalls, busy ? "" : "  NOT ALL TRACKS BUSY");
  std::printf("  one MdxTimerProc call:       %8.2f us  (%.2f%% of the 10 ms budget; target at most 2%%)\n",
              tickMicros, 100.0 * tickMicros / kBudgetMicros);
  std::printf("  plug-ins called directly:    %8.2f us  (reference, %.2f%% of the budget)\n", directMicros,
              100.0 * directMicros / kBudgetMicros);
  std::printf("  ratio tick / direct:         %8.2f\n", directMicros > 0 ? tickMicros / directMicros : 0.0);
  std::printf("  %d s song rendered to WAV:   %8.3f s   (%.1f x real time)%s\n", kSongSeconds, renderSeconds,
              renderSeconds > 0 ? kSongSeconds / renderSeconds : 0.0, rendered ? "" : "  RENDER INCOMPLETE");
  std::printf("  (sink %g)\n", static_cast<double>(g_sink + (wave.left ? wave.left[kSongSeconds * 44100 / 2] : 0)));

  song.Rewind();
  g_mdx.capture = nullptr;
  wave.FreeBuffers();
  SetMdxClock(nullptr);
  for (int i = 0; i < kPluginSlotCount; ++i) UnloadPlugin(i / kPluginPositionCount, i % kPluginPositionCount);
  FreeMdxBuffers();
  return 0;
}
