#include "app/engine/sound_player.h"

// The library's SoftSound player is not part of this build yet. Until it is, no player is
// made and the engines render without sound output (the WAV capture still works); this file is
// the one place that will call MakeSoftSoundPlayer2Ch16Bit44100Hz, StartSoftSoundPlayer,
// AddOneDataSoftSoundPlayer, StopSoftSoundPlayer and DeleteSoftSoundPlayer.

int32_t MakeEnginePlayer() { return -1; }

void DeleteEnginePlayer(int32_t player) { (void)player; }

void PushEnginePlayerFrame(int32_t player, int32_t left, int32_t right) {
  (void)player;
  (void)left;
  (void)right;
}
