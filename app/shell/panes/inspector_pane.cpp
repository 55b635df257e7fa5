// The inspector pane, "Inspecter": the current track's tone, pan, key, detune and volume with
// their meters, its four insert slots, its two effect sends (song tracks only), its pan and volume
// faders and its level meter.
#include <cmath>
#include <cstdio>
#include <string>

#include "app/shell/frame_input.h"
#include "app/shell/panes/pane_drawing.h"
#include "app/shell/shell_tables.h"
#include "app/shell/panes/side_panes.h"
#include "app/shell/tracks/track_views.h"
#include "zovuz/zovuz.h"

namespace {

constexpr int32_t kInsertCount = 4;
constexpr int32_t kInsertTop = 66, kInsertPitch = 14;
constexpr int32_t kInsertClickBottom = 118, kInsertClickRowOffset = 64;
constexpr int32_t kSendTop = 137, kSendPitch = 14;
constexpr int32_t kSongFaderTop = 176, kBusFaderTop = 134;  // F: below the sends, or in their place
constexpr int32_t kSliderHeight = 10;
constexpr uint32_t kPaneColour = 0xFF333333, kRowColour = 0x44444444, kMeterBox = 0x222222, kBlack = 0;
constexpr uint32_t kCentreLineColour = 0x33333333, kVolumeBarColour = 0x88888888, kLevelBackground = 0x222222;
constexpr int32_t kPanCentre = 64, kPanRight = 127;

// Channels with effect sends: the song tracks. The buses and the master have none drawn, so none
// may act either.
bool HasSends(int32_t c) { return c < kSongTrackCount; }

// The slider's round trip with a stored value: taken in as by SetSliderValue, followed, given back.
void FollowSlider(Slider& slider, float& value) {
  SetSliderValue(slider, value);
  UpdateSlider(slider);
  value = slider.value;
}

void PlaceSlider(Slider& slider, int32_t x, int32_t y, int32_t width) {
  slider.x = x;
  slider.y = y;
  slider.width = width;
  slider.height = kSliderHeight;
}

void DrawMeters(int32_t x, int32_t y, const InspectorValues& v) {
  // Pan.
  DrawBox(x + 86, y + 17, x + 107, y + 25, kMeterBox, 1);
  DrawBox(x + 86, y + 17, x + 107, y + 25, kBlack, 0);
  DrawLine(x + 96, y + 18, x + 96, y + 24, kCentreLineColour, 1);
  const int32_t panX = x + 87 + static_cast<int32_t>(std::floor(v.pan / 127.0f * 19.0f));
  DrawLine(panX, y + 18, panX, y + 24, kPaneWhite, 1);
  // Volume.
  DrawBox(x + 86, y + 29, x + 107, y + 50, kMeterBox, 1);
  DrawBox(x + 86, y + 29, x + 107, y + 50, kBlack, 0);
  const int32_t top = y + 30 + 19 - static_cast<int32_t>(std::floor(v.volume / 256.0f * 19.0f));
  DrawBox(x + 87, top, x + 106, y + 49, kVolumeBarColour, 1);
  DrawLine(x + 87, top, x + 106, top, kPaneWhite, 1);
  // Detune.
  const float detune = static_cast<float>(v.detune + v.secondDetune) + v.fineDetune;
  DrawBox(x + 4, y + 42, x + 44, y + 50, kMeterBox, 1);
  DrawBox(x + 4, y + 42, x + 44, y + 50, kBlack, 0);
  DrawLine(x + 24, y + 43, x + 24, y + 49, kCentreLineColour, 1);
  if (detune > -64.0f && detune < 64.0f) {
    const int32_t detuneX = x + 24 + static_cast<int32_t>(std::floor(19.0f * detune / 64.0f));
    DrawLine(detuneX, y + 43, detuneX, y + 49, kPaneWhite, 1);
  }
}

void DrawInserts(int32_t x, int32_t y, int32_t w, int32_t c, uint32_t colour) {
  DrawFormatString(x + 4, y + 52, colour, "Insert");
  for (int32_t s = 1; s <= kInsertCount; ++s) {
    const int32_t r = y + kInsertTop + kInsertPitch * (s - 1), n = c * kPluginPositionCount + s;
    DrawFormatString(x + 3, r, kPaneWhite, "%d", s);
    DrawSlotRow(x, r, w, n, kRowColour, "no effect");
    DrawEditButton(g_shell.buttons[kInsertEditButton + s - 1], x + 10, r + 1, n);
  }
}

void DrawSends(int32_t x, int32_t y, int32_t w, int32_t c, uint32_t colour) {
  DrawFormatString(x + 4, y + 122, colour, "FX send");
  for (int32_t k = 0; k < 2; ++k) {
    const int32_t r = y + kSendTop + kSendPitch * k, slot = c * kPluginPositionCount + k;
    DrawFormatString(x + 3, r - 1, kPaneWhite, "%d", k + 1);
    ImageButton& button = g_shell.buttons[kSendButton + k];
    button.x = x + 10;
    button.y = r;
    DrawGraph(button.x, button.y,
              button.held == 1 || g_app.sendSwitches[slot] == 1 ? button.pressedImage : button.normalImage, 1);
    Slider& slider = g_shell.sliders[kSendLevel1 + k];
    PlaceSlider(slider, x + 22, r - 1, w - 26);
    slider.value = g_app.sendLevels[slot];
    DrawSlider(slider, g_app.sendSwitches[slot], 0);
  }
}

void DrawFaders(int32_t x, int32_t y, int32_t w, int32_t c, int32_t f, uint32_t colour) {
  DrawFormatString(x + 4, y + f - 12, colour, "Fader");
  DrawFormatString(x + 3, y + f + 2, kPaneWhite, "PAN");
  Slider& pan = g_shell.sliders[kPanFader];
  PlaceSlider(pan, x + 22, y + f + 2, w - 26);
  pan.value = g_app.pan[c];
  DrawSlider(pan, 1, 1);
  DrawFormatString(x + 3, y + f + 16, kPaneWhite, "VOL");
  Slider& volume = g_shell.sliders[kVolumeFader];
  PlaceSlider(volume, x + 22, y + f + 16, w - 26);
  volume.value = g_app.volume[c];
  DrawSlider(volume, 1, 0);
  // The level meter.
  const InspectorValues& v = g_app.inspector;
  const int32_t length = w - 30;
  for (const int32_t line : {f + 32, f + 36})
    DrawLine(x + 24, y + line, x + 24 + length, y + line, kLevelBackground, 2);
  DrawLine(x + 24, y + f + 32, x + 24 + static_cast<int32_t>(v.peakLeft * length), y + f + 32, kPaneWhite, 2);
  DrawLine(x + 24, y + f + 36, x + 24 + static_cast<int32_t>(v.peakRight * length), y + f + 36, kPaneWhite, 2);
}

}  // namespace

std::string InspectorPanText(int32_t pan, int32_t tone) {
  char text[64];
  if (pan == kPanCentre)
    std::snprintf(text, sizeof text, "@ %d  PAN C", tone);
  else if (pan == 0)
    std::snprintf(text, sizeof text, "@ %d  PAN L", tone);
  else if (pan == kPanRight)
    std::snprintf(text, sizeof text, "@ %d  PAN R", tone);
  else if (pan > kPanCentre)
    std::snprintf(text, sizeof text, "@ %d  PAN R%2d", tone, pan - 63);
  else
    std::snprintf(text, sizeof text, "@ %d  PAN L%2d", tone, kPanCentre - pan);
  return text;
}

std::string InspectorTrackLabel(int32_t channel) {
  char text[16];
  if (channel >= 0 && channel < kSongTrackCount)
    std::snprintf(text, sizeof text, "%02d", channel + 1);
  else if (channel == kEffectBusFirst || channel == kEffectBusFirst + 1)
    std::snprintf(text, sizeof text, "FX%d", channel - kEffectBusFirst + 1);
  else
    std::snprintf(text, sizeof text, "M");
  return text;
}

void UpdateInsertEffectSlots(int32_t x, int32_t y, int32_t w, int32_t c) {
  if (c < 0 || c >= kMixerChannelCount) return;
  const MouseState& m = g_app.mouse;
  if ((m.buttons & MOUSE_INPUT_LEFT) != 0 && m.x > x + 22 && m.x < x + w - 4 && m.y > y + kInsertTop &&
      m.y < y + kInsertClickBottom && g_app.dialogOpen == 0) {
    const int32_t row = (m.y - y - kInsertClickRowOffset) / kInsertPitch;
    if (row >= 0 && row < kInsertCount) LoadPaneSlot(c, row + 1, PluginDialogKind::kEffect);
  }
  bool stop = false;
  for (int32_t s = 1; s <= kInsertCount; ++s) HandleEditButton(g_shell.buttons[kInsertEditButton + s - 1], c, s, stop);
  if (HasSends(c)) {
    for (int32_t k = 0; k < 2; ++k) {
      const int32_t slot = c * kPluginPositionCount + k;
      if (UpdateImageButton(g_shell.buttons[kSendButton + k]) == 1)
        g_app.sendSwitches[slot] = g_app.sendSwitches[slot] == 1 ? 0 : 1;
      FollowSlider(g_shell.sliders[kSendLevel1 + k], g_app.sendLevels[slot]);
    }
  }
  FollowSlider(g_shell.sliders[kPanFader], g_app.pan[c]);
  FollowSlider(g_shell.sliders[kVolumeFader], g_app.volume[c]);
}

void DrawInspectorPane(int32_t below) {
  const PaneRect& p = below == 1 ? g_app.inspectorBelow : g_app.inspectorTop;
  const int32_t x = p.x, y = p.y, w = p.width, c = g_app.currentTrack;
  DrawBox(x, y, x + w, y + p.height, kPaneColour, 1);
  DrawFormatString(x + 10, y + 2, kPaneWhite, "Inspecter");
  if (c < 0 || c >= kMixerChannelCount) return;
  const uint32_t colour = kRowColours[c];
  const InspectorValues& v = g_app.inspector;
  DrawFormatString(x + 4, y + 16, colour, "%s", InspectorTrackLabel(c).c_str());
  DrawFormatString(x + 24, y + 16, kPaneWhite, "%s", InspectorPanText(v.pan, v.tone).c_str());
  DrawFormatString(x + 4, y + 28, kPaneWhite, "KEY %d DETUNE %d", v.key, v.detune);
  DrawFormatString(x + 54, y + 40, kPaneWhite, "@v%d", v.volume);
  DrawMeters(x, y, v);
  if (g_frameInput.windowActive != 0) UpdateInsertEffectSlots(x, y, w, c);
  DrawInserts(x, y, w, c, colour);
  int32_t f = kBusFaderTop;
  if (HasSends(c)) {
    DrawSends(x, y, w, c, colour);
    f = kSongFaderTop;
  }
  DrawFaders(x, y, w, c, f, colour);
}
