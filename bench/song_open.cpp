// Opening a song as the user does, to its first sound: tarvex.exe started by the application
// driver in a working folder of its own (the test instrument in the eight instrument tracks, as
// scripts/workdir makes it), File → Open (MMLを開く), the song's name in the file dialog, OK,
// while the sound server's null sink is recorded (its monitor is the default recording device).
// For first_steps.zms and adpcm_groove.mdx: the time from the OK to the first recorded sound, by
// phase: the dialog gone from the screen, the program's own steps (the lines "open: <step> at
// <us> us" of its log), the first note-off and note-on that reach an instrument (the test
// instrument's logs), the first sound. The median of three starts of the program with its windows
// unmanaged, as on the test desktops, then one start with them managed, as Wine makes them by
// default (Wine's X11 setting "Managed" for the program's name): with no window manager on the
// display, as on an Xvfb, Wine waits up to 2 s for one at the end of a managed window, and the
// file dialog's call returns that much later.
// Beside them, in the same run, the platform's shares: a bare file dialog (a child of this
// benchmark, its windows managed), from the OK to the call's return; and a bare DirectSound buffer
// already playing silence, a tone written at its write cursor, to the tone's first recorded frame.
#include <windows.h>
#include <mmsystem.h>
#include <commdlg.h>
#include <dsound.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/shell/resource_ids.h"
#include "bench/support/bench_clock.h"
#include "bench/support/bench_programs.h"
#include "tests/support/test_paths.h"
#include "tools/app_driver/app_driver.h"

namespace {

constexpr int kRounds = 3;
constexpr double kRoundsSeconds = 30.0;  // no further round starts after this
constexpr int kRate = 44100;
constexpr int kBufferFrames = 220;  // 5 ms a recorded buffer
constexpr int kBuffers = 64;
constexpr int kLoud = 300;             // a recorded sample above this (of 32767) is sound
constexpr double kQuietSeconds = 0.3;  // silence before each opening
constexpr double kSoundWaitSeconds = 15.0;
constexpr int kInstruments = 8;        // the project's test instruments, logs tp_tone-0 to -7
constexpr int kFileNameField = 0x47C;  // of the common file dialogs

double Median(const std::vector<double>& values) { return BenchMedian(values, -1); }

// ---- what is heard: the recording ---------------------------------------------------------------

// Records the default recording device on a thread of its own. Each buffer is stamped with the
// clock when it arrives; a frame's time is its buffer's stamp less the frames after it.
class Recorder {
 public:
  bool Start() {
    WAVEFORMATEX format = {WAVE_FORMAT_PCM, 2, kRate, kRate * 4, 4, 16, 0};
    if (waveInOpen(&in_, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) return false;
    samples_.assign(static_cast<size_t>(kBuffers) * kBufferFrames * 2, 0);
    for (int i = 0; i < kBuffers; ++i) {
      headers_[i].lpData = reinterpret_cast<char*>(&samples_[static_cast<size_t>(i) * kBufferFrames * 2]);
      headers_[i].dwBufferLength = kBufferFrames * 4;
      waveInPrepareHeader(in_, &headers_[i], sizeof headers_[i]);
      waveInAddBuffer(in_, &headers_[i], sizeof headers_[i]);
    }
    waveInStart(in_);
    thread_ = std::thread([this] { Run(); });
    // The recording stream takes a while to start: a second of it first.
    const double start = BenchSeconds();
    while (BenchSeconds() - start < 10.0 && frames_ < kRate) Sleep(10);
    return frames_ >= kRate;
  }

  ~Recorder() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (!in_) return;
    waveInReset(in_);
    for (WAVEHDR& header : headers_) waveInUnprepareHeader(in_, &header, sizeof header);
    waveInClose(in_);
  }

  // The time of the first loud frame at or after `from`; -1 after `wait` seconds without one.
  double FirstSoundAfter(double from, double wait) {
    for (const double give = BenchSeconds() + wait;; Sleep(5)) {
      {
        std::lock_guard<std::mutex> hold(lock_);
        for (const Mark& mark : marks_)
          if (mark.time >= from && mark.loud) return mark.time;
      }
      if (BenchSeconds() >= give) return -1;
    }
  }

  // Waits for `seconds` of silence; false when none came within `wait`.
  bool WaitForQuiet(double seconds, double wait) {
    const double give = BenchSeconds() + wait;
    while (BenchSeconds() < give) {
      const double from = BenchSeconds();
      Sleep(static_cast<DWORD>(seconds * 1000) + 50);  // the recording's own delay included
      if (FirstSoundAfter(from, 0) < 0) return true;
    }
    return false;
  }

 private:
  struct Mark {  // loud or quiet from its time on
    double time;
    bool loud;
  };

  void Run() {
    for (int next = 0; !stop_;) {
      WAVEHDR& header = headers_[next];
      if (!(header.dwFlags & WHDR_DONE)) {
        Sleep(1);
        continue;
      }
      const double arrived = BenchSeconds();
      const int count = static_cast<int>(header.dwBytesRecorded / 4);
      const short* frame = reinterpret_cast<const short*>(header.lpData);
      {
        std::lock_guard<std::mutex> hold(lock_);
        for (int i = 0; i < count; ++i) {
          const bool loud = std::abs(frame[2 * i]) > kLoud || std::abs(frame[2 * i + 1]) > kLoud;
          if (marks_.empty() || marks_.back().loud != loud)
            marks_.push_back({arrived - static_cast<double>(count - i) / kRate, loud});
        }
      }
      frames_ += count;
      header.dwFlags &= ~WHDR_DONE;
      waveInAddBuffer(in_, &header, sizeof header);
      next = (next + 1) % kBuffers;
    }
  }

  HWAVEIN in_ = nullptr;
  std::vector<short> samples_;
  WAVEHDR headers_[kBuffers] = {};
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<long> frames_{0};
  std::mutex lock_;
  std::vector<Mark> marks_;
};

// ---- what reaches the instruments: the test instrument's logs ------------------------------------

// Follows the logs the test instruments write (one line per MIDI event among others), stamping
// each note-off and note-on with the clock when its line is seen.
class InstrumentWatch {
 public:
  explicit InstrumentWatch(const std::wstring& folder) : folder_(folder) {
    thread_ = std::thread([this] { Run(); });
  }
  ~InstrumentWatch() {
    stop_ = true;
    thread_.join();
  }
  // A new program writes its logs anew.
  void Restart() {
    std::lock_guard<std::mutex> hold(lock_);
    for (size_t& read : read_) read = 0;
  }
  // The first note-off (on: note-on) seen at or after `from`, or -1.
  double First(bool on, double from) {
    std::lock_guard<std::mutex> hold(lock_);
    for (const auto& [time, isOn] : notes_)
      if (time >= from && isOn == on) return time;
    return -1;
  }

 private:
  void Run() {
    while (!stop_) {
      for (int n = 0; n < kInstruments; ++n) Look(n);
      Sleep(1);
    }
  }

  // A log's new whole lines, when it has grown (its size is read without opening it: an open is a
  // round trip to Wine's server, which the program shares).
  void Look(int n) {
    const std::wstring path = folder_ + L"\\tp_tone-" + std::to_wstring(n) + L".log";
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes)) return;
    {
      std::lock_guard<std::mutex> hold(lock_);
      if (attributes.nFileSizeLow == read_[n]) return;
    }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const double seen = BenchSeconds();
    std::lock_guard<std::mutex> hold(lock_);
    LARGE_INTEGER size = {};
    GetFileSizeEx(file, &size);
    size_t& read = read_[n];
    if (static_cast<size_t>(size.QuadPart) < read) read = 0;  // written anew
    std::string text(static_cast<size_t>(size.QuadPart) - read, '\0');
    LARGE_INTEGER at = {};
    at.QuadPart = static_cast<LONGLONG>(read);
    DWORD got = 0;
    if (!text.empty() && SetFilePointerEx(file, at, nullptr, FILE_BEGIN))
      ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &got, nullptr);
    CloseHandle(file);
    text.resize(got);
    const size_t lastLine = text.rfind('\n');
    text.resize(lastLine == std::string::npos ? 0 : lastLine + 1);
    read += text.size();
    // "midi <status> <key> <velocity>" in hexadecimal: 8x note-off, 9x note-on (velocity 0: off).
    for (size_t line = 0; (line = text.find("midi ", line)) != std::string::npos; ++line) {
      unsigned status = 0, key = 0, velocity = 0;
      if (std::sscanf(text.c_str() + line, "midi %x %x %x", &status, &key, &velocity) != 3) continue;
      if ((status & 0xF0) == 0x90 || (status & 0xF0) == 0x80)
        notes_.push_back({seen, (status & 0xF0) == 0x90 && velocity > 0});
    }
  }

  std::wstring folder_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::mutex lock_;
  size_t read_[kInstruments] = {};
  std::vector<std::pair<double, bool>> notes_;
};

// ---- the platform's shares ----------------------------------------------------------------------

// A DirectSound buffer of one second playing silence in a loop; after a while a tone is written
// from its write cursor on: the seconds from that write to the tone's first recorded frame, or -1.
double BareDirectSoundLatency(Recorder& recorder) {
  HMODULE module = LoadLibraryW(L"dsound.dll");
  auto create = module ? reinterpret_cast<HRESULT(WINAPI*)(LPCGUID, LPDIRECTSOUND8*, LPUNKNOWN)>(
                             GetProcAddress(module, "DirectSoundCreate8"))
                       : nullptr;
  IDirectSound8* sound = nullptr;
  if (!create || FAILED(create(nullptr, &sound, nullptr))) return -1;
  sound->SetCooperativeLevel(GetDesktopWindow(), DSSCL_PRIORITY);
  WAVEFORMATEX format = {WAVE_FORMAT_PCM, 2, kRate, kRate * 4, 4, 16, 0};
  DSBUFFERDESC desc = {};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_GLOBALFOCUS;
  desc.dwBufferBytes = kRate * 4;
  desc.lpwfxFormat = &format;
  IDirectSoundBuffer* buffer = nullptr;
  double latency = -1;
  if (SUCCEEDED(sound->CreateSoundBuffer(&desc, &buffer, nullptr))) {
    buffer->Play(0, 0, DSBPLAY_LOOPING);  // a new buffer is silent
    recorder.WaitForQuiet(kQuietSeconds, 5.0);
    DWORD play = 0, write = 0;
    buffer->GetCurrentPosition(&play, &write);
    void* part[2] = {};
    DWORD bytes[2] = {};
    const double written = BenchSeconds();
    if (SUCCEEDED(buffer->Lock(write, kRate, &part[0], &bytes[0], &part[1], &bytes[1], 0))) {  // 0.25 s
      int n = 0;
      for (int p = 0; p < 2; ++p) {
        short* out = static_cast<short*>(part[p]);
        for (DWORD i = 0; out && i < bytes[p] / 4; ++i, ++n)
          out[2 * i] = out[2 * i + 1] = static_cast<short>(8000 * std::sin(n * 2 * 3.14159265 * 1000 / kRate));
      }
      buffer->Unlock(part[0], bytes[0], part[1], bytes[1]);
      const double heard = recorder.FirstSoundAfter(written, 5.0);
      if (heard > 0) latency = heard - written;
    }
    buffer->Stop();
    buffer->Release();
  }
  sound->Release();
  return latency;
}

// Answers the next file dialog of this process with `path`, as the driver does: the name in its
// field, then OK; the clock at the OK into `ok`.
void AnswerOwnDialog(const std::wstring& path, double& ok) {
  HWND dialog = nullptr;
  for (const double start = BenchSeconds(); !dialog && BenchSeconds() - start < 10.0; Sleep(5)) {
    dialog = FindWindowW(L"#32770", nullptr);
    DWORD process = 0;
    if (dialog) GetWindowThreadProcessId(dialog, &process);
    if (process != GetCurrentProcessId()) dialog = nullptr;
  }
  if (!dialog) return;
  Sleep(300);  // the dialog fills its fields after it shows
  SendMessageW(GetDlgItem(dialog, kFileNameField), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  ok = BenchSeconds();
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}

// A bare file dialog with the program's flags, owned by a window of this program: the seconds
// from the OK to the call's return, or -1.
double BareDialogReturn(const std::wstring& song) {
  HWND owner = CreateWindowW(L"STATIC", L"bare", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 480, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  double ok = -1;
  std::thread answer([&] { AnswerOwnDialog(song, ok); });
  wchar_t path[MAX_PATH] = {};
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = L"*.zms;*.mdx\0*.zms;*.mdx\0";
  dialog.lpstrFile = path;
  dialog.nMaxFile = MAX_PATH;
  dialog.Flags = OFN_FILEMUSTEXIST;
  const bool chosen = GetOpenFileNameW(&dialog) != FALSE;
  const double returned = BenchSeconds();
  answer.join();
  DestroyWindow(owner);
  return chosen && ok > 0 ? returned - ok : -1;
}

// ---- the program --------------------------------------------------------------------------------

// What scripts/workdir puts into a working folder: the interface images, the test instrument,
// the example songs and the project that loads the instrument into tracks 0-7, reopened at start.
bool PrepareFolder(const std::wstring& folder) {
  if (!PrepareProgramFolder(folder, {"first_steps.zms", "drums.zpdlist", "kick.wav", "snare.wav", "hat.wav",
                                     "adpcm_groove.mdx", "adpcm_groove.pdx", "test_instruments.tvx"}))
    return false;
  CreateDirectoryW((folder + L"\\tplog").c_str(), nullptr);
  return WriteTextFile(folder + L"\\tarvex.ini", "[config]\r\ninipj=.\\test_instruments.tvx\r\n");
}

// A program under a name of its own, with Wine's X11 setting "Managed" for that name.
struct Program {
  const char* title;
  const wchar_t* name;
  const char* managed;  // "Y" or "N"
  int rounds;           // starts of the program
};

std::string X11Key(const Program& program) {
  std::string name;
  for (const wchar_t* c = program.name; *c; ++c) name += static_cast<char>(*c);
  return "Software\\Wine\\AppDefaults\\" + name + "\\X11 Driver";
}

bool SetManaged(const Program& program) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, X11Key(program).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return false;
  const bool set =
      RegSetValueExA(key, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(program.managed), 2) == ERROR_SUCCESS;
  RegCloseKey(key);
  return set;
}

void ForgetManaged(const Program& program) {
  const std::string key = X11Key(program);
  RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, key.substr(0, key.rfind('\\')).c_str());
}

// One opening: when each phase ended, in seconds after the OK, in their order.
struct Opening {
  std::vector<std::pair<std::string, double>> phases;
};

// The program's step lines in its log (UTF-16, read as ASCII): "open: <step> at <us> us".
std::vector<std::pair<std::string, double>> ReadSteps(const std::wstring& path) {
  std::vector<std::pair<std::string, double>> steps;
  std::string text;
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return steps;
  std::vector<wchar_t> units(1 << 20);
  DWORD read = 0;
  ReadFile(file, units.data(), static_cast<DWORD>(units.size() * sizeof(wchar_t)), &read, nullptr);
  CloseHandle(file);
  for (DWORD i = 0; i < read / sizeof(wchar_t); ++i) text += units[i] < 128 ? static_cast<char>(units[i]) : '?';
  for (size_t at = text.find("open: "); at != std::string::npos; at = text.find("open: ", at + 1)) {
    const size_t clock = text.find(" at ", at), end = text.find('\n', at);
    if (clock == std::string::npos || clock > end) continue;
    steps.push_back({text.substr(at + 6, clock - at - 6), std::atof(text.c_str() + clock + 4) / 1e6});
  }
  return steps;
}

// File → Open, the song's name, OK; the dialog gone, the first note-off and note-on at an
// instrument and the first sound recorded after the OK; the clock at the OK into `ok`.
bool Open(AppDriver& driver, Recorder& recorder, InstrumentWatch& instruments, const std::wstring& song, double& ok,
          Opening& opening) {
  if (!recorder.WaitForQuiet(kQuietSeconds, 10.0)) {
    std::printf("the program does not fall silent before the opening\n");
    return false;
  }
  HWND dialog = driver.PostMenuForDialog(TARVEX_CMD_OPEN_SONG);
  if (!dialog) {
    std::printf("no file dialog came for the opening\n");
    return false;
  }
  Sleep(300);  // the dialog fills its fields after it shows
  SendMessageW(GetDlgItem(dialog, kFileNameField), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(song.c_str()));
  ok = BenchSeconds();
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  while (IsWindow(dialog) && IsWindowVisible(dialog) && BenchSeconds() - ok < 10.0) Sleep(1);
  opening.phases.push_back({"dialog gone from the screen", BenchSeconds() - ok});
  const double heard = recorder.FirstSoundAfter(ok, kSoundWaitSeconds);
  if (heard < 0) {
    std::printf("no sound within %.0f s of the opening\n", kSoundWaitSeconds);
    return false;
  }
  Sleep(100);  // the logs' last lines
  const double off = instruments.First(false, ok), on = instruments.First(true, ok);
  if (off > 0) opening.phases.push_back({"first note-off at an instrument", off - ok});
  if (on > 0) opening.phases.push_back({"first note-on at an instrument", on - ok});
  opening.phases.push_back({"first sound recorded", heard - ok});
  return true;
}

// The program's steps logged after `ok`, placed among the phases by their time.
void AddSteps(Opening& opening, const std::vector<std::pair<std::string, double>>& steps, double ok, double end) {
  for (const auto& [step, time] : steps)
    if (time >= ok && time <= end) opening.phases.push_back({"program: " + step, time - ok});
  std::stable_sort(opening.phases.begin(), opening.phases.end(),
                   [](const auto& a, const auto& b) { return a.second < b.second; });
}

struct Openings {
  std::vector<Opening> mml, mdx;
};

// One start of the program: first_steps.zms opened, stopped, adpcm_groove.mdx opened, Exit.
bool RunRound(const Program& program, const std::wstring& folder, Recorder& recorder, InstrumentWatch& instruments,
              Openings& openings) {
  AppDriver driver;
  instruments.Restart();
  const std::wstring path = folder + L"\\" + program.name;
  if (!driver.Start(path, folder, {{L"TARVEX_LOG", L"1"}, {L"TARVEX_TP_LOG_DIR", folder + L"\\tplog"}})) {
    std::printf("tarvex.exe did not start\n");
    return false;
  }
  // Past its start: the project's instruments loaded, frames running.
  if (!WaitUntil([&] { return driver.FramesRead() > 10; }, kDriverWaitMs)) {
    std::printf("tarvex.exe started but its frames did not run\n");
    return false;
  }
  Sleep(500);
  Opening zms, mdx;
  double zmsOk = 0, mdxOk = 0;
  if (!Open(driver, recorder, instruments, folder + L"\\first_steps.zms", zmsOk, zms)) return false;
  Sleep(500);
  driver.PostMenu(TARVEX_CMD_STOP);
  if (!Open(driver, recorder, instruments, folder + L"\\adpcm_groove.mdx", mdxOk, mdx)) return false;
  driver.PostMenu(TARVEX_CMD_EXIT);
  driver.WaitForExit(20000);
  const auto steps = ReadSteps(folder + L"\\Log.txt");
  AddSteps(zms, steps, zmsOk, mdxOk);
  AddSteps(mdx, steps, mdxOk, mdxOk + kSoundWaitSeconds);
  openings.mml.push_back(zms);
  openings.mdx.push_back(mdx);
  return true;
}

// The median of each phase over the rounds, in the order of the first round, with the time since
// the phase before; then the whole against the platform's share of it, and the rest: the program's.
void PrintOpenings(const char* song, const Program& program, const std::vector<Opening>& rounds,
                   const char* platformName, double platform) {
  std::printf("%s, windows %s: from the OK in the file dialog (median of %zu starts)\n", song, program.title,
              rounds.size());
  double last = 0, sound = -1;
  for (const auto& phase : rounds[0].phases) {
    std::vector<double> times;
    for (const Opening& round : rounds)
      for (const auto& [name, time] : round.phases)
        if (name == phase.first) times.push_back(time);
    const double at = Median(times);
    std::printf("  %-36s at %7.1f ms  (+%6.1f)\n", phase.first.c_str(), 1000 * at, 1000 * (at - last));
    last = std::max(last, at);
    if (phase.first == "first sound recorded") sound = at;
  }
  const std::string label = std::string("open to sound (") + program.title + "): " + song;
  PrintBenchRatio(label.c_str(), 1000 * sound, platformName, 1000 * platform, "ms");
  std::printf("  the program's own share: %.1f ms (target < 500)\n", 1000 * (sound - platform));
}

// The bare dialog's time, from a copy of this benchmark run as a child whose windows are managed.
double ManagedBareDialogReturn(const std::wstring& folder) {
  const Program bare = {"managed", L"bare_dialog.exe", "Y", 1};
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring copy = folder + L"\\" + bare.name;
  if (!CopyFileW(self, copy.c_str(), FALSE) || !SetManaged(bare)) return -1;
  const DWORD code = RunToItsEnd(L"\"" + copy + L"\" dialog \"" + folder + L"\\first_steps.zms\"", 30000, 0, false);
  ForgetManaged(bare);
  return code > 0 ? code / 1e6 : -1;  // microseconds
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "dialog") == 0) {
    const double seconds = BareDialogReturn(BenchWide(argv[2]));
    return seconds > 0 ? static_cast<int>(seconds * 1e6) : 0;
  }
  Recorder recorder;
  if (!recorder.Start()) {
    std::printf("nothing can be recorded (scripts/bench starts a sound server with a null sink)\n");
    return 1;
  }
  wchar_t here[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, here);
  const std::wstring folder = std::wstring(here) + L"\\open_run";
  if (!PrepareFolder(folder)) {
    std::printf("the run folder could not be made ready\n");
    return 1;
  }
  InstrumentWatch instruments(folder + L"\\tplog");

  // Unmanaged first: its rounds give the program's own time; one managed round shows the wait.
  const Program programs[] = {{"unmanaged", L"tarvex_unmanaged.exe", "N", kRounds},
                              {"managed", L"tarvex_managed.exe", "Y", 1}};
  Openings openings[2];
  const double start = BenchSeconds();
  for (int p = 0; p < 2; ++p) {
    const Program& program = programs[p];
    if (!CopyBuildFile(TestBuildDir() + "/tarvex.exe", folder + L"\\" + program.name) || !SetManaged(program)) {
      std::printf("tarvex.exe could not be copied or its windows set %s\n", program.title);
      return 1;
    }
    bool ran = true;
    for (int round = 0; ran && round < program.rounds && (round == 0 || BenchSeconds() - start < kRoundsSeconds);
         ++round)
      ran = RunRound(program, folder, recorder, instruments, openings[p]);
    ForgetManaged(program);
    if (!ran) return 1;
  }

  std::vector<double> bares;
  for (int i = 0; i < kRounds; ++i) bares.push_back(BareDirectSoundLatency(recorder));
  const double dialog = ManagedBareDialogReturn(folder), bare = Median(bares);
  std::printf("bare file dialog (managed), OK to return: %.1f ms; bare DirectSound, write to sound: %.1f ms\n",
              1000 * dialog, 1000 * bare);
  // The platform's share: the sound's way out, and where windows are managed the dialog's return.
  for (int p = 0; p < 2; ++p) {
    const char* name = p == 0 ? "bare DirectSound" : "bare dialog + DirectSound";
    const double platform = p == 0 ? bare : dialog + bare;
    PrintOpenings("first_steps.zms", programs[p], openings[p].mml, name, platform);
    PrintOpenings("adpcm_groove.mdx", programs[p], openings[p].mdx, name, platform);
  }
  return dialog < 0 || bare < 0 ? 1 : 0;
}
