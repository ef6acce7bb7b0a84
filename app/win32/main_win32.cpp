// varnel.exe: the Windows program. The start-up and the end are the runner's;
// this file gives it the console, the system's COM ports, the simulated gimbal
// inside the program and the Win32 window.
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/runner.h"
#include "app/win32/console.h"
#include "app/win32/end_requests_win32.h"
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
std::vector<std::string> Arguments() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(Utf8(argv[i]));
  LocalFree(argv);
  return args;
}

class Win32FrontEnd : public FrontEnd {
 public:
  bool Out(const std::string& text) override { return WriteOut(text); }
  // Without a console (started by a double click) the debugger output is where it can be seen.
  void Err(const std::string& text) override {
    if (!WriteErr(text)) OutputDebugStringW(Wide(text).c_str());
  }

  // COMn is the system's own COM name: nothing to discover.
  bool Discover(std::vector<PortInfo>&) override { return false; }

  void PrintPorts(const PortMap& map, const Options& options) override {
    const std::vector<PortInfo> ports = ListPorts(map);
    if (ports.empty()) WriteOut("no serial ports found\n");
    std::vector<std::pair<std::string, std::string>> entries;
    for (const PortInfo& p : ports) {
      std::string line = p.device;
      if (!p.comName.empty() && p.comName != p.device) line += "  = " + p.comName;
      if (!p.description.empty()) line += "  (" + p.description + ")";
      entries.emplace_back(p.comName.empty() ? p.device : p.comName, line + "\n");
    }
    for (const auto& [com, name] : options.ports) entries.emplace_back(com, DescribeMapped(com, name) + "\n");
    WriteOut(InComOrder(std::move(entries)));
  }

  bool PrepareWindows(const Options&, std::string&) override {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    return true;
  }

  // The simulated gimbal lives inside the program; COM1 reaches it.
  bool StartSimulator(const SimOptions& options, PortMap& map, std::string&) override {
    m_gimbal = std::make_unique<SimDevice>(options);
    m_gimbal->SetTraceSink([](const std::string& line) { Diagnose("sim: " + line); });
    map.AttachInProcess(SimDevice::kName, m_gimbal.get());
    map.Map("COM1", SimDevice::kName);
    Diagnose("varnel: simulated gimbal inside the program as COM1");
    return true;
  }

  void StopSimulator(PortMap& map) override { map.AttachInProcess(SimDevice::kName, nullptr); }

  void RunWindow(const WindowSession& session) override {
    Win32Window window(session.port, session.log);
    Win32Scheduler scheduler;
    Win32ScriptActions actions(window);
    window.SetReadGamepad(!session.options.noGamepad);
    RunWindowParts(session,
                   {actions, scheduler, [&window] { return window.dialog().StartupPolled(); },
                    [&window](auto observer) { window.SetMessageObserver(std::move(observer)); },
                    [&window](auto shown) { window.SetOnShown(std::move(shown)); }, [&window] { window.Run(); },
                    [&window](auto end) { window.SetOnEndRequest(std::move(end)); }},
                   *this);
  }

 private:
  std::unique_ptr<SimDevice> m_gimbal;
};
}  // namespace

int main() {
  // Standard output and error: the pipes given to us, or the console we were
  // started from, so that --help and the diagnostics are seen there.
  AttachParentConsole();
  Win32FrontEnd frontEnd;
  const int status = RunProgram(Arguments(), frontEnd);
  EndRequestsFinished();  // a console event waiting for the line to be let go may end the process now
  return status;
}
