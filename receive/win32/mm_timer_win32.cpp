// The Windows backend of the poll timer: winmm's multimedia timer itself.
// Only the calls are counted on their way through, so that tests can check
// that every resolution request is ended and no event outlives its timer.
//
// mm_timer_api.h first: its names are winmm's, declared before <mmsystem.h>
// turns some of them into macros.
#include "receive/mm_timer_api.h"

#include <windows.h>
#include <mmsystem.h>

#include <atomic>

namespace mm {
namespace {
std::atomic<int> g_outstandingPeriods{0};
std::atomic<int> g_liveEvents{0};
}  // namespace

MMRESULT timeGetDevCaps(TIMECAPS* caps, unsigned size) {
  if (!caps || size < sizeof(TIMECAPS)) return TIMERR_NOCANDO;
  ::TIMECAPS native{};
  const MMRESULT r = ::timeGetDevCaps(&native, sizeof native);
  if (r != TIMERR_NOERROR) return r;
  caps->wPeriodMin = native.wPeriodMin;
  caps->wPeriodMax = native.wPeriodMax;
  return r;
}

MMRESULT timeBeginPeriod(unsigned resolution) {
  const MMRESULT r = ::timeBeginPeriod(resolution);
  if (r == TIMERR_NOERROR) ++g_outstandingPeriods;
  return r;
}

MMRESULT timeEndPeriod(unsigned resolution) {
  const MMRESULT r = ::timeEndPeriod(resolution);
  if (r == TIMERR_NOERROR) --g_outstandingPeriods;
  return r;
}

unsigned timeSetEvent(unsigned delay, unsigned resolution, LPTIMECALLBACK callback, std::uintptr_t user,
                      unsigned flags) {
  if (!callback) return 0;
  // TIME_KILL_SYNCHRONOUS: timeKillEvent then waits for a callback under way,
  // so no tick reaches a dialog that is being destroyed.
  const unsigned id = ::timeSetEvent(delay, resolution, callback, user, flags | TIME_KILL_SYNCHRONOUS);
  if (id) ++g_liveEvents;
  return id;
}

MMRESULT timeKillEvent(unsigned id) {
  const MMRESULT r = ::timeKillEvent(id);
  if (r == TIMERR_NOERROR) --g_liveEvents;
  return r;
}

int OutstandingTimerPeriods() { return g_outstandingPeriods.load(); }
int LiveTimerEvents() { return g_liveEvents.load(); }
}  // namespace mm
