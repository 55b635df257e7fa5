// The program started in-process as WinMain starts it (the library with its window and menu, the
// interface resources, both engines), with the test instrument on track 0: songs opened as the
// menu opens them play on the right engine and timer; pause, play and reload act on them; a file
// that cannot be read is reported; the transport bar is read back from the software renderer; the
// interface images load; and the end closes every plug-in while the library still runs.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/engine/mdx/mdx_player.h"
#include "app/engine/sequencer/sequencer.h"
#include "app/shell/app_startup.h"
#include "app/shell/app_state.h"
#include "app/shell/frame_loop.h"
#include "app/shell/menu_commands.h"
#include "app/shell/plugin_window/plugin_window.h"
#include "app/shell/plugin_window/plugin_window_layout.h"
#include "app/shell/resource_ids.h"
#include "app/shell/shell_tables.h"
#include "app/shell/project/song_files.h"
#include "tools/song_writer/mdx_builder.h"
#include "tests/app/engine/mdx_player_fixture.h"
#include "tests/app/shell/program_session.h"
#include "tests/support/engine/plugin_fixture.h"
#include "tests/support/test_paths.h"
#include "zovuz/zovuz.h"

namespace {

// Note-ons (or note-offs, a note-on of velocity 0 among them) the instrument received from its
// `from`th MIDI event on.
int Notes(const TpInstance* instrument, bool on, int from = 0) {
  int count = 0;
  for (int i = from; i < std::min(instrument->midiTotal, kTpMidiLogSize); ++i) {
    const char* data = instrument->midiLog[i].event.midiData;
    const int status = static_cast<unsigned char>(data[0]) & 0xF0;
    const bool noteOn = status == 0x90 && data[2] != 0;
    count += on ? noteOn : (status == 0x80 || (status == 0x90 && !noteOn));
  }
  return count;
}

class SongSessionTest : public ProgramSessionTest {
 protected:
  void SetUp() override {
    ProgramSessionTest::SetUp();
    ASSERT_EQ(0, LoadPlugin(0, 0, TestPluginPath("tp_vornalt").c_str()));
    instrument = TestPluginLibrary::Of(SlotOf(0, 0).effect);
    ASSERT_NE(nullptr, instrument);
  }

  // Opens a song file written by the test, and waits up to a second for a note-on of it.
  bool OpenAndHearIt(const char* path) {
    const int before = instrument->midiTotal;
    OpenSongFile(path);
    return WaitFor([&] { return Notes(instrument, true, before) > 0; }, 1000);
  }

  TestPluginLibrary plugins{TestPluginPath("tp_vornalt")};  // keeps the logs readable
  TpInstance* instrument = nullptr;
};

void WriteMml(const char* name) {
  std::string text = ".cat Session\r\n(t1) t120 o4 l8";
  for (int i = 0; i < 40; ++i) text += " c d e f g a b";
  text += "\r\n";
  WriteTestFile(name, std::vector<uint8_t>(text.begin(), text.end()));
}

void WriteMdx(const char* name) {
  MdxTrack fm;
  fm.Tempo(200);
  for (int i = 0; i < 64; ++i) fm.Note(60 + i % 12, 24);
  fm.End();
  MdxTrack pcm;
  pcm.Sample(0, 48).End();
  MdxBuilder song;
  song.bankName = "session";
  song.tracks.push_back(fm.bytes);
  for (int t = 1; t < 8; ++t) song.tracks.push_back(MdxTrack().End().bytes);
  song.tracks.push_back(pcm.bytes);
  WriteTestFile(name, song.Build());
  WriteTestFile("session.pdx", BuildPdx({{0, std::vector<uint8_t>(512, 0x19)}}));
}

TEST_F(SongSessionTest, AnMdxSongPlaysOnThePlayersTimerAloneAndReloadsFromTheTop) {
  WriteMdx("session.mdx");
  ASSERT_TRUE(OpenAndHearIt("session.mdx"));
  EXPECT_EQ(kModeMdxPlayer, g_app.mode);
  EXPECT_EQ(1, g_app.songLoaded);
  EXPECT_EQ(0, g_app.currentTrack);
  EXPECT_EQ(0u, g_sequencer.timerId);
  EXPECT_NE(0u, g_mdx.timerId);

  ASSERT_TRUE(WaitFor([] { return g_mdx.state.tickPosition > 60; }, 3000));
  OnMenuCommand(TARVEX_CMD_RELOAD);
  EXPECT_LT(g_mdx.state.tickPosition, 30);
  EXPECT_EQ(1, g_mdx.state.playing);
  EXPECT_EQ(0u, g_sequencer.timerId);
}

TEST_F(SongSessionTest, AZmsSongPausesWithNoteOffsPlaysOnAndReloadsFromTheTop) {
  WriteMml("session.zms");
  WriteMdx("session.mdx");
  ASSERT_TRUE(OpenAndHearIt("session.mdx"));
  ASSERT_TRUE(OpenAndHearIt("session.zms"));
  EXPECT_EQ(kModeSequencer, g_app.mode);
  EXPECT_EQ(0u, g_mdx.timerId);
  EXPECT_NE(0u, g_sequencer.timerId);
  EXPECT_STREQ(" Session", g_songs[0].title);

  OnMenuCommand(TARVEX_CMD_PAUSE);
  const int paused = instrument->midiTotal;
  ASSERT_TRUE(WaitFor([&] { return Notes(instrument, false, paused) > 0; }, 500));
  Sleep(400);
  EXPECT_EQ(0, Notes(instrument, true, paused)) << "a note while paused";
  const double pausedAt = g_songs[0].tickPosition;

  OnMenuCommand(TARVEX_CMD_PLAY);
  EXPECT_TRUE(WaitFor([&] { return Notes(instrument, true, paused) > 0; }, 1000));
  EXPECT_GE(g_songs[0].tickPosition, pausedAt);

  OnMenuCommand(TARVEX_CMD_RELOAD);
  EXPECT_LT(g_songs[0].tickPosition, pausedAt);
  EXPECT_EQ(1, g_songs[0].playing);
}

// A missing file is reported in a box and the song plays on; of the commands chosen while the box
// is open, the last of each kind runs once the open has ended, and Exit alone when it was chosen.
// A file of another kind silences both engines and changes nothing else.
TEST_F(SongSessionTest, AMissingFileIsReportedCommandsChosenMeanwhileRunAfterAndAnotherKindSilences) {
  WriteMml("session.zms");
  WriteTestFile("session.txt", {'c', 'd', 'e'});
  ASSERT_TRUE(OpenAndHearIt("session.zms"));
  ASSERT_TRUE(WaitFor([] { return g_songs[0].tickPosition > 100; }, 3000));
  {
    FailureBoxAnswerer answer({TARVEX_CMD_INSPECTOR_PANE, TARVEX_CMD_PAUSE, TARVEX_CMD_INSPECTOR_PANE, TARVEX_CMD_PLAY});
    OpenSongFile("missing.mdx");
    EXPECT_TRUE(answer.Seen());
  }
  EXPECT_EQ(0, g_app.inspectorPaneShown) << "the pane switch, chosen twice, ran once after the load";
  // Play alone, on a song not paused, plays it from the top.
  EXPECT_EQ(1, g_songs[0].playing);
  EXPECT_EQ(0, g_songs[0].paused);
  EXPECT_LT(g_songs[0].tickPosition, 50) << "not Play alone";
  EXPECT_STREQ(" Session", g_songs[0].title);
  {
    FailureBoxAnswerer answer({TARVEX_CMD_PAUSE, TARVEX_CMD_EXIT, TARVEX_CMD_INSTRUMENT_PANE});
    OpenSongFile("missing.mdx");
    EXPECT_TRUE(answer.Seen());
  }
  EXPECT_EQ(1, g_app.quitRequested);
  EXPECT_EQ(1, g_app.instrumentPaneShown) << "a command ran beside Exit";
  EXPECT_EQ(0, g_songs[0].paused) << "a command ran beside Exit";
  g_app.quitRequested = 0;
  g_app.inspectorPaneShown = 1;

  OpenSongFile("session.txt");
  EXPECT_EQ(0, g_songs[0].playing);
  EXPECT_EQ(0, g_mdx.state.playing);
  EXPECT_EQ(kModeSequencer, g_app.mode);
  EXPECT_NE(0u, g_sequencer.timerId);
  Sleep(100);
  const int silent = instrument->midiTotal;
  Sleep(400);
  EXPECT_EQ(0, Notes(instrument, true, silent));
}

TEST_F(SongSessionTest, RandomBytesNamedMdxPlayAsFarAsTheyReadWithoutACrash) {
  std::mt19937 random(51);
  for (int seed = 0; seed < 6; ++seed) {
    std::vector<uint8_t> bytes(1 + random() % 4096);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    WriteTestFile("noise.mdx", bytes);
    OpenSongFile("noise.mdx");
    EXPECT_EQ(kModeMdxPlayer, g_app.mode);
    for (int frame = 0; frame < 10; ++frame) ASSERT_EQ(0, RunFrame());
  }
}

// The frame's drawing read back from the draw screen (0x00RRGGBB).
uint32_t Pixel(int x, int y) {
  SetDrawScreen(g_app.drawScreen);
  return GetPixel(x, y) & 0xFFFFFF;
}

std::vector<uint32_t> Block(int x, int y, int width, int height) {
  std::vector<uint32_t> pixels;
  for (int j = y; j < y + height; ++j)
    for (int i = x; i < x + width; ++i) pixels.push_back(Pixel(i, j));
  return pixels;
}

// One frame's update drawn with the mouse at (x, y) on the draw screen.
void DrawFrameWithMouse(int x, int y, bool leftDown) {
  SetDrawScreen(g_app.drawScreen);
  ClearDrawScreen(nullptr);
  StoreFrameMouse(g_app, 2 * x, 2 * y, leftDown ? MOUSE_INPUT_LEFT : 0);
  g_frameInput.windowActive = 1;
  UpdateFrame();
}

TEST_F(SongSessionTest, TheTransportBarIsDrawnOnTheSoftwareRenderer) {
  ASSERT_EQ(0, RunFrame());
  const int halfWidth = g_app.clientRect.right / 2;
  for (int y = 0; y < 18; ++y) {
    EXPECT_EQ(0xD0D0D0u, Pixel(1, y)) << y;
    EXPECT_EQ(0xD0D0D0u, Pixel(halfWidth - 40, y)) << y;
  }
  EXPECT_EQ(0x181818u, Pixel(1, 18));
  EXPECT_EQ(0x181818u, Pixel(halfWidth, 5));
  // The panel behind the texts, dark and drawn (not taken for the transparent colour).
  for (int y = 1; y < 17; ++y) EXPECT_LT(Pixel(83, y) & 0xFF, 0x60u) << y;

  // Transport button 1 at (4, 3), 19 x 13: its pressed tile while held.
  DrawFrameWithMouse(100, 100, false);
  const std::vector<uint32_t> normal = Block(4, 3, 19, 13);
  DrawFrameWithMouse(12, 9, true);
  EXPECT_NE(normal, Block(4, 3, 19, 13));
  DrawFrameWithMouse(12, 9, false);
  EXPECT_EQ(normal, Block(4, 3, 19, 13));
}

TEST_F(SongSessionTest, TheInterfaceImagesLoadAndTheirPressedTilesDifferFromTheNormalOnes) {
  EXPECT_NE(-1, g_app.transportBackground);
  ButtonImages images;
  LoadButtonImages(images);
  // Each sheet's tile size and its normal tiles, each with its pressed (or switched-on) tile that
  // many tiles further on.
  const struct {
    ButtonSheet sheet;
    int width, height, normals;
  } sheets[] = {{kEditSheet, 10, 10, 1},
                {kOnOffSheet, 10, 10, 1},
                {kTransportSheet, 19, 13, 4},
                {kPlusMinusSheet, 7, 7, 2},
                {kMuteSoloSheet, 9, 9, 2}};
  for (const auto& s : sheets) {
    for (int normal = 0; normal < s.normals; ++normal) {
      const int32_t* tiles = images.tiles[s.sheet];
      ASSERT_NE(-1, tiles[normal]) << s.sheet;
      ASSERT_NE(-1, tiles[normal + s.normals]) << s.sheet;
      SetDrawScreen(g_app.drawScreen);
      ClearDrawScreen(nullptr);
      DrawGraph(0, 0, tiles[normal], 1);
      DrawGraph(40, 0, tiles[normal + s.normals], 1);
      EXPECT_NE(Block(0, 0, s.width, s.height), Block(40, 0, s.width, s.height)) << s.sheet << ", " << normal;
    }
  }
}

TEST_F(SongSessionTest, TheEndClosesEveryEditorAndUnloadsEveryPluginWhileTheLibraryRuns) {
  ASSERT_EQ(0, LoadPlugin(9, 4, TestPluginPath("tp_vornalt").c_str()));
  OpenPluginWindow(0, 0);
  HWND window = g_shell.pluginWindows[0];
  ASSERT_NE(nullptr, window);
  ShutDownApp();
  ended = true;
  EXPECT_EQ(nullptr, g_shell.pluginWindows[0]);
  // The window itself is left to the process's end (taken off the screen one by one, the windows
  // held the end for seconds), emptied of the editor's window and its controls before the unload.
  EXPECT_TRUE(IsWindow(window));
  EXPECT_EQ(nullptr, GetWindow(window, GW_CHILD));
  DestroyWindow(window);
  EXPECT_EQ(nullptr, SlotOf(0, 0).effect);
  EXPECT_EQ(nullptr, SlotOf(9, 4).effect);
  const std::vector<int32_t> opcodes = DispatchOpcodes(instrument);
  const auto editorClosed = std::find(opcodes.begin(), opcodes.end(), effEditClose);
  EXPECT_NE(opcodes.end(), editorClosed);
  EXPECT_NE(opcodes.end(), std::find(editorClosed, opcodes.end(), effClose)) << "closed before its editor";
  EXPECT_EQ(0u, g_sequencer.timerId);
  EXPECT_EQ(0u, g_mdx.timerId);
}

TEST(SongPaths, SplitIntoWholePartsWhateverTheFolderLengthAndDoubleByteNames) {
  const std::string longFolder = "\\" + std::string(100, 'f') + "\\";
  const struct {
    std::string path;
    PathParts parts;
  } cases[] = {
      {"C:\\songs\\tune.zms", {"C:", "\\songs\\", "tune", ".zms"}},
      {"C:" + longFolder + "tune.MDX", {"C:", longFolder, "tune", ".MDX"}},
      // "表" is 0x95 0x5C in code page 932: its second byte is no separator.
      {"C:\\\x95\x5C\\\x95\x5C.zms", {"C:", "\\\x95\x5C\\", "\x95\x5C", ".zms"}},
      {"relative.dir\\noextension", {"", "relative.dir\\", "noextension", ""}},
      {"name.", {"", "", "name", "."}},
  };
  for (const auto& c : cases) {
    const PathParts parts = SplitPath(c.path.c_str());
    EXPECT_EQ((std::vector<std::string>{c.parts.drive, c.parts.directory, c.parts.name, c.parts.extension}),
              (std::vector<std::string>{parts.drive, parts.directory, parts.name, parts.extension}))
        << c.path;
  }
}

}  // namespace
