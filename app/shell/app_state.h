// The shell's one process-wide state: every pane, the menu, the project and settings files, the
// plug-in windows and the render dialog read and write these fields directly on the
// user-interface thread. The MIDI callback reads only the current track, through the copy
// SetCurrentTrack keeps in the engine's MIDI input; the engines' timer threads read only the
// copies the track views make each frame, never this object.
//
// Windows handles are declared as <windows.h> declares them (pointers to incomplete structs),
// so this header needs no Windows header; windows/app_gdi_win.cpp checks the layouts.
#pragma once

#include <cstdint>

#include "app/engine/mdx/mdx_song.h"
#include "app/engine/plugin/plugin_slot.h"
#include "app/engine/sequencer/song_engine.h"

struct HFONT__;
struct HBRUSH__;
struct HINSTANCE__;

// Sizes of the shell's tables.
constexpr int kPathChars = 260;  // the file dialogs' buffers
constexpr int kWorkingDirectoryChars = 255;
constexpr int kNameChars = 256;       // plug-in paths, the render file name, the last project
constexpr int kPeakTableCount = 99;   // waveform lanes with peak tables
constexpr int kRenderColumns = 1920;  // columns of the render dialog's waveform
constexpr int kShellBrushCount = 3;
// AppState::brushes by role (the plug-in windows' parameter view).
enum ShellBrush : int { kBarBackgroundBrush, kBarFillBrush, kIndicatorBrush };
constexpr int32_t kTopScrollPosition = 22;  // the track view scrolled to its top

// Edges as a Windows RECT holds them (left, top, right, bottom; right and bottom exclusive).
struct ShellRect {
  int32_t left, top, right, bottom;
};

// A pane's place on the draw screen.
struct PaneRect {
  int32_t x, y, width, height;
};

// What the inspector pane shows of the current track.
struct InspectorValues {
  int32_t pan = 64;
  int32_t tone = 0;
  int32_t key = 0;
  int32_t detune = 0;
  int32_t volume = 0;
  int32_t secondDetune = 0;
  float fineDetune = 0.0f;
  float peakLeft = 0.0f;
  float peakRight = 0.0f;
};

// The mouse as the frame loop stored it before the panes ran (see frame_input.h).
struct MouseState {
  int32_t buttons = 0;  // MOUSE_INPUT_* bits; bit 0 the left button
  int32_t x = 0;        // draw-screen pixels: the library's position halved
  int32_t y = 0;
};

// Rows of the render dialog's waveform arrays.
enum RenderWaveRow { kRenderLeftMax, kRenderRightMax, kRenderLeftMin, kRenderRightMin, kRenderWaveRows };

// Which engine the transport, the keys and the track view drive.
enum AppMode : int32_t { kModeSequencer = 0, kModeMdxPlayer = 1 };

struct AppState {
  // Clears the pane rectangles and the inspector, sets the defaults and makes the two fonts and
  // the three brushes; the destructor deletes those five objects.
  AppState();
  ~AppState();
  AppState(const AppState&) = delete;
  AppState& operator=(const AppState&) = delete;

  // The track the MIDI keyboard plays and the inspector shows; also handed to the MIDI input.
  void SetCurrentTrack(int32_t track);

  // A click on channel c's mute and/or solo button (a flag counts only when it is 1): the mute
  // click first, then the solo click; the mute bytes of song 0's tracks follow each.
  void ToggleMuteSolo(int32_t channel, int32_t muteClicked, int32_t soloClicked);

  // After a project load: the solo count from the solo flags, each channel muted when a solo
  // leaves it out or the user muted it, and song 0's tracks given those mutes.
  void SettleLoadedMutes();

  // Reads the project at `path` into the program (project/windows/project_files_win.cpp): the
  // view, the mixer, and the plug-ins with their parameters. A missing file changes nothing; false, with a
  // line on the output and nothing changed, when the file cannot be read or is no project text.
  bool LoadProject(const char* path);

  int32_t drawScreen = 0;           // 960 x 540 graph every pane draws into
  int32_t transportBackground = 0;  // graph of "IMG/TRANSPORTS_BACK.png"
  ShellRect clientRect = {};        // main window's client area, refreshed each frame
  uint8_t instrumentPaneShown = 0;
  uint8_t inspectorPaneShown = 0;
  char workingDirectory[kWorkingDirectoryChars] = {};
  char projectPath[kPathChars] = {};  // the file dialogs' buffer (the plug-in dialogs share it)
  char songPath[kPathChars] = {};
  char pluginPaths[kPluginSlotCount][kNameChars] = {};
  uint8_t pluginOutsideFolder[kPluginSlotCount] = {};  // the plug-in lies outside "VSTPlugins\"
  uint8_t pluginLoaded[kPluginSlotCount] = {};
  uint8_t songLoaded = 0;
  uint8_t quitRequested = 0;        // Exit was chosen: the frame loop ends
  uint64_t lastEditorIdleTime = 0;  // microseconds of the library clock
  int32_t zoom = 0;                 // 1-16
  int32_t eventCounts[kMixerChannelCount] = {};
  int32_t rowHeight = 0;  // 16-32
  int32_t* peakMaxLeft[kPeakTableCount] = {};
  int32_t* peakMinLeft[kPeakTableCount] = {};
  int32_t* peakMaxRight[kPeakTableCount] = {};
  int32_t* peakMinRight[kPeakTableCount] = {};
  int32_t peakColumns[kPeakTableCount] = {};
  int32_t peakChannels[kPeakTableCount] = {};
  int32_t columnStep = 0;  // peak columns skipped per drawn column
  int32_t peakScale = 0;   // vertical scale of the waveform lanes
  int16_t renderWave[kRenderWaveRows][kRenderColumns] = {};
  int32_t renderHalfWidth = 0;
  int32_t renderHalfHeight = 0;
  int32_t renderLastColumn = 0;                  // last waveform column drawn
  int32_t highestNote[kMixerChannelCount] = {};  // 16 used
  int32_t lowestNote[kSongTrackCount] = {};
  MdxSong song;                          // the song the MDX player plays
  int32_t mode = kModeSequencer;         // AppMode
  float fastForwardVolumeButton = 0.0f;  // volume saved while the button fast-forwards
  float fastForwardVolumeKey = 0.0f;     // ... and while the key does
  uint8_t fastForwardButton = 0;
  uint8_t fastForwardKey = 0;
  HINSTANCE__* instance = nullptr;  // from WinMain
  int32_t showCommand = 0;          // from WinMain
  uint8_t dialogOpen = 0;           // a plug-in file dialog is open
  PaneRect trackArea = {};          // beside the side panes
  PaneRect trackAreaFull = {};      // without them
  PaneRect instrumentPane = {};
  PaneRect inspectorTop = {};    // the inspector alone
  PaneRect inspectorBelow = {};  // the inspector below the instrument pane
  int32_t scrollPosition = 0;
  int32_t scrollVelocity = 0;
  HFONT__* pluginWindowFont = nullptr;  // 10 pixels
  HFONT__* dialogFont = nullptr;        // 13 pixels
  HBRUSH__* brushes[kShellBrushCount] = {};
  HWND renderDialog = nullptr;
  HWND renderNameEdit = nullptr;
  HWND renderDurationEdit = nullptr;
  HWND renderBrowseButton = nullptr;
  HWND renderExportButton = nullptr;
  HWND renderCancelButton = nullptr;
  char renderFileName[kNameChars] = {};
  uint8_t renderRunning = 0;                  // a render plays and captures: no second one starts
  uint8_t mute[kMixerChannelCount] = {};      // effective: user mute and solo together
  uint8_t userMute[kMixerChannelCount] = {};  // what the user muted, restored when solos end
  uint8_t solo[kMixerChannelCount] = {};
  int32_t soloCount = 0;
  int32_t currentTrack = 0;                 // written through SetCurrentTrack
  float sendLevels[kPluginSlotCount] = {};  // slots 0 and 1 of a channel: its sends 1 and 2
  uint8_t sendSwitches[kPluginSlotCount] = {};
  float pan[kMixerChannelCount] = {};     // 0-1
  float volume[kMixerChannelCount] = {};  // 0-1; entry 18 the master
  uint8_t power[kPluginSlotCount] = {};
  int32_t programs[kPluginSlotCount] = {};
  InspectorValues inspector;
  MouseState mouse;
  uint8_t windowOpen[kPluginSlotCount] = {};
  ShellRect windowRects[kPluginSlotCount] = {};
  // The MIDI device's handle and input buffer are kept by the engine's MIDI input, which opens
  // and closes them (midi_keyboard.h); this says whether it is open.
  uint8_t midiInputOpen = 0;
  char lastProjectPath[kNameChars] = {};
};

extern AppState g_app;

// The defaults of every field that has one, channel by channel for the per-channel and per-slot
// tables, and "mix.wav" as the render file name.
void InitAppDefaults(AppState& app);

// The five GDI objects: made by the constructor, deleted by the destructor (windows/).
void MakeAppGdiObjects(AppState& app);
void DeleteAppGdiObjects(AppState& app);
