// A frame handed to the port until its last byte is at the far end of the
// line: a pseudo-terminal directly, and the same line behind ser2net over RFC
// 2217 and raw TCP, in one run, alternating so that the machine's drift
// touches all three alike. Prints median and worst of each. Needs ser2net.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "protocol/commands.h"
#include "ser2net.h"
#include "serial/com_base.h"
#include "test_dcb.h"
#include "test_pty.h"

namespace {
double OnceMs(CComSync& port, const TestPty& far, const Frame& frame) {
  const auto start = std::chrono::steady_clock::now();
  port.Write(frame.data(), static_cast<unsigned>(frame.size()));
  const std::vector<std::uint8_t> got = far.Receive(frame.size(), 2000);
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  return got.size() == frame.size() ? ms : -1;
}
}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 300;
  TestPty direct, behind;
  Ser2net server(behind.path());
  if (!server.running()) {
    std::fprintf(stderr, "net_latency: ser2net did not start\n%s", server.Log().c_str());
    return 1;
  }
  const comm::DCB dcb = Dcb(57600, comm::EVENPARITY);
  struct Line {
    const char* name;
    std::string url;
    const TestPty* far;
    CComSync port{nullptr};
    std::vector<double> ms;
  };
  Line lines[3] = {{"direct pseudo-terminal", direct.path(), &direct, CComSync{nullptr}, {}},
                   {"ser2net RFC 2217", server.Rfc2217Url(), &behind, CComSync{nullptr}, {}},
                   {"ser2net raw TCP", server.RawUrl(), &behind, CComSync{nullptr}, {}}};
  const Frame frame = BuildCardQuery(kQueryState);
  for (int r = 0; r < rounds; ++r) {
    for (Line& l : lines) {
      // One client at a time on ser2net's line: each opens for its round.
      if (!l.port.IsOpen() && !l.port.Open(l.url, &dcb, nullptr)) {
        std::fprintf(stderr, "net_latency: %s\n", l.port.LastErrorText().c_str());
        return 1;
      }
      if (r == 0) OnceMs(l.port, *l.far, frame);  // a warm-up each
      const double ms = OnceMs(l.port, *l.far, frame);
      if (ms >= 0) l.ms.push_back(ms);
      if (l.far == &behind) {
        l.port.Close();
        std::this_thread::sleep_for(std::chrono::milliseconds(30));  // the server lets the line go
      }
    }
  }
  std::printf("a 48-byte frame from Write to its last byte at the far end, %d rounds each:\n", rounds);
  for (Line& l : lines) {
    std::sort(l.ms.begin(), l.ms.end());
    if (l.ms.empty()) continue;
    std::printf("  %-24s median %.3f ms, worst %.3f ms (%zu measured)\n", l.name, l.ms[l.ms.size() / 2], l.ms.back(),
                l.ms.size());
  }
  return 0;
}
