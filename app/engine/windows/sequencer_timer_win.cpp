// The sequencer's start-up and shut-down and its 10 ms multimedia timer.
#include <windows.h>
#include <mmsystem.h>

#include "app/engine/sample_load.h"
#include "app/engine/sequencer.h"
#include "app/engine/sound_player.h"

static_assert(sizeof(DWORD_PTR) == sizeof(unsigned long), "the timer callback's user words");

int InitSequencerAudio() {
  g_sequencer.player = MakeEnginePlayer();
  timeBeginPeriod(1);
  for (SongEngine& song : g_songs) {
    for (int16_t*& samples : song.bankSamples) samples = nullptr;
  }
  return 1;
}

void StartSequencerTimer() {
  if (g_sequencer.timerId != 0) return;
  // Killing a timer made with TIME_KILL_SYNCHRONOUS waits for a callback in progress.
  g_sequencer.timerId =
      timeSetEvent(10, 0, SequencerTimerProc, 0, TIME_PERIODIC | TIME_CALLBACK_FUNCTION | TIME_KILL_SYNCHRONOUS);
}

void StopSequencerTimer() {
  if (g_sequencer.timerId == 0) return;
  timeKillEvent(g_sequencer.timerId);
  g_sequencer.timerId = 0;
}

void TermSequencerAudio() {
  // No tick may run once the samples go: the timer first.
  StopSequencerTimer();
  ReleaseSongSamples();
  DeleteEnginePlayer(g_sequencer.player);
  g_sequencer.player = -1;
  timeEndPeriod(1);
}
