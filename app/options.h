// The command line of varnel. Without options the program behaves as the
// panel always has: COM1 is /dev/ttyS0 at 57600 baud, even parity.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct Options {
  std::vector<std::pair<std::string, std::string>> ports;  // COMn -> device
  bool listPorts = false;
  bool simulate = false;
  bool simNoCard = false, simSplit = false, simTrace = false;
  int simReplyDelayMs = 0;
  std::string script;      // "-" for standard input
  std::string screenshot;  // PNG of the window once it has been shown
  bool help = false, version = false;
};

// false with a message for the operator when the command line is wrong.
bool ParseOptions(const std::vector<std::string>& args, Options& out, std::string& error);
const char* UsageText();
// The arguments without Qt's own options (-platform offscreen, -style X, ...),
// so that --help, --version and --list-ports work without a display.
std::vector<std::string> WithoutQtOptions(const std::vector<std::string>& args);
