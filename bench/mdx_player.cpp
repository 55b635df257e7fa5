// The MDX player's render tick.
// 1. Cost of one MdxTimerProc call with 16 busy tracks: 8 test instruments playing notes under
//    a pitch LFO, 8 PCM tracks playing samples, an insert on each track channel, sends on, the
//    clock moved 10 ms before each call (Timer-B 240: two or three ticks a call). Reference:
//    the same 24 plug-ins' processReplacing called directly, what the plug-ins themselves cost.
// 2. A 3-minute song rendered into the WAV capture with the clock driven as fast as it goes,
//    as a multiple of real time.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/engine/mdx/mdx_player.h"
#include "app/engine/sequencer/sequencer.h"
#include "app/engine/mixer/wave_file.h"
#include "bench/support/render_tick_bench.h"
#include "tools/song_writer/mdx_builder.h"
#include "tests/app/engine/mdx_player_fixture.h"

using namespace render_tick_bench;

namespace {

const int kSongSeconds = 180;

uint64_t g_clock = 1000000000;
uint64_t Clock() { return g_clock; }

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

void PlayerCall() {
  g_clock += 10000;
  MdxTimerProc(0, 0, 0, 0, 0);
}

bool AllBusy() {
  int voices = 0;
  for (int t = kMdxFmTrackCount; t < kMdxTrackCount; ++t) voices += g_mdx.voices[t].active;
  int enabled = 0;
  for (int t = 0; t < kMdxTrackCount; ++t) enabled += g_mdx.state.enabled[t];
  return voices == kMdxTrackCount - kMdxFmTrackCount && enabled == kMdxTrackCount;
}

}  // namespace

int main() {
  if (!LoadTrackPlugins("mdx_player")) return 1;

  MdxSong song;
  const std::vector<uint8_t> mdx = BuildSong();
  song.LoadFromMemory(mdx.data(), mdx.size(), nullptr, 0);
  // Samples longer than a note, so that every PCM voice is always playing.
  for (int n = kMdxFmTrackCount; n < kMdxTrackCount; ++n) {
    g_mdx.samples[n] = static_cast<int16_t*>(std::calloc(44100, sizeof(int16_t)));
    g_mdx.sampleLengths[n] = 44100;
  }
  for (int t = 0; t < kMdxFmTrackCount; ++t) g_mdx.state.fmInstrument[t] = 1;
  SetSequencerClock(Clock);
  song.Play();
  for (int t = 0; t < kMdxTrackCount; ++t) {
    g_mdx.state.sendOn[t][t % 2] = 1;
    g_mdx.state.sendLevel[t][t % 2] = 0.25f;
  }
  const double tickMicros = MicrosPerCall(PlayerCall);
  PrintTickFigures("mdx_player", "MdxTimerProc", tickMicros, AllBusy());

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

  std::printf("  %d s song rendered to WAV:   %8.3f s   (%.1f x real time)%s\n", kSongSeconds, renderSeconds,
              renderSeconds > 0 ? kSongSeconds / renderSeconds : 0.0, rendered ? "" : "  RENDER INCOMPLETE");
  std::printf("  (sink %g)\n", static_cast<double>(g_sink + (wave.left ? wave.left[kSongSeconds * 44100 / 2] : 0)));

  song.Rewind();
  g_mdx.capture = nullptr;
  wave.FreeBuffers();
  SetSequencerClock(nullptr);
  UnloadAllPlugins();
  FreeMdxBuffers();
  return 0;
}
