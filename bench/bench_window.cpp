// The poll in the real window (offscreen): the log's model and view included,
// with a million lines already in the log; and what those lines cost in memory.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "app/panel/control_ids.h"
#include "app/qt/varnel_window.h"
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

Window& Shared() {
  static Window w;
  return w;
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
  return 0;
}
