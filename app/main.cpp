// varnel: the Linux program. The start-up and the end are the runner's; this
// file gives it the terminal, the serial devices found in sysfs, the
// simulated gimbal on a pseudo-terminal and the Qt window.
#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "app/posix/end_signals.h"
#include "app/qt/script.h"
#include "app/sources/qt/sdl_pad.h"
#include "app/qt/varnel_window.h"
#include "app/runner.h"
#include "serial/posix/port_list_posix.h"
#include "sim/pty_gimbal.h"

namespace {
class QtFrontEnd : public FrontEnd {
 public:
  QtFrontEnd(int& argc, char** argv) : m_argc(argc), m_argv(argv) {}

  bool Out(const std::string& text) override { return static_cast<bool>(std::cout << text << std::flush); }
  void Err(const std::string& text) override { std::cerr << text << std::flush; }

  bool Discover(std::vector<PortInfo>& found) override {
    found = EnumeratePorts();
    return true;
  }

  // In COM order: each device, the COM name that reaches it, what it is, and
  // its stable names.
  void PrintPorts(const PortMap& map, const Options& options) override {
    const std::vector<PortInfo> ports = ListPorts(map);
    if (ports.empty()) std::cout << "no serial devices found\n";
    std::vector<std::pair<std::string, std::string>> entries;
    for (const PortInfo& p : ports) {
      std::string lines = (p.comName.empty() ? "(none)" : p.comName) + "  " + p.device;
      if (!p.description.empty()) lines += "  (" + p.description + ")";
      lines += '\n';
      for (const std::string& stable : p.stableNames) lines += "    " + stable + '\n';
      entries.emplace_back(p.comName, lines);
    }
    for (const auto& [com, path] : options.ports) entries.emplace_back(com, DescribeMapped(com, path) + '\n');
    std::cout << InComOrder(std::move(entries));
  }

  bool PrepareWindows(const Options& options, std::string& why) override {
    // A script or a picture needs no screen: on a machine without a display
    // (a server, CI) the window is drawn off screen instead of giving up.
    const bool unattended = !options.script.empty() || !options.screenshot.empty();
    const bool platformChosen = !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
                                std::any_of(m_argv, m_argv + m_argc, [](const char* a) {
                                  return a && std::string(a) == "-platform";
                                });
    const bool display = !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (unattended && !platformChosen && !display) qputenv("QT_QPA_PLATFORM", "offscreen");
    // A script's standard error is the script's: Qt's own remarks on what an
    // off-screen window cannot do (raise(), size hints, a runtime folder) are
    // none of the user's doing. Asked for with QT_LOGGING_RULES, they stay.
    if (unattended && qEnvironmentVariableIsEmpty("QT_LOGGING_RULES") && qEnvironmentVariableIsEmpty("QT_DEBUG_PLUGINS"))
      qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg) std::cerr << text.toStdString() << std::endl;
      });
    if (!unattended && !platformChosen && !display) {
      // Qt would abort here: say what is missing and what works without one.
      why = "no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is set): start it on a "
            "desktop, or use --script FILE or --screenshot FILE, which draw the window off screen";
      return false;
    }
    m_app = std::make_unique<QApplication>(m_argc, m_argv);
    // The installed menu entry, so that a desktop puts the window under it.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.varnel.Varnel"));
    return true;
  }

  bool StartSimulator(const SimOptions& options, PortMap& map, std::string& why) override {
    m_gimbal = std::make_unique<PtyGimbal>(options);
    m_gimbal->SetTraceSink([](const std::string& line) { std::cerr << "sim: " << line << std::endl; });
    if (!m_gimbal->Start(&why)) return false;
    map.Map("COM1", m_gimbal->Path());
    std::cerr << "varnel: simulated gimbal on " << m_gimbal->Path() << " as COM1\n";
    return true;
  }

  void StopSimulator(PortMap&) override { m_gimbal->Stop(); }

  void RunWindow(const WindowSession& session) override {
    VarnelWindow window(session.port, session.log);
    QtScheduler scheduler(&window);
    QtScriptActions actions(window);
    QSocketNotifier endSignals(EndSignalFd(), QSocketNotifier::Read);
    RunWindowParts(session,
                   {actions, scheduler, [&window] { return window.dialog().StartupPolled(); },
                    [&window](auto observer) { window.setMessageObserver(std::move(observer)); },
                    [&window](auto shown) { QTimer::singleShot(0, &window, std::move(shown)); },
                    [&window, &session] {
                      window.Init();
                      // A pad steers once the window is there; none plugged in, nothing happens.
                      std::unique_ptr<SdlPad> pad;
                      if (!session.options.noGamepad) pad = std::make_unique<SdlPad>(window.dialog().ForPads());
                      window.exec();
                    },
                    [&endSignals](auto end) {
                      QObject::connect(&endSignals, &QSocketNotifier::activated, [end = std::move(end)] {
                        if (TakeEndSignal()) end();
                      });
                    }},
                   *this);
  }

 private:
  int& m_argc;
  char** m_argv;
  std::unique_ptr<QApplication> m_app;
  std::unique_ptr<PtyGimbal> m_gimbal;
};
}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  QtFrontEnd frontEnd(argc, argv);
  // Qt's own options (-platform offscreen, ...) are Qt's: the runner never sees them.
  return RunProgram(WithoutQtOptions(args), frontEnd);
}
