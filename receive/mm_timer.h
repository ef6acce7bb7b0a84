// The poll timer: one periodic event at a time, its resolution request kept
// balanced with every start and stop.
#pragma once

#include <cstdint>

#include "receive/mm_timer_api.h"

class CMMTimer {
 public:
  CMMTimer() = default;
  virtual ~CMMTimer();
  CMMTimer(const CMMTimer&) = delete;
  CMMTimer& operator=(const CMMTimer&) = delete;

  // Replaces a running event. Nonzero on success; on failure the running
  // event, if any, goes on unchanged.
  int Start(unsigned period, unsigned resolution, std::uintptr_t user, mm::LPTIMECALLBACK callback);
  // Idempotent; no tick is delivered after it returns.
  void Stop();
  bool IsRunning() const { return m_nTimerId != 0; }
  unsigned Period() const { return m_nPeriod; }

 private:
  unsigned m_nPeriod = 0;
  unsigned m_nResolution = 0;
  std::uintptr_t m_dwUser = 0;
  mm::LPTIMECALLBACK m_pfnCallback = nullptr;
  unsigned m_nTimerId = 0;
};
