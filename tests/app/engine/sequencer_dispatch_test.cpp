#include "app/engine/sequencer/sequencer_dispatch.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "app/engine/plugin/plugin_slot.h"
#include "tests/support/engine/plugin_fixture.h"

namespace {

typedef std::vector<std::vector<int>> Midi;
typedef std::vector<std::pair<int, float>> Params;

SongEvent Ev(uint32_t type, int32_t value = 0, uint8_t articulate = 1, uint32_t tick = 0) {
  return SongEvent{type, tick, 0, value, articulate};
}

std::vector<int> Bend(int units) {
  int v = units + 8192;
  return {0xE0, v & 0x7F, v >> 7};
}
std::vector<int> On(int key, int velocity) { return {0x90, key, velocity}; }
std::vector<int> Off(int key) { return {0x80, key, 100}; }

class DispatchTest : public PluginSlotsTest {
 protected:
  // Appends the events to the track and runs each in turn, as the tick does.
  // All are written first: a glide's start reads its end from the event after it.
  void Play(int track, const std::vector<SongEvent>& events) {
    SongTrack& t = song->tracks[track];
    const int first = next[track];
    for (const SongEvent& e : events) song->events[track][next[track]++] = e;
    for (int i = first; i < next[track]; ++i) {
      song->events[track][i].dispatched = 1;
      t.eventCursor = i;
      if (track < kInstrumentTrackCount) {
        DispatchInstrumentTrackEvent(track, *song);
      } else {
        DispatchSampleTrackEvent(track, *song);
      }
    }
  }
  Midi TakeMidi(int track) { return TakePendingMidiBytes(SlotOf(track, 0)); }
  // Loads the FM test instrument into track 0 and gives its parameter writes from now on.
  TpInstance* LoadInstrument() {
    if (LoadPlugin(0, 0, TestPluginPath("tp_vornalt").c_str()) != 0) return nullptr;
    TpInstance* inst = TestPluginLibrary::Of(SlotOf(0, 0).effect);
    paramsFrom = inst ? inst->paramTotal : 0;
    return inst;
  }
  Params TakeParams(TpInstance* inst) {
    Params p;
    for (int i = paramsFrom; i < inst->paramTotal; ++i) p.emplace_back(inst->paramLog[i].index, inst->paramLog[i].value);
    paramsFrom = inst->paramTotal;
    return p;
  }

  std::unique_ptr<SongEngine> song = std::make_unique<SongEngine>();
  int next[kSongTrackCount] = {};
  int paramsFrom = 0;
  TestPluginLibrary lib{TestPluginPath("tp_vornalt")};
};

// --- instrument tracks ------------------------------------------------------------------------

TEST_F(DispatchTest, InstrumentEventsReachTheSlot) {
  struct Case {
    const char* name;
    std::vector<SongEvent> events;
    float scale;
    Midi midi;
    int slotVolume, slotPan;  // -1: not checked
  } cases[] = {
      {"undefined tone: program change", {Ev(kEvTone, 5)}, 1.0f, {{0xC0, 5, 0}}, -1, -1},
      {"tone beyond the table: program change", {Ev(kEvTone, 300)}, 1.0f, {{0xC0, 127, 0}}, -1, -1},
      {"pan", {Ev(kEvPan, 20)}, 1.0f, {}, -1, 20},
      {"volume step 16", {Ev(kEvVolumeStep, 16)}, 1.0f, {}, 254, -1},
      {"volume step 16 at scale 0.5", {Ev(kEvVolumeStep, 16)}, 0.5f, {}, 127, -1},
      {"volume step 0", {Ev(kEvVolumeStep, 0)}, 1.0f, {}, 170, -1},
      {"volume step above the table", {Ev(kEvVolumeStep, 40)}, 1.0f, {}, 254, -1},
      {"volume, up, down: doubled", {Ev(kEvVolume, 50), Ev(kEvVolumeUp, 5), Ev(kEvVolumeDown, 20)}, 1.0f, {}, 70, -1},
      {"detune", {Ev(kEvDetune, -100)}, 1.0f, {Bend(-100)}, -1, -1},
      {"pan right stops at 127", {Ev(kEvPanRight, 40), Ev(kEvPanRight, 40)}, 1.0f, {}, -1, 127},
      {"pan left stops at 0", {Ev(kEvPanLeft, -50), Ev(kEvPanLeft, -50)}, 1.0f, {}, -1, 0},
      {"note on: volume, centred bend, note", {Ev(kEvVolume, 100), Ev(kEvNoteOn, 48)}, 1.0f,
       {Bend(0), On(48, 127)}, 200, -1},
      {"key shift moves note on and off", {Ev(kEvKeyShift, -2), Ev(kEvNoteOn, 48), Ev(kEvNoteOff, 48)}, 1.0f,
       {Bend(0), On(46, 127), Off(46)}, -1, -1},
      {"key clamped to MIDI", {Ev(kEvKeyShift, 100), Ev(kEvNoteOn, 48)}, 1.0f, {Bend(0), On(127, 127)}, -1, -1},
  };
  for (const Case& c : cases) {
    song = std::make_unique<SongEngine>();
    std::fill(next, next + kSongTrackCount, 0);
    song->volumeScale = c.scale;
    SlotOf(3, 0).volume = 127;
    SlotOf(3, 0).pan = 64;
    Play(3, c.events);
    EXPECT_EQ(TakeMidi(3), c.midi) << c.name;
    if (c.slotVolume >= 0) {
      EXPECT_EQ(SlotOf(3, 0).volume, c.slotVolume) << c.name;
    }
    if (c.slotPan >= 0) {
      EXPECT_EQ(SlotOf(3, 0).pan, c.slotPan) << c.name;
      EXPECT_EQ(song->tracks[3].pan, c.slotPan) << c.name;
    }
  }
}

TEST_F(DispatchTest, SettingsWithoutMessagesLandInTheTrackAndSong) {
  Play(1, {Ev(kEvTempo, 150), Ev(kEvVibratoPeriod, 12), Ev(kEvVibratoDelay, 24), Ev(kEvVibratoDepth, 8),
           Ev(kEvTone, 9), Ev(kEvDetune, 32)});
  const SongTrack& t = song->tracks[1];
  EXPECT_EQ(song->tempo, 150);
  EXPECT_EQ(t.vibActive, 1);
  EXPECT_EQ(t.vibQuarterPeriod, 12);
  EXPECT_EQ(t.vibDelay, 24);
  EXPECT_EQ(t.vibDepth, 8);
  EXPECT_EQ(t.tone, 9);
  EXPECT_EQ(t.detune, 32);
  EXPECT_EQ(t.sentBend, 32);  // every bend sent is remembered for the tick

  // A muted track starts no note but still ends its notes.
  song->tracks[1].mute = 1;
  TakeMidi(1);
  Play(1, {Ev(kEvNoteOn, 60), Ev(kEvPortamentoStart, 60), Ev(kEvNoteOff, 60)});
  EXPECT_EQ(TakeMidi(1), (Midi{Off(60)}));
  EXPECT_EQ(song->tracks[1].portaActive, 0);
}

TEST_F(DispatchTest, VolumeSequenceGivesTheVelocitiesAndWraps) {
  SongTrack& t = song->tracks[2];
  t.volSeq[0] = 100;
  t.volSeq[1] = 90;
  Play(2, {Ev(kEvVolumeSequenceOn, 2)});
  for (int i = 0; i < 3; ++i) Play(2, {Ev(kEvNoteOn, 60), Ev(kEvNoteOff, 60)});
  Midi velocities;
  for (const auto& m : TakeMidi(2)) {
    if (m[0] == 0x90) velocities.push_back({m[2]});
  }
  EXPECT_EQ(velocities, (Midi{{100}, {90}, {100}}));
  EXPECT_EQ(SlotOf(2, 0).volume, 127);  // the sequence replaces the volume message

  // A full list of 16 wraps after its last value; "off" goes back to volume and velocity 127.
  for (int i = 0; i < kVolumeSequenceLength; ++i) t.volSeq[i] = i + 1;
  Play(2, {Ev(kEvVolumeSequenceOn, 16)});
  for (int i = 0; i < 17; ++i) Play(2, {Ev(kEvNoteOn, 60), Ev(kEvNoteOff, 60)});
  Play(2, {Ev(kEvVolumeSequenceOff), Ev(kEvNoteOn, 61)});
  Midi m = TakeMidi(2);
  EXPECT_EQ(m[m.size() - 4], On(60, 1));  // the 17th note starts the list again
  EXPECT_EQ(m.back(), On(61, 127));
  EXPECT_EQ(SlotOf(2, 0).volume, 255);
}

TEST_F(DispatchTest, HeldNotesFollowNoteOnsAndOffs) {
  SongTrack& t = song->tracks[0];
  // Nine keys: eight are recorded; a key sounding twice is recorded once.
  for (int key = 40; key < 49; ++key) Play(0, {Ev(kEvNoteOn, key)});
  Play(0, {Ev(kEvNoteOn, 40)});
  EXPECT_EQ(std::vector<int>(t.heldNotes, t.heldNotes + 8), (std::vector<int>{40, 41, 42, 43, 44, 45, 46, 47}));
  Play(0, {Ev(kEvNoteOff, 41), Ev(kEvNoteOn, 42), Ev(kEvNoteOn, 50)});
  EXPECT_EQ(t.heldNotes[1], 50);
}

TEST_F(DispatchTest, SlurredNoteBendsTheSoundingKeyAndItsNoteOffEndsIt) {
  SongTrack& t = song->tracks[0];
  t.vibValue = 5.0f;
  song->tickPosition = 100.5;
  Play(0, {Ev(kEvNoteOn, 48, 0)});
  EXPECT_EQ(t.vibValue, 0.0f);  // a new note starts its vibrato from the centre, now
  EXPECT_EQ(t.vibStartTick, 100);
  t.vibValue = 2.0f;
  song->tickPosition = 120.0;
  Play(0, {Ev(kEvNoteOn, 50)});
  EXPECT_EQ(TakeMidi(0), (Midi{Bend(0), On(48, 127)}));  // no second note-on
  EXPECT_EQ(t.portaBend, 128);                            // the tick sends it
  EXPECT_EQ(t.vibValue, 2.0f);                            // the vibrato swings on
  EXPECT_EQ(t.vibStartTick, 100);
  Play(0, {Ev(kEvNoteOff, 50)});
  EXPECT_EQ(TakeMidi(0), (Midi{Off(48)}));
  EXPECT_EQ(t.portaBend, 0);
  // The released key leaves the held notes, so no later note-off burst names it.
  for (int k : t.heldNotes) EXPECT_EQ(k, 0);
}

TEST_F(DispatchTest, GlidesStartEndAndLandOnTheirTarget) {
  SongTrack& t = song->tracks[0];
  t.detune = 10;
  t.vibValue = 3.0f;
  song->tickPosition = 290.7;
  // c to d over 96 ticks, ending normally: the vibrato starts again from the end.
  Play(0, {Ev(kEvPortamentoStart, 48, 1, 192), Ev(kEvPortamentoEnd, 50, 1, 288)});
  EXPECT_EQ(TakeMidi(0), (Midi{Bend(10), On(48, 127), Bend(138), Off(48)}));
  EXPECT_EQ(t.portaStartKey, 48);
  EXPECT_EQ(t.portaTargetKey, 50);
  EXPECT_EQ(t.portaDuration, 96);
  EXPECT_EQ(t.portaStartTick, 192);
  EXPECT_EQ(t.portaActive, 0);
  EXPECT_EQ(t.vibValue, 0.0f);
  EXPECT_EQ(t.vibStartTick, 290);
  EXPECT_EQ(t.vibLastBendTick, 290);

  // A glide that continues a slurred note is measured from the sounding key, start and end.
  song = std::make_unique<SongEngine>();
  std::fill(next, next + kSongTrackCount, 0);
  SongTrack& u = song->tracks[0];
  Play(0, {Ev(kEvNoteOn, 48, 0), Ev(kEvPortamentoStart, 50, 1, 48), Ev(kEvPortamentoEnd, 27, 0, 144)});
  EXPECT_EQ(u.portaBaseOffset, 2);
  EXPECT_EQ(u.portaTargetKey, 27);
  EXPECT_EQ(TakeMidi(0), (Midi{Bend(0), On(48, 127), Bend(128), Bend(-1344)}));
  // Slurred on: the pitch stays where it landed until the next note moves it.
  EXPECT_EQ(u.portaBend, -1344);
  EXPECT_EQ(u.sentBend, -1344);
  Play(0, {Ev(kEvNoteOn, 50), Ev(kEvNoteOff, 50)});
  EXPECT_EQ(TakeMidi(0), (Midi{Off(48)}));
  for (int k : u.heldNotes) EXPECT_EQ(k, 0);

  // After a note that ended normally a glide starts a note of its own; one that continues a
  // held note and ends normally releases that note.
  Play(0, {Ev(kEvNoteOn, 60), Ev(kEvNoteOff, 60), Ev(kEvPortamentoStart, 62), Ev(kEvPortamentoEnd, 64)});
  EXPECT_EQ(TakeMidi(0), (Midi{Bend(0), On(60, 127), Off(60), Bend(0), On(62, 127), Bend(128), Off(62)}));
  Play(0, {Ev(kEvNoteOn, 40, 0), Ev(kEvPortamentoStart, 41), Ev(kEvPortamentoEnd, 43)});
  EXPECT_EQ(TakeMidi(0), (Midi{Bend(0), On(40, 127), Bend(64), Bend(192), Off(40)}));
  for (int k : u.heldNotes) EXPECT_EQ(k, 0);
}

TEST_F(DispatchTest, DefinedToneGoesToAnFmInstrumentAsParameters) {
  TpInstance* inst = LoadInstrument();
  ASSERT_NE(inst, nullptr);
  FmTone& tone = song->tones[7];
  tone.used = 1;
  tone.params[6] = 255;  // full scale
  tone.params[54] = 1;

  Play(0, {Ev(kEvTone, 7)});
  Params expected;
  for (int i = 0; i < kFmToneParamCount; ++i)
    expected.emplace_back(i, float(tone.params[i]) / float(kFmToneFullScale[i]));
  Params got = TakeParams(inst);
  EXPECT_EQ(got, expected);
  EXPECT_EQ(got[0].second, 2.0f / 7.0f);
  EXPECT_EQ(got[6].second, 1.0f);
  EXPECT_EQ(TakeMidi(0), Midi{});

  // Without the FM-instrument flag the same tone is a program change.
  song->tracks[0].fmInstrument = 0;
  Play(0, {Ev(kEvTone, 7)});
  EXPECT_EQ(TakeParams(inst), Params{});
  EXPECT_EQ(TakeMidi(0), (Midi{{0xC0, 7, 0}}));
}

TEST_F(DispatchTest, EffectDefinitionsSetParameters58To94ByKind) {
  TpInstance* inst = LoadInstrument();
  ASSERT_NE(inst, nullptr);
  const float f[kFmEffectValueCount] = {127, 63.5f, 12.7f, 0, 254, 8, 31.75f, 1, 2, 3, 4};
  struct Case {
    int kind, first;
    Params expected;
  } cases[] = {
      {0, 5, {{89, 0.0f}, {63, 0.0f}, {68, 0.0f}, {74, 0.0f}, {80, 0.0f}, {85, 0.0f}}},
      {1, 4, {{89, 0.5f}, {90, 1.0f}, {91, 0.5f}, {92, 0.1f}, {93, 0.0f}, {94, 2.0f},
              {58, 8 / 127.0f}, {59, 0.25f}, {60, 1 / 127.0f}, {61, 2 / 127.0f}, {62, 3 / 127.0f}}},
      {2, 2, {{63, 0.25f}, {64, 1.0f}, {65, 0.5f}, {66, 0.1f}, {67, 0.0f}, {85, 127.0f}, {86, 2.0f},
              {87, 0.25f}, {88, 1 / 127.0f}}},
      {3, 2, {{68, 2 / 3.0f}, {69, 1.0f}, {70, 0.5f}, {71, 0.1f}, {72, 0.0f}, {73, 2.0f}}},
      {4, 3, {{74, 1.0f}, {75, 127 / 999.0f}, {76, 0.5f}, {77, 0.1f}, {78, 0.0f}, {79, 2.0f}}},
      {5, 1, {{80, 0.5f}, {81, 31.75f}, {82, 0.5f}, {83, 0.1f}, {84, 0.0f}}},
      {6, 1, {}},
  };
  for (const Case& c : cases) {
    FmEffectDef& def = song->effects[31];
    def.kind = c.kind;
    def.first = c.first;
    std::copy(f, f + kFmEffectValueCount, def.values);
    Play(0, {Ev(kEvFmEffect, 31)});
    Params got = TakeParams(inst);
    ASSERT_EQ(got.size(), c.expected.size()) << "kind " << c.kind;
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].first, c.expected[i].first) << "kind " << c.kind;
      EXPECT_FLOAT_EQ(got[i].second, c.expected[i].second) << "kind " << c.kind << " parameter " << got[i].first;
    }
  }
  // Definitions beyond the table, or a track without the FM instrument, set nothing.
  song->effects[1].kind = 1;
  Play(0, {Ev(kEvFmEffect, 32), Ev(kEvFmEffect, -1)});
  song->tracks[0].fmInstrument = 0;
  Play(0, {Ev(kEvFmEffect, 1)});
  EXPECT_EQ(TakeParams(inst), Params{});
}

// --- both kinds of track ------------------------------------------------------------------------

TEST_F(DispatchTest, LoopJumpGoesBackToTheLastLoopPoint) {
  struct Case {
    const char* name;
    std::vector<SongEvent> events;  // all already dispatched; the last is the jump
    int32_t loopPointTick;
    int32_t offset;                 // tick offset afterwards
    int cursor;                     // cursor afterwards
    std::vector<int> dispatched;    // flags afterwards
  } cases[] = {
      {"one loop point",
       {Ev(kEvNoteOn, 1), Ev(kEvLoopPoint, 0, 1, 96), Ev(kEvNoteOn, 2, 1, 96), Ev(kEvLoopJump, 0, 1, 480)},
       96, 384, 1, {1, 0, 0, 0}},
      {"two loop points: the last one",
       {Ev(kEvLoopPoint, 0, 1, 0), Ev(kEvNoteOn, 1, 1, 0), Ev(kEvLoopPoint, 0, 1, 48), Ev(kEvLoopJump, 0, 1, 96)},
       0, 96, 2, {0, 0, 0, 0}},
      {"no loop point: only the offset", {Ev(kEvNoteOn, 1), Ev(kEvLoopJump, 0, 1, 200)}, 0, 200, 1, {1, 1}},
      {"a jump back by no time is no jump",
       {Ev(kEvNoteOn, 1), Ev(kEvLoopPoint, 0, 1, 96), Ev(kEvLoopJump, 0, 1, 96)}, 96, 0, 2, {1, 1, 1}},
  };
  for (int track : {4, 12}) {
    for (const Case& c : cases) {
      song = std::make_unique<SongEngine>();
      std::fill(next, next + kSongTrackCount, 0);
      song->tracks[track].loopPointTick = c.loopPointTick;
      Play(track, c.events);
      const SongTrack& t = song->tracks[track];
      EXPECT_EQ(t.tickOffset, c.offset) << c.name;
      EXPECT_EQ(t.eventCursor, c.cursor) << c.name;
      std::vector<int> flags;
      for (size_t i = 0; i < c.events.size(); ++i) flags.push_back(song->events[track][i].dispatched);
      EXPECT_EQ(flags, c.dispatched) << c.name << " track " << track;
    }
  }
}

TEST_F(DispatchTest, EventsOutsideTheirTrackOrTableDoNothing) {
  song->events[0][0] = Ev(kEvNoteOn, 60);
  song->tracks[0].eventCursor = kEventsPerTrack;
  DispatchInstrumentTrackEvent(0, *song);
  song->tracks[0].eventCursor = 0;
  DispatchInstrumentTrackEvent(8, *song);   // a sample track
  DispatchSampleTrackEvent(0, *song);       // an instrument track
  DispatchInstrumentTrackEvent(-1, *song);
  EXPECT_EQ(TakeMidi(0), Midi{});
  EXPECT_EQ(song->tracks[0].heldNotes[0], 0);
}

// --- sample tracks -------------------------------------------------------------------------------

TEST_F(DispatchTest, SampleTrackVolumesAreNotDoubled) {
  struct Case {
    std::vector<SongEvent> events;
    int volume;
  } cases[] = {
      {{Ev(kEvVolumeStep, 0)}, 0},
      {{Ev(kEvVolumeStep, 16)}, 254},
      {{Ev(kEvVolumeStep, 99)}, 254},
      {{Ev(kEvVolume, 100), Ev(kEvVolumeUp, 5), Ev(kEvVolumeDown, 20)}, 185},
  };
  for (const Case& c : cases) {
    song->tracks[9].volume = 256;
    Play(9, c.events);
    EXPECT_EQ(song->tracks[9].volume, c.volume);
  }
  Play(9, {Ev(kEvPan, 100), Ev(kEvKeyShift, 3)});
  EXPECT_EQ(song->tracks[9].pan, 100);
  EXPECT_EQ(song->tracks[9].keyShift, 3);
}

TEST_F(DispatchTest, ListNoteStartsTheFirstFreeVoiceWithTheEntrysSample) {
  song->listCount = 3;
  song->sampleList[0] = {48, 501, 1000, 1};
  song->sampleList[1] = {50, 502, 2000, 2};
  song->sampleList[2] = {50, 503, 3000, 1};  // a later entry with the same key is never used
  song->volumeScale = 0.5f;
  song->voices[0].active = song->voices[1].active = 1;
  SongTrack& t = song->tracks[10];
  t.volume = 241;
  t.pan = 30;
  Play(10, {Ev(kEvKeyShift, 2), Ev(kEvNoteOn, 48)});
  const PcmVoice& v = song->voices[2];
  EXPECT_EQ(v.active, 1);
  EXPECT_EQ(v.sample, 502);
  EXPECT_EQ(v.length, 2000);
  EXPECT_EQ(v.channels, 2);
  EXPECT_EQ(v.volume, 120);  // trunc(241 x 0.5)
  EXPECT_EQ(v.pan, 30);
  EXPECT_EQ(v.track, 10);
  EXPECT_EQ(v.position, 0);

  // With the volume sequence the voice takes the sequence's value.
  t.volSeq[0] = 200;
  Play(10, {Ev(kEvVolumeSequenceOn, 1), Ev(kEvNoteOn, 46)});
  EXPECT_EQ(song->voices[3].volume, 100);
  EXPECT_EQ(song->voices[3].sample, 501);

  // No entry, a muted track or no free voice: nothing starts.
  Play(10, {Ev(kEvNoteOn, 47)});
  t.mute = 1;
  Play(10, {Ev(kEvNoteOn, 46)});
  t.mute = 0;
  for (int i = 4; i < kSongVoiceCount; ++i) song->voices[i].active = 1;
  Play(10, {Ev(kEvNoteOn, 46)});
  EXPECT_EQ(song->voices[4].sample, 0);
  EXPECT_EQ(song->FindFreeVoice(), -1);
}

TEST_F(DispatchTest, BankNoteRestartsTheTracksOwnVoice) {
  song->sampleMode = 1;
  song->bankLastIndex = 1;
  song->bankKeys[0] = 60;
  song->bankKeys[1] = 62;
  song->bankKeys[2] = 64;  // beyond the last index
  song->bankLengths[0] = 100;
  song->bankLengths[1] = 200;
  SongTrack& t = song->tracks[9];
  t.volume = 300;
  t.pan = 127;
  t.volSeq[0] = 5;
  Play(9, {Ev(kEvVolumeSequenceOn, 1), Ev(kEvNoteOn, 50)});  // key 50 + 12 = 62
  PcmVoice& v = song->voices[9];
  EXPECT_EQ(v.active, 1);
  EXPECT_EQ(v.sample, 1);
  EXPECT_EQ(v.length, 200);
  EXPECT_EQ(v.channels, 1);
  EXPECT_EQ(v.volume, 300);  // no volume sequence in bank mode
  EXPECT_EQ(v.pan, 127);
  EXPECT_EQ(v.track, 9);

  v.position = 500;
  Play(9, {Ev(kEvNoteOn, 52), Ev(kEvNoteOn, 51)});  // no such key: the voice plays on
  EXPECT_EQ(v.position, 500);
  EXPECT_EQ(v.sample, 1);
  Play(9, {Ev(kEvNoteOn, 48)});
  EXPECT_EQ(v.position, 0);
  EXPECT_EQ(v.sample, 0);
  for (int i = 0; i < kSongVoiceCount; ++i) EXPECT_EQ(song->voices[i].active, i == 9) << i;
}

}  // namespace
