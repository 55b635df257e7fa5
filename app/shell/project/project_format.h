// The ".tvx" project text and the "tarvex.ini" settings text, without files or windows: the
// writer turns a ProjectData into the ini text byte for byte, and the reader applies a text to a
// ProjectData and, through ProjectHost, to the plug-ins and the main window. Both are portable
// (the fuzz build runs the reader natively); project/windows/project_files_win.cpp moves them
// between AppState and the disk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int kProjectChannels = 19;
constexpr int kProjectSlotsPerChannel = 5;
constexpr int kProjectSlots = kProjectChannels * kProjectSlotsPerChannel;
constexpr size_t kProjectPathLimit = 255;  // characters a stored path may have

// Ranges the rest of the program works with; loaded values are held inside them.
constexpr int32_t kZoomMin = 1, kZoomMax = 16;
constexpr int32_t kRowHeightMin = 16, kRowHeightMax = 32;

struct ProjectView {
  int32_t windowX, windowY;           // main window's screen position
  int32_t clientWidth, clientHeight;  // main window's client size
  int32_t zoom;                       // "iXmag"
  int32_t rowHeight;                  // "iTrh"
  int32_t columnStep;                 // "Mabiki"
  int32_t peakScale;                  // "PeakYmag"
  int32_t soloCount;                  // "iSoloCounter"
  int32_t currentTrack;               // "CurrentTrack"
};

struct ProjectChannel {
  float pan, volume;  // 0-1
  uint8_t mute;       // effective mute
  uint8_t userMute;   // the second mute: what the user muted
  uint8_t solo;
};

struct ProjectSlot {
  uint8_t loaded;     // holds a plug-in: its path, place and parameters are written
  std::string path;   // plug-in library path as the file holds it
  int32_t left, top;  // the slot window's kept place
  uint8_t sendSwitch;
  float sendLevel;
  uint8_t power;
  int32_t program;
  uint8_t windowOpen;
  std::vector<float> parameters;  // written for a loaded slot (the reader never fills it)
};

struct ProjectData {
  ProjectView view;
  ProjectChannel channels[kProjectChannels];
  ProjectSlot slots[kProjectSlots];
};

struct ProjectArea {
  int32_t left, top, right, bottom;  // right and bottom exclusive
};

// Moves the top-left corner (x, y) of a window of `width` x `height` so that the window stands
// wholly on `area`, no further than needed; along a side it is larger than the area, the corner
// goes to the area's edge.
void KeepOnArea(const ProjectArea& area, int32_t width, int32_t height, int32_t& x, int32_t& y);

// What reading a project does outside the data: the main window, the plug-ins of the slots.
// Slot n is channel n / 5, position n % 5.
class ProjectHost {
 public:
  virtual ~ProjectHost() = default;
  virtual void MoveWindow(int32_t x, int32_t y) = 0;
  virtual void ResizeWindow(int32_t width, int32_t height) = 0;
  // The screen the plug-in windows' places are held on.
  virtual ProjectArea Screen() = 0;
  // Loads the plug-in at `path` into slot n when the file can be read. kNotTried leaves the
  // slot as it was; kFailed leaves it empty.
  enum LoadResult { kNotTried, kLoaded, kFailed };
  virtual LoadResult LoadPlugin(int n, const std::string& path) = 0;
  // The plug-in's effect name; false for an empty slot.
  virtual bool EffectName(int n, std::string& name) = 0;
  // The FM-instrument flags of a channel's song tracks.
  virtual void SetFmInstrument(int channel, bool fm) = 0;
  virtual int32_t ParameterCount(int n) = 0;  // 0 for an empty slot
  virtual int32_t ProgramCount(int n) = 0;    // 0 for an empty slot
  virtual void SetParameter(int n, int32_t index, float value) = 0;
};

// The project text, CR LF lines.
std::string WriteProjectText(const ProjectData& data);

// Applies the text to `data` (keys that are missing or do not parse leave their field) and the
// plug-ins to `host`. False, with `error` set ("line N: ...") and nothing applied, when the text
// is no ini text.
bool ReadProjectText(const std::string& text, ProjectData& data, ProjectHost& host, std::string& error);

// "tarvex.ini": the last project path.
std::string WriteSettingsText(const std::string& lastProject);
// 1 with `lastProject` set when the text names a project (an empty name names none), else 0;
// `error` is set when the text is no ini text.
int ReadSettingsText(const std::string& text, std::string& lastProject, std::string& error);

// Whether an instrument's effect name is one of the FM instruments whose channels take FM tones
// as parameters ("Vornalt", "Kezmir").
bool IsFmInstrumentName(const std::string& name);

// Value texts as the files hold them.
std::string FloatText(float value);  // 9 significant digits, no trailing zeros
bool ParseIntText(const std::string& text, int32_t& value);
bool ParseFloatText(const std::string& text, float& value);
bool ParseFlagText(const std::string& text, uint8_t& value);  // "true"/"false"/"1"/"0"
