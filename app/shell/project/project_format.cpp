#include "app/shell/project/project_format.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include <boost/optional.hpp>
#include <boost/property_tree/ini_parser.hpp>
#include <boost/property_tree/ptree.hpp>

namespace {

using boost::property_tree::ptree;

constexpr int32_t kLastChannel = kProjectChannels - 1;
constexpr int32_t kLargestSoloCount = kProjectChannels;
// The instruments whose channels take FM tones as parameters.
constexpr const char* kFmInstrumentNames[] = {"Vornalt", "Kezmir"};

std::string Key(const char* format, int a, int b = 0, int c = 0) {
  char key[64];
  std::snprintf(key, sizeof key, format, a, b, c);
  return key;
}

// A key put again keeps its first place and takes the new value (the tree's put does that).
void Put(ptree& tree, const char* section, const std::string& key, const std::string& value) {
  tree.put(ptree::path_type(std::string(section) + '\x01' + key, '\x01'), value);
}

std::string IntText(int32_t value) { return std::to_string(value); }
std::string FlagText(uint8_t value) { return value ? "true" : "false"; }

float Clamp01(float value) { return value > 0.0f ? std::min(value, 1.0f) : 0.0f; }

// One section of a parsed text, looked up by plain key (a key is never taken for a path).
class Section {
 public:
  Section(const ptree& tree, const char* name) {
    const auto found = tree.find(name);
    section_ = found == tree.not_found() ? nullptr : &found->second;
  }
  const std::string* Text(const std::string& key) const {
    if (!section_) return nullptr;
    const auto found = section_->find(key);
    if (found == section_->not_found() || !found->second.empty()) return nullptr;
    return &found->second.data();
  }
  bool Int(const std::string& key, int32_t& value) const {
    const std::string* text = Text(key);
    return text && ParseIntText(*text, value);
  }
  bool Float(const std::string& key, float& value) const {
    const std::string* text = Text(key);
    return text && ParseFloatText(*text, value);
  }
  bool Flag(const std::string& key, uint8_t& value) const {
    const std::string* text = Text(key);
    return text && ParseFlagText(*text, value);
  }

 private:
  const ptree* section_;
};

bool ParseIni(const std::string& text, ptree& tree, std::string& error) {
  std::istringstream stream(text);
  try {
    boost::property_tree::read_ini(stream, tree);
  } catch (const boost::property_tree::ini_parser_error& e) {
    error = "line " + std::to_string(e.line()) + ": " + e.message();
    return false;
  } catch (const boost::property_tree::ptree_error& e) {
    error = e.what();
    return false;
  }
  return true;
}

std::string IniText(const ptree& tree) {
  std::ostringstream stream;
  boost::property_tree::write_ini(stream, tree);
  // The writer ends lines with LF; the files end them with CR LF.
  std::string lines;
  for (char c : stream.str()) {
    if (c == '\n') lines += '\r';
    lines += c;
  }
  return lines;
}

void ReadView(const Section& general, ProjectView& view, ProjectHost& host) {
  int32_t x, y, w, h;
  if (general.Int("WinPosX", x) && general.Int("WinPosY", y)) {
    view.windowX = x;
    view.windowY = y;
    host.MoveWindow(x, y);
  }
  if (general.Int("WinSizeW", w) && general.Int("WinSizeH", h)) {
    view.clientWidth = w;
    view.clientHeight = h;
    host.ResizeWindow(w, h);
  }
  // Held inside the ranges the panes work with: the current track indexes the 19-entry tables,
  // the step and the scale divide.
  const struct {
    const char* key;
    int32_t* field;
    int32_t lowest, highest;
  } values[] = {
      {"iXmag", &view.zoom, kZoomMin, kZoomMax},
      {"iTrh", &view.rowHeight, kRowHeightMin, kRowHeightMax},
      {"Mabiki", &view.columnStep, 1, INT32_MAX},
      {"PeakYmag", &view.peakScale, 1, INT32_MAX},
      {"iSoloCounter", &view.soloCount, 0, kLargestSoloCount},
      {"CurrentTrack", &view.currentTrack, 0, kLastChannel},
  };
  for (const auto& v : values) {
    int32_t value;
    if (general.Int(v.key, value)) *v.field = std::clamp(value, v.lowest, v.highest);
  }
}

void ReadChannel(const Section& bus, int t, ProjectChannel& channel) {
  float value;
  if (bus.Float(Key("Tr%02dPan", t), value)) channel.pan = Clamp01(value);
  if (bus.Float(Key("Tr%02dVol", t), value)) channel.volume = Clamp01(value);
  bus.Flag(Key("Tr%02dMute", t), channel.mute);
  bus.Flag(Key("Tr%02dMute2", t), channel.userMute);
  bus.Flag(Key("Tr%02dSolo", t), channel.solo);
}

int32_t ClampToScreen(int32_t value, int32_t low, int32_t high) {
  return high > low ? std::clamp(value, low, high - 1) : value;
}

void ReadSlot(const Section& track, const Section& bus, const Section& parameters, int t, int s, ProjectSlot& slot,
              ProjectHost& host) {
  const int n = t * kProjectSlotsPerChannel + s;
  const std::string* path = track.Text(Key("Tr%02dSl%02dVST", t, s));
  if (path && path->size() <= kProjectPathLimit) {
    slot.path = *path;
    const ProjectHost::LoadResult result = host.LoadPlugin(n, *path);
    if (result == ProjectHost::kLoaded) slot.loaded = 1;
    if (result == ProjectHost::kFailed) slot.loaded = 0;
    std::string name;
    if (s == 0 && host.EffectName(n, name)) host.SetFmInstrument(t, IsFmInstrumentName(name));
  }
  const ProjectArea screen = host.Screen();
  int32_t place;
  if (track.Int(Key("Tr%02dSl%02dPosX", t, s), place)) slot.left = ClampToScreen(place, screen.left, screen.right);
  if (track.Int(Key("Tr%02dSl%02dPosY", t, s), place)) slot.top = ClampToScreen(place, screen.top, screen.bottom);

  bus.Flag(Key("Tr%02dEf%02dbSend", t, s), slot.sendSwitch);
  float level;
  if (bus.Float(Key("Tr%02dEf%02dSend", t, s), level)) slot.sendLevel = Clamp01(level);
  bus.Flag(Key("Tr%02dEf%02dPower", t, s), slot.power);
  int32_t program;
  if (bus.Int(Key("Tr%02dEf%02dPreset", t, s), program)) {
    // A program the plug-in does not have would reach it as a MIDI data byte out of range.
    const int32_t programs = host.ProgramCount(n);
    slot.program = programs > 0 ? std::clamp(program, 0, programs - 1) : std::max(program, 0);
  }
  bus.Flag(Key("Tr%02dEf%02dEditButton", t, s), slot.windowOpen);

  if (slot.loaded != 1) return;
  // The track's one count key is shared by its slots and holds the last one's count: each slot
  // reads the values its own plug-in has, as far as the file holds them.
  const int32_t count = host.ParameterCount(n);
  for (int32_t i = 0; i < count; ++i) {
    float value;
    if (parameters.Float(Key("Tr%02dEf%02dValue%03d", t, s, i), value)) host.SetParameter(n, i, Clamp01(value));
  }
}

}  // namespace

void KeepOnArea(const ProjectArea& area, int32_t width, int32_t height, int32_t& x, int32_t& y) {
  // In 64 bits: a saved corner may lie anywhere in 32.
  const auto keep = [](int32_t at, int32_t size, int32_t low, int32_t high) {
    if (int64_t{size} >= int64_t{high} - low) return low;
    return static_cast<int32_t>(std::clamp<int64_t>(at, low, int64_t{high} - size));
  };
  x = keep(x, width, area.left, area.right);
  y = keep(y, height, area.top, area.bottom);
}

bool IsFmInstrumentName(const std::string& name) {
  for (const char* fm : kFmInstrumentNames)
    if (name == fm) return true;
  return false;
}

std::string FloatText(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
  return text;
}

bool ParseIntText(const std::string& text, int32_t& value) {
  size_t i = 0;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  if (i == text.size()) return false;
  for (size_t d = i; d < text.size(); ++d)
    if (text[d] < '0' || text[d] > '9') return false;
  errno = 0;
  const long long parsed = std::strtoll(text.c_str(), nullptr, 10);
  if (errno != 0 || parsed < INT32_MIN || parsed > INT32_MAX) return false;
  value = static_cast<int32_t>(parsed);
  return true;
}

bool ParseFloatText(const std::string& text, float& value) {
  // The tree's own optional read: a decimal number in the stream's grammar and nothing after
  // it. Infinities, NaN, hexadecimal numbers and values beyond the float range do not read.
  const boost::optional<float> parsed = ptree(text).get_value_optional<float>();
  if (!parsed) return false;
  value = *parsed;
  return true;
}

bool ParseFlagText(const std::string& text, uint8_t& value) {
  if (text == "true" || text == "1") {
    value = 1;
    return true;
  }
  if (text == "false" || text == "0") {
    value = 0;
    return true;
  }
  return false;
}

std::string WriteProjectText(const ProjectData& data) {
  ptree tree;
  const ProjectView& v = data.view;
  const struct {
    const char* key;
    int32_t value;
  } general[] = {{"WinPosX", v.windowX},          {"WinPosY", v.windowY},    {"WinSizeW", v.clientWidth},
                 {"WinSizeH", v.clientHeight},    {"iXmag", v.zoom},         {"iTrh", v.rowHeight},
                 {"Mabiki", v.columnStep},        {"PeakYmag", v.peakScale}, {"iSoloCounter", v.soloCount},
                 {"CurrentTrack", v.currentTrack}};
  for (const auto& g : general) Put(tree, "General", g.key, IntText(g.value));

  for (int n = 0; n < kProjectSlots; ++n) {
    const ProjectSlot& slot = data.slots[n];
    if (slot.loaded != 1) continue;
    const int t = n / kProjectSlotsPerChannel, s = n % kProjectSlotsPerChannel;
    Put(tree, "Track", Key("Tr%02dSl%02dVST", t, s), slot.path);
    Put(tree, "Track", Key("Tr%02dSl%02dPosX", t, s), IntText(slot.left));
    Put(tree, "Track", Key("Tr%02dSl%02dPosY", t, s), IntText(slot.top));
  }
  for (int t = 0; t < kProjectChannels; ++t) {
    const ProjectChannel& c = data.channels[t];
    Put(tree, "Bus", Key("Tr%02dPan", t), FloatText(c.pan));
    Put(tree, "Bus", Key("Tr%02dVol", t), FloatText(c.volume));
    Put(tree, "Bus", Key("Tr%02dMute", t), FlagText(c.mute));
    Put(tree, "Bus", Key("Tr%02dMute2", t), FlagText(c.userMute));
    Put(tree, "Bus", Key("Tr%02dSolo", t), FlagText(c.solo));
    for (int s = 0; s < kProjectSlotsPerChannel; ++s) {
      const ProjectSlot& slot = data.slots[t * kProjectSlotsPerChannel + s];
      Put(tree, "Bus", Key("Tr%02dEf%02dbSend", t, s), FlagText(slot.sendSwitch));
      Put(tree, "Bus", Key("Tr%02dEf%02dSend", t, s), FloatText(slot.sendLevel));
      Put(tree, "Bus", Key("Tr%02dEf%02dPower", t, s), FlagText(slot.power));
      Put(tree, "Bus", Key("Tr%02dEf%02dPreset", t, s), IntText(slot.program));
      Put(tree, "Bus", Key("Tr%02dEf%02dEditButton", t, s), FlagText(slot.windowOpen));
    }
  }
  for (int n = 0; n < kProjectSlots; ++n) {
    const ProjectSlot& slot = data.slots[n];
    if (slot.loaded != 1) continue;
    const int t = n / kProjectSlotsPerChannel, s = n % kProjectSlotsPerChannel;
    Put(tree, "VstParameter", Key("Tr%02dEfNum", t), IntText(static_cast<int32_t>(slot.parameters.size())));
    for (size_t i = 0; i < slot.parameters.size(); ++i)
      Put(tree, "VstParameter", Key("Tr%02dEf%02dValue%03d", t, s, static_cast<int>(i)),
          FloatText(Clamp01(slot.parameters[i])));
  }
  return IniText(tree);
}

bool ReadProjectText(const std::string& text, ProjectData& data, ProjectHost& host, std::string& error) {
  ptree tree;
  if (!ParseIni(text, tree, error)) return false;
  const Section general(tree, "General"), track(tree, "Track"), bus(tree, "Bus"), parameters(tree, "VstParameter");
  ReadView(general, data.view, host);
  for (int t = 0; t < kProjectChannels; ++t) {
    ReadChannel(bus, t, data.channels[t]);
    for (int s = 0; s < kProjectSlotsPerChannel; ++s)
      ReadSlot(track, bus, parameters, t, s, data.slots[t * kProjectSlotsPerChannel + s], host);
  }
  return true;
}

std::string WriteSettingsText(const std::string& lastProject) {
  ptree tree;
  Put(tree, "config", "inipj", lastProject);
  return IniText(tree);
}

int ReadSettingsText(const std::string& text, std::string& lastProject, std::string& error) {
  ptree tree;
  if (!ParseIni(text, tree, error)) return 0;
  const std::string* path = Section(tree, "config").Text("inipj");
  // An empty name is no project: it would open ".tvx" at the drive's root.
  if (!path || path->empty() || path->size() > kProjectPathLimit) return 0;
  lastProject = *path;
  return 1;
}
