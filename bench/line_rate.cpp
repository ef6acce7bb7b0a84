// The panel at work on the path an operator's bytes take: the real program
// (the Linux panel of this build, or varnel.exe under Wine) on a
// pseudo-terminal fed at the line rate of 57600 baud 8E1, in script mode.
// For each log size it measures, against the same window idle:
//   - the window thread's processor time per poll, from the kernel's count
//     of that thread's run time (/proc/PID/task/TID/schedstat) sampled every
//     millisecond: each spell of work between idle gaps is one poll (or a
//     message); the largest spells, as many as there were polls, are taken,
//     so a figure is never smaller than a poll's own;
//   - the program's and (under Wine) wineserver's processor time per poll;
//   - the round trip of script mode's `get 1004`: the line written to the
//     panel's input until its answer arrives;
//   - with --requests, Wine's server requests per poll (WINEDEBUG=+server),
//     in a run of their own, as the tracing slows everything.
// Runs on demand; see README, "Performance".
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "own_processes.h"
#include "ser2net.h"

namespace {
using Clock = std::chrono::steady_clock;
constexpr int kPollMs = 160;              // the panel's poll period at start
constexpr int kFeedEveryMs = 16;          // 84 bytes each: 5250 bytes/s,
constexpr std::size_t kFeedBytes = 84;    // 57600 baud at 11 bits a byte (8E1)

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Options {
  std::string wineExe;  // empty: the Linux panel
  std::vector<long> lines{10000, 1000000};
  int seconds = 15;
  bool requests = false;
  std::string via;  // "rfc2217" or "tcp": the line behind ser2net on loopback; empty: the pty itself
};

void Usage() {
  std::fprintf(stderr,
               "usage: line_rate [--wine VARNEL_EXE] [--lines N,N...] [--seconds S] [--requests]\n"
               "                 [--via rfc2217|tcp]\n"
               "  without --wine: the Linux panel of this build (%s)\n"
               "  --lines    log sizes to measure at (default 10000,1000000)\n"
               "  --seconds  length of each measured phase (default 15)\n"
               "  --requests count Wine's server requests per poll instead of timing\n"
               "  --via      reach the line through ser2net on loopback, RFC 2217 or raw TCP\n",
               VARNEL_BIN);
}

// ---- the panel as a child process -------------------------------------------

class Panel {
 public:
  // line: the pty, or the URL of the server in front of it.
  Panel(const Options& o, const std::string& line, const std::string& errFile) {
    const bool network = line.find("://") != std::string::npos;
    const std::string port = "COM1=" + line;
    int in[2], out[2];
    if (pipe(in) || pipe(out)) std::exit(1);
    m_pid = fork();
    if (m_pid == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(err, 2);
      close(in[1]);
      close(out[0]);
      if (o.wineExe.empty()) {
        execl(VARNEL_BIN, VARNEL_BIN, "--port", port.c_str(), "--script", "-", static_cast<char*>(nullptr));
      } else if (network) {
        if (o.requests) setenv("WINEDEBUG", "+server", 1);
        execl("/bin/bash", "bash", VARNEL_WINE_RUN, o.wineExe.c_str(), "--port", port.c_str(), "--script", "-",
              static_cast<char*>(nullptr));
      } else {
        setenv("VARNEL_WINE_LINKS", ("com1=" + line).c_str(), 1);
        if (o.requests) setenv("WINEDEBUG", "+server", 1);
        execl("/bin/bash", "bash", VARNEL_WINE_RUN, o.wineExe.c_str(), "--script", "-", static_cast<char*>(nullptr));
      }
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    m_in = in[1];
    m_out = out[0];
    m_reader = std::thread([this] { Read(); });
  }
  ~Panel() {
    Say("quit");
    close(m_in);
    int status = 0;
    for (int i = 0; i < 200 && waitpid(m_pid, &status, WNOHANG) == 0; ++i) usleep(50000);
    if (waitpid(m_pid, &status, WNOHANG) == 0) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, &status, 0);
    }
    m_reader.join();
    close(m_out);
  }
  pid_t Pid() const { return m_pid; }
  void Say(const std::string& line) {
    const std::string s = line + "\n";
    if (write(m_in, s.data(), s.size()) != static_cast<ssize_t>(s.size())) std::perror("line_rate: write");
  }
  // The next output line starting with prefix, or "" after the timeout.
  std::string Await(const std::string& prefix, int timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    const auto until = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      while (!m_lines.empty()) {
        std::string line = std::move(m_lines.front());
        m_lines.erase(m_lines.begin());
        if (line.rfind(prefix, 0) == 0) return line;
      }
      if (m_ended || m_cv.wait_until(lock, until) == std::cv_status::timeout) return "";
    }
  }
  // The log's length, by script mode's `log` (its rows are counted and dropped).
  long LogLines() {
    Say("log");
    const std::string head = Await("log ", 120000);
    if (head.empty()) return -1;
    const long n = std::atol(head.c_str() + 4);
    std::unique_lock<std::mutex> lock(m_mutex);
    m_skip = n - std::min<long>(n, m_rowsSeen);
    m_rowsSeen = 0;
    m_cv.wait_for(lock, std::chrono::seconds(120), [&] { return m_skip <= 0 || m_ended; });
    return n;
  }

 private:
  void Read() {
    std::string pending;
    char buf[65536];
    for (;;) {
      const ssize_t n = read(m_out, buf, sizeof buf);
      if (n <= 0) break;
      pending.append(buf, static_cast<std::size_t>(n));
      std::size_t start = 0;
      std::lock_guard<std::mutex> lock(m_mutex);
      for (std::size_t nl; (nl = pending.find('\n', start)) != std::string::npos; start = nl + 1) {
        std::string line = pending.substr(start, nl - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("| ", 0) == 0) {  // a row of `log`: counted, not kept
          if (m_skip > 0) --m_skip;
          else ++m_rowsSeen;
          continue;
        }
        m_lines.push_back(std::move(line));
      }
      pending.erase(0, start);
      m_cv.notify_all();
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_ended = true;
    m_cv.notify_all();
  }

  pid_t m_pid = -1;
  int m_in = -1;
  int m_out = -1;
  std::thread m_reader;
  std::mutex m_mutex;
  std::condition_variable m_cv;
  std::vector<std::string> m_lines;
  long m_skip = 0;
  long m_rowsSeen = 0;
  bool m_ended = false;
};

// ---- processor time from /proc ------------------------------------------------

long long ThreadNs(pid_t pid, pid_t tid) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%d/task/%d/schedstat", pid, tid);
  std::ifstream f(path);
  long long ns = -1;
  f >> ns;
  return ns;
}

long long ProcessNs(pid_t pid) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%d/task", pid);
  long long sum = 0;
  if (DIR* d = opendir(path)) {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.') sum += std::max(0LL, ThreadNs(pid, std::atoi(e->d_name)));
    closedir(d);
  }
  return sum;
}

// ---- one measured phase -----------------------------------------------------------

struct Figures {
  int polls = 0;
  std::vector<double> spells;  // ms on the processor, largest first
  double processMsPerPoll = 0;
  double serverMsPerPoll = 0;
  std::vector<double> gets;    // ms, sorted
  double requestsPerPoll = 0;
};

double At(const std::vector<double>& sorted, double q) {
  if (sorted.empty()) return 0;
  return sorted[std::min(sorted.size() - 1, static_cast<std::size_t>(q * static_cast<double>(sorted.size())))];
}

class Feeder {
 public:
  explicit Feeder(int master) : m_master(master) {}
  void Start() {
    m_stop = false;
    m_thread = std::thread([this] {
      std::vector<unsigned char> bytes(kFeedBytes);
      for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i * 7 + 1);
      auto next = Clock::now();
      while (!m_stop) {
        if (write(m_master, bytes.data(), bytes.size()) < 0) break;
        next += std::chrono::milliseconds(kFeedEveryMs);
        std::this_thread::sleep_until(next);
      }
    });
  }
  void Stop() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
  }

 private:
  int m_master;
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};

Figures Measure(Panel& panel, pid_t pid, pid_t server, int seconds, bool feed, bool gets, Feeder& feeder,
                const std::string& errFile) {
  Figures f;
  f.polls = seconds * 1000 / kPollMs;
  if (feed) feeder.Start();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the first polls of the phase
  const long long process0 = ProcessNs(pid);
  const long long server0 = server > 0 ? ProcessNs(server) : 0;
  const long long err0 = static_cast<long long>(std::ifstream(errFile, std::ios::ate).tellg());

  std::atomic<bool> done{false};
  std::vector<double> spells;
  std::thread sampler([&] {
    long long last = ThreadNs(pid, pid);
    long long spell = 0;
    int quiet = 0;
    while (!done) {
      std::this_thread::sleep_for(std::chrono::microseconds(1000));
      const long long now = ThreadNs(pid, pid);
      if (now > last) {
        spell += now - last;
        quiet = 0;
      } else if (spell > 0 && ++quiet >= 3) {  // 3 ms without running: the spell is over
        spells.push_back(static_cast<double>(spell) / 1e6);
        spell = 0;
      }
      last = now;
    }
  });
  const auto end = Clock::now() + std::chrono::seconds(seconds);
  while (Clock::now() < end) {
    if (!gets) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      continue;
    }
    const auto t0 = Clock::now();
    panel.Say("get 1004");
    if (panel.Await("1004=", 5000).empty()) break;
    f.gets.push_back(Ms(Clock::now() - t0));
    std::this_thread::sleep_for(std::chrono::milliseconds(97));  // not in step with the polls
  }
  done = true;
  sampler.join();
  const long long err1 = static_cast<long long>(std::ifstream(errFile, std::ios::ate).tellg());
  f.processMsPerPoll = static_cast<double>(ProcessNs(pid) - process0) / 1e6 / f.polls;
  f.serverMsPerPoll = server > 0 ? static_cast<double>(ProcessNs(server) - server0) / 1e6 / f.polls : 0;
  if (feed) feeder.Stop();
  std::sort(spells.rbegin(), spells.rend());
  spells.resize(std::min<std::size_t>(spells.size(), static_cast<std::size_t>(f.polls)));
  f.spells = spells;
  std::sort(f.gets.begin(), f.gets.end());
  if (err0 >= 0 && err1 > err0) {  // +server: one line per request and one per reply
    std::ifstream in(errFile);
    in.seekg(err0);
    std::string line;
    long requests = 0;
    // "00cc: get_message( flags=... )" is a request, "00cc: get_message() = 0 {...}" its reply.
    while (in.tellg() < err1 && std::getline(in, line)) {
      const std::size_t colon = line.find(": ");
      const std::size_t paren = line.find('(');
      if (colon == 4 && paren != std::string::npos && line.find(' ', colon + 2) > paren &&
          line.compare(paren, 4, "() =") != 0)
        ++requests;
    }
    f.requestsPerPoll = static_cast<double>(requests) / f.polls;
  }
  return f;
}

// Fills the log to `target` lines: a 1 ms poll period, bytes as fast as the
// line takes them, then the period of 160 ms again. "Format" (1049) restarts
// the poll timer at the period typed, once a tick has taken it (its frame
// goes to the pseudo-terminal and is dropped).
void SetPollPeriod(Panel& panel, int ms) {
  panel.Say("type 1161 " + std::to_string(ms));
  panel.Say("wait 400");
  panel.Say("click 1049");
  panel.Say("get 1161");
  panel.Await("1161=", 10000);
}

long Fill(Panel& panel, int master, long target) {
  long lines = panel.LogLines();
  SetPollPeriod(panel, 1);
  std::vector<unsigned char> chunk(1000);
  for (std::size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<unsigned char>(i);
  while (lines >= 0 && lines < target) {
    // A poll of 1000 bytes adds its caption and 63 rows of 16 bytes.
    const long chunks = std::max(1L, (target - lines) / 64);
    for (long i = 0; i < chunks; ++i)
      if (write(master, chunk.data(), chunk.size()) < 0) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    lines = panel.LogLines();
  }
  SetPollPeriod(panel, kPollMs);
  return lines;
}

void Report(const char* what, const Figures& idle, const Figures& busy, const Figures& idleGets,
            const Figures& busyGets, bool requests) {
  auto row = [&](const char* state, const Figures& cpu, const Figures& g) {
    if (requests) {
      std::printf("  %-5s %-8s Wine server requests per poll: %.1f\n", what, state, cpu.requestsPerPoll);
      return;
    }
    std::vector<double> s = cpu.spells;
    std::sort(s.begin(), s.end());
    std::printf("  %-5s %-8s window thread per poll: median %6.3f ms, worst %6.3f ms | program %6.3f ms, "
                "wineserver %6.3f ms per poll | get: median %6.3f ms, p99 %6.3f ms, max %6.3f ms (%zu)\n",
                what, state, At(s, 0.5), s.empty() ? 0 : s.back(), cpu.processMsPerPoll, cpu.serverMsPerPoll,
                At(g.gets, 0.5), At(g.gets, 0.99), g.gets.empty() ? 0 : g.gets.back(), g.gets.size());
  };
  row("idle", idle, idleGets);
  row("fed", busy, busyGets);
}
}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--wine" && i + 1 < argc) o.wineExe = argv[++i];
    else if (a == "--seconds" && i + 1 < argc) o.seconds = std::max(2, std::atoi(argv[++i]));
    else if (a == "--requests") o.requests = true;
    else if (a == "--via" && i + 1 < argc && (std::string(argv[i + 1]) == "rfc2217" || std::string(argv[i + 1]) == "tcp"))
      o.via = argv[++i];
    else if (a == "--lines" && i + 1 < argc) {
      o.lines.clear();
      std::stringstream list(argv[++i]);
      for (std::string n; std::getline(list, n, ',');) o.lines.push_back(std::atol(n.c_str()));
    } else {
      Usage();
      return 2;
    }
  }
  if (o.requests && o.wineExe.empty()) {
    std::fprintf(stderr, "line_rate: --requests counts Wine's requests: give --wine\n");
    return 2;
  }
  // The same display for both panels: a virtual one when there is none.
  if (!std::getenv("DISPLAY")) {
    std::vector<char*> args{const_cast<char*>("xvfb-run"), const_cast<char*>("-a"), const_cast<char*>("-s"),
                            const_cast<char*>("-screen 0 1600x1000x24")};
    for (int i = 0; i < argc; ++i) args.push_back(argv[i]);
    args.push_back(nullptr);
    execvp("xvfb-run", args.data());
    std::perror("line_rate: xvfb-run");
    return 1;
  }

  int master = -1, slave = -1;
  char name[256];
  if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
    std::perror("line_rate: openpty");
    return 1;
  }
  termios t{};
  tcgetattr(slave, &t);
  cfmakeraw(&t);
  tcsetattr(slave, TCSANOW, &t);
  std::atomic<bool> draining{true};
  std::thread drain([&] {  // what the panel sends: taken, so that it never stalls
    char buf[4096];
    while (draining) {
      pollfd p{master, POLLIN, 0};
      if (poll(&p, 1, 50) > 0 && (p.revents & POLLIN) && read(master, buf, sizeof buf) <= 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  });

  const bool wine = !o.wineExe.empty();
  const std::string errFile = "/tmp/line_rate-" + std::to_string(getpid()) + ".err";
  std::printf("%s, fed %zu bytes every %d ms (57600 baud 8E1), polled every %d ms, phases of %d s\n",
              wine ? ("varnel.exe under Wine: " + o.wineExe).c_str() : "the Linux panel: " VARNEL_BIN, kFeedBytes,
              kFeedEveryMs, kPollMs, o.seconds);
  std::unique_ptr<Ser2net> server;
  if (!o.via.empty()) {
    server = std::make_unique<Ser2net>(name);
    if (!server->running()) {
      std::fprintf(stderr, "line_rate: ser2net did not start\n%s", server->Log().c_str());
      return 1;
    }
    std::printf("the line behind ser2net: %s\n",
                (o.via == "rfc2217" ? server->Rfc2217Url() : server->RawUrl()).c_str());
  }
  {
    Panel panel(o, server ? (o.via == "rfc2217" ? server->Rfc2217Url() : server->RawUrl()) : std::string(name), errFile);
    panel.Say("get 1004");  // answered once the window is up
    if (panel.Await("1004=", 60000).empty()) {
      std::fprintf(stderr, "line_rate: the panel did not answer (see %s)\n", errFile.c_str());
      return 1;
    }
    panel.Say("focus 1050");  // no caret blinking in an edit
    const pid_t pid = DescendantRunning(panel.Pid(), wine ? "varnel.exe" : "");
    const pid_t server = wine ? WineserverOf(o.wineExe) : -1;
    if (pid <= 0) {
      std::fprintf(stderr, "line_rate: no panel process found\n");
      return 1;
    }
    Feeder feeder(master);
    for (long target : o.lines) {
      const long lines = Fill(panel, master, target);
      std::this_thread::sleep_for(std::chrono::seconds(1));
      const std::string what = lines >= 1000000 ? std::to_string(lines / 1000000) + "e6"
                                                : std::to_string(lines / 1000) + "e3";
      std::printf(" log at %ld lines:\n", lines);
      const Figures idle = Measure(panel, pid, server, o.seconds, false, false, feeder, errFile);
      const Figures busy = Measure(panel, pid, server, o.seconds, true, false, feeder, errFile);
      Figures idleGets, busyGets;
      if (!o.requests) {
        idleGets = Measure(panel, pid, server, o.seconds, false, true, feeder, errFile);
        busyGets = Measure(panel, pid, server, o.seconds, true, true, feeder, errFile);
      }
      Report(what.c_str(), idle, busy, idleGets, busyGets, o.requests);
      std::fflush(stdout);
    }
  }
  draining = false;
  drain.join();
  std::remove(errFile.c_str());
  return 0;
}
