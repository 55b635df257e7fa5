// The engines' SoftSound players: each engine makes one player of 2 channels, 16 bits,
// 44,100 Hz at start-up, pushes every rendered frame into it from its timer thread, and stops
// and deletes it at shut-down. These calls are the only way the engines reach the library's
// player.
#pragma once

#include <cstdint>

// A started player, or -1 when none could be made (the engine then renders without one). It
// starts with 0.15 s of silence queued, its margin against late ticks.
int32_t MakeEnginePlayer();
// Stops and deletes a player; -1 is ignored.
void DeleteEnginePlayer(int32_t player);
// Appends one frame; -1 is ignored. The result is not checked: when the player's queue is
// full its own rules apply.
void PushEnginePlayerFrame(int32_t player, int32_t left, int32_t right);
