#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/app/engine/mml_test_support.h"
#include "tests/app/engine/sequencer_fixture.h"

namespace {

constexpr uint32_t kFar = 100000;  // a rest far away keeps a track playing

struct ClockState {
  uint64_t clockBase, lastClock, pauseStart;
  double position;
  int playing, paused, ended;
  bool operator==(const ClockState& o) const {
    return clockBase == o.clockBase && lastClock == o.lastClock && pauseStart == o.pauseStart &&
           position == o.position && playing == o.playing && paused == o.paused && ended == o.ended;
  }
};

ClockState StateOf(const SongEngine& s) {
  return {s.clockBase, s.lastClock, s.pauseStart, s.tickPosition, s.playing, s.paused, s.ended};
}

int CountOf(const Midi& midi, const std::vector<int>& message) {
  int n = 0;
  for (const auto& m : midi) n += m == message;
  return n;
}

// The bends of a MIDI stream, in order.
Midi BendsOf(const Midi& midi) {
  Midi out;
  for (const auto& m : midi) {
    if (m[0] == 0xE0) out.push_back(m);
  }
  return out;
}

class SequencerTransport : public SequencerTest {
 protected:
  // Plays song 0 from the top without the note-offs that the start queues to track 0.
  void PlayAndDropBursts() {
    PlaySequencerFromTop();
    TakeQueued(0);
  }
};

TEST_F(SequencerTransport, ClockTurnsElapsedTimeIntoTicksAtTheTempo) {
  struct Case {
    int tempo, calls;
    double position;
  } cases[] = {
      {120, 1, 0.96},  // 10,416.67 us a tick
      {120, 50, 48.0}, // a quarter note lasts 0.5 s
      {60, 1, 0.48},
      {0, 3, 0.0},     // a tempo of 0 or below holds the song
      {-30, 3, 0.0},
  };
  for (const Case& c : cases) {
    SetTrack(0, {Event(kEvRest, kFar)});
    PlaySequencerFromTop();
    song.tempo = c.tempo;
    Tick(c.calls);
    EXPECT_NEAR(song.tickPosition, c.position, 1e-9) << c.tempo << " x " << c.calls;
  }

  // A tempo event changes the rate from the next tick on, and a replay keeps it until a tempo
  // event runs again.
  song.tempo = 120;
  SetTrack(0, {Event(kEvTempo, 1, 240), Event(kEvRest, kFar)});
  PlaySequencerFromTop();
  Tick(2);
  EXPECT_NEAR(song.tickPosition, 1.92, 1e-9);
  EXPECT_EQ(song.tempo, 240);
  Tick(1);
  EXPECT_NEAR(song.tickPosition, 3.84, 1e-9);
  PlaySequencerFromTop();
  Tick(1);
  EXPECT_NEAR(song.tickPosition, 1.92, 1e-9);

  // While a render captures, a call moves the song on by the 10 ms of frames it writes, however
  // late it comes; after the render the clock goes on from there, without catching up.
  song.tempo = 120;
  SetTrack(0, {Event(kEvRest, kFar)});
  PlaySequencerFromTop();
  Arm(3);
  g_fakeClock += 300000;
  Tick(3);
  Captured();
  EXPECT_NEAR(song.tickPosition, 2.88, 1e-9);
  Tick(1);
  EXPECT_NEAR(song.tickPosition, 3.84, 1e-9);
}

TEST_F(SequencerTransport, PauseHoldsTheSongAndResumeContinuesFromTheSameTick) {
  SetTrack(0, {Event(kEvNoteOn, 0, 60), Event(kEvNoteOff, 10, 60), Event(kEvRest, kFar)});
  PlaySequencerFromTop();
  const uint64_t start = song.clockBase;
  Tick(5);
  TakeQueued(0);
  PauseSequencer();
  EXPECT_EQ(TakeQueued(0), (Midi{NoteOffBytes(60), NoteOffBytes(60)}));  // sounding, then held
  g_fakeClock += 5000000;
  Tick(3);
  EXPECT_NEAR(song.tickPosition, 4.8, 1e-9);
  EXPECT_EQ(song.events[0][1].dispatched, 0);
  ResumeSequencer();
  EXPECT_EQ(song.paused, 0);
  EXPECT_EQ(song.lastClock, g_fakeClock);
  // The elapsed time shown (now - clock base) goes on from the 50 ms played.
  EXPECT_EQ(g_fakeClock - song.clockBase, 50000u);
  EXPECT_EQ(song.clockBase, start + 5030000);
  Tick(1);
  EXPECT_NEAR(song.tickPosition, 5.76, 1e-9);
}

TEST_F(SequencerTransport, FastForwardRunsEveryEventOnTheWayButStopsAtTheEnd) {
  std::vector<SongEvent> events;
  for (uint32_t k = 0; k < 20; ++k) {
    events.push_back(Event(kEvNoteOn, 2 * k, 40 + k));
    events.push_back(Event(kEvNoteOff, 2 * k + 1, 40 + k));
  }
  events.push_back(Event(kEvRest, 1000));
  SetTrack(0, events);
  TpInstance* inst = LoadInstrument(0);
  ASSERT_NE(inst, nullptr);
  PlaySequencerFromTop();
  Tick(1);
  TakeMidi(inst);
  FastForwardSequencer(400);
  EXPECT_EQ(g_fakeClock - song.clockBase, 410000u);
  Tick(1);
  EXPECT_NEAR(song.tickPosition, 0.96 + 0.96 + 38.4, 1e-9);
  int ons = 0;
  for (const auto& m : TakeMidi(inst)) ons += m[0] == 0x90;
  EXPECT_EQ(ons, 19);  // every note after the first, which had run before the jump

  // Far beyond the end: the song lands on its last event (tick 1000) and ends there.
  FastForwardSequencer(1000000);
  EXPECT_LT(g_fakeClock - song.clockBase, 11000000u);
  Tick(1);
  EXPECT_GE(song.tickPosition, 1000.0);
  EXPECT_LT(song.tickPosition, 1000.0 + 2 * 0.96);
  EXPECT_EQ(song.ended, 1);
}

// Loop jumps as the listener meets them, call by call (the clock half a call off the song's
// ticks, so that no event falls on a call's edge): the note-ons and note-offs of track 0 and where
// the song stands at the end. A jump placed before its loop point moves on to it; a fast-forward
// through a loop that plays for ever moves the full amount, and one through a song that only
// skips ahead stops where that song ends.
TEST_F(SequencerTransport, LoopJumpsAndFastForwardThroughThem) {
  const struct {
    const char* name;
    const char* text;
    int ffAfterCall;  // -1: no fast-forward
    int ffMs;
    int calls;
    std::vector<std::pair<int, Midi>> heard;
    double position;
  } cases[] = {
      {"a jump before its loop point", "c [l] d [d] e f", -1, 0, 150,
       {{0, {NoteOnBytes(48)}},
        {49, {NoteOffBytes(48), NoteOnBytes(52)}},
        {99, {NoteOffBytes(52), NoteOnBytes(53)}},
        {149, {NoteOffBytes(53)}}},
       144.48},
      {"a fast-forward through a loop without end", "[d] c8 d8 [l]", 9, 800, 20,
       {{0, {NoteOnBytes(48)}},
        {10,
         {NoteOffBytes(48), NoteOnBytes(50), NoteOffBytes(50), NoteOnBytes(48), NoteOffBytes(48), NoteOnBytes(50)}},
        {19, {NoteOffBytes(50), NoteOnBytes(48)}}},
       96.48},
      {"a fast-forward through a song that skips ahead", "c [l] d [l] d [d] e", 0, 10000, 5,
       {{0, {NoteOnBytes(48)}}, {1, {NoteOffBytes(48), NoteOnBytes(52), NoteOffBytes(52)}}},
       96.96},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TpInstance* inst = LoadInstrument(0);
    ASSERT_NE(inst, nullptr);
    CompileMmlText(c.text);
    PlayAndDropBursts();
    g_fakeClock += 5000;
    std::vector<std::pair<int, Midi>> heard;
    for (int call = 0; call < c.calls; ++call) {
      Tick(1);
      Midi notes;
      for (const auto& m : TakeMidi(inst)) {
        if (m[0] != 0xE0) notes.push_back(m);
      }
      if (!notes.empty()) heard.emplace_back(call, notes);
      if (call == c.ffAfterCall) FastForwardSequencer(c.ffMs);
    }
    EXPECT_EQ(heard, c.heard);
    EXPECT_NEAR(song.tickPosition, c.position, 1e-3);
    if (song.ended) ExpectNoHeldKeys();
    ResetPluginSlots();
  }
}

TEST_F(SequencerTransport, EveryTrackEndedPausesAndEndsTheSongAndResumePlaysFromTheTop) {
  SetTrack(0, {Event(kEvNoteOn, 0, 60), Event(kEvNoteOff, 4, 60)});
  TpInstance* inst = LoadInstrument(0);
  ASSERT_NE(inst, nullptr);
  PlaySequencerFromTop();
  Tick(4);
  EXPECT_EQ(song.ended, 0);
  Tick(1);  // 4.8: the note-off runs, the last track ends
  EXPECT_EQ(song.playing, 1);
  EXPECT_EQ(song.paused, 1);
  EXPECT_EQ(song.ended, 1);
  Tick(3);
  EXPECT_NEAR(song.tickPosition, 4.8, 1e-9);
  TakeMidi(inst);
  ResumeSequencer();
  EXPECT_EQ(song.ended, 0);
  EXPECT_EQ(song.paused, 0);
  Tick(1);
  EXPECT_NEAR(song.tickPosition, 0.96, 1e-9);
  EXPECT_EQ(CountOf(TakeMidi(inst), NoteOnBytes(60)), 1);
}

TEST_F(SequencerTransport, RewindDuringPlayReplaysEveryTrackAndTheSongEndsAgain) {
  // Track 1 and the empty tracks end before the rewind; after it they play (or end) again.
  SetTrack(0, {Event(kEvNoteOn, 0, 60), Event(kEvNoteOff, 20, 60)});
  SetTrack(1, {Event(kEvNoteOn, 0, 50), Event(kEvNoteOff, 2, 50)});
  TpInstance* inst = LoadInstrument(1);
  ASSERT_NE(inst, nullptr);
  PlaySequencerFromTop();
  Tick(5);
  EXPECT_EQ(song.tracks[1].endReached, 1);
  TakeMidi(inst);
  RewindSequencer();
  EXPECT_EQ(song.tickPosition, 0.0);
  Tick(1);
  EXPECT_EQ(CountOf(TakeMidi(inst), NoteOnBytes(50)), 1);
  Tick(21);
  EXPECT_EQ(song.ended, 1);
  EXPECT_EQ(song.paused, 1);
}

TEST_F(SequencerTransport, RewindWhilePausedStaysPausedAtTheTopUntilResume) {
  SetTrack(0, {Event(kEvNoteOn, 0, 60), Event(kEvNoteOff, 40, 60), Event(kEvRest, kFar)});
  TpInstance* inst = LoadInstrument(0);
  ASSERT_NE(inst, nullptr);
  PlaySequencerFromTop();
  Tick(10);
  PauseSequencer();
  RewindSequencer();
  Tick(3);
  EXPECT_EQ(song.paused, 1);
  EXPECT_EQ(song.tickPosition, 0.0);
  TakeMidi(inst);
  ResumeSequencer();
  Tick(1);
  EXPECT_NEAR(song.tickPosition, 0.96, 1e-9);
  EXPECT_EQ(CountOf(TakeMidi(inst), NoteOnBytes(60)), 1);
}

TEST_F(SequencerTransport, CallsOutsideTheirStateChangeNothing) {
  struct Case {
    const char* name;
    std::function<void()> before, call;
  } cases[] = {
      {"resume while playing", [] { PlaySequencerFromTop(); }, ResumeSequencer},
      {"resume while stopped", [] {}, ResumeSequencer},
      {"pause while stopped", [] {}, PauseSequencer},
      {"pause while paused", [] { PlaySequencerFromTop(); PauseSequencer(); }, PauseSequencer},
      {"fast-forward while paused", [] { PlaySequencerFromTop(); PauseSequencer(); },
       [] { FastForwardSequencer(400); }},
      {"fast-forward while stopped", [] {}, [] { FastForwardSequencer(400); }},
  };
  for (const Case& c : cases) {
    SetTrack(0, {Event(kEvRest, kFar)});
    StopAllSongEngines();
    c.before();
    Tick(2);
    const ClockState before = StateOf(song);
    g_fakeClock += 1000000;
    TakeQueued(0);
    c.call();
    EXPECT_TRUE(StateOf(song) == before) << c.name;
    EXPECT_EQ(TakeQueued(0), Midi{}) << c.name;
  }
}

TEST_F(SequencerTransport, PauseRewindAndStopSilenceTheInstruments) {
  struct Case {
    const char* name;
    void (*call)();
    int voiceActive;
    int bursts;  // stop silences the slots once for each of the ten songs
  } cases[] = {
      {"pause", PauseSequencer, 0, 1},
      {"rewind", RewindSequencer, 1, 1},
      {"stop", StopAllSongEngines, 0, kSongCount},
  };
  for (const Case& c : cases) {
    SetTrack(0, {Event(kEvRest, kFar)});
    PlaySequencerFromTop();
    SongTrack& t = song.tracks[2];
    t.currentNote = 67;
    t.heldNotes[0] = 60;
    t.heldNotes[3] = 64;
    song.voices[5].active = 1;
    song.voices[5].length = 1 << 30;
    for (int track = 0; track < kInstrumentTrackCount; ++track) TakeQueued(track);
    c.call();
    Midi track2 = {NoteOffBytes(67), NoteOffBytes(60), NoteOffBytes(64)};
    track2.insert(track2.end(), c.bursts - 1, NoteOffBytes(0));
    EXPECT_EQ(TakeQueued(2), track2) << c.name;
    EXPECT_EQ(TakeQueued(7), Midi(c.bursts, NoteOffBytes(0))) << c.name;  // every slot, loaded or not
    EXPECT_EQ(t.heldNotes[0], 60) << c.name;                       // the held list stays
    EXPECT_EQ(song.voices[5].active, c.voiceActive) << c.name;
    t = SongTrack{};
    t.Reset();
  }
}

TEST_F(SequencerTransport, StopAllStopsEverySongAndMakesEveryEventDueAgain) {
  SetTrack(0, {Event(kEvNoteOn, 0, 60), Event(kEvNoteOff, 2, 60)});
  PlaySequencerFromTop();
  Tick(4);
  ASSERT_EQ(song.ended, 1);
  g_songs[3].playing = 1;
  g_songs[3].voices[0].active = 1;
  StopAllSongEngines();
  EXPECT_EQ(song.playing, 0);
  EXPECT_EQ(song.paused, 0);
  EXPECT_EQ(song.ended, 1);  // kept
  EXPECT_EQ(song.tracks[0].eventCursor, 0);
  EXPECT_EQ(song.tracks[0].stopped, 0);
  EXPECT_EQ(song.events[0][0].dispatched, 0);
  EXPECT_EQ(song.events[0][1].dispatched, 0);
  EXPECT_EQ(g_songs[3].playing, 0);
  EXPECT_EQ(g_songs[3].voices[0].active, 0);

  // Playing from the top keeps the instrument tracks' settings but not the sample tracks' volume.
  song.tracks[1].volume = 100;
  song.tracks[9].volume = 100;
  PlaySequencerFromTop();
  EXPECT_EQ(song.tracks[1].volume, 100);
  EXPECT_EQ(song.tracks[9].volume, 256);
}

TEST_F(SequencerTransport, GlideStepsEveryTickLandsOnItsTargetAndReturnsToTheCentre) {
  TpInstance* inst = LoadInstrument(0);
  ASSERT_NE(inst, nullptr);
  SetTrack(0, {Event(kEvPortamentoStart, 0, 60), Event(kEvPortamentoEnd, 8, 64), Event(kEvRest, kFar)});
  PlayAndDropBursts();
  Tick(12);
  EXPECT_EQ(TakeMidi(inst), (Midi{BendBytes(0), NoteOnBytes(60), BendBytes(32), BendBytes(64), BendBytes(96),
                                  BendBytes(128), BendBytes(160), BendBytes(192), BendBytes(224), BendBytes(256),
                                  NoteOffBytes(60), BendBytes(0)}));

  // A glide of no length is a jump to its target.
  SongTrack& t = song.tracks[0];
  t.portaActive = 1;
  t.portaStartKey = 60;
  t.portaTargetKey = 62;
  t.portaDuration = 0;
  t.portaBaseOffset = 1;
  Tick(2);
  EXPECT_EQ(t.portaBend, 192);
  EXPECT_EQ(BendsOf(TakeMidi(inst)), (Midi{BendBytes(192)}));
}

TEST_F(SequencerTransport, VibratoSwingsAndItsEndBringsThePitchBackBeforeTheNoteEnds) {
  TpInstance* inst = LoadInstrument(0);
  ASSERT_NE(inst, nullptr);
  // A cycle of 8 ticks after a delay of 1: up in its first and last quarter, down in between.
  SetTrack(0, {Event(kEvVibratoPeriod, 0, 2), Event(kEvVibratoDelay, 0, 1), Event(kEvVibratoDepth, 0, 160),
               Event(kEvNoteOn, 0, 60), Event(kEvVibratoPeriod, 11, 0), Event(kEvNoteOff, 14, 60),
               Event(kEvRest, kFar)});
  PlayAndDropBursts();
  Tick(12);  // up to tick 11
  Midi swing = BendsOf(TakeMidi(inst));
  EXPECT_EQ(swing, (Midi{BendBytes(0), BendBytes(10), BendBytes(0), BendBytes(-10), BendBytes(-20), BendBytes(-30),
                         BendBytes(-20), BendBytes(-10), BendBytes(0), BendBytes(10), BendBytes(0)}));
  EXPECT_EQ(song.tracks[0].vibActive, 0);
  Tick(5);  // past the note-off: no bend left to send
  EXPECT_EQ(TakeMidi(inst), (Midi{NoteOffBytes(60)}));

  // At tempo 60 the swing steps at every timer tick, two to a song tick, and the bend follows
  // it once a song tick.
  SetTrack(0, {Event(kEvVibratoPeriod, 0, 2), Event(kEvVibratoDepth, 0, 160), Event(kEvNoteOn, 0, 60),
               Event(kEvRest, kFar)});
  PlayAndDropBursts();
  song.tempo = 60;
  Tick(21);  // 10.08 song ticks
  // Values at the first timer tick of each song tick 1-9 (those equal to the last one sent are
  // not sent again): 10, 10, -10, -30, -50, -50, -30, -10, 10.
  EXPECT_EQ(BendsOf(TakeMidi(inst)), (Midi{BendBytes(0), BendBytes(10), BendBytes(-10), BendBytes(-30),
                                           BendBytes(-50), BendBytes(-30), BendBytes(-10), BendBytes(10)}));
}

TEST_F(SequencerTransport, SlurBendIsSentOnceAndReleasedAtTheNoteOff) {
  TpInstance* inst = LoadInstrument(0);
  ASSERT_NE(inst, nullptr);
  // "c & d" as the compiler writes it: no note-off between the two.
  SetTrack(0, {Event(kEvNoteOn, 0, 60, 0), Event(kEvNoteOn, 4, 62), Event(kEvNoteOff, 20, 62),
               Event(kEvRest, kFar)});
  PlayAndDropBursts();
  Tick(24);
  EXPECT_EQ(TakeMidi(inst), (Midi{BendBytes(0), NoteOnBytes(60), BendBytes(128), NoteOffBytes(60), BendBytes(0)}));
}

TEST_F(SequencerTransport, RewindOrReplayDuringAGlideLeavesTheFirstNoteUnbent) {
  struct Case {
    const char* name;
    void (*call)();
  } cases[] = {{"rewind", RewindSequencer}, {"stop and play", [] { StopAllSongEngines(); PlaySequencerFromTop(); }}};
  TpInstance* inst = LoadInstrument(0);
  ASSERT_NE(inst, nullptr);
  for (const Case& c : cases) {
    SetTrack(0, {Event(kEvNoteOn, 0, 60), Event(kEvNoteOff, 10, 60), Event(kEvPortamentoStart, 10, 62),
                 Event(kEvPortamentoEnd, 96, 74), Event(kEvRest, kFar)});
    PlaySequencerFromTop();
    Tick(30);
    c.call();
    TakeMidi(inst);
    Tick(9);
    EXPECT_EQ(BendsOf(TakeMidi(inst)), (Midi{BendBytes(0)})) << c.name;  // the note-on's own
  }
}

TEST_F(SequencerTransport, ATickRunsABoundedNumberOfEventsPerTrack) {
  std::vector<SongEvent> events(3000, Event(kEvNop, 0));
  events.push_back(Event(kEvRest, kFar));
  SetTrack(0, events);
  PlaySequencerFromTop();
  Tick(1);
  EXPECT_GT(song.tracks[0].eventCursor, 0);
  EXPECT_LT(song.tracks[0].eventCursor, 3000);
  Tick(3);
  EXPECT_EQ(song.tracks[0].eventCursor, 3000);
}

}  // namespace
