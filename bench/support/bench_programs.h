// What the benchmarks that run whole programs share: a working folder made ready as scripts/workdir
// makes one, a child program run to its end, and the median of their rounds.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/support/test_paths.h"

// The file names and build paths here are ASCII.
inline std::wstring BenchWide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// The middle value (the upper one of an even count); `empty` when there is none.
inline double BenchMedian(std::vector<double> values, double empty) {
  if (values.empty()) return empty;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// A file of the build copied; a copy that fails says which.
inline bool CopyBuildFile(const std::string& from, const std::wstring& to) {
  if (CopyFileW(BenchWide(from).c_str(), to.c_str(), FALSE)) return true;
  std::printf("cannot copy %s\n", from.c_str());
  return false;
}

inline bool WriteTextFile(const std::wstring& path, const std::string& text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size();
  CloseHandle(file);
  return ok;
}

// The folder with the interface images (IMG/), the test instrument (VSTPlugins/tp_tone.dll) and
// these files of the build's examples; the project and tarvex.ini are the caller's.
inline bool PrepareProgramFolder(const std::wstring& folder, std::initializer_list<const char*> examples) {
  const std::string build = TestBuildDir();
  CreateDirectoryW(folder.c_str(), nullptr);
  CreateDirectoryW((folder + L"\\IMG").c_str(), nullptr);
  CreateDirectoryW((folder + L"\\VSTPlugins").c_str(), nullptr);
  for (const char* image : {"MUTESOLO.png", "PLUSMINUS.png", "TRANSPORTS.png", "TRANSPORTS_BACK.png", "edit_button.png",
                            "onoff_button.png"})
    if (!CopyBuildFile(build + "/IMG/" + image, folder + L"\\IMG\\" + BenchWide(image))) return false;
  for (const char* example : examples)
    if (!CopyBuildFile(build + "/examples/" + example, folder + L"\\" + BenchWide(example))) return false;
  return CopyBuildFile(build + "/testbin/tp_tone.dll", folder + L"\\VSTPlugins\\tp_tone.dll");
}

// Runs `command` to its end and gives its exit code: `failed` when it did not start, and its code
// too when it was ended by force after `timeoutMs`. With `inheritHandles` it writes to this
// program's output.
inline DWORD RunToItsEnd(std::wstring command, DWORD timeoutMs, DWORD failed, bool inheritHandles) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, inheritHandles ? TRUE : FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return failed;
  if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, failed);
  DWORD code = failed;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

// This program run again with `arguments`.
inline std::wstring ThisProgramWith(const std::wstring& arguments) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  return L"\"" + std::wstring(self) + L"\" " + arguments;
}
