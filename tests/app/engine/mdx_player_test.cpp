// The MDX player heard from outside: when notes reach the instrument for songs built here,
// against the Timer-B arithmetic, and what the render tick puts out.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "tests/app/engine/mdx_player_fixture.h"
#include "zovuz/core/zovuz_core.h"
#include "zovuz/sound/soft_sound_internal.h"

namespace {

// The call in which tick `tick` runs when the first command sets `timerB` and the tempo stays.
int CallOfTick(int tick, int timerB) { return CallReaching(TickTime(tick, timerB)); }

std::vector<int> CallsOfTicks(std::initializer_list<int> ticks, int timerB) {
  std::vector<int> calls;
  for (int t : ticks) calls.push_back(CallOfTick(t, timerB));
  return calls;
}

TEST_F(MdxPlayerTest, TimerBSetsTheTickFromTheFirstCommandAtTick1UntilTheEnd) {
  const struct {
    int timerB;
    double micros;
    int tempo;
  } cases[] = {{0, 65536, 19}, {200, 14336, 87}, {240, 4096, 305}, {255, 256, 4882}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.timerB);
    TpInstance* inst = LoadInstrument(0);
    Play({MdxTrack().Tempo(c.timerB).Note(60, 8).Note(62, 8).Note(64, 8).Note(65, 8).End()});
    // Until the tempo command runs at tick 1, ticks last 65536 microseconds.
    const int first = CallOfTick(1, 0);
    Tick(first);
    EXPECT_EQ(state.timerB, 0.0f);
    const int endCall = CallOfTick(33, c.timerB);
    Tick(endCall - first);
    EXPECT_EQ(state.timerB, static_cast<float>(c.timerB));
    EXPECT_EQ(state.microsPerTick, c.micros);
    EXPECT_EQ(state.tempo, c.tempo);
    EXPECT_TRUE(state.enabled[0]) << "the end command at tick 33 has not run yet";
    Tick(1);
    EXPECT_FALSE(state.enabled[0]);
    // An ended track sends nothing more.
    const size_t heard = Log(inst).size();
    Tick(5);
    EXPECT_EQ(Log(inst).size(), heard);
    EXPECT_EQ(CallsOf(inst, NoteOnBytes(60)), CallsOfTicks({1}, c.timerB));
    EXPECT_EQ(CallsOf(inst, NoteOnBytes(62)), CallsOfTicks({9}, c.timerB));
    EXPECT_EQ(CallsOf(inst, NoteOnBytes(65)), CallsOfTicks({25}, c.timerB));
    ResetPluginSlots();
  }
}

TEST_F(MdxPlayerTest, NotesLandOnTheirTicksThroughRepeatsTiesAndTempoChanges) {
  TpInstance* inst = LoadInstrument(0);
  MdxTrack t;
  t.Tempo(200);
  const size_t start = t.Here();
  t.RepeatStart(3).Note(60, 12);
  const size_t escape = t.Here();
  t.RepeatEscape().Note(62, 6);
  const size_t end = t.Here();
  t.RepeatEnd(start).EscapeTo(escape, end);
  t.Tie().Note(64, 24).Note(64, 24).Tempo(240).Note(65, 12).End();
  Play({t});
  // Ticks 1-97 at Timer-B 200, then at 240.
  const uint64_t at97 = TickTime(97, 200);
  const int endCall = CallReaching(at97 + 12 * 4096);
  Tick(endCall);
  EXPECT_TRUE(state.enabled[0]);
  Tick(1);
  EXPECT_FALSE(state.enabled[0]);
  // Three passes; the escape leaves the third before its second note.
  EXPECT_EQ(CallsOf(inst, NoteOnBytes(60)), CallsOfTicks({1, 19, 37}, 200));
  EXPECT_EQ(CallsOf(inst, NoteOnBytes(62)), CallsOfTicks({13, 31}, 200));
  // The tied note is struck once and released once, at the end of its continuation.
  EXPECT_EQ(CallsOf(inst, NoteOnBytes(64)), CallsOfTicks({49}, 200));
  EXPECT_EQ(CallsOf(inst, NoteOffBytes(64)), CallsOfTicks({97}, 200));
  EXPECT_EQ(CallsOf(inst, NoteOnBytes(65)), std::vector<int>{CallReaching(at97)});
}

TEST_F(MdxPlayerTest, TimeAfterATempoChangeInACallRunsAtTheNewRate) {
  TpInstance* inst = LoadInstrument(0);
  Play({MdxTrack().Tempo(255).Rest(40).Tempo(200).Note(60, 10).Note(62, 10).End()});
  Tick(30);
  // Tick 41 comes 40 x 256 microseconds after tick 1, in the middle of a call; the ten ticks
  // after it last 14336 microseconds each.
  const uint64_t at41 = TickTime(41, 255);
  EXPECT_EQ(CallsOf(inst, NoteOnBytes(60)), std::vector<int>{CallReaching(at41)});
  EXPECT_EQ(CallsOf(inst, NoteOnBytes(62)), std::vector<int>{CallReaching(at41 + 10 * 14336)});
}

TEST_F(MdxPlayerTest, ALoopJumpPlaysOnWithoutEnd) {
  TpInstance* inst = LoadInstrument(0);
  MdxTrack t;
  t.Tempo(200);
  const size_t top = t.Here();
  t.Note(60, 4).Rest(2).JumpTo(top);
  Play({t});
  Tick(CallOfTick(25, 200) + 1);
  EXPECT_EQ(CallsOf(inst, NoteOnBytes(60)), CallsOfTicks({1, 7, 13, 19, 25}, 200));
  EXPECT_TRUE(state.enabled[0]);
}

// No key-off is lost however many ticks a call covers: on a one-voice track no two keys ever
// sound together, and nothing is held after the end.
TEST_F(MdxPlayerTest, EveryNoteIsReleasedBeforeTheNextWhateverTheTicksPerCall) {
  for (uint64_t micros : {10000u, 30000u, 100000u}) {
    SCOPED_TRACE(micros);
    TpInstance* inst = LoadInstrument(0);
    MdxTrack t;
    t.Tempo(240);
    const size_t start = t.Here();
    t.RepeatStart(6).Note(60, 12).Note(62, 2).Note(64, 2).Note(65, 12).Note(67, 2).RepeatEnd(start).End();
    Play({t});
    // 180 ticks of 4096 microseconds after the first.
    Tick(static_cast<int>(TickTime(181, 240) / micros) + 1, micros);
    EXPECT_FALSE(state.enabled[0]);
    std::set<int> held;
    int onCount = 0;
    for (const MidiAt& m : Log(inst)) {
      if (m.bytes[0] == 0x90) {
        ++onCount;
        held.insert(m.bytes[1]);
        EXPECT_EQ(held.size(), 1u) << "key " << m.bytes[1] << " in call " << m.call;
      }
      if (m.bytes[0] == 0x80) held.erase(m.bytes[1]);
    }
    EXPECT_EQ(onCount, 30);
    EXPECT_TRUE(held.empty());
    ResetPluginSlots();
  }
}

TEST_F(MdxPlayerTest, AFullGateReleasesInTheCallTheNextNoteStrikes) {
  TpInstance* inst = LoadInstrument(0);
  Play({MdxTrack().Tempo(200).Note(60, 4).Note(62, 4).End()});
  Tick(CallOfTick(9, 200) + 1);
  const std::vector<MidiAt> log = Log(inst);
  std::vector<MidiBytes> atFive;
  for (const MidiAt& m : log) {
    if (m.call == CallOfTick(5, 200) && m.bytes[0] != 0xE0) atFive.push_back(m.bytes);
  }
  EXPECT_EQ(atFive, (std::vector<MidiBytes>{NoteOffBytes(60), NoteOnBytes(62)}));
  EXPECT_EQ(CallsOf(inst, NoteOffBytes(62)), CallsOfTicks({9}, 200));
}

// The default gate lasts trunc(q x (length - 1) / 8) + 1 ticks from the note-on; the "ticks
// before the end" form releases `value` ticks before the length is over, counted from the
// note's start a tick before its note-on. At Timer-B 200 every tick has a call of its own.
TEST_F(MdxPlayerTest, GatesReleaseNotesAfterTheirTicks) {
  const struct {
    int gate;
    int length;
    int ticksSounding;
  } cases[] = {{8, 1, 1},     {8, 6, 6},       {1, 8, 1},       {1, 15, 2}, {4, 48, 24},
               {0, 16, 2},    {0xFE, 48, 46},  {0xF0, 48, 32},  {0xF0, 10, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "gate " << c.gate << " length " << c.length);
    TpInstance* inst = LoadInstrument(0);
    state.lastKey[0] = 0;  // not the key of the case before
    PutSample(3, 1000000, 1000);
    Play({MdxTrack().Tempo(200).Gate(c.gate).Note(60, c.length).Rest(60).End(), {}, {}, {}, {}, {}, {}, {},
          MdxTrack().Tempo(200).Gate(c.gate).Sample(3, c.length).Rest(60).End()});
    const int offCall = CallOfTick(1 + c.ticksSounding, 200);
    Tick(offCall);
    // A gate that has passed when the note starts releases it in the tick it is struck.
    EXPECT_EQ(g_mdx.voices[8].active, c.ticksSounding > 0);
    Tick(1);
    EXPECT_FALSE(g_mdx.voices[8].active);
    EXPECT_EQ(CallsOf(inst, NoteOnBytes(60)), CallsOfTicks({1}, 200));
    EXPECT_EQ(CallsOf(inst, NoteOffBytes(60)), std::vector<int>{offCall});
    ResetPluginSlots();
  }
}

TEST_F(MdxPlayerTest, TiesHoldTheKeyOrBendToTheNext) {
  const struct {
    const char* name;
    MdxTrack track;
    std::vector<MidiBytes> heard;  // note-ons, note-offs and bends after the first note-on
  } cases[] = {
      {"same key", MdxTrack().Tempo(200).Tie().Note(60, 4).Note(60, 4).Rest(4).End(),
       {NoteOnBytes(60), NoteOffBytes(60)}},
      {"two semitones up", MdxTrack().Tempo(200).Tie().Note(60, 4).Note(62, 4).Rest(4).End(),
       {NoteOnBytes(60), BendBytes(128), NoteOffBytes(60)}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TpInstance* inst = LoadInstrument(0);
    Play({c.track});
    Tick(CallOfTick(18, 200));
    // From the first note-on, with bends taken only where they change.
    std::vector<MidiBytes> heard;
    MidiBytes lastBend = BendBytes(0);
    for (const MidiAt& m : Log(inst)) {
      if (m.bytes[0] == 0xE0) {
        if (m.bytes != lastBend && !heard.empty()) heard.push_back(m.bytes);
        lastBend = m.bytes;
      } else if (m.bytes[0] == 0x90 || !heard.empty()) {
        heard.push_back(m.bytes);
      }
    }
    EXPECT_EQ(heard, c.heard);
    ResetPluginSlots();
  }
}

// Where a tie meets a rest or the end of its track, tick by tick: what the instrument of track 0
// receives (note-ons and note-offs) and what becomes of the voice of track 8 ("start" when it is
// struck in that tick, "stop" when it falls silent). A rest ends a tie when the rest runs out, and
// a tie command just before a rest ties nothing after it; nothing stays held after the end.
TEST_F(MdxPlayerTest, TiesIntoRestsAndTrackEndsReleaseWhereTheyEnd) {
  typedef std::vector<std::pair<int, std::string>> Heard;  // tick, what
  const struct {
    const char* name;
    bool pcm;
    MdxTrack track;
    Heard heard;
  } cases[] = {
      {"a note tied into a rest sounds through it", false,
       MdxTrack().Tie().Note(60, 4).Rest(4).Note(62, 4).End(),
       {{1, "on 60"}, {9, "off 60"}, {9, "on 62"}, {13, "off 62"}}},
      {"a sample tied into a rest plays through it", true, MdxTrack().Tie().Sample(5, 4).Rest(4).Sample(5, 4).End(),
       {{1, "start"}, {9, "start"}, {13, "stop"}}},
      {"a tie before a rest ties nothing after it", false,
       MdxTrack().Note(60, 4).Tie().Rest(4).Note(62, 4).Note(64, 4).End(),
       {{1, "on 60"}, {5, "off 60"}, {9, "on 62"}, {13, "off 62"}, {13, "on 64"}, {17, "off 64"}}},
      {"a tie before a rest restarts no sample", true,
       MdxTrack().Sample(5, 4).Tie().Rest(4).Sample(5, 4).Sample(5, 4).End(),
       {{1, "start"}, {5, "stop"}, {9, "start"}, {13, "start"}, {17, "stop"}}},
      {"a note tied into the end", false, MdxTrack().Tie().Note(60, 4).End(), {{1, "on 60"}, {5, "off 60"}}},
      {"a note tied into the end of its data", false, MdxTrack().Tie().Note(60, 4), {{1, "on 60"}, {5, "off 60"}}},
      {"a sample tied into the end", true, MdxTrack().Tie().Sample(5, 4).End(), {{1, "start"}, {5, "stop"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TpInstance* inst = LoadInstrument(0);
    PutSample(5, 1000000, 1000);
    MdxTrack track = MdxTrack().Tempo(200);
    track.bytes.insert(track.bytes.end(), c.track.bytes.begin(), c.track.bytes.end());
    if (c.pcm) {
      Play({{}, {}, {}, {}, {}, {}, {}, {}, track});
    } else {
      Play({track});
    }
    Heard heard;
    for (int call = 0; call <= CallOfTick(20, 200); ++call) {
      const bool wasActive = g_mdx.voices[8].active;
      Tick(1);
      const PcmVoice& v = g_mdx.voices[8];
      if (v.active && v.position == kMdxFrameCount) heard.emplace_back(call, "start");
      if (wasActive && !v.active) heard.emplace_back(call, "stop");
    }
    // What arrives in call 0 are the releases that Play sends.
    for (const MidiAt& m : Log(inst)) {
      if (m.call < 1 || (m.bytes[0] != 0x90 && m.bytes[0] != 0x80)) continue;
      heard.emplace_back(m.call, (m.bytes[0] == 0x90 ? "on " : "off ") + std::to_string(m.bytes[1]));
    }
    Heard expected;
    for (const auto& h : c.heard) expected.emplace_back(CallOfTick(h.first, 200), h.second);
    EXPECT_EQ(heard, expected);
    EXPECT_TRUE(SongEnded());
    ExpectNoHeldKeys();
    ResetPluginSlots();
  }
}

// The square LFO of step 512 and period 10 is +256 and -512 for ten ticks each: the same at
// every tick whatever the ticks per call, and sent as bends of +1 and -2.
TEST_F(MdxPlayerTest, ThePitchLfoStepsOncePerTick) {
  for (uint64_t micros : {10000u, 30000u, 70000u}) {
    SCOPED_TRACE(micros);
    TpInstance* inst = LoadInstrument(0);
    Play({MdxTrack().Tempo(200).Lfo(1, 10, 512).Note(60, 200).End()});
    std::set<std::vector<int>> bends;
    for (int i = 0; i < 40; ++i) {
      Tick(1, micros);
      const int x = state.wholeTick - 1;  // ticks since the note-on at tick 1
      if (x > 0) {
        EXPECT_EQ(state.lfoValue[0], (x / 10) % 2 == 0 ? 256 : -512) << "tick " << state.wholeTick;
      }
    }
    for (const MidiAt& m : Log(inst)) {
      if (m.bytes[0] == 0xE0) bends.insert(m.bytes);
    }
    EXPECT_EQ(bends, (std::set<std::vector<int>>{BendBytes(0), BendBytes(1), BendBytes(-2)}));
    ResetPluginSlots();
  }
}

TEST_F(MdxPlayerTest, PortamentoBendsFromTheNoteByItsSpeedUntilItsEnd) {
  TpInstance* inst = LoadInstrument(0);
  // 4 bend units a tick (1024 / 256) for the 8 ticks of the note, then back to the key.
  Play({MdxTrack().Tempo(200).Portamento(1024).Note(60, 8).Rest(8).End()});
  Tick(CallOfTick(10, 200) + 1);
  std::vector<MidiBytes> bends;
  for (const MidiAt& m : Log(inst)) {
    if (m.bytes[0] == 0xE0) bends.push_back(m.bytes);
  }
  // A centre bend with the note-on, then the slide once a tick: start tick 0, end tick 8.
  EXPECT_EQ(bends, (std::vector<MidiBytes>{BendBytes(0), BendBytes(4), BendBytes(8), BendBytes(12), BendBytes(16),
                                           BendBytes(20), BendBytes(24), BendBytes(28), BendBytes(0), BendBytes(0),
                                           BendBytes(0)}));
  // A slide cut short by a rewind, or one given just before it, does not reach the next play.
  for (const MdxTrack& cut : {MdxTrack().Tempo(200).Portamento(1024).Note(60, 100).End(),
                              MdxTrack().Tempo(200).Note(60, 1).Portamento(1024).End()}) {
    Play({cut});
    Tick(CallOfTick(3, 200));
    song.Rewind();
    const size_t before = Log(inst).size();
    Play({MdxTrack().Tempo(200).Note(62, 20).End()});
    Tick(CallOfTick(5, 200));
    const std::vector<MidiAt> log = Log(inst);
    ASSERT_GT(log.size(), before + 4);
    for (size_t i = before; i < log.size(); ++i) EXPECT_TRUE(log[i].bytes[0] != 0xE0 || log[i].bytes == BendBytes(0));
  }
}

TEST_F(MdxPlayerTest, PauseReleasesResumeContinuesAndRewindStopsAtTheTop) {
  TpInstance* inst = LoadInstrument(0);
  Play({MdxTrack().Tempo(200).Note(60, 10).Note(62, 10).End()});
  Tick(CallOfTick(1, 200) + 1);
  song.Pause();
  EXPECT_EQ(TakeQueued(0), std::vector<MidiBytes>{NoteOffBytes(60)});
  const uint64_t startBefore = song.startTime;
  Tick(50);  // 0.5 s paused: nothing moves
  song.Resume();
  EXPECT_EQ(song.startTime, startBefore + 500000);
  Tick(CallOfTick(11, 200) - CallOfTick(1, 200));
  EXPECT_EQ(CallsOf(inst, NoteOnBytes(62)), std::vector<int>{CallOfTick(11, 200) + 50});
  // Resume only resumes a paused song.
  song.Resume();
  EXPECT_EQ(song.startTime, startBefore + 500000);
  Tick(CallOfTick(21, 200) - CallOfTick(11, 200));
  EXPECT_FALSE(state.enabled[0]);
  // A track that reached its end stays off after a pause.
  song.Pause();
  song.Resume();
  EXPECT_FALSE(state.enabled[0]);
  Tick(5);
  song.Rewind();
  EXPECT_EQ(state.playing, 0);
  EXPECT_EQ(state.readPosition[0], 0);
  EXPECT_EQ(state.timerB, 0.0f);
  Tick(10);
  song.Resume();
  EXPECT_EQ(song.startTime, g_fakeClock) << "the song's time starts when it is resumed from the top";
  Tick(CallOfTick(1, 0) + 1);
  EXPECT_EQ(CallsOf(inst, NoteOnBytes(60)).size(), 2u) << "played again from the top";
}

TEST_F(MdxPlayerTest, PlaySetsUpRecognisedFmInstrumentsOnly) {
  TpInstance* fm = LoadInstrument(0, true);
  TpInstance* plain = LoadInstrument(1, false);
  SlotOf(0, 0).pan = 0;
  SlotOf(1, 0).pan = 0;
  const int fmParams = fm->paramTotal, plainParams = plain->paramTotal;
  Play({MdxTrack().Tempo(200).Note(60, 4).End(), MdxTrack().Tempo(200).Note(60, 4).End()});
  std::vector<std::pair<int, float>> writes;
  for (int i = fmParams; i < fm->paramTotal; ++i) writes.emplace_back(fm->paramLog[i].index, fm->paramLog[i].value);
  const std::vector<std::pair<int, float>> expected = {
      {97, 1.0f}, {57, 0.125f}, {89, 0.0f}, {63, 0.0f}, {68, 0.0f},           {74, 0.0f},        {80, 0.0f},
      {85, 0.0f}, {55, 0.0f},   {63, 0.125f}, {64, 120.0f / 127.0f}, {65, 1.0f / 127.0f}, {85, 0.0f}};
  EXPECT_EQ(writes, expected);
  EXPECT_EQ(plain->paramTotal, plainParams);
  EXPECT_EQ(SlotOf(0, 0).pan, 64);
  EXPECT_EQ(SlotOf(1, 0).pan, 0);
  EXPECT_EQ(TakeQueued(0), (std::vector<MidiBytes>{NoteOffBytes(0), BendBytes(0)}));
  EXPECT_EQ(TakeQueued(1), std::vector<MidiBytes>{NoteOffBytes(0)});
}

// PCM voices: the sample at unity gain, pan 1 and 2 keeping one side; channel meters before
// the strip's fader and pan, the master's after its pan and before its fader; the capture
// takes the frames.
TEST_F(MdxPlayerTest, PcmVoicesPanMeterAndReachTheCapture) {
  const struct {
    int pan;
    int left, right;
  } cases[] = {{3, 8192, 4096}, {1, 8192, 0}, {2, 0, 4096}, {0, 8192, 4096}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pan);
    state.Reset();
    PutSample(7, 100000, 16384);
    Play({{}, {}, {}, {}, {}, {}, {}, {}, MdxTrack().Tempo(200).Pan(c.pan).Sample(7, 40).End()});
    state.channelVolume[8] = 0.5f;
    state.channelPan[kMasterChannel] = 0.25f;  // right side at half
    Tick(CallOfTick(1, 200));
    const std::vector<Frame> frames = Render(2);
    // Channel: 0.5 of the sample; master right at half again.
    EXPECT_NEAR(frames[500].first, c.left, 1);
    EXPECT_NEAR(frames[500].second, c.right, 1);
    EXPECT_NEAR(state.peakLeft[8], c.left ? 0.5f : 0.0f, 0.001f);
    EXPECT_NEAR(state.peakRight[8], c.right ? 0.5f : 0.0f, 0.001f);
    EXPECT_NEAR(state.peakLeft[kMasterChannel], c.left / 32767.0f, 0.001f);
    EXPECT_NEAR(state.peakRight[kMasterChannel], c.right / 32767.0f, 0.001f);
    state.channelVolume[kMasterChannel] = 0.5f;
    const std::vector<Frame> half = Render(1);
    EXPECT_NEAR(half[100].first, c.left / 2, 1);
    EXPECT_NEAR(state.peakLeft[kMasterChannel], c.left / 32767.0f, 0.001f) << "master meter before its fader";
  }
}

TEST_F(MdxPlayerTest, AVoiceEndsWithItsSampleOrAtOnceWithoutOne) {
  PutSample(2, 1000, 100);
  Play({{}, {}, {}, {}, {}, {}, {}, {}, MdxTrack().Tempo(200).Sample(2, 100).End(),
        MdxTrack().Tempo(200).Sample(40, 100).End(), MdxTrack().Tempo(200).Sample(120, 100).End()});
  Tick(CallOfTick(1, 200) + 1);
  EXPECT_TRUE(g_mdx.voices[8].active);
  EXPECT_FALSE(g_mdx.voices[9].active) << "a number the bank has no sample for";
  EXPECT_FALSE(g_mdx.voices[10].active) << "a number beyond the bank";
  Tick(2);
  EXPECT_FALSE(g_mdx.voices[8].active) << "1000 samples: 441, 441, then the end";
  // A reload that puts a shorter sample under the number ends the voice at the new end.
  Play({{}, {}, {}, {}, {}, {}, {}, {}, MdxTrack().Tempo(200).Sample(2, 100).End()});
  Tick(CallOfTick(1, 200) + 1);
  PutSample(2, 500, 100);
  Tick(1);
  EXPECT_FALSE(g_mdx.voices[8].active);
}

// The output stage clamps the master as a floating-point value: a NaN is silence, and
// nothing outside the 16-bit range wraps. The master insert puts the value there.
TEST_F(MdxPlayerTest, OutputClampsInFloatingPointAndSilencesNaN) {
  ASSERT_EQ(LoadPlugin(kMasterChannel, 1, TestPluginPath("tp_effect").c_str()), 0);
  PluginSlot& insert = SlotOf(kMasterChannel, 1);
  insert.SetParameter(0, 0.0f);
  const struct {
    float value;
    int out;
  } cases[] = {{1.0f, 32767},      {-1.0f, -32767}, {-1.5f, -32768}, {1.5f, 32767},        {0.5f, 16383},
               {1e30f, 32767},     {-1e30f, -32768}, {NAN, 0},       {INFINITY, 32767},    {-INFINITY, -32768}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    insert.SetParameter(1, c.value);
    const std::vector<Frame> frames = Render(1);
    EXPECT_EQ(frames[0], Frame(c.out, c.out));
    EXPECT_EQ(frames[440], Frame(c.out, c.out));
  }
}

// A call that comes very late runs a bounded number of ticks and hands the rest of the time
// to the next calls: the song catches up with every note and loses no time.
TEST_F(MdxPlayerTest, ALateCallCatchesUpOverTheNextCallsWithoutLosingTime) {
  TpInstance* inst = LoadInstrument(0);
  MdxTrack t;
  t.Tempo(255);
  const size_t top = t.Here();
  t.Note(60, 250).JumpTo(top);
  Play({t});
  Tick(1, 2000000);
  EXPECT_EQ(state.wholeTick, kMdxTicksPerCall);
  Tick(10);
  // 2.1 s after the start; tick 1 at 65536 microseconds, then one every 256.
  const int tick = 1 + static_cast<int>((2100000 - 65536) / 256);
  EXPECT_EQ(state.wholeTick, tick);
  EXPECT_EQ(static_cast<int>(CallsOf(inst, NoteOnBytes(60)).size()), 1 + (tick - 1) / 250);
}

// While a render captures, a call moves the song on by the 10 ms of frames it writes, however
// late it comes; after the render the clock goes on from there, without catching up.
TEST_F(MdxPlayerTest, ARenderMovesTheSongOnByTheFramesEachCallWrites) {
  MdxTrack t;
  t.Note(60, 250);
  Play({t});
  ArmTestCapture(wave, left, right, 3);
  Tick(3, 200000);
  TakeTestCapture(wave, left, right);
  // Before a tempo command a tick lasts 65,536 microseconds.
  EXPECT_NEAR(state.tickPosition, 30000.0 / 65536, 1e-9);
  Tick(1);
  EXPECT_NEAR(state.tickPosition, 40000.0 / 65536, 1e-9);
}

TEST_F(MdxPlayerTest, StoppedThePlayerStillRendersAndPushesSilence) {
  TpInstance* inst = LoadInstrument(0);
  const int before = inst->processCalls;
  const std::vector<Frame> frames = Render(3);
  EXPECT_EQ(inst->processCalls, before + 3);
  for (const Frame& f : frames) ASSERT_EQ(f, Frame(0, 0));
}

// End to end: the real timer and clock play the song and push every frame into the player's
// own SoftSound player; after the end nothing ticks and the player is gone.
TEST_F(MdxPlayerTest, TheRealTimerPlaysIntoTheSoftSoundPlayerUntilTheEnd) {
  TpInstance* inst = LoadInstrument(0);
  SetSequencerClock(nullptr);
  ASSERT_TRUE(StartSoundSystemWithoutThread());
  g_mdx.tones[3].used = 1;
  EXPECT_TRUE(song.Init());
  EXPECT_EQ(state.playing, 0);
  EXPECT_EQ(g_mdx.tones[3].used, 0);
  EXPECT_EQ(g_mdx.timerId, 0u);
  const int32_t player = g_mdx.softSoundPlayer;
  ASSERT_GE(player, 0);
  auto* record = reinterpret_cast<SoftSoundHandleData*>(HandleCheck(player));
  EXPECT_EQ(record->Player.PlayingFlag, 1);
  const int margin = record->Player.QueuedFrames;  // the silence queued before the start

  Play({MdxTrack().Tempo(255).Note(60, 40).End()});
  StartMdxTimer();
  ASSERT_NE(g_mdx.timerId, 0u);
  for (int i = 0; i < 300 && CallsOf(inst, NoteOffBytes(60)).empty(); ++i) Sleep(10);
  StopMdxTimer();
  EXPECT_EQ(CallsOf(inst, NoteOnBytes(60)).size(), 1u);
  EXPECT_FALSE(state.enabled[0]) << "tick 41 comes 75.8 ms after the start";
  EXPECT_GE(record->Player.QueuedFrames - margin, 5 * 441);
  EXPECT_EQ((record->Player.QueuedFrames - margin) % 441, 0);  // whole ticks

  StartMdxTimer();
  TermMdxPlayer();
  const int calls = inst->processCalls;
  EXPECT_EQ(g_mdx.timerId, 0u);
  EXPECT_EQ(g_mdx.trackData[0], nullptr);
  EXPECT_EQ(g_mdx.softSoundPlayer, -1);
  EXPECT_EQ(HandleCheck(player), nullptr);
  EXPECT_EQ(TerminateSoundSystem(), 0);
  Sleep(60);
  EXPECT_EQ(inst->processCalls, calls);
}

// The pitch LFO's waveforms tick by tick after a note-on at tick 1 (x = ticks since it).
TEST_F(MdxPlayerTest, PitchLfoWaveformsStepByTheirShape) {
  const struct {
    const char* name;
    int delay, waveform, period, step;
    std::vector<int> values;  // x = 1, 2, ...
  } cases[] = {
      {"saw", 0, 0, 8, 100, {100, 200, 300, -400, -300, -200, -100, 0, 100, 200, 300, -400}},
      {"triangle", 0, 2, 8, 100, {100, 200, 300, 200, 100, 0, -100, -200, -300, -400, -500, -400}},
      {"square, negative step", 0, 1, 4, -512, {-256, -256, -256, 512, 512, 512, 512, -256, -256, -256, -256, 512}},
      {"square after a delay", 3, 1, 4, 512, {0, 0, 0, 256, 256, 256, -512, -512, -512, -512, 256, 256}},
      {"unknown waveform", 0, 3, 4, 512, {0, 0, 0, 0}},
      {"square of period 0", 0, 1, 0, 512, {0, 0, 0, 0}},
      {"saw of period 1", 0, 0, 1, 512, {0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Play({MdxTrack().Tempo(200).LfoDelay(c.delay).Lfo(c.waveform, c.period, c.step).Note(60, 100).End()});
    Tick(CallOfTick(1, 200) + 1);
    std::vector<int> values;
    while (values.size() < c.values.size()) {
      const int tick = state.wholeTick;
      Tick(1);
      if (state.wholeTick != tick) values.push_back(state.lfoValue[0]);
    }
    EXPECT_EQ(values, c.values);
  }
}

TEST_F(MdxPlayerTest, AMutedTrackStrikesNothingButStillReleases) {
  TpInstance* inst = LoadInstrument(0);
  PutSample(3, 100000, 1000);
  Play({MdxTrack().Tempo(200).Note(60, 4).Rest(4).End(), {}, {}, {}, {}, {}, {}, {},
        MdxTrack().Tempo(200).Sample(3, 4).Rest(4).End()});
  state.mute[0] = state.mute[8] = 1;
  Tick(CallOfTick(9, 200));
  EXPECT_TRUE(CallsOf(inst, NoteOnBytes(60)).empty());
  EXPECT_EQ(CallsOf(inst, NoteOffBytes(60)), CallsOfTicks({5}, 200));
  EXPECT_FALSE(g_mdx.voices[8].active);
}

// A send takes the track before its strip: with the track's fader down, only the bus is heard.
TEST_F(MdxPlayerTest, SendsFeedTheBusesFromBeforeTheTrackStrip) {
  PutSample(7, 100000, 16384);
  Play({{}, {}, {}, {}, {}, {}, {}, {}, MdxTrack().Tempo(200).Sample(7, 40).End()});
  state.channelVolume[8] = 0.0f;
  state.sendOn[8][1] = 1;
  state.sendLevel[8][1] = 0.5f;
  Tick(CallOfTick(1, 200));
  const std::vector<Frame> frames = Render(2);
  EXPECT_NEAR(frames[600].first, 8192, 1);
  EXPECT_NEAR(frames[600].second, 8192, 1);
  EXPECT_NEAR(state.peakLeft[kEffectBusFirst + 1], 0.25f, 0.001f);
  EXPECT_EQ(state.peakLeft[kEffectBusFirst], 0.0f);
}

}  // namespace
