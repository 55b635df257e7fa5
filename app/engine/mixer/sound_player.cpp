#include "app/engine/mixer/sound_player.h"

#include "zovuz/sound/zovuz_sound.h"

namespace {

// Silence queued before the start, so that the refill always finds frames queued between two
// ticks. Without it the player runs with only what the refill keeps written ahead of the sound:
// the device's cursor soon takes up most of the silence the start writes, and the next refill
// that finds the queue empty between two ticks writes a lead of silence into whatever plays then
// (a song played at once loses 60 ms from a note); so does any tick that comes late later on.
// The player keeps about 0.1 s written ahead of its device's cursor out of this margin.
constexpr int kStartMarginFrames = 6615;  // 0.15 s

}  // namespace

int32_t MakeEnginePlayer() {
  int player = MakeSoftSoundPlayer2Ch16Bit44100Hz();
  if (player < 0) return -1;
  for (int i = 0; i < kStartMarginFrames; ++i) AddOneDataSoftSoundPlayer(player, 0, 0);
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
