#include "app/options.h"

#include <cstdlib>

#include "app/about.h"
#include "serial/port_map.h"

std::string UsageText() {
  return std::string("Usage: varnel [options]\n"
                     "Control panel for the pan/tilt camera gimbal (\"cloud platform\") on a serial port.\n"
                     "\n") +
         PlatformUsage().deviceOptions +
         "  --sim-no-card        with --simulate: no SD card inserted\n"
         "  --sim-split          with --simulate: every reply arrives in two pieces\n"
         "  --sim-reply-delay MS with --simulate: answer MS milliseconds late\n"
         "  --sim-trace          with --simulate: print every frame the gimbal receives\n"
         "  --script FILE        drive the window from FILE ('-' for standard input) and\n"
         "                       print what the operator would see (see the manual)\n"
         "  --list-controls      print every control of the panel as script mode names it:\n"
         "                       ID, kind, caption and group, a line each; then exit\n"
         "  --verbose            with --list-controls: a fifth column, each list's entries\n"
         "                       by index and what each edit accepts\n"
         "  --screenshot FILE    write a PNG of the window once it is shown\n"
         "  --log FILE           append every frame sent and every read to FILE, a line\n"
         "                       each with the time to the millisecond and TX or RX\n"
         "  --decode FILE        print a session log (or a hex capture, one frame a line;\n"
         "                       '-' for standard input) as commands and replies; then exit\n"
         "  --gamepad-deadzone D the stick's dead zone, 0 to 0.9 of full deflection (0.15)\n"
         "  --gamepad-max-step N the move step at the stick's full deflection, 1 to 32767 (200)\n"
         "  --gamepad-invert-y   the stick's Y axis the other way round\n"
         "  --no-gamepad         read no gamepad (script mode's stick and pad still steer)\n"
         "  --help, --version\n"
         "\n" +
         PlatformUsage().note;
}

SimOptions SimOptionsOf(const Options& o) {
  SimOptions sim;
  sim.noCard = o.simNoCard;
  sim.split = o.simSplit;
  sim.replyDelayMs = o.simReplyDelayMs;
  sim.trace = o.simTrace;
  return sim;
}

bool ParseOptions(const std::vector<std::string>& args, Options& o, std::string& error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return false;
      }
      out = args[++i];
      return true;
    };
    std::string v;
    if (a == "--help" || a == "-h") o.help = true;
    else if (a == "--version") o.version = true;
    else if (a == "--list-ports") o.listPorts = true;
    else if (a == "--list-controls") o.listControls = true;
    else if (a == "--verbose") o.verbose = true;
    else if (a == "--simulate") o.simulate = true;
    else if (a == "--sim-no-card") o.simNoCard = true;
    else if (a == "--sim-split") o.simSplit = true;
    else if (a == "--sim-trace") o.simTrace = true;
    else if (a == "--sim-reply-delay") {
      if (!value(v)) return false;
      char* end = nullptr;
      const long ms = std::strtol(v.c_str(), &end, 10);
      if (v.empty() || *end || ms < 0 || ms > 600000) {
        error = "--sim-reply-delay takes milliseconds, 0 to 600000";
        return false;
      }
      o.simReplyDelayMs = static_cast<int>(ms);
    } else if (a == "--gamepad-deadzone" || a == "--gamepad-max-step") {
      if (!value(v)) return false;
      char* end = nullptr;
      const double n = std::strtod(v.c_str(), &end);
      const bool deadzone = a == "--gamepad-deadzone";
      const bool ok = !v.empty() && !*end &&
                      (deadzone ? n >= 0 && n <= 0.9 : n >= 1 && n <= 32767 && n == static_cast<int>(n));
      if (!ok) {
        error = deadzone ? "--gamepad-deadzone takes 0 to 0.9" : "--gamepad-max-step takes a whole number, 1 to 32767";
        return false;
      }
      if (deadzone) o.pad.deadzone = n;
      else o.pad.maxStep = static_cast<int>(n);
    } else if (a == "--gamepad-invert-y") {
      o.pad.invertY = true;
    } else if (a == "--no-gamepad") {
      o.noGamepad = true;
    } else if (a == "--port") {
      if (!value(v)) return false;
      std::string com, path;
      if (!ParsePortOption(v, com, path)) {
        error = "--port takes COMn=PATH, for example --port COM1=/dev/ttyUSB0, or a network port:\n"
                "COMn=rfc2217://HOST:PORT or COMn=tcp://HOST:PORT (IPv6 in brackets: [::1])";
        return false;
      }
      o.ports.emplace_back(com, path);
    } else if (a == "--script" || a == "--screenshot" || a == "--log" || a == "--decode") {
      std::string& file =
          a == "--script" ? o.script : (a == "--screenshot" ? o.screenshot : (a == "--log" ? o.log : o.decode));
      if (!value(file)) return false;
      if (file.empty()) {
        error = a + " needs a file name";
        return false;
      }
    } else {
      error = "unknown option " + a;
      return false;
    }
  }
  return true;
}

std::vector<std::string> WithoutQtOptions(const std::vector<std::string>& args) {
  static const char* kWithValue[] = {"-platform", "-platformpluginpath", "-platformtheme", "-plugin", "-style",
                                     "-stylesheet", "-session", "-display", "-geometry", "-title", "-name",
                                     "-qmljsdebugger", "-qwindowgeometry", "-qwindowtitle", "-qwindowicon"};
  std::vector<std::string> out;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() > 1 && a[0] == '-' && a[1] != '-' && a != "-h") {
      for (const char* v : kWithValue)
        if (a == v) ++i;  // and its value
      continue;
    }
    out.push_back(a);
  }
  return out;
}
