// The serial devices present, from sysfs, with their stable by-id names.
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "serial/port_map.h"

namespace fs = std::filesystem;

namespace {
std::string ReadFirstLine(const fs::path& p) {
  std::ifstream in(p);
  std::string line;
  std::getline(in, line);
  return line;
}
}  // namespace

std::vector<PortInfo> ListPorts() {
  std::vector<PortInfo> ports;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/sys/class/tty", ec)) {
    const std::string name = entry.path().filename();
    // Only devices backed by hardware (or a driver that claims to be): the
    // virtual consoles and ptys have no "device" link.
    if (!fs::exists(entry.path() / "device", ec)) continue;
    // ttyS ports the 8250 driver reserves but that have no UART report type 0.
    if (name.rfind("ttyS", 0) == 0 && ReadFirstLine(entry.path() / "type") == "0") continue;
    PortInfo info;
    info.device = "/dev/" + name;
    // The driver that serves it (ftdi_sio, cdc_acm, serial); newer kernels put
    // generic serial-base devices in between, whose ancestor has the real one.
    fs::path device = fs::canonical(entry.path() / "device", ec);
    for (int up = 0; up < 4 && !ec; ++up, device = device.parent_path()) {
      if (fs::read_symlink(device / "subsystem", ec).filename() == "serial-base") continue;
      const fs::path driver = fs::read_symlink(device / "driver", ec);
      if (!ec) info.description = driver.filename();
      break;
    }
    ec.clear();
    ports.push_back(info);
  }
  for (const auto& link : fs::directory_iterator("/dev/serial/by-id", ec)) {
    const fs::path target = fs::canonical(link.path(), ec);
    if (ec) continue;
    for (PortInfo& p : ports)
      if (p.device == target.string()) p.stableNames.push_back(link.path().string());
  }
  for (PortInfo& p : ports) {
    p.comName = ComNameForDevice(p.device);
    for (const std::string& stable : p.stableNames)
      if (p.comName.empty()) p.comName = ComNameForDevice(stable);
  }
  std::sort(ports.begin(), ports.end(), [](const PortInfo& a, const PortInfo& b) { return a.device < b.device; });
  return ports;
}
