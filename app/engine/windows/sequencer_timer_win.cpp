// The sequencer's start-up and shut-down, its 10 ms multimedia timer and the system clock its
// song clocks read.
#include <windows.h>
#include <mmsystem.h>

#include "app/engine/sample_load.h"
#include "app/engine/sequencer.h"
#include "app/engine/sound_player.h"

static_assert(sizeof(DWORD_PTR) == sizeof(unsigned long), "the timer callback's user words");

uint64_t ReadSystemMicroClock() {
  static const LONGLONG frequency = [] {
    LARGE_INTEGER f;
    return QueryPerformanceFrequency(&f) && f.QuadPart > 0 ? f.QuadPart : 0;
  }();
  if (frequency == 0) return static_cast<uint64_t>(timeGetTime()) * 1000;
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  // Whole seconds and the rest apart, so the product cannot overflow.
  const uint64_t count = static_cast<uint64_t>(now.QuadPart);
  const uint64_t f = static_cast<uint64_t>(frequency);
  return count / f * 1000000 + count % f * 1000000 / f;
}

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
