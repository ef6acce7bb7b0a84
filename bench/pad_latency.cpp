// The stick, from the operator's side: the real panel in script mode (the
// Linux one, or varnel.exe under Wine with --wine) on a pseudo-terminal,
// "stick 0.5 0" until the move frame's last byte is at the far end, against
// "click 1014" (RIGHT) the same way, alternating in one run; and a pad's axis
// pushed through its profile (`pad leftx down`, the default profile's line,
// against `pad rightx down`, a line of the operator's with a dead zone and
// expo of its own). Median and worst.
//
//   pad_latency [ROUNDS] [--wine VARNEL_EXE]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench_figures.h"
#include "scripted_panel.h"
#include "test_pty.h"

namespace {
void Print(const char* name, const std::vector<double>& ms) { PrintFigures(name, ms, "ms", 28); }
}  // namespace

int main(int argc, char** argv) {
  const auto [rounds, wineExe] = ParseRoundsAndWine(argc, argv, 200);
  TestPty far;
  char profile[] = "/tmp/varnel-bench-XXXXXX.pad";
  const int fd = mkstemps(profile, 4);
  if (fd < 0) return 1;
  close(fd);
  std::ofstream(profile) << "leftx = pan\nlefty = tilt\nrightx = pan deadzone 0.1 expo 0.6\n";
  std::vector<std::string> args = {"--pad-profile", (wineExe ? "Z:" : "") + std::string(profile)};
  if (!wineExe) args.insert(args.end(), {"--port", "COM1=" + far.path()});
  ScriptedPanel panel(args, wineExe, wineExe ? "com1=" + far.path() : std::string());
  const auto say = [&](const std::string& text) { panel.Say(text); };
  std::vector<double> stick, click, byDefault, mapped;
  say("get 1004\n");
  if (panel.Answer(60000).rfind("1004=STATUS：COM1 OPENED", 0) == 0) {
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
      // Each first in turn: the one after waits on what the one before left.
      const std::pair<const char*, std::vector<double>*> lines[2] = {{"leftx", &byDefault}, {"rightx", &mapped}};
      for (const int k : {r % 2, 1 - r % 2}) {
        const auto& [axis, into] = lines[k];
        once(("pad " + std::string(axis) + " down\n").c_str(), *into);
        say("pad " + std::string(axis) + " up\n");
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        far.Drain(20);
      }
    }
  }
  std::printf("%s, %d rounds: a stick change or a click to the move frame's last byte at the far end\n",
              wineExe ? "varnel.exe under Wine" : "the Linux panel", rounds);
  Print("stick 0.5 0", stick);
  Print("click 1014 (RIGHT)", click);
  Print("pad leftx (default line)", byDefault);
  Print("pad rightx (mapped line)", mapped);
  std::remove(profile);
  return stick.empty() || mapped.empty() ? 1 : 0;
}
