// The serial devices present, from sysfs, with their stable by-id names.
#include "serial/posix/port_list_posix.h"

#include "serial/backend.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {
std::string ReadFirstLine(const fs::path& p) {
  std::ifstream in(p);
  std::string line;
  std::getline(in, line);
  return line;
}

bool IsBuiltInUart(const std::string& name) { return name.rfind("ttyS", 0) == 0; }

// ttyS10 after ttyS9: the kernel's order, not the alphabet's.
long KernelIndex(const std::string& name) {
  const auto digits = name.find_first_of("0123456789");
  return digits == std::string::npos ? -1 : std::strtol(name.c_str() + digits, nullptr, 10);
}

// "ftdi_sio, FTDI FT232R USB UART (0403:6001), serial A12345": the driver,
// and for a USB adapter what its USB device says of itself.
std::string Describe(const fs::path& ttyEntry) {
  std::error_code ec;
  fs::path device = fs::canonical(ttyEntry / "device", ec);
  if (ec) return {};
  std::string driver;
  // Newer kernels put generic serial-base devices in between, whose ancestor
  // has the real driver.
  for (fs::path d = device; driver.empty() && d.has_relative_path() && d != d.parent_path(); d = d.parent_path()) {
    std::error_code e;
    if (fs::read_symlink(d / "subsystem", e).filename() == "serial-base") continue;
    const fs::path link = fs::read_symlink(d / "driver", e);
    if (!e) driver = link.filename();
    break;
  }
  std::string usb;
  for (fs::path d = device; d.has_relative_path() && d != d.parent_path(); d = d.parent_path()) {
    if (!fs::exists(d / "idVendor", ec)) continue;
    const std::string vendor = ReadFirstLine(d / "idVendor"), product = ReadFirstLine(d / "idProduct");
    std::string name = ReadFirstLine(d / "manufacturer");
    const std::string productName = ReadFirstLine(d / "product");
    if (!productName.empty()) name += (name.empty() ? "" : " ") + productName;
    usb = (name.empty() ? "" : name + " ") + "(" + vendor + ":" + product + ")";
    const std::string serial = ReadFirstLine(d / "serial");
    if (!serial.empty()) usb += ", serial " + serial;
    break;
  }
  if (driver.empty()) return usb;
  return usb.empty() ? driver : driver + ", " + usb;
}
}  // namespace

std::vector<PortInfo> EnumeratePorts(const SerialRoots& roots) {
  std::vector<PortInfo> ports;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(roots.sysClassTty, ec)) {
    const std::string name = entry.path().filename();
    // Only devices backed by a driver: the virtual consoles and ptys have no
    // "device" link.
    if (!fs::exists(entry.path() / "device", ec)) continue;
    // A PC always has ttyS0..ttyS3 reserved; without a UART they say type 0.
    if (IsBuiltInUart(name) && ReadFirstLine(entry.path() / "type") == "0") continue;
    PortInfo info;
    info.device = (fs::path(roots.dev) / name).string();
    info.description = Describe(entry.path());
    ports.push_back(info);
  }
  for (const auto& link : fs::directory_iterator(roots.byId, ec)) {
    std::error_code e;
    const fs::path target = fs::canonical(link.path(), e);
    if (e) continue;
    for (PortInfo& p : ports)
      if (fs::path(p.device) == target) p.stableNames.push_back(link.path().string());
  }
  for (PortInfo& p : ports) std::sort(p.stableNames.begin(), p.stableNames.end());
  std::sort(ports.begin(), ports.end(), [](const PortInfo& a, const PortInfo& b) {
    const std::string an = fs::path(a.device).filename(), bn = fs::path(b.device).filename();
    if (IsBuiltInUart(an) != IsBuiltInUart(bn)) return IsBuiltInUart(an);
    if (IsBuiltInUart(an)) return KernelIndex(an) < KernelIndex(bn);
    // Adapters by stable name, so that the same set of adapters gets the same
    // COM names whatever order they were plugged in.
    if (a.stableNames.empty() != b.stableNames.empty()) return !a.stableNames.empty();
    if (!a.stableNames.empty()) return a.stableNames.front() < b.stableNames.front();
    return an < bn;
  });
  return ports;
}

std::vector<PortInfo> ListPorts(const PortMap& map) {
  std::vector<PortInfo> ports = EnumeratePorts();
  for (PortInfo& p : ports) {
    p.comName = map.ComNameForDevice(p.device);
    for (const std::string& stable : p.stableNames)
      if (p.comName.empty()) p.comName = map.ComNameForDevice(stable);
  }
  return ports;
}

std::string UsbIdentity(const std::string& path, const SerialRoots& roots) {
  std::error_code ec;
  const fs::path node = fs::canonical(path, ec);  // /dev/serial/by-id/usb-... -> /dev/ttyUSB0
  if (ec) return {};
  const fs::path device = fs::canonical(fs::path(roots.sysClassTty) / node.filename() / "device", ec);
  if (ec) return {};
  for (fs::path d = device; d.has_relative_path() && d != d.parent_path(); d = d.parent_path()) {
    if (!fs::exists(d / "idVendor", ec)) continue;
    std::string id = "usb " + ReadFirstLine(d / "idVendor") + ":" + ReadFirstLine(d / "idProduct");
    const std::string serial = ReadFirstLine(d / "serial");
    // Without a serial number two adapters of one make look alike; where it
    // sits on the bus tells them apart as long as neither moves.
    return id + (serial.empty() ? " at " + d.filename().string() : " serial " + serial);
  }
  return {};
}

namespace serial_backend {
std::string DeviceIdentity(const std::string& path) { return UsbIdentity(path); }

bool NameFollowsDevice(const std::string& path) {
  std::error_code ec;
  return fs::is_symlink(path, ec);
}
}  // namespace serial_backend
