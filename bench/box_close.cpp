// A message box's close to the panel's next answer, against that answer with
// no box: the real panel in script mode (the Linux one, or varnel.exe under
// Wine with --wine) on the simulated gimbal. Each round opens the box a
// wrong manual instruction gives ("Input instruction error"), then times
// `ok` and `get 1004` to the answer; then `get 1004` alone. Median and worst.
//
//   box_close [ROUNDS] [--wine VARNEL_EXE]
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_figures.h"
#include "scripted_panel.h"

namespace {
// Milliseconds from saying text to the line that starts with prefix.
double Until(ScriptedPanel& panel, const std::string& text, const std::string& prefix) {
  const auto start = std::chrono::steady_clock::now();
  panel.Say(text);
  for (std::string line = panel.Answer(10000); !line.empty(); line = panel.Answer(10000))
    if (line.rfind(prefix, 0) == 0)
      return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  return -1;
}
}  // namespace

int main(int argc, char** argv) {
  const auto [rounds, wineExe] = ParseRoundsAndWine(argc, argv, 50);
  ScriptedPanel panel({"--simulate", "--no-gamepad"}, wineExe);
  if (Until(panel, "get 1004\n", "1004=") < 0) return 1;
  std::vector<double> afterBox, alone, ratio;
  for (int r = 0; r < rounds; ++r) {
    if (Until(panel, "type 1158 7G\nclick 1159\n", "message ") < 0) return 1;
    const double box = Until(panel, "ok\nget 1004\n", "1004=");
    const double plain = Until(panel, "get 1004\n", "1004=");
    if (box < 0 || plain < 0) return 1;
    afterBox.push_back(box);
    alone.push_back(plain);
    ratio.push_back(box / plain);
  }
  panel.Say("quit\n");
  std::printf("%s, %d rounds\n", wineExe ? "varnel.exe under Wine" : "the Linux panel", rounds);
  PrintFigures("ok, then get 1004", afterBox, "ms", 30);
  PrintFigures("get 1004 alone", alone, "ms", 30);
  PrintFigures("box / alone, round by round", ratio, "x", 30);
  return 0;
}
