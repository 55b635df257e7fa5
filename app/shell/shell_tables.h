// The shell's tables beside AppState: the plug-in windows, the image buttons, the mute and solo
// buttons, the pane sliders and the key edges, all alive for the whole run, and their layout at
// start-up. The panes move the buttons and sliders to their real places every frame.
#pragma once

#include <cstdint>

#include "app/engine/plugin/plugin_slot.h"
#include "app/engine/sequencer/song_engine.h"
#include "app/shell/frame_input.h"
#include "app/shell/panes/widgets.h"

struct AppState;

// The roles of the image buttons; the entries between the named ranges are not used.
enum ImageButtonIndex : int {
  kInstrumentEditButton = 0,  // + track, tracks 0-7
  kInsertEditButton = 9,      // + slot - 1, insert slots 1-4
  kSendButton = 13,           // + send - 1, sends 1 and 2
  kTransportButton = 17,      // + button - 1, transport buttons 1-4
  kZoomButtonA = 21,
  kZoomButtonB = 22,
  kRowButtonA = 23,
  kRowButtonB = 24,
  kLevelUpButton = 25,
  kLevelDownButton = 26,
  kImageButtonCount = 27,
};

enum SliderIndex : int { kPanFader, kVolumeFader, kSendLevel1, kSendLevel2, kSliderCount };

struct ShellTables {
  HWND pluginWindows[kPluginSlotCount];         // a slot's window, null while closed
  ImageButton buttons[kImageButtonCount];       // by ImageButtonIndex
  ImageButton muteButtons[kMixerChannelCount];  // by channel
  ImageButton soloButtons[kMixerChannelCount];  // by channel
  Slider sliders[kSliderCount];                 // by SliderIndex
  uint8_t keyEdges[kKeyCount];                  // 1 while IsKeyPushed has seen the key down
};

extern ShellTables g_shell;

// The divided interface images the buttons show.
enum ButtonSheet : int { kEditSheet, kOnOffSheet, kTransportSheet, kPlusMinusSheet, kMuteSoloSheet, kButtonSheetCount };
constexpr int kMaxSheetTiles = 8;

struct ButtonImages {
  int32_t tiles[kButtonSheetCount][kMaxSheetTiles];  // graph handles, tiles left to right, then down
};

// Loads the five button sheets, divided into their tiles (-1 for the tiles of a sheet that does
// not load).
void LoadButtonImages(ButtonImages& images);

// The start-up layout: every button at its first place with its images and both state bytes 0,
// the window-open flags of channels 0-7's slots cleared, the side-pane rectangles set and no
// slider dragging.
void LayOutInterface(AppState& app, const ButtonImages& images);
