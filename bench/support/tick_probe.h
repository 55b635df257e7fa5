// A render thread for the benchmarks: it ticks every 10 ms, as the engines' timers do, and
// measures how long each tick waits for the engine lock before it runs its work.
#pragma once

#include "bench/support/bench_clock.h"

#include <atomic>
#include <functional>
#include <thread>

#include "app/engine/plugin/plugin_slot.h"

class TickProbe {
 public:
  // `work` runs under the engine lock once per tick.
  explicit TickProbe(std::function<void()> work) : work_(std::move(work)) {}
  ~TickProbe() { Stop(); }

  void Start() {
    Stop();
    stop_ = false;
    ticks_ = 0;
    longestWait_ = 0.0;
    thread_ = std::thread([this] { Run(); });
  }
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  int Ticks() const { return ticks_; }
  double LongestWaitMs() const { return longestWait_ * 1000.0; }

 private:
  void Run() {
    const double period = 0.010;
    double next = BenchSeconds();
    while (!stop_) {
      next += period;
      double now = BenchSeconds();
      if (next > now) Sleep(static_cast<DWORD>((next - now) * 1000.0));
      double asked = BenchSeconds();
      EngineLock tick = LockEngine();
      double wait = BenchSeconds() - asked;
      if (wait > longestWait_) longestWait_ = wait;
      work_();
      ++ticks_;
    }
  }

  std::function<void()> work_;
  std::thread thread_;
  std::atomic<bool> stop_{true};
  std::atomic<int> ticks_{0};
  std::atomic<double> longestWait_{0.0};
};
