#include "app/shell/app_state.h"

#include <cstring>

#include "app/engine/midi_input.h"

AppState g_app;

namespace {

constexpr int32_t kDefaultZoom = 4;
constexpr int32_t kDefaultRowHeight = 19;
constexpr int32_t kDefaultColumnStep = 8;
constexpr int32_t kDefaultPeakScale = 4079;
constexpr int32_t kFirstCurrentTrack = 1;
constexpr char kDefaultRenderFileName[] = "mix.wav";

template <typename T, size_t N>
void Fill(T (&table)[N], T value) {
  for (T& entry : table) entry = value;
}

}  // namespace

AppState::AppState() {
  trackArea = trackAreaFull = PaneRect{};
  instrumentPane = inspectorTop = inspectorBelow = PaneRect{};
  inspector = InspectorValues{};
  InitAppDefaults(*this);
  MakeAppGdiObjects(*this);
}

AppState::~AppState() { DeleteAppGdiObjects(*this); }

void AppState::SetCurrentTrack(int32_t track) {
  currentTrack = track;
  g_midiInput.currentTrack = track;
}

void InitAppDefaults(AppState& app) {
  app.instrumentPaneShown = 1;
  app.inspectorPaneShown = 1;
  app.projectPath[0] = '\0';
  app.songPath[0] = '\0';
  for (int slot = 0; slot < kPluginSlotCount; ++slot) {
    app.pluginPaths[slot][0] = '\0';
    app.pluginOutsideFolder[slot] = 1;
    app.pluginLoaded[slot] = 0;
  }
  app.songLoaded = 0;
  app.quitRequested = 0;
  app.lastEditorIdleTime = 0;
  app.zoom = kDefaultZoom;
  Fill(app.eventCounts, 0);
  app.rowHeight = kDefaultRowHeight;
  Fill(app.peakColumns, 0);
  Fill(app.peakChannels, 1);
  app.columnStep = kDefaultColumnStep;
  app.peakScale = kDefaultPeakScale;
  std::memset(app.renderWave, 0, sizeof app.renderWave);
  app.renderHalfWidth = app.renderHalfHeight = app.renderLastColumn = 0;
  app.mode = kModeSequencer;
  app.fastForwardVolumeButton = 1.0f;
  app.fastForwardVolumeKey = 1.0f;
  app.fastForwardButton = app.fastForwardKey = 0;
  app.dialogOpen = 0;
  app.scrollPosition = kTopScrollPosition;
  app.scrollVelocity = 0;
  app.renderDialog = app.renderNameEdit = app.renderDurationEdit = nullptr;
  app.renderRunning = 0;
  app.renderBrowseButton = app.renderExportButton = app.renderCancelButton = nullptr;
  std::strcpy(app.renderFileName, kDefaultRenderFileName);
  for (int c = 0; c < kMixerChannelCount; ++c) {
    app.mute[c] = app.userMute[c] = app.solo[c] = 0;
  }
  app.soloCount = 0;
  app.SetCurrentTrack(kFirstCurrentTrack);
  for (int c = 0; c < kMixerChannelCount; ++c) {
    for (int s = 0; s < kPluginPositionCount; ++s) {
      const int slot = c * kPluginPositionCount + s;
      app.sendLevels[slot] = 0.0f;
      app.sendSwitches[slot] = 0;
    }
    app.pan[c] = 0.5f;
    app.volume[c] = 1.0f;
  }
  for (int slot = 0; slot < kPluginSlotCount; ++slot) {
    app.power[slot] = 1;
    app.programs[slot] = 0;
  }
  app.mouse = MouseState{};
  for (int slot = 0; slot < kPluginSlotCount; ++slot) {
    app.windowOpen[slot] = 0;
    app.windowRects[slot] = ShellRect{};
  }
  app.midiInputOpen = 0;
  app.lastProjectPath[0] = '\0';
}
