// One poll in the real Win32 window with a million lines already in the log,
// for reads of 0, 8 and 1000 bytes: the handler, the list's own work for the
// new rows and its repaint. Median and worst of 300 polls each, and what
// the million lines cost in memory. Run under Wine:
//   scripts/wine-run.sh build/windows/bench/bench_window_win32.exe
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/panel/control_ids.h"
#include "app/script_commands.h"
#include "app/win32/console.h"
#include "app/win32/script_win32.h"
#include "app/win32/win32_window.h"
#include "serial/in_process.h"
#include "serial/port_map.h"

#include "app/win32/win32.h"
#include <psapi.h>

namespace {
// The line: each read gets the bytes the benchmark put there.
class BenchLine : public InProcessDevice {
 public:
  void FromPanel(const std::uint8_t*, std::size_t) override {}
  std::size_t ToPanel(std::uint8_t* buffer, std::size_t max) override {
    const std::size_t n = std::min(max, pending);
    std::fill_n(buffer, n, 0x5A);
    pending -= n;
    return n;
  }
  std::size_t pending = 0;
};

double ResidentMB() {
  PROCESS_MEMORY_COUNTERS c{};
  GetProcessMemoryInfo(GetCurrentProcess(), &c, sizeof c);
  return static_cast<double>(c.WorkingSetSize) / (1024.0 * 1024.0);
}

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

std::string Run(Win32Window& w, BenchLine& line) {
  w.dialog().Timer().Stop();  // the polls are the benchmark's
  Pump();
  const double before = ResidentMB();
  const auto fillStart = std::chrono::steady_clock::now();
  const char* lines = std::getenv("VARNEL_BENCH_LINES");  // a smaller log for a quick look
  const int total = lines ? std::atoi(lines) : 1000000;
  const std::uint8_t seventeen[17] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  for (int i = 0; i < total; ++i) w.controls().AddLogLine(idc::RecvLog, HexLine(seventeen, sizeof seventeen));
  const double fillSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - fillStart).count();
  Pump();
  char text[512];
  std::snprintf(text, sizeof text, "log at %d lines: %.0f MB more resident, filled in %.1f s\n",
                w.controls().GetCount(idc::RecvLog), ResidentMB() - before, fillSeconds);
  std::string out = text;
  if (std::getenv("VARNEL_BENCH_PARTS")) {
    Win32Controls& c = w.controls();
    auto time = [&](const char* what, auto&& f) {
      const auto t0 = std::chrono::steady_clock::now();
      for (int i = 0; i < 200; ++i) f();
      std::snprintf(text, sizeof text, "  %-28s %8.1f us\n", what,
                    std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count() / 200);
      out += text;
    };
    time("GetWindowText(edit)", [&] { c.GetWindowText(idc::Year); });
    time("SetWindowText(same)", [&] { c.SetWindowText(idc::Year, "2017"); });
    time("GetCurSel(combo)", [&] { c.GetCurSel(idc::Baud); });
    time("GetPos(slider)", [&] { c.GetPos(idc::ZoomSlider); });
    time("SetRange(slider)", [&] { c.SetRange(idc::ZoomSlider, 1, 30); });
    time("GetCheck", [&] { c.GetCheck(idc::Network); });
    time("SetCheck(same)", [&] { c.SetCheck(idc::Network, 0); });
    time("GetFocus", [&] { c.GetFocus(); });
    time("IsWindowEnabled", [&] { c.IsWindowEnabled(idc::Baud); });
    time("Exists", [&] { c.Exists(idc::Baud); });
  }
  HWND list = static_cast<HWND>(w.controls().Handle(idc::RecvLog));
  for (std::size_t n : {0u, 8u, 1000u}) {
    std::vector<double> us, handler, paint;
    for (int i = 0; i < 300; ++i) {
      line.pending = n;
      const auto t0 = std::chrono::steady_clock::now();
      w.dialog().OnPollSerial();
      const auto t1 = std::chrono::steady_clock::now();
      Pump();               // the list hears of the new rows
      const auto t2 = std::chrono::steady_clock::now();
      UpdateWindow(list);   // and repaints, now
      paint.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t2).count());
      us.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
      handler.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    std::sort(handler.begin(), handler.end());
    std::sort(paint.begin(), paint.end());
    std::sort(us.begin(), us.end());
    std::snprintf(text, sizeof text,
                  "poll reading %4zu bytes: median %7.0f us, 99th percentile %7.0f us, worst %7.0f us"
                  " (median: the handler %5.0f us, the repaint %5.0f us)\n",
                  n, us[us.size() / 2], us[us.size() * 99 / 100], us.back(), handler[handler.size() / 2],
                  paint[paint.size() / 2]);
    out += text;
  }
  return out;
}
}  // namespace

int main() {
  AttachParentConsole();
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  BenchLine line;
  PortMap map;
  map.AttachInProcess("bench:line", &line);
  map.Map("COM1", "bench:line");
  CComSync port(&map);
  std::string report;
  {
    Win32Window window(port);
    window.SetOnShown([&] {
      report = Run(window, line);
      if (std::getenv("VARNEL_BENCH_LOG")) {
        // Script mode's "log" over the whole log, printed as script mode
        // prints (standard output to /dev/null); the time on standard error.
        Win32ScriptActions actions(window);
        ScriptCommands commands(actions, [](const std::string& text) { WriteOut(text + "\n"); });
        const auto start = std::chrono::steady_clock::now();
        commands.Execute("log");
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        WriteErr("script mode's log of " + std::to_string(window.controls().GetCount(idc::RecvLog)) + " lines: " +
                 std::to_string(s) + " s\n");
        report.clear();
      }
      window.EndDialog(IDCANCEL);
    });
    window.Run();
  }
  port.Close();
  WriteOut(report);
  return 0;
}
