// The serial port on a line behind a real serial device server: Debian's
// ser2net on loopback in front of a pseudo-terminal, RFC 2217 and raw TCP.
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <iterator>
#include <thread>

#include "ser2net.h"
#include "serial/com_base.h"
#include "serial/port_map.h"
#include "serial/rfc2217.h"
#include "test_dcb.h"
#include "test_pty.h"
#include "protocol/commands.h"

namespace {
using Bytes = std::vector<std::uint8_t>;

Bytes Of(const Frame& f) { return Bytes(f.data(), f.data() + f.size()); }

// Reads until n bytes came or the time is up, as the poll would, never waiting inside Read.
Bytes ReadFromPort(CComSync& port, std::size_t n, int timeoutMs = 3000) {
  Bytes out;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (out.size() < n && std::chrono::steady_clock::now() < deadline) {
    std::uint8_t buf[1000];
    const int got = port.Read(buf, sizeof buf);
    out.insert(out.end(), buf, buf + got);
    if (got == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return out;
}

// Every note the port has for the operator, gathered for a while.
std::string Notices(CComSync& port, int forMs) {
  std::string all;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(forMs);
  do {
    std::uint8_t buf[1000];
    port.Read(buf, sizeof buf);
    for (std::string n = port.TakeNotice(); !n.empty(); n = port.TakeNotice()) all += n + "\n";
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (std::chrono::steady_clock::now() < until);
  return all;
}

// The line's rate as the pty's far end reads it (one termios for both ends).
unsigned FarBaud(const TestPty& pty) {
  termios t{};
  if (tcgetattr(pty.master(), &t) != 0) return 0;
  const speed_t s = cfgetospeed(&t);
  return s == B9600 ? 9600 : s == B57600 ? 57600 : s == B115200 ? 115200 : s == B38400 ? 38400 : 1;
}

// A private-protocol frame whose checksum is FF.
Frame FrameWithChecksumFf() {
  for (int v = 0; v <= 200; ++v) {
    const Frame f = BuildTempCoeffFrame(v);
    if (f.data()[f.size() - 1] == 0xFF) return f;
  }
  for (int x = 0; x < 65536; ++x) {
    const Frame f = BuildMoveFrame(0, x, 0, 0);
    if (f.data()[f.size() - 1] == 0xFF) return f;
  }
  return BuildMoveFrame(0, 0, 0, 0);
}

class Network : public ::testing::TestWithParam<bool> {  // true: RFC 2217
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.ok());
    ASSERT_TRUE(server.running()) << "ser2net did not start (scripts/setup.sh installs it): " << server.Log();
  }
  std::string Url() const { return GetParam() ? server.Rfc2217Url() : server.RawUrl(); }
  bool OpenAt(CComSync& p, std::uint32_t baud = 57600, std::uint8_t parity = comm::EVENPARITY) {
    const comm::DCB dcb = Dcb(baud, parity);
    return p.Open(Url(), &dcb, nullptr) == 1;
  }
  TestPty pty;
  Ser2net server{pty.path()};
  CComSync port;
};

// VISCA frames end in FF and a move of -1 carries FF: over RFC 2217 every FF
// is doubled on the way and undoubled by the server, so the line sees each
// frame exactly as a local port would have sent it.
TEST_P(Network, EveryFamilysFrameArrivesByteForByte) {
  ASSERT_TRUE(OpenAt(port)) << port.LastErrorText() << server.Log();
  const Frame frames[] = {BuildViscaZoom(0x3FFF), BuildMoveFrame(0, -1, 5, 0), FrameWithChecksumFf(),
                          BuildCardQuery(kQueryState)};
  ASSERT_EQ(FrameWithChecksumFf().data()[47], 0xFF);
  ASSERT_EQ(BuildMoveFrame(0, -1, 5, 0).data()[6], 0xFF);
  for (const Frame& f : frames) {
    EXPECT_EQ(port.Write(f.data(), static_cast<unsigned>(f.size())), static_cast<int>(f.size()));
    EXPECT_EQ(pty.Receive(f.size(), 3000), Of(f));
  }
  EXPECT_TRUE(pty.Drain(200).empty()) << "nothing but the frames reached the line";
}

// A reply holding FF is read once, exactly as the device sent it.
TEST_P(Network, AReplyHoldingFfIsReadOnceAsSent) {
  ASSERT_TRUE(OpenAt(port)) << port.LastErrorText() << server.Log();
  const Frame q = BuildCardQuery(kQueryState);
  port.Write(q.data(), static_cast<unsigned>(q.size()));
  pty.Receive(q.size());
  const Bytes reply = {0xbb, 0x09, 0x01, 0x49, 0x02, 0x00, 0xff, 0x00};
  pty.Send(reply);
  EXPECT_EQ(ReadFromPort(port, 8), reply);
  EXPECT_TRUE(ReadFromPort(port, 1, 300).empty()) << "read twice, or a telnet byte reached the panel";
}

TEST_P(Network, ASecondClientIsRefusedAsBusy) {
  ASSERT_TRUE(OpenAt(port)) << port.LastErrorText() << server.Log();
  CComSync second;
  EXPECT_FALSE(OpenAt(second));
  EXPECT_EQ(second.LastError(), SerialError::DeviceBusy) << second.LastErrorText();
  EXPECT_NE(second.LastErrorText().find("in use by another program"), std::string::npos) << second.LastErrorText();
  EXPECT_FALSE(second.IsOpen());
}

// A server killed and started again: the port says it went away, and the
// watch's open (which never waits) finds it again once it is back.
TEST_P(Network, AServerThatRestartsIsFoundAgain) {
  ASSERT_TRUE(OpenAt(port)) << port.LastErrorText() << server.Log();
  server.Kill();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!port.Gone() && std::chrono::steady_clock::now() < deadline) ReadFromPort(port, 1, 20);
  ASSERT_TRUE(port.Gone());
  EXPECT_EQ(port.TakeNotice(), Url() + " went away; it is opened again once it is back");
  const comm::DCB dcb = Dcb(57600, comm::EVENPARITY);
  // While it is down, each look returns at once.
  const auto look = std::chrono::steady_clock::now();
  EXPECT_EQ(port.OpenAgain(Url(), &dcb), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - look, std::chrono::milliseconds(100));
  ASSERT_TRUE(server.Start()) << server.Log();
  int opened = 0;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!opened && std::chrono::steady_clock::now() < until) {
    opened = port.OpenAgain(Url(), &dcb);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_EQ(opened, 1) << port.LastErrorText();
  const Frame q = BuildCardQuery(kQueryState);
  port.Write(q.data(), static_cast<unsigned>(q.size()));
  EXPECT_EQ(pty.Receive(q.size(), 3000), Of(q));
}

INSTANTIATE_TEST_SUITE_P(Ser2net, Network, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Rfc2217" : "Raw"; });

// The panel's rate reaches the line through the server, every request is
// answered, and a new choice on the same server keeps the connection.
TEST(NetworkRfc2217, TheChosenLineReachesTheServerAndWhatItSetIsSaid) {
  TestPty pty;
  Ser2net server(pty.path());
  ASSERT_TRUE(server.running()) << server.Log();
  CComSync port;
  const comm::DCB fast = Dcb(115200, comm::EVENPARITY);
  ASSERT_EQ(port.Open(server.Rfc2217Url(), &fast, nullptr), 1) << port.LastErrorText();
  std::string said = Notices(port, 400);
  EXPECT_EQ(FarBaud(pty), 115200u);
  const comm::DCB slow = Dcb(9600, comm::ODDPARITY);
  ASSERT_EQ(port.Reopen(server.Rfc2217Url(), &slow), 1) << port.LastErrorText();
  said += Notices(port, 400);
  EXPECT_EQ(FarBaud(pty), 9600u);
  // ser2net answers with the parity it set, which on a pseudo-terminal is
  // sometimes none: whatever it answered is said in the operator's words.
  for (const std::string& line : {std::string("parity none, not even"), std::string("parity none, not odd")})
    if (said.find(line) != std::string::npos) {
      EXPECT_NE(said.find("the server set " + line), std::string::npos) << said;
    }
  EXPECT_EQ(said.find("did not answer"), std::string::npos) << said;
  EXPECT_EQ(server.Log().find("Port already in use"), std::string::npos) << "the new line reconnected";
  const Frame q = BuildCardQuery(kQueryState);
  port.Write(q.data(), static_cast<unsigned>(q.size()));
  EXPECT_EQ(pty.Receive(q.size(), 3000), Of(q));
}

TEST(NetworkFailures, RefusedUnknownAndMalformedAreSaidWithTheirReason) {
  const std::uint16_t nobody = FreeLoopbackPort();
  struct Case {
    std::string url;
    SerialError error;
    const char* reason;
  } cases[] = {
      {"tcp://127.0.0.1:" + std::to_string(nobody), SerialError::Resource, "refused the connection"},
      {"rfc2217://127.0.0.1:" + std::to_string(nobody), SerialError::Resource, "refused the connection"},
      {"tcp://no-such-host.invalid:4001", SerialError::DeviceNotFound, "no such host"},
      {"tcp://127.0.0.1", SerialError::DeviceNotFound, "not a network port"},
  };
  for (const Case& c : cases) {
    CComSync port;
    const comm::DCB dcb = Dcb(57600, comm::EVENPARITY);
    EXPECT_EQ(port.Open(c.url, &dcb, nullptr), 0) << c.url;
    EXPECT_EQ(port.LastError(), c.error) << c.url << ": " << port.LastErrorText();
    EXPECT_NE(port.LastErrorText().find(c.reason), std::string::npos) << port.LastErrorText();
    EXPECT_FALSE(port.IsOpen());
  }
}

// A server that takes the connection and then says nothing, ever: the port
// opens after its short listen, reads return at once, and the requests it
// never answers are said once each, not failed.
TEST(NetworkFailures, AServerThatNeverAnswersCostsNoWaitingAndIsSaid) {
  SilentServer silent;
  ASSERT_TRUE(silent.ok);
  const std::string url = silent.Rfc2217Url();
  CComSync port;
  const comm::DCB dcb = Dcb(57600, comm::EVENPARITY);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(port.Open(url, &dcb, nullptr), 1) << port.LastErrorText();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
  std::uint8_t buf[1000];
  const auto read = std::chrono::steady_clock::now();
  EXPECT_EQ(port.Read(buf, sizeof buf), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - read, std::chrono::milliseconds(50));
  const std::string said = Notices(port, static_cast<int>(telnet::kAnswerMs) + 500);
  EXPECT_NE(said.find("did not answer SET-BAUDRATE"), std::string::npos) << said;
  EXPECT_EQ(said.find("did not answer SET-BAUDRATE", said.find("SET-BAUDRATE") + 1), std::string::npos) << said;
  EXPECT_TRUE(port.IsOpen());
}
}  // namespace

// The configurations the package ships run as they are documented: both
// accepters reach the line (their ports and device made the test's own); the
// simulated gimbal's listens on loopback only.
TEST(NetworkRfc2217, TheShippedSer2netConfigurationsServeBothModes) {
  for (const char* file : {VARNEL_SER2NET_EXAMPLE, VARNEL_SER2NET_SIM_EXAMPLE}) {
    SCOPED_TRACE(file);
    std::ifstream in(file);
    ASSERT_TRUE(in) << file;
    std::string config((std::istreambuf_iterator<char>(in)), {});
    if (config.find("/tmp/varnel-sim-gimbal") != std::string::npos) {
      std::istringstream lines(config);
      for (std::string l; std::getline(lines, l);)
        if (l.find("accepter:") != std::string::npos) {
          EXPECT_NE(l.find(",127.0.0.1,"), std::string::npos) << l;
        }
      for (const auto& [from, to] : {std::pair<std::string, std::string>{"tcp,127.0.0.1,7416", "tcp,2217"},
                                     {"tcp(nodelay),127.0.0.1,7417", "tcp(nodelay),4001"},
                                     {"/tmp/varnel-sim-gimbal", "/dev/ttyUSB0"}})
        for (std::size_t at; (at = config.find(from)) != std::string::npos;) config.replace(at, from.size(), to);
    }
    TestPty pty;
    Ser2net server(pty.path(), config);
    ASSERT_TRUE(server.running()) << server.Log();
    for (const std::string& url : {server.Rfc2217Url(), server.RawUrl()}) {
      CComSync port;
      const comm::DCB dcb = Dcb(57600, comm::EVENPARITY);
      ASSERT_EQ(port.Open(url, &dcb, nullptr), 1) << url << ": " << port.LastErrorText();
      const Frame zoom = BuildViscaZoom(1);
      port.Write(zoom.data(), static_cast<unsigned>(zoom.size()));
      EXPECT_EQ(pty.Receive(zoom.size(), 3000), Of(zoom)) << url;
      port.Close();
      std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the server lets the line go
    }
  }
}

namespace {
bool WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path);
  return static_cast<bool>(out << text << std::flush);
}

// Loopback up or down: down stands in for a pulled cable (nothing crosses,
// nothing answers).
bool SetLoopback(bool up) {
  const int s = socket(AF_INET, SOCK_DGRAM, 0);
  ifreq lo{};
  std::strcpy(lo.ifr_name, "lo");
  bool ok = s >= 0 && ioctl(s, SIOCGIFFLAGS, &lo) == 0;
  if (up) lo.ifr_flags |= IFF_UP | IFF_RUNNING;
  else lo.ifr_flags &= ~IFF_UP;
  ok = ok && ioctl(s, SIOCSIFFLAGS, &lo) == 0;
  if (ok && up) {
    // An address beside 127.0.0.1, so that a resolver asked for configured
    // addresses only (ser2net's) finds one and takes numeric addresses.
    ifreq alias{};
    std::strcpy(alias.ifr_name, "lo:1");
    auto* a = reinterpret_cast<sockaddr_in*>(&alias.ifr_addr);
    a->sin_family = AF_INET;
    a->sin_addr.s_addr = htonl(0x0AC80001);  // 10.200.0.1, inside the namespace only
    ioctl(s, SIOCSIFADDR, &alias);
  }
  if (s >= 0) close(s);
  return ok;
}

// In a user and network namespace of its own (a forked child: unshare needs
// a single thread): the shipped sysctl settings, the shipped ser2net
// configuration, a panel that holds the line and then loses its network.
// 0 when it goes as documented, 77 when this machine makes no namespaces.
int LostClientInANamespace(std::string& why) {
  const uid_t uid = getuid();
  const gid_t gid = getgid();
  if (unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) return why = "unshare", 77;
  WriteFile("/proc/self/setgroups", "deny");
  if (!WriteFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
      !WriteFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1") || !SetLoopback(true))
    return why = "the namespace's own loopback", 77;
  std::ifstream settings(VARNEL_SER2NET_KEEPALIVE);
  for (std::string line; std::getline(settings, line);) {
    if (line.empty() || line[0] == '#') continue;
    const auto eq = line.find('=');
    std::string key = line.substr(0, line.find_last_not_of(' ', eq - 1) + 1);
    std::replace(key.begin(), key.end(), '.', '/');
    if (!WriteFile("/proc/sys/" + key, line.substr(eq + 1))) return why = "cannot set " + key, 1;
  }
  std::ifstream in(VARNEL_SER2NET_EXAMPLE);
  const std::string config((std::istreambuf_iterator<char>(in)), {});
  TestPty pty;
  Ser2net server(pty.path(), config);
  if (!server.running()) return why = "ser2net did not start: " + server.Log(), 1;
  const comm::DCB dcb = Dcb(57600, comm::EVENPARITY);
  CComSync first, second, later;
  if (first.Open(server.RawUrl(), &dcb, nullptr) != 1) return why = "first: " + first.LastErrorText() + server.Log(), 1;
  if (second.Open(server.RawUrl(), &dcb, nullptr) != 0 || second.LastError() != SerialError::DeviceBusy)
    return why = "a second panel took a line in use: " + second.LastErrorText(), 1;
  SetLoopback(false);  // the first panel's machine is off the network
  std::this_thread::sleep_for(std::chrono::seconds(15));
  SetLoopback(true);
  if (later.Open(server.RawUrl(), &dcb, nullptr) != 1)
    return why = "15 s after its client lost the network the line is still held: " + later.LastErrorText(), 1;
  return 0;
}
}  // namespace

// The shipped keepalive settings for the server's machine free a line whose
// panel lost the network within about 15 s; a panel that is there keeps it.
TEST(NetworkRfc2217, TheShippedKeepaliveSettingsFreeALineWhosePanelLostTheNetwork) {
  int report[2];
  ASSERT_EQ(pipe(report), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(report[0]);
    std::string why;
    const int code = LostClientInANamespace(why);
    (void)!write(report[1], why.data(), why.size());
    _exit(code);
  }
  close(report[1]);
  std::string why;
  char chunk[512];
  for (ssize_t n; (n = read(report[0], chunk, sizeof chunk)) > 0;) why.append(chunk, static_cast<std::size_t>(n));
  close(report[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 77) GTEST_SKIP() << "no namespaces here: " << why;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << why;
}
