// The serial port on the Win32 calls, under Wine, across real pseudo-terminals
// linked as COM ports (a null-modem pair: COM31 here, COM32 the far end).
#include <gtest/gtest.h>

#include "serial/com_base.h"
#include "serial/port_map.h"
#include "serial/port_settings.h"
#include "serial/win32/open_error.h"
#include "test_dcb.h"
#include "test_pty.h"

namespace {
class SerialPort : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(far.ok()) << "no null-modem pair: run the test through scripts/wine-run.sh";
  }
  ::testing::AssertionResult OpenStartup(const std::string& name) {
    const comm::DCB dcb = StartupDcb();
    if (port.Open(name, &dcb, nullptr) == 1) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << port.LastErrorText();
  }
  TestPty far;
  PortMap map;
  CComSync port{&map};
};

std::vector<std::uint8_t> Frame48() {
  std::vector<std::uint8_t> f(48);
  for (int i = 0; i < 48; ++i) f[i] = static_cast<std::uint8_t>(0x7E + i * 7);
  return f;
}
}  // namespace

TEST_F(SerialPort, TheLineIsSetAsAskedWithAWriteDeadline) {
  ASSERT_TRUE(OpenStartup(far.path()));
  EXPECT_EQ(DeviceBaud(port.NativeHandle()), 57600u);
  // No write time-out was asked for: the line time of the bytes (1 ms a byte
  // is at least 11 bits at 57600) plus two seconds instead.
  EXPECT_EQ(WriteTimeouts(port.NativeHandle()), std::make_pair(1ul, 2000ul));
  port.Close();
  const comm::DCB slow = Dcb(9600, comm::NOPARITY);
  ASSERT_EQ(port.Open(far.path(), &slow, nullptr), 1);
  EXPECT_EQ(WriteTimeouts(port.NativeHandle()), std::make_pair(2ul, 2000ul));
}

TEST_F(SerialPort, ReopensEveryTimeWithEveryParityAndBaud) {
  for (std::uint8_t parity : {comm::NOPARITY, comm::ODDPARITY, comm::EVENPARITY, comm::MARKPARITY, comm::SPACEPARITY}) {
    for (std::uint32_t baud : {9600u, 115200u}) {
      const comm::DCB dcb = Dcb(baud, parity);
      ASSERT_EQ(port.Open(far.path(), &dcb, nullptr), 1)
          << "parity " << int(parity) << " baud " << baud << ": " << port.LastErrorText();
      port.Close();
      EXPECT_FALSE(port.IsOpen());
    }
  }
  ASSERT_TRUE(OpenStartup(far.path()));
  const std::vector<std::uint8_t> frame = Frame48();
  EXPECT_EQ(port.Write(frame.data(), 48), 48);
  EXPECT_EQ(far.Receive(48), frame);
}

TEST(SerialPortNames, Com21OpensThroughTheDeviceNamespaceOnly) {
  // The runner links COM21 to the same line as COM31 (the first pair).
  // Windows opens COM10 and above only as \\.\COM21; the bare name is
  // "file not found".
  TestPty line(0);
  ASSERT_EQ(line.path(), "COM31");
  EXPECT_EQ(CreateFileError("COM21"), 2ul);
  EXPECT_EQ(CreateFileError("\\\\.\\COM21"), 0ul);
  CComSync port;
  const comm::DCB dcb = StartupDcb();
  ASSERT_EQ(port.Open("COM21", &dcb, nullptr), 1) << port.LastErrorText();
  EXPECT_EQ(port.DevicePath(), "\\\\.\\COM21");
  const std::vector<std::uint8_t> frame = Frame48();
  EXPECT_EQ(port.Write(frame.data(), 48), 48);
  EXPECT_EQ(line.Receive(48), frame);
}

TEST_F(SerialPort, AMappedComNameReachesTheOtherPort) {
  map.Map("COM1", far.path());  // --port COM1=COM31
  ASSERT_TRUE(OpenStartup("COM1"));
  EXPECT_EQ(port.DevicePath(), "\\\\.\\" + far.path());
  EXPECT_EQ(map.ComNameForDevice(far.path()), "COM1");
}

TEST(SerialPortErrors, AMissingPortFailsWithItsReason) {
  CComSync port;
  EXPECT_EQ(port.Open(kMissingPort, nullptr, nullptr), 0);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(port.LastError(), SerialError::DeviceNotFound);
  EXPECT_NE(port.LastErrorText().find(kMissingPort), std::string::npos) << port.LastErrorText();
  EXPECT_NE(port.LastErrorText().find("no such port"), std::string::npos) << port.LastErrorText();
  std::uint8_t buf[8] = {};
  EXPECT_EQ(port.Read(buf, 8), 0);
  EXPECT_EQ(port.Write(buf, 8), 0);
  port.Close();
  port.Close();
}

TEST(SerialPortErrors, EveryOpenErrorIsMappedToWhatTheOperatorCanDo) {
  const struct {
    unsigned long code;
    SerialError error;
    const char* says;
  } cases[] = {
      {2, SerialError::DeviceNotFound, "no such port"},       // ERROR_FILE_NOT_FOUND
      {3, SerialError::DeviceNotFound, "no such port"},       // ERROR_PATH_NOT_FOUND
      {123, SerialError::DeviceNotFound, "no such port"},     // ERROR_INVALID_NAME
      {5, SerialError::DeviceBusy, "in use by another program"},   // ERROR_ACCESS_DENIED
      {32, SerialError::DeviceBusy, "in use by another program"},  // ERROR_SHARING_VIOLATION
      {31, SerialError::Resource, "does not answer"},        // ERROR_GEN_FAILURE
      {1167, SerialError::Resource, "does not answer"},      // ERROR_DEVICE_NOT_CONNECTED
      {1784, SerialError::Resource, "error 1784"},           // anything else: the system's words
  };
  for (const auto& c : cases) {
    const serial_backend::OpenResult r = serial_backend::MapOpenError(c.code);
    EXPECT_EQ(r.error, c.error) << c.code;
    EXPECT_NE(r.reason.find(c.says), std::string::npos) << c.code << ": " << r.reason;
    EXPECT_EQ(r.handle, comm::INVALID_HANDLE_VALUE);
  }
}
