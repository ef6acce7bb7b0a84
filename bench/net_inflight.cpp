// What a network port keeps in flight towards a far end that stopped reading:
// the real panel in script mode (the Linux one, or varnel.exe under Wine with
// --wine) on tcp:// to a server of its own on loopback that reads nothing
// while 3000 presses of RIGHT go. Read off /proc/net/tcp (Wine's sockets are
// Linux's too): the panel's send queue (sent and not acknowledged, or not yet
// sent) and the far end's receive queue, then everything the far end gets
// once it reads again. Median and worst over the rounds, for the far end's
// queue as the system sizes it and as 4096 bytes.
//
//   net_inflight [ROUNDS] [--wine VARNEL_EXE]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench_figures.h"
#include "scripted_panel.h"

namespace {
constexpr int kPresses = 3000;

// tx_queue and rx_queue of the loopback connection from port to peer.
std::pair<long, long> Queues(unsigned port, unsigned peer) {
  std::ifstream in("/proc/net/tcp");
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::istringstream f(line);
    std::string slot, local, remote, state, queues;
    f >> slot >> local >> remote >> state >> queues;
    if (std::stoul(local.substr(local.find(':') + 1), nullptr, 16) != port ||
        std::stoul(remote.substr(remote.find(':') + 1), nullptr, 16) != peer)
      continue;
    const auto colon = queues.find(':');
    return {std::stol(queues.substr(0, colon), nullptr, 16), std::stol(queues.substr(colon + 1), nullptr, 16)};
  }
  return {-1, -1};
}

struct Round {
  double panelQueue, farQueue, delivered;
};

Round Measure(int farBuffer, const char* wineExe) {
  const int server = socket(AF_INET, SOCK_STREAM, 0);
  if (farBuffer) setsockopt(server, SOL_SOCKET, SO_RCVBUF, &farBuffer, sizeof farBuffer);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof at;
  bind(server, reinterpret_cast<sockaddr*>(&at), len);
  listen(server, 1);
  getsockname(server, reinterpret_cast<sockaddr*>(&at), &len);
  ScriptedPanel panel({"--port", "COM1=tcp://127.0.0.1:" + std::to_string(ntohs(at.sin_port))}, wineExe);
  sockaddr_in peer{};
  socklen_t peerLen = sizeof peer;
  const int far = accept(server, reinterpret_cast<sockaddr*>(&peer), &peerLen);
  std::string script = "wait 300\n";
  for (int i = 0; i < kPresses; ++i) script += "click 1014\n";
  panel.Say(script + "get 1004\n");
  while (panel.Answer(120000).rfind("1004=", 0) != 0) {
  }
  const auto [panelQueue, ignored] = Queues(ntohs(peer.sin_port), ntohs(at.sin_port));
  const auto [farSend, farQueue] = Queues(ntohs(at.sin_port), ntohs(peer.sin_port));
  (void)ignored;
  (void)farSend;
  long delivered = 0;
  char block[65536];
  for (pollfd p{far, POLLIN, 0}; poll(&p, 1, 1000) > 0;) {
    const ssize_t n = read(far, block, sizeof block);
    if (n <= 0) break;
    delivered += n;
  }
  close(far);
  close(server);
  return {static_cast<double>(panelQueue), static_cast<double>(farQueue), static_cast<double>(delivered)};
}
}  // namespace

int main(int argc, char** argv) {
  const auto [rounds, wineExe] = ParseRoundsAndWine(argc, argv, 3);
  std::printf("%d presses of RIGHT (%d bytes) towards a far end reading nothing, %s:\n", kPresses, kPresses * 48,
              wineExe ? "varnel.exe under Wine" : "the Linux panel");
  for (const int farBuffer : {0, 4096}) {
    std::vector<double> panelQueue, farQueue, delivered;
    for (int r = 0; r < rounds; ++r) {
      const Round m = Measure(farBuffer, wineExe);
      panelQueue.push_back(m.panelQueue);
      farQueue.push_back(m.farQueue);
      delivered.push_back(m.delivered);
    }
    std::printf(" the far end's receive queue %s:\n", farBuffer ? "4096 bytes asked" : "as the system sizes it");
    PrintFigures("the panel's send queue", panelQueue, "bytes", 36);
    PrintFigures("the far end's receive queue", farQueue, "bytes", 36);
    PrintFigures("delivered once it reads again", delivered, "bytes", 36);
  }
}
