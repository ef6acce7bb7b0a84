// A fresh pseudo-terminal per test: the test holds the master (raw), the code
// under test opens the slave by its path (the "far end" is the master). Reads wait with a deadline, never
// with a fixed sleep.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <cstdint>
#include <string>
#include <vector>

class TestPty {
 public:
  TestPty() {
    int slave = -1;
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&m_master, &slave, name, &raw, nullptr) == 0) {
      m_path = name;
      close(slave);
      fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
      // A program the test starts must not hold the far end open: closing it
      // here has to be the device going away.
      fcntl(m_master, F_SETFD, FD_CLOEXEC);
    }
  }
  ~TestPty() { CloseMaster(); }
  TestPty(const TestPty&) = delete;
  TestPty& operator=(const TestPty&) = delete;

  bool ok() const { return m_master >= 0; }
  const std::string& path() const { return m_path; }
  int master() const { return m_master; }
  void CloseMaster() {
    if (m_master >= 0) close(m_master);
    m_master = -1;
  }

  void Send(const std::vector<std::uint8_t>& bytes) const { (void)!write(m_master, bytes.data(), bytes.size()); }

  // Up to n bytes from the device side, waiting at most timeoutMs in all.
  std::vector<std::uint8_t> Receive(std::size_t n, int timeoutMs = 2000) const {
    std::vector<std::uint8_t> out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (out.size() < n) {
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
      if (left < 0) break;
      pollfd p{m_master, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left)) <= 0) break;
      std::uint8_t buf[512];
      const ssize_t got = read(m_master, buf, std::min(sizeof buf, n - out.size()));
      if (got <= 0) break;
      out.insert(out.end(), buf, buf + got);
    }
    return out;
  }

  // Everything that arrives within quietMs of silence.
  std::vector<std::uint8_t> Drain(int quietMs = 100) const {
    std::vector<std::uint8_t> out;
    for (;;) {
      auto more = Receive(4096, quietMs);
      if (more.empty()) return out;
      out.insert(out.end(), more.begin(), more.end());
    }
  }

 private:
  int m_master = -1;
  std::string m_path;
};

// Waits until the driver has queued n bytes on the panel's side of the line.
inline bool WaitQueued(std::intptr_t handle, int n, int timeoutMs = 2000) {
  const int fd = static_cast<int>(handle);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    int queued = 0;
    if (ioctl(fd, FIONREAD, &queued) == 0 && queued >= n) return true;
    pollfd none{-1, 0, 0};
    poll(&none, 0, 1);
  }
  return false;
}

// The rate the device is set to now, as the driver reads it back.
inline std::optional<unsigned> DeviceBaud(std::intptr_t handle) {
  termios t{};
  if (tcgetattr(static_cast<int>(handle), &t) != 0) return std::nullopt;
  switch (cfgetospeed(&t)) {
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    default: return 0;
  }
}

// A port name that reaches no device, and what the operator is told about it.
inline constexpr const char* kMissingPort = "/dev/ttyVarnelMissing0";
inline constexpr const char* kMissingReason = "no such device";
// The devices COM1 and COM21 reach when no --port maps them.
inline constexpr const char* kCom1Device = "/dev/ttyS0";
inline constexpr const char* kCom21Device = "/dev/ttyS20";
