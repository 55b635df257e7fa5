#include "app/engine/sequencer/song_engine.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/engine/plugin/plugin_slot.h"
#include "app/engine/mixer/volume_law.h"
#include "tests/support/engine/plugin_fixture.h"

namespace {

void ExpectClearedEvents(const SongEngine& song, int track) {
  for (int i = 0; i < kEventsPerTrack; ++i) {
    const SongEvent& e = song.events[track][i];
    ASSERT_TRUE(e.type == 0 && e.tick == 0 && e.dispatched == 0 && e.value == 0 && e.articulate == 1)
        << "track " << track << " event " << i;
  }
}

TEST(SongEngine, SongsStandWithTheirDefaultsBeforeMain) {
  for (int s = 0; s < kSongCount; ++s) {
    const SongEngine& song = g_songs[s];
    EXPECT_EQ(song.tempo, 120);
    EXPECT_EQ(song.volumeScale, 1.0f);
    EXPECT_EQ(song.loaded | song.playing | song.paused | song.ended, 0);
    EXPECT_EQ(song.sampleMode, 0);
    EXPECT_EQ(song.listCount, 0);
    for (int c = 0; c < kMixerChannelCount; ++c) {
      const SongTrack& t = song.tracks[c];
      EXPECT_EQ(t.volume, 256);
      EXPECT_EQ(t.pan, 64);
      EXPECT_EQ(t.defaultLength, 48);
      EXPECT_EQ(t.mixerVolume, 1.0f);
      EXPECT_EQ(t.mixerPan, 0.5f);
      EXPECT_EQ(t.fmInstrument, 1);
    }
    for (const PcmVoice& v : song.voices) {
      EXPECT_EQ(v.active, 0);
      EXPECT_EQ(v.channels, 1);
    }
    for (const FmTone& tone : song.tones) {
      EXPECT_EQ(tone.used, 0);
      EXPECT_EQ(tone.params, kDefaultFmTone);
    }
    for (int i = 0; i < kSampleBankSize; ++i) EXPECT_EQ(song.bankSamples[i], nullptr);
  }
  ExpectClearedEvents(g_songs[9], 15);
  EXPECT_EQ(kDefaultFmTone[0], 2);
  EXPECT_EQ(kDefaultFmTone[44], 20);  // operator 4 AR
}

TEST(SongTrack, ResetKeepsOnlyTheFmInstrumentFlag) {
  SongTrack t{};
  t.fmInstrument = 0;
  t.volume = 3;
  t.heldNotes[7] = 60;
  t.portaActive = 1;
  t.vibValue = 2.5f;
  t.volSeq[15] = 9;
  t.sendOn[1] = 1;
  t.sendLevel[1] = 0.7f;
  t.peakLeft = 0.9f;
  t.Reset();
  EXPECT_EQ(t.fmInstrument, 0);
  EXPECT_EQ(t.volume, 256);
  EXPECT_EQ(t.heldNotes[7], 0);
  EXPECT_EQ(t.portaActive, 0);
  EXPECT_EQ(t.vibValue, 0.0f);
  EXPECT_EQ(t.volSeq[15], 0);
  EXPECT_EQ(t.sendOn[1], 0);
  EXPECT_EQ(t.sendLevel[1], 0.0f);
  EXPECT_EQ(t.peakLeft, 0.0f);
  EXPECT_EQ(t.mixerPan, 0.5f);
}

typedef PluginSlotsTest ResetSongEngineTest;

TEST_F(ResetSongEngineTest, ClearsTheSongButLeavesBusesAndVoices) {
  SongEngine& song = g_songs[0];
  song.loaded = song.playing = song.paused = song.ended = 1;
  song.tempo = 200;
  song.volumeScale = 0.25f;
  song.clockBase = 123;
  song.pauseStart = 456;
  song.sampleMode = 1;
  song.listCount = 5;
  int16_t kept[4] = {};
  song.bankSamples[3] = kept;
  song.bankLastIndex = 3;
  song.events[4][17] = SongEvent{kEvNoteOn, 96, 1, 60, 0};
  song.tracks[4].volume = 10;
  song.tracks[16].mixerVolume = 0.3f;
  song.tracks[18].sendOn[0] = 1;
  song.voices[5].active = 1;

  ResetSongEngine();

  EXPECT_EQ(song.loaded | song.playing | song.paused | song.ended, 0);
  EXPECT_EQ(song.tempo, 120);
  EXPECT_EQ(song.volumeScale, 1.0f);
  EXPECT_EQ(song.clockBase, 0u);
  EXPECT_EQ(song.pauseStart, 0u);
  EXPECT_EQ(song.sampleMode, 0);
  EXPECT_EQ(song.listCount, 0);
  EXPECT_EQ(song.bankSamples[3], nullptr);
  EXPECT_EQ(song.bankLastIndex, -1);
  ExpectClearedEvents(song, 4);
  EXPECT_EQ(song.tracks[4].volume, 256);
  EXPECT_EQ(song.tracks[16].mixerVolume, 0.3f);
  EXPECT_EQ(song.tracks[18].sendOn[0], 1);
  EXPECT_EQ(song.voices[5].active, 1);
  song.tracks[16].mixerVolume = 1.0f;
  song.tracks[18].sendOn[0] = 0;
  song.voices[5].active = 0;
}

TEST_F(ResetSongEngineTest, ResetsEveryInstrumentInTheFixedOrder) {
  TestPluginLibrary lib(TestPluginPath("tp_vornalt"));
  ASSERT_TRUE(lib.ok());
  ASSERT_EQ(LoadPlugin(2, 0, TestPluginPath("tp_vornalt").c_str()), 0);
  SetInstrumentPan(2, 0);
  TpInstance* inst = TestPluginLibrary::Of(SlotOf(2, 0).effect);
  ASSERT_NE(inst, nullptr);
  int before = inst->paramTotal;

  ResetSongEngine();

  std::vector<std::pair<int, float>> writes;
  for (int i = before; i < inst->paramTotal; ++i) {
    writes.emplace_back(inst->paramLog[i].index, inst->paramLog[i].value);
  }
  std::vector<std::pair<int, float>> expected = {{97, 1.0f}, {57, 1.0f}, {89, 0.0f}, {63, 0.0f}, {68, 0.0f},
                                                 {74, 0.0f}, {80, 0.0f}, {85, 0.0f}, {55, 0.0f}};
  EXPECT_EQ(writes, expected);
  EXPECT_EQ(SlotOf(2, 0).pan, 64);
  // The pitch-bend centre is queued for every instrument track, loaded or not.
  for (int t = 0; t < kInstrumentTrackCount; ++t) {
    EXPECT_EQ(PendingMidiBytes(SlotOf(t, 0)), (std::vector<std::vector<int>>{{0xE0, 0x00, 0x40}})) << t;
  }
  EXPECT_TRUE(PendingMidiBytes(SlotOf(8, 0)).empty());
}

TEST_F(ResetSongEngineTest, SkipsParametersTheInstrumentDoesNotHave) {
  TestPluginLibrary lib(TestPluginPath("tp_kezmir"));
  ASSERT_TRUE(lib.ok());
  ASSERT_EQ(LoadPlugin(0, 0, TestPluginPath("tp_kezmir").c_str()), 0);
  AEffect* effect = SlotOf(0, 0).effect;
  ASSERT_NE(effect, nullptr);
  effect->numParams = 60;  // an instrument smaller than the FM instruments
  TpInstance* inst = TestPluginLibrary::Of(effect);
  int before = inst->paramTotal;

  ResetSongEngine();

  std::vector<int> indexes;
  for (int i = before; i < inst->paramTotal; ++i) indexes.push_back(inst->paramLog[i].index);
  EXPECT_EQ(indexes, (std::vector<int>{57, 55}));
}

TEST(SongEngine, FindFreeVoiceGivesTheFirstInactiveVoice) {
  struct Case {
    std::vector<int> active;  // voices set active
    int expected;
  } cases[] = {{{}, 0}, {{0, 1}, 2}, {{0, 1, 3}, 2}, {{1}, 0}, {{}, -1}};
  SongEngine& song = g_songs[4];
  for (const Case& c : cases) {
    for (PcmVoice& v : song.voices) v.active = c.expected == -1 ? 1 : 0;
    for (int i : c.active) song.voices[i].active = 1;
    EXPECT_EQ(song.FindFreeVoice(), c.expected);
  }
  song.voices[63].active = 0;  // only the last one free
  EXPECT_EQ(song.FindFreeVoice(), 63);
  for (PcmVoice& v : song.voices) v.active = 0;
}

TEST(VolumeLaw, GainHalvesEvery16StepsAndFallsSilentBelow96) {
  struct Case { int v; float gain; } cases[] = {
      {256, 1.0f}, {255, 980.0f / 1024}, {240, 0.5f}, {224, 0.25f}, {127, 3.0f / 1024},
      {96, 1.0f / 1024}, {95, 0.0f}, {0, 0.0f}, {272, 2.0f}, {-5000, 0.0f},
  };
  for (const Case& c : cases) EXPECT_EQ(VolumeGain(c.v), c.gain) << "volume " << c.v;
}

TEST(VolumeLaw, PanKeepsTheCentreAtFullLevel) {
  struct Case { float pan, left, right; } cases[] = {
      {0.5f, 1.0f, 1.0f}, {0.0f, 1.0f, 0.0f}, {1.0f, 0.0f, 1.0f}, {0.25f, 1.0f, 0.5f}, {0.75f, 0.5f, 1.0f},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PanGainLeft(c.pan), c.left) << c.pan;
    EXPECT_EQ(PanGainRight(c.pan), c.right) << c.pan;
  }
}

TEST(VolumeLaw, VolumeStepsUseTheTrackKindsTable) {
  struct Case { int track, step, volume; } cases[] = {
      {8, 0, 0}, {0, 0, 170}, {8, 16, 254}, {7, 16, 254}, {15, 8, 126}, {3, 8, 212},
      {0, 17, 254}, {8, -1, 0},  // beyond the tables: their ends
  };
  for (const Case& c : cases) {
    EXPECT_EQ(VolumeFromStep(c.track, c.step), c.volume) << "track " << c.track << " step " << c.step;
  }
}

TEST(FmTone, ParametersReachThePluginAsFractionsOfFullScale) {
  EXPECT_FLOAT_EQ(FmToneParamToPlugin(0, 2), 2.0f / 7.0f);
  for (int i = 0; i < kFmToneParamCount; ++i) {
    EXPECT_EQ(FmToneParamToPlugin(i, kFmToneFullScale[i]), 1.0f) << i;
  }
  EXPECT_FLOAT_EQ(FmToneParamToPlugin(11 + 5, 127), 1.0f);  // operator 1 TL
  EXPECT_EQ(FmToneParamToPlugin(55, 3), 0.0f);
  EXPECT_EQ(FmToneParamToPlugin(-1, 3), 0.0f);
}

}  // namespace
