// GetBuffer + Release cycles per second of the library's memory allocator beside the platform's
// own (CLSID_MemoryAllocator), with the same properties, in the same run. Each figure is the best
// of several rounds, the two allocators taking turns, since the machine is shared. A round ends
// after its cycles or its time, whichever comes first: the platform's allocator under Wine takes
// tens to hundreds of microseconds a cycle, and its rounds are then timed, not counted.
#include "bench/support/bench_clock.h"

#include <stdio.h>

#include "zovuz/movie/dshow/windows/dshow_allocator.h"

namespace {

constexpr int kCycles = 100000;
constexpr int kRounds = 5;
constexpr double kRoundSeconds = 1.0;
constexpr int kCyclesBetweenClockReads = 64;

// Cycles per second; 0 when the allocator cannot be set up.
double Measure(IMemAllocator* Allocator) {
  ALLOCATOR_PROPERTIES request = {4, 4096, 1, 0}, actual;
  if (FAILED(Allocator->SetProperties(&request, &actual)) || FAILED(Allocator->Commit())) return 0;
  const double start = BenchSeconds();
  double seconds = 0;
  int cycles = 0;
  while (cycles < kCycles && seconds < kRoundSeconds) {
    for (int i = 0; i < kCyclesBetweenClockReads; ++i, ++cycles) {
      IMediaSample* sample = nullptr;
      if (FAILED(Allocator->GetBuffer(&sample, nullptr, nullptr, 0))) return 0;
      sample->Release();
    }
    seconds = BenchSeconds() - start;
  }
  Allocator->Decommit();
  return cycles / seconds;
}

}  // namespace

int main() {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  IMemAllocator *ours = nullptr, *platform = nullptr;
  D_CMemAllocator* object = nullptr;
  if (FAILED(D_CreateMemAllocator(&ours, &object)) ||
      FAILED(CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                              reinterpret_cast<void**>(&platform)))) {
    printf("dshow_allocator: an allocator could not be made\n");
    return 1;
  }
  double bestOurs = 0, bestPlatform = 0;
  for (int round = 0; round < kRounds; ++round) {
    double o = Measure(ours), p = Measure(platform);
    if (o > bestOurs) bestOurs = o;
    if (p > bestPlatform) bestPlatform = p;
  }
  // Time per cycle: the platform's over ours is how many times slower we are (target <= 1.5).
  PrintBenchRatio("D_CMemAllocator GetBuffer/Release", 1e9 / bestOurs, "CLSID_MemoryAllocator", 1e9 / bestPlatform,
                  "ns");
  ours->Release();
  platform->Release();
  D_SafeDelete(object);
  CoUninitialize();
  return 0;
}
