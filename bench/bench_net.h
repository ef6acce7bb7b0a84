// What the benchmarks that reach the real program's servers share: a free
// loopback port, a connection to it, a line read from it, and the processor
// time the panel's process took.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

// A port no one listens on now, of the kind asked (SOCK_STREAM, SOCK_DGRAM).
inline int FreePort(int type = SOCK_STREAM) {
  const int s = socket(AF_INET, type, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  close(s);
  return ntohs(a.sin_port);
}

inline int Connect(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  for (int i = 0; i < 300; ++i) {
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return fd;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  close(fd);
  return -1;
}

// Reads until a line starting with prefix; false after timeoutMs.
inline bool ReadLine(int fd, const std::string& prefix, int timeoutMs) {
  std::string text;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  char c;
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    if (read(fd, &c, 1) != 1) return false;
    if (c != '\n') {
      text += c;
      continue;
    }
    if (text.rfind(prefix, 0) == 0) return true;
    text.clear();
  }
  return false;
}

// The processor seconds of every process in pid's group (the panel and its threads).
inline double CpuSeconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string all((std::istreambuf_iterator<char>(stat)), {});
  const auto close = all.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(all.substr(close + 2));
  std::string f;
  long ticks = 0;
  for (int i = 3; fields >> f; ++i)
    if (i == 14 || i == 15) ticks += std::atol(f.c_str());
  return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The share of one core pid took over seconds of doing nothing asked of it, in percent.
inline double IdlePercent(pid_t pid, int seconds = 5) {
  const double before = CpuSeconds(pid);
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  return (CpuSeconds(pid) - before) / seconds * 100;
}
