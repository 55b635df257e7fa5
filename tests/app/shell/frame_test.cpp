// The frame's own steps: wheel scrolling of the track view, the side panes and track areas of the
// four pane layouts with the mode's track view, a minimised frame, the plug-in editors' idle on a
// fake clock, which plug-in windows' messages the frame takes, and the keys it holds when the
// window comes back from a menu or a dialog.
#include <windows.h>

#include <string>
#include <vector>

#include "app/shell/app_state.h"
#include "app/shell/frame_input.h"
#include "app/shell/frame_loop.h"
#include "app/shell/shell_tables.h"
#include "tests/app/shell/shell_fixture.h"
#include "tests/support/engine/plugin_fixture.h"
#include "zovuz/zovuz.h"

namespace {

TEST_F(ShellTest, TheWheelPushesTheTrackViewWhichSlowsDownAndStopsAtItsBounds) {
  const struct {
    const char* name;
    int32_t rowHeight, position;
    std::vector<int32_t> notches;    // per frame
    std::vector<int32_t> positions;  // after each frame
  } cases[] = {
      {"a notch down moves 4, 3, 2 and 1 pixels", 19, 0, {-1, 0, 0, 0, 0}, {-4, -7, -9, -10, -10}},
      {"a notch up moves the other way", 19, -100, {1, 0, 0, 0, 0}, {-96, -93, -91, -90, -90}},
      {"notches add up", 19, 0, {-1, -1, 0}, {-4, -12, -19}},
      {"the top stops the motion at once", 19, 20, {1, 0, -1}, {22, 22, 18}},
      {"so does the bottom, 17 rows down", 19, -320, {-1, 0, 1}, {-323, -323, -319}},
      {"the bottom follows the row height", 32, -541, {-1, 0}, {-544, -544}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    g_app.rowHeight = c.rowHeight;
    g_app.scrollPosition = c.position;
    g_app.scrollVelocity = 0;
    std::vector<int32_t> positions;
    for (int32_t notch : c.notches) {
      ScrollTrackView(g_app, notch);
      positions.push_back(g_app.scrollPosition);
    }
    EXPECT_EQ(c.positions, positions);
  }
}

TEST_F(ShellTest, KeysDownWhenTheWindowComesBackCountOnlyOnceReleased) {
  constexpr int kStayed = 0, kBack = 1, kBackWithKeys = 2;  // what the window did before the frame
  struct Frame {
    int returned;
    std::vector<int> down, seen;
  };
  const struct {
    const char* name;
    std::vector<Frame> frames;
  } cases[] = {
      {"the Escape that closed a menu does not quit; pressed again it does",
       {{kBackWithKeys, {kKeyEscape}, {}},
        {kStayed, {kKeyEscape}, {}},
        {kStayed, {}, {}},
        {kStayed, {kKeyEscape}, {kKeyEscape}}}},
      {"a key pressed beside a held one counts",
       {{kBackWithKeys, {kKeyPadEnter}, {}}, {kStayed, {kKeyPadEnter, kKeySpace}, {kKeySpace}}}},
      {"a return with no key down holds none pressed before the next frame", {{kBack, {kKeySpace}, {kKeySpace}}}},
      {"a key released and pressed between two returns is held again",
       {{kBackWithKeys, {kKeyG}, {}}, {kStayed, {}, {}}, {kBackWithKeys, {kKeyG}, {}}, {kStayed, {kKeyG}, {}}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    g_frameInput = FrameInput{1, {}};
    for (const Frame& frame : c.frames) {
      if (frame.returned != kStayed) NoteWindowReturn(frame.returned == kBackWithKeys);
      for (int k : frame.down) g_frameInput.keys[k] = 1;
      HoldKeysOfTheReturn();
      std::vector<int> seen;
      for (int k = 0; k < kKeyCount; ++k) {
        if (g_frameInput.keys[k]) seen.push_back(k);
      }
      EXPECT_EQ(frame.seen, seen);
      for (char& key : g_frameInput.keys) key = 0;
    }
  }
}

// What the panes of a frame were asked to draw, in order.
std::string g_drawn;
void RecordInstrumentPane() { g_drawn += "instrument "; }
void RecordInspectorPane(int32_t below) { g_drawn += below ? "inspector-below " : "inspector-top "; }
void RecordTrackList(int32_t fullWidth) { g_drawn += "track-list/" + std::to_string(fullWidth); }
void RecordTrackView(int32_t fullWidth) { g_drawn += "track-view/" + std::to_string(fullWidth); }

TEST_F(ShellTest, EachPaneLayoutDrawsItsSidePanesAndTheModesTrackViewInItsArea) {
  g_framePanes = {RecordInstrumentPane, RecordInspectorPane, RecordTrackList, RecordTrackView};
  g_app.clientRect = ShellRect{0, 0, 1299, 755};  // half: 649 x 377
  g_app.scrollPosition = -40;
  const struct {
    uint8_t instrument, inspector;
    int32_t mode;
    const char* drawn;
  } cases[] = {
      {1, 0, kModeSequencer, "instrument track-view/0"},
      {1, 1, kModeSequencer, "instrument inspector-below track-view/0"},
      {0, 1, kModeMdxPlayer, "inspector-top track-list/0"},
      {0, 0, kModeMdxPlayer, "track-list/1"},
      {0, 0, 7, ""},  // no mode: only the side panes
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.drawn);
    g_app.instrumentPaneShown = c.instrument;
    g_app.inspectorPaneShown = c.inspector;
    g_app.mode = c.mode;
    g_drawn.clear();
    UpdateFrame();
    EXPECT_EQ(c.drawn, g_drawn);
  }
  // Both track areas, beside the side panes and across the whole width, follow the scroll.
  auto edges = [](const PaneRect& r) { return std::vector<int32_t>{r.x, r.y, r.width, r.height}; };
  EXPECT_EQ((std::vector<int32_t>{120, -40, 541, 347}), edges(g_app.trackArea));
  EXPECT_EQ((std::vector<int32_t>{4, -40, 641, 347}), edges(g_app.trackAreaFull));
  g_framePanes = {};
}

// The samples of a draw target inside and outside the part a window of `client` shows (at `scale`
// pixels of the target a pixel of the window) that still hold `colour`, and the samples looked at.
struct Samples {
  int untouchedInside, inside, untouchedOutside;
};

Samples Untouched(int target, uint32_t colour, const ShellRect& client, int scale) {
  SetDrawScreen(target);
  Samples s = {};
  for (int y = 0; y < 540; y += 6) {
    for (int x = 0; x < 960; x += 6) {
      const bool untouched = (GetPixel(x, y) & 0xFFFFFF) == colour;
      if (x * scale < client.right && y * scale < client.bottom) {
        ++s.inside;
        s.untouchedInside += untouched;
      } else {
        s.untouchedOutside += untouched ? 0 : 1;  // counted when touched
      }
    }
  }
  return s;
}

// A frame shown and a frame minimised, from a draw screen and a back screen of a colour each: both
// move the track view's scroll on (the frame's update runs), only the shown one draws, and only
// where the window shows (a window smaller than the screen).
TEST_F(ShellDrawTest, AMinimisedFrameUpdatesWithoutDrawingAndAShownOneDrawsWhatTheWindowShows) {
  g_app.mode = kModeSequencer;                // no song: the side panes and the transport bar draw
  const ShellRect client = {0, 0, 601, 300};  // no window here: the frame keeps this one
  struct Screen {
    int target;
    uint32_t colour;
    int scale;  // back-screen pixels a draw-screen pixel takes
  };
  const Screen screens[] = {{g_app.drawScreen, 0x010203, 2}, {DX_SCREEN_BACK, 0x040506, 1}};
  for (bool minimised : {false, true}) {
    SCOPED_TRACE(minimised ? "minimised" : "shown");
    for (const Screen& screen : screens) {
      SetDrawScreen(screen.target);
      SetBackgroundColor(screen.colour >> 16, (screen.colour >> 8) & 0xFF, screen.colour & 0xFF);
      ClearDrawScreen(nullptr);
    }
    SetBackgroundColor(0, 0, 0);
    g_app.clientRect = client;
    g_app.scrollPosition = -100;
    g_app.scrollVelocity = 6;
    ASSERT_EQ(0, UpdateAndShowFrame(minimised));
    EXPECT_EQ(5, g_app.scrollVelocity);  // it slows down by one a frame
    for (const Screen& screen : screens) {
      const Samples s = Untouched(screen.target, screen.colour, client, screen.scale);
      EXPECT_EQ(minimised ? s.inside : 0, s.untouchedInside) << "target " << screen.target;
      EXPECT_EQ(0, s.untouchedOutside) << "target " << screen.target;
    }
  }
}

class EditorIdleTest : public PluginSlotsTest {
 protected:
  void TearDown() override {
    g_app.lastEditorIdleTime = 0;
    PluginSlotsTest::TearDown();
  }
  TestPluginLibrary plugins{TestPluginPath("tp_vornalt")};
};

TEST_F(EditorIdleTest, OpenEditorsIdleOnlyWhenMoreThan100msHavePassed) {
  ASSERT_EQ(0, LoadPlugin(0, 0, TestPluginPath("tp_vornalt").c_str()));
  ASSERT_EQ(0, LoadPlugin(5, 2, TestPluginPath("tp_vornalt").c_str()));
  SlotOf(0, 0).editorOpen = 1;  // the other editor is closed
  const TpInstance* open = TestPluginLibrary::Of(SlotOf(0, 0).effect);
  const TpInstance* closed = TestPluginLibrary::Of(SlotOf(5, 2).effect);
  // Clock readings and the idle calls the open editor has received after each.
  const std::vector<std::pair<int64_t, int>> steps = {
      {50000, 0},  {100000, 0}, {100001, 1}, {150000, 1}, {200001, 1}, {200002, 2}, {90000, 2},  // backwards: waits
      {-1, 2},                                                                                   // no clock
      {300003, 3},
  };
  for (const auto& [now, idles] : steps) {
    IdlePluginEditorsAt(now);
    EXPECT_EQ(idles, open->editorIdles) << "at " << now;
  }
  EXPECT_EQ(0, closed->editorIdles);
}

// A window of the test's own standing in for a plug-in window, with one message waiting.
HWND WindowWithMessage() {
  HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  PostMessageA(window, WM_APP, 0, 0);
  return window;
}

bool MessageWaits(HWND window) {
  MSG message;
  return PeekMessageA(&message, window, WM_APP, WM_APP, PM_REMOVE) != 0;
}

TEST_F(ShellTest, TheFrameTakesTheMessagesOfOpenPluginWindowsOfChannels0To7Only) {
  HWND first = WindowWithMessage(), last = WindowWithMessage(), channel8 = WindowWithMessage();
  g_shell.pluginWindows[0] = first;
  g_shell.pluginWindows[39] = last;
  g_shell.pluginWindows[40] = channel8;
  // A message of the thread (no window) must stay for the library: closed slots are skipped.
  PostThreadMessageA(GetCurrentThreadId(), WM_APP, 0, 0);
  PumpPluginWindows();
  EXPECT_FALSE(MessageWaits(first));
  EXPECT_FALSE(MessageWaits(last));
  EXPECT_TRUE(MessageWaits(channel8));
  MSG message;
  EXPECT_TRUE(PeekMessageA(&message, reinterpret_cast<HWND>(-1), WM_APP, WM_APP, PM_REMOVE));
  for (HWND& window : g_shell.pluginWindows) window = nullptr;
  for (HWND window : {first, last, channel8}) DestroyWindow(window);
}

}  // namespace
