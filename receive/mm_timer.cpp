#include "receive/mm_timer.h"

using namespace mm;

CMMTimer::~CMMTimer() { Stop(); }

int CMMTimer::Start(unsigned period, unsigned resolution, std::uintptr_t user, LPTIMECALLBACK callback) {
  if (m_nTimerId) Stop();  // one event per timer, ended with the resolution it began with
  m_nPeriod = period;
  m_nResolution = resolution;
  m_dwUser = user;
  m_pfnCallback = callback;

  TIMECAPS caps{};
  if (timeGetDevCaps(&caps, sizeof caps) != TIMERR_NOERROR) return 0;
  if (resolution < caps.wPeriodMin || resolution > caps.wPeriodMax) return 0;
  if (timeBeginPeriod(resolution) != TIMERR_NOERROR) return 0;
  m_nTimerId = timeSetEvent(period, resolution, callback, user, TIME_PERIODIC);
  if (m_nTimerId == 0) {
    timeEndPeriod(resolution);
    return 0;
  }
  return 1;
}

void CMMTimer::Stop() {
  if (!m_nTimerId) return;
  timeKillEvent(m_nTimerId);
  timeEndPeriod(m_nResolution);
  m_nTimerId = 0;
}
