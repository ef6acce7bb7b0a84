// Script lines from a file or standard input, on a thread of its own that a
// pipe wakes when the runner goes (standard input may never end).
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "app/sources/script_runner.h"

namespace {
class PosixLineReader : public LineReader {
 public:
  PosixLineReader(int fd, int wakeRead, int wakeWrite) : m_fd(fd), m_wake{wakeRead, wakeWrite} {}
  ~PosixLineReader() override {
    if (m_thread.joinable()) {
      const char stop = 'q';
      (void)!write(m_wake[1], &stop, 1);
      m_thread.join();
    } else {
      close(m_fd);
    }
    for (int fd : m_wake) close(fd);
  }

  void Start(std::function<void(std::string)> onLine, std::function<void()> onEnd) override {
    m_thread = std::thread([this, onLine = std::move(onLine), onEnd = std::move(onEnd)] {
      std::string pending;
      char buf[4096];
      for (;;) {
        pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR) break;
        if (fds[1].revents) {
          close(m_fd);
          return;  // the runner is going away
        }
        if (!fds[0].revents) continue;
        const ssize_t n = read(m_fd, buf, sizeof buf);
        if (n <= 0) break;
        pending.append(buf, static_cast<std::size_t>(n));
        for (std::size_t nl; (nl = pending.find('\n')) != std::string::npos;) {
          onLine(pending.substr(0, nl));
          pending.erase(0, nl + 1);
        }
      }
      if (!pending.empty()) onLine(pending);
      onEnd();
      close(m_fd);
    });
  }

 private:
  int m_fd;
  int m_wake[2];
  std::thread m_thread;
};
}  // namespace

std::unique_ptr<LineReader> LineReader::Open(const std::string& path, std::string& why) {
  // Opened without waiting: a FIFO with no writer yet must not hold the
  // program before its window is up (the reader's thread waits instead).
  const int fd = path == "-" ? dup(STDIN_FILENO) : open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    why = std::strerror(errno);
    return nullptr;
  }
  struct stat st {};
  if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    close(fd);
    why = std::strerror(EISDIR);
    return nullptr;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  int wake[2];
  if (pipe2(wake, O_CLOEXEC) != 0) {
    why = std::strerror(errno);
    close(fd);
    return nullptr;
  }
  return std::make_unique<PosixLineReader>(fd, wake[0], wake[1]);
}
