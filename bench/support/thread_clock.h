// The processor time of the calling thread: what a frame costs the program itself, apart from the
// time the machine's other work takes the processor from it. Wine answers GetThreadTimes in the
// host kernel's 10 ms ticks (Windows in its 15.6 ms ones), far coarser than a frame; under Wine on
// a Linux host the thread's own processor clock is read from the kernel instead, to the
// nanosecond.
#pragma once

#include <windows.h>

#include <cstring>

namespace thread_clock {

// clock_gettime(CLOCK_THREAD_CPUTIME_ID) by the 32-bit Linux system-call gate; false when the
// kernel refuses it.
inline bool LinuxThreadSeconds(double* seconds) {
#if defined(__i386__)
  struct {
    long seconds, nanoseconds;
  } time = {0, 0};
  long result;
  constexpr long kClockGettime = 265, kThreadClock = 3;
  asm volatile("int $0x80" : "=a"(result) : "a"(kClockGettime), "b"(kThreadClock), "c"(&time) : "memory");
  if (result != 0) return false;
  *seconds = static_cast<double>(time.seconds) + static_cast<double>(time.nanoseconds) * 1e-9;
  return true;
#else
  (void)seconds;
  return false;
#endif
}

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
  const auto ticks = [](const FILETIME& t) {
    return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  return static_cast<double>(ticks(kernel) + ticks(user)) * 1e-7;
}

// How ThreadSeconds measures, for the benchmark's output.
inline const char* ThreadClockName() {
  return thread_clock::Exact() ? "the thread's clock of the Linux host" : "GetThreadTimes (coarse)";
}
