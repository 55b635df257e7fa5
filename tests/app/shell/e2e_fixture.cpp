#include "tests/app/shell/e2e_fixture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <sstream>

#include "tools/song_writer/adpcm_encode.h"
#include "tools/song_writer/mdx_builder.h"
#include "tests/app/engine/mdx_player_fixture.h"
#include "tests/app/shell/program_job.h"
#include "tests/support/test_files.h"
#include "tests/support/test_paths.h"

namespace {

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(folder + L"\\" + name);
      else
        DeleteFileW((folder + L"\\" + name).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(folder.c_str());
}

// Copies the files and folders of `from` into `to`, made anew.
bool CopyTree(const std::wstring& from, const std::wstring& to) {
  if (!CreateDirectoryW(to.c_str(), nullptr)) return false;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((from + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      ok = CopyTree(from + L"\\" + name, to + L"\\" + name) && ok;
    else
      ok = CopyFileW((from + L"\\" + name).c_str(), (to + L"\\" + name).c_str(), FALSE) && ok;
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return ok;
}

// Tone 0: one operator stack that sounds.
std::array<uint8_t, 27> RoadTone() {
  MdxToneFields tone;
  tone.connection = 7;
  tone.slotMask = 15;
  for (MdxOperatorFields& op : tone.op) op.ar = 31, op.rr = 15, op.mul = 1;
  return PackMdxTone(tone);
}

}  // namespace

std::vector<uint8_t> RoadSongMdx() {
  MdxTrack fm;
  fm.Tempo(100).Tone(0);  // 40 ms a tick
  for (int key : kRoadOpening) fm.Note(key, 5);
  const size_t loop = fm.Here();
  fm.Note(kRoadLoopKey, 5).JumpTo(loop);
  MdxTrack pcm;
  pcm.Sample(0, 250).End();
  MdxBuilder song;
  song.title = "ROAD SONG";
  song.bankName = "song";
  song.tracks.push_back(fm.bytes);
  for (int t = 1; t < 8; ++t) song.tracks.push_back(MdxTrack().End().bytes);
  song.tracks.push_back(pcm.bytes);
  song.tones.push_back(RoadTone());
  return song.Build();
}

std::vector<uint8_t> TrackListSongMdx(int rounds) {
  MdxTrack fm;
  fm.Tempo(100).Tone(0);
  for (int round = 0; round < rounds; ++round)
    for (int key : kRoadOpening) fm.Note(key, 5);
  MdxBuilder song;
  song.title = "TRACK LIST";
  song.tracks.push_back(fm.End().bytes);
  for (int t = 1; t < 16; ++t) {
    MdxTrack rest;
    for (int i = 0; i < (t == 10 ? 4 : 1); ++i) rest.Rest(20);
    song.tracks.push_back(rest.End().bytes);
  }
  song.tones.push_back(RoadTone());
  return song.Build();
}

std::vector<uint8_t> ToneSongMdx() {
  MdxBuilder song;
  song.title = "TONES";
  for (int t = 0; t < 4; ++t) {
    MdxTrack fm;
    if (t == 0) fm.Tempo(100);
    fm.Tone(0);
    const size_t loop = fm.Here();
    fm.Note(kRoadLoopKey, 5).JumpTo(loop);
    song.tracks.push_back(fm.bytes);
  }
  song.tones.push_back(RoadTone());
  return song.Build();
}

std::vector<uint8_t> RoadSongPdx(double seconds) {
  std::vector<int32_t> tone(static_cast<size_t>(seconds * 15600));
  for (size_t i = 0; i < tone.size(); ++i)
    tone[i] = static_cast<int32_t>(std::lround(600.0 * std::sin(2.0 * M_PI * 1000.0 * i / 15600.0)));
  return BuildPdx({{0, EncodeAdpcm(tone)}});
}

double DominantFrequency(const std::vector<int16_t>& samples) {
  double mean = 0;
  for (int16_t s : samples) mean += s;
  mean /= std::max<size_t>(1, samples.size());
  double best = 0, bestPower = -1;
  for (double f = 100; f <= 5000; f += 10) {
    // Goertzel's recurrence at f.
    const double k = 2.0 * std::cos(2.0 * M_PI * f / 44100.0);
    double s1 = 0, s2 = 0;
    for (int16_t s : samples) {
      const double s0 = (s - mean) + k * s1 - s2;
      s2 = s1;
      s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - k * s1 * s2;
    if (power > bestPower) bestPower = power, best = f;
  }
  return best;
}

double RmsDbfs(const std::vector<int16_t>& samples) {
  double sum = 0;
  for (int16_t s : samples) sum += static_cast<double>(s) * s;
  return 10.0 * std::log10(std::max(1e-12, sum / std::max<size_t>(1, samples.size())) / (32768.0 * 32768.0));
}

std::string E2eRoadTest::Renderer() {
  char value[256] = {};
  GetEnvironmentVariableA("TARVEX_RENDERER", value, sizeof value);
  const std::string renderer = value;
  return renderer == "software" || renderer == "d3d9" ? renderer : "default";
}

void E2eRoadTest::PrepareFolder() {
  EndTestProgramOnFault();
  wchar_t here[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, here);
  folder_ = std::wstring(here) + L"\\road";
  RemoveTree(folder_);
  const std::wstring ready = Wide(TestBuildDir() + "/testrun/e2e_workdir");
  const DWORD readyAttributes = GetFileAttributesW(ready.c_str());
  ASSERT_TRUE(readyAttributes != INVALID_FILE_ATTRIBUTES && (readyAttributes & FILE_ATTRIBUTE_DIRECTORY))
      << "no working folder made ready by scripts/workdir: run the CTest test shell.e2e_workdir first";
  ASSERT_TRUE(CopyTree(ready, folder_));
  CreateDirectoryW(Path("tplog").c_str(), nullptr);
}

void E2eRoadTest::SetUp() {
  ASSERT_NO_FATAL_FAILURE(PrepareFolder());
  ASSERT_TRUE(CopyFileW(Wide(TestBinPath("tp_kezmir.dll")).c_str(), Path("tp_kezmir.dll").c_str(), FALSE));
  ASSERT_TRUE(WriteFileBytes(Path("song.mdx"), RoadSongMdx()));
  ASSERT_TRUE(WriteFileBytes(Path("song.pdx"), RoadSongPdx()));
  // The instrument in track 0, slot 0, two parameters set, its window open (as tall as the screen's
  // work area: its editor reports no size) at the screen's right edge, clear of the main window.
  ASSERT_TRUE(
      WriteFileBytes(Path("proj.tvx"), std::string("[Track]\r\nTr00Sl00VST=.\\tp_kezmir.dll\r\nTr00Sl00PosX=1650\r\n"
                                                   "Tr00Sl00PosY=0\r\n[Bus]\r\nTr00Ef00EditButton=true\r\n"
                                                   "[VstParameter]\r\nTr00EfNum=2\r\nTr00Ef00Value000=0.25\r\n"
                                                   "Tr00Ef00Value001=0.75\r\n")));
  ASSERT_TRUE(WriteFileBytes(Path("tarvex.ini"), std::string("[config]\r\ninipj=.\\proj.tvx\r\n")));
}

void E2eFirstRun::SetUp() {
  instrument_ = "tp_tone";
  ASSERT_NO_FATAL_FAILURE(PrepareFolder());
}

void E2eRoadTest::TearDown() {
  if (driver_.Running()) driver_.WaitForExit(0);  // a test that failed half-way
}

std::wstring E2eRoadTest::Path(const std::string& name) const { return folder_ + L"\\" + Wide(name); }

void E2eRoadTest::StartProgram() {
  driver_.SendOutputTo(Path("stdout.txt"));
  const bool started = driver_.Start(Wide(TestBuildDir() + "/tarvex.exe"), folder_,
                                     {{L"TARVEX_TP_LOG_DIR", Path("tplog")}, {L"TARVEX_LOG", L"1"}});
  // Also a program whose window never came: it must not outlive this test program either.
  if (driver_.Process()) {
    EXPECT_TRUE(TestProgramJob().Hold(driver_.Process())) << "tarvex.exe is not in the job";
  }
  ASSERT_TRUE(started) << "no window \"tarvex\" within " << kDriverWaitMs / 1000 << " s";
}

void E2eRoadTest::ExitProgram() {
  // A command that comes while a box's command is still finishing is not taken: 105 again.
  WaitUntil(
      [&] {
        driver_.PostMenu(105);
        return WaitForSingleObject(driver_.Process(), 500) == WAIT_OBJECT_0;
      },
      5000);
  const std::string windows = driver_.DescribeWindows();
  // The end after a project was opened can take more than 5 s (plug-ins and sound closed).
  EXPECT_EQ(0u, driver_.WaitForExit(kDriverWaitMs)) << "the program's windows:\n" << windows;
}

void E2eRoadTest::OpenSong(const std::string& name) {
  ASSERT_NE(nullptr, driver_.PostMenuForDialog(114)) << name;
  ASSERT_TRUE(driver_.AnswerFileDialog(Path(name))) << name;
}

void E2eRoadTest::SaveProject(const std::string& name) {
  ASSERT_NE(nullptr, driver_.PostMenuForDialog(115)) << name;
  ASSERT_TRUE(driver_.AnswerFileDialog(Path(name))) << name;
  ASSERT_TRUE(driver_.AnswerBox(L"completed", IDOK)) << "the save of " << name << " did not finish";
}

void E2eRoadTest::OpenSongAndHearIt(const std::string& name) {
  const size_t before = Notes().size();
  ASSERT_NO_FATAL_FAILURE(OpenSong(name));
  ASSERT_TRUE(WaitForNotes(before, true, 4)) << "the song's notes never came";
}

std::string E2eRoadTest::ProgramOutput() const { return ReadFileBytes(Path("stdout.txt")); }

std::vector<std::string> E2eRoadTest::PluginLog(int instance) const {
  std::istringstream text(ReadFileBytes(Path("tplog\\" + instrument_ + "-" + std::to_string(instance) + ".log")));
  std::vector<std::string> lines;
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  return lines;
}

std::vector<LoggedNote> E2eRoadTest::Notes(int instance) const {
  std::vector<LoggedNote> notes;
  for (const std::string& line : PluginLog(instance)) {
    unsigned status = 0, key = 0, velocity = 0;
    if (std::sscanf(line.c_str(), "midi %x %x %x", &status, &key, &velocity) != 3) continue;
    if ((status & 0xF0) == 0x90 && velocity != 0) notes.push_back({true, static_cast<int>(key)});
    if ((status & 0xF0) == 0x80 || ((status & 0xF0) == 0x90 && velocity == 0))
      notes.push_back({false, static_cast<int>(key)});
  }
  return notes;
}

bool E2eRoadTest::WaitForNotes(size_t from, bool on, size_t count, int timeoutMs) const {
  return WaitUntil(
      [&] {
        Sleep(30);  // the log is read a few times in 100 ms, not in a tight loop
        const std::vector<LoggedNote> notes = Notes();
        return static_cast<size_t>(std::count_if(notes.begin() + std::min(from, notes.size()), notes.end(),
                                                 [&](const LoggedNote& n) { return n.on == on; })) >= count;
      },
      timeoutMs);
}

std::vector<int> E2eRoadTest::KeysOnAfter(size_t from) const {
  const std::vector<LoggedNote> notes = Notes();
  std::vector<int> keys;
  for (size_t i = from; i < notes.size(); ++i)
    if (notes[i].on) keys.push_back(notes[i].key);
  return keys;
}

bool E2eRoadTest::Logged(const std::string& prefix, int instance) const {
  for (const std::string& line : PluginLog(instance))
    if (line.compare(0, prefix.size(), prefix) == 0) return true;
  return false;
}

bool E2eRoadTest::WaitForInstrumentOpen() const {
  return WaitUntil([&] { return Logged("dispatch 0 "); }, kDriverWaitMs);
}

bool E2eRoadTest::WaitForWindow(const wchar_t* name, int timeoutMs) {
  return WaitUntil([&] { return driver_.FindWindowOf(name) != nullptr; }, timeoutMs);
}

bool E2eRoadTest::WaitForScreen(const std::function<bool(const WindowCapture&)>& shows, int timeoutMs,
                                WindowCapture* last) {
  WindowCapture shot;
  const bool shown = WaitUntil(
      [&] {
        shot = driver_.Capture();
        return !shot.Empty() && shows(shot);
      },
      timeoutMs);
  if (last) *last = shot;
  return shown;
}
