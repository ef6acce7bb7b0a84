// VISCA over IP, from a controller's side: the real panel in script mode (the
// Linux one, or varnel.exe under Wine with --wine) on a pseudo-terminal with
// --visca-ip on loopback. A Pan-tiltDrive packet to its move frame's last
// byte at the far end, against a script's `click` on an arrow, alternating
// (each followed by its stop); then a forwarded inquiry, the far end
// answering at once, to its answer back at the controller, against the poll
// period that reads that answer. Median and worst.
//
//   visca_latency [ROUNDS] [--wine VARNEL_EXE]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "bench_figures.h"
#include "bench_net.h"
#include "scripted_panel.h"
#include "test_pty.h"


int main(int argc, char** argv) {
  const auto [rounds, wineExe] = ParseRoundsAndWine(argc, argv, 200);
  TestPty far;
  const int port = FreePort(SOCK_DGRAM);
  std::vector<std::string> args = {"--no-gamepad", "--visca-ip", "udp://127.0.0.1:" + std::to_string(port)};
  if (!wineExe) args.insert(args.begin(), {"--port", "COM1=" + far.path()});
  ScriptedPanel panel(args, wineExe, wineExe ? "com1=" + far.path() : std::string());
  panel.Say("get 1004\n");
  if (panel.Answer(60000).rfind("1004=STATUS：COM1 OPENED", 0) != 0) return 1;
  far.Drain(500);  // the start-up traffic
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(static_cast<std::uint16_t>(port));
  std::uint32_t seq = 0;
  const auto packet = [&](std::uint8_t pan) {
    const std::uint8_t d[] = {0x01, 0x00, 0x00, 0x09, static_cast<std::uint8_t>(++seq >> 24), static_cast<std::uint8_t>(seq >> 16),
                              static_cast<std::uint8_t>(seq >> 8), static_cast<std::uint8_t>(seq), 0x81, 0x01, 0x06, 0x01,
                              0x0C, 0x0C, pan, 0x03, 0xFF};
    sendto(fd, d, sizeof d, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  };
  std::vector<double> fromController, fromClick;
  const auto once = [&](auto send, std::vector<double>& into) {
    const auto start = std::chrono::steady_clock::now();
    send();
    if (far.Receive(48, 2000).size() == 48)
      into.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  };
  for (int r = 0; r < rounds; ++r) {
    // Each first in turn: the first after an idle spell pays for the cold caches.
    for (int k = 0; k < 2; ++k) {
      if ((r + k) % 2 == 0) {
        once([&] { packet(0x02); }, fromController);
        packet(0x03);  // the stop
      } else {
        once([&] { panel.Say("click 1014\n"); }, fromClick);
      }
      far.Drain(100);
    }
  }
  // A forwarded inquiry, sent at every phase of the poll: its answer back at
  // the controller, the far end answering as soon as it reads it.
  std::vector<double> inquiry, perPeriod;
  const auto drainAnswers = [&] {
    std::uint8_t b[64];
    for (pollfd p{fd, POLLIN, 0}; poll(&p, 1, 0) > 0;) (void)!recv(fd, b, sizeof b, 0);
  };
  for (int r = 0; r < rounds; ++r) {
    // More than 200 ms apart: sooner, the same inquiry is answered from its last answer.
    std::this_thread::sleep_for(std::chrono::milliseconds(250 + r * 37 % 160));
    drainAnswers();
    const std::uint8_t d[] = {0x01, 0x10, 0x00, 0x05, static_cast<std::uint8_t>(++seq >> 24), static_cast<std::uint8_t>(seq >> 16),
                              static_cast<std::uint8_t>(seq >> 8), static_cast<std::uint8_t>(seq), 0x81, 0x09, 0x04, 0x47, 0xFF};
    const auto start = std::chrono::steady_clock::now();
    sendto(fd, d, sizeof d, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (far.Receive(5, 2000).size() != 5) continue;
    far.Send({0x90, 0x50, 0x01, 0x06, 0x0A, 0x01, 0xFF});
    std::uint8_t b[64];
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 2000) <= 0 || recv(fd, b, sizeof b, 0) < 15) continue;
    inquiry.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    perPeriod.push_back(inquiry.back() / 160);
  }
  close(fd);
  std::printf("%s, %d rounds\n", wineExe ? "varnel.exe under Wine" : "the Linux panel", rounds);
  PrintFigures("a drive packet to its move frame", fromController, "ms", 34);
  PrintFigures("click 1014 (RIGHT) from the script", fromClick, "ms", 34);
  std::vector<double> ratio;
  for (std::size_t i = 0; i < std::min(fromController.size(), fromClick.size()); ++i)
    ratio.push_back(fromController[i] / fromClick[i]);
  PrintFigures("packet / click, pair by pair", ratio, "x", 34);
  PrintFigures("an inquiry's answer back", inquiry, "ms", 34);
  PrintFigures("answer / poll period (160 ms)", perPeriod, "x", 34);
  return fromController.empty() ? 1 : 0;
}
