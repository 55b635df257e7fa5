// What the render-tick benchmarks of both engines share: 16 busy track channels of test
// plug-ins (an instrument on each of tracks 0-7, an insert of gain 0.5 on each of the 16), the
// time of one call, the reference of the same plug-ins called directly, and the figures.
#pragma once

#include "bench/support/bench_clock.h"
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/engine/plugin/plugin_slot.h"
#include "bench/support/direct_plugins.h"

namespace render_tick_bench {

const int kWarmupCalls = 200;
const int kCalls = 3000;
const double kBudgetMicros = 10000.0;  // one render tick
const int kTracks = 16;
const int kInstruments = 8;

// Loads the plug-ins; false (with a line saying so) when the test plug-ins cannot be loaded.
inline bool LoadTrackPlugins(const char* name) {
  g_hostContext.sampleRate = 44100;
  g_hostContext.blockSize = 1024;
  // scripts/bench gives the build folder; by hand, set TARVEX_BUILD_DIR to it.
  const char* build = std::getenv("TARVEX_BUILD_DIR");
  const std::string dir = std::string(build ? build : ".") + "/testbin/";
  const std::string instrument = dir + "tp_vornalt.dll";
  const std::string effect = dir + "tp_effect.dll";
  for (int track = 0; track < kTracks; ++track) {
    if ((track < kInstruments && LoadPlugin(track, 0, instrument.c_str()) != 0) ||
        LoadPlugin(track, 1, effect.c_str()) != 0) {
      std::printf("%s: cannot load the test plug-ins from %s\n", name, dir.c_str());
      return false;
    }
    g_pluginSlots[track * kPluginPositionCount + 1].SetParameter(0, 0.5f);
  }
  return true;
}

inline void UnloadAllPlugins() {
  for (int i = 0; i < kPluginSlotCount; ++i) UnloadPlugin(i / kPluginPositionCount, i % kPluginPositionCount);
}

// Microseconds per call of `call`, after the warm-up calls.
inline double MicrosPerCall(void (*call)()) {
  for (int i = 0; i < kWarmupCalls; ++i) call();
  const double start = BenchSeconds();
  for (int i = 0; i < kCalls; ++i) call();
  return (BenchSeconds() - start) * 1e6 / kCalls;
}

inline float g_sink = 0.0f;
inline DirectPlugins* g_direct = nullptr;
inline void DirectCall() { g_sink += g_direct->Block(); }

// Times the loaded plug-ins called directly and prints the figures of `tickMicros`, the time
// of one call of `proc`.
inline void PrintTickFigures(const char* name, const char* proc, double tickMicros, bool busy) {
  std::vector<AEffect*> effects;
  for (int track = 0; track < kTracks; ++track) {
    for (int position = 0; position < 2; ++position) {
      AEffect* e = g_pluginSlots[track * kPluginPositionCount + position].effect;
      if (e) effects.push_back(e);
    }
  }
  DirectPlugins direct(effects);
  g_direct = &direct;
  const double directMicros = MicrosPerCall(DirectCall);
  std::printf("%s: 16 busy tracks, %zu plug-ins (8 instruments, 16 inserts), %d calls%s\n", name, direct.Count(),
              kCalls, busy ? "" : "  NOT ALL TRACKS BUSY");
  const std::string label = std::string("one ") + proc + " call:";
  std::printf("  %-28s %8.2f us  (%.2f%% of the 10 ms budget; target at most 2%%)\n", label.c_str(), tickMicros,
              100.0 * tickMicros / kBudgetMicros);
  std::printf("  plug-ins called directly:    %8.2f us  (reference, %.2f%% of the budget)\n", directMicros,
              100.0 * directMicros / kBudgetMicros);
  std::printf("  ratio tick / direct:         %8.2f\n", directMicros > 0 ? tickMicros / directMicros : 0.0);
  g_direct = nullptr;
}

}  // namespace render_tick_bench
