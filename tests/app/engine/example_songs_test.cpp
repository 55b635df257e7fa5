// The example songs as the build gathers them for a working folder (<build>/examples/, which
// scripts/workdir copies): each ".zms" compiles with notes on several instrument tracks, a loop
// on every track that plays, every sample of its list loaded, and its first bar, played by the
// test instrument, is heard; the ".mdx" loads its tracks, its tones and its bank.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <string>

#include "app/engine/mdx/mdx_player.h"
#include "app/engine/mml/mml_compile.h"
#include "app/engine/plugin/plugin_slot.h"
#include "app/engine/mml/sample_load.h"
#include "tests/app/engine/mml_test_support.h"
#include "tests/app/engine/sequencer_fixture.h"
#include "tests/support/test_paths.h"

namespace {

constexpr int kNoteOn = 14, kLoopPoint = 17, kLoopJump = 18;

std::string ExamplesDir() { return TestBuildDir() + "/examples/"; }

class ExampleSongs : public SequencerTest {
 protected:
  void TearDown() override {
    ReleaseSongSamples();
    SequencerTest::TearDown();
  }
};

TEST_F(ExampleSongs, EveryZmsCompilesLoopsAndIsHeard) {
  ASSERT_TRUE(StartSoundSystemWithoutThread());
  TestPluginLibrary tone{TestPluginPath("tp_tone")};
  for (int track = 0; track < kInstrumentTrackCount; ++track)
    ASSERT_EQ(0, LoadPlugin(track, 0, TestPluginPath("tp_tone").c_str()));
  const struct {
    const char* name;
    int instrumentTracks, sampleTracks, samples;
  } examples[] = {{"first_steps.zms", 3, 1, 3}, {"fm_tones.zms", 2, 0, 0}};
  for (const auto& example : examples) {
    SCOPED_TRACE(example.name);
    CompileMml((ExamplesDir() + example.name).c_str());
    ASSERT_EQ(1, song.loaded);
    int instrumentTracks = 0, sampleTracks = 0;
    for (int track = 0; track < kSongTrackCount; ++track) {
      if (MmlTrackEventsOfType(track, {kNoteOn}).empty()) continue;
      (track < kInstrumentTrackCount ? instrumentTracks : sampleTracks) += 1;
      EXPECT_EQ(1u, MmlTrackEventsOfType(track, {kLoopPoint}).size()) << "track " << track;
      EXPECT_EQ(1u, MmlTrackEventsOfType(track, {kLoopJump}).size()) << "track " << track;
    }
    EXPECT_EQ(example.instrumentTracks, instrumentTracks);
    EXPECT_EQ(example.sampleTracks, sampleTracks);
    ASSERT_EQ(example.samples, song.listCount);
    for (int i = 0; i < song.listCount; ++i) EXPECT_GE(song.sampleList[i].handle, 0) << "list entry " << i;

    // The first second: the instrument tracks alone (the drums come in at the second bar).
    PlaySequencerFromTop();
    const std::vector<Frame> frames = Render(100);
    double energy = 0;
    for (const Frame& f : frames) energy += double(f.first) * f.first;
    EXPECT_GT(10 * std::log10(energy / frames.size() / (32768.0 * 32768.0)), -40.0) << "the first second is silent";
    StopAllSongEngines();
  }
}

TEST_F(ExampleSongs, TheMdxLoadsItsTracksTonesAndBank) {
  // The bank is looked up in the current folder, as a song opened from its own folder finds it.
  char here[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, here);
  ASSERT_TRUE(SetCurrentDirectoryA(ExamplesDir().c_str()));
  MdxSong mdx;
  const bool loaded = mdx.Load("adpcm_groove.mdx");
  SetCurrentDirectoryA(here);
  ASSERT_TRUE(loaded);
  EXPECT_STREQ("ADPCM groove (tarvex example)", mdx.title);
  EXPECT_EQ(9, g_mdx.state.trackCount);
  for (int track : {0, 1, 8}) EXPECT_GT(g_mdx.state.trackLength[track], 2) << "track " << track;
  int tones = 0;
  for (const FmTone& t : g_mdx.tones) tones += t.used;
  EXPECT_EQ(2, tones);
  for (int sample = 0; sample < 3; ++sample) EXPECT_GT(g_mdx.sampleLengths[sample], 1000) << "sample " << sample;
}

}  // namespace
