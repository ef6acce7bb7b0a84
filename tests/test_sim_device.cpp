// The simulated gimbal inside the program, through the port operations: what
// `--simulate` gives the panel where there are no pseudo-terminals.
#include <gtest/gtest.h>

#include <thread>

#include "bytes.h"
#include "literal_frames.h"
#include "serial/com_base.h"
#include "serial/port_map.h"
#include "serial/port_settings.h"
#include "sim/sim_device.h"

namespace {
class InProcess : public ::testing::Test {
 protected:
  void SetUp() override { map.Map("COM1", SimDevice::kName); }
  void TearDown() override { port.Close(); }
  bool Open() {
    const comm::DCB dcb = StartupDcb();
    return port.Open("COM1", &dcb, nullptr) == 1;
  }
  PortMap map;
  CComSync port{&map};
};

}  // namespace

TEST_F(InProcess, AQueryIsAnsweredOnTheNextRead) {
  SimDevice device;
  map.AttachInProcess(SimDevice::kName, &device);
  ASSERT_TRUE(Open());
  EXPECT_EQ(port.DevicePath(), SimDevice::kName);
  std::uint8_t buf[1000];
  EXPECT_EQ(port.Read(buf, sizeof buf), 0);
  EXPECT_EQ(port.Write(Literal("query state").data(), 48), 48);
  ASSERT_EQ(port.Read(buf, sizeof buf), 8);
  EXPECT_EQ(buf[0], 0xBB);
  EXPECT_EQ(buf[1], 0x09);
  EXPECT_EQ(port.Read(buf, sizeof buf), 0);
  EXPECT_EQ(device.gimbal().FramesAccepted(), 1);
}

TEST_F(InProcess, LateRepliesWaitForTheirTimeAndReadsTakeAtMostMax) {
  SimOptions options;
  options.replyDelayMs = 60;
  SimDevice device(options);
  map.AttachInProcess(SimDevice::kName, &device);
  ASSERT_TRUE(Open());
  port.Write(Literal("query state").data(), 48);
  std::uint8_t buf[16];
  EXPECT_EQ(port.Read(buf, sizeof buf), 0);  // not due yet, and the read does not wait
  std::this_thread::sleep_for(std::chrono::milliseconds(80));
  EXPECT_EQ(port.Read(buf, 5), 5);
  EXPECT_EQ(port.Read(buf, sizeof buf), 3);
}

TEST_F(InProcess, SettingsRefusalsCloseAndAGoneDeviceIsNoPort) {
  SimDevice device;
  map.AttachInProcess(SimDevice::kName, &device);
  comm::DCB none = StartupDcb();
  none.BaudRate = 0;
  EXPECT_EQ(port.Open("COM1", &none, nullptr), 0);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(port.LastError(), SerialError::UnsupportedSettings);
  ASSERT_TRUE(Open());
  port.Close();
  std::uint8_t buf[8];
  EXPECT_EQ(port.Read(buf, 8), 0);
  EXPECT_EQ(port.Write(Literal("query state").data(), 48), 0);
  EXPECT_EQ(device.gimbal().FramesAccepted(), 0);
  map.AttachInProcess(SimDevice::kName, nullptr);
  EXPECT_FALSE(Open());
  EXPECT_EQ(port.LastError(), SerialError::DeviceNotFound);
}
