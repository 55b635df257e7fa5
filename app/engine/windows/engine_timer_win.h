// The engines' 10 ms multimedia timers: one runs at a time, started and killed through here.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>

static_assert(sizeof(DWORD_PTR) == sizeof(unsigned long), "the timer callback's user words");

// Starts a periodic 10 ms timer calling `proc` into `id`, unless `id` already names one.
inline void StartEngineTimer(uint32_t& id, LPTIMECALLBACK proc) {
  if (id != 0) return;
  // Killing a timer made with TIME_KILL_SYNCHRONOUS waits for a callback in progress.
  id = timeSetEvent(10, 0, proc, 0, TIME_PERIODIC | TIME_CALLBACK_FUNCTION | TIME_KILL_SYNCHRONOUS);
}

// Kills the timer `id` names, waiting for a callback in progress, and sets `id` to 0.
inline void StopEngineTimer(uint32_t& id) {
  if (id == 0) return;
  timeKillEvent(id);
  id = 0;
}
