// Cost of the plug-in host per 441-frame block: 8 instruments with their MIDI traffic and
// 16 inserts (two on each instrument channel), run the way a render tick runs them, with
// the insert chains of all 19 channels. Reference: the same plug-ins' processReplacing
// called directly on plain buffers, which is what the plug-ins themselves cost; the
// ratio shows what the host adds around them.
#include "bench/bench_clock.h"
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/engine/plugin_slot.h"

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

struct Direct {
  std::vector<AEffect*> effects;
  std::vector<std::vector<float>> in, out;
  std::vector<float*> inPtr, outPtr;
};

void DirectBlock(Direct& d) {
  for (AEffect* e : d.effects) e->processReplacing(e, d.inPtr.data(), d.outPtr.data(), kPluginBlockFrames);
  g_sink += d.out[0][0];
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

  Direct d;
  for (int t = 0; t < kInstruments; ++t)
    for (int p = 0; p < 3; ++p) d.effects.push_back(g_pluginSlots[t * kPluginPositionCount + p].effect);
  d.in.assign(2, std::vector<float>(kPluginBufferFrames, 0.25f));
  d.out.assign(2, std::vector<float>(kPluginBufferFrames, 0.0f));
  for (auto& b : d.in) d.inPtr.push_back(b.data());
  for (auto& b : d.out) d.outPtr.push_back(b.data());
  for (int b = 0; b < kWarmupBlocks; ++b) DirectBlock(d);
  start = BenchSeconds() * 1e6;
  for (int b = 0; b < kBlocks; ++b) DirectBlock(d);
  double directMicros = (BenchSeconds() * 1e6 - start) / kBlocks;

  std::printf("plugin_host: 8 instruments + 16 inserts, 19 insert chains, %d blocks of %d frames\n", kBlocks,
              kPluginBlockFrames);
  std::printf("  host per block:            %8.2f us  (%.2f%% of the 10 ms budget)\n", hostMicros,
              100.0 * hostMicros / kBudgetMicros);
  std::printf("  plug-ins called directly:  %8.2f us  (reference)\n", directMicros);
  std::printf("  ratio host / direct:       %8.2f\n", directMicros > 0 ? hostMicros / directMicros : 0.0);
  std::printf("  (sink %g)\n", static_cast<double>(g_sink));
  for (int i = 0; i < kPluginSlotCount; ++i) UnloadPlugin(i / kPluginPositionCount, i % kPluginPositionCount);
  return 0;
}
