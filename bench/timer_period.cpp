// Measures the poll timer's period error over 100 ticks at 160 ms.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

#include "receive/mm_timer.h"

namespace {
using Clock = std::chrono::steady_clock;
constexpr int kTicks = 100;
constexpr unsigned kPeriodMs = 160;
Clock::time_point g_times[kTicks + 1];
std::atomic<int> g_count{0};

void Tick(unsigned, unsigned, std::uintptr_t, std::uintptr_t, std::uintptr_t) {
  const int i = g_count.load();
  if (i <= kTicks) g_times[i] = Clock::now();
  g_count.store(i + 1);
}
}  // namespace

int main() {
  CMMTimer timer;
  if (!timer.Start(kPeriodMs, 1, 0, Tick)) {
    std::fprintf(stderr, "timer_period: the timer did not start\n");
    return 1;
  }
  while (g_count.load() <= kTicks) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  timer.Stop();
  double sum = 0, worst = 0, drift = 0;
  for (int i = 1; i <= kTicks; ++i) {
    const double interval = std::chrono::duration<double, std::milli>(g_times[i] - g_times[i - 1]).count();
    const double error = std::fabs(interval - kPeriodMs);
    sum += error;
    worst = std::max(worst, error);
  }
  drift = std::chrono::duration<double, std::milli>(g_times[kTicks] - g_times[0]).count() - kTicks * kPeriodMs;
  std::printf("period %u ms, %d ticks: mean error %.3f ms, worst %.3f ms, drift over the run %.3f ms\n", kPeriodMs,
              kTicks, sum / kTicks, worst, drift);
  return 0;
}
