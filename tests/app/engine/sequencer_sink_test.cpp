// The sequencer end to end on the real device: the library started as the application starts
// it, the sequencer's audio and its 10 ms timer, two test instruments (DC on a held note) on
// tracks 0 and 1 panned hard left and right, a ".zms" song compiled and played from the top
// while a WAV render of the same stretch is armed, the window's messages processed as the
// frame loop does. The song starts right after the player, the hardest case for its margin
// against a refill that finds no frames queued. The render is written to "sink_render.wav" in the working folder;
// sequencer_sink.sh records the sound server while this plays and compares the two.
// TARVEX_SINK_SECONDS sets the length of the render (1 s).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

#include "app/engine/engine_lock.h"
#include "app/engine/mml/mml_compile.h"
#include "app/engine/sequencer/sequencer.h"
#include "app/engine/mixer/wave_file.h"
#include "tests/app/engine/mml_test_support.h"
#include "tests/support/engine/plugin_fixture.h"
#include "zovuz/startup/zovuz_startup.h"
#include "zovuz/core/zovuz_core.h"

namespace {

uint32_t RenderSeconds() {
  const char* text = getenv("TARVEX_SINK_SECONDS");
  const int seconds = text ? atoi(text) : 0;
  return seconds > 0 ? static_cast<uint32_t>(seconds) : 1;
}

// Processes the window's messages, as the frame loop does, for about `ms` milliseconds or until
// `done` holds.
template <typename Done>
void PumpFor(DWORD ms, Done done) {
  const DWORD start = GetTickCount();
  while (!done() && GetTickCount() - start < ms) {
    ProcessMessage();
    Sleep(16);
  }
}

TEST(SequencerSink, ASongPlaysOnTheDeviceWhileItsRenderIsCaptured) {
  // The library's set-up and start, as the application makes them.
  ChangeWindowMode(1);
  SetAlwaysRunFlag(1);
  SetDoubleStartValidFlag(0);
  SetLogFileOutputFlag(0);
  ASSERT_EQ(LibraryInit(), 0);
  g_hostContext.sampleRate = 44100;
  g_hostContext.blockSize = 1024;
  ASSERT_EQ(InitSequencerAudio(), 1);
  ASSERT_GE(g_sequencer.player, 0);
  StartSequencerTimer();
  ASSERT_NE(g_sequencer.timerId, 0u);

  SongEngine& song = g_songs[0];
  ASSERT_EQ(LoadPlugin(0, 0, TestPluginPath("tp_vornalt").c_str()), 0);
  ASSERT_EQ(LoadPlugin(1, 0, TestPluginPath("tp_vornalt").c_str()), 0);
  CompileMml(MmlFixturePath("sink.zms").c_str());
  ASSERT_EQ(song.loaded, 1);
  song.tracks[0].mixerPan = 0.0f;
  song.tracks[1].mixerPan = 1.0f;

  const uint32_t seconds = RenderSeconds();
  g_waveFile.InitHeader();
  ASSERT_TRUE(g_waveFile.AllocBuffers(seconds));
  {
    // The render's first frame is the song's first.
    EngineLock lock = LockEngine();
    g_waveFile.captureIndex = 0;
    song.capture = &g_waveFile;
    g_waveFile.armed = 1;
    PlaySequencerFromTop();
  }
  PumpFor(seconds * 1000 + 5000, [] { return g_waveFile.armed == 0; });
  EXPECT_EQ(g_waveFile.armed, 0) << "the render was not full in time";  // it disarms when full
  // What the device still holds plays out before the end.
  PumpFor(600, [] { return false; });
  EXPECT_TRUE(g_waveFile.Write("sink_render.wav"));

  // Both tracks were heard, each on its own side.
  bool left = false, right = false;
  for (int i = 0; i < g_waveFile.frameCount; ++i) {
    left |= g_waveFile.left[i] != 0;
    right |= g_waveFile.right[i] != 0;
  }
  EXPECT_TRUE(left);
  EXPECT_TRUE(right);

  TermSequencerAudio();
  EXPECT_EQ(g_sequencer.player, -1);
  song.capture = nullptr;
  g_waveFile.FreeBuffers();
  ResetPluginSlots();
  EXPECT_EQ(LibraryEnd(), 0);
}

}  // namespace
