// The end-to-end road's fixture: a working folder of its own for tarvex.exe, a copy of the one
// scripts/workdir made ready (the CTest test shell.e2e_workdir: images, the sounding test
// instrument, the example songs), with the road's song and its bank (made with the MDX builder)
// and the instrument tp_kezmir as a project that start-up reopens; the program started there
// through the driver, with the test plug-ins' logs in a folder the test reads.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tools/app_driver/app_driver.h"

// Keys of the song's FM track: c d e f once, then g again and again.
constexpr int kRoadOpening[] = {60, 62, 64, 65};
constexpr int kRoadLoopKey = 67;

// Bounds of the waits for what the program does in its own time, for a machine that runs twice as
// many tests as it has cores (the program then gets half a core, and its sound server is starved
// now and then). A wait ends as soon as its condition holds: the bound costs only a test that
// fails. What the program loads or starts (its window, a project, the instrument, a dialog, a
// render) gets the driver's bound, kDriverWaitMs; what a playing song or the next frames bring (a
// note, a picture that changes) gets this one.
constexpr int kPlayWaitMs = 10000;

// A note-on or note-off the instrument received, in its log's order.
struct LoggedNote {
  bool on;
  int key;
};

class E2eRoadTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The working folder as scripts/workdir left it, with an empty folder for the plug-ins' logs.
  void PrepareFolder();

  // Starts tarvex.exe in the working folder; fails the test when its window does not come within
  // kDriverWaitMs.
  void StartProgram();
  // Ends the program with menu command 105 and expects exit code 0.
  void ExitProgram();
  // Menu 114 answered with `name` of the working folder.
  void OpenSong(const std::string& name);
  // Opens the song `name` of the working folder and waits for its opening notes.
  void OpenSongAndHearIt(const std::string& name = "song.mdx");
  // Menu 115 answered with `name` of the working folder, and the box saying it completed.
  void SaveProject(const std::string& name);

  std::wstring Path(const std::string& name) const;
  // The log of `instrument_` in this run (its first instance): every line.
  std::vector<std::string> PluginLog(int instance = 0) const;
  std::vector<LoggedNote> Notes(int instance = 0) const;
  // Waits for `count` notes (on, or off) after the first `from` notes of the log.
  bool WaitForNotes(size_t from, bool on, size_t count, int timeoutMs = kPlayWaitMs) const;
  // The keys of the note-ons after the first `from` notes.
  std::vector<int> KeysOnAfter(size_t from) const;
  // Whether the log holds a line starting with `prefix`.
  bool Logged(const std::string& prefix, int instance = 0) const;
  // Waits for the instrument's effOpen in the log.
  bool WaitForInstrumentOpen() const;
  // Waits for a window of the program named `name`.
  bool WaitForWindow(const wchar_t* name, int timeoutMs = kDriverWaitMs);
  // Waits for a capture of the client area that `shows`; the last capture taken in `*last`.
  bool WaitForScreen(const std::function<bool(const WindowCapture&)>& shows, int timeoutMs = kPlayWaitMs,
                     WindowCapture* last = nullptr);

  // What the program wrote to its standard output in its latest run (complete once it has ended).
  std::string ProgramOutput() const;

  // "software", "d3d9" or "default": the renderer this run asked Wine for.
  static std::string Renderer();

  std::wstring folder_;                   // the working folder, a full path
  std::string instrument_ = "tp_kezmir";  // the test plug-in whose logs the notes are read from
  AppDriver driver_;
};

// A first start: the working folder only as scripts/workdir made it ready; the notes are read
// from the sounding test instrument's logs.
class E2eFirstRun : public E2eRoadTest {
 protected:
  void SetUp() override;
};

// The song's bytes: FM track 0 selects tone 0 and plays the opening and the loop; PCM track 8
// plays sample 0 of the bank, a 1 kHz tone of `seconds`, for the song's first 10 s.
std::vector<uint8_t> RoadSongMdx();
std::vector<uint8_t> RoadSongPdx(double seconds = 8.0);
// The track list's song, 16 tracks and no bank: FM track 0 plays the opening `rounds` times and
// ends; every other track rests a moment and ends, track 10 (a column of the second row) longest.
std::vector<uint8_t> TrackListSongMdx(int rounds);
// FM tracks 0-3 each select tone 0 and play the loop key again and again.
std::vector<uint8_t> ToneSongMdx();

// The frequency (Hz, 10 Hz steps from 100 Hz to 5 kHz) of the strongest component of 16-bit
// samples at 44.1 kHz, the mean taken off; and their RMS level in dB of full scale.
double DominantFrequency(const std::vector<int16_t>& samples);
double RmsDbfs(const std::vector<int16_t>& samples);
