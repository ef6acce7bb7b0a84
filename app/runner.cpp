#include "app/runner.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

#include "app/panel/control_table.h"
#include "app/script_runner.h"
#include "app/session_log.h"
#include "protocol/decode.h"

const char* VersionText() { return "Varnel " VARNEL_VERSION; }

namespace {
constexpr int kScreenshotDelayMs = 500;

// What was on the wire, in words; no window.
int Decode(const std::string& path, FrontEnd& fe) {
  std::ifstream file;
  if (path != "-") {
    file.open(path, std::ios::binary);
    if (!file) {
      fe.Err("varnel: cannot read " + path + ": " + std::strerror(errno) + "\n");
      return 2;
    }
  }
  std::ostringstream text;
  std::string why;
  const bool any = DecodeCapture(path == "-" ? std::cin : file, text, why);
  fe.Out(text.str());
  if (!any) fe.Err("varnel: " + path + ": " + why + "\n");
  return any ? 0 : 2;
}

// Tab-separated, so that a script writer's tools can read it too.
void PrintControls(FrontEnd& fe) {
  std::string text;
  for (const ControlListing& c : ListControls())
    text += std::to_string(c.id) + "\t" + c.kind + "\t" + c.caption + "\t" + c.group + "\n";
  fe.Out(text);
}
}  // namespace

void OnWindowShown(const WindowSession& session, ScriptRunner* script, IScheduler& scheduler,
                   std::function<bool(const std::string& path, std::string& why)> writePicture, FrontEnd& fe) {
  if (script && session.script) script->Start(std::move(session.script));
  if (session.options.screenshot.empty()) return;
  scheduler.After(kScreenshotDelayMs, [&fe, path = session.options.screenshot, write = std::move(writePicture)] {
    std::string why;
    if (!write(path, why)) fe.Err("varnel: " + why + "\n");
  });
}

int RunProgram(const std::vector<std::string>& args, FrontEnd& fe) {
  // Options first: --help, --version, --list-ports and a wrong option are
  // answered before any window or display is needed.
  Options options;
  std::string error;
  if (!ParseOptions(args, options, error)) {
    fe.Err("varnel: " + error + "\n\n" + UsageText());
    return 2;
  }
  if (options.help) return fe.Out(UsageText()), 0;
  if (options.version) return fe.Out(std::string(VersionText()) + "\n"), 0;
  if (!options.decode.empty()) return Decode(options.decode, fe);
  if (options.listControls) return PrintControls(fe), 0;

  // COM names: --port maps stay as given, the devices present take the
  // others in a stable order.
  PortMap map;
  for (const auto& [com, path] : options.ports) map.Map(com, path);
  std::vector<PortInfo> found;
  const bool discovered = fe.Discover(found);
  if (discovered) map.UseDiscovered(found);
  if (options.listPorts) return fe.PrintPorts(map, options), 0;

  // A script that cannot be read is said before any window opens.
  std::unique_ptr<LineReader> script;
  if (!options.script.empty()) {
    script = LineReader::Open(options.script, error);
    if (!script) {
      fe.Err("varnel: cannot read the script " + options.script + ": " + error + "\n");
      return 2;
    }
  }

  fe.PrepareWindows(options);
  if (options.simulate) {
    if (!fe.StartSimulator(SimOptionsOf(options), map, error)) {
      fe.Err("varnel: " + error + "\n");
      return 1;
    }
    if (discovered) map.UseDiscovered(found);  // the devices present move up past COM1
  }

  // The session log, when asked for: a file that cannot be written is said
  // once, and the panel goes on without it.
  SessionLog sessionLog([&fe](const std::string& why) { fe.Err("varnel: " + why + "\n"); });
  const bool logging = !options.log.empty() && sessionLog.Open(options.log);

  {
    CComSync port(&map);
    fe.RunWindow({port, logging ? &sessionLog : nullptr, options, script});
    port.Close();  // before the simulated gimbal goes
  }
  if (options.simulate) fe.StopSimulator(map);
  return 0;
}
