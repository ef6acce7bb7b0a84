#include <atomic>

#include "app/end_requests.h"
#include "app/win32/end_requests_win32.h"

// Last: <windows.h>, with the macros that clash with our names undone.
#include "app/win32/win32.h"

namespace {
// A console control handler takes no context and runs on a thread of its own:
// what it needs is process-wide by the API's design.
std::atomic<int> g_status{0};
std::atomic<HWND> g_window{nullptr};
std::atomic<unsigned> g_message{0};
HANDLE g_finished = nullptr;

// 128 + the C runtime's signal number, as a shell on Linux reports the same end.
constexpr int kInterrupt = 128 + 2;   // Ctrl+C: SIGINT
constexpr int kBreak = 128 + 21;      // Ctrl+Break: SIGBREAK
constexpr int kHangUp = 128 + 1;      // the console closed: as SIGHUP, its terminal gone
constexpr int kTerminate = 128 + 15;  // log-off, shut-down, the session's end: as SIGTERM

void Request(int status) {
  int none = 0;
  g_status.compare_exchange_strong(none, status);
  if (HWND window = g_window.load()) PostMessageW(window, g_message.load(), 0, 0);
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT: Request(kInterrupt); return TRUE;
    case CTRL_BREAK_EVENT: Request(kBreak); return TRUE;
    case CTRL_CLOSE_EVENT: Request(kHangUp); break;
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT: Request(kTerminate); break;
    default: return FALSE;
  }
  // The system ends the process when this returns: not before the panel has
  // let the line go (the system itself waits about five seconds at most).
  if (g_finished) WaitForSingleObject(g_finished, 4500);
  return TRUE;
}
}  // namespace

namespace end_requests {
void Install() {
  if (g_finished) return;
  g_finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

int Status() { return g_status.load(); }
}  // namespace end_requests

void SetEndRequestWindow(void* hwnd, unsigned message) {
  g_message = message;
  g_window = static_cast<HWND>(hwnd);
  if (hwnd && g_status.load()) PostMessageW(static_cast<HWND>(hwnd), message, 0, 0);
}

void RequestEndForSession() { Request(kTerminate); }

void EndRequestsFinished() {
  if (g_finished) SetEvent(g_finished);
}
