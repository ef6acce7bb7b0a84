// A frame handed to the port until its last byte is at the far end of the
// line: a pseudo-terminal directly, and the same line behind ser2net over RFC
// 2217 and raw TCP, in one run, alternating so that the machine's drift
// touches all three alike. Then the same from the operator's side: the real
// panel in script mode (the Linux one, or varnel.exe under Wine with --wine),
// "click 1050" until the query's last byte is at the far end, on each line.
// Prints median and worst of each. Needs ser2net.
//
//   net_latency [ROUNDS] [--wine VARNEL_EXE]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "protocol/commands.h"
#include "bench_figures.h"
#include "scripted_panel.h"
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

// The real panel on COM1 = line, driven through its script, from "click 1050"
// to the query's last byte at the far end; nothing if it did not start.
std::vector<double> ClickToLastByte(const std::string& line, const TestPty& far, int rounds, const char* wineExe) {
  ScriptedPanel panel({"--port", "COM1=" + line}, wineExe);
  std::vector<double> ms;
  panel.Say("focus 1050\nget 1004\n");
  if (panel.Answer(60000).rfind("1004=STATUS：COM1 OPENED", 0) == 0) {
    far.Drain(500);  // the start-up traffic
    for (int r = 0; r < rounds; ++r) {
      const auto start = std::chrono::steady_clock::now();
      panel.Say("click 1050\n");
      const std::vector<std::uint8_t> got = far.Receive(48, 2000);
      if (got.size() == 48)
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  return ms;
}

void Print(const char* name, const std::vector<double>& ms) { PrintFigures(name, ms, "ms", 24); }
}  // namespace

int main(int argc, char** argv) {
  const auto [rounds, wineExe] = ParseRoundsAndWine(argc, argv, 300);
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
  std::printf("a 48-byte frame from the port's Write to its last byte at the far end, %d rounds each:\n", rounds);
  for (Line& l : lines) Print(l.name, l.ms);
  for (Line& l : lines) l.port.Close();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  std::printf("the real panel (%s): \"click 1050\" to the query's last byte at the far end, %d clicks each:\n",
              wineExe ? wineExe : VARNEL_BIN, rounds);
  for (Line& l : lines) Print(l.name, ClickToLastByte(l.url, *l.far, rounds, wineExe));
  return 0;
}
