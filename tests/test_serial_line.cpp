// The serial port across a real line, the same on every platform: a
// pseudo-terminal on Linux, a null-modem pair of them under Wine.
#include <gtest/gtest.h>

#include "serial/com_base.h"
#include "serial/port_settings.h"
#include "test_pty.h"

namespace {
class SerialLine : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(line.ok());
    const comm::DCB dcb = StartupDcb();
    ASSERT_EQ(port.Open(line.path(), &dcb, nullptr), 1) << port.LastErrorText();
  }
  TestPty line;
  CComSync port;
};
}  // namespace

TEST_F(SerialLine, AFrameArrivesByteForByte) {
  std::vector<std::uint8_t> frame(48);
  for (int i = 0; i < 48; ++i) frame[i] = static_cast<std::uint8_t>(0x7E + i * 7);
  EXPECT_EQ(port.Write(frame.data(), 48), 48);
  EXPECT_EQ(line.Receive(48), frame);
  EXPECT_EQ(line.Drain(50).size(), 0u) << "more than the frame went out";
}

TEST_F(SerialLine, AReplyComesBackInOneReadAndNothingQueuedGivesZero) {
  std::uint8_t buf[1000] = {};
  EXPECT_EQ(port.Read(buf, sizeof buf), 0);
  const std::vector<std::uint8_t> reply = {0xBB, 0x09, 0x01, 0x49, 0x02, 0x00, 0x00, 0x00};
  line.Send(reply);
  ASSERT_TRUE(WaitQueued(port.NativeHandle(), 8));
  ASSERT_EQ(port.Read(buf, sizeof buf), 8);
  EXPECT_EQ(std::vector<std::uint8_t>(buf, buf + 8), reply);
  EXPECT_EQ(port.Read(buf, sizeof buf), 0);
}

TEST_F(SerialLine, ReadTakesAtMostMaxAndLeavesTheRest) {
  line.Send({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  ASSERT_TRUE(WaitQueued(port.NativeHandle(), 10));
  std::uint8_t buf[100] = {};
  EXPECT_EQ(port.Read(buf, 4), 4);
  EXPECT_EQ(buf[3], 4);
  EXPECT_EQ(port.Read(buf, 100), 6);
  EXPECT_EQ(buf[0], 5);
}

TEST_F(SerialLine, ClosedPortAndNullBufferDoNothing) {
  std::uint8_t buf[8] = {};
  EXPECT_EQ(port.Write(nullptr, 8), 0);
  port.Close();
  port.Close();
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(port.Read(buf, 8), 0);
  EXPECT_EQ(port.Write(buf, 8), 0);
  EXPECT_EQ(line.Drain(50).size(), 0u);
}
