// The project and settings readers over any text. Whatever the bytes, reading ends; a text that
// does not parse changes nothing; every value read stays in its range; and no parameter index at
// or past a plug-in's count, nor any slot without a plug-in, reaches the host. The seeds hold a
// few keys of each kind (every key is optional): a whole project's 600 lines, parsed for every
// input, would only slow the campaign.
#include <stdint.h>

#include <string>

#include "app/shell/project/project_format.h"
#include "fuzz/support/fuzz_check.h"

namespace {

// Plug-ins by path, with their parameter and program counts.
struct FakePlugin {
  const char* path;
  const char* name;
  int32_t parameters, programs;
};
const FakePlugin kPlugins[] = {{"a.dll", "Vornalt", 3, 2},
                               {"b.dll", "Empty", 0, 0},
                               {".\\VSTPlugins\\ten.dll", "Ten", 10, 3},
                               {"Z:\\plugins\\four.dll", "Four", 4, 0}};

class FuzzHost : public ProjectHost {
 public:
  const FakePlugin* slots[kProjectSlots] = {};
  int calls = 0;

  void MoveWindow(int32_t, int32_t) override { ++calls; }
  void ResizeWindow(int32_t, int32_t) override { ++calls; }
  ProjectArea Screen() override { return ProjectArea{0, 0, 1920, 1080}; }
  LoadResult LoadPlugin(int n, const std::string& path) override {
    ++calls;
    FUZZ_CHECK(n >= 0 && n < kProjectSlots, "slot %d", n);
    FUZZ_CHECK(path.size() <= kProjectPathLimit, "a path of %zu characters", path.size());
    for (const FakePlugin& plugin : kPlugins) {
      if (path == plugin.path) {
        slots[n] = &plugin;
        return kLoaded;
      }
    }
    if (path == "broken.dll") {
      slots[n] = nullptr;
      return kFailed;
    }
    return kNotTried;
  }
  bool EffectName(int n, std::string& name) override {
    if (!slots[n]) return false;
    name = slots[n]->name;
    return true;
  }
  void SetFmInstrument(int channel, bool) override {
    FUZZ_CHECK(channel >= 0 && channel < kProjectChannels, "channel %d", channel);
  }
  int32_t ParameterCount(int n) override { return slots[n] ? slots[n]->parameters : 0; }
  int32_t ProgramCount(int n) override { return slots[n] ? slots[n]->programs : 0; }
  void SetParameter(int n, int32_t index, float value) override {
    ++calls;
    FUZZ_CHECK(slots[n] != nullptr, "a parameter for the empty slot %d", n);
    FUZZ_CHECK(index >= 0 && index < slots[n]->parameters, "parameter %d of %d", index, slots[n]->parameters);
    FUZZ_CHECK(value >= 0.0f && value <= 1.0f, "value %g", static_cast<double>(value));
  }
};

// Whether every field is still as ProjectData{} left it.
bool Untouched(const ProjectData& project) {
  const ProjectView& v = project.view;
  const int32_t view[] = {v.windowX,   v.windowY,    v.clientWidth, v.clientHeight, v.zoom,
                          v.rowHeight, v.columnStep, v.peakScale,   v.soloCount,    v.currentTrack};
  for (int32_t value : view)
    if (value != 0) return false;
  for (const ProjectChannel& c : project.channels)
    if (c.pan != 0.0f || c.volume != 0.0f || c.mute || c.userMute || c.solo) return false;
  for (const ProjectSlot& s : project.slots)
    if (s.loaded || !s.path.empty() || s.left || s.top || s.sendSwitch || s.sendLevel != 0.0f || s.power || s.program ||
        s.windowOpen || !s.parameters.empty())
      return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  static ProjectData project;
  project = ProjectData{};
  FuzzHost host;
  std::string error;
  if (!ReadProjectText(text, project, host, error)) {
    FUZZ_CHECK(host.calls == 0, "%d host calls for a text that does not parse", host.calls);
    FUZZ_CHECK(Untouched(project), "a text that does not parse changed the project");
  }
  const ProjectView& v = project.view;
  FUZZ_CHECK(v.currentTrack >= 0 && v.currentTrack < kProjectChannels, "current track %d", v.currentTrack);
  FUZZ_CHECK(v.zoom == 0 || (v.zoom >= kZoomMin && v.zoom <= kZoomMax), "zoom %d", v.zoom);
  FUZZ_CHECK(v.columnStep >= 0 && v.peakScale >= 0, "step %d, scale %d", v.columnStep, v.peakScale);
  for (const ProjectChannel& c : project.channels)
    FUZZ_CHECK(c.pan >= 0.0f && c.pan <= 1.0f && c.volume >= 0.0f && c.volume <= 1.0f, "pan or volume");
  for (const ProjectSlot& s : project.slots) FUZZ_CHECK(s.program >= 0, "program %d", s.program);

  std::string last;
  if (ReadSettingsText(text, last, error) == 1)
    FUZZ_CHECK(!last.empty() && last.size() <= kProjectPathLimit, "last project of %zu characters", last.size());
  return 0;
}
