// The project and settings texts without files or windows: the writer against golden files made
// from the format's rules (tests/data/project/make_golden.py), the reader's edge cases through a
// recording host, malformed texts, and a seeded mutation loop that checks no parameter index at
// or past a plug-in's count reaches it.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/shell/project/project_format.h"
#include "tests/support/test_files.h"
#include "tests/support/test_paths.h"

namespace {

std::string ReadGolden(const char* name) { return ReadFileBytes(TestDataDir() + "/project/" + name); }

// The state both golden files hold (make_golden.py).
ProjectData GoldenData() {
  ProjectData data{};
  data.view = ProjectView{10, -20, 1299, 755, 4, 19, 8, 4079, 1, 3};
  for (int t = 0; t < kProjectChannels; ++t) data.channels[t] = ProjectChannel{0.5f, 1.0f, 0, 0, 0};
  data.channels[3].pan = 0.1f;
  data.channels[5].mute = data.channels[5].userMute = 1;
  data.channels[2].solo = 1;
  for (ProjectSlot& slot : data.slots) slot.power = 1;
  data.slots[7].sendSwitch = 1;
  data.slots[7].sendLevel = 0.25f;
  data.slots[9].power = 0;
  data.slots[15].program = 2;
  data.slots[16].windowOpen = 1;
  return data;
}

void AddTwoSlots(ProjectData& data) {
  ProjectSlot& ten = data.slots[15];
  ten.loaded = 1;
  ten.path = ".\\VSTPlugins\\ten.dll";
  ten.left = 100;
  ten.top = 200;
  for (int i = 0; i < 10; ++i) ten.parameters.push_back(i / 10.0f);
  ProjectSlot& four = data.slots[16];
  four.loaded = 1;
  four.path = "Z:\\plugins\\four.dll";
  four.left = 50;
  four.top = 7;
  for (int i = 0; i < 4; ++i) four.parameters.push_back(1.0f - i / 4.0f);
}

// A host with plug-ins of given parameter and program counts, recording what reaches them.
class RecordingHost : public ProjectHost {
 public:
  struct Plugin {
    std::string name;
    int32_t parameters = 0, programs = 0;
  };
  std::map<std::string, Plugin> library;  // by path: what loads
  Plugin slots[kProjectSlots];
  bool held[kProjectSlots] = {};
  std::vector<std::string> calls;
  std::map<int, std::map<int32_t, float>> values;  // slot -> index -> value
  int fm[kProjectChannels];
  bool outOfRange = false;

  RecordingHost() {
    for (int& f : fm) f = -1;
  }
  void MoveWindow(int32_t x, int32_t y) override { calls.push_back("move " + Pair(x, y)); }
  void ResizeWindow(int32_t w, int32_t h) override { calls.push_back("size " + Pair(w, h)); }
  ProjectArea Screen() override { return ProjectArea{0, 0, 1920, 1080}; }
  LoadResult LoadPlugin(int n, const std::string& path) override {
    calls.push_back("load " + std::to_string(n) + " " + path);
    if (path == "broken.dll") {
      held[n] = false;
      return kFailed;
    }
    const auto found = library.find(path);
    if (found == library.end()) return kNotTried;
    slots[n] = found->second;
    held[n] = true;
    return kLoaded;
  }
  bool EffectName(int n, std::string& name) override {
    name = slots[n].name;
    return held[n];
  }
  void SetFmInstrument(int channel, bool on) override { fm[channel] = on ? 1 : 0; }
  int32_t ParameterCount(int n) override { return held[n] ? slots[n].parameters : 0; }
  int32_t ProgramCount(int n) override { return held[n] ? slots[n].programs : 0; }
  void SetParameter(int n, int32_t index, float value) override {
    if (!held[n] || index < 0 || index >= slots[n].parameters) outOfRange = true;
    values[n][index] = value;
  }

 private:
  static std::string Pair(int32_t a, int32_t b) { return std::to_string(a) + "," + std::to_string(b); }
};

bool Read(const std::string& text, ProjectData& data, RecordingHost& host) {
  std::string error;
  return ReadProjectText(text, data, host, error);
}

TEST(ProjectFormat, WritesTheGoldenFilesByteForByte) {
  ProjectData data = GoldenData();
  EXPECT_EQ(ReadGolden("no_plugins.tvx"), WriteProjectText(data));
  AddTwoSlots(data);
  EXPECT_EQ(ReadGolden("two_slots.tvx"), WriteProjectText(data));
}

TEST(ProjectFormat, ReadsBackWhatItWrote) {
  ProjectData written = GoldenData();
  AddTwoSlots(written);
  RecordingHost host;
  host.library[".\\VSTPlugins\\ten.dll"] = {"Ten", 10, 3};
  host.library["Z:\\plugins\\four.dll"] = {"Four", 4, 0};
  ProjectData read{};
  ASSERT_TRUE(Read(WriteProjectText(written), read, host));
  for (ProjectSlot& slot : written.slots) slot.parameters.clear();
  EXPECT_EQ(WriteProjectText(written), WriteProjectText(read));
  EXPECT_EQ((std::vector<std::string>{"move 10,-20", "size 1299,755", "load 15 .\\VSTPlugins\\ten.dll",
                                      "load 16 Z:\\plugins\\four.dll"}),
            host.calls);
  // One count key of 4 for the track, yet each slot gets what its own plug-in has.
  EXPECT_EQ(10u, host.values[15].size());
  EXPECT_FLOAT_EQ(0.9f, host.values[15][9]);
  EXPECT_EQ(4u, host.values[16].size());
  EXPECT_FALSE(host.outOfRange);
}

// Edge cases: a project holding only the named keys, read over the golden state.
TEST(ProjectFormat, ReadsEachKeyOnlyWhenItParsesAndHoldsItInRange) {
  const std::string plugin = "[Track]\r\nTr01Sl00VST=p.dll\r\n";
  const struct {
    std::string text;
    std::string field;
    double expected;
  } cases[] = {
      {plugin + "[Bus]\r\nTr01Ef00Preset=7\r\n", "program", 7},
      {plugin + "[Bus]\r\nTr01Ef00Preset=true\r\n", "program", 0},
      {plugin + "[Bus]\r\nTr01Ef00Preset=99\r\n", "program", 9},
      {plugin + "[Bus]\r\nTr01Ef00Preset=-2147483648\r\n", "program", 0},
      {"[Bus]\r\nTr01Ef00Preset=4\r\n", "program", 4},
      {"[Bus]\r\nTr01Ef00Preset=4.0\r\n", "program", 0},
      {"[Bus]\r\nTr01Ef00Preset=99999999999\r\n", "program", 0},
      {"[Bus]\r\nTr01Pan=1.5\r\n", "pan", 1},
      {"[Bus]\r\nTr01Pan=-0.2\r\n", "pan", 0},
      {"[Bus]\r\nTr01Pan=0.25x\r\n", "pan", 0.5},
      {"[Bus]\r\nTr01Pan=nan\r\n", "pan", 0.5},
      {"[Bus]\r\nTr01Vol=0.75\r\n", "volume", 0.75},
      {"[Bus]\r\nTr01Ef00Send=2\r\n", "send", 1},
      {"[Bus]\r\nTr01Mute2=1\r\n", "userMute", 1},
      {"[Bus]\r\nTr01Mute2=yes\r\n", "userMute", 0},
      {"[Bus]\r\nTr01Ef00Power=0\r\n", "power", 0},
      {"[General]\r\nCurrentTrack=19\r\n", "currentTrack", 18},
      {"[General]\r\nCurrentTrack=-1\r\n", "currentTrack", 0},
      {"[General]\r\niXmag=0\r\n", "zoom", 1},
      {"[General]\r\niTrh=99\r\n", "rowHeight", 32},
      {"[General]\r\nPeakYmag=0\r\n", "peakScale", 1},
      {"[General]\r\nMabiki=-3\r\n", "columnStep", 1},
      {"[Track]\r\nTr01Sl00PosX=5000\r\n", "left", 1919},
      {"[Track]\r\nTr01Sl00PosY=-40\r\n", "top", 0},
      {"[Track]\r\nTr01Sl00PosY=40\r\n", "top", 40},
  };
  for (const auto& c : cases) {
    ProjectData data = GoldenData();
    data.slots[5].program = 0;
    data.channels[1].pan = 0.5f;
    RecordingHost host;
    host.library["p.dll"] = {"P", 0, 10};
    ASSERT_TRUE(Read(c.text, data, host)) << c.text;
    const ProjectSlot& slot = data.slots[5];
    const ProjectChannel& channel = data.channels[1];
    const std::map<std::string, double> fields = {{"program", slot.program},
                                                  {"pan", channel.pan},
                                                  {"volume", channel.volume},
                                                  {"send", slot.sendLevel},
                                                  {"userMute", channel.userMute},
                                                  {"power", slot.power},
                                                  {"currentTrack", data.view.currentTrack},
                                                  {"zoom", data.view.zoom},
                                                  {"rowHeight", data.view.rowHeight},
                                                  {"peakScale", data.view.peakScale},
                                                  {"columnStep", data.view.columnStep},
                                                  {"left", slot.left},
                                                  {"top", slot.top}};
    EXPECT_DOUBLE_EQ(c.expected, fields.at(c.field)) << c.text;
  }
}

// A number the property tree's optional read refuses is a missing key: the field keeps its
// value and no parameter reaches the plug-in.
TEST(ProjectFormat, NumbersTheTreeDoesNotReadCountAsMissing) {
  constexpr double kMissing = -1;
  const struct {
    const char* text;
    double read;
  } floats[] = {{"inf", kMissing},    {"-inf", kMissing},   {"infinity", kMissing}, {"nan", kMissing},
                {"0x1p-1", kMissing}, {"1e39", kMissing},   {"-1e39", kMissing},    {"1,5", kMissing},
                {"0.5f", kMissing},   {"0.25 x", kMissing}, {".25", 0.25},          {"+0.25", 0.25},
                {"2.5e-1", 0.25}};
  for (const auto& c : floats) {
    ProjectData data = GoldenData();
    RecordingHost host;
    host.library["p.dll"] = {"P", 1, 0};
    const std::string text = std::string("[Track]\r\nTr01Sl00VST=p.dll\r\n[Bus]\r\nTr01Pan=") + c.text +
                             "\r\n[VstParameter]\r\nTr01Ef00Value000=" + c.text + "\r\n";
    ASSERT_TRUE(Read(text, data, host)) << c.text;
    if (c.read == kMissing) {
      EXPECT_FLOAT_EQ(0.5f, data.channels[1].pan) << c.text;
      EXPECT_TRUE(host.values[5].empty()) << c.text;
    } else {
      EXPECT_FLOAT_EQ(c.read, data.channels[1].pan) << c.text;
      EXPECT_FLOAT_EQ(c.read, host.values[5][0]) << c.text;
    }
  }
  for (const char* integer : {"2147483648", "-2147483649", "99999999999999999999", "0x2", "2e0", "2.0"}) {
    ProjectData data = GoldenData();
    RecordingHost host;
    ASSERT_TRUE(Read(std::string("[General]\r\nCurrentTrack=") + integer + "\r\n", data, host));
    EXPECT_EQ(3, data.view.currentTrack) << integer;
  }
}

TEST(ProjectFormat, PlugInsParametersAndTheWindowFollowWhatTheFileHolds) {
  ProjectData data = GoldenData();
  RecordingHost host;
  host.library["vornalt.dll"] = {"Vornalt", 3, 0};
  host.library["other.dll"] = {"Other", 2, 0};
  const std::string text =
      "[General]\r\nWinPosX=5\r\nWinSizeW=640\r\nWinSizeH=600\r\n"
      "[Track]\r\nTr00Sl00VST=vornalt.dll\r\nTr00Sl01VST=vornalt.dll\r\nTr01Sl00VST=other.dll\r\n"
      "Tr02Sl00VST=missing.dll\r\nTr02Sl01VST=broken.dll\r\n"
      "[VstParameter]\r\nTr00EfNum=1\r\nTr00Ef00Value000=1.5\r\nTr00Ef00Value001=-0.2\r\nTr00Ef00Value002=x\r\n"
      "Tr00Ef00Value003=0.5\r\nTr01Ef00Value001=0.25\r\nTr01Ef00Value002=0.75\r\n";
  data.slots[10].loaded = 1;  // missing.dll: not tried, the slot keeps its plug-in
  data.slots[11].loaded = 1;  // broken.dll: tried and failed, the slot ends empty
  ASSERT_TRUE(Read(text, data, host));
  // The position lacks its Y: the window stays; the size is whole.
  EXPECT_EQ((std::vector<std::string>{"size 640,600"}),
            std::vector<std::string>(host.calls.begin(), host.calls.begin() + 1));
  EXPECT_EQ((std::map<int32_t, float>{{0, 1.0f}, {1, 0.0f}}), host.values[0]);
  EXPECT_EQ((std::map<int32_t, float>{{1, 0.25f}}), host.values[5]) << "indices past the plug-in's count";
  EXPECT_FALSE(host.outOfRange);
  EXPECT_EQ(1, host.fm[0]) << "Vornalt in slot 0";
  EXPECT_EQ(0, host.fm[1]) << "another instrument in slot 0";
  EXPECT_EQ(-1, host.fm[2]) << "no plug-in in slot 0";
  EXPECT_EQ(1, data.slots[1].loaded);
  EXPECT_EQ(1, data.slots[10].loaded);
  EXPECT_EQ("missing.dll", data.slots[10].path);
  EXPECT_EQ(0, data.slots[11].loaded);
}

// A main window of 1315 x 815 (the default client area and its frame) saved anywhere comes back
// whole on a work area, or with its top-left corner on one it does not fit.
TEST(ProjectFormat, AWindowSavedAnywhereIsKeptOnTheWorkArea) {
  const ProjectArea screen = {0, 0, 1920, 1040}, second = {1920, -200, 3840, 880};
  const struct {
    const char* name;
    ProjectArea area;
    int32_t width, height, x, y, keptX, keptY;
  } cases[] = {
      {"on the screen: where it was", screen, 1315, 815, 10, 20, 10, 20},
      {"on a monitor that is gone", screen, 1315, 815, 2500, 100, 605, 100},
      {"far to the left and above", screen, 1315, 815, -99999999, -99999999, 0, 0},
      {"at the end of the numbers", screen, 1315, 815, INT32_MAX, INT32_MAX, 605, 225},
      {"half off the bottom", screen, 1315, 815, 100, 900, 100, 225},
      {"taller than the area", screen, 1315, 1200, 300, 50, 300, 0},
      {"wider than the area", screen, 2000, 815, 300, 50, 0, 50},
      {"on a second monitor", second, 1315, 815, 1800, -300, 1920, -200},
  };
  for (const auto& c : cases) {
    int32_t x = c.x, y = c.y;
    KeepOnArea(c.area, c.width, c.height, x, y);
    EXPECT_EQ(c.keptX, x) << c.name;
    EXPECT_EQ(c.keptY, y) << c.name;
  }
}

TEST(ProjectFormat, AMalformedTextChangesNothing) {
  const std::string cases[] = {
      std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\xff\xfe", 18),
      "[General\r\nWinPosX=1\r\n",
      "[General]\r\nWinPosX=1\r\n" + std::string(1 << 20, 'x') + "\r\n",
      "[Bus]\r\nTr00Pan=0.1\r\nTr00Pan=0.2\r\n",
  };
  for (const std::string& text : cases) {
    ProjectData data = GoldenData();
    const std::string before = WriteProjectText(data);
    RecordingHost host;
    host.library["p.dll"] = {"P", 1, 1};
    std::string error;
    EXPECT_FALSE(ReadProjectText(text + "[Track]\r\nTr00Sl00VST=p.dll\r\n", data, host, error));
    EXPECT_NE(std::string::npos, error.find("line ")) << error;
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(before, WriteProjectText(data));
  }
}

TEST(SettingsFormat, NamesTheLastProjectOrNone) {
  std::string path, error;
  EXPECT_EQ("[config]\r\ninipj=.\\songs\\a.tvx\r\n", WriteSettingsText(".\\songs\\a.tvx"));
  EXPECT_EQ(1, ReadSettingsText(WriteSettingsText(".\\songs\\a.tvx"), path, error));
  EXPECT_EQ(".\\songs\\a.tvx", path);
  const std::string none[] = {WriteSettingsText(""), "[config]\r\n", "[other]\r\ninipj=a.tvx\r\n", ""};
  for (const std::string& text : none) EXPECT_EQ(0, ReadSettingsText(text, path, error)) << text;
  EXPECT_TRUE(error.empty());
  EXPECT_EQ(0, ReadSettingsText("[config\r\ninipj=a.tvx\r\n", path, error));
  EXPECT_NE(std::string::npos, error.find("line 1"));
}

// Mutations of a real project text: whatever the bytes, reading ends, and no parameter index
// at or past a plug-in's count reaches it.
TEST(ProjectFormat, MutatedTextsNeverReachAParameterPastThePlugInsCount) {
  ProjectData source = GoldenData();
  AddTwoSlots(source);
  const std::string seed = WriteProjectText(source);
  const std::string tokens[] = {"=", "[", "]", "\r\n", "Value", "EfNum=", "99999", "-1", "1e39", "Sl00VST="};
  std::mt19937 random(52);
  for (int round = 0; round < 400; ++round) {
    std::string text = seed;
    for (int m = 1 + random() % 8; m > 0; --m) {
      const size_t at = random() % text.size();
      switch (random() % 4) {
        case 0:
          text[at] = static_cast<char>(random());
          break;
        case 1:
          text.erase(at, random() % 64);
          break;
        case 2:
          text.insert(at, tokens[random() % 10]);
          break;
        default:
          text.insert(at, text.substr(random() % text.size(), random() % 200));
          break;
      }
      if (text.empty()) text = "x";
    }
    RecordingHost host;
    host.library[".\\VSTPlugins\\ten.dll"] = {"Ten", static_cast<int32_t>(random() % 12), 3};
    host.library["Z:\\plugins\\four.dll"] = {"Vornalt", static_cast<int32_t>(random() % 5), 0};
    ProjectData data = GoldenData();
    Read(text, data, host);
    ASSERT_FALSE(host.outOfRange) << text;
    ASSERT_TRUE(data.view.currentTrack >= 0 && data.view.currentTrack < kProjectChannels) << text;
  }
}

}  // namespace
