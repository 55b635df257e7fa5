// The transport bar's texts and controls and the keyboard shortcuts of both modes, driven frame
// by frame through the frame's input on a compiled song and the MDX player's state, with the
// engines' clock in the test's hands.
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/engine/mdx_player.h"
#include "app/engine/mml_compile.h"
#include "app/engine/sequencer.h"
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
  EXPECT_STREQ(" 12.4", FormatSongPosition(12 * 192 + 3 * 48).text);
  const struct {
    uint64_t now, base;
    int32_t minutes, seconds, milliseconds;
  } times[] = {
      {61500000, 0, 1, 1, 500},
      {5000000 + 61999999, 5000000, 1, 1, 999},
      {1000, 5000, 0, 0, 0},  // before the clock base
  };
  for (const auto& t : times) {
    const ElapsedTime e = ElapsedSince(t.now, t.base);
    EXPECT_EQ((std::vector<int32_t>{t.minutes, t.seconds, t.milliseconds}),
              (std::vector<int32_t>{e.minutes, e.seconds, e.milliseconds}))
        << t.now;
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

// A control (a key, or a transport button when `button` is set) in a starting state, and the
// state it leads to.
struct ControlCase {
  const char* name;
  int32_t mode;
  std::function<void()> before;
  int control;
  bool button;
  std::function<void()> expect;
};

void SequencerPaused() { PauseSequencer(); }
void SequencerAt1000Ticks() { g_songs[0].tickPosition = 1000.0; }
void PlayerState(int32_t playing) {
  g_mdx.state.playing = playing;
  g_mdx.state.tickPosition = 500.0;
}

TEST_F(TransportTest, KeysAndTransportButtonsDriveTheModesEngine) {
  SongEngine& song = g_songs[0];
  MdxPlayerState& player = g_mdx.state;
  const std::vector<ControlCase> cases = {
      {"MML keypad 0 pauses", kModeSequencer, [] {}, kKeyPad0, false, [&] { EXPECT_EQ(1, song.paused); }},
      {"MML keypad Enter resumes", kModeSequencer, SequencerPaused, kKeyPadEnter, false,
       [&] { EXPECT_EQ(0, song.paused); }},
      {"MML keypad point rewinds", kModeSequencer, SequencerAt1000Ticks, kKeyPadDecimal, false,
       [&] { EXPECT_EQ(0.0, song.tickPosition); }},
      {"MML Space plays from the top", kModeSequencer,
       [] {
         SequencerAt1000Ticks();
         SequencerPaused();
       },
       kKeySpace, false,
       [&] {
         EXPECT_EQ(0, song.paused);
         EXPECT_EQ(0.0, song.tickPosition);
       }},
      {"MML [ lowers the rows", kModeSequencer, [] {}, kKeyLeftBracket, false,
       [] { EXPECT_EQ((std::vector<int32_t>{18, 4653}), (std::vector<int32_t>{g_app.rowHeight, g_app.peakScale})); }},
      {"MML ] stops at 32 rows", kModeSequencer, [] { g_app.rowHeight = 32; }, kKeyRightBracket, false,
       [] { EXPECT_EQ((std::vector<int32_t>{32, 2331}), (std::vector<int32_t>{g_app.rowHeight, g_app.peakScale})); }},
      {"MML G zooms out", kModeSequencer, [] {}, kKeyG, false,
       [] { EXPECT_EQ((std::vector<int32_t>{5, 10}), (std::vector<int32_t>{g_app.zoom, g_app.columnStep})); }},
      {"MML H stops at zoom 1", kModeSequencer, [] { g_app.zoom = 1; }, kKeyH, false,
       [] { EXPECT_EQ((std::vector<int32_t>{1, 2}), (std::vector<int32_t>{g_app.zoom, g_app.columnStep})); }},
      {"MML stop button pauses a playing song", kModeSequencer, SequencerAt1000Ticks, kTransportButton + 1, true,
       [&] { EXPECT_EQ(1, song.paused); }},
      {"MML stop button rewinds a paused one", kModeSequencer,
       [] {
         SequencerAt1000Ticks();
         SequencerPaused();
       },
       kTransportButton + 1, true,
       [&] {
         EXPECT_EQ(1, song.paused);
         EXPECT_EQ(0.0, song.tickPosition);
       }},
      {"MML play button resumes", kModeSequencer, SequencerPaused, kTransportButton + 2, true,
       [&] { EXPECT_EQ(0, song.paused); }},
      {"MML zoom button A zooms in, in sequencer columns", kModeSequencer, [] {}, kZoomButtonA, true,
       [] { EXPECT_EQ((std::vector<int32_t>{3, 6}), (std::vector<int32_t>{g_app.zoom, g_app.columnStep})); }},
      {"MDX zoom button B zooms out, in player columns", kModeMdxPlayer, [] {}, kZoomButtonB, true,
       [] { EXPECT_EQ((std::vector<int32_t>{5, 2088}), (std::vector<int32_t>{g_app.zoom, g_app.columnStep})); }},
      {"MDX row button B", kModeMdxPlayer, [] {}, kRowButtonB, true,
       [] { EXPECT_EQ((std::vector<int32_t>{20, 4079}), (std::vector<int32_t>{g_app.rowHeight, g_app.peakScale})); }},
      {"MDX keypad 0 resumes a stopped song", kModeMdxPlayer, [] { PlayerState(0); }, kKeyPad0, false,
       [&] { EXPECT_EQ(1, player.playing); }},
      {"MDX keypad Enter pauses a playing song", kModeMdxPlayer, [] { PlayerState(1); }, kKeyPadEnter, false,
       [&] { EXPECT_EQ(0, player.playing); }},
      {"MDX keypad Enter restarts an ended song", kModeMdxPlayer, [] { PlayerState(2); }, kKeyPadEnter, false,
       [&] {
         EXPECT_EQ(1, player.playing);
         EXPECT_EQ(0.0, player.tickPosition);
       }},
      {"MDX Space restarts a playing song", kModeMdxPlayer, [] { PlayerState(1); }, kKeySpace, false,
       [&] {
         EXPECT_EQ(1, player.playing);
         EXPECT_EQ(0.0, player.tickPosition);
       }},
      {"MDX rewind button", kModeMdxPlayer, [] { PlayerState(1); }, kTransportButton, true,
       [&] { EXPECT_EQ(0.0, player.tickPosition); }},
      {"MDX stop button pauses a playing song", kModeMdxPlayer, [] { PlayerState(1); }, kTransportButton + 1, true,
       [&] {
         EXPECT_EQ(0, player.playing);
         EXPECT_EQ(500.0, player.tickPosition);
       }},
      {"MDX play button resumes a stopped song", kModeMdxPlayer, [] { PlayerState(0); }, kTransportButton + 2, true,
       [&] { EXPECT_EQ(1, player.playing); }},
  };
  for (const ControlCase& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    g_app.mode = c.mode;
    c.before();
    c.button ? Click(c.control) : Press(c.control);
    c.expect();
  }
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
