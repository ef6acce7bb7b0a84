// Grows the received-data log from nothing to ten million lines the way the
// device would, one poll of 1000 bytes (72 lines) at a time, and times every
// poll: the figure that matters is the worst one, not the mean. Run in the
// in-memory controls and in the real window (offscreen).
//
//   bench_log_growth [--lines N] [--mode controls|window|both]
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "app/dialog.h"
#include "app/panel/control_ids.h"
#include "app/panel/mem_controls.h"
#include "app/qt/varnel_window.h"
#include "bench_common.h"
#include "null_host.h"
#include "serial/port_map.h"

namespace {
long PeakResidentKiB() {
  long kib = 0;
  if (FILE* f = std::fopen("/proc/self/status", "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, f))
      if (std::sscanf(line, "VmHWM: %ld", &kib) == 1) break;
    std::fclose(f);
  }
  return kib;
}

struct Target {
  virtual ~Target() = default;
  virtual CVarnelDlg& Dialog() = 0;
  virtual IControls& Controls() = 0;
  virtual void Settle() {}  // the event loop's share of a poll
};

struct InMemory : Target {
  explicit InMemory(CComSync& port) : dlg(controls, host, port) {}
  CVarnelDlg& Dialog() override { return dlg; }
  IControls& Controls() override { return controls; }
  MemControls controls;
  NullHost host;
  CVarnelDlg dlg;
};

struct Window : Target {
  explicit Window(CComSync& port) : window(std::make_unique<VarnelWindow>(port)) {
    window->setQuietDiagnostics(true);
  }
  CVarnelDlg& Dialog() override { return window->dialog(); }
  IControls& Controls() override { return window->controls(); }
  void Settle() override { QApplication::processEvents(); }
  std::unique_ptr<VarnelWindow> window;
};

double ThreadCpuUs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e6 + static_cast<double>(ts.tv_nsec) / 1e3;
}

double Percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

void Run(const char* name, long targetLines) {
  BenchPty pty;
  PortMap map;
  map.Map("COM1", pty.path);
  CComSync port(&map);
  const long base = ResidentKiB();
  std::unique_ptr<Target> t;
  if (std::strcmp(name, "window") == 0) {
    auto w = std::make_unique<Window>(port);
    w->window->Init();
    w->window->show();
    t = std::move(w);
  } else {
    auto m = std::make_unique<InMemory>(port);
    m->dlg.OnInitDialog();
    t = std::move(m);
  }
  t->Dialog().Timer().Stop();
  t->Settle();
  const long start = ResidentKiB();
  const int fd = static_cast<int>(port.NativeHandle());
  std::vector<double> us;
  us.reserve(static_cast<std::size_t>(targetLines / 72 + 2));
  std::printf("%s: polls of 1000 bytes until %ld lines (resident before the log: %.1f MB)\n", name, targetLines,
              (start - base) / 1024.0);
  std::printf("  %10s %12s %14s %14s %12s\n", "lines", "resident MB", "MB/M lines", "worst so far", "peak MB");
  long nextReport = 1000000;
  double worst = 0, worstCpu = 0;
  std::vector<double> cpu;
  cpu.reserve(us.capacity());
  for (;;) {
    const long lines = t->Controls().GetCount(idc::RecvLog);
    if (lines >= nextReport || lines >= targetLines) {
      const double grown = (ResidentKiB() - start) / 1024.0;
      std::printf("  %10ld %12.1f %14.1f %11.3f ms %12.1f\n", lines, grown, grown / (lines / 1e6), worst / 1000,
                  (PeakResidentKiB() - start) / 1024.0);
      std::fflush(stdout);
      nextReport += 1000000;
      if (lines >= targetLines) break;
    }
    Feed(pty, fd, 1000);
    const auto t0 = std::chrono::steady_clock::now();
    const double c0 = ThreadCpuUs();
    t->Dialog().OnPollSerial();
    t->Settle();
    const double d = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
    const double c = ThreadCpuUs() - c0;
    worst = std::max(worst, d);
    worstCpu = std::max(worstCpu, c);
    us.push_back(d);
    cpu.push_back(c);
  }
  std::printf("  %zu polls: median %.3f ms, 99.9th percentile %.3f ms, worst %.3f ms\n", us.size(),
              Percentile(us, 0.5) / 1000, Percentile(us, 0.999) / 1000, worst / 1000);
  // Wall time includes whatever else the machine ran meanwhile; the thread's
  // own processor time is what the poll itself cost.
  std::printf("  on the processor: median %.3f ms, 99.9th percentile %.3f ms, worst %.3f ms\n",
              Percentile(cpu, 0.5) / 1000, Percentile(cpu, 0.999) / 1000, worstCpu / 1000);
  if (std::getenv("VARNEL_BENCH_SLOWEST")) {
    std::vector<std::size_t> idx(us.size());
    for (std::size_t i = 0; i < idx.size(); ++i) idx[i] = i;
    std::partial_sort(idx.begin(), idx.begin() + 10, idx.end(), [&](auto a, auto b) { return us[a] > us[b]; });
    for (int i = 0; i < 10; ++i)
      std::printf("    poll %zu: %.3f ms (%.3f ms on the processor)\n", idx[i], us[idx[i]] / 1000, cpu[idx[i]] / 1000);
  }
  const long beforeEmpty = ResidentKiB();
  t->Dialog().OnClicked(idc::Empty);
  t->Settle();
  std::printf("  \"empty\": resident %.1f MB -> %.1f MB above the start\n\n", (beforeEmpty - start) / 1024.0,
              (ResidentKiB() - start) / 1024.0);
}
}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  long lines = 10000000;
  std::string mode = "both";
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--lines") == 0) lines = std::atol(argv[i + 1]);
    if (std::strcmp(argv[i], "--mode") == 0) mode = argv[i + 1];
  }
  // Each in a process of its own, so that the peak resident size is its own.
  for (const char* m : {"controls", "window"}) {
    if (mode != "both" && mode != m) continue;
    const pid_t child = fork();
    if (child == 0) {
      QApplication app(argc, argv);
      Run(m, lines);
      std::fflush(stdout);
      _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
  }
  return 0;
}
