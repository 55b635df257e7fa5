// The plug-in slot windows on the desktop, driven in-process: their shape, the parameter view's
// clicks and pixels, the control row, closing and reopening, and unloading. What reaches the
// plug-in is read from the test plug-ins' log files.
#include <windows.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "app/engine/mdx/mdx_player.h"
#include "app/engine/sequencer/sequencer.h"
#include "app/shell/app_state.h"
#include "app/shell/plugin_window/plugin_window.h"
#include "app/shell/plugin_window/plugin_window_layout.h"
#include "app/shell/shell_tables.h"
#include "tests/app/shell/shell_fixture.h"
#include "tests/support/engine/plugin_fixture.h"
#include "tests/support/window_capture.h"

namespace {

constexpr char kLogDir[] = "tp_logs";
constexpr uint32_t kBarBackground = 0x444444, kBarFill = 0xCCCCCC, kIndicator = 0xCCCC44;

// A test plug-in DLL held open by the test, and the log of its latest instance.
struct TestPlugin {
  explicit TestPlugin(const char* dll) : name(dll), library(TestPluginPath(dll)) {}
  std::vector<std::string> Log() const { return TestPluginLogLines(kLogDir, name, library.Latest()->serial); }
  // The lines logged since `from` lines that start with one of the prefixes.
  std::vector<std::string> LogSince(size_t from, std::initializer_list<const char*> prefixes) const {
    std::vector<std::string> lines;
    const std::vector<std::string> all = Log();
    for (size_t i = from; i < all.size(); ++i)
      for (const char* prefix : prefixes)
        if (all[i].rfind(prefix, 0) == 0) lines.push_back(all[i]);
    return lines;
  }
  const char* name;
  TestPluginLibrary library;
};

uint64_t g_fakeNow = 0;
uint64_t FakeClock() { return g_fakeNow += 1000; }

std::string Text(HWND window) {
  char text[64] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

void ResetSongs() {
  g_songs[0].playing = g_songs[0].paused = g_songs[0].ended = 0;
  g_mdx.state.playing = 0;
  g_app.song.pauseStart = g_app.song.startTime = 0;
}

class PluginWindowTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    ASSERT_NO_FATAL_FAILURE(StartPluginWindows());
    CreateDirectoryA(kLogDir, nullptr);
    SetEnvironmentVariableA("TARVEX_TP_LOG_DIR", kLogDir);
    SetSequencerClock(FakeClock);
    ResetSongs();
  }
  void TearDown() override {
    EndPluginWindows();
    ResetSongs();
    SetSequencerClock(nullptr);
    ShellTest::TearDown();
  }
  // Loads the plug-in into the slot and opens its window; the slot number.
  static int Open(const TestPlugin& plugin, int channel, int slot) {
    EXPECT_EQ(0, LoadPlugin(channel, slot, TestPluginPath(plugin.name).c_str()));
    OpenPluginWindow(channel, slot);
    const int n = channel * kPluginPositionCount + slot;
    EXPECT_TRUE(IsWindow(g_shell.pluginWindows[n]));
    return n;
  }
  static void Press(int n, int control) { SendMessageA(GetDlgItem(g_shell.pluginWindows[n], control), BM_CLICK, 0, 0); }
  static LRESULT ListMessage(int n, UINT message, WPARAM wParam = 0) {
    return SendMessageA(GetDlgItem(g_shell.pluginWindows[n], 3), message, wParam, 0);
  }
  static WindowCapture Capture(int n, const char* png) {
    HWND window = g_shell.pluginWindows[n];
    ShowWindow(window, SW_SHOWNOACTIVATE);
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
    RECT client;
    GetClientRect(window, &client);
    WindowCapture capture = CaptureWindow(window, 0, 0, client.right, client.bottom);
    EXPECT_TRUE(SaveCapturePng(capture, png));
    return capture;
  }

  TestPlugin plain{"tp_plain"};
};

TEST_F(PluginWindowTest, AWindowWithoutEditorHasTheViewsSizeItsTitleTheControlRowAndThePrograms) {
  g_app.showCommand = SW_SHOWNORMAL;
  const int n = Open(plain, 2, 2);
  HWND window = g_shell.pluginWindows[n];
  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(270, client.right);  // the view's 238 widened to the control row's
  EXPECT_EQ(174, client.bottom);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ("3 - Plain2", Text(window));
  // Each control: its class, its x and how far above the editor rectangle's bottom it stands.
  std::vector<std::string> row, programs;
  for (int id = 0; id < 6; ++id) {
    HWND control = GetDlgItem(window, id);
    char name[32] = "";
    GetClassNameA(control, name, sizeof name);
    RECT r = {};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
    row.push_back(std::string(name) + " " + std::to_string(r.left) + " " +
                  std::to_string(g_pluginSlots[n].editorRect.bottom - r.top));
  }
  EXPECT_EQ((std::vector<std::string>{"Button 8 28", "Button 30 28", "Button 52 28", "ComboBox 78 28", "Button 222 28",
                                      "Button 244 28"}),
            row);
  for (int i = 0; i < ListMessage(n, CB_GETCOUNT); ++i) {
    char text[64] = "";
    SendMessageA(GetDlgItem(window, 3), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    programs.push_back(text);
  }
  EXPECT_EQ((std::vector<std::string>{"Init", "Bright", "unknown"}), programs);
  EXPECT_EQ(0, ListMessage(n, CB_GETCURSEL));
}

TEST_F(PluginWindowTest, AClickOnABarSetsItsParameterFromTheXPosition) {
  const struct {
    int x, y;
    const char* logged;  // "" for a click that sets nothing
  } clicks[] = {
      {47, 26, "param 0 0"},  {119, 56, "param 1 0.5"},
      {191, 86, "param 2 1"}, {40, 116, "param 3 0"},
      {198, 19, "param 0 1"}, {119, 33, "param 0 0.5"},
      {39, 26, ""},           {199, 26, ""},
      {119, 18, ""},          {119, 34, ""},
      {119, 48, ""},          {119, 64, ""},
      {119, 146, ""},  // the zone of a fifth row, which this plug-in does not have
  };
  const int n = Open(plain, 0, 1);
  for (const auto& click : clicks) {
    SCOPED_TRACE(testing::Message() << click.x << ", " << click.y);
    const size_t before = plain.Log().size();
    SendMessageA(g_shell.pluginWindows[n], WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(click.x, click.y));
    const std::vector<std::string> set = plain.LogSince(before, {"param"});
    EXPECT_EQ(*click.logged ? std::vector<std::string>{click.logged} : std::vector<std::string>{}, set);
  }
}

TEST_F(PluginWindowTest, TheViewPaintsBarsToTheValuesAndTheIndicatorsOfPowerAndBypass) {
  const int n = Open(plain, 0, 1);
  const float values[] = {0.3f, 0.7f, 0.05f, 0.5f};
  for (int i = 0; i < 4; ++i) g_pluginSlots[n].SetParameter(i, values[i]);
  const int32_t b = g_pluginSlots[n].editorRect.bottom;
  for (int state = 0; state < 4; ++state) {
    g_app.power[n] = state & 1;
    g_pluginSlots[n].bypass = state >> 1;
    const WindowCapture shot = Capture(n, ("parameter_view_" + std::to_string(state) + ".png").c_str());
    ASSERT_FALSE(shot.Empty());
    SCOPED_TRACE(state);
    EXPECT_EQ(state & 1 ? kIndicator : 0u, shot.At(15, b - 12));
    EXPECT_EQ(state >> 1 ? kIndicator : 0u, shot.At(40, b - 12));
    for (int i = 0; i < 4; ++i) {
      const int fillEnd = 47 + static_cast<int>(values[i] * 144), y = 10 + 30 * i + 16;
      EXPECT_EQ(kBarFill, shot.At(fillEnd - 2, y)) << i;
      EXPECT_EQ(kBarBackground, shot.At(fillEnd, y)) << i;
      EXPECT_EQ(kBarBackground, shot.At(189, y)) << i;
    }
  }
  EXPECT_EQ("Wide ope", g_pluginSlots[n].paramDisplays[3]);  // the value text, cut to 8 characters
}

TEST_F(PluginWindowTest, AnEditorWindowShowsTheEditorAndTheIndicatorsButNoRowsAndTakesNoClicks) {
  TestPlugin editor("tp_vornalt");
  const TpConfig config = {-1, -1, 1, {0, 0, 60, 238}, -1, -1, 0};
  editor.library.Configure(&config);
  const int n = Open(editor, 0, 0);
  HWND window = g_shell.pluginWindows[n];
  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(84, client.bottom);
  EXPECT_NE(nullptr, FindWindowExA(window, nullptr, "Static", nullptr));
  const size_t before = editor.Log().size();
  const WindowCapture shot = Capture(n, "editor_window.png");
  SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(119, 26));
  EXPECT_EQ(kIndicator, shot.At(15, g_pluginSlots[n].editorRect.bottom - 12));
  EXPECT_TRUE(editor.LogSince(before, {"dispatch 7 "}).empty());
  EXPECT_TRUE(editor.LogSince(before, {"param"}).empty());
}

TEST_F(PluginWindowTest, ProgramButtonsWrapAndActOnTheirOwnWindowsSlot) {
  const struct {
    const char* name;
    int programs, from, button, to;
    std::vector<std::vector<int>> queued;
  } cases[] = {
      {"+ on the last wraps to 0", 3, 2, 5, 0, {{0xC0, 0, 0}}},
      {"- on 0 wraps to the last", 3, 0, 4, 2, {{0xC0, 2, 0}}},
      {"+ without programs sends nothing", 0, 1, 5, 1, {}},
      {"- without programs sends nothing", 0, 1, 4, 1, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const TpConfig config = {-1, -1, 0, {0, 0, 0, 0}, -1, c.programs, 0};
    plain.library.Configure(&config);
    const int other = Open(plain, 0, 1), n = Open(plain, 1, 1);
    g_app.programs[n] = c.from;
    Press(n, c.button);
    EXPECT_EQ(c.to, g_app.programs[n]);
    EXPECT_EQ(c.queued, TakePendingMidiBytes(g_pluginSlots[n]));
    if (c.programs > 0) {
      EXPECT_EQ(c.to, ListMessage(n, CB_GETCURSEL));
      EXPECT_EQ(0, ListMessage(other, CB_GETCURSEL));
    }
    EXPECT_EQ(0, g_app.programs[other]);
    EXPECT_TRUE(TakePendingMidiBytes(g_pluginSlots[other]).empty());
  }
  // A choice in the list is sent as it is.
  plain.library.Configure(nullptr);
  const int n = Open(plain, 1, 1);
  ListMessage(n, CB_SETCURSEL, 2);
  SendMessageA(g_shell.pluginWindows[n], WM_COMMAND, MAKEWPARAM(3, CBN_SELCHANGE), 0);
  EXPECT_EQ(2, g_app.programs[n]);
  EXPECT_EQ((std::vector<std::vector<int>>{{0xC0, 2, 0}}), TakePendingMidiBytes(g_pluginSlots[n]));
}

TEST_F(PluginWindowTest, PowerSwitchesThePluginOffAndOnAndBypassPassesTheInsertsInput) {
  const int n = Open(plain, 3, 1);
  const size_t before = plain.Log().size();
  Press(n, 0);
  EXPECT_EQ(0, g_app.power[n]);
  Press(n, 0);
  EXPECT_EQ(1, g_app.power[n]);
  EXPECT_EQ((std::vector<std::string>{"dispatch 12 0 0 0", "dispatch 12 0 1 0"}),
            plain.LogSince(before, {"dispatch 12 "}));

  g_pluginSlots[n].SetParameter(0, 0.5f);  // the effect's gain
  for (uint8_t bypassed : {0, 1, 0}) {     // "→" after each block
    std::vector<float> block(2 * kPluginBlockFrames, 0.25f);
    ProcessInsertChain(3, block.data());
    EXPECT_EQ(bypassed ? 0.25f : 0.125f, block[0]);
    Press(n, 1);
  }
}

TEST_F(PluginWindowTest, TheCloseBoxKeepsThePluginAndThePlaceWhereTheWindowReopens) {
  const int n = Open(plain, 0, 0);
  HWND first = g_shell.pluginWindows[n];
  SetWindowPos(first, nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  SendMessageA(first, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(first));
  EXPECT_EQ(nullptr, g_shell.pluginWindows[n]);  // no stale handle for a later window to share
  EXPECT_NE(nullptr, g_pluginSlots[n].effect);
  EXPECT_EQ(0, g_app.windowOpen[n]);
  EXPECT_EQ(0, g_pluginSlots[n].editorOpen);
  EXPECT_EQ(300, g_app.windowRects[n].left);
  EXPECT_EQ(200, g_app.windowRects[n].top);

  OpenPluginWindow(0, 0);
  RECT place;
  GetWindowRect(g_shell.pluginWindows[n], &place);
  EXPECT_EQ(300, place.left);
  EXPECT_EQ(200, place.top);

  const size_t before = plain.Log().size();
  OpenPluginWindow(0, 0);
  EXPECT_EQ((std::vector<std::string>{"dispatch 15 0 0 0", "dispatch 14 0 0 0"}),
            plain.LogSince(before, {"dispatch 14 ", "dispatch 15 "}));
  EXPECT_EQ(g_shell.pluginWindows[n], FindWindowA("vst00", nullptr));
  EXPECT_EQ(nullptr, FindWindowExA(nullptr, g_shell.pluginWindows[n], "vst00", nullptr));
}

// Answers the unload question from a helper thread once it is shown.
std::thread AnswerUnload(int answer) {
  return std::thread([answer] {
    for (int tries = 0; tries < 500; ++tries, Sleep(10))
      if (HWND box = FindWindowA("#32770", "unload")) {
        PostMessageA(box, WM_COMMAND, answer, 0);
        return;
      }
  });
}

TEST_F(PluginWindowTest, UnloadingAsksAndPausesAPlayingSongAroundTheUnload) {
  const struct {
    const char* name;
    int answer;
    int32_t mode;
    uint8_t playing, ended;  // of the mode's song
  } cases[] = {
      {"no keeps the plug-in", IDNO, kModeSequencer, 0, 0},
      {"yes while the MDX song plays", IDYES, kModeMdxPlayer, 1, 0},
      {"yes after the MML song ended does not start it again", IDYES, kModeSequencer, 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ResetSongs();
    g_app.mode = c.mode;
    g_mdx.state.playing = c.mode == kModeMdxPlayer ? c.playing : 0;
    g_songs[0].ended = c.ended;
    const int n = Open(plain, 0, 0);
    g_app.pluginLoaded[n] = 1;
    HWND window = g_shell.pluginWindows[n];
    const size_t before = plain.Log().size();
    std::thread answering = AnswerUnload(c.answer);
    Press(n, 2);
    answering.join();

    const bool unloaded = c.answer == IDYES;
    EXPECT_EQ(!unloaded, IsWindow(window) != 0);
    EXPECT_EQ(unloaded, g_pluginSlots[n].effect == nullptr && g_pluginSlots[n].module == nullptr);
    EXPECT_EQ(unloaded ? 0 : 1, g_app.pluginLoaded[n]);
    const std::vector<std::string> closed = {"dispatch 15 0 0 0", "dispatch 1 0 0 0"};  // editor, plug-in
    EXPECT_EQ(unloaded ? closed : std::vector<std::string>{}, plain.LogSince(before, {"dispatch 15 ", "dispatch 1 "}));
    EXPECT_EQ(c.playing, c.mode == kModeMdxPlayer ? g_mdx.state.playing : g_songs[0].playing);
    EXPECT_EQ(c.playing, g_app.song.startTime > 0);  // the pause was taken off the clock
  }
}

// A program kept past the plug-in's programs (loaded from a project) steps from inside them, and
// the integer's ends never overflow.
TEST(PluginProgramStep, StepsFromAProgramHeldInsideThePlugInsPrograms) {
  const struct {
    int32_t program, step, count, expected;
  } cases[] = {{0, -1, 3, 2},  {2, +1, 3, 0},         {1, +1, 3, 2},         {7, -1, 3, 1},
               {-5, +1, 3, 1}, {INT32_MIN, -1, 3, 2}, {INT32_MAX, +1, 3, 0}};
  for (const auto& c : cases) {
    int32_t program = c.program;
    ASSERT_TRUE(StepProgram(program, c.step, c.count));
    EXPECT_EQ(c.expected, program) << c.program << " " << c.step;
  }
  int32_t program = 4;
  EXPECT_FALSE(StepProgram(program, +1, 0));
}

}  // namespace
