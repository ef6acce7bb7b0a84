#include <sys/stat.h>
#include <unistd.h>

#include "app/own_link.h"

bool LinkIsOurs(const std::string& path, std::string& why) {
  struct stat link {};
  if (lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return true;  // no link: nothing to follow
  const auto slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  struct stat dir {};
  if (stat(folder.c_str(), &dir) != 0) return true;  // the open says what is wrong
  const bool othersWrite = (dir.st_mode & S_ISVTX) && (dir.st_mode & S_IWOTH);
  if (!othersWrite || link.st_uid == geteuid() || link.st_uid == dir.st_uid) return true;
  why = "is a link another user made in " + folder + ", a folder anyone may write to: not followed";
  return false;
}
