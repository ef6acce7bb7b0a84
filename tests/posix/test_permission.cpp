// What an operator refused by the device is told: the group only when joining
// it would help, otherwise who may open it and how to change that.
#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "serial/posix/permission.h"

namespace {
bool Says(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
}  // namespace

TEST(PermissionAdvice, TheGroupOnlyWhenItMayReadAndWrite) {
  const struct {
    unsigned mode;
    bool joinGroup;  // else: the owner and a udev rule
  } cases[] = {
      {0660, true}, {0662, true}, {0600, false}, {0640, false}, {0620, false}, {0604, false}, {0000, false},
  };
  for (const auto& c : cases) {
    const std::string advice = PermissionAdvice(c.mode, "root", "dialout", "ttyUSB0");
    EXPECT_EQ(Says(advice, "sudo usermod -aG dialout $USER, then log in again") && !Says(advice, "udev"), c.joinGroup)
        << std::oct << c.mode << ": " << advice;
    if (!c.joinGroup) {
      char mode[8];
      std::snprintf(mode, sizeof mode, "%04o", c.mode);
      EXPECT_TRUE(Says(advice, std::string("mode ") + mode)) << advice;
      EXPECT_TRUE(Says(advice, "only its owner 'root'")) << advice;
      EXPECT_TRUE(Says(advice, "KERNEL==\"ttyUSB0\", GROUP=\"dialout\", MODE=\"0660\"")) << advice;
    }
  }
}

TEST(PermissionAdvice, NeverToJoinTheGroupRoot) {
  for (unsigned mode : {0660u, 0600u}) {
    const std::string advice = PermissionAdvice(mode, "root", "root", "ttyUSB0");
    EXPECT_FALSE(Says(advice, "usermod -aG root")) << advice;
    EXPECT_TRUE(Says(advice, "KERNEL==\"ttyUSB0\", GROUP=\"dialout\", MODE=\"0660\"")) << advice;
    EXPECT_EQ(Says(advice, "and the group 'root'"), mode == 0660u) << advice;
  }
}

TEST(PermissionAdvice, ReadsTheModeAndOwnersOfTheDevice) {
  char path[] = "/tmp/varnel-perm-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  ASSERT_EQ(chmod(path, 0600), 0);
  const std::string owner = PermissionAdviceFor(path);
  // Given to the serial devices' group where we may (as root), so that its
  // members' advice is what is read; a file of the group root gets none.
  const group* dialout = getgrnam("dialout");
  const bool rootGroup = !(dialout && chown(path, static_cast<uid_t>(-1), dialout->gr_gid) == 0) && getegid() == 0;
  ASSERT_EQ(chmod(path, 0660), 0);
  const std::string group = PermissionAdviceFor(path);
  unlink(path);
  EXPECT_TRUE(Says(owner, "mode 0600")) << owner;
  EXPECT_TRUE(Says(owner, std::string("KERNEL==\"") + (path + 5) + "\"")) << owner;  // the name without /tmp/
  EXPECT_EQ(Says(group, "the device belongs to group '"), !rootGroup) << group;
  EXPECT_EQ(PermissionAdviceFor("/nonexistent/ttyUSB9"), "");
}
