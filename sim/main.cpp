// varnel-sim: the simulated gimbal on a pseudo-terminal (or a TCP port, with
// --listen). The first line of standard output is the device (or URL) to
// open; with --trace every frame follows.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <string>

#include <optional>

#include "serial/net_address.h"
#include "sim/pty_gimbal.h"

namespace {
volatile sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

void Usage(std::FILE* to) {
  std::fputs(
      "Usage: varnel-sim [options]\n"
      "Opens a pseudo-terminal that behaves as the gimbal controller with its camera\n"
      "block and SD-card recorder, and prints its device path on the first line.\n"
      "Connect the panel with: varnel --port COM1=<that path>\n"
      "\n"
      "  --no-card          no SD card inserted\n"
      "  --reply-delay MS   answer each query MS milliseconds late\n"
      "  --split            send each reply in two pieces, 250 ms apart (so that\n"
      "                     each piece reaches the panel at a different poll)\n"
      "  --split-gap MS     the time between the two pieces (default 250)\n"
      "  --trace            print every frame received, as hex and decoded\n"
      "  --listen tcp://HOST:PORT\n"
      "                     serve the gimbal on a TCP port instead, as a raw serial\n"
      "                     device server does (one client at a time; port 0 takes\n"
      "                     a free one); connect with: varnel --port COM1=<that URL>\n"
      "  -h, --help         this text\n"
      "Runs until interrupted (Ctrl+C) or terminated.\n",
      to);
}

bool Number(const char* text, int& out) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (!text[0] || *end || v < 0 || v > 600000) return false;
  out = static_cast<int>(v);
  return true;
}
}  // namespace

int main(int argc, char** argv) {
  SimOptions options;
  std::optional<NetAddress> listen;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--no-card") options.noCard = true;
    else if (a == "--split") options.split = true;
    else if (a == "--trace") options.trace = true;
    else if (a == "--listen" && i + 1 < argc) {
      listen = ParseNetworkUrl(argv[++i], true);
      if (!listen || listen->kind != NetAddress::Kind::kRaw) {
        std::fprintf(stderr, "varnel-sim: --listen takes tcp://HOST:PORT, for example tcp://127.0.0.1:4001\n");
        return 2;
      }
    }
    else if ((a == "--reply-delay" || a == "--split-gap") && i + 1 < argc) {
      int value = 0;
      if (!Number(argv[++i], value)) {
        std::fprintf(stderr, "varnel-sim: %s takes milliseconds, 0 to 600000\n", a.c_str());
        return 2;
      }
      (a == "--reply-delay" ? options.replyDelayMs : options.splitGapMs) = value;
    } else if (a == "-h" || a == "--help") {
      Usage(stdout);
      return 0;
    } else {
      std::fprintf(stderr, "varnel-sim: unknown option %s\n", a.c_str());
      Usage(stderr);
      return 2;
    }
  }
  signal(SIGINT, OnSignal);
  signal(SIGTERM, OnSignal);
  signal(SIGPIPE, SIG_IGN);

  PtyGimbal gimbal(options);
  std::mutex out;
  gimbal.SetTraceSink([&out](const std::string& line) {
    std::lock_guard lock(out);
    std::cout << line << std::endl;
  });
  std::string error;
  if (!(listen ? gimbal.Listen(listen->host, listen->port, &error) : gimbal.Start(&error))) {
    std::fprintf(stderr, "varnel-sim: %s\n", error.c_str());
    return 1;
  }
  {
    std::lock_guard lock(out);
    std::cout << gimbal.Path() << std::endl;
  }
  while (!g_stop) pause();
  gimbal.Stop();
  return 0;
}
