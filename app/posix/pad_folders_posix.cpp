// A pad's profiles on Linux: the operator's in $XDG_CONFIG_HOME/varnel/pads
// (~/.config/varnel/pads), the shipped ones in share/varnel/pads beside the
// program (/usr/share/varnel/pads once installed).
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/pad_profile.h"

std::vector<std::string> PadProfileFolders() {
  std::vector<std::string> folders;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/')
    folders.push_back(std::string(config) + "/varnel/pads");
  else if (const char* home = std::getenv("HOME"); home && *home)
    folders.push_back(std::string(home) + "/.config/varnel/pads");
  char exe[4096];
  const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n > 0) {
    std::string dir(exe, static_cast<std::size_t>(n));
    dir.resize(dir.rfind('/'));                       // bin
    dir.resize(dir.rfind('/') == 0 ? 1 : dir.rfind('/'));  // its parent
    folders.push_back(dir + (dir == "/" ? "" : "/") + "share/varnel/pads");
  }
  return folders;
}
