// Cost of one render tick of the sequencer (SequencerTimerProc) with 16 busy tracks: 8 test
// instruments playing notes with vibrato, 8 sample tracks playing bank voices, 16 inserts (one
// on each track channel), sends on, the clock moved 10 ms before each call. Reference: the
// same 24 plug-ins' processReplacing called directly on plain buffers, which is what the
// plug-ins themselves cost; the difference is what the sequencer and its mixer add.
#include <cstdint>
#include <vector>

#include "app/engine/sequencer/sequencer.h"
#include "bench/support/render_tick_bench.h"

using namespace render_tick_bench;

namespace {

const int kNotes = 2000;               // per track, one every 12 ticks: longer than the run

uint64_t g_fakeClock = 1000000000;
uint64_t FakeClock() { return g_fakeClock; }

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

void SequencerCall() {
  g_fakeClock += 10000;
  SequencerTimerProc(0, 0, 0, 0, 0);
}

}  // namespace

int main() {
  if (!LoadTrackPlugins("sequencer_tick")) return 1;

  std::vector<std::vector<int16_t>> bank;
  SongEngine& song = g_songs[0];
  BuildSong(song, bank);
  SetSequencerClock(FakeClock);
  PlaySequencerFromTop();
  const double tickMicros = MicrosPerCall(SequencerCall);
  int voices = 0;
  for (const PcmVoice& v : song.voices) voices += v.active;
  const bool busy = song.playing && !song.ended && voices == kSongTrackCount - kInstrumentTrackCount;
  PrintTickFigures("sequencer_tick", "SequencerTimerProc", tickMicros, busy);
  std::printf("  (sink %g)\n", static_cast<double>(g_sink + g_sequencer.trackBuffers[0][0]));

  StopAllSongEngines();
  SetSequencerClock(nullptr);
  UnloadAllPlugins();
  for (int16_t*& b : song.bankSamples) b = nullptr;
  return 0;
}
