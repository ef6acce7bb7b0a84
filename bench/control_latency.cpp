// The control server, from a client's side: the real panel in script mode
// (the Linux one, or varnel.exe under Wine with --wine) on a pseudo-terminal
// with --control on loopback. A client's `click 1050` to the frame's last
// byte at the far end, against the same click from the script, alternating;
// a reply at the far end to its `event rx` at a watching client; and, on
// Linux, the panel's processor time over 5 s idle with no client and with 8
// watching. Then, a few times each: how many of 1,000 clicks a script pours
// a watcher that reads is told of (`event tx`), and pipelined `get`s a
// second from a client against the same from the script. Median and worst.
//
//   control_latency [ROUNDS] [--wine VARNEL_EXE]
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench_figures.h"
#include "bench_net.h"
#include "poured_clicks.h"
#include "scripted_panel.h"
#include "test_pty.h"

namespace {
void Print(const char* name, const std::vector<double>& ms) { PrintFigures(name, ms, "ms", 34); }
}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGPIPE, SIG_IGN);  // a panel that closed a connection is a figure missing, not the end
  const auto [rounds, wineExe] = ParseRoundsAndWine(argc, argv, 200);
  TestPty far;
  const int port = FreePort();
  std::vector<std::string> args = {"--control", "tcp://127.0.0.1:" + std::to_string(port)};
  if (!wineExe) args.insert(args.begin(), {"--port", "COM1=" + far.path()});
  ScriptedPanel panel(args, wineExe, wineExe ? "com1=" + far.path() : std::string());
  panel.Say("get 1004\n");
  if (panel.Answer(60000).rfind("1004=STATUS：COM1 OPENED", 0) != 0) return 1;
  far.Drain(500);  // the start-up traffic
  const int client = Connect(port), watcher = Connect(port);
  if (client < 0 || watcher < 0) return 1;
  (void)!write(watcher, "watch on\n", 9);
  ReadLine(watcher, "ok", 5000);
  std::vector<double> fromClient, fromScript, replyToEvent;
  const auto once = [&](auto send, std::vector<double>& into) {
    const auto start = std::chrono::steady_clock::now();
    send();
    if (far.Receive(48, 2000).size() == 48)
      into.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  };
  for (int r = 0; r < rounds; ++r) {
    // Each first in turn: the first after an idle spell pays for the cold caches.
    for (int k = 0; k < 2; ++k) {
      if ((r + k) % 2 == 0) once([&] { (void)!write(client, "click 1050\n", 11); }, fromClient);
      else once([&] { panel.Say("click 1050\n"); }, fromScript);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // The events of those clicks first, then a reply's.
    fcntl(watcher, F_SETFL, O_NONBLOCK);
    char junk[65536];
    while (read(watcher, junk, sizeof junk) > 0) {
    }
    fcntl(watcher, F_SETFL, 0);
    const auto start = std::chrono::steady_clock::now();
    far.Send({0xbb, 0x09, 0x01, 0x41, 0x00, 0x00, 0x00, 0x06});
    if (ReadLine(watcher, "event rx bb-09-01-41", 2000))
      replyToEvent.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::printf("%s, %d rounds\n", wineExe ? "varnel.exe under Wine" : "the Linux panel", rounds);
  Print("click 1050 from a client", fromClient);
  Print("click 1050 from the script", fromScript);
  std::vector<double> ratio;
  for (std::size_t i = 0; i < std::min(fromClient.size(), fromScript.size()); ++i) ratio.push_back(fromClient[i] / fromScript[i]);
  PrintFigures("client / script, pair by pair", ratio, "x", 34);
  Print("a reply at the line to its event", replyToEvent);

  // A watcher that reads, while the script pours 1,000 clicks.
  std::vector<double> told;
  for (int run = 0; run < 3; ++run) told.push_back(PourClicks(panel, far, watcher, "event tx 7e-7e-44-00-00-8b").told);
  PrintFigures("events told of 1,000 poured clicks", told, "", 34);

  // Pipelined gets: 1,000, a client 32 at a time (the server takes 64
  // waiting at most), the script all at once; then every answer.
  std::vector<double> clientRate, scriptRate;
  std::string gets, window;
  for (int i = 0; i < 1000; ++i) gets += "get 1004\n";
  for (int i = 0; i < 32; ++i) window += "get 1004\n";
  fcntl(client, F_SETFL, O_NONBLOCK);  // the clicks' answers above, never read
  for (char junk[65536]; read(client, junk, sizeof junk) > 0;) {
  }
  fcntl(client, F_SETFL, 0);
  for (int run = 0; run < 3; ++run) {
    auto start = std::chrono::steady_clock::now();
    int answered = 0;
    int sent = 0;
    const auto more = [&] {  // the next 32, never past 1,000: nothing left over for the next run
      const int n = std::min(32, 1000 - sent);
      (void)!write(client, window.data(), static_cast<std::size_t>(n) * 9);
      sent += n;
    };
    more();
    while (answered < 1000 && ReadLine(client, "ok", 5000))
      if (++answered % 32 == 0 && sent < 1000) more();
    clientRate.push_back(answered / std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    start = std::chrono::steady_clock::now();
    panel.Say(gets);
    answered = 0;
    while (answered < 1000 && panel.Answer(5000).rfind("1004=", 0) == 0) ++answered;
    scriptRate.push_back(answered / std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  PrintFigures("pipelined gets a second, client", clientRate, "/s", 34);
  PrintFigures("pipelined gets a second, script", scriptRate, "/s", 34);
  if (!wineExe) {
    const pid_t pid = panel.Pid();
    const auto idle = [pid] { return IdlePercent(pid); };
    close(client);
    close(watcher);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const double none = idle();
    std::vector<int> eight;
    for (int i = 0; i < 8; ++i) {
      eight.push_back(Connect(port));
      (void)!write(eight.back(), "watch on\n", 9);
    }
    const double watched = idle();
    std::printf("  idle, processor time of one core: no client %.2f %%, 8 watching %.2f %%\n", none, watched);
    for (int fd : eight) close(fd);
  }
  return fromClient.empty() ? 1 : 0;
}
