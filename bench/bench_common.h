// A pseudo-terminal as COM1 for the benchmarks, and the reads they feed it.
#pragma once

#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

struct BenchPty {
  BenchPty() {
    int slave = -1;
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    openpty(&master, &slave, name, &raw, nullptr);
    close(slave);
    path = name;
  }
  ~BenchPty() { close(master); }
  int master = -1;
  std::string path;
};

// Puts n bytes on the line and waits until the panel side (fd) has them.
inline void Feed(const BenchPty& pty, int fd, std::size_t n) {
  static const std::vector<unsigned char> bytes(1000, 0x5A);
  (void)!write(pty.master, bytes.data(), n);
  for (int queued = 0; queued < static_cast<int>(n);) ioctl(fd, FIONREAD, &queued);
}

inline long ResidentKiB() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}
