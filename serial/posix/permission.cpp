#include "serial/posix/permission.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>

#include <cstdio>

std::string PermissionAdvice(unsigned mode, const std::string& owner, const std::string& group,
                             const std::string& device) {
  // Joining the group helps only where the group may read and write, and
  // never the group root: that would make the operator an administrator.
  const bool groupMay = (mode & S_IRGRP) && (mode & S_IWGRP);
  if (groupMay && group != "root")
    return "the device belongs to group '" + group + "'; add yourself with: sudo usermod -aG " + group +
           " $USER, then log in again";
  char octal[8];
  std::snprintf(octal, sizeof octal, "%04o", mode & 07777u);
  return "the device has mode " + std::string(octal) + ": only its owner '" + owner + "'" +
         (groupMay ? " and the group 'root'" : "") + " may open it. A udev rule gives it to a group, e.g. in /etc/udev/rules.d/50-varnel.rules: "
         "KERNEL==\"" + device + "\", GROUP=\"dialout\", MODE=\"0660\" (then sudo udevadm trigger, and join "
         "dialout: sudo usermod -aG dialout $USER)";
}

std::string PermissionAdviceFor(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return {};
  const passwd* pw = getpwuid(st.st_uid);
  const group* gr = getgrgid(st.st_gid);
  std::string device = path;
  if (const auto slash = device.rfind('/'); slash != std::string::npos) device.erase(0, slash + 1);
  return PermissionAdvice(static_cast<unsigned>(st.st_mode), pw ? pw->pw_name : std::to_string(st.st_uid),
                          gr ? gr->gr_name : std::to_string(st.st_gid), device);
}
