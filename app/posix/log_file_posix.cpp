// The session log's file on POSIX: opened without blocking, a plain file only.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "app/session_log.h"

std::FILE* OpenLogFile(const std::string& path, std::string& why) {
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
