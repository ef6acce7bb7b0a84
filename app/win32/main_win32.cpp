// varnel.exe: the application on Windows. Runs the main window modally and
// ends with it.
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/options.h"
#include "app/session_log.h"
#include "app/win32/console.h"
#include "app/win32/screenshot.h"
#include "app/win32/script_win32.h"
#include "app/win32/win32_text.h"
#include "app/win32/win32_window.h"
#include "serial/port_map.h"
#include "sim/sim_device.h"

// Last: <windows.h>, with the macros that clash with our names undone.
#include "app/win32/win32.h"
#include <shellapi.h>

namespace {
constexpr unsigned kScriptStartDelayMs = 400;
constexpr unsigned kScreenshotDelayMs = 500;

std::vector<std::string> Arguments() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(Utf8(argv[i]));
  LocalFree(argv);
  return args;
}

void PrintPorts(const Options& options) {
  const std::vector<PortInfo> ports = ListPorts();
  if (ports.empty()) WriteOut("no serial ports found\n");
  for (const PortInfo& p : ports) {
    std::string line = p.device;
    if (!p.comName.empty() && p.comName != p.device) line += "  = " + p.comName;
    if (!p.description.empty()) line += "  (" + p.description + ")";
    WriteOut(line + "\n");
  }
  for (const auto& [com, name] : options.ports) WriteOut(com + " -> " + name + " (--port)\n");
}
}  // namespace

int main() {
  // Standard output and error: the pipes given to us, or the console we were
  // started from, so that --help and the diagnostics are seen there.
  AttachParentConsole();

  // Options first: --help, --version, --list-ports and a wrong option are
  // answered before any window opens.
  Options options;
  std::string error;
  if (!ParseOptions(Arguments(), options, error)) {
    WriteErr("varnel: " + error + "\n\n" + UsageText());
    return 2;
  }
  if (options.help) return WriteOut(UsageText()), 0;
  if (options.version) return WriteOut("Varnel 1.99\n"), 0;
  for (const auto& [com, name] : options.ports) MapPort(com, name);
  if (options.listPorts) return PrintPorts(options), 0;

  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&icc);

  // The simulated gimbal lives inside the program; COM1 reaches it.
  std::unique_ptr<SimDevice> gimbal;
  if (options.simulate) {
    gimbal = std::make_unique<SimDevice>(SimOptionsOf(options));
    gimbal->SetTraceSink([](const std::string& line) { Diagnose("sim: " + line); });
    AttachInProcessDevice(SimDevice::kName, gimbal.get());
    MapPort("COM1", SimDevice::kName);
    Diagnose("varnel: simulated gimbal inside the program as COM1");
  }

  SessionLog sessionLog([](const std::string& why) { Diagnose("varnel: " + why); });
  if (!options.log.empty() && sessionLog.Open(options.log)) g_SessionLog = &sessionLog;

  {
    Win32Window window;
    std::unique_ptr<Win32ScriptRunner> script;
    if (!options.script.empty()) {
      script = std::make_unique<Win32ScriptRunner>(window, options.script);
      script->Attach();
    }
    window.SetOnShown([&window, &script, &options] {
      if (script) script->Start(kScriptStartDelayMs);
      if (!options.screenshot.empty()) {
        // Written from a timer of the window's thread once it has painted.
        static std::string path;
        static Win32Window* shot;
        path = options.screenshot;
        shot = &window;
        SetTimer(nullptr, 0, kScreenshotDelayMs, [](HWND, UINT, UINT_PTR id, DWORD) {
          KillTimer(nullptr, id);
          std::string why;
          if (!WriteWindowPng(shot->hwnd(), path, &why)) Diagnose("varnel: " + why);
        });
      }
    });
    window.Run();
    script.reset();
  }
  g_SessionLog = nullptr;
  g_ComPort.Close();  // before the simulated gimbal goes
  AttachInProcessDevice(SimDevice::kName, nullptr);
  return 0;
}
