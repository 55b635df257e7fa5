// The MDX command interpreter: what each command does to the instrument, the voices and the
// track, that commands which do nothing keep the track in step, and that no song can make it
// read outside its data or its tables.
#include <gtest/gtest.h>

#include <random>

#include "app/engine/mixer/volume_law.h"
#include "tools/song_writer/mdx_builder.h"
#include "tests/app/engine/mdx_player_fixture.h"

namespace {

// At Timer-B 200 every tick has a call of its own.
int CallOfTick(int tick) { return CallReaching(TickTime(tick, 200)); }

std::vector<std::pair<int, float>> ParamsSince(const TpInstance* inst, int from) {
  std::vector<std::pair<int, float>> out;
  for (int i = from; i < std::min(inst->paramTotal, kTpParamLogSize); ++i)
    out.emplace_back(inst->paramLog[i].index, inst->paramLog[i].value);
  return out;
}

// Commands that do nothing on a track (or nothing the test sees) take their arguments with
// them: the note after them is the note written.
TEST_F(MdxPlayerTest, CommandsThatDoNothingKeepTheTrackInStep) {
  const std::vector<std::vector<int>> both = {{0xE0},
                                              {0xE3},
                                              {0xE6},
                                              {0xE7, 0x90, 0x90},
                                              {0xE8},
                                              {0xE9, 0x90},
                                              {0xEA, 0x80},
                                              {0xEB, 0x81},
                                              {0xEB, 1, 0x90, 0x90, 0x90, 0x90},
                                              {0xEE},
                                              {0xEF, 0x90},
                                              {0xF0, 0x90},
                                              {0xFE, 0x90, 0x90},
                                              {0xF8, 0x90},
                                              {0xFA},
                                              {0xF9},
                                              {0xFB, 0x90},
                                              {0xFF, 200}};
  const std::vector<std::vector<int>> fmOnly = {{0xEA, 1, 0x90, 0x90, 0x90, 0x90},
                                                {0xEC, 0x80},
                                                {0xEC, 2, 0x90, 0x90, 0x90, 0x90},
                                                {0xED, 0x90},
                                                {0xF2, 0x90, 0x90},
                                                {0xF3, 0, 0},
                                                {0xFC, 0x90},
                                                {0xFD, 0x90}};
  const std::vector<std::vector<int>> pcmOnly = {{0xEA, 1, 0x90, 0x90, 0x90, 0x90},
                                                 {0xEC, 2, 0x90, 0x90, 0x90, 0x90},
                                                 {0xED, 0x90},
                                                 {0xF2, 0x90, 0x90},
                                                 {0xF3, 0x90, 0x90},
                                                 {0xFC, 0x90},
                                                 {0xFD, 0x90}};
  PutSample(3, 100000, 1);
  PutSample(4, 100000, 1);
  for (int pcm = 0; pcm < 2; ++pcm) {
    for (const auto& list : {both, pcm ? pcmOnly : fmOnly}) {
      for (const std::vector<int>& command : list) {
        SCOPED_TRACE(testing::Message() << (pcm ? "PCM " : "FM ") << std::hex << command[0] << " " << command.size());
        TpInstance* inst = LoadInstrument(0);
        MdxTrack t;
        t.Tempo(200).Note(60, 4);
        for (int b : command) t.Raw({b});
        t.Raw({0x80 + 62 - 3, 3}).Rest(4).End();
        if (pcm) {
          Play({{}, {}, {}, {}, {}, {}, {}, {}, t});
        } else {
          Play({t});
        }
        Tick(CallOfTick(5) + 1);
        if (pcm) {
          EXPECT_EQ(g_mdx.voices[8].sample, (62 - 3 + 0x80) & 0x7F);
        } else {
          EXPECT_EQ(CallsOf(inst, NoteOnBytes(62)), std::vector<int>{CallOfTick(5)});
        }
        ResetPluginSlots();
      }
    }
  }
}

TEST_F(MdxPlayerTest, VolumeCommandsSetTheInstrumentVolume) {
  const struct {
    std::vector<int> commands;
    float scale;
    int volume;  // the track's volume afterwards
    int slot;    // the instrument volume
  } cases[] = {
      {{0xFB, 15}, 1.0f, 15, 250},           {{0xFB, 0}, 1.0f, 0, 170},
      {{0xFB, 15, 0xF9}, 1.0f, 15, 250},     {{0xFB, 0, 0xFA}, 1.0f, 0, 170},
      {{0xFB, 3, 0xF9, 0xF9}, 1.0f, 5, 196}, {{0xFB, 0x80}, 1.0f, 127, 254},
      {{0xFB, 0x80, 0xF9}, 1.0f, 127, 254},  {{0xFB, 0xFF}, 1.0f, 0, 0},
      {{0xFB, 0xFF, 0xFA}, 1.0f, 0, 0},      {{0xFB, 0xFE, 0xF9}, 1.0f, 2, 4},
      {{0xFB, 15}, 0.5f, 15, 125},           {{0xFB, 0x80}, 2.0f, 127, 255},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.commands.size() << " commands, volume " << c.volume);
    LoadInstrument(0);
    MdxTrack fm, pcm;
    fm.Tempo(200);
    pcm.Tempo(200);
    for (int b : c.commands) {
      fm.Raw({b});
      pcm.Raw({b});
    }
    fm.Rest(4).End();
    pcm.Rest(4).End();
    Play({fm, {}, {}, {}, {}, {}, {}, {}, pcm});
    SlotOf(8, 0).volume = 99;
    Tick(CallOfTick(1) + 1);
    EXPECT_EQ(SlotOf(8, 0).volume, 99) << "a PCM track's volume commands leave the slot alone";
    EXPECT_EQ(state.volume[0], c.volume);
    state.volumeScale = c.scale;
    ApplyMdxTrackVolumes();
    EXPECT_EQ(state.volume[0], c.volume);
    EXPECT_EQ(state.volume[8], c.volume);
    EXPECT_EQ(SlotOf(0, 0).volume, c.slot);
    ResetPluginSlots();
  }
  // 250 is a gain of 789/1024.
  EXPECT_EQ(VolumeGain(250), 789.0f / 1024.0f);
  // A volume stored beyond its scale is capped when the volumes are applied.
  state.trackCount = 1;
  state.volumeMode[0] = 1;
  state.volume[0] = 40;
  state.volumeScale = 1.0f;
  ApplyMdxTrackVolumes();
  EXPECT_EQ(state.volume[0], 15);
}

TEST_F(MdxPlayerTest, PanCommandsPlaceTheInstrumentOrThePcmVoice) {
  const struct {
    int argument;
    int slotPan;
  } cases[] = {{1, 0}, {2, 127}, {3, 64}, {0, 64}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.argument);
    LoadInstrument(0);
    PutSample(3, 100000, 1);
    Play({MdxTrack().Tempo(200).Pan(c.argument).Note(60, 40).End(),
          {},
          {},
          {},
          {},
          {},
          {},
          {},
          MdxTrack().Tempo(200).Pan(c.argument).Sample(3, 40).End()});
    Tick(CallOfTick(1));
    const std::vector<Frame> frames = Render(2);
    EXPECT_EQ(SlotOf(0, 0).pan, c.slotPan);
    EXPECT_EQ(state.pan[8], c.argument);
    EXPECT_EQ(g_mdx.voices[8].pan, c.argument);
    // The test instrument holds a note at 0.5 left and 0.25 right: pan 0 keeps the left alone.
    EXPECT_EQ(frames[600].second == 0, c.slotPan == 0);
    EXPECT_EQ(frames[600].first == 0, c.slotPan == 127);
    ResetPluginSlots();
  }
}

TEST_F(MdxPlayerTest, AToneCommandSendsTheToneToARecognisedFmInstrument) {
  MdxToneFields a, b;
  a.number = 5;
  a.connection = 4;
  a.feedback = 7;
  a.slotMask = 15;
  b.number = 9;
  b.connection = 2;
  for (int k = 0; k < 4; ++k) {
    a.op[k].ar = static_cast<uint8_t>(31 - k);
    a.op[k].tl = static_cast<int8_t>(100 + k);
    a.op[k].dt1 = 6;
    a.op[k].mul = static_cast<uint8_t>(k + 1);
  }
  const struct {
    int number;
    bool fm;
    int index;  // tone record selected; -1: nothing sent
  } cases[] = {{9, true, 1}, {5, true, 0}, {77, true, 0}, {0, true, 2}, {9, false, -1}};
  // Records past the song's tones are unused; the search does not look at that. An
  // operator's eleventh value goes out as 0 whatever the record holds.
  g_mdx.tones[2].number = 0;
  g_mdx.tones[2].params[21] = 3;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.number);
    TpInstance* inst = LoadInstrument(0, c.fm);
    Load({MdxTrack().Tempo(200).Tone(c.number).Note(60, 4).End()}, {PackMdxTone(a), PackMdxTone(b)});
    song.Play();
    const int from = inst->paramTotal;
    state.toneIndex[0] = -1;
    Tick(CallOfTick(1) + 1);
    const std::vector<std::pair<int, float>> writes = ParamsSince(inst, from);
    if (c.index < 0) {
      EXPECT_TRUE(writes.empty());
      EXPECT_EQ(state.toneIndex[0], -1);
      ResetPluginSlots();
      continue;
    }
    EXPECT_EQ(state.toneIndex[0], c.index);
    const FmTone& tone = g_mdx.tones[c.index];
    std::vector<std::pair<int, float>> expected;
    for (int i = 0; i < 4; ++i) expected.emplace_back(i, FmToneParamToPlugin(i, tone.params[i]));
    for (int i = 11; i < kFmToneParamCount; ++i)
      expected.emplace_back(i, (i - 11) % 11 == 10 ? 0.0f : FmToneParamToPlugin(i, tone.params[i]));
    EXPECT_EQ(writes, expected);
    ResetPluginSlots();
  }
  // DT1 goes out divided by 99.
  EXPECT_EQ(FmToneParamToPlugin(11 + 8, 6), 6.0f / 99.0f);
}

TEST_F(MdxPlayerTest, ChipLfoAndNoiseCommandsWriteInstrumentParameters) {
  const struct {
    int track;
    std::vector<int> command;
    std::vector<std::pair<int, float>> writes;
  } cases[] = {
      {0,
       {0xEA, 2, 51, 0xC0, 0x82, 0x35},
       {{4, 2 / 3.0f}, {6, 51 / 255.0f}, {7, 64 / 127.0f}, {8, -126 / 127.0f}, {9, 3 / 7.0f}, {10, 1 / 3.0f}}},
      {0, {0xEA, 3, 0, 0, 0, 0xF0}, {{4, 1.0f}, {6, 0.0f}, {7, -128 / 127.0f}, {8, 0.0f}, {9, -1 / 7.0f}, {10, 0.0f}}},
      {0, {0xEA, 0x81}, {}},
      {7, {0xED, 0x9F}, {{55, 1.0f}, {56, 1.0f}}},
      {7, {0xED, 0x85}, {{55, 1.0f}, {56, 5 / 31.0f}}},
      {7, {0xED, 0x05}, {{55, 0.0f}}},
      {3, {0xED, 0x85}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "track " << c.track << " " << std::hex << c.command[1]);
    TpInstance* inst = LoadInstrument(c.track);
    std::vector<MdxTrack> tracks(c.track + 1);
    tracks[c.track].Tempo(200);
    for (int b : c.command) tracks[c.track].Raw({b});
    tracks[c.track].Note(60, 4).End();
    Play(tracks);
    const int from = inst->paramTotal;
    Tick(CallOfTick(1) + 1);
    EXPECT_EQ(ParamsSince(inst, from), c.writes);
    ResetPluginSlots();
  }
}

TEST_F(MdxPlayerTest, DetuneBendsAtOnceAndUnderEveryNote) {
  TpInstance* inst = LoadInstrument(0);
  Play({MdxTrack().Tempo(200).Detune(-100).Note(60, 4).Detune(300).Rest(4).End()});
  Tick(CallOfTick(5) + 1);
  std::vector<MidiBytes> heard;
  for (const MidiAt& m : Log(inst)) {
    if (m.call > 0) heard.push_back(m.bytes);
  }
  // The detune at once, again before the note-on, then with each tick's pitch; at tick 5 the
  // release, the new detune at once, and the pitch again.
  EXPECT_EQ(heard, (std::vector<MidiBytes>{BendBytes(-100), BendBytes(-100), NoteOnBytes(60), BendBytes(-100),
                                           BendBytes(-100), BendBytes(-100), BendBytes(-100), NoteOffBytes(60),
                                           BendBytes(300), BendBytes(300)}));
}

// Songs that would hold the timer thread or read outside their data or tables: each call
// returns, the track ends where it must, and the track beside it keeps time.
TEST_F(MdxPlayerTest, HostileTracksStayInsideTheirDataAndTables) {
  const struct {
    const char* name;
    std::vector<int> bytes;
    bool ends;
  } cases[] = {
      {"jump before the data", {0xFF, 200, 0xFB, 3, 0xF1, 0xFF, 0x00}, true},
      {"jump past the data", {0xFF, 200, 0xFB, 3, 0xF1, 0x7F, 0x00}, true},
      {"jump onto itself", {0xFF, 200, 0xFB, 3, 0xF1, 0xFF, 0xFD}, false},
      {"loop without time", {0xFF, 200, 0xFB, 3, 0xF9, 0xF1, 0xFF, 0xFC}, false},
      {"repeat without time", {0xFF, 200, 0xF6, 255, 0, 0xF9, 0xF5, 0xFF, 0xFC, 0xF1, 0xFF, 0xF4}, false},
      {"repeats nested too deep",
       {0xFF, 200, 0xF6, 2,    0, 0xF6, 2,    0, 0xF6, 2,    0, 0xF6, 2,    0,
        0xF6, 2,   0,    0xF6, 2, 0,    0xF6, 2, 0,    0xF6, 2, 0,    0x83, 3},
       true},
      {"repeat end without start", {0xFF, 200, 0xF5, 0xFF, 0xF0, 0x83, 3, 0x83, 3}, true},
      {"escape without start", {0xFF, 200, 0xF4, 0xFF, 0xF0, 0x83, 3, 0x83, 3}, true},
      {"no end", {0xFF, 200, 0x83, 3, 0x84, 3}, true},
      {"command cut short", {0xFF, 200, 0x83, 3, 0xEA, 1, 2}, true},
      {"note cut short", {0xFF, 200, 0x83, 3, 0x84}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TpInstance* inst = LoadInstrument(1);
    MdxTrack hostile;
    for (int b : c.bytes) hostile.Raw({b});
    const size_t length = hostile.bytes.size();
    Play({hostile, MdxTrack().Tempo(200).Note(60, 4).Note(62, 4).Note(64, 4).Rest(4).End()});
    for (int i = 0; i < 60; ++i) {
      Tick(1);
      ASSERT_GE(state.readPosition[0], 0);
      ASSERT_LE(state.readPosition[0], static_cast<int>(length));
      ASSERT_GE(state.repeatDepth[0], 0);
      ASSERT_LT(state.repeatDepth[0], kMdxRepeatDepth);
    }
    EXPECT_EQ(state.enabled[0], c.ends ? 0 : 1);
    EXPECT_EQ(CallsOf(inst, NoteOnBytes(64)), std::vector<int>{CallOfTick(9)});
    ResetPluginSlots();
  }
}

TEST_F(MdxPlayerTest, ATrackRunsABoundedNumberOfCommandsPerCall) {
  // A loop of volume steps with no time in it: each call runs at most the bound, and the
  // loop is still going.
  Play({MdxTrack().Tempo(200).Volume(0x80).Raw({0xFA, 0xF1, 0xFF, 0xFC})});
  Tick(CallOfTick(1) + 1);
  const int before = state.readPosition[0];
  EXPECT_TRUE(state.enabled[0]);
  // Each pass is 2 commands; the volume falls one per pass, to 0.
  EXPECT_EQ(state.volume[0], 0);
  Tick(1);
  EXPECT_EQ(state.readPosition[0], before);
}

// Random songs, mutated from a real one and from noise: after every call the tracks' read
// positions, repeat depths and voices stay inside their data and tables.
TEST_F(MdxPlayerTest, MutatedSongsStayInsideTheirTables) {
  std::mt19937 rng(24);
  MdxTrack base;
  base.Tempo(230).Gate(6).Volume(12);
  const size_t start = base.Here();
  base.RepeatStart(3).Note(60, 6).Tie().Note(62, 3).Lfo(2, 8, 300).Portamento(200).Note(64, 5);
  const size_t escape = base.Here();
  base.RepeatEscape().Rest(2).Pan(2).Sample(3, 4);
  const size_t end = base.Here();
  base.RepeatEnd(start).EscapeTo(escape, end).Detune(20).JumpTo(start);
  PutSample(3, 5000, 100);
  for (int round = 0; round < 300; ++round) {
    std::vector<MdxTrack> tracks(16);
    for (int t = 0; t < 16; ++t) {
      MdxTrack& m = tracks[t];
      if (rng() % 2) {
        m = base;
        const int edits = 1 + rng() % 4;
        for (int e = 0; e < edits; ++e) m.bytes[rng() % m.bytes.size()] = static_cast<uint8_t>(rng());
      } else {
        const int n = 3 + rng() % 40;
        for (int i = 0; i < n; ++i) m.bytes.push_back(static_cast<uint8_t>(rng() % 3 ? 0xE7 + rng() % 25 : rng()));
      }
    }
    Play(tracks);
    for (int call = 0; call < 40; ++call) {
      Tick(1, 5000 + rng() % 60000);
      for (int t = 0; t < 16; ++t) {
        ASSERT_GE(state.readPosition[t], 0) << round;
        ASSERT_LE(state.readPosition[t], static_cast<int>(state.trackLength[t])) << round;
        ASSERT_GE(state.repeatDepth[t], 0) << round;
        ASSERT_LT(state.repeatDepth[t], kMdxRepeatDepth) << round;
      }
      for (int t = 8; t < 16; ++t) ASSERT_TRUE(!g_mdx.voices[t].active || g_mdx.voices[t].sample == 3) << round;
    }
  }
}

}  // namespace
