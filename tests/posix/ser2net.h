// Debian's ser2net on loopback in front of a pseudo-terminal, for the tests
// of a gimbal behind a serial device server: two accepters on free ports,
// RFC 2217 and raw TCP, the far end of the line the test's own pty. Started
// by the test and ended by its PID when the test is done (or by Kill).
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

// A port nothing listens on now (the system's choice, given back at once).
inline std::uint16_t FreeLoopbackPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  close(fd);
  return ntohs(a.sin_port);
}

// Whether something listens on the loopback port, asked of the kernel: a
// probing connect would make ser2net open the line and hold it.
inline bool Listening(std::uint16_t port) {
  std::ifstream table("/proc/net/tcp");
  char wanted[16];
  std::snprintf(wanted, sizeof wanted, ":%04X", port);
  for (std::string line; std::getline(table, line);) {
    std::istringstream words(line);
    std::string slot, local, remote, state;
    words >> slot >> local >> remote >> state;
    if (state == "0A" && local.size() > 5 && local.compare(local.size() - 5, 5, wanted) == 0) return true;
  }
  return false;
}

// A server that takes connections and never says a word, nor reads one.
struct SilentServer {
  SilentServer() {
    fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ok = bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && listen(fd, 4) == 0;
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
  }
  ~SilentServer() { close(fd); }
  SilentServer(const SilentServer&) = delete;
  SilentServer& operator=(const SilentServer&) = delete;
  std::string Rfc2217Url() const { return "rfc2217://127.0.0.1:" + std::to_string(port); }
  int fd = -1;
  bool ok = false;
  std::uint16_t port = 0;
};

class Ser2net {
 public:
  // config: a ser2net configuration to run instead, whose "tcp,2217" and
  // "tcp(nodelay),4001" accepters and /dev/ttyUSB0 become the test's own
  // (loopback, free ports, the pty).
  explicit Ser2net(const std::string& device, std::string config = {})
      : m_dir(std::filesystem::temp_directory_path() /
              ("varnel-ser2net-" + std::to_string(getpid()) + "-" + std::to_string(Count()++))),
        m_device(device), m_rfc2217(FreeLoopbackPort()), m_raw(FreeLoopbackPort()) {
    std::filesystem::create_directories(m_dir);
    if (config.empty()) {
      config = "connection: &rfc2217\n"
               "  accepter: telnet(rfc2217),tcp,2217\n"
               "  connector: serialdev(nouucplock),/dev/ttyUSB0,57600e81,local\n"
               "connection: &raw\n"
               "  accepter: tcp(nodelay),4001\n"
               "  connector: serialdev(nouucplock),/dev/ttyUSB0,57600e81,local\n";
    }
    Replace(config, "tcp,2217", "tcp,127.0.0.1," + std::to_string(m_rfc2217));
    Replace(config, "tcp(nodelay),4001", "tcp(nodelay),127.0.0.1," + std::to_string(m_raw));
    Replace(config, "serialdev,", "serialdev(nouucplock),");  // a pty has no lock file to take
    Replace(config, "/dev/ttyUSB0", m_device);
    std::ofstream(m_dir / "ser2net.yaml") << config;
    Start();
  }
  ~Ser2net() {
    Kill();
    std::filesystem::remove_all(m_dir);
  }
  Ser2net(const Ser2net&) = delete;
  Ser2net& operator=(const Ser2net&) = delete;

  // Runs in the foreground (-n) so that its PID is the one we started; -d
  // logs the negotiation to standard error, kept in the test's folder.
  bool Start() {
    m_pid = fork();
    if (m_pid == 0) {
      const std::string log = (m_dir / "ser2net.log").string();
      const std::string config = (m_dir / "ser2net.yaml").string();
      (void)!freopen(log.c_str(), "a", stderr);
      (void)!freopen("/dev/null", "w", stdout);
      execlp("ser2net", "ser2net", "-n", "-d", "-c", config.c_str(), "-P", (m_dir / "pid").c_str(),
             static_cast<char*>(nullptr));
      _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_pid = -1;  // it ended: not installed, or the configuration refused
        return false;
      }
      if (Listening(m_rfc2217) && Listening(m_raw)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
  void Kill() {
    if (m_pid <= 0) return;
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
  }
  bool running() const { return m_pid > 0; }
  std::string Rfc2217Url() const { return "rfc2217://127.0.0.1:" + std::to_string(m_rfc2217); }
  std::string RawUrl() const { return "tcp://127.0.0.1:" + std::to_string(m_raw); }
  std::string Log() const {
    std::ifstream in(m_dir / "ser2net.log");
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  static void Replace(std::string& text, const std::string& what, const std::string& with) {
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
      text.replace(at, what.size(), with);
  }
  static int& Count() {
    static int n = 0;
    return n;
  }
  std::filesystem::path m_dir;
  std::string m_device;
  std::uint16_t m_rfc2217, m_raw;
  pid_t m_pid = -1;
};
