// The sequencer's start-up and shut-down and its 10 ms multimedia timer.
#include "app/engine/mml/sample_load.h"
#include "app/engine/sequencer/sequencer.h"
#include "app/engine/mixer/sound_player.h"
#include "app/engine/windows/engine_timer_win.h"

int InitSequencerAudio() {
  g_sequencer.player = MakeEnginePlayer();
  timeBeginPeriod(1);
  for (SongEngine& song : g_songs) {
    for (int16_t*& samples : song.bankSamples) samples = nullptr;
  }
  return 1;
}

void StartSequencerTimer() { StartEngineTimer(g_sequencer.timerId, SequencerTimerProc); }

void StopSequencerTimer() { StopEngineTimer(g_sequencer.timerId); }

void TermSequencerAudio() {
  // No tick may run once the samples go: the timer first.
  StopSequencerTimer();
  ReleaseSongSamples();
  DeleteEnginePlayer(g_sequencer.player);
  g_sequencer.player = -1;
  timeEndPeriod(1);
}
