// The MDX player's track list: one column per track, the command bytes scrolling under the play
// position with each command written out, the meters, and the mute and solo buttons.
#include <algorithm>

#include "app/engine/mdx/mdx_player.h"
#include "app/shell/app_state.h"
#include "app/shell/frame_input.h"
#include "app/shell/tracks/mdx_command_text.h"
#include "app/shell/shell_tables.h"
#include "app/shell/tracks/track_views.h"
#include "zovuz/graphics/zovuz_graphics.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFF, kParameterColour = 0xFF888888, kMeterBackground = 0x222222;
constexpr int32_t kColumnWidth = 60;
constexpr int32_t kRowsAbove = 10, kNineTrackRowsAbove = 20;
constexpr int32_t kRowPitch = 10, kFirstRowOffset = 20;
constexpr int32_t kMeterWidth = 56;
constexpr int32_t kSelectionAlpha = 64, kOpaqueAlpha = 256;
constexpr int32_t kNineTracks = 9;
// v0-v15 on the @v scale, and 127 above them.
constexpr int32_t kStepVolumes[17] = {85, 87, 90, 93, 95, 98, 101, 103, 106, 109, 111, 114, 117, 119, 122, 125, 127};

float ClampedPeak(float peak) {
  if (peak > 1.0f) return 1.0f;
  return peak <= 0.01f ? 0.0f : peak;
}

bool PointerInside(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  const MouseState& m = g_app.mouse;
  return m.x > left && m.x < right && m.y > top && m.y < bottom;
}

bool Selecting(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return PointerInside(left, top, right, bottom) && (g_app.mouse.buttons & MOUSE_INPUT_LEFT) != 0 &&
         g_frameInput.windowActive != 0;
}

void ReadInspector(int32_t t) {
  const MdxPlayerState& s = g_mdx.state;
  InspectorValues& v = g_app.inspector;
  const int32_t level = std::clamp(s.volume[t], 0, 16);
  v.volume = (s.volumeMode[t] == 1 ? kStepVolumes[level] : s.volume[t]) * 2;
  v.tone = s.toneIndex[t];
  v.pan = s.pan[t];
  v.key = s.lastKey[t];
  v.detune = s.detune[t];
  v.fineDetune = static_cast<float>(s.portaSpeed[t]) / 256.0f;
  v.peakLeft = ClampedPeak(s.peakLeft[t]);
  v.peakRight = ClampedPeak(s.peakRight[t]);
  v.secondDetune = 0;
}

// The mute and solo buttons of channel c, moved to (x, y) and (x + gap, y).
void MuteSoloButtons(int32_t c, int32_t x, int32_t y, int32_t gap) {
  ImageButton& mute = g_shell.muteButtons[c];
  ImageButton& solo = g_shell.soloButtons[c];
  const int soloClicked = UpdateImageButton(solo);
  const int muteClicked = UpdateImageButton(mute);
  g_app.ToggleMuteSolo(c, muteClicked, soloClicked);
  mute.x = x;
  mute.y = y;
  solo.x = x + gap;
  solo.y = y;
  DrawGraph(mute.x, mute.y, mute.held == 1 || g_app.mute[c] == 1 ? mute.pressedImage : mute.normalImage, 1);
  DrawGraph(solo.x, solo.y, solo.held == 1 || g_app.solo[c] == 1 ? solo.pressedImage : solo.normalImage, 1);
}

void EndSongWhenAllTracksEnded() {
  MdxPlayerState& s = g_mdx.state;
  bool anyEnabled = false;
  for (int32_t t = 0; t < std::min(s.trackCount, kMdxTrackCount); ++t) anyEnabled |= s.enabled[t] != 0;
  if (!anyEnabled && s.playing == 1) {
    g_app.song.Pause();
    s.playing = 2;
  }
}

}  // namespace

void CopyMixerToPlayer(int32_t t) {
  if (t < 0 || t >= kMdxTrackCount) return;
  MdxPlayerState& s = g_mdx.state;
  s.mute[t] = g_app.mute[t];
  for (int send = 0; send < 2; ++send) {
    const int slot = t * kPluginPositionCount + send;
    s.sendOn[t][send] = g_app.sendSwitches[slot];
    s.sendLevel[t][send] = g_app.sendLevels[slot];
  }
  s.channelPan[t] = g_app.pan[t];
  s.channelVolume[t] = g_app.volume[t];
}

void DrawTrackLevelMeter(int32_t left, int32_t top, int32_t right, int32_t c) {
  if (c < 0 || c >= kMixerChannelCount) return;
  DrawLine(left + 2, top + 14, right - 2, top + 14, kMeterBackground, 1);
  DrawLine(left + 2, top + 16, right - 2, top + 16, kMeterBackground, 1);
  const float l = ClampedPeak(g_mdx.state.peakLeft[c]), r = ClampedPeak(g_mdx.state.peakRight[c]);
  DrawLine(left + 2, top + 14, left + 2 + static_cast<int32_t>(kMeterWidth * l), top + 14, kWhite, 1);
  DrawLine(left + 2, top + 16, left + 2 + static_cast<int32_t>(kMeterWidth * r), top + 16, kWhite, 1);
}

void DrawPlayerTrackBytes(int32_t x, int32_t y, int32_t t, int32_t rowsAbove, int32_t height) {
  if (t < 0 || t >= kMdxTrackCount) return;
  const MdxPlayerState& s = g_mdx.state;
  const uint8_t* data = g_mdx.trackData[t];
  const int32_t length = s.trackLength[t];
  if (!data) return;
  const int32_t read = s.readPosition[t];
  const int32_t first = read > rowsAbove ? read - rowsAbove : 0;
  const uint32_t colour = s.enabled[t] ? kRowColours[t] : kDisabledTrackColour;
  MdxSong& song = g_app.song;
  MdxCommandState state{song.shownVolumeMode, song.shownVolume, song.shownCommandBytes};
  const int32_t textX = x + kColumnWidth * t;
  for (int32_t i = first; i < length && kRowPitch * (i - first + 2) < height - kRowPitch; ++i) {
    const int32_t row = y + kRowPitch * (i - first) + kFirstRowOffset;
    if (state.paramBytes > 0) {
      DrawFormatString(textX, row, kParameterColour, "%02x", data[i]);
      state.paramBytes -= 1;
      continue;
    }
    const uint32_t c = read == i + 2 ? kWhite : colour;
    DrawFormatString(textX, row, c, "%02x", data[i]);
    char text[kMdxCommandTextSize];
    FormatMdxCommand(data, length, i, t, state, text);
    DrawFormatString(textX + 15, row, c, "%s", text);
  }
  song.shownVolumeMode = state.volumeMode;
  song.shownVolume = state.volume;
  song.shownCommandBytes = state.paramBytes;
}

void DrawPlayerTrackList(int32_t fullWidth) {
  const PaneRect area = fullWidth == 1 ? g_app.trackAreaFull : g_app.trackArea;
  MdxPlayerState& s = g_mdx.state;
  int32_t rowsAbove = kRowsAbove, visible = (area.height - 12) / 2;
  EndSongWhenAllTracksEnded();
  const int32_t count = std::clamp(s.trackCount, 0, kMdxTrackCount);
  if (count == kNineTracks) {
    rowsAbove = kNineTrackRowsAbove;
    visible = area.height;
  }
  for (int32_t t = 0; t < count; ++t) {
    g_app.song.shownCommandBytes = 0;
    const uint32_t colour = s.enabled[t] ? kRowColours[t] : kDisabledTrackColour;
    if (s.trackLength[t] <= 2) continue;
    int32_t left, top, right, bottom, baseX, number = t + 1;
    if (t < kMdxFmTrackCount || (t == 8 && count == kNineTracks)) {
      const int32_t column = t < kMdxFmTrackCount ? t : 8;
      left = area.x + kColumnWidth * column;
      top = area.y;
      right = left + kColumnWidth;
      bottom = area.y + visible;
      baseX = area.x + 2;
    } else {
      left = area.x + kColumnWidth * (t - 8);
      top = area.y + 10 + visible;
      right = left + kColumnWidth;
      bottom = area.y - 4 + area.height;
      baseX = area.x - 478;
    }
    DrawFormatString(left + 2, top, colour, "t%02d", number);
    DrawPlayerTrackBytes(baseX, top, t, rowsAbove, visible);
    DrawTrackLevelMeter(left, top, right, t);
    if (Selecting(left, top, right, bottom)) g_app.SetCurrentTrack(t);
    if (g_app.currentTrack == t) {
      SetDrawBlendMode(DX_BLENDMODE_ALPHA, kSelectionAlpha);
      DrawFillBox(left, top, right, bottom, kWhite);
      SetDrawBlendMode(DX_BLENDMODE_ALPHA, kOpaqueAlpha);
      ReadInspector(t);
    }
    MuteSoloButtons(t, left + 20, top + 1, 10);
    CopyMixerToPlayer(t);
  }
}
