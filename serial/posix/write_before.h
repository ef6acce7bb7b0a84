// The POSIX backends' one write with a deadline, for a tty's write() and a
// socket's send(): everything, or what went out before the deadline.
#pragma once

#include <errno.h>
#include <poll.h>
#include <sys/types.h>

#include <chrono>

#include "serial/backend.h"

namespace serial_backend {
// put(bytes, n) writes once without waiting. anyErrorIsGone: a socket is
// gone on any error; a tty only when it hung up (EIO, ENXIO, ENODEV).
template <class Put>
WriteResult WriteBefore(int fd, const void* buffer, unsigned count, unsigned deadlineMs, bool anyErrorIsGone, Put put) {
  const auto* p = static_cast<const unsigned char*>(buffer);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs);
  WriteResult result;
  while (result.written < static_cast<long>(count)) {
    const ssize_t w = put(p + result.written, count - static_cast<unsigned>(result.written));
    if (w > 0) {
      result.written += w;
      continue;
    }
    if (w < 0 && errno == EINTR) continue;
    if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      result.gone = anyErrorIsGone || errno == EIO || errno == ENXIO || errno == ENODEV;
      break;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      result.deadline = true;
      break;
    }
    pollfd pfd{fd, POLLOUT, 0};
    const int ready = poll(&pfd, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) {
      result.deadline = true;
      break;
    }
    if (ready < 0 || (pfd.revents & (POLLERR | POLLHUP | POLLNVAL))) {
      result.gone = anyErrorIsGone || (ready > 0 && (pfd.revents & (POLLERR | POLLHUP)));
      break;
    }
  }
  return result;
}
}  // namespace serial_backend
