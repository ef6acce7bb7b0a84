// The stick, from the operator's side: the real panel in script mode (the
// Linux one, or varnel.exe under Wine with --wine) on a pseudo-terminal,
// "stick 0.5 0" until the move frame's last byte is at the far end, against
// "click 1014" (RIGHT) the same way, alternating in one run. Median and worst.
//
//   pad_latency [ROUNDS] [--wine VARNEL_EXE]
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "test_pty.h"

namespace {
void Print(const char* name, std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  if (ms.empty()) {
    std::printf("  %-28s nothing measured\n", name);
    return;
  }
  std::printf("  %-28s median %.3f ms, worst %.3f ms (%zu measured)\n", name, ms[ms.size() / 2], ms.back(),
              ms.size());
}
}  // namespace

int main(int argc, char** argv) {
  int rounds = 200;
  const char* wineExe = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--wine" && i + 1 < argc) wineExe = argv[++i];
    else rounds = std::max(1, std::atoi(argv[i]));
  }
  TestPty far;
  int in[2], out[2];
  if (pipe(in) || pipe(out)) return 1;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(open("/dev/null", O_WRONLY), 2);
    close(in[1]);
    close(out[0]);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::string port = "COM1=" + far.path();
    if (wineExe) {
      const std::string links = "com1=" + far.path();
      setenv("VARNEL_WINE_LINKS", links.c_str(), 1);
      execl("/bin/bash", "bash", VARNEL_WINE_RUN, wineExe, "--script", "-", static_cast<char*>(nullptr));
    } else {
      execl(VARNEL_BIN, VARNEL_BIN, "--port", port.c_str(), "--script", "-", static_cast<char*>(nullptr));
    }
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  auto say = [&](const std::string& text) { (void)!write(in[1], text.data(), text.size()); };
  auto answer = [&](int timeoutMs) {
    std::string text;
    char c;
    pollfd p{out[0], POLLIN, 0};
    while (poll(&p, 1, timeoutMs) > 0 && read(out[0], &c, 1) == 1 && c != '\n') text += c;
    return text;
  };
  std::vector<double> stick, click;
  say("get 1004\n");
  if (answer(60000).rfind("1004=STATUS：COM1 OPENED", 0) == 0) {
    far.Drain(500);  // the start-up traffic
    const auto once = [&](const char* line, std::vector<double>& into) {
      const auto start = std::chrono::steady_clock::now();
      say(line);
      const std::vector<std::uint8_t> got = far.Receive(48, 2000);
      if (got.size() == 48)
        into.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    };
    for (int r = 0; r < rounds; ++r) {
      once("stick 0.5 0\n", stick);
      say("stick 0 0\n");
      std::this_thread::sleep_for(std::chrono::milliseconds(60));
      far.Drain(20);  // the moves the timer sent meanwhile, and the stop
      once("click 1014\n", click);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      far.Drain(20);
    }
  }
  say("quit\n");
  close(in[1]);
  for (int i = 0; i < 200 && waitpid(pid, nullptr, WNOHANG) == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  if (waitpid(pid, nullptr, WNOHANG) == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  std::printf("%s, %d rounds: a stick change or a click to the move frame's last byte at the far end\n",
              wineExe ? "varnel.exe under Wine" : "the Linux panel", rounds);
  Print("stick 0.5 0", stick);
  Print("click 1014 (RIGHT)", click);
  return stick.empty() ? 1 : 0;
}
