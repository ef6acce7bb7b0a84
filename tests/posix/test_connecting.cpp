// The panel while its network port connects: the window is not held, it
// says what it waits for, what it sends meanwhile (no move) goes once the
// line is there, and the rate and parity lists of a raw TCP port say whose
// they are.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "panel.h"
#include "literal_frames.h"

namespace {
// A loopback server the test accepts on itself.
struct Listener {
  Listener() {
    fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ok = bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && listen(fd, 1) == 0 &&
         getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0;
    port = ntohs(a.sin_port);
  }
  ~Listener() { close(fd); }
  int fd = -1;
  bool ok = false;
  std::uint16_t port = 0;
};

std::size_t ReceiveAll(int fd, std::vector<std::uint8_t>& into, int quietMs) {
  pollfd p{fd, POLLIN, 0};
  std::uint8_t chunk[4096];
  while (poll(&p, 1, quietMs) > 0) {
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n <= 0) break;
    into.insert(into.end(), chunk, chunk + n);
  }
  return into.size();
}
}  // namespace

TEST(Connecting, TheWindowSaysWhatItWaitsForAndSendsWhatWasClickedMeanwhileOnceOpened) {
  Listener server;
  ASSERT_TRUE(server.ok);
  const std::string url = "tcp://127.0.0.1:" + std::to_string(server.port);
  Panel p(true, false);
  p.map.Map("COM1", url);
  p.dlg->OnInitDialog();
  p.dlg->Timer().Stop();
  p.Paint();  // the sliders' start-up frames, written while the connection is under way
  EXPECT_TRUE(p.dlg->LineConnecting());
  EXPECT_EQ(p.c.GetWindowText(idc::Status), "STATUS：COM1 NOT OPENED");
  EXPECT_EQ(p.host.waiting, "connecting to COM1 (" + url + ")");
  EXPECT_TRUE(p.host.warningTexts.empty());
  for (const int id : {idc::Baud, idc::Parity}) {
    EXPECT_FALSE(p.c.IsWindowEnabled(id));
    EXPECT_NE(p.c.ToolTip(id).find("127.0.0.1:" + std::to_string(server.port)), std::string::npos) << p.c.ToolTip(id);
  }
  p.Click(idc::QueryState);  // clicked meanwhile: it goes once the line is there
  fcntl(server.fd, F_SETFL, O_NONBLOCK);
  int far = -1;
  for (int poll = 0; poll < 400 && p.dlg->LineConnecting(); ++poll) {
    p.dlg->OnPollSerial();
    if (far < 0) far = accept(server.fd, nullptr, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_GE(far, 0);
  fcntl(far, F_SETFL, 0);
  EXPECT_FALSE(p.dlg->LineConnecting());
  EXPECT_EQ(p.c.GetWindowText(idc::Status), "STATUS：COM1 OPENED，57600,E,8,1");
  EXPECT_EQ(p.host.waiting, "");
  std::vector<std::uint8_t> wire;
  ReceiveAll(far, wire, 300);
  // The start-up frames (the VISCA zoom, the sliders'), then the query, in order.
  ASSERT_GE(wire.size(), 48u);
  EXPECT_EQ(std::vector<std::uint8_t>(wire.end() - 48, wire.end()), Literal("query state")) << "the query did not go last";
  close(far);
}
