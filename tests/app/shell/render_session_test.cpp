// The render dialog in the running program, on a ".zms" song whose sample list plays a short
// sound at its start: Export writes the chosen length from the song's start, the progress ends
// at 100 % and a second render draws anew; lengths that are no time keep the dialog open; a
// render that cannot run says so and arms nothing; Browse fills in the chosen name.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/engine/sequencer/sequencer.h"
#include "app/engine/sequencer/song_engine.h"
#include "app/engine/mixer/wave_file.h"
#include "app/shell/app_state.h"
#include "app/shell/frame_loop.h"
#include "app/shell/menu_commands.h"
#include "app/shell/resource_ids.h"
#include "tests/app/shell/pcm_wave.h"
#include "tests/app/shell/program_session.h"
#include "tests/support/test_files.h"
#include "zovuz/zovuz.h"

namespace {

constexpr int kDuration = 0, kName = 1, kBrowse = 2, kExport = 3;
constexpr uint32_t kSecondBytes = 176400;

// A tenth of a second at a steady level, the song's sample list naming it for three octaves' c,
// and a song whose first sample track strikes it at once.
void WriteSong() {
  std::string kick = WaveHeader(4410 * 4);
  for (int i = 0; i < 4410 * 2; ++i) Le(kick, 8000, 2);
  std::ofstream("kick.wav", std::ios::binary) << kick;
  std::ofstream("kit.zpdlist", std::ios::binary) << "Zkitlist!3 c kick.wav\r\n4 c kick.wav\r\n5 c kick.wav\r\n";
  std::ofstream("render.zms", std::ios::binary) << ".a=kit.zpdlist\r\n(t9) t120 o4 l4 c c c c c c c c\r\n";
}

// The first frame with sound in a written render, or -1.
int FirstSoundFrame(const std::string& file) {
  for (size_t at = kWaveHeaderBytes; at + 4 <= file.size(); at += 4) {
    if (file.compare(at, 4, std::string(4, '\0')) != 0) return static_cast<int>((at - kWaveHeaderBytes) / 4);
  }
  return -1;
}

class RenderSessionTest : public ProgramSessionTest {
 protected:
  void SetUp() override {
    ProgramSessionTest::SetUp();
    for (const char* made : {"name.wav", "silent.wav", "never.wav", "nosong.wav", "huge.wav", "ended.wav", "held.wav",
                             "hidden.wav", "system.wav"}) {
      SetFileAttributesA(made, FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(made);
    }
    WIN32_FIND_DATAA probe;  // a check's file left by a run that broke off
    HANDLE found = FindFirstFileA("tvx*.tmp", &probe);
    if (found != INVALID_HANDLE_VALUE) {
      do DeleteFileA(probe.cFileName);
      while (FindNextFileA(found, &probe));
      FindClose(found);
    }
    WriteSong();
    OpenSongFile("render.zms");
    ASSERT_EQ(1, g_songs[0].loaded);
    OnMenuCommand(TARVEX_CMD_RENDER);
    ASSERT_NE(nullptr, g_app.renderDialog);
  }
  void TearDown() override {
    if (g_app.renderDialog) DestroyWindow(g_app.renderDialog);
    ProgramSessionTest::TearDown();
  }
  static HWND Child(int id) { return GetDlgItem(g_app.renderDialog, id); }
  static std::string ChildText(int id) {
    char text[300] = {};
    GetWindowTextA(Child(id), text, sizeof text);
    return text;
  }
  static void Click(int id) {
    SendMessageA(g_app.renderDialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Child(id)));
  }
  static void Export(const char* name, const char* duration) {
    SetWindowTextA(Child(kName), name);
    SetWindowTextA(Child(kDuration), duration);
    Click(kExport);
  }
};

TEST_F(RenderSessionTest, ExportWritesTheChosenLengthFromTheSongsStartAndASecondRenderDrawsAnew) {
  HWND dialog = g_app.renderDialog;
  OnMenuCommand(TARVEX_CMD_RENDER);
  EXPECT_EQ(dialog, g_app.renderDialog) << "a second dialog";
  EXPECT_EQ("mix.wav", ChildText(kName));
  EXPECT_EQ("0:30", ChildText(kDuration));

  Export("name.mp3", "0:01");
  EXPECT_EQ(nullptr, g_app.renderDialog);
  EXPECT_STREQ("name.wav", g_app.renderFileName);
  const std::string file = ReadFileBytes(std::string(g_app.workingDirectory) + "\\name.wav");
  ASSERT_EQ(kWaveHeaderBytes + kSecondBytes, file.size());
  EXPECT_EQ(WaveHeader(kSecondBytes), file.substr(0, kWaveHeaderBytes));
  const int first = FirstSoundFrame(file);
  EXPECT_GE(first, 0);
  EXPECT_LT(first, 441);
  EXPECT_EQ(0, g_waveFile.armed);
  EXPECT_EQ(1, g_songs[0].paused);
  WIN32_FIND_DATAA probe;
  EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileA("tvx*.tmp", &probe)) << "the check's file was left behind";
  // The last picture shows the render complete.
  EXPECT_EQ(std::min(g_app.renderHalfWidth, kRenderColumns - 1), g_app.renderLastColumn);
  int peaks = 0;
  for (int x = 0; x < kRenderColumns; ++x) peaks += g_app.renderWave[kRenderLeftMax][x] != 0;
  EXPECT_GT(peaks, 0);

  // A silent second render leaves no peak of the first one standing.
  for (SongTrack& track : g_songs[0].tracks) track.mute = 1;
  OnMenuCommand(TARVEX_CMD_RENDER);
  Export("silent", "1");
  EXPECT_EQ(-1, FirstSoundFrame(ReadFileBytes("silent.wav")));
  for (int x = 0; x < kRenderColumns; ++x) ASSERT_EQ(0, g_app.renderWave[kRenderLeftMax][x]) << x;
}

TEST_F(RenderSessionTest, ALengthThatIsNoTimeOrARenderRunningKeepsTheDialogOpen) {
  for (const char* duration : {"0:00", "abc", ""}) {
    Export("never", duration);
    EXPECT_TRUE(IsWindow(g_app.renderDialog)) << duration;
    EXPECT_EQ(0, g_waveFile.armed);
  }
  g_app.renderRunning = 1;  // as while another render plays
  Export("never", "0:01");
  g_app.renderRunning = 0;
  EXPECT_TRUE(IsWindow(g_app.renderDialog));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("never.wav"));
}

TEST_F(RenderSessionTest, ARenderThatCannotRunSaysFailedArmsNothingAndTheProgramGoesOn) {
  g_songs[0].loaded = 0;  // MML mode without a song
  {
    FailureBoxAnswerer answer;
    Export("nosong", "0:01");
    EXPECT_TRUE(answer.Seen());
  }
  g_songs[0].loaded = 1;
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("nosong.wav"));

  // Targets that cannot be written are refused before anything plays (the progress never
  // starts): a folder that does not exist, a file another program holds, a hidden file and a
  // system file, which the writer's create-always open may not replace on Windows (Wine lets it,
  // so here only the check's rule is seen). Files are left as they were.
  const struct {
    const char* name;
    DWORD attributes;
  } kept[] = {{"held.wav", FILE_ATTRIBUTE_NORMAL},
              {"hidden.wav", FILE_ATTRIBUTE_HIDDEN},
              {"system.wav", FILE_ATTRIBUTE_SYSTEM}};
  for (const auto& file : kept) {
    std::ofstream(file.name, std::ios::binary) << "kept";
    ASSERT_TRUE(SetFileAttributesA(file.name, file.attributes)) << file.name;
  }
  HANDLE held = CreateFileA("held.wav", GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  for (const char* target : {"no_such_folder\\unwritten", "held", "hidden", "system"}) {
    OnMenuCommand(TARVEX_CMD_RENDER);
    g_app.renderLastColumn = -5;
    FailureBoxAnswerer answer;
    Export(target, "1");
    EXPECT_TRUE(answer.Seen()) << target;
    EXPECT_EQ(-5, g_app.renderLastColumn) << target << ": the render ran";
  }
  CloseHandle(held);
  for (const auto& file : kept) EXPECT_TRUE(ReadFileBytes(file.name) == "kept") << file.name << " was changed";

  // 99:59 needs 1.06 GB of buffers; the address space is taken before, so they cannot come.
  OnMenuCommand(TARVEX_CMD_RENDER);
  FailureBoxAnswerer answer;
  std::vector<void*> reserved;
  for (SIZE_T chunk = 256u << 20; chunk >= (64u << 20); chunk /= 2) {
    while (void* block = VirtualAlloc(nullptr, chunk, MEM_RESERVE, PAGE_NOACCESS)) reserved.push_back(block);
  }
  Export("huge", "99:59");
  for (void* block : reserved) VirtualFree(block, 0, MEM_RELEASE);
  EXPECT_TRUE(answer.Seen());
  EXPECT_EQ(0, g_waveFile.armed);
  EXPECT_EQ(0, g_app.renderRunning);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("huge.wav"));
  EXPECT_EQ(0, RunFrame());
}

TEST_F(RenderSessionTest, BrowsePutsTheChosenNameAsAWavIntoTheField) {
  {
    DialogAnswerer cancelled({{"", "", IDCANCEL}});
    Click(kBrowse);
    EXPECT_EQ(1, cancelled.Answered());
  }
  EXPECT_EQ("mix.wav", ChildText(kName));
  DialogAnswerer chosen({{"", "chosen.mp3", IDOK}});
  Click(kBrowse);
  EXPECT_EQ(1, chosen.Answered());
  const std::string name = ChildText(kName);
  EXPECT_EQ("\\chosen.wav", name.substr(name.size() - 11)) << name;
}

// Last of the suite: the program's end during a render ends the library's message processing.
TEST_F(RenderSessionTest, TheProgramsEndDuringARenderWritesWhatWasCapturedAndStopsTheCapture) {
  std::thread closer([] {
    Sleep(500);
    PostMessageA(GetMainWindowHandle(), WM_CLOSE, 0, 0);
  });
  Export("ended", "0:05");
  closer.join();
  EXPECT_EQ(0, g_waveFile.armed);
  const int32_t index = g_waveFile.captureIndex;
  Sleep(100);
  EXPECT_EQ(index, g_waveFile.captureIndex) << "the tick captures on";
  const std::string file = ReadFileBytes("ended.wav");
  ASSERT_EQ(kWaveHeaderBytes + 5 * kSecondBytes, file.size());
  EXPECT_EQ(std::string(kSecondBytes, '\0'), file.substr(file.size() - kSecondBytes)) << "silence after the end";
}

}  // namespace
