// The POSIX backend of a network line: BSD sockets, non-blocking throughout.
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <linux/sockios.h>
#include <netinet/tcp.h>
#include <arpa/inet.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

#include "serial/backend.h"
#include "serial/socket_addresses.h"
#include "serial/posix/write_before.h"

namespace serial_backend {
struct SocketAddresses {
  std::vector<sockaddr_storage> address;
  std::vector<socklen_t> length;
};

namespace {
int Fd(std::intptr_t h) { return static_cast<int>(h); }

std::string Reason(int e) {
  switch (e) {
    case ECONNREFUSED: return "the server refused the connection (nothing listens at that port)";
    case ETIMEDOUT: return "the server does not answer";
    case EHOSTUNREACH:
    case ENETUNREACH: return "the server cannot be reached (" + std::string(std::strerror(e)) + ")";
    case ECONNRESET: return "the server reset the connection";
    default: return std::strerror(e);
  }
}
}  // namespace

ResolveResult Resolve(const std::string& host, std::uint16_t port) {
  ResolveResult r;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_ADDRCONFIG;
  addrinfo* list = nullptr;
  int e = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list);
  if (e != 0) {
    // AI_ADDRCONFIG hides every address on a machine whose only network is
    // loopback; ask once more without it.
    hints.ai_flags = 0;
    e = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list);
  }
  if (!list) {
    r.reason = "no such host " + host + " (" + gai_strerror(e) + ")";
    return r;
  }
  return KeepAddresses<SocketAddresses>(list, host, freeaddrinfo);
}

std::size_t AddressCount(const SocketAddresses& a) { return a.address.size(); }

ConnectResult StartConnect(const SocketAddresses& a, std::size_t index) {
  ConnectResult r;
  if (index >= a.address.size()) {
    r.reason = "no address left to try";
    return r;
  }
  const auto* addr = reinterpret_cast<const sockaddr*>(&a.address[index]);
  const int fd = socket(addr->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    r.reason = Reason(errno);
    return r;
  }
  if (connect(fd, addr, a.length[index]) != 0 && errno != EINPROGRESS) {
    const int e = errno;
    close(fd);
    r.refused = e == ECONNREFUSED;
    r.reason = Reason(e);
    return r;
  }
  r.handle = fd;
  return r;
}

ConnectState CheckConnect(std::intptr_t h, unsigned waitMs, ConnectResult& why) {
  pollfd p{Fd(h), POLLOUT, 0};
  int ready;
  do ready = poll(&p, 1, static_cast<int>(waitMs));
  while (ready < 0 && errno == EINTR);
  if (ready == 0) return ConnectState::kPending;
  int error = 0;
  socklen_t len = sizeof error;
  if (ready < 0 || getsockopt(Fd(h), SOL_SOCKET, SO_ERROR, &error, &len) != 0) error = errno;
  if (error == 0) return ConnectState::kConnected;
  why.refused = error == ECONNREFUSED;
  why.reason = Reason(error);
  return ConnectState::kFailed;
}

void TuneSocket(std::intptr_t h) {
  const int one = 1, idle = 3, interval = 1, count = 5;
  // Data not acknowledged for this long breaks the connection too: keepalive
  // only probes an idle line.
  const unsigned userTimeoutMs = 10000;
  setsockopt(Fd(h), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  setsockopt(Fd(h), SOL_SOCKET, SO_SNDBUF, &kNetworkSendBuffer, sizeof kNetworkSendBuffer);
  setsockopt(Fd(h), SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one);
  setsockopt(Fd(h), IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
  setsockopt(Fd(h), IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
  setsockopt(Fd(h), IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
  setsockopt(Fd(h), IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeoutMs, sizeof userTimeoutMs);
}

long ReceiveSome(std::intptr_t h, void* buffer, unsigned n, bool& closed) {
  for (;;) {
    const ssize_t got = recv(Fd(h), buffer, n, 0);
    if (got > 0) return static_cast<long>(got);
    if (got < 0 && errno == EINTR) continue;
    closed = got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
    return 0;
  }
}

bool WaitReadable(std::intptr_t h, unsigned waitMs) {
  pollfd p{Fd(h), POLLIN, 0};
  int ready;
  do ready = poll(&p, 1, static_cast<int>(waitMs));
  while (ready < 0 && errno == EINTR);
  return ready > 0;
}

WriteResult SendAll(std::intptr_t h, const void* buffer, unsigned count, unsigned deadlineMs, bool inFlightBound) {
  // What the server has not acknowledged yet (SIOCOUTQ: sent and unsent
  // alike) is waited for, up to the deadline: no ack event wakes a poll, so
  // it is looked at every 2 ms.
  const auto start = std::chrono::steady_clock::now();
  unsigned waited = 0;
  for (int queued = 0;
       inFlightBound && ioctl(Fd(h), SIOCOUTQ, &queued) == 0 && queued > static_cast<int>(kNetworkInFlightBytes);) {
    if (waited >= deadlineMs) {
      WriteResult r;
      r.deadline = true;
      return r;
    }
    poll(nullptr, 0, static_cast<int>(std::min(2u, deadlineMs - waited)));
    waited = static_cast<unsigned>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
  }
  // MSG_NOSIGNAL: a server gone away is a result here, not a SIGPIPE.
  return WriteBefore(Fd(h), buffer, count, waited < deadlineMs ? deadlineMs - waited : 0, true,
                     [h](const unsigned char* p, unsigned n) { return send(Fd(h), p, n, MSG_NOSIGNAL); });
}

void CloseSocket(std::intptr_t h) { close(Fd(h)); }

namespace {
// A socket of type bound to host:port (a stream socket listening too), non-blocking.
ListenResult Bound(const std::string& host, std::uint16_t port, int type) {
  ListenResult r;
  const addrinfo hints = ListenHints<addrinfo>(type);
  addrinfo* list = nullptr;
  if (const int e = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list); e != 0 || !list) {
    r.reason = host + " is no address to listen on (" + gai_strerror(e) + ")";
    return r;
  }
  const int fd = socket(list->ai_family, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  const int one = 1;
  if (fd >= 0 && type == SOCK_STREAM) setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (fd < 0 || bind(fd, list->ai_addr, list->ai_addrlen) != 0 || (type == SOCK_STREAM && listen(fd, 16) != 0)) {
    r.reason = std::strerror(errno);
    if (fd >= 0) close(fd);
    freeaddrinfo(list);
    return r;
  }
  freeaddrinfo(list);
  sockaddr_storage a{};
  socklen_t len = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  r.port = PortOf(a);
  r.handle = fd;
  return r;
}
}  // namespace

ListenResult Listen(const std::string& host, std::uint16_t port) { return Bound(host, port, SOCK_STREAM); }

ListenResult BindDatagram(const std::string& host, std::uint16_t port) { return Bound(host, port, SOCK_DGRAM); }

long ReceiveDatagram(std::intptr_t s, void* buffer, unsigned n, Sender& from) {
  sockaddr_storage a{};
  socklen_t len = sizeof a;
  // MSG_TRUNC: the datagram's whole size, so that a longer one is known as such.
  const ssize_t got = recvfrom(Fd(s), buffer, n, MSG_TRUNC, reinterpret_cast<sockaddr*>(&a), &len);
  if (got < 0) return -1;
  from.address.assign(reinterpret_cast<const char*>(&a), len);
  from.host = HostOf(a, inet_ntop);
  from.text = from.host + ":" + std::to_string(PortOf(a));
  return static_cast<long>(got);
}

bool SendDatagram(std::intptr_t s, const void* buffer, unsigned n, const Sender& to) {
  return sendto(Fd(s), buffer, n, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(to.address.data()),
                static_cast<socklen_t>(to.address.size())) == static_cast<ssize_t>(n);
}

std::intptr_t AcceptOne(std::intptr_t listener, std::string& peer) {
  sockaddr_storage a{};
  socklen_t len = sizeof a;
  const int fd = accept4(Fd(listener), reinterpret_cast<sockaddr*>(&a), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) return comm::INVALID_HANDLE_VALUE;
  char text[INET6_ADDRSTRLEN] = "?";
  const void* where = a.ss_family == AF_INET6 ? static_cast<const void*>(&reinterpret_cast<sockaddr_in6*>(&a)->sin6_addr)
                                              : static_cast<const void*>(&reinterpret_cast<sockaddr_in*>(&a)->sin_addr);
  inet_ntop(a.ss_family, where, text, sizeof text);
  peer = std::string(text) + ":" + std::to_string(PortOf(a));
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  // What a client does not read waits in the program, where it is counted, not in the system.
  setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &kClientSendBuffer, sizeof kClientSendBuffer);
  return fd;
}
}  // namespace serial_backend
