#include "serial/port_map.h"

#include "serial/backend.h"

#include <cctype>
#include <map>
#include <mutex>

namespace {
std::map<std::string, std::string>& Map() {
  static std::map<std::string, std::string> map;
  return map;
}

// COM name -> {path, description} of the devices found, once discovery ran.
struct Discovered {
  bool active = false;
  std::map<std::string, std::pair<std::string, std::string>> names;
};
Discovered& Found() {
  static Discovered found;
  return found;
}

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// "COMn" with n >= 1 -> n, else 0.
int ComNumber(std::string_view name) {
  const std::string u = Upper(name);
  if (u.size() < 4 || u.compare(0, 3, "COM") != 0) return 0;
  int n = 0;
  for (std::size_t i = 3; i < u.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(u[i])) || n > 100000) return 0;
    n = n * 10 + (u[i] - '0');
  }
  return n;
}
}  // namespace

void MapPort(const std::string& comName, const std::string& path) { Map()[Upper(comName)] = path; }
void ClearPortMap() {
  Map().clear();
  Found() = {};
}

void UseDiscoveredPorts(const std::vector<PortInfo>& ports) {
  Discovered found;
  found.active = true;
  int n = 1;
  for (const PortInfo& p : ports) {
    const std::string path = p.stableNames.empty() ? p.device : p.stableNames.front();
    bool mapped = false;
    for (const auto& [com, target] : Map()) {
      mapped = mapped || target == p.device;
      for (const std::string& stable : p.stableNames) mapped = mapped || target == stable;
    }
    if (mapped) continue;  // --port gave it its name
    while (Map().count("COM" + std::to_string(n))) ++n;
    found.names["COM" + std::to_string(n++)] = {path, p.description};
  }
  Found() = std::move(found);
}

std::string DescribePortName(std::string_view name) {
  const std::string com = Upper(name);
  if (Map().count(com)) return ResolvePortName(com);
  const auto it = Found().names.find(com);
  if (it != Found().names.end())
    return it->second.second.empty() ? it->second.first : it->second.first + " (" + it->second.second + ")";
  return ResolvePortName(com);
}

std::string ResolvePortName(std::string_view name) {
  const auto it = Map().find(Upper(name));
  if (it == Map().end() && Found().active && ComNumber(name)) {
    const auto found = Found().names.find(Upper(name));
    return found == Found().names.end() ? std::string() : found->second.first;
  }
  const std::string target = it != Map().end() ? it->second : std::string(name);
  // A COM name, given or mapped to (COM1=COM7), is the platform's COM device.
  if (const int n = ComNumber(target)) return serial_backend::DeviceForCom(n);
  return target;
}

bool ParsePortOption(std::string_view option, std::string& comName, std::string& path) {
  const auto eq = option.find('=');
  if (eq == std::string_view::npos) return false;
  const std::string_view name = option.substr(0, eq);
  if (!ComNumber(name) || eq + 1 >= option.size()) return false;
  comName = Upper(name);
  path = std::string(option.substr(eq + 1));
  return true;
}

std::string ComNameForDevice(const std::string& device) {
  for (const auto& [com, path] : Map())
    if (path == device) return com;
  if (Found().active) {
    for (const auto& [com, found] : Found().names)
      if (found.first == device) return com;
    return {};
  }
  if (const int n = serial_backend::ComForDevice(device)) {
    const std::string com = "COM" + std::to_string(n);
    if (Map().find(com) == Map().end()) return com;  // a map sends that name elsewhere
  }
  return {};
}
