#include "app/shell/transport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/engine/engine_lock.h"
#include "app/engine/mixer/channel_mixer.h"
#include "app/engine/mdx/mdx_player.h"
#include "app/engine/sequencer/sequencer.h"
#include "app/shell/app_state.h"
#include "app/shell/frame_input.h"
#include "app/shell/shell_tables.h"
#include "app/shell/tracks/track_views.h"
#include "zovuz/graphics/zovuz_graphics.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFF, kGrey = 0xFFAAAAAA, kLightGrey = 0xFFD0D0D0, kBlack = 0;

constexpr int32_t kTicksPerBar = 192, kTicksPerBeat = 48, kBeatsPerBar = 4;
constexpr uint64_t kMicrosPerMilli = 1000, kMicrosPerSecond = 1000000;

// Ticks per column of the waveform strips at each zoom (index 0 is never a zoom).
constexpr int32_t kZoomTicks[kMaxZoom + 1] = {16,  34,  69,  104, 141, 174, 209, 245, 281,
                                              316, 347, 384, 418, 461, 486, 532, 557};
// The waveform strips' scale at each row height.
constexpr int32_t kPeakScales[kMaxRowHeight - kMinRowHeight + 1] = {
    5446, 5050, 4653, 4300, 4079, 3810, 3626, 3420, 3261, 3100, 2967, 2840, 2719, 2600, 2529, 2410, 2331};
// The MDX player keeps the zoom's column step in another unit than the sequencer.
constexpr int32_t kPlayerStepFactor = 12, kSequencerStepDivisor = 16;

constexpr float kLevelStep = 0.01f, kLowestLevel = 0.5f, kHighestLevel = 1.0f;
// Fast-forward plays the master at a fifth, moving on this far every frame.
constexpr float kFastForwardVolume = 0.2f;
constexpr int32_t kButtonFastForwardMs = 200, kKeyFastForwardMs = 400;

// Where DrawTransportBar puts each button; `fromRight`/`fromBottom` count from the half client
// width and height instead of the left and top. The four transport buttons show their pressed
// image while held, the six small ones also while the pointer is over them.
struct ButtonPlace {
  int index;
  int32_t x, y;
  bool fromRight, fromBottom, small;
};
constexpr ButtonPlace kButtonPlaces[] = {
    {kTransportButton, 4, 3, false, false, false},
    {kTransportButton + 1, 23, 3, false, false, false},
    {kTransportButton + 2, 42, 3, false, false, false},
    {kTransportButton + 3, 61, 3, false, false, false},
    {kZoomButtonA, 16, 9, true, true, true},
    {kZoomButtonB, 23, 9, true, true, true},
    {kRowButtonA, 9, 23, true, true, true},
    {kRowButtonB, 9, 16, true, true, true},
    {kLevelUpButton, 263, 2, false, false, true},
    {kLevelDownButton, 263, 9, false, false, true},
};

ImageButton& Button(int index) { return g_shell.buttons[index]; }
bool Clicked(int index) { return UpdateImageButton(Button(index)) != 0; }

enum class ZoomUnit { kPlayer, kSequencer };

void StepZoom(int32_t step, ZoomUnit unit) {
  g_app.zoom = std::clamp(g_app.zoom + step, kMinZoom, kMaxZoom);
  const int32_t ticks = kZoomTicks[g_app.zoom];
  g_app.columnStep = unit == ZoomUnit::kPlayer ? ticks * kPlayerStepFactor : ticks / kSequencerStepDivisor;
}

void StepRowHeight(int32_t step) {
  g_app.rowHeight = std::clamp(g_app.rowHeight + step, kMinRowHeight, kMaxRowHeight);
  g_app.peakScale = kPeakScales[g_app.rowHeight - kMinRowHeight];
}

void ViewButtons(ZoomUnit unit) {
  if (Clicked(kZoomButtonA)) StepZoom(-1, unit);
  if (Clicked(kZoomButtonB)) StepZoom(+1, unit);
  if (Clicked(kRowButtonA)) StepRowHeight(-1);
  if (Clicked(kRowButtonB)) StepRowHeight(+1);
}

// The level buttons on a master level; true when one was clicked.
bool LevelButtons(float& level) {
  const bool up = Clicked(kLevelUpButton);
  const bool down = Clicked(kLevelDownButton);
  if (up) level = std::clamp(level + kLevelStep, kLowestLevel, kHighestLevel);
  if (down) level = std::clamp(level - kLevelStep, kLowestLevel, kHighestLevel);
  return up || down;
}

// Fast-forward by the button or by the key. The button and the key may run at once: the first to
// start lowers the master and keeps its volume, the second keeps that same volume (never the
// lowered one), and only the last to stop gives it back.
struct FastForwardSide {
  uint8_t& running;
  float& savedVolume;
  const uint8_t& otherRunning;
  const float& otherSavedVolume;
  int32_t milliseconds;
};

FastForwardSide ButtonSide() {
  return {g_app.fastForwardButton, g_app.fastForwardVolumeButton, g_app.fastForwardKey, g_app.fastForwardVolumeKey,
          kButtonFastForwardMs};
}
FastForwardSide KeySide() {
  return {g_app.fastForwardKey, g_app.fastForwardVolumeKey, g_app.fastForwardButton, g_app.fastForwardVolumeButton,
          kKeyFastForwardMs};
}

void HoldFastForward(const FastForwardSide& side) {
  float& master = g_app.volume[kMasterChannel];
  if (side.running == 0) {
    side.running = 1;
    if (side.otherRunning == 1) {
      side.savedVolume = side.otherSavedVolume;
    } else {
      side.savedVolume = master;
      master = kFastForwardVolume * side.savedVolume;
    }
  }
  FastForwardSequencer(side.milliseconds);
}

void ReleaseFastForward(const FastForwardSide& side) {
  if (side.running != 1) return;
  side.running = 0;
  if (side.otherRunning != 1) g_app.volume[kMasterChannel] = side.savedVolume;
}

bool SequencerPaused() { return g_songs[0].paused == 1; }

}  // namespace

PositionText FormatSongPosition(double ticks) {
  const int32_t t = TruncToInt32(ticks);
  PositionText p;
  std::snprintf(p.text, sizeof p.text, "%3d.%1d", t / kTicksPerBar, (t / kTicksPerBeat) % kBeatsPerBar + 1);
  return p;
}

ElapsedTime ElapsedSince(uint64_t now, uint64_t clockBase) {
  // Counted in whole microseconds, so that no rounding of a fraction shows a millisecond less.
  const uint64_t elapsed = now > clockBase ? now - clockBase : 0;
  const uint64_t seconds = elapsed / kMicrosPerSecond;
  return ElapsedTime{static_cast<int32_t>(std::min<uint64_t>(seconds / 60, INT32_MAX)),
                     static_cast<int32_t>(seconds % 60), static_cast<int32_t>(elapsed / kMicrosPerMilli % 1000)};
}

int32_t LevelPercent(float level) { return TruncToInt32(std::floor((level - kLowestLevel) * 200.0f)); }

void PlayMdxSongFromTop() {
  EngineLock lock = LockEngine();
  g_app.song.Play();
  for (int32_t t = 0; t < kMdxTrackCount; ++t) CopyMixerToPlayer(t);
}

void RewindMdxSong() {
  EngineLock lock = LockEngine();
  g_app.song.Rewind();
  for (int32_t t = 0; t < kMdxTrackCount; ++t) CopyMixerToPlayer(t);
}

void UpdatePlayerTransport(int32_t halfWidth, int32_t halfHeight) {
  MdxPlayerState& player = g_mdx.state;
  MdxSong& song = g_app.song;
  const uint64_t now = player.playing != 0 ? SequencerNow() : song.pauseStart;
  const ElapsedTime elapsed = ElapsedSince(now, song.startTime);
  const PositionText position = FormatSongPosition(player.tickPosition);

  if (Clicked(kTransportButton)) RewindMdxSong();
  if (Clicked(kTransportButton + 1)) {
    if (player.playing == 0) {
      RewindMdxSong();
    } else if (player.playing == 1) {
      song.Pause();
    }
  }
  if (Clicked(kTransportButton + 2)) {
    if (player.playing == 0) {
      song.Resume();
    } else if (player.playing == 1) {
      song.Pause();
    }
  }
  ViewButtons(ZoomUnit::kPlayer);
  if (LevelButtons(player.volumeScale)) ApplyMdxTrackVolumes();

  DrawTransportBar(halfWidth, halfHeight, song.title, position.text, elapsed.minutes, elapsed.seconds,
                   elapsed.milliseconds, player.tempo, player.volumeScale);
}

void UpdateSequencerTransport(int32_t halfWidth, int32_t halfHeight) {
  SongEngine& song = g_songs[0];
  uint64_t now = 0;  // nothing loaded: the clock shows 00:00.000
  if (SequencerPaused()) {
    now = song.pauseStart;
  } else if (song.loaded) {
    now = SequencerNow();
  }
  const ElapsedTime elapsed = ElapsedSince(now, song.clockBase);
  const PositionText position = FormatSongPosition(song.tickPosition - song.tracks[0].tickOffset);

  if (Clicked(kTransportButton)) RewindSequencer();
  if (Clicked(kTransportButton + 1)) SequencerPaused() ? RewindSequencer() : PauseSequencer();
  if (Clicked(kTransportButton + 2)) SequencerPaused() ? ResumeSequencer() : PauseSequencer();
  if (!SequencerPaused()) {
    UpdateImageButton(Button(kTransportButton + 3));
    if (Button(kTransportButton + 3).held == 1) {
      HoldFastForward(ButtonSide());
    } else {
      ReleaseFastForward(ButtonSide());
    }
  }
  ViewButtons(ZoomUnit::kSequencer);
  LevelButtons(song.volumeScale);

  DrawTransportBar(halfWidth, halfHeight, song.title, position.text, elapsed.minutes, elapsed.seconds,
                   elapsed.milliseconds, song.tempo, song.volumeScale);
}

void DrawTransportBar(int32_t halfWidth, int32_t halfHeight, const char* title, const char* position, int32_t minutes,
                      int32_t seconds, int32_t milliseconds, int32_t tempo, float level) {
  DrawBox(0, 0, halfWidth, kTransportBarHeight, kLightGrey, 1);
  for (const ButtonPlace& p : kButtonPlaces) {
    Button(p.index).x = p.fromRight ? halfWidth - p.x : p.x;
    Button(p.index).y = p.fromBottom ? halfHeight - p.y : p.y;
  }
  DrawGraph(80, 0, g_app.transportBackground, 1);
  DrawFormatString(87, 4, kWhite, "%s", position);
  DrawFormatString(131, 4, kGrey, "%02d:%02d.%03d", minutes, seconds, milliseconds);
  DrawFormatString(195, 4, kGrey, "BPM %d", tempo);
  DrawFormatString(244, 4, kGrey, "%3d", LevelPercent(level));
  DrawFormatString(274, 3, kBlack, "%s", title);
  for (const ButtonPlace& p : kButtonPlaces) {
    const ImageButton& b = Button(p.index);
    DrawGraph(b.x, b.y, b.held == 1 || (p.small && IsPointerOverButton(b)) ? b.pressedImage : b.normalImage, 1);
  }
}

void HandlePlayerKeys() {
  MdxSong& song = g_app.song;
  if (IsKeyPushed(kKeyPad0) || IsKeyPushed(kKeyPadEnter)) {
    switch (g_mdx.state.playing) {
      case 0:
        song.Resume();
        break;
      case 1:
        song.Pause();
        break;
      case 2:  // the song has ended
        PlayMdxSongFromTop();
        break;
      default:
        break;
    }
  }
  if (IsKeyPushed(kKeySpace)) PlayMdxSongFromTop();
  // Keys 1-8 switch the FM tracks' mutes as their mute buttons do, so that the track list, which
  // hands the mixer's mutes to the player every frame, keeps them.
  for (int32_t track = 0; track < kMdxFmTrackCount; ++track) {
    if (!IsKeyPushed(kKeyMain1 + track)) continue;
    g_app.ToggleMuteSolo(track, 1, 0);
    for (int32_t t = 0; t < kMdxTrackCount; ++t) g_mdx.state.mute[t] = g_app.mute[t];
  }
}

void HandleSequencerKeys() {
  if (IsKeyPushed(kKeyPad0) || IsKeyPushed(kKeyPadEnter)) SequencerPaused() ? ResumeSequencer() : PauseSequencer();
  if (IsKeyPushed(kKeyPadDecimal)) RewindSequencer();
  if (IsKeyPushed(kKeySpace)) PlaySequencerFromTop();
  if (IsKeyPushed(kKeyLeftBracket)) StepRowHeight(-1);
  if (IsKeyPushed(kKeyRightBracket)) StepRowHeight(+1);
  if (IsKeyPushed(kKeyG)) StepZoom(+1, ZoomUnit::kSequencer);
  if (IsKeyPushed(kKeyH)) StepZoom(-1, ZoomUnit::kSequencer);
  if (!SequencerPaused()) {
    if (g_frameInput.keys[kKeyPadPlus] != 0) {
      HoldFastForward(KeySide());
    } else {
      ReleaseFastForward(KeySide());
    }
  }
}
