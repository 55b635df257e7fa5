// Renders that cannot keep their audio say so, driven as a user drives the program: a target the
// program cannot write is refused at Export, before anything plays; a render whose window is
// closed half-way keeps what it captured, then silence, and says where it was cut.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/app/shell/e2e_fixture.h"
#include "tests/support/test_files.h"

namespace {

constexpr size_t kWaveHeaderBytes = 44;
constexpr double kFrameRate = 44100.0;

// Whether UTF-16 `bytes` (the library's log) hold the ASCII `text`.
bool HoldsWide(const std::string& bytes, const std::string& text) {
  std::string wide;
  for (char c : text) wide += std::string{c, '\0'};
  return bytes.find(wide) != std::string::npos;
}

// The last frame of a 16-bit stereo WAV body that is not silent, or -1.
long LastSoundFrame(const std::string& wave) {
  for (size_t at = wave.size() & ~size_t{3}; at >= kWaveHeaderBytes + 4; at -= 4) {
    if (std::memcmp(wave.data() + at - 4, "\0\0\0\0", 4) != 0)
      return static_cast<long>((at - 4 - kWaveHeaderBytes) / 4);
  }
  return -1;
}

using E2eRenderFailures = E2eRoadTest;

// Targets in a folder that does not exist, in one that refuses new files (Linux's /sys), and an
// existing hidden file, which the writer may not replace on Windows: "Failed" at once, the reason
// on the output, the song not started again from its top, no file made or changed.
// A target another program holds by the time the render is written: "Failed" after the render,
// with the writer's reason.
TEST_F(E2eRenderFailures, AnUnwritableTargetFailsAtExportAndAWriteThatFailsSaysWhy) {
  StartProgram();
  OpenSongAndHearIt();
  ASSERT_TRUE(WriteFileBytes(Path("hidden.wav"), "kept"));
  ASSERT_TRUE(SetFileAttributesW(Path("hidden.wav").c_str(), FILE_ATTRIBUTE_HIDDEN));
  for (const std::wstring& target : {Path("no such folder\\lost"), std::wstring(L"Z:\\sys\\lost"), Path("hidden")}) {
    ASSERT_TRUE(WaitForNotes(Notes().size(), true, 2)) << "the song's loop never came";
    const size_t before = Notes().size();
    ASSERT_TRUE(driver_.Render(target, L"0:30"));
    // Rendering the 30 s would take 30 s before the box came.
    EXPECT_TRUE(driver_.AnswerBox(L"Failed", IDOK)) << "no \"Failed\" box at Export";
    for (int key : KeysOnAfter(before)) EXPECT_EQ(kRoadLoopKey, key) << "the song was played from its top";
  }
  EXPECT_FALSE(FileExists(Path("no such folder\\lost.wav")));
  EXPECT_FALSE(FileExists(L"Z:\\sys\\lost.wav"));
  EXPECT_TRUE(ReadFileBytes(Path("hidden.wav")) == "kept") << "the hidden file was changed";
  const size_t before = Notes().size();
  ASSERT_TRUE(driver_.Render(Path("held"), L"0:05"));
  // Once the song plays from its top, Export's check is behind.
  ASSERT_TRUE(WaitUntil(
      [&] {
        const std::vector<int> keys = KeysOnAfter(before);
        return std::find(keys.begin(), keys.end(), kRoadOpening[0]) != keys.end();
      },
      kDriverWaitMs))
      << "the render did not play";
  HANDLE held = CreateFileW(Path("held.wav").c_str(), GENERIC_READ, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  EXPECT_TRUE(driver_.AnswerBox(L"Failed", IDOK)) << "no \"Failed\" box after the render";
  CloseHandle(held);
  ExitProgram();
  const std::string output = ProgramOutput();
  size_t said = 0;
  for (size_t at = 0; (at = output.find("tarvex: the render cannot write \"", at)) != std::string::npos; ++at) ++said;
  EXPECT_EQ(4u, said) << output;
  EXPECT_NE(std::string::npos, output.find("hidden.wav\": the file is hidden, and the system does not let")) << output;
}

// The main window closed about 1.5 s into a 10 s render: the file keeps the whole length, sound up
// to the time the output and the log name, silence after it.
TEST_F(E2eRenderFailures, ARenderCutShortByTheWindowsCloseSaysWhereAndKeepsSilenceAfter) {
  StartProgram();
  OpenSongAndHearIt();
  const size_t before = Notes().size();
  ASSERT_TRUE(driver_.Render(Path("cut"), L"0:10"));
  // The render plays the song from its top: its notes start at the opening's first key (the song
  // played on in its loop until the render began). Eight of them take the song past 1.4 s.
  ASSERT_TRUE(WaitUntil(
      [&] {
        Sleep(30);
        const std::vector<int> keys = KeysOnAfter(before);
        return keys.end() - std::find(keys.begin(), keys.end(), kRoadOpening[0]) >= 8;
      },
      kDriverWaitMs))
      << "the render did not play";
  driver_.PostToMain(WM_CLOSE);
  EXPECT_EQ(0u, driver_.WaitForExit(20000));

  const std::string output = ProgramOutput();
  const size_t said = output.find("was cut short at ");
  ASSERT_NE(std::string::npos, said) << output;
  int minutes = 0, seconds = 0, hundredths = 0;
  ASSERT_EQ(3, std::sscanf(output.c_str() + said, "was cut short at %d:%d.%d", &minutes, &seconds, &hundredths));
  const double cut = 60 * minutes + seconds + hundredths / 100.0;
  EXPECT_TRUE(HoldsWide(ReadFileBytes(Path("Log.txt")), output.substr(said, 30))) << "not in the log";

  const std::string wave = ReadFileBytes(Path("cut.wav"));
  ASSERT_EQ(kWaveHeaderBytes + static_cast<size_t>(10 * kFrameRate) * 4, wave.size());
  // The bank's tone sounds throughout the song's first seconds: the sound ends where it was cut.
  const double lastSound = LastSoundFrame(wave) / kFrameRate;
  EXPECT_GT(cut, 1.0);
  EXPECT_NEAR(cut, lastSound, 0.05) << "the file's sound ends at " << lastSound << " s";
}

}  // namespace
