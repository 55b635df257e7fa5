// The instrument pane and the inspector driven in-process from the frame's input, with a stand-in
// file dialog, and their rows read back from the software renderer's draw screen. The panes' boxes
// and toggles are seen by the end-to-end road, the frame's layout by frame_test.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "app/engine/mdx/mdx_player.h"
#include "app/shell/app_state.h"
#include "app/shell/frame_loop.h"
#include "app/shell/plugin_window/plugin_window.h"
#include "app/shell/shell_tables.h"
#include "app/shell/panes/side_panes.h"
#include "tests/app/shell/shell_fixture.h"
#include "tests/support/engine/plugin_fixture.h"
#include "tests/support/test_files.h"
#include "zovuz/zovuz.h"

namespace {

// The stand-in file dialog: answers with `answer` (cancels when it is empty), noting its calls,
// the kind asked for and whether the panes had set their dialog-open flag.
struct DialogStub {
  std::string answer;
  int calls = 0;
  PluginDialogKind kind{};
  bool flagSet = false;
} g_stub;

bool StubDialog(PluginDialogKind kind, char (&path)[kPathChars]) {
  ++g_stub.calls;
  g_stub.kind = kind;
  g_stub.flagSet = g_app.dialogOpen == 1;
  if (g_stub.answer.empty()) return false;
  std::snprintf(path, kPathChars, "%s", g_stub.answer.c_str());
  return true;
}

class SidePaneTest : public ShellDrawTest {
 protected:
  void SetUp() override {
    ShellDrawTest::SetUp();
    ASSERT_NO_FATAL_FAILURE(StartPluginWindows());
    std::snprintf(g_app.workingDirectory, sizeof g_app.workingDirectory, "C:\\work");
    g_stub = DialogStub();
    g_pluginDialog = StubDialog;
  }
  void TearDown() override {
    EndPluginWindows();
    for (int t = 0; t < kMixerChannelCount; ++t) SetFmInstrumentFlags(t, false);
    g_pluginDialog = ShowPluginDialog;
    ShellTest::TearDown();
  }

  // A frame's update with the left button down at (x, y), then one with it up.
  static void Click(const std::function<void()>& update, int x, int y) {
    SetInput(x, y, true);
    update();
    SetInput(0, 0, false);
    update();
  }
  static void UpdateInstruments() {
    const PaneRect& p = g_app.instrumentPane;
    UpdateInstrumentPane(p.x, p.y, p.width);
  }

  // A click on the row of slot (channel, position): the instrument pane's row `channel` for
  // position 0, else insert row `position` of the inspector at the top showing `channel`.
  static void ClickSlot(int channel, int position) {
    const PaneRect& p = position == 0 ? g_app.instrumentPane : g_app.inspectorTop;
    if (position == 0) return Click(UpdateInstruments, p.x + 60, p.y + 21 + 14 * channel);
    Click([&] { UpdateInsertEffectSlots(p.x, p.y, p.width, channel); }, p.x + 60, p.y + 57 + 14 * position);
  }
};

TEST_F(SidePaneTest, ClicksLoadIntoTheSlotOfTheirRow) {
  const std::string instrument = TestPluginPath("tp_kezmir"), effect = TestPluginPath("tp_effect");
  ASSERT_TRUE(WriteFileBytes(L"not_a_plugin.dll", std::string("no library here\r\n")));
  const struct {
    int channel, position;
    std::string answer;
    bool loaded, recorded, outside;  // the outside-folder flag: instrument rows only
  } cases[] = {
      {0, 0, instrument, true, true, true},  {7, 0, instrument, true, true, true},
      {2, 1, effect, true, true, false},     {18, 4, effect, true, true, false},
      {5, 0, "not_a_plugin.dll", false, true, true},  // a failed load: recorded, not counted as loaded
      // Not ".dll": nothing loaded or recorded, but the folder noted.
      {6, 0, "C:\\work\\VSTPlugins\\a.DLL", false, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "slot " << c.channel << "/" << c.position << " " << c.answer);
    const int n = c.channel * kPluginPositionCount + c.position;
    g_stub.answer = c.answer;
    g_stub.calls = 0;
    ClickSlot(c.channel, c.position);
    EXPECT_EQ(1, g_stub.calls);
    EXPECT_TRUE(g_stub.kind == (c.position == 0 ? PluginDialogKind::kInstrument : PluginDialogKind::kEffect));
    EXPECT_TRUE(g_stub.flagSet) << "the dialog-open flag was not set";
    EXPECT_EQ(0, g_app.dialogOpen);
    EXPECT_EQ(c.loaded, g_pluginSlots[n].effect != nullptr);
    EXPECT_EQ(c.loaded, g_app.pluginLoaded[n] == 1);
    EXPECT_EQ(c.loaded, g_app.windowOpen[n] == 1);
    EXPECT_EQ(c.recorded ? c.answer : "", std::string(g_app.pluginPaths[n]));
    if (c.position == 0) {
      EXPECT_EQ(c.outside, g_app.pluginOutsideFolder[n] == 1);
    }
  }
  // A cancelled dialog loads nothing; an open dialog keeps a second click from opening another.
  g_stub = DialogStub();
  ClickSlot(1, 0);
  EXPECT_EQ(nullptr, g_pluginSlots[5].effect);
  g_app.dialogOpen = 1;
  ClickSlot(2, 0);
  ClickSlot(0, 1);
  EXPECT_EQ(1, g_stub.calls);
}

TEST_F(SidePaneTest, OnlyTheDefaultPluginFolderIsInside) {
  for (const char* outside : {"C:\\work\\vstplugins\\a.dll", "C:\\work\\VSTPlugins\\sub\\a.dll", "C:\\work\\a.dll",
                              "D:\\work\\VSTPlugins\\a.dll", "C:\\work2\\VSTPlugins\\a.dll"})
    EXPECT_TRUE(IsOutsidePluginFolder(outside, "C:\\work")) << outside;
  EXPECT_FALSE(IsOutsidePluginFolder("C:\\work\\VSTPlugins\\a.dll", "C:\\work"));
}

TEST_F(SidePaneTest, AnFmInstrumentsNameSetsBothFlagsOfItsTrack) {
  const struct {
    int position;
    const char* plugin;
    uint8_t flags;
  } steps[] = {
      {0, "tp_kezmir", 1}, {0, "tp_effect", 0}, {0, "tp_vornalt", 1},
      {1, "tp_effect", 1},  // an insert leaves them
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(testing::Message() << step.plugin << " at position " << step.position);
    g_stub.answer = TestPluginPath(step.plugin);
    ClickSlot(3, step.position);
    EXPECT_EQ(step.flags, g_songs[0].tracks[3].fmInstrument);
    EXPECT_EQ(step.flags, g_mdx.state.fmInstrument[3]);
  }
}

TEST_F(SidePaneTest, EditButtonsCloseAndOpenTheSlotsWindow) {
  g_stub.answer = TestPluginPath("tp_kezmir");
  ClickSlot(4, 0);
  ASSERT_EQ(1, g_app.windowOpen[20]);
  DrawInstrumentPane();  // the buttons are where the pane drew them
  auto press = [](int row) {
    const ImageButton& b = g_shell.buttons[kInstrumentEditButton + row];
    Click(UpdateInstruments, b.x + 5, b.y + 5);
  };
  press(4);
  EXPECT_EQ(0, g_app.windowOpen[20]);
  EXPECT_EQ(nullptr, g_shell.pluginWindows[20]);
  EXPECT_EQ(0, g_pluginSlots[20].editorOpen);
  press(4);
  EXPECT_EQ(1, g_app.windowOpen[20]);
  EXPECT_NE(nullptr, g_shell.pluginWindows[20]);
  press(1);  // an empty slot: nothing opens
  EXPECT_EQ(0, g_app.windowOpen[5]);
}

TEST_F(SidePaneTest, InspectorTexts) {
  const std::pair<int, const char*> pans[] = {
      {64, "@ 7  PAN C"}, {0, "@ 7  PAN L"}, {127, "@ 7  PAN R"}, {65, "@ 7  PAN R 2"}, {63, "@ 7  PAN L 1"}};
  for (const auto& [pan, text] : pans) EXPECT_EQ(text, InspectorPanText(pan, 7)) << pan;
  const std::pair<int, const char*> labels[] = {{0, "01"}, {16, "FX1"}, {17, "FX2"}, {18, "M"}};
  for (const auto& [channel, label] : labels) EXPECT_EQ(label, InspectorTrackLabel(channel)) << channel;
}

// Where the inspector puts its controls for channel c, and what two clicks on channel 0's first
// send button do: song tracks have sends and their faders below them; the buses and the master
// none, their faders higher, and no send to switch; past the master nothing at all.
TEST_F(SidePaneTest, TheInspectorsControlsByChannel) {
  const PaneRect& p = g_app.inspectorTop;
  auto frame = [](int x, int y, bool down) {
    SetInput(x, y, down);
    DrawInspectorPane(0);
  };
  const struct {
    int channel;
    int faderTop;  // or -1: no controls
    bool sends;
  } cases[] = {{15, 176, true}, {16, 134, false}, {19, -1, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "channel " << c.channel);
    g_app.currentTrack = 0;  // places the send controls
    frame(0, 0, false);
    for (Slider& s : g_shell.sliders) s.y = -100;
    g_app.currentTrack = c.channel;
    frame(0, 0, false);
    EXPECT_EQ(c.faderTop < 0 ? -100 : p.y + c.faderTop + 2, g_shell.sliders[kPanFader].y);
    EXPECT_EQ(c.faderTop < 0 ? -100 : p.y + c.faderTop + 16, g_shell.sliders[kVolumeFader].y);
    EXPECT_EQ(c.sends ? p.y + 136 : -100, g_shell.sliders[kSendLevel1].y);
    for (const int on : {1, 0}) {
      frame(p.x + 15, p.y + 142, true);
      frame(0, 0, false);
      if (c.channel < kMixerChannelCount) {
        EXPECT_EQ(c.sends ? on : 0, g_app.sendSwitches[c.channel * kPluginPositionCount]);
      }
    }
  }
}

TEST_F(SidePaneTest, FadersDraggedToTheirEndsReadExactlyZeroAndOne) {
  g_app.currentTrack = 2;
  DrawInspectorPane(1);
  const std::pair<SliderIndex, float*> faders[] = {{kPanFader, &g_app.pan[2]},
                                                   {kVolumeFader, &g_app.volume[2]},
                                                   {kSendLevel2, &g_app.sendLevels[2 * kPluginPositionCount + 1]}};
  for (const auto& [index, value] : faders) {
    const Slider& s = g_shell.sliders[index];
    for (const auto& [x, end] : {std::make_pair(s.x - 5, 0.0f), std::make_pair(s.x + s.width + 5, 1.0f)}) {
      for (const int at : {s.x + s.width / 2, x}) {  // the press starts the drag
        SetInput(at, s.y + 5, true);
        DrawInspectorPane(1);
      }
      EXPECT_EQ(end, *value) << "slider " << index;
      SetInput(0, 0, false);
      DrawInspectorPane(1);
    }
  }
}

// The rightmost white pixel of a box, or -1.
int RightmostWhite(int x0, int y0, int x1, int y1) {
  int right = -1;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      if (ScreenPixel(x, y) == 0xFFFFFF && x > right) right = x;
  return right;
}

// The instrument pane with the inspector of track 5 below it.
TEST_F(SidePaneTest, TheRowsShowNamesTintAndEmptySlots) {
  g_stub.answer = TestPluginPath("tp_kezmir");
  ClickSlot(2, 0);
  g_stub.answer = TestPluginPath("tp_effect");
  ClickSlot(5, 0);
  ClickSlot(5, 1);
  g_app.currentTrack = 5;
  SetInput(0, 0, false, false);  // drawing only
  g_app.instrumentPaneShown = g_app.inspectorPaneShown = 1;
  UpdateSidePanes(g_app);
  const int row0 = 22 + 16, row2 = row0 + 14 * 2, row5 = row0 + 14 * 5, insert1 = 155 + 66;
  EXPECT_EQ(0x444448u, ScreenPixel(27, row2 + 5)) << "an FM instrument's row is tinted";
  EXPECT_EQ(0x444444u, ScreenPixel(27, row5 + 5));
  EXPECT_EQ(0x444444u, ScreenPixel(27, insert1 + 5));
  for (const auto& [top, colour] : {std::make_pair(row0, 0x666666u), std::make_pair(row2, 0xFFFFFFu),
                                    std::make_pair(insert1, 0xFFFFFFu), std::make_pair(insert1 + 14, 0x666666u)})
    EXPECT_TRUE(BoxHolds(30, top, 100, top + 11, colour)) << "the row at " << top;
  // Names are cut at 16 characters.
  g_app.inspectorPaneShown = 0;
  int ends[3], i = 0;
  for (const size_t length : {15, 16, 30}) {
    g_pluginSlots[10].name = std::string(length, 'l');
    Clear();
    UpdateSidePanes(g_app);
    ends[i++] = RightmostWhite(26, row2, 240, row2 + 11);
  }
  EXPECT_LT(ends[0], ends[1]);
  EXPECT_EQ(ends[1], ends[2]);
}

}  // namespace
