// The transport bar along the top of the draw screen (song position, elapsed time, tempo, master
// level, title, the four transport buttons and the zoom, row and level buttons) and the keyboard
// shortcuts of both modes. Each mode's update reads its engine's clock, acts on the buttons and
// then draws the one bar. User-interface thread; the input comes from the frame (frame_input.h).
#pragma once

#include <cstdint>

struct AppState;

constexpr int32_t kMinZoom = 1, kMaxZoom = 16;
constexpr int32_t kMinRowHeight = 16, kMaxRowHeight = 32;
constexpr int32_t kTransportBarHeight = 18;

// The clock the bar shows.
struct ElapsedTime {
  int32_t minutes, seconds, milliseconds;
};

// "%3d.%1d" with the bar (192 ticks) and the beat (48 ticks, from 1) of a tick position.
struct PositionText {
  char text[16];
};
PositionText FormatSongPosition(double ticks);

// The time from the clock base to `now` (microseconds); none when `now` lies before the base.
ElapsedTime ElapsedSince(uint64_t now, uint64_t clockBase);

// The number the bar shows for a master level: 0 at 0.5, 100 at 1.0.
int32_t LevelPercent(float level);

// The MDX player's bar and the MML sequencer's, with the half client width and height.
void UpdatePlayerTransport(int32_t halfWidth, int32_t halfHeight);
void UpdateSequencerTransport(int32_t halfWidth, int32_t halfHeight);

// Draws the bar and moves its buttons to their places for this window size.
void DrawTransportBar(int32_t halfWidth, int32_t halfHeight, const char* title, const char* position, int32_t minutes,
                      int32_t seconds, int32_t milliseconds, int32_t tempo, float level);

// The MDX song from the top, playing, or stopped there. The player's reset clears its mutes,
// sends, pans and volumes: the mixer's are handed to it again in the same step, before a tick can
// play a track the user muted.
void PlayMdxSongFromTop();
void RewindMdxSong();

// The keyboard shortcuts of the MDX player and of the MML sequencer.
void HandlePlayerKeys();
void HandleSequencerKeys();
