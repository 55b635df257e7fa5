// Cost of the plug-in host per 441-frame block: 8 instruments with their MIDI traffic and
// 16 inserts (two on each instrument channel), run the way a render tick runs them, with
// the insert chains of all 19 channels. Reference: the same plug-ins' processReplacing
// called directly on plain buffers, which is what the plug-ins themselves cost; the
// ratio shows what the host adds around them.
//
// Then the longest wait of a 10 ms render tick for the engine lock while plug-ins with a
// slow start-up and shut-down are loaded and replaced beside it. Reference: the time one
// such replacement takes, which a tick would wait if the load held the lock.
#include "bench/support/bench_clock.h"
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/engine/plugin/plugin_slot.h"
#include "bench/support/direct_plugins.h"
#include "bench/support/tick_probe.h"
#include "tools/test_plugins/test_plugin_api.h"

namespace {

const int kInstruments = 8;
const int kWarmupBlocks = 200;
const int kBlocks = 5000;
const double kBudgetMicros = 10000.0;  // one render tick

float g_sink = 0.0f;  // keeps the work from being optimised away

void HostBlock(int block, std::vector<std::vector<float>>& tracks) {
  EngineLock tick = LockEngine();
  for (int t = 0; t < kInstruments; ++t) {
    if (block % 8 == 0) SendNoteOn(t, 48 + t, 100);
    if (block % 8 == 4) SendNoteOff(t, 48 + t);
    if (block % 16 == 0) SendPitchBend(t, block % 128);
    RenderInstrumentTrack(t, tracks[t].data());
  }
  for (int c = 0; c < kPluginChannelCount; ++c) ProcessInsertChain(c, tracks[c].data());
  g_sink += tracks[0][0] + tracks[18][1];
}

// Shapes the instances a test plug-in DLL makes next (null: its defaults again).
void ConfigureTestPlugin(HMODULE lib, const TpConfig* config) {
  FARPROC configure = lib ? GetProcAddress(lib, "TpConfigure") : nullptr;
  if (configure) reinterpret_cast<TpConfigureProc>(reinterpret_cast<void*>(configure))(config);
}

}  // namespace

int main() {
  g_hostContext.sampleRate = 44100;
  g_hostContext.blockSize = 1024;
  // scripts/bench gives the build folder; by hand, set TARVEX_BUILD_DIR to it.
  const char* build = std::getenv("TARVEX_BUILD_DIR");
  std::string dir = std::string(build ? build : ".") + "/testbin/";
  std::string instrument = dir + "tp_vornalt.dll";
  std::string effect = dir + "tp_effect.dll";
  for (int t = 0; t < kInstruments; ++t) {
    if (LoadPlugin(t, 0, instrument.c_str()) != 0 || LoadPlugin(t, 1, effect.c_str()) != 0 ||
        LoadPlugin(t, 2, effect.c_str()) != 0) {
      std::printf("plugin_host: cannot load the test plug-ins from %s\n", dir.c_str());
      return 1;
    }
    g_pluginSlots[t * kPluginPositionCount + 1].SetParameter(0, 0.5f);
    g_pluginSlots[t * kPluginPositionCount + 2].SetParameter(1, 0.125f);
  }

  std::vector<std::vector<float>> tracks(kPluginChannelCount, std::vector<float>(2 * kPluginBlockFrames));
  for (int b = 0; b < kWarmupBlocks; ++b) HostBlock(b, tracks);
  double start = BenchSeconds() * 1e6;
  for (int b = 0; b < kBlocks; ++b) HostBlock(b, tracks);
  double hostMicros = (BenchSeconds() * 1e6 - start) / kBlocks;

  std::vector<AEffect*> effects;
  for (int t = 0; t < kInstruments; ++t)
    for (int p = 0; p < 3; ++p) effects.push_back(g_pluginSlots[t * kPluginPositionCount + p].effect);
  DirectPlugins direct(effects);
  for (int b = 0; b < kWarmupBlocks; ++b) g_sink += direct.Block();
  start = BenchSeconds() * 1e6;
  for (int b = 0; b < kBlocks; ++b) g_sink += direct.Block();
  double directMicros = (BenchSeconds() * 1e6 - start) / kBlocks;

  std::printf("plugin_host: 8 instruments + 16 inserts, 19 insert chains, %d blocks of %d frames\n", kBlocks,
              kPluginBlockFrames);
  std::printf("  host per block:            %8.2f us  (%.2f%% of the 10 ms budget)\n", hostMicros,
              100.0 * hostMicros / kBudgetMicros);
  std::printf("  plug-ins called directly:  %8.2f us  (reference)\n", directMicros);
  std::printf("  ratio host / direct:       %8.2f\n", directMicros > 0 ? hostMicros / directMicros : 0.0);
  std::printf("  (sink %g)\n", static_cast<double>(g_sink));

  // Ticks beside loads: the render thread runs the blocks above every 10 ms while the test
  // plug-ins, each taking kSlowMs in its entry call, its start-up and its shut-down, are loaded
  // into the sample tracks' instrument slots and into an insert that every tick runs.
  const int kSlowMs = 40;
  const int kLoads = 16;
  int block = 0;
  TickProbe probe([&] { HostBlock(block++, tracks); });
  probe.Start();
  Sleep(500);
  probe.Stop();
  double idleWaitMs = probe.LongestWaitMs();
  int idleTicks = probe.Ticks();

  std::string slowEffect = dir + "tp_effect.dll";
  std::string slowInstrument = dir + "tp_kezmir.dll";
  HMODULE libs[2] = {LoadLibraryA(slowEffect.c_str()), LoadLibraryA(slowInstrument.c_str())};
  TpConfig slow = {-1, -1, 0, {0, 0, 0, 0}, -1, -1, kSlowMs};
  for (HMODULE lib : libs) ConfigureTestPlugin(lib, &slow);
  probe.Start();
  double loadStart = BenchSeconds();
  int failed = 0;
  for (int i = 0; i < kLoads; ++i) {
    bool insert = i % 2 == 0;
    failed += LoadPlugin(insert ? 16 : 8 + i % 8, insert ? 1 : 0, insert ? slowEffect.c_str() : slowInstrument.c_str());
  }
  double loadMs = (BenchSeconds() - loadStart) * 1000.0 / kLoads;
  probe.Stop();
  for (int t = 8; t < kPluginChannelCount; ++t) UnloadPlugin(t, t == 16 ? 1 : 0);
  for (HMODULE lib : libs) {
    ConfigureTestPlugin(lib, nullptr);
    if (lib) FreeLibrary(lib);
  }
  std::printf("plugin_host: a 10 ms render tick beside %d plug-in loads (start-up and shut-down %d ms each)%s\n",
              kLoads, kSlowMs, failed ? "  LOADS FAILED" : "");
  std::printf("  longest lock wait, no loads:    %8.3f ms  (%d ticks)\n", idleWaitMs, idleTicks);
  std::printf("  longest lock wait, while loading: %6.3f ms  (%d ticks; target below 2 ms)\n", probe.LongestWaitMs(),
              probe.Ticks());
  std::printf("  one load or replacement:         %6.3f ms  (reference: the wait if it held the lock)\n", loadMs);
  std::printf("  ratio longest wait / load:       %8.2g\n", loadMs > 0 ? probe.LongestWaitMs() / loadMs : 0.0);
  for (int i = 0; i < kPluginSlotCount; ++i) UnloadPlugin(i / kPluginPositionCount, i % kPluginPositionCount);
  return 0;
}
