// The session log on a disk that fills up and gets room again: never a torn
// line, lines left out said once, and once it can be written again a note
// where the lines are missing. A file size limit (RLIMIT_FSIZE) stands in for
// the full disk: the system stops a write part way exactly as it does there.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/session_log.h"

namespace {
std::vector<std::string> LinesOf(const std::string& path, std::string* raw = nullptr) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  if (raw) *raw = text.str();
  std::vector<std::string> lines;
  for (std::string l; std::getline(text, l);) lines.push_back(l);
  return lines;
}
}  // namespace

TEST(SessionLogFile, AFullDiskLeavesWholeLinesAndTheLogResumesWithANote) {
  signal(SIGXFSZ, SIG_IGN);  // the limit then fails the write (EFBIG), as a full disk does (ENOSPC)
  char path[] = "/tmp/varnel-full-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  std::vector<std::string> said;
  {
    SessionLog log([&](const std::string& s) { said.push_back(s); });
    ASSERT_TRUE(log.Open(path));
    const std::uint8_t frame[48] = {0x7e, 0x7e, 0x44, 0x00, 0x00, 0x8b, 0x02};
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    rlimit full = before;
    full.rlim_cur = 250;  // room for one line (170 bytes) and part of a second
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &full), 0);
    for (int i = 0; i < 3; ++i) log.Record(SessionLog::Direction::kSent, frame, sizeof frame);
    std::string raw;
    const std::vector<std::string> whileFull = LinesOf(path, &raw);
    ASSERT_EQ(whileFull.size(), 1u);
    EXPECT_EQ(raw.back(), '\n') << "a torn line";
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0].rfind(std::string("cannot write the session log ") + path + ": File too large; going on without it", 0), 0u)
        << said[0];

    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &before), 0);  // room again
    log.Record(SessionLog::Direction::kReceived, frame, 8);
    log.Note("COM1 (/dev/ttyUSB0) is back");
  }
  std::string raw;
  const std::vector<std::string> lines = LinesOf(path, &raw);
  unlink(path);
  ASSERT_EQ(lines.size(), 4u) << raw;
  EXPECT_NE(lines[0].find(" TX 7e-7e-44-00-00-8b-02-"), std::string::npos);
  EXPECT_NE(lines[1].find(" -- 2 lines are missing here: the session log could not be written"), std::string::npos)
      << lines[1];
  EXPECT_NE(lines[2].find(" RX 7e-7e-44-00-00-8b-02-00"), std::string::npos);
  EXPECT_NE(lines[3].find(" -- COM1 (/dev/ttyUSB0) is back"), std::string::npos);
  ASSERT_EQ(said.size(), 2u);
  EXPECT_EQ(said[1], std::string("the session log ") + path + " is written again; 2 lines are missing from it");
}

// Room for the note of missing lines but not for a frame: the log is not
// back yet, so neither message is said twice.
TEST(SessionLogFile, RoomForTheNoteAloneIsNotTheLogWrittenAgain) {
  signal(SIGXFSZ, SIG_IGN);
  char path[] = "/tmp/varnel-full-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  std::vector<std::string> said;
  {
    SessionLog log([&](const std::string& s) { said.push_back(s); });
    ASSERT_TRUE(log.Open(path));
    const std::uint8_t frame[48] = {0x7e, 0x7e, 0x44};
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    rlimit full = before;
    full.rlim_cur = 0;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &full), 0);
    log.Record(SessionLog::Direction::kSent, frame, sizeof frame);
    full.rlim_cur = 120;  // the note (about 90 bytes), not a frame's line (170)
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &full), 0);
    log.Record(SessionLog::Direction::kSent, frame, sizeof frame);
    log.Record(SessionLog::Direction::kSent, frame, sizeof frame);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &before), 0);
    log.Record(SessionLog::Direction::kReceived, frame, 8);
  }
  const std::vector<std::string> lines = LinesOf(path);
  unlink(path);
  ASSERT_EQ(said.size(), 2u);
  EXPECT_EQ(said[0].rfind("cannot write the session log ", 0), 0u) << said[0];
  EXPECT_EQ(said[1], std::string("the session log ") + path + " is written again; 3 lines are missing from it");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_NE(lines[0].find(" -- 1 lines are missing here"), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find(" -- 2 lines are missing here"), std::string::npos) << lines[1];
  EXPECT_NE(lines[2].find(" RX 7e-7e-44"), std::string::npos) << lines[2];
}

// A file the panel writes is not reached through a link another user made
// in a sticky folder anyone may write to (where root would write wherever
// that user points), as the kernel's fs.protected_symlinks has it; the
// user's own link there, and the folder owner's, are followed.
TEST(SessionLogFile, ALinkAnotherUserPlantedInAStickyFolderIsNotFollowed) {
  if (geteuid() != 0) GTEST_SKIP() << "planting another user's link takes root";
  char base[] = "/tmp/varnel-links-XXXXXX";
  ASSERT_NE(mkdtemp(base), nullptr);
  const std::string dir = std::string(base) + "/shared", target = std::string(base) + "/target";
  ASSERT_EQ(mkdir(dir.c_str(), 0777), 0);
  ASSERT_EQ(chmod(dir.c_str(), 01777), 0);  // as /tmp is
  const uid_t other = 65534;
  const struct {
    const char* name;
    uid_t linkOwner, dirOwner;
    bool followed;
  } cases[] = {
      {"another user's link", other, 0, false},
      {"the user's own link", 0, 0, true},
      {"the folder owner's link", other, other, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(chown(dir.c_str(), c.dirOwner, 0), 0);
    const std::string link = dir + "/session.log";
    unlink(link.c_str());
    unlink(target.c_str());
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    ASSERT_EQ(lchown(link.c_str(), c.linkOwner, 0), 0);
    std::vector<std::string> said;
    {
      SessionLog log([&](const std::string& s) { said.push_back(s); });
      EXPECT_EQ(log.Open(link), c.followed);
      log.Note("written");
    }
    EXPECT_EQ(access(target.c_str(), F_OK) == 0, c.followed);
    if (!c.followed) {
      ASSERT_EQ(said.size(), 1u);
      EXPECT_EQ(said[0], "cannot open the session log " + link + ": is a link another user made in " + dir +
                             ", a folder anyone may write to: not followed; going on without it");
    }
  }
  std::filesystem::remove_all(base);
}
