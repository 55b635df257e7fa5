// The MDX player's 10 ms multimedia timer and its shut-down.
#include "app/engine/mdx/mdx_player.h"
#include "app/engine/mixer/sound_player.h"
#include "app/engine/windows/engine_timer_win.h"

void StartMdxTimer() { StartEngineTimer(g_mdx.timerId, MdxTimerProc); }

void StopMdxTimer() { StopEngineTimer(g_mdx.timerId); }

void TermMdxPlayer() {
  // No tick may run once the buffers go: the timer first.
  StopMdxTimer();
  FreeMdxBuffers();
  DeleteEnginePlayer(g_mdx.softSoundPlayer);
  g_mdx.softSoundPlayer = -1;
}
