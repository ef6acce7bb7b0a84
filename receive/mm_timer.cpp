#include "receive/mm_timer.h"

using namespace mm;

CMMTimer::~CMMTimer() { Stop(); }

int CMMTimer::Start(unsigned period, unsigned resolution, std::uintptr_t user, LPTIMECALLBACK callback) {
  // The new event is started before the running one is ended: a period the
  // system refuses leaves the running event as it was, so the panel never
  // ends up without polling.
  TIMECAPS caps{};
  if (timeGetDevCaps(&caps, sizeof caps) != TIMERR_NOERROR) return 0;
  if (resolution < caps.wPeriodMin || resolution > caps.wPeriodMax) return 0;
  if (timeBeginPeriod(resolution) != TIMERR_NOERROR) return 0;
  const unsigned id = timeSetEvent(period, resolution, callback, user, TIME_PERIODIC);
  if (id == 0) {
    timeEndPeriod(resolution);
    return 0;
  }
  Stop();  // one event per timer, ended with the resolution it began with
  m_nTimerId = id;
  m_nPeriod = period;
  m_nResolution = resolution;
  m_dwUser = user;
  m_pfnCallback = callback;
  return 1;
}

void CMMTimer::Stop() {
  if (!m_nTimerId) return;
  timeKillEvent(m_nTimerId);
  timeEndPeriod(m_nResolution);
  m_nTimerId = 0;
}
