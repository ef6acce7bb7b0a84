// varnel: the application. Runs the main window modally and ends with it.
#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "app/options.h"
#include "app/session_log.h"
#include "app/qt/script.h"
#include "app/qt/varnel_window.h"
#include "serial/port_map.h"
#include "serial/posix/port_list_posix.h"
#include "sim/pty_gimbal.h"

namespace {
constexpr int kScriptStartDelayMs = 400;

// In COM order: each device, the COM name that reaches it, what it is, and
// its stable names.
void PrintPorts() {
  std::vector<PortInfo> ports = ListPorts();
  if (ports.empty()) std::cout << "no serial devices found\n";
  std::stable_sort(ports.begin(), ports.end(), [](const PortInfo& a, const PortInfo& b) {
    const auto number = [](const std::string& com) { return com.empty() ? 1000 : std::atoi(com.c_str() + 3); };
    return number(a.comName) < number(b.comName);
  });
  for (const PortInfo& p : ports) {
    std::cout << (p.comName.empty() ? "(none)" : p.comName) << "  " << p.device;
    if (!p.description.empty()) std::cout << "  (" << p.description << ")";
    std::cout << '\n';
    for (const std::string& stable : p.stableNames) std::cout << "    " << stable << '\n';
  }
}
}  // namespace

int main(int argc, char** argv) {
  // Our own options first, so that --help, --version, --list-ports and a
  // wrong option are answered without a display.
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  Options options;
  std::string error;
  if (!ParseOptions(WithoutQtOptions(args), options, error)) {
    std::cerr << "varnel: " << error << "\n\n" << UsageText();
    return 2;
  }
  if (options.help) {
    std::cout << UsageText();
    return 0;
  }
  if (options.version) {
    std::cout << "Varnel 1.99\n";
    return 0;
  }
  for (const auto& [com, path] : options.ports) MapPort(com, path);
  // The serial devices present take the COM names in a stable order; --port
  // maps stay as given.
  UseDiscoveredPorts(EnumeratePorts());
  if (options.listPorts) {
    PrintPorts();
    for (const auto& [com, path] : options.ports) std::cout << com << " -> " << path << " (--port)\n";
    return 0;
  }
  QApplication app(argc, argv);
  // The installed menu entry, so that a desktop puts the window under it.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.varnel.Varnel"));

  std::unique_ptr<PtyGimbal> gimbal;
  if (options.simulate) {
    gimbal = std::make_unique<PtyGimbal>(SimOptionsOf(options));
    gimbal->SetTraceSink([](const std::string& line) { std::cerr << "sim: " << line << std::endl; });
    if (!gimbal->Start(&error)) {
      std::cerr << "varnel: " << error << '\n';
      return 1;
    }
    MapPort("COM1", gimbal->Path());
    UseDiscoveredPorts(EnumeratePorts());  // the devices present move up past COM1
    std::cerr << "varnel: simulated gimbal on " << gimbal->Path() << " as COM1\n";
  }

  // The session log, when asked for: a file that cannot be written is said
  // once, and the panel goes on without it.
  SessionLog sessionLog([](const std::string& why) { std::cerr << "varnel: " << why << std::endl; });
  if (!options.log.empty() && sessionLog.Open(options.log)) g_SessionLog = &sessionLog;

  int result = 0;
  {
    VarnelWindow window;
    std::unique_ptr<ScriptRunner> script;
    if (!options.script.empty()) {
      script = std::make_unique<ScriptRunner>(window, options.script, std::cout);
      script->Attach();
    }
    window.Init();
    if (!options.screenshot.empty()) {
      QTimer::singleShot(500, &window, [&window, path = options.screenshot] {
        if (!window.grab().save(QString::fromStdString(path))) std::cerr << "varnel: cannot write " << path << '\n';
      });
    }
    // The script starts once the window is up and its start-up traffic (the
    // sliders' first frames and the camera's answers) has been polled, as an
    // operator starts working only once the window is there.
    if (script) QTimer::singleShot(kScriptStartDelayMs, script.get(), [s = script.get()] { s->Start(); });
    result = window.exec();
    script.reset();
  }
  g_SessionLog = nullptr;
  g_ComPort.Close();  // before the simulated gimbal goes
  if (gimbal) gimbal->Stop();
  (void)result;  // the application ends the same way whichever button ended the window
  return 0;
}
