// Cost of one render tick of the sequencer (SequencerTimerProc) with 16 busy tracks: 8 test
// instruments playing notes with vibrato, 8 sample tracks playing bank voices, 16 inserts (one
// on each track channel), sends on, the clock moved 10 ms before each call. Reference: the
// same 24 plug-ins' processReplacing called directly on plain buffers, which is what the
// plug-ins themselves cost; the difference is what the sequencer and its mixer add.
#include "bench/bench_clock.h"
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/engine/plugin_slot.h"
#include "app/engine/sequencer.h"
#include "bench/direct_plugins.h"

namespace {

const int kWarmupCalls = 200;
const int kCalls = 3000;
const double kBudgetMicros = 10000.0;  // one render tick
const int kNotes = 2000;               // per track, one every 12 ticks: longer than the run

uint64_t g_fakeClock = 1000000000;
uint64_t FakeClock() { return g_fakeClock; }
float g_sink = 0.0f;

void SetEvent(SongEngine& song, int track, int index, uint32_t type, uint32_t tick, int32_t value) {
  song.events[track][index] = SongEvent{type, tick, 0, value, 1};
}

// Instrument tracks: vibrato, then short notes; sample tracks: a bank note every 12 ticks.
void BuildSong(SongEngine& song, std::vector<std::vector<int16_t>>& bank) {
  for (int track = 0; track < kSongTrackCount; ++track) {
    int i = 0;
    if (track < kInstrumentTrackCount) {
      SetEvent(song, track, i++, kEvVibratoPeriod, 0, 6);
      SetEvent(song, track, i++, kEvVibratoDepth, 0, 64);
    }
    for (int n = 0; n < kNotes; ++n) {
      const uint32_t tick = 12 * n;
      SetEvent(song, track, i++, kEvNoteOn, tick, 48 + track);
      if (track < kInstrumentTrackCount) SetEvent(song, track, i++, kEvNoteOff, tick + 10, 48 + track);
    }
    song.tracks[track].sendOn[track % 2] = 1;
    song.tracks[track].sendLevel[track % 2] = 0.25f;
  }
  song.sampleMode = 1;
  song.bankLastIndex = kSongTrackCount - 1;
  bank.assign(kSongTrackCount, std::vector<int16_t>(15600, 1000));
  for (int track = kInstrumentTrackCount; track < kSongTrackCount; ++track) {
    song.bankSamples[track] = bank[track].data();
    song.bankLengths[track] = static_cast<int32_t>(bank[track].size());
    song.bankKeys[track] = static_cast<uint16_t>(48 + track + 12);  // bank keys are an octave up
  }
}

double MicrosPerCall(void (*call)(), int calls) {
  const double start = BenchSeconds();
  for (int i = 0; i < calls; ++i) call();
  return (BenchSeconds() - start) * 1e6 / calls;
}

void SequencerCall() {
  g_fakeClock += 10000;
  SequencerTimerProc(0, 0, 0, 0, 0);
}

DirectPlugins* g_direct = nullptr;

void DirectCall() { g_sink += g_direct->Block(); }

}  // namespace

int main() {
  g_hostContext.sampleRate = 44100;
  g_hostContext.blockSize = 1024;
  // scripts/bench gives the build folder; by hand, set TARVEX_BUILD_DIR to it.
  const char* build = std::getenv("TARVEX_BUILD_DIR");
  const std::string dir = std::string(build ? build : ".") + "/testbin/";
  const std::string instrument = dir + "tp_vornalt.dll";
  const std::string effect = dir + "tp_effect.dll";
  for (int track = 0; track < kSongTrackCount; ++track) {
    if ((track < kInstrumentTrackCount && LoadPlugin(track, 0, instrument.c_str()) != 0) ||
        LoadPlugin(track, 1, effect.c_str()) != 0) {
      std::printf("sequencer_tick: cannot load the test plug-ins from %s\n", dir.c_str());
      return 1;
    }
    g_pluginSlots[track * kPluginPositionCount + 1].SetParameter(0, 0.5f);
  }

  std::vector<std::vector<int16_t>> bank;
  SongEngine& song = g_songs[0];
  BuildSong(song, bank);
  SetSequencerClock(FakeClock);
  PlaySequencerFromTop();
  for (int i = 0; i < kWarmupCalls; ++i) SequencerCall();
  const double tickMicros = MicrosPerCall(SequencerCall, kCalls);
  int voices = 0;
  for (const PcmVoice& v : song.voices) voices += v.active;
  const bool busy = song.playing && !song.ended && voices == kSongTrackCount - kInstrumentTrackCount;

  std::vector<AEffect*> effects;
  for (int track = 0; track < kSongTrackCount; ++track) {
    for (int position = 0; position < 2; ++position) {
      AEffect* e = g_pluginSlots[track * kPluginPositionCount + position].effect;
      if (e) effects.push_back(e);
    }
  }
  DirectPlugins direct(effects);
  g_direct = &direct;
  for (int i = 0; i < kWarmupCalls; ++i) DirectCall();
  const double directMicros = MicrosPerCall(DirectCall, kCalls);

  std::printf("sequencer_tick: 16 busy tracks, %zu plug-ins (8 instruments, 16 inserts), %d calls%s\n",
              direct.Count(), kCalls, busy ? "" : "  NOT ALL TRACKS BUSY");
  std::printf("  one SequencerTimerProc call: %8.2f us  (%.2f%% of the 10 ms budget; target at most 2%%)\n",
              tickMicros, 100.0 * tickMicros / kBudgetMicros);
  std::printf("  plug-ins called directly:    %8.2f us  (reference, %.2f%% of the budget)\n", directMicros,
              100.0 * directMicros / kBudgetMicros);
  std::printf("  ratio tick / direct:         %8.2f\n", directMicros > 0 ? tickMicros / directMicros : 0.0);
  std::printf("  (sink %g)\n", static_cast<double>(g_sink + g_sequencer.trackBuffers[0][0]));

  StopAllSongEngines();
  SetSequencerClock(nullptr);
  for (int i = 0; i < kPluginSlotCount; ++i) UnloadPlugin(i / kPluginPositionCount, i % kPluginPositionCount);
  for (int16_t*& b : song.bankSamples) b = nullptr;
  return 0;
}
