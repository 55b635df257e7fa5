// A fixture for the sequencer's transport and render tests: a fake clock that the test moves,
// song 0 and the mixer strips back to their start values, and the render tick driven call by
// call with its output captured.
#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "app/engine/sequencer/sequencer.h"
#include "app/engine/mixer/wave_file.h"
#include "tests/support/engine/plugin_fixture.h"

typedef std::vector<std::vector<int>> Midi;
typedef std::pair<int, int> Frame;

// The fake clock's reading, in microseconds.
extern uint64_t g_fakeClock;
// Puts the fake clock in place of the system's, reading 100 s (far from 0, as the system
// clock is).
void UseFakeClock();

// The library's clock and sound system started with no sound thread, so that the frames the
// engines push stay queued in their players. False when the sound system does not start.
bool StartSoundSystemWithoutThread();

// Arms `wave` to capture the frames of the next `calls` ticks into `left` and `right`.
void ArmTestCapture(WaveFile& wave, std::vector<int16_t>& left, std::vector<int16_t>& right, int calls);
// The frames captured since, and the capture disarmed.
std::vector<Frame> TakeTestCapture(WaveFile& wave, const std::vector<int16_t>& left,
                                   const std::vector<int16_t>& right);

SongEvent Event(uint32_t type, uint32_t tick, int32_t value = 0, uint8_t articulate = 1);
std::vector<int> BendBytes(int units);
std::vector<int> NoteOnBytes(int key, int velocity = 127);
std::vector<int> NoteOffBytes(int key);

class SequencerTest : public PluginSlotsTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Song 0's track `track` holds these events, then its end.
  void SetTrack(int track, const std::vector<SongEvent>& events);
  // `calls` render ticks, the clock 10 ms later before each.
  void Tick(int calls = 1);
  // Arms the capture for the frames of the next `calls` ticks.
  void Arm(int calls);
  // The frames captured since Arm, and the capture disarmed.
  std::vector<Frame> Captured();
  // The frames the next `calls` ticks push out.
  std::vector<Frame> Render(int calls = 1);
  // The test instrument in slot 0 of `track`, or null.
  TpInstance* LoadInstrument(int track);
  // An insert (out = in x gain + offset) in slot `position` of `channel`, or null.
  TpInstance* LoadInsert(int channel, int position, float gain, float offset);
  // The MIDI bytes an instance received since the last call for it.
  Midi TakeMidi(TpInstance* instance);
  // The MIDI bytes queued to slot 0 of `track` since the last tick and not yet delivered; the
  // queue empties. A tick drops what is queued to an empty slot: after ticks, load an
  // instrument and read what it received instead.
  Midi TakeQueued(int track);

  SongEngine& song = g_songs[0];
  TestPluginLibrary instruments{TestPluginPath("tp_vornalt")};
  TestPluginLibrary effects{TestPluginPath("tp_effect")};
  WaveFile wave = {};
  std::vector<int16_t> left, right;
  std::map<const TpInstance*, int> midiSeen;
};
