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
#include "ser2net.h"
#include "literal_frames.h"

namespace {
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
  SilentServer server;  // accepted by the test itself
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
