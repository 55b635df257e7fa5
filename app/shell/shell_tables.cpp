#include "app/shell/shell_tables.h"

#include "app/shell/app_state.h"
#include "zovuz/graphics/zovuz_graphics.h"

namespace {

// Colours of the drawing calls carry alpha 0xFF.
constexpr uint32_t Opaque(uint32_t rgb) { return 0xFF000000u | rgb; }

constexpr Slider kPaneSliderStart = {
    0,
    0,
    0,
    0,
    0.0f,
    Opaque(0x222222),
    Opaque(0x000000),
    Opaque(0x888888),
    Opaque(0x444444),
    Opaque(0x888888),
    Opaque(0x444444),
    0,
};

struct SheetFile {
  const char* path;
  int count, across, down, width, height;
};

constexpr SheetFile kSheetFiles[kButtonSheetCount] = {
    {"IMG/edit_button.png", 2, 2, 1, 10, 10}, {"IMG/onoff_button.png", 2, 2, 1, 10, 10},
    {"IMG/TRANSPORTS.png", 8, 4, 2, 19, 13},  {"IMG/PLUSMINUS.png", 4, 2, 2, 7, 7},
    {"IMG/MUTESOLO.png", 4, 2, 2, 9, 9},
};

// A button's first place and its tiles; sheet -1 for the entries that are not used.
struct ButtonPlace {
  int32_t x, y, width, height;
  int sheet, normalTile, pressedTile;
};

constexpr ButtonPlace kNotUsed = {0, 0, 0, 0, -1, 0, 0};

constexpr ButtonPlace kButtonPlaces[kImageButtonCount] = {
    {14, 18, 10, 10, kEditSheet, 0, 1},  // instrument edit, tracks 0-7
    {14, 34, 10, 10, kEditSheet, 0, 1},
    {14, 50, 10, 10, kEditSheet, 0, 1},
    {14, 66, 10, 10, kEditSheet, 0, 1},
    {14, 82, 10, 10, kEditSheet, 0, 1},
    {14, 98, 10, 10, kEditSheet, 0, 1},
    {14, 114, 10, 10, kEditSheet, 0, 1},
    {14, 130, 10, 10, kEditSheet, 0, 1},
    kNotUsed,
    {14, 34, 10, 10, kEditSheet, 0, 1},  // insert edit, slots 1-4
    {14, 50, 10, 10, kEditSheet, 0, 1},
    {14, 66, 10, 10, kEditSheet, 0, 1},
    {14, 82, 10, 10, kEditSheet, 0, 1},
    {14, 18, 10, 10, kOnOffSheet, 0, 1},  // sends 1 and 2
    {14, 34, 10, 10, kOnOffSheet, 0, 1},
    kNotUsed,
    kNotUsed,
    {-31, 2, 19, 13, kTransportSheet, 0, 4},  // transport 1-4
    {-12, 2, 19, 13, kTransportSheet, 1, 5},
    {7, 2, 19, 13, kTransportSheet, 2, 6},
    {26, 2, 19, 13, kTransportSheet, 3, 7},
    {1290, 746, 7, 7, kPlusMinusSheet, 1, 3},  // zoom A
    {1283, 746, 7, 7, kPlusMinusSheet, 0, 2},  // zoom B
    {1283, 746, 7, 7, kPlusMinusSheet, 0, 2},  // row A
    {1290, 746, 7, 7, kPlusMinusSheet, 1, 3},  // row B
    {139, 2, 7, 7, kPlusMinusSheet, 1, 3},     // level up
    {139, 9, 7, 7, kPlusMinusSheet, 0, 2},     // level down
};

// The mute and solo buttons of channel c: one column each, a row per channel.
constexpr int32_t kMuteColumnX = 14, kSoloColumnX = 23, kMuteSoloTop = 32, kMuteSoloPitch = 13, kMuteSoloSize = 9;
constexpr int kMuteTiles[2] = {0, 2}, kSoloTiles[2] = {1, 3};

constexpr PaneRect kInstrumentPaneStart = {4, 22, 112, 129};
constexpr PaneRect kInspectorTopStart = {4, 22, 112, 218};
constexpr PaneRect kInspectorBelowStart = {4, 155, 112, 218};
constexpr int kInstrumentChannelCount = 8;  // channels whose plug-in windows the frame serves

void Place(ImageButton& button, int32_t x, int32_t y, int32_t width, int32_t height, int32_t normal, int32_t pressed) {
  button = ImageButton{x, y, width, height, normal, pressed, 0, 0};
}

}  // namespace

ShellTables g_shell = {{}, {}, {}, {}, {kPaneSliderStart, kPaneSliderStart, kPaneSliderStart, kPaneSliderStart}, {}};

void LoadButtonImages(ButtonImages& images) {
  for (int sheet = 0; sheet < kButtonSheetCount; ++sheet) {
    const SheetFile& f = kSheetFiles[sheet];
    int32_t* tiles = images.tiles[sheet];
    for (int i = 0; i < kMaxSheetTiles; ++i) tiles[i] = -1;
    if (LoadDivGraph(f.path, f.count, f.across, f.down, f.width, f.height, tiles, 0) != 0) {
      for (int i = 0; i < kMaxSheetTiles; ++i) tiles[i] = -1;
    }
  }
}

void LayOutInterface(AppState& app, const ButtonImages& images) {
  for (int i = 0; i < kImageButtonCount; ++i) {
    const ButtonPlace& p = kButtonPlaces[i];
    const int32_t* tiles = p.sheet >= 0 ? images.tiles[p.sheet] : nullptr;
    Place(g_shell.buttons[i], p.x, p.y, p.width, p.height, tiles ? tiles[p.normalTile] : 0,
          tiles ? tiles[p.pressedTile] : 0);
  }
  const int32_t* muteSolo = images.tiles[kMuteSoloSheet];
  for (int c = 0; c < kMixerChannelCount; ++c) {
    const int32_t y = kMuteSoloTop + kMuteSoloPitch * c;
    Place(g_shell.muteButtons[c], kMuteColumnX, y, kMuteSoloSize, kMuteSoloSize, muteSolo[kMuteTiles[0]],
          muteSolo[kMuteTiles[1]]);
    Place(g_shell.soloButtons[c], kSoloColumnX, y, kMuteSoloSize, kMuteSoloSize, muteSolo[kSoloTiles[0]],
          muteSolo[kSoloTiles[1]]);
  }
  for (int slot = 0; slot < kInstrumentChannelCount * kPluginPositionCount; ++slot) app.windowOpen[slot] = 0;
  app.instrumentPane = kInstrumentPaneStart;
  app.inspectorTop = kInspectorTopStart;
  app.inspectorBelow = kInspectorBelowStart;
  for (Slider& slider : g_shell.sliders) slider.dragging = 0;
}
