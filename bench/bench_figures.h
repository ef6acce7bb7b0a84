// What the benchmarks that drive the real program share: their command line
// (a count of rounds and --wine VARNEL_EXE) and how a figure is printed
// (median and worst).
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

struct RoundsAndWine {
  int rounds;
  const char* wineExe = nullptr;  // varnel.exe under Wine; nothing: the Linux program
};
inline RoundsAndWine ParseRoundsAndWine(int argc, char** argv, int rounds) {
  RoundsAndWine out{rounds};
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--wine" && i + 1 < argc) out.wineExe = argv[++i];
    else out.rounds = std::max(1, std::atoi(argv[i]));
  }
  return out;
}

// "  NAME  median M UNIT, worst W UNIT (N measured)".
inline void PrintFigures(const char* name, std::vector<double> values, const char* unit = "ms", int width = 28) {
  std::sort(values.begin(), values.end());
  if (values.empty()) {
    std::printf("  %-*s nothing measured\n", width, name);
    return;
  }
  std::printf("  %-*s median %.3f %s, worst %.3f %s (%zu measured)\n", width, name, values[values.size() / 2], unit,
              values.back(), unit, values.size());
}
