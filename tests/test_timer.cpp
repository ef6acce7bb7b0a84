// The poll timer: start, stop, restart, and that nothing ticks after a stop.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "receive/mm_timer.h"

namespace {
std::atomic<int> g_ticks{0};
std::atomic<std::uintptr_t> g_lastUser{0};
void Count(unsigned, unsigned, std::uintptr_t user, std::uintptr_t, std::uintptr_t) {
  g_lastUser = user;
  ++g_ticks;
}

bool WaitTicks(int n, int timeoutMs = 3000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (g_ticks.load() < n)
    if (std::chrono::steady_clock::now() > deadline) return false;
    else std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return true;
}

class Timer : public ::testing::Test {
 protected:
  void SetUp() override {
    g_ticks = 0;
    periods = mm::OutstandingTimerPeriods();
  }
  void TearDown() override {
    EXPECT_EQ(mm::OutstandingTimerPeriods(), periods) << "a resolution request was left unbalanced";
    EXPECT_EQ(mm::LiveTimerEvents(), 0);
  }
  int periods = 0;
};
}  // namespace

TEST_F(Timer, TicksWithTheUserDataAndStopsDead) {
  CMMTimer t;
  ASSERT_EQ(t.Start(5, 1, 0x1234, Count), 1);
  EXPECT_TRUE(t.IsRunning());
  EXPECT_EQ(mm::OutstandingTimerPeriods(), periods + 1);
  ASSERT_TRUE(WaitTicks(3));
  EXPECT_EQ(g_lastUser.load(), 0x1234u);
  t.Stop();
  const int atStop = g_ticks.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(g_ticks.load(), atStop) << "a tick arrived after Stop returned";
  EXPECT_FALSE(t.IsRunning());
}

TEST_F(Timer, StopIsIdempotent) {
  CMMTimer t;
  t.Stop();
  ASSERT_EQ(t.Start(5, 1, 0, Count), 1);
  t.Stop();
  t.Stop();
  EXPECT_FALSE(t.IsRunning());
}

TEST_F(Timer, StartReplacesTheRunningEvent) {
  CMMTimer t;
  for (int i = 0; i < 5; ++i) ASSERT_EQ(t.Start(5, 1, 0, Count), 1);
  EXPECT_EQ(mm::LiveTimerEvents(), 1);
  EXPECT_EQ(mm::OutstandingTimerPeriods(), periods + 1);
  EXPECT_EQ(t.Period(), 5u);
}

TEST_F(Timer, RefusedStartsLeaveNothingRunning) {
  CMMTimer t;
  // Resolution outside the device limits: refused before any period request.
  EXPECT_EQ(t.Start(160, 0, 0, Count), 0);
  EXPECT_EQ(mm::OutstandingTimerPeriods(), periods);
  EXPECT_EQ(t.Start(160, 2000000, 0, Count), 0);
  // Period 0 (an emptied poll period field): the event is refused and the
  // period request undone.
  EXPECT_EQ(t.Start(0, 1, 0, Count), 0);
  EXPECT_EQ(t.Start(static_cast<unsigned>(-5), 1, 0, Count), 0);
  EXPECT_FALSE(t.IsRunning());
  // A refused start leaves the one that ran before running, at its period:
  // the panel is never left without polling.
  ASSERT_EQ(t.Start(5, 1, 0, Count), 1);
  EXPECT_EQ(t.Start(0, 1, 0, Count), 0);
  EXPECT_EQ(t.Start(5, 2000000, 0, Count), 0);
  EXPECT_TRUE(t.IsRunning());
  EXPECT_EQ(t.Period(), 5u);
  EXPECT_EQ(mm::LiveTimerEvents(), 1);
  EXPECT_EQ(mm::OutstandingTimerPeriods(), periods + 1);
  const int before = g_ticks.load();
  EXPECT_TRUE(WaitTicks(before + 2));
  t.Stop();
  EXPECT_EQ(mm::OutstandingTimerPeriods(), periods);
}

TEST_F(Timer, DestructionStops) {
  {
    CMMTimer t;
    ASSERT_EQ(t.Start(2, 1, 0, Count), 1);
    ASSERT_TRUE(WaitTicks(1));
  }
  const int after = g_ticks.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(g_ticks.load(), after);
}

// The poll period field takes 1 to 1,000,000 ms, the range Windows' winmm
// reports. Wine's winmm reports (and takes) at most 65,535 ms: there a longer
// period is refused and the running timer goes on, as with any refusal.
TEST_F(Timer, EveryPeriodThePanelAcceptsTheTimerTakesOrRefusesWithoutStopping) {
  mm::TIMECAPS caps{};
  ASSERT_EQ(mm::timeGetDevCaps(&caps, sizeof caps), mm::TIMERR_NOERROR);
  std::printf("timeGetDevCaps: wPeriodMin %u ms, wPeriodMax %u ms\n", caps.wPeriodMin, caps.wPeriodMax);
  EXPECT_LE(caps.wPeriodMin, 1u);
  CMMTimer t;
  unsigned running = 0;
  for (unsigned period : {1u, 160u, 65535u, 65536u, 1000000u}) {
    const bool taken = period <= caps.wPeriodMax;
    EXPECT_EQ(t.Start(period, 1, 0, Count), taken ? 1 : 0) << period;
    if (taken) running = period;
    EXPECT_TRUE(t.IsRunning()) << period;
    EXPECT_EQ(t.Period(), running) << period;
  }
  t.Stop();
}
