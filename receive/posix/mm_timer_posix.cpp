// Periodic events on threads of their own, with absolute deadlines so that
// the period does not drift with the time each tick takes.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "receive/mm_timer_api.h"

namespace mm {
namespace {
constexpr unsigned kPeriodMin = 1;        // ms
constexpr unsigned kPeriodMax = 1000000;  // ms

struct Event {
  std::mutex mutex;
  std::condition_variable wake;
  bool stop = false;
  std::thread thread;
};

std::mutex g_eventsMutex;
std::map<unsigned, std::unique_ptr<Event>> g_events;
unsigned g_nextId = 1;
std::atomic<int> g_outstandingPeriods{0};

void Run(Event* ev, unsigned id, unsigned delay, bool periodic, LPTIMECALLBACK callback, std::uintptr_t user) {
  using clock = std::chrono::steady_clock;
  const auto period = std::chrono::milliseconds(delay);
  auto next = clock::now() + period;
  for (;;) {
    {
      std::unique_lock lock(ev->mutex);
      if (ev->wake.wait_until(lock, next, [ev] { return ev->stop; })) return;
    }
    callback(id, 0, user, 0, 0);
    if (!periodic) return;
    next += period;  // ticks are not coalesced: a late one is followed at once
  }
}
}  // namespace

MMRESULT timeGetDevCaps(TIMECAPS* caps, unsigned size) {
  if (!caps || size < sizeof(TIMECAPS)) return TIMERR_NOCANDO;
  caps->wPeriodMin = kPeriodMin;
  caps->wPeriodMax = kPeriodMax;
  return TIMERR_NOERROR;
}

MMRESULT timeBeginPeriod(unsigned resolution) {
  if (resolution < kPeriodMin || resolution > kPeriodMax) return TIMERR_NOCANDO;
  // The POSIX clocks already resolve far below a millisecond; only the count
  // is kept, so that every begin can be checked against its end.
  ++g_outstandingPeriods;
  return TIMERR_NOERROR;
}

MMRESULT timeEndPeriod(unsigned resolution) {
  if (resolution < kPeriodMin || resolution > kPeriodMax) return TIMERR_NOCANDO;
  --g_outstandingPeriods;
  return TIMERR_NOERROR;
}

unsigned timeSetEvent(unsigned delay, unsigned resolution, LPTIMECALLBACK callback, std::uintptr_t user,
                      unsigned flags) {
  (void)resolution;
  if (!callback || delay < kPeriodMin || delay > kPeriodMax) return 0;
  std::lock_guard lock(g_eventsMutex);
  const unsigned id = g_nextId++;
  if (g_nextId == 0) g_nextId = 1;
  auto ev = std::make_unique<Event>();
  Event* raw = ev.get();
  raw->thread = std::thread(Run, raw, id, delay, (flags & TIME_PERIODIC) != 0, callback, user);
  g_events.emplace(id, std::move(ev));
  return id;
}

MMRESULT timeKillEvent(unsigned id) {
  std::unique_ptr<Event> ev;
  {
    std::lock_guard lock(g_eventsMutex);
    const auto it = g_events.find(id);
    if (it == g_events.end()) return TIMERR_NOCANDO;
    ev = std::move(it->second);
    g_events.erase(it);
  }
  {
    std::lock_guard lock(ev->mutex);
    ev->stop = true;
  }
  ev->wake.notify_all();
  if (ev->thread.get_id() == std::this_thread::get_id()) {
    ev->thread.detach();  // killed from its own callback: it ends when the callback returns
    ev.release();         // the thread still reads it; a kill from inside is rare enough to leak one
  } else {
    ev->thread.join();
  }
  return TIMERR_NOERROR;
}

int OutstandingTimerPeriods() { return g_outstandingPeriods.load(); }

int LiveTimerEvents() {
  std::lock_guard lock(g_eventsMutex);
  return static_cast<int>(g_events.size());
}
}  // namespace mm
