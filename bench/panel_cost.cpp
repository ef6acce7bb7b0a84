// What the panel costs the machine when nobody uses it, how many script
// lines it takes a second, and how soon it is painted, each beside a bare
// dialog of the same toolkit in the same run: the Linux panel against a bare
// QDialog, or varnel.exe under Wine against a bare Win32 dialog (--wine).
//
//   panel_cost [--wine VARNEL_EXE --bare BARE_EXE] [--bin VARNEL] [--only idle|lines|start]
//              [--seconds S] [--runs R] [--lines N,N,...] [--simulate]
//
// idle:  the port open on a silent pseudo-terminal; processor time of every
//        thread (a share of one core) and wake-ups a second (context
//        switches of every thread, /proc), over S seconds once started:
//        the gamepad reader on, --no-gamepad, and the bare dialog. Under
//        Wine the wineserver's share is given beside the program's.
// lines: N lines of `click 1014` (RIGHT; its move frame to the far end) and
//        of `get 1004`, written as fast as the panel reads them: lines a second
//        (--simulate: on the simulated gimbal, without the serial driver's share).
// start: from the program's start to its first paint (the panel: its zoom
//        slider's frame at the far end, sent by the slider's first paint; the
//        bare dialog: its own word), and the peak memory then; on Linux also
//        `--version` to its end.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench_figures.h"
#include "scripted_panel.h"
#include "test_pty.h"

namespace {
using Clock = std::chrono::steady_clock;
double MsSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

struct Options {
  std::string bin = VARNEL_BIN, bare = BARE_DIALOG, wineExe, only;
  int seconds = 10, runs = 3;
  bool simulate = false;  // lines: the simulated gimbal inside the program instead of the pseudo-terminal
  std::vector<long> lines = {1000, 10000, 100000};
};

// A program of the run: the panel (o.bin, or the .exe under Wine), or the bare dialog.
std::unique_ptr<ScriptedPanel> Start(const Options& o, const std::string& program, const std::vector<std::string>& args,
                                     const std::string& links = {}) {
  return std::make_unique<ScriptedPanel>(program, args, !o.wineExe.empty(), links);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Processor seconds and context switches of every thread of a process.
struct Usage {
  double cpu = 0;
  long switches = 0;
};
Usage UsageOf(pid_t pid) {
  Usage u;
  if (!pid) return u;
  const std::string dir = "/proc/" + std::to_string(pid) + "/task";
  DIR* d = opendir(dir.c_str());
  if (!d) return u;
  static const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
  while (dirent* e = readdir(d)) {
    if (e->d_name[0] == '.') continue;
    const std::string stat = ReadFile(dir + "/" + e->d_name + "/stat");
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream fields(stat.substr(close + 2));
    std::string f;
    for (int i = 3; i <= 15 && fields >> f; ++i)
      if (i == 14 || i == 15) u.cpu += std::atof(f.c_str()) / tick;
    std::istringstream status(ReadFile(dir + "/" + e->d_name + "/status"));
    for (std::string line; std::getline(status, line);)
      if (line.find("ctxt_switches:") != std::string::npos) u.switches += std::atol(line.substr(line.find(':') + 1).c_str());
  }
  closedir(d);
  return u;
}

double PeakMb(pid_t pid) {
  std::istringstream status(ReadFile("/proc/" + std::to_string(pid) + "/status"));
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
  return 0;
}

// A panel on the far end's line, in script mode, started and answering.
std::unique_ptr<ScriptedPanel> Panel(const Options& o, const TestPty& far, std::vector<std::string> extra) {
  const bool wine = !o.wineExe.empty();
  std::vector<std::string> args = wine ? std::vector<std::string>{} : std::vector<std::string>{"--port", "COM1=" + far.path()};
  if (o.simulate) args = {"--simulate"};
  args.insert(args.end(), extra.begin(), extra.end());
  args.insert(args.end(), {"--script", "-"});
  auto panel = Start(o, wine ? o.wineExe : o.bin, args, wine ? "com1=" + far.path() : "");
  panel->Say("get 1004\n");
  if (panel->Answer(60000).rfind("1004=", 0) != 0) return nullptr;
  return panel;
}

// Reads whatever reaches the far end until told to stop.
struct Drain {
  explicit Drain(const TestPty& far) : m_thread([this, &far] {
    while (!m_stop) far.Drain(20);
  }) {}
  ~Drain() {
    m_stop = true;
    m_thread.join();
  }
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};

void Idle(const Options& o) {
  const bool wine = !o.wineExe.empty();
  std::printf("idle over %d s, %d runs (a share of one core; wake-ups a second)%s\n", o.seconds, o.runs,
              wine ? "; under Wine the wineserver's share beside" : "");
  const struct {
    const char* name;
    std::vector<std::string> extra;
    bool bare;
  } kinds[] = {{"gamepad reader on", {}, false},
               {"--no-gamepad", {"--no-gamepad"}, false},
               {"--no-gamepad, --control and --visca-ip",
                {"--no-gamepad", "--control", "tcp://127.0.0.1:0", "--visca-ip", "udp://127.0.0.1:0"},
                false},
               {"bare dialog", {}, true}};
  for (const auto& kind : kinds) {
    std::vector<double> cpu, wakeups, server;
    for (int r = 0; r < o.runs; ++r) {
      TestPty far;
      Drain drain(far);
      std::unique_ptr<ScriptedPanel> child;
      if (kind.bare) {
        child = Start(o, o.bare, {});
        if (child->Answer(60000) != "painted") continue;
      } else {
        child = Panel(o, far, kind.extra);
        if (!child) continue;
      }
      std::this_thread::sleep_for(std::chrono::seconds(wine ? 4 : 2));  // the start-up's own work done
      const pid_t pid = child->Program(), ws = wine ? WineserverOf(o.wineExe) : 0;
      const Usage a = UsageOf(pid), sa = UsageOf(ws);
      std::this_thread::sleep_for(std::chrono::seconds(o.seconds));
      const Usage b = UsageOf(pid), sb = UsageOf(ws);
      cpu.push_back(100.0 * (b.cpu - a.cpu) / o.seconds);
      wakeups.push_back(static_cast<double>(b.switches - a.switches) / o.seconds);
      server.push_back(100.0 * (sb.cpu - sa.cpu) / o.seconds);
      if (kind.bare) child->Kill();  // it has no script to quit
    }
    std::printf(" %s\n", kind.name);
    PrintFigures("processor, % of a core", cpu, "%");
    PrintFigures("wake-ups a second", wakeups, "/s");
    if (wine) PrintFigures("wineserver, % of a core", server, "%");
  }
}

void Lines(const Options& o) {
  std::printf("script lines a second, written as fast as they are read, %s\n",
              o.simulate ? "the simulated gimbal inside the program" : "a pseudo-terminal");
  for (const char* line : {"click 1014", "get 1004"}) {
    for (long n : o.lines) {
      TestPty far;
      Drain drain(far);
      auto panel = Panel(o, far, {"--no-gamepad"});
      if (!panel) continue;
      const bool get = std::strncmp(line, "get", 3) == 0;
      const auto start = Clock::now();
      std::thread writer([&] {
        std::string batch;
        for (long i = 0; i < n; ++i) batch += std::string(line) + "\n";
        batch += "get 1004\n";
        panel->Say(batch);
      });
      long answers = 0;
      const long wanted = get ? n + 1 : 1;
      while (answers < wanted && !panel->Answer(120000).empty()) ++answers;
      const double ms = MsSince(start);
      writer.join();
      std::printf("  %-12s %7ld lines: %8.0f lines a second (%.3f ms a line)%s\n", line, n, n / (ms / 1000.0),
                  ms / static_cast<double>(n), answers < wanted ? " UNFINISHED" : "");
    }
  }
}

void FirstPaint(const Options& o) {
  const bool wine = !o.wineExe.empty();
  std::printf("start to first paint, %d runs: the panel's zoom frame at the far end, the bare dialog's word\n",
              o.runs);
  std::vector<double> panelMs, panelMb, bareMs, bareMb;
  for (int r = 0; r < o.runs; ++r) {
    {
      TestPty far;
      std::vector<std::string> args = wine ? std::vector<std::string>{} : std::vector<std::string>{"--port", "COM1=" + far.path()};
      args.insert(args.end(), {"--script", "-"});
      ScriptedPanel panel(wine ? o.wineExe : o.bin, args, wine, wine ? "com1=" + far.path() : "");
      // Until the panel opens its end the line reads as hung up: wait for a byte.
      bool got = false;
      for (const auto t = Clock::now(); !got && MsSince(t) < 60000;) {
        got = !far.Receive(1, 100).empty();
        if (!got) std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
      if (got) {
        panelMs.push_back(MsSince(panel.Started()));
        panelMb.push_back(PeakMb(panel.Program()));
      }
      far.Drain(200);
    }
    ScriptedPanel bare(o.bare, {}, wine, "");
    if (bare.Answer(60000) == "painted") {
      bareMs.push_back(MsSince(bare.Started()));
      bareMb.push_back(PeakMb(bare.Program()));
    }
    bare.Kill();
  }
  PrintFigures("panel: time", panelMs);
  PrintFigures("bare dialog: time", bareMs);
  PrintFigures("panel: peak memory", panelMb, "MB");
  PrintFigures("bare dialog: peak memory", bareMb, "MB");
  if (wine) return;
  std::vector<double> versionMs, versionMb;
  for (int r = 0; r < o.runs * 4; ++r) {
    const auto t = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
      dup2(open("/dev/null", O_WRONLY), 1);
      execl(o.bin.c_str(), o.bin.c_str(), "--version", nullptr);
      _exit(127);
    }
    int status = 0;
    rusage use{};
    wait4(pid, &status, 0, &use);
    versionMs.push_back(MsSince(t));
    versionMb.push_back(use.ru_maxrss / 1024.0);
  }
  PrintFigures("--version: time", versionMs);
  PrintFigures("--version: peak memory", versionMb, "MB");
}
}  // namespace

int main(int argc, char** argv) {
  signal(SIGPIPE, SIG_IGN);  // a program ended first: its script's pipe is closed
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const char* v = i + 1 < argc ? argv[i + 1] : "";
    if (a == "--wine") o.wineExe = v, ++i;
    else if (a == "--bare") o.bare = v, ++i;
    else if (a == "--bin") o.bin = v, ++i;
    else if (a == "--only") o.only = v, ++i;
    else if (a == "--simulate") o.simulate = true;
    else if (a == "--seconds") o.seconds = std::max(1, std::atoi(v)), ++i;
    else if (a == "--runs") o.runs = std::max(1, std::atoi(v)), ++i;
    else if (a == "--lines") {
      o.lines.clear();
      std::string n;
      for (std::istringstream s(v); std::getline(s, n, ',');) o.lines.push_back(std::atol(n.c_str()));
      ++i;
    } else {
      std::fprintf(stderr,
                   "usage: panel_cost [--wine VARNEL_EXE --bare BARE_EXE] [--bin VARNEL] [--only idle|lines|start]\n"
                   "                  [--seconds S] [--runs R] [--lines N,N,...] [--simulate]\n");
      return 2;
    }
  }
  if (!o.wineExe.empty() && o.bare == BARE_DIALOG) {
    std::fprintf(stderr, "panel_cost: with --wine, give --bare build/windows/bench/bare_dialog_win32.exe\n");
    return 2;
  }
  std::printf("%s\n", o.wineExe.empty() ? "the Linux panel against a bare QDialog" : "varnel.exe under Wine against a bare Win32 dialog");
  if (o.only.empty() || o.only == "start") FirstPaint(o);
  if (o.only.empty() || o.only == "idle") Idle(o);
  if (o.only.empty() || o.only == "lines") Lines(o);
  return 0;
}
