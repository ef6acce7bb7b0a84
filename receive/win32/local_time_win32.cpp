// recv_log.h first: the panel's LocalTime GetLocalTime() stands beside the
// system's void GetLocalTime(SYSTEMTIME*), which it asks.
#include "receive/recv_log.h"

#include <windows.h>

LocalTime GetLocalTime() {
  SYSTEMTIME t{};
  ::GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}
