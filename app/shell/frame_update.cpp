#include "app/engine/plugin/plugin_slot.h"
#include "app/shell/app_state.h"
#include "app/shell/frame_input.h"
#include "app/shell/frame_loop.h"
#include "app/shell/panes/side_panes.h"
#include "app/shell/tracks/track_views.h"
#include "app/shell/transport.h"
#include "zovuz/core/zovuz_core.h"

FramePanes g_framePanes = {DrawInstrumentPane, DrawInspectorPane, DrawPlayerTrackList, DrawSequencerTrackView};

namespace {

constexpr int64_t kEditorIdlePeriod = 100000;  // microseconds
constexpr int32_t kWheelPush = 5;              // velocity a notch adds
constexpr int32_t kLowestScrollRows = -17;     // the bottom bound, in row heights

// Track area: beside the side panes, or the whole width without them.
constexpr int32_t kTrackAreaX = 120, kTrackAreaWidthLess = 108;
constexpr int32_t kFullTrackAreaX = 4, kFullTrackAreaWidthLess = 8;
constexpr int32_t kTrackAreaHeightLess = 30;

}  // namespace

int32_t UpdateSidePanes(AppState& app) {
  const bool instrument = app.instrumentPaneShown == 1, inspector = app.inspectorPaneShown == 1;
  if (instrument && g_framePanes.instrumentPane) g_framePanes.instrumentPane();
  if (inspector && g_framePanes.inspectorPane) g_framePanes.inspectorPane(instrument ? 1 : 0);
  const int32_t halfWidth = app.clientRect.right / 2, halfHeight = app.clientRect.bottom / 2;
  app.trackArea =
      PaneRect{kTrackAreaX, app.scrollPosition, halfWidth - kTrackAreaWidthLess, halfHeight - kTrackAreaHeightLess};
  app.trackAreaFull = PaneRect{kFullTrackAreaX, app.scrollPosition, halfWidth - kFullTrackAreaWidthLess,
                               halfHeight - kTrackAreaHeightLess};
  return !instrument && !inspector ? 1 : 0;
}

void UpdateFrame() {
  ReadClientRect(g_app);
  IdlePluginEditors();
  const int32_t fullWidth = UpdateSidePanes(g_app);
  const int32_t halfWidth = g_app.clientRect.right / 2, halfHeight = g_app.clientRect.bottom / 2;
  const bool active = g_frameInput.windowActive != 0;
  switch (g_app.mode) {
    case kModeMdxPlayer:
      UpdatePlayerTransport(halfWidth, halfHeight);
      if (g_framePanes.playerTrackList) g_framePanes.playerTrackList(fullWidth);
      if (active) HandlePlayerKeys();
      break;
    case kModeSequencer:
      if (g_framePanes.sequencerTrackView) g_framePanes.sequencerTrackView(fullWidth);
      UpdateSequencerTransport(halfWidth, halfHeight);
      if (active) HandleSequencerKeys();
      ScrollTrackView(g_app, GetMouseWheelRotation(1));
      break;
    default:
      break;
  }
}

void ScrollTrackView(AppState& app, int32_t notches) {
  int32_t& velocity = app.scrollVelocity;
  int32_t& position = app.scrollPosition;
  velocity += kWheelPush * notches;
  if (velocity > 0) velocity -= 1;
  if (velocity < 0) velocity += 1;
  position += velocity;
  if (position > kTopScrollPosition) {
    position = kTopScrollPosition;
    velocity = 0;
  }
  const int32_t lowest = kLowestScrollRows * app.rowHeight;
  if (position < lowest) {
    position = lowest;
    velocity = 0;
  }
}

void IdlePluginEditors() { IdlePluginEditorsAt(GetNowMicroCount()); }

void IdlePluginEditorsAt(int64_t now) {
  if (now < 0) return;
  const uint64_t reading = static_cast<uint64_t>(now);
  // A clock that went backwards waits as well.
  if (reading <= g_app.lastEditorIdleTime || reading - g_app.lastEditorIdleTime <= kEditorIdlePeriod) return;
  g_app.lastEditorIdleTime = reading;
  for (PluginSlot& slot : g_pluginSlots) {
    AEffect* effect = slot.effect;
    if (slot.editorOpen == 1 && effect) effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
  }
}
