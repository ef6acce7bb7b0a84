// The serial port against real pseudo-terminals: bytes really cross a tty.
#include <errno.h>
#include <linux/capability.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <thread>

#include "test_pty.h"
#include "serial/com_base.h"
#include "test_dcb.h"
#include "serial/port_settings.h"

namespace {
// Counters and modem lines under the test's control.
class FakeLineIo : public LineIo {
 public:
  bool ErrorCounts(std::intptr_t, LineErrorCounts& out) override {
    out = counts;
    return supported;
  }
  bool LowerModemLines(std::intptr_t) override {
    ++lowered;
    return false;  // as a device without modem lines answers
  }
  LineErrorCounts counts;
  bool supported = true;
  int lowered = 0;
};

class SerialPort : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(pty.ok()); }
  bool OpenStartup() {
    const comm::DCB dcb = StartupDcb();
    return port.Open(pty.path(), &dcb, nullptr) == 1;
  }
  TestPty pty;
  CComSync port;
};
}  // namespace

TEST_F(SerialPort, OpenGivesRawModeAtTheAskedSpeed) {
  ASSERT_TRUE(OpenStartup());
  termios t{};
  ASSERT_EQ(tcgetattr(static_cast<int>(port.NativeHandle()), &t), 0);
  EXPECT_EQ(cfgetospeed(&t), B57600);
  EXPECT_EQ(cfgetispeed(&t), B57600);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_iflag & (IGNPAR | INPCK | PARMRK | ISTRIP | IXON | IXOFF | ICRNL), 0u);
  EXPECT_EQ(t.c_cflag & (CRTSCTS | HUPCL), 0u);
  EXPECT_EQ(t.c_cc[VMIN], 0);
  EXPECT_EQ(t.c_cc[VTIME], 0);
}

TEST_F(SerialPort, ReopensEveryTimeWithEveryParity) {
  for (std::uint8_t parity : {comm::NOPARITY, comm::ODDPARITY, comm::EVENPARITY, comm::MARKPARITY, comm::SPACEPARITY}) {
    for (int i = 0; i < 10; ++i) {
      const comm::DCB dcb = Dcb(i % 2 ? 115200 : 9600, parity);
      ASSERT_EQ(port.Open(pty.path(), &dcb, nullptr), 1) << "parity " << int(parity) << " open " << i;
      port.Close();
    }
  }
}

TEST_F(SerialPort, RefusedSettingsCloseTheHandleAndFreeTheLock) {
  for (std::uint32_t baud : {0u, 12345u}) {
    const comm::DCB dcb = Dcb(baud, comm::EVENPARITY);
    EXPECT_EQ(port.Open(pty.path(), &dcb, nullptr), 0) << baud;
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.LastError(), SerialError::UnsupportedSettings);
    const int fd = open(pty.path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0) << "the lock outlived the refused open";
    close(fd);
  }
}

TEST(SerialPortErrors, MissingDeviceAndNoSerialDevice) {
  CComSync port;
  EXPECT_EQ(port.Open("/dev/ttyVarnelNone0", nullptr, nullptr), 0);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(port.LastError(), SerialError::DeviceNotFound);
  EXPECT_NE(port.LastErrorText().find("/dev/ttyVarnelNone0"), std::string::npos);
  EXPECT_EQ(port.Open("/dev/null", nullptr, nullptr), 0);
  EXPECT_EQ(port.LastError(), SerialError::DeviceNotFound);
}

TEST_F(SerialPort, ASecondOpenerIsRefused) {
  ASSERT_TRUE(OpenStartup());
  CComSync second;  // another Varnel, even as root: the flock stops it
  const comm::DCB dcb = StartupDcb();
  EXPECT_EQ(second.Open(pty.path(), &dcb, nullptr), 0);
  EXPECT_EQ(second.LastError(), SerialError::DeviceBusy);
  EXPECT_TRUE(port.IsOpen());
}

// Another program holds the line with TIOCEXCL alone (no flock): the panel
// refuses it even as root, and leaves the other program's flag alone.
TEST_F(SerialPort, ALineAnotherProgramHoldsExclusivelyIsRefusedEvenAsRoot) {
  const int other = open(pty.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(other, 0);
  ASSERT_EQ(ioctl(other, TIOCEXCL), 0);
  const comm::DCB dcb = StartupDcb();
  EXPECT_EQ(port.Open(pty.path(), &dcb, nullptr), 0);
  EXPECT_EQ(port.LastError(), SerialError::DeviceBusy);
  EXPECT_NE(port.LastErrorText().find("held by another program"), std::string::npos) << port.LastErrorText();
  int exclusive = 0;
  ASSERT_EQ(ioctl(other, TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 1) << "the other program's exclusive flag was cleared";
  ioctl(other, TIOCNXCL);
  close(other);
  EXPECT_TRUE(OpenStartup());  // free again: ours
}

TEST_F(SerialPort, ExclusiveAgainstAProcessWithoutCapSysAdmin) {
  // Root ignores TIOCEXCL, so the check runs in a child that dropped the
  // capability; there a plain open of the device must fail with EBUSY.
  ASSERT_TRUE(OpenStartup());
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (syscall(SYS_capget, &header, data) != 0) _exit(10);
    data[CAP_SYS_ADMIN / 32].effective &= ~(1u << (CAP_SYS_ADMIN % 32));
    data[CAP_SYS_ADMIN / 32].permitted &= ~(1u << (CAP_SYS_ADMIN % 32));
    if (syscall(SYS_capset, &header, data) != 0) _exit(11);
    const int fd = open(pty.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) _exit(1);
    _exit(errno == EBUSY ? 0 : 2);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: opened despite TIOCEXCL, 2: other error, 10/11: capability calls";
  port.Close();
  // Closed, the device is free again for everybody.
  const int fd = open(pty.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  EXPECT_GE(fd, 0);
  if (fd >= 0) close(fd);
}

TEST_F(SerialPort, TheOtherEndGoingAwayGivesZeroNotAHangAndIsSaidOnce) {
  ASSERT_TRUE(OpenStartup());
  std::uint8_t buf[64] = {};
  EXPECT_EQ(port.Read(buf, sizeof buf), 0);
  EXPECT_FALSE(port.Gone());
  pty.CloseMaster();
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(port.Read(buf, sizeof buf), 0);
    EXPECT_EQ(port.Write(buf, sizeof buf), 0);
  }
  EXPECT_FALSE(port.IsOpen());  // the dead handle is let go, so the device's name can come back
  EXPECT_TRUE(port.Gone());
  EXPECT_EQ(port.TakeNotice(), pty.path() + " went away; nothing tells it from the next device or terminal to take " +
                                   pty.path() +
                                   " (no stable name, no serial number), so it is not opened again by itself: choose "
                                   "the port again once it is back");
  EXPECT_EQ(port.Read(buf, sizeof buf), 0);
  EXPECT_EQ(port.TakeNotice(), "") << "said once";
  // Choosing the port again opens whatever is there now.
  TestPty back;
  const comm::DCB dcb = StartupDcb();
  ASSERT_EQ(port.Open(back.path(), &dcb, nullptr), 1);
  EXPECT_FALSE(port.Gone());
  EXPECT_EQ(port.Write(buf, 8), 8);
  EXPECT_EQ(back.Receive(8).size(), 8u);
}

TEST_F(SerialPort, ALineErrorDiscardsWhatIsQueued) {
  FakeLineIo io;
  port.SetLineIo(&io);
  ASSERT_TRUE(OpenStartup());
  EXPECT_EQ(io.lowered, 1);  // DTR and RTS lowered; the refusal does not fail the open
  pty.Send({0xAA, 0xBB, 0xCC});
  ASSERT_TRUE(WaitQueued(port.NativeHandle(), 3));
  io.counts.parity = 1;  // the driver counted a parity error
  std::uint8_t buf[16] = {};
  EXPECT_EQ(port.Read(buf, sizeof buf), 0);
  pty.Send({0x11});
  ASSERT_TRUE(WaitQueued(port.NativeHandle(), 1));
  EXPECT_EQ(port.Read(buf, sizeof buf), 1);
  EXPECT_EQ(buf[0], 0x11);
  port.SetLineIo(nullptr);
}

TEST_F(SerialPort, ALineErrorBeforeAWriteStillWrites) {
  FakeLineIo io;
  port.SetLineIo(&io);
  ASSERT_TRUE(OpenStartup());
  io.counts.frame = 3;
  const std::uint8_t b[3] = {1, 2, 3};
  EXPECT_EQ(port.Write(b, 3), 3);
  EXPECT_EQ(pty.Receive(3), std::vector<std::uint8_t>({1, 2, 3}));
  port.SetLineIo(nullptr);
}

TEST_F(SerialPort, DriversWithoutCountersNeverFailReads) {
  FakeLineIo io;
  io.supported = false;
  io.counts.overrun = 99;  // not to be believed: the driver said it keeps none
  port.SetLineIo(&io);
  ASSERT_TRUE(OpenStartup());
  pty.Send({0x42});
  ASSERT_TRUE(WaitQueued(port.NativeHandle(), 1));
  std::uint8_t buf[4];
  EXPECT_EQ(port.Read(buf, 4), 1);
  port.SetLineIo(nullptr);
}

// A device that stops reading (here: nobody reads the far end) costs one
// deadline; after it, writes hand over what the driver takes and return at
// once, until the device reads again and a frame goes out whole.
TEST_F(SerialPort, AStalledDeviceCostsOneDeadlineNotOnePerWrite) {
  ASSERT_TRUE(OpenStartup());
  const std::vector<std::uint8_t> frame(48, 0x7E);
  using Clock = std::chrono::steady_clock;
  // Fill the line until a write runs into its deadline.
  int writes = 0;
  const auto start = Clock::now();
  while (!port.Stalled() && writes < 10000) {
    port.Write(frame.data(), 48);
    ++writes;
  }
  ASSERT_TRUE(port.Stalled()) << "the line never filled";
  const double fillSeconds = std::chrono::duration<double>(Clock::now() - start).count();
  EXPECT_GT(fillSeconds, 1.9) << "the deadline was not waited for";
  EXPECT_EQ(port.TakeNotice(), pty.path() + " is not taking data");
  EXPECT_EQ(port.TakeNotice(), "") << "said once";

  // Another 500 writes: none waits for the driver (each would take 2 s).
  const auto stalledAt = Clock::now();
  int taken = 0;
  for (int i = 0; i < 500; ++i) taken += port.Write(frame.data(), 48);
  const double seconds = std::chrono::duration<double>(Clock::now() - stalledAt).count();
  EXPECT_LT(seconds, 2.0) << "writes waited while the device was stalled";
  EXPECT_TRUE(port.Stalled());
  EXPECT_EQ(port.TakeNotice(), "");

  // The far end reads again: the next frame goes out whole and that is said.
  pty.Drain(200);
  std::vector<std::uint8_t> query(48);
  for (int i = 0; i < 48; ++i) query[i] = static_cast<std::uint8_t>(i);
  EXPECT_EQ(port.Write(query.data(), 48), 48);
  EXPECT_FALSE(port.Stalled());
  EXPECT_EQ(port.TakeNotice(), pty.path() + " takes data again");
  const std::vector<std::uint8_t> after = pty.Drain(200);
  ASSERT_GE(after.size(), 48u);
  EXPECT_EQ(std::vector<std::uint8_t>(after.end() - 48, after.end()), query);
  std::fprintf(stderr, "fill %.3f s (%d writes), 500 stalled writes %.3f s\n", fillSeconds, writes, seconds);
  (void)taken;
}

// A device that stops reading and later reads again only ever receives whole
// frames, in the order they were sent: the frame a deadline cut is finished
// before anything else, and a frame that does not fit while the device is
// stalled is not started at all.
TEST_F(SerialPort, AStalledDeviceReceivesOnlyWholeFrames) {
  ASSERT_TRUE(OpenStartup());
  auto frame = [](int n) {
    std::vector<std::uint8_t> f(48);
    for (int i = 0; i < 48; ++i) f[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(n * 48 + i);
    f[0] = 0x7E;
    f[1] = static_cast<std::uint8_t>(n);  // which frame this is
    f[2] = static_cast<std::uint8_t>(n >> 8);
    return f;
  };
  int sent = 0;
  while (!port.Stalled() && sent < 10000) port.Write(frame(sent++).data(), 48);
  ASSERT_TRUE(port.Stalled());
  for (int i = 0; i < 200; ++i) port.Write(frame(sent++).data(), 48);  // presses while stalled
  std::vector<std::uint8_t> received = pty.Drain(300);  // the device reads again
  for (int i = 0; i < 3; ++i) {
    port.Write(frame(sent++).data(), 48);
    const std::vector<std::uint8_t> more = pty.Drain(200);
    received.insert(received.end(), more.begin(), more.end());
  }
  EXPECT_FALSE(port.Stalled());
  ASSERT_EQ(received.size() % 48, 0u) << "a frame was cut";
  int last = -1;
  for (std::size_t at = 0; at < received.size(); at += 48) {
    const int n = received[at + 1] | received[at + 2] << 8;
    EXPECT_EQ(std::vector<std::uint8_t>(received.begin() + static_cast<long>(at), received.begin() + static_cast<long>(at) + 48),
              frame(n))
        << "frame at byte " << at;
    EXPECT_GT(n, last) << "out of order at byte " << at;
    last = n;
  }
  EXPECT_EQ(last, sent - 1) << "the frames after the device read again arrive";
  std::fprintf(stderr, "%d frames sent, %zu whole frames received\n", sent, received.size() / 48);
}

// The watch opens again only the device the operator opened: a USB adapter
// by what it says of itself (vendor, product, serial number), a device that
// says nothing only through a stable name that went away with it. A
// different device under the same name is said once and left alone.
TEST(SerialPortWatch, OnlyTheSameDeviceIsOpenedAgain) {
  char dir[] = "/tmp/varnel-watch-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string link = std::string(dir) + "/gimbal";  // as /dev/serial/by-path/... is
  std::map<std::string, std::string> identities;          // what each pseudo-terminal "says of itself"
  CComSync port;
  port.SetIdentityReader([&](const std::string& path) {
    std::error_code ec;
    const std::string real = std::filesystem::canonical(path, ec).string();
    return identities.count(real) ? identities[real] : std::string();
  });
  const comm::DCB dcb = StartupDcb();
  auto first = std::make_unique<TestPty>();
  identities[first->path()] = "usb 0403:6001 serial A12345";
  std::filesystem::create_symlink(first->path(), link);
  ASSERT_EQ(port.Open(link, &dcb, nullptr), 1);

  // Unplugged: its name goes; another adapter takes the name.
  first->CloseMaster();
  std::uint8_t buf[8] = {};
  EXPECT_EQ(port.Read(buf, sizeof buf), 0);
  ASSERT_TRUE(port.Gone());
  EXPECT_EQ(port.TakeNotice(), link + " went away; it is opened again once it is back");
  std::filesystem::remove(link);
  EXPECT_EQ(port.OpenAgain(link, &dcb), 0);  // not there yet
  EXPECT_EQ(port.TakeNotice(), "");
  TestPty other;
  identities[other.path()] = "usb 0403:6001 serial B77777";
  std::filesystem::create_symlink(other.path(), link);
  for (int look = 0; look < 3; ++look) EXPECT_EQ(port.OpenAgain(link, &dcb), 0);
  EXPECT_EQ(port.TakeNotice(), "a different device is at " + link + " now; not opened");
  EXPECT_EQ(port.TakeNotice(), "") << "said once";
  EXPECT_FALSE(port.IsOpen());

  // The operator's own adapter again under the name: opened.
  identities[other.path()] = "usb 0403:6001 serial A12345";
  EXPECT_EQ(port.OpenAgain(link, &dcb), 1);
  EXPECT_FALSE(port.Gone());

  // The operator chooses a bare pseudo-terminal (nothing to know it by): once
  // it has gone, whatever takes its path next is not opened by the watch.
  auto bare = std::make_unique<TestPty>();
  ASSERT_EQ(port.Open(bare->path(), &dcb, nullptr), 1);
  const std::string path = bare->path();
  bare->CloseMaster();
  EXPECT_EQ(port.Read(buf, sizeof buf), 0);
  ASSERT_TRUE(port.Gone());
  EXPECT_NE(port.TakeNotice().find("is not opened again by itself"), std::string::npos);
  bare.reset();
  std::vector<std::unique_ptr<TestPty>> next;  // until one takes the same number, as another program's would
  for (int i = 0; i < 8 && (next.empty() || next.back()->path() != path); ++i) next.push_back(std::make_unique<TestPty>());
  EXPECT_EQ(port.OpenAgain(path, &dcb), 0);
  EXPECT_FALSE(port.IsOpen());
  std::filesystem::remove_all(dir);
}
