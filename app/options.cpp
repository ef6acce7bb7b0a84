#include "app/options.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <optional>

#include "app/about.h"
#include "app/listen_address.h"
#include "serial/port_map.h"

namespace {
// A number in [min, max] (whole: no fraction), or nothing.
std::optional<double> Number(const std::string& v, double min, double max, bool whole) {
  char* end = nullptr;
  const double n = std::strtod(v.c_str(), &end);
  if (v.empty() || *end || !(n >= min && n <= max) || (whole && n != static_cast<long>(n))) return std::nullopt;
  return n;
}

// One row per option: its name (and another spelling), the value it takes,
// what --help says of it (nothing: the platform's own words say it), and what
// it does to the options; a value it refuses is said by the error returned.
struct OptionRow {
  const char* name;
  const char* alias;
  const char* value;  // "" for a flag
  std::vector<const char*> help;
  std::function<std::string(Options&, const std::string&)> apply;  // empty string: taken
};

std::string FileName(const std::string& option, const std::string& v, std::string& into) {
  if (v.empty()) return option + " needs a file name";
  into = v;
  return "";
}

const std::vector<OptionRow>& OptionRows() {
  static const std::vector<OptionRow> rows = {
      {"--port", "", "VALUE", {},
       [](Options& o, const std::string& v) -> std::string {
         std::string com, path;
         if (const std::string problem = PortOptionProblem(v); !problem.empty())
           return "--port " + v + ": " + problem + "\n--port takes COMn=PATH, for example " +
                  PlatformUsage().portExample + " or --port COM1=tcp://HOST:4001";
         ParsePortOption(v, com, path);
         o.ports.emplace_back(com, path);
         return "";
       }},
      {"--list-ports", "", "", {}, [](Options& o, const std::string&) { return o.listPorts = true, std::string(); }},
      {"--simulate", "", "", {}, [](Options& o, const std::string&) { return o.simulate = true, std::string(); }},
      {"--sim-no-card", "", "", {"with --simulate: no SD card inserted"},
       [](Options& o, const std::string&) { return o.simNoCard = true, std::string(); }},
      {"--sim-split", "", "", {"with --simulate: every reply arrives in two pieces"},
       [](Options& o, const std::string&) { return o.simSplit = true, std::string(); }},
      {"--sim-reply-delay", "", "MS", {"with --simulate: answer MS milliseconds late"},
       [](Options& o, const std::string& v) -> std::string {
         const std::optional<double> ms = Number(v, 0, 600000, true);
         if (!ms) return "--sim-reply-delay takes milliseconds, 0 to 600000";
         o.simReplyDelayMs = static_cast<int>(*ms);
         return "";
       }},
      {"--sim-trace", "", "", {"with --simulate: print every frame the gimbal receives"},
       [](Options& o, const std::string&) { return o.simTrace = true, std::string(); }},
      {"--script", "", "FILE",
       {"drive the window from FILE ('-' for standard input) and", "print what the operator would see (see the manual)"},
       [](Options& o, const std::string& v) { return FileName("--script", v, o.script); }},
      {"--list-controls", "", "",
       {"print every control of the panel as script mode names it:", "ID, kind, caption and group, a line each; then exit"},
       [](Options& o, const std::string&) { return o.listControls = true, std::string(); }},
      {"--verbose", "", "",
       {"with --list-controls: a fifth column, each list's entries", "by index and what each edit accepts"},
       [](Options& o, const std::string&) { return o.verbose = true, std::string(); }},
      {"--screenshot", "", "FILE", {"write a PNG of the window once it is shown"},
       [](Options& o, const std::string& v) { return FileName("--screenshot", v, o.screenshot); }},
      {"--log", "", "FILE",
       {"append every frame sent and every read to FILE, a line", "each with the time to the millisecond and TX or RX"},
       [](Options& o, const std::string& v) { return FileName("--log", v, o.log); }},
      {"--decode", "", "FILE",
       {"print what a capture holds as commands and replies, then exit:", "a session log (--log), hexdump, od or xxd output, a packet",
        "analyser's hex export, time-stamped or plain hex, or the raw", "bytes; '-' for standard input. Anything else: exit 2 at once"},
       [](Options& o, const std::string& v) { return FileName("--decode", v, o.decode); }},
      {"--gamepad-deadzone", "", "D", {"the stick's dead zone, 0 to 0.9 of full deflection (0.15)"},
       [](Options& o, const std::string& v) -> std::string {
         const std::optional<double> n = Number(v, 0, 0.9, false);
         if (!n) return "--gamepad-deadzone takes 0 to 0.9";
         o.pad.deadzone = *n;
         return "";
       }},
      {"--gamepad-max-step", "", "N", {"the move step at the stick's full deflection, 1 to 32767 (200)"},
       [](Options& o, const std::string& v) -> std::string {
         const std::optional<double> n = Number(v, 1, 32767, true);
         if (!n) return "--gamepad-max-step takes a whole number, 1 to 32767";
         o.pad.maxStep = static_cast<int>(*n);
         return "";
       }},
      {"--gamepad-zoom-scale", "", "F",
       {"the stick's steps at full tele as a share of those at the wide end,", "0.05 to 1, by zoom level between (1: off)"},
       [](Options& o, const std::string& v) -> std::string {
         const std::optional<double> n = Number(v, 0.05, 1, false);
         if (!n) return "--gamepad-zoom-scale takes 0.05 to 1";
         o.pad.zoomScale = *n;
         return "";
       }},
      {"--gamepad-ramp-ms", "", "MS", {"a stick's move from rest grows to full steps over MS ms, 0 to 2000 (0)"},
       [](Options& o, const std::string& v) -> std::string {
         const std::optional<double> n = Number(v, 0, 2000, true);
         if (!n) return "--gamepad-ramp-ms takes milliseconds, 0 to 2000";
         o.pad.rampMs = static_cast<unsigned>(*n);
         return "";
       }},
      {"--gamepad-invert-y", "", "", {"the stick's Y axis the other way round"},
       [](Options& o, const std::string&) { return o.pad.invertY = true, std::string(); }},
      {"--pad-profile", "", "FILE",
       {"what each pad's input does, from FILE (see the manual); may be", "given again: a profile naming a pad is that pad's"},
       [](Options& o, const std::string& v) {
         std::string file;
         const std::string why = FileName("--pad-profile", v, file);
         if (why.empty()) o.padProfiles.push_back(file);
         return why;
       }},
      {"--no-gamepad", "", "", {"read no gamepad (script mode's stick and pad still steer)"},
       [](Options& o, const std::string&) { return o.noGamepad = true, std::string(); }},
      {"--control", "", "URL",
       {"listen on URL (tcp://127.0.0.1:PORT; port 0: a free one) for", "programs that drive the panel in script mode's words"},
       [](Options& o, const std::string& v) -> std::string {
         ListenAddress at;
         if (std::string problem = ParseControlUrl(v, at); !problem.empty()) return "--control " + problem;
         o.control = v;
         return "";
       }},
      {"--control-hold-ms", "", "MS", {"a control client's stick stops after MS ms unrenewed (500)"},
       [](Options& o, const std::string& v) -> std::string {
         const std::optional<double> ms = Number(v, 50, 60000, true);
         if (!ms) return "--control-hold-ms takes milliseconds, 50 to 60000";
         o.controlHoldMs = static_cast<unsigned>(*ms);
         return "";
       }},
      {"--control-token", "", "FILE",
       {"each control client sends `auth` and FILE's text first;", "needed for a --control address other than loopback"},
       [](Options& o, const std::string& v) { return FileName("--control-token", v, o.controlToken); }},
      {"--http", "", "URL",
       {"serve the panel as a page, and its API, on URL", "(http://127.0.0.1:8080; another address needs --control-token)"},
       [](Options& o, const std::string& v) -> std::string {
         ListenAddress at;
         if (std::string problem = ParseListenUrl(v, "http", "web", 8080, at); !problem.empty()) return "--http " + problem;
         o.http = v;
         return "";
       }},
      {"--http-allow-host", "", "NAME",
       {"a name the page may be reached by (a Host the web server", "serves besides its addresses); may be given again"},
       [](Options& o, const std::string& v) -> std::string {
         if (v.empty() || v.find_first_of(" :/\\") != std::string::npos) return "--http-allow-host takes a host name";
         std::string lower = v;
         for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
         o.httpAllowHosts.push_back(lower);
         return "";
       }},
      {"--visca-ip", "", "URL",
       {"be a VISCA-over-IP camera on URL (udp://127.0.0.1:52381)", "for PTZ controllers: pan, tilt and the camera block"},
       [](Options& o, const std::string& v) -> std::string {
         ListenAddress at;
         if (std::string problem = ParseViscaIpUrl(v, at); !problem.empty())
           return "--visca-ip " + problem;
         o.viscaIp = v;
         return "";
       }},
      {"--visca", "", "URL",
       {"hear raw VISCA, without the header, on URL", "(udp://127.0.0.1:1259 or tcp://127.0.0.1:5678)"},
       [](Options& o, const std::string& v) -> std::string {
         ListenAddress at;
         std::string scheme;
         if (std::string problem = ParseRawViscaUrl(v, at, scheme); !problem.empty()) return "--visca " + problem;
         o.visca = v;
         return "";
       }},
      {"--visca-ip-peer", "", "HOST",
       {"hear only the controller at HOST (a numeric address);",
        "needed for a --visca-ip or --visca address other than loopback"},
       [](Options& o, const std::string& v) -> std::string {
         if (v.empty() || v.find_first_not_of("0123456789abcdefABCDEF.:") != std::string::npos)
           return "--visca-ip-peer takes the controller's numeric address (192.0.2.20, ::1)";
         o.viscaIpPeer = v;
         return "";
       }},
      {"--visca-ip-hold-ms", "", "MS", {"a controller's drive stops after MS ms unheard (1500)"},
       [](Options& o, const std::string& v) -> std::string {
         const std::optional<double> ms = Number(v, 100, 60000, true);
         if (!ms) return "--visca-ip-hold-ms takes milliseconds, 100 to 60000";
         o.viscaIpHoldMs = static_cast<unsigned>(*ms);
         return "";
       }},
      {"--help", "-h", "", {}, [](Options& o, const std::string&) { return o.help = true, std::string(); }},
      {"--version", "", "", {}, [](Options& o, const std::string&) { return o.version = true, std::string(); }},
  };
  return rows;
}
}  // namespace

std::string UsageText() {
  std::string text = std::string("Usage: varnel [options]\n"
                                 "Control panel for the pan/tilt camera gimbal (\"cloud platform\") on a serial port.\n"
                                 "\n") +
                     PlatformUsage().deviceOptions;
  for (const OptionRow& row : OptionRows()) {
    if (row.help.empty()) continue;  // the platform's words above, or the last line below
    std::string head = std::string(row.name) + (*row.value ? std::string(" ") + row.value : "");
    // A name wider than the column has a line of its own: the help stays in its column.
    const bool own = head.size() > 20;
    if (own) text += "  " + head + "\n";
    head.resize(20, ' ');
    for (std::size_t i = 0; i < row.help.size(); ++i)
      text += (i || own ? std::string(23, ' ') : "  " + head + " ") + row.help[i] + "\n";
  }
  return text + "  --help, --version\n\n" + PlatformUsage().note;
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
    const auto row = std::find_if(OptionRows().begin(), OptionRows().end(),
                                  [&](const OptionRow& r) { return a == r.name || (*r.alias && a == r.alias); });
    if (row == OptionRows().end()) {
      error = "unknown option " + a;
      return false;
    }
    std::string value;
    if (*row->value) {
      if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return false;
      }
      value = args[++i];
    }
    error = row->apply(o, value);
    if (!error.empty()) return false;
  }
  if (o.verbose && !o.listControls) {
    error = "--verbose goes with --list-controls";
    return false;
  }
  ListenAddress at;
  if (!o.control.empty() && ParseControlUrl(o.control, at).empty() && !IsLoopback(at.host) && o.controlToken.empty()) {
    // Anybody on that network could steer the gimbal.
    error = "--control " + o.control + " is reachable from other machines: it needs --control-token FILE";
    return false;
  }
  if (o.control.empty() && o.http.empty() && (!o.controlToken.empty() || o.controlHoldMs != Options{}.controlHoldMs)) {
    error = "--control-token and --control-hold-ms go with --control or --http";
    return false;
  }
  if (o.http.empty() && !o.httpAllowHosts.empty()) {
    error = "--http-allow-host goes with --http";
    return false;
  }
  if (!o.viscaIp.empty() && ParseViscaIpUrl(o.viscaIp, at).empty() &&
      !IsLoopback(at.host) && o.viscaIpPeer.empty()) {
    // VISCA over IP has no password: anybody on that network could steer the gimbal.
    error = "--visca-ip " + o.viscaIp + " is reachable from other machines: it needs --visca-ip-peer HOST";
    return false;
  }
  std::string scheme;
  if (!o.visca.empty() && ParseRawViscaUrl(o.visca, at, scheme).empty() && !IsLoopback(at.host) &&
      o.viscaIpPeer.empty()) {
    error = "--visca " + o.visca + " is reachable from other machines: it needs --visca-ip-peer HOST";
    return false;
  }
  if (o.viscaIp.empty() && o.visca.empty() &&
      (!o.viscaIpPeer.empty() || o.viscaIpHoldMs != Options{}.viscaIpHoldMs)) {
    error = "--visca-ip-peer and --visca-ip-hold-ms go with --visca-ip or --visca";
    return false;
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
