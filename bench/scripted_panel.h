// The real panel in script mode, for the benchmarks that time what an
// operator does: the Linux program, or varnel.exe under Wine, its script on a
// pipe and its answers read a line at a time.
#pragma once

#include "own_processes.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

class ScriptedPanel {
 public:
  // args: the options before "--script -"; wineLinks: VARNEL_WINE_LINKS for varnel.exe.
  ScriptedPanel(const std::vector<std::string>& args, const char* wineExe, const std::string& wineLinks = {})
      : ScriptedPanel(wineExe ? wineExe : VARNEL_BIN, WithScript(args), wineExe != nullptr, wineLinks) {}
  // Any program (a baseline of the benchmarks' own), under Wine when wine,
  // with exactly these arguments.
  ScriptedPanel(const std::string& program, const std::vector<std::string>& args, bool wine,
                const std::string& wineLinks) {
    int in[2], out[2];
    if (pipe(in) || pipe(out)) return;
    m_start = std::chrono::steady_clock::now();
    m_pid = fork();
    if (m_pid == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      dup2(open("/dev/null", O_WRONLY), 2);
      close(in[1]);
      close(out[0]);
      setenv("QT_QPA_PLATFORM", "offscreen", 1);
      if (!wineLinks.empty()) setenv("VARNEL_WINE_LINKS", wineLinks.c_str(), 1);
      std::vector<std::string> all;
      if (wine) all = {"/bin/bash", VARNEL_WINE_RUN};
      all.push_back(program);
      all.insert(all.end(), args.begin(), args.end());
      std::vector<char*> argv;
      for (std::string& a : all) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    m_wineName = wine ? program.substr(program.rfind('/') + 1) : std::string();
    close(in[0]);
    close(out[1]);
    m_in = in[1];
    m_out = out[0];
  }
  ~ScriptedPanel() {
    if (m_pid <= 0) return;
    Say("quit\n");
    close(m_in);
    for (int i = 0; i < 200 && waitpid(m_pid, nullptr, WNOHANG) == 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    Kill();
    close(m_out);
  }
  // Ended now, the program under Wine as well as what runs it.
  void Kill() {
    if (m_pid <= 0 || waitpid(m_pid, nullptr, WNOHANG) != 0) return;
    if (const pid_t p = Program(); p > 0 && p != m_pid) kill(p, SIGKILL);
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
  }
  ScriptedPanel(const ScriptedPanel&) = delete;
  ScriptedPanel& operator=(const ScriptedPanel&) = delete;

  void Say(const std::string& text) { (void)!write(m_in, text.data(), text.size()); }
  pid_t Pid() const { return m_pid; }
  std::chrono::steady_clock::time_point Started() const { return m_start; }
  // The process that runs the program: ours, or under Wine the one below
  // ours whose command line names the .exe (not the scripts around it).
  pid_t Program() const { return DescendantRunning(m_pid, m_wineName); }
  // Up to the next line of standard output.
  std::string Answer(int timeoutMs) {
    std::string text;
    char c;
    pollfd p{m_out, POLLIN, 0};
    while (poll(&p, 1, timeoutMs) > 0 && read(m_out, &c, 1) == 1 && c != '\n') text += c;
    return text;
  }

 private:
  static std::vector<std::string> WithScript(std::vector<std::string> args) {
    args.insert(args.end(), {"--script", "-"});
    return args;
  }
  pid_t m_pid = -1;
  std::string m_wineName;  // the .exe under Wine
  std::chrono::steady_clock::time_point m_start;
  int m_in = -1, m_out = -1;
};
