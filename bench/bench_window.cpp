// The poll in the real window (offscreen): the log's model and view included,
// with a million lines already in the log; and what those lines cost in memory.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "app/panel/control_ids.h"
#include "app/qt/script.h"
#include "app/qt/varnel_window.h"
#include <chrono>
#include <cstdlib>
#include <iostream>
#include "bench_common.h"
#include "serial/port_map.h"

namespace {
struct Window {
  Window() {
    map.Map("COM1", pty.path);
    window = std::make_unique<VarnelWindow>(port);
    window->setQuietDiagnostics(true);
    window->Init();
    window->dialog().Timer().Stop();
    window->show();
    QApplication::processEvents();
    const long before = ResidentKiB();
    const std::uint8_t line[17] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    for (int i = 0; i < 1000000; ++i) window->controls().AddLogLine(idc::RecvLog, HexLine(line, sizeof line));
    QApplication::processEvents();
    mbPerMillionLines = (ResidentKiB() - before) / 1024.0;
  }
  BenchPty pty;
  PortMap map;
  CComSync port{&map};
  std::unique_ptr<VarnelWindow> window;
  double mbPerMillionLines = 0;
};

// Made on first use, and gone before the application object is.
std::unique_ptr<Window>& SharedWindow() {
  static std::unique_ptr<Window> w;
  return w;
}
Window& Shared() {
  if (!SharedWindow()) SharedWindow() = std::make_unique<Window>();
  return *SharedWindow();
}

void BM_WindowPollMillionLines(benchmark::State& state) {
  Window& w = Shared();
  const auto n = static_cast<std::size_t>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    if (n) Feed(w.pty, static_cast<int>(w.port.NativeHandle()), n);
    state.ResumeTiming();
    w.window->dialog().OnPollSerial();
    QApplication::processEvents();  // the view's own work for the new rows, and its repaint
  }
  state.counters["log_lines"] = w.window->controls().GetCount(idc::RecvLog);
  state.counters["MB_per_million_lines"] = w.mbPerMillionLines;
}
BENCHMARK(BM_WindowPollMillionLines)->Arg(0)->Arg(8)->Arg(1000)->Unit(benchmark::kMicrosecond);
}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (std::getenv("VARNEL_BENCH_LOG")) {
    // Script mode's "log" over the million lines, printed as script mode
    // prints (run with standard output to /dev/null); the time on standard error.
    QtScriptActions actions(*Shared().window);
    ScriptCommands commands(actions, [](const std::string& text) { std::cout << text << '\n' << std::flush; });
    const auto start = std::chrono::steady_clock::now();
    commands.Execute("log");
    std::cerr << "script mode's log of " << Shared().window->controls().GetCount(idc::RecvLog) << " lines: "
              << std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() << " s\n";
  }
  SharedWindow().reset();
  return 0;
}
