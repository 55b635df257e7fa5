#include "tests/app/shell/program_job.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

constexpr char kPidFile[] = "program_job_child.pid";

// This test program again, running only `test` of the disabled ones below.
bool StartSelf(const char* test, PROCESS_INFORMATION& info) {
  wchar_t self[MAX_PATH];
  if (GetModuleFileNameW(nullptr, self, MAX_PATH) == 0) return false;
  std::wstring command = std::wstring(L"\"") + self + L"\" --gtest_also_run_disabled_tests --gtest_filter=ProgramJobChild.";
  for (const char* c = test; *c; ++c) command += static_cast<wchar_t>(*c);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  return CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info);
}

// A program that runs until it is ended (half a minute at most), whoever holds its handles.
struct WaitingProgram {
  PROCESS_INFORMATION info = {};

  bool Start() { return StartSelf("DISABLED_Waits", info); }
  ~WaitingProgram() {
    if (!info.hProcess) return;
    TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
  }
};

bool Ends(HANDLE process, DWORD withinMs) { return WaitForSingleObject(process, withinMs) == WAIT_OBJECT_0; }

// A job's end ends what it holds; a program it does not hold runs on (so the first does not end
// by itself).
TEST(ProgramJobTest, EndsTheProgramsItHoldsWhenItGoes) {
  for (const bool held : {true, false}) {
    WaitingProgram program;
    ASSERT_TRUE(program.Start());
    {
      ProgramJob job;
      if (held) {
        ASSERT_TRUE(job.Hold(program.info.hProcess));
      }
    }
    EXPECT_EQ(held, Ends(program.info.hProcess, held ? 5000 : 1000)) << (held ? "held" : "not held");
  }
}

TEST(ProgramJobChild, DISABLED_Waits) { Sleep(30000); }

// Run only as the child of the next test: holds a waiting program in the test program's job,
// names it, and faults.
TEST(ProgramJobChild, DISABLED_FaultsHoldingAProgram) {
  EndTestProgramOnFault();
  static WaitingProgram program;
  ASSERT_TRUE(program.Start());
  ASSERT_TRUE(TestProgramJob().Hold(program.info.hProcess));
  FILE* file = std::fopen(kPidFile, "w");
  ASSERT_NE(nullptr, file);
  std::fprintf(file, "%lu", program.info.dwProcessId);
  std::fclose(file);
  int* volatile nothing = nullptr;  // not known to be null where it is read
  std::printf("%d\n", nothing[1]);
}

// A test program that faults ends at once with the fault's code, and the programs it started
// with it, instead of waiting in the debugger with them running.
TEST(ProgramJobTest, AFaultEndsTheTestProgramAndWhatItStarted) {
  DeleteFileA(kPidFile);
  PROCESS_INFORMATION child = {};
  ASSERT_TRUE(StartSelf("DISABLED_FaultsHoldingAProgram", child));
  const bool ended = Ends(child.hProcess, 20000);
  if (!ended) TerminateProcess(child.hProcess, 1);
  DWORD code = 0;
  GetExitCodeProcess(child.hProcess, &code);
  CloseHandle(child.hProcess);
  CloseHandle(child.hThread);
  ASSERT_TRUE(ended) << "the faulting test program did not end";
  EXPECT_EQ(static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION), code);

  unsigned long pid = 0;
  FILE* file = std::fopen(kPidFile, "r");
  ASSERT_NE(nullptr, file);
  ASSERT_EQ(1, std::fscanf(file, "%lu", &pid));
  std::fclose(file);
  HANDLE started = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
  // Gone already, or ending within moments of its test program.
  if (started) {
    const bool gone = Ends(started, 5000);
    if (!gone) TerminateProcess(started, 1);
    CloseHandle(started);
    EXPECT_TRUE(gone) << "the program the faulting test started runs on";
  }
}

}  // namespace
