#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>

#include "app/end_requests.h"
#include "app/posix/end_signals.h"

namespace {
// A signal handler may only write to a pipe and set an atomic; the window's
// event loop watches the pipe's other end.
int g_pipe[2] = {-1, -1};
std::atomic<int> g_signal{0};

void OnEndSignal(int sig) {
  int expected = 0;
  g_signal.compare_exchange_strong(expected, sig);
  const unsigned char byte = static_cast<unsigned char>(sig);
  [[maybe_unused]] const ssize_t n = write(g_pipe[1], &byte, 1);
}
}  // namespace

namespace end_requests {
void Install() {
  signal(SIGPIPE, SIG_IGN);
  if (g_pipe[0] >= 0 || pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  struct sigaction action {};
  action.sa_handler = OnEndSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &action, nullptr);
}

int Status() {
  const int sig = g_signal.load();
  return sig ? 128 + sig : 0;
}
}  // namespace end_requests

int EndSignalFd() { return g_pipe[0]; }

bool TakeEndSignal() {
  unsigned char bytes[16];
  bool any = false;
  while (g_pipe[0] >= 0 && read(g_pipe[0], bytes, sizeof bytes) > 0) any = true;
  return any;
}
