// The serial devices found on a machine and the COM names they get, over a
// fake sysfs and /dev tree: no dependence on this machine's hardware.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "serial/port_map.h"
#include "serial/posix/port_list_posix.h"

namespace fs = std::filesystem;

namespace {
class FakeMachine : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/varnel-sysfs-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    root = dir;
    roots = {(root / "sys/class/tty").string(), (root / "dev/serial/by-id").string(), (root / "dev").string()};
    fs::create_directories(roots.sysClassTty);
    fs::create_directories(roots.byId);
    for (const char* driver : {"serial", "ftdi_sio", "pl2303", "cdc_acm"})
      fs::create_directories(root / "sys/bus/drivers" / driver);
    // The 8250 UARTs: ttyS0, ttyS2 and ttyS10 have hardware, ttyS1 is a placeholder.
    for (const char* uart : {"ttyS0", "ttyS1", "ttyS2", "ttyS10"})
      Tty(uart, "sys/devices/pnp0/" + std::string(uart), "serial", uart == std::string("ttyS1") ? "0" : "4");
    // Consoles and pseudo-terminals: no device behind them.
    fs::create_directories(root / "sys/class/tty/tty0");
    fs::create_directories(root / "sys/class/tty/ptmx");
    Usb("1-1", "ttyUSB0", "ftdi_sio", "0403", "6001", "FTDI", "FT232R USB UART", "A12345");
    Usb("1-2", "ttyUSB1", "pl2303", "067b", "2303", "", "USB-Serial Controller", "");
    Usb("1-3", "ttyACM0", "cdc_acm", "2341", "0043", "Arduino (www.arduino.cc)", "", "75833353");
    Link(kFtdi, "ttyUSB0");
    Link(kProlific, "ttyUSB1");
    Link(kArduino, "ttyACM0");
  }
  void TearDown() override { fs::remove_all(root); }

  PortMap map;

  void Write(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p) << text << '\n';
  }
  void Tty(const std::string& name, const std::string& devicePath, const std::string& driver,
           const std::string& type = "") {
    const fs::path entry = root / "sys/class/tty" / name;
    fs::create_directories(entry);
    fs::create_directories(root / devicePath);
    fs::create_directory_symlink(root / devicePath, entry / "device");
    fs::create_directory_symlink(root / "sys/bus/drivers" / driver, root / devicePath / "driver");
    if (!type.empty()) Write(entry / "type", type);
    Write(root / "dev" / name, "");  // the device node
  }
  void Usb(const std::string& port, const std::string& tty, const std::string& driver, const std::string& vendor,
           const std::string& product, const std::string& maker, const std::string& productName,
           const std::string& serial) {
    const fs::path usb = root / "sys/devices/pci0/usb1" / port;
    Write(usb / "idVendor", vendor);
    Write(usb / "idProduct", product);
    if (!maker.empty()) Write(usb / "manufacturer", maker);
    if (!productName.empty()) Write(usb / "product", productName);
    if (!serial.empty()) Write(usb / "serial", serial);
    Tty(tty, fs::relative(usb / (port + ":1.0") / tty, root).string(), driver);
  }
  void Link(const std::string& stable, const std::string& tty) {
    const fs::path link = fs::path(roots.byId) / stable;
    fs::remove(link);
    fs::create_symlink("../../" + tty, link);
  }
  std::string Dev(const std::string& name) const { return (root / "dev" / name).string(); }
  std::string ById(const std::string& name) const { return (fs::path(roots.byId) / name).string(); }

  static constexpr const char* kFtdi = "usb-FTDI_FT232R_USB_UART_A12345-if00-port0";
  static constexpr const char* kProlific = "usb-Prolific_Technology_Inc._USB-Serial_Controller-if00-port0";
  static constexpr const char* kArduino = "usb-Arduino__www.arduino.cc__0043_75833353-if00";
  fs::path root;
  SerialRoots roots;
};
}  // namespace

TEST_F(FakeMachine, UartsWithHardwareInKernelOrderThenAdaptersByStableName) {
  const std::vector<PortInfo> ports = EnumeratePorts(roots);
  std::vector<std::string> devices;
  for (const PortInfo& p : ports) devices.push_back(p.device);
  EXPECT_EQ(devices, (std::vector<std::string>{Dev("ttyS0"), Dev("ttyS2"), Dev("ttyS10"), Dev("ttyACM0"),
                                               Dev("ttyUSB0"), Dev("ttyUSB1")}));
  ASSERT_EQ(ports.size(), 6u);
  EXPECT_EQ(ports[0].description, "serial");
  EXPECT_EQ(ports[4].description, "ftdi_sio, FTDI FT232R USB UART (0403:6001), serial A12345");
  EXPECT_EQ(ports[5].description, "pl2303, USB-Serial Controller (067b:2303)");
  EXPECT_EQ(ports[3].description, "cdc_acm, Arduino (www.arduino.cc) (2341:0043), serial 75833353");
  EXPECT_EQ(ports[4].stableNames, std::vector<std::string>{ById(kFtdi)});
  EXPECT_TRUE(ports[0].stableNames.empty());
}

TEST_F(FakeMachine, ComNamesFollowThatOrderByStableName) {
  map.UseDiscovered(EnumeratePorts(roots));
  const struct {
    const char* com;
    std::string reaches;
  } expected[] = {
      {"COM1", Dev("ttyS0")},      {"COM2", Dev("ttyS2")},     {"COM3", Dev("ttyS10")},
      {"COM4", ById(kArduino)},    {"COM5", ById(kFtdi)},      {"COM6", ById(kProlific)},
      {"COM7", ""},                {"COM21", ""},
  };
  for (const auto& e : expected) EXPECT_EQ(map.Resolve(e.com), e.reaches) << e.com;
  EXPECT_EQ(map.ComNameForDevice(ById(kFtdi)), "COM5");
  EXPECT_EQ(map.Describe("com5"), ById(kFtdi) + " (ftdi_sio, FTDI FT232R USB UART (0403:6001), serial A12345)");
  EXPECT_EQ(map.Describe("COM9"), "");
}

TEST_F(FakeMachine, ALaptopWithOneAdapterOpensItAsCom1) {
  for (const char* gone : {"ttyS0", "ttyS2", "ttyS10", "ttyUSB1", "ttyACM0"}) fs::remove_all(root / "sys/class/tty" / gone);
  fs::remove(fs::path(roots.byId) / kProlific);
  fs::remove(fs::path(roots.byId) / kArduino);
  map.UseDiscovered(EnumeratePorts(roots));
  EXPECT_EQ(map.Resolve("COM1"), ById(kFtdi));
  EXPECT_EQ(map.Resolve("COM2"), "");
}

TEST_F(FakeMachine, PortOptionsWinAndTheirDevicesGetNoSecondName) {
  map.Map("COM1", "/dev/pts/7");
  map.Map("COM4", ById(kFtdi));
  map.UseDiscovered(EnumeratePorts(roots));
  EXPECT_EQ(map.Resolve("COM1"), "/dev/pts/7");
  EXPECT_EQ(map.Resolve("COM2"), Dev("ttyS0"));
  EXPECT_EQ(map.Resolve("COM3"), Dev("ttyS2"));
  EXPECT_EQ(map.Resolve("COM4"), ById(kFtdi));
  EXPECT_EQ(map.Resolve("COM5"), Dev("ttyS10"));
  EXPECT_EQ(map.Resolve("COM6"), ById(kArduino));
  EXPECT_EQ(map.Resolve("COM7"), ById(kProlific));
  EXPECT_EQ(map.Resolve("COM8"), "");
}

TEST_F(FakeMachine, APluggedAgainAdapterKeepsItsComName) {
  map.UseDiscovered(EnumeratePorts(roots));
  const std::string ftdi = map.Resolve("COM5"), prolific = map.Resolve("COM6");
  // Both unplugged, plugged in again the other way round: the kernel numbers swap.
  Link(kFtdi, "ttyUSB1");
  Link(kProlific, "ttyUSB0");
  map.UseDiscovered(EnumeratePorts(roots));
  EXPECT_EQ(map.Resolve("COM5"), ftdi);
  EXPECT_EQ(map.Resolve("COM6"), prolific);
  EXPECT_EQ(fs::canonical(map.Resolve("COM5")), fs::path(Dev("ttyUSB1")));
}

// What the watch compares to know an adapter again: vendor, product and
// serial number, through a stable link or the bare node alike; where it sits
// on the bus for an adapter without a serial number; nothing for a UART.
TEST_F(FakeMachine, AnAdaptersIdentityIsWhatItSaysOfItself) {
  const struct {
    std::string path;
    std::string identity;
  } cases[] = {
      {ById(kFtdi), "usb 0403:6001 serial A12345"},
      {Dev("ttyUSB0"), "usb 0403:6001 serial A12345"},
      {ById(kArduino), "usb 2341:0043 serial 75833353"},
      {ById(kProlific), "usb 067b:2303 at 1-2"},
      {Dev("ttyS0"), ""},
      {Dev("ttyUSB9"), ""},  // not there
  };
  for (const auto& c : cases) EXPECT_EQ(UsbIdentity(c.path, roots), c.identity) << c.path;
}
