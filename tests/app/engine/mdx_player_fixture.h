// A fixture for the MDX player's tests: songs assembled command by command, the player's
// clock in the test's hands, the render tick driven call by call, the test instrument's MIDI
// log read back with the call each event reached it in, and the output captured.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "app/engine/mdx/mdx_player.h"
#include "app/engine/mixer/wave_file.h"
#include "tools/song_writer/mdx_builder.h"
#include "tests/app/engine/sequencer_fixture.h"
#include "tests/support/engine/plugin_fixture.h"

// The three bytes of a MIDI message.
typedef std::vector<int> MidiBytes;
// A MIDI message as the instrument received it, with the render call it came with (0 = the
// first call after the song started).
struct MidiAt {
  int call;
  MidiBytes bytes;
};

class MdxPlayerTest : public PluginSlotsTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Loads a song of these tracks (and tones) and plays it from the top; `pdx` is its bank.
  void Load(const std::vector<MdxTrack>& tracks, const std::vector<std::array<uint8_t, 27>>& tones = {},
            const std::vector<uint8_t>* pdx = nullptr);
  // Loads and plays from the top; calls are counted from here.
  void Play(const std::vector<MdxTrack>& tracks);
  // `calls` render ticks, the clock `micros` later before each.
  void Tick(int calls = 1, uint64_t micros = 10000);
  // The frames the next `calls` ticks push out.
  std::vector<Frame> Render(int calls = 1);
  // The test instrument in slot 0 of `track` (its FM-instrument flag set when `fm`).
  TpInstance* LoadInstrument(int track, bool fm = false);
  // Every MIDI message the instrument received since it was loaded.
  std::vector<MidiAt> Log(const TpInstance* instance) const;
  // The calls (counted from the song's start) in which the instrument received these bytes.
  std::vector<int> CallsOf(const TpInstance* instance, const MidiBytes& bytes) const;
  // The MIDI bytes queued to slot 0 of `track` and not yet delivered; the queue empties.
  std::vector<MidiBytes> TakeQueued(int track);
  // A sample of `length` 16-bit values, all `value`, put in the player's table as number `n`.
  void PutSample(int n, int length, int16_t value);
  // Every track the song plays has reached its end. Then no key may be held (checked at the end
  // of every test).
  bool SongEnded() const;

  MdxSong song;
  MdxPlayerState& state = g_mdx.state;
  TestPluginLibrary instruments{TestPluginPath("tp_vornalt")};
  WaveFile wave = {};
  std::vector<std::pair<const TpInstance*, int>> blockAtPlay;  // process calls before the song
  std::vector<int16_t> left, right;                            // the capture's buffers
};

// The call (counted from the song's start, the first is 0) in which the clock, moved on by
// 10 ms before each call, reaches a time `micros` after the start.
int CallReaching(uint64_t micros);
// The time at which tick `tick` runs when the tempo command of Timer-B `timerB` is the first
// command (tick 1, at Timer-B 0) and the tempo stays; tempo changes: see the tests.
uint64_t TickTime(int tick, int timerB);
