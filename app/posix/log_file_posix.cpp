// The session log's file on POSIX: opened without blocking, a plain file only.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "app/own_link.h"
#include "app/session_log.h"

std::FILE* OpenLogFile(const std::string& path, std::string& why) {
  if (!LinkIsOurs(path, why)) return nullptr;
  // O_NONBLOCK: opening a FIFO nobody reads would otherwise wait for ever
  // (here it fails with ENXIO at once).
  const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0644);
  if (fd < 0) {
    why = errno == ENXIO ? "nobody reads it" : std::strerror(errno);
    return nullptr;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    why = "not a plain file";
    return nullptr;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::FILE* file = fdopen(fd, "ab");
  if (!file) {
    why = std::strerror(errno);
    close(fd);
  }
  return file;
}

bool AppendLogLine(std::FILE* file, const std::string& line, std::string& why) {
  // Straight to the descriptor: no buffer of the C library's holds a part of
  // a line that failed.
  const int fd = fileno(file);
  struct stat st {};
  const bool sized = fstat(fd, &st) == 0;
  std::size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = write(fd, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      why = std::strerror(n < 0 ? errno : ENOSPC);
      if (done > 0 && sized) (void)!ftruncate(fd, st.st_size);  // no torn line
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}
