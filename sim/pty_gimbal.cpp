#include "sim/pty_gimbal.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <deque>

PtyGimbal::PtyGimbal(SimOptions options) : m_options(options), m_gimbal(options) {}

PtyGimbal::~PtyGimbal() { Stop(); }

bool PtyGimbal::Start(std::string* error) {
  termios raw{};
  cfmakeraw(&raw);
  char name[256] = {};
  if (openpty(&m_master, &m_slave, name, &raw, nullptr) != 0) {
    if (error) *error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
    return false;
  }
  // The slave end stays open here too, so that the line does not hang up
  // while the panel closes and reopens it.
  fcntl(m_master, F_SETFD, FD_CLOEXEC);
  fcntl(m_slave, F_SETFD, FD_CLOEXEC);
  fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
  if (pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
    if (error) *error = std::string("cannot make a pipe: ") + std::strerror(errno);
    return false;
  }
  m_path = name;
  m_thread = std::thread(&PtyGimbal::Serve, this);
  return true;
}

void PtyGimbal::Stop() {
  if (m_thread.joinable()) {
    const char c = 'q';
    (void)!write(m_wake[1], &c, 1);
    m_thread.join();
  }
  for (int* fd : {&m_master, &m_slave, &m_wake[0], &m_wake[1]}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
}

void PtyGimbal::Serve() {
  std::deque<SimReply> pending;  // ordered by due time
  std::uint8_t buf[4096];
  for (;;) {
    int timeout = -1;
    if (!pending.empty()) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(pending.front().due -
                                                                            Gimbal::Clock::now());
      timeout = static_cast<int>(std::max<long long>(0, left.count()));
    }
    pollfd fds[2] = {{m_master, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
    const int ready = poll(fds, 2, timeout);
    if (ready < 0 && errno != EINTR) return;
    if (fds[1].revents) return;
    if (fds[0].revents & POLLIN) {
      const ssize_t n = read(m_master, buf, sizeof buf);
      if (n > 0) {
        std::vector<SimReply> replies = m_gimbal.Feed(buf, static_cast<std::size_t>(n), Gimbal::Clock::now());
        const std::vector<std::string> trace = m_gimbal.TakeTrace();
        if (m_sink)
          for (const std::string& line : trace) m_sink(line);
        for (SimReply& r : replies) pending.push_back(std::move(r));
        std::stable_sort(pending.begin(), pending.end(),
                         [](const SimReply& a, const SimReply& b) { return a.due < b.due; });
      }
    }
    const auto now = Gimbal::Clock::now();
    while (!pending.empty() && pending.front().due <= now) {
      const std::vector<std::uint8_t>& bytes = pending.front().bytes;
      (void)!write(m_master, bytes.data(), bytes.size());
      pending.pop_front();
    }
  }
}
