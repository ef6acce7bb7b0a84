// The real panel in script mode, for the benchmarks that time what an
// operator does: the Linux program, or varnel.exe under Wine, its script on a
// pipe and its answers read a line at a time.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

class ScriptedPanel {
 public:
  // args: the options before "--script -"; wineLinks: VARNEL_WINE_LINKS for varnel.exe.
  ScriptedPanel(const std::vector<std::string>& args, const char* wineExe, const std::string& wineLinks = {}) {
    int in[2], out[2];
    if (pipe(in) || pipe(out)) return;
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
      if (wineExe) all = {"/bin/bash", VARNEL_WINE_RUN, wineExe};
      else all = {VARNEL_BIN};
      all.insert(all.end(), args.begin(), args.end());
      all.insert(all.end(), {"--script", "-"});
      std::vector<char*> argv;
      for (std::string& a : all) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
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
    if (waitpid(m_pid, nullptr, WNOHANG) == 0) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, nullptr, 0);
    }
    close(m_out);
  }
  ScriptedPanel(const ScriptedPanel&) = delete;
  ScriptedPanel& operator=(const ScriptedPanel&) = delete;

  void Say(const std::string& text) { (void)!write(m_in, text.data(), text.size()); }
  pid_t Pid() const { return m_pid; }
  // Up to the next line of standard output.
  std::string Answer(int timeoutMs) {
    std::string text;
    char c;
    pollfd p{m_out, POLLIN, 0};
    while (poll(&p, 1, timeoutMs) > 0 && read(m_out, &c, 1) == 1 && c != '\n') text += c;
    return text;
  }

 private:
  pid_t m_pid = -1;
  int m_in = -1, m_out = -1;
};
