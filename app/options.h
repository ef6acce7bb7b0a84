// The command line of varnel. Without options the program behaves as the
// panel always has: it opens COM1 at 57600 baud, even parity; on Linux COM1
// is the first serial device present.
#pragma once

#include "app/gamepad.h"
#include <string>
#include <utility>
#include <vector>

#include "sim/gimbal.h"

struct Options {
  std::vector<std::pair<std::string, std::string>> ports;  // COMn -> device
  bool listPorts = false;
  bool listControls = false;
  bool verbose = false;  // --list-controls with what each list and edit takes
  bool simulate = false;
  bool simNoCard = false, simSplit = false, simTrace = false;
  int simReplyDelayMs = 0;
  std::string script;      // "-" for standard input
  std::string screenshot;  // PNG of the window once it has been shown
  std::string log;         // session log: every frame sent and every read, time-stamped
  std::string decode;      // a session log or hex capture to print as commands ("-" standard input)
  bool help = false, version = false;
  PadSettings pad;         // the stick's mapping (--gamepad-...)
  bool noGamepad = false;  // no pad is read
  std::vector<std::string> padProfiles;  // --pad-profile FILE, in the order given
  std::string control;       // tcp://HOST:PORT the control server listens on; empty: none
  unsigned controlHoldMs = 500;  // a client's stick not renewed for this long stops
  std::string controlToken;  // the file whose text each control client sends first
  std::string http;          // http://HOST:PORT the page and its API are served on; empty: not
  std::vector<std::string> httpAllowHosts;  // names a request's Host may give besides the addresses
  std::string viscaIp;       // udp://HOST:PORT VISCA over IP is heard on; empty: not
  std::string visca;         // udp:// or tcp://HOST:PORT raw VISCA is heard on; empty: not
  std::string viscaIpPeer;   // the only controller host heard; empty: any
  unsigned viscaIpHoldMs = 1500;  // a controller's drive not renewed for this long stops
};

// false with a message for the operator when the command line is wrong.
bool ParseOptions(const std::vector<std::string>& args, Options& out, std::string& error);
std::string UsageText();
// The simulated gimbal's settings from the --sim-* options.
SimOptions SimOptionsOf(const Options& options);
// The arguments without Qt's own options (-platform offscreen, -style X, ...),
// so that --help, --version and --list-ports work without a display.
std::vector<std::string> WithoutQtOptions(const std::vector<std::string>& args);
