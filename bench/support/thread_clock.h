// The processor time of the calling thread (what a frame costs the program itself, apart from the
// time the machine's other work takes the processor from it), and of the whole process (with the
// threads Wine and the renderer run in it). Wine answers GetThreadTimes and GetProcessTimes in the
// host kernel's 10 ms ticks (Windows in its 15.6 ms ones), far coarser than a frame; under Wine on
// a Linux host the processor clocks are read from the kernel instead, to the nanosecond.
#pragma once

#include <windows.h>

#include <cstring>

namespace thread_clock {

constexpr long kProcessClock = 2, kThreadClock = 3;  // CLOCK_PROCESS_CPUTIME_ID, CLOCK_THREAD_CPUTIME_ID

// clock_gettime(clock) by the 32-bit Linux system-call gate; false when the kernel refuses it.
inline bool LinuxClockSeconds(long clock, double* seconds) {
#if defined(__i386__)
  struct {
    long seconds, nanoseconds;
  } time = {0, 0};
  long result;
  constexpr long kClockGettime = 265;
  asm volatile("int $0x80" : "=a"(result) : "a"(kClockGettime), "b"(clock), "c"(&time) : "memory");
  if (result != 0) return false;
  *seconds = static_cast<double>(time.seconds) + static_cast<double>(time.nanoseconds) * 1e-9;
  return true;
#else
  (void)clock;
  (void)seconds;
  return false;
#endif
}

inline bool LinuxThreadSeconds(double* seconds) { return LinuxClockSeconds(kThreadClock, seconds); }

inline bool OnLinuxHost() {
  using HostVersion = void(CDECL*)(const char**, const char**);
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  const auto hostVersion =
      ntdll ? reinterpret_cast<HostVersion>(reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_host_version")))
            : nullptr;
  if (!hostVersion) return false;
  const char* system = nullptr;
  const char* release = nullptr;
  hostVersion(&system, &release);
  double probe = 0;
  return system && std::strcmp(system, "Linux") == 0 && LinuxThreadSeconds(&probe);
}

// Kernel and user time as Windows counts them (100 ns units), in seconds.
inline double FileTimeSeconds(const FILETIME& kernel, const FILETIME& user) {
  const auto ticks = [](const FILETIME& t) {
    return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  return static_cast<double>(ticks(kernel) + ticks(user)) * 1e-7;
}

inline bool Exact() {
  static const bool exact = OnLinuxHost();
  return exact;
}

}  // namespace thread_clock

// Seconds of processor time the calling thread has used.
inline double ThreadSeconds() {
  double seconds = 0;
  if (thread_clock::Exact() && thread_clock::LinuxThreadSeconds(&seconds)) return seconds;
  FILETIME created, ended, kernel, user;
  if (!GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user)) return 0;
  return thread_clock::FileTimeSeconds(kernel, user);
}

// Seconds of processor time the whole process has used, all its threads together.
inline double ProcessSeconds() {
  double seconds = 0;
  if (thread_clock::Exact() && thread_clock::LinuxClockSeconds(thread_clock::kProcessClock, &seconds)) return seconds;
  FILETIME created, ended, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user)) return 0;
  return thread_clock::FileTimeSeconds(kernel, user);
}

// How ThreadSeconds and ProcessSeconds measure, for the benchmark's output.
inline const char* ThreadClockName() {
  return thread_clock::Exact() ? "the thread's clock of the Linux host" : "GetThreadTimes (coarse)";
}
