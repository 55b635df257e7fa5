// tarvex.exe driven as a user drives it, from another process: it starts and reopens the last
// project, opens a song through the menu and plays it, shows its transport bar, answers its keys,
// renders to WAV, saves and reopens a project, and survives bad files; a first start opens and
// plays the example songs, and the sounding test instrument's notes have their pitch and start.
// CTest runs each step as a test of its own, on the software renderer and on the default one
// (tests.cmake).
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include "tests/app/shell/e2e_fixture.h"
#include "tests/app/shell/pcm_wave.h"
#include "tools/song_writer/mdx_builder.h"
#include "tests/support/test_files.h"
#include "tests/support/test_paths.h"

namespace {

// Whether `keys` hold the opening in order as their first notes.
bool StartsWithOpening(const std::vector<int>& keys) {
  return keys.size() >= 4 && std::equal(std::begin(kRoadOpening), std::end(kRoadOpening), keys.begin());
}

FILETIME Written(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
  return data.ftLastWriteTime;
}

// Dates the file long ago: the program's end writes the settings file anew, which then shows.
FILETIME DateLongAgo(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  const FILETIME old = {0x10000000, 0x01B00000};
  SetFileTime(file, nullptr, nullptr, &old);
  CloseHandle(file);
  return old;
}

// The left channel of a 16-bit stereo WAV body from second `from` for `seconds`.
std::vector<int16_t> LeftChannel(const std::string& wave, double from, double seconds) {
  std::vector<int16_t> out;
  const size_t first = static_cast<size_t>(from * 44100), count = static_cast<size_t>(seconds * 44100);
  for (size_t i = first; i < first + count && 44 + 4 * i + 2 <= wave.size(); ++i) {
    int16_t v = 0;
    std::memcpy(&v, wave.data() + 44 + 4 * i, 2);
    out.push_back(v);
  }
  return out;
}

// A press that falls between two frames' readings of the keys is not seen: Escape is pressed until
// the program's end has begun, which writes the settings file (dated `old` before) first.
void PressEscapeUntilTheEnd(const AppDriver& driver, const std::wstring& settings, const FILETIME& old) {
  WaitUntil(
      [&] {
        driver.PressKey(VK_ESCAPE);
        const FILETIME written = Written(settings);
        return !driver.Running() || CompareFileTime(&written, &old) != 0;
      },
      kPlayWaitMs);
}

// Whether a capture shows the transport bar's images: the bar's light grey left of its four tiles
// and pictures in the tiles (without the images in the working folder the tiles stay empty).
bool ShowsTransportBar(const WindowCapture& shot) {
  const uint32_t lightGrey = 0xD0D0D0;
  for (int y = 0; y < 36; ++y)
    if (shot.At(4, y) != lightGrey) return false;
  for (int tile = 0; tile < 4; ++tile) {
    int other = 0;
    for (int y = 6; y < 32; ++y)
      for (int x = 8 + 38 * tile; x < 8 + 38 * tile + 38; ++x) other += shot.At(x, y) != lightGrey;
    if (other <= 38 * 26 / 4) return false;
  }
  return true;
}

// The frequency of a steady tone in 16-bit samples at 44.1 kHz: its rising zero crossings, each
// placed between two samples by straight-line interpolation, counted over the whole stretch.
double ZeroCrossingFrequency(const std::vector<int16_t>& samples) {
  double first = -1, last = -1;
  int crossings = 0;
  for (size_t i = 1; i < samples.size(); ++i) {
    if (samples[i - 1] >= 0 || samples[i] < 0) continue;
    const double at = double(i - 1) + double(-samples[i - 1]) / double(samples[i] - samples[i - 1]);
    if (first < 0) first = at;
    last = at;
    ++crossings;
  }
  return crossings > 1 ? (crossings - 1) * 44100.0 / (last - first) : 0.0;
}

// A library log (UTF-16 after its signature) as ASCII, other characters as spaces.
std::string LogAscii(const std::string& log) {
  std::string ascii;
  for (size_t i = 2; i + 1 < log.size(); i += 2) ascii += log[i + 1] == 0 ? log[i] : ' ';
  return ascii;
}

// The steps of the program's openings logged from byte `from` of its log on, one "<step>, " each.
std::string OpenStepsLogged(const std::wstring& log, size_t from) {
  const std::string text = LogAscii(ReadFileBytes(log));
  std::string steps;
  for (size_t at = text.find("open: ", from >= 2 ? (from - 2) / 2 : 0); at != std::string::npos;
       at = text.find("open: ", at + 1))
    steps += text.substr(at + 6, text.find(" at ", at) - at - 6) + ", ";
  return steps;
}

// The see step's picture of each renderer, kept in the build's test-run folder for the comparison
// of the two renderers: width, height, then the pixels.
std::wstring KeptScreenshotPath(const std::string& renderer) {
  const std::string path = TestBuildDir() + "/testrun/e2e_see_" + renderer + ".bin";
  return std::wstring(path.begin(), path.end());
}

void KeepScreenshot(const WindowCapture& shot, const std::string& renderer) {
  std::string bytes(8 + 4 * shot.Pixels.size(), '\0');
  std::memcpy(&bytes[0], &shot.Width, 4);
  std::memcpy(&bytes[4], &shot.Height, 4);
  std::memcpy(&bytes[8], shot.Pixels.data(), 4 * shot.Pixels.size());
  WriteFileBytes(KeptScreenshotPath(renderer), bytes);
}

// Whether the whole window stands on the work area of its monitor.
bool OnWorkArea(HWND window, RECT& placed) {
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof monitor;
  const RECT& work = monitor.rcWork;
  return GetWindowRect(window, &placed) &&
         GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor) && placed.left >= work.left &&
         placed.top >= work.top && placed.right <= work.right && placed.bottom <= work.bottom;
}

// Step 1: the window within 20 s; the project named in tarvex.ini is reopened, its instrument
// opened with its editor in the slot's window "vst00". The project was saved with the main
// window, larger, on a second monitor that is gone, and another one far to the top left: each
// opens it on the screen.
TEST_F(E2eRoadTest, StartReopensTheLastProject) {
  const std::string project = ReadFileBytes(Path("proj.tvx"));
  ASSERT_TRUE(WriteFileBytes(
      Path("proj.tvx"), "[General]\r\nWinPosX=2500\r\nWinPosY=100\r\nWinSizeW=1600\r\nWinSizeH=900\r\n" + project));
  ASSERT_TRUE(WriteFileBytes(Path("far.tvx"), std::string("[General]\r\nWinPosX=-99999999\r\nWinPosY=-99999999\r\n")));
  StartProgram();
  EXPECT_TRUE(WaitUntil([&] { return Logged("dispatch 0 ") && Logged("dispatch 14 "); }, kDriverWaitMs))
      << "effOpen and effEditOpen were not logged";
  EXPECT_TRUE(WaitForWindow(L"vst00")) << "no window vst00";
  RECT placed = {};
  EXPECT_TRUE(OnWorkArea(driver_.MainWindow(), placed)) << "reopened at " << placed.left << "," << placed.top;
  ASSERT_NE(nullptr, driver_.PostMenuForDialog(116));
  ASSERT_TRUE(driver_.AnswerFileDialog(Path("far.tvx")));
  EXPECT_TRUE(WaitUntil([&] { return OnWorkArea(driver_.MainWindow(), placed) && placed.left < 100; }, kPlayWaitMs))
      << "opened at " << placed.left << "," << placed.top;
  ExitProgram();
}

// Step 2 (the program's part; e2e_hear.sh records the sink meanwhile): the song chosen in the file
// dialog plays its opening in order soon, then plays on while the sink is recorded.
TEST_F(E2eRoadTest, OpenAndHear) {
  StartProgram();
  const size_t before = Notes().size();
  OpenSong("song.mdx");
  const ULONGLONG chosen = GetTickCount64();
  // This counts from the dialog's OK; the dialog returns at once on the test desktop (its windows
  // are unmanaged), and the song starts within a second of being opened (shell.song_session).
  EXPECT_TRUE(WaitForNotes(before, true, 1, 3500)) << "no note within 3.5 s of the file dialog's OK";
  const ULONGLONG first = GetTickCount64();
  // The rest of the opening, 200 ms a note.
  EXPECT_TRUE(WaitForNotes(before, true, 4));
  std::printf("first note after %d ms, the fourth after %d ms\n", int(first - chosen), int(GetTickCount64() - chosen));
  EXPECT_TRUE(StartsWithOpening(KeysOnAfter(before))) << "the opening came out of order";
  Sleep(4500);  // the recording's 3 s of tone, 1.5 s after the song's first sound
  ExitProgram();
}

// Step 3: the transport bar as the user sees it, the draw screen doubled on the client area, and
// a click on one of its buttons.
TEST_F(E2eRoadTest, SeeTheTransportBar) {
  StartProgram();
  // No picture is kept for the comparison of the renderers when the song did not come.
  ASSERT_NO_FATAL_FAILURE(OpenSongAndHearIt());
  // The pointer away from the bar, whose buttons light under it.
  driver_.MoveMouse(400, 300);
  Sleep(500);
  const WindowCapture shot = driver_.CaptureTo("see_" + Renderer() + ".png");
  ASSERT_FALSE(shot.Empty());
  KeepScreenshot(shot, Renderer());
  const uint32_t lightGrey = 0xD0D0D0, background = 0x181818;
  // Light grey beside and above and below the four tiles, and past the bar's texts.
  for (int y = 0; y < 36; ++y) {
    for (int x : {0, 4, 7}) EXPECT_EQ(lightGrey, shot.At(x, y)) << x << "," << y;
    EXPECT_EQ(lightGrey, shot.At(shot.Width - 4, y)) << y;
  }
  for (int x = 0; x < 160; x += 3) {
    EXPECT_EQ(lightGrey, shot.At(x, 2)) << x;
    EXPECT_EQ(lightGrey, shot.At(x, 34)) << x;
  }
  // The back panel from (160, 0): dark.
  for (int y = 2; y < 34; y += 4) {
    const uint32_t p = shot.At(170, y);
    EXPECT_LT(p & 0xFF, 0x80u) << "panel at y " << y << ": " << std::hex << p;
  }
  // The four tiles at (8, 6), (46, 6), (84, 6), (122, 6): pictures, not the bar's grey.
  for (int tile = 0; tile < 4; ++tile) {
    int other = 0;
    for (int y = 6; y < 32; ++y)
      for (int x = 8 + 38 * tile; x < 8 + 38 * tile + 38; ++x) other += shot.At(x, y) != lightGrey;
    EXPECT_GT(other, 38 * 26 / 4) << "tile " << tile;
  }
  // The title's black pixels from (548, 6).
  int title = 0;
  for (int y = 6; y < 32; ++y)
    for (int x = 548; x < 548 + 180; ++x) title += shot.At(x, y) == 0;
  EXPECT_GT(title, 40) << "no title";
  // The background below the bar, above the panes.
  for (int y = 36; y < 44; ++y)
    for (int x = 0; x < shot.Width; x += 7) ASSERT_EQ(background, shot.At(x, y)) << x << "," << y;

  // A click on the level-down button (draw screen (266, 12)) lowers the level shown at (244, 4).
  auto level = [&] {
    const WindowCapture now = driver_.Capture();
    std::vector<uint32_t> pixels;
    for (int y = 8; y < 28 && !now.Empty(); ++y)
      for (int x = 488; x < 524; ++x) pixels.push_back(now.At(x, y));
    return pixels;
  };
  const std::vector<uint32_t> full = level();
  driver_.Click(266, 12);
  EXPECT_TRUE(WaitUntil([&] { return level() != full; }, kPlayWaitMs)) << "the click did not change the level shown";
  ExitProgram();
}

// Step 4: keypad 0 pauses (the held note is let go) and resumes; Space restarts; Escape ends the
// program and the settings file is written; the close box ends it with 0 too (Exit: every step's
// end).
TEST_F(E2eRoadTest, KeysPauseRestartAndQuit) {
  StartProgram();
  OpenSongAndHearIt();
  size_t mark = Notes().size();
  driver_.PressKey(VK_NUMPAD0);
  EXPECT_TRUE(WaitForNotes(mark, false, 1)) << "no note-off on pause";
  Sleep(300);
  mark = Notes().size();
  Sleep(600);
  EXPECT_EQ(0u, KeysOnAfter(mark).size()) << "notes while paused";
  driver_.PressKey(VK_NUMPAD0);
  EXPECT_TRUE(WaitForNotes(mark, true, 2)) << "did not resume";

  mark = Notes().size();
  driver_.PressKey(VK_SPACE);
  ASSERT_TRUE(WaitUntil(
      [&] {
        const std::vector<int> keys = KeysOnAfter(mark);
        return std::search(keys.begin(), keys.end(), std::begin(kRoadOpening), std::end(kRoadOpening)) != keys.end();
      },
      kPlayWaitMs))
      << "Space did not play the opening again";

  // The settings file dated long ago: Escape's end writes it anew.
  const FILETIME old = DateLongAgo(Path("tarvex.ini"));
  PressEscapeUntilTheEnd(driver_, Path("tarvex.ini"), old);
  EXPECT_EQ(0u, driver_.WaitForExit(kDriverWaitMs)) << "Escape did not end the program";
  const FILETIME written = Written(Path("tarvex.ini"));
  EXPECT_GT(CompareFileTime(&written, &old), 0) << "tarvex.ini not rewritten";

  StartProgram();
  driver_.PostToMain(WM_CLOSE);
  EXPECT_EQ(0u, driver_.WaitForExit(kDriverWaitMs));
}

// Step 5: menu 117 renders 2 s of the song to a full path given without extension: the progress
// shows the two centre lines, and the WAV file holds the 1 kHz tone of the song's bank. The song
// and its bank are in a folder of their own, none in the working folder: the bank is found beside
// the song, whichever folder the file dialog left current.
TEST_F(E2eRoadTest, RenderToWav) {
  ASSERT_TRUE(CreateDirectoryW(Path("songs").c_str(), nullptr));
  for (const char* name : {"song.mdx", "song.pdx"})
    ASSERT_TRUE(MoveFileW(Path(name).c_str(), Path(std::string("songs\\") + name).c_str())) << name;
  StartProgram();
  OpenSongAndHearIt("songs\\song.mdx");
  ASSERT_TRUE(driver_.Render(Path("mix2"), L"0:02"));
  // Q = a quarter of the draw screen's visible height; the lines at Q and 3Q show at client 2Q and
  // 6Q. Right of the progress they are alone on their rows.
  WindowCapture shot;
  const bool lines = WaitForScreen(
      [](const WindowCapture& s) {
        const int q = (s.Height / 2) / 4, x = s.Width - 6;
        return s.At(x, 2 * q) == 0x888888 && s.At(x, 6 * q) == 0x888888 && s.At(x, 2 * q + 8) == 0x181818;
      },
      kPlayWaitMs, &shot);
  SaveCapturePng(shot, ("render_progress_" + Renderer() + ".png").c_str());
  EXPECT_TRUE(lines) << "the progress's centre lines never showed";

  std::string wave;
  WaitUntil([&] { return (wave = ReadFileBytes(Path("mix2.wav"))).size() == 44 + 352800; }, kDriverWaitMs);
  ASSERT_EQ(44u + 352800u, wave.size());
  EXPECT_EQ(WaveHeader(352800), wave.substr(0, 44));
  const std::vector<int16_t> tone = LeftChannel(wave, 1.0, 0.5);
  EXPECT_NEAR(1000.0, DominantFrequency(tone), 20.0);
  EXPECT_GT(RmsDbfs(tone), -40.0);
  ExitProgram();
}

// Step 6: the project saved through the menu under the working folder is named in tarvex.ini
// relative to it; the next start reopens it: the parameters reach the instrument again and its
// window opens where it was moved to before the save.
TEST_F(E2eRoadTest, SaveAndReopen) {
  StartProgram();
  HWND window = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (window = driver_.FindWindowOf(L"vst00")) != nullptr; }, kDriverWaitMs));
  SetWindowPos(window, nullptr, 1630, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  Sleep(300);
  SaveProject("proj2");
  ExitProgram();
  EXPECT_EQ("[config]\r\ninipj=.\\proj2.tvx\r\n", ReadFileBytes(Path("tarvex.ini")));

  DeleteFileW(Path("tplog\\tp_kezmir-0.log").c_str());
  StartProgram();
  EXPECT_TRUE(WaitUntil([&] { return Logged("param 0 0.25") && Logged("param 1 0.75"); }, kDriverWaitMs))
      << "the saved parameters did not reach the instrument";
  RECT placed = {};
  EXPECT_TRUE(WaitUntil(
      [&] {
        window = driver_.FindWindowOf(L"vst00");
        return window && GetWindowRect(window, &placed) && placed.left == 1630 && placed.top == 0;
      },
      kDriverWaitMs))
      << "vst00 at " << placed.left << "," << placed.top;
  ExitProgram();
}

// Step 7: bad songs leave the program running and the next good song plays; a garbage project is
// refused with the instrument kept; a save over a project another program holds is refused with the
// file kept; a broken settings file starts the program without a project.
TEST_F(E2eRoadTest, BadInputSongsAndProjects) {
  const std::vector<uint8_t> song = RoadSongMdx();
  ASSERT_TRUE(WriteFileBytes(Path("truncated.mdx"), std::vector<uint8_t>(song.begin(), song.begin() + 20)));
  std::mt19937 random(53);
  std::string noise(3000, 0);
  for (char& c : noise) c = static_cast<char>(random());
  ASSERT_TRUE(WriteFileBytes(Path("random.zms"), noise));
  ASSERT_TRUE(WriteFileBytes(Path("garbage.tvx"), noise));
  const std::string locked = "[General]\r\nWinPosX=1\r\n";
  ASSERT_TRUE(WriteFileBytes(Path("locked.tvx"), locked));

  StartProgram();
  ASSERT_TRUE(WaitForInstrumentOpen());
  for (const char* bad : {"truncated.mdx", "random.zms"}) {
    OpenSong(bad);
    driver_.AnswerBox(L"Failed", IDOK, 1500);  // where the program reports it
    Sleep(500);
    EXPECT_TRUE(driver_.Running()) << bad;
  }
  OpenSongAndHearIt();

  ASSERT_NE(nullptr, driver_.PostMenuForDialog(116));
  ASSERT_TRUE(driver_.AnswerFileDialog(Path("garbage.tvx")));
  EXPECT_TRUE(driver_.AnswerBox(L"Failed", IDOK)) << "the garbage project was not refused";
  Sleep(300);
  EXPECT_FALSE(Logged("dispatch 1 ")) << "the instrument was closed";
  EXPECT_FALSE(FileExists(Path("tplog\\tp_kezmir-1.log"))) << "another instrument was loaded";

  HANDLE held = CreateFileW(Path("locked.tvx").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  ASSERT_NE(nullptr, driver_.PostMenuForDialog(115));
  ASSERT_TRUE(driver_.AnswerFileDialog(Path("locked")));
  EXPECT_TRUE(driver_.AnswerBox(L"Failed", IDOK)) << "the save over a held file was not refused";
  CloseHandle(held);
  EXPECT_EQ(locked, ReadFileBytes(Path("locked.tvx")));
  EXPECT_TRUE(driver_.Running());
  ExitProgram();

  ASSERT_TRUE(WriteFileBytes(Path("tarvex.ini"), std::string("[config\r\ninipj\r\n\x01\x02]]=\r\n")));
  DeleteFileW(Path("tplog\\tp_kezmir-0.log").c_str());
  StartProgram();
  // The frames run once the start is done, a project reopened with it.
  EXPECT_TRUE(WaitUntil([&] { return driver_.FramesRead() > 0; }, kDriverWaitMs)) << "no frame ran";
  EXPECT_FALSE(FileExists(Path("tplog\\tp_kezmir-0.log"))) << "a project was opened";
  ExitProgram();
}

// Where the track area's columns and rows lie on a capture (draw-screen pixels; the client shows
// each doubled). The side panes' toggles are on, so the area starts at x 120; MDX mode does not
// scroll, so it starts at y 22.
struct TrackArea {
  int x = 120, y = 22, width, height;
  explicit TrackArea(const WindowCapture& shot) : width(shot.Width / 2 - 108), height(shot.Height / 2 - 30) {}
  // The MDX column of track t of a 16-track song.
  RECT Column(int t) const {
    const int visible = (height - 12) / 2;
    if (t < 8) return {x + 60 * t, y, x + 60 * (t + 1), y + visible};
    return {x + 60 * (t - 8), y + 10 + visible, x + 60 * (t - 7), y - 4 + height};
  }
};

uint32_t DrawPixel(const WindowCapture& shot, int x, int y) { return shot.At(2 * x, 2 * y); }

// The pixels of a box of draw-screen pixels.
std::vector<uint32_t> DrawBox(const WindowCapture& shot, int left, int top, int right, int bottom) {
  std::vector<uint32_t> pixels;
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) pixels.push_back(DrawPixel(shot, x, y));
  return pixels;
}

// Whether a column's empty foot shows the white overlay of the current track (the background is
// 0x181818; white at alpha 64 over it is about 0x51 a channel).
bool Overlaid(const WindowCapture& shot, const RECT& column) {
  for (uint32_t p : DrawBox(shot, column.left + 4, column.bottom - 8, column.right - 4, column.bottom - 2))
    if ((p & 0xFF) < 0x40 || ((p >> 8) & 0xFF) < 0x40 || (p >> 16) < 0x40) return false;
  return true;
}

bool Background(const WindowCapture& shot, const RECT& column) {
  for (uint32_t p : DrawBox(shot, column.left + 4, column.bottom - 8, column.right - 4, column.bottom - 2))
    if (p != 0x181818) return false;
  return true;
}

// The 9x9 mute button of an MDX column.
std::vector<uint32_t> MuteButton(const WindowCapture& shot, const RECT& column) {
  return DrawBox(shot, column.left + 20, column.top + 1, column.left + 29, column.top + 10);
}

// Step 8: the MDX track list of a 16-track song: track 0's hex dump scrolls as it plays, a click on
// the column of track 10 makes it current; played to its end the song stops, and Enter plays it
// from the top; key 1 mutes FM track 0 (no more note-ons, its M button lit) and again unmutes it.
TEST_F(E2eRoadTest, TrackListScrollsSelectsMutesAndEnds) {
  // 4.8 s of song: what is checked while it plays has seconds to spare on a busy machine, and the
  // wait for its end is short.
  ASSERT_TRUE(WriteFileBytes(Path("list.mdx"), TrackListSongMdx(6)));
  StartProgram();
  ASSERT_TRUE(WaitForInstrumentOpen());
  size_t mark = Notes().size();
  OpenSong("list.mdx");
  ASSERT_TRUE(WaitForNotes(mark, true, 2)) << "the song's notes never came";

  WindowCapture shot = driver_.CaptureTo("track_list_" + Renderer() + ".png");
  ASSERT_FALSE(shot.Empty());
  const TrackArea area(shot);
  const RECT fm0 = area.Column(0), pcm10 = area.Column(10);
  auto bytesOf = [&](const WindowCapture& s) { return DrawBox(s, fm0.left, fm0.top + 20, fm0.right, fm0.bottom - 10); };
  const std::vector<uint32_t> bytes = bytesOf(shot);
  EXPECT_TRUE(Overlaid(shot, fm0)) << "track 0 is not current after the open";
  EXPECT_TRUE(Background(shot, pcm10));
  EXPECT_TRUE(WaitForScreen([&](const WindowCapture& s) { return bytesOf(s) != bytes; }))
      << "track 0's bytes did not scroll";

  driver_.Click(pcm10.left + 30, pcm10.bottom - 5);
  EXPECT_TRUE(WaitForScreen([&](const WindowCapture& s) { return Overlaid(s, pcm10) && Background(s, fm0); }))
      << "the click did not make track 10 current";
  driver_.MoveMouse(0, 0);  // out of the columns
  const std::vector<uint32_t> unlit = MuteButton(driver_.Capture(), fm0);

  // The end: the notes stop for good.
  ASSERT_TRUE(WaitUntil(
      [&] {
        const size_t before = Notes().size();
        Sleep(1000);
        return KeysOnAfter(before).empty();
      },
      kDriverWaitMs))
      << "the song did not end";
  mark = Notes().size();
  driver_.PressKey(VK_RETURN);
  EXPECT_TRUE(WaitForNotes(mark, true, 4)) << "Enter did not restart the ended song";
  // Fewer than four notes when the wait above timed out: never read past them.
  EXPECT_TRUE(StartsWithOpening(KeysOnAfter(mark))) << "the restart did not begin at the top";

  // The mutes while the song plays again from its top: on a busy machine the steps above take
  // seconds, and a song near its end would fall silent by itself.
  driver_.PressKey('1');
  Sleep(300);  // a note under way may still start
  mark = Notes().size();
  Sleep(1000);
  EXPECT_EQ(0u, KeysOnAfter(mark).size()) << "notes of the muted track";
  EXPECT_NE(unlit, MuteButton(driver_.CaptureTo("track_list_muted_" + Renderer() + ".png"), fm0))
      << "track 0's M button is not lit";
  mark = Notes().size();
  driver_.PressKey('1');
  EXPECT_TRUE(WaitForNotes(mark, true, 1)) << "the unmuted track stayed silent";
  EXPECT_EQ(unlit, MuteButton(driver_.Capture(), fm0));
  ExitProgram();
}

// The rows' first pixel lines (draw-screen y) down a column of the roll: where a pixel differs from
// the one above it, between y 20 and `bottom`.
std::vector<int> RowEdges(const WindowCapture& shot, int x, int bottom) {
  std::vector<int> edges;
  for (int y = 20; y < bottom; ++y)
    if (DrawPixel(shot, x, y) != DrawPixel(shot, x, y - 1)) edges.push_back(y);
  return edges;
}

// Whether rows 1-7 of height h begin at top + r h.
bool RowsAt(const WindowCapture& shot, int x, int top, int h) {
  const std::vector<int> edges = RowEdges(shot, x, top + 8 * h);
  for (int r = 1; r < 8; ++r)
    if (std::find(edges.begin(), edges.end(), top + r * h) == edges.end()) return false;
  return true;
}

// The first bar line of row 1 (draw-screen x), right of the row's header.
int FirstBarLine(const WindowCapture& shot, int rowTop) {
  for (int x = 120 + 35; x < 120 + 200; ++x)
    if (DrawPixel(shot, x, rowTop + 5) == 0) return x;
  return -1;
}

// A 16-bit mono WAV of a square wave at +-20000, 100 frames a period.
std::string SquareWave(int frames) {
  std::string w = WaveHeader(2 * frames, 1);
  for (int i = 0; i < frames; ++i) Le(w, static_cast<uint16_t>((i / 50) % 2 ? -20000 : 20000), 2);
  return w;
}

// Step 9: a ".zms" whose sample list names a long WAV 36 times (a build of about half a second):
// the peak tables' progress text shows while the song loads; then the roll's rows, with the
// waveforms of the sample track's notes; G and H change the zoom (the bar lines' spacing), ] and [
// the row height, and one wheel notch moves the rows 10 pixels up.
TEST_F(E2eRoadTest, PianoRollPeaksRowsZoomAndWheel) {
  ASSERT_TRUE(WriteFileBytes(Path("square.wav"), SquareWave(15 * 44100)));
  std::string list = "Zkitlist!";
  for (int octave = 3; octave < 6; ++octave)
    for (const char* note : {"c", "c+", "d", "d+", "e", "f", "f+", "g", "g+", "a", "a+", "b"})
      list += std::to_string(octave) + " " + note + " square.wav\r\n";
  ASSERT_TRUE(WriteFileBytes(Path("kit.zpdlist"), list));
  ASSERT_TRUE(WriteFileBytes(Path("roll.zms"), std::string(".a=kit.zpdlist\r\n(t9) t120 o4 l4 c d e f g a c d\r\n")));
  StartProgram();
  ASSERT_TRUE(WaitForInstrumentOpen());

  // The first frame drawn (the empty track area's background): before it the window shows nothing
  // the program presents.
  ASSERT_TRUE(WaitForScreen([](const WindowCapture& s) { return DrawPixel(s, 454, 50) == 0x181818; }, kDriverWaitMs));
  ASSERT_NE(nullptr, driver_.PostMenuForDialog(114));
  ASSERT_TRUE(driver_.AnswerFileDialog(Path("roll.zms")));
  // The progress: "NOW LOADING WAV FILE AND MAKING PEAK DATA.. n / 36" in white on the black band at
  // a quarter of the height, reaching further right than the open's own "NOW LOADING..".
  WindowCapture shot;
  const bool progress = WaitForScreen(
      [](const WindowCapture& s) {
        const int q = s.Height / 4;  // the program's quarter of the client height, on the draw screen
        int white = 0;
        for (int y = q + 3; y < q + 17; ++y)
          for (int x = 160; x < 300; ++x) white += DrawPixel(s, x, y) == 0xFFFFFF;
        return white > 20 && DrawPixel(s, s.Width / 2 - 4, q - 8) == 0;
      },
      kPlayWaitMs, &shot);
  SaveCapturePng(shot, ("roll_progress_" + Renderer() + ".png").c_str());
  EXPECT_TRUE(progress) << "the peak tables' progress never showed";

  // The rows and the waveforms of row 8's notes (grey strips, played or not yet).
  const int x = 120 + 34 + 300;  // clear of the bar lines at zooms 4 and 5
  auto rowsAt = [&](int top, int h) { return [=](const WindowCapture& s) { return RowsAt(s, x, top, h); }; };
  // The build's half second takes several on a busy machine (2.8 s seen beside other tests).
  ASSERT_TRUE(WaitForScreen(rowsAt(22, 19), kDriverWaitMs, &shot)) << "no rows of 19 pixels from y 22";
  int strips = 0;
  for (int y = 22 + 8 * 19; y < 22 + 9 * 19; ++y)
    for (int px = 120 + 34; px < 120 + 34 + 200; ++px) {
      const uint32_t p = DrawPixel(shot, px, y);
      strips += p == 0x888888 || p == 0x444444;
    }
  SaveCapturePng(shot, ("roll_" + Renderer() + ".png").c_str());
  EXPECT_GT(strips, 40) << "no waveform on the sample track";

  // Zoom 4 ticks a pixel: the first bar line (192 ticks) at 47 pixels into the roll; G makes it 5.
  const int rowTop = 22 + 19;
  EXPECT_EQ(120 + 34 + 47, FirstBarLine(shot, rowTop));
  const struct {
    char key;
    int at;
  } zooms[] = {{'G', 120 + 34 + 37}, {'H', 120 + 34 + 47}};
  for (const auto& zoom : zooms) {
    driver_.PressKey(zoom.key);
    EXPECT_TRUE(
        WaitForScreen([&](const WindowCapture& s) { return FirstBarLine(s, rowTop) == zoom.at; }, kPlayWaitMs, &shot))
        << zoom.key << ": the bar line at " << FirstBarLine(shot, rowTop);
  }
  driver_.PressKey(VK_OEM_6);  // ]
  EXPECT_TRUE(WaitForScreen(rowsAt(22, 20))) << "] did not give rows of 20";
  driver_.PressKey(VK_OEM_4);  // [
  EXPECT_TRUE(WaitForScreen(rowsAt(22, 19))) << "[ did not give rows of 19";

  driver_.MoveMouse(400, 200);
  driver_.Wheel(-1);
  EXPECT_TRUE(WaitForScreen(rowsAt(12, 19))) << "one notch did not move the rows 10 pixels";
  Sleep(300);
  EXPECT_TRUE(RowsAt(driver_.Capture(), x, 12, 19)) << "the rows moved on";
  ExitProgram();
}

// The lines of the instrument's log that start with `prefix`.
size_t CountLogged(const std::vector<std::string>& log, const std::string& prefix) {
  return static_cast<size_t>(
      std::count_if(log.begin(), log.end(), [&](const std::string& line) { return line.rfind(prefix, 0) == 0; }));
}

// Whether a capture shows the side panes' grey right of their rows at draw-screen height y: 149 lies
// in the instrument pane's box and in the inspector's at the top, 300 in the inspector's below.
bool PaneGreyAt(const WindowCapture& shot, int y) { return !shot.Empty() && DrawPixel(shot, 114, y) == 0x333333; }
// The draw-screen y inside row n of the instrument pane at (4, 22).
int InstrumentRowY(int n) { return 22 + 16 + 14 * n + 5; }

// Step 10: a click on row 3 of the instrument pane, answered with the FM instrument in the
// default plug-in folder: the plug-in opens in slot 15 with its window "vst30", and since it is an
// FM instrument the song's tone commands reach it as parameters. A text file named ".dll" on row
// 4 is refused with a line on the output, leaves the slot empty, and the next save succeeds.
TEST_F(E2eRoadTest, InstrumentPaneLoadsAnInstrumentAndSurvivesABadOne) {
  CreateDirectoryW(Path("VSTPlugins").c_str(), nullptr);
  ASSERT_TRUE(CopyFileW(Path("tp_kezmir.dll").c_str(), Path("VSTPlugins\\tp_kezmir.dll").c_str(), FALSE));
  ASSERT_TRUE(WriteFileBytes(Path("VSTPlugins\\broken.dll"), std::string("not a library\r\n")));
  ASSERT_TRUE(WriteFileBytes(Path("tones.mdx"), ToneSongMdx()));
  // No project: the pane's instrument is the test plug-in's first instance (a second copy of the
  // DLL would number its instances, and name its logs, from 0 again).
  DeleteFileW(Path("tarvex.ini").c_str());
  StartProgram();
  ASSERT_TRUE(WaitForScreen([](const WindowCapture& s) { return PaneGreyAt(s, 149); }, kDriverWaitMs))
      << "no instrument pane";

  driver_.Click(64, InstrumentRowY(3));
  ASSERT_TRUE(driver_.AnswerFileDialog(Path("VSTPlugins\\tp_kezmir.dll")));
  EXPECT_TRUE(WaitForInstrumentOpen()) << "no effOpen";
  EXPECT_TRUE(WaitForWindow(L"vst30")) << "no window vst30";
  driver_.CaptureTo("instrument_pane_" + Renderer() + ".png");
  const size_t before = CountLogged(PluginLog(), "param ");
  OpenSong("tones.mdx");
  // A tone of four channel values and four operators' values, and the player's start-up values.
  EXPECT_TRUE(WaitUntil([&] { return CountLogged(PluginLog(), "param ") >= before + 40; }, kPlayWaitMs))
      << "the tone did not reach the instrument of track 3";

  driver_.Click(64, InstrumentRowY(4));
  ASSERT_TRUE(driver_.AnswerFileDialog(Path("VSTPlugins\\broken.dll")));
  Sleep(1000);
  EXPECT_EQ(nullptr, driver_.FindWindowOf(L"vst40")) << "a window for the empty slot";
  SaveProject("proj3");
  EXPECT_TRUE(FileExists(Path("proj3.tvx")));
  ExitProgram();
  const std::string output = ProgramOutput();
  EXPECT_NE(std::string::npos, output.find("Failed trying to load VST from '")) << output;
  EXPECT_NE(std::string::npos, output.find("broken.dll', error ")) << output;
}

// Step 11: in MML mode the master row made current by a click, its volume fader in the inspector
// (below the instrument pane, the fader block of a channel without sends) dragged to its left end,
// and the project saved: it holds the master at 0. Then menu commands 200 and 201 hide and show
// the two panes, seen on the screen (the inspector moves to the top when it is alone).
TEST_F(E2eRoadTest, InspectorMasterFaderSavesAndPanesToggle) {
  ASSERT_TRUE(WriteFileBytes(Path("roll.zms"), std::string("(t1) t120 o4 l4 c d e f g a b c\r\n")));
  StartProgram();
  ASSERT_TRUE(WaitForInstrumentOpen());
  OpenSong("roll.zms");
  const int x = 120 + 34 + 300;
  ASSERT_TRUE(WaitForScreen([&](const WindowCapture& s) { return RowsAt(s, x, 22, 19); }, kDriverWaitMs)) << "no roll";

  // Scrolled to the bottom (-17 rows of 19), the master row (18) lies at y 19.
  driver_.MoveMouse(400, 200);
  driver_.Wheel(-30);
  ASSERT_TRUE(WaitForScreen([&](const WindowCapture& s) {
    return DrawPixel(s, x, 28) != 0x181818 && DrawPixel(s, x, 45) == 0x181818;
  })) << "the roll did not scroll to its bottom";
  driver_.Click(400, -17 * 19 + 18 * 19 + 9);
  // The inspector below the instrument pane at (4, 155), 112 wide: the volume fader of the master
  // at (26, 155 + 134 + 16), 86 wide.
  const int faderY = 155 + 134 + 16 + 5;
  driver_.Drag(26 + 43, faderY, 0, faderY);
  driver_.CaptureTo("inspector_master_" + Renderer() + ".png");
  SaveProject("proj3");
  const std::string project = ReadFileBytes(Path("proj3.tvx"));
  EXPECT_NE(std::string::npos, project.find("Tr18Vol=0\r\n")) << project;
  EXPECT_NE(std::string::npos, project.find("Tr17Vol=1\r\n")) << project;

  // The panes by the toggles (the inspector at the top when it is alone).
  const struct {
    int command;
    bool upper, lower;
  } steps[] = {{200, true, false}, {201, false, false}, {200, true, false}, {201, true, true}};
  int n = 0;
  for (const auto& step : steps) {
    driver_.PostMenu(step.command);
    WindowCapture shot;
    EXPECT_TRUE(WaitForScreen(
        [&](const WindowCapture& s) { return PaneGreyAt(s, 149) == step.upper && PaneGreyAt(s, 300) == step.lower; },
        kPlayWaitMs, &shot))
        << "after command " << step.command << " (step " << n << ")";
    SaveCapturePng(shot, ("panes_" + std::to_string(n++) + "_" + Renderer() + ".png").c_str());
  }
  ExitProgram();
}

// Reads a render of `seconds` once the program has written it whole; empty when it did not come.
std::string WaitForRender(const std::wstring& path, int seconds) {
  std::string wave;
  const size_t size = 44 + size_t(seconds) * 176400;
  WaitUntil([&] { return (wave = ReadFileBytes(path)).size() == size; }, kDriverWaitMs);
  return wave.size() == size ? wave : std::string();
}

// The level (dB of full scale) of one frequency in 16-bit samples at 44.1 kHz: its amplitude in
// each 50 ms, averaged (each note starts at its own phase, so one transform over many notes would
// sum them at random).
double ToneDbfs(const std::vector<int16_t>& samples, double hertz) {
  constexpr size_t kWindow = 2205;
  double sum = 0;
  size_t windows = 0;
  for (size_t from = 0; from + kWindow <= samples.size(); from += kWindow, ++windows) {
    double re = 0, im = 0;
    for (size_t i = 0; i < kWindow; ++i) {
      const double phase = 2.0 * M_PI * hertz * double(i) / 44100.0;
      re += samples[from + i] * std::cos(phase);
      im -= samples[from + i] * std::sin(phase);
    }
    sum += 2.0 * std::hypot(re, im) / kWindow;
  }
  return 20.0 * std::log10(sum / std::max<size_t>(windows, 1) / 32768.0 + 1e-9);
}

// An ".mdx" render keeps the user's mutes: with FM track 1 muted (key 1) its instrument gets no
// note-on while the song renders from the top, and its a (440 Hz) is gone from the file while the
// other track's A (220 Hz) stays.
TEST_F(E2eRoadTest, AnMdxRenderKeepsTheUsersMutes) {
  instrument_ = "tp_tone";
  ASSERT_TRUE(WriteFileBytes(Path("tarvex.ini"), std::string("[config]\r\ninipj=.\\test_instruments.tvx\r\n")));
  MdxBuilder song;
  for (int key : {69, 57}) {
    MdxTrack fm;
    if (key == 69) fm.Tempo(100);
    fm.Volume(15);
    const size_t loop = fm.Here();
    fm.Note(key, 5).JumpTo(loop);
    song.tracks.push_back(fm.bytes);
  }
  ASSERT_TRUE(WriteFileBytes(Path("duet.mdx"), song.Build()));
  StartProgram();
  ASSERT_TRUE(WaitForInstrumentOpen());
  OpenSong("duet.mdx");
  ASSERT_TRUE(WaitForNotes(0, true, 2)) << "the song does not play";
  ASSERT_TRUE(driver_.Render(Path("open"), L"0:01"));
  const std::string open = WaitForRender(Path("open.wav"), 1);
  driver_.PressKey('1');
  Sleep(500);
  const size_t muted = Notes().size();
  ASSERT_TRUE(driver_.Render(Path("muted"), L"0:01"));
  const std::string wave = WaitForRender(Path("muted.wav"), 1);
  ASSERT_FALSE(open.empty() || wave.empty()) << "no render";
  EXPECT_TRUE(KeysOnAfter(muted).empty()) << "the muted track's instrument got notes during the render";
  const std::vector<int16_t> heard = LeftChannel(open, 0.2, 0.7), kept = LeftChannel(wave, 0.2, 0.7);
  std::printf("440 Hz: %.1f -> %.1f dB, 220 Hz: %.1f -> %.1f dB\n", ToneDbfs(heard, 440), ToneDbfs(kept, 440),
              ToneDbfs(heard, 220), ToneDbfs(kept, 220));
  EXPECT_LT(ToneDbfs(kept, 440), ToneDbfs(heard, 440) - 20) << "the muted track is heard in the render";
  EXPECT_GT(ToneDbfs(kept, 220), ToneDbfs(heard, 220) - 3) << "the other track is not";
  ExitProgram();
}

// Step 12: a newcomer's first start, in a folder only as scripts/workdir made it ready: the
// transport bar shows, the settings file reopens the project that puts the sounding test
// instrument into the instrument tracks, and the example ".mdx" (its bank beside it) and the
// example ".zms" (its sample list beside it) open from the file dialog and play. A render of 3 s
// of each (renders take their length in real time) is heard in its first bar, where the
// instrument tracks play alone, and after it.
TEST_F(E2eFirstRun, ExamplesOpenPlayAndSound) {
  StartProgram();
  EXPECT_TRUE(WaitForScreen(ShowsTransportBar, kDriverWaitMs)) << "no transport bar";
  ASSERT_TRUE(WaitUntil([&] { return Logged("dispatch 0 ", 7); }, kDriverWaitMs))
      << "the project's eight instruments did not open";
  const struct {
    const char* song;
    double bar;         // seconds
    const char* steps;  // of the opening, in the program's log
  } examples[] = {{"adpcm_groove.mdx", (256 - 215) * 256e-6 * 192, "chosen, engines stopped, loaded, playing, "},
                  {"first_steps.zms", 4 * 60.0 / 112,
                   "chosen, engines stopped, loading shown, compiled, peak data built, playing, "}};
  for (const auto& example : examples) {
    SCOPED_TRACE(example.song);
    const size_t before = Notes().size(), logged = ReadFileBytes(Path("Log.txt")).size();
    OpenSong(example.song);
    ASSERT_TRUE(WaitForNotes(before, true, 2)) << "it does not play";
    // Each step once, in its order: bench_song_open times the opening by them.
    WaitUntil([&] { return OpenStepsLogged(Path("Log.txt"), logged) == example.steps; }, kDriverWaitMs);
    EXPECT_EQ(example.steps, OpenStepsLogged(Path("Log.txt"), logged));
    const std::string name = std::string("first_") + std::string(example.song).substr(0, std::strlen(example.song) - 4);
    ASSERT_TRUE(driver_.Render(Path(name), L"0:03"));
    const std::string wave = WaitForRender(Path(name + ".wav"), 3);
    ASSERT_FALSE(wave.empty()) << "no render";
    EXPECT_GT(RmsDbfs(LeftChannel(wave, 0.1, example.bar - 0.2)), -40.0) << "the instrument tracks are not heard";
    EXPECT_GT(RmsDbfs(LeftChannel(wave, example.bar + 0.1, 3 - example.bar - 0.2)), -40.0)
        << "silent after the first bar";
  }
  ExitProgram();
}

// Step 13: the sounding test instrument's note in a render: the a of octave 5 (key 69) after a
// quarter rest at tempo 120 starts at 0.5 s, less than one 10 ms tick from it, and sounds at 440 Hz
// within 3 cents (its zero crossings over 0.3 s).
TEST_F(E2eRoadTest, RenderedToneHasItsPitchAndStart) {
  instrument_ = "tp_tone";
  ASSERT_TRUE(WriteFileBytes(Path("tarvex.ini"), std::string("[config]\r\ninipj=.\\test_instruments.tvx\r\n")));
  ASSERT_TRUE(WriteFileBytes(Path("a440.zms"), std::string("(t1) t120 o5 v15 r4 a2 r2\r\n")));
  StartProgram();
  ASSERT_TRUE(WaitForInstrumentOpen());
  OpenSong("a440.zms");
  ASSERT_TRUE(WaitForNotes(0, true, 1)) << "the note was not played";
  ASSERT_TRUE(driver_.Render(Path("a440"), L"0:02"));
  const std::string wave = WaitForRender(Path("a440.wav"), 2);
  ASSERT_FALSE(wave.empty()) << "no render";
  const std::vector<int16_t> left = LeftChannel(wave, 0.0, 2.0);
  int peak = 0;
  for (size_t i = 26460; i < 44100; ++i) peak = std::max(peak, std::abs(int(left[i])));  // 0.6-1.0 s
  ASSERT_GT(peak, 1000) << "the note is not heard";
  // From 0.1 s: the note the render's restart cut while it sounded fades over the file's first
  // 20 ms.
  size_t start = 4410;
  while (start < left.size() && std::abs(int(left[start])) * 10 < peak) ++start;
  EXPECT_LT(std::abs(start / 44100.0 - 0.5), 0.010) << "the note starts at frame " << start;
  const double hertz = ZeroCrossingFrequency(LeftChannel(wave, 0.6, 0.3));
  std::printf("the note starts at %.4f s and sounds at %.3f Hz\n", start / 44100.0, hertz);
  EXPECT_NEAR(0.0, 1200.0 * std::log2(hertz / 440.0), 3.0) << hertz << " Hz";
  ExitProgram();
}

// Step 14: the driver's pictures. Right after the window was enlarged to a client area of 1892 x
// 994, a capture has that size and shows the transport bar and the track area's background where
// the window grew; right after a file dialog closed (the program then loads the song), a capture
// shows the transport bar and nothing of the dialog where it stood.
TEST_F(E2eRoadTest, CaptureAfterEnlargingAndAfterADialog) {
  StartProgram();
  ASSERT_TRUE(WaitForScreen(ShowsTransportBar, kDriverWaitMs)) << "no transport bar";
  HWND main = driver_.MainWindow();
  RECT outer = {0, 0, 1892, 994};
  AdjustWindowRectEx(&outer, GetWindowLongW(main, GWL_STYLE), TRUE, GetWindowLongW(main, GWL_EXSTYLE));
  SetWindowPos(main, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top, SWP_NOZORDER);
  RECT client = {};
  ASSERT_TRUE(WaitUntil([&] { return GetClientRect(main, &client) && client.right == 1892 && client.bottom == 994; },
                        kPlayWaitMs))
      << "the client area is " << client.right << " x " << client.bottom;
  const WindowCapture big = driver_.CaptureTo("capture_enlarged_" + Renderer() + ".png");
  ASSERT_EQ(1892, big.Width);
  ASSERT_EQ(994, big.Height);
  EXPECT_TRUE(ShowsTransportBar(big)) << "the enlarged window's capture does not show the transport bar";
  int grown = 0, background = 0;
  for (int y = 760; y < 960; y += 8)
    for (int x = 1300; x < 1850; x += 8) ++grown, background += big.At(x, y) == 0x181818;
  EXPECT_GT(background, grown * 9 / 10) << "where the window grew: " << background << " of " << grown;

  HWND dialog = driver_.PostMenuForDialog(114);
  ASSERT_NE(nullptr, dialog);
  Sleep(300);  // drawn
  RECT area = {};
  GetClientRect(dialog, &area);
  const WindowCapture shown = CaptureWindow(dialog, 0, 0, area.right, area.bottom);
  POINT corner = {0, 0};
  ClientToScreen(dialog, &corner);
  ScreenToClient(main, &corner);
  ASSERT_TRUE(driver_.AnswerFileDialog(Path("song.mdx")));
  const WindowCapture after = driver_.CaptureTo("capture_after_dialog_" + Renderer() + ".png");
  EXPECT_TRUE(ShowsTransportBar(after)) << "the capture after the dialog does not show the transport bar";
  int inside = 0, same = 0;
  for (int y = 0; y < shown.Height; ++y)
    for (int x = 0; x < shown.Width; ++x) {
      const uint32_t p = after.At(corner.x + x, corner.y + y);
      if (p == 0xFF000000u) continue;  // outside the main window
      ++inside;
      same += p == shown.At(x, y);
    }
  ASSERT_GT(inside, 1000) << "the dialog stood outside the main window";
  EXPECT_LT(same, inside / 4) << same << " of " << inside << " pixels are still the dialog's";
  ExitProgram();
}

// Whether the program's user-interface thread is in a menu.
bool InMenu(const AppDriver& driver) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  const DWORD thread = GetWindowThreadProcessId(driver.MainWindow(), nullptr);
  return GetGUIThreadInfo(thread, &info) && (info.flags & GUI_INMENUMODE) != 0;
}

// Input for the program's menu: a click at a point of the screen, a key. No frame runs while the
// menu is open, so the driver's wait for a frame to read the input would only stall.
void SendInMenu(INPUT down, INPUT up) {
  SendInput(1, &down, sizeof down);
  Sleep(150);
  SendInput(1, &up, sizeof up);
  Sleep(300);
}

void ClickInMenu(POINT screen) {
  SetCursorPos(screen.x, screen.y);
  INPUT down = {};
  down.type = INPUT_MOUSE;
  down.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  INPUT up = down;
  up.mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInMenu(down, up);
}

void PressInMenu(WORD virtualKey) {
  INPUT down = {};
  down.type = INPUT_KEYBOARD;
  down.ki.wVk = virtualKey;
  down.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
  INPUT up = down;
  up.ki.dwFlags = KEYEVENTF_KEYUP;
  SendInMenu(down, up);
}

// Escape closes the menu, opened by a click on File or by F10, and the program runs on, with an
// ".mdx" and with a ".zms" song playing; Escape on the window then ends it. First as a user does
// it at once after the start: the song chosen and the menu opened before the program's first
// frame (its start-up takes the window's messages until then).
TEST_F(E2eRoadTest, EscapeClosesTheMenuAndOnTheWindowEndsTheProgram) {
  const FILETIME old = DateLongAgo(Path("tarvex.ini"));
  const auto clickFile = [&] {
    POINT file = {20, -10};  // "ファイル(&F)", on the menu bar above the client area
    ClientToScreen(driver_.MainWindow(), &file);
    ClickInMenu(file);
  };
  const auto stillRunning = [&] {
    // The program's end writes the settings file first, and takes seconds after that.
    const FILETIME written = Written(Path("tarvex.ini"));
    return driver_.Running() && CompareFileTime(&written, &old) == 0;
  };
  // After a click the first Escape closes the pop-up (at times the whole menu), the next leaves the
  // menu bar. Whether the program runs on a second later.
  const auto leaveMenuAndRunOn = [&] {
    for (int i = 0; i < 4 && InMenu(driver_); ++i) PressInMenu(VK_ESCAPE);
    EXPECT_FALSE(InMenu(driver_));
    Sleep(1000);
    return stillRunning();
  };
  // The bank of 4 MB takes a while to load, so that the click comes while it loads.
  CreateDirectoryW(Path("big").c_str(), nullptr);
  ASSERT_TRUE(WriteFileBytes(Path("big\\song.mdx"), RoadSongMdx()));
  std::vector<std::pair<int, std::vector<uint8_t>>> samples;
  for (int n = 0; n < 4; ++n) samples.push_back({n, std::vector<uint8_t>(1 << 20, static_cast<uint8_t>(0x19 + n))});
  ASSERT_TRUE(WriteFileBytes(Path("big\\song.pdx"), BuildPdx(samples)));
  StartProgram();
  ASSERT_NO_FATAL_FAILURE(OpenSong("big\\song.mdx"));
  // The menu opens once the bank is in. A click while the window is still coming back from the
  // dialog can go unseen: clicked again.
  const auto popupShown = [&] { return InMenu(driver_) && driver_.FindWindowOf(L"#32768"); };
  clickFile();
  ASSERT_TRUE(WaitUntil(popupShown, 5000) ||
              WaitUntil([&] { return popupShown() || (clickFile(), WaitUntil(popupShown, 1000)); }, kPlayWaitMs))
      << "the menu did not open";
  ASSERT_TRUE(leaveMenuAndRunOn()) << "the Escape that closed the menu during the start-up ended the program";
  ASSERT_TRUE(WaitForScreen(ShowsTransportBar, kDriverWaitMs)) << "the frames never started";
  for (const char* song : {"adpcm_groove.mdx", "first_steps.zms"}) {
    ASSERT_NO_FATAL_FAILURE(OpenSongAndHearIt(song));
    for (const bool click : {true, false}) {
      SCOPED_TRACE(std::string(song) + (click ? ", File clicked" : ", F10"));
      if (click) {
        clickFile();
      } else {
        PressInMenu(VK_F10);
      }
      ASSERT_TRUE(
          WaitUntil([&] { return InMenu(driver_) && (!click || driver_.FindWindowOf(L"#32768")); }, kPlayWaitMs))
          << "the menu did not open";
      ASSERT_TRUE(leaveMenuAndRunOn()) << "the Escape that closed the menu ended the program";
    }
  }
  PressEscapeUntilTheEnd(driver_, Path("tarvex.ini"), old);
  EXPECT_EQ(0u, driver_.WaitForExit(kDriverWaitMs)) << "Escape on the window did not end the program";
}

// Exit chosen while a ".zms" song is being opened (here while its file dialog is up) is not lost:
// the program ends once the song is in.
TEST_F(E2eRoadTest, ExitChosenWhileASongOpensEndsTheProgram) {
  std::string text = "(t1) t120 o4 l8";
  for (int i = 0; i < 2000; ++i) text += " c d e f g a b";
  ASSERT_TRUE(WriteFileBytes(Path("long.zms"), text + "\r\n"));
  StartProgram();
  ASSERT_TRUE(WaitForScreen(ShowsTransportBar, kDriverWaitMs)) << "the frames never started";
  ASSERT_NE(nullptr, driver_.PostMenuForDialog(114));
  driver_.PostMenu(105);
  ASSERT_TRUE(driver_.AnswerFileDialog(Path("long.zms")));
  EXPECT_EQ(0u, driver_.WaitForExit(kDriverWaitMs)) << "Exit chosen during the load was lost";
}

// Step 15: once the default renderer is Direct3D 11, its picture of the see step agrees with the
// software renderer's: the same size, and in the transport bar no pixel off by more than 16 in a
// channel outside 1 % of them (filtering and rounding differ at the tiles' and glyphs' edges).
// The see step's picture on Direct3D 11 and on Direct3D 9 against the software renderer's: the
// bar's rows within one level, but for the position and the clock, which show the moment each
// picture was taken (as the track list below the bar does).
TEST(E2eRenderers, EveryRendererShowsTheSameTransportBar) {
  const std::string software = ReadFileBytes(KeptScreenshotPath("software"));
  if (software.size() < 8) GTEST_SKIP() << "run shell.e2e_see_software first";
  uint32_t width = 0;
  std::memcpy(&width, software.data(), 4);
  const struct {
    const char* Renderer;
    const char* Test;
    const char* Logged;  // in the library's log when that back end started
  } renderers[] = {{"default", "shell.e2e_see", "D3D11"}, {"d3d9", "shell.e2e_see_d3d9", "IDirect3DDevice9"}};
  int compared = 0;
  for (const auto& r : renderers) {
    SCOPED_TRACE(r.Renderer);
    const std::string other = ReadFileBytes(KeptScreenshotPath(r.Renderer));
    // The run's library log (UTF-16) says which back end it started.
    const std::string logPath = TestBuildDir() + "/testrun/" + r.Test + "/road/Log.txt";
    const std::string ascii = LogAscii(ReadFileBytes(std::wstring(logPath.begin(), logPath.end())));
    if (other.size() < 8 || ascii.find(r.Logged) == std::string::npos) continue;
    ++compared;
    EXPECT_EQ(software.substr(0, 8), other.substr(0, 8)) << "the client areas differ in size";
    if (software.size() != other.size()) continue;
    size_t off = 0;
    for (uint32_t y = 0; y < 36; ++y)
      for (uint32_t x = 0; x < width; ++x) {
        if (x >= 170 && x < 384) continue;  // the position and the clock
        const size_t i = 8 + 4 * (size_t(y) * width + x);
        for (int c = 0; c < 3; ++c)
          if (std::abs(int(uint8_t(software[i + c])) - int(uint8_t(other[i + c]))) > 1) {
            ++off;
            break;
          }
      }
    EXPECT_EQ(0u, off) << off << " pixels differ by more than one level";
  }
  if (compared == 0) GTEST_SKIP() << "run shell.e2e_see or shell.e2e_see_d3d9 first";
}

}  // namespace
