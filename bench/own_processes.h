// The benchmarks' own processes, found by the id they started and never by
// a name alone: another program's varnel.exe (a CI run beside) is not ours
// to measure or end, nor another prefix's wineserver.
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

inline std::string ProcText(pid_t pid, const char* what) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/" + what, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline pid_t ParentOf(pid_t pid) {
  const std::string stat = ProcText(pid, "stat");
  const auto close = stat.rfind(')');
  return close == std::string::npos ? 0 : std::atoi(stat.c_str() + close + 4);  // ") S PPID"
}

inline bool DescendsFrom(pid_t pid, pid_t ancestor) {
  for (int depth = 0; pid > 1 && depth < 64; ++depth, pid = ParentOf(pid))
    if (pid == ancestor) return true;
  return false;
}

// The newest process below ancestor whose command line holds needle, not a
// script or display wrapper around it; ancestor itself when needle is empty.
inline pid_t DescendantRunning(pid_t ancestor, const std::string& needle) {
  if (needle.empty() || ancestor <= 0) return ancestor;
  pid_t found = 0;
  if (DIR* d = opendir("/proc")) {
    while (dirent* e = readdir(d)) {
      const pid_t p = std::atoi(e->d_name);
      if (p <= found || p == getpid() || !DescendsFrom(p, ancestor)) continue;
      const std::string cmd = ProcText(p, "cmdline");
      if (cmd.find(needle) != std::string::npos && cmd.rfind("/bin/bash", 0) != 0 && cmd.rfind("bash", 0) != 0 &&
          cmd.find("xvfb-run") == std::string::npos)
        found = p;
    }
    closedir(d);
  }
  return found;
}

// The wineserver of the prefix wine-run.sh gives exe (VARNEL_WINEPREFIX, or
// the build directory's own): the one whose working directory is that
// prefix's server directory, which Wine names by the prefix's device and inode.
inline pid_t WineserverOf(const std::string& exe) {
  std::string prefix;
  if (const char* given = std::getenv("VARNEL_WINEPREFIX")) {
    prefix = given;
  } else {
    std::string dir = exe.substr(0, exe.rfind('/'));
    struct stat st {};
    while (!dir.empty() && stat((dir + "/CMakeCache.txt").c_str(), &st) != 0) dir = dir.substr(0, dir.rfind('/'));
    prefix = dir + "/wineprefix";
  }
  struct stat st {};
  if (stat(prefix.c_str(), &st) != 0) return 0;
  // Under the user's Wine directory in the temporary one, wherever Wine keeps that.
  char server[96];
  std::snprintf(server, sizeof server, "/server-%llx-%llx", static_cast<unsigned long long>(st.st_dev),
                static_cast<unsigned long long>(st.st_ino));
  const std::string suffix = server;
  pid_t found = 0;
  if (DIR* d = opendir("/proc")) {
    while (dirent* e = readdir(d)) {
      const pid_t p = std::atoi(e->d_name);
      if (p <= 0 || ProcText(p, "comm").rfind("wineserver", 0) != 0) continue;
      char cwd[512] = {};
      const ssize_t n = readlink(("/proc/" + std::to_string(p) + "/cwd").c_str(), cwd, sizeof cwd - 1);
      const std::string at(cwd, n > 0 ? static_cast<std::size_t>(n) : 0);
      if (at.size() > suffix.size() && at.compare(at.size() - suffix.size(), suffix.size(), suffix) == 0) found = p;
    }
    closedir(d);
  }
  return found;
}
