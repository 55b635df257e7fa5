// The instrument pane and the inspector pane driven in-process from the frame's input: clicks that
// load plug-ins into their slots through a stand-in file dialog, the FM-instrument flags, the
// outside-folder flag, the inspector's texts, faders, send switches and hidden controls; and both
// panes drawn on the software renderer in the four toggle combinations and read back from the draw
// screen (each kept as a PNG picture).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/engine/mdx_player.h"
#include "app/shell/app_state.h"
#include "app/shell/frame_input.h"
#include "app/shell/frame_loop.h"
#include "app/shell/plugin_window.h"
#include "app/shell/shell_tables.h"
#include "app/shell/side_panes.h"
#include "app/shell/track_views.h"
#include "tests/app/shell/shell_fixture.h"
#include "tests/support/engine/plugin_fixture.h"
#include "tests/support/test_files.h"
#include "tests/support/window_capture.h"
#include "zovuz/zovuz.h"

namespace {

constexpr uint32_t kPaneGrey = 0x333333, kRowGrey = 0x444444, kFmTint = 0x444448, kEmptyText = 0x666666;

// The stand-in file dialog: answers with `answer` (or cancels when it is empty) and notes what it
// was asked and whether the panes had set their dialog-open flag.
struct DialogStub {
  std::string answer;
  int calls = 0;
  PluginDialogKind kind = PluginDialogKind::kInstrument;
  bool flagSet = false;
};
DialogStub g_stub;

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
    static const bool registered = RegisterPluginWindowClasses(GetModuleHandleA(nullptr));
    ASSERT_TRUE(registered);
    g_app.instance = GetModuleHandleA(nullptr);
    g_app.showCommand = SW_HIDE;
    g_hostContext.sampleRate = 44100;
    g_hostContext.blockSize = 1024;
    std::snprintf(g_app.workingDirectory, sizeof g_app.workingDirectory, "C:\\work");
    g_stub = DialogStub();
    g_pluginDialog = StubDialog;
  }
  void TearDown() override {
    for (HWND window : g_shell.pluginWindows)
      if (window) DestroyWindow(window);
    ResetPluginSlots();
    for (int t = 0; t < kMixerChannelCount; ++t) SetFmInstrumentFlags(t, false);
    g_pluginDialog = ShowPluginDialog;
    ShellTest::TearDown();
  }
  // A frame's update with the left button down on a row of a pane, then one with it up.
  static void ClickRow(void (*update)(), int x, int y) {
    SetInput(x, y, true);
    update();
    SetInput(0, 0, false);
    update();
  }
  static void ClickInstrumentRow(int row) {
    const PaneRect& p = g_app.instrumentPane;
    ClickRow([] { UpdateInstrumentPane(g_app.instrumentPane.x, g_app.instrumentPane.y, g_app.instrumentPane.width); },
             p.x + 60, p.y + 16 + 14 * row + 5);
  }
  static void ClickInsertRow(int channel, int row) {
    const PaneRect& p = g_app.inspectorTop;
    g_channel = channel;
    ClickRow(
        [] {
          UpdateInsertEffectSlots(g_app.inspectorTop.x, g_app.inspectorTop.y, g_app.inspectorTop.width, g_channel);
        },
        p.x + 60, p.y + 66 + 14 * row + 5);
  }
  static int g_channel;
};
int SidePaneTest::g_channel = 0;

uint32_t Pixel(int x, int y) { return ScreenPixel(x, y); }

// The rightmost white pixel of a row of text, or -1.
int RightmostWhite(int x0, int y0, int x1, int y1) {
  int right = -1;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      if (Pixel(x, y) == 0xFFFFFF && x > right) right = x;
  return right;
}

// The draw screen's top-left 240 x 400 pixels as a PNG picture in the test's folder.
void KeepPicture(const std::string& name) {
  WindowCapture picture;
  picture.Width = 240;
  picture.Height = 400;
  for (int y = 0; y < picture.Height; ++y)
    for (int x = 0; x < picture.Width; ++x) picture.Pixels.push_back(Pixel(x, y));
  SaveCapturePng(picture, name.c_str());
}

// ---------------------------------------------------------------------------
// Loading by a click.

TEST_F(SidePaneTest, ClicksLoadIntoTheSlotOfTheirRow) {
  const std::string instrument = TestPluginPath("tp_kezmir"), effect = TestPluginPath("tp_effect");
  const std::string text = "not_a_plugin.dll", other = TestPluginPath("tp_kezmir").substr(0, instrument.size() - 4);
  ASSERT_TRUE(WriteFileBytes(L"not_a_plugin.dll", std::string("no library here\r\n")));
  struct Case {
    bool instrumentRow;
    int channel, row;
    std::string answer;
    int slot;
    bool loaded;
  };
  const Case cases[] = {
      {true, 3, 3, instrument, 15, true},      {true, 0, 0, instrument, 0, true}, {true, 7, 7, instrument, 35, true},
      {false, 2, 0, effect, 11, true},         {false, 2, 3, effect, 14, true},   {false, 18, 3, effect, 94, true},
      {true, 5, 5, text, 25, false},            // a failed load: recorded, not counted as loaded
      {false, 4, 1, text, 22, false},           //
      {true, 6, 6, other + ".DLL", 30, false},  // not ".dll": nothing is loaded or recorded
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "slot " << c.slot << " " << c.answer);
    g_stub.answer = c.answer;
    g_stub.calls = 0;
    if (c.instrumentRow)
      ClickInstrumentRow(c.row);
    else
      ClickInsertRow(c.channel, c.row);
    EXPECT_EQ(1, g_stub.calls);
    EXPECT_TRUE(g_stub.kind == (c.instrumentRow ? PluginDialogKind::kInstrument : PluginDialogKind::kEffect));
    EXPECT_TRUE(g_stub.flagSet) << "the dialog-open flag was not set";
    EXPECT_EQ(0, g_app.dialogOpen);
    EXPECT_EQ(c.loaded, g_pluginSlots[c.slot].effect != nullptr);
    EXPECT_EQ(c.loaded ? 1 : 0, g_app.pluginLoaded[c.slot]);
    EXPECT_EQ(c.loaded ? 1 : 0, g_app.windowOpen[c.slot]);
    const bool recorded = c.answer.size() > 4 && c.answer.compare(c.answer.size() - 4, 4, ".dll") == 0;
    EXPECT_EQ(recorded ? c.answer : "", std::string(g_app.pluginPaths[c.slot]));
  }
  // A cancelled dialog loads nothing; an open dialog keeps a second click from opening another.
  g_stub.answer.clear();
  g_stub.calls = 0;
  ClickInstrumentRow(1);
  EXPECT_EQ(nullptr, g_pluginSlots[5].effect);
  g_app.dialogOpen = 1;
  ClickInstrumentRow(2);
  ClickInsertRow(0, 0);
  EXPECT_EQ(1, g_stub.calls);
}

TEST_F(SidePaneTest, AnFmInstrumentsNameSetsBothFlagsOfItsTrack) {
  const struct {
    int position;
    const char* plugin;
    uint8_t flags;
  } steps[] = {
      {0, "tp_kezmir", 1},  {0, "tp_vornalt", 1}, {0, "tp_effect", 0},
      {0, "tp_vornalt", 1}, {1, "tp_effect", 1},                        // an insert leaves them
      {1, "tp_kezmir", 1},  {0, "tp_noname", 0},  {1, "tp_kezmir", 0},  // the same plug-ins as inserts
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(testing::Message() << step.plugin << " at position " << step.position);
    g_stub.answer = TestPluginPath(step.plugin);
    if (step.position == 0)
      ClickInstrumentRow(3);
    else
      ClickInsertRow(3, step.position - 1);
    EXPECT_EQ(step.flags, g_songs[0].tracks[3].fmInstrument);
    EXPECT_EQ(step.flags, g_mdx.state.fmInstrument[3]);
  }
}

TEST_F(SidePaneTest, OnlyTheDefaultPluginFolderIsInside) {
  const struct {
    const char* path;
    bool outside;
  } cases[] = {
      {"C:\\work\\VSTPlugins\\a.dll", false},     {"C:\\work\\vstplugins\\a.dll", true},
      {"C:\\work\\VSTPlugins\\sub\\a.dll", true}, {"C:\\work\\a.dll", true},
      {"D:\\work\\VSTPlugins\\a.dll", true},      {"C:\\work2\\VSTPlugins\\a.dll", true},
  };
  for (const auto& c : cases) EXPECT_EQ(c.outside, IsOutsidePluginFolder(c.path, "C:\\work")) << c.path;
  // Through a click: the flag of the instrument slot, also for a file that is then refused.
  std::snprintf(g_app.workingDirectory, sizeof g_app.workingDirectory, "C:\\work");
  g_stub.answer = "C:\\work\\VSTPlugins\\missing.txt";
  ClickInstrumentRow(2);
  EXPECT_EQ(0, g_app.pluginOutsideFolder[10]);
  g_stub.answer = TestPluginPath("tp_kezmir");
  ClickInstrumentRow(2);
  EXPECT_EQ(1, g_app.pluginOutsideFolder[10]);
}

TEST_F(SidePaneTest, EditButtonsCloseAndOpenTheSlotsWindow) {
  g_stub.answer = TestPluginPath("tp_kezmir");
  ClickInstrumentRow(4);
  ClickInstrumentRow(6);
  ASSERT_EQ(1, g_app.windowOpen[20]);
  // The buttons are where the pane drew them.
  Clear();
  DrawInstrumentPane();
  auto press = [](int row) {
    const ImageButton& b = g_shell.buttons[kInstrumentEditButton + row];
    ClickRow([] { UpdateInstrumentPane(g_app.instrumentPane.x, g_app.instrumentPane.y, g_app.instrumentPane.width); },
             b.x + 5, b.y + 5);
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

// ---------------------------------------------------------------------------
// The inspector.

TEST_F(SidePaneTest, InspectorTexts) {
  const struct {
    int pan;
    const char* text;
  } pans[] = {{64, "@ 7  PAN C"},   {0, "@ 7  PAN L"},     {127, "@ 7  PAN R"}, {65, "@ 7  PAN R 2"},
              {63, "@ 7  PAN L 1"}, {100, "@ 7  PAN R37"}, {1, "@ 7  PAN L63"}};
  for (const auto& p : pans) EXPECT_EQ(p.text, InspectorPanText(p.pan, 7)) << p.pan;
  const struct {
    int channel;
    const char* label;
  } labels[] = {{0, "01"}, {15, "16"}, {16, "FX1"}, {17, "FX2"}, {18, "M"}};
  for (const auto& l : labels) EXPECT_EQ(l.label, InspectorTrackLabel(l.channel)) << l.channel;
}

// Where the inspector put its controls for channel c, and what a click on its first send button
// does: song tracks have sends and their faders at F = 176; the buses and the master none, their
// faders at F = 134, and a click where sends would be changes no send; past the master nothing.
TEST_F(SidePaneTest, TheInspectorsControlsByChannel) {
  const PaneRect& p = g_app.inspectorTop;
  const struct {
    int channel;
    int faderTop;  // F, or -1: no controls
    bool sends;
  } cases[] = {{0, 176, true}, {15, 176, true}, {16, 134, false}, {18, 134, false}, {19, -1, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "channel " << c.channel);
    // Channel 0 first, so the send controls stand where channel 0 drew them.
    g_app.currentTrack = 0;
    Clear();
    DrawInspectorPane(0);
    for (Slider& s : g_shell.sliders) s.y = -100;
    g_app.currentTrack = c.channel;
    Clear();
    SetInput(0, 0, false);
    DrawInspectorPane(0);
    EXPECT_EQ(c.faderTop < 0 ? -100 : p.y + c.faderTop + 2, g_shell.sliders[kPanFader].y);
    EXPECT_EQ(c.faderTop < 0 ? -100 : p.y + c.faderTop + 16, g_shell.sliders[kVolumeFader].y);
    EXPECT_EQ(c.sends ? p.y + 137 - 1 : -100, g_shell.sliders[kSendLevel1].y);
    // A click on the first send button's place of channel 0.
    const int slot = c.channel * kPluginPositionCount;
    SetInput(p.x + 15, p.y + 137 + 5, true);
    DrawInspectorPane(0);
    SetInput(0, 0, false);
    DrawInspectorPane(0);
    if (c.channel < kMixerChannelCount) {
      EXPECT_EQ(c.sends ? 1 : 0, g_app.sendSwitches[slot]);
    }
    SetInput(p.x + 15, p.y + 137 + 5, true);
    DrawInspectorPane(0);
    if (c.channel < kMixerChannelCount) {
      EXPECT_EQ(0, g_app.sendSwitches[slot]) << "the second click";
    }
    SetInput(0, 0, false);
  }
}

TEST_F(SidePaneTest, FadersDraggedToTheirEndsReadExactlyZeroAndOne) {
  g_app.currentTrack = 2;
  Clear();
  DrawInspectorPane(1);
  const struct {
    SliderIndex slider;
    float* value;
  } faders[] = {{kPanFader, &g_app.pan[2]},
                {kVolumeFader, &g_app.volume[2]},
                {kSendLevel2, &g_app.sendLevels[2 * kPluginPositionCount + 1]}};
  for (const auto& f : faders) {
    SCOPED_TRACE(testing::Message() << "slider " << f.slider);
    const Slider& s = g_shell.sliders[f.slider];
    for (const auto& end : {std::make_pair(s.x - 5, 0.0f), std::make_pair(s.x + s.width + 5, 1.0f)}) {
      SetInput(s.x + s.width / 2, s.y + 5, true);  // the press starts the drag
      DrawInspectorPane(1);
      SetInput(end.first, s.y + 5, true);
      DrawInspectorPane(1);
      EXPECT_EQ(end.second, *f.value);
      SetInput(0, 0, false);
      DrawInspectorPane(1);
    }
  }
}

// ---------------------------------------------------------------------------
// Both panes on the software renderer.

TEST_F(SidePaneTest, ThePanesInTheFourToggleCombinations) {
  g_stub.answer = TestPluginPath("tp_kezmir");
  ClickInstrumentRow(2);
  g_stub.answer = TestPluginPath("tp_effect");
  ClickInstrumentRow(5);
  g_app.currentTrack = 5;
  ClickInsertRow(5, 0);
  SetInput(0, 0, false, false);  // drawing only
  g_app.clientRect = ShellRect{0, 0, 1299, 710};
  const struct {
    uint8_t instrument, inspector;
    int inspectorTop;  // 0: no inspector
  } combos[] = {{1, 0, 0}, {1, 1, 155}, {0, 1, 22}, {0, 0, 0}};
  for (const auto& c : combos) {
    SCOPED_TRACE(testing::Message() << int(c.instrument) << int(c.inspector));
    g_app.instrumentPaneShown = c.instrument;
    g_app.inspectorPaneShown = c.inspector;
    Clear();
    const int32_t fullWidth = UpdateSidePanes(g_app);
    KeepPicture("side_panes_" + std::to_string(c.instrument) + std::to_string(c.inspector) + ".png");
    EXPECT_EQ(c.instrument == 0 && c.inspector == 0 ? 1 : 0, fullWidth);
    // The boxes, seen in the strip right of the rows: the instrument pane's (y 22-150), the
    // inspector's at the top (22-239) or below (155-372).
    EXPECT_EQ(c.instrument || c.inspectorTop == 22 ? kPaneGrey : 0u, Pixel(114, 149));
    EXPECT_EQ(c.inspectorTop == 22 ? kPaneGrey : 0u, Pixel(114, 153));
    EXPECT_EQ(c.inspectorTop == 155 ? kPaneGrey : 0u, Pixel(114, 300));
    if (c.instrument) {
      const int row2 = 22 + 16 + 14 * 2, row5 = 22 + 16 + 14 * 5, row0 = 22 + 16;
      EXPECT_EQ(kFmTint, Pixel(27, row2 + 5));  // Kezmir
      EXPECT_EQ(kRowGrey, Pixel(27, row5 + 5));
      EXPECT_TRUE(BoxHolds(30, row0, 100, row0 + 11, kEmptyText)) << "no instrument";
      EXPECT_TRUE(BoxHolds(30, row2, 100, row2 + 11, 0xFFFFFF)) << "the name";
    }
    if (c.inspectorTop) {
      const int insert1 = c.inspectorTop + 66, insert2 = insert1 + 14;
      EXPECT_EQ(kRowGrey, Pixel(27, insert1 + 5));
      EXPECT_TRUE(BoxHolds(30, insert1, 100, insert1 + 11, 0xFFFFFF)) << "the effect's name";
      EXPECT_TRUE(BoxHolds(30, insert2, 100, insert2 + 11, kEmptyText)) << "no effect";
    }
  }
  // Names are cut at 16 characters.
  g_app.instrumentPaneShown = 1;
  g_app.inspectorPaneShown = 0;
  const int row2 = 22 + 16 + 14 * 2;
  std::vector<int> ends;
  for (int length : {15, 16, 30}) {
    g_pluginSlots[10].name = std::string(length, 'l');
    Clear();
    UpdateSidePanes(g_app);
    ends.push_back(RightmostWhite(26, row2, 240, row2 + 11));
  }
  EXPECT_LT(ends[0], ends[1]);
  EXPECT_EQ(ends[1], ends[2]);
}

}  // namespace
