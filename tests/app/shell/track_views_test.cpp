// The track views drawn on the software renderer and read back from the draw screen: the MDX
// track list's columns, headers, scrolling bytes and the current column; clicks that select a
// track and reach the mute bytes; the end of the song; and the piano roll's bands, bar lines,
// notes and page, with the peak tables BuildPeakData builds for a sample bank.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "app/engine/mdx/mdx_player.h"
#include "app/engine/mml/mml_compile.h"
#include "app/engine/sequencer/sequencer.h"
#include "app/shell/app_state.h"
#include "app/shell/frame_input.h"
#include "app/shell/tracks/piano_roll_geometry.h"
#include "app/shell/shell_tables.h"
#include "app/shell/tracks/track_views.h"
#include "tests/app/shell/shell_fixture.h"
#include "zovuz/zovuz.h"

namespace {

constexpr PaneRect kArea{4, 22, 600, 500};

// `over` blended on black at alpha/255, each channel within one step.
bool Blended(uint32_t pixel, uint32_t over, int alpha) {
  for (int shift = 0; shift < 24; shift += 8) {
    const int got = (pixel >> shift) & 0xFF, want = ((over >> shift) & 0xFF) * alpha / 255;
    if (got < want - 1 || got > want + 1) return false;
  }
  return true;
}

class TrackViewTest : public ShellDrawTest {
 protected:
  void SetUp() override {
    ShellDrawTest::SetUp();
    for (int c = 0; c < kMixerChannelCount; ++c) {
      for (ImageButton* b : {&g_shell.muteButtons[c], &g_shell.soloButtons[c]}) b->width = b->height = 8;
    }
    g_app.trackAreaFull = kArea;
  }
  void TearDown() override {
    for (uint8_t*& data : g_mdx.trackData) data = nullptr;
    g_mdx.state.Reset();
    g_mdx.state.trackCount = 0;
    FreePeakData(g_app);
    ShellTest::TearDown();
  }
};

// ---------------------------------------------------------------------------
// MDX mode.

class TrackListTest : public TrackViewTest {
 protected:
  void SetUp() override {
    TrackViewTest::SetUp();
    MdxPlayerState& s = g_mdx.state;
    s.trackCount = kMdxTrackCount;
    s.playing = 1;
    for (int t = 0; t < kMdxTrackCount; ++t) {
      // Rests with a volume command among them; tracks 5 and 13 are empty.
      data[t].assign(t == 5 || t == 13 ? 2 : 64, 0x10);
      if (data[t].size() > 40) data[t][30] = 0xFB, data[t][31] = 15;
      g_mdx.trackData[t] = data[t].data();
      s.trackLength[t] = static_cast<uint16_t>(data[t].size());
      s.enabled[t] = t != 4;
    }
  }
  static void Frame(int x = 0, int y = 0, bool down = false) {
    Clear();
    SetInput(x, y, down);
    DrawPlayerTrackList(1);
  }
  // Column t's left and top in the 16-track layout (V = 244).
  static int Left(int t) { return kArea.x + 60 * (t % 8); }
  static int Top(int t) { return t < 8 ? kArea.y : kArea.y + 10 + 244; }
  std::vector<uint8_t> data[kMdxTrackCount];
};

TEST_F(TrackListTest, ColumnsOfTheNonEmptyTracksWithHeadersInTheirColours) {
  g_app.SetCurrentTrack(9);
  Frame();
  for (int t = 0; t < kMdxTrackCount; ++t) {
    SCOPED_TRACE(testing::Message() << "track " << t);
    const bool empty = t == 5 || t == 13;
    const uint32_t colour = t == 4 ? kDisabledTrackColour : kRowColours[t];
    if (t != 9) {
      EXPECT_EQ(!empty, BoxHolds(Left(t) + 2, Top(t), Left(t) + 30, Top(t) + 10, colour));
    }
    // The current column alone is overlaid in white at alpha 64.
    const uint32_t blank = Pixel(Left(t) + 55, Top(t) + 200);
    if (t == 9)
      EXPECT_PRED3(Blended, blank, 0xFFFFFFu, 64);
    else
      EXPECT_EQ(0u, blank);
  }
}

TEST_F(TrackListTest, ANineTrackSongPutsItsPcmTrackBesideTheFmTracksAtFullHeight) {
  g_mdx.state.trackCount = 9;
  g_mdx.state.readPosition[8] = 40;  // 20 rows kept above: byte 38 is the one being played
  Frame(kArea.x + 480 + 30, kArea.y + 400, true);
  EXPECT_EQ(8, g_app.currentTrack);  // the column reaches down the whole height
  g_app.SetCurrentTrack(0);
  Frame();
  EXPECT_TRUE(BoxHolds(kArea.x + 482, kArea.y, kArea.x + 510, kArea.y + 10, kRowColours[8]));
  const int row38 = kArea.y + 20 + 10 * 18;
  EXPECT_TRUE(BoxHolds(kArea.x + 482, row38, kArea.x + 496, row38 + 10, 0xFFFFFF));
  EXPECT_FALSE(BoxHolds(Left(8), Top(8), Left(8) + 30, Top(8) + 10, kRowColours[8]));
}

TEST_F(TrackListTest, TheBytesScrollUnderThePlayPositionWithTheByteBeingPlayedInWhite) {
  g_mdx.state.readPosition[0] = 30;  // rows from byte 20: byte 28 is the one being played
  Frame();
  const int x = Left(0) + 2, row28 = Top(0) + 20 + 10 * 8;
  EXPECT_TRUE(BoxHolds(x, row28, x + 14, row28 + 10, 0xFFFFFF));
  EXPECT_FALSE(BoxHolds(x, row28 - 20, x + 14, row28 - 10, 0xFFFFFF));
  // Byte 31 is the volume command's parameter: grey; byte 32 starts a command again.
  const int row31 = Top(0) + 20 + 10 * 11;
  EXPECT_TRUE(BoxHolds(x, row31, x + 14, row31 + 10, 0x888888));
  EXPECT_TRUE(BoxHolds(x, row31 + 10, x + 14, row31 + 20, kRowColours[0]));
  EXPECT_EQ(0, g_app.song.shownCommandBytes);
}

TEST_F(TrackListTest, ClicksSelectTracksAndReachTheMuteBytes) {
  Frame(Left(10) + 30, Top(10) + 100, true);  // a PCM column of the second row
  EXPECT_EQ(10, g_app.currentTrack);
  Frame();  // lets go
  const ImageButton& mute = g_shell.muteButtons[2];
  EXPECT_EQ(Left(2) + 20, mute.x);
  Frame(mute.x + 4, mute.y + 4, true);
  EXPECT_EQ(2, g_app.currentTrack);
  EXPECT_EQ(1, g_mdx.state.mute[2]);
  EXPECT_EQ(1, g_songs[0].tracks[2].mute);
  Frame();
  const ImageButton& solo = g_shell.soloButtons[7];
  Frame(solo.x + 4, solo.y + 4, true);
  Frame();  // the columns left of track 7 take the solo's mutes on the next frame
  for (int t : {0, 2, 14}) EXPECT_EQ(1, g_mdx.state.mute[t]) << t;
  EXPECT_EQ(0, g_mdx.state.mute[7]);
}

TEST_F(TrackListTest, TheMixerIsCopiedAndTheSongEndsWhenNoTrackIsLeft) {
  g_app.pan[3] = 0.25f;
  g_app.volume[3] = 0.5f;
  g_app.sendSwitches[3 * kPluginPositionCount + 1] = 1;
  g_app.sendLevels[3 * kPluginPositionCount + 1] = 0.75f;
  Frame();
  EXPECT_FLOAT_EQ(0.25f, g_mdx.state.channelPan[3]);
  EXPECT_FLOAT_EQ(0.5f, g_mdx.state.channelVolume[3]);
  EXPECT_EQ(1, g_mdx.state.sendOn[3][1]);
  EXPECT_FLOAT_EQ(0.75f, g_mdx.state.sendLevel[3][1]);
  EXPECT_EQ(1, g_mdx.state.playing);
  for (uint8_t& on : g_mdx.state.enabled) on = 0;
  Frame();
  EXPECT_EQ(2, g_mdx.state.playing);
}

// ---------------------------------------------------------------------------
// MML mode.

// Track 1 spans an octave and a half; track 2 two notes, the second far to the right.
const char kRoll[] =
    "(t1) o4 l4 c e g > c e g\r\n"
    "(t2) o4 l1 c r r r r r r r r r r r r r r r r r r r r r r r r r r r r r r r r r r r d\r\n";

// AppState's four arrays of peak tables.
std::array<int32_t**, 4> PeakTableArrays() {
  return {g_app.peakMaxLeft, g_app.peakMinLeft, g_app.peakMaxRight, g_app.peakMinRight};
}

class PianoRollTest : public TrackViewTest {
 protected:
  void SetUp() override {
    TrackViewTest::SetUp();
    CompileMmlFromMemory(kRoll, sizeof kRoll - 1, nullptr);
    ASSERT_EQ(1, g_songs[0].loaded);
    BuildPeakData();
    g_app.zoom = 2;
    g_app.rowHeight = 20;
    Clear();
  }
  void TearDown() override {
    ResetSongEngine();
    TrackViewTest::TearDown();
  }
  static void Draw() {
    g_app.SetCurrentTrack(kMasterChannel);  // no overlay on the rows the tests read
    Clear();
    DrawSequencerTrackView(1);
  }
  static int RowTop(int r) { return kArea.y + 20 * r; }
  static int Yv(int r, int value) {
    return kArea.y + (r + 1) * 20 - 3 -
           NoteHeight(value, g_app.lowestNote[r], NoteScale(g_app.highestNote[r], g_app.lowestNote[r]), 20);
  }
};

TEST_F(PianoRollTest, BandsBarLinesAndNotesAtTheirHeights) {
  Draw();
  const int barX = kArea.x + 34 + 192 / 2 - 1;
  EXPECT_PRED3(Blended, Pixel(barX + 3, RowTop(17) + 10), kRowColours[17], 128);  // a row band at 50 %
  EXPECT_EQ(0u, Pixel(barX, RowTop(17) + 10));
  EXPECT_EQ(0u, Pixel(barX + 96, RowTop(17) + 10));
  // Not yet played: grey. Quarter notes are 48 ticks, 24 pixels apart.
  EXPECT_EQ(19, g_app.highestNote[0] - g_app.lowestNote[0]);  // 4c to 5g
  const int noteX = kArea.x + 34 + 24 + 5;  // inside the second note, e
  EXPECT_EQ(0x777777u, Pixel(noteX, Yv(0, g_songs[0].events[0][2].value)));
  // Two notes a tone apart are scaled as if the track spanned 12 values.
  EXPECT_EQ(g_app.lowestNote[1] + 2, g_app.highestNote[1]);
  EXPECT_EQ(0x777777u, Pixel(kArea.x + 34 + 10, Yv(1, g_app.lowestNote[1])));
  EXPECT_EQ(Yv(1, g_app.lowestNote[1]) - 2 * 17 / 12, Yv(1, g_app.highestNote[1]));
}

TEST_F(PianoRollTest, ThePlayPositionPastTheRightEdgeJumpsOnePage) {
  const int page = kArea.width - 34;
  Draw();
  const int barX = kArea.x + 34 + 192 / 2 - 1 + 4 * 96;  // the fifth bar line
  EXPECT_EQ(0u, Pixel(barX, RowTop(17) + 10));
  g_songs[0].tickPosition = 2.0 * page + 10;
  Draw();
  EXPECT_NE(0u, Pixel(barX, RowTop(17) + 10));
  const int shifted = kArea.x + 34 + (192 * 9) / 2 - 1 - page;  // bar 9, one page back
  EXPECT_EQ(0u, Pixel(shifted, RowTop(17) + 10));
}

TEST_F(PianoRollTest, RowClicksSelectTheTrackAndTheMixerReachesSong0) {
  SetInput(kArea.x + 200, RowTop(5) + 10, true);
  g_app.pan[5] = 0.3f;
  g_app.sendSwitches[5 * kPluginPositionCount] = 1;
  Clear();
  DrawSequencerTrackView(1);
  EXPECT_EQ(5, g_app.currentTrack);
  EXPECT_FLOAT_EQ(0.3f, g_songs[0].tracks[5].mixerPan);
  EXPECT_EQ(1, g_songs[0].tracks[5].sendOn[0]);
  // The band at 128, then white at 48 over it.
  const uint32_t got = Pixel(kArea.x + 300, RowTop(5) + 10);
  for (int shift = 0; shift < 24; shift += 8) {
    const int band = ((kRowColours[5] >> shift) & 0xFF) * 128 / 255, want = band + (255 - band) * 48 / 255;
    EXPECT_NEAR(want, static_cast<int>((got >> shift) & 0xFF), 2) << shift;
  }
}

TEST_F(PianoRollTest, BankRecordsGetPeakTablesAndFreeingNullsThemAll) {
  std::vector<int16_t> long_(1000, 100), short_(300, -40);
  SongEngine& song = g_songs[0];
  song.sampleMode = 1;
  song.bankLastIndex = 2;
  song.bankSamples[0] = long_.data();
  song.bankLengths[0] = 1000;
  song.bankSamples[1] = nullptr;  // an empty record
  song.bankLengths[1] = 0;
  song.bankSamples[2] = short_.data();
  song.bankLengths[2] = 300;
  g_app.clientRect = ShellRect{0, 0, 1280, 400};
  DrawFillBox(0, 0, 960, 540, 0xFF202020);
  BuildPeakData();
  SetDrawScreen(g_app.drawScreen);
  // The progress box across the draw screen at Q = 100, its text in white.
  EXPECT_EQ(0u, Pixel(5, 95));
  EXPECT_EQ(0x202020u, Pixel(5, 85));
  EXPECT_TRUE(BoxHolds(22, 105, 400, 120, 0xFFFFFF));
  EXPECT_EQ(4, g_app.peakColumns[0]);
  ASSERT_NE(nullptr, g_app.peakMaxLeft[0]);
  EXPECT_EQ(100, g_app.peakMaxLeft[0][4]);
  EXPECT_EQ(nullptr, g_app.peakMaxLeft[1]);
  ASSERT_NE(nullptr, g_app.peakMinLeft[2]);
  EXPECT_EQ(-40, g_app.peakMinLeft[2][1]);
  for (int32_t j = 0; j < kSampleBankSize; ++j) song.bankSamples[j] = nullptr;
  FreePeakData(g_app);
  for (int32_t** tables : PeakTableArrays())
    EXPECT_EQ(kPeakTableCount, std::count(tables, tables + kPeakTableCount, nullptr));
}

TEST_F(PianoRollTest, StereoSamplesDrawTwoHalfStripsAndAMissingTableTheCentreLine) {
  const int32_t columns = 40;
  std::vector<int32_t> lows(columns + 1, -1000), highs(columns + 1, 1000);
  g_app.peakChannels[0] = 2;
  g_app.peakColumns[0] = columns;
  g_app.peakMinLeft[0] = lows.data();
  g_app.peakMaxLeft[0] = highs.data();
  g_app.peakMinRight[0] = lows.data();
  g_app.peakMaxRight[0] = highs.data();
  g_app.columnStep = 1;
  g_app.peakScale = 100;
  SongEngine& song = g_songs[0];
  song.sampleMode = 0;
  song.listCount = 1;
  song.sampleList[0] = SongSampleListEntry{72, -1, columns * kPeakColumnFrames, 2};
  song.events[8][0] = SongEvent{kEvNoteOn, 0, 1, 72, 1};
  song.tracks[8].keyShift = 0;
  Clear();
  const int cy = 200, x = 100;
  DrawPcmNoteWaveform(8, 0, x, cy, kRowColours[8], 50, 400, 40);
  // Strips at cy -/+ 10, each +/- 1000 / 200 pixels (their edges joined in black); nothing
  // between them.
  for (int strip : {cy - 10, cy + 10}) {
    EXPECT_EQ(0x888888u, Pixel(x + 5, strip - 4)) << strip;
    EXPECT_EQ(0x888888u, Pixel(x + 5, strip + 4)) << strip;
    EXPECT_EQ(0u, Pixel(x + 5, strip - 7)) << strip;
  }
  EXPECT_EQ(0u, Pixel(x + 5, cy));
  EXPECT_EQ(0u, Pixel(x + columns + 2, cy - 10));  // the strip ends with its columns
  for (int32_t** tables : PeakTableArrays()) std::fill_n(tables, kPeakTableCount, nullptr);  // not ours to free

  // Without tables the strip is the centre line alone.
  g_app.peakChannels[0] = 1;
  DrawFillBox(0, 0, 960, 540, 0xFFFFFFFF);
  DrawPcmNoteWaveform(8, 0, x, cy, kUnplayedNoteColour, 50, 400, 40);
  EXPECT_EQ(0u, Pixel(x + 5, cy));
  EXPECT_EQ(0xFFFFFFu, Pixel(x + 5, cy - 1));
  EXPECT_EQ(0xFFFFFFu, Pixel(x + 5, cy + 1));
}

}  // namespace
