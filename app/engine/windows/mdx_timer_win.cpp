// The MDX player's 10 ms multimedia timer and its shut-down.
#include <windows.h>
#include <mmsystem.h>

#include "app/engine/mdx_player.h"
#include "app/engine/sound_player.h"

void StartMdxTimer() {
  if (g_mdx.timerId != 0) return;
  // Killing a timer made with TIME_KILL_SYNCHRONOUS waits for a callback in progress.
  g_mdx.timerId = timeSetEvent(10, 0, MdxTimerProc, 0, TIME_PERIODIC | TIME_CALLBACK_FUNCTION | TIME_KILL_SYNCHRONOUS);
}

void StopMdxTimer() {
  if (g_mdx.timerId == 0) return;
  timeKillEvent(g_mdx.timerId);
  g_mdx.timerId = 0;
}

void TermMdxPlayer() {
  // No tick may run once the buffers go: the timer first.
  StopMdxTimer();
  FreeMdxBuffers();
  DeleteEnginePlayer(g_mdx.softSoundPlayer);
  g_mdx.softSoundPlayer = -1;
}
