#include "tests/app/shell/program_job.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/support/test_files.h"

namespace {

constexpr char kPidFile[] = "program_job_child.pid";
constexpr char kOutputFile[] = "program_job_child.txt";

// This test program again, running only `test` of the disabled ones below; its output into
// `output` when one is named.
bool StartSelf(const char* test, PROCESS_INFORMATION& info, const char* output = nullptr) {
  wchar_t self[MAX_PATH];
  if (GetModuleFileNameW(nullptr, self, MAX_PATH) == 0) return false;
  std::wstring command = std::wstring(L"\"") + self + L"\" --gtest_also_run_disabled_tests --gtest_filter=ProgramJobChild.";
  command.append(test, test + std::char_traits<char>::length(test));
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
  HANDLE file = output ? CreateFileA(output, GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS, 0, nullptr)
                       : INVALID_HANDLE_VALUE;
  if (file != INVALID_HANDLE_VALUE) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = file;
  }
  const BOOL started = CreateProcessW(nullptr, &command[0], nullptr, nullptr, file != INVALID_HANDLE_VALUE, 0, nullptr,
                                      nullptr, &startup, &info);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return started;
}

// Ends the process (when it has not ended within `ms`) and tells whether it had.
bool EndedWithin(HANDLE process, DWORD ms) {
  const bool ended = WaitForSingleObject(process, ms) == WAIT_OBJECT_0;
  if (!ended) TerminateProcess(process, 1);
  return ended;
}

// Half a minute, unless something ends it sooner.
TEST(ProgramJobChild, DISABLED_Waits) { Sleep(30000); }

// Holds a waiting program in the test program's job, names it, and faults at address 4.
TEST(ProgramJobChild, DISABLED_FaultsHoldingAProgram) {
  EndTestProgramOnFault();
  PROCESS_INFORMATION program = {};
  ASSERT_TRUE(StartSelf("DISABLED_Waits", program));
  ASSERT_TRUE(TestProgramJob().Hold(program.hProcess));
  FILE* file = std::fopen(kPidFile, "w");
  ASSERT_NE(nullptr, file);
  std::fprintf(file, "%lu", program.dwProcessId);
  std::fclose(file);
  int* volatile nothing = nullptr;  // not known to be null where it is read
  std::printf("%d\n", nothing[1]);
}

// A test program that faults says where, ends at once with the fault's code, and the program it
// started ends with it, instead of both waiting in Wine's debugger until CTest's timeout.
TEST(ProgramJobTest, AFaultEndsTheTestProgramAndWhatItStarted) {
  DeleteFileA(kPidFile);
  PROCESS_INFORMATION child = {};
  ASSERT_TRUE(StartSelf("DISABLED_FaultsHoldingAProgram", child, kOutputFile));
  const bool ended = EndedWithin(child.hProcess, 20000);
  DWORD code = 0;
  GetExitCodeProcess(child.hProcess, &code);
  CloseHandle(child.hProcess);
  CloseHandle(child.hThread);
  ASSERT_TRUE(ended) << "the faulting test program did not end";
  EXPECT_EQ(static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION), code);
  const std::string output = ReadFileBytes(std::string(kOutputFile));
  EXPECT_NE(std::string::npos, output.find("faulted: exception c0000005 at ")) << output;
  EXPECT_NE(std::string::npos, output.find("(reading address 00000004)")) << output;

  unsigned long pid = 0;
  FILE* file = std::fopen(kPidFile, "r");
  ASSERT_NE(nullptr, file);
  ASSERT_EQ(1, std::fscanf(file, "%lu", &pid));
  std::fclose(file);
  // Gone already (no handle to be had), or ending within moments of its test program. Never ended
  // from here: the number may name another program by now.
  if (HANDLE started = OpenProcess(SYNCHRONIZE, FALSE, pid)) {
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(started, 5000)) << "the program the faulting test started runs on";
    CloseHandle(started);
  }
}

}  // namespace
