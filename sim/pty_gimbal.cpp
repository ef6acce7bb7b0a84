#include "sim/pty_gimbal.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

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
  m_path = name;
  return StartThread(error);
}

bool PtyGimbal::StartThread(std::string* error) {
  if (pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
    if (error) *error = std::string("cannot make a pipe: ") + std::strerror(errno);
    return false;
  }
  m_thread = std::thread(&PtyGimbal::Serve, this);
  return true;
}

bool PtyGimbal::Listen(const std::string& host, std::uint16_t port, std::string* error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* list = nullptr;
  const int e = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list);
  if (e != 0 || !list) {
    if (error) *error = "cannot listen on " + host + ": " + gai_strerror(e);
    return false;
  }
  m_listen = socket(list->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  const int one = 1;
  if (m_listen >= 0) setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  const bool ok = m_listen >= 0 && bind(m_listen, list->ai_addr, list->ai_addrlen) == 0 && listen(m_listen, 4) == 0;
  freeaddrinfo(list);
  if (!ok) {
    if (error) *error = "cannot listen on " + host + ":" + std::to_string(port) + ": " + std::strerror(errno);
    return false;
  }
  sockaddr_storage bound{};
  socklen_t len = sizeof bound;
  getsockname(m_listen, reinterpret_cast<sockaddr*>(&bound), &len);
  const std::uint16_t actual = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                                                 : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
  const bool v6 = host.find(':') != std::string::npos;
  m_path = "tcp://" + (v6 ? "[" + host + "]" : host) + ":" + std::to_string(actual);
  return StartThread(error);
}

void PtyGimbal::Accept() {
  const int client = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
  if (client < 0) return;
  if (m_master >= 0) {
    static const char kBusy[] = "Port already in use\r\n";
    (void)!send(client, kBusy, sizeof kBusy - 1, MSG_NOSIGNAL);
    close(client);
    return;
  }
  const int one = 1;
  setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  m_master = client;
}

void PtyGimbal::Stop() {
  if (m_thread.joinable()) {
    const char c = 'q';
    (void)!write(m_wake[1], &c, 1);
    m_thread.join();
  }
  for (int* fd : {&m_master, &m_slave, &m_listen, &m_wake[0], &m_wake[1]}) {
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
    // A negative descriptor (no client yet) is left out by poll.
    pollfd fds[3] = {{m_master, POLLIN, 0}, {m_wake[0], POLLIN, 0}, {m_listen, POLLIN, 0}};
    const int ready = poll(fds, 3, timeout);
    if (ready < 0 && errno != EINTR) return;
    if (fds[1].revents) return;
    if (fds[2].revents & POLLIN) Accept();
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
      const ssize_t n = read(m_master, buf, sizeof buf);
      if (n <= 0 && m_listen >= 0 && !(n < 0 && (errno == EAGAIN || errno == EINTR))) {
        close(m_master);  // the client went: the next one may come
        m_master = -1;
        pending.clear();
      }
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
      if (m_master >= 0) (void)!write(m_master, bytes.data(), bytes.size());
      pending.pop_front();
    }
  }
}
