#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <limits>
#include <map>
#include <string>

#include "app/engine/mml/mml_compile.h"
#include "app/engine/mml/sample_load.h"
#include "zovuz/core/system_info_internal.h"
#include "zovuz/core/zovuz_core.h"
#include "zovuz/sound/soft_sound_internal.h"
#include "zovuz/sound/sound_thread_internal.h"
#include "tests/app/engine/mml_test_support.h"
#include "tests/app/engine/sequencer_fixture.h"

namespace {

// Fake SoftSound data for list voices: handle 1 is stereo (3000, -2000) in every frame, any
// other handle cannot be read.
int ReadFakeSound(int32_t handle, int32_t, int32_t* left, int32_t* right) {
  if (handle != 1) return -1;
  *left = 3000;
  *right = -2000;
  return 0;
}
int32_t LoadNothing(const char*, int32_t*, int32_t*) { return -1; }
void ReleaseNothing(int32_t) {}

class SequencerRender : public SequencerTest {
 protected:
  void SetUp() override {
    SequencerTest::SetUp();
    static const SampleSoundOps ops = {LoadNothing, ReleaseNothing, ReadFakeSound};
    SetSampleSoundOps(&ops);
  }
  void TearDown() override {
    SetSampleSoundOps(nullptr);
    for (SongEngine& s : g_songs) {
      s.sampleMode = 0;
      s.bankLastIndex = -1;
      for (int16_t*& b : s.bankSamples) b = nullptr;
    }
    SequencerTest::TearDown();
  }
  static PcmVoice Voice(int32_t sample, int32_t length, int32_t volume, int32_t pan, int32_t channels, int32_t track) {
    return PcmVoice{1, sample, 0, length, pan, volume, channels, track};
  }
  // Frames of track buffer `track` with any sound in them.
  static int SoundingFrames(int track) {
    int n = 0;
    for (int i = 0; i < kMixFrames; ++i)
      n += g_sequencer.trackBuffers[track][2 * i] != 0.0f || g_sequencer.trackBuffers[track][2 * i + 1] != 0.0f;
    return n;
  }
};

TEST_F(SequencerRender, NothingPlayingPushesSilence) {
  Arm(2);
  Tick(2);
  EXPECT_EQ(wave.armed, 0);  // 882 frames fill the capture, which ends the render
  EXPECT_EQ(wave.captureIndex, 0);
  for (const Frame& f : Captured()) ASSERT_EQ(f, Frame(0, 0));
}

TEST_F(SequencerRender, OutputScalesClampsAndSilencesNaN) {
  ASSERT_NE(LoadInsert(kMasterChannel, 1, 0.0f, 0.0f), nullptr);
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    float master;
    int sample;
  } cases[] = {{1.0f, 32767},   {-1.0f, -32767}, {-1.5f, -32768}, {1.5f, 32767},  {0.5f, 16383},
               {-0.5f, -16383}, {1e30f, 32767},  {-1e30f, -32768}, {inf, 32767}, {-inf, -32768},
               {std::nanf(""), 0}};
  for (const Case& c : cases) {
    SlotOf(kMasterChannel, 1).SetParameter(1, c.master);
    const std::vector<Frame> out = Render();
    EXPECT_EQ(out.front(), Frame(c.sample, c.sample)) << c.master;
    EXPECT_EQ(out.back(), Frame(c.sample, c.sample)) << c.master;
  }
}

TEST_F(SequencerRender, StripsApplyPanAndFaderAndTheMasterItsOwn) {
  ASSERT_NE(LoadInsert(3, 1, 0.0f, 0.5f), nullptr);  // channel 3 holds 0.5 on both sides
  struct Case {
    float pan, volume, masterPan, masterVolume;
    Frame out;
  } cases[] = {
      {0.5f, 1.0f, 0.5f, 1.0f, {16383, 16383}},
      {0.0f, 1.0f, 0.5f, 1.0f, {16383, 0}},
      {0.25f, 1.0f, 0.5f, 1.0f, {16383, 8191}},
      {1.0f, 1.0f, 0.5f, 1.0f, {0, 16383}},
      {0.5f, 0.5f, 0.5f, 1.0f, {8191, 8191}},
      {0.5f, 1.0f, 0.75f, 0.5f, {4095, 8191}},
  };
  for (const Case& c : cases) {
    song.tracks[3].mixerPan = c.pan;
    song.tracks[3].mixerVolume = c.volume;
    song.tracks[kMasterChannel].mixerPan = c.masterPan;
    song.tracks[kMasterChannel].mixerVolume = c.masterVolume;
    EXPECT_EQ(Render().back(), c.out) << c.pan << " " << c.volume << " " << c.masterPan;
  }
}

TEST_F(SequencerRender, PeakMetersFollowTheOutputAndFallAfterIt) {
  ASSERT_NE(LoadInsert(3, 1, 0.0f, 0.5f), nullptr);
  song.tracks[3].mixerPan = 0.25f;
  Tick();
  EXPECT_EQ(song.tracks[3].peakLeft, 0.5f);
  EXPECT_EQ(song.tracks[3].peakRight, 0.25f);
  EXPECT_EQ(song.tracks[kMasterChannel].peakLeft, 0.5f);
  // From 0.5, silence brings the meter to 0 after about 16,667 frames (37.8 ticks).
  SlotOf(3, 1).SetParameter(1, 0.0f);
  Tick(37);
  EXPECT_GT(song.tracks[3].peakLeft, 0.0f);
  EXPECT_GT(song.tracks[kMasterChannel].peakLeft, 0.0f);
  Tick(1);
  EXPECT_EQ(song.tracks[3].peakLeft, 0.0f);
  EXPECT_EQ(song.tracks[3].peakRight, 0.0f);
  EXPECT_EQ(song.tracks[kMasterChannel].peakLeft, 0.0f);
}

TEST_F(SequencerRender, SendsTakeTheTrackBeforeItsInsertsAndBusesRunTheirOwnStrip) {
  // Track 0's instrument holds 0.5 / 0.25 at volume 255 (gain 980/1024); its own insert
  // silences it, so only the sends are heard.
  ASSERT_NE(LoadInstrument(0), nullptr);
  ASSERT_NE(LoadInsert(0, 1, 0.0f, 0.0f), nullptr);
  ASSERT_NE(LoadInsert(kEffectBusFirst + 1, 1, 2.0f, 0.0f), nullptr);  // bus 17 doubles
  SetInstrumentVolume(0, 255);
  SendNoteOn(0, 60, 127);
  struct Case {
    int send;
    uint8_t on;
    float level;
    Frame out;
  } cases[] = {
      {0, 1, 1.0f, {15679, 7839}},  // 0.478515625 and 0.2392578125 of full scale
      {0, 1, 0.5f, {7839, 3919}},
      {1, 1, 1.0f, {31359, 15679}},
      {0, 0, 1.0f, {0, 0}},
  };
  for (const Case& c : cases) {
    SongTrack& t = song.tracks[0];
    t.sendOn[0] = t.sendOn[1] = 0;
    t.sendOn[c.send] = c.on;
    t.sendLevel[c.send] = c.level;
    EXPECT_EQ(Render().back(), c.out) << c.send << " " << c.level;
  }
}

TEST_F(SequencerRender, ListVoicesMixAtTheVolumeLawAndVoicePan) {
  const float l = 3000.0f / 32767.0f, r = -2000.0f / 32767.0f;
  struct Case {
    const char* name;
    int song;
    PcmVoice voice;
    float left, right;
  } cases[] = {
      {"unity", 0, Voice(1, 5000, 256, 64, 2, 9), l, r},
      {"volume 240: half", 0, Voice(1, 5000, 240, 64, 2, 9), l / 2, r / 2},
      {"volume 95: silent", 0, Voice(1, 5000, 95, 64, 2, 9), 0.0f, 0.0f},
      {"mono: left on both sides", 0, Voice(1, 5000, 256, 64, 1, 9), l, l},
      {"pan 0", 0, Voice(1, 5000, 256, 0, 2, 9), l, 0.0f},
      {"pan 32", 0, Voice(1, 5000, 256, 32, 2, 9), l, -1000.0f / 32767.0f},
      {"pan 96", 0, Voice(1, 5000, 256, 96, 2, 9), 1523.0f / 32767.0f, r},
      {"pan 127", 0, Voice(1, 5000, 256, 127, 2, 9), 0.0f, r},
      {"unreadable sound: silent", 0, Voice(7, 5000, 256, 64, 2, 9), 0.0f, 0.0f},
      {"a song that is not playing", 4, Voice(1, 5000, 256, 64, 2, 12), l, r},
  };
  for (const Case& c : cases) {
    g_songs[c.song].voices[3] = c.voice;
    Tick();
    const float* out = g_sequencer.trackBuffers[c.voice.track];
    EXPECT_EQ(out[0], c.left) << c.name;
    EXPECT_EQ(out[1], c.right) << c.name;
    EXPECT_EQ(out[2 * kMixFrames - 2], c.left) << c.name;
    g_songs[c.song].voices[3] = PcmVoice{};
  }

  // 1000 frames: 441, 441, then 118 and the voice ends.
  song.voices[0] = Voice(1, 1000, 256, 64, 2, 10);
  const int expected[] = {441, 441, 118, 0};
  for (int n : expected) {
    Tick();
    EXPECT_EQ(SoundingFrames(10), n);
  }
  EXPECT_EQ(song.voices[0].active, 0);

  // A voice aimed outside the track buffers ends without being mixed.
  song.voices[1] = Voice(1, 5000, 256, 64, 2, kMixerChannelCount);
  Tick();
  EXPECT_EQ(song.voices[1].active, 0);
}

TEST_F(SequencerRender, BankVoicesPlayEachSampleAtFifteenThousandSixHundredHertz) {
  std::vector<int16_t> samples(100);
  for (int i = 0; i < 100; ++i) samples[i] = static_cast<int16_t>(101 + 10 * i);
  song.sampleMode = 1;
  song.bankLastIndex = 2;
  song.bankSamples[0] = samples.data();
  song.bankLengths[0] = 100;
  song.bankSamples[1] = nullptr;  // a record without data
  song.bankLengths[1] = 50;
  song.bankSamples[2] = samples.data();
  song.bankLengths[2] = 0;

  song.voices[0] = Voice(0, 100, 256, 64, 1, 9);
  song.voices[1] = Voice(0, 100, 128, 64, 1, 11);
  Tick();
  const float* out = g_sequencer.trackBuffers[9];
  EXPECT_EQ(SoundingFrames(9), 283);  // frames 0-282 of trunc(100 x 2.826923076923077)
  EXPECT_EQ(out[0], 101.0f / 32767.0f);
  EXPECT_EQ(out[1], 101.0f / 32767.0f);
  EXPECT_EQ(out[2 * 3], 111.0f / 32767.0f);    // frame 3 plays sample 1
  EXPECT_EQ(out[2 * 282], 1091.0f / 32767.0f); // the last frame plays the last sample
  EXPECT_EQ(song.voices[0].active, 0);
  EXPECT_EQ(g_sequencer.trackBuffers[11][0], 50.0f / 32767.0f);  // 101 x 128 / 256, truncated

  // Samples without data, or beyond the bank, end their voice at once.
  for (int sample : {1, 2, 3}) {
    song.voices[2] = Voice(sample, 100, 256, 64, 1, 9);
    Tick();
    EXPECT_EQ(SoundingFrames(9), 0) << sample;
    EXPECT_EQ(song.voices[2].active, 0) << sample;
  }
}

// Where each compiled track is heard and where it falls silent: the ticks at which its count of
// sounding notes leaves or returns to 0 (a slurred note continues the one before it).
std::vector<std::pair<uint32_t, bool>> CompiledOnOff(int track) {
  std::map<uint32_t, int> soundingAfter;
  int sounding = 0;
  bool slurred = false;
  for (const MmlEv& e : MmlTrackEvents(track)) {
    if (e.type == kEvNoteOn) {
      if (!slurred) ++sounding;
      slurred = !e.articulate;
    } else if (e.type == kEvNoteOff) {
      sounding = std::max(sounding - 1, 0);
    }
    soundingAfter[e.tick] = sounding;
  }
  std::vector<std::pair<uint32_t, bool>> out;
  bool on = false;
  for (const auto& [tick, n] : soundingAfter) {
    if ((n > 0) != on) out.emplace_back(tick, on = n > 0);
  }
  return out;
}

TEST_F(SequencerRender, ACompiledSongIsHeardWhereItsEventsAre) {
  CompileMml(MmlFixturePath("transport.zms").c_str());
  ASSERT_EQ(song.loaded, 1);
  ASSERT_NE(LoadInstrument(0), nullptr);
  ASSERT_NE(LoadInstrument(1), nullptr);
  song.tracks[0].mixerPan = 0.0f;  // track 0 on the left only, track 1 on the right only
  song.tracks[1].mixerPan = 1.0f;
  PlaySequencerFromTop();
  const int calls = 700;
  std::vector<double> positions;
  Arm(calls);
  for (int k = 0; k < calls && !song.ended; ++k) {
    Tick();
    positions.push_back(song.tickPosition);
  }
  ASSERT_EQ(song.ended, 1);
  const std::vector<Frame> frames = Captured();
  for (int track = 0; track < 2; ++track) {
    std::vector<std::pair<size_t, bool>> heard;
    bool on = false;
    for (size_t k = 0; k < positions.size(); ++k) {
      const Frame& f = frames[k * kMixFrames + kMixFrames / 2];
      if (((track == 0 ? f.first : f.second) != 0) != on) heard.emplace_back(k, on = !on);
    }
    const auto compiled = CompiledOnOff(track);
    ASSERT_EQ(heard.size(), compiled.size()) << "track " << track;
    ASSERT_GE(compiled.size(), 8u) << "track " << track;
    for (size_t i = 0; i < compiled.size(); ++i) {
      // Heard in the tick that reached the event's time, within one tick of it.
      const double reached = positions[heard[i].first];
      const double before = heard[i].first > 0 ? positions[heard[i].first - 1] : -1.0;
      EXPECT_EQ(heard[i].second, compiled[i].second) << "track " << track << " change " << i;
      EXPECT_GE(reached, compiled[i].first) << "track " << track << " change " << i;
      EXPECT_LT(before, compiled[i].first) << "track " << track << " change " << i;
    }
  }
}

TEST_F(SequencerRender, TheTimerTicksUntilShutDownAndNotAfter) {
  SetSequencerClock(nullptr);
  SetupPerformanceCounter();  // the library's start-up step behind its microsecond clock
  EXPECT_EQ(InitSequencerAudio(), 1);
  SetTrack(0, {Event(kEvRest, 1000000)});
  PlaySequencerFromTop();
  StartSequencerTimer();
  const uint32_t id = g_sequencer.timerId;
  EXPECT_NE(id, 0u);
  StartSequencerTimer();
  EXPECT_EQ(g_sequencer.timerId, id);
  Sleep(300);
  EXPECT_GT(song.tickPosition, 2.0);

  std::vector<int16_t> samples(10, 1);
  song.sampleMode = 1;
  song.bankLastIndex = 0;
  song.bankSamples[0] = samples.data();
  TermSequencerAudio();
  EXPECT_EQ(g_sequencer.timerId, 0u);
  EXPECT_EQ(song.bankSamples[0], nullptr);  // the samples went after the timer
  EXPECT_EQ(song.sampleMode, 0);
  const double stopped = song.tickPosition;
  Sleep(100);
  EXPECT_EQ(song.tickPosition, stopped);
}

TEST_F(SequencerRender, TheTimerPushesEveryFrameIntoTheLibrarysPlayer) {
  SetSequencerClock(nullptr);
  ASSERT_TRUE(StartSoundSystemWithoutThread());
  EXPECT_EQ(InitSequencerAudio(), 1);
  const int32_t player = g_sequencer.player;
  ASSERT_GE(player, 0);
  auto* record = reinterpret_cast<SoftSoundHandleData*>(HandleCheck(player));
  EXPECT_EQ(record->Player.PlayingFlag, 1);
  // The player starts with silence queued beyond what its start wrote to the device: the margin
  // (50 ms and more) that keeps a refill between two ticks from finding the queue empty.
  const int margin = record->Player.QueuedFrames;
  EXPECT_GE(margin, 2205);

  SetTrack(0, {Event(kEvRest, 1000000)});
  PlaySequencerFromTop();
  StartSequencerTimer();
  Sleep(200);
  StopSequencerTimer();
  EXPECT_GE(record->Player.QueuedFrames - margin, 5 * 441);
  EXPECT_EQ((record->Player.QueuedFrames - margin) % 441, 0);  // whole ticks

  TermSequencerAudio();
  EXPECT_EQ(g_sequencer.player, -1);
  EXPECT_EQ(HandleCheck(player), nullptr);
  EXPECT_EQ(TerminateSoundSystem(), 0);
}

}  // namespace
