// The application state: its start values, its GDI objects, the start-up layout of the shell's
// tables, and the mute and solo logic with the song's mute bytes following it.
#include <windows.h>

#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/engine/midi_input.h"
#include "app/shell/app_state.h"
#include "app/shell/shell_tables.h"
#include "tests/app/shell/shell_fixture.h"

namespace {

TEST(AppState, AFreshStateHoldsTheStartValues) {
  g_midiInput.currentTrack = 7;
  auto app = std::make_unique<AppState>();
  const struct {
    const char* name;
    double value, expected;
  } fields[] = {
      {"instrument pane shown", double(app->instrumentPaneShown), 1},
      {"inspector pane shown", double(app->inspectorPaneShown), 1},
      {"current track", double(app->currentTrack), 1},
      {"current track the keyboard plays", double(g_midiInput.currentTrack), 1},
      {"zoom", double(app->zoom), 4},
      {"row height", double(app->rowHeight), 19},
      {"column step", double(app->columnStep), 8},
      {"peak scale", double(app->peakScale), 4079},
      {"scroll position", double(app->scrollPosition), 22},
      {"fast-forward volume (button)", double(app->fastForwardVolumeButton), 1.0},
      {"fast-forward volume (key)", double(app->fastForwardVolumeKey), 1.0},
      {"inspector pan", double(app->inspector.pan), 64},
  };
  for (const auto& f : fields) EXPECT_EQ(f.value, f.expected) << f.name;
  EXPECT_STREQ(app->renderFileName, "mix.wav");
  for (int c = 0; c < kMixerChannelCount; ++c) {
    EXPECT_EQ(app->pan[c], 0.5f) << c;
    EXPECT_EQ(app->volume[c], 1.0f) << c;
  }
  for (int slot = 0; slot < kPluginSlotCount; ++slot) {
    EXPECT_EQ(app->power[slot], 1) << slot;
    EXPECT_EQ(app->pluginOutsideFolder[slot], 1) << slot;
  }
  for (int lane = 0; lane < kPeakTableCount; ++lane) EXPECT_EQ(app->peakChannels[lane], 1) << lane;
}

// A font's face name as CreateFontA took it (code page 932 bytes).
std::string FaceOf(const LOGFONTA& font) { return font.lfFaceName; }

TEST(AppState, MakesItsFontsAndBrushesAndDeletesThemWithItself) {
  auto app = std::make_unique<AppState>();
  const struct {
    HFONT font;
    LONG height;
    const char* face;
  } fonts[] = {{app->pluginWindowFont, 10, "ＭＳ ゴシック"}, {app->dialogFont, 13, "ＭＳ Ｐゴシック"}};
  std::vector<HGDIOBJ> objects;
  for (const auto& f : fonts) {
    LOGFONTA font = {};
    ASSERT_EQ(GetObjectA(f.font, sizeof font, &font), int(sizeof font));
    EXPECT_EQ(font.lfHeight, f.height);
    EXPECT_EQ(font.lfWeight, FW_NORMAL);
    EXPECT_EQ(font.lfCharSet, SHIFTJIS_CHARSET);
    EXPECT_EQ(font.lfQuality, PROOF_QUALITY);
    EXPECT_EQ(FaceOf(font), f.face);
    objects.push_back(f.font);
  }
  const COLORREF colors[kShellBrushCount] = {0x444444, 0xCCCCCC, 0x44CCCC};
  for (int i = 0; i < kShellBrushCount; ++i) {
    LOGBRUSH brush = {};
    ASSERT_EQ(GetObjectA(app->brushes[i], sizeof brush, &brush), int(sizeof brush));
    EXPECT_EQ(brush.lbStyle, UINT(BS_SOLID));
    EXPECT_EQ(brush.lbColor, colors[i]);
    objects.push_back(app->brushes[i]);
  }
  app.reset();
  for (HGDIOBJ object : objects) EXPECT_EQ(GetObjectType(object), 0u);
}

TEST_F(ShellTest, TheStartUpLayoutPlacesEveryButtonWithItsTiles) {
  ButtonImages images;
  for (int sheet = 0; sheet < kButtonSheetCount; ++sheet) {
    for (int tile = 0; tile < kMaxSheetTiles; ++tile) images.tiles[sheet][tile] = 100 * (sheet + 1) + tile;
  }
  for (uint8_t& open : g_app.windowOpen) open = 1;
  g_shell.buttons[kLevelUpButton].held = 1;
  g_shell.sliders[kSendLevel2].dragging = 1;
  LayOutInterface(g_app, images);

  // Tile t of sheet s is graph 100 (s + 1) + t.
  const struct {
    const char* name;
    const ImageButton& button;
    ImageButton expected;
  } buttons[] = {
      {"instrument edit 7", g_shell.buttons[7], {14, 130, 10, 10, 100, 101, 0, 0}},
      {"insert edit 4", g_shell.buttons[12], {14, 82, 10, 10, 100, 101, 0, 0}},
      {"send 2", g_shell.buttons[14], {14, 34, 10, 10, 200, 201, 0, 0}},
      {"transport 2", g_shell.buttons[18], {-12, 2, 19, 13, 301, 305, 0, 0}},
      {"zoom A", g_shell.buttons[21], {1290, 746, 7, 7, 401, 403, 0, 0}},
      {"row A", g_shell.buttons[23], {1283, 746, 7, 7, 400, 402, 0, 0}},
      {"level down", g_shell.buttons[26], {139, 9, 7, 7, 400, 402, 0, 0}},
      {"mute 18", g_shell.muteButtons[18], {14, 266, 9, 9, 500, 502, 0, 0}},
      {"solo 0", g_shell.soloButtons[0], {23, 32, 9, 9, 501, 503, 0, 0}},
  };
  for (const auto& b : buttons) EXPECT_EQ(std::memcmp(&b.button, &b.expected, sizeof b.expected), 0) << b.name;
  const PaneRect panes[3] = {g_app.instrumentPane, g_app.inspectorTop, g_app.inspectorBelow};
  const PaneRect expected[3] = {{4, 22, 112, 129}, {4, 22, 112, 218}, {4, 155, 112, 218}};
  EXPECT_EQ(std::memcmp(panes, expected, sizeof panes), 0);
  // Only the windows of the instrument channels 0-7 start closed.
  for (int slot = 0; slot < kPluginSlotCount; ++slot) EXPECT_EQ(g_app.windowOpen[slot], slot < 40 ? 0 : 1) << slot;
  for (const Slider& slider : g_shell.sliders) EXPECT_EQ(slider.dragging, 0);
}

// One click on a channel's buttons and the mixer state after it.
struct MuteSoloStep {
  int channel, mute, solo;  // the click (a flag counts only when it is 1)
  std::set<int> muted, userMuted, soloed;
  int soloCount;
};

std::set<int> AllBut(std::set<int> heard) {
  std::set<int> muted;
  for (int c = 0; c < kMixerChannelCount; ++c) {
    if (!heard.count(c)) muted.insert(c);
  }
  return muted;
}

std::set<int> Set(const uint8_t (&flags)[kMixerChannelCount]) {
  std::set<int> set;
  for (int c = 0; c < kMixerChannelCount; ++c) {
    if (flags[c]) set.insert(c);
  }
  return set;
}

TEST_F(ShellTest, MuteAndSoloClicksKeepTheUsersMutesAndTheSongFollows) {
  const struct {
    const char* name;
    std::set<int> userMuted;     // before the first click
    std::set<int> strayingSolo;  // solo flags set with the count left at 0
    std::vector<MuteSoloStep> steps;
  } cases[] = {
      {"without a solo a mute click toggles the channel",
       {},
       {},
       {{4, 1, 0, {4}, {4}, {}, 0}, {4, 1, 0, {}, {}, {}, 0}}},
      {"a solo mutes every other channel, and ending it restores the user's mutes",
       {5},
       {},
       {{3, 0, 1, AllBut({3}), {5}, {3}, 1}, {3, 0, 1, {5}, {5}, {}, 0}}},
      {"soloing a channel the user muted lets it be heard",
       {3},
       {},
       {{3, 0, 1, AllBut({3}), {3}, {3}, 1}, {3, 0, 1, {3}, {3}, {}, 0}}},
      {"muting the only soloed channel ends the solo and keeps it muted",
       {5},
       {},
       {{3, 0, 1, AllBut({3}), {5}, {3}, 1}, {3, 1, 0, {3, 5}, {3, 5}, {}, 0}}},
      {"unmuting a channel under a solo, or soloing it, adds it to the solo",
       {},
       {},
       {{3, 0, 1, AllBut({3}), {}, {3}, 1},
        {7, 1, 0, AllBut({3, 7}), {}, {3, 7}, 2},
        {18, 0, 1, AllBut({3, 7, 18}), {}, {3, 7, 18}, 3},
        {3, 0, 1, AllBut({7, 18}), {}, {7, 18}, 2},
        {18, 0, 1, AllBut({7}), {}, {7}, 1},
        {7, 1, 0, {7}, {7}, {}, 0}}},
      {"a click on both buttons mutes first, then solos", {}, {}, {{2, 1, 1, AllBut({2}), {2}, {2}, 1}}},
      {"flags other than 1 and channels outside 0-18 are no clicks",
       {6},
       {},
       {{3, 2, -1, {6}, {6}, {}, 0}, {19, 1, 1, {6}, {6}, {}, 0}, {-1, 1, 1, {6}, {6}, {}, 0}}},
      {"a solo flag without a count is dropped and the user's mutes return",
       {6},
       {4},
       {{4, 0, 1, {6}, {6}, {}, 0}, {9, 1, 0, {6, 9}, {6, 9}, {}, 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    InitAppDefaults(g_app);
    for (int channel : c.userMuted) g_app.mute[channel] = g_app.userMute[channel] = 1;
    for (int channel : c.strayingSolo) g_app.solo[channel] = 1;
    for (int channel = 0; channel < kMixerChannelCount; ++channel)
      g_songs[0].tracks[channel].mute = g_app.mute[channel];
    for (size_t i = 0; i < c.steps.size(); ++i) {
      const MuteSoloStep& s = c.steps[i];
      SCOPED_TRACE(testing::Message() << "click " << i);
      g_app.ToggleMuteSolo(s.channel, s.mute, s.solo);
      EXPECT_EQ(Set(g_app.mute), s.muted);
      EXPECT_EQ(Set(g_app.userMute), s.userMuted);
      EXPECT_EQ(Set(g_app.solo), s.soloed);
      EXPECT_EQ(g_app.soloCount, s.soloCount);
      for (int channel = 0; channel < kMixerChannelCount; ++channel)
        EXPECT_EQ(g_songs[0].tracks[channel].mute, g_app.mute[channel]) << "song track " << channel;
    }
  }
}

}  // namespace
