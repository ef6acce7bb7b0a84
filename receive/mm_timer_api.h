// The multimedia-timer service the poll timer is built on: device caps, the
// resolution request, and periodic events whose callback runs on a thread of
// its own. One backend per platform: posix/ (a thread per event), win32/
// (winmm itself). The names are winmm's, in namespace mm so that the Win32
// backend can include <mmsystem.h> beside them; include this header first.
#pragma once

#include <cstdint>

namespace mm {
using MMRESULT = unsigned;
inline constexpr MMRESULT TIMERR_NOERROR = 0;
inline constexpr MMRESULT TIMERR_NOCANDO = 97;
inline constexpr unsigned TIME_ONESHOT = 0, TIME_PERIODIC = 1;

using LPTIMECALLBACK = void (*)(unsigned id, unsigned msg, std::uintptr_t user, std::uintptr_t dw1, std::uintptr_t dw2);

struct TIMECAPS {
  unsigned wPeriodMin;  // ms
  unsigned wPeriodMax;  // ms
};

MMRESULT timeGetDevCaps(TIMECAPS* caps, unsigned size);
MMRESULT timeBeginPeriod(unsigned resolution);
MMRESULT timeEndPeriod(unsigned resolution);
// 0 on failure (delay outside the caps, no callback).
unsigned timeSetEvent(unsigned delay, unsigned resolution, LPTIMECALLBACK callback, std::uintptr_t user,
                      unsigned flags);
// Returns once the event's callback has finished and will not run again.
MMRESULT timeKillEvent(unsigned id);

// For tests: resolution requests not yet ended, and events alive, as counted
// by these calls.
int OutstandingTimerPeriods();
int LiveTimerEvents();
}  // namespace mm
