#include "app/engine/sound_player.h"

#include "zovuz/sound/zovuz_sound.h"

int32_t MakeEnginePlayer() {
  int player = MakeSoftSoundPlayer2Ch16Bit44100Hz();
  if (player < 0) return -1;
  // A player that does not play would only queue: the engine then renders without one.
  if (StartSoftSoundPlayer(player) < 0) {
    DeleteSoftSoundPlayer(player);
    return -1;
  }
  return player;
}

void DeleteEnginePlayer(int32_t player) {
  if (player < 0) return;
  StopSoftSoundPlayer(player);
  DeleteSoftSoundPlayer(player);
}

void PushEnginePlayerFrame(int32_t player, int32_t left, int32_t right) {
  if (player >= 0) AddOneDataSoftSoundPlayer(player, left, right);
}
