// The transport bar's texts and controls and the keyboard shortcuts of both modes, driven frame
// by frame through the frame's input on a compiled song and the MDX player's state, with the
// engines' clock in the test's hands.
#include <initializer_list>
#include <ostream>
#include <tuple>
#include <string>
#include <vector>

#include "app/engine/mdx/mdx_player.h"
#include "app/engine/mml/mml_compile.h"
#include "app/engine/sequencer/sequencer.h"
#include "app/shell/app_state.h"
#include "app/shell/frame_input.h"
#include "app/shell/shell_tables.h"
#include "app/shell/transport.h"
#include "tests/app/shell/shell_fixture.h"
#include "tests/support/engine/plugin_fixture.h"

namespace {

uint64_t g_now = 0;
uint64_t Now() { return g_now; }

constexpr int32_t kHalfWidth = 649, kHalfHeight = 377;
// Twenty seconds of whole notes at tempo 120.
const char kSong[] = ".cat Transport\r\n(t1) t120 o4 l1 c c c c c c c c c c\r\n";

TEST(TransportText, PositionTimeAndLevelReadAsTheBarShowsThem) {
  EXPECT_STREQ("  0.1", FormatSongPosition(0.0).text);
  EXPECT_STREQ("  1.2", FormatSongPosition(240.9).text);
  for (const auto& [now, base, shown] : {std::tuple<uint64_t, uint64_t, std::vector<int32_t>>{61500000, 0, {1, 1, 500}},
                                         {1000, 5000, {0, 0, 0}}}) {  // before the clock base
    const ElapsedTime e = ElapsedSince(now, base);
    EXPECT_EQ(shown, (std::vector<int32_t>{e.minutes, e.seconds, e.milliseconds})) << now;
  }
  EXPECT_EQ(0, LevelPercent(0.5f));
  EXPECT_EQ(100, LevelPercent(1.0f));
}

class TransportTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    g_now = 10000000;
    SetSequencerClock(Now);
    CompileMmlFromMemory(kSong, sizeof kSong - 1, nullptr);
    PlaySequencerFromTop();
    g_mdx.state.Reset();
    const ButtonImages noImages = {};
    LayOutInterface(g_app, noImages);
    Frame();  // moves the buttons to their places
  }
  void TearDown() override {
    StopAllSongEngines();
    g_mdx.state.Reset();
    SetSequencerClock(nullptr);
    ResetPluginSlots();
    ShellTest::TearDown();
  }

  // One frame of the current mode: its transport with the mouse at (x, y), then its keys with
  // `keys` down.
  static void Frame(int x = 0, int y = 0, bool down = false, std::initializer_list<int> keys = {}) {
    SetInput(x, y, down);
    for (char& key : g_frameInput.keys) key = 0;
    for (int key : keys) g_frameInput.keys[key] = 1;
    if (g_app.mode == kModeMdxPlayer) {
      UpdatePlayerTransport(kHalfWidth, kHalfHeight);
      HandlePlayerKeys();
    } else {
      UpdateSequencerTransport(kHalfWidth, kHalfHeight);
      HandleSequencerKeys();
    }
  }
  // A frame with the left button down on the button's middle (or up).
  static void OnButton(int index, bool down, std::initializer_list<int> keys = {}) {
    const ImageButton& b = g_shell.buttons[index];
    Frame(b.x + b.width / 2, b.y + b.height / 2, down, keys);
  }
  static void Click(int index) {
    OnButton(index, true);
    OnButton(index, false);
  }
  static void Press(int key) {
    Frame(0, 0, false, {key});
    Frame();
  }
};

TEST_F(TransportTest, LevelButtonsStepTheMasterLevelAndStopAtItsEnds) {
  for (int32_t mode : {kModeSequencer, kModeMdxPlayer}) {
    SCOPED_TRACE(mode);
    g_app.mode = mode;
    float& level = mode == kModeMdxPlayer ? g_mdx.state.volumeScale : g_songs[0].volumeScale;
    level = 1.0f;
    Click(kLevelUpButton);
    EXPECT_EQ(100, LevelPercent(level));
    Click(kLevelDownButton);
    Click(kLevelDownButton);
    EXPECT_NEAR(0.98f, level, 1e-5f);
    for (int i = 0; i < 60; ++i) Click(kLevelDownButton);
    EXPECT_EQ(0.5f, level);
    EXPECT_EQ(0, LevelPercent(level));
    Click(kLevelUpButton);
    EXPECT_NEAR(0.51f, level, 1e-5f);
  }
}

// What the controls change: the song's pause and place, the player's state and place, and the view.
struct Observed {
  int songPaused, songAtTop, playerPlaying, playerAtTop, zoom, columnStep, rowHeight, peakScale;
  bool operator==(const Observed& o) const {
    return std::tie(songPaused, songAtTop, playerPlaying, playerAtTop, zoom, columnStep, rowHeight, peakScale) ==
           std::tie(o.songPaused, o.songAtTop, o.playerPlaying, o.playerAtTop, o.zoom, o.columnStep, o.rowHeight,
                    o.peakScale);
  }
};
std::ostream& operator<<(std::ostream& os, const Observed& o) {
  return os << o.songPaused << o.songAtTop << " " << o.playerPlaying << o.playerAtTop << " " << o.zoom << "/"
            << o.columnStep << " " << o.rowHeight << "/" << o.peakScale;
}
Observed Observe() {
  return {g_songs[0].paused,      g_songs[0].tickPosition == 0.0, g_mdx.state.playing, g_mdx.state.tickPosition == 0.0,
          g_app.zoom,             g_app.columnStep,               g_app.rowHeight,     g_app.peakScale};
}

enum Start { kPlaying, kPaused, kStopped, kEnded };

TEST_F(TransportTest, KeysAndButtonsDriveTheEngineOfTheMode) {
  // The view starts at zoom 4 (column step 8) and row height 19 (peak scale 4079); the song and the
  // player stand away from the top. `button`: the control is a button index, else a key code.
  const struct {
    int32_t mode;
    Start start;
    bool button;
    int control;
    Observed after;
  } cases[] = {
      {kModeSequencer, kPlaying, false, kKeyPad0, {1, 0, 0, 0, 4, 8, 19, 4079}},
      {kModeSequencer, kPaused, false, kKeyPadEnter, {0, 0, 0, 0, 4, 8, 19, 4079}},
      {kModeSequencer, kPlaying, false, kKeyPadDecimal, {0, 1, 0, 0, 4, 8, 19, 4079}},
      {kModeSequencer, kPaused, false, kKeySpace, {0, 1, 0, 0, 4, 8, 19, 4079}},
      {kModeSequencer, kPlaying, false, kKeyLeftBracket, {0, 0, 0, 0, 4, 8, 18, 4653}},
      {kModeSequencer, kPlaying, false, kKeyG, {0, 0, 0, 0, 5, 10, 19, 4079}},
      {kModeSequencer, kPlaying, true, kTransportButton + 1, {1, 0, 0, 0, 4, 8, 19, 4079}},
      {kModeSequencer, kPaused, true, kTransportButton + 1, {1, 1, 0, 0, 4, 8, 19, 4079}},
      {kModeSequencer, kPaused, true, kTransportButton + 2, {0, 0, 0, 0, 4, 8, 19, 4079}},
      {kModeSequencer, kPlaying, true, kZoomButtonA, {0, 0, 0, 0, 3, 6, 19, 4079}},
      {kModeMdxPlayer, kStopped, false, kKeyPad0, {0, 0, 1, 0, 4, 8, 19, 4079}},
      {kModeMdxPlayer, kPlaying, false, kKeyPadEnter, {0, 0, 0, 0, 4, 8, 19, 4079}},
      {kModeMdxPlayer, kEnded, false, kKeyPadEnter, {0, 0, 1, 1, 4, 8, 19, 4079}},
      {kModeMdxPlayer, kPlaying, false, kKeySpace, {0, 0, 1, 1, 4, 8, 19, 4079}},
      {kModeMdxPlayer, kPlaying, true, kTransportButton, {0, 0, 0, 1, 4, 8, 19, 4079}},
      {kModeMdxPlayer, kPlaying, true, kTransportButton + 1, {0, 0, 0, 0, 4, 8, 19, 4079}},
      {kModeMdxPlayer, kStopped, true, kTransportButton + 2, {0, 0, 1, 0, 4, 8, 19, 4079}},
      {kModeMdxPlayer, kPlaying, true, kZoomButtonB, {0, 0, 1, 0, 5, 2088, 19, 4079}},
      {kModeMdxPlayer, kPlaying, true, kRowButtonA, {0, 0, 1, 0, 4, 8, 18, 4653}},
  };
  for (const auto& c : cases) {
    TearDown();
    SetUp();
    g_app.mode = c.mode;
    g_songs[0].tickPosition = 1000.0;
    if (c.start == kPaused) PauseSequencer();
    if (c.mode == kModeMdxPlayer) g_mdx.state.playing = c.start == kPlaying ? 1 : c.start == kEnded ? 2 : 0;
    g_mdx.state.tickPosition = 500.0;
    c.button ? Click(c.control) : Press(c.control);
    EXPECT_EQ(c.after, Observe()) << "mode " << c.mode << ", start " << c.start << ", control " << c.control;
  }
}

// The limits of the view: zoom 1-16 and rows of 16-32 pixels, by the keys.
TEST_F(TransportTest, ZoomAndRowHeightStopAtTheirLimits) {
  g_app.zoom = 16;
  g_app.rowHeight = 16;
  Press(kKeyG);
  Press(kKeyLeftBracket);
  EXPECT_EQ((std::vector<int32_t>{16, 557 / 16, 16, 5446}),
            (std::vector<int32_t>{g_app.zoom, g_app.columnStep, g_app.rowHeight, g_app.peakScale}));
  g_app.zoom = 1;
  g_app.rowHeight = 32;
  Press(kKeyH);
  Press(kKeyRightBracket);
  EXPECT_EQ((std::vector<int32_t>{1, 34 / 16, 32, 2331}),
            (std::vector<int32_t>{g_app.zoom, g_app.columnStep, g_app.rowHeight, g_app.peakScale}));
}

// Keys 1-8 switch an FM track's mute as its mute button does, in the mixer and in the player, and
// the second press switches it back.
TEST_F(TransportTest, PlayerKeys1To8SwitchTheFmTracksMutes) {
  g_app.mode = kModeMdxPlayer;
  Press(kKeyMain1 + 2);
  EXPECT_EQ(1, g_app.mute[2]);
  EXPECT_EQ(1, g_mdx.state.mute[2]);
  EXPECT_EQ(1, g_songs[0].tracks[2].mute);
  Press(kKeyMain1 + 7);
  Press(kKeyMain1 + 2);
  EXPECT_EQ((std::vector<int>{0, 1}), (std::vector<int>{g_app.mute[2], g_app.mute[7]}));
  EXPECT_EQ((std::vector<int>{0, 1}), (std::vector<int>{g_mdx.state.mute[2], g_mdx.state.mute[7]}));
}

// One frame of fast-forward: the button and the keypad plus held or not, how far the song moved
// and the master volume after it.
struct FastForwardFrame {
  bool button, key;
  uint64_t movedMs;
  float master;
};

TEST_F(TransportTest, FastForwardMovesOnAtAFifthOfTheMasterAndGivesItBackOnceAllAreReleased) {
  const struct {
    const char* name;
    bool paused;
    std::vector<FastForwardFrame> frames;
  } cases[] = {
      {"button", false, {{true, false, 200, 0.16f}, {true, false, 200, 0.16f}, {false, false, 0, 0.8f}}},
      {"key", false, {{false, true, 400, 0.16f}, {false, true, 400, 0.16f}, {false, false, 0, 0.8f}}},
      {"button, then the key too, released one by one",
       false,
       {{true, false, 200, 0.16f},
        {true, true, 600, 0.16f},
        {false, true, 400, 0.16f},
        {false, false, 0, 0.8f}}},
      {"key, then the button too, released together",
       false,
       {{false, true, 400, 0.16f}, {true, true, 600, 0.16f}, {false, false, 0, 0.8f}}},
      {"nothing while paused", true, {{true, true, 0, 0.8f}, {false, false, 0, 0.8f}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    g_app.volume[kMasterChannel] = 0.8f;
    if (c.paused) PauseSequencer();
    for (size_t f = 0; f < c.frames.size(); ++f) {
      const FastForwardFrame& frame = c.frames[f];
      const uint64_t base = g_songs[0].clockBase;
      std::initializer_list<int> none = {}, plus = {kKeyPadPlus};
      OnButton(kTransportButton + 3, frame.button, frame.key ? plus : none);
      EXPECT_EQ(frame.movedMs * 1000, base - g_songs[0].clockBase) << "frame " << f;
      EXPECT_FLOAT_EQ(frame.master, g_app.volume[kMasterChannel]) << "frame " << f;
    }
  }
}

}  // namespace
