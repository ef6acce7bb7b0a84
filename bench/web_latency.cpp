// The web server, from a browser's side: the real panel in script mode (the
// Linux one, or varnel.exe under Wine with --wine) on a pseudo-terminal with
// --http and --control on loopback. A `click 1050` posted over HTTP (a new
// connection each, as curl and Companion send it) to the frame's last byte at
// the far end, against a control client's on its open connection, each first
// in turn; how many events of 1,000 poured clicks a page's event stream is
// told, and in how long; and, on Linux, the panel's processor time over 5 s
// idle with no page against one page's event stream open. Median and worst.
//
//   web_latency [ROUNDS] [--wine VARNEL_EXE]
#include <fcntl.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "bench_figures.h"
#include "bench_net.h"
#include "poured_clicks.h"
#include "scripted_panel.h"
#include "test_pty.h"

namespace {
void Print(const char* name, const std::vector<double>& values, const char* unit = "ms") {
  PrintFigures(name, values, unit, 36);
}
std::string Post(int port, const std::string& body) {
  return "POST /api/command HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
         "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}
}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGPIPE, SIG_IGN);
  const auto [rounds, wineExe] = ParseRoundsAndWine(argc, argv, 200);
  TestPty far;
  const int http = FreePort(), control = FreePort();
  std::vector<std::string> args = {"--http", "http://127.0.0.1:" + std::to_string(http), "--control",
                                   "tcp://127.0.0.1:" + std::to_string(control)};
  if (!wineExe) args.insert(args.begin(), {"--port", "COM1=" + far.path()});
  ScriptedPanel panel(args, wineExe, wineExe ? "com1=" + far.path() : std::string());
  panel.Say("get 1004\n");
  if (panel.Answer(60000).rfind("1004=STATUS：COM1 OPENED", 0) != 0) return 1;
  far.Drain(500);
  const int client = Connect(control);
  if (client < 0) return 1;
  std::vector<double> overHttp, fromClient;
  const auto once = [&](auto send, std::vector<double>& into) {
    const auto start = std::chrono::steady_clock::now();
    send();
    if (far.Receive(48, 2000).size() == 48)
      into.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  };
  const std::string request = Post(http, "click 1050");
  for (int r = 0; r < rounds; ++r) {
    for (int k = 0; k < 2; ++k) {
      int fd = -1;
      if ((r + k) % 2 == 0)
        once([&] {
          fd = Connect(http);
          (void)!write(fd, request.data(), request.size());
        }, overHttp);
      else once([&] { (void)!write(client, "click 1050\n", 11); }, fromClient);
      if (fd >= 0) close(fd);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  std::printf("%s, %d rounds\n", wineExe ? "varnel.exe under Wine" : "the Linux panel", rounds);
  Print("click 1050 over HTTP (a connection each)", overHttp);
  Print("click 1050 from a control client", fromClient);
  std::vector<double> ratio;
  for (std::size_t i = 0; i < std::min(overHttp.size(), fromClient.size()); ++i) ratio.push_back(overHttp[i] / fromClient[i]);
  PrintFigures("HTTP / client, pair by pair", ratio, "x", 36);

  // A page's event stream while the script pours 1,000 clicks: how many it is told, and how fast.
  const int stream = Connect(http);
  const std::string open = "GET /api/events?page=bench HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(http) + "\r\n\r\n";
  (void)!write(stream, open.data(), open.size());
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  std::vector<double> told, rate;
  for (int run = 0; run < 3; ++run) {
    const Poured p = PourClicks(panel, far, stream, "data: tx 7e-7e-44-00-00-8b");
    told.push_back(p.told);
    rate.push_back(p.seconds > 0 ? p.told / p.seconds : 0);
  }
  PrintFigures("events told of 1,000 poured clicks", told, "", 36);
  PrintFigures("events a second to the page", rate, "/s", 36);
  if (!wineExe) {
    const pid_t pid = panel.Pid();
    const auto idle = [pid] { return IdlePercent(pid); };
    const double withPage = idle();
    close(stream);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const double none = idle();
    std::printf("  idle, processor time of one core: no page %.2f %%, a page's stream open %.2f %%\n", none, withPage);
  }
  close(client);
  return overHttp.empty() ? 1 : 0;
}
