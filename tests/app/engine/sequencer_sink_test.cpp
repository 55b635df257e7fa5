// The sequencer end to end on the real device: the library started as the application starts
// it, the sequencer's audio and its 10 ms timer, two numbered test instruments (a tone and a
// ramp that tell each frame, while a note is held) on tracks 0 and 1, a ".zms" song whose two
// tracks take turns compiled and played from the top while a WAV render of the same stretch is
// armed, the window's messages processed as the frame loop does. The song starts right after
// the player, the hardest case for its margin against a refill that finds no frames queued. The
// render is written to "sink_render.wav" in the working folder; sequencer_sink.sh records the
// sound server while this plays and compares the two.
// TARVEX_SINK_SECONDS sets the length of the render (1 s).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "app/engine/engine_lock.h"
#include "app/engine/mml/mml_compile.h"
#include "app/engine/sequencer/sequencer.h"
#include "app/engine/mixer/volume_law.h"
#include "app/engine/mixer/wave_file.h"
#include "app/engine/plugin/plugin_slot.h"
#include "tests/app/engine/mml_test_support.h"
#include "tests/support/engine/plugin_fixture.h"
#include "zovuz/startup/zovuz_startup.h"
#include "zovuz/core/zovuz_core.h"
#include "zovuz/sound/soft_sound_internal.h"

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

// The recording script reads this line: frames missing from the recording that the player's
// queue did not drop were lost on the way.
void TellDroppedFrames(int32_t player) {
  CRITICALSECTION_GUARD(guard, SoftSoundPlayerLock());
  const SoftSoundHandleData* sound = SoftSoundOf(player, true);
  if (sound) printf("soft sound player: %d frames dropped from the queue\n", sound->Player.DroppedFrames);
  fflush(stdout);
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

  // Both instruments are in place before the timer's first tick, so that they number the same
  // frames: their notes make one signal on the device.
  SongEngine& song = g_songs[0];
  ASSERT_EQ(LoadPlugin(0, 0, TestPluginPath("tp_numbered").c_str()), 0);
  ASSERT_EQ(LoadPlugin(1, 0, TestPluginPath("tp_numbered").c_str()), 0);
  CompileMml(MmlFixturePath("sink.zms").c_str());
  ASSERT_EQ(song.loaded, 1);
  // The faders make up for the instrument's own volume (at most 255, a little under unity), so
  // that the signal reaches the device as the instruments made it.
  for (int track = 0; track < 2; ++track) song.tracks[track].mixerVolume = 1.0f / VolumeGain(255);

  ASSERT_EQ(InitSequencerAudio(), 1);
  ASSERT_GE(g_sequencer.player, 0);
  StartSequencerTimer();
  ASSERT_NE(g_sequencer.timerId, 0u);

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

  // Both tracks played their notes: the recording shows one signal, whichever made it.
  for (int track = 0; track < 2; ++track) {
    const TpInstance* instrument = TestPluginLibrary::Of(SlotOf(track, 0).effect);
    ASSERT_NE(instrument, nullptr);
    EXPECT_GT(instrument->midiTotal, 0) << "track " << track;
  }
  TellDroppedFrames(g_sequencer.player);

  TermSequencerAudio();
  EXPECT_EQ(g_sequencer.player, -1);
  song.capture = nullptr;
  g_waveFile.FreeBuffers();
  ResetPluginSlots();
  EXPECT_EQ(LibraryEnd(), 0);
}

}  // namespace
